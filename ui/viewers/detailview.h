#pragma once
// CDetailView2: the detail pane below the event log viewer. A read-only,
// multi-line text field that shows the description of the event selected in
// the attached viewer; the viewer fills it (CEventLogView::UpdateDetail).
//
// Threads: user interface thread only. Neither owns the other: whichever is
// destroyed first disconnects the pair.
#include <QPlainTextEdit>

class CEventLogView;
class IMainFrame;

class CDetailView2 : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CDetailView2(IMainFrame& frame, QWidget* parent = nullptr);
    ~CDetailView2() override;

    // Shows the viewer's selected event from now on (null detaches).
    void Attach(CEventLogView* pViewer);
    CEventLogView* GetViewer() const { return m_pViewer; }

private:
    friend class CEventLogView;
    IMainFrame& m_frame;
    CEventLogView* m_pViewer = nullptr;
};
