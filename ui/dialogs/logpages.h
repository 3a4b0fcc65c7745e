#pragma once
// The pages of the log property sheets that hold a log's own settings:
// "Properties" of a text log (CPageFileInfo), "Scanning" of an event log
// (CPageLogInfo) and the logon account of either ("Security",
// CPageSecurity). Each loads its fields from the log when built and writes
// them into the log only in WriteToLog, which the sheet calls on OK. The
// template button of CPageFileInfo is the one exception: a template chosen
// with it goes into the log at once. User interface thread only; the log
// must outlive the page.
#include <QWidget>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class CEventMonitor;
class CFileMonitor;
class CMonitoredObject;
class CScanSettings;

class CPageFileInfo : public QWidget {
    Q_OBJECT
public:
    CPageFileInfo(CFileMonitor& log, bool bAdding, int nMode, QWidget* parent = nullptr);

    // The path a file dialog returned: into the path box, and its file name
    // into an empty description.
    void SetBrowsedPath(const QString& path);
    // The field that OK must refuse (an empty path, an interval out of
    // range) with its message, or null.
    QWidget* FieldAtFault(QString& message) const;
    void WriteToLog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Browse();
    void SetupTemplate();

    CFileMonitor& m_log;
    bool m_bAdding;
    std::string m_strTemplate;
    QLineEdit* m_pPath;
    QToolButton* m_pBrowse;
    QLineEdit* m_pDescription;
    QCheckBox* m_pFormatted;
    QPushButton* m_pSetup;
    CScanSettings* m_pScan;
};

// The "Network..." button beside the log's name chooses another computer
// and log (the Network dialog with one log); a log changed that way starts
// at its end, as its previous position means nothing there.
class CPageLogInfo : public QWidget {
    Q_OBJECT
public:
    CPageLogInfo(CEventMonitor& log, bool bAdding, QWidget* parent = nullptr);
    // A log chosen in the Network dialog, "COMPUTER\LOG".
    void SetChosenLog(const std::string& strLine);
    QWidget* FieldAtFault(QString& message) const;
    void WriteToLog();

private:
    void ChooseLog();

    CEventMonitor& m_log;
    bool m_bAdding;
    std::string m_strServer;
    std::string m_strLogName;
    QLabel* m_pName;
    CScanSettings* m_pScan;
};

class CPageSecurity : public QWidget {
    Q_OBJECT
public:
    explicit CPageSecurity(CMonitoredObject& log, QWidget* parent = nullptr);
    // With the check box set: the empty user name or the password with a
    // blank, with its message; null when the page can be written.
    QWidget* FieldAtFault(QString& message) const;
    // Writes the account settings; a page at fault (FieldAtFault) is refused
    // with its message and nothing is written (false).
    bool WriteToLog();

private:
    void UpdateStates();

    CMonitoredObject& m_log;
    QCheckBox* m_pImpersonate;
    QLineEdit* m_pUser;
    QLineEdit* m_pPassword;
    QLineEdit* m_pDomain;
    QList<QWidget*> m_accountWidgets;
};
