// The event log tool's rendered descriptions and its check of message files.
#include <gmock/gmock.h>

#include "platform/base/fileio.h"
#include "testing.h"
#include "tools/qvevent/qvevent.h"

namespace {

using ::testing::HasSubstr;

class QvEventRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strNetwork = TestDir();
        const std::string system32 = m_strNetwork + "/CORP/SRV/C$/WINDOWS/system32/";
        ASSERT_TRUE(EnsureDirectory(system32));
        std::filesystem::copy_file(RENDER_APP_MODULE, system32 + "app.dll");
        std::filesystem::copy_file(RENDER_DATA_DIR "/params.mc", system32 + "params.mc");
    }

    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--network", m_strNetwork});
        std::ostringstream out, err;
        int status = RunQvEvent(args, out, err);
        m_strOut = out.str();
        m_strErr = err.str();
        return status;
    }

    std::string m_strNetwork, m_strOut, m_strErr;
};

TEST_F(QvEventRenderTest, AddSourceChecksTheFilesAndReadRendersWithThem)
{
    const std::vector<std::string> add = {"add-source",  "-c", "SRV",   "-l",
                                          "Application", "-s", "AppSrc"};
    struct {
        std::vector<std::string> m_args;
        std::string m_strError; // empty when it is accepted
    } const cases[] = {
        {{"--message-file", "C:\\WINDOWS\\system32\\nothere.dll"},
         "qvevent: message file \"C:\\WINDOWS\\system32\\nothere.dll\" cannot be loaded on SRV: "
         "The system cannot find the file specified. (2)\n"},
        {{"--parameter-file", "/opt/app/params.mc"},
         "qvevent: parameter file \"/opt/app/params.mc\" is no path on SRV (give C:\\... or "
         "\\\\COMPUTER\\SHARE\\...)\n"},
        {{"--category-file", "\\\\SRV\\C$\\WINDOWS\\system32\\app.dll"},
         "qvevent: category file \"\\\\SRV\\C$\\WINDOWS\\system32\\app.dll\" is no path on SRV "
         "(give C:\\...)\n"},
        {{"--message-file",
          "%SystemRoot%\\system32\\params.mc;\\\\SRV\\C$\\WINDOWS\\system32\\app.dll",
          "--category-file", "%SystemRoot%\\system32\\app.dll", "--parameter-file",
          "C:\\WINDOWS\\system32\\params.mc"},
         ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = add;
        args.insert(args.end(), c.m_args.begin(), c.m_args.end());
        EXPECT_EQ(Run(args), c.m_strError.empty() ? 0 : 2) << c.m_args[1];
        EXPECT_EQ(m_strErr, c.m_strError);
        // Nothing registered by a refusal.
        ASSERT_EQ(Run({"read", "-c", "SRV", "-l", "Application"}), 0);
    }

    ASSERT_EQ(Run({"report", "-c", "SRV", "-l", "Application", "-s", "AppSrc", "-i", "7", "-g", "2",
                   "%%5", "b", "c", "d", "e"}),
              0);
    ASSERT_EQ(Run({"report", "-c", "SRV", "-l", "Application", "-s", "Unknown", "-i", "9", "one"}),
              0);
    ASSERT_EQ(Run({"read", "-c", "SRV", "-l", "Application"}), 0);
    EXPECT_THAT(m_strOut, HasSubstr("  ID 7  User N/A  Computer TESTHOST\n"
                                    "    %%5, b, c, d, e\n"
                                    "    Category: Network\n"
                                    "    Description:\n"
                                    "        [Administrators|b|c|d|e]\n#2"));
    EXPECT_THAT(m_strOut,
                HasSubstr("It contains the following insertion string(s):\n\n        0 - one\n"));
    ASSERT_EQ(Run({"read", "-c", "SRV", "-l", "Application", "--json", "--to", "1"}), 0);
    EXPECT_THAT(
        m_strOut,
        HasSubstr(
            ",\"description\":\"[Administrators|b|c|d|e]\",\"categoryText\":\"Network\\r\\n\"}"));
}

} // namespace
