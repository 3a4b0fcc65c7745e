#include "ui/main/colorscheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

const QString PORTAL_SERVICE = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PORTAL_PATH = QStringLiteral("/org/freedesktop/portal/desktop");
const QString SETTINGS_INTERFACE = QStringLiteral("org.freedesktop.portal.Settings");
const QString APPEARANCE_GROUP = QStringLiteral("org.freedesktop.appearance");
const QString COLOR_SCHEME_KEY = QStringLiteral("color-scheme");

// The portal wraps the value in one variant, older ones in two.
QVariant Unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

// Without a session bus, asking for one may start one: only a bus that is
// there is asked.
bool HasSessionBus()
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

bool IsDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

CDesktopColorScheme::CDesktopColorScheme(QObject* parent)
    : QObject(parent), m_original(QApplication::palette())
{
    if (!HasSessionBus())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(PORTAL_SERVICE, PORTAL_PATH, SETTINGS_INTERFACE, QStringLiteral("SettingChanged"),
                this, SLOT(OnSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(PORTAL_SERVICE, PORTAL_PATH,
                                                       SETTINGS_INTERFACE, QStringLiteral("Read"));
    read << APPEARANCE_GROUP << COLOR_SCHEME_KEY;
    // A short wait at start: the portal answers at once or is not there.
    const QDBusMessage reply = bus.call(read, QDBus::Block, 500);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        Apply(Unwrap(reply.arguments().constFirst()).toUInt());
}

void CDesktopColorScheme::OnSettingChanged(const QString& group, const QString& key,
                                           const QDBusVariant& value)
{
    if (group == APPEARANCE_GROUP && key == COLOR_SCHEME_KEY)
        Apply(Unwrap(value.variant()).toUInt());
}

void CDesktopColorScheme::Apply(uint preference)
{
    const bool bDark = preference == PreferDark;
    if (bDark == m_bDark)
        return;
    if (bDark) {
        m_original = QApplication::palette();
        if (IsDark(m_original))
            return;
        QApplication::setPalette(DarkPalette());
    } else {
        QApplication::setPalette(m_original);
    }
    m_bDark = bDark;
}

QPalette CDesktopColorScheme::DarkPalette()
{
    const QColor window(0x2b, 0x2b, 0x2b);
    const QColor base(0x1e, 0x1e, 0x1e);
    const QColor text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x80, 0x80, 0x80);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x3c, 0x3c, 0x3c));
    p.setColor(QPalette::Midlight, QColor(0x34, 0x34, 0x34));
    p.setColor(QPalette::Mid, QColor(0x24, 0x24, 0x24));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6c, 0xa8, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xb0, 0x8c, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}
