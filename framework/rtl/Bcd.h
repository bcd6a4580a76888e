// Packed decimal numbers (TBcd): up to 64 digits, of which up to 63 after the point.
//
// Layout: Precision is the number of digits held; SignSpecialPlaces has the sign in bit 7 and the
// number of decimal places in its low six bits; Fraction holds the digits two to a byte, high
// nibble first, left-aligned: the first digit is the high nibble of Fraction[0]. 123.45 is
// Precision 5, places 2, Fraction 12 34 50 ...; 0.05 is Precision 2, places 2, Fraction 05 ...
// Zero has no sign. Text uses the locale's decimal separator; "." is accepted when parsing too.
#pragma once

#include <cstdint>
#include <string_view>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Types.h"

namespace rtl {

RTL_DECLARE_EXCEPTION(EBcdException, Exception);
RTL_DECLARE_EXCEPTION(EBcdOverflowException, EBcdException);

constexpr int MaxFMTBcdFractionSize = 64;
constexpr int MaxFMTBcdDigits = 32;  // digits that round-trip through every routine exactly

// Parse decimal text ("-123,45", "1.5E3" not accepted). Raise EConvertError
// "'%s' is not a valid BCD value".
TBcd StrToBcd(std::string_view s);
TBcd StrToBcd(std::string_view s, const TFormatSettings& fs);
bool TryStrToBcd(std::string_view s, TBcd& bcd);
bool TryStrToBcd(std::string_view s, TBcd& bcd, const TFormatSettings& fs);

// Plain decimal text: "-" when negative, no thousand separators, trailing fraction zeros dropped.
AnsiString BcdToStr(const TBcd& bcd);
AnsiString BcdToStr(const TBcd& bcd, const TFormatSettings& fs);
// As FloatToStrF but exact on the decimal digits (rounding half away from zero).
AnsiString BcdToStrF(const TBcd& bcd, TFloatFormat format, int precision, int digits);
AnsiString BcdToStrF(const TBcd& bcd, TFloatFormat format, int precision, int digits, const TFormatSettings& fs);
AnsiString FormatBcd(std::string_view format, const TBcd& bcd);

// -1, 0, 1 by value (scale and precision play no part).
int BcdCompare(const TBcd& a, const TBcd& b);
bool BcdIsZero(const TBcd& bcd);
bool BcdIsNegative(const TBcd& bcd);

double BcdToDouble(const TBcd& bcd);
// At most 15 significant digits, as FloatToStr shows the value.
TBcd DoubleToBcd(double value);
bool TryDoubleToBcd(double value, TBcd& bcd);
// Exact; four places.
TBcd CurrToBcd(Currency value);
bool CurrToBcd(Currency value, TBcd& bcd, int precision, int places);
// Banker's rounding beyond four places; EBcdOverflowException (an EBcdException) when out of range.
Currency BcdToCurr(const TBcd& bcd);
bool TryBcdToCurr(const TBcd& bcd, Currency& value);
TBcd IntegerToBcd(int64_t value);
// The integer part (fraction cut toward zero); EBcdOverflowException outside int64, or outside
// int32 for BcdToInteger.
int32_t BcdToInteger(const TBcd& bcd, bool truncate = true);
int64_t BcdToInt64(const TBcd& bcd, bool truncate = true);

// Digits to the left of the point (leading zeros not counted), and the places as stored.
int BcdPrecision(const TBcd& bcd);
int BcdScale(const TBcd& bcd);
// Digits from the first to the last non-zero digit (0 for zero).
int BcdSignificantDigits(const TBcd& bcd);
// Fraction digits up to the last non-zero one.
int BcdFractionDigits(const TBcd& bcd);

// Rescales to the given places (rounding half away from zero when digits are dropped) and checks
// that the integer digits fit precision - places; false on overflow (out is left unchanged).
bool NormalizeBcd(const TBcd& in, TBcd& out, int precision, int places);
// Cuts (no rounding) to the given places.
TBcd BcdTruncate(const TBcd& in, int places);

// Exact arithmetic; raise EBcdOverflowException when the result needs more than 64 digits and
// EZeroDivide on division by zero. Division keeps up to 32 significant fraction digits.
void BcdAdd(const TBcd& a, const TBcd& b, TBcd& result);
void BcdSubtract(const TBcd& a, const TBcd& b, TBcd& result);
void BcdMultiply(const TBcd& a, const TBcd& b, TBcd& result);
void BcdDivide(const TBcd& a, const TBcd& b, TBcd& result);
TBcd BcdAdd(const TBcd& a, const TBcd& b);
TBcd BcdSubtract(const TBcd& a, const TBcd& b);
TBcd BcdMultiply(const TBcd& a, const TBcd& b);
TBcd BcdDivide(const TBcd& a, const TBcd& b);
TBcd BcdNegate(const TBcd& a);

// Byte-for-byte equality of two records is not value equality; use these.
inline bool BcdEqual(const TBcd& a, const TBcd& b) { return BcdCompare(a, b) == 0; }

}  // namespace rtl
