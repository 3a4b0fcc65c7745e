#pragma once
// The program's settings: the values under
// HKEY_CURRENT_USER\Software\Brannick\Quorvil in the sections "Settings" and
// "System", kept in the user's hive (HKCU.reg, see common/registry.h).
// Integers are REG_DWORD values, strings REG_SZ, byte arrays REG_BINARY. A
// value that is absent (or of another type) reads as its default; nothing is
// written until a setter runs. Each setter writes the hive file at once and
// returns nonzero on success. A damaged HKCU.reg reads as all defaults.
//
// Where the Windows defaults name files or programs, Linux uses:
//   "quorvil.log" in the program folder     -> $XDG_STATE_HOME/quorvil/quorvil.log
//   "C:\qvaudit_txt.txt", "C:\qvaudit_evn.txt"
//                                           -> $XDG_STATE_HOME/quorvil/qvaudit_txt.txt,
//                                           .../qvaudit_evn.txt
//   "notepad.exe"                           -> "xdg-open"
//
// All members are static and thread-safe; reads cost one stat() of the hive
// file while it is unchanged.
#include <string>
#include <vector>

#include "platform/base/win32types.h"

// A font description, as the text log viewer keeps it.
constexpr int LF_FACESIZE = 32;
struct LOGFONT { // NOLINT(readability-identifier-naming): the system's own name
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {}; // at most 31 characters and a NUL
};

// The main window's placement.
struct POINT { // NOLINT(readability-identifier-naming): the system's own name
    LONG x = 0;
    LONG y = 0;
};
struct RECT { // NOLINT(readability-identifier-naming): the system's own name
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
struct WINDOWPLACEMENT { // NOLINT(readability-identifier-naming): the system's own name
    UINT flags = 0;
    UINT showCmd = 0;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

class AppSettings { // NOLINT(readability-identifier-naming): the system's own name
public:
    AppSettings() = delete;

    static constexpr const char* SECTION_SETTINGS = "Settings";
    static constexpr const char* SECTION_SYSTEM = "System";
    static constexpr const char* DEFAULT_EDITOR = "xdg-open";

    // The profile functions, on HKCU\Software\Brannick\Quorvil\<section>.
    static int GetProfileInt(const char* section, const char* entry, int defaultValue);
    static BOOL WriteProfileInt(const char* section, const char* entry, int value);
    static std::string GetProfileString(const char* section, const char* entry,
                                        const char* defaultValue = "");
    // A null value deletes the entry; a null entry deletes the whole section.
    static BOOL WriteProfileString(const char* section, const char* entry, const char* value);
    // FALSE when the entry is absent.
    static BOOL GetProfileBinary(const char* section, const char* entry, std::vector<BYTE>& data);
    static BOOL WriteProfileBinary(const char* section, const char* entry,
                                   const std::vector<BYTE>& data);

    // The plain settings, one row each: name (the value's name and the
    // accessors' Get<name>/Set<name>), section, default.
#define QUORVIL_INT_SETTINGS(X)                                                                    \
    X(ReloadWorkspace, SECTION_SETTINGS, 0)                                                        \
    X(JumpToEnd, SECTION_SETTINGS, 1)                                                              \
    X(AutoScan, SECTION_SETTINGS, 0)                                                               \
    X(RunDelay, SECTION_SETTINGS, 0)                                                               \
    X(ScanDelay, SECTION_SETTINGS, 0)                                                              \
    X(AutoSave, SECTION_SETTINGS, 0)                                                               \
    X(NoConfirmExit, SECTION_SETTINGS, 0)                                                          \
    X(FirstTimeFlag, SECTION_SETTINGS, 0)                                                          \
    X(ExtendedAudit, SECTION_SETTINGS, 0)                                                          \
    X(AuditBackup, SECTION_SETTINGS, 0)                                                            \
    X(AutoBackup, SECTION_SETTINGS, 0)                                                             \
    X(NewestFirst, SECTION_SETTINGS, 0)                                                            \
    X(FileNumColumns, SECTION_SETTINGS, 0) /* 0: the default columns */                            \
    X(ServerNumColumns, SECTION_SETTINGS, 0)                                                       \
    X(ErrorLogEnabled, SECTION_SYSTEM, 1)
#define QUORVIL_STRING_SETTINGS(X)                                                                 \
    X(AutoBackupDir, SECTION_SETTINGS, "")                                                         \
    X(TextEditor, SECTION_SETTINGS, DEFAULT_EDITOR)                                                \
    X(FastMark, SECTION_SETTINGS, "Fast Mark -------")                                             \
    X(SQLEditor, SECTION_SYSTEM, DEFAULT_EDITOR)
    // Byte arrays of the list views' columns (absent by default: FALSE).
#define QUORVIL_BINARY_SETTINGS(X)                                                                 \
    X(FileColFlags, SECTION_SETTINGS)                                                              \
    X(FileColWidths, SECTION_SETTINGS)                                                             \
    X(ServerColFlags, SECTION_SETTINGS)                                                            \
    X(ServerColWidths, SECTION_SETTINGS)

#define QUORVIL_INT_SETTING(name, section, def)                                                    \
    static int Get##name()                                                                         \
    {                                                                                              \
        return GetProfileInt(section, #name, def);                                                 \
    }                                                                                              \
    static BOOL Set##name(int v)                                                                   \
    {                                                                                              \
        return WriteProfileInt(section, #name, v);                                                 \
    }
#define QUORVIL_STRING_SETTING(name, section, def)                                                 \
    static std::string Get##name()                                                                 \
    {                                                                                              \
        return GetProfileString(section, #name, def);                                              \
    }                                                                                              \
    static BOOL Set##name(const char* v)                                                           \
    {                                                                                              \
        return WriteProfileString(section, #name, v);                                              \
    }
#define QUORVIL_BINARY_SETTING(name, section)                                                      \
    static BOOL Get##name(std::vector<BYTE>& d)                                                    \
    {                                                                                              \
        return GetProfileBinary(section, #name, d);                                                \
    }                                                                                              \
    static BOOL Set##name(const std::vector<BYTE>& d)                                              \
    {                                                                                              \
        return WriteProfileBinary(section, #name, d);                                              \
    }
    QUORVIL_INT_SETTINGS(QUORVIL_INT_SETTING)
    QUORVIL_STRING_SETTINGS(QUORVIL_STRING_SETTING)
    QUORVIL_BINARY_SETTINGS(QUORVIL_BINARY_SETTING)
#undef QUORVIL_INT_SETTING
#undef QUORVIL_STRING_SETTING
#undef QUORVIL_BINARY_SETTING

    // The audit files' paths, in section "Settings"; their defaults lie in
    // the state folder.
    static std::string GetAuditText();
    static BOOL SetAuditText(const char* path)
    {
        return WriteProfileString(SECTION_SETTINGS, "AuditText", path);
    }
    static std::string GetAuditNT();
    static BOOL SetAuditNT(const char* path)
    {
        return WriteProfileString(SECTION_SETTINGS, "AuditNT", path);
    }

    // Settings/ViewFont, "height,width,escapement,orientation,weight,italic,
    // underline,strike-out,charset,out-precision,clip-precision,quality,
    // pitch-and-family,face name" (default "-11,0,0,0,400,0,0,0,0,1,2,1,34,MS
    // Sans Serif"). Reading splits at ","; the fields that are there replace
    // the font's fields from the left, the others keep the caller's values (an
    // empty value changes nothing). A face name is cut to 31 characters.
    static void GetViewFont(LOGFONT& font);
    static BOOL SetViewFont(const LOGFONT& font);

    // A window placement under Settings/<key> ("WindowPos"), as
    // "flags,showCmd,minX,minY,maxX,maxY,left,top,right,bottom". FALSE, with
    // placement unchanged, unless the value is there and holds exactly ten
    // numbers.
    static BOOL ReadWindowPlacement(const char* key, WINDOWPLACEMENT& placement);
    static BOOL WriteWindowPlacement(const char* key, const WINDOWPLACEMENT& placement);

    // Section "System". The error-log path getter stores the default path
    // when the value is absent, so that it and the system log writer agree.
    static std::string GetErrorLogPath();
    static BOOL SetErrorLogPath(const char* path)
    {
        return WriteProfileString(SECTION_SYSTEM, "ErrorLog", path);
    }
    // The size cap of the system log and the audit files in KB (0: none),
    // kept by the system log writer (brancmn.h).
    static int GetMaxLogSizeKB();
    static BOOL SetMaxLogSizeKB(int nKB);

    // Whether text occurs in the array, exactly and with letter case.
    static BOOL IsStringInArray(const std::vector<std::string>& array, const char* text);
    // Whether value occurs in the array.
    static BOOL IsValueInArray(const std::vector<DWORD>& array, DWORD value);
};
