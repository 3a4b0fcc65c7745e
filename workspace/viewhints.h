#pragma once
// What the document tells its views after a change: the hint code, and the
// log, watch group and key it concerns (CHintStruct).
//
// Threads: user interface thread only.
#include <optional>

#include "archive/object.h"
#include "platform/base/win32types.h"

// What changed, as the document tells its views; the number is the hint
// code the views are sent (and WM_DEFERRED_EDIT carries).
enum class ViewHint : LPARAM {
    ScriptRun = 0,       // no hint object; rebuild everything
    LogAdded = 1,        // log
    LogEdited = 2,       // log (properties, or groups replaced or merged)
    LogDeleted = 3,      // log
    LogEnabled = 4,      // log
    LogState = 5,        // log, extra (cleared, marked, scanned)
    SettingsChanged = 6, // no hint object
    KeyEdited = 7,       // log, group, key
    KeyAdded = 8,        // log, group, new key index
    KeyDeleted = 9,      // log, group, key
    TaskEdited = 10,     // log, group
    GroupEdited = 11,    // log, group
    GroupAdded = 12,     // log, new group index
    GroupDeleted = 13,   // log, group
    LogRenamed = 14,     // log (its computer name changed)
};
constexpr LPARAM ToLParam(ViewHint hint)
{
    return static_cast<LPARAM>(hint);
}
// The hint a message's number names, or none.
constexpr std::optional<ViewHint> ViewHintFromLParam(LPARAM lParam)
{
    if (lParam < 0 || lParam > ToLParam(ViewHint::LogRenamed))
        return std::nullopt;
    return static_cast<ViewHint>(lParam);
}

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
    DWORD m_dwExtra; // an event log's last record with LogState from the scan thread, else 0
};

// A view of the document.
class IView {
public:
    virtual ~IView() = default;
    // pHint is null for hints 0 and 6.
    virtual void OnUpdate(ViewHint hint, const CHintStruct* pHint) = 0;
};
