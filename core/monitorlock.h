#pragma once
// The lock of the watch configuration that the scan thread shares with the
// front end.
#include "platform/base/sync.h"

// Guards the log list of the scan manager and every watch-group and key
// array; held per access, never across a scan.
extern CCriticalSection g_csMonitor;
