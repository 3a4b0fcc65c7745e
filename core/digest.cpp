#include "core/digest.h"

#include "platform/base/modeltime.h"

namespace {

std::string DigestTime(std::int64_t seconds)
{
    return CTime(seconds).Format("%m/%d/%y  %I:%M:%S %p");
}

} // namespace

CDigestState::CDigestState(const CDigestState& other)
{
    *this = other;
}

CDigestState& CDigestState::operator=(const CDigestState& other)
{
    if (this == &other)
        return *this;
    std::scoped_lock lock(m_mutex, other.m_mutex);
    m_nPeriodStart = other.m_nPeriodStart;
    m_nRuns = other.m_nRuns;
    m_nHeld = other.m_nHeld;
    m_nFirstHeld = other.m_nFirstHeld;
    m_nLastHeld = other.m_nLastHeld;
    m_mapHeld = other.m_mapHeld;
    return *this;
}

bool CDigestState::Admit(std::int64_t now, int nRuns, int nMinutes,
                         const std::map<std::string, std::string>& triggerVariables)
{
    (void)nMinutes;
    std::lock_guard lock(m_mutex);
    if (m_nPeriodStart == 0) {
        m_nPeriodStart = now;
        m_nRuns = 0;
        m_nHeld = 0;
    }
    if (m_nRuns < nRuns) {
        ++m_nRuns;
        return true;
    }
    if (m_nHeld++ == 0)
        m_nFirstHeld = now;
    m_nLastHeld = now;
    m_mapHeld = triggerVariables;
    return false;
}

std::optional<std::map<std::string, std::string>> CDigestState::TakeSummary(std::int64_t now,
                                                                            int nMinutes)
{
    std::lock_guard lock(m_mutex);
    if (m_nPeriodStart == 0 || now < m_nPeriodStart + std::int64_t{nMinutes} * 60)
        return std::nullopt;
    std::optional<std::map<std::string, std::string>> summary;
    if (m_nHeld > 0) {
        summary = m_mapHeld;
        (*summary)[VAR_DIGEST_COUNT] = std::to_string(m_nHeld);
        (*summary)[VAR_DIGEST_FIRST_TIME] = DigestTime(m_nFirstHeld);
        (*summary)[VAR_DIGEST_LAST_TIME] = DigestTime(m_nLastHeld);
    }
    m_nPeriodStart = 0;
    m_nRuns = 0;
    m_nHeld = 0;
    m_nFirstHeld = m_nLastHeld = 0;
    m_mapHeld.clear();
    return summary;
}

std::map<std::string, std::string> CDigestState::OrdinaryRunVariables()
{
    return {{VAR_DIGEST_COUNT, "0"}, {VAR_DIGEST_FIRST_TIME, ""}, {VAR_DIGEST_LAST_TIME, ""}};
}

bool CDigestState::IsIdle() const
{
    std::lock_guard lock(m_mutex);
    return m_nPeriodStart == 0;
}

void CDigestState::Serialize(CArchive& ar)
{
    std::lock_guard lock(m_mutex);
    if (ar.IsStoring()) {
        ar << static_cast<LONG>(m_nPeriodStart) << LONG{m_nRuns} << LONG{m_nHeld}
           << static_cast<LONG>(m_nFirstHeld) << static_cast<LONG>(m_nLastHeld)
           << static_cast<DWORD>(m_mapHeld.size());
        for (const auto& [name, value] : m_mapHeld)
            ar << name << value;
        return;
    }
    LONG nStart = 0, nRuns = 0, nHeld = 0, nFirst = 0, nLast = 0;
    DWORD dwCount = 0;
    ar >> nStart >> nRuns >> nHeld >> nFirst >> nLast >> dwCount;
    ar.CheckCount(dwCount, 2);
    m_mapHeld.clear();
    for (DWORD i = 0; i < dwCount; ++i) {
        std::string name, value;
        ar >> name >> value;
        m_mapHeld[name] = value;
    }
    m_nPeriodStart = nStart;
    m_nRuns = nRuns < 0 ? 0 : nRuns;
    m_nHeld = nHeld < 0 ? 0 : nHeld;
    m_nFirstHeld = nFirst;
    m_nLastHeld = nLast;
}

CDigestState::CData CDigestState::GetData() const
{
    std::lock_guard lock(m_mutex);
    return CData{m_nPeriodStart, m_nRuns, m_nHeld, m_nFirstHeld, m_nLastHeld, m_mapHeld};
}

void CDigestState::SetData(const CData& data)
{
    std::lock_guard lock(m_mutex);
    m_nPeriodStart = data.nPeriodStart;
    m_nRuns = data.nRuns;
    m_nHeld = data.nHeld;
    m_nFirstHeld = data.nFirstHeld;
    m_nLastHeld = data.nLastHeld;
    m_mapHeld = data.mapHeld;
}
