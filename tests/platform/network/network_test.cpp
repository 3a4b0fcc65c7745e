#include "platform/base/win32error.h"
#include "platform/network/network.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace {

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::path(TestDir());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        ::setenv("QUORVIL_NETWORK", m_root.c_str(), 1);
        ::setenv("QUORVIL_COMPUTERNAME", "Alpha", 1);
        ::unsetenv("QUORVIL_DOMAIN");
        SetNetworkRoot("");
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
};

TEST_F(NetworkTest, ComputersResolveWithoutRegardToCase)
{
    // The local computer, named in capitals, is created on first use in WORKGROUP.
    EXPECT_EQ(GetLocalComputerName(), "ALPHA");
    auto local = GetComputerFolder(nullptr, RPC_S_SERVER_UNAVAILABLE);
    ASSERT_TRUE(local);
    EXPECT_EQ(*local, (m_root / "WORKGROUP" / "ALPHA").string());
    EXPECT_TRUE(fs::is_directory(*local));
    EXPECT_EQ(GetComputerFolder("\\\\alpha", 0), local);
    EXPECT_EQ(GetComputerFolder("", 0), local);

    fs::create_directories(m_root / "CORP" / "Srv1");
    EXPECT_EQ(GetComputerFolder("\\\\SRV1", 0), (m_root / "CORP" / "Srv1").string());
    EXPECT_EQ(GetComputerFolder("srv1", 0), (m_root / "CORP" / "Srv1").string());

    struct Missing {
        const char* name;
        DWORD error;
    } missing[] = {{"\\\\NOPE", ERROR_BAD_NETPATH},
                   {"NOPE", RPC_S_SERVER_UNAVAILABLE},
                   {"..", ERROR_BAD_NETPATH},
                   {"\\\\CORP\\Srv1", ERROR_BAD_NETPATH}};
    for (const Missing& m : missing) {
        SetLastError(0);
        EXPECT_FALSE(GetComputerFolder(m.name, m.error)) << m.name;
        EXPECT_EQ(GetLastError(), m.error) << m.name;
    }
    EXPECT_EQ(GetLocalDomainName(), "WORKGROUP");
}

TEST_F(NetworkTest, LocalComputerKeepsAnExistingDomain)
{
    fs::create_directories(m_root / "CORP" / "alpha");
    EXPECT_EQ(GetLocalDomainName(), "CORP");
    EXPECT_EQ(GetComputerFolder(nullptr, 0), (m_root / "CORP" / "alpha").string());
    EXPECT_FALSE(fs::exists(m_root / "WORKGROUP"));
}

TEST_F(NetworkTest, UncAndDrivePathsMapToComputerFolders)
{
    fs::path srv = m_root / "CORP" / "SRV";
    fs::create_directories(srv / "C$" / "WINDOWS" / "system32");
    std::ofstream(srv / "C$" / "WINDOWS" / "system32" / "x.dll") << "x";
    fs::create_directories(m_root / "WORKGROUP" / "ALPHA" / "D$");

    struct Case {
        std::string in;
        std::string out; // relative to the root; "" = fails
        DWORD error;
    } cases[] = {
        {"\\\\SRV\\C$\\WINDOWS\\system32\\x.dll", "CORP/SRV/C$/WINDOWS/system32/x.dll", 0},
        {"\\\\srv\\c$\\windows\\SYSTEM32\\X.DLL", "CORP/SRV/C$/WINDOWS/system32/x.dll", 0},
        {"//srv/C$/Windows/new/file.txt", "CORP/SRV/C$/WINDOWS/new/file.txt", 0},
        {"d:\\logs\\app.log", "WORKGROUP/ALPHA/D$/logs/app.log", 0},
        {"\\\\NOPE\\C$\\x", "", ERROR_BAD_NETPATH},
        {"\\\\SRV\\ADMIN$\\x", "", ERROR_BAD_NET_NAME},
        {"\\\\SRV", "", ERROR_BAD_NET_NAME},
        // ".." never leads out of the share, nor a share named ".." out of
        // the computer.
        {"\\\\SRV\\C$\\..\\..\\..\\ALPHA\\x", "CORP/SRV/C$/ALPHA/x", 0},
        {"\\\\SRV\\C$\\WINDOWS\\.\\..\\WINDOWS\\system32\\x.dll",
         "CORP/SRV/C$/WINDOWS/system32/x.dll", 0},
        {"d:\\..\\..\\..\\etc\\passwd", "WORKGROUP/ALPHA/D$/etc/passwd", 0},
        {"\\\\SRV\\..\\ALPHA\\D$", "", ERROR_BAD_NET_NAME},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        auto mapped = MapNetworkPath(c.in);
        if (c.out.empty()) {
            EXPECT_FALSE(mapped) << c.in;
            EXPECT_EQ(GetLastError(), c.error) << c.in;
        } else {
            ASSERT_TRUE(mapped) << c.in;
            EXPECT_EQ(*mapped, (m_root / c.out).string()) << c.in;
        }
    }
    EXPECT_EQ(MapNetworkPath("/var/log/syslog"), "/var/log/syslog");
    EXPECT_EQ(MapComputerPath("\\\\srv", "C:\\WINDOWS\\system32\\x.dll"),
              (srv / "C$/WINDOWS/system32/x.dll").string());
}

} // namespace
