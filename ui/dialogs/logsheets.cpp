#include "ui/dialogs/logsheets.h"

#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/dialogs/logpages.h"
#include "ui/dialogs/okcancel.h"
#include "ui/dialogs/pagewatches.h"
#include "workspace/documentui.h"

namespace {

// The tab widget and the OK and Cancel buttons of a sheet.
QTabWidget* BuildSheet(QDialog* sheet)
{
    auto* tabs = new QTabWidget(sheet);
    tabs->setObjectName("tabs");
    auto* layout = new QVBoxLayout(sheet);
    layout->addWidget(tabs);
    auto* buttons = MakeOkCancel(sheet);
    layout->addWidget(buttons);
    sheet->resize(460, 380);
    return tabs;
}

} // namespace

CDlgEditFile::CDlgEditFile(CFileMonitor& log, bool bAdding, int nMode, QWidget* parent)
    : QDialog(parent), m_pTabs(BuildSheet(this)),
      m_pInfo(new CPageFileInfo(log, bAdding, nMode, this)),
      m_pWatches(new CPageWatches(log, this)), m_pSecurity(new CPageSecurity(log, this))
{
    const bool bSample = nMode == ADD_MODE_WIZARD_SAMPLE;
    const QString title = bAdding ? "Add Text Log" : "Edit Text Log";
    setWindowTitle(bSample ? "Quick Start - " + title : title);
    const QString disabled = bSample ? " - Disabled" : "";
    m_pTabs->addTab(m_pInfo, "Properties");
    m_pTabs->addTab(m_pWatches, "Watches" + disabled);
    m_pTabs->addTab(m_pSecurity, "Security" + disabled);
    if (bSample)
        connect(m_pTabs, &QTabWidget::currentChanged, this, [this](int index) {
            if (index != 0)
                QTimer::singleShot(0, this, [this] { m_pTabs->setCurrentIndex(0); });
        });
}

void CDlgEditFile::accept()
{
    m_pInfo->WriteToLog();
    m_pSecurity->WriteToLog(); // a refused account leaves the log's account as it was
    QDialog::accept();
}

CDlgEditLog::CDlgEditLog(CEventMonitor& log, bool bAdding, QWidget* parent)
    : QDialog(parent), m_pTabs(BuildSheet(this)), m_pInfo(new CPageLogInfo(log, bAdding, this)),
      m_pWatches(new CPageWatches(log, this)), m_pSecurity(new CPageSecurity(log, this))
{
    setWindowTitle(bAdding ? "Add Event Log" : "Edit Event Log");
    m_pTabs->addTab(m_pInfo, "Scanning");
    m_pTabs->addTab(m_pWatches, "Watches");
    m_pTabs->addTab(m_pSecurity, "Security");
}

void CDlgEditLog::accept()
{
    m_pInfo->WriteToLog();
    m_pSecurity->WriteToLog();
    QDialog::accept();
}
