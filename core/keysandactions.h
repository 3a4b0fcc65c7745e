#pragma once
// A watch group: what a monitored log looks for (ordered search keys) and
// what it does when it finds it (a task), with a description and a minimum
// launch interval.
//
// Threads: the scan thread tests keys and counts hits; the user interface
// thread edits. The key array is guarded by g_csMonitor per access
// (GetKeyCount reads the size without it).
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/digest.h"
#include "core/grouprules.h"
#include "core/monitorlock.h"
#include "match/searchkey.h"
#include "platform/clipboard/globalmem.h"
#include "tasklib/task.h"

class CKeysAndActions : public CObject {
    DECLARE_SERIAL(CKeysAndActions)
public:
    CKeysAndActions();
    CKeysAndActions(const CKeysAndActions& other);
    // Deep: the task is assigned and every key is cloned; self-assignment
    // changes nothing.
    CKeysAndActions& operator=(const CKeysAndActions& other);
    ~CKeysAndActions() override;

    // Record version 2; version 1 has no minimum launch interval. A group
    // with a threshold or silence rule writes version 3, which adds the
    // rules after version 2's fields (CGroupRules::Store). A group with a
    // digest writes version 4, which adds after version 3's fields: LONG
    // digest flag, LONG runs, LONG minutes, the digest state
    // (CDigestState::Serialize).
    void Serialize(CArchive& ar) override;

    // This group, or its task alone, as clipboard data (a block owned by
    // the caller).
    virtual CGlobalMemory CopyToGlobalMemory() const;
    virtual CGlobalMemory CopyTaskToGlobalMemory() const;
    // Null for the null handle; throws CArchiveException on damaged data.
    static std::unique_ptr<CKeysAndActions> FromGlobalMemory(const CGlobalMemory& hMem);
    static std::unique_ptr<CTask> TaskFromGlobalMemory(const CGlobalMemory& hMem);

    // Keys, in order; the group owns them.
    int GetKeyCount() const { return static_cast<int>(m_nKeyCount.load()); }
    int AddKey(CSearchKey* pKey);
    CSearchKey* GetKey(int index) const;
    CSearchKey* GetNextKey(int& pos) const;
    void RemoveKey(int index);
    void RemoveAllKeys();

    // Triggering support (scan thread).
    BOOL IsTriggered() const;
    void ResetHits();
    BOOL RunTask(int* pFailedActions = nullptr) { return m_task.Run(pFailedActions); }
    // The digest, on the scan thread: the summary run of a period that has
    // ended (TRUE when it ran), and the launch of a trigger (TRUE when the
    // task ran, FALSE when it was held back). See core/digest.h. When the
    // task ran, the count of its failed actions goes to *pFailedActions.
    BOOL FlushDigestIfDue();
    BOOL RunTaskWithDigest(int* pFailedActions = nullptr);
    void SetVariable(const char* name, const std::string& value);
    void SetVariableNumber(const char* name, int value);
    // The twelve event variables to "<empty>".
    void SetEmptyVariables();

    // The rules, on the scan thread, for a group that a trigger made
    // triggered: whether the task may run. A silence group notes the match
    // and runs nothing; a threshold group counts it (per value of its
    // variable) and sets "%THRESHOLD_COUNT%", "%THRESHOLD_FIRST%" and
    // "%THRESHOLD_LAST%" when the count is reached.
    bool PassRules();
    // The silence rule, after each scan of the log: when the expectation
    // failed, sets "%SILENCE_SINCE%" and runs the task (unless a stop was
    // requested). TRUE when the task ran.
    BOOL CheckSilence();

    std::string m_strDescription;
    std::vector<CSearchKey*> m_arrKeys GUARDED_BY(g_csMonitor);
    CTask m_task;
    BOOL m_bTaskChanged = 1;
    BOOL m_bMinInterval = FALSE;
    int m_nMinIntervalMinutes = 0;
    CGroupRules m_rules; // thresholds and silence
    BOOL m_bDigest = FALSE;
    int m_nDigestRuns = 3;
    int m_nDigestMinutes = 10;
    CDigestState m_digest;

private:
    std::atomic<std::size_t> m_nKeyCount{0}; // mirrors m_arrKeys.size()
};

// The name of a group that the user creates: "<New Watch Group %d>".
std::string NewWatchGroupName(int number);

// Registers the persisted classes of the monitoring core and of every
// library below it that it stores (keys, tasks) for creation by name.
void RegisterCoreClasses();
