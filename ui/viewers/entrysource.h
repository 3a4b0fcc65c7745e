#pragma once
// IEntrySource: what the entry viewer reads from a log that is not a classic
// event log: the systemd journal (through its cursors) or .evtx files
// (through record indexes). The viewer holds a window of rows, oldest first,
// and grows it at either end; a source reads a page of rows around a row it
// returned before.
//
// Threads: the user interface thread only; a source keeps its own open
// journal or file, never shared with the scan thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/win32types.h"

class CMonitoredObject;

struct CEntryRow {
    std::uint64_t nTimeUsec = 0; // since 1970, UTC
    WORD nType = 0;              // an event type (error, warning, ...)
    std::string strSource;       // identifier or provider
    std::string strExtra;        // unit or event ID
    std::string strHost;
    std::string strMessage;
    // Where the row lies: a journal cursor, or an .evtx file's path and the
    // record's index in it.
    std::string strKey;
    std::uint64_t nIndex = 0;
};

class IEntrySource {
public:
    virtual ~IEntrySource() = default;
    // False with the reason when the log cannot be read.
    virtual bool Open(std::string& strError) = 0;
    // The newest nCount rows, oldest first.
    virtual std::vector<CEntryRow> ReadNewest(std::size_t nCount) = 0;
    // Up to nCount rows just before first, oldest first.
    virtual std::vector<CEntryRow> ReadBefore(const CEntryRow& first, std::size_t nCount) = 0;
    // Every row after last (at most nCount), oldest first.
    virtual std::vector<CEntryRow> ReadAfter(const CEntryRow& last, std::size_t nCount) = 0;
    // Every field of the row's entry, one "NAME=value" or "Name: value" a
    // line; empty when the entry is gone.
    virtual std::string Details(const CEntryRow& row) = 0;
    // The title of the fourth column ("Unit", "Event ID").
    virtual const char* ExtraTitle() const = 0;
    // A descriptor that becomes readable when the log changes (then
    // ProcessWakeup), or -1: the viewer then polls.
    virtual int WakeupFd() { return -1; }
    virtual void ProcessWakeup() {}
};

// The source of a journal or .evtx log; null for any other kind.
std::unique_ptr<IEntrySource> MakeEntrySource(const CMonitoredObject& log);
