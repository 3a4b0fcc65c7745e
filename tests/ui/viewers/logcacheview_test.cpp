#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include "core/itemid.h"
#include "platform/clipboard/clipboard.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/finddialog.h"
#include "ui/viewers/logcacheview.h"
#include "ui/viewers/textpane.h"
#include "ui/viewers/textsearch.h"
#include "viewertest.h"

namespace {

class TextViewer : public ViewerTest {
protected:
    // A text log of the given content, shown in the view and loaded.
    CFileMonitor* Show(CLogCacheView& view, const std::string& content, std::size_t nBlock = 0)
    {
        WriteFile("watched.log", content);
        CFileMonitor* pLog = m_frame.AddTextLog(m_strDir, "watched.log");
        view.SetLoadBlockSize(nBlock);
        view.ShowItem(pLog->GetID());
        WaitLoaded(view);
        return pLog;
    }
    void WriteFile(const std::string& name, const std::string& content)
    {
        ASSERT_TRUE(AtomicWriteFile(m_strDir + name, content));
    }
    static void WaitLoaded(CLogCacheView& view)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!view.IsLoading(), 60000);
    }
    static QString Text(const CLogCacheView& view) { return view.GetPane()->GetText(); }
    static std::string Selected(const CLogCacheView& view)
    {
        return view.GetPane()->GetSelectedBytes();
    }
    static void Select(CLogCacheView& view, std::size_t nStart, std::size_t nLength)
    {
        view.GetPane()->SetSelection(nStart, nStart + nLength);
    }
    static std::size_t SelectionStart(const CLogCacheView& view)
    {
        return view.GetPane()->GetSelectionStart();
    }
};

TEST_F(TextViewer, BigFileLoadsInTheBackgroundWhileTheWindowGoesOn)
{
    std::string content;
    for (int i = 0; content.size() < 6'000'000; ++i)
        content += "line " + std::to_string(i) + " of the big log\r\n";
    CLogCacheView view(m_frame);
    view.resize(600, 400);
    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++nTicks; });
    ticker.start(0);
    bool bLoaded = false;
    QObject::connect(&view, &CLogCacheView::Loaded, [&] { bLoaded = true; });

    WriteFile("big.log", content);
    view.SetLoadBlockSize(64 * 1024);
    view.ShowItem(m_frame.AddTextLog(m_strDir, "big.log")->GetID());
    EXPECT_TRUE(view.IsLoading()) << "ShowItem returns before the file is read";
    EXPECT_FALSE(bLoaded);
    WaitLoaded(view);
    EXPECT_TRUE(bLoaded);
    // The window thread handled its own events between the blocks.
    EXPECT_GT(nTicks, 10);

    QString expected = ToQt(content);
    expected.replace("\r\n", "\n");
    EXPECT_EQ(Text(view).size(), expected.size());
    EXPECT_TRUE(Text(view) == expected);
    EXPECT_EQ(m_frame.m_strStatus, ToQt(m_strDir + "big.log"));

    // Another item while a load runs drops the first one's remaining blocks.
    WriteFile("small.log", "just this\n");
    view.ShowItem(m_frame.AddTextLog(m_strDir, "big.log")->GetID());
    ASSERT_TRUE(view.IsLoading());
    view.ShowItem(m_frame.AddTextLog(m_strDir, "small.log")->GetID());
    WaitLoaded(view);
    EXPECT_EQ(Text(view), "just this\n");
}

TEST_F(TextViewer, SpecialItemsShowTheirFilesAndMissingFilesSayWhy)
{
    WriteSystemLog("a line of the system log");
    CLogCacheView view(m_frame);
    view.ShowItem(ITEM_KIND_SYSTEM_LOG);
    WaitLoaded(view);
    EXPECT_TRUE(Text(view).contains("a line of the system log"));

    AppSettings::SetAuditText((m_strDir + "audit.txt").c_str());
    WriteFile("audit.txt", "audited line\n");
    view.ShowItem(ITEM_KIND_TEXT_AUDIT);
    WaitLoaded(view);
    EXPECT_EQ(Text(view), "audited line\n");

    CFileMonitor* pLog = m_frame.AddTextLog(m_strDir, "missing.log");
    view.ShowItem(pLog->GetID());
    WaitLoaded(view);
    EXPECT_EQ(Text(view), ToQt("Error opening file: " + m_strDir + "missing.log\n"));
    EXPECT_EQ(pLog->GetState(), MON_STATE_ERROR);

    // Read-only: typing changes nothing.
    QTest::keyClicks(view.GetPane(), "xyz");
    QTest::keyClick(view.GetPane(), Qt::Key_Delete);
    EXPECT_EQ(Text(view), ToQt("Error opening file: " + m_strDir + "missing.log\n"));
}

TEST_F(TextViewer, FindNextHonoursCaseAndWholeWordAcrossLoadBlocks)
{
    CLogCacheView view(m_frame);
    // Blocks of 16 bytes: most words straddle two of them.
    const std::string content =
        "first line\nsome Needles here\nthe needle is small\nNeedle at last\nNeedle";
    Show(view, content, 16);
    ASSERT_EQ(Text(view), ToQt(content));

    view.OnFind();
    CFindDialog* pFind = view.GetFindDialog();
    ASSERT_NE(pFind, nullptr);
    pFind->GetEdit()->setText("Needle");
    EXPECT_EQ(view.m_strLastSearch, "Needle");

    auto findAll = [&] {
        std::vector<std::size_t> starts;
        Select(view, 0, 0);
        while (view.OnFindNext())
            starts.push_back(SelectionStart(view));
        return starts;
    };
    using Starts = std::vector<std::size_t>;
    const std::size_t nNeedles = content.find("Needles");
    const std::size_t nLower = content.find("needle");
    const std::size_t nLast = content.find("Needle at");
    const std::size_t nEnd = content.rfind("Needle");
    EXPECT_EQ(findAll(), (Starts{nNeedles, nLower, nLast, nEnd}));
    pFind->GetMatchCase()->setChecked(true);
    EXPECT_TRUE(view.m_bMatchCase);
    EXPECT_EQ(findAll(), (Starts{nNeedles, nLast, nEnd}));
    pFind->GetWholeWord()->setChecked(true);
    EXPECT_EQ(findAll(), (Starts{nLast, nEnd}));
    EXPECT_EQ(Selected(view), "Needle");
    view.resize(500, 200);
    SaveScreenshot(&view, "text-viewer");

    // Without the dialog the selection is the search text.
    pFind->close();
    QTRY_VERIFY(view.GetFindDialog() == nullptr);
    view.m_bMatchCase = false;
    view.m_bWholeWord = false;
    Select(view, 0, 5);
    EXPECT_FALSE(view.OnFindNext()) << "\"first\" occurs once";
    Select(view, content.find("line"), 4);
    EXPECT_FALSE(view.OnFindNext());
    Select(view, nNeedles + 1, 4);
    EXPECT_TRUE(view.OnFindNext());
    EXPECT_EQ(SelectionStart(view), nLower + 1);

    // Reopening takes the selection, or the last search text without one.
    view.OnFind();
    ASSERT_NE(view.GetFindDialog(), nullptr);
    EXPECT_EQ(view.GetFindDialog()->GetText(), "eedl");
    EXPECT_TRUE(view.GetFindDialog()->GetMatchCase()->isChecked() == false);
    view.GetFindDialog()->close();
    QTRY_VERIFY(view.GetFindDialog() == nullptr);
}

TEST_F(TextViewer, FindNextIgnoresSearchTextsOfAHundredCharactersOrMore)
{
    std::string line(120, 'a');
    CLogCacheView view(m_frame);
    Show(view, line + "\n" + line + "\n");
    Select(view, 0, 99);
    EXPECT_TRUE(view.OnFindNext());
    Select(view, 0, 100);
    EXPECT_FALSE(view.OnFindNext());
    EXPECT_EQ(SelectionStart(view), 0u);
}

TEST_F(TextViewer, SelectedTextBecomesATextKeyThatMatchesItsLine)
{
    CLogCacheView view(m_frame);
    const std::string content = "10:00 disk full on /var\n10:01 all well\n";
    CFileMonitor* pLog = Show(view, content);
    EXPECT_FALSE(view.IsWatchTextEnabled()) << "nothing selected";

    Select(view, 5, 13); // " disk full on" with its leading blank
    ASSERT_TRUE(view.IsWatchTextEnabled());
    view.OnWatchText();
    ASSERT_EQ(pLog->GetWatchGroupCount(), 1);
    ASSERT_EQ(pLog->GetWatchGroup(0)->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyText*>(pLog->GetWatchGroup(0)->GetKey(0));
    ASSERT_NE(pKey, nullptr);
    EXPECT_EQ(pKey->m_strKey1, "disk full on");
    EXPECT_EQ(pKey->m_strKey2, "");
    EXPECT_TRUE(pKey->Match("10:00 disk full on /var"));
    EXPECT_FALSE(pKey->Match("10:01 all well"));

    view.OnCopy();
    IClipboard& clipboard = GetClipboard();
    ASSERT_TRUE(clipboard.Open());
    EXPECT_EQ(clipboard.GetData(CF_TEXT).GetBytes(), std::string_view(" disk full on\0", 14));
    clipboard.Close();

    view.ShowItem(ITEM_KIND_SYSTEM_LOG);
    WaitLoaded(view);
    Select(view, 0, 3);
    EXPECT_FALSE(view.IsWatchTextEnabled()) << "never for the system log";
}

TEST_F(TextViewer, SettingsChangeAppliesTheViewFont)
{
    CLogCacheView view(m_frame);
    EXPECT_FALSE(view.GetPane()->font().bold());
    LOGFONT font;
    AppSettings::GetViewFont(font);
    font.lfHeight = -32;
    font.lfWeight = 700;
    font.lfItalic = 1;
    ASSERT_TRUE(AppSettings::SetViewFont(font));
    m_frame.m_doc.UpdateAllViews(ViewHint::SettingsChanged);
    const QFont applied = view.GetPane()->font();
    EXPECT_TRUE(applied.bold());
    EXPECT_TRUE(applied.italic());
    const double dpi = QApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_NEAR(applied.pointSizeF(), 32 * 72 / dpi, 0.05);
    font.lfHeight = -11;
    font.lfWeight = 400;
    font.lfItalic = 0;
    AppSettings::SetViewFont(font);
}

TEST_F(TextViewer, MarksAreAppendedAndShownAtTheEnd)
{
    CLogCacheView view(m_frame);
    CFileMonitor* pLog = Show(view, "first\n");
    EXPECT_EQ(pLog->GetState(), MON_STATE_UNCHANGED);

    AppSettings::SetFastMark("--- fast ---");
    view.OnFastMark();
    WaitLoaded(view);
    EXPECT_TRUE(Text(view).endsWith("--- fast ---\n")) << FromQt(Text(view));

    CNextDialog answer([](QDialog& dialog) {
        auto* pEdit = dialog.findChild<QLineEdit*>();
        ASSERT_NE(pEdit, nullptr);
        EXPECT_EQ(pEdit->text(), "My Mark");
        pEdit->setText("after the upgrade");
        dialog.accept();
    });
    view.OnMark();
    EXPECT_TRUE(answer.WasShown());
    WaitLoaded(view);
    EXPECT_TRUE(Text(view).endsWith("--- fast ---\nafter the upgrade\n")) << FromQt(Text(view));
}

} // namespace
