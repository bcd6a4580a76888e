// Value conversions whose source is a number or a Boolean, and the writers and rules that every
// conversion shares.
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "data/access/CRDataTypeMap_Convert.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess::convert {

using namespace store;

namespace {

// The largest mdtBCD value, in whole units.
constexpr int64_t kBcdUnitsMax = std::numeric_limits<int64_t>::max() / 10000;

bool BoundsOf(TMemDataType t, int64_t& lo, int64_t& hi) {
    switch (t) {
        case mdtInt8:
            lo = INT8_MIN;
            hi = INT8_MAX;
            return true;
        case mdtUInt8:
            lo = 0;
            hi = UINT8_MAX;
            return true;
        case mdtInt16:
            lo = INT16_MIN;
            hi = INT16_MAX;
            return true;
        case mdtUInt16:
            lo = 0;
            hi = UINT16_MAX;
            return true;
        case mdtInt32:
            lo = INT32_MIN;
            hi = INT32_MAX;
            return true;
        case mdtUInt32:
            lo = 0;
            hi = UINT32_MAX;
            return true;
        default: return false;
    }
}

// Stores the low bytes of v; the caller has checked the range.
void StoreInteger(void* Dest, TMemDataType t, int64_t v) {
    switch (t) {
        case mdtInt8: Write(Dest, static_cast<int8_t>(v)); break;
        case mdtUInt8: Write(Dest, static_cast<uint8_t>(v)); break;
        case mdtInt16: Write(Dest, static_cast<int16_t>(v)); break;
        case mdtUInt16: Write(Dest, static_cast<uint16_t>(v)); break;
        case mdtInt32: Write(Dest, static_cast<int32_t>(v)); break;
        case mdtUInt32: Write(Dest, static_cast<uint32_t>(v)); break;
        case mdtInt64: Write(Dest, v); break;
        default: NotImplemented();
    }
}

int64_t ReadInteger(TMemDataType t, const void* p) {
    switch (t) {
        case mdtInt8: return Read<int8_t>(p);
        case mdtUInt8: return Read<uint8_t>(p);
        case mdtInt16: return Read<int16_t>(p);
        case mdtUInt16: return Read<uint16_t>(p);
        case mdtInt32: return Read<int32_t>(p);
        case mdtUInt32: return Read<uint32_t>(p);
        case mdtInt64: return Read<int64_t>(p);
        default: NotImplemented();
    }
}

size_t ImageSize(TMemDataType t) {
    switch (t) {
        case mdtInt8:
        case mdtUInt8: return 1;
        case mdtInt16:
        case mdtUInt16:
        case mdtBoolean: return 2;
        case mdtInt32:
        case mdtUInt32: return 4;
        case mdtFmtBCD: return sizeof(rtl::TBcd);
        default: return 8;
    }
}

bool IsFloatType(TMemDataType t) { return t == mdtFloat || t == mdtCurrency; }

// x cut toward zero; values beyond the 64-bit range are a fault (clamped when ignored).
int64_t TruncateDouble(const TArgs& A, double x, bool checkFraction) {
    if (std::isnan(x)) {
        Fault(A, SValueCannotBeConverted, rtl::FloatToStr(x));
        return 0;
    }
    const double t = std::trunc(x);
    if (checkFraction && t != x) Fault(A, SValueCannotBeConverted, rtl::FloatToStr(x));
    // 2^63 is exact as a double; every double below it converts.
    constexpr double kLimit = 9223372036854775808.0;
    if (t >= kLimit || t < -kLimit) {
        if (checkFraction) Fault(A, SValueOutOfRange, rtl::FloatToStr(t));
        return t < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    return static_cast<int64_t>(t);
}

// The integer part of a decimal value bound for an integer or Boolean destination.
int64_t DecimalToInteger(const TArgs& A, const rtl::TBcd& v) {
    if (rtl::BcdFractionDigits(v) > 0) Fault(A, SValueCannotBeConverted, rtl::BcdToStr(v));
    try {
        return rtl::BcdToInt64(v, true);
    } catch (const rtl::EBcdException&) {
        Fault(A, SValueOutOfRange, rtl::BcdToStr(v));
        return rtl::BcdIsNegative(v) ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
}

void ToText(const TArgs& A, const AnsiString& text) { WriteAnsiText(A, text); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared pieces

bool IsIntegerType(TMemDataType t) noexcept {
    switch (t) {
        case mdtInt8:
        case mdtUInt8:
        case mdtInt16:
        case mdtUInt16:
        case mdtInt32:
        case mdtUInt32:
        case mdtInt64: return true;
        default: return false;
    }
}
bool IsAnsiTextType(TMemDataType t) noexcept { return t == mdtString || t == mdtExtString; }
bool IsWideTextType(TMemDataType t) noexcept { return t == mdtWideString || t == mdtExtWideString; }
bool IsByteType(TMemDataType t) noexcept { return t == mdtBytes || t == mdtVarBytes || t == mdtExtVarBytes; }
bool IsBlobType(TMemDataType t) noexcept { return store::IsBlobDataType(t); }

void Fault(const TArgs& A, std::string_view Message, std::string_view Arg) {
    if (!A.IgnoreErrors) throw EDataMappingError(FormatOne(Message, Arg));
}

void NotImplemented() { throw rtl::Exception(SNotImplemented); }

void WriteAnsiText(const TArgs& A, std::string_view Text) {
    if (IsWideTextType(A.DestType)) {
        WriteWideText(A, rtl::AnsiToWide(Text));
        return;
    }
    // An empty view may have no data address; the heap wants one.
    const char* data = Text.empty() ? "" : Text.data();
    size_t n = Text.size();
    const size_t room = A.DestLength > 0 ? static_cast<size_t>(A.DestLength) : 0;
    if (n > room) {
        Fault(A, SStringValueTooLong);
        n = room;
    }
    switch (A.DestType) {
        case mdtString:
        case mdtGuid: {
            auto* d = static_cast<char*>(A.Dest);
            std::memcpy(d, data, n);
            d[n] = '\0';
            break;
        }
        case mdtExtString: {
            // The new string first, so a failed allocation leaves the old one in place.
            char* fresh = A.Heap->AllocStr(data, false, static_cast<int>(n));
            A.Heap->DisposeBuf(Read<char*>(A.Dest));
            Write(A.Dest, fresh);
            break;
        }
        default: NotImplemented();
    }
}

void WriteWideText(const TArgs& A, std::u16string_view Text) {
    if (!IsWideTextType(A.DestType)) {
        WriteAnsiText(A, rtl::WideToAnsi(Text));
        return;
    }
    const char16_t* data = Text.empty() ? u"" : Text.data();
    size_t n = Text.size();
    const size_t room = A.DestLength > 0 ? static_cast<size_t>(A.DestLength) : 0;
    if (n > room) {
        Fault(A, SStringValueTooLong);
        n = room;
    }
    if (A.DestType == mdtWideString) {
        auto* d = static_cast<char*>(A.Dest);
        std::memcpy(d, data, n * sizeof(char16_t));
        const char16_t zero = 0;
        std::memcpy(d + n * sizeof(char16_t), &zero, sizeof zero);
    } else {
        char16_t* fresh = A.Heap->AllocWideStr(data, false, static_cast<int>(n));
        A.Heap->DisposeBuf(Read<char16_t*>(A.Dest));
        Write(A.Dest, fresh);
    }
}

void WriteBytes(const TArgs& A, const void* Data, size_t Count) {
    size_t n = Count;
    switch (A.DestType) {
        case mdtBytes: {
            const size_t room = A.DestLength > 0 ? static_cast<size_t>(A.DestLength) : 0;
            if (n > room) {
                Fault(A, SBinaryValueTooLong);
                n = room;
            }
            auto* d = static_cast<uint8_t*>(A.Dest);
            if (n) std::memcpy(d, Data, n);
            std::memset(d + n, 0, room - n);
            break;
        }
        case mdtVarBytes: {
            if (A.DestLength < 2) rtl::AssertFail(SAssertionFailure, UnitName, __LINE__);
            // The count word cannot say more than 65535.
            const size_t room = std::min<size_t>(static_cast<size_t>(A.DestLength) - 2, UINT16_MAX);
            if (n > room) {
                Fault(A, SBinaryValueTooLong);
                n = room;
            }
            auto* d = static_cast<uint8_t*>(A.Dest);
            Write(d, static_cast<uint16_t>(n));
            if (n) std::memcpy(d + 2, Data, n);
            break;
        }
        case mdtExtVarBytes: {
            const int64_t want = static_cast<int64_t>(n) + 2;
            const int64_t size = std::min<int64_t>(A.DestLength, want);
            if (size < 2) rtl::AssertFail(SAssertionFailure, UnitName, __LINE__);
            const size_t room = std::min<size_t>(static_cast<size_t>(size) - 2, UINT16_MAX);
            if (n > room) {
                Fault(A, SBinaryValueTooLong);
                n = room;
            }
            auto* buf = static_cast<uint8_t*>(A.Heap->AllocBuf(static_cast<int>(n + 2)));
            Write(buf, static_cast<uint16_t>(n));
            if (n) std::memcpy(buf + 2, Data, n);
            A.Heap->DisposeBuf(Read<void*>(A.Dest));
            Write(A.Dest, static_cast<void*>(buf));
            break;
        }
        default: NotImplemented();
    }
}

void StoreIntegerChecked(const TArgs& A, int64_t v) {
    int64_t lo, hi;
    if (BoundsOf(A.DestType, lo, hi) && (v < lo || v > hi)) {
        Fault(A, SValueOutOfRange, rtl::IntToStr(v));
        v = v < lo ? lo : hi;
    }
    StoreInteger(A.Dest, A.DestType, v);
}

void StoreBoolean(const TArgs& A, int64_t v) {
    // The low word keeps a 16-bit value as it is; a wider non-zero value whose low word is zero
    // would otherwise turn false.
    auto w = static_cast<uint16_t>(v);
    if (w == 0 && v != 0) w = 1;
    Write(A.Dest, w);
}

int64_t ApplyBcdScale(const TArgs& A, int64_t v) {
    if (A.DestLength <= 0 && A.DestScale <= 0) return v;
    if (A.DestScale < 0 || A.DestScale > 3) return v;
    static constexpr int64_t kFactors[] = {10000, 1000, 100, 10};
    const int64_t factor = kFactors[A.DestScale];
    if (v % factor != 0) {
        Fault(A, SInvalidScale, rtl::CurrToStr(rtl::Currency::FromScaled(v)));
        v = (v / factor) * factor;
    }
    return v;
}

rtl::TBcd ApplyFmtBcdRule(const TArgs& A, rtl::TBcd v) {
    const int32_t P = A.DestLength;
    const int32_t S = A.DestScale;
    if (P <= 0 && S <= 0) return v;
    if (S >= 0 && S < rtl::BcdFractionDigits(v)) {
        Fault(A, SInvalidScale, rtl::BcdToStr(v));
        v = rtl::BcdTruncate(v, S);
    }
    if (P > 0) {
        // A value fits P digits of which S are places when its integer part has at most P - S
        // digits (the places were limited above).
        const int intDigits = rtl::BcdPrecision(v);
        const int places = S >= 0 ? S : 0;
        const bool over = S >= 0 ? intDigits > std::max(P - S, 0) : intDigits + rtl::BcdFractionDigits(v) > P;
        if (over) {
            Fault(A, SValueOutOfRange, rtl::BcdToStr(v));
            const int fracNines = std::min(places, rtl::MaxFMTBcdFractionSize - 1);
            const int intNines = std::min(std::max(P - places, 0), rtl::MaxFMTBcdFractionSize - fracNines);
            AnsiString nines = rtl::BcdIsNegative(v) ? "-" : "";
            nines += intNines > 0 ? AnsiString(static_cast<size_t>(intNines), '9') : AnsiString("0");
            if (fracNines > 0) nines += "." + AnsiString(static_cast<size_t>(fracNines), '9');
            v = rtl::StrToBcd(nines);
        }
    }
    return v;
}

int64_t DecimalToBcd(const TArgs& A, const rtl::TBcd& v, std::string_view Shown) {
    rtl::TBcd d = v;
    if (rtl::BcdFractionDigits(d) > 4) {
        Fault(A, SValueCannotBeConverted, Shown);
        d = rtl::BcdTruncate(d, 4);
    }
    rtl::Currency c;
    if (!rtl::TryBcdToCurr(d, c)) {
        Fault(A, SValueOutOfRange, Shown);
        c = rtl::Currency::FromScaled(rtl::BcdIsNegative(d) ? std::numeric_limits<int64_t>::min()
                                                            : std::numeric_limits<int64_t>::max());
    }
    return ApplyBcdScale(A, c.Value);
}

// ---------------------------------------------------------------------------------------------
// Numeric and Boolean sources

namespace {

// Decimal digits as the value shows, so that 1.23 is 1.23 and not a binary neighbour; zero after
// the fault when the value has no decimal form.
rtl::TBcd FloatToBcd(const TArgs& A, double x) {
    rtl::TBcd b;
    if (!rtl::TryDoubleToBcd(x, b)) {
        Fault(A, SValueCannotBeConverted, rtl::FloatToStr(x));
        b = rtl::IntegerToBcd(0);
    }
    return b;
}

void ConvertBoolean(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const auto w = Read<int16_t>(A.Source);
    if (IsIntegerType(D)) {
        // The low byte for the 8-bit types, the word for the 16-bit ones, sign-extended above.
        StoreInteger(A.Dest, D, w);
    } else if (IsFloatType(D)) {
        Write(A.Dest, static_cast<double>(w));
    } else if (D == mdtBCD) {
        Write(A.Dest, ApplyBcdScale(A, int64_t{w} * 10000));
    } else if (D == mdtFmtBCD) {
        Write(A.Dest, ApplyFmtBcdRule(A, rtl::IntegerToBcd(w)));
    } else if (IsAnsiTextType(D) || IsWideTextType(D)) {
        ToText(A, w != 0 ? "True" : "False");
    } else {
        NotImplemented();
    }
}

void ConvertInteger(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const int64_t v = ReadInteger(A.SourceType, A.Source);
    if (IsIntegerType(D)) {
        if (D == A.SourceType) NotImplemented();
        StoreIntegerChecked(A, v);
    } else if (D == mdtBoolean) {
        StoreBoolean(A, v);
    } else if (IsFloatType(D)) {
        Write(A.Dest, static_cast<double>(v));
    } else if (D == mdtBCD) {
        int64_t units = v;
        if (v > kBcdUnitsMax || v < -kBcdUnitsMax) {
            Fault(A, SValueOutOfRange, rtl::IntToStr(v));
            units = v < 0 ? -kBcdUnitsMax : kBcdUnitsMax;
        }
        Write(A.Dest, ApplyBcdScale(A, units * 10000));
    } else if (D == mdtFmtBCD) {
        Write(A.Dest, ApplyFmtBcdRule(A, rtl::IntegerToBcd(v)));
    } else if (IsAnsiTextType(D) || IsWideTextType(D)) {
        ToText(A, rtl::IntToStr(v));
    } else {
        NotImplemented();
    }
}

void ConvertFloat(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const double x = Read<double>(A.Source);
    if (IsIntegerType(D)) {
        StoreIntegerChecked(A, TruncateDouble(A, x, true));
    } else if (D == mdtBoolean) {
        StoreBoolean(A, TruncateDouble(A, x, false));
    } else if (IsFloatType(D)) {
        if (D == A.SourceType) NotImplemented();
        Write(A.Dest, x);
    } else if (D == mdtBCD) {
        Write(A.Dest, DecimalToBcd(A, FloatToBcd(A, x), rtl::FloatToStr(x)));
    } else if (D == mdtFmtBCD) {
        Write(A.Dest, ApplyFmtBcdRule(A, FloatToBcd(A, x)));
    } else if (IsAnsiTextType(D) || IsWideTextType(D)) {
        ToText(A, rtl::FloatToStr(x));
    } else {
        NotImplemented();
    }
}

void ConvertCurrencyBcd(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const auto v = Read<int64_t>(A.Source);
    const auto asCurrency = rtl::Currency::FromScaled(v);
    if (IsIntegerType(D) || D == mdtBoolean) {
        if (v % 10000 != 0) Fault(A, SValueCannotBeConverted, rtl::CurrToStr(asCurrency));
        const int64_t whole = v / 10000;
        if (D == mdtBoolean)
            StoreBoolean(A, whole);
        else
            StoreIntegerChecked(A, whole);
    } else if (IsFloatType(D)) {
        Write(A.Dest, static_cast<double>(v) / 10000.0);
    } else if (D == mdtBCD) {
        Write(A.Dest, ApplyBcdScale(A, v));
    } else if (D == mdtFmtBCD) {
        Write(A.Dest, ApplyFmtBcdRule(A, rtl::CurrToBcd(asCurrency)));
    } else if (IsAnsiTextType(D) || IsWideTextType(D)) {
        // Exact: every digit of the 64-bit value shows.
        ToText(A, rtl::CurrToStr(asCurrency));
    } else {
        NotImplemented();
    }
}

void ConvertFmtBcd(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const auto v = Read<rtl::TBcd>(A.Source);
    if (IsIntegerType(D) || D == mdtBoolean) {
        const int64_t whole = DecimalToInteger(A, v);
        if (D == mdtBoolean)
            StoreBoolean(A, whole);
        else
            StoreIntegerChecked(A, whole);
    } else if (IsFloatType(D)) {
        Write(A.Dest, rtl::BcdToDouble(v));
    } else if (D == mdtBCD) {
        Write(A.Dest, DecimalToBcd(A, v, rtl::BcdToStr(v)));
    } else if (D == mdtFmtBCD) {
        Write(A.Dest, ApplyFmtBcdRule(A, v));
    } else if (IsAnsiTextType(D) || IsWideTextType(D)) {
        ToText(A, rtl::BcdToStr(v));
    } else {
        NotImplemented();
    }
}

}  // namespace

void ConvertNumeric(const TArgs& A) {
    const TMemDataType S = A.SourceType;
    if (IsByteType(A.DestType)) {
        WriteBytes(A, A.Source, ImageSize(S));
        return;
    }
    if (S == mdtBoolean)
        ConvertBoolean(A);
    else if (IsIntegerType(S))
        ConvertInteger(A);
    else if (IsFloatType(S))
        ConvertFloat(A);
    else if (S == mdtBCD)
        ConvertCurrencyBcd(A);
    else if (S == mdtFmtBCD)
        ConvertFmtBcd(A);
    else
        NotImplemented();
}

// ---------------------------------------------------------------------------------------------
// The routine table: one small function per (source, destination) pair, all running through
// the same two bodies.

namespace {

constexpr size_t kTypeCount = 35;  // codes 0 to mdtUInt8

bool IsNumericSource(TMemDataType t) {
    return t == mdtBoolean || IsIntegerType(t) || IsFloatType(t) || t == mdtBCD || t == mdtFmtBCD;
}

template <size_t Code>
void Routine(TStringHeap* Heap, const void* Source, int32_t SourceLength, int32_t SourceScale, void* Dest,
             int32_t DestLength, int32_t DestScale, bool IgnoreErrors) {
    const TArgs A{Heap,
                  static_cast<TMemDataType>(Code / kTypeCount),
                  static_cast<TMemDataType>(Code % kTypeCount),
                  Source,
                  SourceLength,
                  SourceScale,
                  Dest,
                  DestLength,
                  DestScale,
                  IgnoreErrors};
    if (IsNumericSource(A.SourceType))
        ConvertNumeric(A);
    else
        ConvertOther(A);
}

template <size_t... Codes>
constexpr std::array<TConvertProc, sizeof...(Codes)> MakeTable(std::index_sequence<Codes...>) {
    return {&Routine<Codes>...};
}

constexpr auto kRoutines = MakeTable(std::make_index_sequence<kTypeCount * kTypeCount>());

void NotImplementedRoutine(TStringHeap*, const void*, int32_t, int32_t, void*, int32_t, int32_t, bool) {
    NotImplemented();
}

}  // namespace

TConvertProc RoutineFor(TMemDataType Source, TMemDataType Dest) noexcept {
    if (Source >= kTypeCount || Dest >= kTypeCount) return &NotImplementedRoutine;
    return kRoutines[Source * kTypeCount + Dest];
}

}  // namespace daccess::convert
