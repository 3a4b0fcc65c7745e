#pragma once
// The property sheets of a journal (CDlgEditJournal) and of an .evtx log
// (CDlgEditEvtx), built like the event log's: "Scanning" (the log's name,
// Monitoring enabled, Update interval, and for a new log its start),
// "Source" (what the log reads), "Watches" and "Security". On OK the source
// page is checked first: a journal match that does not parse, or an empty
// .evtx path, is refused with the reason, and the sheet stays open on that
// page with the focus on the field. Then every page writes into the log.
//
// A source changed on an existing log starts at the end of the new source:
// a journal from another folder loses its cursor and starts at its end at
// the next scan, an .evtx log on another path moves to the newest record
// there at once. Changed matches keep the journal's cursor: the new
// matches apply from the entry reached.
//
// User interface thread only; the log (a new one or a working copy) must
// outlive the sheet.
#include <QDialog>
#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class CEvtxMonitor;
class CJournalMonitor;
class CMonitoredObject;
class CPageSecurity;
class CPageWatches;
class CScanSettings;

// "Scanning": the log's name, Monitoring enabled, Update interval, and the
// start check box (jumpText) shown only for a new log.
class CPageSourceScanning : public QWidget {
    Q_OBJECT
public:
    CPageSourceScanning(CMonitoredObject& log, bool bAdding, const QString& jumpText,
                        QWidget* parent = nullptr);
    // The start check box is set and counts (a new, enabled log).
    bool IsStartChecked() const;
    void WriteToLog();

private:
    CMonitoredObject& m_log;
    bool m_bAdding;
    CScanSettings* m_pScan;
};

// "Source" of a journal: its folder ("" = this computer's journal) and its
// matches, one per line.
class CPageJournalSource : public QWidget {
    Q_OBJECT
public:
    CPageJournalSource(CJournalMonitor& log, bool bAdding, QWidget* parent = nullptr);
    // The matches as typed, without blank lines and surrounding blanks.
    std::vector<std::string> GetMatches() const;
    // False with the reason when a match does not parse.
    bool Check(std::string& strError);
    QWidget* GetField() const;
    void WriteToLog();

private:
    void Browse();

    CJournalMonitor& m_log;
    bool m_bAdding;
    QLineEdit* m_pDirectory;
    QPlainTextEdit* m_pMatches;
};

// "Source" of an .evtx log: a file or a folder of them.
class CPageEvtxSource : public QWidget {
    Q_OBJECT
public:
    CPageEvtxSource(CEvtxMonitor& log, bool bAdding, QWidget* parent = nullptr);
    // False with the reason when the path is empty.
    bool Check(std::string& strError);
    QWidget* GetField() const;
    void WriteToLog();

private:
    CEvtxMonitor& m_log;
    bool m_bAdding;
    QLineEdit* m_pPath;
};

class CDlgEditJournal : public QDialog {
    Q_OBJECT
public:
    CDlgEditJournal(CJournalMonitor& log, bool bAdding, QWidget* parent = nullptr);
    QTabWidget* GetTabs() const { return m_pTabs; }
    void accept() override;

private:
    CJournalMonitor& m_log;
    bool m_bAdding;
    QTabWidget* m_pTabs;
    CPageSourceScanning* m_pInfo;
    CPageJournalSource* m_pSource;
    CPageWatches* m_pWatches;
    CPageSecurity* m_pSecurity;
};

class CDlgEditEvtx : public QDialog {
    Q_OBJECT
public:
    CDlgEditEvtx(CEvtxMonitor& log, bool bAdding, QWidget* parent = nullptr);
    QTabWidget* GetTabs() const { return m_pTabs; }
    void accept() override;

private:
    CEvtxMonitor& m_log;
    bool m_bAdding;
    QTabWidget* m_pTabs;
    CPageSourceScanning* m_pInfo;
    CPageEvtxSource* m_pSource;
    CPageWatches* m_pWatches;
    CPageSecurity* m_pSecurity;
};
