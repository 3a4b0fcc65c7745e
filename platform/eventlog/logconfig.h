#pragma once
// The event log settings of a computer, kept in its registry (HKLM.reg in
// the computer's folder) under SYSTEM\CurrentControlSet\Services\EventLog:
// one subkey per log (MaxSize, Retention, Sources) with one subkey per event
// source. A computer whose registry has no logs gets Application, System and
// Security. This is the event log service's only contact with the registry.
// Any thread; failures set the Win32 last error.
#include <optional>
#include <string>
#include <vector>

#include "platform/base/win32types.h"

inline constexpr const char* EVENTLOG_REG_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog";

struct CEventLogConfig {
    std::string m_strName; // the key's spelling
    DWORD m_dwMaxSize = 0x80000;
    DWORD m_dwRetention = 0;            // overwrite as needed
    std::vector<std::string> m_sources; // the source subkeys
};

// The logs of the computer in `folder`, in registry order; keys whose name
// could not be a file name in that folder ("", ".", "..", "/" inside) are
// left out.
bool ReadEventLogConfigs(const std::string& folder, std::vector<CEventLogConfig>& logs);

// Creates the log's key if needed and sets the values given.
bool WriteEventLogConfig(const std::string& folder, const std::string& log,
                         std::optional<DWORD> maxSize, std::optional<DWORD> retention);

// A source's registration: its values, REG_EXPAND_SZ paths and REG_DWORDs;
// empty or absent ones are left out.
struct CEventSourceConfig {
    std::string m_strMessageFile;
    std::string m_strCategoryFile;
    std::string m_strParameterFile;
    std::optional<DWORD> m_categoryCount;
    std::optional<DWORD> m_typesSupported;
};
// Creates or updates the source under the log and adds it to the log's
// Sources list. ERROR_ALREADY_EXISTS when another log has the source,
// ERROR_INVALID_PARAMETER for a source named like a log or holding '\'.
bool WriteEventSourceConfig(const std::string& folder, const std::string& log,
                            const std::string& source, const CEventSourceConfig& config);
