#pragma once
// CEntryListModel: the rows of the entry viewer (journal and .evtx logs),
// oldest first: time, level with its icon, source, unit or event ID, host
// and the first line of the message. Rows are added at either end and the
// oldest are dropped beyond a cap, so following a busy journal for days
// keeps memory bounded.
//
// Threads: user interface thread only.
#include <QAbstractTableModel>
#include <deque>
#include <vector>

#include "ui/viewers/entrysource.h"

class CEntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { COL_TIME, COL_LEVEL, COL_SOURCE, COL_EXTRA, COL_HOST, COL_MESSAGE, COL_COUNT };
    static constexpr std::size_t MAX_ROWS = 200000;

    CEntryListModel(QString strExtraTitle, QObject* parent = nullptr);

    void Clear();
    void Prepend(std::vector<CEntryRow> rows);
    // Drops the oldest rows beyond MAX_ROWS.
    void Append(std::vector<CEntryRow> rows);
    const CEntryRow* Row(int nRow) const;
    const CEntryRow* First() const { return m_rows.empty() ? nullptr : &m_rows.front(); }
    const CEntryRow* Last() const { return m_rows.empty() ? nullptr : &m_rows.back(); }
    // The row's cells separated by tabs, as Copy puts them on the clipboard.
    QString RowText(int nRow) const;

    static QString LevelText(WORD nType);
    static QString TimeText(std::uint64_t nTimeUsec);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString CellText(const CEntryRow& row, int nColumn) const;

    QString m_strExtraTitle;
    std::deque<CEntryRow> m_rows;
};
