#pragma once
// CPaneSplitter: the main window's splitter of views: the workspace tree on
// the left and, on the right, one of the text-log list, the event-log list,
// the text log viewer and the event log viewer (optionally above the event
// detail pane, in a nested splitter). It swaps the right view on request,
// turns the detail pane on and off, knows which view is active, and moves
// between the views on Tab in their own order.
//
// Threads: user interface thread only. The widgets belong to the window;
// DeleteViews must run while the frame is whole.
#include <QPointer>
#include <vector>

#include "platform/base/win32types.h"
#include "ui/frame/paneviews.h"

class IMainFrame;
class QSplitter;
class QWidget;

class CPaneSplitter {
public:
    enum class Pane { None, TextLogs, EventLogs, TextViewer, EventViewer, EntryViewer };

    // The splitter with the tree and the text-log list, in parent.
    CPaneSplitter(IMainFrame& frame, QWidget* parent);

    QSplitter* GetSplitter() const { return m_pSplitter; }
    CQuorvilView* GetTree() const { return m_pTree; }
    // The view in the right pane (the event viewer when the detail pane
    // shows), and the detail pane or null.
    QWidget* GetRightView() const;
    CDetailView2* GetDetailView() const { return m_pDetail; }
    bool ShowsEventViewer() const { return m_pane == Pane::EventViewer; }
    // The shown event viewer, or null.
    CEventLogView* GetEventViewer() const { return m_pEventViewer; }
    bool ShowsDetail() const { return m_pDetailSplitter != nullptr; }

    // A list or the text viewer on the right, unless it is there already:
    // the message pane says message and the tree becomes active.
    void ShowPane(Pane pane, const char* message);
    void ShowTextViewer(DWORD dwID);
    // The event viewer on the right, above the detail pane when that is
    // wanted; pState restores the viewer's order, position and selection.
    void ShowEventViewer(DWORD dwID, const CEventLogView::State* pState = nullptr);
    // The viewer of a journal or .evtx log on the right.
    void ShowEntryViewer(DWORD dwID);
    // Shows or hides the detail pane below the event viewer.
    void ToggleDetail();

    QWidget* ActiveView() const;
    void ActivateView(QWidget* view);
    void ActivateTree() { ActivateView(m_pTree); }
    // Follows the focus: the view that holds now becomes the active one.
    void OnFocusChanged(QWidget* now);
    // Whether widget lies in the splitter.
    bool Contains(const QWidget* widget) const;
    // Tab (or Shift+Tab) in a view: the next view in the views' order.
    void OnTabKey(bool bShift);

    // Deletes the views replaced meanwhile; the splitter itself goes with
    // the window.
    void DeleteViews();

private:
    void ReplaceRightWidget(QWidget* widget);

    IMainFrame& m_frame;
    QSplitter* m_pSplitter = nullptr;
    CQuorvilView* m_pTree = nullptr;
    Pane m_pane = Pane::None;
    QWidget* m_pRight = nullptr;             // what column 1 of the splitter holds
    CEventLogView* m_pEventViewer = nullptr; // when m_pane is EventViewer
    QSplitter* m_pDetailSplitter = nullptr;  // when the detail pane shows
    CDetailView2* m_pDetail = nullptr;
    QPointer<QWidget> m_pActiveView;
    bool m_bDetailWanted = false;
    // Views replaced in the right pane, deleted soon after; those still
    // there when the window goes are deleted by DeleteViews.
    std::vector<QPointer<QWidget>> m_retiredViews;
};

// The height of the event viewer above the detail pane in a right pane of
// the given height: half of it when less than 100 pixels would be left for
// the viewer, else all but 100 pixels.
int DetailViewerHeight(int nClientHeight);
