#include "dialogtest.h"
#include "match/searchkeyevent.h"
#include "screenshot.h"
#include "ui/common/icons.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/advancedoptions.h"
#include "ui/dialogs/choosewatchgroup.h"
#include "ui/dialogs/commandbar.h"
#include "ui/dialogs/taskdialog.h"
#include "ui/dialogs/textkeydialog.h"
#include "ui/dialogs/watchgroupdialog.h"

namespace {

class WatchGroupDialog : public ::testing::Test {
protected:
    void SetUp() override { RegisterModelClassesAndClearClipboard(); }
};

} // namespace

TEST_F(WatchGroupDialog, KeysAreAddedEditedAndDeletedAndOkNeedsADescription)
{
    CMessageRecorder messages(IDNO);
    CKeysAndActions group;
    CDlgWatchGroup dlg(group, false);
    QTreeWidget* list = dlg.GetKeyList();

    for (bool bOk : {true, false}) {
        OnNextDialog<CDlgTextKey>([bOk](CDlgTextKey* d) {
            Child<QLineEdit>(d, "key1")->setText(bOk ? "disk" : "dropped");
            Child<QCheckBox>(d, "case")->setChecked(true);
            bOk ? d->accept() : d->reject();
        });
        QTest::keyClick(list, Qt::Key_Insert);
    }
    ASSERT_EQ(group.GetKeyCount(), 1) << "Cancel drops the new key";
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(std::pair(list->topLevelItem(0)->text(0), list->topLevelItem(0)->text(1)),
              std::pair(QString("'disk' Only"), QString("Yes")));

    SelectRow(list, 0);
    OnNextDialog<CDlgTextKey>([](CDlgTextKey* d) {
        EXPECT_EQ(Child<QLineEdit>(d, "key1")->text(), "disk");
        Child<QLineEdit>(d, "key1")->setText("memory");
        d->accept();
    });
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_EQ(std::pair(static_cast<CSearchKeyText*>(group.GetKey(0))->m_strKey1,
                        list->topLevelItem(0)->text(0)),
              std::pair(std::string("memory"), QString("'memory' Only")));
    EXPECT_TRUE(list->topLevelItem(0)->isSelected()) << "refilling keeps the selected row";

    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(messages.Last(), "Are you sure you want to delete this item?");
    EXPECT_EQ(group.GetKeyCount(), 1) << "No keeps the key";
    messages.SetAnswer(IDYES);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(std::pair(group.GetKeyCount(), list->topLevelItemCount()), std::pair(0, 0));

    for (const char* description : {"", "Disk errors"}) {
        Child<QLineEdit>(&dlg, "description")->setText(description);
        dlg.accept();
        EXPECT_EQ(dlg.result() == QDialog::Accepted, *description != 0);
    }
    EXPECT_EQ(messages.Last(), "You must enter a description for this watch group!");
    EXPECT_EQ(group.m_strDescription, "Disk errors");
}

TEST_F(WatchGroupDialog, CommandsFollowTheSelectionAndTheClipboard)
{
    std::unique_ptr<CKeysAndActions> pGroup(TextGroup("", {"a"}));
    CKeysAndActions& group = *pGroup;
    CDlgWatchGroup dlg(group, false);
    CItemCommandBar* bar = dlg.GetCommandBar();
    using Commands = std::vector<ItemCommand>;
    auto enabled = [bar] {
        Commands on;
        for (ItemCommand cmd :
             {CMD_ADD, CMD_EDIT, CMD_DELETE, CMD_COPY, CMD_DUPLICATE, CMD_PASTE, CMD_TASK})
            if (bar->GetButton(cmd)->isEnabled())
                on.push_back(cmd);
        return on;
    };
    EXPECT_EQ(enabled(), (Commands{CMD_ADD, CMD_TASK})) << "no selection, no clipboard data";
    EXPECT_EQ(bar->GetButton(CMD_TASK)->toolTip(), "Task (F7)");
    SelectRow(dlg.GetKeyList(), 0);
    EXPECT_EQ(enabled(),
              (Commands{CMD_ADD, CMD_EDIT, CMD_DELETE, CMD_COPY, CMD_DUPLICATE, CMD_TASK}));

    QMenu* menu = bar->BuildContextMenu();
    EXPECT_EQ(menu->defaultAction()->text(), "Edit\tF2");
    EXPECT_TRUE(menu->actions()[0]->isEnabled());
    EXPECT_FALSE(menu->actions()[5]->isEnabled()) << "Paste without clipboard data";
    delete menu;

    // An event key on the clipboard is not a text key.
    CSearchKeyEvent eventKey;
    eventKey.SetSourceValue("Disk");
    PutOnClipboard(eventKey.GetClipFormat(), eventKey.CopyToGlobalMemory());
    bar->UpdateStates();
    EXPECT_FALSE(bar->GetButton(CMD_PASTE)->isEnabled());
    QTest::keyClick(dlg.GetKeyList(), Qt::Key_F9);
    EXPECT_EQ(group.GetKeyCount(), 1);

    // Every button has a tip and a picture of its own: no floppy disk, no open folder.
    const QImage save =
        dlg.style()->standardIcon(QStyle::SP_DialogSaveButton).pixmap(16, 16).toImage();
    const QImage open =
        dlg.style()->standardIcon(QStyle::SP_DialogOpenButton).pixmap(16, 16).toImage();
    for (QToolButton* button : dlg.findChildren<QToolButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->toolTip().isEmpty());
        const QImage image = button->icon().pixmap(16, 16).toImage();
        EXPECT_TRUE(image != save && image != open);
    }
    EXPECT_EQ(bar->GetButton(CMD_COPY)->icon().pixmap(16, 16).toImage(),
              GetToolIcon(ToolIcon::Copy).pixmap(16, 16).toImage());
}

TEST_F(WatchGroupDialog, DuplicateAppendsAnEqualKeyAndKeepsItOnTheClipboard)
{
    CKeysAndActions group;
    auto* key = new CSearchKeyEvent;
    key->SetEventIDRange(6005, 6009);
    group.AddKey(key);
    group.AddKey(new CSearchKeyEvent);
    CDlgWatchGroup dlg(group, true);
    SelectRow(dlg.GetKeyList(), 0);
    QTest::keyClick(dlg.GetKeyList(), Qt::Key_F10);

    ASSERT_EQ(group.GetKeyCount(), 3);
    EXPECT_EQ(std::pair(group.GetKey(2)->GetDescription(),
                        FromQt(dlg.GetKeyList()->topLevelItem(2)->text(1))),
              std::pair(key->GetDescription(), key->GetDescription()))
        << "appended at the end";
    EXPECT_TRUE(dlg.GetCommandBar()->GetButton(CMD_PASTE)->isEnabled());

    dlg.show();
    SaveScreenshot(&dlg, "watch-group-dialog");
    QTest::keyClick(dlg.GetKeyList(), Qt::Key_F9);
    ASSERT_EQ(group.GetKeyCount(), 4) << "the duplicate stays on the clipboard";
    EXPECT_EQ(static_cast<CSearchKeyEvent*>(group.GetKey(3))->m_arrEventIDs,
              (std::vector<DWORD>{6005, 6009}));
}

TEST_F(WatchGroupDialog, TaskKeyOpensTheGroupsTaskAndAdvancedOptionsItsInterval)
{
    CKeysAndActions group;
    group.m_bMinInterval = FALSE;
    group.m_nMinIntervalMinutes = 0;
    CDlgWatchGroup dlg(group, false);
    for (bool bOk : {false, true}) {
        OnNextDialog<CDlgTask>([bOk](CDlgTask* d) {
            Child<QLineEdit>(d, "description")->setText("Page the operator");
            bOk ? d->accept() : d->reject();
        });
        QTest::keyClick(dlg.GetKeyList(), Qt::Key_F7);
        EXPECT_EQ(group.m_task.GetDescription() == "Page the operator", bOk);
    }

    OnNextDialog<CDlgAdvancedOptions>([](CDlgAdvancedOptions* d) {
        auto* minutes = Child<QSpinBox>(d, "minutes");
        EXPECT_FALSE(minutes->isEnabled());
        Child<QCheckBox>(d, "enable")->setChecked(true);
        EXPECT_TRUE(minutes->isEnabled());
        minutes->setValue(15);
        d->accept();
    });
    Child<QPushButton>(&dlg, "advanced")->click();
    EXPECT_EQ(std::pair(group.m_bMinInterval, group.m_nMinIntervalMinutes), std::pair(TRUE, 15));
}

TEST(ChooseWatchGroup, ReturnsThePositionOrAddNew)
{
    CFileMonitor log;
    for (const char* name : {"Errors", "Logons"})
        log.AddWatchGroup(TextGroup(name, {}));
    CDlgChooseWatchGroup dlg(log);
    auto* groups = Child<QComboBox>(&dlg, "groups");
    ASSERT_EQ(groups->count(), 3);
    EXPECT_EQ(dlg.GetChoice(), 0) << "the first entry is selected at opening";
    groups->setCurrentIndex(1);
    EXPECT_EQ(dlg.GetChoice(), 1);
    groups->setCurrentIndex(2);
    EXPECT_EQ(groups->currentText(), "(Add new group)");
    EXPECT_EQ(dlg.GetChoice(), CHOOSE_NEW_WATCH_GROUP);
}
