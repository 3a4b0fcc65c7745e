#include "ui/frame/splash.h"
#include "widgettest.h"

// The first key press closes the splash window and goes no further.
TEST(Splash, FirstKeyPressClosesItAndIsSwallowed)
{
    QLineEdit edit;
    edit.show();
    QPointer<CSplashWindow> splash = new CSplashWindow;
    bool bClosed = false;
    QObject::connect(splash, &CSplashWindow::Closed, [&] { bClosed = true; });
    splash->show();

    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 5000)) << "closed and deleted";
    EXPECT_TRUE(bClosed);
    EXPECT_EQ(edit.text(), "");
    QTest::keyClick(&edit, Qt::Key_B);
    EXPECT_EQ(edit.text(), "b");
}
