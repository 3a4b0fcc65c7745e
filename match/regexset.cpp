#include "match/regexset.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>

#include <hs/hs.h>
#include <re2/filtered_re2.h>
#include <re2/re2.h>
#include <re2/set.h>

#include "match/searchkeyregex.h"
#include "platform/base/sync.h"
#include "platform/base/threadsafety.h"

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

// Compiled databases kept for the next scans, by the keys they hold: every
// text log with keys has one, so there is room for many logs' small ones;
// the least recently used go first once they take more than this memory.
constexpr std::size_t DATABASE_CACHE_COUNT = 1024;
constexpr std::size_t DATABASE_CACHE_BYTES = std::size_t{64} << 20;

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

// The scratch area of the calling thread, grown to fit db (whose serial
// number is nSerial); null on failure. Growing is looked into only when the
// database is another than last time: it is not cheap for large ones.
hs_scratch_t* ThreadScratch(const hs_database_t* db, std::uint64_t nSerial)
{
    struct CScratch {
        hs_scratch_t* p = nullptr;
        std::uint64_t nSerial = 0; // of the database it was last grown for
        ~CScratch() { hs_free_scratch(p); }
    };
    thread_local CScratch scratch;
    if (scratch.p && scratch.nSerial == nSerial)
        return scratch.p;
    if (hs_alloc_scratch(db, &scratch.p) != HS_SUCCESS) {
        scratch.nSerial = 0;
        return nullptr;
    }
    scratch.nSerial = nSerial;
    return scratch.p;
}

// The first report of a scan: which expression, and where it ended.
struct CReport {
    unsigned int id = 0;
    unsigned long long to = 0;
};

// Stops the scan at the first report and keeps it.
int OnPrefilterMatch(unsigned int id, unsigned long long, unsigned long long to, unsigned int,
                     void* context)
{
    *static_cast<CReport*>(context) = {id, to};
    return 1;
}

// A literal as an expression of the database: every byte written as \xHH.
std::string EscapeLiteral(std::string_view literal)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : literal) {
        const auto b = static_cast<unsigned char>(c);
        out += "\\x";
        out += HEX[b >> 4];
        out += HEX[b & 0x0F];
    }
    return out;
}

} // namespace

struct CRegexKeySet::CDatabase {
    hs_database_t* p = nullptr;
    // Reports of expressions from this one on are exact (the literals);
    // those before it only say where a pattern may match.
    unsigned int nFirstExact = 0;
    // Unique to this database in the process (never 0).
    std::uint64_t nSerial = NextSerial();
    static std::uint64_t NextSerial()
    {
        static std::atomic<std::uint64_t> s_nLast{0};
        return ++s_nLast;
    }
    CDatabase() = default;
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;
    ~CDatabase() { hs_free_database(p); }
};

namespace {

// The compiled databases kept for the next scans, by the keys they hold,
// the most recently used last; the oldest go once there are more than
// DATABASE_CACHE_COUNT or they take more than DATABASE_CACHE_BYTES.
class CDatabaseCache {
public:
    // False when the keys have no entry; an entry may hold no database.
    bool Find(const std::string& strKey, std::shared_ptr<const CRegexKeySet::CDatabase>& pDatabase)
    {
        CMutexLock lock(m_mutex);
        const auto it = std::find_if(m_cached.begin(), m_cached.end(),
                                     [&](const CCached& c) { return c.strKey == strKey; });
        if (it == m_cached.end())
            return false;
        std::rotate(it, it + 1, m_cached.end());
        pDatabase = m_cached.back().pDatabase;
        return true;
    }
    void Add(std::string strKey, std::shared_ptr<const CRegexKeySet::CDatabase> pDatabase,
             std::size_t nBytes)
    {
        CMutexLock lock(m_mutex);
        m_cached.push_back({std::move(strKey), std::move(pDatabase), nBytes});
        m_nBytes += nBytes;
        std::size_t nDrop = 0;
        while (nDrop + 1 < m_cached.size() &&
               (m_cached.size() - nDrop > DATABASE_CACHE_COUNT || m_nBytes > DATABASE_CACHE_BYTES))
            m_nBytes -= m_cached[nDrop++].nBytes;
        m_cached.erase(m_cached.begin(), m_cached.begin() + static_cast<std::ptrdiff_t>(nDrop));
    }

private:
    struct CCached {
        std::string strKey;
        std::shared_ptr<const CRegexKeySet::CDatabase> pDatabase; // null: none could be made
        std::size_t nBytes;
    };
    CMutex m_mutex;
    std::vector<CCached> m_cached GUARDED_BY(m_mutex);
    std::size_t m_nBytes GUARDED_BY(m_mutex) = 0;
};
CDatabaseCache g_databaseCache;

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
    m_pDatabase.reset();
    if (m_patterns.empty() && m_literals.IsEmpty())
        return;
    BuildDatabase();
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

void CRegexKeySet::BuildDatabase()
{
    std::string strKey;
    for (const CEntry& entry : m_patterns) {
        strKey += entry.bCaseSensitive ? '1' : '0';
        strKey += entry.pattern;
        strKey += '\0';
    }
    for (std::size_t i = 0; i < m_literals.GetPatternCount(); ++i) {
        strKey += m_literals.IsCaseSensitive(i) ? 'L' : 'l';
        strKey += m_literals.GetPattern(i);
        strKey += '\0';
    }
    if (g_databaseCache.Find(strKey, m_pDatabase))
        return;
    // The expressions: the patterns the database can take, in prefilter
    // mode; the required literals of the others; then the literals, exact.
    // A pattern that the compiler refuses joins the others, and the
    // database is compiled again.
    std::vector<bool> refused(m_patterns.size(), false);
    std::vector<std::string> texts(m_patterns.size());
    for (std::size_t i = 0; i < m_patterns.size(); ++i)
        refused[i] = !PrefilterPattern(m_patterns[i].pattern, texts[i]);
    std::shared_ptr<CDatabase> pDatabase;
    for (bool bRetry = hs_valid_platform() == HS_SUCCESS; bRetry;) {
        bRetry = false;
        std::vector<const char*> expressions;
        std::vector<unsigned int> flags;
        std::vector<std::size_t> entryOf; // the pattern of each expression taken from one
        std::vector<std::size_t> others;
        for (std::size_t i = 0; i < m_patterns.size(); ++i) {
            if (refused[i]) {
                others.push_back(i);
                continue;
            }
            expressions.push_back(texts[i].c_str());
            flags.push_back(HS_FLAG_PREFILTER | HS_FLAG_MULTILINE |
                            (m_patterns[i].bCaseSensitive ? 0u : HS_FLAG_CASELESS));
            entryOf.push_back(i);
        }
        std::vector<std::string> literals;
        if (!GetRequiredLiterals(others, literals))
            break; // some line could match without any literal: test them all
        for (std::string& literal : literals) {
            literal = EscapeLiteral(literal);
            flags.push_back(HS_FLAG_CASELESS);
        }
        const auto nFirstExact = static_cast<unsigned int>(flags.size());
        for (std::size_t i = 0; i < m_literals.GetPatternCount(); ++i) {
            literals.push_back(EscapeLiteral(m_literals.GetPattern(i)));
            flags.push_back(m_literals.IsCaseSensitive(i) ? 0u : HS_FLAG_CASELESS);
        }
        for (const std::string& literal : literals)
            expressions.push_back(literal.c_str());
        if (expressions.empty())
            break;
        std::vector<unsigned int> ids(expressions.size());
        for (std::size_t i = 0; i < ids.size(); ++i)
            ids[i] = static_cast<unsigned int>(i);
        hs_database_t* db = nullptr;
        hs_compile_error_t* error = nullptr;
        if (hs_compile_multi(expressions.data(), flags.data(), ids.data(),
                             static_cast<unsigned int>(expressions.size()), HS_MODE_BLOCK, nullptr,
                             &db, &error) == HS_SUCCESS) {
            pDatabase = std::make_shared<CDatabase>();
            pDatabase->p = db;
            pDatabase->nFirstExact = nFirstExact;
            break;
        }
        const int nFailed = error ? error->expression : -1;
        hs_free_compile_error(error);
        if (nFailed >= 0 && static_cast<std::size_t>(nFailed) < entryOf.size()) {
            refused[entryOf[static_cast<std::size_t>(nFailed)]] = true;
            bRetry = true;
        }
    }
    std::size_t nBytes = strKey.size();
    std::size_t nDatabaseBytes = 0;
    if (pDatabase && hs_database_size(pDatabase->p, &nDatabaseBytes) == HS_SUCCESS)
        nBytes += nDatabaseBytes;
    g_databaseCache.Add(std::move(strKey), pDatabase, nBytes);
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
    std::vector<std::size_t> entries(m_patterns.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = i;
    return GetRequiredLiterals(entries, out);
}

bool CRegexKeySet::GetRequiredLiterals(const std::vector<std::size_t>& entries,
                                       std::vector<std::string>& out) const
{
    out.clear();
    if (entries.empty())
        return true;
    re2::FilteredRE2 filter(MIN_LITERAL_LENGTH);
    for (const std::size_t i : entries) {
        int id = 0;
        if (filter.Add(Piece(m_patterns[i].pattern), m_patterns[i].pRegex->options(), &id) !=
            re2::RE2::NoError)
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
    hs_scratch_t* scratch = m_pDatabase && n <= UINT_MAX
                                ? ThreadScratch(m_pDatabase->p, m_pDatabase->nSerial)
                                : nullptr;
    std::size_t pos = 0;
    while (pos < n) {
        // The first report from pos on lies in the first line from pos on
        // that can match: reports come in the order of their ends.
        std::size_t hit = pos; // without a database or scratch, every line is tested
        bool bExact = false;
        if (scratch) {
            CReport report;
            const hs_error_t rc = hs_scan(m_pDatabase->p, t + pos, static_cast<unsigned>(n - pos),
                                          0, scratch, OnPrefilterMatch, &report);
            if (rc == HS_SUCCESS)
                return; // no report: no line left can match
            if (rc == HS_SCAN_TERMINATED && report.to > 0) {
                hit = pos + static_cast<std::size_t>(report.to) - 1; // the report's last byte
                bExact = report.id >= m_pDatabase->nFirstExact;
            } else if (rc != HS_SCAN_TERMINATED) {
                scratch = nullptr;
            }
        }
        const void* prev = hit > pos ? ::memrchr(t + pos, '\n', hit - pos) : nullptr;
        const std::size_t lineStart =
            prev ? static_cast<std::size_t>(static_cast<const char*>(prev) - t) + 1 : pos;
        const void* nl = std::memchr(t + hit, '\n', n - hit);
        const std::size_t lineEnd =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) : n;
        const std::size_t contentEnd =
            nl && lineEnd > lineStart && t[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
        // A literal's report is the answer unless it took in the '\r'
        // that the line drops.
        const std::string_view line = block.substr(lineStart, contentEnd - lineStart);
        if ((bExact && hit < contentEnd) || m_literals.Contains(line) || MatchesAny(line))
            out.push_back({lineStart, contentEnd - lineStart});
        if (!nl)
            return;
        pos = lineEnd + 1;
    }
}
