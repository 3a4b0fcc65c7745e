// The event log scan over one million new records: one watch group of
// three event keys, tested against every record. "Marks" render without
// message files (the program's own mark event); "Messages" render every
// record from a message file registered for its source, as most real
// events do.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/model/keysandactions.h"
#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"

namespace {

// QUORVIL_BENCH_RECORDS overrides the count (for profiling runs).
const DWORD RECORDS = [] {
    const char* value = std::getenv("QUORVIL_BENCH_RECORDS");
    return value ? static_cast<DWORD>(std::strtoul(value, nullptr, 10)) : DWORD{1'000'000};
}();

// A temporary network whose local computer has two logs of a million
// records each, written as file images.
struct CBenchNetwork {
    std::string m_strRoot;
    CBenchNetwork()
    {
        char pattern[] = "/tmp/quorvil-bench-XXXXXX";
        m_strRoot = ::mkdtemp(pattern);
        ::setenv("QUORVIL_COMPUTERNAME", "BENCH", 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        SetNetworkRoot(m_strRoot + "/network");
        const std::string computer = *GetComputerFolder(nullptr, 0);
        AtomicWriteFile(computer + "/C$/Messages/app.mc",
                        "MessageId=4000\nLanguage=English\nThe service %1 reported: %2.\n.\n"
                        "MessageId=4001\nLanguage=English\nThe disk %1 is %2 full.\n.\n");
        CEventSourceConfig source;
        source.m_strMessageFile = "C:\\Messages\\app.mc";
        WriteLog(computer, "Marks", "Quorvil", 100);
        WriteLog(computer, "Messages", "App", 4000);
        AddEventSource(nullptr, "Messages", "App", source);
    }
    ~CBenchNetwork() { std::filesystem::remove_all(m_strRoot); }

    static void WriteLog(const std::string& computer, const char* log, const char* source, DWORD id)
    {
        AddEventLog(nullptr, log, 0xFFFF0000u, 0);
        std::vector<std::string> records;
        records.reserve(RECORDS);
        CEvtEvent e;
        e.m_strSourceName = source;
        e.m_strComputerName = "BENCH";
        e.m_wEventType = EVENTLOG_INFORMATION_TYPE;
        for (DWORD i = 1; i <= RECORDS; ++i) {
            e.m_dwRecordNumber = i;
            e.m_dwTimeGenerated = e.m_dwTimeWritten = 1'700'000'000 + i;
            // One record in a thousand is a disk warning that the keys catch.
            const bool bDisk = i % 1000 == 0;
            e.m_dwEventID = bDisk ? id + 1 : id;
            e.m_wEventType = bDisk ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
            e.m_strings = bDisk ? std::vector<std::string>{"C:", "97%"}
                                : std::vector<std::string>{"spooler", "job " + std::to_string(i) + " printed"};
            records.push_back(EncodeEvtRecord(e));
        }
        const std::string path = computer + "/eventlog/" + log + ".evt";
        EnsureDirectory(DirectoryOf(path));
        AtomicWriteFile(path, ComposeEvtFile(records, RECORDS + 1, 0xFFFF0000u, 0));
    }
};

CBenchNetwork& Network()
{
    static CBenchNetwork network;
    return network;
}

// One group of three keys: a type, an ID range and a text.
CKeysAndActions* DiskGroup()
{
    auto* group = new CKeysAndActions;
    auto* type = new CSearchKeyEvent;
    type->SetTypeValue(EVENTLOG_ERROR_TYPE);
    group->AddKey(type);
    auto* ids = new CSearchKeyEvent;
    ids->SetEventIDRange(5000, 5100);
    group->AddKey(ids);
    auto* text = new CSearchKeyEvent;
    text->SetText("97%");
    group->AddKey(text);
    return group;
}

void ScanLog(benchmark::State& state, const char* log, bool bReuse)
{
    Network();
    RegisterEventScanClasses();
    SetEventRenderReuse(bReuse);
    double seconds = 0;
    for (auto _ : state) {
        CEventMonitor monitor;
        monitor.m_strServer = "BENCH";
        monitor.m_strLogName = log;
        monitor.m_bEnabled = TRUE;
        monitor.AddWatchGroup(DiskGroup());
        auto start = std::chrono::steady_clock::now();
        monitor.Scan();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (monitor.m_nLastRecord != RECORDS)
            state.SkipWithError("the scan did not reach the last record");
    }
    SetEventRenderReuse(true);
    const double records = static_cast<double>(RECORDS) * static_cast<double>(state.iterations());
    state.counters["records_per_second"] = benchmark::Counter(records / seconds);
    std::printf("%s%s: %.2f s for %u records (%.0f records per second)\n", log,
                bReuse ? "" : " without reuse", seconds / static_cast<double>(state.iterations()),
                static_cast<unsigned>(RECORDS), records / seconds);
}

void BM_ScanMarks(benchmark::State& state) { ScanLog(state, "Marks", true); }
void BM_ScanMessages(benchmark::State& state) { ScanLog(state, "Messages", true); }
void BM_ScanMessagesWithoutReuse(benchmark::State& state) { ScanLog(state, "Messages", false); }

} // namespace

BENCHMARK(BM_ScanMarks)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanMessages)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanMessagesWithoutReuse)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
