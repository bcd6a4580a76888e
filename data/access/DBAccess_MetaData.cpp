// The metadata dataset, the data source of the component layer and the access utilities.
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// TDAMetaData

TDAMetaData::TDAMetaData(rtl::TComponent* Owner)
    : TMemDataSet(Owner), FRestrictions(rtl::Create<rtl::TStringList>()) {
    FRestrictions->OnChange = [this](rtl::TObject*) {
        if (!ComponentState().Contains(rtl::csReading) && !ComponentState().Contains(rtl::csLoading)) Close();
    };
}

void TDAMetaData::Release() {
    if (FReleased) return;
    FReleased = true;
    try {
        Close();
    } catch (...) {
        // Going away regardless.
    }
    ReleaseResult();
    if (FConnection) {
        FConnection->UnRegisterClient(this);
        FConnection->RemoveFreeNotification(this);
        FConnection = nullptr;
    }
    FIMetaData.reset();
}

void TDAMetaData::BeforeDestruction() {
    Release();
    TMemDataSet::BeforeDestruction();
}

TDAMetaData::~TDAMetaData() {
    // The result belongs to the reader, never to the memory dataset.
    FIRecordSet.release();
}

void TDAMetaData::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TMemDataSet::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (AComponent == FTransaction) FTransaction = nullptr;
    if (AComponent == FConnection) SetConnection(nullptr);
}

void TDAMetaData::ReleaseResult() {
    // SetIRecordSet would free the reader's store.
    FIRecordSet.release();
}

void TDAMetaData::SetMetaDataKind(const AnsiString& Value) {
    if (Value == FMetaDataKind) return;
    if (!ComponentState().Contains(rtl::csReading) && !ComponentState().Contains(rtl::csLoading)) Close();
    FMetaDataKind = Value;
}

void TDAMetaData::SetConnection(TCustomDAConnection* Value) {
    if (Value == FConnection) return;
    if (FConnection) {
        if (!ComponentState().Contains(rtl::csReading)) Close();
        FConnection->UnRegisterClient(this);
        FConnection->RemoveFreeNotification(this);
    }
    FConnection = Value;
    if (Value) {
        Value->RegisterClient(this, [this](rtl::TObject*, bool Connecting) {
            if (Connecting) return;
            if (FConnection && FConnection->Options()->DisconnectedMode()) {
                if (TCRRecordSet* rs = FIMetaData ? FIMetaData->RecordSet() : nullptr) rs->UnprepareFields();
            } else {
                Close();
            }
        });
        Value->FreeNotification(this);
    }
}

void TDAMetaData::SetTransaction(TDATransaction* Value) {
    if (Value == FTransaction) return;
    if (FTransaction) FTransaction->RemoveFreeNotification(this);
    FTransaction = Value;
    if (Value) Value->FreeNotification(this);
}

void TDAMetaData::ClientForgetTransaction(TDATransaction* Transaction) {
    if (Transaction == FTransaction) FTransaction = nullptr;
}

TDATransaction* TDAMetaData::UsedTransaction() const {
    if (!FConnection) return nullptr;
    if (FConnection->IsMultipleTransactionsSupported() && FTransaction) return FTransaction;
    return FConnection->UsedTransaction();
}

void TDAMetaData::BeginConnection() {
    if (!FConnection) db::DatabaseError(SConnectionNotDefined);
    FConnection->InternalConnect();
    if (FConnection->IsMultipleTransactionsSupported()) {
        TDATransaction* tr = UsedTransaction();
        if (!tr) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
        tr->AutoStart();
    }
}

void TDAMetaData::EndConnection() {
    if (!FConnection) return;
    FConnection->InternalDisconnect();
    if (FConnection->IsMultipleTransactionsSupported())
        if (TDATransaction* tr = UsedTransaction()) tr->AutoEnd();
}

void TDAMetaData::OpenCursorStep(bool InfoQuery) {
    if (!FConnection) db::DatabaseError(SConnectionNotDefined);
    TCustomDAConnection* conn = FConnection;
    BeginConnection();
    try {
        ExecuteWithFailover(conn, clOpen, [&] { TMemDataSet::OpenCursorStep(InfoQuery); });
    } catch (...) {
        EndConnection();
        throw;
    }
    EndConnection();
}

void TDAMetaData::OpenStep() {
    if (!FConnection) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    if (FIMetaData && FIMetaData->ClassType() != &FConnection->GetIMetaDataClass()) FIMetaData.reset();
    if (!FIMetaData) FIMetaData.reset(FConnection->CreateIMetaData());
    TDATransaction* tr = UsedTransaction();
    ReleaseResult();
    store::TData* data = FIMetaData->GetMetaDataFor(FConnection->IConnection(), tr ? tr->ITransaction() : nullptr,
                                                    FMetaDataKind, FRestrictions.get());
    SetIRecordSet(data);
    try {
        TMemDataSet::OpenStep();
    } catch (...) {
        ReleaseResult();
        throw;
    }
}

void TDAMetaData::CloseStep() {
    TMemDataSet::CloseStep();
    FieldDefs().SetUpdated(false);
    ReleaseResult();
}

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
    rtl::AssertFail(Obj ? AnsiString("Obj is ") + Obj->ClassName() : AnsiString(store::SAssertionFailure),
                    DBAccessUnit, __LINE__);
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
