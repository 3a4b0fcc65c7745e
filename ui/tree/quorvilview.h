#pragma once
// CQuorvilView: the workspace tree in the main window's left pane. Three
// roots ("Text Logs", "Event Logs", "System Log File"); under the log roots
// every monitored log with its watch groups, each group with its task and
// its search keys. Each node carries its item identifier (treenodes.h).
// The logs under each root are kept sorted by text, ignoring letter case.
//
// Selecting a node chooses what the frame's right pane shows (frame
// messages WM_SHOW_*): at once for a click, one second after the last
// release of an arrow key for the keyboard. The view offers the tree's commands to the frame's
// menus and tool bar (ICommandTarget), its own context menus, copy and
// paste of logs, watch groups, tasks and keys through the clipboard service
// (GetClipboard(); the desktop program installs CQtClipboard), and drag and
// drop of the same data. It changes nothing itself: every edit goes through
// the document, whose update hints (OnUpdate) rebuild the nodes concerned.
//
// Threads: user interface thread only. "Test Task Actions" runs a copy of
// the task on a worker thread and does not wait for it.
// Lifetime: registers with the frame's document on construction and
// unregisters on destruction; the frame and its document outlive the view.
#include <QPersistentModelIndex>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "platform/clipboard/globalmem.h"
#include "ui/common/commandtarget.h"
#include "workspace/quorvildoc.h"

class IMainFrame;
class QMenu;
class QMimeData;
class QTreeWidget;
class QTreeWidgetItem;
class CPasteSource;
class CWorkspaceTree;

class CQuorvilView : public QWidget, public IView, public ICommandTarget {
    Q_OBJECT
public:
    explicit CQuorvilView(IMainFrame& frame, QWidget* parent = nullptr);
    ~CQuorvilView() override;

    // IView
    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;

    // ICommandTarget: the tree's commands for the selected node.
    bool UpdateCommand(UINT nID, CCommandState& state) override;
    bool OnCommand(UINT nID) override;
    // The same, one question at a time.
    bool IsCommandEnabled(UINT nID) const;
    QString CommandText(UINT nID) const;

    // The identifier of the selected node (0 when none).
    DWORD GetSelectedID() const;
    // Selects the node with this identifier: a root, the system log file or
    // a log; with nGroup >= 0 that log's watch group, and with nKey >= 0
    // that group's key. False when there is none.
    bool SelectNode(DWORD dwID, int nGroup = -1, int nKey = -1);

    // The context menu of the selected node, built from the clipboard's
    // current data; null when the clipboard cannot be opened. Each action's
    // data is its command number, for OnCommand.
    std::unique_ptr<QMenu> CreateContextMenu();

    QTreeWidget* GetTree() const;

private:
    friend class CWorkspaceTree;

    QTreeWidgetItem* Selected() const;
    // The log node that a node belongs to (itself for a log), or null.
    QTreeWidgetItem* LogNodeOf(QTreeWidgetItem* pItem) const;
    CMonitoredObject* LogOf(QTreeWidgetItem* pItem) const;
    // The watch group index of a group, task or key node; -1 otherwise.
    int GroupIndexOf(QTreeWidgetItem* pItem) const;
    QTreeWidgetItem* FindLogNode(DWORD dwID) const;
    QTreeWidgetItem* FindGroupNode(QTreeWidgetItem* pLogNode, int nGroup) const;

    // Building nodes.
    QTreeWidgetItem* AddLogNode(CMonitoredObject& log);
    void SetLogNodeText(QTreeWidgetItem* pNode, const CMonitoredObject& log);
    void FillLogNode(QTreeWidgetItem* pNode, const CMonitoredObject& log);
    void FillGroupNode(QTreeWidgetItem* pNode, const CKeysAndActions& group);
    void RebuildAll();
    void SortLogRoots();
    void ApplyHint(ViewHint kind, const CHintStruct& hint);

    // The right pane.
    void ShowNode(QTreeWidgetItem* pItem);
    void OnLeftClick(QTreeWidgetItem* pItem, QTreeWidgetItem* pPrevious);
    void OnArrowKeyReleased();
    void OnDoubleClick(QTreeWidgetItem* pItem);
    void OnContextMenu(const QPoint& globalPos, QTreeWidgetItem* pItem);

    // Commands on the selected node.
    bool IsCommandEnabledFor(QTreeWidgetItem* pItem, UINT nID) const;
    void RunCommand(QTreeWidgetItem* pItem, UINT nID);
    void Configure(QTreeWidgetItem* pItem);
    void Delete(QTreeWidgetItem* pItem);
    void TestTaskActions(QTreeWidgetItem* pItem);
    // "Test Keys...": the key tester on the log, or on the group alone.
    void TestKeys(QTreeWidgetItem* pItem);

    // Copy and paste (treetransfer.cpp).
    // The node's object as clipboard data, and its format; false for nodes
    // that hold none.
    bool GetNodeBlock(QTreeWidgetItem* pItem, UINT& uFormat, CGlobalMemory& hMem) const;
    void Copy(QTreeWidgetItem* pItem);
    // The clipboard's data, or nothing when it cannot be opened.
    bool ReadClipboard(CPasteSource& source) const;
    int AnalysePasteAt(const CPasteSource& source, QTreeWidgetItem* pItem) const;
    void PasteAt(const CPasteSource& source, QTreeWidgetItem* pItem);
    void PasteKey(QTreeWidgetItem* pItem, bool bReplace, std::unique_ptr<CSearchKey> pKey);
    void PastePlainText(QTreeWidgetItem* pItem, bool bReplace, const std::string& text);

    // Drag and drop (treetransfer.cpp).
    void BeginDrag(QTreeWidgetItem* pItem);
    void DragEnter();
    // Selects the node under the cursor; true when a drop there would paste.
    bool DragOver(QTreeWidgetItem* pItem, const QMimeData& mime);
    void DragLeave();
    void Drop(QTreeWidgetItem* pItem, const QMimeData& mime);

    IMainFrame& m_frame;
    CQuorvilDoc& m_doc;
    CWorkspaceTree* m_pTree;
    QTreeWidgetItem* m_pTextRoot;
    QTreeWidgetItem* m_pEventRoot;
    QTreeWidgetItem* m_pSystemLog;
    QTimer m_selectTimer;               // restarted by arrow key releases
    QPersistentModelIndex m_dragSource; // the node a drag started from
    QPersistentModelIndex m_preDrag;    // the selection when a drag entered
};
