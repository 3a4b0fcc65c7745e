#include "app/display.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int CONNECT_TIMEOUT_MS = 2000;

// Connects within the time-out; the socket is closed again either way.
bool Connects(int family, const sockaddr* address, socklen_t length)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool bOk = ::connect(fd, address, length) == 0;
    if (!bOk && errno == EINPROGRESS) {
        pollfd pfd{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        bOk = ::poll(&pfd, 1, CONNECT_TIMEOUT_MS) == 1 &&
              ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return bOk;
}

bool ConnectsLocal(const std::string& path, bool bAbstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = bAbstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               path.size() + (bAbstract ? 0 : 1));
    return Connects(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length);
}

bool ConnectsTcp(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
        return false;
    bool bOk = false;
    for (addrinfo* p = list; p && !bOk; p = p->ai_next)
        bOk = Connects(p->ai_family, p->ai_addr, p->ai_addrlen);
    ::freeaddrinfo(list);
    return bOk;
}

bool CanOpenX(std::string_view display)
{
    const std::size_t colon = display.rfind(':');
    if (colon == std::string_view::npos || colon + 1 >= display.size())
        return false;
    const std::string host(display.substr(0, colon));
    const int number = std::atoi(std::string(display.substr(colon + 1)).c_str());
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        return ConnectsLocal(path, false) || ConnectsLocal(path, true);
    }
    return ConnectsTcp(host, 6000 + number);
}

bool CanOpenWayland(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return ConnectsLocal(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && ConnectsLocal(std::string(runtime) + "/" + name, false);
}

} // namespace

bool CanOpenDisplay(std::string* reason)
{
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland && CanOpenWayland(wayland))
        return true;
    const char* x = std::getenv("DISPLAY");
    if (x && *x && CanOpenX(x))
        return true;
    if (reason) {
        reason->clear();
        if (wayland && *wayland)
            *reason = std::string("the Wayland display \"") + wayland + "\" does not answer";
        if (x && *x)
            *reason += (reason->empty() ? "" : " and ") + std::string("the display \"") + x +
                       "\" does not answer";
    }
    return false;
}
