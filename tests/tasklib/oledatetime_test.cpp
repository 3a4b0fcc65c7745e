#include "platform/base/clock.h"
#include "tasklib/oledatetime.h"
#include "testing.h"
#include "timezone.h"

TEST(OleDateTime, FieldsGiveTheDayCountAndBack)
{
    // The fields as text, the same as numbers, and the day count.
    const std::tuple<const char*, std::array<int, 6>, DATE> cases[] = {
        {"1970-01-01 00:00:00", {1970, 1, 1, 0, 0, 0}, 25569.0},
        {"2024-02-29 21:00:00", {2024, 2, 29, 21, 0, 0}, 45351.875},
        {"2024-03-01 00:00:00", {2024, 3, 1, 0, 0, 0}, 45352.0},
    };
    for (const auto& [text, f, date] : cases) {
        const COleDateTime fields(f[0], f[1], f[2], f[3], f[4], f[5]);
        EXPECT_EQ(std::pair(fields.GetStatus(), fields.GetDate()),
                  std::pair(COleDateTime::valid, date))
            << text;
        EXPECT_EQ(COleDateTime(date).Format("%Y-%m-%d %H:%M:%S"), text);
    }
    EXPECT_EQ(COleDateTime(2023, 2, 29, 0, 0, 0).GetStatus(), COleDateTime::invalid);
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
}

TEST(OleDateTime, ModelTimeConvertsInLocalTimeOfItsInstant)
{
    {
        CTimeZone zone("UTC0");
        EXPECT_DOUBLE_EQ(COleDateTime(CTime(86400 + 43200)).GetDate(), 25570.5);
        CManualClock clock(1'700'000'000); // 2023-11-14 22:13:20 UTC
        SetClock(&clock);
        COleDateTime now = COleDateTime::GetCurrentTime();
        SetClock(nullptr);
        EXPECT_EQ(now.Format("%Y-%m-%d %H:%M:%S"), "2023-11-14 22:13:20");
    }
    CTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 12:00 UTC is 14:00 in summer and 13:00 in winter.
    EXPECT_EQ(COleDateTime(CTime(1'719'835'200)).Format("%H"), "14"); // 2024-07-01
    EXPECT_EQ(COleDateTime(CTime(1'704'110'400)).Format("%H"), "13"); // 2024-01-01
}
