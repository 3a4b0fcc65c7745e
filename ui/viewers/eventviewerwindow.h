#pragma once
// CEventViewerWindow: "NT Event Viewer", a window of its own that shows any
// event log of one computer, chosen from the logs registered there, in the
// program's event log viewer. It keeps a document of its own that holds the
// one log shown, so the workspace is never touched: marks go into the log,
// and "Watch this event" (a workspace edit) is answered Cancel.
//
// Threads: user interface thread only. The window deletes itself when closed.
#include <QWidget>
#include <string>

#include "ui/common/mainframe.h"
#include "workspace/quorvildoc.h"

class CEventLogView;
class QComboBox;
class QLabel;

class CEventViewerWindow : public QWidget, public IMainFrame {
    Q_OBJECT
public:
    // An empty computer name is this computer.
    explicit CEventViewerWindow(const std::string& strComputer, QWidget* parent = nullptr);
    ~CEventViewerWindow() override;

    QComboBox* GetLogChooser() const { return m_pLogs; }
    CEventLogView* GetView() const { return m_pView; }

    void SendFrameMessage(UINT, WPARAM, LPARAM) override {}
    void SetMessageText(const QString& text) override;
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return this; }

private:
    void ShowLog(const QString& strLog);

    std::string m_strComputer;
    CQuorvilDoc m_doc;
    QComboBox* m_pLogs;
    CEventLogView* m_pView;
    QLabel* m_pStatus;
    DWORD m_dwShown = 0;
};

// Opens the window on a computer's logs (see above) and returns it.
CEventViewerWindow* OpenEventViewerWindow(const std::string& strComputer, QWidget* parent);
