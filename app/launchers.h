#pragma once
// The programs that the user starts from the program: the text editor (on
// the system log, audit files and text logs), the file explorer, a command
// prompt, and the event viewer. On Linux these are the TextEditor setting
// (default "xdg-open"), "xdg-open" on a folder, "x-terminal-emulator"
// started in a folder, and, until the program has its own viewer, the
// event log tool's listing of a computer's logs in a terminal.
//
// The programs run detached (their end is reaped and noted in the system
// log); nothing waits for them. User interface thread.
#include <string>

#include "platform/base/win32types.h"

// The TextEditor setting, one blank and the path, split into words as a
// command line (so a path with blanks splits; quote it in the setting to
// keep an editor's own blanks). On failure writes "Launch error: %u, %08X".
// TRUE when the editor started.
BOOL LaunchEditor(const std::string& strPath);
// "xdg-open" on the folder, started in the folder; failures as above.
BOOL LaunchExplorer(const std::string& strFolder);
// A terminal started in the folder. A folder shorter than two characters,
// or a UNC path, is refused with a message box and nothing starts.
BOOL LaunchCommandBox(const std::string& strFolder);
// The event logs of a computer ("" for the local one) listed by qvevent in
// a terminal. Returns the error code of a failed start (0 when it
// started); writes nothing.
DWORD LaunchEventViewer(const std::string& strComputer = "");

// The program named beside this program's own file (an installed bin
// folder), or in the build tree's tools/NAME folder, else the bare name for
// a PATH search.
std::string FindCompanionProgram(const std::string& strName);
