#include <gmock/gmock.h>

#include "testing.h"
#include "tools/qvws/json.h"

namespace {

using namespace std::string_literals;
using testing::ThrowsMessage;

std::string ParseString(const std::string& json)
{
    CJsonValue value = ParseJson(json);
    EXPECT_EQ(value.GetType(), CJsonValue::Type::String) << json;
    return value.m_strValue;
}

TEST(Json, AnyBytesWriteAndReadBackTheSame)
{
    struct Case {
        std::string bytes;
        std::string json; // empty: not checked, only the round trip
    };
    const Case cases[] = {
        {"", "\"\""},
        {"q\"b\\s/", R"("q\"b\\s/")"},
        {"\b\f\n\r\t\x01\x1f\x7f"s, R"("\b\f\n\r\t\u0001\u001f)"
                                    "\x7f\""},
        {"nul\0byte"s, R"("nul\u0000byte")"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        // Bytes that are not UTF-8 text: 8-bit code page, cut sequences,
        // overlong forms, encoded surrogates, beyond U+10FFFF.
        {"caf\xE9", R"("caf\udce9")"},
        {"\xC0\xAF", R"("\udcc0\udcaf")"},
        {"\xED\xA0\x80", R"("\udced\udca0\udc80")"},
        {"\xFF\xC3\xA9\x80", "\"\\udcff\xC3\xA9\\udc80\""},
    };
    for (const Case& c : cases) {
        const std::string json = QuoteJsonString(c.bytes);
        if (!c.json.empty()) {
            EXPECT_EQ(json, c.json);
        }
        EXPECT_EQ(ParseString(json), c.bytes) << json;
        EXPECT_EQ(QuoteJsonString(ParseString(json)), json);
    }
    // Every single byte and every pair of bytes.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(ParseString(QuoteJsonString(bytes)), bytes) << a << " " << b;
        }
    }
}

TEST(Json, EscapesReadAsUtf8)
{
    EXPECT_EQ(ParseString(R"("\u00e9\u20AC")"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ParseString(R"("\ud83d\ude00")"), "\xF0\x9F\x98\x80");
    // A low surrogate after a high one is a character, not a raw byte.
    EXPECT_EQ(ParseString(R"("\ud800\udc80")"), "\xF0\x90\x82\x80");
    EXPECT_EQ(ParseString("\xEF\xBB\xBF\"bom\""), "bom");
}

TEST(Json, FaultsNameTheirPlace)
{
    struct Case {
        std::string text;
        std::string what;
    };
    const Case cases[] = {
        {"", "1:1: unexpected end of the text, expected a value"},
        {"{\"a\":1,}", "1:8: expected a member name in quotes, found character '}'"},
        {"[1,]", "1:4: unexpected character ']', expected a value"},
        {"{\"a\":1 \"b\":2}", "1:8: expected ',' or '}' in an object, found character '\"'"},
        {"\"abc", "1:5: unterminated string"},
        {"\"a\tb\"", "1:3: control character in a string (write it as an escape)"},
        {"\"\\ud800\"", "1:3: high surrogate escape without a low surrogate after it"},
        {"\"caf\xE9\"", "1:5: invalid UTF-8 in a string"},
        {"[1] x", "1:5: unexpected character 'x' after the JSON value"},
        {"\n  [1,\n   2,,\n]", "3:6: unexpected character ',', expected a value"},
        // Columns count characters, not bytes.
        {"[\"\xC3\xA9\xE2\x82\xAC\" x]",
         "1:7: expected ',' or ']' in an array, found character 'x'"},
    };
    for (const Case& c : cases)
        EXPECT_THAT([&] { ParseJson(c.text); }, ThrowsMessage<CJsonError>(c.what)) << c.text;
}

TEST(Json, DepthAndSizeAreLimited)
{
    const CJsonLimits limits{1000, 4};
    EXPECT_NO_THROW(ParseJson("[[[{\"a\":1}]]]", limits));
    EXPECT_THROW(ParseJson("[[[{\"a\":[]}]]]", limits), CJsonError);
    EXPECT_THROW(ParseJson(std::string(1001, ' ') + "1", limits), CJsonError);
    // The default depth holds far deeper nesting than a workspace needs, and
    // a deeper text fails instead of exhausting the stack.
    EXPECT_NO_THROW(ParseJson(std::string(64, '[') + std::string(64, ']')));
    EXPECT_THROW(ParseJson(std::string(100000, '[')), CJsonError);
}

TEST(Json, WritesOneFixedLayout)
{
    const std::string text = R"({"b": [1, -2.5e3, "x", true, null], "a": {}, "c": [],
        "d": [{"e": [[]]}, 7]})";
    const std::string expected = "{\n"
                                 "  \"b\": [1, -2.5e3, \"x\", true, null],\n"
                                 "  \"a\": {},\n"
                                 "  \"c\": [],\n"
                                 "  \"d\": [\n"
                                 "    {\n"
                                 "      \"e\": [\n"
                                 "        []\n"
                                 "      ]\n"
                                 "    },\n"
                                 "    7\n"
                                 "  ]\n"
                                 "}\n";
    EXPECT_EQ(WriteJson(ParseJson(text)), expected);
    EXPECT_EQ(WriteJson(ParseJson(expected)), expected);
}

} // namespace
