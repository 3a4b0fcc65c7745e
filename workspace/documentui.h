#pragma once
// What the workspace document needs of the front end: its message boxes
// (IFrontEnd) and the modal dialogs that the document and the edit
// operations by identifier open. The desktop program implements them with
// real windows; CHeadlessDocumentUi answers without a user.
//
// Every dialog edits the object it is given, which the caller owns: a new
// log that is not yet in the workspace, or a working copy that the caller
// assigns back only when the dialog returns TRUE (OK). On Cancel the object
// may hold partial changes; the caller drops it.
//
// Threads: called on the user interface thread only. The document keeps a
// pointer to its UI; whoever installs one keeps it alive while installed.
// Installing the same object as the model's front end (SetFrontEnd) makes
// the scan manager's message boxes answer the same way.
#include <string>
#include <vector>

#include "core/frontend.h"
#include "platform/base/win32types.h"

class CEventMonitor;
class CEvtxMonitor;
class CFileMonitor;
class CJournalMonitor;
class CKeysAndActions;
class CMonitoredObject;
class CMonManager;
class CSearchKeyEvent;
class CSearchKeyText;

// What "Choose Watch Group" returns for "(Add new group)".
constexpr int CHOOSE_NEW_WATCH_GROUP = 99999;

// Modes of the text-log sheet and the Network dialog.
constexpr int ADD_MODE_MENU = 0;
// Lines of BrowseNetwork that are not "COMPUTER\LOG": a journal
// ("journal:" then its folder, empty for the local system's journal) and an
// .evtx file or folder ("evtx:" then its path).
inline constexpr char NETWORK_JOURNAL_PREFIX[] = "journal:";
inline constexpr char NETWORK_EVTX_PREFIX[] = "evtx:";
constexpr int ADD_MODE_WIZARD_LOCAL_EVENT =
    1;                                    // Network dialog: one log, the local computer's listed
constexpr int ADD_MODE_WIZARD_EVENT = 2;  // Network dialog: one log
constexpr int ADD_MODE_WIZARD_TEXT = 3;   // text-log sheet from the Quick Start wizard
constexpr int ADD_MODE_WIZARD_SAMPLE = 4; // text-log sheet on the sample log

class IDocumentUi : public IFrontEnd {
public:
    // The text-log property sheet CDlgEditFile ("Add Text Log" when adding,
    // "Edit Text Log" otherwise) with the mode of its caller.
    virtual BOOL EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode) = 0;
    // The event-log property sheet CDlgEditLog.
    virtual BOOL EditEventLogSheet(CEventMonitor& log, BOOL bAdding) = 0;
    // The journal and .evtx property sheets ("Edit Journal", "Edit .evtx
    // Log"). A front end without them answers Cancel.
    virtual BOOL EditJournalSheet(CJournalMonitor& /*log*/, BOOL /*bAdding*/) { return FALSE; }
    virtual BOOL EditEvtxSheet(CEvtxMonitor& /*log*/, BOOL /*bAdding*/) { return FALSE; }
    // "Edit Watch Group" for a group of an event log (event keys) or of a
    // text log (text keys).
    virtual BOOL EditEventWatchGroup(CKeysAndActions& group) = 0;
    virtual BOOL EditTextWatchGroup(CKeysAndActions& group) = 0;
    // "Event Log Key Properties" and "Text File Key Properties".
    virtual BOOL EditEventKey(CSearchKeyEvent& key) = 0;
    virtual BOOL EditTextKey(CSearchKeyText& key) = 0;
    // "Choose Watch Group" for a log that has groups: the chosen group's
    // position, CHOOSE_NEW_WATCH_GROUP for "(Add new group)", -1 on Cancel.
    virtual int ChooseWatchGroup(const CMonitoredObject& log) = 0;
    // The "Network" dialog. On OK, selected holds the checked logs as
    // "COMPUTER\LOG" in list order and bJumpToEnd the state of "Start
    // scanning from the ends of these logs"; the manager is the open
    // workspace's, for reference.
    virtual BOOL BrowseNetwork(CMonManager& manager, int nMode, std::vector<std::string>& selected,
                               BOOL& bJumpToEnd) = 0;
    // The file dialog of "Save As" for a workspace without a name; path
    // holds a proposed name and receives the chosen one.
    virtual BOOL PromptSaveFileName(std::string& path) = 0;
};

// The answers of a front end without a user: every question is answered No
// (or Yes when so set), every other message box with its default button,
// every dialog with Cancel. Each one is written to the system log.
class CHeadlessDocumentUi final : public IDocumentUi {
public:
    explicit CHeadlessDocumentUi(bool bAnswerYes = false) : m_bAnswerYes(bAnswerYes) {}
    void SetAnswerYes(bool bAnswerYes) { m_bAnswerYes = bAnswerYes; }

    int MessageBox(const std::string& text, UINT type) override;
    BOOL EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode) override;
    BOOL EditEventLogSheet(CEventMonitor& log, BOOL bAdding) override;
    BOOL EditJournalSheet(CJournalMonitor& log, BOOL bAdding) override;
    BOOL EditEvtxSheet(CEvtxMonitor& log, BOOL bAdding) override;
    BOOL EditEventWatchGroup(CKeysAndActions& group) override;
    BOOL EditTextWatchGroup(CKeysAndActions& group) override;
    BOOL EditEventKey(CSearchKeyEvent& key) override;
    BOOL EditTextKey(CSearchKeyText& key) override;
    int ChooseWatchGroup(const CMonitoredObject& log) override;
    BOOL BrowseNetwork(CMonManager& manager, int nMode, std::vector<std::string>& selected,
                       BOOL& bJumpToEnd) override;
    BOOL PromptSaveFileName(std::string& path) override;

private:
    bool m_bAnswerYes;
};
