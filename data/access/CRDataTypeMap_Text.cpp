// Value conversions whose source is text, bytes, a date or time, a GUID or a blob, and text put
// back into a blob.
#include <cmath>
#include <cstring>
#include <limits>

#include "data/access/CRDataTypeMap_Convert.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess::convert {

using namespace store;

namespace {

// Day number of 1899-12-30.
constexpr int32_t kDateDelta = 693594;
constexpr int kGuidTextLength = 38;

bool IsTextType(TMemDataType t) { return IsAnsiTextType(t) || IsWideTextType(t); }
bool IsDateType(TMemDataType t) { return t == mdtDate || t == mdtTime || t == mdtDateTime || t == mdtSQLTimeStamp; }

size_t StrLen(const char* p, int32_t limit) { return limit > 0 ? strnlen(p, static_cast<size_t>(limit)) : 0; }

size_t WideLen(const char16_t* p, size_t limit) {
    size_t n = 0;
    while (n < limit && p[n] != 0) ++n;
    return n;
}

// The text of a text, GUID or blob source, in the form it is kept in.
struct TSourceText {
    bool IsWide = false;
    AnsiString Ansi;
    WideString Wide;

    AnsiString AsAnsi() const { return IsWide ? rtl::WideToAnsi(Wide) : Ansi; }
    WideString AsWide() const { return IsWide ? Wide : rtl::AnsiToWide(Ansi); }
};

TSourceText ReadText(const TArgs& A) {
    TSourceText t;
    switch (A.SourceType) {
        case mdtString: {
            const auto* p = static_cast<const char*>(A.Source);
            t.Ansi.assign(p, StrLen(p, A.SourceLength));
            break;
        }
        case mdtGuid: {
            const auto* p = static_cast<const char*>(A.Source);
            t.Ansi.assign(p, StrLen(p, A.SourceLength > 0 ? A.SourceLength : kGuidTextLength));
            break;
        }
        case mdtExtString:
            if (const char* p = Read<const char*>(A.Source)) t.Ansi = p;
            break;
        case mdtWideString: {
            t.IsWide = true;
            const auto* p = static_cast<const char16_t*>(A.Source);
            t.Wide.assign(p, WideLen(p, A.SourceLength > 0 ? static_cast<size_t>(A.SourceLength) : 0));
            break;
        }
        case mdtExtWideString:
            t.IsWide = true;
            if (const char16_t* p = Read<const char16_t*>(A.Source)) t.Wide = p;
            break;
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: {
            auto* blob = Read<TBlob*>(A.Source);
            t.IsWide = IsWideTextType(A.DestType);
            if (blob) {
                if (t.IsWide)
                    t.Wide = blob->GetAsWideString();
                else
                    t.Ansi = blob->GetAsAnsiString();
            }
            break;
        }
        default: NotImplemented();
    }
    return t;
}

// The stored bytes of a byte source.
struct TSourceBytes {
    const uint8_t* Data = nullptr;
    size_t Count = 0;
};

TSourceBytes ReadBytes(const TArgs& A) {
    TSourceBytes b;
    const uint8_t* counted = nullptr;
    switch (A.SourceType) {
        case mdtBytes:
            b.Data = static_cast<const uint8_t*>(A.Source);
            b.Count = A.SourceLength > 0 ? static_cast<size_t>(A.SourceLength) : 0;
            return b;
        case mdtVarBytes: counted = static_cast<const uint8_t*>(A.Source); break;
        case mdtExtVarBytes: counted = Read<const uint8_t*>(A.Source); break;
        default: NotImplemented();
    }
    if (!counted) return b;
    b.Data = counted + 2;
    b.Count = Read<uint16_t>(counted);
    return b;
}

size_t FixedSize(TMemDataType t) {
    switch (t) {
        case mdtInt8:
        case mdtUInt8: return 1;
        case mdtBoolean:
        case mdtInt16:
        case mdtUInt16: return 2;
        case mdtInt32:
        case mdtUInt32:
        case mdtDate:
        case mdtTime: return 4;
        case mdtInt64:
        case mdtFloat:
        case mdtCurrency:
        case mdtBCD:
        case mdtDateTime: return 8;
        case mdtSQLTimeStamp: return sizeof(rtl::TSQLTimeStamp);
        case mdtFmtBCD: return sizeof(rtl::TBcd);
        default: return 0;
    }
}

// A moment in the stored forms of the date types.
void StoreMoment(const TArgs& A, const rtl::TTimeStamp& ts) {
    switch (A.DestType) {
        case mdtDate: Write(A.Dest, ts.Date); break;
        case mdtTime: Write(A.Dest, ts.Time); break;
        case mdtDateTime: Write(A.Dest, static_cast<double>(int64_t{ts.Date} * rtl::MSecsPerDay + ts.Time)); break;
        case mdtSQLTimeStamp:
            rtl::ValidateTimeStamp(ts);
            Write(A.Dest, rtl::DateTimeToSQLTimeStamp(rtl::TimeStampToDateTime(ts)));
            break;
        default: NotImplemented();
    }
}

// A millisecond count split into day and time of day, rounded to whole milliseconds first.
rtl::TTimeStamp SplitMSecs(const TArgs& A, double ms) {
    const double c = std::nearbyint(ms);  // the default rounding mode: ties to even
    // Day numbers are 32-bit.
    constexpr double kLimit = 2147483648.0 * 86400000.0;
    if (!(c > -kLimit && c < kLimit)) {
        // A stored value no day number can hold is refused whatever the rule says.
        TArgs strict = A;
        strict.IgnoreErrors = false;
        Fault(strict, SValueOutOfRange, rtl::FloatToStr(ms));
    }
    const auto count = static_cast<int64_t>(c);
    rtl::TTimeStamp ts;
    ts.Date = static_cast<int32_t>(count / rtl::MSecsPerDay);
    ts.Time = static_cast<int32_t>(count % rtl::MSecsPerDay);
    return ts;
}

// The moment a date-type source holds.
rtl::TTimeStamp ReadMoment(const TArgs& A) {
    rtl::TTimeStamp ts;
    switch (A.SourceType) {
        case mdtDate:
            ts.Date = Read<int32_t>(A.Source);
            ts.Time = 0;
            break;
        case mdtTime:
            ts.Date = kDateDelta;
            ts.Time = Read<int32_t>(A.Source);
            break;
        case mdtDateTime: ts = SplitMSecs(A, Read<double>(A.Source)); break;
        case mdtSQLTimeStamp:
            ts = rtl::DateTimeToTimeStamp(rtl::SQLTimeStampToDateTime(Read<rtl::TSQLTimeStamp>(A.Source)));
            break;
        default: NotImplemented();
    }
    return ts;
}

// ---------------------------------------------------------------------------------------------

// Text into any destination: text and bytes as they stand, blobs whole, every other type parsed
// from the trimmed text. Text that does not parse raises the type's message naming the text as
// stored, or with IgnoreErrors stores the type's zero.
void TextToValue(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const TSourceText src = ReadText(A);

    if (IsTextType(D)) {
        if (src.IsWide)
            WriteWideText(A, src.Wide);
        else
            WriteAnsiText(A, src.Ansi);
        return;
    }
    if (IsByteType(D)) {
        if (src.IsWide) {
            std::string bytes;
            bytes.reserve(src.Wide.size() * 2);
            for (char16_t u : src.Wide) {
                bytes.push_back(static_cast<char>(u & 0xFF));
                bytes.push_back(static_cast<char>(u >> 8));
            }
            WriteBytes(A, bytes.data(), bytes.size());
        } else {
            WriteBytes(A, src.Ansi.data(), src.Ansi.size());
        }
        return;
    }
    if (IsBlobType(D)) {
        auto* blob = Read<TBlob*>(A.Dest);
        if (!blob) rtl::AssertFail(SAssertionFailure, UnitName, __LINE__);
        if (D == mdtWideMemo)
            blob->SetAsWideString(src.AsWide());
        else
            blob->SetAsAnsiString(src.AsAnsi());
        return;
    }

    // Messages show the text as stored; parsing sees it trimmed.
    const AnsiString T = src.AsAnsi();
    const AnsiString trimmed = rtl::Trim(T);

    if (IsIntegerType(D)) {
        int64_t v = 0;
        if (!rtl::TryStrToInt64(trimmed, v)) {
            Fault(A, SInvalidIntegerValue, T);
            v = 0;
        }
        StoreIntegerChecked(A, v);
    } else if (D == mdtFloat || D == mdtCurrency) {
        double x = 0;
        if (!rtl::TryStrToFloat(trimmed, x)) {
            Fault(A, SInvalidNumericValue, T);
            x = 0;
        }
        Write(A.Dest, x);
    } else if (D == mdtBCD) {
        double x = 0;
        rtl::TBcd b = rtl::IntegerToBcd(0);
        if (!rtl::TryStrToFloat(trimmed, x)) {
            Fault(A, SInvalidNumericValue, T);
        } else if (!rtl::TryStrToBcd(trimmed, b) && !rtl::TryDoubleToBcd(x, b)) {
            // Only a text with an exponent reaches the double; one beyond every decimal fails.
            Fault(A, SValueCannotBeConverted, T);
            b = rtl::IntegerToBcd(0);
        }
        Write(A.Dest, DecimalToBcd(A, b, T));
    } else if (D == mdtFmtBCD) {
        rtl::TBcd b;
        if (!rtl::TryStrToBcd(trimmed, b)) {
            Fault(A, SInvalidNumericValue, T);
            b = rtl::IntegerToBcd(0);
        }
        Write(A.Dest, ApplyFmtBcdRule(A, b));
    } else if (D == mdtBoolean) {
        bool v = false;
        if (!rtl::TryStrToBool(trimmed, v)) {
            Fault(A, SInvalidBooleanValue, T);
            v = false;
        }
        Write(A.Dest, static_cast<int16_t>(v ? -1 : 0));
    } else if (D == mdtDate || D == mdtTime || D == mdtDateTime) {
        rtl::TDateTime dt = 0;
        const bool ok = D == mdtDate   ? rtl::TryStrToDate(trimmed, dt)
                        : D == mdtTime ? rtl::TryStrToTime(trimmed, dt)
                                       : rtl::TryStrToDateTime(trimmed, dt);
        if (!ok) {
            Fault(A, SInvalidDateTimeValue, T);
            dt = 0;
        }
        StoreMoment(A, rtl::DateTimeToTimeStamp(dt));
    } else if (D == mdtSQLTimeStamp) {
        rtl::TSQLTimeStamp ts;
        if (!rtl::TryStrToSQLTimeStamp(trimmed, ts)) {
            Fault(A, SInvalidDateTimeValue, T);
            ts = rtl::DateTimeToSQLTimeStamp(0);
        }
        Write(A.Dest, ts);
    } else if (D == mdtGuid) {
        AnsiString g = T;
        if (g.size() > 1) {
            if (g.front() != '{') g.insert(g.begin(), '{');
            if (g.back() != '}') g.push_back('}');
        }
        rtl::TGUID guid;
        if (!rtl::TryStringToGUID(rtl::Trim(g), guid)) {
            Fault(A, SInvalidGuidValue, T);
            guid = rtl::TGUID{};
        }
        // The destination's own length bounds the write: a short one is refused, never overrun.
        WriteAnsiText(A, rtl::GUIDToString(guid));
    } else {
        NotImplemented();
    }
}

void BytesToValue(const TArgs& A) {
    const TMemDataType D = A.DestType;
    const TSourceBytes src = ReadBytes(A);

    if (IsByteType(D)) {
        WriteBytes(A, src.Data, src.Count);
        return;
    }
    if (IsAnsiTextType(D)) {
        size_t n = src.Count;
        if (A.SourceType == mdtBytes)
            while (n > 0 && src.Data[n - 1] == 0) --n;
        WriteAnsiText(A, std::string_view(reinterpret_cast<const char*>(src.Data), n));
        return;
    }
    if (IsWideTextType(D)) {
        size_t units = src.Count / 2;
        WideString w(units, u'\0');
        for (size_t i = 0; i < units; ++i) w[i] = static_cast<char16_t>(src.Data[2 * i] | (src.Data[2 * i + 1] << 8));
        if (A.SourceType == mdtBytes)
            while (!w.empty() && w.back() == 0) w.pop_back();
        WriteWideText(A, w);
        return;
    }
    const size_t size = FixedSize(D);
    if (size == 0) NotImplemented();
    if (src.Count != size) {
        const bool varying = A.SourceType != mdtBytes;
        Fault(A, varying && D == mdtInt8 ? SBinaryValueTooLong : SInvalidBinaryValue);
    }
    // A short value must not leave bytes of the old one above it.
    std::memset(A.Dest, 0, size);
    if (src.Count) std::memcpy(A.Dest, src.Data, std::min(src.Count, size));
}

void MomentToValue(const TArgs& A) {
    const TMemDataType S = A.SourceType;
    const TMemDataType D = A.DestType;

    if (IsByteType(D)) {
        WriteBytes(A, A.Source, FixedSize(S));
        return;
    }
    if (IsTextType(D)) {
        AnsiString text;
        if (S == mdtSQLTimeStamp) {
            text = rtl::SQLTimeStampToStr(Read<rtl::TSQLTimeStamp>(A.Source));
        } else {
            const rtl::TTimeStamp ts = ReadMoment(A);
            rtl::ValidateTimeStamp(ts);
            const rtl::TDateTime dt = rtl::TimeStampToDateTime(ts);
            text = S == mdtDate ? rtl::DateToStr(dt) : S == mdtTime ? rtl::TimeToStr(dt) : rtl::DateTimeToStr(dt);
        }
        WriteAnsiText(A, text);
        return;
    }
    if (!IsDateType(D) || D == S) NotImplemented();
    if (D == mdtDateTime && S != mdtSQLTimeStamp) {
        // Straight from the stored numbers: no validation, every day and time carries over.
        const double ms = S == mdtDate
                              ? static_cast<double>(Read<int32_t>(A.Source)) * rtl::MSecsPerDay
                              : static_cast<double>(int64_t{kDateDelta} * rtl::MSecsPerDay + Read<int32_t>(A.Source));
        Write(A.Dest, ms);
        return;
    }
    StoreMoment(A, ReadMoment(A));
}

void BlobToValue(const TArgs& A) {
    if (IsBlobType(A.DestType)) {
        // The same blob, seen through another type: the receiver holds a reference of its own.
        Write(A.Dest, rtl::TSharedRef<TBlob>::Retain(Read<TBlob*>(A.Source)).Detach());
        return;
    }
    if (!IsTextType(A.DestType)) NotImplemented();
    const TSourceText src = ReadText(A);
    if (src.IsWide)
        WriteWideText(A, src.Wide);
    else
        WriteAnsiText(A, src.Ansi);
}

}  // namespace

void ConvertOther(const TArgs& A) {
    const TMemDataType S = A.SourceType;
    if (IsTextType(S)) {
        TextToValue(A);
    } else if (IsByteType(S)) {
        BytesToValue(A);
    } else if (IsDateType(S)) {
        MomentToValue(A);
    } else if (S == mdtGuid) {
        if (!IsTextType(A.DestType)) NotImplemented();
        WriteAnsiText(A, ReadText(A).Ansi);
    } else if (IsBlobType(S)) {
        BlobToValue(A);
    } else {
        NotImplemented();
    }
}

}  // namespace daccess::convert
