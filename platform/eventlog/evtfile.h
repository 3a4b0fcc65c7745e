#pragma once
// One .evt file as the event log service keeps it: a ring of records after a
// 48-byte header, with an end-of-file record after the newest one.
//
// Several threads, processes and hosts share a log file. Every change is made
// under an exclusive flock on the file; readers hold a shared flock while they
// look at the file, so they never see half a record. Clearing replaces the
// file (a new inode, renamed over the old one), so a lock holder always checks
// that its descriptor still names the file at the path and reopens it if not.
//
// Reading keeps the file mapped and an index of record offsets, and rebuilds
// them only when the file changed (its header, size or time), so repeated
// reads of a warm file cost a few system calls each.
//
// A CEvtFile is used by one thread at a time (callers lock around it).
// Failures set the Win32 last error.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/eventlog/evtformat.h"

// A stretch of a log where the walk found no intact record: damaged bytes
// (Bytes > 0), or record numbers missing between two intact records that
// follow one another (Bytes == 0, as a repaired log keeps them).
struct CEvtGap {
    DWORD m_dwOffset = 0; // file offset where the stretch starts
    DWORD m_dwBytes = 0;  // bytes passed over (around the ring)
    DWORD m_dwBefore = 0; // number of the intact record before it, 0 none
    DWORD m_dwAfter = 0;  // number of the intact record after it, 0 none
    bool operator==(const CEvtGap&) const = default;
};

// A consistent view of a log file: its ring values and the offsets of its
// records. Valid while the lock it was read under is held (CEvtFile::Read),
// or as long as the bytes it was built from live (Build).
//
// Damage never hides the records after it: a record whose length, signature,
// closing length or number does not check out is passed over by searching
// forward, byte by byte, for the next record that does, and the stretch
// passed over is kept as a gap.
class CEvtSnapshot {
public:
    // Builds the view of a whole file's bytes (which must outlive it):
    // ERROR_EVENTLOG_FILE_CORRUPT when the header is damaged or the ring
    // values point outside the file.
    static std::unique_ptr<CEvtSnapshot> Build(const BYTE* data, std::size_t size, DWORD& error);

    // The ring values: the header's, or the end-of-file record's when the
    // header is marked dirty or disagrees with it.
    const CEvtHeader& GetHeader() const { return m_header; }
    DWORD GetOldest() const { return m_header.m_dwOldestRecordNumber; }
    DWORD GetCount() const { return m_header.GetCount(); }
    // Intact records found by walking the ring; fewer than GetCount() when
    // records are missing.
    DWORD GetIndexedCount() const { return static_cast<DWORD>(m_offsets.size()); }
    // The stretches without intact records, in ring order.
    const std::vector<CEvtGap>& GetGaps() const { return m_gaps; }
    // True when bytes of the ring do not check out, or the end-of-file
    // record is missing or not where its own offset says.
    bool IsDamaged() const { return m_dwDamageOffset != 0; }
    // The file offset of the first damage (0 when none).
    DWORD GetDamageOffset() const { return m_dwDamageOffset; }
    std::size_t GetFileSize() const { return m_nSize; }

    // The on-disk bytes of a record by number, contiguous (a record split at
    // the end of the file is joined in scratch); null when the number is not
    // among the indexed records.
    const BYTE* GetRecord(DWORD number, DWORD& length, std::string& scratch) const;
    // The same by index (0 = oldest intact record), with its number.
    const BYTE* GetRecordAt(DWORD index, DWORD& length, std::string& scratch) const;
    DWORD GetNumberAt(DWORD index) const { return m_header.m_dwOldestRecordNumber + m_rels[index]; }
    // The index of the first intact record numbered `number` or later
    // (forwards), or `number` or earlier (backwards); GetIndexedCount() when
    // there is none.
    DWORD FindIndex(DWORD number, bool forwards) const;
    // The disk records, oldest first, each contiguous.
    std::vector<std::string> CopyRecords() const;
    // The ring values a writer goes on from, without the dirty flag: those
    // of the walk (a torn record at the end, left by a writer that died, is
    // given up). Only for an undamaged log.
    CEvtHeader GetWritableHeader() const;

private:
    CEvtSnapshot() = default;
    DWORD RingDword(DWORD pos) const;
    void RingCopy(DWORD pos, DWORD count, BYTE* out) const;
    DWORD RingAdvance(DWORD pos, DWORD count) const;
    DWORD RingDistance(DWORD from, DWORD to) const;
    bool FindEof(DWORD from, bool exact, CEvtHeader& header) const;
    // True where no record can start: too close to the end of the file, or
    // in the fill that ends it.
    bool IsFill(DWORD pos) const;
    // The number of an intact record at pos within room bytes, else false.
    bool CheckRecord(DWORD pos, QWORD room, DWORD& length, DWORD& number) const;
    void Walk(bool openEnd);
    // After the newest indexed record (which started recordWalked bytes into
    // the ring) comes damage: true when an intact record with a later number
    // starts inside it, found at m_dwOverlapAt.
    bool TakeBackOverlapped(QWORD recordWalked, DWORD length, QWORD total, QWORD relLimit);

    const BYTE* m_pData = nullptr;
    DWORD m_nSize = 0; // the wrap point: the physical file size
    CEvtHeader m_header;
    std::vector<DWORD> m_offsets; // offsets of the intact records, oldest first
    std::vector<DWORD> m_rels;    // their numbers less the oldest, increasing
    std::vector<CEvtGap> m_gaps;
    DWORD m_dwDamageOffset = 0;
    DWORD m_dwFillStart = 0;
    DWORD m_dwOverlapAt = 0;
};

// A file image holding the disk records (oldest first, numbered as they are)
// unwrapped from 0x30, sized to a multiple of 64 KiB; the header's MaxSize is
// the larger of maxSize and that size.
std::string ComposeEvtFile(std::span<const std::string> records, DWORD nextRecordNumber,
                           DWORD maxSize, DWORD retention);

// Creates an empty log file (64 KiB, or less when the maximum is smaller)
// with the given mode unless the file exists; several creators may race.
bool CreateEvtFile(const std::string& path, DWORD maxSize, DWORD retention, mode_t mode);

class CEvtFile {
public:
    // Service files are locked and may be written; backup files are read
    // as they are.
    enum class Mode { SERVICE, BACKUP };

    CEvtFile() = default;
    ~CEvtFile();
    CEvtFile(const CEvtFile&) = delete;
    CEvtFile& operator=(const CEvtFile&) = delete;

    // Opens an existing file, for writing too when a service file allows it.
    bool Open(const std::string& path, Mode mode);
    const std::string& GetPath() const { return m_strPath; }
    // False when the caller may only read the file.
    bool IsWritable() const { return m_bWritable; }
    // The open file's device and inode in one number (0 when closed); call
    // under Read to get the file at the path.
    std::uint64_t GetIdentity() const;

    using ReadFn = std::function<void(const CEvtSnapshot&)>;
    // Calls fn with the current view under a shared lock and returns
    // ERROR_SUCCESS; or an error without calling it: the file is damaged
    // (ERROR_EVENTLOG_FILE_CORRUPT), unreadable, or was replaced since the
    // last call (ERROR_EVENTLOG_FILE_CHANGED, after which the next call reads
    // the new file).
    DWORD Read(const ReadFn& fn);

    // Appends events (their record numbers and the ring positions are
    // assigned here), discarding the oldest records as the log's retention
    // (seconds; 0 overwrite as needed, 0xFFFFFFFF never) allows. Events that
    // do not fit are dropped with ERROR_LOG_FILE_FULL; written tells how
    // many were stored. ERROR_ACCESS_DENIED for a file opened read-only.
    // A log damaged where the write would go (its end, or an oldest record
    // to discard) is left alone: ERROR_EVENTLOG_FILE_CORRUPT, with the file
    // offset in *damageOffset, so that no record number is given twice.
    bool Append(std::span<const CEvtEvent> events, DWORD retention, std::size_t* written = nullptr,
                DWORD* damageOffset = nullptr);

    // Replaces the file with an empty one of the given maximum size.
    bool Clear(DWORD maxSize, DWORD retention);

    // Writes the records to a new file at target, oldest first, unwrapped;
    // ERROR_ALREADY_EXISTS when target exists.
    bool Backup(const std::string& target);

    // Rewrites the file in place (same file, so watchers do not take it for
    // cleared) from its intact records, unwrapped, with their numbers; the
    // next record number stays what it was, so no number is given twice.
    // The bytes as they were are first saved to a new file at backup.
    // *repaired is false (and nothing changes) when the log is not damaged.
    bool Repair(const std::string& backup, bool* repaired);

private:
    class CLock;
    struct CMapping;
    // With the lock just taken: keeps it (locked) when the descriptor still
    // names the file at the path, else drops it and opens the new file
    // (replaced). False when that fails.
    bool FollowReplacement(bool& replaced, bool& locked);
    bool Reopen();
    // Brings m_snapshot up to date with the file (lock held).
    DWORD Refresh();
    // The ring values for a writer (lock held): the header, or the walked
    // view when the header is dirty or damaged.
    bool LoadWriteState(CEvtHeader& header, DWORD& fileSize, DWORD* damageOffset);

    std::string m_strPath;
    Mode m_mode = Mode::SERVICE;
    int m_fd = -1;
    bool m_bWritable = false;
    std::shared_ptr<CMapping> m_mapping;
    std::unique_ptr<CEvtSnapshot> m_snapshot;
    BYTE m_cachedHeader[ELF_LOGFILE_HEADER_SIZE] = {};
    long long m_cachedMtimeNs = 0;
};

// A maximum size as the service applies it: a multiple of 64 KiB, at least 64 KiB.
DWORD RoundEvtMaxSize(DWORD maxSize);
