#include <fstream>

#include "core/itemid.h"
#include "platform/base/fileio.h"
#include "ui/commands/logcommands.h"
#include "widgettest.h"

namespace {

const UINT LOG_COMMANDS[] = {ID_LOG_CONFIGURE,   ID_LOG_DELETE, ID_LOG_ENABLE,    ID_LOG_CLEAR,
                             ID_LOG_EDITOR,      ID_LOG_MARK,   ID_LOG_FAST_MARK, ID_LOG_EXPLORER,
                             ID_LOG_COMMAND_BOX, ID_LOG_RENAME};

// The commands enabled for an item, in the order of LOG_COMMANDS.
std::vector<UINT> EnabledFor(CQuorvilDoc& doc, DWORD dwID)
{
    std::vector<UINT> enabled;
    for (UINT nCommand : LOG_COMMANDS)
        if (IsLogCommandEnabled(doc, dwID, nCommand))
            enabled.push_back(nCommand);
    return enabled;
}

} // namespace

TEST(LogCommands, EnablingFollowsTheItemKindAndTheMarkRule)
{
    CFakeFrame frame;
    CQuorvilDoc& doc = frame.m_doc;
    CFileMonitor* pText = frame.AddTextLog("Text");
    const DWORD application = frame.AddEventLog("SRV", "Application")->GetID();
    const DWORD security = frame.AddEventLog("SRV", "Security")->GetID();
    const DWORD lowerCase = frame.AddEventLog("SRV", "application")->GetID();

    const std::vector<UINT> eventWithoutMark = {ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE,
                                                ID_LOG_CLEAR, ID_LOG_RENAME};
    EXPECT_EQ(EnabledFor(doc, pText->GetID()),
              (std::vector<UINT>{ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE, ID_LOG_CLEAR,
                                 ID_LOG_EDITOR, ID_LOG_MARK, ID_LOG_FAST_MARK, ID_LOG_EXPLORER,
                                 ID_LOG_COMMAND_BOX}));
    EXPECT_EQ(EnabledFor(doc, application),
              (std::vector<UINT>{ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE, ID_LOG_CLEAR,
                                 ID_LOG_MARK, ID_LOG_FAST_MARK, ID_LOG_RENAME}));
    EXPECT_EQ(EnabledFor(doc, security), eventWithoutMark);
    EXPECT_EQ(EnabledFor(doc, lowerCase), eventWithoutMark)
        << "the log name is compared with letter case";
    EXPECT_EQ(EnabledFor(doc, ITEM_KIND_SYSTEM_LOG),
              (std::vector<UINT>{ID_LOG_CLEAR, ID_LOG_EDITOR}));
    EXPECT_EQ(EnabledFor(doc, ITEM_KIND_TEXT_LOG | 99999), std::vector<UINT>{})
        << "a log that is not there";

    pText->SetEnabled(TRUE);
    EXPECT_EQ(LogCommandText(doc, pText->GetID(), ID_LOG_ENABLE), "Disa&ble\tCtrl+T");
    pText->SetEnabled(FALSE);
    EXPECT_EQ(LogCommandText(doc, pText->GetID(), ID_LOG_ENABLE), "Ena&ble\tCtrl+T");
}

TEST(LogCommands, ClearAsksFirstAndRenameSetsTheServer)
{
    CFakeFrame frame;
    CFileMonitor* pLog = frame.AddTextLog("Text", "clear.txt");
    const std::string path = pLog->GetFilePath();
    std::ofstream(path) << "line\n";
    CHintRecorder hints(frame.m_doc);
    std::vector<std::pair<std::string, UINT>> asked;
    int nAnswer = IDNO;
    SetMessageBoxAnswerer([&](const std::string& text, UINT type) {
        asked.emplace_back(text, type);
        return nAnswer;
    });

    RunLogCommand(frame, pLog->GetID(), ID_LOG_CLEAR);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first,
              "You will be unable to recover this log's contents once you clear it. "
              "Are you sure you want to clear it?");
    EXPECT_EQ(asked[0].second, UINT{MB_YESNO | MB_ICONQUESTION});
    EXPECT_EQ(ReadFileBytes(path), "line\n");
    EXPECT_TRUE(hints.m_hints.empty());

    nAnswer = IDYES;
    RunLogCommand(frame, pLog->GetID(), ID_LOG_CLEAR);
    SetMessageBoxAnswerer(nullptr);
    EXPECT_EQ(ReadFileBytes(path), std::nullopt) << "clearing a text log deletes its file";
    EXPECT_EQ(hints.m_hints,
              (std::vector<std::pair<ViewHint, DWORD>>{{ViewHint::LogState, pLog->GetID()}}));

    // Rename Server, on an event log.
    CEventMonitor* pEvent = frame.AddEventLog("OLDSRV", "System");
    hints.m_hints.clear();
    auto rename = [&](const QString& name, bool bOK) {
        QString preset;
        OnNextDialog([&](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), "Rename Server");
            auto* edit = d->findChild<QLineEdit*>("edit");
            preset = edit->text();
            edit->setText(name);
            bOK ? d->accept() : d->reject();
        });
        RunLogCommand(frame, pEvent->GetID(), ID_LOG_RENAME);
        return preset;
    };

    EXPECT_EQ(rename("", true), "OLDSRV") << "the dialog opens with the current name";
    rename("NEWSRV", false);
    EXPECT_EQ(pEvent->m_strServer, "OLDSRV") << "an empty name and Cancel change nothing";
    EXPECT_TRUE(hints.m_hints.empty());

    rename("NEWSRV", true);
    EXPECT_EQ(pEvent->GetDisplayName(), "NEWSRV\\System");
    EXPECT_EQ(hints.m_hints,
              (std::vector<std::pair<ViewHint, DWORD>>{{ViewHint::LogRenamed, pEvent->GetID()}}));
}
