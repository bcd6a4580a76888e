#include <gtest/gtest.h>

#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "tests/rtl/convert_error_fixture.h"

using namespace rtl;
using rtltest::ConvertMessage;

TEST(DateUtils, EncodeDecodeAroundEpochLeapDaysAndLimits) {
    struct Case {
        int y, m, d;
        double serial;
    } cases[] = {
        {1899, 12, 30, 0},    {1899, 12, 31, 1},   {1900, 1, 1, 2},    {1900, 2, 28, 60},       {1900, 3, 1, 61},
        {2000, 2, 29, 36585}, {2000, 3, 1, 36586}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465}, {1600, 2, 29, -109512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial);
        int y, m, d;
        DecodeDate(c.serial, y, m, d);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(m, c.m);
        EXPECT_EQ(d, c.d);
    }
}

TEST(DateUtils, InvalidDatesAndTimesRaiseTheEncodeMessages) {
    struct Case {
        int y, m, d;
    } dates[] = {{1900, 2, 29}, {2001, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2000, 13, 1}, {2000, 0, 1}, {2000, 4, 31}};
    for (const auto& c : dates) {
        EXPECT_EQ(ConvertMessage([&] { EncodeDate(c.y, c.m, c.d); }), "Invalid argument to date encode");
        TDateTime v = 123;
        EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, v));
        EXPECT_EQ(v, 123);  // untouched on failure
    }
    struct TCase {
        int h, n, s, ms;
    } times[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& c : times)
        EXPECT_EQ(ConvertMessage([&] { EncodeTime(c.h, c.n, c.s, c.ms); }), "Invalid argument to time encode");
}

TEST(DateUtils, LeapYearsAndMonthLengths) {
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2000, 13), 0);
}

TEST(DateUtils, DaysBeforeTheEpochKeepTheTimeAsMagnitude) {
    // 1899-12-29 06:00 is -1.25: the day is the integer part, the time the fraction's magnitude.
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    int y, m, d, h, n, s, ms;
    DecodeDateTime(-1.25, y, m, d, h, n, s, ms);
    EXPECT_EQ(y, 1899);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(DateOf(-1.25), -1.0);
    EXPECT_DOUBLE_EQ(TimeOf(-1.25), 0.25);
    // Moving across the epoch by hours stays on the time line.
    EXPECT_DOUBLE_EQ(IncHour(-1.25, 24), 0.25);
    EXPECT_DOUBLE_EQ(IncDay(-1.25, -1), -2.25);
    EXPECT_DOUBLE_EQ(IncHour(EncodeDateTime(1899, 12, 29, 23, 0, 0, 0), 2), EncodeDateTime(1899, 12, 30, 1, 0, 0, 0));
}

TEST(DateUtils, TimeStampsFollowTheDayNumbering) {
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(TTimeStamp{43200000, 693594}), 0.5);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(TTimeStamp{43200000, 693593}), -1.5);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(TTimeStamp{0, 1}), -693593.0);
    EXPECT_EQ(ConvertMessage([] { ValidateTimeStamp(TTimeStamp{0, 0}); }), "'0.0' is not a valid timestamp");
    EXPECT_EQ(ConvertMessage([] { ValidateTimeStamp(TTimeStamp{-5, 10}); }), "'10.-5' is not a valid timestamp");

    const TDateTime v = EncodeDateTime(2024, 2, 29, 23, 59, 59, 999);
    const TTimeStamp ts = DateTimeToTimeStamp(v);
    EXPECT_EQ(ts.Time, 86399999);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(ts), v);
    EXPECT_EQ(TimeStampToMSecs(MSecsToTimeStamp(TimeStampToMSecs(ts))), TimeStampToMSecs(ts));
    EXPECT_EQ(DateTimeToTimeStamp(0).Date, DateDelta);
}

TEST(DateUtils, DayOfWeekAndMonthArithmetic) {
    EXPECT_EQ(DayOfWeek(0), 7);  // 1899-12-30 was a Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3)), 1);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 3, 3)), 7);
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31), 1), EncodeDate(2024, 2, 29));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 15), -2), EncodeDate(2023, 11, 15));
    EXPECT_EQ(IncYear(EncodeDate(2024, 2, 29), 1), EncodeDate(2025, 2, 28));
}

TEST(DateUtils, NowReadsTheProcessClock) {
    TScopedManualClock clock(EncodeDateTime(2024, 5, 6, 7, 8, 9, 0));
    EXPECT_DOUBLE_EQ(Now(), EncodeDateTime(2024, 5, 6, 7, 8, 9, 0));
    EXPECT_EQ(Date(), EncodeDate(2024, 5, 6));
    clock.Advance(1000);
    EXPECT_TRUE(SameDateTime(Time(), EncodeTime(7, 8, 10, 0)));
}

TEST(SqlTimeStamp, RoundTripsAndRejectsBadFields) {
    const TDateTime v = EncodeDateTime(2023, 11, 5, 14, 30, 15, 250);
    const TSQLTimeStamp ts = DateTimeToSQLTimeStamp(v);
    EXPECT_EQ(ts.Year, 2023);
    EXPECT_EQ(ts.Month, 11);
    EXPECT_EQ(ts.Day, 5);
    EXPECT_EQ(ts.Hour, 14);
    EXPECT_EQ(ts.Minute, 30);
    EXPECT_EQ(ts.Second, 15);
    EXPECT_EQ(ts.Fractions, 250u);
    EXPECT_DOUBLE_EQ(SQLTimeStampToDateTime(ts), v);
    EXPECT_EQ(SQLTimeStampToDateTime(NullSQLTimeStamp()), 0);

    TSQLTimeStamp bad = ts;
    bad.Day = 31;
    EXPECT_EQ(ConvertMessage([&] { SQLTimeStampToDateTime(bad); }), "Invalid argument to date encode");
    bad = ts;
    bad.Hour = 24;
    EXPECT_EQ(ConvertMessage([&] { SQLTimeStampToDateTime(bad); }), "Invalid argument to time encode");
    TDateTime out = 7;
    EXPECT_FALSE(TrySQLTimeStampToDateTime(bad, out));
    EXPECT_EQ(out, 7);
}

TEST(SqlTimeStamp, TextAndOrder) {
    const TSQLTimeStamp ts = DateTimeToSQLTimeStamp(EncodeDateTime(2023, 1, 2, 3, 4, 5, 0));
    EXPECT_EQ(SQLTimeStampToStr(ts), "02.01.2023 3:04:05");
    EXPECT_TRUE(SQLTimeStampEqual(StrToSQLTimeStamp("02.01.2023 3:04:05"), ts));
    EXPECT_EQ(ConvertMessage([] { StrToSQLTimeStamp("2023-01-02"); }), "'2023-01-02' is not a valid date and time");

    TSQLTimeStamp later = ts, bc = ts;
    later.Fractions = 1;
    bc.Year = -5;
    EXPECT_EQ(SQLTimeStampCompare(ts, later), -1);
    EXPECT_EQ(SQLTimeStampCompare(later, ts), 1);
    EXPECT_EQ(SQLTimeStampCompare(bc, ts), -1);  // the year is signed
}
