#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "platform/registry/environment.h"
#include "platform/registry/winreg.h"
#include "testing.h"

namespace {

constexpr const char* SOURCE_KEY =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Disk";

// A network of its own per test, with the local computer TESTHOST.
class WinRegTest : public ::testing::Test {
protected:
    void SetUp() override { SetNetworkRoot(TestDir()); }
    void TearDown() override { SetNetworkRoot(""); }

    static HKEY Create(HKEY root, const char* path)
    {
        HKEY key{};
        EXPECT_EQ(
            RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        return key;
    }
    static void Set(HKEY key, const char* name, DWORD type, const std::string& data)
    {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  0);
    }
};

TEST_F(WinRegTest, QueryFollowsTheWindowsBufferRules)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, SOURCE_KEY);
    Set(key, "EventMessageFile", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.dll\0", 19));
    Set(key, "Plain", REG_SZ, "no terminator"); // handed out with one
    Set(key, "TypesSupported", REG_DWORD, std::string("\x07\0\0\0", 4));
    Set(key, "Blob", REG_BINARY, std::string("\x01\x00\x02", 3));
    Set(key, "Sources", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
    Set(key, nullptr, REG_SZ, std::string("default\0", 8));
    RegCloseKey(key);

    HKEY root{};
    ASSERT_EQ(RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &root), 0);
    ASSERT_EQ(RegOpenKeyExA(root,
                            "system\\currentcontrolset\\services\\eventlog\\APPLICATION\\disk", 0,
                            KEY_READ, &key),
              0);
    struct {
        const char* m_pszName;
        DWORD m_dwType;
        std::string m_data;
    } const cases[] = {
        {"EventMessageFile", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.dll\0", 19)},
        {"plain", REG_SZ, std::string("no terminator\0", 14)},
        {"TypesSupported", REG_DWORD, std::string("\x07\0\0\0", 4)},
        {"Blob", REG_BINARY, std::string("\x01\x00\x02", 3)},
        {"Sources", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
        {"", REG_SZ, std::string("default\0", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        const auto size = static_cast<DWORD>(c.m_data.size());
        DWORD type = 0, cb = 0;
        EXPECT_EQ(RegQueryValueExA(key, c.m_pszName, nullptr, &type, nullptr, &cb), 0);
        EXPECT_EQ(type, c.m_dwType);
        EXPECT_EQ(cb, size);

        std::vector<BYTE> buffer(size + 4, 0xEE);
        cb = size - 1;
        type = 0;
        EXPECT_EQ(RegQueryValueExA(key, c.m_pszName, nullptr, &type, buffer.data(), &cb),
                  ERROR_MORE_DATA);
        EXPECT_EQ(cb, size);
        EXPECT_EQ(type, c.m_dwType);

        cb = size;
        EXPECT_EQ(RegQueryValueExA(key, c.m_pszName, nullptr, nullptr, buffer.data(), &cb), 0);
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + cb), c.m_data);
        EXPECT_EQ(buffer[size], 0xEE);
    }
    BYTE one = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, nullptr, &one, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, &one, 1),
              ERROR_ACCESS_DENIED); // opened for reading
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(root), 0);
}

// Values are enumerated and keys deleted by no caller of the program: only
// creating, opening and enumerating keys is checked.
TEST_F(WinRegTest, KeysAreCreatedAndEnumerated)
{
    DWORD disposition = 0;
    HKEY log{};
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\EventLog\\System", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &log, &disposition),
              0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(Create(log, "zeta"));
    RegCloseKey(Create(log, "Alpha"));
    HKEY again{};
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "system\\eventlog\\SYSTEM", 0, nullptr, 0,
                              KEY_READ, nullptr, &again, &disposition),
              0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    std::vector<std::string> names;
    LONG result = 0;
    for (DWORD i = 0;; ++i) {
        char name[80];
        DWORD cch = sizeof name;
        result = RegEnumKeyExA(again, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (result != 0)
            break;
        EXPECT_EQ(cch, std::strlen(name));
        names.emplace_back(name);
    }
    EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "zeta"}));
    char small[5];
    DWORD cch = sizeof small; // "Alpha" and its terminator need 6
    EXPECT_EQ(RegEnumKeyExA(again, 0, small, &cch, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);

    RegCloseKey(log);
    RegCloseKey(again);
    HKEY none{};
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SYSTEM", 0, KEY_READ, &none),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(static_cast<HKEY>(0x1234), "SYSTEM", 0, KEY_READ, &none),
              ERROR_INVALID_HANDLE);
}

TEST(Environment, ExpandsWindowsVariablesWithTheBufferRules)
{
    ::setenv("QV_TEST_DIR", "D:\\Apps", 1);
    ::setenv("ProgramFiles", "E:\\Programs", 1);
    struct {
        const char* m_pszIn;
        const char* m_pszOut;
    } const cases[] = {
        {"%SystemRoot%\\system32\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
        {"%SYSTEMROOT%;%windir%", "C:\\WINDOWS;C:\\WINDOWS"},
        {"%SystemDrive%\\x", "C:\\x"},
        {"%ProgramFiles%\\y", "E:\\Programs\\y"}, // the environment wins
        {"%qv_test_dir%\\z", "D:\\Apps\\z"},
        {"%CommonProgramFiles%", "C:\\Program Files\\Common Files"},
        {"%COMPUTERNAME%", "TESTHOST"},
        {"%NoSuchVariable%\\a", "%NoSuchVariable%\\a"},
        {"%NoSuch%SystemDrive%", "%NoSuchC:"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszIn);
        const auto needed = static_cast<DWORD>(std::strlen(c.m_pszOut) + 1);
        EXPECT_EQ(ExpandEnvironmentStringsA(c.m_pszIn, nullptr, 0), needed);
        std::string small(needed - 1, 'x');
        if (needed > 1) {
            EXPECT_EQ(ExpandEnvironmentStringsA(c.m_pszIn, small.data(), needed - 1), needed);
            EXPECT_EQ(small, std::string(needed - 1, 'x'));
        }
        char buffer[500];
        EXPECT_EQ(ExpandEnvironmentStringsA(c.m_pszIn, buffer, sizeof buffer), needed);
        EXPECT_STREQ(buffer, c.m_pszOut);
    }
    ::unsetenv("QV_TEST_DIR");
    ::unsetenv("ProgramFiles");
}

} // namespace
