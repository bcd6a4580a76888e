#include "framework/rtl/SqlTimSt.h"

#include "framework/rtl/DateUtils.h"

namespace rtl {

namespace {

bool DateFieldsValid(const TSQLTimeStamp& ts) {
    return ts.Year >= 1 && ts.Year <= 9999 && ts.Month >= 1 && ts.Month <= 12 && ts.Day >= 1 &&
           ts.Day <= DaysInMonth(ts.Year, ts.Month);
}

bool TimeFieldsValid(const TSQLTimeStamp& ts) {
    return ts.Hour < 24 && ts.Minute < 60 && ts.Second < 60 && ts.Fractions < 1000;
}

bool IsAllZero(const TSQLTimeStamp& ts) {
    return ts.Year == 0 && ts.Month == 0 && ts.Day == 0 && ts.Hour == 0 && ts.Minute == 0 && ts.Second == 0 &&
           ts.Fractions == 0;
}

}  // namespace

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(value, y, mo, d, h, mi, s, ms);
    TSQLTimeStamp ts;
    ts.Year = static_cast<int16_t>(y);
    ts.Month = static_cast<uint16_t>(mo);
    ts.Day = static_cast<uint16_t>(d);
    ts.Hour = static_cast<uint16_t>(h);
    ts.Minute = static_cast<uint16_t>(mi);
    ts.Second = static_cast<uint16_t>(s);
    ts.Fractions = static_cast<uint32_t>(ms);
    return ts;
}

void CheckSqlTimeStamp(const TSQLTimeStamp& ts) {
    if (IsAllZero(ts)) return;
    if (!DateFieldsValid(ts)) throw EConvertError("Invalid argument to date encode");
    if (!TimeFieldsValid(ts)) throw EConvertError("Invalid argument to time encode");
}

bool IsSqlTimeStampValid(const TSQLTimeStamp& ts) {
    return IsAllZero(ts) || (DateFieldsValid(ts) && TimeFieldsValid(ts));
}

bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& ts, TDateTime& value) {
    if (IsAllZero(ts)) {
        value = 0;
        return true;
    }
    if (!DateFieldsValid(ts) || !TimeFieldsValid(ts)) return false;
    value = EncodeDateTime(ts.Year, ts.Month, ts.Day, ts.Hour, ts.Minute, ts.Second, static_cast<int>(ts.Fractions));
    return true;
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts) {
    CheckSqlTimeStamp(ts);
    TDateTime v = 0;
    TrySQLTimeStampToDateTime(ts, v);
    return v;
}

AnsiString SQLTimeStampToStr(std::string_view format, const TSQLTimeStamp& ts) {
    const TDateTime v = SQLTimeStampToDateTime(ts);
    const TFormatSettings& fs = FormatSettings();
    if (format.empty()) return FormatDateTime(fs.ShortDateFormat + " " + fs.LongTimeFormat, v, fs);
    return FormatDateTime(format, v, fs);
}

AnsiString SQLTimeStampToStr(const TSQLTimeStamp& ts) { return SQLTimeStampToStr("", ts); }

bool TryStrToSQLTimeStamp(std::string_view s, TSQLTimeStamp& ts) {
    TDateTime v;
    if (!TryStrToDateTime(s, v)) return false;
    ts = DateTimeToSQLTimeStamp(v);
    return true;
}

TSQLTimeStamp StrToSQLTimeStamp(std::string_view s) {
    TSQLTimeStamp ts;
    if (!TryStrToSQLTimeStamp(s, ts)) {
        AnsiString m = "'";
        m.append(s);
        m += "' is not a valid date and time";
        throw EConvertError(m);
    }
    return ts;
}

int SQLTimeStampCompare(const TSQLTimeStamp& a, const TSQLTimeStamp& b) {
    auto cmp = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
    if (int c = cmp(a.Year, b.Year)) return c;
    if (int c = cmp(a.Month, b.Month)) return c;
    if (int c = cmp(a.Day, b.Day)) return c;
    if (int c = cmp(a.Hour, b.Hour)) return c;
    if (int c = cmp(a.Minute, b.Minute)) return c;
    if (int c = cmp(a.Second, b.Second)) return c;
    return cmp(a.Fractions, b.Fractions);
}

bool SQLTimeStampEqual(const TSQLTimeStamp& a, const TSQLTimeStamp& b) { return SQLTimeStampCompare(a, b) == 0; }

TSQLTimeStamp NullSQLTimeStamp() { return TSQLTimeStamp{}; }

}  // namespace rtl
