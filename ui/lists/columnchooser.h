#pragma once
// The "Column Chooser" dialog of the log lists: the columns not shown
// ("Available", in table order) and the shown ones ("Selected", in column
// order). Select moves the chosen available column to the end of the
// selected list, Unselect moves the chosen selected column to the end of the
// available list, Move Up and Move Down reorder the selected list; a double
// click moves an entry to the other list. Each button is enabled only while
// its list has a selection. OK with no column selected warns and keeps the
// dialog open.
//
// Threads: user interface thread only.
#include <QDialog>
#include <QString>
#include <vector>

#include "platform/base/win32types.h"

class QListWidget;
class QListWidgetItem;
class QToolButton;

// One entry of a list's column table as the chooser names it.
struct CColumnChoice {
    DWORD dwId;
    QString strLabel;
};

class CColumnChooser : public QDialog {
    Q_OBJECT
public:
    // Identifiers in current that the table does not know are dropped.
    CColumnChooser(const std::vector<CColumnChoice>& table, const std::vector<DWORD>& current,
                   QWidget* parent = nullptr);

    // The selected list's identifiers, top to bottom.
    std::vector<DWORD> GetSelectedColumns() const;

    void accept() override;

    // The parts, named "available", "selected", "select", "unselect",
    // "moveUp" and "moveDown".
    QListWidget* m_pAvailable;
    QListWidget* m_pSelected;
    QToolButton* m_pSelect;
    QToolButton* m_pUnselect;
    QToolButton* m_pMoveUp;
    QToolButton* m_pMoveDown;

private:
    void MoveCurrent(QListWidget* from, QListWidget* to);
    void MoveWithin(int nStep);
    void UpdateButtons();
};

// Runs the chooser modally; on OK ids holds the chosen identifiers.
bool RunColumnChooser(QWidget* parent, const std::vector<CColumnChoice>& table,
                      std::vector<DWORD>& ids);
