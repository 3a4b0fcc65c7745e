#pragma once
// Item identifiers: 32-bit numbers naming a monitored log or a tree item,
// with the kind in the top four bits and a sequence number in the low 28.
// Identifiers live for one run and are never stored.
#include "platform/base/win32types.h"

constexpr DWORD ITEM_KIND_MASK = 0xF0000000;
constexpr DWORD ITEM_NUMBER_MASK = 0x0FFFFFFF;

constexpr DWORD ITEM_KIND_SYSTEM_LOG = 0x30000000;  // the system log file
constexpr DWORD ITEM_KIND_TEXT_LOG = 0x50000000;    // a text log file
constexpr DWORD ITEM_KIND_EVENT_LOG = 0x60000000;   // an event log
constexpr DWORD ITEM_KIND_TEXT_AUDIT = 0xB0000000;  // the text audit file
constexpr DWORD ITEM_KIND_EVENT_AUDIT = 0xC0000000; // the event audit file

constexpr DWORD ItemKind(DWORD id)
{
    return id & ITEM_KIND_MASK;
}
constexpr DWORD ItemNumber(DWORD id)
{
    return id & ITEM_NUMBER_MASK;
}

// The next sequence number of the process-wide counter, which starts at 100
// and is incremented before each use (the first call returns 101).
// Thread-safe.
DWORD NewItemID();
