#include "common/registry.h"

#include <mutex>

#include "common/brancmn.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

// The hives made so far.
struct CHiveRegistry {
    std::mutex m_mutex; // guards the members below
    std::shared_ptr<CRegHive> m_pUser;
    std::shared_ptr<CRegHive> m_pLocalMachine;
};

CHiveRegistry& Hives()
{
    static CHiveRegistry hives;
    return hives;
}

// One system log line for a damaged or unreadable HKCU.reg; the hive then
// reads as empty, so every setting has its default.
void ReportUserHiveDamage(const CRegHive& hive, const CRegFileError& error)
{
    std::string line = "Settings file " + hive.GetPath();
    if (error.m_dwError == ERROR_BADDB)
        line += " is damaged (" + error.Describe() +
                "); the defaults are used, and the file is kept as " + hive.GetPath() +
                ".bad when the settings are next saved.";
    else
        line += " cannot be read (" + error.Describe() + "); the defaults are used.";
    LogError(line.c_str());
}

} // namespace

std::shared_ptr<CRegHive> ResolveRegHive(HKEY root)
{
    if (root == HKEY_CURRENT_USER)
        return GetUserHive();
    if (root == HKEY_LOCAL_MACHINE) {
        CHiveRegistry& hives = Hives();
        std::lock_guard<std::mutex> lock(hives.m_mutex);
        if (!hives.m_pLocalMachine) {
            auto folder = GetComputerFolder(nullptr, ERROR_BAD_NETPATH);
            if (!folder)
                return nullptr;
            hives.m_pLocalMachine =
                std::make_shared<CRegHive>(*folder + "/HKLM.reg", "HKEY_LOCAL_MACHINE");
        }
        return hives.m_pLocalMachine;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

std::shared_ptr<CRegHive> GetUserHive()
{
    CHiveRegistry& hives = Hives();
    std::lock_guard<std::mutex> lock(hives.m_mutex);
    if (!hives.m_pUser)
        hives.m_pUser =
            std::make_shared<CRegHive>(QuorvilConfigDir() + "/HKCU.reg", "HKEY_CURRENT_USER",
                                       CRegHive::DamagePolicy::KEEP_AS_BAD, ReportUserHiveDamage);
    return hives.m_pUser;
}

void ResetRegistryHives()
{
    CHiveRegistry& hives = Hives();
    std::lock_guard<std::mutex> lock(hives.m_mutex);
    hives.m_pUser.reset();
    hives.m_pLocalMachine.reset();
}

CRegistry::CRegistry(HKEY) {}

CRegistry::~CRegistry()
{
    Close();
}

BOOL CRegistry::VerifyKey(HKEY root, const char* subkey)
{
    auto hive = ResolveRegHive(root);
    auto tree = hive ? hive->Read() : nullptr;
    return tree && tree->OpenKey(subkey ? subkey : "") != nullptr;
}

BOOL CRegistry::CreateKey(HKEY root, const char* subkey)
{
    auto hive = ResolveRegHive(root);
    return hive && hive->Update([&](CRegKey& tree) {
        return tree.CreateKey(subkey ? subkey : "") != nullptr;
    });
}

BOOL CRegistry::Open(HKEY root, const char* subkey)
{
    Close();
    if (!VerifyKey(root, subkey))
        return FALSE;
    m_pHive = ResolveRegHive(root);
    m_strKey = subkey ? subkey : "";
    return m_pHive != nullptr;
}

void CRegistry::Close()
{
    m_pHive.reset();
    m_pSnapshot.reset();
    m_strKey.clear();
}

const CRegValue* CRegistry::FindValue(const char* name)
{
    if (!m_pHive) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    m_pSnapshot = m_pHive->Read();
    const CRegKey* key = m_pSnapshot ? m_pSnapshot->OpenKey(m_strKey) : nullptr;
    if (!key) {
        if (m_pSnapshot)
            SetLastError(ERROR_KEY_DELETED);
        return nullptr;
    }
    const CRegValue* value = key->FindValue(name ? name : "");
    if (!value)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return value;
}

BOOL CRegistry::ChangeOpenKey(const std::function<bool(CRegKey&)>& change)
{
    if (!m_pHive) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return m_pHive->Update([&](CRegKey& tree) {
        CRegKey* key = tree.OpenKey(m_strKey);
        if (!key) {
            SetLastError(ERROR_KEY_DELETED);
            return false;
        }
        return change(*key);
    });
}

BOOL CRegistry::VerifyValue(const char* name)
{
    return FindValue(name) != nullptr;
}

BOOL CRegistry::Write(const char* name, const char* value)
{
    return ChangeOpenKey([&](CRegKey& key) {
        key.SetString(name ? name : "", value ? value : "");
        return true;
    });
}

BOOL CRegistry::Write(const char* name, DWORD value)
{
    return ChangeOpenKey([&](CRegKey& key) {
        key.SetDword(name ? name : "", value);
        return true;
    });
}

BOOL CRegistry::Read(const char* name, std::string& value)
{
    const CRegValue* found = FindValue(name);
    if (!found || (found->m_dwType != REG_SZ && found->m_dwType != REG_EXPAND_SZ)) {
        if (found)
            SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    value = found->GetString();
    return TRUE;
}

BOOL CRegistry::Read(const char* name, DWORD& value)
{
    const CRegValue* found = FindValue(name);
    auto number = found ? found->GetDword() : std::nullopt;
    if (!number) {
        if (found)
            SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    value = *number;
    return TRUE;
}

BOOL CRegistry::DeleteValue(const char* name)
{
    return ChangeOpenKey([&](CRegKey& key) { return key.DeleteValue(name ? name : ""); });
}
