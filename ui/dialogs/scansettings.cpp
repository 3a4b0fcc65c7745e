#include "ui/dialogs/scansettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

CScanSettings::CScanSettings(const QString& jumpText, bool bEnabled, int nInterval, QWidget* parent)
    : QWidget(parent), m_pEnabled(new QCheckBox("&Monitoring enabled", this)),
      m_pIntervalLabel(new QLabel("&Update interval:", this)), m_pInterval(new QSpinBox(this)),
      m_pSeconds(new QLabel("Seconds", this)), m_pJump(new QCheckBox(jumpText, this))
{
    m_pEnabled->setObjectName("enabled");
    m_pInterval->setObjectName("interval");
    m_pJump->setObjectName("jump");
    // Typed values up to a day are taken; anything outside is refused by the
    // box itself.
    m_pInterval->setRange(1, 86400);
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
bool CScanSettings::IsJumpChecked() const
{
    return m_pJump->isChecked();
}
