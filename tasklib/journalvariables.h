#pragma once
// What a journal entry's trigger fills besides the thirteen trigger
// variables: "%JOURNAL_UNIT%" and "%JOURNAL_FIELD:NAME%" for each field NAME
// of the entry. CTaskVariables counts them as trigger variables: filled by
// each trigger, never stored.
#include <string_view>

inline constexpr char VAR_JOURNAL_UNIT[] = "%JOURNAL_UNIT%";
inline constexpr char VAR_JOURNAL_FIELD_PREFIX[] = "%JOURNAL_FIELD:";

// True for "%JOURNAL_UNIT%" and for "%JOURNAL_FIELD:NAME%" with a NAME.
inline bool IsJournalVariable(std::string_view name)
{
    constexpr std::string_view prefix = VAR_JOURNAL_FIELD_PREFIX;
    return name == VAR_JOURNAL_UNIT ||
           (name.size() > prefix.size() + 1 && name.back() == '%' && name.starts_with(prefix));
}
