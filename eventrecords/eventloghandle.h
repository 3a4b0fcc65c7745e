#pragma once
// CEventLogHandle: one open event log of one computer, over the event log
// service (platform/eventlog): open, close, oldest and newest record number,
// clear, read a range of records into a CEventList, and write a mark event.
// A handle is opened and closed within one operation; destruction closes it.
// One thread at a time per handle; failures of reads and of Clear are
// written to the system log.
//
// The stop request. ReadEvents gives up between two blocks when the scan
// manager asks the scan to stop. The manager lives above this library, so it
// installs its test once at start-up, before the scan thread runs:
//
//     SetEventReadStopCheck([] { return g_hStopScanEvent.IsSet(); });
//
// Until then (and after SetEventReadStopCheck(nullptr)) reads never stop.
#include <cstdint>
#include <string>
#include <vector>

#include "eventrecords/eventlist.h"
#include "platform/base/win32types.h"
#include "platform/eventlog/eventlog.h"

// Bytes asked for by one read of ReadEvents; a single larger record is read
// through a buffer of the size the service asks for.
constexpr DWORD EVENT_READ_BLOCK = 100000;

// The mark a user writes into an event log: an information event of this
// source with this event ID, whose one insertion string is the mark text.
inline constexpr const char* EVENT_MARK_SOURCE = "Quorvil";
constexpr DWORD EVENT_MARK_ID = 100;

// True when reading should stop. Called on the reading thread.
using EventReadStopCheck = bool (*)();
// Installs the stop test (null: never stop). Thread-safe.
void SetEventReadStopCheck(EventReadStopCheck pfnCheck);
// Whether the installed test asks to stop.
bool IsEventReadStopRequested();

// " between record A and record B", " before record B", " after record A"
// or nothing: where a gap of a log lies.
std::string DescribeGap(const CEvtGap& gap);

// Converts the records of one ReadEventLogA block of nBytes bytes and
// appends them to the list, up to a record of length 0 or the end of the
// bytes. A record that cannot be converted is left out with the system log
// line "<name> : Error extracting record: <number>"; a record whose length
// leaves the block (or is below the fixed part) ends the block with
// "<name> : Exception reading event, last loaded <number> !" and the result
// false. *pnLastNumber is the record number of the last whole record met (0
// when none). pAccounts may be null.
bool ConvertEventRecords(const BYTE* pBlock, DWORD nBytes, CEventList& list,
                         const std::string& strName, CAccountNameCache* pAccounts,
                         DWORD* pnLastNumber);

class CEventLogHandle {
public:
    CEventLogHandle() = default;
    ~CEventLogHandle() { Close(); }
    CEventLogHandle(const CEventLogHandle&) = delete;
    CEventLogHandle& operator=(const CEventLogHandle&) = delete;

    // Opens the log (an open one is closed first); the computer is passed to
    // the service as given ("" for the local computer). On failure the last
    // error is the service's and the handle stays closed.
    BOOL Open(const std::string& strComputer, const std::string& strLog);
    // Closes the log if open (a failure is ignored) and empties the name.
    void Close();
    bool IsOpen() const { return m_hEventLog != nullptr; }
    // computer + "\" + log while open, empty when closed.
    const std::string& GetName() const { return m_strName; }

    // The oldest record number; 0 with the last error set on failure.
    DWORD GetOldest();
    // oldest + count - 1; 0 when the log is empty or the count cannot be
    // read.
    DWORD GetNewest();
    // Empties the log without a backup. A failure sets the last error and
    // writes a system log line; 0 when the log is not open.
    BOOL Clear();
    DWORD GetError() const { return m_dwError; }

    // Appends the records nFirst..nLast (clamped to oldest..newest) to the
    // list, reading forwards in blocks of EVENT_READ_BLOCK bytes; a single
    // larger record is read through a buffer of its own. Damaged records are
    // passed over (the service hands out the intact ones), with one system
    // log line per damaged stretch whose next record lies in the range:
    // "<name> : Damaged records skipped at offset N: B bytes between record
    // A and record C". Returns FALSE when a
    // stop was requested before a block, when the service refused the
    // position (ERROR_INVALID_PARAMETER, also for nFirst beyond the newest
    // record) or on another read error. A malformed record, or a second read
    // into the record's own buffer that fails, ends the read and keeps the
    // result.
    // Records appended before any of these stay in the list, and records of
    // the last block past nLast are appended too. Each failure writes its
    // system log line. Clears the SID lookups of the previous read.
    BOOL ReadEvents(DWORD nFirst, DWORD nLast, CEventList& list);
    // The number of the last record the last ReadEvents read or passed over
    // (nFirst - 1 when it reached none). A record larger than the service
    // hands out (EVT_MAX_READ_BUFFER) is passed over with one system log line,
    // and the read goes on after it.
    DWORD GetLastReached() const { return m_nReached; }
    // What the open log's file is (0 when unknown); a cleared log is a new
    // file.
    std::uint64_t GetFileIdentity();
    // What the service knows of the open log's file: identity, gaps, the
    // offset of the first damage. FALSE with the last error on failure.
    BOOL GetFileInfo(CEventLogFileInfo& info);

    // Writes a mark event (EVENT_MARK_SOURCE, EVENT_MARK_ID, information,
    // category 0, no user, the text as its one string) into the computer's
    // log of that source. Nonzero on success; 0 when the source cannot be
    // registered or the event not written; a log damaged where the event
    // would go refuses it, with a system log line that says where.
    static BOOL ReportMark(const std::string& strComputer, const std::string& strText);

private:
    HANDLE m_hEventLog = nullptr;
    DWORD m_dwError = 0;
    DWORD m_nReached = 0;
    std::string m_strName;
    std::vector<BYTE> m_buffer;   // the block buffer, kept between reads
    CEventLogFileInfo m_info;     // the log as the current read found it
    CAccountNameCache m_accounts; // SID lookups of the current read
};
