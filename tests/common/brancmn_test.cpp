#include "common/brancmn.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "testing.h"

namespace {

constexpr std::int64_t NOW = 1'700'000'000;

// Each test gets its own settings and state folders and a fixed clock.
class BranCmn : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = TestDir();
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ResetRegistryHives();
        SetClock(&m_clock);
    }
    void TearDown() override { SetClock(nullptr); }

    static std::string Stamp() { return CTime(NOW).Format("%Y-%m-%d %H:%M:%S "); }
    static std::string SystemLog() { return ReadFileBytes(DefaultSystemLogPath()).value_or(""); }
    static void SetSystem(const char* name, const char* text, DWORD number, bool isText)
    {
        CRegistry reg;
        std::string key = std::string(QUORVIL_SETTINGS_KEY) + "\\System";
        ASSERT_TRUE(reg.CreateKey(HKEY_CURRENT_USER, key.c_str()));
        ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.c_str()));
        ASSERT_TRUE(isText ? reg.Write(name, text) : reg.Write(name, number));
    }

    std::string m_strRoot;
    CManualClock m_clock{NOW};
};

} // namespace

TEST(BranCmnPaths, SplitAndTrim)
{
    // The path, its folder and its file name.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/var/log/app.log", "/var/log/", "app.log"},
        {"app.log", "", "app.log"},
        {"/dir/", "/dir/", ""},
        {"\\\\SRV\\C$\\logs\\a.log", "\\\\SRV\\C$\\logs\\", "a.log"},
        {"C:\\qvaudit_txt.txt", "C:\\", "qvaudit_txt.txt"},
    };
    char out[MAX_PATH];
    for (const auto& [path, folder, file] : cases) {
        JustPathname(out, path);
        EXPECT_EQ(std::tuple(std::string(out), std::string(JustFilename(path))),
                  std::tuple(folder, file))
            << path;
    }
    std::string longPath(400, 'd');
    longPath += "/f";
    JustPathname(out, longPath.c_str());
    EXPECT_EQ(std::string(out), longPath.substr(0, MAX_PATH - 1));

    EXPECT_TRUE(FileExists("/"));
    EXPECT_FALSE(FileExists((TestRoot() + "/no such file").c_str()));
    EXPECT_NE(GetFreeDiskSpaceAsString(TestRoot().c_str()).find(" MB free"), std::string::npos);
}

TEST_F(BranCmn, LogToFileStampsOnlyWithTheFlagAndCreatesTheFolder)
{
    std::string path = m_strRoot + "/audit/deeper/qvaudit_txt.txt";
    EXPECT_EQ(LogToFile(path.c_str(), "Quorvil starting ****************", 1), 1);
    EXPECT_EQ(LogToFile(path.c_str(), "Fast Mark -------\r\n", 0), 1);
    EXPECT_EQ(ReadFileBytes(path),
              Stamp() + "Quorvil starting ****************\nFast Mark -------\n");

    ASSERT_TRUE(AtomicWriteFile(m_strRoot + "/plain", "x"));
    EXPECT_EQ(LogToFile((m_strRoot + "/plain/x.txt").c_str(), "line", 1), 0);
    EXPECT_EQ(LogToFile("", "line", 1), 0);
}

TEST_F(BranCmn, LogErrorFollowsTheSystemSettings)
{
    // Absent settings: the default file.
    EXPECT_TRUE(LogError("first\n"));
    EXPECT_EQ(SystemLog(), Stamp() + "first\n");

    // A changed path takes effect at the next line.
    std::string other = m_strRoot + "/elsewhere/quorvil.log";
    SetSystem("ErrorLog", other.c_str(), 0, true);
    EXPECT_TRUE(LogError("second"));
    EXPECT_EQ(ReadFileBytes(other), Stamp() + "second\n");

    SetSystem("ErrorLogEnabled", nullptr, 0, false);
    EXPECT_TRUE(LogError("suppressed"));
    SetLastError(ERROR_ACCESS_DENIED);
    LogLastError();
    SetSystem("ErrorLogEnabled", nullptr, 1, false);
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(LogLastError());
    EXPECT_EQ(ReadFileBytes(other),
              Stamp() + "second\n" + Stamp() + "Last system error 5: Access is denied.\n");
    EXPECT_EQ(SystemLog(), Stamp() + "first\n");

    // Standard error is no terminal under the test runner.
    EXPECT_TRUE(LogDiagnostics("Scan thread launched id: 7"));
    EXPECT_NE(ReadFileBytes(other)->find("Scan thread launched id: 7\n"), std::string::npos);
}

TEST_F(BranCmn, UnwritableSystemLogGoesToStandardErrorOnce)
{
    ASSERT_TRUE(AtomicWriteFile(m_strRoot + "/blocker", "a file where a folder should be"));
    std::string path = m_strRoot + "/blocker/logs/quorvil.log";
    SetSystem("ErrorLog", path.c_str(), 0, true);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(LogError("Scan error on log 3"));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Quorvil: cannot write the system log " + path +
                       " (The directory name is invalid.): " + Stamp() + "Scan error on log 3\n");

    // The program goes on: a writable log works again at once.
    SetSystem("ErrorLog", (m_strRoot + "/ok.log").c_str(), 0, true);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(LogError("next"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(BranCmn, RegistryRegistersAnEventSourceOnTheLocalComputer)
{
    const char* key = "System\\CurrentControlSet\\Services\\EventLog\\Application\\Quorvil";
    CRegistry reg(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.VerifyKey(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(reg.Open(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(reg.Write("TypesSupported", DWORD{7}));

    ASSERT_TRUE(reg.CreateKey(HKEY_LOCAL_MACHINE, key));
    ASSERT_TRUE(reg.Open(HKEY_LOCAL_MACHINE,
                         "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QUORVIL"));
    EXPECT_TRUE(reg.Write("TypesSupported", 7));
    EXPECT_TRUE(reg.Write("EventMessageFile", "\"/usr/bin/quorvil\""));
    DWORD types = 0;
    std::string file;
    EXPECT_TRUE(reg.Read("TypesSupported", types));
    EXPECT_TRUE(reg.Read("EventMessageFile", file));
    EXPECT_EQ(types, 7u);
    EXPECT_EQ(file, "\"/usr/bin/quorvil\"");
    EXPECT_TRUE(reg.DeleteValue("TypesSupported"));
    EXPECT_FALSE(reg.DeleteValue("TypesSupported"));
    reg.Close();

    // It is the local computer's HKLM.reg in the network.
    auto folder = GetComputerFolder(nullptr, ERROR_BAD_NETPATH);
    ASSERT_TRUE(folder);
    CRegHive hklm(*folder + "/HKLM.reg", "HKEY_LOCAL_MACHINE");
    auto tree = hklm.Read();
    ASSERT_NE(tree, nullptr);
    EXPECT_NE(tree->OpenKey(key)->FindValue("EventMessageFile"), nullptr);
}
