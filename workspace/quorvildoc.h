#pragma once
// CQuorvilDoc: the one workspace document of a run. It owns the scan
// manager (and through it every log, watch group, key and task), reads and
// writes it as a ".qvw" workspace file (one CMonManager object record),
// backs the file up before each save, saves silently on the scan thread's
// request, and funnels every edit of the views through itself: the manager
// does the edit, the document sets the modified flag and sends one update
// hint to every registered view.
//
// Driving it (the front end plays the framework's part):
//   RegisterDocumentClasses();                 // once, before any file is read
//   CQuorvilDoc doc;  doc.SetUi(&ui);           // ui: the front end's dialogs
//   doc.AddView(&view);                         // each view, RemoveView before it dies
//   doc.OnNewDocument() or doc.OnOpenDocument(path)
//   doc.DoFileSave();                           // "Save" (Save As: DoSave(""))
//   on WM_AUTOSAVE: { CScanPause p(doc.m_pManager.get()); doc.AutoSaveWorkspace(); }
//   on WM_SCAN_PROGRESS: doc.OnScanProgress(wParam, lParam);
//   on WM_DEFERRED_EDIT: doc.OnDeferredEdit(wParam, lParam);
//   before closing or replacing the workspace: if (doc.SaveModified()) ...
//
// Files are replaced atomically: the workspace is written to memory first,
// then to a temporary file renamed over the old one, so a failed save keeps
// the previous file whole. A failed open keeps the open workspace.
//
// Threads: user interface thread only. The scan thread reaches the document
// through the main window's queue (WM_SCAN_PROGRESS, WM_AUTOSAVE). Views and
// the UI are not owned; they must outlive their registration.
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/monmanager.h"
#include "workspace/documentui.h"

class CEventMonitor;

// Posted to the main window by OnNewDocument: show the text-log list.
constexpr UINT WM_SHOW_TEXT_LOGS_AGAIN = WM_USER + 12;

// Update hint codes passed to the views.
constexpr LPARAM HINT_SCRIPT_RUN = 0;       // no hint object; rebuild everything
constexpr LPARAM HINT_LOG_ADDED = 1;        // log
constexpr LPARAM HINT_LOG_EDITED = 2;       // log (properties, or groups replaced or merged)
constexpr LPARAM HINT_LOG_DELETED = 3;      // log
constexpr LPARAM HINT_LOG_ENABLED = 4;      // log
constexpr LPARAM HINT_LOG_STATE = 5;        // log, extra (cleared, marked, scanned)
constexpr LPARAM HINT_SETTINGS_CHANGED = 6; // no hint object
constexpr LPARAM HINT_KEY_EDITED = 7;       // log, group, key
constexpr LPARAM HINT_KEY_ADDED = 8;        // log, group, new key index
constexpr LPARAM HINT_KEY_DELETED = 9;      // log, group, key
constexpr LPARAM HINT_TASK_EDITED = 10;     // log, group
constexpr LPARAM HINT_GROUP_EDITED = 11;    // log, group
constexpr LPARAM HINT_GROUP_ADDED = 12;     // log, new group index
constexpr LPARAM HINT_GROUP_DELETED = 13;   // log, group
constexpr LPARAM HINT_LOG_RENAMED = 14;     // log (its computer name changed)

// What an update hint concerns.
class CHintStruct : public CObject {
    DECLARE_DYNAMIC(CHintStruct)
public:
    explicit CHintStruct(DWORD dwID = 0, int nGroup = 0, int nKey = 0, DWORD dwExtra = 0)
        : m_dwID(dwID), m_nGroup(nGroup), m_nKey(nKey), m_dwExtra(dwExtra)
    {
    }

    DWORD m_dwID;    // the monitored log
    int m_nGroup;    // its watch group, or 0
    int m_nKey;      // the group's key, or 0
    DWORD m_dwExtra; // an event log's last record with hint 5 from the scan thread, else 0
};

// A view of the document.
class IView {
public:
    virtual ~IView() = default;
    // pHint is null for hints 0 and 6.
    virtual void OnUpdate(LPARAM lHint, const CHintStruct* pHint) = 0;
};

class CQuorvilDoc : public CObject {
    DECLARE_DYNCREATE(CQuorvilDoc)
public:
    // The fields of the document type string, in order.
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };
    static std::string GetDocString(DocStringIndex index);

    CQuorvilDoc();
    ~CQuorvilDoc() override;
    CQuorvilDoc(const CQuorvilDoc&) = delete;
    CQuorvilDoc& operator=(const CQuorvilDoc&) = delete;

    // The dialogs and message boxes; null restores the headless answers.
    void SetUi(IDocumentUi* pUi);
    IDocumentUi& GetUi() const { return *m_pUi; }

    const std::string& GetPathName() const { return m_strPathName; }
    // Also sets the title to the file name.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& title) { m_strTitle = title; }
    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    void AddView(IView* pView);
    void RemoveView(IView* pView);
    void UpdateAllViews(LPARAM lHint, const CHintStruct* pHint = nullptr);

    // A new empty workspace ("Untitled", no path, not modified); posts
    // WM_SHOW_TEXT_LOGS_AGAIN when there is a main window.
    BOOL OnNewDocument();
    // Reads the workspace file. A file that cannot be read or is damaged is
    // reported in a message box with the reason, and the open workspace
    // stays as it was; FALSE then.
    BOOL OnOpenDocument(const std::string& path);
    // BackupWorkspace, then writes the file; a failure is reported in a
    // message box and leaves the old file whole. Clears the modified flag
    // on success; does not change the path name.
    BOOL OnSaveDocument(const std::string& path);
    // Saves under path, or asks for a name when path is empty; on success
    // the document takes the name.
    BOOL DoSave(const std::string& path);
    BOOL DoFileSave() { return DoSave(m_strPathName); }
    // Asked before the workspace is closed or replaced: FALSE without a
    // manager; autosaves first when Settings/AutoSave is on; then asks to
    // save a modified workspace (Yes saves, No goes on, Cancel stops: FALSE).
    BOOL SaveModified();
    // Removes every log (stopping the scan thread first).
    void DeleteContents();
    // Storing writes the manager as the one object record; loading takes the
    // one object read, which must be a CMonManager (else CArchiveException,
    // and the current manager stays).
    void Serialize(CArchive& ar) override;

    // Silent save on the scan thread's request (no backup, no message box;
    // failures go to the system log). Clears the modified flag in every case
    // but a missing path name. TRUE when the file was written.
    BOOL AutoSaveWorkspace();
    // Copies the workspace file to "<base>.bak" in Settings/AutoBackupDir or
    // beside it, when Settings/AutoBackup is on and the file is not empty.
    void BackupWorkspace();

    // Scanning commands "Star&t", "Sto&p" and the tool bar's toggle. Stop
    // asks the scan thread to stop and returns at once.
    void OnScanStart();
    void OnScanStop();
    void OnScanToggle();
    BOOL IsScanStartEnabled() const;
    BOOL IsScanStopEnabled() const;
    BOOL IsScanToggleChecked() const;

    // "New te&xt log..." (mode ADD_MODE_MENU) and the Quick Start modes: the
    // new log's identifier, or 0 when nothing was added.
    DWORD AddTextLog(int nMode);
    // "New e&vent Log..." and the Quick Start modes: the identifier of the
    // first log added, or 0.
    DWORD AddEventLogs(int nMode);

    // Editing operations: the manager's operation of the same name, then the
    // modified flag and one hint (see the HINT_ codes). Those that take a
    // pointer take ownership of it.
    DWORD AddMonitoredLog(CMonitoredObject* pLog);
    DWORD AddEventLog(CEventMonitor* pLog);
    BOOL DeleteMonitoredLog(DWORD dwID); // asks first; 0 on No
    BOOL EditLogProperties(DWORD dwID);  // TRUE on OK
    BOOL ToggleLogEnabled(DWORD dwID);
    BOOL ClearLog(DWORD dwID);                         // not modified
    BOOL MarkLog(DWORD dwID, const std::string& text); // not modified
    void ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    void MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    BOOL EditWatchGroup(DWORD dwID, int nGroup);            // TRUE on OK
    BOOL DeleteWatchGroup(DWORD dwID, int nGroup);          // asks first; 0 on No
    int AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup); // the new index, or -1
    void SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group);
    BOOL EditTask(DWORD dwID, int nGroup);
    void SetTask(DWORD dwID, int nGroup, const CTask& task);
    BOOL EditSearchKey(DWORD dwID, int nGroup, int nKey); // TRUE on OK
    BOOL SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key);
    int AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey); // the new index, or -1
    BOOL DeleteSearchKey(DWORD dwID, int nGroup, int nKey);
    void NotifyLogRenamed(DWORD dwID);
    void RefreshAllViews();
    // The hint of an edit that waited for the end of a scan of the log
    // (WM_DEFERRED_EDIT): the views show the log as it is now.
    void OnDeferredEdit(DWORD dwID, LPARAM lHint);
    // Hint 5 for a log whose state the scan thread reported.
    void OnScanProgress(DWORD dwID, DWORD dwExtra);

    // The watch group of a log that a new key goes to: "Choose Watch Group"
    // when the log has groups, a new "<New Watch Group %d>" (numbered with
    // the count of groups) when it has none or the user asks for one; -1 on
    // Cancel or for an unknown log.
    int ChooseOrAddWatchGroup(DWORD dwID);

    // Runs a workspace script on the manager, then sends hint 0. Does not
    // set the modified flag.
    BOOL RunScript(const std::string& path);

    std::unique_ptr<CMonManager> m_pManager; // null until the first new or open
    // The folder of the sample log "qvsample.log" that the Quick Start
    // wizard monitors; set by the start-up code, with the trailing "/".
    std::string m_strSampleDirectory;

private:
    // The manager as a complete workspace file; throws CException. No scan
    // starts meanwhile.
    std::string StoreWorkspace();
    void SendHint(LPARAM lHint, DWORD dwID, int nGroup = 0, int nKey = 0, DWORD dwExtra = 0);
    void Modified(LPARAM lHint, DWORD dwID, int nGroup = 0, int nKey = 0);
    BOOL ConfirmDelete();
    BOOL AskAlreadyMonitoring(const std::string& what);

    IDocumentUi* m_pUi;
    std::vector<IView*> m_views;
    std::string m_strPathName;
    std::string m_strTitle;
    BOOL m_bModified = FALSE;
};

// Registers every class a workspace file holds (logs of both kinds, groups,
// keys, tasks) for creation by name. Call once at start-up.
void RegisterDocumentClasses();
