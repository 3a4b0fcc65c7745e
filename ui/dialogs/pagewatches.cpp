#include "ui/dialogs/pagewatches.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "ui/common/icons.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/clipboardops.h"
#include "ui/dialogs/commandbar.h"
#include "ui/dialogs/dialogs.h"

CPageWatches::CPageWatches(CMonitoredObject& log, QWidget* parent)
    : QWidget(parent), m_log(log), m_pList(new QTreeWidget(this))
{
    m_pList->setObjectName("groups");
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setIconSize(QSize(16, 16));
    m_pList->setHeaderLabels({"Description", "Key Count"});
    m_pList->setColumnWidth(0, m_pList->fontMetrics().horizontalAdvance("XXXXXXXXXXXXXXXXXXXX"));
    m_pList->header()->setStretchLastSection(true);
    m_pBar = new CItemCommandBar(
        m_pList, false, [this] { return IsOnClipboard(m_log.GetWatchGroupClipFormat()); }, this);
    connect(m_pBar, &CItemCommandBar::Command, this, &CPageWatches::OnCommand);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBar);
    layout->addWidget(m_pList);
    Refill();
}

void CPageWatches::Refill()
{
    RefillList(m_pList, [this] {
        const QIcon icon = GetImageIcon(IMAGE_WATCH_GROUP);
        for (int i = 0; i < m_log.GetWatchGroupCount(); ++i) {
            const CKeysAndActions* pGroup = m_log.GetWatchGroup(i);
            if (!pGroup)
                continue;
            auto* item = new QTreeWidgetItem(m_pList);
            item->setIcon(0, icon);
            item->setText(0, ToQt(pGroup->m_strDescription));
            item->setText(1, QString::number(pGroup->GetKeyCount()));
            item->setData(0, Qt::UserRole, i);
        }
    });
    m_pBar->UpdateStates();
}

void CPageWatches::OnCommand(int cmd)
{
    const int nRow = GetSelectedRow(m_pList);
    switch (cmd) {
    case CMD_ADD:
        AddGroup();
        break;
    case CMD_EDIT:
        EditGroup(nRow);
        break;
    case CMD_DELETE:
        if (ShowMessageBox(this, "Are you sure you want to delete this item?",
                           MB_YESNO | MB_ICONQUESTION) == IDYES) {
            m_log.RemoveWatchGroup(nRow);
            Refill();
        }
        break;
    case CMD_COPY:
        CopyGroup(nRow);
        break;
    case CMD_PASTE:
        PasteGroup();
        break;
    case CMD_DUPLICATE:
        CopyGroup(nRow);
        PasteGroup();
        break;
    default:
        break;
    }
}

void CPageWatches::AddGroup()
{
    auto pGroup = std::make_unique<CKeysAndActions>();
    pGroup->m_strDescription = NewWatchGroupName(m_log.GetWatchGroupCount() + 1);
    if (!RunWatchGroupDialog(this, *pGroup, m_log.IsEventLog()))
        return;
    m_log.AddWatchGroup(pGroup.release());
    Refill();
}

void CPageWatches::EditGroup(int index)
{
    CKeysAndActions* pGroup = m_log.GetWatchGroup(index);
    if (!pGroup)
        return;
    CKeysAndActions copy(*pGroup);
    if (!RunWatchGroupDialog(this, copy, m_log.IsEventLog()))
        return;
    *pGroup = copy;
    Refill();
}

void CPageWatches::CopyGroup(int index)
{
    if (const CKeysAndActions* pGroup = m_log.GetWatchGroup(index))
        PutOnClipboard(m_log.GetWatchGroupClipFormat(), pGroup->CopyToGlobalMemory());
}

void CPageWatches::PasteGroup()
{
    const UINT uFormat = m_log.GetWatchGroupClipFormat();
    if (!IsOnClipboard(uFormat))
        return;
    std::unique_ptr<CKeysAndActions> pGroup;
    try {
        pGroup = CKeysAndActions::FromGlobalMemory(GetFromClipboard(uFormat));
    } catch (const CArchiveException&) {
        return;
    }
    if (!pGroup)
        return;
    m_log.AddWatchGroup(pGroup.release());
    Refill();
}
