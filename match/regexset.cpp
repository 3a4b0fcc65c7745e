#include "match/regexset.h"

#include <algorithm>

#include <re2/filtered_re2.h>
#include <re2/re2.h>
#include <re2/set.h>

#include "match/searchkeyregex.h"

namespace {

// Literals shorter than this would let through too many lines to be worth
// looking for; a pattern whose literals are all shorter is tested on every
// line.
constexpr int MIN_LITERAL_LENGTH = 3;
// Memory for the set's automaton: enough for a thousand keys of the usual
// kind before its cache is flushed and refilled.
constexpr int64_t SET_MAX_MEM = int64_t{96} << 20;

re2::StringPiece Piece(std::string_view s)
{
    return re2::StringPiece(s.data(), s.size());
}

} // namespace

struct CRegexKeySet::CCompiledSet {
    CCompiledSet(const re2::RE2::Options& options) : set(options, re2::RE2::UNANCHORED) {}
    re2::RE2::Set set;
};

CRegexKeySet::CRegexKeySet() = default;
CRegexKeySet::~CRegexKeySet() = default;

void CRegexKeySet::AddKey(const CSearchKeyRegex& key)
{
    if (key.IsBroken())
        return;
    for (std::size_t i = 0; i < m_patterns.size(); ++i) {
        if (m_patterns[i].pattern == key.GetPattern() &&
            m_patterns[i].bCaseSensitive == key.IsCaseSensitive()) {
            m_mapIndex[&key] = static_cast<int>(i);
            return;
        }
    }
    m_mapIndex[&key] = static_cast<int>(m_patterns.size());
    m_patterns.push_back({key.GetPattern(), key.IsCaseSensitive(), key.GetRegex()});
}

void CRegexKeySet::Build()
{
    m_pSet.reset();
    if (m_patterns.empty())
        return;
    re2::RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(SET_MAX_MEM);
    auto pSet = std::make_unique<CCompiledSet>(options);
    for (const CEntry& entry : m_patterns) {
        // Each pattern keeps its own case rule inside the one set.
        const std::string text = (entry.bCaseSensitive ? "" : "(?i)") + entry.pattern;
        if (pSet->set.Add(Piece(text), nullptr) < 0)
            return;
    }
    if (pSet->set.Compile())
        m_pSet = std::move(pSet);
}

int CRegexKeySet::GetIndex(const CSearchKeyRegex* pKey) const
{
    const auto it = m_mapIndex.find(pKey);
    return it == m_mapIndex.end() ? -1 : it->second;
}

void CRegexKeySet::Match(std::string_view line, std::vector<int>& hits) const
{
    hits.clear();
    if (m_pSet) {
        re2::RE2::Set::ErrorInfo info{};
        if (m_pSet->set.Match(Piece(line), &hits, &info)) {
            std::sort(hits.begin(), hits.end());
            return;
        }
        // No match, or the automaton ran out of memory on this line: only
        // the second needs the slow way.
        if (info.kind == re2::RE2::Set::kNoError)
            return;
        hits.clear();
    }
    for (std::size_t i = 0; i < m_patterns.size(); ++i)
        if (re2::RE2::PartialMatch(Piece(line), *m_patterns[i].pRegex))
            hits.push_back(static_cast<int>(i));
}

bool CRegexKeySet::MatchesAny(std::string_view line) const
{
    if (m_pSet) {
        re2::RE2::Set::ErrorInfo info{};
        if (m_pSet->set.Match(Piece(line), nullptr, &info))
            return true;
        if (info.kind == re2::RE2::Set::kNoError)
            return false;
    }
    return std::any_of(m_patterns.begin(), m_patterns.end(), [&](const CEntry& entry) {
        return re2::RE2::PartialMatch(Piece(line), *entry.pRegex);
    });
}

bool CRegexKeySet::GetRequiredLiterals(std::vector<std::string>& out) const
{
    out.clear();
    if (m_patterns.empty())
        return true;
    re2::FilteredRE2 filter(MIN_LITERAL_LENGTH);
    for (const CEntry& entry : m_patterns) {
        int id = 0;
        if (filter.Add(Piece(entry.pattern), entry.pRegex->options(), &id) != re2::RE2::NoError)
            return false;
    }
    std::vector<std::string> atoms;
    filter.Compile(&atoms);
    // A pattern that passes the prefilter with no literal present needs
    // every line.
    std::vector<int> unfiltered;
    filter.AllPotentials({}, &unfiltered);
    if (!unfiltered.empty())
        return false;
    // The literals come lower-cased; the finder compares ASCII letters
    // without case, which is exact only for ASCII literals.
    for (const std::string& atom : atoms)
        if (std::any_of(atom.begin(), atom.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            return false;
    out = std::move(atoms);
    return true;
}
