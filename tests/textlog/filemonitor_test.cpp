
#include <sys/socket.h>
#include <sys/un.h>

#include "common/brancmn.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "tasks/trigger.h"
#include "tests/support/systemlog.h"
#include "tests/support/threadlogon.h"
#include "tests/textlog/textlogtest.h"
#include "textlog/mappedregion.h"
#include "textlog/newlines.h"

namespace {

// What a scan leaves: the state, position and size, and the lines that ran the task.
struct CScanned {
    int nState;
    DWORD dwPosition;
    DWORD dwLastSize;
    Texts texts;
    friend bool operator==(const CScanned&, const CScanned&) = default;
    friend void PrintTo(const CScanned& s, std::ostream* os)
    {
        *os << GetStateText(s.nState) << " at " << s.dwPosition << "/" << s.dwLastSize << " "
            << ::testing::PrintToString(s.texts);
    }
};

class FileMonitor : public TextLogTest {
protected:
    void SetUp() override
    {
        TextLogTest::SetUp();
        AddGroup("Errors", {TextKey("error")});
    }
    CScanned Scan()
    {
        m_log.Scan();
        return {m_log.GetState(), m_log.m_dwPosition, m_log.m_dwLastSize, m_runs->TakeTexts()};
    }
};

TEST_F(FileMonitor, SizeDecidesWhatIsRead)
{
    const std::string first = std::string(91, 'a') + " error 1\n"; // 100 bytes
    Write(first);
    m_log.m_dwLastSize = m_log.m_dwPosition = 100;

    Append("error 2\n" + std::string(35, 'b') + " error\n"); // 150 bytes
    EXPECT_EQ(Scan(),
              (CScanned{MON_STATE_GREW, 150, 150, {"error 2", std::string(35, 'b') + " error"}}));
    // Cut and rewritten: read again from the start.
    Write("ERROR 3\nfine\n");
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_SHRANK, 13, 13, {"ERROR 3"}}));
    // Other content of the same size is not read.
    Write("error 4\nfine\n");
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_UNCHANGED, 13, 13, {}}));
}

TEST_F(FileMonitor, LineEnds)
{
    // A last line without a line feed is tested once; what completes it
    // later arrives as a line of its own.
    Write("one error\r\ntwo error\r\n\r\nhalf an error");
    EXPECT_EQ(Scan(),
              (CScanned{MON_STATE_GREW, 37, 37, {"one error", "two error", "half an error"}}));
    Append(" and error\rinside\r\n");
    EXPECT_EQ(Scan().texts, (Texts{" and error\rinside"}));
}

TEST_F(FileMonitor, PendingJumpOnlyMovesToTheEnd)
{
    // The file cannot be reached: the jump waits for the next scan.
    m_log.JumpToEnd();
    EXPECT_TRUE(m_log.m_bJumpPending);
    Write("error 1\nerror 2\n");
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_GREW, 16, 16, {}}));
    EXPECT_FALSE(m_log.m_bJumpPending);
    Append("error 3\n");
    EXPECT_EQ(Scan().texts, (Texts{"error 3"}));
    Append("error 4\n");
    m_log.JumpToEnd();
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_UNCHANGED, 32, 32, {}}));
}

TEST_F(FileMonitor, DailyFileSwitchesAtMidnight)
{
    CManualClock clock(CTime(2001, 7, 27, 23, 59, 0).GetTime());
    SetClock(&clock);
    CFileMonitor log;
    log.m_strShortDescription = "Daily";
    log.m_strDirectory = m_strDir + "/";
    log.m_bFormattedName = TRUE;
    log.m_strTemplate = "ex%y%m%d.log";
    AddRecordingGroup(log, "Errors", m_runs, {TextKey("error")});
    auto write = [&](const char* name, const std::string& bytes) {
        ASSERT_TRUE(AppendToFile(m_strDir + "/" + name, bytes));
    };

    write("ex010727.log", "error a\n");
    log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"error a"}));
    write("ex010727.log", "error b\n");
    write("ex010728.log", "error c\n");
    clock.SetSeconds(CTime(2001, 7, 28, 0, 0, 30).GetTime());

    // The first scan after midnight finishes the previous day's file.
    log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"error b"}));
    EXPECT_TRUE(log.m_bFinishingYesterday);
    EXPECT_NE(SystemLogText().find("Daily Finishing off yesterday's log firstex010727.log\n"),
              std::string::npos);
    EXPECT_EQ(log.GetFilePath(), m_strDir + "/ex010728.log");

    // The next takes the new day's file, smaller than the old one: from its start.
    clock.AdvanceMs(61000);
    log.Scan();
    EXPECT_FALSE(log.m_bFinishingYesterday);
    EXPECT_EQ(log.GetState(), MON_STATE_SHRANK);
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"error c"}));
    EXPECT_NE(SystemLogText().find("Daily First scan of today's logex010728.log\n"),
              std::string::npos);

    // A month later on the same day of the month: no switch.
    clock.SetSeconds(CTime(2001, 8, 28, 12, 0, 0).GetTime());
    DWORD dwSize = 0;
    std::string strPath;
    EXPECT_FALSE(log.CheckFileSize(dwSize, strPath));
    EXPECT_EQ(strPath, m_strDir + "/ex010828.log");
    EXPECT_FALSE(log.m_bFinishingYesterday);
}

TEST_F(FileMonitor, FilesThatCannotBeRead)
{
    // Missing: every scan, without touching the position.
    m_log.m_dwPosition = 7;
    m_log.m_dwLastSize = 9;
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Scan(), (CScanned{MON_STATE_ERROR, 7, 9, {}}));
    EXPECT_NE(SystemLogText().find("Unable to open stats: " + FilePath() + "\n"),
              std::string::npos);

    // A socket has a status but cannot be opened, even by root.
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(FilePath().size(), sizeof addr.sun_path);
    FilePath().copy(addr.sun_path, sizeof addr.sun_path - 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_ERROR, 7, 0, {}})); // the new size is kept
    EXPECT_NE(SystemLogText().find("Unable to open log: " + FilePath() + "\n"), std::string::npos);
    ::close(fd);
    ::unlink(FilePath().c_str());

    // A folder has a size but is no text log.
    ASSERT_EQ(::mkdir(FilePath().c_str(), 0755), 0);
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_ERROR, 7, 0, {}}));
    EXPECT_TRUE(SystemLogText().ends_with("Unable to open stats: " + FilePath() + "\n"));
    ::rmdir(FilePath().c_str());

    // A read that fails keeps the lines before it and says so.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::write(pipeFds[1], "a\nb\n", 4), 4);
    CNewLines lines;
    EXPECT_TRUE(lines.Read(pipeFds[0], 0, 100, nullptr));
    EXPECT_EQ(std::tuple(lines.GetReadError(), lines.GetBytesRead()), std::tuple(ESPIPE, 0u));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    // A file cut while mapped reads as zeros past its new end, and says so.
    const std::string page(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), 'p');
    Write(page + page + page);
    const int nFile = ::open(FilePath().c_str(), O_RDONLY);
    CMappedRegion region;
    ASSERT_TRUE(region.Map(nFile, 10, 3 * page.size() - 10));
    ASSERT_EQ(::truncate(FilePath().c_str(), static_cast<off_t>(page.size())), 0);
    const std::string_view view = region.View();
    EXPECT_EQ(std::count(view.begin(), view.end(), 'p'), static_cast<long>(page.size() - 10));
    EXPECT_TRUE(region.WasCut());
    ASSERT_TRUE(region.Map(nFile, 0, page.size()));
    EXPECT_EQ(region.View(), page);
    EXPECT_FALSE(region.WasCut());
    region.Unmap();
    ::close(nFile);
    ::unlink(FilePath().c_str());

    if (::geteuid() != 0) {
        Write("error\n");
        ASSERT_EQ(::chmod(FilePath().c_str(), 0), 0);
        EXPECT_EQ(Scan().dwLastSize, 6u);
        EXPECT_EQ(m_log.GetState(), MON_STATE_ERROR);
    }
}

TEST_F(FileMonitor, AuditLines)
{
    g_bExtendedAudit = 1;
    const std::string strAudit = m_strDir + "/audit.txt";
    ASSERT_TRUE(AppSettings::SetAuditText(strAudit.c_str()));
    m_log.JumpToEnd();
    Write("an error\nfine\n");
    m_log.JumpToEnd();
    Append("error again\nfine\n");
    m_log.Scan();
    Write("");
    m_log.Scan();
    const std::string name = "Sample Log" + std::string(20, ' ') + " ";
    const LONG nSeq = g_nTaskSequence.load();
    EXPECT_EQ(Unstamped(ReadFileBytes(strAudit).value_or("")),
              (Texts{name + "Unavailable - new lines may be missed!", name + "Preset to byte 14",
                     name + "Reading bytes 14 to 31 (2 lines)",
                     name + "'error again' TASK SEQ - " + std::to_string(nSeq),
                     name + "'fine' NO TRIGGERS", name + "Reading bytes 0 to 0 (0 lines)"}));
}

TEST_F(FileMonitor, StopRequests)
{
    Write("error 1\nerror 2\n");
    // While reading: nothing tested, position kept.
    g_hStopScanEvent.Set();
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_GREW, 0, 16, {}}));
    g_hStopScanEvent.Reset();

    // While testing: the rest of the lines are skipped, the position stays
    // at the end.
    AddGroup("Second", {TextKey("error")});
    m_runs->SetOnRun([] { g_hStopScanEvent.Set(); });
    Append("error 3\n");
    EXPECT_EQ(Scan(), (CScanned{MON_STATE_GREW, 24, 24, {"error 1"}}));
}

// Under an account, every way out of a scan, a jump, a mark and a clear
// leaves the thread as the program's own account with no token open; tasks
// run as the program.
TEST_F(FileMonitor, AccountIsHeldOnlyWhileTheFileIsUsed)
{
    CThreadIdentityLogon logon;
    SetLogonService(&logon);
    m_log.SetImpersonate(TRUE);
    m_log.SetLogonUser("reader");
    std::string taskIdentity = "?";
    m_runs->SetOnRun([&] { taskIdentity = CThreadIdentityLogon::Identity(); });
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"file missing", [&] { Scan(); }},
        {"grown", [&] { Write("error 1\n"), Scan(); }},
        {"unchanged", [&] { Scan(); }},
        {"jump pending", [&] { Append("error 2\n"), m_log.m_bJumpPending = TRUE, Scan(); }},
        {"stopped",
         [&] {
             Append("error 3\n");
             g_hStopScanEvent.Set();
             Scan();
             g_hStopScanEvent.Reset();
         }},
        {"jump", [&] { m_log.JumpToEnd(); }},
        {"mark", [&] { m_log.MarkLog("error 4"); }},
        {"clear", [&] { m_log.ClearLog(); }},
    };
    for (const auto& [what, step] : steps) {
        step();
        EXPECT_EQ(CThreadIdentityLogon::Identity(), "") << what;
        EXPECT_EQ(logon.OpenTokens(), 0) << what;
    }
    EXPECT_EQ(taskIdentity, "") << "the task ran as the log's account";
    SetLogonService(nullptr);
}

// Copies and the clipboard formats are followed by the tree's paste tests;
// the picture follows the state.
TEST_F(FileMonitor, ImageFollowsTheState)
{
    // Enabled, the state, the picture.
    for (const auto& [bEnabled, nState, nImage] :
         {std::tuple(FALSE, MON_STATE_GREW, 4), std::tuple(TRUE, MON_STATE_NONE, 5),
          std::tuple(TRUE, MON_STATE_ERROR, 5), std::tuple(TRUE, MON_STATE_GREW, 0),
          std::tuple(TRUE, MON_STATE_UNCHANGED, 0)}) {
        m_log.SetEnabled(bEnabled);
        m_log.SetState(nState);
        EXPECT_EQ(m_log.GetImageIndex(), nImage) << bEnabled << " " << nState;
    }
}

TEST_F(FileMonitor, MarkAndClear)
{
    EXPECT_TRUE(m_log.MarkLog("Fast Mark ------- error"));
    EXPECT_EQ(ReadFileBytes(FilePath()).value_or(""), "Fast Mark ------- error\n");
    EXPECT_EQ(Scan().texts, (Texts{"Fast Mark ------- error"}));
    EXPECT_TRUE(m_log.ClearLog());
    EXPECT_EQ((CScanned{m_log.GetState(), m_log.m_dwPosition, m_log.m_dwLastSize, {}}),
              (CScanned{MON_STATE_NONE, 0, 0, {}}));
    EXPECT_FALSE(FileExists(FilePath().c_str()));
    EXPECT_FALSE(m_log.ClearLog());
}

TEST_F(FileMonitor, UncPath)
{
    std::optional<std::string> folder = GetComputerFolder(nullptr, 0);
    ASSERT_TRUE(folder);
    ASSERT_TRUE(EnsureDirectory(*folder + "/C$/Logs"));
    ASSERT_TRUE(AppendToFile(*folder + "/C$/Logs/app.log", "unc error\n"));
    m_log.m_strDirectory = "\\\\testhost\\C$\\logs\\";
    m_log.Scan();
    EXPECT_EQ(m_log.GetState(), MON_STATE_GREW);
    const std::vector<CTaskRun> runs = m_runs->Get();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(std::pair(runs[0].Var("%EVENT_LONGNAME%"), runs[0].Var("%EVENT_SHORTNAME%")),
              std::pair(std::string("\\\\testhost\\C$\\logs\\app.log"), std::string("Sample Log")));
}

} // namespace
