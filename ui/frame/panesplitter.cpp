#include "ui/frame/panesplitter.h"

#include <QSplitter>

#include "ui/common/mainframe.h"

namespace {

bool IsInside(const QWidget* widget, const QWidget* container)
{
    return widget && container && (widget == container || container->isAncestorOf(widget));
}

} // namespace

int DetailViewerHeight(int nClientHeight)
{
    return nClientHeight - 100 < 100 ? nClientHeight / 2 : nClientHeight - 100;
}

CPaneSplitter::CPaneSplitter(IMainFrame& frame, QWidget* parent) : m_frame(frame)
{
    m_pSplitter = new QSplitter(Qt::Horizontal, parent);
    m_pSplitter->setChildrenCollapsible(false);
    m_pTree = new CQuorvilView(frame, m_pSplitter);
    m_pSplitter->addWidget(m_pTree);
}

QWidget* CPaneSplitter::GetRightView() const
{
    return m_pDetailSplitter ? m_pEventViewer : m_pRight;
}

QWidget* CPaneSplitter::ActiveView() const
{
    return m_pActiveView ? m_pActiveView.data() : static_cast<QWidget*>(m_pTree);
}

void CPaneSplitter::ActivateView(QWidget* view)
{
    if (!view)
        return;
    m_pActiveView = view;
    view->setFocus(Qt::OtherFocusReason);
}

void CPaneSplitter::OnFocusChanged(QWidget* now)
{
    // With the detail pane the right pane is a splitter, not a view.
    QWidget* right = m_pDetailSplitter ? nullptr : m_pRight;
    for (QWidget* view : {static_cast<QWidget*>(m_pTree), static_cast<QWidget*>(m_pEventViewer),
                          static_cast<QWidget*>(m_pDetail), right})
        if (IsInside(now, view)) {
            m_pActiveView = view;
            return;
        }
}

bool CPaneSplitter::Contains(const QWidget* widget) const
{
    return IsInside(widget, m_pSplitter);
}

void CPaneSplitter::ReplaceRightWidget(QWidget* widget)
{
    const QList<int> sizes = m_pSplitter->sizes();
    if (m_pRight) {
        // The old view may be the one whose handler asked for the switch,
        // so it goes once that handler has returned.
        QWidget* old = m_pSplitter->replaceWidget(1, widget);
        old->hide();
        old->deleteLater();
        std::erase_if(m_retiredViews, [](const QPointer<QWidget>& view) { return view.isNull(); });
        m_retiredViews.push_back(old);
    } else {
        m_pSplitter->addWidget(widget);
    }
    m_pRight = widget;
    m_pSplitter->setStretchFactor(1, 1);
    if (sizes.size() == 2)
        m_pSplitter->setSizes(sizes);
}

void CPaneSplitter::ShowPane(Pane pane, const char* message)
{
    if (pane == m_pane && pane != Pane::EventViewer)
        return;
    m_frame.SetMessageText(QString::fromLatin1(message));
    ActivateView(m_pTree);
    m_pEventViewer = nullptr;
    m_pDetail = nullptr;
    m_pDetailSplitter = nullptr;
    QWidget* view = nullptr;
    switch (pane) {
    case Pane::TextLogs:
        view = new CMonFileView(m_frame);
        break;
    case Pane::EventLogs:
        view = new CServersView(m_frame);
        break;
    case Pane::TextViewer:
        view = new CLogCacheView(m_frame);
        break;
    case Pane::EntryViewer:
        view = new CEntryListView(m_frame);
        break;
    case Pane::EventViewer:
    case Pane::None:
        return;
    }
    m_pane = pane;
    ReplaceRightWidget(view);
}

void CPaneSplitter::ShowTextViewer(DWORD dwID)
{
    ShowPane(Pane::TextViewer, "Ready");
    if (auto* viewer = dynamic_cast<CLogCacheView*>(m_pRight))
        viewer->ShowItem(dwID);
}

void CPaneSplitter::ShowEntryViewer(DWORD dwID)
{
    ShowPane(Pane::EntryViewer, "Ready");
    if (auto* viewer = dynamic_cast<CEntryListView*>(m_pRight); viewer && viewer->GetItem() != dwID)
        viewer->ShowItem(dwID);
}

void CPaneSplitter::ShowEventViewer(DWORD dwID, const CEventLogView::State* pState)
{
    const bool bDetail = m_bDetailWanted;
    if (m_pane == Pane::EventViewer && (m_pDetailSplitter != nullptr) == bDetail) {
        m_pEventViewer->ShowItem(dwID);
        if (pState)
            m_pEventViewer->RestoreState(*pState);
        return;
    }
    m_frame.SetMessageText("Ready");
    ActivateView(m_pTree);
    auto* viewer = new CEventLogView(m_frame);
    if (!bDetail) {
        ReplaceRightWidget(viewer);
        m_pDetailSplitter = nullptr;
        m_pDetail = nullptr;
    } else {
        auto* split = new QSplitter(Qt::Vertical);
        split->setChildrenCollapsible(false);
        auto* detail = new CDetailView2(m_frame);
        split->addWidget(viewer);
        split->addWidget(detail);
        const QRect area = m_pRight ? m_pRight->geometry() : m_pSplitter->contentsRect();
        ReplaceRightWidget(split);
        split->setGeometry(area);
        const int client = area.height();
        const int top = DetailViewerHeight(client);
        split->setSizes({top, std::max(0, client - top - split->handleWidth())});
        detail->Attach(viewer);
        m_pDetailSplitter = split;
        m_pDetail = detail;
    }
    m_pane = Pane::EventViewer;
    m_pEventViewer = viewer;
    viewer->ShowItem(dwID);
    if (pState)
        viewer->RestoreState(*pState);
}

void CPaneSplitter::ToggleDetail()
{
    if (m_pane != Pane::EventViewer)
        return;
    m_bDetailWanted = m_pDetailSplitter == nullptr;
    const CEventLogView::State state = m_pEventViewer->SaveState();
    ShowEventViewer(m_pEventViewer->GetItem(), &state);
    ActivateView(m_pEventViewer);
}

void CPaneSplitter::OnTabKey(bool bShift)
{
    QWidget* active = ActiveView();
    QWidget* next = m_pTree;
    if (active == m_pTree) {
        if (m_pDetailSplitter)
            next =
                bShift ? static_cast<QWidget*>(m_pDetail) : static_cast<QWidget*>(m_pEventViewer);
        else
            next = m_pRight;
    } else if (active == m_pEventViewer) {
        next = m_pDetail && !bShift ? static_cast<QWidget*>(m_pDetail)
                                    : static_cast<QWidget*>(m_pTree);
    } else if (active == m_pDetail) {
        next = bShift ? static_cast<QWidget*>(m_pEventViewer) : static_cast<QWidget*>(m_pTree);
    }
    ActivateView(next);
}

void CPaneSplitter::DeleteViews()
{
    for (const QPointer<QWidget>& retired : m_retiredViews)
        delete retired.data();
    m_retiredViews.clear();
}
