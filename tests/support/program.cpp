#include "program.h"

#include <poll.h>
#include <spawn.h>

#include "testing.h"

extern char** environ; // NOLINT: the process environment

CProgram::CProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const std::string& strInput)
{
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        vars[entry.substr(0, entry.find('='))] = entry;
    }
    for (const std::string& entry : env)
        vars[entry.substr(0, entry.find('='))] = entry;
    std::vector<char*> envp;
    for (auto& [name, entry] : vars)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv(argStrings.size() + 1, nullptr);
    std::transform(argStrings.begin(), argStrings.end(), argv.begin(),
                   [](std::string& arg) { return arg.data(); });

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, strInput.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    m_outFd = outPipe[0];
    m_errFd = errPipe[0];
}

CProgram::~CProgram()
{
    if (m_pid > 0 && m_nStatus < 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    for (int fd : {m_outFd, m_errFd})
        if (fd >= 0)
            ::close(fd);
}

bool CProgram::ReadSome(int nTimeoutMs)
{
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    if (m_outFd < 0 && m_errFd < 0)
        return false;
    if (::poll(fds, 2, nTimeoutMs) <= 0)
        return true;
    int* fdPtrs[2] = {&m_outFd, &m_errFd};
    std::string* targets[2] = {&m_strOut, &m_strErr};
    for (int i = 0; i < 2; ++i) {
        if (*fdPtrs[i] < 0 || fds[i].revents == 0)
            continue;
        char buffer[4096];
        ssize_t n = ::read(*fdPtrs[i], buffer, sizeof buffer);
        if (n > 0) {
            targets[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(*fdPtrs[i]);
            *fdPtrs[i] = -1;
        }
    }
    return true;
}

bool CProgram::WaitForOutput(const std::string& text, std::chrono::seconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (m_strOut.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end || !ReadSome(50))
            return m_strOut.find(text) != std::string::npos;
    }
    return true;
}

int CProgram::Wait(std::chrono::seconds deadline)
{
    if (m_pid <= 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            while (ReadSome(50)) {
            }
            m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return m_nStatus;
        }
        if (std::chrono::steady_clock::now() > end) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_nStatus = -1;
            return -1;
        }
        if (!ReadSome(20)) // both pipes closed: the end is near
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CProgram::Signal(int nSignal)
{
    if (m_pid > 0)
        ::kill(m_pid, nSignal);
}

int RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
               std::string* out, std::string* err, const std::string& strInput)
{
    CProgram program(args, env, strInput);
    int status = program.Wait();
    for (auto [to, from] : {std::pair{out, &program.m_strOut}, {err, &program.m_strErr}})
        if (to)
            *to = *from;
    return status;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
