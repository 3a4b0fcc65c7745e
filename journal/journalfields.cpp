#include "journal/journalfields.h"

#include <array>
#include <charconv>

#include <pwd.h>
#include <unistd.h>

bool ParseJournalMatches(const std::vector<std::string>& arrMatches,
                         std::vector<CJournalMatch>& result, std::string& strError)
{
    result.clear();
    for (const std::string& strMatch : arrMatches) {
        if (strMatch == "+") {
            result.push_back({});
            continue;
        }
        const std::size_t eq = strMatch.find('=');
        const std::string field = strMatch.substr(0, eq);
        bool bGood = eq != std::string::npos && eq > 0 && !(field[0] >= '0' && field[0] <= '9');
        for (char c : field)
            bGood = bGood && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        if (!bGood) {
            strError = "'" + strMatch + "' is not a match of the form FIELD=value";
            return false;
        }
        const std::string value = strMatch.substr(eq + 1);
        const std::size_t dots = value.find("..");
        if (dots == std::string::npos) {
            result.push_back({strMatch});
            continue;
        }
        long nLow = 0;
        long nHigh = 0;
        const char* pEnd = value.data() + value.size();
        auto low = std::from_chars(value.data(), value.data() + dots, nLow);
        auto high = std::from_chars(value.data() + dots + 2, pEnd, nHigh);
        if (low.ec != std::errc() || low.ptr != value.data() + dots || high.ec != std::errc() ||
            high.ptr != pEnd || nLow > nHigh || nHigh - nLow >= 1000) {
            strError = "'" + strMatch + "' is not a range of whole numbers low..high";
            return false;
        }
        for (long n = nLow; n <= nHigh; ++n)
            result.push_back({field + "=" + std::to_string(n)});
    }
    return true;
}

void CJournalEntryFields::Clear()
{
    for (std::string_view* pText :
         {&identifier, &comm, &hostname, &uid, &priority, &facility, &eventId, &message, &unit})
        *pText = {};
    nRealtimeUsec = 0;
    m_data.clear();
    m_items.clear();
}

namespace {

using View = std::string_view CJournalEntryFields::*;
constexpr std::pair<std::string_view, View> MAPPED[] = {
    {"_UID", &CJournalEntryFields::uid},
    {"_COMM", &CJournalEntryFields::comm},
    {"MESSAGE", &CJournalEntryFields::message},
    {"PRIORITY", &CJournalEntryFields::priority},
    {"EVENT_ID", &CJournalEntryFields::eventId},
    {"_HOSTNAME", &CJournalEntryFields::hostname},
    {"_SYSTEMD_UNIT", &CJournalEntryFields::unit},
    {"SYSLOG_FACILITY", &CJournalEntryFields::facility},
    {"SYSLOG_IDENTIFIER", &CJournalEntryFields::identifier},
};

// The index in MAPPED of the name of "NAME=value", or -1.
int MappedIndex(std::string_view data)
{
    for (int i = 0; i < static_cast<int>(std::size(MAPPED)); ++i) {
        const std::string_view name = MAPPED[i].first;
        if (data.size() > name.size() && data[name.size()] == '=' && data.starts_with(name))
            return i;
    }
    return -1;
}

} // namespace

void CJournalEntryFields::Add(std::string_view data)
{
    m_items.push_back({m_data.size(), data.size(), MappedIndex(data)});
    m_data.append(data);
}

void CJournalEntryFields::Finish()
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].nMapped < 0)
            continue;
        const auto& [name, view] = MAPPED[m_items[i].nMapped];
        this->*view = GetField(i).substr(name.size() + 1);
    }
}

WORD JournalPriorityToType(std::string_view priority)
{
    if (priority.size() != 1 || priority[0] < '0' || priority[0] > '7')
        return EVENTLOG_INFORMATION_TYPE;
    if (priority[0] <= '3')
        return EVENTLOG_ERROR_TYPE;
    return priority[0] == '4' ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
}

DWORD JournalNumber(std::string_view value)
{
    DWORD n = 0;
    auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && ptr == value.data() + value.size() ? n : 0;
}

std::string JournalFacilityName(DWORD nFacility)
{
    static constexpr std::array<const char*, 24> NAMES = {
        "kern",   "user",   "mail",     "daemon", "auth",   "syslog",   "lpr",     "news",
        "uucp",   "cron",   "authpriv", "ftp",    "ntp",    "security", "console", "solaris-cron",
        "local0", "local1", "local2",   "local3", "local4", "local5",   "local6",  "local7"};
    return nFacility < NAMES.size() ? NAMES[nFacility] : std::to_string(nFacility);
}

const std::string& CJournalUserNames::Lookup(std::string_view uid)
{
    for (const auto& [key, name] : m_entries)
        if (key == uid)
            return name;
    std::string name = EVENT_USER_NONE;
    uid_t nUid = 0;
    auto [ptr, ec] = std::from_chars(uid.data(), uid.data() + uid.size(), nUid);
    if (!uid.empty() && ec == std::errc() && ptr == uid.data() + uid.size()) {
        struct passwd pw {};
        struct passwd* pResult = nullptr;
        std::array<char, 4096> buffer{};
        if (::getpwuid_r(nUid, &pw, buffer.data(), buffer.size(), &pResult) == 0 && pResult)
            name = pw.pw_name;
        else
            name = std::string(uid);
    }
    if (m_entries.size() >= 64)
        m_entries.erase(m_entries.begin());
    m_entries.emplace_back(std::string(uid), std::move(name));
    return m_entries.back().second;
}

void SetJournalEventTime(CEventStruct& event, std::uint64_t nRealtimeUsec)
{
    event.m_timeGenerated = CTime(static_cast<std::int64_t>(nRealtimeUsec / 1000000));
    event.m_timeWritten = event.m_timeGenerated;
}

void JournalEntryToEvent(const CJournalEntryFields& fields, CJournalUserNames& users,
                         CEventStruct& event)
{
    SetJournalEventTime(event, fields.nRealtimeUsec);
    event.m_strSource.assign(fields.identifier.empty() ? fields.comm : fields.identifier);
    event.m_strComputer.assign(fields.hostname);
    event.m_strUser = users.Lookup(fields.uid);
    event.m_nEventType = JournalPriorityToType(fields.priority);
    event.m_nEventID = JournalNumber(fields.eventId);
    event.m_nCategory = JournalNumber(fields.facility);
    event.m_nFieldMask = EVF_ALL;
    event.m_arrStrings.clear();
}

std::uint64_t JournalCursorSeqnum(std::string_view cursor)
{
    for (std::size_t pos = 0; pos < cursor.size();) {
        std::size_t end = cursor.find(';', pos);
        if (end == std::string_view::npos)
            end = cursor.size();
        const std::string_view item = cursor.substr(pos, end - pos);
        if (item.size() > 2 && item[0] == 'i' && item[1] == '=') {
            std::uint64_t n = 0;
            auto [ptr, ec] = std::from_chars(item.data() + 2, item.data() + item.size(), n, 16);
            return ec == std::errc() && ptr == item.data() + item.size() ? n : 0;
        }
        pos = end + 1;
    }
    return 0;
}
