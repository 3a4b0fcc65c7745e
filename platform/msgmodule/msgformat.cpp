#include "platform/msgmodule/msgformat.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/base/win32error.h"

namespace {

// An integer or character conversion of an insert. The inserts are the
// event's strings, so a number is read from the string's text (decimal, or
// hexadecimal after "0x"); a string that holds no number is put in as it is.
DWORD AppendNumberInsert(std::string& out, std::string_view flags, char conversion, const char* arg)
{
    const char* text = arg != nullptr ? arg : "(null)";
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 0);
    const bool bNumber = end != text && *end == '\0' && errno == 0;
    if (!bNumber && conversion != 'c') {
        out += text;
        return ERROR_SUCCESS;
    }
    std::string format(1, '%');
    format.append(flags);
    if (conversion != 'c')
        format.append("ll");
    format.push_back(conversion);
    // Sized first, then written (the width may be large). The format is
    // built from checked flags, width and precision and one conversion.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    auto print = [&](char* buffer, std::size_t size) {
        if (conversion == 'c')
            return std::snprintf(buffer, size, format.c_str(),
                                 bNumber ? static_cast<int>(value)
                                         : static_cast<unsigned char>(*text));
        if (conversion == 'd' || conversion == 'i')
            return std::snprintf(buffer, size, format.c_str(), value);
        return std::snprintf(buffer, size, format.c_str(), static_cast<unsigned long long>(value));
    };
#pragma GCC diagnostic pop
    const int length = print(nullptr, 0);
    if (length < 0 || static_cast<std::size_t>(length) > MAX_MESSAGE_LENGTH)
        return ERROR_MORE_DATA;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length) + 1);
    print(out.data() + at, static_cast<std::size_t>(length) + 1);
    out.resize(at + static_cast<std::size_t>(length));
    return ERROR_SUCCESS;
}

// Formats one string insert by a printf-style format: string conversions as
// they are, integer and character conversions through AppendNumberInsert.
// A '*' width, which would take an insert as the width, fails.
DWORD AppendInsert(std::string& out, std::string_view fmt, const char* arg)
{
    std::size_t i = 0;
    bool left = false, zero = false;
    for (; i < fmt.size() && std::string_view("-+0 #").find(fmt[i]) != std::string_view::npos;
         ++i) {
        left = left || fmt[i] == '-';
        zero = zero || fmt[i] == '0';
    }
    std::size_t width = 0, precision = std::string_view::npos;
    for (; i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++i) {
        width = width * 10 + static_cast<std::size_t>(fmt[i] - '0');
        if (width > MAX_MESSAGE_LENGTH)
            return ERROR_MORE_DATA;
    }
    if (i < fmt.size() && fmt[i] == '.') {
        precision = 0;
        for (++i; i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9'; ++i)
            precision = std::min<std::size_t>(
                precision * 10 + static_cast<std::size_t>(fmt[i] - '0'), MAX_MESSAGE_LENGTH + 1);
    }
    const std::string_view flags = fmt.substr(0, i);
    std::string_view rest = fmt.substr(i);
    // Size prefixes: the inserts are 8-bit strings whatever width is asked.
    for (std::string_view prefix : {"I64", "I32", "ll", "hh", "h", "l", "w", "I"})
        if (rest.starts_with(prefix)) {
            rest.remove_prefix(prefix.size());
            break;
        }
    if (rest.size() == 1 && std::string_view("diuoxXcC").find(rest[0]) != std::string_view::npos)
        return AppendNumberInsert(out, flags, rest[0] == 'C' ? 'c' : rest[0], arg);
    if (rest != "s" && rest != "S")
        return ERROR_INVALID_PARAMETER;
    std::string_view text(arg != nullptr ? arg : "(null)");
    if (precision < text.size())
        text = text.substr(0, precision);
    std::size_t pad = width > text.size() ? width - text.size() : 0;
    if (!left)
        out.append(pad, zero ? '0' : ' ');
    out.append(text);
    if (left)
        out.append(pad, ' ');
    return ERROR_SUCCESS;
}

} // namespace

DWORD ExpandMessageTemplate(std::string_view tmpl, DWORD dwFlags,
                            std::span<const char* const> inserts, std::string& out)
{
    const bool ignoreInserts = (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    std::string text;
    const std::size_t n = tmpl.size();
    std::size_t i = 0;
    while (i < n && text.size() <= MAX_MESSAGE_LENGTH) {
        char c = tmpl[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            i += (c == '\r' && i + 1 < n && tmpl[i + 1] == '\n') ? 2u : 1u;
            continue;
        }
        if (c != '%') {
            text += c;
            ++i;
            continue;
        }
        if (i + 1 == n) {
            if (!ignoreInserts)
                return ERROR_INVALID_PARAMETER;
            text += '%';
            break;
        }
        char e = tmpl[i + 1];
        if (e == '0')
            break;
        if (e == 'n' || e == 'r' || e == 't') {
            text += e == 'n' ? "\r\n" : e == 'r' ? "\r" : "\t";
            i += 2;
            continue;
        }
        if (ignoreInserts) {
            // Copied unchanged; "%%" as a pair so its second "%" starts nothing.
            text += '%';
            if (e == '%') {
                text += '%';
                ++i;
            }
            ++i;
            continue;
        }
        if (e < '1' || e > '9') {
            // "%%", "% ", "%.", "%!" and any other character: the character
            // itself (a line break goes through the line handling).
            ++i;
            if (e != '\r' && e != '\n') {
                text += e;
                ++i;
            }
            continue;
        }
        std::size_t number = static_cast<std::size_t>(e - '0');
        i += 2;
        if (i < n && tmpl[i] >= '0' && tmpl[i] <= '9')
            number = number * 10 + static_cast<std::size_t>(tmpl[i++] - '0');
        std::string_view fmt = "s";
        if (i < n && tmpl[i] == '!') {
            std::size_t close = tmpl.find('!', i + 1);
            if (close == std::string_view::npos)
                return ERROR_INVALID_PARAMETER;
            fmt = tmpl.substr(i + 1, close - i - 1);
            i = close + 1;
        }
        if (number > inserts.size())
            return ERROR_INVALID_PARAMETER;
        if (DWORD error = AppendInsert(text, fmt, inserts[number - 1]); error != ERROR_SUCCESS)
            return error;
    }
    if (text.size() > MAX_MESSAGE_LENGTH)
        return ERROR_MORE_DATA;
    out += text;
    return ERROR_SUCCESS;
}
