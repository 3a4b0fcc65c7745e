#pragma once
// The editor of one task action, with fields by kind of action (message,
// write to file, run program, e-mail, web hook, desktop notification,
// syslog) and a picker of substitution variables: the
// chosen name is inserted at the caret of the field last in focus, and a
// preview shows that field as it would read for the sample entry. Texts that
// name a place (the program, its folder, the file) take the task's
// constants only, and their preview says so by leaving trigger variables
// as written. On OK the fields are checked and written into the action.
// User interface thread only; the action must outlive the dialog.
#include <QDialog>
#include <vector>

#include "tasklib/taskvariables.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class CBaseAction;

class CDlgAction : public QDialog {
    Q_OBJECT
public:
    // sample: the variables of the preview (MakeSampleVariables).
    CDlgAction(CBaseAction& action, CTaskVariables sample, QWidget* parent = nullptr);

    // Inserts the variable at the caret of the current field.
    void InsertVariable(const QString& name);
    QString GetPreview() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One text field with whether it names a place.
    struct Field {
        QWidget* pEdit;
        bool bPlace;
    };
    QLineEdit* AddLine(const QString& label, const std::string& value, bool bPlace,
                       const char* name);
    QPlainTextEdit* AddText(const QString& label, const std::string& value, bool bPlace,
                            const char* name);
    QComboBox* AddChoice(const QString& label, const QStringList& items, int nCurrent,
                         const char* name);
    QSpinBox* AddNumber(const QString& label, int nMin, int nMax, int nValue, const char* name);
    QCheckBox* AddCheck(const QString& text, bool bChecked, const char* name);
    // The alert actions' fields, by object name.
    QString Text(const char* name) const;
    int Index(const char* name) const;
    int Number(const char* name) const;
    bool Checked(const char* name) const;
    void BuildAlertFields(CBaseAction& action);
    bool AcceptAlert();
    QString FieldText(const Field& field) const;
    void UpdatePreview();

    CBaseAction& m_action;
    CTaskVariables m_sample;
    std::vector<Field> m_fields;
    int m_nCurrent = 0;
    class QFormLayout* m_pForm;
    QPlainTextEdit* m_pMessage = nullptr;
    QLineEdit* m_pPath = nullptr;
    QLineEdit* m_pText = nullptr;
    QLineEdit* m_pCommand = nullptr;
    QLineEdit* m_pFolder = nullptr;
    QCheckBox* m_pWait = nullptr;
    QSpinBox* m_pTimeout = nullptr;
    QComboBox* m_pVariables;
    QLabel* m_pPreview;
};
