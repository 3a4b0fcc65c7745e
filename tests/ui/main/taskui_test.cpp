
#include "core/frontend.h"
#include "tasklib/actions.h"
#include "ui/main/qttaskui.h"
#include "widgettest.h"

namespace {

// A text log whose watch group shows a message for each "Boom" line.
class TaskMessageTest : public ::testing::Test {
protected:
    TaskMessageTest()
    {
        RegisterDocumentClasses();
        SetMainWindowQueue(&m_queue);
        SetTaskUi(&m_taskUi);
        m_doc.OnNewDocument();
        const std::string dir = std::string(std::getenv("QUORVIL_TEST_ROOT")) + "/";
        std::ofstream(m_strLog = dir + "app.log") << "first line\nBoom in the disk\n";

        auto* pLog = new CFileMonitor;
        pLog->m_strShortDescription = "App";
        pLog->m_strDirectory = dir;
        pLog->m_strFileName = "app.log";
        pLog->SetEnabled(TRUE);
        pLog->SetInterval(1); // first due a second after it joins the list
        CKeysAndActions* pGroup = TextGroup("Booms", {"Boom"});
        pGroup->m_task.SetDescription("Disk alarm");
        CDisplayMessage message;
        message.SetMessage("Something went boom");
        pGroup->m_task.AddAction(message);
        pLog->AddWatchGroup(pGroup);
        m_doc.m_pManager->AddLog(pLog);
    }
    ~TaskMessageTest() override
    {
        if (m_doc.m_pManager->IsScanThreadRunning())
            m_doc.m_pManager->StopScanThread();
        for (QWidget* w : QApplication::topLevelWidgets())
            delete qobject_cast<QMessageBox*>(w);
        SetTaskUi(nullptr);
        SetMainWindowQueue(nullptr);
    }

    QMessageBox* MessageWindow() const
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                return box;
        return nullptr;
    }

    // Whether the scan thread reported a log's change since the last look.
    bool ScanReported()
    {
        while (auto msg = m_queue.Peek())
            if (msg->message == WM_SCAN_PROGRESS)
                return true;
        return false;
    }

    std::string m_strLog;
    CMessageQueue m_queue;
    CQtTaskUi m_taskUi;
    CQuorvilDoc m_doc;
};

} // namespace

TEST_F(TaskMessageTest, MessageShowsWithoutBlockingTheWindowAndNeitherBlocksTheScanNorItsStop)
{
    // On the window thread (a menu command) it returns at once.
    m_taskUi.ShowTaskMessage("Test", "shown from a menu command");
    ASSERT_NE(MessageWindow(), nullptr);
    EXPECT_EQ(MessageWindow()->text(), "shown from a menu command");
    MessageWindow()->close();

    ASSERT_TRUE(m_doc.m_pManager->StartScanThread());
    ASSERT_TRUE(QTest::qWaitFor([&] { return MessageWindow() != nullptr; }, 10000));
    QMessageBox* box = MessageWindow();
    EXPECT_EQ(box->windowTitle(), "Disk alarm");
    EXPECT_EQ(box->text(), "Something went boom");
    EXPECT_FALSE(box->isModal()) << "the window stays usable";
    EXPECT_FALSE(ScanReported()) << "the scan waits while the message is open";

    box->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ScanReported(); }, 10000));

    // Stop while the next message is open does not hang.
    std::ofstream(m_strLog, std::ios::app) << "Boom again\n";
    ASSERT_TRUE(QTest::qWaitFor([&] { return MessageWindow() != nullptr; }, 10000));
    m_doc.ScanCommands().Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_doc.m_pManager->IsScanThreadRunning(); }, 10000));
}
