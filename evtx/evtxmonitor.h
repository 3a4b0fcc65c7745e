#pragma once
// CEvtxMonitor: the monitored log of a Windows XML event log file (.evtx),
// or of a folder of them read oldest first (by modification time), as
// administrators copy them from Windows machines. Its watch groups take
// event keys and text keys as an event log's do: Source is the provider,
// User the user SID, Type comes from the level (or the audit keywords), and
// the description is the message of a classic source that has a message
// file on this computer, otherwise the event data as "Name: value" lines.
//
// The position is the EventRecordID of the last record read. Records that
// libevtx cannot parse are skipped and counted; one system log line per
// scan says how many.
//
// Record (class CEvtxMonitor, schema 1): the CMonitoredObject record, then
// version 1, the path, the last record identifier's low and high 32 bits, 0.
//
// Threads: Scan runs on the scan thread; JumpToEnd on the thread that issues
// it, never during a Scan of the same log.
#include <cstdint>
#include <string>
#include <vector>

#include "core/monitoredobject.h"
#include "core/wakeup.h"

class CEvtxFile;
struct CEvtxRecord;

class CEvtxMonitor : public CMonitoredObject, public IWakeupSource {
    DECLARE_SERIAL(CEvtxMonitor)
public:
    CEvtxMonitor();
    CEvtxMonitor(const CEvtxMonitor& other);
    CEvtxMonitor& operator=(const CEvtxMonitor& other);

    void Serialize(CArchive& ar) override;

    void Scan() override;
    std::string GetDisplayName() const override { return m_strPath; }
    int GetImageIndex() const override;
    BOOL IsEventLog() const override { return TRUE; }
    // The position moves to the newest record there is.
    void JumpToEnd() override;
    UINT GetWatchGroupClipFormat() const override;
    UINT GetClipFormat() const override;

    // The .evtx files of the log, oldest first: the file itself, or the
    // folder's files ending in ".evtx" (any letter case) by modification
    // time, then name.
    std::vector<std::string> GetFiles() const;

    // The file's folder (with its name), or the folder itself.
    bool GetWakeupSource(CWakeupSource& source) override;

    void TakeScanStateFrom(const CEvtxMonitor& live) { m_nLastRecord = live.m_nLastRecord; }

    std::string m_strPath;
    std::uint64_t m_nLastRecord = 0;

private:
    struct CScanState;
    // Offers one record to every group; false when a stop was requested.
    bool TestRecord(CEvtxFile& file, const CEvtxRecord& record, CScanState& state);
};

void RegisterEvtxClasses();
