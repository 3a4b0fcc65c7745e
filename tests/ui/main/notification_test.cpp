// Desktop notifications against python3-dbusmock's notification daemon on a
// private session bus started by the test.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "isolated_env.h"
#include "platform/base/fileio.h"
#include "ui/main/desktopnotifier.h"

namespace {

pid_t Spawn(std::vector<std::string> args, int stdoutFd = -1)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (stdoutFd >= 0)
            ::dup2(stdoutFd, 1);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void End(pid_t pid)
{
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

template <class F> bool WaitUntil(F f)
{
    for (int i = 0; i < 400 && !f(); ++i)
        QTest::qWait(25);
    return f();
}

TEST(DesktopNotification, ReachesTheServiceAndAClickShowsTheLog)
{
    // A private bus, before anything of the process touches the session bus.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t bus =
        Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"}, out[1]);
    ::close(out[1]);
    std::string address;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        address += c;
    ::close(out[0]);
    ASSERT_FALSE(address.empty());
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    const std::string log = TestRoot() + "/dbusmock.log";
    const pid_t mock = Spawn(
        {"/usr/bin/python3", "-m", "dbusmock", "--template", "notification_daemon", "-l", log});
    QDBusConnection session = QDBusConnection::sessionBus();
    ASSERT_TRUE(session.isConnected());
    ASSERT_TRUE(WaitUntil(
        [&] { return session.interface()->isServiceRegistered("org.freedesktop.Notifications"); }));

    CDesktopNotifier notifier;
    std::string shown;
    notifier.SetShowLogHandler([&](const std::string& path) { shown = path; });
    CNotification n;
    n.strTask = "Disk";
    n.strSummary = "app log";
    n.strBody = "disk <b>\"full\"</b> & $(reboot)\nsecond line";
    n.nUrgency = 2;
    n.strLogPath = "/var/log/app.log";
    // From another thread, as a task runs it.
    std::thread([&] { notifier.Notify(n); }).join();
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(log).value_or("").find("Notify") != std::string::npos; }));
    const std::string call = ReadFileBytes(log).value_or("");
    EXPECT_NE(call.find("\"Quorvil\" 0 \"quorvil\" \"app log\""), std::string::npos) << call;
    EXPECT_NE(call.find("disk &lt;b&gt;&quot;full&quot;&lt;/b&gt; &amp; $(reboot)"),
              std::string::npos)
        << call;

    // The daemon's first notification is number 1; clicking it shows the log.
    QDBusMessage click = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                        "/org/freedesktop/Notifications",
                                                        "org.freedesktop.DBus.Mock", "EmitSignal");
    click << QStringLiteral("org.freedesktop.Notifications") << QStringLiteral("ActionInvoked")
          << QStringLiteral("us") << QVariantList{uint{1}, QStringLiteral("default")};
    ASSERT_TRUE(WaitUntil([&] { return notifier.GetClickableCount() == 1; }));
    EXPECT_EQ(session.call(click).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, "/var/log/app.log");

    End(mock);
    End(bus);
}

} // namespace
