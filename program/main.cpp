// quorvil: the program. Parses the command line, then opens the main window
// when the build has the desktop front end and a display is there, and
// otherwise runs without a window (also with --headless, --once or a
// script run, /s:).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "app/display.h"
#include "app/headless.h"
#include "app/service.h"
#include "app/startup.h"
#include "app/version.h"
#include "core/monmanager.h"
#include "quorvil_version.h"
#include "settings/appsettings.h"
#ifdef QUORVIL_DESKTOP
#include "ui/main/qtapp.h"
#endif

namespace {

// A scan thread that missed its time-out may still use process-wide
// objects, so the program then ends without destroying them.
int EndProgram(int status)
{
    if (IsScanThreadAbandoned()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // Line by line, so that a reader of a pipe sees each line as it comes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // Under systemd the system log's lines go to the journal as well.
    CopySystemLogToJournal();

    CQuorvilCommandLineInfo cmdInfo;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), cmdInfo)) {
        std::fprintf(stderr, "quorvil: %s (see quorvil --help)\n", cmdInfo.m_strError.c_str());
        return 2;
    }
    if (cmdInfo.m_bHelp) {
        std::fputs(GetUsageText().c_str(), stdout);
        return 0;
    }
    if (cmdInfo.m_bVersion) {
        std::printf("quorvil %s (Quorvil %s, build %s)\n", QUORVIL_VERSION_STRING,
                    GetProgramVersion().c_str(), QUORVIL_BUILD_STRING);
        return 0;
    }

#ifdef QUORVIL_DESKTOP
    if (HaveDisplay() && !cmdInfo.m_bHeadless && !cmdInfo.m_bOnce &&
        !(cmdInfo.m_bRunScript && !cmdInfo.m_strFileName.empty())) {
        std::string reason;
        if (CanOpenDisplay(&reason))
            return EndProgram(RunDesktop(cmdInfo, argc, argv));
        std::fprintf(stderr, "quorvil: %s; running without a window\n", reason.c_str());
    }
#endif
    CQuorvilApp app(cmdInfo);
    CHeadlessFrontEnd frontEnd(app);
    int status = 0;
    if (app.InitInstance())
        status = cmdInfo.m_bOnce ? frontEnd.RunOnce() : frontEnd.Run();
    else if (app.m_nExitCode == 3)
        std::fprintf(stderr,
                     "quorvil: %s is being scanned by process %ld; not starting a second scanner\n",
                     cmdInfo.m_strFileName.c_str(), app.GetDocument().GetLockHolder());
    else if (app.m_nExitCode != 0 && !app.m_strFailure.empty())
        std::fprintf(stderr, "quorvil: %s\n", app.m_strFailure.c_str());
    else if (app.m_nExitCode != 0)
        std::fprintf(stderr, "quorvil: %s failed; the system log %s says why\n",
                     cmdInfo.m_bRunScript ? "the script run" : "opening the workspace",
                     AppSettings::GetErrorLogPath().c_str());
    const int exitStatus = app.ExitInstance();
    return EndProgram(status != 0 ? status : exitStatus);
}
