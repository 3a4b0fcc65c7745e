#pragma once
// The modal dialogs that edit logs, watch groups, keys and tasks, as plain
// functions for the document's front end (CQtDocumentUi), the views and the
// task library's front end.
//
// Each edits the object it is given, which the caller owns: a new object or
// a working copy that the caller takes over only when the function reports
// OK. The sheets write their pages' values only on OK; the changes that the
// watch group page, the watch group dialog and the template button make at
// once stay in the object whichever way the dialog ends.
//
// Threads: user interface thread only.
#include <string>

#include "platform/base/win32types.h"
#include "workspace/documentui.h"

class QWidget;
class CEventMonitor;
class CEvtxMonitor;
class CFileMonitor;
class CJournalMonitor;
class CKeysAndActions;
class CMonitoredObject;
class CGroupRules;
class CSearchKeyEvent;
class CSearchKeyRegex;
class CSearchKeyText;
class CTask;

// "Add Text Log" / "Edit Text Log" (nMode: ADD_MODE_MENU, ADD_MODE_WIZARD_TEXT
// or ADD_MODE_WIZARD_SAMPLE). TRUE on OK.
BOOL RunTextLogSheet(QWidget* parent, CFileMonitor& log, BOOL bAdding, int nMode);
// "Add Event Log" / "Edit Event Log". TRUE on OK.
BOOL RunEventLogSheet(QWidget* parent, CEventMonitor& log, BOOL bAdding);
// "Add Journal" / "Edit Journal" and "Add .evtx Log" / "Edit .evtx Log".
// TRUE on OK.
BOOL RunJournalSheet(QWidget* parent, CJournalMonitor& log, BOOL bAdding);
BOOL RunEvtxSheet(QWidget* parent, CEvtxMonitor& log, BOOL bAdding);
// "Edit Watch Group" with event keys (bEventLog) or text keys. TRUE on OK.
BOOL RunWatchGroupDialog(QWidget* parent, CKeysAndActions& group, bool bEventLog);
// "Event Log Key Properties" and "Text File Key Properties". TRUE on OK.
BOOL RunEventKeyDialog(QWidget* parent, CSearchKeyEvent& key);
BOOL RunTextKeyDialog(QWidget* parent, CSearchKeyText& key);
// "Regular Expression Key Properties". TRUE on OK.
BOOL RunRegexKeyDialog(QWidget* parent, CSearchKeyRegex& key);
// "Thresholds and Silence" on a watch group's rules. TRUE on OK.
BOOL RunGroupRulesDialog(QWidget* parent, CGroupRules& rules);
// "Test Keys": the key tester, non-modal, on the log's groups (or the one
// described strGroup).
void OpenKeyTester(QWidget* parent, const CMonitoredObject& log, const std::string& strGroup);
// "Choose Watch Group": the chosen group's position, CHOOSE_NEW_WATCH_GROUP
// for "(Add new group)", -1 on Cancel.
int RunChooseWatchGroup(QWidget* parent, const CMonitoredObject& log);
// The task dialog: edits a copy and assigns it to the task on OK; 1 when the
// task was changed, 0 otherwise.
int RunTaskDialog(QWidget* parent, CTask& task);
// "Formatted Filename": TRUE on OK with strTemplate holding the new template.
BOOL RunFormattedFilenameDialog(QWidget* parent, std::string& strTemplate);
// "Advanced Options" on a watch group's minimum launch interval. TRUE on OK.
BOOL RunAdvancedOptions(QWidget* parent, BOOL& bEnabled, int& nMinutes);
