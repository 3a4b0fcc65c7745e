#pragma once
// CSearchWorker: a second thread for a large text read. While the scan
// thread searches the first half of a mapped window, the worker searches the
// second; the kept lines of both are then taken in file order. A read of a
// large backlog (a first scan, or the catch-up after a stop) so uses two
// cores, and the small reads of a followed log never start one.
//
// Fork and join only: Start hands over a job, Wait returns once it has run.
// The job's data is written by the worker between the two and read by the
// scan thread after Wait; the lock guards the hand-over itself.
#include <condition_variable>
#include <functional>
#include <thread>

#include "platform/base/sync.h"

class CSearchWorker {
public:
    CSearchWorker();
    ~CSearchWorker();
    CSearchWorker(const CSearchWorker&) = delete;
    CSearchWorker& operator=(const CSearchWorker&) = delete;

    // Runs job on the worker; the previous one has been waited for.
    void Start(std::function<void()> job);
    // Returns once the job has run.
    void Wait();

    // Whether a worker is worth starting: the processor has a second core.
    static bool IsUseful();

private:
    void Run();

    CMutex m_mutex;
    std::condition_variable_any m_cv;
    std::function<void()> m_job GUARDED_BY(m_mutex);
    bool m_bBusy GUARDED_BY(m_mutex) = false;
    bool m_bQuit GUARDED_BY(m_mutex) = false;
    std::thread m_thread; // last: starts once the members above exist
};
