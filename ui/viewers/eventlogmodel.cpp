#include "ui/viewers/eventlogmodel.h"

#include <QApplication>
#include <QIcon>
#include <QMimeData>
#include <QStyle>
#include <algorithm>

#include "eventrecords/eventloghandle.h"
#include "platform/base/strformat.h"
#include "platform/clipboard/clipboard.h"
#include "ui/common/icons.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/eventkey.h"
#include "ui/viewers/highlights.h"

namespace {

const char* const HEADERS[CEventLogModel::COL_COUNT] = {"Date",  "Time", "Source",   "Category",
                                                        "Event", "User", "Computer", "Record"};

// A damaged stretch's row: the text in the first column, the record numbers
// it took (nTaken from nFirst) in the Record column, where it lies as the tip.
QVariant GapData(const CEvtGap& gap, DWORD nFirst, DWORD nTaken, int nColumn, int role)
{
    if (role == Qt::ToolTipRole)
        return ToQt((gap.m_dwBytes ? FormatString("%u damaged bytes at offset %u", gap.m_dwBytes,
                                                  gap.m_dwOffset)
                                   : std::string("records left out by a repair")) +
                    DescribeGap(gap));
    if (role == Qt::DecorationRole)
        return nColumn == CEventLogModel::COL_DATE ? QVariant(GetEventIcon(EventIcon::Warning))
                                                   : QVariant();
    if (nColumn == CEventLogModel::COL_DATE)
        return QStringLiteral(" damaged records skipped");
    if (nColumn == CEventLogModel::COL_RECORD && nTaken)
        return nTaken == 1 ? QString::number(nFirst)
                           : QString::number(nFirst) + QStringLiteral("-") +
                                 QString::number(nFirst + nTaken - 1);
    return {};
}

} // namespace

QIcon EventTypeIcon(WORD nType)
{
    // Made once: the list asks for every row it paints.
    static const QIcon icons[] = {
        GetEventIcon(EventIcon::Error),        GetEventIcon(EventIcon::Warning),
        GetEventIcon(EventIcon::Information),  GetEventIcon(EventIcon::AuditSuccess),
        GetEventIcon(EventIcon::AuditFailure),
    };
    switch (nType) {
    case EVENTLOG_ERROR_TYPE:
        return icons[0];
    case EVENTLOG_WARNING_TYPE:
        return icons[1];
    case EVENTLOG_AUDIT_SUCCESS:
        return icons[3];
    case EVENTLOG_AUDIT_FAILURE:
        return icons[4];
    default:
        return icons[2];
    }
}

CEventLogModel::CEventLogModel(Fetch fnFetch, QObject* parent)
    : QAbstractTableModel(parent), m_fnFetch(std::move(fnFetch))
{
}

void CEventLogModel::Reset(DWORD nOldest, DWORD nCount, const std::vector<CEvtGap>& gaps)
{
    beginResetModel();
    m_nOldest = nCount ? nOldest : 0;
    m_nCount = nCount;
    m_rows.reset();
    m_rowOfRecord.clear();
    m_fetched.clear();
    m_groupOf.clear();
    m_gaps.clear();
    m_segments.clear();
    m_nRows = 0;
    if (nCount) {
        const QWORD nNewest = QWORD{nOldest} + nCount - 1;
        // The stretch's place: after the intact record before it (a stretch
        // before the oldest record comes first).
        auto before = [nOldest](const CEvtGap& gap) {
            return gap.m_dwBefore ? QWORD{gap.m_dwBefore} : QWORD{nOldest} - 1;
        };
        for (const CEvtGap& gap : gaps)
            if (before(gap) + 1 >= nOldest && before(gap) <= nNewest)
                m_gaps.push_back(gap);
        std::stable_sort(m_gaps.begin(), m_gaps.end(),
                         [&](const CEvtGap& a, const CEvtGap& b) { return before(a) < before(b); });
        auto addRecords = [this](QWORD nFirst, QWORD nLast) {
            if (nFirst <= nLast) {
                const auto nRows = static_cast<DWORD>(nLast - nFirst + 1);
                m_segments.push_back({m_nRows, nRows, static_cast<DWORD>(nFirst), -1, 0});
                m_nRows += nRows;
            }
        };
        QWORD nNext = nOldest;
        for (std::size_t i = 0; i < m_gaps.size(); ++i) {
            addRecords(nNext, before(m_gaps[i]));
            // The numbers up to the intact record after it are the stretch's;
            // with none after it, all the rest.
            const QWORD nFirst = std::max(nNext, before(m_gaps[i]) + 1);
            const QWORD nEnd =
                std::max(nFirst, m_gaps[i].m_dwAfter ? QWORD{m_gaps[i].m_dwAfter} : nNewest + 1);
            m_segments.push_back({m_nRows, 1, static_cast<DWORD>(nFirst), static_cast<int>(i),
                                  static_cast<DWORD>(nEnd - nFirst)});
            ++m_nRows;
            nNext = nEnd;
        }
        addRecords(nNext, nNewest);
    }
    endResetModel();
}

const CEventLogModel::CSegment* CEventLogModel::SegmentOfRow(DWORD nRow) const
{
    if (nRow >= m_nRows)
        return nullptr;
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), nRow,
                               [](DWORD n, const CSegment& s) { return n < s.m_nRow; });
    return &*std::prev(it);
}

void CEventLogModel::SetRows(std::optional<std::vector<DWORD>> records)
{
    beginResetModel();
    m_rows = std::move(records);
    m_rowOfRecord.clear();
    endResetModel();
}

void CEventLogModel::SetHighlighter(GroupOf fnGroupOf)
{
    m_fnGroupOf = std::move(fnGroupOf);
    ClearHighlights();
}

void CEventLogModel::ClearHighlights()
{
    m_groupOf.clear();
    if (GetRowCount() > 0)
        emit dataChanged(index(0, 0), index(GetRowCount() - 1, COL_COUNT - 1),
                         {Qt::BackgroundRole});
}

int CEventLogModel::GroupOfRow(int nRow) const
{
    if (!m_fnGroupOf)
        return -1;
    const DWORD nRecord = RecordOfRow(nRow);
    if (auto it = m_groupOf.find(nRecord); it != m_groupOf.end())
        return it->second;
    const CEventStruct* pEvent = EventOfRow(nRow);
    const int nGroup = pEvent ? m_fnGroupOf(*pEvent) : -1;
    m_groupOf.emplace(nRecord, nGroup);
    return nGroup;
}

int CEventLogModel::GetRowCount() const
{
    return m_rows ? static_cast<int>(m_rows->size()) : static_cast<int>(m_nRows);
}

void CEventLogModel::SetNewestFirst(bool bNewestFirst)
{
    if (bNewestFirst == m_bNewestFirst)
        return;
    m_bNewestFirst = bNewestFirst;
    if (m_rows) {
        // The shown records keep their set and turn round.
        beginResetModel();
        std::reverse(m_rows->begin(), m_rows->end());
        m_rowOfRecord.clear();
        endResetModel();
    } else if (m_nRows) {
        emit dataChanged(index(0, 0), index(static_cast<int>(m_nRows) - 1, COL_COUNT - 1));
    }
}

DWORD CEventLogModel::RecordOfRow(int nRow) const
{
    if (m_rows)
        return nRow >= 0 && static_cast<std::size_t>(nRow) < m_rows->size()
                   ? (*m_rows)[static_cast<std::size_t>(nRow)]
                   : 0;
    if (nRow < 0 || static_cast<DWORD>(nRow) >= m_nRows)
        return 0;
    const DWORD nShown = ShownRow(static_cast<DWORD>(nRow));
    const CSegment* pSegment = SegmentOfRow(nShown);
    return pSegment->m_nGap >= 0 ? 0 : pSegment->m_nFirst + (nShown - pSegment->m_nRow);
}

const CEventLogModel::CSegment* CEventLogModel::GapSegmentOfRow(int nRow) const
{
    if (m_rows || nRow < 0 || static_cast<DWORD>(nRow) >= m_nRows)
        return nullptr;
    const CSegment* pSegment = SegmentOfRow(ShownRow(static_cast<DWORD>(nRow)));
    return pSegment->m_nGap >= 0 ? pSegment : nullptr;
}

const CEvtGap* CEventLogModel::GapOfRow(int nRow) const
{
    const CSegment* pSegment = GapSegmentOfRow(nRow);
    return pSegment ? &m_gaps[static_cast<std::size_t>(pSegment->m_nGap)] : nullptr;
}

DWORD CEventLogModel::GetNewestRecord() const
{
    for (auto it = m_segments.rbegin(); it != m_segments.rend(); ++it)
        if (it->m_nGap < 0)
            return it->m_nFirst + it->m_nRows - 1;
    return 0;
}

int CEventLogModel::RowOfRecord(DWORD nRecord) const
{
    if (m_nCount == 0 || nRecord < m_nOldest || nRecord - m_nOldest >= m_nCount)
        return -1;
    DWORD nOffset = nRecord - m_nOldest;
    if (m_rows) {
        if (m_rowOfRecord.empty()) {
            m_rowOfRecord.assign(m_nCount, -1);
            for (std::size_t nRow = 0; nRow < m_rows->size(); ++nRow)
                if (DWORD n = (*m_rows)[nRow] - m_nOldest; n < m_nCount)
                    m_rowOfRecord[n] = static_cast<int>(nRow);
        }
        return m_rowOfRecord[nOffset];
    }
    // One segment unless the log is damaged.
    for (const CSegment& segment : m_segments)
        if (segment.m_nGap < 0 && nRecord >= segment.m_nFirst &&
            nRecord - segment.m_nFirst < segment.m_nRows)
            return static_cast<int>(ShownRow(segment.m_nRow + (nRecord - segment.m_nFirst)));
    return -1;
}

const CEventStruct* CEventLogModel::EventOfRow(int nRow) const
{
    DWORD nRecord = RecordOfRow(nRow);
    if (nRecord == 0)
        return nullptr;
    auto it = m_fetched.find(nRecord);
    if (it != m_fetched.end())
        return it->second;
    const CEventStruct* pEvent = m_fnFetch(nRecord);
    if (pEvent)
        m_fetched.emplace(nRecord, pEvent);
    return pEvent;
}

QString CEventLogModel::CellText(const CEventStruct& event, int nColumn)
{
    switch (nColumn) {
    case COL_DATE:
        // Built as a QString: GCC 12 at -O2 warns (-Wrestrict) about " " + std::string.
        return QStringLiteral(" ") + ToQt(event.GetTimeGenerated().Format("%m/%d/%y"));
    case COL_TIME:
        return QStringLiteral(" ") + ToQt(event.GetTimeGenerated().Format("%I:%M:%S %p"));
    case COL_SOURCE:
        return ToQt(event.m_strSource);
    case COL_CATEGORY:
        return QString::number(static_cast<int>(event.m_nCategory));
    case COL_EVENT:
        return QString::number(static_cast<int>(event.m_nEventID));
    case COL_USER:
        return ToQt(event.m_strUser);
    case COL_COMPUTER:
        return ToQt(event.m_strComputer);
    case COL_RECORD:
        return QString::number(static_cast<int>(event.m_nRecordNumber));
    default:
        return {};
    }
}

int CEventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetRowCount();
}

int CEventLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : COL_COUNT;
}

QVariant CEventLogModel::data(const QModelIndex& index, int role) const
{
    if (index.isValid() && role == Qt::BackgroundRole) {
        const int nGroup = GroupOfRow(index.row());
        return nGroup < 0 ? QVariant() : QVariant(WatchGroupColor(nGroup, QApplication::palette()));
    }
    if (!index.isValid() ||
        (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::ToolTipRole))
        return {};
    if (const CSegment* pGap = GapSegmentOfRow(index.row()))
        return GapData(m_gaps[static_cast<std::size_t>(pGap->m_nGap)], pGap->m_nFirst,
                       pGap->m_nTaken, index.column(), role);
    if (role == Qt::ToolTipRole)
        return {};
    const CEventStruct* pEvent = EventOfRow(index.row());
    if (role == Qt::DecorationRole) {
        if (index.column() != COL_DATE || !pEvent)
            return {};
        return EventTypeIcon(pEvent->m_nEventType);
    }
    if (pEvent)
        return CellText(*pEvent, index.column());
    if (index.column() == COL_RECORD)
        return QString::number(static_cast<int>(RecordOfRow(index.row())));
    return QStringLiteral("??");
}

QVariant CEventLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= COL_COUNT)
        return {};
    return QString::fromLatin1(HEADERS[section]);
}

Qt::ItemFlags CEventLogModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList CEventLogModel::mimeTypes() const
{
    return {ToQt(ClipboardFormatMimeType(GetBnClipFormat(BnClipFormat::SEARCHKEYEVENT)))};
}

QMimeData* CEventLogModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    const CEventStruct* pEvent = EventOfRow(indexes.first().row());
    if (!pEvent)
        return nullptr;
    return MakeKeyMimeData(*MakeEventKey(*pEvent));
}
