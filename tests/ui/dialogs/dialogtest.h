#pragma once
// Helpers of the dialog tests: acting on a modal dialog once it is open,
// and answering message boxes while recording their texts.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/common/messagebox.h"

// Calls fn with the next modal dialog of type T as soon as it is open (from
// inside its exec loop). The caller closes it in fn.
template <class T> void OnNextDialog(std::function<void(T*)> fn)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(dlg);
        }
    });
    timer->start();
}

// Answers every message box with a fixed answer and keeps the texts shown.
class CMessageRecorder {
public:
    explicit CMessageRecorder(int nAnswer = IDOK) : m_nAnswer(nAnswer)
    {
        SetMessageBoxAnswerer([this](const std::string& text, UINT) {
            texts.push_back(text);
            return m_nAnswer;
        });
    }
    ~CMessageRecorder() { SetMessageBoxAnswerer(nullptr); }
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    void SetAnswer(int nAnswer) { m_nAnswer = nAnswer; }
    // The last text shown, or "" when none was.
    std::string Last() const { return texts.empty() ? std::string() : texts.back(); }

    std::vector<std::string> texts;

private:
    int m_nAnswer;
};

// A child widget by object name, failing the test when it is missing.
template <class T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        ADD_FAILURE() << "no child " << name;
    return child;
}

// The model's persisted classes, registered once, for the clipboard's
// archives.
void RegisterModelClasses();
// Empties the process's clipboard.
void ClearClipboard();
// Puts a key on the clipboard as the Copy command does.
class CSearchKey;
void PutKeyOnClipboard(const CSearchKey& key);
// Makes the row of a list current and selected, as a click does.
class QTreeWidget;
void SelectRow(QTreeWidget* list, int row);
// A model string as a Qt string.
QString ToQtText(const std::string& s);
