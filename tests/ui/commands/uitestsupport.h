#pragma once
// Shared by the command, list and frame widget tests: a view that records
// its hints.
#include <vector>

#include "widgettest.h"

class CHintRecorder final : public IView {
public:
    explicit CHintRecorder(CQuorvilDoc& doc) : m_doc(doc) { m_doc.AddView(this); }
    ~CHintRecorder() override { m_doc.RemoveView(this); }
    CHintRecorder(const CHintRecorder&) = delete;
    CHintRecorder& operator=(const CHintRecorder&) = delete;
    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override
    {
        m_hints.emplace_back(hint, pHint ? pHint->m_dwID : 0);
    }
    std::vector<std::pair<ViewHint, DWORD>> m_hints; // code and log

private:
    CQuorvilDoc& m_doc;
};
