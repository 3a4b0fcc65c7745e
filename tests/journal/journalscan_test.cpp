#include "core/monmanager.h"
#include "journal/journalfields.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasks/trigger.h"
#include "testing.h"
#include "tests/journal/journalfiles.h"
#include "tests/tasks/recordaction.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using Texts = std::vector<std::string>;

class JournalScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterJournalClasses();
        ASSERT_FALSE(JournalRemotePath().empty()) << "systemd-journal-remote is not installed";
        m_strDir = TestDir() + "/journal";
        ASSERT_TRUE(EnsureDirectory(m_strDir));
        m_log.m_strDirectory = m_strDir;
    }
    void TearDown() override
    {
        g_hStopScanEvent.Reset();
        g_bExtendedAudit = 0;
    }

    // Appends entries with these messages, each with the given fields and
    // one second after the one before.
    void Write(const std::string& strFile, const Texts& messages, const Fields& fields = {})
    {
        std::vector<CJournalTestEntry> entries;
        for (const std::string& message : messages) {
            CJournalTestEntry entry{++m_nSeconds, fields};
            entry.fields.emplace_back("MESSAGE", message);
            entries.push_back(std::move(entry));
        }
        ASSERT_TRUE(WriteJournal(m_strDir + "/" + strFile, entries));
    }
    void WriteEntry(const Fields& fields)
    {
        ASSERT_TRUE(WriteJournal(m_strDir + "/a.journal", {{++m_nSeconds, fields}}));
    }

    // A group that fires on every entry.
    void AddAnyGroup(CMonitoredObject& log)
    {
        AddRecordingGroup(log, "Any", m_runs, {new CSearchKeyEvent});
    }

    std::string m_strDir;
    std::int64_t m_nSeconds = 1700000000;
    CJournalMonitor m_log;
    std::shared_ptr<CRunLog> m_runs = std::make_shared<CRunLog>();
};

TEST_F(JournalScan, EventKeysAndVariablesFollowTheFieldMapping)
{
    const Fields ssh = {{"SYSLOG_IDENTIFIER", "sshd"},
                        {"PRIORITY", "3"},
                        {"SYSLOG_FACILITY", "4"},
                        {"_HOSTNAME", "web01"},
                        {"_UID", "0"},
                        {"_SYSTEMD_UNIT", "ssh.service"},
                        {"EVENT_ID", "4625"},
                        {"CLIENT", "10.0.0.1"},
                        {"MESSAGE", "Failed password for root"}};
    WriteEntry(ssh);
    WriteEntry({{"_COMM", "cron"}, {"PRIORITY", "6"}, {"MESSAGE", "session opened"}});
    WriteEntry({{"SYSLOG_IDENTIFIER", "kernel"}, {"PRIORITY", "4"}, {"MESSAGE", "disk full"}});
    WriteEntry({{"SYSLOG_IDENTIFIER", "sshd"}, {"PRIORITY", "2"}, {"MESSAGE", "fatal"}});
    WriteEntry({{"SYSLOG_IDENTIFIER", "cron"}, {"MESSAGE", "nothing"}});

    auto* pSshErrors = new CSearchKeyEvent;
    pSshErrors->SetSourceValue("sshd");
    pSshErrors->SetTypeValue(EVENTLOG_ERROR_TYPE);
    auto* pWarnings = new CSearchKeyEvent;
    pWarnings->SetTypeValue(EVENTLOG_WARNING_TYPE);
    auto* pEverything = new CSearchKeyEvent;
    pEverything->SetComputerValue("web01");
    pEverything->SetUserValue("root");
    pEverything->SetEventIDValue(4625);
    pEverything->SetCategoryValue(4);
    pEverything->SetText("FAILED PASSWORD");
    AddRecordingGroup(m_log, "ssh errors", m_runs, {pSshErrors});
    AddRecordingGroup(m_log, "session", m_runs, {TextKey("session")});
    AddRecordingGroup(m_log, "warnings", m_runs, {pWarnings});
    AddRecordingGroup(m_log, "every field", m_runs, {pEverything});

    g_bExtendedAudit = 1;
    m_log.m_bReadExisting = TRUE;
    m_log.Scan();
    EXPECT_EQ(m_log.GetState(), MON_STATE_GREW);
    const std::vector<CTaskRun> runs = m_runs->Get();
    Texts order;
    for (const CTaskRun& run : runs)
        order.push_back(run.strTask + ": " + run.Var("%EVENT_TEXT%"));
    ASSERT_EQ(order, (Texts{"ssh errors: Failed password for root",
                            "every field: Failed password for root", "session: session opened",
                            "warnings: disk full", "ssh errors: fatal"}));
    // What the metrics file shows: entries read, group matches, tasks run.
    const CScanCounters& counters = m_log.m_counters;
    EXPECT_EQ((std::tuple{counters.m_nEntriesRead.load(), counters.m_nMatches.load(),
                          counters.m_nTasksRun.load()}),
              (std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>{5, 5, 5}));
    // The audit gives every entry its time, whether it triggers or not.
    const std::string audit = ReadFileBytes(AppSettings::GetAuditNT()).value_or("");
    for (const auto& [nSeconds, strLine] :
         {std::pair(1700000001, ", sshd, Failed password for root :  TASK SEQ"),
          std::pair(1700000005, ", cron, nothing :  NO TRIGGERS")})
        EXPECT_NE(audit.find(CTime(nSeconds).Format("%m/%d/%y  %H:%M:%S") + strLine),
                  std::string::npos)
            << audit;

    const std::map<std::string, std::string> expected = {
        {"%EVENT_TIME%", FormatEventTime(CTime(1700000001))},
        {"%EVENT_SOURCE%", "sshd"},
        {"%EVENT_USER%", "root"},
        {"%EVENT_COMPUTER%", "web01"},
        {"%EVENT_CATEGORYID%", "4"},
        {"%EVENT_ID%", "4625"},
        {"%EVENT_TYPE%", "Error"},
        {"%EVENT_TEXT%", "Failed password for root"},
        {"%EVENT_CATEGORYTEXT%", "auth"},
        {"%EVENT_SHORTNAME%", "Journal " + m_strDir},
        {"%EVENT_SEQUENCE%", "1"},
        {"%JOURNAL_UNIT%", "ssh.service"},
        {"%JOURNAL_FIELD:CLIENT%", "10.0.0.1"},
        {"%JOURNAL_FIELD:_HOSTNAME%", "web01"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(runs[0].Var(name), value) << name;
    // The second entry: source from _COMM, no account, no facility.
    EXPECT_EQ(std::tuple(runs[2].Var("%EVENT_SOURCE%"), runs[2].Var("%EVENT_USER%"),
                         runs[2].Var("%EVENT_TYPE%"), runs[2].Var("%EVENT_CATEGORYTEXT%")),
              std::tuple("cron", "N/A", "Information", ""));
    // A later trigger of the same group keeps no field of the earlier entry.
    EXPECT_EQ(std::pair(runs[4].vars.count("%JOURNAL_FIELD:CLIENT%"),
                        runs[4].Var("%JOURNAL_FIELD:MESSAGE%")),
              std::pair(std::size_t{0}, std::string("fatal")));

    // The journal's variables are filled by triggers, never stored.
    const std::string bytes = StoreObjectToBytes(m_log.GetWatchGroup(0));
    EXPECT_EQ(bytes.find("JOURNAL_"), std::string::npos);
}

TEST_F(JournalScan, PositionSurvivesRestartRotationAndVacuum)
{
    AddAnyGroup(m_log);
    Write("a.journal", {"old 1", "old 2"});
    // A new log starts at the end: what is there was not asked for.
    m_log.JumpToEnd();
    m_log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), Texts{});
    EXPECT_EQ(m_log.GetState(), MON_STATE_UNCHANGED);

    Write("a.journal", {"one", "two"});
    m_log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"one", "two"}));
    m_log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), Texts{});

    // The workspace is saved and loaded again (a restart); meanwhile the
    // journal rotated into a new file. (The recording task is not stored.)
    m_log.RemoveAllWatchGroups();
    std::unique_ptr<CObject> pLoaded =
        LoadObjectFromBytes(StoreObjectToBytes(&m_log), RUNTIME_CLASS(CJournalMonitor));
    auto& log = static_cast<CJournalMonitor&>(*pLoaded);
    EXPECT_EQ(log.m_strCursor, m_log.m_strCursor);
    AddAnyGroup(log);
    Write("b.journal", {"three"});
    log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), Texts{"three"});

    // The file holding the entry of the cursor is vacuumed: the first entry
    // after it is still read.
    Write("c.journal", {"four", "five"});
    ASSERT_EQ(::unlink((m_strDir + "/b.journal").c_str()), 0);
    log.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"four", "five"}));

    // A log asked to read what is there starts at the head.
    CJournalMonitor all;
    all.m_strDirectory = m_strDir;
    all.m_bReadExisting = TRUE;
    AddAnyGroup(all);
    all.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), (Texts{"old 1", "old 2", "one", "two", "four", "five"}));
}

TEST_F(JournalScan, MatchesRestrictTheEntries)
{
    // Identifier, unit, priority, host and message of each entry.
    const char* const entries[][5] = {{"sshd", "ssh.service", "3", "web01", "ssh error"},
                                      {"sshd", "ssh.service", "4", "web01", "ssh warning"},
                                      {"sudo", "", "5", "web01", "sudo notice"},
                                      {"kernel", "", "0", "db01", "kernel panic"}};
    for (const auto& e : entries) {
        Fields fields = {{"SYSLOG_IDENTIFIER", e[0]},
                         {"PRIORITY", e[2]},
                         {"_HOSTNAME", e[3]},
                         {"MESSAGE", e[4]}};
        if (*e[1])
            fields.emplace_back("_SYSTEMD_UNIT", e[1]);
        WriteEntry(fields);
    }

    // A match that is not one is an error of the log, as is a folder that
    // is not there.
    // The matches, the entries caught, whether the log is in error, and the
    // folder below the journal's.
    const std::tuple<Texts, Texts, bool, const char*> cases[] = {
        {{"_SYSTEMD_UNIT=ssh.service"}, {"ssh error", "ssh warning"}, false, ""},
        {{"PRIORITY=0..3"}, {"ssh error", "kernel panic"}, false, ""},
        {{"SYSLOG_IDENTIFIER=sshd", "PRIORITY=4"}, {"ssh warning"}, false, ""},
        {{"SYSLOG_IDENTIFIER=sudo", "+", "_HOSTNAME=db01"},
         {"sudo notice", "kernel panic"},
         false,
         ""},
        {{"SYSLOG_IDENTIFIER=nobody"}, {}, false, ""},
        {{}, {"ssh error", "ssh warning", "sudo notice", "kernel panic"}, false, ""},
        {{"ssh"}, {}, true, ""},
        {{"PRIORITY=3..1"}, {}, true, ""},
        {{"PRIORITY=3"}, {}, true, "/missing"},
    };
    for (const auto& [matches, expected, bError, folder] : cases) {
        CJournalMonitor log;
        log.m_strDirectory = m_strDir + folder;
        log.m_arrMatches = matches;
        log.m_bReadExisting = TRUE;
        AddAnyGroup(log);
        log.Scan();
        EXPECT_EQ(std::pair(m_runs->TakeTexts(), log.GetState() == MON_STATE_ERROR),
                  std::pair(expected, bError))
            << ::testing::PrintToString(matches);
    }

    // A journal that is still empty when the log starts at its end: what
    // comes later is new.
    const std::string strEmpty = TestRoot() + "/empty-journal";
    ASSERT_TRUE(EnsureDirectory(strEmpty));
    CJournalMonitor later;
    later.m_strDirectory = strEmpty;
    AddAnyGroup(later);
    later.JumpToEnd();
    later.Scan();
    ASSERT_TRUE(WriteJournal(strEmpty + "/x.journal", {{1700000100, {{"MESSAGE", "first"}}}}));
    later.Scan();
    EXPECT_EQ(m_runs->TakeTexts(), Texts{"first"});
}

// The ranges a match expands to are followed by the scan's tests.
TEST(JournalFields, BadMatchesAndCursors)
{
    std::vector<CJournalMatch> result;
    std::string strError;
    for (const char* bad : {"=x", "lower=1", "1ABC=2", "A=5..1", "A=1..99999", "A=x..2", "ABC"})
        EXPECT_FALSE(ParseJournalMatches({bad}, result, strError)) << bad;
    EXPECT_EQ(JournalCursorSeqnum("s=ab;i=1f;b=cd;m=1;t=2;x=3"), 0x1Fu);
    EXPECT_EQ(JournalCursorSeqnum("garbage"), 0u);
}

} // namespace
