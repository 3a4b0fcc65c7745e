#include "platform/eventlog/eventlog.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include <strings.h>

#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "platform/base/win32error.h"
#include "platform/eventlog/evtfile.h"
#include "platform/network/network.h"

namespace {

// What a handle stands for.
struct CLogHandle {
    enum class Kind { READ, BACKUP, SOURCE };
    Kind m_kind = Kind::READ;
    std::mutex m_mutex; // serialises calls on the handle; guards the members below
    CEvtFile m_file;
    std::string m_strFolder; // the computer folder (not for backups)
    std::string m_strLog;
    std::string m_strSource;
    bool m_bPositioned = false; // a read has set m_dwNext
    DWORD m_dwNext = 0;
};

std::mutex g_handleMutex;
thread_local std::string t_strDamage;                    // the last refusal of a damaged log
std::map<HANDLE, std::shared_ptr<CLogHandle>> g_handles; // guarded by g_handleMutex

HANDLE AddHandle(std::shared_ptr<CLogHandle> handle)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    HANDLE key = handle.get();
    g_handles.emplace(key, std::move(handle));
    return key;
}

std::shared_ptr<CLogHandle> FindHandle(HANDLE key, bool source)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_handles.find(key);
    if (it == g_handles.end() || (it->second->m_kind == CLogHandle::Kind::SOURCE) != source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

BOOL RemoveHandle(HANDLE key, bool source)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_handles.find(key);
    if (it == g_handles.end() || (it->second->m_kind == CLogHandle::Kind::SOURCE) != source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    g_handles.erase(it);
    return TRUE;
}

const CEventLogConfig* FindLog(const std::vector<CEventLogConfig>& logs, const std::string& name)
{
    for (const CEventLogConfig& log : logs) {
        if (::strcasecmp(log.m_strName.c_str(), name.c_str()) == 0)
            return &log;
    }
    return nullptr;
}

const CEventLogConfig* FindSourceLog(const std::vector<CEventLogConfig>& logs,
                                     const std::string& source)
{
    for (const CEventLogConfig& log : logs) {
        for (const std::string& name : log.m_sources) {
            if (::strcasecmp(name.c_str(), source.c_str()) == 0)
                return &log;
        }
    }
    return nullptr;
}

// Opens the service file of a log, creating it when missing: the log named
// `log` when given, else the one `name` names as log or source.
std::shared_ptr<CLogHandle> OpenServiceLog(const char* server, const char* name, bool source,
                                           const char* exactLog = nullptr)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto folder = GetComputerFolder(server, RPC_S_SERVER_UNAVAILABLE);
    std::vector<CEventLogConfig> logs;
    if (!folder || !ReadEventLogConfigs(*folder, logs))
        return nullptr;
    const CEventLogConfig* log = nullptr;
    if (exactLog) {
        log = FindLog(logs, exactLog);
    } else {
        log = source ? nullptr : FindLog(logs, name);
        if (!log)
            log = FindSourceLog(logs, name);
        if (!log)
            log = FindLog(logs, "Application");
    }
    if (!log) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto handle = std::make_shared<CLogHandle>();
    handle->m_kind = source ? CLogHandle::Kind::SOURCE : CLogHandle::Kind::READ;
    handle->m_strFolder = *folder;
    handle->m_strLog = log->m_strName;
    handle->m_strSource = name;
    std::string path = *folder + "/eventlog/" + log->m_strName + ".evt";
    // The Security log is for those who may read every file.
    mode_t mode = ::strcasecmp(log->m_strName.c_str(), "Security") == 0 ? 0600 : 0644;
    bool created = false;
    {
        // The service's files belong to the service, whoever's logon
        // opened the log first.
        CProgramFileIdentity self;
        created = CreateEvtFile(path, log->m_dwMaxSize, log->m_dwRetention, mode);
    }
    if (!created || !handle->m_file.Open(path, CEvtFile::Mode::SERVICE))
        return nullptr;
    return handle;
}

// The log's current registry values.
bool CurrentConfig(const CLogHandle& handle, CEventLogConfig& config)
{
    std::vector<CEventLogConfig> logs;
    if (!ReadEventLogConfigs(handle.m_strFolder, logs))
        return false;
    if (const CEventLogConfig* log = FindLog(logs, handle.m_strLog))
        config = *log;
    else
        config.m_strName = handle.m_strLog;
    return true;
}

// Runs fn on the handle's file; a file replaced by a clear elsewhere is read
// again, since counters describe the log as it is now.
template <typename Fn> DWORD ReadCurrent(CLogHandle& handle, Fn fn)
{
    DWORD error = handle.m_file.Read(fn);
    if (error == ERROR_EVENTLOG_FILE_CHANGED) {
        handle.m_bPositioned = false;
        error = handle.m_file.Read(fn);
    }
    return error;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::optional<std::string> BackupPath(const char* fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    return MapNetworkPath(fileName);
}

// One number of the log as it is now, such as its oldest record.
template <class Get> BOOL GetLogNumber(HANDLE log, DWORD* value, Get get)
{
    if (!value)
        return Fail(ERROR_INVALID_PARAMETER);
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    std::lock_guard<std::mutex> lock(handle->m_mutex);
    DWORD error = ReadCurrent(*handle, [&](const CEvtSnapshot& snap) { *value = get(snap); });
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

} // namespace

HANDLE OpenEventLogA(const char* server, const char* sourceName)
{
    auto handle = OpenServiceLog(server, sourceName, false);
    return handle ? AddHandle(std::move(handle)) : nullptr;
}

HANDLE OpenBackupEventLogA(const char* server, const char* fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto path = MapComputerPath(server, fileName);
    if (!path)
        return nullptr;
    auto handle = std::make_shared<CLogHandle>();
    handle->m_kind = CLogHandle::Kind::BACKUP;
    if (!handle->m_file.Open(*path, CEvtFile::Mode::BACKUP))
        return nullptr;
    DWORD error = handle->m_file.Read([](const CEvtSnapshot&) {});
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return AddHandle(std::move(handle));
}

BOOL CloseEventLog(HANDLE log)
{
    return RemoveHandle(log, false);
}

BOOL ReadEventLogA(HANDLE log, DWORD readFlags, DWORD recordOffset, void* buffer, DWORD bytesToRead,
                   DWORD* bytesRead, DWORD* minBytesNeeded)
{
    bool sequential = readFlags & EVENTLOG_SEQUENTIAL_READ;
    bool seek = readFlags & EVENTLOG_SEEK_READ;
    bool forwards = readFlags & EVENTLOG_FORWARDS_READ;
    bool backwards = readFlags & EVENTLOG_BACKWARDS_READ;
    if (sequential == seek || forwards == backwards || (readFlags & ~0xFu) || !buffer ||
        !bytesRead || !minBytesNeeded || bytesToRead > EVT_MAX_READ_BUFFER)
        return Fail(ERROR_INVALID_PARAMETER);
    *bytesRead = 0;
    *minBytesNeeded = 0;
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    std::lock_guard<std::mutex> lock(handle->m_mutex);

    auto* out = static_cast<BYTE*>(buffer);
    DWORD result = ERROR_SUCCESS;
    std::string scratch;
    auto read = [&](const CEvtSnapshot& snap) {
        const DWORD oldest = snap.GetOldest();
        const DWORD count = snap.GetCount();
        const DWORD intact = snap.GetIndexedCount();
        if (count == 0) {
            result = ERROR_HANDLE_EOF;
            return;
        }
        const DWORD newest = oldest + count - 1;
        DWORD index = intact;
        if (seek) {
            if (recordOffset - oldest >= count) {
                result = ERROR_INVALID_PARAMETER;
                return;
            }
            index = snap.FindIndex(recordOffset, forwards);
        } else if (!handle->m_bPositioned) {
            index = forwards ? 0 : intact - 1;
        } else {
            // The position may have fallen behind the oldest record (it was
            // overwritten) or run past the newest. Numbers wrap, and a log
            // may hold more than 2^31 numbers between its ends, so the
            // position outside them is taken to be on the nearer side.
            DWORD number = handle->m_dwNext;
            if (number - oldest >= count) {
                const bool behind = oldest - number < number - newest;
                if (behind && forwards)
                    number = oldest;
                else if (!behind && !forwards)
                    number = newest;
            }
            index = number - oldest < count ? snap.FindIndex(number, forwards) : intact;
        }
        if (index >= intact) {
            result = ERROR_HANDLE_EOF;
            return;
        }
        DWORD used = 0;
        DWORD last = 0;
        while (index < intact) {
            DWORD length = 0;
            const BYTE* record = snap.GetRecordAt(index, length, scratch);
            DWORD needed = ConvertEvtRecordToAnsi(record, length, out + used, bytesToRead - used);
            if (needed > bytesToRead - used) {
                if (used == 0) {
                    *minBytesNeeded = needed;
                    result = ERROR_INSUFFICIENT_BUFFER;
                }
                break;
            }
            used += needed;
            last = snap.GetNumberAt(index);
            index = forwards ? index + 1 : index - 1; // below 0 wraps past intact
        }
        if (used) {
            *bytesRead = used;
            handle->m_bPositioned = true;
            handle->m_dwNext = forwards ? last + 1 : last - 1;
        }
    };
    DWORD error = handle->m_file.Read(read);
    if (error == ERROR_EVENTLOG_FILE_CHANGED) {
        // The log was cleared: a handle that has read before must start over.
        bool positioned = handle->m_bPositioned;
        handle->m_bPositioned = false;
        if (positioned)
            return Fail(error);
        error = handle->m_file.Read(read);
    }
    if (error != ERROR_SUCCESS)
        return Fail(error);
    if (result != ERROR_SUCCESS)
        return Fail(result);
    return TRUE;
}

BOOL GetOldestEventLogRecord(HANDLE log, DWORD* oldestRecord)
{
    return GetLogNumber(log, oldestRecord,
                        [](const CEvtSnapshot& snap) { return snap.GetOldest(); });
}

BOOL GetNumberOfEventLogRecords(HANDLE log, DWORD* numberOfRecords)
{
    return GetLogNumber(log, numberOfRecords,
                        [](const CEvtSnapshot& snap) { return snap.GetCount(); });
}

DWORD FirstIntactRecord(const CEventLogFileInfo& info, DWORD number, bool forwards)
{
    for (const CEvtGap& gap : info.m_gaps) {
        const DWORD before = gap.m_dwBefore ? gap.m_dwBefore : info.m_dwOldest - 1;
        const DWORD after = gap.m_dwAfter ? gap.m_dwAfter : info.m_dwOldest + info.m_dwCount;
        if (number - before - 1 < after - before - 1)
            return forwards ? after : before;
    }
    return number;
}

BOOL GetEventLogFileInfo(HANDLE log, CEventLogFileInfo& info)
{
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    std::lock_guard<std::mutex> lock(handle->m_mutex);
    info.m_strPath = handle->m_file.GetPath();
    DWORD error = ReadCurrent(*handle, [&](const CEvtSnapshot& snap) {
        info.m_dwOldest = snap.GetOldest();
        info.m_dwCount = snap.GetCount();
        info.m_dwFileSize = static_cast<DWORD>(snap.GetFileSize());
        info.m_header = snap.GetHeader();
        info.m_nFileIdentity = handle->m_file.GetIdentity();
        info.m_dwIntact = snap.GetIndexedCount();
        info.m_gaps = snap.GetGaps();
        info.m_dwDamageOffset = snap.GetDamageOffset();
    });
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL ClearEventLogA(HANDLE log, const char* backupFileName)
{
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    if (handle->m_kind != CLogHandle::Kind::READ)
        return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard<std::mutex> lock(handle->m_mutex);
    if (backupFileName) {
        auto path = BackupPath(backupFileName);
        if (!path || !handle->m_file.Backup(*path))
            return FALSE;
    }
    CEventLogConfig config;
    if (!CurrentConfig(*handle, config) ||
        !handle->m_file.Clear(config.m_dwMaxSize, config.m_dwRetention))
        return FALSE;
    handle->m_bPositioned = false;
    return TRUE;
}

BOOL RepairEventLogA(HANDLE log, const char* backupFileName, BOOL* repaired)
{
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    if (handle->m_kind != CLogHandle::Kind::READ || !repaired)
        return Fail(ERROR_INVALID_PARAMETER);
    auto path = BackupPath(backupFileName);
    if (!path)
        return FALSE;
    std::lock_guard<std::mutex> lock(handle->m_mutex);
    bool done = false;
    bool ok = handle->m_file.Repair(*path, &done);
    *repaired = done ? TRUE : FALSE;
    handle->m_bPositioned = false;
    return ok ? TRUE : FALSE;
}

BOOL BackupEventLogA(HANDLE log, const char* backupFileName)
{
    auto handle = FindHandle(log, false);
    if (!handle)
        return FALSE;
    auto path = BackupPath(backupFileName);
    if (!path)
        return FALSE;
    std::lock_guard<std::mutex> lock(handle->m_mutex);
    return handle->m_file.Backup(*path) ? TRUE : FALSE;
}

HANDLE RegisterEventSourceA(const char* server, const char* sourceName)
{
    return RegisterEventSourceInLogA(server, nullptr, sourceName);
}

HANDLE RegisterEventSourceInLogA(const char* server, const char* log, const char* sourceName)
{
    auto handle = OpenServiceLog(server, sourceName, true, log);
    if (!handle)
        return nullptr;
    if (!handle->m_file.IsWritable()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return AddHandle(std::move(handle));
}

BOOL DeregisterEventSource(HANDLE eventLog)
{
    return RemoveHandle(eventLog, true);
}

BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventID, PSID userSid,
                  WORD numStrings, DWORD dataSize, const char** strings, const void* rawData)
{
    auto handle = FindHandle(eventLog, true);
    if (!handle)
        return FALSE;
    if ((numStrings && !strings) || (dataSize && !rawData) ||
        (userSid && !IsValidSidBytes(userSid, GetLengthSid(userSid))))
        return Fail(ERROR_INVALID_PARAMETER);
    CEvtEvent event;
    for (WORD i = 0; i < numStrings; ++i) {
        if (!strings[i] || Utf8ToUtf16(strings[i]).size() > EVT_MAX_STRING_UNITS)
            return Fail(ERROR_INVALID_PARAMETER);
        event.m_strings.emplace_back(strings[i]);
    }
    auto now = static_cast<DWORD>(GetClock().NowSeconds());
    event.m_dwTimeGenerated = now;
    event.m_dwTimeWritten = now;
    event.m_dwEventID = eventID;
    event.m_wEventType = type;
    event.m_wEventCategory = category;
    event.m_strSourceName = handle->m_strSource;
    event.m_strComputerName = GetLocalComputerName();
    if (userSid)
        event.m_sid.assign(static_cast<const char*>(userSid), GetLengthSid(userSid));
    if (dataSize)
        event.m_data.assign(static_cast<const char*>(rawData), dataSize);

    std::lock_guard<std::mutex> lock(handle->m_mutex);
    CEventLogConfig config;
    if (!CurrentConfig(*handle, config))
        return FALSE;
    DWORD damageOffset = 0;
    if (handle->m_file.Append({&event, 1}, config.m_dwRetention, nullptr, &damageOffset))
        return TRUE;
    if (GetLastError() == ERROR_EVENTLOG_FILE_CORRUPT)
        t_strDamage = "the event log " + handle->m_file.GetPath() + " is damaged at offset " +
                      std::to_string(damageOffset) + "; run qvevent repair";
    return FALSE;
}

std::string GetEventLogDamageText()
{
    return t_strDamage;
}

BOOL EnumEventLogs(const char* server, std::vector<CEventLogConfig>& logs)
{
    auto folder = GetComputerFolder(server, ERROR_BAD_NETPATH);
    return folder && ReadEventLogConfigs(*folder, logs) ? TRUE : FALSE;
}

BOOL AddEventLog(const char* server, const char* log, std::optional<DWORD> maxSize,
                 std::optional<DWORD> retention)
{
    auto folder = GetComputerFolder(server, ERROR_BAD_NETPATH);
    if (!log)
        return Fail(ERROR_INVALID_PARAMETER);
    return folder && WriteEventLogConfig(*folder, log, maxSize, retention) ? TRUE : FALSE;
}

BOOL AddEventSource(const char* server, const char* log, const char* source,
                    const CEventSourceConfig& config)
{
    auto folder = GetComputerFolder(server, ERROR_BAD_NETPATH);
    if (!log || !source)
        return Fail(ERROR_INVALID_PARAMETER);
    return folder && WriteEventSourceConfig(*folder, log, source, config) ? TRUE : FALSE;
}
