#pragma once
// Cutting 8-bit (UTF-8) text to a byte limit without splitting a character.
#include <cstddef>

// The length of text[0, length) less an incomplete UTF-8 sequence at its end.
inline std::size_t CompleteLength(const char* text, std::size_t length)
{
    std::size_t lead = length;
    while (lead > 0 && length - lead < 3 &&
           (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0)
        return length;
    auto c = static_cast<unsigned char>(text[lead - 1]);
    std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length - (lead - 1) < need ? lead - 1 : length;
}
