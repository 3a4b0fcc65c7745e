#include "workspace/addlogs.h"

#include <optional>

#include <unistd.h>

#include "common/brancmn.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "platform/network/network.h"
#include "textlog/filemonitor.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"

BOOL CLogAdder::AskAlreadyMonitoring(const std::string& what)
{
    return m_doc.GetUi().MessageBox(what + "\n\n" + IDS_ALREADY_MONITORING,
                                    MB_YESNO | MB_ICONQUESTION) == IDYES;
}

DWORD CLogAdder::AddTextLog(int nMode)
{
    if (!m_pManager)
        return 0;
    IDocumentUi& ui = m_doc.GetUi();
    auto pLog = std::make_unique<CFileMonitor>();
    if (nMode == ADD_MODE_WIZARD_SAMPLE) {
        pLog->m_strDirectory = m_sampleDirectory;
        pLog->m_strFileName = "qvsample.log";
        pLog->m_strShortDescription = "Sample Log";
    }
    if (!ui.EditTextLogSheet(*pLog, TRUE, nMode))
        return 0;
    std::string path = pLog->GetFilePath();
    if (path.empty()) {
        ui.MessageBox(IDS_NO_LOGS_SELECTED, MB_OK);
        return 0;
    }
    if (IsFileMonitored(*m_pManager, path) && !AskAlreadyMonitoring("Text log: " + path))
        return 0;
    std::optional<std::string> local = MapNetworkPath(path);
    if ((!local || ::access(local->c_str(), R_OK) != 0) &&
        ui.MessageBox(IDS_FILE_NOT_READABLE, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;
    return m_editor.AddMonitoredLog(std::move(pLog));
}

namespace {

// The log of a journal or .evtx line of the network dialog, or null for a
// "COMPUTER\LOG" line. A journal starts at its end (a system's journal
// holds far more than anyone asked for); .evtx files are read from their
// first record unless the dialog said to start at the end.
std::unique_ptr<CMonitoredObject> NewJournalOrEvtxLog(const std::string& entry, BOOL bJumpToEnd)
{
    const std::string_view journal = NETWORK_JOURNAL_PREFIX;
    const std::string_view evtx = NETWORK_EVTX_PREFIX;
    if (entry.rfind(journal, 0) == 0) {
        auto pLog = std::make_unique<CJournalMonitor>();
        pLog->m_strDirectory = entry.substr(journal.size());
        pLog->JumpToEnd();
        return pLog;
    }
    if (entry.rfind(evtx, 0) == 0) {
        auto pLog = std::make_unique<CEvtxMonitor>();
        pLog->m_strPath = entry.substr(evtx.size());
        if (bJumpToEnd)
            pLog->JumpToEnd();
        return pLog;
    }
    return nullptr;
}

} // namespace

DWORD CLogAdder::AddEventLogs(int nMode)
{
    if (!m_pManager)
        return 0;
    IDocumentUi& ui = m_doc.GetUi();
    if (!IsWinNT()) {
        ui.MessageBox(IDS_NOT_WINNT, MB_OK);
        return 0;
    }
    std::vector<std::string> selected;
    BOOL bJumpToEnd = FALSE;
    if (!ui.BrowseNetwork(*m_pManager, nMode, selected, bJumpToEnd))
        return 0;
    DWORD dwFirst = 0;
    for (const std::string& entry : selected) {
        if (std::unique_ptr<CMonitoredObject> pOther = NewJournalOrEvtxLog(entry, bJumpToEnd)) {
            DWORD dwID = m_editor.AddMonitoredLog(std::move(pOther));
            if (dwFirst == 0)
                dwFirst = dwID;
            continue;
        }
        std::size_t slash = entry.find('\\');
        std::string strServer = slash == std::string::npos ? std::string() : entry.substr(0, slash);
        std::string strLogName = slash == std::string::npos ? entry : entry.substr(slash + 1);
        if (IsEventLogMonitored(*m_pManager, strServer, strLogName) &&
            !AskAlreadyMonitoring(
                std::string("NT Event Log: ").append(strServer).append("\\").append(strLogName)))
            continue;
        auto pLog = std::make_unique<CEventMonitor>();
        pLog->m_strServer = strServer;
        pLog->m_strLogName = strLogName;
        pLog->SetEnabled(TRUE);
        if (bJumpToEnd)
            pLog->JumpToEnd();
        DWORD dwID = m_editor.AddMonitoredLog(std::move(pLog));
        if (dwFirst == 0)
            dwFirst = dwID;
    }
    return dwFirst;
}

DWORD CLogAdder::AddJournal()
{
    if (!m_pManager)
        return 0;
    auto pLog = std::make_unique<CJournalMonitor>();
    if (!m_doc.GetUi().EditJournalSheet(*pLog, TRUE))
        return 0;
    if (!pLog->m_bReadExisting)
        pLog->JumpToEnd();
    return m_editor.AddMonitoredLog(std::move(pLog));
}

int CLogAdder::ChooseOrAddWatchGroup(DWORD dwID)
{
    CMonitoredObject* pLog = m_pManager ? m_pManager->FindLog(dwID) : nullptr;
    if (!pLog)
        return -1;
    int nCount = pLog->GetWatchGroupCount();
    if (nCount > 0) {
        int nChoice = m_doc.GetUi().ChooseWatchGroup(*pLog);
        if (nChoice != CHOOSE_NEW_WATCH_GROUP)
            return nChoice < 0 || nChoice >= nCount ? -1 : nChoice;
    }
    auto pGroup = std::make_unique<CKeysAndActions>();
    pGroup->m_strDescription = NewWatchGroupName(nCount);
    return m_editor.AddWatchGroup(dwID, std::move(pGroup));
}
