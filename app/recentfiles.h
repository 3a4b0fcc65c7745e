#pragma once
// The list of the most recently used workspace files, kept in the settings
// hive the way the framework keeps it: section "Recent File List", entries
// "File1" (the newest) to "File4". Empty entries are not written.
//
// User interface thread.
#include <string>
#include <vector>

class CRecentFileList {
public:
    static constexpr const char* SECTION = "Recent File List";
    static constexpr int SIZE = 4;

    // Reads the entries from the settings.
    void ReadList();
    // Writes the entries to the settings.
    void WriteList() const;
    // Puts the path first, dropping an older entry of the same path and the
    // oldest entry when the list is full.
    void Add(const std::string& strPath);
    int GetCount() const { return static_cast<int>(m_arrNames.size()); }
    // The entry at the index, "" beyond the end.
    std::string operator[](int index) const;

private:
    std::vector<std::string> m_arrNames; // non-empty entries, newest first
};
