#pragma once
// CEventMonitor: the monitored log of one event log on one computer. Its
// scan reads the records added since the last one it handled, survives a
// wrapped log or one cleared elsewhere, renders a new event once when a key
// or a task needs its text, offers it to every watch group in order and runs
// the tasks of the groups that fire.
//
// Threads: Scan runs on the scan thread; ClearLog, MarkLog and JumpToEnd on
// the thread that issues the command. Logon and impersonation act on the
// calling thread only.
#include <cstdint>
#include <string>

#include "core/monitoredobject.h"
#include "eventlog/render/eventrender.h"
#include "eventrecords/eventstruct.h"
#include "match/textfold.h"

class CKeysAndActions;

// How many records a scan reads before it tests them; the scan holds no
// more than about this many records in memory.
constexpr DWORD EVENT_SCAN_SLICE = 32768;

class CEventMonitor : public CMonitoredObject {
    DECLARE_SERIAL(CEventMonitor)
public:
    CEventMonitor();
    // Copies the base, both names and the last record; a fresh identifier.
    CEventMonitor(const CEventMonitor& other);
    CEventMonitor& operator=(const CEventMonitor& other);

    void Serialize(CArchive& ar) override;

    void Scan() override;
    BOOL ClearLog() override;
    BOOL MarkLog(const std::string& text) override;
    std::string GetDisplayName() const override { return m_strServer + "\\" + m_strLogName; }
    int GetImageIndex() const override;
    BOOL IsEventLog() const override { return TRUE; }
    void JumpToEnd() override;
    UINT GetWatchGroupClipFormat() const override;
    UINT GetClipFormat() const override;
    LPARAM GetLastRecordForProgress() const override { return m_nLastRecord; }

    const std::string& GetServer() const { return m_strServer; }
    const std::string& GetLogName() const { return m_strLogName; }

    // Fills the description (RENDER_DESCRIPTION) and/or the category
    // (RENDER_CATEGORY) of the event from the message files registered on
    // this log's computer, logged on as this log's account; texts not
    // produced keep their value.
    void RenderEvent(DWORD dwFlags, const CEventStruct& event, std::string& strDescription,
                     std::string& strCategory);

    std::string m_strServer;
    std::string m_strLogName;
    CTime m_timeCutoff;
    DWORD m_nLastRecord = 0;

    // Takes what scans of live have reached and seen (last record, oldest
    // record, file identity), so that an edited copy assigned back to the
    // log does not take its scan back.
    void TakeScanStateFrom(const CEventMonitor& live);

    // What the last scan saw of the log (its oldest record number and its
    // file's identity, 0 unknown), kept beside the workspace between runs
    // so that a clear made while the program did not run is seen as one.
    DWORD GetSeenOldest() const { return m_nSeenOldest; }
    std::uint64_t GetSeenIdentity() const { return m_nSeenIdentity; }
    void SetSeen(DWORD nOldest, std::uint64_t nIdentity)
    {
        m_nSeenOldest = nOldest;
        m_nSeenIdentity = nIdentity;
    }

private:
    struct CEventTexts;
    // Offers one event to every watch group in order and runs the tasks of
    // those that fire (*pbTriggered: some did); false when a stop was
    // requested before a group.
    bool TestEvent(const CEventStruct& event, CEventRenderer& renderer, bool bAudit,
                   bool* pbTriggered = nullptr);
    // Offers one event to one watch group: the first matching key counts a
    // hit; a triggered group gets the event's variables and the next task
    // sequence number. The texts are rendered when a key or the variables
    // need them.
    void TriggerEvent(CKeysAndActions& group, const CEventStruct& event, CEventTexts& texts);

    // The log as the last scan or jump saw it (not stored): its oldest
    // record number and its file's identity (0 unknown), which tell a log
    // cleared and refilled since then from one that grew.
    DWORD m_nSeenOldest = 0;
    std::uint64_t m_nSeenIdentity = 0;
    // newest + 1 of the damaged log last reported (0 none), so that a log
    // that stays damaged is reported once.
    DWORD m_nDamageReported = 0;
};

void RegisterEventScanClasses();
