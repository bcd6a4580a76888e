// Locale settings, formatting and parsing of numbers, Booleans, dates and GUIDs, and the small
// string routines the rest of the system leans on. Every routine reads the one process-wide
// FormatSettings unless it is given settings of its own; the Linux locale plays no part.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace rtl {

class Variant;

// --- locale ---
struct TFormatSettings {
    char DecimalSeparator = ',';
    char ThousandSeparator = '\xA0';
    char DateSeparator = '.';
    char TimeSeparator = ':';
    char ListSeparator = ';';
    AnsiString ShortDateFormat = "dd.MM.yyyy";
    AnsiString LongDateFormat;  // "d MMMM yyyy 'г.'" in 1251
    AnsiString ShortTimeFormat = "H:mm";
    AnsiString LongTimeFormat = "H:mm:ss";
    AnsiString TimeAMString;
    AnsiString TimePMString;
    AnsiString CurrencyString = "\xF0.";  // "р." in 1251
    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    uint8_t CurrencyFormat = 3;
    // 0 "($1)" 1 "-$1" 2 "$-1" 3 "$1-" 4 "(1$)" 5 "-1$" 6 "1-$" 7 "1$-" 8 "-1 $" 9 "-$ 1"
    // 10 "1 $-" 11 "$ 1-" 12 "$ -1" 13 "1- $" 14 "($ 1)" 15 "(1 $)"
    uint8_t NegCurrFormat = 8;
    uint8_t CurrencyDecimals = 2;
    uint16_t TwoDigitYearCenturyWindow = 50;
    AnsiString ShortMonthNames[12];
    AnsiString LongMonthNames[12];
    AnsiString ShortDayNames[7];  // Sunday first
    AnsiString LongDayNames[7];

    // The Russian defaults of the process.
    static TFormatSettings Default();
};

// The one process-wide instance.
TFormatSettings& FormatSettings();

// Keeps a copy of the process-wide settings and puts it back when it goes out of scope.
class TScopedFormatSettings {
public:
    TScopedFormatSettings() : FSaved(FormatSettings()) {}
    explicit TScopedFormatSettings(const TFormatSettings& temporary) : FSaved(FormatSettings()) {
        FormatSettings() = temporary;
    }
    ~TScopedFormatSettings() { FormatSettings() = FSaved; }
    TScopedFormatSettings(const TScopedFormatSettings&) = delete;
    TScopedFormatSettings& operator=(const TScopedFormatSettings&) = delete;

private:
    TFormatSettings FSaved;
};

// --- rounding and checked narrowing ---
// Rounds half to even ("banker's rounding"); raises EConvertError when the result leaves int64.
int64_t BankersRound(double value);
// The double rounded half to even to a whole number (no range check).
double RoundHalfEven(double value);
// Raise EConvertError when the value does not fit the target type.
int32_t CheckedInt32(int64_t value);
int32_t CheckedInt32(double value);  // banker's rounding first
int64_t CheckedInt64(double value);  // banker's rounding first
int16_t CheckedInt16(int64_t value);
uint16_t CheckedUInt16(int64_t value);
int8_t CheckedInt8(int64_t value);
uint8_t CheckedUInt8(int64_t value);
uint32_t CheckedUInt32(int64_t value);

// --- Format ---
// One argument of Format: holds a copy of simple values and a view of text values, which live
// until the end of the full expression that calls Format.
struct TVarRec {
    enum TKind : uint8_t {
        vtInteger,
        vtInt64,
        vtUInt64,
        vtExtended,
        vtCurrency,
        vtChar,
        vtBoolean,
        vtAnsiString,
        vtWideString,
        vtPointer,
        vtVariant
    };
    TKind Kind;
    union {
        int64_t VInt64;
        uint64_t VUInt64;
        double VExtended;
        int64_t VCurrency;  // scaled by 10000
        char VChar;
        bool VBoolean;
        const void* VPointer;
        const Variant* VVariant;
    };
    std::string_view VAnsi;
    std::u16string_view VWide;

    TVarRec(int v) : Kind(vtInteger), VInt64(v) {}
    TVarRec(long v) : Kind(vtInt64), VInt64(v) {}
    TVarRec(long long v) : Kind(vtInt64), VInt64(v) {}
    TVarRec(unsigned v) : Kind(vtInt64), VInt64(v) {}
    TVarRec(unsigned long v) : Kind(vtUInt64), VUInt64(v) {}
    TVarRec(unsigned long long v) : Kind(vtUInt64), VUInt64(v) {}
    TVarRec(short v) : Kind(vtInteger), VInt64(v) {}
    TVarRec(unsigned short v) : Kind(vtInteger), VInt64(v) {}
    TVarRec(signed char v) : Kind(vtInteger), VInt64(v) {}
    TVarRec(unsigned char v) : Kind(vtInteger), VInt64(v) {}
    TVarRec(double v) : Kind(vtExtended), VExtended(v) {}
    TVarRec(float v) : Kind(vtExtended), VExtended(v) {}
    TVarRec(Currency v) : Kind(vtCurrency), VCurrency(v.Value) {}
    TVarRec(char v) : Kind(vtChar), VChar(v) {}
    TVarRec(bool v) : Kind(vtBoolean), VBoolean(v) {}
    TVarRec(const char* v) : Kind(vtAnsiString), VInt64(0), VAnsi(v ? v : "") {}
    TVarRec(const AnsiString& v) : Kind(vtAnsiString), VInt64(0), VAnsi(v) {}
    TVarRec(std::string_view v) : Kind(vtAnsiString), VInt64(0), VAnsi(v) {}
    TVarRec(const char16_t* v) : Kind(vtWideString), VInt64(0), VWide(v ? v : u"") {}
    TVarRec(const WideString& v) : Kind(vtWideString), VInt64(0), VWide(v) {}
    TVarRec(std::u16string_view v) : Kind(vtWideString), VInt64(0), VWide(v) {}
    TVarRec(const void* v) : Kind(vtPointer), VPointer(v) {}
    TVarRec(const Variant& v) : Kind(vtVariant), VVariant(&v) {}
};

// Format: %[index:][-][width][.precision]type with types d u x X e f g n m p s c and
// "%%"; "*" takes width or precision from the arguments. A mismatch raises EConvertError
// "Format '%s' invalid or incompatible with argument".
AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args);
AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs);

// --- integers ---
AnsiString IntToStr(int32_t value);
AnsiString IntToStr(int64_t value);
AnsiString IntToStr(long long value);
AnsiString UIntToStr(uint32_t value);
AnsiString UIntToStr(uint64_t value);
AnsiString UIntToStr(unsigned long long value);
// Upper-case hexadecimal with at least digits characters.
AnsiString IntToHex(int64_t value, int digits);
// Decimal or "$"/"0x"-prefixed hexadecimal; blanks around are allowed.
// Raise EConvertError "'%s' is not a valid integer value" (also on overflow).
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);
int32_t StrToIntDef(std::string_view s, int32_t def);
int64_t StrToInt64Def(std::string_view s, int64_t def);

// --- floating point and currency ---
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Shortest general form with 15 significant digits.
AnsiString FloatToStr(double value);
AnsiString FloatToStr(double value, const TFormatSettings& fs);
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs);
// Picture format: sections "pos;neg;zero" of 0 # . , E+ E- e+ e- and quoted literals.
AnsiString FormatFloat(std::string_view format, double value);
AnsiString FormatFloat(std::string_view format, double value, const TFormatSettings& fs);
AnsiString FormatCurr(std::string_view format, Currency value);
// The formatting cores behind FloatToStrF and FormatFloat, for exact decimals: the value is
// (negative ? -1 : 1) * 0.digits * 10^exponent, digits without leading zeros. Fixed formats round
// the exact digits half away from zero; precision limits only the general and exponent forms.
AnsiString DecimalDigitsToStrF(bool negative, std::string_view digits, int exponent, TFloatFormat format, int precision,
                               int digits10, const TFormatSettings& fs);
AnsiString FormatDecimalDigits(std::string_view format, bool negative, std::string_view digits, int exponent,
                               const TFormatSettings& fs);
// The locale's decimal separator; a thousand separator is not accepted. Raise EConvertError
// "'%s' is not a valid floating point value".
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& fs);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs);
double StrToFloatDef(std::string_view s, double def);

AnsiString CurrToStr(Currency value);
AnsiString CurrToStr(Currency value, const TFormatSettings& fs);
AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits);
AnsiString CurrToStrF(Currency value, TFloatFormat format, int digits, const TFormatSettings& fs);
// Exact decimal parse (no binary floating step) rounding half to even beyond four places.
Currency StrToCurr(std::string_view s);
Currency StrToCurr(std::string_view s, const TFormatSettings& fs);
bool TryStrToCurr(std::string_view s, Currency& value);
bool TryStrToCurr(std::string_view s, Currency& value, const TFormatSettings& fs);
Currency StrToCurrDef(std::string_view s, Currency def);
// Banker's rounding to ten-thousandths; EConvertError when out of the currency range.
Currency DoubleToCurr(double value);
bool TryDoubleToCurr(double value, Currency& result);
double CurrToDouble(Currency value);
Currency IntToCurr(int64_t value);  // EConvertError when out of range

// --- Booleans ---
// "True"/"False", or "-1"/"0" when useBoolStrs is false.
AnsiString BoolToStr(bool value, bool useBoolStrs = false);
// Accepts "True"/"False" without regard to case, and numbers (0 is false).
bool StrToBool(std::string_view s);
bool TryStrToBool(std::string_view s, bool& value);
bool StrToBoolDef(std::string_view s, bool def);

// --- dates and times ---
AnsiString DateToStr(TDateTime value);
AnsiString DateToStr(TDateTime value, const TFormatSettings& fs);
AnsiString TimeToStr(TDateTime value);
AnsiString TimeToStr(TDateTime value, const TFormatSettings& fs);
// Short date and long time; the time is left out at midnight.
AnsiString DateTimeToStr(TDateTime value);
AnsiString DateTimeToStr(TDateTime value, const TFormatSettings& fs);
AnsiString FormatDateTime(std::string_view format, TDateTime value);
AnsiString FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs);
TDateTime StrToDate(std::string_view s);
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs);
bool TryStrToDate(std::string_view s, TDateTime& value);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs);
TDateTime StrToDateDef(std::string_view s, TDateTime def);
TDateTime StrToTime(std::string_view s);
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs);
bool TryStrToTime(std::string_view s, TDateTime& value);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs);
TDateTime StrToTimeDef(std::string_view s, TDateTime def);
TDateTime StrToDateTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs);
bool TryStrToDateTime(std::string_view s, TDateTime& value);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs);
TDateTime StrToDateTimeDef(std::string_view s, TDateTime def);

// --- GUIDs ---
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
AnsiString GUIDToString(const TGUID& guid);
// Requires the braces; EConvertError "'%s' is not a valid GUID value".
TGUID StringToGUID(std::string_view s);
bool TryStringToGUID(std::string_view s, TGUID& guid);
bool IsEqualGUID(const TGUID& a, const TGUID& b);
TGUID NullGUID();

// --- strings ---
// Remove characters up to and including the blank (control characters too) at the ends.
AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);
WideString Trim(std::u16string_view s);
WideString TrimLeft(std::u16string_view s);
WideString TrimRight(std::u16string_view s);
// Wraps in quotes and doubles the quotes inside.
AnsiString QuotedStr(std::string_view s);
AnsiString AnsiQuotedStr(std::string_view s, char quote);
// Takes a quoted text off its quotes; a text that does not start with the quote comes back as is.
AnsiString AnsiDequotedStr(std::string_view s, char quote);
// Reads a quoted text at pos (which moves past the closing quote); empty when s[pos] is no quote.
AnsiString AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
AnsiString StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                         TReplaceFlags flags);
WideString StringReplace(std::u16string_view s, std::u16string_view oldPattern, std::u16string_view newPattern,
                         TReplaceFlags flags);

// 1-based position of sub in s, 0 when absent (as the platform's Pos).
int Pos(std::string_view sub, std::string_view s, int offset = 1);
int Pos(std::u16string_view sub, std::u16string_view s, int offset = 1);
// Substring with 1-based start, clipped to the text.
AnsiString Copy(std::string_view s, int index, int count);
WideString Copy(std::u16string_view s, int index, int count);
AnsiString StringOfChar(char c, int count);
bool StartsText(std::string_view sub, std::string_view s);
bool EndsText(std::string_view sub, std::string_view s);
bool StartsStr(std::string_view sub, std::string_view s);
bool EndsStr(std::string_view sub, std::string_view s);
// Byte-wise hexadecimal text (two upper-case digits a byte) and back.
AnsiString BytesToHex(const uint8_t* data, size_t count);
bool HexToBytes(std::string_view hex, TBytes& out);

}  // namespace rtl
