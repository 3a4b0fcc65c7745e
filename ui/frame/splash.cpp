#include "ui/frame/splash.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "quorvil_version.h"
#include "ui/common/icons.h"

CSplashWindow::CSplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(360, 200);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::close);
    m_timer.start(3000);
    qApp->installEventFilter(this);
}

CSplashWindow::~CSplashWindow()
{
    qApp->removeEventFilter(this);
}

bool CSplashWindow::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        QTimer::singleShot(0, this, &QWidget::close);
        return true;
    default:
        return false;
    }
}

void CSplashWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(34, 64, 96));
    painter.setPen(QColor(200, 210, 225));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawPixmap(24, 40, GetImageIcon(IMAGE_WATCH_GROUP).pixmap(64, 64));
    QFont font = painter.font();
    font.setPointSize(24);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(104, 36, 240, 44), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Quorvil"));
    font.setPointSize(10);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(
        QRect(104, 84, 240, 40), Qt::AlignLeft | Qt::TextWordWrap,
        QStringLiteral("Event log and text log monitor\nVersion " QUORVIL_VERSION_STRING));
    painter.drawText(QRect(16, 160, 328, 24), Qt::AlignLeft, QStringLiteral("Brannick"));
}

void CSplashWindow::closeEvent(QCloseEvent* event)
{
    m_timer.stop();
    emit Closed();
    QWidget::closeEvent(event);
}
