
#include "match/searchkeyevent.h"
#include "platform/eventlog/eventlog.h"
#include "screenshot.h"
#include "tests/workspace/testdoc.h"
#include "ui/common/framemessages.h"
#include "ui/wizard/quickstart.h"
#include "ui/wizard/quickstartstep.h"
#include "widgettest.h"

namespace {

// Runs the step's handler, then presses "Next >>" (or "Done") on each step.
struct CWizardDriver {
    using Handler = std::function<void(CQuickStartStep&)>;
    explicit CWizardDriver(const std::map<int, Handler>& handlers, bool bScreenshots = false)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, handlers, bScreenshots] {
            auto* step = qobject_cast<CQuickStartStep*>(QApplication::activeModalWidget());
            if (!step || step->property("answered").toBool())
                return;
            step->setProperty("answered", true);
            seen.push_back(step->GetStep());
            if (bScreenshots)
                SaveScreenshot(step, ("wizard-step" + std::to_string(step->GetStep())).c_str());
            if (auto it = handlers.find(step->GetStep()); it != handlers.end())
                it->second(*step);
            step->findChild<QPushButton*>(step->GetStep() == 6 ? "done" : "next")->click();
        });
        timer.start(0);
    }
    std::vector<int> seen;
    QTimer timer;
};

template <class T> T* Get(QDialog& step, const char* name)
{
    return step.findChild<T*>(name);
}

class QuickStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDocumentClasses();
        // The key dialogs are cancelled after a change.
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
        // The scan thread counts down; the test scans by itself.
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
    // Whether the scan runs, and how many pauses are left.
    std::pair<bool, int> Scanning()
    {
        return {Manager().IsScanThreadRunning(), Manager().m_nPauseCount.load()};
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
        {{1,
          [](CQuickStartStep& step) {
              EXPECT_EQ(step.windowTitle(), "Quorvil Quick Start ( Step 1 of 6 )");
              EXPECT_EQ(Get<QLabel>(step, "info")->text(),
                        "Welcome to Quorvil! Choose one of the following Quick Start options "
                        "to get started right away:");
              EXPECT_TRUE(Get<QRadioButton>(step, "choice4")->isChecked())
                  << "the sample is preselected";
          }},
         {3,
          [](CQuickStartStep& step) {
              EXPECT_EQ(Get<QLabel>(step, "logName")->text(), "Sample Log");
              EXPECT_EQ(Get<QLineEdit>(step, "description")->text(), "Memory Errors");
          }},
         {6,
          [](CQuickStartStep& step) {
              EXPECT_TRUE(Get<QRadioButton>(step, "fromStart")->isChecked());
              EXPECT_FALSE(Get<QRadioButton>(step, "ignore")->isEnabled());
          }}},
        true);
    RunQuickStart(frame, TRUE);

    EXPECT_EQ(driver.seen, std::vector<int>({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(std::tuple(ui.m_nSheetMode, keyDialogs, taskUi.m_nTaskDialogs),
              std::tuple(ADD_MODE_WIZARD_SAMPLE, 1, 1));
    EXPECT_TRUE(ui.m_messages.empty()) << ui.m_messages.front().text;
    CMonitoredObject* pLog = OnlyLog();
    ASSERT_NE(pLog, nullptr);
    ASSERT_FALSE(frame.m_messages.empty());
    EXPECT_EQ(frame.m_messages.back(),
              (CFrameMessage{WM_SHOW_TEXT_VIEWER, static_cast<LPARAM>(pLog->GetID())}));
    EXPECT_EQ(Scanning(), std::pair(true, 0)) << "the wizard's scan pause ended with it";
    EXPECT_TRUE(frame.m_doc.IsModified());

    // The first scan of the sample finds a Memory Error and shows the message.
    Manager().StopScanThread();
    pLog->ScanNow();
    std::vector<std::string> messages = taskUi.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Task Actions|A Memory Error was detected in the import");
}

TEST_F(QuickStart, CancelAddsNothingAndFromTheMenuNoKeepsOnlyTheLog)
{
    bSheetOk = false;
    {
        CWizardDriver cancelled({});
        RunQuickStart(frame, TRUE);
        EXPECT_EQ(cancelled.seen, std::vector<int>{1});
        EXPECT_EQ(Manager().GetLogCount(), 0) << "a cancelled log sheet ends the wizard";
        EXPECT_EQ(Scanning(), std::pair(false, 0));
    }
    bSheetOk = true;
    textLogPath = TestRoot() + "/app.log";
    std::ofstream(textLogPath) << "started\n";
    CWizardDriver driver({
        {1,
         [](CQuickStartStep& step) {
             EXPECT_EQ(Get<QLabel>(step, "info")->text(),
                       "Choose one of the following Quorvil command options:");
             EXPECT_TRUE(Get<QRadioButton>(step, "choice1")->isChecked());
             Get<QRadioButton>(step, "choice3")->setChecked(true);
         }},
        {2, [](CQuickStartStep& step) { Get<QRadioButton>(step, "no")->setChecked(true); }},
    });
    RunQuickStart(frame, FALSE);

    EXPECT_EQ(driver.seen, std::vector<int>({1, 2}));
    EXPECT_EQ(ui.m_nSheetMode, ADD_MODE_WIZARD_TEXT);
    CMonitoredObject* pLog = OnlyLog();
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(pLog->GetWatchGroupCount(), 0);
    EXPECT_EQ(Scanning(), std::pair(false, 0));
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
             EXPECT_EQ(Get<QLineEdit>(step, "description")->text(), "Important Errors");
             Get<QLineEdit>(step, "description")->setText("Reboots");
         }},
        {6,
         [](CQuickStartStep& step) {
             EXPECT_TRUE(Get<QRadioButton>(step, "ignore")->isChecked());
             EXPECT_TRUE(Get<QRadioButton>(step, "ignore")->isEnabled());
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
    EXPECT_EQ(std::pair(pKey->m_arrSources, pKey->m_arrEventIDs),
              std::pair(std::vector<std::string>{"EventLog"}, std::vector<DWORD>{6005}));
    EXPECT_TRUE(Manager().IsScanThreadRunning());
    EXPECT_EQ(dynamic_cast<CEventMonitor*>(pLog)->m_nLastRecord, 3u)
        << "Ignore moved the log to its end";
}
