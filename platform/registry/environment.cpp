#include "platform/registry/environment.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "platform/registry/regkey.h"

extern char** environ;

namespace {

struct CDefaultVariable {
    const char* m_pszName;
    const char* m_pszValue;
};

// The values of a standard installation on drive C:.
constexpr CDefaultVariable g_defaultVariables[] = {
    {"SystemRoot", "C:\\WINDOWS"},
    {"windir", "C:\\WINDOWS"},
    {"SystemDrive", "C:"},
    {"ProgramFiles", "C:\\Program Files"},
    {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
    {"ProgramW6432", "C:\\Program Files"},
    {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
    {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
    {"CommonProgramW6432", "C:\\Program Files\\Common Files"},
    {"ProgramData", "C:\\ProgramData"},
    {"ALLUSERSPROFILE", "C:\\ProgramData"},
    {"PUBLIC", "C:\\Users\\Public"},
    {"ComSpec", "C:\\WINDOWS\\system32\\cmd.exe"},
    {"OS", "Windows_NT"},
};

} // namespace

std::optional<std::string> GetWindowsEnvironmentVariable(std::string_view name)
{
    if (name.empty() || name.find('=') != std::string_view::npos)
        return std::nullopt;
    std::string exact(name);
    if (const char* value = std::getenv(exact.c_str()))
        return value;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals &&
            RegNamesEqual(std::string_view(*entry, static_cast<std::size_t>(equals - *entry)),
                          name))
            return equals + 1;
    }
    for (const CDefaultVariable& variable : g_defaultVariables) {
        if (RegNamesEqual(variable.m_pszName, name))
            return variable.m_pszValue;
    }
    if (RegNamesEqual("COMPUTERNAME", name))
        return GetLocalComputerName();
    return std::nullopt;
}

std::string ExpandEnvironmentString(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        if (auto value = GetWindowsEnvironmentVariable(text.substr(open + 1, close - open - 1))) {
            out += *value;
            pos = close + 1;
        } else {
            // Unknown: keep "%NAME" and let the closing "%" open the next name.
            out.append(text.substr(open, close - open));
            pos = close;
        }
    }
    return out;
}

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize)
{
    if (lpSrc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string expanded = ExpandEnvironmentString(lpSrc);
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    if (lpDst != nullptr && needed <= nSize)
        std::memcpy(lpDst, expanded.c_str(), needed);
    return needed;
}
