#include "archive/archive.h"
#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "match/searchkeytext.h"
#include "platform/base/clock.h"
#include "tasklib/actions.h"
#include "testing.h"

namespace {

class Records : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterCoreClasses();
        SetClock(&m_clock);
    }
    void TearDown() override { SetClock(nullptr); }
    CManualClock m_clock{1'700'000'000};
};

CSearchKeyText* TextKey(const char* key1, TextKeyMode mode = TextKeyMode::ONLY)
{
    auto* key = new CSearchKeyText;
    key->m_strKey1 = key1;
    key->m_nMode = mode;
    return key;
}

CKeysAndActions* Group(const char* description)
{
    auto* group = new CKeysAndActions;
    group->m_strDescription = description;
    group->AddKey(TextKey("Memory Error"));
    group->AddKey(TextKey("disk", TextKeyMode::OR));
    group->m_bMinInterval = TRUE;
    group->m_nMinIntervalMinutes = 5;
    group->m_task.SetDescription("Page the operator");
    group->m_task.SetTranslationString("%MAILTO%", "ops");
    return group;
}

// The bytes that `write` puts in an archive, as an older release stored them.
template <class F> std::string Archived(F write)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
    const std::size_t length = file.GetLength();
    std::string block = file.Detach();
    block.resize(length);
    return block;
}

template <class T> std::unique_ptr<T> Load(const std::string& bytes)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    return ar.ReadObjectAs<T>();
}

} // namespace

TEST_F(Records, VersionOneLogLoadsWithoutAccountAndFutureTimesAreClamped)
{
    std::unique_ptr<CMonitoredObject> log = Load<CMonitoredObject>(Archived([](CArchive& ar) {
        ar.WriteClass(RUNTIME_CLASS(CMonitoredObject));
        ar << DWORD{1} << LONG{1} << LONG{30} << CTime(1'600'000'000) << CTime(1'900'000'000)
           << DWORD{0};
    }));
    ASSERT_TRUE(log);
    // A future time of change becomes the load time.
    EXPECT_EQ(std::tuple(log->m_bEnabled, log->m_nInterval, log->m_timeLastScanned.GetTime(),
                         log->m_timeLastChanged.GetTime(), log->m_bImpersonate,
                         log->m_strLogonUser),
              std::tuple(TRUE, 30, 1'600'000'000, 1'700'000'000, FALSE, std::string()));
}

TEST_F(Records, DamagedLogRecordsFailCleanly)
{
    CMonitoredObject log;
    log.AddWatchGroup(Group("g"));
    std::string bytes = StoreObjectToBytes(&log);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_THROW(Load<CMonitoredObject>(bytes.substr(0, cut)), CException) << cut;

    // A group count far beyond the bytes is refused before anything is read.
    EXPECT_THROW(Load<CMonitoredObject>(Archived([](CArchive& ar) {
                     ar.WriteClass(RUNTIME_CLASS(CMonitoredObject));
                     ar << DWORD{2} << LONG{1} << LONG{30} << CTime(0) << CTime(0)
                        << DWORD{0x7FFFFFFF};
                 })),
                 CArchiveException);
}

// A log's copy owns copies of its groups, and they of their keys and task.
TEST_F(Records, CopiesOfLogsAndGroupsAreDeep)
{
    CMonitoredObject log;
    log.AddWatchGroup(Group("Disk errors"));
    log.AddWatchGroup(Group("second"));
    CMonitoredObject copy(log);
    CMonitoredObject assigned;
    assigned.AddWatchGroup(new CKeysAndActions);
    assigned = log;
    log.RemoveAllWatchGroups();
    for (const CMonitoredObject* pLog : {&copy, &assigned}) {
        ASSERT_EQ(pLog->GetWatchGroupCount(), 2);
        const CKeysAndActions* group = pLog->GetWatchGroup(0);
        EXPECT_EQ(std::tuple(group->m_strDescription, group->GetKeyCount(),
                             static_cast<CSearchKeyText*>(group->GetKey(0))->m_strKey1,
                             group->m_task.GetVariables().GetAll().at("%MAILTO%")),
                  std::tuple("Disk errors", 2, "Memory Error", "ops"));
    }
    // Indexes left over from an edit deferred past a scan change nothing.
    copy.RemoveWatchGroup(2);
    copy.GetWatchGroup(0)->RemoveKey(2);
    EXPECT_EQ(std::tuple(copy.GetWatchGroupCount(), copy.GetWatchGroup(0)->GetKeyCount()),
              std::tuple(2, 2));
}

TEST_F(Records, VersionOneGroupLoadsWithoutMinimumIntervalAndEmptyVariables)
{
    CTask task;
    task.SetDescription("Task");
    std::unique_ptr<CSearchKeyText> key(TextKey("fail"));
    std::unique_ptr<CKeysAndActions> group = Load<CKeysAndActions>(Archived([&](CArchive& ar) {
        ar.WriteClass(RUNTIME_CLASS(CKeysAndActions));
        ar << DWORD{1} << std::string("old group") << DWORD{1};
        ar.WriteObject(key.get());
        ar.WriteObject(&task);
    }));
    ASSERT_TRUE(group);
    EXPECT_EQ(std::tuple(group->m_strDescription, group->GetKeyCount(), group->m_bMinInterval,
                         group->m_nMinIntervalMinutes,
                         group->m_task.GetVariables().GetAll().at("%EVENT_SOURCE%")),
              std::tuple("old group", 1, FALSE, 0, "<empty>"));
}
