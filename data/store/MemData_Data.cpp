// TData: field values between record buffers, external forms and variants; open and close.
#include <cmath>
#include <cstring>
#include <limits>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Internal.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using rtl::Variant;

std::function<void()> TData::BeginBusyWaitProc;
std::function<void()> TData::EndBusyWaitProc;
std::function<AnsiString()> TData::HostApplicationTitleProc;

using namespace internal;

namespace {

[[noreturn]] void CannotConvert() { throw rtl::EConvertError(SCannotConvertType); }

[[noreturn]] void CannotConvert(TMemDataType DataType) {
    throw rtl::EConvertError(AnsiString(SCannotConvertType) + " " + std::to_string(DataType));
}

// A value outside the range of the field's slot: refuse rather than truncate.
[[noreturn]] void RangeError(const Variant& Value, rtl::TVarType To) {
    throw rtl::EVariantOverflowError("Overflow while converting variant of type (" + rtl::VarTypeAsText(Value.VType()) +
                                     ") into type (" + rtl::VarTypeAsText(To) + ")");
}

bool IsIntegerVariant(rtl::TVarType t) noexcept {
    switch (t) {
        case rtl::varSmallint:
        case rtl::varInteger:
        case rtl::varShortInt:
        case rtl::varByte:
        case rtl::varWord:
        case rtl::varLongWord:
        case rtl::varInt64: return true;
        default: return false;
    }
}

// Trailing blanks and zeros of a zero-terminated text become zeros.
void TrimAnsiTail(char* s) noexcept {
    for (size_t n = std::strlen(s); n > 0 && (s[n - 1] == ' ' || s[n - 1] == 0); --n) s[n - 1] = 0;
}

void TrimWideTail(char16_t* s) noexcept {
    for (size_t n = WideLen(s); n > 0 && (s[n - 1] == u' ' || s[n - 1] == 0); --n) s[n - 1] = 0;
}

// Copies at most MaxLen characters; with ConvertEOL a lone LF becomes CR LF within the bound.
template <class C>
void CopyText(C* Dest, const C* Source, size_t MaxLen, bool ConvertEOL) noexcept {
    if (!ConvertEOL) {
        size_t n = 0;
        if constexpr (sizeof(C) == 1)
            n = strnlen(Source, MaxLen);
        else
            while (n < MaxLen && Source[n]) ++n;
        std::memcpy(Dest, Source, n * sizeof(C));
        std::memset(Dest + n, 0, (MaxLen + 1 - n) * sizeof(C));
        return;
    }
    size_t d = 0;
    C prev = 0;
    for (size_t s = 0; Source[s] && d < MaxLen; ++s) {
        C c = Source[s];
        if (ConvertEOL && c == C('\n') && prev != C('\r')) {
            if (d + 2 > MaxLen) break;
            Dest[d++] = C('\r');
        }
        Dest[d++] = c;
        prev = c;
    }
    // The rest is zeroed so that trimming never meets stale bytes of the caller's buffer.
    for (size_t i = d; i <= MaxLen; ++i) Dest[i] = 0;
}

struct TRollbackView {
    TBlob* Blob;
    bool On;
    TRollbackView(TBlob* b, bool on) : Blob(b), On(on) {
        if (On) Blob->ViewRollback(true);
    }
    ~TRollbackView() {
        if (On) Blob->ViewRollback(false);
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction, open and close
// ---------------------------------------------------------------------------------------------

TData::TData() = default;

TData::~TData() { FreeFilterExpression(); }

void TData::InitData() {
    FBof = true;
    FEof = true;
    FRecordCount = 0;
    FRecordNoOffset = 0;
}

void TData::FreeData() { InitData(); }

WideString TData::ArrayElementName(int Index) const { return u"[" + rtl::AnsiToWide(std::to_string(Index)) + u"]"; }

void TData::Prepare() {
    DoPrepare();
    FPrepared = true;
}

void TData::Unprepare() {
    if (!FPrepared) return;
    FPrepared = false;
    if (FCreatesOwnFields) ClearFields();
    DoUnprepare();
}

void TData::Open() {
    if (FActive) return;
    InitData();
    try {
        DoOpen(0);
        try {
            ParseFilter(FFilterText);
        } catch (...) {
            DoClose();
            throw;
        }
    } catch (...) {
        FreeData();
        FreeFilterExpression();
        throw;
    }
    FActive = true;
}

void TData::Close() {
    rtl::TScopeExit finish([this] {
        FActive = false;
        FreeData();
        if (FCreatesOwnFields && !FPrepared) ClearFields();
        FreeFilterExpression();
    });
    if (FActive) DoClose();
}

void TData::Reopen() {
    Close();
    Open();
}

void TData::InitFields() {
    if (FCreatesOwnFields) {
        {
            // Clearing is no change anyone hears of.
            rtl::TScopedValue<TNotifyStoreEvent> quiet(FieldsChangedEvent, nullptr);
            ClearFields();
        }
        DoInitFields();
        if (AfterInitFieldsEvent) AfterInitFieldsEvent();
        FFields.MakeUniqueNames();
    }
    ApplyLayout();
    if (FieldsChangedEvent) FieldsChangedEvent();
}

void TData::ApplyLayout() {
    const TRecordLayout layout = FFields.CalcLayout();
    FDataSize = layout.DataSize;
    FRecordSize = layout.RecordSize;
    FCalcRecordSize = layout.CalcRecordSize;
    FHasComplexFields = false;
    FHasBlobFields = false;
    FComplexSlots.clear();
    for (int i = 0; i < FFields.Count(); ++i) {
        const TFieldDesc* f = FFields[i];
        const bool blob = IsBlobFieldType(f->DataType);
        if (blob) FHasBlobFields = true;
        if (!IsComplexFieldType(f->DataType)) continue;
        FHasComplexFields = true;
        FComplexSlots.push_back({i, IsRecordSlot(f), blob});
    }
}

void TData::ClearFields() {
    FComplexSlots.clear();
    FFields.Clear();
    if (FieldsChangedEvent) FieldsChangedEvent();
}

// ---------------------------------------------------------------------------------------------
// Single values
// ---------------------------------------------------------------------------------------------

TFieldDesc* TData::FieldOf(int FieldNo) const {
    if (FieldNo < 1 || FieldNo > FFields.Count()) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    return FFields[FieldNo - 1];
}

void TData::GetField(int FieldNo, const void* RecBuf, void* Dest, bool& IsBlank) {
    TFieldDesc* field = FieldOf(FieldNo);
    IsBlank = NullOf(field, FieldNo, RecBuf);
    if (!Dest) return;
    TMemDataType t = field->DataType;
    if (IsBlank && (!IsComplexFieldType(t) || t == mdtExtString || t == mdtExtVarBytes || t == mdtExtWideString))
        return;
    // Child fields live in objects that no provider of this system creates: they read as blank.
    if (field->HasParent()) {
        IsBlank = true;
        return;
    }
    GetFieldData(field, Slot(RecBuf, field), Dest);
    if (!IsBlank && TrimFor(field)) {
        if (t == mdtString || t == mdtExtString)
            TrimAnsiTail(static_cast<char*>(Dest));
        else if (t == mdtWideString || t == mdtExtWideString)
            TrimWideTail(static_cast<char16_t*>(Dest));
    }
}

void TData::GetFieldData(const TFieldDesc* Field, const void* Source, void* Dest) {
    switch (Field->DataType) {
        case mdtString:
            CopyText(static_cast<char*>(Dest), static_cast<const char*>(Source), Field->Length, NeedConvertEOL());
            break;
        case mdtDate: GetDateFromBuf(Source, Field, dkDate, Dest); break;
        case mdtTime: GetDateFromBuf(Source, Field, dkTime, Dest); break;
        case mdtDateTime: GetDateFromBuf(Source, Field, dkMSecs, Dest); break;
        case mdtVariant: {
            auto* obj = static_cast<TVariantObject*>(ReadPtr(Source));
            *static_cast<Variant*>(Dest) = obj ? obj->Value : Variant();
            break;
        }
        case mdtExtString: {
            auto* s = static_cast<const char*>(ReadPtr(Source));
            if (!s) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
            CopyText(static_cast<char*>(Dest), s, Field->Length, NeedConvertEOL());
            break;
        }
        case mdtExtWideString: {
            auto* s = static_cast<const char16_t*>(ReadPtr(Source));
            if (!s) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
            CopyText(static_cast<char16_t*>(Dest), s, Field->Length, NeedConvertEOL());
            break;
        }
        case mdtExtVarBytes: {
            auto* b = static_cast<const uint8_t*>(ReadPtr(Source));
            uint16_t len = b ? Load<uint16_t>(b) : 0;
            // The caller's buffer holds Length bytes after the count.
            if (Field->Length > 0 && len > Field->Length) len = Field->Length;
            Store<uint16_t>(Dest, len);
            if (len) std::memcpy(static_cast<uint8_t*>(Dest) + 2, b + 2, len);
            break;
        }
        case mdtUInt32: Store<uint64_t>(Dest, Load<uint32_t>(Source)); break;
        case mdtWideString:
            CopyText(static_cast<char16_t*>(Dest), static_cast<const char16_t*>(Source), Field->Length,
                     NeedConvertEOL());
            break;
        case mdtFmtBCD: std::memcpy(Dest, Source, sizeof(rtl::TBcd)); break;
        default: std::memcpy(Dest, Source, static_cast<size_t>(Field->Size)); break;
    }
}

void TData::PutField(int FieldNo, void* RecBuf, const void* Source, bool NoRound) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (!Source) {
        SetNull(FieldNo, RecBuf, true);
        return;
    }
    if (field->HasParent()) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    uint8_t* slot = Slot(RecBuf, field);
    PutFieldData(field, slot, Source, NoRound);
    bool empty = false;
    if (SetEmptyStrToNull) {
        switch (field->DataType) {
            case mdtString: empty = slot[0] == 0; break;
            case mdtExtString: {
                auto* s = static_cast<const char*>(ReadPtr(slot));
                empty = !s || s[0] == 0;
                break;
            }
            case mdtExtWideString: {
                auto* s = static_cast<const char16_t*>(ReadPtr(slot));
                empty = !s || s[0] == 0;
                break;
            }
            case mdtWideString: empty = Load<char16_t>(slot) == 0; break;
            default: break;
        }
    }
    *NullFlag(RecBuf, FieldNo) = empty ? 1 : 0;
}

// Writes a value in the field's own form into its record slot: strings cut to the slot, floats
// rounded to the field's scale unless NoRound, heap strings and variants replacing (and freeing)
// the old ones. A VarBytes length past the slot is refused: every later read would overrun.
void TData::PutFieldData(const TFieldDesc* Field, void* Dest, const void* Source, bool NoRound) {
    switch (Field->DataType) {
        case mdtString: {
            size_t max = Field->Size > 0 ? static_cast<size_t>(Field->Size - 1) : 0;
            auto* d = static_cast<char*>(Dest);
            size_t n = strnlen(static_cast<const char*>(Source), max);
            std::memcpy(d, Source, n);
            d[n] = 0;
            break;
        }
        case mdtFloat: {
            double v = Load<double>(Source);
            if (!NoRound && Field->Scale > 0 && std::isfinite(v))
                v = rtl::StrToFloat(rtl::FloatToStrF(v, rtl::ffFixed, 18, Field->Scale));
            Store<double>(Dest, v);
            break;
        }
        case mdtDate: PutDateToBuf(Dest, Field, dkDate, Source); break;
        case mdtTime: PutDateToBuf(Dest, Field, dkTime, Source); break;
        case mdtDateTime: PutDateToBuf(Dest, Field, dkMSecs, Source); break;
        case mdtVariant: {
            auto* obj = static_cast<TVariantObject*>(ReadPtr(Dest));
            if (!obj) {
                obj = CreateSharedObject<TVariantObject>();
                WritePtr(Dest, obj);
            }
            obj->Value = *static_cast<const Variant*>(Source);
            break;
        }
        case mdtExtString: {
            FStringHeap.DisposeBuf(ReadPtr(Dest));
            WritePtr(Dest, nullptr);
            WritePtr(Dest, FStringHeap.AllocStr(static_cast<const char*>(Source)));
            break;
        }
        case mdtExtWideString: {
            FStringHeap.DisposeBuf(ReadPtr(Dest));
            WritePtr(Dest, nullptr);
            WritePtr(Dest, FStringHeap.AllocWideStr(static_cast<const char16_t*>(Source)));
            break;
        }
        case mdtExtVarBytes: {
            FStringHeap.DisposeBuf(ReadPtr(Dest));
            WritePtr(Dest, nullptr);
            if (Source) {
                uint16_t len = Load<uint16_t>(Source);
                if (Field->Length > 0 && len > Field->Length) len = Field->Length;
                auto* buf = static_cast<uint8_t*>(FStringHeap.AllocBuf(len + 2));
                Store<uint16_t>(buf, len);
                if (len) std::memcpy(buf + 2, static_cast<const uint8_t*>(Source) + 2, len);
                WritePtr(Dest, buf);
            }
            break;
        }
        case mdtVarBytes:
            // Readers take as many bytes as the length word says: one beyond the slot would make
            // every later read run past the record.
            if (Load<uint16_t>(Source) > Field->Length || Field->Size < 2)
                rtl::AssertFail(SInvalidDataSize, MemDataUnit, __LINE__);
            std::memcpy(Dest, Source, static_cast<size_t>(Field->Size));
            break;
        case mdtUInt32: {
            uint64_t v = Load<uint64_t>(Source);
            if (v > std::numeric_limits<uint32_t>::max()) throw rtl::EConvertError(AnsiString(SCannotConvertType));
            Store<uint32_t>(Dest, static_cast<uint32_t>(v));
            break;
        }
        case mdtWideString: {
            size_t max = Field->Length;
            if (Field->Size > 0 && max > static_cast<size_t>(Field->Size / 2 - 1)) max = Field->Size / 2 - 1;
            auto* d = static_cast<char16_t*>(Dest);
            auto* s = static_cast<const char16_t*>(Source);
            size_t n = 0;
            while (n < max && s[n]) ++n;
            std::memcpy(d, s, n * 2);
            d[n] = 0;
            break;
        }
        default: std::memcpy(Dest, Source, static_cast<size_t>(Field->Size)); break;
    }
}

bool TData::GetNull(int FieldNo, const void* RecBuf) { return NullOf(FieldOf(FieldNo), FieldNo, RecBuf); }

bool TData::NullOf(const TFieldDesc* field, int FieldNo, const void* RecBuf) {
    if (field->HasParent()) return true;
    uint8_t* flag = NullFlag(RecBuf, FieldNo);
    bool isNull = *flag == 1;
    if (isNull && IsBlobFieldType(field->DataType) && IsRecordSlot(field)) {
        auto* blob = static_cast<TBlob*>(ReadPtr(Slot(RecBuf, field)));
        if (blob && !blob->IsEmpty()) {
            *flag = 0;
            isNull = false;
        }
    }
    return isNull;
}

void TData::SetNull(int FieldNo, void* RecBuf, bool Value) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (field->HasParent()) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    *NullFlag(RecBuf, FieldNo) = Value ? 1 : 0;
    if (Value && IsBlobFieldType(field->DataType) && IsRecordSlot(field)) {
        auto* blob = static_cast<TBlob*>(ReadPtr(Slot(RecBuf, field)));
        if (blob) blob->Clear();
    }
}

void TData::GetDateFromBuf(const void* Source, const TFieldDesc* /*Field*/, int Kind, void* Dest) {
    double dt = Load<double>(Source);
    switch (Kind) {
        case dkMSecs:
            Store<double>(Dest, static_cast<double>(rtl::TimeStampToMSecs(rtl::DateTimeToTimeStamp(dt))));
            break;
        case dkDateTime: Store<double>(Dest, dt); break;
        case dkTime: Store<int32_t>(Dest, rtl::DateTimeToTimeStamp(dt).Time); break;
        case dkDate: Store<int32_t>(Dest, rtl::DateTimeToTimeStamp(dt).Date); break;
        default: rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    }
}

void TData::PutDateToBuf(void* Dest, const TFieldDesc* /*Field*/, int Kind, const void* Source) {
    double dt = 0;
    switch (Kind) {
        case dkMSecs: {
            double ms = Load<double>(Source);
            if (!std::isfinite(ms) || std::fabs(ms) > 9.2e18) CannotConvert();
            dt = rtl::TimeStampToDateTime(rtl::MSecsToTimeStamp(std::llround(ms)));
            break;
        }
        case dkDateTime: dt = Load<double>(Source); break;
        case dkTime: {
            rtl::TTimeStamp ts;
            ts.Time = Load<int32_t>(Source);
            ts.Date = rtl::DateDelta;
            dt = rtl::TimeStampToDateTime(ts);
            break;
        }
        case dkDate: {
            rtl::TTimeStamp ts;
            ts.Date = Load<int32_t>(Source);
            ts.Time = 0;
            dt = rtl::TimeStampToDateTime(ts);
            break;
        }
        default: rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    }
    Store<double>(Dest, dt);
}

void TData::GetFieldValue(int FieldNo, const void* RecBuf, Variant& Value) {
    if (GetNull(FieldNo, RecBuf)) {
        Value = Variant::Null();
        return;
    }
    GetFieldAsVariant(FieldOf(FieldNo), RecBuf, Value);
}

Variant TData::GetFieldValue(int FieldNo, const void* RecBuf) {
    Variant v;
    GetFieldValue(FieldNo, RecBuf, v);
    return v;
}

// Contract: Field is one of this store's descriptors and RecBuf a record of its layout (or Source
// the slot to read instead). Value gets the slot's value in the field's variant type, Null for a
// child field read from the record; the null flag is not looked at here, callers check it first.
void TData::GetFieldAsVariant(const TFieldDesc* Field, const void* RecBuf, Variant& Value, const void* Source) {
    if (!Source) {
        if (Field->HasParent()) {
            Value = Variant::Null();
            return;
        }
        Source = Slot(RecBuf, Field);
    }
    switch (Field->DataType) {
        case mdtInt8: Value = Variant(Load<int8_t>(Source)); break;
        case mdtUInt8: Value = Variant(Load<uint8_t>(Source)); break;
        case mdtInt16: Value = Variant(Load<int16_t>(Source)); break;
        case mdtUInt16: Value = Variant(Load<uint16_t>(Source)); break;
        case mdtInt32: Value = Variant(Load<int32_t>(Source)); break;
        case mdtUInt32: Value = Variant(Load<uint32_t>(Source)); break;
        case mdtInt64: Value = Variant(Load<int64_t>(Source)); break;
        case mdtBoolean: Value = Variant(Load<uint16_t>(Source) != 0); break;
        case mdtFloat:
        case mdtCurrency: Value = Variant(Load<double>(Source)); break;
        case mdtBCD: Value = Variant(rtl::Currency::FromScaled(Load<int64_t>(Source))); break;
        // Dates go through their external form, which is what the stored TDateTime means to a
        // reader of the field: the day of a date, the time of day of a time.
        case mdtDate: {
            int32_t day;
            GetDateFromBuf(Source, Field, dkDate, &day);
            Value = Variant::FromDate(static_cast<double>(day - rtl::DateDelta));
            break;
        }
        case mdtTime: {
            int32_t ms;
            GetDateFromBuf(Source, Field, dkTime, &ms);
            Value = Variant::FromDate(static_cast<double>(ms) / static_cast<double>(rtl::MSecsPerDay));
            break;
        }
        case mdtDateTime: {
            double ms;
            GetDateFromBuf(Source, Field, dkMSecs, &ms);
            Value = Variant::FromDate(rtl::TimeStampToDateTime(rtl::MSecsToTimeStamp(std::llround(ms))));
            break;
        }
        case mdtString:
        case mdtGuid:
        case mdtExtString: {
            const char* s = Field->DataType == mdtExtString ? static_cast<const char*>(ReadPtr(Source))
                                                            : static_cast<const char*>(Source);
            AnsiString text;
            if (s)
                text.assign(
                    s, Field->DataType == mdtExtString ? std::strlen(s) : strnlen(s, static_cast<size_t>(Field->Size)));
            if (Field->DataType != mdtGuid && TrimFor(Field)) TrimControlTail(text);
            Value = Variant(std::move(text));
            break;
        }
        case mdtWideString:
        case mdtExtWideString: {
            WideString text;
            if (Field->DataType == mdtExtWideString) {
                auto* s = static_cast<const char16_t*>(ReadPtr(Source));
                if (s) text.assign(s, WideLen(s));
            } else {
                const auto* p = static_cast<const uint8_t*>(Source);
                size_t max = Field->Size > 0 ? static_cast<size_t>(Field->Size) / 2 : 0;
                for (size_t i = 0; i < max; ++i) {
                    char16_t c = Load<char16_t>(p + 2 * i);
                    if (!c) break;
                    text.push_back(c);
                }
            }
            if (TrimFor(Field)) TrimControlTail(text);
            Value = Variant(std::move(text));
            break;
        }
        case mdtMemo: {
            auto* blob = static_cast<TBlob*>(ReadPtr(Source));
            Value = Variant(blob ? blob->GetAsAnsiString() : AnsiString());
            break;
        }
        case mdtWideMemo: {
            auto* blob = static_cast<TBlob*>(ReadPtr(Source));
            Value = Variant(blob ? blob->GetAsWideString() : WideString());
            break;
        }
        case mdtVariant: {
            auto* obj = static_cast<TVariantObject*>(ReadPtr(Source));
            Value = obj ? obj->Value : Variant();
            break;
        }
        case mdtBytes: Value = Variant::FromBytes(static_cast<const uint8_t*>(Source), Field->Length); break;
        case mdtVarBytes: {
            // A length word that a provider left beyond the slot reads as the slot's bytes.
            const size_t room = Field->Size > 2 ? static_cast<size_t>(Field->Size - 2) : 0;
            const size_t len = std::min<size_t>(Load<uint16_t>(Source), room);
            Value = Variant::FromBytes(static_cast<const uint8_t*>(Source) + 2, len);
            break;
        }
        case mdtExtVarBytes: {
            auto* b = static_cast<const uint8_t*>(ReadPtr(Source));
            if (b)
                Value = Variant::FromBytes(b + 2, Load<uint16_t>(b));
            else
                Value = Variant::FromBytes(nullptr, 0);
            break;
        }
        case mdtFmtBCD: Value = Variant(Load<rtl::TBcd>(Source)); break;
        case mdtSQLTimeStamp: Value = Variant(Load<rtl::TSQLTimeStamp>(Source)); break;
        default: CannotConvert(Field->DataType);
    }
}

namespace {

// The integer slots: each refuses a value outside its own range rather than wrap it.
void PutInteger(const TFieldDesc* field, uint8_t* slot, const Variant& Value) {
    const rtl::TVarType vt = Value.VType();
    auto checkRange = [&](int64_t v, int64_t lo, int64_t hi, rtl::TVarType to) {
        if (v < lo || v > hi) RangeError(Value, to);
        return v;
    };
    switch (field->DataType) {
        case mdtInt8:
        case mdtUInt8: {
            int64_t v = Value.AsInt64();
            if (field->DataType == mdtInt8)
                checkRange(v, INT8_MIN, INT8_MAX, rtl::varShortInt);
            else
                checkRange(v, 0, UINT8_MAX, rtl::varByte);
            if (field->Size == 1)
                slot[0] = static_cast<uint8_t>(v);
            else if (field->Size == 2)
                Store<int16_t>(slot, static_cast<int16_t>(v));
            else
                rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
            break;
        }
        case mdtInt16:
        case mdtUInt16: {
            if (!IsIntegerVariant(vt)) CannotConvert();
            int64_t v = Value.AsInt64();
            if (field->DataType == mdtInt16)
                Store<int16_t>(slot, static_cast<int16_t>(checkRange(v, INT16_MIN, INT16_MAX, rtl::varSmallint)));
            else
                Store<uint16_t>(slot, static_cast<uint16_t>(checkRange(v, 0, UINT16_MAX, rtl::varWord)));
            break;
        }
        case mdtInt32: {
            int64_t v;
            if (IsIntegerVariant(vt)) {
                v = Value.AsInt64();
            } else if (vt == rtl::varSingle || vt == rtl::varDouble || vt == rtl::varCurrency) {
                double d = Value.AsDouble();
                if (!std::isfinite(d) || d < -2147483648.5 || d > 2147483647.5) RangeError(Value, rtl::varInteger);
                v = std::llrint(d);
            } else if (vt == rtl::varString || vt == rtl::varOleStr) {
                v = rtl::StrToInt(Value.AsAnsiString());
            } else {
                CannotConvert();
            }
            Store<int32_t>(slot, static_cast<int32_t>(checkRange(v, INT32_MIN, INT32_MAX, rtl::varInteger)));
            break;
        }
        case mdtInt64:
            if (vt != rtl::varInt64) CannotConvert();
            Store<int64_t>(slot, Value.AsInt64());
            break;
        case mdtUInt32:
            if (vt != rtl::varLongWord) CannotConvert();
            Store<uint32_t>(slot, static_cast<uint32_t>(Value.AsInt64()));
            break;
        default: CannotConvert();
    }
}

// Floats round to the field's scale unless the caller keeps the value as given.
void PutFloat(const TFieldDesc* field, uint8_t* slot, const Variant& Value, bool NoRound) {
    const rtl::TVarType vt = Value.VType();
    auto roundScale = [&](double v) {
        if (!NoRound && field->Scale > 0 && std::isfinite(v))
            v = rtl::StrToFloat(rtl::FloatToStrF(v, rtl::ffFixed, 18, field->Scale));
        return v;
    };
    double d;
    if (IsIntegerVariant(vt))
        d = static_cast<double>(Value.AsInt64());
    else if (vt == rtl::varSingle || vt == rtl::varDouble || vt == rtl::varCurrency)
        d = roundScale(Value.AsDouble());
    else if (vt == rtl::varString || vt == rtl::varOleStr)
        d = roundScale(rtl::StrToFloat(Value.AsAnsiString()));
    else
        CannotConvert();
    Store<double>(slot, d);
}

// Text kept in the record itself: cut at the slot's room and at an embedded terminator.
void PutInlineText(const TFieldDesc* field, uint8_t* slot, const Variant& Value) {
    if (field->DataType == mdtWideString) {
        WideString s = Value.AsWideString();
        size_t max = field->Size > 2 ? static_cast<size_t>(field->Size / 2 - 1) : 0;
        size_t n = std::min(WideLen(s.c_str()), max);
        std::memcpy(slot, s.data(), n * 2);
        Store<char16_t>(slot + n * 2, 0);
        return;
    }
    AnsiString s = Value.AsAnsiString();
    size_t max = field->Size > 0 ? static_cast<size_t>(field->Size - 1) : 0;
    size_t n = std::min(strnlen(s.c_str(), s.size()), max);
    std::memcpy(slot, s.data(), n);
    slot[n] = 0;
}

// Bytes kept in the record itself; a value of the wrong size is the caller's fault.
void PutInlineBytes(const TFieldDesc* field, uint8_t* slot, const Variant& Value) {
    if (!Value.IsByteArray()) rtl::AssertFail(SInvalidVType, MemDataUnit, __LINE__);
    const TBytes* b = Value.BytesData();
    if (field->DataType == mdtBytes) {
        if (!b || b->size() != field->Length) rtl::AssertFail(SInvalidDataSize, MemDataUnit, __LINE__);
        if (!b->empty()) std::memcpy(slot, b->data(), b->size());
        return;
    }
    size_t n = b ? b->size() : 0;
    if (n > field->Length) rtl::AssertFail(SInvalidDataSize, MemDataUnit, __LINE__);
    Store<uint16_t>(slot, static_cast<uint16_t>(n));
    if (n) std::memcpy(slot + 2, b->data(), n);
}

// Values kept on the string heap: the old buffer goes before the new one is made, and the slot
// never points at a freed buffer in between.
void PutHeapValue(TStringHeap& Heap, const TFieldDesc* field, uint8_t* slot, const Variant& Value) {
    switch (field->DataType) {
        case mdtExtString: {
            AnsiString s = Value.AsAnsiString();
            Heap.DisposeBuf(Load<void*>(slot));
            Store<const void*>(slot, nullptr);
            Store<const void*>(slot, Heap.AllocStr(s.c_str(), false, static_cast<int>(strnlen(s.c_str(), s.size()))));
            break;
        }
        case mdtExtWideString: {
            WideString s = Value.AsWideString();
            Heap.DisposeBuf(Load<void*>(slot));
            Store<const void*>(slot, nullptr);
            Store<const void*>(slot, Heap.AllocWideStr(s.c_str(), false, static_cast<int>(WideLen(s.c_str()))));
            break;
        }
        case mdtExtVarBytes: {
            if (!Value.IsByteArray()) rtl::AssertFail(SInvalidVType, MemDataUnit, __LINE__);
            const TBytes* b = Value.BytesData();
            size_t n = b ? b->size() : 0;
            if (n > UINT16_MAX || (field->Length > 0 && n > field->Length))
                rtl::AssertFail(SInvalidDataSize, MemDataUnit, __LINE__);
            Heap.DisposeBuf(Load<void*>(slot));
            Store<const void*>(slot, nullptr);
            auto* buf = static_cast<uint8_t*>(Heap.AllocBuf(static_cast<int>(n) + 2));
            Store<uint16_t>(buf, static_cast<uint16_t>(n));
            if (n) std::memcpy(buf + 2, b->data(), n);
            Store<const void*>(slot, buf);
            break;
        }
        default: CannotConvert();
    }
}

}  // namespace

// Writes Value into the field's place in the record: null or empty clears it; numbers, dates, texts
// and blobs are converted to the field's type (an inline text ends at the field's size or its first
// NUL). NoRound keeps a float's digits past the field's scale.
void TData::PutFieldAsVariant(int FieldNo, void* RecBuf, const Variant& Value, bool NoRound) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (Value.IsNull() || Value.IsEmpty()) {
        SetNull(FieldNo, RecBuf, true);
        return;
    }
    if (field->HasParent()) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    uint8_t* slot = Slot(RecBuf, field);
    const rtl::TVarType vt = Value.VType();
    switch (field->DataType) {
        case mdtString:
        case mdtGuid:
        case mdtWideString: PutInlineText(field, slot, Value); break;
        case mdtInt8:
        case mdtUInt8:
        case mdtInt16:
        case mdtUInt16:
        case mdtInt32:
        case mdtInt64:
        case mdtUInt32: PutInteger(field, slot, Value); break;
        case mdtFloat:
        case mdtCurrency: PutFloat(field, slot, Value, NoRound); break;
        case mdtDate:
        case mdtTime:
        case mdtDateTime: Store<double>(slot, Value.AsDouble()); break;
        case mdtBoolean:
            if (vt != rtl::varBoolean) CannotConvert();
            Store<uint16_t>(slot, Value.AsBoolean() ? 1 : 0);
            break;
        case mdtBlob:
        case mdtMemo:
            // Text held by the variant is written from where it is.
            if (vt == rtl::varString)
                GetBlob(FieldNo, RecBuf)->SetAsAnsiString(Value.StrRef());
            else
                GetBlob(FieldNo, RecBuf)->SetAsAnsiString(Value.AsAnsiString());
            break;
        case mdtWideMemo: GetBlob(FieldNo, RecBuf)->SetAsWideString(Value.AsWideString()); break;
        case mdtVariant: PutFieldData(field, slot, &Value); break;
        case mdtExtString:
        case mdtExtWideString:
        case mdtExtVarBytes: PutHeapValue(FStringHeap, field, slot, Value); break;
        case mdtBytes:
        case mdtVarBytes: PutInlineBytes(field, slot, Value); break;
        case mdtBCD: Store<int64_t>(slot, Value.AsCurrency().Value); break;
        case mdtFmtBCD: {
            rtl::TBcd bcd = rtl::StrToBcd(Value.AsAnsiString());
            std::memcpy(slot, &bcd, sizeof bcd);
            break;
        }
        case mdtSQLTimeStamp: {
            rtl::TSQLTimeStamp ts = Value.AsSQLTimeStamp();
            std::memcpy(slot, &ts, sizeof ts);
            break;
        }
        default: CannotConvert();
    }
    *NullFlag(RecBuf, FieldNo) = 0;
}

// ---------------------------------------------------------------------------------------------
// Record buffers and complex fields
// ---------------------------------------------------------------------------------------------

void* TData::AllocRecBuf() const {
    auto* p = new uint8_t[static_cast<size_t>(FRecordSize + FCalcRecordSize)];
    std::memset(p, 0, static_cast<size_t>(FRecordSize + FCalcRecordSize));
    return p;
}

void TData::FreeRecBuf(void* RecBuf) const { delete[] static_cast<uint8_t*>(RecBuf); }

void TData::InitRecord(void* RecBuf) {
    if (FHasComplexFields) std::memset(RecBuf, 0, static_cast<size_t>(FRecordSize));
    for (int i = 1; i <= FFields.Count(); ++i) *NullFlag(RecBuf, i) = 1;
}

void TData::CreateComplexField(void* RecBuf, int Index, bool WithBlob) {
    TFieldDesc* field = FFields[Index];
    if (!IsRecordSlot(field)) return;
    uint8_t* slot = Slot(RecBuf, field);
    TMemDataType t = field->DataType;
    if (IsBlobFieldType(t)) {
        if (WithBlob) {
            TBlob* blob = TCompressedBlob::CreateFilled(t == mdtWideMemo, nullptr, 0, FNewBlobPool);
            blob->EnableRollback();
            WritePtr(slot, blob);
        }
    } else if (t == mdtVariant) {
        WritePtr(slot, CreateSharedObject<TVariantObject>());
    } else if (t == mdtExtString || t == mdtExtVarBytes || t == mdtExtWideString) {
        WritePtr(slot, nullptr);
    }
}

void TData::CreateComplexFields(void* RecBuf, bool WithBlob) {
    for (const TComplexSlot& c : FComplexSlots) CreateComplexField(RecBuf, c.Index, WithBlob);
}

void TData::FreeComplexFields(void* RecBuf, bool WithBlob) {
    for (const TComplexSlot& c : FComplexSlots) {
        if (!c.RecordSlot) continue;
        const TFieldDesc* f = FFields[c.Index];
        TMemDataType t = f->DataType;
        uint8_t* slot = Slot(RecBuf, f);
        if ((c.Blob && WithBlob) || t == mdtVariant) {
            ExchangeSlotRef<TSharedObject>(slot, nullptr);
        } else if (t == mdtExtString || t == mdtExtVarBytes || t == mdtExtWideString) {
            // An emptied heap has already taken every buffer back.
            if (!FStringHeap.Empty()) {
                if (void* buf = ReadPtr(slot)) {
                    WritePtr(slot, nullptr);
                    FStringHeap.DisposeBuf(buf);
                }
            }
        }
    }
}

void TData::CopyComplexFields(const void* Source, void* Dest, bool WithBlob) {
    if (WithBlob) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    for (const auto& f : FFields) {
        if (!IsRecordSlot(f.get())) continue;
        const uint8_t* src = Slot(Source, f.get());
        uint8_t* dst = Slot(Dest, f.get());
        switch (f->DataType) {
            case mdtVariant: {
                auto* s = static_cast<TVariantObject*>(ReadPtr(src));
                auto* d = static_cast<TVariantObject*>(ReadPtr(dst));
                if (!d) {
                    d = CreateSharedObject<TVariantObject>();
                    WritePtr(dst, d);
                }
                d->Value = s ? s->Value : Variant();
                break;
            }
            case mdtExtString: {
                auto* s = static_cast<const char*>(ReadPtr(src));
                WritePtr(dst, s ? FStringHeap.AllocStr(s) : nullptr);
                break;
            }
            case mdtExtWideString: {
                auto* s = static_cast<const char16_t*>(ReadPtr(src));
                WritePtr(dst, s ? FStringHeap.AllocWideStr(s) : nullptr);
                break;
            }
            case mdtExtVarBytes: {
                auto* s = static_cast<const uint8_t*>(ReadPtr(src));
                if (!s) {
                    WritePtr(dst, nullptr);
                } else {
                    uint16_t len = Load<uint16_t>(s);
                    void* d = FStringHeap.AllocBuf(len + 2);
                    std::memcpy(d, s, static_cast<size_t>(len) + 2);
                    WritePtr(dst, d);
                }
                break;
            }
            default: break;
        }
    }
}

void TData::AddRefComplexFields(void* RecBuf) {
    for (const auto& f : FFields) {
        if (!IsRecordSlot(f.get())) continue;
        TMemDataType t = f->DataType;
        uint8_t* slot = Slot(RecBuf, f.get());
        if (IsBlobFieldType(t) || t == mdtVariant) {
            auto* obj = static_cast<TSharedObject*>(ReadPtr(slot));
            if (!obj)
                rtl::AssertFail(AnsiString(SSharedObjectFor) + rtl::WideToAnsi(f->Name) + SSharedObjectNil, MemDataUnit,
                                __LINE__);
            obj->AddRef();
        } else if (t == mdtExtString || t == mdtExtVarBytes || t == mdtExtWideString) {
            if (void* buf = ReadPtr(slot)) FStringHeap.AddRefStr(buf);
        }
    }
}

void TData::CancelRecord(void* RecBuf) {
    if (FHasBlobFields) {
        for (const auto& f : FFields)
            if (IsBlobFieldType(f->DataType) && IsRecordSlot(f.get()))
                if (auto* blob = static_cast<TBlob*>(ReadPtr(Slot(RecBuf, f.get())))) blob->Cancel();
    }
    FreeComplexFields(RecBuf, false);
}

void TData::GetCurrentRecord(void* RecBuf) { GetRecord(RecBuf); }

void TData::EditRecord(void* RecBuf) {
    std::unique_ptr<uint8_t[]> temp(static_cast<uint8_t*>(AllocRecBuf()));
    GetCurrentRecord(temp.get());
    CreateComplexFields(temp.get(), false);
    try {
        CopyComplexFields(RecBuf, temp.get(), false);
        PutRecord(temp.get());
    } catch (...) {
        FreeComplexFields(temp.get(), false);
        throw;
    }
}

void TData::PostRecord(void* RecBuf) {
    std::unique_ptr<uint8_t[]> old(static_cast<uint8_t*>(AllocRecBuf()));
    GetCurrentRecord(old.get());
    UpdateRecord(RecBuf);
    if (FHasBlobFields) {
        for (const auto& f : FFields)
            if (IsBlobFieldType(f->DataType) && IsRecordSlot(f.get()))
                if (auto* blob = static_cast<TBlob*>(ReadPtr(Slot(RecBuf, f.get())))) blob->Commit();
    }
    FreeComplexFields(old.get(), false);
}

bool TData::HasFilter() const { return FilterFunc || FFilterExpression || FilterMDFunc; }

void TData::SetCachedUpdates(bool Value) {
    if (FCachedUpdates == Value) return;
    if (!Value) CancelUpdates();
    FCachedUpdates = Value;
    if (Value) SetVisibleStatuses(StatusBit(isUnmodified) | StatusBit(isModified) | StatusBit(isInserted));
}

void TData::SetFilterText(const AnsiString& Value) {
    if (Value == FFilterText) return;
    if (FActive) ParseFilter(Value);
    FFilterText = Value;
}

// ---------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------

void TData::DoInsertRecordEvent(void* RecBuf) {
    if (InsertRecordEvent) InsertRecordEvent(RecBuf);
}
void TData::DoDeleteRecordEvent() {
    if (DeleteRecordEvent) DeleteRecordEvent();
}
void TData::DoUpdateRecordEvent(void* RecBuf) {
    if (UpdateRecordEvent) UpdateRecordEvent(RecBuf);
}
void TData::DoAfterRevertEvent() {
    if (AfterRevertEvent) AfterRevertEvent();
}
void TData::DoAfterApplyEvent() {
    if (AfterApplyEvent) AfterApplyEvent();
}
void TData::DoBeforeCancelUpdatesEvent() {
    if (BeforeCancelUpdatesEvent) BeforeCancelUpdatesEvent();
}
void TData::DoApplyRecordEvent(uint8_t UpdateKind, uint8_t& Action, bool LastItem) {
    if (ApplyRecordEvent) ApplyRecordEvent(UpdateKind, Action, LastItem);
}

void TData::BeginBusyWait() {
    if (BeginBusyWaitProc) BeginBusyWaitProc();
}
void TData::EndBusyWait() {
    if (EndBusyWaitProc) EndBusyWaitProc();
}
AnsiString TData::HostApplicationTitle() {
    return HostApplicationTitleProc ? HostApplicationTitleProc() : AnsiString();
}

// ---------------------------------------------------------------------------------------------
// Navigation and bookmarks of the base
// ---------------------------------------------------------------------------------------------

void TData::SetToBegin() {
    FBof = true;
    FEof = false;
}

void TData::SetToEnd() {
    FEof = true;
    FBof = false;
}

void TData::GetBookmark(TRecBookmark& Bookmark) { Bookmark.Order = GetRecordNo(); }

void TData::SetToBookmark(const TRecBookmark& Bookmark) {
    if (Bookmark.Order != -1) SetRecordNo(Bookmark.Order);
}

bool TData::BookmarkValid(const TRecBookmark* Bookmark) { return Bookmark && Bookmark->Order != -1; }

int TData::CompareBookmarks(const TRecBookmark* Bookmark1, const TRecBookmark* Bookmark2) {
    if (!Bookmark1 && !Bookmark2) return 0;
    if (!Bookmark1) return 1;
    if (!Bookmark2) return -1;
    if (Bookmark1->Order < Bookmark2->Order) return -1;
    return Bookmark1->Order > Bookmark2->Order ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Blobs
// ---------------------------------------------------------------------------------------------

TSharedObject* TData::GetSharedObject(int FieldNo, const void* RecBuf) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (!IsRecordSlot(field)) return nullptr;
    return static_cast<TSharedObject*>(ReadPtr(Slot(RecBuf, field)));
}

TBlob* TData::GetBlob(int FieldNo, const void* RecBuf) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (!IsBlobFieldType(field->DataType)) throw rtl::Exception(SFieldNotBlob);
    auto* blob = IsRecordSlot(field) ? static_cast<TBlob*>(ReadPtr(Slot(RecBuf, field))) : nullptr;
    if (!blob)
        rtl::AssertFail(AnsiString(SObjectForField) + rtl::WideToAnsi(field->Name) + "(" + std::to_string(FieldNo) +
                            SObjectForFieldNil,
                        MemDataUnit, __LINE__);
    return blob;
}

void TData::SetBlob(int FieldNo, void* RecBuf, TBlob* Blob) {
    TFieldDesc* field = FieldOf(FieldNo);
    if (!IsBlobFieldType(field->DataType)) throw rtl::Exception(SFieldNotBlob);
    WritePtr(Slot(RecBuf, field), Blob);
}

int64_t TData::ReadBlob(int FieldNo, const void* RecBuf, bool AsUnicode, bool FromRollback, void* Dest, int64_t Count,
                        int64_t Position) {
    TBlob* blob = GetBlob(FieldNo, RecBuf);
    TRollbackView view(blob, FromRollback);
    if (AsUnicode == blob->IsUnicode()) return blob->Read(Position, Count, Dest);
    if (AsUnicode) {
        // UTF-16 bytes of ANSI contents: one character per byte.
        int64_t size = blob->GetSize();
        int64_t pos = Position / 2;
        if (pos > size) return 0;
        int64_t cnt = Count == 0 ? size - pos : std::min<int64_t>(Count / 2, size - pos);
        AnsiString a(static_cast<size_t>(cnt), '\0');
        cnt = blob->Read(pos, cnt, a.data());
        a.resize(static_cast<size_t>(cnt));
        WideString w = rtl::AnsiToWide(a);
        std::memcpy(Dest, w.data(), w.size() * 2);
        return static_cast<int64_t>(w.size() * 2);
    }
    int64_t size = blob->GetSize();
    int64_t pos = Position * 2;
    if (pos > size) return 0;
    int64_t cnt = Count == 0 ? size - pos : std::min<int64_t>(Count * 2, size - pos);
    WideString w(static_cast<size_t>(cnt / 2), u'\0');
    cnt = blob->Read(pos, (cnt / 2) * 2, w.data());
    w.resize(static_cast<size_t>(cnt / 2));
    AnsiString a = rtl::WideToAnsi(w);
    std::memcpy(Dest, a.data(), a.size());
    return static_cast<int64_t>(a.size());
}

void TData::WriteBlob(int FieldNo, void* RecBuf, bool AsUnicode, const void* Source, int64_t Count, int64_t Position) {
    TBlob* blob = GetBlob(FieldNo, RecBuf);
    blob->EnableRollback();
    if (AsUnicode == blob->IsUnicode()) {
        blob->Write(Position, Count, Source);
    } else if (AsUnicode) {
        AnsiString a =
            rtl::WideToAnsi(std::u16string_view(static_cast<const char16_t*>(Source), static_cast<size_t>(Count / 2)));
        blob->Write(Position / 2, static_cast<int64_t>(a.size()), a.data());
    } else {
        WideString w = rtl::AnsiToWide(std::string_view(static_cast<const char*>(Source), static_cast<size_t>(Count)));
        blob->Write(Position * 2, static_cast<int64_t>(w.size() * 2), w.data());
    }
    *NullFlag(RecBuf, FieldNo) = 0;
}

void TData::TruncateBlob(int FieldNo, void* RecBuf, bool AsUnicode, int64_t Size) {
    TBlob* blob = GetBlob(FieldNo, RecBuf);
    blob->EnableRollback();
    int64_t own = Size;
    if (AsUnicode != blob->IsUnicode()) own = AsUnicode ? Size / 2 : Size * 2;
    blob->Truncate(own);
    if (Size == 0) *NullFlag(RecBuf, FieldNo) = 1;
}

int64_t TData::GetBlobSize(int FieldNo, const void* RecBuf, bool AsUnicode, bool FromRollback) {
    if (GetNull(FieldNo, RecBuf)) return 0;
    TBlob* blob = GetBlob(FieldNo, RecBuf);
    TRollbackView view(blob, FromRollback);
    if (AsUnicode == blob->IsUnicode()) return blob->GetSize();
    return AsUnicode ? blob->GetSizeAsUnicode() : blob->GetSizeAsAnsi();
}

void TData::SetBlobSize(int FieldNo, void* RecBuf, bool AsUnicode, bool FromRollback, int64_t Size) {
    TBlob* blob = GetBlob(FieldNo, RecBuf);
    TRollbackView view(blob, FromRollback);
    *NullFlag(RecBuf, FieldNo) = 0;
    if (AsUnicode == blob->IsUnicode()) {
        blob->SetSize(Size);
        return;
    }
    int64_t current = AsUnicode ? blob->GetSizeAsUnicode() : blob->GetSizeAsAnsi();
    int64_t own = blob->GetSize();
    if (Size > current)
        blob->SetSize(own + (AsUnicode ? (Size - current) / 2 : (Size - current) * 2));
    else
        blob->SetSize(AsUnicode ? Size / 2 : Size * 2);
}

}  // namespace store
