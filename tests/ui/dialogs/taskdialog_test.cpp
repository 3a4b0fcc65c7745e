#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "dialogtest.h"
#include "screenshot.h"
#include "tasklib/alertactions.h"
#include "tasklib/task.h"
#include "ui/dialogs/actiondialog.h"
#include "ui/dialogs/samplevariables.h"
#include "ui/dialogs/taskdialog.h"

namespace {

void AddMessage(CTask& task, const char* text)
{
    CDisplayMessage message;
    message.SetMessage(text);
    task.AddAction(message);
}

std::vector<std::string> Messages(const CTask& task)
{
    std::vector<std::string> texts;
    for (int i = 0; i < task.GetActionCount(); ++i)
        texts.push_back(static_cast<const CDisplayMessage*>(task.GetAction(i))->GetMessage());
    return texts;
}

void FocusField(QWidget* edit)
{
    QFocusEvent focusIn(QEvent::FocusIn);
    QApplication::sendEvent(edit, &focusIn);
}

} // namespace

TEST(TaskDialog, MoveUpAndDownReorderTheActionsWrittenOnOk)
{
    CTask task;
    for (const char* text : {"A", "B", "C"})
        AddMessage(task, text);
    auto* up = static_cast<QPushButton*>(nullptr);
    {
        CDlgTask dlg(task);
        QListWidget* list = dlg.GetActionList();
        up = Child<QPushButton>(&dlg, "up");
        auto* down = Child<QPushButton>(&dlg, "down");
        list->setCurrentRow(0);
        EXPECT_FALSE(up->isEnabled()) << "the first action cannot move up";
        down->click();
        EXPECT_EQ(Texts(list), (QStringList{"Display message \"B\"", "Display message \"A\"",
                                            "Display message \"C\""}));
        EXPECT_EQ(list->currentRow(), 1) << "the moved action stays selected";
        down->click();
        EXPECT_EQ(list->currentRow(), 2);
        EXPECT_FALSE(down->isEnabled()) << "the last action cannot move down";
        up->click();
        dlg.reject();
    }
    EXPECT_EQ(Messages(task), (std::vector<std::string>{"A", "B", "C"}))
        << "Cancel keeps the order";

    CDlgTask dlg(task);
    dlg.GetActionList()->setCurrentRow(2);
    Child<QPushButton>(&dlg, "up")->click();
    Child<QPushButton>(&dlg, "up")->click();
    dlg.accept();
    EXPECT_TRUE(dlg.IsChanged());
    EXPECT_EQ(Messages(task), (std::vector<std::string>{"C", "A", "B"}));

    CDlgTask unchanged(task);
    unchanged.accept();
    EXPECT_FALSE(unchanged.IsChanged());
}

TEST(TaskDialog, ActionsAreAddedEditedAndDeleted)
{
    CMessageRecorder messages(IDYES);
    CTask task;
    CDlgTask dlg(task);
    EXPECT_FALSE(Child<QPushButton>(&dlg, "test")->isEnabled())
        << "nothing to test without actions";

    OnNextDialog<CDlgAction>([&messages](CDlgAction* d) {
        EXPECT_EQ(d->windowTitle(), "Display Message");
        d->accept();
        EXPECT_EQ(messages.Last(), "You must enter a message!");
        Child<QPlainTextEdit>(d, "message")->setPlainText("Disk %EVENT_ID%");
        d->accept();
    });
    dlg.AddAction(ActionKind::MESSAGE);
    OnNextDialog<CDlgAction>([](CDlgAction* d) {
        Child<QLineEdit>(d, "command")->setText("/usr/bin/logger %EVENT_TEXT%");
        d->accept();
    });
    dlg.AddAction(ActionKind::RUN_PROGRAM);
    EXPECT_EQ(Texts(dlg.GetActionList()),
              (QStringList{"Display message \"Disk %EVENT_ID%\"",
                           "Run program \"/usr/bin/logger %EVENT_TEXT%\""}));

    dlg.GetActionList()->setCurrentRow(0);
    OnNextDialog<CDlgAction>([](CDlgAction* d) {
        EXPECT_EQ(Child<QPlainTextEdit>(d, "message")->toPlainText(), "Disk %EVENT_ID%");
        Child<QPlainTextEdit>(d, "message")->setPlainText("edited");
        d->reject();
    });
    dlg.EditAction();
    EXPECT_EQ(dlg.GetActionList()->item(0)->text(), "Display message \"Disk %EVENT_ID%\"")
        << "Cancel keeps it";

    dlg.DeleteAction();
    EXPECT_EQ(messages.Last(), "Are you sure you want to delete this item?");
    dlg.accept();
    ASSERT_EQ(task.GetActionCount(), 1);
    EXPECT_NE(dynamic_cast<const CRunProgram*>(task.GetAction(0)), nullptr);
}

// The alert actions' editors: what a newcomer types is what the action holds;
// a secret typed as @/path or env:NAME names the file or variable.
TEST(TaskDialog, AlertActionsAreEditedFieldByField)
{
    CMessageRecorder messages;
    CTask task;
    CDlgTask dlg(task);
    OnNextDialog<CDlgAction>([&messages](CDlgAction* d) {
        EXPECT_EQ(d->windowTitle(), "Send E-mail");
        d->accept();
        EXPECT_EQ(messages.Last(), "You must enter the sender and at least one recipient!");
        Child<QLineEdit>(d, "server")->setText("smtp://mail.example.org:587");
        Child<QLineEdit>(d, "user")->setText("quorvil");
        Child<QLineEdit>(d, "password")->setText("@/etc/quorvil/smtp.secret");
        Child<QLineEdit>(d, "from")->setText("quorvil@example.org");
        Child<QLineEdit>(d, "to")->setText("a@example.org, b@example.org");
        FocusField(Child<QLineEdit>(d, "subject"));
        Child<QLineEdit>(d, "subject")->setText("Disk %EVENT_ID%");
        EXPECT_EQ(d->GetPreview(), "Disk 7");
        d->accept();
    });
    dlg.AddAction(ActionKind::EMAIL);
    OnNextDialog<CDlgAction>([](CDlgAction* d) {
        Child<QLineEdit>(d, "url")->setText("https://chat.example.org/hooks/x");
        Child<QComboBox>(d, "format")->setCurrentIndex(1);
        Child<QPlainTextEdit>(d, "headers")->setPlainText("Authorization: Bearer %PASSWORD%");
        Child<QLineEdit>(d, "password")->setText("env:CHAT_TOKEN");
        d->accept();
    });
    dlg.AddAction(ActionKind::WEBHOOK);
    OnNextDialog<CDlgAction>([](CDlgAction* d) {
        Child<QLineEdit>(d, "host")->setText("logs.example.org");
        Child<QComboBox>(d, "protocol")->setCurrentIndex(1);
        Child<QComboBox>(d, "severity")->setCurrentIndex(0);
        d->accept();
    });
    dlg.AddAction(ActionKind::SYSLOG);
    dlg.accept();
    ASSERT_EQ(task.GetActionCount(), 3);
    const auto* pMail = dynamic_cast<const CSendMail*>(task.GetAction(0));
    ASSERT_TRUE(pMail);
    EXPECT_EQ(pMail->m_arrTo, (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(pMail->m_password, CSecret(CSecret::File, "/etc/quorvil/smtp.secret"));
    EXPECT_EQ(pMail->m_nStartTls, CSendMail::TlsRequired);
    const auto* pHook = dynamic_cast<const CWebHook*>(task.GetAction(1));
    ASSERT_TRUE(pHook);
    EXPECT_EQ(pHook->m_strFormat, "slack");
    EXPECT_EQ(pHook->m_password, CSecret(CSecret::Environment, "CHAT_TOKEN"));
    const auto* pSyslog = dynamic_cast<const CSyslogForward*>(task.GetAction(2));
    ASSERT_TRUE(pSyslog);
    EXPECT_EQ(pSyslog->m_strProtocol, "tcp");
    EXPECT_EQ(pSyslog->m_nSeverity, -1);
}

TEST(TaskDialog, VariablePreviewShowsTheSampleEntry)
{
    CTask task;
    task.SetTranslationString("%LOGDIR%", "/srv/hits");
    CWriteToFile action;
    action.SetPath("%LOGDIR%/%EVENT_SOURCE%.txt");
    action.SetText("%EVENT_SOURCE% %EVENT_ID%");
    CDlgAction dlg(action, MakeSampleVariables(task.GetVariables()));

    FocusField(Child<QLineEdit>(&dlg, "text"));
    EXPECT_EQ(dlg.GetPreview(), "Disk 7");
    FocusField(Child<QLineEdit>(&dlg, "path"));
    EXPECT_EQ(dlg.GetPreview(), "/srv/hits/%EVENT_SOURCE%.txt")
        << "a path takes the constants only";

    auto* text = Child<QLineEdit>(&dlg, "text");
    FocusField(text);
    text->setCursorPosition(0);
    auto* variables = Child<QComboBox>(&dlg, "variables");
    variables->setCurrentIndex(variables->findText("%TASK_SEQ%"));
    ASSERT_GE(variables->currentIndex(), 0);
    EXPECT_GE(variables->findText("%LOGDIR%"), 0) << "the task's constants are offered too";
    Child<QPushButton>(&dlg, "insert")->click();
    EXPECT_EQ(text->text(), "%TASK_SEQ%%EVENT_SOURCE% %EVENT_ID%");
    EXPECT_EQ(Child<QLabel>(&dlg, "preview")->text(), "1Disk 7") << "the preview follows the text";

    dlg.accept();
    EXPECT_EQ(action.GetText(), "%TASK_SEQ%%EVENT_SOURCE% %EVENT_ID%");
}

TEST(TaskDialog, TestRunRunsTheDialogsActionsWithTheSampleEntry)
{
    const std::string path = TestRoot() + "/testrun.txt";
    CTask task;
    CDlgTask dlg(task);
    OnNextDialog<CDlgAction>([&path](CDlgAction* d) {
        Child<QLineEdit>(d, "path")->setText(QString::fromStdString(path));
        Child<QLineEdit>(d, "text")->setText("%EVENT_SOURCE% %TASK_SEQ%");
        d->accept();
    });
    dlg.AddAction(ActionKind::WRITE_FILE);
    ASSERT_TRUE(Child<QPushButton>(&dlg, "test")->isEnabled());
    Child<QPushButton>(&dlg, "test")->click();

    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(QTest::qWaitFor([&] { return file.exists() && file.size() > 0; }, 10000));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "Disk 1\n");
    EXPECT_EQ(task.GetActionCount(), 0) << "a test run changes nothing in the task";
    EXPECT_EQ(task.GetVariables().Find("%EVENT_SOURCE%"), nullptr);
}

TEST(TaskDialog, Screenshot)
{
    CTask task;
    task.SetDescription("Disk errors");
    AddMessage(task, "%EVENT_SOURCE% reported event %EVENT_ID% on %EVENT_COMPUTER%");
    CWriteToFile write;
    write.SetPath("/var/log/quorvil/hits.txt");
    write.SetText("%EVENT_TIME% %EVENT_TEXT%");
    task.AddAction(write);
    CRunProgram run;
    run.SetCommand("/usr/bin/logger -t quorvil %EVENT_TEXT%");
    task.AddAction(run);
    CDlgTask dlg(task);
    dlg.GetActionList()->setCurrentRow(1);
    dlg.show();
    SaveScreenshot(&dlg, "task-dialog");
    EXPECT_EQ(dlg.GetActionList()->count(), 3);
}
