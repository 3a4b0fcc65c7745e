#include "workspace/managerops.h"

#include <memory>
#include <string>

#include <strings.h>

#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "textlog/filemonitor.h"
#include "workspace/quorvildoc.h"

BOOL IsFileMonitored(const CMonManager& manager, const std::string& path)
{
    int pos = 0;
    while (const CMonitoredObject* pLog = manager.GetNextLog(pos)) {
        const auto* pFile = dynamic_cast<const CFileMonitor*>(pLog);
        if (pFile && pFile->GetFilePath() == path)
            return TRUE;
    }
    return FALSE;
}

BOOL IsEventLogMonitored(const CMonManager& manager, const std::string& strServer,
                         const std::string& strLogName)
{
    int pos = 0;
    while (const CMonitoredObject* pLog = manager.GetNextLog(pos)) {
        const auto* pEvent = dynamic_cast<const CEventMonitor*>(pLog);
        // Computer names are the same in any letter case ("Demo" is "DEMO").
        if (pEvent && ::strcasecmp(pEvent->m_strServer.c_str(), strServer.c_str()) == 0 &&
            pEvent->m_strLogName == strLogName)
            return TRUE;
    }
    return FALSE;
}

namespace {

// What a scan moves on while the sheet is open: an edited copy takes it from
// the live log, so assigning the copy back never rolls a read position back.
void TakeScanState(CMonitoredObject& edited, const CMonitoredObject& live)
{
    edited.m_timeLastScanned = live.m_timeLastScanned;
    edited.m_timeLastChanged = live.m_timeLastChanged;
    edited.m_nState = live.m_nState.load();
    edited.m_bJumpPending = live.m_bJumpPending;
}

void TakeScanState(CFileMonitor& edited, const CFileMonitor& live)
{
    TakeScanState(static_cast<CMonitoredObject&>(edited), live);
    edited.m_dwLastSize = live.m_dwLastSize;
    edited.m_dwPosition = live.m_dwPosition;
    edited.m_timeLastCheck = live.m_timeLastCheck;
    edited.m_bFinishingYesterday = live.m_bFinishingYesterday;
}

// Event logs: the record reached.
void TakeScanState(CEventMonitor& edited, const CEventMonitor& live)
{
    TakeScanState(static_cast<CMonitoredObject&>(edited), live);
    edited.TakeScanStateFrom(live);
}

// A journal or .evtx log whose source the sheet changed keeps the position
// the sheet gave it (the end of the new source); the live log's position
// belongs to the old one.
void TakeScanState(CJournalMonitor& edited, const CJournalMonitor& live)
{
    TakeScanState(static_cast<CMonitoredObject&>(edited), live);
    if (edited.m_strDirectory == live.m_strDirectory)
        edited.TakeScanStateFrom(live);
}

void TakeScanState(CEvtxMonitor& edited, const CEvtxMonitor& live)
{
    TakeScanState(static_cast<CMonitoredObject&>(edited), live);
    if (edited.m_strPath == live.m_strPath)
        edited.TakeScanStateFrom(live);
}

// Copies the log of kind T and shows its sheet; on OK the copy is assigned
// back, with the scan state the log has then, as soon as no scan uses it.
template <class T, class ShowSheet> BOOL EditCopy(CMonManager& manager, T& log, ShowSheet show)
{
    auto pCopy = std::make_shared<T>(log);
    pCopy->SetID(log.GetID());
    if (!show(*pCopy))
        return FALSE;
    manager.RunWhenNotScanning(&log, ToLParam(ViewHint::LogEdited), [&log, pCopy] {
        TakeScanState(*pCopy, log);
        log = *pCopy;
    });
    return TRUE;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Whether a and b are logs of kind T that read the same thing.
template <class T, class Same>
bool SameAs(const CMonitoredObject& a, const CMonitoredObject& b, Same same)
{
    const auto* pA = dynamic_cast<const T*>(&a);
    const auto* pB = dynamic_cast<const T*>(&b);
    if (!pA || !pB)
        return false;
    return same(*pA, *pB);
}

bool SameLog(const CMonitoredObject& a, const CMonitoredObject& b)
{
    return SameAs<CFileMonitor>(a, b,
                                [](const CFileMonitor& x, const CFileMonitor& y) {
                                    return x.m_strDirectory == y.m_strDirectory &&
                                           x.m_strFileName == y.m_strFileName &&
                                           x.m_bFormattedName == y.m_bFormattedName &&
                                           x.m_strTemplate == y.m_strTemplate;
                                }) ||
           SameAs<CEventMonitor>(a, b,
                                 [](const CEventMonitor& x, const CEventMonitor& y) {
                                     return EqualNoCase(x.GetServer(), y.GetServer()) &&
                                            EqualNoCase(x.GetLogName(), y.GetLogName());
                                 }) ||
           SameAs<CJournalMonitor>(a, b,
                                   [](const CJournalMonitor& x, const CJournalMonitor& y) {
                                       return x.m_strDirectory == y.m_strDirectory &&
                                              x.m_arrMatches == y.m_arrMatches;
                                   }) ||
           SameAs<CEvtxMonitor>(a, b, [](const CEvtxMonitor& x, const CEvtxMonitor& y) {
               return x.m_strPath == y.m_strPath;
           });
}

// The scan state of live in reloaded, two logs of the same kind.
void CarryOne(CMonitoredObject& reloaded, const CMonitoredObject& live)
{
    if (auto* pText = dynamic_cast<CFileMonitor*>(&reloaded))
        TakeScanState(*pText, dynamic_cast<const CFileMonitor&>(live));
    else if (auto* pEvent = dynamic_cast<CEventMonitor*>(&reloaded))
        TakeScanState(*pEvent, dynamic_cast<const CEventMonitor&>(live));
    else if (auto* pJournal = dynamic_cast<CJournalMonitor*>(&reloaded))
        TakeScanState(*pJournal, dynamic_cast<const CJournalMonitor&>(live));
    else if (auto* pEvtx = dynamic_cast<CEvtxMonitor*>(&reloaded))
        TakeScanState(*pEvtx, dynamic_cast<const CEvtxMonitor&>(live));
}

} // namespace

int CarryScanState(CMonManager& reloaded, const CMonManager& running)
{
    int nCarried = 0;
    int pos = 0;
    while (CMonitoredObject* pLog = reloaded.GetNextLog(pos)) {
        int livePos = 0;
        while (const CMonitoredObject* pLive = running.GetNextLog(livePos)) {
            if (!SameLog(*pLog, *pLive))
                continue;
            if (pLive->m_timeLastScanned >= pLog->m_timeLastScanned) {
                CarryOne(*pLog, *pLive);
                ++nCarried;
            }
            break;
        }
    }
    return nCarried;
}

BOOL EditLogProperties(CMonManager& manager, DWORD dwID, IDocumentUi& ui)
{
    CMonitoredObject* pLog = manager.FindLog(dwID);
    if (auto* pFile = dynamic_cast<CFileMonitor*>(pLog))
        return EditCopy(manager, *pFile, [&](CFileMonitor& copy) {
            return ui.EditTextLogSheet(copy, FALSE, ADD_MODE_MENU);
        });
    if (auto* pEvent = dynamic_cast<CEventMonitor*>(pLog))
        return EditCopy(manager, *pEvent,
                        [&](CEventMonitor& copy) { return ui.EditEventLogSheet(copy, FALSE); });
    if (auto* pJournal = dynamic_cast<CJournalMonitor*>(pLog))
        return EditCopy(manager, *pJournal,
                        [&](CJournalMonitor& copy) { return ui.EditJournalSheet(copy, FALSE); });
    if (auto* pEvtx = dynamic_cast<CEvtxMonitor*>(pLog))
        return EditCopy(manager, *pEvtx,
                        [&](CEvtxMonitor& copy) { return ui.EditEvtxSheet(copy, FALSE); });
    return FALSE;
}

BOOL EditWatchGroup(CMonManager& manager, DWORD dwID, int nGroup, IDocumentUi& ui)
{
    CMonitoredObject* pLog = manager.FindLog(dwID);
    CKeysAndActions* pGroup = pLog ? pLog->GetWatchGroup(nGroup) : nullptr;
    if (!pGroup)
        return FALSE;
    CKeysAndActions copy(*pGroup);
    BOOL bOK = pLog->IsEventLog() ? ui.EditEventWatchGroup(copy) : ui.EditTextWatchGroup(copy);
    if (bOK)
        manager.SetWatchGroup(dwID, nGroup, copy);
    return bOK;
}

BOOL EditSearchKey(CMonManager& manager, DWORD dwID, int nGroup, int nKey, IDocumentUi& ui)
{
    CKeysAndActions* pGroup = manager.FindWatchGroup(dwID, nGroup);
    CSearchKey* pKey = pGroup ? pGroup->GetKey(nKey) : nullptr;
    if (!pKey)
        return FALSE;
    std::unique_ptr<CSearchKey> pCopy = pKey->Clone();
    BOOL bOK = FALSE;
    if (auto* pEvent = dynamic_cast<CSearchKeyEvent*>(pCopy.get()))
        bOK = ui.EditEventKey(*pEvent);
    else if (auto* pText = dynamic_cast<CSearchKeyText*>(pCopy.get()))
        bOK = ui.EditTextKey(*pText);
    if (bOK)
        manager.SetSearchKey(dwID, nGroup, nKey, *pCopy);
    return bOK;
}
