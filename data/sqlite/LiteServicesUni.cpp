// The SQLite services of the query dataset.
#include "data/sqlite/LiteServicesUni.h"

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
    auto* sql = dynamic_cast<TCustomDASQL*>(CurrentUpdateQuery());
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
        if (!d->TableInfo || d->TableInfo == updating) return d;
    }
    return nullptr;
}

int TCustomLiteDataSetService::GetRecCount() {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    AnsiString text = FDADataSet->GetFinalSQL();
    if (conn) text = SetOrderBy(text, AnsiString(), conn->GetICommandClass().GetParserClass());
    return FDADataSet->CountServerRows("SELECT count(*) FROM (\r\n" + text + "\r\n)");
}

void TCustomLiteDataSetService::AfterFieldsKnown() {
    TDADataSetService::AfterFieldsKnown();
    TCRRecordSet* rs = RecordSet();
    TCRTableInfo* updating = UpdatingTableInfo();
    if (!rs || !updating || !(rs->ExtendedFieldsInfo() || FDADataSet->Options()->DefaultValues())) return;
    TSQLInfo* info = rs->GetCommand()->SQLInfo();
    AnsiString catalog, schema, table;
    info->SplitObjectName(updating->TableName(), catalog, schema, table);
    rtl::TOwnedPtr<TDAMetaData> md(rtl::Create<TDAMetaData>(nullptr));
    md->SetConnection(FDADataSet->UsedConnection());
    md->SetTransaction(FDADataSet->UsedTransaction());
    md->SetMetaDataKind("Columns");
    md->Restrictions()->SetText("table_name=" + info->NormalizeName(table, false, true));
    md->Open();
    store::TFieldDesc* identity = nullptr;
    for (md->First(); !md->Eof(); md->Next()) {
        const AnsiString column = md->FieldByName("COLUMN_NAME")->AsString();
        store::TFieldDesc* d = nullptr;
        for (int i = 0; i < rs->Fields().Count() && !d; ++i) {
            auto* cr = static_cast<TCRFieldDesc*>(rs->Fields().Items(i));
            if (cr->TableInfo && cr->TableInfo != updating) continue;
            if (rtl::AnsiCompareText(cr->ActualNameAnsi(), column) == 0) d = cr;
        }
        if (!d) continue;
        db::TField* nullable = md->FieldByName("NULLABLE");
        if (!nullable->IsNull() && nullable->AsInteger() == 0) {
            d->AutoIncrement = true;
            identity = d;
        }
        if (FDADataSet->Options()->DefaultValues()) {
            db::TField* def = md->FindField("DEFAULT_VALUE");
            if (def && !def->IsNull())
                if (db::TField* f = FDADataSet->FindField(d->Name)) f->SetDefaultExpression(def->AsString());
        }
    }
    if (identity && identity != FIdentityField) {
        FIdentityField = identity;
        FKeyFieldDescsKnown = FDataFieldDescsKnown = FAllDataFieldDescsKnown = false;
    }
}

}  // namespace sqlite
