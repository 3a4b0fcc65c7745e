#pragma once
// "Test Task Actions": runs a copy of a task once on a new worker thread of
// its own, without substituted event values. The worker owns its copy and
// frees it at the end; the caller returns at once and never waits for it, so
// the workspace stays usable while an action waits for the user. E-mail, web
// hooks and syslog are sent for real, once each, and a message then lists
// what each server answered (CTask::RunAsTest).
//
// Threads: any caller; the task runs on the worker (message actions reach
// the front end through ITaskUi on that thread).
class CTask;

void RunTaskCopyOnWorker(const CTask& task);
