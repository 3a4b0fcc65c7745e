#include "platform/registry/reghive.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"

namespace {

long long Nanoseconds(const timespec& ts)
{
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

} // namespace

CRegHive::CRegHive(std::string path, std::string rootName, DamagePolicy policy,
                   DamageHandler onDamage)
    : m_strPath(std::move(path)), m_strRootName(std::move(rootName)), m_policy(policy),
      m_onDamage(std::move(onDamage))
{
}

CRegHive::CFileStamp CRegHive::StampOf(const struct stat* st, int err)
{
    CFileStamp stamp;
    stamp.m_nErrno = err;
    if (st) {
        stamp.m_bExists = true;
        stamp.m_dev = st->st_dev;
        stamp.m_ino = st->st_ino;
        stamp.m_size = static_cast<unsigned long long>(st->st_size);
        stamp.m_mtimeNs = Nanoseconds(st->st_mtim);
        stamp.m_ctimeNs = Nanoseconds(st->st_ctim);
    }
    return stamp;
}

CRegHive::CFileStamp CRegHive::StatPath(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return StampOf(nullptr, errno);
    return StampOf(&st, 0);
}

CRegHive::CFileState CRegHive::ReadFile(const std::string& path)
{
    CFileState state;
    auto fail = [&](int err) {
        state.m_stamp = StampOf(nullptr, err);
        if (err != ENOENT) {
            state.m_bReadable = false;
            state.m_error.m_dwError = Win32ErrorFromErrno(err);
            state.m_error.m_strText = GetSystemErrorText(state.m_error.m_dwError);
        }
        return state;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return fail(err);
    }
    state.m_stamp = StampOf(&st, 0);
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            return fail(err);
        }
        if (n == 0)
            break;
        state.m_bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return state;
}

bool CRegHive::Parse(const CFileState& state, CRegKey& tree, CRegFileError& error) const
{
    if (!state.m_bReadable) {
        error = state.m_error;
        return false;
    }
    if (!state.m_stamp.m_bExists)
        return true;
    return ParseRegFile(state.m_bytes, m_strRootName, tree, error);
}

bool CRegHive::NoteDamageLocked(const CFileStamp& stamp) const
{
    if (m_bDamageSeen && m_damagedStamp == stamp)
        return false;
    m_bDamageSeen = true;
    m_damagedStamp = stamp;
    return true;
}

void CRegHive::Report(const CRegFileError& error) const
{
    if (!m_onDamage)
        return;
    DWORD lastError = GetLastError();
    m_onDamage(*this, error);
    SetLastError(lastError);
}

std::shared_ptr<const CRegKey> CRegHive::Read(CRegFileError* error) const
{
    std::shared_ptr<const CRegKey> tree;
    CRegFileError found;
    bool report = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bCached || StatPath(m_strPath) != m_cachedStamp) {
            CFileState state = ReadFile(m_strPath);
            auto parsed = std::make_shared<CRegKey>();
            CRegFileError parseError;
            bool ok = Parse(state, *parsed, parseError);
            m_bCached = true;
            m_cachedStamp = state.m_stamp;
            m_cachedTree = ok ? std::move(parsed) : nullptr;
            m_cachedError = ok ? CRegFileError{} : parseError;
            report = !ok && NoteDamageLocked(state.m_stamp);
        }
        tree = m_cachedTree;
        found = m_cachedError;
    }
    if (report)
        Report(found);
    if (error)
        *error = found;
    if (tree)
        return tree;
    SetLastError(found.m_dwError);
    if (m_policy == DamagePolicy::FAIL)
        return nullptr;
    static const auto empty = std::make_shared<const CRegKey>();
    return empty;
}

bool CRegHive::UpdateLocked(const Change& change, CRegFileError& error, bool& report)
{
    auto fail = [&](DWORD code, std::string text) {
        error.m_dwError = code;
        error.m_nLine = 0;
        error.m_strText = std::move(text);
        return false;
    };
    if (!EnsureDirectory(DirectoryOf(m_strPath)))
        return fail(GetLastError(),
                    "cannot create the folder: " + GetSystemErrorText(GetLastError()));
    CFileLock fileLock(m_strPath + ".lock", CFileLock::Mode::Exclusive);
    if (!fileLock.IsLocked())
        return fail(GetLastError(), "cannot lock the file: " + GetSystemErrorText(GetLastError()));

    CFileState state = ReadFile(m_strPath);
    CRegKey tree;
    if (!Parse(state, tree, error)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            report = NoteDamageLocked(state.m_stamp);
        }
        if (m_policy == DamagePolicy::FAIL || !state.m_bReadable)
            return false;
        std::string bad = m_strPath + ".bad";
        if (::rename(m_strPath.c_str(), bad.c_str()) != 0)
            return fail(SetLastErrorFromErrno(), "cannot rename the file to " + bad);
        state = CFileState{};
    }
    error = CRegFileError{};

    if (!change(tree))
        return false;
    std::string text = FormatRegFile(tree, m_strRootName);
    bool same = state.m_stamp.m_bExists ? text == state.m_bytes : tree.IsEmpty();
    if (!same && !AtomicWriteFile(m_strPath, text))
        return fail(GetLastError(), "cannot write the file: " + GetSystemErrorText(GetLastError()));

    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCached = true;
    m_cachedStamp = StatPath(m_strPath);
    m_cachedTree = std::make_shared<const CRegKey>(std::move(tree));
    m_cachedError = CRegFileError{};
    return true;
}

bool CRegHive::Update(const Change& change, CRegFileError* error)
{
    CRegFileError found;
    bool report = false;
    bool ok = UpdateLocked(change, found, report);
    if (report)
        Report(found);
    if (error)
        *error = found;
    if (!ok && found.m_dwError != 0)
        SetLastError(found.m_dwError);
    return ok;
}
