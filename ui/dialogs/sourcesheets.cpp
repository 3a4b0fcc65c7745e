#include "ui/dialogs/sourcesheets.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "evtx/evtxmonitor.h"
#include "journal/journalfields.h"
#include "journal/journalmonitor.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/logpages.h"
#include "ui/dialogs/okcancel.h"
#include "ui/dialogs/pagewatches.h"
#include "ui/dialogs/scansettings.h"

namespace {

QTabWidget* BuildSheet(QDialog* sheet)
{
    auto* tabs = new QTabWidget(sheet);
    tabs->setObjectName("tabs");
    auto* layout = new QVBoxLayout(sheet);
    layout->addWidget(tabs);
    layout->addWidget(MakeOkCancel(sheet));
    sheet->resize(480, 400);
    return tabs;
}

// A refused source: its page in front, the reason, then the focus on the
// field.
void Refuse(QDialog* sheet, QTabWidget* tabs, QWidget* page, QWidget* field,
            const std::string& strError)
{
    tabs->setCurrentWidget(page);
    ShowMessageBox(sheet, strError, MB_OK | MB_ICONEXCLAMATION);
    field->setFocus();
}

// The four tabs of a source sheet, in order.
void AddSourceTabs(QTabWidget* tabs, QWidget* info, QWidget* source, QWidget* watches,
                   QWidget* security)
{
    tabs->addTab(info, "Scanning");
    tabs->addTab(source, "Source");
    tabs->addTab(watches, "Watches");
    tabs->addTab(security, "Security");
}

// OK of a source sheet: false, with the sheet kept open on the source
// page's field, when the source is refused; else every page written back.
template <class SourcePage>
bool AcceptSourcePages(QDialog* sheet, QTabWidget* tabs, CPageSourceScanning* info,
                       SourcePage* source, CPageSecurity* security)
{
    std::string strError;
    if (!source->Check(strError)) {
        Refuse(sheet, tabs, source, source->GetField(), strError);
        return false;
    }
    info->WriteToLog();
    security->WriteToLog();
    source->WriteToLog();
    return true;
}

} // namespace

// ---- CPageSourceScanning ----

CPageSourceScanning::CPageSourceScanning(CMonitoredObject& log, bool bAdding,
                                         const QString& jumpText, QWidget* parent)
    : QWidget(parent), m_log(log), m_bAdding(bAdding),
      m_pScan(new CScanSettings(jumpText, log.IsEnabled(), log.GetInterval(), this))
{
    m_pScan->GetJumpBox()->setVisible(bAdding);
    auto* name = new QLabel(ToQt(log.GetDisplayName()), this);
    name->setObjectName("logname");
    name->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Log:", this));
    row->addWidget(name, 1);
    layout->addLayout(row);
    layout->addWidget(m_pScan);
    layout->addStretch();
}

bool CPageSourceScanning::IsStartChecked() const
{
    return m_bAdding && m_pScan->IsMonitoringEnabled() && m_pScan->IsJumpChecked();
}

void CPageSourceScanning::WriteToLog()
{
    m_log.SetEnabled(m_pScan->IsMonitoringEnabled());
    m_log.SetInterval(m_pScan->GetInterval());
}

// ---- CPageJournalSource ----

CPageJournalSource::CPageJournalSource(CJournalMonitor& log, bool bAdding, QWidget* parent)
    : QWidget(parent), m_log(log), m_bAdding(bAdding), m_pDirectory(new QLineEdit(this)),
      m_pMatches(new QPlainTextEdit(this))
{
    m_pDirectory->setObjectName("directory");
    m_pDirectory->setText(ToQt(log.m_strDirectory));
    m_pDirectory->setPlaceholderText("This computer's journal");
    m_pMatches->setObjectName("matches");
    m_pMatches->setTabChangesFocus(true);
    QStringList lines;
    for (const std::string& match : log.m_arrMatches)
        lines << ToQt(match);
    m_pMatches->setPlainText(lines.join('\n'));
    auto* browse = new QPushButton("&Browse...", this);
    browse->setObjectName("browse");
    connect(browse, &QPushButton::clicked, this, &CPageJournalSource::Browse);

    auto* grid = new QGridLayout(this);
    auto* directoryLabel = new QLabel("Journal &folder:", this);
    directoryLabel->setBuddy(m_pDirectory);
    auto* matchesLabel =
        new QLabel("&Matches, one per line (FIELD=value, FIELD=low..high, +):", this);
    matchesLabel->setBuddy(m_pMatches);
    grid->addWidget(directoryLabel, 0, 0);
    grid->addWidget(m_pDirectory, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(new QLabel("Empty: this computer's journal.", this), 1, 1, 1, 2);
    grid->addWidget(matchesLabel, 2, 0, 1, 3);
    grid->addWidget(m_pMatches, 3, 0, 1, 3);
    grid->setRowStretch(3, 1);
}

void CPageJournalSource::Browse()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, "Journal Folder",
        m_pDirectory->text().isEmpty() ? "/var/log/journal" : m_pDirectory->text());
    if (!folder.isEmpty())
        m_pDirectory->setText(folder);
}

std::vector<std::string> CPageJournalSource::GetMatches() const
{
    std::vector<std::string> matches;
    for (const QString& line : m_pMatches->toPlainText().split('\n')) {
        const QString match = line.trimmed();
        if (!match.isEmpty())
            matches.push_back(FromQt(match));
    }
    return matches;
}

bool CPageJournalSource::Check(std::string& strError)
{
    std::vector<CJournalMatch> parsed;
    return ParseJournalMatches(GetMatches(), parsed, strError);
}

QWidget* CPageJournalSource::GetField() const
{
    return m_pMatches;
}

void CPageJournalSource::WriteToLog()
{
    const std::string strDirectory = FromQt(m_pDirectory->text().trimmed());
    if (!m_bAdding && strDirectory != m_log.m_strDirectory) {
        // The cursor belongs to the old journal: without one, the next scan
        // starts at the new one's end.
        m_log.m_strCursor.clear();
        m_log.m_bReadExisting = FALSE;
    }
    m_log.m_strDirectory = strDirectory;
    m_log.m_arrMatches = GetMatches();
}

// ---- CPageEvtxSource ----

CPageEvtxSource::CPageEvtxSource(CEvtxMonitor& log, bool bAdding, QWidget* parent)
    : QWidget(parent), m_log(log), m_bAdding(bAdding), m_pPath(new QLineEdit(this))
{
    m_pPath->setObjectName("path");
    m_pPath->setText(ToQt(log.m_strPath));
    auto* file = new QPushButton("F&ile...", this);
    file->setObjectName("browseFile");
    auto* folder = new QPushButton("F&older...", this);
    folder->setObjectName("browseFolder");
    connect(file, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, ".evtx File", m_pPath->text(), "Windows Event Logs (*.evtx);;All Files (*)");
        if (!path.isEmpty())
            m_pPath->setText(path);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getExistingDirectory(this, "Folder of .evtx Files", m_pPath->text());
        if (!path.isEmpty())
            m_pPath->setText(path);
    });

    auto* grid = new QGridLayout(this);
    auto* pathLabel = new QLabel("&Path:", this);
    pathLabel->setBuddy(m_pPath);
    grid->addWidget(pathLabel, 0, 0);
    grid->addWidget(m_pPath, 0, 1, 1, 2);
    grid->addWidget(file, 1, 1);
    grid->addWidget(folder, 1, 2);
    auto* note =
        new QLabel("An .evtx file, or a folder whose .evtx files are read oldest first.", this);
    note->setWordWrap(true);
    grid->addWidget(note, 2, 0, 1, 3);
    grid->setRowStretch(3, 1);
}

bool CPageEvtxSource::Check(std::string& strError)
{
    if (!m_pPath->text().trimmed().isEmpty())
        return true;
    strError = "Enter the path of an .evtx file or of a folder of them.";
    return false;
}

QWidget* CPageEvtxSource::GetField() const
{
    return m_pPath;
}

void CPageEvtxSource::WriteToLog()
{
    const std::string strPath = FromQt(m_pPath->text().trimmed());
    if (strPath == m_log.m_strPath)
        return;
    m_log.m_strPath = strPath;
    if (!m_bAdding) {
        // The position counted the old file's records: start at the newest
        // record of the new path.
        m_log.m_nLastRecord = 0;
        m_log.JumpToEnd();
    }
}

// ---- CDlgEditJournal ----

CDlgEditJournal::CDlgEditJournal(CJournalMonitor& log, bool bAdding, QWidget* parent)
    : QDialog(parent), m_log(log), m_bAdding(bAdding), m_pTabs(BuildSheet(this)),
      m_pInfo(
          new CPageSourceScanning(log, bAdding, "&Read the entries already in the journal", this)),
      m_pSource(new CPageJournalSource(log, bAdding, this)),
      m_pWatches(new CPageWatches(log, this)), m_pSecurity(new CPageSecurity(log, this))
{
    setWindowTitle(bAdding ? "Add Journal" : "Edit Journal");
    AddSourceTabs(m_pTabs, m_pInfo, m_pSource, m_pWatches, m_pSecurity);
}

void CDlgEditJournal::accept()
{
    if (!AcceptSourcePages(this, m_pTabs, m_pInfo, m_pSource, m_pSecurity))
        return;
    if (m_bAdding)
        m_log.m_bReadExisting = m_pInfo->IsStartChecked();
    QDialog::accept();
}

// ---- CDlgEditEvtx ----

CDlgEditEvtx::CDlgEditEvtx(CEvtxMonitor& log, bool bAdding, QWidget* parent)
    : QDialog(parent), m_log(log), m_bAdding(bAdding), m_pTabs(BuildSheet(this)),
      m_pInfo(
          new CPageSourceScanning(log, bAdding, "&Start scanning from the end of this log", this)),
      m_pSource(new CPageEvtxSource(log, bAdding, this)), m_pWatches(new CPageWatches(log, this)),
      m_pSecurity(new CPageSecurity(log, this))
{
    setWindowTitle(bAdding ? "Add .evtx Log" : "Edit .evtx Log");
    AddSourceTabs(m_pTabs, m_pInfo, m_pSource, m_pWatches, m_pSecurity);
}

void CDlgEditEvtx::accept()
{
    if (!AcceptSourcePages(this, m_pTabs, m_pInfo, m_pSource, m_pSecurity))
        return;
    if (m_pInfo->IsStartChecked())
        m_log.JumpToEnd();
    QDialog::accept();
}
