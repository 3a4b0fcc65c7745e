#include "tasklib/taskui.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "tasklib/task.h"
#include "tasklib/tasklog.h"

namespace {

std::atomic<ITaskUi*> g_pTaskUi{nullptr};
// Keeps the lines of concurrent tasks whole on standard output.
std::mutex g_stdoutMutex;

} // namespace

void CHeadlessTaskUi::ShowTaskMessage(const std::string& strTask, const std::string& strText)
{
    {
        std::lock_guard lock(g_stdoutMutex);
        std::fwrite(strText.data(), 1, strText.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    TaskLog("Task \"" + strTask + "\" message: " + strText);
}

void ITaskUi::ShowNotification(const CNotification& notification)
{
    TaskLog("Task \"" + notification.strTask +
            "\" notification (no desktop): " + notification.strSummary);
}

int CHeadlessTaskUi::EditTask(CTask& task)
{
    TaskLog("Task \"" + task.GetDescription() + "\" not edited: there is no window to edit it in");
    return 0;
}

ITaskUi& GetTaskUi()
{
    static CHeadlessTaskUi headless;
    ITaskUi* ui = g_pTaskUi.load();
    return ui ? *ui : headless;
}

void SetTaskUi(ITaskUi* ui)
{
    g_pTaskUi.store(ui);
}
