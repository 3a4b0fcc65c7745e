#pragma once
// Letter case for text keys and the text scan. Upper-casing converts the
// ASCII letters a-z only; bytes 128-255 stay as they are. Stored strings are
// 8-bit text in an unknown code page, so no other mapping is right for all
// files; ASCII-only folding also never changes a byte's length and gives
// the same result in every locale.
//
// CPreparedLine holds one line made ready for testing against many keys:
// the line itself and, made on first demand, its upper-case copy in a
// buffer that is reused line after line, so that a scan upper-cases each
// line once, not once per key, and allocates only when a line is longer
// than any before. One prepared line is used by one thread.
//
// A prepared line may carry the regular-expression keys of the scan
// (CRegexKeySet, match/regexset.h): the set is then evaluated once for the
// line, on the first key that asks, and every key reads its result.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CRegexKeySet;

namespace textfold {

constexpr std::array<unsigned char, 256> MakeUpperTable()
{
    std::array<unsigned char, 256> table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}

inline constexpr std::array<unsigned char, 256> UPPER = MakeUpperTable();

inline unsigned char ToUpper(unsigned char c)
{
    return UPPER[c];
}
inline char ToUpper(char c)
{
    return static_cast<char>(UPPER[static_cast<unsigned char>(c)]);
}

// Upper-cases src into dst (dst.size() becomes src.size()).
void ToUpper(std::string_view src, std::string& dst);

// True when needle occurs in hay. FindUpper: hay is already upper-case and
// the needle is compared upper-cased (the needle itself may be any case).
bool Find(std::string_view hay, std::string_view needle);
bool FindUpper(std::string_view upperHay, std::string_view needle);

} // namespace textfold

class CPreparedLine {
public:
    CPreparedLine() = default;
    explicit CPreparedLine(std::string_view line) : m_line(line) {}

    // The next line; its bytes must stay valid while it is tested.
    void Prepare(std::string_view line)
    {
        m_line = line;
        m_bUpperReady = false;
        m_bRegexReady = false;
    }
    // The set that the regular-expression keys read, or null; it must
    // outlive the line's use.
    void AttachRegexSet(const CRegexKeySet* pSet)
    {
        m_pRegexSet = pSet;
        m_bRegexReady = false;
    }
    const CRegexKeySet* GetRegexSet() const { return m_pRegexSet; }
    // Whether the set's entry matches this line (the set evaluated on the
    // first call for the line).
    bool IsRegexMatched(int nIndex) const;
    std::string_view GetLine() const { return m_line; }
    // The line upper-cased, made on the first call for this line.
    std::string_view GetUpper() const
    {
        if (!m_bUpperReady) {
            textfold::ToUpper(m_line, m_upper);
            m_bUpperReady = true;
        }
        return m_upper;
    }

private:
    std::string_view m_line;
    mutable std::string m_upper;
    mutable bool m_bUpperReady = false;
    const CRegexKeySet* m_pRegexSet = nullptr;
    mutable std::vector<int> m_regexHits; // ascending
    mutable bool m_bRegexReady = false;
};
