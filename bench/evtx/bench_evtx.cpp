// The .evtx scan beside evtxexport (text and XML output) on the same file:
// 100,000 records made by the test data generator, scanned with one watch
// group holding an event key on the provider and event ID (records are
// parsed, nothing rendered) and once more with a text key (every
// description rendered). Prints records per second of each, by the wall
// clock and by CPU time (the steadier figure on a busy machine).
//
//   bench_evtx [ignored benchmark flags]
//   QUORVIL_BENCH_EVTX_RECORDS=N   another number of records
//   QUORVIL_BENCH_EVTX_FILE=PATH   keep the file at PATH and use the one
//                                  already there (for profiling)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "core/keysandactions.h"
#include "evtx/evtxmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of this thread, or of the finished child processes.
double CpuSeconds(bool bChildren)
{
    if (bChildren) {
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Timer {
    explicit Timer(bool bOfChildren) : bChildren(bOfChildren) {}
    bool bChildren;
    Clock::time_point start = Clock::now();
    double cpuStart = CpuSeconds(bChildren);
    double wall = 0;
    double cpu = 0;
    void Stop()
    {
        wall = Seconds(start);
        cpu = CpuSeconds(bChildren) - cpuStart;
    }
};

void Print(const char* what, long nRecords, const Timer& t)
{
    const auto n = static_cast<double>(nRecords);
    std::printf("%s: %ld records in %.2f s, %.0f records/s; %.2f s CPU, %.0f records per CPU "
                "second\n",
                what, nRecords, t.wall, n / t.wall, t.cpu, n / t.cpu);
}

Timer Scan(const std::string& path, CSearchKey* pKey)
{
    CEvtxMonitor log;
    log.m_strPath = path;
    auto* pGroup = new CKeysAndActions;
    pGroup->AddKey(pKey);
    log.AddWatchGroup(pGroup);
    Timer t(false);
    log.Scan();
    t.Stop();
    return t;
}

} // namespace

int main()
{
    const char* pCount = std::getenv("QUORVIL_BENCH_EVTX_RECORDS");
    const long nRecords = pCount ? std::atol(pCount) : 100000;
    char pattern[] = "/tmp/quorvil-bench-evtx-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string root = pattern;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    ::setenv("QUORVIL_NETWORK", (root + "/network").c_str(), 1);
    RegisterEvtxClasses();
    const char* pKeep = std::getenv("QUORVIL_BENCH_EVTX_FILE");
    const std::string path = pKeep ? pKeep : root + "/big.evtx";
    const std::string make = "/usr/bin/python3 " QUORVIL_EVTX_GENERATOR " " + path + " --records " +
                             std::to_string(nRecords) + " > /dev/null";
    if ((!pKeep || ::access(path.c_str(), R_OK) != 0) && std::system(make.c_str()) != 0)
        return 1;

    // Its text output reads each record's values, as the scan with an event
    // key does; its XML output renders each record, as descriptions do.
    for (const char* format : {"text", "xml"}) {
        Timer peer(true);
        const std::string command =
            "evtxexport -f " + std::string(format) + " '" + path + "' > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            std::printf("evtxexport failed\n");
        peer.Stop();
        Print(("evtxexport -f " + std::string(format)).c_str(), nRecords, peer);
    }

    auto* pEvent = new CSearchKeyEvent;
    pEvent->SetSourceValue("Microsoft-Windows-Security-Auditing");
    pEvent->SetEventIDValue(4625);
    Print("evtx scan, event key", nRecords, Scan(path, pEvent));
    auto* pText = new CSearchKeyText;
    pText->m_strKey1 = "IpAddress value 7";
    Print("evtx scan, text key (every description made)", nRecords, Scan(path, pText));
    return std::system(("rm -rf '" + root + "'").c_str()) == 0 ? 0 : 1;
}
