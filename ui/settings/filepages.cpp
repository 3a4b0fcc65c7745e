// The pages that edit texts and file names: Utilities, Editors, Backups and
// Audit.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/launchers.h"
#include "ui/common/qtstrings.h"
#include "ui/settings/settingspages.h"

namespace {

constexpr int MAX_TEXT = 200;

QLineEdit* MakeEdit(const char* name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(MAX_TEXT);
    return edit;
}

QToolButton* MakeIconButton(const char* name, const char* tip, QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(tip));
    button->setIcon(QApplication::style()->standardIcon(icon));
    button->setAutoRaise(true);
    return button;
}

// An edit with its icon buttons on one line.
QHBoxLayout* Row(QLineEdit* edit, std::initializer_list<QToolButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    for (QToolButton* b : buttons)
        row->addWidget(b);
    return row;
}

} // namespace

// --- Utilities ---------------------------------------------------------------

CPageFastMark::CPageFastMark(QWidget* parent) : CSettingsPage(parent)
{
    m_pFastMark = MakeEdit("fastMark");
    m_pErrorLog = MakeCheck("errorLogEnabled", "Enable logging to Quorvil system log");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Fast Mark text:")));
    layout->addWidget(m_pFastMark);
    layout->addWidget(m_pErrorLog);
    layout->addStretch();
    MarkChanges(m_pFastMark);
    MarkChanges(m_pErrorLog);
}

void CPageFastMark::Load()
{
    m_pFastMark->setText(ToQt(AppSettings::GetFastMark()));
    // Read with 0 as its default here, as the page always did.
    m_pErrorLog->setChecked(
        AppSettings::GetProfileInt(AppSettings::SECTION_SYSTEM, "ErrorLogEnabled", 0) != 0);
}

bool CPageFastMark::Store()
{
    AppSettings::SetFastMark(FromQt(m_pFastMark->text()).c_str());
    AppSettings::SetErrorLogEnabled(m_pErrorLog->isChecked());
    return true;
}

// --- Editors -----------------------------------------------------------------

CPageEditors::CPageEditors(QWidget* parent) : CSettingsPage(parent)
{
    m_pTextEditor = MakeEdit("textEditor");
    m_pSqlEditor = MakeEdit("sqlEditor");
    QToolButton* chooseText =
        MakeIconButton("chooseTextEditor", "Choose text editor", QStyle::SP_DirOpenIcon);
    QToolButton* chooseSql =
        MakeIconButton("chooseSqlEditor", "Choose SQL editor", QStyle::SP_DirOpenIcon);
    connect(chooseText, &QToolButton::clicked, this, [this] { ChooseProgram(m_pTextEditor); });
    connect(chooseSql, &QToolButton::clicked, this, [this] { ChooseProgram(m_pSqlEditor); });
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Text editor:"), Row(m_pTextEditor, {chooseText}));
    layout->addRow(QStringLiteral("SQL editor:"), Row(m_pSqlEditor, {chooseSql}));
    MarkChanges(m_pTextEditor);
    MarkChanges(m_pSqlEditor);
}

void CPageEditors::Load()
{
    m_pTextEditor->setText(ToQt(AppSettings::GetTextEditor()));
    m_pSqlEditor->setText(ToQt(AppSettings::GetSQLEditor()));
}

void CPageEditors::ChooseProgram(QLineEdit* target)
{
    // Both buttons start in the text editor's folder.
    const QString folder = QFileInfo(m_pTextEditor->text()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), folder, QStringLiteral("Programs (*);;All Files (*)"));
    if (path.isEmpty())
        return;
    target->setText(path);
    SetModified();
}

bool CPageEditors::Store()
{
    AppSettings::SetTextEditor(FromQt(m_pTextEditor->text()).c_str());
    AppSettings::SetSQLEditor(FromQt(m_pSqlEditor->text()).c_str());
    return true;
}

// --- Backups -----------------------------------------------------------------

CPageBackups::CPageBackups(QWidget* parent) : CSettingsPage(parent)
{
    m_pAutoBackup = MakeCheck("autoBackup", "Create backups with extension .BAK");
    m_pBackupDir = MakeEdit("autoBackupDir");
    m_pChooseDir =
        MakeIconButton("chooseBackupDir", "Choose backup directory", QStyle::SP_DirOpenIcon);
    connect(m_pChooseDir, &QToolButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Select Directory"), m_pBackupDir->text());
        if (!dir.isEmpty())
            m_pBackupDir->setText(dir);
    });
    auto* group = new QGroupBox(QStringLiteral("Automatic Backups"));
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(m_pAutoBackup);
    inner->addWidget(new QLabel(QStringLiteral("Default backup directory:")));
    inner->addLayout(Row(m_pBackupDir, {m_pChooseDir}));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    connect(m_pAutoBackup, &QCheckBox::toggled, this, &CPageBackups::UpdateEnabling);
}

void CPageBackups::Load()
{
    m_pAutoBackup->setChecked(AppSettings::GetAutoBackup() != 0);
    m_pBackupDir->setText(ToQt(AppSettings::GetAutoBackupDir()));
    UpdateEnabling();
}

void CPageBackups::UpdateEnabling()
{
    m_pBackupDir->setEnabled(m_pAutoBackup->isChecked());
    m_pChooseDir->setEnabled(m_pAutoBackup->isChecked());
}

bool CPageBackups::Store()
{
    AppSettings::SetAutoBackup(m_pAutoBackup->isChecked());
    AppSettings::SetAutoBackupDir(FromQt(m_pBackupDir->text()).c_str());
    return true;
}

// --- Audit -------------------------------------------------------------------

CPageAudit::CPageAudit(QWidget* parent) : CSettingsPage(parent)
{
    m_pExtendedAudit = MakeCheck("extendedAudit", "Enable auditing");
    m_pAuditBackup = MakeCheck("auditBackup", "Backup the previous audit files at startup");
    m_pAuditText = MakeEdit("auditText");
    m_pAuditNT = MakeEdit("auditNT");
    QToolButton* chooseText =
        MakeIconButton("chooseAuditText", "Choose text Audit log", QStyle::SP_DirOpenIcon);
    QToolButton* openText =
        MakeIconButton("openAuditText", "Open text Audit log", QStyle::SP_FileIcon);
    QToolButton* chooseNT =
        MakeIconButton("chooseAuditNT", "Choose NT Audit log", QStyle::SP_DirOpenIcon);
    QToolButton* openNT = MakeIconButton("openAuditNT", "Open NT Audit log", QStyle::SP_FileIcon);
    m_arrButtons = {chooseText, openText, chooseNT, openNT};

    auto choose = [this](QLineEdit* edit) {
        const QString path = QFileDialog::getOpenFileName(
            this, QString(), QString(), QStringLiteral("Text files (*.txt);;All Files (*)"));
        if (!path.isEmpty()) {
            edit->setText(path);
            SetModified();
        }
    };
    connect(chooseText, &QToolButton::clicked, this, [=, this] { choose(m_pAuditText); });
    connect(chooseNT, &QToolButton::clicked, this, [=, this] { choose(m_pAuditNT); });
    // The open buttons show the files in use, not the ones being typed.
    connect(openText, &QToolButton::clicked, this,
            [] { LaunchEditor(AppSettings::GetAuditText()); });
    connect(openNT, &QToolButton::clicked, this, [] { LaunchEditor(AppSettings::GetAuditNT()); });

    auto* group = new QGroupBox(QStringLiteral("Auditing"));
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(m_pExtendedAudit);
    inner->addWidget(m_pAuditBackup);
    inner->addWidget(new QLabel(QStringLiteral("Use this file to audit text event logs")));
    inner->addLayout(Row(m_pAuditText, {chooseText, openText}));
    inner->addWidget(new QLabel(QStringLiteral("Use this file to audit NT event logs")));
    inner->addLayout(Row(m_pAuditNT, {chooseNT, openNT}));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    for (QCheckBox* box : {m_pExtendedAudit, m_pAuditBackup})
        MarkChanges(box);
    for (QLineEdit* edit : {m_pAuditText, m_pAuditNT})
        MarkChanges(edit);
    connect(m_pExtendedAudit, &QCheckBox::toggled, this, &CPageAudit::UpdateEnabling);
}

void CPageAudit::Load()
{
    m_pExtendedAudit->setChecked(AppSettings::GetExtendedAudit() != 0);
    m_pAuditBackup->setChecked(AppSettings::GetAuditBackup() != 0);
    m_pAuditText->setText(ToQt(AppSettings::GetAuditText()));
    m_pAuditNT->setText(ToQt(AppSettings::GetAuditNT()));
    UpdateEnabling();
}

void CPageAudit::UpdateEnabling()
{
    const bool bOn = m_pExtendedAudit->isChecked();
    m_pAuditBackup->setEnabled(bOn);
    m_pAuditText->setEnabled(bOn);
    m_pAuditNT->setEnabled(bOn);
    for (QToolButton* b : m_arrButtons)
        b->setEnabled(bOn);
}

bool CPageAudit::Store()
{
    AppSettings::SetExtendedAudit(m_pExtendedAudit->isChecked());
    AppSettings::SetAuditNT(FromQt(m_pAuditNT->text()).c_str());
    AppSettings::SetAuditText(FromQt(m_pAuditText->text()).c_str());
    AppSettings::SetAuditBackup(m_pAuditBackup->isChecked());
    return true;
}
