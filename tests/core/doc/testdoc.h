#pragma once
// Helpers for the document and script tests: a UI whose answers the test
// sets, a view that records its hints, and the system log lines written
// since a point.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/appsettings.h"
#include "core/doc/quorvildoc.h"
#include "platform/base/fileio.h"

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
        if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) {
            if (m_answers.empty())
                return IDNO;
            int answer = m_answers.front();
            m_answers.erase(m_answers.begin());
            return answer;
        }
        return IDOK;
    }
    BOOL EditTextLogSheet(CFileMonitor& log, BOOL bAdding, int nMode) override
    {
        m_nSheetMode = nMode;
        m_bSheetAdding = bAdding;
        return m_onTextSheet ? m_onTextSheet(log) : FALSE;
    }
    BOOL EditEventLogSheet(CEventMonitor& log, BOOL bAdding) override
    {
        m_bSheetAdding = bAdding;
        return m_onEventSheet ? m_onEventSheet(log) : FALSE;
    }
    BOOL EditEventWatchGroup(CKeysAndActions& group) override { return Dialog(group); }
    BOOL EditTextWatchGroup(CKeysAndActions& group) override { return Dialog(group); }
    BOOL EditEventKey(CSearchKeyEvent& /*key*/) override { return Dialog(); }
    BOOL EditTextKey(CSearchKeyText& key) override { return m_onTextKey ? m_onTextKey(key) : Dialog(); }
    int ChooseWatchGroup(const CMonitoredObject& /*log*/) override
    {
        ++m_nChooseShown;
        return m_nChoose;
    }
    BOOL BrowseNetwork(CMonManager& /*manager*/, int /*nMode*/, std::vector<std::string>& selected,
                       BOOL& bJumpToEnd) override
    {
        selected = m_network;
        bJumpToEnd = FALSE;
        return !m_network.empty();
    }
    BOOL PromptSaveFileName(std::string& path) override
    {
        if (!m_saveAs)
            return FALSE;
        path = *m_saveAs;
        return TRUE;
    }

    // Answers to questions, in order; No when they run out.
    std::vector<int> m_answers;
    std::vector<CAskedMessage> m_messages;
    // What the dialogs do and answer.
    std::function<BOOL(CFileMonitor&)> m_onTextSheet;
    std::function<BOOL(CEventMonitor&)> m_onEventSheet;
    std::function<BOOL(CSearchKeyText&)> m_onTextKey;
    BOOL m_bDialogOK = TRUE;
    std::string m_strGroupDescription = "Edited";
    int m_nChoose = -1;
    int m_nChooseShown = 0;
    std::vector<std::string> m_network;
    std::optional<std::string> m_saveAs;
    // What the last dialog saw.
    int m_nSheetMode = -1;
    BOOL m_bSheetAdding = -1;
    LONG m_nPauseSeen = -1;
    CMonManager* m_pManager = nullptr; // for m_nPauseSeen

private:
    BOOL Dialog(CKeysAndActions& group)
    {
        if (m_bDialogOK)
            group.m_strDescription = m_strGroupDescription;
        return Dialog();
    }
    BOOL Dialog()
    {
        if (m_pManager)
            m_nPauseSeen = m_pManager->m_nPauseCount.load();
        return m_bDialogOK;
    }
};

struct CRecordedHint {
    LPARAM lHint;
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
    void OnUpdate(LPARAM lHint, const CHintStruct* pHint) override
    {
        CRecordedHint hint{lHint, pHint != nullptr, 0, 0, 0, 0,
                           m_doc.m_pManager ? m_doc.m_pManager->m_nPauseCount.load() : -1};
        if (pHint) {
            hint.dwID = pHint->m_dwID;
            hint.nGroup = pHint->m_nGroup;
            hint.nKey = pHint->m_nKey;
            hint.dwExtra = pHint->m_dwExtra;
        }
        m_hints.push_back(hint);
    }
    std::vector<CRecordedHint> m_hints;

private:
    CQuorvilDoc& m_doc;
};

// The system log's lines from a point on, without their time stamps.
class CSystemLogReader {
public:
    CSystemLogReader() : m_nStart(Text().size()) {}
    std::vector<std::string> Lines() const
    {
        std::string text = Text().substr(m_nStart);
        std::vector<std::string> lines;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find('\n', pos);
            std::string line = text.substr(pos, end - pos);
            lines.push_back(line.size() >= 20 ? line.substr(20) : line); // "YYYY-MM-DD HH:MM:SS "
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }
    static std::string Text() { return ReadFileBytes(AppSettings::GetErrorLogPath()).value_or(""); }

private:
    std::size_t m_nStart;
};
