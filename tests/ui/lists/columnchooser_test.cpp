#include "ui/lists/columnchooser.h"
#include "widgettest.h"

namespace {

const std::vector<CColumnChoice> COLUMN_TABLE = {
    {1, "Description"}, {2, "Enabled"}, {4, "Last scan"}, {8, "Next scan"}, {16, "Last change"},
};

void ClickItem(QListWidget* list, int row, bool bDouble = false)
{
    const QPoint center = list->visualItemRect(list->item(row)).center();
    bDouble ? DoubleClick(list->viewport(), center)
            : QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, center);
}

// Select, Unselect, Move Up, Move Down as "SUMD", "-" where disabled.
std::string Buttons(const CColumnChooser& chooser)
{
    std::string s;
    s += chooser.m_pSelect->isEnabled() ? 'S' : '-';
    s += chooser.m_pUnselect->isEnabled() ? 'U' : '-';
    s += chooser.m_pMoveUp->isEnabled() ? 'M' : '-';
    s += chooser.m_pMoveDown->isEnabled() ? 'D' : '-';
    return s;
}

} // namespace

TEST(ColumnChooser, ListsButtonsMovesAndOkWithoutColumns)
{
    CColumnChooser chooser(COLUMN_TABLE, {4, 1, 99}, nullptr);
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    EXPECT_EQ(chooser.windowTitle(), "Column Chooser");
    EXPECT_EQ(Texts(chooser.m_pAvailable), (QStringList{"Enabled", "Next scan", "Last change"}));
    EXPECT_EQ(Texts(chooser.m_pSelected), (QStringList{"Last scan", "Description"}))
        << "unknown 99 is dropped";
    EXPECT_EQ(Buttons(chooser), "----") << "no list has a selection yet";

    ClickItem(chooser.m_pAvailable, 1);
    EXPECT_EQ(Buttons(chooser), "S---");
    QTest::mouseClick(chooser.m_pSelect, Qt::LeftButton);
    EXPECT_EQ(Texts(chooser.m_pSelected), (QStringList{"Last scan", "Description", "Next scan"}));
    EXPECT_EQ(Texts(chooser.m_pAvailable), (QStringList{"Enabled", "Last change"}));
    EXPECT_EQ(Buttons(chooser), "-UMD") << "the moved column is selected in its new list";

    QTest::mouseClick(chooser.m_pMoveUp, Qt::LeftButton);
    QTest::mouseClick(chooser.m_pMoveUp, Qt::LeftButton);
    QTest::mouseClick(chooser.m_pMoveUp, Qt::LeftButton); // already at the top: stays
    EXPECT_EQ(chooser.GetSelectedColumns(), (std::vector<DWORD>{8, 4, 1}));

    ClickItem(chooser.m_pSelected, 1);
    QTest::mouseClick(chooser.m_pUnselect, Qt::LeftButton);
    EXPECT_EQ(Texts(chooser.m_pAvailable), (QStringList{"Enabled", "Last change", "Last scan"}))
        << "unselected columns go to the end of the available list";
    ClickItem(chooser.m_pAvailable, 0, true);
    EXPECT_EQ(chooser.GetSelectedColumns(), (std::vector<DWORD>{8, 1, 2}))
        << "a double click moves";

    // OK without a column warns and stays open.
    CMessageRecorder messages;
    for (int i = 0; i < 3; ++i) {
        ClickItem(chooser.m_pSelected, 0);
        QTest::mouseClick(chooser.m_pUnselect, Qt::LeftButton);
    }
    ClickOk(&chooser);
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"You must select at least one column for display!"});
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_NE(chooser.result(), QDialog::Accepted);
    ClickItem(chooser.m_pAvailable, 0);
    QTest::mouseClick(chooser.m_pSelect, Qt::LeftButton);
    ClickOk(&chooser);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(messages.texts.size(), 1u);
}
