#pragma once
// A small graph of persistent classes used by the archive tests and the
// archive fuzz target: a base item, an item derived from it (class reference
// of the base, then the base's record), a group owning items and an optional
// child group, and a class with a fixed (not versionable) schema.
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

class CTestItem : public CObject {
    DECLARE_SERIAL(CTestItem)
public:
    CTestItem() = default;
    void Serialize(CArchive& ar) override;

    LONG m_nValue = 0;
    std::string m_strName;
    CTime m_time;
    UINT m_nSchemaSeen = 0; // the schema Serialize fetched when loading
};

class CTestLeaf : public CTestItem {
    DECLARE_SERIAL(CTestLeaf)
public:
    CTestLeaf() = default;
    void Serialize(CArchive& ar) override;

    std::vector<std::string> m_arrTags;
    std::vector<DWORD> m_arrNumbers;
};

class CTestFixed : public CObject {
    DECLARE_SERIAL(CTestFixed)
public:
    CTestFixed() = default;
    void Serialize(CArchive& ar) override;

    WORD m_w = 0;
    BYTE m_by = 0;
    double m_d = 0;
};

class CTestGroup : public CObject {
    DECLARE_SERIAL(CTestGroup)
public:
    CTestGroup() = default;
    void Serialize(CArchive& ar) override;

    std::string m_strName;
    std::vector<std::unique_ptr<CTestItem>> m_arrItems;
    std::unique_ptr<CTestGroup> m_pChild;
    std::unique_ptr<CObject> m_pAny; // any object at all (untyped read)
};

void RegisterTestGraphClasses();
