#pragma once
// Shared by the command and list widget tests: a main frame with a real
// document and a plain window, a view that records its hints, a document UI
// that records the property sheets it was asked for, and a way to act on the
// next modal dialog.
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/doc/quorvildoc.h"
#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"

class CRecordingUi final : public IDocumentUi {
public:
    int MessageBox(const std::string& text, UINT) override
    {
        m_questions.push_back(text);
        return m_nAnswer;
    }
    BOOL EditTextLogSheet(CFileMonitor& log, BOOL, int) override
    {
        m_sheets.push_back(log.GetDisplayName());
        return FALSE;
    }
    BOOL EditEventLogSheet(CEventMonitor& log, BOOL) override
    {
        m_sheets.push_back(log.GetDisplayName());
        return FALSE;
    }
    BOOL EditEventWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditTextWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditEventKey(CSearchKeyEvent&) override { return FALSE; }
    BOOL EditTextKey(CSearchKeyText&) override { return FALSE; }
    int ChooseWatchGroup(const CMonitoredObject&) override { return -1; }
    BOOL BrowseNetwork(CMonManager&, int, std::vector<std::string>&, BOOL&) override { return FALSE; }
    BOOL PromptSaveFileName(std::string&) override { return FALSE; }

    int m_nAnswer = IDNO;
    std::vector<std::string> m_questions;
    std::vector<std::string> m_sheets; // display names of the logs whose sheet opened
};

class CFakeFrame final : public IMainFrame {
public:
    CFakeFrame()
    {
        m_doc.SetUi(&m_ui);
        m_doc.OnNewDocument();
    }
    ~CFakeFrame() override { m_doc.SetUi(nullptr); }
    void SendFrameMessage(UINT message, WPARAM, LPARAM) override { m_messages.push_back(message); }
    void SetMessageText(const QString&) override {}
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return &m_window; }

    // Logs added straight to the manager (no questions, no hint).
    CFileMonitor* AddTextLog(const std::string& description, const std::string& fileName = "log.txt")
    {
        auto* pLog = new CFileMonitor;
        pLog->m_strShortDescription = description;
        pLog->m_strDirectory = TestDir();
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

    // The test's own temporary folder, with the trailing "/".
    static std::string TestDir() { return std::string(std::getenv("QUORVIL_TEST_ROOT")) + "/"; }

    CRecordingUi m_ui;
    CQuorvilDoc m_doc;
    QWidget m_window;
    std::vector<UINT> m_messages;
};

class CHintRecorder final : public IView {
public:
    explicit CHintRecorder(CQuorvilDoc& doc) : m_doc(doc) { m_doc.AddView(this); }
    ~CHintRecorder() override { m_doc.RemoveView(this); }
    CHintRecorder(const CHintRecorder&) = delete;
    CHintRecorder& operator=(const CHintRecorder&) = delete;
    void OnUpdate(LPARAM lHint, const CHintStruct* pHint) override
    {
        m_hints.emplace_back(lHint, pHint ? pHint->m_dwID : 0);
    }
    std::vector<std::pair<LPARAM, DWORD>> m_hints;

private:
    CQuorvilDoc& m_doc;
};

// Runs action on the next modal dialog once it shows (inside its event loop);
// a dialog that the action leaves open is rejected afterwards. Records
// whether one was shown.
class CNextDialog {
public:
    explicit CNextDialog(std::function<void(QDialog&)> action) : m_action(std::move(action))
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_bShown = true;
            m_action(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        m_timer.start(0);
    }
    bool WasShown() const { return m_bShown; }

private:
    std::function<void(QDialog&)> m_action;
    QTimer m_timer;
    bool m_bShown = false;
};

// A double click as a user makes it: a click, then the second press that the
// platform reports as a double click.
inline void DoubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Readable Qt strings in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
