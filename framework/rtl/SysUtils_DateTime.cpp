#include "framework/rtl/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

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

// How a token leaves the "an hour was just written" mark, which makes a following m or mm the
// minutes rather than the month.
enum class THourMark { Keep, Clear, Set };

struct TFormatState {
    AnsiString& Out;
    std::string_view Fmt;
    TDateTime Value;
    const TFormatSettings& Fs;
    int Depth;
    int Year, Month, Day, Hour, Min, Sec, MSec, DayOfWeek;
    bool Twelve;     // a twelve-hour clock: the format names an am/pm part anywhere
    bool AfterHour;  // the last token (separators aside) was the hour
};

void FormatDateTimeTo(AnsiString& out, std::string_view fmt, TDateTime value, const TFormatSettings& fs, int depth);

void Nested(TFormatState& S, std::string_view Fmt) { FormatDateTimeTo(S.Out, Fmt, S.Value, S.Fs, S.Depth + 1); }

// The am/pm forms: lower case when the format's "a" is, "ampm" from the settings.
struct TAmPmForm {
    std::string_view Text;
    std::string_view Lower[2], Upper[2];  // morning, afternoon
    bool FromSettings;
};
constexpr TAmPmForm kAmPmForms[] = {
    {"am/pm", {"am", "pm"}, {"AM", "PM"}, false},
    {"a/p", {"a", "p"}, {"A", "P"}, false},
    {"ampm", {}, {"AM", "PM"}, true},
};

const TAmPmForm* AmPmFormAt(std::string_view Fmt, size_t At) {
    for (const TAmPmForm& form : kAmPmForms)
        if (StartsWithNoCase(Fmt, At, form.Text)) return &form;
    return nullptr;
}

// One letter (or quote) of the format. Write gets the run of that letter, in either case, that
// starts at At, and answers how many characters it used; the rest of a long run is read again.
struct TFormatToken {
    char Letter;  // upper case
    THourMark Mark;
    size_t (*Write)(TFormatState& S, size_t At, size_t Run);
};

size_t WriteNumber(TFormatState& S, int Value, size_t Width, size_t Used) {
    AppendNumber(S.Out, Value, static_cast<int>(Width));
    return Used;
}

size_t WriteQuoted(TFormatState& S, size_t At, size_t) {
    size_t close = S.Fmt.find(S.Fmt[At], At + 1);
    if (close == std::string_view::npos) close = S.Fmt.size();
    S.Out.append(S.Fmt.substr(At + 1, close - At - 1));
    return close + 1 - At;
}

size_t WriteDateTime(TFormatState& S, size_t, size_t) {
    Nested(S, S.Fs.ShortDateFormat);
    // Midnight is a date alone.
    if (S.Hour != 0 || S.Min != 0 || S.Sec != 0 || S.MSec != 0) {
        S.Out.push_back(' ');
        Nested(S, S.Fs.LongTimeFormat);
    }
    return 1;
}

size_t WriteDay(TFormatState& S, size_t, size_t Run) {
    const AnsiString* names[] = {S.Fs.ShortDayNames, S.Fs.LongDayNames};
    switch (Run) {
        case 1:
        case 2: return WriteNumber(S, S.Day, Run, Run);
        case 3:
        case 4: S.Out += S.DayOfWeek > 0 ? names[Run - 3][S.DayOfWeek - 1] : ""; return Run;
        case 5: Nested(S, S.Fs.ShortDateFormat); return 5;
        default: Nested(S, S.Fs.LongDateFormat); return 6;
    }
}

size_t WriteMonth(TFormatState& S, size_t, size_t Run) {
    if (Run <= 2) return WriteNumber(S, S.AfterHour ? S.Min : S.Month, Run, Run);
    const AnsiString* names = Run == 3 ? S.Fs.ShortMonthNames : S.Fs.LongMonthNames;
    S.Out += S.Month > 0 ? names[S.Month - 1] : "";
    return std::min<size_t>(Run, 4);
}

size_t WriteYear(TFormatState& S, size_t, size_t Run) {
    // A run of any length is one year: two digits up to "yy", four from "yyy".
    return Run <= 2 ? WriteNumber(S, S.Year % 100, 2, Run) : WriteNumber(S, S.Year, 4, Run);
}

size_t WriteHour(TFormatState& S, size_t, size_t Run) {
    const int hour = S.Twelve ? (S.Hour % 12 == 0 ? 12 : S.Hour % 12) : S.Hour;
    return WriteNumber(S, hour, Run >= 2 ? 2 : 1, std::min<size_t>(Run, 2));
}

size_t WriteMinute(TFormatState& S, size_t, size_t Run) {
    return WriteNumber(S, S.Min, Run >= 2 ? 2 : 1, std::min<size_t>(Run, 2));
}

size_t WriteSecond(TFormatState& S, size_t, size_t Run) {
    return WriteNumber(S, S.Sec, Run >= 2 ? 2 : 1, std::min<size_t>(Run, 2));
}

size_t WriteMillisecond(TFormatState& S, size_t, size_t Run) {
    return WriteNumber(S, S.MSec, Run >= 3 ? 3 : 1, std::min<size_t>(Run, 3));
}

size_t WriteTime(TFormatState& S, size_t, size_t Run) {
    Nested(S, Run >= 2 ? S.Fs.LongTimeFormat : S.Fs.ShortTimeFormat);
    return std::min<size_t>(Run, 2);
}

size_t WriteAmPm(TFormatState& S, size_t At, size_t) {
    const TAmPmForm* form = AmPmFormAt(S.Fmt, At);
    if (!form) {
        S.Out.push_back(S.Fmt[At]);  // a lone "a" is text
        return 1;
    }
    const int half = S.Hour < 12 ? 0 : 1;
    const AnsiString& own = half == 0 ? S.Fs.TimeAMString : S.Fs.TimePMString;
    if (form->FromSettings && !own.empty())
        S.Out += own;
    else
        S.Out += (S.Fmt[At] == 'a' && !form->FromSettings ? form->Lower : form->Upper)[half];
    return form->Text.size();
}

size_t WriteDateSeparator(TFormatState& S, size_t, size_t) {
    S.Out.push_back(S.Fs.DateSeparator);
    return 1;
}

size_t WriteTimeSeparator(TFormatState& S, size_t, size_t) {
    S.Out.push_back(S.Fs.TimeSeparator);
    return 1;
}

constexpr TFormatToken kFormatTokens[] = {
    {'"', THourMark::Keep, WriteQuoted},        {'\'', THourMark::Keep, WriteQuoted},
    {'C', THourMark::Keep, WriteDateTime},      {'D', THourMark::Clear, WriteDay},
    {'M', THourMark::Clear, WriteMonth},        {'Y', THourMark::Clear, WriteYear},
    {'H', THourMark::Set, WriteHour},           {'N', THourMark::Clear, WriteMinute},
    {'S', THourMark::Clear, WriteSecond},       {'Z', THourMark::Clear, WriteMillisecond},
    {'T', THourMark::Clear, WriteTime},         {'A', THourMark::Clear, WriteAmPm},
    {'/', THourMark::Keep, WriteDateSeparator}, {':', THourMark::Keep, WriteTimeSeparator},
};

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Appends the value as the format's tokens write it; any other character is copied as it stands.
// The tokens that name another format (c, ddddd, dddddd, t, tt) are followed two levels deep at most.
void FormatDateTimeTo(AnsiString& out, std::string_view fmt, TDateTime value, const TFormatSettings& fs, int depth) {
    if (depth > 2) return;
    TFormatState state{out, fmt, value, fs, depth, 0, 0, 0, 0, 0, 0, 0, DayOfWeek(value), false, false};
    DecodeDateTime(value, state.Year, state.Month, state.Day, state.Hour, state.Min, state.Sec, state.MSec);
    for (size_t i = 0; i < fmt.size() && !state.Twelve; ++i) state.Twelve = AmPmFormAt(fmt, i) != nullptr;
    size_t i = 0;
    while (i < fmt.size()) {
        const char letter = UpperAscii(fmt[i]);
        size_t run = 1;
        while (i + run < fmt.size() && UpperAscii(fmt[i + run]) == letter) ++run;
        const auto token = std::find_if(std::begin(kFormatTokens), std::end(kFormatTokens),
                                        [&](const TFormatToken& t) { return t.Letter == letter; });
        THourMark mark;
        if (token != std::end(kFormatTokens)) {
            i += token->Write(state, i, run);
            mark = token->Mark;
        } else {
            out.push_back(fmt[i++]);
            mark = letter == ' ' || letter == '.' ? THourMark::Keep : THourMark::Clear;
        }
        if (mark != THourMark::Keep) state.AfterHour = mark == THourMark::Set;
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
            case 'd':
            case 'D': return doDMY;
            case 'm':
            case 'M': return doMDY;
            case 'y':
            case 'Y': return doYMD;
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
        if (sc.Number(n3, l3))
            three = true;
        else
            sc.Pos = save;
    }
    int y, m, d, yl;
    int curY, curM, curD;
    DecodeDate(ClockNow(), curY, curM, curD);
    if (three) {
        switch (order) {
            case doMDY:
                m = n1;
                d = n2;
                y = n3;
                yl = l3;
                break;
            case doDMY:
                d = n1;
                m = n2;
                y = n3;
                yl = l3;
                break;
            default:
                y = n1;
                yl = l1;
                m = n2;
                d = n3;
                break;
        }
    } else {
        y = curY;
        yl = 4;
        if (order == doMDY) {
            m = n1;
            d = n2;
        } else if (order == doDMY) {
            d = n1;
            m = n2;
        } else {
            m = n1;
            d = n2;
        }
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
        if (ampm == 1 && h == 12)
            h = 0;
        else if (ampm == 2 && h < 12)
            h += 12;
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
    return ParseOrRaise<TDateTime>(s, kInvalidDate,
                                   [&](std::string_view t, TDateTime& r) { return TryStrToDate(t, r, fs); });
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
    return ParseOrRaise<TDateTime>(s, kInvalidTime,
                                   [&](std::string_view t, TDateTime& r) { return TryStrToTime(t, r, fs); });
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
    return ParseOrRaise<TDateTime>(s, kInvalidDateTime,
                                   [&](std::string_view t, TDateTime& r) { return TryStrToDateTime(t, r, fs); });
}
TDateTime StrToDateTimeDef(std::string_view s, TDateTime def) {
    return ParseOrDefault<TDateTime>(s, def, [](std::string_view t, TDateTime& r) { return TryStrToDateTime(t, r); });
}

}  // namespace rtl
