#include "ui/viewers/eventproperties.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "eventlog/scan/eventmonitor.h"
#include "platform/base/strformat.h"
#include "ui/common/help.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/cliptext.h"
#include "ui/viewers/eventlogmodel.h"
#include "ui/viewers/eventlogview.h"

namespace {

constexpr const char* TIME_FORMAT = "%m/%d/%y  %I:%M:%S %p";
constexpr const char* START_REACHED = "Start of log file has been reached!"; // 160
constexpr const char* END_REACHED = "End of log file has been reached!";     // 161

} // namespace

CEventPropertiesDialog::CEventPropertiesDialog(CEventLogView& owner, DWORD nRecord, QWidget* parent)
    : QDialog(parent), m_owner(owner), m_pIcon(new QLabel(this)),
      m_pDescription(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("Event Properties"));
    auto* pGrid = new QGridLayout;
    AddField(pGrid, 0, 0, "Date:", "generated");
    AddField(pGrid, 0, 2, "Written:", "written");
    AddField(pGrid, 1, 0, "Event ID:", "eventId");
    AddField(pGrid, 1, 2, "Source:", "source");
    AddField(pGrid, 2, 0, "Type:", "type");
    AddField(pGrid, 2, 2, "Category:", "category");
    AddField(pGrid, 3, 0, "User:", "user");
    AddField(pGrid, 3, 2, "Computer:", "computer");
    AddField(pGrid, 4, 0, "Seq #:", "record");
    pGrid->addWidget(m_pIcon, 4, 3);

    m_pDescription->setObjectName(QStringLiteral("description"));
    m_pDescription->setReadOnly(true);

    auto* pButtons = new QHBoxLayout;
    auto addButton = [&](const char* pszText, const char* pszTip) {
        auto* pButton = new QPushButton(QString::fromLatin1(pszText), this);
        pButton->setAutoDefault(false);
        if (pszTip)
            pButton->setToolTip(QString::fromLatin1(pszTip));
        pButtons->addWidget(pButton);
        return pButton;
    };
    QPushButton* pClose = addButton("Close", nullptr);
    pClose->setDefault(true);
    connect(pClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(addButton("&Previous", "Previous (older) event"), &QPushButton::clicked, this,
            [this] { OnPrevious(); });
    connect(addButton("&Next", "Next (newer) event"), &QPushButton::clicked, this,
            [this] { OnNext(); });
    connect(addButton("&Help", "Help on event details"), &QPushButton::clicked, this,
            [] { ShowHelpTopic(111); });
    connect(addButton("&Copy", "Copy to Clipboard"), &QPushButton::clicked, this,
            &CEventPropertiesDialog::OnCopy);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pGrid);
    pLayout->addWidget(new QLabel(QStringLiteral("Description:"), this));
    pLayout->addWidget(m_pDescription, 1);
    pLayout->addLayout(pButtons);
    resize(560, 420);

    ShowRecord(nRecord);
}

QLineEdit* CEventPropertiesDialog::AddField(QGridLayout* pGrid, int nRow, int nColumn,
                                            const char* pszLabel, const char* pszName)
{
    auto* pEdit = new QLineEdit(this);
    pEdit->setObjectName(QString::fromLatin1(pszName));
    pEdit->setReadOnly(true);
    pGrid->addWidget(new QLabel(QString::fromLatin1(pszLabel), this), nRow, nColumn);
    pGrid->addWidget(pEdit, nRow, nColumn + 1);
    return pEdit;
}

QString CEventPropertiesDialog::FieldText(const char* pszName) const
{
    QString name = QString::fromLatin1(pszName);
    if (name == m_pDescription->objectName())
        return m_pDescription->toPlainText();
    auto* pEdit = findChild<QLineEdit*>(name);
    return pEdit ? pEdit->text() : QString();
}

void CEventPropertiesDialog::ShowRecord(DWORD nRecord)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nRecord = nRecord;
    for (QLineEdit* pEdit : findChildren<QLineEdit*>())
        pEdit->clear();
    m_pDescription->clear();
    m_strDescription.clear();
    m_pIcon->clear();

    const CEventStruct* pEvent = m_owner.GetEvent(nRecord);
    m_owner.SelectRecord(nRecord);
    CEventMonitor* pLog = m_owner.GetMonitor();
    if (pEvent && pLog) {
        auto set = [this](const char* pszName, const std::string& text) {
            findChild<QLineEdit*>(QString::fromLatin1(pszName))->setText(ToQt(text));
        };
        set("computer", pEvent->m_strComputer);
        set("eventId",
            FormatString("%u (0x%08X)", pEvent->m_nEventID & 0xFFFF, pEvent->m_nEventID));
        set("user", pEvent->m_strUser);
        set("source", pEvent->m_strSource);
        set("type", CEventStruct::GetEventTypeName(pEvent->m_nEventType));
        set("record", FormatString("%u", pEvent->m_nRecordNumber));
        set("generated", pEvent->GetTimeGenerated().Format(TIME_FORMAT));
        set("written", pEvent->GetTimeWritten().Format(TIME_FORMAT));
        m_pIcon->setPixmap(EventTypeIcon(pEvent->m_nEventType).pixmap(32, 32));

        std::string strDescription;
        std::string strCategory;
        pLog->RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, *pEvent, strDescription,
                          strCategory);
        set("category", pEvent->m_nCategory
                            ? FormatString("(%u) %s", pEvent->m_nCategory, strCategory.c_str())
                            : std::string("None"));
        m_strDescription = strDescription;
        m_pDescription->setPlainText(
            ToQt(strDescription).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    QApplication::restoreOverrideCursor();
}

bool CEventPropertiesDialog::OnPrevious()
{
    if (m_nRecord <= m_owner.GetCache().GetOldest()) {
        ShowMessageBox(this, START_REACHED, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    ShowRecord(m_nRecord - 1);
    return true;
}

bool CEventPropertiesDialog::OnNext()
{
    if (m_nRecord >= m_owner.GetCache().GetNewest()) {
        ShowMessageBox(this, END_REACHED, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    ShowRecord(m_nRecord + 1);
    return true;
}

std::string CEventPropertiesDialog::GetCopyText()
{
    const CEventStruct* pEvent = m_owner.GetEvent(m_nRecord);
    if (!pEvent)
        return {};
    std::string strTime = FromQt(FieldText("generated"));
    std::string text;
    text += "Event Type:\t" + FromQt(FieldText("type")) + "\r\n";
    text += "Event Source:\t" + FromQt(FieldText("source")) + "\r\n";
    text += "Event Category:\t" + FromQt(FieldText("category")) + "\r\n";
    text += FormatString("Event ID:\t%d\r\n", static_cast<int>(pEvent->m_nEventID & 0xFFFF));
    text += "Date:\t\t" + strTime.substr(0, 8) + "\r\n";
    text += "Time:\t\t" + (strTime.size() > 10 ? strTime.substr(10, 12) : std::string()) + "\r\n";
    text += "User:\t\t" + FromQt(FieldText("user")) + "\r\n";
    text += "Computer:\t" + FromQt(FieldText("computer")) + "\r\n";
    text += "Description:\r\n" + m_strDescription + "\r\n";
    return text;
}

void CEventPropertiesDialog::OnCopy()
{
    std::string text = GetCopyText();
    if (!text.empty())
        CopyTextToClipboard(std::move(text));
}

void RunEventProperties(CEventLogView& owner, DWORD nRecord)
{
    CEventPropertiesDialog dialog(owner, nRecord, owner.window());
    dialog.exec();
}
