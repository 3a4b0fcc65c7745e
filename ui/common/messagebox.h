#pragma once
// Message boxes of the desktop program, with the Windows styles and answers
// the model uses (MB_YESNO | MB_ICONQUESTION, IDYES, ...). Tests install an
// answerer so that no box waits for a user.
//
// Threads: user interface thread only.
#include <functional>
#include <string>

#include "core/frontend.h"

class QWidget;

// Shows a modal message box titled "Quorvil" and returns the button pressed.
int ShowMessageBox(QWidget* parent, const std::string& text, UINT type);

// Answers every message box instead of showing it, while installed (null
// removes it). Given the text and the style; returns the answer.
using MessageBoxAnswerer = std::function<int(const std::string& text, UINT type)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

// The model's message boxes as real boxes over the main window.
class CQtFrontEnd : public IFrontEnd {
public:
    explicit CQtFrontEnd(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParent(QWidget* parent) { m_pParent = parent; }
    int MessageBox(const std::string& text, UINT type) override
    {
        return ShowMessageBox(m_pParent, text, type);
    }

private:
    QWidget* m_pParent;
};
