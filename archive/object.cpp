#include "archive/object.h"

#include <map>
#include <mutex>
#include <string>

namespace {

struct CClassRegistry {
    std::mutex mutex;
    std::map<std::string, const CRuntimeClass*, std::less<>> classes; // guarded by mutex
};

CClassRegistry& Registry()
{
    static CClassRegistry registry;
    return registry;
}

} // namespace

constinit const CRuntimeClass CObject::classCObject{"CObject", sizeof(CObject),
                                                    NOT_SERIALIZABLE_SCHEMA, nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

void CObject::Serialize(CArchive&) {}

CObject* CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass) {
        if (p == pBaseClass)
            return true;
    }
    return false;
}

bool CRuntimeClass::IsSerializable() const
{
    return m_pfnCreateObject && m_wSchema != NOT_SERIALIZABLE_SCHEMA;
}

bool CRuntimeClass::Register(const CRuntimeClass* pClass)
{
    CClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    auto [it, inserted] = registry.classes.emplace(pClass->m_lpszClassName, pClass);
    return inserted || it->second == pClass;
}

const CRuntimeClass* CRuntimeClass::FromName(std::string_view name)
{
    CClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.classes.find(name);
    return it == registry.classes.end() ? nullptr : it->second;
}
