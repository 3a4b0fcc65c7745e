#include "workspace/documentui.h"

#include "settings/systemlog.h"

namespace {

BOOL Cancelled(const char* dialog)
{
    WriteSystemLogF("Dialog \"%s\" cancelled: there is no window to show it in", dialog);
    return FALSE;
}

} // namespace

int CHeadlessDocumentUi::MessageBox(const std::string& text, UINT type)
{
    UINT buttons = type & MB_TYPEMASK;
    if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) {
        int answer = m_bAnswerYes ? IDYES : IDNO;
        WriteSystemLogF("Question: %s - answered %s", text.c_str(), answer == IDYES ? "Yes" : "No");
        return answer;
    }
    WriteSystemLogF("Message: %s", text.c_str());
    return DefaultAnswer(type);
}

BOOL CHeadlessDocumentUi::EditTextLogSheet(CFileMonitor& /*log*/, BOOL bAdding, int /*nMode*/)
{
    return Cancelled(bAdding ? "Add Text Log" : "Edit Text Log");
}

BOOL CHeadlessDocumentUi::EditEventLogSheet(CEventMonitor& /*log*/, BOOL bAdding)
{
    return Cancelled(bAdding ? "Add Event Log" : "Edit Event Log");
}

BOOL CHeadlessDocumentUi::EditJournalSheet(CJournalMonitor& /*log*/, BOOL bAdding)
{
    return Cancelled(bAdding ? "Add Journal" : "Edit Journal");
}

BOOL CHeadlessDocumentUi::EditEvtxSheet(CEvtxMonitor& /*log*/, BOOL bAdding)
{
    return Cancelled(bAdding ? "Add .evtx Log" : "Edit .evtx Log");
}

BOOL CHeadlessDocumentUi::EditEventWatchGroup(CKeysAndActions& /*group*/)
{
    return Cancelled("Edit Watch Group");
}

BOOL CHeadlessDocumentUi::EditTextWatchGroup(CKeysAndActions& /*group*/)
{
    return Cancelled("Edit Watch Group");
}

BOOL CHeadlessDocumentUi::EditEventKey(CSearchKeyEvent& /*key*/)
{
    return Cancelled("Event Log Key Properties");
}

BOOL CHeadlessDocumentUi::EditTextKey(CSearchKeyText& /*key*/)
{
    return Cancelled("Text File Key Properties");
}

int CHeadlessDocumentUi::ChooseWatchGroup(const CMonitoredObject& /*log*/)
{
    Cancelled("Choose Watch Group");
    return -1;
}

BOOL CHeadlessDocumentUi::BrowseNetwork(CMonManager& /*manager*/, int /*nMode*/,
                                        std::vector<std::string>& /*selected*/,
                                        BOOL& /*bJumpToEnd*/)
{
    return Cancelled("Network");
}

BOOL CHeadlessDocumentUi::PromptSaveFileName(std::string& /*path*/)
{
    return Cancelled("Save As");
}
