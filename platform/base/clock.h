#pragma once
// The model's clock. Every "now" of the model (scan times, the scan thread's
// timing, the autosave request) is read here, so tests can replace the clock
// and move time instead of sleeping.
#include <atomic>
#include <cstdint>
#include <memory>

class IClock {
public:
    virtual ~IClock() = default;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t NowSeconds() = 0;
    // Waits the given milliseconds of this clock's time.
    virtual void SleepMs(std::uint32_t milliseconds) = 0;
};

// The system's real-time clock.
class CSystemClock final : public IClock {
public:
    std::int64_t NowSeconds() override;
    void SleepMs(std::uint32_t milliseconds) override;
};

// A clock that only moves when told to. SleepMs advances it by the time slept
// (and yields the processor), so loops that sleep run through hours of their
// time in moments. Thread-safe.
class CManualClock final : public IClock {
public:
    explicit CManualClock(std::int64_t startSeconds = 1'000'000'000) : m_nowMs(startSeconds * 1000)
    {
    }
    std::int64_t NowSeconds() override { return m_nowMs.load() / 1000; }
    void SleepMs(std::uint32_t milliseconds) override;
    void SetSeconds(std::int64_t seconds) { m_nowMs.store(seconds * 1000); }
    void AdvanceMs(std::int64_t milliseconds) { m_nowMs.fetch_add(milliseconds); }
    std::int64_t NowMs() const { return m_nowMs.load(); }

private:
    std::atomic<std::int64_t> m_nowMs;
};

// The process-wide clock; the system clock unless a test installed another.
IClock& GetClock();
// Installs a clock (null restores the system clock). The caller keeps it
// alive while it is installed. Not to be called while other threads read it.
void SetClock(IClock* clock);
