#include "core/grouprules.h"

#include <algorithm>
#include <utility>

CGroupRules::CGroupRules(const CGroupRules& other)
    : m_threshold(other.m_threshold), m_silence(other.m_silence)
{
    CopyStateFrom(other);
}

CGroupRules& CGroupRules::operator=(const CGroupRules& other)
{
    if (this == &other)
        return *this;
    m_threshold = other.m_threshold;
    m_silence = other.m_silence;
    CopyStateFrom(other);
    return *this;
}

void CGroupRules::CopyStateFrom(const CGroupRules& other)
{
    CState copy;
    {
        std::lock_guard lock(other.m_mutex);
        copy.order = other.m_state.order;
        for (auto it = copy.order.begin(); it != copy.order.end(); ++it)
            copy.values[*it] = {other.m_state.values.at(*it).times, it};
        copy.bCapReported = other.m_state.bCapReported;
        copy.armed = other.m_state.armed;
        copy.lastMatch = other.m_state.lastMatch;
        copy.bFired = other.m_state.bFired;
        copy.handledDeadline = other.m_state.handledDeadline;
    }
    std::lock_guard lock(m_mutex);
    m_state = std::move(copy);
}

void CGroupRules::Store(CArchive& ar) const
{
    ar << LONG{m_threshold.bEnabled} << LONG{m_threshold.nCount} << LONG{m_threshold.nSeconds}
       << m_threshold.strPer;
    ar << LONG{m_silence.bEnabled} << LONG{m_silence.nMinutes} << m_silence.strBy
       << static_cast<DWORD>(m_silence.weekdays.size());
    for (int day : m_silence.weekdays)
        ar << LONG{day};
}

void CGroupRules::Load(CArchive& ar)
{
    LONG bThreshold = 0;
    LONG nCount = 0;
    LONG nSeconds = 0;
    LONG bSilence = 0;
    LONG nMinutes = 0;
    DWORD nDays = 0;
    ar >> bThreshold >> nCount >> nSeconds >> m_threshold.strPer;
    ar >> bSilence >> nMinutes >> m_silence.strBy >> nDays;
    ar.CheckCount(nDays, 4);
    m_silence.weekdays.clear();
    for (DWORD i = 0; i < nDays; ++i) {
        LONG day = 0;
        ar >> day;
        m_silence.weekdays.push_back(day);
    }
    m_threshold.bEnabled = bThreshold != 0;
    m_threshold.nCount = nCount;
    m_threshold.nSeconds = nSeconds;
    m_silence.bEnabled = bSilence != 0;
    m_silence.nMinutes = nMinutes;
}

std::optional<int> CGroupRules::ParseTime(const std::string& text)
{
    if (text.size() != 5 || text[2] != ':')
        return std::nullopt;
    for (std::size_t i : {0u, 1u, 3u, 4u})
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    const int nHour = (text[0] - '0') * 10 + (text[1] - '0');
    const int nMinute = (text[3] - '0') * 10 + (text[4] - '0');
    if (nHour > 23 || nMinute > 59)
        return std::nullopt;
    return nHour * 60 + nMinute;
}

std::string CGroupRules::Describe() const
{
    static constexpr const char* DAYS[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::string text;
    if (m_threshold.bEnabled) {
        text = "threshold: " + std::to_string(m_threshold.nCount) + " matches within " +
               std::to_string(m_threshold.nSeconds) + " s";
        if (!m_threshold.strPer.empty())
            text += " per " + m_threshold.strPer;
    }
    if (m_silence.bEnabled) {
        text += text.empty() ? "silence: " : "; silence: ";
        if (m_silence.strBy.empty()) {
            text += "a match every " + std::to_string(m_silence.nMinutes) + " min";
        } else {
            text += "a match by " + m_silence.strBy;
            for (int day : m_silence.weekdays)
                if (day >= 0 && day < 7)
                    text += std::string(" ") + DAYS[day];
        }
    }
    return text;
}

std::string CGroupRules::Validate() const
{
    if (m_threshold.bEnabled) {
        if (m_threshold.nCount < 1)
            return "The threshold count must be at least 1.";
        if (m_threshold.nSeconds < 1)
            return "The threshold window must be at least 1 second.";
        const std::string& per = m_threshold.strPer;
        if (!per.empty() && (per.size() < 3 || per.front() != '%' || per.back() != '%'))
            return "Count per value of a variable such as %MATCH:ip%, or leave it empty.";
    }
    if (m_silence.bEnabled) {
        if (m_silence.strBy.empty() && m_silence.nMinutes < 1)
            return "The time without a match must be at least 1 minute.";
        if (!m_silence.strBy.empty() && !ParseTime(m_silence.strBy))
            return "The deadline must be a time of day as HH:MM, from 00:00 to 23:59.";
        for (int day : m_silence.weekdays)
            if (day < 0 || day > 6)
                return "Weekdays are numbered 0 (Sunday) to 6 (Saturday).";
    }
    return {};
}

std::optional<CGroupRules::CThresholdHit> CGroupRules::CountMatch(const std::string& value,
                                                                  std::time_t now, bool& bCapped)
{
    bCapped = false;
    std::lock_guard lock(m_mutex);
    auto it = m_state.values.find(value);
    if (it == m_state.values.end()) {
        if (m_state.values.size() >= MAX_THRESHOLD_VALUES) {
            m_state.values.erase(m_state.order.front());
            m_state.order.pop_front();
            bCapped = !std::exchange(m_state.bCapReported, true);
        }
        m_state.order.push_back(value);
        it =
            m_state.values.emplace(value, CState::CValue{{}, std::prev(m_state.order.end())}).first;
    } else {
        m_state.order.splice(m_state.order.end(), m_state.order, it->second.recent);
    }
    std::list<std::time_t>& times = it->second.times;
    times.push_back(now);
    // The window slides: matches older than T seconds no longer count.
    while (!times.empty() && now - times.front() >= m_threshold.nSeconds)
        times.pop_front();
    if (static_cast<int>(times.size()) < m_threshold.nCount)
        return std::nullopt;
    CThresholdHit hit{static_cast<int>(times.size()), times.front(), times.back()};
    m_state.order.erase(it->second.recent);
    m_state.values.erase(it);
    return hit;
}

std::size_t CGroupRules::GetThresholdValueCount() const
{
    std::lock_guard lock(m_mutex);
    return m_state.values.size();
}

void CGroupRules::NoteMatch(std::time_t now)
{
    std::lock_guard lock(m_mutex);
    if (!m_state.armed)
        m_state.armed = now;
    m_state.lastMatch = now;
    m_state.bFired = false;
}

std::time_t CGroupRules::LatestDeadline(std::time_t now, int nMinutes) const
{
    for (int nDaysBack = 0; nDaysBack <= 7; ++nDaysBack) {
        std::tm local{};
        localtime_r(&now, &local);
        local.tm_mday -= nDaysBack;
        local.tm_hour = nMinutes / 60;
        local.tm_min = nMinutes % 60;
        local.tm_sec = 0;
        local.tm_isdst = -1;
        const std::time_t deadline = std::mktime(&local);
        if (deadline > now)
            continue;
        const std::vector<int>& days = m_silence.weekdays;
        if (days.empty() || std::find(days.begin(), days.end(), local.tm_wday) != days.end())
            return deadline;
    }
    return 0;
}

std::optional<std::time_t> CGroupRules::CheckSilence(std::time_t now)
{
    if (!m_silence.bEnabled)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (!m_state.armed) {
        m_state.armed = now;
        return std::nullopt;
    }
    const std::time_t since = std::max(m_state.armed, m_state.lastMatch);
    if (m_silence.strBy.empty()) {
        if (m_state.bFired || now - since < std::time_t{m_silence.nMinutes} * 60)
            return std::nullopt;
        m_state.bFired = true;
        return since;
    }
    const std::optional<int> nMinutes = ParseTime(m_silence.strBy);
    if (!nMinutes)
        return std::nullopt;
    const std::time_t deadline = LatestDeadline(now, *nMinutes);
    // Only a deadline that passed while the program ran, once each; a match
    // in the 24 hours before it meets it.
    if (deadline == 0 || deadline <= m_state.armed || deadline <= m_state.handledDeadline)
        return std::nullopt;
    m_state.handledDeadline = deadline;
    if (m_state.lastMatch > deadline - 24 * 60 * 60)
        return std::nullopt;
    m_state.bFired = true;
    return since;
}
