#include "ui/dialogs/commandbar.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

#include "ui/common/icons.h"

namespace {

struct CommandInfo {
    const char* tooltip;
    const char* menuText; // null: not in the context menu
    int key;
    ToolIcon icon; // the task's is the task image
};

constexpr CommandInfo COMMANDS[CMD_COUNT] = {
    {"Add (Ins)", "Add\tIns", Qt::Key_Insert, ToolIcon::Add},
    {"Edit (F2)", "Edit\tF2", Qt::Key_F2, ToolIcon::Edit},
    {"Delete (Del)", "&Delete\tDel", Qt::Key_Delete, ToolIcon::Delete},
    {"Task (F7)", nullptr, Qt::Key_F7, ToolIcon::Edit},
    {"Copy (F8)", "&Copy\tF8", Qt::Key_F8, ToolIcon::Copy},
    {"Paste (F9)", "&Paste\tF9", Qt::Key_F9, ToolIcon::Paste},
    {"Duplicate (F10)", "Duplicate\tF10", Qt::Key_F10, ToolIcon::Duplicate},
};

// The menu's order: Edit first (the default item), then Add, Delete, a
// separator, Copy, Paste, Duplicate.
constexpr ItemCommand MENU_ORDER[] = {CMD_EDIT, CMD_ADD,   CMD_DELETE,   CMD_COUNT,
                                      CMD_COPY, CMD_PASTE, CMD_DUPLICATE};

} // namespace

CItemCommandBar::CItemCommandBar(QTreeWidget* pList, bool bWithTask, std::function<bool()> canPaste,
                                 QWidget* parent)
    : QWidget(parent), m_pList(pList), m_canPaste(std::move(canPaste))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < CMD_COUNT; ++i) {
        if (i == CMD_TASK && !bWithTask)
            continue;
        auto* button = new QToolButton(this);
        button->setIcon(i == CMD_TASK ? GetImageIcon(IMAGE_TASK) : GetToolIcon(COMMANDS[i].icon));
        button->setToolTip(COMMANDS[i].tooltip);
        button->setAutoRaise(true);
        button->setObjectName(QString("cmd%1").arg(i));
        connect(button, &QToolButton::clicked, this,
                [this, i] { Fire(static_cast<ItemCommand>(i)); });
        layout->addWidget(button);
        m_buttons[static_cast<std::size_t>(i)] = button;
    }
    layout->addStretch();

    m_pList->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_pList->installEventFilter(this);
    m_pList->viewport()->installEventFilter(this);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CItemCommandBar::UpdateStates);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { Fire(CMD_EDIT); });
    UpdateStates();
}

void CItemCommandBar::UpdateStates()
{
    const bool bSelected = !m_pList->selectedItems().isEmpty();
    const bool bCanPaste = m_canPaste && m_canPaste();
    for (int i = 0; i < CMD_COUNT; ++i) {
        if (!m_buttons[static_cast<std::size_t>(i)])
            continue;
        bool bEnabled = true;
        if (i == CMD_EDIT || i == CMD_DELETE || i == CMD_COPY || i == CMD_DUPLICATE)
            bEnabled = bSelected;
        else if (i == CMD_PASTE)
            bEnabled = bCanPaste;
        m_buttons[static_cast<std::size_t>(i)]->setEnabled(bEnabled);
    }
}

void CItemCommandBar::Fire(ItemCommand cmd)
{
    UpdateStates();
    if (m_buttons[cmd] && m_buttons[cmd]->isEnabled())
        emit Command(cmd);
    UpdateStates();
}

QMenu* CItemCommandBar::BuildContextMenu()
{
    UpdateStates();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (ItemCommand cmd : MENU_ORDER) {
        if (cmd == CMD_COUNT) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(m_buttons[cmd]->icon(), COMMANDS[cmd].menuText);
        action->setEnabled(m_buttons[cmd]->isEnabled());
        action->setData(static_cast<int>(cmd));
        connect(action, &QAction::triggered, this, [this, cmd] { Fire(cmd); });
        if (cmd == CMD_EDIT)
            menu->setDefaultAction(action);
    }
    return menu;
}

bool CItemCommandBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == m_pList) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (int i = 0; i < CMD_COUNT; ++i)
            if (m_buttons[static_cast<std::size_t>(i)] && COMMANDS[i].key == key) {
                Fire(static_cast<ItemCommand>(i));
                return true;
            }
    } else if (event->type() == QEvent::ContextMenu) {
        BuildContextMenu()->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int GetSelectedRow(const QTreeWidget* pList)
{
    const QList<QTreeWidgetItem*> selected = pList->selectedItems();
    return selected.isEmpty() ? -1 : pList->indexOfTopLevelItem(selected.front());
}

void RefillList(QTreeWidget* pList, const std::function<void()>& fill)
{
    const int nRow = GetSelectedRow(pList);
    pList->setUpdatesEnabled(false);
    pList->clear();
    fill();
    pList->setUpdatesEnabled(true);
    if (QTreeWidgetItem* item = pList->topLevelItem(nRow)) {
        pList->setCurrentItem(item);
        item->setSelected(true);
        pList->setFocus();
    }
}
