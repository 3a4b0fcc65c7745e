#include "ui/dialogs/advancedoptions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include "ui/dialogs/okcancel.h"

CDlgAdvancedOptions::CDlgAdvancedOptions(bool bEnabled, int nMinutes, QWidget* parent)
    : QDialog(parent), m_bEnabled(bEnabled), m_nMinutes(nMinutes),
      m_pEnable(new QCheckBox("Enable minimum launch interval", this)),
      m_pMinutes(new QSpinBox(this)), m_pLabel(new QLabel("Minutes", this))
{
    setWindowTitle("Advanced Options");
    m_pEnable->setObjectName("enable");
    m_pMinutes->setObjectName("minutes");
    m_pMinutes->setRange(1, 1440);
    m_pMinutes->setValue(nMinutes);
    m_pEnable->setChecked(bEnabled);
    connect(m_pEnable, &QCheckBox::toggled, this, &CDlgAdvancedOptions::UpdateStates);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_pEnable, 0, 0, 1, 2);
    grid->addWidget(m_pMinutes, 1, 0);
    grid->addWidget(m_pLabel, 1, 1);
    auto* buttons = MakeOkCancel(this);
    grid->addWidget(buttons, 2, 0, 1, 2);
    UpdateStates();
}

void CDlgAdvancedOptions::UpdateStates()
{
    m_pMinutes->setEnabled(m_pEnable->isChecked());
    m_pLabel->setEnabled(m_pEnable->isChecked());
}

void CDlgAdvancedOptions::accept()
{
    m_bEnabled = m_pEnable->isChecked();
    m_nMinutes = m_bEnabled ? m_pMinutes->value() : 0;
    QDialog::accept();
}
