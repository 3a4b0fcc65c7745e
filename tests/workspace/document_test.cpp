#include <sys/resource.h>

#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "platform/base/fileio.h"
#include "testdoc.h"
#include "testing.h"
#include "textlog/filemonitor.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"

namespace {

CKeysAndActions* TextGroup(const std::string& description)
{
    auto* group = new CKeysAndActions;
    group->m_strDescription = description;
    for (const char* text : {"error", "warning"}) {
        auto* key = new CSearchKeyText;
        key->m_strKey1 = text;
        group->AddKey(key);
    }
    return group;
}

CFileMonitor* TextLog(const std::string& path, int nGroups = 0)
{
    auto* log = new CFileMonitor;
    log->m_strDirectory = DirectoryOf(path) + "/";
    log->m_strFileName = path.substr(path.rfind('/') + 1);
    log->m_strShortDescription = log->m_strFileName;
    for (int i = 0; i < nGroups; ++i)
        log->AddWatchGroup(TextGroup("Group " + std::to_string(i)));
    return log;
}

CEventMonitor* EventLog(const char* server, const char* name)
{
    auto* log = new CEventMonitor;
    log->m_strServer = server;
    log->m_strLogName = name;
    auto* group = new CKeysAndActions;
    group->m_strDescription = "Reboots";
    auto* key = new CSearchKeyEvent;
    key->SetEventIDValue(6005);
    group->AddKey(key);
    group->SetVariable("%MAILTO%", "ops");
    log->AddWatchGroup(group);
    return log;
}

std::string Slurp(const std::string& path)
{
    return ReadFileBytes(path).value_or("<missing>");
}

class Document : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDocumentClasses();
        AppSettings::SetAutoBackup(0);
        AppSettings::SetAutoBackupDir("");
        AppSettings::SetAutoSave(0);
        m_strDir = TestDir() + "/";
        ASSERT_TRUE(EnsureDirectory(m_strDir));
        m_doc.SetUi(&m_ui);
        m_doc.AddView(&m_view);
        Reset();
    }
    void TearDown() override { m_doc.RemoveView(&m_view); }

    // A new empty workspace, with no hints or messages recorded.
    void Reset()
    {
        m_doc.OnNewDocument();
        m_ui.m_messages.clear();
        m_ui.m_answers.clear();
        m_view.m_hints.clear();
    }
    void WriteFile(const std::string& path, const std::string& bytes)
    {
        ASSERT_TRUE(AtomicWriteFile(path, bytes));
    }
    int LogCount() const { return m_doc.m_pManager->GetLogCount(); }

    std::string m_strDir;
    CScriptedUi m_ui;
    CQuorvilDoc m_doc;
    CRecordingView m_view{m_doc};
};

} // namespace

TEST_F(Document, SaveBacksUpTheOldFileBesideItOrInTheBackupFolder)
{
    enum Where { NONE, BESIDE, FOLDER };
    // Name, AutoBackup, the folder setting ("existing" with blanks and a
    // trailing "/", "missing" or ""), the old file, where the backup goes.
    const std::tuple<const char*, int, std::string, std::optional<std::string>, Where> cases[] = {
        {"beside the workspace", 1, "", "OLD", BESIDE},
        {"in the backup folder", 1, "existing", "OLD", FOLDER},
        {"beside it when the folder is missing", 1, "missing", "OLD", BESIDE},
        {"none for an empty file", 1, "", "", NONE},
        {"none for a missing file", 1, "", std::nullopt, NONE},
        {"none when backups are off", 0, "", "OLD", NONE},
    };
    int i = 0;
    for (const auto& [name, nAutoBackup, folderSetting, old, where] : cases) {
        SCOPED_TRACE(name);
        std::string dir = m_strDir + std::to_string(i++) + "/";
        std::string backups = dir + "backups";
        ASSERT_TRUE(EnsureDirectory(backups));
        std::string path = dir + "work.space.qvw";
        if (old)
            WriteFile(path, *old);
        AppSettings::SetAutoBackup(nAutoBackup);
        std::string setting = folderSetting == "existing"  ? "  " + backups + "/ "
                              : folderSetting == "missing" ? dir + "nothere"
                                                           : "";
        AppSettings::SetAutoBackupDir(setting.c_str());

        m_doc.SetPathName(path);
        ASSERT_TRUE(m_doc.DoFileSave());

        EXPECT_EQ(Slurp(dir + "work.space.bak"), where == BESIDE ? "OLD" : "<missing>");
        EXPECT_EQ(Slurp(backups + "/work.space.bak"), where == FOLDER ? "OLD" : "<missing>");
        EXPECT_EQ(Slurp(path), StoreObjectToBytes(m_doc.m_pManager.get()));
    }
}

TEST_F(Document, FailedSaveKeepsTheOldFileWhole)
{
    std::string path = m_strDir + "w.qvw";
    m_doc.SetPathName(path);
    ASSERT_TRUE(m_doc.AutoSaveWorkspace());
    const std::string old = Slurp(path);

    // About a megabyte of workspace against a limit of a quarter of that.
    for (int i = 0; i < 2000; ++i) {
        CFileMonitor* log = TextLog(m_strDir + "x.log");
        log->m_strShortDescription.assign(500, 'x');
        m_doc.m_pManager->AddLog(log);
    }
    m_doc.SetModifiedFlag();
    ASSERT_LT(SystemLogText().size(), 128u * 1024);
    CSystemLogReader log;
    // Writes beyond the limit fail (EFBIG), as on a full disk; for root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit lowered = before;
    lowered.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    EXPECT_FALSE(m_doc.AutoSaveWorkspace());
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_FALSE(m_doc.OnSaveDocument(path));
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(Slurp(path), old);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_strDir))
        files.push_back(entry.path().filename());
    EXPECT_EQ(files, std::vector<std::string>{"w.qvw"});
    ASSERT_FALSE(log.Lines().empty());
    EXPECT_EQ(log.Lines().front().rfind("File " + path + " could not be opened during save: ", 0),
              0u);
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].text.rfind("Failed to save document " + path + ":\n", 0), 0u);
}

TEST_F(Document, WorkspaceRoundTripsThroughItsFile)
{
    // Without logs: the manager record with count 0.
    std::string empty = m_strDir + "empty.qvw";
    ASSERT_TRUE(m_doc.DoSave(empty));
    EXPECT_EQ(m_doc.GetPathName(), empty);
    EXPECT_EQ(m_doc.GetTitle(), "empty.qvw");
    using namespace std::string_literals;
    EXPECT_EQ(Slurp(empty), "\xFF\xFF\x01\x00\x0B\x00"s
                            "CMonManager"
                            "\x01\x00\x00\x00\x00\x00\x00\x00"s);

    CQuorvilDoc other;
    other.SetUi(&m_ui);
    ASSERT_TRUE(other.OnOpenDocument(empty));
    EXPECT_EQ(other.m_pManager->GetLogCount(), 0);
    EXPECT_FALSE(other.IsModified());

    // With logs of both kinds: saving what was read gives the same bytes.
    m_doc.AddMonitoredLog(TextLog(m_strDir + "a.log", 2));
    m_doc.AddEventLog(EventLog("SRV1", "System"));
    std::string full = m_strDir + "full.qvw";
    ASSERT_TRUE(m_doc.DoSave(full));
    ASSERT_TRUE(other.OnOpenDocument(full));
    ASSERT_EQ(other.m_pManager->GetLogCount(), 2);
    std::string again = m_strDir + "again.qvw";
    ASSERT_TRUE(other.DoSave(again));
    EXPECT_EQ(Slurp(again), Slurp(full));
}

TEST_F(Document, OpeningABadFileKeepsTheOpenWorkspace)
{
    std::string good = m_strDir + "good.qvw";
    DWORD dwID = m_doc.AddMonitoredLog(TextLog(m_strDir + "a.log", 1));
    ASSERT_TRUE(m_doc.DoSave(good));
    const std::string bytes = Slurp(good);
    m_doc.SetModifiedFlag();

    // Name, content (none: no file), the message's start.
    const std::tuple<const char*, std::optional<std::string>, const char*> cases[] = {
        {"missing file", std::nullopt, "Failed to open document "},
        {"cut in half", bytes.substr(0, bytes.size() / 2), "Unexpected file format in "},
        {"not an archive", "hello world", "Unexpected file format in "},
    };
    int i = 0;
    for (const auto& [name, content, prefix] : cases) {
        SCOPED_TRACE(name);
        std::string path = m_strDir + "bad" + std::to_string(i++) + ".qvw";
        if (content)
            WriteFile(path, *content);
        m_ui.m_messages.clear();
        m_view.m_hints.clear();

        EXPECT_FALSE(m_doc.OnOpenDocument(path));

        ASSERT_EQ(m_ui.m_messages.size(), 1u);
        const std::string& text = m_ui.m_messages[0].text;
        std::string head = prefix + path + ":\n";
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_GT(text.size(), head.size()) << "no reason given";
        EXPECT_EQ(std::tuple(m_ui.m_messages[0].type, LogCount(),
                             m_doc.m_pManager->FindLog(dwID) != nullptr, m_doc.GetPathName(),
                             m_doc.IsModified(), m_view.m_hints.size()),
                  std::tuple(UINT{MB_OK | MB_ICONEXCLAMATION}, 1, true, good, TRUE, 0u));
    }

    // A good file that another process scans: the message names that
    // process (here a lock of this process's own, which conflicts too).
    const std::string locked = m_strDir + "locked.qvw";
    WriteFile(locked, bytes);
    CWorkspaceLock other;
    long nHolder = 0;
    ASSERT_TRUE(other.Acquire(locked, &nHolder));
    m_ui.m_messages.clear();
    EXPECT_FALSE(m_doc.OnOpenDocument(locked));
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    const std::string expected = locked +
                                 " is being scanned by another Quorvil process (process id " +
                                 std::to_string(::getpid()) + ").";
    EXPECT_EQ(m_ui.m_messages[0].text.substr(0, expected.size()), expected);
    EXPECT_EQ(m_doc.GetPathName(), good);
}

namespace {

struct CEditCase {
    const char* name;
    // Runs the operation on the text log (groups 0 and 1, two keys each).
    std::function<void(CQuorvilDoc&, DWORD)> op;
    std::optional<ViewHint> hint; // none: declined, no hint and the workspace as it was
    int nGroup = 0;
    int nKey = 0;
    DWORD dwExtra = 0;
    bool bModified = true;
    bool bPaused = false;
    bool bConfirm = true; // Yes to questions, OK in dialogs
    std::function<void(CQuorvilDoc&, DWORD)> check = nullptr;
};

CKeysAndActions* GroupOf(CQuorvilDoc& doc, DWORD dwID, int nGroup)
{
    return doc.m_pManager->FindWatchGroup(dwID, nGroup);
}

std::string KeyOf(CQuorvilDoc& doc, DWORD dwID)
{
    return GroupOf(doc, dwID, 1)->GetKey(1)->GetDescription();
}

} // namespace

TEST_F(Document, EditingOperationsSetTheFlagAndSendOneHint)
{
    CFileMonitor source;
    source.AddWatchGroup(TextGroup("From source"));
    CSearchKeyText newKey;
    newKey.m_strKey1 = "replaced";
    CTask task;
    task.SetDescription("New task");
    std::string script = m_strDir + "delete.qvs";
    WriteFile(script, "DELETESERVER SRV1\n");
    using Doc = CQuorvilDoc;

    const CEditCase cases[] = {
        {"AddMonitoredLog", [](Doc& d, DWORD) { d.AddMonitoredLog(new CFileMonitor); },
         ViewHint::LogAdded},
        {"AddEventLog", [](Doc& d, DWORD) { d.AddEventLog(new CEventMonitor); },
         ViewHint::LogAdded},
        {"DeleteMonitoredLog", [](Doc& d, DWORD id) { d.DeleteMonitoredLog(id); },
         ViewHint::LogDeleted},
        {"DeleteMonitoredLog answered No",
         [](Doc& d, DWORD id) { EXPECT_FALSE(d.DeleteMonitoredLog(id)); }, std::nullopt, 0, 0, 0,
         false, false, false},
        {"EditLogProperties", [](Doc& d, DWORD id) { EXPECT_TRUE(d.EditLogProperties(id)); },
         ViewHint::LogEdited, 0, 0, 0, true, true, true,
         [](Doc& d, DWORD id) {
             EXPECT_EQ(d.m_pManager->FindLog(id)->GetDisplayName(), "Renamed");
             EXPECT_EQ(d.m_pManager->FindLog(id)->GetWatchGroupCount(), 2);
         }},
        {"EditLogProperties cancelled",
         [](Doc& d, DWORD id) { EXPECT_FALSE(d.EditLogProperties(id)); }, std::nullopt, 0, 0, 0,
         false, true, false},
        {"ToggleLogEnabled", [](Doc& d, DWORD id) { d.ToggleLogEnabled(id); },
         ViewHint::LogEnabled},
        {"ClearLog", [](Doc& d, DWORD id) { EXPECT_TRUE(d.ClearLog(id)); }, ViewHint::LogState, 0,
         0, 0, false},
        {"MarkLog", [](Doc& d, DWORD id) { EXPECT_TRUE(d.MarkLog(id, "mark")); },
         ViewHint::LogState, 0, 0, 0, false},
        {"ReplaceWatchGroups", [&](Doc& d, DWORD id) { d.ReplaceWatchGroups(id, source); },
         ViewHint::LogEdited},
        {"MergeWatchGroups", [&](Doc& d, DWORD id) { d.MergeWatchGroups(id, source); },
         ViewHint::LogEdited},
        {"EditWatchGroup", [](Doc& d, DWORD id) { EXPECT_TRUE(d.EditWatchGroup(id, 1)); },
         ViewHint::GroupEdited, 1, 0, 0, true, true, true,
         [](Doc& d, DWORD id) { EXPECT_EQ(GroupOf(d, id, 1)->m_strDescription, "Edited"); }},
        {"EditWatchGroup cancelled",
         [](Doc& d, DWORD id) { EXPECT_FALSE(d.EditWatchGroup(id, 1)); }, std::nullopt, 0, 0, 0,
         false, true, false},
        {"DeleteWatchGroup", [](Doc& d, DWORD id) { d.DeleteWatchGroup(id, 1); },
         ViewHint::GroupDeleted, 1, 0, 0, true, true},
        {"DeleteWatchGroup answered No",
         [](Doc& d, DWORD id) { EXPECT_FALSE(d.DeleteWatchGroup(id, 1)); }, std::nullopt, 0, 0, 0,
         false, true, false},
        {"AddWatchGroup",
         [](Doc& d, DWORD id) { EXPECT_EQ(d.AddWatchGroup(id, TextGroup("x")), 2); },
         ViewHint::GroupAdded, 2, 0, 0, true, true},
        {"SetWatchGroup", [](Doc& d, DWORD id) { d.SetWatchGroup(id, 1, *GroupOf(d, id, 0)); },
         ViewHint::GroupEdited, 1, 0, 0, true, true},
        {"EditTask", [](Doc& d, DWORD id) { d.EditTask(id, 1); }, ViewHint::TaskEdited, 1, 0, 0,
         true, true},
        {"SetTask", [&](Doc& d, DWORD id) { d.SetTask(id, 1, task); }, ViewHint::TaskEdited, 1, 0,
         0, true, true},
        {"EditSearchKey", [](Doc& d, DWORD id) { EXPECT_TRUE(d.EditSearchKey(id, 1, 1)); },
         ViewHint::KeyEdited, 1, 1, 0, true, true, true,
         [](Doc& d, DWORD id) { EXPECT_EQ(KeyOf(d, id), "'typed' Only"); }},
        {"EditSearchKey cancelled",
         [](Doc& d, DWORD id) { EXPECT_FALSE(d.EditSearchKey(id, 1, 1)); }, std::nullopt, 0, 0, 0,
         false, true, false},
        {"SetSearchKey", [&](Doc& d, DWORD id) { EXPECT_TRUE(d.SetSearchKey(id, 1, 1, newKey)); },
         ViewHint::KeyEdited, 1, 1, 0, true, true},
        {"AddSearchKey",
         [](Doc& d, DWORD id) { EXPECT_EQ(d.AddSearchKey(id, 1, new CSearchKeyText), 2); },
         ViewHint::KeyAdded, 1, 2, 0, true, true},
        {"DeleteSearchKey", [](Doc& d, DWORD id) { d.DeleteSearchKey(id, 1, 1); },
         ViewHint::KeyDeleted, 1, 1, 0, true, true},
        {"NotifyLogRenamed", [](Doc& d, DWORD id) { d.NotifyLogRenamed(id); }, ViewHint::LogRenamed,
         0, 0, 0, false},
        {"OnScanProgress", [](Doc& d, DWORD id) { d.OnScanProgress(id, 42); }, ViewHint::LogState,
         0, 0, 42, false},
        {"RefreshAllViews", [](Doc& d, DWORD) { d.RefreshAllViews(); }, ViewHint::SettingsChanged,
         0, 0, 0, false},
        {"RunScript", [&](Doc& d, DWORD) { EXPECT_TRUE(d.RunScript(script)); }, ViewHint::ScriptRun,
         0, 0, 0, false},
    };
    for (const CEditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        WriteFile(m_strDir + "t.log", "line\n");
        CFileMonitor* text = TextLog(m_strDir + "t.log", 2);
        const DWORD dwText = text->GetID();
        m_doc.m_pManager->AddLog(text);
        m_doc.m_pManager->AddLog(EventLog("SRV1", "System"));
        m_ui.m_answers = {c.bConfirm ? IDYES : IDNO};
        m_ui.m_bDialogOK = c.bConfirm;
        // The dialogs change their copy whichever way they end.
        m_ui.m_onTextSheet = [&](CFileMonitor& log) {
            log.m_strShortDescription = "Renamed";
            return c.bConfirm;
        };
        m_ui.m_onTextKey = [&](CSearchKeyText& key) {
            key.m_strKey1 = "typed";
            return c.bConfirm;
        };

        const std::string before = StoreObjectToBytes(m_doc.m_pManager.get());

        c.op(m_doc, dwText);

        EXPECT_EQ(m_doc.IsModified(), c.bModified);
        if (!c.hint) {
            EXPECT_TRUE(m_view.m_hints.empty());
            EXPECT_EQ(StoreObjectToBytes(m_doc.m_pManager.get()), before);
        } else {
            ASSERT_EQ(m_view.m_hints.size(), 1u);
            const CRecordedHint& hint = m_view.m_hints[0];
            EXPECT_EQ(hint.hint, *c.hint);
            bool bObject = c.hint != ViewHint::ScriptRun && c.hint != ViewHint::SettingsChanged;
            EXPECT_EQ(hint.bHasHint, bObject);
            if (bObject) {
                // An added log is named by its own new ID.
                EXPECT_EQ(LogCount() == 3, c.hint == ViewHint::LogAdded);
                EXPECT_EQ(m_doc.m_pManager->FindLog(hint.dwID) != nullptr,
                          c.hint != ViewHint::LogDeleted);
                EXPECT_EQ(hint.dwID == dwText, c.hint != ViewHint::LogAdded);
                EXPECT_EQ(std::tuple(hint.nGroup, hint.nKey, hint.dwExtra),
                          std::tuple(c.nGroup, c.nKey, c.dwExtra));
            }
            EXPECT_EQ(hint.nPauseCount > 0, c.bPaused);
        }
        EXPECT_EQ(m_doc.m_pManager->m_nPauseCount.load(), 0);
        if (c.check)
            c.check(m_doc, dwText);
    }
}

TEST_F(Document, AddTextLogAsksAboutDuplicatesAndUnreadableFiles)
{
    const std::string monitored = m_strDir + "a.log";
    WriteFile(monitored, "x\n");
    WriteFile(m_strDir + "A.log", "x\n");
    WriteFile(m_strDir + "qvsample.log", "x\n");
    const std::string none = m_strDir + "none.log";
    const std::string duplicate = "Text log: " + monitored + "\n\n" + IDS_ALREADY_MONITORING;
    // Name, mode, what the sheet sets ("cancel" cancels it), the answers,
    // whether the log is added, the messages.
    using Texts = std::vector<std::string>;
    const std::tuple<const char*, int, std::string, std::vector<int>, bool, Texts> cases[] = {
        {"duplicate answered No", 0, monitored, {IDNO}, false, {duplicate}},
        {"other letter case is another file", 0, m_strDir + "A.log", {}, true, {}},
        {"missing file answered Yes", 0, none, {IDYES}, true, {IDS_FILE_NOT_READABLE}},
        {"no path", 0, "", {}, false, {IDS_NO_LOGS_SELECTED}},
        {"sheet cancelled", 0, "cancel", {}, false, {}},
        {"sample log", ADD_MODE_WIZARD_SAMPLE, "sample", {}, true, {}},
    };
    m_doc.m_strSampleDirectory = m_strDir;
    for (const auto& [name, nMode, path, answers, bAdded, expected] : cases) {
        SCOPED_TRACE(name);
        Reset();
        m_doc.m_pManager->AddLog(TextLog(monitored));
        m_doc.SetModifiedFlag(FALSE);
        m_ui.m_answers = answers;
        std::string seenPath;
        m_ui.m_onTextSheet = [&, set = path](CFileMonitor& log) {
            seenPath = log.GetFilePath();
            if (set == "cancel")
                return FALSE;
            if (set != "sample") {
                log.m_strDirectory = set.empty() ? "" : m_strDir;
                log.m_strFileName = set.empty() ? "" : set.substr(m_strDir.size());
            }
            return TRUE;
        };

        DWORD dwID = m_doc.AddTextLog(nMode);

        Texts messages;
        for (const CAskedMessage& m : m_ui.m_messages)
            messages.push_back(m.text);
        EXPECT_EQ(std::tuple(m_ui.m_nSheetMode, m_ui.m_bSheetAdding, dwID != 0, LogCount(),
                             m_doc.IsModified(), messages),
                  std::tuple(nMode, TRUE, bAdded, bAdded ? 2 : 1, BOOL{bAdded}, expected));
        if (nMode == ADD_MODE_WIZARD_SAMPLE) {
            EXPECT_EQ(seenPath, m_strDir + "qvsample.log");
            EXPECT_EQ(m_doc.m_pManager->FindLog(dwID)->GetDisplayName(), "Sample Log");
        }
    }
}

TEST_F(Document, AddEventLogsSkipsAMonitoredLogAnsweredNoAndTakesJournalsAndEvtxFiles)
{
    m_doc.m_pManager->AddLog(EventLog("SRV2", "System"));
    m_ui.m_network = {"SRV1\\Application", "SRV2\\System", "SRV3\\Security",
                      "journal:", "evtx:/srv/evtx/Security.evtx"};
    m_ui.m_answers = {IDNO};

    DWORD dwFirst = m_doc.AddEventLogs(ADD_MODE_MENU);

    ASSERT_EQ(LogCount(), 5);
    int pos = 1;
    auto* first = dynamic_cast<CEventMonitor*>(m_doc.m_pManager->GetNextLog(pos));
    auto* third = dynamic_cast<CEventMonitor*>(m_doc.m_pManager->GetNextLog(pos));
    auto* pJournal = dynamic_cast<CJournalMonitor*>(m_doc.m_pManager->GetNextLog(pos));
    auto* pEvtx = dynamic_cast<CEvtxMonitor*>(m_doc.m_pManager->GetNextLog(pos));
    ASSERT_TRUE(first && third && pJournal && pEvtx);
    EXPECT_EQ(dwFirst, first->GetID());
    EXPECT_EQ(first->GetDisplayName(), "SRV1\\Application");
    EXPECT_EQ(third->GetDisplayName(), "SRV3\\Security");
    EXPECT_EQ(pJournal->m_strDirectory, "");
    EXPECT_EQ(pEvtx->m_strPath, "/srv/evtx/Security.evtx");
    EXPECT_EQ(pEvtx->m_nLastRecord, 0u);
    EXPECT_TRUE(first->IsEnabled() && third->IsEnabled() && pJournal->IsEnabled() &&
                pJournal->IsEventLog());
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].text,
              std::string("NT Event Log: SRV2\\System\n\n") + IDS_ALREADY_MONITORING);
    EXPECT_EQ(m_ui.m_messages[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(m_view.m_hints.size(), 4u);

    // Computer names are compared without their letter case, log names with
    // it; a cancelled dialog adds nothing.
    EXPECT_TRUE(IsEventLogMonitored(*m_doc.m_pManager, "srv2", "System"));
    EXPECT_FALSE(IsEventLogMonitored(*m_doc.m_pManager, "SRV2", "system"));
    m_ui.m_network = {};
    EXPECT_EQ(m_doc.AddEventLogs(ADD_MODE_MENU), 0u);
    EXPECT_EQ(LogCount(), 5);
}

TEST_F(Document, AutosaveAndTheQuestionBeforeClosing)
{
    CSystemLogReader log;
    m_doc.SetModifiedFlag();
    EXPECT_FALSE(m_doc.AutoSaveWorkspace());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Cannot autosave: no filename specified"});
    EXPECT_TRUE(m_doc.IsModified());

    // Untitled: Yes asks for a name.
    std::string path = m_strDir + "named.qvw";
    m_ui.m_saveAs = path;
    m_ui.m_answers = {IDYES};
    EXPECT_TRUE(m_doc.SaveModified());
    EXPECT_EQ(m_ui.m_messages.back().text, "Save changes to Untitled?");
    EXPECT_EQ(m_ui.m_messages.back().type, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(m_doc.GetPathName(), path);
    EXPECT_FALSE(m_doc.IsModified());
    const std::string saved = Slurp(path);

    // Name, AutoSave, the answer, the result, whether it asked and wrote.
    const std::tuple<const char*, int, int, BOOL, bool, bool> cases[] = {
        {"No goes on without saving", 0, IDNO, TRUE, true, false},
        {"Cancel stops", 0, IDCANCEL, FALSE, true, false},
        {"Yes saves", 0, IDYES, TRUE, true, true},
        {"AutoSave saves without asking", 1, IDNO, TRUE, false, true},
    };
    AppSettings::SetAutoBackup(1);
    for (const auto& [name, nAutoSave, nAnswer, bResult, bAsked, bWritten] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(AtomicWriteFile(path, saved));
        m_doc.m_pManager->AddLog(TextLog(m_strDir + "x.log"));
        m_doc.SetModifiedFlag();
        AppSettings::SetAutoSave(nAutoSave);
        m_ui.m_messages.clear();
        m_ui.m_answers = {nAnswer};

        EXPECT_EQ(m_doc.SaveModified(), bResult);

        // Only a save through the framework makes a backup.
        EXPECT_EQ(std::tuple(m_ui.m_messages.size(), Slurp(path) != saved,
                             Slurp(m_strDir + "named.bak") != "<missing>"),
                  std::tuple(bAsked ? 1u : 0u, bWritten, nAnswer == IDYES && nAutoSave == 0));
        std::remove((m_strDir + "named.bak").c_str());
    }
    AppSettings::SetAutoSave(0);

    CQuorvilDoc none;
    EXPECT_FALSE(none.SaveModified());

    // A new workspace shows the text-log list again.
    CMessageQueue queue;
    SetMainWindowQueue(&queue);
    m_doc.OnNewDocument();
    SetMainWindowQueue(nullptr);
    EXPECT_EQ(queue.Peek(), (CQueuedMessage{WM_SHOW_TEXT_LOGS_AGAIN, 0, 0}));
    EXPECT_EQ(std::pair(m_doc.GetTitle(), m_doc.GetPathName()),
              std::pair(std::string("Untitled"), std::string()));
}

TEST_F(Document, ChooseOrAddWatchGroup)
{
    // Name, groups, the choice, the result, the name of the group added.
    const std::tuple<const char*, int, int, int, const char*> cases[] = {
        {"no groups: a first one without asking", 0, -1, 0, "<New Watch Group 0>"},
        {"an existing group", 2, 1, 1, nullptr},
        {"a new group", 2, CHOOSE_NEW_WATCH_GROUP, 2, "<New Watch Group 2>"},
        {"cancelled", 2, -1, -1, nullptr},
    };
    for (const auto& [name, nGroups, nChoice, nResult, newGroup] : cases) {
        SCOPED_TRACE(name);
        Reset();
        CFileMonitor* log = TextLog(m_strDir + "a.log", nGroups);
        m_doc.m_pManager->AddLog(log);
        m_ui.m_nChoose = nChoice;
        m_ui.m_nChooseShown = 0;

        EXPECT_EQ(m_doc.ChooseOrAddWatchGroup(log->GetID()), nResult);

        EXPECT_EQ(std::pair(m_ui.m_nChooseShown, log->GetWatchGroupCount()),
                  std::pair(nGroups > 0 ? 1 : 0, nGroups + (newGroup ? 1 : 0)));
        if (newGroup) {
            EXPECT_EQ(log->GetWatchGroup(nResult)->m_strDescription, newGroup);
            ASSERT_EQ(m_view.m_hints.size(), 1u);
            EXPECT_EQ(m_view.m_hints[0].hint, ViewHint::GroupAdded);
        }
    }
}

TEST_F(Document, ScanningCommandsFollowTheThread)
{
    CScanCommands& scan = m_doc.ScanCommands();
    std::vector<bool> running{scan.IsRunning()};
    for (void (CScanCommands::*command)() :
         {&CScanCommands::Toggle, &CScanCommands::Toggle, &CScanCommands::Start}) {
        (scan.*command)();
        running.push_back(scan.IsRunning());
    }
    m_doc.OnNewDocument(); // a new workspace stops the thread first
    running.push_back(scan.IsRunning());
    EXPECT_EQ(running, (std::vector<bool>{false, true, false, true, false}));
}

TEST(HeadlessDocumentUi, AnswersNoOrYesAndCancelsDialogs)
{
    CSystemLogReader log;
    CHeadlessDocumentUi ui;
    CFileMonitor text;
    EXPECT_EQ(ui.MessageBox("Delete?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(ui.MessageBox("Note", MB_OK), IDOK);
    ui.SetAnswerYes(true);
    EXPECT_EQ(ui.MessageBox("Save?", MB_YESNOCANCEL), IDYES);
    EXPECT_FALSE(ui.EditTextLogSheet(text, TRUE, 0));
    EXPECT_EQ(ui.ChooseWatchGroup(text), -1);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "Question: Delete? - answered No",
                  "Message: Note",
                  "Question: Save? - answered Yes",
                  "Dialog \"Add Text Log\" cancelled: there is no window to show it in",
                  "Dialog \"Choose Watch Group\" cancelled: there is no window to show it in",
              }));
}

TEST_F(Document, EditingALogThatScansMeanwhileKeepsItsNewReadPosition)
{
    const std::string path = m_strDir + "app.log";
    ASSERT_TRUE(AtomicWriteFile(path, "first line\n"));
    CFileMonitor* log = TextLog(path, 1);
    log->SetEnabled(TRUE);
    const DWORD dwID = m_doc.AddMonitoredLog(log);
    log->ScanNow();
    const DWORD dwBefore = log->m_dwPosition;

    // While the sheet is open on its copy, a scan reads what was appended.
    m_ui.m_onTextSheet = [&](CFileMonitor& copy) {
        EXPECT_TRUE(AppendToFile(path, "second line with an error\n"));
        log->ScanNow();
        copy.SetInterval(30);
        return TRUE;
    };
    ASSERT_TRUE(m_doc.EditLogProperties(dwID));
    EXPECT_EQ(log->GetInterval(), 30);
    EXPECT_GT(log->m_dwPosition, dwBefore)
        << "the read position went back: lines would be read twice";
    EXPECT_EQ(log->m_dwPosition, Slurp(path).size());
}
