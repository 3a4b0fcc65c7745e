#include "platform/base/win32error.h"
#include "platform/clipboard/clipboard.h"
#include "testing.h"

TEST(ClipboardFormats, RegisteredByNameWithoutRegardToCase)
{
    RegisterBnClipFormats();
    UINT a = RegisterClipboardFormat("Quorvil_Test_Format");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat("QUORVIL_TEST_FORMAT"), a);
    EXPECT_EQ(RegisterClipboardFormat("quorvil_test_format"), a);
    EXPECT_EQ(RegisterClipboardFormat("Quorvil_Test_Format2"), a + 1);
    EXPECT_EQ(GetClipboardFormatName(a), "Quorvil_Test_Format");

    std::set<UINT> numbers;
    for (int i = 0; i <= static_cast<int>(BnClipFormat::ACTION); ++i) {
        auto f = static_cast<BnClipFormat>(i);
        UINT n = GetBnClipFormat(f);
        numbers.insert(n);
        EXPECT_EQ(GetClipboardFormatName(n), GetBnClipFormatName(f));
    }
    EXPECT_EQ(numbers.size(), 8u);
    EXPECT_STREQ(GetBnClipFormatName(BnClipFormat::MONEVENTLOG), "CF_BN_MONEVENTLOG");

    UINT task = GetBnClipFormat(BnClipFormat::TASK);
    EXPECT_EQ(ClipboardFormatMimeType(task), "application/x-quorvil-cf-bn-task");
    EXPECT_EQ(ClipboardFormatMimeType(CF_TEXT), "text/plain");
    EXPECT_EQ(ClipboardFormatMimeType(0xBFFF), "");
}

TEST(MemoryClipboard, OpenSetGetEmpty)
{
    CMemoryClipboard clip;
    UINT f = RegisterClipboardFormat("Quorvil_Test_Clip");
    CGlobalMemory data = CGlobalMemory::FromBytes("abc");

    EXPECT_FALSE(clip.SetData(f, std::move(data)));
    EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
    EXPECT_FALSE(data.IsNull()); // still the caller's
    EXPECT_TRUE(clip.GetData(f).IsNull());

    ASSERT_TRUE(clip.Open());
    EXPECT_TRUE(clip.Open()); // again on the same thread
    std::thread([&] {
        EXPECT_FALSE(clip.Open());
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_TRUE(clip.Empty());
    EXPECT_FALSE(clip.SetData(0, std::move(data)));
    EXPECT_TRUE(clip.SetData(f, std::move(data)));
    EXPECT_TRUE(data.IsNull());
    EXPECT_TRUE(clip.IsFormatAvailable(f));
    EXPECT_FALSE(clip.IsFormatAvailable(f + 1));
    EXPECT_EQ(clip.GetData(f).GetBytes(), "abc");
    EXPECT_EQ(clip.GetData(f).GetBytes(), "abc"); // each reader gets its own copy
    EXPECT_TRUE(clip.GetData(f + 1).IsNull());
    EXPECT_TRUE(clip.Close());
    EXPECT_FALSE(clip.Close());

    std::thread([&] {
        EXPECT_TRUE(clip.IsFormatAvailable(f));
        ASSERT_TRUE(clip.Open());
        EXPECT_TRUE(clip.Empty());
        EXPECT_TRUE(clip.Close());
    }).join();
    EXPECT_FALSE(clip.IsFormatAvailable(f));
}
