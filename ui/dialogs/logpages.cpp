#include "ui/dialogs/logpages.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/brancmn.h"
#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/icons.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/scansettings.h"
#include "ui/network/networkdialog.h"
#include "workspace/docstrings.h"
#include "workspace/documentui.h"

// ---- CPageFileInfo ----

CPageFileInfo::CPageFileInfo(CFileMonitor& log, bool bAdding, int nMode, QWidget* parent)
    : QWidget(parent), m_log(log), m_bAdding(bAdding), m_strTemplate(log.m_strTemplate),
      m_pPath(new QLineEdit(this)), m_pBrowse(new QToolButton(this)),
      m_pDescription(new QLineEdit(this)),
      m_pFormatted(new QCheckBox("&Enable date/time formatted filenames", this)),
      m_pSetup(new QPushButton("Setup ...", this)),
      m_pScan(new CScanSettings("&Start scanning from the end of this log", log.IsEnabled(),
                                log.GetInterval(), this))
{
    m_pPath->setObjectName("path");
    m_pPath->setMaxLength(200);
    m_pPath->setText(ToQt(log.GetFilePath()));
    m_pPath->installEventFilter(this);
    m_pBrowse->setObjectName("browse");
    m_pBrowse->setIcon(GetToolIcon(ToolIcon::Browse));
    m_pBrowse->setToolTip(QStringLiteral("Choose the log file"));
    m_pDescription->setObjectName("description");
    m_pDescription->setMaxLength(50);
    m_pDescription->setText(ToQt(log.m_strShortDescription));
    m_pFormatted->setObjectName("formatted");
    m_pFormatted->setChecked(log.m_bFormattedName);
    m_pSetup->setObjectName("setup");
    m_pSetup->setEnabled(log.m_bFormattedName);
    connect(m_pFormatted, &QCheckBox::toggled, m_pSetup, &QPushButton::setEnabled);
    connect(m_pBrowse, &QToolButton::clicked, this, &CPageFileInfo::Browse);
    connect(m_pSetup, &QPushButton::clicked, this, &CPageFileInfo::SetupTemplate);

    if (!bAdding || nMode == ADD_MODE_WIZARD_SAMPLE) {
        m_pScan->GetJumpBox()->hide();
        if (nMode == ADD_MODE_WIZARD_SAMPLE) {
            m_pScan->GetEnabledBox()->setEnabled(false);
            m_pFormatted->setEnabled(false);
            m_pBrowse->setEnabled(false);
        }
    }

    auto* grid = new QGridLayout(this);
    auto* pathLabel = new QLabel("&Text log path:", this);
    pathLabel->setBuddy(m_pPath);
    auto* descriptionLabel = new QLabel("&Short description:", this);
    descriptionLabel->setBuddy(m_pDescription);
    grid->addWidget(pathLabel, 0, 0);
    grid->addWidget(m_pPath, 0, 1);
    grid->addWidget(m_pBrowse, 0, 2);
    grid->addWidget(descriptionLabel, 1, 0);
    grid->addWidget(m_pDescription, 1, 1, 1, 2);
    grid->addWidget(m_pFormatted, 2, 0, 1, 2);
    grid->addWidget(m_pSetup, 2, 2);
    grid->addWidget(m_pScan, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);
}

void CPageFileInfo::Browse()
{
    QFileDialog dlg(this);
    dlg.setDefaultSuffix("log");
    dlg.setNameFilters({"Log Files (*.log)", "Text Files (*.txt)", "All Files (*.*)"});
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDirectory(QFileInfo(m_pPath->text()).absolutePath());
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        SetBrowsedPath(QDir::toNativeSeparators(dlg.selectedFiles().front()));
}

void CPageFileInfo::SetBrowsedPath(const QString& path)
{
    m_pPath->setText(path);
    if (m_pDescription->text().isEmpty())
        m_pDescription->setText(ToQt(JustFilename(FromQt(path).c_str())));
}

bool CPageFileInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pPath && event->type() == QEvent::FocusOut && m_pDescription->text().isEmpty())
        m_pDescription->setText(m_pPath->text());
    return QWidget::eventFilter(watched, event);
}

void CPageFileInfo::SetupTemplate()
{
    std::string strTemplate = m_strTemplate;
    if (!RunFormattedFilenameDialog(this, strTemplate))
        return;
    m_strTemplate = strTemplate;
    m_log.m_strTemplate = strTemplate;
}

QWidget* CPageFileInfo::FieldAtFault(QString& message) const
{
    if (m_pPath->text().trimmed().isEmpty()) {
        message = QString::fromLatin1(IDS_NO_LOGS_SELECTED);
        return m_pPath;
    }
    return m_pScan->FieldAtFault(message);
}

void CPageFileInfo::WriteToLog()
{
    const std::string path = FromQt(m_pPath->text());
    char folder[MAX_PATH] = {};
    JustPathname(folder, path.c_str());
    m_log.m_strDirectory = folder;
    m_log.m_strFileName = JustFilename(path.c_str());
    m_log.m_strShortDescription = FromQt(m_pDescription->text());
    m_log.m_bFormattedName = m_pFormatted->isChecked();
    m_log.m_strTemplate = m_strTemplate;
    m_log.SetEnabled(m_pScan->IsMonitoringEnabled());
    m_log.SetInterval(m_pScan->GetInterval());
    if (m_bAdding && m_pScan->IsMonitoringEnabled() && m_pScan->IsJumpChecked())
        m_log.SetJumpPending();
}

// ---- CPageLogInfo ----

CPageLogInfo::CPageLogInfo(CEventMonitor& log, bool bAdding, QWidget* parent)
    : QWidget(parent), m_log(log), m_bAdding(bAdding), m_strServer(log.GetServer()),
      m_strLogName(log.GetLogName()), m_pName(new QLabel(ToQt(log.GetDisplayName()), this)),
      m_pScan(new CScanSettings("&Start scanning form the end of this log", log.IsEnabled(),
                                log.GetInterval(), this))
{
    m_pScan->GetJumpBox()->setVisible(bAdding);
    m_pName->setObjectName("logname");
    auto* network = new QPushButton("Network...", this);
    network->setObjectName("network");
    connect(network, &QPushButton::clicked, this, &CPageLogInfo::ChooseLog);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Event log:", this));
    row->addWidget(m_pName, 1);
    row->addWidget(network);
    layout->addLayout(row);
    layout->addWidget(m_pScan);
    layout->addStretch();
}

void CPageLogInfo::ChooseLog()
{
    CNetworkDialog dlg(ADD_MODE_WIZARD_EVENT, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const std::vector<std::string> logs = dlg.GetCheckedLogs();
    if (!logs.empty())
        SetChosenLog(logs.front());
}

void CPageLogInfo::SetChosenLog(const std::string& strLine)
{
    const std::size_t at = strLine.find('\\');
    if (at == std::string::npos || at == 0 || at + 1 == strLine.size())
        return;
    m_strServer = strLine.substr(0, at);
    m_strLogName = strLine.substr(at + 1);
    m_pName->setText(ToQt(strLine));
}

QWidget* CPageLogInfo::FieldAtFault(QString& message) const
{
    return m_pScan->FieldAtFault(message);
}

void CPageLogInfo::WriteToLog()
{
    if (m_strServer != m_log.GetServer() || m_strLogName != m_log.GetLogName()) {
        m_log.m_strServer = m_strServer;
        m_log.m_strLogName = m_strLogName;
        m_log.m_nLastRecord = 0;
        m_log.SetJumpPending();
    }
    m_log.SetEnabled(m_pScan->IsMonitoringEnabled());
    m_log.SetInterval(m_pScan->GetInterval());
    if (m_bAdding && m_pScan->IsMonitoringEnabled() && m_pScan->IsJumpChecked())
        m_log.SetJumpPending();
}

// ---- CPageSecurity ----

CPageSecurity::CPageSecurity(CMonitoredObject& log, QWidget* parent)
    : QWidget(parent), m_log(log),
      m_pImpersonate(new QCheckBox("Use these credentials to connect to this resource", this)),
      m_pUser(new QLineEdit(this)), m_pPassword(new QLineEdit(this)), m_pDomain(new QLineEdit(this))
{
    m_pImpersonate->setObjectName("impersonate");
    m_pUser->setObjectName("user");
    m_pPassword->setObjectName("password");
    m_pDomain->setObjectName("domain");
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pImpersonate->setChecked(log.GetImpersonate());
    m_pUser->setText(ToQt(log.GetLogonUser()));
    m_pPassword->setText(ToQt(log.GetLogonPassword()));
    m_pDomain->setText(ToQt(log.GetLogonDomain()));
    connect(m_pImpersonate, &QCheckBox::toggled, this, &CPageSecurity::UpdateStates);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pImpersonate);
    auto* form = new QFormLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"&User name:", m_pUser}, {"&Password:", m_pPassword}, {"&Domain:", m_pDomain}};
    for (const auto& [text, edit] : rows) {
        auto* label = new QLabel(text, this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        m_accountWidgets << label << edit;
    }
    layout->addLayout(form);
    layout->addStretch();
    UpdateStates();
}

void CPageSecurity::UpdateStates()
{
    for (QWidget* w : m_accountWidgets)
        w->setEnabled(m_pImpersonate->isChecked());
}

QWidget* CPageSecurity::FieldAtFault(QString& message) const
{
    if (!m_pImpersonate->isChecked())
        return nullptr;
    if (m_pUser->text().isEmpty()) {
        message = QStringLiteral("Not all required fields are filled in!");
        return m_pUser;
    }
    if (m_pPassword->text().contains(' ')) {
        message = QStringLiteral("Passwords cannot contain spaces!");
        return m_pPassword;
    }
    return nullptr;
}

bool CPageSecurity::WriteToLog()
{
    QString message;
    if (FieldAtFault(message)) {
        ShowMessageBox(this, FromQt(message), MB_OK);
        return false;
    }
    m_log.SetImpersonate(m_pImpersonate->isChecked());
    m_log.SetLogonUser(FromQt(m_pUser->text()));
    m_log.SetLogonPassword(FromQt(m_pPassword->text()));
    m_log.SetLogonDomain(FromQt(m_pDomain->text()));
    return true;
}
