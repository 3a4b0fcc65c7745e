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
