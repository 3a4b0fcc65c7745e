#include "ui/viewers/entrylistmodel.h"

#include <QDateTime>
#include <QIcon>

#include "ui/common/qtstrings.h"
#include "ui/viewers/eventlogmodel.h"

CEntryListModel::CEntryListModel(QString strExtraTitle, QObject* parent)
    : QAbstractTableModel(parent), m_strExtraTitle(std::move(strExtraTitle))
{
}

void CEntryListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CEntryListModel::Prepend(std::vector<CEntryRow> rows)
{
    if (rows.empty())
        return;
    beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.begin(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
}

void CEntryListModel::Append(std::vector<CEntryRow> rows)
{
    if (rows.empty())
        return;
    const int nFirst = static_cast<int>(m_rows.size());
    beginInsertRows({}, nFirst, nFirst + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
    if (m_rows.size() > MAX_ROWS) {
        const int nDrop = static_cast<int>(m_rows.size() - MAX_ROWS);
        beginRemoveRows({}, 0, nDrop - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + nDrop);
        endRemoveRows();
    }
}

const CEntryRow* CEntryListModel::Row(int nRow) const
{
    return nRow >= 0 && static_cast<std::size_t>(nRow) < m_rows.size()
               ? &m_rows[static_cast<std::size_t>(nRow)]
               : nullptr;
}

QString CEntryListModel::RowText(int nRow) const
{
    const CEntryRow* pRow = Row(nRow);
    if (!pRow)
        return {};
    QStringList cells;
    for (int c = 0; c < COL_COUNT; ++c)
        cells << CellText(*pRow, c);
    return cells.join(QLatin1Char('\t'));
}

QString CEntryListModel::LevelText(WORD nType)
{
    const char* pszName = CEventStruct::GetEventTypeName(nType);
    return QString::fromLatin1(*pszName ? pszName : "Information");
}

QString CEntryListModel::TimeText(std::uint64_t nTimeUsec)
{
    if (nTimeUsec == 0)
        return {};
    const QDateTime time =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(nTimeUsec / 1000), Qt::LocalTime);
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString CEntryListModel::CellText(const CEntryRow& row, int nColumn) const
{
    switch (nColumn) {
    case COL_TIME:
        return TimeText(row.nTimeUsec);
    case COL_LEVEL:
        return LevelText(row.nType);
    case COL_SOURCE:
        return ToQt(row.strSource);
    case COL_EXTRA:
        return ToQt(row.strExtra);
    case COL_HOST:
        return ToQt(row.strHost);
    case COL_MESSAGE: {
        const std::size_t nEnd = row.strMessage.find('\n');
        return ToQt(nEnd == std::string::npos ? row.strMessage : row.strMessage.substr(0, nEnd));
    }
    default:
        return {};
    }
}

int CEntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CEntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : COL_COUNT;
}

QVariant CEntryListModel::data(const QModelIndex& index, int role) const
{
    const CEntryRow* pRow = Row(index.row());
    if (!pRow)
        return {};
    if (role == Qt::DecorationRole && index.column() == COL_LEVEL)
        return EventTypeIcon(pRow->nType);
    if (role == Qt::DisplayRole)
        return CellText(*pRow, index.column());
    return {};
}

QVariant CEntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case COL_TIME:
        return QStringLiteral("Time");
    case COL_LEVEL:
        return QStringLiteral("Level");
    case COL_SOURCE:
        return QStringLiteral("Source");
    case COL_EXTRA:
        return m_strExtraTitle;
    case COL_HOST:
        return QStringLiteral("Host");
    case COL_MESSAGE:
        return QStringLiteral("Message");
    default:
        return {};
    }
}
