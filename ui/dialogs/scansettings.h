#pragma once
// The scanning controls that the text-log and event-log pages share:
// "&Monitoring enabled", "&Update interval:" (1 to 86400 seconds typed, the
// spin buttons stop at 1440) with its "Seconds" label, and the check box
// that starts a new log at its end. A typed value out of range is kept as
// typed and refused on OK (FieldAtFault).
// While monitoring is cleared the interval and its labels are disabled, and
// the jump check box follows the monitoring check box. User interface
// thread only.
#include <QWidget>

class QCheckBox;
class QLabel;
class QSpinBox;

class CScanSettings : public QWidget {
    Q_OBJECT
public:
    CScanSettings(const QString& jumpText, bool bEnabled, int nInterval, QWidget* parent = nullptr);

    bool IsMonitoringEnabled() const;
    int GetInterval() const;
    bool IsJumpChecked() const;
    // The interval box when its value is out of range, with its message.
    QWidget* FieldAtFault(QString& message) const;
    QCheckBox* GetEnabledBox() const { return m_pEnabled; }
    QCheckBox* GetJumpBox() const { return m_pJump; }

private:
    void UpdateStates();

    QCheckBox* m_pEnabled;
    QLabel* m_pIntervalLabel;
    QSpinBox* m_pInterval;
    QLabel* m_pSeconds;
    QCheckBox* m_pJump;
};
