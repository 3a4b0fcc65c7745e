// Wake-ups of the scan thread, measured on the real clock:
//
//  1. 1,000 matching lines appended, 10 ms apart, to 100 text logs in 10
//     folders (interval 60 s, so only a wake-up can start a scan in time):
//     the time from each write to the start of its task, median and 99th
//     percentile.
//  2. The idle cost of 10,000 monitored text logs in 100 folders: the
//     process's processor time over 10 s without writes, as a share of one
//     core.
//
//   bench_wakeup [ignored benchmark flags]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "core/monmanager.h"
#include "match/searchkeytext.h"
#include "platform/base/fileio.h"
#include "tasklib/actions.h"
#include "textlog/filemonitor.h"

namespace {

using Clock = std::chrono::steady_clock;

// When each line's task started, by the line's number.
struct CStarts {
    std::mutex mutex;
    std::vector<Clock::time_point> times;
    std::atomic<int> nCount{0};
};

class CStartAction final : public CBaseAction {
public:
    explicit CStartAction(CStarts* pStarts) : m_pStarts(pStarts) {}
    std::unique_ptr<CBaseAction> Clone() const override
    {
        return std::make_unique<CStartAction>(*this);
    }
    bool Run(const CTaskVariables& variables, const std::string&) const override
    {
        const Clock::time_point now = Clock::now();
        const std::string* pText = variables.Find("%EVENT_TEXT%");
        const int n = pText ? std::atoi(pText->c_str() + 4) : -1; // "hit N"
        std::lock_guard lock(m_pStarts->mutex);
        if (n >= 0 && n < static_cast<int>(m_pStarts->times.size()) &&
            m_pStarts->times[static_cast<std::size_t>(n)] == Clock::time_point()) {
            m_pStarts->times[static_cast<std::size_t>(n)] = now;
            ++m_pStarts->nCount;
        }
        return true;
    }

private:
    CStarts* m_pStarts;
};

// nLogs text logs spread over nFolders folders of root, each with a group
// that fires on "hit" (when pStarts is given).
std::vector<std::string> AddLogs(CMonManager& manager, const std::string& root, int nLogs,
                                 int nFolders, CStarts* pStarts)
{
    std::vector<std::string> paths;
    for (int i = 0; i < nLogs; ++i) {
        const std::string dir = root + "/d" + std::to_string(i % nFolders);
        EnsureDirectory(dir);
        const std::string name = "log" + std::to_string(i) + ".log";
        std::ofstream(dir + "/" + name).flush();
        auto* pLog = new CFileMonitor;
        pLog->m_strShortDescription = name;
        pLog->m_strDirectory = dir + "/";
        pLog->m_strFileName = name;
        pLog->m_nInterval = 60;
        auto* pGroup = new CKeysAndActions;
        auto* pKey = new CSearchKeyText;
        pKey->m_strKey1 = "hit";
        pGroup->AddKey(pKey);
        if (pStarts)
            pGroup->m_task.AddAction(CStartAction(pStarts));
        pLog->AddWatchGroup(pGroup);
        manager.AddLog(pLog);
        paths.push_back(dir + "/" + name);
    }
    return paths;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main()
{
    char pattern[] = "/tmp/quorvil-bench-wakeup-XXXXXX";
    const char* pRoot = ::mkdtemp(pattern);
    if (!pRoot)
        return 1;
    const std::string root = pRoot;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("QUORVIL_NETWORK", (root + "/network").c_str(), 1);
    RegisterTextLogClasses();

    // 1. From the write to the task.
    constexpr int LINES = 1000;
    CStarts starts;
    starts.times.resize(LINES);
    std::vector<Clock::time_point> writes(LINES);
    {
        CMonManager manager;
        const std::vector<std::string> paths =
            AddLogs(manager, root + "/latency", 100, 10, &starts);
        manager.StartScanThread();
        std::this_thread::sleep_for(std::chrono::seconds(2)); // the first pass and its watches
        for (int i = 0; i < LINES; ++i) {
            const std::string line = "hit " + std::to_string(i) + "\n";
            writes[static_cast<std::size_t>(i)] = Clock::now();
            AppendToFile(paths[static_cast<std::size_t>(i * 37 % 100)], line);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(70);
        while (starts.nCount.load() < LINES && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        manager.StopScanThread();
    }
    std::vector<double> latencies;
    {
        std::lock_guard lock(starts.mutex);
        for (int i = 0; i < LINES; ++i)
            if (starts.times[static_cast<std::size_t>(i)] != Clock::time_point())
                latencies.push_back(std::chrono::duration<double, std::milli>(
                                        starts.times[static_cast<std::size_t>(i)] -
                                        writes[static_cast<std::size_t>(i)])
                                        .count());
    }
    if (latencies.empty()) {
        std::printf("write to task: no task started\n");
        return 1;
    }
    std::printf("write to task over %zu of %d lines in 100 text logs: median %.1f ms, "
                "99th percentile %.1f ms, max %.1f ms\n",
                latencies.size(), LINES, Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                Percentile(latencies, 1.0));

    // 2. Idle.
    {
        CMonManager manager;
        AddLogs(manager, root + "/idle", 10000, 100, nullptr);
        manager.StartScanThread();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double cpuBefore = CpuSeconds();
        const Clock::time_point before = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double cpu = CpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(Clock::now() - before).count();
        manager.StopScanThread();
        std::printf("idle, 10000 text logs in 100 folders: %.2f%% of one core\n",
                    100.0 * cpu / wall);
    }
    const std::string command = "rm -rf '" + root + "'";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
