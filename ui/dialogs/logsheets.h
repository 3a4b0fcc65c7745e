#pragma once
// The property sheets of a monitored log: CDlgEditFile for a text log
// ("Properties", "Watches", "Security") and CDlgEditLog for an event log
// ("Scanning", "Watches", "Security"). On OK every page writes its values
// into the log; Cancel leaves the log as the watch group page and the
// template button left it. The caller owns the log: a new one or a working
// copy. User interface thread only.
#include <QDialog>

class QTabWidget;
class CEventMonitor;
class CFileMonitor;
class CPageFileInfo;
class CPageLogInfo;
class CPageSecurity;
class CPageWatches;

class CDlgEditFile : public QDialog {
    Q_OBJECT
public:
    // nMode: ADD_MODE_MENU, ADD_MODE_WIZARD_TEXT or ADD_MODE_WIZARD_SAMPLE;
    // the sample log's sheet keeps the user on its first page.
    CDlgEditFile(CFileMonitor& log, bool bAdding, int nMode, QWidget* parent = nullptr);

    QTabWidget* GetTabs() const { return m_pTabs; }
    void accept() override;

private:
    QTabWidget* m_pTabs;
    CPageFileInfo* m_pInfo;
    CPageWatches* m_pWatches;
    CPageSecurity* m_pSecurity;
};

class CDlgEditLog : public QDialog {
    Q_OBJECT
public:
    CDlgEditLog(CEventMonitor& log, bool bAdding, QWidget* parent = nullptr);

    QTabWidget* GetTabs() const { return m_pTabs; }
    void accept() override;

private:
    QTabWidget* m_pTabs;
    CPageLogInfo* m_pInfo;
    CPageWatches* m_pWatches;
    CPageSecurity* m_pSecurity;
};
