#include "ui/tree/quorvilview.h"

#include <QMenu>
#include <QVBoxLayout>

#include "app/launchers.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "ui/commands/logcommands.h"
#include "ui/common/commandids.h"
#include "ui/common/framemessages.h"
#include "ui/common/icons.h"
#include "ui/common/mainframe.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/dialogs.h"
#include "ui/tree/pasteanalysis.h"
#include "ui/tree/pastesource.h"
#include "ui/tree/tasktestrun.h"
#include "ui/tree/treenodes.h"
#include "ui/tree/workspacetree.h"
#include "ui/viewers/eventviewerwindow.h"

namespace {

constexpr int SELECT_DELAY_MS = 1000;
constexpr int KEY_TEXT_MAX = 50;

// A node of the tree; siblings sort by text regardless of letter case.
class CTreeNode : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
    }
};

DWORD KindOf(const QTreeWidgetItem* pItem)
{
    return ItemKind(NodeID(pItem));
}

QTreeWidgetItem* NewNode(QTreeWidgetItem* pParent, DWORD dwID, const QString& text, int nImage)
{
    auto* pNode = new CTreeNode(pParent);
    pNode->setData(0, Qt::UserRole, QVariant::fromValue<uint>(dwID));
    pNode->setText(0, text);
    pNode->setIcon(0, GetImageIcon(nImage));
    return pNode;
}

QString KeyText(const CSearchKey& key)
{
    std::string text = key.GetDescription();
    if (text.size() > KEY_TEXT_MAX)
        text = text.substr(0, KEY_TEXT_MAX) + "...";
    return ToQt(text);
}

// A regular expression that does not compile: the key never matches.
bool IsBrokenKey(const CSearchKey& key)
{
    if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(&key))
        return pRegex->IsBroken();
    if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(&key))
        return pEvent->IsBroken();
    return false;
}

void DeleteChildren(QTreeWidgetItem* pNode)
{
    qDeleteAll(pNode->takeChildren());
}

QTreeWidgetItem* FindChild(QTreeWidgetItem* pParent, DWORD dwID)
{
    for (int i = 0; pParent && i < pParent->childCount(); ++i)
        if (NodeID(pParent->child(i)) == dwID)
            return pParent->child(i);
    return nullptr;
}

} // namespace

CQuorvilView::CQuorvilView(IMainFrame& frame, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_doc(frame.GetDocument()),
      m_pTree(new CWorkspaceTree(*this, this))
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pTree);
    setFocusProxy(m_pTree);

    QTreeWidgetItem* pTop = m_pTree->invisibleRootItem();
    m_pTextRoot = NewNode(pTop, TREE_KIND_TEXT_ROOT, QStringLiteral("Text Logs"), IMAGE_TEXT_ROOT);
    m_pEventRoot =
        NewNode(pTop, TREE_KIND_EVENT_ROOT, QStringLiteral("Event Logs"), IMAGE_EVENT_ROOT);
    m_pSystemLog =
        NewNode(pTop, ITEM_KIND_SYSTEM_LOG, QStringLiteral("System Log File"), IMAGE_SYSTEM_LOG);

    m_selectTimer.setParent(this);
    m_selectTimer.setObjectName(QStringLiteral("selectTimer"));
    m_selectTimer.setSingleShot(true);
    m_selectTimer.setInterval(SELECT_DELAY_MS);
    connect(&m_selectTimer, &QTimer::timeout, this, [this] { ShowNode(Selected()); });

    m_doc.AddView(this);
    RebuildAll();
}

CQuorvilView::~CQuorvilView()
{
    m_selectTimer.stop();
    m_doc.RemoveView(this);
}

QTreeWidget* CQuorvilView::GetTree() const
{
    return m_pTree;
}

QTreeWidgetItem* CQuorvilView::Selected() const
{
    return m_pTree->currentItem();
}

DWORD CQuorvilView::GetSelectedID() const
{
    return NodeID(Selected());
}

QTreeWidgetItem* CQuorvilView::LogNodeOf(QTreeWidgetItem* pItem) const
{
    while (pItem && !IsLogKind(KindOf(pItem)))
        pItem = pItem->parent();
    return pItem;
}

CMonitoredObject* CQuorvilView::LogOf(QTreeWidgetItem* pItem) const
{
    QTreeWidgetItem* pLogNode = LogNodeOf(pItem);
    return pLogNode && m_doc.m_pManager ? m_doc.m_pManager->FindLog(NodeID(pLogNode)) : nullptr;
}

int CQuorvilView::GroupIndexOf(QTreeWidgetItem* pItem) const
{
    switch (KindOf(pItem)) {
    case TREE_KIND_WATCH_GROUP:
        return static_cast<int>(ItemNumber(NodeID(pItem)));
    case TREE_KIND_TASK:
    case TREE_KIND_SEARCH_KEY:
        return static_cast<int>(ItemNumber(NodeID(pItem->parent())));
    default:
        return -1;
    }
}

QTreeWidgetItem* CQuorvilView::FindLogNode(DWORD dwID) const
{
    QTreeWidgetItem* pNode = FindChild(m_pTextRoot, dwID);
    return pNode ? pNode : FindChild(m_pEventRoot, dwID);
}

QTreeWidgetItem* CQuorvilView::FindGroupNode(QTreeWidgetItem* pLogNode, int nGroup) const
{
    return FindChild(pLogNode, TREE_KIND_WATCH_GROUP | static_cast<DWORD>(nGroup));
}

bool CQuorvilView::SelectNode(DWORD dwID, int nGroup, int nKey)
{
    QTreeWidgetItem* pNode = nullptr;
    switch (ItemKind(dwID)) {
    case TREE_KIND_TEXT_ROOT:
        pNode = m_pTextRoot;
        break;
    case TREE_KIND_EVENT_ROOT:
        pNode = m_pEventRoot;
        break;
    case ITEM_KIND_SYSTEM_LOG:
        pNode = m_pSystemLog;
        break;
    default:
        pNode = FindLogNode(dwID);
        break;
    }
    if (pNode && nGroup >= 0)
        pNode = FindGroupNode(pNode, nGroup);
    if (pNode && nKey >= 0)
        pNode = FindChild(pNode, TREE_KIND_SEARCH_KEY | static_cast<DWORD>(nKey));
    if (!pNode)
        return false;
    m_pTree->setCurrentItem(pNode);
    return true;
}

// ---- Building nodes -------------------------------------------------------

void CQuorvilView::SetLogNodeText(QTreeWidgetItem* pNode, const CMonitoredObject& log)
{
    pNode->setText(0, ToQt(log.GetDisplayName()));
    pNode->setIcon(0, GetImageIcon(log.GetImageIndex()));
}

QTreeWidgetItem* CQuorvilView::AddLogNode(CMonitoredObject& log)
{
    QTreeWidgetItem* pRoot = log.IsEventLog() ? m_pEventRoot : m_pTextRoot;
    QTreeWidgetItem* pNode =
        NewNode(pRoot, log.GetID(), ToQt(log.GetDisplayName()), log.GetImageIndex());
    FillLogNode(pNode, log);
    return pNode;
}

void CQuorvilView::FillLogNode(QTreeWidgetItem* pNode, const CMonitoredObject& log)
{
    DeleteChildren(pNode);
    int pos = 0;
    for (int i = 0; const CKeysAndActions* pGroup = log.GetNextWatchGroup(pos); ++i) {
        QTreeWidgetItem* pGroupNode = NewNode(pNode, TREE_KIND_WATCH_GROUP | static_cast<DWORD>(i),
                                              QString(), IMAGE_WATCH_GROUP);
        FillGroupNode(pGroupNode, *pGroup);
    }
}

void CQuorvilView::FillGroupNode(QTreeWidgetItem* pNode, const CKeysAndActions& group)
{
    const bool bExpanded = pNode->isExpanded();
    pNode->setText(0, ToQt(group.m_strDescription));
    pNode->setToolTip(0, ToQt(group.m_rules.Describe()));
    DeleteChildren(pNode);
    NewNode(pNode, TREE_KIND_TASK, ToQt(group.m_task.GetDescription()), IMAGE_TASK);
    int pos = 0;
    for (int i = 0; const CSearchKey* pKey = group.GetNextKey(pos); ++i) {
        QTreeWidgetItem* pKeyNode =
            NewNode(pNode, TREE_KIND_SEARCH_KEY | static_cast<DWORD>(i), KeyText(*pKey), IMAGE_KEY);
        if (IsBrokenKey(*pKey)) {
            // The message may be cut from the text: the tip keeps it whole.
            pKeyNode->setText(0, "BROKEN " + pKeyNode->text(0));
            pKeyNode->setForeground(0, QColor(Qt::red));
            pKeyNode->setToolTip(0, ToQt(pKey->GetDescription()));
        }
    }
    pNode->setExpanded(bExpanded);
}

void CQuorvilView::SortLogRoots()
{
    m_pTextRoot->sortChildren(0, Qt::AscendingOrder);
    m_pEventRoot->sortChildren(0, Qt::AscendingOrder);
}

void CQuorvilView::RebuildAll()
{
    m_pTree->setUpdatesEnabled(false);
    DeleteChildren(m_pTextRoot);
    DeleteChildren(m_pEventRoot);
    if (m_doc.m_pManager) {
        int pos = 0;
        while (CMonitoredObject* pLog = m_doc.m_pManager->GetNextLog(pos))
            AddLogNode(*pLog);
    }
    m_pTextRoot->setExpanded(true);
    m_pEventRoot->setExpanded(true);
    SortLogRoots();
    m_pTree->setCurrentItem(m_pTextRoot);
    m_pTree->setUpdatesEnabled(true);
}

void CQuorvilView::OnUpdate(ViewHint hint, const CHintStruct* pHint)
{
    if (hint == ViewHint::ScriptRun) {
        RebuildAll();
        return;
    }
    if (!pHint)
        return;
    m_pTree->setUpdatesEnabled(false);
    ApplyHint(hint, *pHint);
    SortLogRoots();
    m_pTree->setUpdatesEnabled(true);
}

void CQuorvilView::ApplyHint(ViewHint kind, const CHintStruct& hint)
{
    QTreeWidgetItem* pLogNode = FindLogNode(hint.m_dwID);
    CMonitoredObject* pLog = m_doc.m_pManager ? m_doc.m_pManager->FindLog(hint.m_dwID) : nullptr;
    if (kind == ViewHint::LogDeleted) {
        delete pLogNode;
        return;
    }
    if (!pLog)
        return;
    if (kind == ViewHint::LogAdded) {
        QTreeWidgetItem* pNode = pLogNode ? pLogNode : AddLogNode(*pLog);
        m_pTree->setCurrentItem(pNode);
        ShowNode(pNode);
        return;
    }
    if (!pLogNode)
        return;
    QTreeWidgetItem* pGroupNode = FindGroupNode(pLogNode, hint.m_nGroup);
    const CKeysAndActions* pGroup = pLog->GetWatchGroup(hint.m_nGroup);
    switch (kind) {
    case ViewHint::LogEdited: {
        const bool bExpanded = pLogNode->isExpanded();
        SetLogNodeText(pLogNode, *pLog);
        FillLogNode(pLogNode, *pLog);
        pLogNode->setExpanded(bExpanded);
        m_pTree->setCurrentItem(pLogNode);
        break;
    }
    case ViewHint::LogEnabled:
    case ViewHint::LogState:
    case ViewHint::LogRenamed:
        SetLogNodeText(pLogNode, *pLog);
        break;
    case ViewHint::KeyEdited:
        if (const CSearchKey* pKey = pGroup ? pGroup->GetKey(hint.m_nKey) : nullptr)
            if (QTreeWidgetItem* pKeyNode =
                    FindChild(pGroupNode, TREE_KIND_SEARCH_KEY | static_cast<DWORD>(hint.m_nKey)))
                pKeyNode->setText(0, KeyText(*pKey));
        break;
    case ViewHint::KeyAdded:
    case ViewHint::KeyDeleted:
    case ViewHint::GroupEdited:
        if (pGroupNode && pGroup)
            FillGroupNode(pGroupNode, *pGroup);
        break;
    case ViewHint::TaskEdited:
        if (pGroupNode && pGroup && pGroupNode->childCount() > 0)
            pGroupNode->child(0)->setText(0, ToQt(pGroup->m_task.GetDescription()));
        break;
    case ViewHint::GroupAdded:
        if (pGroup) {
            if (!pGroupNode)
                pGroupNode =
                    NewNode(pLogNode, TREE_KIND_WATCH_GROUP | static_cast<DWORD>(hint.m_nGroup),
                            QStringLiteral("???"), IMAGE_WATCH_GROUP);
            m_pTree->setCurrentItem(pGroupNode);
            FillGroupNode(pGroupNode, *pGroup);
        }
        break;
    case ViewHint::GroupDeleted:
        FillLogNode(pLogNode, *pLog);
        break;
    default:
        break;
    }
}

// ---- Selection and the right pane -----------------------------------------

void CQuorvilView::ShowNode(QTreeWidgetItem* pItem)
{
    if (!pItem)
        return;
    const DWORD dwID = NodeID(pItem);
    switch (ItemKind(dwID)) {
    case TREE_KIND_TEXT_ROOT:
        m_frame.SendFrameMessage(WM_SHOW_TEXT_LOGS, 0, 0);
        return;
    case TREE_KIND_EVENT_ROOT:
        m_frame.SendFrameMessage(WM_SHOW_EVENT_LOGS, 0, 0);
        return;
    case ITEM_KIND_SYSTEM_LOG:
        m_frame.SendFrameMessage(WM_SHOW_TEXT_VIEWER, 0, dwID);
        return;
    default:
        break;
    }
    QTreeWidgetItem* pLogNode = LogNodeOf(pItem);
    const DWORD dwLog = NodeID(pLogNode);
    if (ItemKind(dwLog) == ITEM_KIND_TEXT_LOG)
        m_frame.SendFrameMessage(WM_SHOW_TEXT_VIEWER, 0, dwLog);
    else if (ItemKind(dwLog) == ITEM_KIND_EVENT_LOG)
        m_frame.SendFrameMessage(WM_SHOW_EVENT_VIEWER, 0, dwLog);
}

void CQuorvilView::OnLeftClick(QTreeWidgetItem* pItem, QTreeWidgetItem* pPrevious)
{
    if (!pItem || pItem == pPrevious)
        return;
    m_pTree->setCurrentItem(pItem);
    QTreeWidgetItem* pLogNode = LogNodeOf(pItem);
    if (pLogNode && pLogNode == LogNodeOf(pPrevious))
        return; // the right pane shows this log already
    ShowNode(pItem);
}

void CQuorvilView::OnArrowKeyReleased()
{
    m_selectTimer.start();
}

void CQuorvilView::OnDoubleClick(QTreeWidgetItem* pItem)
{
    switch (KindOf(pItem)) {
    case 0:
        break;
    case ITEM_KIND_SYSTEM_LOG:
        RunCommand(pItem, ID_LOG_EDITOR);
        break;
    case TREE_KIND_TEXT_ROOT:
        RunCommand(pItem, ID_LOG_NEW_TEXT);
        break;
    case TREE_KIND_EVENT_ROOT:
        RunCommand(pItem, ID_LOG_NEW_EVENT);
        break;
    default:
        RunCommand(pItem, ID_LOG_CONFIGURE);
        break;
    }
}

// ---- Commands -------------------------------------------------------------

namespace {

bool IsTreeCommand(UINT nID)
{
    switch (nID) {
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_TEST_TASK:
    case ID_TEST_KEYS:
    case ID_EVENT_VIEWER:
    case ID_VIEW_REFRESH:
        return true;
    default:
        return IsLogCommand(nID);
    }
}

} // namespace

bool CQuorvilView::IsCommandEnabledFor(QTreeWidgetItem* pItem, UINT nID) const
{
    const DWORD kind = KindOf(pItem);
    const bool bLog = IsLogKind(kind);
    const bool bGroup = kind == TREE_KIND_WATCH_GROUP;
    const bool bTask = kind == TREE_KIND_TASK;
    const bool bKey = kind == TREE_KIND_SEARCH_KEY;
    switch (nID) {
    case ID_LOG_NEW_TEXT:
    case ID_LOG_NEW_EVENT:
    case ID_EVENT_VIEWER:
        return true;
    case ID_VIEW_REFRESH:
        return pItem != nullptr;
    case ID_EDIT_COPY:
        return bLog || bGroup || bTask || bKey;
    case ID_TEST_TASK:
        return bGroup || bTask;
    case ID_TEST_KEYS:
        return (bLog || bGroup) && LogOf(pItem) != nullptr;
    case ID_EDIT_PASTE: {
        CPasteSource source;
        return pItem && ReadClipboard(source) && AnalysePasteAt(source, pItem) != PASTE_NONE;
    }
    case ID_LOG_CONFIGURE:
        if (bGroup || bTask || bKey)
            return LogOf(pItem) != nullptr;
        break;
    case ID_LOG_DELETE:
        if (bGroup || bKey)
            return LogOf(pItem) != nullptr;
        break;
    default:
        break;
    }
    if (!IsLogCommand(nID) || !(bLog || kind == ITEM_KIND_SYSTEM_LOG))
        return false;
    return IsLogCommandEnabled(m_doc, NodeID(pItem), nID);
}

bool CQuorvilView::IsCommandEnabled(UINT nID) const
{
    return IsCommandEnabledFor(Selected(), nID);
}

QString CQuorvilView::CommandText(UINT nID) const
{
    switch (nID) {
    case ID_EDIT_COPY:
        return QStringLiteral("&Copy\tCtrl+C");
    case ID_EDIT_PASTE: {
        CPasteSource source;
        const bool bRead = Selected() && ReadClipboard(source);
        return ToQt(PasteMenuText(bRead ? AnalysePasteAt(source, Selected()) : PASTE_NONE));
    }
    case ID_TEST_TASK:
        return QStringLiteral("Test &Task Actions");
    case ID_TEST_KEYS:
        return QStringLiteral("Test &Keys...");
    case ID_EVENT_VIEWER:
        return QStringLiteral("NT &Event Viewer");
    case ID_VIEW_REFRESH:
        return QStringLiteral("&Refresh\tF5");
    default:
        return IsLogCommand(nID) ? LogCommandText(m_doc, GetSelectedID(), nID, false) : QString();
    }
}

bool CQuorvilView::UpdateCommand(UINT nID, CCommandState& state)
{
    if (!IsTreeCommand(nID))
        return false;
    state.bEnabled = IsCommandEnabled(nID);
    state.strText = CommandText(nID);
    return true;
}

bool CQuorvilView::OnCommand(UINT nID)
{
    if (!IsTreeCommand(nID))
        return false;
    RunCommand(Selected(), nID);
    return true;
}

void CQuorvilView::RunCommand(QTreeWidgetItem* pItem, UINT nID)
{
    if (!IsCommandEnabledFor(pItem, nID))
        return;
    const DWORD kind = KindOf(pItem);
    switch (nID) {
    case ID_LOG_NEW_TEXT:
        m_doc.AddTextLog(ADD_MODE_MENU);
        return;
    case ID_LOG_NEW_EVENT:
        m_doc.AddEventLogs(ADD_MODE_MENU);
        return;
    case ID_VIEW_REFRESH:
        ShowNode(pItem);
        return;
    case ID_EDIT_COPY:
        Copy(pItem);
        return;
    case ID_EDIT_PASTE: {
        CPasteSource source;
        if (ReadClipboard(source))
            PasteAt(source, pItem);
        return;
    }
    case ID_TEST_TASK:
        TestTaskActions(pItem);
        return;
    case ID_TEST_KEYS:
        TestKeys(pItem);
        return;
    case ID_EVENT_VIEWER: {
        std::string computer;
        if (kind == ITEM_KIND_EVENT_LOG) {
            computer = FromQt(pItem->text(0));
            computer = computer.substr(0, computer.find('\\'));
        }
        OpenEventViewerWindow(computer, window());
        return;
    }
    default:
        break;
    }
    if (kind == TREE_KIND_WATCH_GROUP || kind == TREE_KIND_TASK || kind == TREE_KIND_SEARCH_KEY) {
        if (nID == ID_LOG_CONFIGURE)
            Configure(pItem);
        else if (nID == ID_LOG_DELETE)
            Delete(pItem);
        return;
    }
    RunLogCommand(m_frame, NodeID(pItem), nID);
}

void CQuorvilView::Configure(QTreeWidgetItem* pItem)
{
    const DWORD dwLog = NodeID(LogNodeOf(pItem));
    const int nGroup = GroupIndexOf(pItem);
    CScanPause pause(m_doc.m_pManager.get());
    switch (KindOf(pItem)) {
    case TREE_KIND_WATCH_GROUP:
        m_doc.EditWatchGroup(dwLog, nGroup);
        break;
    case TREE_KIND_TASK:
        m_doc.EditTask(dwLog, nGroup);
        break;
    case TREE_KIND_SEARCH_KEY:
        m_doc.EditSearchKey(dwLog, nGroup, static_cast<int>(ItemNumber(NodeID(pItem))));
        break;
    default:
        break;
    }
}

void CQuorvilView::Delete(QTreeWidgetItem* pItem)
{
    const DWORD dwLog = NodeID(LogNodeOf(pItem));
    const int nGroup = GroupIndexOf(pItem);
    if (KindOf(pItem) == TREE_KIND_WATCH_GROUP)
        m_doc.DeleteWatchGroup(dwLog, nGroup);
    else if (KindOf(pItem) == TREE_KIND_SEARCH_KEY)
        m_doc.DeleteSearchKey(dwLog, nGroup, static_cast<int>(ItemNumber(NodeID(pItem))));
}

void CQuorvilView::TestTaskActions(QTreeWidgetItem* pItem)
{
    const CKeysAndActions* pGroup =
        m_doc.m_pManager
            ? m_doc.m_pManager->FindWatchGroup(NodeID(LogNodeOf(pItem)), GroupIndexOf(pItem))
            : nullptr;
    if (pGroup)
        RunTaskCopyOnWorker(pGroup->m_task);
}

void CQuorvilView::TestKeys(QTreeWidgetItem* pItem)
{
    const CMonitoredObject* pLog = LogOf(pItem);
    if (!pLog)
        return;
    std::string strGroup;
    if (KindOf(pItem) == TREE_KIND_WATCH_GROUP) {
        const CKeysAndActions* pGroup =
            m_doc.m_pManager->FindWatchGroup(NodeID(LogNodeOf(pItem)), GroupIndexOf(pItem));
        if (!pGroup)
            return;
        strGroup = pGroup->m_strDescription;
    }
    OpenKeyTester(this, *pLog, strGroup);
}

// ---- Context menu ---------------------------------------------------------

std::unique_ptr<QMenu> CQuorvilView::CreateContextMenu()
{
    QTreeWidgetItem* pItem = Selected();
    CPasteSource source;
    if (!pItem || !ReadClipboard(source))
        return nullptr;
    const DWORD dwID = NodeID(pItem);
    auto pMenu = std::make_unique<QMenu>(this);
    auto addEnabled = [&](UINT nID, const QString& text, bool bEnabled) {
        QAction* pAction = pMenu->addAction(text);
        pAction->setData(nID);
        pAction->setEnabled(bEnabled);
        return pAction;
    };
    auto add = [&](UINT nID, const QString& text) {
        return addEnabled(nID, text, IsCommandEnabledFor(pItem, nID));
    };
    auto addShared = [&](UINT nID) { return add(nID, LogCommandText(m_doc, dwID, nID, true)); };
    auto addPaste = [&] {
        const int nResult = AnalysePasteAt(source, pItem);
        addEnabled(ID_EDIT_PASTE, ToQt(PasteMenuText(nResult)), nResult != PASTE_NONE);
    };
    auto addCopyPaste = [&] {
        pMenu->addSeparator();
        add(ID_EDIT_COPY, QStringLiteral("&Copy\tCtrl+C"));
        addPaste();
    };
    const QString testTask = QStringLiteral("Test &Task Actions");

    switch (ItemKind(dwID)) {
    case TREE_KIND_TEXT_ROOT:
        pMenu->setDefaultAction(add(ID_LOG_NEW_TEXT, QStringLiteral("New te&xt log...")));
        pMenu->addSeparator();
        addPaste();
        break;
    case TREE_KIND_EVENT_ROOT:
        pMenu->setDefaultAction(add(ID_LOG_NEW_EVENT, QStringLiteral("New e&vent log...")));
        pMenu->addSeparator();
        addPaste();
        break;
    case ITEM_KIND_SYSTEM_LOG:
        pMenu->setDefaultAction(addShared(ID_LOG_EDITOR));
        addShared(ID_LOG_CLEAR);
        break;
    case ITEM_KIND_TEXT_LOG:
        pMenu->setDefaultAction(addShared(ID_LOG_CONFIGURE));
        addShared(ID_LOG_DELETE);
        addShared(ID_LOG_ENABLE);
        pMenu->addSeparator();
        addShared(ID_LOG_EDITOR);
        addShared(ID_LOG_CLEAR);
        addShared(ID_LOG_MARK);
        addShared(ID_LOG_FAST_MARK);
        add(ID_TEST_KEYS, QStringLiteral("Test &Keys..."));
        addCopyPaste();
        pMenu->addSeparator();
        addShared(ID_LOG_EXPLORER);
        addShared(ID_LOG_COMMAND_BOX);
        break;
    case ITEM_KIND_EVENT_LOG:
        pMenu->setDefaultAction(addShared(ID_LOG_CONFIGURE));
        addShared(ID_LOG_DELETE);
        addShared(ID_LOG_ENABLE);
        addShared(ID_LOG_RENAME);
        pMenu->addSeparator();
        addShared(ID_LOG_CLEAR);
        addShared(ID_LOG_MARK);
        addShared(ID_LOG_FAST_MARK);
        add(ID_TEST_KEYS, QStringLiteral("Test &Keys..."));
        addCopyPaste();
        break;
    case TREE_KIND_WATCH_GROUP:
        pMenu->setDefaultAction(addShared(ID_LOG_CONFIGURE));
        addShared(ID_LOG_DELETE);
        add(ID_TEST_TASK, testTask);
        add(ID_TEST_KEYS, QStringLiteral("Test &Keys..."));
        addCopyPaste();
        break;
    case TREE_KIND_SEARCH_KEY:
        pMenu->setDefaultAction(addShared(ID_LOG_CONFIGURE));
        addShared(ID_LOG_DELETE);
        addCopyPaste();
        break;
    case TREE_KIND_TASK:
        pMenu->setDefaultAction(addShared(ID_LOG_CONFIGURE));
        add(ID_TEST_TASK, testTask + QString(20, ' ') + QStringLiteral("\t "));
        addCopyPaste();
        break;
    default:
        return nullptr;
    }
    return pMenu;
}

void CQuorvilView::OnContextMenu(const QPoint& globalPos, QTreeWidgetItem* pItem)
{
    if (!pItem)
        return;
    m_pTree->setCurrentItem(pItem);
    std::unique_ptr<QMenu> pMenu = CreateContextMenu();
    if (!pMenu)
        return;
    if (QAction* pChosen = pMenu->exec(globalPos))
        RunCommand(Selected(), pChosen->data().toUInt());
}
