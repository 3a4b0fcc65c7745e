#include "ui/settings/settingspages.h"

#include <QCheckBox>
#include <QLineEdit>

void CSettingsPage::EnsureLoaded()
{
    if (m_bLoaded)
        return;
    m_bLoaded = true;
    Load();
    SetModified(false);
}

void CSettingsPage::SetModified(bool bModified)
{
    m_bModified = bModified;
    emit modifiedChanged();
}

void CSettingsPage::showEvent(QShowEvent* event)
{
    EnsureLoaded();
    QWidget::showEvent(event);
}

void CSettingsPage::MarkChanges(QCheckBox* box)
{
    connect(box, &QCheckBox::clicked, this, [this] { SetModified(); });
}

void CSettingsPage::MarkChanges(QLineEdit* edit)
{
    connect(edit, &QLineEdit::textEdited, this, [this] { SetModified(); });
}

QCheckBox* CSettingsPage::MakeCheck(const char* name, const char* text)
{
    auto* box = new QCheckBox(QString::fromLatin1(text));
    box->setObjectName(QString::fromLatin1(name));
    return box;
}
