#pragma once
// The rules a watch group may add to "a key matched, run the task":
//
// Threshold: the task runs only when the group's keys matched N times within
// T seconds, optionally counted separately per value of a substitution
// variable (for example "%MATCH:ip%"). The window slides: each match counts
// for T seconds after it. When a count reaches N the task runs once and that
// value's count starts again from zero. At most MAX_THRESHOLD_VALUES values
// are counted at once; beyond that the value matched longest ago is dropped.
//
// Silence: the group expects a match, either "at least one every T minutes"
// or "one by HH:MM each day" (optionally on some weekdays only, the window
// being the 24 hours before the deadline). When the expectation fails the
// task runs once; the next match re-arms the rule. A silence group's task runs
// for silence only; its matches just re-arm it. The rule is armed when the
// program first checks it: time during which the program did not run never
// raises an alarm, and a deadline raises one only when it passes while the
// program runs (lines written meanwhile are read by the first scan and count
// as matches then).
//
// The counters live in memory only: they survive a Stop and Start of the
// scan (the group stays), not a restart of the program. Copies copy them.
//
// Threads: the scan thread counts and checks; the user interface thread
// edits settings on copies. The state has its own lock, so a copy taken
// while a scan counts is consistent.
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/archive.h"

inline constexpr std::size_t MAX_THRESHOLD_VALUES = 10000;

struct CThresholdRule {
    bool bEnabled = false;
    int nCount = 5;
    int nSeconds = 600;
    std::string strPer; // a variable name, or empty: one count for all matches
    friend bool operator==(const CThresholdRule&, const CThresholdRule&) = default;
};

struct CSilenceRule {
    bool bEnabled = false;
    int nMinutes = 60;         // without a deadline: the longest time without a match
    std::string strBy;         // "HH:MM", or empty
    std::vector<int> weekdays; // 0 Sunday .. 6 Saturday; empty: every day
    friend bool operator==(const CSilenceRule&, const CSilenceRule&) = default;
};

class CGroupRules {
public:
    CGroupRules() = default;
    CGroupRules(const CGroupRules& other);
    CGroupRules& operator=(const CGroupRules& other);

    // Whether a rule is on: only then is anything stored.
    bool IsUsed() const { return m_threshold.bEnabled || m_silence.bEnabled; }
    // Stored after the group's other fields: LONG threshold flag, LONG count,
    // LONG seconds, the per-variable string, LONG silence flag, LONG
    // minutes, the deadline string, DWORD count of weekdays and a LONG each.
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

    // What is wrong with the settings, for dialogs and loaders; empty when
    // they are fine.
    std::string Validate() const;
    // One line for the tree and lists: "5 matches within 600 s per
    // %MATCH:ip%; silence: a match every 60 min"; empty without rules.
    std::string Describe() const;
    // "HH:MM" as minutes after midnight, or nullopt.
    static std::optional<int> ParseTime(const std::string& text);

    struct CThresholdHit {
        int nCount;
        std::time_t first;
        std::time_t last;
    };
    // Counts a match of the value at now. Returns the hit when the count
    // reached the threshold (the value's count then starts again). Sets
    // bCapped the first time a value was dropped for the cap.
    std::optional<CThresholdHit> CountMatch(const std::string& value, std::time_t now,
                                            bool& bCapped);
    // The number of values being counted (for tests and the tester).
    std::size_t GetThresholdValueCount() const;

    // A match re-arms the silence rule.
    void NoteMatch(std::time_t now);
    // Whether the expectation failed at now: the time since which nothing
    // matched (the last match, or when the rule was armed); once per
    // failure.
    std::optional<std::time_t> CheckSilence(std::time_t now);

    CThresholdRule m_threshold;
    CSilenceRule m_silence;

private:
    struct CState {
        struct CValue {
            std::list<std::time_t> times;            // ascending
            std::list<std::string>::iterator recent; // place in order
        };
        std::unordered_map<std::string, CValue> values;
        std::list<std::string> order; // least recently matched first
        bool bCapReported = false;
        std::time_t armed = 0; // 0: not yet
        std::time_t lastMatch = 0;
        bool bFired = false;
        std::time_t handledDeadline = 0;
    };
    // The latest deadline at or before now on an allowed weekday, or 0.
    std::time_t LatestDeadline(std::time_t now, int nMinutes) const;
    void CopyStateFrom(const CGroupRules& other);

    mutable std::mutex m_mutex;
    CState m_state; // guarded by m_mutex
};
