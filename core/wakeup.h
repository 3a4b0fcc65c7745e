#pragma once
// Wake-ups: a change of a log wakes the scan thread before the log's
// interval is up. A log says what tells of its changes (CWakeupSource):
// folders whose entries inotify watches (a text log's folder: writes to the
// file, its creation, renames and the next day's dated file all show
// there), or a descriptor that becomes readable on a change (a journal's
// sd_journal_get_fd). The interval stays the longest wait: a log is still
// scanned when it is due, woken or not.
//
// When the system's inotify watch limit is reached, the logs beyond it are
// polled at their interval only; one system log line says so.
//
// Threads: a CWakeupWatcher belongs to the scan thread.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/win32types.h"

class IClock;

struct CWakeupSource {
    // Folders to watch, each with the name of the entry in it that is the
    // log (empty: any entry of the folder).
    std::vector<std::pair<std::string, std::string>> folders;
    // A descriptor that becomes readable when the log changes, or -1.
    int fd = -1;
};

// Implemented by the kinds of logs that can tell of their changes; the scan
// thread asks for it with dynamic_cast.
class IWakeupSource {
public:
    virtual ~IWakeupSource() = default;
    // What tells of this log's changes; false when the log is only polled.
    // Called on the scan thread every few seconds, so the sources follow
    // edits and dated names.
    virtual bool GetWakeupSource(CWakeupSource& source) = 0;
    // The log's descriptor became readable: takes in what it says (the
    // scan thread, before the log's scan). True when the log changed.
    virtual bool ProcessWakeup() { return true; }
};

class CWakeupWatcher {
public:
    CWakeupWatcher();
    ~CWakeupWatcher();
    CWakeupWatcher(const CWakeupWatcher&) = delete;
    CWakeupWatcher& operator=(const CWakeupWatcher&) = delete;

    // The sources of every log that has one, by log identifier: watches
    // are added for new folders and removed for folders no log needs.
    void Refresh(const std::vector<std::pair<DWORD, CWakeupSource>>& sources);

    // Waits until a source reports a change or the milliseconds passed (of
    // the clock's time: a clock of tests does not wait for the system).
    void Wait(IClock& clock, std::uint32_t nMilliseconds);

    // The logs whose folders changed, and those whose descriptor became
    // readable (their ProcessWakeup must be called), since the last take.
    std::set<DWORD> TakeWoken();
    bool HasWoken() const { return !m_woken.empty() || !m_descriptorWoken.empty(); }
    std::set<DWORD> TakeDescriptorWoken();

    // How many folders are watched; how many logs poll only because the
    // watch limit was reached.
    std::size_t GetWatchCount() const { return m_watches.size(); }
    std::size_t GetPolledCount() const { return m_nPolled; }

private:
    struct CWatch {
        int wd = -1;
        std::vector<std::pair<DWORD, std::string>> logs; // log, its name there
    };
    void ReadEvents();

    int m_fdInotify = -1;
    std::map<std::string, CWatch> m_watches; // by folder
    std::map<int, std::string> m_folders;    // folder by watch descriptor
    std::vector<std::pair<int, DWORD>> m_descriptors;
    std::set<DWORD> m_woken;
    std::set<DWORD> m_descriptorWoken;
    std::size_t m_nPolled = 0;
    bool m_bLimitReported = false;
};
