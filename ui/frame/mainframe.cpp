#include "ui/frame/mainframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSessionManager>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <mutex>

#include "app/launchers.h"
#include "app/recentfiles.h"
#include "common/brancmn.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "textlog/filemonitor.h"
#include "ui/common/commandids.h"
#include "ui/common/framemessages.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/frame/aboutbox.h"
#include "ui/frame/scanstatus.h"
#include "ui/frame/splash.h"
#include "ui/settings/settingssheet.h"
#include "ui/wizard/quickstart.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"

namespace {

// Item identifiers of the files that are not monitored logs.
constexpr DWORD ID_SYSTEM_LOG_FILE = 0x30000000;
constexpr DWORD ID_TEXT_AUDIT_FILE = 0xB0000000;
constexpr DWORD ID_EVENT_AUDIT_FILE = 0xC0000000;

// A text file dropped on the window becomes a monitored log when it ends in
// one of these (compared in capitals).
bool IsTextLogExtension(const std::string& upperExt)
{
    return upperExt == ".TXT" || upperExt == ".LOG" || upperExt == ".AEH";
}

std::string UpperTail(const std::string& path, std::size_t n)
{
    std::string tail = path.size() >= n ? path.substr(path.size() - n) : path;
    for (char& c : tail)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail;
}

bool IsInside(const QWidget* widget, const QWidget* container)
{
    return widget && container && (widget == container || container->isAncestorOf(widget));
}

} // namespace

int DetailViewerHeight(int nClientHeight)
{
    return nClientHeight - 100 < 100 ? nClientHeight / 2 : nClientHeight - 100;
}

struct CMainFrame::CWakeTarget {
    std::mutex mutex;
    CMainFrame* pFrame = nullptr; // guarded by mutex
};

CMainFrame::CMainFrame(CQuorvilDoc& doc, CMessageQueue& queue, bool bSplash, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_queue(queue), m_pWake(std::make_shared<CWakeTarget>())
{
    setWindowIcon(GetImageIcon(IMAGE_WATCH_GROUP));
    setAcceptDrops(true);
    resize(900, 600);
    m_bHideToTray = QSystemTrayIcon::isSystemTrayAvailable();

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setChildrenCollapsible(false);
    m_pTree = new CQuorvilView(*this, m_pSplitter);
    m_pSplitter->addWidget(m_pTree);
    setCentralWidget(m_pSplitter);
    ShowPane(Pane::TextLogs, "Ready");
    m_pSplitter->setSizes({200, width() - 200});
    m_pActiveView = m_pTree;

    if (bSplash) {
        m_pSplash = new CSplashWindow;
        connect(m_pSplash, &CSplashWindow::Closed, this, [this] { update(); });
        m_pSplash->show();
    }
    CreateTray();

    if (AppSettings::GetFirstTimeFlag() == 0) {
        m_bFirstStart = true;
        QTimer::singleShot(0, this, [this] { RunCommand(ID_QUICK_START); });
        AppSettings::SetFirstTimeFlag(1);
    }

    m_doc.AddView(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        // With the detail pane the right pane is a splitter, not a view.
        QWidget* right = m_pDetailSplitter ? nullptr : m_pRight;
        for (QWidget* view : {static_cast<QWidget*>(m_pTree), static_cast<QWidget*>(m_pEventViewer),
                              static_cast<QWidget*>(m_pDetail), right})
            if (IsInside(now, view)) {
                m_pActiveView = view;
                return;
            }
    });
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

    {
        std::lock_guard lock(m_pWake->mutex);
        m_pWake->pFrame = this;
    }
    m_queue.SetWakeUp([wake = m_pWake] {
        std::lock_guard lock(wake->mutex);
        if (wake->pFrame)
            QMetaObject::invokeMethod(wake->pFrame, &CMainFrame::DrainQueue, Qt::QueuedConnection);
    });
    // What start-up posted before the window existed.
    QMetaObject::invokeMethod(this, &CMainFrame::DrainQueue, Qt::QueuedConnection);
}

CMainFrame::~CMainFrame()
{
    {
        std::lock_guard lock(m_pWake->mutex);
        m_pWake->pFrame = nullptr;
    }
    m_queue.SetWakeUp(nullptr);
    qApp->removeEventFilter(this);
    m_doc.RemoveView(this);
    if (m_pSplash)
        delete m_pSplash;
    // The views use the frame as they go, so they go while it is whole.
    for (const QPointer<QWidget>& retired : m_retiredViews)
        delete retired.data();
    delete takeCentralWidget();
}

// ---------------------------------------------------------------- building

QAction* CMainFrame::AddAction(UINT nID, const QString& text, const QKeySequence& shortcut,
                               const QIcon& icon)
{
    auto* action = new QAction(icon, text, this);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, nID] { RunCommand(nID); });
    m_actions[nID] = action;
    return action;
}

void CMainFrame::CreateActions()
{
    QStyle* s = style();
    AddAction(ID_FILE_NEW, "&New\tCtrl+N", QKeySequence::New, s->standardIcon(QStyle::SP_FileIcon));
    AddAction(ID_FILE_OPEN, "&Open...\tCtrl+O", QKeySequence::Open,
              s->standardIcon(QStyle::SP_DialogOpenButton));
    AddAction(ID_FILE_SAVE, "&Save\tCtrl+S", QKeySequence::Save,
              s->standardIcon(QStyle::SP_DialogSaveButton));
    AddAction(ID_FILE_SAVE_AS, "Save &As...");
    AddAction(ID_RUN_SCRIPT, "R&un Script...");
    AddAction(ID_APP_EXIT, "E&xit");
    AddAction(ID_EDIT_COPY, "&Copy\tCtrl+C", QKeySequence::Copy, GetToolIcon(ToolIcon::Copy));
    AddAction(ID_EDIT_PASTE, "&Paste\tCtrl+V", QKeySequence::Paste, GetToolIcon(ToolIcon::Paste));
    AddAction(ID_LOG_DELETE, "&Delete\tDel", QKeySequence::Delete,
              s->standardIcon(QStyle::SP_TrashIcon));
    AddAction(ID_LOG_CONFIGURE, "C&onfigure...\tCtrl+Enter",
              QKeySequence(Qt::CTRL | Qt::Key_Return),
              s->standardIcon(QStyle::SP_FileDialogDetailedView));
    AddAction(ID_VIEW_FIND, "&Find...", {}, GetToolIcon(ToolIcon::Find));
    AddAction(ID_VIEW_FIND_NEXT, "Find &Next\tF3", QKeySequence::FindNext);
    AddAction(ID_EVENT_NEWEST_FIRST, "Ne&west First")->setCheckable(true);
    AddAction(ID_EVENT_OLDEST_FIRST, "Ol&dest First")->setCheckable(true);
    AddAction(ID_LOG_NEW_TEXT, "New te&xt log...", {}, GetImageIcon(IMAGE_TEXT_LOG));
    AddAction(ID_LOG_NEW_EVENT, "New e&vent Log...", {}, GetImageIcon(IMAGE_EVENT_LOG));
    AddAction(ID_LOG_ENABLE, "Disa&ble\tCtrl+T", QKeySequence(Qt::CTRL | Qt::Key_T));
    AddAction(ID_LOG_CLEAR, "C&lear");
    AddAction(ID_LOG_EDITOR, "Send to &Editor");
    AddAction(ID_LOG_MARK, "Ma&rk...\tCtrl+K", QKeySequence(Qt::CTRL | Qt::Key_K));
    AddAction(ID_LOG_FAST_MARK, "&Fast Mark\tAlt+K", QKeySequence(Qt::ALT | Qt::Key_K));
    AddAction(ID_TEST_TASK, "Test &Task Actions", {}, GetImageIcon(IMAGE_TASK));
    AddAction(ID_LOG_RENAME, "&Rename");
    AddAction(ID_LOG_EXPLORER, "Explor&e ...");
    AddAction(ID_LOG_COMMAND_BOX, "Command Bo&x...");
    AddAction(ID_QUICK_START, "&Quick Start\tCtrl+Q", QKeySequence(Qt::CTRL | Qt::Key_Q),
              s->standardIcon(QStyle::SP_MediaSeekForward));
    AddAction(ID_VIEW_TEXT_SUMMARY, "Te&xt log summary", {}, GetImageIcon(IMAGE_TEXT_ROOT));
    AddAction(ID_VIEW_EVENT_SUMMARY, "NT E&vent log summary", {}, GetImageIcon(IMAGE_EVENT_ROOT));
    AddAction(ID_VIEW_SYSTEM_LOG, "S&ystem Log File", {}, GetImageIcon(IMAGE_SYSTEM_LOG));
    AddAction(ID_VIEW_TEXT_AUDIT, "&Text Audit File", {}, GetImageIcon(IMAGE_TEXT_LOG_DISABLED));
    AddAction(ID_VIEW_NT_AUDIT, "&NT Audit File", {}, GetImageIcon(IMAGE_EVENT_LOG_DISABLED));
    AddAction(ID_VIEW_DETAIL, "Show &detail window", {},
              s->standardIcon(QStyle::SP_TitleBarShadeButton))
        ->setCheckable(true);
    AddAction(ID_EVENT_VIEWER, "NT &Event Viewer", {}, GetImageIcon(IMAGE_EVENT_LOG_UNCHECKED));
    AddAction(ID_VIEW_REFRESH, "&Refresh\tF5", QKeySequence::Refresh,
              s->standardIcon(QStyle::SP_BrowserReload));
    AddAction(ID_SCAN_START, "Star&t", {}, GetScanIcon(ScanIcon::Running));
    AddAction(ID_SCAN_STOP, "Sto&p", {}, GetScanIcon(ScanIcon::Stopped));
    AddAction(ID_SCAN_TOGGLE, "Start/Stop scanning", {}, GetScanIcon(ScanIcon::Running))
        ->setCheckable(true);
    AddAction(ID_SETTINGS, "S&ettings...");
    AddAction(ID_HIDE_WINDOW, "&Hide Window");
    AddAction(ID_TRAY_SHOW, "&Show");
    AddAction(ID_HELP_FINDER, "&Help Topics\tF1", QKeySequence::HelpContents);
    AddAction(ID_APP_ABOUT, "&About Quorvil...", {},
              s->standardIcon(QStyle::SP_MessageBoxInformation));
    // Qt shows shortcuts on its own; the text after the tab is what the
    // shortcut column says on Windows.
    for (auto& [nID, action] : m_actions)
        action->setText(action->text().section('\t', 0, 0));
}

QMenu* CMainFrame::AddMenu(const QString& title, std::initializer_list<UINT> ids)
{
    QMenu* menu = menuBar()->addMenu(title);
    for (UINT nID : ids) {
        if (nID == 0)
            menu->addSeparator();
        else
            menu->addAction(m_actions.at(nID));
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    return menu;
}

void CMainFrame::CreateMenus()
{
    QMenu* file = AddMenu("&File", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0,
                                    ID_RUN_SCRIPT, 0, ID_APP_EXIT});
    connect(file, &QMenu::aboutToShow, this, [this, file] { UpdateRecentFiles(file); });
    AddMenu("&Edit", {ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_LOG_DELETE, ID_LOG_CONFIGURE, 0,
                      ID_VIEW_FIND, ID_VIEW_FIND_NEXT});
    QMenu* view = AddMenu("&View", {ID_VIEW_TEXT_SUMMARY, ID_VIEW_EVENT_SUMMARY, 0,
                                    ID_VIEW_SYSTEM_LOG, ID_VIEW_TEXT_AUDIT, ID_VIEW_NT_AUDIT, 0,
                                    ID_VIEW_DETAIL, ID_EVENT_NEWEST_FIRST, ID_EVENT_OLDEST_FIRST,
                                    ID_EVENT_VIEWER, ID_VIEW_REFRESH});
    AddMenu("&Logs",
            {ID_LOG_NEW_TEXT, ID_LOG_NEW_EVENT, 0, ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE,
             0, ID_LOG_EDITOR, ID_LOG_CLEAR, ID_LOG_MARK, ID_LOG_FAST_MARK, ID_TEST_TASK,
             ID_LOG_RENAME, 0, ID_LOG_EXPLORER, ID_LOG_COMMAND_BOX, 0, ID_QUICK_START});
    AddMenu("&System", {ID_SCAN_START, ID_SCAN_STOP, 0, ID_SETTINGS, ID_HIDE_WINDOW});
    AddMenu("&Help", {ID_HELP_FINDER, 0, ID_APP_ABOUT});
    m_pViewMenuBars = view;
}

void CMainFrame::UpdateRecentFiles(QMenu* file)
{
    for (QAction* action : m_recentActions)
        delete action;
    m_recentActions.clear();
    // The list as start-up and every open left it in the settings.
    CRecentFileList recent;
    recent.ReadList();
    QAction* exit = m_actions.at(ID_APP_EXIT);
    for (int i = 0; i < recent.GetCount(); ++i) {
        const std::string path = recent[i];
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(ToQt(path)), file);
        connect(action, &QAction::triggered, this, [this, path] {
            if (m_doc.SaveModified())
                OpenWorkspace(path);
        });
        file->insertAction(exit, action);
        m_recentActions.push_back(action);
    }
    if (!m_recentActions.empty())
        m_recentActions.push_back(file->insertSeparator(exit));
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = addToolBar("Main");
    m_pToolBar->setObjectName("Main");
    m_pToolBar->setIconSize(QSize(16, 16));
    for (UINT nID : {ID_FILE_NEW,
                     ID_FILE_OPEN,
                     ID_FILE_SAVE,
                     0u,
                     ID_EDIT_COPY,
                     ID_EDIT_PASTE,
                     0u,
                     ID_QUICK_START,
                     0u,
                     ID_LOG_NEW_TEXT,
                     ID_LOG_NEW_EVENT,
                     ID_LOG_DELETE,
                     ID_LOG_CONFIGURE,
                     0u,
                     ID_VIEW_SYSTEM_LOG,
                     ID_VIEW_TEXT_AUDIT,
                     ID_VIEW_NT_AUDIT,
                     ID_VIEW_FIND,
                     ID_VIEW_REFRESH,
                     ID_VIEW_DETAIL,
                     0u,
                     ID_SCAN_TOGGLE,
                     0u,
                     ID_APP_ABOUT}) {
        if (nID == 0)
            m_pToolBar->addSeparator();
        else
            m_pToolBar->addAction(m_actions.at(nID));
    }
    QAction* bars = m_pViewMenuBars->insertSeparator(m_pViewMenuBars->actions().value(0));
    m_pViewMenuBars->insertAction(bars, m_pToolBar->toggleViewAction());
    QAction* statusBarToggle = new QAction("&Status Bar", this);
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);
    connect(statusBarToggle, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    m_pViewMenuBars->insertAction(bars, statusBarToggle);

    std::vector<BYTE> state;
    if (AppSettings::GetProfileBinary(AppSettings::SECTION_SETTINGS, "Toolbars", state))
        restoreState(QByteArray(reinterpret_cast<const char*>(state.data()),
                                static_cast<qsizetype>(state.size())));
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

void CMainFrame::CreateTray()
{
    m_pTray = new QSystemTrayIcon(GetScanIcon(ScanIcon::Stopped), this);
    m_pTray->setToolTip(ToQt(FormatTrayTip("Stopped")));
    m_pTrayMenu = new QMenu(this);
    connect(m_pTrayMenu, &QMenu::aboutToShow, this, [this] {
        m_pTrayMenu->clear();
        QAction* first = m_pTrayMenu->addAction(isVisible() ? "&Hide" : "&Show", this, [this] {
            RunCommand(isVisible() ? ID_HIDE_WINDOW : ID_TRAY_SHOW);
        });
        m_pTrayMenu->setDefaultAction(first);
        m_pTrayMenu->addSeparator();
        m_pTrayMenu->addAction(m_actions.at(ID_SCAN_START));
        m_pTrayMenu->addAction(m_actions.at(ID_SCAN_STOP));
        m_pTrayMenu->addSeparator();
        m_pTrayMenu->addAction(m_actions.at(ID_APP_ABOUT));
        m_pTrayMenu->addAction(m_actions.at(ID_APP_EXIT));
        UpdateCommands();
    });
    m_pTray->setContextMenu(m_pTrayMenu);
    connect(m_pTray, &QSystemTrayIcon::activated, this, &CMainFrame::OnTrayActivated);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_pTray->show();
}

// ---------------------------------------------------------------- messages

void CMainFrame::DrainQueue()
{
    while (auto msg = m_queue.Peek())
        HandleMessage(*msg);
}

void CMainFrame::HandleMessage(const CQueuedMessage& msg)
{
    switch (msg.message) {
    case WM_SCAN_STATE:
        OnScanState(msg.wParam, msg.lParam);
        break;
    case WM_SCAN_PROGRESS:
        m_doc.OnScanProgress(static_cast<DWORD>(msg.wParam), static_cast<DWORD>(msg.lParam));
        break;
    case WM_AUTOSAVE:
        OnAutoSave();
        break;
    case WM_DEFERRED_EDIT:
        m_doc.OnDeferredEdit(static_cast<DWORD>(msg.wParam), msg.lParam);
        break;
    default:
        SendFrameMessage(msg.message, msg.wParam, msg.lParam);
        break;
    }
}

void CMainFrame::SendFrameMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_SHOW_TEXT_LOGS:
    case WM_SHOW_TEXT_LOGS_AGAIN:
        ShowPane(Pane::TextLogs, "Monitored files");
        break;
    case WM_SHOW_EVENT_LOGS:
        SetMessageText("Monitored event logs");
        ShowPane(Pane::EventLogs, "Monitored event logs");
        break;
    case WM_SHOW_TEXT_VIEWER:
        ShowPane(Pane::TextViewer, "Ready");
        if (auto* viewer = dynamic_cast<CLogCacheView*>(m_pRight))
            viewer->ShowItem(static_cast<DWORD>(lParam));
        break;
    case WM_SHOW_EVENT_VIEWER:
        ShowEventViewer(static_cast<DWORD>(lParam), nullptr);
        break;
    case WM_ACTIVATE_TREE:
        ActivateView(m_pTree);
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

void CMainFrame::OnScanState(WPARAM nState, LPARAM nSeconds)
{
    const CScanStateLook look = GetScanStateLook(nState);
    if (look.bAnimate)
        m_pAnimation->Start();
    else
        m_pAnimation->Stop();
    if (nState == SCAN_STATE_COUNTDOWN)
        SetMessageText(QStringLiteral("Autoscan starting in %1 seconds ...")
                           .arg(static_cast<unsigned>(nSeconds)));
    else if (nState == SCAN_STATE_RUNNING)
        SetMessageText("Ready");
    if (look.bSetsIcon)
        m_stateIcon = look.icon;
    m_pTray->setIcon(GetScanIcon(m_stateIcon));
    m_pTray->setToolTip(ToQt(FormatTrayTip(look.strText)));
    UpdateCommands();
}

void CMainFrame::OnAutoSave()
{
    SetMessageText("Autosaving...");
    {
        CScanPause pause(m_doc.m_pManager.get());
        if (!m_doc.AutoSaveWorkspace())
            WriteSystemLogF("Failure during autosaving log positions.");
    }
    SetMessageText("Ready");
}

void CMainFrame::OnUpdate(LPARAM, const CHintStruct*)
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
    return dynamic_cast<ICommandTarget*>(ActiveView());
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
    for (auto& [nID, action] : m_actions) {
        CCommandState state;
        const bool bHandled =
            (target && target->UpdateCommand(nID, state)) || UpdateFrameCommand(nID, state);
        action->setEnabled(bHandled && state.bEnabled);
        if (action->isCheckable())
            action->setChecked(bHandled && state.bChecked);
        if (!state.strText.isEmpty())
            action->setText(state.strText.section('\t', 0, 0));
    }
}

bool CMainFrame::UpdateFrameCommand(UINT nID, CCommandState& state)
{
    switch (nID) {
    case ID_SCAN_START:
        state.bEnabled = m_doc.IsScanStartEnabled();
        return true;
    case ID_SCAN_STOP:
        state.bEnabled = m_doc.IsScanStopEnabled();
        return true;
    case ID_SCAN_TOGGLE:
        state.bChecked = m_doc.IsScanToggleChecked();
        return true;
    case ID_VIEW_DETAIL:
        state.bEnabled = m_pane == Pane::EventViewer;
        state.bChecked = m_pDetailSplitter != nullptr;
        return true;
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_RUN_SCRIPT:
    case ID_APP_EXIT:
    case ID_LOG_NEW_TEXT:
    case ID_LOG_NEW_EVENT:
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
        ToggleDetail();
        break;
    case ID_EVENT_VIEWER:
        LaunchEventViewer();
        break;
    case ID_SCAN_START:
        m_doc.OnScanStart();
        break;
    case ID_SCAN_STOP:
        m_doc.OnScanStop();
        break;
    case ID_SCAN_TOGGLE:
        m_doc.OnScanToggle();
        break;
    case ID_SETTINGS:
        RunSettingsSheet(this, &m_doc);
        break;
    case ID_HIDE_WINDOW:
        hide();
        break;
    case ID_TRAY_SHOW:
        ShowFromTray();
        break;
    case ID_HELP_FINDER:
        if (!m_strHelpFile.empty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(m_strHelpFile)));
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

// ---------------------------------------------------------------- right pane

QWidget* CMainFrame::GetRightView() const
{
    return m_pDetailSplitter ? m_pEventViewer : m_pRight;
}

QWidget* CMainFrame::ActiveView() const
{
    return m_pActiveView ? m_pActiveView.data() : static_cast<QWidget*>(m_pTree);
}

void CMainFrame::ActivateView(QWidget* view)
{
    if (!view)
        return;
    m_pActiveView = view;
    view->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ReplaceRightWidget(QWidget* widget)
{
    const QList<int> sizes = m_pSplitter->sizes();
    if (m_pRight) {
        // The old view may be the one whose handler asked for the switch,
        // so it goes once that handler has returned.
        QWidget* old = m_pSplitter->replaceWidget(1, widget);
        old->hide();
        old->deleteLater();
        std::erase_if(m_retiredViews, [](const QPointer<QWidget>& view) { return view.isNull(); });
        m_retiredViews.push_back(old);
    } else {
        m_pSplitter->addWidget(widget);
    }
    m_pRight = widget;
    m_pSplitter->setStretchFactor(1, 1);
    if (sizes.size() == 2)
        m_pSplitter->setSizes(sizes);
}

void CMainFrame::ShowPane(Pane pane, const char* message)
{
    if (pane == m_pane && pane != Pane::EventViewer)
        return;
    SetMessageText(QString::fromLatin1(message));
    ActivateView(m_pTree);
    m_pEventViewer = nullptr;
    m_pDetail = nullptr;
    m_pDetailSplitter = nullptr;
    QWidget* view = nullptr;
    switch (pane) {
    case Pane::TextLogs:
        view = new CMonFileView(*this);
        break;
    case Pane::EventLogs:
        view = new CServersView(*this);
        break;
    case Pane::TextViewer:
        view = new CLogCacheView(*this);
        break;
    case Pane::EventViewer:
    case Pane::None:
        return;
    }
    m_pane = pane;
    ReplaceRightWidget(view);
}

void CMainFrame::ShowEventViewer(DWORD dwID, const CEventLogView::State* pState)
{
    const bool bDetail = m_bDetailWanted;
    if (m_pane == Pane::EventViewer && (m_pDetailSplitter != nullptr) == bDetail) {
        m_pEventViewer->ShowItem(dwID);
        if (pState)
            m_pEventViewer->RestoreState(*pState);
        return;
    }
    SetMessageText("Ready");
    ActivateView(m_pTree);
    auto* viewer = new CEventLogView(*this);
    if (!bDetail) {
        ReplaceRightWidget(viewer);
        m_pDetailSplitter = nullptr;
        m_pDetail = nullptr;
    } else {
        auto* split = new QSplitter(Qt::Vertical);
        split->setChildrenCollapsible(false);
        auto* detail = new CDetailView2(*this);
        split->addWidget(viewer);
        split->addWidget(detail);
        const QRect area = m_pRight ? m_pRight->geometry() : m_pSplitter->contentsRect();
        ReplaceRightWidget(split);
        split->setGeometry(area);
        const int client = area.height();
        const int top = DetailViewerHeight(client);
        split->setSizes({top, std::max(0, client - top - split->handleWidth())});
        detail->Attach(viewer);
        m_pDetailSplitter = split;
        m_pDetail = detail;
    }
    m_pane = Pane::EventViewer;
    m_pEventViewer = viewer;
    viewer->ShowItem(dwID);
    if (pState)
        viewer->RestoreState(*pState);
}

void CMainFrame::ToggleDetail()
{
    if (m_pane != Pane::EventViewer)
        return;
    m_bDetailWanted = m_pDetailSplitter == nullptr;
    const CEventLogView::State state = m_pEventViewer->SaveState();
    ShowEventViewer(m_pEventViewer->GetItem(), &state);
    ActivateView(m_pEventViewer);
}

void CMainFrame::OnTabKey(bool bShift)
{
    QWidget* active = ActiveView();
    QWidget* next = m_pTree;
    if (active == m_pTree) {
        if (m_pDetailSplitter)
            next =
                bShift ? static_cast<QWidget*>(m_pDetail) : static_cast<QWidget*>(m_pEventViewer);
        else
            next = m_pRight;
    } else if (active == m_pEventViewer) {
        next = m_pDetail && !bShift ? static_cast<QWidget*>(m_pDetail)
                                    : static_cast<QWidget*>(m_pTree);
    } else if (active == m_pDetail) {
        next = bShift ? static_cast<QWidget*>(m_pEventViewer) : static_cast<QWidget*>(m_pTree);
    }
    ActivateView(next);
}

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
        if (bTab && !bCtrl && widget && widget->window() == this && IsInside(widget, m_pSplitter)) {
            // The views take turns on Tab in their own order, not the
            // widgets' focus chain.
            if (event->type() == QEvent::KeyPress)
                OnTabKey(key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- window

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        m_bHideToTray)
        QTimer::singleShot(0, this, [this] {
            if (windowState() & Qt::WindowMinimized)
                hide();
        });
}

void CMainFrame::ShowFromTray()
{
    if (isMinimized() || !isVisible())
        showNormal();
    raise();
    activateWindow();
}

void CMainFrame::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick)
        return;
    if (isVisible() && !isMinimized())
        hide();
    else
        ShowFromTray();
}

void CMainFrame::ShowWithPlacement(bool bHidden)
{
    WINDOWPLACEMENT placement;
    if (AppSettings::ReadWindowPlacement("WindowPos", placement)) {
        const RECT& r = placement.rcNormalPosition;
        if (r.right > r.left && r.bottom > r.top)
            setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
        if (placement.showCmd == 3 || (placement.flags & 2))
            setWindowState(Qt::WindowMaximized);
    }
    if (!bHidden)
        show();
    else if (!m_bHideToTray)
        showMinimized(); // without a tray a hidden window could not be reached again
}

void CMainFrame::SaveWindowPlacement()
{
    WINDOWPLACEMENT placement;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.flags = isMaximized() ? 2 : 0; // WPF_RESTORETOMAXIMIZED
    placement.showCmd = isMaximized() ? 3 : isMinimized() ? 2 : 1;
    placement.ptMinPosition = {-1, -1};
    placement.ptMaxPosition = {-1, -1};
    placement.rcNormalPosition = {normal.left(), normal.top(), normal.left() + normal.width(),
                                  normal.top() + normal.height()};
    AppSettings::WriteWindowPlacement("WindowPos", placement);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosed) {
        event->accept();
        return;
    }
    event->ignore();
    if (!AppSettings::GetNoConfirmExit() &&
        ShowMessageBox(this, "Are you sure you wish to leave Quorvil?",
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (CMonManager* pManager = m_doc.m_pManager.get(); pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    // What the scan thread said until it ended: its state and a save of its
    // last positions.
    DrainQueue();
    m_pTray->hide();
    SaveWindowPlacement();
    const QByteArray state = saveState();
    AppSettings::WriteProfileBinary(AppSettings::SECTION_SETTINGS, "Toolbars",
                                    std::vector<BYTE>(state.begin(), state.end()));
    if (!m_doc.SaveModified())
        return;
    m_bClosed = true;
    event->accept();
    emit Closed();
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
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.push_back(url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
    OnDropFiles(paths);
}

void CMainFrame::OnDropFiles(const QStringList& paths)
{
    if (paths.size() != 1)
        return;
    const std::string path = FromQt(paths.front());
    if (path.size() < 5)
        return;
    const std::string ext = UpperTail(path, 4);
    if (ext == ".QVW") {
        if (m_doc.SaveModified())
            OpenWorkspace(path);
        return;
    }
    if (!IsTextLogExtension(ext) || !m_doc.m_pManager)
        return;
    auto log = std::make_unique<CFileMonitor>();
    log->SetEnabled(FALSE);
    log->SetInterval(10);
    log->m_strShortDescription = JustFilename(path.c_str());
    log->m_strDirectory = path;
    log->m_strFileName.clear();
    if (IsFileMonitored(*m_doc.m_pManager, log->GetFilePath()) &&
        ShowMessageBox(this, "Text log: " + path + "\n\n" + IDS_ALREADY_MONITORING,
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_doc.AddMonitoredLog(log.release());
}
