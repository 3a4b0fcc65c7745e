#include "ui/main/qtdocumentui.h"

#include <QFileDialog>

#include "core/doc/quorvildoc.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"

#ifdef QUORVIL_HAVE_UI_DIALOGS
#include "ui/dialogs/dialogs.h"
#endif
#ifdef QUORVIL_HAVE_UI_NETWORK
#include "ui/network/networkdialog.h"
#endif

int CQtDocumentUi::MessageBox(const std::string& text, UINT type)
{
    return ShowMessageBox(m_pParent, text, type);
}

#ifdef QUORVIL_HAVE_UI_DIALOGS

BOOL CQtDocumentUi::EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode)
{
    return RunTextLogSheet(m_pParent, log, bAdding, nMode);
}

BOOL CQtDocumentUi::EditEventLogSheet(CEventMonitor& log, BOOL bAdding)
{
    return RunEventLogSheet(m_pParent, log, bAdding);
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

#else

BOOL CQtDocumentUi::EditTextLogSheet(CFileMonitor&, BOOL, int) { return FALSE; }
BOOL CQtDocumentUi::EditEventLogSheet(CEventMonitor&, BOOL) { return FALSE; }
BOOL CQtDocumentUi::EditEventWatchGroup(CKeysAndActions&) { return FALSE; }
BOOL CQtDocumentUi::EditTextWatchGroup(CKeysAndActions&) { return FALSE; }
BOOL CQtDocumentUi::EditEventKey(CSearchKeyEvent&) { return FALSE; }
BOOL CQtDocumentUi::EditTextKey(CSearchKeyText&) { return FALSE; }
int CQtDocumentUi::ChooseWatchGroup(const CMonitoredObject&) { return -1; }

#endif

BOOL CQtDocumentUi::BrowseNetwork(CMonManager& manager, int nMode, std::vector<std::string>& selected,
                                  BOOL& bJumpToEnd)
{
#ifdef QUORVIL_HAVE_UI_NETWORK
    return RunNetworkDialog(m_pParent, manager, nMode, selected, bJumpToEnd);
#else
    (void)manager, (void)nMode, (void)selected, (void)bJumpToEnd;
    return FALSE;
#endif
}

BOOL CQtDocumentUi::PromptSaveFileName(std::string& path)
{
    const QString filter = ToQt(CQuorvilDoc::GetDocString(CQuorvilDoc::filterName)) + ";;All Files (*)";
    QString chosen = QFileDialog::getSaveFileName(m_pParent, QStringLiteral("Save As"), ToQt(path), filter);
    if (chosen.isEmpty())
        return FALSE;
    const QString ext = ToQt(CQuorvilDoc::GetDocString(CQuorvilDoc::filterExt));
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += ext;
    path = FromQt(chosen);
    return TRUE;
}
