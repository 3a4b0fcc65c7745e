#include "ui/dialogs/samplevariables.h"

const std::vector<CVariableInfo>& GetTriggerVariableInfo()
{
    static const std::vector<CVariableInfo> info = {
        {VAR_EVENT_TIME, "When the event was logged", "12/05/26  09:15:02 AM"},
        {VAR_EVENT_SOURCE, "The event's source", "Disk"},
        {VAR_EVENT_USER, "The event's user", "SYSTEM"},
        {VAR_EVENT_COMPUTER, "The computer that logged the event", "SRV1"},
        {VAR_EVENT_CATEGORYID, "The event's category number", "0"},
        {VAR_EVENT_ID, "The event's identifier", "7"},
        {VAR_EVENT_TYPE, "The event's type", "Error"},
        {VAR_EVENT_TEXT, "The event's description, or the text line",
         "The device has a bad block."},
        {VAR_EVENT_CATEGORYTEXT, "The event's category", "None"},
        {VAR_EVENT_SHORTNAME, "The log's short name", "SRV1\\System"},
        {VAR_EVENT_LONGNAME, "The log's full name, or the text file's path", "SRV1\\System"},
        {VAR_EVENT_SEQUENCE, "The event's record number", "1234"},
        {VAR_TASK_SEQ, "The number of the trigger since the program started", "1"},
    };
    return info;
}

const std::vector<CVariableInfo>& GetRuleVariableInfo()
{
    static const std::vector<CVariableInfo> info = {
        {"%MATCH_0%", "The whole match of a regular-expression key",
         "Failed password for root from 10.0.0.7"},
        {"%MATCH_1%", "The first group of the match (%MATCH_2%..%MATCH_9% likewise)", "root"},
        {"%MATCH:ip%", "The named group (?P<ip>...) of the match (any name)", "10.0.0.7"},
        {VAR_THRESHOLD_COUNT, "The matches counted when the threshold was reached", "5"},
        {VAR_THRESHOLD_FIRST, "When the first counted match came", "12/05/26  09:11:40 AM"},
        {VAR_THRESHOLD_LAST, "When the last counted match came", "12/05/26  09:15:02 AM"},
        {VAR_SILENCE_SINCE, "The last match before the silence", "12/04/26  02:00:11 AM"},
    };
    return info;
}

CTaskVariables MakeSampleVariables(const CTaskVariables& taskVariables)
{
    CTaskVariables sample;
    for (const auto& [name, value] : taskVariables.GetConstants())
        sample.Set(name, value);
    for (const CVariableInfo& v : GetTriggerVariableInfo())
        sample.Set(v.name, v.sample);
    for (const CVariableInfo& v : GetRuleVariableInfo())
        sample.Set(v.name, v.sample);
    return sample;
}
