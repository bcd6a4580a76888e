#include "framework/rtl/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Text.h"
#include "framework/rtl/Variant.h"

namespace rtl {

namespace {

AnsiString A(const char8_t* s) { return UTF8ToAnsi(reinterpret_cast<const char*>(s)); }

AnsiString Quote1(std::string_view fmt, std::string_view s) {
    // Messages of the form "'%s' is not a valid ..."
    AnsiString r;
    r.reserve(fmt.size() + s.size());
    size_t p = fmt.find("%s");
    r.append(fmt.substr(0, p));
    r.append(s);
    r.append(fmt.substr(p + 2));
    return r;
}

[[noreturn]] void ConvertError(std::string_view fmt, std::string_view s) {
    throw EConvertError(Quote1(fmt, s));
}

// The raising and defaulting forms of a Try parser.
template <class T, class Try>
T ParseOrRaise(std::string_view s, std::string_view message, Try&& tryParse) {
    T v{};
    if (!tryParse(s, v)) ConvertError(message, s);
    return v;
}

template <class T, class Try>
T ParseOrDefault(std::string_view s, T def, Try&& tryParse) {
    T v{};
    return tryParse(s, v) ? v : def;
}

constexpr const char* kInvalidInteger = "'%s' is not a valid integer value";
constexpr const char* kInvalidFloat = "'%s' is not a valid floating point value";
constexpr const char* kInvalidDate = "'%s' is not a valid date";
constexpr const char* kInvalidTime = "'%s' is not a valid time";
constexpr const char* kInvalidDateTime = "'%s' is not a valid date and time";
constexpr const char* kInvalidBoolean = "'%s' is not a valid boolean value";
constexpr const char* kInvalidGUID = "'%s' is not a valid GUID value";
constexpr const char* kInvalidFormat = "Format '%s' invalid or incompatible with argument";

// Widths and precisions come from format strings that users may type; inserting one character at a
// time would take quadratic time on a wide field.
void PadLeft(std::string& s, int width, char c = '0') {
    if (width > 0 && s.size() < static_cast<size_t>(width)) s.insert(0, static_cast<size_t>(width) - s.size(), c);
}

// The largest width or precision a Format directive may ask for.
constexpr int kMaxFormatWidth = 999999;

// Blanks and control characters at either end, for both kinds of text.
template <class C>
std::basic_string_view<C> TrimEnds(std::basic_string_view<C> s, bool left, bool right) {
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && static_cast<std::make_unsigned_t<C>>(s[b]) <= ' ') ++b;
    if (right)
        while (e > b && static_cast<std::make_unsigned_t<C>>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::string_view TrimView(std::string_view s) { return TrimEnds(s, true, true); }

// --- decimal digits of a double -------------------------------------------------------------

// value = 0.Digits x 10^Exponent; Digits has no trailing zeros; empty Digits is zero.
struct TDecimal {
    bool Negative = false;
    int Exponent = 0;
    std::string Digits;
};

// Rounds a digit string (0.D x 10^exp) half away from zero to keep digits.
void RoundDigits(TDecimal& d, int keep) {
    if (keep < 0) {
        d.Digits.clear();
        return;
    }
    if (static_cast<size_t>(keep) >= d.Digits.size()) return;
    const bool up = d.Digits[keep] >= '5';
    d.Digits.resize(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[i] == '9') {
            d.Digits[i] = '0';
            --i;
        }
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Exponent;
        } else {
            ++d.Digits[i];
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
}

constexpr int kNoLimit = 1 << 20;

// The double rounded first to precision significant digits, then to decimals places.
TDecimal FloatToDecimal(double value, int precision, int decimals) {
    TDecimal d;
    d.Negative = std::signbit(value);
    double a = std::fabs(value);
    if (a == 0) return d;
    // d.ddd...e+XX, the same text as printf's %.40e without the locale and format parsing.
    char buf[64];
    const char* const end = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 40).ptr;
    const char* const e = std::find(static_cast<const char*>(buf), end, 'e');
    d.Digits.reserve(41);
    d.Digits.push_back(buf[0]);
    d.Digits.append(buf + 2, static_cast<size_t>(e - (buf + 2)));
    int exponent = 0;
    const char* x = e + 1;
    if (*x == '+') ++x;
    std::from_chars(x, end, exponent);
    d.Exponent = exponent + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    RoundDigits(d, precision);
    if (!d.Digits.empty() && decimals < kNoLimit) RoundDigits(d, d.Exponent + decimals);
    // A rounding step of 0.0x at decimals 0 may have removed every digit but carried an
    // exponent; a zero has none.
    if (d.Digits.empty()) d.Exponent = 0;
    return d;
}

// Exact digits of an integer scaled by 10^-scale.
TDecimal ScaledToDecimal(int64_t scaled, int scale) {
    TDecimal d;
    d.Negative = scaled < 0;
    uint64_t u = d.Negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    if (u == 0) return d;
    d.Digits = std::to_string(u);
    d.Exponent = static_cast<int>(d.Digits.size()) - scale;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    return d;
}

bool IsZero(const TDecimal& d) { return d.Digits.empty(); }

// Integer part digits ("" when below 1).
std::string IntDigits(const TDecimal& d) {
    std::string r;
    for (int i = 0; i < d.Exponent; ++i)
        r.push_back(i < static_cast<int>(d.Digits.size()) ? d.Digits[i] : '0');
    return r;
}

// Fraction digits padded or cut to count.
std::string FracDigits(const TDecimal& d, int count) {
    std::string r;
    for (int i = 0; i < count; ++i) {
        const int idx = d.Exponent + i;
        r.push_back(idx >= 0 && idx < static_cast<int>(d.Digits.size()) ? d.Digits[idx] : '0');
    }
    return r;
}

std::string GroupThousands(const std::string& digits, char sep) {
    if (sep == 0 || digits.size() <= 3) return digits;
    std::string r;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        r.push_back(digits[i]);
        const size_t rest = n - 1 - i;
        if (rest > 0 && rest % 3 == 0) r.push_back(sep);
    }
    return r;
}

AnsiString FixedText(const TDecimal& d, int digits, char decSep, char thouSep) {
    std::string ip = IntDigits(d);
    if (ip.empty()) ip = "0";
    ip = GroupThousands(ip, thouSep);
    if (digits > 0) {
        ip.push_back(decSep);
        ip += FracDigits(d, digits);
    }
    return ip;
}

AnsiString ExpText(const TDecimal& d, int precision, int expDigits, bool plusSign, char decSep) {
    std::string r;
    std::string dg = d.Digits;
    if (dg.empty()) dg = "0";
    if (precision > 0)
        while (static_cast<int>(dg.size()) < precision) dg.push_back('0');
    r.push_back(dg[0]);
    if (dg.size() > 1) {
        r.push_back(decSep);
        r.append(dg, 1, std::string::npos);
    }
    int exp = IsZero(d) ? 0 : d.Exponent - 1;
    r.push_back('E');
    if (exp < 0) {
        r.push_back('-');
        exp = -exp;
    } else if (plusSign) {
        r.push_back('+');
    }
    std::string es = std::to_string(exp);
    PadLeft(es, expDigits);
    r += es;
    return r;
}

AnsiString ApplyCurrencyFormat(const AnsiString& number, bool negative, const TFormatSettings& fs) {
    const AnsiString& c = fs.CurrencyString;
    if (!negative) {
        switch (fs.CurrencyFormat) {
            case 0: return c + number;
            case 1: return number + c;
            case 2: return c + " " + number;
            default: return number + " " + c;
        }
    }
    switch (fs.NegCurrFormat) {
        case 0: return "(" + c + number + ")";
        case 1: return "-" + c + number;
        case 2: return c + "-" + number;
        case 3: return c + number + "-";
        case 4: return "(" + number + c + ")";
        case 5: return "-" + number + c;
        case 6: return number + "-" + c;
        case 7: return number + c + "-";
        case 8: return "-" + number + " " + c;
        case 9: return "-" + c + " " + number;
        case 10: return number + " " + c + "-";
        case 11: return c + " " + number + "-";
        case 12: return c + " -" + number;
        case 13: return number + "- " + c;
        case 14: return "(" + c + " " + number + ")";
        default: return "(" + number + " " + c + ")";
    }
}

// Formats a decimal the way FloatToStrF does; the decimal is already the double's exact digits
// (or a currency's) and is rounded here.
AnsiString DecimalToStrF(TDecimal d, TFloatFormat format, int precision, int digits,
                         const TFormatSettings& fs, bool fromCurrency) {
    const char sep = fs.DecimalSeparator;
    switch (format) {
        case ffGeneral: {
            RoundDigits(d, precision);
            if (IsZero(d)) return "0";
            AnsiString r = d.Negative ? "-" : "";
            if (d.Exponent > precision || d.Exponent < -3) {
                TDecimal t = d;
                return r + ExpText(t, 0, digits, false, sep);
            }
            std::string ip = IntDigits(d);
            if (ip.empty()) ip = "0";
            r += ip;
            const int fracCount = static_cast<int>(d.Digits.size()) - d.Exponent;
            if (fracCount > 0) {
                r.push_back(sep);
                r += FracDigits(d, fracCount);
            }
            return r;
        }
        case ffExponent: {
            if (digits > 4) digits = 4;
            RoundDigits(d, precision);
            if (IsZero(d)) d.Negative = false;
            AnsiString r = d.Negative ? "-" : "";
            return r + ExpText(d, precision, digits, true, sep);
        }
        case ffFixed:
        case ffNumber:
        case ffCurrency: {
            if (digits < 0) digits = 0;
            if (digits > 18) digits = 18;
            if (!fromCurrency && d.Exponent > precision && format != ffCurrency)
                return DecimalToStrF(d, ffExponent, precision, 0, fs, fromCurrency);
            if (!fromCurrency) RoundDigits(d, precision);
            if (!IsZero(d)) RoundDigits(d, d.Exponent + digits);
            if (IsZero(d)) d.Negative = false;
            const char thou = format == ffFixed ? 0 : fs.ThousandSeparator;
            AnsiString num = FixedText(d, digits, sep, thou);
            if (format == ffCurrency) return ApplyCurrencyFormat(num, d.Negative, fs);
            return d.Negative ? "-" + num : num;
        }
    }
    return {};
}

AnsiString SpecialFloat(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// --- picture formats -----------------------------------------------------------------------

struct TPicture {
    std::string_view Text;
    int IntPlaces = 0;      // placeholders before the point
    int MinInt = 0;         // from the first '0' before the point
    int FracPlaces = 0;     // placeholders after the point
    int MinFrac = 0;        // up to the last '0' after the point
    bool HasPoint = false;
    bool Thousands = false;
    bool Scientific = false;
    bool ExpPlus = false;
    int ExpDigits = 0;
};

TPicture AnalysePicture(std::string_view sec) {
    TPicture p;
    p.Text = sec;
    bool firstZeroSeen = false;
    for (size_t i = 0; i < sec.size(); ++i) {
        const char c = sec[i];
        if (c == '"' || c == '\'') {
            size_t j = sec.find(c, i + 1);
            i = j == std::string_view::npos ? sec.size() : j;
            continue;
        }
        if (p.Scientific) continue;
        if (c == '0' || c == '#') {
            if (!p.HasPoint) {
                ++p.IntPlaces;
                if (c == '0') firstZeroSeen = true;
                if (firstZeroSeen) ++p.MinInt;
            } else {
                ++p.FracPlaces;
                if (c == '0') p.MinFrac = p.FracPlaces;
            }
        } else if (c == '.') {
            p.HasPoint = true;
        } else if (c == ',') {
            if (!p.HasPoint) p.Thousands = true;
        } else if ((c == 'E' || c == 'e') && i + 1 < sec.size() && (sec[i + 1] == '+' || sec[i + 1] == '-')) {
            p.Scientific = true;
            p.ExpPlus = sec[i + 1] == '+';
            size_t j = i + 2;
            while (j < sec.size() && sec[j] == '0') {
                ++p.ExpDigits;
                ++j;
            }
        }
    }
    return p;
}

AnsiString RenderPicture(const TPicture& p, TDecimal d, const TFormatSettings& fs, bool addMinus, int precision) {
    std::string intText, fracText, expText;
    if (p.Scientific) {
        const int intPlaces = p.IntPlaces > 0 ? p.IntPlaces : 1;
        RoundDigits(d, std::min(precision, intPlaces + p.FracPlaces));
        int exp = IsZero(d) ? 0 : d.Exponent - intPlaces;
        TDecimal m = d;
        m.Exponent = intPlaces;
        intText = IntDigits(m);
        size_t lead = 0;
        while (lead + 1 < intText.size() && intText[lead] == '0' && static_cast<int>(intText.size() - lead) > p.MinInt)
            ++lead;
        intText.erase(0, lead);
        fracText = FracDigits(m, p.FracPlaces);
        if (exp < 0) {
            expText = "-";
            exp = -exp;
        } else if (p.ExpPlus) {
            expText = "+";
        }
        std::string es = std::to_string(exp);
        PadLeft(es, p.ExpDigits);
        expText += es;
    } else {
        RoundDigits(d, precision);
        if (!IsZero(d)) RoundDigits(d, d.Exponent + p.FracPlaces);
        intText = IntDigits(d);
        PadLeft(intText, p.MinInt);
        fracText = FracDigits(d, p.FracPlaces);
    }
    while (static_cast<int>(fracText.size()) > p.MinFrac && !fracText.empty() && fracText.back() == '0')
        fracText.pop_back();
    if (IsZero(d)) addMinus = false;

    AnsiString out;
    const int nInt = static_cast<int>(intText.size());
    int intPh = 0, fracPh = 0;
    bool afterPoint = false, minusDone = !addMinus, expDone = false;
    auto emitMinus = [&] {
        if (!minusDone) {
            out.push_back('-');
            minusDone = true;
        }
    };
    const std::string_view s = p.Text;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            size_t j = s.find(c, i + 1);
            if (j == std::string_view::npos) j = s.size();
            out.append(s.substr(i + 1, j - i - 1));
            i = j;
            continue;
        }
        if (expDone) {
            out.push_back(c);
            continue;
        }
        if ((c == '0' || c == '#') && !afterPoint) {
            emitMinus();
            // Digit positions (from the left of intText) that this placeholder covers.
            const int first = intPh == 0 ? 0 : nInt - (p.IntPlaces - intPh);
            const int last = nInt - (p.IntPlaces - intPh);  // inclusive
            for (int k = std::max(first, 0); k <= last && k < nInt; ++k) {
                if (k < 0) continue;
                out.push_back(intText[k]);
                const int rest = nInt - 1 - k;
                if (p.Thousands && rest > 0 && rest % 3 == 0) out.push_back(fs.ThousandSeparator);
            }
            ++intPh;
            continue;
        }
        if ((c == '0' || c == '#') && afterPoint) {
            if (fracPh < static_cast<int>(fracText.size())) out.push_back(fracText[fracPh]);
            ++fracPh;
            continue;
        }
        if (c == '.' && !afterPoint) {
            emitMinus();
            if (p.IntPlaces == 0 && intText.size() > 0) out += intText;
            afterPoint = true;
            if (!fracText.empty()) out.push_back(fs.DecimalSeparator);
            continue;
        }
        if (c == ',') continue;
        if (p.Scientific && (c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            out.push_back(c);
            out += expText;
            i += 1;
            while (i + 1 < s.size() && s[i + 1] == '0') ++i;
            expDone = true;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

// Splits on ';' outside quotes.
std::vector<std::string_view> SplitSections(std::string_view format) {
    std::vector<std::string_view> r;
    size_t start = 0;
    char q = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (q) {
            if (c == q) q = 0;
        } else if (c == '"' || c == '\'') {
            q = c;
        } else if (c == ';') {
            r.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    r.push_back(format.substr(start));
    return r;
}

AnsiString FormatDecimal(std::string_view format, const TDecimal& value, bool isZero,
                         const TFormatSettings& fs, const std::function<AnsiString()>& general,
                         int precision = 15) {
    auto sections = SplitSections(format);
    std::string_view sec = sections[0];
    bool addMinus = value.Negative;
    if (isZero && sections.size() >= 3 && !sections[2].empty()) {
        sec = sections[2];
        addMinus = false;
    } else if (value.Negative && sections.size() >= 2 && !sections[1].empty()) {
        sec = sections[1];
        addMinus = false;
    }
    if (sec.empty()) return general();
    TPicture p = AnalysePicture(sec);
    if (p.IntPlaces == 0 && p.FracPlaces == 0 && !p.HasPoint) {
        // No placeholders: the section is literal text.
        return RenderPicture(p, TDecimal{}, fs, false, precision);
    }
    return RenderPicture(p, value, fs, addMinus, precision);
}

// --- number parsing --------------------------------------------------------------------------

// Splits "[-+]digits[sep digits][E[-+]digits]" into sign, mantissa digits and a decimal exponent.
struct TNumberText {
    bool Negative = false;
    std::string Digits;  // no leading zeros
    int Exponent = 0;    // value = Digits x 10^Exponent
};

bool ParseNumberText(std::string_view s, char decSep, TNumberText& out) {
    s = TrimView(s);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        out.Negative = s[i] == '-';
        ++i;
    }
    bool any = false;
    int fracDigits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (!(out.Digits.empty() && c == '0')) out.Digits.push_back(c);
            if (point) ++fracDigits;
        } else if (c == decSep && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            eneg = s[i] == '-';
            ++i;
        }
        if (i >= s.size()) return false;
        long e = 0;
        for (; i < s.size(); ++i) {
            const char c = s[i];
            if (c < '0' || c > '9') return false;
            if (e < 100000) e = e * 10 + (c - '0');
        }
        out.Exponent = static_cast<int>(eneg ? -e : e);
    }
    if (i != s.size()) return false;
    out.Exponent -= fracDigits;
    return true;
}

}  // namespace

// --- locale ----------------------------------------------------------------------------------

TFormatSettings TFormatSettings::Default() {
    TFormatSettings fs;
    fs.LongDateFormat = A(u8"d MMMM yyyy 'г.'");
    static const char8_t* longMonths[12] = {u8"Январь", u8"Февраль", u8"Март",     u8"Апрель",
                                            u8"Май",    u8"Июнь",    u8"Июль",     u8"Август",
                                            u8"Сентябрь", u8"Октябрь", u8"Ноябрь", u8"Декабрь"};
    static const char8_t* shortMonths[12] = {u8"янв", u8"фев", u8"мар", u8"апр", u8"май", u8"июн",
                                             u8"июл", u8"авг", u8"сен", u8"окт", u8"ноя", u8"дек"};
    static const char8_t* longDays[7] = {u8"воскресенье", u8"понедельник", u8"вторник", u8"среда",
                                         u8"четверг",     u8"пятница",     u8"суббота"};
    static const char8_t* shortDays[7] = {u8"Вс", u8"Пн", u8"Вт", u8"Ср", u8"Чт", u8"Пт", u8"Сб"};
    for (int i = 0; i < 12; ++i) {
        fs.LongMonthNames[i] = A(longMonths[i]);
        fs.ShortMonthNames[i] = A(shortMonths[i]);
    }
    for (int i = 0; i < 7; ++i) {
        fs.LongDayNames[i] = A(longDays[i]);
        fs.ShortDayNames[i] = A(shortDays[i]);
    }
    return fs;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = TFormatSettings::Default();
    return settings;
}

// --- rounding and checked narrowing ----------------------------------------------------------

double RoundHalfEven(double value) {
    const double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) return 2.0 * std::round(value / 2.0);
    return r;
}

int64_t BankersRound(double value) {
    const double r = RoundHalfEven(value);
    // 2^63 itself is not an int64.
    if (!std::isfinite(r) || r < -9223372036854775808.0 || r >= 9223372036854775808.0) {
        throw EConvertError(Quote1("'%s' is not a valid integer value", FloatToStr(value)));
    }
    return static_cast<int64_t>(r);
}

namespace {
template <class T>
T CheckedNarrow(int64_t value) {
    if (value < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        value > static_cast<int64_t>(std::numeric_limits<T>::max()))
        throw EConvertError(Quote1(kInvalidInteger, std::to_string(value)));
    return static_cast<T>(value);
}
}  // namespace

int32_t CheckedInt32(int64_t value) { return CheckedNarrow<int32_t>(value); }
int32_t CheckedInt32(double value) { return CheckedNarrow<int32_t>(BankersRound(value)); }
int64_t CheckedInt64(double value) { return BankersRound(value); }
int16_t CheckedInt16(int64_t value) { return CheckedNarrow<int16_t>(value); }
uint16_t CheckedUInt16(int64_t value) { return CheckedNarrow<uint16_t>(value); }
int8_t CheckedInt8(int64_t value) { return CheckedNarrow<int8_t>(value); }
uint8_t CheckedUInt8(int64_t value) { return CheckedNarrow<uint8_t>(value); }
uint32_t CheckedUInt32(int64_t value) { return CheckedNarrow<uint32_t>(value); }

// --- integers --------------------------------------------------------------------------------

AnsiString IntToStr(int32_t value) { return std::to_string(value); }
AnsiString IntToStr(int64_t value) { return std::to_string(value); }
AnsiString IntToStr(long long value) { return std::to_string(value); }
AnsiString UIntToStr(uint32_t value) { return std::to_string(value); }
AnsiString UIntToStr(uint64_t value) { return std::to_string(value); }
AnsiString UIntToStr(unsigned long long value) { return std::to_string(value); }

AnsiString IntToHex(int64_t value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(value));
    AnsiString r = buf;
    PadLeft(r, digits);
    return r;
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    std::string_view t = TrimView(s);
    bool neg = false;
    size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        neg = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < t.size() && (t[i] == 'x' || t[i] == 'X')) {
        base = 16;
        ++i;
    }
    if (i >= t.size()) return false;
    uint64_t u = 0;
    const uint64_t limit = base == 16 ? UINT64_MAX : (neg ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX));
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int dgt;
        if (c >= '0' && c <= '9') dgt = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') dgt = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') dgt = c - 'A' + 10;
        else return false;
        if (u > (limit - dgt) / base) return false;
        u = u * base + dgt;
    }
    if (base == 16) {
        // Hexadecimal is the bit pattern; a negative sign negates it.
        value = static_cast<int64_t>(neg ? 0 - u : u);
        return true;
    }
    value = neg ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
    return true;
}

bool TryStrToInt(std::string_view s, int32_t& value) {
    int64_t v;
    if (!TryStrToInt64(s, v)) return false;
    std::string_view t = TrimView(s);
    const bool hex = t.find_first_of("$xX") != std::string_view::npos;
    if (hex && v >= 0 && v <= static_cast<int64_t>(UINT32_MAX)) {
        value = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::string_view s) {
    return ParseOrRaise<int32_t>(s, kInvalidInteger, [](std::string_view t, int32_t& r) { return TryStrToInt(t, r); });
}

int64_t StrToInt64(std::string_view s) {
    return ParseOrRaise<int64_t>(s, kInvalidInteger, [](std::string_view t, int64_t& r) { return TryStrToInt64(t, r); });
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    return ParseOrDefault<int32_t>(s, def, [](std::string_view t, int32_t& r) { return TryStrToInt(t, r); });
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
    return ParseOrDefault<int64_t>(s, def, [](std::string_view t, int64_t& r) { return TryStrToInt64(t, r); });
}

// --- floating point --------------------------------------------------------------------------

AnsiString FloatToStr(double value) { return FloatToStrF(value, ffGeneral, 15, 0, FormatSettings()); }
AnsiString FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrF(value, ffGeneral, 15, 0, fs); }

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    return FloatToStrF(value, format, precision, digits, FormatSettings());
}

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return SpecialFloat(value);
    if (precision < 1) precision = 1;
    if (precision > 17) precision = 17;
    // Whole numbers below 10^15 read the same in the general form at any precision from 15 up;
    // they are most of what sorting and grids show, so they skip the digit-string work.
    if (format == ffGeneral && precision >= 15 && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<int64_t>(value));
    TDecimal d = FloatToDecimal(value, 17, kNoLimit);
    // Round once at the requested precision first so that 2.675 shown with two places reads 2.68,
    // as the value's own text suggests.
    RoundDigits(d, precision <= 15 ? 15 : precision);
    return DecimalToStrF(d, format, precision, digits, fs, false);
}

AnsiString FormatFloat(std::string_view format, double value) { return FormatFloat(format, value, FormatSettings()); }

AnsiString FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return SpecialFloat(value);
    TDecimal d = FloatToDecimal(value, 15, kNoLimit);
    return FormatDecimal(format, d, IsZero(d), fs, [&] { return FloatToStr(value, fs); });
}

AnsiString FormatCurr(std::string_view format, Currency value) {
    const TFormatSettings& fs = FormatSettings();
    TDecimal d = ScaledToDecimal(value.Value, 4);
    return FormatDecimal(format, d, IsZero(d), fs, [&] { return CurrToStr(value, fs); }, 19);
}

namespace {
TDecimal MakeDecimal(bool negative, std::string_view digits, int exponent) {
    TDecimal d;
    size_t b = 0;
    while (b < digits.size() && digits[b] == '0') {
        ++b;
        --exponent;
    }
    d.Digits.assign(digits.substr(b));
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    d.Negative = negative && !d.Digits.empty();
    d.Exponent = d.Digits.empty() ? 0 : exponent;
    return d;
}
}  // namespace

AnsiString DecimalDigitsToStrF(bool negative, std::string_view digits, int exponent, TFloatFormat format,
                               int precision, int digits10, const TFormatSettings& fs) {
    if (precision < 1) precision = 1;
    return DecimalToStrF(MakeDecimal(negative, digits, exponent), format, precision, digits10, fs, true);
}

AnsiString FormatDecimalDigits(std::string_view format, bool negative, std::string_view digits, int exponent,
                               const TFormatSettings& fs) {
    TDecimal d = MakeDecimal(negative, digits, exponent);
    return FormatDecimal(format, d, IsZero(d), fs, [&] {
        return DecimalToStrF(d, ffGeneral, 64, 0, fs, true);
    }, 64);
}

bool TryStrToFloat(std::string_view s, double& value) { return TryStrToFloat(s, value, FormatSettings()); }

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs) {
    TNumberText n;
    if (!ParseNumberText(s, fs.DecimalSeparator, n)) return false;
    std::string c;
    c.reserve(n.Digits.size() + 16);
    if (n.Negative) c.push_back('-');
    c += n.Digits.empty() ? "0" : n.Digits;
    char ebuf[16];
    ebuf[0] = 'e';
    c.append(ebuf, std::to_chars(ebuf + 1, ebuf + sizeof ebuf, n.Exponent).ptr);
    double v = 0;
    auto res = std::from_chars(c.data(), c.data() + c.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero, overflow is an error.
        if (n.Exponent + static_cast<int>(n.Digits.size()) < 0) {
            value = n.Negative ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (res.ec != std::errc() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view s) { return StrToFloat(s, FormatSettings()); }

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
    return ParseOrRaise<double>(s, kInvalidFloat, [&](std::string_view t, double& r) { return TryStrToFloat(t, r, fs); });
}

double StrToFloatDef(std::string_view s, double def) {
    return ParseOrDefault<double>(s, def, [](std::string_view t, double& r) { return TryStrToFloat(t, r); });
}

// --- currency --------------------------------------------------------------------------------

bool TryDoubleToCurr(double value, Currency& result) {
    if (!std::isfinite(value)) return false;
    const double scaled = value * 10000.0;
    const double r = RoundHalfEven(scaled);
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
    result = Currency::FromScaled(static_cast<int64_t>(r));
    return true;
}

Currency DoubleToCurr(double value) {
    Currency c;
    if (!TryDoubleToCurr(value, c)) ConvertError(kInvalidFloat, FloatToStr(value));
    return c;
}

double CurrToDouble(Currency value) { return static_cast<double>(value.Value) / 10000.0; }

Currency IntToCurr(int64_t value) {
    constexpr int64_t limit = INT64_MAX / 10000;
    if (value > limit || value < -limit) ConvertError(kInvalidFloat, std::to_string(value));
    return Currency::FromScaled(value * 10000);
}

AnsiString CurrToStr(Currency value) { return CurrToStr(value, FormatSettings()); }

AnsiString CurrToStr(Currency value, const TFormatSettings& fs) {
    return DecimalToStrF(ScaledToDecimal(value.Value, 4), ffGeneral, 19, 0, fs, true);
}

AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits) {
    return CurrToStrF(value, format, digits, FormatSettings());
}

AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings& fs) {
    return DecimalToStrF(ScaledToDecimal(value.Value, 4), format, 19, digits, fs, true);
}

bool TryStrToCurr(std::string_view s, Currency& value) { return TryStrToCurr(s, value, FormatSettings()); }

bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs) {
    TNumberText n;
    if (!ParseNumberText(s, fs.DecimalSeparator, n)) return false;
    // value x 10^4 = Digits x 10^(Exponent + 4)
    const int shift = n.Exponent + 4;
    std::string intPart, rest;
    if (shift >= 0) {
        if (n.Digits.empty()) {
            value = Currency{};
            return true;
        }
        if (static_cast<int>(n.Digits.size()) + shift > 19) return false;
        intPart = n.Digits + std::string(shift, '0');
    } else {
        const int cut = static_cast<int>(n.Digits.size()) + shift;
        if (cut > 0) {
            intPart = n.Digits.substr(0, cut);
            rest = n.Digits.substr(cut);
        } else {
            rest = std::string(-cut, '0') + n.Digits;
        }
    }
    if (intPart.size() > 19) return false;
    uint64_t u = 0;
    for (char c : intPart) u = u * 10 + (c - '0');
    if (!rest.empty()) {
        // Half to even on the exact decimal remainder.
        const bool aboveHalf = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool half = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
        if (aboveHalf || (half && (u & 1))) ++u;
    }
    const uint64_t limit = n.Negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (u > limit) return false;
    value = Currency::FromScaled(n.Negative ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u));
    return true;
}

Currency StrToCurr(std::string_view s) { return StrToCurr(s, FormatSettings()); }

Currency StrToCurr(std::string_view s, const TFormatSettings& fs) {
    return ParseOrRaise<Currency>(s, kInvalidFloat, [&](std::string_view t, Currency& r) { return TryStrToCurr(t, r, fs); });
}

Currency StrToCurrDef(std::string_view s, Currency def) {
    return ParseOrDefault<Currency>(s, def, [](std::string_view t, Currency& r) { return TryStrToCurr(t, r); });
}

// --- Booleans --------------------------------------------------------------------------------

AnsiString BoolToStr(bool value, bool useBoolStrs) {
    if (useBoolStrs) return value ? "True" : "False";
    return value ? "-1" : "0";
}

bool TryStrToBool(std::string_view s, bool& value) {
    const std::string_view t = TrimView(s);
    if (SameText(t, "True")) {
        value = true;
        return true;
    }
    if (SameText(t, "False")) {
        value = false;
        return true;
    }
    double d;
    if (TryStrToFloat(t, d)) {
        value = d != 0;
        return true;
    }
    return false;
}

bool StrToBool(std::string_view s) {
    return ParseOrRaise<bool>(s, kInvalidBoolean, [](std::string_view t, bool& r) { return TryStrToBool(t, r); });
}

bool StrToBoolDef(std::string_view s, bool def) {
    return ParseOrDefault<bool>(s, def, [](std::string_view t, bool& r) { return TryStrToBool(t, r); });
}

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

// --- GUIDs -----------------------------------------------------------------------------------

AnsiString GUIDToString(const TGUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2, g.D3,
                  g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
    return buf;
}

bool TryStringToGUID(std::string_view s, TGUID& guid) {
    if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-')
        return false;
    auto hex = [&](size_t pos, int count, uint64_t& out) {
        out = 0;
        for (int i = 0; i < count; ++i) {
            const char c = s[pos + i];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return false;
            out = out * 16 + d;
        }
        return true;
    };
    TGUID g;
    uint64_t v;
    if (!hex(1, 8, v)) return false;
    g.D1 = static_cast<uint32_t>(v);
    if (!hex(10, 4, v)) return false;
    g.D2 = static_cast<uint16_t>(v);
    if (!hex(15, 4, v)) return false;
    g.D3 = static_cast<uint16_t>(v);
    static const size_t pos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hex(pos[i], 2, v)) return false;
        g.D4[i] = static_cast<uint8_t>(v);
    }
    guid = g;
    return true;
}

TGUID StringToGUID(std::string_view s) {
    return ParseOrRaise<TGUID>(s, kInvalidGUID, [](std::string_view t, TGUID& r) { return TryStringToGUID(t, r); });
}

bool IsEqualGUID(const TGUID& a, const TGUID& b) { return a == b; }
TGUID NullGUID() { return TGUID{}; }

// --- strings ---------------------------------------------------------------------------------

AnsiString Trim(std::string_view s) { return AnsiString(TrimEnds(s, true, true)); }
AnsiString TrimLeft(std::string_view s) { return AnsiString(TrimEnds(s, true, false)); }
AnsiString TrimRight(std::string_view s) { return AnsiString(TrimEnds(s, false, true)); }
WideString Trim(std::u16string_view s) { return WideString(TrimEnds(s, true, true)); }
WideString TrimLeft(std::u16string_view s) { return WideString(TrimEnds(s, true, false)); }
WideString TrimRight(std::u16string_view s) { return WideString(TrimEnds(s, false, true)); }

AnsiString QuotedStr(std::string_view s) { return AnsiQuotedStr(s, '\''); }

AnsiString AnsiQuotedStr(std::string_view s, char quote) {
    AnsiString r;
    r.reserve(s.size() + 2);
    r.push_back(quote);
    for (char c : s) {
        r.push_back(c);
        if (c == quote) r.push_back(quote);
    }
    r.push_back(quote);
    return r;
}

AnsiString AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote) {
    if (pos >= s.size() || s[pos] != quote) return {};
    AnsiString r;
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                r.push_back(quote);
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        r.push_back(s[i]);
        ++i;
    }
    pos = i;
    return r;
}

AnsiString AnsiDequotedStr(std::string_view s, char quote) {
    size_t pos = 0;
    if (s.empty() || s[0] != quote) return AnsiString(s);
    AnsiString r = AnsiExtractQuotedStr(s, pos, quote);
    // Text after the closing quote means the whole was not one quoted text.
    if (pos != s.size() || s.size() < 2 || s.back() != quote) return AnsiString(s);
    return r;
}

namespace {

template <class C, class Upper>
std::basic_string<C> ReplaceText(std::basic_string_view<C> s, std::basic_string_view<C> oldPattern,
                                 std::basic_string_view<C> newPattern, TReplaceFlags flags, Upper upper) {
    using String = std::basic_string<C>;
    if (oldPattern.empty()) return String(s);
    const bool ic = (flags & rfIgnoreCase) != 0;
    const String hay = ic ? upper(s) : String(s);
    const String needle = ic ? upper(oldPattern) : String(oldPattern);
    String r;
    size_t pos = 0;
    while (true) {
        const size_t f = hay.find(needle, pos);
        if (f == String::npos) break;
        r.append(s.substr(pos, f - pos));
        r.append(newPattern);
        pos = f + needle.size();
        if (!(flags & rfReplaceAll)) break;
    }
    r.append(s.substr(pos));
    return r;
}

template <class C>
int FindPos(std::basic_string_view<C> sub, std::basic_string_view<C> s, int offset) {
    if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
    const size_t f = s.find(sub, offset - 1);
    return f == std::basic_string_view<C>::npos ? 0 : static_cast<int>(f) + 1;
}

template <class C>
std::basic_string<C> CopyText(std::basic_string_view<C> s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size()) return {};
    return std::basic_string<C>(s.substr(index - 1, count));
}

}  // namespace

AnsiString StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                         TReplaceFlags flags) {
    return ReplaceText(s, oldPattern, newPattern, flags, [](std::string_view t) { return AnsiUpperCase(t); });
}

WideString StringReplace(std::u16string_view s, std::u16string_view oldPattern, std::u16string_view newPattern,
                         TReplaceFlags flags) {
    return ReplaceText(s, oldPattern, newPattern, flags, [](std::u16string_view t) { return WideUpperCase(t); });
}

int Pos(std::string_view sub, std::string_view s, int offset) { return FindPos(sub, s, offset); }
int Pos(std::u16string_view sub, std::u16string_view s, int offset) { return FindPos(sub, s, offset); }
AnsiString Copy(std::string_view s, int index, int count) { return CopyText(s, index, count); }
WideString Copy(std::u16string_view s, int index, int count) { return CopyText(s, index, count); }

AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(count, c) : AnsiString(); }

bool StartsText(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && AnsiSameText(s.substr(0, sub.size()), sub);
}
bool EndsText(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && AnsiSameText(s.substr(s.size() - sub.size()), sub);
}
bool StartsStr(std::string_view sub, std::string_view s) { return s.substr(0, sub.size()) == sub; }
bool EndsStr(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && s.substr(s.size() - sub.size()) == sub;
}

AnsiString BytesToHex(const uint8_t* data, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    AnsiString r;
    r.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        r.push_back(digits[data[i] >> 4]);
        r.push_back(digits[data[i] & 15]);
    }
    return r;
}

bool HexToBytes(std::string_view hex, TBytes& out) {
    if (hex.size() % 2) return false;
    TBytes r;
    r.reserve(hex.size() / 2);
    auto val = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int a = val(hex[i]), b = val(hex[i + 1]);
        if (a < 0 || b < 0) return false;
        r.push_back(static_cast<uint8_t>(a * 16 + b));
    }
    out = std::move(r);
    return true;
}

// --- Format ----------------------------------------------------------------------------------

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args) {
    return Format(fmt, args, FormatSettings());
}

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs) {
    const TVarRec* argv = args.begin();
    const int argc = static_cast<int>(args.size());
    int next = 0;
    AnsiString out;
    auto fail = [&]() { ConvertError(kInvalidFormat, fmt); };
    auto takeInt = [&]() -> int {
        if (next >= argc) fail();
        const TVarRec& a = argv[next++];
        if (a.Kind != TVarRec::vtInteger && a.Kind != TVarRec::vtInt64) fail();
        // Out-of-range values would wrap around in a narrowing cast.
        return static_cast<int>(std::clamp<int64_t>(a.VInt64, -1, kMaxFormatWidth));
    };
    size_t i = 0;
    while (i < fmt.size()) {
        const char c = fmt[i];
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        ++i;
        if (i >= fmt.size()) fail();
        if (fmt[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        // [index:] [-] [width] [.precision] type
        bool leftAlign = false;
        int width = -1, prec = -1;
        auto readNumber = [&](int& v) -> bool {
            if (i < fmt.size() && fmt[i] == '*') {
                v = takeInt();
                ++i;
                return true;
            }
            if (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
                v = 0;
                while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
                    if (v <= kMaxFormatWidth / 10) v = v * 10 + (fmt[i] - '0');
                    ++i;
                }
                return true;
            }
            return false;
        };
        int n = -1;
        if (readNumber(n)) {
            if (i < fmt.size() && fmt[i] == ':') {
                ++i;
                next = n;
                n = -1;
            }
        }
        if (n < 0) {
            if (i < fmt.size() && fmt[i] == '-') {
                leftAlign = true;
                ++i;
            }
            readNumber(width);
        } else {
            width = n;
        }
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            if (!readNumber(prec)) prec = 0;
        }
        if (i >= fmt.size()) fail();
        const char t = static_cast<char>(fmt[i] >= 'a' && fmt[i] <= 'z' ? fmt[i] - 32 : fmt[i]);
        ++i;
        if (next < 0 || next >= argc) fail();
        const TVarRec& a = argv[next++];
        AnsiString piece;
        // Argument values in the forms the conversions take.
        auto asVariantInt = [&](int64_t& v) -> bool {
            if (a.Kind == TVarRec::vtInteger || a.Kind == TVarRec::vtInt64) { v = a.VInt64; return true; }
            if (a.Kind == TVarRec::vtUInt64) {
                if (a.VUInt64 > uint64_t(INT64_MAX)) return false;
                v = static_cast<int64_t>(a.VUInt64);
                return true;
            }
            if (a.Kind == TVarRec::vtVariant) {
                try { v = a.VVariant->AsInt64(); } catch (const Exception&) { return false; }
                return true;
            }
            return false;
        };
        auto asFloat = [&](TDecimal& d, bool& currency) -> bool {
            currency = false;
            if (a.Kind == TVarRec::vtExtended) {
                if (!std::isfinite(a.VExtended)) return false;
                d = FloatToDecimal(a.VExtended, 17, kNoLimit);
                return true;
            }
            if (a.Kind == TVarRec::vtCurrency) {
                d = ScaledToDecimal(a.VCurrency, 4);
                currency = true;
                return true;
            }
            if (a.Kind == TVarRec::vtVariant) {
                const Variant& v = *a.VVariant;
                try {
                    if (v.VType() == varCurrency) {
                        d = ScaledToDecimal(v.AsCurrency().Value, 4);
                        currency = true;
                    } else {
                        d = FloatToDecimal(v.AsDouble(), 17, kNoLimit);
                    }
                } catch (const Exception&) {
                    return false;
                }
                return true;
            }
            return false;
        };
        switch (t) {
            case 'D':
            case 'U': {
                int64_t v;
                if (!asVariantInt(v) && !(a.Kind == TVarRec::vtUInt64 && t == 'U')) fail();
                std::string digits;
                bool neg = false;
                if (a.Kind == TVarRec::vtUInt64) {
                    digits = std::to_string(a.VUInt64);
                } else if (t == 'U' && v < 0) {
                    // The platform's %u shows the 32-bit pattern of a negative integer.
                    digits = a.Kind == TVarRec::vtInteger ? std::to_string(static_cast<uint32_t>(v))
                                                          : std::to_string(static_cast<uint64_t>(v));
                } else {
                    neg = v < 0;
                    digits = neg ? std::to_string(0 - static_cast<uint64_t>(v)) : std::to_string(v);
                }
                PadLeft(digits, prec);
                piece = (neg ? "-" : "") + digits;
                break;
            }
            case 'X': {
                int64_t v;
                uint64_t u;
                if (a.Kind == TVarRec::vtUInt64) u = a.VUInt64;
                else if (asVariantInt(v)) u = a.Kind == TVarRec::vtInteger ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
                else fail();
                char buf[32];
                std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u));
                piece = buf;
                PadLeft(piece, prec);
                break;
            }
            case 'E':
            case 'F':
            case 'G':
            case 'N':
            case 'M': {
                TDecimal d;
                bool cur;
                if (!asFloat(d, cur)) {
                    if (a.Kind == TVarRec::vtExtended) {
                        piece = SpecialFloat(a.VExtended);
                        break;
                    }
                    fail();
                }
                const int p15 = cur ? 19 : 15;
                if (t == 'E') piece = DecimalToStrF(d, ffExponent, prec < 0 ? 15 : std::min(prec, 18), 3, fs, false);
                else if (t == 'F') piece = DecimalToStrF(d, ffFixed, p15, prec < 0 ? 2 : prec, fs, cur);
                else if (t == 'G') piece = DecimalToStrF(d, ffGeneral, prec < 0 ? 15 : std::clamp(prec, 1, 18), 0, fs, cur);
                else if (t == 'N') piece = DecimalToStrF(d, ffNumber, p15, prec < 0 ? 2 : prec, fs, cur);
                else piece = DecimalToStrF(d, ffCurrency, p15, prec < 0 ? fs.CurrencyDecimals : prec, fs, cur);
                break;
            }
            case 'P': {
                if (a.Kind != TVarRec::vtPointer) fail();
                char buf[32];
                std::snprintf(buf, sizeof buf, "%016llX",
                              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a.VPointer)));
                piece = buf;
                break;
            }
            case 'C': {
                if (a.Kind == TVarRec::vtChar) piece = AnsiString(1, a.VChar);
                else if (a.Kind == TVarRec::vtInteger && a.VInt64 >= 0 && a.VInt64 <= 255)
                    piece = AnsiString(1, static_cast<char>(a.VInt64));
                else fail();
                break;
            }
            case 'S': {
                switch (a.Kind) {
                    case TVarRec::vtAnsiString: piece = AnsiString(a.VAnsi); break;
                    case TVarRec::vtWideString: piece = WideToAnsi(a.VWide); break;
                    case TVarRec::vtChar: piece = AnsiString(1, a.VChar); break;
                    case TVarRec::vtBoolean: piece = a.VBoolean ? "True" : "False"; break;
                    case TVarRec::vtVariant: {
                        try {
                            piece = VarToStr(*a.VVariant);
                        } catch (const Exception&) {
                            fail();
                        }
                        break;
                    }
                    default: fail();
                }
                if (prec >= 0 && static_cast<int>(piece.size()) > prec) piece.resize(prec);
                break;
            }
            default:
                fail();
        }
        if (width > 0 && static_cast<int>(piece.size()) < width) {
            const AnsiString pad(width - piece.size(), ' ');
            piece = leftAlign ? piece + pad : pad + piece;
        }
        out += piece;
    }
    return out;
}

}  // namespace rtl
