#pragma once
// CWindowFilter: the first pass of CKeySetFinder over a block when it holds
// several patterns and the processor has AVX-512 VBMI (byte lookups in
// 128-entry tables, 64 positions at a time).
//
// Each pattern is represented by one window of five bytes, the one whose
// bytes are rarest in log text (a pattern's common beginning, such as
// "conn" or "chec", would let through every line that holds a common word).
// The patterns fall into eight groups. For each of the window's four pairs
// of neighbouring bytes there is a table, indexed by a hash of the pair with
// letter case folded away, that holds the groups having such a pair there.
// A position passes when some group is in all four tables; the finder then
// compares that group's patterns, each placed so that its window lies at
// the position. Bytes are folded to seven bits for the hash, so case and
// bytes 128-255 only cost comparisons, never a miss.
//
// Built once (Build), then read from any number of threads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CWindowFilter {
public:
    static constexpr std::size_t WINDOW = 5;
    static constexpr std::size_t GROUPS = 8;
    static constexpr std::size_t MIN_PATTERNS = 2; // one pattern: a single-literal search is faster
    static constexpr std::size_t MAX_PATTERNS = 64; // more fill the tables

    struct CMember {
        std::uint32_t nPattern; // index in the patterns given to Build
        std::uint32_t nOffset;  // of the window in the pattern
    };

    // Makes the tables for the patterns; false (and the filter is not to be
    // used) when the processor lacks the instructions, a pattern is shorter
    // than a window, or their number is outside MIN_PATTERNS..MAX_PATTERNS.
    bool Build(const std::vector<std::string>& patterns);
    bool IsBuilt() const { return m_bBuilt; }

    // Room FindCandidates may fill: a batch, one more step, the tail.
    static constexpr std::size_t BATCH = 1024;
    static constexpr std::size_t CAPACITY = BATCH + 64 + WINDOW;

    // Writes to out (CAPACITY places) the window positions p (from from on,
    // p + WINDOW <= n) that pass, in order, sets nOut to their number, and
    // stops once BATCH or more are there. Returns where to go on
    // (n - WINDOW + 1 or more when the block is done).
    std::size_t FindCandidates(const unsigned char* t, std::size_t n, std::size_t from,
                               std::uint32_t* out, std::size_t& nOut) const;
    // The groups (one bit each) whose window may lie at t (WINDOW bytes).
    unsigned GroupsAt(const unsigned char* t) const;
    const std::vector<CMember>& Group(std::size_t g) const { return m_groups[g]; }

private:
    bool m_bBuilt = false;
    // Per pair k (bytes k and k+1 of the window) and hash: the groups.
    alignas(64) std::array<std::array<unsigned char, 128>, WINDOW - 1> m_tables{};
    std::array<std::vector<CMember>, GROUPS> m_groups;
};
