#include "archive/globalarchive.h"

CGlobalMemory WriteObjectToGlobalMemory(const CObject* pOb)
{
    CMemFile file(4096);
    CArchive ar(&file, CArchive::store);
    ar.WriteObject(pOb);
    ar.Close();
    return CGlobalMemory::FromBytes(file.Detach(), GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT);
}

std::unique_ptr<CObject> ReadObjectFromGlobalMemory(const CGlobalMemory& hMem,
                                                    const CRuntimeClass* pClassRequired)
{
    if (hMem.IsNull())
        return nullptr;
    return LoadObjectFromBytes(hMem.GetBytes(), pClassRequired);
}
