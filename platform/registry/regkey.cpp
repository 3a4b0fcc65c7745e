#include "platform/registry/regkey.h"

#include <algorithm>

#include "platform/base/win32error.h"

namespace {

unsigned char Fold(char c)
{
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// Windows orders subkeys by comparing the upper-cased names.
int CompareNames(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Calls fn for each non-empty component of a '\'-separated path; stops and
// returns false as soon as fn does.
template <typename Fn> bool ForEachComponent(std::string_view path, Fn fn)
{
    while (!path.empty()) {
        std::size_t sep = path.find('\\');
        std::string_view part = path.substr(0, sep);
        if (!part.empty() && !fn(part))
            return false;
        if (sep == std::string_view::npos)
            break;
        path.remove_prefix(sep + 1);
    }
    return true;
}

std::string LittleEndian(QWORD value, int bytes)
{
    std::string data;
    for (int i = 0; i < bytes; ++i)
        data.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return data;
}

} // namespace

const char* GetRootKeyName(HKEY root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG:
        return "HKEY_CURRENT_CONFIG";
    }
    return nullptr;
}

bool RegNamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareNames(a, b) == 0;
}

std::string RegStringData(std::string_view text)
{
    std::string data(text);
    data.push_back('\0');
    return data;
}

std::string RegDwordData(DWORD value)
{
    return LittleEndian(value, 4);
}
std::string RegQwordData(QWORD value)
{
    return LittleEndian(value, 8);
}

std::string RegMultiStringData(const std::vector<std::string>& strings)
{
    std::string data;
    for (const std::string& s : strings) {
        data += s;
        data.push_back('\0');
    }
    data.push_back('\0');
    return data;
}

std::string CRegValue::GetString() const
{
    return m_data.substr(0, m_data.find('\0'));
}

std::optional<DWORD> CRegValue::GetDword() const
{
    if (m_data.size() != 4 || (m_dwType != REG_DWORD && m_dwType != REG_DWORD_BIG_ENDIAN))
        return std::nullopt;
    DWORD value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        std::size_t shift = m_dwType == REG_DWORD ? 8 * i : 8 * (3 - i);
        value |= DWORD{static_cast<unsigned char>(m_data[i])} << shift;
    }
    return value;
}

std::optional<QWORD> CRegValue::GetQword() const
{
    if (m_data.size() != 8 || m_dwType != REG_QWORD)
        return std::nullopt;
    QWORD value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= QWORD{static_cast<unsigned char>(m_data[i])} << (8 * i);
    return value;
}

std::vector<std::string> CRegValue::GetMultiString() const
{
    std::vector<std::string> strings;
    std::size_t pos = 0;
    while (pos < m_data.size()) {
        std::size_t end = m_data.find('\0', pos);
        if (end == pos)
            break;
        if (end == std::string::npos)
            end = m_data.size();
        strings.push_back(m_data.substr(pos, end - pos));
        pos = end + 1;
    }
    return strings;
}

CRegKey::CRegKey(const CRegKey& other) : m_strName(other.m_strName), m_values(other.m_values)
{
    m_subKeys.reserve(other.m_subKeys.size());
    for (const auto& sub : other.m_subKeys)
        m_subKeys.push_back(std::make_unique<CRegKey>(*sub));
}

CRegKey& CRegKey::operator=(const CRegKey& other)
{
    if (this != &other)
        *this = CRegKey(other);
    return *this;
}

std::size_t CRegKey::LowerBound(std::string_view name) const
{
    auto it = std::lower_bound(m_subKeys.begin(), m_subKeys.end(), name,
                               [](const std::unique_ptr<CRegKey>& key, std::string_view n) {
                                   return CompareNames(key->m_strName, n) < 0;
                               });
    return static_cast<std::size_t>(it - m_subKeys.begin());
}

CRegKey* CRegKey::FindSubKey(std::string_view name) const
{
    std::size_t i = LowerBound(name);
    if (i < m_subKeys.size() && RegNamesEqual(m_subKeys[i]->m_strName, name))
        return m_subKeys[i].get();
    return nullptr;
}

const CRegKey* CRegKey::OpenKey(std::string_view path) const
{
    const CRegKey* key = this;
    bool found = ForEachComponent(path, [&](std::string_view part) {
        key = key->FindSubKey(part);
        return key != nullptr;
    });
    if (!found)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return found ? key : nullptr;
}

CRegKey* CRegKey::OpenKey(std::string_view path)
{
    return const_cast<CRegKey*>(static_cast<const CRegKey*>(this)->OpenKey(path));
}

CRegKey* CRegKey::CreateKey(std::string_view path)
{
    int depth = 0;
    ForEachComponent(path, [&](std::string_view) { return ++depth <= REG_MAX_KEY_DEPTH; });
    if (depth > REG_MAX_KEY_DEPTH || path.find_first_of("\r\n") != std::string_view::npos) {
        SetLastError(ERROR_BADKEY);
        return nullptr;
    }
    CRegKey* key = this;
    ForEachComponent(path, [&](std::string_view part) {
        std::size_t i = key->LowerBound(part);
        if (i == key->m_subKeys.size() || !RegNamesEqual(key->m_subKeys[i]->m_strName, part)) {
            auto created = std::make_unique<CRegKey>(std::string(part));
            key->m_subKeys.insert(key->m_subKeys.begin() + static_cast<std::ptrdiff_t>(i),
                                  std::move(created));
        }
        key = key->m_subKeys[i].get();
        return true;
    });
    return key;
}

bool CRegKey::DeleteKey(std::string_view path)
{
    std::vector<std::string_view> parts;
    ForEachComponent(path, [&](std::string_view part) {
        parts.push_back(part);
        return true;
    });
    CRegKey* parent = this;
    for (std::size_t i = 0; parent && i + 1 < parts.size(); ++i)
        parent = parent->FindSubKey(parts[i]);
    if (parent && !parts.empty()) {
        std::size_t i = parent->LowerBound(parts.back());
        if (i < parent->m_subKeys.size() &&
            RegNamesEqual(parent->m_subKeys[i]->m_strName, parts.back())) {
            parent->m_subKeys.erase(parent->m_subKeys.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

const CRegValue* CRegKey::FindValue(std::string_view name) const
{
    for (const CRegValue& value : m_values)
        if (RegNamesEqual(value.m_strName, name))
            return &value;
    return nullptr;
}

void CRegKey::SetValue(std::string_view name, DWORD type, std::string data)
{
    auto* existing = const_cast<CRegValue*>(FindValue(name));
    if (!existing) {
        m_values.push_back(CRegValue{std::string(name), type, {}});
        existing = &m_values.back();
    }
    existing->m_dwType = type;
    existing->m_data = std::move(data);
}

bool CRegKey::DeleteValue(std::string_view name)
{
    auto it = std::find_if(m_values.begin(), m_values.end(),
                           [&](const CRegValue& v) { return RegNamesEqual(v.m_strName, name); });
    if (it == m_values.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    m_values.erase(it);
    return true;
}

void CRegKey::Clear()
{
    m_values.clear();
    m_subKeys.clear();
}
