#pragma once
// What the task library needs of the front end: showing a message action's
// text and the task's editing dialog. The desktop program installs an
// implementation with real windows; without one, CHeadlessTaskUi answers:
// messages go to standard output and the system log, and the dialog changes
// nothing.
//
// The installer keeps the object alive while it is installed and installs it
// before tasks run (start-up), not while they run.
#include <string>

class CTask;

// A desktop notification of a task (CDesktopNotification): UTF-8 texts,
// urgency 0 low, 1 normal, 2 critical, and the log whose match it tells of
// (may be empty), which a click on it shows.
struct CNotification {
    std::string strTask;
    std::string strSummary;
    std::string strBody;
    int nUrgency = 1;
    std::string strLogPath;
};

class ITaskUi {
public:
    virtual ~ITaskUi() = default;
    // Shows a message action's text, titled with the task's description.
    // Called on the thread that runs the task (the scan thread or a test-run
    // worker) and returns when the user has closed the message, so a window
    // front end hands it to its own thread and waits.
    virtual void ShowTaskMessage(const std::string& strTask, const std::string& strText) = 0;
    // The task's modal editing dialog, on the user interface thread. The
    // dialog edits a copy and assigns it to the task on OK. Returns 1 when the
    // task was changed, 0 otherwise.
    virtual int EditTask(CTask& task) = 0;
    // Shows a desktop notification without waiting for it; any thread.
    // Without a desktop (this default) one line goes to the system log.
    virtual void ShowNotification(const CNotification& notification);
};

// Standard output and the system log; no dialog. Any thread.
class CHeadlessTaskUi final : public ITaskUi {
public:
    void ShowTaskMessage(const std::string& strTask, const std::string& strText) override;
    int EditTask(CTask& task) override;
};

// The installed front end, or a CHeadlessTaskUi when none is.
ITaskUi& GetTaskUi();
// Installs a front end; null restores the headless answers.
void SetTaskUi(ITaskUi* ui);
