#include "common/brancmn.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "testing.h"

namespace {

// Each test gets its own HKCU.reg and state folder.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = TestDir();
        ::setenv("XDG_CONFIG_HOME", (m_strRoot + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_strRoot + "/state").c_str(), 1);
        ResetRegistryHives();
        m_strHive = m_strRoot + "/config/quorvil/HKCU.reg";
    }

    // The raw registry value, to see names, sections and types as stored.
    static const CRegValue* Raw(std::shared_ptr<const CRegKey>& tree, const char* section,
                                const char* name)
    {
        tree = GetUserHive()->Read();
        const CRegKey* key = tree->OpenKey(std::string(QUORVIL_SETTINGS_KEY) + "\\" + section);
        return key ? key->FindValue(name) : nullptr;
    }

    // The system log's lines, without their time stamps when asked.
    static std::vector<std::string> SystemLogLines(bool bUnstamped = false)
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileBytes(DefaultSystemLogPath()).value_or(""));
        for (std::string line; std::getline(in, line);)
            lines.push_back(bUnstamped ? line.substr(std::min<std::size_t>(20, line.size()))
                                       : line);
        return lines;
    }

    std::string m_strRoot;
    std::string m_strHive;
};

} // namespace

TEST_F(Settings, AbsentValuesReadAsTheirDefaultsAndSettersStoreTypedValues)
{
    const char* S = AppSettings::SECTION_SETTINGS;
    std::vector<BYTE> bytes;
    EXPECT_EQ(std::tuple(AppSettings::GetJumpToEnd(), AppSettings::GetErrorLogEnabled(),
                         AppSettings::GetAuditText(), AppSettings::GetTextEditor(),
                         AppSettings::GetFileColFlags(bytes)),
              std::tuple(1, 1, m_strRoot + "/state/quorvil/qvaudit_txt.txt", "xdg-open", FALSE));
    EXPECT_FALSE(FileExists(m_strHive.c_str())) << "reading writes nothing";

    // One setting of each type and section, as the stored value shows it.
    std::shared_ptr<const CRegKey> tree;
    ASSERT_TRUE(AppSettings::SetJumpToEnd(8));
    ASSERT_TRUE(AppSettings::SetErrorLogEnabled(0));
    ASSERT_TRUE(AppSettings::SetSQLEditor("/opt/x"));
    ASSERT_TRUE(AppSettings::SetServerColWidths({1, 0, 255}));
    EXPECT_TRUE(AppSettings::GetServerColWidths(bytes));
    EXPECT_EQ(std::tuple(AppSettings::GetJumpToEnd(), AppSettings::GetErrorLogEnabled(),
                         AppSettings::GetSQLEditor(), bytes),
              std::tuple(8, 0, "/opt/x", std::vector<BYTE>{1, 0, 255}));
    const char* Y = AppSettings::SECTION_SYSTEM;
    EXPECT_EQ(
        std::tuple(Raw(tree, S, "JumpToEnd")->m_dwType, Raw(tree, Y, "ErrorLogEnabled")->m_dwType,
                   Raw(tree, Y, "SQLEditor")->m_dwType, Raw(tree, S, "ServerColWidths")->m_dwType),
        std::tuple(REG_DWORD, REG_DWORD, REG_SZ, REG_BINARY));

    // A value of the wrong type reads as the default; WriteProfileString with
    // no value removes the entry.
    ASSERT_TRUE(AppSettings::WriteProfileString(S, "JumpToEnd", "0"));
    EXPECT_EQ(AppSettings::GetJumpToEnd(), 1);
    ASSERT_TRUE(AppSettings::SetFastMark("mark"));
    ASSERT_TRUE(AppSettings::WriteProfileString(S, "FastMark", nullptr));
    EXPECT_EQ(AppSettings::GetFastMark(), "Fast Mark -------");
    ASSERT_TRUE(AppSettings::SetAutoScan(1));
    ASSERT_TRUE(AppSettings::WriteProfileString(S, nullptr, nullptr));
    EXPECT_EQ(AppSettings::GetAutoScan(), 0);
}

TEST_F(Settings, WindowPlacementNeedsExactlyTenNumbers)
{
    WINDOWPLACEMENT placement;
    placement.showCmd = 99;
    EXPECT_FALSE(AppSettings::ReadWindowPlacement("WindowPos", placement)); // absent
    for (const char* bad : {"0,1,-1,-1,-1,-1,10,20,30", "0,1,-1,-1,-1,-1,10,20,30,x", ""}) {
        ASSERT_TRUE(AppSettings::WriteProfileString("Settings", "WindowPos", bad));
        EXPECT_FALSE(AppSettings::ReadWindowPlacement("WindowPos", placement)) << bad;
        EXPECT_EQ(placement.showCmd, 99u) << bad;
    }

    ASSERT_TRUE(
        AppSettings::WriteProfileString("Settings", "WindowPos", "2, 3,-1,-1,-8,-8,10,20,800,600"));
    ASSERT_TRUE(AppSettings::ReadWindowPlacement("WindowPos", placement));
    EXPECT_EQ(std::tuple(placement.flags, placement.showCmd, placement.ptMaxPosition.x,
                         placement.rcNormalPosition.bottom),
              std::tuple(2u, 3u, -8, 600));
    ASSERT_TRUE(AppSettings::WriteWindowPlacement("OtherPos", placement));
    EXPECT_EQ(AppSettings::GetProfileString("Settings", "OtherPos"),
              "2,3,-1,-1,-8,-8,10,20,800,600");
}

TEST_F(Settings, ExtendedAuditSnapshotChangesOnlyOnRefresh)
{
    g_bExtendedAudit = 0;
    ASSERT_TRUE(AppSettings::SetExtendedAudit(1));
    EXPECT_EQ(g_bExtendedAudit, 0);
    RefreshExtendedAudit();
    EXPECT_EQ(g_bExtendedAudit, 1);
}

TEST_F(Settings, TwoThreadsWriteWholeSystemLogLines)
{
    constexpr int LINES = 200;
    auto writer = [](char fill) {
        std::string text(900, fill);
        for (int i = 0; i < LINES; ++i) {
            if (i % 2)
                WriteSystemLog(text.c_str());
            else
                WriteSystemLogF("%s", text.c_str());
        }
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();

    std::vector<std::string> lines = SystemLogLines();
    ASSERT_EQ(lines.size(), 2u * LINES);
    int counts[2] = {0, 0};
    for (const std::string& line : lines) {
        ASSERT_GE(line.size(), 900u);
        std::string text = line.substr(line.size() - 900);
        char fill = text[0];
        ASSERT_TRUE(fill == 'a' || fill == 'b') << line;
        EXPECT_EQ(text, std::string(900, fill));
        EXPECT_EQ(line.size(), 20u + 900u) << "a stamp of 20 characters, then the text";
        ++counts[fill - 'a'];
    }
    EXPECT_EQ(counts[0], LINES);
    EXPECT_EQ(counts[1], LINES);
}

TEST_F(Settings, LongFormattedLinesAreCutAtACharacterBoundary)
{
    std::string text = std::string(998, 'x') + "\xC3\xA9 and more";
    WriteSystemLogF("%s", text.c_str());
    EXPECT_EQ(SystemLogLines(true), std::vector<std::string>{std::string(998, 'x')});
}

TEST_F(Settings, DamagedSettingsFileGivesOneLogLineDefaultsAndABackup)
{
    const std::string damaged = "Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Brannick\\Quorvil\\Settings]\r\n"
                                "\"JumpToEnd\"=dword:00000000\r\n"
                                "\"AutoScan\"=dword:1 # not allowed here\r\n";
    ASSERT_TRUE(AtomicWriteFile(m_strHive, damaged));

    EXPECT_EQ(AppSettings::GetJumpToEnd(), 1);
    EXPECT_EQ(AppSettings::GetAutoScan(), 0);
    WriteSystemLog("after the damage");
    EXPECT_EQ(AppSettings::GetFastMark(), "Fast Mark -------");

    const std::vector<std::string> lines = {
        "Settings file " + m_strHive +
            " is damaged (line 5: text after the value); the defaults are used, and the file is "
            "kept as " +
            m_strHive + ".bad when the settings are next saved.",
        "after the damage"};
    EXPECT_EQ(SystemLogLines(true), lines);
    EXPECT_EQ(ReadFileBytes(m_strHive), damaged) << "nothing is written over it by reading";

    ASSERT_TRUE(AppSettings::SetAutoScan(1));
    EXPECT_EQ(std::tuple(ReadFileBytes(m_strHive + ".bad").value_or(""), AppSettings::GetAutoScan(),
                         AppSettings::GetJumpToEnd(), SystemLogLines(true)),
              std::tuple(damaged, 1, 1, lines));
}

TEST_F(Settings, RepeatedLinesOfAScanAreWrittenOnceWithTheirCount)
{
    {
        CSystemLogRepeatScope scan;
        WriteSystemLog("registry key missing");
        WriteSystemLogF("%s", "other");
        {
            CSystemLogRepeatScope nested; // a scan inside the scan reports nothing of its own
            WriteSystemLog("registry key missing");
        }
        WriteSystemLog("registry key missing");
    }
    WriteSystemLog("other"); // outside a scan every line is written
    WriteSystemLog("other");
    EXPECT_EQ(SystemLogLines(true),
              (std::vector<std::string>{"registry key missing", "other",
                                        "Repeated 2 more times in this scan: registry key missing",
                                        "other", "other"}));
}

TEST_F(Settings, SystemLogAndAuditFilesAreCappedButMarksAreNot)
{
    EXPECT_EQ(AppSettings::GetMaxLogSizeKB(), 10240);
    ASSERT_TRUE(AppSettings::SetMaxLogSizeKB(1));
    const std::string audit = m_strRoot + "/audit.txt";
    const std::string watched = m_strRoot + "/watched.log";
    const std::string line(100, 'y');
    for (int i = 0; i < 30; ++i) {
        WriteSystemLog(line.c_str());
        LogToFile(audit.c_str(), line.c_str(), 1);
        LogToFile(watched.c_str(), line.c_str(), 0);
    }
    for (const std::string& path : {DefaultSystemLogPath(), audit}) {
        EXPECT_LE(ReadFileBytes(path).value_or("").size(), 1024u) << path;
        EXPECT_GT(ReadFileBytes(RotatedLogPath(path)).value_or("").size(), 0u) << path;
    }
    EXPECT_EQ(ReadFileBytes(watched).value_or("").size(), 30u * 101u)
        << "a user's log is never cut";
    EXPECT_FALSE(ReadFileBytes(RotatedLogPath(watched)));
}

TEST_F(Settings, LogFilesAreDeletedThroughUncPaths)
{
    const std::string share = *GetComputerFolder(nullptr, ERROR_BAD_NETPATH) + "/C$";
    ASSERT_TRUE(EnsureDirectory(share));
    ASSERT_TRUE(AtomicWriteFile(share + "/qvaudit.txt", "x"));
    EXPECT_TRUE(DeleteLogFile("\\\\TESTHOST\\C$\\qvaudit.txt"));
    EXPECT_FALSE(ReadFileBytes(share + "/qvaudit.txt"));
    EXPECT_FALSE(DeleteLogFile("\\\\TESTHOST\\C$\\qvaudit.txt"));
}
