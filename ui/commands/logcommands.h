#pragma once
// The per-log commands that the workspace tree and both log lists share:
// their ids, menu texts, enabling and what they do. They act on one item
// identifier: a text log (kind 5), an event log (kind 6) or the system log
// file (ITEM_KIND_SYSTEM_LOG). Watch groups, tasks and keys are the tree's
// own business.
//
// Threads: user interface thread only. Nothing here waits on the scan
// thread.
#include <QString>

#include "ui/common/commandids.h"

class CMonitoredObject;
class CQuorvilDoc;
class IMainFrame;
class QAction;
class QMenu;

// The commands (ids in ui/common/commandids.h): ID_LOG_CONFIGURE
// "C&onfigure...\tCtrl+Enter", ID_LOG_DELETE "&Delete\tDel", ID_LOG_ENABLE
// "Disa&ble\tCtrl+T" / "Ena&ble\tCtrl+T", ID_LOG_CLEAR "C&lear",
// ID_LOG_EDITOR "Send to &Editor", ID_LOG_MARK "Ma&rk...\tCtrl+K",
// ID_LOG_FAST_MARK "&Fast Mark\tAlt+K", ID_LOG_EXPLORER "Explor&e ...",
// ID_LOG_COMMAND_BOX "Command Bo&x...", ID_LOG_RENAME "&Rename".

// Whether nCommand is one of the ids above.
bool IsLogCommand(UINT nCommand);

// Whether a log may be marked: every text log; an event log only when its
// log name is exactly "Application" (marks are filed there).
bool IsMarkAllowed(const CMonitoredObject& log);

// Whether the command applies to the item: false for an unknown log, an
// item kind the command does not serve, or a command that is not a log
// command.
bool IsLogCommandEnabled(CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand);

// The command's menu text for the item (the enable/disable text follows
// the log's state). Context menus pad Delete with 30 blanks before its tab.
QString LogCommandText(CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand, bool bContextMenu = false);

// Runs the command on the item when it is enabled for it; does nothing
// otherwise. Questions and dialogs are parented to frame.GetWindow().
void RunLogCommand(IMainFrame& frame, DWORD dwItemId, UINT nCommand);

// Appends the command to a menu: its text, its enabling for the item, and
// the command id as the action's data (run it with RunLogCommand when the
// menu returns the action). The menu owns the action.
QAction* AddLogCommand(QMenu& menu, CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand,
                       bool bContextMenu = true);
