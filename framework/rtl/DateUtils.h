// Calendar arithmetic on TDateTime (days since 1899-12-30, fraction = time of day) and on
// TTimeStamp (day 1 = 0001-01-01, milliseconds of the day). Days before 1899-12-30 are negative;
// there the integer part is the day and the magnitude of the fraction is the time, so -1.25 is
// 1899-12-29 06:00.
#pragma once

#include <cstdint>

#include "framework/rtl/Types.h"

namespace rtl {

constexpr int32_t DateDelta = 693594;  // days from 0001-01-01 (day 1) to 1899-12-30
constexpr int64_t MSecsPerDay = 86400000;
constexpr int32_t SecsPerDay = 86400;
constexpr double MinDateTime = -693593.0;         // 0001-01-01
constexpr double MaxDateTime = 2958465.99999999;  // 9999-12-31 23:59:59.999
constexpr int UnixDateDelta = 25569;              // days from 1899-12-30 to 1970-01-01

bool IsLeapYear(int year);
// 0 when month is outside 1..12.
int DaysInMonth(int year, int month);
int DaysInYear(int year);

// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value);

// Values outside MinDateTime..MaxDateTime decode to zeros (year 0) rather than garbage.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec, int& msec);
// Decodes and also reports the day of the week (1 = Sunday); false when the date is out of range.
bool DecodeDateFully(TDateTime value, int& year, int& month, int& day, int& dow);

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
// 1 = Monday .. 7 = Sunday.
int DayOfTheWeek(TDateTime value);

// The whole-day part of a date-time, the time of day (both keep the sign convention above).
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
// Joins a date and a time of day into one value (the time's magnitude goes away from zero for
// dates before 1899-12-30).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Read the process clock (rtl::ClockNow).
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Rounded to a whole millisecond (half to even).
TTimeStamp DateTimeToTimeStamp(TDateTime value);
// EConvertError "'%d.%d' is not a valid timestamp" when the day is not positive or the time is
// negative or beyond a day.
TDateTime TimeStampToDateTime(const TTimeStamp& ts);
void ValidateTimeStamp(const TTimeStamp& ts);
TTimeStamp MSecsToTimeStamp(int64_t msecs);
int64_t TimeStampToMSecs(const TTimeStamp& ts);

// Whole milliseconds since 1899-12-30 as a signed count (the linear form of a TDateTime).
int64_t DateTimeToMilliseconds(TDateTime value);
TDateTime MillisecondsToDateTime(int64_t ms);

TDateTime IncDay(TDateTime value, int days = 1);
TDateTime IncHour(TDateTime value, int64_t hours = 1);
TDateTime IncMinute(TDateTime value, int64_t minutes = 1);
TDateTime IncSecond(TDateTime value, int64_t seconds = 1);
TDateTime IncMilliSecond(TDateTime value, int64_t msecs = 1);
// Keeps the day, clipped to the last day of the new month.
TDateTime IncMonth(TDateTime value, int months = 1);
TDateTime IncYear(TDateTime value, int years = 1);

int YearOf(TDateTime value);
int MonthOf(TDateTime value);
int DayOf(TDateTime value);
bool SameDate(TDateTime a, TDateTime b);
bool SameDateTime(TDateTime a, TDateTime b);    // equal to the millisecond
int CompareDateTime(TDateTime a, TDateTime b);  // -1, 0, 1 to the millisecond

}  // namespace rtl
