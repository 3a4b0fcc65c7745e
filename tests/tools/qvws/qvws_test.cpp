// The qvws program run as a process, as scripts run it.
#include <gmock/gmock.h>

#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/eventlog/evtformat.h"
#include "program.h"
#include "testing.h"
#include "tests/journal/journalfiles.h"

using testing::HasSubstr;
using testing::Not;

namespace fs = std::filesystem;

namespace {

const char* const g_workspace = R"({"logs": [
  {"kind": "text", "description": "App", "directory": "/var/log/", "fileName": "app.log",
   "lastScanned": 1000, "lastChanged": 1000, "user": "svc", "password": "pw",
   "groups": [{"description": "Errors", "keys": [{"kind": "text", "key1": "ERROR"}, {"kind": "text", "key1": "FATAL"}],
               "task": {"actions": [{"kind": "message", "text": "%EVENT_TEXT%"}]}}]},
  {"kind": "event", "computer": "SRV1", "log": "System", "lastRecord": 42,
   "lastScanned": 2000, "lastChanged": 2000,
   "groups": [{"keys": [{"kind": "event", "eventId": {"op": "between", "values": [6005, 6009]}}]},
              {"description": "empty"}]}]}
)";

struct CRun {
    int m_nStatus = -1;
    std::string m_strOut;
    std::string m_strErr;
};

class QvWsProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strDir = TestDir();
        fs::create_directories(m_strDir + "/io");
        fs::create_directories(m_strDir + "/work");
    }

    std::string Path(const std::string& name) const { return m_strDir + "/work/" + name; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        ASSERT_TRUE(AtomicWriteFile(Path(name), bytes));
    }

    std::string Read(const std::string& name) const
    {
        return ReadFileBytes(Path(name)).value_or("(missing)");
    }

    // The files of the work folder with their contents.
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(m_strDir + "/work"))
            files[entry.path().filename().string()] = *ReadFileBytes(entry.path());
        return files;
    }

    // Runs qvws with the arguments (names in the work folder are given as
    // paths by the caller) and the text on standard input.
    CRun Run(std::vector<std::string> args, const std::string& input = "") const
    {
        const std::string in = m_strDir + "/io/in";
        EXPECT_TRUE(AtomicWriteFile(in, input));
        args.insert(args.begin(), QVWS_PATH);
        CRun run;
        run.m_nStatus = RunProgram(args, {}, &run.m_strOut, &run.m_strErr, in);
        return run;
    }

    // A bad-input answer: status 2, nothing on standard output, one line
    // on standard error.
    static void ExpectBadInput(const CRun& run, const std::string& errStart)
    {
        EXPECT_EQ(run.m_nStatus, 2);
        EXPECT_EQ(run.m_strOut, "");
        EXPECT_EQ(std::count(run.m_strErr.begin(), run.m_strErr.end(), '\n'), 1) << run.m_strErr;
        EXPECT_EQ(run.m_strErr.substr(0, errStart.size()), errStart) << run.m_strErr;
    }

    std::string m_strDir;
};

TEST_F(QvWsProcess, LoadCheckAndDumpRoundTrip)
{
    Write("ws.json", g_workspace);
    CRun run = Run({"load", Path("ws.json"), Path("ws.qvw")});
    ASSERT_EQ(run.m_nStatus, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut + run.m_strErr, "");

    run = Run({"check", Path("ws.qvw")});
    EXPECT_EQ(run.m_nStatus, 0);
    EXPECT_EQ(run.m_strOut, "OK: 2 logs, 3 watch groups, 3 keys\n");

    const CRun dump = Run({"dump", Path("ws.qvw")});
    ASSERT_EQ(dump.m_nStatus, 0) << dump.m_strErr;
    EXPECT_THAT(dump.m_strOut, HasSubstr(R"("passwordScrambled": "3818")"));

    run = Run({"load", "-", Path("again.qvw")}, dump.m_strOut);
    ASSERT_EQ(run.m_nStatus, 0) << run.m_strErr;
    EXPECT_EQ(Read("again.qvw"), Read("ws.qvw"));
    EXPECT_EQ(Run({"dump", Path("again.qvw")}).m_strOut, dump.m_strOut);

    run = Run({"--help"});
    EXPECT_EQ(run.m_nStatus, 0);
    EXPECT_THAT(run.m_strOut, HasSubstr("Usage: qvws"));
}

TEST_F(QvWsProcess, BadInputIsOneLineAndChangesNothing)
{
    Write("ws.json", g_workspace);
    ASSERT_EQ(Run({"load", Path("ws.json"), Path("ws.qvw")}).m_nStatus, 0);
    Write("syntax.json", "{\"logs\": [\n  {\"kind\": \"text\",}\n]}");
    const auto before = Snapshot();

    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string errStart;
    };
    const Case cases[] = {
        {{"load", Path("syntax.json"), Path("ws.qvw")},
         "",
         "qvws: " + Path("syntax.json") +
             ":2:19: expected a member name in quotes, found character '}'"},
        {{"load", "-", Path("new.qvw")},
         "[1, 2",
         "qvws: standard input:1:6: expected ',' or ']' in an array"},
        {{"load", Path("missing.json"), Path("ws.qvw")},
         "",
         "qvws: cannot read " + Path("missing.json") + ": "},
        {{"check", Path("ws.json")}, "", "qvws: " + Path("ws.json") + " is damaged at byte "},
        {{"dump", Path("")},
         "",
         "qvws: cannot read " + Path("") + ": it is a folder, not a file\n"},
        {{"load", Path(""), Path("new.qvw")},
         "",
         "qvws: cannot read " + Path("") + ": it is a folder"},
        {{}, "", "qvws: no command given"},
        {{"frob", Path("ws.qvw")}, "", "qvws: unknown command \"frob\""},
        {{"load", Path("ws.json")}, "", "qvws: load needs JSON FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errStart);
        ExpectBadInput(Run(c.args, c.input), c.errStart);
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(QvWsProcess, DamageIsReportedWithItsOffset)
{
    Write("ws.json", g_workspace);
    ASSERT_EQ(Run({"load", Path("ws.json"), Path("ws.qvw")}).m_nStatus, 0);
    const std::string bytes = Read("ws.qvw");
    ASSERT_GT(bytes.size(), 100u);

    for (std::size_t length :
         {std::size_t{0}, std::size_t{1}, bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(length);
        Write("cut.qvw", bytes.substr(0, length));
        const CRun check = Run({"check", Path("cut.qvw")});
        ExpectBadInput(check, "qvws: " + Path("cut.qvw") + " is damaged at byte ");
        const std::size_t at = std::stoul(check.m_strErr.substr(check.m_strErr.find("byte ") + 5));
        EXPECT_LE(at, length);
        ExpectBadInput(Run({"dump", Path("cut.qvw")}), check.m_strErr);
    }
    // The last field of the file, the event log's reserved word, cut short.
    Write("cut.qvw", bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(Run({"check", Path("cut.qvw")})
                  .m_strErr.find(" is damaged at byte " + std::to_string(bytes.size() - 4)),
              Path("cut.qvw").size() + 6);

    std::string renamed = bytes;
    const std::size_t at = renamed.find("CSearchKeyText");
    ASSERT_NE(at, std::string::npos);
    renamed[at + 1] = 'Z';
    Write("renamed.qvw", renamed);
    ExpectBadInput(Run({"check", Path("renamed.qvw")}),
                   "qvws: " + Path("renamed.qvw") + " is damaged at byte ");
}

// Values that quorvil never writes load, but check lists each with where
// it is and ends with status 1; a sound file still says OK.
TEST_F(QvWsProcess, CheckListsValuesThatQuorvilNeverWrites)
{
    Write("odd.json", R"({"logs": [
      {"kind": "text", "description": "App", "directory": "/var/log/", "fileName": "app.log",
       "interval": 0, "position": 500, "lastSize": 100,
       "groups": [{"description": "Errors", "minIntervalMinutes": -5,
                   "keys": [{"kind": "text", "key1": "ERROR"}]}]},
      {"kind": "event", "computer": "SRV1", "log": "System", "interval": 30}]})");
    ASSERT_EQ(Run({"load", Path("odd.json"), Path("odd.qvw")}).m_nStatus, 0);
    const std::string before = Read("odd.qvw");

    const CRun run = Run({"check", Path("odd.qvw")});
    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_EQ(run.m_strErr, "");
    const std::string expected =
        "log \"App\": interval is 0, where 1 second or more is written\n"
        "log \"App\": position is 500, beyond the last size seen, 100\n"
        "log \"App\", watch group \"Errors\": minimum launch interval is -5, where 0 or more is "
        "written\n"
        "SUSPECT: 2 logs, 1 watch group, 1 key, 3 values that quorvil never writes; the values "
        "load as stored; if " +
        Path("odd.qvw") + " was damaged, stop quorvil and copy its backup " + Path("odd.bak") +
        " over it (no backup is made while Settings/AutoBackup is 0)\n";
    EXPECT_EQ(run.m_strOut, expected);
    EXPECT_EQ(Read("odd.qvw"), before);
    // They load as stored: the dump keeps them.
    EXPECT_THAT(Run({"dump", Path("odd.qvw")}).m_strOut, HasSubstr("\"interval\": 0,"));
}

// Failed logons per address with a threshold, a key that never matches, and
// a workspace that stays as it was.
TEST_F(QvWsProcess, TestShowsMatchesRulesAndTasksAndRunsNothing)
{
    Write("ws.json", R"json({"logs": [{"kind": "text", "description": "Auth", "groups": [
      {"description": "SSH failures", "threshold": true, "thresholdCount": 2,
       "thresholdSeconds": 600, "thresholdPer": "%MATCH:ip%",
       "keys": [{"kind": "regex", "pattern": "Failed password for .* from (?P<ip>\\S+)"}],
       "task": {"description": "Mail", "actions": [
         {"kind": "writefile", "path": "/nonexistent/x", "text": "x"},
         {"kind": "message", "text": "%MATCH:ip% failed %THRESHOLD_COUNT% times"}]}},
      {"description": "Logons", "keys": [{"kind": "text", "key1": "session opened"}]}]}]})json");
    Write("auth.log", "Failed password for root from 10.0.0.7 port 22\nAccepted key\r\n"
                      "Failed password for admin from 10.0.0.7 port 22");
    ASSERT_EQ(Run({"load", Path("ws.json"), Path("ws.qvw")}).m_nStatus, 0);
    const std::map<std::string, std::string> before = Snapshot();

    const CRun run = Run({"test", Path("ws.qvw"), Path("auth.log")});
    EXPECT_EQ(run.m_nStatus, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut,
              "line 1: Failed password for root from 10.0.0.7 port 22\n"
              "  Auth / SSH failures: key 1\n"
              "    %MATCH:ip% = 10.0.0.7\n"
              "    %MATCH_0% = Failed password for root from 10.0.0.7\n"
              "    %MATCH_1% = 10.0.0.7\n"
              "    threshold not reached for 10.0.0.7\n"
              "    task \"Mail\" would not run\n"
              "line 3: Failed password for admin from 10.0.0.7 port 22\n"
              "  Auth / SSH failures: key 1\n"
              "    %MATCH:ip% = 10.0.0.7\n"
              "    %MATCH_0% = Failed password for admin from 10.0.0.7\n"
              "    %MATCH_1% = 10.0.0.7\n"
              "    threshold reached for 10.0.0.7: 2 matches\n"
              "    task \"Mail\" would run\n"
              "      Write to file \"/nonexistent/x\"\n"
              "      Display message \"10.0.0.7 failed 2 times\"\n"
              "Totals: 3 lines read, 2 matched\n"
              "  Auth / SSH failures key 1 Regex 'Failed password for .* from (?P<ip>\\S+)': 2\n"
              "Never matched:\n"
              "  Auth / Logons key 1 'session opened' Only: 0\n");
    EXPECT_EQ(Snapshot(), before);

    const CRun json =
        Run({"test", Path("ws.qvw"), Path("auth.log"), "--group", "Logons", "--json"});
    EXPECT_THAT(json.m_strOut, HasSubstr("\"lines\": []"));
    EXPECT_THAT(json.m_strOut, HasSubstr("\"matched\": 0"));

    ExpectBadInput(Run({"test", Path("ws.qvw"), Path("auth.log"), "--group", "None"}),
                   "qvws: no watch group \"None\"");
    ExpectBadInput(Run({"test", Path("ws.qvw"), Path("auth.log"), "--log", "2"}),
                   "qvws: the workspace has 1 log");
}

// An event log file offers its records with every field: event keys on the
// source and type match, the event variables fill the task, and the totals
// count records. Journals and classic .evt files alike.
TEST_F(QvWsProcess, TestReadsTheRecordsOfEventLogFiles)
{
    Write("ws.json", R"json({"logs": [{"kind": "journal", "directory": "/var/log/journal",
      "groups": [{"description": "sshd errors",
       "keys": [{"kind": "event", "source": {"op": "equal", "values": ["sshd"]},
                 "type": {"op": "equal", "values": [1]},
                 "text": {"op": "regex", "value": "from (?P<ip>[0-9.]+)"}}],
       "task": {"description": "Mail", "actions": [
         {"kind": "message", "text": "%EVENT_SOURCE% %EVENT_TYPE% %EVENT_COMPUTER% %MATCH:ip%"}]}}]}]})json");
    ASSERT_EQ(Run({"load", Path("ws.json"), Path("ws.qvw")}).m_nStatus, 0);

    if (!JournalRemotePath().empty()) {
        const auto entry = [](const char* id, const char* priority, const char* message) {
            return CJournalTestEntry{1700000000,
                                     {{"MESSAGE", message},
                                      {"SYSLOG_IDENTIFIER", id},
                                      {"PRIORITY", priority},
                                      {"_HOSTNAME", "web01"}}};
        };
        ASSERT_TRUE(
            WriteJournal(Path("j.journal"), {entry("sshd", "3", "Failed password from 10.0.0.7"),
                                             entry("cron", "3", "Failed job from 10.0.0.8"),
                                             entry("sshd", "6", "Accepted key from 10.0.0.9")}));
        const CRun run = Run({"test", Path("ws.qvw"), Path("j.journal")});
        EXPECT_EQ(run.m_nStatus, 0) << run.m_strErr;
        EXPECT_THAT(run.m_strOut, HasSubstr(": sshd 0 Error: Failed password from 10.0.0.7\n"
                                            "  Journal /var/log/journal / sshd errors: key 1\n"));
        EXPECT_THAT(run.m_strOut, HasSubstr("Display message \"sshd Error web01 10.0.0.7\""));
        EXPECT_THAT(run.m_strOut, HasSubstr("Totals: 3 records read, 1 matched\n"));
    }

    // A classic log: one error of sshd among other records.
    std::vector<std::string> records;
    for (DWORD n = 1; n <= 3; ++n) {
        CEvtEvent e;
        e.m_dwRecordNumber = n;
        e.m_dwTimeGenerated = e.m_dwTimeWritten = 1'600'000'000 + n;
        e.m_wEventType = n == 2 ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
        e.m_strSourceName = n == 2 ? "sshd" : "other";
        e.m_strComputerName = "HOST";
        e.m_strings = {"Failed password from 10.0.0." + std::to_string(n)};
        records.push_back(EncodeEvtRecord(e));
    }
    Write("sys.evt", ComposeEvtFile(records, 4, 0x10000, 0));
    const CRun run = Run({"test", Path("ws.qvw"), Path("sys.evt"), "--json"});
    EXPECT_EQ(run.m_nStatus, 0) << run.m_strErr;
    EXPECT_THAT(run.m_strOut, HasSubstr("\"record\": 2"));
    EXPECT_THAT(run.m_strOut, Not(HasSubstr("\"record\": 1,")));
    EXPECT_THAT(run.m_strOut, HasSubstr("sshd Error HOST 10.0.0.2"));
    EXPECT_THAT(run.m_strOut, HasSubstr("\"records\": 3"));
}

} // namespace
