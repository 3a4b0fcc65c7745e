#pragma once
// A monitored log: the part that event logs (CEventMonitor) and text logs
// (CFileMonitor) share. It decides when the log is due, wraps each scan with
// the bookkeeping of times and state, owns the ordered watch groups, and
// scans under another account when configured.
//
// Threads: the scan thread calls ScanIfDue/Scan; the user interface thread
// edits. The watch-group array is guarded by g_csMonitor per access; a
// group pointer stays valid only while no other thread removes the group.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/monitorlock.h"
#include "platform/base/modeltime.h"
#include "platform/base/sync.h"
#include "platform/base/win32types.h"
#include "platform/clipboard/globalmem.h"

class CKeysAndActions;

// Change state of the last scan.
constexpr int MON_STATE_NONE = 0;
constexpr int MON_STATE_GREW = 1;
constexpr int MON_STATE_SHRANK = 2;
constexpr int MON_STATE_UNCHANGED = 3;
constexpr int MON_STATE_ERROR = 4;

// "Not checked", "Larger", ..., or "Unknown = %d".
std::string GetStateText(int nState);

// How many entries with tasks that ran a scan handles before it offers its
// position to be saved (ReachScanCheckpoint).
constexpr int SCAN_CHECKPOINT_TASKS = 32;

// A save of the read positions in the middle of a scan, so that a crash
// repeats at most the tasks of one block of entries. Installed per thread
// (the single scans of --once run on the front end's thread and install a
// save of the workspace; the scan thread installs none and saves after each
// scan). Null: none.
using ScanCheckpoint = void (*)(void* context);
void SetScanCheckpoint(ScanCheckpoint pfn, void* context);
// Called by a scan once its log's position is past a block of entries whose
// tasks ran.
void ReachScanCheckpoint();

// XOR with the 8-character key; its own inverse; keeps the full length.
std::string ScrambleText(const std::string& text);

// What the scans of one log have done since the program started, for the
// metrics file (not stored). Written by the scan thread, read by any
// thread. A copy of a log starts from zero, and assigning a copy to a log
// leaves the log's counts as they are.
struct CScanCounters {
    std::atomic<std::uint64_t> m_nEntriesRead{0}; // lines or records
    std::atomic<std::uint64_t> m_nMatches{0};     // entries that triggered a watch group
    std::atomic<std::uint64_t> m_nTasksRun{0};
    std::atomic<std::uint64_t> m_nActionFailures{0};
    std::atomic<std::uint64_t> m_nLastScanMicroseconds{0};
};

class CMonitoredObject : public CObject {
    DECLARE_SERIAL(CMonitoredObject)
public:
    CMonitoredObject();
    CMonitoredObject(const CMonitoredObject& other);
    CMonitoredObject& operator=(const CMonitoredObject& other);
    ~CMonitoredObject() override;

    // The shared part of a monitored log's record (version 2). Loading
    // clamps times in the future to the load time and unscrambles the
    // password. Throws CArchiveException on damage.
    void Serialize(CArchive& ar) override;

    // 1-29: the operations of every monitored log, in this order.
    virtual BOOL ScanIfDue();
    virtual BOOL IsScanDue();
    virtual void Scan() {}
    // The watch groups' silence rules, after each scan (ScanNow does it).
    void CheckSilenceRules();
    virtual BOOL ClearLog() { return FALSE; }
    virtual BOOL MarkLog(const std::string& /*text*/) { return FALSE; }
    virtual std::string GetDisplayName() const { return {}; }
    virtual int GetImageIndex() const { return -1; }
    virtual BOOL IsEnabled() const { return m_bEnabled; }
    virtual DWORD GetID() const { return m_dwID; }
    virtual int GetInterval() const { return m_nInterval; }
    virtual int GetState() const { return m_nState; }
    virtual void SetEnabled(BOOL bEnabled) { m_bEnabled = bEnabled; }
    virtual void SetID(DWORD dwID) { m_dwID = dwID; }
    virtual void SetInterval(int nInterval) { m_nInterval = nInterval; }
    virtual void SetState(int nState) { m_nState = nState; }
    virtual void SetJumpPending() { m_bJumpPending = TRUE; }
    virtual BOOL GetImpersonate() const { return m_bImpersonate; }
    virtual std::string GetLogonUser() const { return m_strLogonUser; }
    virtual std::string GetLogonPassword() const { return m_strLogonPassword; }
    virtual std::string GetLogonDomain() const { return m_strLogonDomain; }
    virtual void SetImpersonate(BOOL b) { m_bImpersonate = b; }
    virtual void SetLogonUser(const std::string& s) { m_strLogonUser = s; }
    virtual void SetLogonPassword(const std::string& s) { m_strLogonPassword = s; }
    virtual void SetLogonDomain(const std::string& s) { m_strLogonDomain = s; }
    virtual BOOL IsEventLog() const { return FALSE; }
    virtual void JumpToEnd() {}
    // The clipboard formats of this kind's watch groups and of the log
    // itself; the base has none (0).
    virtual UINT GetWatchGroupClipFormat() const { return 0; }
    virtual UINT GetClipFormat() const { return 0; }
    // The log as clipboard data (a block owned by the caller).
    virtual CGlobalMemory CopyToGlobalMemory() const;
    // What the scan thread reports with a change of this log: an event
    // log's last record; 0 for other kinds.
    virtual LPARAM GetLastRecordForProgress() const { return 0; }

    // The log held in clipboard data: a new log owned by the caller, or null
    // for the null handle. Throws CArchiveException on damaged data.
    static std::unique_ptr<CMonitoredObject> FromGlobalMemory(const CGlobalMemory& hMem);

    // One scan of an enabled log whatever its interval, with the bookkeeping
    // of a due scan (scan time; change time when the state changed). TRUE
    // when the state changed. ScanIfDue is this when the log is due.
    BOOL ScanNow();

    CTime GetNextScanTime() const { return m_timeLastScanned + GetInterval(); }

    // Impersonation around one scan, mark or clear, of the calling thread
    // only: each thread keeps its own token, which RevertLogon closes.
    BOOL LogonAsUser(DWORD* pError = nullptr);
    void RevertLogon();

    // Watch groups, in order; the log owns them.
    int GetWatchGroupCount() const;
    int AddWatchGroup(CKeysAndActions* pGroup);
    CKeysAndActions* GetWatchGroup(int index) const;
    CKeysAndActions* GetNextWatchGroup(int& pos) const;
    void RemoveWatchGroup(int index);
    void RemoveAllWatchGroups();

    BOOL m_bEnabled = FALSE;
    DWORD m_dwID = 0;
    // Written by the scan thread, read by the views while it scans.
    std::atomic<int> m_nState{MON_STATE_NONE};
    CTime m_timeLastScanned;
    CTime m_timeLastChanged;
    int m_nInterval = 60;
    BOOL m_bJumpPending = FALSE;
    BOOL m_bImpersonate = FALSE;
    std::string m_strLogonUser;
    std::string m_strLogonPassword;
    std::string m_strLogonDomain;
    std::vector<CKeysAndActions*> m_arrWatchGroups GUARDED_BY(g_csMonitor);
    CScanCounters m_counters;

protected:
    void CopyWatchGroupsFrom(const CMonitoredObject& other);
};

// Impersonation of a log's account for a scope: logs on when made (when the
// log has an account), and reverts when it goes unless Revert came first.
// Test it as a bool: false when the logon failed (nothing to revert then).
class CLogonScope {
public:
    explicit CLogonScope(CMonitoredObject& log, DWORD* pError = nullptr)
        : m_log(log), m_bLoggedOn(log.LogonAsUser(pError) != FALSE)
    {
    }
    ~CLogonScope() { Revert(); }
    CLogonScope(const CLogonScope&) = delete;
    CLogonScope& operator=(const CLogonScope&) = delete;

    explicit operator bool() const { return m_bLoggedOn; }
    // Logs on again after Revert (a no-op while logged on); false when the
    // logon failed.
    bool Renew()
    {
        if (!m_bLoggedOn)
            m_bLoggedOn = m_log.LogonAsUser() != FALSE;
        return m_bLoggedOn;
    }
    // Back to the program's own account before the scope ends.
    void Revert()
    {
        if (m_bLoggedOn)
            m_log.RevertLogon();
        m_bLoggedOn = false;
    }

private:
    CMonitoredObject& m_log;
    bool m_bLoggedOn;
};
