#include "framework/rtl/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "framework/rtl/SysUtils_Internal.h"
#include "framework/rtl/Text.h"

namespace rtl {

namespace sysutils_detail {

// --- decimal digits of a double -------------------------------------------------------------

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
    for (int i = 0; i < d.Exponent; ++i) r.push_back(i < static_cast<int>(d.Digits.size()) ? d.Digits[i] : '0');
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

AnsiString DecimalToStrF(TDecimal d, TFloatFormat format, int precision, int digits, const TFormatSettings& fs,
                         bool fromCurrency) {
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

}  // namespace sysutils_detail

using namespace sysutils_detail;

namespace {

// --- picture formats -----------------------------------------------------------------------

struct TPicture {
    std::string_view Text;
    int IntPlaces = 0;   // placeholders before the point
    int MinInt = 0;      // from the first '0' before the point
    int FracPlaces = 0;  // placeholders after the point
    int MinFrac = 0;     // up to the last '0' after the point
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

// Writes the value through one section of a format picture: rounded to the picture's places
// (precision digits at most), the first integer placeholder taking every digit the others leave,
// '0' places padded and '#' places not, thousands and decimal separators from the settings, quoted
// text as it stands. The minus goes before the first digit, and never on a value rounded to zero.
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

AnsiString FormatDecimal(std::string_view format, const TDecimal& value, bool isZero, const TFormatSettings& fs,
                         const std::function<AnsiString()>& general, int precision = 15) {
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
    return FormatDecimal(
        format, d, IsZero(d), fs, [&] { return CurrToStr(value, fs); }, 19);
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

AnsiString DecimalDigitsToStrF(bool negative, std::string_view digits, int exponent, TFloatFormat format, int precision,
                               int digits10, const TFormatSettings& fs) {
    if (precision < 1) precision = 1;
    return DecimalToStrF(MakeDecimal(negative, digits, exponent), format, precision, digits10, fs, true);
}

AnsiString FormatDecimalDigits(std::string_view format, bool negative, std::string_view digits, int exponent,
                               const TFormatSettings& fs) {
    TDecimal d = MakeDecimal(negative, digits, exponent);
    return FormatDecimal(
        format, d, IsZero(d), fs, [&] { return DecimalToStrF(d, ffGeneral, 64, 0, fs, true); }, 64);
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
    return ParseOrRaise<double>(s, kInvalidFloat,
                                [&](std::string_view t, double& r) { return TryStrToFloat(t, r, fs); });
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
    return ParseOrRaise<Currency>(s, kInvalidFloat,
                                  [&](std::string_view t, Currency& r) { return TryStrToCurr(t, r, fs); });
}

Currency StrToCurrDef(std::string_view s, Currency def) {
    return ParseOrDefault<Currency>(s, def, [](std::string_view t, Currency& r) { return TryStrToCurr(t, r); });
}

}  // namespace rtl
