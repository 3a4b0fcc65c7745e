#pragma once
// One registry hive kept in one .reg file (the user's HKCU.reg, a computer's
// HKLM.reg), shared by every thread and process that opens the same path.
//
// Reading takes no lock: the file is only ever replaced whole (AtomicWriteFile),
// so a reader sees the old or the new contents. Read() keeps the parsed tree
// and parses again only when the file changed (another inode, size, change or
// modification time), so asking often costs one stat().
//
// Changing is read-modify-write under an exclusive CFileLock on the side file
// path + ".lock": Update() re-reads the file under the lock, applies the
// change and replaces the file, so writers in several threads or processes
// never lose each other's changes. The lock is per call; do not call Update of
// the same file from inside a change (it would wait for itself).
//
// A damaged file (bad header, malformed line) or one that cannot be read is
// reported through CRegFileError; what happens next is the policy given at
// construction:
//   FAIL        - Read() returns null and Update() fails, until the file is fixed.
//   KEEP_AS_BAD - Read() gives an empty hive (so every value reads as its
//                 default); the first Update() renames the file to path +
//                 ".bad" (an older .bad is replaced) and starts from an empty
//                 hive. A file that cannot be read is never renamed: Update()
//                 fails.
// The damage handler, when given, is called once for each damaged version of
// the file that this object meets, on the thread that met it, with no lock of
// this object held (it may call Read(), for example to write a log line).
//
// Thread-safe. Snapshots are immutable and stay valid as long as the caller
// holds them.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <sys/stat.h>

#include "platform/registry/regfile.h"
#include "platform/registry/regkey.h"

class CRegHive {
public:
    enum class DamagePolicy { FAIL, KEEP_AS_BAD };
    using DamageHandler = std::function<void(const CRegHive& hive, const CRegFileError& error)>;
    // Changes the tree; returns false (after SetLastError) to give up, in
    // which case nothing is written.
    using Change = std::function<bool(CRegKey& root)>;

    // rootName is the root that the file's key lines name ("HKEY_LOCAL_MACHINE").
    CRegHive(std::string path, std::string rootName, DamagePolicy policy = DamagePolicy::FAIL,
             DamageHandler onDamage = {});
    CRegHive(const CRegHive&) = delete;
    CRegHive& operator=(const CRegHive&) = delete;

    const std::string& GetPath() const { return m_strPath; }
    const std::string& GetRootName() const { return m_strRootName; }

    // The hive's tree (the keys below the root). A missing file is an empty
    // hive. When the file is damaged or unreadable, error (if given) says why
    // and the result follows the policy (null under FAIL, with the last error
    // set).
    std::shared_ptr<const CRegKey> Read(CRegFileError* error = nullptr) const;

    // Applies change to the current tree and writes the result if it differs
    // from the file. False when the change gave up, the file was damaged under
    // FAIL, or it could not be read, locked or written (error and the last
    // error say which).
    bool Update(const Change& change, CRegFileError* error = nullptr);

private:
    struct CFileStamp {
        int m_nErrno = 0; // why stat failed, if it did
        bool m_bExists = false;
        unsigned long long m_dev = 0, m_ino = 0, m_size = 0;
        long long m_mtimeNs = 0, m_ctimeNs = 0;
        bool operator==(const CFileStamp&) const = default;
    };
    struct CFileState {
        CFileStamp m_stamp;
        std::string m_bytes;
        bool m_bReadable = true;
        CRegFileError m_error; // why it could not be read, if it could not
    };

    static CFileStamp StampOf(const struct stat* st, int err);
    static CFileStamp StatPath(const std::string& path);
    static CFileState ReadFile(const std::string& path);
    // Parses state into tree; false when it is damaged or unreadable.
    bool Parse(const CFileState& state, CRegKey& tree, CRegFileError& error) const;
    // Records that this version of the file is damaged; true the first time.
    // The caller holds m_mutex.
    bool NoteDamageLocked(const CFileStamp& stamp) const;
    void Report(const CRegFileError& error) const;
    // Update's work under the file lock; report is set when the damage
    // handler is due.
    bool UpdateLocked(const Change& change, CRegFileError& error, bool& report);

    const std::string m_strPath;
    const std::string m_strRootName;
    const DamagePolicy m_policy;
    const DamageHandler m_onDamage;

    mutable std::mutex m_mutex; // guards the members below
    mutable bool m_bCached = false;
    mutable CFileStamp m_cachedStamp;
    mutable std::shared_ptr<const CRegKey> m_cachedTree; // null when the cached file is damaged
    mutable CRegFileError m_cachedError;
    mutable bool m_bDamageSeen = false;
    mutable CFileStamp m_damagedStamp; // the version last reported damaged
};
