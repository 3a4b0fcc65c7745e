#include "ui/commands/logcommands.h"

#include <QAction>
#include <QMenu>
#include <string>

#include "app/launchers.h"
#include "core/itemid.h"
#include "eventlog/scan/eventmonitor.h"
#include "settings/appsettings.h"
#include "textlog/filemonitor.h"
#include "ui/commands/marktextdialog.h"
#include "ui/commands/renameserverdialog.h"
#include "ui/common/mainframe.h"
#include "ui/common/messagebox.h"
#include "workspace/quorvildoc.h"

namespace {

// 132
constexpr const char* IDS_CONFIRM_CLEAR = "You will be unable to recover this log's contents once "
                                          "you clear it. Are you sure you want to clear it?";

CMonitoredObject* FindLog(CQuorvilDoc& doc, DWORD dwItemId)
{
    return doc.m_pManager ? doc.m_pManager->FindLog(dwItemId) : nullptr;
}

} // namespace

bool IsLogCommand(UINT nCommand)
{
    switch (nCommand) {
    case ID_LOG_CONFIGURE:
    case ID_LOG_DELETE:
    case ID_LOG_ENABLE:
    case ID_LOG_CLEAR:
    case ID_LOG_EDITOR:
    case ID_LOG_MARK:
    case ID_LOG_FAST_MARK:
    case ID_LOG_EXPLORER:
    case ID_LOG_COMMAND_BOX:
    case ID_LOG_RENAME:
        return true;
    default:
        return false;
    }
}

bool IsMarkAllowed(const CMonitoredObject& log)
{
    if (const auto* pEvent = dynamic_cast<const CEventMonitor*>(&log))
        return pEvent->GetLogName() == "Application";
    return dynamic_cast<const CFileMonitor*>(&log) != nullptr;
}

bool IsLogCommandEnabled(CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand)
{
    if (dwItemId == ITEM_KIND_SYSTEM_LOG)
        return doc.m_pManager && (nCommand == ID_LOG_CLEAR || nCommand == ID_LOG_EDITOR);
    const CMonitoredObject* pLog = FindLog(doc, dwItemId);
    if (!pLog)
        return false;
    const bool bText = dynamic_cast<const CFileMonitor*>(pLog) != nullptr;
    const bool bEvent = dynamic_cast<const CEventMonitor*>(pLog) != nullptr;
    switch (nCommand) {
    case ID_LOG_CONFIGURE:
    case ID_LOG_DELETE:
    case ID_LOG_ENABLE:
        return true; // every kind, journals and .evtx logs included
    case ID_LOG_CLEAR:
        return bText || bEvent;
    case ID_LOG_MARK:
    case ID_LOG_FAST_MARK:
        return IsMarkAllowed(*pLog);
    case ID_LOG_EDITOR:
    case ID_LOG_EXPLORER:
    case ID_LOG_COMMAND_BOX:
        return bText;
    case ID_LOG_RENAME:
        return bEvent;
    default:
        return false;
    }
}

QString LogCommandText(CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand, bool bContextMenu)
{
    switch (nCommand) {
    case ID_LOG_CONFIGURE:
        return QStringLiteral("C&onfigure...\tCtrl+Enter");
    case ID_LOG_DELETE:
        return bContextMenu ? QStringLiteral("&Delete") + QString(30, ' ') + QStringLiteral("\tDel")
                            : QStringLiteral("&Delete\tDel");
    case ID_LOG_ENABLE: {
        const CMonitoredObject* pLog = FindLog(doc, dwItemId);
        return pLog && pLog->IsEnabled() ? QStringLiteral("Disa&ble\tCtrl+T")
                                         : QStringLiteral("Ena&ble\tCtrl+T");
    }
    case ID_LOG_CLEAR:
        return QStringLiteral("C&lear");
    case ID_LOG_EDITOR:
        return QStringLiteral("Send to &Editor");
    case ID_LOG_MARK:
        return QStringLiteral("Ma&rk...\tCtrl+K");
    case ID_LOG_FAST_MARK:
        return QStringLiteral("&Fast Mark\tAlt+K");
    case ID_LOG_EXPLORER:
        return QStringLiteral("Explor&e ...");
    case ID_LOG_COMMAND_BOX:
        return QStringLiteral("Command Bo&x...");
    case ID_LOG_RENAME:
        return QStringLiteral("&Rename");
    default:
        return {};
    }
}

void RunLogCommand(IMainFrame& frame, DWORD dwItemId, UINT nCommand)
{
    CQuorvilDoc& doc = frame.GetDocument();
    if (!IsLogCommandEnabled(doc, dwItemId, nCommand))
        return;
    QWidget* parent = frame.GetWindow();
    CMonitoredObject* pLog = FindLog(doc, dwItemId); // null for the system log file
    auto* pText = dynamic_cast<CFileMonitor*>(pLog);
    switch (nCommand) {
    case ID_LOG_CONFIGURE: {
        CScanPause pause(doc.m_pManager.get());
        doc.EditLogProperties(dwItemId);
        break;
    }
    case ID_LOG_DELETE:
        doc.DeleteMonitoredLog(dwItemId);
        break;
    case ID_LOG_ENABLE:
        doc.ToggleLogEnabled(dwItemId);
        break;
    case ID_LOG_CLEAR:
        if (ShowMessageBox(parent, IDS_CONFIRM_CLEAR, MB_YESNO | MB_ICONQUESTION) != IDNO)
            doc.ClearLog(dwItemId);
        break;
    case ID_LOG_EDITOR:
        LaunchEditor(pText ? pText->GetFilePath() : AppSettings::GetErrorLogPath());
        break;
    case ID_LOG_MARK: {
        std::string text = "My Mark";
        if (AskMarkText(parent, text))
            doc.MarkLog(dwItemId, text);
        break;
    }
    case ID_LOG_FAST_MARK:
        doc.MarkLog(dwItemId, AppSettings::GetFastMark());
        break;
    case ID_LOG_EXPLORER:
        LaunchExplorer(pText->m_strDirectory);
        break;
    case ID_LOG_COMMAND_BOX:
        LaunchCommandBox(pText->m_strDirectory);
        break;
    case ID_LOG_RENAME: {
        auto* pEvent = dynamic_cast<CEventMonitor*>(pLog);
        std::string name = pEvent->m_strServer;
        if (!AskServerName(parent, name) || name.empty())
            break;
        // The log may have gone while the dialog was open.
        if (FindLog(doc, dwItemId) != pLog)
            break;
        // A scan of the log in progress reads the server name: then the scan
        // thread renames it after that scan and the frame sends the hint.
        if (doc.m_pManager->RunWhenNotScanning(pLog, ToLParam(ViewHint::LogRenamed),
                                               [pEvent, name] { pEvent->m_strServer = name; }))
            doc.NotifyLogRenamed(dwItemId);
        break;
    }
    default:
        break;
    }
}

QAction* AddLogCommand(QMenu& menu, CQuorvilDoc& doc, DWORD dwItemId, UINT nCommand,
                       bool bContextMenu)
{
    QAction* action = menu.addAction(LogCommandText(doc, dwItemId, nCommand, bContextMenu));
    action->setData(static_cast<uint>(nCommand));
    action->setEnabled(IsLogCommandEnabled(doc, dwItemId, nCommand));
    return action;
}
