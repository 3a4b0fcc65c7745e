#pragma once
// A task action for tests: each run records the task's description and the
// values of its variables, so tests see what a trigger set and whether the
// launch rule ran the task. The record may be read from another thread.
// Also the watch groups and text keys that the scan tests build with it.
#include <initializer_list>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "match/searchkeytext.h"
#include "tasklib/actions.h"
#include "testing.h"

struct CTaskRun {
    std::string strTask;
    std::map<std::string, std::string> vars;
    std::string Var(const std::string& name) const
    {
        auto it = vars.find(name);
        return it == vars.end() ? std::string() : it->second;
    }
};

class CRunLog {
public:
    void Add(CTaskRun run)
    {
        std::function<void()> onRun;
        {
            std::lock_guard lock(m_mutex);
            m_runs.push_back(std::move(run));
            onRun = m_onRun;
        }
        m_cv.notify_all();
        if (onRun)
            onRun();
    }
    std::vector<CTaskRun> Get() const
    {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }
    void Clear() { TakeTexts(); }
    // "%EVENT_TEXT%" of each run since the last Clear() or TakeTexts().
    std::vector<std::string> TakeTexts()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const CTaskRun& run : m_runs)
            texts.push_back(run.Var("%EVENT_TEXT%"));
        m_runs.clear();
        return texts;
    }
    // Waits until at least n runs were recorded or the deadline passed.
    bool WaitFor(std::size_t n, std::chrono::seconds deadline = std::chrono::seconds(30))
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, deadline, [&] { return m_runs.size() >= n; });
    }
    // Called after each run, on the thread that ran the task.
    void SetOnRun(std::function<void()> onRun)
    {
        std::lock_guard lock(m_mutex);
        m_onRun = std::move(onRun);
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<CTaskRun> m_runs;
    std::function<void()> m_onRun;
};

class CRecordAction final : public CBaseAction {
public:
    explicit CRecordAction(std::shared_ptr<CRunLog> log) : m_log(std::move(log)) {}
    std::unique_ptr<CBaseAction> Clone() const override
    {
        return std::make_unique<CRecordAction>(*this);
    }
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override
    {
        m_log->Add({strTask, variables.GetAll()});
        return true;
    }

private:
    std::shared_ptr<CRunLog> m_log;
};

inline CSearchKeyText* TextKey(const char* key1, TextKeyMode mode = TextKeyMode::ONLY,
                               const char* key2 = "", BOOL bCaseSensitive = FALSE)
{
    auto* pKey = new CSearchKeyText;
    pKey->m_strKey1 = key1;
    pKey->m_strKey2 = key2;
    pKey->m_nMode = mode;
    pKey->m_bCaseSensitive = bCaseSensitive;
    return pKey;
}

// A watch group of the log named strName with the keys, whose task records
// its runs in runs.
inline CKeysAndActions* AddRecordingGroup(CMonitoredObject& log, const std::string& strName,
                                          const std::shared_ptr<CRunLog>& runs,
                                          std::initializer_list<CSearchKey*> keys)
{
    auto* pGroup = new CKeysAndActions;
    pGroup->m_strDescription = strName;
    pGroup->m_task.SetDescription(strName.c_str());
    pGroup->m_task.AddAction(CRecordAction(runs));
    for (CSearchKey* pKey : keys)
        pGroup->AddKey(pKey);
    log.AddWatchGroup(pGroup);
    return pGroup;
}
