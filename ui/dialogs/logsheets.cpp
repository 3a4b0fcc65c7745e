#include "ui/dialogs/logsheets.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "eventlog/scan/eventmonitor.h"
#include "textlog/filemonitor.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
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

// OK refused: the page at fault comes to the front, says why, and its field
// takes the focus; the sheet stays open with everything typed.
template <typename Page> bool Refuse(QTabWidget* tabs, Page* page)
{
    QString message;
    QWidget* field = page->FieldAtFault(message);
    if (!field)
        return false;
    tabs->setCurrentWidget(page);
    ShowMessageBox(page, FromQt(message), MB_OK);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
    return true;
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
    if (Refuse(m_pTabs, m_pInfo) || Refuse(m_pTabs, m_pSecurity))
        return;
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
    if (Refuse(m_pTabs, m_pInfo) || Refuse(m_pTabs, m_pSecurity))
        return;
    m_pInfo->WriteToLog();
    m_pSecurity->WriteToLog();
    QDialog::accept();
}
