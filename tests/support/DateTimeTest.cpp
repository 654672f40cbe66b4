#include "support/DateTime.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace std::chrono;

TEST(DateTime, CalendarAndClockAcrossLeapRulesOffsetsAndTheEpoch)
{
    const auto expect = [](std::int64_t utcSeconds, int offsetMinutes, year_month_day date, weekday day, int hour,
                           int minute, int second) {
        const ZonedDateTime local = zonedDateTime(utcSeconds, offsetMinutes);
        EXPECT_EQ(local.date, date) << utcSeconds;
        EXPECT_EQ(local.weekday, day) << utcSeconds;
        EXPECT_EQ(local.time.hours().count(), hour) << utcSeconds;
        EXPECT_EQ(local.time.minutes().count(), minute) << utcSeconds;
        EXPECT_EQ(local.time.seconds().count(), second) << utcSeconds;
    };
    expect(951782400, 0, 2000y / February / 29, Tuesday, 0, 0, 0);            // every 400 years a leap year
    expect(-2203891200 - 1, 0, 1900y / February / 28, Wednesday, 23, 59, 59); // 1900 was not
    expect(4107542400, 0, 2100y / March / 1, Monday, 0, 0, 0);                // nor will 2100 be
    expect(-1, 0, 1969y / December / 31, Wednesday, 23, 59, 59);              // before 1970, rounded down
    expect(0, -330, 1969y / December / 31, Wednesday, 18, 30, 0);             // a negative offset goes back a day
    expect(1614988799, 60, 2021y / March / 6, Saturday, 0, 59, 59);           // a positive one forward
}

TEST(DateTime, PdfDatesWriteEveryOffsetTheSameWay)
{
    EXPECT_EQ(pdfDate(1614949620, 60), "D:20210305140700+01'00'");
    EXPECT_EQ(pdfDate(0, -330), "D:19691231183000-05'30'");
    EXPECT_EQ(pdfDate(0, 0), "D:19700101000000+00'00'");
}
