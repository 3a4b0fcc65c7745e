#include "ui/lists/columnlayout.h"

#include <algorithm>

#include "settings/appsettings.h"

namespace {

// At most nCount values of the byte array; a shorter array gives fewer.
std::vector<DWORD> ReadValues(const char* pszEntry, std::size_t nCount)
{
    std::vector<BYTE> bytes;
    std::vector<DWORD> values;
    if (!AppSettings::GetProfileBinary(AppSettings::SECTION_SETTINGS, pszEntry, bytes))
        return values;
    nCount = std::min(nCount, bytes.size() / 4);
    for (std::size_t i = 0; i < nCount; ++i) {
        const BYTE* p = &bytes[i * 4];
        values.push_back(DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24);
    }
    return values;
}

void WriteValues(const char* pszEntry, const std::vector<DWORD>& values)
{
    std::vector<BYTE> bytes;
    bytes.reserve(values.size() * 4);
    for (DWORD v : values)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<BYTE>(v >> shift));
    AppSettings::WriteProfileBinary(AppSettings::SECTION_SETTINGS, pszEntry, bytes);
}

} // namespace

void CColumnLayout::LoadOnce()
{
    if (!m_arrIds.empty())
        return;
    int nCount = AppSettings::GetProfileInt(AppSettings::SECTION_SETTINGS, m_names.pszCount, 0);
    if (nCount > 0) {
        m_arrIds = ReadValues(m_names.pszFlags, static_cast<std::size_t>(nCount));
        m_arrWidths = ReadValues(m_names.pszWidths, static_cast<std::size_t>(nCount));
        m_bWidthsKept = !m_arrWidths.empty();
    }
    if (m_arrIds.empty()) {
        m_arrIds = {1, 2, 4};
        m_arrWidths = {180, 70, 80};
    }
    m_arrWidths.resize(m_arrIds.size(), NEW_COLUMN_WIDTH);
}

void CColumnLayout::Save() const
{
    AppSettings::WriteProfileInt(AppSettings::SECTION_SETTINGS, m_names.pszCount,
                                 static_cast<int>(m_arrIds.size()));
    WriteValues(m_names.pszFlags, m_arrIds);
    WriteValues(m_names.pszWidths, m_arrWidths);
}

void CColumnLayout::SetColumns(const std::vector<DWORD>& ids)
{
    m_arrIds = ids;
    m_arrWidths.resize(ids.size(), NEW_COLUMN_WIDTH);
}

void CColumnLayout::Forget()
{
    m_arrIds.clear();
    m_arrWidths.clear();
    m_bWidthsKept = false;
}
