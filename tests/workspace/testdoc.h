#pragma once
// Helpers for the document, script and widget tests: a UI whose answers the
// test sets and a view that records its hints.
#include "testing.h"
#include "tests/support/systemlog.h"
#include "workspace/quorvildoc.h"

struct CAskedMessage {
    std::string text;
    UINT type;
};

class CScriptedUi final : public IDocumentUi {
public:
    int MessageBox(const std::string& text, UINT type) override
    {
        m_messages.push_back({text, type});
        UINT buttons = type & MB_TYPEMASK;
        if (buttons != MB_YESNO && buttons != MB_YESNOCANCEL)
            return IDOK;
        if (m_answers.empty())
            return m_nDefaultAnswer;
        int answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    }
    BOOL EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode) override
    {
        m_nSheetMode = nMode;
        m_bSheetAdding = bAdding;
        return m_onTextSheet ? m_onTextSheet(log) : FALSE;
    }
    BOOL EditEventLogSheet(CEventMonitor&, BOOL) override { return FALSE; }
    BOOL EditEventWatchGroup(CKeysAndActions& group) override { return EditGroup(group); }
    BOOL EditTextWatchGroup(CKeysAndActions& group) override { return EditGroup(group); }
    BOOL EditEventKey(CSearchKeyEvent& key) override
    {
        return m_onEventKey ? m_onEventKey(key) : m_bDialogOK;
    }
    BOOL EditTextKey(CSearchKeyText& key) override
    {
        return m_onTextKey ? m_onTextKey(key) : m_bDialogOK;
    }
    int ChooseWatchGroup(const CMonitoredObject&) override
    {
        ++m_nChooseShown;
        return m_nChoose;
    }
    BOOL BrowseNetwork(CMonManager&, int nMode, std::vector<std::string>& selected,
                       BOOL& bJumpToEnd) override
    {
        m_nNetworkMode = nMode;
        selected = m_network;
        bJumpToEnd = FALSE;
        return !m_network.empty();
    }
    BOOL PromptSaveFileName(std::string& path) override
    {
        path = m_saveAs.value_or(path);
        return m_saveAs.has_value();
    }

    // Answers to questions, in order; the default answer when they run out.
    std::vector<int> m_answers;
    int m_nDefaultAnswer = IDNO;
    std::vector<CAskedMessage> m_messages;
    // What the dialogs do and answer. The watch group dialog renames the
    // group to "Edited".
    std::function<BOOL(CFileMonitor&)> m_onTextSheet;
    std::function<BOOL(CSearchKeyText&)> m_onTextKey;
    std::function<BOOL(CSearchKeyEvent&)> m_onEventKey;
    BOOL m_bDialogOK = TRUE;
    int m_nChoose = -1;
    int m_nChooseShown = 0;
    std::vector<std::string> m_network;
    std::optional<std::string> m_saveAs;
    // What the text-log sheet and the network dialog were opened with.
    int m_nSheetMode = -1;
    BOOL m_bSheetAdding = -1;
    int m_nNetworkMode = -1;

private:
    BOOL EditGroup(CKeysAndActions& group)
    {
        group.m_strDescription = "Edited";
        return m_bDialogOK;
    }
};

struct CRecordedHint {
    ViewHint hint;
    bool bHasHint;
    DWORD dwID;
    int nGroup;
    int nKey;
    DWORD dwExtra;
    LONG nPauseCount; // the manager's pause count when the hint came
};

class CRecordingView final : public IView {
public:
    explicit CRecordingView(CQuorvilDoc& doc) : m_doc(doc) {}
    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override
    {
        const CHintStruct h = pHint ? *pHint : CHintStruct();
        m_hints.push_back({hint, pHint != nullptr, h.m_dwID, h.m_nGroup, h.m_nKey, h.m_dwExtra,
                           m_doc.m_pManager ? m_doc.m_pManager->m_nPauseCount.load() : -1});
    }
    std::vector<CRecordedHint> m_hints;

private:
    CQuorvilDoc& m_doc;
};
