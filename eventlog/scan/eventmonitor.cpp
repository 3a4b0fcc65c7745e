#include "eventlog/scan/eventmonitor.h"

#include <cstdio>

#include "app/settings/appsettings.h"
#include "app/settings/systemlog.h"
#include "brancmn/brancmn.h"
#include "core/model/itemid.h"
#include "core/model/keysandactions.h"
#include "core/model/monmanager.h"
#include "eventlog/records/eventlist.h"
#include "eventlog/records/eventloghandle.h"
#include "match/searchkeyevent.h"
#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/clipboard/clipboard.h"
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
      m_nLastRecord(other.m_nLastRecord)
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

void CEventMonitor::Scan()
{
    if (!LogonAsUser())
        return;
    const std::string strName = GetDisplayName();
    CEventLogHandle log;
    if (!log.Open(m_strServer, m_strLogName)) {
        SetState(MON_STATE_ERROR);
        WriteSystemLogF("Error opening: %s failed: %d - %s", strName.c_str(),
                        static_cast<int>(log.GetError()), GetSystemErrorText(log.GetError()).c_str());
        RevertLogon();
        return;
    }
    DWORD nNewest = log.GetNewest();
    if (nNewest < m_nLastRecord)
        SetState(MON_STATE_SHRANK);
    else if (nNewest > m_nLastRecord)
        SetState(MON_STATE_GREW);
    else {
        SetState(MON_STATE_UNCHANGED);
        RevertLogon();
        return;
    }
    const DWORD nOldest = log.GetOldest();
    DWORD nFirst = GetState() == MON_STATE_SHRANK ? nOldest : m_nLastRecord + 1;
    if (nFirst < nOldest)
        nFirst = nOldest; // records the log overwrote since the last scan
    DWORD nLast = std::min(nNewest, log.GetNewest());
    const bool bAudit = g_bExtendedAudit != 0;
    if (bAudit)
        WriteAudit(FormatString("%-30s Reading events: %u to %u", strName.c_str(), nFirst, nLast));

    CEventList list;
    log.ReadEvents(nFirst, nLast, list);
    if (!list.IsEmpty() &&
        (list.GetFirst()->m_nRecordNumber != nFirst || list.GetLast()->m_nRecordNumber != nLast))
        WriteSystemLog(FormatString("%30s Partial read! %u TO %u\n", strName.c_str(),
                              list.GetFirst()->m_nRecordNumber, list.GetLast()->m_nRecordNumber)
                           .c_str());
    RevertLogon();

    if (bAudit && m_bJumpPending)
        WriteAudit(FormatString("%-30s Cutoff > no events before %s will be checked", strName.c_str(),
                          m_timeCutoff.Format("%m/%d/%y %H:%M:%S").c_str()));

    // When no record completes (the read gave nothing, or a stop came during
    // the first), the position stays where it was rather than falling to 0,
    // which would make the next scan run every task of the log again.
    DWORD nLastCompleted = m_nLastRecord;
    std::string strDescription;
    std::string strCategory;
    CPreparedLine description;
    CEventRenderer renderer(m_strServer, m_strLogName, strName, this);
    std::size_t pos = 0;
    while (const CEventStruct* pEvent = list.GetNext(pos)) {
        const CTime timeGenerated = pEvent->GetTimeGenerated();
        std::string strAudit;
        if (bAudit)
            strAudit = FormatString("%-30s -> %u ,%s, %s, %u : ", strName.c_str(), pEvent->m_nRecordNumber,
                              timeGenerated.Format("%m/%d/%y  %H:%M:%S").c_str(),
                              pEvent->m_strSource.c_str(), pEvent->m_nEventID & 0xFFFF);
        if (m_bJumpPending && timeGenerated < m_timeCutoff) {
            if (bAudit)
                WriteAudit(strAudit + FormatString("Cutoff %u : %s", pEvent->m_nRecordNumber,
                                             timeGenerated.Format("%m/%d/%y %H:%M:%S").c_str()));
            nLastCompleted = pEvent->m_nRecordNumber;
            continue;
        }
        strDescription.clear();
        strCategory.clear();
        renderer.RenderEvent(RENDER_DESCRIPTION | RENDER_CATEGORY, *pEvent, strDescription, strCategory);
        description.Prepare(strDescription);

        bool bTriggered = false;
        int nGroup = 0;
        while (CKeysAndActions* pGroup = GetNextWatchGroup(nGroup)) {
            pGroup->ResetHits();
            if (IsStopRequested()) {
                m_nLastRecord = nLastCompleted;
                WriteSystemLogF("%s Terminated scan on record %u", strName.c_str(),
                                static_cast<unsigned>(nLastCompleted));
                return;
            }
            TriggerEvent(*pGroup, *pEvent, description, strCategory);
            if (pGroup->IsTriggered()) {
                bTriggered = true;
                ApplyLaunchRule(*pGroup);
            }
        }
        if (bAudit)
            WriteAudit(strAudit + (bTriggered ? FormatString(" TASK SEQ - %u", static_cast<unsigned>(g_nTaskSequence.load()))
                                              : std::string(" NO TRIGGERS")));
        nLastCompleted = pEvent->m_nRecordNumber;
    }
    m_nLastRecord = nLastCompleted;
    m_bJumpPending = FALSE;
    m_timeCutoff = CTime();
}

void CEventMonitor::TriggerEvent(CKeysAndActions& group, const CEventStruct& event,
                                 const CPreparedLine& description, const std::string& strCategory)
{
    int pos = 0;
    while (CSearchKey* pKey = group.GetNextKey(pos)) {
        auto* pEventKey = dynamic_cast<CSearchKeyEvent*>(pKey);
        if (pEventKey && pEventKey->Match(event, description)) {
            ++pEventKey->m_nHits;
            break;
        }
    }
    if (!group.IsTriggered())
        return;
    const std::string strName = GetDisplayName();
    group.SetVariable(VAR_EVENT_TIME, FormatEventTime(event.GetTimeGenerated()));
    group.SetVariable(VAR_EVENT_SOURCE, event.m_strSource);
    group.SetVariable(VAR_EVENT_USER, event.m_strUser);
    group.SetVariable(VAR_EVENT_COMPUTER, event.m_strComputer);
    group.SetVariableNumber(VAR_EVENT_CATEGORYID, static_cast<int>(event.m_nCategory));
    group.SetVariableNumber(VAR_EVENT_ID, static_cast<int>(event.m_nEventID & 0xFFFF));
    group.SetVariable(VAR_EVENT_TYPE, GetEventTypeName(event.m_nEventType));
    group.SetVariable(VAR_EVENT_TEXT, std::string(description.GetLine()));
    group.SetVariable(VAR_EVENT_CATEGORYTEXT, strCategory);
    group.SetVariable(VAR_EVENT_SHORTNAME, strName);
    group.SetVariable(VAR_EVENT_LONGNAME, strName);
    group.SetVariableNumber(VAR_EVENT_SEQUENCE, static_cast<int>(event.m_nRecordNumber));
    SetNextTaskSequence(group);
}

void CEventMonitor::JumpToEnd()
{
    const bool bAudit = g_bExtendedAudit != 0;
    CEventLogHandle log;
    if (LogonAsUser() && log.Open(m_strServer, m_strLogName)) {
        m_nLastRecord = log.GetNewest();
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
    RevertLogon();
}

BOOL CEventMonitor::ClearLog()
{
    if (!LogonAsUser())
        return 0;
    BOOL bResult = 0;
    CEventLogHandle log;
    if (!log.Open(m_strServer, m_strLogName)) {
        WriteSystemLogF("Error opening log: %s - %s", GetDisplayName().c_str(),
                        GetSystemErrorText(log.GetError()).c_str());
    } else if ((bResult = log.Clear()) != 0) {
        m_nLastRecord = 0;
    } else {
        WriteSystemLogF("Error clearing log: %s - %s", GetDisplayName().c_str(),
                        GetSystemErrorText(log.GetError()).c_str());
    }
    RevertLogon();
    return bResult;
}

BOOL CEventMonitor::MarkLog(const std::string& text)
{
    if (!LogonAsUser())
        return 0;
    BOOL bResult = CEventLogHandle::ReportMark(m_strServer, text);
    RevertLogon();
    return bResult;
}

void CEventMonitor::RenderEvent(DWORD dwFlags, const CEventStruct& event, std::string& strDescription,
                                std::string& strCategory)
{
    CEventRenderer(m_strServer, m_strLogName, GetDisplayName(), this)
        .RenderEvent(dwFlags, event, strDescription, strCategory);
}

void RegisterEventScanClasses()
{
    RegisterCoreClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CEventMonitor));
    // Block reads give up when the scan thread is asked to stop.
    SetEventReadStopCheck([] { return IsStopRequested(); });
}
