// The dataset service: updating table, key, identity and data fields of a query dataset.
#include <algorithm>

#include "data/access/DBAccess.h"
#include "data/store/CRXml.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

bool SameName(const AnsiString& A, const AnsiString& B, bool IgnoreCase) {
    return IgnoreCase ? rtl::AnsiCompareText(A, B) == 0 : A == B;
}

}  // namespace

TDADataSetService::TDADataSetService(store::TMemDataSet* DataSet)
    : TDataSetService(DataSet), FDADataSet(dynamic_cast<TCustomDADataSet*>(DataSet)) {
    if (!FDADataSet) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
}

TDADataSetService::~TDADataSetService() = default;

void TDADataSetService::AfterConstruction() {
    SetSQLGenerator(CreateSQLGenerator());
    TDataSetService::AfterConstruction();
}

TDASQLGenerator* TDADataSetService::CreateSQLGenerator() { return rtl::Create<TDASQLGenerator>(this); }

void TDADataSetService::NewUpdater() { AssignUpdater(rtl::Create<TDADataSetUpdater>(this)); }

TCRRecordSet* TDADataSetService::RecordSet() const { return FDADataSet->ICRRecordSet(); }

TCRTableInfo* TDADataSetService::UpdatingTableInfo() const {
    TCRRecordSet* rs = RecordSet();
    if (FUpdatingTableInfoIdx < 0 || !rs || FUpdatingTableInfoIdx >= rs->TablesInfo()->Count()) return nullptr;
    return rs->TablesInfo()->Items(FUpdatingTableInfoIdx);
}

void TDADataSetService::AfterRecordSetOpen() {
    // The record set made new field descriptions: nothing may keep the old ones.
    if (auto* u = dynamic_cast<TDADataSetUpdater*>(Updater())) u->UnPrepareUpdateQueries();
    ResetTableInfo();
    FindUpdatingTable();
    if (!RecordSetKnowsBaseTables()) AssignBaseTables();
    FIdentityField = GetIdentityField();
    MarkReadOnlyFieldDescs();
}

void TDADataSetService::FindUpdatingTable() {
    FUpdatingTableInfoIdx = -1;
    FIsUpdatingTableFromUpdatingTable = false;
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    TCRTablesInfo* tables = rs->TablesInfo();
    TSQLInfo* info = rs->GetCommand()->SQLInfo();
    const AnsiString updating = info->NormalizeName(FDADataSet->UpdatingTable(), false);
    if (tables->Count() == 0 && updating.empty()) {
        // No column names a base table (a view of expressions): the statements go to the name in
        // the query, which a view with INSTEAD OF triggers takes.
        info->ParseTablesInfo(FDADataSet->GetFinalSQL(), tables);
        FIsUpdatingTableFromUpdatingTable = tables->Count() > 0;
        FUpdatingTableInfoIdx = tables->Count() > 0 ? 0 : -1;
        return;
    }
    if (tables->Count() > 0) {
        if (updating.empty()) {
            FUpdatingTableInfoIdx = 0;
            return;
        }
        int idx = tables->IndexOf(updating);
        if (idx < 0) idx = tables->IndexByAlias(updating);
        if (idx < 0) idx = AddUpdatingView(updating);
        if (idx < 0) db::DatabaseErrorFmt(SWrongUpdatingTable, {updating});
        FUpdatingTableInfoIdx = idx;
    } else if (!updating.empty()) {
        tables->Add()->SetTableName(updating);
        FUpdatingTableInfoIdx = 0;
        FIsUpdatingTableFromUpdatingTable = true;
    }
}

int TDADataSetService::AddUpdatingView(const AnsiString& Name) {
    // The columns of a view name the tables behind it; the view itself stands in the query's
    // FROM. Its columns are written through the view by their names in it, and its triggers
    // take the writes.
    TCRRecordSet* rs = RecordSet();
    TCRTablesInfo* tables = rs->TablesInfo();
    TSQLInfo* info = rs->GetCommand()->SQLInfo();
    rtl::TOwnedPtr<TCRTablesInfo> from(
        rtl::Create<TCRTablesInfo>(rs->GetCommand()->CommandClass().GetTableInfoClass()));
    info->ParseTablesInfo(FDADataSet->GetFinalSQL(), from.get());
    int at = from->IndexOf(Name);
    if (at < 0) at = from->IndexByAlias(Name);
    if (at < 0) return -1;
    // An alias the record set did not learn of names one of its tables.
    if (const int known = tables->IndexOf(from->Items(at)->TableName()); known >= 0) return known;
    TCRTableInfo* view = tables->Add();
    view->SetTableName(from->Items(at)->TableName());
    view->SetTableAlias(from->Items(at)->TableAlias());
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        auto* d = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
        if (d->Hidden || d->HasParent()) continue;
        if (d->TableInfo && d->TableInfo != view &&
            (from->IndexOf(d->TableInfo->TableName()) >= 0 ||
             (!d->TableInfo->TableAlias().empty() && from->IndexByAlias(d->TableInfo->TableAlias()) >= 0)))
            continue;
        d->TableInfo = view;
        d->SetColumnName(d->Name);
    }
    return tables->Count() - 1;
}

void TDADataSetService::MarkReadOnlyFieldDescs() {
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    TCRTableInfo* updating = UpdatingTableInfo();
    const bool setReadOnly = FDADataSet->Options()->SetFieldsReadOnly();
    const bool expressionsKnown = ExpressionsKnown();
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        auto* d = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
        if (d->Hidden) continue;
        // Without column metadata every column is taken as the updating table's.
        const bool foreign = updating && (d->TableInfo ? d->TableInfo != updating : expressionsKnown);
        if (setReadOnly) {
            if (foreign) d->ReadOnly = true;
        } else {
            d->ReadOnly = false;
            if (foreign) d->Required = false;
        }
    }
}

bool TDADataSetService::ExpressionsKnown() {
    return UpdatingTableInfo() && !FIsUpdatingTableFromUpdatingTable &&
           (FBaseTablesAssigned || RecordSetKnowsBaseTables());
}

// Ties each field to the table of the SELECT column it comes from, by the column's alias or name,
// with the column's own name and default expression. When some column's table cannot be told
// (a bare name, * over several tables) and field origins or defaults are asked for, only columns
// matched to a named table are tied; expressions belong to none.
void TDADataSetService::AssignBaseTables() {
    FBaseTablesAssigned = false;
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    TCRTablesInfo* tables = rs->TablesInfo();
    if (tables->Count() == 0) return;
    // The record set names no column's table itself: columns tied to one were tied here, for the
    // same descriptions (prepare and open both arrive here). Matching again would take the names
    // behind the aliases for aliases.
    for (int i = 0; i < rs->Fields().Count(); ++i)
        if (static_cast<TCRFieldDesc*>(rs->Fields().Items(i))->TableInfo) {
            FBaseTablesAssigned = true;
            return;
        }
    TSQLInfo* info = rs->GetCommand()->SQLInfo();
    const bool ignoreCase = info->IdentCase() == 2;
    // A column's prefix names its table by alias (or full name) or by the bare table name.
    std::vector<AnsiString> prefixes, bareNames;
    for (int i = 0; i < tables->Count(); ++i) {
        TCRTableInfo* t = tables->Items(i);
        AnsiString catalog, schema, table;
        info->SplitObjectName(t->TableName(), catalog, schema, table);
        bareNames.push_back(info->UnQuote(table));
        prefixes.push_back(
            info->NormalizeName(t->TableAlias().empty() ? t->TableName() : t->TableAlias(), false, true));
    }
    rtl::TOwnedPtr<TColumnsInfo> columns(rtl::Create<TColumnsInfo>());
    info->ParseColumnsInfo(FDADataSet->GetFinalSQL(), columns.get());
    bool uncertain = false;
    bool starSeen = false;
    int starTable = -1;
    for (int j = 0; j < columns->Count(); ++j) {
        TColumnInfo* c = columns->Items(j);
        if (!c->Table.empty() && !FIsUpdatingTableFromUpdatingTable)
            for (int i = 0; i < tables->Count() && c->TableIndex < 0; ++i)
                if (SameName(c->Table, prefixes[i], ignoreCase) || SameName(c->Table, bareNames[i], ignoreCase))
                    c->TableIndex = i;
        c->Expr = rtl::AnsiUpperCase(c->Expr);
        if (c->Alias.empty()) c->Alias = c->Name.empty() ? c->Expr : c->Name;
        if (c->Name == "*") {
            const int t = c->Table.empty() ? 0 : c->TableIndex;
            if (c->Table.empty() || (starSeen && t != starTable)) uncertain = true;
            if (!starSeen) starTable = t;
            starSeen = true;
        } else if (!c->Name.empty() && c->Table.empty()) {
            uncertain = true;
        }
    }
    const TDADataSetOptions* options = FDADataSet->Options();
    if (!(rs->ExtendedFieldsInfo() || options->DefaultValues() || options->FieldsOrigin())) uncertain = false;
    if (uncertain || options->DefaultValues()) AfterBaseTablesAssigned(tables, columns.get());

    std::vector<bool> used(static_cast<size_t>(columns->Count()), false);
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        auto* d = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
        if (d->HasParent()) continue;
        const AnsiString actual = d->ActualNameAnsi();
        int found = -1;
        for (int j = 0; j < columns->Count() && found < 0; ++j) {
            TColumnInfo* c = columns->Items(j);
            if (used[static_cast<size_t>(j)] || (uncertain && c->TableIndex < 0)) continue;
            if (SameName(c->Alias, actual, ignoreCase)) found = j;
        }
        if (found < 0) {
            if (!uncertain && starTable >= 0) d->TableInfo = tables->Items(starTable);
            continue;
        }
        TColumnInfo* c = columns->Items(found);
        if (c->TableIndex >= 0) d->TableInfo = tables->Items(c->TableIndex);
        // An expression belongs to no table: it is neither written nor does its text serve as a
        // default value.
        if (c->Name.empty()) continue;
        used[static_cast<size_t>(found)] = true;
        if (c->TableIndex < 0 && c->Table.empty() && !uncertain) d->TableInfo = tables->Items(0);
        d->ColumnName = rtl::AnsiToWide(c->Name);
        d->DefaultExpr = c->Expr;
    }
    FBaseTablesAssigned = true;
}

void TDADataSetService::ResetTableInfo() {
    FUpdatingTableInfoIdx = -1;
    FIdentityField = nullptr;
    FSpecialFieldDesc = nullptr;
    FBaseTablesAssigned = false;
    FKeyFieldDescsKnown = FDataFieldDescsKnown = FAllDataFieldDescsKnown = false;
    FKeyFieldDescs.clear();
    FDataFieldDescs.clear();
    FAllDataFieldDescs.clear();
}

void TDADataSetService::ReinitFieldInfo() {
    FKeyFieldDescsKnown = FDataFieldDescsKnown = FAllDataFieldDescsKnown = false;
    FindUpdatingTable();
    AfterFieldsKnown();
}

void TDADataSetService::SetFieldProperties() {
    AfterFieldsKnown();
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    const bool origin = FDADataSet->Options()->FieldsOrigin();
    for (db::TField* f : FDADataSet->Fields()) {
        if (f->FieldKind() != db::fkData) continue;
        auto* d = static_cast<TCRFieldDesc*>(rs->FindField(f->FieldName()));
        if (!d) continue;
        if (origin) SetFieldOrigin(f, d);
        if (d->AutoIncrement) f->SetAutoGenerateValue(db::arAutoInc);
    }
    if (FDADataSet->DefaultFields())
        for (const WideString& name : GetHiddenFields())
            if (db::TField* f = FDADataSet->FindField(name)) {
                f->SetVisible(false);
                f->SetReadOnly(true);
            }
    // The server fills the special column: a record is posted without a value for it.
    FSpecialFieldDesc = GetSpecialFieldDesc();
    if (FSpecialFieldDesc) FSpecialFieldDesc->Required = false;
}

void TDADataSetService::SetFieldOrigin(db::TField* Field, TCRFieldDesc* FieldDesc) {
    const AnsiString actual = FieldDesc->ActualNameAnsi();
    if (!FieldDesc->TableInfo) {
        Field->SetOrigin(actual);
        return;
    }
    TSQLInfo* info = RecordSet()->GetCommand()->SQLInfo();
    Field->SetOrigin(info->NormalizeName(FieldDesc->TableInfo->TableName()) + "." + actual);
}

void TDADataSetService::WriteFieldAttributes(db::TField* Field, store::TFieldDesc* FieldDesc, store::XmlWriter& Writer,
                                             const WideString& NameOverride) {
    TDataSetService::WriteFieldAttributes(Field, FieldDesc, Writer, NameOverride);
    if (auto* cr = dynamic_cast<TCRFieldDesc*>(FieldDesc); cr && cr->TableInfo)
        store::WriteXmlAttribute(Writer, u"rs:basetable", rtl::AnsiToWide(cr->TableInfo->TableName()));
}

void TDADataSetService::AfterFieldsKnown() {
    FIsAnyFieldCanBeModified = false;
    for (db::TField* f : FDADataSet->Fields())
        if (f->FieldKind() == db::fkData && !f->ReadOnly()) FIsAnyFieldCanBeModified = true;
    if (FDADataSet->Options()->DefaultValues()) SetDefaultExpressions();
}

void TDADataSetService::SetDefaultExpressions() {
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    for (db::TField* f : FDADataSet->Fields()) {
        if (f->FieldKind() != db::fkData) continue;
        // A column without a known default keeps what the field was given.
        auto* d = static_cast<TCRFieldDesc*>(rs->FindField(f->FieldName()));
        if (d && !d->DefaultExpr.empty()) f->SetDefaultExpression(d->DefaultExpr);
    }
}

bool TDADataSetService::CanModify() {
    return !FDADataSet->ReadOnly() && !FDADataSet->UniDirectional() &&
           (FDADataSet->LocalUpdate() || (FDADataSet->CachedUpdates() && FDADataSet->OnUpdateRecord) ||
            FDADataSet->UpdateObject());
}

bool TDADataSetService::FieldDescsByNames(const AnsiString& Names, bool Raise,
                                          std::vector<store::TFieldDesc*>& Result) {
    Result.clear();
    TCRRecordSet* rs = RecordSet();
    if (!rs) return false;
    TSQLInfo* info = rs->GetCommand()->SQLInfo();
    size_t pos = 0;
    while (pos <= Names.size()) {
        size_t next = Names.find(';', pos);
        if (next == AnsiString::npos) next = Names.size();
        const AnsiString name = info->NormalizeName(rtl::Trim(Names.substr(pos, next - pos)), false, true);
        pos = next + 1;
        if (name.empty()) continue;
        const WideString w = rtl::AnsiToWide(name);
        store::TFieldDesc* d = rs->FindFieldByName(w);
        if (!d) d = rs->FindFieldByColumnName(w);
        if (!d) {
            if (Raise) db::DatabaseErrorFmt(SKeyFieldNotFound, {FDADataSet->Name(), name});
            Result.clear();
            return false;
        }
        Result.push_back(d);
    }
    return true;
}

void TDADataSetService::DetectKeyFieldDescs(std::vector<store::TFieldDesc*>& Result) {
    Result.clear();
    if (!FDADataSet->KeyFields().empty()) {
        FieldDescsByNames(FDADataSet->KeyFields(), true, Result);
        return;
    }
    if (FIdentityField) {
        Result.push_back(FIdentityField);
        return;
    }
    if (TCRTableInfo* t = UpdatingTableInfo()) {
        const AnsiString cols = GetUniqueIndexColumns(t->TableName(), AnsiString());
        if (!cols.empty()) FieldDescsByNames(cols, false, Result);
    }
}

void TDADataSetService::DetectDataFieldDescs(std::vector<store::TFieldDesc*>& Result, bool AllTables) {
    Result.clear();
    TCRRecordSet* rs = RecordSet();
    if (!rs) return;
    TCRTableInfo* updating = UpdatingTableInfo();
    const bool defaultFields = FDADataSet->DefaultFields();
    // Where the record set names each column's table, a column without one is an expression.
    const bool expressionsKnown = ExpressionsKnown();
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        auto* d = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
        if (d->Hidden || d->HasParent() || d->ReadOnly) continue;
        if (expressionsKnown && !d->TableInfo) continue;
        if (d == FIdentityField && !IdentityIsDataField()) continue;
        if (!AllTables && updating && d->TableInfo && d->TableInfo != updating) continue;
        if (!defaultFields && !FDADataSet->FindField(d->Name)) continue;
        Result.push_back(d);
    }
}

const std::vector<store::TFieldDesc*>& TDADataSetService::GetKeyFieldDescs() {
    if (!FKeyFieldDescsKnown) {
        DetectKeyFieldDescs(FKeyFieldDescs);
        FKeyFieldDescsKnown = true;
    }
    return FKeyFieldDescs;
}

const std::vector<store::TFieldDesc*>& TDADataSetService::GetDataFieldDescs(bool AllTables) {
    if (AllTables) {
        if (!FAllDataFieldDescsKnown) {
            DetectDataFieldDescs(FAllDataFieldDescs, true);
            FAllDataFieldDescsKnown = true;
        }
        return FAllDataFieldDescs;
    }
    if (!FDataFieldDescsKnown) {
        DetectDataFieldDescs(FDataFieldDescs, false);
        FDataFieldDescsKnown = true;
    }
    return FDataFieldDescs;
}

TKeyAndDataFields TDADataSetService::GetKeyAndDataFields(bool AllTables) {
    TKeyAndDataFields r;
    r.KeyFieldDescs = GetKeyFieldDescs();
    r.DataFieldDescs = GetDataFieldDescs(AllTables);
    return r;
}

AnsiString TDADataSetService::GetUniqueIndexColumns(const AnsiString& TableName, const AnsiString& IndexName) {
    rtl::TConnectionUse<TCustomDADataSet> use(FDADataSet, true, true);
    TSQLInfo* info = RecordSet()->GetCommand()->SQLInfo();
    AnsiString catalog, schema, table;
    info->SplitObjectName(TableName, catalog, schema, table);
    if (schema.empty()) schema = GetCurrentSchema();
    rtl::TOwnedPtr<TDAMetaData> md(rtl::Create<TDAMetaData>(nullptr));
    md->SetConnection(FDADataSet->UsedConnection());
    md->SetTransaction(FDADataSet->UsedTransaction());
    md->SetMetaDataKind("indexcolumns");
    md->Restrictions()->SetText("table_catalog=" + catalog + "\r\ntable_schema=" + schema +
                                "\r\ntable_name=" + info->NormalizeName(table, false, true) +
                                "\r\nindex_name=" + IndexName + "\r\nunique=1");
    md->Open();
    AnsiString result, firstIndex, firstSchema;
    bool first = true;
    for (md->First(); !md->Eof(); md->Next()) {
        const AnsiString idx = md->FieldByName("INDEX_NAME")->AsString();
        db::TField* sf = md->FindField("INDEX_SCHEMA");
        const AnsiString sch = sf ? sf->AsString() : AnsiString();
        if (first) {
            firstIndex = idx;
            firstSchema = sch;
            first = false;
        } else if (idx != firstIndex || sch != firstSchema) {
            break;
        }
        if (!result.empty()) result += ";";
        result += md->FieldByName("COLUMN_NAME")->AsString();
    }
    return result;
}

int TDADataSetService::GetRecCount() {
    // Line feeds keep a comment at the end of the query from hiding the closing parenthesis.
    return FDADataSet->CountServerRows("SELECT count(*) FROM (\r\n" + FDADataSet->GetFinalSQL() + "\r\n)");
}

void TDADataSetService::NotSupported() { throw rtl::Exception(SOperationNotSupported); }

}  // namespace daccess
