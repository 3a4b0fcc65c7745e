#include "match/searchkey.h"

#include "archive/globalarchive.h"

IMPLEMENT_SERIAL(CSearchKey, CObject, VERSIONABLE_SCHEMA | 1)

CSearchKey& CSearchKey::operator=(const CSearchKey& src)
{
    if (this != &src)
        m_nHits.store(src.m_nHits.load());
    return *this;
}

std::unique_ptr<CSearchKey> CSearchKey::Clone() const
{
    return nullptr;
}

std::string CSearchKey::GetDescription() const
{
    return "BASE";
}

void CSearchKey::Reset()
{
    m_nHits = 0;
}

CGlobalMemory CSearchKey::CopyToGlobalMemory() const
{
    return WriteObjectToGlobalMemory(this);
}

UINT CSearchKey::GetClipFormat() const
{
    return 0;
}

void CSearchKey::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD{1};
    } else {
        ar.GetObjectSchema();
        DWORD nVersion;
        ar >> nVersion;
    }
}

std::unique_ptr<CSearchKey> CSearchKey::FromGlobalMemory(const CGlobalMemory& hMem)
{
    return ReadObjectFromGlobalMemoryAs<CSearchKey>(hMem);
}
