#include "workspace/workspacefile.h"

#include <optional>

#include <sys/stat.h>

#include "common/brancmn.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "workspace/storedvalues.h"

namespace {

// The file error cause (CFileException) that stands for a Win32 error.
int FileErrorCause(DWORD dwError)
{
    switch (dwError) {
    case ERROR_SUCCESS:
        return CFileException::none;
    case ERROR_FILE_NOT_FOUND:
        return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
        return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE:
        return CFileException::invalidFile;
    case ERROR_SHARING_VIOLATION:
        return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return CFileException::diskFull;
    case ERROR_HANDLE_EOF:
        return CFileException::endOfFile;
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return CFileException::hardIO;
    default:
        return CFileException::generic;
    }
}

// Writes the bytes over the file at path atomically. A new file gets
// newMode (owner only unless told: workspaces hold passwords).
bool WriteBytes(const std::string& path, const std::string& bytes, mode_t newMode = 0600)
{
    std::optional<std::string> local = MapNetworkPath(path);
    return local && AtomicWriteFile(*local, bytes, newMode);
}

// The manager as a complete workspace file; throws CException.
std::string StoreManager(CMonManager* pManager)
{
    // No scan starts while the logs are written. One that is running goes
    // on: waiting for it could deadlock with a task message that waits for
    // this thread. Its log's read position may then be one scan behind, which
    // the save that follows its change request corrects.
    CScanPause pause(pManager);
    return StoreObjectToBytes(pManager);
}

std::string TrimSpace(const std::string& text)
{
    const char* space = " \t\r\n\v\f";
    std::size_t begin = text.find_first_not_of(space);
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

// The folder part of a path with its separator ('/' or '\'), and the file
// name without its last extension.
void SplitPath(const std::string& path, std::string& folder, std::string& base)
{
    std::size_t slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (std::size_t dot = base.rfind('.'); dot != std::string::npos)
        base.erase(dot);
}

std::string ErrorText(DWORD dwError)
{
    std::string text = GetSystemErrorText(dwError);
    return text.empty() ? "Error " + std::to_string(dwError) : text;
}

} // namespace

std::unique_ptr<CMonManager> ReadManager(CArchive& ar)
{
    std::unique_ptr<CMonManager> pManager = ar.ReadObjectAs<CMonManager>();
    if (!pManager)
        ar.Fail(CArchiveException::badClass, "the file holds no workspace");
    if (const QWORD nLeft = ar.GetRemaining(); nLeft > 0)
        ar.Fail(CArchiveException::generic, std::to_string(nLeft) + " bytes after the workspace");
    return pManager;
}

std::unique_ptr<CMonManager> ReadWorkspaceFile(const std::string& path, std::string& strError)
{
    std::optional<std::string> local = MapNetworkPath(path);
    std::optional<std::string> bytes = local ? ReadFileBytes(*local) : std::nullopt;
    if (!bytes) {
        struct stat st {};
        const bool bFolder = local && ::stat(local->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        strError = "Failed to open document " + path + ":\n" +
                   (bFolder ? "it is a folder, not a workspace file" : ErrorText(GetLastError()));
        return nullptr;
    }
    try {
        CMemFile file(*bytes);
        file.SetFilePath(path); // damage is reported as qvws check reports it
        CArchive ar(&file, CArchive::load);
        std::unique_ptr<CMonManager> pManager = ReadManager(ar);
        for (const CStoredValueProblem& problem : FindStoredValueProblems(*pManager))
            WriteSystemLog(("Workspace " + path + ": " + DescribeStoredValueProblem(problem) +
                            "; " + StoredValueAdvice(path))
                               .c_str());
        return pManager;
    } catch (const CException& e) {
        strError = "Unexpected file format in " + path + ":\n" + e.what();
        return nullptr;
    }
}

bool WriteWorkspaceFile(CMonManager* pManager, const std::string& path, std::string& strError)
{
    std::string bytes;
    try {
        bytes = StoreManager(pManager);
    } catch (const CException& e) {
        strError = "Failed to save document " + path + ":\n" + e.what();
        return false;
    }
    if (!WriteBytes(path, bytes)) {
        strError = "Failed to save document " + path + ":\n" + ErrorText(GetLastError());
        return false;
    }
    return true;
}

bool AutoSaveWorkspaceFile(CMonManager& manager, const std::string& path)
{
    bool bWritten = false;
    try {
        std::string bytes = StoreManager(&manager);
        bWritten = WriteBytes(path, bytes);
        if (!bWritten)
            WriteSystemLogF("File %s could not be opened during save: %d", path.c_str(),
                            FileErrorCause(GetLastError()));
    } catch (const std::exception&) {
        WriteSystemLogF("Error saving backup: %d", static_cast<int>(GetLastError()));
    }
    return bWritten;
}

std::string WorkspaceBackupPath(const std::string& path)
{
    std::string folder;
    std::string base;
    SplitPath(path, folder, base);
    std::string dir = TrimSpace(AppSettings::GetAutoBackupDir());
    if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    return (!dir.empty() && FileExists(dir.c_str())) ? dir + "/" + base + ".bak"
                                                     : folder + base + ".bak";
}

void BackupWorkspaceFile(const std::string& path)
{
    if (!AppSettings::GetAutoBackup())
        return;
    try {
        const std::string backup = WorkspaceBackupPath(path);
        std::optional<std::string> source = MapNetworkPath(path);
        struct stat st {};
        if (path.empty() || !source || ::stat(source->c_str(), &st) != 0 || st.st_size <= 0)
            return;
        std::optional<std::string> bytes = ReadFileBytes(*source);
        if (!bytes ||
            !WriteBytes(backup, *bytes, st.st_mode & 0777)) // the backup holds passwords too
            LogLastError();
    } catch (const std::exception&) {
        WriteSystemLogF("Error creating backup: %d", static_cast<int>(GetLastError()));
    }
}

std::string WorkspaceFileStamp(const std::string& path)
{
    std::optional<std::string> local = MapNetworkPath(path);
    struct stat st {};
    if (!local || ::stat(local->c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}
