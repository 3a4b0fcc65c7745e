
#include "core/monmanager.h"
#include "platform/base/win32error.h"
#include "platform/registry/winreg.h"
#include "screenshot.h"
#include "ui/common/qtstrings.h"
#include "ui/network/networkdialog.h"
#include "widgettest.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* EVENTLOG_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

// A computer folder in the test's network root with these event logs registered.
void AddComputer(const std::string& domain, const std::string& name,
                 const std::vector<std::string>& logs)
{
    fs::create_directories(GetNetworkRoot() + "/" + domain + "/" + name);
    HKEY hRoot{};
    ASSERT_EQ(RegConnectRegistryA(("\\\\" + name).c_str(), HKEY_LOCAL_MACHINE, &hRoot),
              ERROR_SUCCESS);
    for (const std::string& log : logs) {
        HKEY hKey{};
        ASSERT_EQ(RegCreateKeyExA(hRoot, (EVENTLOG_KEY + log).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
    RegCloseKey(hRoot);
}

// The test network: the local TESTHOST and SRV1 in WORKGROUP, ACCT2 in SALES.
void BuildNetwork()
{
    static bool s_built = false;
    if (s_built)
        return;
    s_built = true;
    AddComputer("WORKGROUP", "TESTHOST", {"Application", "System"});
    AddComputer("WORKGROUP", "SRV1", {"Application", "Custom"});
    AddComputer("SALES", "ACCT2", {"System"});
    fs::create_directories(GetNetworkRoot() + "/LAB/NOLOGS"); // a computer without event logs
}

// A click (or a double click) on an item of the explorer, as a user makes it.
void Click(QTreeWidget* tree, const QString& text, bool bDouble = false)
{
    QList<QTreeWidgetItem*> items = tree->findItems(text, Qt::MatchExactly);
    ASSERT_FALSE(items.isEmpty()) << text.toStdString();
    const QPoint center = tree->visualItemRect(items.front()).center();
    if (bDouble)
        DoubleClick(tree->viewport(), center);
    else
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, center);
}

class NetworkDialog : public ::testing::Test {
protected:
    void SetUp() override { BuildNetwork(); }
};

} // namespace

TEST_F(NetworkDialog, BrowsesTheNetworkListsEachComputersLogsOnceAndReportsUnreachableOnes)
{
    CMessageRecorder boxes;
    CNetworkDialog dlg(ADD_MODE_MENU);
    dlg.show();
    dlg.activateWindow(); // so that its keys work
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTreeWidget* explorer = dlg.GetExplorer();
    // The title and the explorer's items after a double click on an item.
    using Shown = std::pair<QString, QStringList>;
    auto open = [&](const QString& item) {
        Click(explorer, item, true);
        return Shown(dlg.windowTitle(), Texts(explorer));
    };
    EXPECT_EQ(Shown(dlg.windowTitle(), Texts(explorer)),
              Shown("Network Neighborhood", {"Srv1", "Testhost", "Entire Network"}));
    EXPECT_FALSE(dlg.findChild<QCheckBox*>("jumpToEnd")->isHidden());
    EXPECT_EQ(open("Entire Network"), Shown("Entire Network", {QUORVIL_NETWORK_NAME}));
    EXPECT_EQ(open(QUORVIL_NETWORK_NAME),
              Shown(QUORVIL_NETWORK_NAME, {"Up Level", "LAB", "SALES", "WORKGROUP"}));
    EXPECT_EQ(open("SALES"), Shown("SALES", {"Up Level", "Acct2"}));

    // A single click on a computer lists its logs; a second adds nothing.
    Click(explorer, "Acct2");
    Click(explorer, "Acct2");
    QTest::keyClick(&dlg, Qt::Key_F2);
    EXPECT_EQ(Texts(dlg.GetLogList()), QStringList({"Acct2\\System"}));

    QTest::keyClick(&dlg, Qt::Key_F5);
    EXPECT_EQ(Texts(explorer), QStringList({"Up Level", "Acct2"}))
        << "Refresh lists the same domain";

    EXPECT_EQ(open("Up Level").first, QUORVIL_NETWORK_NAME);
    open("WORKGROUP");
    Click(explorer, "Srv1");
    QTest::keyClick(&dlg, Qt::Key_F7);
    EXPECT_EQ(dlg.windowTitle(), QUORVIL_NETWORK_NAME) << "up from a domain goes to its network";
    QTest::keyClick(&dlg, Qt::Key_F7);
    EXPECT_EQ(dlg.windowTitle(), "Entire Network");

    QTest::keyClick(&dlg, Qt::Key_F6);
    EXPECT_EQ(Texts(dlg.GetLogList()),
              QStringList({"Acct2\\System", "Srv1\\Application", "Srv1\\Custom",
                           "TESTHOST\\Application", "TESTHOST\\System"}));
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
    SaveScreenshot(&dlg, "network-dialog");

    // Del asks first; the message box answers OK here, which is not Yes.
    dlg.GetLogList()->item(0)->setSelected(true);
    dlg.GetLogList()->item(2)->setSelected(true);
    QTest::keyClick(&dlg, Qt::Key_Delete);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0],
              "This will remove the following logs from the list:\n\nAcct2\\System\n"
              "Srv1\\Custom\n\nAre you sure?");
    EXPECT_EQ(dlg.GetLogList()->count(), 5);

    // Unreachable computers and those without event logs are reported and list nothing.
    boxes.texts.clear();
    for (const char* computer : {"NOSUCH", "NOLOGS"})
        dlg.ShowLogs(computer);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0],
              "Computer: NOSUCH\n\nError 53 during connect:\nThe network path was not found."
              "\nMake sure this computer is on the network, has remote administration enabled, \n"
              "and that both computers are running the remote registry service.\n\n"
              "Is this a Windows NT machine?");

    EXPECT_EQ(boxes.texts[1].substr(0, boxes.texts[1].find(":\n", 60)),
              "Computer: NOLOGS\nUnable to read "
              "key:\n\nSYSTEM\\CurrentControlSet\\Services\\EventLog\n, Error = 2");
    EXPECT_EQ(dlg.GetLogList()->count(), 5);
}

TEST_F(NetworkDialog, QuickStartModeKeepsExactlyOneLogChecked)
{
    CMessageRecorder boxes;
    CNetworkDialog dlg(ADD_MODE_WIZARD_LOCAL_EVENT);
    dlg.show();
    QListWidget* logs = dlg.GetLogList();
    EXPECT_EQ(dlg.windowTitle(), "Quick Start - Network Neighborhood");
    EXPECT_TRUE(dlg.findChild<QCheckBox*>("jumpToEnd")->isHidden());
    ASSERT_EQ(Texts(logs), QStringList({"TESTHOST\\Application", "TESTHOST\\System"}))
        << "the local computer's logs are listed at once";

    logs->setCurrentRow(0);
    logs->setCurrentRow(1);
    EXPECT_EQ(dlg.GetCheckedLogs(), std::vector<std::string>{"TESTHOST\\System"});

    logs->item(0)->setCheckState(Qt::Checked);
    dlg.accept();
    for (int i = 0; i < logs->count(); ++i)
        logs->item(i)->setCheckState(Qt::Unchecked);
    dlg.accept();
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"In Wizard mode, you can only select one log!",
                                                     "No log(s) were selected."}));
    EXPECT_EQ(dlg.result(), QDialog::Rejected) << "the dialog stays open";
}

TEST_F(NetworkDialog, RunReturnsTheCheckedLogsAfterRemovingAndFindingComputers)
{
    std::vector<std::string> selected;
    BOOL bJumpToEnd = FALSE;
    CMonManager manager;
    CMessageRecorder questions(IDYES);
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CNetworkDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        // "Find Unlisted Computer" asks for a name in "Choose a server".
        QTimer::singleShot(0, [] {
            auto* ask = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(ask, nullptr);
            EXPECT_EQ(ask->windowTitle(), "Choose a server");
            ask->findChild<QLineEdit*>("serverName")->setText("srv1");
            ask->accept();
        });
        dlg->FindUnlistedComputer();
        QListWidget* logs = dlg->GetLogList();
        EXPECT_EQ(Texts(logs), QStringList({"srv1\\Application", "srv1\\Custom"}));

        logs->item(0)->setSelected(true);
        dlg->RemoveSelected();
        EXPECT_EQ(Texts(logs), QStringList({"srv1\\Custom"}));

        logs->item(0)->setCheckState(Qt::Checked);
        dlg->findChild<QCheckBox*>("jumpToEnd")->setChecked(true);
        dlg->accept();
    });
    EXPECT_TRUE(RunNetworkDialog(nullptr, manager, ADD_MODE_MENU, selected, bJumpToEnd));
    EXPECT_EQ(std::tuple(selected, bJumpToEnd, questions.texts.size()),
              std::tuple(std::vector<std::string>{"srv1\\Custom"}, TRUE, std::size_t{1}));
}
