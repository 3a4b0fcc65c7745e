// The headless program as a service: notifications to a service manager that
// the test plays (a datagram socket in NOTIFY_SOCKET), reloading on SIGHUP,
// one scanner per workspace, and system log lines in the journal's format.
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "programtest.h"

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
    // line caught after the prefix.
    std::string MakeWorkspace(const std::string& prefix)
    {
        Load(WorkspaceJson(prefix, 0));
        return Path("ws.qvw");
    }
    std::string WorkspaceJson(const std::string& prefix, unsigned position) const
    {
        return AppLogJson(R"({ "kind": "message", "text": ")" + prefix + R"(: %EVENT_TEXT%" })",
                          position);
    }
    void Append(const std::string& line)
    {
        const std::string text = ReadFileBytes(Path("app.log")).value_or("") + line + "\n";
        ASSERT_TRUE(AtomicWriteFile(Path("app.log"), text));
    }
};

} // namespace

TEST_F(Service, ReloadKeepsNewerPositionsAndAppliesTheFileNotifyingTheManager)
{
    ASSERT_TRUE(AtomicWriteFile(Path("app.log"), "start\nMemory Error 1\n"));
    const std::string ws = MakeWorkspace("caught");
    CNotifySocket manager;
    std::vector<std::string> env = Env();
    env.push_back(manager.Env());
    env.push_back("WATCHDOG_USEC=200000");
    CProgram program({QUORVIL_EXE, "--headless", ws}, env);

    ASSERT_TRUE(manager.WaitFor("READY=1")) << program.m_strErr;
    ASSERT_TRUE(program.WaitForOutput("caught: Memory Error 1\n")) << program.m_strOut;
    // The watchdog is fed while the scan thread goes round.
    ASSERT_TRUE(manager.WaitFor("WATCHDOG=1"));

    // The file is rebuilt from JSON whose position is older than the running
    // one (it stops after line 1, which the program read; line 2 comes
    // meanwhile), with another message text.
    const std::string older = ReadFileBytes(Path("app.log")).value_or("");
    Append("Memory Error 2");
    ASSERT_TRUE(program.WaitForOutput("caught: Memory Error 2\n")) << program.m_strOut;
    Load(WorkspaceJson("after", static_cast<unsigned>(older.size())));

    program.Signal(SIGHUP);
    ASSERT_TRUE(manager.WaitFor("RELOADING=1"));
    EXPECT_NE(manager.m_received.back().find("\nMONOTONIC_USEC="), std::string::npos);
    ASSERT_TRUE(manager.WaitFor("READY=1"));
    ASSERT_TRUE(WaitUntil([&] {
        return SystemLog().find("Reloaded workspace " + ws + ": 1 logs, 1 read positions kept") !=
               std::string::npos;
    })) << SystemLog();
    Append("Memory Error 3");
    ASSERT_TRUE(program.WaitForOutput("after: Memory Error 3\n")) << program.m_strOut;

    program.Signal(SIGTERM);
    ASSERT_TRUE(manager.WaitFor("STOPPING=1"));
    ASSERT_EQ(program.Wait(), 0) << program.m_strErr;
    // Every line caught once, with the text of the workspace of its time.
    EXPECT_EQ(Count(program.m_strOut, "Memory Error 1\n"), 1u) << program.m_strOut;
    EXPECT_EQ(Count(program.m_strOut, "Memory Error 2\n"), 1u) << program.m_strOut;
    EXPECT_EQ(Count(program.m_strOut, "Memory Error 3\n"), 1u) << program.m_strOut;
    std::string dump;
    ASSERT_EQ(RunProgram({QVWS_EXE, "dump", ws}, Env(), &dump), 0);
    EXPECT_NE(dump.find("after: %EVENT_TEXT%"), std::string::npos) << dump;
}

TEST_F(Service, OneScannerPerWorkspaceAndAStaleLockDoesNotBlock)
{
    ASSERT_TRUE(AtomicWriteFile(Path("app.log"), "start\n"));
    const std::string ws = MakeWorkspace("caught");
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
    const std::string ws = MakeWorkspace("caught");
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
    std::string out;
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "promtool check metrics < \"$0\"", metrics}, Env(), &out,
                         &err),
              0)
        << out << err;
}
