// The journal scan over 1,000,000 entries written by systemd-journal-remote,
// with one watch group holding a key on the identifier (an event key,
// Source "sshd") and one on the message text (a text key), beside the raw
// sd-journal loop that reads the same two fields of every entry: the limit
// the scan is measured against; then the scan again with keys that fit no
// entry, which runs no task. Prints entries per second of each, by the
// wall clock and by the thread's CPU time (the scan runs on one core; on a
// busy machine the CPU time is the steadier figure).
//
//   bench_journal [ignored benchmark flags]
//   QUORVIL_BENCH_JOURNAL_ENTRIES=N   another number of entries
//   QUORVIL_BENCH_JOURNAL_DIR=DIR     keep the journal in DIR and use the
//                                     one already there (for profiling)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

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

double CpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Wall time and CPU time of one run.
struct Timer {
    Clock::time_point start = Clock::now();
    double cpuStart = CpuSeconds();
    double wall = 0;
    double cpu = 0;
    void Stop()
    {
        wall = Seconds(start);
        cpu = CpuSeconds() - cpuStart;
    }
};

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

    long nRawHits = 0;
    Timer raw;
    const long nRaw = RawLoop(journalDir, nRawHits);
    raw.Stop();
    const auto n = static_cast<double>(nRaw);
    std::printf("raw sd-journal loop (next, SYSLOG_IDENTIFIER, MESSAGE): %ld entries in %.2f s, "
                "%.0f entries/s; %.2f s CPU, %.0f entries per CPU second\n",
                nRaw, raw.wall, n / raw.wall, raw.cpu, n / raw.cpu);

    // The same keys, then keys that fit no entry: the difference is what
    // the task runs of the entries that trigger cost.
    const auto scanOnce = [&](const char* source, const char* text, const char* what) {
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
        Timer scan;
        log.Scan();
        scan.Stop();
        std::printf("journal scan, %s: %ld entries in %.2f s, %.0f entries/s; %.2f s CPU, %.0f "
                    "entries per CPU second (%.0f%% of the raw loop's rate), %llu tasks run\n",
                    what, nRaw, scan.wall, n / scan.wall, scan.cpu, n / scan.cpu,
                    100.0 * raw.cpu / scan.cpu,
                    static_cast<unsigned long long>(log.m_counters.m_nTasksRun.load()));
    };
    scanOnce("sshd", "Failed password",
             "a key on the identifier and one on the text, one entry in five a task");
    scanOnce("nobody", "no such text", "the same keys fitting no entry");
    const std::string clean = "rm -rf '" + root + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
