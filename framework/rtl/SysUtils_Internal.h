// The pieces the parts of the SysUtils unit share: error raising, trimming and padding, and the
// exact decimal form that number formatting works on.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace rtl::sysutils_detail {

inline AnsiString A(const char8_t* s) { return UTF8ToAnsi(reinterpret_cast<const char*>(s)); }

// Raises EConvertError with the message's one %s replaced by s.
[[noreturn]] void ConvertError(std::string_view fmt, std::string_view s);

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

inline constexpr const char* kInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* kInvalidFloat = "'%s' is not a valid floating point value";
inline constexpr const char* kInvalidDate = "'%s' is not a valid date";
inline constexpr const char* kInvalidTime = "'%s' is not a valid time";
inline constexpr const char* kInvalidDateTime = "'%s' is not a valid date and time";
inline constexpr const char* kInvalidBoolean = "'%s' is not a valid boolean value";
inline constexpr const char* kInvalidGUID = "'%s' is not a valid GUID value";
inline constexpr const char* kInvalidFormat = "Format '%s' invalid or incompatible with argument";

// Widths and precisions come from format strings that users may type; inserting one character at a
// time would take quadratic time on a wide field.
inline void PadLeft(std::string& s, int width, char c = '0') {
    if (width > 0 && s.size() < static_cast<size_t>(width)) s.insert(0, static_cast<size_t>(width) - s.size(), c);
}

// The largest width or precision a Format directive may ask for.
inline constexpr int kMaxFormatWidth = 999999;

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

inline std::string_view TrimView(std::string_view s) { return TrimEnds(s, true, true); }

// value = 0.Digits x 10^Exponent; Digits has no trailing zeros; empty Digits is zero.
struct TDecimal {
    bool Negative = false;
    int Exponent = 0;
    std::string Digits;
};

// "No rounding" for a decimals argument.
inline constexpr int kNoLimit = 1 << 20;

// The double rounded first to precision significant digits, then to decimals places.
TDecimal FloatToDecimal(double value, int precision, int decimals);
// Exact digits of an integer scaled by 10^-scale.
TDecimal ScaledToDecimal(int64_t scaled, int scale);
// Formats a decimal the way FloatToStrF does; the decimal is already the double's exact digits
// (or a currency's) and is rounded here.
AnsiString DecimalToStrF(TDecimal d, TFloatFormat format, int precision, int digits, const TFormatSettings& fs,
                         bool fromCurrency);
// "NAN", "INF" or "-INF".
AnsiString SpecialFloat(double value);

}  // namespace rtl::sysutils_detail
