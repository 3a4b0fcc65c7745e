#pragma once
// CDocumentEditor: the editing operations of the workspace. Each calls the
// scan manager's operation of the same name, then sets the document's
// modified flag (where the edit changes the workspace) and sends one update
// hint. Those that change a log's watch groups, keys or task, or open a
// dialog on them, hold a CScanPause from before the manager call until
// after the hint. Each one does nothing (FALSE, 0 or -1) without a manager.
//
// Threads: user interface thread only.
#include <memory>
#include <string>

#include "core/monmanager.h"
#include "workspace/document.h"

class CDocumentEditor {
public:
    // The manager is the document's, which may be replaced meanwhile.
    CDocumentEditor(CDocument& doc, const std::unique_ptr<CMonManager>& pManager)
        : m_doc(doc), m_pManager(pManager)
    {
    }

    // The new log's identifier, or 0.
    DWORD AddMonitoredLog(std::unique_ptr<CMonitoredObject> pLog);
    BOOL DeleteMonitoredLog(DWORD dwID); // asks first; 0 on No
    BOOL EditLogProperties(DWORD dwID);  // TRUE on OK
    BOOL ToggleLogEnabled(DWORD dwID);
    BOOL ClearLog(DWORD dwID);                         // not modified
    BOOL MarkLog(DWORD dwID, const std::string& text); // not modified
    void ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    void MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source);
    BOOL EditWatchGroup(DWORD dwID, int nGroup);                            // TRUE on OK
    BOOL DeleteWatchGroup(DWORD dwID, int nGroup);                          // asks first; 0 on No
    int AddWatchGroup(DWORD dwID, std::unique_ptr<CKeysAndActions> pGroup); // new index, or -1
    void SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group);
    BOOL EditTask(DWORD dwID, int nGroup);
    void SetTask(DWORD dwID, int nGroup, const CTask& task);
    BOOL EditSearchKey(DWORD dwID, int nGroup, int nKey); // TRUE on OK
    BOOL SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key);
    int AddSearchKey(DWORD dwID, int nGroup, std::unique_ptr<CSearchKey> pKey); // new index, or -1
    BOOL DeleteSearchKey(DWORD dwID, int nGroup, int nKey);
    // Runs a workspace script on the manager, then sends hint 0. Does not
    // set the modified flag.
    BOOL RunScript(const std::string& path);

private:
    BOOL ConfirmDelete();

    CDocument& m_doc;
    const std::unique_ptr<CMonManager>& m_pManager;
};
