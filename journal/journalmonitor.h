#pragma once
// CJournalMonitor: the monitored log of a systemd journal: the local
// system's journal, or a directory of journal files (what
// systemd-journal-remote collects from other hosts), optionally restricted
// by journal matches. Its watch groups take event keys, which test the
// entries through the field mapping of journal/journalfields.h, and text
// keys, which test MESSAGE.
//
// The read position is the cursor of the last entry read. A scan goes on
// after that entry, also when rotation moved it to an archived file; when
// the entry itself has been vacuumed, the scan starts with the first entry
// after it (the one the cursor's position leads to), which is new. A log
// without a cursor starts at the journal's end unless it is set to read
// what is there.
//
// Record (class CJournalMonitor, schema 1): the CMonitoredObject record,
// then version 1, the source (empty for the local journal), the number of
// matches and each match, the cursor, the read-existing flag, 0.
//
// Threads: Scan runs on the scan thread; JumpToEnd on the thread that
// issues it, never during a Scan of the same log.
#include <memory>
#include <string>
#include <vector>

#include "core/monitoredobject.h"
#include "core/wakeup.h"

class CJournalEntryFields;
class CJournalHandle;

class CJournalMonitor : public CMonitoredObject, public IWakeupSource {
    DECLARE_SERIAL(CJournalMonitor)
public:
    // Enabled, with a fresh identifier of the event-log kind.
    CJournalMonitor();
    // Every field, with a fresh identifier.
    CJournalMonitor(const CJournalMonitor& other);
    // Every field, the identifier included.
    CJournalMonitor& operator=(const CJournalMonitor& other);
    ~CJournalMonitor() override;

    void Serialize(CArchive& ar) override;

    void Scan() override;
    std::string GetDisplayName() const override;
    int GetImageIndex() const override;
    BOOL IsEventLog() const override { return TRUE; }
    // The cursor moves to the journal's last entry; when the journal cannot
    // be opened, the next scan starts at the end it then finds.
    void JumpToEnd() override;
    UINT GetWatchGroupClipFormat() const override;
    UINT GetClipFormat() const override;

    // sd_journal_get_fd of a journal kept open for it (scan thread only);
    // ProcessWakeup is sd_journal_process, true when entries came or files
    // changed.
    bool GetWakeupSource(CWakeupSource& source) override;
    bool ProcessWakeup() override;

    // Takes the cursor that scans of live have reached, so that an edited
    // copy assigned back does not take its scan back.
    void TakeScanStateFrom(const CJournalMonitor& live);

    // "" the local journal, else a directory of journal files or one file.
    std::string m_strDirectory;
    // Journal matches (journal/journalfields.h: ParseJournalMatches).
    std::vector<std::string> m_arrMatches;
    // The cursor of the last entry read; empty when none was read.
    std::string m_strCursor;
    // Without a cursor: read the entries already there (else start at the
    // end).
    BOOL m_bReadExisting = FALSE;

private:
    // The journal whose descriptor wakes the scan thread, and the source it
    // was opened for; not copied.
    std::unique_ptr<CJournalHandle> m_pWakeJournal;
    std::string m_strWakeSource;

    struct CScanPlan;
    // Offers the current entry to every group; false when a stop was
    // requested before a group.
    bool TestEntry(CJournalHandle& journal, CScanPlan& plan);
    void SetVariables(CKeysAndActions& group, CJournalHandle& journal, CScanPlan& plan);
};

// Registers CJournalMonitor, and the classes below it, for creation by name.
void RegisterJournalClasses();
