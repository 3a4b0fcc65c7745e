#include "platform/msgmodule/modulecache.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/win32error.h"

namespace {

// Regular files only: a directory or a device is refused like a file that
// cannot be opened for reading.
DWORD CheckFile(const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return ERROR_ACCESS_DENIED;
    if (static_cast<std::uint64_t>(st.st_size) > MAX_MODULE_FILE_SIZE)
        return ERROR_NOT_ENOUGH_MEMORY;
    return ERROR_SUCCESS;
}

// Reads the file whole; the stat is taken from the open file, so it belongs
// to the bytes read. O_NONBLOCK keeps a FIFO from blocking the open.
DWORD ReadModuleFile(const std::string& path, std::string& bytes, struct stat& st)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Win32ErrorFromErrno(errno);
    DWORD error = ::fstat(fd, &st) != 0 ? Win32ErrorFromErrno(errno) : CheckFile(st);
    if (error == ERROR_SUCCESS) {
        bytes.reserve(static_cast<std::size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = Win32ErrorFromErrno(errno);
                break;
            }
            if (got == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(got));
            if (bytes.size() > MAX_MODULE_FILE_SIZE) {
                error = ERROR_NOT_ENOUGH_MEMORY;
                break;
            }
        }
    }
    ::close(fd);
    return error;
}

bool HasMcExtension(const std::string& path)
{
    if (path.size() < 3)
        return false;
    std::string ext = path.substr(path.size() - 3);
    return ext[0] == '.' && (ext[1] == 'm' || ext[1] == 'M') && (ext[2] == 'c' || ext[2] == 'C');
}

} // namespace

std::shared_ptr<const CMessageModule> CMessageModuleCache::Load(const std::string& path,
                                                                DWORD& dwError)
{
    auto stampOf = [](const struct stat& st) {
        return CStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                      static_cast<std::uint64_t>(st.st_size),
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                          st.st_mtim.tv_nsec};
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        dwError = Win32ErrorFromErrno(errno);
        return nullptr;
    }
    if ((dwError = CheckFile(st)) != ERROR_SUCCESS)
        return nullptr;
    {
        CSingleLock lock(m_cs);
        auto it = m_mapEntries.find(path);
        if (it != m_mapEntries.end() && it->second.stamp == stampOf(st)) {
            it->second.nLastUse = ++m_nUseCounter;
            dwError = it->second.dwError;
            return it->second.module;
        }
    }

    // Parsed outside the lock: two threads may parse the same new file at
    // once, and the later result replaces the earlier one.
    std::string bytes;
    if ((dwError = ReadModuleFile(path, bytes, st)) != ERROR_SUCCESS)
        return nullptr;
    auto module = std::make_shared<CMessageModule>();
    dwError = ParseMessageModule(bytes, HasMcExtension(path), *module);
    if (dwError != ERROR_SUCCESS)
        module.reset();
    if (m_nMaxModules == 0)
        return module;

    CSingleLock lock(m_cs);
    if (m_mapEntries.size() >= m_nMaxModules && !m_mapEntries.contains(path)) {
        auto oldest = m_mapEntries.begin();
        for (auto it = m_mapEntries.begin(); it != m_mapEntries.end(); ++it)
            if (it->second.nLastUse < oldest->second.nLastUse)
                oldest = it;
        m_mapEntries.erase(oldest);
    }
    m_mapEntries[path] = CEntry{stampOf(st), module, dwError, ++m_nUseCounter};
    return module;
}

void CMessageModuleCache::Clear()
{
    CSingleLock lock(m_cs);
    m_mapEntries.clear();
}

std::size_t CMessageModuleCache::Size() const
{
    CSingleLock lock(m_cs);
    return m_mapEntries.size();
}

CMessageModuleCache& GetMessageModuleCache()
{
    static CMessageModuleCache cache;
    return cache;
}
