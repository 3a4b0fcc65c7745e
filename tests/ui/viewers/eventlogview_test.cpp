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

using M = CEventLogModel;

class EventViewer : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        AppSettings::SetNewestFirst(0);
    }
    static QString Cell(const CEventLogView& view, int row, int column)
    {
        return view.GetList()->model()->index(row, column).data().toString();
    }
    static DWORD RecordInRow(const CEventLogView& view, int row)
    {
        return Cell(view, row, M::COL_RECORD).toUInt();
    }
    static int Row(const CEventLogView& view) { return view.GetList()->currentIndex().row(); }
    // A viewer on screen of a log of this computer, written first when given records.
    CEventLogView& Open(const std::string& log, DWORD nRecords = 0, int nHeight = 300)
    {
        if (nRecords)
            WriteEventLog(log, 1, nRecords);
        return Open(m_frame.AddEventLog(log), 800, nHeight);
    }
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
    CEventLogView& view = Open(m_frame.AddEventLog("Big"), 800, 400);
    ASSERT_EQ(view.GetList()->model()->rowCount(), 20000);
    // Opening reads one window near the newest record, not the log.
    EXPECT_LE(view.GetCache().GetEvents().GetCount(), EVENT_CACHE_WINDOW + 1);
    EXPECT_EQ(view.GetSelectedRecord(), 20999u) << "the newest record is selected";
    EXPECT_EQ(m_frame.m_strStatus, "TESTHOST\\Big");

    for (auto [row, record] :
         {std::pair{0, 1000u}, {10000, 11000u}, {19999, 20999u}, {250, 1250u}}) {
        const CTime generated = CEventStruct::ToRecordLocalTime(CTime(1'600'000'000 + record));
        QStringList texts;
        for (int col = 0; col < M::COL_COUNT; ++col)
            texts << Cell(view, row, col);
        EXPECT_EQ(texts,
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
    EXPECT_EQ(view.RowOfRecord(1000), 19999);

    // Records that left the log since the reload show "??" and their number;
    // row 10000 was read already and stays.
    WriteEventLog("Big", 15000, 6000);
    EXPECT_EQ((QStringList{Cell(view, 15999, M::COL_SOURCE), Cell(view, 15999, M::COL_RECORD),
                           Cell(view, 10000, M::COL_RECORD)}),
              (QStringList{"??", "5000", "10999"}));
}

// A damaged record, junk between two records and a damaged last record.
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
    CEventLogView& view = Open(m_frame.AddEventLog("Torn"));
    // Per row: "x" when damaged, the record number shown, "/" the record meant.
    auto rows = [&] {
        QStringList texts;
        for (int row = 0; row < view.GetList()->model()->rowCount(); ++row)
            texts << (Cell(view, row, M::COL_DATE) == " damaged records skipped" ? "x" : "") +
                         Cell(view, row, M::COL_RECORD) + "/" +
                         QString::number(view.RecordOfRow(row));
        return texts;
    };
    EXPECT_EQ(rows(), (QStringList{"1/1", "2/2", "3/3", "4/4", "x5/0", "6/6", "7/7", "x/0", "8/8",
                                   "9/9", "x10/0"}));
    EXPECT_EQ(std::tuple(view.GetSelectedRecord(), view.RowOfRecord(5), view.RowOfRecord(8)),
              std::tuple(9u, -1, 8));
    std::size_t at = 0x30;
    for (std::size_t i = 0; i < 4; ++i)
        at += records[i].size();
    EXPECT_EQ(view.GetList()->model()->index(4, 0).data(Qt::ToolTipRole).toString().toStdString(),
              FormatString("%zu damaged bytes at offset %zu between record 4 and record 6",
                           records[4].size(), at));

    view.SetNewestFirst(true);
    EXPECT_EQ(rows(), (QStringList{"x10/0", "9/9", "8/8", "x/0", "7/7", "6/6", "x5/0", "4/4", "3/3",
                                   "2/2", "1/1"}));
    EXPECT_EQ(view.GetSelectedRecord(), 9u);
}

TEST_F(EventViewer, OrderSwitchKeepsTheSelectedRecordAndIsSharedByEveryViewer)
{
    WriteEventLog("Three", 10, 3);
    CEventMonitor* pLog = m_frame.AddEventLog("Three");
    CEventLogView& view = Open(pLog);
    EXPECT_EQ(std::tuple(RecordInRow(view, 0), RecordInRow(view, 2), Row(view)),
              std::tuple(10u, 12u, 2))
        << "oldest first, the newest record selected";
    ASSERT_TRUE(view.SelectRecord(11));
    for (bool newestFirst : {true, false, true}) {
        view.SetNewestFirst(newestFirst);
        EXPECT_EQ(std::pair(view.GetSelectedRecord(), Row(view)), std::pair(DWORD{11}, 1));
    }
    auto command = [&](UINT nID) {
        CCommandState state;
        EXPECT_TRUE(view.UpdateCommand(nID, state));
        return std::pair(state.bChecked, state.bEnabled);
    };
    EXPECT_EQ(command(ID_EVENT_NEWEST_FIRST), std::pair(true, false));
    EXPECT_EQ(command(ID_EVENT_OLDEST_FIRST), std::pair(false, true));

    // A reload selects the newest record; another viewer starts in the same order.
    view.OnRefresh();
    EXPECT_EQ(std::pair(view.GetSelectedRecord(), Row(view)), std::pair(DWORD{12}, 0));
    CEventLogView second(m_frame);
    second.ShowItem(pLog->GetID());
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
    CEventLogView view(m_frame);
    view.resize(800, 300);
    view.RestoreState(state);
    EXPECT_EQ(std::tuple(view.GetItem(), view.GetSelectedRecord(), view.SaveState().nTopRecord),
              std::tuple(id, DWORD{1234}, state.nTopRecord));

    // A log that cannot be read, or a monitor that is gone, empties the list.
    CEventMonitor* pLog = m_frame.AddEventLog("Nowhere");
    pLog->m_strServer = "NOSUCHHOST";
    view.ShowItem(pLog->GetID());
    EXPECT_EQ(std::pair(view.GetList()->model()->rowCount(), pLog->GetState()),
              std::pair(0, MON_STATE_ERROR));
    ASSERT_EQ(m_boxes.texts.size(), 1u);
    EXPECT_EQ(m_boxes.texts[0].rfind("Error reading event log: NOSUCHHOST\\Nowhere\n\n", 0), 0u)
        << m_boxes.texts[0];
    view.ShowItem(0x60000000 | 0x0FFFFFFF);
    EXPECT_EQ(std::pair(view.GetItem(), view.IsRefreshEnabled()), std::pair(DWORD{0}, false));
}

TEST_F(EventViewer, FollowSelectsNewEventsAndAReaderOfOlderOnesKeepsHisPlace)
{
    WriteEventLog("Grow", 1, 100);
    CEventMonitor* pLog = m_frame.AddEventLog("Grow");
    CEventLogView& view = Open(pLog, 800, 400);
    auto* follow = view.findChild<QToolButton*>("follow");
    ASSERT_NE(follow, nullptr);
    EXPECT_TRUE(follow->isChecked()) << "a new view starts at the newest event, following";
    // The log grown to n records as a scan reports it; the record selected.
    auto grow = [&](DWORD nRecords) {
        WriteEventLog("Grow", 1, nRecords);
        m_frame.m_doc.OnScanProgress(pLog->GetID(), nRecords);
        EXPECT_EQ(view.GetList()->model()->rowCount(), static_cast<int>(nRecords));
        return view.GetSelectedRecord();
    };
    EXPECT_EQ(grow(110), 110u) << "following";
    EXPECT_EQ(pLog->GetState(), MON_STATE_UNCHANGED);

    // Moving up from the newest event pauses following; the reader stays.
    view.GetList()->setFocus();
    QTest::keyClick(view.GetList(), Qt::Key_Up);
    EXPECT_FALSE(follow->isChecked());
    const int nTopRow = view.GetList()->rowAt(0);
    EXPECT_EQ(grow(120), 109u);
    EXPECT_EQ(view.GetList()->rowAt(0), nTopRow) << "the list does not scroll";

    // Going to the newest event follows again; unchecking pauses where it is.
    QTest::keyClick(view.GetList(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(follow->isChecked());
    EXPECT_EQ(grow(130), 130u);
    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_FALSE(view.IsFollowing());
    EXPECT_EQ(grow(140), 130u);
    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_EQ(view.GetSelectedRecord(), 140u) << "checking Follow goes to the newest event";

    m_frame.m_doc.UpdateAllViews(ViewHint::LogDeleted,
                                 std::make_unique<CHintStruct>(pLog->GetID()).get());
    EXPECT_EQ(std::pair(view.GetList()->model()->rowCount(), view.GetItem()), std::pair(0, 0u));
}

TEST_F(EventViewer, PropertiesWalkTheLogAndCopyTheEventAsText)
{
    WriteEventLog("App", 50, 3, [](DWORD n) {
        CEvtEvent e = MakeEvent(n);
        e.m_dwEventID = 0xC0000005;
        e.m_wEventCategory = n == 51 ? 0 : 3;
        return e;
    });
    CEventLogView& view = Open(m_frame.AddEventLog("App"));
    CEventPropertiesDialog dialog(view, 51);
    EXPECT_EQ((QStringList{dialog.FieldText("eventId"), dialog.FieldText("category"),
                           dialog.FieldText("record"), dialog.FieldText("type"),
                           Cell(view, 1, M::COL_EVENT)}),
              (QStringList{"5 (0xC0000005)", "None", "51", "Warning", "-1073741819"}));
    EXPECT_EQ(view.GetSelectedRecord(), 51u);

    EXPECT_TRUE(dialog.OnNext());
    EXPECT_EQ(std::pair(dialog.GetRecord(), view.GetSelectedRecord()), std::pair(52u, 52u))
        << "the viewer follows";
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
    std::string copied(clipboard.GetData(CF_TEXT).GetBytes());
    clipboard.Close();
    const std::string generated =
        CEventStruct::ToRecordLocalTime(CTime(1'600'000'051)).Format("%m/%d/%y  %I:%M:%S %p");
    ASSERT_TRUE(dialog.FieldText("description").contains("record 51"));
    const std::string expected =
        "Event Type:\tWarning\r\nEvent Source:\tSrc2\r\nEvent Category:\tNone\r\nEvent ID:\t5\r\n"
        "Date:\t\t" +
        generated.substr(0, 8) + "\r\nTime:\t\t" + generated.substr(10) +
        "\r\nUser:\t\tN/A\r\nComputer:\tHOST0\r\nDescription:\r\n";
    ASSERT_EQ(copied.back(), '\0');
    copied.pop_back();
    EXPECT_EQ(copied.substr(0, expected.size()), expected);
    EXPECT_NE(copied.find("record 51", expected.size()), std::string::npos);
    EXPECT_EQ(copied.substr(copied.size() - 2), "\r\n");
}

TEST_F(EventViewer, MarksGoOnlyIntoTheApplicationLogAndShowAtOnce)
{
    CEventLogView& view = Open("Security", 5);
    CCommandState state;
    ASSERT_TRUE(view.UpdateCommand(ID_LOG_FAST_MARK, state));
    EXPECT_FALSE(view.IsMarkEnabled() || state.bEnabled);

    EXPECT_TRUE(AddEventLog(nullptr, "Application", 0x100000, 0));
    view.ShowItem(m_frame.AddEventLog("Application")->GetID());
    EXPECT_TRUE(view.IsMarkEnabled());
    AppSettings::SetFastMark("checked the backup");
    view.OnFastMark();
    ASSERT_EQ(view.GetList()->model()->rowCount(), 1) << "the view reloaded";
    const CEventStruct* pMark = view.GetEvent(view.GetSelectedRecord());
    ASSERT_NE(pMark, nullptr);
    EXPECT_EQ(std::pair(pMark->m_strSource, pMark->m_arrStrings),
              std::pair(std::string("Quorvil"), std::vector<std::string>{"checked the backup"}));
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

TEST_F(EventViewer, FindLooksThroughFieldsAndStringsBothWaysAndOffersToWrap)
{
    CEventLogView& view = Open("Find", 50);
    ASSERT_TRUE(view.SelectRecord(1));
    QTableView* list = view.GetList();
    QLineEdit* edit = view.GetFindEdit();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(edit->isVisible());
    QTest::keyClicks(edit, "RECORD 3");
    auto press = [&](QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(widget, key, modifiers);
        return view.GetSelectedRecord();
    };
    EXPECT_EQ(
        (std::vector<DWORD>{press(edit, Qt::Key_Return), press(edit, Qt::Key_Return),
                            press(list, Qt::Key_F3), press(list, Qt::Key_F3, Qt::ShiftModifier)}),
        (std::vector<DWORD>{3, 30, 31, 30}))
        << "any case, in the event's strings";
    EXPECT_TRUE(m_boxes.texts.empty());

    ASSERT_TRUE(view.SelectRecord(40));
    EXPECT_EQ(press(list, Qt::Key_F3), 40u) << "not answered Yes: stays";
    EXPECT_EQ(m_boxes.texts,
              std::vector<std::string>{
                  "Cannot find \"RECORD 3\".\n\nSearch again from the top of the log?"});

    Type(edit, "Src5");
    EXPECT_EQ(press(edit, Qt::Key_Return, Qt::ShiftModifier), 33u)
        << "backwards, in the source column";
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
}

TEST_F(EventViewer, FilterBarAndColumnSortsNarrowAndOrderTheList)
{
    CEventLogView& view = Open("Filter", 100);
    view.resize(1100, 400);
    QWidget* bar = view.GetFilterBar();
    auto* type = bar->findChild<QComboBox*>("filtertype");
    auto rows = [&] { return view.GetList()->model()->rowCount(); };
    auto type_in = [&](const char* name, const char* text) {
        Type(bar->findChild<QLineEdit*>(name), text);
        QTest::keyClick(bar->findChild<QLineEdit*>(name), Qt::Key_Return);
        return rows();
    };

    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down); // "Error"
    EXPECT_EQ(std::pair(rows(), m_frame.m_strStatus), std::pair(20, QString("20 of 100 events")));
    EXPECT_EQ(type_in("filtersource", "src3"), 3) << "errors of Src3: records 10, 45 and 80";
    EXPECT_EQ(RecordInRow(view, 1), 45u);
    SaveScreenshot(&view, "event-viewer-filtered");
    QTest::mouseClick(bar->findChild<QToolButton*>("filterclear"), Qt::LeftButton);
    EXPECT_EQ(rows(), 100);
    EXPECT_EQ(type_in("filterid", "7"), 1);
    EXPECT_EQ(RecordInRow(view, 0), 7u);
    type_in("filterid", "");
    EXPECT_EQ(type_in("filtertext", "record 99"), 1) << "the event's strings";
    EXPECT_EQ(type_in("filtertext", ""), 100);

    QHeaderView* header = view.GetList()->horizontalHeader();
    auto clickHeading = [&](int col) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(col) + 10, header->height() / 2));
        return std::pair(view.GetSortColumn(), Cell(view, 0, M::COL_SOURCE));
    };
    EXPECT_EQ(clickHeading(M::COL_SOURCE), std::pair(int{M::COL_SOURCE}, QString("Src0")));
    EXPECT_EQ(RecordInRow(view, 0), 7u) << "ties stay in record order";
    EXPECT_EQ(clickHeading(M::COL_SOURCE), std::pair(int{M::COL_SOURCE}, QString("Src6")));
    view.OnCommand(ID_EVENT_OLDEST_FIRST);
    EXPECT_EQ(std::pair(view.GetSortColumn(), RecordInRow(view, 0)), std::pair(-1, 1u))
        << "the menu's order is the default again";
}

TEST_F(EventViewer, CaughtEventsShowTheirGroupAndWatchedOrDraggedOnesBecomeKeys)
{
    WriteEventLog("Sys", 1, 30);
    CEventMonitor* pLog = m_frame.AddEventLog("Sys");
    pLog->AddWatchGroup(SourceGroup("Source three", "Src3")); // records 3, 10, 17 and 24
    CEventLogView& view = Open(pLog, 800, 600);
    ASSERT_TRUE(view.GetLegend()->isVisible());
    EXPECT_EQ(view.GetLegend()->findChild<QLabel*>("legend0")->text(), "Source three");
    QAbstractItemModel* model = view.GetList()->model();
    auto background = [&](DWORD record) {
        return model->index(view.RowOfRecord(record), 1).data(Qt::BackgroundRole);
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

    m_frame.m_ui.m_bDialogOK = FALSE;
    ChooseFromContextMenu(view.GetList()->viewport(),
                          view.GetList()->visualRect(model->index(0, 0)).center(), Qt::Key_W);
    ASSERT_NE(m_frame.m_pEventKey, nullptr) << "the key dialog was shown";
    EXPECT_EQ(pLog->GetWatchGroupCount(), 1) << "Cancel leaves nothing";
    EXPECT_FALSE(m_frame.GetDocument().IsModified());

    m_frame.m_ui.m_bDialogOK = TRUE;
    ASSERT_TRUE(view.SelectRecord(12));
    const CEventStruct event = *view.GetEvent(12);
    const CEventStruct other = *view.GetEvent(13);
    view.OnWatchEvent();
    ASSERT_EQ(pLog->GetWatchGroupCount(), 2);
    ASSERT_EQ(pLog->GetWatchGroup(1)->GetKeyCount(), 1);
    auto* pKey = dynamic_cast<CSearchKeyEvent*>(pLog->GetWatchGroup(1)->GetKey(0));
    ASSERT_NE(pKey, nullptr);
    EXPECT_TRUE(pKey->Match(event, "") && !pKey->Match(other, ""));
    EXPECT_EQ(std::pair(pKey->GetTextOperator(), pKey->m_arrEventIDs),
              std::pair(DWORD{OP_NONE}, std::vector<DWORD>{12}))
        << "the low 16 bits of the event ID";
    EXPECT_NE(view.GetLegend()->findChild<QLabel*>("legend1"), nullptr);
    EXPECT_EQ(background(12), WatchGroupColor(1, QApplication::palette()));
    m_frame.m_pEventKey.reset();
    m_frame.m_ui.m_nChoose = -1;
    view.OnWatchEvent();
    EXPECT_EQ(m_frame.m_pEventKey, nullptr) << "Cancel in the group choice opens no key dialog";

    std::unique_ptr<QMimeData> data(model->mimeData({model->index(view.RowOfRecord(13), 0)}));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("application/x-quorvil-cf-bn-searchkeyevent"));
    std::unique_ptr<CSearchKey> dragged = KeyFromMimeData(*data);
    auto* pDragged = dynamic_cast<CSearchKeyEvent*>(dragged.get());
    ASSERT_NE(pDragged, nullptr);
    EXPECT_TRUE(pDragged->Match(other, "") && !pDragged->Match(event, ""));
    EXPECT_EQ(model->supportedDragActions(), Qt::CopyAction);
}

} // namespace
