#pragma once
// What a journal entry means to the rest of the program: journal matches as
// the user writes them, and the mapping of an entry's fields onto the fields
// of an event, which event keys and the task variables use unchanged.
//
//   Source     SYSLOG_IDENTIFIER, else _COMM
//   Computer   _HOSTNAME
//   User       the account name of _UID ("N/A" without one)
//   Type       PRIORITY 0-3 Error, 4 Warning, 5-7 (or none) Information
//   Event ID   the number in EVENT_ID, else 0
//   Category   SYSLOG_FACILITY (its name is the category text)
//   Text       MESSAGE
//   Time       the entry's realtime timestamp
//
// Plain functions of values; any thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "eventrecords/eventstruct.h"

// One journal match as sd_journal_add_match takes it ("FIELD=value"), or a
// disjunction ("+") between groups of matches.
struct CJournalMatch {
    std::string strMatch; // empty for a disjunction
};

// Expands the user's matches: "FIELD=value", "FIELD=low..high" (whole
// numbers, each value in between; at most 1000), and "+" (the entries of
// the matches before or of those after it). FIELD is upper-case letters,
// digits and "_", not starting with a digit. False with a reason on a bad
// match.
bool ParseJournalMatches(const std::vector<std::string>& arrMatches,
                         std::vector<CJournalMatch>& result, std::string& strError);

// The fields of one entry: a copy of every "NAME=value" (sd-journal's data
// pointers last only until its next call), and views of those the mapping
// uses. The views stay valid until the next Clear.
class CJournalEntryFields {
public:
    std::string_view identifier; // SYSLOG_IDENTIFIER
    std::string_view comm;       // _COMM
    std::string_view hostname;   // _HOSTNAME
    std::string_view uid;        // _UID
    std::string_view priority;   // PRIORITY
    std::string_view facility;   // SYSLOG_FACILITY
    std::string_view eventId;    // EVENT_ID
    std::string_view message;    // MESSAGE
    std::string_view unit;       // _SYSTEMD_UNIT
    std::uint64_t nRealtimeUsec = 0;

    // Empties the entry, keeping the memory for the next one.
    void Clear();
    // Copies one "NAME=value" of the entry; Finish sets the views once all
    // are there (the last of a repeated name counts).
    void Add(std::string_view data);
    void Finish();

    // Every "NAME=value" added, in order.
    std::size_t GetCount() const { return m_items.size(); }
    std::string_view GetField(std::size_t i) const
    {
        return std::string_view(m_data).substr(m_items[i].nOffset, m_items[i].nLength);
    }

private:
    struct CItem {
        std::size_t nOffset; // in m_data
        std::size_t nLength;
        int nMapped; // the view it sets, or -1
    };

    std::string m_data;
    std::vector<CItem> m_items;
};

// Sets the event's times (generated and written) to the entry's realtime
// timestamp.
void SetJournalEventTime(CEventStruct& event, std::uint64_t nRealtimeUsec);

// The event type of a PRIORITY value (1 error, 2 warning, 4 information).
WORD JournalPriorityToType(std::string_view priority);
// A decimal number of the field, or 0.
DWORD JournalNumber(std::string_view value);
// "kern", "user", ..., "local7" for the syslog facilities, else the number.
std::string JournalFacilityName(DWORD nFacility);

// Account names of user IDs, looked up once per ID. One thread at a time.
class CJournalUserNames {
public:
    const std::string& Lookup(std::string_view uid);

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

// Fills the event from the fields by the mapping above; the record number
// is left as it is.
void JournalEntryToEvent(const CJournalEntryFields& fields, CJournalUserNames& users,
                         CEventStruct& event);

// The seqnum of a journal cursor ("...;i=1a2b;..."), or 0.
std::uint64_t JournalCursorSeqnum(std::string_view cursor);
