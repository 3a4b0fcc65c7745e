#pragma once
// The registry's data model: a tree of keys holding typed values, as one hive
// file holds it (see regfile.h for the file, reghive.h for sharing it between
// processes).
//
// Names of keys and values compare without regard to ASCII letter case and
// keep the spelling they were created with. Value data are the bytes that the
// 8-bit ("A") registry functions give: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ
// hold 8-bit text (UTF-8 on Linux) with their NUL terminators, REG_DWORD four
// little-endian bytes, every other type its raw bytes.
//
// A CRegKey owns its values and subkeys; copying copies the whole subtree.
// Subkeys are kept in the order Windows enumerates them (ASCII upper-case
// comparison), values in the order they were created. Pointers to subkeys stay
// valid until that subkey is deleted. Not thread-safe: share a tree between
// threads only as const (CRegHive hands out const snapshots).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/win32types.h"

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

// A path names at most this many keys, as in Windows.
constexpr int REG_MAX_KEY_DEPTH = 512;

// The predefined root keys. Each hive file holds the tree below one of them.
enum HKEY : std::uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
    HKEY_USERS = 0x80000003u,
    HKEY_CURRENT_CONFIG = 0x80000005u,
};

// "HKEY_CURRENT_USER" etc.; nullptr for a value that is no root key.
const char* GetRootKeyName(HKEY root);

// True when the two names are equal without regard to ASCII letter case.
bool RegNamesEqual(std::string_view a, std::string_view b);

// Data builders for CRegKey::SetValue.
std::string RegStringData(std::string_view text); // text + NUL
std::string RegDwordData(DWORD value);
std::string RegQwordData(QWORD value);
std::string RegMultiStringData(const std::vector<std::string>& strings);

struct CRegValue {
    std::string m_strName; // "" is the key's default value
    DWORD m_dwType = REG_NONE;
    std::string m_data;

    // The data up to the first NUL (whatever the type).
    std::string GetString() const;
    // REG_DWORD (or REG_DWORD_BIG_ENDIAN) of exactly four bytes.
    std::optional<DWORD> GetDword() const;
    // REG_QWORD of exactly eight bytes.
    std::optional<QWORD> GetQword() const;
    // The NUL-separated strings of the data, up to the empty one that ends it.
    std::vector<std::string> GetMultiString() const;
};

class CRegKey {
public:
    explicit CRegKey(std::string name = {}) : m_strName(std::move(name)) {}
    CRegKey(const CRegKey& other);
    CRegKey& operator=(const CRegKey& other);
    CRegKey(CRegKey&&) = default;
    CRegKey& operator=(CRegKey&&) = default;
    ~CRegKey() = default;

    const std::string& GetName() const { return m_strName; }

    // Paths are relative to this key, components separated by '\'; empty
    // components are ignored, so "" is this key itself.
    const CRegKey* OpenKey(std::string_view path) const;
    CRegKey* OpenKey(std::string_view path);
    // Opens the key, creating it and its missing parents. Null (ERROR_BADKEY)
    // when a name on the path contains a line break or the path names more
    // than REG_MAX_KEY_DEPTH keys.
    CRegKey* CreateKey(std::string_view path);
    // Deletes the key with its whole subtree; false (ERROR_FILE_NOT_FOUND)
    // when it does not exist or the path names this key itself.
    bool DeleteKey(std::string_view path);

    std::size_t GetSubKeyCount() const { return m_subKeys.size(); }
    const CRegKey& GetSubKey(std::size_t index) const { return *m_subKeys[index]; }
    const std::vector<CRegValue>& GetValues() const { return m_values; }
    bool IsEmpty() const { return m_values.empty() && m_subKeys.empty(); }

    const CRegValue* FindValue(std::string_view name) const;
    // Creates or replaces a value; a replaced value keeps its spelling and place.
    void SetValue(std::string_view name, DWORD type, std::string data);
    void SetString(std::string_view name, std::string_view text, DWORD type = REG_SZ)
    {
        SetValue(name, type, RegStringData(text));
    }
    void SetDword(std::string_view name, DWORD value)
    {
        SetValue(name, REG_DWORD, RegDwordData(value));
    }
    // False (ERROR_FILE_NOT_FOUND) when there is no such value.
    bool DeleteValue(std::string_view name);
    // Removes every value and subkey.
    void Clear();

private:
    CRegKey* FindSubKey(std::string_view name) const;
    std::size_t LowerBound(std::string_view name) const;

    std::string m_strName;
    std::vector<CRegValue> m_values;
    std::vector<std::unique_ptr<CRegKey>> m_subKeys; // sorted, see above
};
