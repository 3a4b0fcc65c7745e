#include "ui/common/icons.h"

#include <QColor>
#include <QPainter>
#include <cmath>
#include <numbers>

// Resources of a static library are registered by hand, at global scope.
static void InitIconResources()
{
    static const bool bDone = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)bDone;
}

namespace {

QIcon FromResource(const char* name)
{
    InitIconResources();
    return QIcon(QStringLiteral(":/quorvil/icons/") + QLatin1String(name) + QStringLiteral(".svg"));
}

} // namespace

QIcon GetImageIcon(int nImage)
{
    switch (nImage) {
    case IMAGE_TEXT_LOG:
        return FromResource("textlog");
    case IMAGE_TEXT_ROOT:
        return FromResource("textroot");
    case IMAGE_EVENT_ROOT:
        return FromResource("eventroot");
    case IMAGE_SYSTEM_LOG:
        return FromResource("systemlog");
    case IMAGE_TEXT_LOG_DISABLED:
        return FromResource("textlog-disabled");
    case IMAGE_TEXT_LOG_UNCHECKED:
        return FromResource("textlog-unchecked");
    case IMAGE_EVENT_LOG_UNCHECKED:
        return FromResource("eventlog-unchecked");
    case IMAGE_EVENT_LOG_DISABLED:
        return FromResource("eventlog-disabled");
    case IMAGE_KEY:
        return FromResource("key");
    case IMAGE_WATCH_GROUP:
        return FromResource("watchgroup");
    case IMAGE_TASK:
        return FromResource("task");
    case IMAGE_EVENT_LOG:
        return FromResource("eventlog");
    default:
        return QIcon();
    }
}

QIcon GetScanIcon(ScanIcon icon)
{
    switch (icon) {
    case ScanIcon::Running:
        return FromResource("running");
    case ScanIcon::Busy:
        return FromResource("busy");
    case ScanIcon::Stopped:
        break;
    }
    return FromResource("stopped");
}

QIcon GetToolIcon(ToolIcon icon)
{
    switch (icon) {
    case ToolIcon::Copy:
        return QIcon::fromTheme(QStringLiteral("edit-copy"), FromResource("copy"));
    case ToolIcon::Paste:
        return QIcon::fromTheme(QStringLiteral("edit-paste"), FromResource("paste"));
    case ToolIcon::Add:
        return FromResource("add");
    case ToolIcon::Edit:
        return FromResource("edit");
    case ToolIcon::Delete:
        return FromResource("delete");
    case ToolIcon::Duplicate:
        return FromResource("duplicate");
    case ToolIcon::Browse:
        return FromResource("browse");
    case ToolIcon::Find:
        break;
    }
    return QIcon::fromTheme(QStringLiteral("edit-find"), FromResource("find"));
}

QIcon GetEventIcon(EventIcon icon)
{
    switch (icon) {
    case EventIcon::Error:
        return FromResource("event-error");
    case EventIcon::Warning:
        return FromResource("event-warning");
    case EventIcon::AuditSuccess:
        return FromResource("audit-success");
    case EventIcon::AuditFailure:
        return FromResource("audit-failure");
    case EventIcon::Information:
        break;
    }
    return FromResource("event-information");
}

QPixmap GetScanAnimationFrame(int nFrame, int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double centre = nSize / 2.0;
    const double radius = nSize * 0.36;
    const double dot = std::max(1.5, nSize * 0.09);
    const int lead =
        ((nFrame % SCAN_ANIMATION_FRAMES) + SCAN_ANIMATION_FRAMES) % SCAN_ANIMATION_FRAMES;
    for (int i = 0; i < SCAN_ANIMATION_FRAMES; ++i) {
        // The dots behind the bright one fade out, like a tail.
        const int behind = (lead - i + SCAN_ANIMATION_FRAMES) % SCAN_ANIMATION_FRAMES;
        QColor colour(46, 157, 58);
        colour.setAlphaF(behind == 0 ? 1.0 : std::max(0.15, 0.8 - behind * 0.15));
        painter.setBrush(colour);
        const double angle =
            2 * std::numbers::pi * i / SCAN_ANIMATION_FRAMES - std::numbers::pi / 2;
        painter.drawEllipse(
            QPointF(centre + radius * std::cos(angle), centre + radius * std::sin(angle)), dot,
            dot);
    }
    return pixmap;
}
