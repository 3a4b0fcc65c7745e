#pragma once
// "Advanced Options": a watch group's minimum launch interval. The minutes
// and their label are enabled only while the check box is set; OK with it
// cleared gives 0 minutes. User interface thread only.
#include <QDialog>

class QCheckBox;
class QLabel;
class QSpinBox;

class CDlgAdvancedOptions : public QDialog {
    Q_OBJECT
public:
    CDlgAdvancedOptions(bool bEnabled, int nMinutes, QWidget* parent = nullptr);

    bool IsIntervalEnabled() const { return m_bEnabled; }
    int GetMinutes() const { return m_nMinutes; }

    void accept() override;

private:
    void UpdateStates();

    bool m_bEnabled;
    int m_nMinutes;
    QCheckBox* m_pEnable;
    QSpinBox* m_pMinutes;
    QLabel* m_pLabel;
};
