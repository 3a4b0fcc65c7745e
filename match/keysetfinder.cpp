#include "match/keysetfinder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <span>

#include "match/searchkeytext.h"
#include "match/textfold.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUORVIL_FINDER_AVX2 1
#endif

namespace {

constexpr std::size_t PREFIX_BYTES = 4;
constexpr unsigned HASH_BITS = 16;
constexpr unsigned BUCKET_BITS = 10;
constexpr std::size_t VECTOR_STEP = 32;

// Clearing bit 5 of a byte maps each ASCII letter's two cases to one value
// (and some other bytes together, which only costs a comparison).
constexpr unsigned char FOLD_MASK = 0xDF;

std::uint32_t Load32(const unsigned char* p)
{
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

std::size_t BucketOf(std::uint32_t hash)
{
    return hash & ((1u << BUCKET_BITS) - 1);
}

#ifdef QUORVIL_FINDER_AVX2
bool CpuHasAvx2()
{
    static const bool bHas = __builtin_cpu_supports("avx2");
    return bHas;
}
#else
bool CpuHasAvx2()
{
    return false;
}
#endif

} // namespace

#ifdef QUORVIL_FINDER_AVX2
// Runs the vector filter over the block, 32 positions per step while 32 + 3
// bytes are left, and calls onCandidate(pos) for each position it lets
// through; onCandidate returns the position from which to go on, or npos to
// stop. Returns where the rest of the block is to be searched, or npos.
template <class F>
__attribute__((target("avx2"))) std::size_t
VectorScan(const unsigned char* t, std::size_t n, const unsigned char (*lo)[4][16],
           const unsigned char (*hi)[4][16], std::size_t nBytes, F&& onCandidate)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i fold = _mm256_set1_epi8(static_cast<char>(FOLD_MASK));
    __m256i tables[2][2][4]; // [lo/hi][group set][byte]
    for (std::size_t g = 0; g < 2; ++g) {
        for (std::size_t k = 0; k < nBytes; ++k) {
            tables[0][g][k] = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo[g][k])));
            tables[1][g][k] = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi[g][k])));
        }
    }
    std::size_t j = 0;
    std::size_t resume = 0; // positions before this are done (tested, or in a reported line)
    while (j + VECTOR_STEP + PREFIX_BYTES - 1 <= n) {
        __m256i r0 = _mm256_set1_epi8(-1);
        __m256i r1 = r0;
        for (std::size_t k = 0; k < nBytes; ++k) {
            __m256i v = _mm256_and_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + j + k)), fold);
            __m256i vLo = _mm256_and_si256(v, nibble);
            __m256i vHi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
            r0 = _mm256_and_si256(r0, _mm256_and_si256(_mm256_shuffle_epi8(tables[0][0][k], vLo),
                                                       _mm256_shuffle_epi8(tables[1][0][k], vHi)));
            r1 = _mm256_and_si256(r1, _mm256_and_si256(_mm256_shuffle_epi8(tables[0][1][k], vLo),
                                                       _mm256_shuffle_epi8(tables[1][1][k], vHi)));
        }
        __m256i none = _mm256_cmpeq_epi8(_mm256_or_si256(r0, r1), _mm256_setzero_si256());
        auto candidates = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(none));
        while (candidates) {
            std::size_t pos = j + static_cast<std::size_t>(__builtin_ctz(candidates));
            candidates &= candidates - 1;
            if (pos < resume)
                continue;
            resume = onCandidate(pos);
            if (resume == std::string_view::npos)
                return resume;
        }
        j = std::max(j + VECTOR_STEP, resume);
    }
    return std::max(j, resume);
}
#endif

CKeySetFinder::CKeySetFinder() : m_filter(Filter::WINDOWS)
{
    Rebuild();
}

void CKeySetFinder::UseFilter(Filter filter)
{
    m_filter = filter;
}

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
    auto usable = [](const std::string& s) {
        return !s.empty() && s.find('\n') == std::string::npos;
    };
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
            AddPattern(key.m_strKey1.size() >= key.m_strKey2.size() ? key.m_strKey1 : key.m_strKey2,
                       b);
        break;
    }
}

void CKeySetFinder::Clear()
{
    m_patterns.clear();
    Rebuild();
}

std::uint32_t CKeySetFinder::Fingerprint(const unsigned char* p) const
{
    return ((Load32(p) & m_nPrefixMask) * 0x9E3779B1u) >> (32 - HASH_BITS);
}

void CKeySetFinder::Rebuild()
{
    std::size_t nPrefix = PREFIX_BYTES;
    for (const CPattern& p : m_patterns)
        nPrefix = std::min(nPrefix, p.text.size());
    unsigned char mask[PREFIX_BYTES] = {};
    std::memset(mask, FOLD_MASK, nPrefix);
    m_nPrefixMask = Load32(mask);

    // The exact test: a bit set of prefix hashes, and the patterns by hash.
    m_bits.assign((std::size_t{1} << HASH_BITS) / 64, 0);
    std::vector<std::uint32_t> hashOf(m_patterns.size());
    m_bucketStart.assign((std::size_t{1} << BUCKET_BITS) + 1, 0);
    for (std::size_t i = 0; i < m_patterns.size(); ++i) {
        unsigned char prefix[PREFIX_BYTES] = {};
        std::memcpy(prefix, m_patterns[i].text.data(), nPrefix);
        hashOf[i] = Fingerprint(prefix);
        m_bits[hashOf[i] / 64] |= std::uint64_t{1} << (hashOf[i] % 64);
        ++m_bucketStart[BucketOf(hashOf[i]) + 1];
    }
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    m_bucketItems.assign(m_patterns.size(), 0);
    std::vector<std::uint32_t> fill(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::size_t i = 0; i < m_patterns.size(); ++i)
        m_bucketItems[fill[BucketOf(hashOf[i])]++] = static_cast<std::uint32_t>(i);

    // The window filter takes a bounded number of patterns: a larger set is
    // not copied for it.
    std::vector<std::string> texts;
    if (m_patterns.size() <= CWindowFilter::MAX_PATTERNS)
        for (const CPattern& p : m_patterns)
            texts.push_back(p.text);
    m_window.Build(texts);

    // The vector filter: patterns in order of their folded beginnings, cut
    // into 16 groups, so that alike patterns share a group.
    m_nibbles = {};
    m_nibbles.nBytes = nPrefix;
    std::vector<std::size_t> order(m_patterns.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return m_patterns[a].upper < m_patterns[b].upper;
    });
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        std::size_t group = rank * 16 / order.size();
        const std::string& text = m_patterns[order[rank]].text;
        for (std::size_t k = 0; k < nPrefix; ++k) {
            auto c = static_cast<unsigned char>(static_cast<unsigned char>(text[k]) & FOLD_MASK);
            m_nibbles.lo[group / 8][k][c & 0x0F] |= static_cast<unsigned char>(1u << (group % 8));
            m_nibbles.hi[group / 8][k][c >> 4] |= static_cast<unsigned char>(1u << (group % 8));
        }
    }
}

std::size_t CKeySetFinder::MatchAt(const unsigned char* block, std::size_t n, std::size_t start,
                                   std::uint32_t hash) const
{
    std::size_t nBest = 0;
    std::size_t bucket = BucketOf(hash);
    for (std::uint32_t k = m_bucketStart[bucket]; k < m_bucketStart[bucket + 1]; ++k) {
        const CPattern& p = m_patterns[m_bucketItems[k]];
        std::size_t m = p.text.size();
        if ((nBest && m >= nBest) || m > n - start)
            continue;
        if (Equal(p, block + start))
            nBest = m;
    }
    return nBest;
}

bool CKeySetFinder::Equal(const CPattern& p, const unsigned char* t) const
{
    const std::size_t m = p.text.size();
    if (p.bCaseSensitive)
        return std::memcmp(t, p.text.data(), m) == 0;
    const auto* u = reinterpret_cast<const unsigned char*>(p.upper.data());
    std::size_t i = 0;
    while (i < m && textfold::ToUpper(t[i]) == u[i])
        ++i;
    return i == m;
}

template <class F>
void CKeySetFinder::ScanWindows(std::string_view block, bool bDropCR, F&& onHit) const
{
    const auto* t = reinterpret_cast<const unsigned char*>(block.data());
    const std::size_t n = block.size();
    std::array<std::uint32_t, CWindowFilter::CAPACITY> candidates;
    std::size_t resume = 0; // positions before this are done
    for (std::size_t from = 0; from + CWindowFilter::WINDOW <= n;) {
        std::size_t nCandidates = 0;
        from = m_window.FindCandidates(t, n, from, candidates.data(), nCandidates);
        for (const std::uint32_t w : std::span(candidates.data(), nCandidates)) {
            for (unsigned groups = m_window.GroupsAt(t + w); groups && w >= resume;
                 groups &= groups - 1) {
                for (const CWindowFilter::CMember& member :
                     m_window.Group(static_cast<std::size_t>(__builtin_ctz(groups)))) {
                    const CPattern& p = m_patterns[member.nPattern];
                    const std::size_t start = w - member.nOffset;
                    const std::size_t end = start + p.text.size();
                    if (w < member.nOffset || end > n || !Equal(p, t + start) ||
                        (bDropCR && end < n && t[end] == '\n' && t[end - 1] == '\r'))
                        continue;
                    const std::size_t next = onHit(start, p.text.size());
                    if (next == std::string_view::npos)
                        return;
                    resume = std::max(resume, next);
                    if (resume > w)
                        break;
                }
            }
        }
        from = std::max(from, resume);
    }
}

template <class F> void CKeySetFinder::Scan(std::string_view block, bool bDropCR, F&& onHit) const
{
    if (m_patterns.empty())
        return;
    const auto* t = reinterpret_cast<const unsigned char*>(block.data());
    const std::size_t n = block.size();
    if (m_filter == Filter::WINDOWS && m_window.IsBuilt() && n <= UINT32_MAX) {
        ScanWindows(block, bDropCR, onHit);
        return;
    }
    const std::uint64_t* bits = m_bits.data();
    auto isSet = [bits](std::uint32_t h) { return (bits[h / 64] >> (h % 64)) & 1; };

    // Tests one position exactly; returns where to go on, or npos to stop.
    auto test = [&](std::size_t j, std::uint32_t h) -> std::size_t {
        if (!isSet(h))
            return j + 1;
        std::size_t m = MatchAt(t, n, j, h);
        if (!m)
            return j + 1;
        std::size_t next = onHit(j, m);
        return next == std::string_view::npos ? next : std::max(next, j + 1);
    };

    std::size_t j = 0;
#ifdef QUORVIL_FINDER_AVX2
    if (m_filter != Filter::NONE && CpuHasAvx2()) {
        j = VectorScan(t, n, m_nibbles.lo, m_nibbles.hi, m_nibbles.nBytes,
                       [&](std::size_t pos) { return test(pos, Fingerprint(t + pos)); });
        if (j == std::string_view::npos)
            return;
    }
#endif
    const std::size_t nFull =
        n >= PREFIX_BYTES ? n - PREFIX_BYTES + 1 : 0; // positions with 4 bytes
    while (j < nFull) {
        std::uint32_t h = Fingerprint(t + j);
        j = isSet(h) ? test(j, h) : j + 1;
        if (j == std::string_view::npos)
            return;
    }
    // The last few positions, read from a copy padded with zeros.
    while (j < n) {
        unsigned char tail[PREFIX_BYTES] = {};
        std::memcpy(tail, t + j, n - j);
        j = test(j, Fingerprint(tail));
        if (j == std::string_view::npos)
            return;
    }
}

void CKeySetFinder::FindLines(std::string_view block, std::vector<CLineSpan>& out,
                              bool bDropCR) const
{
    const char* t = block.data();
    const std::size_t n = block.size();
    std::size_t lineFloor = 0; // no line of interest starts before this
    Scan(block, bDropCR, [&](std::size_t start, std::size_t m) -> std::size_t {
        std::size_t end = start + m;
        // Patterns hold no '\n', so the occurrence lies inside one line; it
        // only fails when it takes in the '\r' that ends the line.
        if (bDropCR && end < n && t[end] == '\n' && t[end - 1] == '\r')
            return start + 1; // every longer one would take in the '\n'; look further on
        const void* prev =
            start > lineFloor ? ::memrchr(t + lineFloor, '\n', start - lineFloor) : nullptr;
        std::size_t lineStart =
            prev ? static_cast<std::size_t>(static_cast<const char*>(prev) - t) + 1 : lineFloor;
        const void* nl = std::memchr(t + end, '\n', n - end);
        std::size_t lineEnd = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) : n;
        std::size_t contentEnd =
            bDropCR && nl && lineEnd > lineStart && t[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
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
    Scan(line, false, [&](std::size_t, std::size_t) {
        bFound = true;
        return std::string_view::npos;
    });
    return bFound;
}
