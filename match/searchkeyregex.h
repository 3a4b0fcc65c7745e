#pragma once
// CSearchKeyRegex: a text key that is a regular expression (RE2 syntax:
// matching takes time linear in the line, so no pattern can stall a scan;
// back-references and look-around do not exist in it). A line matches when
// the pattern matches somewhere in it (unanchored), with letter case or
// without it (Unicode case folding, as RE2 does for UTF-8 text).
//
// The pattern is compiled when it is set or loaded. A pattern that does not
// compile (a workspace edited by hand) still loads: the key is broken, never
// matches, says so in its description and GetError, and the other keys of
// the log scan as usual.
//
// Captures of the match fill the substitution variables "%MATCH_0%" (the
// whole match), "%MATCH_1%".."%MATCH_9%" and "%MATCH:name%" for named groups
// (see GetCaptures); they are read only for lines that matched.
//
// A text scan tests all regular-expression keys of a log on a line at once
// (CRegexKeySet, match/regexset.h, attached to the prepared line); a key
// tested on a line without a set matches on its own.
//
// Threads: Match and GetCaptures may run on several threads at once (the
// compiled expression is immutable and shared between copies); setting the
// pattern is for the thread that owns the key.
//
// Record (class "CSearchKeyRegex", schema 1): class reference of CSearchKey,
// the CSearchKey record, 32-bit version 1, 32-bit case flag, the pattern.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "match/searchkey.h"
#include "match/textfold.h"

namespace re2 {
class RE2;
}

// The captures of one match: (variable name, value) in the order
// "%MATCH_0%", "%MATCH_1%".. then the named groups; groups that did not take
// part in the match give empty values.
using CRegexCaptures = std::vector<std::pair<std::string, std::string>>;

class CSearchKeyRegex : public CSearchKey {
    DECLARE_SERIAL(CSearchKeyRegex)
public:
    CSearchKeyRegex() = default;
    CSearchKeyRegex(std::string pattern, bool bCaseSensitive);
    CSearchKeyRegex(const CSearchKeyRegex& src) = default;
    // Every field, hit counter included (as Assign).
    CSearchKeyRegex& operator=(const CSearchKeyRegex& src);
    using CSearchKey::operator=;

    // Sets and compiles the pattern; false (and the key broken) when it
    // does not compile.
    bool SetPattern(std::string pattern, bool bCaseSensitive);
    const std::string& GetPattern() const { return m_strPattern; }
    bool IsCaseSensitive() const { return m_bCaseSensitive; }
    // A pattern that did not compile (an empty one counts as broken too).
    bool IsBroken() const { return !m_pRegex; }
    // Why the key is broken: RE2's message and the position in the pattern
    // ("missing ): at position 4"); empty when it is not.
    const std::string& GetError() const { return m_strError; }

    BOOL Match(const CPreparedLine& line) const;
    BOOL Match(std::string_view line) const { return Match(CPreparedLine(line)); }
    // The captures of the first match in the line; false when it does not
    // match (out is then empty).
    bool GetCaptures(std::string_view line, CRegexCaptures& out) const;
    // The group names of the pattern ("%MATCH:name%" variables), for the
    // variable picker.
    std::vector<std::string> GetVariableNames() const;

    // "Regex 'pattern'", "(case)" when case-sensitive, and " BROKEN: error"
    // for a broken key.
    std::string GetDescription() const override;
    std::unique_ptr<CSearchKey> Clone() const override;
    // Hits 0, pattern empty, not case sensitive.
    void Reset() override;
    // Regular-expression keys travel as text keys: "CF_BN_SEARCHKEYTEXT".
    UINT GetClipFormat() const override;
    virtual void Assign(const CSearchKeyRegex& src);
    void Serialize(CArchive& ar) override;

    // Compiles a pattern as a key would: empty when it compiles, else the
    // message GetError would give. For dialogs.
    static std::string CheckPattern(const std::string& pattern, bool bCaseSensitive);
    // True the first time it is asked of a broken key: its one system log
    // line. Scan thread only.
    bool TakeBrokenReport() const { return IsBroken() && !std::exchange(m_bBrokenReported, true); }
    // The compiled expression (null when broken), shared and immutable.
    const std::shared_ptr<const re2::RE2>& GetRegex() const { return m_pRegex; }

private:
    void Compile();

    std::string m_strPattern;
    bool m_bCaseSensitive = false;
    std::shared_ptr<const re2::RE2> m_pRegex; // null when broken
    std::string m_strError;
    mutable bool m_bBrokenReported = false;
};

// Compiles a pattern with the options every key uses (UTF-8, errors not
// printed). The error is set when the result does not compile.
std::shared_ptr<const re2::RE2> CompileKeyPattern(const std::string& pattern, bool bCaseSensitive,
                                                  std::string* pError);
// Fills captures for a compiled expression; false when it does not match.
bool ReadCaptures(const re2::RE2& regex, std::string_view line, CRegexCaptures& out);
