#pragma once
// Logon, impersonation and process privileges.
//
// LogonUserA checks a password with PAM (service "quorvil", installed from
// data/pam/quorvil) and returns a token holding the account's uid, gid and
// groups. ImpersonateLoggedOnUser switches only the calling thread's
// file-system identity: fsuid and fsgid (setfsuid/setfsgid act per thread)
// and the supplementary groups through the raw setgroups system call (glibc's
// setgroups() would change every thread of the process). RevertToSelf gives
// the thread back the process's effective ids and the groups it had. The
// process needs CAP_SETUID and CAP_SETGID to impersonate another account.
// Unlike on Windows, a thread started while impersonating inherits the
// identity.
//
// Tokens are owned by the caller and released with CloseHandle. Any thread
// may call these functions; a token may be used by several threads.
// Failures set the Win32 last error.
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/base/win32types.h"

constexpr DWORD LOGON32_LOGON_INTERACTIVE = 2;
constexpr DWORD LOGON32_LOGON_NETWORK = 3;
constexpr DWORD LOGON32_LOGON_BATCH = 4;
constexpr DWORD LOGON32_LOGON_SERVICE = 5;
constexpr DWORD LOGON32_LOGON_NETWORK_CLEARTEXT = 8;
constexpr DWORD LOGON32_LOGON_NEW_CREDENTIALS = 9;
constexpr DWORD LOGON32_PROVIDER_DEFAULT = 0;

// LogonUserA: the domain is ignored when empty, "." or the local computer's
// name; any other domain is passed to PAM as "DOMAIN\user" (for winbind).
// A wrong password or an unknown account fails with ERROR_LOGON_FAILURE;
// PAM's account verdicts map to 1793 (expired), 1330 (password expired),
// 1331 (disabled, locked), 1311 (no authentication service reachable).
BOOL LogonUserA(const char* user, const char* domain, const char* password, DWORD logonType,
                DWORD logonProvider, HANDLE* token);

// Switches the calling thread to the token's account. Fails with
// ERROR_PRIVILEGE_NOT_HELD when the process may not take that identity.
BOOL ImpersonateLoggedOnUser(HANDLE token);
// Ends the calling thread's impersonation; succeeds when there is none.
BOOL RevertToSelf();
// Releases a token from LogonUserA or OpenProcessToken. Other handles fail
// with ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE handle);

// What a token holds.
struct CTokenIdentity {
    std::string m_strUser;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::vector<gid_t> m_groups;
};
bool GetTokenIdentity(HANDLE token, CTokenIdentity& identity);

// Process privileges. SeSecurityPrivilege stands for CAP_DAC_READ_SEARCH
// (reading every log), SeTcbPrivilege for CAP_SETUID and CAP_SETGID (taking
// other accounts' identities). Enabling raises the capabilities into the
// calling thread's effective set, so it is done at start-up before other
// threads exist (they inherit it).
struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};

constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr const char* SE_TCB_NAME = "SeTcbPrivilege";
inline constexpr const char* SE_SECURITY_NAME = "SeSecurityPrivilege";

// The pseudo handle of the calling process.
HANDLE GetCurrentProcess();
// A token for the process's own identity.
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);
// The LUID of a privilege name (case-insensitive); ERROR_NO_SUCH_PRIVILEGE
// for an unknown one.
BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid);
// Enables or disables the listed privileges of a process token. Succeeds
// with last error ERROR_NOT_ALL_ASSIGNED when a privilege's capabilities are
// not in the process's permitted set, ERROR_SUCCESS otherwise. `previous` is
// not filled (callers pass null).
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previous, DWORD* returnLength);
