#include "ui/lists/loglistview.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalfields.h"
#include "journal/journalmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/commands/logcommands.h"
#include "ui/common/icons.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/lists/columnchooser.h"

namespace {

QString YesNo(BOOL b)
{
    return b ? QStringLiteral("Yes") : QStringLiteral("No");
}

// A log never scanned has no times yet.
QString TimeText(const CTime& time)
{
    return time.GetTime() == 0 ? QStringLiteral("Never") : ToQt(time.Format("%I:%M:%S %p"));
}

QString Unsigned(DWORD n)
{
    return QString::number(n);
}

Qt::Alignment Alignment(const CListColumn& column)
{
    return (column.bRightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

const CListColumn* FindColumn(const CListKind& kind, DWORD dwId)
{
    auto it = std::find_if(kind.columns.begin(), kind.columns.end(),
                           [dwId](const CListColumn& c) { return c.dwId == dwId; });
    return it == kind.columns.end() ? nullptr : &*it;
}

} // namespace

QString LogCellText(const CMonitoredObject& log, ELogField field)
{
    const auto* pText = dynamic_cast<const CFileMonitor*>(&log);
    const auto* pEvent = dynamic_cast<const CEventMonitor*>(&log);
    switch (field) {
    case ELogField::DisplayName:
        return ToQt(log.GetDisplayName());
    case ELogField::Enabled:
        return YesNo(log.IsEnabled());
    case ELogField::LastScanned:
        return TimeText(log.m_timeLastScanned);
    case ELogField::NextScan:
        return log.m_timeLastScanned.GetTime() == 0 ? QStringLiteral("Next pass")
                                                    : TimeText(log.GetNextScanTime());
    case ELogField::LastChanged:
        return TimeText(log.m_timeLastChanged);
    case ELogField::Interval:
        return Unsigned(static_cast<DWORD>(log.GetInterval()));
    case ELogField::Impersonate:
        return YesNo(log.GetImpersonate());
    case ELogField::Username:
        return ToQt(log.GetLogonUser());
    case ELogField::Status:
        return ToQt(GetStateText(log.GetState()));
    case ELogField::Bytes:
        return pText ? Unsigned(pText->m_dwLastSize) : QString();
    case ELogField::FullPath:
        return pText ? ToQt(pText->m_strDirectory) : QString();
    case ELogField::DateFormat:
        return pText ? YesNo(pText->m_bFormattedName) : QString();
    case ELogField::Template:
        return pText ? ToQt(pText->m_strTemplate) : QString();
    case ELogField::LastRecord:
        if (pEvent)
            return Unsigned(pEvent->m_nLastRecord);
        if (const auto* pEvtx = dynamic_cast<const CEvtxMonitor*>(&log))
            return QString::number(pEvtx->m_nLastRecord);
        if (const auto* pJournal = dynamic_cast<const CJournalMonitor*>(&log))
            return pJournal->m_strCursor.empty()
                       ? QString()
                       : QString::number(JournalCursorSeqnum(pJournal->m_strCursor));
        return {};
    }
    return {};
}

CLogListView::CLogListView(IMainFrame& frame, const CListKind& kind, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_kind(kind), m_pList(new QTreeWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pList);
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSortingEnabled(false);
    m_pList->header()->setStretchLastSection(true);
    m_pList->header()->setSectionsMovable(false);
    m_pList->header()->setSectionsClickable(false);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pList->installEventFilter(this);
    setFocusProxy(m_pList);
    connect(m_pList, &QTreeWidget::customContextMenuRequested, this,
            &CLogListView::ShowContextMenu);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this,
            [this] { OnCommand(ID_LOG_CONFIGURE); });

    m_kind.pLayout->LoadOnce();
    BuildColumns();
    Refill();
    m_frame.GetDocument().AddView(this);
}

CLogListView::~CLogListView()
{
    m_frame.GetDocument().RemoveView(this);
    KeepWidths();
    m_kind.pLayout->Save();
}

void CLogListView::BuildColumns()
{
    const CColumnLayout& layout = *m_kind.pLayout;
    m_arrShown.clear();
    QStringList headings;
    for (std::size_t i = 0; i < layout.m_arrIds.size(); ++i)
        if (const CListColumn* pColumn = FindColumn(m_kind, layout.m_arrIds[i])) {
            m_arrShown.push_back({i, pColumn});
            headings << QString::fromLatin1(pColumn->pszHeading);
        }
    m_pList->clear();
    m_pList->setColumnCount(static_cast<int>(headings.size()));
    m_pList->setHeaderLabels(headings);
    for (int col = 0; col < static_cast<int>(m_arrShown.size()); ++col) {
        const CShownColumn& shown = m_arrShown[static_cast<std::size_t>(col)];
        m_pList->headerItem()->setTextAlignment(col, Alignment(*shown.pColumn));
        m_pList->setColumnWidth(col, static_cast<int>(layout.m_arrWidths[shown.nPosition]));
    }
}

void CLogListView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    CColumnLayout& layout = *m_kind.pLayout;
    if (layout.m_bWidthsKept)
        return;
    // The first show fits each column to its heading and cells, never
    // narrower than its default width.
    for (int col = 0; col < static_cast<int>(m_arrShown.size()); ++col) {
        const int nDefault = m_pList->columnWidth(col);
        m_pList->resizeColumnToContents(col);
        m_pList->setColumnWidth(col, std::max(nDefault, m_pList->columnWidth(col)));
    }
    KeepWidths();
    layout.m_bWidthsKept = true;
}

void CLogListView::KeepWidths()
{
    CColumnLayout& layout = *m_kind.pLayout;
    for (std::size_t col = 0; col < m_arrShown.size(); ++col)
        layout.m_arrWidths[m_arrShown[col].nPosition] =
            static_cast<DWORD>(m_pList->columnWidth(static_cast<int>(col)));
}

void CLogListView::Refill()
{
    QTreeWidgetItem* pSelected = m_pList->currentItem();
    const int nSelectedRow =
        pSelected && pSelected->isSelected() ? m_pList->indexOfTopLevelItem(pSelected) : -1;
    const int nScroll = m_pList->verticalScrollBar()->value();
    m_pList->clear();
    const CMonManager* pManager = m_frame.GetDocument().m_pManager.get();
    if (!pManager)
        return;
    int pos = 0;
    while (CMonitoredObject* pLog = pManager->GetNextLog(pos)) {
        if (pLog->IsEventLog() != static_cast<BOOL>(m_kind.bEventLogs))
            continue;
        auto* item = new QTreeWidgetItem(m_pList);
        item->setData(0, Qt::UserRole, static_cast<uint>(pLog->GetID()));
        item->setIcon(0, GetImageIcon(pLog->GetImageIndex()));
        for (int col = 0; col < static_cast<int>(m_arrShown.size()); ++col) {
            const CListColumn& column = *m_arrShown[static_cast<std::size_t>(col)].pColumn;
            item->setText(col, LogCellText(*pLog, column.field));
            item->setTextAlignment(col, Alignment(column));
        }
    }
    if (nSelectedRow >= 0 && nSelectedRow < m_pList->topLevelItemCount())
        m_pList->setCurrentItem(m_pList->topLevelItem(nSelectedRow));
    m_pList->verticalScrollBar()->setValue(nScroll);
}

DWORD CLogListView::GetSelectedItem() const
{
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? 0 : selected.front()->data(0, Qt::UserRole).toUInt();
}

void CLogListView::OnUpdate(ViewHint, const CHintStruct*)
{
    Refill();
}

bool CLogListView::IsRowCommand(UINT nID) const
{
    return nID != 0 &&
           std::find(m_kind.rowMenu.begin(), m_kind.rowMenu.end(), nID) != m_kind.rowMenu.end();
}

bool CLogListView::IsCommandEnabled(UINT nID) const
{
    if (nID == ID_VIEW_REFRESH || nID == ID_LIST_COLUMNS)
        return true;
    if (!IsLogCommand(nID) || !IsRowCommand(nID))
        return false;
    DWORD dwID = GetSelectedItem();
    return dwID != 0 && IsLogCommandEnabled(m_frame.GetDocument(), dwID, nID);
}

bool CLogListView::UpdateCommand(UINT nID, CCommandState& state)
{
    if (nID != ID_VIEW_REFRESH && nID != ID_LIST_COLUMNS && !IsRowCommand(nID))
        return false;
    state.bEnabled = IsCommandEnabled(nID);
    if (nID == ID_LOG_ENABLE)
        state.strText = LogCommandText(m_frame.GetDocument(), GetSelectedItem(), nID);
    return true;
}

bool CLogListView::OnCommand(UINT nID)
{
    if (nID == ID_VIEW_REFRESH) {
        Refill();
        return true;
    }
    if (nID == ID_LIST_COLUMNS) {
        ChooseColumns();
        return true;
    }
    if (!IsRowCommand(nID))
        return false;
    if (IsCommandEnabled(nID))
        RunLogCommand(m_frame, GetSelectedItem(), nID);
    return true;
}

std::unique_ptr<QMenu> CLogListView::CreateContextMenu(const QPoint& pos)
{
    auto menu = std::make_unique<QMenu>(this);
    QTreeWidgetItem* item = m_pList->itemAt(pos);
    if (item) {
        m_pList->setCurrentItem(item);
        CQuorvilDoc& doc = m_frame.GetDocument();
        const DWORD dwID = GetSelectedItem();
        for (UINT nID : m_kind.rowMenu) {
            if (nID == 0) {
                menu->addSeparator();
            } else if (nID == ID_EDIT_COPY || nID == ID_EDIT_PASTE) {
                QAction* action =
                    menu->addAction(nID == ID_EDIT_COPY ? QStringLiteral("&Copy\tCtrl+C")
                                                        : QStringLiteral("&Paste\tCtrl+V"));
                action->setData(nID);
                action->setEnabled(false);
            } else {
                QAction* action = AddLogCommand(*menu, doc, dwID, nID);
                if (nID == ID_LOG_CONFIGURE)
                    menu->setDefaultAction(action);
            }
        }
    }
    menu->addAction(QStringLiteral("&Columns..."))->setData(ID_LIST_COLUMNS);
    return menu;
}

void CLogListView::ShowContextMenu(const QPoint& pos)
{
    std::unique_ptr<QMenu> menu = CreateContextMenu(pos);
    // Hints may refill the rows while the menu is open; a log command still
    // goes to the log that was clicked.
    const DWORD dwID = GetSelectedItem();
    QAction* chosen = menu->exec(m_pList->viewport()->mapToGlobal(pos));
    if (!chosen)
        return;
    const UINT nID = chosen->data().toUInt();
    if (dwID != 0 && IsLogCommand(nID))
        RunLogCommand(m_frame, dwID, nID);
    else
        OnCommand(nID);
}

void CLogListView::ChooseColumns()
{
    std::vector<CColumnChoice> table;
    for (const CListColumn& column : m_kind.columns)
        table.push_back({column.dwId, QString::fromLatin1(column.pszChooserLabel)});
    CColumnLayout& layout = *m_kind.pLayout;
    std::vector<DWORD> ids = layout.m_arrIds;
    if (!RunColumnChooser(m_frame.GetWindow(), table, ids))
        return;
    KeepWidths();
    layout.SetColumns(ids);
    BuildColumns();
    Refill();
}

bool CLogListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pList && event->type() == QEvent::FocusIn &&
        m_pList->topLevelItemCount() > 0 && m_pList->selectedItems().isEmpty())
        m_pList->setCurrentItem(m_pList->topLevelItem(0));
    return QWidget::eventFilter(watched, event);
}
