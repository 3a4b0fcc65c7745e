#include "match/textfold.h"

#include <algorithm>
#include <cstring>

#include "match/regexset.h"

namespace textfold {

void ToUpper(std::string_view src, std::string& dst)
{
    dst.resize(src.size());
    for (std::size_t i = 0; i < src.size(); ++i)
        dst[i] = ToUpper(src[i]);
}

bool Find(std::string_view hay, std::string_view needle)
{
    return !needle.empty() && needle.size() <= hay.size() &&
           ::memmem(hay.data(), hay.size(), needle.data(), needle.size()) != nullptr;
}

bool FindUpper(std::string_view upperHay, std::string_view needle)
{
    std::size_t m = needle.size();
    if (m == 0 || m > upperHay.size())
        return false;
    const char first = ToUpper(needle[0]);
    const char* p = upperHay.data();
    const char* last = upperHay.data() + (upperHay.size() - m); // last possible start
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, first, static_cast<std::size_t>(last - p) + 1));
        if (!p)
            return false;
        std::size_t i = 1;
        while (i < m && p[i] == ToUpper(needle[i]))
            ++i;
        if (i == m)
            return true;
        ++p;
    }
    return false;
}

} // namespace textfold

bool CPreparedLine::IsRegexMatched(int nIndex) const
{
    if (!m_pRegexSet)
        return false;
    if (!m_bRegexReady) {
        m_pRegexSet->Match(m_line, m_regexHits);
        m_bRegexReady = true;
    }
    return std::binary_search(m_regexHits.begin(), m_regexHits.end(), nIndex);
}
