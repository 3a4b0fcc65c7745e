#pragma once
// CEventLogModel: the rows of the event log viewer. Row r is record
// oldest + r with oldest first and newest - r with newest first; each cell
// is produced when the list asks for it, by fetching the row's record
// through a callback (the viewer's cache, which reads a window of about 500
// records around it). A record that cannot be had shows "??" cells with its
// number in the Record column. A damaged stretch of the log is one row
// "damaged records skipped" after the intact record before it, in place of
// the record numbers it took (the numbers in its Record column; none when
// bytes were only inserted). Dragging a row offers a new event key built
// from the record, in the event key's clipboard format as MIME data.
//
// Threads: user interface thread only.
#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "eventrecords/eventstruct.h"
#include "platform/eventlog/evtfile.h"

// The icon of an event type (error, warning, audit success, audit failure,
// any other).
QIcon EventTypeIcon(WORD nType);

class CEventLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        COL_DATE,
        COL_TIME,
        COL_SOURCE,
        COL_CATEGORY,
        COL_EVENT,
        COL_USER,
        COL_COMPUTER,
        COL_RECORD,
        COL_COUNT
    };

    // Fetches a record; null when it cannot be had.
    using Fetch = std::function<const CEventStruct*(DWORD nRecord)>;
    explicit CEventLogModel(Fetch fnFetch, QObject* parent = nullptr);

    // A new list: the oldest record, the count of numbers from the oldest
    // to the newest (0 rows for an empty log) and the damaged stretches.
    // Forgets every record fetched before.
    void Reset(DWORD nOldest, DWORD nCount, const std::vector<CEvtGap>& gaps = {});
    // Changes the order; the rows are redrawn.
    void SetNewestFirst(bool bNewestFirst);
    bool IsNewestFirst() const { return m_bNewestFirst; }

    // Only these records, in this order (a filter, a sort); an empty
    // optional goes back to every record of the log in the chosen order
    // (with the rows of its damaged stretches).
    void SetRows(std::optional<std::vector<DWORD>> records);
    bool HasRows() const { return m_rows.has_value(); }

    DWORD GetOldest() const { return m_nOldest; }
    // The log's records, shown or not.
    DWORD GetCount() const { return m_nCount; }
    // The rows shown.
    int GetRowCount() const;

    // The watch group that catches an event (-1: none), asked once per
    // record; its rows get the group's colour. Null: no colours.
    using GroupOf = std::function<int(const CEventStruct&)>;
    void SetHighlighter(GroupOf fnGroupOf);
    // Forgets the groups found (the log's groups or keys changed).
    void ClearHighlights();
    // The group of the row's record, -1 for none.
    int GroupOfRow(int nRow) const;
    // 0 for a row outside the list or a damaged stretch's row; -1 for a
    // record outside the list or inside a damaged stretch.
    DWORD RecordOfRow(int nRow) const;
    int RowOfRecord(DWORD nRecord) const;
    // The row's record, fetched once and then kept until the next Reset.
    const CEventStruct* EventOfRow(int nRow) const;
    // The damaged stretch a row shows; null for any other row.
    const CEvtGap* GapOfRow(int nRow) const;
    // The newest record of the log that has a row of its own (not one that
    // a damaged stretch took); 0 for none.
    DWORD GetNewestRecord() const;

    // The text of one cell, as the list shows it.
    static QString CellText(const CEventStruct& event, int nColumn);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    // A stretch of the unfiltered rows, oldest first: records m_nFirst
    // onwards, or the one row of damaged stretch m_nGap, which took the
    // m_nTaken numbers from m_nFirst.
    struct CSegment {
        DWORD m_nRow = 0;
        DWORD m_nRows = 0;
        DWORD m_nFirst = 0;
        int m_nGap = -1;
        DWORD m_nTaken = 0;
    };
    const CSegment* GapSegmentOfRow(int nRow) const;
    // The segment of an unfiltered row counted oldest first; null outside
    // the list.
    const CSegment* SegmentOfRow(DWORD nRow) const;
    // An unfiltered row counted oldest first, as the list shows it, and back.
    DWORD ShownRow(DWORD nRow) const { return m_bNewestFirst ? m_nRows - 1 - nRow : nRow; }

    Fetch m_fnFetch;
    DWORD m_nOldest = 0;
    DWORD m_nCount = 0;
    DWORD m_nRows = 0; // unfiltered rows: records and damaged stretches
    std::vector<CEvtGap> m_gaps;
    std::vector<CSegment> m_segments;
    bool m_bNewestFirst = false;
    std::optional<std::vector<DWORD>> m_rows; // record numbers, in row order
    mutable std::vector<int> m_rowOfRecord;   // by record - oldest, made when asked
    GroupOf m_fnGroupOf;
    mutable std::unordered_map<DWORD, int> m_groupOf;
    // Records already fetched, by number; the pointers belong to the cache
    // and stay valid until the next Reset.
    mutable std::unordered_map<DWORD, const CEventStruct*> m_fetched;
};
