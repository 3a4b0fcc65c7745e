#include "ui/main/qtdocumentui.h"

#include <QFileDialog>

#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/dialogs.h"
#include "ui/network/networkdialog.h"
#include "workspace/quorvildoc.h"

int CQtDocumentUi::MessageBox(const std::string& text, UINT type)
{
    return ShowMessageBox(m_pParent, text, type);
}

BOOL CQtDocumentUi::EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode)
{
    return RunTextLogSheet(m_pParent, log, bAdding, nMode);
}

BOOL CQtDocumentUi::EditEventLogSheet(CEventMonitor& log, BOOL bAdding)
{
    return RunEventLogSheet(m_pParent, log, bAdding);
}

BOOL CQtDocumentUi::EditJournalSheet(CJournalMonitor& log, BOOL bAdding)
{
    return RunJournalSheet(m_pParent, log, bAdding);
}

BOOL CQtDocumentUi::EditEvtxSheet(CEvtxMonitor& log, BOOL bAdding)
{
    return RunEvtxSheet(m_pParent, log, bAdding);
}

BOOL CQtDocumentUi::EditEventWatchGroup(CKeysAndActions& group)
{
    return RunWatchGroupDialog(m_pParent, group, true);
}

BOOL CQtDocumentUi::EditTextWatchGroup(CKeysAndActions& group)
{
    return RunWatchGroupDialog(m_pParent, group, false);
}

BOOL CQtDocumentUi::EditEventKey(CSearchKeyEvent& key)
{
    return RunEventKeyDialog(m_pParent, key);
}

BOOL CQtDocumentUi::EditTextKey(CSearchKeyText& key)
{
    return RunTextKeyDialog(m_pParent, key);
}

int CQtDocumentUi::ChooseWatchGroup(const CMonitoredObject& log)
{
    return RunChooseWatchGroup(m_pParent, log);
}

BOOL CQtDocumentUi::BrowseNetwork(CMonManager& manager, int nMode,
                                  std::vector<std::string>& selected, BOOL& bJumpToEnd)
{
    return RunNetworkDialog(m_pParent, manager, nMode, selected, bJumpToEnd);
}

BOOL CQtDocumentUi::PromptSaveFileName(std::string& path)
{
    const QString filter =
        ToQt(CQuorvilDoc::GetDocString(CQuorvilDoc::filterName)) + ";;All Files (*)";
    QString chosen =
        QFileDialog::getSaveFileName(m_pParent, QStringLiteral("Save As"), ToQt(path), filter);
    if (chosen.isEmpty())
        return FALSE;
    const QString ext = ToQt(CQuorvilDoc::GetDocString(CQuorvilDoc::filterExt));
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += ext;
    path = FromQt(chosen);
    return TRUE;
}
