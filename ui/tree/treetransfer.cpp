// CQuorvilView: copy, paste, drag and drop of logs, watch groups, tasks and
// keys.
#include <QDrag>
#include <QMimeData>

#include "match/searchkeytext.h"
#include "ui/common/mainframe.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtclipboard.h"
#include "ui/common/qtstrings.h"
#include "ui/tree/pastesource.h"
#include "ui/tree/quorvilview.h"
#include "ui/tree/treenodes.h"
#include "ui/tree/workspacetree.h"

namespace {

// 165
constexpr const char* IDS_REPLACE_TASK = "Do you want to replace this task?";
// 166
constexpr const char* IDS_REPLACE_WATCH_GROUP = "Do you want to replace this watch group?";
// 167
constexpr const char* IDS_REPLACE_SEARCH_KEY = "Do you want to replace this search key?";
// 168
constexpr const char* IDS_COPY_WATCH_GROUPS =
    "This operation will copy the watch groups from the source log to the target log.\n\n"
    "If you would like to merge the watch groups from the source with those of the target, choose "
    "Yes.\n"
    "If you want to delete the old watch groups and just use the new ones, choose No.\n\n"
    "Select Cancel to abort this procedure.";

} // namespace

bool CQuorvilView::GetNodeBlock(QTreeWidgetItem* pItem, UINT& uFormat, CGlobalMemory& hMem) const
{
    const CMonitoredObject* pLog = LogOf(pItem);
    if (!pLog)
        return false;
    const DWORD dwID = NodeID(pItem);
    const CKeysAndActions* pGroup = pLog->GetWatchGroup(GroupIndexOf(pItem));
    switch (ItemKind(dwID)) {
    case ITEM_KIND_TEXT_LOG:
    case ITEM_KIND_EVENT_LOG:
        uFormat = pLog->GetClipFormat();
        hMem = pLog->CopyToGlobalMemory();
        return true;
    case TREE_KIND_WATCH_GROUP:
        if (!pGroup)
            return false;
        uFormat = pLog->GetWatchGroupClipFormat();
        hMem = pGroup->CopyToGlobalMemory();
        return true;
    case TREE_KIND_TASK:
        if (!pGroup)
            return false;
        uFormat = GetBnClipFormat(BnClipFormat::TASK);
        hMem = pGroup->CopyTaskToGlobalMemory();
        return true;
    case TREE_KIND_SEARCH_KEY: {
        const CSearchKey* pKey =
            pGroup ? pGroup->GetKey(static_cast<int>(ItemNumber(dwID))) : nullptr;
        if (!pKey)
            return false;
        uFormat = pKey->GetClipFormat();
        hMem = pKey->CopyToGlobalMemory();
        return true;
    }
    default:
        return false;
    }
}

void CQuorvilView::Copy(QTreeWidgetItem* pItem)
{
    UINT uFormat = 0;
    CGlobalMemory hMem;
    IClipboard& clipboard = GetClipboard();
    if (!GetNodeBlock(pItem, uFormat, hMem) || !clipboard.Open())
        return;
    clipboard.Empty();
    clipboard.SetData(uFormat, std::move(hMem));
    clipboard.Close();
}

bool CQuorvilView::ReadClipboard(CPasteSource& source) const
{
    IClipboard& clipboard = GetClipboard();
    if (!clipboard.Open())
        return false;
    source = CPasteSource::FromClipboard(clipboard);
    clipboard.Close();
    return true;
}

int CQuorvilView::AnalysePasteAt(const CPasteSource& source, QTreeWidgetItem* pItem) const
{
    const CMonitoredObject* pLog = LogOf(pItem);
    return AnalysePaste(source.GetOffers(), ItemKind(NodeID(pItem)), pLog && pLog->IsEventLog());
}

void CQuorvilView::PasteAt(const CPasteSource& source, QTreeWidgetItem* pItem)
{
    const int nResult = AnalysePasteAt(source, pItem);
    const DWORD dwLog = NodeID(LogNodeOf(pItem));
    const int nGroup = GroupIndexOf(pItem);
    QWidget* pParent = m_frame.GetWindow();
    auto ask = [pParent](const char* text) {
        return ShowMessageBox(pParent, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
    };

    switch (nResult) {
    case PASTE_ADD_TEXT_KEY:
    case PASTE_REPLACE_TEXT_KEY: {
        const bool bReplace = nResult == PASTE_REPLACE_TEXT_KEY;
        if (source.GetOffers() & OFFER_TEXT_KEY)
            PasteKey(pItem, bReplace, source.ReadKey(BnClipFormat::SEARCHKEYTEXT));
        else
            PastePlainText(pItem, bReplace, source.GetText());
        break;
    }
    case PASTE_ADD_EVENT_KEY:
    case PASTE_REPLACE_EVENT_KEY:
        PasteKey(pItem, nResult == PASTE_REPLACE_EVENT_KEY,
                 source.ReadKey(BnClipFormat::SEARCHKEYEVENT));
        break;
    case PASTE_ADD_TEXT_WATCH:
    case PASTE_ADD_EVENT_WATCH: {
        auto format =
            nResult == PASTE_ADD_TEXT_WATCH ? BnClipFormat::WATCHTEXT : BnClipFormat::WATCHEVENT;
        if (auto pGroup = source.ReadWatchGroup(format))
            m_doc.AddWatchGroup(dwLog, pGroup.release());
        break;
    }
    case PASTE_REPLACE_TEXT_WATCH:
    case PASTE_REPLACE_EVENT_WATCH: {
        auto format = nResult == PASTE_REPLACE_TEXT_WATCH ? BnClipFormat::WATCHTEXT
                                                          : BnClipFormat::WATCHEVENT;
        if (auto pGroup = source.ReadWatchGroup(format); pGroup && ask(IDS_REPLACE_WATCH_GROUP))
            m_doc.SetWatchGroup(dwLog, nGroup, *pGroup);
        break;
    }
    case PASTE_REPLACE_TASK:
        if (auto pTask = source.ReadTask(); pTask && ask(IDS_REPLACE_TASK))
            m_doc.SetTask(dwLog, nGroup, *pTask);
        break;
    case PASTE_ADD_TEXT_LOG:
    case PASTE_ADD_EVENT_LOG: {
        const bool bEvent = nResult == PASTE_ADD_EVENT_LOG;
        auto pLog = source.ReadLog(bEvent ? BnClipFormat::MONEVENTLOG : BnClipFormat::MONTEXTLOG);
        if (pLog && (pLog->IsEventLog() != FALSE) == bEvent)
            m_doc.AddMonitoredLog(pLog.release());
        break;
    }
    case PASTE_REPLACE_EVENT_LOG_WATCHES:
    case PASTE_REPLACE_TEXT_LOG_WATCHES: {
        auto format = nResult == PASTE_REPLACE_TEXT_LOG_WATCHES ? BnClipFormat::MONTEXTLOG
                                                                : BnClipFormat::MONEVENTLOG;
        auto pSource = source.ReadLog(format);
        if (!pSource)
            break;
        switch (ShowMessageBox(pParent, IDS_COPY_WATCH_GROUPS, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDYES:
            m_doc.MergeWatchGroups(dwLog, *pSource);
            break;
        case IDNO:
            m_doc.ReplaceWatchGroups(dwLog, *pSource);
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
}

void CQuorvilView::PasteKey(QTreeWidgetItem* pItem, bool bReplace, std::unique_ptr<CSearchKey> pKey)
{
    if (!pKey)
        return;
    // The document's hints rebuild nodes, so everything needed of the target
    // node is taken before the first change.
    const DWORD dwLog = NodeID(LogNodeOf(pItem));
    int nGroup = GroupIndexOf(pItem);
    const DWORD kind = ItemKind(NodeID(pItem));
    if (bReplace) {
        if (ShowMessageBox(m_frame.GetWindow(), IDS_REPLACE_SEARCH_KEY,
                           MB_YESNO | MB_ICONQUESTION) == IDYES)
            m_doc.SetSearchKey(dwLog, nGroup, static_cast<int>(ItemNumber(NodeID(pItem))), *pKey);
        return;
    }
    if (kind != TREE_KIND_WATCH_GROUP)
        nGroup = m_doc.ChooseOrAddWatchGroup(dwLog);
    if (nGroup < 0)
        return;
    const int nKey = m_doc.AddSearchKey(dwLog, nGroup, pKey.release());
    if (nKey >= 0)
        SelectNode(dwLog, nGroup, nKey);
}

void CQuorvilView::PastePlainText(QTreeWidgetItem* pItem, bool bReplace, const std::string& text)
{
    auto pKey = std::make_unique<CSearchKeyText>();
    pKey->m_strKey1 = TextKeyFromPlainText(text);
    if (!m_doc.GetUi().EditTextKey(*pKey))
        return;
    PasteKey(pItem, bReplace, std::move(pKey));
}

// ---- Drag and drop --------------------------------------------------------

void CQuorvilView::BeginDrag(QTreeWidgetItem* pItem)
{
    UINT uFormat = 0;
    CGlobalMemory hMem;
    if (!GetNodeBlock(pItem, uFormat, hMem))
        return;
    m_pTree->setCurrentItem(pItem);
    m_dragSource = m_pTree->IndexOf(pItem);
    auto* pData = new QMimeData;
    PutBlock(*pData, uFormat, hMem);
    auto* pDrag = new QDrag(m_pTree); // deleted by Qt when the drag ends
    pDrag->setMimeData(pData);
    pDrag->exec(Qt::CopyAction);
    m_dragSource = QPersistentModelIndex();
}

void CQuorvilView::DragEnter()
{
    m_preDrag = m_pTree->IndexOf(Selected());
}

bool CQuorvilView::DragOver(QTreeWidgetItem* pItem, const QMimeData& mime)
{
    if (!pItem)
        return false;
    m_pTree->setCurrentItem(pItem);
    if (m_dragSource.isValid() && m_pTree->IndexOf(pItem) == m_dragSource)
        return false;
    const int nResult = AnalysePasteAt(CPasteSource::FromMimeData(mime), pItem);
    if (nResult == PASTE_NONE)
        return false;
    // The menu text without its mnemonic and shortcut, as a status line.
    QString text = ToQt(PasteMenuText(nResult));
    m_frame.SetMessageText(text.left(text.indexOf('\t')).remove('&'));
    return true;
}

void CQuorvilView::DragLeave()
{
    if (m_preDrag.isValid())
        m_pTree->setCurrentItem(m_pTree->ItemOf(m_preDrag));
    m_preDrag = QPersistentModelIndex();
}

void CQuorvilView::Drop(QTreeWidgetItem* pItem, const QMimeData& mime)
{
    m_preDrag = QPersistentModelIndex();
    if (pItem)
        PasteAt(CPasteSource::FromMimeData(mime), pItem);
}
