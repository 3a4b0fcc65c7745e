#include <random>

#include "match/keysetfinder.h"
#include "match/matchclasses.h"
#include "match/searchkeytext.h"
#include "testing.h"

namespace {

CSearchKeyText MakeKey(TextKeyMode mode, bool bCase, std::string k1, std::string k2 = {})
{
    CSearchKeyText key;
    key.m_nMode = mode;
    key.m_bCaseSensitive = bCase;
    key.m_strKey1 = std::move(k1);
    key.m_strKey2 = std::move(k2);
    return key;
}

// The definition, literally: copies, upper-cased when not case sensitive.
bool NaiveMatch(const CSearchKeyText& key, const std::string& line)
{
    std::string l = line, k1 = key.m_strKey1, k2 = key.m_strKey2;
    if (!key.m_bCaseSensitive) {
        for (std::string* s : {&l, &k1, &k2})
            for (char& c : *s)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    bool f1 = !k1.empty() && l.find(k1) != std::string::npos;
    bool f2 = !k2.empty() && l.find(k2) != std::string::npos;
    switch (key.m_nMode) {
    case TextKeyMode::ONLY:
        return f1;
    case TextKeyMode::AND:
        return f1 && f2;
    case TextKeyMode::OR:
        return f1 || f2;
    case TextKeyMode::AND_NOT:
        return f1 && !f2;
    }
    return false;
}

class MatchTest : public testing::Test {
protected:
    void SetUp() override { RegisterMatchClasses(); }
};

} // namespace

TEST_F(MatchTest, ModesCaseAndEmptyKeys)
{
    using M = TextKeyMode;
    // Mode, letter case, the two keys, the line, whether it matches.
    const std::tuple<M, bool, const char*, const char*, const char*, bool> cases[] = {
        {M::ONLY, false, "", "", "anything", false},
        {M::OR, false, "", "disk", "disk full", true},
        {M::AND_NOT, false, "disk", "", "disk", true},
        {M::ONLY, false, "error", "", "AN ERROR OCCURRED", true},
        {M::ONLY, true, "error", "", "AN ERROR OCCURRED", false},
        {M::AND_NOT, false, "fail", "retry", "job fail", true},
        {M::AND, false, "disk", "FULL", "Disk is full", true},
        {M::ONLY, false, "disk  full", "", "disk full", false}, // no trimming or wildcards
        {M::ONLY, false, "caf\xE9", "", "CAF\xC9", false},      // bytes 128-255 keep their case
    };
    for (const auto& [mode, bCase, k1, k2, line, expected] : cases) {
        CSearchKeyText key = MakeKey(mode, bCase, k1, k2);
        EXPECT_EQ(std::pair(key.Match(line) != 0, NaiveMatch(key, line)),
                  std::pair(expected, expected))
            << k1 << "/" << k2 << " in " << line;
    }
}

TEST_F(MatchTest, PreparedLinesGiveTheDefinitionsResults)
{
    std::mt19937 rng(7);
    const std::string alphabet = "aAbBc\xE9\xC9 ";
    auto text = [&](std::size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    CPreparedLine prepared;
    for (int i = 0; i < 20000; ++i) {
        CSearchKeyText key =
            MakeKey(static_cast<TextKeyMode>(rng() % 5), rng() % 2, text(3), text(3));
        std::string line = text(12);
        prepared.Prepare(line);
        ASSERT_EQ(key.Match(prepared) != 0, NaiveMatch(key, line))
            << key.GetDescription() << " in '" << line << "' case " << key.m_bCaseSensitive;
    }
}

TEST_F(MatchTest, Descriptions)
{
    using M = TextKeyMode;
    EXPECT_EQ(MakeKey(M::ONLY, false, "a b", "x").GetDescription(), "'a b' Only");
    EXPECT_EQ(MakeKey(M::AND, false, "a", "b").GetDescription(), "'a' AND 'b'");
    EXPECT_EQ(MakeKey(M::OR, false, "disk", "full").GetDescription(), "'disk' OR 'full'");
    EXPECT_EQ(MakeKey(M::AND_NOT, false, "fail", "").GetDescription(), "'fail' AND NOT ''");
}

TEST_F(MatchTest, CopiesCloneAssignReset)
{
    CSearchKeyText key = MakeKey(TextKeyMode::OR, true, "a", "b");
    key.m_nHits = 3;
    std::unique_ptr<CSearchKey> clone = key.Clone();
    auto* pText = dynamic_cast<CSearchKeyText*>(clone.get());
    ASSERT_NE(pText, nullptr);
    // The description, the second key, the letter case, the hits.
    auto state = [](const CSearchKeyText& k) {
        return std::tuple(k.GetDescription(), k.m_strKey2, k.m_bCaseSensitive, k.m_nHits.load());
    };
    EXPECT_EQ(state(*pText), std::tuple("'a' OR 'b'", "b", true, 3));

    CSearchKeyText other;
    other.Assign(key);
    EXPECT_EQ(state(other), state(key));

    other.Reset();
    EXPECT_EQ(state(other), std::tuple("'' Only", "", false, 0));
}

namespace {

// Lines as the text scan cuts them, and the definition of "contains".
std::vector<CLineSpan> NaiveLines(const std::string& block, bool bDropCR)
{
    std::vector<CLineSpan> lines;
    std::size_t start = 0;
    while (start < block.size()) {
        std::size_t nl = block.find('\n', start);
        std::size_t end = nl == std::string::npos ? block.size() : nl;
        std::size_t contentEnd =
            (bDropCR && nl != std::string::npos && end > start && block[end - 1] == '\r') ? end - 1
                                                                                          : end;
        lines.push_back({start, contentEnd - start});
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

bool NaiveContains(std::string_view line, const std::vector<std::pair<std::string, bool>>& patterns)
{
    for (const auto& [p, bCase] : patterns) {
        CSearchKeyText key = MakeKey(TextKeyMode::ONLY, bCase, p);
        if (p.find('\n') == std::string::npos && NaiveMatch(key, std::string(line)))
            return true;
    }
    return false;
}

} // namespace

TEST_F(MatchTest, FinderAgreesWithTheNaiveDefinition)
{
    std::mt19937 rng(11);
    // Few letters with many line ends and carriage returns (many occurrences,
    // many at line ends), and longer text where planted patterns are rare.
    const std::string alphabets[] = {"aAb\r\n", "aAbBcz\r\n \xE1", "abcdefghijklmnop \r\n"};
    for (int round = 0; round < 6000; ++round) {
        const std::string& alphabet = alphabets[round % 3];
        const bool bSparse = round % 3 == 2;
        auto text = [&](std::size_t minLen, std::size_t maxLen) {
            std::string s(minLen + rng() % (maxLen - minLen + 1), ' ');
            for (char& c : s)
                c = alphabet[rng() % alphabet.size()];
            return s;
        };
        CKeySetFinder finder;
        std::vector<std::pair<std::string, bool>> patterns;
        std::size_t nPatterns = rng() % 6;
        // Half the sparse rounds have patterns long enough for the window filter.
        const std::size_t nMinLen = bSparse ? (round % 2 ? 5 : 3) : 1;
        std::size_t nMaxLen = bSparse ? 9 : 1 + rng() % 6;
        for (std::size_t i = 0; i < nPatterns; ++i) {
            patterns.emplace_back(text(nMinLen, nMaxLen), rng() % 2);
            finder.AddPattern(patterns.back().first, patterns.back().second);
        }
        std::string block = text(0, bSparse ? 1500 : 300);
        for (std::size_t i = 0; bSparse && !patterns.empty() && i < 4; ++i) {
            std::string planted = patterns[rng() % patterns.size()].first;
            if (rng() % 2)
                planted[0] = textfold::ToUpper(planted[0]);
            block.insert(rng() % (block.size() + 1), planted);
        }
        for (bool bDropCR : {true, false}) {
            std::vector<CLineSpan> expected;
            for (const CLineSpan& line : NaiveLines(block, bDropCR)) {
                if (NaiveContains(std::string_view(block).substr(line.nOffset, line.nLength),
                                  patterns))
                    expected.push_back(line);
            }
            // Each filter the processor has, and the plain search.
            for (auto filter : {CKeySetFinder::Filter::WINDOWS, CKeySetFinder::Filter::NIBBLES,
                                CKeySetFinder::Filter::NONE}) {
                finder.UseFilter(filter);
                std::vector<CLineSpan> found;
                finder.FindLines(block, found, bDropCR);
                ASSERT_EQ(found, expected) << "round " << round << " filter " << int(filter);
            }
        }
        std::string line = text(0, 30);
        line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
        ASSERT_EQ(finder.Contains(line), NaiveContains(line, patterns)) << "round " << round;
    }
}
