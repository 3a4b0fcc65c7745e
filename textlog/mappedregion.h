#pragma once
// CMappedRegion: a read-only mapping of part of a file, so that a scan reads
// the new bytes of a log where they lie in the page cache instead of
// copying them.
//
// A file that is cut while mapped (a log rotated by truncation) would make
// every read of a page past its new end fail with SIGBUS. A process-wide
// handler puts a page of zeros in place of such a page and marks the region
// as cut: the read goes on without a crash, and the caller, seeing WasCut,
// throws away what it took from the region.
//
// One region is used by one thread; up to 64 regions can be mapped at once
// (Map fails beyond that, and the caller reads the file instead).
#include <cstddef>
#include <string_view>

#include "platform/base/win32types.h"

class CMappedRegion {
public:
    CMappedRegion() = default;
    ~CMappedRegion() { Unmap(); }
    CMappedRegion(const CMappedRegion&) = delete;
    CMappedRegion& operator=(const CMappedRegion&) = delete;

    // Maps nLength bytes of the file open as fd from byte nOffset (a
    // mapping made before is dropped). False when the file cannot be mapped.
    bool Map(int fd, QWORD nOffset, std::size_t nLength);
    void Unmap();
    // The mapped bytes (empty when none).
    std::string_view View() const { return {m_pData, m_nLength}; }
    // True when a page of the region could not be read since Map because
    // the file had been cut: it read as zeros.
    bool WasCut() const;

private:
    void* m_pMap = nullptr;
    std::size_t m_nMapLength = 0;
    const char* m_pData = nullptr;
    std::size_t m_nLength = 0;
    int m_nSlot = -1;
};
