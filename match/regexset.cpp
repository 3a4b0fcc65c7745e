#include "match/regexset.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

#include <hs/hs.h>
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

// Compiled databases kept for the next scans, by the patterns they hold.
constexpr std::size_t DATABASE_CACHE_SIZE = 8;

// Writes to out the pattern as the prefilter database is to see it, so that
// it matches at least wherever RE2 matches the pattern in a line, or returns
// false when that is not sure. The database reads bytes, RE2 reads UTF-8:
// patterns with non-ASCII text or Unicode classes are refused, and so is an
// atom that matches any character ('.', a negated class, \S, \W, \D) unless
// it repeats without bound, where a run of bytes covers a run of
// characters. '$' may also meet a '\r' that the line drops; \A and \z mean
// the block's ends there, not the line's.
bool PrefilterPattern(std::string_view pattern, std::string& out)
{
    out.clear();
    const std::size_t n = pattern.size();
    auto repeatsUnbounded = [&](std::size_t next) {
        return next < n && (pattern[next] == '*' || pattern[next] == '+');
    };
    for (std::size_t i = 0; i < n; ++i) {
        const char c = pattern[i];
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
            return false;
        if (c == '\\') {
            if (i + 1 >= n)
                return false;
            const char e = pattern[++i];
            if (std::strchr("AzCpPxQEX0123456789", e) || static_cast<unsigned char>(e) >= 0x80)
                return false;
            if (std::strchr("SWD", e) && !repeatsUnbounded(i + 1))
                return false;
            out += c;
            out += e;
        } else if (c == '.') {
            if (!repeatsUnbounded(i + 1))
                return false;
            out += c;
        } else if (c == '$') {
            out += "(?:\\r?$)";
        } else if (c == '[') {
            // A class, copied as it is up to its closing ']'.
            std::size_t j = i + 1;
            const bool bNegated = j < n && pattern[j] == '^';
            if (bNegated)
                ++j;
            if (j < n && pattern[j] == ']')
                ++j; // a ']' first is a member
            for (;; ++j) {
                if (j >= n)
                    return false;
                const char d = pattern[j];
                if (static_cast<unsigned char>(d) >= 0x80 || d == '\0')
                    return false;
                if (d == ']')
                    break;
                if (d == '\\') {
                    if (j + 1 >= n || std::strchr("SWDpPxQEC0123456789", pattern[j + 1]))
                        return false;
                    ++j;
                } else if (d == '[' && j + 1 < n && pattern[j + 1] == ':') {
                    const std::size_t close = pattern.find(":]", j + 2);
                    if (close == std::string_view::npos)
                        return false;
                    j = close + 1;
                }
            }
            if (bNegated && !repeatsUnbounded(j + 1))
                return false;
            out.append(pattern.substr(i, j + 1 - i));
            i = j;
        } else {
            out += c;
        }
    }
    return true;
}

// The scratch area of the calling thread, grown to fit db; null on failure.
hs_scratch_t* ThreadScratch(const hs_database_t* db)
{
    struct CScratch {
        hs_scratch_t* p = nullptr;
        ~CScratch() { hs_free_scratch(p); }
    };
    thread_local CScratch scratch;
    return hs_alloc_scratch(db, &scratch.p) == HS_SUCCESS ? scratch.p : nullptr;
}

// Stops the scan at the first report and keeps where it ended.
int OnPrefilterMatch(unsigned int, unsigned long long, unsigned long long to, unsigned int,
                     void* context)
{
    *static_cast<unsigned long long*>(context) = to;
    return 1;
}

} // namespace

struct CRegexKeySet::CDatabase {
    hs_database_t* p = nullptr;
    CDatabase() = default;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;
    ~CDatabase() { hs_free_database(p); }
};

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
    m_pDatabase.reset();
    if (m_patterns.empty())
        return;
    BuildDatabase();
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

void CRegexKeySet::BuildDatabase()
{
    static std::mutex s_mutex;
    static std::vector<std::pair<std::string, std::shared_ptr<const CDatabase>>> s_cache;
    std::string strKey;
    for (const CEntry& entry : m_patterns) {
        strKey += entry.bCaseSensitive ? '1' : '0';
        strKey += entry.pattern;
        strKey += '\0';
    }
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        for (const auto& [key, pDatabase] : s_cache) {
            if (key == strKey) {
                m_pDatabase = pDatabase;
                return;
            }
        }
    }
    std::shared_ptr<CDatabase> pDatabase;
    std::vector<std::string> texts(m_patterns.size());
    bool bAll = hs_valid_platform() == HS_SUCCESS;
    for (std::size_t i = 0; bAll && i < m_patterns.size(); ++i)
        bAll = PrefilterPattern(m_patterns[i].pattern, texts[i]);
    if (bAll) {
        std::vector<const char*> expressions;
        std::vector<unsigned int> flags;
        std::vector<unsigned int> ids;
        for (std::size_t i = 0; i < m_patterns.size(); ++i) {
            expressions.push_back(texts[i].c_str());
            flags.push_back(HS_FLAG_PREFILTER | HS_FLAG_MULTILINE |
                            (m_patterns[i].bCaseSensitive ? 0u : HS_FLAG_CASELESS));
            ids.push_back(static_cast<unsigned int>(i));
        }
        hs_database_t* db = nullptr;
        hs_compile_error_t* error = nullptr;
        if (hs_compile_multi(expressions.data(), flags.data(), ids.data(),
                             static_cast<unsigned int>(expressions.size()), HS_MODE_BLOCK, nullptr,
                             &db, &error) == HS_SUCCESS) {
            pDatabase = std::make_shared<CDatabase>();
            pDatabase->p = db;
        } else {
            // A pattern the database does not take: the lines are tested
            // one by one.
            hs_free_compile_error(error);
        }
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_cache.size() >= DATABASE_CACHE_SIZE)
        s_cache.erase(s_cache.begin());
    s_cache.emplace_back(std::move(strKey), pDatabase);
    m_pDatabase = std::move(pDatabase);
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

void CRegexKeySet::FindLines(std::string_view block, std::vector<CLineSpan>& out) const
{
    const char* t = block.data();
    const std::size_t n = block.size();
    hs_scratch_t* scratch = m_pDatabase && n <= UINT_MAX ? ThreadScratch(m_pDatabase->p) : nullptr;
    std::size_t pos = 0;
    while (pos < n) {
        // The first report from pos on lies in the first line from pos on
        // that can match: reports come in the order of their ends.
        std::size_t hit = pos; // without a database or scratch, every line is tested
        if (scratch) {
            unsigned long long to = 0;
            const hs_error_t rc = hs_scan(m_pDatabase->p, t + pos, static_cast<unsigned>(n - pos),
                                          0, scratch, OnPrefilterMatch, &to);
            if (rc == HS_SUCCESS)
                return; // no report: no line left can match
            if (rc == HS_SCAN_TERMINATED && to > 0)
                hit = pos + static_cast<std::size_t>(to) - 1; // the report's last byte
            else if (rc != HS_SCAN_TERMINATED)
                scratch = nullptr;
        }
        const void* prev = hit > pos ? ::memrchr(t + pos, '\n', hit - pos) : nullptr;
        const std::size_t lineStart =
            prev ? static_cast<std::size_t>(static_cast<const char*>(prev) - t) + 1 : pos;
        const void* nl = std::memchr(t + hit, '\n', n - hit);
        const std::size_t lineEnd =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) : n;
        const std::size_t contentEnd =
            nl && lineEnd > lineStart && t[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
        if (MatchesAny(block.substr(lineStart, contentEnd - lineStart)))
            out.push_back({lineStart, contentEnd - lineStart});
        if (!nl)
            return;
        pos = lineEnd + 1;
    }
}
