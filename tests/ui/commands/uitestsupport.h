#pragma once
// Shared by the command and list widget tests: a main frame with a real
// document (headless dialogs) and a plain window, a view that records its
// hints, and a way to act on the next modal dialog.
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"
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
        pLog->m_strDirectory = std::string(std::getenv("QUORVIL_TEST_ROOT")) + "/";
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
    void OnUpdate(LPARAM lHint, const CHintStruct* pHint) override
    {
        m_hints.emplace_back(lHint, pHint ? pHint->m_dwID : 0);
    }
    std::vector<std::pair<LPARAM, DWORD>> m_hints; // code and log

private:
    CQuorvilDoc& m_doc;
};

// Runs action on the next modal dialog once it shows (inside its event
// loop); a dialog that the action leaves open is rejected afterwards.
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

// A double click as a user makes it: a click, then the second press that
// the platform reports as a double click.
inline void DoubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
}

// Readable Qt strings in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
