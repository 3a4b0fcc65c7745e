#pragma once
// The scan thread's messages in the main window's queue (WM_SCAN_STATE,
// WM_SCAN_PROGRESS, WM_AUTOSAVE, WM_DEFERRED_EDIT), handled the same way by
// every front end: the document tells its views and saves the workspace;
// the front end shows what it shows through IScanMessageSink.
//
// Threads: user interface thread (the one that drains the queue).
#include <chrono>
#include <optional>
#include <string>

#include "core/monmanager.h"
#include "platform/base/msgqueue.h"

class CQuorvilDoc;

class IScanMessageSink {
public:
    virtual ~IScanMessageSink() = default;
    // WM_SCAN_STATE: no state for a value that names none; secondsLeft
    // counts down to an automatic start.
    virtual void OnScanState(std::optional<ScanState> state, std::chrono::seconds secondsLeft) = 0;
    // WM_SCAN_PROGRESS, after the views were told that the log changed.
    virtual void OnLogProgress(DWORD dwID) { (void)dwID; }
    // WM_AUTOSAVE: before (true) and after (false) the save.
    virtual void OnAutoSave(bool bSaving) { (void)bSaving; }
};

// Handles msg when it is one of the scan thread's messages: WM_SCAN_PROGRESS
// and WM_DEFERRED_EDIT update the views, WM_AUTOSAVE saves the workspace
// silently under a scan pause (a failure goes to the system log). False for
// any other message.
bool DispatchScanMessage(CQuorvilDoc& doc, const CQueuedMessage& msg, IScanMessageSink& sink);

// "Stopped", "Starting", "Running", "Stopping"; empty without a state.
std::string ScanStateText(std::optional<ScanState> state);
