#include "eventrecords/eventstruct.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/base/clock.h"
#include "platform/security/sid.h"

IMPLEMENT_SERIAL(CEventStruct, CObject, VERSIONABLE_SCHEMA | 1)

namespace {

// LookupAccountSidA with the buffers the record conversion has always used;
// a name that does not fit counts as a failed lookup.
bool LookupAccountName(const BYTE* pSid, std::string& strName)
{
    char name[50];
    char domain[50];
    DWORD cchName = sizeof name;
    DWORD cchDomain = sizeof domain;
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, const_cast<BYTE*>(pSid), name, &cchName, domain, &cchDomain,
                           &use))
        return false;
    strName.assign(name, cchName);
    return true;
}

} // namespace

bool CAccountNameCache::Lookup(const BYTE* pSid, DWORD nLength, std::string& strName)
{
    std::string_view key(reinterpret_cast<const char*>(pSid), nLength);
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const auto& entry) { return entry.first == key; });
    if (it == m_entries.end()) {
        if (m_entries.size() >= MAX_ENTRIES)
            m_entries.clear();
        std::string name;
        if (!LookupAccountName(pSid, name))
            name.clear();
        m_entries.emplace_back(std::string(key), std::move(name));
        it = m_entries.end() - 1;
    }
    if (it->second.empty())
        return false;
    strName = it->second;
    return true;
}

CEventStruct& CEventStruct::operator=(const CEventStruct& src)
{
    if (this != &src) {
        m_timeGenerated = src.m_timeGenerated;
        m_timeWritten = src.m_timeWritten;
        m_strSource = src.m_strSource;
        m_strUser = src.m_strUser;
        m_strComputer = src.m_strComputer;
        m_nCategory = src.m_nCategory;
        m_nEventID = src.m_nEventID;
        m_nEventType = src.m_nEventType;
        m_nRecordNumber = src.m_nRecordNumber;
        m_nFieldMask = src.m_nFieldMask;
        m_arrStrings = src.m_arrStrings;
    }
    return *this;
}

void CEventStruct::Reset()
{
    m_timeGenerated = CTime();
    m_timeWritten = CTime();
    m_strSource.clear();
    m_strUser.clear();
    m_strComputer.clear();
    m_nCategory = 0;
    m_nEventID = 0;
    m_nEventType = EVENTLOG_INFORMATION_TYPE;
    m_nRecordNumber = 0;
    m_nFieldMask = 0;
    m_arrStrings.clear();
}

BOOL CEventStruct::SetFromRecord(const EVENTLOGRECORD* pRecord, std::size_t nAvailable,
                                 CAccountNameCache* pAccounts)
{
    // Read byte by byte: a record in a buffer need not be aligned.
    const BYTE* p = reinterpret_cast<const BYTE*>(pRecord);
    auto fail = [this] {
        Reset();
        return FALSE;
    };
    if (!p || nAvailable < EVT_RECORD_FIXED_SIZE)
        return fail();
    const DWORD nLength = GetLe32(p + EVT_LENGTH);
    if (nLength < EVT_RECORD_FIXED_SIZE || nLength > nAvailable)
        return fail();
    const std::string_view record(reinterpret_cast<const char*>(p), nLength);

    // The source name and, right after its terminator, the computer name.
    const std::size_t nSourceEnd = record.find('\0', EVT_RECORD_FIXED_SIZE);
    if (nSourceEnd == std::string_view::npos)
        return fail();
    const std::size_t nComputerEnd = record.find('\0', nSourceEnd + 1);
    if (nComputerEnd == std::string_view::npos)
        return fail();

    // Each insertion string takes at least its terminator, which bounds the
    // count before anything is allocated for it.
    const DWORD nStrings = GetLe16(p + EVT_NUM_STRINGS);
    std::size_t nPos = GetLe32(p + EVT_STRING_OFFSET);
    if (nStrings > 0 && (nPos > nLength || nStrings > nLength - nPos))
        return fail();
    m_arrStrings.resize(nStrings);
    for (std::string& str : m_arrStrings) {
        const std::size_t nEnd = record.find('\0', nPos);
        if (nEnd == std::string_view::npos)
            return fail();
        str.assign(record.data() + nPos, nEnd - nPos);
        nPos = nEnd + 1;
    }

    m_strSource.assign(record.data() + EVT_RECORD_FIXED_SIZE, nSourceEnd - EVT_RECORD_FIXED_SIZE);
    m_strComputer.assign(record.data() + nSourceEnd + 1, nComputerEnd - nSourceEnd - 1);
    m_timeGenerated = CTime(GetLe32(p + EVT_TIME_GENERATED));
    m_timeWritten = CTime(GetLe32(p + EVT_TIME_WRITTEN));
    m_nEventID = GetLe32(p + EVT_EVENT_ID);
    m_nEventType = GetLe16(p + EVT_EVENT_TYPE);
    m_nCategory = GetLe16(p + EVT_EVENT_CATEGORY);
    m_nRecordNumber = GetLe32(p + EVT_RECORD_NUMBER);

    // A SID outside the record or malformed cannot name anyone.
    const DWORD nSidLength = GetLe32(p + EVT_USER_SID_LENGTH);
    const DWORD nSidOffset = GetLe32(p + EVT_USER_SID_OFFSET);
    bool bUser = false;
    if (nSidLength != 0 && nSidOffset <= nLength && nSidLength <= nLength - nSidOffset &&
        IsValidSidBytes(p + nSidOffset, nSidLength)) {
        bUser = pAccounts ? pAccounts->Lookup(p + nSidOffset, nSidLength, m_strUser)
                          : LookupAccountName(p + nSidOffset, m_strUser);
    }
    if (!bUser)
        m_strUser = EVENT_USER_NONE;
    m_nFieldMask = EVF_ALL;
    return TRUE;
}

CTime CEventStruct::ToRecordLocalTime(CTime utc)
{
    // The record holds unsigned seconds; FileTimeToLocalFileTime adds the
    // offset in force now, and FileTimeToSystemTime breaks the result down
    // as it is, which is gmtime of the shifted value. The calendar time is
    // then rebuilt with mktime. Both the offset and mktime are costly
    // (mktime reads the zone file), and a scan converts a million records,
    // so the offset is kept for the current second and mktime's result for
    // the current hour of wall-clock time: offsets change on whole hours.
    struct CCache {
        std::string zone; // TZ when the cache was filled
        std::time_t now = -1;
        long gmtoff = 0;
        std::time_t hour = -1;
        std::time_t hourStart = 0; // mktime of the hour's first second
    };
    thread_local CCache cache;
    const std::time_t now = static_cast<std::time_t>(GetClock().NowSeconds());
    const char* zone = std::getenv("TZ");
    if (cache.zone != (zone ? zone : "")) {
        cache = CCache{};
        cache.zone = zone ? zone : "";
    }
    if (now != cache.now) {
        std::tm nowTm{};
        localtime_r(&now, &nowTm);
        cache.now = now;
        cache.gmtoff = nowTm.tm_gmtoff;
    }
    const std::time_t shifted =
        static_cast<std::time_t>(static_cast<DWORD>(utc.GetTime())) + cache.gmtoff;
    const std::time_t hour = shifted / 3600;
    if (hour != cache.hour) {
        const std::time_t start = hour * 3600;
        std::tm fields{};
        gmtime_r(&start, &fields);
        cache.hour = hour;
        cache.hourStart = CTime(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                                fields.tm_hour, fields.tm_min, fields.tm_sec)
                              .GetTime();
    }
    return CTime(static_cast<std::int64_t>(cache.hourStart) + (shifted - hour * 3600));
}

const char* CEventStruct::GetEventTypeName(UINT nType)
{
    switch (nType) {
    case EVENTLOG_ERROR_TYPE:
        return "Error";
    case EVENTLOG_WARNING_TYPE:
        return "Warning";
    case EVENTLOG_INFORMATION_TYPE:
        return "Information";
    case EVENTLOG_AUDIT_SUCCESS:
        return "Audit Success";
    case EVENTLOG_AUDIT_FAILURE:
        return "Audit Failure";
    default:
        return "";
    }
}

void CEventStruct::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_nFieldMask << m_nCategory << m_nEventID << m_strComputer << m_strSource
           << m_strUser << m_nEventType;
    } else {
        ar.GetObjectSchema();
        DWORD nVersion;
        ar >> nVersion >> m_nFieldMask >> m_nCategory >> m_nEventID >> m_strComputer >>
            m_strSource >> m_strUser >> m_nEventType;
    }
}
