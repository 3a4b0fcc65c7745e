#include "app/launchers.h"

#include <filesystem>

#include <unistd.h>

#include "app/version.h"
#include "core/frontend.h"
#include "platform/base/win32error.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasklib/process.h"

namespace {

// Starts the program without waiting; ERROR_SUCCESS or the reason it did
// not start.
DWORD Start(std::vector<std::string> args, const std::string& strDirectory)
{
    CProcessRequest request;
    request.arrArgs = std::move(args);
    request.strDirectory = strDirectory;
    const std::string label = request.arrArgs.empty() ? "" : request.arrArgs.front();
    CProcessResult result = RunProcess(request, "Launched program " + label);
    return result.bStarted ? ERROR_SUCCESS : Win32ErrorFromErrno(result.nErrno);
}

BOOL Report(DWORD dwError)
{
    if (dwError == ERROR_SUCCESS)
        return TRUE;
    SetLastError(dwError);
    WriteSystemLogF("Launch error: %u, %08X", static_cast<unsigned>(dwError),
                    static_cast<unsigned>(dwError));
    return FALSE;
}

} // namespace

BOOL LaunchEditor(const std::string& strPath)
{
    auto words = SplitCommandLine(AppSettings::GetTextEditor() + " " + strPath);
    if (!words || words->empty())
        return Report(ERROR_INVALID_PARAMETER);
    return Report(Start(std::move(*words), ""));
}

BOOL LaunchExplorer(const std::string& strFolder)
{
    return Report(Start({"xdg-open", strFolder}, strFolder));
}

BOOL LaunchCommandBox(const std::string& strFolder)
{
    if (strFolder.size() < 2) {
        GetFrontEnd().MessageBox("The path you specified is not in a recognised format.", MB_OK);
        return FALSE;
    }
    if (strFolder[0] == '\\') {
        GetFrontEnd().MessageBox("UNC paths are not allowed for command boxes!", MB_OK);
        return FALSE;
    }
    return Report(Start({"x-terminal-emulator"}, strFolder));
}

DWORD LaunchEventViewer(const std::string& strComputer)
{
    // The viewer lists every log of the computer, newest records last, in a
    // pager so that the terminal stays open.
    static const char* const script =
        "\"$0\" logs -c \"$1\" | while read -r log; do echo \"== $log\"; "
        "\"$0\" read -c \"$1\" -l \"$log\"; done | ${PAGER:-less}";
    return Start({"x-terminal-emulator", "-e", "sh", "-c", script, FindCompanionProgram("qvevent"),
                  strComputer},
                 "");
}

std::string FindCompanionProgram(const std::string& strName)
{
    const std::string self = GetProgramFilePath();
    if (!self.empty()) {
        const std::string folder = std::filesystem::path(self).parent_path().string();
        for (const std::string& candidate :
             {folder + "/" + strName, folder + "/../../tools/" + strName + "/" + strName}) {
            if (::access(candidate.c_str(), X_OK) == 0)
                return std::filesystem::path(candidate).lexically_normal().string();
        }
    }
    return strName;
}
