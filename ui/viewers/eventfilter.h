#pragma once
// What the event viewer's filter bar narrows the list to, and the sorts of
// its columns. Both work on the records held by the viewer's cache
// (CEventLogCache::ReadAll reads the log once), never reading the log again,
// so a filter over a million records takes well under a second.
//
// Threads: any; no state.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "eventrecords/eventstruct.h"

class CEventLogCache;

struct CEventFilter {
    WORD nType = 0;          // one EVENTLOG_* type; 0 for all
    std::string strSource;   // part of the source, any case
    std::optional<DWORD> id; // the event ID as shown, or its low 16 bits
    std::string strText;     // part of the source, user, computer or a string, any case
    std::optional<std::int32_t> from, to; // time generated, UTC seconds, inclusive

    bool IsEmpty() const;
    bool Matches(const CEventStruct& event) const;
};

// The numbers of the records nOldest .. nOldest + nCount - 1 that pass, oldest
// first; records the cache does not hold are left out.
std::vector<DWORD> FilterRecords(CEventLogCache& cache, DWORD nOldest, DWORD nCount,
                                 const CEventFilter& filter);

// Sorts the records by a column of the event viewer (CEventLogModel::Column),
// ties in record order; descending turns the whole order round.
void SortRecords(CEventLogCache& cache, std::vector<DWORD>& records, int nColumn, bool bDescending);
