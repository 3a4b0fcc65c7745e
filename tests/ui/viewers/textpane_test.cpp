#include <QTest>

#include <gtest/gtest.h>

#include "ui/viewers/textpane.h"
#include "ui/viewers/textsearch.h"

namespace {

TEST(TextSearch, CaseAndWholeWordRules)
{
    constexpr auto npos = std::string_view::npos;
    struct Case {
        std::string_view text, what;
        std::size_t from;
        bool matchCase, wholeWord;
        std::size_t expected;
    };
    const Case cases[] = {
        {"Disk full", "disk", 0, false, false, 0},
        {"Disk full", "disk", 0, true, false, npos},
        {"Disk full", "disk", 1, false, false, npos},      // only from the offset on
        {"Disks disk", "disk", 0, false, true, 6},         // "Disks" is not the word
        {"a_disk disk_ disk", "disk", 0, false, true, 13}, // '_' belongs to a word
        {"disk", "disk", 0, false, true, 0},               // text start and end are boundaries
        {"9disk disk.", "disk", 0, true, true, 6},
        {"\xC3\xA9t\xC3\xA9 t\xC3\xA9", "t\xC3\xA9", 0, false, true, 6}, // UTF-8 letters join words
        {"\xC3\xA9T\xC3\xA9", "\xC3\x89t\xC3\xA9", 0, false, false,
         npos}, // only ASCII letters fold
        {"abc", "", 0, false, false, npos},
        {"abc", "c", 3, false, false, npos},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindInText(c.text, c.what, c.from, c.matchCase, c.wholeWord), c.expected)
            << c.text << " / " << c.what;
}

TEST(TextPane, LinesAcrossAppendsAndCarriageReturns)
{
    CTextPane pane;
    pane.Append("one\r");
    EXPECT_EQ(pane.GetLineCount(), 1u);
    EXPECT_EQ(pane.LineText(0), "one\r") << "a last \\r may still be a line end's first half";
    pane.Append("\ntwo\n\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(pane.GetLineCount(), 3u);
    EXPECT_EQ(pane.LineText(0), "one");
    EXPECT_EQ(pane.LineText(1), "two");
    EXPECT_EQ(pane.LineText(2), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(pane.LineOfOffset(4), 0u);
    EXPECT_EQ(pane.LineOfOffset(5), 1u);
    EXPECT_EQ(pane.LineOfOffset(pane.GetBytes().size()), 2u);
    EXPECT_EQ(pane.GetText(), QString::fromUtf8("one\ntwo\n\xC3\xA9t\xC3\xA9"));
    pane.Clear();
    EXPECT_EQ(pane.GetLineCount(), 1u);
    EXPECT_TRUE(pane.GetBytes().empty());
}

TEST(TextPane, KeyboardMovesAndSelectsByCharactersAndLines)
{
    CTextPane pane;
    pane.resize(300, 200);
    pane.Append("ab\r\n\xC3\xA9x\nlonger line\nz");
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&pane, key, mods);
    };

    press(Qt::Key_End);
    EXPECT_EQ(pane.GetSelectionEnd(), 2u) << "before the \\r\\n";
    press(Qt::Key_Right);
    EXPECT_EQ(pane.GetSelectionEnd(), 4u) << "over the \\r\\n at once";
    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(pane.GetSelectedBytes(), "\xC3\xA9") << "a UTF-8 character as one";
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(pane.GetSelectionStart(), 2u);
    EXPECT_FALSE(pane.HasSelection());

    press(Qt::Key_Home);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(pane.GetSelectedBytes(), "ab\r\n\xC3\xA9x\n");
    press(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pane.GetSelectionEnd(), pane.GetBytes().size());
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(pane.GetSelectionEnd(), 0u);
    EXPECT_FALSE(pane.HasSelection());
}

TEST(TextPane, ClickAndDragSelectWhatIsUnderTheMouse)
{
    CTextPane pane;
    pane.resize(400, 300);
    pane.show();
    pane.Append("first line\nsecond line\n");
    const QFontMetrics metrics = pane.fontMetrics();
    const int y = metrics.lineSpacing() + metrics.lineSpacing() / 2; // the second line
    const int x = 4 + metrics.horizontalAdvance("second ");
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, QPoint(x, y));
    QTest::mouseMove(pane.viewport(), QPoint(400, y));
    EXPECT_EQ(pane.GetSelectedBytes(), "line");
    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {},
                       QPoint(4 + 2, metrics.lineSpacing() / 2));
    EXPECT_EQ(pane.GetSelectedBytes(), "first");
}

} // namespace
