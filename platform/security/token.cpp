#include "platform/security/token.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

// A token: the identity of a logged-on account or of the process.
struct CToken {
    CTokenIdentity m_identity;
    bool m_bProcess = false;
};

std::mutex g_tokenMutex;
std::unordered_set<CToken*> g_tokens; // live tokens, guarded by g_tokenMutex

HANDLE AddToken(std::unique_ptr<CToken> token)
{
    std::lock_guard<std::mutex> lock(g_tokenMutex);
    CToken* raw = token.release();
    g_tokens.insert(raw);
    return raw;
}

// A copy of a live token, so no lock is held while it is used.
bool FindToken(HANDLE handle, CToken& out)
{
    std::lock_guard<std::mutex> lock(g_tokenMutex);
    auto it = g_tokens.find(static_cast<CToken*>(handle));
    if (it == g_tokens.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    out = **it;
    return true;
}

bool FillIdentity(const char* user, CTokenIdentity& identity)
{
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwnam_r(user, &pw, buffer.data(), buffer.size(), &result) != 0 || !result)
        return false;
    identity.m_strUser = pw.pw_name;
    identity.m_uid = pw.pw_uid;
    identity.m_gid = pw.pw_gid;
    int count = 64;
    identity.m_groups.resize(static_cast<std::size_t>(count));
    while (::getgrouplist(pw.pw_name, pw.pw_gid, identity.m_groups.data(), &count) < 0)
        identity.m_groups.resize(static_cast<std::size_t>(count));
    identity.m_groups.resize(static_cast<std::size_t>(count));
    return true;
}

// The PAM conversation: the password for every hidden prompt, the user name
// for a visible one, nothing for messages.
struct CConversationData {
    const char* user;
    const char* password;
};

int Converse(int count, const pam_message** messages, pam_response** responses, void* appdata)
{
    auto* data = static_cast<CConversationData*>(appdata);
    auto* replies = static_cast<pam_response*>(
        std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const char* answer = nullptr;
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF)
            answer = data->password;
        else if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON)
            answer = data->user;
        if (answer && !(replies[i].resp = ::strdup(answer))) {
            for (int j = 0; j < i; ++j)
                std::free(replies[j].resp);
            std::free(replies);
            return PAM_BUF_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

// A failed logon answers at once: a scan must not stall for PAM's delay.
void NoFailDelay(int, unsigned, void*) {}

DWORD PamError(int status)
{
    switch (status) {
    case PAM_ACCT_EXPIRED:
        return ERROR_ACCOUNT_EXPIRED;
    case PAM_NEW_AUTHTOK_REQD:
    case PAM_AUTHTOK_EXPIRED:
        return ERROR_PASSWORD_EXPIRED;
    case PAM_PERM_DENIED:
        return ERROR_ACCOUNT_DISABLED;
    case PAM_MAXTRIES:
        return ERROR_ACCOUNT_LOCKED_OUT;
    case PAM_AUTHINFO_UNAVAIL:
        return ERROR_NO_LOGON_SERVERS;
    default:
        return ERROR_LOGON_FAILURE;
    }
}

bool EqualNoCase(const char* a, const std::string& b)
{
    return ::strcasecmp(a, b.c_str()) == 0;
}

// The calling thread's state of impersonation.
struct CThreadIdentity {
    bool m_bImpersonating = false;
    std::vector<gid_t> m_savedGroups;
};
thread_local CThreadIdentity g_threadIdentity;

std::vector<gid_t> CurrentGroups()
{
    int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0)
        groups.resize(static_cast<std::size_t>(::getgroups(count, groups.data())));
    return groups;
}

// Per-thread supplementary groups (glibc's setgroups() changes all threads).
bool SetThreadGroups(const std::vector<gid_t>& groups)
{
    return ::syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

// setfsuid/setfsgid report the previous id; an invalid id reads the current one.
bool SetThreadFsIds(uid_t uid, gid_t gid)
{
    ::setfsgid(gid);
    ::setfsuid(uid);
    return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == uid &&
           static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == gid;
}

bool SameGroups(std::vector<gid_t> a, std::vector<gid_t> b)
{
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
    b.erase(std::unique(b.begin(), b.end()), b.end());
    return a == b;
}

// Privileges and the capabilities they stand for.
struct CPrivilege {
    const char* name;
    DWORD luid;
    std::uint64_t caps;
};
constexpr std::uint64_t Cap(int cap)
{
    return std::uint64_t{1} << cap;
}
const CPrivilege g_privileges[] = {
    {"SeTcbPrivilege", 7, Cap(CAP_SETUID) | Cap(CAP_SETGID)},
    {"SeSecurityPrivilege", 8, Cap(CAP_DAC_READ_SEARCH)},
};

bool GetCaps(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

std::uint64_t Join(DWORD low, DWORD high)
{
    return std::uint64_t{high} << 32 | low;
}

} // namespace

BOOL LogonUserA(const char* user, const char* domain, const char* password, DWORD logonType,
                DWORD logonProvider, HANDLE* token)
{
    if (token)
        *token = nullptr;
    if (!user || !*user || !token || logonProvider > 3 || logonType < LOGON32_LOGON_INTERACTIVE ||
        logonType > LOGON32_LOGON_NEW_CREDENTIALS || logonType == 6 || logonType == 7) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string account = user;
    if (domain && *domain && std::strcmp(domain, ".") != 0 &&
        !EqualNoCase(domain, GetLocalComputerName()))
        account = std::string(domain) + "\\" + user;

    CConversationData data{account.c_str(), password ? password : ""};
    pam_conv conversation{Converse, &data};
    pam_handle_t* pam = nullptr;
    int status = ::pam_start("quorvil", account.c_str(), &conversation, &pam);
    if (status != PAM_SUCCESS) {
        SetLastError(ERROR_NO_LOGON_SERVERS);
        return FALSE;
    }
    ::pam_set_item(pam, PAM_FAIL_DELAY, reinterpret_cast<const void*>(&NoFailDelay));
    status = ::pam_authenticate(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (status == PAM_SUCCESS)
        status = ::pam_acct_mgmt(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    // A module may have mapped the name (winbind "DOMAIN\user" to the local one).
    std::string pamUser = account;
    const void* item = nullptr;
    if (status == PAM_SUCCESS && ::pam_get_item(pam, PAM_USER, &item) == PAM_SUCCESS && item)
        pamUser = static_cast<const char*>(item);
    ::pam_end(pam, status);
    if (status != PAM_SUCCESS) {
        SetLastError(PamError(status));
        return FALSE;
    }
    auto created = std::make_unique<CToken>();
    if (!FillIdentity(pamUser.c_str(), created->m_identity)) {
        SetLastError(ERROR_LOGON_FAILURE);
        return FALSE;
    }
    *token = AddToken(std::move(created));
    return TRUE;
}

BOOL ImpersonateLoggedOnUser(HANDLE handle)
{
    CToken token;
    if (!FindToken(handle, token))
        return FALSE;
    const CTokenIdentity& id = token.m_identity;
    if (!g_threadIdentity.m_bImpersonating)
        g_threadIdentity.m_savedGroups = CurrentGroups();
    // Without CAP_SETGID a process can only keep the groups it has, which is
    // enough to "impersonate" its own account.
    bool ok = SameGroups(CurrentGroups(), id.m_groups) || SetThreadGroups(id.m_groups);
    ok = ok && SetThreadFsIds(id.m_uid, id.m_gid);
    if (!ok) {
        SetThreadFsIds(::geteuid(), ::getegid());
        SetThreadGroups(g_threadIdentity.m_savedGroups);
        g_threadIdentity.m_bImpersonating = false;
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    g_threadIdentity.m_bImpersonating = true;
    return TRUE;
}

BOOL RevertToSelf()
{
    if (!g_threadIdentity.m_bImpersonating)
        return TRUE;
    bool ok = SetThreadFsIds(::geteuid(), ::getegid());
    ok = (SameGroups(CurrentGroups(), g_threadIdentity.m_savedGroups) ||
          SetThreadGroups(g_threadIdentity.m_savedGroups)) &&
         ok;
    g_threadIdentity.m_bImpersonating = false;
    if (!ok) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(g_tokenMutex);
    auto it = g_tokens.find(static_cast<CToken*>(handle));
    if (it == g_tokens.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete *it;
    g_tokens.erase(it);
    return TRUE;
}

bool GetTokenIdentity(HANDLE handle, CTokenIdentity& identity)
{
    CToken token;
    if (!FindToken(handle, token))
        return false;
    identity = token.m_identity;
    return true;
}

HANDLE GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

BOOL OpenProcessToken(HANDLE process, DWORD /*desiredAccess*/, HANDLE* token)
{
    if (!token || process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto created = std::make_unique<CToken>();
    created->m_bProcess = true;
    CTokenIdentity& id = created->m_identity;
    id.m_uid = ::geteuid();
    id.m_gid = ::getegid();
    id.m_groups = CurrentGroups();
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(id.m_uid, &pw, buffer.data(), buffer.size(), &result) == 0 && result)
        id.m_strUser = pw.pw_name;
    *token = AddToken(std::move(created));
    return TRUE;
}

BOOL LookupPrivilegeValueA(const char* /*systemName*/, const char* name, LUID* luid)
{
    if (!name || !luid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const CPrivilege& privilege : g_privileges) {
        if (::strcasecmp(name, privilege.name) == 0) {
            *luid = LUID{privilege.luid, 0};
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL AdjustTokenPrivileges(HANDLE handle, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                           DWORD /*bufferLength*/, TOKEN_PRIVILEGES* /*previous*/,
                           DWORD* returnLength)
{
    CToken token;
    if (!FindToken(handle, token))
        return FALSE;
    if (!disableAll && !newState) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::uint64_t enable = 0;
    std::uint64_t disable = 0;
    if (disableAll) {
        for (const CPrivilege& privilege : g_privileges)
            disable |= privilege.caps;
    } else {
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
            const CPrivilege* found = nullptr;
            for (const CPrivilege& privilege : g_privileges) {
                if (entry.Luid.HighPart == 0 && entry.Luid.LowPart == privilege.luid)
                    found = &privilege;
            }
            if (!found) {
                SetLastError(ERROR_NO_SUCH_PRIVILEGE);
                return FALSE;
            }
            ((entry.Attributes & SE_PRIVILEGE_ENABLED) ? enable : disable) |= found->caps;
        }
    }
    if (returnLength)
        *returnLength = 0;
    // A logon token carries no capabilities of its own: nothing to change.
    if (!token.m_bProcess) {
        SetLastError(enable ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
        return TRUE;
    }
    __user_cap_data_struct caps[2] = {};
    if (!GetCaps(caps)) {
        SetLastErrorFromErrno();
        return FALSE;
    }
    std::uint64_t permitted = Join(caps[0].permitted, caps[1].permitted);
    std::uint64_t effective = Join(caps[0].effective, caps[1].effective);
    std::uint64_t granted = enable & permitted;
    std::uint64_t wanted = (effective | granted) & ~disable;
    if (wanted != effective) {
        caps[0].effective = static_cast<DWORD>(wanted);
        caps[1].effective = static_cast<DWORD>(wanted >> 32);
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capset, &header, caps) != 0) {
            SetLastErrorFromErrno();
            return FALSE;
        }
    }
    SetLastError(granted == enable ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
