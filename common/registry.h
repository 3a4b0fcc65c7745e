#pragma once
// The common library's registry side: which hive file stands for each root
// key, and CRegistry, the small key wrapper the program uses for its event
// source entry and its run-at-logon entry.
//
// HKEY_CURRENT_USER is the user's hive, HKCU.reg in QuorvilConfigDir(). When
// that file is damaged, every value reads as its default, one line naming the
// file and the damaged line goes to the system log, and the file is kept as
// HKCU.reg.bad before the next change replaces it.
// HKEY_LOCAL_MACHINE is the local computer's HKLM.reg in its computer folder
// (platform/network); a damaged HKLM.reg makes reads and changes fail with
// ERROR_BADDB.
//
// Thread-safe: hives are shared, and CRegistry objects are used by one thread
// each.
#include <functional>
#include <memory>
#include <string>

#include "platform/base/win32types.h"
#include "platform/registry/reghive.h"
#include "platform/registry/regkey.h"

// The key below HKEY_CURRENT_USER that holds the program's settings, with the
// sections "Settings" and "System" as subkeys.
inline constexpr const char* QUORVIL_SETTINGS_KEY = "Software\\Brannick\\Quorvil";

// The user's hive, created on first use from QuorvilConfigDir().
std::shared_ptr<CRegHive> GetUserHive();

// The hive of a root key; null (with the last error set) when the root has
// none.
std::shared_ptr<CRegHive> ResolveRegHive(HKEY root);

// Forgets the hives made so far, so that the next use resolves the XDG and
// network locations again (for tests that change them).
void ResetRegistryHives();

// A registry key wrapper. Every call names its root key; Open selects the key
// that the value calls work on. Results are nonzero on success; on failure
// the last error says why (ERROR_FILE_NOT_FOUND for a missing key or value,
// ERROR_INVALID_HANDLE for a value call without an open key, ERROR_KEY_DELETED
// when the open key was deleted meanwhile). Each change is written to the
// hive file at once.
class CRegistry {
public:
    explicit CRegistry(HKEY root = HKEY_CURRENT_USER);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    BOOL VerifyKey(HKEY root, const char* subkey);
    BOOL CreateKey(HKEY root, const char* subkey);
    BOOL Open(HKEY root, const char* subkey);
    void Close();

    BOOL VerifyValue(const char* name);
    BOOL Write(const char* name, const char* value); // REG_SZ
    BOOL Write(const char* name, DWORD value);       // REG_DWORD
    BOOL Read(const char* name, std::string& value); // REG_SZ or REG_EXPAND_SZ
    BOOL Read(const char* name, DWORD& value);       // REG_DWORD
    BOOL DeleteValue(const char* name);

private:
    const CRegValue* FindValue(const char* name);
    BOOL ChangeOpenKey(const std::function<bool(CRegKey&)>& change);

    std::shared_ptr<CRegHive> m_pHive; // of the open key; null when none is open
    std::string m_strKey;
    std::shared_ptr<const CRegKey> m_pSnapshot; // keeps FindValue's result alive
};
