#pragma once
// The "Network" dialog: browses the network level by level (the network
// neighbourhood, "Entire Network", the network, its domains and their
// computers), lists the event logs registered on a chosen computer as
// checkable "COMPUTER\LOG" lines, and hands back the checked ones.
//
// Modes (workspace/documentui.h): ADD_MODE_MENU checks any number of logs;
// ADD_MODE_WIZARD_LOCAL_EVENT and ADD_MODE_WIZARD_EVENT are the Quick Start
// modes, in which exactly one log may be checked (the first also lists the
// local computer's logs at once).
//
// Threads: user interface thread only. The network and registry reads block
// it briefly, under a wait cursor. Failures are reported in message boxes
// (ui/common/messagebox.h) and leave the dialog open.
#include <QDialog>
#include <string>
#include <vector>

#include "platform/base/win32types.h"
#include "platform/network/network.h"

class CMonManager;
class QCheckBox;
class QLabel;
class QListWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// Runs the dialog. On OK (TRUE) selected holds the checked lines in list
// order and bJumpToEnd the state of "Start scanning from the ends of these
// logs". The manager is the open workspace's, for reference.
BOOL RunNetworkDialog(QWidget* parent, CMonManager& manager, int nMode,
                      std::vector<std::string>& selected, BOOL& bJumpToEnd);

class CNetworkDialog : public QDialog {
    Q_OBJECT
public:
    explicit CNetworkDialog(int nMode, QWidget* parent = nullptr);

    // The buttons and their keys.
    void Refresh();              // F5: the level named by the title again
    void RemoveSelected();       // Del: asks, then removes the selected lines
    void ShowMyComputer();       // F6: the local computer's logs
    void UpLevel();              // F7: network -> root, domain -> its network
    void ShowSelectedLogs();     // F2: the logs of the selected computer
    void FindUnlistedComputer(); // F9: "Choose a server", then its logs
    void AddLocalJournal();      // F8: the local system's journal
    void AddJournalFolder();     // a folder of journal files, chosen
    void AddEvtxFiles();         // .evtx files, chosen

    // A checked line for a journal or .evtx log (documentui.h's prefixes),
    // shown as text; once each.
    void AddSpecialLine(const QString& text, const std::string& value);

    // Adds a line for each event log registered on the computer (once
    // each); a failure is reported in a message box.
    void ShowLogs(const std::string& strComputer);

    std::vector<std::string> GetCheckedLogs() const;
    BOOL GetJumpToEnd() const;

    QTreeWidget* GetExplorer() const { return m_pExplorer; }
    QListWidget* GetLogList() const { return m_pLogs; }

    void accept() override;

private:
    enum class Level { context, root, network, domain, other };

    void Browse(const CNetResource* pContainer, bool bContext);
    void AddExplorerItem(const CNetResource& res);
    void OnExplorerClicked(QTreeWidgetItem* pItem);
    void OnExplorerDoubleClicked(QTreeWidgetItem* pItem);
    void OnLogSelectionChanged();
    void UpdateButtons();
    bool IsWizardMode() const { return m_nMode == 1 || m_nMode == 2; }
    // The resource an explorer item carries, or null for a computer or "Up Level".
    const CNetResource* ResourceOf(const QTreeWidgetItem* pItem) const;

    int m_nMode;
    Level m_level = Level::context;
    CNetResource m_lastNetwork; // remembered for "Up a level" and "Refresh"
    CNetResource m_lastDomain;
    std::vector<CNetResource> m_arrResources; // item data of the explorer's containers

    QTreeWidget* m_pExplorer;
    QListWidget* m_pLogs;
    QCheckBox* m_pJumpToEnd;
    QLabel* m_pInfo;
    QToolButton* m_pRemove;
    QToolButton* m_pUp;
    QToolButton* m_pShowLogs;
};
