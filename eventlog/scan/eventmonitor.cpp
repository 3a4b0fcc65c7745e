#include "eventlog/scan/eventmonitor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "common/brancmn.h"
#include "core/itemid.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventrecords/eventlist.h"
#include "eventrecords/eventloghandle.h"
#include "match/searchkeyevent.h"
#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/clipboard/clipboard.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasks/trigger.h"

IMPLEMENT_SERIAL(CEventMonitor, CMonitoredObject, VERSIONABLE_SCHEMA | 1)

namespace {

void WriteAudit(const std::string& line)
{
    LogToFile(AppSettings::GetAuditNT().c_str(), line.c_str(), 1);
}

} // namespace

CEventMonitor::CEventMonitor()
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
}

CEventMonitor::CEventMonitor(const CEventMonitor& other)
    : CMonitoredObject(other), m_strServer(other.m_strServer), m_strLogName(other.m_strLogName),
      m_nLastRecord(other.m_nLastRecord), m_nSeenOldest(other.m_nSeenOldest),
      m_nSeenIdentity(other.m_nSeenIdentity)
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
}

CEventMonitor& CEventMonitor::operator=(const CEventMonitor& other)
{
    if (this != &other) {
        CMonitoredObject::operator=(other);
        m_strServer = other.m_strServer;
        m_strLogName = other.m_strLogName;
        m_nLastRecord = other.m_nLastRecord;
        m_nSeenOldest = other.m_nSeenOldest;
        m_nSeenIdentity = other.m_nSeenIdentity;
    }
    return *this;
}

void CEventMonitor::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CMonitoredObject));
    CMonitoredObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_strServer << m_strLogName << m_nLastRecord << DWORD{0};
    } else {
        DWORD dwVersion = 0;
        DWORD dwReserved = 0;
        ar >> dwVersion >> m_strServer >> m_strLogName >> m_nLastRecord >> dwReserved;
    }
}

int CEventMonitor::GetImageIndex() const
{
    if (!m_bEnabled)
        return 7;
    return (m_nState == MON_STATE_NONE || m_nState == MON_STATE_ERROR) ? 6 : 14;
}

UINT CEventMonitor::GetWatchGroupClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::WATCHEVENT);
}

UINT CEventMonitor::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::MONEVENTLOG);
}

// The texts of one event, rendered on first use: a scan whose keys test no
// text renders only the events that fire a group (for the task's variables).
struct CEventMonitor::CEventTexts {
    CEventTexts(CEventRenderer& renderer, const CEventStruct& event)
        : m_renderer(renderer), m_event(event)
    {
    }

    CEventRenderer& m_renderer;
    const CEventStruct& m_event;
    bool m_bRendered = false;
    std::string m_strDescription;
    std::string m_strCategory;
    CPreparedLine m_description;

    void Ensure()
    {
        if (m_bRendered)
            return;
        m_renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, m_event, m_strDescription,
                               m_strCategory);
        m_description.Prepare(m_strDescription);
        m_bRendered = true;
    }
};

void CEventMonitor::Scan()
{
    // Lines repeated within this scan are written once, with their count.
    CSystemLogRepeatScope repeats;
    CLogonScope logon(*this);
    if (!logon)
        return;
    const std::string strName = GetDisplayName();
    CEventLogHandle log;
    if (!log.Open(m_strServer, m_strLogName)) {
        SetState(MON_STATE_ERROR);
        WriteSystemLogF("Error opening: %s failed: %d - %s", strName.c_str(),
                        static_cast<int>(log.GetError()),
                        GetSystemErrorText(log.GetError()).c_str());
        return;
    }
    const DWORD nNewest = log.GetNewest();
    const DWORD nOldest = log.GetOldest();
    CEventLogFileInfo info;
    const bool bInfo = log.GetFileInfo(info) != FALSE;
    const std::uint64_t nIdentity = bInfo ? info.m_nFileIdentity : 0;
    const bool bDamaged = bInfo && info.m_dwDamageOffset != 0;
    // A log cleared (and maybe refilled past the last record) since the last
    // scan: the file is another one, or record numbers start again in an
    // intact file. Damage is never taken for a clear: its records were read
    // already.
    const bool bKnown = m_nSeenIdentity != 0;
    const bool bCleared = bKnown && ((nIdentity != 0 && nIdentity != m_nSeenIdentity) ||
                                     (nOldest != 0 && nOldest < m_nSeenOldest && !bDamaged));
    if (!bCleared && nNewest < m_nLastRecord && (bKnown || bDamaged)) {
        // The newest records are gone but the file is the same: damage. The
        // scan waits for records after the last one read.
        if (m_nDamageReported != nNewest + 1)
            WriteSystemLogF("%s : The newest record %u is below the last record read %u and the "
                            "log was not cleared: it is damaged (run qvevent repair); records "
                            "after %u will be read",
                            strName.c_str(), nNewest, m_nLastRecord, m_nLastRecord);
        m_nDamageReported = nNewest + 1;
        m_nSeenIdentity = nIdentity;
        SetState(MON_STATE_UNCHANGED);
        return;
    }
    m_nDamageReported = 0;
    m_nSeenIdentity = nIdentity;
    m_nSeenOldest = nOldest;
    if (bCleared || nNewest < m_nLastRecord)
        SetState(MON_STATE_SHRANK);
    else if (nNewest > m_nLastRecord)
        SetState(MON_STATE_GREW);
    else {
        SetState(MON_STATE_UNCHANGED);
        return;
    }
    DWORD nFirst = GetState() == MON_STATE_SHRANK ? nOldest : m_nLastRecord + 1;
    if (nFirst < nOldest)
        nFirst = nOldest; // records the log overwrote since the last scan
    const DWORD nLast = std::min(nNewest, log.GetNewest());
    if (nLast == 0) {
        // Emptied: nothing to read, and every record that comes is new.
        m_nLastRecord = 0;
        return;
    }
    const bool bAudit = g_bExtendedAudit != 0;
    if (bAudit)
        WriteAudit(FormatString("%-30s Reading events: %u to %u", strName.c_str(), nFirst, nLast));
    if (bAudit && m_bJumpPending)
        WriteAudit(FormatString("%-30s Cutoff > no events before %s will be checked",
                                strName.c_str(), m_timeCutoff.Format("%m/%d/%y %H:%M:%S").c_str()));

    // The records are read and tested a slice at a time, so memory stays
    // bounded however far the log grew. When no record completes (the read
    // gave nothing, or a stop came during the first), the position stays
    // where it was rather than falling to 0, which would make the next scan
    // run every task of the log again.
    DWORD nLastCompleted = m_nLastRecord;
    DWORD nFirstRead = 0;
    DWORD nLastRead = 0;
    CEventRenderer renderer(m_strServer, m_strLogName, strName, this);
    CEventList list;
    int nTasksSinceSave = 0;
    for (DWORD nNext = nFirst; nNext <= nLast;) {
        if (!logon.Renew()) {
            // The logon set the error state and said why; the rest waits
            // for the next scan.
            m_nLastRecord = nLastCompleted;
            return;
        }
        const DWORD nSliceLast =
            nLast - nNext < EVENT_SCAN_SLICE ? nLast : nNext + EVENT_SCAN_SLICE - 1;
        list.Recycle();
        const BOOL bRead = log.ReadEvents(nNext, nSliceLast, list);
        logon.Revert();
        if (!list.IsEmpty()) {
            if (nFirstRead == 0)
                nFirstRead = list.GetFirst()->m_nRecordNumber;
            nLastRead = list.GetLast()->m_nRecordNumber;
        }
        bool bStopped = false;
        std::size_t pos = 0;
        while (const CEventStruct* pEvent = list.GetNext(pos)) {
            bool bTriggered = false;
            if (!TestEvent(*pEvent, renderer, bAudit, &bTriggered)) {
                bStopped = true;
                break;
            }
            nLastCompleted = pEvent->m_nRecordNumber;
            if (bTriggered && ++nTasksSinceSave >= SCAN_CHECKPOINT_TASKS) {
                // The position goes past the tasks that ran, and may be saved.
                m_nLastRecord = nLastCompleted;
                nTasksSinceSave = 0;
                ReachScanCheckpoint();
            }
        }
        if (bStopped || (!bRead && IsStopRequested())) {
            m_nLastRecord = nLastCompleted;
            WriteSystemLogF("%s Terminated scan on record %u", strName.c_str(),
                            static_cast<unsigned>(nLastCompleted));
            return;
        }
        // Every record up to the one the read reached is done: tested, or
        // passed over by the read (too large to hand out), so the position
        // moves past it too.
        const DWORD nReached = log.GetLastReached();
        if (!bRead || nReached < nNext)
            break;
        nLastCompleted = nReached;
        nNext = nReached + 1;
    }
    if (nFirstRead != 0 && (nFirstRead != nFirst || nLastRead != nLast))
        WriteSystemLog(
            FormatString("%30s Partial read! %u TO %u\n", strName.c_str(), nFirstRead, nLastRead)
                .c_str());
    m_nLastRecord = nLastCompleted;
    m_bJumpPending = FALSE;
    m_timeCutoff = CTime();
}

bool CEventMonitor::TestEvent(const CEventStruct& event, CEventRenderer& renderer, bool bAudit,
                              bool* pbTriggered)
{
    ++m_counters.m_nEntriesRead;
    const std::string strName = bAudit ? GetDisplayName() : std::string();
    std::string strAudit;
    if (bAudit || m_bJumpPending) {
        const CTime timeGenerated = event.GetTimeGenerated();
        if (bAudit)
            strAudit =
                FormatString("%-30s -> %u ,%s, %s, %u : ", strName.c_str(), event.m_nRecordNumber,
                             timeGenerated.Format("%m/%d/%y  %H:%M:%S").c_str(),
                             event.m_strSource.c_str(), event.m_nEventID & 0xFFFF);
        if (m_bJumpPending && timeGenerated < m_timeCutoff) {
            if (bAudit)
                WriteAudit(strAudit +
                           FormatString("Cutoff %u : %s", event.m_nRecordNumber,
                                        timeGenerated.Format("%m/%d/%y %H:%M:%S").c_str()));
            return true;
        }
    }
    CEventTexts texts(renderer, event);
    bool bTriggered = false;
    int nGroup = 0;
    while (CKeysAndActions* pGroup = GetNextWatchGroup(nGroup)) {
        pGroup->ResetHits();
        if (IsStopRequested())
            return false;
        TriggerEvent(*pGroup, event, texts);
        if (pGroup->IsTriggered()) {
            bTriggered = true;
            ApplyLaunchRule(*pGroup, &m_counters);
        }
    }
    if (pbTriggered)
        *pbTriggered = bTriggered;
    if (bAudit)
        WriteAudit(strAudit + (bTriggered
                                   ? FormatString(" TASK SEQ - %u",
                                                  static_cast<unsigned>(g_nTaskSequence.load()))
                                   : std::string(" NO TRIGGERS")));
    return true;
}

void CEventMonitor::TriggerEvent(CKeysAndActions& group, const CEventStruct& event,
                                 CEventTexts& texts)
{
    int pos = 0;
    while (CSearchKey* pKey = group.GetNextKey(pos)) {
        auto* pEventKey = dynamic_cast<CSearchKeyEvent*>(pKey);
        if (!pEventKey)
            continue;
        if (pEventKey->GetTextOperator() != 0)
            texts.Ensure();
        if (pEventKey->Match(event, texts.m_description)) {
            ++pEventKey->m_nHits;
            break;
        }
    }
    if (!group.IsTriggered())
        return;
    texts.Ensure();
    SetEventVariables(group, event, event.GetTimeGenerated(), texts.m_strDescription,
                      texts.m_strCategory, GetDisplayName(), event.m_nRecordNumber);
}

void CEventMonitor::JumpToEnd()
{
    const bool bAudit = g_bExtendedAudit != 0;
    CEventLogHandle log;
    CLogonScope logon(*this);
    if (logon && log.Open(m_strServer, m_strLogName)) {
        m_nLastRecord = log.GetNewest();
        m_nSeenOldest = log.GetOldest();
        m_nSeenIdentity = log.GetFileIdentity();
        m_bJumpPending = FALSE;
        m_timeCutoff = CTime();
        if (bAudit)
            WriteAudit(FormatString("%-30s Preset to %u", GetDisplayName().c_str(), m_nLastRecord));
        log.Close();
    } else {
        m_bJumpPending = TRUE;
        m_timeCutoff = CTime::GetCurrentTime();
        if (bAudit)
            WriteAudit(FormatString("%-30s Cutoff > no events before %s will be checked",
                                    GetDisplayName().c_str(),
                                    m_timeCutoff.Format("%m/%d/%y %H:%M:%S").c_str()));
    }
}

BOOL CEventMonitor::ClearLog()
{
    const CLogonScope logon(*this);
    if (!logon)
        return 0;
    BOOL bResult = 0;
    CEventLogHandle log;
    if (!log.Open(m_strServer, m_strLogName)) {
        WriteSystemLogF("Error opening log: %s - %s", GetDisplayName().c_str(),
                        GetSystemErrorText(log.GetError()).c_str());
    } else if ((bResult = log.Clear()) != 0) {
        m_nLastRecord = 0;
        m_nSeenOldest = 0;
        m_nSeenIdentity = 0;
    } else {
        WriteSystemLogF("Error clearing log: %s - %s", GetDisplayName().c_str(),
                        GetSystemErrorText(log.GetError()).c_str());
    }
    return bResult;
}

BOOL CEventMonitor::MarkLog(const std::string& text)
{
    const CLogonScope logon(*this);
    return logon ? CEventLogHandle::ReportMark(m_strServer, text) : 0;
}

void CEventMonitor::RenderEvent(DWORD dwFlags, const CEventStruct& event,
                                std::string& strDescription, std::string& strCategory)
{
    CEventRenderer(m_strServer, m_strLogName, GetDisplayName(), this)
        .RenderEvent(dwFlags, event, strDescription, strCategory);
}

void CEventMonitor::TakeScanStateFrom(const CEventMonitor& live)
{
    m_nLastRecord = live.m_nLastRecord;
    m_nSeenOldest = live.m_nSeenOldest;
    m_nSeenIdentity = live.m_nSeenIdentity;
}

void RegisterEventScanClasses()
{
    RegisterCoreClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CEventMonitor));
    // Block reads give up when the scan thread is asked to stop.
    SetEventReadStopCheck([] { return IsStopRequested(); });
}
