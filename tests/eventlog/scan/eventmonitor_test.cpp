#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/eventlog/evtformat.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasklib/actions.h"
#include "tasklib/taskui.h"
#include "tasks/trigger.h"
#include "testing.h"
#include "tests/support/systemlog.h"

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

    // Reports an event: 0 or the error. Events of the source "Quorvil" with
    // ID 100 are marks, which render as "Mark: " and their text.
    DWORD Report(DWORD id, const std::vector<std::string>& texts, const char* source = "TestSource")
    {
        HANDLE h = RegisterEventSourceInLogA("", m_strLog.c_str(), source);
        EXPECT_NE(h, nullptr);
        std::vector<const char*> strings;
        for (const std::string& text : texts)
            strings.push_back(text.c_str());
        const DWORD error =
            ReportEventA(h, EVENTLOG_ERROR_TYPE, 3, id, nullptr, static_cast<WORD>(strings.size()),
                         0, strings.data(), nullptr)
                ? 0
                : GetLastError();
        DeregisterEventSource(h);
        return error;
    }
    void Report(DWORD id, const std::string& text, int count = 1, const char* source = "TestSource")
    {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(Report(id, std::vector{text}, source), 0u);
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

    // Scans once: the state and the number of the last record read.
    std::pair<int, DWORD> Scan()
    {
        m_monitor.Scan();
        return {m_monitor.GetState(), m_monitor.m_nLastRecord};
    }

    std::vector<std::string> Hits() const
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileBytes(m_strHits).value_or(""));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string m_strLog;
    std::string m_strHits;
    CEventMonitor m_monitor;
};

} // namespace

TEST_F(EventScan, GrowsThenStaysUnchangedAndFillsTheVariables)
{
    AddGroup(4660, "%EVENT_ID% %EVENT_SOURCE% %EVENT_TYPE% %EVENT_SEQUENCE% %EVENT_SHORTNAME%");
    AddGroup(100, "%EVENT_ID% %EVENT_SOURCE% %EVENT_CATEGORYID% %EVENT_TEXT%");
    Report(0x80001234, "disk failing");
    Report(7, "other");
    Report(100, "checked by ops", 1, "Quorvil");
    EXPECT_EQ(Scan(), std::pair(MON_STATE_GREW, DWORD{3}));
    EXPECT_EQ(Hits(),
              (std::vector<std::string>{"4660 TestSource Error 1 " + m_monitor.GetDisplayName(),
                                        "100 Quorvil 3 Mark: checked by ops"}));

    EXPECT_EQ(Scan(), std::pair(MON_STATE_UNCHANGED, DWORD{3}));
    EXPECT_EQ(Hits().size(), 2u);
}

TEST_F(EventScan, ClearedLogIsReadFromTheOldestWhoeverClearedIt)
{
    AddGroup(1, "hit %EVENT_SEQUENCE%");
    Report(1, "x", 3);
    EXPECT_EQ(Scan().second, 3u);
    EXPECT_TRUE(m_monitor.ClearLog());
    EXPECT_EQ(m_monitor.m_nLastRecord, 0u);
    EXPECT_EQ(Scan(), std::pair(MON_STATE_UNCHANGED, DWORD{0})) << "empty after a clear";

    // A position past the newest record of the same file, which nobody
    // cleared, is damage, not a clear: the scan waits for newer records.
    m_monitor.m_nLastRecord = 3;
    Report(1, "y");
    EXPECT_EQ(Scan(), std::pair(MON_STATE_UNCHANGED, DWORD{3}));
    EXPECT_EQ(Hits(), (std::vector<std::string>{"hit 1", "hit 2", "hit 3"}));

    // Another program clears the log, and three records come before the
    // next scan: the newest number is past the old position, yet every
    // record is new.
    auto clearElsewhere = [&] {
        HANDLE h = OpenEventLogA("", m_strLog.c_str());
        ASSERT_TRUE(ClearEventLogA(h, nullptr));
        CloseEventLog(h);
    };
    clearElsewhere();
    Report(1, "z", 3);
    EXPECT_EQ(Scan(), std::pair(MON_STATE_SHRANK, DWORD{3}));
    EXPECT_EQ(Hits(),
              (std::vector<std::string>{"hit 1", "hit 2", "hit 3", "hit 1", "hit 2", "hit 3"}));

    // Cleared and left empty: nothing to read, and the next record is new.
    clearElsewhere();
    EXPECT_EQ(Scan().second, 0u);
    Report(1, "new");
    EXPECT_EQ(Scan(), std::pair(MON_STATE_GREW, DWORD{1}));
    EXPECT_EQ(std::pair(Hits().size(), Hits().back()),
              std::pair(std::size_t{7}, std::string("hit 1")));
}

TEST_F(EventScan, RecordTooLargeToReadIsPassedOverAndTheScanGoesOn)
{
    ASSERT_TRUE(AddEventLog("", m_strLog.c_str(), 0x400000, 0));
    AddGroup(1, "hit %EVENT_SEQUENCE%");
    Report(1, "small");
    // More than the service hands out at once (0x7FFFF bytes).
    ASSERT_EQ(Report(1, std::vector<std::string>(18, std::string(30000, 'w'))), 0u);
    EXPECT_EQ(Scan().second, 2u) << "the last record moves past it";
    Report(1, "small again");
    EXPECT_EQ(Scan().second, 3u);
    EXPECT_EQ(Hits(), (std::vector<std::string>{"hit 1", "hit 3"}));
    const std::string log = SystemLogText();
    const std::string line =
        m_monitor.GetDisplayName() + " : Record 2 is larger than the read limit";
    EXPECT_NE(log.find(line), std::string::npos);
    EXPECT_EQ(log.find(line), log.rfind(line)) << "one line, the record is not read again";
}

TEST_F(EventScan, UnregisteredSourceLogsItsRegistryErrorOnceAScan)
{
    // A text key renders every event; no message file is registered.
    static_cast<CSearchKeyEvent*>(AddGroup(7, "x")->GetKey(0))->SetText("never there");
    Report(7, "x", 40, "Unregistered");
    m_monitor.Scan();
    const std::string log = SystemLogText();
    const std::string line = "Error during read from registry [" + m_monitor.m_strServer +
                             "] : 'SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + m_strLog +
                             "\\Unregistered'";
    std::size_t count = 0;
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << "the line, and once more with its count";
    EXPECT_NE(log.find("Repeated 39 more times in this scan: " + line), std::string::npos);
}

// The scan reads a large log a slice at a time: records on both sides of
// each slice's edge are tested once, and the position ends at the last.
TEST_F(EventScan, LogLargerThanASliceIsTestedWhole)
{
    const DWORD nCount = 2 * EVENT_SCAN_SLICE + 3;
    const std::vector<DWORD> arrMarked = {1, EVENT_SCAN_SLICE, EVENT_SCAN_SLICE + 1,
                                          2 * EVENT_SCAN_SLICE + 1, nCount};
    std::vector<std::string> records;
    CEvtEvent event;
    event.m_strSourceName = "TestSource";
    event.m_strComputerName = GetLocalComputerName();
    for (DWORD i = 1; i <= nCount; ++i) {
        event.m_dwRecordNumber = i;
        event.m_dwTimeGenerated = event.m_dwTimeWritten = 1'700'000'000 + i;
        event.m_dwEventID =
            std::find(arrMarked.begin(), arrMarked.end(), i) != arrMarked.end() ? 5 : 6;
        records.push_back(EncodeEvtRecord(event));
    }
    ASSERT_TRUE(AddEventLog("", m_strLog.c_str(), 0xFFFF0000u, 0));
    ASSERT_TRUE(AtomicWriteFile(*GetComputerFolder(nullptr, 0) + "/eventlog/" + m_strLog + ".evt",
                                ComposeEvtFile(records, nCount + 1, 0xFFFF0000u, 0)));
    AddGroup(5, "%EVENT_SEQUENCE%");
    m_monitor.Scan();
    EXPECT_EQ(m_monitor.m_nLastRecord, nCount);
    std::vector<std::string> expected;
    for (DWORD n : arrMarked)
        expected.push_back(std::to_string(n));
    EXPECT_EQ(Hits(), expected);
}

TEST_F(EventScan, WrappedLogStartsAtTheOldestRecord)
{
    ASSERT_TRUE(AddEventLog("", m_strLog.c_str(), 0x10000, 0));
    AddGroup(1, "%EVENT_SEQUENCE%");
    const std::string big(2000, 'x');
    Report(1, big, 200);
    HANDLE h = OpenEventLogA("", m_strLog.c_str());
    DWORD oldest = 0;
    ASSERT_TRUE(GetOldestEventLogRecord(h, &oldest));
    CloseEventLog(h);
    ASSERT_GT(oldest, 2u) << "the log must have wrapped";

    m_monitor.m_nLastRecord = 1;
    EXPECT_EQ(Scan(), std::pair(MON_STATE_GREW, DWORD{200}));
    EXPECT_EQ(Hits().at(0), std::to_string(oldest));
}

TEST_F(EventScan, OpenFailureIsAnErrorAndKeepsThePosition)
{
    m_monitor.m_strServer = "NOSUCHHOST";
    m_monitor.m_nLastRecord = 5;
    EXPECT_EQ(Scan(), std::pair(MON_STATE_ERROR, DWORD{5}));
    EXPECT_NE(SystemLogText().find("Error opening: NOSUCHHOST\\" + m_strLog + " failed: "),
              std::string::npos);
}

TEST_F(EventScan, PendingJumpSkipsEventsBeforeTheCutoffSecond)
{
    CManualClock clock(2'000'000'000);
    SetClock(&clock);
    AddGroup(100, "%EVENT_TEXT%");
    // A jump that cannot reach the log leaves a cutoff at the current time.
    m_monitor.m_strServer = "NOSUCHHOST";
    m_monitor.JumpToEnd();
    EXPECT_EQ(std::tuple(m_monitor.m_bJumpPending, m_monitor.m_timeCutoff.GetTime()),
              std::tuple(TRUE, 2'000'000'000));

    clock.SetSeconds(2'000'000'000 - 1);
    Report(100, "one second before", 1, "Quorvil");
    clock.SetSeconds(2'000'000'000);
    Report(100, "at the cutoff", 1, "Quorvil");
    m_monitor.m_strServer = GetLocalComputerName();
    EXPECT_EQ(Scan().second, 2u);
    SetClock(nullptr);
    EXPECT_EQ(Hits(), (std::vector<std::string>{"Mark: at the cutoff"}));
    EXPECT_EQ(std::tuple(m_monitor.m_bJumpPending, m_monitor.m_timeCutoff.GetTime()),
              std::tuple(FALSE, 0));
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
    CDisplayMessage message;
    message.SetMessage("%EVENT_SEQUENCE%");
    CKeysAndActions* group = AddGroup(1, "");
    group->m_task.RemoveAllActions();
    group->m_task.AddAction(message);
    Report(1, "x", 3);
    EXPECT_EQ(Scan().second, 2u);
    SetTaskUi(nullptr);
    EXPECT_NE(SystemLogText().find(m_monitor.GetDisplayName() + " Terminated scan on record 2"),
              std::string::npos);
}

// A copy, as COPYSERVER makes, keeps the position under a fresh identifier.
TEST_F(EventScan, CopiesKeepThePositionUnderAFreshIdentifier)
{
    m_monitor.m_nLastRecord = 42;
    CEventMonitor copy(m_monitor);
    EXPECT_EQ(std::pair(copy.GetID() != m_monitor.GetID(), copy.m_nLastRecord),
              std::pair(true, 42u));
}

// Damage in a log: the records after it reach their tasks, one system log
// line says where; damage to records already read is neither a clear nor a
// reason to run their tasks again; a damaged end refuses new events until a
// repair, which keeps the numbers, so the scan goes on after it.
TEST_F(EventScan, DamageIsPassedOverOnceAndNeverTakenForAClear)
{
    AddGroup(1, "hit %EVENT_SEQUENCE%");
    Report(1, "before", 3);
    m_monitor.Scan();
    Report(1, "after", 3);
    const std::string path = *GetComputerFolder("", 0) + "/eventlog/" + m_strLog + ".evt";
    auto offsetOf = [&](const std::string& bytes, DWORD record) {
        std::size_t at = 0x30;
        for (DWORD n = 1; n < record; ++n)
            at += GetLe32(reinterpret_cast<const BYTE*>(bytes.data()) + at);
        return at;
    };
    auto rewrite = [&](const std::function<void(std::string&)>& damage) {
        std::string bytes = *ReadFileBytes(path);
        damage(bytes);
        // In place: damage leaves the file the same file.
        std::ofstream(path, std::ios::binary) << bytes;
    };
    std::size_t record4 = 0;
    rewrite([&](std::string& bytes) {
        record4 = offsetOf(bytes, 4);
        PutLe32(reinterpret_cast<BYTE*>(bytes.data()) + record4, 0x12);
    });
    const std::size_t linesBefore = SystemLogText().size();
    EXPECT_EQ(Scan().second, 6u);
    EXPECT_EQ(Hits(), (std::vector<std::string>{"hit 1", "hit 2", "hit 3", "hit 5", "hit 6"}));
    std::string lines = SystemLogText().substr(linesBefore);
    EXPECT_NE(lines.find(m_monitor.GetDisplayName() + " : Damaged records skipped at offset " +
                         std::to_string(record4) + ": "),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find(" bytes between record 3 and record 5"), std::string::npos) << lines;

    // Bytes inserted into a record already read: nothing runs again, and a
    // new event is refused where the damage is.
    rewrite([&](std::string& bytes) { bytes.insert(offsetOf(bytes, 5) + 60, "garbage!"); });
    EXPECT_EQ(Scan(), std::pair(MON_STATE_UNCHANGED, DWORD{6}));
    EXPECT_EQ(Hits().size(), 5u);
    EXPECT_EQ(Report(1, std::vector<std::string>{"refused"}), DWORD{ERROR_EVENTLOG_FILE_CORRUPT});

    HANDLE log = OpenEventLogA("", m_strLog.c_str());
    BOOL repaired = FALSE;
    ASSERT_TRUE(RepairEventLogA(log, (path + ".damaged").c_str(), &repaired));
    EXPECT_TRUE(repaired);
    CloseEventLog(log);
    Report(1, "repaired");
    EXPECT_EQ(Scan().second, 7u);
    EXPECT_EQ(std::pair(Hits().size(), Hits().back()),
              std::pair(std::size_t{6}, std::string("hit 7")));
}

// A scan offers its position for saving after every block of entries whose
// tasks ran, already moved past them: a crash repeats at most one block.
TEST_F(EventScan, PositionIsOfferedForSavingAfterEveryBlockOfTasks)
{
    AddGroup(1, "hit %EVENT_SEQUENCE%");
    for (int i = 0; i < 4 * SCAN_CHECKPOINT_TASKS + 10; ++i)
        Report(i % 2 ? 1 : 2, "x");
    struct CSaved {
        CEventMonitor* pMonitor;
        std::vector<DWORD> positions;
    } saved{&m_monitor, {}};
    SetScanCheckpoint(
        [](void* context) {
            auto* p = static_cast<CSaved*>(context);
            p->positions.push_back(p->pMonitor->m_nLastRecord);
        },
        &saved);
    m_monitor.Scan();
    SetScanCheckpoint(nullptr, nullptr);
    // Every second record fires: the 32nd task is record 64.
    EXPECT_EQ(saved.positions,
              (std::vector<DWORD>{2 * SCAN_CHECKPOINT_TASKS, 4 * SCAN_CHECKPOINT_TASKS}));
    EXPECT_EQ(m_monitor.m_nLastRecord, 4u * SCAN_CHECKPOINT_TASKS + 10);
}
