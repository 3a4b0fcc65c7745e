#pragma once
// CQtApp: the desktop program's application object. Beyond the common
// start-up it reads the Shift key for the reload rule, installs the desktop
// answers (message boxes, dialogs, task messages), the desktop clipboard
// and the main window's queue before start-up posts into it, and creates,
// places and shows the main window (hidden with /h).
//
// Threads: the window (main) thread, inside a running QApplication.
#include <memory>

#include "app/startup.h"
#include "platform/base/msgqueue.h"
#include "ui/common/qtclipboard.h"
#include "ui/main/qtdocumentui.h"
#include "ui/main/qttaskui.h"

class CMainFrame;

class CQtApp : public CQuorvilApp {
public:
    explicit CQtApp(CQuorvilCommandLineInfo cmdInfo);
    // Stops a scan that still runs before the queue and the answers go.
    ~CQtApp() override;

    // The main window, once InitInstance has created it.
    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    // After a successful InitInstance: the event loop, until the main window
    // has closed. Returns the loop's status.
    int Run();

protected:
    bool IsShiftKeyDown() const override;
    BOOL CreateMainWindow() override;

private:
    CMessageQueue m_queue;
    CQtDocumentUi m_ui;
    CQtTaskUi m_taskUi;
    CQtClipboard m_clipboard;
    std::unique_ptr<CMainFrame> m_pFrame;
};

// The desktop program: a QApplication and a CQtApp on the parsed command
// line. Returns the exit status.
int RunDesktop(const CQuorvilCommandLineInfo& cmdInfo, int& argc, char** argv);
