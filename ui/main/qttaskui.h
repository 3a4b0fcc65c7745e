#pragma once
// The desktop program's side of the task library: a task's message action
// and the task dialog.
//
// ShowTaskMessage is called on the thread that runs the task (the scan
// thread or a test-run worker). It hands the text to the window thread,
// which shows a non-modal message window titled with the task's
// description, and returns when that window is closed or a stop of scanning
// is requested (IsStopRequested), so that Stop and the end of the program
// never wait for the user. Called on the window thread itself, it shows the
// window and returns at once.
//
// Threads: construct, SetParent, EditTask and destroy on the window thread.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "tasklib/taskui.h"
#include "ui/main/desktopnotifier.h"

class CQtTaskUi final : public ITaskUi {
public:
    CQtTaskUi() = default;
    void SetParent(QWidget* parent) { m_pParent = parent; }

    void ShowTaskMessage(const std::string& strTask, const std::string& strText) override;
    int EditTask(CTask& task) override;
    // Through the desktop's notification service (desktopnotifier.h).
    void ShowNotification(const CNotification& notification) override;
    CDesktopNotifier& GetNotifier() { return m_notifier; }

private:
    // Queued calls to the window thread run in this object's context and
    // are dropped once it is gone.
    QObject m_context;
    QPointer<QWidget> m_pParent; // read on the window thread only
    CDesktopNotifier m_notifier;
};
