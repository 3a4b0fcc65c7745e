#include "settings/appsettings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "common/brancmn.h"
#include "platform/base/fileio.h"
#include "settings/textcut.h"

namespace {

constexpr const char* VIEWFONT_DEFAULT = "-11,0,0,0,400,0,0,0,0,1,2,1,34,MS Sans Serif";

std::string SectionPath(const char* section)
{
    return std::string(QUORVIL_SETTINGS_KEY) + "\\" + section;
}

// The value, if present; the snapshot must outlive the pointer.
const CRegValue* FindSetting(const std::shared_ptr<const CRegKey>& tree, const char* section,
                             const char* entry)
{
    const CRegKey* key = tree ? tree->OpenKey(SectionPath(section)) : nullptr;
    return key ? key->FindValue(entry) : nullptr;
}

BOOL ChangeSection(const char* section, const std::function<void(CRegKey&)>& change)
{
    return GetUserHive()->Update([&](CRegKey& root) {
        CRegKey* key = root.CreateKey(SectionPath(section));
        if (key)
            change(*key);
        return key != nullptr;
    });
}

std::vector<std::string> SplitAtCommas(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

// A decimal field as the C library reads it (leading blanks, a sign, digits;
// anything else reads as 0), clamped to 32 bits.
long long LenientNumber(const std::string& field)
{
    long long value = std::strtoll(field.c_str(), nullptr, 10);
    return std::clamp<long long>(value, INT_MIN, UINT_MAX);
}

// A field that is one decimal number between low and high and nothing else
// (white space around it aside).
bool StrictNumber(const std::string& field, long long low, long long high, long long& value)
{
    const char* begin = field.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < low || value > high)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

} // namespace

int AppSettings::GetProfileInt(const char* section, const char* entry, int defaultValue)
{
    auto tree = GetUserHive()->Read();
    const CRegValue* value = FindSetting(tree, section, entry);
    auto number = value ? value->GetDword() : std::nullopt;
    return number && value->m_dwType == REG_DWORD ? static_cast<int>(*number) : defaultValue;
}

BOOL AppSettings::WriteProfileInt(const char* section, const char* entry, int value)
{
    return ChangeSection(section,
                         [&](CRegKey& key) { key.SetDword(entry, static_cast<DWORD>(value)); });
}

std::string AppSettings::GetProfileString(const char* section, const char* entry,
                                          const char* defaultValue)
{
    auto tree = GetUserHive()->Read();
    const CRegValue* value = FindSetting(tree, section, entry);
    if (value && (value->m_dwType == REG_SZ || value->m_dwType == REG_EXPAND_SZ))
        return value->GetString();
    return defaultValue ? defaultValue : "";
}

BOOL AppSettings::WriteProfileString(const char* section, const char* entry, const char* value)
{
    if (!entry) {
        return GetUserHive()->Update([&](CRegKey& root) {
            root.DeleteKey(SectionPath(section));
            return true;
        });
    }
    return ChangeSection(section, [&](CRegKey& key) {
        if (value)
            key.SetString(entry, value);
        else
            key.DeleteValue(entry);
    });
}

BOOL AppSettings::GetProfileBinary(const char* section, const char* entry, std::vector<BYTE>& data)
{
    auto tree = GetUserHive()->Read();
    const CRegValue* value = FindSetting(tree, section, entry);
    if (!value || value->m_dwType != REG_BINARY)
        return FALSE;
    data.assign(value->m_data.begin(), value->m_data.end());
    return TRUE;
}

BOOL AppSettings::WriteProfileBinary(const char* section, const char* entry,
                                     const std::vector<BYTE>& data)
{
    return ChangeSection(section, [&](CRegKey& key) {
        key.SetValue(entry, REG_BINARY, std::string(data.begin(), data.end()));
    });
}

std::string AppSettings::GetAuditText()
{
    return GetProfileString(SECTION_SETTINGS, "AuditText",
                            (QuorvilStateDir() + "/qvaudit_txt.txt").c_str());
}

std::string AppSettings::GetAuditNT()
{
    return GetProfileString(SECTION_SETTINGS, "AuditNT",
                            (QuorvilStateDir() + "/qvaudit_evn.txt").c_str());
}

void AppSettings::GetViewFont(LOGFONT& font)
{
    std::string text = GetProfileString(SECTION_SETTINGS, "ViewFont", VIEWFONT_DEFAULT);
    if (text.empty())
        return;
    LONG* numbers[] = {&font.lfHeight, &font.lfWidth, &font.lfEscapement, &font.lfOrientation,
                       &font.lfWeight};
    BYTE* bytes[] = {&font.lfItalic,  &font.lfUnderline,     &font.lfStrikeOut,
                     &font.lfCharSet, &font.lfOutPrecision,  &font.lfClipPrecision,
                     &font.lfQuality, &font.lfPitchAndFamily};
    std::vector<std::string> fields = SplitAtCommas(text);
    for (std::size_t i = 0; i < fields.size() && i < 14; ++i) {
        if (i < 5) {
            *numbers[i] = static_cast<LONG>(LenientNumber(fields[i]));
        } else if (i < 13) {
            *bytes[i - 5] = static_cast<BYTE>(LenientNumber(fields[i]));
        } else {
            std::size_t length = CompleteLength(
                fields[i].c_str(), std::min<std::size_t>(fields[i].size(), LF_FACESIZE - 1));
            std::memcpy(font.lfFaceName, fields[i].c_str(), length);
            font.lfFaceName[length] = '\0';
        }
    }
}

BOOL AppSettings::SetViewFont(const LOGFONT& font)
{
    std::size_t faceLength =
        CompleteLength(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE - 1));
    std::string face(font.lfFaceName, faceLength);
    char text[256];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s", font.lfHeight,
                  font.lfWidth, font.lfEscapement, font.lfOrientation, font.lfWeight, font.lfItalic,
                  font.lfUnderline, font.lfStrikeOut, font.lfCharSet, font.lfOutPrecision,
                  font.lfClipPrecision, font.lfQuality, font.lfPitchAndFamily, face.c_str());
    return WriteProfileString(SECTION_SETTINGS, "ViewFont", text);
}

BOOL AppSettings::ReadWindowPlacement(const char* key, WINDOWPLACEMENT& placement)
{
    std::vector<std::string> fields = SplitAtCommas(GetProfileString(SECTION_SETTINGS, key, ""));
    if (fields.size() != 10)
        return FALSE;
    long long v[10];
    for (std::size_t i = 0; i < 10; ++i) {
        bool isUnsigned = i < 2;
        if (!StrictNumber(fields[i], isUnsigned ? 0 : INT_MIN, isUnsigned ? UINT_MAX : INT_MAX,
                          v[i]))
            return FALSE;
    }
    placement.flags = static_cast<UINT>(v[0]);
    placement.showCmd = static_cast<UINT>(v[1]);
    placement.ptMinPosition = {static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
    placement.ptMaxPosition = {static_cast<LONG>(v[4]), static_cast<LONG>(v[5])};
    placement.rcNormalPosition = {static_cast<LONG>(v[6]), static_cast<LONG>(v[7]),
                                  static_cast<LONG>(v[8]), static_cast<LONG>(v[9])};
    return TRUE;
}

BOOL AppSettings::WriteWindowPlacement(const char* key, const WINDOWPLACEMENT& placement)
{
    char text[128];
    std::snprintf(text, sizeof text, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", placement.flags,
                  placement.showCmd, placement.ptMinPosition.x, placement.ptMinPosition.y,
                  placement.ptMaxPosition.x, placement.ptMaxPosition.y,
                  placement.rcNormalPosition.left, placement.rcNormalPosition.top,
                  placement.rcNormalPosition.right, placement.rcNormalPosition.bottom);
    return WriteProfileString(SECTION_SETTINGS, key, text);
}

std::string AppSettings::GetErrorLogPath()
{
    std::string path = GetProfileString(SECTION_SYSTEM, "ErrorLog", "NULL");
    if (path != "NULL")
        return path;
    // Absent: the system log's default place, where the Windows program used
    // its current folder; stored, so that the system log writer and every
    // later reader agree on the file.
    path = DefaultSystemLogPath();
    SetErrorLogPath(path.c_str());
    return path;
}

BOOL AppSettings::IsStringInArray(const std::vector<std::string>& array, const char* text)
{
    return text && std::find(array.begin(), array.end(), text) != array.end();
}

BOOL AppSettings::IsValueInArray(const std::vector<DWORD>& array, DWORD value)
{
    return std::find(array.begin(), array.end(), value) != array.end();
}

int AppSettings::GetMaxLogSizeKB()
{
    return GetProfileInt(SECTION_SYSTEM, SYSTEM_LOG_MAX_KB_VALUE,
                         static_cast<int>(SYSTEM_LOG_DEFAULT_MAX_KB));
}

BOOL AppSettings::SetMaxLogSizeKB(int nKB)
{
    return WriteProfileInt(SECTION_SYSTEM, SYSTEM_LOG_MAX_KB_VALUE, nKB);
}
