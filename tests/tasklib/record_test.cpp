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
    struct Case {
        const char* what;
        std::string bytes;
        int cause;
    };
    const Case cases[] = {
        {"newer task version", head + Dword(2) + "\x00"s + Dword(0) + Dword(0),
         CArchiveException::badSchema},
        {"forged action count", head + Dword(1) + "\x00"s + Dword(0xFFFFFFFF) + "\x00\x00"s,
         CArchiveException::endOfFile},
        {"null action", head + Dword(1) + "\x00"s + Dword(1) + "\x00\x00"s + Dword(0),
         CArchiveException::badClass},
        {"bare base action",
         head + Dword(1) + "\x00"s + Dword(1) + "\xFF\xFF\x01\x00\x0B\x00"s + "CBaseAction" +
             Dword(1) + Dword(0),
         CArchiveException::badClass},
        {"task as an action",
         head + Dword(1) + "\x00"s + Dword(1) + "\x01\x80"s + Dword(1) + "\x00"s + Dword(0) +
             Dword(0) + Dword(0),
         CArchiveException::badClass},
        {"an action where a task belongs",
         "\xFF\xFF\x01\x00\x0C\x00"s + "CWriteToFile" + "\xFF\xFF\x01\x00\x0B\x00"s +
             "CBaseAction" + Dword(1) + Dword(1) + "\x00\x00"s,
         CArchiveException::badClass},
    };
    for (const Case& c : cases) {
        try {
            Load(c.bytes);
            ADD_FAILURE() << c.what << " loaded";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause) << c.what << ": " << e.what();
        }
    }
    EXPECT_EQ(Load("\x00\x00"s), nullptr);
}
