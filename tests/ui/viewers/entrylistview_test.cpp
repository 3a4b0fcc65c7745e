#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "tests/journal/journalfiles.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/entrylistmodel.h"
#include "ui/viewers/entrylistview.h"
#include "viewertest.h"

namespace {

class EntryViewer : public ViewerTest {
protected:
    // Entries first .. first + count - 1 of sshd and cron by turns.
    static std::vector<CJournalTestEntry> Entries(int first, int count)
    {
        std::vector<CJournalTestEntry> entries;
        for (int n = first; n < first + count; ++n)
            entries.push_back({1700000000 + n,
                               {{"MESSAGE", "entry " + std::to_string(n)},
                                {"SYSLOG_IDENTIFIER", n % 2 ? "cron" : "sshd"},
                                {"PRIORITY", n % 10 == 0 ? "3" : "6"},
                                {"_SYSTEMD_UNIT", "unit" + std::to_string(n % 2) + ".service"},
                                {"_HOSTNAME", "web01"}}});
        return entries;
    }
    CJournalMonitor* AddJournal(std::vector<std::string> matches = {})
    {
        auto* pLog = new CJournalMonitor;
        pLog->m_strDirectory = m_strDir + "journal";
        pLog->m_arrMatches = std::move(matches);
        m_frame.GetDocument().m_pManager->AddLog(pLog);
        return pLog;
    }
    static QString Cell(const CEntryListView& view, int row, int column)
    {
        return view.GetModel()->index(row, column).data().toString();
    }
    static int Rows(const CEntryListView& view) { return view.GetModel()->rowCount(); }
};

TEST_F(EntryViewer, JournalPagesDetailAndFollow)
{
    if (JournalRemotePath().empty())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    EnsureDirectory(m_strDir + "journal");
    const std::string file = m_strDir + "journal/remote.journal";
    const int total = static_cast<int>(CEntryListView::PAGE_ROWS) + 500;
    ASSERT_TRUE(WriteJournal(file, Entries(0, total)));
    CEntryListView view(m_frame);
    ASSERT_TRUE(CEntryListView::Shows(m_frame.GetDocument(), AddJournal()->GetID()));
    view.ShowItem(AddJournal()->GetID());

    ASSERT_EQ(Rows(view), static_cast<int>(CEntryListView::PAGE_ROWS));
    EXPECT_EQ(Cell(view, Rows(view) - 1, CEntryListModel::COL_MESSAGE),
              QString("entry %1").arg(total - 1));
    EXPECT_EQ((QStringList{Cell(view, 0, CEntryListModel::COL_SOURCE),
                           Cell(view, 0, CEntryListModel::COL_LEVEL),
                           Cell(view, 0, CEntryListModel::COL_EXTRA),
                           Cell(view, 0, CEntryListModel::COL_HOST)}),
              (QStringList{"sshd", "Error", "unit0.service", "web01"})); // entry 500
    EXPECT_EQ(view.GetModel()->headerData(CEntryListModel::COL_EXTRA, Qt::Horizontal).toString(),
              "Unit");

    auto* earlier = view.findChild<QPushButton*>();
    ASSERT_TRUE(earlier && earlier->isEnabled());
    QTest::mouseClick(earlier, Qt::LeftButton);
    EXPECT_EQ(
        std::tuple(Rows(view), Cell(view, 0, CEntryListModel::COL_MESSAGE), earlier->isEnabled()),
        std::tuple(total, QString("entry 0"), false));
    EXPECT_TRUE(view.GetStatusText().contains("from the oldest"));

    view.GetList()->setCurrentIndex(view.GetModel()->index(7, 0));
    const QString detail = view.GetDetail()->toPlainText();
    EXPECT_TRUE(detail.contains("MESSAGE=entry 7\n") && detail.contains("SYSLOG_IDENTIFIER=cron\n"))
        << FromQt(detail);

    ASSERT_TRUE(view.IsFollowing());
    ASSERT_TRUE(WriteJournal(file, Entries(total, 3)));
    QTRY_COMPARE_WITH_TIMEOUT(Rows(view), total + 3, 10000);
    EXPECT_EQ(Cell(view, total + 2, CEntryListModel::COL_MESSAGE),
              QString("entry %1").arg(total + 2));

    // Without Follow nothing comes until it is turned on again.
    view.findChild<QCheckBox*>()->click();
    ASSERT_TRUE(WriteJournal(file, Entries(total + 3, 2)));
    QTest::qWait(1500);
    EXPECT_EQ(Rows(view), total + 3);
    view.findChild<QCheckBox*>()->click();
    EXPECT_EQ(Rows(view), total + 5);
}

TEST_F(EntryViewer, MatchesErrorsAndDeletion)
{
    if (JournalRemotePath().empty())
        GTEST_SKIP() << "systemd-journal-remote is not installed";
    EnsureDirectory(m_strDir + "journal");
    ASSERT_TRUE(WriteJournal(m_strDir + "journal/remote.journal", Entries(0, 10)));
    CEntryListView view(m_frame);
    CJournalMonitor* pLog = AddJournal({"SYSLOG_IDENTIFIER=cron"});
    view.ShowItem(pLog->GetID());
    QStringList sources;
    for (int r = 0; r < Rows(view); ++r)
        sources << Cell(view, r, CEntryListModel::COL_SOURCE);
    EXPECT_EQ(sources, QStringList(5, "cron"));

    CJournalMonitor* pBad = AddJournal({"lower=case"});
    view.ShowItem(pBad->GetID());
    EXPECT_TRUE(view.GetStatusText().startsWith("The log cannot be read: "))
        << FromQt(view.GetStatusText());

    const DWORD dwID = pLog->GetID();
    view.ShowItem(dwID);
    m_frame.GetDocument().m_pManager->DeleteLog(dwID);
    CHintStruct hint;
    hint.m_dwID = dwID;
    view.OnUpdate(ViewHint::LogDeleted, &hint);
    EXPECT_TRUE(view.GetItem() == 0 && view.GetModel() == nullptr);
}

TEST_F(EntryViewer, EvtxRecords)
{
    const std::string path = m_strDir + "app.evtx";
    const std::string generator =
        std::string(std::getenv("QUORVIL_SOURCE_DIR")) + "/tests/evtx/make_evtx.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 " + generator + " '" + path +
                           "' --records 12 --damaged 3 > /dev/null")
                              .c_str()),
              0);
    auto* pLog = new CEvtxMonitor;
    pLog->m_strPath = path;
    m_frame.GetDocument().m_pManager->AddLog(pLog);
    CEntryListView view(m_frame);
    view.ShowItem(pLog->GetID());
    ASSERT_EQ(Rows(view), 12);
    EXPECT_EQ(view.GetModel()->headerData(CEntryListModel::COL_EXTRA, Qt::Horizontal).toString(),
              "Event ID");
    int damaged = 0;
    for (int r = 0; r < 12; ++r)
        damaged += Cell(view, r, CEntryListModel::COL_MESSAGE).contains("damaged") ? 1 : 0;
    EXPECT_EQ(damaged, 1);
    EXPECT_FALSE(Cell(view, 0, CEntryListModel::COL_SOURCE).isEmpty());
    view.GetList()->setCurrentIndex(view.GetModel()->index(11, 0));
    EXPECT_TRUE(view.GetDetail()->toPlainText().contains("<Event"))
        << FromQt(view.GetDetail()->toPlainText());
}

} // namespace
