#pragma once
// CFrameActions: the main window's commands as actions (text, shortcut,
// icon), the menu bar, the tool bar, the recent workspaces in the File menu,
// and the state of every action (enabled, checked, text) as the command
// targets report it.
//
// Threads: user interface thread only. The actions belong to the window.
#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "platform/base/win32types.h"
#include "ui/common/commandtarget.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

class CFrameActions {
public:
    // run: runs a command as the menu would; update: brings every action's
    // state up to date (before a menu opens); openRecent: opens a recent
    // workspace.
    CFrameActions(QMainWindow& window, std::function<void(UINT)> run, std::function<void()> update,
                  std::function<void(const std::string&)> openRecent);

    QAction* Get(UINT nID) const { return m_actions.at(nID); }
    // The menu bar, then the tool bar "Main" with its toggles in the View
    // menu.
    void CreateMenus();
    void CreateToolBar();
    // Asks state for every action: false leaves it disabled and unchecked.
    void Update(const std::function<bool(UINT, CCommandState&)>& state);

private:
    void CreateActions();
    QAction* Add(UINT nID, const QString& text, const QKeySequence& shortcut = {},
                 const QIcon& icon = {});
    QMenu* AddMenu(const QString& title, std::initializer_list<UINT> ids);
    // The recent workspaces above Exit in the File menu.
    void UpdateRecentFiles(QMenu* file);

    QMainWindow& m_window;
    std::function<void(UINT)> m_run;
    std::function<void()> m_update;
    std::function<void(const std::string&)> m_openRecent;
    std::map<UINT, QAction*> m_actions;
    std::vector<QAction*> m_recentActions; // in the File menu, rebuilt as it opens
    QMenu* m_pViewMenu = nullptr;          // also shows and hides the bars
};
