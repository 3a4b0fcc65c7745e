// Configure on a journal and an .evtx log: bad sources refused, scan positions kept.

#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "ui/commands/logcommands.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/sourcesheets.h"
#include "widgettest.h"

namespace {

// The desktop's journal and .evtx sheets; every other dialog cancelled.
class CSheetUi final : public CCancellingUi {
public:
    BOOL EditJournalSheet(CJournalMonitor& log, BOOL bAdding) override
    {
        return RunJournalSheet(nullptr, log, bAdding);
    }
    BOOL EditEvtxSheet(CEvtxMonitor& log, BOOL bAdding) override
    {
        return RunEvtxSheet(nullptr, log, bAdding);
    }
};

// The sheet after a refused OK: open, the page in front, the focus, the message.
struct CRefusal {
    bool bOpen = false;
    QString tab;
    bool bFieldFocused = false;
    std::string message;
};

template <class Sheet>
CRefusal PressOk(Sheet* sheet, QWidget* field, const CMessageRecorder& messages)
{
    sheet->GetTabs()->setCurrentIndex(0);
    sheet->accept();
    QTabWidget* tabs = sheet->GetTabs();
    return {sheet->isVisible(), tabs->tabText(tabs->currentIndex()), sheet->focusWidget() == field,
            messages.Last()};
}

} // namespace

TEST(SourceSheets, JournalMatchesAndEvtxPathsAreCheckedAndStored)
{
    CSheetUi ui;
    CFakeFrame frame(&ui);
    auto* pLog = new CJournalMonitor;
    pLog->m_strDirectory = TestRoot() + "/journal";
    pLog->m_arrMatches = {"_SYSTEMD_UNIT=ssh.service"};
    pLog->m_strCursor = "s=1;i=10";
    frame.m_doc.m_pManager->AddLog(pLog);
    ASSERT_TRUE(IsLogCommandEnabled(frame.m_doc, pLog->GetID(), ID_LOG_CONFIGURE));

    CMessageRecorder messages;
    CRefusal refused;
    QStringList tabs;
    QString shownMatches;
    OnNextDialog<CDlgEditJournal>([&](CDlgEditJournal* sheet) {
        tabs = Texts(sheet->GetTabs());
        auto* matches = Child<QPlainTextEdit>(sheet, "matches");
        shownMatches = matches->toPlainText();
        matches->setPlainText("SYSLOG_IDENTIFIER=sshd\nPRIORITY=0..three");
        refused = PressOk(sheet, matches, messages);
        // A scan went on meanwhile.
        pLog->m_strCursor = "s=1;i=20";
        matches->setPlainText("SYSLOG_IDENTIFIER=sshd\n\n  PRIORITY=0..3 \n");
        Child<QSpinBox>(sheet, "interval")->setValue(5);
        sheet->accept();
    });
    RunLogCommand(frame, pLog->GetID(), ID_LOG_CONFIGURE);

    EXPECT_EQ(tabs, (QStringList{"Scanning", "Source", "Watches", "Security"}));
    EXPECT_EQ(shownMatches, "_SYSTEMD_UNIT=ssh.service");
    EXPECT_TRUE(refused.bOpen && refused.bFieldFocused && refused.tab == "Source");
    EXPECT_EQ(refused.message, "'PRIORITY=0..three' is not a range of whole numbers low..high");
    EXPECT_EQ(std::tuple(pLog->m_arrMatches, pLog->GetInterval(), pLog->m_strCursor),
              std::tuple(std::vector<std::string>{"SYSLOG_IDENTIFIER=sshd", "PRIORITY=0..3"}, 5,
                         std::string("s=1;i=20")))
        << "the matches apply from the entry reached";

    // Another folder: the old cursor means nothing there.
    OnNextDialog<CDlgEditJournal>([&](CDlgEditJournal* sheet) {
        Child<QLineEdit>(sheet, "directory")->setText("");
        sheet->accept();
    });
    RunLogCommand(frame, pLog->GetID(), ID_LOG_CONFIGURE);
    EXPECT_EQ(std::tuple(pLog->m_strDirectory, pLog->m_strCursor, bool(pLog->m_bReadExisting)),
              std::tuple(std::string(), std::string(), false))
        << "without a cursor the next scan starts at the end";

    // Logs > New journal: the same sheet, adding; the box reads what is there.
    for (const bool bReadExisting : {true, false}) {
        QString title;
        OnNextDialog<CDlgEditJournal>([&](CDlgEditJournal* sheet) {
            title = sheet->windowTitle();
            // No journal there yet: the first scan starts at the end it finds.
            Child<QLineEdit>(sheet, "directory")
                ->setText(QString::fromStdString(TestRoot() + "/no-journal"));
            Child<QPlainTextEdit>(sheet, "matches")->setPlainText("PRIORITY=0..3");
            Child<QCheckBox>(sheet, "jump")->setChecked(bReadExisting);
            sheet->accept();
        });
        auto* pNew = dynamic_cast<CJournalMonitor*>(
            frame.m_doc.m_pManager->FindLog(frame.m_doc.AddJournal()));
        ASSERT_NE(pNew, nullptr);
        EXPECT_EQ(std::tuple(title, pNew->m_arrMatches, bool(pNew->m_bReadExisting)),
                  std::tuple(QString("Add Journal"), std::vector<std::string>{"PRIORITY=0..3"},
                             bReadExisting));
    }

    // An .evtx log's path, the same or another one.
    auto* pEvtx = new CEvtxMonitor;
    pEvtx->m_strPath = "/srv/evtx/Security.evtx";
    pEvtx->m_nLastRecord = 42;
    frame.m_doc.m_pManager->AddLog(pEvtx);

    struct Case {
        const char* path;
        std::uint64_t nScanned; // where a scan took the live log meanwhile
        std::uint64_t nExpected;
    };
    const std::string folder = TestRoot() + "/no-evtx-yet";
    const Case cases[] = {
        {"/srv/evtx/Security.evtx", 50, 50}, // same path: the position the scan reached
        {folder.c_str(), 60, 0},             // another path: its newest record (none yet)
    };
    for (const Case& c : cases) {
        OnNextDialog<CDlgEditEvtx>([&](CDlgEditEvtx* sheet) {
            auto* path = Child<QLineEdit>(sheet, "path");
            path->setText("  ");
            refused = PressOk(sheet, path, messages);
            pEvtx->m_nLastRecord = c.nScanned;
            path->setText(c.path);
            sheet->accept();
        });
        RunLogCommand(frame, pEvtx->GetID(), ID_LOG_CONFIGURE);
        EXPECT_TRUE(refused.bOpen && refused.bFieldFocused && refused.tab == "Source") << c.path;
        EXPECT_EQ(refused.message, "Enter the path of an .evtx file or of a folder of them.");
        EXPECT_EQ(std::tuple(pEvtx->m_strPath, pEvtx->m_nLastRecord),
                  std::tuple(std::string(c.path), c.nExpected));
    }
}
