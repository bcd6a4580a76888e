// The metadata dataset: a provider metadata reader's result shown as read-only records.
#include "data/access/DBAccess_DataSet.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// TDAMetaData

TDAMetaData::TDAMetaData(rtl::TComponent* Owner) : TMemDataSet(Owner), FRestrictions(rtl::Create<rtl::TStringList>()) {
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

void TDAMetaData::SetTransaction(TDATransaction* Value) { SetNotifiedReference(FTransaction, Value); }

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
    rtl::TryFinally([&] { ExecuteWithFailover(conn, clOpen, [&] { TMemDataSet::OpenCursorStep(InfoQuery); }); },
                    [&] { EndConnection(); });
}

void TDAMetaData::OpenStep() {
    if (!FConnection) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    if (FIMetaData && FIMetaData->ClassType() != &FConnection->GetIMetaDataClass()) FIMetaData.reset();
    if (!FIMetaData) FIMetaData.reset(FConnection->CreateIMetaData());
    TDATransaction* tr = UsedTransaction();
    ReleaseResult();
    store::TData* data = FIMetaData->GetMetaDataFor(FConnection->IConnection(), tr ? tr->ITransaction() : nullptr,
                                                    FMetaDataKind, FRestrictions.get());
    SetIRecordSet(std::unique_ptr<store::TData>(data));
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

}  // namespace daccess
