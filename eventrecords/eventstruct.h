#pragma once
// CEventStruct: one event as the system holds it in memory, filled from a raw
// record of a ReadEventLogA buffer (SetFromRecord) and read by the event scan,
// the message rendering, the event search keys, the task variables and the
// event viewer. It also serves as the field template of an event search key,
// which is why it carries a mask of the fields that hold values and has a
// stored form.
//
// An object is used by one thread at a time. SetFromRecord looks up the
// record's user SID on the local computer (platform/security), also for a
// record read from a remote log.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32types.h"
#include "platform/eventlog/eventlog.h"

// Which fields of a CEventStruct hold values.
constexpr DWORD EVF_SOURCE = 0x001;
constexpr DWORD EVF_CATEGORY = 0x002;
constexpr DWORD EVF_USER = 0x004;
constexpr DWORD EVF_COMPUTER = 0x008;
constexpr DWORD EVF_EVENTID = 0x010;
constexpr DWORD EVF_TIMEGENERATED = 0x020;
constexpr DWORD EVF_EVENTTYPE = 0x040;
constexpr DWORD EVF_TIMEWRITTEN = 0x080;
constexpr DWORD EVF_RECORDNUMBER = 0x100;
// A record read from a log has every field.
constexpr DWORD EVF_ALL = 0x1FF;

// The user of a record whose SID is absent or names no account.
inline constexpr const char* EVENT_USER_NONE = "N/A";

// Account names of the SIDs met during one read, so that a block of records
// of the same few accounts looks each one up once. The lookup keeps the
// rules of a single LookupAccountSidA call (50-character buffers, the name
// without its domain, "N/A" when it fails). One reader at a time.
class CAccountNameCache {
public:
    // The account name of the SID bytes (which must be a valid SID), or
    // false when the lookup fails.
    bool Lookup(const BYTE* pSid, DWORD nLength, std::string& strName);
    void Clear() { m_entries.clear(); }

private:
    static constexpr std::size_t MAX_ENTRIES = 32;
    // SID bytes -> name, empty when the lookup failed.
    std::vector<std::pair<std::string, std::string>> m_entries;
};

class CEventStruct : public CObject {
    DECLARE_SERIAL(CEventStruct)
public:
    // The empty state: times, category, event ID, record number and mask 0,
    // the three strings empty, no insertion strings, event type 4.
    CEventStruct() = default;
    CEventStruct(const CEventStruct& src) = default;
    ~CEventStruct() override = default;
    // Every field, insertion strings included; assigning to itself does
    // nothing.
    CEventStruct& operator=(const CEventStruct& src);

    // Back to the empty state (string capacity is kept for reuse).
    void Reset();

    // Fills the object from the raw record at pRecord, of which nAvailable
    // bytes are readable. The record's Length and every offset and string
    // inside it are checked against those bytes and against Length itself;
    // a record that leaves them gives FALSE (the object is then in the
    // empty state). The user is the account name of the record's SID, or
    // "N/A". All nine mask bits are set on success. pAccounts, when given,
    // remembers SID lookups across the records of one read.
    BOOL SetFromRecord(const EVENTLOGRECORD* pRecord, std::size_t nAvailable,
                       CAccountNameCache* pAccounts = nullptr);

    // The times as local calendar time values: the UTC time shifted by the
    // local offset in force now (standard or daylight, whatever the time's
    // own date), broken down and rebuilt with daylight saving "unknown".
    // This is the event log's own rule for record times; a winter event seen
    // in summer shows one hour later than its true local time.
    CTime GetTimeGenerated() const { return ToRecordLocalTime(m_timeGenerated); }
    CTime GetTimeWritten() const { return ToRecordLocalTime(m_timeWritten); }
    static CTime ToRecordLocalTime(CTime utc);

    // "Error", "Warning", "Information", "Audit Success", "Audit Failure"
    // for 1, 2, 4, 8, 16; "" for any other value.
    static const char* GetEventTypeName(UINT nType);

    // Record: 32-bit version 1 (read and not checked), mask, category,
    // event ID, computer, source, user, 16-bit event type. The times, the
    // record number and the insertion strings are not stored.
    void Serialize(CArchive& ar) override;

    CTime m_timeGenerated;
    CTime m_timeWritten;
    std::string m_strSource;
    std::string m_strUser;
    std::string m_strComputer;
    DWORD m_nCategory = 0;
    DWORD m_nEventID = 0; // qualifier bits included
    WORD m_nEventType = EVENTLOG_INFORMATION_TYPE;
    DWORD m_nRecordNumber = 0;
    DWORD m_nFieldMask = 0;
    std::vector<std::string> m_arrStrings;
};
