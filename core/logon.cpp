#include "core/logon.h"

#include <atomic>

#include "platform/base/win32error.h"

namespace {

class CNoLogonService final : public ILogonService {
public:
    bool LogonUser(const std::string&, const std::string&, const std::string&, HANDLE* token,
                   DWORD* error) override
    {
        *token = nullptr;
        *error = ERROR_NOT_SUPPORTED;
        return false;
    }
    bool Impersonate(HANDLE, DWORD* error) override
    {
        *error = ERROR_NOT_SUPPORTED;
        return false;
    }
    void RevertToSelf() override {}
    void CloseToken(HANDLE) override {}
};

CNoLogonService g_noLogon;
std::atomic<ILogonService*> g_pLogon{&g_noLogon};

} // namespace

ILogonService& GetLogonService()
{
    return *g_pLogon.load();
}

void SetLogonService(ILogonService* service)
{
    g_pLogon.store(service ? service : &g_noLogon);
}
