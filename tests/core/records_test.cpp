#include "archive/archive.h"
#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "core/monmanager.h"
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

std::string Store(const CObject& object)
{
    return StoreObjectToBytes(&object);
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
    std::string bytes = Store(log);
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

TEST_F(Records, WatchGroupCopiesAreDeepAndSelfAssignmentChangesNothing)
{
    std::unique_ptr<CKeysAndActions> source(Group("Disk errors"));
    CKeysAndActions copy(*source);
    ASSERT_EQ(copy.GetKeyCount(), 2);
    EXPECT_NE(copy.GetKey(0), source->GetKey(0));
    source.reset();
    EXPECT_EQ(static_cast<CSearchKeyText*>(copy.GetKey(0))->m_strKey1, "Memory Error");
    EXPECT_EQ(copy.m_task.GetVariables().GetAll().at("%MAILTO%"), "ops");

    copy.m_bTaskChanged = 0;
    copy = copy;
    EXPECT_EQ(copy.GetKeyCount(), 2);
    EXPECT_EQ(copy.m_bTaskChanged, 0) << "self-assignment changes nothing";
    EXPECT_EQ(copy.GetKey(2), nullptr);
    copy.RemoveKey(2);
    EXPECT_EQ(copy.GetKeyCount(), 2);
    EXPECT_EQ(NewWatchGroupName(0), "<New Watch Group 0>");
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

TEST_F(Records, ClipboardCarriesLogsGroupsAndTasks)
{
    std::unique_ptr<CKeysAndActions> group(Group("Reboots"));
    std::unique_ptr<CKeysAndActions> pasted =
        CKeysAndActions::FromGlobalMemory(group->CopyToGlobalMemory());
    ASSERT_TRUE(pasted);
    EXPECT_EQ(Store(*pasted), Store(*group));

    std::unique_ptr<CTask> task =
        CKeysAndActions::TaskFromGlobalMemory(group->CopyTaskToGlobalMemory());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->GetDescription(), "Page the operator");
    EXPECT_EQ(CKeysAndActions::TaskFromGlobalMemory(CGlobalMemory()), nullptr);

    CMonitoredObject log;
    log.m_nInterval = 15;
    log.AddWatchGroup(group.release());
    std::unique_ptr<CMonitoredObject> copy =
        CMonitoredObject::FromGlobalMemory(log.CopyToGlobalMemory());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->m_nInterval, 15);
    EXPECT_EQ(copy->GetWatchGroupCount(), 1);
    // A group is not a log: the typed read refuses it.
    EXPECT_THROW(CMonitoredObject::FromGlobalMemory(pasted->CopyToGlobalMemory()),
                 CArchiveException);
}

TEST_F(Records, ManagerEditsGroupsAndKeysByIdentifier)
{
    CMonManager manager;
    auto* log = new CMonitoredObject;
    log->m_dwID = 0x50000001;
    manager.AddLog(log);
    EXPECT_EQ(manager.AddWatchGroup(log->m_dwID, Group("a")), 0);
    EXPECT_EQ(manager.AddWatchGroup(log->m_dwID, Group("b")), 1);
    EXPECT_EQ(manager.AddSearchKey(log->m_dwID, 1, TextKey("third")), 2);

    std::unique_ptr<CSearchKeyText> replacement(TextKey("replaced"));
    EXPECT_TRUE(manager.SetSearchKey(log->m_dwID, 1, 0, *replacement));
    EXPECT_EQ(static_cast<CSearchKeyText*>(log->GetWatchGroup(1)->GetKey(0))->m_strKey1,
              "replaced");
    EXPECT_TRUE(manager.DeleteSearchKey(log->m_dwID, 1, 1));
    EXPECT_EQ(log->GetWatchGroup(1)->GetKeyCount(), 2);

    CMonitoredObject source;
    source.AddWatchGroup(Group("from source"));
    manager.MergeWatchGroups(log->m_dwID, source);
    EXPECT_EQ(log->GetWatchGroupCount(), 3);
    manager.ReplaceWatchGroups(log->m_dwID, source);
    ASSERT_EQ(log->GetWatchGroupCount(), 1);
    EXPECT_EQ(log->GetWatchGroup(0)->m_strDescription, "from source");
    EXPECT_NE(log->GetWatchGroup(0), source.GetWatchGroup(0));
    EXPECT_TRUE(manager.DeleteWatchGroup(log->m_dwID, 0));
    EXPECT_EQ(log->GetWatchGroupCount(), 0);
}
