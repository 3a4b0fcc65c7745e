#include <gmock/gmock.h>

#include "platform/base/fileio.h"
#include "platform/eventlog/evtformat.h"
#include "platform/network/network.h"
#include "testing.h"
#include "tools/qvevent/qvevent.h"

using testing::HasSubstr;
using testing::Not;

namespace fs = std::filesystem;

namespace {

class QvEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strNetwork = TestDir();
        fs::create_directories(m_strNetwork + "/CORP/SRV1");
    }
    void TearDown() override { SetNetworkRoot(""); }

    // Runs qvevent --network <test network> args...
    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--network", m_strNetwork});
        std::ostringstream out;
        std::ostringstream err;
        int status = RunQvEvent(args, out, err);
        m_strOut = out.str();
        m_strErr = err.str();
        return status;
    }

    // Every file below the network with a hash of its contents.
    std::map<std::string, std::size_t> Snapshot() const
    {
        std::map<std::string, std::size_t> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_strNetwork)) {
            if (entry.is_regular_file())
                files[entry.path().string()] =
                    std::hash<std::string>{}(*ReadFileBytes(entry.path()));
        }
        return files;
    }

    std::string m_strNetwork;
    std::string m_strOut;
    std::string m_strErr;
};

TEST_F(QvEventTest, ReportedEventsReadBackAsTextAndJson)
{
    ASSERT_EQ(Run({"report", "-l", "application", "-s", "Tester", "-t", "warning", "-i", "0x2A",
                   "-g", "3", "-u", "S-1-5-18", "disk \"C:\" full", "second"}),
              0)
        << m_strErr;
    ASSERT_EQ(Run({"report", "-c", "\\\\testhost", "-l", "Application", "-s", "Tester", "third"}),
              0);
    ASSERT_EQ(Run({"report", "-l", "Application", "-s", "Tester", "-t", "17"}), 0);

    ASSERT_EQ(Run({"read", "-l", "Application"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("#1  "));
    EXPECT_THAT(m_strOut,
                HasSubstr("Warning  Tester  Category 3  ID 42  User SYSTEM  Computer TESTHOST\n"
                          "    disk \"C:\" full, second\n"));
    EXPECT_THAT(m_strOut, HasSubstr("  17  Tester"));

    ASSERT_EQ(Run({"read", "-l", "Application", "--json", "--from", "2", "--backwards"}), 0);
    EXPECT_EQ(std::count(m_strOut.begin(), m_strOut.end(), '\n'), 4) << m_strOut;
    EXPECT_LT(m_strOut.find("\"record\":3"), m_strOut.find("\"record\":2"));
    EXPECT_THAT(m_strOut, Not(HasSubstr("\"record\":1")));
    EXPECT_THAT(m_strOut, HasSubstr("\"strings\":[\"third\"]"));

    ASSERT_EQ(Run({"read", "-l", "Application", "--json", "--to", "1"}), 0);
    EXPECT_THAT(m_strOut,
                HasSubstr("\"strings\":[\"disk \\\"C:\\\" full\",\"second\"],\"data\":\"\""));
    EXPECT_THAT(m_strOut, HasSubstr("\"sid\":\"S-1-5-18\""));

    ASSERT_EQ(Run({"info", "-l", "Application", "--json"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("\"oldest\":1,\"count\":3,\"newest\":3,\"size\":65536"));
}

TEST_F(QvEventTest, AdministersLogsSourcesAndBackups)
{
    ASSERT_EQ(
        Run({"add-log", "-c", "srv1", "-l", "Custom", "--max-size", "131072", "--retention", "0"}),
        0)
        << m_strErr;
    fs::create_directories(m_strNetwork + "/CORP/SRV1/C$/app");
    std::ofstream(m_strNetwork + "/CORP/SRV1/C$/app/msgs.mc")
        << "MessageId=1\nLanguage=English\nHello %1.\n.\n";
    ASSERT_EQ(Run({"add-source", "-c", "SRV1", "-l", "custom", "-s", "Mine", "--message-file",
                   "C:\\app\\msgs.mc", "--types", "7", "--category-count", "2"}),
              0)
        << m_strErr;
    ASSERT_EQ(Run({"logs", "-c", "SRV1"}), 0);
    EXPECT_EQ(m_strOut, "Application\nCustom\nSecurity\nSystem\n");
    ASSERT_EQ(Run({"report", "-c", "SRV1", "-l", "Custom", "-s", "Mine", "-i", "1", "world"}), 0);
    ASSERT_EQ(Run({"read", "-c", "SRV1", "-l", "Custom"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("Hello world."));
    ASSERT_EQ(Run({"info", "-c", "SRV1", "-l", "Custom"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("Count:     1\n"));
    EXPECT_THAT(m_strOut, HasSubstr("MaxSize:   131072\n"));

    std::string saved = m_strNetwork + "/saved.evt";
    ASSERT_EQ(Run({"backup", "-c", "SRV1", "-l", "Custom", saved}), 0) << m_strErr;
    EXPECT_TRUE(fs::exists(saved));
    ASSERT_EQ(
        Run({"clear", "-c", "SRV1", "-l", "Custom", "--backup", m_strNetwork + "/cleared.evt"}), 0);
    ASSERT_EQ(Run({"read", "-c", "SRV1", "-l", "Custom"}), 0);
    EXPECT_EQ(m_strOut, "");
    ASSERT_EQ(Run({"computers"}), 0);
    EXPECT_EQ(m_strOut, "CORP\\SRV1\n");
}

// A damaged log: check says where (status 1), report refuses with the place
// and the way out, repair keeps the damaged file. (The records kept and their
// numbers are the event log's own tests.)
TEST_F(QvEventTest, DamagedLogIsCheckedRepairedAndNeverRenumbered)
{
    for (const char* text : {"one", "two", "three", "four"})
        ASSERT_EQ(Run({"report", "-l", "System", "-s", "Disk", text}), 0);
    const std::string path = m_strNetwork + "/WORKGROUP/TESTHOST/eventlog/System.evt";
    ASSERT_EQ(Run({"check", "-l", "System"}), 0) << m_strOut;
    EXPECT_EQ(m_strOut, "System: not damaged, 4 records\n");

    // Bytes inserted into record 2.
    std::string bytes = *ReadFileBytes(path);
    const std::size_t record2 = 0x30 + GetLe32(reinterpret_cast<const BYTE*>(bytes.data()) + 0x30);
    bytes.insert(record2 + 40, "inserted");
    std::ofstream(path, std::ios::binary) << bytes;

    EXPECT_EQ(Run({"check", "-l", "System"}), 1);
    EXPECT_THAT(m_strOut,
                HasSubstr("System: damaged at offset " + std::to_string(record2) +
                          ", 3 intact records\n  offset " + std::to_string(record2) + ": "));
    EXPECT_THAT(m_strOut, HasSubstr(" bytes skipped between record 1 and record 3\n"));
    EXPECT_EQ(Run({"report", "-l", "System", "-s", "Disk", "five"}), 1);
    EXPECT_EQ(m_strErr, "qvevent: cannot report the event: the event log " + path +
                            " is damaged at offset " + std::to_string(record2) +
                            "; run qvevent repair\n");

    ASSERT_EQ(Run({"repair", "-l", "System"}), 0) << m_strErr;
    EXPECT_THAT(m_strOut, HasSubstr("System: repaired, 3 intact records kept"));
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
        if (entry.path().filename().string().starts_with("System.evt.damaged-")) {
            ++backups;
            EXPECT_EQ(*ReadFileBytes(entry.path()), bytes);
        }
    }
    EXPECT_EQ(backups, 1);
    EXPECT_EQ(Run({"check", "-l", "System"}), 0);
    ASSERT_EQ(Run({"report", "-l", "System", "-s", "Disk", "five"}), 0);
    ASSERT_EQ(Run({"repair", "-l", "System"}), 0);
    EXPECT_EQ(m_strOut, "System: not damaged, nothing changed\n");
}

// A record larger than any read is listed as such, and reading goes on; a
// range before it never reaches it.
TEST_F(QvEventTest, RecordTooLargeToReadIsListedAndReadingGoesOn)
{
    ASSERT_EQ(Run({"add-log", "-l", "Big", "--max-size", "4194304"}), 0);
    ASSERT_EQ(Run({"report", "-l", "Big", "-s", "B", "small"}), 0);
    std::vector<std::string> huge = {"report", "-l", "Big", "-s", "B"};
    for (int i = 0; i < 20; ++i)
        huge.push_back(std::string(30000, 'h'));
    ASSERT_EQ(Run(huge), 0) << m_strErr;
    ASSERT_EQ(Run({"report", "-l", "Big", "-s", "B", "after"}), 0);

    ASSERT_EQ(Run({"read", "-l", "Big", "--from", "1", "--to", "1"}), 0) << m_strErr;
    EXPECT_THAT(m_strOut, HasSubstr("small"));
    EXPECT_THAT(m_strOut, Not(HasSubstr("#2")));
    for (bool backwards : {false, true}) {
        std::vector<std::string> args = {"read", "-l", "Big"};
        if (backwards)
            args.push_back("--backwards");
        ASSERT_EQ(Run(args), 0) << m_strErr;
        EXPECT_THAT(m_strOut, HasSubstr("#2  too large to read: "));
        EXPECT_THAT(m_strOut, HasSubstr("small"));
        EXPECT_THAT(m_strOut, HasSubstr("after"));
    }

    // Events too large say which value is too large and its limit.
    EXPECT_EQ(Run({"report", "-l", "Big", "-s", "B", "ok", std::string(40000, 's')}), 1);
    EXPECT_EQ(m_strErr, "qvevent: cannot report the event to log Big (" + m_strNetwork +
                            "/WORKGROUP/TESTHOST/eventlog/Big.evt" +
                            "): string 2 has 40000 UTF-16 characters, more than the limit of "
                            "32767\n");
    ASSERT_EQ(Run({"add-log", "-l", "Small", "--max-size", "65536"}), 0);
    EXPECT_EQ(
        Run({"report", "-l", "Small", "-s", "B", std::string(30000, 'a'), std::string(30000, 'b')}),
        1);
    EXPECT_NE(m_strErr.find("bytes, more than log Small ("), std::string::npos) << m_strErr;
    EXPECT_NE(m_strErr.find("Small.evt) can hold with its maximum size of 65536 bytes\n"),
              std::string::npos)
        << m_strErr;
}

TEST_F(QvEventTest, BadInputExitsTwoWithOneLineAndChangesNothing)
{
    ASSERT_EQ(Run({"report", "-l", "System", "-s", "Disk", "first"}), 0);
    ASSERT_EQ(Run({"add-source", "-l", "System", "-s", "Disk"}), 0);
    ASSERT_EQ(Run({"backup", "-l", "System", m_strNetwork + "/taken.evt"}), 0);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"read", "-l", "System", "--bogus"},
        {"read", "-l", "NoSuchLog"},
        {"read", "-c", "\\\\NOWHERE", "-l", "System"},
        {"report", "-l", "Application", "-s", "Disk", "moved"},
        {"clear", "-l", "System", "--backup", m_strNetwork + "/taken.evt"},
        {"backup", "-l", "System", m_strNetwork + "/taken.evt"},
        {"add-source", "-l", "Application", "-s", "Disk"},
    };
    auto before = Snapshot();
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args)
            shown += arg + " ";
        EXPECT_EQ(Run(args), 2) << shown;
        EXPECT_TRUE(m_strOut.empty()) << shown;
        EXPECT_EQ(std::count(m_strErr.begin(), m_strErr.end(), '\n'), 1) << shown << m_strErr;
        EXPECT_TRUE(m_strErr.starts_with("qvevent: ")) << shown << m_strErr;
        EXPECT_EQ(Snapshot(), before) << shown;
    }
    // A network that is a file or no folder at all is refused, not made.
    for (const std::string& network : {m_strNetwork + "/taken.evt", m_strNetwork + "/missing"}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunQvEvent({"--network", network, "logs"}, out, err), 2) << network;
        const std::string text = err.str();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_FALSE(fs::exists(m_strNetwork + "/missing"));
    }
    ASSERT_EQ(Run({"--help"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("Usage: qvevent"));
}

} // namespace
