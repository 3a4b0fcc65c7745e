#pragma once
// The shown columns of one kind of log list and their widths, kept once for
// the whole process and shared by every instance of that list: identifiers
// (single bit values of the list's column table) and widths in pixels, by
// position. Loaded from three settings of section "Settings" (a count and
// two byte arrays of 32-bit little-endian values) the first time a list
// needs them, written back whenever a list goes away.
//
// Threads: user interface thread only.
#include <vector>

#include "platform/base/win32types.h"

struct CColumnSettingNames {
    const char* pszCount;  // integer: the number of columns
    const char* pszFlags;  // byte array: the identifiers
    const char* pszWidths; // byte array: the widths
};

class CColumnLayout {
public:
    static constexpr DWORD NEW_COLUMN_WIDTH = 70;

    explicit CColumnLayout(CColumnSettingNames names) : m_names(names) {}

    // When no columns are held yet: reads the settings; when they hold none,
    // the default columns 1, 2, 4 at widths 180, 70, 80. Afterwards there are
    // as many widths as identifiers (missing ones 70).
    void LoadOnce();
    // Writes the count, the identifiers and the widths.
    void Save() const;
    // New identifiers; widths stay with positions: new positions get 70,
    // surplus widths at the end are dropped.
    void SetColumns(const std::vector<DWORD>& ids);
    // Forgets the columns, so that the next LoadOnce reads the settings again
    // (as a new process would).
    void Forget();

    std::vector<DWORD> m_arrIds;
    std::vector<DWORD> m_arrWidths;
    // The widths are the user's (read from the settings, or already fitted
    // to the content once): a list shown for the first time keeps them.
    bool m_bWidthsKept = false;

private:
    CColumnSettingNames m_names;
};
