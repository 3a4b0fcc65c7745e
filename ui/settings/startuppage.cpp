#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/version.h"
#include "ui/common/messagebox.h"
#include "ui/settings/autostart.h"
#include "ui/settings/settingspages.h"

namespace {

constexpr unsigned MAX_SCAN_DELAY = 3600;

} // namespace

CPageStartup::CPageStartup(QWidget* parent) : CSettingsPage(parent)
{
    m_pRunAtLogon = MakeCheck("runAtLogon", "Run Quorvil at &Windows startup");
    m_pReload = MakeCheck("reloadWorkspace", "&Reload last workfile as default");
    m_pJumpToEnd = MakeCheck("jumpToEnd", "Always scan from the &ends of logs ( new events only )");
    m_pAutoScan = MakeCheck("autoScan", "Start scanning &automatically");
    m_pRunDelay = MakeCheck("runDelay", "&Delay automatic scanning on startup:");
    m_pScanDelay = new QLineEdit;
    m_pScanDelay->setObjectName(QStringLiteral("scanDelay"));
    m_pScanDelay->setMaximumWidth(60);
    m_pAutoSave = MakeCheck("autoSave", "&Automatically save the workfile on shutdown");
    m_pNoConfirmExit = MakeCheck("noConfirmExit", "&Disable the confirmation prompt on shutdown");

    auto* windows = new QGroupBox(QStringLiteral("Windows Startup"));
    (new QVBoxLayout(windows))->addWidget(m_pRunAtLogon);

    auto* quorvil = new QGroupBox(QStringLiteral("Quorvil Startup"));
    auto* delay = new QHBoxLayout;
    delay->addWidget(m_pRunDelay);
    delay->addWidget(m_pScanDelay);
    delay->addWidget(new QLabel(QStringLiteral("seconds")));
    delay->addStretch();
    auto* startup = new QVBoxLayout(quorvil);
    startup->addWidget(m_pReload);
    startup->addWidget(m_pJumpToEnd);
    startup->addWidget(m_pAutoScan);
    startup->addLayout(delay);

    auto* shutdown = new QGroupBox(QStringLiteral("Quorvil Shutdown"));
    auto* down = new QVBoxLayout(shutdown);
    down->addWidget(m_pAutoSave);
    down->addWidget(m_pNoConfirmExit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(windows);
    layout->addWidget(quorvil);
    layout->addWidget(shutdown);
    layout->addStretch();

    for (QCheckBox* box : {m_pRunAtLogon, m_pReload, m_pJumpToEnd, m_pAutoScan, m_pRunDelay,
                           m_pAutoSave, m_pNoConfirmExit}) {
        MarkChanges(box);
        connect(box, &QCheckBox::toggled, this, &CPageStartup::UpdateEnabling);
    }
    MarkChanges(m_pScanDelay);
}

void CPageStartup::Load()
{
    m_pRunAtLogon->setChecked(IsRunAtLogon());
    m_pReload->setChecked(AppSettings::GetReloadWorkspace() != 0);
    m_pJumpToEnd->setChecked(AppSettings::GetJumpToEnd() != 0);
    m_pAutoScan->setChecked(AppSettings::GetAutoScan() != 0);
    m_pRunDelay->setChecked(AppSettings::GetRunDelay() != 0);
    m_pScanDelay->setText(QString::number(static_cast<unsigned>(AppSettings::GetScanDelay())));
    m_pAutoSave->setChecked(AppSettings::GetAutoSave() != 0);
    m_pNoConfirmExit->setChecked(AppSettings::GetNoConfirmExit() != 0);
    UpdateEnabling();
}

void CPageStartup::UpdateEnabling()
{
    const bool bReload = m_pReload->isChecked();
    m_pJumpToEnd->setEnabled(bReload);
    m_pAutoScan->setEnabled(bReload);
    m_pRunDelay->setEnabled(bReload && m_pAutoScan->isChecked());
    m_pScanDelay->setEnabled(bReload && m_pAutoScan->isChecked() && m_pRunDelay->isChecked());
}

bool CPageStartup::Store()
{
    bool ok = false;
    unsigned delay = m_pScanDelay->text().trimmed().toUInt(&ok);
    if (!ok || delay > MAX_SCAN_DELAY) {
        ShowMessageBox(this, "Please enter an integer between 0 and 3600.",
                       MB_OK | MB_ICONEXCLAMATION);
        m_pScanDelay->setFocus();
        m_pScanDelay->selectAll();
        return false;
    }
    SetRunAtLogon(m_pRunAtLogon->isChecked(), GetProgramFilePath());
    AppSettings::SetReloadWorkspace(m_pReload->isChecked());
    AppSettings::SetAutoScan(m_pAutoScan->isChecked());
    AppSettings::SetRunDelay(m_pRunDelay->isChecked());
    AppSettings::SetScanDelay(static_cast<int>(delay));
    AppSettings::SetJumpToEnd(m_pJumpToEnd->isChecked());
    AppSettings::SetAutoSave(m_pAutoSave->isChecked());
    AppSettings::SetNoConfirmExit(m_pNoConfirmExit->isChecked());
    return true;
}
