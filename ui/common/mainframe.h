#pragma once
// What the views and dialogs need of the main window, so that they can be
// built and tested without it. CMainFrame implements it; tests may use a
// small fake.
//
// Threads: user interface thread only.
#include <QString>

#include "platform/base/win32types.h"
#include "workspace/quorvildoc.h"

class QWidget;

class IMainFrame {
public:
    virtual ~IMainFrame() = default;
    // Handles one of the frame messages (ui/common/framemessages.h) at once,
    // on the calling (user interface) thread.
    virtual void SendFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The status bar's message pane.
    virtual void SetMessageText(const QString& text) = 0;
    virtual CQuorvilDoc& GetDocument() = 0;
    // The main window, the parent of dialogs and message boxes.
    virtual QWidget* GetWindow() = 0;
};
