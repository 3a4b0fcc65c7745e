#pragma once
// CEventLogView: the event log viewer of the right pane. It shows one
// monitored event log as a virtual list of its records, newest or oldest
// first; rows are read on demand through the view's CEventLogCache, which
// reads about 500 records around a wanted one, so even a log of a million
// records opens at once. From the list the user opens Event Properties,
// marks the log, and turns an event into a new event key ("Watch this event"
// or by dragging the row onto a watch group).
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
#include "workspace/quorvildoc.h"

class CDetailView2;
class CEventLogModel;
class CEventMonitor;
class IMainFrame;
class QTableView;
class QTimer;

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

    // Connects the detail pane (null disconnects); see CDetailView2::Attach.
    void SetDetailView(CDetailView2* pDetail);
    // Shows the selected event's description in the detail pane and the log's
    // name in the status bar.
    void UpdateDetail();

private:
    void Reload();
    void Empty();
    void ShowContextMenu(const QPoint& pos);
    void OnKeyReleased(int nKey);
    bool eventFilter(QObject* watched, QEvent* event) override;

    IMainFrame& m_frame;
    QTableView* m_pList;
    CEventLogModel* m_pModel;
    QTimer* m_pDetailTimer;
    CDetailView2* m_pDetail = nullptr;
    DWORD m_dwID = 0;
    DWORD m_nOldest = 0;
    bool m_bReloading = false;
    std::unique_ptr<CEventLogCache> m_pCache;
};
