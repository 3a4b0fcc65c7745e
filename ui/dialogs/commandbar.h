#pragma once
// The row of icon buttons, keys and context menu that edit the items of a
// list in the watch group dialog and on the watch group page: Add (Ins),
// Edit (F2, double-click), Delete (Del), Task (F7, optional), Copy (F8),
// Paste (F9), Duplicate (F10).
//
// Edit, Delete, Copy and Duplicate are enabled only while a row is
// selected, Paste only while the owner's test says the clipboard offers its
// format. The states are refreshed before every key, menu and button
// command, so a command that is disabled is never emitted.
//
// The bar does not own the list; both live in the same dialog. User
// interface thread only.
#include <QWidget>
#include <array>
#include <functional>

class QMenu;
class QToolButton;
class QTreeWidget;

enum ItemCommand {
    CMD_ADD,
    CMD_EDIT,
    CMD_DELETE,
    CMD_TASK,
    CMD_COPY,
    CMD_PASTE,
    CMD_DUPLICATE,
    CMD_COUNT
};

class CItemCommandBar : public QWidget {
    Q_OBJECT
public:
    // bWithTask adds the Task button and its F7 key (never in the menu).
    CItemCommandBar(QTreeWidget* pList, bool bWithTask, std::function<bool()> canPaste,
                    QWidget* parent = nullptr);

    // Brings the enabled states up to date with the list and the clipboard.
    void UpdateStates();
    QToolButton* GetButton(ItemCommand cmd) const { return m_buttons[cmd]; }
    // The list's context menu, with the current states (for tests and the
    // right click).
    QMenu* BuildContextMenu();

signals:
    void Command(int cmd);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fire(ItemCommand cmd);

    QTreeWidget* m_pList;
    std::function<bool()> m_canPaste;
    std::array<QToolButton*, CMD_COUNT> m_buttons{};
};

// Rebuilds the rows of a list with fill (which adds them), with redrawing
// switched off, then selects and focuses the row index that was selected
// before, if the list still has it.
void RefillList(QTreeWidget* pList, const std::function<void()>& fill);
// The selected row's index, or -1.
int GetSelectedRow(const QTreeWidget* pList);
