#pragma once
// A task of the task library: a description, an ordered list of owned
// actions and the substitution variables that fill the actions' texts when
// the task runs. Every watch group holds one by value.
//
// Threads: the scan thread sets variables and runs the task, test-run worker
// threads run it, the user interface thread edits it (Properties, assignment).
// Every operation takes the task's own lock; Run takes a snapshot of the
// actions and variables under it and runs the actions outside it, so a
// message action that waits for the user blocks neither editing nor
// triggers. A pointer from GetAction is for the editing thread only: edit a
// copy of the task and assign it back.
//
// Variables: SetTranslationString sets any name. The thirteen names a trigger
// fills (TRIGGER_VARIABLES) describe the last trigger and are never stored;
// every other name is a constant (set by a workspace script or the user) and
// is kept in the task's record.
//
// Last-run time: the local date-time at which Run last started, valid; a
// task that never ran reports 0.0 (1899-12-30 00:00), so that any minimum
// launch interval has passed. It describes the run and is not stored.
//
// Record "CTask" (numbers 32-bit): version 1; string description; count N of
// actions and N object records (classes derived from CBaseAction, see
// actions.h); count C of constants and C pairs of strings name, value, in
// name order. A watch group writes the task with WriteObject and reads it
// back with ReadFromArchive.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/sync.h"
#include "platform/base/win32types.h"
#include "tasklib/actions.h"
#include "tasklib/oledatetime.h"
#include "tasklib/taskvariables.h"

class CTask : public CObject {
    DECLARE_SERIAL(CTask)
public:
    // An empty task described "Task".
    CTask();
    CTask(const CTask& other);
    // A full, independent copy: description, actions (cloned), variables and
    // last-run time.
    CTask& operator=(const CTask& other);
    ~CTask() override;

    // Loading replaces description, actions and variables with the record's.
    // A damaged record throws CArchiveException.
    void Serialize(CArchive& ar) override;
    // Reads one object record that must be a task: a new task owned by the
    // caller, or null for a null record. Another class, or damage, throws
    // CArchiveException. The extraction behind a task pasted from the
    // clipboard.
    static std::unique_ptr<CTask> ReadFromArchive(CArchive& ar);

    void SetDescription(const char* description);
    std::string GetDescription() const;

    // Sets a substitution variable ("%EVENT_TIME%", "%MAILTO%", ...); setting
    // a name again overwrites its value.
    void SetTranslationString(const char* name, const char* value);
    void RemoveTranslationString(const char* name);
    // A trigger's variables in one step: CTaskVariables::Replace.
    void ReplaceTranslationStrings(std::string_view prefix, bool (*pTest)(std::string_view name),
                                   std::span<const CTaskVariables::NameValue> values);
    // A copy of all variables; GetAll or GetConstants of it lists them.
    CTaskVariables GetVariables() const;

    // Sets the last-run time to now (the model's clock), then runs the
    // actions in order with the variables substituted. May block while an
    // action waits. TRUE when every action succeeded; a failed action is
    // logged and the next one still runs. The count of failed actions goes
    // to *pFailedActions when given.
    BOOL Run(int* pFailedActions = nullptr);
    // The same with extra variables for this run only, over the task's own
    // (a digest's summary); they are not kept.
    BOOL Run(const std::map<std::string, std::string>& extra, int* pFailedActions = nullptr);
    // Test Task Actions: runs the task once; when its actions queued
    // deliveries (e-mail, web hook, syslog), each is attempted once without
    // retries, and after all have answered (at most nWaitMs) the front end
    // shows one message listing each delivery with "delivered" or the
    // failure's reason, and whether an action failed before sending. Returns
    // that text (empty when there was nothing to tell).
    std::string RunAsTest(std::uint32_t nWaitMs = TEST_DELIVERY_WAIT_MS);
    static constexpr std::uint32_t TEST_DELIVERY_WAIT_MS = 120'000;
    COleDateTime GetLastRunTime() const;

    // The task's editing dialog through the front end (ITaskUi::EditTask);
    // 1 when the task was changed.
    int Properties();

    // Appends a copy of the action; the caller keeps its own.
    void AddAction(const CBaseAction& action);
    int GetActionCount() const;
    // The action at the index, or null when the index is not below the count.
    CBaseAction* GetAction(int index);
    const CBaseAction* GetAction(int index) const;
    // Removes and deletes the action at the index, if there is one.
    void RemoveAction(int index);
    void RemoveAllActions();

private:
    mutable CCriticalSection m_cs;
    std::string m_strDescription;                           // guarded by m_cs
    std::vector<std::unique_ptr<CBaseAction>> m_arrActions; // guarded by m_cs
    CTaskVariables m_variables;                             // guarded by m_cs
    COleDateTime m_timeLastRun;                             // guarded by m_cs
};

// Registers the task library's persisted classes (CTask and the actions) for
// creation by name (archive/object.h). Called at start-up by every
// program, tool and test that reads tasks.
void RegisterBranSchedClasses();
