// The universal query dataset: provider classes and option lines, connection macros in its text
// and conditions, provider errors wrapped, and the transaction it started in kept.
#include "data/components/Uni.h"
#include "data/components/UniConsts.h"
#include "framework/rtl/Ownership.h"

namespace components {

TUniDataSetSpecificOptions::TUniDataSetSpecificOptions(TCustomUniDataSet* DataSet)
    : TSpecificOptionsHolder([DataSet]() -> TUniProvider* {
          TUniConnection* conn = DataSet->UsedUniConnection();
          if (!conn) db::DatabaseError(SConnectionNotDefined);
          return conn->GetProvider();
      }),
      FDataSet(DataSet) {}

void TUniDataSetSpecificOptions::ValuesChanging(rtl::TObject* Sender) {
    TSpecificOptionsHolder::ValuesChanging(Sender);
    FDataSet->CheckInactive();
}

TCustomUniDataSet::TCustomUniDataSet(rtl::TComponent* Owner) : TCustomDADataSet(Owner) {}

void TCustomUniDataSet::AfterConstruction() {
    FSpecificOptions.reset(rtl::Create<TUniDataSetSpecificOptions>(this));
    TCustomDADataSet::AfterConstruction();
}

void TCustomUniDataSet::BeforeDestruction() {
    TCustomDADataSet::BeforeDestruction();
    FLockTransaction = nullptr;
}

TCustomUniDataSet::~TCustomUniDataSet() = default;

daccess::TCustomDASQL* TCustomUniDataSet::CreateInternalSQL() { return rtl::Create<TUniSQL>(this); }

daccess::TDADataSetOptions* TCustomUniDataSet::CreateOptions() { return rtl::Create<TUniDataSetOptions>(this); }

daccess::TDAEncryptionOptions* TCustomUniDataSet::CreateEncryptionOptions() {
    return rtl::Create<TUniEncryptionOptions>(this);
}

TUniProvider* TCustomUniDataSet::ProviderOrNull() const {
    TUniConnection* conn = UsedUniConnection();
    return conn ? conn->ProviderIfAny() : nullptr;
}

const store::TParserClass& TCustomUniDataSet::ParserClass() const {
    if (TUniProvider* prov = ProviderOrNull()) return prov->GetParserClass();
    return store::TSQLParser::StaticClass();
}

void TCustomUniDataSet::SetSpecificOptions(rtl::TStrings* Value) {
    TSpecificOptionsList* list = SpecificOptions();
    if (Value == list) return;
    list->Clear();
    if (Value)
        for (int i = 0; i < Value->Count(); ++i) list->Add(Value->Strings(i));
}

// ---------------------------------------------------------------------------------------------
// Provider objects and option lines

void TCustomUniDataSet::ApplyLines(bool OnlyWhenModified) {
    if (OnlyWhenModified && !FSpecificOptions->IsModified()) return;
    TUniProvider* prov = ProviderOrNull();
    if (!prov) return;
    if (FIRecordSetCR) prov->SetObjectProps(FIRecordSetCR, SpecificOptions());
    if (store::TDataSetService* service = DataSetService()) prov->SetObjectProps(service, SpecificOptions());
    FSpecificOptions->SetIsModified(false);
}

void TCustomUniDataSet::SetIRecordSet(std::unique_ptr<store::TData> Value) {
    TCustomDADataSet::SetIRecordSet(std::move(Value));
    TUniProvider* prov = ProviderOrNull();
    if (!prov) return;
    if (FICommand) prov->SetObjectProps(FICommand, SpecificOptions());
    if (FIRecordSetCR) {
        FIRecordSetCR->SetProp(daccess::pidLockFetchAll, Variant(FLockFetchAll));
        prov->SetObjectProps(FIRecordSetCR, SpecificOptions());
    }
}

void TCustomUniDataSet::SetDataSetService(rtl::TOwnedPtr<store::TDataSetService> Value) {
    TCustomDADataSet::SetDataSetService(std::move(Value));
    if (TUniProvider* prov = ProviderOrNull())
        if (store::TDataSetService* service = DataSetService()) prov->SetObjectProps(service, SpecificOptions());
}

const store::TFieldTypeMap& TCustomUniDataSet::GetFieldTypeMapClass() const {
    if (TUniProvider* prov = ProviderOrNull()) return prov->GetFieldTypeMapClass();
    return TCustomDADataSet::GetFieldTypeMapClass();
}

db::TFieldClass TCustomUniDataSet::FieldClassFor(db::TFieldType FieldType) {
    if (FieldType == db::ftCursor) return &daccess::TDACursorField::StaticClass();
    return TCustomDADataSet::FieldClassFor(FieldType);
}

bool TCustomUniDataSet::ArrayDefsAsObjects() const {
    TUniProvider* prov = ProviderOrNull();
    return prov ? prov->IsComplexFieldsSupported() : TCustomDADataSet::ArrayDefsAsObjects();
}

bool TCustomUniDataSet::GetFetchAll() const {
    Variant v;
    return daccess::TryGetProp(FIRecordSetCR, daccess::pidFetchAll, v) && v.AsBoolean();
}

void TCustomUniDataSet::SetFetchAll(bool Value) {
    const bool locked = FLockFetchAll;
    FLockFetchAll = false;
    if (FIRecordSetCR) FIRecordSetCR->SetProp(daccess::pidLockFetchAll, Variant(false));
    rtl::TryFinally([&] { TCustomDADataSet::SetFetchAll(Value); },
                    [&] {
                        FLockFetchAll = locked;
                        if (FIRecordSetCR) FIRecordSetCR->SetProp(daccess::pidLockFetchAll, Variant(locked));
                    });
}

// ---------------------------------------------------------------------------------------------
// Text

AnsiString TCustomUniDataSet::AddWhere(const AnsiString& SQL, const AnsiString& Condition) {
    AnsiString condition = Condition;
    if (TUniConnection* conn = UsedUniConnection()) conn->ExpandMacros(condition);
    return daccess::AddWhere(SQL, condition, ParserClass(), true);
}

AnsiString TCustomUniDataSet::GetWhere(const AnsiString& SQL) { return daccess::GetWhere(SQL, ParserClass(), true); }

AnsiString TCustomUniDataSet::GetFromPart(const AnsiString& SQL) { return daccess::GetFrom(SQL, ParserClass(), true); }

// ---------------------------------------------------------------------------------------------
// Connection, transactions, errors

daccess::TDATransaction* TCustomUniDataSet::UsedTransaction() const {
    if (FLockTransaction && UsedConnection()) return FLockTransaction;
    return TCustomDADataSet::UsedTransaction();
}

void TCustomUniDataSet::BeginConnection(bool Counted) {
    TCustomDADataSet::BeginConnection(Counted);
    ApplyLines(true);
    if (!FLockTransaction) FLockTransaction = TCustomDADataSet::UsedTransaction();
}

void TCustomUniDataSet::EndConnection() {
    TCustomDADataSet::EndConnection();
    if (!Prepared() && !Active()) ReleasePin();
}

void TCustomUniDataSet::ReleasePin() { FLockTransaction = nullptr; }

void TCustomUniDataSet::ClientForgetTransaction(daccess::TDATransaction* Transaction) {
    if (Transaction == FLockTransaction) ReleasePin();
    TCustomDADataSet::ClientForgetTransaction(Transaction);
}

void TCustomUniDataSet::Prepare() {
    UniSQL()->RefreshMacroVersion();
    ReraiseAsUniError([this] { TCustomDADataSet::Prepare(); });
}

void TCustomUniDataSet::UnPrepare() {
    ReraiseAsUniError([this] { TCustomDADataSet::UnPrepare(); });
}

void TCustomUniDataSet::Execute() {
    UniSQL()->RefreshMacroVersion();
    ReraiseAsUniError([this] { TCustomDADataSet::Execute(); });
}

void TCustomUniDataSet::OpenCursorStep(bool InfoQuery) {
    UniSQL()->RefreshMacroVersion();
    ReraiseAsUniError([this, InfoQuery] { TCustomDADataSet::OpenCursorStep(InfoQuery); });
}

void TCustomUniDataSet::PostStep() {
    ReraiseAsUniError([this] { TCustomDADataSet::PostStep(); });
}

void TCustomUniDataSet::DeleteStep() {
    ReraiseAsUniError([this] { TCustomDADataSet::DeleteStep(); });
}

void TCustomUniDataSet::ApplyUpdates() {
    ReraiseAsUniError([this] { TCustomDADataSet::ApplyUpdates(); });
}

void TCustomUniDataSet::CloseCursorStep() {
    ReraiseAsUniError([this] { TCustomDADataSet::CloseCursorStep(); });
    if (!Prepared()) ReleasePin();
}

}  // namespace components
