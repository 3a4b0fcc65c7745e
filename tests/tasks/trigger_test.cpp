#include <gtest/gtest.h>

#include "match/searchkeytext.h"
#include "platform/base/clock.h"
#include "tasklib/oledatetime.h"
#include "tasks/trigger.h"
#include "tests/tasks/recordaction.h"

namespace {

CSearchKeyText* TextKey(const char* key1, TextKeyMode mode = TextKeyMode::ONLY,
                        const char* key2 = "")
{
    auto* pKey = new CSearchKeyText;
    pKey->m_strKey1 = key1;
    pKey->m_strKey2 = key2;
    pKey->m_nMode = mode;
    return pKey;
}

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
    ASSERT_TRUE(OfferLine(group, "kernel panic"));
    EXPECT_EQ(Var(group, VAR_TASK_SEQ), "1");
    EXPECT_EQ(g_nTaskSequence.load(), 1);
}

TEST(TextTrigger, TwoKeysBothHitTriggerOnce)
{
    CKeysAndActions group;
    group.AddKey(TextKey("disk"));
    group.AddKey(TextKey("FULL")); // not case sensitive
    group.AddKey(TextKey("memory"));
    const LONG nBefore = g_nTaskSequence.load();

    ASSERT_TRUE(OfferLine(group, "srv1: disk full on /var"));
    EXPECT_EQ(group.GetKey(0)->m_nHits.load(), 1);
    EXPECT_EQ(group.GetKey(1)->m_nHits.load(), 1);
    EXPECT_EQ(group.GetKey(2)->m_nHits.load(), 0);
    EXPECT_EQ(g_nTaskSequence.load(), nBefore + 1);
    EXPECT_EQ(Var(group, VAR_TASK_SEQ), std::to_string(nBefore + 1));
    EXPECT_EQ(Var(group, VAR_EVENT_TEXT), "srv1: disk full on /var");
    EXPECT_EQ(Var(group, VAR_EVENT_SHORTNAME), "Sample Log");
    EXPECT_EQ(Var(group, VAR_EVENT_LONGNAME), "/var/log/app.log");
    // A text trigger leaves the event-only variables alone.
    for (const char* name : {VAR_EVENT_TIME, VAR_EVENT_SOURCE, VAR_EVENT_USER, VAR_EVENT_COMPUTER,
                             VAR_EVENT_CATEGORYID, VAR_EVENT_ID, VAR_EVENT_TYPE,
                             VAR_EVENT_CATEGORYTEXT, VAR_EVENT_SEQUENCE})
        EXPECT_EQ(Var(group, name), "<empty>") << name;
}

TEST(TextTrigger, NoHitSetsNothing)
{
    CKeysAndActions group;
    group.AddKey(TextKey("disk", TextKeyMode::AND_NOT, "retry"));
    const LONG nBefore = g_nTaskSequence.load();
    EXPECT_FALSE(OfferLine(group, "disk error, retry"));
    EXPECT_FALSE(OfferLine(group, ""));
    EXPECT_EQ(g_nTaskSequence.load(), nBefore);
    EXPECT_EQ(Var(group, VAR_EVENT_TEXT), "<empty>");
    EXPECT_EQ(Var(group, VAR_EVENT_LONGNAME), "<empty>");
    EXPECT_EQ(Var(group, VAR_TASK_SEQ), "(unset)");
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
