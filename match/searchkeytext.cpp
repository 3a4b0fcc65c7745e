#include "match/searchkeytext.h"

#include "platform/clipboard/clipboard.h"

IMPLEMENT_SERIAL(CSearchKeyText, CSearchKey, VERSIONABLE_SCHEMA | 1)

CSearchKeyText& CSearchKeyText::operator=(const CSearchKeyText& src)
{
    Assign(src);
    return *this;
}

void CSearchKeyText::Assign(const CSearchKeyText& src)
{
    if (this == &src)
        return;
    CSearchKey::operator=(src);
    m_bCaseSensitive = src.m_bCaseSensitive;
    m_nMode = src.m_nMode;
    m_strKey1 = src.m_strKey1;
    m_strKey2 = src.m_strKey2;
}

BOOL CSearchKeyText::Match(const CPreparedLine& line) const
{
    // found2 is looked for only where the mode needs it; the result is the
    // same as testing both keys.
    auto found = [&](const std::string& key) {
        return m_bCaseSensitive ? textfold::Find(line.GetLine(), key)
                                : textfold::FindUpper(line.GetUpper(), key);
    };
    switch (m_nMode) {
    case TextKeyMode::ONLY:
        return found(m_strKey1);
    case TextKeyMode::AND:
        return found(m_strKey1) && found(m_strKey2);
    case TextKeyMode::OR:
        return found(m_strKey1) || found(m_strKey2);
    case TextKeyMode::AND_NOT:
        return found(m_strKey1) && !found(m_strKey2);
    }
    return FALSE;
}

std::string CSearchKeyText::GetDescription() const
{
    const std::string k1 = "'" + m_strKey1 + "'";
    const std::string k2 = "'" + m_strKey2 + "'";
    switch (m_nMode) {
    case TextKeyMode::ONLY:
        return k1 + " Only";
    case TextKeyMode::AND:
        return k1 + " AND " + k2;
    case TextKeyMode::OR:
        return k1 + " OR " + k2;
    case TextKeyMode::AND_NOT:
        return k1 + " AND NOT " + k2;
    }
    return {};
}

std::unique_ptr<CSearchKey> CSearchKeyText::Clone() const
{
    return std::make_unique<CSearchKeyText>(*this);
}

void CSearchKeyText::Reset()
{
    CSearchKey::Reset();
    m_nMode = TextKeyMode::ONLY;
    m_strKey1.clear();
    m_strKey2.clear();
    m_bCaseSensitive = FALSE;
}

UINT CSearchKeyText::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::SEARCHKEYTEXT);
}

void CSearchKeyText::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CSearchKey));
    CSearchKey::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << static_cast<LONG>(m_nMode) << m_bCaseSensitive << m_strKey1 << m_strKey2;
    } else {
        DWORD nVersion;
        LONG nMode;
        ar >> nVersion >> nMode >> m_bCaseSensitive >> m_strKey1 >> m_strKey2;
        m_nMode = static_cast<TextKeyMode>(nMode);
    }
}
