// The main window as an administrator uses it every day: hiding it, leaving
// and changing one's mind, refreshing and ordering the event viewer, all by
// keys and menus.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "core/frontend.h"
#include "isolated_env.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "settings/appsettings.h"
#include "tests/ui/commands/uitestsupport.h"
#include "ui/common/framemessages.h"
#include "ui/common/messagebox.h"
#include "ui/frame/mainframe.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/eventviewerwindow.h"

namespace {

// The document's questions go to the same recorded answers as the window's.
class CAskingUi final : public IDocumentUi {
public:
    int MessageBox(const std::string& text, UINT type) override
    {
        return ShowMessageBox(nullptr, text, type);
    }
    BOOL EditTextLogSheet(CFileMonitor&, BOOL, int) override { return FALSE; }
    BOOL EditEventLogSheet(CEventMonitor&, BOOL) override { return FALSE; }
    BOOL EditEventWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditTextWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditEventKey(CSearchKeyEvent&) override { return FALSE; }
    BOOL EditTextKey(CSearchKeyText&) override { return FALSE; }
    int ChooseWatchGroup(const CMonitoredObject&) override { return -1; }
    BOOL BrowseNetwork(CMonManager&, int, std::vector<std::string>&, BOOL&) override
    {
        return FALSE;
    }
    BOOL PromptSaveFileName(std::string&) override { return FALSE; }
};

class DailyUse : public ::testing::Test {
protected:
    DailyUse()
    {
        RegisterDocumentClasses();
        AppSettings::SetFirstTimeFlag(1);
        AppSettings::SetNoConfirmExit(0);
        AppSettings::SetNewestFirst(0);
        SetNetworkRoot(TestRoot() + "/" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
        SetMainWindowQueue(&m_queue);
        m_doc.SetUi(&m_ui);
        m_doc.OnNewDocument();
        SetMessageBoxAnswerer([this](const std::string& text, UINT) {
            m_questions.push_back(text);
            const int nAnswer = m_answers.empty() ? IDNO : m_answers.front();
            if (!m_answers.empty())
                m_answers.erase(m_answers.begin());
            return nAnswer;
        });
        m_pFrame = std::make_unique<CMainFrame>(m_doc, m_queue);
        m_pFrame->resize(800, 500);
        m_pFrame->show();
        QApplication::setActiveWindow(m_pFrame.get());
    }
    ~DailyUse() override
    {
        m_pFrame.reset();
        if (m_doc.m_pManager && m_doc.m_pManager->IsScanThreadRunning())
            m_doc.m_pManager->StopScanThread();
        m_doc.SetUi(nullptr);
        SetMessageBoxAnswerer(nullptr);
        SetMainWindowQueue(nullptr);
        SetNetworkRoot("");
    }

    // Opens a menu of the menu bar as a click would, and presses the
    // keys in it (an item's mnemonic, or the keys that reach it).
    void ChooseMenuItem(const QString& menuTitle, std::initializer_list<Qt::Key> keys)
    {
        for (QAction* action : m_pFrame->menuBar()->actions()) {
            if (action->text() != menuTitle)
                continue;
            QMenu* menu = action->menu();
            menu->popup(m_pFrame->mapToGlobal(QPoint(10, 10)));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
            for (Qt::Key key : keys)
                QTest::keyClick(menu, key);
            return;
        }
        FAIL() << "no menu " << menuTitle.toStdString();
    }

    // An empty event log of this computer, shown in the event viewer.
    CEventLogView* ShowEventLog()
    {
        EXPECT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
        auto* pLog = new CEventMonitor;
        pLog->m_strServer = GetLocalComputerName();
        pLog->m_strLogName = "Application";
        const DWORD dwID = m_doc.AddEventLog(pLog);
        // What the new workspace and the new log posted comes first.
        QApplication::processEvents();
        m_pFrame->SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, dwID);
        return qobject_cast<CEventLogView*>(m_pFrame->GetRightView());
    }

    CMessageQueue m_queue;
    CAskingUi m_ui;
    CQuorvilDoc m_doc;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::vector<std::string> m_questions;
    std::vector<int> m_answers;
};

} // namespace

TEST_F(DailyUse, HideWindowWithoutATrayMinimisesInstead)
{
    m_pFrame->SetHideToTray(false);
    ChooseMenuItem("&System", {Qt::Key_H});
    EXPECT_TRUE(m_pFrame->isVisible()) << "a hidden window could not be reached again";
    EXPECT_TRUE(m_pFrame->isMinimized());

    m_pFrame->showNormal();
    m_pFrame->SetHideToTray(true);
    ChooseMenuItem("&System", {Qt::Key_H});
    EXPECT_FALSE(m_pFrame->isVisible()) << "with a tray it hides there";
}

TEST_F(DailyUse, CancelAtSaveChangesLeavesTheProgramAsItWas)
{
    m_doc.SetModifiedFlag(TRUE);
    ASSERT_TRUE(m_doc.m_pManager->StartScanThread());
    m_answers = {IDYES, IDCANCEL};
    ChooseMenuItem("&File", {Qt::Key_X});
    ASSERT_EQ(m_questions.size(), 2u);
    EXPECT_EQ(m_questions[0], "Are you sure you wish to leave Quorvil?");
    EXPECT_EQ(m_questions[1], "Save changes to Untitled?");
    EXPECT_TRUE(m_pFrame->isVisible());
    EXPECT_TRUE(m_doc.m_pManager->IsScanThreadRunning()) << "scanning goes on";
    EXPECT_EQ(m_pFrame->GetTrayIcon()->isVisible(), QSystemTrayIcon::isSystemTrayAvailable());
}

TEST_F(DailyUse, EventViewerRefreshesOncePerF5AndTakesItsOrderFromTheMenu)
{
    CEventLogView* viewer = ShowEventLog();
    ASSERT_NE(viewer, nullptr);
    CHintRecorder hints(m_doc);
    auto reads = [&] {
        const auto n =
            std::count(hints.m_hints.begin(), hints.m_hints.end(),
                       std::pair<ViewHint, DWORD>(ViewHint::LogState, viewer->GetItem()));
        hints.m_hints.clear();
        return n;
    };
    viewer->OnRefresh();
    const auto nOneRead = reads(); // what one reading of the log tells the views
    ASSERT_GT(nOneRead, 0);
    viewer->GetList()->setFocus();
    QTest::keyClick(viewer->GetList(), Qt::Key_F5);
    EXPECT_EQ(reads(), nOneRead) << "the log is read once";

    // The order works while the tree has the focus too.
    m_pFrame->SendFrameMessage(WM_ACTIVATE_TREE, 0, 0);
    EXPECT_FALSE(viewer->IsNewestFirst());
    ChooseMenuItem("&View", {Qt::Key_W});
    EXPECT_TRUE(viewer->IsNewestFirst());
    // "Show &detail window" shares the mnemonic: the second D, then Enter.
    ChooseMenuItem("&View", {Qt::Key_D, Qt::Key_D, Qt::Key_Return});
    EXPECT_FALSE(viewer->IsNewestFirst());
}

TEST_F(DailyUse, NtEventViewerOpensAWindowOfItsOwnWithALogChooser)
{
    ASSERT_TRUE(AddEventLog(nullptr, "System", 0x100000, 0));
    ASSERT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
    ChooseMenuItem("&View", {Qt::Key_E});
    CEventViewerWindow* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<CEventViewerWindow*>(top))
            window = w;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const QString computer = QString::fromStdString(GetLocalComputerName());
    EXPECT_EQ(window->windowTitle(), computer + " - NT Event Viewer") << "this computer";
    QComboBox* logs = window->GetLogChooser();
    EXPECT_EQ(logs->currentText(), "Application");
    QTest::keyClick(logs, logs->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
    const QString other = logs->currentText();
    EXPECT_NE(other, "Application");
    EXPECT_NE(window->GetView()->GetItem(), 0u);
    EXPECT_EQ(window->findChild<QLabel*>("status")->text(), computer + "\\" + other);
    EXPECT_EQ(m_doc.m_pManager->GetLogCount(), 0) << "the workspace is not touched";
    window->close();
}
