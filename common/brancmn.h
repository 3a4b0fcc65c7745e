#pragma once
// BranCmn, the common library: system log writing, small path helpers,
// platform tests and the registry wrapper (registry.h).
//
// The system log is the file named by the setting System/ErrorLog under
// HKEY_CURRENT_USER\Software\Brannick\Quorvil (DefaultSystemLogPath() while
// it is absent); System/ErrorLogEnabled 0 turns it off. Each line is written
// as "YYYY-MM-DD HH:MM:SS text" in local time with one locked append, so lines
// of several threads and processes never mix. The two settings are read from
// the user's hive on every call; that costs one stat() of the hive file while
// it is unchanged, so a changed setting takes effect at the next line.
// System/MaxLogSizeKB caps the system log and the audit files (lines written
// with a time stamp): a file that would grow past it is renamed to
// RotatedLogPath (platform/base/fileio.h, path + ".1"; the older copy goes)
// and begun again; 0 means no cap. They are written as the program itself,
// also while the thread is logged on as another account.
//
// Every function may be called from any thread. Paths may be UNC paths
// (\\COMPUTER\SHARE\...), which lead into the network's computer folders.
#include <string>

#include "common/registry.h"
#include "platform/base/win32types.h"

// $XDG_STATE_HOME/quorvil/quorvil.log: where the system log goes until
// System/ErrorLog names another file.
std::string DefaultSystemLogPath();

// The size cap's value under System and its default (10 MB).
inline constexpr const char* SYSTEM_LOG_MAX_KB_VALUE = "MaxLogSizeKB";
constexpr DWORD SYSTEM_LOG_DEFAULT_MAX_KB = 10240;

// Appends a time-stamped line to the system log. When the log cannot be
// written, the line goes to standard error once, with the reason, and FALSE
// is returned; the caller goes on. A trailing line break of text is dropped.
BOOL LogError(const char* text);
// A diagnostic line: to standard error when that is a terminal, else to the
// system log.
BOOL LogDiagnostics(const char* text);
// Writes the calling thread's last error, with its text, to the system log.
BOOL LogLastError();
// Appends one line to the file, creating the file and its folder if needed.
// A nonzero flag puts the time stamp of system log lines before the text (for
// audit and progress lines); 0 writes the text as it is (for marks that the
// user writes into a log). Nonzero on success, 0 with the last error set.
int LogToFile(const char* path, const char* text, int flag);
// Deletes a log file (the system log or an audit file, whose path may be
// UNC), as the program itself. Nonzero on success, 0 with the last error set.
BOOL DeleteLogFile(const char* path);

// Writes the folder part of path, with its trailing separator, into out (a
// buffer of MAX_PATH characters); "" when path has no folder part. Both '/'
// and the '\' of UNC and Windows paths separate.
void JustPathname(char* out, const char* path);
// The file-name part of path (a pointer into path).
const char* JustFilename(const char* path);
// Removes the trailing characters equal to ch, in place; returns text.
char* RTrim(char* text, int ch);
// Nonzero when a file or folder of that name exists.
BOOL FileExists(const char* path);
// The free space of the file system holding root, as "12,345 MB free"; ""
// when root cannot be examined.
std::string GetFreeDiskSpaceAsString(const char* root);

// Platform tests: the platform layer offers the NT services (event logs,
// accounts, impersonation), and the XP-level ones.
BOOL IsWinNT();
BOOL IsXP();
