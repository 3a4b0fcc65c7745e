#include "platform/base/clock.h"

#include <chrono>
#include <thread>

namespace {
CSystemClock g_systemClock;
std::atomic<IClock*> g_pClock{&g_systemClock};
} // namespace

std::int64_t CSystemClock::NowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void CSystemClock::SleepMs(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CManualClock::SleepMs(std::uint32_t milliseconds)
{
    m_nowMs.fetch_add(milliseconds);
    std::this_thread::yield();
}

IClock& GetClock()
{
    return *g_pClock.load();
}

void SetClock(IClock* clock)
{
    g_pClock.store(clock ? clock : &g_systemClock);
}
