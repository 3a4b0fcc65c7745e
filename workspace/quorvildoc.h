#pragma once
// CQuorvilDoc: the one workspace document of a run. It owns the scan
// manager (and through it every log, watch group, key and task), reads and
// writes it as a ".qvw" workspace file (one CMonManager object record),
// backs the file up before each save, saves silently on the scan thread's
// request, and funnels every edit of the views through itself: the manager
// does the edit, the document sets the modified flag and sends one update
// hint to every registered view.
//
// The document keeps the names the rest of the program calls, and hands
// each job to its part:
//   CDocument (document.h)          path, title, modified flag, views, hints
//   workspacefile.h                 reading, writing, autosave and backups
//   CScanCommands (scancommands.h)  Start, Stop and the toggle
//   CDocumentEditor (editoperations.h) the editing operations and scripts
//   CLogAdder (addlogs.h)           adding logs and groups with the user's help
//
// Driving it (the front end plays the framework's part):
//   RegisterDocumentClasses();                 // once, before any file is read
//   CQuorvilDoc doc;  doc.SetUi(&ui);           // ui: the front end's dialogs
//   doc.AddView(&view);                         // each view, RemoveView before it dies
//   doc.OnNewDocument() or doc.OnOpenDocument(path)
//   doc.DoFileSave();                           // "Save" (Save As: DoSave(""))
//   each message of the scan thread: DispatchScanMessage (scanmessages.h)
//   before closing or replacing the workspace: if (doc.SaveModified()) ...
//
// Files are replaced atomically (workspacefile.h). A failed open keeps the
// open workspace.
//
// Threads: user interface thread only. The scan thread reaches the document
// through the main window's queue (WM_SCAN_PROGRESS, WM_AUTOSAVE). Views and
// the UI are not owned; they must outlive their registration.
#include <memory>
#include <string>

#include "archive/archive.h"
#include "core/monmanager.h"
#include "platform/base/fileio.h"
#include "workspace/addlogs.h"
#include "workspace/document.h"
#include "workspace/documentui.h"
#include "workspace/editoperations.h"
#include "workspace/scancommands.h"
#include "workspace/viewhints.h"

class CEventMonitor;

// Posted to the main window by OnNewDocument: show the text-log list.
constexpr UINT WM_SHOW_TEXT_LOGS_AGAIN = WM_USER + 12;

class CQuorvilDoc : public CDocument {
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

    // A new empty workspace ("Untitled", no path, not modified); posts
    // WM_SHOW_TEXT_LOGS_AGAIN when there is a main window.
    BOOL OnNewDocument();
    // Reads the workspace file. A file that cannot be read or is damaged is
    // reported in a message box with the reason, and the open workspace
    // stays as it was; FALSE then, with the reason in m_strOpenError. So is
    // a workspace that another process scans (GetLockHolder names it): the
    // document holds a lock on the workspace it opened (CWorkspaceLock) until
    // another one replaces it.
    BOOL OnOpenDocument(const std::string& path);
    // BackupWorkspace, then writes the file; a failure is reported in a
    // message box and leaves the old file whole. Clears the modified flag
    // on success; does not change the path name.
    BOOL OnSaveDocument(const std::string& path);
    // Saves under path, or asks for a name when path is empty; on success
    // the document takes the name.
    BOOL DoSave(const std::string& path);
    BOOL DoFileSave() { return DoSave(GetPathName()); }
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

    // Reads the workspace file again (SIGHUP in the headless program) while
    // no scan thread runs: applies everything in it, keeps the running read
    // positions that are newer (CarryScanState), writes the result back and
    // writes one line to the system log. A file that cannot be read leaves
    // the workspace as it was: FALSE, and an error line.
    BOOL ReloadWorkspace();

    // Silent save on the scan thread's request (no backup, no message box;
    // failures go to the system log). Clears the modified flag in every case
    // but a missing path name. TRUE when the file was written. A file that
    // someone else replaced since this document read or wrote it (qvws load
    // before a reload) is not overwritten when SetKeepOutsideChanges is on
    // (the headless program, which reloads on SIGHUP): one line in the
    // system log.
    BOOL AutoSaveWorkspace();
    void SetKeepOutsideChanges(bool bKeep) { m_bKeepOutsideChanges = bKeep; }
    // Writes the scan state file beside a workspace just saved at path
    // (workspace/scanstate.h); a failure is logged.
    void SaveStateBeside(const std::string& path);
    // Copies the workspace file to "<base>.bak" in Settings/AutoBackupDir or
    // beside it, when Settings/AutoBackup is on and the file is not empty.
    void BackupWorkspace();

    // Scanning commands "Star&t", "Sto&p" and the tool bar's toggle.
    CScanCommands& ScanCommands() { return m_scan; }
    const CScanCommands& ScanCommands() const { return m_scan; }

    // "New te&xt log..." (mode ADD_MODE_MENU) and the Quick Start modes: the
    // new log's identifier, or 0 when nothing was added.
    DWORD AddTextLog(int nMode) { return m_adder.AddTextLog(nMode); }
    // "New e&vent Log..." and the Quick Start modes: the identifier of the
    // first log added, or 0.
    DWORD AddEventLogs(int nMode) { return m_adder.AddEventLogs(nMode); }
    // "New &journal...": CLogAdder::AddJournal.
    DWORD AddJournal() { return m_adder.AddJournal(); }
    // The watch group of a log that a new key goes to (CLogAdder).
    int ChooseOrAddWatchGroup(DWORD dwID) { return m_adder.ChooseOrAddWatchGroup(dwID); }

    // Editing operations (CDocumentEditor): the manager's operation of the
    // same name, then the modified flag and one hint (see ViewHint).
    // Those that take a pointer take ownership of it.
    DWORD AddMonitoredLog(CMonitoredObject* pLog)
    {
        return m_editor.AddMonitoredLog(std::unique_ptr<CMonitoredObject>(pLog));
    }
    DWORD AddEventLog(CEventMonitor* pLog);
    BOOL DeleteMonitoredLog(DWORD dwID) { return m_editor.DeleteMonitoredLog(dwID); }
    BOOL EditLogProperties(DWORD dwID) { return m_editor.EditLogProperties(dwID); }
    BOOL ToggleLogEnabled(DWORD dwID) { return m_editor.ToggleLogEnabled(dwID); }
    BOOL ClearLog(DWORD dwID) { return m_editor.ClearLog(dwID); }
    BOOL MarkLog(DWORD dwID, const std::string& text) { return m_editor.MarkLog(dwID, text); }
    void ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
    {
        m_editor.ReplaceWatchGroups(dwTargetID, source);
    }
    void MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
    {
        m_editor.MergeWatchGroups(dwTargetID, source);
    }
    BOOL EditWatchGroup(DWORD dwID, int nGroup) { return m_editor.EditWatchGroup(dwID, nGroup); }
    BOOL DeleteWatchGroup(DWORD dwID, int nGroup)
    {
        return m_editor.DeleteWatchGroup(dwID, nGroup);
    }
    int AddWatchGroup(DWORD dwID, CKeysAndActions* pGroup)
    {
        return m_editor.AddWatchGroup(dwID, std::unique_ptr<CKeysAndActions>(pGroup));
    }
    void SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group)
    {
        m_editor.SetWatchGroup(dwID, nGroup, group);
    }
    BOOL EditTask(DWORD dwID, int nGroup) { return m_editor.EditTask(dwID, nGroup); }
    void SetTask(DWORD dwID, int nGroup, const CTask& task)
    {
        m_editor.SetTask(dwID, nGroup, task);
    }
    BOOL EditSearchKey(DWORD dwID, int nGroup, int nKey)
    {
        return m_editor.EditSearchKey(dwID, nGroup, nKey);
    }
    BOOL SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key)
    {
        return m_editor.SetSearchKey(dwID, nGroup, nKey, key);
    }
    int AddSearchKey(DWORD dwID, int nGroup, CSearchKey* pKey)
    {
        return m_editor.AddSearchKey(dwID, nGroup, std::unique_ptr<CSearchKey>(pKey));
    }
    BOOL DeleteSearchKey(DWORD dwID, int nGroup, int nKey)
    {
        return m_editor.DeleteSearchKey(dwID, nGroup, nKey);
    }
    // Runs a workspace script on the manager, then sends hint 0. Does not
    // set the modified flag.
    BOOL RunScript(const std::string& path) { return m_editor.RunScript(path); }

    // Hints that change nothing in the workspace.
    void NotifyLogRenamed(DWORD dwID) { SendHint(ViewHint::LogRenamed, dwID); }
    void RefreshAllViews() { UpdateAllViews(ViewHint::SettingsChanged); }
    // The hint of an edit that waited for the end of a scan of the log
    // (WM_DEFERRED_EDIT): the views show the log as it is now.
    void OnDeferredEdit(DWORD dwID, ViewHint hint) { SendHint(hint, dwID); }
    // Hint 5 for a log whose state the scan thread reported.
    void OnScanProgress(DWORD dwID, DWORD dwExtra)
    {
        SendHint(ViewHint::LogState, dwID, 0, 0, dwExtra);
    }

    // The process id that holds the workspace which the last OnOpenDocument
    // refused because another process scans it; 0 otherwise.
    long GetLockHolder() const { return m_nLockHolder; }

    std::unique_ptr<CMonManager> m_pManager; // null until the first new or open
    // The folder of the sample log "qvsample.log" that the Quick Start
    // wizard monitors; set by the start-up code, with the trailing "/".
    std::string m_strSampleDirectory;
    // Why the last OnOpenDocument failed (the text of its message box).
    std::string m_strOpenError;

private:
    // The lock of the open workspace (see CWorkspaceLock).
    std::unique_ptr<CWorkspaceLock> m_pLock;
    long m_nLockHolder = 0;
    // The workspace file as this document last read or wrote it: its path
    // and WorkspaceFileStamp; whether its change by someone else was
    // reported.
    std::string m_strStampPath;
    std::string m_strStamp;
    bool m_bChangeReported = false;
    bool m_bKeepOutsideChanges = false;
    void StampFile(const std::string& path);
    bool FileChangedOnDisk() const;

    CScanCommands m_scan{m_pManager};
    CDocumentEditor m_editor{*this, m_pManager};
    CLogAdder m_adder{*this, m_pManager, m_editor, m_strSampleDirectory};
};

// Registers every class a workspace file holds (logs of both kinds, groups,
// keys, tasks) for creation by name. Call once at start-up.
void RegisterDocumentClasses();
