#include <utime.h>

#include "core/monmanager.h"
#include "evtx/evtxfile.h"
#include "evtx/evtxmonitor.h"
#include "match/searchkeyevent.h"
#include "platform/base/fileio.h"
#include "testing.h"
#include "tests/tasks/recordaction.h"

namespace {

using Lines = std::vector<std::string>;

// Runs a command and returns its standard output.
std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

Lines SplitLines(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// Writes an .evtx file with the test data generator; the records it wrote,
// one line each: id, provider, event ID, level, computer, SID, data.
Lines MakeEvtx(const std::string& path, const std::string& args)
{
    const std::string generator =
        std::string(std::getenv("QUORVIL_SOURCE_DIR")) + "/tests/evtx/make_evtx.py";
    return SplitLines(RunCommand("/usr/bin/python3 " + generator + " '" + path + "' " + args));
}

class EvtxScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterEvtxClasses();
        m_strDir = TestDir();
        ASSERT_TRUE(EnsureDirectory(m_strDir));
    }
    void AddAnyGroup(CMonitoredObject& log, CSearchKey* pKey = new CSearchKeyEvent)
    {
        AddRecordingGroup(log, "any", m_runs, {pKey});
    }
    Lines TakeSequences()
    {
        Lines ids;
        for (const CTaskRun& run : m_runs->Get())
            ids.push_back(run.Var("%EVENT_SEQUENCE%"));
        m_runs->Clear();
        return ids;
    }
    std::string m_strDir;
    std::shared_ptr<CRunLog> m_runs = std::make_shared<CRunLog>();
};

// Every record of a file of several chunks reads back as the test data
// generator wrote it.
TEST_F(EvtxScan, GeneratedFilesReadBackRecordForRecord)
{
    const std::string path = m_strDir + "/big.evtx";
    const Lines written = MakeEvtx(path, "--records 700");
    ASSERT_EQ(written.size(), 700u);
    // The generator prints the data as Name=value; the reader keeps values.
    Lines expected;
    for (const std::string& line : written) {
        const std::size_t tab = line.rfind('\t');
        std::string data;
        std::istringstream pairs(line.substr(tab + 1));
        for (std::string pair; std::getline(pairs, pair, '|');)
            data += (data.empty() ? "" : "|") + pair.substr(pair.find('=') + 1);
        expected.push_back(line.substr(0, tab + 1) + data);
    }
    CEvtxFile file;
    std::string strError;
    ASSERT_TRUE(file.Open(path, strError)) << strError;
    ASSERT_EQ(file.GetRecordCount(), 700);
    Lines read;
    CEvtxRecord record;
    for (int i = 0; i < file.GetRecordCount(); ++i) {
        ASSERT_TRUE(file.ReadRecord(i, record));
        std::string data;
        for (const std::string& s : record.arrStrings)
            data += (data.empty() ? "" : "|") + s;
        read.push_back(std::to_string(record.nIdentifier) + "\t" + record.strProvider + "\t" +
                       std::to_string(record.nEventID) + "\t" + std::to_string(record.nLevel) +
                       "\t" + record.strComputer + "\t" + record.strUserSid + "\t" + data);
    }
    EXPECT_EQ(read, expected);
}

TEST_F(EvtxScan, EventKeysVariablesAndTheDescription)
{
    const std::string path = m_strDir + "/Security.evtx";
    MakeEvtx(path, "--records 12");
    CEvtxMonitor log;
    log.m_strPath = path;
    auto* pKey = new CSearchKeyEvent;
    pKey->SetSourceValue("Microsoft-Windows-Security-Auditing");
    pKey->SetEventIDValue(4625);
    pKey->SetTypeValue(EVENTLOG_ERROR_TYPE);
    AddAnyGroup(log, pKey);
    log.Scan();
    const std::vector<CTaskRun> runs = m_runs->Get();
    // Records 1, 5, 9 are the provider's 4625s; 1 has level 2 (error), 9
    // level 1 (critical, an error too), 5 level 0 (keywords of no audit).
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].Var("%EVENT_SEQUENCE%"), "9");
    const std::map<std::string, std::string> expected = {
        {"%EVENT_SOURCE%", "Microsoft-Windows-Security-Auditing"},
        {"%EVENT_ID%", "4625"},
        {"%EVENT_TYPE%", "Error"},
        {"%EVENT_USER%", "S-1-5-21-3623811015-3361044348-30300820-1013"},
        {"%EVENT_COMPUTER%", "WS01.corp.example"},
        {"%EVENT_SEQUENCE%", "1"},
        {"%EVENT_TEXT%", "TargetUserName: TargetUserName value 1\nIpAddress: IpAddress value "
                         "1\nLogonType: 3"},
        {"%EVENT_SHORTNAME%", path},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(runs[0].Var(name), value) << name;
    EXPECT_EQ(log.m_nLastRecord, 12u);
    // What the metrics file shows: records read, group matches.
    EXPECT_EQ((std::pair{log.m_counters.m_nEntriesRead.load(), log.m_counters.m_nMatches.load()}),
              (std::pair<std::uint64_t, std::uint64_t>{12, 2}));
}

TEST_F(EvtxScan, DamagedRecordsAreSkippedAndThePositionHolds)
{
    const std::string path = m_strDir + "/System.evtx";
    MakeEvtx(path, "--records 8 --damaged 3 --damaged 6");
    CEvtxMonitor log;
    log.m_strPath = path;
    AddAnyGroup(log);
    log.Scan();
    EXPECT_EQ(std::tuple(TakeSequences(), log.GetState()),
              std::tuple(Lines{"1", "2", "4", "5", "7", "8"}, MON_STATE_GREW));
    log.Scan();
    EXPECT_EQ(std::tuple(TakeSequences(), log.GetState()),
              std::tuple(Lines{}, MON_STATE_UNCHANGED));

    // The file grows (Windows appends; here it is written anew), and the
    // workspace is saved and loaded between the scans.
    MakeEvtx(path, "--records 12 --damaged 3 --damaged 6 --damaged 10");
    log.RemoveAllWatchGroups();
    std::unique_ptr<CObject> pLoaded =
        LoadObjectFromBytes(StoreObjectToBytes(&log), RUNTIME_CLASS(CEvtxMonitor));
    auto& loaded = static_cast<CEvtxMonitor&>(*pLoaded);
    EXPECT_EQ(loaded.m_nLastRecord, 8u);
    AddAnyGroup(loaded);
    loaded.Scan();
    EXPECT_EQ(TakeSequences(), (Lines{"9", "11", "12"}));

    // A folder of files read oldest first; a new log starts at its end.
    const std::string folder = m_strDir + "/folder";
    ASSERT_TRUE(EnsureDirectory(folder));
    MakeEvtx(folder + "/b-newer.evtx", "--first 21 --records 5");
    MakeEvtx(folder + "/a-older.evtx", "--first 1 --records 20 --chunk-records 7");
    const utimbuf older{1600000000, 1600000000};
    ASSERT_EQ(::utime((folder + "/a-older.evtx").c_str(), &older), 0);
    CEvtxMonitor all;
    all.m_strPath = folder;
    AddAnyGroup(all);
    all.Scan();
    Lines expected;
    for (int i = 1; i <= 25; ++i)
        expected.push_back(std::to_string(i));
    EXPECT_EQ(TakeSequences(), expected);
    CEvtxMonitor fresh;
    fresh.m_strPath = folder;
    fresh.JumpToEnd();
    EXPECT_EQ(fresh.m_nLastRecord, 25u);

    // Not an event log file: an error of the log, not a crash.
    const std::string bad = m_strDir + "/bad.evtx";
    ASSERT_TRUE(AppendToFile(bad, std::string(5000, 'x')));
    CEvtxMonitor broken;
    broken.m_strPath = bad;
    broken.Scan();
    EXPECT_EQ(broken.GetState(), MON_STATE_ERROR);
}

TEST(EvtxText, LevelsAndAuditKeywordsGiveTheType)
{
    EXPECT_EQ(EvtxEventType(0, "<Keywords>0x8010000000000000</Keywords>"), EVENTLOG_AUDIT_FAILURE);
    EXPECT_EQ(EvtxEventType(0, "<Keywords>0x8020000000000000</Keywords>"), EVENTLOG_AUDIT_SUCCESS);
    EXPECT_EQ(EvtxEventType(1, ""), EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(EvtxEventType(3, ""), EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(EvtxEventType(4, ""), EVENTLOG_INFORMATION_TYPE);
}

} // namespace
