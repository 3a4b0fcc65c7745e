#include "tests/archive/testgraph.h"

IMPLEMENT_SERIAL(CTestItem, CObject, VERSIONABLE_SCHEMA | 2)
IMPLEMENT_SERIAL(CTestLeaf, CTestItem, VERSIONABLE_SCHEMA | 1)
IMPLEMENT_SERIAL(CTestFixed, CObject, 3)
IMPLEMENT_SERIAL(CTestGroup, CObject, VERSIONABLE_SCHEMA | 1)

void RegisterTestGraphClasses()
{
    for (const CRuntimeClass* pClass : {RUNTIME_CLASS(CTestItem), RUNTIME_CLASS(CTestLeaf),
                                        RUNTIME_CLASS(CTestFixed), RUNTIME_CLASS(CTestGroup)})
        CRuntimeClass::Register(pClass);
}

void CTestItem::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_nValue << m_strName << m_time;
    } else {
        m_nSchemaSeen = ar.GetObjectSchema();
        DWORD nVersion;
        ar >> nVersion >> m_nValue >> m_strName >> m_time;
    }
}

void CTestLeaf::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CTestItem));
    CTestItem::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1};
    } else {
        DWORD nVersion;
        ar >> nVersion;
    }
    SerializeStrings(ar, m_arrTags);
    SerializeNumbers(ar, m_arrNumbers);
}

void CTestFixed::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_w << m_by << m_d;
    } else {
        ar >> m_w >> m_by >> m_d;
    }
}

void CTestGroup::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_strName << static_cast<DWORD>(m_arrItems.size());
        for (const auto& pItem : m_arrItems)
            ar.WriteObject(pItem.get());
        ar.WriteObject(m_pChild.get());
        ar.WriteObject(m_pAny.get());
    } else {
        ar.GetObjectSchema();
        DWORD nVersion;
        DWORD nCount;
        ar >> nVersion >> m_strName >> nCount;
        ar.CheckCount(nCount, 2);
        for (DWORD i = 0; i < nCount; ++i)
            m_arrItems.push_back(ar.ReadObjectAs<CTestItem>());
        m_pChild = ar.ReadObjectAs<CTestGroup>();
        m_pAny.reset(ar.ReadObject(nullptr));
    }
}
