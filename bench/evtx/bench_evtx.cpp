// The .evtx scan beside evtxexport on the same file: 100,000 records made by
// the test data generator, scanned with one watch group holding an event
// key on the provider and event ID (records are parsed, nothing rendered)
// and once more with a text key (every description rendered). Prints
// records per second of each.
//
//   bench_evtx [ignored benchmark flags]
//   QUORVIL_BENCH_EVTX_RECORDS=N   another number of records
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

double Scan(const std::string& path, CSearchKey* pKey)
{
    CEvtxMonitor log;
    log.m_strPath = path;
    auto* pGroup = new CKeysAndActions;
    pGroup->AddKey(pKey);
    log.AddWatchGroup(pGroup);
    const Clock::time_point start = Clock::now();
    log.Scan();
    return Seconds(start);
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
    const std::string path = root + "/big.evtx";
    const std::string make = "/usr/bin/python3 " QUORVIL_EVTX_GENERATOR " " + path + " --records " +
                             std::to_string(nRecords) + " > /dev/null";
    if (std::system(make.c_str()) != 0)
        return 1;

    Clock::time_point start = Clock::now();
    if (std::system(("evtxexport '" + path + "' > /dev/null 2>&1").c_str()) != 0)
        std::printf("evtxexport failed\n");
    const double peer = Seconds(start);
    std::printf("evtxexport: %ld records in %.2f s, %.0f records/s\n", nRecords, peer,
                static_cast<double>(nRecords) / peer);

    auto* pEvent = new CSearchKeyEvent;
    pEvent->SetSourceValue("Microsoft-Windows-Security-Auditing");
    pEvent->SetEventIDValue(4625);
    const double keys = Scan(path, pEvent);
    std::printf("evtx scan, event key: %ld records in %.2f s, %.0f records/s\n", nRecords, keys,
                static_cast<double>(nRecords) / keys);
    auto* pText = new CSearchKeyText;
    pText->m_strKey1 = "IpAddress value 7";
    const double text = Scan(path, pText);
    std::printf("evtx scan, text key (every description made): %ld records in %.2f s, %.0f "
                "records/s\n",
                nRecords, text, static_cast<double>(nRecords) / text);
    return std::system(("rm -rf '" + root + "'").c_str()) == 0 ? 0 : 1;
}
