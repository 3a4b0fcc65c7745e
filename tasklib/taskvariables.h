#pragma once
// The substitution variables of a task: named texts such as "%EVENT_TEXT%"
// whose names are replaced by their values in the actions' texts when the
// task runs.
//
// Two kinds share one table. The thirteen trigger variables below are filled
// by a scan each time a watch group triggers; they describe the run and are
// never stored. Every other name is a constant, set by a workspace script or
// by the user, and is kept in the task's record.
//
// Substitution (Substitute) walks the text once from left to right. At each
// position it looks for a variable name that starts there; when several do,
// the longest wins. A found name is replaced by its value and the walk goes on
// after the name; otherwise the character is copied. Values are never searched
// again, so a value that contains a variable name (as log text may) appears
// literally. Names are compared with letter case; an empty name is ignored.
//
// A plain value type: no locking; the owner (CTask) guards it.
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The variables a trigger fills, in the order of the event trigger's table.
inline constexpr char VAR_EVENT_TIME[] = "%EVENT_TIME%";
inline constexpr char VAR_EVENT_SOURCE[] = "%EVENT_SOURCE%";
inline constexpr char VAR_EVENT_USER[] = "%EVENT_USER%";
inline constexpr char VAR_EVENT_COMPUTER[] = "%EVENT_COMPUTER%";
inline constexpr char VAR_EVENT_CATEGORYID[] = "%EVENT_CATEGORYID%";
inline constexpr char VAR_EVENT_ID[] = "%EVENT_ID%";
inline constexpr char VAR_EVENT_TYPE[] = "%EVENT_TYPE%";
inline constexpr char VAR_EVENT_TEXT[] = "%EVENT_TEXT%";
inline constexpr char VAR_EVENT_CATEGORYTEXT[] = "%EVENT_CATEGORYTEXT%";
inline constexpr char VAR_EVENT_SHORTNAME[] = "%EVENT_SHORTNAME%";
inline constexpr char VAR_EVENT_LONGNAME[] = "%EVENT_LONGNAME%";
inline constexpr char VAR_EVENT_SEQUENCE[] = "%EVENT_SEQUENCE%";
inline constexpr char VAR_TASK_SEQ[] = "%TASK_SEQ%";

inline constexpr const char* TRIGGER_VARIABLES[13] = {
    VAR_EVENT_TIME,      VAR_EVENT_SOURCE,     VAR_EVENT_USER,
    VAR_EVENT_COMPUTER,  VAR_EVENT_CATEGORYID, VAR_EVENT_ID,
    VAR_EVENT_TYPE,      VAR_EVENT_TEXT,       VAR_EVENT_CATEGORYTEXT,
    VAR_EVENT_SHORTNAME, VAR_EVENT_LONGNAME,   VAR_EVENT_SEQUENCE,
    VAR_TASK_SEQ};

// Filled by a watch group's rules when they run its task; never stored.
inline constexpr char VAR_THRESHOLD_COUNT[] = "%THRESHOLD_COUNT%";
inline constexpr char VAR_THRESHOLD_FIRST[] = "%THRESHOLD_FIRST%";
inline constexpr char VAR_THRESHOLD_LAST[] = "%THRESHOLD_LAST%";
inline constexpr char VAR_SILENCE_SINCE[] = "%SILENCE_SINCE%";
inline constexpr const char* RULE_VARIABLES[4] = {VAR_THRESHOLD_COUNT, VAR_THRESHOLD_FIRST,
                                                  VAR_THRESHOLD_LAST, VAR_SILENCE_SINCE};

// The value of every trigger variable but "%TASK_SEQ%" before a first trigger.
inline constexpr char VAR_EMPTY_VALUE[] = "<empty>";

class CTaskVariables {
public:
    // True for the names a trigger fills (exact letter case): the thirteen
    // above, the rules' variables and the capture variables.
    static bool IsTriggerVariable(std::string_view name);
    // "%MATCH_0%".."%MATCH_9%" and "%MATCH:name%": the captures of a
    // regular-expression key, filled by a trigger and never stored.
    static bool IsCaptureVariable(std::string_view name);
    // The environment name of a variable: the name without its enclosing
    // percent signs, in capitals, every character other than a letter, a
    // digit or "_" turned into "_", prefixed "QUORVIL_" ("%EVENT_TEXT%" gives
    // "QUORVIL_EVENT_TEXT"); empty for a name with nothing left.
    static std::string EnvironmentName(std::string_view name);

    // Sets or overwrites a value; an empty name is ignored.
    void Set(const std::string& name, const std::string& value);
    void Remove(const std::string& name) { m_mapValues.erase(name); }
    void Clear() { m_mapValues.clear(); }
    // Sets the pairs in order (as Set) and removes every other variable
    // whose name starts with the prefix and passes the test: a trigger's
    // set of variables replacing the previous trigger's. Values of names
    // that stay are assigned in place; one walk over the names in order.
    // A value ends at its first NUL byte, as the C strings that
    // CTask::SetTranslationString takes.
    using NameValue = std::pair<std::string_view, std::string_view>;
    void Replace(std::string_view prefix, bool (*pTest)(std::string_view name),
                 std::span<const NameValue> values);
    // The value, or null when the name is not set.
    const std::string* Find(const std::string& name) const;

    // Every variable, by name.
    const std::map<std::string, std::string>& GetAll() const { return m_mapValues; }
    // The constants only: the variables a trigger does not fill.
    std::map<std::string, std::string> GetConstants() const;

    // The text with every variable replaced, as described above.
    std::string Substitute(std::string_view text) const;
    // The same with the constants only; trigger variables stay as written.
    // Used for places (programs, folders, files), which log text must never
    // choose.
    std::string SubstituteConstants(std::string_view text) const;

    // "NAME=value" for each variable with an environment name.
    std::vector<std::string> GetEnvironment() const;

    friend bool operator==(const CTaskVariables&, const CTaskVariables&) = default;

private:
    std::string Replace(std::string_view text, bool bConstantsOnly) const;

    std::map<std::string, std::string> m_mapValues;
};
