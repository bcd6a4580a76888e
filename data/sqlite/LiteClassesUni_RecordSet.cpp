#include <cmath>
#include <cstring>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
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
void* LoadPtr(const void* p) {
    void* v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

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
    try {
        if (!FPrepared) {
            DoPrepare();
            preparedHere = true;
        }
        TCRRecordSet::ExecCommand();
        if (FCommandType == ctCursor)
            FLiteCommand->SetCursorState(FLiteCommand->LastStepResult() == SQLITE_DONE ? csFetched : csExecuting);
        else if (preparedHere)
            FLiteCommand->Unprepare();
    } catch (...) {
        FLiteCommand->SetOpening(false);
        if (preparedHere) FLiteCommand->Unprepare();
        throw;
    }
    FLiteCommand->SetOpening(false);
    if (FLiteCommand->AfterExecute) FLiteCommand->AfterExecute();
}

void TSQLiteRecordSet::DoInitFields() {
    const bool prepareHere = !FLiteCommand->GetPrepared();
    if (prepareHere) DoPrepare();
    try {
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
    } catch (...) {
        if (prepareHere) FLiteCommand->Unprepare();
        throw;
    }
    if (prepareHere) {
        uint8_t kind = FCommandType;
        FLiteCommand->Unprepare();
        FCommandType = kind;
    }
}

void TSQLiteRecordSet::DescribeField(TCRFieldDesc* Field, int Col) {
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    auto decode = [&](const char* s) { return s ? conn->DecodeToWide(s, std::strlen(s)) : WideString(); };

    Field->FieldNo = static_cast<uint16_t>(Col + 1);
    Field->ColumnNo = static_cast<int16_t>(Col + 1);
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

    TMemDataType dt = mdtString;
    int32_t length = 0;
    int32_t scale = 0;
    if (FDumpData) {
        dt = mdtWideMemo;
    } else {
        const char* declRaw = api->sqlite3_column_decltype(stmt, Col);
        AnsiString decl = declRaw ? rtl::AnsiUpperCase(rtl::WideToAnsi(decode(declRaw))) : AnsiString();
        AnsiString fieldName = rtl::WideToAnsi(Field->Name);
        if (!decl.empty()) {
            AnsiString name = decl;
            Field->DBType = TLiteConverterManager::ParseDeclaredType(name, length, scale);
            Field->DBLength = length;
            Field->DBScale = scale;
            if (TFetchConverter* conv = GetFieldConverter(fieldName, Field->DBType, length, scale)) {
                dt = conv->InternalDataType;
            } else if (Is(name, {"INT2", "SMALLINT", "SMALL INT", "TINYINT", "TINY INT"})) {
                dt = mdtInt16;
            } else if (Is(name, {"BIGINT", "BIG INT", "UNSIGNED BIG INT", "UNSIGNED BIGINT", "INT8", "INT64"})) {
                dt = mdtInt64;
            } else if (Is(name, {"INT", "INTEGER", "MEDIUMINT", "MEDIUM INT"}) || name.find("INT") != AnsiString::npos) {
                dt = mdtInt32;
            } else if (name.find("CHAR") != AnsiString::npos) {
                dt = mdtString;
            } else if (StartsWith(name, {"TEXT", "CLOB"})) {
                dt = mdtMemo;
            } else if (StartsWith(name, {"BLOB"})) {
                dt = mdtBlob;
            } else if (StartsWith(name, {"REAL", "FLOAT", "DOUBLE"})) {
                dt = mdtFloat;
            } else if (Is(name, {"NUMERIC", "DECIMAL", "NUMBER"})) {
                TSQLiteConnection* c = conn;
                if (FLiteCommand->EnableFMTBCD() || c->EnableFMTBCD())
                    dt = mdtFmtBCD;
                else if (FLiteCommand->EnableBCD() || c->EnableBCD())
                    dt = mdtBCD;
                else
                    dt = mdtFloat;
            } else if (name == "MONEY") {
                dt = mdtCurrency;
            } else if (StartsWith(name, {"BOOL"})) {
                dt = mdtBoolean;
            } else if (Is(name, {"BINARY", "VARBINARY"})) {
                dt = mdtVarBytes;
            } else if (name == "DATE") {
                dt = mdtDate;
            } else if (name == "TIME") {
                dt = mdtTime;
            } else if (Is(name, {"DATETIME", "TIMESTAMP"})) {
                dt = mdtDateTime;
            } else {
                dt = mdtString;
            }
        } else if (!actual.empty()) {
            dt = mdtString;
            Field->DBType = liteUnknown;
            length = scale = 0;
        } else {
            int sc = api->sqlite3_column_type(stmt, Col);
            Field->DBType = TLiteConverterManager::TypeOfStorageClass(sc, length, scale);
            if (TFetchConverter* conv = GetFieldConverter(fieldName, Field->DBType, length, scale)) {
                dt = conv->InternalDataType;
            } else {
                switch (sc) {
                    case SQLITE_INTEGER: dt = mdtInt64; break;
                    case SQLITE_FLOAT: dt = mdtFloat; break;
                    case SQLITE_TEXT:
                    case SQLITE_NULL: dt = mdtString; break;
                    case SQLITE_BLOB: dt = mdtBlob; break;
                    default: rtl::AssertFail(SAssertionFailure, LiteClassesUnit, 2237);
                }
            }
        }
        if (dt == mdtString && length >= 255 && !FLongStrings) dt = mdtMemo;
        if (dt == mdtVarBytes && length < 1) dt = mdtBlob;
        if (conn->UseUnicode()) {
            if (dt == mdtString) dt = mdtWideString;
            else if (dt == mdtMemo) dt = mdtWideMemo;
        }
    }
    if (length < 0) length = 0;
    if (scale < 0) scale = 0;
    if (dt == mdtString || dt == mdtWideString) {
        if (length == 0) length = 8192;
        if (!FFlatBuffers && length >= 32) dt = dt == mdtString ? mdtExtString : mdtExtWideString;
    } else if (dt == mdtVarBytes) {
        if (!FFlatBuffers && length >= 32) dt = mdtExtVarBytes;
    } else if (dt == mdtBCD) {
        if (length < 1 || length > 18) length = 18;
        if (scale > 4) scale = 4;
    } else if (dt == mdtFmtBCD) {
        if (length < 1 || length > 32) length = 32;
        if (scale > length) scale = length;
    }
    Field->DataType = dt;
    Field->Length = static_cast<uint16_t>(std::min<int32_t>(length, 65535));
    Field->Scale = static_cast<uint16_t>(std::min<int32_t>(scale, 65535));
    switch (dt) {
        case mdtString: Field->Size = Field->Length + 1; break;
        case mdtInt16:
        case mdtBoolean: Field->Size = 2; break;
        case mdtInt32: Field->Size = 4; break;
        case mdtFloat: case mdtDate: case mdtTime: case mdtDateTime: case mdtInt64: case mdtCurrency: case mdtBCD:
            Field->Size = 8;
            break;
        case mdtVarBytes: Field->Size = Field->Length + 2; break;
        case mdtWideString: Field->Size = 2 * (Field->Length + 1); break;
        case mdtFmtBCD: Field->Size = 34; break;
        // Blobs and heap values keep a pointer, which takes 8 bytes here.
        default: Field->Size = PointerSlotSize; break;
    }
}

void TSQLiteRecordSet::RaiseOutOfRange(const TFieldDesc* Field, int64_t Value) const {
    RaiseOutOfRange(Field, rtl::IntToStr(Value));
}

void TSQLiteRecordSet::RaiseOutOfRange(const TFieldDesc* Field, const AnsiString& Value) const {
    throw EDataMappingError(AnsiString(SFieldPrefix) + rtl::WideToAnsi(Field->Name) + "\r\n" +
                            rtl::Format(SValueOutOfRange, {Value}));
}

namespace {

bool Digits(const char* s, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// The engine's own text forms "yyyy-mm-dd" and "yyyy-mm-dd hh:nn:ss", read without building format
// settings for every value. Anything else (and dates before 1900, whose time part counts backwards)
// is left to the general parser.
bool TryParseCanonical(std::string_view Text, rtl::TDateTime& Value) {
    const size_t n = Text.size();
    if (n != 10 && n != 19) return false;
    const char* s = Text.data();
    int y, m, d;
    if (s[4] != '-' || s[7] != '-' || !Digits(s, 4, y) || !Digits(s + 5, 2, m) || !Digits(s + 8, 2, d) || y < 1900)
        return false;
    rtl::TDateTime date;
    if (!rtl::TryEncodeDate(y, m, d, date)) return false;
    if (n == 10) {
        Value = date;
        return true;
    }
    int hh, nn, ss;
    if (s[10] != ' ' || s[13] != ':' || s[16] != ':' || !Digits(s + 11, 2, hh) || !Digits(s + 14, 2, nn) ||
        !Digits(s + 17, 2, ss))
        return false;
    rtl::TDateTime time;
    if (!rtl::TryEncodeTime(hh, nn, ss, 0, time)) return false;
    Value = date + time;
    return true;
}

}  // namespace

rtl::TDateTime TSQLiteRecordSet::ParseDate(std::string_view Text, TMemDataType DataType, bool Canonical) const {
    rtl::TDateTime d = 0;
    if (!Canonical || !TryParseCanonical(Text, d)) {
        rtl::TFormatSettings fs;
        fs.DateSeparator = FLiteCommand->DateSeparator();
        AnsiString df = FLiteCommand->DateFormat();
        std::replace(df.begin(), df.end(), '-', fs.DateSeparator);
        fs.ShortDateFormat = df;
        fs.TimeSeparator = FLiteCommand->TimeSeparator();
        AnsiString tf = FLiteCommand->TimeFormat();
        std::replace(tf.begin(), tf.end(), ':', fs.TimeSeparator);
        fs.ShortTimeFormat = tf;
        fs.LongTimeFormat = tf;
        auto parse = [&](const AnsiString& t) { return rtl::TryStrToDateTime(t, d, fs) || rtl::TryStrToTime(t, d, fs); };
        const AnsiString text(Text);
        if (!parse(text)) {
            // The engine's date functions also write and accept 'T' between the date and the time.
            const size_t t = text.find('T');
            AnsiString spaced = text;
            if (t != AnsiString::npos && t > 0 && t + 1 < text.size()) spaced[t] = ' ';
            if (t == AnsiString::npos || spaced == text || !parse(spaced)) d = 0;
        }
    }
    if (DataType == mdtDate) return std::trunc(d);
    if (DataType == mdtTime) return std::fabs(d - std::trunc(d));
    return d;
}

void TSQLiteRecordSet::ReadValue(void* RecBuf, const TCRFieldDesc* Field, int Col, TSQLite3API* API,
                                 sqlite3_stmt* Stmt, bool UTF8, bool CanonicalDates) {
    uint8_t* slot = static_cast<uint8_t*>(RecBuf) + Field->Offset;
    auto text = [&](size_t& len) {
        const char* s = reinterpret_cast<const char*>(API->sqlite3_column_text(Stmt, Col));
        len = static_cast<size_t>(API->sqlite3_column_bytes(Stmt, Col));
        return s;
    };
    switch (Field->DataType) {
        case mdtString: {
            size_t len;
            const char* s = text(len);
            size_t n = UTF8 ? TSQLiteConnection::DecodeUTF8To(s, len, reinterpret_cast<char*>(slot), Field->Length)
                            : std::min<size_t>(len, Field->Length);
            if (!UTF8 && n) std::memcpy(slot, s, n);
            slot[n] = 0;
            break;
        }
        case mdtExtString: {
            size_t len;
            const char* s = text(len);
            size_t cap = std::min<size_t>(len, Field->Length);
            char* buf = static_cast<char*>(FStringHeap.AllocBuf(static_cast<int>(cap + 1)));
            size_t n = UTF8 ? TSQLiteConnection::DecodeUTF8To(s, len, buf, cap) : cap;
            if (!UTF8 && n) std::memcpy(buf, s, n);
            buf[n] = 0;
            StorePtr(slot, buf);
            break;
        }
        case mdtWideString:
        case mdtExtWideString: {
            size_t len;
            const char* s = text(len);
            WideString w = rtl::UTF8ToWide(std::string_view(s ? s : "", s ? len : 0));
            if (w.size() > Field->Length) w.resize(Field->Length);
            if (Field->DataType == mdtWideString) {
                std::memcpy(slot, w.data(), w.size() * 2);
                std::memset(slot + w.size() * 2, 0, 2);
            } else {
                auto* buf = static_cast<uint8_t*>(FStringHeap.AllocBuf(static_cast<int>(2 * Field->Length + 2)));
                std::memcpy(buf, w.data(), w.size() * 2);
                std::memset(buf + w.size() * 2, 0, 2);
                StorePtr(slot, buf);
            }
            break;
        }
        case mdtInt16: {
            int64_t v = API->sqlite3_column_int64(Stmt, Col);
            if (v < INT16_MIN || v > INT16_MAX) RaiseOutOfRange(Field, v);
            Store16(slot, static_cast<int16_t>(v));
            break;
        }
        case mdtInt32: {
            int64_t v = API->sqlite3_column_int64(Stmt, Col);
            if (v < INT32_MIN || v > INT32_MAX) RaiseOutOfRange(Field, v);
            Store32(slot, static_cast<int32_t>(v));
            break;
        }
        case mdtInt64:
            Store64(slot, API->sqlite3_column_int64(Stmt, Col));
            break;
        case mdtBoolean:
            Store16(slot, API->sqlite3_column_int64(Stmt, Col) != 0 ? 1 : 0);
            break;
        case mdtFloat:
        case mdtCurrency:
            StoreDouble(slot, API->sqlite3_column_double(Stmt, Col));
            break;
        case mdtDate:
        case mdtTime:
        case mdtDateTime: {
            size_t len;
            const char* s = text(len);
            // Decoded text is never longer than its source, so a short value needs no string of its own.
            char buf[32];
            if (s && len <= sizeof buf) {
                const size_t n = UTF8 ? TSQLiteConnection::DecodeUTF8To(s, len, buf, len) : len;
                if (!UTF8 && n) std::memcpy(buf, s, n);
                StoreDouble(slot, ParseDate(std::string_view(buf, n), Field->DataType, CanonicalDates));
            } else {
                AnsiString t = TSQLiteConnection::DecodeString(s, len, UTF8);
                StoreDouble(slot, ParseDate(t, Field->DataType, CanonicalDates));
            }
            break;
        }
        case mdtBCD: {
            double v = API->sqlite3_column_type(Stmt, Col) == SQLITE_INTEGER
                           ? static_cast<double>(API->sqlite3_column_int64(Stmt, Col))
                           : API->sqlite3_column_double(Stmt, Col);
            // Ten-thousandths in 64 bits: a value beyond them is refused rather than stored as garbage.
            const double scaled = std::nearbyint(v * 10000.0);
            if (!(std::fabs(scaled) < 9223372036854775808.0)) RaiseOutOfRange(Field, rtl::FloatToStr(v));
            Store64(slot, static_cast<int64_t>(scaled));
            break;
        }
        case mdtFmtBCD: {
            rtl::TBcd bcd;
            if (API->sqlite3_column_type(Stmt, Col) == SQLITE_INTEGER)
                bcd = rtl::StrToBcd(rtl::IntToStr(API->sqlite3_column_int64(Stmt, Col)));
            else
                bcd = rtl::DoubleToBcd(API->sqlite3_column_double(Stmt, Col));
            std::memcpy(slot, &bcd, sizeof bcd);
            break;
        }
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: {
            auto* blob = static_cast<TBlob*>(LoadPtr(slot));
            if (!blob) break;
            if (Field->DataType == mdtBlob) {
                int n = API->sqlite3_column_bytes(Stmt, Col);
                const void* p = API->sqlite3_column_blob(Stmt, Col);
                if (n > 0 && p) {
                    PPieceHeader piece = TCRBlobData::AllocPiece(n);
                    std::memcpy(PieceData(piece), p, static_cast<size_t>(n));
                    piece->Used = n;
                    blob->GetData()->AppendPiece(piece);
                }
            } else if (Field->DataType == mdtMemo) {
                size_t len;
                const char* s = text(len);
                if (len > 0) {
                    PPieceHeader piece = TCRBlobData::AllocPiece(static_cast<int>(len));
                    size_t n = UTF8 ? TSQLiteConnection::DecodeUTF8To(s, len, reinterpret_cast<char*>(PieceData(piece)), len)
                                    : len;
                    if (!UTF8) std::memcpy(PieceData(piece), s, len);
                    piece->Used = static_cast<int32_t>(n);
                    blob->GetData()->AppendPiece(piece);
                }
            } else {
                size_t len;
                const char* s = text(len);
                WideString w = rtl::UTF8ToWide(std::string_view(s ? s : "", s ? len : 0));
                if (!w.empty()) {
                    int bytes = static_cast<int>(w.size() * 2);
                    PPieceHeader piece = TCRBlobData::AllocPiece(bytes);
                    std::memcpy(PieceData(piece), w.data(), static_cast<size_t>(bytes));
                    piece->Used = bytes;
                    blob->GetData()->AppendPiece(piece);
                }
            }
            break;
        }
        case mdtVarBytes: {
            int n = API->sqlite3_column_bytes(Stmt, Col);
            const void* p = API->sqlite3_column_blob(Stmt, Col);
            // The slot has room for the declared length only: a longer value is cut to it.
            uint16_t len = static_cast<uint16_t>(std::min<int>(n, Field->Length));
            std::memcpy(slot, &len, 2);
            if (len && p) std::memcpy(slot + 2, p, len);
            break;
        }
        case mdtExtVarBytes: {
            int n = API->sqlite3_column_bytes(Stmt, Col);
            const void* p = API->sqlite3_column_blob(Stmt, Col);
            uint16_t len = static_cast<uint16_t>(std::min<int>(n, 65535));
            auto* buf = static_cast<uint8_t*>(FStringHeap.AllocBuf(len + 2));
            std::memcpy(buf, &len, 2);
            if (len && p) std::memcpy(buf + 2, p, len);
            StorePtr(slot, buf);
            break;
        }
        default:
            rtl::AssertFail(SAssertionFailure, LiteClassesUnit, 2750);
    }
}

void TSQLiteRecordSet::MakeRowPlan(TRowPlan& Plan) const {
    Plan.Values.clear();
    Plan.Complex.clear();
    const int count = FFields.Count();
    for (int i = 0; i < count; ++i) {
        auto* field = static_cast<const TCRFieldDesc*>(FFields.Items(i));
        if (IsComplexFieldType(field->DataType)) Plan.Complex.push_back(i);
        if (IsRecordSlot(field) && field->DescKind == fdkData) Plan.Values.push_back(field);
    }
    Plan.CanonicalDates = FLiteCommand->DateSeparator() == '-' && FLiteCommand->TimeSeparator() == ':' &&
                          FLiteCommand->DateFormat() == "yyyy-mm-dd" && FLiteCommand->TimeFormat() == "hh:nn:ss";
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
    uint8_t* nulls = static_cast<uint8_t*>(RecBuf) + FDataSize;
    for (const TCRFieldDesc* field : Plan.Values) {
        const int col = field->FieldNo - 1;
        if (api->sqlite3_column_type(stmt, col) == SQLITE_NULL) {
            nulls[col] = 1;
            continue;
        }
        nulls[col] = 0;
        ReadValue(RecBuf, field, col, api, stmt, utf8, Plan.CanonicalDates);
    }
}

void TSQLiteRecordSet::ReadRowAsText(void* RecBuf) {
    CreateComplexFields(RecBuf, true);
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    for (int i = 0; i < FFields.Count(); ++i) {
        TFieldDesc* field = FFields.Items(i);
        if (!IsRecordSlot(field)) continue;
        const int col = field->FieldNo - 1;
        WideString text;
        switch (api->sqlite3_column_type(stmt, col)) {
            case SQLITE_INTEGER:
                text = rtl::AnsiToWide(rtl::IntToStr(api->sqlite3_column_int64(stmt, col)));
                break;
            case SQLITE_FLOAT: {
                AnsiString s = rtl::FloatToStr(api->sqlite3_column_double(stmt, col));
                size_t p = s.find(rtl::FormatSettings().DecimalSeparator);
                if (p != AnsiString::npos) s[p] = '.';
                text = rtl::AnsiToWide(s);
                break;
            }
            case SQLITE_TEXT: {
                const char* s = reinterpret_cast<const char*>(api->sqlite3_column_text(stmt, col));
                size_t len = static_cast<size_t>(api->sqlite3_column_bytes(stmt, col));
                WideString w = conn->DecodeToWide(s, len);
                text = u"'";
                for (char16_t c : w) {
                    if (c == u'\'') text += u'\'';
                    text += c;
                }
                text += u'\'';
                break;
            }
            case SQLITE_BLOB: {
                auto* p = static_cast<const uint8_t*>(api->sqlite3_column_blob(stmt, col));
                int n = api->sqlite3_column_bytes(stmt, col);
                text = u"X'" + rtl::AnsiToWide(rtl::BytesToHex(p, static_cast<size_t>(n))) + u"'";
                break;
            }
            default:
                text = u"NULL";
        }
        *(static_cast<uint8_t*>(RecBuf) + FDataSize + field->FieldNo - 1) = 0;
        auto* blob = static_cast<TBlob*>(LoadPtr(static_cast<uint8_t*>(RecBuf) + field->Offset));
        if (blob && !text.empty()) {
            int bytes = static_cast<int>(text.size() * 2);
            PPieceHeader piece = TCRBlobData::AllocPiece(bytes);
            std::memcpy(PieceData(piece), text.data(), static_cast<size_t>(bytes));
            piece->Used = bytes;
            blob->GetData()->AppendPiece(piece);
        }
    }
}

bool TSQLiteRecordSet::FetchBlock() {
    TSQLiteConnection* conn = FLiteCommand->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = FLiteCommand->Stmt();
    const int rows = std::max(1, FFetchRows);
    TItemBlock* block = nullptr;
    // The block comes zero-filled: every pointer slot is null until its row is read, so a block
    // that fails half-way can be released safely.
    FBlockMan.AllocBlock(block, rows);
    TRecordItem* oldFirst = FFirstItem;
    TRecordItem* oldLast = FLastItem;
    int n = 0;
    int rc = SQLITE_ROW;
    try {
        TRowPlan plan;
        if (!FDumpData) MakeRowPlan(plan);
        while (true) {
            TRecordItem* item = FBlockMan.BlockItem(block, n);
            void* rec = TBlockManager::RecordOf(item);
            ++n;
            if (FDumpData)
                ReadRowAsText(rec);
            else
                ReadRow(rec, plan);
            conn->ClearPendingError();
            rc = api->sqlite3_step(stmt);
            conn->RaisePendingError();
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) conn->Check(rc);
            if (n == rows) break;
        }
        if (FLiteCommand->GetCursorState() < csFetching) FLiteCommand->SetCursorState(csFetching);
        if (rc == SQLITE_DONE) FLiteCommand->SetCursorState(csFetched);
        TCRRecordSet::FetchBlock(block, n, false);
    } catch (...) {
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
    if (cs != csInactive && cs != csFetched) {
        bool cancel = false;
        DoBeforeFetch(cancel);
        if (!cancel) {
            try {
                FetchBlock();
                fetched = true;
            } catch (...) {
                DoAfterFetch();
                throw;
            }
            DoAfterFetch();
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
    DoOpen(0);
}

void TSQLiteRecordSet::DoClose() {
    if (FLiteCommand->GetCursorState() > csPrepared) FLiteCommand->SetCursorState(csPrepared);
    TCRRecordSet::DoClose();
    if (!FPrepared) {
        const uint8_t kind = FCommandType;
        FLiteCommand->Unprepare();
        FCommandType = kind;
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
