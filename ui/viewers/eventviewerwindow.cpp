#include "ui/viewers/eventviewerwindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "eventlog/scan/eventmonitor.h"
#include "platform/eventlog/eventlog.h"
#include "platform/network/network.h"
#include "ui/common/icons.h"
#include "ui/common/qtstrings.h"
#include "ui/viewers/eventlogview.h"

CEventViewerWindow::CEventViewerWindow(const std::string& strComputer, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_strComputer(strComputer.empty() ? GetLocalComputerName() : strComputer),
      m_pLogs(new QComboBox(this)), m_pStatus(new QLabel(this))
{
    // A bare manager: a new document would tell the main window to show
    // its text logs.
    m_doc.m_pManager = std::make_unique<CMonManager>();
    m_pView = new CEventLogView(*this, this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(ToQt(m_strComputer) + QStringLiteral(" - NT Event Viewer"));
    setWindowIcon(GetImageIcon(IMAGE_EVENT_LOG));
    m_pLogs->setObjectName("logs");
    m_pStatus->setObjectName("status");
    m_pLogs->setToolTip(QStringLiteral("The event log of this computer to show"));

    auto* label = new QLabel(QStringLiteral("&Log:"), this);
    label->setBuddy(m_pLogs);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(ToQt(m_strComputer) + QStringLiteral(" \\"), this));
    bar->addWidget(label);
    bar->addWidget(m_pLogs, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_pView, 1);
    layout->addWidget(m_pStatus);
    resize(800, 500);

    std::vector<CEventLogConfig> logs;
    if (EnumEventLogs(m_strComputer.c_str(), logs))
        for (const CEventLogConfig& log : logs)
            m_pLogs->addItem(ToQt(log.m_strName));
    connect(m_pLogs, &QComboBox::currentTextChanged, this, &CEventViewerWindow::ShowLog);
    // The Application log first, as the system's own viewer opens.
    const int nApplication = m_pLogs->findText(QStringLiteral("Application"));
    if (nApplication > 0)
        m_pLogs->setCurrentIndex(nApplication);
    else
        ShowLog(m_pLogs->currentText());
}

CEventViewerWindow::~CEventViewerWindow()
{
    // The view leaves the document before the document goes.
    delete m_pView;
    m_pView = nullptr;
}

void CEventViewerWindow::SetMessageText(const QString& text)
{
    m_pStatus->setText(text);
}

void CEventViewerWindow::ShowLog(const QString& strLog)
{
    if (m_dwShown != 0) {
        m_pView->ShowItem(0);
        m_doc.m_pManager->DeleteLog(m_dwShown);
        m_dwShown = 0;
    }
    if (strLog.isEmpty()) {
        SetMessageText(QStringLiteral("No event logs on ") + ToQt(m_strComputer));
        return;
    }
    auto* pLog = new CEventMonitor;
    pLog->m_strServer = m_strComputer;
    pLog->m_strLogName = FromQt(strLog);
    m_doc.m_pManager->AddLog(pLog);
    m_dwShown = pLog->GetID();
    m_pView->ShowItem(m_dwShown);
    m_pView->setFocus();
}

CEventViewerWindow* OpenEventViewerWindow(const std::string& strComputer, QWidget* parent)
{
    auto* window = new CEventViewerWindow(strComputer, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
