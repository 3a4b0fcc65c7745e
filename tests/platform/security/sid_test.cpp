#include "platform/base/win32error.h"
#include "platform/security/sid.h"
#include "testing.h"

namespace {

TEST(Sid, StringAndBinaryFormsRoundTrip)
{
    const char* valid[] = {"S-1-5-18", "S-1-5-21-1-2-3-500", "S-1-5", "S-1-0x123456789ABC-7",
                           "S-1-4294967295-4294967295-1-2-3-4-5-6-7-8-9-10-11-12-13-14"};
    for (const char* text : valid) {
        std::vector<BYTE> sid;
        ASSERT_TRUE(StringToSid(text, sid)) << text;
        EXPECT_TRUE(IsValidSidBytes(sid.data(), sid.size())) << text;
        EXPECT_EQ(GetLengthSid(sid.data()), sid.size()) << text;
        EXPECT_EQ(SidToString(sid.data(), sid.size()), text);
    }
    std::vector<BYTE> system;
    ASSERT_TRUE(StringToSid("S-1-5-18", system));
    EXPECT_EQ(system, (std::vector<BYTE>{1, 1, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0}));

    for (const char* text :
         {"", "S-1", "S-2-5-18", "S-1-5-", "S-1-5-x", "S-1-4294967296", "S-1-0x1000000000000",
          "S-1-1-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"}) {
        std::vector<BYTE> sid;
        EXPECT_FALSE(StringToSid(text, sid)) << text;
    }
    BYTE broken[] = {1, 2, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    EXPECT_FALSE(IsValidSidBytes(broken, sizeof broken)); // count says 2, bytes hold 1
    EXPECT_EQ(SidToString(broken, sizeof broken), "");
}

TEST(Sid, AccountsResolveLikeLookupAccountSid)
{
    struct Case {
        std::vector<BYTE> sid;
        const char* name;
        const char* domain;
        SID_NAME_USE use;
    };
    auto parse = [](const char* text) {
        std::vector<BYTE> sid;
        StringToSid(text, sid);
        return sid;
    };
    Case cases[] = {
        {parse("S-1-5-18"), "SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup},
        {parse("S-1-1-0"), "Everyone", "", SidTypeWellKnownGroup},
        {parse("S-1-5-32-544"), "Administrators", "BUILTIN", SidTypeAlias},
        {parse("S-1-5-21-11-22-33-500"), "Administrator", "TESTHOST", SidTypeUser},
        {UnixUserSid(0), "root", "Unix User", SidTypeUser},
        {parse("S-1-5-21-1-2-3-1001"), nullptr, nullptr, SidTypeUnknown}, // no such account
        {parse("S-1-22-1-4000000000"), nullptr, nullptr, SidTypeUnknown},
        {parse("S-1-9-9"), nullptr, nullptr, SidTypeUnknown},
    };
    for (const Case& c : cases) {
        char name[50];
        char domain[50];
        DWORD cchName = sizeof name;
        DWORD cchDomain = sizeof domain;
        SID_NAME_USE use = SidTypeUnknown;
        PSID sid = const_cast<BYTE*>(c.sid.data());
        const BOOL bFound =
            LookupAccountSidA(nullptr, sid, name, &cchName, domain, &cchDomain, &use);
        if (!c.name) {
            EXPECT_FALSE(bFound) << SidToString(c.sid.data(), c.sid.size());
            EXPECT_EQ(GetLastError(), ERROR_NONE_MAPPED);
            continue;
        }
        ASSERT_TRUE(bFound) << c.name;
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(domain, c.domain);
        EXPECT_EQ(cchName, std::strlen(c.name));
        EXPECT_EQ(use, c.use);
    }

    // Short buffers: 122 and the sizes needed, terminators included.
    std::vector<BYTE> system = parse("S-1-5-18");
    char small[3];
    DWORD cchName = sizeof small;
    DWORD cchDomain = 0;
    SID_NAME_USE use;
    EXPECT_FALSE(
        LookupAccountSidA(nullptr, system.data(), small, &cchName, nullptr, &cchDomain, &use));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(cchName, 7u);
    EXPECT_EQ(cchDomain, 13u);
}

} // namespace
