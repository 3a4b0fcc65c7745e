#include "eventrecords/eventloghandle.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/base/strformat.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"
#include "settings/systemlog.h"

namespace {

std::atomic<EventReadStopCheck> g_pfnEventReadStop{nullptr};

} // namespace

std::string DescribeGap(const CEvtGap& gap)
{
    if (gap.m_dwBefore && gap.m_dwAfter)
        return FormatString(" between record %u and record %u", gap.m_dwBefore, gap.m_dwAfter);
    if (gap.m_dwAfter)
        return FormatString(" before record %u", gap.m_dwAfter);
    if (gap.m_dwBefore)
        return FormatString(" after record %u", gap.m_dwBefore);
    return {};
}

void SetEventReadStopCheck(EventReadStopCheck pfnCheck)
{
    g_pfnEventReadStop.store(pfnCheck);
}

bool IsEventReadStopRequested()
{
    EventReadStopCheck pfnCheck = g_pfnEventReadStop.load();
    return pfnCheck && pfnCheck();
}

BOOL CEventLogHandle::Open(const std::string& strComputer, const std::string& strLog)
{
    Close();
    m_hEventLog = OpenEventLogA(strComputer.c_str(), strLog.c_str());
    if (!m_hEventLog) {
        m_dwError = GetLastError();
        return FALSE;
    }
    m_dwError = 0;
    m_strName = strComputer + "\\" + strLog;
    return TRUE;
}

void CEventLogHandle::Close()
{
    if (m_hEventLog)
        CloseEventLog(m_hEventLog);
    m_hEventLog = nullptr;
    m_strName.clear();
}

DWORD CEventLogHandle::GetOldest()
{
    DWORD nOldest = 0;
    if (!GetOldestEventLogRecord(m_hEventLog, &nOldest)) {
        m_dwError = GetLastError();
        return 0;
    }
    return nOldest;
}

DWORD CEventLogHandle::GetNewest()
{
    DWORD nCount = 0;
    if (!GetNumberOfEventLogRecords(m_hEventLog, &nCount)) {
        m_dwError = GetLastError();
        return 0;
    }
    return nCount == 0 ? 0 : GetOldest() + nCount - 1;
}

std::uint64_t CEventLogHandle::GetFileIdentity()
{
    CEventLogFileInfo info;
    if (!m_hEventLog || !GetEventLogFileInfo(m_hEventLog, info)) {
        m_dwError = GetLastError();
        return 0;
    }
    return info.m_nFileIdentity;
}

BOOL CEventLogHandle::GetFileInfo(CEventLogFileInfo& info)
{
    if (!m_hEventLog || !GetEventLogFileInfo(m_hEventLog, info)) {
        m_dwError = m_hEventLog ? GetLastError() : ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

BOOL CEventLogHandle::Clear()
{
    if (!m_hEventLog) {
        m_dwError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    BOOL bResult = ClearEventLogA(m_hEventLog, nullptr);
    if (!bResult) {
        m_dwError = GetLastError();
        WriteSystemLogF("%s : Error clearing event log: %u, %08X %s\n", m_strName.c_str(),
                        m_dwError, m_dwError, GetSystemErrorText(m_dwError).c_str());
    }
    return bResult;
}

BOOL CEventLogHandle::ReadEvents(DWORD nFirst, DWORD nLast, CEventList& list)
{
    BOOL bResult = TRUE;
    const DWORD nOldest = GetOldest();
    if (nFirst < nOldest)
        nFirst = nOldest;
    const DWORD nNewest = GetNewest();
    if (nLast > nNewest)
        nLast = nNewest;

    m_accounts.Clear();
    m_buffer.resize(EVENT_READ_BLOCK);
    // Damage passed over: one line per stretch, written by the read that
    // reaches the record after it (or the newest record, when none follows).
    m_info = CEventLogFileInfo();
    if (!GetEventLogFileInfo(m_hEventLog, m_info))
        m_info = CEventLogFileInfo();
    for (const CEvtGap& gap : m_info.m_gaps) {
        const DWORD nPast = gap.m_dwAfter ? gap.m_dwAfter : std::min(gap.m_dwBefore + 1, nNewest);
        if (gap.m_dwBytes != 0 && nFirst <= nPast && nPast <= nLast)
            WriteSystemLogF("%s : Damaged records skipped at offset %u: %u bytes%s",
                            m_strName.c_str(), gap.m_dwOffset, gap.m_dwBytes,
                            DescribeGap(gap).c_str());
    }
    if (nFirst <= nLast)
        list.Reserve(list.GetCount() +
                     std::min<std::size_t>(std::size_t{nLast} - nFirst + 1, 1u << 20));
    DWORD nNext = nFirst;
    DWORD nReached = 0;
    m_nReached = nFirst - 1;
    while (nReached < nLast) {
        if (IsEventReadStopRequested())
            return FALSE;
        BYTE* pBlock = m_buffer.data();
        std::unique_ptr<BYTE[]> pTemp; // a single record larger than the block
        DWORD nRead = 0;
        DWORD nNeeded = 0;
        if (!ReadEventLogA(m_hEventLog, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, nNext, pBlock,
                           EVENT_READ_BLOCK, &nRead, &nNeeded)) {
            m_dwError = GetLastError();
            if (m_dwError == ERROR_HANDLE_EOF) {
                // The records left up to nLast are missing (damaged).
                m_nReached = nLast;
                break;
            }
            if (m_dwError == ERROR_INVALID_PARAMETER) {
                WriteSystemLogF("%s : Microsoft error 87 (ERROR_INVALID_PARAMETERS) detected",
                                m_strName.c_str());
                return FALSE;
            }
            if (m_dwError != ERROR_INSUFFICIENT_BUFFER) {
                WriteSystemLogF("%s : Error reading events: %u - %s\n", m_strName.c_str(),
                                m_dwError, GetSystemErrorText(m_dwError).c_str());
                bResult = FALSE;
                break;
            }
            // The next record alone is larger than the block. The service
            // reads at most EVT_MAX_READ_BUFFER bytes at once: a record
            // larger than that can never be read, so it is passed over (one
            // line) and the records after it are read as usual.
            if (nNeeded > EVT_MAX_READ_BUFFER) {
                // A seek into a gap starts at the record after it.
                const DWORD nLarge = FirstIntactRecord(m_info, nNext, true);
                WriteSystemLogF("%s : Record %u is larger than the read limit (%u bytes), skipped",
                                m_strName.c_str(), nLarge, nNeeded);
                m_nReached = nReached = nLarge;
                nNext = nReached + 1;
                continue;
            }
            pTemp = std::make_unique_for_overwrite<BYTE[]>(nNeeded);
            pBlock = pTemp.get();
            if (!ReadEventLogA(m_hEventLog, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, nNext,
                               pBlock, nNeeded, &nRead, &nNeeded)) {
                m_dwError = GetLastError();
                WriteSystemLogF("%s : Error reading events via temp: %u - %s\n", m_strName.c_str(),
                                m_dwError, GetSystemErrorText(m_dwError).c_str());
                break;
            }
        }

        DWORD nLastNumber = 0;
        const bool bWhole =
            ConvertEventRecords(pBlock, nRead, list, m_strName, &m_accounts, &nLastNumber);
        if (!bWhole)
            break;
        // Normally the last record appended; taking the last record of the
        // block instead also steps over a record that could not be converted
        // at the end of a block. A block that brought no progress ends the
        // loop instead of asking for the same records again.
        if (nLastNumber < nNext)
            break;
        m_nReached = nReached = nLastNumber;
        nNext = nReached + 1;
    }
    return bResult;
}

bool ConvertEventRecords(const BYTE* pBlock, DWORD nBytes, CEventList& list,
                         const std::string& strName, CAccountNameCache* pAccounts,
                         DWORD* pnLastNumber)
{
    *pnLastNumber = 0;
    for (DWORD nAt = 0; nAt < nBytes;) {
        const DWORD nLeft = nBytes - nAt;
        // Fewer than four bytes cannot even hold a length: malformed.
        const DWORD nLength = nLeft >= 4 ? GetLe32(pBlock + nAt) : 1;
        if (nLength == 0)
            break;
        if (nLength < EVT_RECORD_FIXED_SIZE || nLength > nLeft) {
            WriteSystemLogF("%s : Exception reading event, last loaded %u !", strName.c_str(),
                            list.GetLastRecordNumber());
            return false;
        }
        const BYTE* pRecord = pBlock + nAt;
        std::unique_ptr<CEventStruct> pEvent = list.NewRecord();
        if (pEvent->SetFromRecord(reinterpret_cast<const EVENTLOGRECORD*>(pRecord), nLeft,
                                  pAccounts))
            list.Add(std::move(pEvent));
        else
            WriteSystemLogF("%s : Error extracting record: %u", strName.c_str(),
                            GetLe32(pRecord + EVT_RECORD_NUMBER));
        *pnLastNumber = GetLe32(pRecord + EVT_RECORD_NUMBER);
        nAt += nLength;
    }
    return true;
}

BOOL CEventLogHandle::ReportMark(const std::string& strComputer, const std::string& strText)
{
    HANDLE hSource = RegisterEventSourceA(strComputer.c_str(), EVENT_MARK_SOURCE);
    if (!hSource)
        return FALSE;
    const char* strings[] = {strText.c_str()};
    BOOL bResult = ReportEventA(hSource, EVENTLOG_INFORMATION_TYPE, 0, EVENT_MARK_ID, nullptr, 1, 0,
                                strings, nullptr);
    const DWORD dwError = GetLastError();
    if (!bResult && dwError == ERROR_EVENTLOG_FILE_CORRUPT)
        WriteSystemLogF("%s : Event not written: %s", strComputer.c_str(),
                        GetEventLogDamageText().c_str());
    DeregisterEventSource(hSource);
    SetLastError(dwError);
    return bResult;
}
