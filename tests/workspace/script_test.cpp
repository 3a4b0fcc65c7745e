#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeyevent.h"
#include "testdoc.h"
#include "testing.h"
#include "textlog/filemonitor.h"
#include "workspace/script.h"

namespace {

class Script : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDocumentClasses();
        AddEventLog("HOST1", "Application", {"Disk errors"});
        AddEventLog("host1", "System", {});
        AddEventLog("AA", "System", {});
        AddEventLog("SRV1", "Application", {"Disk errors", "Other", "DISK ERRORS"});
        AddEventLog("SRV1", "System", {"Disk errors"});
        auto* text = new CFileMonitor;
        text->m_strShortDescription = "SRV1\\Application"; // a text log may carry the same name
        text->AddWatchGroup(Group("Disk errors"));
        m_manager.AddLog(text);
    }

    static CKeysAndActions* Group(const char* description)
    {
        auto* group = new CKeysAndActions;
        group->m_strDescription = description;
        auto* key = new CSearchKeyEvent;
        key->SetEventIDValue(7);
        group->AddKey(key);
        return group;
    }
    void AddEventLog(const char* server, const char* name, const std::vector<const char*>& groups)
    {
        auto* log = new CEventMonitor;
        log->m_strServer = server;
        log->m_strLogName = name;
        for (const char* description : groups)
            log->AddWatchGroup(Group(description));
        m_manager.AddLog(log);
    }

    // "display name: group, group" per log, in list order.
    std::vector<std::string> Workspace() const
    {
        std::vector<std::string> logs;
        int pos = 0;
        while (const CMonitoredObject* log = m_manager.GetNextLog(pos)) {
            std::string line = log->GetDisplayName() + ":";
            int groupPos = 0;
            while (const CKeysAndActions* group = log->GetNextWatchGroup(groupPos))
                line += " " + group->m_strDescription;
            logs.push_back(line);
        }
        return logs;
    }

    // Each group's %MAILTO%, "-" when unset, per log.
    std::vector<std::string> MailTo() const
    {
        std::vector<std::string> values;
        int pos = 0;
        while (const CMonitoredObject* log = m_manager.GetNextLog(pos)) {
            std::string line;
            int groupPos = 0;
            while (const CKeysAndActions* group = log->GetNextWatchGroup(groupPos)) {
                auto all = group->m_task.GetVariables().GetAll();
                auto it = all.find("%MAILTO%");
                line += it == all.end() ? "-" : it->second;
                line += ";";
            }
            values.push_back(line);
        }
        return values;
    }

    std::string WriteScript(const std::string& text)
    {
        std::string path = TestRoot() + "/" + std::to_string(m_nScripts++) + ".qvs";
        EXPECT_TRUE(AtomicWriteFile(path, text));
        return path;
    }

    CMonManager m_manager;
    int m_nScripts = 0;
};

const std::vector<std::string> ORIGINAL = {
    "HOST1\\Application: Disk errors",
    "host1\\System:",
    "AA\\System:",
    "SRV1\\Application: Disk errors Other DISK ERRORS",
    "SRV1\\System: Disk errors",
    "SRV1\\Application: Disk errors",
};

} // namespace

TEST_F(Script, KeywordsAndArguments)
{
    // Name, the line, whether it is an error, the workspace after it (empty:
    // unchanged), the system log lines after "Script: " and the trimmed line.
    using Lines = std::vector<std::string>;
    const std::tuple<const char*, std::string, bool, Lines, Lines> cases[] = {
        {"lower case keyword, blanks before the name",
         "deleteserver   HOST1",
         false,
         {"AA\\System:", "SRV1\\Application: Disk errors Other DISK ERRORS",
          "SRV1\\System: Disk errors", "SRV1\\Application: Disk errors"},
         {"Script: Deleting HOST1\\Application", "Script: Deleting host1\\System"}},
        {"rename",
         "RENAMESERVER AA,B",
         false,
         {ORIGINAL[0], ORIGINAL[1], "B\\System:", ORIGINAL[3], ORIGINAL[4], ORIGINAL[5]},
         {"Script: Renaming AA\\System to B\\System"}},
        {"rename without a comma", "RENAMESERVER AA B", true, {}, {}},
        {"delete without a name", "DELETESERVER   ", true, {}, {}},
        {"constant with two commas",
         "SETTASKCONSTANT SRV1\\Application,Disk errors,%MAILTO%",
         true,
         {},
         {}},
        {"unknown keyword", "RENAME AA,B", true, {}, {}},
        {"nothing matches", "DELETESERVER NOSUCH", false, {}, {}},
    };
    for (const auto& [name, line, bError, workspace, logLines] : cases) {
        SCOPED_TRACE(name);
        m_manager.RemoveAllLogs();
        SetUp();
        std::string path = WriteScript(line + "\n");
        const std::size_t first = std::min(line.find_first_not_of(' '), line.size());
        const std::string trimmed = line.substr(first, line.find_last_not_of(' ') + 1 - first);
        CSystemLogReader log;

        EXPECT_TRUE(RunScript(m_manager, path));

        Lines expected = {"Script: " + trimmed};
        expected.insert(expected.end(), logLines.begin(), logLines.end());
        if (bError)
            expected.push_back("Script error at line 1 : '" + line + "'");
        EXPECT_EQ(log.Lines(), expected);
        EXPECT_EQ(Workspace(), workspace.empty() ? ORIGINAL : workspace);
    }
}

TEST_F(Script, SetTaskConstantSetsTheVariableOnTheMatchingGroups)
{
    std::string path =
        WriteScript("SETTASKCONSTANT srv1\\application , disk errors,%MAILTO%, ops\n");
    CSystemLogReader log;

    EXPECT_TRUE(RunScript(m_manager, path));

    EXPECT_EQ(MailTo(), (std::vector<std::string>{"-;", "", "", "ops;-;ops;", "-;", "ops;"}));
    const std::string line = "Script: srv1\\application,disk errors: '%MAILTO%' = 'ops'";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "Script: SETTASKCONSTANT srv1\\application , disk errors,%MAILTO%, ops", line,
                  line, line}));
}

TEST_F(Script, CopiesFollowTheExistingLogsWithTheirGroups)
{
    m_manager.RemoveAllLogs();
    for (const char* name : {"A", "B", "C"})
        AddEventLog("OLD", name, {"Reboots", "Disk"});
    AddEventLog("KEEP", "System", {});

    EXPECT_TRUE(RunScript(m_manager, WriteScript("COPYSERVER OLD,NEW")));

    EXPECT_EQ(Workspace(), (std::vector<std::string>{
                               "OLD\\A: Reboots Disk", "OLD\\B: Reboots Disk",
                               "OLD\\C: Reboots Disk", "KEEP\\System:", "NEW\\A: Reboots Disk",
                               "NEW\\B: Reboots Disk", "NEW\\C: Reboots Disk"}));
    // The copies are logs of their own with groups of their own.
    int pos = 0;
    const CMonitoredObject* original = m_manager.GetNextLog(pos);
    pos = 4;
    const CMonitoredObject* copy = m_manager.GetNextLog(pos);
    EXPECT_NE(copy->GetID(), original->GetID());
    EXPECT_NE(copy->GetWatchGroup(0), original->GetWatchGroup(0));
    EXPECT_EQ(copy->GetWatchGroup(0)->GetKeyCount(), 1);
}

TEST_F(Script, AnUnreadableScriptChangesNothing)
{
    CSystemLogReader log;
    std::string path = TestRoot() + "/no such.qvs";
    EXPECT_FALSE(RunScript(m_manager, path));
    EXPECT_FALSE(RunScript(m_manager, TestRoot())); // a folder
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Error opening script file: " + path,
                                                     "Error opening script file: " + TestRoot()}));
    EXPECT_EQ(Workspace(), ORIGINAL);
}
