#pragma once
// The system log writer through which every system log line of the program
// passes, one at a time, on its way to the common library's LogError, and the
// snapshot of the extended-audit switch that the scans test.
//
// WriteSystemLog and WriteSystemLogF may be called from any thread;
// g_csSystemLog is re-entrant, so a caller that holds it may write too.
//
// Repeats. While a CSystemLogRepeatScope lives on a thread (a scan holds one),
// a line that this thread already wrote within the scope is not written
// again but counted; when the scope ends, each repeated line gets one more
// line with its count (SYSTEM_LOG_REPEAT_FORMAT). Every distinct line is
// still written once, in order.
#include <cstddef>

#include "platform/base/sync.h"

// Held around every write made through WriteSystemLog and WriteSystemLogF.
extern CCriticalSection g_csSystemLog;

// Settings/ExtendedAudit as last read by RefreshExtendedAudit: written on the
// user-interface thread while the scan thread is not running (at start-up and
// when the scan thread starts), read by the scans.
extern int g_bExtendedAudit;

// Sets g_bExtendedAudit from the setting.
void RefreshExtendedAudit();

// Writes one line to the system log.
void WriteSystemLog(const char* text);
// Formats a line printf-style into a buffer of 1000 bytes (a longer line is
// cut to 999 bytes, at a character boundary) and writes it.
void WriteSystemLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A second place that every system log line goes to after the log file
// (the headless program's standard error when it is the journal); null for
// none. Called under g_csSystemLog, with the line without time stamp.
using SystemLogEcho = void (*)(const char* line);
void SetSystemLogEcho(SystemLogEcho pfnEcho);

// The line written for a repeated line when its scope ends: the number of
// further times and the line.
inline constexpr const char* SYSTEM_LOG_REPEAT_FORMAT = "Repeated %u more times in this scan: %s";
// Distinct lines one scope tracks; lines beyond them are written as they
// come.
constexpr std::size_t SYSTEM_LOG_REPEAT_LINES = 4096;

// Counts repeated lines of the calling thread while it lives (see above).
// Scopes nest: the outermost one reports. Construct and destroy on the same
// thread.
class CSystemLogRepeatScope {
public:
    CSystemLogRepeatScope();
    ~CSystemLogRepeatScope();
    CSystemLogRepeatScope(const CSystemLogRepeatScope&) = delete;
    CSystemLogRepeatScope& operator=(const CSystemLogRepeatScope&) = delete;
};
