#include "ui/dialogs/actiondialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "tasklib/actions.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"
#include "ui/dialogs/samplevariables.h"

CDlgAction::CDlgAction(CBaseAction& action, CTaskVariables sample, QWidget* parent)
    : QDialog(parent), m_action(action), m_sample(std::move(sample)), m_pForm(new QFormLayout),
      m_pVariables(new QComboBox(this)), m_pPreview(new QLabel(this))
{
    if (auto* pMessage = dynamic_cast<CDisplayMessage*>(&action)) {
        setWindowTitle("Display Message");
        m_pMessage = new QPlainTextEdit(ToQt(pMessage->GetMessage()), this);
        m_pMessage->setObjectName("message");
        m_pMessage->installEventFilter(this);
        connect(m_pMessage, &QPlainTextEdit::textChanged, this, &CDlgAction::UpdatePreview);
        m_pForm->addRow("Message:", m_pMessage);
        m_fields.push_back({m_pMessage, false});
    } else if (auto* pWrite = dynamic_cast<CWriteToFile*>(&action)) {
        setWindowTitle("Write to File");
        m_pPath = AddLine("File:", pWrite->GetPath(), true, "path");
        m_pText = AddLine("Line:", pWrite->GetText(), false, "text");
    } else if (auto* pRun = dynamic_cast<CRunProgram*>(&action)) {
        setWindowTitle("Run Program");
        m_pCommand = AddLine("Command line:", pRun->GetCommand(), false, "command");
        m_pFolder = AddLine("Working folder:", pRun->GetDirectory(), true, "folder");
        m_pWait = new QCheckBox("Wait for the program to end", this);
        m_pWait->setObjectName("wait");
        m_pWait->setChecked(pRun->GetWait());
        m_pTimeout = new QSpinBox(this);
        m_pTimeout->setObjectName("timeout");
        m_pTimeout->setRange(0, 86400);
        m_pTimeout->setValue(static_cast<int>(pRun->GetTimeout()));
        m_pTimeout->setSpecialValueText("No limit");
        m_pTimeout->setEnabled(pRun->GetWait());
        connect(m_pWait, &QCheckBox::toggled, m_pTimeout, &QSpinBox::setEnabled);
        m_pForm->addRow(m_pWait);
        m_pForm->addRow("Stop it after (seconds):", m_pTimeout);
    }

    m_pVariables->setObjectName("variables");
    for (const auto& [name, value] : m_sample.GetAll()) {
        QString tip = "Sample: " + ToQt(value);
        for (const auto* list : {&GetTriggerVariableInfo(), &GetRuleVariableInfo()})
            for (const CVariableInfo& v : *list)
                if (name == v.name)
                    tip = QString(v.explanation) + ". " + tip;
        m_pVariables->addItem(ToQt(name));
        m_pVariables->setItemData(m_pVariables->count() - 1, tip, Qt::ToolTipRole);
    }
    auto* insert = new QPushButton("Insert", this);
    insert->setObjectName("insert");
    insert->setAutoDefault(false);
    connect(insert, &QPushButton::clicked, this,
            [this] { InsertVariable(m_pVariables->currentText()); });
    auto* picker = new QHBoxLayout;
    picker->addWidget(m_pVariables, 1);
    picker->addWidget(insert);
    m_pForm->addRow("Variable:", picker);
    m_pPreview->setObjectName("preview");
    m_pPreview->setWordWrap(true);
    m_pPreview->setTextFormat(Qt::PlainText);
    m_pPreview->setFrameShape(QFrame::StyledPanel);
    m_pForm->addRow("Preview:", m_pPreview);

    auto* buttons = MakeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_pForm);
    layout->addWidget(buttons);
    resize(480, 300);
    UpdatePreview();
}

QLineEdit* CDlgAction::AddLine(const QString& label, const std::string& value, bool bPlace,
                               const char* name)
{
    auto* edit = new QLineEdit(ToQt(value), this);
    edit->setObjectName(name);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, &CDlgAction::UpdatePreview);
    m_pForm->addRow(label, edit);
    m_fields.push_back({edit, bPlace});
    return edit;
}

bool CDlgAction::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            if (watched == m_fields[i].pEdit) {
                m_nCurrent = static_cast<int>(i);
                UpdatePreview();
            }
    return QDialog::eventFilter(watched, event);
}

QString CDlgAction::FieldText(const Field& field) const
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(field.pEdit))
        return plain->toPlainText();
    return static_cast<QLineEdit*>(field.pEdit)->text();
}

void CDlgAction::InsertVariable(const QString& name)
{
    if (m_fields.empty())
        return;
    QWidget* edit = m_fields[static_cast<std::size_t>(m_nCurrent)].pEdit;
    if (auto* plain = qobject_cast<QPlainTextEdit*>(edit))
        plain->insertPlainText(name);
    else
        static_cast<QLineEdit*>(edit)->insert(name);
    edit->setFocus();
}

QString CDlgAction::GetPreview() const
{
    if (m_fields.empty())
        return {};
    const Field& field = m_fields[static_cast<std::size_t>(m_nCurrent)];
    const std::string text = FromQt(FieldText(field));
    return ToQt(field.bPlace ? m_sample.SubstituteConstants(text) : m_sample.Substitute(text));
}

void CDlgAction::UpdatePreview()
{
    m_pPreview->setText(GetPreview());
}

void CDlgAction::accept()
{
    auto refuse = [this](const char* text) {
        ShowMessageBox(this, text, MB_OK | MB_ICONEXCLAMATION);
    };
    if (auto* pMessage = dynamic_cast<CDisplayMessage*>(&m_action)) {
        if (m_pMessage->toPlainText().isEmpty())
            return refuse("You must enter a message!");
        pMessage->SetMessage(FromQt(m_pMessage->toPlainText()).c_str());
    } else if (auto* pWrite = dynamic_cast<CWriteToFile*>(&m_action)) {
        if (m_pPath->text().isEmpty())
            return refuse("You must enter a file name!");
        pWrite->SetPath(FromQt(m_pPath->text()).c_str());
        pWrite->SetText(FromQt(m_pText->text()).c_str());
    } else if (auto* pRun = dynamic_cast<CRunProgram*>(&m_action)) {
        if (m_pCommand->text().trimmed().isEmpty())
            return refuse("You must enter a program to run!");
        pRun->SetCommand(FromQt(m_pCommand->text()).c_str());
        pRun->SetDirectory(FromQt(m_pFolder->text()).c_str());
        pRun->SetWait(m_pWait->isChecked());
        pRun->SetTimeout(static_cast<DWORD>(m_pTimeout->value()));
    }
    QDialog::accept();
}
