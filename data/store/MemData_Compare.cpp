// Comparison of a key value with a record's field under the value match options: the common
// ground of local sorting, Locate and Lookup and the local master/detail filter.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Internal.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using namespace internal;

namespace {

const void* LoadPtr(const void* p) noexcept { return Load<const void*>(p); }

template <class T>
int Cmp(T a, T b) noexcept {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int Sign(int r) noexcept { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

// Leading 16-bit length and the bytes after it.
std::string_view LengthPrefixed(const void* p) noexcept {
    if (!p) return {};
    const uint16_t n = Load<uint16_t>(p);
    return {static_cast<const char*>(p) + 2, n};
}

int CompareBytes(std::string_view Key, std::string_view Field, TValueMatchOptions Options) {
    const size_t k = Key.size(), n = Field.size();
    if (Options & voSubstring) {
        if (k > n) return 1;
        return Field.find(Key) != std::string_view::npos ? 0 : 1;
    }
    if (Options & voPartialKey) {
        if (n < k) return 1;
        return Sign(std::memcmp(Key.data(), Field.data(), k));
    }
    const int r = k && n ? std::memcmp(Key.data(), Field.data(), std::min(k, n)) : 0;
    if (r != 0) return Sign(r);
    return Cmp(k, n);
}

int CompareTimeStamps(const rtl::TSQLTimeStamp& a, const rtl::TSQLTimeStamp& b) noexcept {
    if (int r = Cmp(a.Year, b.Year)) return r;
    if (int r = Cmp(a.Month, b.Month)) return r;
    if (int r = Cmp(a.Day, b.Day)) return r;
    if (int r = Cmp(a.Hour, b.Hour)) return r;
    if (int r = Cmp(a.Minute, b.Minute)) return r;
    if (int r = Cmp(a.Second, b.Second)) return r;
    return Cmp(a.Fractions, b.Fractions);
}

bool IsNumericVarType(rtl::TVarType t) noexcept {
    switch (t) {
        case rtl::varSmallint:
        case rtl::varInteger:
        case rtl::varSingle:
        case rtl::varDouble:
        case rtl::varCurrency:
        case rtl::varDecimal:
        case rtl::varShortInt:
        case rtl::varByte:
        case rtl::varWord:
        case rtl::varLongWord:
        case rtl::varInt64:
        case rtl::varUInt64:
        case rtl::varFMTBcd: return true;
        default: return false;
    }
}

int RelToInt(rtl::TVariantRelationship r) noexcept {
    return r == rtl::vrLessThan ? -1 : (r == rtl::vrGreaterThan ? 1 : (r == rtl::vrEqual ? 0 : 1));
}

[[noreturn]] void CannotConvert() { throw rtl::EConvertError(SCannotConvertType); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text comparisons
// ---------------------------------------------------------------------------------------------

int TMemData::CompareAnsiPChar(const char* S1, const char* S2, TValueMatchOptions Options) {
    return CompareAnsiStr(S1 ? std::string_view(S1) : std::string_view(),
                          S2 ? std::string_view(S2) : std::string_view(), Options);
}

int TMemData::CompareAnsiStr(std::string_view S1, std::string_view S2, TValueMatchOptions Options) {
    if (Options & voBinary) return Sign(S1.compare(S2));
    return Options & voCaseInsensitive ? rtl::AnsiCompareText(S1, S2) : rtl::AnsiCompareStr(S1, S2);
}

int TMemData::CompareWideStr(std::u16string_view S1, std::u16string_view S2, TValueMatchOptions Options) {
    if (Options & voBinary) return Sign(S1.compare(S2));
    return Options & voCaseInsensitive ? rtl::WideCompareText(S1, S2) : rtl::WideCompareStr(S1, S2);
}

int TMemData::CompareWidePrefix(std::u16string_view Key, std::u16string_view Value, TValueMatchOptions Options) {
    return CompareWideStr(Key, Value.substr(0, Key.size()), Options);
}

int TMemData::MatchAnsiStr(std::string_view Key, std::string_view Value, TValueMatchOptions Options) {
    if (Options & voSubstring) {
        if (Options & voCaseInsensitive)
            return rtl::AnsiUpperCase(Value).find(rtl::AnsiUpperCase(Key)) != AnsiString::npos ? 0 : 1;
        return Value.find(Key) != std::string_view::npos ? 0 : 1;
    }
    if (Options & voPartialKey) {
        const size_t n = Key.empty() ? Value.size() : Key.size();
        if (Value.size() < n) return 1;
        return CompareAnsiStr(Key, Value.substr(0, n), Options);
    }
    return CompareAnsiStr(Key, Value, Options);
}

int TMemData::MatchWideStr(std::u16string_view Key, std::u16string_view Value, TValueMatchOptions Options) {
    if (Options & voSubstring) {
        if (Options & voCaseInsensitive)
            return rtl::WideUpperCase(Value).find(rtl::WideUpperCase(Key)) != WideString::npos ? 0 : 1;
        return Value.find(Key) != std::u16string_view::npos ? 0 : 1;
    }
    if (Options & voPartialKey) {
        if (Value.size() < Key.size()) return 1;
        return CompareWidePrefix(Key, Value, Options);
    }
    return CompareWideStr(Key, Value, Options);
}

// The choice is checked against the comparison itself once; a character that fails the check is
// left to it.
TPlainTextChars::TPlainTextChars() {
    std::vector<uint8_t> chars;
    for (int c = '0'; c <= '9'; ++c) chars.push_back(static_cast<uint8_t>(c));
    for (int c = 'A'; c <= 'Z'; ++c) chars.push_back(static_cast<uint8_t>(c));
    for (int c = 'a'; c <= 'z'; ++c) chars.push_back(static_cast<uint8_t>(c));
    chars.push_back(' ');
    // Cyrillic letters, less the short i, which is a letter plus a combining breve.
    for (int c = 0xC0; c <= 0xFF; ++c)
        if (c != 0xC9 && c != 0xE9) chars.push_back(static_cast<uint8_t>(c));
    for (uint8_t c : chars) {
        Plain[c] = true;
        Fold[c] = static_cast<uint8_t>(rtl::AnsiUpperChar(static_cast<char>(c)));
    }
    auto text = [](uint8_t c) { return std::string(1, static_cast<char>(c)); };
    for (size_t i = 0; i < chars.size(); ++i) {
        const uint8_t a = chars[i];
        if (rtl::AnsiCompareStr(text(a), "") == 0) Plain[a] = false;
        for (size_t j = i + 1; j < chars.size(); ++j) {
            const uint8_t b = chars[j];
            const bool sameCase = rtl::AnsiCompareStr(text(a), text(b)) == 0;
            const bool sameText = rtl::AnsiCompareText(text(a), text(b)) == 0;
            if (sameCase || sameText != (Fold[a] == Fold[b])) Plain[a] = Plain[b] = false;
        }
    }
}

const TPlainTextChars& TMemData::PlainTextChars() {
    static const TPlainTextChars chars;
    return chars;
}

int TMemData::QuickTextEquality(std::string_view Key, const char* Value, size_t MaxLen, bool CaseInsensitive) {
    const TPlainTextChars& t = PlainTextChars();
    auto u = [](char c) { return static_cast<uint8_t>(c); };
    // Value[i] is read only while i < MaxLen and no zero byte came before; the key has none.
    const size_t n = std::min(Key.size(), MaxLen);
    size_t i = 0;
    if (CaseInsensitive) {
        while (i < n && (Key[i] == Value[i] ||
                         (t.Plain[u(Key[i])] && t.Plain[u(Value[i])] && t.Fold[u(Key[i])] == t.Fold[u(Value[i])])))
            ++i;
    } else {
        while (i < n && Key[i] == Value[i]) ++i;
    }
    const bool keyEnd = i == Key.size();
    const bool valueEnd = i == MaxLen || Value[i] == 0;
    if (keyEnd && valueEnd) return 1;
    // After a plain character (or at the start), a plain character against another one or
    // against the end parts the texts for good.
    if (i > 0 && !t.Plain[u(Key[i - 1])]) return -1;
    const bool keyPlain = keyEnd || t.Plain[u(Key[i])];
    const bool valuePlain = valueEnd || t.Plain[u(Value[i])];
    return keyPlain && valuePlain ? 0 : -1;
}

// ---------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------

const void* TData::GetMatchValue(const void* RecBuf, const TFieldDesc* Field, bool& IsNull, TMemDataType& ValueType,
                                 std::vector<uint8_t>& Scratch) {
    IsNull = GetNull(Field->FieldNo, RecBuf);
    ValueType = Field->DataType;
    if (IsNull) return nullptr;
    const uint8_t* slot = Slot(RecBuf, Field);
    auto keep = [&Scratch](const void* p, size_t n) -> const void* {
        Scratch.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        Scratch.push_back(0);
        Scratch.push_back(0);
        return Scratch.data();
    };
    switch (Field->DataType) {
        case mdtExtString: {
            ValueType = mdtString;
            const char* s = static_cast<const char*>(LoadPtr(slot));
            return keep(s ? s : "", s ? std::strlen(s) : 0);
        }
        case mdtExtWideString: {
            ValueType = mdtWideString;
            WideString s = WideFromPtr(LoadPtr(slot));
            return keep(s.data(), s.size() * 2);
        }
        case mdtBytes: {
            Scratch.resize(2 + Field->Length);
            const uint16_t n = Field->Length;
            std::memcpy(Scratch.data(), &n, 2);
            if (n) std::memcpy(Scratch.data() + 2, slot, n);
            return Scratch.data();
        }
        case mdtExtVarBytes: {
            std::string_view b = LengthPrefixed(LoadPtr(slot));
            const uint16_t n = static_cast<uint16_t>(b.size());
            Scratch.resize(2 + b.size());
            std::memcpy(Scratch.data(), &n, 2);
            if (n) std::memcpy(Scratch.data() + 2, b.data(), n);
            return Scratch.data();
        }
        case mdtBCD: {
            const double d = static_cast<double>(Load<int64_t>(slot)) / 10000.0;
            return keep(&d, sizeof d);
        }
        case mdtVariant: {
            // The key of a variant field is the variant itself.
            auto* obj = static_cast<const TVariantObject*>(LoadPtr(slot));
            if (!obj) {
                IsNull = true;
                return nullptr;
            }
            return &obj->Value;
        }
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: {
            ValueType = mdtString;
            AnsiString text;
            if (LoadPtr(slot)) text = GetBlob(Field->FieldNo, RecBuf)->GetAsAnsiString();
            return keep(text.data(), text.size());
        }
        default: return slot;
    }
}

// ---------------------------------------------------------------------------------------------
// Key against field
// ---------------------------------------------------------------------------------------------

namespace {

// The text form of a field for comparisons in ANSI; sets AlwaysCI for the types compared without
// regard to case.
AnsiString AnsiFieldText(TData& Data, const void* RecBuf, const TFieldDesc* Field, bool Trim, bool& AlwaysCI) {
    const uint8_t* slot = static_cast<const uint8_t*>(RecBuf) + Field->Offset;
    AlwaysCI = false;
    AnsiString s;
    switch (Field->DataType) {
        case mdtString:
            s.assign(reinterpret_cast<const char*>(slot),
                     strnlen(reinterpret_cast<const char*>(slot), static_cast<size_t>(Field->Size)));
            if (Trim) TrimControlTail(s);
            return s;
        case mdtWideString:
            s = rtl::WideToAnsi(WideFromPtr(slot, Field->Length));
            if (Trim) TrimControlTail(s);
            return s;
        case mdtExtString: {
            const char* p = static_cast<const char*>(LoadPtr(slot));
            return p ? AnsiString(p) : AnsiString();
        }
        case mdtExtWideString: return rtl::WideToAnsi(WideFromPtr(LoadPtr(slot)));
        case mdtInt8: return rtl::IntToStr(static_cast<int32_t>(Load<int8_t>(slot)));
        case mdtInt16: return rtl::IntToStr(static_cast<int32_t>(Load<int16_t>(slot)));
        case mdtInt32: return rtl::IntToStr(Load<int32_t>(slot));
        case mdtInt64: return rtl::IntToStr(Load<int64_t>(slot));
        case mdtUInt8: return rtl::IntToStr(static_cast<int32_t>(Load<uint8_t>(slot)));
        case mdtUInt16: return rtl::IntToStr(static_cast<int32_t>(Load<uint16_t>(slot)));
        case mdtUInt32: return rtl::UIntToStr(Load<uint32_t>(slot));
        case mdtFloat:
        case mdtCurrency: return rtl::FloatToStr(Load<double>(slot));
        case mdtDate: return rtl::DateToStr(Load<double>(slot));
        case mdtTime: return rtl::TimeToStr(Load<double>(slot));
        case mdtDateTime: return rtl::DateTimeToStr(Load<double>(slot));
        case mdtVariant: {
            auto* obj = static_cast<const TVariantObject*>(LoadPtr(slot));
            return obj ? rtl::VarToStr(obj->Value) : AnsiString();
        }
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: return LoadPtr(slot) ? Data.GetBlob(Field->FieldNo, RecBuf)->GetAsAnsiString() : AnsiString();
        case mdtBCD: AlwaysCI = true; return rtl::CurrToStr(rtl::Currency::FromScaled(Load<int64_t>(slot)));
        case mdtFmtBCD: AlwaysCI = true; return rtl::BcdToStr(Load<rtl::TBcd>(slot));
        case mdtGuid:
            AlwaysCI = true;
            return AnsiString(reinterpret_cast<const char*>(slot),
                              strnlen(reinterpret_cast<const char*>(slot), static_cast<size_t>(Field->Size)));
        default: CannotConvert();
    }
}

WideString WideFieldText(TData& Data, const void* RecBuf, const TFieldDesc* Field, bool Trim, bool& AlwaysCI) {
    const uint8_t* slot = static_cast<const uint8_t*>(RecBuf) + Field->Offset;
    AlwaysCI = false;
    WideString s;
    switch (Field->DataType) {
        case mdtWideString:
            s = WideFromPtr(slot, Field->Length);
            if (Trim) TrimControlTail(s);
            return s;
        case mdtString:
            s = rtl::AnsiToWide(
                std::string_view(reinterpret_cast<const char*>(slot),
                                 strnlen(reinterpret_cast<const char*>(slot), static_cast<size_t>(Field->Size))));
            if (Trim) TrimControlTail(s);
            return s;
        case mdtExtWideString: return WideFromPtr(LoadPtr(slot));
        case mdtBCD:
            AlwaysCI = true;
            return rtl::AnsiToWide(rtl::CurrToStr(rtl::Currency::FromScaled(Load<int64_t>(slot))));
        case mdtWideMemo: return LoadPtr(slot) ? Data.GetBlob(Field->FieldNo, RecBuf)->GetAsWideString() : WideString();
        case mdtBoolean:
        case mdtBytes:
        case mdtVarBytes:
        case mdtExtVarBytes:
        case mdtFmtBCD:
        case mdtGuid: CannotConvert();
        default: {
            bool ci;
            return rtl::AnsiToWide(AnsiFieldText(Data, RecBuf, Field, Trim, ci));
        }
    }
}

}  // namespace

int TMemData::CompareFieldValue(const void* Value, TMemDataType ValueType, TValueMatchOptions Options,
                                const void* RecBuf, const TFieldDesc* FieldDesc) {
    const uint8_t* slot = Slot(RecBuf, FieldDesc);
    switch (ValueType) {
        case mdtString:
        case mdtGuid: {
            const TMemDataType ft = FieldDesc->DataType;
            const bool trim = TrimFor(FieldDesc);
            const bool partial = (Options & (voPartialKey | voSubstring)) != 0;
            const char* key = static_cast<const char*>(Value);
            if (!partial && ft == mdtString && !trim)
                return CompareAnsiPChar(key, reinterpret_cast<const char*>(slot), Options);
            if (!partial && ft == mdtExtString) {
                const char* p = static_cast<const char*>(LoadPtr(slot));
                return CompareAnsiPChar(key, p ? p : "", Options);
            }
            bool alwaysCI;
            AnsiString text = AnsiFieldText(*this, RecBuf, FieldDesc, trim, alwaysCI);
            if (alwaysCI) return MatchAnsiStr(key, text, Options | voCaseInsensitive);
            AnsiString k(key ? key : "");
            if ((ft == mdtString || ft == mdtWideString) && trim) TrimControlTail(k);
            return MatchAnsiStr(k, text, Options);
        }
        case mdtWideString: {
            const TMemDataType ft = FieldDesc->DataType;
            const bool trim = TrimFor(FieldDesc);
            bool alwaysCI;
            WideString text = WideFieldText(*this, RecBuf, FieldDesc, trim, alwaysCI);
            WideString k = WideFromPtr(Value);
            if (alwaysCI) return MatchWideStr(k, text, Options | voCaseInsensitive);
            if ((ft == mdtString || ft == mdtWideString) && trim) TrimControlTail(k);
            return MatchWideStr(k, text, Options);
        }
        case mdtInt8: return Cmp(Load<int8_t>(Value), Load<int8_t>(slot));
        case mdtInt16: return Cmp(Load<int16_t>(Value), Load<int16_t>(slot));
        case mdtInt32: return Cmp(Load<int32_t>(Value), Load<int32_t>(slot));
        case mdtInt64: return Cmp(Load<int64_t>(Value), Load<int64_t>(slot));
        case mdtUInt16: return Cmp(Load<uint16_t>(Value), Load<uint16_t>(slot));
        case mdtUInt32: return Cmp(Load<uint32_t>(Value), Load<uint32_t>(slot));
        case mdtUInt8: return Cmp(Load<uint8_t>(Value), Load<uint8_t>(slot));
        case mdtFloat:
        case mdtCurrency:
        case mdtDate:
        case mdtTime:
        case mdtDateTime: return Cmp(Load<double>(Value), Load<double>(slot));
        case mdtBoolean: return Cmp(Load<uint8_t>(Value) != 0, Load<uint8_t>(slot) != 0);
        case mdtBytes:
            return CompareBytes(LengthPrefixed(Value),
                                std::string_view(reinterpret_cast<const char*>(slot), FieldDesc->Length), Options);
        case mdtVarBytes: return CompareBytes(LengthPrefixed(Value), LengthPrefixed(slot), Options);
        case mdtExtVarBytes: return CompareBytes(LengthPrefixed(Value), LengthPrefixed(LoadPtr(slot)), Options);
        case mdtBCD: {
            const double scaled = Load<double>(Value) * 10000.0;
            // A key beyond the currency range has no integer form: it lies beyond every stored value.
            if (!(std::fabs(scaled) < 9.2e18)) return scaled > 0 ? 1 : -1;
            return Cmp(std::llround(scaled), static_cast<long long>(Load<int64_t>(slot)));
        }
        case mdtFmtBCD:
            // Adding the same amount to both would not change their order.
            return Sign(rtl::BcdCompare(Load<rtl::TBcd>(Value), Load<rtl::TBcd>(slot)));
        case mdtSQLTimeStamp: return CompareTimeStamps(Load<rtl::TSQLTimeStamp>(Value), Load<rtl::TSQLTimeStamp>(slot));
        case mdtVariant: {
            const rtl::Variant& key = *static_cast<const rtl::Variant*>(Value);
            auto* obj = static_cast<const TVariantObject*>(LoadPtr(slot));
            const rtl::Variant field = obj ? obj->Value : rtl::Variant::Null();
            if (key.IsByteArray() || field.IsByteArray()) {
                if (field.IsNull()) return 1;
                if (key.IsNull()) return -1;
                if (key.VType() != field.VType()) return Cmp(key.VType(), field.VType());
                const rtl::TBytes& a = *key.BytesData();
                const rtl::TBytes& b = *field.BytesData();
                if (a.size() != b.size()) return Cmp(a.size(), b.size());
                return a.empty() ? 0 : Sign(std::memcmp(a.data(), b.data(), a.size()));
            }
            if (key.VType() == field.VType() || (IsNumericVarType(key.VType()) && IsNumericVarType(field.VType())))
                return RelToInt(rtl::VarCompareValue(key, field));
            if (!rtl::VarIsStr(key) && !rtl::VarIsStr(field)) return Cmp(key.VType(), field.VType());
            return MatchAnsiStr(key.IsNull() ? AnsiString() : rtl::VarToStr(key),
                                field.IsNull() ? AnsiString() : rtl::VarToStr(field), Options);
        }
        default: rtl::AssertFail(SUnknownValueType + std::to_string(ValueType), MemDataUnit, __LINE__);
    }
}

int TMemData::CompareRecordField(const void* RecBuf1, const void* RecBuf2, TValueMatchOptions Options,
                                 const TFieldDesc* FieldDesc) {
    const bool null1 = GetNull(FieldDesc->FieldNo, RecBuf1);
    const bool null2 = GetNull(FieldDesc->FieldNo, RecBuf2);
    if (null1 && null2) return 0;
    if (null1) return Options & voNullsLast ? 1 : -1;
    if (null2) return Options & voNullsLast ? -1 : 1;
    bool isNull;
    TMemDataType valueType;
    std::vector<uint8_t> scratch;
    const void* key = GetMatchValue(RecBuf1, FieldDesc, isNull, valueType, scratch);
    if (isNull) return Options & voNullsLast ? 1 : -1;
    return CompareFieldValue(key, valueType, Options, RecBuf2, FieldDesc);
}

int TMemData::CompareBySortColumn(const void* RecBuf1, const void* RecBuf2, const TSortColumn& Column) {
    TValueMatchOptions options = 0;
    if (Column.SortType == stCaseInsensitive)
        options = voCaseInsensitive;
    else if (Column.SortType == stBinary)
        options = voBinary;
    return CompareRecordField(RecBuf1, RecBuf2, options, Column.FieldDesc);
}

}  // namespace store
