#include "core/monmanager.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "testing.h"
#include "tests/journal/journalfiles.h"
#include "tests/tasks/recordaction.h"
#include "textlog/filemonitor.h"
#include "textlog/filename.h"

namespace {

// A change of a log wakes the scan thread: its task runs long before the
// log's interval (ten hours of the test clock, which runs fast) is up.
TEST(Wakeup, ChangesOfTextLogsAndJournalsWakeTheScan)
{
    RegisterTextLogClasses();
    RegisterJournalClasses();
    ASSERT_FALSE(JournalRemotePath().empty());
    CManualClock clock(1699920800); // 00:13 UTC: the day stays the same
    SetClock(&clock);
    const std::string root = TestRoot() + "/wakeup";
    ASSERT_TRUE(EnsureDirectory(root + "/text"));
    ASSERT_TRUE(EnsureDirectory(root + "/journal"));
    auto runs = std::make_shared<CRunLog>();

    auto pManager = std::make_unique<CMonManager>();
    auto* pText = new CFileMonitor;
    pText->m_strShortDescription = "plain";
    pText->m_strDirectory = root + "/text/";
    pText->m_strFileName = "app.log";
    auto* pDated = new CFileMonitor;
    pDated->m_strShortDescription = "dated";
    pDated->m_strDirectory = root + "/text/";
    pDated->m_bFormattedName = TRUE;
    pDated->m_strTemplate = "app-%Y%m%d.log";
    auto* pJournal = new CJournalMonitor;
    pJournal->m_strDirectory = root + "/journal";
    for (CMonitoredObject* pLog :
         std::initializer_list<CMonitoredObject*>{pText, pDated, pJournal}) {
        pLog->m_nInterval = 36000;
        pLog->SetEnabled(TRUE);
    }
    AddRecordingGroup(*pText, pText->GetDisplayName(), runs, {TextKey("hit")});
    AddRecordingGroup(*pDated, pDated->GetDisplayName(), runs, {TextKey("hit")});
    AddRecordingGroup(*pJournal, pJournal->GetDisplayName(), runs, {new CSearchKeyEvent});
    // The journal's folder has a file before the scan thread starts, so
    // there is a journal to watch.
    ASSERT_TRUE(WriteJournal(root + "/journal/a.journal", {{1700000000, {{"MESSAGE", "first"}}}}));
    pJournal->JumpToEnd();
    pManager->AddLog(pText);
    pManager->AddLog(pDated);
    pManager->AddLog(pJournal);
    const std::int64_t nStart = clock.NowSeconds();
    ASSERT_TRUE(pManager->StartScanThread());

    struct Step {
        std::function<void()> write;
        std::string strTask;
    };
    const std::string datedPath =
        root + "/text/" + ExpandFileTemplate("app-%Y%m%d.log", CTime::GetCurrentTime());
    const Step steps[] = {
        {[&] { AppendToFile(root + "/text/app.log", "hit one\n"); }, "plain"},
        {[&] { AppendToFile(datedPath, "hit two\n"); }, "dated"},
        {[&] {
             WriteJournal(root + "/journal/a.journal",
                          {{1700000001, {{"MESSAGE", "from the journal"}}}});
         },
         pJournal->GetDisplayName()},
    };
    // The first pass takes the watches in; the clock moves after each pass.
    while (clock.NowSeconds() - nStart < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (const Step& step : steps) {
        step.write();
        ASSERT_TRUE(runs->WaitFor(1)) << step.strTask;
        const std::vector<CTaskRun> got = runs->Get();
        EXPECT_EQ(got[0].strTask, step.strTask);
        EXPECT_LT(clock.NowSeconds() - nStart, 36000) << step.strTask;
        runs->Clear();
    }
    pManager->StopScanThread();
    pManager.reset();
    SetClock(nullptr);
}

} // namespace
