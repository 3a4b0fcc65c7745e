#include "ui/frame/mainframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QSessionManager>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/launchers.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "ui/common/commandids.h"
#include "ui/common/framemessages.h"
#include "ui/common/help.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/frame/aboutbox.h"
#include "ui/frame/dropfiles.h"
#include "ui/frame/frameactions.h"
#include "ui/frame/frametray.h"
#include "ui/frame/placement.h"
#include "ui/frame/queuepump.h"
#include "ui/frame/scanstatus.h"
#include "ui/frame/splash.h"
#include "ui/settings/settingssheet.h"
#include "ui/viewers/eventviewerwindow.h"
#include "ui/wizard/quickstart.h"

namespace {

// Item identifiers of the files that are not monitored logs.
constexpr DWORD ID_SYSTEM_LOG_FILE = 0x30000000;
constexpr DWORD ID_TEXT_AUDIT_FILE = 0xB0000000;
constexpr DWORD ID_EVENT_AUDIT_FILE = 0xC0000000;

} // namespace

CMainFrame::CMainFrame(CQuorvilDoc& doc, CMessageQueue& queue, bool bSplash, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_queue(queue)
{
    setWindowIcon(GetImageIcon(IMAGE_WATCH_GROUP));
    setAcceptDrops(true);
    resize(900, 600);

    m_pActions = std::make_unique<CFrameActions>(
        *this, [this](UINT nID) { RunCommand(nID); }, [this] { UpdateCommands(); },
        [this](const std::string& path) {
            if (m_doc.SaveModified())
                OpenWorkspace(path);
        });
    m_pActions->CreateMenus();
    m_pActions->CreateToolBar();
    RestoreBarState(*this);
    CreateStatusBar();

    m_pPanes = std::make_unique<CPaneSplitter>(*this, this);
    setCentralWidget(m_pPanes->GetSplitter());
    m_pPanes->ShowPane(CPaneSplitter::Pane::TextLogs, "Ready");
    m_pPanes->GetSplitter()->setSizes({200, width() - 200});

    if (bSplash) {
        m_pSplash = new CSplashWindow;
        connect(m_pSplash, &CSplashWindow::Closed, this, [this] { update(); });
        m_pSplash->show();
    }
    m_pTray = std::make_unique<CFrameTray>(
        *this, *m_pActions, [this](UINT nID) { RunCommand(nID); }, [this] { UpdateCommands(); });

    if (AppSettings::GetFirstTimeFlag() == 0) {
        m_bFirstStart = true;
        // Once the event loop runs; a timer of the window's own, so that
        // nothing outlives it.
        auto* quickStart = new QTimer(this);
        quickStart->setSingleShot(true);
        connect(quickStart, &QTimer::timeout, this, [this] { RunCommand(ID_QUICK_START); });
        quickStart->start(0);
        AppSettings::SetFirstTimeFlag(1);
    }

    m_doc.AddView(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { m_pPanes->OnFocusChanged(now); });
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!m_doc.SaveModified()) {
            manager.cancel();
            return;
        }
        OnCommitData();
    });

    // Idle-time command state, as the tool bar shows it.
    auto* updater = new QTimer(this);
    connect(updater, &QTimer::timeout, this, &CMainFrame::UpdateCommands);
    updater->start(250);
    UpdateCommands();
    UpdateTitle();

    // Also handles what start-up posted before the window existed.
    m_pPump = std::make_unique<CQueuePump>(
        m_queue, *this, [this](const CQueuedMessage& msg) { HandleMessage(msg); });
}

CMainFrame::~CMainFrame()
{
    // Focus changes while the widgets go must not reach the parts.
    disconnect(qApp, nullptr, this, nullptr);
    m_pPump.reset();
    qApp->removeEventFilter(this);
    m_doc.RemoveView(this);
    if (m_pSplash)
        delete m_pSplash;
    // The views use the frame as they go, so they go while it is whole.
    m_pPanes->DeleteViews();
    delete takeCentralWidget();
}

void CMainFrame::CreateStatusBar()
{
    m_pMessagePane = new QLabel("Ready");
    m_pAnimation = new CScanAnimationPane;
    m_pCapsPane = new QLabel("CAP");
    m_pCapsPane->setEnabled(false);
    statusBar()->addWidget(m_pMessagePane, 1);
    statusBar()->addPermanentWidget(m_pAnimation);
    statusBar()->addPermanentWidget(m_pCapsPane);
}

QSystemTrayIcon* CMainFrame::GetTrayIcon() const
{
    return m_pTray->GetIcon();
}

void CMainFrame::SetHideToTray(bool bHide)
{
    m_pTray->SetHideToTray(bHide);
}

// ---------------------------------------------------------------- messages

void CMainFrame::DrainQueue()
{
    m_pPump->Drain();
}

void CMainFrame::HandleMessage(const CQueuedMessage& msg)
{
    if (!DispatchScanMessage(m_doc, msg, *this))
        SendFrameMessage(msg.message, msg.wParam, msg.lParam);
}

void CMainFrame::SendFrameMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_SHOW_TEXT_LOGS:
    case WM_SHOW_TEXT_LOGS_AGAIN:
        m_pPanes->ShowPane(CPaneSplitter::Pane::TextLogs, "Monitored files");
        break;
    case WM_SHOW_EVENT_LOGS:
        SetMessageText("Monitored event logs");
        m_pPanes->ShowPane(CPaneSplitter::Pane::EventLogs, "Monitored event logs");
        break;
    case WM_SHOW_TEXT_VIEWER:
        m_pPanes->ShowTextViewer(static_cast<DWORD>(lParam));
        break;
    case WM_SHOW_EVENT_VIEWER:
        if (CEntryListView::Shows(m_doc, static_cast<DWORD>(lParam)))
            m_pPanes->ShowEntryViewer(static_cast<DWORD>(lParam));
        else
            m_pPanes->ShowEventViewer(static_cast<DWORD>(lParam));
        break;
    case WM_ACTIVATE_TREE:
        m_pPanes->ActivateTree();
        break;
    case WM_SCAN_STATE:
    case WM_SCAN_PROGRESS:
    case WM_AUTOSAVE:
        HandleMessage({message, 0, lParam});
        break;
    default:
        break;
    }
    UpdateCommands();
}

void CMainFrame::SetMessageText(const QString& text)
{
    m_pMessagePane->setText(text);
}

void CMainFrame::OnScanState(std::optional<ScanState> state, std::chrono::seconds secondsLeft)
{
    const CScanStateLook look = GetScanStateLook(state);
    if (look.bAnimate)
        m_pAnimation->Start();
    else
        m_pAnimation->Stop();
    if (state == ScanState::Countdown)
        SetMessageText(QStringLiteral("Autoscan starting in %1 seconds ...")
                           .arg(static_cast<unsigned>(secondsLeft.count())));
    else if (state == ScanState::Running)
        SetMessageText("Ready");
    m_pTray->ShowState(look);
    UpdateCommands();
}

void CMainFrame::OnAutoSave(bool bSaving)
{
    SetMessageText(bSaving ? "Autosaving..." : "Ready");
}

void CMainFrame::OnUpdate(ViewHint, const CHintStruct*)
{
    UpdateTitle();
}

void CMainFrame::UpdateTitle()
{
    const std::string title = m_doc.GetTitle().empty() ? "Untitled" : m_doc.GetTitle();
    setWindowTitle(ToQt(title) + QStringLiteral(" - Quorvil"));
}

// ---------------------------------------------------------------- commands

ICommandTarget* CMainFrame::ActiveTarget() const
{
    return dynamic_cast<ICommandTarget*>(m_pPanes->ActiveView());
}

void CMainFrame::RunCommand(UINT nID)
{
    if (ICommandTarget* target = ActiveTarget()) {
        CCommandState state;
        if (target->UpdateCommand(nID, state)) {
            if (state.bEnabled)
                target->OnCommand(nID);
            UpdateCommands();
            return;
        }
    }
    OnFrameCommand(nID);
    UpdateCommands();
}

void CMainFrame::UpdateCommands()
{
    ICommandTarget* target = ActiveTarget();
    m_pActions->Update([&](UINT nID, CCommandState& state) {
        return (target && target->UpdateCommand(nID, state)) || UpdateFrameCommand(nID, state);
    });
}

bool CMainFrame::UpdateFrameCommand(UINT nID, CCommandState& state)
{
    switch (nID) {
    case ID_SCAN_START:
        state.bEnabled = !m_doc.ScanCommands().IsRunning();
        return true;
    case ID_SCAN_STOP:
        state.bEnabled = m_doc.ScanCommands().IsRunning();
        return true;
    case ID_SCAN_TOGGLE:
        state.bChecked = m_doc.ScanCommands().IsRunning();
        return true;
    case ID_VIEW_DETAIL:
        state.bEnabled = m_pPanes->ShowsEventViewer();
        state.bChecked = m_pPanes->ShowsDetail();
        return true;
    case ID_EVENT_NEWEST_FIRST:
    case ID_EVENT_OLDEST_FIRST:
        // The order belongs to the shown event viewer, wherever the focus is.
        return m_pPanes->GetEventViewer() && m_pPanes->GetEventViewer()->UpdateCommand(nID, state);
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_RUN_SCRIPT:
    case ID_APP_EXIT:
    case ID_LOG_NEW_TEXT:
    case ID_LOG_NEW_EVENT:
    case ID_LOG_NEW_JOURNAL:
    case ID_QUICK_START:
    case ID_VIEW_TEXT_SUMMARY:
    case ID_VIEW_EVENT_SUMMARY:
    case ID_VIEW_SYSTEM_LOG:
    case ID_VIEW_TEXT_AUDIT:
    case ID_VIEW_NT_AUDIT:
    case ID_EVENT_VIEWER:
    case ID_SETTINGS:
    case ID_HIDE_WINDOW:
    case ID_TRAY_SHOW:
    case ID_HELP_FINDER:
    case ID_APP_ABOUT:
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnFrameCommand(UINT nID)
{
    switch (nID) {
    case ID_FILE_NEW:
        if (m_doc.SaveModified())
            m_doc.OnNewDocument();
        break;
    case ID_FILE_OPEN:
        OnFileOpen();
        break;
    case ID_FILE_SAVE:
        m_doc.DoFileSave();
        break;
    case ID_FILE_SAVE_AS:
        m_doc.DoSave("");
        break;
    case ID_RUN_SCRIPT:
        OnRunScript();
        break;
    case ID_APP_EXIT:
        close();
        break;
    case ID_LOG_NEW_TEXT:
        m_doc.AddTextLog(ADD_MODE_MENU);
        break;
    case ID_LOG_NEW_EVENT:
        m_doc.AddEventLogs(ADD_MODE_MENU);
        break;
    case ID_LOG_NEW_JOURNAL:
        m_doc.AddJournal();
        break;
    case ID_QUICK_START:
        OnQuickStart();
        break;
    case ID_VIEW_TEXT_SUMMARY:
        SendFrameMessage(WM_SHOW_TEXT_LOGS, 0, 0);
        break;
    case ID_VIEW_EVENT_SUMMARY:
        SendFrameMessage(WM_SHOW_EVENT_LOGS, 0, 0);
        break;
    case ID_VIEW_SYSTEM_LOG:
        SendFrameMessage(WM_SHOW_TEXT_VIEWER, 0, ID_SYSTEM_LOG_FILE);
        break;
    case ID_VIEW_TEXT_AUDIT:
        SendFrameMessage(WM_SHOW_TEXT_VIEWER, 0, ID_TEXT_AUDIT_FILE);
        break;
    case ID_VIEW_NT_AUDIT:
        SendFrameMessage(WM_SHOW_TEXT_VIEWER, 0, ID_EVENT_AUDIT_FILE);
        break;
    case ID_VIEW_DETAIL:
        m_pPanes->ToggleDetail();
        break;
    case ID_EVENT_VIEWER:
        OpenEventViewerWindow("", this);
        break;
    case ID_SCAN_START:
        m_doc.ScanCommands().Start();
        break;
    case ID_SCAN_STOP:
        m_doc.ScanCommands().Stop();
        break;
    case ID_SCAN_TOGGLE:
        m_doc.ScanCommands().Toggle();
        break;
    case ID_SETTINGS:
        RunSettingsSheet(this, &m_doc);
        break;
    case ID_EVENT_NEWEST_FIRST:
    case ID_EVENT_OLDEST_FIRST:
        return m_pPanes->GetEventViewer() && m_pPanes->GetEventViewer()->OnCommand(nID);
    case ID_HIDE_WINDOW:
        if (m_pTray->HidesToTray())
            hide();
        else
            showMinimized(); // without a tray a hidden window could not be reached again
        break;
    case ID_TRAY_SHOW:
        CFrameTray::ShowWindow(*this);
        break;
    case ID_HELP_FINDER:
        ShowHelpTopic(0);
        break;
    case ID_APP_ABOUT:
        ShowAboutBox(this);
        break;
    default:
        return false;
    }
    return true;
}

void CMainFrame::OnFileOpen()
{
    if (!m_doc.SaveModified())
        return;
    const QString filter =
        ToQt(CQuorvilDoc::GetDocString(CQuorvilDoc::filterName)) + ";;All Files (*)";
    const QString path = QFileDialog::getOpenFileName(this, "Open", QString(), filter);
    if (!path.isEmpty())
        OpenWorkspace(FromQt(path));
}

void CMainFrame::OpenWorkspace(const std::string& path)
{
    if (m_doc.OnOpenDocument(path) && m_onWorkspaceOpened)
        m_onWorkspaceOpened(path);
    UpdateTitle();
}

void CMainFrame::OnRunScript()
{
    const QString path = QFileDialog::getOpenFileName(
        this, "Run Script", QString(), "Script Files (*.qvs);;Text Files (*.txt);;All Files (*)");
    if (path.isEmpty())
        return;
    m_doc.RunScript(FromQt(path));
}

void CMainFrame::OnQuickStart()
{
    const bool bFirstStart = m_bFirstStart;
    m_bFirstStart = false;
    RunQuickStart(*this, bFirstStart ? TRUE : FALSE);
}

// ---------------------------------------------------------------- window

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        // X11 reports the lock state with every key (its Lock modifier bit);
        // elsewhere the pane stays grey.
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            m_pCapsPane->setEnabled(key->nativeModifiers() & 0x2);
        const bool bTab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        const bool bCtrl = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (bTab && !bCtrl && widget && widget->window() == this && m_pPanes->Contains(widget)) {
            // The views take turns on Tab in their own order, not the
            // widgets' focus chain.
            if (event->type() == QEvent::KeyPress)
                m_pPanes->OnTabKey(key->key() == Qt::Key_Backtab ||
                                   (key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_pTray->OnWindowStateChange();
}

void CMainFrame::ShowWithPlacement(bool bHidden)
{
    RestoreWindowPlacement(*this);
    if (!bHidden)
        show();
    else if (!m_pTray->HidesToTray())
        showMinimized(); // without a tray a hidden window could not be reached again
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosed) {
        event->accept();
        return;
    }
    event->ignore();
    if (!m_bNoQuestions && !AppSettings::GetNoConfirmExit() &&
        ShowMessageBox(this, "Are you sure you wish to leave Quorvil?",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    CMonManager* pManager = m_doc.m_pManager.get();
    const bool bWasScanning = pManager && pManager->IsScanThreadRunning();
    if (pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    // What the scan thread said until it ended: its state and a save of its
    // last positions.
    DrainQueue();
    const bool bTrayShown = m_pTray->GetIcon()->isVisible();
    m_pTray->Hide();
    SaveWindowPlacement(*this);
    SaveBarState(*this);
    if (m_bNoQuestions) {
        // SaveModified without its question: the autosave alone.
        if (AppSettings::GetAutoSave())
            m_doc.AutoSaveWorkspace();
    } else if (!m_doc.SaveModified()) {
        // Cancel leaves the program as it was before Exit.
        m_pTray->GetIcon()->setVisible(bTrayShown);
        if (bWasScanning && m_doc.m_pManager)
            m_doc.m_pManager->StartScanThread();
        return;
    }
    m_bClosed = true;
    event->accept();
    emit Closed();
}

void CMainFrame::CloseWithoutQuestions()
{
    m_bNoQuestions = true;
    close();
}

void CMainFrame::OnCommitData()
{
    WriteSystemLog("System shutdown pending, shutting Quorvil down...");
    if (CMonManager* pManager = m_doc.m_pManager.get(); pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
}

// ---------------------------------------------------------------- dropped files

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedPaths(*event->mimeData());
    event->acceptProposedAction();
    OpenDroppedFiles(paths, m_doc, this, [this](const std::string& path) { OpenWorkspace(path); });
}
