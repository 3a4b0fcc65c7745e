#include "settings/appsettings.h"
#include "ui/lists/columnchooser.h"
#include "ui/lists/monfileview.h"
#include "ui/lists/serversview.h"
#include "widgettest.h"

namespace {

// Each test starts as the first run of a fresh installation would.
class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* entry : {"FileNumColumns", "FileColFlags", "FileColWidths",
                                  "ServerNumColumns", "ServerColFlags", "ServerColWidths"})
            AppSettings::WriteProfileString(AppSettings::SECTION_SETTINGS, entry, nullptr);
        CMonFileView::Columns().Forget();
        CServersView::Columns().Forget();
    }

    CFakeFrame m_frame;
};

QStringList Headings(const CLogListView& view)
{
    QStringList headings;
    for (int i = 0; i < view.GetList()->columnCount(); ++i)
        headings << view.GetList()->headerItem()->text(i);
    return headings;
}

QStringList Column(const CLogListView& view, int col)
{
    QStringList cells;
    for (int i = 0; i < view.GetList()->topLevelItemCount(); ++i)
        cells << view.GetList()->topLevelItem(i)->text(col);
    return cells;
}

int SelectedRow(const CLogListView& view)
{
    const QList<QTreeWidgetItem*> selected = view.GetList()->selectedItems();
    return selected.isEmpty() ? -1 : view.GetList()->indexOfTopLevelItem(selected.front());
}

QPoint RowCenter(const CLogListView& view, int row)
{
    return view.GetList()->visualItemRect(view.GetList()->topLevelItem(row)).center();
}

} // namespace

TEST_F(ListViewTest, ChosenColumnsKeepTheWidthsOfTheirPositions)
{
    CMonFileView view(m_frame);
    view.GetList()->header()->resizeSection(0, 200);
    view.GetList()->header()->resizeSection(1, 90);
    view.GetList()->header()->resizeSection(2, 100);
    OnNextDialog<CColumnChooser>([](CColumnChooser* pChooser) {
        CColumnChooser& chooser = *pChooser;
        chooser.m_pSelected->setCurrentRow(2); // "Last scan" to the top
        chooser.m_pMoveUp->click();
        chooser.m_pMoveUp->click();
        for (const char* label : {"Bytes", "Status"}) {
            chooser.m_pAvailable->setCurrentItem(
                chooser.m_pAvailable->findItems(label, Qt::MatchExactly).front());
            chooser.m_pSelect->click();
        }
        chooser.accept();
    });
    view.OnCommand(ID_LIST_COLUMNS);
    EXPECT_EQ(Headings(view),
              (QStringList{"Last Scanned", "Description", "Enabled", "Bytes", "Status"}));
    std::vector<int> widths;
    for (int i = 0; i < view.GetList()->columnCount(); ++i)
        widths.push_back(view.GetList()->columnWidth(i));
    EXPECT_EQ(widths, (std::vector<int>{200, 90, 100, 70, 70}));
    EXPECT_TRUE(view.GetList()->headerItem()->textAlignment(3) & Qt::AlignRight);
    EXPECT_EQ(CMonFileView::Columns().m_arrIds, (std::vector<DWORD>{4, 1, 2, 32, 4096}));
}

TEST_F(ListViewTest, RowsFollowTheManagerAndTheHints)
{
    CFileMonitor* pFirst = m_frame.AddTextLog("First");
    m_frame.AddEventLog("SRV", "System");
    CFileMonitor* pSecond = m_frame.AddTextLog("Second");
    pSecond->SetEnabled(FALSE);
    pSecond->m_dwLastSize = 4000000000u;
    pSecond->m_timeLastScanned = CTime(2026, 1, 2, 15, 4, 5);
    CMonFileView::Columns().SetColumns({1, 2, 4, 32, 4096});

    CMonFileView view(m_frame);
    EXPECT_EQ(Column(view, 0), (QStringList{"First", "Second"}))
        << "text logs only, in the manager's order";
    EXPECT_EQ(Column(view, 1), (QStringList{"Yes", "No"}));
    QStringList second;
    for (int col = 1; col < 5; ++col)
        second << view.GetList()->topLevelItem(1)->text(col);
    EXPECT_EQ(second, (QStringList{"No", "03:04:05 PM", "4000000000", "Not checked"}));

    pSecond->SetState(MON_STATE_ERROR);
    m_frame.m_doc.OnScanProgress(pSecond->GetID(), 0);
    EXPECT_EQ(Column(view, 4), (QStringList{"Not checked", "Error"}));

    view.GetList()->setCurrentItem(view.GetList()->topLevelItem(1));
    m_frame.AddTextLog("Third");
    m_frame.m_doc.m_pManager->DeleteLog(pFirst->GetID());
    m_frame.m_doc.UpdateAllViews(ViewHint::SettingsChanged);
    EXPECT_EQ(Column(view, 0), (QStringList{"Second", "Third"}));
    EXPECT_EQ(SelectedRow(view), 1) << "the selected position stays selected";
}

TEST_F(ListViewTest, GettingTheFocusSelectsTheFirstRow)
{
    m_frame.AddEventLog("SRV", "System");
    m_frame.AddEventLog("SRV", "Application");
    CServersView view(m_frame);
    EXPECT_EQ(SelectedRow(view), -1);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return SelectedRow(view) == 0; }));

    view.GetList()->setCurrentItem(view.GetList()->topLevelItem(1));
    view.clearFocus();
    view.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.GetList()->hasFocus(); }));
    EXPECT_EQ(SelectedRow(view), 1) << "an existing selection stays";
}

TEST_F(ListViewTest, ContextMenusOfBothListsOfferTheLogsCommandsThenTheirOwn)
{
    m_frame.AddEventLog("SRV", "Application")->SetEnabled(TRUE);
    m_frame.AddEventLog("SRV", "Security")->SetEnabled(FALSE);
    CServersView view(m_frame);
    view.resize(600, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    std::unique_ptr<QMenu> menu = view.CreateContextMenu(RowCenter(view, 1));
    EXPECT_EQ(SelectedRow(view), 1) << "a right click selects the row";
    const QStringList items = MenuItems(*menu);
    EXPECT_TRUE(items.contains("&Rename") && items.contains("Ma&rk...\tCtrl+K [gray]"));
    EXPECT_EQ(items.back(), "&Columns...") << "the log's commands, then the list's own";
    EXPECT_EQ(menu->defaultAction(), menu->actions().front());
    menu = view.CreateContextMenu(RowCenter(view, 0));
    EXPECT_EQ(menu->actions()[2]->text(), "Disa&ble\tCtrl+T");

    // A real right click below the last row.
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        offered = MenuItems(*popup);
        popup->close();
    });
    QWidget* viewport = view.GetList()->viewport();
    const QPoint below(10, viewport->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, below, viewport->mapToGlobal(below));
    QApplication::sendEvent(viewport, &event);
    EXPECT_EQ(offered, QStringList{"&Columns..."});

    // The text-log list offers its own commands, and Enable refills the row.
    m_frame.AddTextLog("Web server");
    CMonFileView text(m_frame);
    EXPECT_FALSE(text.IsCommandEnabled(ID_LOG_CONFIGURE)) << "no row selected";
    EXPECT_TRUE(text.IsCommandEnabled(ID_LIST_COLUMNS));
    text.GetList()->setCurrentItem(text.GetList()->topLevelItem(0));
    const QStringList textItems = MenuItems(*text.CreateContextMenu(RowCenter(text, 0)));
    EXPECT_TRUE(textItems.contains("Send to &Editor") && textItems.contains("Command Bo&x..."));
    EXPECT_EQ(textItems.back(), "&Columns...");
    EXPECT_FALSE(text.IsCommandEnabled(ID_LOG_RENAME)) << "rename belongs to the event-log list";
    text.OnCommand(ID_LOG_ENABLE);
    EXPECT_EQ(Column(text, 1), QStringList{"No"}) << "the document's hint refilled the row";
    EXPECT_EQ(SelectedRow(text), 0);
}

TEST_F(ListViewTest, FirstShowFitsColumnsToTheirContentAndANewLogSaysNever)
{
    // A log kept in a workspace before it was ever scanned has no time.
    m_frame.AddTextLog("The web server's access log on the front machine")->m_timeLastScanned =
        CTime();
    m_frame.AddTextLog("Mail")->m_timeLastScanned = CTime(1'600'000'000);
    {
        CMonFileView view(m_frame);
        view.resize(700, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QTreeWidget* list = view.GetList();
        auto* items = static_cast<QAbstractItemView*>(list);
        EXPECT_EQ(Column(view, 2)[0], "Never") << "no made-up time for a log never scanned";
        EXPECT_NE(Column(view, 2)[1], "Never");
        for (int col = 0; col < list->columnCount(); ++col) {
            SCOPED_TRACE(col);
            EXPECT_GE(list->columnWidth(col), items->sizeHintForColumn(col));
            EXPECT_GE(list->columnWidth(col), list->header()->sectionSizeHint(col));
        }
        EXPECT_TRUE(list->header()->stretchLastSection());
        EXPECT_EQ(Headings(view), (QStringList{"Description", "Enabled", "Last Scanned"}));
        list->header()->resizeSection(0, 250); // as the user drags it
    }
    CMonFileView::Columns().Forget(); // a new process reads the settings
    CMonFileView again(m_frame);
    again.show();
    EXPECT_EQ(again.GetList()->columnWidth(0), 250) << "remembered widths win";
    CServersView events(m_frame);
    EXPECT_EQ(Headings(events), (QStringList{"Computer\\Log", "Enabled", "Last Scanned"}));
    EXPECT_NE(events.GetList()->columnWidth(0), 250) << "each list keeps its own columns";
}
