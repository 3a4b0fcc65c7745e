#pragma once
// The program's own event source: "Quorvil" in the local computer's
// Application log, whose messages (the mark, event ID 100) are in the
// message file data/messages/quorvil.mc, compiled into the program.
//
// Start-up calls RegisterQuorvilEventSource once, on the user interface
// thread before the scan thread runs; it may be called again at any time.
#include <string_view>

#include "platform/base/win32types.h"

// The source's key below HKEY_LOCAL_MACHINE (string 140).
inline constexpr const char* QUORVIL_SOURCE_KEY =
    "System\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvil";
// Where the message file lives on each computer, as the registry names it.
inline constexpr const char* QUORVIL_MESSAGE_FILE = "C:\\Program Files\\Quorvil\\quorvil.mc";

// The text of data/messages/quorvil.mc.
std::string_view GetQuorvilMessageSource();

// Writes the message file to QUORVIL_MESSAGE_FILE on the local computer
// (when it is missing or differs), then creates the source's key if needed
// and sets TypesSupported = 7 and EventMessageFile = QUORVIL_MESSAGE_FILE.
// The local computer's standard logs are made sure of first, since a
// computer whose registry has any log is given no others. FALSE, with
// nothing written to the registry, when the key cannot be created or opened;
// start-up ignores the result.
//
// The name is written without the quotes that the Windows program puts
// around its own path: a quoted name is neither a drive-letter nor a UNC
// path, so no renderer would load it.
BOOL RegisterQuorvilEventSource();
