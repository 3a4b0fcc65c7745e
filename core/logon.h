#pragma once
// The logon service through which a monitored log scans under another
// account. The real service (PAM logon and per-thread impersonation) is
// installed at start-up; until then every logon fails with "not supported",
// so a log configured to impersonate reports an error instead of silently
// reading as the wrong user.
#include <string>

#include "platform/base/win32types.h"

class ILogonService {
public:
    virtual ~ILogonService() = default;
    // Logs the account on; on success stores a token and returns true, on
    // failure returns false with the Win32 error code in *error.
    virtual bool LogonUser(const std::string& user, const std::string& domain,
                           const std::string& password, HANDLE* token, DWORD* error) = 0;
    // Makes the calling thread act as the token's account.
    virtual bool Impersonate(HANDLE token, DWORD* error) = 0;
    // Returns the calling thread to its own identity.
    virtual void RevertToSelf() = 0;
    virtual void CloseToken(HANDLE token) = 0;
};

// The installed service (never null). Installed once at start-up, before
// the scan thread runs; the caller keeps it alive.
ILogonService& GetLogonService();
void SetLogonService(ILogonService* service);
