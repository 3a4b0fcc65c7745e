#pragma once
// The scan manager's operations by identifier that need the concrete kinds
// of monitored logs (text, event, journal and .evtx logs) or open dialogs. They
// belong to CMonManager, but core sits below the log kinds, so they
// live here as functions taking the manager.
//
// Threads: user interface thread. The edit operations open a modal dialog
// on a working copy and assign it back on OK, after waiting for a scan of
// that log that is running; the caller holds a CScanPause around them (the
// document does).
#include <string>

#include "core/monmanager.h"
#include "workspace/documentui.h"

// TRUE when some text log's full path (GetFilePath) equals path exactly,
// byte for byte.
BOOL IsFileMonitored(const CMonManager& manager, const std::string& path);
// TRUE when some event log has exactly this computer name and log name.
BOOL IsEventLogMonitored(const CMonManager& manager, const std::string& strServer,
                         const std::string& strLogName);

// Carries the scan state (read position, last record, times, state) of the
// running workspace's logs over to the same logs of the workspace read again
// from its file: the same text file (folder, name and template), the same
// computer and event log (letter case aside), the same journal with the same
// matches, the same .evtx file or folder. A log takes the running state when
// that was scanned no earlier than the file's. Returns how many logs took it.
int CarryScanState(CMonManager& reloaded, const CMonManager& running);

// The property sheet of the log's kind on a copy that keeps the log's
// identifier; OK assigns the copy to the log. TRUE on OK.
BOOL EditLogProperties(CMonManager& manager, DWORD dwID, IDocumentUi& ui);
// The watch group dialog of the log's kind on a copy of the group; OK
// assigns the copy. TRUE on OK.
BOOL EditWatchGroup(CMonManager& manager, DWORD dwID, int nGroup, IDocumentUi& ui);
// The key dialog of the key's kind on a copy of the key; OK assigns the
// copy. TRUE on OK.
BOOL EditSearchKey(CMonManager& manager, DWORD dwID, int nGroup, int nKey, IDocumentUi& ui);
