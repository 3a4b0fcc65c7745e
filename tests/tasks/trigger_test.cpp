#include <gtest/gtest.h>

#include "archive/file.h"
#include "platform/base/clock.h"
#include "tasklib/oledatetime.h"
#include "tasks/trigger.h"
#include "tests/tasks/recordaction.h"

namespace {

// What a text scan does for one line and one group.
bool OfferLine(CKeysAndActions& group, const char* line)
{
    group.ResetHits();
    if (MatchTextKeys(group, CPreparedLine(line)))
        SetTextVariables(group, line, "Sample Log", "/var/log/app.log");
    return group.IsTriggered();
}

std::string Var(const CKeysAndActions& group, const char* name)
{
    const CTaskVariables variables = group.m_task.GetVariables();
    const std::string* value = variables.Find(name);
    return value ? *value : "(unset)";
}

// Runs first in this executable: nothing has triggered yet.
TEST(TextTrigger, FirstTriggerOfTheProcessIsSequenceOne)
{
    ASSERT_EQ(g_nTaskSequence.load(), 0);
    CKeysAndActions group;
    group.AddKey(TextKey("panic"));
    group.AddKey(TextKey("KERNEL"));
    ASSERT_TRUE(OfferLine(group, "kernel panic"));
    EXPECT_EQ(group.GetKey(1)->m_nHits.load(), 1) << "every key is tested, also after a match";
    EXPECT_EQ(Var(group, VAR_TASK_SEQ), "1");
    EXPECT_EQ(g_nTaskSequence.load(), 1);
    // Which lines trigger and the text variables they set are followed by the
    // text scan's tests; the event variables stay as they were.
    EXPECT_EQ(Var(group, VAR_EVENT_SOURCE), "<empty>");
}

TEST(LaunchRule, MinimumIntervalInWholeMinutes)
{
    const COleDateTime last(2001, 7, 27, 12, 0, 0);
    auto at = [&](int minutes, int seconds) {
        return COleDateTime(last.GetDate() + (minutes * 60 + seconds) / 86400.0);
    };
    struct Case {
        BOOL bFlag;
        int nMinutes;
        COleDateTime now;
        bool bAllowed;
    } cases[] = {
        {FALSE, 5, at(0, 0), true},
        {TRUE, 5, at(4, 59), false},
        {TRUE, 5, at(5, 0), true},
        {TRUE, -1, at(100000, 0), false}, // read as 4294967295 minutes
        {TRUE, 5, at(-10, 0), true},      // last run in the future
        {TRUE, 5, COleDateTime(2001, 7, 27, 12, 4, 59), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLaunchAllowed(c.bFlag, c.nMinutes, last, c.now), c.bAllowed)
            << c.bFlag << " " << c.nMinutes << " " << c.now.Format("%H:%M:%S");
}

TEST(LaunchRule, HoldsTheTaskBackUntilTheIntervalHasPassed)
{
    CManualClock clock(CTime(2001, 7, 27, 12, 0, 0).GetTime());
    SetClock(&clock);
    auto log = std::make_shared<CRunLog>();
    CKeysAndActions group;
    group.m_task.AddAction(CRecordAction(log));
    group.m_bMinInterval = TRUE;
    group.m_nMinIntervalMinutes = 5;

    EXPECT_TRUE(ApplyLaunchRule(group)); // never ran
    clock.AdvanceMs((4 * 60 + 59) * 1000);
    EXPECT_FALSE(ApplyLaunchRule(group));
    clock.AdvanceMs(1000);
    EXPECT_TRUE(ApplyLaunchRule(group));
    group.m_bMinInterval = FALSE;
    EXPECT_TRUE(ApplyLaunchRule(group));
    EXPECT_EQ(log->Get().size(), 3u);
    SetClock(nullptr);
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
    {
        CKeysAndActions stored = *group;
        stored.m_task.RemoveAllActions();
        const std::string bytes = StoreObjectToBytes(&stored);
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        group = ar.ReadObjectAs<CKeysAndActions>();
        ASSERT_TRUE(group);
        group->m_task.AddAction(CRecordAction(log));
    }
    clock.SetSeconds(start + 600);
    EXPECT_TRUE(group->FlushDigestIfDue());
    EXPECT_FALSE(group->FlushDigestIfDue()) << "one summary per period";

    // A new period starts with the next match; it ends with a match after it.
    EXPECT_TRUE(trigger("line 6"));
    EXPECT_TRUE(trigger("line 7"));
    EXPECT_FALSE(trigger("line 8"));
    clock.SetSeconds(start + 600 + 600);
    EXPECT_TRUE(trigger("line 9")); // the summary of line 8, then a new period

    const std::vector<CTaskRun> runs = log->Get();
    ASSERT_EQ(runs.size(), 7u);
    const std::pair<const char*, const char*> expected[] = {
        {"line 1", "0"}, {"line 2", "0"}, {"line 5", "3"}, {"line 6", "0"},
        {"line 7", "0"}, {"line 8", "1"}, {"line 9", "0"},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].Var("%EVENT_TEXT%"), expected[i].first) << i;
        EXPECT_EQ(runs[i].Var("%DIGEST_COUNT%"), expected[i].second) << i;
    }
    EXPECT_EQ(runs[2].Var("%DIGEST_FIRST_TIME%"), "07/27/01  12:00:20 PM");
    EXPECT_EQ(runs[2].Var("%DIGEST_LAST_TIME%"), "07/27/01  12:00:40 PM");
    EXPECT_EQ(runs[2].Var("%EVENT_SHORTNAME%"), "app");
    SetClock(nullptr);
}
