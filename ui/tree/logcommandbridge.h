#pragma once
// The shared per-log commands (ui/commands/logcommands.h) reached by the
// command numbers of ui/common/commandids.h: the two headers declare the
// same names, so the tree includes only the latter and calls through here.
//
// Threads: user interface thread only.
#include <QString>

#include "platform/base/win32types.h"

class CQuorvilDoc;
class IMainFrame;
class QMenu;

bool IsSharedLogCommand(UINT nID);
bool IsSharedLogCommandEnabled(CQuorvilDoc& doc, DWORD dwItemId, UINT nID);
QString SharedLogCommandText(CQuorvilDoc& doc, DWORD dwItemId, UINT nID, bool bContextMenu);
void RunSharedLogCommand(IMainFrame& frame, DWORD dwItemId, UINT nID);
// Appends the command for the item to a context menu (text, enabling, the
// command number as the action's data).
void AddSharedLogCommand(QMenu& menu, CQuorvilDoc& doc, DWORD dwItemId, UINT nID);
