#include "core/frontend.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "testing.h"
#include "testlog.h"
#include "tests/tasks/recordaction.h"

namespace {

constexpr UINT WM_TEST_SCANNED = WM_USER + 100; // wParam: clock seconds

class ScanThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock(&m_clock);
        SetMainWindowQueue(&m_queue);
    }
    void TearDown() override
    {
        m_manager.reset();
        SetMainWindowQueue(nullptr);
        SetClock(nullptr);
    }

    CQueuedMessage Next()
    {
        auto msg = m_queue.Get(10000);
        if (!msg) {
            ADD_FAILURE() << "no message from the scan thread";
            return {};
        }
        return *msg;
    }
    // The next message that is not a scan marker of a test log, nor a save
    // request (a pass may ask for one before it sees a stop).
    CQueuedMessage NextFrameMessage()
    {
        for (;;) {
            CQueuedMessage msg = Next();
            if (msg.message != WM_TEST_SCANNED && msg.message != WM_AUTOSAVE)
                return msg;
        }
    }

    CTestLog* AddLog(CMonManager& manager)
    {
        auto* log = new CTestLog;
        manager.AddLog(log);
        return log;
    }

    CManualClock m_clock{1'700'000'000};
    CMessageQueue m_queue;
    std::unique_ptr<CMonManager> m_manager = std::make_unique<CMonManager>();
};

std::string SystemLog()
{
    return ReadFileBytes(AppSettings::GetErrorLogPath()).value_or("");
}

} // namespace

TEST_F(ScanThread, StartTwiceAndStopWhenNotRunning)
{
    EXPECT_TRUE(m_manager->StopScanThread()) << "stop when not running succeeds";
    EXPECT_NE(SystemLog().find("Stopping automatic scans"), std::string::npos);

    ASSERT_TRUE(m_manager->StartScanThread());
    EXPECT_TRUE(m_manager->IsScanThreadRunning());
    std::string before = SystemLog();
    EXPECT_TRUE(m_manager->StartScanThread());
    EXPECT_EQ(SystemLog(), before) << "a second start writes nothing";
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Running), 0}));
    EXPECT_TRUE(m_manager->StopScanThread());
    EXPECT_FALSE(m_manager->IsScanThreadRunning());
    EXPECT_EQ(NextFrameMessage(),
              (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Stopping), 0}));
    EXPECT_EQ(NextFrameMessage(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Stopped), 0}));
    EXPECT_FALSE(g_hStopScanEvent.IsSet());
}

TEST_F(ScanThread, CountsDownThenRuns)
{
    m_manager->m_nStartDelay = 5;
    ASSERT_TRUE(m_manager->StartScanThread());
    LPARAM last = 6;
    int countdowns = 0;
    for (;;) {
        CQueuedMessage msg = Next();
        ASSERT_EQ(msg.message, WM_SCAN_STATE);
        if (msg.wParam == ToWParam(ScanState::Running))
            break;
        ASSERT_EQ(msg.wParam, ToWParam(ScanState::Countdown));
        EXPECT_LE(msg.lParam, last);
        EXPECT_GE(msg.lParam, 1);
        last = msg.lParam;
        ++countdowns;
    }
    EXPECT_EQ(last, 1);
    EXPECT_GE(countdowns, 9) << "about every half second for five seconds";
    EXPECT_EQ(m_manager->m_nStartDelay, 0);
    m_manager->StopScanThread();
}

TEST_F(ScanThread, StopDuringCountdownGivesStoppedWithoutStopping)
{
    // A countdown that cannot end while the clock stands still.
    struct CFrozenClock final : IClock {
        std::int64_t NowSeconds() override { return 1'700'000'000; }
        void SleepMs(std::uint32_t) override { std::this_thread::yield(); }
    } frozen;
    SetClock(&frozen);
    m_manager->m_nStartDelay = 5;
    ASSERT_TRUE(m_manager->StartScanThread());
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Countdown), 5}));
    EXPECT_TRUE(m_manager->StopScanThread());
    std::vector<CQueuedMessage> rest;
    while (auto msg = m_queue.Peek())
        rest.push_back(*msg);
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Stopped), 0}));
    for (const auto& msg : rest)
        EXPECT_NE(msg.wParam, ToWParam(ScanState::Stopping));
    SetClock(&m_clock);
}

TEST_F(ScanThread, TwoChangesInOnePassGiveTwoProgressMessagesAndOneSave)
{
    CTestLog* a = AddLog(*m_manager);
    CTestLog* b = AddLog(*m_manager);
    for (CTestLog* log : {a, b}) {
        log->SetInterval(0);
        log->m_onScan = [](CTestLog& l) {
            l.SetState(l.GetState() == MON_STATE_GREW ? MON_STATE_UNCHANGED : MON_STATE_GREW);
        };
    }
    ASSERT_TRUE(m_manager->StartScanThread());
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Running), 0}));
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_PROGRESS, a->GetID(), 0}));
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_PROGRESS, b->GetID(), 0}));
    EXPECT_EQ(Next(), (CQueuedMessage{WM_AUTOSAVE, 0, 0}));
    m_manager->StopScanThread();
}

TEST_F(ScanThread, SaveIsRequestedEveryElevenMinutesWithoutChanges)
{
    const std::int64_t start = m_clock.NowSeconds();
    // Scanned in every pass; each scan reports the pass's clock reading,
    // which is the time at which a save request of that pass was made.
    struct CEveryPassLog : CTestLog {
        BOOL IsScanDue() override { return TRUE; }
    };
    auto* every = new CEveryPassLog;
    every->m_onScan = [this](CTestLog&) {
        m_queue.Post(WM_TEST_SCANNED, static_cast<WPARAM>(m_clock.NowSeconds()), 0);
    };
    m_manager->AddLog(every);

    ASSERT_TRUE(m_manager->StartScanThread());
    std::vector<std::int64_t> saves;
    bool bSavePending = false;
    while (saves.size() < 2) {
        CQueuedMessage msg = Next();
        if (msg.message == WM_AUTOSAVE)
            bSavePending = true;
        else if (msg.message == WM_TEST_SCANNED && bSavePending) {
            saves.push_back(static_cast<std::int64_t>(msg.wParam) - start);
            bSavePending = false;
        }
    }
    m_manager->StopScanThread();
    EXPECT_EQ(saves[0], 660);
    EXPECT_EQ(saves[1], 1320);
}

TEST_F(ScanThread, NothingIsScannedWhileAPauseIsHeld)
{
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    std::mutex mutex;
    std::condition_variable cv;
    log->m_onScan = [&](CTestLog&) { cv.notify_all(); };
    auto waitForScans = [&](int n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return log->m_nScans >= n; });
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    ASSERT_TRUE(waitForScans(1));
    int scans;
    {
        CScanPause pause(m_manager.get());
        // Let the pass that may be under way finish, then let a minute of
        // the scan thread's time pass.
        m_manager->WaitUntilNotScanning(log);
        scans = log->m_nScans;
        const std::int64_t until = m_clock.NowSeconds() + 60;
        while (m_clock.NowSeconds() < until)
            std::this_thread::yield();
        EXPECT_EQ(log->m_nScans, scans);
    }
    EXPECT_TRUE(waitForScans(scans + 1)) << "scanning resumes after the pause";
    m_manager->StopScanThread();
}

namespace {

// A gate that a scan waits at until the test opens it, as a task's message
// waits for the user.
struct CGate {
    std::mutex mutex;
    std::condition_variable cv;
    int nWaiting = 0;
    bool bOpen = false;

    // Waits until opened, or until the scan is asked to stop when
    // bEndOnStop (the way a task's message gives up at a stop).
    void Wait(bool bEndOnStop = false)
    {
        std::unique_lock lock(mutex);
        ++nWaiting;
        cv.notify_all();
        while (!bOpen && !(bEndOnStop && IsStopRequested()))
            cv.wait_for(lock, std::chrono::milliseconds(5));
    }
    bool WaitForWaiter(int n = 1)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return nWaiting >= n; });
    }
    void Open()
    {
        {
            std::lock_guard lock(mutex);
            bOpen = true;
        }
        cv.notify_all();
    }
};

// Tells when it is deleted. The event is shared: the thread that deletes
// the log may still be inside Set when the test goes on.
struct CWatchedLog : CTestLog {
    explicit CWatchedLog(std::shared_ptr<CManualResetEvent> deleted) : m_deleted(std::move(deleted))
    {
    }
    ~CWatchedLog() override { m_deleted->Set(); }
    std::shared_ptr<CManualResetEvent> m_deleted;
};

} // namespace

TEST_F(ScanThread, StopReturnsAtOnceAndCutsATaskWaitShort)
{
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    CGate gate;
    std::atomic<int> tasksAfterStop{0};
    log->m_onScan = [&](CTestLog&) {
        gate.Wait(true); // never opened: only the stop ends it
        if (!IsStopRequested())
            ++tasksAfterStop;
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    ASSERT_TRUE(gate.WaitForWaiter());
    m_manager->RequestStop(); // returns although the scan is still in its wait
    EXPECT_FALSE(m_manager->IsScanThreadRunning());
    for (;;) {
        CQueuedMessage msg = NextFrameMessage();
        ASSERT_NE(msg.message, 0u);
        if (msg == CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Stopped), 0})
            break;
    }
    EXPECT_EQ(tasksAfterStop, 0);

    // Start works again and scans.
    const int scans = log->m_nScans;
    gate.Open();
    ASSERT_TRUE(m_manager->StartScanThread());
    EXPECT_EQ(NextFrameMessage(), (CQueuedMessage{WM_SCAN_STATE, ToWParam(ScanState::Running), 0}));
    while (log->m_nScans <= scans)
        std::this_thread::yield();
    EXPECT_TRUE(m_manager->StopScanThread());
}

TEST_F(ScanThread, ThreadThatDoesNotStopInTimeIsAbandonedRunsNoTaskAndStartWorksAgain)
{
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    CGate gate;
    std::atomic<int> scanning{0};
    std::atomic<int> maxScanning{0};
    std::atomic<int> tasksAfterStop{0};
    log->m_onScan = [&](CTestLog& l) {
        maxScanning = std::max(maxScanning.load(), ++scanning);
        if (l.m_nScans == 1)
            gate.Wait(); // a task that ignores the stop
        // What the scan would do next: a task for the next watch group.
        if (l.m_nScans == 1 && !IsStopRequested())
            ++tasksAfterStop;
        --scanning;
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    ASSERT_TRUE(gate.WaitForWaiter());
    m_manager->m_dwStopTimeoutMs = 50;
    EXPECT_FALSE(m_manager->StopScanThread());
    EXPECT_NE(SystemLog().find("Error waiting for scan to halt: Thread did not exit - timeout"),
              std::string::npos);
    EXPECT_FALSE(m_manager->IsScanThreadRunning()) << "Start is possible again";
    EXPECT_TRUE(m_manager->HasScanThreads()) << "the program's end must still stop it";
    EXPECT_FALSE(g_hStopScanEvent.IsSet());

    // A new thread starts at once but scans only after the old one ended.
    ASSERT_TRUE(m_manager->StartScanThread());
    EXPECT_TRUE(m_manager->IsScanThreadRunning());
    gate.Open();
    while (log->m_nScans < 3)
        std::this_thread::yield();
    m_manager->m_dwStopTimeoutMs = 10000;
    EXPECT_TRUE(m_manager->StopScanThread());
    EXPECT_EQ(tasksAfterStop, 0) << "the abandoned scan ran a task after its stop";
    EXPECT_EQ(maxScanning, 1) << "two threads scanned at once";
}

namespace {

// A scan thread whose only log waits at the gate in its scan; the log tells
// when it is deleted. Null when the scan did not begin.
CTestLog* StartScanWaitingAtGate(CMonManager& manager, std::shared_ptr<CManualResetEvent> deleted,
                                 CGate& gate)
{
    auto* log = new CWatchedLog(std::move(deleted));
    log->SetInterval(0);
    manager.AddLog(log);
    log->m_onScan = [&gate](CTestLog&) { gate.Wait(); };
    if (!manager.StartScanThread() || !gate.WaitForWaiter())
        return nullptr;
    return log;
}

} // namespace

TEST_F(ScanThread, DestroyingTheManagerDoesNotWaitBeyondTheTimeOut)
{
    auto deleted = std::make_shared<CManualResetEvent>();
    CGate gate;
    CTestLog* log = StartScanWaitingAtGate(*m_manager, deleted, gate);
    ASSERT_NE(log, nullptr);
    m_manager->m_dwStopTimeoutMs = 50;
    m_manager.reset(); // returns while the scan still waits
    EXPECT_FALSE(deleted->IsSet()) << "the log was freed under its scan";
    EXPECT_TRUE(IsScanThreadAbandoned());
    gate.Open();
    EXPECT_EQ(deleted->Wait(10000), WAIT_OBJECT_0) << "the thread frees the logs when it ends";
}

TEST_F(ScanThread, DeletingALogBeingScannedReturnsAtOnceAndFreesItAfterTheScan)
{
    auto deleted = std::make_shared<CManualResetEvent>();
    CGate gate;
    CTestLog* log = StartScanWaitingAtGate(*m_manager, deleted, gate);
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(m_manager->DeleteLog(log->GetID()));
    EXPECT_EQ(m_manager->GetLogCount(), 0);
    EXPECT_FALSE(deleted->IsSet()) << "freed under its scan";
    gate.Open();
    EXPECT_EQ(deleted->Wait(10000), WAIT_OBJECT_0);
    EXPECT_TRUE(m_manager->StopScanThread());
}

TEST_F(ScanThread, GroupEditsOfALogBeingScannedApplyAfterTheScanAndAreAnnounced)
{
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    auto* original = new CKeysAndActions;
    log->AddWatchGroup(original);
    CMonitoredObject source;
    source.AddWatchGroup(new CKeysAndActions);
    source.AddWatchGroup(new CKeysAndActions);

    CGate gate;
    std::atomic<bool> bGroupsKept{false};
    log->m_onScan = [&](CTestLog& l) {
        if (l.m_nScans != 1)
            return;
        gate.Wait();
        bGroupsKept = l.GetWatchGroupCount() == 1 && l.GetWatchGroup(0) == original;
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    ASSERT_TRUE(gate.WaitForWaiter());
    m_manager->ReplaceWatchGroups(log->GetID(), source);
    m_manager->DeleteWatchGroup(log->GetID(), 0);
    gate.Open();
    int announced = 0;
    while (announced < 2) {
        CQueuedMessage msg = NextFrameMessage();
        ASSERT_NE(msg.message, 0u);
        if (msg.message == WM_DEFERRED_EDIT) {
            EXPECT_EQ(msg.wParam, log->GetID());
            ++announced;
        }
    }
    EXPECT_TRUE(bGroupsKept) << "the groups changed under the scan";
    EXPECT_EQ(log->GetWatchGroupCount(), 1) << "replaced by two, then the first deleted";
    EXPECT_TRUE(m_manager->StopScanThread());

    // Without a scan under way the edit applies at once.
    m_manager->DeleteWatchGroup(log->GetID(), 0);
    EXPECT_EQ(log->GetWatchGroupCount(), 0);
}

// A digest period that ends while scanning is stopped gives its one summary
// at the first pass after Start, though the log stays quiet.
TEST_F(ScanThread, DigestPeriodThatEndsWhileStoppedSumsUpOnceAfterStart)
{
    const std::int64_t start = m_clock.NowSeconds();
    auto runs = std::make_shared<CRunLog>();
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    CKeysAndActions* group = AddRecordingGroup(*log, "Disk", runs, {});
    group->m_bDigest = TRUE;
    group->m_nDigestRuns = 1;
    // A year: the manual clock, which the scan thread's sleeps advance,
    // cannot end it while the test is not looking.
    group->m_nDigestMinutes = 525'600;
    for (const char* line : {"a", "b", "c"}) {
        group->m_task.SetTranslationString("%EVENT_TEXT%", line);
        group->RunTaskWithDigest();
    }
    EXPECT_EQ(runs->TakeTexts(), (std::vector<std::string>{"a"}));

    const auto passes = [&](int n) {
        const int until = log->m_nScans + n;
        while (log->m_nScans < until)
            std::this_thread::yield();
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    passes(2);
    ASSERT_TRUE(m_manager->StopScanThread());
    EXPECT_TRUE(runs->Get().empty()) << "the period has not ended";
    m_clock.SetSeconds(start + 525'600 * 60);
    ASSERT_TRUE(m_manager->StartScanThread());
    ASSERT_TRUE(runs->WaitFor(1));
    passes(2);
    ASSERT_TRUE(m_manager->StopScanThread());
    const std::vector<CTaskRun> summary = runs->Get();
    ASSERT_EQ(summary.size(), 1u) << "one summary per period";
    EXPECT_EQ(summary[0].Var("%DIGEST_COUNT%"), "2");
    EXPECT_EQ(summary[0].Var("%EVENT_TEXT%"), "c");
}
