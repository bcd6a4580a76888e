// Internal to the value conversion routines: the argument record every routine works on, the
// messages, and the writers and range/scale rules that numeric and text conversions share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "data/access/CRDataTypeMap.h"
#include "framework/rtl/Types.h"

namespace daccess::convert {

inline constexpr const char* SValueOutOfRange = "Value is out of range: %s";
inline constexpr const char* SValueCannotBeConverted = "Value cannot be converted: %s";
inline constexpr const char* SInvalidScale = "%s has invalid scale";
inline constexpr const char* SStringValueTooLong = "String value is too long";
inline constexpr const char* SBinaryValueTooLong = "Binary value is too long";
inline constexpr const char* SInvalidIntegerValue = "%s is an invalid integer value";
inline constexpr const char* SInvalidNumericValue = "%s is an invalid numeric value";
inline constexpr const char* SInvalidBooleanValue = "%s is an invalid boolean value";
inline constexpr const char* SInvalidDateTimeValue = "%s is an invalid date or time value";
inline constexpr const char* SInvalidGuidValue = "%s is an invalid GUID value";
inline constexpr const char* SInvalidBinaryValue = "Invalid binary value";

inline constexpr const char* UnitName = "CRDataTypeMap";

// One call of a routine: the value types are part of it so that one body serves many pairs.
struct TArgs {
    store::TStringHeap* Heap;
    TMemDataType SourceType;
    TMemDataType DestType;
    const void* Source;
    int32_t SourceLength;
    int32_t SourceScale;
    void* Dest;
    int32_t DestLength;
    int32_t DestScale;
    bool IgnoreErrors;
};

// The messages carry one "%s"; Format is not needed for that.
inline AnsiString FormatOne(std::string_view text, std::string_view arg) {
    AnsiString result(text);
    const auto pos = result.find("%s");
    if (pos != AnsiString::npos) result.replace(pos, 2, arg);
    return result;
}

// Values in record slots, which need not be aligned for T.
template <class T>
T Read(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void Write(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

bool IsIntegerType(TMemDataType t) noexcept;
bool IsAnsiTextType(TMemDataType t) noexcept;
bool IsWideTextType(TMemDataType t) noexcept;
bool IsByteType(TMemDataType t) noexcept;
bool IsBlobType(TMemDataType t) noexcept;

// Raises EDataMappingError with Message (its "%s" replaced by Arg) unless errors are ignored; the
// caller then goes on with its substitute value.
void Fault(const TArgs& A, std::string_view Message, std::string_view Arg = {});
[[noreturn]] void NotImplemented();

// Text into any text destination (or a GUID slot), cut or refused when longer than DestLength.
void WriteAnsiText(const TArgs& A, std::string_view Text);
void WriteWideText(const TArgs& A, std::u16string_view Text);
// Bytes into any byte destination.
void WriteBytes(const TArgs& A, const void* Data, size_t Count);

// The destination's bounds applied to v (clamped when errors are ignored), then stored.
void StoreIntegerChecked(const TArgs& A, int64_t v);
// A Boolean slot from an integer: non-zero stays true.
void StoreBoolean(const TArgs& A, int64_t v);
// The scale limit of a BCD destination applied to v (the value times 10^4).
int64_t ApplyBcdScale(const TArgs& A, int64_t v);
// Precision and scale of an FmtBCD destination applied to v.
rtl::TBcd ApplyFmtBcdRule(const TArgs& A, rtl::TBcd v);
// A decimal value bound for a BCD destination: at most four places, within the 64-bit range,
// then the scale limit. Shown is the value as messages show it.
int64_t DecimalToBcd(const TArgs& A, const rtl::TBcd& v, std::string_view Shown);

// The two halves of the routine set.
void ConvertNumeric(const TArgs& A);
void ConvertOther(const TArgs& A);

TConvertProc RoutineFor(TMemDataType Source, TMemDataType Dest) noexcept;

}  // namespace daccess::convert
