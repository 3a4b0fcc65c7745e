#include "ui/commands/logcommands.h"

#include <QLineEdit>
#include <QMenu>

#include <gtest/gtest.h>

#include "app/settings/appsettings.h"
#include "core/model/itemid.h"
#include "ui/common/messagebox.h"
#include "uitestsupport.h"

namespace {

const UINT kCommands[] = {ID_LOG_CONFIGURE, ID_LOG_DELETE,    ID_LOG_ENABLE,  ID_LOG_CLEAR,
                          ID_LOG_EDITOR,    ID_LOG_MARK,      ID_LOG_FAST_MARK, ID_LOG_EXPLORER,
                          ID_LOG_COMMAND_BOX, ID_LOG_RENAME};

// The commands enabled for an item, in the order of kCommands.
std::vector<UINT> EnabledFor(CQuorvilDoc& doc, DWORD dwID)
{
    std::vector<UINT> enabled;
    for (UINT nCommand : kCommands)
        if (IsLogCommandEnabled(doc, dwID, nCommand))
            enabled.push_back(nCommand);
    return enabled;
}

// Answers every message box with the given answer and records the texts.
struct CAnswerer {
    explicit CAnswerer(int nAnswer)
    {
        SetMessageBoxAnswerer([this, nAnswer](const std::string& text, UINT type) {
            m_asked.emplace_back(text, type);
            return nAnswer;
        });
    }
    ~CAnswerer() { SetMessageBoxAnswerer(nullptr); }
    std::vector<std::pair<std::string, UINT>> m_asked;
};

} // namespace

TEST(LogCommands, EnablingFollowsTheItemKindAndTheMarkRule)
{
    CFakeFrame frame;
    CQuorvilDoc& doc = frame.m_doc;
    const DWORD text = frame.AddTextLog("Text")->GetID();
    const DWORD application = frame.AddEventLog("SRV", "Application")->GetID();
    const DWORD security = frame.AddEventLog("SRV", "Security")->GetID();
    const DWORD lowerCase = frame.AddEventLog("SRV", "application")->GetID();

    const std::vector<UINT> allText = {ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE,   ID_LOG_CLEAR,
                                       ID_LOG_EDITOR,    ID_LOG_MARK,   ID_LOG_FAST_MARK, ID_LOG_EXPLORER,
                                       ID_LOG_COMMAND_BOX};
    const std::vector<UINT> eventWithMark = {ID_LOG_CONFIGURE, ID_LOG_DELETE,    ID_LOG_ENABLE, ID_LOG_CLEAR,
                                             ID_LOG_MARK,      ID_LOG_FAST_MARK, ID_LOG_RENAME};
    const std::vector<UINT> eventWithoutMark = {ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE, ID_LOG_CLEAR,
                                                ID_LOG_RENAME};
    EXPECT_EQ(EnabledFor(doc, text), allText);
    EXPECT_EQ(EnabledFor(doc, application), eventWithMark);
    EXPECT_EQ(EnabledFor(doc, security), eventWithoutMark);
    EXPECT_EQ(EnabledFor(doc, lowerCase), eventWithoutMark) << "the log name is compared with letter case";
    EXPECT_EQ(EnabledFor(doc, ITEM_KIND_SYSTEM_LOG), (std::vector<UINT>{ID_LOG_CLEAR, ID_LOG_EDITOR}));
    EXPECT_EQ(EnabledFor(doc, ITEM_KIND_TEXT_LOG | 99999), std::vector<UINT>{}) << "a log that is not there";
    EXPECT_FALSE(IsLogCommandEnabled(doc, text, ID_EDIT_COPY));
}

TEST(LogCommands, MenuTextsFollowTheLogAndTheMenu)
{
    CFakeFrame frame;
    CFileMonitor* pLog = frame.AddTextLog("Text");
    pLog->SetEnabled(TRUE);
    EXPECT_EQ(LogCommandText(frame.m_doc, pLog->GetID(), ID_LOG_ENABLE), "Disa&ble\tCtrl+T");
    pLog->SetEnabled(FALSE);
    EXPECT_EQ(LogCommandText(frame.m_doc, pLog->GetID(), ID_LOG_ENABLE), "Ena&ble\tCtrl+T");
    EXPECT_EQ(LogCommandText(frame.m_doc, pLog->GetID(), ID_LOG_DELETE, false), "&Delete\tDel");
    EXPECT_EQ(LogCommandText(frame.m_doc, pLog->GetID(), ID_LOG_DELETE, true),
              "&Delete" + QString(30, ' ') + "\tDel");

    QMenu menu;
    QAction* mark = AddLogCommand(menu, frame.m_doc, ITEM_KIND_SYSTEM_LOG, ID_LOG_MARK);
    QAction* clear = AddLogCommand(menu, frame.m_doc, ITEM_KIND_SYSTEM_LOG, ID_LOG_CLEAR);
    EXPECT_EQ(mark->text(), "Ma&rk...\tCtrl+K");
    EXPECT_FALSE(mark->isEnabled());
    EXPECT_TRUE(clear->isEnabled());
    EXPECT_EQ(clear->data().toUInt(), ID_LOG_CLEAR);
}

TEST(LogCommands, ClearAsksAndNoKeepsTheFile)
{
    CFakeFrame frame;
    CFileMonitor* pLog = frame.AddTextLog("Text", "clear.txt");
    const std::string path = pLog->GetFilePath();
    WriteWholeFile(path, "line\n");
    {
        CAnswerer no(IDNO);
        RunLogCommand(frame, pLog->GetID(), ID_LOG_CLEAR);
        ASSERT_EQ(no.m_asked.size(), 1u);
        EXPECT_EQ(no.m_asked[0].first, "You will be unable to recover this log's contents once you clear it. "
                                       "Are you sure you want to clear it?");
        EXPECT_EQ(no.m_asked[0].second, UINT{MB_YESNO | MB_ICONQUESTION});
        EXPECT_EQ(ReadWholeFile(path), "line\n");
    }
    CHintRecorder hints(frame.m_doc);
    CAnswerer yes(IDYES);
    RunLogCommand(frame, pLog->GetID(), ID_LOG_CLEAR);
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(hints.m_hints, (std::vector<std::pair<LPARAM, DWORD>>{{HINT_LOG_STATE, pLog->GetID()}}));
}

TEST(LogCommands, MarkAsksForTheTextAndFastMarkUsesTheSetting)
{
    CFakeFrame frame;
    CFileMonitor* pLog = frame.AddTextLog("Text", "mark.txt");
    const std::string path = pLog->GetFilePath();
    WriteWholeFile(path, "");

    QString preset;
    {
        CNextDialog dialog([&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Enter Mark Text");
            auto* edit = d.findChild<QLineEdit*>("edit");
            ASSERT_NE(edit, nullptr);
            preset = edit->text();
            EXPECT_EQ(edit->maxLength(), 200);
            edit->setText("Checked the disk");
            d.accept();
        });
        RunLogCommand(frame, pLog->GetID(), ID_LOG_MARK);
        EXPECT_TRUE(dialog.WasShown());
    }
    EXPECT_EQ(preset, "My Mark");
    {
        CNextDialog cancel([](QDialog& d) { d.reject(); });
        RunLogCommand(frame, pLog->GetID(), ID_LOG_MARK);
    }
    AppSettings::SetFastMark("--- quick ---");
    RunLogCommand(frame, pLog->GetID(), ID_LOG_FAST_MARK);
    EXPECT_EQ(ReadWholeFile(path), "Checked the disk\n--- quick ---\n") << "Cancel writes nothing";

    CEventMonitor* pSecurity = frame.AddEventLog("SRV", "Security");
    CNextDialog none([](QDialog&) {});
    RunLogCommand(frame, pSecurity->GetID(), ID_LOG_MARK);
    EXPECT_FALSE(none.WasShown()) << "Mark is not offered for a log other than Application";
}

TEST(LogCommands, RenameSetsTheServerAndSendsTheRenamedHint)
{
    CFakeFrame frame;
    CEventMonitor* pLog = frame.AddEventLog("OLDSRV", "System");
    CHintRecorder hints(frame.m_doc);
    auto rename = [&](const QString& name, bool bOK) {
        QString preset;
        CNextDialog dialog([&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Rename Server");
            auto* edit = d.findChild<QLineEdit*>("edit");
            preset = edit->text();
            edit->setText(name);
            bOK ? d.accept() : d.reject();
        });
        RunLogCommand(frame, pLog->GetID(), ID_LOG_RENAME);
        return preset;
    };

    EXPECT_EQ(rename("", true), "OLDSRV");
    EXPECT_EQ(rename("NEWSRV", false), "OLDSRV");
    EXPECT_EQ(pLog->m_strServer, "OLDSRV") << "an empty name and Cancel change nothing";
    EXPECT_TRUE(hints.m_hints.empty());

    rename("NEWSRV", true);
    EXPECT_EQ(pLog->m_strServer, "NEWSRV");
    EXPECT_EQ(pLog->GetDisplayName(), "NEWSRV\\System");
    EXPECT_EQ(hints.m_hints, (std::vector<std::pair<LPARAM, DWORD>>{{HINT_LOG_RENAMED, pLog->GetID()}}));
}

TEST(LogCommands, ConfigureOpensTheLogsSheetAndToggleFlipsTheLog)
{
    CFakeFrame frame;
    CEventMonitor* pLog = frame.AddEventLog("SRV", "System");
    pLog->SetEnabled(TRUE);
    RunLogCommand(frame, pLog->GetID(), ID_LOG_CONFIGURE);
    EXPECT_EQ(frame.m_ui.m_sheets, std::vector<std::string>{"SRV\\System"});
    EXPECT_EQ(frame.m_doc.m_pManager->m_nPauseCount.load(), 0) << "the scan pause ends with the dialog";
    RunLogCommand(frame, pLog->GetID(), ID_LOG_ENABLE);
    EXPECT_FALSE(pLog->IsEnabled());
    RunLogCommand(frame, pLog->GetID(), ID_LOG_EXPLORER); // not served for event logs: nothing happens
}
