#include "ui/viewers/entrylistview.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "core/monmanager.h"
#include "ui/common/commandids.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/entrylistmodel.h"
#include "ui/viewers/entrysource.h"

namespace {

// How often a log without a change descriptor is looked at while following.
constexpr int POLL_MS = 1000;

// The texts that size the columns, in column order; the message stretches.
const char* const COLUMN_SAMPLES[CEntryListModel::COL_COUNT] = {
    "8888-88-88 88:88:88.888", "Information",  "XXXXXXXXXXXXXX",
    "XXXXXXXXXXXXXXXX",        "XXXXXXXXXXXX", ""};

CMonitoredObject* FindLog(CQuorvilDoc& doc, DWORD dwID)
{
    return dwID != 0 && doc.m_pManager ? doc.m_pManager->FindLog(dwID) : nullptr;
}

} // namespace

CEntryListView::CEntryListView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_pList(new QTableView), m_pDetail(new QPlainTextEdit),
      m_pFollow(new QCheckBox(QStringLiteral("&Follow"))),
      m_pEarlier(new QPushButton(QStringLiteral("&Earlier Entries"))), m_pStatus(new QLabel),
      m_pPoll(new QTimer(this))
{
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setShowGrid(false);
    m_pList->setWordWrap(false);
    m_pList->verticalHeader()->hide();
    m_pList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 4);
    m_pList->horizontalHeader()->setStretchLastSection(true);
    m_pDetail->setReadOnly(true);
    m_pDetail->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pFollow->setChecked(true);
    m_pFollow->setToolTip(
        QStringLiteral("Add new entries as they come and keep the newest in view"));

    auto* pBar = new QHBoxLayout;
    pBar->setContentsMargins(4, 2, 4, 2);
    pBar->addWidget(m_pEarlier);
    pBar->addWidget(m_pFollow);
    pBar->addWidget(m_pStatus, 1);
    auto* pSplit = new QSplitter(Qt::Vertical);
    pSplit->setChildrenCollapsible(false);
    pSplit->addWidget(m_pList);
    pSplit->addWidget(m_pDetail);
    pSplit->setStretchFactor(0, 3);
    pSplit->setStretchFactor(1, 1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addLayout(pBar);
    pLayout->addWidget(pSplit, 1);
    setFocusProxy(m_pList);

    m_pPoll->setInterval(POLL_MS);
    connect(m_pPoll, &QTimer::timeout, this, &CEntryListView::ReadNew);
    connect(m_pEarlier, &QPushButton::clicked, this, &CEntryListView::ReadEarlier);
    connect(m_pFollow, &QCheckBox::toggled, this, &CEntryListView::SetFollow);
    m_frame.GetDocument().AddView(this);
}

CEntryListView::~CEntryListView()
{
    m_frame.GetDocument().RemoveView(this);
}

bool CEntryListView::Shows(CQuorvilDoc& doc, DWORD dwID)
{
    const CMonitoredObject* pLog = FindLog(doc, dwID);
    return pLog && MakeEntrySource(*pLog) != nullptr;
}

void CEntryListView::ShowItem(DWORD dwID)
{
    m_dwID = dwID;
    Reload();
}

void CEntryListView::Empty()
{
    delete m_pNotifier;
    m_pNotifier = nullptr;
    m_pPoll->stop();
    m_pSource.reset();
    m_strError.clear();
    m_bAtStart = false;
    m_pDetail->clear();
    if (m_pModel) {
        QItemSelectionModel* pSelection = m_pList->selectionModel();
        m_pList->setModel(nullptr);
        delete pSelection;
        delete m_pModel;
        m_pModel = nullptr;
    }
}

void CEntryListView::Reload()
{
    Empty();
    CMonitoredObject* pLog = FindLog(m_frame.GetDocument(), m_dwID);
    m_pSource = pLog ? MakeEntrySource(*pLog) : nullptr;
    if (!m_pSource) {
        m_dwID = 0;
        ShowStatus();
        return;
    }
    m_pModel = new CEntryListModel(QString::fromLatin1(m_pSource->ExtraTitle()), this);
    m_pList->setModel(m_pModel);
    const QFontMetrics metrics = m_pList->fontMetrics();
    for (int c = 0; c + 1 < CEntryListModel::COL_COUNT; ++c)
        m_pList->setColumnWidth(c,
                                metrics.horizontalAdvance(QString::fromLatin1(COLUMN_SAMPLES[c])) +
                                    16 + (c == CEntryListModel::COL_LEVEL ? 20 : 0));
    connect(m_pList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CEntryListView::UpdateDetail);

    std::string strError;
    if (!m_pSource->Open(strError)) {
        m_strError = ToQt(strError);
        m_pSource.reset();
        ShowStatus();
        return;
    }
    std::vector<CEntryRow> rows = m_pSource->ReadNewest(PAGE_ROWS);
    m_bAtStart = rows.size() < PAGE_ROWS;
    m_pModel->Append(std::move(rows));
    const int fd = m_pSource->WakeupFd();
    if (fd >= 0) {
        m_pNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
            if (m_pSource)
                m_pSource->ProcessWakeup();
            if (IsFollowing())
                ReadNew();
        });
    }
    SetFollow(m_pFollow->isChecked());
    ShowStatus();
}

void CEntryListView::ReadEarlier()
{
    if (!m_pSource || !m_pModel || m_bAtStart)
        return;
    std::vector<CEntryRow> rows;
    if (const CEntryRow* pFirst = m_pModel->First())
        rows = m_pSource->ReadBefore(*pFirst, PAGE_ROWS);
    else
        rows = m_pSource->ReadNewest(PAGE_ROWS);
    m_bAtStart = rows.size() < PAGE_ROWS;
    // The rows in view stay where they are on the screen.
    QScrollBar* pBar = m_pList->verticalScrollBar();
    const int nAdded = static_cast<int>(rows.size());
    const int nValue = pBar->value();
    m_pModel->Prepend(std::move(rows));
    pBar->setValue(nValue + nAdded);
    ShowStatus();
}

void CEntryListView::ReadNew()
{
    if (!m_pSource || !m_pModel)
        return;
    std::vector<CEntryRow> rows;
    if (const CEntryRow* pLast = m_pModel->Last())
        rows = m_pSource->ReadAfter(*pLast, CEntryListModel::MAX_ROWS);
    else
        rows = m_pSource->ReadNewest(PAGE_ROWS);
    if (rows.empty())
        return;
    m_pModel->Append(std::move(rows));
    if (IsFollowing())
        m_pList->scrollToBottom();
    ShowStatus();
}

void CEntryListView::SetFollow(bool bFollow)
{
    if (m_pFollow->isChecked() != bFollow)
        m_pFollow->setChecked(bFollow); // comes back here through toggled
    if (bFollow && m_pSource) {
        ReadNew();
        m_pList->scrollToBottom();
        // The journal's descriptor wakes the view; the timer also catches
        // what it does not report (and is all an .evtx log has).
        m_pPoll->start();
    } else {
        m_pPoll->stop();
    }
}

bool CEntryListView::IsFollowing() const
{
    return m_pFollow->isChecked();
}

QString CEntryListView::GetStatusText() const
{
    return m_pStatus->text();
}

void CEntryListView::ShowStatus()
{
    m_pEarlier->setEnabled(m_pSource && !m_bAtStart);
    m_pFollow->setEnabled(m_pSource != nullptr);
    if (!m_strError.isEmpty())
        m_pStatus->setText(QStringLiteral("The log cannot be read: ") + m_strError);
    else if (!m_pModel)
        m_pStatus->clear();
    else
        m_pStatus->setText(QStringLiteral("%1 entries shown%2")
                               .arg(m_pModel->rowCount())
                               .arg(m_bAtStart ? QStringLiteral(", from the oldest") : QString()));
}

void CEntryListView::UpdateDetail()
{
    const QModelIndex current = m_pList->currentIndex();
    const CEntryRow* pRow = m_pModel && current.isValid() ? m_pModel->Row(current.row()) : nullptr;
    m_pDetail->setPlainText(pRow && m_pSource ? ToQt(m_pSource->Details(*pRow)) : QString());
}

void CEntryListView::CopySelection()
{
    if (!m_pModel)
        return;
    QStringList lines;
    for (const QModelIndex& index : m_pList->selectionModel()->selectedRows())
        lines << m_pModel->RowText(index.row());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void CEntryListView::OnUpdate(ViewHint hint, const CHintStruct* pHint)
{
    const bool bOurs = pHint && m_dwID != 0 && pHint->m_dwID == m_dwID;
    if (hint == ViewHint::ScriptRun || (hint == ViewHint::LogDeleted && bOurs)) {
        // The log may be gone or replaced: look it up again.
        Reload();
    }
}

bool CEntryListView::UpdateCommand(UINT nID, CCommandState& state)
{
    switch (nID) {
    case ID_EDIT_COPY:
        state.bEnabled =
            m_pModel && m_pList->selectionModel() && m_pList->selectionModel()->hasSelection();
        return true;
    case ID_VIEW_REFRESH:
        state.bEnabled = m_dwID != 0;
        return true;
    default:
        return false;
    }
}

bool CEntryListView::OnCommand(UINT nID)
{
    switch (nID) {
    case ID_EDIT_COPY:
        CopySelection();
        return true;
    case ID_VIEW_REFRESH:
        Reload();
        return true;
    default:
        return false;
    }
}
