#pragma once
// Finding a text in the bytes of a text viewer: forward from a byte offset,
// with or without letter case (ASCII letters only, as the text keys fold
// them) and, for whole words, only where neither neighbour is a letter, a
// digit or '_' (bytes 128-255 count as letters, so a word in any 8-bit
// code page or UTF-8 is not split).
//
// Any thread; no state.
#include <cstddef>
#include <string_view>

// The offset of the first occurrence at or after nFrom, or npos.
std::size_t FindInText(std::string_view text, std::string_view what, std::size_t nFrom,
                       bool bMatchCase, bool bWholeWord);
// The offset of the last occurrence that starts before nBefore, or npos.
std::size_t FindInTextBackward(std::string_view text, std::string_view what, std::size_t nBefore,
                               bool bMatchCase, bool bWholeWord);
