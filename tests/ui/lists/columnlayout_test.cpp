#include "ui/lists/columnlayout.h"

#include <gtest/gtest.h>

#include "app/settings/appsettings.h"

namespace {

const CColumnSettingNames kNames{"TestNumColumns", "TestColFlags", "TestColWidths"};

std::vector<BYTE> Bytes(const std::vector<DWORD>& values)
{
    std::vector<BYTE> bytes;
    for (DWORD v : values)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<BYTE>(v >> shift));
    return bytes;
}

void Store(int nCount, const std::vector<DWORD>& ids, const std::vector<DWORD>& widths)
{
    AppSettings::WriteProfileInt(AppSettings::SECTION_SETTINGS, kNames.pszCount, nCount);
    AppSettings::WriteProfileBinary(AppSettings::SECTION_SETTINGS, kNames.pszFlags, Bytes(ids));
    AppSettings::WriteProfileBinary(AppSettings::SECTION_SETTINGS, kNames.pszWidths, Bytes(widths));
}

} // namespace

TEST(ColumnLayout, LoadsWhatTheSettingsHoldWithinTheCount)
{
    struct Case {
        int nCount;
        std::vector<DWORD> storedIds, storedWidths, ids, widths;
    };
    const Case cases[] = {
        {0, {8, 16}, {1, 2}, {1, 2, 4}, {180, 70, 80}},            // count 0: the default
        {2, {8, 16, 32}, {90, 91, 92}, {8, 16}, {90, 91}},         // only count entries
        {3, {8, 16}, {90, 91, 92}, {8, 16}, {90, 91}},             // short identifiers: never read past them
        {3, {8, 16, 32}, {90}, {8, 16, 32}, {90, 70, 70}},         // short widths: new columns' width
        {1, {}, {}, {1, 2, 4}, {180, 70, 80}},                     // nothing stored after all
        {2, {0x12345678, 0x80000000}, {300, 301}, {0x12345678, 0x80000000}, {300, 301}}, // byte order
    };
    for (const Case& c : cases) {
        Store(c.nCount, c.storedIds, c.storedWidths);
        CColumnLayout layout(kNames);
        layout.LoadOnce();
        EXPECT_EQ(layout.m_arrIds, c.ids) << "count " << c.nCount;
        EXPECT_EQ(layout.m_arrWidths, c.widths) << "count " << c.nCount;
    }
}

TEST(ColumnLayout, LoadsOnceAndSavesWhatItHolds)
{
    Store(2, {8, 16}, {90, 91});
    CColumnLayout layout(kNames);
    layout.LoadOnce();
    Store(1, {32}, {99});
    layout.LoadOnce();
    EXPECT_EQ(layout.m_arrIds, (std::vector<DWORD>{8, 16})) << "a second load keeps the columns in memory";

    layout.SetColumns({4, 8, 16, 32});
    layout.Save();
    CColumnLayout reread(kNames);
    reread.LoadOnce();
    EXPECT_EQ(reread.m_arrIds, (std::vector<DWORD>{4, 8, 16, 32}));
    EXPECT_EQ(reread.m_arrWidths, (std::vector<DWORD>{90, 91, 70, 70})) << "widths stay with positions";
    std::vector<BYTE> flags;
    ASSERT_TRUE(AppSettings::GetProfileBinary(AppSettings::SECTION_SETTINGS, kNames.pszFlags, flags));
    EXPECT_EQ(flags, Bytes({4, 8, 16, 32}));

    reread.SetColumns({16});
    EXPECT_EQ(reread.m_arrWidths, std::vector<DWORD>{90}) << "surplus widths at the end go";
}
