#include "tasklib/delivery.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "common/brancmn.h"
#include "settings/appsettings.h"
#include "tasklib/tasklog.h"

struct CDeliveryTest::CResults {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::string> labels;   // in the order queued
    std::vector<std::string> outcomes; // empty: no answer yet
    std::size_t nPending = 0;

    std::size_t Add(const std::string& strLabel)
    {
        std::lock_guard lock(mutex);
        labels.push_back(strLabel);
        outcomes.emplace_back();
        ++nPending;
        return labels.size() - 1;
    }
    void Set(std::size_t nIndex, const std::string& strOutcome)
    {
        {
            std::lock_guard lock(mutex);
            if (outcomes[nIndex].empty())
                --nPending;
            outcomes[nIndex] = strOutcome;
        }
        done.notify_all();
    }
};

namespace {

using Clock = std::chrono::steady_clock;

struct CDelivery {
    std::string strLabel;
    DeliveryAttempt attempt;
    Clock::time_point first;
    Clock::time_point due;
    std::uint32_t nNextBackoffMs = 0;
    int nAttempts = 0;
    // A test run's collection and this delivery's place in it, or null.
    std::shared_ptr<CDeliveryTest::CResults> pTest;
    std::size_t nTestIndex = 0;

    void Tell(const std::string& strOutcome) const
    {
        if (pTest)
            pTest->Set(nTestIndex, strOutcome);
    }
};

thread_local std::shared_ptr<CDeliveryTest::CResults>* t_ppTest = nullptr;

// Shared with the delivery thread, which may outlive a StopDeliveries that
// gave up waiting for it; never freed, so a thread left behind at exit never
// touches freed memory.
struct CQueueState {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<CDelivery> queue;
    CDeliveryPolicy policy;
    bool bThread = false;
    bool bBusy = false;
    bool bStopping = false;
    std::uint64_t nGeneration = 0; // a new thread after a stop
    CDeliveryCounters counters;
};

CQueueState& State()
{
    static CQueueState* state = new CQueueState;
    return *state;
}

thread_local bool t_bDeliveryThread = false;
thread_local std::uint64_t t_nGeneration = 0;
// The generation of the live delivery thread, and whether it is told to end.
std::atomic<std::uint64_t> g_nLiveGeneration{0};
std::atomic<bool> g_bAbort{false};

void Report(const std::string& line)
{
    TaskLog(line);
    LogToFile(AppSettings::GetAuditText().c_str(), line.c_str(), 1);
}

void DeliveryThread(std::uint64_t nGeneration)
{
    t_bDeliveryThread = true;
    t_nGeneration = nGeneration;
    CQueueState& s = State();
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (s.nGeneration != nGeneration || s.bStopping)
            break;
        if (s.queue.empty()) {
            s.bBusy = false;
            s.changed.notify_all();
            s.changed.wait(lock);
            continue;
        }
        auto it =
            std::min_element(s.queue.begin(), s.queue.end(),
                             [](const CDelivery& a, const CDelivery& b) { return a.due < b.due; });
        if (it->due > Clock::now()) {
            s.bBusy = false;
            s.changed.notify_all();
            s.changed.wait_until(lock, it->due);
            continue;
        }
        s.bBusy = true;
        CDelivery d = std::move(*it);
        s.queue.erase(it);
        const CDeliveryPolicy policy = s.policy;
        lock.unlock();

        CAttemptResult result = d.attempt();
        ++d.nAttempts;

        lock.lock();
        if (s.nGeneration != nGeneration)
            break;
        if (result.bOk) {
            ++s.counters.nDelivered;
            d.Tell("delivered");
            if (d.nAttempts > 1) {
                lock.unlock();
                TaskLog(d.strLabel + " delivered after " + std::to_string(d.nAttempts) +
                        " attempts");
                lock.lock();
            }
            continue;
        }
        const auto now = Clock::now();
        d.nNextBackoffMs = d.nNextBackoffMs == 0
                               ? policy.nFirstRetryMs
                               : std::min(policy.nMaxRetryMs, d.nNextBackoffMs * 2);
        const auto next = now + std::chrono::milliseconds(d.nNextBackoffMs);
        // A passing failure is tried again at least once, then while the
        // window lasts.
        if (result.bRetry && !s.bStopping && !d.pTest &&
            (d.nAttempts == 1 ||
             next - d.first < std::chrono::milliseconds(policy.nRetryWindowMs))) {
            ++s.counters.nRetried;
            d.due = next;
            s.queue.push_back(std::move(d));
            continue;
        }
        ++s.counters.nFailed;
        lock.unlock();
        d.Tell("failed: " + result.strReason);
        Report(d.strLabel + " failed after " + std::to_string(d.nAttempts) +
               (d.nAttempts == 1 ? " attempt: " : " attempts: ") + result.strReason);
        lock.lock();
    }
    if (s.nGeneration == nGeneration) {
        s.bBusy = false;
        s.bThread = false;
    }
    s.changed.notify_all();
}

} // namespace

bool QueueDelivery(const std::string& strLabel, DeliveryAttempt attempt)
{
    CQueueState& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (!s.bStopping && s.queue.size() < s.policy.nCapacity) {
            const auto now = Clock::now();
            CDelivery d{strLabel, std::move(attempt), now, now, 0, 0, nullptr, 0};
            if (t_ppTest) {
                d.pTest = *t_ppTest;
                d.nTestIndex = d.pTest->Add(strLabel);
            }
            s.queue.push_back(std::move(d));
            if (!s.bThread) {
                s.bThread = true;
                s.bBusy = true;
                g_bAbort = false;
                std::thread(DeliveryThread, s.nGeneration).detach();
            }
            s.changed.notify_all();
            return true;
        }
        ++s.counters.nDropped;
    }
    if (t_ppTest)
        (*t_ppTest)->Set((*t_ppTest)->Add(strLabel), "dropped: the delivery queue is full");
    Report(strLabel + " dropped: the delivery queue is full");
    return false;
}

bool IsDeliveryAborted()
{
    return t_bDeliveryThread && (g_bAbort.load() || t_nGeneration != g_nLiveGeneration.load());
}

void SetDeliveryPolicy(const CDeliveryPolicy& policy)
{
    CQueueState& s = State();
    std::lock_guard lock(s.mutex);
    s.policy = policy;
    s.changed.notify_all();
}

CDeliveryPolicy GetDeliveryPolicy()
{
    CQueueState& s = State();
    std::lock_guard lock(s.mutex);
    return s.policy;
}

bool WaitForDeliveries(std::uint32_t nMs)
{
    CQueueState& s = State();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(nMs),
                              [&] { return s.queue.empty() && !s.bBusy; });
}

void StopDeliveries(std::uint32_t nLimitMs)
{
    CQueueState& s = State();
    std::deque<CDelivery> dropped;
    {
        std::unique_lock lock(s.mutex);
        const auto end = Clock::now() + std::chrono::milliseconds(nLimitMs);
        // What can go out within the limit goes out; then the attempt in
        // progress is told to give up, and gets a moment to do so.
        s.changed.wait_until(lock, end, [&] { return s.queue.empty() && !s.bBusy; });
        s.bStopping = true;
        g_bAbort = true;
        s.changed.notify_all();
        s.changed.wait_until(lock, std::max(end, Clock::now() + std::chrono::milliseconds(200)),
                             [&] { return !s.bThread; });
        // A thread still in its attempt is left to end on its own.
        g_nLiveGeneration = ++s.nGeneration;
        s.bThread = false;
        s.bBusy = false;
        dropped.swap(s.queue);
        s.counters.nDropped += dropped.size();
        s.bStopping = false;
    }
    for (const CDelivery& d : dropped) {
        d.Tell("dropped: the program is ending");
        Report(d.strLabel + " dropped: the program is ending");
    }
}

CDeliveryTest::CDeliveryTest() : m_pResults(std::make_shared<CResults>())
{
    t_ppTest = &m_pResults;
}

CDeliveryTest::~CDeliveryTest()
{
    t_ppTest = nullptr;
}

std::vector<std::string> CDeliveryTest::Wait(std::uint32_t nMs)
{
    CResults& r = *m_pResults;
    std::unique_lock lock(r.mutex);
    r.done.wait_for(lock, std::chrono::milliseconds(nMs), [&] { return r.nPending == 0; });
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < r.labels.size(); ++i)
        lines.push_back(r.labels[i] + ": " +
                        (r.outcomes[i].empty() ? std::string("no answer yet") : r.outcomes[i]));
    return lines;
}

CDeliveryCounters GetDeliveryCounters()
{
    CQueueState& s = State();
    std::lock_guard lock(s.mutex);
    return s.counters;
}
