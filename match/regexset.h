#pragma once
// CRegexKeySet: all regular-expression keys of a log compiled together
// (RE2::Set), so that a line is tested against every pattern in one pass and
// a thousand keys cost about what ten do. Keys with the same pattern and
// case share one entry. A text scan builds one per scan from the keys of all
// watch groups, attaches it to each prepared line (CPreparedLine) and every
// key then reads its result from the line; the set is evaluated at most once
// per line, and only for lines that some key is tested on.
//
// The literal prefilter: GetRequiredLiterals gives strings of which every
// line that any pattern can match holds at least one (RE2's prefilter
// atoms), so that the scan can hand them to CKeySetFinder and skip the other
// lines without testing them.
//
// The block search (FindLines): Build also compiles one Vectorscan database
// for the log, which reports a superset of the places where some key can
// match: the patterns in prefilter mode, and the text keys' literals given
// with AddLiterals, exact. The search scans a block of lines with it, keeps
// the line of each report that a literal occurs in or a pattern matches, and
// goes on at the next line, so one pass over a block finds every line of
// interest and lines without a report cost nothing. A pattern whose meaning
// could differ between the two engines (see PrefilterPattern in
// regexset.cpp) is looked for by its required literals instead; when it has
// none, the set has no block search and the scan tests the lines itself.
// Compiled databases are kept for the next scans with the same keys.
//
// Building is for one thread; a built set may be used by several threads
// (each with its own prepared line; FindLines uses one scratch area per
// thread).
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "match/keysetfinder.h"

namespace re2 {
class RE2;
} // namespace re2

class CSearchKeyRegex;

class CRegexKeySet {
public:
    CRegexKeySet();
    ~CRegexKeySet();
    CRegexKeySet(const CRegexKeySet&) = delete;
    CRegexKeySet& operator=(const CRegexKeySet&) = delete;

    // Adds a key; a broken key is left out (it never matches). The key must
    // outlive the set's use.
    void AddKey(const CSearchKeyRegex& key);
    // Compiles the set. Should the set not compile as a whole, each key is
    // tested on its own: the results are the same.
    void Build();
    // Adds the patterns of a finder (the literals of the text keys) to the
    // block search. Before Build.
    void AddLiterals(const CKeySetFinder& finder) { m_literals = finder; }
    // Whether the set holds no pattern (literals aside).
    bool IsEmpty() const { return m_patterns.empty(); }
    std::size_t GetPatternCount() const { return m_patterns.size(); }

    // The entry of a key added before Build, or -1.
    int GetIndex(const CSearchKeyRegex* pKey) const;
    // The entries whose pattern matches somewhere in the line, ascending.
    void Match(std::string_view line, std::vector<int>& hits) const;
    // Whether some pattern matches the line (stops at the first).
    bool MatchesAny(std::string_view line) const;

    // Fills out with strings, compared without regard to ASCII letter case,
    // of which every line that some pattern matches contains at least one.
    // False when no such list exists (a pattern requires no literal of at
    // least three bytes, or one outside ASCII): then every line must be
    // tested.
    bool GetRequiredLiterals(std::vector<std::string>& out) const;

    // Whether FindLines can be used (Build made a database for every pattern
    // and literal).
    bool HasBlockSearch() const { return m_pDatabase != nullptr; }
    // Appends to out, in order, the lines of the block that some pattern
    // matches or that hold a literal. Lines end at '\n', which is not part of the line, nor is a
    // '\r' right before it; text after the last '\n' is a last line.
    void FindLines(std::string_view block, std::vector<CLineSpan>& out) const;

    struct CDatabase; // a compiled Vectorscan database

private:
    void BuildDatabase();
    // The required literals (GetRequiredLiterals) of the given entries.
    bool GetRequiredLiterals(const std::vector<std::size_t>& entries,
                             std::vector<std::string>& out) const;

    struct CEntry {
        std::string pattern;
        bool bCaseSensitive;
        std::shared_ptr<const re2::RE2> pRegex;
    };
    std::vector<CEntry> m_patterns;
    std::unordered_map<const CSearchKeyRegex*, int> m_mapIndex;
    CKeySetFinder m_literals;
    struct CCompiledSet;                          // RE2::Set, which cannot be declared ahead
    std::unique_ptr<CCompiledSet> m_pSet;         // null: test each entry alone
    std::shared_ptr<const CDatabase> m_pDatabase; // null: no block search
};
