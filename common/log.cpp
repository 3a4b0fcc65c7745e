#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include <unistd.h>

#include "common/brancmn.h"
#include "platform/base/fileio.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

struct CSystemLogSettings {
    std::string m_strPath;
    bool m_bEnabled = true;
    std::uint64_t m_nMaxBytes = std::uint64_t{SYSTEM_LOG_DEFAULT_MAX_KB} * 1024;
};

// System/ErrorLog and System/ErrorLogEnabled from the user's hive (cached by
// the hive while its file is unchanged).
CSystemLogSettings ReadSystemLogSettings()
{
    CSystemLogSettings settings;
    settings.m_strPath = DefaultSystemLogPath();
    auto tree = GetUserHive()->Read();
    const CRegKey* system =
        tree ? tree->OpenKey(std::string(QUORVIL_SETTINGS_KEY) + "\\System") : nullptr;
    if (system) {
        const CRegValue* path = system->FindValue("ErrorLog");
        if (path && (path->m_dwType == REG_SZ || path->m_dwType == REG_EXPAND_SZ))
            settings.m_strPath = path->GetString();
        const CRegValue* enabled = system->FindValue("ErrorLogEnabled");
        if (enabled && enabled->GetDword())
            settings.m_bEnabled = *enabled->GetDword() != 0;
        const CRegValue* limit = system->FindValue(SYSTEM_LOG_MAX_KB_VALUE);
        if (limit && limit->GetDword())
            settings.m_nMaxBytes = std::uint64_t{*limit->GetDword()} * 1024;
    }
    return settings;
}

std::string WithoutLineBreak(const char* text)
{
    std::string line = text ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string TimeStamp()
{
    return CTime::GetCurrentTime().Format("%Y-%m-%d %H:%M:%S ");
}

void WriteToStandardError(const std::string& text)
{
    std::string line = text + "\n";
    // One write, so that the line stays whole beside other writers.
    if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
        // Nowhere left to report to.
    }
}

// Appends a line; a log of the program's own (maxBytes given) is written as
// the program itself, also under a logon, and kept below its size limit.
bool AppendLine(const std::string& path, const std::string& line,
                std::optional<std::uint64_t> maxBytes)
{
    auto local = MapNetworkPath(path);
    if (!local)
        return false;
    if (!maxBytes)
        return EnsureDirectory(DirectoryOf(*local)) && AppendToFile(*local, line + "\n");
    CProgramFileIdentity self;
    return EnsureDirectory(DirectoryOf(*local)) &&
           AppendToCappedFile(*local, line + "\n", *maxBytes);
}

std::string ErrorText(DWORD code)
{
    std::string text = GetSystemErrorText(code);
    return text.empty() ? "error " + std::to_string(code) : text;
}

} // namespace

std::string DefaultSystemLogPath()
{
    return QuorvilStateDir() + "/quorvil.log";
}

BOOL LogError(const char* text)
{
    CSystemLogSettings settings = ReadSystemLogSettings();
    if (!settings.m_bEnabled)
        return TRUE;
    std::string line = TimeStamp() + WithoutLineBreak(text);
    if (AppendLine(settings.m_strPath, line, settings.m_nMaxBytes))
        return TRUE;
    DWORD error = GetLastError();
    WriteToStandardError("Quorvil: cannot write the system log " + settings.m_strPath + " (" +
                         ErrorText(error) + "): " + line);
    SetLastError(error);
    return FALSE;
}

BOOL LogDiagnostics(const char* text)
{
    if (::isatty(STDERR_FILENO)) {
        WriteToStandardError(WithoutLineBreak(text));
        return TRUE;
    }
    return LogError(text);
}

BOOL LogLastError()
{
    DWORD error = GetLastError();
    std::string line = "Last system error " + std::to_string(error) + ": " + ErrorText(error);
    return LogError(line.c_str());
}

int LogToFile(const char* path, const char* text, int flag)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string line = WithoutLineBreak(text);
    if (!flag)
        return AppendLine(path, line, std::nullopt) ? 1 : 0;
    line.insert(0, TimeStamp());
    return AppendLine(path, line, ReadSystemLogSettings().m_nMaxBytes) ? 1 : 0;
}

BOOL DeleteLogFile(const char* path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto local = MapNetworkPath(path);
    if (!local)
        return FALSE;
    CProgramFileIdentity self;
    if (::unlink(local->c_str()) != 0) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}
