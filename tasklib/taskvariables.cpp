#include "tasklib/taskvariables.h"

#include <algorithm>

#include "tasklib/journalvariables.h"

bool CTaskVariables::IsTriggerVariable(std::string_view name)
{
    if (IsJournalVariable(name))
        return true;
    const auto is = [name](const char* trigger) { return name == trigger; };
    return IsCaptureVariable(name) ||
           std::any_of(std::begin(TRIGGER_VARIABLES), std::end(TRIGGER_VARIABLES), is) ||
           std::any_of(std::begin(RULE_VARIABLES), std::end(RULE_VARIABLES), is);
}

bool CTaskVariables::IsCaptureVariable(std::string_view name)
{
    return name.size() > 8 && name.back() == '%' &&
           (name.starts_with("%MATCH_") || name.starts_with("%MATCH:"));
}

std::string CTaskVariables::EnvironmentName(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '%' && name.back() == '%')
        name = name.substr(1, name.size() - 2);
    if (name.empty())
        return {};
    std::string result = "QUORVIL_";
    for (char c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            c = '_';
        result += c;
    }
    return result;
}

void CTaskVariables::Set(const std::string& name, const std::string& value)
{
    if (!name.empty())
        m_mapValues[name] = value;
}

void CTaskVariables::Replace(std::string_view prefix, bool (*pTest)(std::string_view name),
                             std::span<const NameValue> values)
{
    using Pair = NameValue;
    // The pairs by name; of a repeated name the last one counts, as with
    // Set in order. Pairs given in name order are taken as they are.
    const auto byName = [](const Pair* a, const Pair* b) { return a->first < b->first; };
    std::vector<const Pair*> sorted;
    sorted.reserve(values.size());
    for (const Pair& value : values)
        if (!value.first.empty())
            sorted.push_back(&value);
    if (!std::is_sorted(sorted.begin(), sorted.end(), byName))
        std::stable_sort(sorted.begin(), sorted.end(), byName);
    const auto inStretch = [&](auto it) {
        return it != m_mapValues.end() && it->first.starts_with(prefix);
    };
    auto it = m_mapValues.lower_bound(std::string(prefix));
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::string_view name = sorted[i]->first;
        if (i + 1 < sorted.size() && sorted[i + 1]->first == name)
            continue;
        // A value ends at a NUL byte, as the C strings of a task's texts do.
        const std::string_view value = sorted[i]->second.substr(0, sorted[i]->second.find('\0'));
        if (!name.starts_with(prefix)) {
            m_mapValues[std::string(name)] = value;
            continue;
        }
        while (inStretch(it) && it->first < name)
            it = pTest(it->first) ? m_mapValues.erase(it) : std::next(it);
        if (it != m_mapValues.end() && it->first == name)
            (it++)->second = value;
        else
            m_mapValues.emplace_hint(it, name, value);
    }
    while (inStretch(it))
        it = pTest(it->first) ? m_mapValues.erase(it) : std::next(it);
}

const std::string* CTaskVariables::Find(const std::string& name) const
{
    auto it = m_mapValues.find(name);
    return it == m_mapValues.end() ? nullptr : &it->second;
}

std::map<std::string, std::string> CTaskVariables::GetConstants() const
{
    std::map<std::string, std::string> constants;
    for (const auto& [name, value] : m_mapValues) {
        if (!IsTriggerVariable(name))
            constants.emplace(name, value);
    }
    return constants;
}

std::string CTaskVariables::Substitute(std::string_view text) const
{
    return Replace(text, false);
}

std::string CTaskVariables::SubstituteConstants(std::string_view text) const
{
    return Replace(text, true);
}

std::string CTaskVariables::Replace(std::string_view text, bool bConstantsOnly) const
{
    // The candidates once, so the walk below only compares.
    std::vector<const std::pair<const std::string, std::string>*> candidates;
    for (const auto& entry : m_mapValues) {
        if (!(bConstantsOnly && IsTriggerVariable(entry.first)))
            candidates.push_back(&entry);
    }

    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::pair<const std::string, std::string>* best = nullptr;
        for (const auto* entry : candidates) {
            const std::string& name = entry->first;
            if (text.compare(pos, name.size(), name) == 0 &&
                (!best || name.size() > best->first.size()))
                best = entry;
        }
        if (best) {
            result += best->second;
            pos += best->first.size();
        } else {
            result += text[pos++];
        }
    }
    return result;
}

std::vector<std::string> CTaskVariables::GetEnvironment() const
{
    std::vector<std::string> environment;
    for (const auto& [name, value] : m_mapValues) {
        std::string envName = EnvironmentName(name);
        if (!envName.empty())
            environment.push_back(envName + "=" + value.substr(0, value.find('\0')));
    }
    return environment;
}
