#include "framework/rtl/SysUtils.h"

#include <cmath>
#include <limits>

#include "framework/rtl/SysUtils_Internal.h"
#include "framework/rtl/Text.h"

namespace rtl {

using namespace sysutils_detail;

[[noreturn]] void sysutils_detail::ConvertError(std::string_view fmt, std::string_view s) {
    throw EConvertError(Format(fmt, {s}));
}

// --- locale ----------------------------------------------------------------------------------

TFormatSettings TFormatSettings::Default() {
    TFormatSettings fs;
    fs.LongDateFormat = A(u8"d MMMM yyyy 'г.'");
    static const char8_t* longMonths[12] = {u8"Январь",   u8"Февраль", u8"Март",   u8"Апрель",
                                            u8"Май",      u8"Июнь",    u8"Июль",   u8"Август",
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
        throw EConvertError(Format(kInvalidInteger, {FloatToStr(value)}));
    }
    return static_cast<int64_t>(r);
}

namespace {
template <class T>
T CheckedNarrow(int64_t value) {
    if (value < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        value > static_cast<int64_t>(std::numeric_limits<T>::max()))
        throw EConvertError(Format(kInvalidInteger, {std::to_string(value)}));
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
        if (c >= '0' && c <= '9')
            dgt = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            dgt = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            dgt = c - 'A' + 10;
        else
            return false;
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
    return ParseOrRaise<int64_t>(s, kInvalidInteger,
                                 [](std::string_view t, int64_t& r) { return TryStrToInt64(t, r); });
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    return ParseOrDefault<int32_t>(s, def, [](std::string_view t, int32_t& r) { return TryStrToInt(t, r); });
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
    return ParseOrDefault<int64_t>(s, def, [](std::string_view t, int64_t& r) { return TryStrToInt64(t, r); });
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

// --- GUIDs -----------------------------------------------------------------------------------

AnsiString GUIDToString(const TGUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2, g.D3, g.D4[0],
                  g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
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
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
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

}  // namespace rtl
