#pragma once
// The program's command line: quorvil [workspace.qvw] [/h] [/s:script.qvs]
// [--headless] [--once] [--yes] [--help] [--version].
//
// Switches start with "/" or "-"; the program's own are "h" (start hidden,
// compared with letter case) and "s:FILE" (run a script, any letter case, the
// file name taken lower-cased). The framework's own switch "nologo" turns the
// splash window off, and "s:" without a file name is ignored. A parameter
// that starts with "/" is a path, not a switch, unless it reads "s:..." or
// is one word without "/" and "." (so /h is the switch and /srv/w.qvw a
// workspace). Long options start with "--"; an unknown one is an error.
// Anything else that starts like a switch is ignored with a warning; a
// second workspace name is an error.
// "/H" in capitals is not the hide switch and is ignored like any other.
//
// Main thread, at start-up.
#include <string>
#include <vector>

#include "platform/base/win32types.h"

class CQuorvilCommandLineInfo {
public:
    enum { FileNew = 0, FileOpen = 1 };

    // One parameter with its switch character stripped (bFlag) or a plain
    // one. An unknown switch adds a warning; a surplus parameter sets
    // m_strError.
    void ParseParam(const char* param, BOOL bFlag, BOOL bLast);

    // The framework's part.
    int m_nShellCommand = FileNew;
    std::string m_strFileName;
    BOOL m_bShowSplash = TRUE;

    // The program's switches.
    BOOL m_bHideWindow = 0;
    BOOL m_bRunScript = 0;
    std::string m_strScriptFile;  // lower-cased
    std::string m_strScriptGiven; // as typed

    // The long options.
    bool m_bHeadless = false;
    bool m_bOnce = false;
    bool m_bYes = false;
    bool m_bHelp = false;
    bool m_bVersion = false;
    // --metrics-file PATH (app/metrics.h); empty: the setting's.
    std::string m_strMetricsFile;

    // The first error, as one line for standard error; empty when none.
    std::string m_strError;
    // The switches ignored, one line each.
    std::vector<std::string> m_arrWarnings;

private:
    void ParseParamFlag(const std::string& param);
    void ParseParamNotFlag(const std::string& param);
    void SetError(const std::string& error);
};

// Parses the arguments (without the program name). False, with m_strError
// set, when they name two workspaces. Each ignored switch is written to
// standard error as "quorvil: warning: ..." and kept in m_arrWarnings.
bool ParseCommandLine(const std::vector<std::string>& args, CQuorvilCommandLineInfo& info);

// The script file to open: the lower-cased name of the switch when that
// file exists, else the name as typed (file names on Linux keep their case).
std::string ResolveScriptFile(const CQuorvilCommandLineInfo& info);

// The text of --help.
std::string GetUsageText();
