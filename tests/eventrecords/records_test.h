#pragma once
// Helpers of the event record tests: raw records in the ReadEventLogA layout
// and a local computer with an event log in a fresh network
// root per test.
#include "archive/archive.h"
#include "eventrecords/eventstruct.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "platform/eventlog/eventlog.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"
#include "platform/security/sid.h"
#include "settings/appsettings.h"
#include "testing.h"
#include "tests/support/systemlog.h"

inline BYTE* Bytes(std::string& s)
{
    return reinterpret_cast<BYTE*>(s.data());
}

// A warning with ID 0xC0000064 and category 0xFFFE from "Disk Monitor" on
// SRV1, generated at 1,600,000,000 and written two seconds later.
inline CEvtEvent MakeRawEvent(DWORD number, std::vector<std::string> strings)
{
    return {number, 1'600'000'000,  1'600'000'002, 0xC0000064, EVENTLOG_WARNING_TYPE,
            0xFFFE, "Disk Monitor", "SRV1",        "",         std::move(strings),
            ""};
}

// The event as ReadEventLogA hands it out.
inline std::string AnsiRecord(const CEvtEvent& e)
{
    std::string disk = EncodeEvtRecord(e);
    const BYTE* in = reinterpret_cast<const BYTE*>(disk.data());
    DWORD size = ConvertEvtRecordToAnsi(in, static_cast<DWORD>(disk.size()), nullptr, 0);
    std::string out(size, '\0');
    ConvertEvtRecordToAnsi(in, static_cast<DWORD>(disk.size()), Bytes(out), size);
    return out;
}

// The record's fields in one value: source, computer, user, number, ID,
// type, category, times generated and written, strings.
inline auto Fields(const CEventStruct& e)
{
    return std::tuple(e.m_strSource, e.m_strComputer, e.m_strUser, e.m_nRecordNumber, e.m_nEventID,
                      e.m_nEventType, e.m_nCategory, e.m_timeGenerated.GetTime(),
                      e.m_timeWritten.GetTime(), e.m_arrStrings);
}
using StringList = std::vector<std::string>;

// The local computer TESTHOST with the log "Win" and its source "Src".
class EventLogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetNetworkRoot(TestDir());
        SetClock(&m_clock);
        ASSERT_TRUE(AddEventLog(nullptr, "Win", 0x1000000, 0));
        ASSERT_TRUE(AddEventSource(nullptr, "Win", "Src", {}));
        m_hSource = RegisterEventSourceA(nullptr, "Src");
        ASSERT_NE(m_hSource, nullptr);
    }
    void TearDown() override
    {
        DeregisterEventSource(m_hSource);
        SetClock(nullptr);
        SetNetworkRoot("");
    }

    std::string LogPath() const { return *GetComputerFolder(nullptr, 0) + "/eventlog/Win.evt"; }

    BOOL Report(std::vector<std::string> strings, DWORD id = 1)
    {
        std::vector<const char*> p;
        for (const std::string& s : strings)
            p.push_back(s.c_str());
        return ReportEventA(m_hSource, EVENTLOG_ERROR_TYPE, 3, id, nullptr,
                            static_cast<WORD>(p.size()), 0, p.data(), nullptr);
    }

    // Replaces the log with records first..first+count-1, each with one
    // string of `width` characters.
    void ComposeLog(DWORD first, DWORD count, std::size_t width)
    {
        std::vector<std::string> records;
        for (DWORD n = first; n < first + count; ++n) {
            CEvtEvent e = MakeRawEvent(n, {std::string(width, 'x')});
            records.push_back(EncodeEvtRecord(e));
        }
        ASSERT_TRUE(
            AtomicWriteFile(LogPath(), ComposeEvtFile(records, first + count, 0x1000000, 0)));
    }

    CManualClock m_clock{1'700'000'000};
    HANDLE m_hSource = nullptr;
};
