#pragma once
// The headless program under systemd: start-up, reloading and stopping told
// to the service manager (sd_notify), its watchdog kept alive while the scan
// thread makes progress, and the system log's lines copied to standard error
// with syslog priority prefixes when standard error is the journal. Outside
// a service (no NOTIFY_SOCKET, WATCHDOG_USEC or JOURNAL_STREAM) none of it
// does anything.
//
// Threads: the main thread, except the journal copy, which the system log
// writer calls on any thread (one line at a time, under its lock).
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/base/win32types.h"

// Sends one state ("READY=1", "RELOADING=1", "STOPPING=1", "STATUS=...") to
// the service manager.
void NotifyServiceManager(const std::string& state);
// CLOCK_MONOTONIC in microseconds, which "RELOADING=1" carries as
// MONOTONIC_USEC so that the manager can tell one reload from the next.
std::uint64_t MonotonicMicroseconds();

// Keeps the service manager's watchdog alive while scanning makes progress:
// every half interval Check sends "WATCHDOG=1" when the scan heartbeat
// (GetScanHeartbeat) moved since the last check or no scan thread runs. A
// scan thread stuck for a whole interval thus gets the service restarted.
class CServiceWatchdog {
public:
    CServiceWatchdog();
    bool IsEnabled() const { return m_interval.count() > 0; }
    // Milliseconds until the next check is due (at most nLimitMs).
    DWORD WaitMs(DWORD nLimitMs) const;
    void Check(bool bScanThreadRunning);

private:
    std::chrono::microseconds m_interval{0};
    std::chrono::steady_clock::time_point m_next;
    std::uint64_t m_nLastBeat = 0;
};

// The syslog priority of a system log line: 4 (warning) for warnings and
// missing privileges, 3 (error) for errors and failures, 4 for what was
// skipped or cut short, 6 (information) for the rest.
int SystemLogPriority(const std::string& line);

// Whether JOURNAL_STREAM names the device and inode of standard error.
bool StandardErrorIsJournal();

// From now on, when standard error is the journal, every system log line is
// written to it as well, prefixed "<N>" with its priority.
void CopySystemLogToJournal();
