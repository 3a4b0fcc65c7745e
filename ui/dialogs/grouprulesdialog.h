#pragma once
// "Thresholds and Silence": a watch group's threshold (N matches within T
// seconds, optionally per value of a variable) and silence rule (a match
// every T minutes, or by HH:MM on chosen weekdays). OK checks the values
// (CGroupRules::Validate) and refuses wrong ones with the reason; it then
// sets the rules' settings, leaving their counters. User interface thread
// only; the rules must outlive the dialog.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class CGroupRules;

class CDlgGroupRules : public QDialog {
    Q_OBJECT
public:
    CDlgGroupRules(CGroupRules& rules, QWidget* parent = nullptr);

    void accept() override;

private:
    void UpdateStates();

    CGroupRules& m_rules;
    QCheckBox* m_pThreshold;
    QSpinBox* m_pCount;
    QSpinBox* m_pSeconds;
    QLineEdit* m_pPer;
    QCheckBox* m_pSilence;
    QRadioButton* m_pEvery;
    QSpinBox* m_pMinutes;
    QRadioButton* m_pBy;
    QLineEdit* m_pTime;
    QCheckBox* m_pDays[7];
};
