#include "archive/globalarchive.h"
#include "match/searchkeyregex.h"
#include "platform/base/clock.h"
#include "tasks/trigger.h"
#include "testing.h"
#include "tests/tasks/recordaction.h"

namespace {

class Rules : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock(&m_clock);
        m_group.m_strDescription = "Logons";
        m_group.m_task.AddAction(CRecordAction(m_runs));
        m_group.AddKey(new CSearchKeyRegex(R"(from (?P<ip>\S+))", false));
    }
    void TearDown() override { SetClock(nullptr); }

    // What a text scan does with one line; true when the task ran.
    bool Offer(const std::string& line)
    {
        m_group.ResetHits();
        if (!MatchTextKeys(m_group, CPreparedLine(line)))
            return false;
        SetTextVariables(m_group, line, "auth", "/var/log/auth.log");
        return ApplyLaunchRule(m_group) != FALSE;
    }
    struct SilenceStep {
        int nDay, nHour, nMinute; // of December 2026
        const char* line;         // a line offered first, or null
        bool bRuns;
    };
    // At each step's time, offers its line (a match re-arms and runs
    // nothing), then checks whether the silence runs the task.
    void CheckSilenceSteps(std::initializer_list<SilenceStep> steps)
    {
        std::size_t nRuns = 0;
        for (const SilenceStep& step : steps) {
            m_clock.SetSeconds(CTime(2026, 12, step.nDay, step.nHour, step.nMinute, 0).GetTime());
            if (step.line) {
                EXPECT_FALSE(Offer(step.line));
            }
            EXPECT_EQ(m_group.CheckSilence() != FALSE, step.bRuns)
                << step.nDay << " " << step.nHour << ":" << step.nMinute;
            nRuns += step.bRuns;
            ASSERT_EQ(m_runs->Get().size(), nRuns);
        }
    }
    std::string LastVar(const char* name) const { return m_runs->Get().back().Var(name); }

    CManualClock m_clock{CTime(2026, 12, 7, 9, 0, 0).GetTime()};
    std::shared_ptr<CRunLog> m_runs = std::make_shared<CRunLog>();
    CKeysAndActions m_group;
};

// Three failures per address within a minute; the window slides and each
// address counts on its own.
TEST_F(Rules, ThresholdCountsPerValueInASlidingWindow)
{
    m_group.m_rules.m_threshold = {true, 3, 60, "%MATCH:ip%"};
    const std::int64_t t0 = m_clock.NowSeconds();
    // Seconds after the first, the address's last number, whether it runs:
    // at 70 the first left the window, at 76 counting starts again.
    const std::tuple<int, int, bool> steps[] = {{0, 1, false},  {10, 2, false}, {20, 1, false},
                                                {70, 1, false}, {75, 1, true},  {76, 1, false},
                                                {78, 2, false}, {79, 2, false}, {80, 2, true}};
    for (const auto& [nSecond, nHost, bRuns] : steps) {
        m_clock.SetSeconds(t0 + nSecond);
        EXPECT_EQ(Offer("fail from 10.0.0." + std::to_string(nHost)), bRuns) << nSecond;
        if (nSecond == 75) {
            EXPECT_EQ(
                std::tuple(LastVar("%THRESHOLD_COUNT%"), LastVar("%MATCH:ip%"),
                           LastVar("%THRESHOLD_FIRST%"), LastVar("%THRESHOLD_LAST%")),
                std::tuple("3", "10.0.0.1", "12/07/26  09:00:20 AM", "12/07/26  09:01:15 AM"));
        }
    }
    EXPECT_EQ(m_runs->Get().size(), 2u);

    // The counters are bounded: beyond the cap the oldest value goes, once
    // reported.
    CGroupRules rules;
    rules.m_threshold = {true, 2, 600, "%MATCH:ip%"};
    int nReports = 0;
    for (std::size_t i = 0; i <= MAX_THRESHOLD_VALUES + 5; ++i) {
        bool bCapped = false;
        rules.CountMatch(std::to_string(i), 1000, bCapped);
        nReports += bCapped;
    }
    EXPECT_EQ(rules.GetThresholdValueCount(), MAX_THRESHOLD_VALUES);
    EXPECT_EQ(nReports, 1);
    bool bCapped = false;
    EXPECT_FALSE(rules.CountMatch("0", 1001, bCapped)); // dropped, so counted anew
    EXPECT_TRUE(rules.CountMatch(std::to_string(MAX_THRESHOLD_VALUES), 1001, bCapped));
}

TEST_F(Rules, SilenceEveryIntervalRunsOnceAndReArms)
{
    m_group.m_rules.m_silence.bEnabled = true;
    m_group.m_rules.m_silence.nMinutes = 60;
    CheckSilenceSteps({{7, 9, 0, nullptr, false}, // arms
                       {7, 9, 59, nullptr, false},
                       {7, 10, 0, nullptr, true},
                       {7, 11, 0, nullptr, false},
                       {7, 11, 10, "from 10.0.0.9", false},
                       {7, 12, 9, nullptr, false},
                       {7, 12, 10, nullptr, true}});
    EXPECT_EQ(LastVar("%SILENCE_SINCE%"), "12/07/26  11:10:00 AM");
}

// "A match by 06:00 on weekdays": 2026-12-06 is a Sunday.
TEST_F(Rules, SilenceByADeadlineOnWeekdays)
{
    m_group.m_rules.m_silence = {true, 0, "06:00", {1, 2, 3, 4, 5}};
    ASSERT_EQ(m_group.m_rules.Validate(), "");
    CheckSilenceSteps({{6, 5, 0, nullptr, false},        // Sunday: armed
                       {6, 6, 1, nullptr, false},        // no deadline on Sundays
                       {7, 5, 30, "from backup", false}, // met
                       {7, 6, 1, nullptr, false},
                       {8, 6, 1, nullptr, true},  // Tuesday: nothing since Monday 05:30
                       {8, 7, 0, nullptr, false}, // once per deadline
                       {9, 6, 1, nullptr, true}});

    // A program started after a deadline does not report it; the next one
    // counts.
    CGroupRules restarted;
    restarted.m_silence = m_group.m_rules.m_silence;
    EXPECT_FALSE(restarted.CheckSilence(CTime(2026, 12, 10, 7, 0, 0).GetTime()));
    EXPECT_FALSE(restarted.CheckSilence(CTime(2026, 12, 10, 8, 0, 0).GetTime()));
    EXPECT_TRUE(restarted.CheckSilence(CTime(2026, 12, 11, 6, 0, 0).GetTime()));

    for (const char* bad : {"6:00", "24:00", "06:60", "ab:cd"}) {
        restarted.m_silence.strBy = bad;
        EXPECT_NE(restarted.Validate(), "") << bad;
    }
}

// Rules and digests are stored only when a group uses them: each
// combination reads back whole and a cut record is an error; dropping the
// digest writes the threshold's record as before, dropping all the plain one.
TEST(RulesStored, OnlyWhenUsed)
{
    RegisterCoreClasses();
    CKeysAndActions group;
    group.AddKey(new CSearchKeyRegex("from (\\S+)", false));
    const std::string plain = StoreObjectToBytes(&group);
    group.m_rules.m_threshold = {true, 5, 600, "%MATCH:ip%"};
    const std::string ruled = StoreObjectToBytes(&group);
    // Threshold, silence, digest.
    for (const auto& [bThreshold, bSilence, bDigest] :
         {std::tuple(true, true, false), std::tuple(true, false, true),
          std::tuple(false, false, true)}) {
        SCOPED_TRACE(::testing::Message() << bThreshold << bSilence << bDigest);
        group.m_rules.m_threshold.bEnabled = bThreshold;
        group.m_rules.m_silence =
            bSilence ? CSilenceRule{true, 0, "06:00", {1, 5}} : CSilenceRule();
        group.m_bDigest = bDigest;
        group.m_nDigestRuns = 2;
        group.m_nDigestMinutes = 15;
        group.m_digest = CDigestState();
        if (bDigest)
            group.m_digest.SetData({1000, 2, 3, 1100, 1200, {{"%EVENT_TEXT%", "held"}}});
        const std::string bytes = StoreObjectToBytes(&group);
        auto object = LoadObjectFromBytes(bytes, RUNTIME_CLASS(CKeysAndActions));
        const auto& back = static_cast<const CKeysAndActions&>(*object);
        auto stored = [](const CKeysAndActions& g) {
            const CDigestState::CData d = g.m_digest.GetData();
            return std::tuple(g.m_rules.m_threshold, g.m_rules.m_silence, g.m_bDigest,
                              g.m_bDigest ? g.m_nDigestRuns * 100 + g.m_nDigestMinutes : 0,
                              d.nPeriodStart, d.nRuns, d.nHeld, d.nFirstHeld, d.nLastHeld,
                              d.mapHeld);
        };
        EXPECT_EQ(stored(back), stored(group));
        EXPECT_EQ(StoreObjectToBytes(&back), bytes);
        EXPECT_THROW(
            LoadObjectFromBytes(bytes.substr(0, bytes.size() - 3), RUNTIME_CLASS(CKeysAndActions)),
            CArchiveException);
    }
    group.m_bDigest = FALSE;
    group.m_digest = CDigestState();
    group.m_rules.m_threshold.bEnabled = true;
    EXPECT_EQ(StoreObjectToBytes(&group), ruled);
    group.m_rules = CGroupRules();
    EXPECT_EQ(StoreObjectToBytes(&group), plain);
}

} // namespace
