#include "ui/viewers/eventlogview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "eventlog/scan/eventmonitor.h"
#include "platform/base/win32error.h"
#include "settings/appsettings.h"
#include "ui/commands/marktextdialog.h"
#include "ui/common/commandids.h"
#include "ui/common/mainframe.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/detailview.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/eventlogmodel.h"
#include "ui/viewers/eventproperties.h"
#include "ui/viewers/highlights.h"

namespace {

// The order of every viewer; read from the settings by the first viewer.
bool g_bNewestFirst = false;
int g_nViewers = 0;

// The texts that size the columns, in column order.
const char* const COLUMN_SAMPLES[CEventLogModel::COL_COUNT] = {
    "MM/DD/YYYY", "88:88:88 WW",  "XXXXXXXXXX", "XXXXXXXXXX",
    "8888888888", "XXXXXXXXXXXX", "XXXXXXXXXX", "XXXXXXXXXX"};

// Delay between the last keyboard move and the detail pane's update.
constexpr int DETAIL_DELAY_MS = 1000;

} // namespace

CEventLogView::CEventLogView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_pList(new QTableView(this)),
      m_pDetailTimer(new QTimer(this)), m_pFindBar(new QWidget(this)),
      m_pFindText(new QLineEdit(m_pFindBar)),
      m_pFindCase(new QCheckBox(QStringLiteral("Match &case"), m_pFindBar)),
      m_pLegend(new CHighlightLegend(this)), m_pFollow(new QToolButton(this)),
      m_pCache(std::make_unique<CEventLogCache>())
{
    if (g_nViewers++ == 0)
        g_bNewestFirst = AppSettings::GetNewestFirst() != 0;
    m_pModel = new CEventLogModel([this](DWORD nRecord) { return GetEvent(nRecord); }, this);
    m_pModel->SetNewestFirst(g_bNewestFirst);

    m_pList->setModel(m_pModel);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setSortingEnabled(false);
    m_pList->setShowGrid(false);
    m_pList->setWordWrap(false);
    m_pList->setDragEnabled(true);
    m_pList->setDragDropMode(QAbstractItemView::DragOnly);
    m_pList->setDefaultDropAction(Qt::CopyAction);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pList->verticalHeader()->hide();
    // Small enough for the detail pane to take its share of a low window.
    m_pList->setMinimumHeight(24);
    // Fixed row heights: the list then asks only for the rows it shows.
    m_pList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 4);
    m_pList->horizontalHeader()->setSectionsClickable(true);
    m_pList->horizontalHeader()->setSortIndicatorShown(false);
    connect(m_pList->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CEventLogView::SortByColumn);
    m_pList->horizontalHeader()->setHighlightSections(false);
    m_pList->horizontalHeader()->setStretchLastSection(true);
    // Wide enough for the longest value of each column (a ten-digit event ID)
    // and for its heading.
    const QFontMetrics metrics = m_pList->fontMetrics();
    for (int c = 0; c < CEventLogModel::COL_COUNT; ++c) {
        int nWidth = metrics.horizontalAdvance(QString::fromLatin1(COLUMN_SAMPLES[c])) + 12;
        if (c == CEventLogModel::COL_DATE)
            nWidth += 20; // the type icon
        m_pList->setColumnWidth(c,
                                std::max(nWidth, m_pList->horizontalHeader()->sectionSizeHint(c)));
    }
    m_pList->installEventFilter(this);
    setFocusProxy(m_pList);

    // The find bar: hidden until Ctrl+F.
    m_pFindText->setObjectName("findtext");
    m_pFindText->setMaxLength(100);
    m_pFindText->setPlaceholderText(QStringLiteral("Description, source, user, computer, ID..."));
    m_pFindText->installEventFilter(this);
    auto* pFindLabel = new QLabel(QStringLiteral("Fi&nd:"), m_pFindBar);
    pFindLabel->setBuddy(m_pFindText);
    auto findButton = [this](const char* name, const QString& tip, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(m_pFindBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(tip);
        button->setIcon(style()->standardIcon(icon));
        button->setAutoRaise(true);
        return button;
    };
    QToolButton* pNext =
        findButton("findnext", QStringLiteral("Find Next (F3)"), QStyle::SP_ArrowDown);
    QToolButton* pPrevious =
        findButton("findprevious", QStringLiteral("Find Previous (Shift+F3)"), QStyle::SP_ArrowUp);
    QToolButton* pClose = findButton("findclose", QStringLiteral("Close the find bar (Esc)"),
                                     QStyle::SP_TitleBarCloseButton);
    connect(pNext, &QToolButton::clicked, this, [this] { OnFindNext(); });
    connect(pPrevious, &QToolButton::clicked, this, [this] { OnFindPrevious(); });
    connect(pClose, &QToolButton::clicked, this, [this] {
        m_pFindBar->hide();
        m_pList->setFocus();
    });
    auto* pFindLayout = new QHBoxLayout(m_pFindBar);
    pFindLayout->setContentsMargins(2, 2, 2, 2);
    pFindLayout->addWidget(pFindLabel);
    pFindLayout->addWidget(m_pFindText, 1);
    pFindLayout->addWidget(pNext);
    pFindLayout->addWidget(pPrevious);
    pFindLayout->addWidget(m_pFindCase);
    pFindLayout->addWidget(pClose);
    m_pFindBar->hide();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    BuildFilterBar();
    pLayout->addWidget(m_pFilterBar);
    pLayout->addWidget(m_pList);
    auto* pBottom = new QHBoxLayout;
    pBottom->setContentsMargins(0, 0, 0, 0);
    pBottom->addWidget(m_pLegend, 1);
    pBottom->addStretch();
    pBottom->addWidget(m_pFollow);
    pLayout->addLayout(pBottom);
    pLayout->addWidget(m_pFindBar);
    m_pModel->SetHighlighter([this](const CEventStruct& event) {
        CEventMonitor* pLog = GetMonitor();
        if (!pLog)
            return -1;
        return MatchingEventGroup(*pLog, event, [&] {
            std::string strDescription;
            std::string strCategory;
            pLog->RenderEvent(RENDER_DESCRIPTION, event, strDescription, strCategory);
            return strDescription;
        });
    });

    m_pFollow->setObjectName("follow");
    m_pFollow->setText(QStringLiteral("Follow"));
    m_pFollow->setCheckable(true);
    m_pFollow->setChecked(true);
    m_pFollow->setAutoRaise(true);
    m_pFollow->setFocusPolicy(Qt::NoFocus);
    m_pFollow->setToolTip(QStringLiteral("Select the newest event as scans add events"));
    // Only the user's click jumps; the selection sets the button silently.
    connect(m_pFollow, &QToolButton::clicked, this, [this](bool bOn) {
        if (bOn)
            SelectRecord(GetNewestRecord());
    });
    connect(m_pList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (m_bReloading)
            return;
        const DWORD nNewest = GetNewestRecord();
        const QSignalBlocker block(m_pFollow);
        m_pFollow->setChecked(nNewest != 0 && GetSelectedRecord() == nNewest);
    });

    m_pDetailTimer->setSingleShot(true);
    m_pDetailTimer->setInterval(DETAIL_DELAY_MS);
    connect(m_pDetailTimer, &QTimer::timeout, this, &CEventLogView::UpdateDetail);
    connect(m_pList, &QTableView::clicked, this, [this] { UpdateDetail(); });
    connect(m_pList, &QTableView::doubleClicked, this, [this] { OnProperties(); });
    connect(m_pList, &QWidget::customContextMenuRequested, this, &CEventLogView::ShowContextMenu);

    m_frame.GetDocument().AddView(this);
}

CEventLogView::~CEventLogView()
{
    m_pDetailTimer->stop();
    m_frame.GetDocument().RemoveView(this);
    if (m_pDetail)
        m_pDetail->m_pViewer = nullptr;
    if (--g_nViewers == 0)
        AppSettings::SetNewestFirst(g_bNewestFirst ? 1 : 0);
}

CEventMonitor* CEventLogView::GetMonitor() const
{
    CQuorvilDoc& doc = m_frame.GetDocument();
    if (m_dwID == 0 || !doc.m_pManager)
        return nullptr;
    return dynamic_cast<CEventMonitor*>(doc.m_pManager->FindLog(m_dwID));
}

void CEventLogView::ShowItem(DWORD dwID)
{
    m_dwID = dwID;
    m_pFollow->setChecked(true);
    Reload();
}

bool CEventLogView::IsFollowing() const
{
    return m_pFollow->isChecked();
}

void CEventLogView::SetFollowing(bool bFollow)
{
    m_pFollow->setChecked(bFollow);
    if (bFollow)
        SelectRecord(GetNewestRecord());
}

DWORD CEventLogView::GetNewestRecord() const
{
    return m_pModel->GetNewestRecord();
}

void CEventLogView::Empty()
{
    m_pModel->Reset(0, 0);
    m_pCache = std::make_unique<CEventLogCache>();
    m_nOldest = 0;
}

void CEventLogView::Reload()
{
    // Telling the document of the new state sends this view a hint of its
    // own log, which must not reload again.
    if (m_bReloading)
        return;
    m_bReloading = true;
    CEventMonitor* pLog = GetMonitor();
    Empty();
    if (!pLog) {
        m_dwID = 0;
        m_bReloading = false;
        UpdateDetail();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pCache->SetBusyCallback([](bool bBusy) {
        if (bBusy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    m_pCache->SetComputer(pLog->GetServer());
    m_pCache->SetLog(pLog->GetLogName());
    if (pLog->GetImpersonate())
        m_pCache->SetLogon(pLog->GetLogonUser(), pLog->GetLogonDomain(), pLog->GetLogonPassword());
    else
        m_pCache->SetLogon("", "", "");
    m_nOldest = m_pCache->GetOldest();
    DWORD dwError = m_pCache->GetError();
    CQuorvilDoc& doc = m_frame.GetDocument();
    pLog->SetState(dwError ? MON_STATE_ERROR : MON_STATE_UNCHANGED);
    doc.OnScanProgress(m_dwID, 0);
    QApplication::restoreOverrideCursor();
    if (dwError) {
        std::string text = "Error reading event log: " + pLog->GetServer() + "\\" +
                           pLog->GetLogName() + "\n\n" + GetSystemErrorText(dwError);
        Empty();
        m_bReloading = false;
        ShowMessageBox(m_frame.GetWindow(), text, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_pModel->Reset(m_nOldest, m_pCache->GetCount(), m_pCache->GetGaps());
    m_pLegend->ShowGroups(pLog);
    if (!m_filter.IsEmpty() || m_nSortColumn >= 0)
        ApplyRows();
    m_bReloading = false;
    if (m_pModel->GetCount())
        SelectRecord(GetNewestRecord());
    else
        UpdateDetail();
}

void CEventLogView::ReloadKeepingPlace()
{
    const DWORD nSelected = GetSelectedRecord();
    const DWORD nTop = m_pModel->RecordOfRow(m_pList->rowAt(0));
    // The reload selects the newest event; the button stays as it was.
    const bool bFollowing = m_pFollow->isChecked();
    Reload();
    if (nSelected)
        SelectRecord(nSelected);
    m_pFollow->setChecked(bFollowing);
    const int nTopRow = m_pModel->RowOfRecord(nTop);
    if (nTopRow >= 0)
        m_pList->scrollTo(m_pModel->index(nTopRow, 0), QAbstractItemView::PositionAtTop);
}

const CEventStruct* CEventLogView::GetEvent(DWORD nRecord)
{
    if (m_dwID == 0 || nRecord == 0)
        return nullptr;
    return m_pCache->GetEvent(nRecord);
}

int CEventLogView::RowOfRecord(DWORD nRecord) const
{
    return m_pModel->RowOfRecord(nRecord);
}

DWORD CEventLogView::RecordOfRow(int nRow) const
{
    return m_pModel->RecordOfRow(nRow);
}

DWORD CEventLogView::GetSelectedRecord() const
{
    QModelIndexList rows = m_pList->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : m_pModel->RecordOfRow(rows.first().row());
}

bool CEventLogView::SelectRecord(DWORD nRecord)
{
    int nRow = m_pModel->RowOfRecord(nRecord);
    if (nRow < 0)
        return false;
    QModelIndex index = m_pModel->index(nRow, 0);
    m_pList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_pList->scrollTo(index);
    UpdateDetail();
    return true;
}

bool CEventLogView::IsNewestFirst()
{
    return g_bNewestFirst;
}

void CEventLogView::SetNewestFirst(bool bNewestFirst)
{
    if (m_nSortColumn >= 0) {
        // Back to the log's own order.
        m_nSortColumn = -1;
        m_pList->horizontalHeader()->setSortIndicatorShown(false);
        g_bNewestFirst = bNewestFirst;
        m_pModel->SetNewestFirst(bNewestFirst);
        ApplyRows();
        return;
    }
    DWORD nSelected = GetSelectedRecord();
    g_bNewestFirst = bNewestFirst;
    m_pModel->SetNewestFirst(bNewestFirst);
    if (nSelected)
        SelectRecord(nSelected);
    else
        UpdateDetail();
}

CEventLogView::State CEventLogView::SaveState() const
{
    State state;
    state.dwID = m_dwID;
    state.bNewestFirst = m_pModel->IsNewestFirst();
    state.nTopRecord = m_pModel->RecordOfRow(m_pList->rowAt(0));
    state.nSelectedRecord = GetSelectedRecord();
    return state;
}

void CEventLogView::RestoreState(const State& state)
{
    g_bNewestFirst = state.bNewestFirst;
    m_pModel->SetNewestFirst(state.bNewestFirst);
    ShowItem(state.dwID);
    if (state.nSelectedRecord)
        SelectRecord(state.nSelectedRecord);
    int nTop = m_pModel->RowOfRecord(state.nTopRecord);
    if (nTop >= 0)
        m_pList->scrollTo(m_pModel->index(nTop, 0), QAbstractItemView::PositionAtTop);
}

void CEventLogView::OnUpdate(ViewHint hint, const CHintStruct* pHint)
{
    if (m_bReloading)
        return;
    bool bOurs = pHint && m_dwID != 0 && pHint->m_dwID == m_dwID;
    switch (hint) {
    case ViewHint::ScriptRun:
        Reload();
        break;
    case ViewHint::LogEdited:
    case ViewHint::KeyEdited:
    case ViewHint::KeyAdded:
    case ViewHint::KeyDeleted:
    case ViewHint::GroupEdited:
    case ViewHint::GroupAdded:
    case ViewHint::GroupDeleted:
        if (bOurs)
            UpdateHighlights();
        m_pList->viewport()->update();
        break;
    case ViewHint::LogDeleted:
        if (bOurs) {
            Empty();
            m_dwID = 0;
            UpdateDetail();
        }
        break;
    case ViewHint::LogState:
        if (bOurs) {
            // A reader who is not following is not moved by a scan.
            if (pHint->m_dwExtra != 0 && !IsFollowing())
                ReloadKeepingPlace();
            else
                Reload();
        }
        break;
    default:
        m_pList->viewport()->update();
        UpdateDetail();
        break;
    }
}

bool CEventLogView::UpdateCommand(UINT nID, CCommandState& state)
{
    switch (nID) {
    case ID_VIEW_REFRESH:
        state.bEnabled = IsRefreshEnabled();
        return true;
    case ID_LOG_MARK:
    case ID_LOG_FAST_MARK:
        state.bEnabled = IsMarkEnabled();
        return true;
    case ID_EVENT_PROPERTIES:
    case ID_EVENT_WATCH:
        state.bEnabled = GetSelectedRecord() != 0;
        return true;
    case ID_EVENT_NEWEST_FIRST:
    case ID_EVENT_OLDEST_FIRST:
        state.bChecked = (nID == ID_EVENT_NEWEST_FIRST) == IsNewestFirst();
        state.bEnabled = !state.bChecked;
        return true;
    case ID_VIEW_FIND:
    case ID_VIEW_FIND_NEXT:
    case ID_VIEW_FIND_PREV:
        state.bEnabled = m_pModel->GetCount() != 0;
        return true;
    default:
        return false;
    }
}

bool CEventLogView::OnCommand(UINT nID)
{
    switch (nID) {
    case ID_VIEW_REFRESH:
        OnRefresh();
        return true;
    case ID_LOG_MARK:
        OnMark();
        return true;
    case ID_LOG_FAST_MARK:
        OnFastMark();
        return true;
    case ID_EVENT_PROPERTIES:
        OnProperties();
        return true;
    case ID_EVENT_WATCH:
        OnWatchEvent();
        return true;
    case ID_EVENT_NEWEST_FIRST:
        SetNewestFirst(true);
        return true;
    case ID_EVENT_OLDEST_FIRST:
        SetNewestFirst(false);
        return true;
    case ID_VIEW_FIND:
        OnFind();
        return true;
    case ID_VIEW_FIND_NEXT:
        OnFindNext();
        return true;
    case ID_VIEW_FIND_PREV:
        OnFindPrevious();
        return true;
    default:
        return false;
    }
}

void CEventLogView::SetDetailView(CDetailView2* pDetail)
{
    m_pDetail = pDetail;
}

void CEventLogView::UpdateDetail()
{
    CEventMonitor* pLog = GetMonitor();
    if (pLog)
        m_frame.SetMessageText(ToQt(pLog->GetServer() + "\\" + pLog->GetLogName()));
    if (!m_pDetail)
        return;
    std::string strDescription;
    DWORD nRecord = GetSelectedRecord();
    const CEventStruct* pEvent = nRecord && pLog ? GetEvent(nRecord) : nullptr;
    if (pEvent) {
        std::string strCategory;
        pLog->RenderEvent(RENDER_DESCRIPTION, *pEvent, strDescription, strCategory);
    }
    m_pDetail->setPlainText(ToQt(strDescription));
}

bool CEventLogView::IsMarkEnabled() const
{
    CEventMonitor* pLog = GetMonitor();
    return pLog && pLog->GetLogName() == "Application";
}

void CEventLogView::OnProperties()
{
    DWORD nRecord = GetSelectedRecord();
    if (nRecord == 0)
        return;
    UpdateDetail();
    RunEventProperties(*this, nRecord);
}

void CEventLogView::OnRefresh()
{
    OnUpdate(ViewHint::ScriptRun, nullptr);
}

void CEventLogView::OnMark()
{
    if (!IsMarkEnabled())
        return;
    std::string text = "My Mark";
    if (AskMarkText(m_frame.GetWindow(), text))
        m_frame.GetDocument().MarkLog(m_dwID, text);
}

void CEventLogView::OnFastMark()
{
    if (IsMarkEnabled())
        m_frame.GetDocument().MarkLog(m_dwID, AppSettings::GetFastMark());
}

void CEventLogView::OnWatchEvent()
{
    DWORD nRecord = GetSelectedRecord();
    const CEventStruct* pEvent = nRecord ? GetEvent(nRecord) : nullptr;
    if (!pEvent)
        return;
    CQuorvilDoc& doc = m_frame.GetDocument();
    WatchNewKey(doc, m_dwID, MakeEventKey(*pEvent), [&doc](CSearchKey& key) {
        return doc.GetUi().EditEventKey(static_cast<CSearchKeyEvent&>(key));
    });
}

void CEventLogView::BuildFilterBar()
{
    m_pFilterBar = new QWidget(this);
    m_pFilterBar->setObjectName("filterbar");
    auto* type = new QComboBox(m_pFilterBar);
    type->setObjectName("filtertype");
    type->setToolTip(QStringLiteral("Show only events of this type"));
    type->addItem(QStringLiteral("All types"), 0);
    for (WORD n : {EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_INFORMATION_TYPE,
                   EVENTLOG_AUDIT_SUCCESS, EVENTLOG_AUDIT_FAILURE})
        type->addItem(EventTypeIcon(n), QString::fromLatin1(CEventStruct::GetEventTypeName(n)), n);
    auto edit = [this](const char* name, const QString& placeholder, int nWidth) {
        auto* box = new QLineEdit(m_pFilterBar);
        box->setObjectName(QString::fromLatin1(name));
        box->setPlaceholderText(placeholder);
        box->setToolTip(placeholder);
        box->setClearButtonEnabled(true);
        if (nWidth)
            box->setMaximumWidth(nWidth);
        connect(box, &QLineEdit::returnPressed, this, &CEventLogView::ReadFilterBar);
        return box;
    };
    QLineEdit* source = edit("filtersource", QStringLiteral("Source"), 140);
    QLineEdit* id = edit("filterid", QStringLiteral("Event ID"), 90);
    QLineEdit* text = edit("filtertext", QStringLiteral("Text in the fields and strings"), 0);
    auto* timed = new QCheckBox(QStringLiteral("&Time:"), m_pFilterBar);
    timed->setObjectName("filtertime");
    timed->setToolTip(QStringLiteral("Show only events generated in this time range"));
    auto* from = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), m_pFilterBar);
    auto* to = new QDateTimeEdit(QDateTime::currentDateTime(), m_pFilterBar);
    from->setObjectName("filterfrom");
    to->setObjectName("filterto");
    for (QDateTimeEdit* pTime : {from, to}) {
        pTime->setCalendarPopup(true);
        pTime->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        pTime->setEnabled(false);
        connect(timed, &QCheckBox::toggled, pTime, &QWidget::setEnabled);
    }
    auto* apply = new QToolButton(m_pFilterBar);
    apply->setObjectName("filterapply");
    apply->setText(QStringLiteral("&Filter"));
    apply->setToolTip(QStringLiteral("Show only the events that match (Enter)"));
    auto* clear = new QToolButton(m_pFilterBar);
    clear->setObjectName("filterclear");
    clear->setText(QStringLiteral("Clear"));
    clear->setToolTip(QStringLiteral("Show every event again"));
    connect(apply, &QToolButton::clicked, this, &CEventLogView::ReadFilterBar);
    connect(type, &QComboBox::currentIndexChanged, this, &CEventLogView::ReadFilterBar);
    connect(timed, &QCheckBox::toggled, this, &CEventLogView::ReadFilterBar);
    connect(clear, &QToolButton::clicked, this, [=, this] {
        const QSignalBlocker blockType(type);
        const QSignalBlocker blockTime(timed);
        type->setCurrentIndex(0);
        timed->setChecked(false);
        for (QLineEdit* box : {source, id, text})
            box->clear();
        ReadFilterBar();
    });
    auto* layout = new QHBoxLayout(m_pFilterBar);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(type);
    layout->addWidget(source);
    layout->addWidget(id);
    layout->addWidget(text, 1);
    layout->addWidget(timed);
    layout->addWidget(from);
    layout->addWidget(to);
    layout->addWidget(apply);
    layout->addWidget(clear);
}

void CEventLogView::ReadFilterBar()
{
    auto child = [this](const char* name) { return m_pFilterBar->findChild<QWidget*>(name); };
    CEventFilter filter;
    filter.nType =
        static_cast<WORD>(static_cast<QComboBox*>(child("filtertype"))->currentData().toUInt());
    filter.strSource = FromQt(static_cast<QLineEdit*>(child("filtersource"))->text().trimmed());
    filter.strText = FromQt(static_cast<QLineEdit*>(child("filtertext"))->text().trimmed());
    bool bOk = false;
    const uint nID = static_cast<QLineEdit*>(child("filterid"))->text().trimmed().toUInt(&bOk);
    if (bOk)
        filter.id = nID;
    if (static_cast<QCheckBox*>(child("filtertime"))->isChecked()) {
        // The list shows record-local times; the filter compares UTC.
        const QDateTime from = static_cast<QDateTimeEdit*>(child("filterfrom"))->dateTime();
        const QDateTime to = static_cast<QDateTimeEdit*>(child("filterto"))->dateTime();
        filter.from = static_cast<std::int32_t>(from.toSecsSinceEpoch());
        filter.to = static_cast<std::int32_t>(to.toSecsSinceEpoch() + 59);
    }
    SetFilter(filter);
}

void CEventLogView::SetFilter(const CEventFilter& filter)
{
    m_filter = filter;
    ApplyRows();
}

void CEventLogView::SortByColumn(int nColumn)
{
    if (nColumn < 0 || nColumn >= CEventLogModel::COL_COUNT)
        return;
    m_bSortDescending = nColumn == m_nSortColumn && !m_bSortDescending;
    m_nSortColumn = nColumn;
    QHeaderView* header = m_pList->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(nColumn, m_bSortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    ApplyRows();
}

void CEventLogView::ApplyRows()
{
    const DWORD nSelected = GetSelectedRecord();
    if (m_filter.IsEmpty() && m_nSortColumn < 0) {
        m_pModel->SetRows(std::nullopt);
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pCache->ReadAll();
        std::vector<DWORD> rows =
            FilterRecords(*m_pCache, m_nOldest, m_pModel->GetCount(), m_filter);
        if (m_nSortColumn >= 0)
            SortRecords(*m_pCache, rows, m_nSortColumn, m_bSortDescending);
        else if (m_pModel->IsNewestFirst())
            std::reverse(rows.begin(), rows.end());
        m_pModel->SetRows(std::move(rows));
        QApplication::restoreOverrideCursor();
    }
    if (!SelectRecord(nSelected) && m_pModel->GetRowCount() > 0)
        SelectRecord(m_pModel->RecordOfRow(0));
    if (!m_filter.IsEmpty())
        m_frame.SetMessageText(QStringLiteral("%1 of %2 events")
                                   .arg(m_pModel->GetRowCount())
                                   .arg(m_pModel->GetCount()));
}

void CEventLogView::UpdateHighlights()
{
    m_pModel->ClearHighlights();
    m_pLegend->ShowGroups(GetMonitor());
}

bool CEventLogView::OnNextMatch(bool bForward)
{
    const int nRows = m_pModel->GetRowCount();
    const int nStep = bForward ? 1 : -1;
    for (int nRow = m_pList->currentIndex().row() + nStep; nRow >= 0 && nRow < nRows; nRow += nStep)
        if (m_pModel->GroupOfRow(nRow) >= 0)
            return SelectRecord(m_pModel->RecordOfRow(nRow));
    return false;
}

void CEventLogView::OnFind()
{
    m_pFindBar->show();
    m_pFindText->setFocus();
    m_pFindText->selectAll();
}

bool CEventLogView::OnFindNext()
{
    return Find(true);
}

bool CEventLogView::OnFindPrevious()
{
    return Find(false);
}

bool CEventLogView::EventHasText(const CEventStruct& event, const QString& text,
                                 Qt::CaseSensitivity cs)
{
    for (int c = 0; c < CEventLogModel::COL_COUNT; ++c)
        if (CEventLogModel::CellText(event, c).contains(text, cs))
            return true;
    for (const std::string& s : event.m_arrStrings)
        if (ToQt(s).contains(text, cs))
            return true;
    CEventMonitor* pLog = GetMonitor();
    if (!pLog)
        return false;
    std::string strDescription;
    std::string strCategory;
    pLog->RenderEvent(RENDER_DESCRIPTION, event, strDescription, strCategory);
    return ToQt(strDescription).contains(text, cs);
}

bool CEventLogView::Find(bool bForward)
{
    const QString text = m_pFindText->text();
    if (text.isEmpty()) {
        OnFind();
        return false;
    }
    const int nRows = m_pModel->GetRowCount();
    if (nRows == 0)
        return false;
    const Qt::CaseSensitivity cs =
        m_pFindCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int nStep = bForward ? 1 : -1;
    auto search = [&](int nRow) {
        for (; nRow >= 0 && nRow < nRows; nRow += nStep)
            if (const CEventStruct* pEvent = m_pModel->EventOfRow(nRow);
                pEvent && EventHasText(*pEvent, text, cs))
                return nRow;
        return -1;
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int nFound = search(m_pList->currentIndex().row() + nStep);
    QApplication::restoreOverrideCursor();
    if (nFound < 0) {
        const std::string question = "Cannot find \"" + FromQt(text) +
                                     "\".\n\nSearch again from the " + (bForward ? "top" : "end") +
                                     " of the log?";
        if (ShowMessageBox(m_frame.GetWindow(), question, MB_YESNO | MB_ICONINFORMATION) != IDYES)
            return false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        nFound = search(bForward ? 0 : nRows - 1);
        QApplication::restoreOverrideCursor();
        if (nFound < 0)
            return false;
    }
    SelectRecord(m_pModel->RecordOfRow(nFound));
    return true;
}

void CEventLogView::ShowContextMenu(const QPoint& pos)
{
    QModelIndex index = m_pList->indexAt(pos);
    if (index.isValid()) {
        m_pList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
        UpdateDetail();
    }
    QMenu menu(this);
    QAction* pProperties =
        menu.addAction(QStringLiteral("&Properties\tF2"), this, &CEventLogView::OnProperties);
    pProperties->setEnabled(index.isValid());
    menu.setDefaultAction(pProperties);
    menu.addAction(QStringLiteral("&Refresh\tF5"), this, &CEventLogView::OnRefresh)
        ->setEnabled(IsRefreshEnabled());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Ma&rk\tCtrl+K"), this, &CEventLogView::OnMark)
        ->setEnabled(IsMarkEnabled());
    menu.addAction(QStringLiteral("&Fast Mark          \tAlt+K"), this, &CEventLogView::OnFastMark)
        ->setEnabled(IsMarkEnabled());
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Watch this event...\t "), this, &CEventLogView::OnWatchEvent)
        ->setEnabled(index.isValid());
    if (m_pLegend->isVisible()) {
        menu.addAction(QStringLiteral("Ne&xt Watched Event\tCtrl+Down"), this,
                       [this] { OnNextMatch(true); });
        menu.addAction(QStringLiteral("Pre&vious Watched Event\tCtrl+Up"), this,
                       [this] { OnNextMatch(false); });
    }
    menu.exec(m_pList->viewport()->mapToGlobal(pos));
}

void CEventLogView::OnKeyReleased(int nKey)
{
    switch (nKey) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        m_pDetailTimer->start();
        break;
    case Qt::Key_F2:
        OnProperties();
        break;
    case Qt::Key_F5:
        OnRefresh();
        break;
    default:
        break;
    }
}

bool CEventLogView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pFindText && event->type() == QEvent::KeyPress) {
        auto* pKey = static_cast<QKeyEvent*>(event);
        if (pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter) {
            Find(!(pKey->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (pKey->key() == Qt::Key_Escape) {
            m_pFindBar->hide();
            m_pList->setFocus();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_pList && event->type() == QEvent::KeyPress) {
        // Without the main window's shortcuts (the NT Event Viewer window)
        // the list takes the find keys itself.
        auto* pKey = static_cast<QKeyEvent*>(event);
        if (pKey->key() == Qt::Key_F && (pKey->modifiers() & Qt::ControlModifier)) {
            OnFind();
            return true;
        }
        if (pKey->key() == Qt::Key_F3) {
            Find(!(pKey->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if ((pKey->modifiers() & Qt::ControlModifier) &&
            (pKey->key() == Qt::Key_Down || pKey->key() == Qt::Key_Up)) {
            OnNextMatch(pKey->key() == Qt::Key_Down);
            return true;
        }
    }
    if (watched == m_pList && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        // The list refreshes on F5's release; the window's Refresh shortcut
        // must not read the log a second time.
        event->accept();
        return true;
    }
    if (watched == m_pList && event->type() == QEvent::KeyRelease) {
        // Holding a key repeats presses and releases; only the last
        // release counts.
        auto* pKey = static_cast<QKeyEvent*>(event);
        if (!pKey->isAutoRepeat())
            OnKeyReleased(pKey->key());
    } else if (watched == m_pList && event->type() == QEvent::FocusIn) {
        UpdateDetail();
    }
    return QWidget::eventFilter(watched, event);
}
