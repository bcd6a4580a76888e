// The data source of the component layer and the access utilities through which the update
// machinery and providers reach the components' internals.
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Ownership.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// TCRDataSource

void TCRDataSource::AssignTo(rtl::TPersistent* Dest) {
    if (auto* d = dynamic_cast<db::TDataSource*>(Dest)) {
        d->SetDataSet(DataSet());
        d->SetAutoEdit(AutoEdit());
        d->SetEnabled(Enabled());
        return;
    }
    db::TDataSource::AssignTo(Dest);
}

// ---------------------------------------------------------------------------------------------
// TDBAccessUtils

void TDBAccessUtils::WrongClass(const rtl::TObject* Obj, int Line) {
    rtl::AssertFail(Obj ? Obj->ClassName() : store::SAssertionFailure, DBAccessUnit, Line);
}

void TDBAccessUtils::CheckConnection(TCustomDADataSet* DataSet) {
    if (!DataSet) WrongClass(nullptr, __LINE__);
    DataSet->CheckConnection();
}

TCustomDAConnection* TDBAccessUtils::UsedConnection(TCustomDADataSet* DataSet) {
    if (!DataSet) WrongClass(nullptr, __LINE__);
    return DataSet->UsedConnection();
}

TCustomDAConnection* TDBAccessUtils::SQLUsedConnection(TCustomDASQL* SQL) {
    if (!SQL) WrongClass(nullptr, __LINE__);
    return SQL->UsedConnection();
}

void TDBAccessUtils::SetAutoCommit(rtl::TComponent* Obj, bool Value) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->SetAutoCommit(Value);
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->SetAutoCommit(Value);
    WrongClass(Obj, __LINE__);
}

TCRConnection* TDBAccessUtils::GetIConnection(TCustomDAConnection* Connection) {
    if (!Connection) WrongClass(nullptr, __LINE__);
    return Connection->IConnection();
}

void TDBAccessUtils::InternalConnect(TCustomDAConnection* Connection) {
    if (!Connection) WrongClass(nullptr, __LINE__);
    Connection->InternalConnect();
}

void TDBAccessUtils::InternalDisconnect(TCustomDAConnection* Connection) {
    if (!Connection) WrongClass(nullptr, __LINE__);
    Connection->InternalDisconnect();
}

void TDBAccessUtils::SetTraceSuppressed(rtl::TComponent* Obj, bool Value) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->SetTraceSuppressed(Value);
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->InternalSQL()->SetTraceSuppressed(Value);
    rtl::AssertFail(Obj ? AnsiString("Obj is ") + Obj->ClassName() : AnsiString(store::SAssertionFailure), DBAccessUnit,
                    __LINE__);
}

AnsiString TDBAccessUtils::GetSQL(rtl::TComponent* Obj) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->SQL();
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->SQL();
    WrongClass(Obj, __LINE__);
}

AnsiString TDBAccessUtils::GetFinalSQL(rtl::TComponent* Obj) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->GetFinalSQL();
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->GetFinalSQL();
    WrongClass(Obj, __LINE__);
}

TDAParams* TDBAccessUtils::GetParams(rtl::TComponent* Obj) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->Params();
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->Params();
    WrongClass(Obj, __LINE__);
}

void TDBAccessUtils::Execute(rtl::TComponent* Obj) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->Execute();
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->Execute();
    WrongClass(Obj, __LINE__);
}

int TDBAccessUtils::GetRowsAffected(rtl::TComponent* Obj) {
    if (auto* sql = dynamic_cast<TCustomDASQL*>(Obj)) return sql->RowsAffected();
    if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) return ds->RowsAffected();
    WrongClass(Obj, __LINE__);
}

void TDBAccessUtils::SetSQLText(rtl::TComponent* Obj, const AnsiString& Text, bool NoMacroScan, bool KeepParams) {
    TCustomDASQL* sql = dynamic_cast<TCustomDASQL*>(Obj);
    if (!sql)
        if (auto* ds = dynamic_cast<TCustomDADataSet*>(Obj)) sql = ds->InternalSQL();
    if (!sql) WrongClass(Obj, __LINE__);
    rtl::TScopedValue<bool> macros(sql->FNoMacroScan, NoMacroScan);
    rtl::TScopedValue<bool> params(sql->FKeepParams, KeepParams);
    sql->SetSQL(Text);
}

TCRRecordSet* TDBAccessUtils::GetIRecordSet(TCustomDADataSet* DataSet) {
    if (!DataSet) WrongClass(nullptr, __LINE__);
    return DataSet->ICRRecordSet();
}

TCRCommand* TDBAccessUtils::GetICommand(TCustomDADataSet* DataSet) {
    if (!DataSet) WrongClass(nullptr, __LINE__);
    return DataSet->ICommand();
}

int64_t TDBAccessUtils::GetLastInsertId(TCustomDADataSet* DataSet) {
    if (!DataSet) WrongClass(nullptr, __LINE__);
    return DataSet->LastInsertId();
}

}  // namespace daccess
