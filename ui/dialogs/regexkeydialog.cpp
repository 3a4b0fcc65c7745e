#include "ui/dialogs/regexkeydialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "match/searchkeyregex.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"

CDlgRegexKey::CDlgRegexKey(CSearchKeyRegex& key, QWidget* parent)
    : QDialog(parent), m_key(key), m_pPattern(new QLineEdit(this)),
      m_pCase(new QCheckBox("Case Sensitive", this)), m_pSample(new QLineEdit(this)),
      m_pStatus(new QLabel(this))
{
    setWindowTitle("Regular Expression Key Properties");
    m_pPattern->setObjectName("pattern");
    m_pCase->setObjectName("case");
    m_pSample->setObjectName("sample");
    m_pStatus->setObjectName("status");
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pPattern->setText(ToQt(key.GetPattern()));
    m_pCase->setChecked(key.IsCaseSensitive());
    m_pSample->setPlaceholderText("Paste a log line to try the pattern on");

    auto* help = new QLabel("RE2 syntax, matched anywhere in the line: for example "
                            "<tt>Failed password for .* from (?P&lt;ip&gt;\\S+)</tt>. "
                            "Back-references and look-around are not supported. "
                            "Captures fill %MATCH_0%..%MATCH_9% and %MATCH:name%.",
                            this);
    help->setWordWrap(true);
    auto* form = new QFormLayout(this);
    form->addRow("Pattern:", m_pPattern);
    form->addRow(m_pCase);
    form->addRow(help);
    form->addRow("Sample line:", m_pSample);
    form->addRow(m_pStatus);
    form->addRow(MakeOkCancel(this));
    connect(m_pPattern, &QLineEdit::textChanged, this, &CDlgRegexKey::UpdateStatus);
    connect(m_pSample, &QLineEdit::textChanged, this, &CDlgRegexKey::UpdateStatus);
    connect(m_pCase, &QCheckBox::toggled, this, &CDlgRegexKey::UpdateStatus);
    resize(480, 0);
    UpdateStatus();
}

QString CDlgRegexKey::GetStatus() const
{
    return m_pStatus->text();
}

void CDlgRegexKey::UpdateStatus()
{
    const CSearchKeyRegex trial(FromQt(m_pPattern->text()), m_pCase->isChecked());
    if (m_pPattern->text().isEmpty()) {
        m_pStatus->setText("Enter a pattern.");
        return;
    }
    if (trial.IsBroken()) {
        m_pStatus->setText("Error: " + ToQt(trial.GetError()));
        return;
    }
    if (m_pSample->text().isEmpty()) {
        m_pStatus->setText("OK");
        return;
    }
    CRegexCaptures captures;
    if (!trial.GetCaptures(FromQt(m_pSample->text()), captures)) {
        m_pStatus->setText("The sample line does not match.");
        return;
    }
    QString text = "Matches:";
    for (const auto& [name, value] : captures)
        text += "\n" + ToQt(name) + " = " + ToQt(value);
    m_pStatus->setText(text);
}

void CDlgRegexKey::accept()
{
    const std::string pattern = FromQt(m_pPattern->text());
    if (pattern.empty()) {
        ShowMessageBox(this, "You must enter a pattern!", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::string error = CSearchKeyRegex::CheckPattern(pattern, m_pCase->isChecked());
    if (!error.empty()) {
        ShowMessageBox(this, "The pattern is not a valid regular expression: " + error,
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_key.SetPattern(pattern, m_pCase->isChecked());
    QDialog::accept();
}
