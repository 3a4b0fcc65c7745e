#include "app/commandline.h"
#include "app/launchers.h"
#include "app/recentfiles.h"
#include "app/startup.h"
#include "common/brancmn.h"
#include "core/frontend.h"
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "testing.h"

namespace {

// Each test gets its own settings and state folders.
class App : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = TestDir();
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ResetRegistryHives();
        ASSERT_TRUE(EnsureDirectory(m_strRoot));
    }

    std::string SystemLog() const { return ReadFileBytes(DefaultSystemLogPath()).value_or(""); }

    std::string m_strRoot;
};

// Records the message boxes instead of showing them.
class CRecordingFrontEnd final : public IFrontEnd {
public:
    int MessageBox(const std::string& text, UINT type) override
    {
        m_texts.push_back(text);
        return DefaultAnswer(type);
    }
    std::vector<std::string> m_texts;
};

bool WaitForFile(const std::string& path)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!FileExists(path.c_str())) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

TEST(CommandLine, SwitchesFilesAndErrors)
{
    // The arguments, the error (empty: parses), the workspace, whether the
    // window hides, the script, and the one switch ignored.
    const std::tuple<std::vector<std::string>, std::string, std::string, BOOL, BOOL, std::string,
                     std::string>
        cases[] = {
            {{"w.qvw"}, "", "w.qvw", 0, 0, "", ""},
            {{"/h", "w.qvw"}, "", "w.qvw", 1, 0, "", ""},
            {{"w.qvw", "/S:Script.TXT"}, "", "w.qvw", 0, 1, "script.txt", ""},
            {{"-s:/Tmp/Roll.qvs"}, "", "", 0, 1, "/tmp/roll.qvs", ""},
            // "s:" alone is no script switch, and nothing else takes it.
            {{"/s:"}, "", "", 0, 0, "", ""},
            // Unknown switches are ignored with a warning; the rest still counts.
            {{"-x", "w.qvw", "/h"}, "", "w.qvw", 1, 0, "", "ignoring unknown option '-x'"},
            // An unknown long option is an error: a typo of --once must not run
            // the program for ever.
            {{"--frobnicate", "/s:r.qvs"}, "unknown option '--frobnicate'", "", 0, 1, "r.qvs", ""},
            {{"a.qvw", "b.qvw"},
             "more than one workspace file: 'a.qvw' and 'b.qvw'",
             "a.qvw",
             0,
             0,
             "",
             ""},
        };
    for (const auto& [args, error, file, bHide, bScript, script, warning] : cases) {
        CQuorvilCommandLineInfo info;
        const bool ok = ParseCommandLine(args, info);
        EXPECT_EQ(std::tuple(ok, info.m_strError, info.m_strFileName, info.m_nShellCommand,
                             info.m_bHideWindow, info.m_bRunScript, info.m_strScriptFile,
                             info.m_arrWarnings),
                  std::tuple(error.empty(), error, file,
                             file.empty() ? CQuorvilCommandLineInfo::FileNew
                                          : CQuorvilCommandLineInfo::FileOpen,
                             bHide, bScript, script,
                             warning.empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{warning}))
            << args.front();
    }

    CQuorvilCommandLineInfo info;
    ASSERT_TRUE(ParseCommandLine({"--headless", "--once", "--yes", "/nologo"}, info));
    EXPECT_TRUE(info.m_bHeadless && info.m_bOnce && info.m_bYes);
    EXPECT_FALSE(info.m_bShowSplash);
}

TEST_F(App, ScriptFileKeepsItsCaseWhenOnlyThatSpellingExists)
{
    ASSERT_TRUE(AtomicWriteFile(m_strRoot + "/Roll.qvs", "; nothing\n"));
    CQuorvilCommandLineInfo info;
    ASSERT_TRUE(ParseCommandLine({"w.qvw", "/s:" + m_strRoot + "/Roll.qvs"}, info));
    EXPECT_EQ(ResolveScriptFile(info), m_strRoot + "/Roll.qvs");
    // A name that exists in neither spelling stays lower-cased, for the
    // error message.
    ASSERT_TRUE(ParseCommandLine({"/s:" + m_strRoot + "/Missing.qvs"}, info));
    EXPECT_EQ(ResolveScriptFile(info), info.m_strScriptFile);
}

TEST(AuditBackup, NameEndsAtTheFirstDotOfThePath)
{
    EXPECT_EQ(AuditBackupName("C:\\logs.old\\audit.txt"), "C:\\logs.bak");
    EXPECT_EQ(AuditBackupName("/var/log/audit"), "/var/log/audit.bak");
    EXPECT_EQ(AuditBackupName("/home/ops/.local/state/quorvil/qvaudit_evn.txt"),
              "/home/ops/.local/state/quorvil/qvaudit_evn.bak");
}

TEST_F(App, RecentFilesKeepFourNewestFirstInTheSettings)
{
    CRecentFileList list;
    for (const char* name :
         {"/w/a.qvw", "/w/b.qvw", "/w/c.qvw", "/w/a.qvw", "/w/d.qvw", "/w/e.qvw"})
        list.Add(name);
    list.WriteList();
    EXPECT_EQ(std::pair(AppSettings::GetProfileString("Recent File List", "File1"),
                        AppSettings::GetProfileString("Recent File List", "File4")),
              std::pair(std::string("/w/e.qvw"), std::string("/w/c.qvw")));

    // An empty entry between two is skipped when reading.
    AppSettings::WriteProfileString("Recent File List", "File2", "");
    CRecentFileList read;
    read.ReadList();
    EXPECT_EQ(std::tuple(read.GetCount(), read[0], read[1], read[2], read[3]),
              std::tuple(3, "/w/e.qvw", "/w/a.qvw", "/w/c.qvw", ""));
}

TEST_F(App, LaunchersStartTheirProgramOrReportWhyNot)
{
    CRecordingFrontEnd frontEnd;
    SetFrontEnd(&frontEnd);
    EXPECT_FALSE(LaunchCommandBox("x"));
    EXPECT_FALSE(LaunchCommandBox("\\\\SRV\\C$"));
    SetFrontEnd(nullptr);
    EXPECT_EQ(frontEnd.m_texts,
              (std::vector<std::string>{"The path you specified is not in a recognised format.",
                                        "UNC paths are not allowed for command boxes!"}));

    // The editor gets the path as its last word.
    const std::string opened = m_strRoot + "/opened.txt";
    AppSettings::SetTextEditor("touch");
    EXPECT_TRUE(LaunchEditor(opened));
    EXPECT_TRUE(WaitForFile(opened));

    AppSettings::SetTextEditor((m_strRoot + "/no-such-editor").c_str());
    EXPECT_FALSE(LaunchEditor(opened));
    EXPECT_NE(SystemLog().find("Launch error: 2, 00000002\n"), std::string::npos) << SystemLog();
}
