#include "archive/globalarchive.h"
#include "platform/base/clock.h"
#include "tasklib/oledatetime.h"
#include "tasks/trigger.h"
#include "testing.h"
#include "tests/tasks/recordaction.h"

namespace {

// Runs first in this executable: nothing has triggered yet. Which lines
// trigger and the text variables they set are followed by the text scan's
// tests; the event variables stay as they were.
TEST(TextTrigger, FirstTriggerOfTheProcessIsSequenceOne)
{
    ASSERT_EQ(g_nTaskSequence.load(), 0);
    CKeysAndActions group;
    group.AddKey(TextKey("panic"));
    group.AddKey(TextKey("KERNEL"));
    ASSERT_TRUE(MatchTextKeys(group, CPreparedLine("kernel panic")));
    SetTextVariables(group, "kernel panic", "Sample Log", "/var/log/app.log");
    EXPECT_EQ(group.GetKey(1)->m_nHits.load(), 1) << "every key is tested, also after a match";
    const auto vars = group.m_task.GetVariables().GetAll();
    EXPECT_EQ(std::tuple(vars.at(VAR_TASK_SEQ), vars.at(VAR_EVENT_SOURCE)),
              std::tuple("1", "<empty>"));
    EXPECT_EQ(g_nTaskSequence.load(), 1);
}

TEST(LaunchRule, MinimumIntervalInWholeMinutes)
{
    const COleDateTime last(2001, 7, 27, 12, 0, 0);
    auto at = [&](int minutes, int seconds) {
        return COleDateTime(last.GetDate() + (minutes * 60 + seconds) / 86400.0);
    };
    // The flag, the interval, now, and whether a run is allowed.
    const std::tuple<BOOL, int, COleDateTime, bool> cases[] = {
        {FALSE, 5, at(0, 0), true},
        {TRUE, 5, at(4, 59), false},
        {TRUE, 5, at(5, 0), true},
        {TRUE, -1, at(100000, 0), false}, // read as 4294967295 minutes
        {TRUE, 5, at(-10, 0), true},      // last run in the future
        {TRUE, 5, COleDateTime(2001, 7, 27, 12, 4, 59), false},
    };
    for (const auto& [bFlag, nMinutes, now, bAllowed] : cases)
        EXPECT_EQ(IsLaunchAllowed(bFlag, nMinutes, last, now), bAllowed)
            << bFlag << " " << nMinutes << " " << now.Format("%H:%M:%S");

    // A group's rule measures from its task's last run to the model clock.
    CManualClock clock(CTime(2001, 7, 27, 12, 0, 0).GetTime());
    SetClock(&clock);
    CKeysAndActions group;
    group.m_bMinInterval = TRUE;
    group.m_nMinIntervalMinutes = 5;
    std::vector<BOOL> ran;
    for (int seconds : {0, 4 * 60 + 59, 1}) { // never ran, then 4:59 and 5:00 after it
        clock.AdvanceMs(seconds * 1000);
        ran.push_back(ApplyLaunchRule(group));
    }
    SetClock(nullptr);
    EXPECT_EQ(ran, (std::vector<BOOL>{TRUE, FALSE, TRUE}));
}

TEST(EventVariables, TimeText)
{
    EXPECT_EQ(FormatEventTime(CTime(2001, 7, 27, 14, 5, 9)), "07/27/01  02:05:09 PM");
    EXPECT_EQ(FormatEventTime(CTime(2001, 1, 2, 0, 30, 0)), "01/02/01  12:30:00 AM");
}

} // namespace

// The digest: 2 runs per 10 minutes, the rest counted and summed up once when
// the period has ended, also when the program stops and starts again or is
// restarted from its saved workspace in between.
TEST(Digest, FirstRunsThenOneSummaryPerPeriodAcrossStopAndRestart)
{
    RegisterCoreClasses();
    const std::int64_t start = CTime(2001, 7, 27, 12, 0, 0).GetTime();
    CManualClock clock(start);
    SetClock(&clock);
    auto log = std::make_shared<CRunLog>();
    auto group = std::make_unique<CKeysAndActions>();
    group->m_task.AddAction(CRecordAction(log));
    group->m_bDigest = TRUE;
    group->m_nDigestRuns = 2;
    group->m_nDigestMinutes = 10;
    auto trigger = [&](const std::string& line) {
        SetTextVariables(*group, line, "app", "/var/log/app");
        return ApplyLaunchRule(*group);
    };

    // Five matches in the first minute: two run, three are held.
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(trigger("line " + std::to_string(i)), i <= 2) << i;
        clock.AdvanceMs(10'000);
    }
    // The period has not ended at 9:59; the scan thread's check finds nothing.
    clock.SetSeconds(start + 599);
    EXPECT_FALSE(group->FlushDigestIfDue());

    // A restart from the saved workspace keeps the period going.
    group->m_task.RemoveAllActions();
    group.reset(static_cast<CKeysAndActions*>(
        LoadObjectFromBytes(StoreObjectToBytes(group.get()), RUNTIME_CLASS(CKeysAndActions))
            .release()));
    group->m_task.AddAction(CRecordAction(log));
    clock.SetSeconds(start + 600);
    EXPECT_TRUE(group->FlushDigestIfDue());
    EXPECT_FALSE(group->FlushDigestIfDue()) << "one summary per period";

    // A new period starts with the next match; it ends with a match after it.
    EXPECT_TRUE(trigger("line 6"));
    EXPECT_TRUE(trigger("line 7"));
    EXPECT_FALSE(trigger("line 8"));
    clock.SetSeconds(start + 600 + 600);
    EXPECT_TRUE(trigger("line 9")); // the summary of line 8, then a new period

    using Runs = std::vector<std::pair<std::string, std::string>>;
    Runs runs; // the text and the count held back before it
    for (const CTaskRun& run : log->Get())
        runs.emplace_back(run.Var("%EVENT_TEXT%"), run.Var("%DIGEST_COUNT%"));
    EXPECT_EQ(runs, (Runs{{"line 1", "0"},
                          {"line 2", "0"},
                          {"line 5", "3"},
                          {"line 6", "0"},
                          {"line 7", "0"},
                          {"line 8", "1"},
                          {"line 9", "0"}}));
    const CTaskRun summary = log->Get().at(2);
    EXPECT_EQ(std::tuple(summary.Var("%DIGEST_FIRST_TIME%"), summary.Var("%DIGEST_LAST_TIME%"),
                         summary.Var("%EVENT_SHORTNAME%")),
              std::tuple("07/27/01  12:00:20 PM", "07/27/01  12:00:40 PM", "app"));
    SetClock(nullptr);
}
