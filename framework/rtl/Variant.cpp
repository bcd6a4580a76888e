#include "framework/rtl/Variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace rtl {

struct Variant::TArrayData {
    int LowBound = 0;
    TVarType ElemType = varVariant;
    std::vector<Variant> Items;  // every element type but varByte
    TBytes Bytes;                // varByte
    int Count() const { return static_cast<int>(ElemType == varByte ? Bytes.size() : Items.size()); }
};

namespace {

bool IsIntegerType(TVarType t) {
    switch (t) {
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64:
        case varUInt64: return true;
        default: return false;
    }
}


bool IsNumericType(TVarType t) {
    return IsIntegerType(t) || t == varSingle || t == varDouble || t == varCurrency || t == varDecimal ||
           t == varFMTBcd;
}

bool IsStringType(TVarType t) { return t == varString || t == varOleStr; }

// The text of a string value (String or OleStr) as 1251.
AnsiString TextOf(const Variant& v) {
    return v.VType() == varString ? AnsiString(v.StrRef()) : WideToAnsi(v.WideRef());
}

}  // namespace

// --- construction ----------------------------------------------------------------------------

// The characters are left uninitialised and written once; an empty text holds no block.
template <class C>
C* Variant::AllocText(TVarType type, size_t count) {
    FVType = type;
    FData.I = static_cast<int64_t>(count);
    if (count == 0) return nullptr;
    std::shared_ptr<C[]> block = std::make_shared_for_overwrite<C[]>(count);
    C* chars = block.get();
    FRef = std::move(block);
    return chars;
}

template <class C>
void Variant::SetText(TVarType type, std::basic_string_view<C> text) {
    if (C* chars = AllocText<C>(type, text.size())) std::char_traits<C>::copy(chars, text.data(), text.size());
}

Variant Variant::UninitText(size_t count, char** chars) {
    Variant v;
    *chars = v.AllocText<char>(varString, count);
    return v;
}

Variant Variant::UninitWideText(size_t count, char16_t** chars) {
    Variant v;
    *chars = v.AllocText<char16_t>(varOleStr, count);
    return v;
}

Variant::Variant(const char* v) { SetText(varString, std::string_view(v ? v : "")); }
Variant::Variant(std::string_view v) { SetText(varString, v); }
Variant::Variant(const AnsiString& v) { SetText(varString, std::string_view(v)); }
Variant::Variant(AnsiString&& v) { SetText(varString, std::string_view(v)); }
Variant::Variant(const char16_t* v) { SetText(varOleStr, std::u16string_view(v ? v : u"")); }
Variant::Variant(std::u16string_view v) { SetText(varOleStr, v); }
Variant::Variant(const WideString& v) { SetText(varOleStr, std::u16string_view(v)); }
Variant::Variant(WideString&& v) { SetText(varOleStr, std::u16string_view(v)); }
Variant::Variant(const TBcd& v) : FVType(varFMTBcd), FRef(std::make_shared<TBcd>(v)) { FData.I = 0; }
Variant::Variant(const TSQLTimeStamp& v) : FVType(varSQLTimeStamp), FRef(std::make_shared<TSQLTimeStamp>(v)) {
    FData.I = 0;
}

Variant Variant::Null() noexcept {
    Variant v;
    v.FVType = varNull;
    return v;
}

Variant Variant::FromDate(TDateTime value) noexcept {
    Variant v;
    v.FVType = varDate;
    v.FData.D = value;
    return v;
}

Variant Variant::FromBytes(const TBytes& bytes) { return FromBytes(bytes.data(), bytes.size()); }

Variant Variant::FromBytes(const uint8_t* data, size_t count) {
    auto a = std::make_shared<TArrayData>();
    a->ElemType = varByte;
    if (count) a->Bytes.assign(data, data + count);
    Variant v;
    v.FVType = varArray | varByte;
    v.FRef = std::move(a);
    return v;
}

Variant Variant::VarArray(std::vector<Variant> items) {
    auto a = std::make_shared<TArrayData>();
    a->ElemType = varVariant;
    a->Items = std::move(items);
    Variant v;
    v.FVType = varArray | varVariant;
    v.FRef = std::move(a);
    return v;
}

Variant Variant::FromPointer(void* p) noexcept {
    Variant v;
    v.FVType = varByRef;
    v.FData.P = p;
    return v;
}

Variant Variant::CreateArray(int lowBound, int highBound, TVarType elementType) {
    // Bounds in int64: lowBound - 1 overflows at the bottom of the int range, and the element count
    // must stay an int.
    const int64_t count64 = int64_t{highBound} - lowBound + 1;
    if (count64 < 0 || count64 > INT32_MAX || (elementType & ~varTypeMask) != 0 || elementType == varEmpty ||
        elementType == varNull)
        throw EVariantInvalidOpError("Invalid variant operation");
    auto a = std::make_shared<TArrayData>();
    a->LowBound = lowBound;
    a->ElemType = elementType;
    const size_t count = static_cast<size_t>(count64);
    if (elementType == varByte) {
        a->Bytes.assign(count, 0);
    } else if (elementType == varVariant) {
        a->Items.assign(count, Variant());
    } else {
        a->Items.assign(count, Variant(0).AsType(elementType));
    }
    Variant v;
    v.FVType = varArray | elementType;
    v.FRef = std::move(a);
    return v;
}

bool Variant::IsClear() const noexcept { return FVType == varEmpty || (FVType == varByRef && FData.P == nullptr); }

// --- arrays ----------------------------------------------------------------------------------

const Variant::TArrayData& Variant::Array() const {
    if (!IsArray() || !FRef) throw EVariantInvalidOpError("Invalid variant operation");
    return *static_cast<const TArrayData*>(FRef.get());
}

Variant::TArrayData& Variant::MutableArray() {
    Array();
    if (FRef.use_count() > 1) FRef = std::make_shared<TArrayData>(*static_cast<const TArrayData*>(FRef.get()));
    return *static_cast<TArrayData*>(FRef.get());
}

int Variant::ArrayLowBound() const { return Array().LowBound; }
int Variant::ArrayHighBound() const {
    // In int64: an array may start at the top of the int range.
    return static_cast<int>(int64_t{Array().LowBound} + Array().Count() - 1);
}
int Variant::ArrayCount() const { return Array().Count(); }
TVarType Variant::ArrayElementType() const { return Array().ElemType; }

Variant Variant::GetElement(int index) const {
    const TArrayData& a = Array();
    const int64_t i = static_cast<int64_t>(index) - a.LowBound;
    if (i < 0 || i >= a.Count()) throw EVariantBadIndexError("Variant or safe array index out of bounds");
    if (a.ElemType == varByte) return Variant(a.Bytes[i]);
    return a.Items[i];
}

void Variant::SetElement(int index, const Variant& value) {
    {
        const TArrayData& a = Array();
        const int64_t i = static_cast<int64_t>(index) - a.LowBound;
        if (i < 0 || i >= a.Count()) throw EVariantBadIndexError("Variant or safe array index out of bounds");
    }
    // Convert before touching the array so that a failed conversion leaves it as it was.
    const TVarType elem = Array().ElemType;
    if (elem == varByte) {
        const Variant b = value.AsType(varByte);
        TArrayData& a = MutableArray();
        a.Bytes[index - a.LowBound] = static_cast<uint8_t>(b.FData.I);
    } else if (elem == varVariant) {
        Variant copy = value;  // value may be an element of this very array
        TArrayData& a = MutableArray();
        a.Items[index - a.LowBound] = std::move(copy);
    } else {
        Variant converted = value.AsType(elem);
        TArrayData& a = MutableArray();
        a.Items[index - a.LowBound] = std::move(converted);
    }
}

TBytes Variant::AsBytes() const {
    if (FVType == (varArray | varByte)) return Array().Bytes;
    if (FVType == varEmpty || FVType == varNull) return {};
    if (FVType == varString) {
        const std::string_view s = StrRef();
        return TBytes(s.begin(), s.end());
    }
    CastError(varArray | varByte);
}

const TBytes* Variant::BytesData() const noexcept {
    if (FVType != (varArray | varByte) || !FRef) return nullptr;
    return &static_cast<const TArrayData*>(FRef.get())->Bytes;
}

void* Variant::AsPointer() const {
    if (FVType == varByRef) return FData.P;
    if (FVType == varEmpty) return nullptr;
    CastError(varByRef);
}

std::string_view Variant::StrRef() const {
    if (FVType != varString) CastError(varString);
    return {static_cast<const char*>(FRef.get()), static_cast<size_t>(FData.I)};
}

std::u16string_view Variant::WideRef() const {
    if (FVType != varOleStr) CastError(varOleStr);
    return {static_cast<const char16_t*>(FRef.get()), static_cast<size_t>(FData.I)};
}

// --- conversions -----------------------------------------------------------------------------

void Variant::CastError(TVarType to) const {
    throw EVariantTypeCastError(
        Format("Could not convert variant of type (%s) into type (%s)", {VarTypeAsText(FVType), VarTypeAsText(to)}));
}

void Variant::OverflowError(TVarType to) const {
    throw EVariantOverflowError(Format("Overflow while converting variant of type (%s) into type (%s)",
                                       {VarTypeAsText(FVType), VarTypeAsText(to)}));
}

int64_t Variant::AsInt64() const {
    switch (FVType) {
        case varEmpty: return 0;
        case varBoolean: return FData.B ? -1 : 0;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return FData.I;
        case varUInt64:
            if (FData.U > static_cast<uint64_t>(INT64_MAX)) OverflowError(varInt64);
            return static_cast<int64_t>(FData.U);
        case varSingle:
        case varDouble:
        case varDate: {
            const double r = RoundHalfEven(FData.D);
            if (!std::isfinite(r) || r < -9223372036854775808.0 || r >= 9223372036854775808.0) OverflowError(varInt64);
            return static_cast<int64_t>(r);
        }
        case varCurrency: {
            // Half to even on the four decimal places.
            const int64_t q = FData.I / 10000, rem = FData.I % 10000;
            if (rem > 5000 || (rem == 5000 && (q & 1))) return q + 1;
            if (rem < -5000 || (rem == -5000 && (q & 1))) return q - 1;
            return q;
        }
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            int64_t v;
            if (TryStrToInt64(s, v)) return v;
            double d;
            if (TryStrToFloat(s, d)) {
                const double r = RoundHalfEven(d);
                if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) OverflowError(varInt64);
                return static_cast<int64_t>(r);
            }
            bool b;
            if (TryStrToBool(s, b)) return b ? -1 : 0;
            CastError(varInt64);
        }
        case varFMTBcd: try { return BcdToInt64(*static_cast<const TBcd*>(FRef.get()), false);
            } catch (const EBcdException&) {
                OverflowError(varInt64);
            }
        default: CastError(varInt64);
    }
}

uint64_t Variant::AsUInt64() const {
    if (FVType == varUInt64) return FData.U;
    int64_t v;
    try {
        v = AsInt64();
    } catch (const EVariantOverflowError&) {
        OverflowError(varUInt64);
    } catch (const EVariantTypeCastError&) {
        CastError(varUInt64);
    }
    if (v < 0) OverflowError(varUInt64);
    return static_cast<uint64_t>(v);
}

int32_t Variant::AsInteger() const {
    int64_t v;
    try {
        v = AsInt64();
    } catch (const EVariantOverflowError&) {
        OverflowError(varInteger);
    } catch (const EVariantTypeCastError&) {
        CastError(varInteger);
    }
    if (v < INT32_MIN || v > INT32_MAX) OverflowError(varInteger);
    return static_cast<int32_t>(v);
}

double Variant::AsDouble() const {
    switch (FVType) {
        case varEmpty: return 0;
        case varBoolean: return FData.B ? -1 : 0;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return static_cast<double>(FData.I);
        case varUInt64: return static_cast<double>(FData.U);
        case varSingle:
        case varDouble:
        case varDate: return FData.D;
        case varCurrency: return CurrToDouble(Currency::FromScaled(FData.I));
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            double d;
            if (TryStrToFloat(s, d)) return d;
            bool b;
            if (TryStrToBool(s, b)) return b ? -1 : 0;
            CastError(varDouble);
        }
        case varFMTBcd: return BcdToDouble(*static_cast<const TBcd*>(FRef.get()));
        case varSQLTimeStamp: return SQLTimeStampToDateTime(*static_cast<const TSQLTimeStamp*>(FRef.get()));
        default: CastError(varDouble);
    }
}

Currency Variant::AsCurrency() const {
    switch (FVType) {
        case varEmpty: return Currency{};
        case varCurrency: return Currency::FromScaled(FData.I);
        case varBoolean: return Currency::FromScaled(FData.B ? -10000 : 0);
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64:
        case varUInt64: {
            constexpr int64_t limit = INT64_MAX / 10000;
            if (FVType == varUInt64 ? FData.U > static_cast<uint64_t>(limit) : (FData.I > limit || FData.I < -limit))
                OverflowError(varCurrency);
            return Currency::FromScaled(FData.I * 10000);
        }
        case varSingle:
        case varDouble:
        case varDate: {
            Currency c;
            if (!TryDoubleToCurr(FData.D, c)) OverflowError(varCurrency);
            return c;
        }
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            Currency c;
            if (TryStrToCurr(s, c)) return c;
            double d;
            if (TryStrToFloat(s, d)) OverflowError(varCurrency);
            CastError(varCurrency);
        }
        case varFMTBcd: {
            Currency c;
            if (!TryBcdToCurr(*static_cast<const TBcd*>(FRef.get()), c)) OverflowError(varCurrency);
            return c;
        }
        default: CastError(varCurrency);
    }
}

bool Variant::AsBoolean() const {
    switch (FVType) {
        case varEmpty: return false;
        case varBoolean: return FData.B;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64:
        case varUInt64:
        case varCurrency: return FData.I != 0;
        case varSingle:
        case varDouble:
        case varDate: return FData.D != 0;
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            bool b;
            if (TryStrToBool(s, b)) return b;
            CastError(varBoolean);
        }
        case varFMTBcd: return !BcdIsZero(*static_cast<const TBcd*>(FRef.get()));
        default: CastError(varBoolean);
    }
}

TDateTime Variant::AsDateTime() const {
    switch (FVType) {
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            TDateTime d;
            if (TryStrToDateTime(s, d)) return d;
            CastError(varDate);
        }
        case varSQLTimeStamp: return SQLTimeStampToDateTime(*static_cast<const TSQLTimeStamp*>(FRef.get()));
        default: try { return AsDouble();
            } catch (const EVariantTypeCastError&) {
                CastError(varDate);
            }
    }
}

AnsiString Variant::AsAnsiString() const {
    switch (FVType) {
        case varEmpty: return {};
        case varBoolean: return FData.B ? "True" : "False";
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return IntToStr(FData.I);
        case varUInt64: return UIntToStr(FData.U);
        case varSingle: return FloatToStrF(FData.D, ffGeneral, 7, 0);
        case varDouble: return FloatToStr(FData.D);
        case varCurrency: return CurrToStr(Currency::FromScaled(FData.I));
        case varDate: return DateTimeToStr(FData.D);
        case varString: return AnsiString(StrRef());
        case varOleStr: return WideToAnsi(WideRef());
        case varFMTBcd: return BcdToStr(*static_cast<const TBcd*>(FRef.get()));
        case varSQLTimeStamp: return SQLTimeStampToStr(*static_cast<const TSQLTimeStamp*>(FRef.get()));
        default: CastError(varString);
    }
}

WideString Variant::AsWideString() const {
    if (FVType == varOleStr) return WideString(WideRef());
    try {
        return AnsiToWide(AsAnsiString());
    } catch (const EVariantTypeCastError&) {
        CastError(varOleStr);
    }
}

TBcd Variant::AsBcd() const {
    switch (FVType) {
        case varFMTBcd: return *static_cast<const TBcd*>(FRef.get());
        case varEmpty: return IntegerToBcd(0);
        case varBoolean: return IntegerToBcd(FData.B ? -1 : 0);
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return IntegerToBcd(FData.I);
        case varUInt64: return StrToBcd(UIntToStr(FData.U));
        case varCurrency: return CurrToBcd(Currency::FromScaled(FData.I));
        case varSingle:
        case varDouble:
        case varDate: {
            TBcd b;
            if (!TryDoubleToBcd(FData.D, b)) OverflowError(varFMTBcd);
            return b;
        }
        case varString:
        case varOleStr: {
            const AnsiString s = TextOf(*this);
            TBcd b;
            if (TryStrToBcd(s, b)) return b;
            CastError(varFMTBcd);
        }
        default: CastError(varFMTBcd);
    }
}

TSQLTimeStamp Variant::AsSQLTimeStamp() const {
    if (FVType == varSQLTimeStamp) return *static_cast<const TSQLTimeStamp*>(FRef.get());
    if (FVType == varString || FVType == varOleStr) {
        TSQLTimeStamp ts;
        if (TryStrToSQLTimeStamp(TextOf(*this), ts)) return ts;
        CastError(varSQLTimeStamp);
    }
    try {
        return DateTimeToSQLTimeStamp(AsDateTime());
    } catch (const EVariantTypeCastError&) {
        CastError(varSQLTimeStamp);
    }
}

Variant Variant::AsType(TVarType type) const {
    if (type == FVType) return *this;
    if (type == varEmpty) return Variant();
    if (type == varNull) return Null();
    if (FVType == varNull) CastError(type);
    auto narrow = [&](int64_t lo, int64_t hi) {
        int64_t v;
        try {
            v = AsInt64();
        } catch (const EVariantOverflowError&) {
            OverflowError(type);
        } catch (const EVariantTypeCastError&) {
            CastError(type);
        }
        if (v < lo || v > hi) {
            // Booleans are -1 when true; as unsigned types they keep the bit pattern.
            if (FVType == varBoolean) return static_cast<int64_t>(static_cast<uint64_t>(v) & static_cast<uint64_t>(hi));
            OverflowError(type);
        }
        return v;
    };
    try {
        switch (type) {
            case varSmallint: return Variant(static_cast<short>(narrow(INT16_MIN, INT16_MAX)));
            case varInteger: return Variant(static_cast<int>(narrow(INT32_MIN, INT32_MAX)));
            case varShortInt: return Variant(static_cast<signed char>(narrow(INT8_MIN, INT8_MAX)));
            case varByte: return Variant(static_cast<unsigned char>(narrow(0, UINT8_MAX)));
            case varWord: return Variant(static_cast<unsigned short>(narrow(0, UINT16_MAX)));
            case varLongWord: return Variant(static_cast<unsigned>(narrow(0, UINT32_MAX)));
            case varInt64: return Variant(static_cast<long long>(AsInt64()));
            case varUInt64: return Variant(static_cast<unsigned long long>(AsUInt64()));
            case varSingle: {
                const double d = AsDouble();
                if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) OverflowError(type);
                return Variant(static_cast<float>(d));
            }
            case varDouble: return Variant(AsDouble());
            case varCurrency: return Variant(AsCurrency());
            case varDate: return FromDate(AsDateTime());
            case varBoolean: return Variant(AsBoolean());
            case varString: return Variant(AsAnsiString());
            case varOleStr: return Variant(AsWideString());
            case varFMTBcd: return Variant(AsBcd());
            case varSQLTimeStamp: return Variant(AsSQLTimeStamp());
            case varVariant: return *this;
            default: break;
        }
    } catch (const EVariantTypeCastError&) {
        CastError(type);
    } catch (const EVariantOverflowError&) {
        OverflowError(type);
    }
    CastError(type);
}

// --- free functions --------------------------------------------------------------------------

AnsiString VarTypeAsText(TVarType type) {
    static const char* const names[] = {"Empty",    "Null",     "Smallint", "Integer",  "Single",   "Double",
                                        "Currency", "Date",     "OleStr",   "Dispatch", "Error",    "Boolean",
                                        "Variant",  "Unknown",  "Decimal",  "$000F",    "ShortInt", "Byte",
                                        "Word",     "LongWord", "Int64",    "UInt64"};
    const TVarType base = type & varTypeMask;
    AnsiString r;
    if (base < sizeof names / sizeof names[0])
        r = names[base];
    else if (base == varString)
        r = "String";
    else if (base == varAny)
        r = "Any";
    else if (base == varStrArg)
        r = "StrArg";
    else if (base == varFMTBcd)
        r = "FMTBcd";
    else if (base == varSQLTimeStamp)
        r = "SQLTimeStamp";
    else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "$%04X", base);
        r = buf;
    }
    if (type & varArray) r = "Array " + r;
    if (type & varByRef) r = "ByRef " + r;
    return r;
}

bool VarIsClear(const Variant& v) noexcept { return v.IsClear(); }
bool VarIsNumeric(const Variant& v) noexcept { return IsNumericType(v.VType()); }
bool VarIsOrdinal(const Variant& v) noexcept { return IsIntegerType(v.VType()) || v.VType() == varBoolean; }
bool VarIsFloat(const Variant& v) noexcept {
    return v.VType() == varSingle || v.VType() == varDouble || v.VType() == varCurrency;
}
bool VarIsStr(const Variant& v) noexcept { return IsStringType(v.VType()); }
bool VarIsType(const Variant& v, TVarType type) noexcept { return v.VType() == type; }

AnsiString VarToStr(const Variant& v) { return v.IsNull() ? AnsiString() : v.AsAnsiString(); }
WideString VarToWideStr(const Variant& v) { return v.IsNull() ? WideString() : v.AsWideString(); }
AnsiString VarToStrDef(const Variant& v, const AnsiString& def) {
    return v.IsNull() || v.IsEmpty() ? def : v.AsAnsiString();
}
Variant VarAsType(const Variant& v, TVarType type) { return v.AsType(type); }
Variant VarToVariantDef(const Variant& v, const Variant& def) { return v.IsNull() || v.IsEmpty() ? def : v; }

Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType) {
    return Variant::CreateArray(lowBound, highBound, elementType);
}
Variant VarArrayOf(std::vector<Variant> items) { return Variant::VarArray(std::move(items)); }
int VarArrayDimCount(const Variant& v) noexcept { return v.IsArray() ? 1 : 0; }
int VarArrayLowBound(const Variant& v, int dim) {
    if (dim != 1) throw EVariantInvalidOpError("Invalid variant operation");
    return v.ArrayLowBound();
}
int VarArrayHighBound(const Variant& v, int dim) {
    if (dim != 1) throw EVariantInvalidOpError("Invalid variant operation");
    return v.ArrayHighBound();
}

// --- comparison ------------------------------------------------------------------------------

namespace {

template <class T>
TVariantRelationship Rel(const T& a, const T& b) {
    if (a < b) return vrLessThan;
    if (b < a) return vrGreaterThan;
    return vrEqual;
}

TVariantRelationship RelInt(int r) { return r < 0 ? vrLessThan : (r > 0 ? vrGreaterThan : vrEqual); }

// Exact value of an integer, Boolean or currency as ten-thousandths.
__int128 Scaled(const Variant& v) {
    switch (v.VType()) {
        case varCurrency: return v.AsCurrency().Value;
        case varUInt64: return static_cast<__int128>(v.AsUInt64()) * 10000;
        default: return static_cast<__int128>(v.AsInt64()) * 10000;
    }
}

bool IsExactType(TVarType t) { return IsIntegerType(t) || t == varCurrency || t == varBoolean || t == varEmpty; }

}  // namespace

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
    const TVarType ta = a.VType(), tb = b.VType();
    if (ta == varNull || tb == varNull) return ta == tb ? vrEqual : vrNotEqual;
    if (ta == varEmpty && tb == varEmpty) return vrEqual;
    if (a.IsArray() || b.IsArray()) {
        if (!a.IsArray() || !b.IsArray()) return vrNotEqual;
        if (a.IsByteArray() && b.IsByteArray()) {
            const TBytes& x = *a.BytesData();
            const TBytes& y = *b.BytesData();
            return Rel(x, y);
        }
        const int n = std::min(a.ArrayCount(), b.ArrayCount());
        for (int i = 0; i < n; ++i) {
            const TVariantRelationship r =
                VarCompareValue(a.GetElement(a.ArrayLowBound() + i), b.GetElement(b.ArrayLowBound() + i));
            if (r != vrEqual) return r;
        }
        return Rel(a.ArrayCount(), b.ArrayCount());
    }
    if (ta == varByRef || tb == varByRef) {
        if (ta == tb && a.AsPointer() == b.AsPointer()) return vrEqual;
        return vrNotEqual;
    }
    const bool sa = IsStringType(ta), sb = IsStringType(tb);
    if ((sa || ta == varEmpty) && (sb || tb == varEmpty)) {
        // Sorting and locate compare many text values: no copies where both are of one kind.
        if (ta == varString && tb == varString) return RelInt(AnsiCompareStr(a.StrRef(), b.StrRef()));
        if (ta == varOleStr && tb == varOleStr) return RelInt(WideCompareStr(a.WideRef(), b.WideRef()));
        if (ta == varOleStr || tb == varOleStr) return RelInt(WideCompareStr(a.AsWideString(), b.AsWideString()));
        return RelInt(AnsiCompareStr(a.AsAnsiString(), b.AsAnsiString()));
    }
    if (ta == varBoolean && tb == varBoolean) return Rel(a.AsBoolean() ? 1 : 0, b.AsBoolean() ? 1 : 0);
    if (ta == varSQLTimeStamp && tb == varSQLTimeStamp)
        return RelInt(SQLTimeStampCompare(a.AsSQLTimeStamp(), b.AsSQLTimeStamp()));
    // A string against a date compares as dates, against anything else as a number.
    if (sa || sb) {
        const Variant& s = sa ? a : b;
        const Variant& o = sa ? b : a;
        double x;
        if (o.VType() == varDate || o.VType() == varSQLTimeStamp)
            x = s.AsDateTime();
        else
            x = s.AsDouble();
        const double y = o.AsDouble();
        return sa ? Rel(x, y) : Rel(y, x);
    }
    if (ta == varFMTBcd || tb == varFMTBcd) return RelInt(BcdCompare(a.AsBcd(), b.AsBcd()));
    if (IsExactType(ta) && IsExactType(tb)) return Rel(Scaled(a), Scaled(b));
    return Rel(a.AsDouble(), b.AsDouble());
}

bool VarSameValue(const Variant& a, const Variant& b) {
    if (a.IsEmpty()) return b.IsEmpty();
    if (a.IsNull()) return b.IsNull();
    if (b.IsEmpty() || b.IsNull()) return false;
    try {
        return VarCompareValue(a, b) == vrEqual;
    } catch (const Exception&) {
        return false;
    }
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    try {
        return VarCompareValue(a, b) == vrEqual;
    } catch (const Exception&) {
        return false;
    }
}

}  // namespace rtl
