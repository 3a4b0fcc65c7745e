#pragma once
// File helpers shared by every writer and reader of the program's files:
// the per-user locations, whole-file reads, atomic replacement and advisory
// locks. Failures set the Win32 last error and return false.
#include <optional>
#include <string>
#include <string_view>

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
// renames it over the target, so a crash never leaves half a file.
bool AtomicWriteFile(const std::string& path, std::string_view bytes);

// Appends bytes to a file (created if missing) with one write under an
// exclusive lock, so lines from several processes never interleave.
bool AppendToFile(const std::string& path, std::string_view bytes);

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
