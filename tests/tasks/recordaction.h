#pragma once
// A task action for tests: each run records the task's description and the
// values of its variables, so tests see what a trigger set and whether the
// launch rule ran the task. The record may be read from another thread.
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tasklib/actions.h"

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
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_runs.clear();
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
