#include "ui/viewers/eventlogview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>
#include <QTimer>
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

namespace {

// The order of every viewer; read from the settings by the first viewer.
bool g_bNewestFirst = false;
int g_nViewers = 0;

// The texts that size the columns, in column order.
const char* const COLUMN_SAMPLES[CEventLogModel::COL_COUNT] = {
    "MM/DD/YYYY", "88:88:88 WW",  "XXXXXXXXXX", "XXXXXXXXXX",
    "8888888",    "XXXXXXXXXXXX", "XXXXXXXXXX", "XXXXXXXXXX"};

// Delay between the last keyboard move and the detail pane's update.
constexpr int DETAIL_DELAY_MS = 1000;

} // namespace

CEventLogView::CEventLogView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_pList(new QTableView(this)),
      m_pDetailTimer(new QTimer(this)), m_pCache(std::make_unique<CEventLogCache>())
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
    // Fixed row heights: the list then asks only for the rows it shows.
    m_pList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 4);
    m_pList->horizontalHeader()->setSectionsClickable(false);
    m_pList->horizontalHeader()->setHighlightSections(false);
    m_pList->horizontalHeader()->setStretchLastSection(false);
    const QFontMetrics metrics = m_pList->fontMetrics();
    for (int c = 0; c < CEventLogModel::COL_COUNT; ++c) {
        int nWidth = metrics.horizontalAdvance(QString::fromLatin1(COLUMN_SAMPLES[c])) + 12;
        if (c == CEventLogModel::COL_DATE)
            nWidth += 20; // the type icon
        m_pList->setColumnWidth(c, nWidth);
    }
    m_pList->installEventFilter(this);
    setFocusProxy(m_pList);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pList);

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
    Reload();
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
    m_pModel->Reset(m_nOldest, m_pCache->GetCount());
    m_bReloading = false;
    if (m_pModel->GetCount())
        SelectRecord(m_nOldest + m_pModel->GetCount() - 1);
    else
        UpdateDetail();
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
    case ViewHint::LogDeleted:
        if (bOurs) {
            Empty();
            m_dwID = 0;
            UpdateDetail();
        }
        break;
    case ViewHint::LogState:
        if (bOurs) {
            // A user reading older events is not moved by a scan.
            DWORD nNewest = m_pModel->GetCount() ? m_nOldest + m_pModel->GetCount() - 1 : 0;
            if (pHint->m_dwExtra != 0 && GetSelectedRecord() != nNewest)
                break;
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
    std::unique_ptr<CSearchKeyEvent> pKey = MakeEventKey(*pEvent);
    CQuorvilDoc& doc = m_frame.GetDocument();
    DWORD dwID = m_dwID;
    int nGroup = doc.ChooseOrAddWatchGroup(dwID);
    if (nGroup < 0)
        return;
    if (doc.GetUi().EditEventKey(*pKey))
        doc.AddSearchKey(dwID, nGroup, pKey.release());
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
