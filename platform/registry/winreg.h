#pragma once
// The Win32 registry functions (the 8-bit "A" variants) over the hive files:
// HKEY_LOCAL_MACHINE of a computer is the HKLM.reg in its network folder
// (platform/network), HKEY_CURRENT_USER the user's HKCU.reg in
// QuorvilConfigDir(). Connecting to another computer's registry opens its
// HKLM.reg; a computer the network does not have gives ERROR_BAD_NETPATH, as
// Windows gives for an unreachable machine.
//
// As in Windows, the functions return the error code (ERROR_SUCCESS, 0, on
// success) instead of setting the last error. Key and value names compare
// without regard to letter case. Every call reads the hive as it is now (a
// cached parse while the file is unchanged, see reghive.h) and every change
// is written to the file at once, under the hive's lock. A damaged hive file
// fails with ERROR_BADDB.
//
// Handles: the predefined HKEY_LOCAL_MACHINE (the local computer) and
// HKEY_CURRENT_USER may be used without opening; every other handle comes
// from RegConnectRegistryA, RegOpenKeyExA or RegCreateKeyExA and is released
// with RegCloseKey. A handle names a key by its path, with the access it was
// opened for (ERROR_ACCESS_DENIED for a call the access does not allow); when
// the key is deleted, calls on it fail with ERROR_KEY_DELETED. Handle values
// never collide with the predefined ones. Any thread may use any handle.
#include <memory>

#include "platform/base/win32types.h"
#include "platform/registry/reghive.h"
#include "platform/registry/regkey.h"

using REGSAM = DWORD;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_DELETE = 0x00010000; // DELETE
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_EXECUTE = 0x00020019;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// lpMachineName null, "" or the local computer's name (in any letter case,
// with or without the leading "\\") connects to the local registry; hKey is
// HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for the local computer only
// (ERROR_INVALID_HANDLE otherwise). The new handle has full access.
LONG RegConnectRegistryA(const char* lpMachineName, HKEY hKey, HKEY* phkResult);

// Opens a subkey (null or "" opens the key itself again). ERROR_FILE_NOT_FOUND
// when it does not exist, ERROR_BAD_PATHNAME for a path starting with "\".
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult);

// Opens a subkey, creating it and its missing parents (KEY_CREATE_SUB_KEY on
// hKey). lpdwDisposition, when given, receives REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. The class, options and security are ignored.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass,
                     DWORD dwOptions, REGSAM samDesired, const void* lpSecurityAttributes,
                     HKEY* phkResult, DWORD* lpdwDisposition);

// Reads a value (null or "" is the key's default value) with the Windows
// buffer rules: lpType receives the type; with lpData null, *lpcbData
// receives the size; a buffer smaller than the data gives ERROR_MORE_DATA
// with the size in *lpcbData; otherwise the data are copied and *lpcbData is
// their size. Strings (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) come with their
// terminating NUL, counted in the size. lpData without lpcbData is
// ERROR_INVALID_PARAMETER; a missing value ERROR_FILE_NOT_FOUND.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);

// Creates or replaces a value with cbData bytes of lpData (strings should
// count their terminator, as in Windows).
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);

// Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED
// otherwise, as for a root key); "" deletes the key of hKey itself.
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);

// The name of subkey dwIndex in enumeration order: *lpcchName is the
// buffer's size in characters on entry and the name's length on success;
// ERROR_MORE_DATA when the name and its terminator do not fit,
// ERROR_NO_MORE_ITEMS past the last subkey. Keys have no class (an empty one
// is returned when asked) and a zero last-write time.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved,
                   char* lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime);

// Value dwIndex in creation order: its name as for RegEnumKeyExA, its type
// and data as for RegQueryValueExA.
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                   DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Releases a handle; closing a predefined key does nothing.
LONG RegCloseKey(HKEY hKey);

// Not Win32: the hive that a handle's key lives in, or null for an unknown
// handle. Lets callers that keep what they read tell, by comparing
// snapshots of the hive (CRegHive::Read), whether it may have changed.
std::shared_ptr<CRegHive> RegGetKeyHive(HKEY hKey);
