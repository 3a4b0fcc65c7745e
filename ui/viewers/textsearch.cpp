#include "ui/viewers/textsearch.h"

#include <algorithm>
#include <string>

#include "match/textfold.h"

namespace {

bool IsWordByte(char c)
{
    auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || b == '_' || (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') ||
           (b >= 'A' && b <= 'Z');
}

bool IsWholeWord(std::string_view text, std::size_t nAt, std::size_t nLength)
{
    return (nAt == 0 || !IsWordByte(text[nAt - 1])) &&
           (nAt + nLength >= text.size() || !IsWordByte(text[nAt + nLength]));
}

} // namespace

std::size_t FindInText(std::string_view text, std::string_view what, std::size_t nFrom,
                       bool bMatchCase, bool bWholeWord)
{
    if (what.empty() || nFrom >= text.size())
        return std::string_view::npos;
    std::string upper;
    if (!bMatchCase)
        textfold::ToUpper(what, upper);
    const std::string_view needle = bMatchCase ? what : std::string_view(upper);
    auto folded = [](char a, char b) { return textfold::ToUpper(a) == b; };
    for (std::size_t nAt = nFrom;; ++nAt) {
        if (bMatchCase) {
            nAt = text.find(needle, nAt);
        } else {
            auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(nAt), text.end(),
                                  needle.begin(), needle.end(), folded);
            nAt = it == text.end() ? std::string_view::npos
                                   : static_cast<std::size_t>(it - text.begin());
        }
        if (nAt == std::string_view::npos || !bWholeWord || IsWholeWord(text, nAt, needle.size()))
            return nAt;
    }
}

std::size_t FindInTextBackward(std::string_view text, std::string_view what, std::size_t nBefore,
                               bool bMatchCase, bool bWholeWord)
{
    if (what.empty() || what.size() > text.size())
        return std::string_view::npos;
    std::string upper;
    if (!bMatchCase)
        textfold::ToUpper(what, upper);
    const std::string_view needle = bMatchCase ? what : std::string_view(upper);
    auto equal = [&](std::size_t nAt) {
        for (std::size_t i = 0; i < needle.size(); ++i)
            if ((bMatchCase ? text[nAt + i] : textfold::ToUpper(text[nAt + i])) != needle[i])
                return false;
        return true;
    };
    std::size_t nAt = std::min(nBefore, text.size() - needle.size() + 1);
    while (nAt-- > 0) {
        if (equal(nAt) && (!bWholeWord || IsWholeWord(text, nAt, needle.size())))
            return nAt;
    }
    return std::string_view::npos;
}
