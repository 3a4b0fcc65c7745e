#include "alertserver.h"
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
    {
        CDlgTask dlg(task);
        QListWidget* list = dlg.GetActionList();
        auto* up = Child<QPushButton>(&dlg, "up");
        auto* down = Child<QPushButton>(&dlg, "down");
        list->setCurrentRow(0);
        EXPECT_FALSE(up->isEnabled()) << "the first action cannot move up";
        down->click();
        EXPECT_EQ(Texts(list), (QStringList{"Display message \"B\"", "Display message \"A\"",
                                            "Display message \"C\""}));
        EXPECT_EQ(list->currentRow(), 1) << "the moved action stays selected";
        down->click();
        EXPECT_EQ(std::pair(list->currentRow(), down->isEnabled()), std::pair(2, false))
            << "the last action cannot move down";
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
    dlg.show();
    SaveScreenshot(&dlg, "task-dialog");

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

namespace {

// Picks an entry of the Add menu with the mouse; fill edits the editor that opens.
void AddWithMenu(CDlgTask& dlg, const QString& entry, std::function<void(CDlgAction*)> fill)
{
    OnNextDialog<CDlgAction>(std::move(fill));
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        timer.stop();
        for (QAction* action : menu->actions())
            if (action->text() == entry)
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    });
    timer.start(0);
    QTest::mouseClick(Child<QToolButton>(&dlg, "add"), Qt::LeftButton);
}

} // namespace

// Alerts typed into their editors; Test Run reaches the servers started here.
TEST(TaskDialog, AlertActionsTypedIntoTheirEditorsReachRealServersOnTestRun)
{
    CAlertServer smtp("smtp");
    CAlertServer http("http");
    CAlertServer syslog("syslog-tcp");
    ::setenv("QUORVIL_TEST_HOOK_TOKEN", "t0ken", 1);
    CTaskUiRecorder shown;
    CMessageRecorder messages;
    CTask task;
    // A hostile log line, as a constant of the task, for the notification.
    std::string line = "it's \"quoted\"\r\nSubject: x\r\n$(rm -rf /) `id` <b>&amp;";
    line.resize(100 * 1024, '0');
    task.SetTranslationString("%LINE%", line.c_str());
    CDlgTask dlg(task);
    dlg.show();
    Type(Child<QLineEdit>(&dlg, "description"), "Disk errors");

    AddWithMenu(dlg, "Send an e-mail", [&](CDlgAction* d) {
        EXPECT_EQ(d->windowTitle(), "Send E-mail");
        ClickOk(d);
        EXPECT_EQ(messages.Last(), "You must enter the sender and at least one recipient!");
        Type(Child<QLineEdit>(d, "server"), QString("smtp://127.0.0.1:%1").arg(smtp.Port()));
        QTest::keyClick(Child<QComboBox>(d, "starttls"), Qt::Key_Down);
        QTest::keyClick(Child<QComboBox>(d, "starttls"), Qt::Key_Down); // Never
        Type(Child<QLineEdit>(d, "from"), "quorvil@example.org");
        Type(Child<QLineEdit>(d, "to"), "a@example.org, b@example.org");
        FocusField(Child<QLineEdit>(d, "subject"));
        Type(Child<QLineEdit>(d, "subject"), "Disk %EVENT_ID%");
        EXPECT_EQ(d->GetPreview(), "Disk 7");
        ClickOk(d);
    });
    AddWithMenu(dlg, "Call a web hook", [&](CDlgAction* d) {
        Type(Child<QLineEdit>(d, "url"), QString("http://127.0.0.1:%1/ok").arg(http.Port()));
        QTest::keyClick(Child<QComboBox>(d, "format"), Qt::Key_Down); // Slack
        Type(Child<QPlainTextEdit>(d, "body"), "%EVENT_SOURCE%: %EVENT_TEXT%");
        Type(Child<QPlainTextEdit>(d, "headers"), "Authorization: Bearer %PASSWORD%");
        Type(Child<QLineEdit>(d, "password"), "env:QUORVIL_TEST_HOOK_TOKEN");
        ClickOk(d);
    });
    AddWithMenu(dlg, "Forward to syslog", [&](CDlgAction* d) {
        Type(Child<QLineEdit>(d, "host"), "127.0.0.1");
        Type(Child<QSpinBox>(d, "port"), QString::number(syslog.Port()));
        QTest::keyClick(Child<QComboBox>(d, "protocol"), Qt::Key_Down); // tcp
        ClickOk(d);
    });
    AddWithMenu(dlg, "Show a desktop notification", [&](CDlgAction* d) {
        Type(Child<QLineEdit>(d, "summary"), "%LINE%");
        Type(Child<QPlainTextEdit>(d, "body"), "%LINE%");
        ClickOk(d);
    });
    ASSERT_EQ(dlg.GetActionList()->count(), 4) << messages.Last();

    QTest::mouseClick(Child<QPushButton>(&dlg, "test"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.Messages().empty(); }, 60000));
    const std::string in = " in task \"Disk errors\": delivered";
    EXPECT_EQ(shown.Messages(),
              (std::vector<std::string>{
                  "Disk errors|Test Task Actions:\nE-mail to a@example.org, b@example.org" + in +
                  "\nWeb hook POST \"http://127.0.0.1:" + std::to_string(http.Port()) + "/ok\"" +
                  in + "\nSyslog to 127.0.0.1:" + std::to_string(syslog.Port()) + "/tcp" + in}));
    for (auto [server, part] : {std::pair{&smtp, "RCPT TO:a@example.org,b@example.org\n"},
                                {&smtp, "\n--DECODED--\nDisk 7\n"},
                                {&http, "Authorization: Bearer t0ken\n"},
                                {&http, "\n--PARSED--\nDisk: The device has a bad block."},
                                {&syslog, "\nMSG=The device has a bad block."}}) {
        const std::vector<std::string> received = server->Messages(1);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_NE(received[0].find(part), std::string::npos) << part << " in " << received[0];
    }
    {
        // One line of summary; the body as the line, cut to its limit.
        std::lock_guard lock(shown.m_mutex);
        ASSERT_EQ(shown.m_notifications.size(), 1u);
        const CNotification& n = shown.m_notifications[0];
        EXPECT_EQ(std::tuple(n.strSummary.size(), n.strSummary.find_first_of("\r\n"),
                             line.rfind(n.strBody, 0), n.strBody.size()),
                  std::tuple(line.size(), std::string::npos, 0u, 2000u));
    }
    EXPECT_EQ(task.GetActionCount(), 0) << "a test run changes nothing in the task";

    ClickOk(&dlg);
    ASSERT_EQ(task.GetActionCount(), 4);
    const auto* pHook = dynamic_cast<const CWebHook*>(task.GetAction(1));
    ASSERT_TRUE(pHook);
    EXPECT_EQ(pHook->m_password, CSecret(CSecret::Environment, "QUORVIL_TEST_HOOK_TOKEN"));
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
