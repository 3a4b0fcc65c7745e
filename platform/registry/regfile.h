#pragma once
// The .reg text format of a hive file: reading both dialects that Windows
// exports and imports, and writing the version 5 dialect.
//
// Reading accepts
//   - "REGEDIT4" files (8-bit text, which on Linux is UTF-8), and
//     "Windows Registry Editor Version 5.00" files either in UTF-16LE with the
//     FF FE byte-order mark (as Windows exports them) or in UTF-8 (as we
//     write them; a UTF-8 byte-order mark is skipped);
//   - CR LF, LF or CR line ends, white space before the header and at the
//     start of lines, blank lines, "; ..." and "# ..." comment lines, and a
//     "; ..." comment after a complete value;
//   - key lines "[ROOT\path]" (missing parents are created) and deletion
//     lines "[-ROOT\path]"; ROOT must be the hive's root name, in full;
//   - values "Name"=... or @=..., "Name"=- (delete), with the data forms
//     "text" (REG_SZ; escapes \\ \" and \n \r), dword:1-8 hex digits,
//     hex:bytes (REG_BINARY) and hex(N):bytes for any type N, continued over
//     lines by a trailing ",\".
// In a version 5 file the hex forms of REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ
// hold UTF-16LE text; they are converted to 8-bit text (UTF-8). In a
// REGEDIT4 file they are 8-bit already and kept as they are.
//
// Writing gives the version 5 header in UTF-8 without byte-order mark, CR LF
// line ends (as Windows exports, so the files stay readable there), a blank
// line after the header and after each key's values, keys depth first in
// enumeration order (a key without values whose subkeys imply it is left
// out), dword: with eight lowercase digits, REG_SZ as a quoted string when it
// is one NUL-terminated string, and every other value as hex lists broken
// after the comma that makes a line reach 77 characters, continued with two
// spaces of indentation. Text converted to UTF-16LE for the file converts back
// to the same bytes, also when it is not valid UTF-8 (each stray byte 0xNN is
// carried as the unpaired surrogate U+DCNN), so write, read and write again
// gives the same bytes.
//
// Thread-safe: the functions share no state.
#include <string>
#include <string_view>

#include "platform/base/win32types.h"
#include "platform/registry/regkey.h"

// Why a hive file could not be used.
struct CRegFileError {
    DWORD m_dwError = 0; // ERROR_BADDB for a damaged file, else the I/O error code
    int m_nLine = 0;     // 1-based line of the damage; 0 when it is not about a line
    std::string m_strText;

    // "line 7: a value outside of a key", or the text alone.
    std::string Describe() const;
};

// Reads the bytes of a .reg file whose keys lie below rootName (for example
// "HKEY_CURRENT_USER"). On success root is replaced by the file's tree below
// that root. A damaged file leaves root unchanged, fills error (ERROR_BADDB,
// the line and what is wrong), sets the last error and returns false.
bool ParseRegFile(std::string_view bytes, std::string_view rootName, CRegKey& root,
                  CRegFileError& error);

// The file text of the tree root below rootName, in the form described above.
std::string FormatRegFile(const CRegKey& root, std::string_view rootName);
