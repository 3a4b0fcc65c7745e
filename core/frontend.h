#pragma once
// What the model needs of the front end: message boxes, and the main
// window's message queue that background threads post to. The desktop
// program shows real windows; the headless program answers with fixed,
// logged answers. Installed once at start-up; the installer keeps the
// objects alive.
#include <string>

#include "platform/base/msgqueue.h"
#include "platform/base/win32types.h"

// Message box styles and answers, with their Windows values.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONINFORMATION = 0x0040;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IFrontEnd {
public:
    virtual ~IFrontEnd() = default;
    // Shows a message box and returns the button pressed. Called on the
    // user interface thread.
    virtual int MessageBox(const std::string& text, UINT type) = 0;
};

// The installed front end; without one, every message box is written to the
// system log and answered OK, No or Cancel.
IFrontEnd& GetFrontEnd();
void SetFrontEnd(IFrontEnd* frontEnd);

// The main window's queue (null when there is none: posts are dropped).
CMessageQueue* GetMainWindowQueue();
void SetMainWindowQueue(CMessageQueue* queue);

// The answer that a front end without a user gives to a message box.
int DefaultAnswer(UINT type);
