#pragma once
// CQuorvilApp: the program's start and end. InitInstance fixes where the
// settings and the system log live, either runs a workspace script and ends
// (/s:) or registers the program's event source, stamps the audit files,
// enables the two process privileges, opens the workspace named on the
// command line (or, when so configured, the last one), moves every enabled
// log to its end and starts automatic scanning when so configured.
// ExitInstance writes the last system log line.
//
// A front end derives from it for its own parts of start-up (the state of
// the Shift key, creating and placing the main window); the headless front
// end uses it as it is.
//
// Threads: the user interface (main) thread; start-up runs before the scan
// thread exists and before any other thread is started, since the enabled
// privileges are inherited only by threads created afterwards.
#include <memory>
#include <string>

#include "app/commandline.h"
#include "app/recentfiles.h"
#include "workspace/quorvildoc.h"

class CQuorvilApp {
public:
    explicit CQuorvilApp(CQuorvilCommandLineInfo cmdInfo);
    virtual ~CQuorvilApp();
    CQuorvilApp(const CQuorvilApp&) = delete;
    CQuorvilApp& operator=(const CQuorvilApp&) = delete;

    // The start-up sequence. FALSE ends the program: after a script run
    // (m_nExitCode 0, or 1 when the workspace could not be read or written)
    // or when the workspace could not be opened (m_nExitCode 1). The caller
    // calls ExitInstance in every case.
    BOOL InitInstance();
    // Writes "Quorvil shutting down"; returns m_nExitCode.
    int ExitInstance();

    CQuorvilDoc& GetDocument() { return *m_pDocument; }
    const CQuorvilCommandLineInfo& GetCommandLineInfo() const { return m_cmdInfo; }
    // Puts a workspace first in the recent-file list and stores the list.
    void AddToRecentFileList(const std::string& strPath);

    // Read at start-up when the reload flag allows it (else 0).
    int m_nJumpToEnd = 0;
    int m_nAutoScan = 0;
    int m_nRunDelay = 0;
    int m_nScanDelay = 0;
    // Settings/ReloadWorkspace at start-up, 0 when Shift was held.
    int m_nReload = 0;
    // This program's file and its folder (with the trailing "/").
    std::string m_strProgramPath;
    std::string m_strProgramFolder;
    std::string m_strHelpFilePath;
    // Whether the front end shows its splash window.
    BOOL m_bShowSplash = FALSE;
    int m_nExitCode = 0;
    // Why InitInstance ended the program with m_nExitCode 1, in one line
    // (the system log has it too); empty when the system log alone says.
    std::string m_strFailure;

protected:
    // Whether Shift is held at the moment of the reload rule; a program
    // without a display has no keyboard state.
    virtual bool IsShiftKeyDown() const { return false; }
    // Creates (desktop: shows) the main window once the workspace is open;
    // FALSE ends start-up. Nothing to do without a window.
    virtual BOOL CreateMainWindow() { return TRUE; }

private:
    // Script mode: load, run the script, save, end. FALSE when the
    // workspace could not be read or written or the script not read.
    BOOL RunScriptMode(const std::string& strWorkspace);
    BOOL ProcessShellCommand();

    CQuorvilCommandLineInfo m_cmdInfo;
    CRecentFileList m_recentFiles;
    std::unique_ptr<CQuorvilDoc> m_pDocument;
};

// Start-up steps on their own.
// With Settings/ExtendedAudit on: names the two audit files in the system
// log, backs them up when Settings/AuditBackup is on (each to its path up to
// the first "." followed by ".bak") and stamps both with a start line.
void StartExtendedAudit();
// Enable SeSecurityPrivilege and SeTcbPrivilege (the capabilities behind
// them); a privilege that the account lacks is reported in the system log.
void EnableSecurityPrivilege();
void EnableTcbPrivilege();
// The backup name of an audit file: its path up to the first "." (all of it
// when it has none) followed by ".bak".
std::string AuditBackupName(const std::string& strPath);
// The folder of the sample log "qvsample.log" with a trailing "/": share/quorvil
// beside an installed program, else the source tree's data folder.
std::string SampleLogFolder(const std::string& strProgramFolder);
