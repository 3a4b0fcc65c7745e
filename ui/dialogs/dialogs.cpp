#include "ui/dialogs/dialogs.h"

#include "ui/dialogs/eventkeydialog.h"
#include "ui/dialogs/textkeydialog.h"

BOOL RunEventKeyDialog(QWidget* parent, CSearchKeyEvent& key)
{
    CDlgEventKey dlg(key, parent);
    return dlg.exec() == QDialog::Accepted;
}

BOOL RunTextKeyDialog(QWidget* parent, CSearchKeyText& key)
{
    CDlgTextKey dlg(key, parent);
    return dlg.exec() == QDialog::Accepted;
}

BOOL RunTextLogSheet(QWidget*, CFileMonitor&, BOOL, int) { return FALSE; }
BOOL RunEventLogSheet(QWidget*, CEventMonitor&, BOOL) { return FALSE; }
BOOL RunWatchGroupDialog(QWidget*, CKeysAndActions&, bool) { return FALSE; }
int RunChooseWatchGroup(QWidget*, const CMonitoredObject&) { return -1; }
int RunTaskDialog(QWidget*, CTask&) { return 0; }
BOOL RunFormattedFilenameDialog(QWidget*, std::string&) { return FALSE; }
BOOL RunAdvancedOptions(QWidget*, BOOL&, int&) { return FALSE; }
