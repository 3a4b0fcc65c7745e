#include <fstream>
#include <map>
#include <sstream>

#include "match/searchkeyevent.h"
#include "platform/eventlog/eventlog.h"
#include "screenshot.h"
#include "tests/workspace/testdoc.h"
#include "tools/qvws/qvws.h"
#include "ui/common/framemessages.h"
#include "ui/wizard/quickstart.h"
#include "ui/wizard/quickstartstep.h"
#include "widgettest.h"

namespace {

// Answers each wizard step as it comes up: by the test's handler for that
// step, else with "Next >>" (or "Done"); renders each step for the docs
// when told.
class CWizardDriver {
public:
    using Handler = std::function<void(CQuickStartStep&)>;
    explicit CWizardDriver(std::map<int, Handler> handlers, bool bScreenshots = false)
        : m_handlers(std::move(handlers)), m_bScreenshots(bScreenshots)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(0);
    }
    std::vector<int> seen;
    std::vector<QString> titles;

private:
    void Poll()
    {
        auto* step = qobject_cast<CQuickStartStep*>(QApplication::activeModalWidget());
        if (!step || step->property("answered").toBool())
            return;
        step->setProperty("answered", true);
        seen.push_back(step->GetStep());
        titles.push_back(step->windowTitle());
        if (m_bScreenshots)
            SaveScreenshot(step, ("wizard-step" + std::to_string(step->GetStep())).c_str());
        auto it = m_handlers.find(step->GetStep());
        if (it != m_handlers.end())
            it->second(*step);
        else
            Press(*step, step->GetStep() == 6 ? "done" : "next");
    }

public:
    static void Press(QDialog& step, const char* button)
    {
        step.findChild<QPushButton*>(button)->click();
    }
    static void Choose(QDialog& step, const char* choice)
    {
        step.findChild<QRadioButton*>(choice)->setChecked(true);
    }

private:
    std::map<int, Handler> m_handlers;
    bool m_bScreenshots;
    QTimer m_timer;
};

class QuickStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDocumentClasses();
        // The text-log sheet takes textLogPath, if any; the network dialog
        // the local Application log; the key dialogs are cancelled after the
        // user changed something.
        ui.m_onTextSheet = [this](CFileMonitor& log) {
            if (!textLogPath.empty()) {
                log.m_strDirectory = textLogPath.substr(0, textLogPath.rfind('/') + 1);
                log.m_strFileName = textLogPath.substr(textLogPath.rfind('/') + 1);
            }
            return bSheetOk;
        };
        ui.m_onEventKey = [this](CSearchKeyEvent& key) {
            ++keyDialogs;
            key.SetSourceValue("changed, then cancelled");
            return FALSE;
        };
        ui.m_onTextKey = [this](CSearchKeyText& key) {
            ++keyDialogs;
            key.m_strKey1 = "changed, then cancelled";
            return FALSE;
        };
        ui.m_network = {"TESTHOST\\Application"};
        ui.m_nDefaultAnswer = IDYES;
        frame.m_doc.SetUi(&ui);
        ASSERT_TRUE(frame.m_doc.OnNewDocument());
        frame.m_doc.m_strSampleDirectory = QUORVIL_TEST_DATA_DIR "/";
        // The scan thread counts down instead of scanning, so that the test
        // scans by itself.
        frame.m_doc.m_pManager->m_nStartDelay = 3600;
    }
    void TearDown() override
    {
        frame.m_doc.m_pManager->StopScanThread();
        frame.m_doc.SetUi(nullptr);
    }
    CMonManager& Manager() { return *frame.m_doc.m_pManager; }
    CMonitoredObject* OnlyLog()
    {
        EXPECT_EQ(Manager().GetLogCount(), 1);
        int pos = 0;
        return Manager().GetNextLog(pos);
    }

    CFakeFrame frame;
    CScriptedUi ui;
    CTaskUiRecorder taskUi;
    bool bSheetOk = true;
    std::string textLogPath; // what the text-log sheet chooses, if anything
    int keyDialogs = 0;
};

} // namespace

TEST_F(QuickStart, SampleOnFirstStartBuildsTheMemoryErrorWatchAndItsFirstScanRunsTheTask)
{
    CWizardDriver driver(
        {
            {1,
             [](CQuickStartStep& step) {
                 EXPECT_EQ(step.findChild<QLabel*>("info")->text(),
                           "Welcome to Quorvil! Choose one of the following Quick Start options "
                           "to get started right away:");
                 EXPECT_TRUE(step.findChild<QRadioButton*>("choice4")->isChecked())
                     << "the sample is preselected";
                 CWizardDriver::Press(step, "next");
             }},
            {3,
             [](CQuickStartStep& step) {
                 EXPECT_EQ(step.findChild<QLabel*>("logName")->text(), "Sample Log");
                 EXPECT_EQ(step.findChild<QLineEdit*>("description")->text(), "Memory Errors");
                 CWizardDriver::Press(step, "next");
             }},
            {6,
             [](CQuickStartStep& step) {
                 EXPECT_TRUE(step.findChild<QRadioButton*>("fromStart")->isChecked());
                 EXPECT_FALSE(step.findChild<QRadioButton*>("ignore")->isEnabled());
                 CWizardDriver::Press(step, "done");
             }},
        },
        true);
    RunQuickStart(frame, TRUE);

    EXPECT_EQ(driver.seen, std::vector<int>({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(driver.titles.front(), "Quorvil Quick Start ( Step 1 of 6 )");
    EXPECT_EQ(driver.titles.back(), "Quorvil Quick Start  ( Step 6 of 6 )");
    EXPECT_EQ(std::tuple(ui.m_nSheetMode, keyDialogs, taskUi.m_nTaskDialogs),
              std::tuple(ADD_MODE_WIZARD_SAMPLE, 1, 1));
    EXPECT_TRUE(ui.m_messages.empty()) << ui.m_messages.front().text;
    CMonitoredObject* pLog = OnlyLog();
    ASSERT_NE(pLog, nullptr);
    ASSERT_FALSE(frame.m_messages.empty());
    EXPECT_EQ(frame.m_messages.back(),
              (CFrameMessage{WM_SHOW_TEXT_VIEWER, static_cast<LPARAM>(pLog->GetID())}));
    EXPECT_TRUE(Manager().IsScanThreadRunning());
    EXPECT_EQ(Manager().m_nPauseCount.load(), 0) << "the wizard's scan pause ended with it";
    EXPECT_TRUE(frame.m_doc.IsModified());

    // The workspace as the workspace tool shows it.
    const std::string path = TestRoot() + "/sample.qvw";
    ASSERT_TRUE(frame.m_doc.OnSaveDocument(path));
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(RunQvWs({"dump", path}, in, out, err), 0) << err.str();
    const std::string json = out.str();
    for (const char* part : {"\"fileName\": \"qvsample.log\"", "\"description\": \"Sample Log\"",
                             "\"description\": \"Memory Errors\"", "\"key1\": \"Memory Error\"",
                             "\"description\": \"Task Actions\"",
                             "\"text\": \"A Memory Error was detected in the import\""})
        EXPECT_NE(json.find(part), std::string::npos) << part << " in\n" << json;

    // The first scan of the sample finds a Memory Error and shows the message.
    Manager().StopScanThread();
    pLog->ScanNow();
    std::vector<std::string> messages = taskUi.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Task Actions|A Memory Error was detected in the import");
}

TEST_F(QuickStart, CancelAddsNothingAndFromTheMenuNoKeepsOnlyTheLog)
{
    // A cancelled log sheet ends the wizard without adding anything.
    bSheetOk = false;
    {
        CWizardDriver cancelled({});
        RunQuickStart(frame, TRUE);
        EXPECT_EQ(cancelled.seen, std::vector<int>{1});
        EXPECT_EQ(std::tuple(Manager().GetLogCount(), Manager().IsScanThreadRunning(),
                             Manager().m_nPauseCount.load()),
                  std::tuple(0, FALSE, 0));
    }
    bSheetOk = true;
    const std::string textLog = TestRoot() + "/app.log";
    std::ofstream(textLog) << "started\n";
    textLogPath = textLog;
    CWizardDriver driver({
        {1,
         [](CQuickStartStep& step) {
             EXPECT_EQ(step.findChild<QLabel*>("info")->text(),
                       "Choose one of the following Quorvil command options:");
             EXPECT_TRUE(step.findChild<QRadioButton*>("choice1")->isChecked());
             CWizardDriver::Choose(step, "choice3");
             CWizardDriver::Press(step, "next");
         }},
        {2,
         [](CQuickStartStep& step) {
             CWizardDriver::Choose(step, "no");
             CWizardDriver::Press(step, "next");
         }},
    });
    RunQuickStart(frame, FALSE);

    EXPECT_EQ(driver.seen, std::vector<int>({1, 2}));
    EXPECT_EQ(ui.m_nSheetMode, ADD_MODE_WIZARD_TEXT);
    CMonitoredObject* pLog = OnlyLog();
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(pLog->GetWatchGroupCount(), 0);
    EXPECT_FALSE(Manager().IsScanThreadRunning());
    EXPECT_EQ(Manager().m_nPauseCount.load(), 0);
}

TEST_F(QuickStart, EventLogGetsTheProposedRebootKeyEvenWhenItsDialogIsCancelledAndSkipsOldEvents)
{
    // Three reboots are in the log already.
    HANDLE hSource = RegisterEventSourceInLogA(nullptr, "Application", "EventLog");
    ASSERT_NE(hSource, nullptr);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(ReportEventA(hSource, EVENTLOG_INFORMATION_TYPE, 0, 6005, nullptr, 0, 0,
                                 nullptr, nullptr));
    DeregisterEventSource(hSource);

    CWizardDriver driver({
        {3,
         [](CQuickStartStep& step) {
             EXPECT_EQ(step.findChild<QLineEdit*>("description")->text(), "Important Errors");
             step.findChild<QLineEdit*>("description")->setText("Reboots");
             CWizardDriver::Press(step, "next");
         }},
        {6,
         [](CQuickStartStep& step) {
             EXPECT_TRUE(step.findChild<QRadioButton*>("ignore")->isChecked());
             EXPECT_TRUE(step.findChild<QRadioButton*>("ignore")->isEnabled());
             CWizardDriver::Press(step, "done");
         }},
    });
    RunQuickStart(frame, FALSE);

    EXPECT_EQ(driver.seen, std::vector<int>({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ui.m_nNetworkMode, ADD_MODE_WIZARD_LOCAL_EVENT);
    CMonitoredObject* pLog = OnlyLog();
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(frame.m_messages.back(),
              (CFrameMessage{WM_SHOW_EVENT_VIEWER, static_cast<LPARAM>(pLog->GetID())}));
    ASSERT_EQ(pLog->GetWatchGroupCount(), 1);
    CKeysAndActions* pGroup = pLog->GetWatchGroup(0);
    EXPECT_EQ(pGroup->m_strDescription, "Reboots");
    EXPECT_EQ(pGroup->m_task.GetActionCount(), 0) << "only the sample gets a message action";
    ASSERT_EQ(pGroup->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyEvent*>(pGroup->m_arrKeys[0]);
    ASSERT_NE(pKey, nullptr);
    EXPECT_EQ(pKey->m_arrSources, std::vector<std::string>{"EventLog"});
    EXPECT_EQ(pKey->m_arrEventIDs, std::vector<DWORD>{6005});
    EXPECT_TRUE(Manager().IsScanThreadRunning());
    EXPECT_EQ(dynamic_cast<CEventMonitor*>(pLog)->m_nLastRecord, 3u)
        << "Ignore moved the log to its end";
}
