#pragma once
// Shared set-up of the event log service tests: a fresh network root per
// test, the model's clock stopped, and small helpers around the API.
#include "platform/base/clock.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "testing.h"

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strRoot = TestDir();
        SetNetworkRoot(m_strRoot);
        SetClock(&m_clock);
    }
    void TearDown() override
    {
        SetClock(nullptr);
        SetNetworkRoot("");
    }

    std::string LogPath(const std::string& log) const
    {
        return *GetComputerFolder(nullptr, 0) + "/eventlog/" + log + ".evt";
    }

    // A log with one source, both registered on the local computer.
    HANDLE MakeLog(const std::string& log, const std::string& source, DWORD maxSize,
                   DWORD retention = 0)
    {
        EXPECT_TRUE(AddEventLog(nullptr, log.c_str(), maxSize, retention));
        EXPECT_TRUE(AddEventSource(nullptr, log.c_str(), source.c_str(), {}));
        HANDLE handle = RegisterEventSourceA(nullptr, source.c_str());
        EXPECT_NE(handle, nullptr);
        return handle;
    }

    // Reports an event whose record on disk is exactly `length` bytes (for a
    // source of one or two letters on TESTHOST): its data starts with the tag.
    static BOOL ReportSized(HANDLE source, DWORD length, DWORD tag)
    {
        std::string data(length - 84, static_cast<char>(tag));
        for (int i = 0; i < 4; ++i)
            data[static_cast<std::size_t>(i)] = static_cast<char>(tag >> (8 * i));
        return ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 0,
                            static_cast<DWORD>(data.size()), nullptr, data.data());
    }
    static DWORD TagOf(const CEvtEvent& event)
    {
        return GetLe32(reinterpret_cast<const BYTE*>(event.m_data.data()));
    }

    // Every record from a sequential read in one direction, until the end.
    static std::vector<CEvtEvent> ReadAll(HANDLE log, DWORD direction, DWORD* error = nullptr)
    {
        std::vector<CEvtEvent> events;
        std::vector<BYTE> buffer(100000);
        DWORD read = 0;
        DWORD needed = 0;
        while (ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | direction, 0, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &read, &needed)) {
            for (DWORD at = 0; at < read;) {
                CEvtEvent event;
                EXPECT_TRUE(DecodeAnsiRecord(buffer.data() + at, read - at, event));
                events.push_back(event);
                at += GetLe32(buffer.data() + at);
            }
        }
        if (error)
            *error = GetLastError();
        return events;
    }

    static std::vector<DWORD> Numbers(const std::vector<CEvtEvent>& events)
    {
        std::vector<DWORD> numbers;
        for (const CEvtEvent& event : events)
            numbers.push_back(event.m_dwRecordNumber);
        return numbers;
    }
    // The numbers first..last, as Numbers() gives them for whole runs.
    static std::vector<DWORD> Range(DWORD first, DWORD last)
    {
        std::vector<DWORD> numbers;
        for (DWORD n = first; n <= last; ++n)
            numbers.push_back(n);
        return numbers;
    }
    static std::pair<DWORD, DWORD> OldestAndCount(HANDLE log)
    {
        DWORD oldest = 0;
        DWORD count = 0;
        EXPECT_TRUE(GetOldestEventLogRecord(log, &oldest));
        EXPECT_TRUE(GetNumberOfEventLogRecords(log, &count));
        return {oldest, count};
    }

    // The error a call failed with, or 0 when it did not fail.
    template <class T> static DWORD ErrorOf(T result) { return result ? 0 : GetLastError(); }

    // One sequential or seek read into a buffer that holds one record: the
    // record's number, or minus the error.
    static long ReadOne(HANDLE log, DWORD flags, DWORD record, DWORD size = 250)
    {
        BYTE buffer[4096];
        DWORD read = 0;
        DWORD needed = 0;
        if (!ReadEventLogA(log, flags, record, buffer, size, &read, &needed))
            return -static_cast<long>(GetLastError());
        EXPECT_EQ(read, GetLe32(buffer));
        return GetLe32(buffer + EVT_RECORD_NUMBER);
    }

    static CEventLogFileInfo Info(HANDLE log)
    {
        CEventLogFileInfo info;
        EXPECT_TRUE(GetEventLogFileInfo(log, info));
        return info;
    }

    CManualClock m_clock{1'700'000'000};
    std::string m_strRoot;
};
