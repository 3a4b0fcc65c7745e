// The desktop program as a process: SIGTERM and SIGINT end it the way
// File > Exit does, without its question.

#include <sys/socket.h>
#include <sys/un.h>

#include "programtest.h"

using Desktop = ProgramTest;

TEST_F(Desktop, EndsCleanlyOnSigtermAndSigint)
{
    // A display that answers: a listening socket named by WAYLAND_DISPLAY;
    // the window itself goes to Qt's offscreen platform.
    const std::string display = Path("wayland-test");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(display.size(), sizeof addr.sun_path);
    display.copy(addr.sun_path, display.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    std::vector<std::string> env = Env();
    env.push_back("WAYLAND_DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    ASSERT_TRUE(AtomicWriteFile(Path("app.log"), "start\nMemory Error 1\n"));
    Load(AppLogJson(R"({ "kind": "writefile", "path": ")" + Path("hits.txt") +
                    R"(", "text": "%EVENT_TEXT%" })"));
    ASSERT_TRUE(AtomicWriteFile(Path("config/quorvil/HKCU.reg"),
                                "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Brannick\\Quorvil\\Settings]\n"
                                "\"FirstTimeFlag\"=dword:00000001\n"
                                "\"ReloadWorkspace\"=dword:00000001\n"
                                "\"AutoScan\"=dword:00000001\n"
                                "\"AutoSave\"=dword:00000001\n"));

    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const std::size_t logStart = SystemLog().size();
        CProgram program({QUORVIL_EXE, "/nologo", Path("ws.qvw")}, env);
        ASSERT_TRUE(WaitUntil([&] {
            return SystemLog().find("Starting automatic scans", logStart) != std::string::npos;
        })) << SystemLog()
            << program.m_strErr;
        program.Signal(signal);
        // The same end as File > Exit, without its question.
        EXPECT_EQ(program.Wait(), 0) << program.m_strErr;
        const std::string log = SystemLog().substr(logStart);
        EXPECT_NE(log.find("Stopping automatic scans"), std::string::npos) << log;
        EXPECT_NE(log.find("Quorvil shutting down\n"), std::string::npos) << log;
    }
    ::close(listener);
}
