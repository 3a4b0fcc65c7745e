#pragma once
// CKeyTester: which keys of which watch groups match sample lines, what
// their captures are, what the thresholds and silence rules would do and
// which tasks would run with which texts, without running anything. Used by
// `qvws test` and the window's "Test Keys..." pane. Event logs can also be
// tested with whole events (TestEvent), read from a log file.
//
// It works on copies of the log's groups: the workspace's hit counters,
// threshold counters and task variables stay as they are. Text logs offer
// each line to their text and regular-expression keys; event logs (and the
// kinds that reuse the event keys) take each line as an event's message
// text, so the keys' text tests are what a file can try (fields other than
// the text see an empty event).
//
// All lines count as arriving at the model clock's now, so a threshold of N
// within T seconds is reached by N matching lines.
//
// One thread at a time.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/keysandactions.h"
#include "match/searchkeyregex.h"

class CEventStruct;
class CMonitoredObject;

struct CKeyTestGroupResult {
    std::string strGroup;
    std::vector<int> keys;   // indexes of the keys that matched, from 0
    CRegexCaptures captures; // of the first regular-expression key that matched
    std::string strRule;     // what a threshold or silence rule did; empty without one
    bool bTaskRuns = false;
    std::string strTask;
    std::vector<std::string> actions; // each action's line, variables filled in
};

struct CKeyTestTotal {
    std::string strGroup;
    int nKey;
    std::string strKey; // the key's description
    std::size_t nMatched;
};

class CKeyTester {
public:
    // The groups of the log, or only the one described strGroup (when not
    // empty); GetGroupCount is then 0 when there is none.
    explicit CKeyTester(const CMonitoredObject& log, const std::string& strGroup = {});
    ~CKeyTester();

    std::size_t GetGroupCount() const { return m_groups.size(); }
    // The copy of a group that the tester uses.
    const CKeysAndActions& GetGroup(std::size_t index) const { return *m_groups[index].pGroup; }
    // The groups that matched the line, in order.
    std::vector<CKeyTestGroupResult> TestLine(std::string_view line);
    // The groups that matched the event, whose description and category
    // text are given (text keys test the description); the event's
    // variables are filled as a scan fills them. Counts as a line.
    std::vector<CKeyTestGroupResult> TestEvent(const CEventStruct& event,
                                               const std::string& strDescription,
                                               const std::string& strCategory);

    std::size_t GetLineCount() const { return m_nLines; }
    std::size_t GetMatchedLineCount() const { return m_nMatchedLines; }
    // Every key with the number of lines it matched.
    std::vector<CKeyTestTotal> GetTotals() const;

    // Where each key of the groups matches in the line: (offset, length)
    // pairs for highlighting; literal keys give each occurrence of their
    // texts, regular expressions each match.
    static std::vector<std::pair<std::size_t, std::size_t>> FindSpans(const CSearchKey& key,
                                                                      std::string_view line);

private:
    // pEvent null: a line of a file.
    std::vector<CKeyTestGroupResult> TestEntry(std::string_view text, const CEventStruct* pEvent,
                                               const std::string& strCategory);

    struct CGroup {
        std::unique_ptr<CKeysAndActions> pGroup;
        std::vector<std::size_t> matched; // per key
    };
    bool m_bEvent;
    std::string m_strLogName;
    std::vector<CGroup> m_groups;
    std::size_t m_nLines = 0;
    std::size_t m_nMatchedLines = 0;
};
