#include "framework/rtl/Bcd.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "framework/rtl/Text.h"

namespace rtl {

namespace {

constexpr int kMaxDigits = 64;
constexpr int kMaxPlaces = 63;
constexpr int kDivisionPlaces = 32;

// value = (Negative ? -1 : 1) * Digits * 10^-Places; Digits are decimal characters.
struct TDec {
    bool Negative = false;
    std::string Digits;
    int Places = 0;
};

[[noreturn]] void Overflow() { throw EBcdOverflowException("BCD overflow"); }

TDec Unpack(const TBcd& b) {
    TDec d;
    int prec = b.Precision;
    if (prec > kMaxDigits) throw EBcdException("Invalid BCD value");
    d.Places = b.SignSpecialPlaces & 0x3F;
    d.Negative = (b.SignSpecialPlaces & 0x80) != 0;
    d.Digits.reserve(prec);
    for (int i = 0; i < prec; ++i) {
        const uint8_t byte = b.Fraction[i / 2];
        const int nib = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
        if (nib > 9) throw EBcdException("Invalid BCD value");
        d.Digits.push_back(static_cast<char>('0' + nib));
    }
    return d;
}

// Strips leading integer zeros; the digit count never drops below the places.
void Canonical(TDec& d) {
    if (static_cast<int>(d.Digits.size()) < d.Places) d.Digits.insert(0, d.Places - d.Digits.size(), '0');
    size_t lead = 0;
    while (lead < d.Digits.size() && static_cast<int>(d.Digits.size() - lead) > d.Places && d.Digits[lead] == '0')
        ++lead;
    d.Digits.erase(0, lead);
    if (d.Digits.find_first_not_of('0') == std::string::npos) d.Negative = false;
}

int IntDigitCount(TDec d) {
    Canonical(d);
    return static_cast<int>(d.Digits.size()) - d.Places;
}

// Rounds (half away from zero) or pads to the given places.
void Rescale(TDec& d, int places, bool round = true) {
    if (places >= d.Places) {
        d.Digits.append(places - d.Places, '0');
        d.Places = places;
        return;
    }
    const int drop = d.Places - places;
    if (static_cast<int>(d.Digits.size()) < d.Places) d.Digits.insert(0, d.Places - d.Digits.size(), '0');
    const char first = d.Digits[d.Digits.size() - drop];
    d.Digits.resize(d.Digits.size() - drop);
    d.Places = places;
    if (round && first >= '5') {
        int i = static_cast<int>(d.Digits.size()) - 1;
        while (i >= 0 && d.Digits[i] == '9') {
            d.Digits[i] = '0';
            --i;
        }
        if (i < 0)
            d.Digits.insert(d.Digits.begin(), '1');
        else
            ++d.Digits[i];
    }
    if (d.Digits.empty()) d.Digits = "0";
}

TBcd PackRaw(const TDec& d) {
    TBcd b;
    b.Precision = static_cast<uint8_t>(d.Digits.size());
    const bool zero = d.Digits.find_first_not_of('0') == std::string::npos;
    b.SignSpecialPlaces = static_cast<uint8_t>((d.Negative && !zero ? 0x80 : 0) | (d.Places & 0x3F));
    for (size_t i = 0; i < d.Digits.size(); ++i) {
        const uint8_t nib = static_cast<uint8_t>(d.Digits[i] - '0');
        if (i % 2 == 0)
            b.Fraction[i / 2] = static_cast<uint8_t>(nib << 4);
        else
            b.Fraction[i / 2] |= nib;
    }
    return b;
}

// Canonical form that fits 64 digits: surplus fraction digits are rounded away.
TBcd Pack(TDec d) {
    Canonical(d);
    if (d.Places > kMaxPlaces) Rescale(d, kMaxPlaces);
    Canonical(d);
    const int intDigits = static_cast<int>(d.Digits.size()) - d.Places;
    if (intDigits > kMaxDigits) Overflow();
    if (static_cast<int>(d.Digits.size()) > kMaxDigits) {
        Rescale(d, kMaxDigits - intDigits);
        Canonical(d);
        if (static_cast<int>(d.Digits.size()) > kMaxDigits) Rescale(d, d.Places - 1);
    }
    if (d.Digits.empty()) d.Digits = "0";
    return PackRaw(d);
}

bool ParseDec(std::string_view s, char sep, TDec& out, bool allowExponent) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    s = s.substr(b, e - b);
    TDec d;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        d.Negative = s[i] == '-';
        ++i;
    }
    bool any = false, point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            any = true;
            d.Digits.push_back(c);
            if (point) ++d.Places;
        } else if ((c == sep || c == '.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (allowExponent && i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        bool neg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            neg = s[i] == '-';
            ++i;
        }
        int exp = 0;
        bool expDigits = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            expDigits = true;
            if (exp < 10000) exp = exp * 10 + (s[i] - '0');
        }
        if (!expDigits) return false;
        if (neg)
            d.Places += exp;
        else if (exp <= d.Places)
            d.Places -= exp;
        else {
            d.Digits.append(exp - d.Places, '0');
            d.Places = 0;
        }
    }
    if (i != s.size()) return false;
    Canonical(d);
    if (static_cast<int>(d.Digits.size()) - d.Places > kMaxDigits) return false;
    out = std::move(d);
    return true;
}

// --- unsigned digit-string arithmetic (no leading zeros except "0") ---

std::string Strip(std::string s) {
    size_t lead = s.find_first_not_of('0');
    if (lead == std::string::npos) return "0";
    return s.substr(lead);
}

int CmpMag(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string AddMag(const std::string& a, const std::string& b) {
    std::string r;
    int carry = 0;
    for (int i = static_cast<int>(a.size()) - 1, j = static_cast<int>(b.size()) - 1; i >= 0 || j >= 0 || carry;
         --i, --j) {
        int s = carry + (i >= 0 ? a[i] - '0' : 0) + (j >= 0 ? b[j] - '0' : 0);
        r.push_back(static_cast<char>('0' + s % 10));
        carry = s / 10;
    }
    std::reverse(r.begin(), r.end());
    return Strip(r);
}

// a >= b
std::string SubMag(const std::string& a, const std::string& b) {
    std::string r;
    int borrow = 0;
    for (int i = static_cast<int>(a.size()) - 1, j = static_cast<int>(b.size()) - 1; i >= 0; --i, --j) {
        int s = (a[i] - '0') - borrow - (j >= 0 ? b[j] - '0' : 0);
        borrow = s < 0 ? 1 : 0;
        if (s < 0) s += 10;
        r.push_back(static_cast<char>('0' + s));
    }
    std::reverse(r.begin(), r.end());
    return Strip(r);
}

std::string MulMag(const std::string& a, const std::string& b) {
    std::vector<int> acc(a.size() + b.size(), 0);
    for (int i = static_cast<int>(a.size()) - 1; i >= 0; --i)
        for (int j = static_cast<int>(b.size()) - 1; j >= 0; --j) acc[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    for (int k = static_cast<int>(acc.size()) - 1; k > 0; --k) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    std::string r;
    for (int v : acc) r.push_back(static_cast<char>('0' + v));
    return Strip(r);
}

// Quotient of a / b (b not zero), and whether a remainder is left.
std::string DivMag(const std::string& a, const std::string& b, bool& inexact) {
    std::string q, rem = "0";
    for (char c : a) {
        rem = Strip(rem + c);
        int digit = 0;
        while (CmpMag(rem, b) >= 0) {
            rem = SubMag(rem, b);
            ++digit;
        }
        q.push_back(static_cast<char>('0' + digit));
    }
    inexact = rem != "0";
    return Strip(q);
}

void Align(TDec& a, TDec& b) {
    const int p = std::max(a.Places, b.Places);
    Rescale(a, p, false);
    Rescale(b, p, false);
}

TDec AddDec(TDec a, TDec b) {
    Align(a, b);
    TDec r;
    r.Places = a.Places;
    const std::string x = Strip(a.Digits), y = Strip(b.Digits);
    if (a.Negative == b.Negative) {
        r.Digits = AddMag(x, y);
        r.Negative = a.Negative;
    } else if (CmpMag(x, y) >= 0) {
        r.Digits = SubMag(x, y);
        r.Negative = a.Negative;
    } else {
        r.Digits = SubMag(y, x);
        r.Negative = b.Negative;
    }
    return r;
}

// The integer part as an unsigned magnitude and whether a fraction digit was non-zero.
std::string IntegerPart(TDec d, bool& hasFraction, char& firstFraction, bool& restNonZero) {
    if (static_cast<int>(d.Digits.size()) < d.Places) d.Digits.insert(0, d.Places - d.Digits.size(), '0');
    const std::string ip = d.Digits.substr(0, d.Digits.size() - d.Places);
    const std::string fp = d.Digits.substr(d.Digits.size() - d.Places);
    hasFraction = fp.find_first_not_of('0') != std::string::npos;
    firstFraction = fp.empty() ? '0' : fp[0];
    restNonZero = fp.size() > 1 && fp.find_first_not_of('0', 1) != std::string::npos;
    return Strip(ip.empty() ? "0" : ip);
}

bool MagToUInt64(const std::string& m, uint64_t& out) {
    if (m.size() > 20) return false;
    auto res = std::from_chars(m.data(), m.data() + m.size(), out);
    return res.ec == std::errc();
}

}  // namespace

// --- text ------------------------------------------------------------------------------------

bool TryStrToBcd(std::string_view s, TBcd& bcd) { return TryStrToBcd(s, bcd, FormatSettings()); }

bool TryStrToBcd(std::string_view s, TBcd& bcd, const TFormatSettings& fs) {
    TDec d;
    if (!ParseDec(s, fs.DecimalSeparator, d, false)) return false;
    bcd = Pack(d);
    return true;
}

TBcd StrToBcd(std::string_view s) { return StrToBcd(s, FormatSettings()); }

TBcd StrToBcd(std::string_view s, const TFormatSettings& fs) {
    TBcd b;
    if (!TryStrToBcd(s, b, fs)) {
        AnsiString m = "'";
        m.append(s);
        m += "' is not a valid BCD value";
        throw EConvertError(m);
    }
    return b;
}

AnsiString BcdToStr(const TBcd& bcd) { return BcdToStr(bcd, FormatSettings()); }

AnsiString BcdToStr(const TBcd& bcd, const TFormatSettings& fs) {
    TDec d = Unpack(bcd);
    Canonical(d);
    std::string ip = d.Digits.substr(0, d.Digits.size() - d.Places);
    std::string fp = d.Digits.substr(d.Digits.size() - d.Places);
    while (!fp.empty() && fp.back() == '0') fp.pop_back();
    if (ip.empty()) ip = "0";
    AnsiString r = d.Negative ? "-" : "";
    r += ip;
    if (!fp.empty()) {
        r.push_back(fs.DecimalSeparator);
        r += fp;
    }
    return r;
}

AnsiString BcdToStrF(const TBcd& bcd, TFloatFormat format, int precision, int digits) {
    return BcdToStrF(bcd, format, precision, digits, FormatSettings());
}

AnsiString BcdToStrF(const TBcd& bcd, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
    TDec d = Unpack(bcd);
    Canonical(d);
    const int exponent = static_cast<int>(d.Digits.size()) - d.Places;
    return DecimalDigitsToStrF(d.Negative, d.Digits, exponent, format, precision, digits, fs);
}

AnsiString FormatBcd(std::string_view format, const TBcd& bcd) {
    TDec d = Unpack(bcd);
    Canonical(d);
    const int exponent = static_cast<int>(d.Digits.size()) - d.Places;
    return FormatDecimalDigits(format, d.Negative, d.Digits, exponent, FormatSettings());
}

// --- comparison ------------------------------------------------------------------------------

bool BcdIsZero(const TBcd& bcd) {
    const TDec d = Unpack(bcd);
    return d.Digits.find_first_not_of('0') == std::string::npos;
}

bool BcdIsNegative(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x80) != 0 && !BcdIsZero(bcd); }

int BcdCompare(const TBcd& a, const TBcd& b) {
    TDec x = Unpack(a), y = Unpack(b);
    Canonical(x);
    Canonical(y);
    if (x.Negative != y.Negative) return x.Negative ? -1 : 1;
    Align(x, y);
    const int mag = CmpMag(Strip(x.Digits), Strip(y.Digits));
    return x.Negative ? -mag : mag;
}

// --- conversions -----------------------------------------------------------------------------

double BcdToDouble(const TBcd& bcd) {
    TDec d = Unpack(bcd);
    Canonical(d);
    std::string t = d.Negative ? "-" : "";
    t += d.Digits.empty() ? "0" : d.Digits;
    t += "e-" + std::to_string(d.Places);
    double v = 0;
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
}

bool TryDoubleToBcd(double value, TBcd& bcd) {
    if (!std::isfinite(value)) return false;
    TFormatSettings fs;
    fs.DecimalSeparator = '.';
    const AnsiString text = FloatToStrF(value, ffGeneral, 15, 0, fs);
    TDec d;
    if (!ParseDec(text, '.', d, true)) return false;
    bcd = Pack(d);
    return true;
}

TBcd DoubleToBcd(double value) {
    TBcd b;
    if (!TryDoubleToBcd(value, b)) Overflow();
    return b;
}

TBcd CurrToBcd(Currency value) {
    TBcd b;
    CurrToBcd(value, b, 32, 4);
    return b;
}

bool CurrToBcd(Currency value, TBcd& bcd, int precision, int places) {
    TDec d;
    d.Negative = value.Value < 0;
    const uint64_t u = d.Negative ? 0 - static_cast<uint64_t>(value.Value) : static_cast<uint64_t>(value.Value);
    d.Digits = std::to_string(u);
    d.Places = 4;
    TBcd full = Pack(d);
    if (precision <= 0 || places < 0) {
        bcd = full;
        return true;
    }
    return NormalizeBcd(full, bcd, precision, places);
}

bool TryBcdToCurr(const TBcd& bcd, Currency& value) {
    TDec d = Unpack(bcd);
    Canonical(d);
    // Half to even at four places.
    if (d.Places > 4) {
        const int drop = d.Places - 4;
        const std::string rest = d.Digits.substr(d.Digits.size() - drop);
        d.Digits.resize(d.Digits.size() - drop);
        d.Places = 4;
        const bool above = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool half = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
        const bool odd = !d.Digits.empty() && ((d.Digits.back() - '0') & 1);
        if (above || (half && odd)) d.Digits = AddMag(Strip(d.Digits.empty() ? "0" : d.Digits), "1");
    } else {
        Rescale(d, 4, false);
    }
    uint64_t u;
    if (!MagToUInt64(Strip(d.Digits.empty() ? "0" : d.Digits), u)) return false;
    const uint64_t limit = d.Negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (u > limit) return false;
    value = Currency::FromScaled(d.Negative ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u));
    return true;
}

Currency BcdToCurr(const TBcd& bcd) {
    Currency c;
    if (!TryBcdToCurr(bcd, c)) Overflow();
    return c;
}

TBcd IntegerToBcd(int64_t value) {
    TDec d;
    d.Negative = value < 0;
    d.Digits = std::to_string(d.Negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
    return Pack(d);
}

int64_t BcdToInt64(const TBcd& bcd, bool truncate) {
    TDec d = Unpack(bcd);
    bool frac, restNonZero;
    char first;
    std::string ip = IntegerPart(d, frac, first, restNonZero);
    if (!truncate && first >= '5') {
        const bool odd = (ip.back() - '0') & 1;
        if (first > '5' || restNonZero || odd) ip = AddMag(ip, "1");
    }
    uint64_t u;
    if (!MagToUInt64(ip, u)) Overflow();
    const uint64_t limit = d.Negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (u > limit) Overflow();
    return d.Negative ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
}

int32_t BcdToInteger(const TBcd& bcd, bool truncate) {
    const int64_t v = BcdToInt64(bcd, truncate);
    if (v < INT32_MIN || v > INT32_MAX) Overflow();
    return static_cast<int32_t>(v);
}

int BcdPrecision(const TBcd& bcd) { return std::max(0, IntDigitCount(Unpack(bcd))); }

int BcdScale(const TBcd& bcd) { return bcd.SignSpecialPlaces & 0x3F; }

int BcdSignificantDigits(const TBcd& bcd) {
    const TDec d = Unpack(bcd);
    const size_t first = d.Digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    const size_t last = d.Digits.find_last_not_of('0');
    return static_cast<int>(last - first + 1);
}

int BcdFractionDigits(const TBcd& bcd) {
    TDec d = Unpack(bcd);
    Canonical(d);
    const std::string fp = d.Digits.substr(d.Digits.size() - d.Places);
    const size_t last = fp.find_last_not_of('0');
    return last == std::string::npos ? 0 : static_cast<int>(last + 1);
}

bool NormalizeBcd(const TBcd& in, TBcd& out, int precision, int places) {
    if (precision < 1 || precision > kMaxDigits || places < 0 || places > precision || places > kMaxPlaces)
        return false;
    TDec d = Unpack(in);
    Canonical(d);
    Rescale(d, places);
    Canonical(d);
    if (static_cast<int>(d.Digits.size()) > precision) return false;
    d.Digits.insert(0, precision - d.Digits.size(), '0');
    out = PackRaw(d);
    return true;
}

TBcd BcdTruncate(const TBcd& in, int places) {
    TDec d = Unpack(in);
    Canonical(d);
    if (places < 0) places = 0;
    if (places < d.Places) Rescale(d, places, false);
    return Pack(d);
}

// --- arithmetic ------------------------------------------------------------------------------

TBcd BcdAdd(const TBcd& a, const TBcd& b) { return Pack(AddDec(Unpack(a), Unpack(b))); }

TBcd BcdNegate(const TBcd& a) {
    TDec d = Unpack(a);
    d.Negative = !d.Negative;
    return Pack(d);
}

TBcd BcdSubtract(const TBcd& a, const TBcd& b) {
    TDec y = Unpack(b);
    y.Negative = !y.Negative;
    return Pack(AddDec(Unpack(a), y));
}

TBcd BcdMultiply(const TBcd& a, const TBcd& b) {
    TDec x = Unpack(a), y = Unpack(b);
    TDec r;
    r.Negative = x.Negative != y.Negative;
    r.Digits = MulMag(Strip(x.Digits.empty() ? "0" : x.Digits), Strip(y.Digits.empty() ? "0" : y.Digits));
    r.Places = x.Places + y.Places;
    return Pack(r);
}

TBcd BcdDivide(const TBcd& a, const TBcd& b) {
    TDec x = Unpack(a), y = Unpack(b);
    Canonical(x);
    Canonical(y);
    const std::string divisor = Strip(y.Digits);
    if (divisor == "0") throw EZeroDivide("Floating point division by zero");
    // x.D / y.D * 10^(y.P - x.P): scale the dividend so the quotient carries the wanted places.
    const int places = kDivisionPlaces;
    const int shift = places + y.Places - x.Places;
    std::string dividend = Strip(x.Digits);
    TDec r;
    if (shift >= 0) {
        dividend.append(shift, '0');
        r.Places = places;
    } else {
        // The dividend already has more places than the quotient needs.
        r.Places = x.Places - y.Places;
    }
    // One more digit to round half away from zero.
    dividend.push_back('0');
    bool inexact;
    std::string q = DivMag(Strip(dividend), divisor, inexact);
    r.Digits = q;
    r.Places += 1;
    r.Negative = x.Negative != y.Negative;
    Rescale(r, r.Places - 1);
    // Drop trailing fraction zeros that the fixed division scale brought.
    while (r.Places > 0 && r.Digits.size() > 1 && r.Digits.back() == '0') {
        r.Digits.pop_back();
        --r.Places;
    }
    return Pack(r);
}

void BcdAdd(const TBcd& a, const TBcd& b, TBcd& result) { result = BcdAdd(a, b); }
void BcdSubtract(const TBcd& a, const TBcd& b, TBcd& result) { result = BcdSubtract(a, b); }
void BcdMultiply(const TBcd& a, const TBcd& b, TBcd& result) { result = BcdMultiply(a, b); }
void BcdDivide(const TBcd& a, const TBcd& b, TBcd& result) { result = BcdDivide(a, b); }

}  // namespace rtl
