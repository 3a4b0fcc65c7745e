// Text key matching over many lines: the naive loop (every key on every
// line) against CKeySetFinder, which finds the few lines that can match and
// leaves only those to the keys.
//
//   bench_match [benchmark flags]             the benchmarks, on generated lines
//   bench_match --write-sample DIR MB         writes DIR/sample.log and DIR/keys.txt
//   bench_match --count LOG KEYS              counts the lines of LOG that a key
//                                             (one a line in KEYS, not case
//                                             sensitive) matches, like
//                                             grep -F -i -c -f KEYS LOG
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "match/keysetfinder.h"
#include "match/searchkeytext.h"

namespace {

// 50 keys as an administrator would write them, for 10 watch groups.
const char* const KEYS[] = {
    "disk full",
    "out of memory",
    "segmentation fault",
    "permission denied",
    "connection refused",
    "timed out",
    "access violation",
    "corrupt",
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
};

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

std::string MakeLines(std::size_t nBytes, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(nBytes + 256);
    char head[96];
    unsigned long t = 0;
    while (text.size() < nBytes) {
        ++t;
        std::snprintf(head, sizeof head,
                      "2026-03-%02lu %02lu:%02lu:%02lu srv%02u app[%u]: ", 1 + t / 86400 % 28,
                      t / 3600 % 24, t / 60 % 60, t % 60, static_cast<unsigned>(rng() % 40),
                      static_cast<unsigned>(1000 + rng() % 9000));
        text += head;
        int nWords = 4 + static_cast<int>(rng() % 10);
        for (int i = 0; i < nWords; ++i) {
            if (i)
                text += ' ';
            text += WORDS[rng() % std::size(WORDS)];
        }
        // About one line in a hundred carries a key, in some letter case.
        if (rng() % 100 == 0) {
            std::string key = KEYS[rng() % std::size(KEYS)];
            if (rng() % 2)
                for (char& c : key)
                    c = textfold::ToUpper(c);
            text += ": " + key;
        }
        text += '\n';
    }
    return text;
}

std::vector<CSearchKeyText> MakeKeys(const std::vector<std::string>& strings)
{
    std::vector<CSearchKeyText> keys(strings.size());
    for (std::size_t i = 0; i < strings.size(); ++i)
        keys[i].m_strKey1 = strings[i];
    return keys;
}

std::vector<std::string> DefaultKeyStrings()
{
    return {std::begin(KEYS), std::end(KEYS)};
}

// Every key on every line.
std::size_t CountNaive(std::string_view block, const std::vector<CSearchKeyText>& keys)
{
    std::size_t nCount = 0;
    CPreparedLine line;
    while (!block.empty()) {
        std::size_t nl = block.find('\n');
        std::size_t len = nl == std::string_view::npos ? block.size() : nl;
        line.Prepare(block.substr(0, len));
        for (const CSearchKeyText& key : keys) {
            if (key.Match(line)) {
                ++nCount;
                break;
            }
        }
        block.remove_prefix(nl == std::string_view::npos ? block.size() : nl + 1);
    }
    return nCount;
}

// The finder picks the lines, the keys decide on those alone.
std::size_t CountWithFinder(std::string_view block, const CKeySetFinder& finder,
                            const std::vector<CSearchKeyText>& keys, std::vector<CLineSpan>& spans)
{
    spans.clear();
    finder.FindLines(block, spans);
    std::size_t nCount = 0;
    CPreparedLine line;
    for (const CLineSpan& span : spans) {
        line.Prepare(block.substr(span.nOffset, span.nLength));
        for (const CSearchKeyText& key : keys) {
            if (key.Match(line)) {
                ++nCount;
                break;
            }
        }
    }
    return nCount;
}

CKeySetFinder MakeFinder(const std::vector<CSearchKeyText>& keys)
{
    CKeySetFinder finder;
    for (const CSearchKeyText& key : keys)
        finder.AddTextKey(key);
    return finder;
}

const std::string& Sample()
{
    static const std::string sample = MakeLines(64u << 20, 1);
    return sample;
}

void BM_NaiveLoop(benchmark::State& state)
{
    auto keys = MakeKeys(DefaultKeyStrings());
    keys.resize(static_cast<std::size_t>(state.range(0)));
    const std::string& text = Sample();
    for (auto _ : state)
        benchmark::DoNotOptimize(CountNaive(text, keys));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NaiveLoop)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_FinderThenKeys(benchmark::State& state)
{
    auto keys = MakeKeys(DefaultKeyStrings());
    keys.resize(static_cast<std::size_t>(state.range(0)));
    CKeySetFinder finder = MakeFinder(keys);
    const std::string& text = Sample();
    std::vector<CLineSpan> spans;
    for (auto _ : state) {
        // Blocks of 1 MB cut at line ends, as a scan reads them.
        std::size_t nCount = 0;
        std::string_view rest = text;
        while (!rest.empty()) {
            std::size_t cut =
                rest.size() <= (1u << 20) ? rest.size() : rest.rfind('\n', 1u << 20) + 1;
            nCount += CountWithFinder(rest.substr(0, cut), finder, keys, spans);
            rest.remove_prefix(cut);
        }
        benchmark::DoNotOptimize(nCount);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FinderThenKeys)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

int WriteSample(const char* dir, const char* megabytes)
{
    std::size_t nBytes = std::strtoull(megabytes, nullptr, 10) << 20;
    std::ofstream log(std::string(dir) + "/sample.log", std::ios::binary);
    for (unsigned seed = 1; nBytes > 0; ++seed) {
        std::string chunk = MakeLines(std::min<std::size_t>(nBytes, 64u << 20), seed);
        log << chunk;
        nBytes -= std::min(nBytes, chunk.size());
    }
    std::ofstream keys(std::string(dir) + "/keys.txt", std::ios::binary);
    for (const char* key : KEYS)
        keys << key << '\n';
    return log && keys ? 0 : 1;
}

// Reads the file in blocks of whole lines and counts, like grep -c.
int Count(const char* logPath, const char* keysPath)
{
    std::vector<std::string> strings;
    std::ifstream keysFile(keysPath);
    for (std::string s; std::getline(keysFile, s);)
        if (!s.empty())
            strings.push_back(s);
    auto keys = MakeKeys(strings);
    CKeySetFinder finder = MakeFinder(keys);

    auto t0 = std::chrono::steady_clock::now();
    int fd = ::open(logPath, O_RDONLY);
    if (fd < 0)
        return 2;
    std::string buffer(4u << 20, '\0');
    std::size_t nHave = 0;
    std::size_t nCount = 0;
    std::size_t nBytes = 0;
    std::vector<CLineSpan> spans;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data() + nHave, buffer.size() - nHave);
        if (n < 0)
            return 2;
        nHave += static_cast<std::size_t>(n);
        nBytes += static_cast<std::size_t>(n);
        std::string_view data(buffer.data(), nHave);
        std::size_t cut = n == 0 ? nHave : data.rfind('\n') + 1;
        if (n != 0 && cut == 0) { // a line longer than the buffer
            buffer.resize(buffer.size() * 2);
            continue;
        }
        nCount += CountWithFinder(data.substr(0, cut), finder, keys, spans);
        std::memmove(buffer.data(), buffer.data() + cut, nHave - cut);
        nHave -= cut;
        if (n == 0)
            break;
    }
    ::close(fd);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%zu\n", nCount);
    std::fprintf(stderr, "%.3f s, %.0f MB/s\n", seconds,
                 static_cast<double>(nBytes) / 1e6 / seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--write-sample") == 0)
        return WriteSample(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--count") == 0)
        return Count(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
