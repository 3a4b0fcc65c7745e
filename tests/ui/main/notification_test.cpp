// Against python3-dbusmock services on a private session bus started by the test.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include "platform/base/fileio.h"
#include "program.h"
#include "ui/main/colorscheme.h"
#include "ui/main/desktopnotifier.h"
#include "widgettest.h"

namespace {

template <class F> bool WaitUntil(F f)
{
    for (int i = 0; i < 400 && !f(); ++i)
        QTest::qWait(25);
    return f();
}

// A private bus for the whole program, before anything of the process
// touches the session bus (Qt keeps its first connection).
class SessionBus : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_bus =
            std::make_unique<CProgram>(std::vector<std::string>{"/usr/bin/dbus-daemon", "--session",
                                                                "--nofork", "--print-address=1"},
                                       std::vector<std::string>{});
        ASSERT_TRUE(s_bus->WaitForOutput("\n"));
        const std::string address = s_bus->m_strOut.substr(0, s_bus->m_strOut.find('\n'));
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    static void TearDownTestSuite() { s_bus.reset(); }

    // A dbusmock service; true once it is on the bus.
    bool StartMock(std::vector<std::string> args, const QString& name)
    {
        args.insert(args.begin(), {"/usr/bin/python3", "-m", "dbusmock"});
        m_mock = std::make_unique<CProgram>(args, std::vector<std::string>{});
        return WaitUntil([&] { return m_session.interface()->isServiceRegistered(name); });
    }

    static inline std::unique_ptr<CProgram> s_bus;
    QDBusConnection m_session = QDBusConnection::sessionBus();
    std::unique_ptr<CProgram> m_mock;
};

TEST_F(SessionBus, NotificationReachesTheServiceAndAClickShowsTheLog)
{
    const std::string log = TestRoot() + "/dbusmock.log";
    ASSERT_TRUE(StartMock({"--template", "notification_daemon", "-l", log},
                          "org.freedesktop.Notifications"));

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
    EXPECT_EQ(m_session.call(click).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, "/var/log/app.log");
}

// The portal's dark preference gives a dark palette, at start and on change.
TEST_F(SessionBus, ColourSchemeFollowsTheDesktopPortal)
{
    const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    const QString settings = QStringLiteral("org.freedesktop.portal.Settings");
    ASSERT_TRUE(
        StartMock({portal.toStdString(), path.toStdString(), settings.toStdString()}, portal));
    auto mock = [&](const char* method, const QVariantList& args) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(portal, path, "org.freedesktop.DBus.Mock", method);
        call.setArguments(args);
        return m_session.call(call).type() == QDBusMessage::ReplyMessage;
    };
    ASSERT_TRUE(mock("AddMethod", {settings, "Read", "ss", "v", "ret = dbus.UInt32(1)"}));
    const QPalette light = QApplication::palette();
    ASSERT_GE(light.color(QPalette::Window).lightness(), 128);

    CDesktopColorScheme scheme;
    EXPECT_TRUE(scheme.IsDarkApplied());
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 128);

    auto change = [&](uint preference) {
        return mock("EmitSignal", {settings, "SettingChanged", "ssv",
                                   QVariantList{"org.freedesktop.appearance", "color-scheme",
                                                QVariant::fromValue(QDBusVariant(preference))}});
    };
    ASSERT_TRUE(change(CDesktopColorScheme::PreferLight));
    EXPECT_TRUE(WaitUntil([&] { return !scheme.IsDarkApplied(); }));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), light.color(QPalette::Window));
    ASSERT_TRUE(change(CDesktopColorScheme::PreferDark));
    EXPECT_TRUE(WaitUntil([&] { return scheme.IsDarkApplied(); }));
}

} // namespace
