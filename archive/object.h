#pragma once
// The persistent object base: CObject with run-time class information, and
// CRuntimeClass, the per-class record that carries a class's name, schema,
// base class and factory, so that an archive (archive/archive.h) can
// write an object with its class name and create it again by that name.
//
// Declaring a class (header, inside the class body; the macro leaves the
// access at public):
//
//     class CSearchKey : public CObject {
//         DECLARE_SERIAL(CSearchKey)
//     public:
//         CSearchKey();                          // required: used by CreateObject
//         void Serialize(CArchive& ar) override;
//     };
//
// Defining it (one .cpp, at namespace scope):
//
//     IMPLEMENT_SERIAL(CSearchKey, CObject, VERSIONABLE_SCHEMA | 1)
//
// RUNTIME_CLASS(CSearchKey) is then the class's record (&CSearchKey::classCSearchKey),
// also returned by CSearchKey::GetThisClass() (usable in templates).
//
// Registration for creation by name. IMPLEMENT_SERIAL registers the class
// while static objects are constructed, but only when the linker keeps that
// object file, and from a static library it keeps only object files that
// something references. So every library with serializable classes also
// provides one explicit function, Register<Library>Classes(), that calls
// CRuntimeClass::Register(RUNTIME_CLASS(C)) for each of its classes (which
// also pulls their object files into the link). The program calls these at
// start-up; a test or tool that reads archives calls the ones it needs. A
// reader meeting a name that is not registered fails with "unknown class".
//
// Thread safety: class records are immutable; Register and FromName may be
// called from any thread.
#include <cstddef>
#include <string_view>

#include "platform/base/win32types.h"

class CArchive;
class CObject;

// Set in a class's schema: readers accept any stored schema number for the
// class and hand it to Serialize through CArchive::GetObjectSchema.
constexpr UINT VERSIONABLE_SCHEMA = 0x80000000u;
// The schema of classes that have run-time information but cannot be
// written to an archive.
constexpr UINT NOT_SERIALIZABLE_SCHEMA = 0xFFFFu;

struct CRuntimeClass {
    const char* m_lpszClassName;
    std::size_t m_nObjectSize;
    UINT m_wSchema;                    // schema number, maybe | VERSIONABLE_SCHEMA
    CObject* (*m_pfnCreateObject)();   // null: not creatable by name
    const CRuntimeClass* m_pBaseClass; // null only for CObject

    // A new object of this class (owned by the caller), or null when the
    // class is not creatable.
    CObject* CreateObject() const;
    // True when this class is pBaseClass or derives from it.
    bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    // Creatable and written with a schema (not NOT_SERIALIZABLE_SCHEMA).
    bool IsSerializable() const;
    // The schema number without the versionable flag.
    UINT GetSchemaNumber() const { return m_wSchema & ~VERSIONABLE_SCHEMA; }

    // Makes the class creatable by name. Registering the same record again
    // is harmless; returns false (and keeps the first) when a different
    // record already holds the name.
    static bool Register(const CRuntimeClass* pClass);
    // The registered class of that exact (case-sensitive) name, or null.
    static const CRuntimeClass* FromName(std::string_view name);
};

// Registers a class while static objects are constructed (IMPLEMENT_SERIAL).
struct CClassRegistration {
    explicit CClassRegistration(const CRuntimeClass* pClass) { CRuntimeClass::Register(pClass); }
};

// The base of every persistent object. Copying is left to derived classes.
class CObject {
public:
    virtual ~CObject() = default;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    // Writes or reads the object's record; the base has none.
    virtual void Serialize(CArchive& ar);

    bool IsKindOf(const CRuntimeClass* pClass) const
    {
        return GetRuntimeClass()->IsDerivedFrom(pClass);
    }
    bool IsSerializable() const { return GetRuntimeClass()->IsSerializable(); }

    static const CRuntimeClass classCObject;
    static const CRuntimeClass* GetThisClass() { return &classCObject; }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

// Run-time class information only.
#define DECLARE_DYNAMIC(class_name)                                                                \
public:                                                                                            \
    static const CRuntimeClass class##class_name;                                                  \
    static const CRuntimeClass* GetThisClass()                                                     \
    {                                                                                              \
        return &class##class_name;                                                                 \
    }                                                                                              \
    const CRuntimeClass* GetRuntimeClass() const override;

// Also creatable by name (needs a default constructor).
#define DECLARE_DYNCREATE(class_name)                                                              \
    DECLARE_DYNAMIC(class_name)                                                                    \
    static CObject* CreateObject();

// Also written to and read from archives.
#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define QUORVIL_IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, wSchema, pfnNew)              \
    constinit const CRuntimeClass class_name::class##class_name {                                  \
#class_name, sizeof(class_name), (wSchema), (pfnNew), RUNTIME_CLASS(base_class_name)       \
    };                                                                                             \
    const CRuntimeClass* class_name::GetRuntimeClass() const                                       \
    {                                                                                              \
        return RUNTIME_CLASS(class_name);                                                          \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                             \
    QUORVIL_IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, NOT_SERIALIZABLE_SCHEMA, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                           \
    CObject* class_name::CreateObject()                                                            \
    {                                                                                              \
        return new class_name;                                                                     \
    }                                                                                              \
    QUORVIL_IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, NOT_SERIALIZABLE_SCHEMA,          \
                                    class_name::CreateObject)                                      \
    static const CClassRegistration quorvilClassRegistration##class_name(RUNTIME_CLASS(class_name));

// wSchema: the schema number, usually VERSIONABLE_SCHEMA | n. Its low 16 bits
// are written with the class name.
#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                                     \
    CObject* class_name::CreateObject()                                                            \
    {                                                                                              \
        return new class_name;                                                                     \
    }                                                                                              \
    QUORVIL_IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, wSchema,                          \
                                    class_name::CreateObject)                                      \
    static const CClassRegistration quorvilClassRegistration##class_name(RUNTIME_CLASS(class_name));
