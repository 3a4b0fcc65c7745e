#pragma once
// CSearchKey: the common base of the search keys of a watch group (text keys
// in searchkeytext.h, event keys beside it). A key counts its hits in
// m_nHits, which the triggering code on the scan thread increments
// atomically and the watch group clears before each entry; the counter is
// copied by copy construction and assignment and never stored.
//
// Threads: the scan thread tests keys and counts hits while the user
// interface thread may edit other keys; the watch group's lock guards its
// key list, a key holds no lock of its own.
#include <atomic>
#include <memory>
#include <string>

#include "archive/archive.h"
#include "platform/base/win32types.h"
#include "platform/clipboard/globalmem.h"

class CSearchKey : public CObject {
    DECLARE_SERIAL(CSearchKey)
public:
    CSearchKey() = default;
    CSearchKey(const CSearchKey& src) : CObject(src), m_nHits(src.m_nHits.load()) {}
    ~CSearchKey() override = default;

    // Copies m_nHits only.
    virtual CSearchKey& operator=(const CSearchKey& src);
    // A new copy of the key, owned by the caller; the base gives null.
    virtual std::unique_ptr<CSearchKey> Clone() const;
    // The key's one-line description; the base gives "BASE".
    virtual std::string GetDescription() const;
    // Back to the empty key; the base clears m_nHits.
    virtual void Reset();
    // The key as clipboard data: a one-object archive in a new block owned
    // by the caller, to be placed under GetClipFormat().
    virtual CGlobalMemory CopyToGlobalMemory() const;
    // The registered clipboard format of the key's kind; the base gives 0.
    virtual UINT GetClipFormat() const;

    // Record: the 32-bit body version 1. Loading fetches the object schema
    // and ignores it and the version.
    void Serialize(CArchive& ar) override;

    // The key held in clipboard data: a new key owned by the caller, or
    // null for the null handle. Throws CArchiveException when the data is
    // damaged or holds something other than a search key.
    static std::unique_ptr<CSearchKey> FromGlobalMemory(const CGlobalMemory& hMem);

    std::atomic<LONG> m_nHits{0};
};
