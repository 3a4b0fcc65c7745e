#pragma once
// A cache of parsed message modules, so that rendering many events does not
// parse the same message files again. Entries are keyed by path and used only
// while the file keeps its size, modification time and identity (device and
// inode), which every Load checks with one stat; a changed file is parsed
// again. The outcome of parsing (a module, or ERROR_BAD_EXE_FORMAT /
// ERROR_INVALID_DATA) is cached; failures to reach or read the file are not.
// Thread-safe: the event scan and the viewers share the process-wide cache
// behind LoadLibraryExA. Modules are immutable and shared; a module stays
// valid for its holders after it is evicted.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/base/sync.h"
#include "platform/msgmodule/messagetable.h"

// Files above this size are refused (ERROR_NOT_ENOUGH_MEMORY) before reading.
constexpr std::uint64_t MAX_MODULE_FILE_SIZE = 256u << 20;

class CMessageModuleCache {
public:
    explicit CMessageModuleCache(std::size_t nMaxModules = 64) : m_nMaxModules(nMaxModules) {}
    CMessageModuleCache(const CMessageModuleCache&) = delete;
    CMessageModuleCache& operator=(const CMessageModuleCache&) = delete;

    // The module in the file: a PE image, or a message compiler source (by
    // the ".mc" extension or by its content). nullptr and the Win32 error on
    // failure: ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED
    // (also for a directory or a device), ERROR_NOT_ENOUGH_MEMORY,
    // ERROR_BAD_EXE_FORMAT (not a module, or a damaged image) or
    // ERROR_INVALID_DATA (a damaged source).
    std::shared_ptr<const CMessageModule> Load(const std::string& path, DWORD& dwError);

    void Clear();
    std::size_t Size() const;

private:
    struct CStamp {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t mtimeNs = 0;
        bool operator==(const CStamp&) const = default;
    };
    struct CEntry {
        CStamp stamp;
        std::shared_ptr<const CMessageModule> module; // null when parsing failed
        DWORD dwError = 0;
        std::uint64_t nLastUse = 0;
    };

    const std::size_t m_nMaxModules;
    mutable CCriticalSection m_cs;
    std::unordered_map<std::string, CEntry> m_mapEntries; // guarded by m_cs
    std::uint64_t m_nUseCounter = 0;                      // guarded by m_cs
};

// The process-wide cache used by LoadLibraryExA.
CMessageModuleCache& GetMessageModuleCache();
