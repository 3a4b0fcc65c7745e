// ReadEventLogA throughput: sequential forward reads with the 100,000-byte
// buffer of the event log scan, over a warm log of one million records.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/common/benchnetwork.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"

namespace {

constexpr DWORD g_records = 1'000'000;

// The local computer's log "Bench" of one million records.
struct CBenchLog {
    CBenchNetwork m_network;
    CBenchLog()
    {
        m_network.WriteLog("Bench", g_records, [](DWORD i, CEvtEvent& e) {
            e.m_strSourceName = "Quorvil";
            e.m_wEventType = 4;
            e.m_dwEventID = 100;
            e.m_strings = {"Mark " + std::to_string(i), "disk C: at 91%"};
        });
    }
};

void BM_ReadEventLogSequential(benchmark::State& state)
{
    static CBenchLog log;
    HANDLE handle = OpenEventLogA(nullptr, "Bench");
    std::vector<BYTE> buffer(100000);
    std::size_t records = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        DWORD read = 0;
        DWORD needed = 0;
        for (DWORD next = 1; next <= g_records;) {
            if (!ReadEventLogA(handle, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, next,
                               buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed)) {
                state.SkipWithError("read failed");
                break;
            }
            for (DWORD at = 0; at < read; at += GetLe32(buffer.data() + at)) {
                ++records;
                ++next;
            }
        }
    }
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    CloseEventLog(handle);
    state.counters["records_per_second"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    std::printf("ReadEventLogA, 100,000-byte buffer: %.0f records per second\n",
                static_cast<double>(records) / elapsed.count());
}
BENCHMARK(BM_ReadEventLogSequential)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
