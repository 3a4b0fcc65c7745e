#pragma once
// What the document tells its views after a change: the hint code, and the
// log, watch group and key it concerns (CHintStruct).
//
// Threads: user interface thread only.
#include "archive/object.h"
#include "platform/base/win32types.h"

// Update hint codes passed to the views.
constexpr LPARAM HINT_SCRIPT_RUN = 0;       // no hint object; rebuild everything
constexpr LPARAM HINT_LOG_ADDED = 1;        // log
constexpr LPARAM HINT_LOG_EDITED = 2;       // log (properties, or groups replaced or merged)
constexpr LPARAM HINT_LOG_DELETED = 3;      // log
constexpr LPARAM HINT_LOG_ENABLED = 4;      // log
constexpr LPARAM HINT_LOG_STATE = 5;        // log, extra (cleared, marked, scanned)
constexpr LPARAM HINT_SETTINGS_CHANGED = 6; // no hint object
constexpr LPARAM HINT_KEY_EDITED = 7;       // log, group, key
constexpr LPARAM HINT_KEY_ADDED = 8;        // log, group, new key index
constexpr LPARAM HINT_KEY_DELETED = 9;      // log, group, key
constexpr LPARAM HINT_TASK_EDITED = 10;     // log, group
constexpr LPARAM HINT_GROUP_EDITED = 11;    // log, group
constexpr LPARAM HINT_GROUP_ADDED = 12;     // log, new group index
constexpr LPARAM HINT_GROUP_DELETED = 13;   // log, group
constexpr LPARAM HINT_LOG_RENAMED = 14;     // log (its computer name changed)

// What an update hint concerns.
class CHintStruct : public CObject {
    DECLARE_DYNAMIC(CHintStruct)
public:
    explicit CHintStruct(DWORD dwID = 0, int nGroup = 0, int nKey = 0, DWORD dwExtra = 0)
        : m_dwID(dwID), m_nGroup(nGroup), m_nKey(nKey), m_dwExtra(dwExtra)
    {
    }

    DWORD m_dwID;    // the monitored log
    int m_nGroup;    // its watch group, or 0
    int m_nKey;      // the group's key, or 0
    DWORD m_dwExtra; // an event log's last record with hint 5 from the scan thread, else 0
};

// A view of the document.
class IView {
public:
    virtual ~IView() = default;
    // pHint is null for hints 0 and 6.
    virtual void OnUpdate(LPARAM lHint, const CHintStruct* pHint) = 0;
};
