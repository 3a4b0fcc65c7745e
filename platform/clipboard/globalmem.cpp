#include "platform/clipboard/globalmem.h"

#include "platform/base/win32error.h"

CGlobalMemory CGlobalMemory::Alloc(UINT uFlags, std::size_t nBytes)
{
    CGlobalMemory h;
    h.m_pBlock = std::make_unique<CBlock>();
    h.m_pBlock->bytes.assign(nBytes, '\0');
    h.m_pBlock->uFlags = uFlags;
    return h;
}

CGlobalMemory CGlobalMemory::FromBytes(std::string bytes, UINT uFlags)
{
    CGlobalMemory h;
    h.m_pBlock = std::make_unique<CBlock>();
    h.m_pBlock->bytes = std::move(bytes);
    h.m_pBlock->uFlags = uFlags;
    return h;
}

BYTE* CGlobalMemory::Lock()
{
    if (!m_pBlock) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++m_pBlock->nLocks;
    return reinterpret_cast<BYTE*>(m_pBlock->bytes.data());
}

BOOL CGlobalMemory::Unlock()
{
    if (!m_pBlock || m_pBlock->nLocks == 0) {
        SetLastError(m_pBlock ? ERROR_NOT_LOCKED : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--m_pBlock->nLocks > 0)
        return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

BOOL CGlobalMemory::ReAlloc(std::size_t nBytes)
{
    if (!m_pBlock || m_pBlock->nLocks > 0) {
        SetLastError(m_pBlock ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    m_pBlock->bytes.resize(nBytes, '\0');
    return TRUE;
}

CGlobalMemory CGlobalMemory::Duplicate() const
{
    return m_pBlock ? FromBytes(m_pBlock->bytes, m_pBlock->uFlags) : CGlobalMemory();
}
