#include "platform/registry/regfile.h"

#include <cstdint>
#include <cstdio>

#include "platform/base/win32error.h"

namespace {

constexpr std::string_view HEADER_V4 = "REGEDIT4";
constexpr std::string_view HEADER_V5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view CRLF = "\r\n";
// Export breaks a hex list once a line has reached this many characters.
constexpr std::size_t HEX_LINE_CHARS = 77;

// ---- Text conversion between UTF-16LE and the 8-bit (UTF-8) strings ----

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The length of the well-formed UTF-8 sequence at s[i] and its code point, or
// 0 when the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, std::uint32_t& cp)
{
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t len;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (s.size() - i < len)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void AppendUtf16(std::string& out, std::uint32_t unit)
{
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

std::string Utf8ToUtf16Le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            // A stray byte travels as an unpaired low surrogate.
            AppendUtf16(out, 0xDC00 | static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            AppendUtf16(out, 0xD800 | ((cp - 0x10000) >> 10));
            AppendUtf16(out, 0xDC00 | ((cp - 0x10000) & 0x3FF));
        } else {
            AppendUtf16(out, cp);
        }
        i += len;
    }
    return out;
}

// An odd last byte has no character to belong to and is dropped.
std::string Utf16LeToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.push_back(static_cast<char>(u & 0xFF));
        } else if (u >= 0xD800 && u < 0xE000) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// ---- Small text helpers ----

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Nothing but white space and perhaps a "; comment".
bool IsEndOfValue(std::string_view s)
{
    s = TrimLeft(s);
    return s.empty() || s.front() == ';';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads 1 to maxDigits hex digits at the start of s into value; the number of
// digits read, 0 when there are none or too many.
std::size_t ParseHexNumber(std::string_view s, std::size_t maxDigits, DWORD& value)
{
    std::size_t n = 0;
    value = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (++n > maxDigits)
            return 0;
        value = (value << 4) | static_cast<DWORD>(HexDigit(s[n - 1]));
    }
    return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && RegNamesEqual(s.substr(0, prefix.size()), prefix);
}

// ---- Reading ----

class CRegFileParser {
public:
    CRegFileParser(std::string_view text, std::string_view rootName, CRegKey& root,
                   CRegFileError& error)
        : m_text(text), m_rootName(rootName), m_root(root), m_error(error)
    {
    }

    bool Run()
    {
        std::string_view line;
        do {
            if (!NextLine(line)) {
                m_nLine = 1;
                return Fail("the file is empty");
            }
            line = TrimRight(TrimLeft(line));
        } while (line.empty());
        if (line == HEADER_V5)
            m_bVersion5 = true;
        else if (line != HEADER_V4)
            return Fail("the first line is not a registry file header");

        while (NextLine(line)) {
            line = TrimLeft(line);
            if (line.empty() || line.front() == ';' || line.front() == '#')
                continue;
            bool ok;
            if (line.front() == '[')
                ok = KeyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                ok = ValueLine(line);
            else
                ok = Fail("the line is neither a key, a value nor a comment");
            if (!ok)
                return false;
        }
        return true;
    }

private:
    bool NextLine(std::string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        std::size_t end = m_text.find_first_of("\r\n", m_pos);
        if (end == std::string_view::npos)
            end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < m_text.size())
            m_pos +=
                (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n')
                    ? 2u
                    : 1u;
        ++m_nLine;
        return true;
    }

    bool Fail(std::string text)
    {
        m_error.m_dwError = ERROR_BADDB;
        m_error.m_nLine = m_nLine;
        m_error.m_strText = std::move(text);
        SetLastError(ERROR_BADDB);
        return false;
    }

    bool KeyLine(std::string_view line)
    {
        std::size_t close = line.rfind(']');
        if (close == std::string_view::npos)
            return Fail("the key name has no closing ']'");
        if (!IsEndOfValue(line.substr(close + 1)))
            return Fail("text after the key name");
        std::string_view path = line.substr(1, close - 1);
        bool remove = !path.empty() && path.front() == '-';
        if (remove)
            path.remove_prefix(1);
        std::size_t sep = path.find('\\');
        if (!RegNamesEqual(path.substr(0, sep), m_rootName))
            return Fail("the key is not below " + std::string(m_rootName));
        std::string_view sub =
            sep == std::string_view::npos ? std::string_view{} : path.substr(sep + 1);
        if (remove) {
            if (sub.find_first_not_of('\\') == std::string_view::npos)
                m_root.Clear();
            else
                m_root.DeleteKey(sub);
            m_pKey = nullptr;
            return true;
        }
        m_pKey = m_root.CreateKey(sub);
        return m_pKey ? true : Fail("the key is nested too deep");
    }

    // A quoted string starting at s[0]; rest receives what follows the
    // closing quote.
    static bool Quoted(std::string_view s, std::string& text, std::string_view& rest)
    {
        for (std::size_t i = 1; i < s.size(); ++i) {
            char c = s[i];
            if (c == '"') {
                rest = s.substr(i + 1);
                return true;
            }
            if (c == '\\' && i + 1 < s.size()) {
                char next = s[++i];
                switch (next) {
                case '\\':
                case '"':
                    text.push_back(next);
                    break;
                case 'n':
                    text.push_back('\n');
                    break;
                case 'r':
                    text.push_back('\r');
                    break;
                default:
                    text.push_back('\\');
                    text.push_back(next);
                    break;
                }
                continue;
            }
            text.push_back(c);
        }
        return false;
    }

    bool ValueLine(std::string_view line)
    {
        std::string name;
        std::string_view rest;
        if (line.front() == '@')
            rest = line.substr(1);
        else if (!Quoted(line, name, rest))
            return Fail("the value name has no closing quote");
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Fail("'=' is missing after the value name");
        rest = TrimLeft(rest.substr(1));
        if (!m_pKey)
            return Fail("a value outside of a key");

        if (!rest.empty() && rest.front() == '-') {
            if (!IsEndOfValue(rest.substr(1)))
                return Fail("text after the value");
            m_pKey->DeleteValue(name);
            return true;
        }
        if (!rest.empty() && rest.front() == '"') {
            std::string text;
            if (!Quoted(rest, text, rest))
                return Fail("the string has no closing quote");
            if (!IsEndOfValue(rest))
                return Fail("text after the value");
            m_pKey->SetValue(name, REG_SZ, RegStringData(text));
            return true;
        }
        if (StartsWithNoCase(rest, "dword:")) {
            rest.remove_prefix(6);
            DWORD value = 0;
            std::size_t digits = ParseHexNumber(rest, 8, value);
            if (digits == 0)
                return Fail("a dword needs one to eight hex digits");
            if (!IsEndOfValue(rest.substr(digits)))
                return Fail("text after the value");
            m_pKey->SetValue(name, REG_DWORD, RegDwordData(value));
            return true;
        }
        if (StartsWithNoCase(rest, "hex")) {
            rest.remove_prefix(3);
            DWORD type = REG_BINARY;
            if (!rest.empty() && rest.front() == '(') {
                std::size_t digits = ParseHexNumber(rest.substr(1), 8, type);
                if (digits == 0 || rest.size() < digits + 2 || rest[digits + 1] != ')')
                    return Fail("the value type needs one to eight hex digits in parentheses");
                rest.remove_prefix(digits + 2);
            }
            if (rest.empty() || rest.front() != ':')
                return Fail("':' is missing after hex");
            std::string data;
            if (!HexList(rest.substr(1), data))
                return false;
            if (m_bVersion5 && IsStringType(type))
                data = Utf16LeToUtf8(data);
            m_pKey->SetValue(name, type, std::move(data));
            return true;
        }
        return Fail("the value data has no known form");
    }

    // Comma-separated bytes of one line: items of one or two hex digits.
    bool HexItems(std::string_view s, std::string& data)
    {
        for (;;) {
            std::size_t comma = s.find(',');
            std::string_view item = TrimRight(TrimLeft(s.substr(0, comma)));
            int hi = item.empty() ? -1 : HexDigit(item[0]);
            int lo = item.size() == 2 ? HexDigit(item[1]) : 0;
            if (hi < 0 || lo < 0 || item.size() > 2)
                return Fail("a hex byte needs one or two hex digits");
            data.push_back(static_cast<char>(item.size() == 2 ? hi * 16 + lo : hi));
            if (comma == std::string_view::npos)
                return true;
            s.remove_prefix(comma + 1);
        }
    }

    // A hex list that begins after "hex:" and goes on over the next lines
    // while a line ends in ",\".
    bool HexList(std::string_view s, std::string& data)
    {
        for (bool first = true;; first = false) {
            s = TrimRight(s);
            if (!s.empty() && s.back() == '\\') {
                s = TrimRight(s.substr(0, s.size() - 1));
                if (s.empty() || s.back() != ',')
                    return Fail("a continued hex list must end in \",\\\"");
                if (!HexItems(s.substr(0, s.size() - 1), data))
                    return false;
                if (!NextLine(s))
                    return Fail("the hex list goes on past the end of the file");
                s = TrimLeft(s);
                continue;
            }
            s = TrimRight(s.substr(0, s.find(';')));
            if (s.empty() && first)
                return true;
            return HexItems(s, data);
        }
    }

    std::string_view m_text;
    std::string_view m_rootName;
    CRegKey& m_root;
    CRegFileError& m_error;
    std::size_t m_pos = 0;
    int m_nLine = 0;
    bool m_bVersion5 = false;
    CRegKey* m_pKey = nullptr; // the key the value lines go to; null after a deletion
};

// ---- Writing ----

std::string Escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// Characters, not bytes, count towards the line length.
std::size_t DisplayLength(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool IsOneString(const std::string& data)
{
    return !data.empty() && data.find('\0') == data.size() - 1;
}

void FormatValue(std::string& out, const CRegValue& value)
{
    std::string name = "@=";
    if (!value.m_strName.empty()) {
        name = Escaped(value.m_strName);
        name.insert(name.begin(), '"');
        name += "\"=";
    }
    out += name;
    const std::string& data = value.m_data;
    char buffer[32];
    if (value.m_dwType == REG_SZ && IsOneString(data)) {
        out += '"';
        out += Escaped(std::string_view(data).substr(0, data.size() - 1));
        out += '"';
    } else if (value.m_dwType == REG_DWORD && data.size() == 4) {
        std::snprintf(buffer, sizeof buffer, "dword:%08x", *value.GetDword());
        out += buffer;
    } else {
        if (value.m_dwType == REG_BINARY)
            std::snprintf(buffer, sizeof buffer, "hex:");
        else
            std::snprintf(buffer, sizeof buffer, "hex(%x):", value.m_dwType);
        out += buffer;
        std::size_t lineLength = DisplayLength(name) + DisplayLength(buffer);
        std::string bytes = IsStringType(value.m_dwType) ? Utf8ToUtf16Le(data) : data;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
            out += buffer;
            if (i + 1 == bytes.size())
                break;
            out += ',';
            lineLength += 3;
            if (lineLength >= HEX_LINE_CHARS) {
                out += "\\\r\n  ";
                lineLength = 2;
            }
        }
    }
    out += CRLF;
}

void FormatKey(std::string& out, const CRegKey& key, const std::string& path, bool isRoot)
{
    if (!key.GetValues().empty() || (!isRoot && key.GetSubKeyCount() == 0)) {
        out += '[';
        out += path;
        out += ']';
        out += CRLF;
        for (const CRegValue& value : key.GetValues())
            FormatValue(out, value);
        out += CRLF;
    }
    for (std::size_t i = 0; i < key.GetSubKeyCount(); ++i)
        FormatKey(out, key.GetSubKey(i), path + "\\" + key.GetSubKey(i).GetName(), false);
}

} // namespace

std::string CRegFileError::Describe() const
{
    return m_nLine > 0 ? "line " + std::to_string(m_nLine) + ": " + m_strText : m_strText;
}

bool ParseRegFile(std::string_view bytes, std::string_view rootName, CRegKey& root,
                  CRegFileError& error)
{
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        decoded = Utf16LeToUtf8(bytes.substr(2));
        text = decoded;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    CRegKey tree(root.GetName());
    if (!CRegFileParser(text, rootName, tree, error).Run())
        return false;
    root = std::move(tree);
    return true;
}

std::string FormatRegFile(const CRegKey& root, std::string_view rootName)
{
    std::string out(HEADER_V5);
    out += CRLF;
    out += CRLF;
    FormatKey(out, root, std::string(rootName), true);
    return out;
}
