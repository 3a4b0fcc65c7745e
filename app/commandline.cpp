#include "app/commandline.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/brancmn.h"

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsSlashSwitch(const std::string& rest)
{
    if (Lower(rest.substr(0, 2)) == "s:")
        return true;
    return !rest.empty() && rest.find_first_of("/.") == std::string::npos;
}

} // namespace

void CQuorvilCommandLineInfo::SetError(const std::string& error)
{
    if (m_strError.empty())
        m_strError = error;
}

void CQuorvilCommandLineInfo::ParseParam(const char* param, BOOL bFlag, BOOL /*bLast*/)
{
    const std::string text = param ? param : "";
    if (!bFlag) {
        ParseParamNotFlag(text);
        return;
    }
    const std::string lower = Lower(text);
    if (text == "h") {
        m_bHideWindow = 1;
    } else if (lower.size() > 2 && lower.compare(0, 2, "s:") == 0) {
        m_bRunScript = 1;
        m_strScriptFile = lower.substr(2);
        m_strScriptGiven = text.substr(2);
    }
    // Every switch goes on to the framework's parser as well.
    ParseParamFlag(text);
}

void CQuorvilCommandLineInfo::ParseParamFlag(const std::string& param)
{
    const std::string lower = Lower(param);
    if (param == "h" || lower.compare(0, 2, "s:") == 0)
        return; // the program's own, or "s:" alone, which nothing takes
    if (lower == "nologo") {
        m_bShowSplash = FALSE;
        return;
    }
    m_arrWarnings.push_back("ignoring unknown option '" + param + "'");
}

void CQuorvilCommandLineInfo::ParseParamNotFlag(const std::string& param)
{
    if (!m_strFileName.empty()) {
        SetError("more than one workspace file: '" + m_strFileName + "' and '" + param + "'");
        return;
    }
    m_strFileName = param;
    m_nShellCommand = FileOpen;
}

bool ParseCommandLine(const std::vector<std::string>& args, CQuorvilCommandLineInfo& info)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const BOOL bLast = i + 1 == args.size();
        if (arg.compare(0, 2, "--") == 0) {
            if (arg == "--headless")
                info.m_bHeadless = true;
            else if (arg == "--once")
                info.m_bOnce = true;
            else if (arg == "--yes")
                info.m_bYes = true;
            else if (arg == "--help")
                info.m_bHelp = true;
            else if (arg == "--version")
                info.m_bVersion = true;
            else if (arg == "--metrics-file" && i + 1 < args.size())
                info.m_strMetricsFile = args[++i];
            else if (arg.rfind("--metrics-file=", 0) == 0)
                info.m_strMetricsFile = arg.substr(15);
            else if (arg == "--metrics-file" && info.m_strError.empty())
                info.m_strError = "--metrics-file needs a file name";
            else if (info.m_strError.empty())
                // A typo of a long option must not start the program as
                // something else (--onse would run it for ever).
                info.m_strError = "unknown option '" + arg + "'";
        } else if (arg.size() > 1 &&
                   (arg[0] == '-' || (arg[0] == '/' && IsSlashSwitch(arg.substr(1))))) {
            const std::size_t nWarnings = info.m_arrWarnings.size();
            info.ParseParam(arg.c_str() + 1, TRUE, bLast);
            if (info.m_arrWarnings.size() > nWarnings) // named as typed, with its switch character
                info.m_arrWarnings.back() = "ignoring unknown option '" + arg + "'";
        } else {
            info.ParseParam(arg.c_str(), FALSE, bLast);
        }
    }
    for (const std::string& warning : info.m_arrWarnings)
        std::fprintf(stderr, "quorvil: warning: %s\n", warning.c_str());
    return info.m_strError.empty();
}

std::string ResolveScriptFile(const CQuorvilCommandLineInfo& info)
{
    if (FileExists(info.m_strScriptFile.c_str()) || !FileExists(info.m_strScriptGiven.c_str()))
        return info.m_strScriptFile;
    return info.m_strScriptGiven;
}

std::string GetUsageText()
{
    return "Usage: quorvil [WORKSPACE.qvw] [/h] [/s:SCRIPT.qvs] [--headless] [--once] [--yes]\n"
           "               [--metrics-file PATH]\n"
           "       quorvil --help | --version\n"
           "\n"
           "Watches event logs and text log files and runs a task when an entry matches.\n"
           "\n"
           "  WORKSPACE.qvw   the workspace to open (else, when so configured, the last one)\n"
           "  /h              start with the main window hidden\n"
           "  /s:SCRIPT.qvs   run the script against WORKSPACE.qvw, save it and end\n"
           "  /nologo         no splash window\n"
           "  --headless      run without any window (chosen as well when no display can be "
           "opened)\n"
           "  --once          scan every enabled log one time, save what changed, and end\n"
           "  --yes           answer Yes where the program would ask a question\n"
           "  --metrics-file PATH  write the logs' state and counts in the Prometheus text\n"
           "                  format to PATH after each scan pass\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "Settings: $XDG_CONFIG_HOME/quorvil/HKCU.reg; system log: "
           "$XDG_STATE_HOME/quorvil/quorvil.log.\n"
           "SIGINT or SIGTERM stops scanning and ends the program; SIGHUP makes the program\n"
           "without a window read its workspace file again.\n";
}
