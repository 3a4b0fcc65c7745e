#include "platform/base/clock.h"
#include "tasklib/task.h"
#include "testing.h"
#include "testsupport.h"

namespace {

CDisplayMessage Message(const char* text)
{
    CDisplayMessage message;
    message.SetMessage(text);
    return message;
}

CWriteToFile WriteFile(const std::string& path, const char* text)
{
    CWriteToFile write;
    write.SetPath(path.c_str());
    write.SetText(text);
    return write;
}

} // namespace

TEST(TaskVariables, SubstitutionIsOnePassLongestNameFirst)
{
    CTaskVariables variables;
    variables.Set("%A%", "<%B%>");
    variables.Set("%B%", "b");
    variables.Set("%A%B%", "long");
    variables.Set("NAME", "n");
    variables.Set("", "ignored");
    variables.Set(VAR_EVENT_TEXT, "%A%");
    variables.Set("%event_text%", "lower");

    struct Case {
        const char* text;
        const char* all;
        const char* constants;
    };
    const Case cases[] = {
        {"", "", ""},
        {"plain", "plain", "plain"},
        {"%A%", "<%B%>", "<%B%>"}, // the value is not searched again
        {"%A%B%", "long", "long"}, // the longest name at a position wins
        {"%A%%B%", "<%B%>b", "<%B%>b"},
        {"x%B%y%B%", "xbyb", "xbyb"},
        {"%%B%%", "%b%", "%b%"},
        {"%EVENT_TEXT%!", "%A%!", "%EVENT_TEXT%!"}, // a trigger variable is no constant
        {"NAMENAME %a%", "nn %a%", "nn %a%"},       // names keep their letter case
        {"%event_text%", "lower", "lower"},         // a constant: trigger names are upper case
        {"%UNSET% %B", "%UNSET% %B", "%UNSET% %B"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(variables.Substitute(c.text), c.all) << c.text;
        EXPECT_EQ(variables.SubstituteConstants(c.text), c.constants) << c.text;
    }
    EXPECT_EQ(variables.GetAll().size(), 6u);
    EXPECT_EQ(variables.GetConstants().size(), 5u);
}

TEST(Task, VariablesAreReplacedInEveryAction)
{
    CLogCapture log;
    CRecordingUi ui;
    const std::string folder = TestRoot() + "/every";

    CTask task;
    task.SetDescription("Disk errors");
    task.AddAction(Message("%EVENT_SOURCE%: %EVENT_TEXT% for %MAILTO%"));
    task.AddAction(WriteFile(folder + "/%MAILTO%.txt", "%TASK_SEQ% %EVENT_TEXT% %MAILTO%"));
    CRunProgram run;
    run.SetCommand(
        (std::string(BRANSCHED_PROBE) + " " + folder + "/probe.out %EVENT_SOURCE% %MAILTO%")
            .c_str());
    run.SetWait(TRUE);
    task.AddAction(run);

    task.SetTranslationString("%MAILTO%", "ops");
    task.SetTranslationString(VAR_EVENT_SOURCE, "Disk");
    task.SetTranslationString(VAR_EVENT_TEXT, "bad block");
    task.SetTranslationString(VAR_TASK_SEQ, "1");
    ASSERT_TRUE(task.Run());
    task.SetTranslationString(VAR_EVENT_TEXT, "line\r\nbreak");
    task.SetTranslationString(VAR_TASK_SEQ, "2");
    ASSERT_TRUE(task.Run());

    EXPECT_EQ(ui.m_arrMessages,
              (decltype(ui.m_arrMessages){{"Disk errors", "Disk: bad block for ops"},
                                          {"Disk errors", "Disk: line\r\nbreak for ops"}}));
    // The folder is created and each run appends one line.
    EXPECT_EQ(ReadFileBytes(folder + "/ops.txt").value_or(""),
              "1 bad block ops\n2 line  break ops\n");
    EXPECT_EQ(Only(ReadProbe(folder + "/probe.out"), 'A'),
              (std::vector<std::string>{"Disk", "ops"}));
}

TEST(Task, WriteToFileFailureIsLoggedAndLaterActionsStillRun)
{
    CLogCapture log;
    CRecordingUi ui;
    const std::string blocker = TestRoot() + "/blocker";
    ASSERT_TRUE(AppendToFile(blocker, "a file, not a folder\n"));

    CTask task;
    task.AddAction(WriteFile(blocker + "/x.txt", "never"));
    task.AddAction(WriteFile("", "never"));
    task.AddAction(Message("still shown"));
    EXPECT_FALSE(task.Run());
    EXPECT_EQ(ui.m_arrMessages.size(), 1u);
    const auto lines = log.Get();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0].rfind("Write to file \"" + blocker + "/x.txt\" in task \"Task\" failed: ", 0), 0u);
    EXPECT_EQ(lines[1], "Write to file in task \"Task\": no file name");
}

TEST(Task, AssignmentCopiesEverythingDeeply)
{
    CRecordingUi ui;
    CTask source;
    source.SetDescription("Source");
    source.AddAction(Message("one"));
    source.SetTranslationString("%K%", "v");
    CManualClock clock(1'700'000'000);
    SetClock(&clock);
    source.Run();
    SetClock(nullptr);

    CTask copy;
    copy.AddAction(Message("replaced"));
    copy = source;
    CTask constructed(source);

    // Changing the source's action leaves the copies alone.
    static_cast<CDisplayMessage*>(source.GetAction(0))->SetMessage("changed");
    source.SetTranslationString("%K%", "w");
    source.SetDescription("Changed");
    for (const CTask* task : {&copy, &constructed}) {
        EXPECT_EQ(task->GetDescription(), "Source");
        ASSERT_EQ(task->GetActionCount(), 1);
        EXPECT_EQ(static_cast<const CDisplayMessage*>(task->GetAction(0))->GetMessage(), "one");
        EXPECT_EQ(*task->GetVariables().Find("%K%"), "v");
        EXPECT_EQ(task->GetLastRunTime(), source.GetLastRunTime());
    }
    source.RemoveAllActions();
    EXPECT_EQ(copy.GetActionCount(), 1);
}

TEST(Task, PropertiesGoThroughTheFrontEnd)
{
    CLogCapture log;
    CTask task;
    task.AddAction(Message("%EVENT_TEXT%"));
    task.SetTranslationString(VAR_EVENT_TEXT, "disk full");

    // Headless: the message goes to standard output and the log; no dialog.
    testing::internal::CaptureStdout();
    task.Run();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "disk full\n");
    EXPECT_EQ(task.Properties(), 0);
    EXPECT_EQ(log.Get(), (std::vector<std::string>{
                             "Task \"Task\" message: disk full",
                             "Task \"Task\" not edited: there is no window to edit it in"}));

    CRecordingUi ui;
    EXPECT_EQ(task.Properties(), 1);
    EXPECT_EQ(task.GetDescription(), "Edited");
}

TEST(Task, RunsWhileAnotherThreadEditsAndTriggers)
{
    RegisterBranSchedClasses();
    const std::string path = TestRoot() + "/concurrent.txt";
    CTask task;
    task.AddAction(WriteFile(path, "%TASK_SEQ%"));

    std::thread runner([&] {
        for (int i = 0; i < 100; ++i)
            task.Run();
    });
    for (int i = 0; i < 100; ++i) {
        task.SetTranslationString(VAR_TASK_SEQ, std::to_string(i).c_str());
        CTask copy = task;
        copy.SetDescription("Copy");
        task = copy;
        StoreObjectToBytes(&task);
        task.GetLastRunTime();
    }
    runner.join();
    const std::string lines = ReadFileBytes(path).value_or("");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 100);
}
