#pragma once
// Runs one of the project's programs as a separate process with its own
// environment, reading its standard output and standard error, and waits on
// conditions with deadlines.
#include <sys/types.h>

#include "testing.h"

class CProgram {
public:
    // Starts args[0] with args, the environment of this process changed by
    // the "NAME=value" entries of env, and standard input on the file.
    CProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
             const std::string& strInput = "/dev/null");
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool Started() const { return m_pid > 0; }
    // Reads output until standard output holds the text; false when the
    // deadline passed or the program ended without writing it.
    bool WaitForOutput(const std::string& text,
                       std::chrono::seconds deadline = std::chrono::seconds(60));
    // Waits for the end and reads all output; the exit status, 128 + the
    // signal for a program killed by one, or -1 when the deadline passed
    // (the program is then killed).
    int Wait(std::chrono::seconds deadline = std::chrono::seconds(120));
    void Signal(int nSignal);

    std::string m_strOut;
    std::string m_strErr;

private:
    // Reads what is there, waiting at most the milliseconds; false when both
    // pipes are closed.
    bool ReadSome(int nTimeoutMs);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    int m_nStatus = -1;
};

// Runs a program to its end: its exit status, and its output in out and err.
int RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
               std::string* out = nullptr, std::string* err = nullptr,
               const std::string& strInput = "/dev/null");

// Waits until the condition holds; false when the deadline passed first.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::seconds deadline = std::chrono::seconds(60));
