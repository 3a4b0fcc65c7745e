#include "workspace/quorvildoc.h"

#include <algorithm>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "common/brancmn.h"
#include "eventlog/scan/eventmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "textlog/filemonitor.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"
#include "workspace/script.h"

IMPLEMENT_DYNAMIC(CHintStruct, CObject)
IMPLEMENT_DYNCREATE(CQuorvilDoc, CObject)

namespace {

CHeadlessDocumentUi g_headlessUi;

// The file error cause (CFileException) that stands for a Win32 error.
int FileErrorCause(DWORD dwError)
{
    switch (dwError) {
    case ERROR_SUCCESS:
        return CFileException::none;
    case ERROR_FILE_NOT_FOUND:
        return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
        return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE:
        return CFileException::invalidFile;
    case ERROR_SHARING_VIOLATION:
        return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return CFileException::diskFull;
    case ERROR_HANDLE_EOF:
        return CFileException::endOfFile;
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return CFileException::hardIO;
    default:
        return CFileException::generic;
    }
}

// Writes the bytes over the file at path atomically. Workspace paths may be
// UNC paths into the network's computer folders. A new file gets newMode
// (owner only unless told: workspaces hold passwords).
bool WriteWorkspaceFile(const std::string& path, const std::string& bytes, mode_t newMode = 0600)
{
    std::optional<std::string> local = MapNetworkPath(path);
    return local && AtomicWriteFile(*local, bytes, newMode);
}

std::string TrimSpace(const std::string& text)
{
    const char* space = " \t\r\n\v\f";
    std::size_t begin = text.find_first_not_of(space);
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

// The folder part of a path with its separator ('/' or '\'), and the file
// name without its last extension.
void SplitPath(const std::string& path, std::string& folder, std::string& base)
{
    std::size_t slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (std::size_t dot = base.rfind('.'); dot != std::string::npos)
        base.erase(dot);
}

// The one object of a workspace file, which must be a scan manager.
std::unique_ptr<CMonManager> ReadManager(CArchive& ar)
{
    std::unique_ptr<CMonManager> pManager = ar.ReadObjectAs<CMonManager>();
    if (!pManager)
        ar.Fail(CArchiveException::badClass, "the file holds no workspace");
    return pManager;
}

std::string ErrorText(DWORD dwError)
{
    std::string text = GetSystemErrorText(dwError);
    return text.empty() ? "Error " + std::to_string(dwError) : text;
}

} // namespace

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

CQuorvilDoc::CQuorvilDoc() : m_pUi(&g_headlessUi)
{
    g_hStopScanEvent.Reset();
}

CQuorvilDoc::~CQuorvilDoc()
{
    m_pManager.reset();
    g_hStopScanEvent.Reset();
}

void CQuorvilDoc::SetUi(IDocumentUi* pUi)
{
    m_pUi = pUi ? pUi : &g_headlessUi;
}

void CQuorvilDoc::SetPathName(const std::string& path)
{
    m_strPathName = path;
    m_strTitle = JustFilename(path.c_str());
}

void CQuorvilDoc::AddView(IView* pView)
{
    if (pView && std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CQuorvilDoc::RemoveView(IView* pView)
{
    std::erase(m_views, pView);
}

void CQuorvilDoc::UpdateAllViews(LPARAM lHint, const CHintStruct* pHint)
{
    // A view may register or unregister views while it updates.
    std::vector<IView*> views = m_views;
    for (IView* pView : views)
        if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end())
            pView->OnUpdate(lHint, pHint);
}

// --- New, open, save ---------------------------------------------------------

BOOL CQuorvilDoc::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    m_strTitle = "Untitled";
    SetModifiedFlag(FALSE);
    m_pManager = std::make_unique<CMonManager>();
    if (CMessageQueue* pMainWindow = GetMainWindowQueue())
        pMainWindow->Post(WM_SHOW_TEXT_LOGS_AGAIN, 0, 0);
    return TRUE;
}

BOOL CQuorvilDoc::OnOpenDocument(const std::string& path)
{
    std::optional<std::string> local = MapNetworkPath(path);
    std::optional<std::string> bytes = local ? ReadFileBytes(*local) : std::nullopt;
    if (!bytes) {
        m_pUi->MessageBox("Failed to open document " + path + ":\n" + ErrorText(GetLastError()),
                          MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    std::unique_ptr<CMonManager> pManager;
    try {
        CMemFile file(*bytes);
        CArchive ar(&file, CArchive::load);
        pManager = ReadManager(ar);
    } catch (const CException& e) {
        m_pUi->MessageBox("Unexpected file format in " + path + ":\n" + e.what(),
                          MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    DeleteContents();
    m_pManager = std::move(pManager);
    SetPathName(path);
    SetModifiedFlag(FALSE);
    return TRUE;
}

std::string CQuorvilDoc::StoreWorkspace()
{
    // No scan starts while the logs are written. One that is running goes
    // on: waiting for it could deadlock with a task message that waits for
    // this thread. Its log's read position may then be one scan behind, which
    // the save that follows its change request corrects.
    CScanPause pause(m_pManager.get());
    return StoreObjectToBytes(m_pManager.get());
}

BOOL CQuorvilDoc::OnSaveDocument(const std::string& path)
{
    BackupWorkspace();
    std::string bytes;
    try {
        bytes = StoreWorkspace();
    } catch (const CException& e) {
        m_pUi->MessageBox("Failed to save document " + path + ":\n" + e.what(),
                          MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!WriteWorkspaceFile(path, bytes)) {
        m_pUi->MessageBox("Failed to save document " + path + ":\n" + ErrorText(GetLastError()),
                          MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CQuorvilDoc::DoSave(const std::string& path)
{
    std::string target = path;
    if (target.empty()) {
        target = m_strTitle + GetDocString(filterExt);
        if (!m_pUi->PromptSaveFileName(target))
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
    const std::string& name = m_strPathName.empty() ? m_strTitle : m_strPathName;
    switch (
        m_pUi->MessageBox("Save changes to " + name + "?", MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
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
    if (m_strPathName.empty()) {
        WriteSystemLogF("Cannot autosave: no filename specified");
        return FALSE;
    }
    if (!m_pManager)
        return FALSE;
    BOOL bWritten = FALSE;
    try {
        std::string bytes = StoreWorkspace();
        bWritten = WriteWorkspaceFile(m_strPathName, bytes);
        if (!bWritten)
            WriteSystemLogF("File %s could not be opened during save: %d", m_strPathName.c_str(),
                            FileErrorCause(GetLastError()));
    } catch (const std::exception&) {
        WriteSystemLogF("Error saving backup: %d", static_cast<int>(GetLastError()));
    }
    SetModifiedFlag(FALSE);
    return bWritten;
}

void CQuorvilDoc::BackupWorkspace()
{
    if (!AppSettings::GetAutoBackup())
        return;
    try {
        std::string folder;
        std::string base;
        SplitPath(m_strPathName, folder, base);
        std::string dir = TrimSpace(AppSettings::GetAutoBackupDir());
        if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
            dir.pop_back();
        std::string backup = (!dir.empty() && FileExists(dir.c_str())) ? dir + "/" + base + ".bak"
                                                                       : folder + base + ".bak";
        std::optional<std::string> source = MapNetworkPath(m_strPathName);
        struct stat st {};
        if (m_strPathName.empty() || !source || ::stat(source->c_str(), &st) != 0 ||
            st.st_size <= 0)
            return;
        std::optional<std::string> bytes = ReadFileBytes(*source);
        if (!bytes || !WriteWorkspaceFile(backup, *bytes,
                                          st.st_mode & 0777)) // the backup holds passwords too
            LogLastError();
    } catch (const std::exception&) {
        WriteSystemLogF("Error creating backup: %d", static_cast<int>(GetLastError()));
    }
}

// --- Scanning commands ---------------------------------------------------------

void CQuorvilDoc::OnScanStart()
{
    if (m_pManager)
        m_pManager->StartScanThread();
}

void CQuorvilDoc::OnScanStop()
{
    if (m_pManager)
        m_pManager->RequestStop();
}

void CQuorvilDoc::OnScanToggle()
{
    if (IsScanToggleChecked())
        OnScanStop();
    else
        OnScanStart();
}

BOOL CQuorvilDoc::IsScanStartEnabled() const
{
    return !IsScanToggleChecked();
}

BOOL CQuorvilDoc::IsScanStopEnabled() const
{
    return IsScanToggleChecked();
}

BOOL CQuorvilDoc::IsScanToggleChecked() const
{
    return m_pManager && m_pManager->IsScanThreadRunning();
}

// --- Adding logs -----------------------------------------------------------------

BOOL CQuorvilDoc::AskAlreadyMonitoring(const std::string& what)
{
    return m_pUi->MessageBox(what + "\n\n" + IDS_ALREADY_MONITORING, MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

DWORD CQuorvilDoc::AddTextLog(int nMode)
{
    if (!m_pManager)
        return 0;
    auto pLog = std::make_unique<CFileMonitor>();
    if (nMode == ADD_MODE_WIZARD_SAMPLE) {
        pLog->m_strDirectory = m_strSampleDirectory;
        pLog->m_strFileName = "qvsample.log";
        pLog->m_strShortDescription = "Sample Log";
    }
    if (!m_pUi->EditTextLogSheet(*pLog, TRUE, nMode))
        return 0;
    std::string path = pLog->GetFilePath();
    if (path.empty()) {
        m_pUi->MessageBox(IDS_NO_LOGS_SELECTED, MB_OK);
        return 0;
    }
    if (IsFileMonitored(*m_pManager, path) && !AskAlreadyMonitoring("Text log: " + path))
        return 0;
    std::optional<std::string> local = MapNetworkPath(path);
    if ((!local || ::access(local->c_str(), R_OK) != 0) &&
        m_pUi->MessageBox(IDS_FILE_NOT_READABLE, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;
    return AddMonitoredLog(pLog.release());
}

DWORD CQuorvilDoc::AddEventLogs(int nMode)
{
    if (!m_pManager)
        return 0;
    if (!IsWinNT()) {
        m_pUi->MessageBox(IDS_NOT_WINNT, MB_OK);
        return 0;
    }
    std::vector<std::string> selected;
    BOOL bJumpToEnd = FALSE;
    if (!m_pUi->BrowseNetwork(*m_pManager, nMode, selected, bJumpToEnd))
        return 0;
    DWORD dwFirst = 0;
    for (const std::string& entry : selected) {
        std::size_t slash = entry.find('\\');
        std::string strServer = slash == std::string::npos ? std::string() : entry.substr(0, slash);
        std::string strLogName = slash == std::string::npos ? entry : entry.substr(slash + 1);
        if (IsEventLogMonitored(*m_pManager, strServer, strLogName) &&
            !AskAlreadyMonitoring("NT Event Log: " + strServer + "\\" + strLogName))
            continue;
        auto* pLog = new CEventMonitor;
        pLog->m_strServer = strServer;
        pLog->m_strLogName = strLogName;
        pLog->SetEnabled(TRUE);
        if (bJumpToEnd)
            pLog->JumpToEnd();
        DWORD dwID = AddEventLog(pLog);
        if (dwFirst == 0)
            dwFirst = dwID;
    }
    return dwFirst;
}

// --- Editing operations ----------------------------------------------------------

void CQuorvilDoc::SendHint(LPARAM lHint, DWORD dwID, int nGroup, int nKey, DWORD dwExtra)
{
    CHintStruct hint(dwID, nGroup, nKey, dwExtra);
    UpdateAllViews(lHint, &hint);
}

void CQuorvilDoc::Modified(LPARAM lHint, DWORD dwID, int nGroup, int nKey)
{
    SetModifiedFlag();
    SendHint(lHint, dwID, nGroup, nKey);
}

BOOL CQuorvilDoc::ConfirmDelete()
{
    return m_pUi->MessageBox(IDS_CONFIRM_DELETE, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

DWORD CQuorvilDoc::AddMonitoredLog(CMonitoredObject* pLog)
{
    std::unique_ptr<CMonitoredObject> pOwned(pLog);
    if (!m_pManager || !pOwned)
        return 0;
    DWORD dwID = pOwned->GetID();
    m_pManager->AddLog(pOwned.release());
    Modified(HINT_LOG_ADDED, dwID);
    return dwID;
}

DWORD CQuorvilDoc::AddEventLog(CEventMonitor* pLog)
{
    return AddMonitoredLog(pLog);
}

BOOL CQuorvilDoc::DeleteMonitoredLog(DWORD dwID)
{
    if (!m_pManager || !ConfirmDelete())
        return 0;
    m_pManager->DeleteLog(dwID);
    Modified(HINT_LOG_DELETED, dwID);
    return TRUE;
}

BOOL CQuorvilDoc::EditLogProperties(DWORD dwID)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditLogProperties(*m_pManager, dwID, *m_pUi))
        return FALSE;
    Modified(HINT_LOG_EDITED, dwID);
    return TRUE;
}

BOOL CQuorvilDoc::ToggleLogEnabled(DWORD dwID)
{
    if (!m_pManager)
        return FALSE;
    m_pManager->ToggleLogEnabled(dwID);
    Modified(HINT_LOG_ENABLED, dwID);
    return TRUE;
}

BOOL CQuorvilDoc::ClearLog(DWORD dwID)
{
    if (!m_pManager || !m_pManager->ClearLog(dwID))
        return FALSE;
    SendHint(HINT_LOG_STATE, dwID);
    return TRUE;
}

BOOL CQuorvilDoc::MarkLog(DWORD dwID, const std::string& text)
{
    if (!m_pManager)
        return FALSE;
    BOOL bResult = m_pManager->MarkLog(dwID, text);
    if (bResult)
        SendHint(HINT_LOG_STATE, dwID);
    return bResult;
}

void CQuorvilDoc::ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    if (!m_pManager)
        return;
    m_pManager->ReplaceWatchGroups(dwTargetID, source);
    Modified(HINT_LOG_EDITED, dwTargetID);
}

void CQuorvilDoc::MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    if (!m_pManager)
        return;
    m_pManager->MergeWatchGroups(dwTargetID, source);
    Modified(HINT_LOG_EDITED, dwTargetID);
}

BOOL CQuorvilDoc::EditWatchGroup(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditWatchGroup(*m_pManager, dwID, nGroup, *m_pUi))
        return FALSE;
    Modified(HINT_GROUP_EDITED, dwID, nGroup);
    return TRUE;
}

BOOL CQuorvilDoc::DeleteWatchGroup(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return 0;
    CScanPause pause(m_pManager.get());
    if (!ConfirmDelete())
        return 0;
    m_pManager->DeleteWatchGroup(dwID, nGroup);
    Modified(HINT_GROUP_DELETED, dwID, nGroup);
    return TRUE;
}

int CQuorvilDoc::AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup)
{
    if (!m_pManager) {
        delete pGroup;
        return -1;
    }
    CScanPause pause(m_pManager.get());
    int nGroup = m_pManager->AddWatchGroup(dwID, pGroup);
    if (nGroup >= 0)
        Modified(HINT_GROUP_ADDED, dwID, nGroup);
    return nGroup;
}

void CQuorvilDoc::SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group)
{
    if (!m_pManager)
        return;
    CScanPause pause(m_pManager.get());
    m_pManager->SetWatchGroup(dwID, nGroup, group);
    Modified(HINT_GROUP_EDITED, dwID, nGroup);
}

BOOL CQuorvilDoc::EditTask(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    m_pManager->EditTask(dwID, nGroup);
    Modified(HINT_TASK_EDITED, dwID, nGroup);
    return TRUE;
}

void CQuorvilDoc::SetTask(DWORD dwID, int nGroup, const CTask& task)
{
    if (!m_pManager)
        return;
    CScanPause pause(m_pManager.get());
    m_pManager->SetTask(dwID, nGroup, task);
    Modified(HINT_TASK_EDITED, dwID, nGroup);
}

BOOL CQuorvilDoc::EditSearchKey(DWORD dwID, int nGroup, int nKey)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditSearchKey(*m_pManager, dwID, nGroup, nKey, *m_pUi))
        return FALSE;
    Modified(HINT_KEY_EDITED, dwID, nGroup, nKey);
    return TRUE;
}

BOOL CQuorvilDoc::SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!m_pManager->SetSearchKey(dwID, nGroup, nKey, key))
        return FALSE;
    Modified(HINT_KEY_EDITED, dwID, nGroup, nKey);
    return TRUE;
}

int CQuorvilDoc::AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey)
{
    if (!m_pManager) {
        delete pKey;
        return -1;
    }
    CScanPause pause(m_pManager.get());
    int nKey = m_pManager->AddSearchKey(dwID, nGroup, pKey);
    if (nKey >= 0)
        Modified(HINT_KEY_ADDED, dwID, nGroup, nKey);
    return nKey;
}

BOOL CQuorvilDoc::DeleteSearchKey(DWORD dwID, int nGroup, int nKey)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    m_pManager->DeleteSearchKey(dwID, nGroup, nKey);
    Modified(HINT_KEY_DELETED, dwID, nGroup, nKey);
    return TRUE;
}

void CQuorvilDoc::NotifyLogRenamed(DWORD dwID)
{
    SendHint(HINT_LOG_RENAMED, dwID);
}

void CQuorvilDoc::RefreshAllViews()
{
    UpdateAllViews(HINT_SETTINGS_CHANGED);
}

void CQuorvilDoc::OnDeferredEdit(DWORD dwID, LPARAM lHint)
{
    SendHint(lHint, dwID);
}

void CQuorvilDoc::OnScanProgress(DWORD dwID, DWORD dwExtra)
{
    SendHint(HINT_LOG_STATE, dwID, 0, 0, dwExtra);
}

int CQuorvilDoc::ChooseOrAddWatchGroup(DWORD dwID)
{
    CMonitoredObject* pLog = m_pManager ? m_pManager->FindLog(dwID) : nullptr;
    if (!pLog)
        return -1;
    int nCount = pLog->GetWatchGroupCount();
    if (nCount > 0) {
        int nChoice = m_pUi->ChooseWatchGroup(*pLog);
        if (nChoice != CHOOSE_NEW_WATCH_GROUP)
            return nChoice < 0 || nChoice >= nCount ? -1 : nChoice;
    }
    auto* pGroup = new CKeysAndActions;
    pGroup->m_strDescription = NewWatchGroupName(nCount);
    return AddWatchGroup(dwID, pGroup);
}

BOOL CQuorvilDoc::RunScript(const std::string& path)
{
    if (!m_pManager)
        return FALSE;
    BOOL bResult = ::RunScript(*m_pManager, path);
    UpdateAllViews(HINT_SCRIPT_RUN);
    return bResult;
}

void RegisterDocumentClasses()
{
    RegisterTextLogClasses();
    RegisterEventScanClasses();
    RegisterJournalClasses();
}
