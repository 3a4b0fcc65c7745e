#include <future>

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include "platform/base/win32error.h"
#include "platform/security/token.h"
#include "testing.h"

namespace {

// Runs `body` in a child process and returns its exit status (0 = passed);
// the body reports the first failed step as a small number.
template <typename Body> int InChild(Body body)
{
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

bool CanRead(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

BOOL EnablePrivilege(const char* name)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return FALSE;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL ok = LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    DWORD error = GetLastError();
    CloseHandle(token);
    SetLastError(error);
    return ok;
}

TEST(Privileges, MissingCapabilityReportsNotAllAssigned)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root's capabilities";
    for (const char* name : {SE_SECURITY_NAME, SE_TCB_NAME}) {
        SetLastError(1234);
        EXPECT_TRUE(EnablePrivilege(name)) << name;
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << name;
    }

    // A process without CAP_SETUID in its permitted set cannot enable TCB.
    int status = InChild([] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2] = {};
        ::syscall(SYS_capget, &header, caps);
        caps[0].permitted &= ~(1u << CAP_SETUID);
        caps[0].effective &= ~(1u << CAP_SETUID);
        if (::syscall(SYS_capset, &header, caps) != 0)
            return 1;
        if (!EnablePrivilege(SE_TCB_NAME) || GetLastError() != ERROR_NOT_ALL_ASSIGNED)
            return 2;
        if (!EnablePrivilege(SE_SECURITY_NAME) || GetLastError() != ERROR_SUCCESS)
            return 3;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

// A local account with a password, removed again at the end.
class LogonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "creating a test account needs root";
        if (::access("/etc/pam.d", F_OK) != 0 || ::access("/usr/sbin/useradd", X_OK) != 0)
            GTEST_SKIP() << "PAM or useradd is not available";
        m_user = "qvt" + std::to_string(::getpid());
        std::string create = "useradd -M -s /usr/sbin/nologin " + m_user + " && echo '" + m_user +
                             ":S3cret-pass' | chpasswd";
        ASSERT_EQ(std::system(create.c_str()), 0);
        m_bCreated = true;
        char pattern[] = "/tmp/qvlogon-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        m_dir = pattern;
        ::chmod(m_dir.c_str(), 0755);
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            std::system(("rm -rf " + m_dir).c_str());
        if (m_bCreated)
            std::system(("userdel " + m_user + " 2>/dev/null").c_str());
    }

    std::string m_user;
    std::string m_dir;
    bool m_bCreated = false;
};

TEST_F(LogonTest, WrongPasswordOrUnknownUserIsLogonFailure)
{
    struct Case {
        std::string user;
        const char* password;
    } cases[] = {{m_user, "wrong"}, {m_user, ""}, {"qv-no-such-user", "S3cret-pass"}};
    for (const Case& c : cases) {
        HANDLE token = reinterpret_cast<HANDLE>(1);
        EXPECT_FALSE(LogonUserA(c.user.c_str(), ".", c.password, LOGON32_LOGON_INTERACTIVE,
                                LOGON32_PROVIDER_DEFAULT, &token))
            << c.user << " " << c.password;
        EXPECT_EQ(GetLastError(), ERROR_LOGON_FAILURE);
        EXPECT_EQ(token, nullptr);
    }
}

TEST_F(LogonTest, ImpersonationSwitchesOnlyTheCallingThread)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(LogonUserA(m_user.c_str(), "TESTHOST", "S3cret-pass", LOGON32_LOGON_INTERACTIVE,
                           LOGON32_PROVIDER_DEFAULT, &token))
        << GetLastError();
    passwd* pw = ::getpwnam(m_user.c_str());
    ASSERT_NE(pw, nullptr);

    std::string secret = m_dir + "/secret.txt";
    std::ofstream(secret) << "for the account only";
    ASSERT_EQ(::chown(secret.c_str(), pw->pw_uid, pw->pw_gid), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0400), 0);

    // Root reads everything, so the child becomes an unprivileged service
    // account that keeps only the capabilities of SeTcbPrivilege.
    int status = InChild([&] {
        ::prctl(PR_SET_KEEPCAPS, 1);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            return 1;
        if (CanRead(secret))
            return 2;
        if (!EnablePrivilege(SE_TCB_NAME) || GetLastError() != ERROR_SUCCESS)
            return 3;
        // A thread that exists already keeps the process's identity.
        std::promise<void> impersonated;
        std::future<bool> otherThreadReads = std::async(std::launch::async, [&] {
            impersonated.get_future().wait();
            return CanRead(secret);
        });
        bool ok = ImpersonateLoggedOnUser(token) && CanRead(secret);
        impersonated.set_value();
        if (!ok)
            return 4;
        if (otherThreadReads.get())
            return 5;
        if (!RevertToSelf() || CanRead(secret))
            return 6;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(CloseHandle(token));
}

} // namespace
