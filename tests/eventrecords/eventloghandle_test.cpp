
#include "eventrecords/eventlogcache.h"
#include "eventrecords/eventloghandle.h"
#include "platform/base/win32error.h"
#include "records_test.h"

namespace {

// Counts the blocks a read asks for (the stop test runs before each one)
// and lets a test act between blocks.
int g_nBlocks = 0;
std::function<bool()> g_onBlock;

bool CountingStopCheck()
{
    ++g_nBlocks;
    return g_onBlock ? g_onBlock() : false;
}

struct CBlockHook {
    explicit CBlockHook(std::function<bool()> onBlock = {})
    {
        g_nBlocks = 0;
        g_onBlock = std::move(onBlock);
        SetEventReadStopCheck(&CountingStopCheck);
    }
    ~CBlockHook()
    {
        SetEventReadStopCheck(nullptr);
        g_onBlock = nullptr;
    }
};

// Every record number of the list, in order.
std::vector<DWORD> Numbers(const CEventList& list)
{
    std::vector<DWORD> numbers;
    std::size_t pos = 0;
    while (const CEventStruct* event = list.GetNext(pos))
        numbers.push_back(event->m_nRecordNumber);
    return numbers;
}

// Whether the numbers run from first on without a gap.
bool RunsFrom(const std::vector<DWORD>& numbers, DWORD first)
{
    for (std::size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] != first + i)
            return false;
    return true;
}

std::string LinePart(const std::string& log, const std::string& start)
{
    std::size_t at = log.find(start);
    return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at) - at);
}

using EventLogHandle = EventLogFixture;

TEST_F(EventLogHandle, ReadsTheRangeInBlocksClampedToTheLogUntilAStop)
{
    const std::string padding(150, 'p');
    for (int i = 1; i <= 2500; ++i)
        ASSERT_TRUE(
            Report({"event " + std::to_string(i), padding}, 0x40000000u + static_cast<DWORD>(i)));

    CEventLogHandle handle;
    ASSERT_TRUE(handle.Open("TESTHOST", "Win"));
    EXPECT_EQ(std::tuple(handle.GetName(), handle.GetOldest(), handle.GetNewest()),
              std::tuple("TESTHOST\\Win", 1u, 2500u));

    CBlockHook hook;
    CEventList list;
    EXPECT_TRUE(handle.ReadEvents(0, 999999, list));
    std::vector<DWORD> numbers = Numbers(list);
    EXPECT_EQ(numbers.size(), 2500u);
    EXPECT_TRUE(RunsFrom(numbers, 1));
    // About 200 bytes a record: 100,000-byte blocks need several reads,
    // neither one nor one per record.
    EXPECT_TRUE(g_nBlocks >= 5 && g_nBlocks <= 10) << g_nBlocks;
    const CEventStruct* e = list.Find(1234);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::pair(e->m_arrStrings, e->m_nEventID),
              std::pair(StringList{"event 1234", padding}, 0x400004D2u));

    // A range inside the log starts at its first number; the last block may
    // bring records past its end.
    CEventList part;
    EXPECT_TRUE(handle.ReadEvents(1000, 1010, part));
    numbers = Numbers(part);
    ASSERT_FALSE(numbers.empty());
    EXPECT_TRUE(RunsFrom(numbers, 1000));
    EXPECT_GE(numbers.back(), 1010u);

    // A stop request before a block ends the read with the blocks before it.
    for (int stopAt : {1, 2, 3}) {
        CBlockHook stop([&] { return g_nBlocks == stopAt; });
        CEventList stopped;
        EXPECT_FALSE(handle.ReadEvents(1, 2500, stopped)) << stopAt;
        numbers = Numbers(stopped);
        EXPECT_EQ(std::tuple(g_nBlocks, RunsFrom(numbers, 1), numbers.empty()),
                  std::tuple(stopAt, true, stopAt == 1));
        EXPECT_LT(numbers.size(), 2500u);
    }
}

TEST_F(EventLogHandle, RecordLargerThanTheBlockUsesABufferOfItsOwn)
{
    const std::string wide(30000, 'w');
    ASSERT_TRUE(Report({"before"}));
    ASSERT_TRUE(Report({wide, wide, wide, wide}, 2)); // about 120,000 bytes
    ASSERT_TRUE(Report({"after"}));

    CEventLogHandle handle;
    ASSERT_TRUE(handle.Open("TESTHOST", "Win"));
    CEventList list;
    EXPECT_TRUE(handle.ReadEvents(1, 3, list));
    ASSERT_EQ(Numbers(list), (std::vector<DWORD>{1, 2, 3}));
    EXPECT_EQ(list.Find(2)->m_arrStrings, (std::vector<std::string>{wide, wide, wide, wide}));

    // Recycled records take every value of the record read into them: the
    // one that held four strings now holds one, and the other way round.
    list.Recycle();
    EXPECT_TRUE(handle.ReadEvents(2, 3, list));
    ASSERT_EQ(Numbers(list), (std::vector<DWORD>{2, 3}));
    EXPECT_EQ(std::pair(list.Find(2)->m_arrStrings, list.Find(3)->m_arrStrings),
              std::pair(StringList{wide, wide, wide, wide}, StringList{"after"}));
}

TEST_F(EventLogHandle, ReadErrorsAreLoggedAndEndTheRead)
{
    ASSERT_TRUE(AddEventLog(nullptr, "Small", 0x10000, 0));
    ASSERT_TRUE(AddEventSource(nullptr, "Small", "Tiny", {}));
    HANDLE tiny = RegisterEventSourceA(nullptr, "Tiny");
    ASSERT_NE(tiny, nullptr);
    const char* strings[] = {"0123456789012345678901234567890123456789"};
    auto fill = [&](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(ReportEventA(tiny, 4, 0, 1, nullptr, 1, 0, strings, nullptr));
    };
    fill(2000); // the 64 KiB log has wrapped

    CEventLogHandle handle;
    ASSERT_TRUE(handle.Open("TESTHOST", "Small"));
    const DWORD oldest = handle.GetOldest();
    ASSERT_GT(oldest, 1u);
    {
        // The log overwrites the wanted records before the first block.
        CBlockHook hook([&] {
            fill(1000);
            return false;
        });
        CEventList list;
        EXPECT_FALSE(handle.ReadEvents(1, oldest + 10, list));
        EXPECT_TRUE(list.IsEmpty());
    }
    EXPECT_NE(SystemLogText().find(
                  "TESTHOST\\Small : Microsoft error 87 (ERROR_INVALID_PARAMETERS) detected"),
              std::string::npos);
    DeregisterEventSource(tiny);

    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(Report({std::string(200, 'c')}));
    CEventLogHandle win;
    ASSERT_TRUE(win.Open("TESTHOST", "Win"));
    {
        // The log is cleared through another handle after the first block.
        CBlockHook hook([&] {
            if (g_nBlocks == 2) {
                HANDLE other = OpenEventLogA(nullptr, "Win");
                ClearEventLogA(other, nullptr);
                CloseEventLog(other);
            }
            return false;
        });
        CEventList list;
        EXPECT_FALSE(win.ReadEvents(1, 1000, list));
        EXPECT_EQ(win.GetError(), ERROR_EVENTLOG_FILE_CHANGED);
        EXPECT_FALSE(list.IsEmpty()) << "the first block is kept";
    }
    EXPECT_EQ(
        LinePart(SystemLogText(), "TESTHOST\\Win : Error reading events:"),
        "TESTHOST\\Win : Error reading events: 1503 - The event log file has changed between read "
        "operations.");
}

TEST_F(EventLogHandle, MalformedRecordsInABlock)
{
    std::string block = AnsiRecord(MakeRawEvent(1, {"one"}));
    std::string bad = AnsiRecord(MakeRawEvent(2, {"two"}));
    PutLe32(Bytes(bad) + EVT_STRING_OFFSET, 0x7000);
    block += bad + AnsiRecord(MakeRawEvent(3, {"three"}));
    const std::string whole = block;
    std::string garbage(60, '\0');
    PutLe32(Bytes(garbage), 0x1000); // a length beyond the block
    block += garbage;

    CEventList list;
    DWORD last = 0;
    EXPECT_FALSE(ConvertEventRecords(Bytes(block), static_cast<DWORD>(block.size()), list,
                                     "SRV\\App", nullptr, &last));
    EXPECT_EQ(Numbers(list), (std::vector<DWORD>{1, 3}));
    EXPECT_EQ(last, 3u);
    const std::string log = SystemLogText();
    EXPECT_NE(log.find("SRV\\App : Error extracting record: 2\n"), std::string::npos);
    EXPECT_NE(log.find("SRV\\App : Exception reading event, last loaded 3 !\n"), std::string::npos);

    // A record of length 0 ends the block quietly.
    std::string ended = whole + std::string(8, '\0') + "trailing";
    CEventList quiet;
    EXPECT_TRUE(ConvertEventRecords(Bytes(ended), static_cast<DWORD>(ended.size()), quiet,
                                    "SRV\\App", nullptr, &last));
    EXPECT_EQ(Numbers(quiet), (std::vector<DWORD>{1, 3}));
}

// A clear that the service refuses (its registry is unreadable) is logged
// with the error in decimal and hexadecimal.
TEST_F(EventLogHandle, RefusedClearIsLogged)
{
    ASSERT_TRUE(CEventLogHandle::ReportMark("TESTHOST", "backup checked"));
    CEventLogHandle handle;
    ASSERT_TRUE(handle.Open("TESTHOST", "Application"));
    ASSERT_TRUE(
        AtomicWriteFile(*GetComputerFolder(nullptr, 0) + "/HKLM.reg", "not a registry file"));
    EXPECT_FALSE(handle.Clear());
    const DWORD error = handle.GetError();
    EXPECT_NE(error, 0u);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "TESTHOST\\Application : Error clearing event log: %u, %08X %s", error, error,
                  GetSystemErrorText(error).c_str());
    EXPECT_EQ(LinePart(SystemLogText(), "TESTHOST\\Application : Error clearing"), expected);
}

using EventLogCache = EventLogFixture;

TEST_F(EventLogCache, ReadsAWindowAroundTheWantedRecord)
{
    const DWORD kOldest = 1001;
    const std::size_t width = 900;
    const DWORD perBlock =
        EVENT_READ_BLOCK /
        static_cast<DWORD>(AnsiRecord(MakeRawEvent(1, {std::string(width, 'x')})).size());
    // Records in the log; the offsets from the oldest of the record wanted
    // and of the first and last of the window asked for.
    const std::tuple<DWORD, DWORD, DWORD, DWORD> cases[] = {
        {1200, 300, 50, 550}, {1200, 100, 0, 500}, {1200, 250, 0, 500}, {1200, 1190, 940, 1199},
        {1200, 0, 0, 500},    {502, 501, 0, 501}, // small enough to be read whole
        {503, 502, 252, 502},                     // from 503 records on, a window
    };
    for (const auto& [records, wanted, start, end] : cases) {
        SCOPED_TRACE(::testing::Message() << records << "/" << wanted);
        ComposeLog(kOldest, records, width);
        CEventLogCache cache;
        cache.SetComputer("TESTHOST");
        cache.SetLog("Win");
        EXPECT_EQ(cache.GetCount(), records);
        int busy = 0;
        cache.SetBusyCallback([&](bool bBusy) { busy += bBusy ? 1 : -1; });
        CBlockHook hook;
        const CEventStruct* event = cache.GetEvent(kOldest + wanted);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(std::pair(event->m_nRecordNumber, busy), std::pair(kOldest + wanted, 0));
        std::vector<DWORD> numbers = Numbers(cache.GetEvents());
        EXPECT_TRUE(RunsFrom(numbers, kOldest + start));
        // The last block may run past the window's end, never past the log.
        EXPECT_GE(numbers.back(), kOldest + end);
        EXPECT_LT(numbers.back(), std::min(kOldest + end + perBlock, kOldest + records));

        // A record already read is served without a read.
        const int blocks = g_nBlocks;
        EXPECT_EQ(cache.GetEvent(numbers.front())->m_nRecordNumber, numbers.front());
        EXPECT_EQ(g_nBlocks, blocks);
    }
}

TEST_F(EventLogCache, NamesErrorsAndLogons)
{
    ComposeLog(1, 600, 20);
    CEventLogCache cache;
    cache.SetComputer("NOSUCH");
    cache.SetLog("Win");
    // Braces: the calls run in order.
    EXPECT_EQ((std::tuple{cache.GetCount(), cache.GetError(), cache.GetEvent(5), cache.GetError()}),
              std::tuple(0u, RPC_S_SERVER_UNAVAILABLE, nullptr, RPC_S_SERVER_UNAVAILABLE));
    cache.SetComputer("TESTHOST");
    EXPECT_EQ((std::tuple{cache.GetError(), cache.GetOldest(), cache.GetNewest(),
                          cache.GetEvent(601), cache.GetError()}),
              std::tuple(0u, 1u, 600u, nullptr, 0u));
    ASSERT_NE(cache.GetEvent(5), nullptr);

    cache.SetLog("Win");
    EXPECT_FALSE(cache.GetEvents().IsEmpty()) << "the same name changes nothing";
    cache.SetLog("win");
    EXPECT_TRUE(cache.GetEvents().IsEmpty());

    // A logon that fails is logged and the read goes on.
    cache.SetLog("Win");
    cache.SetLogon("qv-no-such-user", "DOM", "pw");
    EXPECT_NE(cache.GetEvent(3), nullptr);
    EXPECT_NE(SystemLogText().find("TESTHOST\\Win Local logon from DOM\\qv-no-such-user failed:  "),
              std::string::npos);
    cache.SetLogon("", "DOM", "pw");
    EXPECT_TRUE(cache.Logon()) << "no logon set";
    EXPECT_TRUE(cache.Revert()) << "no token held";
}

} // namespace
