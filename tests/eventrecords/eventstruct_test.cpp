

#include "eventrecords/eventstruct.h"
#include "platform/base/clock.h"
#include "platform/eventlog/evtformat.h"
#include "records_test.h"
#include "timezone.h"

namespace {

// Changes to a record: a 16-bit or 32-bit value written at an offset, or
// every byte from an offset on overwritten with 'x'.
using Patch = std::function<void(std::string&)>;
Patch Put(std::size_t at, DWORD value, bool b16 = false)
{
    return [=](std::string& r) {
        b16 ? PutLe16(Bytes(r) + at, static_cast<WORD>(value)) : PutLe32(Bytes(r) + at, value);
    };
}
Patch FillFrom(std::size_t at)
{
    return [=](std::string& r) { r.replace(at, r.size() - at, r.size() - at, 'x'); };
}

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
    const char* const na = "N/A";
    const Patch badSid = [](std::string& r) {
        Bytes(r)[GetLe32(Bytes(r) + EVT_USER_SID_OFFSET) + 1] = 9;
    };

    // Name, SID, strings, a change to the record, and the user it shows.
    const std::tuple<const char*, std::string, std::vector<std::string>, Patch, const char*>
        cases[] = {
            {"well-known SID", sid(system), {"disk", "", "full"}, nullptr, "SYSTEM"},
            {"Unix user SID, no domain", sid(root), {}, nullptr, "root"},
            {"no SID", "", {""}, nullptr, na},
            {"SID of no account", sid(unknown), {"x"}, nullptr, na},
            {"SID length past the record", sid(system), {"x"}, Put(EVT_USER_SID_LENGTH, 4000), na},
            {"SID offset past the record", sid(system), {"x"}, Put(EVT_USER_SID_OFFSET, ~15u), na},
            {"malformed SID bytes", sid(system), {"x"}, badSid, na},
            {"no strings, offset anywhere", "", {}, Put(EVT_STRING_OFFSET, 0xFFFFFFFF), na},
        };
    // One object for every case: nothing of an earlier record may survive.
    CEventStruct event;
    for (const auto& [name, sidBytes, strings, patch, user] : cases) {
        CEvtEvent raw = MakeRawEvent(7, strings);
        raw.m_sid = sidBytes;
        std::string bytes = AnsiRecord(raw);
        if (patch)
            patch(bytes);
        bytes += std::string(8, 'x'); // whatever follows in the buffer
        ASSERT_TRUE(Convert(event, bytes, bytes.size())) << name;
        EXPECT_EQ(std::tuple(event.m_strUser, event.m_arrStrings, event.m_nFieldMask),
                  std::tuple(user, strings, EVF_ALL))
            << name;
    }
    EXPECT_EQ(Fields(event),
              std::tuple("Disk Monitor", "SRV1", "N/A", 7u, 0xC0000064u, EVENTLOG_WARNING_TYPE,
                         0xFFFEu, 1'600'000'000, 1'600'000'002, StringList{}));
}

TEST(EventRecord, DamagedRecordsAreRefused)
{
    const std::string good = AnsiRecord(MakeRawEvent(3, {"a", ""}));
    const DWORD length = static_cast<DWORD>(good.size());
    // Name, a change to the record, and the bytes available (0: all).
    const std::tuple<const char*, Patch, std::size_t> cases[] = {
        {"fewer bytes than the fixed part", nullptr, EVT_RECORD_FIXED_SIZE - 1},
        {"record truncated in the buffer", nullptr, length - 4},
        {"length below the fixed part", Put(0, 40), 0},
        {"length past the buffer", Put(0, 0x10000), 0},
        {"source name without end", FillFrom(EVT_RECORD_FIXED_SIZE), 0},
        {"computer name without end", FillFrom(EVT_RECORD_FIXED_SIZE + 13), 0}, // "Disk Monitor\0"
        {"string offset past the record", Put(EVT_STRING_OFFSET, 0x1000), 0},
        {"string count beyond the bytes", Put(EVT_NUM_STRINGS, 60000, true), 0},
        {"strings run past the record's end", Put(EVT_NUM_STRINGS, 7, true), 0},
    };
    // The bytes after the record hold terminators; they must not be taken
    // for the ends of its names or strings.
    for (const auto& [name, patch, available] : cases) {
        std::string bytes = good;
        if (patch)
            patch(bytes);
        bytes += std::string(8, '\0');
        CEventStruct event;
        event.m_strSource = "stale";
        EXPECT_FALSE(Convert(event, bytes, available ? available : bytes.size())) << name;
        EXPECT_EQ(std::pair(event.m_strSource, event.m_nFieldMask), std::pair(std::string(), 0u))
            << name << ": left in the empty state";
    }
}

TEST(EventRecord, EmptyStateAndCopy)
{
    CEventStruct event;
    EXPECT_EQ(std::pair(event.m_nEventType, event.m_nFieldMask),
              std::pair(WORD{EVENTLOG_INFORMATION_TYPE}, 0u));
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
    // The zone, now, the record's time and how it shows.
    const std::tuple<const char*, std::int64_t, std::int64_t, const char*> cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1688212800 /* July */, 1673784000 /* 15 Jan 12:00 UTC */,
         "2023-01-15 14:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1673352000 /* January */, 1673784000, "2023-01-15 13:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1688212800, 1689422400 /* 15 Jul 12:00 UTC */,
         "2023-07-15 14:00:00"},
        {"EST5EDT,M3.2.0,M11.1.0", 1688212800, 1673784000, "2023-01-15 08:00:00"},
    };
    for (const auto& [tz, now, time, shown] : cases) {
        CTimeZone::Set(tz);
        CManualClock clock(now);
        SetClock(&clock);
        CEventStruct event;
        event.m_timeGenerated = CTime(time);
        event.m_timeWritten = CTime(time + 60);
        EXPECT_EQ(event.GetTimeGenerated().Format("%Y-%m-%d %H:%M:%S"), shown) << tz << " " << now;
        EXPECT_EQ(event.GetTimeWritten() - event.GetTimeGenerated(), 60) << tz;
        SetClock(nullptr);
    }
}

} // namespace
