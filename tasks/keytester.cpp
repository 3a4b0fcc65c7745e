#include "tasks/keytester.h"

#include <algorithm>

#include <re2/re2.h>

#include "core/monitoredobject.h"
#include "eventrecords/eventstruct.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "tasks/trigger.h"

namespace {

bool KeyMatches(const CSearchKey& key, const CPreparedLine& line, const CEventStruct& event)
{
    if (const auto* pText = dynamic_cast<const CSearchKeyText*>(&key))
        return pText->Match(line);
    if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(&key))
        return pRegex->Match(line);
    if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(&key))
        return pEvent->Match(event, line);
    return false;
}

void AddLiteralSpans(std::string_view line, const std::string& needle, bool bCase,
                     std::vector<std::pair<std::size_t, std::size_t>>& spans)
{
    if (needle.empty())
        return;
    std::string hay(line);
    std::string pattern = needle;
    if (!bCase) {
        textfold::ToUpper(line, hay);
        textfold::ToUpper(needle, pattern);
    }
    for (std::size_t pos = hay.find(pattern); pos != std::string::npos;
         pos = hay.find(pattern, pos + pattern.size()))
        spans.emplace_back(pos, pattern.size());
}

void AddRegexSpans(std::string_view line, const re2::RE2* pRegex,
                   std::vector<std::pair<std::size_t, std::size_t>>& spans)
{
    if (!pRegex)
        return;
    re2::StringPiece match;
    std::size_t start = 0;
    while (start <= line.size() && pRegex->Match(re2::StringPiece(line.data(), line.size()), start,
                                                 line.size(), re2::RE2::UNANCHORED, &match, 1)) {
        const auto offset = static_cast<std::size_t>(match.data() - line.data());
        if (!match.empty())
            spans.emplace_back(offset, match.size());
        start = offset + std::max<std::size_t>(match.size(), 1);
    }
}

} // namespace

CKeyTester::CKeyTester(const CMonitoredObject& log, const std::string& strGroup)
    : m_bEvent(log.IsEventLog() != FALSE), m_strLogName(log.GetDisplayName())
{
    int pos = 0;
    while (const CKeysAndActions* pGroup = log.GetNextWatchGroup(pos)) {
        if (!strGroup.empty() && pGroup->m_strDescription != strGroup)
            continue;
        CGroup copy;
        copy.pGroup = std::make_unique<CKeysAndActions>(*pGroup);
        copy.matched.assign(static_cast<std::size_t>(pGroup->GetKeyCount()), 0);
        m_groups.push_back(std::move(copy));
    }
}

CKeyTester::~CKeyTester() = default;

std::vector<CKeyTestGroupResult> CKeyTester::TestLine(std::string_view line)
{
    return TestEntry(line, nullptr, {});
}

std::vector<CKeyTestGroupResult> CKeyTester::TestEvent(const CEventStruct& event,
                                                       const std::string& strDescription,
                                                       const std::string& strCategory)
{
    return TestEntry(strDescription, &event, strCategory);
}

std::vector<CKeyTestGroupResult> CKeyTester::TestEntry(std::string_view line,
                                                       const CEventStruct* pEvent,
                                                       const std::string& strCategory)
{
    ++m_nLines;
    std::vector<CKeyTestGroupResult> results;
    const CPreparedLine prepared(line);
    const CEventStruct empty;
    const CEventStruct& event = pEvent ? *pEvent : empty;
    for (CGroup& entry : m_groups) {
        CKeysAndActions& group = *entry.pGroup;
        CKeyTestGroupResult result;
        for (int k = 0; k < group.GetKeyCount(); ++k) {
            CSearchKey* pKey = group.GetKey(k);
            const bool bMatch = KeyMatches(*pKey, prepared, event);
            pKey->m_nHits = bMatch ? 1 : 0;
            if (bMatch) {
                result.keys.push_back(k);
                ++entry.matched[static_cast<std::size_t>(k)];
            }
        }
        if (result.keys.empty())
            continue;
        result.strGroup = group.m_strDescription;
        if (pEvent) {
            SetEventVariables(group, event, event.m_timeGenerated, std::string(line), strCategory,
                              m_strLogName, event.m_nRecordNumber);
        } else if (m_bEvent) {
            group.SetVariable(VAR_EVENT_TEXT, std::string(line));
            group.SetVariable(VAR_EVENT_SHORTNAME, m_strLogName);
            group.SetVariable(VAR_EVENT_LONGNAME, m_strLogName);
            SetMatchVariables(group, line);
            SetNextTaskSequence(group);
        } else {
            SetTextVariables(group, line, m_strLogName, m_strLogName);
        }
        const CTaskVariables variables = group.m_task.GetVariables();
        for (const auto& [name, value] : variables.GetAll())
            if (CTaskVariables::IsCaptureVariable(name))
                result.captures.emplace_back(name, value);
        const CGroupRules& rules = group.m_rules;
        result.bTaskRuns = group.PassRules();
        if (rules.m_silence.bEnabled) {
            result.strRule = "silence: the match re-arms the rule";
        } else if (rules.m_threshold.bEnabled) {
            const std::string per = rules.m_threshold.strPer.empty()
                                        ? std::string()
                                        : " for " + variables.Substitute(rules.m_threshold.strPer);
            result.strRule = result.bTaskRuns
                                 ? "threshold reached" + per + ": " +
                                       *group.m_task.GetVariables().Find(VAR_THRESHOLD_COUNT) +
                                       " matches"
                                 : "threshold not reached" + per;
        }
        result.strTask = group.m_task.GetDescription();
        if (result.bTaskRuns) {
            const CTaskVariables filled = group.m_task.GetVariables();
            for (int a = 0; a < group.m_task.GetActionCount(); ++a)
                result.actions.push_back(
                    filled.Substitute(group.m_task.GetAction(a)->GetDescription()));
        }
        results.push_back(std::move(result));
    }
    if (!results.empty())
        ++m_nMatchedLines;
    return results;
}

std::vector<CKeyTestTotal> CKeyTester::GetTotals() const
{
    std::vector<CKeyTestTotal> totals;
    for (const CGroup& entry : m_groups)
        for (int k = 0; k < entry.pGroup->GetKeyCount(); ++k)
            totals.push_back({entry.pGroup->m_strDescription, k,
                              entry.pGroup->GetKey(k)->GetDescription(),
                              entry.matched[static_cast<std::size_t>(k)]});
    return totals;
}

std::vector<std::pair<std::size_t, std::size_t>> CKeyTester::FindSpans(const CSearchKey& key,
                                                                       std::string_view line)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    if (const auto* pText = dynamic_cast<const CSearchKeyText*>(&key)) {
        if (!pText->Match(line))
            return spans;
        AddLiteralSpans(line, pText->m_strKey1, pText->m_bCaseSensitive, spans);
        if (pText->m_nMode == TextKeyMode::AND || pText->m_nMode == TextKeyMode::OR)
            AddLiteralSpans(line, pText->m_strKey2, pText->m_bCaseSensitive, spans);
    } else if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(&key)) {
        AddRegexSpans(line, pRegex->GetRegex().get(), spans);
    } else if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(&key)) {
        if (pEvent->GetTextOperator() == OP_REGEX)
            AddRegexSpans(line, pEvent->GetTextRegex().get(), spans);
        else if (pEvent->GetTextOperator() == OP_CONTAINS)
            AddLiteralSpans(line, pEvent->m_strText, false, spans);
    }
    std::sort(spans.begin(), spans.end());
    return spans;
}
