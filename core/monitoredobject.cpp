#include "core/monitoredobject.h"

#include <algorithm>
#include <chrono>

#include "archive/globalarchive.h"
#include "core/keysandactions.h"
#include "core/logon.h"
#include "platform/base/win32error.h"
#include "settings/systemlog.h"

CCriticalSection g_csMonitor;

IMPLEMENT_SERIAL(CMonitoredObject, CObject, VERSIONABLE_SCHEMA | 2)

std::string GetStateText(int nState)
{
    switch (nState) {
    case MON_STATE_NONE:
        return "Not checked";
    case MON_STATE_GREW:
        return "Larger";
    case MON_STATE_SHRANK:
        return "Smaller";
    case MON_STATE_UNCHANGED:
        return "No change";
    case MON_STATE_ERROR:
        return "Error";
    default:
        return "Unknown = " + std::to_string(nState);
    }
}

std::string ScrambleText(const std::string& text)
{
    static constexpr char KEY[] = "Hoskyvan";
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ KEY[i % 8]);
    return out;
}

CMonitoredObject::CMonitoredObject()
    : m_timeLastScanned(CTime::GetCurrentTime()), m_timeLastChanged(m_timeLastScanned)
{
}

CMonitoredObject::CMonitoredObject(const CMonitoredObject& other)
    : m_bEnabled(other.m_bEnabled), m_dwID(other.m_dwID), m_nState(other.m_nState.load()),
      m_timeLastScanned(other.m_timeLastScanned), m_timeLastChanged(other.m_timeLastChanged),
      m_nInterval(other.m_nInterval), m_bJumpPending(other.m_bJumpPending),
      m_bImpersonate(other.m_bImpersonate), m_strLogonUser(other.m_strLogonUser),
      m_strLogonPassword(other.m_strLogonPassword), m_strLogonDomain(other.m_strLogonDomain)
{
    CopyWatchGroupsFrom(other);
}

CMonitoredObject& CMonitoredObject::operator=(const CMonitoredObject& other)
{
    if (this == &other)
        return *this;
    m_bEnabled = other.m_bEnabled;
    m_dwID = other.m_dwID;
    m_nState = other.m_nState.load();
    m_timeLastScanned = other.m_timeLastScanned;
    m_timeLastChanged = other.m_timeLastChanged;
    m_nInterval = other.m_nInterval;
    m_bImpersonate = other.m_bImpersonate;
    m_strLogonUser = other.m_strLogonUser;
    m_strLogonPassword = other.m_strLogonPassword;
    m_strLogonDomain = other.m_strLogonDomain;
    RemoveAllWatchGroups();
    CopyWatchGroupsFrom(other);
    return *this;
}

CMonitoredObject::~CMonitoredObject()
{
    RemoveAllWatchGroups();
}

void CMonitoredObject::CopyWatchGroupsFrom(const CMonitoredObject& other)
{
    int pos = 0;
    while (CKeysAndActions* pGroup = other.GetNextWatchGroup(pos))
        AddWatchGroup(new CKeysAndActions(*pGroup));
}

void CMonitoredObject::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD{2} << LONG{m_bEnabled} << LONG{m_nInterval} << m_timeLastScanned
           << m_timeLastChanged;
        std::vector<CKeysAndActions*> groups;
        {
            CSingleLock lock(g_csMonitor);
            groups = m_arrWatchGroups;
        }
        ar << static_cast<DWORD>(groups.size());
        for (const CKeysAndActions* pGroup : groups)
            ar.WriteObject(pGroup);
        ar << LONG{m_bImpersonate} << m_strLogonUser << ScrambleText(m_strLogonPassword)
           << m_strLogonDomain;
        return;
    }
    ar.GetObjectSchema();
    const CTime now = CTime::GetCurrentTime();
    DWORD dwVersion = 0;
    DWORD dwCount = 0;
    ar >> dwVersion >> m_bEnabled >> m_nInterval >> m_timeLastScanned >> m_timeLastChanged;
    m_timeLastScanned = std::min(m_timeLastScanned, now);
    m_timeLastChanged = std::min(m_timeLastChanged, now);
    ar >> dwCount;
    // Each group record is at least its tag and version.
    ar.CheckCount(dwCount, 6);
    for (DWORD i = 0; i < dwCount; ++i) {
        std::unique_ptr<CKeysAndActions> pGroup = ar.ReadObjectAs<CKeysAndActions>();
        if (!pGroup)
            ar.Fail(CArchiveException::badClass, "empty watch group record");
        AddWatchGroup(pGroup.release());
    }
    if (dwVersion >= 2) {
        std::string strPassword;
        ar >> m_bImpersonate >> m_strLogonUser >> strPassword >> m_strLogonDomain;
        m_strLogonPassword = ScrambleText(strPassword);
    }
}

CGlobalMemory CMonitoredObject::CopyToGlobalMemory() const
{
    return WriteObjectToGlobalMemory(this);
}

std::unique_ptr<CMonitoredObject> CMonitoredObject::FromGlobalMemory(const CGlobalMemory& hMem)
{
    return ReadObjectFromGlobalMemoryAs<CMonitoredObject>(hMem);
}

namespace {

thread_local ScanCheckpoint t_pfnCheckpoint = nullptr;
thread_local void* t_pCheckpointContext = nullptr;

} // namespace

void SetScanCheckpoint(ScanCheckpoint pfn, void* context)
{
    t_pfnCheckpoint = pfn;
    t_pCheckpointContext = context;
}

void ReachScanCheckpoint()
{
    if (t_pfnCheckpoint)
        t_pfnCheckpoint(t_pCheckpointContext);
}

BOOL CMonitoredObject::ScanIfDue()
{
    if (!IsEnabled() || !IsScanDue())
        return FALSE;
    return ScanNow();
}

BOOL CMonitoredObject::ScanNow()
{
    if (!IsEnabled())
        return FALSE;
    CTime now = CTime::GetCurrentTime();
    m_timeLastScanned = now;
    int nBefore = GetState();
    const auto start = std::chrono::steady_clock::now();
    Scan();
    m_counters.m_nLastScanMicroseconds =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
    CheckSilenceRules();
    if (GetState() != nBefore) {
        m_timeLastChanged = now;
        return TRUE;
    }
    return FALSE;
}

void CMonitoredObject::CheckSilenceRules()
{
    int pos = 0;
    while (CKeysAndActions* pGroup = GetNextWatchGroup(pos))
        pGroup->CheckSilence();
}

BOOL CMonitoredObject::IsScanDue()
{
    return CTime::GetCurrentTime() > GetNextScanTime();
}

namespace {

// The logons of the calling thread, innermost last. Impersonation belongs to
// a thread, so the token does too: a mark on the user interface thread and a
// scan of the same log on the scan thread each log on and revert their own.
struct CThreadLogon {
    const CMonitoredObject* pLog;
    HANDLE hToken;
};
thread_local std::vector<CThreadLogon> t_logons;

} // namespace

BOOL CMonitoredObject::LogonAsUser(DWORD* pError)
{
    if (!GetImpersonate())
        return TRUE;
    ILogonService& logon = GetLogonService();
    DWORD dwError = ERROR_SUCCESS;
    HANDLE hToken = nullptr;
    if (logon.LogonUser(GetLogonUser(), GetLogonDomain(), GetLogonPassword(), &hToken, &dwError)) {
        if (logon.Impersonate(hToken, &dwError)) {
            t_logons.push_back({this, hToken});
            return TRUE;
        }
        logon.CloseToken(hToken);
    }
    SetState(MON_STATE_ERROR);
    WriteSystemLogF("Local logon from %s\\%s failed for %s: %d - %s", GetLogonDomain().c_str(),
                    GetLogonUser().c_str(), GetDisplayName().c_str(), static_cast<int>(dwError),
                    GetSystemErrorText(dwError).c_str());
    if (pError)
        *pError = dwError;
    return FALSE;
}

void CMonitoredObject::RevertLogon()
{
    auto it = std::find_if(t_logons.rbegin(), t_logons.rend(),
                           [this](const CThreadLogon& l) { return l.pLog == this; });
    if (it == t_logons.rend())
        return;
    ILogonService& logon = GetLogonService();
    logon.RevertToSelf();
    logon.CloseToken(it->hToken);
    t_logons.erase(std::next(it).base());
    // An outer logon of this thread (another log's) acts again.
    if (!t_logons.empty()) {
        DWORD dwError = ERROR_SUCCESS;
        logon.Impersonate(t_logons.back().hToken, &dwError);
    }
}

int CMonitoredObject::GetWatchGroupCount() const
{
    CSingleLock lock(g_csMonitor);
    return static_cast<int>(m_arrWatchGroups.size());
}

int CMonitoredObject::AddWatchGroup(CKeysAndActions* pGroup)
{
    CSingleLock lock(g_csMonitor);
    m_arrWatchGroups.push_back(pGroup);
    return static_cast<int>(m_arrWatchGroups.size()) - 1;
}

CKeysAndActions* CMonitoredObject::GetWatchGroup(int index) const
{
    CSingleLock lock(g_csMonitor);
    if (index < 0 || index >= static_cast<int>(m_arrWatchGroups.size()))
        return nullptr;
    return m_arrWatchGroups[static_cast<std::size_t>(index)];
}

CKeysAndActions* CMonitoredObject::GetNextWatchGroup(int& pos) const
{
    CSingleLock lock(g_csMonitor);
    if (pos < 0 || pos >= static_cast<int>(m_arrWatchGroups.size()))
        return nullptr;
    return m_arrWatchGroups[static_cast<std::size_t>(pos++)];
}

void CMonitoredObject::RemoveWatchGroup(int index)
{
    CKeysAndActions* pGroup = nullptr;
    {
        CSingleLock lock(g_csMonitor);
        if (index < 0 || index >= static_cast<int>(m_arrWatchGroups.size()))
            return;
        pGroup = m_arrWatchGroups[static_cast<std::size_t>(index)];
        m_arrWatchGroups.erase(m_arrWatchGroups.begin() + index);
    }
    delete pGroup;
}

void CMonitoredObject::RemoveAllWatchGroups()
{
    while (GetWatchGroupCount() > 0)
        RemoveWatchGroup(0);
}
