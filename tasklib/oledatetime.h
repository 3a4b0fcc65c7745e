#pragma once
// A day-based local date-time, the task library's clock for a task's last-run
// time: a DATE (double) counting days from 1899-12-30 00:00, whose fraction,
// taken by its absolute value, is the time of day, together with a status.
//
// Below day 0 the time part is not subtracted (-1.25 is 1899-12-29 06:00), so
// differences are taken on a linear day count: linear(d) = d for d >= 0, else
// c - (d - c) with c = ceil(d). A DATE carries no time zone; it is local wall
// time. Values are plain data: any thread, no sharing.
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/base/modeltime.h"

using DATE = double;

// The extremes of a valid DATE: 0100-01-01 and 9999-12-31 00:00.
constexpr DATE MIN_DATE = -657434.0;
constexpr DATE MAX_DATE = 2958465.0;
// Half a second in days, added when a DATE is rounded to whole seconds.
constexpr double HALF_SECOND = 1.0 / 172800.0;

// A difference between two date-times, in days.
class COleDateTimeSpan {
public:
    enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTimeSpan() = default;
    explicit COleDateTimeSpan(double days, DateTimeSpanStatus status = valid)
        : m_span(days), m_status(status)
    {
    }

    DateTimeSpanStatus GetStatus() const { return m_status; }
    // Whole minutes, rounded to the second first: trunc(days * 1440 + 1/172800).
    // A launch interval is compared with this count.
    std::int64_t GetElapsedMinutes() const;

private:
    double m_span = 0.0;
    DateTimeSpanStatus m_status = valid;
};

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    // 0.0 (1899-12-30 00:00), valid.
    COleDateTime() = default;
    // The DATE as given; invalid when outside MIN_DATE..MAX_DATE.
    COleDateTime(DATE date); // NOLINT: implicit like its original
    // Local fields (month 1-12); invalid unless 100 <= year <= 9999 and every
    // field is in its range (no normalisation).
    COleDateTime(int year, int month, int day, int hour, int minute, int second);
    // The model's time broken down in local time (daylight rules of that instant).
    explicit COleDateTime(const CTime& time);

    // Now, local time with whole seconds, from the model's clock.
    static COleDateTime GetCurrentTime();

    DateTimeStatus GetStatus() const { return m_status; }
    DATE GetDate() const { return m_dt; }

    // Sets the fields as the constructor does; 0 on success, 1 when invalid.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);

    // The fields, rounded to the nearest second; false (tm untouched) unless
    // valid. tm_year counts from 1900, tm_mon from 0, tm_wday 0 = Sunday,
    // tm_yday from 0, tm_isdst -1.
    bool GetAsTm(std::tm& tm) const;

    // strftime of the fields with the C locale; empty unless valid.
    std::string Format(const char* pattern) const;

    // The difference on the linear day count. A null operand gives null, an
    // invalid one invalid.
    friend COleDateTimeSpan operator-(const COleDateTime& a, const COleDateTime& b);

    // Equal DATE and status.
    friend bool operator==(const COleDateTime&, const COleDateTime&) = default;

private:
    DATE m_dt = 0.0;
    DateTimeStatus m_status = valid;
};

// The linear day count of a DATE (identity from 0 upwards).
double DateToLinear(DATE date);
