#include "textlog/filename.h"

#include <algorithm>

std::string ExpandFileTemplate(const std::string& strTemplate, const CTime& time)
{
    return time.Format(strTemplate.c_str());
}

std::vector<std::string> MakeTemplateSamples(const std::string& strTemplate, const CTime& now)
{
    constexpr int DAY = 86400;
    std::vector<std::string> samples;
    CTime time = now + -10 * DAY;
    for (int i = 0; i < 20; ++i, time = time + DAY) {
        std::string name = ExpandFileTemplate(strTemplate, time);
        bool bBad = std::any_of(name.begin(), name.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 128; });
        samples.push_back(bBad ? "Bad template format!" : name);
    }
    return samples;
}
