#include "ui/wizard/quickstart.h"

#include <QLineEdit>
#include <QRadioButton>
#include <memory>

#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "tasklib/actions.h"
#include "ui/common/framemessages.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/wizard/quickstartstep.h"
#include "workspace/quorvildoc.h"

namespace {

// The choices of step 1; each is also the mode in which its log is added.
constexpr int CHOICE_LOCAL_EVENT = ADD_MODE_WIZARD_LOCAL_EVENT;
constexpr int CHOICE_NETWORK_EVENT = ADD_MODE_WIZARD_EVENT;
constexpr int CHOICE_TEXT = ADD_MODE_WIZARD_TEXT;
constexpr int CHOICE_SAMPLE = ADD_MODE_WIZARD_SAMPLE;

bool IsEventChoice(int nChoice)
{
    return nChoice == CHOICE_LOCAL_EVENT || nChoice == CHOICE_NETWORK_EVENT;
}

// Step 1: the choice, or 0 on Cancel.
int AskChoice(QWidget* parent, bool bFirstStart)
{
    CQuickStartStep step(1, "Step 1 - Choosing Logs", 82, parent);
    step.AddText(
        bFirstStart
            ? QStringLiteral("Welcome to Quorvil! Choose one of the following Quick Start options "
                             "to get started right away:")
            : QStringLiteral("Choose one of the following Quorvil command options:"),
        "info");
    QRadioButton* choices[] = {
        step.AddChoice("choice1", QStringLiteral("Watch an NT event log on &My Computer")),
        step.AddChoice("choice2",
                       QStringLiteral("Watch an NT event log on another &network computer")),
        step.AddChoice("choice3", QStringLiteral("Watch a simple te&xt log on any computer")),
        step.AddChoice("choice4", QStringLiteral("Open the &example application text log")),
    };
    choices[bFirstStart ? CHOICE_SAMPLE - 1 : CHOICE_LOCAL_EVENT - 1]->setChecked(true);
    if (step.exec() != QDialog::Accepted)
        return 0;
    for (int i = 0; i < 4; ++i)
        if (choices[i]->isChecked())
            return i + 1;
    return 0;
}

// Step 2: whether to go on with a watch group.
bool AskWatchGroups(QWidget* parent)
{
    CQuickStartStep step(2, "Step 2 - Watch Groups", 62, parent);
    step.AddText(QStringLiteral("You can now start adding Watch Groups to the log that you "
                                "selected in the previous step:"));
    QRadioButton* yes =
        step.AddChoice("yes", QStringLiteral("&Yes!  I want Quorvil to examine the log for\nkeys I "
                                             "define, and take actions when it finds them."));
    step.AddChoice("no", QStringLiteral("&No.  I'm not interested in setting up Watch Groups,\nI "
                                        "only want to use Quorvil for browsing."));
    yes->setChecked(true);
    return step.exec() == QDialog::Accepted && yes->isChecked();
}

// Step 3: the new watch group's description.
bool AskDescription(QWidget* parent, const std::string& strLogName, int nChoice,
                    std::string& strDescription)
{
    CQuickStartStep step(3, "Step 3 - Configuring Watch Groups", 66, parent);
    step.AddText(QStringLiteral("The log you selected in the previous step was:"));
    step.AddText(ToQt(strLogName), "logName");
    const bool bSample = nChoice == CHOICE_SAMPLE;
    step.AddText(bSample
                     ? QStringLiteral(
                           "This example adds a Watch Group for catching the 'Memory Error' which "
                           "occurs in the sample log.\nThis is the Watch Group description:")
                     : QStringLiteral("\n\nEnter a description for this new Watch Group:"));
    QLineEdit* edit = step.AddEdit(
        "description",
        bSample ? QStringLiteral("Memory Errors") : QStringLiteral("Important Errors"), 50);
    if (step.exec() != QDialog::Accepted)
        return false;
    strDescription = FromQt(edit->text());
    return true;
}

// Step 4: how keys work for this kind of log.
bool ShowKeysInfo(QWidget* parent, int nChoice)
{
    CQuickStartStep step(4, "Step 4 - Configuring Keys", 62, parent);
    if (IsEventChoice(nChoice)) {
        step.AddText(QStringLiteral(
            "In an NT Event log, you must choose a combination of the event structure fields."));
        step.AddText(QStringLiteral(
            "For example, the 'EventLog' service logs an event ID of '6005' when it starts, "
            "which usually indicates a reboot."));
    } else {
        step.AddText(QStringLiteral(
            "In a text log, you choose a combination of either one or two text strings to look "
            "for in each line."));
        step.AddText(nChoice == CHOICE_SAMPLE
                         ? QStringLiteral("For the sample, we want to look for any lines with the "
                                          "phrase 'Memory Error'.")
                         : QStringLiteral("Make sure your search text is specific enough, or "
                                          "specify a second string."));
    }
    return step.exec() == QDialog::Accepted;
}

// The proposed key, shown in its dialog. Whatever the dialog's answer, a
// key is returned: the edited one on OK, the proposal otherwise.
std::unique_ptr<CSearchKey> MakeKey(IDocumentUi& ui, int nChoice)
{
    if (IsEventChoice(nChoice)) {
        auto key = std::make_unique<CSearchKeyEvent>();
        key->SetSourceValue("EventLog");
        key->SetEventIDValue(6005);
        CSearchKeyEvent edited(*key);
        if (ui.EditEventKey(edited))
            *key = edited;
        return key;
    }
    auto key = std::make_unique<CSearchKeyText>();
    key->m_strKey1 = nChoice == CHOICE_SAMPLE ? "Memory Error" : "<search text>";
    CSearchKeyText edited(*key);
    if (ui.EditTextKey(edited))
        *key = edited;
    return key;
}

// Step 5: what a task is.
bool ShowTaskInfo(QWidget* parent, int nChoice)
{
    CQuickStartStep step(5, "Step 5 - Configuring a task", 70, parent);
    step.AddText(QStringLiteral("The next step is to define a Task for this Watch Group."));
    step.AddText(QStringLiteral(
        "A Task is one or more actions you want performed when Quorvil finds this key."));
    step.AddText(nChoice == CHOICE_SAMPLE
                     ? QStringLiteral("For the example log, a message box action has been added to "
                                      "report a Memory Error.")
                     : QStringLiteral("A common action is to display a message box."));
    return step.exec() == QDialog::Accepted;
}

// Step 6: 1 to skip the existing entries, 0 to scan them, -1 when closed
// without "Done".
int AskScanStart(QWidget* parent, int nChoice)
{
    CQuickStartStep step(6, "Step 6 - Scanning", 65, parent);
    step.AddText(QStringLiteral("Your final step is to turn on the Quorvil scanner."));
    step.AddText(QStringLiteral(
        "Quorvil will start scanning this log from the beginning looking for keys."));
    const bool bSample = nChoice == CHOICE_SAMPLE;
    step.AddText(
        bSample ? QStringLiteral(
                      "For this example, Quorvil should report a 'Memory Error' within a minute.")
                : QStringLiteral(
                      "For larger logs, you may just want to skip to the end if you don't care "
                      "about old events."));
    QRadioButton* fromStart = step.AddChoice(
        "fromStart", QStringLiteral("&Start scanning from the very beginning of the log."));
    QRadioButton* ignore =
        step.AddChoice("ignore", QStringLiteral("&Ignore the old events already in the log."));
    (bSample ? fromStart : ignore)->setChecked(true);
    ignore->setEnabled(!bSample);
    if (step.exec() != QDialog::Accepted)
        return -1;
    return ignore->isChecked() ? 1 : 0;
}

} // namespace

void RunQuickStart(IMainFrame& frame, BOOL bFirstStart)
{
    CQuorvilDoc& doc = frame.GetDocument();
    QWidget* parent = frame.GetWindow();
    if (!doc.m_pManager)
        return;
    const int nChoice = AskChoice(parent, bFirstStart != FALSE);
    if (nChoice == 0)
        return;
    CScanPause pause(doc.m_pManager.get());

    const bool bEvent = IsEventChoice(nChoice);
    const DWORD dwID = bEvent ? doc.AddEventLogs(nChoice) : doc.AddTextLog(nChoice);
    if (dwID == 0)
        return;
    frame.SendFrameMessage(bEvent ? WM_SHOW_EVENT_VIEWER : WM_SHOW_TEXT_VIEWER, 0,
                           static_cast<LPARAM>(dwID));
    const CMonitoredObject* pLog = doc.m_pManager->FindLog(dwID);
    if (!pLog || !AskWatchGroups(parent))
        return;

    std::string strDescription;
    if (!AskDescription(parent, pLog->GetDisplayName(), nChoice, strDescription))
        return;
    auto group = std::make_unique<CKeysAndActions>();
    group->m_strDescription = strDescription;
    group->m_task.SetDescription("Task Actions");
    const int nGroup = doc.AddWatchGroup(dwID, group.release());
    if (nGroup < 0 || !ShowKeysInfo(parent, nChoice))
        return;

    doc.AddSearchKey(dwID, nGroup, MakeKey(doc.GetUi(), nChoice).release());
    if (!ShowTaskInfo(parent, nChoice))
        return;
    if (nChoice == CHOICE_SAMPLE) {
        if (const CKeysAndActions* pGroup = doc.m_pManager->FindWatchGroup(dwID, nGroup)) {
            CTask task = pGroup->m_task;
            CDisplayMessage action;
            action.SetMessage("A Memory Error was detected in the import");
            task.AddAction(action);
            doc.SetTask(dwID, nGroup, task);
        }
    }
    doc.EditTask(dwID, nGroup);

    const int nStart = AskScanStart(parent, nChoice);
    if (nStart < 0)
        return;
    if (CMonitoredObject* pAdded = doc.m_pManager->FindLog(dwID); pAdded && nStart == 1)
        pAdded->JumpToEnd();
    if (!doc.m_pManager->IsScanThreadRunning())
        doc.ScanCommands().Start();
}
