#include "app/service.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include "core/monmanager.h"
#include "settings/systemlog.h"

namespace {

void WriteToJournal(const char* text)
{
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // Each line of a text that holds several gets the same priority.
    const std::string prefix = "<" + std::to_string(SystemLogPriority(line)) + ">";
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find('\n', start);
        out += prefix + line.substr(start, end - start) + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    // One write, so that the line stays whole beside other writers.
    if (::write(STDERR_FILENO, out.data(), out.size()) < 0) {
        // The journal is gone; the log file still has the line.
    }
}

} // namespace

void NotifyServiceManager(const std::string& state)
{
    sd_notify(0, state.c_str());
}

std::uint64_t MonotonicMicroseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

CServiceWatchdog::CServiceWatchdog()
{
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        m_interval = std::chrono::microseconds(usec);
    m_next = std::chrono::steady_clock::now();
    m_nLastBeat = GetScanHeartbeat();
}

DWORD CServiceWatchdog::WaitMs(DWORD nLimitMs) const
{
    if (!IsEnabled())
        return nLimitMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_next - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, nLimitMs));
}

void CServiceWatchdog::Check(bool bScanThreadRunning)
{
    const auto now = std::chrono::steady_clock::now();
    if (!IsEnabled() || now < m_next)
        return;
    m_next = now + m_interval / 2;
    const std::uint64_t nBeat = GetScanHeartbeat();
    if (!bScanThreadRunning || nBeat != m_nLastBeat)
        sd_notify(0, "WATCHDOG=1");
    m_nLastBeat = nBeat;
}

int SystemLogPriority(const std::string& line)
{
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto has = [&](const char* word) { return lower.find(word) != std::string::npos; };
    // Missing privileges (and the lines around that report) are warnings:
    // a service runs without them on purpose.
    if (has("privilege") || has("*****") || has("warning"))
        return 4;
    if (has("error") || has("fail") || has("exception") || has("cannot") || has("could not") ||
        has("unable"))
        return 3;
    if (has("not ") || has("skipped") || has("terminated") || has("enabled!"))
        return 4;
    return 6;
}

bool StandardErrorIsJournal()
{
    const char* value = std::getenv("JOURNAL_STREAM");
    if (!value || !*value)
        return false;
    unsigned long long dev = 0;
    unsigned long long ino = 0;
    if (std::sscanf(value, "%llu:%llu", &dev, &ino) != 2)
        return false;
    struct stat st {};
    return ::fstat(STDERR_FILENO, &st) == 0 && static_cast<unsigned long long>(st.st_dev) == dev &&
           static_cast<unsigned long long>(st.st_ino) == ino;
}

void CopySystemLogToJournal()
{
    if (StandardErrorIsJournal())
        SetSystemLogEcho(WriteToJournal);
}
