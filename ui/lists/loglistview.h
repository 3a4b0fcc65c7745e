#pragma once
// CLogListView: what the two monitored-log lists share. A report-style list
// with one row per log of its kind in the scan manager's order (item data:
// the log's identifier, Qt::UserRole; icon: the log's image), whole-row
// selection, the columns of the kind's table as the process-wide
// CColumnLayout says, the per-log commands (ui/commands) on the selected
// row, a context menu and the Column Chooser.
//
// Every update hint refills the rows and selects the same row position
// again. When the list gets the focus with rows but no selection, the first
// row is selected. Destroying a list writes its columns and their current
// widths to the settings.
//
// Threads: user interface thread only. The view registers itself with the
// document for its lifetime; the frame must outlive it.
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/common/commandids.h"
#include "ui/common/commandtarget.h"
#include "ui/lists/columnlayout.h"
#include "workspace/quorvildoc.h"

class IMainFrame;
class QMenu;
class QTreeWidget;

// "&Columns..." of the lists' context menus.
constexpr UINT ID_LIST_COLUMNS = 32821;

// What a cell shows; the column tables map their bits to these.
enum class ELogField {
    DisplayName,
    Enabled,
    LastScanned,
    NextScan,
    LastChanged,
    Interval,
    Impersonate,
    Username,
    Status,
    // text logs only
    Bytes,
    FullPath,
    DateFormat,
    Template,
    // event logs: the last record; .evtx logs: the last EventRecordID;
    // journals: the sequence number of the cursor's entry
    LastRecord,
};

struct CListColumn {
    DWORD dwId;             // a single bit
    const char* pszHeading; // the list's heading
    bool bRightAligned;
    const char* pszChooserLabel;
    ELogField field;
};

// One kind of list: which logs, which columns, which commands.
struct CListKind {
    bool bEventLogs;
    std::vector<CListColumn> columns;
    // The context menu of a row up to the last bar before "&Columns...":
    // command ids, 0 for a bar.
    std::vector<UINT> rowMenu;
    CColumnLayout* pLayout; // process-wide
};

// The text of one cell.
QString LogCellText(const CMonitoredObject& log, ELogField field);

class CLogListView : public QWidget, public IView, public ICommandTarget {
    Q_OBJECT
public:
    ~CLogListView() override;

    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;
    // The list handles Refresh (ID_VIEW_REFRESH) and Columns (always
    // enabled), the log commands of its context menu (on the selected row's
    // log, enabled as ui/commands says) and Copy and Paste (always disabled).
    bool UpdateCommand(UINT nID, CCommandState& state) override;
    bool OnCommand(UINT nID) override;
    bool IsCommandEnabled(UINT nID) const;

    // The selected row's log identifier, or 0.
    DWORD GetSelectedItem() const;
    // Rows again from the manager; keeps the selected row position.
    void Refill();
    // Selects the row at pos (viewport coordinates) if there is one, and
    // returns the context menu for it: only "&Columns..." on empty space.
    // Each action's data is its command id.
    std::unique_ptr<QMenu> CreateContextMenu(const QPoint& pos);
    QTreeWidget* GetList() const { return m_pList; }

protected:
    CLogListView(IMainFrame& frame, const CListKind& kind, QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildColumns();
    // The layout's widths from the control, as the user may have dragged them.
    void KeepWidths();
    void ShowContextMenu(const QPoint& pos);
    void ChooseColumns();
    bool IsRowCommand(UINT nID) const;

    IMainFrame& m_frame;
    const CListKind& m_kind;
    QTreeWidget* m_pList;
    // The shown columns, left to right: each one's position in the layout's
    // arrays and its table entry (identifiers the table does not know are
    // not shown).
    struct CShownColumn {
        std::size_t nPosition;
        const CListColumn* pColumn;
    };
    std::vector<CShownColumn> m_arrShown;
};
