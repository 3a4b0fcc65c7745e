#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include "app/display.h"
#include "testing.h"

namespace {

// A listening socket that stands in for a display server.
class CListener {
public:
    // TCP on the loopback address, on a free port above 6000.
    CListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length), 0);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_nPort = ntohs(address.sin_port);
    }
    // A Unix socket at the path.
    explicit CListener(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::listen(m_fd, 4);
    }
    ~CListener() { ::close(m_fd); }
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

void SetDisplays(const char* x, const char* wayland)
{
    for (auto [name, value] : {std::pair{"DISPLAY", x}, std::pair{"WAYLAND_DISPLAY", wayland}}) {
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
}

} // namespace

TEST(Display, ANamedDisplayCountsOnlyWhenItAnswers)
{
    std::string reason;
    SetDisplays(nullptr, nullptr);
    EXPECT_FALSE(CanOpenDisplay(&reason));
    EXPECT_EQ(reason, "");

    // A stale DISPLAY, as an ssh session leaves one behind.
    SetDisplays(":4711", nullptr);
    EXPECT_FALSE(CanOpenDisplay(&reason));
    EXPECT_EQ(reason, "the display \":4711\" does not answer");

    {
        CListener x;
        ASSERT_GT(x.Port(), 6000);
        const std::string display = "127.0.0.1:" + std::to_string(x.Port() - 6000) + ".0";
        SetDisplays(display.c_str(), nullptr);
        EXPECT_TRUE(CanOpenDisplay(&reason)) << display;
    }

    const std::string socket = TestRoot() + "/wayland-0";
    {
        CListener wayland(socket);
        SetDisplays(":4711", socket.c_str());
        EXPECT_TRUE(CanOpenDisplay(&reason)) << "a Wayland display that answers wins";
    }
    EXPECT_FALSE(CanOpenDisplay(&reason)) << "the Wayland server has gone";
    EXPECT_EQ(reason, "the Wayland display \"" + socket +
                          "\" does not answer and the display \":4711\" does not answer");
    SetDisplays(nullptr, nullptr);
}
