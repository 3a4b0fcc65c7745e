#include <functional>

#include <gtest/gtest.h>

#include "eventrecords/eventstruct.h"
#include "platform/base/clock.h"
#include "platform/eventlog/evtformat.h"
#include "records_test.h"
#include "timezone.h"

namespace {

BOOL Convert(CEventStruct& event, const std::string& bytes, std::size_t nAvailable)
{
    return event.SetFromRecord(reinterpret_cast<const EVENTLOGRECORD*>(bytes.data()), nAvailable);
}

TEST(EventRecord, GoodRecordsFillEveryField)
{
    std::vector<BYTE> system;
    ASSERT_TRUE(StringToSid("S-1-5-18", system));
    std::vector<BYTE> root = UnixUserSid(0);
    std::vector<BYTE> unknown;
    ASSERT_TRUE(StringToSid("S-1-5-21-1-2-3-4000", unknown));
    auto sid = [](const std::vector<BYTE>& v) { return std::string(v.begin(), v.end()); };

    struct Case {
        const char* name;
        std::string sid;
        std::vector<std::string> strings;
        std::function<void(std::string&)> patch;
        const char* user;
    } cases[] = {
        {"well-known SID", sid(system), {"disk", "", "full"}, nullptr, "SYSTEM"},
        {"Unix user SID, no domain", sid(root), {}, nullptr, "root"},
        {"no SID", "", {""}, nullptr, "N/A"},
        {"SID of no account", sid(unknown), {"x"}, nullptr, "N/A"},
        {"SID length past the record",
         sid(system),
         {"x"},
         [](std::string& r) { PutLe32(Bytes(r) + EVT_USER_SID_LENGTH, 4000); },
         "N/A"},
        {"SID offset past the record",
         sid(system),
         {"x"},
         [](std::string& r) { PutLe32(Bytes(r) + EVT_USER_SID_OFFSET, 0xFFFFFFF0); },
         "N/A"},
        {"malformed SID bytes",
         sid(system),
         {"x"},
         [](std::string& r) { Bytes(r)[GetLe32(Bytes(r) + EVT_USER_SID_OFFSET) + 1] = 9; },
         "N/A"},
        {"no strings, offset anywhere",
         "",
         {},
         [](std::string& r) { PutLe32(Bytes(r) + EVT_STRING_OFFSET, 0xFFFFFFFF); },
         "N/A"},
    };
    // One object for every case: nothing of an earlier record may survive.
    CEventStruct event;
    for (const Case& c : cases) {
        CEvtEvent raw = MakeRawEvent(7, c.strings);
        raw.m_sid = c.sid;
        std::string bytes = AnsiRecord(raw);
        if (c.patch)
            c.patch(bytes);
        bytes += std::string(8, 'x'); // whatever follows in the buffer
        ASSERT_TRUE(Convert(event, bytes, bytes.size())) << c.name;
        EXPECT_EQ(event.m_strUser, c.user) << c.name;
        EXPECT_EQ(event.m_arrStrings, c.strings) << c.name;
        EXPECT_EQ(event.m_nFieldMask, EVF_ALL) << c.name;
    }
    EXPECT_EQ(Fields(event),
              std::tuple("Disk Monitor", "SRV1", "N/A", 7u, 0xC0000064u, EVENTLOG_WARNING_TYPE,
                         0xFFFEu, 1'600'000'000, 1'600'000'002, StringList{}));
}

TEST(EventRecord, DamagedRecordsAreRefused)
{
    const std::string good = AnsiRecord(MakeRawEvent(3, {"a", ""}));
    const DWORD length = static_cast<DWORD>(good.size());
    const DWORD computerEnd = EVT_RECORD_FIXED_SIZE + 13 + 5; // "Disk Monitor\0SRV1\0"
    struct Case {
        const char* name;
        std::function<void(std::string&)> patch;
        std::size_t available; // 0: the whole string
    } cases[] = {
        {"fewer bytes than the fixed part", nullptr, EVT_RECORD_FIXED_SIZE - 1},
        {"record truncated in the buffer", nullptr, length - 4},
        {"length below the fixed part", [](std::string& r) { PutLe32(Bytes(r), 40); }, 0},
        {"length past the buffer", [](std::string& r) { PutLe32(Bytes(r), 0x10000); }, 0},
        {"source name without end",
         [](std::string& r) {
             r.replace(EVT_RECORD_FIXED_SIZE, r.size() - EVT_RECORD_FIXED_SIZE,
                       r.size() - EVT_RECORD_FIXED_SIZE, 'x');
         },
         0},
        {"computer name without end",
         [&](std::string& r) {
             r.replace(computerEnd - 5, r.size() - computerEnd + 5, r.size() - computerEnd + 5,
                       'x');
         },
         0},
        {"string offset past the record",
         [](std::string& r) { PutLe32(Bytes(r) + EVT_STRING_OFFSET, 0x1000); }, 0},
        {"string count beyond the bytes",
         [](std::string& r) { PutLe16(Bytes(r) + EVT_NUM_STRINGS, 60000); }, 0},
        // The bytes after the record end hold terminators; they must not be
        // taken for the strings' ends.
        {"strings run past the record's end",
         [](std::string& r) {
             PutLe16(Bytes(r) + EVT_NUM_STRINGS, 7);
             r += std::string(8, '\0');
         },
         0},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        if (c.patch)
            c.patch(bytes);
        CEventStruct event;
        event.m_strSource = "stale";
        EXPECT_FALSE(Convert(event, bytes, c.available ? c.available : bytes.size())) << c.name;
        EXPECT_EQ(event.m_strSource, "") << c.name << ": left in the empty state";
        EXPECT_EQ(event.m_nFieldMask, 0u) << c.name;
    }
}

TEST(EventRecord, EmptyStateAndCopy)
{
    CEventStruct event;
    EXPECT_EQ(event.m_nEventType, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(event.m_nFieldMask, 0u);
    std::string bytes = AnsiRecord(MakeRawEvent(9, {"one", "two"}));
    ASSERT_TRUE(Convert(event, bytes, bytes.size()));
    CEventStruct copy;
    copy = event;
    copy = copy;
    EXPECT_EQ(Fields(copy), Fields(event));
    copy.Reset();
    EXPECT_EQ(Fields(copy), Fields(CEventStruct()));
}

// Record times take the local offset in force now, whatever their own date.
TEST(EventRecord, LocalTimeUsesTodaysOffsetForEveryDate)
{
    CTimeZone zone("UTC0");
    struct Case {
        const char* tz;
        std::int64_t now;
        std::int64_t event;
        const char* shown;
    } cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1688212800 /* July */, 1673784000 /* 15 Jan 12:00 UTC */,
         "2023-01-15 14:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1673352000 /* January */, 1673784000, "2023-01-15 13:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1688212800, 1689422400 /* 15 Jul 12:00 UTC */,
         "2023-07-15 14:00:00"},
        {"EST5EDT,M3.2.0,M11.1.0", 1688212800, 1673784000, "2023-01-15 08:00:00"},
    };
    for (const Case& c : cases) {
        CTimeZone::Set(c.tz);
        CManualClock clock(c.now);
        SetClock(&clock);
        CEventStruct event;
        event.m_timeGenerated = CTime(c.event);
        event.m_timeWritten = CTime(c.event + 60);
        EXPECT_EQ(event.GetTimeGenerated().Format("%Y-%m-%d %H:%M:%S"), c.shown)
            << c.tz << " " << c.now;
        EXPECT_EQ(event.GetTimeWritten() - event.GetTimeGenerated(), 60) << c.tz;
        SetClock(nullptr);
    }
}

} // namespace
