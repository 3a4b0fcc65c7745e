#pragma once
// Event message rendering: the readable description and category text of an
// event, from the message files that its source registered on the computer
// where it was logged, as the platform's event viewer shows them.
//
// Entry point. The event scan and the viewers call, once per event:
//
//     CEventRenderer renderer(monitor.m_strServer, monitor.m_strLog,
//                             monitor.GetDisplayName(), &monitor);
//     renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, event,
//                          strDescription, strCategory);
//
// (the event list view passes RENDER_DESCRIPTION alone). A renderer is cheap
// to make and may be kept for all events of one scan. Rendering never fails
// as a whole: what cannot be found gives the missing-description text with
// the insertion strings listed, and each failure on the way writes one line
// to the system log (WriteSystemLogF).
//
// The source's registry key is read on the event's computer: the local
// registry when the server name is exactly the local computer's name, else
// the one of "\\" + server. Message file names with a drive letter are loaded
// through that computer's administrative share (\\SRV\C$\...), which
// platform/network maps into the computer's folder.
//
// Reuse. What was read for a source (its key's three values, or that the key
// is missing) is kept in a small process-wide cache, keyed by the network
// root, the local computer's name, the account rendering, the machine, the
// log and the source, and used while the computer's hive file is unchanged
// (one stat per event). The local file that a message file name led to is
// kept as well, so the walk through the network's folders is not repeated;
// the file is still loaded each time through the module cache, which parses
// it again only when it changed, and a name whose file is gone is loaded by
// name again. The results and the system log lines are those of reading
// everything again (one exception: a file created later beside the one found,
// differing from the name only in letter case, is not preferred while the
// first one exists). SetEventRenderReuse(false) reads everything again, for
// comparison in the benchmark.
//
// Within one renderer, what a source's key gave and the modules it loaded
// are kept as well, and asked again only every RENDER_FRESHNESS_EVENTS
// events, so a scan makes no system call per event while the files stay as
// they are. The logon is taken only when the registry or a file is read.
// Failures kept are logged again each time, as on a fresh read.
//
// Threads: any thread (the scan thread and the user interface thread render
// at the same time); a CEventRenderer object is used by one thread at a time.
// Logon and impersonation act on the calling thread. The monitor passed for
// the logon must outlive the renderer.
#include <string>
#include <unordered_map>
#include <vector>

#include "eventrecords/eventstruct.h"
#include "platform/base/win32error.h"
#include "platform/base/win32types.h"
#include "platform/msgmodule/msgmodule.h"
#include "platform/registry/winreg.h"

class CMonitoredObject;

// Which outputs RenderEvent fills.
constexpr DWORD RENDER_CATEGORY = 1;
constexpr DWORD RENDER_DESCRIPTION = 2;

// The registry key below HKEY_LOCAL_MACHINE that holds the logs and, below
// each, its sources.
inline constexpr const char* EVENTLOG_SOURCES_KEY =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

// String table entries of the rendering.
inline constexpr const char* IDS_PARAMETER_LOOKUP_ERROR =
    "Error during lookup of param string %s in %s! %u - %s"; // 135
inline constexpr const char* IDS_REGISTRY_READ_ERROR =
    "Error during read from registry [%s] : '%s': %u - %s"; // 136
inline constexpr const char* IDS_REGISTRY_CONNECT_ERROR =
    "Error during connect to registry '%s': %u - %s"; // 137
inline constexpr const char* IDS_MODULE_LOAD_ERROR =
    "Unable to load module '%s' on server %s: Error %u - %s"; // 138
inline constexpr const char* IDS_MISSING_DESCRIPTION =        // 169
    "The description for Event ID ( %u ) in Source ( %s ) could not be found. The local "
    "computer may not have access to the necessary registry information or message DLL files "
    "to display messages from a remote computer. It contains the following insertion "
    "string(s):\r\n\r\n";

// Turns the reuse described above on (the default) or off, for every
// renderer of the process.
void SetEventRenderReuse(bool bReuse);
bool GetEventRenderReuse();
// Forgets what the reuse kept.
void ClearEventRenderCache();

// How many events a renderer serves from what it keeps before it asks the
// registry and the files again.
constexpr unsigned RENDER_FRESHNESS_EVENTS = 4096;

class CEventRenderer {
public:
    // strServer and strLog name the monitored log; strDisplayName names it in
    // the exception line of FormatWithInserts. pLogon, when given, is the
    // monitor whose LogonAsUser/RevertLogon wrap each rendering.
    CEventRenderer(std::string strServer, std::string strLog, std::string strDisplayName,
                   CMonitoredObject* pLogon = nullptr);
    ~CEventRenderer();
    CEventRenderer(const CEventRenderer&) = delete;
    CEventRenderer& operator=(const CEventRenderer&) = delete;

    // Forgets what this renderer kept; the next event reads afresh.
    void Refresh();

    // Fills the description (RENDER_DESCRIPTION) and/or the category text
    // (RENDER_CATEGORY) of the event; outputs not produced keep their value.
    // A mark of this program (source "Quorvil", event ID 100 in the low 16
    // bits) renders as "Mark: " + its first string, without logon or
    // registry. When the logon fails, nothing is produced.
    void RenderEvent(DWORD dwFlags, const CEventStruct& event, std::string& strDescription,
                     std::string& strCategory);

    // The helpers of RenderEvent, each as the event viewer's algorithm has it.

    // The source's EventMessageFile, CategoryMessageFile and
    // ParameterMessageFile, expanded (empty when absent); FALSE when the
    // registry cannot be reached or the source has no key.
    BOOL GetMessageFiles(const CEventStruct& event, std::string& strEventFile,
                         std::string& strCategoryFile, std::string& strParameterFile);
    // One string value (500 bytes at most) expanded with this computer's
    // environment (500 characters at most); empty when either fails.
    static std::string ReadExpandedValue(HKEY hKey, const char* pszName);
    // The category's text from the category file; FALSE when there is none.
    BOOL FormatCategory(const std::string& strCategoryFile, DWORD nCategory, std::string& strText);
    // Replaces each "%%N" (N not 0) among the strings by message N of the
    // parameter file; TRUE when every reference was replaced.
    BOOL SubstituteParameters(const std::string& strParameterFile,
                              std::vector<std::string>& arrStrings);
    // The event's message from the first of the files that holds it.
    BOOL FormatEventMessage(const std::vector<std::string>& arrFiles,
                            const std::vector<std::string>& arrStrings, DWORD nEventID,
                            std::string& strText);
    // One message of a loaded module with the strings as inserts.
    BOOL FormatWithInserts(HMODULE hModule, DWORD nID, std::string& strText,
                           const std::vector<std::string>& arrStrings);
    // Message 169 with the event ID and source, then "i - string" lines.
    static std::string BuildMissingDescription(const CEventStruct& event,
                                               const std::vector<std::string>& arrStrings);

    // "\\" + server + "\" + drive letter + "$" + the rest, for a name whose
    // second character is ":".
    std::string GetAdminSharePath(const std::string& strFile) const;

private:
    // What the source's key gave: the three values expanded, or which step
    // failed with its error.
    struct CSourceFiles {
        enum class Result { FOUND, CONNECT_FAILED, OPEN_FAILED } m_result = Result::FOUND;
        LONG m_nError = ERROR_SUCCESS;
        std::string m_strMachine;
        std::string m_strEventFile, m_strCategoryFile, m_strParameterFile;
    };
    struct CKeptModule {
        HMODULE m_hModule = nullptr;
        DWORD m_dwError = ERROR_SUCCESS;
    };

    CSourceFiles ReadSourceFiles(const std::string& strSource);
    // A module loaded as a data file, kept by this renderer until Refresh
    // (never released by the caller); null with the last error set.
    HMODULE UseModule(const std::string& strPath);
    // LoadLibraryExA as a data file, through the reuse cache when it is on;
    // null with the last error set on failure. Released with FreeLibrary.
    HMODULE LoadModule(const std::string& strPath) const;
    // The monitor's logon, taken once per rendering when first needed.
    bool EnsureLogon();

    std::string m_strServer;
    std::string m_strLog;
    std::string m_strDisplayName;
    CMonitoredObject* m_pLogon;

    std::unordered_map<std::string, CSourceFiles> m_mapSources; // by source name
    std::unordered_map<std::string, CKeptModule> m_mapModules;  // by path
    unsigned m_nServed = 0;                                     // events since the last Refresh
    bool m_bLoggedOn = false;                                   // within RenderEvent
    bool m_bLogonFailed = false;
};
