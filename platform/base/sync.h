#pragma once
// Synchronisation objects with the semantics of their Windows originals:
// a re-entrant critical section, a manual-reset event and atomic counters.
// Any thread may use them; they are not copyable.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/base/threadsafety.h"
#include "platform/base/win32types.h"

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;
// WAIT_TIMEOUT (258) is in win32error.h.

// A critical section the same thread may enter again. It is a standard
// Lockable; hold it with CSingleLock so that the thread-safety analysis sees
// which state it guards.
class CAPABILITY("critical section") CCriticalSection {
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void lock() ACQUIRE() { m_mutex.lock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// A plain mutex that the analysis knows, for state that one lock guards and
// no thread enters twice. A std::condition_variable_any waits on it.
class CAPABILITY("mutex") CMutex {
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

// Holds a critical section or mutex for its scope.
template <class Lockable> class SCOPED_CAPABILITY CScopedLock {
public:
    explicit CScopedLock(Lockable& lockable) ACQUIRE(lockable) : m_lockable(lockable)
    {
        m_lockable.lock();
    }
    ~CScopedLock() RELEASE() { m_lockable.unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    Lockable& m_lockable;
};

using CSingleLock = CScopedLock<CCriticalSection>;
using CMutexLock = CScopedLock<CMutex>;

// A manual-reset event: once set, it stays set (and every wait succeeds)
// until it is reset.
class CManualResetEvent {
public:
    explicit CManualResetEvent(bool initiallySet = false) : m_bSet(initiallySet) {}
    CManualResetEvent(const CManualResetEvent&) = delete;
    CManualResetEvent& operator=(const CManualResetEvent&) = delete;

    void Set();
    void Reset();
    // True when the event is set; never blocks (a wait with zero time-out).
    bool IsSet() const { return m_bSet.load(std::memory_order_acquire); }
    // WAIT_OBJECT_0 when the event was or became set within the time-out,
    // WAIT_TIMEOUT otherwise. INFINITE waits without limit.
    DWORD Wait(DWORD milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<bool> m_bSet; // written under m_mutex, read without it
};

// InterlockedIncrement / InterlockedDecrement: the new value.
inline LONG InterlockedIncrement(std::atomic<LONG>& value)
{
    return value.fetch_add(1) + 1;
}
inline LONG InterlockedDecrement(std::atomic<LONG>& value)
{
    return value.fetch_sub(1) - 1;
}

// The kernel's identifiers of the calling thread and process.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
