#pragma once
// Where the task library's own lines go: the program's system log. Any
// thread. A test may install a hook that receives the lines instead.
#include <string>

void TaskLog(const std::string& line);

// Lines go to the hook instead of the system log while one is installed
// (null restores the system log). Not to be changed while tasks run.
using TaskLogHook = void (*)(const std::string& line);
void SetTaskLogHook(TaskLogHook hook);
