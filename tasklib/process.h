#pragma once
// Starting the programs of "run program" actions: splitting a command line
// template into words, and starting a program directly (posix_spawn, never a
// shell), optionally waiting for it with a time-out. Children that are not
// waited for are reaped by one background thread, which writes their exit
// status to the task log, so none is ever left a zombie.
//
// Any thread may call these functions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits a command line into words the way a POSIX shell splits words, with
// quoting only: blanks (space, tab, carriage return, line feed) separate words; '...' keeps
// everything inside literally; "..." keeps everything inside except that a
// backslash before '"' or '\' stands for that character; outside quotes a
// backslash takes the next character literally (a final backslash stands for
// itself). Quoted and unquoted parts next to each other form one word; ""
// is an empty word. Nothing else is special: no variables, globs, pipes or
// redirections. nullopt for an unterminated quote.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view commandLine);

struct CProcessRequest {
    // The program and its arguments. A program without "/" is looked up in
    // the PATH of this process; a relative path is taken from the working
    // folder.
    std::vector<std::string> arrArgs;
    // "NAME=value" entries added to this process's environment (replacing
    // entries of the same name).
    std::vector<std::string> arrEnvironment;
    // The working folder; empty keeps this process's.
    std::string strDirectory;
    bool bWait = false;
    // With bWait: seconds before the program (and its process group) is
    // killed; 0 waits without limit.
    std::uint32_t dwTimeoutSeconds = 0;
};

struct CProcessResult {
    bool bStarted = false;
    int nErrno = 0; // why it did not start
    int nPid = 0;
    // With bWait only:
    bool bTimedOut = false;      // killed after the time-out
    bool bWaitCancelled = false; // the wait was given up; the program goes on
    bool bExited = false;        // ended by itself with nExitCode
    int nExitCode = 0;
    int nSignal = 0; // ended by this signal
};

// Starts the program with stdin on /dev/null, stdout and stderr inherited,
// no other open file, default signal handling and an empty signal mask, in a
// process group of its own. Without bWait the child is handed to the reaper,
// which logs "<label> ended ..." when it ends.
CProcessResult RunProcess(const CProcessRequest& request, const std::string& label);

// A check that a waiting RunProcess polls; when it returns true the wait is
// given up and the program, left running, goes to the reaper. Start-up
// installs the scan's stop request, so that a stop never waits for a
// program. Null removes it. Any thread.
using ProcessWaitCancelCheck = bool (*)();
void SetProcessWaitCancelCheck(ProcessWaitCancelCheck check);

// "ended with exit code 3", "ended by signal 9" or "was killed after 5
// seconds", for log lines.
std::string DescribeEnd(const CProcessResult& result, std::uint32_t dwTimeoutSeconds);
