#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings/appsettings.h"
#include "core/model/frontend.h"
#include "core/model/monmanager.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "testlog.h"

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
    // The next message that is not a scan marker of a test log.
    CQueuedMessage NextFrameMessage()
    {
        for (;;) {
            CQueuedMessage msg = Next();
            if (msg.message != WM_TEST_SCANNED)
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
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_RUNNING, 0}));
    EXPECT_TRUE(m_manager->StopScanThread());
    EXPECT_FALSE(m_manager->IsScanThreadRunning());
    EXPECT_EQ(NextFrameMessage(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_STOPPING, 0}));
    EXPECT_EQ(NextFrameMessage(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_STOPPED, 0}));
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
        if (msg.wParam == SCAN_STATE_RUNNING)
            break;
        ASSERT_EQ(msg.wParam, SCAN_STATE_COUNTDOWN);
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
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_COUNTDOWN, 5}));
    EXPECT_TRUE(m_manager->StopScanThread());
    std::vector<CQueuedMessage> rest;
    while (auto msg = m_queue.Peek())
        rest.push_back(*msg);
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_STOPPED, 0}));
    for (const auto& msg : rest)
        EXPECT_NE(msg.wParam, SCAN_STATE_STOPPING);
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
    EXPECT_EQ(Next(), (CQueuedMessage{WM_SCAN_STATE, SCAN_STATE_RUNNING, 0}));
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

TEST_F(ScanThread, ThreadThatDoesNotStopInTimeIsReportedAndAbandoned)
{
    CTestLog* log = AddLog(*m_manager);
    log->SetInterval(0);
    std::mutex mutex;
    std::condition_variable cv;
    bool bInScan = false;
    bool bRelease = false;
    log->m_onScan = [&](CTestLog&) {
        std::unique_lock lock(mutex);
        bInScan = true;
        cv.notify_all();
        cv.wait(lock, [&] { return bRelease; });
    };
    ASSERT_TRUE(m_manager->StartScanThread());
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return bInScan; }));
    }
    m_manager->m_dwStopTimeoutMs = 50;
    EXPECT_FALSE(m_manager->StopScanThread());
    EXPECT_NE(SystemLog().find("Error waiting for scan to halt: Thread did not exit - timeout"),
              std::string::npos);
    EXPECT_TRUE(m_manager->IsScanThreadRunning());
    EXPECT_FALSE(g_hStopScanEvent.IsSet());
    {
        std::lock_guard lock(mutex);
        bRelease = true;
    }
    cv.notify_all();
    m_manager.reset(); // joins the abandoned thread once its scan returns
    // The abandoned thread posts nothing after its stop was given up.
    while (auto msg = m_queue.Peek())
        EXPECT_FALSE(msg->message == WM_SCAN_STATE && msg->wParam != SCAN_STATE_RUNNING);
}
