// The routines behind the date-time editor's edit format.
#include <algorithm>
#include <cstring>

#include "controls/editors/DBCtrlsEh.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"

namespace editors {

namespace {

constexpr char ElementLetters[DateTimeElementCountEh + 1] = "YMDHNS";

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The element of a letter (either case), or -1.
int ElementOf(char c) {
    const char u = Upper(c);
    if (u == '\0') return -1;
    const char* p = std::strchr(ElementLetters, u);
    return p ? static_cast<int>(p - ElementLetters) : -1;
}

// The mask's own escape character is special too: a literal backslash must not escape the next one.
bool IsMaskSpecial(char c) { return c != '\0' && std::strchr("!#09;<>aAcClL\\", c) != nullptr; }

AnsiString Quoted(char c) { return AnsiString("\"") + c + "\""; }

}  // namespace

TDateOrderEh LocaleDateOrder() {
    for (char c : rtl::FormatSettings().ShortDateFormat) {
        switch (Upper(c)) {
            case 'D': return doDMYEh;
            case 'M': return doMDYEh;
            case 'Y': return doYMDEh;
            default: break;
        }
    }
    return doDMYEh;
}

AnsiString DefaultDateEditFormat(bool FourDigits) {
    const char* year = FourDigits ? "YYYY" : "YY";
    switch (LocaleDateOrder()) {
        case doMDYEh: return AnsiString("MM/DD/") + year;
        case doYMDEh: return AnsiString(year) + "/MM/DD";
        default: return AnsiString("DD/MM/") + year;
    }
}

AnsiString DefaultTimeEditFormat() { return "HH:NN:SS"; }

void CompileDateTimeEditFormat(const AnsiString& Format, AnsiString& Mask, TDateTimeElementsEh& Elements) {
    TDateTimeElementsEh elements{};
    AnsiString mask;
    int runElement = -1, runCount = 0;
    int textPos = 1;
    bool escaped = false;

    auto closeRun = [&] {
        if (runElement < 0) return;
        const char letter = ElementLetters[runElement];
        if (!(runCount == 2 || (runElement == dteYear && runCount == 4)))
            throw rtl::Exception("Invalid datetime format element length: " + Quoted(letter));
        TDateTimeElementPosEh& e = elements[static_cast<size_t>(runElement)];
        if (e.Present) throw rtl::Exception("Duplicating datetime format element: " + Quoted(letter));
        e = {textPos - runCount, runCount, true};
        mask.append(static_cast<size_t>(runCount), '9');
        runElement = -1;
        runCount = 0;
    };

    for (size_t i = 0; i < Format.size(); ++i) {
        const char c = Format[i];
        const int element = escaped ? -1 : ElementOf(c);
        if (element >= 0) {
            if (element == runElement) {
                ++runCount;
                if (runCount > (element == dteYear ? 4 : 2))
                    throw rtl::Exception("Element in EditFormat: \"" + Format +
                                         "\" is too long. Pos: " + std::to_string(i + 1));
            } else {
                closeRun();
                runElement = element;
                runCount = 1;
            }
            ++textPos;
            continue;
        }
        closeRun();
        if (c == '\\' && !escaped) {
            escaped = true;
            continue;
        }
        if (IsMaskSpecial(c)) mask.push_back('\\');
        mask.push_back(c);
        escaped = false;
        ++textPos;
    }
    closeRun();
    Mask = "!" + mask + ";1; ";
    Elements = elements;
}

AnsiString DateTimeEditDisplayFormat(const AnsiString& Format) {
    AnsiString out;
    bool escaped = false, quoting = false;
    for (char c : Format) {
        if (c == '\\' && !escaped) {
            escaped = true;
            continue;
        }
        if (!escaped && (ElementOf(c) >= 0 || c == '/' || c == ':')) {
            if (quoting) out.push_back('\'');
            quoting = false;
            out.push_back(Upper(c));
        } else if (c == '\'') {
            // The formatter drops a doubled apostrophe; a double-quoted one keeps the layout.
            if (quoting) out.push_back('\'');
            quoting = false;
            out += "\"'\"";
        } else {
            if (!quoting) out.push_back('\'');
            quoting = true;
            out.push_back(c);
        }
        escaped = false;
    }
    if (quoting) out.push_back('\'');
    return out;
}

AnsiString DateTimeEditStepTemplate(const AnsiString& Format) {
    AnsiString out;
    bool escaped = false;
    for (char c : Format) {
        if (c == '\\' && !escaped) {
            escaped = true;
            continue;
        }
        if (!escaped && (ElementOf(c) >= 0 || c == '/' || c == ':'))
            out.push_back(Upper(c));
        else
            out.push_back(' ');
        escaped = false;
    }
    return out;
}

int TodayYear() { return rtl::YearOf(rtl::Now()); }

int ExpandTwoDigitYear(int Year) {
    if (Year >= 100) return Year;
    const int start = TodayYear() - DateTimeCenturyWindowEh;
    Year += 100 * (start / 100);
    if (Year < start) Year += 100;
    return Year;
}

bool ParseDateTimeText(const AnsiString& Text, const TDateTimeElementsEh& Elements, TDateTimeValuesEh& Values) {
    bool all = true;
    for (size_t k = 0; k < Values.size(); ++k) {
        Values[k] = -1;
        const TDateTimeElementPosEh& e = Elements[k];
        if (!e.Present) continue;
        int value = -1;
        bool digits = false, bad = false;
        // A short text simply lacks the characters past its end.
        for (int p = e.Pos; p < e.Pos + e.Length; ++p) {
            if (p < 1 || p > static_cast<int>(Text.size())) continue;
            const char c = Text[static_cast<size_t>(p - 1)];
            if (c == ' ') continue;
            if (c < '0' || c > '9') {
                bad = true;
                break;
            }
            value = (digits ? value * 10 : 0) + (c - '0');
            digits = true;
        }
        if (bad || !digits) {
            all = false;
            continue;
        }
        if (k == dteYear) value = ExpandTwoDigitYear(value);
        Values[k] = value;
    }
    return all;
}

TDateTimeValuesEh DecomposeDateTimeValue(const Variant& Value) {
    TDateTimeValuesEh v{-1, -1, -1, -1, -1, -1};
    if (Value.IsNull() || Value.IsEmpty()) return v;
    int msec = 0;
    rtl::DecodeDateTime(Value.AsDateTime(), v[dteYear], v[dteMonth], v[dteDay], v[dteHour], v[dteMinute], v[dteSecond],
                        msec);
    return v;
}

bool ComposeDateTimeValues(const TDateTimeValuesEh& Values, const TDateTimeElementsEh& Elements, Variant& Value,
                           bool FixUp) {
    if (std::all_of(Values.begin(), Values.end(), [](int v) { return v == -1; })) {
        Value = Variant::Null();
        return true;
    }
    int y = Values[dteYear], m = Values[dteMonth], d = Values[dteDay];
    int h = Values[dteHour], n = Values[dteMinute], s = Values[dteSecond];
    if (FixUp) {
        int ty = 0, tm = 0, td = 0;
        rtl::DecodeDate(rtl::Date(), ty, tm, td);
        if (d < 1) d = td;
        if (m < 1) m = tm;
        if (y < 1) y = ty;
        m = std::min(m, 12);
        y = ExpandTwoDigitYear(std::min(y, 9999));
        d = std::min(d, rtl::DaysInMonth(y, m));
        h = std::clamp(h, 0, 23);
        n = std::clamp(n, 0, 59);
        s = std::clamp(s, 0, 59);
    } else {
        if (!Elements[dteYear].Present && y <= 0) y = 1;
        if (!Elements[dteMonth].Present && m <= 0) m = 1;
        if (!Elements[dteDay].Present && d <= 0) d = 1;
        if (!Elements[dteHour].Present && h < 0) h = 0;
        if (!Elements[dteMinute].Present && n < 0) n = 0;
        if (!Elements[dteSecond].Present && s < 0) s = 0;
    }
    bool valid = h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60;
    if (valid && !(y < 0 && m < 0 && d < 0)) {
        rtl::TDateTime probe = 0;
        valid = y >= 1 && y <= 9999 && m > 0 && d > 0 && rtl::TryEncodeDate(y, m, d, probe);
    }
    if (!valid) {
        Value = Variant::Null();
        return false;
    }
    int by = 1900, bm = 1, bd = 1, bh = 0, bn = 0, bs = 0, bms = 0;
    if (!Value.IsNull() && !Value.IsEmpty()) {
        try {
            rtl::DecodeDateTime(Value.AsDateTime(), by, bm, bd, bh, bn, bs, bms);
        } catch (const rtl::Exception&) {
            by = 1900, bm = 1, bd = 1, bh = bn = bs = bms = 0;
        }
    }
    if (Elements[dteYear].Present && y > 0) by = y;
    if (Elements[dteMonth].Present && m > 0) bm = m;
    if (Elements[dteDay].Present && d > 0) bd = d;
    if (Elements[dteHour].Present && h >= 0) bh = h;
    if (Elements[dteMinute].Present && n >= 0) bn = n;
    if (Elements[dteSecond].Present && s >= 0) bs = s;
    rtl::TDateTime result = 0;
    bool ok = (by == 0 && bm == 0 && bd == 0) ? rtl::TryEncodeTime(bh, bn, bs, bms, result)
                                              : rtl::TryEncodeDateTime(by, bm, bd, bh, bn, bs, bms, result);
    if (!ok) {
        // A kept day that the new month lacks (31 onto February) is no date either.
        Value = Variant::Null();
        return false;
    }
    Value = Variant::FromDate(result);
    return true;
}

namespace {

bool IsSeparatorAt(const AnsiString& Template, int Pos) {
    const char c = Template[static_cast<size_t>(Pos - 1)];
    const rtl::TFormatSettings& fs = rtl::FormatSettings();
    return c == fs.DateSeparator || c == fs.TimeSeparator || c == '/' || c == ':';
}

// Limits Pos to the template and steps over a separator; false when nothing lies there.
bool SettleOnElement(const AnsiString& Template, int& Pos) {
    const int len = static_cast<int>(Template.size());
    if (len == 0) return false;
    Pos = std::clamp(Pos, 1, len);
    if (IsSeparatorAt(Template, Pos)) {
        if (Pos + 1 > len) return false;
        ++Pos;
    }
    return ElementOf(Template[static_cast<size_t>(Pos - 1)]) >= 0;
}

// Start (1-based) and length of the element whose letter stands at Pos.
void ElementSpan(const AnsiString& Template, int Pos, int& Start, int& Length) {
    const char letter = Template[static_cast<size_t>(Pos - 1)];
    const size_t first = Template.find(letter);
    size_t last = first;
    while (last + 1 < Template.size() && Template[last + 1] == letter) ++last;
    Start = static_cast<int>(first) + 1;
    Length = static_cast<int>(last - first) + 1;
}

}  // namespace

AnsiString StepDateTimeElement(const AnsiString& Text, const AnsiString& Template, bool Up, int& Pos, int& SelLength) {
    int pos = Pos;
    if (!SettleOnElement(Template, pos)) return Text;
    int start = 0, length = 0;
    ElementSpan(Template, pos, start, length);
    const int element = ElementOf(Template[static_cast<size_t>(pos - 1)]);

    AnsiString result = Text;
    if (static_cast<int>(result.size()) < start - 1 + length)
        result.resize(static_cast<size_t>(start - 1 + length), ' ');
    int value = 0;
    if (!rtl::TryStrToInt(rtl::Trim(result.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length))), value))
        value = 0;

    int bottom = 0, top = 0;
    switch (element) {
        case dteDay: bottom = 1, top = 31; break;
        case dteMonth: bottom = 1, top = 12; break;
        case dteHour: bottom = 0, top = 23; break;
        case dteMinute:
        case dteSecond: bottom = 0, top = 59; break;
        default: bottom = 1, top = 9999; break;
    }
    // A two-digit year wraps between 99 and 00 so that it always fits its slot.
    if (element == dteYear && length < 4) bottom = 0, top = length == 1 ? 9 : 99;
    if (Up)
        value = value >= top ? bottom : std::max(value + 1, bottom);
    else
        value = value <= bottom ? top : std::min(value - 1, top);

    AnsiString digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < length) digits.insert(0, static_cast<size_t>(length) - digits.size(), '0');
    result.replace(static_cast<size_t>(start - 1), static_cast<size_t>(length), digits);
    Pos = start;
    SelLength = length;
    return result;
}

void DateElementAtSeparator(const AnsiString& /*Text*/, int& Pos, int& Len, bool FourDigits) {
    const AnsiString pattern = DefaultDateEditFormat(FourDigits);
    int pos = Pos;
    if (!SettleOnElement(pattern, pos)) return;
    ElementSpan(pattern, pos, Pos, Len);
}

}  // namespace editors
