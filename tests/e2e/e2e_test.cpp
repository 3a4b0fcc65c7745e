

#include "programtest.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '|');)
        fields.push_back(field);
    return fields;
}

// Whether this process may raise the capabilities behind the two start-up
// privileges (CAP_DAC_READ_SEARCH, CAP_SETGID, CAP_SETUID); the program
// started from it may then too.
bool HavePrivilegeCapabilities(unsigned long long mask)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapPrm:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & mask) == mask;
    return false;
}

// A test with its own settings, state, data and network folders, in which
// it runs the programs.
class Program : public ProgramTest {
protected:
    std::vector<std::string> Quorvil(std::vector<std::string> args) const
    {
        args.insert(args.begin(), QUORVIL_EXE);
        return args;
    }

    int RunQuorvil(const std::vector<std::string>& args, std::string* out = nullptr,
                   std::string* err = nullptr)
    {
        return RunProgram(Quorvil(args), Env(), out, err);
    }

    // The workspace that qvws builds from the JSON text.
    std::string MakeWorkspace(const std::string& json)
    {
        Load(json);
        return Path("ws.qvw");
    }

    // JSON: an action that writes the text to hits.txt.
    std::string WriteHits(const std::string& text) const
    {
        return R"({ "kind": "writefile", "path": ")" + Path("hits.txt") + R"(", "text": ")" + text +
               R"(" })";
    }

    std::string Dump(const std::string& ws)
    {
        std::string out;
        std::string err;
        EXPECT_EQ(RunProgram({QVWS_EXE, "dump", ws}, Env(), &out, &err), 0) << err;
        return out;
    }

    void QvEvent(std::vector<std::string> args)
    {
        args.insert(args.begin(), {QVEVENT_EXE, "--network", Path("network")});
        std::string err;
        ASSERT_EQ(RunProgram(args, Env(), nullptr, &err), 0) << err;
    }

    // Settings as lines of a version 5 registry file below the program's
    // key, such as "[...\\Settings]" and "\"AutoSave\"=dword:00000001".
    void WriteSettings(const std::vector<std::string>& lines)
    {
        std::string text = "Windows Registry Editor Version 5.00\n";
        for (const std::string& line : lines) {
            if (line.front() == '[')
                text +=
                    "\n[HKEY_CURRENT_USER\\Software\\Brannick\\Quorvil\\" + line.substr(1) + "\n";
            else
                text += line + "\n";
        }
        ASSERT_TRUE(AtomicWriteFile(Path("config/quorvil/HKCU.reg"), text));
    }

    std::string Settings() const
    {
        return ReadFileBytes(Path("config/quorvil/HKCU.reg")).value_or("");
    }
    std::string SystemLogPath() const { return Path("state/quorvil/quorvil.log"); }
    // The system log's lines without their time stamps ("YYYY-MM-DD HH:MM:SS ").
    std::vector<std::string> SystemLog() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : SplitLines(ReadFileBytes(SystemLogPath()).value_or("")))
            lines.push_back(line.size() > 20 ? line.substr(20) : line);
        return lines;
    }
    bool InSystemLog(const std::string& text) const
    {
        auto lines = SystemLog();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    std::vector<std::string> FileLines(const std::string& name) const
    {
        return SplitLines(ReadFileBytes(Path(name)).value_or(""));
    }
};

// The whole text of every variable a text trigger fills, and of all
// thirteen that an event trigger fills.
const char* const TEXT_LINE = "text|%TASK_SEQ%|%EVENT_SHORTNAME%|%EVENT_LONGNAME%|%EVENT_TEXT%";
const char* const EVENT_LINE =
    "event|%TASK_SEQ%|%EVENT_TIME%|%EVENT_SOURCE%|%EVENT_USER%|%EVENT_COMPUTER%|%EVENT_CATEGORYID%|"
    "%EVENT_ID%|%EVENT_TYPE%|%EVENT_TEXT%|%EVENT_CATEGORYTEXT%|%EVENT_SHORTNAME%|%EVENT_LONGNAME%|"
    "%EVENT_SEQUENCE%";

} // namespace

TEST_F(Program, HelpVersionAndBadOptions)
{
    // The arguments, the exit status, the start of the output (all of it
    // when empty), and the error output.
    const std::tuple<std::vector<std::string>, int, std::string, std::string> cases[] = {
        {{"--help"}, 0, "Usage: quorvil [WORKSPACE.qvw] [/h] [/s:SCRIPT.qvs]", ""},
        {{"--version"}, 0, "quorvil 0.1.0 (Quorvil 0.10, build 9)\n", ""},
        // Unknown switches, "/H" in capitals among them, are ignored with a
        // warning; an unknown long option ends the program.
        {{"--onse", "w.qvw"}, 2, "", "quorvil: unknown option '--onse' (see quorvil --help)\n"},
        {{"/H", "--help"},
         0,
         "Usage: quorvil [WORKSPACE.qvw] [/h] [/s:SCRIPT.qvs]",
         "quorvil: warning: ignoring unknown option '/H'\n"},
    };
    for (const auto& [args, status, start, error] : cases) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunQuorvil(args, &out, &err), status) << args[0];
        EXPECT_EQ(std::pair(start.empty() ? out : out.substr(0, start.size()), err),
                  std::pair(start, error))
            << args[0];
    }
    // None of them started the program: no settings, no system log.
    EXPECT_FALSE(ReadFileBytes(Path("config/quorvil/HKCU.reg")));
    EXPECT_FALSE(ReadFileBytes(SystemLogPath()));
}

TEST_F(Program, StartUpWritesItsLinesAndReopensTheLastWorkspaceAtItsEnd)
{
    const std::string watched = Path("app.log");
    ASSERT_TRUE(AtomicWriteFile(watched, "old Memory Error\n"));
    const std::string ws = MakeWorkspace(AppLogJson(WriteHits("%EVENT_TEXT%")));
    const std::string auditText = Path("audit_txt.txt");
    const std::string auditEvents = Path("audit_evn.txt");
    ASSERT_TRUE(AtomicWriteFile(auditText, "old\n"));
    ASSERT_TRUE(AtomicWriteFile(auditEvents, "old events\n"));
    // AutoScan starts no scan thread for a single scan.
    WriteSettings({"[Settings]", "\"ReloadWorkspace\"=dword:00000001",
                   "\"AutoScan\"=dword:00000001", "\"ExtendedAudit\"=dword:00000001",
                   "\"AuditBackup\"=dword:00000001", "\"AuditText\"=\"" + auditText + "\"",
                   "\"AuditNT\"=\"" + auditEvents + "\"", "[Recent File List]",
                   "\"File1\"=\"" + ws + "\""});

    std::string err;
    ASSERT_EQ(RunQuorvil({"--once"}, nullptr, &err), 0) << err;

    // The last workspace was opened and, as JumpToEnd is on by default,
    // moved to its end: the old line is not reported.
    EXPECT_FALSE(ReadFileBytes(Path("hits.txt")));
    EXPECT_NE(Dump(ws).find("\"position\": 17,"), std::string::npos);

    std::vector<std::string> expected = {
        "Quorvil version 0.10, build 9",
        "Extended auditing is ENABLED! Check for " + auditText + " and " + auditEvents + " files",
    };
    // The two privileges stand for capabilities; without them each is
    // reported (the security privilege: CAP_DAC_READ_SEARCH; TCB:
    // CAP_SETUID and CAP_SETGID).
    if (!HavePrivilegeCapabilities(1ULL << 2))
        expected.push_back("Error during Security privilege enable: 1300, "
                           "Not all privileges or groups referenced are assigned to the caller.");
    if (!HavePrivilegeCapabilities((1ULL << 6) | (1ULL << 7))) {
        const std::string stars(43, '*');
        expected.insert(
            expected.end(),
            {stars,
             "This account does not have the privilege to 'Act as part of the operating system'",
             "You must enable this privilege for Quorvil to impersonate other accounts",
             std::string("The error was 1300, Not all privileges or groups referenced are "
                         "assigned to the caller."),
             stars});
    }
    expected.push_back("Quorvil shutting down");
    std::vector<std::string> log = SystemLog();
    ASSERT_GE(log.size(), 2U);
    // The diagnostics line goes to the system log when standard error is no
    // terminal.
    EXPECT_EQ(log[1].rfind("Quorvil: PID = 0x", 0), 0U) << log[1];
    log.erase(log.begin() + 1);
    EXPECT_EQ(log, expected);

    EXPECT_NE(Settings().find("\"ErrorLog\"=\"" + SystemLogPath() + "\""), std::string::npos)
        << Settings();
    EXPECT_NE(Settings().find("\"ErrorLogEnabled\"=dword:00000001"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(Path("audit_txt.bak")), "old\n");
    EXPECT_EQ(ReadFileBytes(Path("audit_evn.bak")), "old events\n");
    for (const std::string& audit : {auditText, auditEvents})
        EXPECT_EQ(ReadFileBytes(audit).value_or("").find("Quorvil starting ****************"), 20U);
}

TEST_F(Program, OnceCatchesANewLineAndANewEventAndRunsTheirTasks)
{
    const std::string watched = Path("app.log");
    ASSERT_TRUE(AtomicWriteFile(watched, "service started\nold Memory Error\n"));
    const std::string ws = MakeWorkspace(R"({ "logs": [
      { "kind": "text", "description": "App Log", "directory": ")" +
                                         m_strRoot + R"(/", "fileName": "app.log",
        "groups": [ { "description": "Memory", "keys": [ { "kind": "text", "key1": "memory error" } ],
          "task": { "actions": [ )" + WriteHits(TEXT_LINE) +
                                         R"( ] } } ] },
      { "kind": "event", "computer": "TESTHOST", "log": "Application", "enabled": true,
        "groups": [ { "description": "Disk", "keys": [ { "kind": "event",
            "source": { "op": "equal", "values": ["Tester"] }, "eventId": { "op": "equal", "values": [42] } } ],
          "task": { "actions": [ )" + WriteHits(EVENT_LINE) +
                                         R"( ] } } ] } ] })");

    // The first run reads what is there already: the old line.
    std::string out;
    std::string err;
    ASSERT_EQ(RunQuorvil({ws, "--once"}, &out, &err), 0) << err;
    ASSERT_EQ(FileLines("hits.txt"),
              (std::vector<std::string>{"text|1|App Log|" + watched + "|old Memory Error"}));

    ASSERT_TRUE(AppendToFile(watched, "new Memory Error here\nnothing\n"));
    // The event's texts come from the source's message file on the computer's C: share.
    ASSERT_TRUE(AtomicWriteFile(Path("network/WORKGROUP/TESTHOST/C$/Msg/tester.mc"),
                                "MessageId=3\nLanguage=English\nStorage\n.\n"
                                "MessageId=42\nLanguage=English\nBackup of %1 failed.\n.\n"));
    QvEvent({"add-source", "-l", "Application", "-s", "Tester", "--message-file",
             "C:\\Msg\\tester.mc", "--category-file", "%SystemDrive%\\Msg\\tester.mc"});
    QvEvent(
        {"report", "-l", "Application", "-s", "Tester", "-t", "error", "-i", "41", "not this one"});
    QvEvent({"report", "-l", "Application", "-s", "Tester", "-t", "error", "-i", "42", "-g", "3",
             "-u", "S-1-5-18", "disk full"});
    ASSERT_EQ(RunQuorvil({"--headless", "--once", ws}, &out, &err), 0) << err;
    EXPECT_NE(out.find("App Log: Larger\n"), std::string::npos) << out;
    EXPECT_NE(out.find("TESTHOST\\Application: Larger\n"), std::string::npos) << out;

    std::vector<std::string> hits = FileLines("hits.txt");
    ASSERT_EQ(hits.size(), 3U);
    EXPECT_EQ(hits[1], "text|1|App Log|" + watched + "|new Memory Error here");
    std::vector<std::string> fields = SplitFields(hits[2]);
    ASSERT_EQ(fields.size(), 14U) << hits[2];
    EXPECT_NE(fields[2].find(':'), std::string::npos) << "the event's time: " << fields[2];
    fields[2] = "(time)";
    EXPECT_EQ(fields,
              (std::vector<std::string>{"event", "2", "(time)", "Tester", "SYSTEM", "TESTHOST", "3",
                                        "42", "Error", "Backup of disk full failed.  ", "Storage  ",
                                        "TESTHOST\\Application", "TESTHOST\\Application", "2"}));

    EXPECT_FALSE(ReadFileBytes(Path("state/quorvil/qvaudit_txt.txt"))) << "extended audit is off";

    // The positions were saved: a third run finds nothing new.
    ASSERT_EQ(RunQuorvil({ws, "--once"}, &out, &err), 0) << err;
    EXPECT_EQ(FileLines("hits.txt").size(), 3U);
    const std::string dump = Dump(ws);
    EXPECT_NE(dump.find("\"lastRecord\": 2,"), std::string::npos) << dump;
}

// Between two --once runs another program clears the log and refills it
// past the last record read: the state file beside the workspace tells the
// second run that the log is another file, so every new record is read.
TEST_F(Program, OnceSeesALogClearedAndRefilledBetweenRuns)
{
    const std::string ws = MakeWorkspace(R"({ "logs": [
      { "kind": "event", "computer": "TESTHOST", "log": "Application", "enabled": true,
        "groups": [ { "description": "All", "keys": [ { "kind": "event",
            "source": { "op": "equal", "values": ["Tester"] } } ],
          "task": { "actions": [ )" + WriteHits("%EVENT_SEQUENCE%") +
                                         R"( ] } } ] } ] })");
    for (const char* text : {"a", "b"})
        QvEvent({"report", "-l", "Application", "-s", "Tester", text});
    std::string err;
    ASSERT_EQ(RunQuorvil({ws, "--once"}, nullptr, &err), 0) << err;
    EXPECT_EQ(FileLines("hits.txt"), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(ReadFileBytes(ws + ".state").has_value());

    QvEvent({"clear", "-l", "Application"});
    for (const char* text : {"c", "d", "e"})
        QvEvent({"report", "-l", "Application", "-s", "Tester", text});
    ASSERT_EQ(RunQuorvil({ws, "--once"}, nullptr, &err), 0) << err;
    EXPECT_EQ(FileLines("hits.txt"), (std::vector<std::string>{"1", "2", "1", "2", "3"}));
}

TEST_F(Program, ScriptEditsTheWorkspaceSavesItAndEndsWithoutAWindow)
{
    auto eventLog = [](const std::string& computer, const std::string& log) {
        return R"({ "kind": "event", "computer": ")" + computer + R"(", "log": ")" + log +
               R"(", "groups": [ { "description": "Disk", "task": { "actions": [] } } ] })";
    };
    const std::string ws = MakeWorkspace(
        "{ \"logs\": [ " + eventLog("OLD", "Application") + ", " + eventLog("OLD", "System") +
        ", " + eventLog("KEEP", "System") + ", " + eventLog("GONE", "Application") +
        R"(, { "kind": "text", "description": "Web Log", "directory": "/var/log/", "fileName": "web.log",
               "groups": [ { "description": "Errors", "task": { "actions": [] } } ] } ] })");
    ASSERT_TRUE(AtomicWriteFile(Path("roll.qvs"),
                                "; roll out\n"
                                "RENAMESERVER OLD,NEW\n"
                                "  copyserver NEW,COPY\n"
                                "\n"
                                "DELETESERVER GONE\n"
                                "SETTASKCONSTANT web log,errors,%MAILTO%,ops@example.com\n"
                                "SETTASKCONSTANT NEW\\Application,Disk,%PAGER%,555\n"));

    std::string out;
    std::string err;
    ASSERT_EQ(RunQuorvil({ws, "/S:" + Path("roll.qvs")}, &out, &err), 0) << err;
    EXPECT_EQ(out, "");

    const std::string dump = Dump(ws);
    std::vector<std::string> computers;
    for (std::size_t at = dump.find("\"computer\": \""); at != std::string::npos;
         at = dump.find("\"computer\": \"", at + 1)) {
        const std::size_t start = at + 13;
        computers.push_back(dump.substr(start, dump.find('"', start) - start));
    }
    EXPECT_EQ(computers, (std::vector<std::string>{"NEW", "NEW", "KEEP", "COPY", "COPY"})) << dump;
    EXPECT_NE(dump.find("\"%MAILTO%\": \"ops@example.com\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"%PAGER%\": \"555\""), std::string::npos) << dump;

    ASSERT_TRUE(InSystemLog("Running script " + Path("roll.qvs") + " against workspace " + ws));
    EXPECT_EQ(SystemLog().back(), "Quorvil shutting down");
    // Script mode ends before the program starts: no event source, no scans.
    EXPECT_FALSE(InSystemLog("Starting automatic scans"));
    EXPECT_FALSE(InSystemLog("Quorvil version 0.10, build 9"));

    // A workspace that cannot be read, or a script with a bad line, ends
    // the run with status 1 and one line that says why.
    ASSERT_EQ(RunQuorvil({Path("missing.qvw"), "/s:" + Path("roll.qvs")}, &out, &err), 1);
    EXPECT_EQ(err.rfind("quorvil: the script run failed: cannot read the workspace " +
                            Path("missing.qvw") + ": ",
                        0),
              0U)
        << err;
    EXPECT_TRUE(InSystemLog("Script: Error opening workspace for read"));
    EXPECT_FALSE(ReadFileBytes(Path("missing.qvw")));

    ASSERT_TRUE(AtomicWriteFile(Path("bad.qvs"),
                                "DELETESERVER KEEP\r\nFROBNICATE X\r\nDELETESERVER COPY\r\n"));
    ASSERT_EQ(RunQuorvil({ws, "/s:" + Path("bad.qvs")}, &out, &err), 1);
    EXPECT_EQ(err, "quorvil: the script " + Path("bad.qvs") +
                       " has an error at line 2: 'FROBNICATE X' (the lines before it were "
                       "applied)\n");
    EXPECT_EQ(Dump(ws).find("\"KEEP\""), std::string::npos);
    EXPECT_NE(Dump(ws).find("\"COPY\""), std::string::npos) << "the script went on";
}

// A workspace with bytes after its content is refused whole and left as it
// is; values that quorvil never writes load, each with a system log line.
TEST_F(Program, WorkspaceWithBytesAfterItIsRefusedAndOddValuesAreReported)
{
    const std::string ws =
        MakeWorkspace(R"({ "logs": [
      { "kind": "text", "description": "App Log", "directory": ")" +
                      m_strRoot + R"(/", "fileName": "app.log", "interval": 0 } ] })");
    std::string err;
    ASSERT_EQ(RunQuorvil({ws, "--once"}, nullptr, &err), 0) << err;
    EXPECT_TRUE(InSystemLog("Workspace " + ws +
                            ": log \"App Log\": interval is 0, where 1 second or more is written; "
                            "the values load as stored; if " +
                            ws + " was damaged, stop quorvil and copy its backup " +
                            Path("ws.bak") +
                            " over it (no backup is made while Settings/AutoBackup is 0)"));

    const std::string bytes = ReadFileBytes(ws).value_or("") + "xy";
    ASSERT_TRUE(AtomicWriteFile(ws, bytes));
    for (const char* mode : {"--once", "--headless"}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(RunQuorvil({ws, mode}, nullptr, &err), 1);
        EXPECT_EQ(err, "quorvil: Unexpected file format in " + ws + ": " + ws +
                           " is damaged at byte " + std::to_string(bytes.size() - 2) +
                           ": 2 bytes after the workspace\n");
        EXPECT_EQ(ReadFileBytes(ws), bytes);
    }
    ASSERT_EQ(RunQuorvil({m_strRoot, "--once"}, nullptr, &err), 1);
    EXPECT_EQ(err, "quorvil: Failed to open document " + m_strRoot +
                       ": it is a folder, not a workspace file\n");
}

TEST_F(Program, HeadlessPrintsStatesAndTaskMessagesAndEndsOnSigint)
{
    const std::string watched = Path("app.log");
    // The line is there before the first scan, whose change of state asks
    // for a save (a later scan that only reads more stays "Larger").
    ASSERT_TRUE(AtomicWriteFile(watched, "start\nMemory Error 1\n"));
    const std::string ws =
        MakeWorkspace(R"({ "logs": [ { "kind": "text", "interval": 1, "lastScanned": 0,
        "description": "App Log", "directory": ")" +
                      m_strRoot + R"(/", "fileName": "app.log",
        "groups": [ { "description": "Memory", "keys": [ { "kind": "text", "key1": "Memory Error" } ],
          "task": { "actions": [ { "kind": "message", "text": "caught: %EVENT_TEXT%" } ] } } ] } ] })");

    CProgram program(Quorvil({"--headless", ws}), Env());
    ASSERT_TRUE(program.WaitForOutput("Scan state: Running\n"))
        << program.m_strOut << program.m_strErr;
    ASSERT_TRUE(program.WaitForOutput("caught: Memory Error 1\n")) << program.m_strOut;
    ASSERT_TRUE(program.WaitForOutput("App Log: Larger\n")) << program.m_strOut;
    program.Signal(SIGINT);
    ASSERT_EQ(program.Wait(), 0) << program.m_strErr;
    EXPECT_NE(program.m_strOut.find("Scan state: Stopped\n"), std::string::npos)
        << program.m_strOut;
    // The save request of the pass that saw the line kept its position,
    // though AutoSave is off.
    EXPECT_NE(Dump(ws).find("\"position\": 21,"), std::string::npos);
    EXPECT_NE(Settings().find("\"File1\"=\"" + ws + "\""), std::string::npos) << Settings();
}

TEST_F(Program, SigtermDuringAScanStopsAndTheNextStartContinuesWhereItStopped)
{
    // Every event's task notes the event and then waits until the file
    // "open" exists, so the first scan is surely running when the signal
    // comes.
    const int count = 40;
    QvEvent({"add-log", "-l", "Bulk"});
    for (int i = 1; i <= count; ++i)
        QvEvent({"report", "-l", "Bulk", "-s", "Tester", "-i", std::to_string(i),
                 "event " + std::to_string(i)});
    // sh lets go of the program's output first, so that the program's end
    // is seen while sh still waits.
    const std::string wait =
        "exec >/dev/null 2>&1; while [ ! -e " + Path("open") + " ]; do sleep 0.01; done";
    const std::string ws =
        MakeWorkspace(R"({ "logs": [ { "kind": "event", "computer": "TESTHOST", "log": "Bulk",
        "enabled": true, "interval": 1, "lastScanned": 0,
        "groups": [ { "description": "All", "keys": [ { "kind": "event", "source": { "op": "equal", "values": ["Tester"] } } ],
          "task": { "actions": [
            )" + WriteHits("%EVENT_ID%") +
                      R"(,
            { "kind": "run", "command": "/bin/sh -c ')" +
                      wait + R"('", "wait": true } ] } } ] } ] })");
    WriteSettings({"[Settings]", "\"AutoSave\"=dword:00000001"});

    CProgram program(Quorvil({"--headless", ws}), Env());
    ASSERT_TRUE(program.WaitForOutput("Scan state: Running\n")) << program.m_strErr;
    ASSERT_TRUE(WaitUntil([&] { return !FileLines("hits.txt").empty(); }));
    program.Signal(SIGTERM);
    // A stop never waits for a task's program: the run ends while the
    // task's sh still waits for "open", so nothing is logged after the last
    // line. "open" then lets that sh end.
    const int status = program.Wait();
    ASSERT_TRUE(AtomicWriteFile(Path("open"), ""));
    ASSERT_EQ(status, 0) << program.m_strErr;
    EXPECT_TRUE(InSystemLog("Stopping automatic scans"));
    EXPECT_NE(program.m_strOut.find("Scan state: Stopped\n"), std::string::npos)
        << program.m_strOut;
    EXPECT_EQ(SystemLog().back(), "Quorvil shutting down");

    // The scan ended after the event whose task was running; AutoSave kept
    // its record number.
    const std::vector<std::string> handled = FileLines("hits.txt");
    ASSERT_FALSE(handled.empty());
    EXPECT_LT(handled.size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(InSystemLog("TESTHOST\\Bulk Terminated scan on record " + handled.back()));
    EXPECT_NE(Dump(ws).find("\"lastRecord\": " + handled.back() + ","), std::string::npos);

    // The next start goes on from there: every event handled once.
    std::string err;
    ASSERT_EQ(RunQuorvil({ws, "--once"}, nullptr, &err), 0) << err;
    std::vector<std::string> expected;
    for (int i = 1; i <= count; ++i)
        expected.push_back(std::to_string(i));
    EXPECT_EQ(FileLines("hits.txt"), expected);
}
