#pragma once
// CEventLogCache: the event viewer's store of one log's records. It reads on
// demand a window of about 500 records around the wanted one, keeps every
// record read until the computer or log name changes, and reaches the log
// under a logon of its own when one is set (platform LogonUserA and
// impersonation of the calling thread, held only inside one operation).
//
// All on the user interface thread. Records returned by GetEvent belong to
// the cache and stay valid until a name change or destruction.
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "eventrecords/eventlist.h"
#include "eventrecords/eventloghandle.h"

// Records read around the wanted one (half before, half after), and the
// largest log that is read whole.
constexpr DWORD EVENT_CACHE_WINDOW = 500;
constexpr DWORD EVENT_CACHE_WHOLE_SPAN = 502;

class CEventLogCache {
public:
    CEventLogCache() = default;
    // Ends any logon and deletes the records.
    ~CEventLogCache() { Revert(); }
    CEventLogCache(const CEventLogCache&) = delete;
    CEventLogCache& operator=(const CEventLogCache&) = delete;

    // A name that differs (exactly) from the stored one is stored, marks a
    // refresh, clears the last error and deletes all records.
    void SetComputer(const std::string& strComputer);
    void SetLog(const std::string& strLog);
    // An empty user turns the logon off (ending any logon); otherwise the
    // three strings are kept and the logon is on.
    void SetLogon(const std::string& strUser, const std::string& strDomain,
                  const std::string& strPassword);

    const std::string& GetComputer() const { return m_strComputer; }
    const std::string& GetLog() const { return m_strLog; }

    // Refresh first when marked.
    DWORD GetOldest();
    DWORD GetNewest();
    // newest - oldest + 1; 0 when either number is 0.
    DWORD GetCount();
    // The damaged stretches of the log as last opened (eventlog.h).
    const std::vector<CEvtGap>& GetGaps() const { return m_gaps; }
    // Reads the oldest and newest numbers; on failure both are 0, the last
    // error is the open's and the refresh mark stays.
    BOOL Refresh();

    // The record with that number: from the records read so far, else from
    // a window read around it. Null when the log cannot be opened, the
    // number lies outside the log or the read fails.
    CEventStruct* GetEvent(DWORD nRecordNumber);
    // Reads in one pass every record of the log up to the newest (the
    // viewer's filters and sorts then work from memory); false when the log
    // cannot be opened or a read fails.
    BOOL ReadAll();

    DWORD GetError() const { return m_dwError; }
    // The records read so far, in the order read.
    const CEventList& GetEvents() const { return m_list; }

    // Called with true before GetEvent reads from the log and with false
    // after, so that a windowed front end can show a wait cursor.
    void SetBusyCallback(std::function<void(bool)> fnBusy) { m_fnBusy = std::move(fnBusy); }

    // Logs on as the set user and impersonates it on the calling thread;
    // TRUE when the logon is off. A failure is written to the system log
    // and the caller goes on under its own identity.
    BOOL Logon();
    // Ends the impersonation and releases the token; TRUE when none is held.
    BOOL Revert();

private:
    void Changed();
    // Indexes the records that the list gained from position nFrom on.
    void Index(std::size_t nFrom);
    // The gaps of the open log, or none when they cannot be had.
    void ReadGaps();
    // Logs on, opens the log and takes its numbers and gaps; false (the
    // error kept) when it cannot be opened. EndRead closes and reverts.
    bool BeginRead();
    void EndRead();

    CEventLogHandle m_handle;
    CEventList m_list;
    // The list's records by number (a record read twice: its first copy).
    std::unordered_map<DWORD, CEventStruct*> m_index;
    DWORD m_nOldest = 0;
    DWORD m_nNewest = 0;
    std::vector<CEvtGap> m_gaps;
    std::string m_strComputer;
    std::string m_strLog;
    std::string m_strUser;
    std::string m_strDomain;
    std::string m_strPassword;
    BOOL m_bLogon = FALSE;
    BOOL m_bRefresh = TRUE;
    DWORD m_dwError = 0;
    HANDLE m_hToken = nullptr;
    std::function<void(bool)> m_fnBusy;
};
