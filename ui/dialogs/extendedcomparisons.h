#pragma once
// "Extended Comparisons": the criterion of one field of an event search key,
// edited on a working copy (CFieldCriterion). The operator drop-down offers
// the codes the field takes; the controls below it follow the operator (one
// value, two values joined by "and", a value list, or the event type check
// list), and a help line describes the criterion as it stands. OK checks the
// values and leaves the result in GetCriterion(); the key itself is set by
// the caller. User interface thread only.
#include <QDialog>

#include "ui/dialogs/eventfields.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class CDlgExtendedComparisons : public QDialog {
    Q_OBJECT
public:
    CDlgExtendedComparisons(EventField field, const CFieldCriterion& criterion,
                            QWidget* parent = nullptr);

    const CFieldCriterion& GetCriterion() const { return m_result; }
    // The help line as it stands.
    QString GetHelpLine() const;
    // The operator code of the drop-down's current entry.
    DWORD GetOperator() const;

    void accept() override;

private:
    void OnOperatorChanged();
    void OnTypeChanged(QListWidgetItem* item);
    void KeepOnlySelectedType();
    void UpdateControls();
    void AddValue();
    void EditValue();
    void DeleteValue();

    EventField m_field;
    CFieldCriterion m_result;
    QComboBox* m_pOperator;
    QLineEdit* m_pValue1;
    QLabel* m_pAnd;
    QLineEdit* m_pValue2;
    QListWidget* m_pList;
    QPushButton* m_pAdd;
    QPushButton* m_pDelete;
    QPushButton* m_pEdit;
    QListWidget* m_pTypes;
    QLabel* m_pHelp;
    bool m_bChecking = false; // re-entrancy guard while the type checks are corrected
};

// "New Value": asks for one text ("Enter a new value:"), empty allowed.
// True on OK with text holding the entered value.
bool AskNewValue(QWidget* parent, QString& text);
