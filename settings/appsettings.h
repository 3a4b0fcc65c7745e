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

    // Section "Settings", integers.
    static int GetReloadWorkspace()
    {
        return GetProfileInt(SECTION_SETTINGS, "ReloadWorkspace", 0);
    }
    static BOOL SetReloadWorkspace(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "ReloadWorkspace", v);
    }
    static int GetJumpToEnd() { return GetProfileInt(SECTION_SETTINGS, "JumpToEnd", 1); }
    static BOOL SetJumpToEnd(int v) { return WriteProfileInt(SECTION_SETTINGS, "JumpToEnd", v); }
    static int GetAutoScan() { return GetProfileInt(SECTION_SETTINGS, "AutoScan", 0); }
    static BOOL SetAutoScan(int v) { return WriteProfileInt(SECTION_SETTINGS, "AutoScan", v); }
    static int GetRunDelay() { return GetProfileInt(SECTION_SETTINGS, "RunDelay", 0); }
    static BOOL SetRunDelay(int v) { return WriteProfileInt(SECTION_SETTINGS, "RunDelay", v); }
    static int GetScanDelay() { return GetProfileInt(SECTION_SETTINGS, "ScanDelay", 0); }
    static BOOL SetScanDelay(int v) { return WriteProfileInt(SECTION_SETTINGS, "ScanDelay", v); }
    static int GetAutoSave() { return GetProfileInt(SECTION_SETTINGS, "AutoSave", 0); }
    static BOOL SetAutoSave(int v) { return WriteProfileInt(SECTION_SETTINGS, "AutoSave", v); }
    static int GetNoConfirmExit() { return GetProfileInt(SECTION_SETTINGS, "NoConfirmExit", 0); }
    static BOOL SetNoConfirmExit(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "NoConfirmExit", v);
    }
    static int GetFirstTimeFlag() { return GetProfileInt(SECTION_SETTINGS, "FirstTimeFlag", 0); }
    static BOOL SetFirstTimeFlag(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "FirstTimeFlag", v);
    }
    static int GetExtendedAudit() { return GetProfileInt(SECTION_SETTINGS, "ExtendedAudit", 0); }
    static BOOL SetExtendedAudit(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "ExtendedAudit", v);
    }
    static int GetAuditBackup() { return GetProfileInt(SECTION_SETTINGS, "AuditBackup", 0); }
    static BOOL SetAuditBackup(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "AuditBackup", v);
    }
    static int GetAutoBackup() { return GetProfileInt(SECTION_SETTINGS, "AutoBackup", 0); }
    static BOOL SetAutoBackup(int v) { return WriteProfileInt(SECTION_SETTINGS, "AutoBackup", v); }
    static int GetNewestFirst() { return GetProfileInt(SECTION_SETTINGS, "NewestFirst", 0); }
    static BOOL SetNewestFirst(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "NewestFirst", v);
    }
    // 0 means the default columns.
    static int GetFileNumColumns() { return GetProfileInt(SECTION_SETTINGS, "FileNumColumns", 0); }
    static BOOL SetFileNumColumns(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "FileNumColumns", v);
    }
    static int GetServerNumColumns()
    {
        return GetProfileInt(SECTION_SETTINGS, "ServerNumColumns", 0);
    }
    static BOOL SetServerNumColumns(int v)
    {
        return WriteProfileInt(SECTION_SETTINGS, "ServerNumColumns", v);
    }

    // Section "Settings", strings.
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
    static std::string GetAutoBackupDir()
    {
        return GetProfileString(SECTION_SETTINGS, "AutoBackupDir", "");
    }
    static BOOL SetAutoBackupDir(const char* dir)
    {
        return WriteProfileString(SECTION_SETTINGS, "AutoBackupDir", dir);
    }
    static std::string GetTextEditor()
    {
        return GetProfileString(SECTION_SETTINGS, "TextEditor", DEFAULT_EDITOR);
    }
    static BOOL SetTextEditor(const char* program)
    {
        return WriteProfileString(SECTION_SETTINGS, "TextEditor", program);
    }
    static std::string GetFastMark()
    {
        return GetProfileString(SECTION_SETTINGS, "FastMark", "Fast Mark -------");
    }
    static BOOL SetFastMark(const char* text)
    {
        return WriteProfileString(SECTION_SETTINGS, "FastMark", text);
    }

    // Section "Settings", byte arrays of the list views' columns (absent by
    // default: FALSE).
    static BOOL GetFileColFlags(std::vector<BYTE>& d)
    {
        return GetProfileBinary(SECTION_SETTINGS, "FileColFlags", d);
    }
    static BOOL SetFileColFlags(const std::vector<BYTE>& d)
    {
        return WriteProfileBinary(SECTION_SETTINGS, "FileColFlags", d);
    }
    static BOOL GetFileColWidths(std::vector<BYTE>& d)
    {
        return GetProfileBinary(SECTION_SETTINGS, "FileColWidths", d);
    }
    static BOOL SetFileColWidths(const std::vector<BYTE>& d)
    {
        return WriteProfileBinary(SECTION_SETTINGS, "FileColWidths", d);
    }
    static BOOL GetServerColFlags(std::vector<BYTE>& d)
    {
        return GetProfileBinary(SECTION_SETTINGS, "ServerColFlags", d);
    }
    static BOOL SetServerColFlags(const std::vector<BYTE>& d)
    {
        return WriteProfileBinary(SECTION_SETTINGS, "ServerColFlags", d);
    }
    static BOOL GetServerColWidths(std::vector<BYTE>& d)
    {
        return GetProfileBinary(SECTION_SETTINGS, "ServerColWidths", d);
    }
    static BOOL SetServerColWidths(const std::vector<BYTE>& d)
    {
        return WriteProfileBinary(SECTION_SETTINGS, "ServerColWidths", d);
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
    static int GetErrorLogEnabled() { return GetProfileInt(SECTION_SYSTEM, "ErrorLogEnabled", 1); }
    static BOOL SetErrorLogEnabled(int v)
    {
        return WriteProfileInt(SECTION_SYSTEM, "ErrorLogEnabled", v);
    }
    // The size cap of the system log and the audit files in KB (0: none),
    // kept by the system log writer (brancmn.h).
    static int GetMaxLogSizeKB();
    static BOOL SetMaxLogSizeKB(int nKB);
    static std::string GetSQLEditor()
    {
        return GetProfileString(SECTION_SYSTEM, "SQLEditor", DEFAULT_EDITOR);
    }
    static BOOL SetSQLEditor(const char* program)
    {
        return WriteProfileString(SECTION_SYSTEM, "SQLEditor", program);
    }

    // Whether text occurs in the array, exactly and with letter case.
    static BOOL IsStringInArray(const std::vector<std::string>& array, const char* text);
    // Whether value occurs in the array.
    static BOOL IsValueInArray(const std::vector<DWORD>& array, DWORD value);

private:
    static constexpr const char* DEFAULT_EDITOR = "xdg-open";
};
