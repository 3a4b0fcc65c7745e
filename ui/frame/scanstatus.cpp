#include "ui/frame/scanstatus.h"

#include <QPainter>

#include "workspace/scanmessages.h"

CScanStateLook GetScanStateLook(std::optional<ScanState> state)
{
    CScanStateLook look;
    look.strText = ScanStateText(state);
    look.bSetsIcon = state.has_value();
    look.icon = state == ScanState::Stopped   ? ScanIcon::Stopped
                : state == ScanState::Running ? ScanIcon::Running
                                              : ScanIcon::Busy;
    look.bAnimate = state == ScanState::Countdown || state == ScanState::Running;
    return look;
}

std::string FormatTrayTip(const std::string& strState)
{
    return ("Brannick Quorvil - " + strState).substr(0, 63);
}

CScanAnimationPane::CScanAnimationPane(QWidget* parent) : QWidget(parent)
{
    setFixedWidth(PANE_WIDTH);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &CScanAnimationPane::Advance);
}

void CScanAnimationPane::Start()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void CScanAnimationPane::Stop()
{
    m_timer.stop();
    m_nFrame = 0;
    update();
}

void CScanAnimationPane::Advance()
{
    m_nFrame = (m_nFrame + 1) % SCAN_ANIMATION_FRAMES;
    update();
}

void CScanAnimationPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int side = std::min(width(), height()) - 2;
    if (side <= 0)
        return;
    painter.drawPixmap((width() - side) / 2, (height() - side) / 2,
                       GetScanAnimationFrame(m_nFrame, side));
}
