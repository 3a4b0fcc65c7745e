// The text log scan over a large file, as the scan thread runs it
// (CFileMonitor::Scan from byte 0 to the end, tasks without actions).
//
//   bench_textscan [benchmark flags]        a short run on a generated 64 MB file
//   bench_textscan --generate FILE MB DIR   writes FILE (about MB megabytes of
//                                           syslog-style lines) and, in DIR,
//                                           key-a.txt (one key) and keys-b.txt
//                                           (fifty keys, one a line)
//   bench_textscan --scan FILE a|b [N]      scans FILE N times (default 3) with
//                                           (a) one group of one case-sensitive
//                                           key or (b) ten groups of five keys,
//                                           not case sensitive; prints the best
//                                           "seconds bytes lines maxrss-kB",
//                                           lines being the lines that triggered
//   bench_textscan --scan FILE rN [N]       the same with N regular-expression
//                                           keys (ten groups), not case sensitive
//   bench_textscan --regex-keys FILE N      writes the N patterns, one a line,
//                                           for grep -E -i -f and rg -i -f
//
// scripts/bench-textscan compares this with grep and other log watchers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "tasks/trigger.h"
#include "textlog/filemonitor.h"

namespace {

// (a): one key, written as a kernel writes it.
const char KEY_A[] = "Out of memory";

// (b): fifty keys as an administrator writes them, five per group.
const char* const KEYS_B[] = {
    "disk full",
    "segmentation fault",
    "permission denied",
    "connection refused",
    "timed out",
    "access violation",
    "corrupted",
    "checksum mismatch",
    "deadlock",
    "kernel panic",
    "I/O error",
    "no space left",
    "authentication failure",
    "certificate expired",
    "stack overflow",
    "unreachable",
    "broken pipe",
    "fatal",
    "core dumped",
    "login failed",
    "invalid user",
    "disk quota",
    "overheat",
    "fan failure",
    "power supply",
    "battery low",
    "raid degraded",
    "smart error",
    "bad sector",
    "link down",
    "packet loss",
    "dns failure",
    "lease expired",
    "route flap",
    "service stopped",
    "unexpected shutdown",
    "watchdog",
    "oom-killer",
    "throttled",
    "rollback",
    "replication lag",
    "split brain",
    "quorum lost",
    "heartbeat missed",
    "license expired",
    "backup failed",
    "restore failed",
    "job aborted",
    "assertion",
    "segfault",
};

// Filler words: none holds a key, and no two side by side make one.
const char* const WORDS[] = {
    "request", "served",   "client",     "session",     "opened",   "closed",    "user",
    "cache",   "hit",      "miss",       "GET",         "POST",     "index",     "page",
    "worker",  "thread",   "started",    "finished",    "queue",    "length",    "bytes",
    "sent",    "received", "from",       "to",          "the",      "a",         "of",
    "in",      "on",       "ok",         "status",      "200",      "304",       "latency",
    "ms",      "config",   "reloaded",   "module",      "loaded",   "scheduler", "tick",
    "sync",    "complete", "checkpoint", "written",     "buffer",   "flushed",   "pool",
    "size",    "idle",     "active",     "connections", "upstream", "backend",   "healthy",
    "retry",   "attempt",  "table",      "rows",        "updated",  "inserted",  "query",
    "plan",    "compiled", "daemon",     "cron",        "executed", "mail",      "delivered",
    "spool",   "printer",  "job",        "accepted",    "network",  "interface", "up",
};
const char* const PROGRAMS[] = {"sshd",    "cron",    "kernel", "nginx",
                                "postfix", "systemd", "dbus",   "app"};
const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// About 120-byte lines; one in a thousand holds KEY_A, another one in a
// thousand one of KEYS_B in some letter case. Each line carries its own
// number, so no two lines are the same.
void GenerateLines(std::string& out, std::size_t nBytes, std::uint64_t& nLine, std::mt19937_64& rng)
{
    char head[128];
    while (out.size() < nBytes) {
        ++nLine;
        std::uint64_t t = nLine / 40;
        int n = std::snprintf(
            head, sizeof head, "%s %2u %02u:%02u:%02u srv%02u %s[%u]: #%09llu",
            MONTHS[t / 2419200 % 12], static_cast<unsigned>(1 + t / 86400 % 28),
            static_cast<unsigned>(t / 3600 % 24), static_cast<unsigned>(t / 60 % 60),
            static_cast<unsigned>(t % 60), static_cast<unsigned>(rng() % 40),
            PROGRAMS[rng() % std::size(PROGRAMS)], static_cast<unsigned>(1000 + rng() % 60000),
            static_cast<unsigned long long>(nLine));
        std::size_t nStart = out.size();
        out.append(head, static_cast<std::size_t>(n));
        while (out.size() - nStart < 112) {
            out += ' ';
            out += WORDS[rng() % std::size(WORDS)];
        }
        std::uint64_t r = rng() % 1000;
        if (r == 0) {
            out += ": ";
            out += KEY_A;
        } else if (r == 1) {
            std::string key = KEYS_B[rng() % std::size(KEYS_B)];
            int nCase = static_cast<int>(rng() % 3);
            for (char& c : key)
                c = nCase == 0   ? c
                    : nCase == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                                 : static_cast<char>(
                                       rng() % 2 ? std::toupper(static_cast<unsigned char>(c)) : c);
            out += ": " + key;
        }
        out += '\n';
    }
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool bOk = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return f && std::fclose(f) == 0 && bOk;
}

int Generate(const std::string& path, std::size_t nMegabytes, const std::string& dir)
{
    std::string strKeys;
    for (const char* key : KEYS_B)
        strKeys += std::string(key) + "\n";
    if (!WriteFile(dir + "/key-a.txt", std::string(KEY_A) + "\n") ||
        !WriteFile(dir + "/keys-b.txt", strKeys)) {
        std::perror(dir.c_str());
        return 1;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return 1;
    }
    std::mt19937_64 rng(20010727);
    std::uint64_t nLine = 0;
    std::string block;
    const std::size_t nTotal = nMegabytes << 20;
    for (std::size_t nDone = 0; nDone < nTotal;) {
        block.clear();
        GenerateLines(block, std::min<std::size_t>(4 << 20, nTotal - nDone), nLine, rng);
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
            std::perror(path.c_str());
            return 1;
        }
        nDone += block.size();
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

// N regular expressions as an administrator writes them: the fifty phrases
// with any spaces between their words and a word after them, then variants
// of them that name a code, which the file never holds.
std::vector<std::string> RegexKeys(std::size_t nKeys)
{
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < nKeys; ++i) {
        std::string pattern;
        for (const char* p = KEYS_B[i % std::size(KEYS_B)]; *p; ++p) {
            if (*p == ' ')
                pattern += "[[:space:]]+";
            else if (std::strchr(".()[]{}*+?|^$\\", *p))
                pattern += std::string("\\") + *p;
            else
                pattern += *p;
        }
        if (i >= std::size(KEYS_B))
            pattern += " code=" + std::to_string(i) + "[0-9]*";
        else
            pattern += "([ :]|$)";
        keys.push_back(pattern);
    }
    return keys;
}

// A task action that counts the lines that triggered something: the groups
// a line triggers run one after the other with that line as "%EVENT_TEXT%",
// and no two lines of the generated file are the same.
class CLineCounter final : public CBaseAction {
public:
    struct CCount {
        std::string strLast;
        std::size_t nLines = 0;
    };
    explicit CLineCounter(CCount* pCount) : m_pCount(pCount) {}
    std::unique_ptr<CBaseAction> Clone() const override
    {
        return std::make_unique<CLineCounter>(*this);
    }
    bool Run(const CTaskVariables& variables, const std::string&) const override
    {
        const std::string* text = variables.Find(VAR_EVENT_TEXT);
        if (text && *text != m_pCount->strLast) {
            m_pCount->strLast = *text;
            ++m_pCount->nLines;
        }
        return true;
    }

private:
    CCount* m_pCount;
};

// A text log of the file with the groups of case (a) or (b).
std::unique_ptr<CFileMonitor> MakeLog(const std::string& path, char chCase,
                                      CLineCounter::CCount* pCount, std::size_t nRegex = 0)
{
    auto pLog = std::make_unique<CFileMonitor>();
    std::size_t nSlash = path.rfind('/');
    pLog->m_strDirectory = nSlash == std::string::npos ? "./" : path.substr(0, nSlash + 1);
    pLog->m_strFileName = nSlash == std::string::npos ? path : path.substr(nSlash + 1);
    pLog->m_strShortDescription = "Bench";
    const std::size_t nGroups = chCase == 'a' ? 1 : 10;
    if (chCase == 'r') {
        const std::vector<std::string> keys = RegexKeys(nRegex);
        for (std::size_t g = 0; g < nGroups; ++g) {
            auto* pGroup = new CKeysAndActions;
            if (pCount)
                pGroup->m_task.AddAction(CLineCounter(pCount));
            for (std::size_t k = g; k < keys.size(); k += nGroups)
                pGroup->AddKey(new CSearchKeyRegex(keys[k], false));
            pLog->AddWatchGroup(pGroup);
        }
        return pLog;
    }
    for (std::size_t g = 0; g < nGroups; ++g) {
        auto* pGroup = new CKeysAndActions;
        if (pCount)
            pGroup->m_task.AddAction(CLineCounter(pCount));
        for (std::size_t k = 0; k < (chCase == 'a' ? 1u : 5u); ++k) {
            auto* pKey = new CSearchKeyText;
            pKey->m_strKey1 = chCase == 'a' ? KEY_A : KEYS_B[g * 5 + k];
            pKey->m_bCaseSensitive = chCase == 'a';
            pGroup->AddKey(pKey);
        }
        pLog->AddWatchGroup(pGroup);
    }
    return pLog;
}

int ScanFile(const std::string& path, const char* pszCase, int nRuns)
{
    CLineCounter::CCount count;
    const char chCase = pszCase[0];
    std::unique_ptr<CFileMonitor> pLog =
        MakeLog(path, chCase, &count, chCase == 'r' ? std::strtoul(pszCase + 1, nullptr, 10) : 0);
    double dBest = 1e30;
    for (int i = 0; i < nRuns; ++i) {
        count = {};
        pLog->m_dwPosition = pLog->m_dwLastSize = 0;
        auto t0 = std::chrono::steady_clock::now();
        pLog->Scan();
        double d = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        dBest = std::min(dBest, d);
        if (pLog->GetState() != MON_STATE_GREW) {
            std::fprintf(stderr, "%s: scan state %d\n", path.c_str(), pLog->GetState());
            return 1;
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %u %zu %ld\n", dBest, pLog->m_dwPosition, count.nLines, usage.ru_maxrss);
    return 0;
}

// The short benchmark of `make bench`: a 64 MB file in the temporary folder.
struct CBenchFile {
    std::string m_strPath;
    CBenchFile()
    {
        const char* tmp = std::getenv("TMPDIR");
        m_strPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvil-bench-textscan-" +
                    std::to_string(::getpid()) + ".log";
        std::mt19937_64 rng(1);
        std::uint64_t nLine = 0;
        std::string text;
        GenerateLines(text, 64 << 20, nLine, rng);
        if (!WriteFile(m_strPath, text))
            std::abort();
    }
    ~CBenchFile() { ::unlink(m_strPath.c_str()); }
};

void BM_Scan(benchmark::State& state, char chCase)
{
    static CBenchFile file;
    std::unique_ptr<CFileMonitor> pLog = MakeLog(file.m_strPath, chCase, nullptr);
    for (auto _ : state) {
        pLog->m_dwPosition = pLog->m_dwLastSize = 0;
        pLog->Scan();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * pLog->m_dwPosition);
}
BENCHMARK_CAPTURE(BM_Scan, one_key, 'a')->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Scan, fifty_keys, 'b')->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanRegex(benchmark::State& state)
{
    static CBenchFile file;
    std::unique_ptr<CFileMonitor> pLog =
        MakeLog(file.m_strPath, 'r', nullptr, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        pLog->m_dwPosition = pLog->m_dwLastSize = 0;
        pLog->Scan();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * pLog->m_dwPosition);
}
BENCHMARK(BM_ScanRegex)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(argv[2], std::strtoul(argv[3], nullptr, 10), argv[4]);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--scan") == 0 &&
        (argv[3][0] == 'a' || argv[3][0] == 'b' || argv[3][0] == 'r'))
        return ScanFile(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 3);
    if (argc == 4 && std::strcmp(argv[1], "--regex-keys") == 0) {
        std::string text;
        for (const std::string& key : RegexKeys(std::strtoul(argv[3], nullptr, 10)))
            text += key + "\n";
        return WriteFile(argv[2], text) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
