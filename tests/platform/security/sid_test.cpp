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

// The event's user is the account name alone: domain and kind are never read.
TEST(Sid, AccountsResolveLikeLookupAccountSid)
{
    auto parse = [](const char* text) {
        std::vector<BYTE> sid;
        StringToSid(text, sid);
        return sid;
    };
    const std::pair<std::vector<BYTE>, const char*> cases[] = {
        {parse("S-1-5-18"), "SYSTEM"},
        {parse("S-1-1-0"), "Everyone"},
        {parse("S-1-5-32-544"), "Administrators"},
        {parse("S-1-5-21-11-22-33-500"), "Administrator"},
        {UnixUserSid(0), "root"},
        {parse("S-1-5-21-1-2-3-1001"), nullptr}, // no such account
        {parse("S-1-22-1-4000000000"), nullptr},
        {parse("S-1-9-9"), nullptr},
    };
    for (const auto& [sid, expected] : cases) {
        char name[50];
        char domain[50];
        DWORD cchName = sizeof name;
        DWORD cchDomain = sizeof domain;
        SID_NAME_USE use = SidTypeUnknown;
        const BOOL bFound = LookupAccountSidA(nullptr, const_cast<BYTE*>(sid.data()), name,
                                              &cchName, domain, &cchDomain, &use);
        EXPECT_EQ(bFound ? std::string(name, cchName) : "error " + std::to_string(GetLastError()),
                  expected ? expected : "error " + std::to_string(ERROR_NONE_MAPPED));
    }
}

} // namespace
