#include <gmock/gmock.h>
#include <signal.h>

#include "tasklib/actions.h"
#include "tasklib/process.h"
#include "testing.h"
#include "testsupport.h"

using testing::Contains;
using testing::IsSupersetOf;
using testing::Not;
using testing::StartsWith;
using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesAndEscapesLikeAShellWithoutExpansion)
{
    struct Case {
        const char* line;
        Words words;
    };
    const Case cases[] = {
        {"", {}},
        {"a b\tc\n d", {"a", "b", "c", "d"}},
        {"'a b' \"c d\"", {"a b", "c d"}},
        {"x'a b'\"c\"y", {"xa bcy"}},
        {R"('it''s' "say \"hi\" \\ \n")", {"its", R"(say "hi" \ \n)"}},
        {R"(a\ b \'c \" d\\)", {"a b", "'c", "\"", "d\\"}},
        {"$(id) ; | & > < * ~ `x` $HOME %EVENT_TEXT%",
         {"$(id)", ";", "|", "&", ">", "<", "*", "~", "`x`", "$HOME", "%EVENT_TEXT%"}},
        {"'a \"b\" \\c'", {"a \"b\" \\c"}},
    };
    for (const Case& c : cases) {
        auto words = SplitCommandLine(c.line);
        ASSERT_TRUE(words.has_value()) << c.line;
        EXPECT_EQ(*words, c.words) << c.line;
    }
    for (const char* bad : {"'open", "a \"b\\\""})
        EXPECT_FALSE(SplitCommandLine(bad).has_value()) << bad;
}

namespace {

struct CRunCase {
    std::string strOutput;
    CRunProgram action;
    explicit CRunCase(const std::string& name, const std::string& args)
        : strOutput(TestRoot() + "/" + name + ".out")
    {
        action.SetCommand((std::string(BRANSCHED_PROBE) + " " + strOutput + " " + args).c_str());
        action.SetWait(TRUE);
        action.SetTimeout(60);
    }
};

} // namespace

TEST(RunProgram, LogTextReachesTheProgramAsOnePlainArgument)
{
    CLogCapture log;
    const std::string hostile = "; rm -rf / $(id) \"quotes\" 'x' \\ ` | & > < %TASK_SEQ% *\n\tend";
    CTaskVariables variables;
    variables.Set(VAR_EVENT_TEXT, hostile);
    variables.Set(VAR_TASK_SEQ, "7");
    variables.Set("%MAILTO%", "ops team");
    variables.Set("%a=b c%", "odd"); // a name no environment entry can have as it is
    variables.Set("%%", "unnamed");

    CRunCase run("hostile", "--text=%EVENT_TEXT% \"%EVENT_TEXT%\" '%EVENT_TEXT%' "
                            "seq%TASK_SEQ% %MAILTO% %UNKNOWN%");
    ASSERT_TRUE(run.action.Run(variables, "Task"));
    const Words items = ReadProbe(run.strOutput);
    EXPECT_EQ(Only(items, 'A'),
              (Words{"--text=" + hostile, hostile, hostile, "seq7", "ops team", "%UNKNOWN%"}));

    // The variables, also in the environment, under their QUORVIL_ names.
    const Words environment = Only(items, 'E');
    EXPECT_THAT(environment,
                IsSupersetOf(Words{"QUORVIL_A_B_C=odd", "QUORVIL_EVENT_TEXT=" + hostile,
                                   "QUORVIL_MAILTO=ops team", "QUORVIL_TASK_SEQ=7"}));
    EXPECT_THAT(environment, Not(Contains(StartsWith("QUORVIL_="))));
    ASSERT_FALSE(log.Get().empty());
    EXPECT_NE(log.Get().back().find("ended with exit code 0"), std::string::npos);
}

TEST(RunProgram, ProgramAndFolderTakeConstantsOnly)
{
    CLogCapture log;
    const std::string folder = TestRoot() + "/work dir";
    ASSERT_TRUE(EnsureDirectory(folder));
    CTaskVariables variables;
    variables.Set("%WORK%", folder);
    variables.Set(VAR_EVENT_TEXT, "/bin/sh");

    CRunCase run("folder", "x");
    run.action.SetDirectory("%WORK%");
    ASSERT_TRUE(run.action.Run(variables, "Task"));
    EXPECT_EQ(Only(ReadProbe(run.strOutput), 'D'), Words{folder});

    // Log text in the program's place is not substituted: no such program.
    CRunProgram fromLog;
    fromLog.SetCommand("%EVENT_TEXT% -c id");
    fromLog.SetWait(TRUE);
    EXPECT_FALSE(fromLog.Run(variables, "Hostile"));
    ASSERT_FALSE(log.Get().empty());
    EXPECT_EQ(log.Get().back(), "Run program \"%EVENT_TEXT%\" in task \"Hostile\" could not start: "
                                "The system cannot find the file specified.");

    CRunProgram missingFolder;
    missingFolder.SetCommand("/bin/true");
    missingFolder.SetDirectory("%WORK%/absent");
    EXPECT_FALSE(missingFolder.Run(variables, "T"));
    EXPECT_EQ(log.Get().back().rfind(
                  "Run program \"/bin/true\" in task \"T\" could not start in folder \"" + folder +
                      "/absent\": ",
                  0),
              0u);

    CRunProgram unterminated;
    unterminated.SetCommand("/bin/true 'open");
    EXPECT_FALSE(unterminated.Run(variables, "T"));
    EXPECT_NE(log.Get().back().find("unterminated quote"), std::string::npos);

    // The exit status decides success.
    CRunProgram failing;
    failing.SetCommand("/bin/false");
    failing.SetWait(TRUE);
    EXPECT_FALSE(failing.Run(CTaskVariables(), "T"));
    EXPECT_EQ(log.Get().back(), "Run program \"/bin/false\" in task \"T\" ended with exit code 1");
}

TEST(RunProgram, TimeOutKillsTheWaitedProgram)
{
    CProcessRequest request;
    request.arrArgs = {"sleep", "600"};
    request.bWait = true;
    request.dwTimeoutSeconds = 1;
    CProcessResult result = RunProcess(request, "sleep");
    ASSERT_TRUE(result.bStarted);
    EXPECT_TRUE(result.bTimedOut);
    EXPECT_FALSE(result.bExited);
    // Killed and reaped: the process is gone.
    EXPECT_EQ(::kill(result.nPid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(DescribeEnd(result, 1), "was killed after 1 seconds");
}

TEST(RunProgram, ProgramsNotWaitedForAreReaped)
{
    CLogCapture log;
    CRunCase first("nowait1", "a"), second("nowait2", "b");
    first.action.SetWait(FALSE);
    second.action.SetWait(FALSE);
    second.action.SetCommand("/bin/false");
    ASSERT_TRUE(first.action.Run(CTaskVariables(), "First"));
    ASSERT_TRUE(second.action.Run(CTaskVariables(), "Second"));
    EXPECT_TRUE(log.WaitFor("\"/bin/false\" in task \"Second\" ended with exit code 1"));
    EXPECT_TRUE(
        log.WaitFor(std::string(BRANSCHED_PROBE) + "\" in task \"First\" ended with exit code 0"));
    EXPECT_EQ(Only(ReadProbe(first.strOutput), 'A'), Words{"a"});
    // No child of this process is left, not even a zombie.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(RunProgram, AWaitWithoutLimitIsGivenUpWhenTheCancelCheckSaysSo)
{
    static std::atomic<bool> giveUp{false};
    SetProcessWaitCancelCheck([] { return giveUp.load(); });
    std::thread stopper([] {
        // Gives up once the program runs: its wait has begun by then or
        // begins with the check already true.
        std::this_thread::yield();
        giveUp = true;
    });
    CProcessRequest request;
    request.arrArgs = {"sleep", "600"};
    request.bWait = true; // without a time-out
    CProcessResult result = RunProcess(request, "sleep");
    stopper.join();
    SetProcessWaitCancelCheck(nullptr);
    ASSERT_TRUE(result.bStarted);
    EXPECT_TRUE(result.bWaitCancelled);
    EXPECT_FALSE(result.bTimedOut);
    EXPECT_EQ(::kill(result.nPid, 0), 0) << "the program goes on";
    ::kill(result.nPid, SIGKILL);
    EXPECT_EQ(DescribeEnd(result, 0), "goes on running: the wait for it was given up");
}
