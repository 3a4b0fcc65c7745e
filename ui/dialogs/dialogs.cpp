#include "ui/dialogs/dialogs.h"

#include "ui/dialogs/advancedoptions.h"
#include "ui/dialogs/choosewatchgroup.h"
#include "ui/dialogs/eventkeydialog.h"
#include "ui/dialogs/formattedfilename.h"
#include "ui/dialogs/grouprulesdialog.h"
#include "ui/dialogs/keytesterdialog.h"
#include "ui/dialogs/logsheets.h"
#include "ui/dialogs/regexkeydialog.h"
#include "ui/dialogs/sourcesheets.h"
#include "ui/dialogs/taskdialog.h"
#include "ui/dialogs/textkeydialog.h"
#include "ui/dialogs/watchgroupdialog.h"

BOOL RunTextLogSheet(QWidget* parent, CFileMonitor& log, BOOL bAdding, int nMode)
{
    CDlgEditFile sheet(log, bAdding, nMode, parent);
    return sheet.exec() == QDialog::Accepted;
}

BOOL RunEventLogSheet(QWidget* parent, CEventMonitor& log, BOOL bAdding)
{
    CDlgEditLog sheet(log, bAdding, parent);
    return sheet.exec() == QDialog::Accepted;
}

BOOL RunJournalSheet(QWidget* parent, CJournalMonitor& log, BOOL bAdding)
{
    CDlgEditJournal sheet(log, bAdding, parent);
    return sheet.exec() == QDialog::Accepted;
}

BOOL RunEvtxSheet(QWidget* parent, CEvtxMonitor& log, BOOL bAdding)
{
    CDlgEditEvtx sheet(log, bAdding, parent);
    return sheet.exec() == QDialog::Accepted;
}

BOOL RunWatchGroupDialog(QWidget* parent, CKeysAndActions& group, bool bEventLog)
{
    CDlgWatchGroup dlg(group, bEventLog, parent);
    return dlg.exec() == QDialog::Accepted;
}

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

int RunChooseWatchGroup(QWidget* parent, const CMonitoredObject& log)
{
    CDlgChooseWatchGroup dlg(log, parent);
    return dlg.exec() == QDialog::Accepted ? dlg.GetChoice() : -1;
}

BOOL RunFormattedFilenameDialog(QWidget* parent, std::string& strTemplate)
{
    CDlgFormattedFilename dlg(strTemplate, parent);
    if (dlg.exec() != QDialog::Accepted)
        return FALSE;
    strTemplate = dlg.GetTemplate();
    return TRUE;
}

BOOL RunAdvancedOptions(QWidget* parent, BOOL& bEnabled, int& nMinutes)
{
    CDlgAdvancedOptions dlg(bEnabled, nMinutes, parent);
    if (dlg.exec() != QDialog::Accepted)
        return FALSE;
    bEnabled = dlg.IsIntervalEnabled();
    nMinutes = dlg.GetMinutes();
    return TRUE;
}

int RunTaskDialog(QWidget* parent, CTask& task)
{
    CDlgTask dlg(task, parent);
    return dlg.exec() == QDialog::Accepted && dlg.IsChanged() ? 1 : 0;
}

BOOL RunRegexKeyDialog(QWidget* parent, CSearchKeyRegex& key)
{
    CDlgRegexKey dlg(key, parent);
    return dlg.exec() == QDialog::Accepted;
}

BOOL RunGroupRulesDialog(QWidget* parent, CGroupRules& rules)
{
    CDlgGroupRules dlg(rules, parent);
    return dlg.exec() == QDialog::Accepted;
}

void OpenKeyTester(QWidget* parent, const CMonitoredObject& log, const std::string& strGroup)
{
    auto* dlg = new CDlgKeyTester(log, strGroup, parent);
    dlg->show();
}
