#include "tasklib/textcodec.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr char HEX[] = "0123456789ABCDEF";

// The length of the UTF-8 sequence starting at text[i], or 0 when none
// starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    if (n == 2 && c < 0xC2)
        return 0; // overlong
    if (n == 3) {
        const auto c1 = static_cast<unsigned char>(text[i + 1]);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0))
            return 0; // overlong or a surrogate
    }
    if (n == 4) {
        const auto c1 = static_cast<unsigned char>(text[i + 1]);
        if ((c == 0xF0 && c1 < 0x90) || c > 0xF4 || (c == 0xF4 && c1 >= 0x90))
            return 0;
    }
    return n;
}

} // namespace

bool IsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = Utf8Length(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string ToUtf8(std::string_view text)
{
    if (IsUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JsonEscape(std::string_view text)
{
    const std::string utf8 = ToUtf8(text);
    std::string out;
    out.reserve(utf8.size() + 16);
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += HEX[c >> 4];
                out += HEX[c & 15];
            } else {
                out += ch;
            }
        }
    }
    return out;
}

std::string JsonString(std::string_view text)
{
    return "\"" + JsonEscape(text) + "\"";
}

std::string HeaderSafe(std::string_view text)
{
    std::string out(text);
    for (char& ch : out) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            ch = ' ';
    }
    return out;
}

std::string EncodeHeaderText(std::string_view text, std::size_t nFirstLineUsed)
{
    const std::string safe = HeaderSafe(text);
    bool bAscii = true;
    for (char ch : safe)
        if (static_cast<unsigned char>(ch) >= 0x80)
            bAscii = false;
    // A word that looks like an encoded word is encoded too, so it reads back
    // as written.
    if (bAscii && safe.find("=?") == std::string::npos) {
        std::string out;
        std::size_t nLine = nFirstLineUsed;
        std::size_t i = 0;
        while (i < safe.size()) {
            std::size_t next = safe.find(' ', i + 1);
            if (next == std::string::npos)
                next = safe.size();
            const std::string_view word(safe.data() + i, next - i);
            if (nLine + word.size() > 78 && i > 0 && word[0] == ' ') {
                out += "\r\n";
                nLine = 0;
            }
            out += word;
            nLine += word.size();
            i = next;
        }
        return out;
    }

    const bool bUtf8 = IsUtf8(safe);
    const std::string prefix = bUtf8 ? "=?UTF-8?B?" : "=?ISO-8859-1?B?";
    // 75 characters per word: the prefix, "?=" and the base64 of at most
    // this many bytes (a multiple of 3 keeps the words independent).
    const std::size_t nMaxBytes = (75 - prefix.size() - 2) / 4 * 3;
    std::string out;
    std::size_t i = 0;
    while (i < safe.size()) {
        std::size_t end = i;
        while (end < safe.size()) {
            std::size_t n = bUtf8 ? Utf8Length(safe, end) : 1;
            if (end - i + n > nMaxBytes)
                break;
            end += n;
        }
        if (!out.empty())
            out += "\r\n ";
        out += prefix + Base64(std::string_view(safe).substr(i, end - i)) + "?=";
        i = end;
    }
    return out;
}

std::string EncodeQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 4);
    std::size_t nLine = 0;
    auto put = [&](std::string_view piece) {
        if (nLine + piece.size() > 75) {
            out += "=\r\n";
            nLine = 0;
        }
        out += piece;
        nLine += piece.size();
    };
    auto endLine = [&] {
        out += "\r\n";
        nLine = 0;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endLine();
            continue;
        }
        const bool bBeforeBreak =
            i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        const bool bEncode = c == '=' || c >= 0x7F || (c < 0x20 && c != '\t') ||
                             ((c == ' ' || c == '\t') && bBeforeBreak) || (c == '.' && nLine == 0);
        if (bEncode) {
            const char enc[3] = {'=', HEX[c >> 4], HEX[c & 15]};
            put(std::string_view(enc, 3));
        } else {
            put(std::string_view(&ch, 1));
        }
    }
    endLine();
    return out;
}

std::string FormatMailDate(std::int64_t seconds)
{
    static constexpr const char* DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d +0000", DAYS[tm.tm_wday],
                  tm.tm_mday, MONTHS[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return buf;
}

std::string FormatIsoTime(std::int64_t seconds)
{
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(buf, n);
}

std::string Base64(std::string_view bytes)
{
    static constexpr char ALPHABET[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = unsigned{static_cast<unsigned char>(bytes[i])} << 16 |
                           unsigned{static_cast<unsigned char>(bytes[i + 1])} << 8 |
                           unsigned{static_cast<unsigned char>(bytes[i + 2])};
        out += ALPHABET[v >> 18];
        out += ALPHABET[(v >> 12) & 63];
        out += ALPHABET[(v >> 6) & 63];
        out += ALPHABET[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = unsigned{static_cast<unsigned char>(bytes[i])} << 16;
        if (i + 1 < bytes.size())
            v |= unsigned{static_cast<unsigned char>(bytes[i + 1])} << 8;
        out += ALPHABET[v >> 18];
        out += ALPHABET[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? ALPHABET[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}
