#include "eventlog/render/quorvilsource.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "platform/registry/winreg.h"

namespace {

bool InstallMessageFile()
{
    std::optional<std::string> path = MapComputerPath(nullptr, QUORVIL_MESSAGE_FILE);
    if (!path)
        return false;
    const std::string_view text = GetQuorvilMessageSource();
    if (ReadFileBytes(*path) == std::optional<std::string>(text))
        return true;
    return EnsureDirectory(DirectoryOf(*path)) && AtomicWriteFile(*path, text);
}

} // namespace

BOOL RegisterQuorvilEventSource()
{
    std::vector<CEventLogConfig> logs;
    EnumEventLogs(nullptr, logs);
    InstallMessageFile();

    HKEY hKey{};
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, QUORVIL_SOURCE_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return FALSE;
    const std::string types = RegDwordData(7);
    const std::string file = RegStringData(QUORVIL_MESSAGE_FILE);
    RegSetValueExA(hKey, "TypesSupported", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(types.data()), static_cast<DWORD>(types.size()));
    RegSetValueExA(hKey, "EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.data()),
                   static_cast<DWORD>(file.size()));
    RegCloseKey(hKey);
    return TRUE;
}
