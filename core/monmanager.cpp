#include "core/monmanager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <set>
#include <thread>

#include "common/brancmn.h"
#include "core/frontend.h"
#include "core/itemid.h"
#include "core/wakeup.h"
#include "platform/base/clock.h"
#include "platform/base/win32error.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasklib/process.h"

CManualResetEvent g_hStopScanEvent;

IMPLEMENT_SERIAL(CMonManager, CObject, VERSIONABLE_SCHEMA | 1)

// An edit of a log that waits for the end of the log's scan.
struct CDeferredEdit {
    CMonitoredObject* pLog;
    DWORD dwID;
    LPARAM lHint;
    std::function<void()> edit;
};

// What the scan threads share with their manager. A thread holds it until
// it ends, so one that outlives the manager (abandoned at its stop) still
// finds the logs it scans; the block deletes them when the last one lets go.
struct CScanShared {
    ~CScanShared()
    {
        CSingleLock lock(g_csMonitor);
        for (CMonitoredObject* pLog : logs)
            delete pLog;
    }

    std::vector<CMonitoredObject*> logs; // guarded by g_csMonitor
    std::atomic<LONG> nPauseCount{0};
    std::atomic<CTime> timeLastSaveRequest{CTime::GetCurrentTime()};
    std::atomic<int> nStartDelay{0};

    std::mutex scanMutex;
    std::condition_variable scanDone;
    CMonitoredObject* pScanning = nullptr; // guarded by scanMutex
    std::vector<CDeferredEdit> deferred;   // guarded by scanMutex
};

// One scan thread. Its stop request is its own, so a later thread's start
// never takes it back. A thread that did not stop in time is abandoned: it
// ends at its next check instead of being killed, and posts nothing more.
struct CScanThread {
    std::thread thread;
    DWORD dwThreadId = 0;
    CManualResetEvent exited;
    std::atomic<bool> bStop{false};
    std::atomic<bool> bAbandoned{false};
    CMessageQueue* pMainWindow = nullptr;      // taken once when the thread starts
    std::shared_ptr<CScanThread> pPredecessor; // a stopping thread to wait for first

    void Post(UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (pMainWindow && !bAbandoned.load())
            pMainWindow->Post(message, wParam, lParam);
    }
    void PostState(ScanState state, LPARAM nSecondsLeft = 0)
    {
        Post(WM_SCAN_STATE, ToWParam(state), nSecondsLeft);
    }
};

namespace {

thread_local const CScanThread* t_pScanThread = nullptr;
std::atomic<bool> g_bAbandoned{false};
std::atomic<std::uint64_t> g_nScanHeartbeat{0};

ScanPassHook g_scanPassHook;

void Beat()
{
    g_nScanHeartbeat.fetch_add(1, std::memory_order_relaxed);
}

void WriteAuditBanner(const char* text)
{
    if (!g_bExtendedAudit)
        return;
    LogToFile(AppSettings::GetAuditText().c_str(), text, 1);
    LogToFile(AppSettings::GetAuditNT().c_str(), text, 1);
}

// Runs the edits that waited for the end of pLog's scan, on the scan thread.
void FinishScanOf(CScanShared& shared, CScanThread& thread, CMonitoredObject* pLog)
{
    std::vector<CDeferredEdit> ready;
    {
        // The same order as the user interface thread's RunWhenNotScanning.
        CSingleLock lock(g_csMonitor);
        std::lock_guard scanLock(shared.scanMutex);
        if (shared.pScanning == pLog)
            shared.pScanning = nullptr;
        auto it = std::stable_partition(shared.deferred.begin(), shared.deferred.end(),
                                        [&](const CDeferredEdit& d) { return d.pLog != pLog; });
        std::move(it, shared.deferred.end(), std::back_inserter(ready));
        shared.deferred.erase(it, shared.deferred.end());
        // Run under the lock: no other edit of this log can slip in between,
        // and the user interface thread only ever holds it briefly.
        for (CDeferredEdit& d : ready)
            d.edit();
    }
    shared.scanDone.notify_all();
    for (const CDeferredEdit& d : ready)
        if (d.lHint >= 0)
            thread.Post(WM_DEFERRED_EDIT, d.dwID, d.lHint);
}

// How often (seconds of the model's clock) the scan thread asks the logs
// again what tells of their changes; also whenever logs come or go.
constexpr std::int64_t WAKEUP_REFRESH_SECONDS = 30;

// One pass over the logs: each one that is due or was woken by a change is
// scanned. With bRefresh, the pass also collects the logs' wake-up sources.
void ScanPass(CScanShared& shared, CScanThread& thread, bool& bStopped, bool& bChanged,
              CWakeupWatcher& watcher, bool bRefresh, bool& bScanned)
{
    const std::set<DWORD> woken = watcher.TakeWoken();
    const std::set<DWORD> descriptorWoken = watcher.TakeDescriptorWoken();
    std::vector<std::pair<DWORD, CWakeupSource>> sources;
    int pos = 0;
    for (;;) {
        if (thread.bStop.load()) {
            thread.PostState(ScanState::Stopping);
            bStopped = true;
            return;
        }
        Beat();
        CMonitoredObject* pLog = nullptr;
        {
            CSingleLock lock(g_csMonitor);
            if (pos >= static_cast<int>(shared.logs.size())) {
                if (bRefresh)
                    watcher.Refresh(sources);
                return;
            }
            pLog = shared.logs[static_cast<std::size_t>(pos++)];
            if (shared.nPauseCount.load() > 0)
                continue;
            std::lock_guard scanLock(shared.scanMutex);
            shared.pScanning = pLog;
        }
        const DWORD dwID = pLog->GetID();
        bool bWoken = woken.count(dwID) != 0;
        if (auto* pSource = dynamic_cast<IWakeupSource*>(pLog)) {
            if (descriptorWoken.count(dwID) && pSource->ProcessWakeup())
                bWoken = true;
            CWakeupSource source;
            if (bRefresh && pSource->GetWakeupSource(source))
                sources.emplace_back(dwID, std::move(source));
        }
        if (pLog->IsEnabled() && (bWoken || pLog->IsScanDue()))
            bScanned = true;
        if (bWoken ? pLog->ScanNow() : pLog->ScanIfDue()) {
            LPARAM lParam = pLog->IsEventLog() ? pLog->GetLastRecordForProgress() : 0;
            thread.Post(WM_SCAN_PROGRESS, pLog->GetID(), lParam);
            bChanged = true;
        }
        // A digest period that has ended gives its summary even when the log
        // stays quiet.
        int groupPos = 0;
        while (CKeysAndActions* pGroup = pLog->GetNextWatchGroup(groupPos))
            if (pGroup->m_bDigest && !thread.bStop.load() && pGroup->FlushDigestIfDue())
                bChanged = true;
        FinishScanOf(shared, thread, pLog);
    }
}

void ScanThreadProc(CScanShared& shared, CScanThread& thread)
{
    t_pScanThread = &thread;
    IClock& clock = GetClock();
    // A thread that is still stopping scans to its end first; two threads
    // never scan at once.
    if (thread.pPredecessor) {
        while (thread.pPredecessor->exited.Wait(100) != WAIT_OBJECT_0)
            if (thread.bStop.load())
                break;
        thread.pPredecessor.reset();
    }
    if (int nDelay = shared.nStartDelay.load(); nDelay != 0) {
        CTime t = CTime::GetCurrentTime();
        const CTime end = t + nDelay;
        while (t < end) {
            if (thread.bStop.load()) {
                thread.PostState(ScanState::Stopped);
                shared.nStartDelay = 0;
                return;
            }
            thread.PostState(ScanState::Countdown, end - t);
            Beat();
            t = CTime::GetCurrentTime();
            clock.SleepMs(500);
        }
    }
    // The delay is cleared before the running message, so whoever sees that
    // message sees the delay used up.
    shared.nStartDelay = 0;
    thread.PostState(ScanState::Running);

    CWakeupWatcher watcher;
    std::int64_t nLastPass = -1;
    std::int64_t nLastRefresh = -1;
    std::size_t nRefreshedLogs = 0;
    for (;;) {
        if (thread.bStop.load()) {
            thread.PostState(ScanState::Stopping);
            break;
        }
        CTime now = CTime::GetCurrentTime();
        if ((now - shared.timeLastSaveRequest.load()) / 60 > 10) {
            thread.Post(WM_AUTOSAVE, 0, 0);
            shared.timeLastSaveRequest = now;
        }
        Beat();
        bool bStopped = false;
        bool bChanged = false;
        // Logs fall due by whole seconds, so a pass in the same second as
        // the last one finds none due; only a wake-up needs one then.
        const std::int64_t nNow = clock.NowSeconds();
        if (nNow == nLastPass && !watcher.HasWoken()) {
            watcher.Wait(clock, 100);
            continue;
        }
        nLastPass = nNow;
        std::size_t nLogs = 0;
        {
            CSingleLock lock(g_csMonitor);
            nLogs = shared.logs.size();
        }
        const bool bRefresh = nLastRefresh < 0 || nNow - nLastRefresh >= WAKEUP_REFRESH_SECONDS ||
                              nNow < nLastRefresh || nLogs != nRefreshedLogs;
        if (bRefresh) {
            nLastRefresh = nNow;
            nRefreshedLogs = nLogs;
        }
        bool bScanned = false;
        ScanPass(shared, thread, bStopped, bChanged, watcher, bRefresh, bScanned);
        if (bScanned && g_scanPassHook) {
            CSingleLock lock(g_csMonitor);
            g_scanPassHook(shared.logs);
        }
        if (bChanged) {
            thread.Post(WM_AUTOSAVE, 0, 0);
            shared.timeLastSaveRequest = CTime::GetCurrentTime();
        }
        if (bStopped)
            break;
        // A change of a watched log ends the wait at once.
        watcher.Wait(clock, 100);
    }
    thread.PostState(ScanState::Stopped);
}

} // namespace

void SetScanPassHook(ScanPassHook hook)
{
    g_scanPassHook = std::move(hook);
}

void RunScanPassHook(const CMonManager& manager)
{
    if (!g_scanPassHook)
        return;
    CSingleLock lock(g_csMonitor);
    std::vector<CMonitoredObject*> logs;
    int pos = 0;
    while (CMonitoredObject* pLog = manager.GetNextLog(pos))
        logs.push_back(pLog);
    g_scanPassHook(logs);
}

std::uint64_t GetScanHeartbeat()
{
    return g_nScanHeartbeat.load(std::memory_order_relaxed);
}

bool IsStopRequested()
{
    if (t_pScanThread) {
        Beat();
        return t_pScanThread->bStop.load();
    }
    return g_hStopScanEvent.IsSet();
}

bool IsScanThreadAbandoned()
{
    return g_bAbandoned.load();
}

CMonManager::CMonManager()
    : m_pShared(std::make_shared<CScanShared>()), m_nPauseCount(m_pShared->nPauseCount),
      m_timeLastSaveRequest(m_pShared->timeLastSaveRequest), m_pLogs(&m_pShared->logs),
      m_nStartDelay(m_pShared->nStartDelay)
{
}

CMonManager::~CMonManager()
{
    if (m_hScanThread || !m_stopping.empty())
        StopScanThread();
    // Threads that ended are joined; one that is still busy is let go with
    // its share of the logs and ends on its own.
    for (auto& pThread : m_stopping) {
        if (pThread->exited.IsSet()) {
            pThread->thread.join();
        } else {
            g_bAbandoned = true;
            pThread->thread.detach();
        }
    }
}

void CMonManager::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        std::vector<CMonitoredObject*> logs;
        {
            CSingleLock lock(g_csMonitor);
            logs = *m_pLogs;
        }
        ar << DWORD{1} << static_cast<DWORD>(logs.size());
        for (const CMonitoredObject* pLog : logs)
            ar.WriteObject(pLog);
        return;
    }
    ar.GetObjectSchema();
    DWORD dwVersion = 0;
    DWORD dwCount = 0;
    ar >> dwVersion >> dwCount;
    ar.CheckCount(dwCount, 2);
    for (DWORD i = 0; i < dwCount; ++i) {
        std::unique_ptr<CMonitoredObject> pLog = ar.ReadObjectAs<CMonitoredObject>();
        if (!pLog)
            ar.Fail(CArchiveException::badClass, "empty monitored log record");
        AddLog(pLog.release());
    }
}

BOOL CMonManager::StartScanThread()
{
    if (IsScanThreadRunning())
        return TRUE;
    WriteSystemLog("Starting automatic scans");
    WriteAuditBanner("Starting automatic scans");
    m_timeLastSaveRequest = CTime::GetCurrentTime();
    RefreshExtendedAudit();
    // A task that waits for a program gives the wait up at a stop.
    SetProcessWaitCancelCheck(&IsStopRequested);

    // Threads that ended are released; the newest one still stopping is the
    // one the new thread waits for (it waited for any older one itself).
    if (m_hScanThread)
        m_stopping.push_back(std::move(m_hScanThread));
    std::erase_if(m_stopping, [](const std::shared_ptr<CScanThread>& p) {
        if (!p->exited.IsSet())
            return false;
        p->thread.join();
        return true;
    });
    auto pThread = std::make_shared<CScanThread>();
    pThread->pMainWindow = GetMainWindowQueue();
    if (!m_stopping.empty())
        pThread->pPredecessor = m_stopping.back();
    try {
        std::mutex started;
        std::condition_variable cv;
        bool bHaveId = false;
        pThread->thread = std::thread([pShared = m_pShared, pRaw = pThread.get(), keep = pThread,
                                       &started, &cv, &bHaveId]() mutable {
            {
                // Notified under the lock: the starter's mutex and condition
                // variable are gone as soon as it sees bHaveId.
                std::lock_guard lock(started);
                pRaw->dwThreadId = GetCurrentThreadId();
                bHaveId = true;
                cv.notify_one();
            }
            ScanThreadProc(*pShared, *pRaw);
            pShared.reset();
            pRaw->exited.Set();
            // The thread's own record goes last: its controller may have let
            // go of it already.
            keep.reset();
        });
        std::unique_lock lock(started);
        cv.wait(lock, [&] { return bHaveId; });
    } catch (const std::system_error& e) {
        WriteSystemLogF("Error starting scanner: %u",
                        static_cast<unsigned>(Win32ErrorFromErrno(e.code().value())));
        return FALSE;
    }
    m_hScanThread = std::move(pThread);
    char line[64];
    std::snprintf(line, sizeof line, "Scan thread launched id: %u",
                  static_cast<unsigned>(m_hScanThread->dwThreadId));
    LogDiagnostics(line);
    return TRUE;
}

void CMonManager::RequestStop()
{
    WriteSystemLog("Stopping automatic scans");
    WriteAuditBanner("Stopping automatic scans");
    if (!m_hScanThread)
        return;
    m_hScanThread->bStop = true;
    m_stopping.push_back(std::move(m_hScanThread));
}

BOOL CMonManager::StopScanThread()
{
    // Threads that are only finishing were asked (and logged) already.
    if (m_hScanThread || m_stopping.empty())
        RequestStop();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_dwStopTimeoutMs);
    BOOL bAllEnded = TRUE;
    for (auto& pThread : m_stopping) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (pThread->exited.Wait(static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0))) !=
            WAIT_OBJECT_0) {
            bAllEnded = FALSE;
            break;
        }
    }
    if (!bAllEnded) {
        WriteSystemLogF("Error waiting for scan to halt: %s", "Thread did not exit - timeout");
        // The last resort: the threads are abandoned and end at their next
        // check without posting anything, as if they had been terminated.
        for (auto& pThread : m_stopping)
            pThread->bAbandoned = true;
    }
    std::erase_if(m_stopping, [](const std::shared_ptr<CScanThread>& p) {
        if (!p->exited.IsSet())
            return false;
        p->thread.join();
        return true;
    });
    g_hStopScanEvent.Reset();
    return bAllEnded;
}

BOOL CMonManager::IsScanThreadRunning() const
{
    return m_hScanThread && !m_hScanThread->exited.IsSet();
}

BOOL CMonManager::HasScanThreads() const
{
    return IsScanThreadRunning() || std::any_of(m_stopping.begin(), m_stopping.end(),
                                                [](const auto& p) { return !p->exited.IsSet(); });
}

BOOL CMonManager::RunWhenNotScanning(CMonitoredObject* pLog, LPARAM lHint,
                                     std::function<void()> edit)
{
    CScanShared& shared = *m_pShared;
    // The scan thread marks the log it scans under both locks, so holding
    // them keeps it from starting on this log while the edit runs.
    CSingleLock lock(g_csMonitor);
    std::lock_guard scanLock(shared.scanMutex);
    if (shared.pScanning != pLog) {
        edit();
        return TRUE;
    }
    shared.deferred.push_back({pLog, pLog->GetID(), lHint, std::move(edit)});
    return FALSE;
}

void CMonManager::WaitUntilNotScanning(const CMonitoredObject* pLog)
{
    CScanShared& shared = *m_pShared;
    std::unique_lock lock(shared.scanMutex);
    shared.scanDone.wait(lock, [&] {
        return shared.pScanning != pLog &&
               std::none_of(shared.deferred.begin(), shared.deferred.end(),
                            [&](const CDeferredEdit& d) { return d.pLog == pLog; });
    });
}

void CMonManager::DeleteWhenIdle(CMonitoredObject* pLog)
{
    RunWhenNotScanning(pLog, -1, [pLog] { delete pLog; });
}

int CMonManager::GetLogCount() const
{
    CSingleLock lock(g_csMonitor);
    return static_cast<int>(m_pLogs->size());
}

CMonitoredObject* CMonManager::GetNextLog(int& pos) const
{
    CSingleLock lock(g_csMonitor);
    if (pos < 0 || pos >= static_cast<int>(m_pLogs->size()))
        return nullptr;
    return (*m_pLogs)[static_cast<std::size_t>(pos++)];
}

void CMonManager::AddLog(CMonitoredObject* pLog)
{
    CSingleLock lock(g_csMonitor);
    m_pLogs->push_back(pLog);
}

CMonitoredObject* CMonManager::FindLog(DWORD dwID) const
{
    CSingleLock lock(g_csMonitor);
    for (CMonitoredObject* pLog : *m_pLogs)
        if (pLog->GetID() == dwID)
            return pLog;
    return nullptr;
}

void CMonManager::RemoveLogAt(int index)
{
    CMonitoredObject* pLog = nullptr;
    {
        CSingleLock lock(g_csMonitor);
        if (index < 0 || index >= static_cast<int>(m_pLogs->size()))
            return;
        pLog = (*m_pLogs)[static_cast<std::size_t>(index)];
        m_pLogs->erase(m_pLogs->begin() + index);
    }
    DeleteWhenIdle(pLog);
}

BOOL CMonManager::DeleteLog(DWORD dwID)
{
    CMonitoredObject* pLog = nullptr;
    {
        CSingleLock lock(g_csMonitor);
        for (auto it = m_pLogs->begin(); it != m_pLogs->end(); ++it) {
            if ((*it)->GetID() == dwID) {
                pLog = *it;
                m_pLogs->erase(it);
                break;
            }
        }
    }
    if (pLog)
        DeleteWhenIdle(pLog);
    return TRUE;
}

void CMonManager::RemoveAllLogs()
{
    if (HasScanThreads())
        StopScanThread();
    while (GetLogCount() > 0)
        RemoveLogAt(0);
    m_timeLastSaveRequest = CTime::GetCurrentTime();
    m_nPauseCount = 0;
    m_nStartDelay = 0;
}

BOOL CMonManager::ToggleLogEnabled(DWORD dwID)
{
    if (CMonitoredObject* pLog = FindLog(dwID))
        pLog->SetEnabled(!pLog->IsEnabled());
    return TRUE;
}

CKeysAndActions* CMonManager::FindWatchGroup(DWORD dwID, int nGroup) const
{
    CMonitoredObject* pLog = FindLog(dwID);
    return pLog ? pLog->GetWatchGroup(nGroup) : nullptr;
}

namespace {

// The update hint posted after a deferred change of groups, keys or tasks:
// the views rebuild the log's node with all its groups.
constexpr LPARAM LOG_REBUILT_HINT = 2;

void AppendCopiesOfGroups(CMonitoredObject& target, const CMonitoredObject& source)
{
    int pos = 0;
    while (const CKeysAndActions* pGroup = source.GetNextWatchGroup(pos))
        target.AddWatchGroup(new CKeysAndActions(*pGroup));
}

} // namespace

void CMonManager::ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    CMonitoredObject* pLog = FindLog(dwTargetID);
    if (!pLog)
        return;
    // The groups are copied now: the source may be gone when the edit runs.
    auto pGroups = std::make_shared<CMonitoredObject>();
    AppendCopiesOfGroups(*pGroups, source);
    RunWhenNotScanning(pLog, LOG_REBUILT_HINT, [pLog, pGroups] {
        pLog->RemoveAllWatchGroups();
        AppendCopiesOfGroups(*pLog, *pGroups);
    });
}

void CMonManager::MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    // Appending is safe during a scan: the scan reaches groups by position.
    if (CMonitoredObject* pLog = FindLog(dwTargetID))
        AppendCopiesOfGroups(*pLog, source);
}

int CMonManager::AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup)
{
    CMonitoredObject* pLog = FindLog(dwID);
    if (!pLog) {
        delete pGroup;
        return -1;
    }
    return pLog->AddWatchGroup(pGroup);
}

void CMonManager::SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group)
{
    CMonitoredObject* pLog = FindLog(dwID);
    if (!pLog || !pLog->GetWatchGroup(nGroup))
        return;
    auto pCopy = std::make_shared<CKeysAndActions>(group);
    RunWhenNotScanning(pLog, LOG_REBUILT_HINT, [pLog, nGroup, pCopy] {
        if (CKeysAndActions* pGroup = pLog->GetWatchGroup(nGroup))
            *pGroup = *pCopy;
    });
}

BOOL CMonManager::DeleteWatchGroup(DWORD dwID, int nGroup)
{
    if (CMonitoredObject* pLog = FindLog(dwID))
        RunWhenNotScanning(pLog, LOG_REBUILT_HINT,
                           [pLog, nGroup] { pLog->RemoveWatchGroup(nGroup); });
    return TRUE;
}

BOOL CMonManager::EditTask(DWORD dwID, int nGroup)
{
    CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup);
    if (!pGroup)
        return TRUE;
    pGroup->m_bTaskChanged = 1;
    CTask copy = pGroup->m_task;
    if (copy.Properties())
        SetTask(dwID, nGroup, copy);
    return TRUE;
}

void CMonManager::SetTask(DWORD dwID, int nGroup, const CTask& task)
{
    CMonitoredObject* pLog = FindLog(dwID);
    if (!pLog || !pLog->GetWatchGroup(nGroup))
        return;
    auto pCopy = std::make_shared<CTask>(task);
    RunWhenNotScanning(pLog, LOG_REBUILT_HINT, [pLog, nGroup, pCopy] {
        if (CKeysAndActions* pGroup = pLog->GetWatchGroup(nGroup))
            pGroup->m_task = *pCopy;
    });
}

BOOL CMonManager::SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key)
{
    CMonitoredObject* pLog = FindLog(dwID);
    CKeysAndActions* pGroup = pLog ? pLog->GetWatchGroup(nGroup) : nullptr;
    CSearchKey* pKey = pGroup ? pGroup->GetKey(nKey) : nullptr;
    if (!pKey || pKey->GetRuntimeClass() != key.GetRuntimeClass())
        return FALSE;
    std::shared_ptr<CSearchKey> pCopy = key.Clone();
    if (!pCopy)
        return FALSE;
    RunWhenNotScanning(pLog, LOG_REBUILT_HINT, [pLog, nGroup, nKey, pCopy] {
        CKeysAndActions* pLiveGroup = pLog->GetWatchGroup(nGroup);
        CSearchKey* pOld = pLiveGroup ? pLiveGroup->GetKey(nKey) : nullptr;
        if (!pOld)
            return;
        // Replace in place so the key keeps its position.
        CSingleLock lock(g_csMonitor);
        for (CSearchKey*& pSlot : pLiveGroup->m_arrKeys) {
            if (pSlot == pOld) {
                pSlot = pCopy->Clone().release();
                delete pOld;
                return;
            }
        }
    });
    return TRUE;
}

int CMonManager::AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey)
{
    CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup);
    if (!pGroup) {
        delete pKey;
        return -1;
    }
    return pGroup->AddKey(pKey);
}

BOOL CMonManager::DeleteSearchKey(DWORD dwID, int nGroup, int nKey)
{
    if (CMonitoredObject* pLog = FindLog(dwID))
        RunWhenNotScanning(pLog, LOG_REBUILT_HINT, [pLog, nGroup, nKey] {
            if (CKeysAndActions* pGroup = pLog->GetWatchGroup(nGroup))
                pGroup->RemoveKey(nKey);
        });
    return TRUE;
}

namespace {

// The files that share the identifier space with the monitored logs.
bool SpecialLogFile(DWORD dwID, std::string& name, std::string& path)
{
    switch (ItemKind(dwID)) {
    case ITEM_KIND_SYSTEM_LOG:
        name = "System log file";
        path = AppSettings::GetErrorLogPath();
        return true;
    case ITEM_KIND_TEXT_AUDIT:
        name = "Text audit file";
        path = AppSettings::GetAuditText();
        return true;
    case ITEM_KIND_EVENT_AUDIT:
        name = "Event audit file";
        path = AppSettings::GetAuditNT();
        return true;
    default:
        return false;
    }
}

} // namespace

BOOL CMonManager::MarkLog(DWORD dwID, const std::string& text)
{
    std::string name;
    std::string path;
    CMonitoredObject* pLog = nullptr;
    BOOL bResult = FALSE;
    if (SpecialLogFile(dwID, name, path)) {
        bResult = LogToFile(path.c_str(), text.c_str(), 0);
    } else if ((pLog = FindLog(dwID)) != nullptr) {
        name = pLog->GetDisplayName();
        bResult = pLog->MarkLog(text);
    }
    if (!bResult) {
        GetFrontEnd().MessageBox("Error marking log: " + name, MB_OK);
        return 0;
    }
    if (pLog)
        pLog->SetState(MON_STATE_UNCHANGED);
    return bResult;
}

BOOL CMonManager::ClearLog(DWORD dwID)
{
    std::string name;
    std::string path;
    CMonitoredObject* pLog = nullptr;
    BOOL bResult = FALSE;
    if (SpecialLogFile(dwID, name, path)) {
        bResult = DeleteLogFile(path.c_str());
    } else if ((pLog = FindLog(dwID)) != nullptr) {
        name = pLog->GetDisplayName();
        bResult = pLog->ClearLog();
    }
    if (bResult) {
        if (pLog)
            pLog->SetState(MON_STATE_UNCHANGED);
        WriteSystemLogF("User cleared log: %s", name.c_str());
    } else {
        GetFrontEnd().MessageBox("Error clearing log: " + name +
                                     "!\n\nSee the Quorvil system log for details",
                                 MB_OK | MB_ICONEXCLAMATION);
    }
    return bResult;
}

CScanPause::CScanPause(CMonManager* pManager) : m_pManager(pManager)
{
    if (m_pManager)
        InterlockedIncrement(m_pManager->m_nPauseCount);
}

CScanPause::~CScanPause()
{
    if (m_pManager)
        InterlockedDecrement(m_pManager->m_nPauseCount);
}
