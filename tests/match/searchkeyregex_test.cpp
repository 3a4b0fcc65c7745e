#include <random>

#include "match/regexset.h"
#include "match/searchkeyregex.h"
#include "match/textfold.h"
#include "testing.h"

namespace {

TEST(SearchKeyRegex, MatchesCapturesAndRefusesBadPatterns)
{
    // Pattern, letter case, line, whether it matches.
    const std::tuple<const char*, bool, const char*, bool> cases[] = {
        {R"(Failed password for .* from (?P<ip>\S+))", false, "FAILED PASSWORD FOR x FROM 1.2.3.4",
         true},
        {R"(Failed password for .* from (?P<ip>\S+))", true, "FAILED PASSWORD FOR x FROM 1.2.3.4",
         false},
        {"^disk", false, "a disk", false},
        {"full$", false, "disk full", true},
        {"ärger", false, "ÄRGER im Netz", true},
        {"(disk", false, "(disk", false},
        {"", false, "anything", false},
    };
    for (const auto& [pattern, bCase, line, match] : cases)
        EXPECT_EQ(CSearchKeyRegex(pattern, bCase).Match(line), match ? TRUE : FALSE)
            << pattern << " / " << line;

    const CSearchKeyRegex ssh(R"(for (\S+) from (?P<ip>\S+))", false);
    CRegexCaptures captures;
    ASSERT_TRUE(ssh.GetCaptures("Failed password for root from 10.1.2.3 port 22", captures));
    EXPECT_EQ(captures, (CRegexCaptures{{"%MATCH_0%", "for root from 10.1.2.3"},
                                        {"%MATCH_1%", "root"},
                                        {"%MATCH_2%", "10.1.2.3"},
                                        {"%MATCH:ip%", "10.1.2.3"}}));
    EXPECT_FALSE(ssh.GetCaptures("nothing here", captures));
    EXPECT_TRUE(captures.empty());

    // RE2's message and where in the pattern it went wrong.
    EXPECT_EQ(CSearchKeyRegex::CheckPattern("ok (a|b)", false), "");
    EXPECT_EQ(CSearchKeyRegex::CheckPattern("disk (full", false), "missing ): at position 6");
    EXPECT_EQ(CSearchKeyRegex::CheckPattern("(?<=x)y", false),
              "invalid perl operator: at position 1");
    const CSearchKeyRegex broken("a(b", false);
    EXPECT_TRUE(broken.IsBroken());
    EXPECT_EQ(broken.GetDescription(), "Regex 'a(b' BROKEN: missing ): at position 2");
}

// The set gives each key's own result, and a line that some pattern
// matches always holds one of the required literals.
TEST(SearchKeyRegex, SetAgreesWithEachKeyAndItsLiterals)
{
    const std::vector<std::pair<const char*, bool>> patterns = {
        {R"(error \d+)", false}, {"(disk|volume) full", true}, {"^cron\\[\\d+\\]", false},
        {"timeout$", false},     {R"(error \d+)", false},      {"abcd+", false},
        {"xxy|oops", true},      {"(?i)PANIC|oops", true},     {"fail(ed)? (to|on)", false},
        {"fail.(to|on)", false}};
    std::vector<CSearchKeyRegex> keys;
    keys.reserve(patterns.size());
    for (const auto& [p, bCase] : patterns)
        keys.emplace_back(p, bCase);
    static const char* const WORDS[] = {
        "error", "12",    "disk", "Disk",   "volume", "full", "cron[7]", "cron", "timeout", "abcdd",
        "xxy",   "panic", "OOPS", "failed", "fail",   "to",   "on",      "a",    "c",       "y"};
    std::mt19937 rng(5);
    for (const bool bWithLiteralless : {false, true}) {
        CRegexKeySet set;
        for (const CSearchKeyRegex& key : keys)
            set.AddKey(key);
        CSearchKeyRegex anyWord("a.c", false);
        if (bWithLiteralless)
            set.AddKey(anyWord);
        set.Build();
        EXPECT_EQ(set.GetIndex(&keys[0]), set.GetIndex(&keys[4]));
        std::vector<std::string> literals;
        const bool bLiterals = set.GetRequiredLiterals(literals);
        EXPECT_EQ(bLiterals, !bWithLiteralless);
        // The block search (when the set has one) finds the lines the set
        // matches; some lines end in "\r\n".
        EXPECT_EQ(set.HasBlockSearch(), !bWithLiteralless);
        std::string block;
        std::vector<CLineSpan> expected;
        CPreparedLine prepared;
        prepared.AttachRegexSet(&set);
        for (int i = 0; i < 3000; ++i) {
            std::string line;
            for (int w = static_cast<int>(rng() % 6); w > 0; --w)
                line += std::string(WORDS[rng() % std::size(WORDS)]) + (rng() % 3 ? " " : "");
            if (set.MatchesAny(line))
                expected.push_back({block.size(), line.size()});
            block += line + (i % 4 ? "\n" : "\r\n");
            prepared.Prepare(line);
            bool bAny = false;
            for (const CSearchKeyRegex& key : keys) {
                const bool bAlone = key.Match(CPreparedLine(line));
                EXPECT_EQ(key.Match(prepared), bAlone) << key.GetPattern() << " / " << line;
                bAny |= bAlone;
            }
            if (bAny && bLiterals) {
                std::string upper;
                textfold::ToUpper(line, upper);
                EXPECT_TRUE(std::any_of(
                    literals.begin(), literals.end(),
                    [&](const std::string& l) { return textfold::FindUpper(upper, l); }))
                    << line;
            }
        }
        std::vector<CLineSpan> found;
        set.FindLines(block, found);
        EXPECT_TRUE(found == expected);
    }
}

} // namespace
