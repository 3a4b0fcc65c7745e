#include "core/keysandactions.h"

#include "archive/globalarchive.h"
#include "core/monitoredobject.h"
#include "core/monmanager.h"
#include "match/matchclasses.h"
#include "settings/systemlog.h"

IMPLEMENT_SERIAL(CKeysAndActions, CObject, VERSIONABLE_SCHEMA | 2)

namespace {

// The event variables a trigger fills, in the order they are emptied.
constexpr const char* EMPTY_VARIABLES[] = {
    "%EVENT_TIME%",       "%EVENT_SOURCE%",    "%EVENT_USER%",     "%EVENT_COMPUTER%",
    "%EVENT_CATEGORYID%", "%EVENT_ID%",        "%EVENT_TYPE%",     "%EVENT_CATEGORYTEXT%",
    "%EVENT_TEXT%",       "%EVENT_SHORTNAME%", "%EVENT_LONGNAME%", "%EVENT_SEQUENCE%",
};

} // namespace

std::string NewWatchGroupName(int number)
{
    return "<New Watch Group " + std::to_string(number) + ">";
}

CKeysAndActions::CKeysAndActions()
{
    SetEmptyVariables();
}

CKeysAndActions::CKeysAndActions(const CKeysAndActions& other) : CKeysAndActions()
{
    *this = other;
    m_bTaskChanged = 1;
}

CKeysAndActions& CKeysAndActions::operator=(const CKeysAndActions& other)
{
    if (this == &other)
        return *this;
    m_strDescription = other.m_strDescription;
    m_task = other.m_task;
    m_bMinInterval = other.m_bMinInterval;
    m_nMinIntervalMinutes = other.m_nMinIntervalMinutes;
    m_rules = other.m_rules;
    m_bDigest = other.m_bDigest;
    m_nDigestRuns = other.m_nDigestRuns;
    m_nDigestMinutes = other.m_nDigestMinutes;
    m_digest = other.m_digest;
    m_bTaskChanged = 1;
    RemoveAllKeys();
    int pos = 0;
    while (const CSearchKey* pKey = other.GetNextKey(pos))
        if (std::unique_ptr<CSearchKey> pCopy = pKey->Clone())
            AddKey(pCopy.release());
    return *this;
}

CKeysAndActions::~CKeysAndActions()
{
    RemoveAllKeys();
}

void CKeysAndActions::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        std::vector<CSearchKey*> keys;
        {
            CSingleLock lock(g_csMonitor);
            keys = m_arrKeys;
        }
        // Version 3 adds the threshold and silence rules, version 4 the digest
        // after them; each only when used.
        const DWORD dwVersion = m_bDigest ? 4u : m_rules.IsUsed() ? 3u : 2u;
        ar << dwVersion << m_strDescription << static_cast<DWORD>(keys.size());
        for (const CSearchKey* pKey : keys)
            ar.WriteObject(pKey);
        ar.WriteObject(&m_task);
        ar << LONG{m_bMinInterval} << LONG{m_nMinIntervalMinutes};
        if (dwVersion >= 3)
            m_rules.Store(ar);
        if (dwVersion >= 4) {
            ar << LONG{m_bDigest} << LONG{m_nDigestRuns} << LONG{m_nDigestMinutes};
            m_digest.Serialize(ar);
        }
        return;
    }
    ar.GetObjectSchema();
    DWORD dwVersion = 0;
    DWORD dwCount = 0;
    ar >> dwVersion >> m_strDescription >> dwCount;
    ar.CheckCount(dwCount, 2);
    for (DWORD i = 0; i < dwCount; ++i) {
        std::unique_ptr<CSearchKey> pKey = ar.ReadObjectAs<CSearchKey>();
        if (!pKey)
            ar.Fail(CArchiveException::badClass, "empty search key record");
        AddKey(pKey.release());
    }
    std::unique_ptr<CTask> pTask = ar.ReadObjectAs<CTask>();
    if (!pTask)
        ar.Fail(CArchiveException::badClass, "empty task record");
    m_task = *pTask;
    if (dwVersion >= 2)
        ar >> m_bMinInterval >> m_nMinIntervalMinutes;
    if (dwVersion >= 3)
        m_rules.Load(ar);
    if (dwVersion >= 4) {
        ar >> m_bDigest >> m_nDigestRuns >> m_nDigestMinutes;
        m_bDigest = m_bDigest ? TRUE : FALSE;
        m_digest.Serialize(ar);
    }
    SetEmptyVariables();
}

CGlobalMemory CKeysAndActions::CopyToGlobalMemory() const
{
    return WriteObjectToGlobalMemory(this);
}

CGlobalMemory CKeysAndActions::CopyTaskToGlobalMemory() const
{
    return WriteObjectToGlobalMemory(&m_task);
}

std::unique_ptr<CKeysAndActions> CKeysAndActions::FromGlobalMemory(const CGlobalMemory& hMem)
{
    return ReadObjectFromGlobalMemoryAs<CKeysAndActions>(hMem);
}

std::unique_ptr<CTask> CKeysAndActions::TaskFromGlobalMemory(const CGlobalMemory& hMem)
{
    if (hMem.IsNull())
        return nullptr;
    CMemFile file(hMem.GetBytes());
    CArchive ar(&file, CArchive::load);
    std::unique_ptr<CTask> pTask = CTask::ReadFromArchive(ar);
    ar.Close();
    return pTask;
}

int CKeysAndActions::AddKey(CSearchKey* pKey)
{
    CSingleLock lock(g_csMonitor);
    m_arrKeys.push_back(pKey);
    m_nKeyCount = m_arrKeys.size();
    return static_cast<int>(m_arrKeys.size()) - 1;
}

CSearchKey* CKeysAndActions::GetKey(int index) const
{
    CSingleLock lock(g_csMonitor);
    if (index < 0 || index >= static_cast<int>(m_arrKeys.size()))
        return nullptr;
    return m_arrKeys[static_cast<std::size_t>(index)];
}

CSearchKey* CKeysAndActions::GetNextKey(int& pos) const
{
    CSingleLock lock(g_csMonitor);
    if (pos < 0 || pos >= static_cast<int>(m_arrKeys.size()))
        return nullptr;
    return m_arrKeys[static_cast<std::size_t>(pos++)];
}

void CKeysAndActions::RemoveKey(int index)
{
    CSearchKey* pKey = nullptr;
    {
        CSingleLock lock(g_csMonitor);
        if (index < 0 || index >= static_cast<int>(m_arrKeys.size()))
            return;
        pKey = m_arrKeys[static_cast<std::size_t>(index)];
        m_arrKeys.erase(m_arrKeys.begin() + index);
        m_nKeyCount = m_arrKeys.size();
    }
    delete pKey;
}

void CKeysAndActions::RemoveAllKeys()
{
    while (GetKeyCount() > 0)
        RemoveKey(0);
}

BOOL CKeysAndActions::IsTriggered() const
{
    int pos = 0;
    while (const CSearchKey* pKey = GetNextKey(pos))
        if (pKey->m_nHits.load() > 0)
            return TRUE;
    return FALSE;
}

void CKeysAndActions::ResetHits()
{
    int pos = 0;
    while (CSearchKey* pKey = GetNextKey(pos))
        pKey->m_nHits = 0;
}

void CKeysAndActions::SetVariable(const char* name, const std::string& value)
{
    m_task.SetTranslationString(name, value.c_str());
}

void CKeysAndActions::SetVariableNumber(const char* name, int value)
{
    SetVariable(name, std::to_string(value));
}

void CKeysAndActions::SetEmptyVariables()
{
    for (const char* name : EMPTY_VARIABLES)
        SetVariable(name, "<empty>");
}

namespace {

// The trigger's time format ("%EVENT_TIME%").
std::string FormatRuleTime(std::time_t t)
{
    return CTime(t).Format("%m/%d/%y  %I:%M:%S %p");
}

} // namespace

bool CKeysAndActions::PassRules()
{
    const std::time_t now = CTime::GetCurrentTime().GetTime();
    if (m_rules.m_silence.bEnabled) {
        m_rules.NoteMatch(now);
        return false;
    }
    if (!m_rules.m_threshold.bEnabled)
        return true;
    const std::string& per = m_rules.m_threshold.strPer;
    const std::string value = per.empty() ? std::string() : m_task.GetVariables().Substitute(per);
    bool bCapped = false;
    const auto hit = m_rules.CountMatch(value, now, bCapped);
    if (bCapped)
        WriteSystemLogF("Watch group '%s' counts more than %u values of %s; the values "
                        "matched longest ago are dropped",
                        m_strDescription.c_str(), static_cast<unsigned>(MAX_THRESHOLD_VALUES),
                        per.c_str());
    if (!hit)
        return false;
    SetVariableNumber(VAR_THRESHOLD_COUNT, hit->nCount);
    SetVariable(VAR_THRESHOLD_FIRST, FormatRuleTime(hit->first));
    SetVariable(VAR_THRESHOLD_LAST, FormatRuleTime(hit->last));
    return true;
}

BOOL CKeysAndActions::CheckSilence()
{
    if (!m_rules.m_silence.bEnabled)
        return FALSE;
    const auto since = m_rules.CheckSilence(CTime::GetCurrentTime().GetTime());
    if (!since || IsStopRequested())
        return FALSE;
    SetVariable(VAR_SILENCE_SINCE, FormatRuleTime(*since));
    return RunTask();
}

BOOL CKeysAndActions::FlushDigestIfDue()
{
    if (!m_bDigest)
        return FALSE;
    auto summary = m_digest.TakeSummary(CTime::GetCurrentTime().GetTime(), m_nDigestMinutes);
    if (!summary)
        return FALSE;
    m_task.Run(*summary);
    return TRUE;
}

BOOL CKeysAndActions::RunTaskWithDigest(int* pFailedActions)
{
    if (!m_bDigest)
        return RunTask(pFailedActions);
    FlushDigestIfDue();
    std::map<std::string, std::string> triggerVariables;
    // The last match's variables: the trigger's, the captures and the rules'.
    const CTaskVariables variables = m_task.GetVariables();
    for (const auto& [name, value] : variables.GetAll())
        if (CTaskVariables::IsTriggerVariable(name))
            triggerVariables[name] = value;
    if (!m_digest.Admit(CTime::GetCurrentTime().GetTime(), m_nDigestRuns, m_nDigestMinutes,
                        triggerVariables))
        return FALSE;
    m_task.Run(CDigestState::OrdinaryRunVariables(), pFailedActions);
    return TRUE;
}

void RegisterCoreClasses()
{
    RegisterMatchClasses();
    RegisterBranSchedClasses();
    CRuntimeClass::Register(RUNTIME_CLASS(CKeysAndActions));
    CRuntimeClass::Register(RUNTIME_CLASS(CMonitoredObject));
    CRuntimeClass::Register(RUNTIME_CLASS(CMonManager));
}
