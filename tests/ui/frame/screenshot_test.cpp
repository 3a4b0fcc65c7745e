// The main window on the demo workspace, for the README.
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/frontend.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "ui/common/framemessages.h"
#include "ui/frame/mainframe.h"

TEST(MainFrameScreenshot, DemoWorkspace)
{
    const char* binary = std::getenv("QUORVIL_BINARY_DIR");
    const std::string demo = std::string(binary ? binary : ".") + "/data/demo/demo.qvw";
    if (!std::filesystem::exists(demo))
        GTEST_SKIP() << "the demo workspace is not built";
    RegisterDocumentClasses();
    AppSettings::SetFirstTimeFlag(1);
    CMessageQueue queue;
    SetMainWindowQueue(&queue);
    {
        CQuorvilDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(demo));
        CMainFrame frame(doc, queue);
        frame.resize(900, 520);
        frame.show();
        frame.SendFrameMessage(WM_SHOW_TEXT_LOGS, 0, 0);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_EQ(frame.windowTitle(), "demo.qvw - Quorvil");
        SaveScreenshot(&frame, "main-window");
    }
    SetMainWindowQueue(nullptr);
}
