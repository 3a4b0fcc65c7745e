#include "journal/journalmonitor.h"

#include <algorithm>
#include <cstdio>

#include "common/brancmn.h"
#include "core/itemid.h"
#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventrecords/eventstruct.h"
#include "journal/journalfields.h"
#include "journal/journalhandle.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "platform/base/strformat.h"
#include "platform/clipboard/clipboard.h"
#include "settings/appsettings.h"
#include "settings/systemlog.h"
#include "tasklib/journalvariables.h"
#include "tasks/trigger.h"

IMPLEMENT_SERIAL(CJournalMonitor, CMonitoredObject, VERSIONABLE_SCHEMA | 1)

namespace {

void WriteAudit(const std::string& line)
{
    LogToFile(AppSettings::GetAuditNT().c_str(), line.c_str(), 1);
}

} // namespace

CJournalMonitor::CJournalMonitor()
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
    m_bEnabled = TRUE;
}

CJournalMonitor::CJournalMonitor(const CJournalMonitor& other)
    : CMonitoredObject(other), m_strDirectory(other.m_strDirectory),
      m_arrMatches(other.m_arrMatches), m_strCursor(other.m_strCursor),
      m_bReadExisting(other.m_bReadExisting)
{
    m_dwID = ITEM_KIND_EVENT_LOG | NewItemID();
}

CJournalMonitor& CJournalMonitor::operator=(const CJournalMonitor& other)
{
    if (this != &other) {
        CMonitoredObject::operator=(other);
        m_strDirectory = other.m_strDirectory;
        m_arrMatches = other.m_arrMatches;
        m_strCursor = other.m_strCursor;
        m_bReadExisting = other.m_bReadExisting;
    }
    return *this;
}

CJournalMonitor::~CJournalMonitor() = default;

bool CJournalMonitor::GetWakeupSource(CWakeupSource& source)
{
    if (!m_pWakeJournal || m_strWakeSource != m_strDirectory) {
        m_pWakeJournal = std::make_unique<CJournalHandle>();
        m_strWakeSource = m_strDirectory;
        std::string strError;
        if (!m_pWakeJournal->Open(m_strDirectory, {}, strError))
            m_pWakeJournal->Close();
    }
    source.fd = m_pWakeJournal->IsOpen() ? m_pWakeJournal->GetWakeupFd() : -1;
    return source.fd >= 0;
}

bool CJournalMonitor::ProcessWakeup()
{
    return m_pWakeJournal && m_pWakeJournal->Process() > 0;
}

void CJournalMonitor::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CMonitoredObject));
    CMonitoredObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{1} << m_strDirectory << static_cast<DWORD>(m_arrMatches.size());
        for (const std::string& strMatch : m_arrMatches)
            ar << strMatch;
        ar << m_strCursor << LONG{m_bReadExisting} << DWORD{0};
        return;
    }
    DWORD dwVersion = 0;
    DWORD dwCount = 0;
    DWORD dwReserved = 0;
    ar >> dwVersion >> m_strDirectory >> dwCount;
    // Each match takes at least its length byte.
    ar.CheckCount(dwCount, 1);
    m_arrMatches.clear();
    for (DWORD i = 0; i < dwCount; ++i) {
        std::string strMatch;
        ar >> strMatch;
        m_arrMatches.push_back(std::move(strMatch));
    }
    ar >> m_strCursor >> m_bReadExisting >> dwReserved;
}

std::string CJournalMonitor::GetDisplayName() const
{
    std::string name = m_strDirectory.empty() ? "Journal" : "Journal " + m_strDirectory;
    if (!m_arrMatches.empty()) {
        name += " (";
        for (std::size_t i = 0; i < m_arrMatches.size(); ++i)
            name += (i ? " " : "") + m_arrMatches[i];
        name += ")";
    }
    return name;
}

int CJournalMonitor::GetImageIndex() const
{
    if (!m_bEnabled)
        return 7;
    return (m_nState == MON_STATE_NONE || m_nState == MON_STATE_ERROR) ? 6 : 14;
}

UINT CJournalMonitor::GetWatchGroupClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::WATCHEVENT);
}

UINT CJournalMonitor::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::MONEVENTLOG);
}

void CJournalMonitor::TakeScanStateFrom(const CJournalMonitor& live)
{
    m_strCursor = live.m_strCursor;
    m_bReadExisting = live.m_bReadExisting;
}

// The keys of every group, taken once per scan: edits of a log wait until
// its scan ends, so the lists stay as they are meanwhile.
struct CJournalMonitor::CScanPlan {
    struct CGroup {
        CKeysAndActions* pGroup;
        std::vector<CSearchKey*> keys;
        std::vector<CSearchKeyEvent*> eventKeys;
        std::vector<CSearchKeyText*> textKeys;
        std::vector<CSearchKeyRegex*> regexKeys;
    };
    std::vector<CGroup> groups;
    bool bNeedText = false; // some key tests MESSAGE
    bool bAudit = false;
    std::string strName;
    CJournalEntryFields fields;
    CJournalUserNames users;
    CEventStruct event;
    CPreparedLine message;
    // "%JOURNAL_UNIT%" and "%JOURNAL_FIELD:NAME%" of every field of the
    // current entry, and its sequence number, made once for all groups it
    // triggers; the texts keep their memory from entry to entry.
    std::string journalNames; // the names, one after the other
    std::vector<std::size_t> nameSizes;
    std::vector<CTaskVariables::NameValue> journalVariables;
    std::uint64_t nSeqnum = 0;
    bool bTriggerReady = false;

    explicit CScanPlan(const CMonitoredObject& log)
    {
        int pos = 0;
        while (CKeysAndActions* pGroup = log.GetNextWatchGroup(pos)) {
            CGroup group{pGroup, {}, {}, {}, {}};
            int nKey = 0;
            while (CSearchKey* pKey = pGroup->GetNextKey(nKey)) {
                group.keys.push_back(pKey);
                if (auto* pEvent = dynamic_cast<CSearchKeyEvent*>(pKey)) {
                    group.eventKeys.push_back(pEvent);
                    bNeedText = bNeedText || pEvent->GetTextOperator() != 0;
                } else if (auto* pText = dynamic_cast<CSearchKeyText*>(pKey)) {
                    group.textKeys.push_back(pText);
                    bNeedText = true;
                } else if (auto* pRegex = dynamic_cast<CSearchKeyRegex*>(pKey)) {
                    group.regexKeys.push_back(pRegex);
                    bNeedText = true;
                }
            }
            groups.push_back(std::move(group));
        }
    }
};

void CJournalMonitor::Scan()
{
    CSystemLogRepeatScope repeats;
    CLogonScope logon(*this);
    if (!logon)
        return;
    const std::string strName = GetDisplayName();
    std::vector<CJournalMatch> matches;
    std::string strError;
    CJournalHandle journal;
    if (!ParseJournalMatches(m_arrMatches, matches, strError) ||
        !journal.Open(m_strDirectory, matches, strError)) {
        SetState(MON_STATE_ERROR);
        WriteSystemLogF("Error opening: %s failed: %s", strName.c_str(), strError.c_str());
        return;
    }
    const bool bAudit = g_bExtendedAudit != 0;
    if (m_strCursor.empty() && (!m_bReadExisting || m_bJumpPending)) {
        // A new log starts at the end: what is there now was not asked for.
        logon.Revert();
        JumpToEnd();
        SetState(MON_STATE_UNCHANGED);
        return;
    }
    int r = 0;
    if (m_strCursor.empty()) {
        journal.SeekHead();
        r = journal.Next();
    } else {
        // The entry of the cursor was read: go on after it. When it is gone
        // (vacuumed), the position it leads to is the first unread entry.
        journal.SeekCursor(m_strCursor);
        r = journal.Next();
        if (r > 0 && journal.TestCursor(m_strCursor))
            r = journal.Next();
        else if (r > 0 && bAudit)
            WriteAudit(FormatString("%-30s The last entry read is no longer in the journal",
                                    strName.c_str()));
    }
    if (r <= 0) {
        SetState(MON_STATE_UNCHANGED);
        return;
    }
    SetState(MON_STATE_GREW);
    CScanPlan plan(*this);
    plan.bAudit = bAudit;
    plan.strName = strName;
    std::size_t nRead = 0;
    bool bStopped = false;
    for (; r > 0; r = journal.Next()) {
        if (!TestEntry(journal, plan)) {
            bStopped = true;
            break;
        }
        ++nRead;
    }
    if (r < 0)
        WriteSystemLogF("Error reading: %s failed: %s", strName.c_str(),
                        CJournalHandle::ErrorText(r).c_str());
    // The journal stays on the last entry tested (the end leaves it there);
    // a stop leaves it on the entry after that one.
    if (bStopped && nRead > 0)
        journal.Previous();
    if (nRead > 0) {
        std::string strCursor = journal.GetCursor();
        if (!strCursor.empty())
            m_strCursor = std::move(strCursor);
    }
    if (bStopped)
        WriteSystemLogF("%s Terminated scan after %zu entries", strName.c_str(), nRead);
    m_bJumpPending = FALSE;
}

bool CJournalMonitor::TestEntry(CJournalHandle& journal, CScanPlan& plan)
{
    ++m_counters.m_nEntriesRead;
    if (plan.groups.empty() && !plan.bAudit)
        return !IsStopRequested();
    // The timestamp waits for a trigger or the audit.
    journal.ReadFieldsUntimed(plan.fields);
    JournalEntryToEvent(plan.fields, plan.users, plan.event);
    plan.message.Prepare(plan.fields.message);
    plan.bTriggerReady = false;
    bool bTriggered = false;
    for (CScanPlan::CGroup& group : plan.groups) {
        for (CSearchKey* pKey : group.keys)
            pKey->m_nHits = 0;
        if (IsStopRequested())
            return false;
        for (CSearchKeyEvent* pKey : group.eventKeys) {
            if (pKey->Match(plan.event, plan.message)) {
                ++pKey->m_nHits;
                break;
            }
        }
        for (CSearchKeyText* pKey : group.textKeys)
            if (pKey->Match(plan.message))
                ++pKey->m_nHits;
        for (CSearchKeyRegex* pKey : group.regexKeys)
            if (pKey->Match(plan.message))
                ++pKey->m_nHits;
        if (!group.pGroup->IsTriggered())
            continue;
        bTriggered = true;
        SetVariables(*group.pGroup, journal, plan);
        ApplyLaunchRule(*group.pGroup, &m_counters);
    }
    if (plan.bAudit) {
        if (!bTriggered)
            SetJournalEventTime(plan.event, journal.GetRealtimeUsec());
        WriteAudit(FormatString("%-30s -> %s, %s, %s : ", plan.strName.c_str(),
                                plan.event.m_timeGenerated.Format("%m/%d/%y  %H:%M:%S").c_str(),
                                plan.event.m_strSource.c_str(),
                                std::string(plan.fields.message.substr(0, 80)).c_str()) +
                   (bTriggered ? FormatString(" TASK SEQ - %u",
                                              static_cast<unsigned>(g_nTaskSequence.load()))
                               : std::string(" NO TRIGGERS")));
    }
    return true;
}

void CJournalMonitor::SetVariables(CKeysAndActions& group, CJournalHandle& journal, CScanPlan& plan)
{
    CEventStruct& event = plan.event;
    if (!plan.bTriggerReady) {
        SetJournalEventTime(event, journal.GetRealtimeUsec());
        std::vector<CTaskVariables::NameValue>& vars = plan.journalVariables;
        std::string& names = plan.journalNames;
        vars.clear();
        names.clear();
        plan.nameSizes.clear();
        for (std::size_t i = 0; i < plan.fields.GetCount(); ++i) {
            const std::string_view data = plan.fields.GetField(i);
            const std::size_t eq = data.find('=');
            if (eq == std::string_view::npos)
                continue;
            const std::size_t nStart = names.size();
            names.append(VAR_JOURNAL_FIELD_PREFIX).append(data.substr(0, eq)) += '%';
            plan.nameSizes.push_back(names.size() - nStart);
            vars.emplace_back(std::string_view(), data.substr(eq + 1));
        }
        // The names are taken once their texts no longer move.
        std::size_t nStart = 0;
        for (std::size_t i = 0; i < vars.size(); ++i) {
            vars[i].first = std::string_view(names).substr(nStart, plan.nameSizes[i]);
            nStart += plan.nameSizes[i];
        }
        vars.emplace_back(VAR_JOURNAL_UNIT, plan.fields.unit);
        // Sorted once for all groups (a repeated field keeps its order).
        std::stable_sort(vars.begin(), vars.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        plan.nSeqnum = JournalCursorSeqnum(journal.GetCursor());
        plan.bTriggerReady = true;
    }
    // The fields of this entry only: those of an earlier entry go.
    group.m_task.ReplaceTranslationStrings(
        "%JOURNAL_",
        [](std::string_view name) { return name.starts_with(VAR_JOURNAL_FIELD_PREFIX); },
        plan.journalVariables);
    SetEventVariables(group, event, event.m_timeGenerated, std::string(plan.fields.message),
                      plan.fields.facility.empty() ? std::string()
                                                   : JournalFacilityName(event.m_nCategory),
                      plan.strName, plan.nSeqnum);
}

void CJournalMonitor::JumpToEnd()
{
    const bool bAudit = g_bExtendedAudit != 0;
    std::string strError;
    CJournalHandle journal;
    // The end of the whole journal: the next matching entry comes after it
    // even when none matches yet.
    CLogonScope logon(*this);
    if (logon && journal.Open(m_strDirectory, {}, strError) && journal.SeekTail()) {
        if (journal.Previous() > 0) {
            m_strCursor = journal.GetCursor();
        } else {
            // An empty journal: everything that comes is new.
            m_strCursor.clear();
            m_bReadExisting = TRUE;
        }
        m_bJumpPending = FALSE;
        if (bAudit)
            WriteAudit(
                FormatString("%-30s Preset to %s", GetDisplayName().c_str(), m_strCursor.c_str()));
    } else {
        m_strCursor.clear();
        m_bJumpPending = TRUE;
    }
}

void RegisterJournalClasses()
{
    RegisterCoreClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CJournalMonitor));
}
