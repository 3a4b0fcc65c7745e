#include "ui/main/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QThread>
#include <QVariantMap>

#include "tasklib/tasklog.h"
#include "ui/common/qtstrings.h"

namespace {

constexpr char SERVICE[] = "org.freedesktop.Notifications";
constexpr char PATH[] = "/org/freedesktop/Notifications";
constexpr char INTERFACE[] = "org.freedesktop.Notifications";

// The body as the service's markup reads it: &, < and > as entities.
QString Escaped(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toHtmlEscaped();
}

} // namespace

CDesktopNotifier::CDesktopNotifier(QObject* parent) : QObject(parent) {}

void CDesktopNotifier::Notify(const CNotification& notification)
{
    if (QThread::currentThread() == thread()) {
        Send(notification);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, notification] { Send(notification); }, Qt::QueuedConnection);
}

void CDesktopNotifier::Send(const CNotification& notification)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        TaskLog("Task \"" + notification.strTask +
                "\" notification not shown: no session bus: " + notification.strSummary);
        return;
    }
    if (!m_bConnected) {
        bus.connect(SERVICE, PATH, INTERFACE, "ActionInvoked", this,
                    SLOT(OnActionInvoked(uint, QString)));
        bus.connect(SERVICE, PATH, INTERFACE, "NotificationClosed", this,
                    SLOT(OnClosed(uint, uint)));
        m_bConnected = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, INTERFACE, "Notify");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue(static_cast<uchar>(notification.nUrgency)));
    hints.insert("desktop-entry", QStringLiteral("quorvil"));
    const QStringList actions =
        notification.strLogPath.empty() ? QStringList() : QStringList{"default", "Show the log"};
    call << QStringLiteral("Quorvil") << uint{0} << QStringLiteral("quorvil")
         << QString::fromUtf8(notification.strSummary.c_str()) << Escaped(notification.strBody)
         << actions << hints << int{-1};
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10'000), this);
    const std::string task = notification.strTask;
    const std::string log = notification.strLogPath;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, task, log](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    TaskLog("Task \"" + task +
                            "\" notification failed: " + reply.error().message().toStdString());
                else if (!log.empty())
                    m_logs[reply.value()] = log;
                w->deleteLater();
            });
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& action)
{
    auto it = m_logs.find(id);
    if (it == m_logs.end() || action != "default")
        return;
    const std::string log = it->second;
    m_logs.erase(it);
    if (m_showLog)
        m_showLog(log);
}

void CDesktopNotifier::OnClosed(uint id, uint)
{
    m_logs.erase(id);
}
