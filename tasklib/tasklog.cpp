#include "tasklib/tasklog.h"

#include <atomic>

#include "settings/systemlog.h"

namespace {

std::atomic<TaskLogHook> g_taskLogHook{nullptr};

} // namespace

void TaskLog(const std::string& line)
{
    if (TaskLogHook hook = g_taskLogHook.load()) {
        hook(line);
        return;
    }
    WriteSystemLog(line.c_str());
}

void SetTaskLogHook(TaskLogHook hook)
{
    g_taskLogHook.store(hook);
}
