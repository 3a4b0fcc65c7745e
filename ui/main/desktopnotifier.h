#pragma once
// Desktop notifications of the notification action through the desktop's
// org.freedesktop.Notifications service on the session bus. Notify sends
// without waiting for the answer; a service that is missing or refuses is
// written to the system log. A click on a notification (its default action)
// calls the show-log handler with the log the notification tells of.
//
// Threads: lives on the window thread; Notify may be called from any thread
// (it is handed to the window thread).
#include <QObject>
#include <functional>
#include <map>
#include <string>

#include "tasklib/taskui.h"

class CDesktopNotifier final : public QObject {
    Q_OBJECT
public:
    explicit CDesktopNotifier(QObject* parent = nullptr);

    void Notify(const CNotification& notification);
    void SetShowLogHandler(std::function<void(const std::string&)> handler)
    {
        m_showLog = std::move(handler);
    }

    // Notifications shown that a click can still open a log from.
    std::size_t GetClickableCount() const { return m_logs.size(); }

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    void Send(const CNotification& notification);

    bool m_bConnected = false;
    std::map<uint, std::string> m_logs; // notification id -> log
    std::function<void(const std::string&)> m_showLog;
};
