#include "match/keysetfinder.h"

#include <algorithm>
#include <cstring>

#include "match/searchkeytext.h"
#include "match/textfold.h"

namespace {

constexpr std::size_t MAX_WINDOW = 64;
constexpr std::size_t BUCKET_BITS = 10;

// The bytes that upper-case to c (c itself, and its lower-case letter).
std::string_view CaseVariants(unsigned char c, bool bCaseSensitive, char (&buf)[2])
{
    buf[0] = static_cast<char>(c);
    if (!bCaseSensitive && c >= 'A' && c <= 'Z') {
        buf[1] = static_cast<char>(c - 'A' + 'a');
        return {buf, 2};
    }
    return {buf, 1};
}

std::size_t BucketOf(std::size_t foldedGram)
{
    return (foldedGram * 0x9E3779B1u) >> (32 - BUCKET_BITS) & ((1u << BUCKET_BITS) - 1);
}

} // namespace

CKeySetFinder::CKeySetFinder() { Rebuild(); }

void CKeySetFinder::AddPattern(std::string_view pattern, bool bCaseSensitive)
{
    if (pattern.empty() || pattern.find('\n') != std::string_view::npos)
        return;
    CPattern p{std::string(pattern), {}, bCaseSensitive};
    textfold::ToUpper(pattern, p.upper);
    m_patterns.push_back(std::move(p));
    Rebuild();
}

void CKeySetFinder::AddTextKey(const CSearchKeyText& key)
{
    auto usable = [](const std::string& s) { return !s.empty() && s.find('\n') == std::string::npos; };
    bool b = key.m_bCaseSensitive != 0;
    switch (key.m_nMode) {
    case TextKeyMode::ONLY:
    case TextKeyMode::AND_NOT:
        AddPattern(key.m_strKey1, b);
        break;
    case TextKeyMode::OR:
        AddPattern(key.m_strKey1, b);
        AddPattern(key.m_strKey2, b);
        break;
    case TextKeyMode::AND:
        if (usable(key.m_strKey1) && usable(key.m_strKey2))
            AddPattern(key.m_strKey1.size() >= key.m_strKey2.size() ? key.m_strKey1 : key.m_strKey2, b);
        break;
    }
}

void CKeySetFinder::Clear()
{
    m_patterns.clear();
    Rebuild();
}

std::size_t CKeySetFinder::Gram(const unsigned char* p) const
{
    return m_nGram == 2 ? (std::size_t{p[-1]} | std::size_t{p[0]} << 8) : std::size_t{p[0]};
}

void CKeySetFinder::Rebuild()
{
    std::size_t nMin = MAX_WINDOW;
    for (const CPattern& p : m_patterns)
        nMin = std::min(nMin, p.text.size());
    m_nWindow = nMin;
    m_nGram = nMin >= 2 ? 2 : 1;
    const std::size_t nDefaultShift = m_nWindow - m_nGram + 1;
    m_shift.assign(m_nGram == 2 ? 65536 : 256, static_cast<std::uint8_t>(nDefaultShift));

    // Every gram in a pattern's first m_nWindow bytes limits the shift of
    // the windows that end with it, in every letter case the pattern allows.
    char va[2];
    char vb[2];
    for (const CPattern& p : m_patterns) {
        const auto* u = reinterpret_cast<const unsigned char*>(p.bCaseSensitive ? p.text.data() : p.upper.data());
        for (std::size_t j = m_nGram - 1; j < m_nWindow; ++j) {
            auto shift = static_cast<std::uint8_t>(m_nWindow - 1 - j);
            std::string_view second = CaseVariants(u[j], p.bCaseSensitive, vb);
            std::string_view first = m_nGram == 2 ? CaseVariants(u[j - 1], p.bCaseSensitive, va)
                                                  : std::string_view("\0", 1);
            for (char a : first) {
                for (char b : second) {
                    std::size_t g = m_nGram == 2 ? (std::size_t{static_cast<unsigned char>(a)} |
                                                    std::size_t{static_cast<unsigned char>(b)} << 8)
                                                 : static_cast<unsigned char>(b);
                    m_shift[g] = std::min(m_shift[g], shift);
                }
            }
        }
    }

    // Patterns by the upper-cased gram that ends their window.
    std::vector<std::uint32_t> bucketOf(m_patterns.size());
    m_bucketStart.assign((1u << BUCKET_BITS) + 1, 0);
    for (std::size_t i = 0; i < m_patterns.size(); ++i) {
        const auto* u = reinterpret_cast<const unsigned char*>(m_patterns[i].upper.data());
        bucketOf[i] = static_cast<std::uint32_t>(BucketOf(Gram(u + m_nWindow - 1)));
        ++m_bucketStart[bucketOf[i] + 1];
    }
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    m_bucketItems.assign(m_patterns.size(), 0);
    std::vector<std::uint32_t> fill(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::size_t i = 0; i < m_patterns.size(); ++i)
        m_bucketItems[fill[bucketOf[i]]++] = static_cast<std::uint32_t>(i);
}

std::size_t CKeySetFinder::MatchAt(const unsigned char* block, std::size_t n, std::size_t start,
                                   std::size_t pos) const
{
    unsigned char folded[2] = {textfold::ToUpper(block[pos]), 0};
    std::size_t g = folded[0];
    if (m_nGram == 2)
        g = std::size_t{textfold::ToUpper(block[pos - 1])} | g << 8;
    std::size_t bucket = BucketOf(g);
    std::size_t nBest = 0;
    for (std::uint32_t k = m_bucketStart[bucket]; k < m_bucketStart[bucket + 1]; ++k) {
        const CPattern& p = m_patterns[m_bucketItems[k]];
        std::size_t m = p.text.size();
        if ((nBest && m >= nBest) || m > n - start)
            continue;
        const unsigned char* t = block + start;
        bool bEqual;
        if (p.bCaseSensitive) {
            bEqual = std::memcmp(t, p.text.data(), m) == 0;
        } else {
            const auto* u = reinterpret_cast<const unsigned char*>(p.upper.data());
            std::size_t i = 0;
            while (i < m && textfold::ToUpper(t[i]) == u[i])
                ++i;
            bEqual = i == m;
        }
        if (bEqual)
            nBest = m;
    }
    return nBest;
}

template <class F>
void CKeySetFinder::Scan(std::string_view block, F&& onHit) const
{
    if (m_patterns.empty())
        return;
    const auto* t = reinterpret_cast<const unsigned char*>(block.data());
    const std::size_t n = block.size();
    const std::size_t w = m_nWindow;
    const std::uint8_t* shift = m_shift.data();
    std::size_t pos = w - 1; // last byte of the window
    while (pos < n) {
        // Skip windows whose last gram ends no pattern's window; two steps
        // at a time while both stay inside the block.
        if (m_nGram == 2) {
            while (pos + 2 * w < n) {
                std::size_t s = shift[std::size_t{t[pos - 1]} | std::size_t{t[pos]} << 8];
                if (!s)
                    break;
                pos += s;
                s = shift[std::size_t{t[pos - 1]} | std::size_t{t[pos]} << 8];
                if (!s)
                    break;
                pos += s;
            }
        }
        std::size_t s;
        while (pos < n && (s = shift[Gram(t + pos)]) != 0)
            pos += s;
        if (pos >= n)
            return;
        std::size_t start = pos + 1 - w;
        std::size_t m = MatchAt(t, n, start, pos);
        if (m) {
            std::size_t next = onHit(start, m);
            if (next == std::string_view::npos)
                return;
            pos = std::max(next + w - 1, pos + 1);
        } else {
            ++pos;
        }
    }
}

void CKeySetFinder::FindLines(std::string_view block, std::vector<CLineSpan>& out, bool bDropCR) const
{
    const char* t = block.data();
    const std::size_t n = block.size();
    std::size_t lineFloor = 0; // no line of interest starts before this
    Scan(block, [&](std::size_t start, std::size_t m) -> std::size_t {
        std::size_t end = start + m;
        // Patterns hold no '\n', so the occurrence lies inside one line; it
        // only fails when it takes in the '\r' that ends the line.
        if (bDropCR && end < n && t[end] == '\n' && t[end - 1] == '\r')
            return start + 1; // every longer one would take in the '\n'; look further on
        const void* prev = start > lineFloor ? ::memrchr(t + lineFloor, '\n', start - lineFloor) : nullptr;
        std::size_t lineStart = prev ? static_cast<const char*>(prev) - t + 1 : lineFloor;
        const void* nl = std::memchr(t + end, '\n', n - end);
        std::size_t lineEnd = nl ? static_cast<const char*>(nl) - t : n;
        std::size_t contentEnd = bDropCR && nl && lineEnd > lineStart && t[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
        out.push_back({lineStart, contentEnd - lineStart});
        if (!nl)
            return std::string_view::npos;
        lineFloor = lineEnd + 1;
        return lineFloor;
    });
}

bool CKeySetFinder::Contains(std::string_view line) const
{
    bool bFound = false;
    Scan(line, [&](std::size_t, std::size_t) {
        bFound = true;
        return std::string_view::npos;
    });
    return bFound;
}
