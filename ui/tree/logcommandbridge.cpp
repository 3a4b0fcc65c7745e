#include "ui/tree/logcommandbridge.h"

#include "ui/commands/logcommands.h"

bool IsSharedLogCommand(UINT nID)
{
    return IsLogCommand(static_cast<int>(nID));
}

bool IsSharedLogCommandEnabled(CQuorvilDoc& doc, DWORD dwItemId, UINT nID)
{
    return IsLogCommandEnabled(doc, dwItemId, static_cast<int>(nID));
}

QString SharedLogCommandText(CQuorvilDoc& doc, DWORD dwItemId, UINT nID, bool bContextMenu)
{
    return LogCommandText(doc, dwItemId, static_cast<int>(nID), bContextMenu);
}

void RunSharedLogCommand(IMainFrame& frame, DWORD dwItemId, UINT nID)
{
    RunLogCommand(frame, dwItemId, static_cast<int>(nID));
}

void AddSharedLogCommand(QMenu& menu, CQuorvilDoc& doc, DWORD dwItemId, UINT nID)
{
    AddLogCommand(menu, doc, dwItemId, static_cast<int>(nID), true);
}
