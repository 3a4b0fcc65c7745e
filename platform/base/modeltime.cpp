#include "platform/base/modeltime.h"

#include <clocale>

#include <locale.h>

#include "platform/base/clock.h"

namespace {

locale_t CLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

} // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    m_time = static_cast<std::int32_t>(std::mktime(&tm));
}

CTime CTime::GetCurrentTime()
{
    return CTime(GetClock().NowSeconds());
}

std::tm CTime::GetLocalTm() const
{
    std::time_t t = m_time;
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string CTime::Format(const char* pattern) const
{
    return FormatTm(GetLocalTm(), pattern);
}

std::string CTime::FormatGmt(const char* pattern) const
{
    std::time_t t = m_time;
    std::tm tm{};
    gmtime_r(&t, &tm);
    return FormatTm(tm, pattern);
}

std::string FormatTm(const std::tm& tm, const char* pattern)
{
    if (!pattern || !*pattern)
        return {};
    // A pattern may legitimately produce an empty result, so grow the buffer
    // a few times before giving up.
    for (std::size_t size = 256; size <= 65536; size *= 4) {
        std::string out(size, '\0');
        std::size_t n = strftime_l(out.data(), out.size(), pattern, &tm, CLocale());
        if (n > 0) {
            out.resize(n);
            return out;
        }
    }
    return {};
}
