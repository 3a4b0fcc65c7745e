#pragma once
// Movable global memory: a block of bytes owned by a handle object, with the
// operations of GlobalAlloc, GlobalReAlloc, GlobalLock/GlobalUnlock,
// GlobalSize and GlobalFree. Clipboard data travels in such blocks.
//
// The handle object owns its block and frees it when destroyed; ownership
// moves with the object (std::move), never by copying. A default-constructed
// handle is the null handle. A block is used by one thread at a time.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/base/win32types.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GMEM_DDESHARE = GMEM_SHARE;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

class CGlobalMemory {
public:
    CGlobalMemory() = default;
    CGlobalMemory(CGlobalMemory&&) noexcept = default;
    CGlobalMemory& operator=(CGlobalMemory&&) noexcept = default;
    CGlobalMemory(const CGlobalMemory&) = delete;
    CGlobalMemory& operator=(const CGlobalMemory&) = delete;

    // GlobalAlloc. New bytes are always zero, whatever the flags say.
    static CGlobalMemory Alloc(UINT uFlags, std::size_t nBytes);
    // A block holding these bytes.
    static CGlobalMemory FromBytes(std::string bytes, UINT uFlags = GMEM_MOVEABLE | GMEM_SHARE);

    bool IsNull() const { return !m_pBlock; }
    explicit operator bool() const { return !IsNull(); }
    UINT GetFlags() const { return m_pBlock ? m_pBlock->uFlags : 0; }

    // GlobalSize: 0 for the null handle.
    std::size_t GetSize() const { return m_pBlock ? m_pBlock->bytes.size() : 0; }
    // GlobalLock: the block's bytes, stable until the matching Unlock; null
    // (ERROR_INVALID_HANDLE) for the null handle.
    BYTE* Lock();
    // GlobalUnlock: TRUE while the block is still locked, FALSE when this
    // unlocked it (last error 0) or it was not locked (ERROR_NOT_LOCKED).
    BOOL Unlock();
    UINT GetLockCount() const { return m_pBlock ? m_pBlock->nLocks : 0; }
    // GlobalReAlloc: new size, new bytes zero. Fails (FALSE) for the null
    // handle and while the block is locked (ERROR_INVALID_PARAMETER).
    BOOL ReAlloc(std::size_t nBytes);
    // GlobalFree: releases the block; the handle becomes null.
    void Free() { m_pBlock.reset(); }

    // The bytes, read in place (empty for the null handle).
    std::string_view GetBytes() const
    {
        return m_pBlock ? std::string_view(m_pBlock->bytes) : std::string_view();
    }
    // A new block with the same bytes and flags (null for the null handle).
    CGlobalMemory Duplicate() const;

private:
    struct CBlock {
        std::string bytes;
        UINT nLocks = 0;
        UINT uFlags = 0;
    };
    std::unique_ptr<CBlock> m_pBlock;
};

// GlobalUnlock's error when the block was not locked.
constexpr DWORD ERROR_NOT_LOCKED = 158;
