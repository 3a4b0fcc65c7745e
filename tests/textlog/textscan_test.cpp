#include <random>

#include "match/searchkeyregex.h"
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "tasks/trigger.h"
#include "tests/textlog/textlogtest.h"

namespace {

struct CTrigger {
    std::string strGroup;
    std::string strText;
    friend bool operator==(const CTrigger&, const CTrigger&) = default;
};

// Random syslog-like text whose lines hold the keys' words, in any letter
// case, with CR LF and bare CR, empty lines and often no final line feed.
std::string RandomText(unsigned seed, int nLines)
{
    static const char* const WORDS[] = {
        "disk",      "DISK",    "full",   "Full",   "error", "ERROR",   "Error",   "panic",
        "PANIC",     "fail",    "retry",  "oom",    "OOM",   "Timeout", "timeout", "srv1",
        "cron[42]:", "session", "opened", "closed", "e",     "E",       "x"};
    std::mt19937 rng(seed);
    std::string text;
    for (int i = 0; i < nLines; ++i) {
        int nWords = static_cast<int>(rng() % 8);
        for (int w = 0; w < nWords; ++w) {
            if (w)
                text += rng() % 20 ? " " : "\r";
            text += WORDS[rng() % std::size(WORDS)];
        }
        if (i + 1 < nLines || rng() % 2)
            text += rng() % 4 ? "\n" : "\r\n";
    }
    return text;
}

bool KeyMatches(const CSearchKey* pKey, const std::string& line)
{
    if (const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey))
        return pText->Match(line);
    return static_cast<const CSearchKeyRegex*>(pKey)->Match(line);
}

class TextScan : public TextLogTest {
protected:
    // Every mode, both letter rules, a one-letter key, and keys that can
    // never match.
    void AddRandomGroups()
    {
        AddGroup("G1", {TextKey("error"), TextKey("panic", TextKeyMode::ONLY, "", TRUE)});
        AddGroup("G2", {TextKey("disk", TextKeyMode::AND, "full"),
                        TextKey("fail", TextKeyMode::AND_NOT, "retry")});
        AddGroup("G3", {TextKey("oom", TextKeyMode::OR, "Timeout", TRUE)});
        AddGroup("G4", {TextKey(""), TextKey("x", static_cast<TextKeyMode>(7)),
                        TextKey("", TextKeyMode::OR, "")});
        AddGroup("G5", {TextKey("E", TextKeyMode::ONLY, "", TRUE)});
    }

    // The triggers and final hit counters of a line-by-line reading.
    static std::vector<CTrigger> Expected(const CMonitoredObject& log, const std::string& text,
                                          std::vector<int>& finalHits, std::size_t& nLines)
    {
        std::vector<CTrigger> triggers;
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!in.eof() && !line.empty() && line.back() == '\r') // only before a line feed
                line.pop_back();
            lines.push_back(line);
        }
        nLines = lines.size();
        for (const std::string& line : lines) {
            finalHits.clear();
            for (int g = 0; g < log.GetWatchGroupCount(); ++g) {
                const CKeysAndActions* pGroup = log.GetWatchGroup(g);
                bool bHit = false;
                for (int k = 0; k < pGroup->GetKeyCount(); ++k) {
                    bool bMatch = KeyMatches(pGroup->GetKey(k), line);
                    finalHits.push_back(bMatch);
                    bHit |= bMatch;
                }
                if (bHit)
                    triggers.push_back({pGroup->m_strDescription, line});
            }
        }
        return triggers;
    }

    static std::vector<int> Hits(const CMonitoredObject& log)
    {
        std::vector<int> hits;
        for (int g = 0; g < log.GetWatchGroupCount(); ++g)
            for (int k = 0; k < log.GetWatchGroup(g)->GetKeyCount(); ++k)
                hits.push_back(log.GetWatchGroup(g)->GetKey(k)->m_nHits.load());
        return hits;
    }

    // Scans the whole file with or without audit; checks that the task
    // sequence numbers follow each other.
    std::vector<CTrigger> ScanAll(CFileMonitor& log, bool bAudit)
    {
        g_bExtendedAudit = bAudit;
        m_runs->Clear();
        const LONG nFirst = g_nTaskSequence.load() + 1;
        log.m_dwPosition = log.m_dwLastSize = 0;
        log.Scan();
        g_bExtendedAudit = 0;
        std::vector<CTrigger> triggers;
        for (const CTaskRun& run : m_runs->Get()) {
            EXPECT_EQ(run.Var("%TASK_SEQ%"),
                      std::to_string(nFirst + static_cast<LONG>(triggers.size())));
            triggers.push_back({run.strTask, run.Var("%EVENT_TEXT%")});
        }
        return triggers;
    }

    // Scans random texts of the seeds, also with audit lines when asked, and
    // checks the triggers and hit counters against a line-by-line reading.
    void CheckRandomTexts(std::initializer_list<unsigned> seeds, bool bAuditToo)
    {
        for (unsigned seed : seeds) {
            // Seed 4 is long enough (about 1 MB) that its window is searched
            // in two halves at once.
            const std::string text = RandomText(seed, seed == 4 ? 40000 : 1500);
            Write(text);
            std::vector<int> finalHits;
            std::size_t nLines = 0;
            const std::vector<CTrigger> expected = Expected(m_log, text, finalHits, nLines);
            ASSERT_GT(expected.size(), 100u);
            for (const bool bAudit : {false, true}) {
                if (bAudit && !bAuditToo)
                    break;
                const std::uint64_t nReadBefore = m_log.m_counters.m_nEntriesRead;
                EXPECT_EQ(ScanAll(m_log, bAudit), expected) << "seed " << seed;
                EXPECT_EQ(m_log.m_counters.m_nEntriesRead - nReadBefore, nLines);
                EXPECT_EQ(Hits(m_log), finalHits) << "seed " << seed;
                EXPECT_EQ(m_log.m_dwPosition, text.size());
            }
        }
    }
};

TEST_F(TextScan, KeptLinesGiveTheTriggersOfEveryLine)
{
    ASSERT_TRUE(AppSettings::SetAuditText((m_strDir + "/audit.txt").c_str()));
    AddRandomGroups();
    CheckRandomTexts({1, 2, 3, 4}, true);
}

// Regular-expression keys beside literal ones: with literals the prefilter
// finds, one the block search takes by its required literal, without any
// (every line read), shared patterns, and a broken one.
TEST_F(TextScan, RegexKeysGiveTheTriggersOfEveryLine)
{
    const auto regex = [](const char* pattern, bool bCase = false) {
        return new CSearchKeyRegex(pattern, bCase);
    };
    AddGroup("R1", {regex(R"(disk\s+full)"), TextKey("panic")});
    AddGroup("R2",
             {regex("(oom|timeout)", true), regex("cron\\[\\d+\\]: session (opened|closed)")});
    AddGroup("R3", {regex("error (e|x)$"), regex("fail.(retry|oom)", true)});
    AddGroup("R4", {regex("(disk"), regex(R"(disk\s+full)")});
    for (const bool bNoLiteral : {false, true}) {
        if (bNoLiteral)
            AddGroup("R5", {regex("^[a-z]$")});
        CheckRandomTexts({11, 12}, false);
    }
    // The broken key is reported once, however often the log is scanned.
    const std::string log = ReadFileBytes(AppSettings::GetErrorLogPath()).value_or("");
    const std::string line = "the regular expression '(disk' of watch group 'R4' is broken";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line));
    EXPECT_NE(log.find("missing ): at position"), std::string::npos) << log;
}

// The captures of the key that matched fill the task's variables; those of
// an earlier trigger do not linger.
TEST_F(TextScan, CapturesBecomeVariables)
{
    AddGroup("Logons",
             {TextKey("accepted"),
              new CSearchKeyRegex(R"(Failed password for (\S+) from (?P<ip>\S+))", false)});
    Write("sshd: Failed password for root from 10.0.0.7 port 22\n"
          "sshd: accepted publickey\n");
    m_log.Scan();
    const std::vector<CTaskRun> runs = m_runs->Get();
    ASSERT_EQ(runs.size(), 2u);
    const std::map<std::string, std::string> first = {
        {"%MATCH_0%", "Failed password for root from 10.0.0.7"},
        {"%MATCH_1%", "root"},
        {"%MATCH_2%", "10.0.0.7"},
        {"%MATCH:ip%", "10.0.0.7"}};
    for (const auto& [name, value] : first) {
        EXPECT_EQ(runs[0].Var(name), value) << name;
        EXPECT_EQ(runs[1].vars.count(name), 0u) << name;
    }
}

// Lines longer than a mapped window (8 MB), and a key cut in two by the end
// of the first block searched (256 KB).
TEST_F(TextScan, LinesLongerThanAReadBlock)
{
    AddGroup("Errors", {TextKey("error")});
    const std::string longLine = std::string(9 << 20, 'x') + " error";
    const std::string first = std::string((256 << 10) - 3, 'y') + " ERROR 1";
    Write(first + "\na\n" + longLine + "\r\nerror 2\n" + longLine);
    m_log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{first, longLine, "error 2", longLine}));
    EXPECT_EQ(m_log.m_dwPosition, first.size() + 2 * longLine.size() + 13);
}

// A scan thread scans over and over while this thread writes the file.
TEST_F(TextScan, ScansOnAnotherThreadFollowTheFile)
{
    AddGroup("Errors", {TextKey("error")});
    Write("first error\n");
    std::atomic<bool> bDone{false};
    std::thread scanner([&] {
        while (!bDone.load())
            m_log.Scan();
    });
    EXPECT_TRUE(m_runs->WaitFor(1));
    Append("second error\nfine\n");
    EXPECT_TRUE(m_runs->WaitFor(2));
    Append("third error\n");
    EXPECT_TRUE(m_runs->WaitFor(3));
    bDone = true;
    scanner.join();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"first error", "second error", "third error"}));
    EXPECT_EQ(m_log.m_dwPosition, 42u);
}

} // namespace
