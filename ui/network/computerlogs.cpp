#include "ui/network/computerlogs.h"

#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "platform/registry/winreg.h"

namespace {

constexpr const char* EVENTLOG_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog";

// Closes a registry handle when it goes out of scope.
class CKeyGuard {
public:
    CKeyGuard() = default;
    ~CKeyGuard()
    {
        if (m_hKey != HKEY{})
            RegCloseKey(m_hKey);
    }
    CKeyGuard(const CKeyGuard&) = delete;
    CKeyGuard& operator=(const CKeyGuard&) = delete;
    HKEY* operator&() { return &m_hKey; }
    HKEY get() const { return m_hKey; }

private:
    HKEY m_hKey{};
};

} // namespace

CComputerLogs ReadComputerLogs(const std::string& strComputer)
{
    CComputerLogs result;
    char local[200] = {};
    DWORD size = sizeof(local);
    if (!GetComputerNameA(local, &size))
        local[0] = 0;
    // Only the exact local name uses the local registry; any other spelling
    // goes the way of a remote computer.
    const std::string machine = strComputer == local ? std::string() : "\\\\" + strComputer;

    CKeyGuard hRoot;
    LONG err = RegConnectRegistryA(machine.empty() ? nullptr : machine.c_str(), HKEY_LOCAL_MACHINE,
                                   &hRoot);
    if (err != ERROR_SUCCESS) {
        result.m_strError =
            FormatString("Computer: %s\n\nError %u during connect:\n", strComputer.c_str(),
                         static_cast<unsigned>(err)) +
            GetSystemErrorText(static_cast<DWORD>(err)) +
            "\nMake sure this computer is on the network, has remote administration enabled, \n"
            "and that both computers are running the remote registry service.\n\nIs this a Windows "
            "NT machine?";
        return result;
    }
    CKeyGuard hKey;
    err = RegOpenKeyExA(hRoot.get(), EVENTLOG_KEY, 0, KEY_READ, &hKey);
    if (err != ERROR_SUCCESS) {
        result.m_strError =
            FormatString("Computer: %s\nUnable to read key:\n\n%s\n, Error = %u:\n",
                         strComputer.c_str(), EVENTLOG_KEY, static_cast<unsigned>(err)) +
            GetSystemErrorText(static_cast<DWORD>(err));
        return result;
    }
    for (DWORD index = 0;; ++index) {
        char name[80] = {};
        DWORD cch = sizeof(name);
        if (RegEnumKeyExA(hKey.get(), index, name, &cch, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        result.m_arrLogs.emplace_back(name, cch);
    }
    result.m_bOk = true;
    return result;
}
