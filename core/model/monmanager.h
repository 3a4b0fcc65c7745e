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
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/model/keysandactions.h"
#include "core/model/monitoredobject.h"
#include "platform/base/msgqueue.h"
#include "platform/base/sync.h"

// Messages posted by the scan thread to the main window.
constexpr UINT WM_SCAN_STATE = WM_USER + 7;     // wParam: SCAN_STATE_*; lParam: seconds left
constexpr UINT WM_SCAN_PROGRESS = WM_USER + 8;  // wParam: log id; lParam: last record or 0
constexpr UINT WM_AUTOSAVE = WM_USER + 11;      // save the workspace to keep read positions

constexpr WPARAM SCAN_STATE_STOPPED = 0;
constexpr WPARAM SCAN_STATE_COUNTDOWN = 1;
constexpr WPARAM SCAN_STATE_RUNNING = 2;
constexpr WPARAM SCAN_STATE_STOPPING = 3;

// Set to ask the scan thread to stop; scans poll it between watch groups
// and between read blocks. Manual reset.
extern CManualResetEvent g_hStopScanEvent;

// True when a stop of the scan thread has been requested.
inline bool IsStopRequested() { return g_hStopScanEvent.IsSet(); }

struct CScanThread;

class CMonManager : public CObject {
    DECLARE_SERIAL(CMonManager)
public:
    CMonManager();
    ~CMonManager() override;
    CMonManager(const CMonManager&) = delete;
    CMonManager& operator=(const CMonManager&) = delete;

    // Record version 1: the count of logs, then each log as an object record
    // (class information, the base record, the kind's record). Loading
    // appends the logs read; throws CArchiveException on damage.
    void Serialize(CArchive& ar) override;

    // Thread control (user interface thread).
    BOOL StartScanThread();
    BOOL StopScanThread();
    BOOL IsScanThreadRunning() const;

    // The log list (any thread).
    int GetLogCount() const;
    CMonitoredObject* GetNextLog(int& pos) const;
    void AddLog(CMonitoredObject* pLog);
    CMonitoredObject* FindLog(DWORD dwID) const;
    void RemoveLogAt(int index);
    BOOL DeleteLog(DWORD dwID);
    void RemoveAllLogs();

    // Operations by identifier (called by the document).
    BOOL ToggleLogEnabled(DWORD dwID);
    void ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    void MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    int AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup);
    void SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group);
    BOOL DeleteWatchGroup(DWORD dwID, int nGroup);
    BOOL EditTask(DWORD dwID, int nGroup);
    void SetTask(DWORD dwID, int nGroup, const CTask& task);
    BOOL SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key);
    int AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey);
    BOOL DeleteSearchKey(DWORD dwID, int nGroup, int nKey);
    // The group of a log, or null when either does not exist.
    CKeysAndActions* FindWatchGroup(DWORD dwID, int nGroup) const;
    BOOL MarkLog(DWORD dwID, const std::string& text);
    BOOL ClearLog(DWORD dwID);

    // Blocks until the scan thread is not scanning the log, so that the log
    // can be deleted or its watch groups edited safely. Must not be called
    // from the scan thread.
    void WaitUntilNotScanning(const CMonitoredObject* pLog);

    std::atomic<LONG> m_nPauseCount{0};
    std::atomic<CTime> m_timeLastSaveRequest;
    std::unique_ptr<CScanThread> m_hScanThread;
    std::unique_ptr<std::vector<CMonitoredObject*>> m_pLogs; // guarded by g_csMonitor
    std::atomic<int> m_nStartDelay{0};
    // How long StopScanThread waits for the thread to end.
    DWORD m_dwStopTimeoutMs = 60000;

private:
    void ScanThreadProc(CScanThread& thread);
    void ScanPass(CScanThread& thread, bool& bStopped, bool& bChanged);
    void FinishScanOf(CMonitoredObject* pLog);
    void DeleteWhenIdle(CMonitoredObject* pLog);

    std::mutex m_scanMutex;
    std::condition_variable m_scanDone;
    CMonitoredObject* m_pScanning = nullptr; // guarded by m_scanMutex
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
