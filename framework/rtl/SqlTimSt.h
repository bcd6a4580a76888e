// The SQL time stamp record (year, month, day, hour, minute, second, milliseconds) and its
// conversions to TDateTime and text.
#pragma once

#include <string_view>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Types.h"

namespace rtl {

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value);
// EConvertError "Invalid argument to date encode" / "Invalid argument to time encode" on bad
// fields; an all-zero record is 1899-12-30 00:00 (0).
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts);
bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& ts, TDateTime& value);
// Raises as SQLTimeStampToDateTime when a field is out of range.
void CheckSqlTimeStamp(const TSQLTimeStamp& ts);
bool IsSqlTimeStampValid(const TSQLTimeStamp& ts);

// With an empty format: the locale's short date, a blank and its long time. Otherwise the format
// as FormatDateTime reads it. Invalid fields raise as SQLTimeStampToDateTime.
AnsiString SQLTimeStampToStr(std::string_view format, const TSQLTimeStamp& ts);
AnsiString SQLTimeStampToStr(const TSQLTimeStamp& ts);
// Reads the date-time text of the locale; EConvertError "'%s' is not a valid date and time".
TSQLTimeStamp StrToSQLTimeStamp(std::string_view s);
bool TryStrToSQLTimeStamp(std::string_view s, TSQLTimeStamp& ts);

// Field-wise order: year (signed), month, day, hour, minute, second, fractions.
int SQLTimeStampCompare(const TSQLTimeStamp& a, const TSQLTimeStamp& b);
bool SQLTimeStampEqual(const TSQLTimeStamp& a, const TSQLTimeStamp& b);
TSQLTimeStamp NullSQLTimeStamp();

}  // namespace rtl
