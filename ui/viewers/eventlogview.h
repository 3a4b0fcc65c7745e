#pragma once
// CEventLogView: the event log viewer of the right pane. It shows one
// monitored event log as a virtual list of its records, newest or oldest
// first; rows are read on demand through the view's CEventLogCache, which
// reads about 500 records around a wanted one, so even a log of a million
// records opens at once. With "Follow" checked (the button under the list)
// the newest event is selected as scans bring new ones; a reader who selects
// an older event pauses following and keeps their place while the list
// grows, and selecting the newest event follows again. From the list the user opens Event
// Properties, marks the log, and turns an event into a new event key ("Watch this event" or by
// dragging the row onto a watch group).
//
// The order (newest first) is one flag for every viewer of the process: read
// from Settings/NewestFirst when the first viewer is created and written
// back when the last one is destroyed.
//
// Threads: user interface thread only. The view registers itself with the
// frame's document in its constructor and removes itself in its destructor;
// the frame must outlive it. The detail pane (CDetailView2::Attach) is not
// owned; it detaches itself when destroyed.
#include <QWidget>
#include <memory>
#include <string>

#include "eventrecords/eventlogcache.h"
#include "ui/common/commandtarget.h"
#include "ui/viewers/eventfilter.h"
#include "workspace/quorvildoc.h"

class CDetailView2;
class CHighlightLegend;
class CEventLogModel;
class CEventMonitor;
class IMainFrame;
class QCheckBox;
class QLineEdit;
class QTableView;
class QTimer;
class QToolButton;

// The viewer's own commands (besides Refresh, Mark and Fast Mark of
// ui/common/commandids.h).
constexpr UINT ID_EVENT_PROPERTIES = 109;
constexpr UINT ID_EVENT_WATCH = 110;

class CEventLogView : public QWidget, public IView, public ICommandTarget {
    Q_OBJECT
public:
    explicit CEventLogView(IMainFrame& frame, QWidget* parent = nullptr);
    ~CEventLogView() override;

    // Shows the monitored event log with this identifier (0 shows nothing)
    // and reloads: the newest record is selected and scrolled into view.
    void ShowItem(DWORD dwID);
    DWORD GetItem() const { return m_dwID; }

    // Where the user was: the log, the order, the record at the top of the
    // list and the selected record (0 for none).
    struct State {
        DWORD dwID = 0;
        bool bNewestFirst = false;
        DWORD nTopRecord = 0;
        DWORD nSelectedRecord = 0;
    };
    State SaveState() const;
    // Shows the state's log in its order and goes back to its records where
    // they still exist.
    void RestoreState(const State& state);

    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;
    bool UpdateCommand(UINT nID, CCommandState& state) override;
    bool OnCommand(UINT nID) override;

    // Following the newest event as scans add events.
    bool IsFollowing() const;
    void SetFollowing(bool bFollow);

    // The order of every viewer ("Newest first" / "Oldest first"); switching
    // keeps the selected record selected.
    static bool IsNewestFirst();
    void SetNewestFirst(bool bNewestFirst);

    // Rows and records: -1 / 0 when the row or record is not in the list.
    int RowOfRecord(DWORD nRecord) const;
    DWORD RecordOfRow(int nRow) const;
    // The selected record, 0 for none.
    DWORD GetSelectedRecord() const;
    // Selects the record's row, scrolls it into view and updates the detail
    // pane; false when the record is not in the list.
    bool SelectRecord(DWORD nRecord);
    // The record, read through the cache when need be; null when it cannot
    // be had. Valid until the next reload.
    const CEventStruct* GetEvent(DWORD nRecord);

    // The shown log, null when none.
    CEventMonitor* GetMonitor() const;
    CEventLogCache& GetCache() { return *m_pCache; }
    QTableView* GetList() const { return m_pList; }

    // Commands and their enabling.
    bool IsMarkEnabled() const; // only for a log named exactly "Application"
    bool IsRefreshEnabled() const { return m_dwID != 0; }
    void OnProperties();
    void OnRefresh();
    void OnMark();
    void OnFastMark();
    void OnWatchEvent();

    // Find (Ctrl+F) shows the find bar under the list; Find Next (F3, Enter
    // in the bar) and Find Previous (Shift+F3) select the next event in the
    // list's order whose fields, strings or description hold the text. At
    // the end of the list the user is told and offered to go on from the
    // other end. False when nothing was found.
    void OnFind();
    bool OnFindNext();
    bool OnFindPrevious();
    QLineEdit* GetFindEdit() const { return m_pFindText; }

    // The filter bar above the list: type, source, event ID, text and a time
    // range. Applying it reads the whole log once into the cache; later
    // filters and sorts work from there. An empty filter shows every record.
    void SetFilter(const CEventFilter& filter);
    const CEventFilter& GetFilter() const { return m_filter; }
    // A click on a column's heading sorts by it (again: the other way);
    // View > Newest/Oldest First goes back to the log's order. -1: no sort.
    void SortByColumn(int nColumn);
    int GetSortColumn() const { return m_nSortColumn; }
    QWidget* GetFilterBar() const { return m_pFilterBar; }

    // Events caught by one of the log's watch groups show in the group's
    // colour, named by the legend under the list; Ctrl+Down and Ctrl+Up
    // select the next and previous such event. False when there is none.
    bool OnNextMatch(bool bForward);
    CHighlightLegend* GetLegend() const { return m_pLegend; }

    // Connects the detail pane (null disconnects); see CDetailView2::Attach.
    void SetDetailView(CDetailView2* pDetail);
    // Shows the selected event's description in the detail pane and the log's
    // name in the status bar.
    void UpdateDetail();

private:
    void Reload();
    // Reads the log again and goes back to the selected record and the top
    // row, for a reader who is not following.
    void ReloadKeepingPlace();
    DWORD GetNewestRecord() const;
    void Empty();
    bool Find(bool bForward);
    void BuildFilterBar();
    void ReadFilterBar();
    // The rows as the filter and the sort make them; keeps the selection.
    void ApplyRows();
    void UpdateHighlights();
    bool EventHasText(const CEventStruct& event, const QString& text, Qt::CaseSensitivity cs);
    void ShowContextMenu(const QPoint& pos);
    void OnKeyReleased(int nKey);
    bool eventFilter(QObject* watched, QEvent* event) override;

    IMainFrame& m_frame;
    QTableView* m_pList;
    CEventLogModel* m_pModel;
    QTimer* m_pDetailTimer;
    QWidget* m_pFindBar;
    QLineEdit* m_pFindText;
    QCheckBox* m_pFindCase;
    QWidget* m_pFilterBar = nullptr;
    CHighlightLegend* m_pLegend;
    QToolButton* m_pFollow;
    CEventFilter m_filter;
    int m_nSortColumn = -1;
    bool m_bSortDescending = false;
    CDetailView2* m_pDetail = nullptr;
    DWORD m_dwID = 0;
    DWORD m_nOldest = 0;
    bool m_bReloading = false;
    std::unique_ptr<CEventLogCache> m_pCache;
};
