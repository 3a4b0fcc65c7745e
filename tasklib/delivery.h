#pragma once
// The delivery queue of the alert actions. A network action (e-mail, web
// hook, syslog) builds its message on the thread that runs the task and
// queues one attempt function here; one delivery thread makes the attempts,
// so no scan ever waits on the network.
//
// - The queue holds at most CDeliveryPolicy::nCapacity deliveries; one more
//   is refused, logged as dropped and counted.
// - An attempt that fails with a passing reason (a refused connection, a
//   time-out, a server's 5xx or 4xx-temporary reply) is tried again after a
//   back-off that starts at nFirstRetryMs and doubles up to nMaxRetryMs,
//   while the first attempt is less than nRetryWindowMs old. A permanent
//   failure, or the end of that window, is logged to the system log and the
//   text audit file with the reason (the server's reply) and counted.
// - StopDeliveries (program exit) lets the queue drain for at most its limit,
//   then tells the attempt in progress to give up (IsDeliveryAborted) and
//   waits at most 200 ms more for it; deliveries still queued (waiting for a
//   retry, say) are logged as dropped and counted. Stopping the scan does not
//   touch the queue.
//
// Any thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// How long program exit waits at most for the delivery in progress.
inline constexpr std::uint32_t DELIVERY_EXIT_LIMIT_MS = 3000;

struct CDeliveryPolicy {
    std::size_t nCapacity = 1000;
    std::uint32_t nFirstRetryMs = 5'000;
    std::uint32_t nMaxRetryMs = 60'000;
    std::uint32_t nRetryWindowMs = 300'000;
};

struct CAttemptResult {
    bool bOk = false;
    // A failure that may pass (tried again within the window).
    bool bRetry = false;
    // Why it failed: the server's reply or the error.
    std::string strReason;
};

using DeliveryAttempt = std::function<CAttemptResult()>;

// Queues a delivery described by strLabel ("E-mail to a@b in task "T"");
// false when the queue is full or stopping (logged as dropped).
bool QueueDelivery(const std::string& strLabel, DeliveryAttempt attempt);

// True inside an attempt that should end at once: the program is exiting.
bool IsDeliveryAborted();

void SetDeliveryPolicy(const CDeliveryPolicy& policy);
CDeliveryPolicy GetDeliveryPolicy();

// Waits until nothing is queued or in progress, at most nMs; true when idle.
bool WaitForDeliveries(std::uint32_t nMs);

// Program exit: see above. Deliveries queued afterwards start a new thread.
void StopDeliveries(std::uint32_t nLimitMs = DELIVERY_EXIT_LIMIT_MS);

// Test Task Actions: while a CDeliveryTest lives on a thread, the deliveries
// that thread queues are attempted once, without retries, and their outcomes
// are collected as lines ("Web hook POST "..." in task "T": delivered", or
// ": failed: " and the reason). Failures are still logged as usual.
class CDeliveryTest {
public:
    struct CResults;
    CDeliveryTest();
    ~CDeliveryTest();
    CDeliveryTest(const CDeliveryTest&) = delete;
    CDeliveryTest& operator=(const CDeliveryTest&) = delete;
    // Waits until every delivery queued so far has its outcome, at most nMs;
    // one line per delivery in the order queued (still under way: "... : no
    // answer yet").
    std::vector<std::string> Wait(std::uint32_t nMs);

private:
    std::shared_ptr<CResults> m_pResults;
};

struct CDeliveryCounters {
    std::uint64_t nDelivered = 0;
    std::uint64_t nRetried = 0; // attempts that were tried again
    std::uint64_t nFailed = 0;
    std::uint64_t nDropped = 0;
};
CDeliveryCounters GetDeliveryCounters();
