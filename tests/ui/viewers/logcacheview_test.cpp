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
    CFileMonitor* Show(const std::string& content, std::size_t nBlock = 0)
    {
        WriteFile("watched.log", content);
        CFileMonitor* pLog = m_frame.AddTextLog(m_strDir, "watched.log");
        m_view.SetLoadBlockSize(nBlock);
        ShowItem(pLog->GetID());
        return pLog;
    }
    void ShowItem(DWORD dwID)
    {
        m_view.ShowItem(dwID);
        WaitLoaded();
    }
    void WriteFile(const std::string& name, const std::string& content)
    {
        ASSERT_TRUE(AtomicWriteFile(m_strDir + name, content));
    }
    void WaitLoaded() { QTRY_VERIFY_WITH_TIMEOUT(!m_view.IsLoading(), 60000); }
    void ShowOnScreen(int nHeight = 200)
    {
        m_view.resize(500, nHeight);
        m_view.show();
    }
    QString Text() const { return m_pane->GetText(); }
    void Select(std::size_t nStart, std::size_t nLength)
    {
        m_pane->SetSelection(nStart, nStart + nLength);
    }
    std::size_t Start() const { return m_pane->GetSelectionStart(); }
    std::size_t CaretLine() const { return m_pane->LineOfOffset(m_pane->GetSelectionEnd()); }

    CMessageRecorder m_boxes{IDNO}; // "Not found, go on from the top?" is answered No
    CLogCacheView m_view{m_frame};
    CTextPane* m_pane = m_view.GetPane();
};

TEST_F(TextViewer, BigFileLoadsInTheBackgroundWhileTheWindowGoesOn)
{
    std::string content;
    for (int i = 0; content.size() < 6'000'000; ++i)
        content += "line " + std::to_string(i) + " of the big log\r\n";
    m_view.resize(600, 400);
    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++nTicks; });
    ticker.start(0);
    bool bLoaded = false;
    QObject::connect(&m_view, &CLogCacheView::Loaded, [&] { bLoaded = true; });

    WriteFile("big.log", content);
    m_view.SetLoadBlockSize(64 * 1024);
    m_view.ShowItem(m_frame.AddTextLog(m_strDir, "big.log")->GetID());
    EXPECT_TRUE(m_view.IsLoading() && !bLoaded) << "ShowItem returns before the file is read";
    WaitLoaded();
    EXPECT_TRUE(bLoaded);
    EXPECT_GT(nTicks, 10) << "the window thread handled its own events between the blocks";
    EXPECT_TRUE(Text() == ToQt(content).replace("\r\n", "\n")); // no 6 MB dump on failure
    EXPECT_EQ(m_frame.m_strStatus, ToQt(m_strDir + "big.log"));

    // Another item while a load runs drops the first one's remaining blocks.
    WriteFile("small.log", "just this\n");
    m_view.ShowItem(m_frame.AddTextLog(m_strDir, "big.log")->GetID());
    ASSERT_TRUE(m_view.IsLoading());
    ShowItem(m_frame.AddTextLog(m_strDir, "small.log")->GetID());
    EXPECT_EQ(Text(), "just this\n");
}

TEST_F(TextViewer, SpecialItemsShowTheirFilesMissingFilesSayWhyAndTheFontFollowsTheSettings)
{
    WriteSystemLog("a line of the system log");
    ShowItem(ITEM_KIND_SYSTEM_LOG);
    EXPECT_TRUE(Text().contains("a line of the system log"));
    AppSettings::SetAuditText((m_strDir + "audit.txt").c_str());
    WriteFile("audit.txt", "audited line\n");
    ShowItem(ITEM_KIND_TEXT_AUDIT);
    EXPECT_EQ(Text(), "audited line\n");

    CFileMonitor* pLog = m_frame.AddTextLog(m_strDir, "missing.log");
    ShowItem(pLog->GetID());
    const QString error = ToQt("Error opening file: " + m_strDir + "missing.log\n");
    EXPECT_EQ(std::pair(Text(), pLog->GetState()), std::pair(error, MON_STATE_ERROR));
    QTest::keyClicks(m_pane, "xyz");
    QTest::keyClick(m_pane, Qt::Key_Delete);
    EXPECT_EQ(Text(), error) << "read-only: typing changes nothing";

    // A settings change applies the view font.
    EXPECT_FALSE(m_pane->font().bold());
    LOGFONT font;
    AppSettings::GetViewFont(font);
    const LOGFONT before = font;
    font.lfHeight = -32;
    font.lfWeight = 700;
    font.lfItalic = 1;
    ASSERT_TRUE(AppSettings::SetViewFont(font));
    m_frame.m_doc.UpdateAllViews(ViewHint::SettingsChanged);
    const QFont applied = m_pane->font();
    EXPECT_TRUE(applied.bold() && applied.italic());
    const double dpi = QApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_NEAR(applied.pointSizeF(), 32 * 72 / dpi, 0.05);
    AppSettings::SetViewFont(before);
}

TEST_F(TextViewer, FindHonoursCaseAndWholeWordAcrossLoadBlocksAndOffersToWrap)
{
    // Blocks of 16 bytes: most words straddle two of them.
    const std::string content =
        "first line\nsome Needles here\nthe needle is small\nNeedle at last\nNeedle";
    Show(content, 16);
    ASSERT_EQ(Text(), ToQt(content));

    m_view.OnFind();
    CFindDialog* pFind = m_view.GetFindDialog();
    ASSERT_NE(pFind, nullptr);
    pFind->GetEdit()->setText("Needle");
    EXPECT_EQ(m_view.m_strLastSearch, "Needle");
    auto findAll = [&] {
        std::vector<std::size_t> starts;
        Select(0, 0);
        while (m_view.OnFindNext())
            starts.push_back(Start());
        return starts;
    };
    using Starts = std::vector<std::size_t>;
    const std::size_t nNeedles = content.find("Needles");
    const std::size_t nLower = content.find("needle");
    const std::size_t nLast = content.find("Needle at");
    const std::size_t nEnd = content.rfind("Needle");
    EXPECT_EQ(findAll(), (Starts{nNeedles, nLower, nLast, nEnd}));
    pFind->GetMatchCase()->setChecked(true);
    EXPECT_TRUE(m_view.m_bMatchCase);
    EXPECT_EQ(findAll(), (Starts{nNeedles, nLast, nEnd}));
    pFind->GetWholeWord()->setChecked(true);
    EXPECT_EQ(findAll(), (Starts{nLast, nEnd}));
    EXPECT_EQ(m_pane->GetSelectedBytes(), "Needle");
    m_view.resize(500, 200);
    SaveScreenshot(&m_view, "text-viewer");

    // Without the dialog the selection is the search text.
    m_view.GetFindDialog()->close();
    QTRY_VERIFY(m_view.GetFindDialog() == nullptr);
    m_view.m_bMatchCase = false;
    m_view.m_bWholeWord = false;
    auto findSelected = [&](std::size_t nStart, std::size_t nLength) {
        Select(nStart, nLength);
        return m_view.OnFindNext();
    };
    EXPECT_FALSE(findSelected(0, 5)) << "\"first\" occurs once";
    EXPECT_TRUE(findSelected(nNeedles + 1, 4));
    EXPECT_EQ(Start(), nLower + 1);

    // Reopening takes the selection, or the last search text without one.
    m_view.OnFind();
    ASSERT_NE(m_view.GetFindDialog(), nullptr);
    EXPECT_EQ(m_view.GetFindDialog()->GetText(), "eedl");
    EXPECT_FALSE(m_view.GetFindDialog()->GetMatchCase()->isChecked());
    m_view.GetFindDialog()->close();
    QTRY_VERIFY(m_view.GetFindDialog() == nullptr);

    // By the keys: not found offers to go on from the top (or the end, backwards).
    m_boxes.texts.clear();
    const std::string needles = "alpha\nneedle one\nbeta\nneedle two\ngamma\n";
    const std::size_t nFirst = needles.find("needle");
    const std::size_t nSecond = needles.rfind("needle");
    ShowOnScreen();
    Show(needles);
    m_pane->setFocus();
    QTest::keyClick(m_pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(m_pane, Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(m_view.GetFindDialog(), nullptr);
    Type(m_view.GetFindDialog()->GetEdit(), "needle"); // it opens with the last search text
    QTest::keyClick(m_view.GetFindDialog()->GetEdit(), Qt::Key_Return);
    EXPECT_EQ(Start(), nFirst);
    m_view.GetFindDialog()->close();
    QTRY_VERIFY(m_view.GetFindDialog() == nullptr);

    auto press = [&](Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(m_pane, Qt::Key_F3, modifiers);
        return Start();
    };
    EXPECT_EQ(press(), nSecond);
    EXPECT_EQ(press(), nSecond) << "No stays";
    EXPECT_EQ(m_boxes.texts, std::vector<std::string>{"Cannot find \"needle\".\n\nSearch again "
                                                      "from the top of the log?"});
    m_boxes.SetAnswer(IDYES);
    EXPECT_EQ(press(), nFirst) << "Yes goes on from the top";
    EXPECT_EQ(press(Qt::ShiftModifier), nSecond);
    EXPECT_EQ(m_boxes.texts.back(),
              "Cannot find \"needle\".\n\nSearch again from the end of the log?");
    EXPECT_EQ(press(Qt::ShiftModifier), nFirst);
    EXPECT_EQ(m_boxes.texts.size(), 3u);
}

TEST_F(TextViewer, SelectedTextBecomesATextKeyThatMatchesItsLine)
{
    ShowOnScreen();
    CFileMonitor* pLog = Show("10:00 disk full on /var\n10:01 all well\n");
    EXPECT_FALSE(m_view.IsWatchTextEnabled()) << "nothing selected";

    Select(5, 13); // " disk full on" with its leading blank
    ASSERT_TRUE(m_view.IsWatchTextEnabled());
    m_frame.m_ui.m_bDialogOK = FALSE;
    ChooseFromContextMenu(m_pane->viewport(), QPoint(8, 5), Qt::Key_W);
    ASSERT_NE(m_frame.m_pTextKey, nullptr) << "the key dialog was shown";
    EXPECT_EQ(pLog->GetWatchGroupCount(), 0) << "Cancel leaves nothing";
    m_frame.m_ui.m_bDialogOK = TRUE;
    ChooseFromContextMenu(m_pane->viewport(), QPoint(8, 5), Qt::Key_W);
    ASSERT_EQ(pLog->GetWatchGroupCount(), 1);
    ASSERT_EQ(pLog->GetWatchGroup(0)->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyText*>(pLog->GetWatchGroup(0)->GetKey(0));
    ASSERT_NE(pKey, nullptr);
    EXPECT_EQ(std::pair(pKey->m_strKey1, pKey->m_strKey2),
              std::pair(std::string("disk full on"), std::string()));
    EXPECT_TRUE(pKey->Match("10:00 disk full on /var") && !pKey->Match("10:01 all well"));

    m_view.OnCopy();
    IClipboard& clipboard = GetClipboard();
    ASSERT_TRUE(clipboard.Open());
    EXPECT_EQ(clipboard.GetData(CF_TEXT).GetBytes(), std::string_view(" disk full on\0", 14));
    clipboard.Close();

    ShowItem(ITEM_KIND_SYSTEM_LOG);
    Select(0, 3);
    EXPECT_FALSE(m_view.IsWatchTextEnabled()) << "never for the system log";
}

TEST_F(TextViewer, MarksAreAppendedAndShownAtTheEnd)
{
    CFileMonitor* pLog = Show("first\n");
    EXPECT_EQ(pLog->GetState(), MON_STATE_UNCHANGED);
    AppSettings::SetFastMark("--- fast ---");
    m_view.OnFastMark();
    WaitLoaded();
    EXPECT_EQ(Text(), "first\n--- fast ---\n");

    OnNextDialog([](QDialog* dialog) {
        auto* pEdit = dialog->findChild<QLineEdit*>();
        EXPECT_EQ(pEdit->text(), "My Mark");
        pEdit->setText("after the upgrade");
        dialog->accept();
    });
    m_view.OnMark();
    WaitLoaded();
    EXPECT_EQ(Text(), "first\n--- fast ---\nafter the upgrade\n");
}

TEST_F(TextViewer, GrowingLogKeepsTheReadersPlaceUnlessFollowingAndGoToLineShowsALine)
{
    std::string content;
    for (int i = 0; i < 200; ++i)
        content += "line " + std::to_string(i) + "\n";
    ShowOnScreen();
    CFileMonitor* pLog = Show(content);
    auto* follow = m_view.findChild<QToolButton*>("follow");
    ASSERT_NE(follow, nullptr);
    EXPECT_TRUE(follow->isChecked()) << "a new view starts at the end, following";
    auto grow = [&](int nFrom) {
        for (int i = nFrom; i < nFrom + 50; ++i)
            content += "line " + std::to_string(i) + "\n";
        WriteFile("watched.log", content);
        m_frame.GetDocument().OnScanProgress(pLog->GetID(), 1); // as a scan reports it
        WaitLoaded();
        EXPECT_EQ(Text(), ToQt(content));
    };

    QTest::keyClick(m_pane, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(m_pane, Qt::Key_Down);
    QTest::keyClick(m_pane, Qt::Key_Down);
    EXPECT_FALSE(follow->isChecked()) << "reading above the end pauses following";
    grow(200);
    EXPECT_EQ(std::tuple(m_pane->GetTopLine(), CaretLine()), std::tuple(0u, 2u))
        << "the place stays";
    QTest::keyClick(m_pane, Qt::Key_F5);
    WaitLoaded();
    EXPECT_EQ(std::tuple(m_pane->GetTopLine(), CaretLine()), std::tuple(0u, 2u))
        << "a refresh keeps the place too";

    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_TRUE(follow->isChecked());
    grow(250);
    EXPECT_GE(m_pane->GetTopLine() + static_cast<std::size_t>(m_pane->LinesPerPage()),
              m_pane->GetLineCount())
        << "following shows the new lines";

    // Go To Line shows the line and stops following; line numbers in every viewer.
    OnNextDialog([](QDialog* dialog) {
        QWidget* box = dialog->findChild<QSpinBox*>();
        Type(box, "120");
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::keyClick(m_pane, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(std::pair(CaretLine(), m_view.IsFollowing()), std::pair(std::size_t{119}, false));
    EXPECT_LE(m_pane->GetTopLine(), 119u);
    EXPECT_GT(m_pane->GetTopLine() + static_cast<std::size_t>(m_pane->LinesPerPage()), 119u);
    const int nTextLeft = m_pane->viewport()->geometry().left();
    ChooseFromContextMenu(m_pane->viewport(), QPoint(20, 20), Qt::Key_N);
    EXPECT_TRUE(m_pane->HasLineNumbers());
    EXPECT_GT(m_pane->viewport()->geometry().left(), nTextLeft);
    EXPECT_TRUE(CLogCacheView(m_frame).GetPane()->HasLineNumbers());
    ChooseFromContextMenu(m_pane->viewport(), QPoint(20, 20), Qt::Key_N);
    EXPECT_FALSE(m_pane->HasLineNumbers());

    // A log cut short is read again from its start.
    content = "fresh start\n";
    WriteFile("watched.log", content);
    m_frame.GetDocument().OnScanProgress(pLog->GetID(), 1);
    WaitLoaded();
    EXPECT_EQ(Text(), ToQt(content));
}

TEST_F(TextViewer, LinesCaughtByAWatchGroupAreMarkedAndCtrlDownJumpsToThem)
{
    ShowOnScreen(300);
    CFileMonitor* pLog = Show("boot\ndisk full\nall well\nok\ndisk full again\n");
    EXPECT_FALSE(m_view.GetLegend()->isVisible()) << "no groups, no legend";
    m_frame.GetDocument().AddWatchGroup(pLog->GetID(), TextGroup("Disks", {"disk full"}));
    ASSERT_TRUE(m_view.GetLegend()->isVisible());

    // The marked line is painted in the group's colour, the others not.
    const QImage image = m_pane->viewport()->grab().toImage();
    const int nHeight = m_pane->fontMetrics().lineSpacing();
    const int x = m_pane->viewport()->width() - 5;
    const QRgb marked = WatchGroupColor(0, m_pane->palette()).rgb();
    EXPECT_EQ(image.pixelColor(x, nHeight + nHeight / 2).rgb(), marked);
    EXPECT_NE(image.pixelColor(x, nHeight / 2).rgb(), marked);

    QTest::keyClick(m_pane, Qt::Key_Home, Qt::ControlModifier);
    std::vector<std::size_t> lines;
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) {
        QTest::keyClick(m_pane, key, Qt::ControlModifier);
        lines.push_back(CaretLine());
    }
    EXPECT_EQ(lines, (std::vector<std::size_t>{1, 4, 1}));
}

} // namespace
