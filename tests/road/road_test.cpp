#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/frontend.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "isolated_env.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "tasklib/actions.h"
#include "tasks/trigger.h"
#include "textlog/filemonitor.h"

namespace {

CKeysAndActions* WritingGroup(CSearchKey* key, const std::string& path, const char* line)
{
    auto* group = new CKeysAndActions;
    group->AddKey(key);
    CWriteToFile action;
    action.SetPath(path.c_str());
    action.SetText(line);
    group->m_task.AddAction(action);
    return group;
}

// Waits until the file holds the text, or gives up after the deadline.
bool WaitForText(const std::string& path, const std::string& text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFileBytes(path).value_or("").find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(Road, NewLineAndNewEventRunTheirTasksOnTheScanThread)
{
    RegisterEventScanClasses();
    RegisterTextLogClasses();
    const std::string root = TestRoot();
    const std::string watched = root + "/app.log";
    const std::string textHits = root + "/text-hits.txt";
    const std::string eventHits = root + "/event-hits.txt";
    ASSERT_TRUE(AtomicWriteFile(watched, "old line with Memory Error\n"));
    ASSERT_TRUE(AddEventLog("", "RoadLog", std::nullopt, std::nullopt));
    // The source's messages, in the local computer's C: share.
    const std::string computer = GetComputerFolder(nullptr, ERROR_BAD_NETPATH).value();
    ASSERT_TRUE(AtomicWriteFile(computer + "/C$/Messages/backup.mc",
                                "MessageId=2\nLanguage=English\nStorage\n.\n"
                                "MessageId=16\nSeverity=Informational\nLanguage=English\n"
                                "Backup of %1 failed.\n.\n"));
    // Message texts keep their line ends, which the write action turns into
    // blanks.
    CEventSourceConfig source;
    source.m_strMessageFile = "%SystemDrive%\\Messages\\backup.mc";
    source.m_strCategoryFile = "C:\\Messages\\backup.mc";
    ASSERT_TRUE(AddEventSource("", "RoadLog", "Backup", source));

    CMessageQueue queue;
    SetMainWindowQueue(&queue);
    {
        CMonManager manager;
        auto* text = new CFileMonitor;
        text->m_strShortDescription = "App";
        text->m_strDirectory = root + "/";
        text->m_strFileName = "app.log";
        text->SetInterval(0);
        auto* textKey = new CSearchKeyText;
        textKey->m_strKey1 = "memory error";
        text->AddWatchGroup(WritingGroup(
            textKey, textHits,
            "%TASK_SEQ%|%EVENT_TEXT%|%EVENT_SHORTNAME%|%EVENT_LONGNAME%|%EVENT_SOURCE%"));
        text->JumpToEnd(); // the old line is not news
        manager.AddLog(text);

        auto* events = new CEventMonitor;
        events->m_strServer = GetLocalComputerName();
        events->m_strLogName = "RoadLog";
        events->m_bEnabled = TRUE;
        events->SetInterval(0);
        auto* eventKey = new CSearchKeyEvent;
        eventKey->SetSourceValue("Backup");
        events->AddWatchGroup(
            WritingGroup(eventKey, eventHits,
                         "%EVENT_SOURCE%|%EVENT_ID%|%EVENT_TYPE%|%EVENT_USER%|%EVENT_COMPUTER%|"
                         "%EVENT_CATEGORYID%|%EVENT_CATEGORYTEXT%|%EVENT_SEQUENCE%|%EVENT_"
                         "SHORTNAME%|%EVENT_TEXT%|"
                         "%EVENT_TIME%"));
        events->JumpToEnd();
        manager.AddLog(events);

        ASSERT_TRUE(manager.StartScanThread());
        ASSERT_TRUE(AppendToFile(watched, "2026-12-05 host app[1]: MEMORY ERROR in pool\n"));
        HANDLE h = RegisterEventSourceInLogA("", "RoadLog", "Backup");
        ASSERT_NE(h, nullptr);
        const char* strings[] = {"tape"};
        ASSERT_TRUE(
            ReportEventA(h, EVENTLOG_WARNING_TYPE, 2, 0x40000010, nullptr, 1, 0, strings, nullptr));
        DeregisterEventSource(h);

        EXPECT_TRUE(WaitForText(textHits, "|2026-12-05 host app[1]: MEMORY ERROR in pool|App|" +
                                              watched + "|<empty>\n"));
        EXPECT_TRUE(WaitForText(eventHits, "Backup|16|Warning|N/A|" + GetLocalComputerName() +
                                               "|2|Storage  |1|" + GetLocalComputerName() +
                                               "\\RoadLog|Backup of tape failed.  |"))
            << ReadFileBytes(eventHits).value_or("(no file)");
        EXPECT_TRUE(manager.StopScanThread());
    }
    SetMainWindowQueue(nullptr);
    std::string text = ReadFileBytes(textHits).value_or("");
    EXPECT_EQ(text.find("old line"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "one line, one task run";
}
