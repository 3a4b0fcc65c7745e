#pragma once
// The viewer tests' main frame and event logs of this computer written as files.

#include "match/searchkeyevent.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"
#include "tests/workspace/testdoc.h"
#include "widgettest.h"

class CViewerFrame final : public CFakeFrame {
public:
    CViewerFrame()
    {
        m_ui.m_nChoose = CHOOSE_NEW_WATCH_GROUP;
        m_ui.m_onEventKey = [this](CSearchKeyEvent& key) {
            m_pEventKey = std::make_unique<CSearchKeyEvent>(key);
            return m_ui.m_bDialogOK;
        };
        m_ui.m_onTextKey = [this](CSearchKeyText& key) {
            m_pTextKey = std::make_unique<CSearchKeyText>(key);
            return m_ui.m_bDialogOK;
        };
        m_doc.SetUi(&m_ui);
    }

    CEventMonitor* AddEventLog(const std::string& logName)
    {
        return CFakeFrame::AddEventLog(GetLocalComputerName(), logName);
    }
    CFileMonitor* AddTextLog(const std::string& directory, const std::string& fileName)
    {
        return CFakeFrame::AddTextLog(fileName, fileName, directory);
    }

    CScriptedUi m_ui;
    std::unique_ptr<CSearchKeyEvent> m_pEventKey; // as the key dialog was shown it
    std::unique_ptr<CSearchKeyText> m_pTextKey;
};

// The test's own network root, so every test starts with fresh logs.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strDir = TestRoot() + "/" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        SetNetworkRoot(m_strDir + "network");
        EnsureDirectory(m_strDir);
    }
    void TearDown() override { SetNetworkRoot(""); }

    // Record n of the test logs: its fields follow from its number.
    static CEvtEvent MakeEvent(DWORD n)
    {
        static const WORD TYPES[] = {EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE,
                                     EVENTLOG_INFORMATION_TYPE, EVENTLOG_AUDIT_SUCCESS,
                                     EVENTLOG_AUDIT_FAILURE};
        CEvtEvent e;
        e.m_dwRecordNumber = n;
        e.m_dwTimeGenerated = 1'600'000'000 + n;
        e.m_dwTimeWritten = 1'600'000'001 + n;
        e.m_dwEventID = 0x40000000 | (n % 1000);
        e.m_wEventType = TYPES[n % 5];
        e.m_wEventCategory = static_cast<WORD>(n % 4);
        e.m_strSourceName = "Src" + std::to_string(n % 7);
        e.m_strComputerName = "HOST" + std::to_string(n % 3);
        e.m_strings = {"record " + std::to_string(n)};
        return e;
    }

    // Replaces the log by records oldest .. oldest + count - 1.
    void WriteEventLog(const std::string& log, DWORD oldest, DWORD count,
                       std::function<CEvtEvent(DWORD)> make = MakeEvent)
    {
        ASSERT_TRUE(AddEventLog(nullptr, log.c_str(), 0x1000000, 0));
        std::vector<std::string> records;
        records.reserve(count);
        for (DWORD n = oldest; n < oldest + count; ++n)
            records.push_back(EncodeEvtRecord(make(n)));
        std::string path = *GetComputerFolder(nullptr, 0) + "/eventlog/" + log + ".evt";
        ASSERT_TRUE(AtomicWriteFile(path, ComposeEvtFile(records, oldest + count, 0x1000000, 0)));
    }

    std::string m_strDir; // ends in "/"
    CViewerFrame m_frame;
};

// A watch group that catches the events of a source.
inline CKeysAndActions* SourceGroup(const std::string& description, const std::string& source)
{
    auto* key = new CSearchKeyEvent;
    key->SetSourceValue(source);
    auto* group = new CKeysAndActions;
    group->m_strDescription = description;
    group->AddKey(key);
    return group;
}

// A right click at pos, then the menu item whose mnemonic is key.
inline void ChooseFromContextMenu(QWidget* widget, const QPoint& pos, Qt::Key key)
{
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&timer, key] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            timer.stop();
            QTest::keyClick(popup, key);
            popup->close(); // an item that is greyed out leaves it open
        }
    });
    timer.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
}
