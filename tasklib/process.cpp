#include "tasklib/process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tasklib/tasklog.h"

extern char** environ; // NOLINT: the process environment

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int OpenPidFd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// waitpid without EINTR; true when the child was reaped. Otherwise errno is
// 0 while the child runs (WNOHANG) and ECHILD when it is no child (any more).
bool Reap(pid_t pid, int& status, int options)
{
    for (;;) {
        pid_t r = ::waitpid(pid, &status, options);
        if (r == pid)
            return true;
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0)
            errno = 0;
        return false;
    }
}

void StoreStatus(int status, CProcessResult& result)
{
    if (WIFEXITED(status)) {
        result.bExited = true;
        result.nExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.nSignal = WTERMSIG(status);
    }
}

std::atomic<ProcessWaitCancelCheck> g_cancelCheck{nullptr};

enum class WaitEnd { ended, timedOut, cancelled };

// Waits for the child to end within the time (negative: without limit), in
// short slices so that the installed cancel check can end the wait.
WaitEnd WaitForEnd(pid_t pid, int timeoutMs, int& status)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    const int fd = OpenPidFd(pid);
    WaitEnd end = WaitEnd::ended;
    for (;;) {
        if (ProcessWaitCancelCheck check = g_cancelCheck.load(); check && check()) {
            end = WaitEnd::cancelled;
            break;
        }
        int sliceMs = 100;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                end = Reap(pid, status, WNOHANG) ? WaitEnd::ended : WaitEnd::timedOut;
                break;
            }
            sliceMs = static_cast<int>(std::min<long long>(sliceMs, left.count()));
        }
        if (fd >= 0) {
            pollfd pfd{fd, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, sliceMs);
            if (ready > 0 && Reap(pid, status, 0))
                break;
        } else {
            // Kernels without process descriptors: look in short steps.
            if (Reap(pid, status, WNOHANG))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(sliceMs, 10)));
        }
    }
    if (fd >= 0)
        ::close(fd);
    return end;
}

} // namespace

void SetProcessWaitCancelCheck(ProcessWaitCancelCheck check)
{
    g_cancelCheck = check;
}

namespace {

// One thread that waits for every child nobody else waits for. It blocks in
// poll on the children's process descriptors and an event that wakes it for
// a new child or for shut-down.
class CChildReaper {
public:
    static CChildReaper& Instance()
    {
        static CChildReaper reaper;
        return reaper;
    }

    void Adopt(pid_t pid, const std::string& label)
    {
        std::lock_guard lock(m_mutex);
        m_arrChildren.push_back(CChild{pid, OpenPidFd(pid), label});
        Wake();
    }

    ~CChildReaper()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bStop = true;
            Wake();
        }
        m_thread.join();
        for (const CChild& child : m_arrChildren) {
            if (child.fd >= 0)
                ::close(child.fd);
        }
        ::close(m_wakeFd);
    }

    CChildReaper(const CChildReaper&) = delete;
    CChildReaper& operator=(const CChildReaper&) = delete;

private:
    struct CChild {
        pid_t pid;
        int fd; // -1 without a process descriptor: polled once a second
        std::string label;
    };

    CChildReaper()
        : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_thread([this] { Main(); })
    {
    }

    void Wake()
    {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    }

    void Main()
    {
        std::vector<pollfd> fds;
        for (;;) {
            bool bPolling = false;
            fds.assign(1, pollfd{m_wakeFd, POLLIN, 0});
            {
                std::lock_guard lock(m_mutex);
                if (m_bStop)
                    return;
                for (const CChild& child : m_arrChildren) {
                    if (child.fd >= 0)
                        fds.push_back(pollfd{child.fd, POLLIN, 0});
                    else
                        bPolling = true;
                }
            }
            if (::poll(fds.data(), fds.size(), bPolling ? 1000 : -1) < 0 && errno != EINTR)
                return;
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
            ReapEnded();
        }
    }

    void ReapEnded()
    {
        std::vector<std::string> arrLines;
        {
            std::lock_guard lock(m_mutex);
            for (auto it = m_arrChildren.begin(); it != m_arrChildren.end();) {
                int status = 0;
                if (Reap(it->pid, status, WNOHANG)) {
                    CProcessResult result;
                    StoreStatus(status, result);
                    arrLines.push_back(it->label + " " + DescribeEnd(result, 0));
                } else if (errno == ECHILD) {
                    // Someone else's wait for any child took it.
                    arrLines.push_back(it->label + " ended; its exit status is unknown");
                } else {
                    ++it;
                    continue;
                }
                if (it->fd >= 0)
                    ::close(it->fd);
                it = m_arrChildren.erase(it);
            }
        }
        for (const std::string& line : arrLines)
            TaskLog(line);
    }

    std::mutex m_mutex;
    std::vector<CChild> m_arrChildren; // guarded by m_mutex
    bool m_bStop = false;              // guarded by m_mutex
    int m_wakeFd;
    std::thread m_thread;
};

// The environment of the child: ours, with the request's entries replacing
// or adding to it.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& additions)
{
    auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view name = nameOf(*entry);
        bool bReplaced = false;
        for (const std::string& addition : additions)
            bReplaced = bReplaced || nameOf(addition) == name;
        if (!bReplaced)
            environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), additions.begin(), additions.end());
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// posix_spawn's attribute and file action objects, released on every path.
struct CSpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    CSpawnSetup()
    {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~CSpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    CSpawnSetup(const CSpawnSetup&) = delete;
    CSpawnSetup& operator=(const CSpawnSetup&) = delete;
};

} // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool bInWord = false;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    while (i < n) {
        char c = commandLine[i++];
        if (IsBlank(c)) {
            if (bInWord)
                words.push_back(std::move(word));
            word.clear();
            bInWord = false;
            continue;
        }
        bInWord = true;
        if (c == '\\') {
            word += i < n ? commandLine[i++] : '\\';
        } else if (c == '\'') {
            std::size_t end = commandLine.find('\'', i);
            if (end == std::string_view::npos)
                return std::nullopt;
            word.append(commandLine.substr(i, end - i));
            i = end + 1;
        } else if (c == '"') {
            for (;;) {
                if (i >= n)
                    return std::nullopt;
                c = commandLine[i++];
                if (c == '"')
                    break;
                if (c == '\\' && i < n && (commandLine[i] == '"' || commandLine[i] == '\\'))
                    c = commandLine[i++];
                word += c;
            }
        } else {
            word += c;
        }
    }
    if (bInWord)
        words.push_back(std::move(word));
    return words;
}

CProcessResult RunProcess(const CProcessRequest& request, const std::string& label)
{
    CProcessResult result;
    if (request.arrArgs.empty() || request.arrArgs[0].empty()) {
        result.nErrno = ENOENT;
        return result;
    }

    std::vector<std::string> arrArgs = request.arrArgs;
    std::vector<std::string> arrEnvironment = ChildEnvironment(request.arrEnvironment);
    std::vector<char*> argv = Pointers(arrArgs);
    std::vector<char*> envp = Pointers(arrEnvironment);

    CSpawnSetup setup;
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&setup.attr, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&setup.attr, &signals);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    if (!request.strDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, request.strDirectory.c_str());

    pid_t pid = 0;
    const bool bSearchPath = request.arrArgs[0].find('/') == std::string::npos;
    int err =
        bSearchPath
            ? ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), envp.data())
            : ::posix_spawn(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), envp.data());
    if (err != 0) {
        result.nErrno = err;
        return result;
    }
    result.bStarted = true;
    result.nPid = pid;

    if (!request.bWait) {
        CChildReaper::Instance().Adopt(pid, label);
        return result;
    }

    int status = 0;
    const int timeoutMs =
        request.dwTimeoutSeconds == 0
            ? -1
            : static_cast<int>(std::min<std::uint32_t>(request.dwTimeoutSeconds, 2'000'000) * 1000);
    const WaitEnd end = WaitForEnd(pid, timeoutMs, status);
    if (end == WaitEnd::cancelled) {
        result.bWaitCancelled = true;
        CChildReaper::Instance().Adopt(pid, label);
        return result;
    }
    if (end == WaitEnd::timedOut) {
        result.bTimedOut = true;
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        Reap(pid, status, 0);
        return result;
    }
    StoreStatus(status, result);
    return result;
}

std::string DescribeEnd(const CProcessResult& result, std::uint32_t dwTimeoutSeconds)
{
    if (result.bWaitCancelled)
        return "goes on running: the wait for it was given up";
    if (result.bTimedOut)
        return "was killed after " + std::to_string(dwTimeoutSeconds) + " seconds";
    if (result.bExited)
        return "ended with exit code " + std::to_string(result.nExitCode);
    return "ended by signal " + std::to_string(result.nSignal);
}
