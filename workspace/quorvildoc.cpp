#include "workspace/quorvildoc.h"

#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "textlog/filemonitor.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"
#include "workspace/scanstate.h"
#include "workspace/workspacefile.h"

IMPLEMENT_DYNCREATE(CQuorvilDoc, CObject)

std::string CQuorvilDoc::GetDocString(DocStringIndex index)
{
    std::string all = IDS_QUORVIL_DOC_TYPE;
    std::size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        begin = all.find('\n', begin);
        if (begin == std::string::npos)
            return {};
        ++begin;
    }
    return all.substr(begin, all.find('\n', begin) - begin);
}

CQuorvilDoc::CQuorvilDoc()
{
    g_hStopScanEvent.Reset();
}

CQuorvilDoc::~CQuorvilDoc()
{
    m_pManager.reset();
    g_hStopScanEvent.Reset();
}

// --- New, open, save ---------------------------------------------------------

BOOL CQuorvilDoc::OnNewDocument()
{
    DeleteContents();
    m_pLock.reset();
    ClearPathName("Untitled");
    SetModifiedFlag(FALSE);
    m_pManager = std::make_unique<CMonManager>();
    if (CMessageQueue* pMainWindow = GetMainWindowQueue())
        pMainWindow->Post(WM_SHOW_TEXT_LOGS_AGAIN, 0, 0);
    return TRUE;
}

BOOL CQuorvilDoc::OnOpenDocument(const std::string& path)
{
    m_strOpenError.clear();
    std::string strError;
    std::unique_ptr<CMonManager> pManager = ReadWorkspaceFile(path, strError);
    if (!pManager) {
        m_strOpenError = strError;
        GetUi().MessageBox(strError, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    // One process scans a workspace at a time.
    m_nLockHolder = 0;
    std::unique_ptr<CWorkspaceLock> pLock;
    const std::string local = MapNetworkPath(path).value_or(path);
    if (!m_pLock || m_pLock->GetWorkspace() != local) {
        pLock = std::make_unique<CWorkspaceLock>();
        long nOther = 0;
        if (!pLock->Acquire(local, &nOther)) {
            m_nLockHolder = nOther;
            GetUi().MessageBox(path + " is being scanned by another Quorvil process (process id " +
                                   std::to_string(nOther) +
                                   ").\nOnly one Quorvil may scan a workspace at a time.",
                               MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    DeleteContents();
    m_pManager = std::move(pManager);
    LoadScanState(path, *m_pManager);
    if (pLock)
        m_pLock = std::move(pLock);
    SetPathName(path);
    StampFile(path);
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CQuorvilDoc::StampFile(const std::string& path)
{
    m_strStampPath = path;
    m_strStamp = WorkspaceFileStamp(path);
    m_bChangeReported = false;
}

bool CQuorvilDoc::FileChangedOnDisk() const
{
    if (m_strStampPath != GetPathName() || m_strStamp.empty())
        return false;
    const std::string now = WorkspaceFileStamp(GetPathName());
    return !now.empty() && now != m_strStamp;
}

BOOL CQuorvilDoc::ReloadWorkspace()
{
    if (!m_pManager || GetPathName().empty())
        return FALSE;
    const std::string path = GetPathName();
    const std::string stamp = WorkspaceFileStamp(path);
    std::string strError;
    std::unique_ptr<CMonManager> pManager = ReadWorkspaceFile(path, strError);
    if (!pManager) {
        // The message's second line says why (its first names the file).
        const std::size_t nl = strError.find('\n');
        WriteSystemLogF("Reloading workspace %s failed: %s; the running workspace stays",
                        path.c_str(),
                        (nl == std::string::npos ? strError : strError.substr(nl + 1)).c_str());
        return FALSE;
    }
    const int nKept = CarryScanState(*pManager, *m_pManager);
    DeleteContents();
    m_pManager = std::move(pManager);
    m_strStampPath = path;
    m_strStamp = stamp;
    m_bChangeReported = false;
    SetModifiedFlag(FALSE);
    // The file takes the positions kept, so that a restart goes on from them.
    if (nKept > 0)
        AutoSaveWorkspace();
    UpdateAllViews(ViewHint::ScriptRun);
    WriteSystemLogF("Reloaded workspace %s: %d logs, %d read positions kept", path.c_str(),
                    m_pManager->GetLogCount(), nKept);
    return TRUE;
}

BOOL CQuorvilDoc::OnSaveDocument(const std::string& path)
{
    BackupWorkspace();
    std::string strError;
    if (!WriteWorkspaceFile(m_pManager.get(), path, strError)) {
        GetUi().MessageBox(strError, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SaveStateBeside(path);
    StampFile(path);
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CQuorvilDoc::SaveStateBeside(const std::string& path)
{
    CScanPause pause(m_pManager.get());
    if (m_pManager && !SaveScanState(path, *m_pManager))
        WriteSystemLogF("File %s could not be written: %s", ScanStatePath(path).c_str(),
                        GetSystemErrorText(GetLastError()).c_str());
}

BOOL CQuorvilDoc::DoSave(const std::string& path)
{
    std::string target = path;
    if (target.empty()) {
        target = GetTitle() + GetDocString(filterExt);
        if (!GetUi().PromptSaveFileName(target))
            return FALSE;
    }
    if (!OnSaveDocument(target))
        return FALSE;
    SetPathName(target);
    return TRUE;
}

BOOL CQuorvilDoc::SaveModified()
{
    if (!m_pManager)
        return FALSE;
    if (AppSettings::GetAutoSave())
        AutoSaveWorkspace();
    if (!IsModified())
        return TRUE;
    const std::string& name = GetPathName().empty() ? GetTitle() : GetPathName();
    switch (
        GetUi().MessageBox("Save changes to " + name + "?", MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL:
        return FALSE;
    case IDYES:
        return DoFileSave();
    default:
        return TRUE;
    }
}

void CQuorvilDoc::DeleteContents()
{
    if (m_pManager)
        m_pManager->RemoveAllLogs();
}

void CQuorvilDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteObject(m_pManager.get());
        return;
    }
    m_pManager = ReadManager(ar);
}

BOOL CQuorvilDoc::AutoSaveWorkspace()
{
    if (GetPathName().empty()) {
        WriteSystemLogF("Cannot autosave: no filename specified");
        return FALSE;
    }
    if (!m_pManager)
        return FALSE;
    if (m_bKeepOutsideChanges && FileChangedOnDisk()) {
        if (!m_bChangeReported)
            WriteSystemLogF("Workspace %s was changed by another program; not saving over it "
                            "until it is reloaded",
                            GetPathName().c_str());
        m_bChangeReported = true;
        SetModifiedFlag(FALSE);
        return FALSE;
    }
    const bool bWritten = AutoSaveWorkspaceFile(*m_pManager, GetPathName());
    if (bWritten) {
        SaveStateBeside(GetPathName());
        StampFile(GetPathName());
    }
    SetModifiedFlag(FALSE);
    return bWritten;
}

void CQuorvilDoc::BackupWorkspace()
{
    BackupWorkspaceFile(GetPathName());
}

DWORD CQuorvilDoc::AddEventLog(CEventMonitor* pLog)
{
    return AddMonitoredLog(pLog);
}

void RegisterDocumentClasses()
{
    RegisterTextLogClasses();
    RegisterEventScanClasses();
    RegisterJournalClasses();
    RegisterEvtxClasses();
}
