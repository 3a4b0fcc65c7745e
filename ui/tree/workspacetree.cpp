#include "ui/tree/workspacetree.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/tree/quorvilview.h"

CWorkspaceTree::CWorkspaceTree(CQuorvilView& view, QWidget* parent)
    : QTreeWidget(parent), m_view(view)
{
    setHeaderHidden(true);
    setColumnCount(1);
    header()->setSortIndicator(0, Qt::AscendingOrder); // siblings sort by the text column
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void CWorkspaceTree::mousePressEvent(QMouseEvent* event)
{
    QTreeWidgetItem* pPrevious = currentItem();
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_view.OnLeftClick(itemAt(event->position().toPoint()), pPrevious);
}

void CWorkspaceTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidgetItem* pItem = itemAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !pItem) {
        QTreeWidget::mouseDoubleClickEvent(event);
        return;
    }
    setCurrentItem(pItem);
    m_view.OnDoubleClick(pItem);
}

void CWorkspaceTree::keyReleaseEvent(QKeyEvent* event)
{
    QTreeWidget::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        m_view.OnArrowKeyReleased();
}

void CWorkspaceTree::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* pItem =
        event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    m_view.OnContextMenu(event->globalPos(), pItem);
}

void CWorkspaceTree::startDrag(Qt::DropActions)
{
    m_view.BeginDrag(currentItem());
}

void CWorkspaceTree::dragEnterEvent(QDragEnterEvent* event)
{
    m_view.DragEnter();
    event->acceptProposedAction(); // so that moves over the nodes follow
}

void CWorkspaceTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData() &&
        m_view.DragOver(itemAt(event->position().toPoint()), *event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CWorkspaceTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_view.DragLeave();
    event->accept();
}

void CWorkspaceTree::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* pItem = itemAt(event->position().toPoint());
    if (!event->mimeData()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_view.Drop(pItem, *event->mimeData());
}
