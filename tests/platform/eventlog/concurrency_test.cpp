

#include "eventlog_test.h"
#include "platform/base/win32error.h"

namespace {

constexpr DWORD g_perWriter = 2000;

// The data of writer w's record i: its own checksum-like pattern, so a torn
// or mixed record shows.
std::string Payload(int writer, DWORD i)
{
    std::string data(64, '\0');
    for (std::size_t k = 0; k < data.size(); ++k)
        data[k] = static_cast<char>(i * 31 + k * 7 + static_cast<std::size_t>(writer));
    return data;
}

int WriteEvents(int writer)
{
    const std::string name = "W" + std::to_string(writer);
    HANDLE source = RegisterEventSourceA(nullptr, name.c_str());
    if (!source)
        return 1;
    for (DWORD i = 0; i < g_perWriter; ++i) {
        std::string number = std::to_string(i);
        const char* strings[] = {name.c_str(), number.c_str()};
        std::string data = Payload(writer, i);
        if (!ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1000 + static_cast<DWORD>(writer),
                          nullptr, 2, static_cast<DWORD>(data.size()), strings, data.data()))
            return 2;
    }
    DeregisterEventSource(source);
    return 0;
}

TEST_F(EventLogTest, TwoWritingProcessesAndAReaderLoseAndTearNothing)
{
    ASSERT_TRUE(AddEventLog(nullptr, "Busy", 0x800000, 0));
    ASSERT_TRUE(AddEventSource(nullptr, "Busy", "W1", {}));
    ASSERT_TRUE(AddEventSource(nullptr, "Busy", "W2", {}));
    HANDLE log = OpenEventLogA(nullptr, "Busy");
    ASSERT_NE(log, nullptr);

    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        if (writers[w] == 0)
            ::_exit(WriteEvents(w + 1));
    }

    // Read while they write, until every record has come or time runs out.
    DWORD next[3] = {0, 0, 0};
    DWORD expectedRecord = 1;
    std::vector<BYTE> buffer(100000);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (expectedRecord <= 2 * g_perWriter && std::chrono::steady_clock::now() < deadline) {
        DWORD read = 0;
        DWORD needed = 0;
        if (!ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &read, &needed)) {
            ASSERT_EQ(GetLastError(), ERROR_HANDLE_EOF);
            std::this_thread::yield();
            continue;
        }
        for (DWORD at = 0; at < read;) {
            CEvtEvent e;
            ASSERT_TRUE(DecodeAnsiRecord(buffer.data() + at, read - at, e));
            at += GetLe32(buffer.data() + at);
            ASSERT_EQ(e.m_dwRecordNumber, expectedRecord++);
            ASSERT_EQ(e.m_strings.size(), 2u);
            int writer = e.m_strSourceName == "W1" ? 1 : 2;
            ASSERT_EQ(e.m_strSourceName, e.m_strings[0]);
            ASSERT_EQ(e.m_dwEventID, 1000u + static_cast<DWORD>(writer));
            // Each writer's events arrive whole and in its own order.
            ASSERT_EQ(e.m_strings[1], std::to_string(next[writer]));
            ASSERT_EQ(e.m_data, Payload(writer, next[writer]));
            ++next[writer];
        }
    }
    for (pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(next[1], g_perWriter);
    EXPECT_EQ(next[2], g_perWriter);
    DWORD count = 0;
    ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
    EXPECT_EQ(count, 2 * g_perWriter);
    CloseEventLog(log);
}

// Threads of one process share nothing but the file: separate handles on
// separate threads exclude each other through its lock as processes do.
TEST_F(EventLogTest, ThreadsWithTheirOwnHandlesWriteWholeRecords)
{
    ASSERT_TRUE(AddEventLog(nullptr, "Busy", 0x800000, 0));
    ASSERT_TRUE(AddEventSource(nullptr, "Busy", "W1", {}));
    ASSERT_TRUE(AddEventSource(nullptr, "Busy", "W2", {}));
    std::vector<std::thread> threads;
    int results[2] = {-1, -1};
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([w, &results] { results[w] = WriteEvents(w + 1); });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 0);
    HANDLE log = OpenEventLogA(nullptr, "Busy");
    std::vector<CEvtEvent> events = ReadAll(log, EVENTLOG_FORWARDS_READ);
    ASSERT_EQ(events.size(), 2 * g_perWriter);
    DWORD next[3] = {0, 0, 0};
    for (const CEvtEvent& e : events) {
        int writer = e.m_strSourceName == "W1" ? 1 : 2;
        ASSERT_EQ(e.m_data, Payload(writer, next[writer]++));
    }
    CloseEventLog(log);
}

} // namespace
