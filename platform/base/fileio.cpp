#include "platform/base/fileio.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/win32error.h"

namespace {

std::string XdgDir(const char* variable, const char* homeRelative)
{
    const char* value = std::getenv(variable);
    std::string base;
    if (value && *value == '/') {
        base = value;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/" + homeRelative;
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/quorvil";
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::string QuorvilConfigDir()
{
    return XdgDir("XDG_CONFIG_HOME", ".config");
}
std::string QuorvilStateDir()
{
    return XdgDir("XDG_STATE_HOME", ".local/state");
}
std::string QuorvilDataDir()
{
    return XdgDir("XDG_DATA_HOME", ".local/share");
}

bool EnsureDirectory(const std::string& path)
{
    if (path.empty())
        return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    std::string parent = DirectoryOf(path);
    if (!parent.empty() && parent != path && !EnsureDirectory(parent))
        return false;
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return std::nullopt;
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrorFromErrno();
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

// The temporary file of a save names the file it replaces and the process
// that writes it: W.qvw.unfinished-save.PID.XXXXXX. One left behind by a
// process that died is removed by the next save of the same file.
namespace {

void RemoveStaleSaves(const std::string& path)
{
    std::string dir = DirectoryOf(path);
    const std::string prefix = path.substr(dir.empty() ? 0 : dir.size() + 1) + ".unfinished-save.";
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return;
    while (const dirent* entry = ::readdir(d)) {
        std::string_view name = entry->d_name;
        if (!name.starts_with(prefix))
            continue;
        std::string_view rest = name.substr(prefix.size());
        long pid = 0;
        auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (ec != std::errc() || end == rest.data() || *end != '.' || pid <= 0)
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(d), entry->d_name, 0);
    }
    ::closedir(d);
}

} // namespace

bool AtomicWriteFile(const std::string& path, std::string_view bytes, mode_t newMode)
{
    std::string dir = DirectoryOf(path);
    if (!dir.empty() && !EnsureDirectory(dir))
        return false;
    RemoveStaleSaves(path);
    std::string temp = path + ".unfinished-save." + std::to_string(::getpid()) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    // Keep the permissions of the file being replaced, if there is one.
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : (newMode & 07777));
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok)
        SetLastErrorFromErrno();
    if (::close(fd) != 0 && ok) {
        SetLastErrorFromErrno();
        ok = false;
    }
    if (ok && ::rename(name.data(), path.c_str()) != 0) {
        SetLastErrorFromErrno();
        ok = false;
    }
    if (!ok)
        ::unlink(name.data());
    return ok;
}

bool AppendToFile(const std::string& path, std::string_view bytes, mode_t newMode)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, newMode);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    ::flock(fd, LOCK_EX);
    bool ok = WriteAll(fd, bytes);
    if (!ok)
        SetLastErrorFromErrno();
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return ok;
}

std::string RotatedLogPath(const std::string& path)
{
    return path + ".1";
}

bool AppendToCappedFile(const std::string& path, std::string_view bytes, std::uint64_t maxBytes)
{
    if (maxBytes == 0)
        return AppendToFile(path, bytes, PROGRAM_LOG_MODE);
    // A writer that waited for the lock while another one rotated holds the
    // old file: it opens the path again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, PROGRAM_LOG_MODE);
        if (fd < 0) {
            SetLastErrorFromErrno();
            return false;
        }
        ::flock(fd, LOCK_EX);
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        // Rotated under the lock; the bytes go to a new file (or, when the
        // rename fails, to this one after all).
        if (held.st_size > 0 &&
            static_cast<std::uint64_t>(held.st_size) + bytes.size() > maxBytes &&
            ::rename(path.c_str(), RotatedLogPath(path).c_str()) == 0) {
            ::close(fd);
            continue;
        }
        bool ok = WriteAll(fd, bytes);
        if (!ok)
            SetLastErrorFromErrno();
        ::close(fd);
        return ok;
    }
    return AppendToFile(path, bytes, PROGRAM_LOG_MODE);
}

CProgramFileIdentity::CProgramFileIdentity()
    : m_nPreviousUid(static_cast<unsigned>(::setfsuid(::geteuid()))),
      m_nPreviousGid(static_cast<unsigned>(::setfsgid(::getegid())))
{
}

CProgramFileIdentity::~CProgramFileIdentity()
{
    ::setfsgid(static_cast<gid_t>(m_nPreviousGid));
    ::setfsuid(static_cast<uid_t>(m_nPreviousUid));
}

CFileLock::CFileLock(const std::string& lockPath, Mode mode)
{
    // flock needs no write access: every account that may read the locked
    // file can take the lock.
    m_fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, LOCK_FILE_MODE);
    if (m_fd < 0) {
        SetLastErrorFromErrno();
        return;
    }
    int op = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
    while (::flock(m_fd, op) != 0) {
        if (errno == EINTR)
            continue;
        SetLastErrorFromErrno();
        ::close(m_fd);
        m_fd = -1;
        return;
    }
}

CFileLock::~CFileLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

bool CWorkspaceLock::Acquire(const std::string& workspacePath, long* pOther)
{
    Release();
    const std::string lockPath = workspacePath + ".lock";
    // A holder that ends removes the file while it still holds the flock;
    // an open that raced with that removal locks a file no longer there, so
    // it tries again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            return true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            char text[32] = {};
            const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
            ::close(fd);
            if (pOther)
                *pOther = n > 0 ? std::strtol(text, nullptr, 10) : 0;
            return false;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            const std::string pid = std::to_string(::getpid()) + "\n";
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
                // The flock alone is the lock; the id only names the holder.
            }
            m_fd = fd;
            m_strWorkspace = workspacePath;
            return true;
        }
        ::close(fd);
    }
    return true;
}

void CWorkspaceLock::Release()
{
    if (m_fd < 0)
        return;
    ::unlink((m_strWorkspace + ".lock").c_str());
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
    m_strWorkspace.clear();
}
