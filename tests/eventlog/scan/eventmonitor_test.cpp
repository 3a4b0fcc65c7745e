#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings/appsettings.h"
#include "app/settings/systemlog.h"
#include "bransched/actions.h"
#include "bransched/taskui.h"
#include "core/model/itemid.h"
#include "core/model/keysandactions.h"
#include "core/model/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "tasks/trigger.h"
#include "isolated_env.h"

namespace {

// Each test gets its own log, so records never leak between tests.
class EventScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterEventScanClasses();
        m_strLog = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(AddEventLog("", m_strLog.c_str(), std::nullopt, std::nullopt));
        m_monitor.m_strServer = GetLocalComputerName();
        m_monitor.m_strLogName = m_strLog;
        m_monitor.m_bEnabled = TRUE;
        m_strHits = TestRoot() + "/hits-" + m_strLog + ".txt";
    }
    void TearDown() override
    {
        g_bExtendedAudit = 0;
        g_hStopScanEvent.Reset();
    }

    // Events of the source "Quorvil" with ID 100 are marks, which render as
    // "Mark: " and their text without any message file.
    void Report(DWORD id, const std::string& text, const char* source = "TestSource",
                WORD type = EVENTLOG_ERROR_TYPE)
    {
        HANDLE h = RegisterEventSourceInLogA("", m_strLog.c_str(), source);
        ASSERT_NE(h, nullptr);
        const char* strings[] = {text.c_str()};
        ASSERT_TRUE(ReportEventA(h, type, 3, id, nullptr, 1, 0, strings, nullptr));
        DeregisterEventSource(h);
    }

    // A group whose one key matches the event ID and whose task writes a
    // line to the hits file.
    CKeysAndActions* AddGroup(DWORD id, const std::string& line)
    {
        auto* group = new CKeysAndActions;
        auto* key = new CSearchKeyEvent;
        key->SetEventIDValue(id);
        group->AddKey(key);
        CWriteToFile action;
        action.SetPath(m_strHits.c_str());
        action.SetText(line.c_str());
        group->m_task.AddAction(action);
        m_monitor.AddWatchGroup(group);
        return group;
    }

    std::vector<std::string> Hits() const
    {
        std::vector<std::string> lines;
        std::string text = ReadFileBytes(m_strHits).value_or("");
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find('\n', pos);
            lines.push_back(text.substr(pos, end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    std::string m_strLog;
    std::string m_strHits;
    CEventMonitor m_monitor;
};

std::string SystemLog()
{
    return ReadFileBytes(AppSettings::GetErrorLogPath()).value_or("");
}

} // namespace

TEST_F(EventScan, GrowsThenStaysUnchangedAndFillsTheVariables)
{
    AddGroup(4660, "%EVENT_ID% %EVENT_SOURCE% %EVENT_TYPE% %EVENT_SEQUENCE% %EVENT_SHORTNAME%");
    AddGroup(100, "%EVENT_ID% %EVENT_SOURCE% %EVENT_CATEGORYID% %EVENT_TEXT%");
    Report(0x80001234, "disk failing");
    Report(7, "other");
    Report(100, "checked by ops", "Quorvil");
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_GREW);
    EXPECT_EQ(m_monitor.m_nLastRecord, 3u);
    EXPECT_EQ(Hits(), (std::vector<std::string>{
                          "4660 TestSource Error 1 " + m_monitor.GetDisplayName(),
                          "100 Quorvil 3 Mark: checked by ops"}));

    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_UNCHANGED);
    EXPECT_EQ(Hits().size(), 2u);
}

TEST_F(EventScan, ClearedLogIsReadFromTheOldestAndClearingResetsThePosition)
{
    AddGroup(1, "hit %EVENT_SEQUENCE%");
    for (int i = 0; i < 3; ++i)
        Report(1, "x");
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.m_nLastRecord, 3u);

    EXPECT_TRUE(m_monitor.ClearLog());
    EXPECT_EQ(m_monitor.m_nLastRecord, 0u);
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_UNCHANGED) << "empty after a clear, position 0";

    // Cleared and refilled less far than before: the log became smaller.
    m_monitor.m_nLastRecord = 3;
    Report(1, "y");
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_SHRANK);
    EXPECT_EQ(m_monitor.m_nLastRecord, 1u);
    EXPECT_EQ(Hits(), (std::vector<std::string>{"hit 1", "hit 2", "hit 3", "hit 1"}));
}

TEST_F(EventScan, WrappedLogStartsAtTheOldestRecord)
{
    ASSERT_TRUE(AddEventLog("", m_strLog.c_str(), 0x10000, 0));
    AddGroup(1, "%EVENT_SEQUENCE%");
    const std::string big(2000, 'x');
    for (int i = 0; i < 200; ++i)
        Report(1, big);
    HANDLE h = OpenEventLogA("", m_strLog.c_str());
    DWORD oldest = 0;
    ASSERT_TRUE(GetOldestEventLogRecord(h, &oldest));
    CloseEventLog(h);
    ASSERT_GT(oldest, 2u) << "the log must have wrapped";

    m_monitor.m_nLastRecord = 1;
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_GREW);
    EXPECT_EQ(m_monitor.m_nLastRecord, 200u);
    std::vector<std::string> hits = Hits();
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits.front(), std::to_string(oldest));
}

TEST_F(EventScan, OpenFailureIsAnErrorAndKeepsThePosition)
{
    m_monitor.m_strServer = "NOSUCHHOST";
    m_monitor.m_nLastRecord = 5;
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.GetState(), MON_STATE_ERROR);
    EXPECT_EQ(m_monitor.m_nLastRecord, 5u);
    EXPECT_NE(SystemLog().find("Error opening: NOSUCHHOST\\" + m_strLog + " failed: "), std::string::npos);
}

TEST_F(EventScan, PendingJumpSkipsEventsBeforeTheCutoffSecond)
{
    CManualClock clock(2'000'000'000);
    SetClock(&clock);
    AddGroup(100, "%EVENT_TEXT%");
    // A jump that cannot reach the log leaves a cutoff at the current time.
    m_monitor.m_strServer = "NOSUCHHOST";
    m_monitor.JumpToEnd();
    EXPECT_TRUE(m_monitor.m_bJumpPending);
    EXPECT_EQ(m_monitor.m_timeCutoff.GetTime(), 2'000'000'000);

    clock.SetSeconds(2'000'000'000 - 1);
    Report(100, "one second before", "Quorvil");
    clock.SetSeconds(2'000'000'000);
    Report(100, "at the cutoff", "Quorvil");
    m_monitor.m_strServer = GetLocalComputerName();
    m_monitor.Scan();
    SetClock(nullptr);
    EXPECT_EQ(Hits(), (std::vector<std::string>{"Mark: at the cutoff"}));
    EXPECT_FALSE(m_monitor.m_bJumpPending);
    EXPECT_EQ(m_monitor.m_timeCutoff.GetTime(), 0);
    EXPECT_EQ(m_monitor.m_nLastRecord, 2u);
}

TEST_F(EventScan, GroupsFireInOrderAndTheAuditLineCarriesTheSequence)
{
    g_bExtendedAudit = 1;
    AddGroup(9, "first %TASK_SEQ%");
    AddGroup(9, "second %TASK_SEQ%");
    Report(9, "both");
    m_monitor.Scan();
    LONG seq = g_nTaskSequence.load();
    EXPECT_EQ(Hits(), (std::vector<std::string>{"first " + std::to_string(seq - 1),
                                                "second " + std::to_string(seq)}));
    std::string audit = ReadFileBytes(AppSettings::GetAuditNT()).value_or("");
    EXPECT_NE(audit.find(" TASK SEQ - " + std::to_string(seq)), std::string::npos);
    EXPECT_NE(audit.find("Reading events: 1 to 1"), std::string::npos);
}

TEST_F(EventScan, StopDuringTheFirstGroupOfTheThirdRecordKeepsTheSecond)
{
    // The task shown for the second record asks the scan to stop; the scan
    // sees the request before the first group of the third record.
    struct CStoppingUi final : ITaskUi {
        void ShowTaskMessage(const std::string&, const std::string& strText) override
        {
            if (strText == "2")
                g_hStopScanEvent.Set();
        }
        int EditTask(CTask&) override { return 0; }
    } ui;
    SetTaskUi(&ui);
    auto* group = new CKeysAndActions;
    auto* key = new CSearchKeyEvent;
    key->SetEventIDValue(1);
    group->AddKey(key);
    CDisplayMessage message;
    message.SetMessage("%EVENT_SEQUENCE%");
    group->m_task.AddAction(message);
    m_monitor.AddWatchGroup(group);
    for (int i = 0; i < 3; ++i)
        Report(1, "x");
    m_monitor.Scan();
    SetTaskUi(nullptr);
    EXPECT_EQ(m_monitor.m_nLastRecord, 2u);
    EXPECT_NE(SystemLog().find(m_monitor.GetDisplayName() + " Terminated scan on record 2"),
              std::string::npos);
}

TEST_F(EventScan, StoredRecordRoundTripsAndCopiesGetFreshIdentifiers)
{
    AddGroup(1, "x");
    m_monitor.m_nLastRecord = 42;
    std::string bytes = StoreObjectToBytes(&m_monitor);
    std::unique_ptr<CObject> loaded = LoadObjectFromBytes(bytes, RUNTIME_CLASS(CMonitoredObject));
    auto* monitor = dynamic_cast<CEventMonitor*>(loaded.get());
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->m_nLastRecord, 42u);
    EXPECT_EQ(monitor->GetLogName(), m_strLog);
    EXPECT_EQ(monitor->GetWatchGroupCount(), 1);
    EXPECT_EQ(StoreObjectToBytes(monitor), bytes);
    EXPECT_NE(monitor->GetID(), m_monitor.GetID());
    EXPECT_EQ(ItemKind(monitor->GetID()), ITEM_KIND_EVENT_LOG);

    CEventMonitor copy(m_monitor);
    EXPECT_NE(copy.GetID(), m_monitor.GetID());
    EXPECT_EQ(copy.m_nLastRecord, 42u);
    EXPECT_EQ(copy.GetWatchGroupCount(), 1);
}
