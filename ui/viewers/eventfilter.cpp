#include "ui/viewers/eventfilter.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "eventrecords/eventlogcache.h"
#include "ui/viewers/eventlogmodel.h"

namespace {

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string Lowered(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

// Whether the lowered needle occurs in the text, any ASCII case.
bool Contains(std::string_view text, std::string_view lowered)
{
    if (lowered.empty())
        return true;
    return std::search(text.begin(), text.end(), lowered.begin(), lowered.end(),
                       [](char a, char b) { return Lower(a) == b; }) != text.end();
}

} // namespace

bool CEventFilter::IsEmpty() const
{
    return nType == 0 && strSource.empty() && !id && strText.empty() && !from && !to;
}

bool CEventFilter::Matches(const CEventStruct& event) const
{
    if (nType != 0 && event.m_nEventType != nType)
        return false;
    if (id && event.m_nEventID != *id && (event.m_nEventID & 0xFFFF) != *id)
        return false;
    const std::int32_t nTime = event.m_timeGenerated.GetTime();
    if ((from && nTime < *from) || (to && nTime > *to))
        return false;
    const std::string source = Lowered(strSource);
    if (!Contains(event.m_strSource, source))
        return false;
    if (strText.empty())
        return true;
    const std::string text = Lowered(strText);
    if (Contains(event.m_strSource, text) || Contains(event.m_strUser, text) ||
        Contains(event.m_strComputer, text))
        return true;
    return std::any_of(event.m_arrStrings.begin(), event.m_arrStrings.end(),
                       [&](const std::string& s) { return Contains(s, text); });
}

std::vector<DWORD> FilterRecords(CEventLogCache& cache, DWORD nOldest, DWORD nCount,
                                 const CEventFilter& filter)
{
    // The needles are lowered once, not per record.
    CEventFilter lowered = filter;
    lowered.strSource = Lowered(filter.strSource);
    lowered.strText = Lowered(filter.strText);
    std::vector<DWORD> records;
    for (DWORD n = 0; n < nCount; ++n) {
        const CEventStruct* pEvent = cache.GetEvent(nOldest + n);
        if (pEvent && lowered.Matches(*pEvent))
            records.push_back(nOldest + n);
    }
    return records;
}

void SortRecords(CEventLogCache& cache, std::vector<DWORD>& records, int nColumn, bool bDescending)
{
    std::vector<std::pair<const CEventStruct*, DWORD>> rows;
    rows.reserve(records.size());
    for (DWORD n : records)
        if (const CEventStruct* pEvent = cache.GetEvent(n))
            rows.emplace_back(pEvent, n);
    auto key = [nColumn](const CEventStruct& e, const CEventStruct& f) {
        switch (nColumn) {
        case CEventLogModel::COL_DATE:
        case CEventLogModel::COL_TIME:
            return e.m_timeGenerated.GetTime() < f.m_timeGenerated.GetTime();
        case CEventLogModel::COL_SOURCE:
            return e.m_strSource < f.m_strSource;
        case CEventLogModel::COL_CATEGORY:
            return e.m_nCategory < f.m_nCategory;
        case CEventLogModel::COL_EVENT:
            return e.m_nEventID < f.m_nEventID;
        case CEventLogModel::COL_USER:
            return e.m_strUser < f.m_strUser;
        case CEventLogModel::COL_COMPUTER:
            return e.m_strComputer < f.m_strComputer;
        default:
            return e.m_nRecordNumber < f.m_nRecordNumber;
        }
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const auto& a, const auto& b) { return key(*a.first, *b.first); });
    records.clear();
    for (const auto& row : rows)
        records.push_back(row.second);
    if (bDescending)
        std::reverse(records.begin(), records.end());
}
