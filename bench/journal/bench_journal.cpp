// The journal scan over 1,000,000 entries written by systemd-journal-remote,
// with one watch group holding a key on the identifier (an event key,
// Source "sshd") and one on the message text (a text key), beside the raw
// sd-journal loop that reads the same two fields of every entry: the limit
// the scan is measured against; then the scan again with keys that fit no
// entry, which runs no task. Prints entries per second of the thread's CPU
// time (the scan runs on one core; on a busy machine the CPU time is the
// steadier figure), the fastest of five runs of each.
//
//   bench_journal [ignored benchmark flags]
//   QUORVIL_BENCH_JOURNAL_ENTRIES=N   another number of entries
//   QUORVIL_BENCH_JOURNAL_DIR=DIR     keep the journal in DIR and use the
//                                     one already there (for profiling)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include "core/keysandactions.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Best(const std::vector<double>& rates)
{
    return *std::max_element(rates.begin(), rates.end());
}

double CpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The raw loop: every entry, its identifier and its message.
long RawLoop(const std::string& dir, long& nHits)
{
    sd_journal* j = nullptr;
    if (sd_journal_open_directory(&j, dir.c_str(), 0) < 0)
        return -1;
    long n = 0;
    const void* data = nullptr;
    std::size_t length = 0;
    SD_JOURNAL_FOREACH(j)
    {
        ++n;
        bool bSshd =
            sd_journal_get_data(j, "SYSLOG_IDENTIFIER", &data, &length) >= 0 &&
            std::string_view(static_cast<const char*>(data), length) == "SYSLOG_IDENTIFIER=sshd";
        if (sd_journal_get_data(j, "MESSAGE", &data, &length) >= 0 && bSshd &&
            std::string_view(static_cast<const char*>(data), length).find("Failed password") !=
                std::string_view::npos)
            ++nHits;
    }
    sd_journal_close(j);
    return n;
}

} // namespace

int main()
{
    const char* pCount = std::getenv("QUORVIL_BENCH_JOURNAL_ENTRIES");
    const long nEntries = pCount ? std::atol(pCount) : 1000000;
    char pattern[] = "/tmp/quorvil-bench-journal-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string root = pattern;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    RegisterJournalClasses();

    const char* pKeep = std::getenv("QUORVIL_BENCH_JOURNAL_DIR");
    const std::string journalDir = pKeep ? pKeep : root + "/j";
    struct stat st {};
    const bool bWrite = !pKeep || ::stat((journalDir + "/remote.journal").c_str(), &st) != 0;
    // The journal: syslog-like entries of a few services, one in ten an
    // sshd failure.
    const std::string exportFile = root + "/entries.export";
    if (bWrite) {
        FILE* out = std::fopen(exportFile.c_str(), "w");
        if (!out)
            return 1;
        static const char* const IDS[] = {"sshd", "cron", "kernel", "systemd", "sudo"};
        for (long i = 0; i < nEntries; ++i) {
            const char* id = IDS[i % 5];
            const bool bFail = i % 10 == 0;
            std::fprintf(out,
                         "__REALTIME_TIMESTAMP=%ld\n__MONOTONIC_TIMESTAMP=%ld\n"
                         "_BOOT_ID=0123456789abcdef0123456789abcdef\n_HOSTNAME=web01\n"
                         "_UID=0\nPRIORITY=%d\nSYSLOG_FACILITY=4\nSYSLOG_IDENTIFIER=%s\n"
                         "_PID=%ld\n_SYSTEMD_UNIT=%s.service\nMESSAGE=%s %ld from 10.0.%ld.%ld "
                         "port %ld ssh2\n\n",
                         1700000000000000L + i * 1000, 1000 + i, bFail ? 3 : 6, id, 100 + i % 900,
                         id, bFail ? "Failed password for root" : "Accepted publickey for user", i,
                         i % 256, i % 199, 20000 + i % 40000);
        }
        std::fclose(out);
        const Clock::time_point writeStart = Clock::now();
        const std::string command = "/lib/systemd/systemd-journal-remote --output=" + journalDir +
                                    "/remote.journal - < " + exportFile + " > /dev/null 2>&1";
        ::mkdir(journalDir.c_str(), 0700);
        if (std::system(command.c_str()) != 0) {
            std::printf("systemd-journal-remote failed\n");
            return 1;
        }
        std::printf("wrote %ld entries with systemd-journal-remote in %.1f s\n", nEntries,
                    Seconds(writeStart));
        ::unlink(exportFile.c_str());
    }

    // Each run ROUNDS times in turn, the fastest reported: on a shared
    // machine a run's CPU time can be a third longer, never shorter.
    constexpr int ROUNDS = 5;
    std::vector<double> rawRates;
    std::vector<double> taskRates;
    std::vector<double> idleRates;
    long nRaw = 0;
    unsigned long long nTasks = 0;
    // One scan with these keys: its rate joins rates; returns the tasks run.
    const auto scanOnce = [&](const char* source, const char* text, std::vector<double>& rates) {
        CJournalMonitor log;
        log.m_strDirectory = journalDir;
        log.m_bReadExisting = TRUE;
        auto* pGroup = new CKeysAndActions;
        auto* pSource = new CSearchKeyEvent;
        pSource->SetSourceValue(source);
        auto* pText = new CSearchKeyText;
        pText->m_strKey1 = text;
        pGroup->AddKey(pSource);
        pGroup->AddKey(pText);
        log.AddWatchGroup(pGroup);
        const double cpuStart = CpuSeconds();
        log.Scan();
        rates.push_back(static_cast<double>(log.m_counters.m_nEntriesRead.load()) /
                        (CpuSeconds() - cpuStart));
        return static_cast<unsigned long long>(log.m_counters.m_nTasksRun.load());
    };
    for (int round = 0; round < ROUNDS; ++round) {
        long nRawHits = 0;
        const double cpuStart = CpuSeconds();
        nRaw = RawLoop(journalDir, nRawHits);
        rawRates.push_back(static_cast<double>(nRaw) / (CpuSeconds() - cpuStart));
        // The same keys, then keys that fit no entry: the difference is what
        // the tasks of the entries that trigger cost.
        nTasks = scanOnce("sshd", "Failed password", taskRates);
        scanOnce("nobody", "no such text", idleRates);
    }
    const double rawRate = Best(rawRates);
    std::printf("%ld entries, fastest of %d runs, entries per CPU second (the scan runs on one "
                "core):\n",
                nRaw, ROUNDS);
    std::printf("  raw sd-journal loop (next, SYSLOG_IDENTIFIER, MESSAGE): %.0f\n", rawRate);
    const double taskRate = Best(taskRates);
    std::printf("  journal scan, a key on the identifier and one on the text, one entry in five "
                "a task: %.0f (%.0f%% of the raw loop), %llu tasks run\n",
                taskRate, 100.0 * taskRate / rawRate, nTasks);
    const double idleRate = Best(idleRates);
    std::printf("  journal scan, the same keys fitting no entry: %.0f (%.0f%% of the raw loop)\n",
                idleRate, 100.0 * idleRate / rawRate);
    const std::string clean = "rm -rf '" + root + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
