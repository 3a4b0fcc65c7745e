#include "eventrecords/eventlogcache.h"

#include <algorithm>
#include <memory>

#include "platform/base/win32error.h"
#include "platform/security/token.h"
#include "settings/systemlog.h"

void CEventLogCache::Changed()
{
    m_bRefresh = TRUE;
    m_dwError = 0;
    m_list.DeleteAll();
    m_index.clear();
}

void CEventLogCache::Index(std::size_t nFrom)
{
    std::size_t nPos = nFrom;
    while (CEventStruct* pEvent = m_list.GetNext(nPos))
        m_index.emplace(pEvent->m_nRecordNumber, pEvent);
}

bool CEventLogCache::BeginRead()
{
    Logon();
    m_dwError = 0;
    if (!m_handle.Open(m_strComputer, m_strLog)) {
        m_dwError = m_handle.GetError();
        Revert();
        return false;
    }
    if (m_fnBusy)
        m_fnBusy(true);
    m_nOldest = m_handle.GetOldest();
    m_nNewest = m_handle.GetNewest();
    ReadGaps();
    m_bRefresh = FALSE;
    return true;
}

void CEventLogCache::EndRead()
{
    m_handle.Close();
    Revert();
    if (m_fnBusy)
        m_fnBusy(false);
}

BOOL CEventLogCache::ReadAll()
{
    if (!BeginRead())
        return FALSE;
    BOOL bOk = TRUE;
    if (m_nOldest != 0 && m_index.size() < QWORD{m_nNewest} - m_nOldest + 1) {
        m_index.reserve(m_nNewest - m_nOldest + 1);
        // Runs of records not held yet, each read once.
        DWORD nFirst = m_nOldest;
        while (bOk && nFirst <= m_nNewest) {
            while (nFirst <= m_nNewest && m_index.count(nFirst))
                ++nFirst;
            if (nFirst > m_nNewest)
                break;
            DWORD nLast = nFirst;
            while (nLast < m_nNewest && !m_index.count(nLast + 1))
                ++nLast;
            const std::size_t nBefore = m_list.GetCount();
            bOk = m_handle.ReadEvents(nFirst, nLast, m_list);
            Index(nBefore);
            if (nLast == m_nNewest)
                break;
            nFirst = nLast + 1;
        }
    }
    EndRead();
    return bOk;
}

void CEventLogCache::SetComputer(const std::string& strComputer)
{
    if (strComputer != m_strComputer) {
        m_strComputer = strComputer;
        Changed();
    }
}

void CEventLogCache::SetLog(const std::string& strLog)
{
    if (strLog != m_strLog) {
        m_strLog = strLog;
        Changed();
    }
}

void CEventLogCache::SetLogon(const std::string& strUser, const std::string& strDomain,
                              const std::string& strPassword)
{
    if (strUser.empty()) {
        m_bLogon = FALSE;
        m_strUser.clear();
        m_strDomain.clear();
        m_strPassword.clear();
        Revert();
        return;
    }
    m_strUser = strUser;
    m_strDomain = strDomain;
    m_strPassword = strPassword;
    m_bLogon = TRUE;
}

DWORD CEventLogCache::GetOldest()
{
    if (m_bRefresh)
        Refresh();
    return m_nOldest;
}

DWORD CEventLogCache::GetNewest()
{
    if (m_bRefresh)
        Refresh();
    return m_nNewest;
}

DWORD CEventLogCache::GetCount()
{
    if (m_bRefresh)
        Refresh();
    return m_nNewest == 0 || m_nOldest == 0 ? 0 : m_nNewest - m_nOldest + 1;
}

void CEventLogCache::ReadGaps()
{
    CEventLogFileInfo info;
    m_gaps.clear();
    if (m_handle.GetFileInfo(info))
        m_gaps = std::move(info.m_gaps);
}

BOOL CEventLogCache::Refresh()
{
    m_nOldest = 0;
    m_nNewest = 0;
    m_gaps.clear();
    m_dwError = 0;
    Logon();
    BOOL bOpen = m_handle.Open(m_strComputer, m_strLog);
    if (bOpen) {
        m_nOldest = m_handle.GetOldest();
        m_nNewest = m_handle.GetNewest();
        ReadGaps();
        m_bRefresh = FALSE;
        m_handle.Close();
    } else {
        m_dwError = m_handle.GetError();
    }
    Revert();
    return bOpen;
}

CEventStruct* CEventLogCache::GetEvent(DWORD nRecordNumber)
{
    if (auto it = m_index.find(nRecordNumber); it != m_index.end())
        return it->second;
    // A number that a damaged stretch took has no record to read.
    if (!m_bRefresh && std::any_of(m_gaps.begin(), m_gaps.end(), [&](const CEvtGap& gap) {
            return gap.m_dwBefore < nRecordNumber && nRecordNumber < gap.m_dwAfter;
        }))
        return nullptr;

    if (!BeginRead()) {
        m_nOldest = 0;
        m_nNewest = 0;
        m_gaps.clear();
        m_bRefresh = TRUE;
        return nullptr;
    }
    CEventStruct* pResult = nullptr;
    if (nRecordNumber >= m_nOldest && nRecordNumber <= m_nNewest) {
        DWORD nStart = m_nOldest;
        DWORD nEnd = m_nNewest;
        if (m_nNewest - m_nOldest >= EVENT_CACHE_WHOLE_SPAN) {
            if (nRecordNumber - m_nOldest >= EVENT_CACHE_WINDOW / 2)
                nStart = nRecordNumber - EVENT_CACHE_WINDOW / 2;
            nEnd =
                static_cast<DWORD>(std::min<QWORD>(QWORD{nStart} + EVENT_CACHE_WINDOW, m_nNewest));
        }
        const std::size_t nBefore = m_list.GetCount();
        if (m_handle.ReadEvents(nStart, nEnd, m_list)) {
            Index(nBefore);
            if (auto it = m_index.find(nRecordNumber); it != m_index.end())
                pResult = it->second;
        }
    }
    EndRead();
    return pResult;
}

BOOL CEventLogCache::Logon()
{
    if (!m_bLogon)
        return TRUE;
    Revert();
    HANDLE hToken = nullptr;
    if (!LogonUserA(m_strUser.c_str(), m_strDomain.c_str(), m_strPassword.c_str(),
                    LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &hToken)) {
        const DWORD dwError = GetLastError();
        WriteSystemLogF("%s\\%s Local logon from %s\\%s failed:  %d - %s", m_strComputer.c_str(),
                        m_strLog.c_str(), m_strDomain.c_str(), m_strUser.c_str(),
                        static_cast<int>(dwError), GetSystemErrorText(dwError).c_str());
        return FALSE;
    }
    m_hToken = hToken;
    ImpersonateLoggedOnUser(hToken);
    return TRUE;
}

BOOL CEventLogCache::Revert()
{
    if (!m_hToken)
        return TRUE;
    const BOOL bResult = RevertToSelf();
    if (!bResult) {
        const DWORD dwError = GetLastError();
        WriteSystemLogF("%s\\%s Revert from %s\\%s failed:  %d - %s", m_strComputer.c_str(),
                        m_strLog.c_str(), m_strDomain.c_str(), m_strUser.c_str(),
                        static_cast<int>(dwError), GetSystemErrorText(dwError).c_str());
    }
    CloseHandle(m_hToken);
    m_hToken = nullptr;
    return bResult;
}
