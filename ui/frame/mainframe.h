#pragma once
// CMainFrame: the program's one main window. It holds the menu bar, the tool
// bar, the status bar (message pane, scan animation, caps lock) and a
// splitter with the workspace tree on the left and, on the right, one of the
// text-log list, the event-log list, the text log viewer and the event log
// viewer (optionally above the event detail pane), swapped on the frame
// messages. It drains the main window's queue (the scan thread's state,
// progress and save requests), owns the tray icon, accepts dropped files,
// asks before exiting and stops scanning on exit and at session end.
//
// Menu and tool bar commands go to the active view first (ICommandTarget,
// ui/common/commandtarget.h), then to the frame.
//
// Threads: user interface thread only. The queue may be posted to from any
// thread; the frame wakes up on its own thread to drain it. The document
// and the queue must outlive the frame.
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/msgqueue.h"
#include "ui/common/commandtarget.h"
#include "ui/common/icons.h"
#include "ui/common/mainframe.h"
#include "ui/frame/paneviews.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class CScanAnimationPane;
class CSplashWindow;

class CMainFrame : public QMainWindow, public IMainFrame, public IView {
    Q_OBJECT
public:
    // Builds the window (not shown) on the open document and starts draining
    // the queue. With bSplash the splash window shows at once.
    CMainFrame(CQuorvilDoc& doc, CMessageQueue& queue, bool bSplash = false,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // IMainFrame
    void SendFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void SetMessageText(const QString& text) override;
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return this; }

    // IView: keeps the title and the tool bar up to date.
    void OnUpdate(LPARAM lHint, const CHintStruct* pHint) override;

    // Restores the placement stored under Settings/WindowPos and shows the
    // window, or keeps it hidden (start with /h); without a stored placement
    // the window keeps its size.
    void ShowWithPlacement(bool bHidden);
    // Minimising hides the window to the tray; on by default when the
    // desktop has a tray.
    void SetHideToTray(bool bHide) { m_bHideToTray = bHide; }
    // Called with the path of every workspace the user opens.
    void SetWorkspaceOpenedHandler(std::function<void(const std::string&)> handler)
    {
        m_onWorkspaceOpened = std::move(handler);
    }
    void SetHelpFile(const std::string& path) { m_strHelpFile = path; }

    // Runs one command as the menu would.
    void RunCommand(UINT nID);
    // Handles every message waiting in the queue.
    void DrainQueue();

    CQuorvilView* GetTreeView() const { return m_pTree; }
    // The view in the right pane (the event viewer when the detail pane
    // shows), and the detail pane or null.
    QWidget* GetRightView() const;
    CDetailView2* GetDetailView() const { return m_pDetail; }
    QSystemTrayIcon* GetTrayIcon() const { return m_pTray; }

signals:
    // The window closed for good: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Pane { None, TextLogs, EventLogs, TextViewer, EventViewer };

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateTray();
    // The recent workspaces above Exit in the File menu.
    void UpdateRecentFiles(QMenu* file);
    QAction* AddAction(UINT nID, const QString& text, const QKeySequence& shortcut = {},
                       const QIcon& icon = {});
    QMenu* AddMenu(const QString& title, std::initializer_list<UINT> ids);

    void HandleMessage(const CQueuedMessage& msg);
    void OnScanState(WPARAM nState, LPARAM nSeconds);
    void OnAutoSave();

    // The frame's own commands.
    bool UpdateFrameCommand(UINT nID, CCommandState& state);
    bool OnFrameCommand(UINT nID);
    void UpdateCommands();
    ICommandTarget* ActiveTarget() const;

    // Right pane.
    void ShowPane(Pane pane, const char* message);
    void ReplaceRightWidget(QWidget* widget);
    void ShowEventViewer(DWORD dwID, const CEventLogView::State* pState);
    void ToggleDetail();
    void ActivateView(QWidget* view);
    void OnTabKey(bool bShift);
    QWidget* ActiveView() const;

    void OnDropFiles(const QStringList& paths);
    void OpenWorkspace(const std::string& path);
    void OnFileOpen();
    void OnRunScript();
    void OnQuickStart();
    void ShowFromTray();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void OnCommitData();
    void SaveWindowPlacement();
    void UpdateTitle();

    CQuorvilDoc& m_doc;
    CMessageQueue& m_queue;
    // Lets the queue's wake-up, which runs on any thread, reach the frame
    // only while it lives.
    struct CWakeTarget;
    std::shared_ptr<CWakeTarget> m_pWake;

    std::map<UINT, QAction*> m_actions;
    std::vector<QAction*> m_recentActions; // in the File menu, rebuilt as it opens
    QToolBar* m_pToolBar = nullptr;
    QMenu* m_pViewMenuBars = nullptr; // the View menu, which also shows and hides the bars
    QLabel* m_pMessagePane = nullptr;
    CScanAnimationPane* m_pAnimation = nullptr;
    QLabel* m_pCapsPane = nullptr;
    QSystemTrayIcon* m_pTray = nullptr;
    QMenu* m_pTrayMenu = nullptr;
    QPointer<CSplashWindow> m_pSplash;

    QSplitter* m_pSplitter = nullptr;
    CQuorvilView* m_pTree = nullptr;
    Pane m_pane = Pane::None;
    QWidget* m_pRight = nullptr;             // what column 1 of the splitter holds
    CEventLogView* m_pEventViewer = nullptr; // when m_pane is EventViewer
    QSplitter* m_pDetailSplitter = nullptr;  // when the detail pane shows
    CDetailView2* m_pDetail = nullptr;
    QPointer<QWidget> m_pActiveView;
    // Views replaced in the right pane, deleted soon after; the frame deletes
    // those still there when it goes.
    std::vector<QPointer<QWidget>> m_retiredViews;

    ScanIcon m_stateIcon = ScanIcon::Stopped;
    bool m_bDetailWanted = false;
    bool m_bFirstStart = false;
    bool m_bHideToTray = false;
    bool m_bClosed = false;
    std::function<void(const std::string&)> m_onWorkspaceOpened;
    std::string m_strHelpFile;
};

// The height of the event viewer above the detail pane in a right pane of
// the given height: half of it when less than 100 pixels would be left for
// the viewer, else all but 100 pixels.
int DetailViewerHeight(int nClientHeight);
