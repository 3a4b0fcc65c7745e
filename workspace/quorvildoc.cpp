#include "workspace/quorvildoc.h"

#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/base/win32error.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "textlog/filemonitor.h"
#include "workspace/docstrings.h"
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
    ClearPathName("Untitled");
    SetModifiedFlag(FALSE);
    m_pManager = std::make_unique<CMonManager>();
    if (CMessageQueue* pMainWindow = GetMainWindowQueue())
        pMainWindow->Post(WM_SHOW_TEXT_LOGS_AGAIN, 0, 0);
    return TRUE;
}

BOOL CQuorvilDoc::OnOpenDocument(const std::string& path)
{
    std::string strError;
    std::unique_ptr<CMonManager> pManager = ReadWorkspaceFile(path, strError);
    if (!pManager) {
        GetUi().MessageBox(strError, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    DeleteContents();
    m_pManager = std::move(pManager);
    LoadScanState(path, *m_pManager);
    SetPathName(path);
    SetModifiedFlag(FALSE);
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
    const bool bWritten = AutoSaveWorkspaceFile(*m_pManager, GetPathName());
    if (bWritten)
        SaveStateBeside(GetPathName());
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
