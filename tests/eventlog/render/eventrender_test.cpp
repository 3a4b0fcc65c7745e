#include "core/monitoredobject.h"
#include "eventlog/render/eventrender.h"
#include "eventlog/render/quorvilsource.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "platform/registry/winreg.h"
#include "settings/appsettings.h"
#include "testing.h"
#include "tests/support/systemlog.h"

namespace {

constexpr const char* SYSTEM32 = "%SystemRoot%\\system32\\";

CEventStruct MakeEvent(const std::string& source, DWORD id, DWORD category,
                       std::vector<std::string> strings)
{
    CEventStruct event;
    event.m_strSource = source;
    event.m_nEventID = id;
    event.m_nCategory = category;
    event.m_arrStrings = std::move(strings);
    return event;
}

std::string Missing(DWORD id, const std::string& source, const std::vector<std::string>& strings)
{
    std::string text =
        "The description for Event ID ( " + std::to_string(id) + " ) in Source ( " + source +
        " ) could not be found. The local computer may not have access to the necessary registry "
        "information or message DLL files to display messages from a remote computer. It contains "
        "the following insertion string(s):\r\n\r\n";
    for (std::size_t i = 0; i < strings.size(); ++i)
        text += std::to_string(i) + " - " + strings[i] + "\r\n";
    return text;
}

// The description and category text, "unset" and "keep" where nothing is
// produced.
using Texts = std::pair<std::string, std::string>;
Texts Render(CEventRenderer& renderer, const CEventStruct& event,
             DWORD flags = RENDER_DESCRIPTION | RENDER_CATEGORY)
{
    Texts texts("unset", "keep");
    renderer.RenderEvent(flags, event, texts.first, texts.second);
    return texts;
}
Texts Render(const CEventStruct& event, const char* server = "SRV")
{
    CEventRenderer renderer(server, "Application",
                            server == std::string("SRV") ? "SRV\\Application" : server);
    return Render(renderer, event);
}

void CopyFile(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Registers a source in a computer's Application log; empty names are left out.
void AddSource(const char* machine, const std::string& source, const std::string& eventFile,
               const std::string& categoryFile = {}, const std::string& parameterFile = {})
{
    HKEY root{}, key{};
    ASSERT_EQ(RegConnectRegistryA(machine, HKEY_LOCAL_MACHINE, &root), 0);
    ASSERT_EQ(RegCreateKeyExA(
                  root, (EVENTLOG_SOURCES_KEY + std::string("Application\\") + source).c_str(), 0,
                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    auto set = [&](const char* name, const std::string& value) {
        if (value.empty())
            RegDeleteValueA(key, name);
        else
            RegSetValueExA(key, name, 0, REG_EXPAND_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
    };
    set("EventMessageFile", eventFile);
    set("CategoryMessageFile", categoryFile);
    set("ParameterMessageFile", parameterFile);
    RegCloseKey(key);
    RegCloseKey(root);
}

// A network of its own per test: the local computer TESTHOST and the server
// SRV, whose C:\WINDOWS\system32 holds app.dll, params.mc and first.mc.
class EventRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetNetworkRoot(TestDir());
        SetEventRenderReuse(true);
        m_strSystem32 = GetNetworkRoot() + "/WORKGROUP/SRV/C$/WINDOWS/system32/";
        ASSERT_TRUE(EnsureDirectory(m_strSystem32));
        CopyFile(RENDER_APP_MODULE, m_strSystem32 + "app.dll");
        CopyFile(RENDER_DATA_DIR "/params.mc", m_strSystem32 + "params.mc");
        CopyFile(RENDER_DATA_DIR "/first.mc", m_strSystem32 + "first.mc");
        const std::string sys = SYSTEM32;
        AddSource("\\\\SRV", "AppSrc", sys + "first.mc;;" + sys + "app.dll", sys + "app.dll",
                  sys + "params.mc");
        AddSource("SRV", "UncSrc", "\\\\SRV\\C$\\WINDOWS\\system32\\app.dll");
        AddSource("SRV", "BadPath", "relative.dll;" + sys + "gone.dll");
        AddSource("SRV", "NoCatFile", sys + "app.dll", sys + "nocat.dll");
        m_log = CSystemLogReader();
    }
    void TearDown() override
    {
        SetEventRenderReuse(true);
        SetNetworkRoot("");
    }

    // The system log lines written since the last call, without time stamps.
    std::vector<std::string> NewLogLines() { return m_log.Take(); }

    std::string m_strSystem32;
    CSystemLogReader m_log;
};

// Name, event, description, category ("keep": none produced), system log lines.
using CRenderCase =
    std::tuple<const char*, CEventStruct, std::string, std::string, std::vector<std::string>>;

std::vector<CRenderCase> RenderCases()
{
    const std::string share = "\\\\SRV\\C$\\WINDOWS\\system32\\";
    const std::string notFound = "The system cannot find the file specified.";
    const std::string noText = "The system cannot find message text for message number 0x%1 in "
                               "the message file for %2.";
    return {
        {"inserts, from the second of two files",
         MakeEvent("AppSrc", 0x40020064, 2, {"Spooler", "SYSTEM"}),
         "The service Spooler was started by SYSTEM.\r\n",
         "Network\r\n",
         {}},
        {"parameter references",
         MakeEvent("AppSrc", 7, 0, {"%%5", "%%0", "%%x", "%5", "%%"}),
         "[Administrators|%%0|%%x|%5|%%]",
         "keep",
         {}},
        {"a reference the parameter file lacks",
         MakeEvent("AppSrc", 7, 1, {"%%9", "a", "b", "c", "d"}),
         "[%%9|a|b|c|d]",
         "Disk\r\n",
         {"Error during lookup of param string 9 in " + share + "params.mc! 317 - " + noText}},
        {"a template naming more inserts than given",
         MakeEvent("AppSrc", 8, 0, {"one", "two"}),
         Missing(8, "AppSrc", {"one", "two"}),
         "keep",
         {"SRV\\Application: Exception formatting message: <Values %1, %2 and %3.>, supplied args "
          "= 2"}},
        {"UNC message file, no category file",
         MakeEvent("UncSrc", 0x40020064, 1, {"a", "b"}),
         "The service a was started by b.\r\n",
         "keep",
         {}},
        {"source without a key",
         MakeEvent("NoKey", 1, 1, {"first", "second"}),
         Missing(1, "NoKey", {"first", "second"}),
         "keep",
         {"Error during read from registry [SRV] : "
          "'SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NoKey': 2 - " +
          notFound}},
        {"files that cannot be loaded",
         MakeEvent("BadPath", 3, 0, {"x"}),
         Missing(3, "BadPath", {"x"}),
         "keep",
         {"Unable to load module 'relative.dll' on server SRV: Error 161 - The specified path is "
          "invalid.",
          "Unable to load module 'C:\\WINDOWS\\system32\\gone.dll' on server SRV: Error 2 - " +
              notFound}},
        {"category file missing",
         MakeEvent("NoCatFile", 0x40020064, 1, {"a", "b"}),
         "The service a was started by b.\r\n",
         "keep",
         {"ERROR Category load library: [SRV] " + share + "nocat.dll, " + notFound}},
        {"category the file lacks",
         MakeEvent("AppSrc", 0x40020064, 9, {"a", "b"}),
         "The service a was started by b.\r\n",
         "keep",
         {"ERROR Category format: " + share + "app.dll, " + noText}},
        {"mark", MakeEvent("Quorvil", 0x00000064, 5, {"checked"}), "Mark: checked", "keep", {}},
    };
}

TEST_F(EventRenderTest, RendersFromTheServersMessageFilesWithOrWithoutReuse)
{
    // Without reuse, with reuse, and with reuse again from what the first
    // pass kept: the same texts and the same system log lines.
    for (bool reuse : {false, true, true}) {
        SetEventRenderReuse(reuse);
        for (const auto& [name, event, description, category, lines] : RenderCases()) {
            SCOPED_TRACE(std::string(name) + (reuse ? ", reused" : ""));
            EXPECT_EQ(Render(event), Texts(description, category));
            EXPECT_EQ(NewLogLines(), lines);
        }
    }
}

TEST_F(EventRenderTest, FlagsChooseTheOutputsAndAFailedLogonProducesNothing)
{
    CEventStruct event = MakeEvent("AppSrc", 0x40020064, 2, {"a", "b"});
    CEventRenderer renderer("SRV", "Application", "SRV\\Application");
    EXPECT_EQ(Render(renderer, event, RENDER_DESCRIPTION),
              Texts("The service a was started by b.\r\n", "keep"));
    EXPECT_EQ(Render(renderer, event, RENDER_CATEGORY), Texts("unset", "Network\r\n"));

    CMonitoredObject monitor; // impersonates, but no logon service is installed
    monitor.SetImpersonate(TRUE);
    monitor.SetLogonUser("ops");
    CEventRenderer impersonating("SRV", "Application", "SRV\\Application", &monitor);
    EXPECT_EQ(Render(impersonating, event), Texts("unset", "keep"));
}

TEST_F(EventRenderTest, ReuseNoticesChangedRegistryAndFiles)
{
    const CEventStruct event = MakeEvent("AppSrc", 0x40020064, 0, {"a", "b"});
    const std::string expected = "The service a was started by b.\r\n";
    auto render = [&] { return Render(event).first; };
    ASSERT_EQ(render(), expected);

    const std::string sys = SYSTEM32;
    AddSource("SRV", "AppSrc", sys + "first.mc"); // the message is no longer reachable
    EXPECT_EQ(render(), Missing(0x40020064, "AppSrc", {"a", "b"}));
    AddSource("SRV", "AppSrc", sys + "app.dll");
    EXPECT_EQ(render(), expected);

    CopyFile(RENDER_DATA_DIR "/first.mc", m_strSystem32 + "app.dll"); // same name, other messages
    EXPECT_EQ(render(), Missing(0x40020064, "AppSrc", {"a", "b"}));
    CopyFile(RENDER_APP_MODULE, m_strSystem32 + "app.dll");
    EXPECT_EQ(render(), expected);
    NewLogLines();

    std::filesystem::remove_all(GetNetworkRoot() + "/WORKGROUP/SRV");
    EXPECT_EQ(render(), Missing(0x40020064, "AppSrc", {"a", "b"}));
    EXPECT_EQ(
        NewLogLines(),
        std::vector<std::string>{
            "Error during connect to registry '\\\\SRV': 53 - The network path was not found."});
}

// One renderer serves a scan: it asks again only every
// RENDER_FRESHNESS_EVENTS events, and logs a kept failure each time.
TEST_F(EventRenderTest, KeptRenderingIsCheckedAgainAfterABlockOfEvents)
{
    const CEventStruct event = MakeEvent("AppSrc", 0x40020064, 0, {"a", "b"});
    const std::string expected = "The service a was started by b.\r\n";
    CEventRenderer renderer("SRV", "Application", "SRV\\Application");
    auto render = [&] { return Render(renderer, event).first; };
    ASSERT_EQ(render(), expected);
    AddSource("SRV", "AppSrc", std::string(SYSTEM32) + "first.mc");
    for (unsigned i = 1; i < RENDER_FRESHNESS_EVENTS; ++i)
        ASSERT_EQ(render(), expected) << i;
    EXPECT_EQ(render(), Missing(0x40020064, "AppSrc", {"a", "b"})) << "checked again";

    NewLogLines();
    const CEventStruct missing = MakeEvent("NoSuchSource", 1, 0, {});
    for (int i = 0; i < 3; ++i)
        Render(renderer, missing, RENDER_DESCRIPTION);
    EXPECT_EQ(NewLogLines().size(), 3u) << "the same lines as reading afresh";
}

TEST_F(EventRenderTest, ScanAndViewerThreadsRenderAtTheSameTime)
{
    // The scan thread and the user interface thread share the reuse cache;
    // one of them changes the registry meanwhile.
    const CEventStruct good = MakeEvent("AppSrc", 0x40020064, 2, {"a", "b"});
    const CEventStruct noKey = MakeEvent("NoKey", 1, 0, {"x"});
    std::vector<std::string> failures[2];
    auto render = [&](int thread) {
        CEventRenderer renderer("SRV", "Application", "SRV\\Application");
        for (int i = 0; i < 200; ++i) {
            const std::string description = Render(renderer, i % 2 ? good : noKey).first;
            if (description !=
                (i % 2 ? "The service a was started by b.\r\n" : Missing(1, "NoKey", {"x"})))
                failures[thread].push_back(description);
        }
    };
    std::thread scan(render, 0);
    std::thread viewer(render, 1);
    for (int i = 0; i < 20; ++i)
        AddSource("SRV", "Other" + std::to_string(i), std::string(SYSTEM32) + "app.dll");
    scan.join();
    viewer.join();
    EXPECT_EQ(failures[0], std::vector<std::string>{});
    EXPECT_EQ(failures[1], std::vector<std::string>{});
    EXPECT_EQ(NewLogLines().size(), 200u); // one read error per event of the source without key
}

TEST_F(EventRenderTest, LocalNameInOtherLetterCaseGoesThroughTheRemotePath)
{
    // With a network root that cannot be made, connecting fails, and the line
    // names the machine that was asked for: none for the local registry.
    const std::string blocker = TestRoot() + "/blocker";
    ASSERT_TRUE(AtomicWriteFile(blocker, "not a folder"));
    SetNetworkRoot(blocker + "/network");
    const CEventStruct event = MakeEvent("AppSrc", 1, 0, {});
    for (const char* server : {"TESTHOST", "testhost", "TestHost"}) {
        SCOPED_TRACE(server);
        EXPECT_EQ(Render(event, server).first, Missing(1, "AppSrc", {}));
        std::vector<std::string> lines = NewLogLines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string machine =
            std::string(server) == "TESTHOST" ? "" : "\\\\" + std::string(server);
        EXPECT_TRUE(lines[0].starts_with("Error during connect to registry '" + machine + "': "))
            << lines[0];
    }
}

TEST_F(EventRenderTest, ProgramRegistersItsOwnSourceWithALoadableMessageFile)
{
    ASSERT_TRUE(RegisterQuorvilEventSource());
    ASSERT_TRUE(RegisterQuorvilEventSource()); // again: nothing changes

    std::vector<CEventLogConfig> logs;
    ASSERT_TRUE(EnumEventLogs(nullptr, logs));
    std::vector<std::string> names;
    for (const CEventLogConfig& log : logs)
        names.push_back(log.m_strName);
    EXPECT_EQ(names, (std::vector<std::string>{"Application", "Security", "System"}));

    // Any message of the source renders from the file that was written.
    CEventRenderer renderer("TESTHOST", "Application", "TESTHOST\\Application");
    std::string eventFile, categoryFile, parameterFile, text;
    ASSERT_TRUE(renderer.GetMessageFiles(MakeEvent("Quorvil", 100, 0, {}), eventFile, categoryFile,
                                         parameterFile));
    EXPECT_EQ(eventFile, QUORVIL_MESSAGE_FILE);
    EXPECT_TRUE(renderer.FormatEventMessage({eventFile}, {"checked"}, 100, text));
    EXPECT_EQ(text, "Mark: checked\r\n");
    EXPECT_EQ(NewLogLines(), std::vector<std::string>{});
}

} // namespace
