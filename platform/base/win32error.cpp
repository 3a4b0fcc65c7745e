#include "platform/base/win32error.h"

#include <cerrno>
#include <unordered_map>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

const std::unordered_map<DWORD, const char*>& ErrorTexts()
{
    static const std::unordered_map<DWORD, const char*> texts = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {13, "The data is invalid."},
        {14, "Not enough memory resources are available to complete this operation."},
        {29, "The system cannot write to the specified device."},
        {30, "The system cannot read from the specified device."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33, "The process cannot access the file because another process has locked a portion of "
             "the file."},
        {38, "Reached the end of the file."},
        {39, "The disk is full."},
        {50, "The request is not supported."},
        {53, "The network path was not found."},
        {67, "The network name cannot be found."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {109, "The pipe has been ended."},
        {110, "The system cannot open the device or file specified."},
        {111, "The file name is too long."},
        {112, "There is not enough space on the disk."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {126, "The specified module could not be found."},
        {131, "An attempt was made to move the file pointer before the beginning of the file."},
        {145, "The directory is not empty."},
        {161, "The specified path is invalid."},
        {170, "The requested resource is in use."},
        {183, "Cannot create a file when that file already exists."},
        {193, "%1 is not a valid Win32 application."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {258, "The wait operation timed out."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {317,
         "The system cannot find message text for message number 0x%1 in the message file for %2."},
        {998, "Invalid access to memory location."},
        {1008, "An attempt was made to reference a token that does not exist."},
        {1009, "The configuration registry database is corrupt."},
        {1010, "The configuration registry key is invalid."},
        {1011, "The configuration registry key could not be opened."},
        {1012, "The configuration registry key could not be read."},
        {1013, "The configuration registry key could not be written."},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
        {1060, "The specified service does not exist as an installed service."},
        {1062, "The service has not been started."},
        {1073, "The specified service already exists."},
        {1207, "Cannot enumerate a noncontainer."},
        {1208, "An extended error has occurred."},
        {1222, "The network is not present or not started."},
        {1300, "Not all privileges or groups referenced are assigned to the caller."},
        {1311, "There are currently no logon servers available to service the logon request."},
        {1313, "A specified privilege does not exist."},
        {1314, "A required privilege is not held by the client."},
        {1317, "The specified account does not exist."},
        {1326, "The user name or password is incorrect."},
        {1327, "Account restrictions are preventing this user from signing in. For example: blank "
               "passwords aren't allowed, sign-in times are limited, or a policy restriction has "
               "been enforced."},
        {1328, "Your account has time restrictions that keep you from signing in right now."},
        {1329, "This user isn't allowed to sign in to this computer."},
        {1330, "The password for this account has expired."},
        {1331, "This user can't sign in because this account is currently disabled."},
        {1332, "No mapping between account names and security IDs was done."},
        {1337, "The security ID structure is invalid."},
        {1355, "The specified domain either does not exist or could not be contacted."},
        {1385,
         "Logon failure: the user has not been granted the requested logon type at this computer."},
        {1460, "This operation returned because the timeout period expired."},
        {1500, "The event log file is corrupted."},
        {1501, "No event log file could be opened, so the event logging service did not start."},
        {1502, "The event log file is full."},
        {1503, "The event log file has changed between read operations."},
        {1722, "The RPC server is unavailable."},
        {1726, "The remote procedure call failed."},
        {1753, "There are no more endpoints available from the endpoint mapper."},
        {1793, "The user's account has expired."},
        {1812, "The specified image file did not contain a resource section."},
        {1813, "The specified resource type cannot be found in the image file."},
        {1814, "The specified resource name cannot be found in the image file."},
        {1815, "The specified resource language ID cannot be found in the image file."},
        {1909, "The referenced account is currently locked out and may not be logged on to."},
    };
    return texts;
}

} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}

std::string GetSystemErrorText(DWORD code)
{
    const auto& texts = ErrorTexts();
    auto it = texts.find(code);
    if (it == texts.end())
        return {};
    std::string text = it->second;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' ||
                             text.back() == '\t'))
        text.pop_back();
    return text;
}

DWORD Win32ErrorFromErrno(int err)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBUSY:
        return ERROR_BUSY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EAGAIN:
        return ERROR_LOCK_VIOLATION;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case ETIMEDOUT:
        return ERROR_TIMEOUT;
    case EIO:
        return ERROR_READ_FAULT;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

DWORD SetLastErrorFromErrno()
{
    DWORD code = Win32ErrorFromErrno(errno);
    SetLastError(code);
    return code;
}
