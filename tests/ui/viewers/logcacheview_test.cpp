#include "core/itemid.h"
#include "platform/clipboard/clipboard.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/finddialog.h"
#include "ui/viewers/highlights.h"
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

    CMessageRecorder m_boxes{IDNO}; // "Not found, go on from the top?" is answered No
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

TEST_F(TextViewer, SpecialItemsShowTheirFilesMissingFilesSayWhyAndTheFontFollowsTheSettings)
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

    // A settings change applies the view font.
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

TEST_F(TextViewer, FindHonoursCaseAndWholeWordAcrossLoadBlocksAndOffersToWrap)
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

    // Search texts of a hundred characters or more are not looked for.
    const std::string line(120, 'a');
    Show(view, line + "\n" + line + "\n");
    Select(view, 0, 99);
    EXPECT_TRUE(view.OnFindNext());
    Select(view, 0, 100);
    EXPECT_FALSE(view.OnFindNext());
    EXPECT_EQ(SelectionStart(view), 0u);

    // By the keys: not found says so and offers to go on from the top (or,
    // backwards with Shift+F3, from the end).
    m_boxes.texts.clear();
    const std::string needles = "alpha\nneedle one\nbeta\nneedle two\ngamma\n";
    const std::size_t nFirst = needles.find("needle");
    const std::size_t nSecond = needles.rfind("needle");
    view.resize(500, 200);
    view.show();
    Show(view, needles);
    CTextPane* pane = view.GetPane();
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(view.GetFindDialog(), nullptr);
    view.GetFindDialog()->GetEdit()->clear(); // it opens with the last search text
    QTest::keyClicks(view.GetFindDialog()->GetEdit(), "needle");
    QTest::keyClick(view.GetFindDialog()->GetEdit(), Qt::Key_Return);
    EXPECT_EQ(SelectionStart(view), nFirst);
    view.GetFindDialog()->close();
    QTRY_VERIFY(view.GetFindDialog() == nullptr);

    QTest::keyClick(pane, Qt::Key_F3);
    EXPECT_EQ(SelectionStart(view), nSecond);
    QTest::keyClick(pane, Qt::Key_F3);
    ASSERT_EQ(m_boxes.texts.size(), 1u) << "nothing further says so";
    EXPECT_EQ(m_boxes.texts[0], "Cannot find \"needle\".\n\nSearch again from the top of the log?");
    EXPECT_EQ(SelectionStart(view), nSecond) << "No stays";
    m_boxes.SetAnswer(IDYES);
    QTest::keyClick(pane, Qt::Key_F3);
    EXPECT_EQ(SelectionStart(view), nFirst) << "Yes goes on from the top";

    QTest::keyClick(pane, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(m_boxes.texts.back(),
              "Cannot find \"needle\".\n\nSearch again from the end of the log?");
    EXPECT_EQ(SelectionStart(view), nSecond);
    QTest::keyClick(pane, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(SelectionStart(view), nFirst);
    EXPECT_EQ(m_boxes.texts.size(), 3u);
}

TEST_F(TextViewer, SelectedTextBecomesATextKeyThatMatchesItsLine)
{
    CLogCacheView view(m_frame);
    view.resize(500, 200);
    view.show();
    const std::string content = "10:00 disk full on /var\n10:01 all well\n";
    CFileMonitor* pLog = Show(view, content);
    EXPECT_FALSE(view.IsWatchTextEnabled()) << "nothing selected";

    Select(view, 5, 13); // " disk full on" with its leading blank
    ASSERT_TRUE(view.IsWatchTextEnabled());
    m_frame.m_ui.m_bKeyOk = FALSE;
    ChooseFromContextMenu(view.GetPane()->viewport(), QPoint(8, 5), Qt::Key_W);
    ASSERT_NE(m_frame.m_ui.m_pTextKey, nullptr) << "the key dialog was shown";
    EXPECT_EQ(pLog->GetWatchGroupCount(), 0) << "Cancel leaves nothing";
    m_frame.m_ui.m_bKeyOk = TRUE;
    ChooseFromContextMenu(view.GetPane()->viewport(), QPoint(8, 5), Qt::Key_W);
    ASSERT_EQ(pLog->GetWatchGroupCount(), 1);
    ASSERT_EQ(pLog->GetWatchGroup(0)->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyText*>(pLog->GetWatchGroup(0)->GetKey(0));
    ASSERT_NE(pKey, nullptr);
    EXPECT_EQ(std::pair(pKey->m_strKey1, pKey->m_strKey2),
              std::pair(std::string("disk full on"), std::string()));
    EXPECT_TRUE(pKey->Match("10:00 disk full on /var") && !pKey->Match("10:01 all well"));

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

TEST_F(TextViewer, MarksAreAppendedAndShownAtTheEnd)
{
    CLogCacheView view(m_frame);
    CFileMonitor* pLog = Show(view, "first\n");
    EXPECT_EQ(pLog->GetState(), MON_STATE_UNCHANGED);

    AppSettings::SetFastMark("--- fast ---");
    view.OnFastMark();
    WaitLoaded(view);
    EXPECT_TRUE(Text(view).endsWith("--- fast ---\n")) << FromQt(Text(view));

    OnNextDialog([](QDialog* dialog) {
        auto* pEdit = dialog->findChild<QLineEdit*>();
        EXPECT_EQ(pEdit->text(), "My Mark");
        pEdit->setText("after the upgrade");
        dialog->accept();
    });
    view.OnMark();
    WaitLoaded(view);
    EXPECT_TRUE(Text(view).endsWith("--- fast ---\nafter the upgrade\n")) << FromQt(Text(view));
}

} // namespace

TEST_F(TextViewer, GrowingLogKeepsTheReadersPlaceUnlessFollowingAndGoToLineShowsALine)
{
    std::string content;
    for (int i = 0; i < 200; ++i)
        content += "line " + std::to_string(i) + "\n";
    CLogCacheView view(m_frame);
    view.resize(500, 200);
    view.show();
    CFileMonitor* pLog = Show(view, content);
    CTextPane* pane = view.GetPane();
    auto* follow = view.findChild<QToolButton*>("follow");
    ASSERT_NE(follow, nullptr);
    EXPECT_TRUE(follow->isChecked()) << "a new view starts at the end, following";
    auto grow = [&](int nFrom) {
        for (int i = nFrom; i < nFrom + 50; ++i)
            content += "line " + std::to_string(i) + "\n";
        WriteFile("watched.log", content);
        m_frame.GetDocument().OnScanProgress(pLog->GetID(), 1); // as a scan reports it
        WaitLoaded(view);
    };

    QTest::keyClick(pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_Down);
    QTest::keyClick(pane, Qt::Key_Down);
    EXPECT_FALSE(follow->isChecked()) << "reading above the end pauses following";
    grow(200);
    EXPECT_EQ(Text(view), ToQt(content));
    EXPECT_EQ(pane->GetTopLine(), 0u);
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 2u) << "the caret stays";
    QTest::keyClick(pane, Qt::Key_F5);
    WaitLoaded(view);
    EXPECT_EQ(pane->GetTopLine(), 0u) << "a refresh keeps the place too";
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 2u);

    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_TRUE(follow->isChecked());
    grow(250);
    const auto atEnd = [&] {
        return pane->GetTopLine() + static_cast<std::size_t>(pane->LinesPerPage()) >=
               pane->GetLineCount();
    };
    EXPECT_TRUE(atEnd()) << "following shows the new lines";
    EXPECT_EQ(Text(view), ToQt(content));

    // Go To Line shows the line and stops following; line numbers take a
    // column, in every text viewer.
    OnNextDialog([](QDialog* dialog) {
        QWidget* box = dialog->findChild<QSpinBox*>();
        Type(box, "120");
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::keyClick(pane, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 119u);
    EXPECT_LE(pane->GetTopLine(), 119u);
    EXPECT_GT(pane->GetTopLine() + static_cast<std::size_t>(pane->LinesPerPage()), 119u);
    EXPECT_FALSE(view.IsFollowing());
    const int nTextLeft = pane->viewport()->geometry().left();
    ChooseFromContextMenu(pane->viewport(), QPoint(20, 20), Qt::Key_N);
    EXPECT_TRUE(pane->HasLineNumbers());
    EXPECT_GT(pane->viewport()->geometry().left(), nTextLeft);
    EXPECT_TRUE(CLogCacheView(m_frame).GetPane()->HasLineNumbers());
    ChooseFromContextMenu(pane->viewport(), QPoint(20, 20), Qt::Key_N);
    EXPECT_FALSE(pane->HasLineNumbers());

    // A log cut short is read again from its start.
    content = "fresh start\n";
    WriteFile("watched.log", content);
    m_frame.GetDocument().OnScanProgress(pLog->GetID(), 1);
    WaitLoaded(view);
    EXPECT_EQ(Text(view), ToQt(content));
}

TEST_F(TextViewer, LinesCaughtByAWatchGroupAreMarkedAndCtrlDownJumpsToThem)
{
    CLogCacheView view(m_frame);
    view.resize(500, 300);
    view.show();
    CFileMonitor* pLog = Show(view, "boot\ndisk full\nall well\nok\ndisk full again\n");
    EXPECT_FALSE(view.GetLegend()->isVisible()) << "no groups, no legend";
    m_frame.GetDocument().AddWatchGroup(pLog->GetID(), TextGroup("Disks", {"disk full"}));
    ASSERT_TRUE(view.GetLegend()->isVisible());

    // The marked line is painted in the group's colour, the others not.
    const QImage image = view.GetPane()->viewport()->grab().toImage();
    const int nHeight = view.GetPane()->fontMetrics().lineSpacing();
    const int x = view.GetPane()->viewport()->width() - 5;
    const QRgb marked = WatchGroupColor(0, view.GetPane()->palette()).rgb();
    EXPECT_EQ(image.pixelColor(x, nHeight + nHeight / 2).rgb(), marked);
    EXPECT_NE(image.pixelColor(x, nHeight / 2).rgb(), marked);

    CTextPane* pane = view.GetPane();
    QTest::keyClick(pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 1u);
    QTest::keyClick(pane, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 4u);
    QTest::keyClick(pane, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(pane->LineOfOffset(pane->GetSelectionEnd()), 1u);
}
