#include <QSignalSpy>

#include "testing.h"
#include "treetestsupport.h"
#include "ui/common/commandids.h"
#include "ui/common/framemessages.h"
#include "ui/tree/treenodes.h"

TEST_F(TreeViewTest, ShowsLogsWithGroupsTasksAndKeysSortedByText)
{
    CFileMonitor* pZeta = m_frame.AddTextLog("zeta", 1);
    m_frame.AddTextLog("Alpha");
    CEventMonitor* pSystem = m_frame.AddEventLog("SRV", "System", 1);
    auto* pGroup = pZeta->GetWatchGroup(0);
    auto* pLong = new CSearchKeyText;
    pLong->m_strKey1 = std::string(60, 'k');
    pGroup->AddKey(pLong);
    CreateView();

    EXPECT_EQ(ChildTexts(Tree().invisibleRootItem()),
              (QStringList{"Text Logs", "Event Logs", "System Log File"}));
    EXPECT_EQ(ChildTexts(TextRoot()), (QStringList{"Alpha", "zeta"}))
        << "sorted regardless of case";
    EXPECT_EQ(ChildTexts(EventRoot()), QStringList{"SRV\\System"});
    EXPECT_TRUE(TextRoot()->isExpanded() && EventRoot()->isExpanded());
    EXPECT_EQ(m_pView->GetSelectedID(), TREE_KIND_TEXT_ROOT);

    QTreeWidgetItem* pZetaNode = LogNode(pZeta);
    ASSERT_NE(pZetaNode, nullptr);
    ASSERT_EQ(pZetaNode->childCount(), 1);
    QTreeWidgetItem* pGroupNode = pZetaNode->child(0);
    EXPECT_EQ(ChildTexts(pGroupNode), (QStringList{"Task", "'error' Only", "'warning' Only",
                                                   "'" + QString(49, 'k') + "..."}))
        << "the task first, then the keys in order, long descriptions cut at 50 characters";
    EXPECT_EQ(LogNode(pSystem)->child(0)->text(0), "Events 0");
}

TEST_F(TreeViewTest, ContextMenusPerNodeKind)
{
    CFileMonitor* pText = m_frame.AddTextLog("app", 1);
    CEventMonitor* pSystem = m_frame.AddEventLog("SRV", "System", 1);
    CEventMonitor* pApplication = m_frame.AddEventLog("SRV", "Application");
    pText->SetEnabled(FALSE);
    pApplication->SetEnabled(TRUE);
    CreateView();

    // Each kind of node has its default command; marks only go into an Application log.
    EXPECT_EQ(ContextMenuOf(TextRoot()),
              (QStringList{"New te&xt log... [default]", "-", "&Paste  [gray]"}));
    EXPECT_EQ(ContextMenuOf(SystemLog()), (QStringList{"Send to &Editor [default]", "C&lear"}));
    const QStringList text = ContextMenuOf(LogNode(pText));
    EXPECT_EQ(text.front(), "C&onfigure...\tCtrl+Enter [default]");
    EXPECT_TRUE(text.contains("Ena&ble\tCtrl+T") && text.contains("Command Bo&x..."));
    EXPECT_TRUE(text.contains("Test &Keys..."));
    const QStringList system = ContextMenuOf(LogNode(pSystem));
    EXPECT_TRUE(system.contains("&Rename") && system.contains("Ma&rk...\tCtrl+K [gray]"));
    EXPECT_FALSE(system.contains("Send to &Editor")) << "only text logs go to the editor";
    const QStringList application = ContextMenuOf(LogNode(pApplication));
    EXPECT_TRUE(application.contains("Disa&ble\tCtrl+T") &&
                application.contains("&Fast Mark\tAlt+K"));
    QTreeWidgetItem* pGroupNode = LogNode(pText)->child(0);
    const QStringList group = ContextMenuOf(pGroupNode);
    EXPECT_TRUE(group.contains("Test &Task Actions") && group.contains("Test &Keys..."));
    EXPECT_FALSE(
        ContextMenuOf(pGroupNode->child(0)).contains("&Delete" + QString(30, ' ') + "\tDel"))
        << "a group's task cannot be deleted";

    // The frame's menus ask the same of the selected node.
    Tree().setCurrentItem(LogNode(pSystem));
    EXPECT_EQ(m_pView->CommandText(ID_LOG_DELETE), "&Delete\tDel");
    CCommandState state;
    EXPECT_TRUE(m_pView->UpdateCommand(ID_TEST_TASK, state) && !state.bEnabled);
    EXPECT_FALSE(m_pView->UpdateCommand(ID_FILE_OPEN, state)) << "not a command of the tree";
    Tree().setCurrentItem(LogNode(pText));
    EXPECT_FALSE(m_pView->IsCommandEnabled(ID_LOG_RENAME)) << "rename is for event logs";
}

TEST_F(TreeViewTest, HintsRebuildTheNodesConcerned)
{
    CFileMonitor* pLog = m_frame.AddTextLog("app", 2);
    CFileMonitor* pOther = m_frame.AddTextLog("other", 1);
    CreateView();
    CQuorvilDoc& doc = m_frame.m_doc;
    const DWORD dwID = pLog->GetID();
    QTreeWidgetItem* pLogNode = LogNode(pLog);
    QTreeWidgetItem* pOtherNode = LogNode(pOther);
    pOtherNode->setExpanded(true);

    // A key added and deleted: the group's subtree follows, expanded as it was.
    pLogNode->setExpanded(true);
    pLogNode->child(1)->setExpanded(true);
    auto* pKey = new CSearchKeyText;
    pKey->m_strKey1 = "disk";
    EXPECT_EQ(doc.AddSearchKey(dwID, 1, pKey), 2);
    EXPECT_EQ(ChildTexts(pLogNode->child(1)),
              (QStringList{"Task", "'error' Only", "'warning' Only", "'disk' Only"}));
    EXPECT_TRUE(pLogNode->child(1)->isExpanded());
    EXPECT_TRUE(doc.DeleteSearchKey(dwID, 1, 0));
    EXPECT_EQ(ChildTexts(pLogNode->child(1)),
              (QStringList{"Task", "'warning' Only", "'disk' Only"}));
    EXPECT_EQ(IdOf(pLogNode->child(1)->child(2)), TREE_KIND_SEARCH_KEY | 1)
        << "key indexes renumbered";
    EXPECT_EQ(ChildTexts(pLogNode->child(0)),
              (QStringList{"Task", "'error' Only", "'warning' Only"}))
        << "the other group is untouched";

    // A group added is selected; a group deleted renumbers the rest.
    EXPECT_EQ(doc.AddWatchGroup(dwID, TextGroup("Added", {"x"})), 2);
    EXPECT_EQ(ChildTexts(pLogNode), (QStringList{"Group 0", "Group 1", "Added"}));
    EXPECT_EQ(m_pView->GetSelectedID(), TREE_KIND_WATCH_GROUP | 2);
    EXPECT_EQ(ChildTexts(pLogNode->child(2)), (QStringList{"Task", "'x' Only"}));
    EXPECT_TRUE(doc.DeleteWatchGroup(dwID, 0));
    EXPECT_EQ(ChildTexts(pLogNode), (QStringList{"Group 1", "Added"}));
    EXPECT_EQ(IdOf(pLogNode->child(1)), TREE_KIND_WATCH_GROUP | 1);

    // Groups replaced from another log: the log keeps its expansion and is selected.
    pLogNode->setExpanded(false);
    doc.ReplaceWatchGroups(dwID, *pOther);
    EXPECT_EQ(ChildTexts(pLogNode), QStringList{"Group 0"});
    EXPECT_EQ(
        std::tuple(pLogNode->isExpanded(), m_pView->GetSelectedID(), pOtherNode->isExpanded()),
        std::tuple(false, dwID, true));

    // Renamed logs move to their sorted place; a deleted log goes.
    pLog->m_strShortDescription = "zzz";
    doc.UpdateAllViews(ViewHint::LogState, std::make_unique<CHintStruct>(dwID).get());
    EXPECT_EQ(ChildTexts(TextRoot()), (QStringList{"other", "zzz"}));
    EXPECT_TRUE(doc.DeleteMonitoredLog(pOther->GetID()));
    EXPECT_EQ(ChildTexts(TextRoot()), QStringList{"zzz"});

    // A new log is selected and shown.
    m_frame.m_messages.clear();
    auto* pNew = new CEventMonitor;
    pNew->m_strServer = "SRV";
    pNew->m_strLogName = "Security";
    const DWORD dwNew = doc.AddEventLog(pNew);
    EXPECT_EQ(m_pView->GetSelectedID(), dwNew);
    EXPECT_EQ(m_frame.m_messages,
              (std::vector<CFrameMessage>{{WM_SHOW_EVENT_VIEWER, static_cast<LPARAM>(dwNew)}}));
}

TEST_F(TreeViewTest, ClicksShowANodeUnlessItBelongsToTheLogShownAndArrowKeysWaitForTheTimer)
{
    CFileMonitor* pApp = m_frame.AddTextLog("app", 1);
    CEventMonitor* pSystem = m_frame.AddEventLog("SRV", "System");
    CreateView();
    LogNode(pApp)->setExpanded(true);
    LogNode(pApp)->child(0)->setExpanded(true);
    const LPARAM app = pApp->GetID();

    Click(LogNode(pApp));
    Click(LogNode(pApp)->child(0));           // its group: same log
    Click(LogNode(pApp)->child(0)->child(1)); // its key: same log
    Click(LogNode(pApp)->child(0)->child(1)); // the selected node again
    Click(LogNode(pSystem));
    Click(EventRoot());
    Click(SystemLog());
    Click(LogNode(pApp)->child(0)); // a group of another log than the one shown
    EXPECT_EQ(m_frame.m_messages, (std::vector<CFrameMessage>{
                                      {WM_SHOW_TEXT_VIEWER, app},
                                      {WM_SHOW_EVENT_VIEWER, static_cast<LPARAM>(pSystem->GetID())},
                                      {WM_SHOW_EVENT_LOGS, 0},
                                      {WM_SHOW_TEXT_VIEWER, ITEM_KIND_SYSTEM_LOG},
                                      {WM_SHOW_TEXT_VIEWER, app}}));

    m_frame.m_messages.clear();
    EXPECT_TRUE(m_pView->OnCommand(ID_VIEW_REFRESH));
    EXPECT_EQ(m_frame.m_messages, (std::vector<CFrameMessage>{{WM_SHOW_TEXT_VIEWER, app}}));

    // Arrow keys show only the node reached when the timer fires, once.
    auto* pTimer = m_pView->findChild<QTimer*>("selectTimer");
    ASSERT_NE(pTimer, nullptr);
    QSignalSpy fired(pTimer, &QTimer::timeout);
    LogNode(pApp)->setExpanded(false);
    Tree().setCurrentItem(TextRoot());
    m_frame.m_messages.clear();
    Tree().setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&Tree(), Qt::Key_Down);
    EXPECT_EQ(m_pView->GetSelectedID(), ITEM_KIND_SYSTEM_LOG);
    Tree().setCurrentItem(LogNode(pSystem)); // moved back before the timer fires
    EXPECT_TRUE(m_frame.m_messages.empty()) << "nothing is shown while the keys are pressed";
    EXPECT_TRUE(pTimer->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 1, 5000);
    EXPECT_FALSE(pTimer->isActive()) << "fires once";
    EXPECT_EQ(m_frame.m_messages,
              (std::vector<CFrameMessage>{
                  {WM_SHOW_EVENT_VIEWER, static_cast<LPARAM>(pSystem->GetID())}}));
}

namespace {

// Holds each task message until the test releases it, noting the thread.
class CBlockingTaskUi final : public ITaskUi {
public:
    void ShowTaskMessage(const std::string&, const std::string& strText) override
    {
        std::unique_lock lock(m_mutex);
        m_text = strText;
        m_thread = std::this_thread::get_id();
        m_bShowing = true;
        m_cv.wait(lock, [this] { return m_bReleased; });
        lock.unlock();
        m_bDone = true; // the last touch of this object by the worker
    }
    int EditTask(CTask&) override { return 0; }
    void Release()
    {
        std::scoped_lock lock(m_mutex);
        m_bReleased = true;
        m_cv.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_text;       // guarded by m_mutex
    std::thread::id m_thread; // guarded by m_mutex
    std::atomic<bool> m_bShowing = false;
    std::atomic<bool> m_bDone = false;
    bool m_bReleased = false; // guarded by m_mutex
};

} // namespace

TEST_F(TreeViewTest, TestTaskActionsRunsACopyOnAWorkerWithoutWaiting)
{
    CFileMonitor* pLog = m_frame.AddTextLog("app", 1);
    CDisplayMessage message;
    message.SetMessage("Disk %EVENT_TEXT%");
    pLog->GetWatchGroup(0)->m_task.AddAction(message);
    CreateView();
    CBlockingTaskUi ui;
    SetTaskUi(&ui);

    Tree().setCurrentItem(LogNode(pLog)->child(0)->child(0)); // the task node
    EXPECT_TRUE(m_pView->OnCommand(ID_TEST_TASK));
    // Returned while the message waits on the worker; the group can be deleted meanwhile.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.m_bShowing.load(); }, 5000));
    EXPECT_FALSE(ui.m_bDone);
    m_frame.m_ui.m_nDefaultAnswer = IDYES;
    EXPECT_TRUE(m_frame.m_doc.DeleteWatchGroup(pLog->GetID(), 0));
    {
        std::scoped_lock lock(ui.m_mutex);
        EXPECT_NE(ui.m_thread, std::this_thread::get_id());
        EXPECT_EQ(ui.m_text, "Disk <empty>") << "no event values are substituted";
    }
    ui.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.m_bDone.load(); }, 5000));
    SetTaskUi(nullptr);
}
