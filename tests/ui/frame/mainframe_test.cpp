// The main window: panes, tray, menus and keys, leaving, dropped files.

#include "app/recentfiles.h"
#include "core/frontend.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "ui/common/commandids.h"
#include "ui/common/framemessages.h"
#include "ui/frame/mainframe.h"
#include "ui/frame/scanstatus.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/eventviewerwindow.h"
#include "widgettest.h"

namespace {

// A new workspace in the main window (not shown yet); questions answered No.
class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest()
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
        m_pFrame = std::make_unique<CMainFrame>(m_doc, m_queue);
    }
    ~MainFrameTest() override
    {
        m_pFrame.reset();
        if (m_doc.m_pManager && m_doc.m_pManager->IsScanThreadRunning())
            m_doc.m_pManager->StopScanThread();
        m_doc.SetUi(nullptr);
        SetMainWindowQueue(nullptr);
        SetNetworkRoot("");
    }

    // Files dropped on the window; the number of logs then.
    int Drop(const QStringList& paths)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.push_back(QUrl::fromLocalFile(path));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(m_pFrame.get(), &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(m_pFrame.get(), &drop);
        return m_doc.m_pManager->GetLogCount();
    }
    QAction* Action(const QString& text) const
    {
        for (QAction* action : m_pFrame->findChildren<QAction*>())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << "no action " << text.toStdString();
        return nullptr;
    }
    bool StatusShows(const QString& text) const
    {
        for (QLabel* label : m_pFrame->statusBar()->findChildren<QLabel*>())
            if (label->text() == text)
                return true;
        return false;
    }
    // Shows the window with a right pane of the given height.
    void ShowWithPaneHeight(int nHeight)
    {
        m_pFrame->show();
        auto* splitter = qobject_cast<QSplitter*>(m_pFrame->centralWidget());
        for (int i = 0; i < 3 && splitter->height() != nHeight; ++i) {
            m_pFrame->resize(800, m_pFrame->height() + nHeight - splitter->height());
            (void)QTest::qWaitFor([&] { return splitter->height() == nHeight; }, 1000);
        }
        ASSERT_EQ(splitter->height(), nHeight);
    }
    // Opens a menu of the menu bar as a click would and presses the keys in it.
    void ChooseMenuItem(const QString& menuTitle, std::initializer_list<Qt::Key> keys)
    {
        for (QAction* action : m_pFrame->menuBar()->actions()) {
            if (action->text() != menuTitle)
                continue;
            action->menu()->popup(m_pFrame->mapToGlobal(QPoint(10, 10)));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(action->menu()));
            for (Qt::Key key : keys)
                QTest::keyClick(action->menu(), key);
            return;
        }
        FAIL() << "no menu " << menuTitle.toStdString();
    }
    // The window as a user has it: shown and active.
    void ShowActive()
    {
        m_pFrame->resize(800, 500);
        m_pFrame->show();
        QApplication::setActiveWindow(m_pFrame.get());
    }

    CMessageRecorder m_boxes{IDNO};
    CMessageQueue m_queue;
    CCancellingUi m_ui;
    CQuorvilDoc m_doc;
    std::unique_ptr<CMainFrame> m_pFrame;
};

} // namespace

TEST_F(MainFrameTest, DroppedFilesOnlyOneTextLogAtATimeIsAdded)
{
    const QString log = QString::fromStdString(TestRoot()) + "/app.log";
    Drop({log, log + ".txt"});
    EXPECT_EQ(Drop({"/var/tmp/data.csv"}), 0);
    EXPECT_TRUE(m_boxes.texts.empty());

    ASSERT_EQ(Drop({log}), 1);
    int pos = 0;
    auto* pLog = dynamic_cast<CFileMonitor*>(m_doc.m_pManager->GetNextLog(pos));
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(std::tuple(pLog->IsEnabled(), pLog->GetInterval(), pLog->GetDisplayName(),
                         pLog->GetFilePath()),
              std::tuple(FALSE, 10, std::string("app.log"), log.toStdString()));
    EXPECT_TRUE(m_boxes.texts.empty()) << "the first drop asks nothing";

    // The same file again: asked, and No leaves the workspace as it was.
    m_doc.SetModifiedFlag(FALSE);
    EXPECT_EQ(Drop({log}), 1);
    EXPECT_EQ(m_boxes.texts,
              std::vector<std::string>{"Text log: " + log.toStdString() +
                                       "\n\nYou are already monitoring this log. Are you sure you "
                                       "want to add another monitoring instance?"});
    EXPECT_FALSE(m_doc.IsModified());
    m_boxes.SetAnswer(IDYES);
    Drop({log.left(log.size() - 4) + ".LOG"}); // the extension in capitals is a text log too
    EXPECT_EQ(Drop({log}), 3);
}

TEST_F(MainFrameTest, ScanStatesSetTrayIconTipAndAnimation)
{
    auto* pane = m_pFrame->findChild<CScanAnimationPane*>();
    ASSERT_NE(pane, nullptr);
    QSystemTrayIcon* tray = m_pFrame->GetTrayIcon();
    EXPECT_EQ(tray->toolTip(), "Brannick Quorvil - Stopped");
    auto tip = [&](const QString& state) {
        return QTest::qWaitFor([&] { return tray->toolTip() == "Brannick Quorvil - " + state; },
                               5000);
    };
    auto trayShows = [&](ScanIcon icon) {
        return tray->icon().pixmap(16, 16).toImage() == GetScanIcon(icon).pixmap(16, 16).toImage();
    };

    // Posted on the scan thread's side of the queue.
    std::thread([this] { m_queue.Post(WM_SCAN_STATE, ToWParam(ScanState::Countdown), 30); }).join();
    EXPECT_TRUE(tip("Starting"));
    EXPECT_TRUE(StatusShows("Autoscan starting in 30 seconds ..."));
    EXPECT_TRUE(pane->IsRunning() && trayShows(ScanIcon::Busy));
    m_queue.Post(WM_SCAN_STATE, ToWParam(ScanState::Running), 0);
    EXPECT_TRUE(tip("Running") && StatusShows("Ready"));
    EXPECT_TRUE(trayShows(ScanIcon::Running));
    pane->Advance();
    m_queue.Post(WM_SCAN_STATE, ToWParam(ScanState::Stopped), 0);
    EXPECT_TRUE(tip("Stopped") && trayShows(ScanIcon::Stopped));
    EXPECT_EQ(std::pair(pane->IsRunning(), pane->GetFrame()), std::pair(false, 0));
}

TEST_F(MainFrameTest, DetailPaneSplitsTheEventViewer)
{
    QAction* detail = Action("Show &detail window");
    ASSERT_NE(detail, nullptr);
    EXPECT_FALSE(detail->isEnabled()) << "only over the event viewer";
    // The action enabled and checked, and the viewer's height (0 for no detail).
    auto state = [&] {
        return std::tuple(detail->isEnabled(), detail->isChecked(),
                          m_pFrame->GetDetailView() ? m_pFrame->GetRightView()->height() : 0);
    };
    ShowWithPaneHeight(150);
    m_pFrame->SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, 0x60000001);
    EXPECT_EQ(state(), std::tuple(true, false, 0));
    m_pFrame->RunCommand(ID_VIEW_DETAIL);
    EXPECT_EQ(state(), std::tuple(true, true, 75));

    // The wish holds for the next event viewer; other panes have no detail.
    m_pFrame->SendFrameMessage(WM_SHOW_TEXT_LOGS, 0, 0);
    EXPECT_FALSE(detail->isEnabled());
    EXPECT_EQ(m_pFrame->GetDetailView(), nullptr);
    ShowWithPaneHeight(400);
    m_pFrame->SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, 0x60000001);
    EXPECT_EQ(state(), std::tuple(true, true, 300));
    m_pFrame->RunCommand(ID_VIEW_DETAIL);
    EXPECT_EQ(state(), std::tuple(true, false, 0));
    EXPECT_EQ(m_pFrame->GetRightView()->height(), 400);
}

TEST_F(MainFrameTest, TabMovesBetweenTreeViewerAndDetail)
{
    ShowWithPaneHeight(400);
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    m_pFrame->SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, 0x60000001);
    m_pFrame->RunCommand(ID_VIEW_DETAIL);
    m_pFrame->SendFrameMessage(WM_ACTIVATE_TREE, 0, 0);
    const std::vector<QWidget*> panes = {m_pFrame->GetTreeView(), m_pFrame->GetRightView(),
                                         m_pFrame->GetDetailView()};
    std::vector<int> reached; // 0 tree, 1 viewer, 2 detail
    for (bool bShift : {false, false, false, true, true, true}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        bShift ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget* focus = QApplication::focusWidget();
        reached.push_back(-1);
        for (int i = 2; i >= 0 && reached.back() < 0; --i)
            if (panes[static_cast<std::size_t>(i)]->isAncestorOf(focus) ||
                focus == panes[static_cast<std::size_t>(i)])
                reached.back() = i;
    }
    EXPECT_EQ(reached, (std::vector<int>{1, 2, 0, 2, 1, 0}))
        << "Shift+Tab from the event viewer goes to the tree";
}

TEST_F(MainFrameTest, HideAndMinimiseGoToTheTrayWhenThereIsOne)
{
    ShowActive();
    m_pFrame->SetHideToTray(false);
    ChooseMenuItem("&System", {Qt::Key_H});
    EXPECT_TRUE(m_pFrame->isVisible() && m_pFrame->isMinimized())
        << "a hidden window could not be reached again";
    m_pFrame->showNormal();
    m_pFrame->SetHideToTray(true);
    ChooseMenuItem("&System", {Qt::Key_H});
    EXPECT_FALSE(m_pFrame->isVisible()) << "with a tray it hides there";

    m_pFrame->show();
    m_pFrame->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_pFrame->isVisible(); }, 5000));
    emit m_pFrame->GetTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(m_pFrame->isVisible() && !m_pFrame->isMinimized());
    emit m_pFrame->GetTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(m_pFrame->isVisible()) << "a double click on a shown window hides it";
}

TEST_F(MainFrameTest, RightPaneFollowsTheFrameMessagesWithTheirTexts)
{
    m_pFrame->show();
    EXPECT_NE(dynamic_cast<CMonFileView*>(m_pFrame->GetRightView()), nullptr)
        << "a new window shows the text-log list";
    m_pFrame->SendFrameMessage(WM_SHOW_EVENT_LOGS, 0, 0);
    EXPECT_NE(dynamic_cast<CServersView*>(m_pFrame->GetRightView()), nullptr);
    EXPECT_TRUE(StatusShows("Monitored event logs"));
    m_pFrame->RunCommand(ID_VIEW_SYSTEM_LOG);
    EXPECT_NE(dynamic_cast<CLogCacheView*>(m_pFrame->GetRightView()), nullptr);

    // A new workspace asks, through the queue, for the text-log list again.
    m_doc.OnNewDocument();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dynamic_cast<CMonFileView*>(m_pFrame->GetRightView()) != nullptr; }, 5000));
    EXPECT_TRUE(StatusShows("Monitored files"));
}

TEST_F(MainFrameTest, AutosaveRequestSavesTheWorkspaceQuietly)
{
    const std::string path = TestRoot() + "/autosave.qvw";
    ASSERT_TRUE(m_doc.DoSave(path));
    std::filesystem::remove(path);
    m_doc.SetModifiedFlag(TRUE);
    m_queue.Post(WM_AUTOSAVE, 0, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_doc.IsModified(); }, 5000));
    EXPECT_TRUE(std::filesystem::exists(path) && StatusShows("Ready") && m_boxes.texts.empty());
}

TEST_F(MainFrameTest, PlacementIsKeptForTheNextStart)
{
    AppSettings::SetNoConfirmExit(1);
    m_pFrame->show();
    m_pFrame->setGeometry(110, 120, 640, 480);
    const QRect placed = m_pFrame->geometry();
    ASSERT_TRUE(m_pFrame->close());
    CMainFrame hidden(m_doc, m_queue);
    hidden.SetHideToTray(true);
    hidden.ShowWithPlacement(true);
    EXPECT_EQ(std::pair(hidden.isVisible(), hidden.geometry()), std::pair(false, placed))
        << "started hidden in the tray";
    CMainFrame noTray(m_doc, m_queue);
    noTray.SetHideToTray(false);
    noTray.ShowWithPlacement(true);
    EXPECT_TRUE(noTray.isVisible() && noTray.isMinimized())
        << "without a tray a hidden start could not come back";
}

TEST_F(MainFrameTest, FileMenuOpensARecentWorkspace)
{
    const std::string path = TestRoot() + "/recent.qvw";
    ASSERT_TRUE(m_doc.DoSave(path));
    m_doc.OnNewDocument();
    CRecentFileList recent;
    recent.Add(path);
    recent.WriteList();

    QMenu* file = m_pFrame->menuBar()->actions().at(0)->menu();
    emit file->aboutToShow();
    QAction* entry = Action(QString::fromStdString("&1 " + path));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_EQ(m_doc.GetPathName(), path);
    EXPECT_EQ(m_pFrame->windowTitle(), "recent.qvw - Quorvil");
    emit file->aboutToShow();
    EXPECT_EQ(MenuItems(*file).filter(QRegularExpression("^&1 ")).size(), 1)
        << "reopening the menu does not repeat the entries";
}

// No or Cancel leaves the program scanning; with NoConfirmExit only the workspace asks.
TEST_F(MainFrameTest, ExitAsksAndCancelKeepsTheProgramAsItWas)
{
    bool bClosed = false;
    QObject::connect(m_pFrame.get(), &CMainFrame::Closed, [&] { bClosed = true; });
    auto state = [&] {
        return std::tuple(bClosed, m_pFrame->isVisible(), m_doc.m_pManager->IsScanThreadRunning());
    };
    ShowActive();
    ASSERT_TRUE(m_doc.m_pManager->StartScanThread());
    m_pFrame->RunCommand(ID_APP_EXIT);
    m_doc.SetModifiedFlag(TRUE);
    m_boxes.answers = {IDYES, IDCANCEL};
    ChooseMenuItem("&File", {Qt::Key_X});
    EXPECT_EQ(m_boxes.texts, (std::vector<std::string>{"Are you sure you wish to leave Quorvil?",
                                                       "Are you sure you wish to leave Quorvil?",
                                                       "Save changes to Untitled?"}));
    EXPECT_EQ(state(), std::tuple(false, true, true)) << "open and scanning";
    EXPECT_EQ(m_pFrame->GetTrayIcon()->isVisible(), QSystemTrayIcon::isSystemTrayAvailable());

    AppSettings::SetNoConfirmExit(1);
    m_boxes.texts.clear();
    m_pFrame->RunCommand(ID_APP_EXIT);
    EXPECT_EQ(m_boxes.texts, std::vector<std::string>{"Save changes to Untitled?"});
    EXPECT_EQ(state(), std::tuple(true, false, false));
}

TEST_F(MainFrameTest, EventViewerRefreshesOncePerF5AndTakesItsOrderFromTheMenu)
{
    ShowActive();
    ASSERT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
    auto* pLog = new CEventMonitor;
    pLog->m_strServer = GetLocalComputerName();
    pLog->m_strLogName = "Application";
    const DWORD dwID = m_doc.AddEventLog(pLog);
    QApplication::processEvents(); // what the new workspace and the new log posted comes first
    m_pFrame->SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, dwID);
    auto* viewer = qobject_cast<CEventLogView*>(m_pFrame->GetRightView());
    ASSERT_NE(viewer, nullptr);
    CHintRecorder hints(m_doc);
    // The log states the views were told since the last look.
    auto reads = [&] {
        const auto n = std::count(hints.m_hints.begin(), hints.m_hints.end(),
                                  std::pair<ViewHint, DWORD>(ViewHint::LogState, dwID));
        hints.m_hints.clear();
        return n;
    };
    viewer->OnRefresh();
    const auto nOneRead = reads();
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

TEST_F(MainFrameTest, NtEventViewerOpensAWindowOfItsOwnWithALogChooser)
{
    ShowActive();
    ASSERT_TRUE(AddEventLog(nullptr, "System", 0x100000, 0));
    ASSERT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
    ChooseMenuItem("&View", {Qt::Key_E});
    CEventViewerWindow* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<CEventViewerWindow*>(top))
            window = w;
    ASSERT_NE(window, nullptr);
    const QString computer = QString::fromStdString(GetLocalComputerName());
    QComboBox* logs = window->GetLogChooser();
    EXPECT_EQ(std::tuple(window->isVisible(), window->windowTitle(), logs->currentText()),
              std::tuple(true, computer + " - NT Event Viewer", QString("Application")));
    QTest::keyClick(logs, logs->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
    const QString other = logs->currentText();
    EXPECT_TRUE(other != "Application" && window->GetView()->GetItem() != 0);
    EXPECT_EQ(window->findChild<QLabel*>("status")->text(), computer + "\\" + other);
    EXPECT_EQ(m_doc.m_pManager->GetLogCount(), 0) << "the workspace is not touched";
    window->close();
}

// The main window on the demo workspace, for the README.
TEST_F(MainFrameTest, DemoWorkspaceScreenshot)
{
    const std::string demo = std::string(std::getenv("QUORVIL_BINARY_DIR")) + "/data/demo/demo.qvw";
    if (!std::filesystem::exists(demo))
        GTEST_SKIP() << "the demo workspace is not built";
    m_pFrame.reset();
    ASSERT_TRUE(m_doc.OnOpenDocument(demo));
    m_pFrame = std::make_unique<CMainFrame>(m_doc, m_queue);
    m_pFrame->resize(900, 520);
    m_pFrame->show();
    m_pFrame->SendFrameMessage(WM_SHOW_TEXT_LOGS, 0, 0);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    EXPECT_EQ(m_pFrame->windowTitle(), "demo.qvw - Quorvil");
    SaveScreenshot(m_pFrame.get(), "main-window");
}
