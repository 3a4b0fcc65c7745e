// The headless program as a service: notifications to a service manager that
// the test plays (a datagram socket in NOTIFY_SOCKET), reloading on SIGHUP,
// one scanner per workspace, and system log lines in the journal's format.

#include <sys/socket.h>
#include <sys/un.h>

#include "programtest.h"
#include "tests/journal/journalfiles.h"

namespace {

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The service manager's end of NOTIFY_SOCKET: an abstract datagram socket.
class CNotifySocket {
public:
    CNotifySocket()
    {
        m_strName = "quorvil-test-" + std::to_string(::getpid());
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        m_strName.copy(addr.sun_path + 1, m_strName.size());
        const auto len =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + m_strName.size());
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
    }
    ~CNotifySocket() { ::close(m_fd); }
    std::string Env() const { return "NOTIFY_SOCKET=@" + m_strName; }

    // Waits for a datagram that holds the text; the datagrams read on the way
    // are kept in m_received.
    bool WaitFor(const std::string& text)
    {
        return WaitUntil([&] {
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                return false;
            m_received.emplace_back(buffer, static_cast<std::size_t>(n));
            return m_received.back().find(text) != std::string::npos;
        });
    }

    std::vector<std::string> m_received;

private:
    int m_fd = -1;
    std::string m_strName;
};

class Service : public ProgramTest {
protected:
    // The workspace ws.qvw of one text log, app.log, whose group prints the
    // line caught after "caught: ".
    std::string MakeWorkspace()
    {
        Load(AppLogJson(R"({ "kind": "message", "text": "caught: %EVENT_TEXT%" })"));
        return Path("ws.qvw");
    }
    void Append(const std::string& line)
    {
        const std::string text = ReadFileBytes(Path("app.log")).value_or("") + line + "\n";
        ASSERT_TRUE(AtomicWriteFile(Path("app.log"), text));
    }
};

} // namespace

// For each kind of log: the program reads entries 1 and 2; the workspace is
// rebuilt from JSON whose read position is older (after entry 1, or none)
// and whose message differs; SIGHUP keeps the running position and takes the
// new message, and entry 3 comes after the reload. Every entry is caught
// once.
TEST_F(Service, ReloadKeepsNewerPositionsAndAppliesTheFileNotifyingTheManager)
{
    const std::string evtxScript =
        std::string(std::getenv("QUORVIL_SOURCE_DIR")) + "/tests/evtx/make_evtx.py";
    ASSERT_TRUE(EnsureDirectory(Path("journal")));
    struct Kind {
        const char* name;
        // The log's JSON members, and its read position when fresh and when
        // older than the running one.
        std::string log;
        const char* fresh;
        std::string older;
        // The key that catches every entry, the message's text, and how it
        // reads for entry n.
        const char* key;
        const char* text;
        std::string entry;
        std::function<void(int n)> add;
    } kinds[] = {
        {"text", R"("kind": "text", "directory": ")" + m_strRoot + R"(/", "fileName": "app.log")",
         R"("position": 0)", R"("position": )" + std::to_string(std::strlen("Memory Error 1\n")),
         R"({ "kind": "text", "key1": "Memory Error" })", "%EVENT_TEXT%", "Memory Error ",
         [&](int n) { Append("Memory Error " + std::to_string(n)); }},
        {"event",
         R"("kind": "event", "enabled": true, "computer": "TESTHOST", "log": "Application")",
         R"("lastRecord": 0)", R"("lastRecord": 1)", R"({ "kind": "event" })",
         "record %EVENT_SEQUENCE%", "record ",
         [&](int n) {
             std::string err;
             ASSERT_EQ(
                 RunProgram({QVEVENT_EXE, "--network", Path("network"), "report", "-l",
                             "Application", "-s", "Tester", "Memory Error " + std::to_string(n)},
                            Env(), nullptr, &err),
                 0)
                 << err;
         }},
        {"journal",
         R"("kind": "journal", "directory": ")" + Path("journal") + R"(", "readExisting": true)",
         R"("cursor": "")", R"("cursor": "")", R"({ "kind": "event" })", "%EVENT_TEXT%",
         "Memory Error ",
         [&](int n) {
             ASSERT_TRUE(WriteJournal(
                 Path("journal/app.journal"),
                 {{1700000000 + n,
                   {{"MESSAGE", "Memory Error " + std::to_string(n)}, {"PRIORITY", "3"}}}}));
         }},
        {"evtx", R"("kind": "evtx", "path": ")" + Path("Security.evtx") + R"(")",
         R"("lastRecord": 0)", R"("lastRecord": 1)", R"({ "kind": "event" })",
         "record %EVENT_SEQUENCE%", "record ",
         [&](int n) {
             // The file grows by a record, written beside it and renamed.
             ASSERT_EQ(RunProgram({"/usr/bin/python3", evtxScript, Path("next.evtx"), "--records",
                                   std::to_string(n)},
                                  Env()),
                       0);
             ASSERT_EQ(std::rename(Path("next.evtx").c_str(), Path("Security.evtx").c_str()), 0);
         }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const auto json = [&](const std::string& prefix, bool older) {
            return R"({ "logs": [ { "interval": 1, )" + kind.log + ", " +
                   (older ? kind.older : kind.fresh) +
                   R"(, "groups": [ { "description": "All", "keys": [ )" + kind.key +
                   R"( ], "task": { "actions": [ { "kind": "message", "text": ")" + prefix + ": " +
                   kind.text + R"(" } ] } } ] } ] })";
        };
        kind.add(1);
        Load(json("caught", false));
        const std::string ws = Path("ws.qvw");
        const std::size_t logStart = SystemLog().size();
        CNotifySocket manager;
        std::vector<std::string> env = Env();
        env.push_back(manager.Env());
        env.push_back("WATCHDOG_USEC=200000");
        CProgram program({QUORVIL_EXE, "--headless", ws}, env);

        ASSERT_TRUE(manager.WaitFor("READY=1")) << program.m_strErr;
        ASSERT_TRUE(program.WaitForOutput("caught: " + kind.entry + "1\n")) << program.m_strOut;
        // The watchdog is fed while the scan thread goes round.
        ASSERT_TRUE(manager.WaitFor("WATCHDOG=1"));

        kind.add(2);
        ASSERT_TRUE(program.WaitForOutput("caught: " + kind.entry + "2\n")) << program.m_strOut;
        Load(json("after", true));
        program.Signal(SIGHUP);
        ASSERT_TRUE(manager.WaitFor("RELOADING=1"));
        EXPECT_NE(manager.m_received.back().find("\nMONOTONIC_USEC="), std::string::npos);
        ASSERT_TRUE(manager.WaitFor("READY=1"));
        ASSERT_TRUE(WaitUntil([&] {
            return SystemLog().find("Reloaded workspace " + ws + ": 1 logs, 1 read positions kept",
                                    logStart) != std::string::npos;
        })) << SystemLog();
        kind.add(3);
        ASSERT_TRUE(program.WaitForOutput("after: " + kind.entry + "3\n")) << program.m_strOut;

        program.Signal(SIGTERM);
        ASSERT_TRUE(manager.WaitFor("STOPPING=1"));
        ASSERT_EQ(program.Wait(), 0) << program.m_strErr;
        // Every entry caught once, with the text of the workspace of its time.
        for (int n = 1; n <= 3; ++n)
            EXPECT_EQ(Count(program.m_strOut, ": " + kind.entry + std::to_string(n) + "\n"), 1u)
                << program.m_strOut;
        std::string dump;
        ASSERT_EQ(RunProgram({QVWS_EXE, "dump", ws}, Env(), &dump), 0);
        EXPECT_NE(dump.find(std::string("after: ") + kind.text), std::string::npos) << dump;
    }
}

TEST_F(Service, OneScannerPerWorkspaceAndAStaleLockDoesNotBlock)
{
    ASSERT_TRUE(AtomicWriteFile(Path("app.log"), "start\n"));
    const std::string ws = MakeWorkspace();
    {
        CProgram first({QUORVIL_EXE, "--headless", ws}, Env());
        ASSERT_TRUE(first.WaitForOutput("Scan state: Running\n")) << first.m_strErr;
        std::string holder = ReadFileBytes(ws + ".lock").value_or("");
        ASSERT_FALSE(holder.empty());
        holder.pop_back();

        std::string err;
        EXPECT_EQ(RunProgram({QUORVIL_EXE, "--headless", "--once", ws}, Env(), nullptr, &err), 3);
        EXPECT_EQ(err, "quorvil: " + ws + " is being scanned by process " + holder +
                           "; not starting a second scanner\n");
        first.Signal(SIGTERM);
        ASSERT_EQ(first.Wait(), 0) << first.m_strErr;
    }
    // A clean end takes its lock file away; a crash leaves one behind, which
    // names a process that no longer holds it.
    EXPECT_FALSE(ReadFileBytes(ws + ".lock").has_value());
    ASSERT_TRUE(AtomicWriteFile(ws + ".lock", "999999\n"));
    std::string err;
    EXPECT_EQ(RunProgram({QUORVIL_EXE, "--headless", "--once", ws}, Env(), nullptr, &err), 0)
        << err;
}

TEST_F(Service, SystemLogLinesReachTheJournalWithTheirPriorities)
{
    // A log whose file is missing gives an error line.
    const std::string ws = MakeWorkspace();
    const std::string err = Path("journal.txt");
    const std::string script = "exec 2>" + err + "; JOURNAL_STREAM=$(stat -c %d:%i " + err +
                               ") exec \"$0\" --headless --once \"$1\"";
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", script, QUORVIL_EXE, ws}, Env()), 0);
    const std::string journal = ReadFileBytes(err).value_or("");
    EXPECT_NE(journal.find("<6>Quorvil version "), std::string::npos) << journal;
    EXPECT_NE(journal.find("<3>Unable to open stats: "), std::string::npos) << journal;
    EXPECT_NE(journal.find("<6>Quorvil shutting down\n"), std::string::npos) << journal;
    // Without the journal standard error gets none of them.
    std::string plain;
    ASSERT_EQ(RunProgram({QUORVIL_EXE, "--headless", "--once", ws}, Env(), nullptr, &plain), 0);
    EXPECT_EQ(plain.find("Quorvil version"), std::string::npos) << plain;
}

TEST_F(Service, MetricsFileCountsWhatTheScanDidAndPromtoolAcceptsIt)
{
    ASSERT_TRUE(AtomicWriteFile(Path("app.log"), "start\nMemory Error 1\nMemory Error 2\n"));
    Load(R"({ "logs": [ { "kind": "text", "description": "App \"main\" Log", "directory": ")" +
         m_strRoot + R"(/", "fileName": "app.log",
        "groups": [ { "description": "Memory", "keys": [ { "kind": "text", "key1": "Memory Error" } ],
          "task": { "actions": [
            { "kind": "writefile", "path": ")" +
         Path("hits.txt") + R"(", "text": "%EVENT_TEXT%" },
            { "kind": "run", "command": "/nonexistent/program", "wait": true } ] } } ] } ] })");
    const std::string metrics = Path("quorvil.prom");
    std::string err;
    ASSERT_EQ(
        RunProgram({QUORVIL_EXE, "--headless", "--once", "--metrics-file", metrics, Path("ws.qvw")},
                   Env(), nullptr, &err),
        0)
        << err;
    const std::string text = ReadFileBytes(metrics).value_or("");
    const std::string labels = R"({log="App \"main\" Log",kind="text"} )";
    for (const std::string& line :
         {"quorvil_log_state" + labels + "1", "quorvil_log_entries_read_total" + labels + "3",
          "quorvil_log_matches_total" + labels + "2", "quorvil_log_tasks_run_total" + labels + "2",
          "quorvil_log_action_failures_total" + labels + "2",
          std::string("quorvil_matches_total 2"), std::string("quorvil_logs 1"),
          std::string(R"(quorvil_deliveries_total{outcome="failed"} 0)")})
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
    EXPECT_NE(text.find("quorvil_last_pass_timestamp_seconds "), std::string::npos);
    // The failed actions went to the system log.
    EXPECT_NE(SystemLog().find(" Run program \"/nonexistent/program\" in task \"Task\" could not "
                               "start: The system cannot find the file specified.\n"),
              std::string::npos)
        << SystemLog();
    std::string out;
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "promtool check metrics < \"$0\"", metrics}, Env(), &out,
                         &err),
              0)
        << out << err;
}
