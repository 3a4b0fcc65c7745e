#include "core/wakeup.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/base/clock.h"
#include "settings/systemlog.h"

namespace {

constexpr std::uint32_t WATCH_MASK = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO |
                                     IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_ONLYDIR;

} // namespace

CWakeupWatcher::CWakeupWatcher()
{
    m_fdInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fdInotify < 0)
        WriteSystemLogF("Changes of text logs are not watched (inotify: %s); they are checked at "
                        "their interval",
                        std::strerror(errno));
}

CWakeupWatcher::~CWakeupWatcher()
{
    if (m_fdInotify >= 0)
        ::close(m_fdInotify);
}

void CWakeupWatcher::Refresh(const std::vector<std::pair<DWORD, CWakeupSource>>& sources)
{
    std::map<std::string, std::vector<std::pair<DWORD, std::string>>> wanted;
    m_descriptors.clear();
    for (const auto& [dwID, source] : sources) {
        for (const auto& [folder, name] : source.folders)
            wanted[folder].emplace_back(dwID, name);
        if (source.fd >= 0)
            m_descriptors.emplace_back(source.fd, dwID);
    }
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        if (it->second.wd >= 0) {
            ::inotify_rm_watch(m_fdInotify, it->second.wd);
            m_folders.erase(it->second.wd);
        }
        it = m_watches.erase(it);
    }
    std::size_t nPolled = 0;
    bool bLimit = false;
    for (auto& [folder, logs] : wanted) {
        CWatch& watch = m_watches[folder];
        watch.logs = std::move(logs);
        if (watch.wd >= 0 || m_fdInotify < 0)
            continue;
        watch.wd = ::inotify_add_watch(m_fdInotify, folder.c_str(), WATCH_MASK);
        if (watch.wd >= 0) {
            m_folders[watch.wd] = folder;
        } else if (errno == ENOSPC) {
            // The watch limit: these logs are checked at their interval.
            bLimit = true;
            nPolled += watch.logs.size();
        }
        // A folder that is not there (yet) is tried again at the next refresh.
    }
    m_nPolled = nPolled;
    if (bLimit && !m_bLimitReported)
        WriteSystemLogF("The limit of inotify watches is reached: %zu logs are checked at their "
                        "interval only (raise fs.inotify.max_user_watches)",
                        nPolled);
    m_bLimitReported = bLimit;
}

void CWakeupWatcher::Wait(IClock& clock, std::uint32_t nMilliseconds)
{
    std::vector<pollfd> fds;
    if (m_fdInotify >= 0)
        fds.push_back({m_fdInotify, POLLIN, 0});
    for (const auto& [fd, dwID] : m_descriptors)
        fds.push_back({fd, POLLIN, 0});
    // The system's clock waits in poll; any other clock moves its own time
    // and only looks at what is there already.
    int nTimeout = static_cast<int>(nMilliseconds);
    if (dynamic_cast<CSystemClock*>(&clock) == nullptr) {
        clock.SleepMs(nMilliseconds);
        nTimeout = 0;
    }
    if (fds.empty()) {
        if (nTimeout > 0)
            clock.SleepMs(nMilliseconds);
        return;
    }
    if (::poll(fds.data(), fds.size(), nTimeout) <= 0)
        return;
    std::size_t i = 0;
    if (m_fdInotify >= 0) {
        if (fds[0].revents & POLLIN)
            ReadEvents();
        i = 1;
    }
    for (; i < fds.size(); ++i)
        if (fds[i].revents & POLLIN)
            m_descriptorWoken.insert(m_descriptors[i - (m_fdInotify >= 0 ? 1 : 0)].second);
}

void CWakeupWatcher::ReadEvents()
{
    alignas(inotify_event) std::array<char, 16384> buffer;
    for (;;) {
        const ssize_t n = ::read(m_fdInotify, buffer.data(), buffer.size());
        if (n <= 0)
            return;
        for (ssize_t pos = 0; pos + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* pEvent = reinterpret_cast<const inotify_event*>(buffer.data() + pos);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
            if (pEvent->mask & IN_Q_OVERFLOW) {
                // Events were lost: every watched log may have changed.
                for (const auto& [folder, watch] : m_watches)
                    for (const auto& [dwID, name] : watch.logs)
                        m_woken.insert(dwID);
                continue;
            }
            auto folder = m_folders.find(pEvent->wd);
            if (folder == m_folders.end())
                continue;
            if (pEvent->mask & IN_IGNORED) {
                // The folder went away: watch it again when it is back.
                m_watches[folder->second].wd = -1;
                m_folders.erase(folder);
                continue;
            }
            const std::string_view name =
                pEvent->len ? std::string_view(pEvent->name) : std::string_view();
            for (const auto& [dwID, logName] : m_watches[folder->second].logs)
                if (logName.empty() || name.empty() || name == logName)
                    m_woken.insert(dwID);
        }
    }
}

std::set<DWORD> CWakeupWatcher::TakeWoken()
{
    return std::exchange(m_woken, {});
}

std::set<DWORD> CWakeupWatcher::TakeDescriptorWoken()
{
    return std::exchange(m_descriptorWoken, {});
}
