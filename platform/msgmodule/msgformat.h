#pragma once
// Expansion of a message template by the published insert rules: %1..%99
// with an optional !printf-format!, %0, %n, %r, %t, %%, "% ", %., %! and the
// line handling selected by the width in the low byte of the flags. The
// inserts are 8-bit strings, counted, so a template that names an insert
// beyond them fails instead of reading past the array. Pure function.
#include <span>
#include <string>
#include <string_view>

#include "platform/base/win32types.h"

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x0100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x0200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x0400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x0800;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x2000;

// The largest message produced (the platform's limit for allocated buffers).
constexpr std::size_t MAX_MESSAGE_LENGTH = 128 * 1024;

// Appends the expansion of the template to out: 0 on success, else
// ERROR_INVALID_PARAMETER (an insert beyond the strings given, a "%" at the
// end, an unclosed or unsupported !format!) or ERROR_MORE_DATA (longer than
// MAX_MESSAGE_LENGTH). Line breaks of the template become CR LF. Of dwFlags
// only FORMAT_MESSAGE_IGNORE_INSERTS counts. A null string prints "(null)".
DWORD ExpandMessageTemplate(std::string_view tmpl, DWORD dwFlags,
                            std::span<const char* const> inserts, std::string& out);
