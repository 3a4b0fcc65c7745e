#pragma once
// How the main window shows the scan thread's state: the state's text, icon
// and animation, the tray tip, and the status bar's 23-pixel animation pane.
//
// Threads: user interface thread only.
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>

#include "core/monmanager.h"
#include "ui/common/icons.h"

struct CScanStateLook {
    std::string strText; // "Stopped", "Starting", "Running", "Stopping"; empty for any other state
    bool bSetsIcon = false; // false: the icon stays as it was
    ScanIcon icon = ScanIcon::Stopped;
    bool bAnimate = false; // while a delayed start counts down or scans run
};
CScanStateLook GetScanStateLook(std::optional<ScanState> state);

// "Brannick Quorvil - " followed by the state text, cut to the 63
// characters a tray tip holds.
std::string FormatTrayTip(const std::string& strState);

// The animation pane: steps through the twelve frames every 100 ms while
// running; stopping shows frame 0 again.
class CScanAnimationPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int PANE_WIDTH = 23;
    explicit CScanAnimationPane(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }
    int GetFrame() const { return m_nFrame; }
    // One tick of the animation, as the timer gives it.
    void Advance();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_nFrame = 0;
};
