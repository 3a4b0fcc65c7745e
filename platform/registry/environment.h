#pragma once
// Environment variables as Windows programs see them, for expanding the
// "%SystemRoot%\..." paths that registry values hold.
//
// A variable is looked up in this process's environment, first with the
// name as written, then without regard to letter case (Windows names are
// case-insensitive). The Windows variables that message file paths use have
// their usual values when the environment does not set them: SystemRoot and
// windir "C:\WINDOWS", SystemDrive "C:", ProgramFiles "C:\Program Files",
// CommonProgramFiles, ProgramData, ComSpec, COMPUTERNAME (the local
// computer's name) and a few more.
//
// Any thread may call these functions; they keep no state of their own.
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/win32types.h"

// The value of a variable, or nullopt when neither the environment nor the
// Windows defaults know it.
std::optional<std::string> GetWindowsEnvironmentVariable(std::string_view name);

// The text with each %NAME% replaced by the variable's value; an unknown
// %NAME% and a lone "%" are kept as written.
std::string ExpandEnvironmentString(std::string_view text);

// ExpandEnvironmentStringsA: expands lpSrc into lpDst, a buffer of nSize
// characters. Returns the characters the expansion needs, terminator
// included; when that is more than nSize, lpDst is left unchanged (so a null
// lpDst with nSize 0 asks for the size). A null lpSrc fails with 0 and
// ERROR_INVALID_PARAMETER.
DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize);
