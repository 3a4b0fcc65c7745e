#pragma once
// The system log writer through which every system log line of the program
// passes, one at a time, on its way to the common library's LogError, and the
// snapshot of the extended-audit switch that the scans test.
//
// WriteSystemLog and WriteSystemLogF may be called from any thread;
// g_csSystemLog is re-entrant, so a caller that holds it may write too.
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
