#include "ui/wizard/quickstartstep.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/common/help.h"
#include "ui/common/qtstrings.h"

namespace {

constexpr int STEP_COUNT = 6;

} // namespace

CQuickStartStep::CQuickStartStep(int nStep, const char* caption, int nHelpTopic, QWidget* parent)
    : QDialog(parent), m_nStep(nStep), m_nHelpTopic(nHelpTopic)
{
    // The last step's title has two blanks before the parenthesis.
    setWindowTitle(nStep == STEP_COUNT
                       ? QStringLiteral("Quorvil Quick Start  ( Step 6 of 6 )")
                       : QStringLiteral("Quorvil Quick Start ( Step %1 of 6 )").arg(nStep));
    auto* group = new QGroupBox(QString::fromLatin1(caption));
    m_pGroupLayout = new QVBoxLayout(group);

    auto* buttons = new QDialogButtonBox;
    if (nStep == STEP_COUNT) {
        QPushButton* done =
            buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
        done->setObjectName(QStringLiteral("done"));
        done->setDefault(true);
    } else {
        QPushButton* next =
            buttons->addButton(QStringLiteral("Next >>"), QDialogButtonBox::AcceptRole);
        next->setObjectName(QStringLiteral("next"));
        next->setDefault(true);
        buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    }
    connect(buttons->addButton(QDialogButtonBox::Help), &QPushButton::clicked, this,
            &CQuickStartStep::ShowHelp);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    setMinimumWidth(480);
}

void CQuickStartStep::AddText(const QString& text, const char* name)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    m_pGroupLayout->addWidget(label);
}

QRadioButton* CQuickStartStep::AddChoice(const char* name, const QString& text)
{
    auto* choice = new QRadioButton(text);
    choice->setObjectName(QString::fromLatin1(name));
    m_pGroupLayout->addWidget(choice);
    return choice;
}

QLineEdit* CQuickStartStep::AddEdit(const char* name, const QString& text, int nMaxLength)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(nMaxLength);
    edit->setText(text);
    m_pGroupLayout->addWidget(edit);
    return edit;
}

void CQuickStartStep::ShowHelp() const
{
    ShowHelpTopic(m_nHelpTopic);
}
