#pragma once
// CFileMonitor: the monitored log of a plain text file. It remembers the
// file's size at the last check and the byte position up to which lines
// have been read. A scan asks only for the file's size; when that changed it
// reads the lines added since the position (from the start when the file
// became smaller), offers each line to the watch groups in order and runs
// the tasks they trigger. The file may be named by a date template, so that
// a daily file is followed from one day to the next (textlog/filename.h).
//
// Paths: m_strDirectory ends in the separator ("/" here, "\" in a UNC path
// such as \\SRV\LOGS\); GetFilePath is the path as the user gave it (also
// the value of "%EVENT_LONGNAME%"), and file access maps a UNC path into the
// network's computer folders.
//
// Speed: without extended audit the scan reads the new bytes in blocks and
// keeps only the lines in which some key can match; the others cannot
// trigger anything, and the hit counters are left as a line-by-line pass
// would leave them. The literals of all text keys of all groups
// (CKeySetFinder) and the regular-expression keys go into one Vectorscan
// database per scan (CRegexKeySet::FindLines), so one pass over a block
// finds the lines of both. When no database can be made, the finder
// searches the blocks, the patterns adding their required literals to it
// (or, when a pattern has none, each line is tested with the set as it is
// read). Kept lines are tested with the set
// once each. With extended audit every line is kept and audited.
//
// Threads: Scan runs on the scan thread; JumpToEnd, ClearLog and MarkLog on
// whichever thread calls them, never during a Scan of the same log (the scan
// manager waits for a running scan before editing a log).
#include <string>
#include <string_view>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "core/wakeup.h"
#include "match/textfold.h"
#include "platform/base/modeltime.h"

class CKeySetFinder;
class CNewLines;
class CRegexKeySet;

class CFileMonitor : public CMonitoredObject, public IWakeupSource {
    DECLARE_SERIAL(CFileMonitor)
public:
    // Enabled, with a fresh text-log identifier; last check now.
    CFileMonitor();
    // Every field, with a fresh identifier.
    CFileMonitor(const CFileMonitor& other);
    // Every field, the identifier included.
    CFileMonitor& operator=(const CFileMonitor& other);
    ~CFileMonitor() override = default;

    // Class reference of CMonitoredObject, its record, then version 1,
    // directory, position, last size, short description, formatted flag,
    // template, file name. Throws CArchiveException on damage.
    void Serialize(CArchive& ar) override;

    void Scan() override;
    // Deletes the file; on success position and size 0, state NONE.
    BOOL ClearLog() override;
    // Appends the text as a line (LogToFile, no time stamp).
    BOOL MarkLog(const std::string& text) override;
    std::string GetDisplayName() const override { return m_strShortDescription; }
    // 4 disabled; 5 not checked or in error; else 0.
    int GetImageIndex() const override;
    // Moves the position to the file's end, or leaves a pending jump for the
    // next scan when the file cannot be reached.
    void JumpToEnd() override;
    UINT GetWatchGroupClipFormat() const override; // "CF_BN_WATCHTEXT"
    UINT GetClipFormat() const override;           // "CF_BN_MONTEXTLOG"

    // The file's folder, with the file's name (any name for a dated one,
    // whose name changes with the day); a symbolic link's target folder
    // too.
    bool GetWakeupSource(CWakeupSource& source) override;

    // The directory and the file name, which with a date template is the
    // current local time expanded.
    virtual std::string GetFilePath() const;

    // The size of the file that should be read now, and its path. Switches
    // a daily file when the day of the month changed since the last check
    // (finishing the previous day's file first). FALSE when the file's
    // status cannot be read.
    BOOL CheckFileSize(DWORD& dwSize, std::string& strPath);

    // Tests one line against the group's keys; when that triggers the group,
    // sets its text variables and the next task sequence number.
    void TriggerText(CKeysAndActions& group, const CPreparedLine& line);

    std::string m_strShortDescription;
    std::string m_strDirectory;
    std::string m_strFileName;
    DWORD m_dwLastSize = 0;
    DWORD m_dwPosition = 0;
    BOOL m_bFormattedName = FALSE;
    std::string m_strTemplate;
    CTime m_timeLastCheck;              // not stored
    BOOL m_bFinishingYesterday = FALSE; // not stored

private:
    // The literal prefilter and the regular-expression keys of all groups;
    // bRegexInRead becomes true when the set takes part in the read: it
    // searches the blocks itself, or some pattern has no literal to look for
    // (then each line is tested with the set as it is read). A broken
    // pattern is reported in the system log once.
    void BuildKeySets(CKeySetFinder& finder, CRegexKeySet& regexKeys, bool& bRegexInRead);
    // Offers the lines to the watch groups until a stop is requested.
    void TestLines(const CNewLines& lines, bool bAudit, const std::string& strAuditPath,
                   const CRegexKeySet* pRegexKeys);
    // Every group's hits to 0: what testing lines that hold no key leaves.
    void ResetAllHits();
};

// Registers CFileMonitor, and the classes below it, for creation by name.
void RegisterTextLogClasses();
