#include "platform/base/clock.h"
#include "tasklib/oledatetime.h"
#include "testing.h"
#include "timezone.h"

TEST(OleDateTime, DatesAndFieldsConvertBothWays)
{
    struct Case {
        DATE date;
        int y, mo, d, h, mi, s;
        bool bFromFields; // the fields give this DATE back (not for the quirks)
    };
    const Case cases[] = {
        {0.0, 1899, 12, 30, 0, 0, 0, true},
        {2.25, 1900, 1, 1, 6, 0, 0, true},
        {25569.0, 1970, 1, 1, 0, 0, 0, true},
        {-1.25, 1899, 12, 29, 6, 0, 0, true},
        {-0.5, 1899, 12, 30, 12, 0, 0, false},
        {60.0, 1900, 2, 28, 0, 0, 0, true},
        {61.0, 1900, 3, 1, 0, 0, 0, true},
        {45351.875, 2024, 2, 29, 21, 0, 0, true},
        // Half a second rounds up to the next second, and across midnight.
        {2.0 + 0.6 / 86400, 1900, 1, 1, 0, 0, 1, false},
        {2.0 - 0.4 / 86400, 1900, 1, 1, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        COleDateTime date(c.date);
        ASSERT_EQ(date.GetStatus(), COleDateTime::valid);
        EXPECT_EQ(std::tuple(date.GetYear(), date.GetMonth(), date.GetDay(), date.GetHour(),
                             date.GetMinute(), date.GetSecond()),
                  std::tuple(c.y, c.mo, c.d, c.h, c.mi, c.s));
        if (c.bFromFields) {
            COleDateTime fields(c.y, c.mo, c.d, c.h, c.mi, c.s);
            EXPECT_EQ(fields.GetStatus(), COleDateTime::valid);
            EXPECT_DOUBLE_EQ(fields.GetDate(), c.date);
        }
    }
    EXPECT_EQ(COleDateTime(45351.875).Format("%Y-%m-%d %H:%M:%S %a"), "2024-02-29 21:00:00 Thu");
}

TEST(OleDateTime, ElapsedMinutesRoundToTheSecondFirst)
{
    // Across many start times, 4:59 later is 4 whole minutes and 5:00 later
    // is 5, although the DATE difference of 5:00 is often a hair below it.
    for (int second = 0; second < 86400; second += 997) {
        COleDateTime start(2024, 3, 10, second / 3600, second / 60 % 60, second % 60);
        auto later = [&](int seconds) {
            int t = second + seconds;
            return COleDateTime(2024, 3, 10 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60);
        };
        ASSERT_EQ((later(299) - start).GetElapsedMinutes(), 4) << second;
        ASSERT_EQ((later(300) - start).GetElapsedMinutes(), 5) << second;
        ASSERT_EQ((later(0) - start).GetElapsedMinutes(), 0) << second;
    }
    EXPECT_EQ((COleDateTime(1.0) - COleDateTime(-1.25)).GetElapsedMinutes(), 2520);
    // Negative spans truncate toward zero.
    EXPECT_EQ((COleDateTime(2.0) - COleDateTime(2.0 + 90.0 / 86400)).GetElapsedMinutes(), -1);
}

TEST(OleDateTime, ModelTimeConvertsInLocalTime)
{
    CTimeZone zone("UTC0");
    EXPECT_DOUBLE_EQ(COleDateTime(CTime(0)).GetDate(), 25569.0);
    EXPECT_DOUBLE_EQ(COleDateTime(CTime(86400 + 43200)).GetDate(), 25570.5);

    CManualClock clock(1'700'000'000); // 2023-11-14 22:13:20 UTC
    SetClock(&clock);
    COleDateTime now = COleDateTime::GetCurrentTime();
    SetClock(nullptr);
    EXPECT_EQ(now.Format("%Y-%m-%d %H:%M:%S"), "2023-11-14 22:13:20");
}

TEST(OleDateTime, ModelTimeFollowsDaylightRulesOfItsInstant)
{
    CTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 12:00 UTC is 14:00 in summer and 13:00 in winter.
    EXPECT_EQ(COleDateTime(CTime(1'719'835'200)).GetHour(), 14); // 2024-07-01
    EXPECT_EQ(COleDateTime(CTime(1'704'110'400)).GetHour(), 13); // 2024-01-01
}
