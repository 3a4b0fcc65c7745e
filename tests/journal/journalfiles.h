#pragma once
// Journal files for tests, written by systemd-journal-remote from entries in
// the journal export format: the real files sd-journal reads.
#include "testing.h"

// One entry: its fields, and its time in seconds since 1970.
struct CJournalTestEntry {
    std::int64_t nSeconds = 1700000000;
    std::vector<std::pair<std::string, std::string>> fields;
};

inline std::string JournalRemotePath()
{
    for (const char* path :
         {"/lib/systemd/systemd-journal-remote", "/usr/lib/systemd/systemd-journal-remote"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

// Appends the entries to the journal file (made when missing); false when
// systemd-journal-remote failed.
inline bool WriteJournal(const std::string& strFile, const std::vector<CJournalTestEntry>& entries)
{
    static std::uint64_t s_nMonotonic = 1000;
    const std::string strExport = strFile + ".export";
    {
        std::ofstream out(strExport, std::ios::binary | std::ios::trunc);
        for (const CJournalTestEntry& entry : entries) {
            out << "__REALTIME_TIMESTAMP=" << entry.nSeconds * 1000000 + 1 << "\n"
                << "__MONOTONIC_TIMESTAMP=" << ++s_nMonotonic << "\n"
                << "_BOOT_ID=0123456789abcdef0123456789abcdef\n";
            for (const auto& [name, value] : entry.fields)
                out << name << "=" << value << "\n";
            out << "\n";
        }
        if (!out.flush())
            return false;
    }
    const std::string command = JournalRemotePath() + " --output='" + strFile + "' - < '" +
                                strExport + "' > /dev/null 2>&1";
    const bool bDone = std::system(command.c_str()) == 0;
    ::unlink(strExport.c_str());
    return bDone;
}
