#pragma once
// "Text File Key Properties": edits one text search key. On OK the key is
// reset and given the case flag, Key 1, the mode and Key 2; Cancel leaves it
// untouched. User interface thread only; the key must outlive the dialog.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class CSearchKeyText;

class CDlgTextKey : public QDialog {
    Q_OBJECT
public:
    CDlgTextKey(CSearchKeyText& key, QWidget* parent = nullptr);

    void accept() override;

private:
    void OnModeChanged(int index);

    CSearchKeyText& m_key;
    QComboBox* m_pMode;
    QLineEdit* m_pKey1;
    QLineEdit* m_pKey2;
    QCheckBox* m_pCase;
};
