#pragma once
// The desktop program's answers to the document: message boxes over the
// main window, the property sheets and dialogs of ui/dialogs and
// ui/network (Cancel while a dialog's library is not part of the build),
// and the Save As file dialog.
//
// Threads: user interface thread only.
#include <QPointer>
#include <QWidget>

#include "workspace/documentui.h"

class CQtDocumentUi final : public IDocumentUi {
public:
    // The window that dialogs belong to (the main window once it exists).
    void SetParent(QWidget* parent) { m_pParent = parent; }
    QWidget* GetParent() const { return m_pParent; }

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
    QPointer<QWidget> m_pParent;
};
