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
#include "bench/common/benchnetwork.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"

namespace {

// QUORVIL_BENCH_RECORDS overrides the count (for profiling runs).
const DWORD RECORDS = [] {
    const char* value = std::getenv("QUORVIL_BENCH_RECORDS");
    return value ? static_cast<DWORD>(std::strtoul(value, nullptr, 10)) : DWORD{1'000'000};
}();

// The local computer's two logs of a million records each, and the message
// file of the source "App".
struct CBenchLogs {
    CBenchNetwork m_network;
    CBenchLogs()
    {
        AtomicWriteFile(m_network.ComputerFolder() + "/C$/Messages/app.mc",
                        "MessageId=4000\nLanguage=English\nThe service %1 reported: %2.\n.\n"
                        "MessageId=4001\nLanguage=English\nThe disk %1 is %2 full.\n.\n");
        WriteLog("Marks", "Quorvil", 100);
        WriteLog("Messages", "App", 4000);
        CEventSourceConfig source;
        source.m_strMessageFile = "C:\\Messages\\app.mc";
        AddEventSource(nullptr, "Messages", "App", source);
    }

    void WriteLog(const char* log, const char* source, DWORD id)
    {
        m_network.WriteLog(log, RECORDS, [&](DWORD i, CEvtEvent& e) {
            // One record in a thousand is a disk warning that the keys catch.
            const bool bDisk = i % 1000 == 0;
            e.m_strSourceName = source;
            e.m_dwEventID = bDisk ? id + 1 : id;
            e.m_wEventType = bDisk ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
            e.m_strings = bDisk ? std::vector<std::string>{"C:", "97%"}
                                : std::vector<std::string>{"spooler", "job " + std::to_string(i) + " printed"};
        });
    }
};

CBenchLogs& Network()
{
    static CBenchLogs logs;
    return logs;
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
