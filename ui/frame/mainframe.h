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
// The frame wires its parts together and handles its own commands:
//   CFrameActions (frameactions.h)  actions, menus, tool bar, command states
//   CFrameTray (frametray.h)        tray icon and hiding to the tray
//   CPaneSplitter (panesplitter.h)  the views, the right pane, Tab, detail
//   CQueuePump (queuepump.h)        draining the queue on the window's thread
//   dropfiles.h, placement.h        dropped files, stored placement
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
#include <memory>
#include <string>

#include "platform/base/msgqueue.h"
#include "ui/common/commandtarget.h"
#include "ui/common/mainframe.h"
#include "ui/frame/panesplitter.h"
#include "workspace/scanmessages.h"

class QLabel;
class CFrameActions;
class CFrameTray;
class CQueuePump;
class CScanAnimationPane;
class CSplashWindow;

class CMainFrame : public QMainWindow, public IMainFrame, public IView, private IScanMessageSink {
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
    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;

    // Restores the placement stored under Settings/WindowPos and shows the
    // window, or keeps it hidden (start with /h); without a stored placement
    // the window keeps its size.
    void ShowWithPlacement(bool bHidden);
    // Minimising hides the window to the tray; on by default when the
    // desktop has a tray.
    void SetHideToTray(bool bHide);
    // Called with the path of every workspace the user opens.
    void SetWorkspaceOpenedHandler(std::function<void(const std::string&)> handler)
    {
        m_onWorkspaceOpened = std::move(handler);
    }
    void SetHelpFile(const std::string& path) { m_strHelpFile = path; }
    // Ends the program as File > Exit does, without asking anything (SIGINT,
    // SIGTERM): scanning stops, the positions are saved when AutoSave is on.
    void CloseWithoutQuestions();

    // Runs one command as the menu would.
    void RunCommand(UINT nID);
    // Handles every message waiting in the queue.
    void DrainQueue();

    CQuorvilView* GetTreeView() const { return m_pPanes->GetTree(); }
    // The view in the right pane (the event viewer when the detail pane
    // shows), and the detail pane or null.
    QWidget* GetRightView() const { return m_pPanes->GetRightView(); }
    CDetailView2* GetDetailView() const { return m_pPanes->GetDetailView(); }
    QSystemTrayIcon* GetTrayIcon() const;

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
    void CreateStatusBar();

    // The scan thread's messages go to the dispatcher, the others are
    // frame messages.
    void HandleMessage(const CQueuedMessage& msg);
    // IScanMessageSink: the status bar, the animation and the tray.
    void OnScanState(std::optional<ScanState> state, std::chrono::seconds secondsLeft) override;
    void OnAutoSave(bool bSaving) override;

    // The frame's own commands.
    bool UpdateFrameCommand(UINT nID, CCommandState& state);
    bool OnFrameCommand(UINT nID);
    void UpdateCommands();
    ICommandTarget* ActiveTarget() const;

    void OpenWorkspace(const std::string& path);
    void OnFileOpen();
    void OnRunScript();
    void OnQuickStart();
    void OnCommitData();
    void UpdateTitle();

    CQuorvilDoc& m_doc;
    CMessageQueue& m_queue;
    std::unique_ptr<CFrameActions> m_pActions;
    std::unique_ptr<CFrameTray> m_pTray;
    std::unique_ptr<CPaneSplitter> m_pPanes;
    std::unique_ptr<CQueuePump> m_pPump;

    QLabel* m_pMessagePane = nullptr;
    CScanAnimationPane* m_pAnimation = nullptr;
    QLabel* m_pCapsPane = nullptr;
    QPointer<CSplashWindow> m_pSplash;

    bool m_bFirstStart = false;
    bool m_bClosed = false;
    std::function<void(const std::string&)> m_onWorkspaceOpened;
    std::string m_strHelpFile;
    bool m_bNoQuestions = false;
};
