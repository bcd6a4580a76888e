// The dynamically typed value of the runtime. It keeps the COM variant type codes, because the
// ordering of values of mixed types depends on them. Empty (never assigned) and Null (SQL NULL)
// are distinct. Text and array payloads are shared between copies and copied on write, so copying
// a Variant is cheap; moves never throw.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace rtl {

using TVarType = uint16_t;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varDispatch = 0x0009;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varUnknown = 0x000D;
constexpr TVarType varDecimal = 0x000E;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varUInt64 = 0x0015;
constexpr TVarType varStrArg = 0x0048;
constexpr TVarType varString = 0x0100;
constexpr TVarType varAny = 0x0101;
// Custom types of this runtime: packed decimal and SQL time stamp values.
constexpr TVarType varFMTBcd = 0x0110;
constexpr TVarType varSQLTimeStamp = 0x0111;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;
constexpr TVarType varByRef = 0x4000;

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

// A conversion the value's type does not allow: "Could not convert variant of type (%s) into
// type (%s)".
RTL_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError);
// A value that does not fit the target type: "Overflow while converting variant of type (%s)
// into type (%s)". A conversion error, so callers that catch EConvertError see it.
RTL_DECLARE_EXCEPTION(EVariantOverflowError, EConvertError);
// "Variant or safe array index out of bounds"
RTL_DECLARE_EXCEPTION(EVariantBadIndexError, EVariantError);
// "Invalid variant operation"
RTL_DECLARE_EXCEPTION(EVariantInvalidOpError, EVariantError);

class Variant {
public:
    Variant() noexcept : FVType(varEmpty) { FData.I = 0; }
    Variant(bool v) noexcept : FVType(varBoolean) {
        FData.I = 0;
        FData.B = v;
    }
    Variant(signed char v) noexcept : FVType(varShortInt) { FData.I = v; }
    Variant(unsigned char v) noexcept : FVType(varByte) { FData.I = v; }
    Variant(short v) noexcept : FVType(varSmallint) { FData.I = v; }
    Variant(unsigned short v) noexcept : FVType(varWord) { FData.I = v; }
    Variant(int v) noexcept : FVType(varInteger) { FData.I = v; }
    Variant(unsigned v) noexcept : FVType(varLongWord) { FData.I = v; }
    Variant(long v) noexcept : FVType(varInt64) { FData.I = v; }
    Variant(long long v) noexcept : FVType(varInt64) { FData.I = v; }
    Variant(unsigned long v) noexcept : FVType(varUInt64) { FData.U = v; }
    Variant(unsigned long long v) noexcept : FVType(varUInt64) { FData.U = v; }
    Variant(float v) noexcept : FVType(varSingle) { FData.D = v; }
    Variant(double v) noexcept : FVType(varDouble) { FData.D = v; }
    Variant(Currency v) noexcept : FVType(varCurrency) { FData.I = v.Value; }
    Variant(const char* v);
    Variant(std::string_view v);
    Variant(const AnsiString& v);
    Variant(AnsiString&& v);
    Variant(const char16_t* v);
    Variant(std::u16string_view v);
    Variant(const WideString& v);
    Variant(WideString&& v);
    Variant(const TBcd& v);
    Variant(const TSQLTimeStamp& v);
    // A pointer would silently become a Boolean; use FromPointer.
    template <class T>
    Variant(T*) = delete;

    Variant(const Variant&) = default;
    Variant(Variant&& other) noexcept : FVType(other.FVType), FData(other.FData), FRef(std::move(other.FRef)) {
        other.FVType = varEmpty;
        other.FData.I = 0;
    }
    Variant& operator=(const Variant&) = default;
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            FVType = other.FVType;
            FData = other.FData;
            FRef = std::move(other.FRef);
            other.FVType = varEmpty;
            other.FData.I = 0;
        }
        return *this;
    }
    ~Variant() = default;

    static Variant Null() noexcept;
    static Variant Empty() noexcept { return Variant(); }
    static Variant FromDate(TDateTime value) noexcept;
    // varArray | varByte with bounds 0 .. n-1.
    static Variant FromBytes(const TBytes& bytes);
    static Variant FromBytes(const uint8_t* data, size_t count);
    // String (OleStr) text of `count` characters left for the caller to write through `*chars`
    // before the value is shared or read: a reader fills it in place instead of copying a string.
    static Variant UninitText(size_t count, char** chars);
    static Variant UninitWideText(size_t count, char16_t** chars);
    // Either of the two, by character type.
    template <class C>
    static Variant UninitTextOf(size_t count, C** chars) {
        if constexpr (sizeof(C) == 1)
            return UninitText(count, chars);
        else
            return UninitWideText(count, chars);
    }
    // varArray | varVariant with bounds 0 .. n-1 (multi-key values).
    static Variant VarArray(std::vector<Variant> items);
    // Type word exactly varByRef: an object pointer carried through a value.
    static Variant FromPointer(void* p) noexcept;
    // varError carrying an error code; converts to nothing else.
    static Variant FromError(int32_t code) noexcept {
        Variant v;
        v.FVType = varError;
        v.FData.I = code;
        return v;
    }
    static Variant FromBcd(const TBcd& v) { return Variant(v); }
    static Variant FromSQLTimeStamp(const TSQLTimeStamp& v) { return Variant(v); }
    // An array of the element type (varVariant, varByte or another simple type) with the given
    // bounds, every element Empty (zero for byte arrays, or for simple element types).
    static Variant CreateArray(int lowBound, int highBound, TVarType elementType);

    TVarType VType() const noexcept { return FVType; }
    bool IsEmpty() const noexcept { return FVType == varEmpty; }
    bool IsNull() const noexcept { return FVType == varNull; }
    // Empty, or a pointer slot holding no object (Null is a value, not clear).
    bool IsClear() const noexcept;
    bool IsArray() const noexcept { return (FVType & varArray) != 0; }
    bool IsByteArray() const noexcept { return FVType == (varArray | varByte); }
    bool IsPointer() const noexcept { return FVType == varByRef; }

    // --- arrays (EVariantInvalidOpError when not an array) ---
    int ArrayLowBound() const;
    int ArrayHighBound() const;
    int ArrayCount() const;
    TVarType ArrayElementType() const;
    // Index between the bounds, else EVariantBadIndexError.
    Variant GetElement(int index) const;
    void SetElement(int index, const Variant& value);
    // The bytes of a byte array; also the bytes of a string value.
    TBytes AsBytes() const;
    // Direct view of a byte array's bytes (nullptr when not a byte array).
    const TBytes* BytesData() const noexcept;

    void* AsPointer() const;

    // --- conversions (EVariantTypeCastError, EVariantOverflowError) ---
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    uint64_t AsUInt64() const;
    double AsDouble() const;
    Currency AsCurrency() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    // Numbers under FormatSettings, dates by DateTimeToStr, Booleans "True"/"False", Empty "".
    AnsiString AsAnsiString() const;
    WideString AsWideString() const;
    TBcd AsBcd() const;
    TSQLTimeStamp AsSQLTimeStamp() const;
    // The converted value of the given type code.
    Variant AsType(TVarType type) const;

    // Direct reads of the stored payload, valid for the matching type only; they live as long
    // as the value or a copy of it.
    std::string_view StrRef() const;
    std::u16string_view WideRef() const;

    friend bool operator==(const Variant& a, const Variant& b);
    friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

    void Clear() noexcept {
        FVType = varEmpty;
        FData.I = 0;
        FRef.reset();
    }

    struct TArrayData;

private:
    union TData {
        bool B;
        int64_t I;
        uint64_t U;
        double D;
        void* P;
    };

    TVarType FVType;
    TData FData;
    std::shared_ptr<void> FRef;

    TArrayData& MutableArray();
    const TArrayData& Array() const;
    template <class C>
    void SetText(TVarType type, std::basic_string_view<C> text);
    template <class C>
    C* AllocText(TVarType type, size_t count);
    [[noreturn]] void CastError(TVarType to) const;
    [[noreturn]] void OverflowError(TVarType to) const;
};

// Type name as the platform spells it: "Integer", "String", "Array Byte", ...
AnsiString VarTypeAsText(TVarType type);

inline TVarType VarType(const Variant& v) noexcept { return v.VType(); }
inline bool VarIsNull(const Variant& v) noexcept { return v.IsNull(); }
inline bool VarIsEmpty(const Variant& v) noexcept { return v.IsEmpty(); }
bool VarIsClear(const Variant& v) noexcept;
inline bool VarIsArray(const Variant& v) noexcept { return v.IsArray(); }
// Integer, floating, currency and decimal types.
bool VarIsNumeric(const Variant& v) noexcept;
bool VarIsOrdinal(const Variant& v) noexcept;
bool VarIsFloat(const Variant& v) noexcept;
bool VarIsStr(const Variant& v) noexcept;
bool VarIsType(const Variant& v, TVarType type) noexcept;
// Null gives "".
AnsiString VarToStr(const Variant& v);
WideString VarToWideStr(const Variant& v);
AnsiString VarToStrDef(const Variant& v, const AnsiString& def);
Variant VarAsType(const Variant& v, TVarType type);
// Null or Empty gives def.
Variant VarToVariantDef(const Variant& v, const Variant& def);

Variant VarArrayCreate(int lowBound, int highBound, TVarType elementType);
Variant VarArrayOf(std::vector<Variant> items);
int VarArrayDimCount(const Variant& v) noexcept;
int VarArrayLowBound(const Variant& v, int dim = 1);
int VarArrayHighBound(const Variant& v, int dim = 1);

// Numbers of every kind compare as numbers (exactly between integers and currency), strings as
// text (locale collation; ANSI against wide as wide), Booleans false before true, arrays element
// by element. Null against Null or Empty against Empty is vrEqual; Null against anything else
// vrNotEqual. Empty against a value compares as 0 or "". A string against a number compares as
// numbers when the text is one, else EVariantTypeCastError.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);
// True when both are Null/Empty or when VarCompareValue gives vrEqual; never raises.
bool VarSameValue(const Variant& a, const Variant& b);

}  // namespace rtl
