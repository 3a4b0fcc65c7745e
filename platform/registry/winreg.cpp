#include "platform/registry/winreg.h"

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

// What a handle stands for: a key, by path, in one hive.
struct CKeyHandle {
    std::shared_ptr<CRegHive> m_pHive;
    std::string m_strPath; // below the hive's root; "" is the root
    REGSAM m_access = KEY_ALL_ACCESS;
};

// Handles are numbered from here in steps of four, below the predefined keys.
constexpr DWORD FIRST_HANDLE = 0x100;
constexpr DWORD LAST_HANDLE = 0x7FFFFFFC;

struct CRegistryState {
    std::mutex m_mutex; // guards the members below
    std::unordered_map<DWORD, CKeyHandle> m_handles;
    DWORD m_dwNextHandle = FIRST_HANDLE;
    // One hive object per file, so every handle on it shares its cached parse.
    std::map<std::string, std::shared_ptr<CRegHive>> m_hives;
};

CRegistryState& State()
{
    static CRegistryState state;
    return state;
}

std::shared_ptr<CRegHive> HiveOfFile(const std::string& path, const char* rootName)
{
    CRegistryState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    std::shared_ptr<CRegHive>& hive = state.m_hives[path];
    if (!hive)
        hive = std::make_shared<CRegHive>(path, rootName);
    return hive;
}

LONG ErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return static_cast<LONG>(error != ERROR_SUCCESS ? error : fallback);
}

LONG HiveOfComputer(const char* machine, std::shared_ptr<CRegHive>& hive)
{
    SetLastError(ERROR_SUCCESS);
    auto folder = GetComputerFolder(machine, ERROR_BAD_NETPATH);
    if (!folder)
        return ErrorOr(ERROR_BAD_NETPATH);
    hive = HiveOfFile(*folder + "/HKLM.reg", "HKEY_LOCAL_MACHINE");
    return ERROR_SUCCESS;
}

LONG Resolve(HKEY hKey, CKeyHandle& out)
{
    out = CKeyHandle{};
    if (hKey == HKEY_LOCAL_MACHINE)
        return HiveOfComputer(nullptr, out.m_pHive);
    if (hKey == HKEY_CURRENT_USER) {
        out.m_pHive = HiveOfFile(QuorvilConfigDir() + "/HKCU.reg", "HKEY_CURRENT_USER");
        return ERROR_SUCCESS;
    }
    CRegistryState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    auto found = state.m_handles.find(static_cast<DWORD>(hKey));
    if (found == state.m_handles.end())
        return ERROR_INVALID_HANDLE;
    out = found->second;
    return ERROR_SUCCESS;
}

HKEY AddHandle(CKeyHandle handle)
{
    CRegistryState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    DWORD value = state.m_dwNextHandle;
    while (state.m_handles.contains(value))
        value = value >= LAST_HANDLE ? FIRST_HANDLE : value + 4;
    state.m_dwNextHandle = value >= LAST_HANDLE ? FIRST_HANDLE : value + 4;
    state.m_handles.emplace(value, std::move(handle));
    return static_cast<HKEY>(value);
}

// The current tree of the handle's hive and the handle's key in it.
LONG ReadKey(const CKeyHandle& handle, std::shared_ptr<const CRegKey>& tree, const CRegKey*& key)
{
    CRegFileError error;
    tree = handle.m_pHive->Read(&error);
    if (!tree)
        return static_cast<LONG>(error.m_dwError != ERROR_SUCCESS ? error.m_dwError : ERROR_BADDB);
    key = tree->OpenKey(handle.m_strPath);
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Resolves the handle, checks its access and finds its key.
LONG ReadKey(HKEY hKey, REGSAM needed, std::shared_ptr<const CRegKey>& tree, const CRegKey*& key)
{
    CKeyHandle handle;
    if (LONG error = Resolve(hKey, handle))
        return error;
    if ((handle.m_access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    return ReadKey(handle, tree, key);
}

// Changes the handle's key in its hive file; the change sets the last error
// when it gives up.
LONG ChangeKey(HKEY hKey, REGSAM needed,
               const std::function<bool(CRegKey& root, CRegKey& key)>& change)
{
    CKeyHandle handle;
    if (LONG error = Resolve(hKey, handle))
        return error;
    if ((handle.m_access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    SetLastError(ERROR_SUCCESS);
    bool done = handle.m_pHive->Update([&](CRegKey& root) {
        CRegKey* key = root.OpenKey(handle.m_strPath);
        if (!key) {
            SetLastError(ERROR_KEY_DELETED);
            return false;
        }
        return change(root, *key);
    });
    return done ? LONG{ERROR_SUCCESS} : ErrorOr(ERROR_CANTWRITE);
}

std::string JoinPath(const std::string& base, const char* sub)
{
    if (!sub || !*sub)
        return base;
    return base.empty() ? std::string(sub) : base + "\\" + sub;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LONG CopyData(const CRegValue& value, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    if (lpType)
        *lpType = value.m_dwType;
    if (!lpcbData)
        return ERROR_SUCCESS;
    // A string stored without its terminator is handed out with one.
    const bool terminate =
        IsStringType(value.m_dwType) && (value.m_data.empty() || value.m_data.back() != '\0');
    const auto size = static_cast<DWORD>(value.m_data.size() + (terminate ? 1 : 0));
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        std::memcpy(lpData, value.m_data.data(), value.m_data.size());
        if (terminate)
            lpData[value.m_data.size()] = 0;
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG CopyName(const std::string& name, char* buffer, DWORD* lpcch)
{
    if (!buffer || !lpcch)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *lpcch)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *lpcch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

REGSAM GrantedAccess(REGSAM desired)
{
    desired &= ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    return (desired & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : desired;
}

} // namespace

LONG RegConnectRegistryA(const char* lpMachineName, HKEY hKey, HKEY* phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = static_cast<HKEY>(0);
    const bool local = !lpMachineName || !*lpMachineName;
    CKeyHandle handle;
    if (hKey == HKEY_CURRENT_USER && local) {
        if (LONG error = Resolve(hKey, handle))
            return error;
    } else if (hKey == HKEY_LOCAL_MACHINE) {
        if (LONG error = HiveOfComputer(local ? nullptr : lpMachineName, handle.m_pHive))
            return error;
    } else {
        return ERROR_INVALID_HANDLE;
    }
    *phkResult = AddHandle(std::move(handle));
    return ERROR_SUCCESS;
}

namespace {

// The key of an open handle, for a subkey to be opened or created below it:
// refuses a subkey path that starts with a backslash.
LONG ReadKeyBelow(HKEY hKey, const char* lpSubKey, CKeyHandle& handle,
                  std::shared_ptr<const CRegKey>& tree, const CRegKey*& key)
{
    if (lpSubKey && *lpSubKey == '\\')
        return ERROR_BAD_PATHNAME;
    if (LONG error = Resolve(hKey, handle))
        return error;
    return ReadKey(handle, tree, key);
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = static_cast<HKEY>(0);
    CKeyHandle handle;
    std::shared_ptr<const CRegKey> tree;
    const CRegKey* key = nullptr;
    if (LONG error = ReadKeyBelow(hKey, lpSubKey, handle, tree, key))
        return error;
    if (!key->OpenKey(lpSubKey ? lpSubKey : ""))
        return ERROR_FILE_NOT_FOUND;
    handle.m_strPath = JoinPath(handle.m_strPath, lpSubKey);
    handle.m_access = GrantedAccess(samDesired);
    *phkResult = AddHandle(std::move(handle));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, char* /*lpClass*/,
                     DWORD /*dwOptions*/, REGSAM samDesired, const void* /*lpSecurityAttributes*/,
                     HKEY* phkResult, DWORD* lpdwDisposition)
{
    if (!phkResult || !lpSubKey)
        return ERROR_INVALID_PARAMETER;
    *phkResult = static_cast<HKEY>(0);
    CKeyHandle handle;
    std::shared_ptr<const CRegKey> tree;
    const CRegKey* key = nullptr;
    if (LONG error = ReadKeyBelow(hKey, lpSubKey, handle, tree, key))
        return error;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!key->OpenKey(lpSubKey)) {
        LONG error = ChangeKey(hKey, KEY_CREATE_SUB_KEY, [&](CRegKey&, CRegKey& parent) {
            if (!parent.OpenKey(lpSubKey))
                disposition = REG_CREATED_NEW_KEY;
            return parent.CreateKey(lpSubKey) != nullptr;
        });
        if (error != ERROR_SUCCESS)
            return error;
    }
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    handle.m_strPath = JoinPath(handle.m_strPath, lpSubKey);
    handle.m_access = GrantedAccess(samDesired);
    *phkResult = AddHandle(std::move(handle));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* /*lpReserved*/, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData)
{
    std::shared_ptr<const CRegKey> tree;
    const CRegKey* key = nullptr;
    if (LONG error = ReadKey(hKey, KEY_QUERY_VALUE, tree, key))
        return error;
    const CRegValue* value = key->FindValue(lpValueName ? lpValueName : "");
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    return CopyData(*value, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData)
{
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    return ChangeKey(hKey, KEY_SET_VALUE, [&](CRegKey&, CRegKey& key) {
        key.SetValue(lpValueName ? lpValueName : "", dwType, data);
        return true;
    });
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName)
{
    return ChangeKey(hKey, KEY_SET_VALUE, [&](CRegKey&, CRegKey& key) {
        return key.DeleteValue(lpValueName ? lpValueName : "");
    });
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    if (*lpSubKey == '\\')
        return ERROR_BAD_PATHNAME;
    CKeyHandle handle;
    if (LONG error = Resolve(hKey, handle))
        return error;
    const std::string path = JoinPath(handle.m_strPath, lpSubKey);
    return ChangeKey(hKey, 0, [&](CRegKey& root, CRegKey&) {
        const CRegKey* key = root.OpenKey(path);
        if (!key) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        if (key == &root || key->GetSubKeyCount() > 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return root.DeleteKey(path);
    });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* /*lpReserved*/,
                   char* lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime)
{
    std::shared_ptr<const CRegKey> tree;
    const CRegKey* key = nullptr;
    if (LONG error = ReadKey(hKey, KEY_ENUMERATE_SUB_KEYS, tree, key))
        return error;
    if (dwIndex >= key->GetSubKeyCount())
        return ERROR_NO_MORE_ITEMS;
    if (LONG error = CopyName(key->GetSubKey(dwIndex).GetName(), lpName, lpcchName))
        return error;
    if (lpClass && lpcchClass && *lpcchClass > 0)
        *lpClass = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* /*lpReserved*/, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    std::shared_ptr<const CRegKey> tree;
    const CRegKey* key = nullptr;
    if (LONG error = ReadKey(hKey, KEY_QUERY_VALUE, tree, key))
        return error;
    if (dwIndex >= key->GetValues().size())
        return ERROR_NO_MORE_ITEMS;
    const CRegValue& value = key->GetValues()[dwIndex];
    if (LONG error = CopyName(value.m_strName, lpValueName, lpcchValueName))
        return error;
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG RegCloseKey(HKEY hKey)
{
    if (GetRootKeyName(hKey))
        return ERROR_SUCCESS;
    CRegistryState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    return state.m_handles.erase(static_cast<DWORD>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::shared_ptr<CRegHive> RegGetKeyHive(HKEY hKey)
{
    CKeyHandle handle;
    return Resolve(hKey, handle) == ERROR_SUCCESS ? handle.m_pHive : nullptr;
}
