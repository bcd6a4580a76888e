// The concrete field classes and their registration per field type.
#include "framework/db/DB_FieldClasses.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

namespace db {

namespace {

bool IsTextVariant(const Variant& V) noexcept {
    rtl::TVarType t = V.VType();
    return t == rtl::varString || t == rtl::varOleStr;
}

bool IsFloatVariant(const Variant& V) noexcept {
    rtl::TVarType t = V.VType();
    return t == rtl::varSingle || t == rtl::varDouble || t == rtl::varCurrency || t == rtl::varDate ||
           t == rtl::varFMTBcd;
}

AnsiString IntText(int64_t v) { return rtl::IntToStr(v); }

// Convert(value) of a field, or Otherwise while the field is null.
template <class T, class Field, class R, class Convert = std::identity>
R ValueOr(const Field* F, bool (Field::*Get)(T&) const, R Otherwise, Convert C = {}) {
    T v{};
    return (F->*Get)(v) ? R(C(v)) : Otherwise;
}

// Reads a text field's value through a zeroed buffer of Units characters, on the stack for all
// but the longest fields, and gives Take the text up to its end; false while the field is null.
// Text is read on every paint of a cell: no allocation but that of the caller's value.
template <class C, class TakeText>
bool ReadFieldText(const TField* Field, size_t Units, TakeText&& Take) {
    C local[256];
    std::vector<C> heap;
    C* buf = local;
    if (Units > std::size(local)) {
        heap.resize(Units);
        buf = heap.data();
    }
    std::fill_n(buf, Units, C(0));
    if (!Field->GetData(buf)) return false;
    buf[Units - 1] = C(0);
    Take(std::basic_string_view<C>(buf, std::char_traits<C>::length(buf)));
    return true;
}

// Parsers of the field texts, as values for SetParsedText.
bool ParseInt64(const AnsiString& S, int64_t& V) { return rtl::TryStrToInt64(S, V); }
bool ParseFloat(const AnsiString& S, double& V) { return rtl::TryStrToFloat(S, V); }
bool ParseCurr(const AnsiString& S, rtl::Currency& V) { return rtl::TryStrToCurr(S, V); }
bool ParseBcd(const AnsiString& S, rtl::TBcd& V) { return rtl::TryStrToBcd(S, V); }

// Whole number nearest to V (half to even), or false when it leaves [Min, Max].
bool RoundInto(double V, int64_t Min, int64_t Max, int64_t& Out) {
    if (!std::isfinite(V)) return false;
    double r = rtl::RoundHalfEven(V);
    if (r < static_cast<double>(Min) || r > static_cast<double>(Max)) return false;
    // 2^63 itself rounds into range as a double but not as an integer.
    if (r >= 9223372036854775807.0) return false;
    Out = static_cast<int64_t>(r);
    return Out >= Min && Out <= Max;
}

constexpr int64_t kCurrencyMaxUnits = std::numeric_limits<int64_t>::max() / rtl::Currency::Scale;

// Whole units of a currency value, rounded half to even.
int64_t CurrencyUnits(rtl::Currency c) {
    int64_t q = c.Value / rtl::Currency::Scale;
    int64_t r = c.Value % rtl::Currency::Scale;
    int64_t half = rtl::Currency::Scale / 2;
    if (r > half || (r == half && (q & 1)))
        ++q;
    else if (r < -half || (r == -half && (q & 1)))
        --q;
    return q;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registration

void RegisterStandardFieldClasses() {
    static const bool done = [] {
        auto reg = [](TFieldType t, TFieldClass c) { RegisterFieldClass(t, c); };
        reg(ftString, &TStringField::StaticClass());
        reg(ftFixedChar, &TStringField::StaticClass());
        reg(ftOraInterval, &TStringField::StaticClass());
        reg(ftSmallint, &TSmallintField::StaticClass());
        reg(ftInteger, &TIntegerField::StaticClass());
        reg(ftWord, &TWordField::StaticClass());
        reg(ftBoolean, &TBooleanField::StaticClass());
        reg(ftFloat, &TFloatField::StaticClass());
        reg(ftCurrency, &TCurrencyField::StaticClass());
        reg(ftBCD, &TBCDField::StaticClass());
        reg(ftDate, &TDateField::StaticClass());
        reg(ftTime, &TTimeField::StaticClass());
        reg(ftDateTime, &TDateTimeField::StaticClass());
        reg(ftBytes, &TBytesField::StaticClass());
        reg(ftVarBytes, &TVarBytesField::StaticClass());
        reg(ftAutoInc, &TAutoIncField::StaticClass());
        for (TFieldType t : {ftBlob, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftOraBlob})
            reg(t, &TBlobField::StaticClass());
        reg(ftMemo, &TMemoField::StaticClass());
        reg(ftOraClob, &TMemoField::StaticClass());
        reg(ftGraphic, &TGraphicField::StaticClass());
        reg(ftWideString, &TWideStringField::StaticClass());
        reg(ftFixedWideChar, &TWideStringField::StaticClass());
        reg(ftLargeint, &TLargeintField::StaticClass());
        reg(ftADT, &TADTField::StaticClass());
        reg(ftArray, &TArrayField::StaticClass());
        reg(ftReference, &TReferenceField::StaticClass());
        reg(ftDataSet, &TDataSetField::StaticClass());
        reg(ftVariant, &TVariantField::StaticClass());
        reg(ftInterface, &TInterfaceField::StaticClass());
        reg(ftIDispatch, &TIDispatchField::StaticClass());
        reg(ftGuid, &TGuidField::StaticClass());
        reg(ftTimeStamp, &TSQLTimeStampField::StaticClass());
        reg(ftOraTimeStamp, &TSQLTimeStampField::StaticClass());
        reg(ftFMTBcd, &TFMTBCDField::StaticClass());
        reg(ftWideMemo, &TWideMemoField::StaticClass());
        return true;
    }();
    (void)done;
}

// ---------------------------------------------------------------------------------------------
// TStringField

TStringField::TStringField(rtl::TComponent* AOwner) : TField(AOwner) {
    FDataType = ftString;
    FSize = 20;
}

void TStringField::SetFixedChar(bool Value) { ChangeProperty(FFixedChar, Value, false); }

void TStringField::SetSize(int Value) {
    if (Value < 0) DatabaseError(msg::SInvalidFieldSize, this);
    TField::SetSize(Value);
}

bool TStringField::GetValue(AnsiString& Value) const {
    return ReadFieldText<char>(this, static_cast<size_t>(std::max(DataSize(), 1)),
                               [&](std::string_view Text) { Value.assign(Text); });
}

Variant TStringField::GetAsVariant() const {
    Variant v = Variant::Null();
    ReadFieldText<char>(this, static_cast<size_t>(std::max(DataSize(), 1)),
                        [&](std::string_view Text) { v = Variant(Text); });
    return v;
}

void TStringField::SetVarValue(const Variant& V) { SetAsStringValue(rtl::VarToStr(V)); }

AnsiString TStringField::GetAsString() const {
    AnsiString s;
    GetValue(s);
    return s;
}

void TStringField::SetAsStringValue(const AnsiString& V) {
    // Longer text is cut to the field's size, as the column cannot hold more.
    std::vector<char> buf(static_cast<size_t>(std::max(DataSize(), 1)), '\0');
    size_t n = std::min(V.size(), buf.size() - 1);
    size_t z = V.find('\0');
    if (z != AnsiString::npos) n = std::min(n, z);
    std::memcpy(buf.data(), V.data(), n);
    SetData(buf.data());
}

int32_t TStringField::GetAsInteger() const { return rtl::StrToInt(GetAsString()); }
void TStringField::SetAsIntegerValue(int32_t V) { SetAsStringValue(rtl::IntToStr(V)); }
int64_t TStringField::GetAsLargeInt() const { return rtl::StrToInt64(GetAsString()); }
void TStringField::SetAsLargeIntValue(int64_t V) { SetAsStringValue(rtl::IntToStr(V)); }
double TStringField::GetAsFloat() const { return rtl::StrToFloat(GetAsString()); }
void TStringField::SetAsFloatValue(double V) { SetAsStringValue(rtl::FloatToStr(V)); }

bool TStringField::GetAsBoolean() const {
    AnsiString s = GetAsString();
    return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsBooleanValue(bool V) { SetAsStringValue(V ? "T" : "F"); }

rtl::TDateTime TStringField::GetAsDateTime() const { return rtl::StrToDateTime(GetAsString()); }
void TStringField::SetAsDateTimeValue(rtl::TDateTime V) { SetAsStringValue(rtl::DateTimeToStr(V)); }
rtl::Currency TStringField::GetAsCurrency() const { return rtl::StrToCurr(GetAsString()); }
void TStringField::SetAsCurrencyValue(rtl::Currency V) { SetAsStringValue(rtl::CurrToStr(V)); }

// ---------------------------------------------------------------------------------------------
// TWideStringField

TWideStringField::TWideStringField(rtl::TComponent* AOwner) : TStringField(AOwner) { FDataType = ftWideString; }

bool TWideStringField::GetWideValue(WideString& Value) const {
    return ReadFieldText<char16_t>(this, static_cast<size_t>(std::max(DataSize(), 2)) / 2,
                                   [&](std::u16string_view Text) { Value.assign(Text); });
}

Variant TWideStringField::GetAsVariant() const {
    return ValueOr(this, &TWideStringField::GetWideValue, Variant::Null(),
                   [&](const WideString& s) { return Variant(s); });
}

AnsiString TWideStringField::GetAsString() const { return rtl::WideToAnsi(GetAsWideString()); }

void TWideStringField::SetAsStringValue(const AnsiString& V) { SetAsWideStringValue(rtl::AnsiToWide(V)); }

WideString TWideStringField::GetAsWideString() const {
    WideString s;
    GetWideValue(s);
    return s;
}

void TWideStringField::SetAsWideStringValue(const WideString& V) {
    size_t chars = static_cast<size_t>(std::max(DataSize(), 2)) / 2;
    std::vector<char16_t> buf(chars, u'\0');
    size_t n = std::min(V.size(), chars - 1);
    size_t z = V.find(u'\0');
    if (z != WideString::npos) n = std::min(n, z);
    std::memcpy(buf.data(), V.data(), n * sizeof(char16_t));
    SetData(buf.data());
}

void TWideStringField::SetVarValue(const Variant& V) { SetAsWideStringValue(rtl::VarToWideStr(V)); }

// ---------------------------------------------------------------------------------------------
// TGuidField

TGuidField::TGuidField(rtl::TComponent* AOwner) : TStringField(AOwner) {
    FDataType = ftGuid;
    FSize = 38;
}

void TGuidField::SetSize(int Value) { TStringField::SetSize(Value); }

rtl::TGUID TGuidField::AsGuid() const {
    AnsiString s = GetAsString();
    if (s.empty()) return rtl::NullGUID();
    return rtl::StringToGUID(s);
}

void TGuidField::SetAsGuid(const rtl::TGUID& Value) { TStringField::SetAsStringValue(rtl::GUIDToString(Value)); }

void TGuidField::SetAsStringValue(const AnsiString& V) {
    if (V.empty()) {
        Clear();
        return;
    }
    rtl::TGUID g = rtl::StringToGUID(V);  // the runtime's message for a malformed GUID
    SetAsGuid(g);
}

// ---------------------------------------------------------------------------------------------
// TNumericField

TNumericField::TNumericField(rtl::TComponent* AOwner) : TField(AOwner) { SetAlignment(taRightJustify); }

void TNumericField::SetDisplayFormat(const AnsiString& Value) { ChangeProperty(FDisplayFormat, Value, false); }
void TNumericField::SetEditFormat(const AnsiString& Value) { ChangeProperty(FEditFormat, Value, false); }

AnsiString TNumericField::IntegerText(int64_t Value, bool DisplayText) const {
    const AnsiString& fmt = FormatFor(DisplayText);
    return fmt.empty() ? rtl::IntToStr(Value) : rtl::FormatFloat(fmt, static_cast<double>(Value));
}

void TNumericField::SetIntegerVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else if (IsFloatVariant(V))
        SetAsFloatValue(V.AsDouble());
    else
        SetAsLargeIntValue(V.AsInt64());
}

void TNumericField::ConversionRangeError(const AnsiString& Value, double Min, double Max) const {
    throw rtl::EConvertError(
        rtl::Format(msg::SFieldRangeErrorText, {Value, DisplayNameA(), rtl::FloatToStr(Min), rtl::FloatToStr(Max)}));
}

rtl::TBcd TNumericField::FitDigits(const rtl::TBcd& V, int Precision, int Places) const {
    rtl::TBcd out;
    if (rtl::NormalizeBcd(V, out, Precision, Places)) return out;
    AnsiString limit = AnsiString(static_cast<size_t>(Precision - Places), '9');
    if (limit.empty()) limit = "0";
    if (Places > 0) limit += rtl::FormatSettings().DecimalSeparator + AnsiString(static_cast<size_t>(Places), '9');
    throw rtl::EConvertError(
        rtl::Format(msg::SFieldRangeErrorText, {rtl::BcdToStr(V), DisplayNameA(), "-" + limit, limit}));
}

void TNumericField::RangeError(double Value, double Min, double Max) const {
    DatabaseError(rtl::Format(msg::SFieldRangeError, {Value, DisplayNameA(), Min, Max}),
                  const_cast<TNumericField*>(this));
}

// ---------------------------------------------------------------------------------------------
// TIntegerField

TIntegerField::TIntegerField(rtl::TComponent* AOwner) : TNumericField(AOwner) { FDataType = ftInteger; }


void TIntegerField::SetMinValue(int32_t Value) { FMinValue = Value; }
void TIntegerField::SetMaxValue(int32_t Value) { FMaxValue = Value; }

int TIntegerField::DataSize() const { return (FDataType == ftSmallint || FDataType == ftWord) ? 2 : 4; }

int TIntegerField::DefaultDisplayWidth() const {
    switch (FDataType) {
        case ftSmallint: return 6;
        case ftWord: return 5;
        default: return 11;
    }
}

void TIntegerField::TypeRange(int64_t& Min, int64_t& Max) const {
    switch (FDataType) {
        case ftSmallint:
            Min = std::numeric_limits<int16_t>::min();
            Max = std::numeric_limits<int16_t>::max();
            break;
        case ftWord:
            Min = 0;
            Max = std::numeric_limits<uint16_t>::max();
            break;
        default:
            Min = std::numeric_limits<int32_t>::min();
            Max = std::numeric_limits<int32_t>::max();
            break;
    }
}

bool TIntegerField::GetValue(int32_t& Value) const {
    uint8_t buf[8] = {};
    if (!GetData(buf)) return false;
    if (FDataType == ftSmallint) {
        int16_t v;
        std::memcpy(&v, buf, sizeof v);
        Value = v;
    } else if (FDataType == ftWord) {
        uint16_t v;
        std::memcpy(&v, buf, sizeof v);
        Value = v;
    } else {
        std::memcpy(&Value, buf, sizeof Value);
    }
    return true;
}

Variant TIntegerField::GetAsVariant() const {
    return ValueOr(this, &TIntegerField::GetValue, Variant::Null(), [&](const int32_t& v) { return Variant(v); });
}

void TIntegerField::SetVarValue(const Variant& V) { SetIntegerVarValue(V); }

AnsiString TIntegerField::GetAsString() const {
    return ValueOr(this, &TIntegerField::GetValue, AnsiString(), [&](const int32_t& v) { return rtl::IntToStr(v); });
}

void TIntegerField::SetAsStringValue(const AnsiString& V) {
    SetParsedText<int64_t>(V, msg::SInvalidIntegerValue, ParseInt64, [this](int64_t v) { SetAsLargeIntValue(v); });
}

int32_t TIntegerField::GetAsInteger() const { return ValueOr(this, &TIntegerField::GetValue, int32_t(0)); }

void TIntegerField::SetAsIntegerValue(int32_t V) { SetAsLargeIntValue(V); }

int64_t TIntegerField::GetAsLargeInt() const { return GetAsInteger(); }

void TIntegerField::SetAsLargeIntValue(int64_t V) {
    int64_t lo, hi;
    TypeRange(lo, hi);
    if (V < lo || V > hi) ConversionRangeError(IntText(V), static_cast<double>(lo), static_cast<double>(hi));
    if ((FMinValue != 0 || FMaxValue != 0) && (V < FMinValue || V > FMaxValue))
        RangeError(static_cast<double>(V), FMinValue, FMaxValue);
    uint8_t buf[4] = {};
    if (FDataType == ftSmallint) {
        int16_t v = static_cast<int16_t>(V);
        std::memcpy(buf, &v, sizeof v);
    } else if (FDataType == ftWord) {
        uint16_t v = static_cast<uint16_t>(V);
        std::memcpy(buf, &v, sizeof v);
    } else {
        int32_t v = static_cast<int32_t>(V);
        std::memcpy(buf, &v, sizeof v);
    }
    SetData(buf);
}

double TIntegerField::GetAsFloat() const { return GetAsInteger(); }

void TIntegerField::SetAsFloatValue(double V) {
    int64_t lo, hi, r;
    TypeRange(lo, hi);
    if (!RoundInto(V, lo, hi, r))
        ConversionRangeError(rtl::FloatToStr(V), static_cast<double>(lo), static_cast<double>(hi));
    SetAsLargeIntValue(r);
}

rtl::Currency TIntegerField::GetAsCurrency() const { return rtl::IntToCurr(GetAsInteger()); }

void TIntegerField::SetAsCurrencyValue(rtl::Currency V) {
    int64_t lo, hi;
    TypeRange(lo, hi);
    int64_t units = CurrencyUnits(V);
    if (units < lo || units > hi)
        ConversionRangeError(rtl::CurrToStr(V), static_cast<double>(lo), static_cast<double>(hi));
    SetAsLargeIntValue(units);
}

rtl::TBcd TIntegerField::GetAsBCD() const { return rtl::IntegerToBcd(GetAsInteger()); }

void TIntegerField::SetAsBCDValue(const rtl::TBcd& V) { SetAsFloatValue(rtl::BcdToDouble(V)); }

void TIntegerField::GetText(AnsiString& Text, bool DisplayText) const {
    int32_t v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    Text = IntegerText(v, DisplayText);
}

// ---------------------------------------------------------------------------------------------
// TLargeintField

TLargeintField::TLargeintField(rtl::TComponent* AOwner) : TNumericField(AOwner) { FDataType = ftLargeint; }

void TLargeintField::SetMinValue(int64_t Value) { FMinValue = Value; }
void TLargeintField::SetMaxValue(int64_t Value) { FMaxValue = Value; }

bool TLargeintField::GetValue(int64_t& Value) const {
    int64_t v = 0;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

Variant TLargeintField::GetAsVariant() const {
    return ValueOr(this, &TLargeintField::GetValue, Variant::Null(),
                   [&](const int64_t& v) { return Variant(static_cast<long long>(v)); });
}

void TLargeintField::SetVarValue(const Variant& V) { SetIntegerVarValue(V); }

AnsiString TLargeintField::GetAsString() const {
    return ValueOr(this, &TLargeintField::GetValue, AnsiString(), [&](const int64_t& v) { return rtl::IntToStr(v); });
}

void TLargeintField::SetAsStringValue(const AnsiString& V) {
    SetParsedText<int64_t>(V, msg::SInvalidIntegerValue, ParseInt64, [this](int64_t v) { SetAsLargeIntValue(v); });
}

int32_t TLargeintField::GetAsInteger() const {
    int64_t v;
    if (!GetValue(v)) return 0;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        ConversionRangeError(IntText(v), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(v);
}

void TLargeintField::SetAsIntegerValue(int32_t V) { SetAsLargeIntValue(V); }

int64_t TLargeintField::GetAsLargeInt() const { return ValueOr(this, &TLargeintField::GetValue, int64_t(0)); }

void TLargeintField::SetAsLargeIntValue(int64_t V) {
    if ((FMinValue != 0 || FMaxValue != 0) && (V < FMinValue || V > FMaxValue))
        RangeError(static_cast<double>(V), static_cast<double>(FMinValue), static_cast<double>(FMaxValue));
    SetData(&V);
}

double TLargeintField::GetAsFloat() const { return static_cast<double>(GetAsLargeInt()); }

void TLargeintField::SetAsFloatValue(double V) {
    int64_t r;
    constexpr int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
    if (!RoundInto(V, lo, hi, r))
        ConversionRangeError(rtl::FloatToStr(V), static_cast<double>(lo), static_cast<double>(hi));
    SetAsLargeIntValue(r);
}

rtl::Currency TLargeintField::GetAsCurrency() const {
    int64_t v = GetAsLargeInt();
    if (v > kCurrencyMaxUnits || v < -kCurrencyMaxUnits)
        ConversionRangeError(IntText(v), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    return rtl::IntToCurr(v);
}

void TLargeintField::SetAsCurrencyValue(rtl::Currency V) { SetAsLargeIntValue(CurrencyUnits(V)); }

rtl::TBcd TLargeintField::GetAsBCD() const { return rtl::IntegerToBcd(GetAsLargeInt()); }

void TLargeintField::SetAsBCDValue(const rtl::TBcd& V) {
    try {
        SetAsLargeIntValue(rtl::BcdToInt64(V, false));
    } catch (const rtl::EBcdException&) {
        ConversionRangeError(rtl::BcdToStr(V), static_cast<double>(std::numeric_limits<int64_t>::min()),
                             static_cast<double>(std::numeric_limits<int64_t>::max()));
    }
}

void TLargeintField::GetText(AnsiString& Text, bool DisplayText) const {
    int64_t v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    Text = IntegerText(v, DisplayText);
}

// ---------------------------------------------------------------------------------------------
// TFloatField

TFloatField::TFloatField(rtl::TComponent* AOwner) : TNumericField(AOwner) { FDataType = ftFloat; }

TCurrencyField::TCurrencyField(rtl::TComponent* AOwner) : TFloatField(AOwner) {
    FDataType = ftCurrency;
    SetCurrency(true);
}

void TFloatField::SetCurrency(bool Value) { ChangeProperty(FCurrency, Value, false); }

void TFloatField::SetMinValue(double Value) { FMinValue = Value; }
void TFloatField::SetMaxValue(double Value) { FMaxValue = Value; }

void TFloatField::SetPrecision(int Value) { ChangeProperty(FPrecision, std::clamp(Value, 2, 15), false); }

bool TFloatField::GetValue(double& Value) const {
    double v = 0;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

Variant TFloatField::GetAsVariant() const {
    return ValueOr(this, &TFloatField::GetValue, Variant::Null(), [&](const double& v) { return Variant(v); });
}

void TFloatField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else
        SetAsFloatValue(V.AsDouble());
}

AnsiString TFloatField::GetAsString() const {
    return ValueOr(this, &TFloatField::GetValue, AnsiString(), [&](const double& v) { return rtl::FloatToStr(v); });
}

void TFloatField::SetAsStringValue(const AnsiString& V) {
    SetParsedText<double>(V, msg::SInvalidFloatValue, ParseFloat, [this](double v) { SetAsFloatValue(v); });
}

int32_t TFloatField::GetAsInteger() const {
    double v;
    if (!GetValue(v)) return 0;
    int64_t r;
    constexpr int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    if (!RoundInto(v, lo, hi, r)) ConversionRangeError(rtl::FloatToStr(v), lo, hi);
    return static_cast<int32_t>(r);
}

void TFloatField::SetAsIntegerValue(int32_t V) { SetAsFloatValue(V); }

int64_t TFloatField::GetAsLargeInt() const {
    double v;
    if (!GetValue(v)) return 0;
    int64_t r;
    constexpr int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
    if (!RoundInto(v, lo, hi, r))
        ConversionRangeError(rtl::FloatToStr(v), static_cast<double>(lo), static_cast<double>(hi));
    return r;
}

void TFloatField::SetAsLargeIntValue(int64_t V) { SetAsFloatValue(static_cast<double>(V)); }

double TFloatField::GetAsFloat() const { return ValueOr(this, &TFloatField::GetValue, double(0.0)); }

void TFloatField::SetAsFloatValue(double V) {
    if (!std::isfinite(V)) DatabaseErrorFmt(msg::SInvalidFloatValue, {rtl::FloatToStr(V), DisplayNameA()}, this);
    if ((FMinValue != 0 || FMaxValue != 0) && (V < FMinValue || V > FMaxValue)) RangeError(V, FMinValue, FMaxValue);
    SetData(&V);
}

rtl::Currency TFloatField::GetAsCurrency() const {
    double v;
    if (!GetValue(v)) return {};
    rtl::Currency c;
    if (!rtl::TryDoubleToCurr(v, c))
        ConversionRangeError(rtl::FloatToStr(v), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    return c;
}

void TFloatField::SetAsCurrencyValue(rtl::Currency V) { SetAsFloatValue(rtl::CurrToDouble(V)); }

rtl::TBcd TFloatField::GetAsBCD() const {
    double v;
    if (!GetValue(v)) return {};
    return rtl::DoubleToBcd(v);
}

void TFloatField::SetAsBCDValue(const rtl::TBcd& V) { SetAsFloatValue(rtl::BcdToDouble(V)); }

void TFloatField::GetText(AnsiString& Text, bool DisplayText) const {
    double v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(DisplayText);
    if (!fmt.empty()) {
        Text = rtl::FormatFloat(fmt, v);
    } else if (FCurrency) {
        Text = rtl::FloatToStrF(v, DisplayText ? rtl::ffCurrency : rtl::ffFixed, FPrecision,
                                rtl::FormatSettings().CurrencyDecimals);
    } else {
        Text = rtl::FloatToStrF(v, rtl::ffGeneral, FPrecision, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// TBCDField

TBCDField::TBCDField(rtl::TComponent* AOwner) : TNumericField(AOwner) {
    FDataType = ftBCD;
    FSize = 4;
}

void TBCDField::SetCurrency(bool Value) { ChangeProperty(FCurrency, Value, false); }

void TBCDField::SetMinValue(rtl::Currency Value) { FMinValue = Value; }
void TBCDField::SetMaxValue(rtl::Currency Value) { FMaxValue = Value; }

void TBCDField::SetPrecision(int Value) { ChangeProperty(FPrecision, std::clamp(Value, 0, 32), false); }

bool TBCDField::GetValue(rtl::Currency& Value) const {
    int64_t raw = 0;
    if (!GetData(&raw, false)) return false;
    Value = rtl::Currency::FromScaled(raw);
    return true;
}

Variant TBCDField::GetAsVariant() const {
    return ValueOr(this, &TBCDField::GetValue, Variant::Null(), [&](const rtl::Currency& c) { return Variant(c); });
}

void TBCDField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else if (V.VType() == rtl::varFMTBcd)
        SetAsBCDValue(V.AsBcd());
    else if (V.VType() == rtl::varSingle || V.VType() == rtl::varDouble || V.VType() == rtl::varDate)
        SetAsFloatValue(V.AsDouble());
    else if (V.VType() == rtl::varCurrency)
        SetAsCurrencyValue(V.AsCurrency());
    else
        SetAsLargeIntValue(V.AsInt64());
}

AnsiString TBCDField::GetAsString() const {
    return ValueOr(this, &TBCDField::GetValue, AnsiString(), [&](const rtl::Currency& c) { return rtl::CurrToStr(c); });
}

void TBCDField::SetAsStringValue(const AnsiString& V) {
    SetParsedText<rtl::Currency>(V, msg::SInvalidFloatValue, ParseCurr,
                                 [this](rtl::Currency c) { SetAsCurrencyValue(c); });
}

int32_t TBCDField::GetAsInteger() const {
    rtl::Currency c;
    if (!GetValue(c)) return 0;
    int64_t u = CurrencyUnits(c);
    if (u < std::numeric_limits<int32_t>::min() || u > std::numeric_limits<int32_t>::max())
        ConversionRangeError(rtl::CurrToStr(c), std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(u);
}

void TBCDField::SetAsIntegerValue(int32_t V) { SetAsCurrencyValue(rtl::IntToCurr(V)); }

int64_t TBCDField::GetAsLargeInt() const {
    return ValueOr(this, &TBCDField::GetValue, int64_t(0), [&](const rtl::Currency& c) { return CurrencyUnits(c); });
}

void TBCDField::SetAsLargeIntValue(int64_t V) {
    if (V > kCurrencyMaxUnits || V < -kCurrencyMaxUnits)
        ConversionRangeError(IntText(V), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    SetAsCurrencyValue(rtl::IntToCurr(V));
}

double TBCDField::GetAsFloat() const {
    return ValueOr(this, &TBCDField::GetValue, double(0.0),
                   [&](const rtl::Currency& c) { return rtl::CurrToDouble(c); });
}

void TBCDField::SetAsFloatValue(double V) {
    rtl::Currency c;
    if (!rtl::TryDoubleToCurr(V, c))
        ConversionRangeError(rtl::FloatToStr(V), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    SetAsCurrencyValue(c);
}

rtl::Currency TBCDField::GetAsCurrency() const { return ValueOr(this, &TBCDField::GetValue, rtl::Currency{}); }

void TBCDField::SetAsCurrencyValue(rtl::Currency V) {
    if ((FMinValue.Value != 0 || FMaxValue.Value != 0) && (V < FMinValue || V > FMaxValue))
        RangeError(rtl::CurrToDouble(V), rtl::CurrToDouble(FMinValue), rtl::CurrToDouble(FMaxValue));
    if (FPrecision > 0) {
        // A currency keeps at most four places; the column may keep fewer.
        int places = std::clamp(FSize, 0, std::min(FPrecision, 4));
        V = rtl::BcdToCurr(FitDigits(rtl::CurrToBcd(V), FPrecision, places));
    }
    int64_t raw = V.Value;
    SetData(&raw, false);
}

rtl::TBcd TBCDField::GetAsBCD() const {
    rtl::Currency c;
    if (!GetValue(c)) return {};
    return rtl::CurrToBcd(c);
}

void TBCDField::SetAsBCDValue(const rtl::TBcd& V) {
    rtl::Currency c;
    if (!rtl::TryBcdToCurr(V, c))
        ConversionRangeError(rtl::BcdToStr(V), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    SetAsCurrencyValue(c);
}

void TBCDField::GetText(AnsiString& Text, bool DisplayText) const {
    rtl::Currency c;
    if (!GetValue(c)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(DisplayText);
    if (!fmt.empty())
        Text = rtl::FormatCurr(fmt, c);
    else if (FCurrency)
        Text = rtl::CurrToStrF(c, DisplayText ? rtl::ffCurrency : rtl::ffFixed, rtl::FormatSettings().CurrencyDecimals);
    else
        Text = rtl::CurrToStrF(c, rtl::ffGeneral, 0);
}

// ---------------------------------------------------------------------------------------------
// TFMTBCDField

TFMTBCDField::TFMTBCDField(rtl::TComponent* AOwner) : TNumericField(AOwner) {
    FDataType = ftFMTBcd;
    FSize = 8;
}

void TFMTBCDField::SetCurrency(bool Value) { ChangeProperty(FCurrency, Value, false); }

void TFMTBCDField::SetMinValue(const AnsiString& Value) {
    rtl::TBcd b;
    if (!Value.empty() && !rtl::TryStrToBcd(Value, b))
        DatabaseErrorFmt(msg::SInvalidBcdValue, {Value, DisplayNameA()}, this);
    FMinValue = Value;
}

void TFMTBCDField::SetMaxValue(const AnsiString& Value) {
    rtl::TBcd b;
    if (!Value.empty() && !rtl::TryStrToBcd(Value, b))
        DatabaseErrorFmt(msg::SInvalidBcdValue, {Value, DisplayNameA()}, this);
    FMaxValue = Value;
}

void TFMTBCDField::SetPrecision(int Value) { ChangeProperty(FPrecision, std::clamp(Value, 0, 64), false); }

bool TFMTBCDField::GetValue(rtl::TBcd& Value) const {
    rtl::TBcd b;
    if (!GetData(&b)) return false;
    Value = b;
    return true;
}

Variant TFMTBCDField::GetAsVariant() const {
    return ValueOr(this, &TFMTBCDField::GetValue, Variant::Null(),
                   [&](const rtl::TBcd& b) { return Variant::FromBcd(b); });
}

void TFMTBCDField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else if (V.VType() == rtl::varFMTBcd)
        SetAsBCDValue(V.AsBcd());
    else if (V.VType() == rtl::varCurrency)
        SetAsCurrencyValue(V.AsCurrency());
    else if (IsFloatVariant(V))
        SetAsFloatValue(V.AsDouble());
    else
        SetAsLargeIntValue(V.AsInt64());
}

AnsiString TFMTBCDField::GetAsString() const {
    return ValueOr(this, &TFMTBCDField::GetValue, AnsiString(), [&](const rtl::TBcd& b) { return rtl::BcdToStr(b); });
}

void TFMTBCDField::SetAsStringValue(const AnsiString& V) {
    SetParsedText<rtl::TBcd>(V, msg::SInvalidBcdValue, ParseBcd, [this](const rtl::TBcd& b) { SetAsBCDValue(b); });
}

int32_t TFMTBCDField::GetAsInteger() const {
    rtl::TBcd b;
    if (!GetValue(b)) return 0;
    int64_t r;
    constexpr int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    if (!RoundInto(rtl::BcdToDouble(b), lo, hi, r)) ConversionRangeError(rtl::BcdToStr(b), lo, hi);
    return static_cast<int32_t>(r);
}

void TFMTBCDField::SetAsIntegerValue(int32_t V) { SetAsBCDValue(rtl::IntegerToBcd(V)); }

int64_t TFMTBCDField::GetAsLargeInt() const {
    rtl::TBcd b;
    if (!GetValue(b)) return 0;
    try {
        return rtl::BcdToInt64(b, false);
    } catch (const rtl::EBcdException&) {
        ConversionRangeError(rtl::BcdToStr(b), static_cast<double>(std::numeric_limits<int64_t>::min()),
                             static_cast<double>(std::numeric_limits<int64_t>::max()));
    }
}

void TFMTBCDField::SetAsLargeIntValue(int64_t V) { SetAsBCDValue(rtl::IntegerToBcd(V)); }

double TFMTBCDField::GetAsFloat() const {
    return ValueOr(this, &TFMTBCDField::GetValue, double(0.0), [&](const rtl::TBcd& b) { return rtl::BcdToDouble(b); });
}

void TFMTBCDField::SetAsFloatValue(double V) {
    rtl::TBcd b;
    if (!std::isfinite(V) || !rtl::TryDoubleToBcd(V, b))
        DatabaseErrorFmt(msg::SInvalidBcdValue, {rtl::FloatToStr(V), DisplayNameA()}, this);
    SetAsBCDValue(b);
}

rtl::Currency TFMTBCDField::GetAsCurrency() const {
    rtl::TBcd b;
    if (!GetValue(b)) return {};
    rtl::Currency c;
    if (!rtl::TryBcdToCurr(b, c))
        ConversionRangeError(rtl::BcdToStr(b), -static_cast<double>(kCurrencyMaxUnits),
                             static_cast<double>(kCurrencyMaxUnits));
    return c;
}

void TFMTBCDField::SetAsCurrencyValue(rtl::Currency V) { SetAsBCDValue(rtl::CurrToBcd(V)); }

rtl::TBcd TFMTBCDField::GetAsBCD() const { return ValueOr(this, &TFMTBCDField::GetValue, rtl::TBcd{}); }

void TFMTBCDField::SetAsBCDValue(const rtl::TBcd& V) {
    rtl::TBcd lo, hi;
    bool hasLo = !FMinValue.empty() && rtl::TryStrToBcd(FMinValue, lo);
    bool hasHi = !FMaxValue.empty() && rtl::TryStrToBcd(FMaxValue, hi);
    if ((hasLo && rtl::BcdCompare(V, lo) < 0) || (hasHi && rtl::BcdCompare(V, hi) > 0))
        DatabaseError(rtl::Format(msg::SFieldRangeErrorText,
                                  {rtl::BcdToStr(V), DisplayNameA(), hasLo ? rtl::BcdToStr(lo) : AnsiString(),
                                   hasHi ? rtl::BcdToStr(hi) : AnsiString()}),
                      this);
    rtl::TBcd stored = FPrecision > 0 ? FitDigits(V, FPrecision, std::clamp(FSize, 0, FPrecision)) : V;
    SetData(&stored);
}

void TFMTBCDField::GetText(AnsiString& Text, bool DisplayText) const {
    rtl::TBcd b;
    if (!GetValue(b)) {
        Text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(DisplayText);
    if (!fmt.empty())
        Text = rtl::FormatBcd(fmt, b);
    else if (FCurrency)
        Text =
            rtl::BcdToStrF(b, DisplayText ? rtl::ffCurrency : rtl::ffFixed, 32, rtl::FormatSettings().CurrencyDecimals);
    else
        Text = rtl::BcdToStr(b);
}

// ---------------------------------------------------------------------------------------------
// TBooleanField

TBooleanField::TBooleanField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftBoolean; }

void TBooleanField::SetDisplayValues(const AnsiString& Value) {
    size_t p = Value.find(';');
    AnsiString t = p == AnsiString::npos ? Value : Value.substr(0, p);
    AnsiString f = p == AnsiString::npos ? AnsiString() : Value.substr(p + 1);
    FDisplayValues = Value;
    FTextTrue = t;
    FTextFalse = f;
    PropertyChanged(true);
}

int TBooleanField::DefaultDisplayWidth() const {
    return static_cast<int>(std::max(FTextTrue.size(), FTextFalse.size()));
}

bool TBooleanField::GetValue(bool& Value) const {
    uint16_t v = 0;
    if (!GetData(&v)) return false;
    Value = v != 0;
    return true;
}

Variant TBooleanField::GetAsVariant() const {
    return ValueOr(this, &TBooleanField::GetValue, Variant::Null(), [&](const bool& v) { return Variant(v); });
}

void TBooleanField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else
        SetAsBooleanValue(V.AsBoolean());
}

AnsiString TBooleanField::GetAsString() const {
    bool v;
    if (!GetValue(v)) return {};
    return v ? FTextTrue : FTextFalse;
}

void TBooleanField::SetAsStringValue(const AnsiString& V) {
    if (V.empty()) {
        Clear();
        return;
    }
    // A leading part of either text is enough; the false text is tried first.
    auto matches = [&](const AnsiString& text) {
        return V.size() <= text.size() && rtl::AnsiSameText(V, std::string_view(text).substr(0, V.size()));
    };
    if (matches(FTextFalse))
        SetAsBooleanValue(false);
    else if (matches(FTextTrue))
        SetAsBooleanValue(true);
    else
        DatabaseErrorFmt(msg::SInvalidBoolValue, {V, DisplayNameA()}, this);
}

bool TBooleanField::GetAsBoolean() const { return ValueOr(this, &TBooleanField::GetValue, bool(false)); }

void TBooleanField::SetAsBooleanValue(bool V) {
    uint16_t v = V ? 1 : 0;
    SetData(&v);
}

int32_t TBooleanField::GetAsInteger() const { return GetAsBoolean() ? 1 : 0; }

void TBooleanField::SetAsIntegerValue(int32_t V) { SetAsBooleanValue(V != 0); }

// ---------------------------------------------------------------------------------------------
// TDateTimeField

TDateTimeField::TDateTimeField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftDateTime; }

void TDateTimeField::SetDisplayFormat(const AnsiString& Value) { ChangeProperty(FDisplayFormat, Value, false); }

int TDateTimeField::DataSize() const { return (FDataType == ftDate || FDataType == ftTime) ? 4 : 8; }

int TDateTimeField::DefaultDisplayWidth() const {
    switch (FDataType) {
        case ftDate: return 10;
        case ftTime: return 8;
        default: return 19;
    }
}

bool TDateTimeField::GetValue(rtl::TDateTime& Value) const {
    uint8_t buf[8] = {};
    if (!GetData(buf)) return false;
    rtl::TTimeStamp ts;
    if (FDataType == ftDate) {
        std::memcpy(&ts.Date, buf, sizeof ts.Date);
        ts.Time = 0;
    } else if (FDataType == ftTime) {
        std::memcpy(&ts.Time, buf, sizeof ts.Time);
        ts.Date = rtl::DateDelta;
    } else {
        double ms;
        std::memcpy(&ms, buf, sizeof ms);
        if (!std::isfinite(ms) || ms < 0 || ms > 9.2e18)
            throw rtl::EConvertError(rtl::Format("'%s' is not a valid timestamp", {rtl::FloatToStr(ms)}));
        ts = rtl::MSecsToTimeStamp(static_cast<int64_t>(std::llround(ms)));
    }
    Value = rtl::TimeStampToDateTime(ts);  // the runtime's message for a broken value
    return true;
}

Variant TDateTimeField::GetAsVariant() const {
    return ValueOr(this, &TDateTimeField::GetValue, Variant::Null(),
                   [&](const rtl::TDateTime& v) { return Variant::FromDate(v); });
}

void TDateTimeField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else
        SetAsDateTimeValue(V.AsDateTime());
}

AnsiString TDateTimeField::GetAsString() const {
    AnsiString text;
    GetText(text, false);
    return text;
}

void TDateTimeField::SetAsStringValue(const AnsiString& V) {
    if (V.empty()) {
        Clear();
        return;
    }
    rtl::TDateTime d;
    switch (FDataType) {
        case ftDate: d = rtl::StrToDate(V); break;
        case ftTime: d = rtl::StrToTime(V); break;
        default: d = rtl::StrToDateTime(V); break;
    }
    SetAsDateTimeValue(d);
}

double TDateTimeField::GetAsFloat() const { return GetAsDateTime(); }
void TDateTimeField::SetAsFloatValue(double V) { SetAsDateTimeValue(V); }

rtl::TDateTime TDateTimeField::GetAsDateTime() const {
    return ValueOr(this, &TDateTimeField::GetValue, rtl::TDateTime(0.0));
}

void TDateTimeField::SetAsDateTimeValue(rtl::TDateTime V) {
    if (!std::isfinite(V) || V < rtl::MinDateTime || V >= rtl::MaxDateTime + 1)
        throw rtl::EConvertError(rtl::Format(msg::SFieldRangeErrorText,
                                             {rtl::FloatToStr(V), DisplayNameA(), rtl::FloatToStr(rtl::MinDateTime),
                                              rtl::FloatToStr(rtl::MaxDateTime)}));
    rtl::TTimeStamp ts = rtl::DateTimeToTimeStamp(V);
    rtl::ValidateTimeStamp(ts);
    uint8_t buf[8] = {};
    if (FDataType == ftDate) {
        std::memcpy(buf, &ts.Date, sizeof ts.Date);
    } else if (FDataType == ftTime) {
        std::memcpy(buf, &ts.Time, sizeof ts.Time);
    } else {
        double ms = static_cast<double>(rtl::TimeStampToMSecs(ts));
        std::memcpy(buf, &ms, sizeof ms);
    }
    SetData(buf);
}

void TDateTimeField::GetText(AnsiString& Text, bool DisplayText) const {
    rtl::TDateTime v;
    if (!GetValue(v)) {
        Text.clear();
        return;
    }
    AnsiString fmt;
    if (DisplayText && !FDisplayFormat.empty())
        fmt = FDisplayFormat;
    else if (FDataType == ftDate)
        fmt = rtl::FormatSettings().ShortDateFormat;
    else if (FDataType == ftTime)
        fmt = rtl::FormatSettings().LongTimeFormat;
    else
        fmt = "c";
    Text = rtl::FormatDateTime(fmt, v);
}

// ---------------------------------------------------------------------------------------------
// TSQLTimeStampField

TSQLTimeStampField::TSQLTimeStampField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftTimeStamp; }

void TSQLTimeStampField::SetDisplayFormat(const AnsiString& Value) { ChangeProperty(FDisplayFormat, Value, false); }

bool TSQLTimeStampField::GetValue(rtl::TSQLTimeStamp& Value) const {
    rtl::TSQLTimeStamp ts;
    if (!GetData(&ts)) return false;
    Value = ts;
    return true;
}

rtl::TSQLTimeStamp TSQLTimeStampField::AsSQLTimeStamp() const {
    return ValueOr(this, &TSQLTimeStampField::GetValue, rtl::NullSQLTimeStamp());
}

void TSQLTimeStampField::SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& Value) {
    rtl::CheckSqlTimeStamp(Value);
    rtl::TSQLTimeStamp ts = Value;
    SetData(&ts);
}

Variant TSQLTimeStampField::GetAsVariant() const {
    return ValueOr(this, &TSQLTimeStampField::GetValue, Variant::Null(),
                   [&](const rtl::TSQLTimeStamp& ts) { return Variant::FromSQLTimeStamp(ts); });
}

void TSQLTimeStampField::SetVarValue(const Variant& V) {
    if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else if (V.VType() == rtl::varSQLTimeStamp)
        SetAsSQLTimeStamp(V.AsSQLTimeStamp());
    else
        SetAsDateTimeValue(V.AsDateTime());
}

AnsiString TSQLTimeStampField::GetAsString() const {
    AnsiString text;
    GetText(text, false);
    return text;
}

void TSQLTimeStampField::SetAsStringValue(const AnsiString& V) {
    if (V.empty()) {
        Clear();
        return;
    }
    SetAsSQLTimeStamp(rtl::StrToSQLTimeStamp(V));
}

double TSQLTimeStampField::GetAsFloat() const { return GetAsDateTime(); }
void TSQLTimeStampField::SetAsFloatValue(double V) { SetAsDateTimeValue(V); }

rtl::TDateTime TSQLTimeStampField::GetAsDateTime() const {
    return ValueOr(this, &TSQLTimeStampField::GetValue, rtl::TDateTime(0.0),
                   [&](const rtl::TSQLTimeStamp& ts) { return rtl::SQLTimeStampToDateTime(ts); });
}

void TSQLTimeStampField::SetAsDateTimeValue(rtl::TDateTime V) { SetAsSQLTimeStamp(rtl::DateTimeToSQLTimeStamp(V)); }

void TSQLTimeStampField::GetText(AnsiString& Text, bool DisplayText) const {
    rtl::TSQLTimeStamp ts;
    if (!GetValue(ts)) {
        Text.clear();
        return;
    }
    Text = rtl::SQLTimeStampToStr(DisplayText ? std::string_view(FDisplayFormat) : std::string_view(), ts);
}

// ---------------------------------------------------------------------------------------------
// TBinaryField

TBinaryField::TBinaryField(rtl::TComponent* AOwner) : TField(AOwner) {}

TBytesField::TBytesField(rtl::TComponent* AOwner) : TBinaryField(AOwner) {
    FDataType = ftBytes;
    FSize = 16;
}

TVarBytesField::TVarBytesField(rtl::TComponent* AOwner) : TBinaryField(AOwner) {
    FDataType = ftVarBytes;
    FSize = 16;
}

rtl::TBytes TBinaryField::AsBytes() const {
    std::vector<uint8_t> buf(static_cast<size_t>(std::max(DataSize(), 2)), 0);
    if (!GetData(buf.data())) return {};
    if (FDataType == ftVarBytes) {
        uint16_t len;
        std::memcpy(&len, buf.data(), sizeof len);
        size_t n = std::min<size_t>(len, static_cast<size_t>(std::max(FSize, 0)));
        return rtl::TBytes(buf.begin() + 2, buf.begin() + 2 + static_cast<ptrdiff_t>(n));
    }
    buf.resize(static_cast<size_t>(std::max(FSize, 0)));
    return buf;
}

void TBinaryField::SetAsBytes(const rtl::TBytes& Value) {
    size_t cap = static_cast<size_t>(std::max(FSize, 0));
    // Bytes beyond the column would be lost: refuse them rather than cut them off. A variable
    // length also has to fit its 16-bit length word.
    if (Value.size() > cap || (FDataType == ftVarBytes && Value.size() > 0xFFFF))
        DatabaseErrorFmt(msg::SInvalidVarByteArray, {DisplayNameA()}, this);
    std::vector<uint8_t> buf(static_cast<size_t>(std::max(DataSize(), 2)), 0);
    if (FDataType == ftVarBytes) {
        uint16_t len = static_cast<uint16_t>(Value.size());
        std::memcpy(buf.data(), &len, sizeof len);
        if (!Value.empty()) std::memcpy(buf.data() + 2, Value.data(), Value.size());
    } else if (!Value.empty()) {
        std::memcpy(buf.data(), Value.data(), Value.size());
    }
    SetData(buf.data());
}

Variant TBinaryField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant::FromBytes(AsBytes());
}

void TBinaryField::SetVarValue(const Variant& V) {
    if (V.IsByteArray())
        SetAsBytes(V.AsBytes());
    else if (IsTextVariant(V))
        SetAsStringValue(V.AsAnsiString());
    else
        DatabaseErrorFmt(msg::SInvalidVarByteArray, {DisplayNameA()}, this);
}

AnsiString TBinaryField::GetAsString() const {
    rtl::TBytes b = AsBytes();
    return AnsiString(b.begin(), b.end());
}

void TBinaryField::SetAsStringValue(const AnsiString& V) { SetAsBytes(rtl::TBytes(V.begin(), V.end())); }

void TBinaryField::GetText(AnsiString& Text, bool /*DisplayText*/) const { Text = GetAsString(); }

// ---------------------------------------------------------------------------------------------
// TBlobField

TBlobField::TBlobField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftBlob; }
TMemoField::TMemoField(rtl::TComponent* AOwner) : TBlobField(AOwner) { FDataType = ftMemo; }
TWideMemoField::TWideMemoField(rtl::TComponent* AOwner) : TBlobField(AOwner) { FDataType = ftWideMemo; }

std::string TBlobField::ReadAll() const {
    if (!DataSet()) DatabaseErrorFmt(msg::SDataSetMissing, {DisplayNameA()}, const_cast<TBlobField*>(this));
    rtl::TOwnedPtr<rtl::TStream> s(DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead));
    std::string out;
    if (!s) return out;
    int64_t size = s->Size();
    if (size <= 0) return out;
    s->SetPosition(0);
    out.resize(static_cast<size_t>(size));
    s->ReadBuffer(out.data(), size);
    return out;
}

void TBlobField::WriteAll(const void* Data, size_t Count) {
    if (!DataSet()) DatabaseErrorFmt(msg::SDataSetMissing, {DisplayNameA()}, this);
    rtl::TOwnedPtr<rtl::TStream> s(DataSet()->CreateBlobStream(this, bmWrite));
    if (!s) return;
    if (Count > 0) s->WriteBuffer(Data, static_cast<int64_t>(Count));
}

rtl::TBytes TBlobField::AsBytes() const {
    std::string s = ReadAll();
    return rtl::TBytes(s.begin(), s.end());
}

void TBlobField::SetAsBytes(const rtl::TBytes& Value) { WriteAll(Value.data(), Value.size()); }

void TBlobField::LoadFromStream(rtl::TStream* Stream) {
    std::string data;
    if (Stream) {
        Stream->SetPosition(0);
        int64_t size = Stream->Size();
        if (size > 0) {
            data.resize(static_cast<size_t>(size));
            Stream->ReadBuffer(data.data(), size);
        }
    }
    WriteAll(data.data(), data.size());
}

void TBlobField::SaveToStream(rtl::TStream* Stream) const {
    std::string data = ReadAll();
    if (Stream && !data.empty()) Stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

int64_t TBlobField::BlobSize() const {
    if (!DataSet()) return 0;
    rtl::TOwnedPtr<rtl::TStream> s(DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead));
    return s ? s->Size() : 0;
}

void TBlobField::Clear() { WriteAll(nullptr, 0); }

Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant::FromBytes(AsBytes());
}

void TBlobField::SetVarValue(const Variant& V) {
    if (V.IsByteArray())
        SetAsBytes(V.AsBytes());
    else
        SetAsStringValue(rtl::VarToStr(V));
}

AnsiString TBlobField::GetAsString() const { return ReadAll(); }

void TBlobField::SetAsStringValue(const AnsiString& V) { WriteAll(V.data(), V.size()); }

void TBlobField::GetText(AnsiString& Text, bool /*DisplayText*/) const {
    Text = IsNull() ? TypeNameText() : rtl::AnsiUpperCase(TypeNameText());
}

// A wide memo ignores a trailing odd byte, as GetAsWideString does.
static Variant ReadTextVariant(const TBlobField* Field, bool Wide) {
    auto* field = const_cast<TBlobField*>(Field);
    if (!Field->DataSet()) DatabaseErrorFmt(msg::SDataSetMissing, {Field->DisplayNameA()}, field);
    return Field->DataSet()->ReadBlobText(field, Wide);
}

Variant TMemoField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return ReadTextVariant(this, false);
}

WideString TMemoField::GetAsWideString() const { return rtl::AnsiToWide(ReadAll()); }

void TMemoField::SetAsWideStringValue(const WideString& V) { SetAsStringValue(rtl::WideToAnsi(V)); }

Variant TWideMemoField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return ReadTextVariant(this, true);
}

void TWideMemoField::SetVarValue(const Variant& V) { SetAsWideStringValue(rtl::VarToWideStr(V)); }

AnsiString TWideMemoField::GetAsString() const { return rtl::WideToAnsi(GetAsWideString()); }

void TWideMemoField::SetAsStringValue(const AnsiString& V) { SetAsWideStringValue(rtl::AnsiToWide(V)); }

WideString TWideMemoField::GetAsWideString() const {
    std::string raw = ReadAll();
    WideString w(raw.size() / 2, u'\0');
    if (!w.empty()) std::memcpy(w.data(), raw.data(), w.size() * sizeof(char16_t));
    return w;
}

void TWideMemoField::SetAsWideStringValue(const WideString& V) { WriteAll(V.data(), V.size() * sizeof(char16_t)); }

// ---------------------------------------------------------------------------------------------
// TVariantField

TVariantField::TVariantField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftVariant; }

Variant TVariantField::GetAsVariant() const {
    Variant v;
    if (!GetData(&v)) return Variant::Null();
    return v;
}

void TVariantField::SetVarValue(const Variant& V) { SetData(&V); }

AnsiString TVariantField::GetAsString() const {
    Variant v = GetAsVariant();
    return (v.IsNull() || v.IsEmpty()) ? AnsiString() : rtl::VarToStr(v);
}

void TVariantField::SetAsStringValue(const AnsiString& V) { SetVarValue(Variant(V)); }

int32_t TVariantField::GetAsInteger() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? 0 : v.AsInteger();
}

void TVariantField::SetAsIntegerValue(int32_t V) { SetVarValue(Variant(V)); }

int64_t TVariantField::GetAsLargeInt() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? 0 : v.AsInt64();
}

void TVariantField::SetAsLargeIntValue(int64_t V) { SetVarValue(Variant(static_cast<long long>(V))); }

double TVariantField::GetAsFloat() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? 0.0 : v.AsDouble();
}

void TVariantField::SetAsFloatValue(double V) { SetVarValue(Variant(V)); }

bool TVariantField::GetAsBoolean() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? false : v.AsBoolean();
}

void TVariantField::SetAsBooleanValue(bool V) { SetVarValue(Variant(V)); }

rtl::TDateTime TVariantField::GetAsDateTime() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? 0.0 : v.AsDateTime();
}

void TVariantField::SetAsDateTimeValue(rtl::TDateTime V) { SetVarValue(Variant::FromDate(V)); }

rtl::Currency TVariantField::GetAsCurrency() const {
    Variant v = GetAsVariant();
    return v.IsNull() ? rtl::Currency{} : v.AsCurrency();
}

void TVariantField::SetAsCurrencyValue(rtl::Currency V) { SetVarValue(Variant(V)); }

// ---------------------------------------------------------------------------------------------
// Object types

TObjectField::TObjectField(rtl::TComponent* AOwner) : TField(AOwner) {}
TDataSetField::TDataSetField(rtl::TComponent* AOwner) : TObjectField(AOwner) { FDataType = ftDataSet; }
TInterfaceField::TInterfaceField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftInterface; }

std::vector<TField*> TObjectField::ChildFields() const {
    std::vector<TField*> out;
    if (!DataSet()) return out;
    for (TField* f : DataSet()->Fields())
        if (f->ParentField() == this) out.push_back(f);
    return out;
}

void TObjectField::GetText(AnsiString& Text, bool /*DisplayText*/) const { Text = TypeNameText(); }
void TInterfaceField::GetText(AnsiString& Text, bool /*DisplayText*/) const { Text = TypeNameText(); }

// ---------------------------------------------------------------------------------------------
// Characters an editor lets through

namespace {
bool IsSignOrDigit(char C) noexcept { return C == '+' || C == '-' || (C >= '0' && C <= '9'); }
bool IsDecimalChar(char C) { return IsSignOrDigit(C) || C == rtl::FormatSettings().DecimalSeparator; }
}  // namespace

bool TIntegerField::IsValidChar(char C) const { return IsSignOrDigit(C); }
bool TLargeintField::IsValidChar(char C) const { return IsSignOrDigit(C); }
bool TFloatField::IsValidChar(char C) const { return IsDecimalChar(C) || C == 'E' || C == 'e'; }
bool TBCDField::IsValidChar(char C) const { return IsDecimalChar(C); }
bool TFMTBCDField::IsValidChar(char C) const { return IsDecimalChar(C); }

}  // namespace db
