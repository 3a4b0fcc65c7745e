
#include "core/itemid.h"
#include "platform/base/fileio.h"
#include "ui/commands/logcommands.h"
#include "widgettest.h"

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
