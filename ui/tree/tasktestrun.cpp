#include "ui/tree/tasktestrun.h"

#include <memory>
#include <thread>

#include "tasklib/task.h"

void RunTaskCopyOnWorker(const CTask& task)
{
    auto pCopy = std::make_unique<CTask>(task);
    std::thread([pTask = std::move(pCopy)] { pTask->RunAsTest(); }).detach();
}
