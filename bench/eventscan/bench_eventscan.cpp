// The event log scan over one million new records, one watch group tested
// against every record, beside the event log tools of libevt-utils on the
// same file:
//   - "Messages": every record's source has a registered message file;
//   - "Missing": no record's source is registered (each renders as the
//     missing-description text and logs why, once per scan with its count).
// Keys "without text" (an event ID and a type) render only the records that
// fire (one in a thousand); keys "with text" test the rendered description
// and so render every record.
//
// After the benchmarks, evtinfo and evtexport (scripts/install-deps with
// QUORVIL_BENCH_PEERS=1) run on the "Messages" file, and the figures are
// printed side by side with the goals: under 0.5 s without text, under 2 s
// with rendering.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/common/benchnetwork.h"
#include "core/keysandactions.h"
#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"

namespace {

// QUORVIL_BENCH_RECORDS overrides the count (for profiling runs).
const DWORD RECORDS = [] {
    const char* value = std::getenv("QUORVIL_BENCH_RECORDS");
    return value ? static_cast<DWORD>(std::strtoul(value, nullptr, 10)) : DWORD{1'000'000};
}();

constexpr DWORD DISK_ID = 4001;

// The local computer's two logs, and the message file of the source "App".
struct CBenchLogs {
    CBenchNetwork m_network;
    CBenchLogs()
    {
        AtomicWriteFile(m_network.ComputerFolder() + "/C$/Messages/app.mc",
                        "MessageId=4000\nLanguage=English\nThe service %1 reported: %2.\n.\n"
                        "MessageId=4001\nLanguage=English\nThe disk %1 is %2 full.\n.\n");
        WriteLog("Messages", "App");
        WriteLog("Missing", "Gone");
        CEventSourceConfig source;
        source.m_strMessageFile = "C:\\Messages\\app.mc";
        AddEventSource(nullptr, "Messages", "App", source);
    }

    void WriteLog(const char* log, const char* source)
    {
        m_network.WriteLog(log, RECORDS, [&](DWORD i, CEvtEvent& e) {
            // One record in a thousand is a disk warning that the keys catch.
            const bool bDisk = i % 1000 == 0;
            e.m_strSourceName = source;
            e.m_dwEventID = bDisk ? DISK_ID : DISK_ID - 1;
            e.m_wEventType = bDisk ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
            e.m_strings = bDisk ? std::vector<std::string>{"C:", "97%"}
                                : std::vector<std::string>{"spooler",
                                                           "job " + std::to_string(i) + " printed"};
        });
    }

    std::string LogPath(const char* log) const
    {
        return m_network.ComputerFolder() + "/eventlog/" + log + ".evt";
    }
};

CBenchLogs& Network()
{
    static CBenchLogs logs;
    return logs;
}

// Seconds per scan, by case name, for the summary.
std::map<std::string, double>& Results()
{
    static std::map<std::string, double> results;
    return results;
}

// Keys without text: an error type, an ID range and the disk warning's ID.
// With text: the same first two and a text in the disk warning's message.
CKeysAndActions* DiskGroup(bool bText)
{
    auto* group = new CKeysAndActions;
    auto* type = new CSearchKeyEvent;
    type->SetTypeValue(EVENTLOG_ERROR_TYPE);
    group->AddKey(type);
    auto* ids = new CSearchKeyEvent;
    ids->SetEventIDRange(5000, 5100);
    group->AddKey(ids);
    auto* last = new CSearchKeyEvent;
    if (bText)
        last->SetText("97%");
    else
        last->SetEventIDValue(DISK_ID);
    group->AddKey(last);
    return group;
}

void ScanLog(benchmark::State& state, const char* log, bool bText)
{
    Network();
    RegisterEventScanClasses();
    double seconds = 0;
    for (auto _ : state) {
        CEventMonitor monitor;
        monitor.m_strServer = "BENCH";
        monitor.m_strLogName = log;
        monitor.m_bEnabled = TRUE;
        CKeysAndActions* group = DiskGroup(bText);
        monitor.AddWatchGroup(group);
        auto start = std::chrono::steady_clock::now();
        monitor.Scan();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (monitor.m_nLastRecord != RECORDS)
            state.SkipWithError("the scan did not reach the last record");
    }
    const double records = static_cast<double>(RECORDS) * static_cast<double>(state.iterations());
    state.counters["records_per_second"] = benchmark::Counter(records / seconds);
    Results()[std::string(log) + (bText ? ", keys with text" : ", keys without text")] =
        seconds / static_cast<double>(state.iterations());
}

void BM_ScanMessagesWithoutText(benchmark::State& state)
{
    ScanLog(state, "Messages", false);
}
void BM_ScanMessagesWithText(benchmark::State& state)
{
    ScanLog(state, "Messages", true);
}
void BM_ScanMissingWithoutText(benchmark::State& state)
{
    ScanLog(state, "Missing", false);
}
void BM_ScanMissingWithText(benchmark::State& state)
{
    ScanLog(state, "Missing", true);
}

// The best wall time of three runs of a shell command; negative when it
// fails.
double TimeCommand(const std::string& command)
{
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            return -1;
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (best < 0 || s < best)
            best = s;
    }
    return best;
}

void PrintSummary()
{
    if (Results().empty())
        return;
    const std::string path = Network().LogPath("Messages");
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    std::printf("\nevent scan of %u records (%.0f MB .evt)\n", static_cast<unsigned>(RECORDS),
                static_cast<double>(bytes) / 1048576.0);
    for (const auto& [name, seconds] : Results()) {
        const bool bText = name.find("with text") != std::string::npos;
        const double goal = bText ? 2.0 : 0.5;
        std::printf("  quorvil  %-30s %7.3f s   goal < %.1f s: %s\n", name.c_str(), seconds, goal,
                    seconds < goal ? "met" : "NOT met");
    }
    for (const char* tool : {"evtinfo", "evtexport"}) {
        const std::string check = std::string("command -v ") + tool + " > /dev/null 2>&1";
        if (std::system(check.c_str()) != 0) {
            std::printf("  %-8s not installed (scripts/install-deps with QUORVIL_BENCH_PEERS=1)\n",
                        tool);
            continue;
        }
        const double seconds = TimeCommand(std::string(tool) + " '" + path + "' > /dev/null 2>&1");
        if (seconds < 0)
            std::printf("  %-8s failed on the file\n", tool);
        else
            std::printf("  %-8s %-30s %7.3f s\n", tool, "same file (Messages)", seconds);
    }
}

} // namespace

BENCHMARK(BM_ScanMessagesWithoutText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanMessagesWithText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanMissingWithoutText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanMissingWithText)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
    benchmark::Shutdown();
    return 0;
}
