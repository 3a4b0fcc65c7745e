// The desktop program as a process: SIGTERM ends it the way File > Exit
// does, without its question.
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "isolated_env.h"
#include "platform/base/fileio.h"
#include "program.h"

namespace {

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

TEST(Desktop, EndsCleanlyOnSigterm)
{
    const std::string root = TestRoot() + "/desktop-sigterm";
    for (const char* dir : {"config/quorvil", "state", "data", "network"})
        ASSERT_TRUE(EnsureDirectory(root + "/" + dir));
    // A display that answers: a listening socket named by WAYLAND_DISPLAY;
    // the window itself goes to Qt's offscreen platform.
    const std::string display = root + "/wayland-test";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(display.size(), sizeof addr.sun_path);
    display.copy(addr.sun_path, display.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    const std::vector<std::string> env = {
        "XDG_CONFIG_HOME=" + root + "/config", "XDG_STATE_HOME=" + root + "/state",
        "XDG_DATA_HOME=" + root + "/data",     "QUORVIL_NETWORK=" + root + "/network",
        "QUORVIL_COMPUTERNAME=TESTHOST",       "DISPLAY=",
        "WAYLAND_DISPLAY=" + display,          "QT_QPA_PLATFORM=offscreen"};
    ASSERT_TRUE(AtomicWriteFile(root + "/app.log", "start\nMemory Error 1\n"));
    ASSERT_TRUE(AtomicWriteFile(
        root + "/ws.json",
        R"({ "logs": [ { "kind": "text", "interval": 1, "description": "App Log", "directory": ")" +
            root + R"(/", "fileName": "app.log",
        "groups": [ { "description": "Memory", "keys": [ { "kind": "text", "key1": "Memory Error" } ],
          "task": { "actions": [ { "kind": "writefile", "path": ")" +
            root + R"(/hits.txt", "text": "%EVENT_TEXT%" } ] } } ] } ] })"));
    const std::string ws = root + "/ws.qvw";
    ASSERT_EQ(RunProgram({QVWS_EXE, "load", root + "/ws.json", ws}, env), 0);
    ASSERT_TRUE(AtomicWriteFile(root + "/config/quorvil/HKCU.reg",
                                "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Brannick\\Quorvil\\Settings]\n"
                                "\"FirstTimeFlag\"=dword:00000001\n"
                                "\"ReloadWorkspace\"=dword:00000001\n"
                                "\"AutoScan\"=dword:00000001\n"
                                "\"AutoSave\"=dword:00000001\n"));
    auto systemLog = [&] {
        return ReadFileBytes(root + "/state/quorvil/quorvil.log").value_or("");
    };

    CProgram program({QUORVIL_EXE, "/nologo", ws}, env);
    ASSERT_TRUE(WaitUntil([&] {
        return systemLog().find("Starting automatic scans") != std::string::npos;
    })) << systemLog()
        << program.m_strErr;
    program.Signal(SIGTERM);
    // The same end as File > Exit, without its question.
    EXPECT_EQ(program.Wait(), 0) << program.m_strErr;
    ::close(listener);
    const std::string log = systemLog();
    EXPECT_NE(log.find("Stopping automatic scans"), std::string::npos) << log;
    EXPECT_NE(log.find("Quorvil shutting down\n"), std::string::npos) << log;
}
