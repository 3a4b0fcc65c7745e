#include "ui/dialogs/scansettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>

namespace {

constexpr int MAX_INTERVAL = 86400;
constexpr int MAX_SPIN_INTERVAL = 1440;

// Takes any typed number, so that 0 or 86401 reach the check on OK instead
// of being clamped unseen; the arrows move between 1 and 1440.
class CIntervalBox : public QSpinBox {
public:
    explicit CIntervalBox(QWidget* parent) : QSpinBox(parent) { setRange(0, 9999999); }
    void stepBy(int steps) override
    {
        const int n = value() + steps;
        setValue(steps > 0 ? std::min(n, std::max(value(), MAX_SPIN_INTERVAL))
                           : std::max(n, std::min(value(), 1)));
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override
    {
        StepEnabled flags = StepNone;
        if (value() < MAX_SPIN_INTERVAL)
            flags |= StepUpEnabled;
        if (value() > 1)
            flags |= StepDownEnabled;
        return flags;
    }
};

} // namespace

CScanSettings::CScanSettings(const QString& jumpText, bool bEnabled, int nInterval, QWidget* parent)
    : QWidget(parent), m_pEnabled(new QCheckBox("&Monitoring enabled", this)),
      m_pIntervalLabel(new QLabel("&Update interval:", this)), m_pInterval(new CIntervalBox(this)),
      m_pSeconds(new QLabel("Seconds", this)), m_pJump(new QCheckBox(jumpText, this))
{
    m_pEnabled->setObjectName("enabled");
    m_pInterval->setObjectName("interval");
    m_pJump->setObjectName("jump");
    m_pInterval->setValue(nInterval);
    m_pIntervalLabel->setBuddy(m_pInterval);
    m_pEnabled->setChecked(bEnabled);
    connect(m_pEnabled, &QCheckBox::toggled, this, &CScanSettings::UpdateStates);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_pEnabled, 0, 0, 1, 3);
    grid->addWidget(m_pIntervalLabel, 1, 0);
    grid->addWidget(m_pInterval, 1, 1);
    grid->addWidget(m_pSeconds, 1, 2);
    grid->addWidget(m_pJump, 2, 0, 1, 3);
    UpdateStates();
}

void CScanSettings::UpdateStates()
{
    const bool bOn = m_pEnabled->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_pIntervalLabel), static_cast<QWidget*>(m_pInterval),
                       static_cast<QWidget*>(m_pSeconds), static_cast<QWidget*>(m_pJump)})
        w->setEnabled(bOn);
}

bool CScanSettings::IsMonitoringEnabled() const
{
    return m_pEnabled->isChecked();
}
int CScanSettings::GetInterval() const
{
    return m_pInterval->value();
}
QWidget* CScanSettings::FieldAtFault(QString& message) const
{
    if (m_pInterval->value() >= 1 && m_pInterval->value() <= MAX_INTERVAL)
        return nullptr;
    message = QStringLiteral("Please enter an integer between 1 and %1.").arg(MAX_INTERVAL);
    return m_pInterval;
}

bool CScanSettings::IsJumpChecked() const
{
    return m_pJump->isChecked();
}
