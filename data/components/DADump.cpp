#include "data/components/DADump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

#include "framework/db/DB.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

using daccess::TCustomDAConnection;
using daccess::TCustomDADataSet;

void AppendFloatDumpText(AnsiString& Out, double Value) {
    // SQLite reads an out-of-range literal as infinity; it stores no NaN at all.
    if (std::isnan(Value)) {
        Out += "NULL";
        return;
    }
    if (std::isinf(Value)) {
        Out += Value > 0 ? "9e999" : "-9e999";
        return;
    }
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, Value);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    Out += text;
    // An integral value keeps a fraction, or it would read back as an integer.
    if (text.find_first_of(".e") == std::string_view::npos) Out += ".0";
}

AnsiString FloatToDumpText(double Value) {
    AnsiString text;
    AppendFloatDumpText(text, Value);
    return text;
}

// =============================================================================================
// TDADumpOptions

void TDADumpOptions::AssignTo(rtl::TPersistent* Dest) {
    if (auto* d = dynamic_cast<TDADumpOptions*>(Dest)) {
        d->FGenerateHeader = FGenerateHeader;
        d->FAddDrop = FAddDrop;
        d->FQuoteNames = FQuoteNames;
        d->FCompleteInsert = FCompleteInsert;
        return;
    }
    TPersistent::AssignTo(Dest);
}

// =============================================================================================
// TDADumpProcessor

TDADumpProcessor* TDADumpProcessorClass::Create(TDADump* Dump) const { return rtl::Create<TDADumpProcessor>(Dump); }

TDADumpProcessor::~TDADumpProcessor() = default;

void TDADumpProcessor::SetProp(int Prop, const Variant& /*Value*/) {
    rtl::AssertFail(rtl::IntToStr(Prop), DADumpUnit, 209);
}

Variant TDADumpProcessor::GetProp(int Prop) { rtl::AssertFail(rtl::IntToStr(Prop), DADumpUnit, 203); }

void TDADumpProcessor::WriteLine(const AnsiString& Line) {
    if (FDump->OutputStream()) {
        if (FUTF8 && !FBOMWritten) {
            FPending += "\xEF\xBB\xBF";
            FBOMWritten = true;
        }
        FPending += Line;
        FPending += "\r\n";
        // Lines go to the stream in large pieces rather than one by one.
        if (FPending.size() >= 65536) FlushOutput();
    } else {
        FDump->SQL()->Add(FUTF8 ? rtl::UTF8ToAnsi(Line) : Line);
    }
}

void TDADumpProcessor::FlushOutput() {
    if (FPending.empty()) return;
    const std::string text = std::exchange(FPending, {});
    FDump->OutputStream()->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TDADumpProcessor::CheckBackupQuery(const AnsiString& Query) {
    if (!Query.empty() && FDump->TableList()->Count() > 1) throw rtl::Exception(SBackupQueryOneTable);
}

void TDADumpProcessor::Backup(const AnsiString& QueryText) {
    const AnsiString query = rtl::Trim(QueryText);
    CheckBackupQuery(query);
    // The output's encoding is fixed for the whole text.
    FUTF8 = FDump->OutputStream() != nullptr && OutputUTF8();
    FBOMWritten = false;
    rtl::TStrings* sql = FDump->SQL();
    sql->BeginUpdate();
    rtl::TryFinally([&] { sql->Clear(); }, [&] { sql->EndUpdate(); });
    if (FDump->Options()->GenerateHeader()) {
        AnsiString header;
        FDump->AddHeader(header);
        size_t from = 0;
        while (from < header.size()) {
            size_t eol = header.find("\r\n", from);
            if (eol == AnsiString::npos) eol = header.size();
            WriteLine(Out(header.substr(from, eol - from)));
            from = eol + 2;
        }
    }
    // What was written reaches the stream also when the backup fails part-way.
    rtl::TryFinally(
        [&] {
            BeforeBackupObjects();
            BackupObjects(query);
            AfterBackupObjects();
        },
        [&] { FlushOutput(); });
}

TCustomDADataSet* TDADumpProcessor::CreateQuery() {
    rtl::TOwnedPtr<TCustomDADataSet> ds(FDump->Connection()->CreateDataSet());
    ds->SetConnection(FDump->Connection());
    ds->Options()->SetExtendedFieldsInfo(false);
    // Connected, so that its record set exists and takes the processor's settings.
    ds->CheckConnection();
    if (daccess::TCRRecordSet* rs = daccess::TDBAccessUtils::GetIRecordSet(ds.get()))
        rs->SetProp(daccess::pidExtendedFieldsInfo, Variant(false));
    return ds.release();
}

TCustomDADataSet* TDADumpProcessor::GetQuery() { return CreateQuery(); }

daccess::TSQLInfo* TDADumpProcessor::GetSQLInfo() {
    TCustomDAConnection* conn = FDump->Connection();
    if (!conn) throw rtl::Exception(daccess::SConnectionNotDefined);
    return conn->GetICommandClass().CreateSQLInfo();
}

AnsiString TDADumpProcessor::QuoteName(const AnsiString& Name) {
    rtl::TOwnedPtr<daccess::TSQLInfo> info(GetSQLInfo());
    if (FDump->Options()->QuoteNames() || info->QuotesNeeded(Name)) return info->QuoteName(Name);
    return Name;
}

void TDADumpProcessor::BackupObjects(const AnsiString& Query) {
    if (!Query.empty()) {
        BackupData({}, Query, 1, 1);
        return;
    }
    rtl::TOwnedPtr<rtl::TStringList> tables(rtl::Create<rtl::TStringList>());
    rtl::TStrings* names = FDump->TableList();
    if (names->Count() > 0) {
        rtl::TOwnedPtr<daccess::TSQLInfo> info(GetSQLInfo());
        for (int i = 0; i < names->Count(); ++i)
            tables->Add(info->NormalizeName(names->Strings(i), FDump->Options()->QuoteNames()));
    } else {
        rtl::TOwnedPtr<rtl::TStringList> all(rtl::Create<rtl::TStringList>());
        FDump->Connection()->GetTableNames(all.get(), false);
        OrderTables(all.get());
        for (int i = 0; i < all->Count(); ++i) tables->Add(QuoteName(all->Strings(i)));
    }
    const int n = tables->Count();
    for (int i = 0; i < n; ++i) BackupData(tables->Strings(i), {}, i + 1, n);
}

void TDADumpProcessor::BackupData(const AnsiString& TableName, const AnsiString& Query, int TableNum, int TableCount) {
    rtl::TOwnedPtr<TCustomDADataSet> ds(GetQuery());
    FQuery = ds.get();
    rtl::TryFinally(
        [&] {
            ds->SetSQL(Query.empty() ? "SELECT * FROM " + TableName : Query);
            ds->Open();
            AnsiString table = TableName;
            if (!Query.empty()) {
                rtl::TOwnedPtr<daccess::TSQLInfo> info(GetSQLInfo());
                const daccess::TCRTableInfoClass& tic = FDump->Connection()->GetICommandClass().GetTableInfoClass();
                rtl::TOwnedPtr<daccess::TCRTablesInfo> tablesInfo(rtl::Create<daccess::TCRTablesInfo>(tic));
                info->ParseTablesInfo(Query, tablesInfo.get());
                if (tablesInfo->Count() != 1) throw rtl::Exception(SQueryOneTable);
                table = info->NormalizeName(tablesInfo->Items(0)->TableName(), FDump->Options()->QuoteNames());
            }
            WriteLine({});
            if (FDump->Options()->AddDrop()) WriteLine(Out("DELETE FROM " + table + ";"));
            BackupRows(table, FDump->Options()->CompleteInsert() || !Query.empty(), TableNum, TableCount);
            ds->Close();
        },
        [&] { FQuery = nullptr; });
}

AnsiString TDADumpProcessor::InsertPrefix(const AnsiString& Table, bool NameColumns) {
    AnsiString prefix = "INSERT INTO " + Table;
    if (NameColumns) {
        prefix += "(";
        for (int i = 0; i < FQuery->FieldCount(); ++i) {
            if (i > 0) prefix += ", ";
            prefix += QuoteName(rtl::WideToAnsi(FQuery->Fields()[i]->FieldName()));
        }
        prefix += ")";
    }
    prefix += " VALUES (";
    return Out(prefix);
}

void TDADumpProcessor::RowWritten(const AnsiString& Table, int TableNum, int TableCount, int Number, int Count) {
    // A one-way dataset knows only the rows it has fetched so far.
    if (FDump->OnBackupProgress)
        FDump->OnBackupProgress(FDump, Table, TableNum, TableCount,
                                Count > 0 ? std::min(100, static_cast<int>(Number * 100LL / Count)) : 100);
}

void TDADumpProcessor::BackupRows(const AnsiString& Table, bool NameColumns, int TableNum, int TableCount) {
    TCustomDADataSet* ds = FQuery;
    if (ds->IsEmpty()) return;
    const AnsiString prefix = InsertPrefix(Table, NameColumns);
    const int count = ds->RecordCount();
    int number = 0;
    AnsiString line;
    for (ds->First(); !ds->Eof(); ds->Next()) {
        line = prefix;
        for (int i = 0; i < ds->FieldCount(); ++i) {
            if (i > 0) line += ", ";
            line += GetFieldValueForDump(ds->Fields()[i]);
        }
        line += ");";
        WriteLine(line);
        RowWritten(Table, TableNum, TableCount, ++number, count);
    }
}

namespace {

AnsiString Quoted(const AnsiString& Text) {
    AnsiString out;
    out.reserve(Text.size() + 2);
    out += '\'';
    for (char c : Text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

}  // namespace

AnsiString TDADumpProcessor::GetFieldValueForDump(db::TField* Field) {
    if (Field->IsNull()) return "NULL";
    switch (Field->DataType()) {
        case db::ftSmallint:
        case db::ftInteger:
        case db::ftWord: return rtl::IntToStr(Field->AsInteger());
        case db::ftBoolean: return Field->AsBoolean() ? "-1" : "0";
        case db::ftFloat: return FloatToDumpText(Field->AsFloat());
        case db::ftBCD: {
            AnsiString s = rtl::CurrToStr(Field->AsCurrency());
            for (char& c : s)
                if (c == rtl::FormatSettings().DecimalSeparator) c = '.';
            return s;
        }
        case db::ftDate: return "'" + rtl::FormatDateTime("yyyy-mm-dd", Field->AsDateTime()) + "'";
        case db::ftTime: return "'" + rtl::FormatDateTime("hh:nn:ss", Field->AsDateTime()) + "'";
        case db::ftDateTime: return "'" + rtl::FormatDateTime("yyyy-mm-dd hh:nn:ss", Field->AsDateTime()) + "'";
        case db::ftLargeint: return rtl::IntToStr(Field->AsLargeInt());
        case db::ftFMTBcd: {
            AnsiString s = Field->AsString();
            for (char& c : s)
                if (c == rtl::FormatSettings().DecimalSeparator) c = '.';
            return s;
        }
        default:
            if (FUTF8) return Quoted(rtl::WideToUTF8(Field->AsWideString()));
            return Quoted(Field->AsString());
    }
}

// =============================================================================================
// TDADump

TDADump::TDADump(rtl::TComponent* Owner) : TComponent(Owner) {
    FSQL.reset(rtl::Create<rtl::TStringList>());
    FTables.reset(rtl::Create<rtl::TStringList>());
}

TDADump::~TDADump() { FProcessor.reset(); }

void TDADump::AfterConstruction() {
    TComponent::AfterConstruction();
    FOptions.reset(CreateOptions());
}

void TDADump::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FConnection) FConnection = nullptr;
}

const TDADumpProcessorClass& TDADump::GetProcessorClass() { rtl::AssertFail("Assertion failure", DADumpUnit, 580); }

void TDADump::SetProcessor(TDADumpProcessor* Value) { FProcessor.reset(Value); }

AnsiString TDADump::TableNamesRead() { rtl::AssertFail("Assertion failure", DADumpUnit, 628); }

void TDADump::TableNamesWrite(const AnsiString& /*Value*/) { rtl::AssertFail("Assertion failure", DADumpUnit, 633); }

TDADumpOptions* TDADump::CreateOptions() { return rtl::Create<TDADumpOptions>(this); }

TDAScript* TDADump::CreateScript() { rtl::AbstractError(); }

void TDADump::BeginConnection() {
    if (!FConnection) throw rtl::Exception(daccess::SConnectionNotDefined);
    FConnection->InternalConnect();
}

void TDADump::EndConnection() {
    if (FConnection) FConnection->InternalDisconnect();
}

void TDADump::AddHeader(AnsiString& /*Text*/) { rtl::AbstractError(); }

void TDADump::SetConnection(TCustomDAConnection* Value) {
    if (FConnection == Value) return;
    if (FConnection) FConnection->RemoveFreeNotification(this);
    FConnection = Value;
    if (FConnection) FConnection->FreeNotification(this);
}

void TDADump::SetSQL(rtl::TStrings* Value) {
    if (FSQL->Text() != Value->Text()) FSQL->Assign(Value);
}

void TDADump::RunBackup(rtl::TStream* Stream, const AnsiString& Query) {
    BeginConnection();
    rtl::TryFinally(
        [&] {
            SetProcessor(GetProcessorClass().Create(this));
            FStream = Stream;
            FProcessor->Backup(Query);
        },
        [&] {
            FStream = nullptr;
            EndConnection();
        });
}

void TDADump::Backup() { RunBackup(nullptr, {}); }

void TDADump::BackupQuery(const AnsiString& Query) { RunBackup(nullptr, Query); }

void TDADump::BackupToStream(rtl::TStream* Stream, const AnsiString& Query) { RunBackup(Stream, Query); }

void TDADump::BackupToFile(const AnsiString& FileName, const AnsiString& Query) {
    rtl::TFileStream file(FileName, rtl::fmCreate);
    RunBackup(&file, Query);
}

void TDADump::RestoreFromFile(const AnsiString& FileName) {
    rtl::TFileStream file(FileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    RestoreFromStream(&file);
}

void TDADump::RestoreFromStream(rtl::TStream* Stream) {
    rtl::TOwnedPtr<TDAScript> script(CreateScript());
    script->InternalSQL()->SetConnection(FConnection);
    script->SetDebug(FDebug);
    script->OnError = OnError;
    const int64_t size = Stream->Size();
    TDAScriptUtils::SetStream(script.get(), Stream);
    // All or nothing, and one commit instead of one per statement: unless the caller runs a
    // transaction of its own, the restore runs in one.
    bool own = false;
    if (FConnection) BeginConnection();
    rtl::TryFinally(
        [&] {
            if (FConnection) {
                if (!FConnection->InTransaction()) {
                    FConnection->StartTransaction();
                    own = true;
                }
                SetProcessor(GetProcessorClass().Create(this));
                FProcessor->BeginRestore();
            }
            while (script->ExecuteNext()) {
                if (OnRestoreProgress && size > 0)
                    OnRestoreProgress(this, static_cast<int>(script->NextStatementOffset() * 100 / size));
            }
            if (own) {
                FConnection->Commit();
                own = false;
            }
        },
        [&] {
            TDAScriptUtils::ClearStream(script.get());
            if (own) {
                try {
                    FConnection->Rollback();
                } catch (...) {
                }
            }
            if (FConnection) EndConnection();
        });
}

}  // namespace components
