#pragma once
// The substitution variables as the task dialog offers them: each trigger
// variable with a short explanation, and a sample entry (an error event of
// a disk on a server) whose values fill the preview of an action's text and
// a test run from the dialog. Plain data; any thread.
#include <string>
#include <vector>

#include "tasklib/taskvariables.h"

struct CVariableInfo {
    const char* name;
    const char* explanation;
    const char* sample;
};

// The thirteen trigger variables in the order of TRIGGER_VARIABLES.
const std::vector<CVariableInfo>& GetTriggerVariableInfo();

// The captures of regular-expression keys and the variables of the
// thresholds and silence rules, with samples.
const std::vector<CVariableInfo>& GetRuleVariableInfo();

// The task's constants with the sample entry's trigger values added.
CTaskVariables MakeSampleVariables(const CTaskVariables& taskVariables);
