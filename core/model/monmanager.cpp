#include "core/model/monmanager.h"

#include <cstdio>
#include <thread>

#include "app/settings/appsettings.h"
#include "app/settings/systemlog.h"
#include "brancmn/brancmn.h"
#include "core/model/frontend.h"
#include "core/model/itemid.h"
#include "platform/base/clock.h"
#include "platform/base/win32error.h"

CManualResetEvent g_hStopScanEvent;

IMPLEMENT_SERIAL(CMonManager, CObject, VERSIONABLE_SCHEMA | 1)

// The scan thread and what its controller shares with it. A thread that
// did not stop in time is abandoned: it ends silently at its next check
// instead of being killed, and is joined when the manager goes away.
struct CScanThread {
    std::thread thread;
    DWORD dwThreadId = 0;
    CManualResetEvent exited;
    std::atomic<bool> bAbandoned{false};
    CMessageQueue* pMainWindow = nullptr; // taken once when the thread starts

    bool StopRequested() const { return bAbandoned.load() || IsStopRequested(); }
    void Post(UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (pMainWindow && !bAbandoned.load())
            pMainWindow->Post(message, wParam, lParam);
    }
};

namespace {

void WriteAuditBanner(const char* text)
{
    if (!g_bExtendedAudit)
        return;
    LogToFile(AppSettings::GetAuditText().c_str(), text, 1);
    LogToFile(AppSettings::GetAuditNT().c_str(), text, 1);
}

} // namespace

CMonManager::CMonManager()
    : m_timeLastSaveRequest(CTime::GetCurrentTime()),
      m_pLogs(std::make_unique<std::vector<CMonitoredObject*>>())
{
}

CMonManager::~CMonManager()
{
    if (IsScanThreadRunning())
        StopScanThread();
    if (m_hScanThread && m_hScanThread->thread.joinable())
        m_hScanThread->thread.join();
    CSingleLock lock(g_csMonitor);
    for (CMonitoredObject* pLog : *m_pLogs)
        delete pLog;
    m_pLogs->clear();
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

    // A thread that ended on its own is joined before the next one starts.
    if (m_hScanThread && m_hScanThread->thread.joinable())
        m_hScanThread->thread.join();
    auto pThread = std::make_unique<CScanThread>();
    pThread->pMainWindow = GetMainWindowQueue();
    CScanThread* pRaw = pThread.get();
    try {
        std::mutex started;
        std::condition_variable cv;
        bool bHaveId = false;
        pThread->thread = std::thread([this, pRaw, &started, &cv, &bHaveId] {
            {
                // Notified under the lock: the starter's mutex and condition
                // variable are gone as soon as it sees bHaveId.
                std::lock_guard lock(started);
                pRaw->dwThreadId = GetCurrentThreadId();
                bHaveId = true;
                cv.notify_one();
            }
            ScanThreadProc(*pRaw);
            pRaw->exited.Set();
        });
        std::unique_lock lock(started);
        cv.wait(lock, [&] { return bHaveId; });
    } catch (const std::system_error& e) {
        WriteSystemLogF("Error starting scanner: %u", static_cast<unsigned>(Win32ErrorFromErrno(e.code().value())));
        return FALSE;
    }
    m_hScanThread = std::move(pThread);
    char line[64];
    std::snprintf(line, sizeof line, "Scan thread launched id: %u", static_cast<unsigned>(m_hScanThread->dwThreadId));
    LogDiagnostics(line);
    return TRUE;
}

BOOL CMonManager::StopScanThread()
{
    WriteSystemLog("Stopping automatic scans");
    WriteAuditBanner("Stopping automatic scans");
    if (!IsScanThreadRunning())
        return TRUE;
    g_hStopScanEvent.Set();
    if (m_hScanThread->exited.Wait(m_dwStopTimeoutMs) == WAIT_OBJECT_0) {
        m_hScanThread->thread.join();
        m_hScanThread.reset();
        g_hStopScanEvent.Reset();
        return TRUE;
    }
    WriteSystemLogF("Error waiting for scan to halt: %s", "Thread did not exit - timeout");
    // The last resort: the thread is abandoned and ends at its next check
    // without posting anything, as if it had been terminated.
    m_hScanThread->bAbandoned = true;
    g_hStopScanEvent.Reset();
    return FALSE;
}

BOOL CMonManager::IsScanThreadRunning() const
{
    return m_hScanThread && !m_hScanThread->exited.IsSet();
}

void CMonManager::ScanThreadProc(CScanThread& thread)
{
    IClock& clock = GetClock();
    if (int nDelay = m_nStartDelay.load(); nDelay != 0) {
        CTime t = CTime::GetCurrentTime();
        const CTime end = t + nDelay;
        while (t < end) {
            if (thread.StopRequested()) {
                thread.Post(WM_SCAN_STATE, SCAN_STATE_STOPPED, 0);
                m_nStartDelay = 0;
                return;
            }
            thread.Post(WM_SCAN_STATE, SCAN_STATE_COUNTDOWN, end - t);
            t = CTime::GetCurrentTime();
            clock.SleepMs(500);
        }
    }
    // The delay is cleared before the running message, so whoever sees that
    // message sees the delay used up.
    m_nStartDelay = 0;
    thread.Post(WM_SCAN_STATE, SCAN_STATE_RUNNING, 0);

    for (;;) {
        if (thread.StopRequested()) {
            thread.Post(WM_SCAN_STATE, SCAN_STATE_STOPPING, 0);
            break;
        }
        CTime now = CTime::GetCurrentTime();
        if ((now - m_timeLastSaveRequest.load()) / 60 > 10) {
            thread.Post(WM_AUTOSAVE, 0, 0);
            m_timeLastSaveRequest = now;
        }
        bool bStopped = false;
        bool bChanged = false;
        ScanPass(thread, bStopped, bChanged);
        if (bChanged) {
            thread.Post(WM_AUTOSAVE, 0, 0);
            m_timeLastSaveRequest = CTime::GetCurrentTime();
        }
        if (bStopped)
            break;
        clock.SleepMs(100);
    }
    if (thread.bAbandoned)
        return;
    g_hStopScanEvent.Reset();
    thread.Post(WM_SCAN_STATE, SCAN_STATE_STOPPED, 0);
}

void CMonManager::ScanPass(CScanThread& thread, bool& bStopped, bool& bChanged)
{
    int pos = 0;
    for (;;) {
        if (thread.StopRequested()) {
            thread.Post(WM_SCAN_STATE, SCAN_STATE_STOPPING, 0);
            bStopped = true;
            return;
        }
        CMonitoredObject* pLog = nullptr;
        {
            CSingleLock lock(g_csMonitor);
            if (pos >= static_cast<int>(m_pLogs->size()))
                return;
            pLog = (*m_pLogs)[static_cast<std::size_t>(pos++)];
            if (m_nPauseCount.load() > 0)
                continue;
            std::lock_guard scanLock(m_scanMutex);
            m_pScanning = pLog;
        }
        if (pLog->ScanIfDue()) {
            LPARAM lParam = pLog->IsEventLog() ? pLog->GetLastRecordForProgress() : 0;
            thread.Post(WM_SCAN_PROGRESS, pLog->GetID(), lParam);
            bChanged = true;
        }
        FinishScanOf(pLog);
    }
}

void CMonManager::FinishScanOf(CMonitoredObject* pLog)
{
    {
        std::lock_guard lock(m_scanMutex);
        if (m_pScanning == pLog)
            m_pScanning = nullptr;
    }
    m_scanDone.notify_all();
}

void CMonManager::WaitUntilNotScanning(const CMonitoredObject* pLog)
{
    std::unique_lock lock(m_scanMutex);
    m_scanDone.wait(lock, [&] { return m_pScanning != pLog; });
}

void CMonManager::DeleteWhenIdle(CMonitoredObject* pLog)
{
    WaitUntilNotScanning(pLog);
    delete pLog;
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
    if (IsScanThreadRunning())
        StopScanThread();
    while (GetLogCount() > 0)
        RemoveLogAt(0);
    m_timeLastSaveRequest = CTime::GetCurrentTime();
    m_nPauseCount = 0;
    m_nStartDelay = 0;
    // A thread that ended is released; an abandoned one is kept until it ends.
    if (m_hScanThread && !IsScanThreadRunning()) {
        m_hScanThread->thread.join();
        m_hScanThread.reset();
    }
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

void CMonManager::ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    if (CMonitoredObject* pLog = FindLog(dwTargetID)) {
        WaitUntilNotScanning(pLog);
        pLog->RemoveAllWatchGroups();
        MergeWatchGroups(dwTargetID, source);
    }
}

void CMonManager::MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    CMonitoredObject* pLog = FindLog(dwTargetID);
    if (!pLog)
        return;
    int pos = 0;
    while (const CKeysAndActions* pGroup = source.GetNextWatchGroup(pos))
        pLog->AddWatchGroup(new CKeysAndActions(*pGroup));
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
    if (CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup)) {
        WaitUntilNotScanning(FindLog(dwID));
        *pGroup = group;
    }
}

BOOL CMonManager::DeleteWatchGroup(DWORD dwID, int nGroup)
{
    if (CMonitoredObject* pLog = FindLog(dwID)) {
        WaitUntilNotScanning(pLog);
        pLog->RemoveWatchGroup(nGroup);
    }
    return TRUE;
}

BOOL CMonManager::EditTask(DWORD dwID, int nGroup)
{
    if (CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup)) {
        pGroup->m_bTaskChanged = 1;
        pGroup->m_task.Properties();
    }
    return TRUE;
}

void CMonManager::SetTask(DWORD dwID, int nGroup, const CTask& task)
{
    if (CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup))
        pGroup->m_task = task;
}

BOOL CMonManager::SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key)
{
    CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup);
    CSearchKey* pKey = pGroup ? pGroup->GetKey(nKey) : nullptr;
    if (!pKey || pKey->GetRuntimeClass() != key.GetRuntimeClass())
        return FALSE;
    WaitUntilNotScanning(FindLog(dwID));
    std::unique_ptr<CSearchKey> pCopy = key.Clone();
    if (!pCopy)
        return FALSE;
    // Replace in place so the key keeps its position.
    CSingleLock lock(g_csMonitor);
    for (CSearchKey*& pSlot : pGroup->m_arrKeys) {
        if (pSlot == pKey) {
            pSlot = pCopy.release();
            delete pKey;
            return TRUE;
        }
    }
    return FALSE;
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
    if (CKeysAndActions* pGroup = FindWatchGroup(dwID, nGroup)) {
        WaitUntilNotScanning(FindLog(dwID));
        pGroup->RemoveKey(nKey);
    }
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
    default: return false;
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
        bResult = std::remove(path.c_str()) == 0;
        if (!bResult)
            SetLastErrorFromErrno();
    } else if ((pLog = FindLog(dwID)) != nullptr) {
        name = pLog->GetDisplayName();
        bResult = pLog->ClearLog();
    }
    if (bResult) {
        if (pLog)
            pLog->SetState(MON_STATE_UNCHANGED);
        WriteSystemLogF("User cleared log: %s", name.c_str());
    } else {
        GetFrontEnd().MessageBox(
            "Error clearing log: " + name + "!\n\nSee the Quorvil system log for details",
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
