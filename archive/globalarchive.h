#pragma once
// One object as clipboard data: a one-object archive in a block of movable,
// shareable, zero-initialised global memory, as every CopyToGlobalMemory and
// FromGlobalMemory of the model writes and reads it.
#include <memory>

#include "archive/archive.h"
#include "platform/clipboard/globalmem.h"

// Writes the object record (WriteObject, with its class information) into a
// new block. The block grows in steps of 4096 bytes, so its size is a
// multiple of 4096 and the bytes after the record are zero. The caller owns
// the block (normally handing it to the clipboard).
CGlobalMemory WriteObjectToGlobalMemory(const CObject* pOb);

// Reads the one object record from the block, which stays with the caller.
// Null for the null handle; otherwise a new object owned by the caller,
// which must be pClassRequired or derived from it when given. Throws
// CArchiveException when the data is damaged or of another class.
std::unique_ptr<CObject> ReadObjectFromGlobalMemory(const CGlobalMemory& hMem,
                                                    const CRuntimeClass* pClassRequired);

template <class T> std::unique_ptr<T> ReadObjectFromGlobalMemoryAs(const CGlobalMemory& hMem)
{
    if (hMem.IsNull())
        return nullptr;
    CMemFile file(hMem.GetBytes());
    CArchive ar(&file, CArchive::load);
    std::unique_ptr<T> pOb = ar.template ReadObjectAs<T>();
    ar.Close();
    return pOb;
}
