#include "textlog/searchworker.h"

CSearchWorker::CSearchWorker() : m_thread([this] { Run(); }) {}

CSearchWorker::~CSearchWorker()
{
    {
        CMutexLock lock(m_mutex);
        m_bQuit = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void CSearchWorker::Start(std::function<void()> job)
{
    {
        CMutexLock lock(m_mutex);
        m_job = std::move(job);
        m_bBusy = true;
    }
    m_cv.notify_all();
}

void CSearchWorker::Wait()
{
    CMutexLock lock(m_mutex);
    while (m_bBusy)
        m_cv.wait(m_mutex);
}

bool CSearchWorker::IsUseful()
{
    static const bool bUseful = std::thread::hardware_concurrency() > 1;
    return bUseful;
}

void CSearchWorker::Run()
{
    for (;;) {
        std::function<void()> job;
        {
            CMutexLock lock(m_mutex);
            while (!m_bBusy && !m_bQuit)
                m_cv.wait(m_mutex);
            if (m_bQuit)
                return;
            job = std::move(m_job);
        }
        job();
        {
            CMutexLock lock(m_mutex);
            m_bBusy = false;
        }
        m_cv.notify_all();
    }
}
