#include <cmath>
#include <cstring>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace daccess;
using namespace store;

namespace {

void Store16(void* p, int16_t v) { std::memcpy(p, &v, sizeof v); }
void Store32(void* p, int32_t v) { std::memcpy(p, &v, sizeof v); }
void Store64(void* p, int64_t v) { std::memcpy(p, &v, sizeof v); }
void StoreDouble(void* p, double v) { std::memcpy(p, &v, sizeof v); }
void StorePtr(void* p, const void* v) { std::memcpy(p, &v, sizeof v); }

bool Is(const AnsiString& s, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (s == n) return true;
    return false;
}

bool StartsWith(const AnsiString& s, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (s.compare(0, std::strlen(n), n) == 0) return true;
    return false;
}

}  // namespace

namespace {
constexpr int FetchAllBlockRows = 256;

// Blob types whose object the reader makes together with the value it reads.
bool IsReadBlob(TMemDataType DataType) { return DataType == mdtBlob || DataType == mdtMemo || DataType == mdtWideMemo; }
}  // namespace

TSQLiteRecordSet::TSQLiteRecordSet() {
    FFetchAll = false;
    FFetchRows = 25;
}

void TSQLiteRecordSet::CreateCommand() { SetCommand(rtl::Create<TSQLiteCommand>()); }

void TSQLiteRecordSet::SetCommand(TCRCommand* Value) {
    TCRRecordSet::SetCommand(Value);
    FLiteCommand = static_cast<TSQLiteCommand*>(Value);
}

void TSQLiteRecordSet::DoPrepare() {
    FLiteCommand->Prepare();
    TSQLite3API* api = FLiteCommand->LiteConnection()->API();
    FCommandType = FLiteCommand->Stmt() && api->sqlite3_column_count(FLiteCommand->Stmt()) > 0 ? ctCursor : ctStatement;
}

void TSQLiteRecordSet::DoUnprepare() {
    FLiteCommand->Unprepare();
    FCommandType = ctUnknown;
}

void TSQLiteRecordSet::ExecCommand() {
    FLiteCommand->UpdateDateFormats();
    FLiteCommand->SetOpening(true);
    bool preparedHere = false;
    bool executed = false;
    rtl::TryFinally(
        [&] {
            if (!FPrepared) {
                DoPrepare();
                preparedHere = true;
            }
            TCRRecordSet::ExecCommand();
            if (FCommandType == ctCursor)
                FLiteCommand->SetCursorState(FLiteCommand->LastStepResult() == SQLITE_DONE ? csFetched : csExecuting);
            else if (preparedHere)
                FLiteCommand->Unprepare();
            executed = true;
        },
        [&] {
            FLiteCommand->SetOpening(false);
            // A statement prepared for a command that failed goes with it.
            if (preparedHere && !executed) FLiteCommand->Unprepare();
        });
    if (FLiteCommand->AfterExecute) FLiteCommand->AfterExecute();
}

void TSQLiteRecordSet::DoInitFields() {
    const bool prepareHere = !FLiteCommand->GetPrepared();
    if (prepareHere) DoPrepare();
    bool described = false;
    rtl::TryFinally(
        [&] {
            if (FCommandType != ctCursor) throw rtl::Exception(SNotRows);
            TSQLiteConnection* conn = FLiteCommand->LiteConnection();
            TSQLite3API* api = conn->API();
            if (!api->HasColumnMetadata()) {
                TablesInfo()->Clear();
                FLiteCommand->SQLInfo()->ParseTablesInfo(FLiteCommand->SQL(), TablesInfo());
            }
            int count = api->sqlite3_column_count(FLiteCommand->Stmt());
            for (int i = 0; i < count; ++i) {
                std::unique_ptr<TFieldDesc> fd = CreateFieldDesc();
                DescribeField(static_cast<TCRFieldDesc*>(fd.get()), i);
                FFields.Add(std::move(fd));
            }
            described = true;
        },
        [&] {
            if (!prepareHere) return;
            // Described fields keep the command's kind for the open that follows.
            const uint8_t kind = FCommandType;
            FLiteCommand->Unprepare();
            if (described) FCommandType = kind;
        });
}

// ---------------------------------------------------------------------------------------------
// Describing the fields

void TSQLiteRecordSet::DescribeField(TCRFieldDesc* Field, int Col) {
    Field->FieldNo = static_cast<uint16_t>(Col + 1);
    Field->ColumnNo = static_cast<int16_t>(Col + 1);
    const WideString actual = DescribeOrigin(Field, Col);
    TMemDataType dt = mdtWideMemo;
    int32_t length = 0;
    int32_t scale = 0;
    if (!FDumpData) {
        TSQLiteConnection* conn = FLiteCommand->LiteConnection();
        const char* declRaw = conn->API()->sqlite3_column_decltype(FLiteCommand->Stmt(), Col);
        const AnsiString decl =
            declRaw ? rtl::AnsiUpperCase(rtl::WideToAnsi(conn->DecodeToWide(declRaw, std::strlen(declRaw))))
                    : AnsiString();
        if (!decl.empty()) {
            dt = TypeOfDeclared(Field, decl, length, scale);
        } else if (!actual.empty()) {
            dt = mdtString;
            Field->DBType = liteUnknown;
        } else {
            dt = TypeOfValue(Field, Col, length, scale);
        }
        dt = AdjustedType(dt, length);
    }
    SetStorage(Field, dt, length, scale);
}

WideString TSQLiteRecordSet::DescribeOrigin(TCRFieldDesc* Field, int Col) {
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    auto decode = [&](const char* s) { return s ? conn->DecodeToWide(s, std::strlen(s)) : WideString(); };

    Field->Name = decode(api->sqlite3_column_name(stmt, Col));
    WideString actual;
    if (api->HasColumnMetadata()) {
        actual = decode(api->sqlite3_column_origin_name(stmt, Col));
        const char* tableRaw = api->sqlite3_column_table_name(stmt, Col);
        if (tableRaw && *tableRaw) {
            AnsiString table = rtl::WideToAnsi(decode(tableRaw));
            AnsiString quoted = FLiteCommand->SQLInfo()->QuoteIfNeeded(table);
            TCRTableInfo* info = TablesInfo()->FindByName(quoted);
            if (!info) {
                info = TablesInfo()->Add();
                info->SetTableName(quoted);
                const char* dbRaw = api->sqlite3_column_database_name(stmt, Col);
                if (dbRaw && *dbRaw)
                    info->SetTableNameFull(rtl::WideToAnsi(decode(dbRaw)) + "." + quoted);
                else
                    info->SetTableNameFull(quoted);
            }
            Field->TableInfo = info;
        }
    } else {
        actual = Field->Name;
    }
    Field->ColumnName = actual;
    return actual;
}

TMemDataType TSQLiteRecordSet::TypeOfDeclared(TCRFieldDesc* Field, const AnsiString& Declared, int32_t& Length,
                                              int32_t& Scale) {
    AnsiString name = Declared;
    Field->DBType = TLiteConverterManager::ParseDeclaredType(name, Length, Scale);
    Field->DBLength = Length;
    Field->DBScale = Scale;
    if (TFetchConverter* conv = GetFieldConverter(rtl::WideToAnsi(Field->Name), Field->DBType, Length, Scale))
        return conv->InternalDataType;
    if (Is(name, {"INT2", "SMALLINT", "SMALL INT", "TINYINT", "TINY INT"})) return mdtInt16;
    if (Is(name, {"BIGINT", "BIG INT", "UNSIGNED BIG INT", "UNSIGNED BIGINT", "INT8", "INT64"})) return mdtInt64;
    if (Is(name, {"INT", "INTEGER", "MEDIUMINT", "MEDIUM INT"}) || name.find("INT") != AnsiString::npos)
        return mdtInt32;
    if (name.find("CHAR") != AnsiString::npos) return mdtString;
    if (StartsWith(name, {"TEXT", "CLOB"})) return mdtMemo;
    if (StartsWith(name, {"BLOB"})) return mdtBlob;
    if (StartsWith(name, {"REAL", "FLOAT", "DOUBLE"})) return mdtFloat;
    if (Is(name, {"NUMERIC", "DECIMAL", "NUMBER"})) {
        TSQLiteConnection* conn = FLiteCommand->LiteConnection();
        if (FLiteCommand->EnableFMTBCD() || conn->EnableFMTBCD()) return mdtFmtBCD;
        if (FLiteCommand->EnableBCD() || conn->EnableBCD()) return mdtBCD;
        return mdtFloat;
    }
    if (name == "MONEY") return mdtCurrency;
    if (StartsWith(name, {"BOOL"})) return mdtBoolean;
    if (Is(name, {"BINARY", "VARBINARY"})) return mdtVarBytes;
    if (name == "DATE") return mdtDate;
    if (name == "TIME") return mdtTime;
    if (Is(name, {"DATETIME", "TIMESTAMP"})) return mdtDateTime;
    return mdtString;
}

// An expression: the storage class of the value on the current row (none reads as NULL).
TMemDataType TSQLiteRecordSet::TypeOfValue(TCRFieldDesc* Field, int Col, int32_t& Length, int32_t& Scale) {
    const int sc = FLiteCommand->LiteConnection()->API()->sqlite3_column_type(FLiteCommand->Stmt(), Col);
    Field->DBType = TLiteConverterManager::TypeOfStorageClass(sc, Length, Scale);
    if (TFetchConverter* conv = GetFieldConverter(rtl::WideToAnsi(Field->Name), Field->DBType, Length, Scale))
        return conv->InternalDataType;
    switch (sc) {
        case SQLITE_INTEGER: return mdtInt64;
        case SQLITE_FLOAT: return mdtFloat;
        case SQLITE_TEXT:
        case SQLITE_NULL: return mdtString;
        case SQLITE_BLOB: return mdtBlob;
        default: rtl::AssertFail(SAssertionFailure, LiteClassesUnit, 2237);
    }
}

TMemDataType TSQLiteRecordSet::AdjustedType(TMemDataType DataType, int32_t Length) const {
    TMemDataType dt = DataType;
    if (dt == mdtString && Length >= 255 && !FLongStrings) dt = mdtMemo;
    if (dt == mdtVarBytes && Length < 1) dt = mdtBlob;
    if (FLiteCommand->LiteConnection()->UseUnicode()) {
        if (dt == mdtString)
            dt = mdtWideString;
        else if (dt == mdtMemo)
            dt = mdtWideMemo;
    }
    return dt;
}

int TSQLiteRecordSet::SlotSize(TMemDataType DataType, int32_t Length) {
    switch (DataType) {
        case mdtString: return Length + 1;
        case mdtInt16:
        case mdtBoolean: return 2;
        case mdtInt32: return 4;
        case mdtFloat:
        case mdtDate:
        case mdtTime:
        case mdtDateTime:
        case mdtInt64:
        case mdtCurrency:
        case mdtBCD: return 8;
        case mdtVarBytes: return Length + 2;
        case mdtWideString: return 2 * (Length + 1);
        case mdtFmtBCD: return 34;
        // Blobs and heap values keep a pointer, which takes 8 bytes here.
        default: return PointerSlotSize;
    }
}

void TSQLiteRecordSet::SetStorage(TCRFieldDesc* Field, TMemDataType DataType, int32_t Length, int32_t Scale) {
    TMemDataType dt = DataType;
    int32_t length = std::max(Length, 0);
    int32_t scale = std::max(Scale, 0);
    if (dt == mdtString || dt == mdtWideString) {
        if (length == 0) length = 8192;
        // UTF-16 text lives in the heap at its own length: a slot of twice the declared length
        // would double the store for text that is mostly shorter.
        if (length >= 32 && (!FFlatBuffers || dt == mdtWideString))
            dt = dt == mdtString ? mdtExtString : mdtExtWideString;
    } else if (dt == mdtVarBytes) {
        if (!FFlatBuffers && length >= 32) dt = mdtExtVarBytes;
    } else if (dt == mdtBCD) {
        if (length < 1 || length > 18) length = 18;
        if (scale > 4) scale = 4;
    } else if (dt == mdtFmtBCD) {
        if (length < 1 || length > 32) length = 32;
        if (scale > length) scale = length;
    }
    // Storage that longer values of this column called for when it was read before.
    const size_t col = static_cast<size_t>(Field->FieldNo) - 1;
    if (!FDumpData && col < FStorage.size() && FStorage[col].Kept && FStorage[col].Described == dt) {
        dt = FStorage[col].Kept;
        length = std::max(length, FStorage[col].Length);
    }
    Field->DataType = dt;
    Field->Length = static_cast<uint16_t>(std::min<int32_t>(length, 65535));
    Field->Scale = static_cast<uint16_t>(std::min<int32_t>(scale, 65535));
    Field->Size = SlotSize(dt, Field->Length);
}

// ---------------------------------------------------------------------------------------------
// Values that outgrow their field

void TSQLiteRecordSet::RaiseForField(const TFieldDesc* Field, const AnsiString& Message) const {
    throw EDataMappingError(AnsiString(SFieldPrefix) + rtl::WideToAnsi(Field->Name) + "\r\n" + Message);
}

void TSQLiteRecordSet::RaiseOutOfRange(const TFieldDesc* Field, int64_t Value) const {
    RaiseOutOfRange(Field, rtl::IntToStr(Value));
}

void TSQLiteRecordSet::RaiseOutOfRange(const TFieldDesc* Field, const AnsiString& Value) const {
    RaiseForField(Field, rtl::Format(SValueOutOfRange, {Value}));
}

void TSQLiteRecordSet::Outgrown(const TCRFieldDesc* Field, size_t Units, bool ZeroChar) {
    // Once the dataset has made its fields from these sizes, or a converter has taken the
    // field's length, the value can no longer be given room.
    if (!FGrowFields || Field->OnDemandConverter) {
        if (ZeroChar) RaiseForField(Field, SZeroCharInText);
        RaiseForField(Field, rtl::Format(SValueLongerThanField, {static_cast<int64_t>(Units), int(Field->Length)}));
    }
    const size_t col = static_cast<size_t>(Field->FieldNo) - 1;
    if (FStorage.size() <= col) FStorage.resize(col + 1);
    TStorage& s = FStorage[col];
    if (!s.Kept) {
        s.Described = Field->DataType;
        s.Length = Field->Length;
    }
    const TMemDataType t = Field->DataType;
    const bool wide = t == mdtWideString || t == mdtExtWideString;
    const bool bytes = t == mdtVarBytes || t == mdtExtVarBytes;
    if (ZeroChar || Units > 65535) {
        // Past what a text or byte field can count: a blob keeps every byte.
        s.Kept = bytes ? mdtBlob : wide ? mdtWideMemo : mdtMemo;
    } else {
        s.Kept = bytes ? mdtExtVarBytes : wide ? mdtExtWideString : mdtExtString;
        s.Length = std::max<int32_t>(s.Length, static_cast<int32_t>(Units));
    }
    if (s.Kept == t) {
        // A heap value takes any length: the field only grows.
        const_cast<TCRFieldDesc*>(Field)->Length = static_cast<uint16_t>(s.Length);
        return;
    }
    throw TRestartFetch{};
}

void TSQLiteRecordSet::OutOfRange(const TCRFieldDesc* Field, int64_t Value) {
    // The engine's integers are 64-bit whatever the declared type says: while no one has seen the
    // field, it widens to hold them.
    if (!FGrowFields || Field->OnDemandConverter) RaiseOutOfRange(Field, Value);
    const size_t col = static_cast<size_t>(Field->FieldNo) - 1;
    if (FStorage.size() <= col) FStorage.resize(col + 1);
    FStorage[col] = TStorage{Field->DataType, mdtInt64, Field->Length};
    throw TRestartFetch{};
}

void TSQLiteRecordSet::ApplyStorage() {
    for (const auto& desc : FFields) {
        TFieldDesc* f = desc.get();
        if (f->DescKind != fdkData || f->HasParent()) continue;
        const size_t col = static_cast<size_t>(f->FieldNo) - 1;
        if (col >= FStorage.size() || !FStorage[col].Kept) continue;
        const TStorage& s = FStorage[col];
        f->DataType = s.Kept;
        if (!IsBlobFieldType(s.Kept)) f->Length = static_cast<uint16_t>(std::max<int32_t>(f->Length, s.Length));
        f->Size = SlotSize(s.Kept, f->Length);
    }
    ApplyLayout();
    FBlockMan.RecordSize = FRecordSize;
    if (FieldsChangedEvent) FieldsChangedEvent();
}

void TSQLiteRecordSet::InternalOpen(bool DisableInitFields) {
    // Until the open is over nobody has seen the fields: they may still take the room their
    // values need. A reopen feeds fields that exist already.
    rtl::TScopedValue<bool> growing(FGrowFields, !FReopening);
    bool noInit = DisableInitFields;
    for (int restarts = 0;; ++restarts) {
        try {
            TCRRecordSet::InternalOpen(noInit);
            return;
        } catch (const TRestartFetch&) {
            // Every restart moves one field to roomier storage, at most twice per field.
            if (restarts > 2 * FFields.Count()) rtl::AssertFail(SAssertionFailure, LiteClassesUnit, __LINE__);
            FreeData();
            ApplyStorage();
            InitData();
            // Back to where the open left off before its first fetch: InitData marks the
            // records at their end, and the dataset would then see none of those fetched anew.
            FPartlyUsedBlock = false;
            FEof = false;
            if (FLiteCommand->GetCursorState() > csPrepared) FLiteCommand->SetCursorState(csPrepared);
            noInit = true;
        }
    }
}

void TSQLiteRecordSet::SetConnection(TCRConnection* Value) {
    if (Value != FLiteCommand->GetConnection()) FStorage.clear();
    TCRRecordSet::SetConnection(Value);
}

void TSQLiteRecordSet::SetSQL(const AnsiString& Value) {
    if (Value != FLiteCommand->SQL()) FStorage.clear();
    TCRRecordSet::SetSQL(Value);
}

// ---------------------------------------------------------------------------------------------
// Dates

namespace {

bool Digits(const char* s, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// ISO 8601 as the engine writes and reads it: "yyyy-mm-dd", a time "hh:nn[:ss[.fff]]", or both
// joined by a blank or 'T', the time optionally followed by a zone ("Z", "+hh:nn", "-hhnn",
// "+hh"); a zoned moment is taken to UTC, as the engine's own date functions do.
bool TryParseIso(std::string_view Text, rtl::TDateTime& Value) {
    const char* s = Text.data();
    const size_t n = Text.size();
    size_t i = 0;
    bool hasDate = false;
    rtl::TDateTime date = 0;
    if (n >= 10 && s[4] == '-' && s[7] == '-') {
        int y, m, d;
        if (!Digits(s, 4, y) || !Digits(s + 5, 2, m) || !Digits(s + 8, 2, d) || !rtl::TryEncodeDate(y, m, d, date))
            return false;
        hasDate = true;
        i = 10;
        if (i == n) {
            Value = date;
            return true;
        }
        if (s[i] != ' ' && s[i] != 'T') return false;
        ++i;
    }
    int hh, nn, ss = 0, ms = 0;
    if (n < i + 5 || s[i + 2] != ':' || !Digits(s + i, 2, hh) || !Digits(s + i + 3, 2, nn)) return false;
    i += 5;
    if (i < n && s[i] == ':') {
        if (n < i + 3 || !Digits(s + i + 1, 2, ss)) return false;
        i += 3;
        if (i < n && s[i] == '.') {
            ++i;
            const size_t start = i;
            int scale = 100;
            for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10)
                if (scale > 0) ms += (s[i] - '0') * scale;
            if (i == start) return false;
        }
    }
    rtl::TDateTime time;
    if (!rtl::TryEncodeTime(hh, nn, ss, ms, time)) return false;
    int offset = 0;  // minutes east of UTC
    bool zoned = false;
    if (i < n && (s[i] == 'Z' || s[i] == 'z')) {
        zoned = true;
        ++i;
    } else if (i < n && (s[i] == '+' || s[i] == '-')) {
        const int sign = s[i] == '-' ? -1 : 1;
        int oh, om = 0;
        if (n < i + 3 || !Digits(s + i + 1, 2, oh)) return false;
        i += 3;
        if (i < n && s[i] == ':') ++i;
        if (i < n) {
            if (n < i + 2 || !Digits(s + i, 2, om)) return false;
            i += 2;
        }
        if (oh > 23 || om > 59) return false;
        zoned = true;
        offset = sign * (oh * 60 + om);
    }
    if (i != n || (zoned && !hasDate)) return false;
    if (!hasDate) {
        Value = time;
        return true;
    }
    Value = rtl::ComposeDateTime(date, time);
    if (offset) Value = rtl::IncMinute(Value, -offset);
    return true;
}

}  // namespace

bool TSQLiteRecordSet::ParseDate(std::string_view Text, TMemDataType DataType, const TRowPlan& Plan,
                                 rtl::TDateTime& Value) const {
    rtl::TDateTime d = 0;
    auto general = [&] {
        const AnsiString text(Text);
        auto parse = [&](const AnsiString& t) {
            return rtl::TryStrToDateTime(t, d, Plan.DateSettings) || rtl::TryStrToTime(t, d, Plan.DateSettings);
        };
        if (parse(text)) return true;
        // The engine's date functions also write and accept 'T' between the date and the time.
        const size_t t = text.find('T');
        if (t == AnsiString::npos || t == 0 || t + 1 >= text.size()) return false;
        AnsiString spaced = text;
        spaced[t] = ' ';
        return parse(spaced);
    };
    // A text that is no date in any form the column may hold reads as null, not as day 0.
    const bool ok = Plan.CanonicalDates ? TryParseIso(Text, d) || general() : general() || TryParseIso(Text, d);
    if (!ok) return false;
    if (DataType == mdtDate)
        Value = std::trunc(d);
    else if (DataType == mdtTime)
        Value = std::fabs(d - std::trunc(d));
    else
        Value = d;
    return true;
}

bool TSQLiteRecordSet::ReadDate(uint8_t* Slot, const TCRFieldDesc* Field, const char* Text, size_t Length, bool UTF8,
                                const TRowPlan& Plan) {
    rtl::TDateTime d;
    // Decoded text is never longer than its source, so a short value needs no string of its own.
    char buf[40];
    bool ok;
    if (Text && Length <= sizeof buf) {
        const size_t n = UTF8 ? TSQLiteConnection::DecodeUTF8To(Text, Length, buf, Length) : Length;
        if (!UTF8 && n) std::memcpy(buf, Text, n);
        ok = ParseDate(std::string_view(buf, n), Field->DataType, Plan, d);
    } else {
        ok = ParseDate(TSQLiteConnection::DecodeString(Text, Length, UTF8), Field->DataType, Plan, d);
    }
    if (ok) StoreDouble(Slot, d);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Reading values

namespace {
// Whether decoding put '?' for characters the code page has no room for.
bool LostCharacters(const char* Text, size_t Length, const char* Decoded, size_t N) {
    if (!N || !std::memchr(Decoded, '?', N)) return false;
    return std::count(Decoded, Decoded + N, '?') > std::count(Text, Text + Length, '?');
}
}  // namespace

bool TSQLiteRecordSet::ReadAnsiText(uint8_t* Slot, const TCRFieldDesc* Field, const char* Text, size_t Length,
                                    bool UTF8) {
    if (Length && std::memchr(Text, 0, Length)) Outgrown(Field, Length, true);
    const bool heap = Field->DataType == mdtExtString;
    // A text's bytes bound its characters: when they fit the slot, decode straight into it.
    if (!heap && Length <= Field->Length) {
        const size_t n =
            UTF8 ? TSQLiteConnection::DecodeUTF8To(Text, Length, reinterpret_cast<char*>(Slot), Length) : Length;
        if (!UTF8 && n) std::memcpy(Slot, Text, n);
        Slot[n] = 0;
        return UTF8 && LostCharacters(Text, Length, reinterpret_cast<const char*>(Slot), n);
    }
    const char* chars = Text;
    size_t n = Length;
    if (UTF8) {
        if (FScratch.size() < Length) FScratch.resize(Length);
        n = TSQLiteConnection::DecodeUTF8To(Text, Length, FScratch.data(), Length);
        chars = FScratch.data();
    }
    if (n > Field->Length) Outgrown(Field, n, false);
    if (heap) {
        char* buf = static_cast<char*>(FStringHeap.AllocBuf(static_cast<int>(n + 1)));
        if (n) std::memcpy(buf, chars, n);
        buf[n] = 0;
        StorePtr(Slot, buf);
    } else {
        if (n) std::memcpy(Slot, chars, n);
        Slot[n] = 0;
    }
    return UTF8 && LostCharacters(Text, Length, chars, n);
}

void TSQLiteRecordSet::ReadWideText(uint8_t* Slot, const TCRFieldDesc* Field, const char* Text, size_t Length) {
    if (Length && std::memchr(Text, 0, Length)) Outgrown(Field, Length, true);
    const bool heap = Field->DataType == mdtExtWideString;
    // A UTF-8 text never has more UTF-16 units than bytes.
    if (!heap && Length <= Field->Length) {
        const size_t n = TSQLiteConnection::DecodeUTF8ToWide(Text, Length, reinterpret_cast<char16_t*>(Slot));
        std::memset(Slot + 2 * n, 0, 2);
        return;
    }
    if (FWideScratch.size() < Length) FWideScratch.resize(Length);
    const size_t n = TSQLiteConnection::DecodeUTF8ToWide(Text, Length, FWideScratch.data());
    if (n > Field->Length) Outgrown(Field, n, false);
    uint8_t* dest = Slot;
    if (heap) {
        dest = static_cast<uint8_t*>(FStringHeap.AllocBuf(static_cast<int>(2 * n + 2)));
        StorePtr(Slot, dest);
    }
    if (n) std::memcpy(dest, FWideScratch.data(), 2 * n);
    std::memset(dest + 2 * n, 0, 2);
}

void TSQLiteRecordSet::StoreBlob(uint8_t* Slot, const TCRFieldDesc* Field, const void* Data, size_t Bytes) {
    TBlob* blob = TCompressedBlob::CreateFilled(Field->DataType == mdtWideMemo, Data, Bytes, FBlobPool);
    blob->EnableRollback();
    StorePtr(Slot, blob);
}

bool TSQLiteRecordSet::ReadBlob(uint8_t* Slot, const TCRFieldDesc* Field, int Col, TSQLite3API* API, sqlite3_stmt* Stmt,
                                bool UTF8) {
    if (Field->DataType == mdtBlob) {
        const int n = API->sqlite3_column_bytes(Stmt, Col);
        const void* p = API->sqlite3_column_blob(Stmt, Col);
        StoreBlob(Slot, Field, p, n > 0 && p ? static_cast<size_t>(n) : 0);
        return false;
    }
    // Text is read to its stored length, zero characters included.
    const char* s = reinterpret_cast<const char*>(API->sqlite3_column_text(Stmt, Col));
    const size_t len = s ? static_cast<size_t>(API->sqlite3_column_bytes(Stmt, Col)) : 0;
    if (!len) {
        StoreBlob(Slot, Field, nullptr, 0);
        return false;
    }
    const bool wide = Field->DataType == mdtWideMemo;
    if (!UTF8 && !wide) {
        StoreBlob(Slot, Field, s, len);
        return false;
    }
    const size_t most = wide ? 2 * len : len;
    if (most > TSharedBlockPool::BlockSize / 4) {
        // A long text gets a block of its own, sized to what it decodes to.
        if (wide) {
            if (FWideScratch.size() < len) FWideScratch.resize(len);
            const size_t n = TSQLiteConnection::DecodeUTF8ToWide(s, len, FWideScratch.data());
            StoreBlob(Slot, Field, FWideScratch.data(), 2 * n);
            return false;
        }
        if (FScratch.size() < len) FScratch.resize(len);
        const size_t n = TSQLiteConnection::DecodeUTF8To(s, len, FScratch.data(), len);
        StoreBlob(Slot, Field, FScratch.data(), n);
        return LostCharacters(s, len, FScratch.data(), n);
    }
    // Decoded text is never longer than its source (in UTF-16 units: never more units than
    // bytes), so a short one is decoded straight into the blob's room, cut to what it took.
    struct TText {
        const char* Chars;
        size_t Length;
        bool Lost;
    } text{s, len, false};
    // A piece's contents start 16-aligned plus its header: room for UTF-16 units.
    static_assert(sizeof(TPieceHeader) % alignof(char16_t) == 0);
    TCompressedBlob::TFillFunc fill =
        wide ? TCompressedBlob::TFillFunc([](void* Context, uint8_t* Dest) {
            const auto* t = static_cast<const TText*>(Context);
            return 2 * TSQLiteConnection::DecodeUTF8ToWide(t->Chars, t->Length, reinterpret_cast<char16_t*>(Dest));
        })
             : TCompressedBlob::TFillFunc([](void* Context, uint8_t* Dest) {
                   auto* t = static_cast<TText*>(Context);
                   const size_t n =
                       TSQLiteConnection::DecodeUTF8To(t->Chars, t->Length, reinterpret_cast<char*>(Dest), t->Length);
                   t->Lost = LostCharacters(t->Chars, t->Length, reinterpret_cast<const char*>(Dest), n);
                   return n;
               });
    TBlob* blob = TCompressedBlob::CreateFilled(wide, most, FBlobPool, fill, &text);
    blob->EnableRollback();
    StorePtr(Slot, blob);
    return text.Lost;
}

void TSQLiteRecordSet::ReadBytes(uint8_t* Slot, const TCRFieldDesc* Field, int Col, TSQLite3API* API,
                                 sqlite3_stmt* Stmt) {
    const int count = API->sqlite3_column_bytes(Stmt, Col);
    const void* p = API->sqlite3_column_blob(Stmt, Col);
    const size_t n = count > 0 && p ? static_cast<size_t>(count) : 0;
    if (n > Field->Length) Outgrown(Field, n, false);
    uint8_t* dest = Slot;
    if (Field->DataType == mdtExtVarBytes) {
        dest = static_cast<uint8_t*>(FStringHeap.AllocBuf(static_cast<int>(n + 2)));
        StorePtr(Slot, dest);
    }
    const auto len = static_cast<uint16_t>(n);
    std::memcpy(dest, &len, 2);
    if (n) std::memcpy(dest + 2, p, n);
}

uint8_t TSQLiteRecordSet::ReadValue(uint8_t* Slot, const TCRFieldDesc* Field, int Col, TSQLite3API* API,
                                    sqlite3_stmt* Stmt, bool UTF8, const TRowPlan& Plan) {
    auto text = [&](size_t& len) {
        const char* s = reinterpret_cast<const char*>(API->sqlite3_column_text(Stmt, Col));
        len = s ? static_cast<size_t>(API->sqlite3_column_bytes(Stmt, Col)) : 0;
        return s ? s : "";
    };
    size_t len;
    switch (Field->DataType) {
        case mdtString:
        case mdtExtString: {
            const char* s = text(len);
            return ReadAnsiText(Slot, Field, s, len, UTF8) ? NullFlagInexact : 0;
        }
        case mdtWideString:
        case mdtExtWideString: {
            const char* s = text(len);
            ReadWideText(Slot, Field, s, len);
            return 0;
        }
        case mdtInt16: {
            const int64_t v = API->sqlite3_column_int64(Stmt, Col);
            if (v < INT16_MIN || v > INT16_MAX) OutOfRange(Field, v);
            Store16(Slot, static_cast<int16_t>(v));
            return 0;
        }
        case mdtInt32: {
            const int64_t v = API->sqlite3_column_int64(Stmt, Col);
            if (v < INT32_MIN || v > INT32_MAX) OutOfRange(Field, v);
            Store32(Slot, static_cast<int32_t>(v));
            return 0;
        }
        case mdtInt64: Store64(Slot, API->sqlite3_column_int64(Stmt, Col)); return 0;
        case mdtBoolean: Store16(Slot, API->sqlite3_column_int64(Stmt, Col) != 0 ? 1 : 0); return 0;
        case mdtFloat:
        case mdtCurrency: StoreDouble(Slot, API->sqlite3_column_double(Stmt, Col)); return 0;
        case mdtDate:
        case mdtTime:
        case mdtDateTime: {
            const char* s = text(len);
            return ReadDate(Slot, Field, s, len, UTF8, Plan) ? 0 : 1;
        }
        case mdtBCD: {
            const double v = API->sqlite3_column_type(Stmt, Col) == SQLITE_INTEGER
                                 ? static_cast<double>(API->sqlite3_column_int64(Stmt, Col))
                                 : API->sqlite3_column_double(Stmt, Col);
            // Ten-thousandths in 64 bits: a value beyond them is refused rather than stored as garbage.
            const double scaled = std::nearbyint(v * 10000.0);
            if (!(std::fabs(scaled) < 9223372036854775808.0)) RaiseOutOfRange(Field, rtl::FloatToStr(v));
            Store64(Slot, static_cast<int64_t>(scaled));
            return 0;
        }
        case mdtFmtBCD: {
            const rtl::TBcd bcd = API->sqlite3_column_type(Stmt, Col) == SQLITE_INTEGER
                                      ? rtl::StrToBcd(rtl::IntToStr(API->sqlite3_column_int64(Stmt, Col)))
                                      : rtl::DoubleToBcd(API->sqlite3_column_double(Stmt, Col));
            std::memcpy(Slot, &bcd, sizeof bcd);
            return 0;
        }
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: return ReadBlob(Slot, Field, Col, API, Stmt, UTF8) ? NullFlagInexact : 0;
        case mdtVarBytes:
        case mdtExtVarBytes: ReadBytes(Slot, Field, Col, API, Stmt); return 0;
        default: rtl::AssertFail(SAssertionFailure, LiteClassesUnit, 2750);
    }
}

void TSQLiteRecordSet::MakeRowPlan(TRowPlan& Plan) const {
    Plan.Values.clear();
    Plan.Complex.clear();
    const int count = FFields.Count();
    for (int i = 0; i < count; ++i) {
        auto* field = static_cast<const TCRFieldDesc*>(FFields.Items(i));
        const bool read = IsRecordSlot(field) && field->DescKind == fdkData;
        // A blob read from a column is made with its value, in one allocation.
        if (IsComplexFieldType(field->DataType) && !(read && IsReadBlob(field->DataType))) Plan.Complex.push_back(i);
        if (read) Plan.Values.push_back(field);
    }
    Plan.CanonicalDates = FLiteCommand->DateSeparator() == '-' && FLiteCommand->TimeSeparator() == ':' &&
                          FLiteCommand->DateFormat() == "yyyy-mm-dd" && FLiteCommand->TimeFormat() == "hh:nn:ss";
    // The command's formats, all other settings empty.
    rtl::TFormatSettings& fs = Plan.DateSettings;
    fs = rtl::TFormatSettings();
    fs.DateSeparator = FLiteCommand->DateSeparator();
    AnsiString df = FLiteCommand->DateFormat();
    std::replace(df.begin(), df.end(), '-', fs.DateSeparator);
    fs.ShortDateFormat = df;
    fs.TimeSeparator = FLiteCommand->TimeSeparator();
    AnsiString tf = FLiteCommand->TimeFormat();
    std::replace(tf.begin(), tf.end(), ':', fs.TimeSeparator);
    fs.ShortTimeFormat = tf;
    fs.LongTimeFormat = tf;
}

void TSQLiteRecordSet::ReadRow(void* RecBuf) {
    TRowPlan plan;
    MakeRowPlan(plan);
    ReadRow(RecBuf, plan);
}

void TSQLiteRecordSet::ReadRow(void* RecBuf, const TRowPlan& Plan) {
    for (int i : Plan.Complex) CreateComplexField(RecBuf, i, true);
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    const bool utf8 = conn->IsUTF8();
    auto* rec = static_cast<uint8_t*>(RecBuf);
    uint8_t* nulls = rec + FDataSize;
    for (const TCRFieldDesc* field : Plan.Values) {
        const int col = field->FieldNo - 1;
        if (api->sqlite3_column_type(stmt, col) == SQLITE_NULL) {
            nulls[col] = 1;
            if (IsReadBlob(field->DataType)) StoreBlob(rec + field->Offset, field, nullptr, 0);
            continue;
        }
        nulls[col] = ReadValue(rec + field->Offset, field, col, api, stmt, utf8, Plan);
    }
}

bool TSQLiteRecordSet::DumpRowReady() const {
    const uint8_t cs = FLiteCommand->GetCursorState();
    return cs == csExecuting || cs == csFetching;
}

bool TSQLiteRecordSet::DumpNextRow() {
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    int rc = SQLITE_DONE;
    try {
        conn->ClearPendingError();
        rc = conn->API()->sqlite3_step(FLiteCommand->Stmt());
        conn->RaisePendingError();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) conn->Check(rc);
    } catch (...) {
        // A statement left stepping would hold the file's lock.
        FLiteCommand->Reset();
        FLiteCommand->SetCursorState(csFetched);
        throw;
    }
    FLiteCommand->SetCursorState(rc == SQLITE_ROW ? csFetching : csFetched);
    return rc == SQLITE_ROW;
}

// Contract: the statement stands on a row (cursor state executing or fetching). Reads up to
// FetchRows rows into a new block (a one-way read reuses its only block) and links them after
// the rows read so far; a failure drops the block and ends the statement, leaving the rows read
// before it as they were.
bool TSQLiteRecordSet::FetchBlock() {
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    // Fetching everything at open reads in larger blocks: one allocation per few rows costs
    // more than the rows themselves.
    int rows = FFetchAll && !FUniDirectional ? std::max(FFetchRows, FetchAllBlockRows) : std::max(1, FFetchRows);
    TItemBlock* block = nullptr;
    // A forward-only read keeps one block: the rows already handed out are dropped, so none is
    // read twice.
    const bool reuse = FUniDirectional && FBlockMan.FirstBlock && FLastItem;
    const int32_t orderBefore = reuse ? FLastItem->Order : 0;
    if (reuse) {
        block = FBlockMan.FirstBlock;
        for (int i = 0; i < block->UsedCount; ++i)
            FreeComplexFields(TBlockManager::RecordOf(FBlockMan.BlockItem(block, i)), true);
        std::memset(reinterpret_cast<uint8_t*>(block) + sizeof(TItemBlock), 0,
                    static_cast<size_t>(block->ItemCount) * FBlockMan.ItemSize());
        block->UsedCount = block->ItemCount;
        rows = std::min<int>(rows, block->ItemCount);
        FFirstItem = FLastItem = FCurrentItem = nullptr;
    } else {
        // The block comes zero-filled: every pointer slot is null until its row is read, so a
        // block that fails half-way can be released safely.
        FBlockMan.AllocBlock(block, rows);
    }
    TRecordItem* oldFirst = FFirstItem;
    TRecordItem* oldLast = FLastItem;
    int n = 0;
    int rc = SQLITE_ROW;
    try {
        TRowPlan plan;
        MakeRowPlan(plan);
        while (true) {
            TRecordItem* item = FBlockMan.BlockItem(block, n);
            void* rec = TBlockManager::RecordOf(item);
            ++n;
            ReadRow(rec, plan);
            conn->ClearPendingError();
            rc = api->sqlite3_step(stmt);
            conn->RaisePendingError();
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) conn->Check(rc);
            if (n == rows) break;
        }
        if (FLiteCommand->GetCursorState() < csFetching) FLiteCommand->SetCursorState(csFetching);
        if (rc == SQLITE_DONE) {
            FLiteCommand->SetCursorState(csFetched);
            FBlobPool.Reset();
        }
        TCRRecordSet::FetchBlock(block, n, false);
        // Record numbers go on from the rows already read.
        if (reuse)
            for (int i = 0; i < n; ++i) FBlockMan.BlockItem(block, i)->Order = orderBefore + 1 + i;
    } catch (...) {
        // The run ends here: a statement left stepping would hold the file's lock, and a further
        // step would start it over from its first row.
        FLiteCommand->Reset();
        if (FLiteCommand->GetCursorState() > csPrepared) FLiteCommand->SetCursorState(csFetched);
        for (int i = 0; i < n; ++i) FreeComplexFields(TBlockManager::RecordOf(FBlockMan.BlockItem(block, i)), true);
        FBlockMan.FreeBlock(block);
        FFirstItem = oldFirst;
        FLastItem = oldLast;
        if (FFirstItem) FFirstItem->Prev = nullptr;
        if (FLastItem) FLastItem->Next = nullptr;
        throw;
    }
    return rc != SQLITE_DONE;
}

bool TSQLiteRecordSet::FetchNext(int /*Flag*/) {
    bool fetched = false;
    const uint8_t cs = FLiteCommand->GetCursorState();
    if (cs != csInactive && cs != csFetched && !FDumpData) {
        bool cancel = false;
        DoBeforeFetch(cancel);
        if (!cancel) {
            rtl::TryFinally([&] { FetchBlock(); }, [&] { DoAfterFetch(); });
            fetched = true;
        }
    }
    if (FLiteCommand->GetCursorState() == csFetched && !FPrepared) {
        const uint8_t kind = FCommandType;
        FLiteCommand->Unprepare();
        FCommandType = kind;
    }
    return fetched;
}

void TSQLiteRecordSet::Reopen() {
    if (FLiteCommand->GetCursorState() > csPrepared) FLiteCommand->SetCursorState(csPrepared);
    FreeData();
    InitData();
    if (OnReopen) OnReopen();
    rtl::TScopedValue<bool> reopening(FReopening, true);
    DoOpen(0);
}

void TSQLiteRecordSet::DoClose() {
    FBlobPool.Reset();
    if (FLiteCommand->GetCursorState() > csPrepared) FLiteCommand->SetCursorState(csPrepared);
    TCRRecordSet::DoClose();
    if (!FPrepared) {
        const uint8_t kind = FCommandType;
        FLiteCommand->Unprepare();
        FCommandType = kind;
    } else {
        // A statement kept prepared keeps no read transaction once its query is closed.
        FLiteCommand->Reset();
    }
}

void TSQLiteRecordSet::SetToEnd() {
    FetchAll();
    TCRRecordSet::SetToEnd();
}

bool TSQLiteRecordSet::SetProp(int Prop, const Variant& Value) {
    if (Prop == pidDumpData) {
        FDumpData = Value.AsBoolean();
        return true;
    }
    return TCRRecordSet::SetProp(Prop, Value);
}

bool TSQLiteRecordSet::GetProp(int Prop, Variant& Value) {
    if (Prop == pidRecordCount) {
        Value = GetRecordCount();
        return true;
    }
    if (Prop == pidDumpData) {
        Value = FDumpData;
        return true;
    }
    return TCRRecordSet::GetProp(Prop, Value);
}

}  // namespace sqlite
