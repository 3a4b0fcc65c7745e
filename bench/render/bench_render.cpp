// Event message rendering: events per second that the event scan renders
// (description and category) on a log of one million records of the remote
// server SRV, with the reuse of source lookups and module paths and without
// it. The records are read as the scan reads them; only rendering is timed.
// Without reuse, the first 100,000 records stand for the log.
//
// The log: 20 sources, each with its own message file (two of every five
// list a shared file first, which lacks the event's message), one category
// file and one parameter file; ten messages per source with two inserts;
// one event in ten has a "%%5" parameter reference.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <time.h>

#include "eventlog/render/eventrender.h"
#include "eventrecords/eventloghandle.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/msgmodule/modulecache.h"
#include "platform/network/network.h"

namespace {

constexpr DWORD g_records = 1'000'000;
constexpr DWORD g_recordsWithoutReuse = 100'000;
constexpr int g_sources = 20;
constexpr DWORD g_firstMessage = 0x400003E8; // informational, code 1000
constexpr DWORD g_block = 10'000;

std::string SourceName(int i)
{
    return "Service" + std::to_string(100 + i).substr(1);
}

std::string MessageSource(int source)
{
    std::string mc = "SeverityNames=(Informational=0x1)\nFacilityNames=(Zero=0x0)\n"
                     "LanguageNames=(English=0x409:MSG00409)\n";
    for (int m = 0; m < 10; ++m)
        mc += "MessageId=" + std::to_string(1000 + m) +
              "\nSeverity=Informational\nFacility=Zero\nLanguage=English\n" + SourceName(source) +
              " reports %1 on volume %2 (" + std::to_string(m) + ").\n.\n";
    return mc;
}

void SetValue(HKEY key, const char* name, const std::string& value)
{
    RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

struct CBenchNetwork {
    std::string m_strRoot;
    CBenchNetwork()
    {
        char pattern[] = "/tmp/quorvil-bench-render-XXXXXX";
        m_strRoot = ::mkdtemp(pattern);
        ::setenv("QUORVIL_COMPUTERNAME", "BENCH", 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        SetNetworkRoot(m_strRoot + "/network");
        const std::string server = m_strRoot + "/network/WORKGROUP/SRV";
        const std::string system32 = server + "/C$/WINDOWS/system32/";
        EnsureDirectory(system32);
        AddEventLog("SRV", "System", 0xFFFF0000u, 0);

        AtomicWriteFile(system32 + "shared.mc",
                        "LanguageNames=(English=0x409:MSG00409)\nMessageId=1\n"
                        "Language=English\nShared message.\n.\n");
        AtomicWriteFile(system32 + "categories.mc", "LanguageNames=(English=0x409:MSG00409)\n"
                                                    "MessageId=1\nLanguage=English\nDisk\n.\n"
                                                    "MessageId=2\nLanguage=English\nNetwork\n.\n");
        AtomicWriteFile(system32 + "params.mc",
                        "LanguageNames=(English=0x409:MSG00409)\n"
                        "MessageId=5\nLanguage=English\nAdministrators%0\n.\n");
        HKEY root{};
        RegConnectRegistryA("\\\\SRV", HKEY_LOCAL_MACHINE, &root);
        for (int i = 0; i < g_sources; ++i) {
            AtomicWriteFile(system32 + SourceName(i) + ".mc", MessageSource(i));
            HKEY key{};
            RegCreateKeyExA(
                root, (EVENTLOG_SOURCES_KEY + std::string("System\\") + SourceName(i)).c_str(), 0,
                nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            std::string file = "%SystemRoot%\\system32\\" + SourceName(i) + ".mc";
            SetValue(key, "EventMessageFile",
                     i % 5 < 2 ? "%SystemRoot%\\system32\\shared.mc;" + file : file);
            SetValue(key, "CategoryMessageFile", "%SystemRoot%\\system32\\categories.mc");
            SetValue(key, "ParameterMessageFile", "%SystemRoot%\\system32\\params.mc");
            RegCloseKey(key);
        }
        RegCloseKey(root);

        std::vector<std::string> records;
        records.reserve(g_records);
        CEvtEvent e;
        e.m_strComputerName = "SRV";
        e.m_wEventType = 4;
        for (DWORD n = 1; n <= g_records; ++n) {
            e.m_dwRecordNumber = n;
            e.m_dwTimeGenerated = e.m_dwTimeWritten = 1'700'000'000 + n;
            e.m_strSourceName = SourceName(static_cast<int>(n % g_sources));
            e.m_dwEventID = g_firstMessage + n % 10;
            e.m_wEventCategory = static_cast<WORD>(n % 3); // 0: none
            e.m_strings = {n % 10 == 0 ? "%%5" : "job " + std::to_string(n), "D:"};
            records.push_back(EncodeEvtRecord(e));
        }
        AtomicWriteFile(server + "/eventlog/System.evt",
                        ComposeEvtFile(records, g_records + 1, 0xFFFF0000u, 0));
    }
    ~CBenchNetwork() { std::filesystem::remove_all(m_strRoot); }
};

double ThreadCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Renders the log's first records as the scan does; the wall time and the
// thread's CPU time (which a busy machine disturbs less) of rendering alone.
void BM_RenderLog(benchmark::State& state)
{
    static CBenchNetwork network;
    const bool reuse = state.range(0) != 0;
    const DWORD count = reuse ? g_records : g_recordsWithoutReuse;
    SetEventRenderReuse(reuse);
    ClearEventRenderCache();
    GetMessageModuleCache().Clear();
    std::size_t events = 0;
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        CEventLogHandle log;
        if (!log.Open("SRV", "System")) {
            state.SkipWithError("cannot open the log");
            break;
        }
        CEventRenderer renderer("SRV", "System", "SRV\\System");
        std::string description, category;
        double iteration = 0;
        for (DWORD first = 1; first <= count; first += g_block) {
            const DWORD last = std::min(first + g_block - 1, count);
            CEventList list;
            log.ReadEvents(first, last, list);
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = ThreadCpuSeconds();
            std::size_t pos = 0;
            for (CEventStruct* event = list.GetNext(pos); event && event->m_nRecordNumber <= last;
                 event = list.GetNext(pos)) {
                category.clear();
                renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, *event, description,
                                     category);
                benchmark::DoNotOptimize(description);
                ++events;
            }
            cpu += ThreadCpuSeconds() - cpuStart;
            iteration +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        state.SetIterationTime(iteration);
        wall += iteration;
    }
    SetEventRenderReuse(true);
    const double n = static_cast<double>(events);
    state.counters["events_per_second"] = benchmark::Counter(n / wall);
    state.counters["events_per_cpu_second"] = benchmark::Counter(n / cpu);
    std::printf("Rendering %s reuse: %.0f events per second, %.0f per CPU second (%zu records)\n",
                reuse ? "with" : "without", n / wall, n / cpu, events);
}
BENCHMARK(BM_RenderLog)
    ->ArgName("reuse")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
