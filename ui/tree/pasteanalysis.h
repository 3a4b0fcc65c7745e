#pragma once
// What a paste or a drop would do with the data on offer at a tree node:
// the decision table of the tree's Paste command, and the texts of its menu
// item. Pure functions, any thread.
#include <string>

#include "platform/base/win32types.h"

// The kinds of data that can be on offer, as bits.
enum PasteOffer : unsigned {
    OFFER_EVENT_KEY = 1u << 0,
    OFFER_EVENT_WATCH = 1u << 1,
    OFFER_TEXT_WATCH = 1u << 2,
    OFFER_TASK = 1u << 3,
    OFFER_TEXT_KEY = 1u << 4,
    OFFER_TEXT_LOG = 1u << 5,
    OFFER_EVENT_LOG = 1u << 6,
    OFFER_PLAIN_TEXT = 1u << 7,
};

enum PasteResult : int {
    PASTE_NONE = 0,
    PASTE_ADD_TEXT_KEY = 1,
    PASTE_ADD_EVENT_KEY = 2,
    PASTE_REPLACE_TEXT_KEY = 3,
    PASTE_REPLACE_EVENT_KEY = 4,
    PASTE_ADD_TEXT_WATCH = 5,
    PASTE_ADD_EVENT_WATCH = 6,
    PASTE_REPLACE_TEXT_WATCH = 7,
    PASTE_REPLACE_EVENT_WATCH = 8,
    PASTE_REPLACE_TASK = 9,
    PASTE_ADD_TEXT_LOG = 10,
    PASTE_ADD_EVENT_LOG = 11,
    PASTE_REPLACE_EVENT_LOG_WATCHES = 12,
    PASTE_REPLACE_TEXT_LOG_WATCHES = 13,
};

// The target: a tree node's kind (treenodes.h) and, for a log or a node
// below one, whether that log is an event log.
// Event keys decide alone: where they do not fit nothing is pasted. A text
// key comes before watch groups, tasks and logs; plain text counts only when
// no event key, watch group, task or text key is on offer, and a text log
// only when neither a text key nor plain text is.
PasteResult AnalysePaste(unsigned offers, DWORD targetKind, bool bEventLog);

// "(Add text key)" ... "(Replace text log watches)"; empty for PASTE_NONE.
const char* PasteSuffix(int result);
// The Paste menu item: "&Paste " + suffix + "\tCtrl+V", or "&Paste " alone
// when nothing would be pasted.
std::string PasteMenuText(int result);
