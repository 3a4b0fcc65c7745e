#pragma once
// The model's time: a 32-bit count of seconds since 1970-01-01 00:00 UTC, as
// stored in workspace files, with local-time fields and strftime formatting.
#include <cstdint>
#include <ctime>
#include <string>

class CTime {
public:
    CTime() = default;
    explicit CTime(std::int64_t seconds) : m_time(static_cast<std::int32_t>(seconds)) {}
    // Local wall-clock fields (month 1-12); the runtime decides daylight time.
    CTime(int year, int month, int day, int hour, int minute, int second);

    // Now, from the model's clock.
    static CTime GetCurrentTime();

    std::int32_t GetTime() const { return m_time; }

    // Local-time fields.
    std::tm GetLocalTm() const;
    int GetYear() const { return GetLocalTm().tm_year + 1900; }
    int GetMonth() const { return GetLocalTm().tm_mon + 1; }
    int GetDay() const { return GetLocalTm().tm_mday; }
    int GetHour() const { return GetLocalTm().tm_hour; }
    int GetMinute() const { return GetLocalTm().tm_min; }
    int GetSecond() const { return GetLocalTm().tm_sec; }

    // strftime of the local time, with the English names of the C locale
    // whatever the user's locale is.
    std::string Format(const char* pattern) const;
    // The same for UTC.
    std::string FormatGmt(const char* pattern) const;

    friend auto operator<=>(const CTime&, const CTime&) = default;
    friend std::int64_t operator-(const CTime& a, const CTime& b)
    {
        return std::int64_t{a.m_time} - std::int64_t{b.m_time};
    }
    CTime operator+(std::int64_t seconds) const { return CTime(std::int64_t{m_time} + seconds); }

private:
    std::int32_t m_time = 0;
};

// strftime with the C locale's English names.
std::string FormatTm(const std::tm& tm, const char* pattern);
