#pragma once
// The scan state file beside a workspace (W.qvw.state): what the scans of
// its event logs saw of each log (oldest record number, file identity), which
// the workspace format has no room for. With it, a log that another program
// cleared and refilled past the last record read between two runs is read
// again from its oldest record instead of being missed.
//
// One line per event log, "EVT<TAB>computer<TAB>log<TAB>last record<TAB>
// oldest<TAB>identity", after the line "quorvil scan state 1". A line counts
// only for a log whose last record is the one in the workspace (the two files
// are written one after the other). A missing or unreadable file is ignored.
// Written atomically, owner-only, after each save of the workspace, and only
// for a workspace that has event logs.
#include <string>

class CMonManager;

std::string ScanStatePath(const std::string& workspacePath);
// Writes the file; false (nothing written) when it cannot be.
bool SaveScanState(const std::string& workspacePath, const CMonManager& manager);
// Gives the event logs of the manager what the file says of them.
void LoadScanState(const std::string& workspacePath, CMonManager& manager);
