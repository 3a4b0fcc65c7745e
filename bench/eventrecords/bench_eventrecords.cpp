// CEventLogHandle::ReadEvents throughput: one million records read in
// 100,000-byte blocks and converted into CEventStructs, as an event scan of
// a large log does. Records carry two insertion strings and the SID of one
// of a few accounts (resolved through the read's account cache). Each read
// fills a new list that is freed afterwards, as a scan does, so the records'
// memory is allocated afresh every time; on a virtual machine the page faults
// of that memory are a large part of the processor time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/common/benchnetwork.h"
#include "eventrecords/eventloghandle.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"
#include "platform/security/sid.h"

namespace {

constexpr DWORD g_records = 1'000'000;

// The local computer's log "Bench" of one million records, with the SIDs
// of a few accounts.
struct CBenchLog {
    CBenchNetwork m_network;
    CBenchLog()
    {
        std::vector<std::string> sids;
        for (const char* text : {"S-1-5-18", "S-1-5-19", "S-1-5-20"}) {
            std::vector<BYTE> sid;
            StringToSid(text, sid);
            sids.emplace_back(sid.begin(), sid.end());
        }
        const std::vector<BYTE> root = UnixUserSid(0);
        sids.emplace_back(root.begin(), root.end());
        m_network.WriteLog("Bench", g_records, [&](DWORD i, CEvtEvent& e) {
            e.m_strSourceName = "Service Control Manager";
            e.m_wEventType = 4;
            e.m_dwEventID = 0x40001B7D;
            e.m_sid = sids[i % sids.size()];
            e.m_strings = {"Windows Update service " + std::to_string(i), "running"};
        });
    }
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
    std::printf("CEventLogHandle::ReadEvents, one million records read and converted: %.0f records "
                "per second "
                "(%.0f per second of processor time)\n",
                static_cast<double>(records) / elapsed.count(), static_cast<double>(records) / cpu);
}
BENCHMARK(BM_ReadEvents)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
