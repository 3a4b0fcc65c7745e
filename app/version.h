#pragma once
// The program file: its path, and its version as the about box and the
// start-up line show it,
// built from the four numbers of a file version: "%d.%d%d%d", cut to four
// characters when the fifth is "0" (2.1.0.0 gives "2.10"). The program's file
// version is the project version with build number 0.
//
// Any thread.
#include <string>

#include "platform/base/win32types.h"

// The build string that the start-up line names beside the version.
inline constexpr const char* QUORVIL_BUILD_STRING = "9";

std::string FormatFileVersion(WORD wMajor, WORD wMinor, WORD wRelease, WORD wBuild);
std::string GetProgramVersion();
// The full path of this program's file; "" when it cannot be read or is
// longer than MAX_PATH - 1 characters.
std::string GetProgramFilePath();
