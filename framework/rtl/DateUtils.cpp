#include "framework/rtl/DateUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Exceptions.h"

namespace rtl {

namespace {

constexpr int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Day number (day 1 = 0001-01-01) of a valid date.
int32_t DayNumber(int year, int month, int day) {
    const int leap = IsLeapYear(year) ? 1 : 0;
    int32_t days = day;
    for (int m = 0; m < month - 1; ++m) days += kMonthDays[leap][m];
    const int32_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + days;
}

// Splits a day number (>= 1) into year, month and day.
void SplitDayNumber(int32_t dayNumber, int& year, int& month, int& day) {
    constexpr int32_t D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
    int32_t t = dayNumber - 1;
    int32_t y = 1;
    y += (t / D400) * 400;
    t %= D400;
    int32_t i = t / D100;
    int32_t d = t % D100;
    if (i == 4) {  // last day of a 400-year cycle
        i = 3;
        d += D100;
    }
    y += i * 100;
    y += (d / D4) * 4;
    d %= D4;
    i = d / D1;
    d %= D1;
    if (i == 4) {  // last day of a 4-year cycle
        i = 3;
        d += D1;
    }
    y += i;
    const int leap = IsLeapYear(y) ? 1 : 0;
    int m = 0;
    while (d >= kMonthDays[leap][m]) {
        d -= kMonthDays[leap][m];
        ++m;
    }
    year = y;
    month = m + 1;
    day = d + 1;
}

[[noreturn]] void DateEncodeError() { throw EConvertError("Invalid argument to date encode"); }

// Checked steps of date arithmetic: a count that leaves int64 can only be a bad argument.
int64_t CheckedMul(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) DateEncodeError();
    return r;
}

int64_t CheckedAdd(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) DateEncodeError();
    return r;
}

bool InRange(TDateTime value) { return std::isfinite(value) && value > MinDateTime - 1.0 && value < MaxDateTime + 1.0; }

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

int DaysInYear(int year) { return IsLeapYear(year) ? 366 : 365; }

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    value = static_cast<double>(DayNumber(year, month, day) - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value) {
    if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
        return false;
    value = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / static_cast<double>(MSecsPerDay);
    return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value) {
    TDateTime d, t;
    if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t)) return false;
    value = ComposeDateTime(d, t);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime v;
    if (!TryEncodeDate(year, month, day, v)) throw EConvertError("Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime v;
    if (!TryEncodeTime(hour, min, sec, msec, v)) throw EConvertError("Invalid argument to time encode");
    return v;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
    const TDateTime d = EncodeDate(year, month, day);
    return ComposeDateTime(d, EncodeTime(hour, min, sec, msec));
}

bool DecodeDateFully(TDateTime value, int& year, int& month, int& day, int& dow) {
    year = month = day = dow = 0;
    if (!InRange(value)) return false;
    const TTimeStamp ts = DateTimeToTimeStamp(value);
    if (ts.Date <= 0) return false;
    SplitDayNumber(ts.Date, year, month, day);
    if (year > 9999) {
        year = month = day = 0;
        return false;
    }
    dow = ts.Date % 7 + 1;
    return true;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    int dow;
    DecodeDateFully(value, year, month, day, dow);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    hour = min = sec = msec = 0;
    if (!InRange(value)) return;
    int32_t t = DateTimeToTimeStamp(value).Time;
    msec = t % 1000;
    t /= 1000;
    sec = t % 60;
    t /= 60;
    min = t % 60;
    hour = t / 60;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec) {
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, min, sec, msec);
}

int DayOfWeek(TDateTime value) {
    if (!InRange(value)) return 0;
    return DateTimeToTimeStamp(value).Date % 7 + 1;
}

int DayOfTheWeek(TDateTime value) {
    const int d = DayOfWeek(value);
    return d == 1 ? 7 : d - 1;
}

TDateTime DateOf(TDateTime value) { return std::trunc(value); }

TDateTime TimeOf(TDateTime value) { return std::fabs(value - std::trunc(value)); }

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    const double d = std::trunc(date);
    const double t = std::fabs(time - std::trunc(time));
    return d < 0 ? d - t : d + t;
}

TDateTime Now() { return ClockNow(); }
TDateTime Date() { return std::trunc(ClockNow()); }
TDateTime Time() { return TimeOf(ClockNow()); }

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    TTimeStamp ts;
    if (!InRange(value)) return ts;
    const int64_t ms = static_cast<int64_t>(std::nearbyint(value * static_cast<double>(MSecsPerDay)));
    const int64_t days = ms / MSecsPerDay;  // toward zero: the day of a negative value is its integer part
    int64_t time = ms % MSecsPerDay;
    if (time < 0) time = -time;
    ts.Date = static_cast<int32_t>(DateDelta + days);
    ts.Time = static_cast<int32_t>(time);
    return ts;
}

void ValidateTimeStamp(const TTimeStamp& ts) {
    if (ts.Time < 0 || ts.Time >= MSecsPerDay || ts.Date <= 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "'%d.%d' is not a valid timestamp", ts.Date, ts.Time);
        throw EConvertError(buf);
    }
}

TDateTime TimeStampToDateTime(const TTimeStamp& ts) {
    ValidateTimeStamp(ts);
    const double d = static_cast<double>(ts.Date - DateDelta);
    const double t = static_cast<double>(ts.Time) / static_cast<double>(MSecsPerDay);
    return d >= 0 ? d + t : d - t;
}

TTimeStamp MSecsToTimeStamp(int64_t msecs) {
    TTimeStamp ts;
    if (msecs < 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "'%lld' is not a valid timestamp", static_cast<long long>(msecs));
        throw EConvertError(buf);
    }
    const int64_t days = msecs / MSecsPerDay;
    if (days > INT32_MAX) throw EConvertError("Invalid argument to date encode");
    ts.Date = static_cast<int32_t>(days);
    ts.Time = static_cast<int32_t>(msecs % MSecsPerDay);
    return ts;
}

int64_t TimeStampToMSecs(const TTimeStamp& ts) { return static_cast<int64_t>(ts.Date) * MSecsPerDay + ts.Time; }

int64_t DateTimeToMilliseconds(TDateTime value) {
    const TTimeStamp ts = DateTimeToTimeStamp(value);
    return static_cast<int64_t>(ts.Date - DateDelta) * MSecsPerDay + ts.Time;
}

TDateTime MillisecondsToDateTime(int64_t ms) {
    int64_t days = ms / MSecsPerDay;
    int64_t time = ms % MSecsPerDay;
    if (time < 0) {
        time += MSecsPerDay;
        --days;
    }
    return ComposeDateTime(static_cast<double>(days), static_cast<double>(time) / static_cast<double>(MSecsPerDay));
}

TDateTime IncMilliSecond(TDateTime value, int64_t msecs) {
    return MillisecondsToDateTime(CheckedAdd(DateTimeToMilliseconds(value), msecs));
}
TDateTime IncSecond(TDateTime value, int64_t seconds) { return IncMilliSecond(value, CheckedMul(seconds, 1000)); }
TDateTime IncMinute(TDateTime value, int64_t minutes) { return IncMilliSecond(value, CheckedMul(minutes, 60000)); }
TDateTime IncHour(TDateTime value, int64_t hours) { return IncMilliSecond(value, CheckedMul(hours, 3600000)); }
TDateTime IncDay(TDateTime value, int days) { return IncMilliSecond(value, static_cast<int64_t>(days) * MSecsPerDay); }

TDateTime IncMonth(TDateTime value, int months) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    if (y == 0) return value;
    // In int64: a month count near the int range must not wrap into a plausible date.
    const int64_t total = int64_t{y} * 12 + (m - 1) + months;
    if (total < 12 || total >= int64_t{10000} * 12) DateEncodeError();
    const int ny = static_cast<int>(total / 12);
    const int nm = static_cast<int>(total % 12) + 1;
    const int nd = std::min(d, DaysInMonth(ny, nm));
    return ComposeDateTime(EncodeDate(ny, nm, nd), TimeOf(value));
}

TDateTime IncYear(TDateTime value, int years) {
    // years * 12 may leave int; a count held at the int range is out of the date range anyway.
    return IncMonth(value, static_cast<int>(std::clamp<int64_t>(int64_t{years} * 12, INT32_MIN, INT32_MAX)));
}

int YearOf(TDateTime value) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    return y;
}
int MonthOf(TDateTime value) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    return m;
}
int DayOf(TDateTime value) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    return d;
}

bool SameDate(TDateTime a, TDateTime b) { return DateTimeToTimeStamp(a).Date == DateTimeToTimeStamp(b).Date; }

bool SameDateTime(TDateTime a, TDateTime b) { return CompareDateTime(a, b) == 0; }

int CompareDateTime(TDateTime a, TDateTime b) {
    const int64_t x = DateTimeToMilliseconds(a), y = DateTimeToMilliseconds(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace rtl
