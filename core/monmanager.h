#pragma once
// The scan manager: owns the ordered list of monitored logs of the open
// workspace and the one background thread that scans them.
//
// Threads: thread control and the operations by identifier run on the user
// interface thread; the list operations may be called from any thread and
// take g_csMonitor per access. The scan thread reaches the front end only by
// posting WM_SCAN_STATE, WM_SCAN_PROGRESS and WM_AUTOSAVE to the main
// window's queue.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "platform/base/msgqueue.h"
#include "platform/base/sync.h"

// Messages posted by the scan thread to the main window.
constexpr UINT WM_SCAN_STATE = WM_USER + 7;     // wParam: ScanState; lParam: seconds left
constexpr UINT WM_SCAN_PROGRESS = WM_USER + 8;  // wParam: log id; lParam: last record or 0
constexpr UINT WM_AUTOSAVE = WM_USER + 11;      // save the workspace to keep read positions
constexpr UINT WM_DEFERRED_EDIT = WM_USER + 15; // wParam: log id; lParam: update hint code

// The scan thread's states, carried as the wParam of WM_SCAN_STATE.
enum class ScanState : WPARAM { Stopped = 0, Countdown = 1, Running = 2, Stopping = 3 };
constexpr WPARAM ToWParam(ScanState state)
{
    return static_cast<WPARAM>(state);
}
// The state a WM_SCAN_STATE wParam names, or none.
constexpr std::optional<ScanState> ScanStateFromWParam(WPARAM wParam)
{
    if (wParam > ToWParam(ScanState::Stopping))
        return std::nullopt;
    return static_cast<ScanState>(wParam);
}

// Set to stop scans that run on threads other than a scan thread (the single
// scans of --once, tests); scan threads have their own stop. Manual reset.
extern CManualResetEvent g_hStopScanEvent;

// True when the calling scan should stop: on a scan thread, once that thread
// was asked to stop (a request it never loses, also when it is abandoned);
// on any other thread, while g_hStopScanEvent is set. Scans poll it between
// watch groups and between read blocks, and no task starts once it holds.
bool IsStopRequested();

// A count that a scan thread raises as it goes: each pass, each log, each
// poll of IsStopRequested between read blocks. A count that stops moving
// while a thread runs means a scan thread that hangs (the service watchdog).
std::uint64_t GetScanHeartbeat();

class CMonManager;

// Called on the scan thread after each pass in which some log was scanned,
// and after a single scan of every log (--once), with g_csMonitor held and
// the logs in list order: the metrics file. Null for none; set it before
// scanning starts.
using ScanPassHook = std::function<void(const std::vector<CMonitoredObject*>& logs)>;
void SetScanPassHook(ScanPassHook hook);
void RunScanPassHook(const CMonManager& manager);

// True once a scan thread outlived the manager that started it (it did not
// stop within the time-out). The program then ends without running the
// destructors of process-wide objects that thread may still use.
bool IsScanThreadAbandoned();

struct CScanShared;
struct CScanThread;

class CMonManager : public CObject {
    DECLARE_SERIAL(CMonManager)
public:
    CMonManager();
    // Stops scanning, waiting at most m_dwStopTimeoutMs. A thread that is
    // still busy then keeps the logs alive until it ends.
    ~CMonManager() override;
    CMonManager(const CMonManager&) = delete;
    CMonManager& operator=(const CMonManager&) = delete;

    // Record version 1: the count of logs, then each log as an object record
    // (class information, the base record, the kind's record). Loading
    // appends the logs read; throws CArchiveException on damage.
    void Serialize(CArchive& ar) override;

    // Thread control (user interface thread). None of these waits for a
    // scan, except StopScanThread.
    // Starts a scan thread unless one runs. A thread that is still stopping
    // finishes first: the new thread waits for it before its first scan.
    BOOL StartScanThread();
    // Asks the scan thread to stop and returns at once. The thread runs no
    // further task, cuts a task's wait for the user short, and posts
    // ScanState::Stopping, then ScanState::Stopped as it ends.
    void RequestStop();
    // RequestStop, then waits at most m_dwStopTimeoutMs until every scan
    // thread has ended: for closing the program and replacing the
    // workspace. FALSE on time-out: the thread is abandoned and posts
    // nothing more.
    BOOL StopScanThread();
    // Whether a scan thread runs that was not asked to stop.
    BOOL IsScanThreadRunning() const;
    // Whether any scan thread may still run: one that scans, or one that was
    // asked to stop and has not ended yet. The program's end stops them all
    // (StopScanThread) before the main window's queue goes.
    BOOL HasScanThreads() const;

    // The log list (any thread).
    int GetLogCount() const;
    CMonitoredObject* GetNextLog(int& pos) const;
    void AddLog(CMonitoredObject* pLog);
    CMonitoredObject* FindLog(DWORD dwID) const;
    void RemoveLogAt(int index);
    BOOL DeleteLog(DWORD dwID);
    void RemoveAllLogs();

    // Operations by identifier (called by the document). Those that change
    // or remove what a scan of the log uses are applied at once when the log
    // is not being scanned, and otherwise by the scan thread as soon as that
    // scan ends (see RunWhenNotScanning); none of them waits for a scan.
    BOOL ToggleLogEnabled(DWORD dwID);
    void ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    void MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    int AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup);
    void SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group);
    BOOL DeleteWatchGroup(DWORD dwID, int nGroup);
    // The task dialog on a copy of the group's task, assigned back on OK.
    BOOL EditTask(DWORD dwID, int nGroup);
    void SetTask(DWORD dwID, int nGroup, const CTask& task);
    BOOL SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key);
    int AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey);
    BOOL DeleteSearchKey(DWORD dwID, int nGroup, int nKey);
    // The group of a log, or null when either does not exist.
    CKeysAndActions* FindWatchGroup(DWORD dwID, int nGroup) const;
    BOOL MarkLog(DWORD dwID, const std::string& text);
    BOOL ClearLog(DWORD dwID);

    // Runs edit at once when the scan thread is not scanning pLog (and keeps
    // it from starting to meanwhile); otherwise hands it to the scan thread,
    // which runs it right after that scan and then posts WM_DEFERRED_EDIT
    // with the log's identifier and lHint (nothing for a negative lHint).
    // The edit must not block. TRUE when it ran at once.
    BOOL RunWhenNotScanning(CMonitoredObject* pLog, LPARAM lHint, std::function<void()> edit);
    // Blocks until the scan thread is not scanning the log. For tests and
    // for code without a user interface; a window must never call it.
    void WaitUntilNotScanning(const CMonitoredObject* pLog);

    // The members below live in a block that the scan threads share, so
    // that a thread that outlives the manager never uses freed memory.
    std::shared_ptr<CScanShared> m_pShared;
    std::atomic<LONG>& m_nPauseCount;
    std::atomic<CTime>& m_timeLastSaveRequest;
    std::vector<CMonitoredObject*>* const m_pLogs PT_GUARDED_BY(g_csMonitor);
    std::atomic<int>& m_nStartDelay;
    // How long StopScanThread waits for the thread to end.
    DWORD m_dwStopTimeoutMs = 60000;

private:
    void DeleteWhenIdle(CMonitoredObject* pLog);

    std::shared_ptr<CScanThread> m_hScanThread;           // the running thread
    std::vector<std::shared_ptr<CScanThread>> m_stopping; // asked to stop, maybe still running
};

// Keeps the scan thread from starting new scans while it lives.
class CScanPause {
public:
    explicit CScanPause(CMonManager* pManager);
    ~CScanPause();
    CScanPause(const CScanPause&) = delete;
    CScanPause& operator=(const CScanPause&) = delete;

private:
    CMonManager* m_pManager;
};
