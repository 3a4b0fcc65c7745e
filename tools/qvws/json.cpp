#include "tools/qvws/json.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace {

std::string PlaceText(CJsonPos pos, const std::string& message)
{
    if (pos.m_nLine <= 0)
        return message;
    return std::to_string(pos.m_nLine) + ":" + std::to_string(pos.m_nColumn) + ": " + message;
}

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at s[i] (no overlong forms,
// no surrogates, nothing above U+10FFFF), or 0 when none starts there.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = at(i);
    if (b0 < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size() || at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (!IsContinuation(at(i + k)))
            return 0;
    }
    return n;
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

const char g_hexDigits[] = "0123456789abcdef";

void AppendEscape(std::string& out, unsigned prefix, unsigned char byte)
{
    out += "\\u";
    out += g_hexDigits[(prefix >> 4) & 0xF];
    out += g_hexDigits[prefix & 0xF];
    out += g_hexDigits[byte >> 4];
    out += g_hexDigits[byte & 0xF];
}

class CParser {
public:
    CParser(std::string_view text, const CJsonLimits& limits) : m_text(text), m_limits(limits)
    {
        if (m_text.starts_with("\xEF\xBB\xBF"))
            m_nPos = 3;
    }

    CJsonValue ParseDocument()
    {
        CJsonValue value = ParseValue(0);
        SkipSpace();
        if (!AtEnd())
            Fail("unexpected " + Describe() + " after the JSON value");
        return value;
    }

private:
    bool AtEnd() const { return m_nPos >= m_text.size(); }
    unsigned char Peek() const { return static_cast<unsigned char>(m_text[m_nPos]); }
    CJsonPos Pos() const { return {m_nLine, m_nColumn}; }

    void Advance()
    {
        const unsigned char c = Peek();
        ++m_nPos;
        if (c == '\n') {
            ++m_nLine;
            m_nColumn = 1;
        } else if (!IsContinuation(c)) {
            ++m_nColumn;
        }
    }

    [[noreturn]] void Fail(const std::string& message) const { throw CJsonError(Pos(), message); }

    // The next character as a message names it.
    std::string Describe() const
    {
        if (AtEnd())
            return "end of the text";
        const unsigned char c = Peek();
        if (c >= 0x21 && c < 0x7F)
            return std::string("character '") + static_cast<char>(c) + "'";
        std::string text = "byte 0x";
        text += g_hexDigits[c >> 4];
        text += g_hexDigits[c & 0xF];
        return text;
    }

    void SkipSpace()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            Advance();
    }

    void Expect(char c, const char* what)
    {
        SkipSpace();
        if (AtEnd() || Peek() != static_cast<unsigned char>(c))
            Fail(std::string("expected ") + what + ", found " + Describe());
        Advance();
    }

    CJsonValue ParseValue(unsigned depth)
    {
        SkipSpace();
        if (AtEnd())
            Fail("unexpected end of the text, expected a value");
        CJsonValue value;
        const CJsonPos pos = Pos();
        const unsigned char c = Peek();
        if (c == '{' || c == '[') {
            if (depth >= m_limits.m_nMaxDepth)
                Fail("nesting deeper than " + std::to_string(m_limits.m_nMaxDepth) + " levels");
            value = c == '{' ? ParseObject(depth + 1) : ParseArray(depth + 1);
        } else if (c == '"') {
            value = CJsonValue::MakeString(ParseString());
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value = ParseNumber();
        } else if (c == 't' || c == 'f' || c == 'n') {
            value = ParseWord();
        } else {
            Fail("unexpected " + Describe() + ", expected a value");
        }
        value.m_pos = pos;
        return value;
    }

    CJsonValue ParseObject(unsigned depth)
    {
        CJsonValue object = CJsonValue::MakeObject();
        std::unordered_set<std::string> names;
        Advance();
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            Advance();
            return object;
        }
        for (;;) {
            SkipSpace();
            if (AtEnd() || Peek() != '"')
                Fail("expected a member name in quotes, found " + Describe());
            const CJsonPos namePos = Pos();
            std::string name = ParseString();
            if (!names.insert(name).second)
                throw CJsonError(namePos, "duplicate member " + QuoteJsonString(name));
            Expect(':', "':' after the member name");
            object.Add(std::move(name), ParseValue(depth));
            object.m_members.back().m_pos = namePos;
            SkipSpace();
            if (!AtEnd() && Peek() == ',') {
                Advance();
                continue;
            }
            Expect('}', "',' or '}' in an object");
            return object;
        }
    }

    CJsonValue ParseArray(unsigned depth)
    {
        CJsonValue array = CJsonValue::MakeArray();
        Advance();
        SkipSpace();
        if (!AtEnd() && Peek() == ']') {
            Advance();
            return array;
        }
        for (;;) {
            array.Push(ParseValue(depth));
            SkipSpace();
            if (!AtEnd() && Peek() == ',') {
                Advance();
                continue;
            }
            Expect(']', "',' or ']' in an array");
            return array;
        }
    }

    std::uint32_t ParseHex4()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (AtEnd())
                Fail("unexpected end of the text in a \\u escape");
            const unsigned char c = Peek();
            std::uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                Fail("expected a hexadecimal digit in a \\u escape, found " + Describe());
            value = value * 16 + digit;
            Advance();
        }
        return value;
    }

    // At the backslash of a \u escape that followed a high surrogate.
    bool AtUnicodeEscape() const
    {
        return m_nPos + 1 < m_text.size() && m_text[m_nPos] == '\\' && m_text[m_nPos + 1] == 'u';
    }

    void ParseUnicodeEscape(std::string& out)
    {
        const CJsonPos pos = Pos();
        Advance(); // 'u'
        std::uint32_t cp = ParseHex4();
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!AtUnicodeEscape())
                throw CJsonError(pos, "high surrogate escape without a low surrogate after it");
            Advance();
            Advance();
            const std::uint32_t low = ParseHex4();
            if (low < 0xDC00 || low > 0xDFFF)
                throw CJsonError(pos, "high surrogate escape without a low surrogate after it");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out += static_cast<char>(cp & 0xFF); // a byte that is not UTF-8 text
            return;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            throw CJsonError(pos, "low surrogate escape without a high surrogate before it");
        }
        AppendUtf8(out, cp);
    }

    // At the opening quote; returns the bytes.
    std::string ParseString()
    {
        std::string out;
        Advance();
        for (;;) {
            if (AtEnd())
                Fail("unterminated string");
            const unsigned char c = Peek();
            if (c == '"') {
                Advance();
                return out;
            }
            if (c < 0x20)
                Fail("control character in a string (write it as an escape)");
            if (c == '\\') {
                Advance();
                if (AtEnd())
                    Fail("unterminated string");
                const char e = static_cast<char>(Peek());
                static constexpr std::string_view from = "\"\\/bfnrt";
                static constexpr std::string_view to = "\"\\/\b\f\n\r\t";
                if (e == 'u') {
                    ParseUnicodeEscape(out);
                    continue;
                }
                const std::size_t k = from.find(e);
                if (k == std::string_view::npos)
                    Fail("unknown escape \\" + std::string(1, e));
                out += to[k];
                Advance();
                continue;
            }
            const std::size_t n = Utf8SequenceLength(m_text, m_nPos);
            if (n == 0)
                Fail("invalid UTF-8 in a string");
            out.append(m_text.substr(m_nPos, n));
            for (std::size_t i = 0; i < n; ++i)
                Advance();
        }
    }

    void Digits(const char* where)
    {
        if (AtEnd() || Peek() < '0' || Peek() > '9')
            Fail(std::string("expected a digit ") + where + ", found " + Describe());
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9')
            Advance();
    }

    CJsonValue ParseNumber()
    {
        const std::size_t start = m_nPos;
        if (Peek() == '-')
            Advance();
        if (!AtEnd() && Peek() == '0') {
            Advance();
            if (!AtEnd() && Peek() >= '0' && Peek() <= '9')
                Fail("leading zero in a number");
        } else {
            Digits("in a number");
        }
        if (!AtEnd() && Peek() == '.') {
            Advance();
            Digits("after the decimal point");
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            Advance();
            if (!AtEnd() && (Peek() == '+' || Peek() == '-'))
                Advance();
            Digits("in the exponent");
        }
        CJsonValue value = CJsonValue::MakeNumber(0);
        value.m_strValue.assign(m_text.substr(start, m_nPos - start));
        return value;
    }

    CJsonValue ParseWord()
    {
        for (std::string_view word : {"true", "false", "null"}) {
            if (m_text.substr(m_nPos, word.size()) == word) {
                for (std::size_t i = 0; i < word.size(); ++i)
                    Advance();
                return word == "null" ? CJsonValue() : CJsonValue::MakeBool(word == "true");
            }
        }
        Fail("unexpected " + Describe() + ", expected a value");
    }

    std::string_view m_text;
    const CJsonLimits& m_limits;
    std::size_t m_nPos = 0;
    int m_nLine = 1;
    int m_nColumn = 1;
};

bool IsScalar(const CJsonValue& value)
{
    return !value.IsArray() && !value.IsObject();
}

void WriteValue(std::string& out, const CJsonValue& value, std::size_t indent)
{
    switch (value.GetType()) {
    case CJsonValue::Type::Null:
        out += "null";
        return;
    case CJsonValue::Type::Bool:
        out += value.m_bValue ? "true" : "false";
        return;
    case CJsonValue::Type::Number:
        out += value.m_strValue;
        return;
    case CJsonValue::Type::String:
        out += QuoteJsonString(value.m_strValue);
        return;
    case CJsonValue::Type::Array:
        if (value.m_items.empty()) {
            out += "[]";
        } else if (std::all_of(value.m_items.begin(), value.m_items.end(), IsScalar)) {
            out += '[';
            for (std::size_t i = 0; i < value.m_items.size(); ++i) {
                if (i > 0)
                    out += ", ";
                WriteValue(out, value.m_items[i], indent);
            }
            out += ']';
        } else {
            out += "[\n";
            for (std::size_t i = 0; i < value.m_items.size(); ++i) {
                out.append(indent + 2, ' ');
                WriteValue(out, value.m_items[i], indent + 2);
                out += i + 1 < value.m_items.size() ? ",\n" : "\n";
            }
            out.append(indent, ' ');
            out += ']';
        }
        return;
    case CJsonValue::Type::Object:
        if (value.m_members.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        for (std::size_t i = 0; i < value.m_members.size(); ++i) {
            out.append(indent + 2, ' ');
            out += QuoteJsonString(value.m_members[i].m_strName);
            out += ": ";
            WriteValue(out, value.m_members[i].m_value, indent + 2);
            out += i + 1 < value.m_members.size() ? ",\n" : "\n";
        }
        out.append(indent, ' ');
        out += '}';
        return;
    }
}

} // namespace

CJsonError::CJsonError(CJsonPos pos, const std::string& message)
    : std::runtime_error(PlaceText(pos, message)), m_pos(pos), m_strMessage(message)
{
}

CJsonValue CJsonValue::MakeBool(bool b)
{
    CJsonValue value;
    value.m_type = Type::Bool;
    value.m_bValue = b;
    return value;
}

CJsonValue CJsonValue::MakeNumber(std::int64_t n)
{
    CJsonValue value;
    value.m_type = Type::Number;
    value.m_strValue = std::to_string(n);
    return value;
}

CJsonValue CJsonValue::MakeString(std::string_view bytes)
{
    CJsonValue value;
    value.m_type = Type::String;
    value.m_strValue = bytes;
    return value;
}

CJsonValue CJsonValue::MakeArray()
{
    CJsonValue value;
    value.m_type = Type::Array;
    return value;
}

CJsonValue CJsonValue::MakeObject()
{
    CJsonValue value;
    value.m_type = Type::Object;
    return value;
}

const char* CJsonValue::TypeName(Type type)
{
    switch (type) {
    case Type::Null:
        return "null";
    case Type::Bool:
        return "true or false";
    case Type::Number:
        return "a number";
    case Type::String:
        return "a string";
    case Type::Array:
        return "an array";
    case Type::Object:
        return "an object";
    }
    return "";
}

std::optional<std::int64_t> CJsonValue::AsInteger(std::int64_t nMin, std::int64_t nMax) const
{
    if (m_type != Type::Number || m_strValue.find_first_of(".eE") != std::string::npos)
        return std::nullopt;
    std::int64_t n = 0;
    const char* first = m_strValue.data();
    const char* last = first + m_strValue.size();
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end != last || n < nMin || n > nMax)
        return std::nullopt;
    return n;
}

CJsonValue& CJsonValue::Push(CJsonValue value)
{
    m_items.push_back(std::move(value));
    return m_items.back();
}

CJsonValue& CJsonValue::Add(std::string name, CJsonValue value)
{
    m_members.push_back(CJsonMember{std::move(name), {}, std::move(value)});
    return m_members.back().m_value;
}

CJsonValue ParseJson(std::string_view text, const CJsonLimits& limits)
{
    if (text.size() > limits.m_nMaxBytes)
        throw CJsonError({}, "the text is longer than " + std::to_string(limits.m_nMaxBytes) +
                                 " bytes");
    return CParser(text, limits).ParseDocument();
}

std::string WriteJson(const CJsonValue& value)
{
    std::string out;
    WriteValue(out, value, 0);
    out += '\n';
    return out;
}

std::string QuoteJsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        static constexpr std::string_view special = "\"\\\b\f\n\r\t";
        static constexpr std::string_view letters = "\"\\bfnrt";
        if (const std::size_t k = special.find(static_cast<char>(c)); k != std::string_view::npos) {
            out += '\\';
            out += letters[k];
            ++i;
        } else if (c < 0x20) {
            AppendEscape(out, 0x00, c);
            ++i;
        } else if (const std::size_t n = Utf8SequenceLength(bytes, i); n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            AppendEscape(out, 0xDC, c);
            ++i;
        }
    }
    out += '"';
    return out;
}
