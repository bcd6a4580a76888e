#include "framework/rtl/SysUtils.h"

#include <cmath>
#include <cstdio>

#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils_Internal.h"
#include "framework/rtl/Text.h"

namespace rtl {

using namespace sysutils_detail;

// --- dates and times: formatting -------------------------------------------------------------

namespace {

void AppendNumber(AnsiString& out, int value, int width) {
    std::string s = std::to_string(value);
    PadLeft(s, width);
    out += s;
}

bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view what) {
    if (pos + what.size() > s.size()) return false;
    return CompareText(s.substr(pos, what.size()), what) == 0;
}

void FormatDateTimeTo(AnsiString& out, std::string_view fmt, TDateTime value, const TFormatSettings& fs,
                      int depth) {
    if (depth > 2) return;
    int year, month, day, hour, min, sec, msec;
    DecodeDateTime(value, year, month, day, hour, min, sec, msec);
    const int dow = DayOfWeek(value);
    // Twelve-hour clock when the format names an am/pm part anywhere.
    const bool twelve = [&] {
        for (size_t i = 0; i < fmt.size(); ++i)
            if (StartsWithNoCase(fmt, i, "am/pm") || StartsWithNoCase(fmt, i, "a/p") || StartsWithNoCase(fmt, i, "ampm"))
                return true;
        return false;
    }();
    bool lastWasHour = false;
    size_t i = 0;
    while (i < fmt.size()) {
        const char c = fmt[i];
        const char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        size_t run = 1;
        while (i + run < fmt.size() && (fmt[i + run] == c || fmt[i + run] == (u == c ? static_cast<char>(c + 32) : u)))
            ++run;
        bool hourToken = false;
        switch (u) {
            case '"':
            case '\'': {
                size_t j = fmt.find(c, i + 1);
                if (j == std::string_view::npos) j = fmt.size();
                out.append(fmt.substr(i + 1, j - i - 1));
                i = j + 1;
                continue;
            }
            case 'C':
                FormatDateTimeTo(out, fs.ShortDateFormat, value, fs, depth + 1);
                if (hour != 0 || min != 0 || sec != 0 || msec != 0) {
                    out.push_back(' ');
                    FormatDateTimeTo(out, fs.LongTimeFormat, value, fs, depth + 1);
                }
                i += 1;
                continue;
            case 'D':
                if (run == 1 || run == 2) AppendNumber(out, day, static_cast<int>(run));
                else if (run == 3) out += dow > 0 ? fs.ShortDayNames[dow - 1] : "";
                else if (run == 4) out += dow > 0 ? fs.LongDayNames[dow - 1] : "";
                else if (run == 5) FormatDateTimeTo(out, fs.ShortDateFormat, value, fs, depth + 1);
                else FormatDateTimeTo(out, fs.LongDateFormat, value, fs, depth + 1);
                i += std::min<size_t>(run, 6);
                lastWasHour = false;  // minutes only for an M right after the hour
                continue;
            case 'M':
                if (lastWasHour && run <= 2) {
                    AppendNumber(out, min, static_cast<int>(run));
                } else if (run <= 2) {
                    AppendNumber(out, month, static_cast<int>(run));
                } else if (run == 3) {
                    out += month > 0 ? fs.ShortMonthNames[month - 1] : "";
                } else {
                    out += month > 0 ? fs.LongMonthNames[month - 1] : "";
                    run = 4;
                }
                i += run;
                lastWasHour = false;
                continue;
            case 'Y':
                if (run <= 2) AppendNumber(out, year % 100, 2);
                else AppendNumber(out, year, 4);
                i += run;
                lastWasHour = false;
                continue;
            case 'H': {
                int h = hour;
                if (twelve) {
                    h = hour % 12;
                    if (h == 0) h = 12;
                }
                AppendNumber(out, h, run >= 2 ? 2 : 1);
                i += std::min<size_t>(run, 2);
                hourToken = true;
                break;
            }
            case 'N':
                AppendNumber(out, min, run >= 2 ? 2 : 1);
                i += std::min<size_t>(run, 2);
                break;
            case 'S':
                AppendNumber(out, sec, run >= 2 ? 2 : 1);
                i += std::min<size_t>(run, 2);
                break;
            case 'Z':
                AppendNumber(out, msec, run >= 3 ? 3 : 1);
                i += std::min<size_t>(run, 3);
                break;
            case 'T':
                FormatDateTimeTo(out, run >= 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, value, fs, depth + 1);
                i += std::min<size_t>(run, 2);
                break;
            case 'A':
                if (StartsWithNoCase(fmt, i, "am/pm")) {
                    out += hour < 12 ? (fmt[i] == 'a' ? "am" : "AM") : (fmt[i] == 'a' ? "pm" : "PM");
                    i += 5;
                } else if (StartsWithNoCase(fmt, i, "a/p")) {
                    out += hour < 12 ? (fmt[i] == 'a' ? "a" : "A") : (fmt[i] == 'a' ? "p" : "P");
                    i += 3;
                } else if (StartsWithNoCase(fmt, i, "ampm")) {
                    const AnsiString& s = hour < 12 ? fs.TimeAMString : fs.TimePMString;
                    out += s.empty() ? (hour < 12 ? "AM" : "PM") : s;
                    i += 4;
                } else {
                    out.push_back(c);
                    i += 1;
                }
                break;
            case '/':
                out.push_back(fs.DateSeparator);
                i += 1;
                break;
            case ':':
                out.push_back(fs.TimeSeparator);
                i += 1;
                break;
            default:
                out.push_back(c);
                i += 1;
                break;
        }
        if (u != ' ' && u != ':' && u != '/' && u != '.') lastWasHour = hourToken;
    }
}

// --- dates and times: parsing ----------------------------------------------------------------

struct TScanner {
    std::string_view S;
    size_t Pos = 0;
    void SkipBlanks() {
        while (Pos < S.size() && S[Pos] == ' ') ++Pos;
    }
    bool Char(char c) {
        SkipBlanks();
        if (Pos < S.size() && S[Pos] == c) {
            ++Pos;
            return true;
        }
        return false;
    }
    bool Number(int& value, int& length) {
        SkipBlanks();
        size_t start = Pos;
        int v = 0;
        while (Pos < S.size() && S[Pos] >= '0' && S[Pos] <= '9' && Pos - start < 9) {
            v = v * 10 + (S[Pos] - '0');
            ++Pos;
        }
        length = static_cast<int>(Pos - start);
        if (length == 0) return false;
        value = v;
        return true;
    }
    bool AtEnd() {
        SkipBlanks();
        return Pos >= S.size();
    }
};

enum TDateOrder { doMDY, doDMY, doYMD };

TDateOrder GetDateOrder(std::string_view fmt) {
    for (char c : fmt) {
        switch (c) {
            case 'd': case 'D': return doDMY;
            case 'm': case 'M': return doMDY;
            case 'y': case 'Y': return doYMD;
            default: break;
        }
    }
    return doMDY;
}

bool ScanDate(TScanner& sc, TDateTime& date, const TFormatSettings& fs) {
    const TDateOrder order = GetDateOrder(fs.ShortDateFormat);
    int n1, n2, n3 = 0, l1, l2, l3 = 0;
    if (!sc.Number(n1, l1)) return false;
    if (!sc.Char(fs.DateSeparator)) return false;
    if (!sc.Number(n2, l2)) return false;
    const size_t save = sc.Pos;
    bool three = false;
    if (sc.Char(fs.DateSeparator)) {
        if (sc.Number(n3, l3)) three = true;
        else sc.Pos = save;
    }
    int y, m, d, yl;
    int curY, curM, curD;
    DecodeDate(ClockNow(), curY, curM, curD);
    if (three) {
        switch (order) {
            case doMDY: m = n1; d = n2; y = n3; yl = l3; break;
            case doDMY: d = n1; m = n2; y = n3; yl = l3; break;
            default: y = n1; yl = l1; m = n2; d = n3; break;
        }
    } else {
        y = curY;
        yl = 4;
        if (order == doMDY) { m = n1; d = n2; }
        else if (order == doDMY) { d = n1; m = n2; }
        else { m = n1; d = n2; }
    }
    if (y <= 99 && yl <= 2) {
        const int window = fs.TwoDigitYearCenturyWindow;
        const int century = curY - window;
        y += century / 100 * 100;
        if (window > 0 && y < century) y += 100;
    }
    // A trailing date separator ("31.12.2020.") is tolerated.
    if (sc.Pos < sc.S.size() && sc.S[sc.Pos] == fs.DateSeparator) ++sc.Pos;
    return TryEncodeDate(y, m, d, date);
}

bool ScanTime(TScanner& sc, TDateTime& time, const TFormatSettings& fs) {
    int h, m = 0, s = 0, ms = 0, l;
    if (!sc.Number(h, l)) return false;
    bool hasMin = false;
    if (sc.Char(fs.TimeSeparator)) {
        if (!sc.Number(m, l)) return false;
        hasMin = true;
        if (sc.Char(fs.TimeSeparator)) {
            if (!sc.Number(s, l)) return false;
            if (sc.Pos < sc.S.size() && (sc.S[sc.Pos] == '.' || sc.S[sc.Pos] == fs.DecimalSeparator)) {
                ++sc.Pos;
                int raw;
                if (!sc.Number(raw, l)) return false;
                if (l > 3) return false;
                ms = raw * (l == 1 ? 100 : l == 2 ? 10 : 1);
            }
        }
    }
    // Twelve-hour suffixes.
    sc.SkipBlanks();
    int ampm = 0;
    auto tryWord = [&](std::string_view w, int kind) {
        if (!w.empty() && StartsWithNoCase(sc.S, sc.Pos, w)) {
            sc.Pos += w.size();
            ampm = kind;
            return true;
        }
        return false;
    };
    if (!(tryWord(fs.TimeAMString, 1) || tryWord(fs.TimePMString, 2) || tryWord("AM", 1) || tryWord("PM", 2))) {
        if (!hasMin) return false;
    }
    if (ampm != 0) {
        if (h < 1 || h > 12) return false;
        if (ampm == 1 && h == 12) h = 0;
        else if (ampm == 2 && h < 12) h += 12;
    }
    return TryEncodeTime(h, m, s, ms, time);
}

// Scans the whole text with one scanner; value changes only when nothing is left over.
template <class Scan>
bool ScanWhole(std::string_view s, TDateTime& value, Scan&& scan) {
    TScanner sc{s};
    TDateTime v;
    if (!scan(sc, v) || !sc.AtEnd()) return false;
    value = v;
    return true;
}

}  // namespace

AnsiString FormatDateTime(std::string_view format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings());
}

AnsiString FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs) {
    AnsiString out;
    FormatDateTimeTo(out, format.empty() ? std::string_view("c") : format, value, fs, 0);
    return out;
}

AnsiString DateToStr(TDateTime value) { return DateToStr(value, FormatSettings()); }
AnsiString DateToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("ddddd", value, fs); }
AnsiString TimeToStr(TDateTime value) { return TimeToStr(value, FormatSettings()); }
AnsiString TimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("tt", value, fs); }
AnsiString DateTimeToStr(TDateTime value) { return DateTimeToStr(value, FormatSettings()); }
AnsiString DateTimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("c", value, fs); }

bool TryStrToDate(std::string_view s, TDateTime& value) { return TryStrToDate(s, value, FormatSettings()); }
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
    return ScanWhole(s, value, [&](TScanner& sc, TDateTime& d) { return ScanDate(sc, d, fs); });
}
TDateTime StrToDate(std::string_view s) { return StrToDate(s, FormatSettings()); }
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs) {
    return ParseOrRaise<TDateTime>(s, kInvalidDate, [&](std::string_view t, TDateTime& r) { return TryStrToDate(t, r, fs); });
}
TDateTime StrToDateDef(std::string_view s, TDateTime def) {
    return ParseOrDefault<TDateTime>(s, def, [](std::string_view t, TDateTime& r) { return TryStrToDate(t, r); });
}

bool TryStrToTime(std::string_view s, TDateTime& value) { return TryStrToTime(s, value, FormatSettings()); }
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
    return ScanWhole(s, value, [&](TScanner& sc, TDateTime& t) { return ScanTime(sc, t, fs); });
}
TDateTime StrToTime(std::string_view s) { return StrToTime(s, FormatSettings()); }
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs) {
    return ParseOrRaise<TDateTime>(s, kInvalidTime, [&](std::string_view t, TDateTime& r) { return TryStrToTime(t, r, fs); });
}
TDateTime StrToTimeDef(std::string_view s, TDateTime def) {
    return ParseOrDefault<TDateTime>(s, def, [](std::string_view t, TDateTime& r) { return TryStrToTime(t, r); });
}

bool TryStrToDateTime(std::string_view s, TDateTime& value) { return TryStrToDateTime(s, value, FormatSettings()); }
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs) {
    {
        TScanner sc{s};
        TDateTime d, t;
        if (ScanDate(sc, d, fs)) {
            if (sc.AtEnd()) {
                value = d;
                return true;
            }
            if (ScanTime(sc, t, fs) && sc.AtEnd()) {
                value = ComposeDateTime(d, t);
                return true;
            }
        }
    }
    return ScanWhole(s, value, [&](TScanner& sc, TDateTime& t) { return ScanTime(sc, t, fs); });
}
TDateTime StrToDateTime(std::string_view s) { return StrToDateTime(s, FormatSettings()); }
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs) {
    return ParseOrRaise<TDateTime>(s, kInvalidDateTime, [&](std::string_view t, TDateTime& r) { return TryStrToDateTime(t, r, fs); });
}
TDateTime StrToDateTimeDef(std::string_view s, TDateTime def) {
    return ParseOrDefault<TDateTime>(s, def, [](std::string_view t, TDateTime& r) { return TryStrToDateTime(t, r); });
}

}  // namespace rtl
