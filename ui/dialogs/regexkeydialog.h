#pragma once
// "Regular Expression Key Properties": edits one regular-expression key: the
// pattern, the case flag and a sample line on which the match and its
// captures show while the pattern is typed. OK refuses a pattern that does
// not compile, with RE2's message and the position; on OK the key gets the
// pattern, Cancel leaves it untouched. User interface thread only; the key
// must outlive the dialog.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class CSearchKeyRegex;

class CDlgRegexKey : public QDialog {
    Q_OBJECT
public:
    CDlgRegexKey(CSearchKeyRegex& key, QWidget* parent = nullptr);

    void accept() override;
    // The line under the pattern: "OK", RE2's message, or what the sample
    // line gives.
    QString GetStatus() const;

private:
    void UpdateStatus();

    CSearchKeyRegex& m_key;
    QLineEdit* m_pPattern;
    QCheckBox* m_pCase;
    QLineEdit* m_pSample;
    QLabel* m_pStatus;
};
