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

} // namespace

// Select and Move Up are driven through the list view's own test.
TEST(ColumnChooser, UnselectedColumnsGoBackAndOkNeedsOne)
{
    CColumnChooser chooser(COLUMN_TABLE, {4, 1, 99}, nullptr);
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    EXPECT_EQ(chooser.windowTitle(), "Column Chooser");
    EXPECT_EQ(Texts(chooser.m_pSelected), (QStringList{"Last scan", "Description"}))
        << "unknown 99 is dropped";

    CMessageRecorder messages;
    for (int i = 0; i < 2; ++i) {
        ClickItem(chooser.m_pSelected, 0);
        QTest::mouseClick(chooser.m_pUnselect, Qt::LeftButton);
    }
    EXPECT_EQ(Texts(chooser.m_pAvailable),
              (QStringList{"Enabled", "Next scan", "Last change", "Last scan", "Description"}))
        << "unselected columns go to the end of the available list";
    ClickOk(&chooser);
    EXPECT_EQ(messages.texts,
              std::vector<std::string>{"You must select at least one column for display!"});
    EXPECT_TRUE(chooser.isVisible());

    ClickItem(chooser.m_pAvailable, 1, true); // a double click selects
    ClickOk(&chooser);
    EXPECT_EQ(std::pair(chooser.result(), chooser.GetSelectedColumns()),
              std::pair(int{QDialog::Accepted}, std::vector<DWORD>{8}));
}
