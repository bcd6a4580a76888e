// What a generic data provider asks a dataset: its table, key and order, its parameters, and
// statements and transactions run on its connection.
#include "data/access/DBAccess.h"
#include "data/store/CRParser.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

const store::TParserClass& DialectParser(TCustomDADataSet* DataSet) {
    if (TCRCommand* cmd = DataSet->ICommand())
        if (const store::TParserClass* cls = cmd->SQLInfo()->ParserClass()) return *cls;
    return store::TSQLParser::StaticClass();
}

AnsiString StripQuotes(const AnsiString& Name) {
    if (Name.size() >= 2) {
        const char first = Name.front(), last = Name.back();
        if ((first == '"' && last == '"') || (first == '`' && last == '`') || (first == '[' && last == ']') ||
            (first == '\'' && last == '\''))
            return Name.substr(1, Name.size() - 2);
    }
    return Name;
}

void AppendName(AnsiString& List, const AnsiString& Name) {
    if (!List.empty()) List += ";";
    List += Name;
}

}  // namespace

// Every "?" outside string literals, quoted names and comments becomes ":1", ":2", ... in order.
AnsiString NumberQuestionMarks(const AnsiString& SQL, const store::TParserClass& ParserClass, int& Count) {
    rtl::TOwnedPtr<store::TParser> parser(ParserClass.Create(SQL));
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(false);
    parser->SetKeepStringQuotes(true);
    AnsiString out;
    Count = 0;
    AnsiString lexem;
    int64_t copied = 0;
    for (;;) {
        const int code = parser->GetNext(lexem);
        if (code == store::lcEnd) break;
        if (code == store::lcString || code == store::lcComment || code == store::lcIdent || lexem != "?") continue;
        const int64_t at = parser->LastLexemPos();
        out += SQL.substr(static_cast<size_t>(copied), static_cast<size_t>(at - copied));
        out += ":" + rtl::IntToStr(++Count);
        copied = parser->CurrentPos();
    }
    return out + SQL.substr(static_cast<size_t>(std::min<int64_t>(copied, static_cast<int64_t>(SQL.size()))));
}

AnsiString TCustomDADataSet::ProviderTableName() {
    TSQLInfo* info = nullptr;
    if (ICommand()) info = ICommand()->SQLInfo();
    auto normalize = [&](const AnsiString& Name) { return info ? info->NormalizeName(Name, false) : Name; };
    if (Active()) {
        auto* service = dynamic_cast<TDADataSetService*>(DataSetService());
        TCRTablesInfo* tables = FIRecordSetCR ? FIRecordSetCR->TablesInfo() : nullptr;
        if (service && tables && service->UpdatingTableIndex() >= 0 && service->UpdatingTableIndex() < tables->Count())
            return tables->Items(service->UpdatingTableIndex())->TableName();
        return normalize(FUpdatingTable);
    }
    if (!FUpdatingTable.empty()) return normalize(FUpdatingTable);
    // The first name after FROM.
    const AnsiString from = rtl::Trim(GetFromPart(SQL()));
    size_t end = 0;
    while (end < from.size() && from[end] != ' ' && from[end] != ',' && from[end] != '\r' && from[end] != '\n' &&
           from[end] != '\t')
        ++end;
    return normalize(from.substr(0, end));
}

AnsiString TCustomDADataSet::ProviderKeyFields() {
    if (!FKeyFields.empty()) return FKeyFields;
    auto collect = [&] {
        AnsiString result;
        auto* service = dynamic_cast<TDADataSetService*>(DataSetService());
        if (!service) return result;
        for (store::TFieldDesc* desc : service->GetKeyFieldDescs())
            if (FindField(desc->Name)) AppendName(result, rtl::WideToAnsi(desc->Name));
        return result;
    };
    if (Active() || !FConnection) return collect();
    // The fields are known only once the statement ran; the dataset is closed again afterwards.
    AnsiString result;
    Open();
    rtl::TryFinally([&] { result = collect(); }, [&] { Close(); });
    return result;
}

bool TCustomDADataSet::ProviderDefaultOrder(TProviderIndexDef& Index) {
    Index = {};
    const store::TParserClass& parserClass = DialectParser(this);
    const AnsiString order = GetOrderBy(rtl::Trim(SQL()), parserClass);
    if (order.empty()) return false;
    rtl::TOwnedPtr<store::TParser> parser(parserClass.Create(order));
    parser->SetDecSeparator('.');
    AnsiString last;
    AnsiString lexem;
    for (int code; (code = parser->GetNext(lexem)) != store::lcEnd;) {
        if (code == store::lcNumber) {
            const int n = rtl::StrToIntDef(lexem, 0);
            if (n >= 1 && n <= FieldDefs().Count()) {
                last = rtl::WideToAnsi(FieldDefs().Items(n - 1)->Name());
                AppendName(Index.Fields, last);
            }
            continue;
        }
        if (lexem == "," || code == store::lcSymbol) continue;
        if (rtl::UpperCase(lexem) == "DESC") {
            if (!last.empty()) AppendName(Index.DescFields, last);
            continue;
        }
        const AnsiString name = StripQuotes(lexem);
        if (FindField(name)) {
            last = name;
            AppendName(Index.Fields, name);
        }
    }
    return true;
}

void TCustomDADataSet::PSSetCommandText(const AnsiString& Text) {
    if (!Text.empty()) SetSQL(Text);
}

void TCustomDADataSet::PSSetParams(const db::TParams* Value) {
    if (!Value || Value->Count() == 0) return;
    TDAParams* params = Params();
    if (Value->Count() < params->Count()) {
        params->BeginUpdate();
        rtl::TryFinally(
            [&] {
                for (int i = 0; i < Value->Count(); ++i) {
                    db::TParam* source = Value->Items(i);
                    db::TParam* target = params->FindParam(source->Name());
                    if (!target) target = params->Items(i);
                    // The dataset's parameter keeps its name, or its SQL would no longer find it.
                    const AnsiString name = target->Name();
                    target->Assign(source);
                    target->SetName(name);
                }
            },
            [&] { params->EndUpdate(); });
    } else {
        params->Assign(const_cast<db::TParams*>(Value));
    }
}

void TCustomDADataSet::ProviderReset() {
    if (!Active()) return;
    Close();
    Open();
}

void TCustomDADataSet::PSStartTransaction() {
    TCustomDAConnection* conn = UsedConnection();
    if (conn && FAutoCommit && conn->AutoCommit()) UsedUpdateTransaction()->StartTransaction();
}

void TCustomDADataSet::ProviderEndTransaction(bool Commit) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn || !FAutoCommit || !conn->AutoCommit()) return;
    if (Commit)
        UsedUpdateTransaction()->Commit();
    else
        UsedUpdateTransaction()->Rollback();
}

bool TCustomDADataSet::ProviderInTransaction() {
    TDATransaction* t = UsedUpdateTransaction();
    return t && t->Active();
}

int TCustomDADataSet::ProviderExecuteStatement(const AnsiString& SQL, const db::TParams* Params,
                                               TCustomDADataSet** ResultSet) {
    int count = 0;
    const AnsiString text = NumberQuestionMarks(SQL, DialectParser(this), count);
    // Positional parameters become the numbered ones the text now names.
    auto fill = [&](TDAParams* Target) {
        Target->Clear();
        const int n = Params ? Params->Count() : 0;
        for (int i = 0; i < n; ++i) {
            auto* p = static_cast<TDAParam*>(Target->Add());
            p->Assign(Params->Items(i));
            p->SetName(rtl::IntToStr(i + 1));
            if (p->ParamType() == db::ptUnknown) p->SetParamType(db::ptInput);
        }
    };
    if (ResultSet) {
        *ResultSet = nullptr;
        TCustomDAConnection* conn = UsedConnection();
        if (!conn) db::DatabaseError(SConnectionNotDefined, this);
        rtl::TOwnedPtr<TCustomDADataSet> ds(conn->CreateDataSet());
        ds->SetDebug(FDebug);
        ds->SetSQL(text);
        fill(ds->Params());
        ds->Execute();
        const int rows = ds->RowsAffected();
        *ResultSet = ds.release();
        return rows;
    }
    CheckRecordSet();
    CheckDataSetService();
    auto* service = dynamic_cast<TDADataSetService*>(DataSetService());
    if (!service || !service->DAUpdater()) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    TCustomDASQL* query = service->DAUpdater()->UpdateQuery(stCustom);
    query->SetDebug(FDebug);
    TDBAccessUtils::SetTraceSuppressed(query, false);
    query->SetTransaction(UsedUpdateTransaction());
    query->SetSQL(text);
    fill(query->Params());
    query->Execute();
    return query->RowsAffected();
}

bool TCustomDADataSet::PSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta) {
    if (OnUpdateRecord) {
        db::TUpdateAction action = db::uaFail;
        OnUpdateRecord(Delta, UpdateKind, action);
        return action == db::uaApplied;
    }
    // Without a handler the provider writes the record with its own statements.
    return false;
}

}  // namespace daccess
