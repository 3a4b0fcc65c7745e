#pragma once
// Shared by the command and list widget tests: a main frame with a real
// document (headless dialogs) and a plain window, a view that records its
// hints.
#include <QWidget>
#include <string>
#include <vector>

#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"
#include "widgettest.h"
#include "workspace/quorvildoc.h"

class CFakeFrame final : public IMainFrame {
public:
    CFakeFrame() { m_doc.OnNewDocument(); }
    void SendFrameMessage(UINT, WPARAM, LPARAM) override {}
    void SetMessageText(const QString&) override {}
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return &m_window; }

    // Logs added straight to the manager (no questions, no hint); a text
    // log's file is in the test's own temporary folder.
    CFileMonitor* AddTextLog(const std::string& description,
                             const std::string& fileName = "log.txt")
    {
        auto* pLog = new CFileMonitor;
        pLog->m_strShortDescription = description;
        pLog->m_strDirectory = TestRoot() + "/";
        pLog->m_strFileName = fileName;
        m_doc.m_pManager->AddLog(pLog);
        return pLog;
    }
    CEventMonitor* AddEventLog(const std::string& server, const std::string& logName)
    {
        auto* pLog = new CEventMonitor;
        pLog->m_strServer = server;
        pLog->m_strLogName = logName;
        m_doc.m_pManager->AddLog(pLog);
        return pLog;
    }

    CQuorvilDoc m_doc;
    QWidget m_window;
};

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
