#pragma once
// Encodings that carry log text safely into the messages the alert actions
// send: JSON strings, mail headers (RFC 2047 encoded words), mail bodies
// (quoted-printable), and the dates mail and syslog use. Log text is 8-bit:
// a byte sequence that is not UTF-8 is taken as ISO 8859-1, so every output
// is well-formed whatever the log held.
//
// Pure functions; any thread.
#include <cstdint>
#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8.
bool IsUtf8(std::string_view text);
// The text as UTF-8: itself when it is UTF-8 already, else each byte taken
// as ISO 8859-1.
std::string ToUtf8(std::string_view text);

// The text as the body of a JSON string (without the quotes): UTF-8, with
// '"', '\\' and every control character escaped.
std::string JsonEscape(std::string_view text);
// The same between double quotes.
std::string JsonString(std::string_view text);

// A header value with every control character (CR and LF included) turned
// into a blank, so that no value can start a header of its own.
std::string HeaderSafe(std::string_view text);
// An unstructured header value (a subject): the text made HeaderSafe; plain
// ASCII stays as it is (folded at blanks to lines of at most 78 characters),
// anything else becomes RFC 2047 "B" encoded words of at most 75 characters
// ("=?UTF-8?B?...?=", or ISO-8859-1 for text that is not UTF-8), never
// splitting a character, one per folded line. nFirstLineUsed is the length
// of the header name and ": " before it.
std::string EncodeHeaderText(std::string_view text, std::size_t nFirstLineUsed);

// A body in quoted-printable (RFC 2045): line breaks (CRLF, LF or a lone
// CR) become CRLF, lines are soft-broken at 76 characters, '=' and
// non-ASCII bytes are encoded, as are a blank or tab before a line break
// and a '.' at the start of a line. Ends with CRLF.
std::string EncodeQuotedPrintable(std::string_view text);

// "Sun, 06 Dec 2026 04:34:02 +0000" for seconds since 1970 (UTC).
std::string FormatMailDate(std::int64_t seconds);
// "2026-12-06T04:34:02Z" (RFC 3339, UTC).
std::string FormatIsoTime(std::int64_t seconds);
// Base64 (RFC 4648) with padding.
std::string Base64(std::string_view bytes);
