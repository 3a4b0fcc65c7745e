#pragma once
// The tree control inside CQuorvilView: a QTreeWidget whose mouse, key,
// context menu and drag-and-drop events go to the view's rules instead of
// Qt's defaults. Private to ui/tree.
//
// Threads: user interface thread only. Owned by its view (Qt parent).
#include <QTreeWidget>

#include "platform/base/win32types.h"

class CQuorvilView;

// The item identifier a node carries (0 for none).
inline DWORD NodeID(const QTreeWidgetItem* pItem)
{
    return pItem ? pItem->data(0, Qt::UserRole).toUInt() : 0;
}

class CWorkspaceTree : public QTreeWidget {
    Q_OBJECT
public:
    CWorkspaceTree(CQuorvilView& view, QWidget* parent);

    QModelIndex IndexOf(QTreeWidgetItem* pItem) const { return indexFromItem(pItem); }
    QTreeWidgetItem* ItemOf(const QModelIndex& index) const { return itemFromIndex(index); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CQuorvilView& m_view;
};
