#pragma once
// The item identifiers of the workspace tree's nodes: the kind in the top
// four bits (core/itemid.h), and below it a log's own sequence number,
// or the index of a watch group or key within its parent. Roots, the system
// log file and task nodes carry their kind alone.
#include "core/itemid.h"

constexpr DWORD TREE_KIND_TEXT_ROOT = 0x10000000;   // "Text Logs"
constexpr DWORD TREE_KIND_EVENT_ROOT = 0x20000000;  // "Event Logs"
constexpr DWORD TREE_KIND_WATCH_GROUP = 0x70000000; // index within its log
constexpr DWORD TREE_KIND_TASK = 0x90000000;        // the task of its watch group
constexpr DWORD TREE_KIND_SEARCH_KEY = 0xA0000000;  // index within its watch group

constexpr bool IsLogKind(DWORD kind)
{
    return kind == ITEM_KIND_TEXT_LOG || kind == ITEM_KIND_EVENT_LOG;
}
