#pragma once
// A temporary network for benchmarks: the local computer BENCH, with the
// settings and state folders in the same temporary folder, removed when the
// object goes. Logs are written as whole file images, so a million records
// take a second rather than a million service calls.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/eventlog/evtformat.h"
#include "platform/network/network.h"

class CBenchNetwork {
public:
    CBenchNetwork()
    {
        char pattern[] = "/tmp/quorvil-bench-XXXXXX";
        m_strRoot = ::mkdtemp(pattern);
        ::setenv("QUORVIL_COMPUTERNAME", "BENCH", 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        SetNetworkRoot(m_strRoot + "/network");
    }
    ~CBenchNetwork() { std::filesystem::remove_all(m_strRoot); }
    CBenchNetwork(const CBenchNetwork&) = delete;
    CBenchNetwork& operator=(const CBenchNetwork&) = delete;

    std::string ComputerFolder() const { return *GetComputerFolder(nullptr, 0); }

    // Registers the log (no size limit) and writes records 1..nCount, each
    // made by fill from a record whose number and times are already set.
    void WriteLog(const char* log, DWORD nCount,
                  const std::function<void(DWORD, CEvtEvent&)>& fill) const
    {
        AddEventLog(nullptr, log, 0xFFFF0000u, 0);
        std::vector<std::string> records;
        records.reserve(nCount);
        CEvtEvent event;
        event.m_strComputerName = "BENCH";
        for (DWORD i = 1; i <= nCount; ++i) {
            event.m_dwRecordNumber = i;
            event.m_dwTimeGenerated = event.m_dwTimeWritten = 1'700'000'000 + i;
            fill(i, event);
            records.push_back(EncodeEvtRecord(event));
        }
        const std::string path = ComputerFolder() + "/eventlog/" + log + ".evt";
        EnsureDirectory(DirectoryOf(path));
        AtomicWriteFile(path, ComposeEvtFile(records, nCount + 1, 0xFFFF0000u, 0));
    }

private:
    std::string m_strRoot;
};
