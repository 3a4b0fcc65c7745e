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
#include "tasklib/alertactions.h"
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
    } else {
        BuildAlertFields(action);
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

QPlainTextEdit* CDlgAction::AddText(const QString& label, const std::string& value, bool bPlace,
                                    const char* name)
{
    auto* edit = new QPlainTextEdit(ToQt(value), this);
    edit->setObjectName(name);
    edit->setTabChangesFocus(true);
    edit->installEventFilter(this);
    connect(edit, &QPlainTextEdit::textChanged, this, &CDlgAction::UpdatePreview);
    m_pForm->addRow(label, edit);
    m_fields.push_back({edit, bPlace});
    return edit;
}

QComboBox* CDlgAction::AddChoice(const QString& label, const QStringList& items, int nCurrent,
                                 const char* name)
{
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(nCurrent);
    m_pForm->addRow(label, combo);
    return combo;
}

QSpinBox* CDlgAction::AddNumber(const QString& label, int nMin, int nMax, int nValue,
                                const char* name)
{
    auto* spin = new QSpinBox(this);
    spin->setObjectName(name);
    spin->setRange(nMin, nMax);
    spin->setValue(nValue);
    m_pForm->addRow(label, spin);
    return spin;
}

QCheckBox* CDlgAction::AddCheck(const QString& text, bool bChecked, const char* name)
{
    auto* check = new QCheckBox(text, this);
    check->setObjectName(name);
    check->setChecked(bChecked);
    m_pForm->addRow(check);
    return check;
}

QString CDlgAction::Text(const char* name) const
{
    if (auto* line = findChild<QLineEdit*>(name))
        return line->text();
    if (auto* plain = findChild<QPlainTextEdit*>(name))
        return plain->toPlainText();
    return {};
}

int CDlgAction::Index(const char* name) const
{
    return findChild<QComboBox*>(name)->currentIndex();
}

int CDlgAction::Number(const char* name) const
{
    return findChild<QSpinBox*>(name)->value();
}

bool CDlgAction::Checked(const char* name) const
{
    return findChild<QCheckBox*>(name)->isChecked();
}

namespace {

QStringList SplitLines(const QString& text, bool bCommas)
{
    QStringList out;
    const QString all = bCommas ? QString(text).replace(',', '\n') : text;
    for (const QString& line : all.split('\n'))
        if (!line.trimmed().isEmpty())
            out << line.trimmed();
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines, const char* separator)
{
    std::string out;
    for (const std::string& line : lines)
        out += (out.empty() ? "" : separator) + line;
    return out;
}

const QStringList FACILITY_NAMES = [] {
    QStringList names;
    for (DWORD i = 0; i < 24; ++i)
        names << SyslogFacilityName(i);
    return names;
}();

const QStringList SEVERITY_NAMES = [] {
    QStringList names{"From the event type"};
    for (DWORD i = 0; i < 8; ++i)
        names << SyslogSeverityName(i);
    return names;
}();

} // namespace

void CDlgAction::BuildAlertFields(CBaseAction& action)
{
    const char* secretTip =
        "The password itself (kept scrambled), @/path of a file only its owner can read, or "
        "env:NAME of an environment variable";
    if (auto* pMail = dynamic_cast<CSendMail*>(&action)) {
        setWindowTitle("Send E-mail");
        AddLine("Server:", pMail->m_strServer, true, "server")
            ->setPlaceholderText("smtp://host:25 or smtps://host:465");
        AddChoice("STARTTLS:", {"Required", "When offered", "Never"}, pMail->m_nStartTls,
                  "starttls");
        AddLine("User:", pMail->m_strUser, true, "user");
        auto* password = AddLine("Password:", pMail->m_password.ToText(), true, "password");
        password->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        password->setToolTip(secretTip);
        AddLine("From:", pMail->m_strFrom, true, "from");
        AddLine("To:", JoinLines(pMail->m_arrTo, ", "), true, "to")
            ->setToolTip("Addresses separated by commas");
        AddLine("Subject:", pMail->m_strSubject, false, "subject");
        AddText("Body:", pMail->m_strBody, false, "body");
        AddNumber("Time-out (seconds):", 1, 3600, static_cast<int>(pMail->m_dwTimeout), "timeout");
        AddCheck("Verify the server's certificate", pMail->m_bVerifyTls, "verify");
        AddLine("CA file:", pMail->m_strCaFile, true, "cafile");
    } else if (auto* pHook = dynamic_cast<CWebHook*>(&action)) {
        static const QStringList formats{"json", "slack", "teams", "custom"};
        setWindowTitle("Call Web Hook");
        AddLine("URL:", pHook->m_strUrl, true, "url");
        AddChoice("Method:", {"POST", "PUT"}, pHook->m_strMethod == "PUT" ? 1 : 0, "method");
        AddChoice("Format:",
                  {"JSON with every variable", "Slack / Mattermost", "Microsoft Teams", "Custom"},
                  std::max(0, static_cast<int>(formats.indexOf(ToQt(pHook->m_strFormat)))),
                  "format");
        AddText("Text / body:", pHook->m_strBody, false, "body")
            ->setToolTip("Slack and Teams: the message text. Custom: the request body");
        AddText("Headers:", JoinLines(pHook->m_arrHeaders, "\n"), true, "headers")
            ->setToolTip("One \"Name: value\" a line; %PASSWORD% is the password below");
        AddLine("User:", pHook->m_strUser, true, "user");
        auto* password = AddLine("Password:", pHook->m_password.ToText(), true, "password");
        password->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        password->setToolTip(secretTip);
        AddNumber("Time-out (seconds):", 1, 3600, static_cast<int>(pHook->m_dwTimeout), "timeout");
        AddCheck("Verify the server's certificate", pHook->m_bVerifyTls, "verify");
        AddLine("CA file:", pHook->m_strCaFile, true, "cafile");
    } else if (auto* pNote = dynamic_cast<CDesktopNotification*>(&action)) {
        setWindowTitle("Desktop Notification");
        AddLine("Summary:", pNote->m_strSummary, false, "summary");
        AddText("Body:", pNote->m_strBody, false, "body");
    } else if (auto* pSyslog = dynamic_cast<CSyslogForward*>(&action)) {
        setWindowTitle("Forward to Syslog");
        AddLine("Host:", pSyslog->m_strHost, true, "host");
        AddNumber("Port:", 1, 65535, static_cast<int>(pSyslog->m_dwPort), "port");
        AddChoice("Protocol:", {"udp", "tcp"}, pSyslog->m_strProtocol == "tcp" ? 1 : 0, "protocol");
        AddChoice("Facility:", FACILITY_NAMES, static_cast<int>(pSyslog->m_dwFacility), "facility");
        AddChoice("Severity:", SEVERITY_NAMES, pSyslog->m_nSeverity + 1, "severity");
        AddLine("Message:", pSyslog->m_strMessage, false, "message");
        AddNumber("Longest message (bytes):", 480, 65000, static_cast<int>(pSyslog->m_dwMaxLength),
                  "maxlength");
    }
}

bool CDlgAction::AcceptAlert()
{
    auto refuse = [this](const char* text) {
        ShowMessageBox(this, text, MB_OK | MB_ICONEXCLAMATION);
        return false;
    };
    auto strings = [](const QStringList& list) {
        std::vector<std::string> out;
        for (const QString& s : list)
            out.push_back(FromQt(s));
        return out;
    };
    if (auto* pMail = dynamic_cast<CSendMail*>(&m_action)) {
        if (Text("server").trimmed().isEmpty())
            return refuse("You must enter a mail server!");
        if (Text("from").trimmed().isEmpty() || SplitLines(Text("to"), true).isEmpty())
            return refuse("You must enter the sender and at least one recipient!");
        pMail->m_strServer = FromQt(Text("server").trimmed());
        pMail->m_nStartTls = static_cast<CSendMail::StartTls>(Index("starttls"));
        pMail->m_strUser = FromQt(Text("user"));
        pMail->m_password = CSecret::FromText(FromQt(Text("password")));
        pMail->m_strFrom = FromQt(Text("from").trimmed());
        pMail->m_arrTo = strings(SplitLines(Text("to"), true));
        pMail->m_strSubject = FromQt(Text("subject"));
        pMail->m_strBody = FromQt(Text("body"));
        pMail->m_dwTimeout = static_cast<DWORD>(Number("timeout"));
        pMail->m_bVerifyTls = Checked("verify");
        pMail->m_strCaFile = FromQt(Text("cafile"));
    } else if (auto* pHook = dynamic_cast<CWebHook*>(&m_action)) {
        static const char* const formats[] = {"json", "slack", "teams", "custom"};
        const QString url = Text("url").trimmed();
        if (!url.startsWith("http://") && !url.startsWith("https://"))
            return refuse("The URL must start with http:// or https://!");
        const QStringList headers = SplitLines(Text("headers"), false);
        for (const QString& header : headers)
            if (header.indexOf(':') <= 0)
                return refuse("Each header must read \"Name: value\"!");
        pHook->m_strUrl = FromQt(url);
        pHook->m_strMethod = Index("method") == 1 ? "PUT" : "POST";
        pHook->m_strFormat = formats[Index("format")];
        pHook->m_strBody = FromQt(Text("body"));
        pHook->m_arrHeaders = strings(headers);
        pHook->m_strUser = FromQt(Text("user"));
        pHook->m_password = CSecret::FromText(FromQt(Text("password")));
        pHook->m_dwTimeout = static_cast<DWORD>(Number("timeout"));
        pHook->m_bVerifyTls = Checked("verify");
        pHook->m_strCaFile = FromQt(Text("cafile"));
    } else if (auto* pNote = dynamic_cast<CDesktopNotification*>(&m_action)) {
        if (Text("summary").isEmpty())
            return refuse("You must enter a summary!");
        pNote->m_strSummary = FromQt(Text("summary"));
        pNote->m_strBody = FromQt(Text("body"));
    } else if (auto* pSyslog = dynamic_cast<CSyslogForward*>(&m_action)) {
        if (Text("host").trimmed().isEmpty())
            return refuse("You must enter the collector's host!");
        pSyslog->m_strHost = FromQt(Text("host").trimmed());
        pSyslog->m_dwPort = static_cast<DWORD>(Number("port"));
        pSyslog->m_strProtocol = Index("protocol") == 1 ? "tcp" : "udp";
        pSyslog->m_dwFacility = static_cast<DWORD>(Index("facility"));
        pSyslog->m_nSeverity = Index("severity") - 1;
        pSyslog->m_strMessage = FromQt(Text("message"));
        pSyslog->m_dwMaxLength = static_cast<DWORD>(Number("maxlength"));
    }
    return true;
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
    } else if (!AcceptAlert()) {
        return;
    }
    QDialog::accept();
}
