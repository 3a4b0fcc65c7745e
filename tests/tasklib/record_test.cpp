#include "tasklib/task.h"
#include "testing.h"

namespace {

using namespace std::string_literals;

std::string Store(const CTask& task)
{
    return StoreObjectToBytes(&task);
}

std::unique_ptr<CTask> Load(const std::string& bytes)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    return CTask::ReadFromArchive(ar);
}

std::string Dword(DWORD v)
{
    return std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
}

CTask SampleTask()
{
    CTask task;
    task.SetDescription("Disk errors");
    CDisplayMessage message;
    message.SetMessage("%EVENT_TEXT% on %EVENT_COMPUTER%");
    task.AddAction(message);
    CRunProgram run;
    run.SetCommand("/usr/bin/logger -t quorvil '%EVENT_TEXT%'");
    run.SetDirectory("/tmp");
    run.SetWait(TRUE);
    run.SetTimeout(30);
    task.AddAction(run);
    CWriteToFile write;
    write.SetPath("/var/log/hits-%HOST%.txt");
    write.SetText("%TASK_SEQ% %EVENT_TEXT%");
    task.AddAction(write);
    message.SetMessage(std::string(300, 'x').c_str());
    task.AddAction(message);
    task.SetTranslationString("%MAILTO%", "ops@example.org");
    task.SetTranslationString("%HOST%", "");
    for (const char* name : TRIGGER_VARIABLES)
        task.SetTranslationString(name, "trigger value");
    return task;
}

} // namespace

TEST(TaskRecord, DamagedRecordsFailCleanly)
{
    RegisterBranSchedClasses();
    const std::string bytes = Store(SampleTask());
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(Load(bytes.substr(0, n)), CArchiveException) << n;

    const std::string head = "\xFF\xFF\x01\x00\x05\x00"s + "CTask";
    // What, the bytes.
    const std::pair<const char*, std::string> cases[] = {
        {"newer task version", head + Dword(2) + "\x00"s + Dword(0) + Dword(0)},
        {"forged action count", head + Dword(1) + "\x00"s + Dword(0xFFFFFFFF) + "\x00\x00"s},
        {"null action", head + Dword(1) + "\x00"s + Dword(1) + "\x00\x00"s + Dword(0)},
        {"bare base action", head + Dword(1) + "\x00"s + Dword(1) + "\xFF\xFF\x01\x00\x0B\x00"s +
                                 "CBaseAction" + Dword(1) + Dword(0)},
        {"task as an action", head + Dword(1) + "\x00"s + Dword(1) + "\x01\x80"s + Dword(1) +
                                  "\x00"s + Dword(0) + Dword(0) + Dword(0)},
        {"an action where a task belongs", "\xFF\xFF\x01\x00\x0C\x00"s + "CWriteToFile" +
                                               "\xFF\xFF\x01\x00\x0B\x00"s + "CBaseAction" +
                                               Dword(1) + Dword(1) + "\x00\x00"s},
    };
    for (const auto& [what, damaged] : cases)
        EXPECT_THROW(Load(damaged), CArchiveException) << what;
    EXPECT_EQ(Load("\x00\x00"s), nullptr);
}
