#include "platform/base/sync.h"

#include <chrono>

#include <sys/syscall.h>
#include <unistd.h>

#include "platform/base/win32error.h"

void CManualResetEvent::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_bSet.store(true, std::memory_order_release);
    }
    m_cv.notify_all();
}

void CManualResetEvent::Reset()
{
    std::lock_guard lock(m_mutex);
    m_bSet.store(false, std::memory_order_release);
}

DWORD CManualResetEvent::Wait(DWORD milliseconds)
{
    std::unique_lock lock(m_mutex);
    auto isSet = [this] { return m_bSet.load(std::memory_order_acquire); };
    if (milliseconds == INFINITE) {
        m_cv.wait(lock, isSet);
        return WAIT_OBJECT_0;
    }
    return m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet) ? WAIT_OBJECT_0
                                                                               : WAIT_TIMEOUT;
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(::syscall(SYS_gettid));
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}
