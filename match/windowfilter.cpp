#include "match/windowfilter.h"

#include <cstring>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUORVIL_WINDOW_AVX512 1
#endif

namespace {

constexpr std::size_t PAIRS = CWindowFilter::WINDOW - 1;
constexpr std::size_t STEP = 64;

// A byte as the hash sees it: bit 5 cleared folds the letter case, bit 7
// cleared leaves the seven bits that a 128-entry lookup takes.
constexpr unsigned char FOLD7 = 0x5F;

// One shuffle of 0..127 per window byte, so that the pair hashes spread
// the few values that letters take over the whole table.
using CPermutations = std::array<std::array<unsigned char, 128>, CWindowFilter::WINDOW>;
constexpr CPermutations MakePermutations()
{
    CPermutations perms{};
    std::uint32_t state = 0x2545F491u;
    for (auto& perm : perms) {
        for (unsigned i = 0; i < 128; ++i)
            perm[i] = static_cast<unsigned char>(i);
        for (unsigned i = 127; i > 0; --i) {
            state = state * 1664525u + 1013904223u;
            const unsigned j = (state >> 8) % (i + 1);
            const unsigned char c = perm[i];
            perm[i] = perm[j];
            perm[j] = c;
        }
    }
    return perms;
}
alignas(64) constexpr CPermutations PERM = MakePermutations();

unsigned char PairHash(const unsigned char* w, std::size_t k)
{
    return PERM[k][w[k] & FOLD7] ^ PERM[k + 1][w[k + 1] & FOLD7];
}

// How common a byte is in log text, roughly: the space, then the letters
// by their frequency in English, digits, the usual punctuation.
int Commonness(unsigned char c)
{
    static const char LETTERS[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (c == ' ')
        return 40;
    if (c >= 'A' && c <= 'Z')
        c = static_cast<unsigned char>(c - 'A' + 'a');
    if (const char* p = c ? std::strchr(LETTERS, c) : nullptr)
        return 36 - static_cast<int>(p - LETTERS);
    if (c >= '0' && c <= '9')
        return 20;
    return std::strchr(":.,-/[]=()", c) && c ? 15 : 5;
}

bool CpuHasVbmi()
{
#ifdef QUORVIL_WINDOW_AVX512
    static const bool bHas =
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return bHas;
#else
    return false;
#endif
}

#ifdef QUORVIL_WINDOW_AVX512
// The 64-position steps from i on, while i + STEP + WINDOW - 1 <= n.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t
VectorSteps(const unsigned char* t, std::size_t n, std::size_t i, const unsigned char* tables,
            std::uint32_t* out, std::size_t& nOut)
{
    const __m512i fold = _mm512_set1_epi8(static_cast<char>(FOLD7));
    __m512i perm[CWindowFilter::WINDOW][2];
    for (std::size_t k = 0; k < CWindowFilter::WINDOW; ++k) {
        perm[k][0] = _mm512_loadu_si512(PERM[k].data());
        perm[k][1] = _mm512_loadu_si512(PERM[k].data() + 64);
    }
    __m512i table[PAIRS][2];
    for (std::size_t k = 0; k < PAIRS; ++k) {
        table[k][0] = _mm512_loadu_si512(tables + k * 128);
        table[k][1] = _mm512_loadu_si512(tables + k * 128 + 64);
    }
    for (; i + STEP + CWindowFilter::WINDOW - 1 <= n && nOut < CWindowFilter::BATCH; i += STEP) {
        __m512i groups = _mm512_set1_epi8(-1);
        __m512i prev = _mm512_permutex2var_epi8(
            perm[0][0], _mm512_and_si512(_mm512_loadu_si512(t + i), fold), perm[0][1]);
        for (std::size_t k = 0; k < PAIRS; ++k) {
            const __m512i next = _mm512_permutex2var_epi8(
                perm[k + 1][0], _mm512_and_si512(_mm512_loadu_si512(t + i + k + 1), fold),
                perm[k + 1][1]);
            groups = _mm512_and_si512(
                groups,
                _mm512_permutex2var_epi8(table[k][0], _mm512_xor_si512(prev, next), table[k][1]));
            prev = next;
        }
        for (std::uint64_t mask = _mm512_test_epi8_mask(groups, groups); mask; mask &= mask - 1)
            out[nOut++] =
                static_cast<std::uint32_t>(i + static_cast<std::size_t>(__builtin_ctzll(mask)));
    }
    return i;
}
#endif

} // namespace

bool CWindowFilter::Build(const std::vector<std::string>& patterns)
{
    m_bBuilt = false;
    m_tables = {};
    for (auto& group : m_groups)
        group.clear();
    if (!CpuHasVbmi() || patterns.size() < MIN_PATTERNS || patterns.size() > MAX_PATTERNS ||
        patterns.size() > std::numeric_limits<std::uint32_t>::max())
        return false;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(patterns[i].data());
        if (patterns[i].size() < WINDOW)
            return false;
        std::size_t nBest = 0;
        int nBestScore = std::numeric_limits<int>::max();
        for (std::size_t o = 0; o + WINDOW <= patterns[i].size(); ++o) {
            int nScore = 0;
            for (std::size_t k = 0; k < WINDOW; ++k)
                nScore += Commonness(p[o + k]);
            if (nScore < nBestScore) {
                nBestScore = nScore;
                nBest = o;
            }
        }
        const std::size_t g = i % GROUPS;
        m_groups[g].push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(nBest)});
        for (std::size_t k = 0; k < PAIRS; ++k)
            m_tables[k][PairHash(p + nBest, k)] |= static_cast<unsigned char>(1u << g);
    }
    m_bBuilt = true;
    return true;
}

unsigned CWindowFilter::GroupsAt(const unsigned char* t) const
{
    unsigned groups = 0xFF;
    for (std::size_t k = 0; k < PAIRS; ++k)
        groups &= m_tables[k][PairHash(t, k)];
    return groups;
}

std::size_t CWindowFilter::FindCandidates(const unsigned char* t, std::size_t n, std::size_t from,
                                          std::uint32_t* out, std::size_t& nOut) const
{
    std::size_t i = from;
    nOut = 0;
#ifdef QUORVIL_WINDOW_AVX512
    i = VectorSteps(t, n, i, m_tables[0].data(), out, nOut);
    if (nOut >= BATCH)
        return i;
#endif
    // The last positions (fewer than a step and a window), one by one.
    for (; i + WINDOW <= n; ++i)
        if (GroupsAt(t + i))
            out[nOut++] = static_cast<std::uint32_t>(i);
    return i;
}
