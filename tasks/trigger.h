#pragma once
// Triggering: what happens when a scan offers one entry (a text line or an
// event) to one watch group. The keys are tested and count their hits; a
// triggered group gets its substitution variables set (the names are the
// VAR_* constants of tasklib/taskvariables.h) and the next task sequence
// number; the launch rule then runs the task or holds it back.
//
// The scan calls, per entry and group: ResetHits, the trigger, and when
// IsTriggered holds, ApplyLaunchRule.
//
// Threads: triggers run on the scan thread only. g_nTaskSequence is changed
// by the scan thread only; other threads may read it.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "match/textfold.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32types.h"
#include "tasklib/taskvariables.h"

class CEventStruct;

class COleDateTime;

// Triggers since program start, over all logs and groups; never stored.
// Each trigger adds 1 before it uses the number, so the first one gets 1.
extern std::atomic<LONG> g_nTaskSequence;

// Text trigger, steps 1 and 2: tests the line against every key of the
// group in order (each a text key or a regular-expression key; every key is
// tested, also after a match) and adds 1 to the hits of each key that
// matches. Returns the group's IsTriggered. A key of another kind never
// matches.
BOOL MatchTextKeys(CKeysAndActions& group, const CPreparedLine& line);

// Text trigger, step 3, for a triggered group: "%EVENT_TEXT%" the line,
// "%EVENT_SHORTNAME%" the log's display name, "%EVENT_LONGNAME%" its file
// path, the captures (SetMatchVariables), then the next sequence number as
// "%TASK_SEQ%". The other variables keep their values.
void SetTextVariables(CKeysAndActions& group, std::string_view line,
                      const std::string& strShortName, const std::string& strLongName);

// Event trigger, for a triggered group: the "%EVENT_...%" variables of the
// event (its time as given, so each kind of log decides local or record
// time; the event ID without its qualifier bits), the description and
// category text, the log's display name as short and long name, and the
// sequence number of the entry; then the captures and "%TASK_SEQ%" as
// SetTextVariables does.
void SetEventVariables(CKeysAndActions& group, const CEventStruct& event, const CTime& time,
                       const std::string& strDescription, const std::string& strCategory,
                       const std::string& strLogName, std::uint64_t nSequence);

// The captures of the first key of a triggered group that matched with a
// regular expression (a regular-expression text key, or an event key whose
// text test is one), read from the text it matched: "%MATCH_0%".."%MATCH_9%"
// and "%MATCH:name%". The capture variables of the previous trigger go
// first, so a group whose keys capture nothing has none.
void SetMatchVariables(CKeysAndActions& group, std::string_view text);

// Adds 1 to g_nTaskSequence and sets "%TASK_SEQ%" to it: the last variable
// of every trigger.
void SetNextTaskSequence(CKeysAndActions& group);

// The minimum launch interval: true when a task that last ran at lastRun
// may run at now. Without the flag always; otherwise when the interval,
// taken as an unsigned 32-bit number, is at most the elapsed whole minutes
// (the difference rounded to the second, truncated). As in the 32-bit
// comparison it stands for, a last run in the future (clock set back)
// counts as long past.
bool IsLaunchAllowed(BOOL bMinInterval, int nMinIntervalMinutes, const COleDateTime& lastRun,
                     const COleDateTime& now);

// The launch rule for a group that a trigger has just made triggered: runs
// its task (on the calling thread; it may block) unless a stop of the scan
// was requested (IsStopRequested), the group's threshold or silence rule
// holds it back (CKeysAndActions::PassRules), or the minimum launch
// interval, measured from the task's last run to the model clock's now,
// holds it back, or a digest holds it back (core/digest.h). TRUE when the
// task ran. Counts the match, the task run and its failed actions in the
// log's counters when given.
BOOL ApplyLaunchRule(CKeysAndActions& group, CScanCounters* pCounters = nullptr);

// "%EVENT_TIME%": the local time as "%m/%d/%y  %I:%M:%S %p" (two spaces),
// with the C locale's AM and PM.
std::string FormatEventTime(const CTime& time);

// "%EVENT_TYPE%": 1 "Error", 2 "Warning", 4 "Information", 8 "Audit
// Success", 16 "Audit Failure", any other value "".
const char* GetEventTypeName(WORD wEventType);
