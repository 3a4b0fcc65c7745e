#pragma once
// File helpers shared by every writer and reader of the program's files:
// the per-user locations, whole-file reads, atomic replacement and advisory
// locks. Failures set the Win32 last error and return false.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

// $XDG_CONFIG_HOME/quorvil, $XDG_STATE_HOME/quorvil, $XDG_DATA_HOME/quorvil
// (with the usual fall-backs under $HOME), without a trailing slash.
std::string QuorvilConfigDir();
std::string QuorvilStateDir();
std::string QuorvilDataDir();

// Creates the folder and its missing parents.
bool EnsureDirectory(const std::string& path);
// The folder part of a path ("" when it has none).
std::string DirectoryOf(const std::string& path);

// The whole file; nullopt (and the last error) when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Writes the bytes to a temporary file beside the target, flushes it and
// renames it over the target, so a crash never leaves half a file. The file
// keeps the mode of the file it replaces; a new file gets newMode (owner
// only by default: workspaces hold passwords). The temporary file is
// TARGET.unfinished-save.PID.XXXXXX; those that processes which no longer
// run left behind are removed first.
// The modes of the files the program creates, whatever the umask allows:
// its own logs (system log, audit files) hold account names and paths and
// are for their owner; lock files may be taken by anyone who may read what
// they lock. Workspaces are owner-only (AtomicWriteFile's default); the
// event logs of the network are readable by all but Security (platform/
// eventlog), and their backups keep the log's mode.
constexpr mode_t PROGRAM_LOG_MODE = 0600;
constexpr mode_t LOCK_FILE_MODE = 0644;

bool AtomicWriteFile(const std::string& path, std::string_view bytes, mode_t newMode = 0600);

// Appends bytes to a file (created with newMode if missing) with one write
// under an exclusive lock, so lines from several processes never interleave.
bool AppendToFile(const std::string& path, std::string_view bytes, mode_t newMode = 0644);
// The same for a log of the program's own that is kept below maxBytes: when
// the bytes would take the file past it, the file is first renamed to
// RotatedLogPath(path) (replacing the older copy), under the same lock, and
// a new file is begun. maxBytes 0 means no limit. New files get
// PROGRAM_LOG_MODE.
bool AppendToCappedFile(const std::string& path, std::string_view bytes, std::uint64_t maxBytes);
// Where AppendToCappedFile keeps the one older copy: path + ".1".
std::string RotatedLogPath(const std::string& path);

// While an object of this class lives, the calling thread creates and writes
// files as the process itself, also while it impersonates another account
// (platform/security), so that the program's own files (system log, audit
// files, the event log service's files) never belong to a logon account.
// Scopes may nest; construct and destroy on the same thread.
class CProgramFileIdentity {
public:
    CProgramFileIdentity();
    ~CProgramFileIdentity();
    CProgramFileIdentity(const CProgramFileIdentity&) = delete;
    CProgramFileIdentity& operator=(const CProgramFileIdentity&) = delete;

private:
    unsigned m_nPreviousUid;
    unsigned m_nPreviousGid;
};

// An advisory lock (flock) on a lock file, held for the object's lifetime.
// Exclusive for writers, shared for readers.
class CFileLock {
public:
    enum class Mode { Shared, Exclusive };
    CFileLock(const std::string& lockPath, Mode mode);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The mark of the one process that scans a workspace: an exclusive flock on
// "<workspace>.lock", whose text is the holder's process id. The kernel drops
// the flock when its process ends, however it ends, so a lock file that a
// crashed process left behind does not block. Released (and the file
// removed) by Release or the destructor.
class CWorkspaceLock {
public:
    CWorkspaceLock() = default;
    ~CWorkspaceLock() { Release(); }
    CWorkspaceLock(const CWorkspaceLock&) = delete;
    CWorkspaceLock& operator=(const CWorkspaceLock&) = delete;

    // False when another process holds the workspace (its id, or 0 when it
    // has not written it yet, in *pOther). True when taken, and also when no
    // lock file can be made beside the workspace (a read-only folder).
    bool Acquire(const std::string& workspacePath, long* pOther);
    void Release();
    // The workspace this object holds, "" when none.
    const std::string& GetWorkspace() const { return m_strWorkspace; }

private:
    int m_fd = -1;
    std::string m_strWorkspace;
};
