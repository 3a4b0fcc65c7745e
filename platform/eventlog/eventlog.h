#pragma once
// The event log service: the Win32 event log functions (8-bit "A" forms)
// over classic .evt files at <computer folder>/eventlog/<LOG>.evt, with the
// logs of each computer registered in its registry (logconfig.h).
//
// Servers are given as on Windows: null or "" for the local computer, else
// "\\NAME" or "NAME"; an unknown computer fails with RPC_S_SERVER_UNAVAILABLE.
// Strings are 8-bit (UTF-8); the files keep them in UTF-16LE.
//
// Handles: OpenEventLogA and OpenBackupEventLogA return read handles, which
// the caller releases with CloseEventLog; RegisterEventSourceA returns a
// write handle, released with DeregisterEventSource. Any thread may call
// these; one handle may be shared, calls on it are serialised. A closed or
// unknown handle fails with ERROR_INVALID_HANDLE. Failures return FALSE or
// null and set the Win32 last error.
//
// Event times (TimeGenerated, TimeWritten) come from the model's clock
// (platform/base/clock.h), which is the system clock unless a test installs
// another.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/win32types.h"
#include "platform/eventlog/evtfile.h"
#include "platform/eventlog/evtformat.h"
#include "platform/eventlog/logconfig.h"
#include "platform/security/sid.h"

constexpr DWORD EVENTLOG_SEQUENTIAL_READ = 0x0001;
constexpr DWORD EVENTLOG_SEEK_READ = 0x0002;
constexpr DWORD EVENTLOG_FORWARDS_READ = 0x0004;
constexpr DWORD EVENTLOG_BACKWARDS_READ = 0x0008;

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr WORD EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr WORD EVENTLOG_AUDIT_FAILURE = 0x0010;

// The fixed part of a record in a ReadEventLogA buffer; SourceName and
// ComputerName follow it, the rest is found through the offsets. Records lie
// one after another, each Length bytes (a multiple of 4).
struct EVENTLOGRECORD {
    DWORD Length;
    DWORD Reserved;
    DWORD RecordNumber;
    DWORD TimeGenerated;
    DWORD TimeWritten;
    DWORD EventID;
    WORD EventType;
    WORD NumStrings;
    WORD EventCategory;
    WORD ReservedFlags;
    DWORD ClosingRecordNumber;
    DWORD StringOffset;
    DWORD UserSidLength;
    DWORD UserSidOffset;
    DWORD DataLength;
    DWORD DataOffset;
};
static_assert(sizeof(EVENTLOGRECORD) == EVT_RECORD_FIXED_SIZE);

// Opens a log: the name is matched without regard to case against the logs,
// then against the sources (opening the source's log); any other name opens
// Application. A log file that does not exist yet is created. ERROR_ACCESS_DENIED
// when the caller may not read it.
HANDLE OpenEventLogA(const char* server, const char* sourceName);
// Opens a saved .evt file (a path that may be UNC) read-only;
// ERROR_EVENTLOG_FILE_CORRUPT when it is not one.
HANDLE OpenBackupEventLogA(const char* server, const char* fileName);
BOOL CloseEventLog(HANDLE log);

// Reads whole records into the buffer (flags: one of SEQUENTIAL/SEEK, one of
// FORWARDS/BACKWARDS, else ERROR_INVALID_PARAMETER). A first record larger
// than the buffer fails with ERROR_INSUFFICIENT_BUFFER and its size in
// *minBytesNeeded; no record at the position gives ERROR_HANDLE_EOF; a seek
// outside oldest..newest ERROR_INVALID_PARAMETER; a read after the log was
// cleared through another handle ERROR_EVENTLOG_FILE_CHANGED (the next read
// starts afresh). Damaged records are passed over: a read hands out the
// intact records in order, and a seek to a number that is missing starts at
// the next intact record in the direction of the read
// (GetEventLogFileInfo lists the gaps).
BOOL ReadEventLogA(HANDLE log, DWORD readFlags, DWORD recordOffset, void* buffer, DWORD bytesToRead,
                   DWORD* bytesRead, DWORD* minBytesNeeded);
BOOL GetOldestEventLogRecord(HANDLE log, DWORD* oldestRecord);
BOOL GetNumberOfEventLogRecords(HANDLE log, DWORD* numberOfRecords);

// Empties the log, first saving it to backupFileName when one is given (a
// path that may be UNC, which must not exist: ERROR_ALREADY_EXISTS, and the
// log stays as it was). The log's current MaxSize applies from now on.
BOOL ClearEventLogA(HANDLE log, const char* backupFileName);
BOOL BackupEventLogA(HANDLE log, const char* backupFileName);

// A write handle for a source: the log that registers the source (without
// regard to case), else Application. ERROR_ACCESS_DENIED when the caller may
// not write the log.
HANDLE RegisterEventSourceA(const char* server, const char* sourceName);
// A write handle for a source name in a named log (matched without regard
// to case; ERROR_FILE_NOT_FOUND when there is none), whatever the registry
// says of the source: the event log tool's way to write into a given log.
HANDLE RegisterEventSourceInLogA(const char* server, const char* log, const char* sourceName);
BOOL DeregisterEventSource(HANDLE eventLog);
// Stores an event with the source's name as registered and the local
// computer's name. A log full under its retention drops the event with
// ERROR_LOG_FILE_FULL. A log damaged where the event would go is not written
// (no record number is given twice): ERROR_EVENTLOG_FILE_CORRUPT, and
// GetEventLogDamageText() says where.
BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventID, PSID userSid,
                  WORD numStrings, DWORD dataSize, const char** strings, const void* rawData);

// What the event log tool shows about a log.
struct CEventLogFileInfo {
    std::string m_strPath;
    DWORD m_dwOldest = 0;
    DWORD m_dwCount = 0;
    DWORD m_dwFileSize = 0;
    CEvtHeader m_header; // ring values, MaxSize, flags, retention
    // The file's device and inode in one number: a clear replaces the file,
    // so a cleared log shows another identity.
    std::uint64_t m_nFileIdentity = 0;
    // The intact records found, the stretches without them (damaged bytes,
    // or numbers a repair left out) and the offset of the first damage (0:
    // the log is not damaged).
    DWORD m_dwIntact = 0;
    std::vector<CEvtGap> m_gaps;
    DWORD m_dwDamageOffset = 0;
};
BOOL GetEventLogFileInfo(HANDLE log, CEventLogFileInfo& info);

// The number of the intact record that a read from `number` in the given
// direction starts at, by the gaps of the info (number itself when it is in
// none).
DWORD FirstIntactRecord(const CEventLogFileInfo& info, DWORD number, bool forwards);

// The refusal of the last ReportEventA on this thread that found its log
// damaged: "the event log FILE is damaged at offset N; run qvevent repair".
std::string GetEventLogDamageText();

// Rewrites a damaged log from its intact records, keeping their numbers and
// the next number, after saving the damaged file as backupFileName (a path
// that may be UNC, which must not exist: ERROR_ALREADY_EXISTS). The file
// stays the same file. *repaired is FALSE when the log was not damaged
// (nothing changes, no backup).
BOOL RepairEventLogA(HANDLE log, const char* backupFileName, BOOL* repaired);

// Administration of a computer's logs (an unknown computer gives
// ERROR_BAD_NETPATH): the log names, registering a log (created, or its
// values changed) and registering a source under a log.
BOOL EnumEventLogs(const char* server, std::vector<CEventLogConfig>& logs);
BOOL AddEventLog(const char* server, const char* log, std::optional<DWORD> maxSize,
                 std::optional<DWORD> retention);
BOOL AddEventSource(const char* server, const char* log, const char* source,
                    const CEventSourceConfig& config);
