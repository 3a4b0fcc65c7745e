#pragma once
// A logon service that keeps each thread's identity and counts open tokens,
// to see which account a thread acts as and that every token is closed.
#include "core/logon.h"
#include "testing.h"

class CThreadIdentityLogon final : public ILogonService {
public:
    bool LogonUser(const std::string& user, const std::string&, const std::string&, HANDLE* token,
                   DWORD*) override
    {
        std::lock_guard lock(m_mutex);
        ++m_nOpen;
        *token = new std::string(user);
        return true;
    }
    bool Impersonate(HANDLE token, DWORD*) override
    {
        t_identity = *static_cast<std::string*>(token);
        return true;
    }
    void RevertToSelf() override { t_identity.clear(); }
    void CloseToken(HANDLE token) override
    {
        std::lock_guard lock(m_mutex);
        --m_nOpen;
        delete static_cast<std::string*>(token);
    }
    int OpenTokens()
    {
        std::lock_guard lock(m_mutex);
        return m_nOpen;
    }
    static std::string Identity() { return t_identity; }

private:
    static inline thread_local std::string t_identity;
    std::mutex m_mutex;
    int m_nOpen = 0;
};
