// CEventLogHandle::ReadEvents throughput: one million records read in
// 100,000-byte blocks and converted into CEventStructs, as an event scan of
// a large log does. Records carry two insertion strings and the SID of one
// of a few accounts (resolved through the read's account cache). Each read
// fills a new list that is freed afterwards, as a scan does, so the records'
// memory is allocated afresh every time; on a virtual machine the page faults
// of that memory are a large part of the processor time.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "eventlog/records/eventloghandle.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"
#include "platform/security/sid.h"

namespace {

constexpr DWORD g_records = 1'000'000;

// A temporary network whose local computer has a log "Bench" of one
// million records, written as one file image.
struct CBenchLog {
    std::string m_strRoot;
    CBenchLog()
    {
        char pattern[] = "/tmp/quorvil-bench-XXXXXX";
        m_strRoot = ::mkdtemp(pattern);
        ::setenv("QUORVIL_COMPUTERNAME", "BENCH", 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        SetNetworkRoot(m_strRoot + "/network");
        AddEventLog(nullptr, "Bench", 0xFFFF0000u, 0);
        std::vector<std::string> sids;
        for (const char* text : {"S-1-5-18", "S-1-5-19", "S-1-5-20"}) {
            std::vector<BYTE> sid;
            StringToSid(text, sid);
            sids.emplace_back(sid.begin(), sid.end());
        }
        const std::vector<BYTE> root = UnixUserSid(0);
        sids.emplace_back(root.begin(), root.end());
        std::vector<std::string> records;
        records.reserve(g_records);
        CEvtEvent e;
        e.m_strSourceName = "Service Control Manager";
        e.m_strComputerName = "BENCH";
        e.m_wEventType = 4;
        e.m_dwEventID = 0x40001B7D;
        for (DWORD i = 1; i <= g_records; ++i) {
            e.m_dwRecordNumber = i;
            e.m_dwTimeGenerated = e.m_dwTimeWritten = 1'700'000'000 + i;
            e.m_sid = sids[i % sids.size()];
            e.m_strings = {"Windows Update service " + std::to_string(i), "running"};
            records.push_back(EncodeEvtRecord(e));
        }
        std::string path = *GetComputerFolder(nullptr, 0) + "/eventlog/Bench.evt";
        EnsureDirectory(DirectoryOf(path));
        AtomicWriteFile(path, ComposeEvtFile(records, g_records + 1, 0xFFFF0000u, 0));
    }
    ~CBenchLog() { std::filesystem::remove_all(m_strRoot); }
};

void BM_ReadEvents(benchmark::State& state)
{
    static CBenchLog log;
    CEventLogHandle handle;
    if (!handle.Open("", "Bench")) {
        state.SkipWithError("open failed");
        return;
    }
    std::size_t records = 0;
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        CEventList list;
        if (!handle.ReadEvents(1, g_records, list) || list.GetCount() != g_records) {
            state.SkipWithError("read failed");
            break;
        }
        records += list.GetCount();
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["records_per_second"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    std::printf("CEventLogHandle::ReadEvents, one million records read and converted: %.0f records per second "
                "(%.0f per second of processor time)\n",
                static_cast<double>(records) / elapsed.count(), static_cast<double>(records) / cpu);
}
BENCHMARK(BM_ReadEvents)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
