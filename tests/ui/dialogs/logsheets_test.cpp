#include "dialogtest.h"
#include "screenshot.h"
#include "ui/dialogs/commandbar.h"
#include "ui/dialogs/logpages.h"
#include "ui/dialogs/logsheets.h"
#include "ui/dialogs/pagewatches.h"
#include "ui/dialogs/watchgroupdialog.h"

namespace {

class LogSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterModelClassesAndClearClipboard();
        m_log.m_strDirectory = "/var/log/";
        m_log.m_strFileName = "app.log";
        m_log.m_strShortDescription = "App";
        m_log.SetEnabled(TRUE);
        m_log.SetInterval(60);
    }

    CFileMonitor m_log;
};

// What the properties and security pages edit.
auto Properties(const CFileMonitor& log)
{
    return std::tuple(log.m_strDirectory, log.m_strFileName, log.m_strShortDescription,
                      log.GetInterval(), log.IsEnabled(), log.GetImpersonate(), log.GetLogonUser());
}

} // namespace

TEST_F(LogSheet, PagesWriteIntoTheLogOnlyOnOk)
{
    for (bool bOk : {false, true}) {
        CDlgEditFile sheet(m_log, false, ADD_MODE_MENU);
        EXPECT_EQ(Child<QLineEdit>(&sheet, "path")->text(), "/var/log/app.log");
        sheet.show();
        SaveScreenshot(&sheet, "text-log-sheet");
        Child<QLineEdit>(&sheet, "path")->setText("/srv/logs/new.log");
        Child<QLineEdit>(&sheet, "description")->setText("New");
        Child<QSpinBox>(&sheet, "interval")->setValue(120);
        Child<QCheckBox>(&sheet, "enabled")->setChecked(false);
        Child<QCheckBox>(&sheet, "impersonate")->setChecked(true);
        Child<QLineEdit>(&sheet, "user")->setText("backup");
        bOk ? sheet.accept() : sheet.reject();
        EXPECT_EQ(Properties(m_log),
                  bOk ? std::tuple("/srv/logs/", "new.log", "New", 120, FALSE, TRUE, "backup")
                      : std::tuple("/var/log/", "app.log", "App", 60, TRUE, FALSE, ""));
    }
}

TEST_F(LogSheet, TitleTabsAndControlsFollowTheMode)
{
    // Adding, mode, title, jump shown, locked (monitoring, formatted, browse and two tabs).
    const std::tuple<bool, int, const char*, bool, bool> cases[] = {
        {true, ADD_MODE_MENU, "Add Text Log", true, false},
        {false, ADD_MODE_MENU, "Edit Text Log", false, false},
        {true, ADD_MODE_WIZARD_SAMPLE, "Quick Start - Add Text Log", false, true},
    };
    for (const auto& [bAdding, nMode, title, bJumpShown, bLocked] : cases) {
        SCOPED_TRACE(title);
        CDlgEditFile sheet(m_log, bAdding, nMode);
        EXPECT_EQ(sheet.windowTitle(), title);
        const QString locked = bLocked ? " - Disabled" : "";
        EXPECT_EQ(Texts(sheet.GetTabs()),
                  (QStringList{"Properties", "Watches" + locked, "Security" + locked}));
        // The interval follows monitoring, which is on.
        EXPECT_EQ(std::tuple(!Child<QCheckBox>(&sheet, "jump")->isHidden(),
                             Child<QCheckBox>(&sheet, "enabled")->isEnabled(),
                             Child<QCheckBox>(&sheet, "formatted")->isEnabled(),
                             Child<QToolButton>(&sheet, "browse")->isEnabled(),
                             Child<QSpinBox>(&sheet, "interval")->isEnabled()),
                  std::tuple(bJumpShown, !bLocked, !bLocked, !bLocked, true));
        if (!bLocked)
            continue;
        sheet.show(); // the sample's sheet returns to its first page
        for (int tab : {1, 2}) {
            sheet.GetTabs()->setCurrentIndex(tab);
            EXPECT_TRUE(QTest::qWaitFor([&] { return sheet.GetTabs()->currentIndex() == 0; }, 5000))
                << "tab " << tab;
        }
    }
}

TEST_F(LogSheet, JumpIsPendingOnlyForANewEnabledLog)
{
    // Adding, enabled, jump checked, whether the jump is pending after OK.
    const std::tuple<bool, bool, bool, bool> cases[] = {{true, true, true, true},
                                                        {true, false, true, false},
                                                        {true, true, false, false},
                                                        {false, true, true, false}};
    for (const auto& [bAdding, bEnabled, bJump, bPending] : cases) {
        CFileMonitor log;
        log.m_strDirectory = "/var/log/"; // OK refuses an empty path
        log.m_strFileName = "app.log";
        CDlgEditFile sheet(log, bAdding, ADD_MODE_MENU);
        Child<QCheckBox>(&sheet, "enabled")->setChecked(bEnabled);
        Child<QCheckBox>(&sheet, "jump")->setChecked(bJump);
        EXPECT_EQ(Child<QCheckBox>(&sheet, "jump")->isEnabled(), bEnabled);
        sheet.accept();
        EXPECT_EQ(bool(log.m_bJumpPending), bPending) << bAdding << bEnabled << bJump;
    }
}

TEST_F(LogSheet, DescriptionIsFilledFromThePath)
{
    CFileMonitor log;
    CPageFileInfo page(log, true, ADD_MODE_MENU);
    auto* description = Child<QLineEdit>(&page, "description");
    page.SetBrowsedPath("/var/log/syslog");
    EXPECT_EQ(description->text(), "syslog") << "browsing gives the file name";
    page.SetBrowsedPath("/var/log/other.log");
    EXPECT_EQ(description->text(), "syslog") << "a description is never overwritten";

    description->clear();
    Child<QLineEdit>(&page, "path")->setText("/data/app.txt");
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(Child<QLineEdit>(&page, "path"), &focusOut);
    EXPECT_EQ(description->text(), "/data/app.txt") << "leaving the path gives the whole path";
}

TEST_F(LogSheet, EventLogSheetWritesOnOkAndAnotherChosenLogStartsAtItsEnd)
{
    CEventMonitor log;
    log.m_strServer = "SRV1";
    log.m_strLogName = "System";
    log.SetEnabled(TRUE);
    {
        CDlgEditLog sheet(log, true);
        EXPECT_EQ(sheet.windowTitle(), "Add Event Log");
        EXPECT_FALSE(Child<QCheckBox>(&sheet, "jump")->isHidden());
    }
    CDlgEditLog sheet(log, false);
    EXPECT_EQ(sheet.windowTitle(), "Edit Event Log");
    EXPECT_EQ(Texts(sheet.GetTabs()), (QStringList{"Scanning", "Watches", "Security"}));
    EXPECT_EQ(Child<QLabel>(&sheet, "logname")->text(), "SRV1\\System");
    EXPECT_TRUE(Child<QCheckBox>(&sheet, "jump")->isHidden());
    Child<QSpinBox>(&sheet, "interval")->setValue(300);
    Child<QCheckBox>(&sheet, "enabled")->setChecked(false);
    EXPECT_FALSE(Child<QSpinBox>(&sheet, "interval")->isEnabled());
    EXPECT_EQ(log.GetInterval(), 60);
    sheet.accept();
    EXPECT_EQ(std::tuple(log.GetInterval(), log.IsEnabled(), log.m_bJumpPending),
              std::tuple(300, FALSE, FALSE))
        << "the same log keeps its position";

    // Another log chosen in the network starts at its end, once OK writes it.
    log.m_nLastRecord = 500;
    CPageLogInfo page(log, false);
    page.SetChosenLog("no separator");
    page.WriteToLog();
    EXPECT_EQ(log.m_nLastRecord, 500u) << "a line without a computer is ignored";
    page.SetChosenLog("SRV2\\Application");
    EXPECT_EQ(Child<QLabel>(&page, "logname")->text(), "SRV2\\Application");
    EXPECT_EQ(log.GetServer(), "SRV1") << "nothing is written before OK";
    page.WriteToLog();
    EXPECT_EQ(std::tuple(log.GetServer(), log.GetLogName(), log.m_nLastRecord, log.m_bJumpPending),
              std::tuple(std::string("SRV2"), std::string("Application"), DWORD{0}, TRUE));
}

TEST_F(LogSheet, WatchesPageAddsEditsAndDuplicatesGroups)
{
    m_log.AddWatchGroup(TextGroup("One", {"key0"}));
    m_log.AddWatchGroup(TextGroup("Two", {"key0", "key1"}));
    CPageWatches page(m_log);
    QTreeWidget* list = page.GetList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(1), "2") << "the key count";

    for (bool bOk : {false, true}) {
        OnNextDialog<CDlgWatchGroup>([bOk](CDlgWatchGroup* d) {
            EXPECT_EQ(Child<QLineEdit>(d, "description")->text(), "<New Watch Group 3>");
            bOk ? d->accept() : d->reject();
        });
        QTest::keyClick(list, Qt::Key_Insert);
        ASSERT_EQ(m_log.GetWatchGroupCount(), bOk ? 3 : 2) << "Cancel drops the new group";
    }
    EXPECT_EQ(m_log.GetWatchGroup(2)->m_strDescription, "<New Watch Group 3>");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "<New Watch Group 3>");

    // Editing works on a copy: Cancel leaves the group as it was.
    SelectRow(list, 0);
    CMessageRecorder messages(IDYES);
    for (bool bOk : {false, true}) {
        OnNextDialog<CDlgWatchGroup>([bOk](CDlgWatchGroup* d) {
            SelectRow(d->GetKeyList(), 0);
            QTest::keyClick(d->GetKeyList(), Qt::Key_Delete);
            EXPECT_EQ(d->GetKeyList()->topLevelItemCount(), 0);
            Child<QLineEdit>(d, "description")->setText("Renamed");
            bOk ? d->accept() : d->reject();
        });
        QTest::keyClick(list, Qt::Key_F2);
        const char* name = bOk ? "Renamed" : "One";
        EXPECT_EQ(std::tuple(m_log.GetWatchGroup(0)->GetKeyCount(),
                             m_log.GetWatchGroup(0)->m_strDescription,
                             list->topLevelItem(0)->text(0)),
                  std::tuple(bOk ? 0 : 1, std::string(name), QString(name)));
    }

    // Duplicate keeps a copy on the clipboard, which an event log's page does not take.
    SelectRow(list, 1);
    QTest::keyClick(list, Qt::Key_F10);
    ASSERT_EQ(m_log.GetWatchGroupCount(), 4);
    EXPECT_EQ(m_log.GetWatchGroup(3)->m_strDescription, "Two");
    EXPECT_EQ(m_log.GetWatchGroup(3)->GetKeyCount(), 2);
    EXPECT_TRUE(GetClipboard().IsFormatAvailable(m_log.GetWatchGroupClipFormat()));
    CEventMonitor eventLog;
    CPageWatches eventPage(eventLog);
    EXPECT_FALSE(eventPage.GetCommandBar()->GetButton(CMD_PASTE)->isEnabled());
    QTest::keyClick(eventPage.GetList(), Qt::Key_F9);
    EXPECT_EQ(eventLog.GetWatchGroupCount(), 0);
}
