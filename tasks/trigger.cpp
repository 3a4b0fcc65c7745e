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
    const std::string strTime = FormatEventTime(time);
    const std::string strCategoryId = std::to_string(static_cast<int>(event.m_nCategory));
    const std::string strId = std::to_string(static_cast<int>(event.m_nEventID & 0xFFFF));
    const std::string strSequence = std::to_string(static_cast<int>(nSequence));
    // In name order, which saves sorting them.
    const CTaskVariables::NameValue values[] = {
        {VAR_EVENT_CATEGORYID, strCategoryId},
        {VAR_EVENT_CATEGORYTEXT, strCategory},
        {VAR_EVENT_COMPUTER, event.m_strComputer},
        {VAR_EVENT_ID, strId},
        {VAR_EVENT_LONGNAME, strLogName},
        {VAR_EVENT_SEQUENCE, strSequence},
        {VAR_EVENT_SHORTNAME, strLogName},
        {VAR_EVENT_SOURCE, event.m_strSource},
        {VAR_EVENT_TEXT, strDescription},
        {VAR_EVENT_TIME, strTime},
        {VAR_EVENT_TYPE, GetEventTypeName(event.m_nEventType)},
        {VAR_EVENT_USER, event.m_strUser},
    };
    // All twelve under one lock, in one walk over the names.
    group.m_task.ReplaceTranslationStrings(
        "%EVENT_", [](std::string_view) { return false; }, values);
    SetMatchVariables(group, strDescription);
    SetNextTaskSequence(group);
}

void SetMatchVariables(CKeysAndActions& group, std::string_view text)
{
    CRegexCaptures captures;
    int pos = 0;
    while (const CSearchKey* pKey = group.GetNextKey(pos)) {
        if (pKey->m_nHits.load() == 0)
            continue;
        const re2::RE2* pRegex = nullptr;
        if (const auto* pKeyRegex = dynamic_cast<const CSearchKeyRegex*>(pKey))
            pRegex = pKeyRegex->GetRegex().get();
        else if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(pKey))
            pRegex = pEvent->GetTextRegex().get();
        if (pRegex && ReadCaptures(*pRegex, text, captures))
            break;
        captures.clear();
    }
    // The previous trigger's captures go, these come, under one lock.
    std::vector<CTaskVariables::NameValue> values(captures.begin(), captures.end());
    group.m_task.ReplaceTranslationStrings("%MATCH", CTaskVariables::IsCaptureVariable, values);
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
