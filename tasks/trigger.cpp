#include "tasks/trigger.h"

#include "core/monmanager.h"
#include "eventrecords/eventstruct.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "tasklib/oledatetime.h"

std::atomic<LONG> g_nTaskSequence{0};

BOOL MatchTextKeys(CKeysAndActions& group, const CPreparedLine& line)
{
    int pos = 0;
    while (CSearchKey* pKey = group.GetNextKey(pos)) {
        bool bMatch = false;
        if (const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey))
            bMatch = pText->Match(line);
        else if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(pKey))
            bMatch = pRegex->Match(line);
        if (bMatch)
            pKey->m_nHits.fetch_add(1);
    }
    return group.IsTriggered();
}

void SetTextVariables(CKeysAndActions& group, std::string_view line,
                      const std::string& strShortName, const std::string& strLongName)
{
    group.SetVariable(VAR_EVENT_TEXT, std::string(line));
    group.SetVariable(VAR_EVENT_SHORTNAME, strShortName);
    group.SetVariable(VAR_EVENT_LONGNAME, strLongName);
    SetMatchVariables(group, line);
    SetNextTaskSequence(group);
}

void SetEventVariables(CKeysAndActions& group, const CEventStruct& event, const CTime& time,
                       const std::string& strDescription, const std::string& strCategory,
                       const std::string& strLogName, std::uint64_t nSequence)
{
    group.SetVariable(VAR_EVENT_TIME, FormatEventTime(time));
    group.SetVariable(VAR_EVENT_SOURCE, event.m_strSource);
    group.SetVariable(VAR_EVENT_USER, event.m_strUser);
    group.SetVariable(VAR_EVENT_COMPUTER, event.m_strComputer);
    group.SetVariableNumber(VAR_EVENT_CATEGORYID, static_cast<int>(event.m_nCategory));
    group.SetVariableNumber(VAR_EVENT_ID, static_cast<int>(event.m_nEventID & 0xFFFF));
    group.SetVariable(VAR_EVENT_TYPE, GetEventTypeName(event.m_nEventType));
    group.SetVariable(VAR_EVENT_TEXT, strDescription);
    group.SetVariable(VAR_EVENT_CATEGORYTEXT, strCategory);
    group.SetVariable(VAR_EVENT_SHORTNAME, strLogName);
    group.SetVariable(VAR_EVENT_LONGNAME, strLogName);
    group.SetVariableNumber(VAR_EVENT_SEQUENCE, static_cast<int>(nSequence));
    SetMatchVariables(group, strDescription);
    SetNextTaskSequence(group);
}

void SetMatchVariables(CKeysAndActions& group, std::string_view text)
{
    const CTaskVariables previous = group.m_task.GetVariables();
    for (const auto& [name, value] : previous.GetAll())
        if (CTaskVariables::IsCaptureVariable(name))
            group.m_task.RemoveTranslationString(name.c_str());
    int pos = 0;
    while (const CSearchKey* pKey = group.GetNextKey(pos)) {
        if (pKey->m_nHits.load() == 0)
            continue;
        const re2::RE2* pRegex = nullptr;
        if (const auto* pKeyRegex = dynamic_cast<const CSearchKeyRegex*>(pKey))
            pRegex = pKeyRegex->GetRegex().get();
        else if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(pKey))
            pRegex = pEvent->GetTextRegex().get();
        CRegexCaptures captures;
        if (pRegex && ReadCaptures(*pRegex, text, captures)) {
            for (const auto& [name, value] : captures)
                group.SetVariable(name.c_str(), value);
            return;
        }
    }
}

void SetNextTaskSequence(CKeysAndActions& group)
{
    // Only the scan thread changes the counter, so add-then-read is one step.
    LONG nSeq = g_nTaskSequence.fetch_add(1) + 1;
    group.SetVariableNumber(VAR_TASK_SEQ, nSeq);
}

bool IsLaunchAllowed(BOOL bMinInterval, int nMinIntervalMinutes, const COleDateTime& lastRun,
                     const COleDateTime& now)
{
    if (!bMinInterval)
        return true;
    auto elapsed = static_cast<DWORD>(static_cast<LONG>((now - lastRun).GetElapsedMinutes()));
    return static_cast<DWORD>(nMinIntervalMinutes) <= elapsed;
}

BOOL ApplyLaunchRule(CKeysAndActions& group, CScanCounters* pCounters)
{
    if (pCounters)
        ++pCounters->m_nMatches;
    // A scan that was asked to stop starts no further task.
    if (IsStopRequested())
        return FALSE;
    if (!group.PassRules())
        return FALSE;
    if (group.m_bMinInterval &&
        !IsLaunchAllowed(group.m_bMinInterval, group.m_nMinIntervalMinutes,
                         group.m_task.GetLastRunTime(), COleDateTime::GetCurrentTime()))
        return FALSE;
    int nFailed = -1;
    const BOOL bRan = group.RunTaskWithDigest(&nFailed);
    if (pCounters && nFailed >= 0) {
        ++pCounters->m_nTasksRun;
        pCounters->m_nActionFailures += static_cast<std::uint64_t>(nFailed);
    }
    return bRan;
}

std::string FormatEventTime(const CTime& time)
{
    return time.Format("%m/%d/%y  %I:%M:%S %p");
}

const char* GetEventTypeName(WORD wEventType)
{
    switch (wEventType) {
    case 1:
        return "Error";
    case 2:
        return "Warning";
    case 4:
        return "Information";
    case 8:
        return "Audit Success";
    case 16:
        return "Audit Failure";
    default:
        return "";
    }
}
