#include "ui/viewers/textpane.h"
#include "ui/viewers/textsearch.h"
#include "widgettest.h"

namespace {

// Letters beyond ASCII join words for the viewers' whole-word Find.
TEST(TextSearch, Utf8LettersJoinWords)
{
    EXPECT_EQ(FindInText("\xC3\xA9t\xC3\xA9 t\xC3\xA9", "t\xC3\xA9", 0, false, true), 6u);
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
