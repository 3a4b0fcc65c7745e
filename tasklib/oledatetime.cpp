#include "tasklib/oledatetime.h"

#include <cmath>

namespace {

// Day 0 of a DATE, 1899-12-30, counted from 1970-01-01.
constexpr std::int64_t DATE_EPOCH_FROM_1970 = -25569;

// Days from 1970-01-01 to a proleptic Gregorian date (month 1-12).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : DAYS[month - 1];
}

bool InRange(DATE date)
{
    return date >= MIN_DATE && date <= MAX_DATE;
}

} // namespace

std::int64_t COleDateTimeSpan::GetElapsedMinutes() const
{
    if (m_status != valid)
        return 0;
    return static_cast<std::int64_t>(std::trunc(m_span * 1440.0 + HALF_SECOND));
}

double DateToLinear(DATE date)
{
    if (date >= 0.0)
        return date;
    const double c = std::ceil(date);
    return c - (date - c);
}

COleDateTime::COleDateTime(DATE date) : m_dt(date), m_status(InRange(date) ? valid : invalid) {}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

COleDateTime::COleDateTime(const CTime& time)
{
    const std::tm tm = time.GetLocalTm();
    SetDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

COleDateTime COleDateTime::GetCurrentTime()
{
    return COleDateTime(CTime::GetCurrentTime());
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        m_dt = 0.0;
        m_status = invalid;
        return 1;
    }
    const auto days = static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        DATE_EPOCH_FROM_1970);
    const double t = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    m_dt = days >= 0.0 ? days + t : days - t;
    m_status = valid;
    return 0;
}

bool COleDateTime::GetAsTm(std::tm& tm) const
{
    if (m_status != valid || !InRange(m_dt))
        return false;
    double value = m_dt;
    if (value > 0.0)
        value += HALF_SECOND;
    else if (value < 0.0)
        value -= HALF_SECOND;
    const auto days = static_cast<std::int64_t>(std::trunc(value));
    const double magnitude = std::fabs(value);
    auto seconds = static_cast<int>(std::floor((magnitude - std::floor(magnitude)) * 86400.0));
    if (seconds > 86399)
        seconds = 86399;

    int year = 0, month = 0, day = 0;
    CivilFromDays(days + DATE_EPOCH_FROM_1970, year, month, day);
    tm = std::tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = seconds / 3600;
    tm.tm_min = seconds / 60 % 60;
    tm.tm_sec = seconds % 60;
    // Day 0, 1899-12-30, was a Saturday.
    tm.tm_wday = static_cast<int>(((days % 7) + 7 + 6) % 7);
    tm.tm_yday = static_cast<int>(days + DATE_EPOCH_FROM_1970 - DaysFromCivil(year, 1, 1));
    tm.tm_isdst = -1;
    return true;
}

std::string COleDateTime::Format(const char* pattern) const
{
    std::tm tm{};
    if (!GetAsTm(tm))
        return {};
    return FormatTm(tm, pattern);
}

COleDateTimeSpan operator-(const COleDateTime& a, const COleDateTime& b)
{
    if (a.m_status == COleDateTime::null || b.m_status == COleDateTime::null)
        return COleDateTimeSpan(0.0, COleDateTimeSpan::null);
    if (a.m_status != COleDateTime::valid || b.m_status != COleDateTime::valid)
        return COleDateTimeSpan(0.0, COleDateTimeSpan::invalid);
    return COleDateTimeSpan(DateToLinear(a.m_dt) - DateToLinear(b.m_dt));
}
