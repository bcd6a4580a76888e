// Parameters, large-object and cursor wrappers, the transaction and the metadata dataset of the
// universal components.
#include <cstring>
#include <vector>

#include "data/components/Uni.h"
#include "data/components/UniConsts.h"

namespace components {

// ---------------------------------------------------------------------------------------------
// Wrappers

void TUniBlob::Disconnect() {
    if (FNativeBlob) FNativeBlob->Disconnect();
}

void TUniCursor::Disconnect() {
    if (FNativeCursor) FNativeCursor->Disconnect();
}

void TUniCursor::NativeCheck() {
    if (FNativeCursor) FNativeCursor->NativeCheck();
}

// ---------------------------------------------------------------------------------------------
// Parameters

TUniParams::TUniParams(rtl::TPersistent* Owner) : TDAParams(Owner, TUniParam::StaticClass()) {}

void TUniParams::Update(rtl::TCollectionItem* Item) {
    if (FUniSQL && !FUniSQL->CreatingParams()) FUniSQL->ClearDescriptorMap();
    TDAParams::Update(Item);
}

TUniParams* TUniParam::UniParams() const { return dynamic_cast<TUniParams*>(Collection()); }

bool TUniParam::IsObjectDataType(db::TFieldType DataType) const {
    switch (DataType) {
        case db::ftCursor:
        case db::ftADT:
        case db::ftArray:
        case db::ftOraBlob:
        case db::ftOraClob: return true;
        default: return TDAParam::IsObjectDataType(DataType);
    }
}

bool TUniParam::IsBlobDataType(db::TFieldType DataType) const {
    return DataType == db::ftOraBlob || DataType == db::ftOraClob || TDAParam::IsBlobDataType(DataType);
}

void TUniParam::CreateObject() {
    if (FParamObject) rtl::AssertFail("Assertion failure", UniUnit, __LINE__);
    const db::TFieldType type = DataType();
    if (type == db::ftCursor)
        FParamObject = TObjectRef::Adopt(store::CreateSharedObject<TUniCursor>());
    else if (IsBlobDataType(type))
        FParamObject = TObjectRef::Adopt(store::CreateSharedObject<TUniBlob>(type == db::ftWideMemo));
    else
        TDAParam::CreateObject();
}

store::TSharedObject* TUniParam::GetParamObject() const {
    store::TSharedObject* held = HeldObject();
    auto* blob = dynamic_cast<TUniBlob*>(held);
    auto* cursor = dynamic_cast<TUniCursor*>(held);
    if (!blob && !cursor) return TDAParam::GetParamObject();
    TUniParams* params = UniParams();
    TUniSQL* sql = params ? params->UniSQL() : nullptr;
    TUniConnection* conn = sql ? sql->UsedUniConnection() : nullptr;
    TUniProvider* prov = conn ? conn->ProviderIfAny() : nullptr;
    if (!prov) db::DatabaseError(SConnectionNotDefined);
    if (cursor) return cursor->NativeCursor() ? static_cast<store::TSharedObject*>(cursor->NativeCursor()) : cursor;
    const TParamObjectClass& cls = prov->GetParamObjectClass(DataType());
    store::TBlob* native = blob->NativeBlob();
    if (!native || std::strcmp(native->ClassName(), cls.ClassName) != 0) {
        auto made = rtl::TSharedRef<store::TBlob>::Adopt(prov->CreateParamObject(DataType()));
        made->SetIsUnicode(blob->IsUnicode());
        native = made.get();
        blob->SetNativeBlob(std::move(made));
    }
    // The value lives in the wrapper: the provider's blob is given it each time it is asked for.
    const int64_t size = blob->GetSize();
    std::vector<char> bytes(static_cast<size_t>(size));
    if (size > 0) blob->Read(0, size, bytes.data());
    native->Truncate(0);
    if (size > 0) native->Write(0, size, bytes.data());
    return native;
}

// ---------------------------------------------------------------------------------------------
// Transaction

const daccess::TCRTransactionClass& TUniTransaction::GetITransactionClass() {
    if (TransactionType() != daccess::ttNative) return TDATransaction::GetITransactionClass();
    TUniConnection* conn = DefaultConnection();
    if (!conn) db::DatabaseError(SConnectionNotDefined);
    return conn->GetProvider()->GetTransactionClass();
}

void TUniTransaction::Commit() {
    CheckActive();
    TDATransaction::Commit();
}

void TUniTransaction::Rollback() {
    CheckActive();
    TDATransaction::Rollback();
}

void TUniTransaction::Savepoint(const AnsiString& Name) {
    CheckActive();
    TDATransaction::Savepoint(Name);
}

void TUniTransaction::ReleaseSavepoint(const AnsiString& Name) {
    CheckActive();
    TDATransaction::ReleaseSavepoint(Name);
}

void TUniTransaction::RollbackToSavepoint(const AnsiString& Name) {
    CheckActive();
    TDATransaction::RollbackToSavepoint(Name);
}

// ---------------------------------------------------------------------------------------------
// Metadata

daccess::TDATransaction* ZOroReruRure::UsedTransaction() const {
    if (FLockTransaction && TDAMetaData::Connection()) return FLockTransaction;
    return TDAMetaData::UsedTransaction();
}

void ZOroReruRure::BeginConnection() {
    TDAMetaData::BeginConnection();
    if (!FLockTransaction) FLockTransaction = TDAMetaData::UsedTransaction();
}

void ZOroReruRure::EndConnection() {
    TDAMetaData::EndConnection();
    if (!Active()) FLockTransaction = nullptr;
}

void ZOroReruRure::ClientForgetTransaction(daccess::TDATransaction* Transaction) {
    if (Transaction == FLockTransaction) FLockTransaction = nullptr;
    TDAMetaData::ClientForgetTransaction(Transaction);
}

void ZOroReruRure::OpenCursorStep(bool InfoQuery) {
    ReraiseAsUniError([this, InfoQuery] { TDAMetaData::OpenCursorStep(InfoQuery); });
}

void ZOroReruRure::CloseStep() {
    ReraiseAsUniError([this] { TDAMetaData::CloseStep(); });
    FLockTransaction = nullptr;
}

}  // namespace components
