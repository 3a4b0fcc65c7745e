#include "ui/frame/frameactions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/recentfiles.h"
#include "ui/common/commandids.h"
#include "ui/common/icons.h"
#include "ui/common/qtstrings.h"

CFrameActions::CFrameActions(QMainWindow& window, std::function<void(UINT)> run,
                             std::function<void()> update,
                             std::function<void(const std::string&)> openRecent)
    : m_window(window), m_run(std::move(run)), m_update(std::move(update)),
      m_openRecent(std::move(openRecent))
{
    CreateActions();
}

QAction* CFrameActions::Add(UINT nID, const QString& text, const QKeySequence& shortcut,
                            const QIcon& icon)
{
    auto* action = new QAction(icon, text, &m_window);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    QObject::connect(action, &QAction::triggered, &m_window, [this, nID] { m_run(nID); });
    m_actions[nID] = action;
    return action;
}

void CFrameActions::CreateActions()
{
    QStyle* s = m_window.style();
    Add(ID_FILE_NEW, "&New\tCtrl+N", QKeySequence::New, s->standardIcon(QStyle::SP_FileIcon));
    Add(ID_FILE_OPEN, "&Open...\tCtrl+O", QKeySequence::Open,
        s->standardIcon(QStyle::SP_DialogOpenButton));
    Add(ID_FILE_SAVE, "&Save\tCtrl+S", QKeySequence::Save,
        s->standardIcon(QStyle::SP_DialogSaveButton));
    Add(ID_FILE_SAVE_AS, "Save &As...");
    Add(ID_RUN_SCRIPT, "R&un Script...");
    Add(ID_APP_EXIT, "E&xit");
    Add(ID_EDIT_COPY, "&Copy\tCtrl+C", QKeySequence::Copy, GetToolIcon(ToolIcon::Copy));
    Add(ID_EDIT_PASTE, "&Paste\tCtrl+V", QKeySequence::Paste, GetToolIcon(ToolIcon::Paste));
    Add(ID_LOG_DELETE, "&Delete\tDel", QKeySequence::Delete, s->standardIcon(QStyle::SP_TrashIcon));
    Add(ID_LOG_CONFIGURE, "C&onfigure...\tCtrl+Enter", QKeySequence(Qt::CTRL | Qt::Key_Return),
        s->standardIcon(QStyle::SP_FileDialogDetailedView));
    Add(ID_VIEW_FIND, "&Find...", {}, GetToolIcon(ToolIcon::Find));
    Add(ID_VIEW_FIND_NEXT, "Find &Next\tF3", QKeySequence::FindNext);
    Add(ID_VIEW_FIND_PREV, "Find Pre&vious\tShift+F3", QKeySequence::FindPrevious);
    Add(ID_EVENT_NEWEST_FIRST, "Ne&west First")->setCheckable(true);
    Add(ID_EVENT_OLDEST_FIRST, "Ol&dest First")->setCheckable(true);
    Add(ID_LOG_NEW_TEXT, "New te&xt log...", {}, GetImageIcon(IMAGE_TEXT_LOG));
    Add(ID_LOG_NEW_EVENT, "New e&vent Log...", {}, GetImageIcon(IMAGE_EVENT_LOG));
    Add(ID_LOG_NEW_JOURNAL, "New &journal...", {}, GetImageIcon(IMAGE_EVENT_LOG));
    Add(ID_LOG_ENABLE, "Disa&ble\tCtrl+T", QKeySequence(Qt::CTRL | Qt::Key_T));
    Add(ID_LOG_CLEAR, "C&lear");
    Add(ID_LOG_EDITOR, "Send to &Editor");
    Add(ID_LOG_MARK, "Ma&rk...\tCtrl+K", QKeySequence(Qt::CTRL | Qt::Key_K));
    Add(ID_LOG_FAST_MARK, "&Fast Mark\tAlt+K", QKeySequence(Qt::ALT | Qt::Key_K));
    Add(ID_TEST_TASK, "Test &Task Actions", {}, GetImageIcon(IMAGE_TASK));
    Add(ID_TEST_KEYS, "Test &Keys...");
    Add(ID_LOG_RENAME, "&Rename");
    Add(ID_LOG_EXPLORER, "Explor&e ...");
    Add(ID_LOG_COMMAND_BOX, "Command Bo&x...");
    Add(ID_QUICK_START, "&Quick Start\tCtrl+Q", QKeySequence(Qt::CTRL | Qt::Key_Q),
        s->standardIcon(QStyle::SP_MediaSeekForward));
    Add(ID_VIEW_TEXT_SUMMARY, "Te&xt log summary", {}, GetImageIcon(IMAGE_TEXT_ROOT));
    Add(ID_VIEW_EVENT_SUMMARY, "NT E&vent log summary", {}, GetImageIcon(IMAGE_EVENT_ROOT));
    Add(ID_VIEW_SYSTEM_LOG, "S&ystem Log File", {}, GetImageIcon(IMAGE_SYSTEM_LOG));
    Add(ID_VIEW_TEXT_AUDIT, "&Text Audit File", {}, GetImageIcon(IMAGE_TEXT_LOG_DISABLED));
    Add(ID_VIEW_NT_AUDIT, "&NT Audit File", {}, GetImageIcon(IMAGE_EVENT_LOG_DISABLED));
    Add(ID_VIEW_DETAIL, "Show &detail window", {}, s->standardIcon(QStyle::SP_TitleBarShadeButton))
        ->setCheckable(true);
    Add(ID_EVENT_VIEWER, "NT &Event Viewer", {}, GetImageIcon(IMAGE_EVENT_LOG_UNCHECKED));
    Add(ID_VIEW_REFRESH, "&Refresh\tF5", QKeySequence::Refresh,
        s->standardIcon(QStyle::SP_BrowserReload));
    Add(ID_SCAN_START, "Star&t", {}, GetScanIcon(ScanIcon::Running));
    Add(ID_SCAN_STOP, "Sto&p", {}, GetScanIcon(ScanIcon::Stopped));
    Add(ID_SCAN_TOGGLE, "Start/Stop scanning", {}, GetScanIcon(ScanIcon::Running))
        ->setCheckable(true);
    Add(ID_SETTINGS, "S&ettings...");
    Add(ID_HIDE_WINDOW, "&Hide Window");
    Add(ID_TRAY_SHOW, "&Show");
    Add(ID_HELP_FINDER, "&Help Topics\tF1", QKeySequence::HelpContents);
    Add(ID_APP_ABOUT, "&About Quorvil...", {}, s->standardIcon(QStyle::SP_MessageBoxInformation));
    // Qt shows shortcuts on its own; the text after the tab is what the
    // shortcut column says on Windows.
    for (auto& [nID, action] : m_actions)
        action->setText(action->text().section('\t', 0, 0));
}

QMenu* CFrameActions::AddMenu(const QString& title, std::initializer_list<UINT> ids)
{
    QMenu* menu = m_window.menuBar()->addMenu(title);
    for (UINT nID : ids) {
        if (nID == 0)
            menu->addSeparator();
        else
            menu->addAction(m_actions.at(nID));
    }
    QObject::connect(menu, &QMenu::aboutToShow, &m_window, [this] { m_update(); });
    return menu;
}

void CFrameActions::CreateMenus()
{
    QMenu* file = AddMenu("&File", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0,
                                    ID_RUN_SCRIPT, 0, ID_APP_EXIT});
    QObject::connect(file, &QMenu::aboutToShow, &m_window,
                     [this, file] { UpdateRecentFiles(file); });
    AddMenu("&Edit", {ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_LOG_DELETE, ID_LOG_CONFIGURE, 0,
                      ID_VIEW_FIND, ID_VIEW_FIND_NEXT, ID_VIEW_FIND_PREV});
    m_pViewMenu = AddMenu("&View", {ID_VIEW_TEXT_SUMMARY, ID_VIEW_EVENT_SUMMARY, 0,
                                    ID_VIEW_SYSTEM_LOG, ID_VIEW_TEXT_AUDIT, ID_VIEW_NT_AUDIT, 0,
                                    ID_VIEW_DETAIL, ID_EVENT_NEWEST_FIRST, ID_EVENT_OLDEST_FIRST,
                                    ID_EVENT_VIEWER, ID_VIEW_REFRESH});
    AddMenu("&Logs", {ID_LOG_NEW_TEXT,
                      ID_LOG_NEW_EVENT,
                      ID_LOG_NEW_JOURNAL,
                      0,
                      ID_LOG_CONFIGURE,
                      ID_LOG_DELETE,
                      ID_LOG_ENABLE,
                      0,
                      ID_LOG_EDITOR,
                      ID_LOG_CLEAR,
                      ID_LOG_MARK,
                      ID_LOG_FAST_MARK,
                      ID_TEST_TASK,
                      ID_TEST_KEYS,
                      ID_LOG_RENAME,
                      0,
                      ID_LOG_EXPLORER,
                      ID_LOG_COMMAND_BOX,
                      0,
                      ID_QUICK_START});
    AddMenu("&System", {ID_SCAN_START, ID_SCAN_STOP, 0, ID_SETTINGS, ID_HIDE_WINDOW});
    AddMenu("&Help", {ID_HELP_FINDER, 0, ID_APP_ABOUT});
}

void CFrameActions::UpdateRecentFiles(QMenu* file)
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
        QObject::connect(action, &QAction::triggered, &m_window,
                         [this, path] { m_openRecent(path); });
        file->insertAction(exit, action);
        m_recentActions.push_back(action);
    }
    if (!m_recentActions.empty())
        m_recentActions.push_back(file->insertSeparator(exit));
}

void CFrameActions::CreateToolBar()
{
    QToolBar* toolBar = m_window.addToolBar("Main");
    toolBar->setObjectName("Main");
    toolBar->setIconSize(QSize(16, 16));
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
            toolBar->addSeparator();
        else
            toolBar->addAction(m_actions.at(nID));
    }
    QAction* bars = m_pViewMenu->insertSeparator(m_pViewMenu->actions().value(0));
    m_pViewMenu->insertAction(bars, toolBar->toggleViewAction());
    auto* statusBarToggle = new QAction("&Status Bar", &m_window);
    statusBarToggle->setCheckable(true);
    statusBarToggle->setChecked(true);
    QObject::connect(statusBarToggle, &QAction::toggled, &m_window,
                     [this](bool on) { m_window.statusBar()->setVisible(on); });
    m_pViewMenu->insertAction(bars, statusBarToggle);
}

void CFrameActions::Update(const std::function<bool(UINT, CCommandState&)>& state)
{
    for (auto& [nID, action] : m_actions) {
        CCommandState command;
        const bool bHandled = state(nID, command);
        action->setEnabled(bHandled && command.bEnabled);
        if (action->isCheckable())
            action->setChecked(bHandled && command.bChecked);
        if (!command.strText.isEmpty())
            action->setText(command.strText.section('\t', 0, 0));
    }
}
