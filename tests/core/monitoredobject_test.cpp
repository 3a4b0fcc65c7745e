#include "core/itemid.h"
#include "core/keysandactions.h"
#include "core/logon.h"
#include "core/monitoredobject.h"
#include "platform/base/clock.h"
#include "testing.h"
#include "testlog.h"
#include "tests/support/threadlogon.h"

namespace {

class MonitoredObject : public ::testing::Test {
protected:
    void SetUp() override { SetClock(&m_clock); }
    void TearDown() override { SetClock(nullptr); }
    CManualClock m_clock{1'700'000'000};
};

} // namespace

// A scan is due only after the whole interval has passed; a change of state
// is reported once, with its time; a disabled log keeps its times and state.
TEST_F(MonitoredObject, IsDueAfterTheWholeIntervalAndReportsAChangeOnce)
{
    CTestLog log;
    ASSERT_EQ(log.GetInterval(), 60);
    // At a time: whether ScanIfDue reports a change, the scans, and the times
    // of the last scan and the last change.
    auto scanAt = [&](std::int64_t at) {
        m_clock.SetSeconds(at);
        const BOOL bChanged = log.ScanIfDue();
        return std::tuple(bChanged, log.m_nScans.load(), log.m_timeLastScanned.GetTime(),
                          log.m_timeLastChanged.GetTime());
    };
    const std::int64_t t0 = 1'700'000'000;
    EXPECT_EQ(scanAt(t0 + 60), std::tuple(FALSE, 0, t0, t0));
    EXPECT_EQ(scanAt(t0 + 61), std::tuple(FALSE, 1, t0 + 61, t0)) << "state unchanged";
    log.m_onScan = [](CTestLog& l) { l.SetState(MON_STATE_GREW); };
    EXPECT_EQ(scanAt(t0 + 122), std::tuple(TRUE, 2, t0 + 122, t0 + 122));
    EXPECT_EQ(scanAt(t0 + 183), std::tuple(FALSE, 3, t0 + 183, t0 + 122)) << "still Larger";
    EXPECT_EQ(GetStateText(MON_STATE_SHRANK), "Smaller");
    log.SetEnabled(FALSE);
    log.SetState(MON_STATE_ERROR);
    EXPECT_EQ(scanAt(t0 + 100'000), std::tuple(FALSE, 3, t0 + 183, t0 + 122));
    EXPECT_EQ(log.GetState(), MON_STATE_ERROR);
}

TEST_F(MonitoredObject, ImpersonationBelongsToTheThreadThatLoggedOn)
{
    CThreadIdentityLogon logon;
    SetLogonService(&logon);
    CMonitoredObject log;
    log.SetImpersonate(TRUE);
    log.SetLogonUser("scanner");

    // The scan thread logs on and works; meanwhile the user interface
    // thread marks the same log, logging on and reverting on its own.
    std::mutex mutex;
    std::condition_variable cv;
    int step = 0;
    std::string scanIdentityAfterMark;
    std::string scanIdentityAtEnd = "?";
    std::thread scan([&] {
        ASSERT_TRUE(log.LogonAsUser());
        {
            std::unique_lock lock(mutex);
            step = 1;
            cv.notify_all();
            cv.wait(lock, [&] { return step == 2; });
        }
        scanIdentityAfterMark = CThreadIdentityLogon::Identity();
        log.RevertLogon();
        scanIdentityAtEnd = CThreadIdentityLogon::Identity();
    });
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return step == 1; });
    }
    ASSERT_TRUE(log.LogonAsUser());
    EXPECT_EQ(CThreadIdentityLogon::Identity(), "scanner");
    log.RevertLogon();
    EXPECT_EQ(CThreadIdentityLogon::Identity(), "");
    {
        std::lock_guard lock(mutex);
        step = 2;
    }
    cv.notify_all();
    scan.join();
    EXPECT_EQ(scanIdentityAfterMark, "scanner") << "the mark's revert reached the scan thread";
    EXPECT_EQ(scanIdentityAtEnd, "") << "the scan thread kept acting as the account";
    EXPECT_EQ(logon.OpenTokens(), 0) << "a token leaked";
    SetLogonService(nullptr);
}
