#pragma once
// CKeySetFinder: finds, in a block of text lines, the lines that contain at
// least one of a set of patterns, each either case-sensitive or compared
// upper-cased (match/textfold.h). A text scan builds one from the text keys
// of all watch groups of a log (AddTextKey) and tests keys only on the
// lines it reports: a line that contains no pattern cannot satisfy any key.
// The result is exact: a line is reported if and only if a pattern occurs
// inside it.
//
// The search looks at the block as a whole, so the lines that contain
// nothing are never split or copied. At every position, the first four bytes
// (fewer when a pattern is shorter), with letter case folded away, are
// hashed and looked up in a bit set of the patterns' beginnings; only the
// positions found there are compared with the patterns. Where the processor
// has AVX2, a vector filter first lets through only the positions whose
// first bytes could begin a pattern (nibble tables over 16 groups of
// patterns, 32 positions per step). After a hit the search goes on at the
// next line. With two to 64 patterns of five bytes or more, on processors
// with AVX-512 VBMI, the window filter (match/windowfilter.h) runs first
// instead, and the patterns are compared only where it points.
//
// Building (AddPattern, AddTextKey, Clear) and searching are not to be
// mixed across threads; a built finder may be searched from several threads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "match/windowfilter.h"

class CSearchKeyText;

struct CLineSpan {
    std::size_t nOffset; // from the start of the block
    std::size_t nLength; // without the line end
    friend bool operator==(const CLineSpan&, const CLineSpan&) = default;
};

class CKeySetFinder {
public:
    CKeySetFinder();

    // Adds a pattern. An empty pattern or one holding a line feed can never
    // occur in a line and is left out.
    void AddPattern(std::string_view pattern, bool bCaseSensitive);
    // Adds what the key must find for a line to match it: Key 1 (modes ONLY,
    // AND_NOT), Key 1 or Key 2 (OR), the longer of the two (AND). A key that
    // can never match adds nothing.
    void AddTextKey(const CSearchKeyText& key);
    void Clear();
    bool IsEmpty() const { return m_patterns.empty(); }
    std::size_t GetPatternCount() const { return m_patterns.size(); }
    // Pattern i as added, and whether it is compared case-sensitively.
    const std::string& GetPattern(std::size_t i) const { return m_patterns[i].text; }
    bool IsCaseSensitive(std::size_t i) const { return m_patterns[i].bCaseSensitive; }

    // Appends to out the lines of the block that contain a pattern, in
    // order. Lines end at '\n', which is not part of the line; with bDropCR,
    // neither is a '\r' right before the '\n'. Text after the last '\n' is a
    // last line.
    void FindLines(std::string_view block, std::vector<CLineSpan>& out, bool bDropCR = true) const;
    // True when the line (no line end in it) contains a pattern.
    bool Contains(std::string_view line) const;

    // Which pre-filter runs first: the best the processor and patterns
    // allow by default; the results are the same whichever runs.
    enum class Filter { NONE, NIBBLES, WINDOWS };
    void UseFilter(Filter filter);
    // Whether the window filter is used: the finder is then faster than a
    // general multi-pattern search over a block.
    bool HasWindowFilter() const { return m_filter == Filter::WINDOWS && m_window.IsBuilt(); }

private:
    struct CPattern {
        std::string text;  // as given
        std::string upper; // upper-cased
        bool bCaseSensitive;
    };

    void Rebuild();
    // The hash of the (folded) bytes at p that index the bit set.
    std::uint32_t Fingerprint(const unsigned char* p) const;
    // The length of the shortest pattern that occurs at block[start], or 0.
    std::size_t MatchAt(const unsigned char* block, std::size_t n, std::size_t start,
                        std::uint32_t hash) const;
    // Calls onHit(start, length) for occurrences; onHit returns the position
    // from which to go on looking (at least start + 1), or npos to stop.
    // bDropCR: an occurrence that takes in the '\r' ending a line is none.
    template <class F> void Scan(std::string_view block, bool bDropCR, F&& onHit) const;
    // Scan by the window filter: occurrences in the order of their lines.
    template <class F> void ScanWindows(std::string_view block, bool bDropCR, F&& onHit) const;
    bool Equal(const CPattern& p, const unsigned char* t) const;

    std::vector<CPattern> m_patterns;
    Filter m_filter;
    CWindowFilter m_window;
    // The vector filter: for each of the first bytes of a pattern (up to 4)
    // and each nibble value, the groups of patterns (16, two sets of 8 bits)
    // that allow a byte with that nibble there, case folded as FOLD_MASK.
    struct CNibbleTables {
        unsigned char lo[2][4][16];
        unsigned char hi[2][4][16];
        std::size_t nBytes;
    } m_nibbles{};
    std::uint32_t m_nPrefixMask = 0;          // the bytes hashed: shortest pattern, up to 4
    std::vector<std::uint64_t> m_bits;        // by hash: some pattern begins so
    std::vector<std::uint32_t> m_bucketStart; // by hash bucket: range in m_bucketItems
    std::vector<std::uint32_t> m_bucketItems; // pattern indexes
};
