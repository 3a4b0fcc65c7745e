#include "eventlog_test.h"

#include <grp.h>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(EventLogTest, ReportedEventReadsBackWithEveryField)
{
    const char* const name = "Qu\xC3\xB6rvil"; // any text: UTF-8, in the file UTF-16
    HANDLE source = RegisterEventSourceA(nullptr, name);
    ASSERT_NE(source, nullptr);
    std::vector<BYTE> sid;
    ASSERT_TRUE(StringToSid("S-1-5-18", sid));
    const char* strings[] = {"disk full", "", "Gr\xC3\xBC\xC3\x9F", "\xE2\x82\xAC 5",
                             "\xF0\x9D\x84\x9E"};
    const char data[] = {1, 2, 3};
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_WARNING_TYPE, 7, 0x80000010, sid.data(), 5, 3,
                             strings, data));
    m_clock.AdvanceMs(5000);
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 100, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_TRUE(DeregisterEventSource(source));

    HANDLE log = OpenEventLogA("", "application");
    ASSERT_NE(log, nullptr);
    const std::string sidBytes(sid.begin(), sid.end());
    const std::vector<std::string> texts(std::begin(strings), std::end(strings));
    const std::vector<CEvtEvent> expected = {
        {1, 1'700'000'000, 1'700'000'000, 0x80000010, EVENTLOG_WARNING_TYPE, 7, name, "TESTHOST",
         sidBytes, texts, std::string(data, 3)},
        {2, 1'700'000'005, 1'700'000'005, 100, EVENTLOG_ERROR_TYPE, 0, name, "TESTHOST", "",
         std::vector<std::string>(), ""}};
    EXPECT_EQ(ReadAll(log, EVENTLOG_FORWARDS_READ), expected);
    EXPECT_TRUE(CloseEventLog(log));
}

// Readers seek (the block reads forwards, the event tool either way); a
// number outside the log is 87, which ends a block read.
TEST_F(EventLogTest, SeekReadsStartAtTheRecordAsked)
{
    HANDLE source = MakeLog("System", "D", 0x80000);
    HANDLE log = OpenEventLogA(nullptr, "System");
    const DWORD fwd = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
    const DWORD bwd = EVENTLOG_SEEK_READ | EVENTLOG_BACKWARDS_READ;
    EXPECT_EQ(ReadOne(log, fwd, 1), -long{ERROR_HANDLE_EOF});
    for (DWORD tag = 1; tag <= 5; ++tag)
        ASSERT_TRUE(ReportSized(source, 200, tag));
    // The flags, the record asked for, and the number read or minus the error.
    const std::tuple<DWORD, DWORD, long> steps[] = {
        {fwd, 4, 4}, {bwd, 5, 5}, {bwd, 1, 1}, {fwd, 0, -87}, {fwd, 6, -87}};
    for (const auto& [flags, record, expected] : steps)
        EXPECT_EQ(ReadOne(log, flags, record), expected) << flags << " " << record;
    CloseEventLog(log);
    DeregisterEventSource(source);
}

TEST_F(EventLogTest, RingWrapsWithFillAndSplitRecordAndKeepsNumbering)
{
    HANDLE source = MakeLog("Small", "S", 0x10000);
    HANDLE log = OpenEventLogA(nullptr, "Small");
    ASSERT_NE(log, nullptr);
    const DWORD W = 0x10000;
    DWORD tag = 0;

    // Fill the file, then place a record that ends 0x20 bytes before its end:
    // the end-of-file record is split and the oldest record gives way.
    while (Info(log).m_header.m_dwEndOffset <= W - 2000)
        ASSERT_TRUE(ReportSized(source, 1000, ++tag));
    EXPECT_EQ(tag, 64u);
    EXPECT_EQ(Info(log).m_dwFileSize, W);
    ASSERT_TRUE(ReportSized(source, W - 0x20 - Info(log).m_header.m_dwEndOffset, ++tag));
    CEventLogFileInfo info = Info(log);
    EXPECT_EQ(std::tuple(info.m_header.m_dwEndOffset, info.m_dwOldest, info.m_dwCount),
              std::tuple(W - 0x20, 2u, 64u));

    // The next record's fixed part cannot fit: the end is filled with 0x27
    // and writing restarts at 0x30.
    ASSERT_TRUE(ReportSized(source, 1000, ++tag));
    info = Info(log);
    EXPECT_EQ(
        std::tuple(info.m_header.m_dwEndOffset, info.m_dwOldest,
                   info.m_header.m_dwFlags & (ELF_LOGFILE_HEADER_WRAP | ELF_LOGFILE_HEADER_DIRTY)),
        std::tuple(0x30u + 1000, 3u, DWORD{ELF_LOGFILE_HEADER_WRAP}));
    std::string file = *ReadFileBytes(LogPath("Small"));
    for (DWORD at = W - 0x20; at < W; at += 4)
        EXPECT_EQ(GetLe32(reinterpret_cast<const BYTE*>(file.data()) + at), EVT_FILL_DWORD) << at;

    // Go round once more and split a record across the end of the file.
    while (W - Info(log).m_header.m_dwEndOffset >= 2000)
        ASSERT_TRUE(ReportSized(source, 1000, ++tag));
    DWORD splitAt = Info(log).m_header.m_dwEndOffset;
    DWORD splitLength = W - splitAt + 0x40;
    ASSERT_TRUE(ReportSized(source, splitLength, ++tag));
    EXPECT_EQ(Info(log).m_header.m_dwEndOffset, 0x30u + 0x40);
    file = *ReadFileBytes(LogPath("Small"));
    const auto* bytes = reinterpret_cast<const BYTE*>(file.data());
    EXPECT_EQ(GetLe32(bytes + splitAt), splitLength);
    EXPECT_EQ(GetLe32(bytes + splitAt + EVT_RECORD_NUMBER), tag);
    EXPECT_EQ(GetLe32(bytes + 0x30 + 0x40 - 4), splitLength); // the closing copy, after the wrap

    // Oldest and count describe what is readable, in both directions, by this
    // handle and by a reader of a copy of the file.
    const DWORD oldest = OldestAndCount(log).first;
    EXPECT_EQ(OldestAndCount(log).second, tag - oldest + 1);
    EXPECT_GT(oldest, 60u);
    std::string copy = m_strRoot + "/copy.evt";
    WriteFile(copy, file);
    HANDLE backup = OpenBackupEventLogA(nullptr, copy.c_str());
    ASSERT_NE(backup, nullptr);
    for (HANDLE reader : {log, backup}) {
        std::vector<CEvtEvent> forwards = ReadAll(reader, EVENTLOG_FORWARDS_READ);
        EXPECT_EQ(Numbers(forwards), Range(oldest, tag));
        for (const CEvtEvent& event : forwards)
            EXPECT_EQ(TagOf(event), event.m_dwRecordNumber);
        std::vector<CEvtEvent> backwards = ReadAll(reader, EVENTLOG_BACKWARDS_READ);
        ASSERT_EQ(backwards.size(), forwards.size());
        EXPECT_EQ(backwards.front().m_data.size(), splitLength - 84);
    }
    // The largest record the log takes (beside its header and end-of-file
    // record), and one larger.
    EXPECT_EQ(ErrorOf(ReportSized(source, W, tag + 1)), ERROR_LOG_FILE_FULL);
    EXPECT_TRUE(ReportSized(source, W - 0x30 - 0x28, tag + 1));
    CloseEventLog(backup);
    CloseEventLog(log);
    DeregisterEventSource(source);
}

TEST_F(EventLogTest, ClearWithAndWithoutBackup)
{
    HANDLE source = MakeLog("Application", "App", 0x20000);
    HANDLE log = OpenEventLogA(nullptr, "Application");
    for (DWORD tag = 1; tag <= 300; ++tag) // grows the file past its first 64 KiB
        ASSERT_TRUE(ReportSized(source, 400, tag));
    EXPECT_GT(Info(log).m_dwFileSize, 0x10000u);
    const DWORD oldest = OldestAndCount(log).first;

    // A backup name that exists already: 183, nothing cleared.
    std::string taken = m_strRoot + "/taken.evt";
    WriteFile(taken, "x");
    EXPECT_EQ(ErrorOf(ClearEventLogA(log, taken.c_str())), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Info(log).m_dwCount, 300 - oldest + 1);

    // With a backup: the saved file holds the records, unwrapped.
    std::string saved = m_strRoot + "/saved.evt";
    ASSERT_TRUE(ClearEventLogA(log, saved.c_str()));
    CEventLogFileInfo info = Info(log);
    EXPECT_EQ(std::tuple(info.m_dwCount, info.m_dwOldest, info.m_header.m_dwCurrentRecordNumber,
                         info.m_dwFileSize),
              std::tuple(0u, 0u, 1u, 0x10000u));
    HANDLE backup = OpenBackupEventLogA(nullptr, saved.c_str());
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(Numbers(ReadAll(backup, EVENTLOG_FORWARDS_READ)), Range(oldest, 300));
    EXPECT_EQ(Info(backup).m_header.m_dwStartOffset, 0x30u);
    EXPECT_FALSE(ClearEventLogA(backup, nullptr));
    CloseEventLog(backup);

    // Numbering restarts at 1; without a backup the log is just emptied.
    ASSERT_TRUE(ReportSized(source, 400, 1));
    EXPECT_EQ(ReadAll(log, EVENTLOG_BACKWARDS_READ).front().m_dwRecordNumber, 1u);
    ASSERT_TRUE(ClearEventLogA(log, nullptr));
    DWORD error = 0;
    EXPECT_TRUE(ReadAll(log, EVENTLOG_FORWARDS_READ, &error).empty());
    EXPECT_EQ(error, ERROR_HANDLE_EOF);
    CloseEventLog(log);
    DeregisterEventSource(source);
}

// Under a umask that takes nothing away: the network's event logs are
// readable by all but Security, backups keep their log's mode, the
// registry's lock file is readable.
TEST_F(EventLogTest, FilesOfTheNetworkHaveTheirModesUnderAPermissiveUmask)
{
    const mode_t before = ::umask(0);
    for (const char* name : {"Application", "Security"}) {
        HANDLE source = MakeLog(name, std::string(name) + "Src", 0x10000);
        ASSERT_TRUE(ReportSized(source, 200, 1));
        DeregisterEventSource(source);
        HANDLE log = OpenEventLogA(nullptr, name);
        ASSERT_TRUE(ClearEventLogA(log, (m_strRoot + "/" + name + "-backup.evt").c_str()));
        CloseEventLog(log);
    }
    ::umask(before);
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    EXPECT_EQ(mode(LogPath("Application")), 0644u);
    EXPECT_EQ(mode(m_strRoot + "/Application-backup.evt"), 0644u);
    EXPECT_EQ(mode(LogPath("Security")), 0600u);
    EXPECT_EQ(mode(m_strRoot + "/Security-backup.evt"), 0600u);
    EXPECT_EQ(mode(*GetComputerFolder(nullptr, 0) + "/HKLM.reg.lock"), 0644u);
}

TEST_F(EventLogTest, RetentionKeepsRecordsUntilOldEnough)
{
    // 65 records of 1000 bytes fill a 64 KiB log.
    struct Case {
        DWORD retention;
        std::int64_t advance; // seconds until the next write
        bool written;
    } cases[] = {
        {0, 0, true}, {0xFFFFFFFF, 1'000'000, false}, {3600, 3599, false}, {3600, 3600, true}};
    for (const Case& c : cases) {
        const std::string name = "Keep" + std::to_string(&c - cases);
        HANDLE source = MakeLog(name, "K" + std::to_string(&c - cases), 0x10000, c.retention);
        HANDLE log = OpenEventLogA(nullptr, name.c_str());
        for (DWORD tag = 1; tag <= 65; ++tag)
            ASSERT_TRUE(ReportSized(source, 1000, tag));
        m_clock.AdvanceMs(c.advance * 1000);
        EXPECT_EQ(ErrorOf(ReportSized(source, 1000, 66)), c.written ? 0u : ERROR_LOG_FILE_FULL)
            << c.retention << " " << c.advance;
        CEventLogFileInfo info = Info(log);
        EXPECT_EQ(std::tuple(info.m_dwOldest, info.m_dwCount,
                             bool(info.m_header.m_dwFlags & ELF_LOGFILE_LOGFULL_WRITTEN)),
                  std::tuple(c.written ? 2u : 1u, 65u, !c.written));
        CloseEventLog(log);
        DeregisterEventSource(source);
    }
}

TEST_F(EventLogTest, DroppedEventDiscardsNothing)
{
    // Record 1 is an hour old, record 2 a second younger: an event that
    // needs both to go is dropped and both stay; a smaller one takes 1's place.
    HANDLE source = MakeLog("KeepBoth", "KB", 0x10000, 3600);
    HANDLE log = OpenEventLogA(nullptr, "KeepBoth");
    ASSERT_TRUE(ReportSized(source, 1000, 1));
    m_clock.AdvanceMs(1000);
    for (DWORD tag = 2; tag <= 65; ++tag)
        ASSERT_TRUE(ReportSized(source, 1000, tag));
    m_clock.AdvanceMs(3599 * 1000);
    EXPECT_EQ(ErrorOf(ReportSized(source, 1900, 66)), ERROR_LOG_FILE_FULL);
    EXPECT_EQ(Numbers(ReadAll(log, EVENTLOG_FORWARDS_READ)), Range(1, 65));
    EXPECT_TRUE(ReportSized(source, 900, 66));
    EXPECT_EQ(Info(log).m_dwOldest, 2u);
    CloseEventLog(log);
    DeregisterEventSource(source);
}

// A hand-built file as Windows leaves it: a wrapped ring whose second record
// is split at the end of the file, and a dirty header whose values are stale,
// so the end-of-file record must be found.
TEST_F(EventLogTest, WindowsStyleFileIsReadFromItsEndOfFileRecord)
{
    std::string f(0x400, '\x5A');
    auto put = [&](std::size_t at, DWORD value) {
        for (int i = 0; i < 4; ++i)
            f[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    };
    // Header: dirty and wrapped, offsets and numbers from before the records.
    const DWORD header[] = {0x30, 0x654C664C, 1, 1, 0x30, 0x30, 1, 0, 0x80000, 3, 604800, 0x30};
    for (std::size_t i = 0; i < 12; ++i)
        put(4 * i, header[i]);
    // Record 1, then record 2 split: 0x70 bytes before the end, the rest
    // from 0x30.
    const std::vector<std::string> texts = {"Gr\xC3\xBC\xC3\x9F"
                                            "e",
                                            "\xE2\x82\xAC"};
    const CEvtEvent first{1, 0, 0, 0, 0, 0, "Src", "PC", "", std::vector<std::string>(1, "Hi"), ""};
    const CEvtEvent second{2,         0,  0,     0xC0001B58, 1, 0, "Service Control Manager",
                           "WIN2003", "", texts, ""};
    const std::string r1 = EncodeEvtRecord(first), r2 = EncodeEvtRecord(second);
    const DWORD begin = static_cast<DWORD>(0x390 - r1.size());
    std::memcpy(f.data() + begin, r1.data(), r1.size());
    std::memcpy(f.data() + 0x390, r2.data(), 0x70);
    std::memcpy(f.data() + 0x30, r2.data() + 0x70, r2.size() - 0x70);
    // The end-of-file record right after record 2's end.
    const DWORD end = static_cast<DWORD>(0x30 + r2.size() - 0x70);
    const DWORD eof[] = {0x28,  0x11111111, 0x22222222, 0x33333333, 0x44444444,
                         begin, end,        3,          1,          0x28};
    for (std::size_t i = 0; i < 10; ++i)
        put(end + 4 * i, eof[i]);
    std::string path = m_strRoot + "/SysEvent.Evt";
    fs::create_directories(m_strRoot);
    WriteFile(path, f);

    HANDLE log = OpenBackupEventLogA(nullptr, path.c_str());
    ASSERT_NE(log, nullptr) << GetLastError();
    EXPECT_EQ(OldestAndCount(log), (std::pair<DWORD, DWORD>{1, 2}));
    std::vector<CEvtEvent> events = ReadAll(log, EVENTLOG_FORWARDS_READ);
    EXPECT_EQ(events, (std::vector<CEvtEvent>{first, second}));
    EXPECT_EQ(ReadAll(log, EVENTLOG_BACKWARDS_READ).front().m_dwRecordNumber, 2u);

    // A backup of it is a clean, unwrapped file with the same records.
    std::string saved = m_strRoot + "/clean.evt";
    ASSERT_TRUE(BackupEventLogA(log, saved.c_str()));
    EXPECT_EQ(ErrorOf(BackupEventLogA(log, saved.c_str())), ERROR_ALREADY_EXISTS);
    CloseEventLog(log);
    HANDLE clean = OpenBackupEventLogA(nullptr, saved.c_str());
    EXPECT_EQ(
        std::pair(Info(clean).m_header.m_dwFlags, Info(clean).m_header.m_dwCurrentRecordNumber),
        std::pair(0u, 3u));
    EXPECT_EQ(ReadAll(clean, EVENTLOG_FORWARDS_READ), events);
    CloseEventLog(clean);
}

TEST_F(EventLogTest, DamagedHeadersAreErrorsNotCrashes)
{
    HANDLE source = MakeLog("Application", "A", 0x80000);
    for (DWORD tag = 1; tag <= 10; ++tag)
        ASSERT_TRUE(ReportSized(source, 200, tag));
    DeregisterEventSource(source);
    std::string good = *ReadFileBytes(LogPath("Application"));
    struct Case {
        const char* name;
        std::size_t at; // where a DWORD is overwritten; npos = truncate to `value`
        DWORD value;
    } cases[] = {
        {"bad signature", 4, 0x12345678},
        {"bad header size", 0, 0x31},
        {"truncated to the header", std::string::npos, 0x30},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        if (c.at == std::string::npos)
            bytes.resize(c.value);
        else
            PutLe32(reinterpret_cast<BYTE*>(bytes.data()) + c.at, c.value);
        std::string path = m_strRoot + "/" + c.name + ".evt";
        WriteFile(path, bytes);
        EXPECT_EQ(ErrorOf(OpenBackupEventLogA(nullptr, path.c_str())), ERROR_EVENTLOG_FILE_CORRUPT)
            << c.name;
    }
}

// Every class of damage: the intact records after it are still read, in
// both directions and by seeking; the gap says where and between which
// records; a writer never gives a number twice (it goes on, or refuses when
// the damage is where it writes); a repair keeps the intact records with
// their numbers.
TEST_F(EventLogTest, DamageIsPassedOverAndNeverHidesTheRecordsAfterIt)
{
    HANDLE source = MakeLog("Application", "A", 0x80000);
    for (DWORD tag = 1; tag <= 10; ++tag)
        ASSERT_TRUE(ReportSized(source, 200, tag));
    const std::string good = *ReadFileBytes(LogPath("Application"));
    auto at = [](DWORD record) { return std::size_t{0x30 + (record - 1) * 200}; };
    const std::size_t eof = at(11);

    using Damage = std::function<void(std::string&)>;
    auto put = [](std::size_t offset, DWORD value) -> Damage {
        return [=](std::string& b) { PutLe32(reinterpret_cast<BYTE*>(b.data()) + offset, value); };
    };
    auto insert = [](std::size_t offset, std::size_t n) -> Damage {
        return [=](std::string& b) { b.insert(offset, std::string(n, 'x')); };
    };
    auto erase = [](std::size_t offset, std::size_t n) -> Damage {
        return [=](std::string& b) { b.erase(offset, n); };
    };
    auto zero = [](std::size_t offset, std::size_t n) -> Damage {
        return [=](std::string& b) { std::memset(b.data() + offset, 0, n); };
    };
    struct Case {
        const char* name;
        Damage damage;
        DWORD missing;        // 0: none
        std::size_t damageAt; // 0: not damaged
        bool writable;        // a writer goes on after it
    } cases[] = {
        {"header's end offset outside the file", put(0x14, 0x7FFFFFF0), 0, 0, true},
        {"bad length of record 4", put(at(4), 0x10), 4, at(4), true},
        {"huge length of record 4", put(at(4), 0xFFFFFFF0), 4, at(4), true},
        {"bad closing copy of record 7", put(at(8) - 4, 196), 7, at(7), true},
        {"bad signature of record 1", put(at(1) + 4, 0), 1, at(1), true},
        {"record 2 numbered out of turn", put(at(2) + 8, 9), 2, at(2), true},
        {"impossible number of record 5", put(at(5) + 8, 0xFFFF0000), 5, at(5), true},
        {"bytes inserted into record 3", insert(at(3) + 100, 12), 3, at(3), false},
        {"bytes removed from record 6", erase(at(6) + 60, 8), 6, at(6), false},
        {"record 5 removed whole", erase(at(5), 200), 5, eof - 200, false},
        {"end-of-file record's oldest number wrapped low", put(eof + 32, 0xB5B5B5), 0, eof, false},
        {"end-of-file record overwritten", zero(eof, 40), 0, eof, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        c.damage(bytes);
        WriteFile(LogPath("Application"), bytes);
        std::vector<DWORD> expected = Range(1, 10);
        std::erase(expected, c.missing);
        HANDLE log = OpenEventLogA(nullptr, "Application");
        ASSERT_NE(log, nullptr);
        DWORD error = 0;
        EXPECT_EQ(Numbers(ReadAll(log, EVENTLOG_FORWARDS_READ, &error)), expected);
        EXPECT_EQ(error, ERROR_HANDLE_EOF);
        CloseEventLog(log);
        log = OpenEventLogA(nullptr, "Application");
        std::vector<DWORD> backwards = Numbers(ReadAll(log, EVENTLOG_BACKWARDS_READ));
        std::reverse(backwards.begin(), backwards.end());
        EXPECT_EQ(backwards, expected);
        // A seek to a missing record starts at the next intact one.
        if (c.missing) {
            EXPECT_EQ(ReadOne(log, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, c.missing),
                      c.missing + 1);
        }
        CEventLogFileInfo info = Info(log);
        EXPECT_EQ(std::pair(info.m_dwDamageOffset, info.m_dwIntact),
                  std::pair(DWORD(c.damageAt), DWORD(expected.size())));
        if (c.missing && c.damageAt != eof - 200) {
            const CEvtGap gap{DWORD(at(c.missing)), DWORD(200 + bytes.size() - good.size()),
                              c.missing - 1, c.missing + 1};
            EXPECT_EQ(info.m_gaps, std::vector<CEvtGap>{gap});
            EXPECT_EQ(FirstIntactRecord(info, c.missing, true), c.missing + 1);
        }

        // The writer: record 11 after the intact ones, or a refusal that
        // says where the damage is.
        EXPECT_EQ(ErrorOf(ReportSized(source, 200, 11)),
                  c.writable ? 0u : ERROR_EVENTLOG_FILE_CORRUPT);
        if (!c.writable) {
            EXPECT_EQ(GetEventLogDamageText(),
                      "the event log " + LogPath("Application") + " is damaged at offset " +
                          std::to_string(c.damageAt) + "; run qvevent repair");
        }

        // The repair keeps the intact records and their numbers, saves the
        // damaged bytes, and the next record is number 11 or 12.
        std::string backup = m_strRoot + "/repair-backup.evt";
        fs::remove(backup);
        BOOL repaired = FALSE;
        ASSERT_TRUE(RepairEventLogA(log, backup.c_str(), &repaired));
        EXPECT_EQ(repaired, c.damageAt != 0);
        EXPECT_EQ(fs::exists(backup), c.damageAt != 0);
        EXPECT_EQ(Info(log).m_dwDamageOffset, 0u);
        ASSERT_TRUE(ReportSized(source, 200, 12));
        if (c.writable)
            expected.push_back(11);
        expected.push_back(c.writable ? 12 : 11);
        CloseEventLog(log);
        log = OpenEventLogA(nullptr, "Application");
        EXPECT_EQ(Numbers(ReadAll(log, EVENTLOG_FORWARDS_READ)), expected);
        CloseEventLog(log);
    }
    DeregisterEventSource(source);
}

// A writer that died between a record and its end-of-file record leaves a
// dirty header: the next writer takes over after the last whole record.
TEST_F(EventLogTest, WriterThatDiedIsTakenOver)
{
    HANDLE source = MakeLog("Application", "A", 0x80000);
    for (DWORD tag = 1; tag <= 10; ++tag)
        ASSERT_TRUE(ReportSized(source, 200, tag));
    std::string bytes = *ReadFileBytes(LogPath("Application"));
    PutLe32(reinterpret_cast<BYTE*>(bytes.data()) + 0x24, ELF_LOGFILE_HEADER_DIRTY);
    // Record 10 torn: its end and the end-of-file record never came.
    std::memset(bytes.data() + 0x30 + 9 * 200 + 100, 0, 140);
    WriteFile(LogPath("Application"), bytes);
    HANDLE log = OpenEventLogA(nullptr, "Application");
    EXPECT_EQ(Info(log).m_dwDamageOffset, 0u);
    ASSERT_TRUE(ReportSized(source, 200, 10));
    EXPECT_EQ(Numbers(ReadAll(log, EVENTLOG_FORWARDS_READ)), Range(1, 10));
    CloseEventLog(log);
    DeregisterEventSource(source);
}

TEST_F(EventLogTest, LogsAndSourcesAreFoundByNameOnEachComputer)
{
    std::vector<CEventLogConfig> logs; // their list is the qvevent tool's test
    ASSERT_TRUE(EnumEventLogs(nullptr, logs));
    ASSERT_TRUE(
        AddEventSource(nullptr, "system", "Disk", {"%SystemRoot%\\disk.dll", "", "", 3, 7}));
    EXPECT_EQ(ErrorOf(AddEventSource(nullptr, "Application", "disk", {})), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(AddEventSource(nullptr, "Application", "System", {}));
    EXPECT_EQ(ErrorOf(AddEventSource(nullptr, "Application", "a\\b", {})), ERROR_INVALID_PARAMETER);

    struct Case {
        const char* name;
        const char* file;
    } cases[] = {{"SYSTEM", "System"}, {"disk", "System"}, {"Nonsense", "Application"}};
    for (const Case& c : cases) {
        HANDLE log = OpenEventLogA(nullptr, c.name);
        ASSERT_NE(log, nullptr) << c.name;
        EXPECT_EQ(Info(log).m_strPath, LogPath(c.file)) << c.name;
        CloseEventLog(log);
    }
    HANDLE source = RegisterEventSourceA(nullptr, "DISK");
    ASSERT_TRUE(ReportEventA(source, 4, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    DeregisterEventSource(source);
    HANDLE system = OpenEventLogA(nullptr, "System");
    EXPECT_EQ(ReadAll(system, EVENTLOG_FORWARDS_READ).at(0).m_strSourceName, "DISK");
    CloseEventLog(system);

    // Another computer of the network: found in any case, with its own logs.
    fs::create_directories(m_strRoot + "/CORP/SRV1");
    HANDLE remote = OpenEventLogA("\\\\srv1", "Security");
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(Info(remote).m_strPath, m_strRoot + "/CORP/SRV1/eventlog/Security.evt");
    CloseEventLog(remote);
    EXPECT_TRUE(fs::exists(m_strRoot + "/CORP/SRV1/HKLM.reg"));

    EXPECT_EQ(ErrorOf(OpenEventLogA("\\\\NOWHERE", "System")), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(ErrorOf(RegisterEventSourceA("NOWHERE", "Disk")), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(ErrorOf(EnumEventLogs("\\\\NOWHERE", logs)), ERROR_BAD_NETPATH);
    EXPECT_EQ(ErrorOf(OpenBackupEventLogA(nullptr, (m_strRoot + "/none.evt").c_str())),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(EventLogTest, CallerWithoutRightsIsDenied)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another account";
    HANDLE source = MakeLog("Application", "App", 0x80000);
    ASSERT_TRUE(ReportSized(source, 200, 1));
    HANDLE security = OpenEventLogA(nullptr, "Security"); // created for root only
    ASSERT_NE(security, nullptr);
    CloseEventLog(security);
    ::chmod(TestRoot().c_str(), 0711);

    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(1);
        if (OpenEventLogA(nullptr, "Security") || GetLastError() != ERROR_ACCESS_DENIED)
            ::_exit(2);
        if (RegisterEventSourceA(nullptr, "App") || GetLastError() != ERROR_ACCESS_DENIED)
            ::_exit(3);
        HANDLE log = OpenEventLogA(nullptr, "Application"); // readable by all
        if (!log || ReadAll(log, EVENTLOG_FORWARDS_READ).size() != 1)
            ::_exit(4);
        if (ClearEventLogA(log, nullptr) || GetLastError() != ERROR_ACCESS_DENIED)
            ::_exit(5);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    DeregisterEventSource(source);
}

} // namespace
