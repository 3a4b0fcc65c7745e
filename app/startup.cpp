#include "app/startup.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/metrics.h"
#include "app/version.h"
#include "archive/archive.h"
#include "common/brancmn.h"
#include "core/logon.h"
#include "eventlog/render/quorvilsource.h"
#include "platform/base/fileio.h"
#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/clipboard/clipboard.h"
#include "platform/network/network.h"
#include "platform/security/token.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasklib/delivery.h"
#include "workspace/script.h"

#ifndef QUORVIL_SOURCE_DATA_DIR
#define QUORVIL_SOURCE_DATA_DIR ""
#endif

namespace {

// Scans under another account through PAM and per-thread impersonation.
class CPamLogonService final : public ILogonService {
public:
    bool LogonUser(const std::string& user, const std::string& domain, const std::string& password,
                   HANDLE* token, DWORD* error) override
    {
        if (LogonUserA(user.c_str(), domain.c_str(), password.c_str(), LOGON32_LOGON_INTERACTIVE,
                       LOGON32_PROVIDER_DEFAULT, token))
            return true;
        *error = GetLastError();
        return false;
    }
    bool Impersonate(HANDLE token, DWORD* error) override
    {
        if (ImpersonateLoggedOnUser(token))
            return true;
        *error = GetLastError();
        return false;
    }
    void RevertToSelf() override { ::RevertToSelf(); }
    void CloseToken(HANDLE token) override { CloseHandle(token); }
};

CPamLogonService g_pamLogon;

// Enables one privilege of the process token. Returns the error code of
// the adjustment (ERROR_NOT_ALL_ASSIGNED when the account lacks the
// privilege); a token or lookup failure is reported here and returns 0.
DWORD EnablePrivilege(const char* name)
{
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken)) {
        WriteSystemLog("Error opening process token");
        return ERROR_SUCCESS;
    }
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
        WriteSystemLog("Error during privilege lookup");
        CloseHandle(hToken);
        return ERROR_SUCCESS;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, nullptr, nullptr);
    const DWORD dwError = GetLastError();
    CloseHandle(hToken);
    return dwError;
}

// A workspace name from the command line as a full path (UNC paths stay).
std::string FullPath(const std::string& path)
{
    if (path.empty() || path[0] == '/' || path.compare(0, 2, "\\\\") == 0)
        return path;
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace

std::string AuditBackupName(const std::string& strPath)
{
    // The path up to its first ".", where a "." that begins a folder or file
    // name (a hidden name such as ~/.local) is part of the name, not a
    // separator: otherwise every audit file under ~/.local/state would back
    // up to the same ~/.bak.
    for (std::size_t i = 0; i < strPath.size(); ++i) {
        const bool bStartsName = i == 0 || strPath[i - 1] == '/' || strPath[i - 1] == '\\';
        if (strPath[i] == '.' && !bStartsName)
            return strPath.substr(0, i) + ".bak";
    }
    return strPath + ".bak";
}

void StartExtendedAudit()
{
    if (!AppSettings::GetExtendedAudit())
        return;
    const std::string files[] = {AppSettings::GetAuditText(), AppSettings::GetAuditNT()};
    WriteSystemLogF("Extended auditing is ENABLED! Check for %s and %s files", files[0].c_str(),
                    files[1].c_str());
    if (AppSettings::GetAuditBackup()) {
        for (const std::string& file : files) {
            // An audit file is removed only once its backup is written.
            std::error_code ec;
            if (std::filesystem::copy_file(file, AuditBackupName(file),
                                           std::filesystem::copy_options::overwrite_existing, ec))
                std::filesystem::remove(file, ec);
        }
    }
    for (const std::string& file : files)
        LogToFile(file.c_str(), "Quorvil starting ****************", 1);
}

void EnableSecurityPrivilege()
{
    if (DWORD dwError = EnablePrivilege(SE_SECURITY_NAME); dwError != ERROR_SUCCESS)
        WriteSystemLogF("Error during Security privilege enable: %d, %s", static_cast<int>(dwError),
                        GetSystemErrorText(dwError).c_str());
}

void EnableTcbPrivilege()
{
    const DWORD dwError = EnablePrivilege(SE_TCB_NAME);
    if (dwError == ERROR_SUCCESS)
        return;
    static const char* const stars = "*******************************************";
    WriteSystemLog(stars);
    WriteSystemLog(
        "This account does not have the privilege to 'Act as part of the operating system'");
    WriteSystemLog("You must enable this privilege for Quorvil to impersonate other accounts");
    WriteSystemLogF("The error was %d, %s", static_cast<int>(dwError),
                    GetSystemErrorText(dwError).c_str());
    WriteSystemLog(stars);
}

std::string SampleLogFolder(const std::string& strProgramFolder)
{
    const std::string installed = strProgramFolder + "../share/quorvil/";
    if (!strProgramFolder.empty() && FileExists((installed + "qvsample.log").c_str()))
        return std::filesystem::path(installed).lexically_normal().string();
    return std::string(QUORVIL_SOURCE_DATA_DIR) + "/";
}

CQuorvilApp::CQuorvilApp(CQuorvilCommandLineInfo cmdInfo)
    : m_cmdInfo(std::move(cmdInfo)), m_pDocument(std::make_unique<CQuorvilDoc>())
{
}

CQuorvilApp::~CQuorvilApp()
{
    // The document stops a scan that still runs before the logon goes.
    m_pDocument.reset();
    SetLogonService(nullptr);
}

BOOL CQuorvilApp::InitInstance()
{
    // The persisted classes, the clipboard formats and the logon service
    // take the place of the framework's own initialisation.
    RegisterDocumentClasses();
    RegisterBnClipFormats();
    SetLogonService(&g_pamLogon);

    // Settings live under HKCU\Software\Brannick\Quorvil (AppSettings).
    m_recentFiles.ReadList();

    m_strProgramPath = GetProgramFilePath();
    char folder[MAX_PATH] = {};
    JustPathname(folder, m_strProgramPath.c_str());
    m_strProgramFolder = folder;
    AppSettings::SetErrorLogPath(DefaultSystemLogPath().c_str());
    if (AppSettings::GetProfileInt(AppSettings::SECTION_SYSTEM, "ErrorLogEnabled", 999) == 999)
        AppSettings::SetErrorLogEnabled(1);

    if (m_cmdInfo.m_bRunScript) {
        if (!m_cmdInfo.m_strFileName.empty()) {
            if (!RunScriptMode(FullPath(m_cmdInfo.m_strFileName)))
                m_nExitCode = 1;
            return FALSE;
        }
        WriteSystemLog("Script: No workspace file specified for use with script.");
        WriteSystemLog("Syntax: quorvil.exe qvdoc.qvw /s:script.txt");
    }

    RegisterQuorvilEventSource();
    WriteSystemLogF("Quorvil version %s, build %s", GetProgramVersion().c_str(),
                    QUORVIL_BUILD_STRING);
    LogDiagnostics(FormatString("Quorvil: PID = 0x%08X, TID = 0x%08X",
                                static_cast<unsigned>(GetCurrentProcessId()),
                                static_cast<unsigned>(GetCurrentThreadId()))
                       .c_str());
    StartExtendedAudit();
    EnableSecurityPrivilege();
    EnableTcbPrivilege();
    m_strHelpFilePath = m_strProgramFolder + "../share/doc/quorvil/manual/index.html";
    if (!IsWinNT())
        WriteSystemLog("Launching on non-WinNT system, event logs features will not work!\n");
    m_bShowSplash = m_cmdInfo.m_bShowSplash && !m_cmdInfo.m_bHideWindow;

    m_nReload = IsShiftKeyDown() ? 0 : AppSettings::GetReloadWorkspace();
    if (m_nReload && m_cmdInfo.m_strFileName.empty() && m_recentFiles.GetCount() > 0 &&
        !m_recentFiles[0].empty() && FileExists(m_recentFiles[0].c_str())) {
        m_cmdInfo.m_strFileName = m_recentFiles[0];
        m_cmdInfo.m_nShellCommand = CQuorvilCommandLineInfo::FileOpen;
    }
    RefreshExtendedAudit();

    // The metrics file: the command line's, else Settings/MetricsFile.
    InstallMetricsFile(
        !m_cmdInfo.m_strMetricsFile.empty()
            ? m_cmdInfo.m_strMetricsFile
            : AppSettings::GetProfileString(AppSettings::SECTION_SETTINGS, "MetricsFile", ""));
    m_pDocument->m_strSampleDirectory = SampleLogFolder(m_strProgramFolder);
    if (!ProcessShellCommand() || !CreateMainWindow()) {
        // Another process scanning the workspace ends this one with status 3.
        m_nExitCode = m_pDocument->GetLockHolder() != 0 ? 3 : 1;
        return FALSE;
    }

    if (m_nReload) {
        m_nJumpToEnd = AppSettings::GetJumpToEnd();
        m_nAutoScan = AppSettings::GetAutoScan();
        m_nRunDelay = AppSettings::GetRunDelay();
        m_nScanDelay = AppSettings::GetScanDelay();
        CMonManager* pManager = m_pDocument->m_pManager.get();
        if (m_nJumpToEnd && pManager) {
            int pos = 0;
            while (CMonitoredObject* pLog = pManager->GetNextLog(pos))
                if (pLog->IsEnabled())
                    pLog->JumpToEnd();
        }
        // A single scan (--once) runs on the main thread instead.
        if (m_nAutoScan && pManager && !m_cmdInfo.m_bOnce) {
            if (m_nRunDelay)
                pManager->m_nStartDelay = m_nScanDelay;
            pManager->StartScanThread();
        }
    }
    return TRUE;
}

int CQuorvilApp::ExitInstance()
{
    // The alert actions' deliveries get a short while to go out.
    StopDeliveries(DELIVERY_EXIT_LIMIT_MS);
    WriteSystemLog("Quorvil shutting down");
    return m_nExitCode;
}

void CQuorvilApp::AddToRecentFileList(const std::string& strPath)
{
    m_recentFiles.Add(strPath);
    m_recentFiles.WriteList();
}

BOOL CQuorvilApp::ProcessShellCommand()
{
    if (m_cmdInfo.m_nShellCommand != CQuorvilCommandLineInfo::FileOpen)
        return m_pDocument->OnNewDocument();
    const std::string path = FullPath(m_cmdInfo.m_strFileName);
    if (!m_pDocument->OnOpenDocument(path)) {
        m_strFailure = m_pDocument->m_strOpenError;
        std::replace(m_strFailure.begin(), m_strFailure.end(), '\n', ' ');
        return FALSE;
    }
    AddToRecentFileList(path);
    return TRUE;
}

BOOL CQuorvilApp::RunScriptMode(const std::string& strWorkspace)
{
    const std::string script = ResolveScriptFile(m_cmdInfo);
    WriteSystemLogF("Running script %s against workspace %s", script.c_str(), strWorkspace.c_str());
    const std::optional<std::string> local = MapNetworkPath(strWorkspace);
    CFile file;
    if (!local || !file.Open(*local, CFile::modeRead)) {
        const DWORD dwError = GetLastError();
        WriteSystemLog("Script: Error opening workspace for read");
        m_strFailure = "the script run failed: cannot read the workspace " + strWorkspace + ": " +
                       GetSystemErrorText(dwError);
        return FALSE;
    }
    CQuorvilDoc doc;
    try {
        CArchive ar(&file, CArchive::load, 4096);
        doc.Serialize(ar);
        ar.Close();
    } catch (const CException& e) {
        WriteSystemLogF("Script: Error reading workspace: %s", e.what());
        m_strFailure = std::string("the script run failed: ") + e.what();
        return FALSE;
    }
    file.Close();
    std::string strScriptError;
    BOOL bScriptRead = RunScript(*doc.m_pManager, script, &strScriptError);
    // The workspace is written whole to memory first and then replaces the
    // file, so a failed write leaves the old workspace as it was.
    std::string bytes;
    try {
        bytes = StoreObjectToBytes(doc.m_pManager.get());
    } catch (const CException& e) {
        WriteSystemLogF("Script: Error writing workspace: %s", e.what());
        m_strFailure = std::string("the script run failed: ") + e.what();
        return FALSE;
    }
    if (!AtomicWriteFile(*local, bytes)) {
        const DWORD dwError = GetLastError();
        WriteSystemLog("Script: Error opening workspace for write");
        m_strFailure = "the script run failed: cannot write the workspace " + strWorkspace + ": " +
                       GetSystemErrorText(dwError);
        return FALSE;
    }
    // The lines before a bad line have taken effect and are saved; the run
    // still fails.
    if (!strScriptError.empty())
        m_strFailure = strScriptError;
    return bScriptRead && strScriptError.empty();
}
