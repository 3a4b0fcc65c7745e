#pragma once
// A test that runs the project's programs as processes, each test with its
// own settings, state, data and network folders below TestDir(). The test
// target defines QVWS_EXE.
#include "platform/base/fileio.h"
#include "program.h"
#include "testing.h"

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = TestDir();
        for (const char* dir : {"config/quorvil", "state", "data", "network"})
            ASSERT_TRUE(EnsureDirectory(m_strRoot + "/" + dir));
    }

    std::string Path(const std::string& name) const { return m_strRoot + "/" + name; }

    // The programs' environment: the test's folders, no display and no
    // service manager.
    std::vector<std::string> Env() const
    {
        return {"XDG_CONFIG_HOME=" + Path("config"),
                "XDG_STATE_HOME=" + Path("state"),
                "XDG_DATA_HOME=" + Path("data"),
                "QUORVIL_NETWORK=" + Path("network"),
                "QUORVIL_COMPUTERNAME=TESTHOST",
                "DISPLAY=",
                "WAYLAND_DISPLAY=",
                "NOTIFY_SOCKET=",
                "JOURNAL_STREAM=",
                "WATCHDOG_USEC="};
    }

    // Builds the workspace ws.qvw from the JSON text with qvws.
    void Load(const std::string& json)
    {
        ASSERT_TRUE(AtomicWriteFile(Path("ws.json"), json));
        std::string err;
        ASSERT_EQ(
            RunProgram({QVWS_EXE, "load", Path("ws.json"), Path("ws.qvw")}, Env(), nullptr, &err),
            0)
            << err;
    }

    // A workspace with one text log, app.log in the test's folder, read each
    // second, whose group catches "Memory Error" and runs the actions (JSON).
    std::string AppLogJson(const std::string& actions, unsigned position = 0) const
    {
        return R"({ "logs": [ { "kind": "text", "interval": 1, "description": "App Log", "directory": ")" +
               m_strRoot + R"(/", "fileName": "app.log", "position": )" + std::to_string(position) +
               R"(, "groups": [ { "description": "Memory", "keys": [ { "kind": "text", "key1": "Memory Error" } ],
          "task": { "actions": [ )" +
               actions + " ] } } ] } ] }";
    }

    std::string SystemLog() const
    {
        return ReadFileBytes(Path("state/quorvil/quorvil.log")).value_or("");
    }

    std::string m_strRoot;
};
