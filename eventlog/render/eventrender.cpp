#include "eventlog/render/eventrender.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/monitoredobject.h"
#include "eventrecords/eventloghandle.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "platform/registry/environment.h"
#include "settings/systemlog.h"

namespace {

// The language the viewer asks for: neutral, with the user's default
// sublanguage.
constexpr DWORD RENDER_LANGUAGE = 0x400;
// FormatMessageA flag sets of the rendering.
constexpr DWORD FORMAT_RAW_TEMPLATE = FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_HMODULE; // 0xB00
constexpr DWORD FORMAT_WITH_INSERTS = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY; // 0x2900
constexpr DWORD FORMAT_PLAIN =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE; // 0x900

// Buffer sizes of the registry read and its expansion.
constexpr DWORD VALUE_BUFFER_SIZE = 500;
// The most inserts a template can name (%1 to %99).
constexpr std::size_t MAX_INSERTS = 99;

constexpr std::array<const char*, 3> g_messageFileValues = {
    "EventMessageFile", "CategoryMessageFile", "ParameterMessageFile"};

bool HasDriveLetter(const std::string& name)
{
    return name.size() >= 2 && name[1] == ':';
}

std::vector<const char*> InsertArray(const std::vector<std::string>& strings)
{
    std::vector<const char*> inserts;
    inserts.reserve(strings.size());
    for (const std::string& s : strings)
        inserts.push_back(s.c_str());
    return inserts;
}

// A string value as the 500-byte registry read gives it: the text up to its
// first NUL; empty when the read fails.
std::string QueryStringValue(HKEY hKey, const char* pszName)
{
    char buffer[VALUE_BUFFER_SIZE] = {};
    DWORD cb = sizeof buffer;
    if (RegQueryValueExA(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &cb) !=
        ERROR_SUCCESS)
        return {};
    return std::string(buffer, ::strnlen(buffer, cb));
}

// The value expanded into 500 characters at most; empty when it does not fit.
std::string ExpandValue(const std::string& raw)
{
    char buffer[VALUE_BUFFER_SIZE];
    DWORD n = ExpandEnvironmentStringsA(raw.c_str(), buffer, sizeof buffer);
    return n == 0 || n > sizeof buffer ? std::string() : std::string(buffer);
}

// What the reuse keeps. A source entry holds what the source's key gave
// (or the error of opening it) for one snapshot of the computer's hive; a
// module entry the local file that a message file name led to.
struct CSourceEntry {
    std::shared_ptr<CRegHive> m_pHive;
    std::weak_ptr<const CRegKey> m_pSnapshot; // compared by identity; never dereferenced
    LONG m_nOpenError = ERROR_SUCCESS;
    std::array<std::string, 3> m_arrRawValues; // before expansion
};

struct CRenderCache {
    static constexpr std::size_t MAX_ENTRIES = 1024;

    std::atomic<bool> m_bReuse{true};
    std::mutex m_mutex; // guards the maps
    std::unordered_map<std::string, CSourceEntry> m_mapSources;
    std::unordered_map<std::string, std::string> m_mapModulePaths;

    template <class Map, class Value> void Store(Map& map, const std::string& key, Value value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (map.size() >= MAX_ENTRIES && !map.contains(key))
            map.clear();
        map[key] = std::move(value);
    }
};

CRenderCache& Cache()
{
    static CRenderCache cache;
    return cache;
}

bool SameSnapshot(const std::weak_ptr<const CRegKey>& kept,
                  const std::shared_ptr<const CRegKey>& current)
{
    return current && !kept.owner_before(current) && !current.owner_before(kept);
}

// The entry for the key while the hive is as it was when the entry was made.
std::optional<CSourceEntry> FindSource(const std::string& key)
{
    CRenderCache& cache = Cache();
    CSourceEntry entry;
    {
        std::lock_guard<std::mutex> lock(cache.m_mutex);
        auto found = cache.m_mapSources.find(key);
        if (found == cache.m_mapSources.end())
            return std::nullopt;
        entry = found->second;
    }
    if (!SameSnapshot(entry.m_pSnapshot, entry.m_pHive->Read()))
        return std::nullopt;
    return entry;
}

// Who renders: the account of the monitor's logon, when it has one.
std::string RenderingAccount(const CMonitoredObject* pLogon)
{
    if (!pLogon || !pLogon->GetImpersonate())
        return {};
    return pLogon->GetLogonDomain() + "\\" + pLogon->GetLogonUser();
}

} // namespace

void SetEventRenderReuse(bool bReuse)
{
    Cache().m_bReuse = bReuse;
}

bool GetEventRenderReuse()
{
    return Cache().m_bReuse;
}

void ClearEventRenderCache()
{
    CRenderCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.m_mutex);
    cache.m_mapSources.clear();
    cache.m_mapModulePaths.clear();
}

CEventRenderer::CEventRenderer(std::string strServer, std::string strLog,
                               std::string strDisplayName, CMonitoredObject* pLogon)
    : m_strServer(std::move(strServer)), m_strLog(std::move(strLog)),
      m_strDisplayName(std::move(strDisplayName)), m_pLogon(pLogon)
{
}

CEventRenderer::~CEventRenderer()
{
    Refresh();
}

void CEventRenderer::Refresh()
{
    for (auto& [path, kept] : m_mapModules) {
        if (kept.m_hModule)
            FreeLibrary(kept.m_hModule);
    }
    m_mapModules.clear();
    m_mapSources.clear();
    m_nServed = 0;
}

bool CEventRenderer::EnsureLogon()
{
    if (!m_pLogon || m_bLoggedOn)
        return true;
    if (m_bLogonFailed || !m_pLogon->LogonAsUser()) {
        m_bLogonFailed = true;
        return false;
    }
    m_bLoggedOn = true;
    return true;
}

void CEventRenderer::RenderEvent(DWORD dwFlags, const CEventStruct& event,
                                 std::string& strDescription, std::string& strCategory)
{
    if (event.m_strSource == EVENT_MARK_SOURCE && (event.m_nEventID & 0xFFFF) == EVENT_MARK_ID) {
        if (dwFlags & RENDER_DESCRIPTION)
            strDescription =
                "Mark: " + (event.m_arrStrings.empty() ? std::string() : event.m_arrStrings[0]);
        return;
    }
    if (m_nServed++ == RENDER_FRESHNESS_EVENTS) {
        Refresh();
        m_nServed = 1;
    }
    m_bLoggedOn = false;
    m_bLogonFailed = false;
    // A logon that fails on the way produces nothing: the outputs are put
    // back as they came.
    const std::string strDescriptionIn =
        (dwFlags & RENDER_DESCRIPTION) ? strDescription : std::string();
    const std::string strCategoryIn = (dwFlags & RENDER_CATEGORY) ? strCategory : std::string();

    // The fallback texts are built only when they are used; they depend on
    // nothing that the steps in between change.
    std::string strEventFile, strCategoryFile, strParameterFile;
    if (!GetMessageFiles(event, strEventFile, strCategoryFile, strParameterFile)) {
        if (dwFlags & RENDER_DESCRIPTION)
            strDescription = BuildMissingDescription(event, event.m_arrStrings);
    } else {
        if (dwFlags & RENDER_DESCRIPTION) {
            std::vector<std::string> arrSubstituted = event.m_arrStrings;
            SubstituteParameters(strParameterFile, arrSubstituted);
            std::vector<std::string> arrFiles;
            for (std::size_t start = 0; start <= strEventFile.size();) {
                std::size_t end = strEventFile.find(';', start);
                if (end == std::string::npos)
                    end = strEventFile.size();
                if (end > start)
                    arrFiles.push_back(strEventFile.substr(start, end - start));
                start = end + 1;
            }
            std::string strText;
            strDescription = FormatEventMessage(arrFiles, arrSubstituted, event.m_nEventID, strText)
                                 ? strText
                                 : BuildMissingDescription(event, arrSubstituted);
        }
        if (dwFlags & RENDER_CATEGORY)
            FormatCategory(strCategoryFile, event.m_nCategory, strCategory);
    }
    if (m_bLogonFailed) {
        if (dwFlags & RENDER_DESCRIPTION)
            strDescription = strDescriptionIn;
        if (dwFlags & RENDER_CATEGORY)
            strCategory = strCategoryIn;
    }
    if (m_bLoggedOn)
        m_pLogon->RevertLogon();
    m_bLoggedOn = false;
}

BOOL CEventRenderer::GetMessageFiles(const CEventStruct& event, std::string& strEventFile,
                                     std::string& strCategoryFile, std::string& strParameterFile)
{
    auto found = m_mapSources.find(event.m_strSource);
    if (found == m_mapSources.end()) {
        if (!EnsureLogon())
            return FALSE;
        found = m_mapSources.emplace(event.m_strSource, ReadSourceFiles(event.m_strSource)).first;
    }
    const CSourceFiles& files = found->second;
    const auto error = static_cast<unsigned>(files.m_nError);
    switch (files.m_result) {
    case CSourceFiles::Result::CONNECT_FAILED:
        WriteSystemLogF(IDS_REGISTRY_CONNECT_ERROR, files.m_strMachine.c_str(), error,
                        GetSystemErrorText(error).c_str());
        return FALSE;
    case CSourceFiles::Result::OPEN_FAILED:
        WriteSystemLogF(IDS_REGISTRY_READ_ERROR, m_strServer.c_str(),
                        (EVENTLOG_SOURCES_KEY + m_strLog + "\\" + event.m_strSource).c_str(), error,
                        GetSystemErrorText(error).c_str());
        return FALSE;
    case CSourceFiles::Result::FOUND:
        break;
    }
    strEventFile = files.m_strEventFile;
    strCategoryFile = files.m_strCategoryFile;
    strParameterFile = files.m_strParameterFile;
    return TRUE;
}

CEventRenderer::CSourceFiles CEventRenderer::ReadSourceFiles(const std::string& strSource)
{
    CSourceFiles files;
    const std::string strKeyPath = EVENTLOG_SOURCES_KEY + m_strLog + "\\" + strSource;
    char szLocal[200];
    DWORD nSize = sizeof szLocal;
    if (!GetComputerNameA(szLocal, &nSize))
        szLocal[0] = '\0';
    const bool bLocal = m_strServer == szLocal;
    const std::string strMachine = bLocal ? std::string() : "\\\\" + m_strServer;

    auto useValues = [&](const std::array<std::string, 3>& raw) {
        files.m_strEventFile = ExpandValue(raw[0]);
        files.m_strCategoryFile = ExpandValue(raw[1]);
        files.m_strParameterFile = ExpandValue(raw[2]);
    };
    auto openFailed = [&](LONG error) {
        files.m_result = CSourceFiles::Result::OPEN_FAILED;
        files.m_nError = error;
        return files;
    };

    const bool bReuse = GetEventRenderReuse();
    std::string strCacheKey;
    if (bReuse) {
        strCacheKey = GetNetworkRoot() + '\n' + szLocal + '\n' + RenderingAccount(m_pLogon) + '\n' +
                      strMachine + '\n' + m_strLog + '\n' + strSource;
        if (std::optional<CSourceEntry> entry = FindSource(strCacheKey)) {
            if (entry->m_nOpenError != ERROR_SUCCESS)
                return openFailed(entry->m_nOpenError);
            useValues(entry->m_arrRawValues);
            return files;
        }
    }

    HKEY hRoot{};
    LONG error =
        RegConnectRegistryA(bLocal ? nullptr : strMachine.c_str(), HKEY_LOCAL_MACHINE, &hRoot);
    if (error != ERROR_SUCCESS) {
        files.m_result = CSourceFiles::Result::CONNECT_FAILED;
        files.m_nError = error;
        files.m_strMachine = strMachine;
        return files;
    }
    // The snapshot is taken before the key is read, so a change in between
    // only makes the entry look stale.
    CSourceEntry entry;
    std::shared_ptr<const CRegKey> pSnapshot;
    if (bReuse && (entry.m_pHive = RegGetKeyHive(hRoot)))
        pSnapshot = entry.m_pHive->Read();
    entry.m_pSnapshot = pSnapshot;

    HKEY hKey{};
    error = RegOpenKeyExA(hRoot, strKeyPath.c_str(), 0, KEY_READ, &hKey);
    if (error != ERROR_SUCCESS) {
        RegCloseKey(hRoot);
        if (pSnapshot) {
            entry.m_nOpenError = error;
            Cache().Store(Cache().m_mapSources, strCacheKey, std::move(entry));
        }
        return openFailed(error);
    }
    for (std::size_t i = 0; i < g_messageFileValues.size(); ++i)
        entry.m_arrRawValues[i] = QueryStringValue(hKey, g_messageFileValues[i]);
    RegCloseKey(hKey);
    RegCloseKey(hRoot);
    useValues(entry.m_arrRawValues);
    if (pSnapshot)
        Cache().Store(Cache().m_mapSources, strCacheKey, std::move(entry));
    return files;
}

HMODULE CEventRenderer::UseModule(const std::string& strPath)
{
    auto found = m_mapModules.find(strPath);
    if (found == m_mapModules.end()) {
        if (!EnsureLogon()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        CKeptModule kept;
        kept.m_hModule = LoadModule(strPath);
        kept.m_dwError = kept.m_hModule ? ERROR_SUCCESS : GetLastError();
        found = m_mapModules.emplace(strPath, kept).first;
    }
    if (!found->second.m_hModule)
        SetLastError(found->second.m_dwError);
    return found->second.m_hModule;
}

std::string CEventRenderer::ReadExpandedValue(HKEY hKey, const char* pszName)
{
    return ExpandValue(QueryStringValue(hKey, pszName));
}

std::string CEventRenderer::GetAdminSharePath(const std::string& strFile) const
{
    return "\\\\" + m_strServer + "\\" + strFile[0] + "$" + strFile.substr(2);
}

HMODULE CEventRenderer::LoadModule(const std::string& strPath) const
{
    if (!GetEventRenderReuse())
        return LoadLibraryExA(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    // The name mapped to its local file before (a UNC or drive-letter name
    // costs a walk through the network's folders): load that file directly,
    // and the name again when it is gone, so failures are reported as for
    // the name.
    CRenderCache& cache = Cache();
    const std::string strKey = GetNetworkRoot() + '\n' + GetLocalComputerName() + '\n' + strPath;
    std::optional<std::string> mapped;
    {
        std::lock_guard<std::mutex> lock(cache.m_mutex);
        if (auto found = cache.m_mapModulePaths.find(strKey); found != cache.m_mapModulePaths.end())
            mapped = found->second;
    }
    if (mapped) {
        if (HMODULE hModule = LoadLibraryExA(mapped->c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
            return hModule;
    }
    HMODULE hModule = LoadLibraryExA(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (hModule) {
        const DWORD error = GetLastError();
        if (std::optional<std::string> local = MapNetworkPath(strPath))
            cache.Store(cache.m_mapModulePaths, strKey, std::move(*local));
        SetLastError(error);
    }
    return hModule;
}

BOOL CEventRenderer::FormatCategory(const std::string& strCategoryFile, DWORD nCategory,
                                    std::string& strText)
{
    if (strCategoryFile.empty() || nCategory == 0 || !HasDriveLetter(strCategoryFile))
        return FALSE;
    const std::string strSharePath = GetAdminSharePath(strCategoryFile);
    HMODULE hModule = UseModule(strSharePath);
    if (!hModule)
        hModule = UseModule(strCategoryFile);
    if (!hModule) {
        WriteSystemLogF("ERROR Category load library: [%s] %s, %s\n", m_strServer.c_str(),
                        strSharePath.c_str(), GetSystemErrorText(GetLastError()).c_str());
        return FALSE;
    }
    std::string strCategory;
    const BOOL bDone =
        FormatMessageString(FORMAT_PLAIN, hModule, nCategory, RENDER_LANGUAGE, strCategory) != 0;
    if (bDone)
        strText = strCategory;
    else
        WriteSystemLogF("ERROR Category format: %s, %s\n", strSharePath.c_str(),
                        GetSystemErrorText(GetLastError()).c_str());
    return bDone;
}

BOOL CEventRenderer::SubstituteParameters(const std::string& strParameterFile,
                                          std::vector<std::string>& arrStrings)
{
    auto isReference = [](const std::string& s) { return s.size() >= 3 && s.starts_with("%%"); };
    bool bAny = false;
    for (const std::string& s : arrStrings)
        bAny = bAny || isReference(s);
    if (!bAny)
        return TRUE;

    std::string strLoaded = strParameterFile;
    HMODULE hModule = UseModule(strLoaded);
    if (!hModule) {
        if (!HasDriveLetter(strParameterFile))
            return FALSE;
        strLoaded = GetAdminSharePath(strParameterFile);
        hModule = UseModule(strLoaded);
        if (!hModule) {
            const DWORD error = GetLastError();
            WriteSystemLogF(IDS_MODULE_LOAD_ERROR, strLoaded.c_str(), m_strServer.c_str(), error,
                            GetSystemErrorText(error).c_str());
            return FALSE;
        }
    }
    int nFailures = 0;
    for (std::string& s : arrStrings) {
        if (!isReference(s))
            continue;
        const long nNumber = std::atol(s.c_str() + 2);
        if (nNumber == 0)
            continue;
        std::string strText;
        if (FormatMessageString(FORMAT_PLAIN, hModule, static_cast<DWORD>(nNumber), RENDER_LANGUAGE,
                                strText)) {
            s = strText;
        } else {
            const DWORD error = GetLastError();
            ++nFailures;
            WriteSystemLogF(IDS_PARAMETER_LOOKUP_ERROR, s.c_str() + 2, strLoaded.c_str(), error,
                            GetSystemErrorText(error).c_str());
        }
    }
    return nFailures == 0;
}

BOOL CEventRenderer::FormatEventMessage(const std::vector<std::string>& arrFiles,
                                        const std::vector<std::string>& arrStrings, DWORD nEventID,
                                        std::string& strText)
{
    for (const std::string& strFile : arrFiles) {
        HMODULE hModule = nullptr;
        std::string strTried = strFile;
        DWORD error = ERROR_BAD_PATHNAME; // a name that is no path of that computer is not loaded
        if (HasDriveLetter(strFile)) {
            strTried = GetAdminSharePath(strFile);
            hModule = UseModule(strTried);
            if (!hModule) {
                strTried = strFile;
                hModule = UseModule(strTried);
            }
            error = GetLastError();
        } else if (strFile.starts_with("\\")) {
            hModule = UseModule(strTried);
            error = GetLastError();
        }
        if (!hModule) {
            WriteSystemLogF(IDS_MODULE_LOAD_ERROR, strTried.c_str(), m_strServer.c_str(), error,
                            GetSystemErrorText(error).c_str());
            continue;
        }
        if (FormatWithInserts(hModule, nEventID, strText, arrStrings))
            return TRUE;
    }
    return FALSE;
}

BOOL CEventRenderer::FormatWithInserts(HMODULE hModule, DWORD nID, std::string& strText,
                                       const std::vector<std::string>& arrStrings)
{
    std::vector<const char*> inserts = InsertArray(arrStrings);
    std::string strFormatted;
    if (FormatMessageString(FORMAT_WITH_INSERTS, hModule, nID, RENDER_LANGUAGE, strFormatted,
                            inserts)) {
        strText = std::move(strFormatted);
        return TRUE;
    }
    // The raw template serves only the line below. The platform's formatter
    // would read past the strings for an insert number beyond them; ours
    // refuses with ERROR_INVALID_PARAMETER, which other template faults give
    // too, so the format is tried again with every insert present.
    if (GetLastError() == ERROR_INVALID_PARAMETER) {
        std::vector<const char*> padded = inserts;
        padded.resize(MAX_INSERTS, "");
        std::string strProbe;
        if (FormatMessageString(FORMAT_WITH_INSERTS, hModule, nID, RENDER_LANGUAGE, strProbe,
                                padded)) {
            std::string strTemplate;
            FormatMessageString(FORMAT_RAW_TEMPLATE, hModule, nID, RENDER_LANGUAGE, strTemplate);
            WriteSystemLogF("%s: Exception formatting message: <%s>, supplied args = %d",
                            m_strDisplayName.c_str(), strTemplate.c_str(),
                            static_cast<int>(arrStrings.size()));
        }
    }
    return FALSE;
}

std::string CEventRenderer::BuildMissingDescription(const CEventStruct& event,
                                                    const std::vector<std::string>& arrStrings)
{
    const int nLength =
        std::snprintf(nullptr, 0, IDS_MISSING_DESCRIPTION, static_cast<unsigned>(event.m_nEventID),
                      event.m_strSource.c_str());
    std::string strText(static_cast<std::size_t>(nLength), '\0');
    std::snprintf(strText.data(), strText.size() + 1, IDS_MISSING_DESCRIPTION,
                  static_cast<unsigned>(event.m_nEventID), event.m_strSource.c_str());
    for (std::size_t i = 0; i < arrStrings.size(); ++i)
        strText += std::to_string(i) + " - " + arrStrings[i] + "\r\n";
    return strText;
}
