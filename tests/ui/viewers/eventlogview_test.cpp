#include "platform/base/strformat.h"
#include "platform/clipboard/clipboard.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "ui/common/commandids.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/detailview.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/eventlogmodel.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/eventproperties.h"
#include "ui/viewers/highlights.h"
#include "viewertest.h"

namespace {

class EventViewer : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        AppSettings::SetNewestFirst(0);
    }

    static QString Cell(const CEventLogView& view, int row, int column)
    {
        QAbstractItemModel* model = view.GetList()->model();
        return model->data(model->index(row, column), Qt::DisplayRole).toString();
    }
    // The texts of a row's cells, in column order.
    static QStringList RowTexts(const CEventLogView& view, int row)
    {
        QStringList texts;
        for (int col = 0; col < CEventLogModel::COL_COUNT; ++col)
            texts << Cell(view, row, col);
        return texts;
    }
    static DWORD RecordInRow(const CEventLogView& view, int row)
    {
        return Cell(view, row, CEventLogModel::COL_RECORD).toUInt();
    }
    // A viewer of the log, on screen at the given size.
    CEventLogView& Open(CEventMonitor* pLog, int nWidth = 800, int nHeight = 300)
    {
        m_pView = std::make_unique<CEventLogView>(m_frame);
        m_pView->resize(nWidth, nHeight);
        m_pView->show();
        m_pView->ShowItem(pLog->GetID());
        return *m_pView;
    }

    CMessageRecorder m_boxes;
    std::unique_ptr<CEventLogView> m_pView;
};

TEST_F(EventViewer, RowsAtTheStartMiddleAndEndOfALargeLogShowTheirRecords)
{
    WriteEventLog("Big", 1000, 20000);
    CEventLogView view(m_frame);
    view.resize(800, 400);
    view.ShowItem(m_frame.AddEventLog("Big")->GetID());

    ASSERT_EQ(view.GetList()->model()->rowCount(), 20000);
    // Opening reads one window near the newest record, not the log.
    EXPECT_LE(view.GetCache().GetEvents().GetCount(), EVENT_CACHE_WINDOW + 1);
    EXPECT_EQ(view.GetSelectedRecord(), 20999u) << "the newest record is selected";
    EXPECT_EQ(m_frame.m_strStatus, "TESTHOST\\Big");

    for (auto [row, record] :
         {std::pair{0, 1000u}, {10000, 11000u}, {19999, 20999u}, {250, 1250u}}) {
        const CTime generated = CEventStruct::ToRecordLocalTime(CTime(1'600'000'000 + record));
        EXPECT_EQ(RowTexts(view, row),
                  (QStringList{ToQt(" " + generated.Format("%m/%d/%y")),
                               ToQt(" " + generated.Format("%I:%M:%S %p")),
                               "Src" + QString::number(record % 7), QString::number(record % 4),
                               QString::number(0x40000000 | (record % 1000)), "N/A",
                               "HOST" + QString::number(record % 3), QString::number(record)}))
            << "row " << row;
    }

    view.SetNewestFirst(true);
    EXPECT_EQ(std::tuple(RecordInRow(view, 0), RecordInRow(view, 10000), RecordInRow(view, 19999)),
              std::tuple(20999u, 10999u, 1000u));
    EXPECT_EQ(std::tuple(view.RowOfRecord(1000), view.RowOfRecord(999), view.RowOfRecord(21000)),
              std::tuple(19999, -1, -1));

    // Records that left the log since the reload show "??" and their number.
    WriteEventLog("Big", 15000, 6000);
    EXPECT_EQ(Cell(view, 15999, CEventLogModel::COL_SOURCE), "??");
    EXPECT_EQ(Cell(view, 15999, CEventLogModel::COL_RECORD), "5000");
    EXPECT_EQ(Cell(view, 10000, CEventLogModel::COL_RECORD), "10999")
        << "already read, still shown";
}

// A damaged record, bytes that do not belong between two records and a
// damaged last record each show as one row; the records after them are
// there in both orders, and the newest intact record is selected.
TEST_F(EventViewer, DamagedStretchesShowAsOneRowEachBetweenTheIntactRecords)
{
    ASSERT_TRUE(AddEventLog(nullptr, "Torn", 0x1000000, 0));
    std::vector<std::string> records;
    for (DWORD n = 1; n <= 10; ++n)
        records.push_back(EncodeEvtRecord(MakeEvent(n)));
    records[4][4] = 'X';                           // record 5's signature
    records[7].insert(0, std::string(12, '\x01')); // junk before record 8
    records[9][4] = 'X';                           // the last record's
    ASSERT_TRUE(AtomicWriteFile(*GetComputerFolder(nullptr, 0) + "/eventlog/Torn.evt",
                                ComposeEvtFile(records, 11, 0x1000000, 0)));
    CEventLogView view(m_frame);
    view.ShowItem(m_frame.AddEventLog("Torn")->GetID());

    const QString damaged = " damaged records skipped";
    ASSERT_EQ(view.GetList()->model()->rowCount(), 11);
    EXPECT_EQ(view.GetSelectedRecord(), 9u);
    const std::vector<QString> oldestFirst = {"1", "2", "3", "4", "5", "6",
                                              "7", "",  "8", "9", "10"};
    for (int row = 0; row < 11; ++row) {
        SCOPED_TRACE(row);
        const bool bGap = row == 4 || row == 7 || row == 10;
        EXPECT_EQ(Cell(view, row, CEventLogModel::COL_DATE) == damaged, bGap);
        EXPECT_EQ(Cell(view, row, CEventLogModel::COL_RECORD),
                  oldestFirst[static_cast<std::size_t>(row)]);
        EXPECT_EQ(view.RecordOfRow(row),
                  bGap ? 0u : Cell(view, row, CEventLogModel::COL_RECORD).toUInt());
    }
    EXPECT_EQ(view.RowOfRecord(5), -1);
    EXPECT_EQ(view.RowOfRecord(8), 8);
    const QAbstractItemModel* model = view.GetList()->model();
    std::size_t at = 0x30;
    for (int i = 0; i < 4; ++i)
        at += records[static_cast<std::size_t>(i)].size();
    EXPECT_EQ(model->data(model->index(4, 0), Qt::ToolTipRole).toString().toStdString(),
              FormatString("%zu damaged bytes at offset %zu between record 4 and record 6",
                           records[4].size(), at));

    view.SetNewestFirst(true);
    EXPECT_EQ(Cell(view, 0, CEventLogModel::COL_DATE), damaged);
    EXPECT_EQ(RecordInRow(view, 1), 9u);
    EXPECT_EQ(Cell(view, 3, CEventLogModel::COL_DATE), damaged);
    EXPECT_EQ(Cell(view, 6, CEventLogModel::COL_DATE), damaged);
    EXPECT_EQ(RecordInRow(view, 10), 1u);
    EXPECT_EQ(view.GetSelectedRecord(), 9u);
}

TEST_F(EventViewer, OrderSwitchKeepsTheSelectedRecordAndIsSharedByEveryViewer)
{
    WriteEventLog("Three", 10, 3);
    CEventLogView view(m_frame);
    DWORD id = m_frame.AddEventLog("Three")->GetID();
    view.ShowItem(id);
    EXPECT_EQ(RecordInRow(view, 0), 10u);
    EXPECT_EQ(RecordInRow(view, 2), 12u);
    EXPECT_EQ(view.GetList()->currentIndex().row(), 2) << "newest record, oldest first";

    ASSERT_TRUE(view.SelectRecord(11));
    for (bool newestFirst : {true, false, true}) {
        view.SetNewestFirst(newestFirst);
        EXPECT_EQ(view.GetSelectedRecord(), 11u);
        EXPECT_EQ(view.GetList()->currentIndex().row(), 1);
    }
    ASSERT_TRUE(view.SelectRecord(10));
    view.SetNewestFirst(false);
    EXPECT_EQ(view.GetList()->currentIndex().row(), 0);
    view.SetNewestFirst(true);
    EXPECT_EQ(view.GetList()->currentIndex().row(), 2);
    EXPECT_EQ(RecordInRow(view, 0), 12u);

    CCommandState state;
    ASSERT_TRUE(view.UpdateCommand(ID_EVENT_NEWEST_FIRST, state));
    EXPECT_EQ(std::pair(state.bChecked, state.bEnabled), std::pair(true, false));
    ASSERT_TRUE(view.UpdateCommand(ID_EVENT_OLDEST_FIRST, state));
    EXPECT_EQ(std::pair(state.bChecked, state.bEnabled), std::pair(false, true));

    // A reload selects the newest record in either order; another viewer
    // starts in the same order.
    view.OnRefresh();
    EXPECT_EQ(view.GetSelectedRecord(), 12u);
    EXPECT_EQ(view.GetList()->currentIndex().row(), 0);
    CEventLogView second(m_frame);
    second.ShowItem(id);
    EXPECT_EQ(RecordInRow(second, 0), 12u);
}

TEST_F(EventViewer, SavedStateComesBackInANewViewerAndUnreadableLogsEmptyIt)
{
    WriteEventLog("Big", 1, 5000);
    DWORD id = m_frame.AddEventLog("Big")->GetID();
    CEventLogView::State state;
    {
        CEventLogView view(m_frame);
        view.resize(800, 300);
        view.ShowItem(id);
        view.SelectRecord(1234);
        state = view.SaveState();
    }
    EXPECT_EQ(std::pair(state.dwID, state.nSelectedRecord), std::pair(id, DWORD{1234}));
    CEventLogView view(m_frame);
    view.resize(800, 300);
    view.RestoreState(state);
    EXPECT_EQ(std::tuple(view.GetItem(), view.GetSelectedRecord(), view.SaveState().nTopRecord),
              std::tuple(id, DWORD{1234}, state.nTopRecord));

    // A log that cannot be read, or a monitor that is gone, empties the list.
    CEventMonitor* pLog = m_frame.AddEventLog("Nowhere");
    pLog->m_strServer = "NOSUCHHOST";
    view.ShowItem(pLog->GetID());
    EXPECT_EQ(view.GetList()->model()->rowCount(), 0);
    EXPECT_EQ(pLog->GetState(), MON_STATE_ERROR);
    ASSERT_EQ(m_boxes.texts.size(), 1u);
    EXPECT_EQ(m_boxes.texts[0].rfind("Error reading event log: NOSUCHHOST\\Nowhere\n\n", 0), 0u)
        << m_boxes.texts[0];

    view.ShowItem(0x60000000 | 0x0FFFFFFF);
    EXPECT_EQ(view.GetItem(), 0u);
    EXPECT_FALSE(view.IsRefreshEnabled());
}

TEST_F(EventViewer, FollowSelectsNewEventsAndAReaderOfOlderOnesKeepsHisPlace)
{
    WriteEventLog("Grow", 1, 100);
    CEventMonitor* pLog = m_frame.AddEventLog("Grow");
    CEventLogView& view = Open(pLog, 800, 400);
    auto* follow = view.findChild<QToolButton*>("follow");
    ASSERT_NE(follow, nullptr);
    EXPECT_TRUE(follow->isChecked()) << "a new view starts at the newest event, following";
    auto grow = [&](DWORD nRecords) {
        WriteEventLog("Grow", 1, nRecords);
        m_frame.m_doc.OnScanProgress(pLog->GetID(), nRecords);
        EXPECT_EQ(view.GetList()->model()->rowCount(), static_cast<int>(nRecords));
    };

    grow(110);
    EXPECT_EQ(view.GetSelectedRecord(), 110u) << "following";
    EXPECT_EQ(pLog->GetState(), MON_STATE_UNCHANGED);

    // Moving up from the newest event pauses following; the reader stays.
    view.GetList()->setFocus();
    QTest::keyClick(view.GetList(), Qt::Key_Up);
    EXPECT_FALSE(follow->isChecked());
    const int nTopRow = view.GetList()->rowAt(0);
    grow(120);
    EXPECT_EQ(view.GetSelectedRecord(), 109u);
    EXPECT_EQ(view.GetList()->rowAt(0), nTopRow) << "the list does not scroll";

    // Going to the newest event follows again; unchecking pauses where it is.
    QTest::keyClick(view.GetList(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(follow->isChecked());
    grow(130);
    EXPECT_EQ(view.GetSelectedRecord(), 130u);
    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_FALSE(view.IsFollowing());
    grow(140);
    EXPECT_EQ(view.GetSelectedRecord(), 130u);
    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_EQ(view.GetSelectedRecord(), 140u) << "checking Follow goes to the newest event";

    m_frame.m_doc.UpdateAllViews(ViewHint::LogDeleted,
                                 std::make_unique<CHintStruct>(pLog->GetID()).get());
    EXPECT_EQ(view.GetList()->model()->rowCount(), 0);
    EXPECT_EQ(view.GetItem(), 0u);
}

TEST_F(EventViewer, PropertiesWalkTheLogAndCopyTheEventAsText)
{
    WriteEventLog("App", 50, 3, [](DWORD n) {
        CEvtEvent e = MakeEvent(n);
        e.m_dwEventID = 0xC0000005;
        e.m_wEventCategory = n == 51 ? 0 : 3;
        return e;
    });
    CEventLogView view(m_frame);
    view.ShowItem(m_frame.AddEventLog("App")->GetID());
    CEventPropertiesDialog dialog(view, 51);
    EXPECT_EQ((QStringList{dialog.FieldText("eventId"), dialog.FieldText("category"),
                           dialog.FieldText("record"), dialog.FieldText("type")}),
              (QStringList{"5 (0xC0000005)", "None", "51", "Warning"}));
    EXPECT_EQ(view.GetSelectedRecord(), 51u);
    EXPECT_EQ(
        view.GetList()->model()->data(view.GetList()->model()->index(1, CEventLogModel::COL_EVENT)),
        "-1073741819");

    EXPECT_TRUE(dialog.OnNext());
    EXPECT_EQ(dialog.GetRecord(), 52u);
    EXPECT_EQ(view.GetSelectedRecord(), 52u) << "the viewer follows";
    EXPECT_TRUE(dialog.FieldText("category").startsWith("(3) "));
    EXPECT_EQ(std::pair(dialog.OnNext(), dialog.GetRecord()), std::pair(false, DWORD{52}));
    EXPECT_EQ((std::vector<bool>{dialog.OnPrevious(), dialog.OnPrevious(), dialog.OnPrevious()}),
              (std::vector<bool>{true, true, false}));
    EXPECT_EQ(dialog.GetRecord(), 50u);
    EXPECT_EQ(m_boxes.texts, (std::vector<std::string>{"End of log file has been reached!",
                                                       "Start of log file has been reached!"}));

    dialog.ShowRecord(51);
    dialog.OnCopy();
    IClipboard& clipboard = GetClipboard();
    ASSERT_TRUE(clipboard.Open());
    CGlobalMemory text = clipboard.GetData(CF_TEXT);
    clipboard.Close();
    std::string generated =
        CEventStruct::ToRecordLocalTime(CTime(1'600'000'051)).Format("%m/%d/%y  %I:%M:%S %p");
    std::string description = FromQt(dialog.FieldText("description"));
    ASSERT_NE(description.find("record 51"), std::string::npos) << description;
    std::string expected = "Event Type:\tWarning\r\n"
                           "Event Source:\tSrc2\r\n"
                           "Event Category:\tNone\r\n"
                           "Event ID:\t5\r\n"
                           "Date:\t\t" +
                           generated.substr(0, 8) +
                           "\r\n"
                           "Time:\t\t" +
                           generated.substr(10) +
                           "\r\n"
                           "User:\t\tN/A\r\n"
                           "Computer:\tHOST0\r\n"
                           "Description:\r\n";
    std::string copied(text.GetBytes());
    ASSERT_EQ(copied.back(), '\0');
    copied.pop_back();
    EXPECT_EQ(copied.substr(0, expected.size()), expected);
    EXPECT_NE(copied.find("record 51", expected.size()), std::string::npos);
    EXPECT_EQ(copied.substr(copied.size() - 2), "\r\n");
}

TEST_F(EventViewer, MarksGoOnlyIntoTheApplicationLogAndShowAtOnce)
{
    WriteEventLog("Security", 1, 5);
    CEventLogView view(m_frame);
    view.ShowItem(m_frame.AddEventLog("Security")->GetID());
    EXPECT_FALSE(view.IsMarkEnabled());
    CCommandState state;
    ASSERT_TRUE(view.UpdateCommand(ID_LOG_FAST_MARK, state));
    EXPECT_FALSE(state.bEnabled);

    EXPECT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
    CEventMonitor* pApp = m_frame.AddEventLog("Application");
    view.ShowItem(pApp->GetID());
    EXPECT_TRUE(view.IsMarkEnabled());
    AppSettings::SetFastMark("checked the backup");
    view.OnFastMark();
    ASSERT_EQ(view.GetList()->model()->rowCount(), 1) << "the view reloaded";
    const CEventStruct* pMark = view.GetEvent(view.GetSelectedRecord());
    ASSERT_NE(pMark, nullptr);
    EXPECT_EQ(pMark->m_strSource, "Quorvil");
    EXPECT_EQ(pMark->m_arrStrings, std::vector<std::string>{"checked the backup"});

    CDetailView2 detail(m_frame);
    detail.Attach(&view);
    EXPECT_EQ(detail.toPlainText(), "Mark: checked the backup");
}

TEST_F(EventViewer, DetailPaneFollowsTheKeyboardAfterTheKeyIsReleased)
{
    WriteEventLog("System", 1, 40);
    QSplitter splitter(Qt::Vertical);
    auto* view = new CEventLogView(m_frame, &splitter);
    auto* detail = new CDetailView2(m_frame, &splitter);
    detail->Attach(view);
    splitter.resize(900, 480);
    splitter.setSizes({330, 150});
    splitter.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
    view->ShowItem(m_frame.AddEventLog("System")->GetID());
    EXPECT_TRUE(detail->toPlainText().contains("record 40"));

    QTest::keyPress(view->GetList(), Qt::Key_Up);
    EXPECT_EQ(view->GetSelectedRecord(), 39u);
    EXPECT_TRUE(detail->toPlainText().contains("record 40"))
        << "no rendering while the key is down";
    QTest::keyRelease(view->GetList(), Qt::Key_Up);
    QTRY_VERIFY_WITH_TIMEOUT(detail->toPlainText().contains("record 39"), 10000);

    SaveScreenshot(&splitter, "event-viewer");
}

} // namespace

TEST_F(EventViewer, FindLooksThroughFieldsAndStringsBothWaysAndOffersToWrap)
{
    WriteEventLog("Find", 1, 50);
    CEventLogView& view = Open(m_frame.AddEventLog("Find"));
    ASSERT_TRUE(view.SelectRecord(1));
    QTableView* list = view.GetList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(view.GetFindEdit()->isVisible());
    QTest::keyClicks(view.GetFindEdit(), "RECORD 3");
    QTest::keyClick(view.GetFindEdit(), Qt::Key_Return);
    EXPECT_EQ(view.GetSelectedRecord(), 3u) << "any case, in the event's strings";
    QTest::keyClick(view.GetFindEdit(), Qt::Key_Return);
    EXPECT_EQ(view.GetSelectedRecord(), 30u);
    QTest::keyClick(list, Qt::Key_F3);
    EXPECT_EQ(view.GetSelectedRecord(), 31u);
    QTest::keyClick(list, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(view.GetSelectedRecord(), 30u);
    EXPECT_TRUE(m_boxes.texts.empty());

    ASSERT_TRUE(view.SelectRecord(40));
    QTest::keyClick(list, Qt::Key_F3);
    ASSERT_EQ(m_boxes.texts.size(), 1u);
    EXPECT_EQ(m_boxes.texts[0],
              "Cannot find \"RECORD 3\".\n\nSearch again from the top of the log?");
    EXPECT_EQ(view.GetSelectedRecord(), 40u) << "not answered Yes: stays";

    view.GetFindEdit()->setFocus();
    QTest::keyClick(view.GetFindEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(view.GetFindEdit(), "Src5");
    QTest::keyClick(view.GetFindEdit(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(view.GetSelectedRecord(), 33u) << "backwards, in the source column";
    QTest::keyClick(view.GetFindEdit(), Qt::Key_Escape);
    EXPECT_FALSE(view.GetFindEdit()->isVisible());
}

TEST_F(EventViewer, FilterBarAndColumnSortsNarrowAndOrderTheList)
{
    WriteEventLog("Filter", 1, 100);
    CEventLogView& view = Open(m_frame.AddEventLog("Filter"), 1100, 400);
    QWidget* bar = view.GetFilterBar();
    auto* type = bar->findChild<QComboBox*>("filtertype");
    auto rows = [&] { return view.GetList()->model()->rowCount(); };
    auto type_in = [&](const char* name, const char* text) {
        Type(bar->findChild<QLineEdit*>(name), text);
        QTest::keyClick(bar->findChild<QLineEdit*>(name), Qt::Key_Return);
    };

    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down); // "Error"
    EXPECT_EQ(rows(), 20);
    EXPECT_EQ(m_frame.m_strStatus, "20 of 100 events");
    type_in("filtersource", "src3");
    EXPECT_EQ(rows(), 3) << "errors of Src3: records 10, 45 and 80";
    EXPECT_EQ(RecordInRow(view, 1), 45u);
    SaveScreenshot(&view, "event-viewer-filtered");
    QTest::mouseClick(bar->findChild<QToolButton*>("filterclear"), Qt::LeftButton);
    EXPECT_EQ(rows(), 100);
    type_in("filterid", "7");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(RecordInRow(view, 0), 7u);
    type_in("filterid", "");
    type_in("filtertext", "record 99");
    EXPECT_EQ(rows(), 1) << "the event's strings";
    type_in("filtertext", "");
    EXPECT_EQ(rows(), 100);

    QHeaderView* header = view.GetList()->horizontalHeader();
    auto clickHeading = [&](int col) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(col) + 10, header->height() / 2));
    };
    clickHeading(CEventLogModel::COL_SOURCE);
    EXPECT_EQ(view.GetSortColumn(), CEventLogModel::COL_SOURCE);
    EXPECT_EQ(Cell(view, 0, CEventLogModel::COL_SOURCE), "Src0");
    EXPECT_EQ(RecordInRow(view, 0), 7u) << "ties stay in record order";
    clickHeading(CEventLogModel::COL_SOURCE);
    EXPECT_EQ(Cell(view, 0, CEventLogModel::COL_SOURCE), "Src6");
    view.OnCommand(ID_EVENT_OLDEST_FIRST);
    EXPECT_EQ(view.GetSortColumn(), -1) << "the menu's order is the default again";
    EXPECT_EQ(RecordInRow(view, 0), 1u);
}

// Events a watch group catches show its colour and Ctrl+Down jumps to them.
// Watch This Event cancelled in the key dialog leaves no new group; accepted,
// its key matches the event and no other, and the new group joins the legend
// at once. A dragged row carries the key of its event.
TEST_F(EventViewer, CaughtEventsShowTheirGroupAndWatchedOrDraggedOnesBecomeKeys)
{
    WriteEventLog("Sys", 1, 30);
    CEventMonitor* pLog = m_frame.AddEventLog("Sys");
    auto* key = new CSearchKeyEvent;
    key->SetSourceValue("Src3"); // records 3, 10, 17 and 24
    auto* group = new CKeysAndActions;
    group->m_strDescription = "Source three";
    group->AddKey(key);
    pLog->AddWatchGroup(group);
    CEventLogView& view = Open(pLog, 800, 600);
    ASSERT_TRUE(view.GetLegend()->isVisible());
    EXPECT_EQ(view.GetLegend()->findChild<QLabel*>("legend0")->text(), "Source three");
    QAbstractItemModel* model = view.GetList()->model();
    auto background = [&](DWORD record) {
        return model->data(model->index(view.RowOfRecord(record), 1), Qt::BackgroundRole);
    };
    EXPECT_EQ(background(10), WatchGroupColor(0, QApplication::palette()));
    EXPECT_FALSE(background(11).isValid());
    ASSERT_TRUE(view.SelectRecord(1));
    view.GetList()->setFocus();
    for (auto [press, record] :
         {std::pair{Qt::Key_Down, 3u}, {Qt::Key_Down, 10u}, {Qt::Key_Up, 3u}}) {
        QTest::keyClick(view.GetList(), press, Qt::ControlModifier);
        EXPECT_EQ(view.GetSelectedRecord(), record);
    }

    m_frame.m_ui.m_bKeyOk = FALSE;
    ChooseFromContextMenu(view.GetList()->viewport(),
                          view.GetList()->visualRect(model->index(0, 0)).center(), Qt::Key_W);
    ASSERT_NE(m_frame.m_ui.m_pEventKey, nullptr) << "the key dialog was shown";
    EXPECT_EQ(pLog->GetWatchGroupCount(), 1) << "Cancel leaves nothing";
    EXPECT_FALSE(m_frame.GetDocument().IsModified());

    m_frame.m_ui.m_bKeyOk = TRUE;
    ASSERT_TRUE(view.SelectRecord(12));
    const CEventStruct event = *view.GetEvent(12);
    const CEventStruct other = *view.GetEvent(13);
    view.OnWatchEvent();
    ASSERT_EQ(pLog->GetWatchGroupCount(), 2);
    ASSERT_EQ(pLog->GetWatchGroup(1)->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyEvent*>(pLog->GetWatchGroup(1)->GetKey(0));
    ASSERT_NE(pKey, nullptr);
    EXPECT_TRUE(pKey->Match(event, ""));
    EXPECT_FALSE(pKey->Match(other, ""));
    EXPECT_EQ(pKey->GetTextOperator(), OP_NONE);
    EXPECT_EQ(pKey->m_arrEventIDs, std::vector<DWORD>{12}) << "the low 16 bits";
    EXPECT_NE(view.GetLegend()->findChild<QLabel*>("legend1"), nullptr);
    EXPECT_EQ(background(12), WatchGroupColor(1, QApplication::palette()));
    m_frame.m_ui.m_pEventKey.reset();
    m_frame.m_ui.m_nGroupChoice = -1;
    view.OnWatchEvent();
    EXPECT_EQ(m_frame.m_ui.m_pEventKey, nullptr)
        << "Cancel in the group choice opens no key dialog";

    std::unique_ptr<QMimeData> data(model->mimeData({model->index(view.RowOfRecord(13), 0)}));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("application/x-quorvil-cf-bn-searchkeyevent"));
    std::unique_ptr<CSearchKey> dragged = KeyFromMimeData(*data);
    auto* pDragged = dynamic_cast<CSearchKeyEvent*>(dragged.get());
    ASSERT_NE(pDragged, nullptr);
    EXPECT_TRUE(pDragged->Match(other, ""));
    EXPECT_FALSE(pDragged->Match(event, ""));
    EXPECT_EQ(model->supportedDragActions(), Qt::CopyAction);
}
