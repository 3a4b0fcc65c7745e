// Copy, paste, drag and drop in the workspace tree, through the desktop clipboard.

#include "treetestsupport.h"
#include "ui/common/commandids.h"
#include "ui/tree/pastesource.h"
#include "ui/tree/treenodes.h"

namespace {

// string 168, the question before a log's watch groups are copied
constexpr const char* COPY_GROUPS_QUESTION_START =
    "This operation will copy the watch groups from the source log to the target log.";

class TreeTransferTest : public TreeViewTest {
protected:
    QString PasteItemOf(QTreeWidgetItem* pItem)
    {
        for (const QString& text : ContextMenuOf(pItem))
            if (text.startsWith("&Paste"))
                return text;
        return "(none)";
    }
    void CopyNode(QTreeWidgetItem* pItem)
    {
        Tree().setCurrentItem(pItem);
        EXPECT_TRUE(m_pView->OnCommand(ID_EDIT_COPY));
    }
    void PasteOn(QTreeWidgetItem* pItem)
    {
        Tree().setCurrentItem(pItem);
        EXPECT_TRUE(m_pView->OnCommand(ID_EDIT_PASTE));
    }
    QPoint CenterOf(QTreeWidgetItem* pItem) { return Tree().visualItemRect(pItem).center(); }
    void DragEnter(QTreeWidgetItem* pItem, const QMimeData& data)
    {
        QDragEnterEvent enter(CenterOf(pItem), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Tree().viewport(), &enter);
    }
    bool DragOver(QTreeWidgetItem* pItem, const QMimeData& data)
    {
        QDragMoveEvent move(CenterOf(pItem), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Tree().viewport(), &move);
        return move.isAccepted();
    }
};

} // namespace

TEST_F(TreeTransferTest, KeysCopyAndPasteByKindOfLog)
{
    CFileMonitor* pApp = m_frame.AddTextLog("app", 2);
    CFileMonitor* pEmpty = m_frame.AddTextLog("empty");
    CreateView();
    QTreeWidgetItem* pAppNode = LogNode(pApp);

    CopyNode(pAppNode->child(0)->child(2)); // 'warning' Only
    EXPECT_EQ(PasteItemOf(LogNode(pEmpty)), "&Paste (Add text key)\tCtrl+V");
    EXPECT_EQ(PasteItemOf(pAppNode->child(1)->child(1)), "&Paste (Replace text key)\tCtrl+V");

    // Added to a log: the group is chosen, the new key's node selected.
    m_frame.m_ui.m_nChoose = 1;
    PasteOn(pAppNode);
    ASSERT_EQ(pApp->GetWatchGroup(1)->GetKeyCount(), 3);
    EXPECT_EQ(pApp->GetWatchGroup(1)->GetKey(2)->GetDescription(), "'warning' Only");
    EXPECT_EQ(m_pView->GetSelectedID(), TREE_KIND_SEARCH_KEY | 2);
    EXPECT_EQ(Tree().currentItem()->parent(), pAppNode->child(1));
    // A log without groups gets "<New Watch Group 0>" without a question.
    PasteOn(LogNode(pEmpty));
    ASSERT_EQ(pEmpty->GetWatchGroupCount(), 1);
    EXPECT_EQ(pEmpty->GetWatchGroup(0)->m_strDescription, "<New Watch Group 0>");
    EXPECT_EQ(ChildTexts(LogNode(pEmpty)->child(0)), (QStringList{"Task", "'warning' Only"}));

    // Replacing asks first; No keeps the key.
    m_frame.m_boxes.SetAnswer(IDNO);
    PasteOn(pAppNode->child(1)->child(1));
    EXPECT_EQ(m_frame.m_boxes.texts,
              std::vector<std::string>{"Do you want to replace this search key?"});
    EXPECT_EQ(pApp->GetWatchGroup(1)->GetKey(0)->GetDescription(), "'error' Only");
    m_frame.m_boxes.SetAnswer(IDYES);
    PasteOn(pAppNode->child(1)->child(1));
    EXPECT_EQ(pApp->GetWatchGroup(1)->GetKey(0)->GetDescription(), "'warning' Only");
    EXPECT_EQ(pAppNode->child(1)->child(1)->text(0), "'warning' Only");
}

TEST_F(TreeTransferTest, WatchGroupsAndTasksKeepToTheirKindOfLog)
{
    CFileMonitor* pApp = m_frame.AddTextLog("app", 2);
    CFileMonitor* pWeb = m_frame.AddTextLog("web");
    CEventMonitor* pSystem = m_frame.AddEventLog("SRV", "System", 1);
    CreateView();
    pApp->GetWatchGroup(0)->m_task.SetDescription("Mail the team");
    m_frame.m_doc.UpdateAllViews(ViewHint::TaskEdited,
                                 std::make_unique<CHintStruct>(pApp->GetID(), 0).get());
    EXPECT_EQ(LogNode(pApp)->child(0)->child(0)->text(0), "Mail the team");

    CopyNode(LogNode(pApp)->child(0));
    // Refused on an event log: the menu item is gray and Paste does nothing.
    EXPECT_EQ(PasteItemOf(LogNode(pSystem)), "&Paste  [gray]");
    Tree().setCurrentItem(LogNode(pSystem));
    EXPECT_FALSE(m_pView->IsCommandEnabled(ID_EDIT_PASTE));
    PasteOn(LogNode(pSystem));
    EXPECT_EQ(pSystem->GetWatchGroupCount(), 1);

    EXPECT_EQ(PasteItemOf(LogNode(pWeb)), "&Paste (Add text watch)\tCtrl+V");
    PasteOn(LogNode(pWeb));
    ASSERT_EQ(pWeb->GetWatchGroupCount(), 1);
    EXPECT_EQ(ChildTexts(LogNode(pWeb)->child(0)),
              (QStringList{"Mail the team", "'error' Only", "'warning' Only"}));

    m_frame.m_boxes.SetAnswer(IDYES);
    PasteOn(LogNode(pApp)->child(1));
    EXPECT_EQ(m_frame.m_boxes.texts,
              std::vector<std::string>{"Do you want to replace this watch group?"});
    EXPECT_EQ(pApp->GetWatchGroup(1)->m_strDescription, "Group 0");

    CopyNode(LogNode(pApp)->child(0)->child(0));
    EXPECT_EQ(PasteItemOf(LogNode(pSystem)->child(0)), "&Paste (Replace task)\tCtrl+V");
    m_frame.m_boxes.texts.clear();
    PasteOn(LogNode(pSystem)->child(0));
    EXPECT_EQ(m_frame.m_boxes.texts, std::vector<std::string>{"Do you want to replace this task?"});
    EXPECT_EQ(pSystem->GetWatchGroup(0)->m_task.GetDescription(), "Mail the team");
    EXPECT_EQ(LogNode(pSystem)->child(0)->child(0)->text(0), "Mail the team");

    // An event log's key, group and the log itself go to event logs only.
    CopyNode(LogNode(pSystem)->child(0)->child(1));
    EXPECT_EQ(PasteItemOf(LogNode(pSystem)), "&Paste (Add event key)\tCtrl+V");
    EXPECT_EQ(PasteItemOf(LogNode(pApp)->child(0)), "&Paste  [gray]");
    CopyNode(LogNode(pSystem)->child(0));
    EXPECT_EQ(PasteItemOf(LogNode(pSystem)), "&Paste (Add event watch)\tCtrl+V");
    EXPECT_EQ(PasteItemOf(LogNode(pWeb)), "&Paste  [gray]");
    CopyNode(LogNode(pSystem));
    EXPECT_EQ(PasteItemOf(EventRoot()), "&Paste (Add event log)\tCtrl+V");
}

TEST_F(TreeTransferTest, ALogPastedOnAnotherAsksHowToCopyItsWatchGroups)
{
    CFileMonitor* pApp = m_frame.AddTextLog("app", 2);
    CFileMonitor* pWeb = m_frame.AddTextLog("web", 1);
    CreateView();
    CopyNode(LogNode(pApp));
    EXPECT_EQ(PasteItemOf(LogNode(pWeb)), "&Paste (Replace text log watches)\tCtrl+V");

    m_frame.m_boxes.SetAnswer(IDCANCEL);
    PasteOn(LogNode(pWeb));
    ASSERT_EQ(m_frame.m_boxes.texts.size(), 1u);
    EXPECT_EQ(m_frame.m_boxes.texts[0].rfind(COPY_GROUPS_QUESTION_START, 0), 0u);
    EXPECT_EQ(pWeb->GetWatchGroupCount(), 1);
    EXPECT_FALSE(m_frame.m_doc.IsModified());

    m_frame.m_boxes.SetAnswer(IDYES); // merge
    PasteOn(LogNode(pWeb));
    EXPECT_EQ(ChildTexts(LogNode(pWeb)), (QStringList{"Group 0", "Group 0", "Group 1"}));
    m_frame.m_boxes.SetAnswer(IDNO); // replace
    PasteOn(LogNode(pWeb));
    EXPECT_EQ(ChildTexts(LogNode(pWeb)), (QStringList{"Group 0", "Group 1"}));

    PasteOn(TextRoot());
    EXPECT_EQ(m_frame.m_doc.m_pManager->GetLogCount(), 3);
    EXPECT_EQ(ChildTexts(TextRoot()), (QStringList{"app", "app", "web"}));
    EXPECT_NE(m_pView->GetSelectedID(), pApp->GetID()) << "the copy is a new log, selected";
    EXPECT_EQ(ItemKind(m_pView->GetSelectedID()), ITEM_KIND_TEXT_LOG);
}

TEST_F(TreeTransferTest, DragOverSelectsTheNodeAndAllowsWhatPasteWould)
{
    CFileMonitor* pApp = m_frame.AddTextLog("app", 1);
    CEventMonitor* pSystem = m_frame.AddEventLog("SRV", "System");
    CreateView();
    QMimeData key;
    const CSearchKey& source = *pApp->GetWatchGroup(0)->GetKey(0);
    PutBlock(key, source.GetClipFormat(), source.CopyToGlobalMemory());
    Tree().setCurrentItem(SystemLog());

    DragEnter(TextRoot(), key);
    EXPECT_FALSE(DragOver(LogNode(pSystem), key));
    EXPECT_EQ(m_pView->GetSelectedID(), pSystem->GetID())
        << "the node under the cursor is selected";
    EXPECT_TRUE(DragOver(LogNode(pApp), key));
    EXPECT_EQ(m_frame.m_strStatus, "Paste (Add text key)");
    QDragLeaveEvent leave;
    QApplication::sendEvent(Tree().viewport(), &leave);
    EXPECT_EQ(m_pView->GetSelectedID(), ITEM_KIND_SYSTEM_LOG)
        << "leaving reselects the node of before";

    // Text dropped from another program becomes a text key: its first line, trimmed.
    QMimeData text;
    text.setText("  Größe: out of memory\r\nnext line");
    m_frame.m_ui.m_bDialogOK = TRUE;
    m_frame.m_ui.m_nChoose = 0;
    DragEnter(LogNode(pApp), text);
    EXPECT_TRUE(DragOver(LogNode(pApp), text));
    QDropEvent drop(CenterOf(LogNode(pApp)), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(Tree().viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(m_frame.m_dialogs, std::vector<std::string>{"textkey:Größe: out of memory"});
    ASSERT_EQ(pApp->GetWatchGroup(0)->GetKeyCount(), 3);
    EXPECT_EQ(pApp->GetWatchGroup(0)->GetKey(2)->GetDescription(), "'Größe: out of memory' Only");
}
