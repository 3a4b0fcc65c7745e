#include <sys/fsuid.h>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "testing.h"

TEST(Win32Error, TextsAreTrimmedAndUnknownCodesEmpty)
{
    EXPECT_EQ(GetSystemErrorText(5), "Access is denied.");
    EXPECT_EQ(GetSystemErrorText(1326), "The user name or password is incorrect.");
    EXPECT_EQ(GetSystemErrorText(38), "Reached the end of the file.");
    EXPECT_EQ(GetSystemErrorText(123456), "");
    EXPECT_EQ(Win32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Win32ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
}

TEST(Win32Error, LastErrorIsPerThread)
{
    SetLastError(87);
    std::thread other([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(5);
    });
    other.join();
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(FileIo, AtomicWriteReplacesWholeFile)
{
    std::string dir = ::testing::TempDir() + "quorvil_fileio/sub";
    std::string path = dir + "/f.txt";
    ASSERT_TRUE(AtomicWriteFile(path, "first"));
    ASSERT_TRUE(AtomicWriteFile(path, "second"));
    EXPECT_EQ(ReadFileBytes(path).value(), "second");
    ASSERT_TRUE(AppendToFile(path, "+more"));
    EXPECT_EQ(ReadFileBytes(path).value(), "second+more");
    EXPECT_FALSE(ReadFileBytes(dir + "/missing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A save killed half-way left its temporary file: the next save of the
    // same file removes it, but not one of a process that still runs nor
    // one of another file.
    pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string stale = path + ".unfinished-save." + std::to_string(dead) + ".abcdef";
    const std::string live = path + ".unfinished-save." + std::to_string(::getppid()) + ".abcdef";
    const std::string other = dir + "/g.txt.unfinished-save." + std::to_string(dead) + ".abcdef";
    for (const std::string& name : {stale, live, other})
        ASSERT_TRUE(AtomicWriteFile(name, "half"));
    ASSERT_TRUE(AtomicWriteFile(path, "third"));
    EXPECT_FALSE(ReadFileBytes(stale));
    EXPECT_TRUE(ReadFileBytes(live));
    EXPECT_TRUE(ReadFileBytes(other));
}

// New files are their owner's, a replaced file keeps its mode; under a umask
// that takes nothing away each kind of file gets its own mode: the program's
// logs and workspaces its owner's, lock files readable.
TEST(FileIo, EachKindOfFileHasItsMode)
{
    std::string dir = ::testing::TempDir() + "quorvil_fileio_modes";
    EnsureDirectory(dir);
    for (const char* name :
         {"new.qvw", "backup.bak", "program.log", "task.txt", "ws.qvw", "hive.lock"})
        ::unlink((dir + "/" + name).c_str());
    auto mode = [&](const char* name) {
        struct stat st {};
        return ::stat((dir + "/" + name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    ASSERT_TRUE(AtomicWriteFile(dir + "/new.qvw", "secret"));
    EXPECT_EQ(mode("new.qvw"), 0600u);
    ASSERT_TRUE(AtomicWriteFile(dir + "/backup.bak", "secret", 0640));
    EXPECT_EQ(mode("backup.bak"), 0640u);
    ::chmod((dir + "/new.qvw").c_str(), 0660);
    ASSERT_TRUE(AtomicWriteFile(dir + "/new.qvw", "changed", 0644));
    EXPECT_EQ(mode("new.qvw"), 0660u) << "the replaced file's mode wins";

    const mode_t before = ::umask(0);
    ASSERT_TRUE(AppendToCappedFile(dir + "/program.log", "line\n", 1000));
    ASSERT_TRUE(AppendToFile(dir + "/task.txt", "line\n"));
    ASSERT_TRUE(AtomicWriteFile(dir + "/ws.qvw", "secret"));
    {
        CFileLock lock(dir + "/hive.lock", CFileLock::Mode::Exclusive);
    }
    ::umask(before);
    EXPECT_EQ(mode("program.log"), 0600u);
    EXPECT_EQ(mode("task.txt"), 0644u);
    EXPECT_EQ(mode("ws.qvw"), 0600u);
    EXPECT_EQ(mode("hive.lock"), 0644u);
}

TEST(FileIo, CappedAppendRotatesOnceAndLosesNoLine)
{
    std::string dir = ::testing::TempDir() + "quorvil_fileio_capped";
    std::string path = dir + "/app.log";
    EnsureDirectory(dir);
    ::unlink(path.c_str());
    ::unlink(RotatedLogPath(path).c_str());
    std::string all;
    for (int i = 0; i < 60; ++i) {
        std::string line = "line " + std::to_string(i) + " " + std::string(20, 'x') + "\n";
        ASSERT_TRUE(AppendToCappedFile(path, line, 400));
        all += line;
    }
    const std::string current = ReadFileBytes(path).value_or("");
    const std::string rotated = ReadFileBytes(RotatedLogPath(path)).value_or("");
    EXPECT_LE(current.size(), 400u);
    EXPECT_LE(rotated.size(), 400u);
    EXPECT_FALSE(rotated.empty());
    // The two files are the newest lines, in order: nothing between them lost.
    EXPECT_TRUE(all.ends_with(rotated + current));
    // A line longer than the cap still goes in, alone in a new file.
    const std::string big(500, 'b');
    ASSERT_TRUE(AppendToCappedFile(path, big, 400));
    EXPECT_EQ(ReadFileBytes(path).value_or(""), big);
    EXPECT_EQ(ReadFileBytes(RotatedLogPath(path)).value_or(""), current);
}

// A thread that writes as another account (as impersonation does) still
// makes the program's own files as the program.
TEST(FileIo, ProgramFilesBelongToTheProgramWhileImpersonating)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching the file-system identity needs root";
    std::string dir = ::testing::TempDir() + "quorvil_fileio_owner";
    ASSERT_TRUE(EnsureDirectory(dir));
    ::chmod(dir.c_str(), 0777);
    ::unlink((dir + "/own.log").c_str());
    ::unlink((dir + "/theirs.log").c_str());
    auto owner = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
    };
    std::thread([&] {
        ::setfsuid(65534);
        {
            CProgramFileIdentity self;
            EXPECT_TRUE(AppendToCappedFile(dir + "/own.log", "x\n", 1024));
        }
        EXPECT_TRUE(AppendToFile(dir + "/theirs.log", "x\n"));
        ::setfsuid(0);
    }).join();
    EXPECT_EQ(owner(dir + "/own.log"), 0u);
    EXPECT_EQ(owner(dir + "/theirs.log"), 65534u);
}
