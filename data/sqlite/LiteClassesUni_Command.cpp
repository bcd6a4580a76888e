#include <algorithm>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace daccess;
using namespace store;

namespace {

// Blanks, semicolons and comments only: what may follow the one statement of a command.
bool OnlyBlanksAndComments(std::string_view Text) {
    size_t i = 0;
    const size_t n = Text.size();
    while (i < n) {
        const char c = Text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == ';') {
            ++i;
        } else if (c == '-' && i + 1 < n && Text[i + 1] == '-') {
            const size_t e = Text.find('\n', i);
            i = e == std::string_view::npos ? n : e + 1;
        } else if (c == '/' && i + 1 < n && Text[i + 1] == '*') {
            const size_t e = Text.find("*/", i + 2);
            // The engine also takes an unclosed comment as running to the end.
            i = e == std::string_view::npos ? n : e + 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

TSQLiteCommand::TSQLiteCommand() = default;

TSQLiteCommand::~TSQLiteCommand() {
    try {
        Unprepare();
    } catch (...) {
    }
}

const TCRTableInfoClass& TSQLiteCommand::GetTableInfoClass() { return TSQLiteTableInfo::StaticClass(); }
const TSQLInfoClass& TSQLiteCommand::GetSQLInfoClass() { return TSQLiteInfo::StaticClass(); }
const TParserClass& TSQLiteCommand::GetParserClass() { return TLiteParser::StaticClass(); }
const TCRMapRulesClass& TSQLiteCommand::GetMapRulesClass() { return TLiteMapRules::StaticClass(); }

void TSQLiteCommand::SetConnection(TCRConnection* Value) {
    if (Value == FConnection) return;
    Unprepare();
    TCRCommand::SetConnection(Value);
    FLiteConnection = static_cast<TSQLiteConnection*>(Value);
}

void TSQLiteCommand::Prepare() {
    if (FStmt) return;
    if (!FLiteConnection) throw rtl::Exception(SConnectionNotDefined);
    if (std::all_of(FSQL.begin(), FSQL.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        throw rtl::Exception(SEmptySQLStatement);
    // ASCII text is the same in either encoding: prepared as it stands, without a copy.
    AnsiString encoded;
    std::string_view sql = FSQL;
    if (!rtl::IsAscii(sql)) {
        encoded = FLiteConnection->EncodeString(FSQL);
        sql = encoded;
    }
    TSQLite3API* api = FLiteConnection->API();
    TStatementOwner stmt(TFinalizeStatement{api});
    const char* tail = nullptr;
    int rc = api->sqlite3_prepare_v2(api->SQLite, sql.data(), static_cast<int>(sql.size()), stmt.Receive(), &tail);
    if (rc != SQLITE_OK) FLiteConnection->Check(rc);
    // The engine compiles only the first statement: running it alone would drop the rest unseen.
    if (tail && !OnlyBlanksAndComments(std::string_view(tail, static_cast<size_t>(sql.data() + sql.size() - tail))))
        throw rtl::Exception(SMultipleStatements);
    if (stmt) FLiteConnection->AddLiveCommand(this);
    FStmt = std::move(stmt);
    FCursorState = csPrepared;
}

void TSQLiteCommand::Unprepare() {
    if (!FStmt) return;
    FStmt.reset();
    FBoundTexts.clear();
    if (FLiteConnection) FLiteConnection->RemoveLiveCommand(this);
    FCursorState = csInactive;
}

void TSQLiteCommand::Reset() noexcept {
    if (FStmt && FLiteConnection) FLiteConnection->API()->sqlite3_reset(FStmt.get());
}

void TSQLiteCommand::Execute(int /*Iters*/) {
    if (FCursorState > csPrepared) return;
    const bool prepareHere = !FStmt;
    try {
        if (prepareHere) Prepare();
        if (!FLiteConnection) throw rtl::Exception(SConnectionNotDefined);
        TSQLite3API* api = FLiteConnection->API();
        // A statement that text prepares to nothing (only a comment) has no handle: nothing to run.
        if (FStmt) {
            api->sqlite3_reset(FStmt.get());
            BindParams();
            const bool changesRows = api->sqlite3_column_count(FStmt.get()) == 0;
            const int64_t totalBefore = changesRows ? FLiteConnection->TotalChanges() : -1;
            FLiteConnection->ClearPendingError();
            FLastStepResult = api->sqlite3_step(FStmt.get());
            FLiteConnection->RaisePendingError();
            if (FLastStepResult != SQLITE_ROW && FLastStepResult != SQLITE_DONE) {
                // The step's own code is generic on old engines; reset gives the specific one.
                FLiteConnection->Check(FLastStepResult);
            }
            FLiteConnection->SetLastInsertId(api->sqlite3_last_insert_rowid(api->SQLite));
            FRowsAffected = api->sqlite3_changes(api->SQLite);
            // A view's INSTEAD OF trigger changes rows that the statement itself does not count:
            // the count is unknown then, not 0.
            if (changesRows && FRowsAffected == 0 && totalBefore >= 0 && FLiteConnection->TotalChanges() > totalBefore)
                FRowsAffected = -1;
        }
        if (prepareHere) Unprepare();
    } catch (...) {
        // A statement that failed half-way still holds the transaction the engine began for it:
        // every later write would join that transaction and go when the statement is next reset.
        if (prepareHere)
            Unprepare();
        else
            Reset();
        throw;
    }
    if (!FOpening && AfterExecute) AfterExecute();
}

AnsiString TSQLiteCommand::ParseSQL(const AnsiString& SQL, TParamDescs* Params, bool /*IsScan*/,
                                    const AnsiString& /*RenamePrefix*/) {
    if (!FScanParams) return SQL;
    if (!Params) rtl::AssertFail(SAssertionFailure, LiteClassesUnit, 1637);
    Params->Clear();
    // Only a colon starts a parameter: a text without one needs no lexer.
    if (SQL.find(':') == AnsiString::npos) return SQL;
    rtl::TOwnedPtr<TParser> parser(TLiteParser::StaticClass().Create(SQL));
    parser->SetSkipBlanks(true);
    parser->SetSkipComments(true);
    parser->SetUpperCaseKeywords(false);
    std::vector<AnsiString> taken;
    // The engine tells parameter names apart by case, we do not: each later spelling of a name
    // is written as its first one, so the engine sees one parameter where we bind one.
    std::vector<AnsiString> spellings;
    std::vector<std::pair<size_t, size_t>> respelt;  // (start, length) of the lexeme, spelling index
    std::vector<size_t> respeltAs;
    AnsiString st;
    int code;
    while ((code = parser->GetNext(st)) != lcEnd) {
        if (!(code == lxColon || st == ":")) continue;
        code = parser->GetNext(st);
        if (code == lcEnd) break;
        if (code == lxColon || st == ":") {
            // "::" starts no parameter, and the lexeme after the pair is not one either.
            if (parser->GetNext(st) == lcEnd) break;
            continue;
        }
        if (code != lcIdent && code != lcNumber && code < 100) continue;
        AnsiString name = st;
        if (!name.empty() && name.front() == '"') {
            name.erase(0, 1);
            if (!name.empty() && name.back() == '"') name.pop_back();
        }
        AnsiString key = rtl::AnsiUpperCase(name);
        if (auto it = std::find(taken.begin(), taken.end(), key); it != taken.end()) {
            const size_t first = static_cast<size_t>(it - taken.begin());
            const auto end = static_cast<size_t>(parser->CurrentPos());
            if (st != spellings[first] && end >= st.size() && SQL.compare(end - st.size(), st.size(), st) == 0) {
                respelt.emplace_back(end - st.size(), st.size());
                respeltAs.push_back(first);
            }
            continue;
        }
        taken.push_back(key);
        spellings.push_back(st);
        TParamDesc* p = CommandClass().GetParamDescClass().Create();
        p->SetName(name);
        Params->Add(p);
    }
    if (respelt.empty()) return SQL;
    AnsiString text = SQL;
    for (size_t i = respelt.size(); i-- > 0;)
        text.replace(respelt[i].first, respelt[i].second, spellings[respeltAs[i]]);
    return text;
}

AnsiString TSQLiteCommand::CreateProcCall(const AnsiString&, bool, bool) {
    throw rtl::Exception(SStoredProcNotSupported);
}

bool TSQLiteCommand::SetProp(int Prop, const Variant& Value) { return TCRCommand::SetProp(Prop, Value); }

bool TSQLiteCommand::GetProp(int Prop, Variant& Value) {
    if (Prop == pidRowsAffected) {
        Value = FRowsAffected;
        return true;
    }
    return TCRCommand::GetProp(Prop, Value);
}

namespace {

void ScanFormat(const AnsiString& Format, AnsiString& Target, char& Separator, char Canonical) {
    if (Format.empty()) return;
    Target = Format;
    size_t pos = Format.find_first_of("-./:\\");
    if (pos == AnsiString::npos) return;
    Separator = Format[pos];
    std::replace(Target.begin(), Target.end(), Separator, Canonical);
}

}  // namespace

void TSQLiteCommand::UpdateDateFormats() {
    FDateSeparator = '-';
    FDateFormat = "yyyy-mm-dd";
    FTimeSeparator = ':';
    FTimeFormat = "hh:nn:ss";
    if (!FLiteConnection) return;
    ScanFormat(FLiteConnection->DateFormat(), FDateFormat, FDateSeparator, '-');
    ScanFormat(FLiteConnection->TimeFormat(), FTimeFormat, FTimeSeparator, ':');
}

AnsiString TSQLiteCommand::FormatDateValue(TMemDataType DataType, rtl::TDateTime Value) const {
    AnsiString datePart = FDateFormat;
    std::replace(datePart.begin(), datePart.end(), '-', FDateSeparator);
    rtl::TFormatSettings fs = rtl::FormatSettings();
    fs.TimeSeparator = FTimeSeparator;
    AnsiString fmt;
    if (DataType == mdtDate)
        fmt = datePart;
    else if (DataType == mdtTime)
        fmt = FTimeFormat;
    else
        fmt = datePart + " " + FTimeFormat;
    // A separator outside the pattern letters is written as a literal.
    AnsiString quoted;
    for (char c : fmt) {
        if (c == '-' || c == '.' || c == '/' || c == '\\') {
            quoted += '"';
            quoted += c;
            quoted += '"';
        } else {
            quoted += c;
        }
    }
    return rtl::FormatDateTime(quoted, Value, fs);
}

void TSQLiteCommand::BindParams() {
    TSQLite3API* api = FLiteConnection->API();
    int expected = api->sqlite3_bind_parameter_count(FStmt.get());
    int actual = ParamCount();
    if (expected != actual) throw rtl::Exception(rtl::Format(SIncorrectParamCount, {expected, actual}));
    if (FBoundTexts.size() < static_cast<size_t>(actual)) FBoundTexts.resize(static_cast<size_t>(actual));
    for (int i = 0; i < actual; ++i) BindParam(i + 1, Params(i));
}

// Binds one parameter by its declared type: numbers as integers or reals, dates as text in the
// connection's date formats, bytes and blobs as a blob, anything else as text in the connection's
// encoding. Text the engine reads in place is held in FBoundTexts until the next bind.
void TSQLiteCommand::BindParam(int Index, TParamDesc* Param) {
    TSQLite3API* api = FLiteConnection->API();
    if (Param->GetNull()) {
        FLiteConnection->Check(api->sqlite3_bind_null(FStmt.get(), Index));
        return;
    }
    TBoundText& held = FBoundTexts[static_cast<size_t>(Index - 1)];
    held.Value = Param->GetValue();
    const Variant& v = held.Value;
    if (v.IsNull() || v.IsEmpty()) {
        FLiteConnection->Check(api->sqlite3_bind_null(FStmt.get(), Index));
        return;
    }
    // Text is bound from `held`, which outlives the step.
    auto bindHeldText = [&](AnsiString Text) {
        held.Encoded = std::move(Text);
        return api->sqlite3_bind_text(FStmt.get(), Index, held.Encoded.c_str(), static_cast<int>(held.Encoded.size()),
                                      SQLITE_STATIC);
    };
    int rc = SQLITE_OK;
    switch (Param->GetDataType()) {
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtUInt16:
        case mdtBoolean:
        case mdtInt64:
        case mdtUInt32:
            rc = api->sqlite3_bind_int64(FStmt.get(), Index,
                                         v.VType() == rtl::varBoolean ? (v.AsBoolean() ? 1 : 0) : v.AsInt64());
            break;
        case mdtFloat:
        case mdtCurrency:
        case mdtBCD:
        case mdtFmtBCD: rc = api->sqlite3_bind_double(FStmt.get(), Index, v.AsDouble()); break;
        case mdtDate:
        case mdtTime:
        case mdtDateTime:
        case mdtSQLTimeStamp: rc = bindHeldText(FormatDateValue(Param->GetDataType(), v.AsDateTime())); break;
        case mdtBlob:
        case mdtBytes:
        case mdtVarBytes: {
            TBytes bytes;
            if (v.IsArray()) {
                if (!v.IsByteArray() || VarArrayDimCount(v) != 1) throw rtl::Exception(SCannotConvertType);
                bytes = v.AsBytes();
            } else if (v.IsPointer()) {
                auto* blob = dynamic_cast<TBlob*>(static_cast<TSharedObject*>(v.AsPointer()));
                if (!blob) throw rtl::Exception(SCannotConvertType);
                blob->MergePieces();
                bytes = blob->GetAsBytes();
            } else {
                AnsiString s = v.AsAnsiString();
                bytes.assign(s.begin(), s.end());
            }
            // The engine takes its own copy: it never reads our memory after the call.
            rc = api->sqlite3_bind_blob(FStmt.get(), Index, bytes.data(), static_cast<int>(bytes.size()),
                                        SQLITE_TRANSIENT);
            break;
        }
        default: {
            // ASCII text reads the same in every encoding the connection writes: it goes as it is,
            // read in place from the held value.
            if (v.VType() == rtl::varString) {
                const std::string_view a = v.StrRef();
                if (rtl::IsAscii(a)) {
                    // An empty text holds no block; a null address would bind NULL instead of ''.
                    rc = api->sqlite3_bind_text(FStmt.get(), Index, a.empty() ? "" : a.data(),
                                                static_cast<int>(a.size()), SQLITE_STATIC);
                    break;
                }
            } else if (v.VType() == rtl::varOleStr) {
                rc = bindHeldText(FLiteConnection->EncodeWideString(v.WideRef()));
                break;
            }
            WideString w;
            if (v.IsPointer()) {
                auto* blob = dynamic_cast<TBlob*>(static_cast<TSharedObject*>(v.AsPointer()));
                if (!blob) throw rtl::Exception(SCannotConvertType);
                w = blob->GetAsWideString();
            } else {
                w = v.AsWideString();
            }
            rc = bindHeldText(FLiteConnection->EncodeWideString(w));
            break;
        }
    }
    FLiteConnection->Check(rc);
}

// ---------------------------------------------------------------------------------------------
// SQL information

void TSQLiteInfo::ParseTablesInfo(const AnsiString& SQL, TCRTablesInfo* TablesInfo) {
    TSQLInfo::ParseTablesInfo(SQL, TablesInfo);
    for (int i = 0; i < TablesInfo->Count(); ++i) {
        TCRTableInfo* t = TablesInfo->Items(i);
        t->SetTableNameFull(t->TableName());
    }
}

TSQLiteInfo* LiteSQLInfo() {
    static rtl::TOwnedPtr<TSQLiteInfo> info(rtl::Create<TSQLiteInfo>(nullptr));
    return info.get();
}

// ---------------------------------------------------------------------------------------------
// Loader

const TCRRecordSetClass& TSQLiteLoader::GetRecordSetClass() { return TSQLiteRecordSet::StaticClass(); }

TCRCommand* TSQLiteLoader::CreateCommand() { return rtl::Create<TSQLiteCommand>(); }

}  // namespace sqlite
