#include "platform/network/network.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"

namespace {

std::mutex g_rootMutex;
std::string g_strRootOverride; // guarded by g_rootMutex

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The entries of a folder (without "." and ".."), sorted; only folders when
// asked.
std::vector<std::string> ListFolder(const std::string& path, bool foldersOnly)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        // Hidden names are never computers, domains or shares.
        if (name == "." || name == ".." || (foldersOnly && name[0] == '.'))
            continue;
        if (foldersOnly && !IsDirectory(path + "/" + name))
            continue;
        names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The entry of a folder whose name equals the given one without regard to
// case; the exact spelling wins when both exist.
std::optional<std::string> FindNoCase(const std::string& folder, const std::string& name,
                                      bool foldersOnly)
{
    if (Exists(folder + "/" + name) && (!foldersOnly || IsDirectory(folder + "/" + name)))
        return name;
    for (const std::string& entry : ListFolder(folder, foldersOnly)) {
        if (EqualNoCase(entry, name))
            return entry;
    }
    return std::nullopt;
}

bool IsValidName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

// The folder of a computer anywhere in the network, or nullopt.
std::optional<std::string> FindComputer(const std::string& name)
{
    if (!IsValidName(name))
        return std::nullopt;
    std::string root = GetNetworkRoot();
    for (const std::string& domain : ListFolder(root, true)) {
        std::string domainFolder = root + "/" + domain;
        if (auto found = FindNoCase(domainFolder, name, true))
            return domainFolder + "/" + *found;
    }
    return std::nullopt;
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

// Appends the components to a folder, matching each existing one without
// regard to case; from the first missing component on they are kept as given.
std::string AppendComponents(std::string folder, const std::vector<std::string>& given,
                             std::size_t first)
{
    // "." and ".." are resolved first, and ".." stops at the share: no path
    // leads out of the folder it names.
    std::vector<std::string> parts;
    for (std::size_t i = first; i < given.size(); ++i) {
        if (given[i] == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (given[i] != ".") {
            parts.push_back(given[i]);
        }
    }
    bool matching = true;
    for (const std::string& original : parts) {
        std::string part = original;
        if (matching) {
            if (auto found = FindNoCase(folder, part, false))
                part = *found;
            else
                matching = false;
        }
        folder += "/" + part;
    }
    return folder;
}

bool IsDrivePath(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path.size() == 2 || path[2] == '\\' || path[2] == '/');
}

} // namespace

std::string GetLocalComputerName()
{
    if (const char* name = std::getenv("QUORVIL_COMPUTERNAME"); name && *name)
        return Upper(name);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !*host)
        std::strcpy(host, "localhost");
    std::string name = host;
    name = name.substr(0, name.find('.'));
    if (name.size() > MAX_COMPUTERNAME_LENGTH)
        name.resize(MAX_COMPUTERNAME_LENGTH);
    return Upper(name);
}

BOOL GetComputerNameA(char* buffer, DWORD* size)
{
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name = GetLocalComputerName();
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

std::string GetNetworkRoot()
{
    {
        std::lock_guard<std::mutex> lock(g_rootMutex);
        if (!g_strRootOverride.empty())
            return g_strRootOverride;
    }
    std::string root;
    if (const char* env = std::getenv("QUORVIL_NETWORK"); env && *env)
        root = env;
    else if (::geteuid() == 0 && !std::getenv("XDG_DATA_HOME"))
        root = "/var/lib/quorvil/network";
    else
        root = QuorvilDataDir() + "/network";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

void SetNetworkRoot(const std::string& root)
{
    std::lock_guard<std::mutex> lock(g_rootMutex);
    g_strRootOverride = root;
    while (g_strRootOverride.size() > 1 && g_strRootOverride.back() == '/')
        g_strRootOverride.pop_back();
}

std::string GetLocalDomainName()
{
    if (const char* env = std::getenv("QUORVIL_DOMAIN"); env && *env)
        return Upper(env);
    if (auto folder = FindComputer(GetLocalComputerName()))
        return ComputerFolderName(DirectoryOf(*folder));
    return "WORKGROUP";
}

std::string BareComputerName(const char* server)
{
    if (!server)
        return {};
    std::string name = server;
    std::size_t start = 0;
    while (start < name.size() && (name[start] == '\\' || name[start] == '/'))
        ++start;
    return name.substr(start);
}

bool IsLocalComputer(const std::string& name)
{
    std::string bare = BareComputerName(name.c_str());
    return bare.empty() || EqualNoCase(bare, GetLocalComputerName());
}

std::optional<std::string> GetComputerFolder(const char* server, DWORD missingError)
{
    std::string name = BareComputerName(server);
    if (IsLocalComputer(name)) {
        std::string local = GetLocalComputerName();
        if (auto folder = FindComputer(local))
            return folder;
        std::string folder = GetNetworkRoot() + "/" + GetLocalDomainName() + "/" + local;
        if (!EnsureDirectory(folder))
            return std::nullopt;
        return folder;
    }
    if (auto folder = FindComputer(name))
        return folder;
    SetLastError(missingError);
    return std::nullopt;
}

std::string ComputerFolderName(const std::string& folder)
{
    std::size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

std::optional<std::string> MapComputerPath(const char* server, const std::string& path)
{
    if (path.starts_with("\\\\") || path.starts_with("//")) {
        std::vector<std::string> parts = SplitPath(path);
        if (parts.empty()) {
            SetLastError(ERROR_BAD_NETPATH);
            return std::nullopt;
        }
        auto folder = GetComputerFolder(parts[0].c_str(), ERROR_BAD_NETPATH);
        if (!folder)
            return std::nullopt;
        std::optional<std::string> share;
        if (parts.size() >= 2 && IsValidName(parts[1]))
            share = FindNoCase(*folder, parts[1], true);
        if (!share) {
            SetLastError(ERROR_BAD_NET_NAME);
            return std::nullopt;
        }
        return AppendComponents(*folder + "/" + *share, parts, 2);
    }
    if (IsDrivePath(path)) {
        auto folder = GetComputerFolder(server, ERROR_BAD_NETPATH);
        if (!folder)
            return std::nullopt;
        std::string share =
            std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))) +
            "$";
        if (auto found = FindNoCase(*folder, share, true))
            share = *found;
        return AppendComponents(*folder + "/" + share, SplitPath(path.substr(2)), 0);
    }
    return path;
}

std::optional<std::string> MapNetworkPath(const std::string& path)
{
    return MapComputerPath(nullptr, path);
}

DWORD EnumNetworkLevel(DWORD scope, const CNetResource* container, std::vector<CNetResource>& out)
{
    out.clear();
    std::string root = GetNetworkRoot();
    auto resource = [&](DWORD dwDisplayType, DWORD dwUsage, std::string name,
                        std::string provider) {
        CNetResource res;
        res.m_dwScope = scope;
        res.m_dwDisplayType = dwDisplayType;
        res.m_dwUsage = dwUsage;
        res.m_strRemoteName = std::move(name);
        res.m_strProvider = std::move(provider);
        return res;
    };
    auto computersOf = [&](const std::string& domain) {
        for (const std::string& name : ListFolder(root + "/" + domain, true))
            out.push_back(resource(RESOURCEDISPLAYTYPE_SERVER, RESOURCEUSAGE_CONNECTABLE,
                                   "\\\\" + name, QUORVIL_NETWORK_NAME));
    };
    const CNetResource entire =
        resource(RESOURCEDISPLAYTYPE_ROOT, RESOURCEUSAGE_CONTAINER, "Entire Network", "");

    if (scope == RESOURCE_CONTEXT) {
        GetComputerFolder(nullptr, ERROR_BAD_NETPATH); // the local computer joins its domain
        computersOf(GetLocalDomainName());
        out.push_back(entire);
        return ERROR_SUCCESS;
    }
    if (!container) {
        out.push_back(entire);
        return ERROR_SUCCESS;
    }
    switch (container->m_dwDisplayType) {
    case RESOURCEDISPLAYTYPE_ROOT:
        out.push_back(resource(RESOURCEDISPLAYTYPE_NETWORK, RESOURCEUSAGE_CONTAINER,
                               QUORVIL_NETWORK_NAME, QUORVIL_NETWORK_NAME));
        return ERROR_SUCCESS;
    case RESOURCEDISPLAYTYPE_NETWORK:
        for (const std::string& domain : ListFolder(root, true))
            out.push_back(resource(RESOURCEDISPLAYTYPE_DOMAIN, RESOURCEUSAGE_CONTAINER, domain,
                                   QUORVIL_NETWORK_NAME));
        return ERROR_SUCCESS;
    case RESOURCEDISPLAYTYPE_DOMAIN: {
        auto domain = IsValidName(container->m_strRemoteName)
                          ? FindNoCase(root, container->m_strRemoteName, true)
                          : std::nullopt;
        if (!domain)
            return ERROR_BAD_NETPATH;
        computersOf(*domain);
        return ERROR_SUCCESS;
    }
    default:
        return ERROR_NOT_CONTAINER;
    }
}

std::vector<std::pair<std::string, std::string>> EnumComputers()
{
    std::vector<std::pair<std::string, std::string>> computers;
    std::string root = GetNetworkRoot();
    for (const std::string& domain : ListFolder(root, true)) {
        for (const std::string& name : ListFolder(root + "/" + domain, true))
            computers.emplace_back(domain, name);
    }
    return computers;
}
