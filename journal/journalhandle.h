#pragma once
// CJournalHandle: one open view of a journal through sd-journal: the local
// system's journal, a directory of journal files (such as the one
// systemd-journal-remote fills) or one journal file, with the matches that
// restrict it. It moves over the entries, reads their fields and cursors.
//
// A handle belongs to one thread at a time (sd-journal's rule).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journalfields.h"

typedef struct sd_journal sd_journal;

class CJournalHandle {
public:
    CJournalHandle() = default;
    ~CJournalHandle();
    CJournalHandle(const CJournalHandle&) = delete;
    CJournalHandle& operator=(const CJournalHandle&) = delete;

    // "" the local system's journal; a path ending in ".journal" that one
    // file; any other path the journal files of that directory. False with
    // the reason when the journal cannot be opened or a match is refused.
    bool Open(const std::string& strSource, const std::vector<CJournalMatch>& matches,
              std::string& strError);
    void Close();
    bool IsOpen() const { return m_pJournal != nullptr; }

    bool SeekHead();
    bool SeekTail();
    // Positions before the entry of the cursor, or where it was when that
    // entry is gone: the next Next() reads it, or the first one after it.
    bool SeekCursor(const std::string& strCursor);
    // 1 moved to an entry, 0 at the end, negative on an error.
    int Next();
    int Previous();

    // The cursor of the current entry, empty on an error.
    std::string GetCursor() const;
    // Whether the current entry is the cursor's.
    bool TestCursor(const std::string& strCursor) const;
    std::uint64_t GetRealtimeUsec() const;
    // Every field of the current entry, copied, and its timestamp.
    void ReadFields(CJournalEntryFields& fields);
    // The same without the timestamp (one more lookup of the entry): the
    // scan wants it of the entries that trigger only.
    void ReadFieldsUntimed(CJournalEntryFields& fields);
    // Every "NAME=value" of the current entry, in the order stored.
    void ForEachField(const std::function<void(std::string_view)>& visit);

    // The descriptor that becomes readable when the journal changes, and
    // what sd_journal_process says then; negative when unavailable.
    int GetWakeupFd();
    int Process();

    // sd-journal's own error text of a negative return value.
    static std::string ErrorText(int nError);

private:
    sd_journal* m_pJournal = nullptr;
};
