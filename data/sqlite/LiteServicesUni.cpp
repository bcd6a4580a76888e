// The SQLite services of the query dataset.
#include "data/sqlite/LiteServicesUni.h"

#include <map>

#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace daccess;

void TCustomLiteSQLGenerator::GenerateInsertSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex) {
    TDASQLGenerator::GenerateInsertSQL(Fields, ModifiedOnly, BatchIndex);
    if (!FFldSB.empty() || !ModifiedOnly) return;
    Clear();
    TDASQLGenerator::GenerateInsertSQL(Fields, false, BatchIndex);
}

bool TCustomLiteDataSetUpdater::GetIdentityFieldValue(Variant& Value) {
    TCustomDASQL* sql = CurrentUpdateSQL();
    if (!sql) return false;
    Value = Variant(sql->LastInsertId());
    return true;
}

void TCustomLiteDataSetService::NewUpdater() { AssignUpdater(rtl::Create<TCustomLiteDataSetUpdater>(this)); }

TDASQLGenerator* TCustomLiteDataSetService::CreateSQLGenerator() { return rtl::Create<TCustomLiteSQLGenerator>(this); }

bool TCustomLiteDataSetService::CanModify() {
    return TDADataSetService::CanModify() || (!FDADataSet->ReadOnly() && FIsAnyFieldCanBeModified);
}

bool TCustomLiteDataSetService::RecordSetKnowsBaseTables() {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    auto* lite = conn ? dynamic_cast<TSQLiteConnection*>(conn->IConnection()) : nullptr;
    return lite && lite->API() && lite->API()->HasColumnMetadata();
}

store::TFieldDesc* TCustomLiteDataSetService::GetIdentityField() {
    TCRRecordSet* rs = RecordSet();
    if (!rs) return nullptr;
    TCRTableInfo* updating = UpdatingTableInfo();
    for (int i = 0; i < rs->Fields().Count(); ++i) {
        auto* d = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
        if (rtl::AnsiCompareText(rtl::WideToAnsi(d->Name), "rowid") != 0) continue;
        if (d->TableInfo == updating) return d;
        // A row id the engine names no table for is the updating table's only when the query
        // reads no other table.
        if (!d->TableInfo && rs->TablesInfo()->Count() <= 1) return d;
    }
    return nullptr;
}

int TCustomLiteDataSetService::GetRecCount() {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    AnsiString text = FDADataSet->GetFinalSQL();
    if (conn) text = SetOrderBy(text, AnsiString(), conn->GetICommandClass().GetParserClass());
    return FDADataSet->CountServerRows("SELECT count(*) FROM (\r\n" + text + "\r\n)");
}

std::vector<TCustomLiteDataSetService::TTableColumn> TCustomLiteDataSetService::ReadTableColumns(
    const AnsiString& TableName) {
    TSQLInfo* info = RecordSet()->GetCommand()->SQLInfo();
    AnsiString catalog, schema, table;
    info->SplitObjectName(TableName, catalog, schema, table);
    rtl::TOwnedPtr<TDAMetaData> md(rtl::Create<TDAMetaData>(nullptr));
    md->SetConnection(FDADataSet->UsedConnection());
    md->SetTransaction(FDADataSet->UsedTransaction());
    md->SetMetaDataKind("Columns");
    md->Restrictions()->SetText("table_name=" + info->NormalizeName(table, false, true));
    md->Open();
    std::vector<TTableColumn> result;
    db::TField* name = md->FieldByName("COLUMN_NAME");
    db::TField* nullable = md->FieldByName("NULLABLE");
    db::TField* def = md->FindField("DEFAULT_VALUE");
    for (md->First(); !md->Eof(); md->Next()) {
        TTableColumn c;
        c.Name = name->AsString();
        c.NotNull = !nullable->IsNull() && nullable->AsInteger() == 0;
        if (def && !def->IsNull()) c.DefaultValue = def->AsString();
        result.push_back(std::move(c));
    }
    return result;
}

void TCustomLiteDataSetService::AfterBaseTablesAssigned(TCRTablesInfo* Tables, TColumnsInfo* Columns) {
    const bool origin = FDADataSet->Options()->FieldsOrigin();
    const bool defaults = FDADataSet->Options()->DefaultValues();
    TCRTableInfo* updating = UpdatingTableInfo();
    // The columns a "*" stood for, kept in the tables' order behind it.
    std::map<TColumnInfo*, TColumnInfo*> starOf;
    for (int t = 0; t < Tables->Count(); ++t) {
        TCRTableInfo* table = Tables->Items(t);
        if (!origin && table != updating) continue;
        const bool defaultsHere = defaults && table == updating;
        const std::vector<TTableColumn> rows = ReadTableColumns(table->TableName());
        auto find = [&rows](const AnsiString& Name) -> const TTableColumn* {
            for (const TTableColumn& r : rows)
                if (rtl::AnsiCompareText(r.Name, Name) == 0) return &r;
            return nullptr;
        };
        for (int j = 0; j < Columns->Count(); ++j) {
            TColumnInfo* c = Columns->Items(j);
            if (c->TableIndex >= 0 && c->TableIndex != t) continue;
            if (c->Name == "*") {
                int at = j + 1;
                while (at < Columns->Count()) {
                    auto it = starOf.find(Columns->Items(at));
                    if (it == starOf.end() || it->second != c) break;
                    ++at;
                }
                for (const TTableColumn& r : rows) {
                    auto* added = rtl::Create<TColumnInfo>();
                    added->Name = added->Alias = r.Name;
                    added->Table = c->Table;
                    added->TableIndex = t;
                    if (defaultsHere) added->Expr = r.DefaultValue;
                    Columns->Insert(at++, added);
                    starOf[added] = c;
                }
                j = at - 1;
                continue;
            }
            if (c->Name.empty() || (c->TableIndex == t && !defaultsHere)) continue;
            if (const TTableColumn* r = find(c->Name)) {
                if (defaults) c->Expr = r->DefaultValue;
                c->TableIndex = t;
            }
        }
    }
}

void TCustomLiteDataSetService::AfterFieldsKnown() {
    TDADataSetService::AfterFieldsKnown();
    TCRRecordSet* rs = RecordSet();
    TCRTableInfo* updating = UpdatingTableInfo();
    if (!rs || !updating || !(rs->ExtendedFieldsInfo() || FDADataSet->Options()->DefaultValues())) return;
    store::TFieldDesc* identity = nullptr;
    for (const TTableColumn& column : ReadTableColumns(updating->TableName())) {
        store::TFieldDesc* d = nullptr;
        for (int i = 0; i < rs->Fields().Count() && !d; ++i) {
            auto* cr = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
            if (cr->TableInfo && cr->TableInfo != updating) continue;
            if (rtl::AnsiCompareText(cr->ActualNameAnsi(), column.Name) == 0) d = cr;
        }
        if (!d) continue;
        db::TField* f = FDADataSet->FindField(d->Name);
        if (column.NotNull) {
            d->AutoIncrement = true;
            if (f) f->SetAutoGenerateValue(db::arAutoInc);
            identity = d;
        }
        if (FDADataSet->Options()->DefaultValues() && !column.DefaultValue.empty() && f)
            f->SetDefaultExpression(column.DefaultValue);
    }
    if (identity && identity != FIdentityField) {
        FIdentityField = identity;
        FKeyFieldDescsKnown = FDataFieldDescsKnown = FAllDataFieldDescsKnown = false;
    }
}

}  // namespace sqlite
