#pragma once
// Helpers of the widget tests.
#include <QTest>
#include <QtWidgets>
#include <ostream>

#include "eventlog/scan/eventmonitor.h"
#include "match/searchkeytext.h"
#include "tasklib/taskui.h"
#include "testing.h"
#include "textlog/filemonitor.h"
#include "ui/common/mainframe.h"
#include "ui/common/messagebox.h"
#include "workspace/documentui.h"
#include "workspace/quorvildoc.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Answers every message box (queued answers, then nAnswer); keeps the texts.
class CMessageRecorder {
public:
    explicit CMessageRecorder(int nAnswer = IDOK) : m_nAnswer(nAnswer)
    {
        SetMessageBoxAnswerer([this](const std::string& text, UINT) {
            texts.push_back(text);
            if (answers.empty())
                return m_nAnswer;
            const int nNext = answers.front();
            answers.erase(answers.begin());
            return nNext;
        });
    }
    ~CMessageRecorder() { SetMessageBoxAnswerer(nullptr); }

    void SetAnswer(int nAnswer) { m_nAnswer = nAnswer; }
    // The last text shown, or "" when none was.
    std::string Last() const { return texts.empty() ? std::string() : texts.back(); }

    std::vector<std::string> texts;
    std::vector<int> answers;

private:
    int m_nAnswer;
};

// A document UI whose questions go to the message boxes; its dialogs cancel.
class CCancellingUi : public IDocumentUi {
public:
    int MessageBox(const std::string& text, UINT type) override
    {
        return ShowMessageBox(nullptr, text, type);
    }
    BOOL EditTextLogSheet(CFileMonitor&, BOOL, int) override { return FALSE; }
    BOOL EditEventLogSheet(CEventMonitor&, BOOL) override { return FALSE; }
    BOOL EditEventWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditTextWatchGroup(CKeysAndActions&) override { return FALSE; }
    BOOL EditEventKey(CSearchKeyEvent&) override { return FALSE; }
    BOOL EditTextKey(CSearchKeyText&) override { return FALSE; }
    int ChooseWatchGroup(const CMonitoredObject&) override { return -1; }
    BOOL BrowseNetwork(CMonManager&, int, std::vector<std::string>&, BOOL&) override
    {
        return FALSE;
    }
    BOOL PromptSaveFileName(std::string&) override { return FALSE; }
};

// A watch group with a text key per text.
inline CKeysAndActions* TextGroup(const std::string& description,
                                  const std::vector<std::string>& keys)
{
    auto* pGroup = new CKeysAndActions;
    pGroup->m_strDescription = description;
    for (const std::string& text : keys) {
        auto* pKey = new CSearchKeyText;
        pKey->m_strKey1 = text;
        pGroup->AddKey(pKey);
    }
    return pGroup;
}

struct CFrameMessage {
    UINT message;
    LPARAM lParam;
    bool operator==(const CFrameMessage&) const = default;
};

// A main frame with a real document that keeps the messages and status text.
class CFakeFrame : public IMainFrame {
public:
    explicit CFakeFrame(IDocumentUi* pUi = nullptr)
    {
        m_doc.SetUi(pUi);
        m_doc.OnNewDocument();
    }
    ~CFakeFrame() override { m_doc.SetUi(nullptr); }
    void SendFrameMessage(UINT message, WPARAM, LPARAM lParam) override
    {
        m_messages.push_back({message, lParam});
    }
    void SetMessageText(const QString& text) override { m_strStatus = text; }
    CQuorvilDoc& GetDocument() override { return m_doc; }
    QWidget* GetWindow() override { return &m_window; }

    // Logs added straight to the manager; text logs in the test's folder.
    CFileMonitor* AddTextLog(const std::string& description,
                             const std::string& fileName = "log.txt",
                             const std::string& directory = TestRoot() + "/")
    {
        auto* pLog = new CFileMonitor;
        pLog->m_strShortDescription = description;
        pLog->m_strDirectory = directory;
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
    QString m_strStatus;
    std::vector<CFrameMessage> m_messages;
};

// A view of the document that keeps the hints it is sent: code and log.
class CHintRecorder final : public IView {
public:
    explicit CHintRecorder(CQuorvilDoc& doc) : m_doc(doc) { m_doc.AddView(this); }
    ~CHintRecorder() override { m_doc.RemoveView(this); }
    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override
    {
        m_hints.emplace_back(hint, pHint ? pHint->m_dwID : 0);
    }
    std::vector<std::pair<ViewHint, DWORD>> m_hints;

private:
    CQuorvilDoc& m_doc;
};

// Keeps the task messages and notifications shown, from any thread, while
// it lives; every task dialog is cancelled.
class CTaskUiRecorder final : public ITaskUi {
public:
    CTaskUiRecorder() { SetTaskUi(this); }
    ~CTaskUiRecorder() override { SetTaskUi(nullptr); }
    void ShowTaskMessage(const std::string& strTask, const std::string& strText) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(strTask + "|" + strText);
    }
    void ShowNotification(const CNotification& notification) override
    {
        std::lock_guard lock(m_mutex);
        m_notifications.push_back(notification);
    }
    int EditTask(CTask&) override
    {
        ++m_nTaskDialogs;
        return 0;
    }
    // "task|text" per message.
    std::vector<std::string> Messages()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

    std::mutex m_mutex;
    std::vector<std::string> m_messages;        // guarded by m_mutex
    std::vector<CNotification> m_notifications; // guarded by m_mutex
    int m_nTaskDialogs = 0;
};

// Calls fn with the next modal dialog of type T; one it leaves open is rejected.
template <class T = QDialog, class F> void OnNextDialog(F fn)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(dlg);
            if (dlg->isVisible())
                dlg->reject();
        }
    });
    timer->start();
}

// A child widget by object name, failing the test when it is missing.
template <class T> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        ADD_FAILURE() << "no child " << name;
    return child;
}

// The texts of a list's rows, a tree's top-level items or a tab bar.
template <class W> QStringList Texts(const W* widget)
{
    QStringList texts;
    if constexpr (std::is_base_of_v<QListWidget, W>)
        for (int i = 0; i < widget->count(); ++i)
            texts << widget->item(i)->text();
    else if constexpr (std::is_base_of_v<QTreeWidget, W>)
        for (int i = 0; i < widget->topLevelItemCount(); ++i)
            texts << widget->topLevelItem(i)->text(0);
    else
        for (int i = 0; i < widget->count(); ++i)
            texts << widget->tabText(i);
    return texts;
}

// The menu's items, "-" for a bar, marked " [gray]" and " [default]".
inline QStringList MenuItems(const QMenu& menu)
{
    QStringList items;
    for (QAction* pAction : menu.actions()) {
        if (pAction->isSeparator()) {
            items << "-";
            continue;
        }
        QString text = pAction->text();
        if (!pAction->isEnabled())
            text += " [gray]";
        if (menu.defaultAction() == pAction)
            text += " [default]";
        items << text;
    }
    return items;
}

// Replaces a field's text as a user does: select all, erase, then type.
inline void Type(QWidget* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

inline void ClickOk(QDialog* dialog)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
}

// A double click as a user makes it: a click, then the second press.
inline void DoubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
}
