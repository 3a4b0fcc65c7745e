#include "ui/settings/settingssheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/settings/settingspages.h"

void RunSettingsSheet(QWidget* parent, CQuorvilDoc* pDoc)
{
    CDlgAppSettings sheet(pDoc, parent);
    sheet.exec();
}

CDlgAppSettings::CDlgAppSettings(CQuorvilDoc* pDoc, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Quorvil Settings"));
    m_pTabs = new QTabWidget;
    const std::pair<CSettingsPage*, const char*> pages[] = {
        {new CPageSelectedFonts(pDoc), "Fonts"}, {new CPageFastMark, "Utilities"},
        {new CPageEditors, "Editors"},           {new CPageStartup, "Advanced"},
        {new CPageBackups, "Backups"},           {new CPageAudit, "Audit"},
    };
    for (const auto& [page, title] : pages) {
        m_pTabs->addTab(page, QString::fromLatin1(title));
        m_arrPages.push_back(page);
        connect(page, &CSettingsPage::modifiedChanged, this, &CDlgAppSettings::UpdateApply);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Apply);
    m_pApply = buttons->button(QDialogButtonBox::Apply);
    m_pCancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgAppSettings::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDlgAppSettings::reject);
    connect(m_pApply, &QPushButton::clicked, this, &CDlgAppSettings::Apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    layout->addWidget(buttons);
    UpdateApply();
}

void CDlgAppSettings::UpdateApply()
{
    bool bModified = false;
    for (const CSettingsPage* page : m_arrPages)
        bModified = bModified || page->IsModified();
    m_pApply->setEnabled(bModified);
}

bool CDlgAppSettings::Apply()
{
    for (CSettingsPage* page : m_arrPages) {
        if (!page->IsLoaded())
            continue;
        if (!page->Store()) {
            m_pTabs->setCurrentWidget(page);
            return false;
        }
        page->SetModified(false);
    }
    m_pCancel->setText(QStringLiteral("Close"));
    return true;
}

void CDlgAppSettings::accept()
{
    if (Apply())
        QDialog::accept();
}
