#pragma once
// Follows the desktop's light or dark preference. Qt 6.4 takes its palette
// from the platform theme, which on many desktops (and without a theme
// plug-in) stays light when the user chose a dark scheme. The preference is
// published by the desktop portal as the setting "color-scheme" of
// "org.freedesktop.appearance" (0 none, 1 prefer dark, 2 prefer light): at
// start and whenever the portal says it changed, a dark preference over a
// light palette switches the application to a dark palette, and the
// original palette comes back when the preference goes. A palette that is
// dark already, or no portal on the session bus, leaves everything as is.
//
// Threads: the window thread only.
#include <QDBusVariant>
#include <QObject>
#include <QPalette>

class CDesktopColorScheme final : public QObject {
    Q_OBJECT
public:
    enum Preference : uint { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

    explicit CDesktopColorScheme(QObject* parent = nullptr);

    // Applies a preference (also what the portal's answers come through).
    void Apply(uint preference);
    bool IsDarkApplied() const { return m_bDark; }

    // The dark palette used over a light one.
    static QPalette DarkPalette();

private slots:
    void OnSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QPalette m_original;
    bool m_bDark = false;
};
