// The universal connection: the provider chosen by name, the provider connection made and set up
// from the component's settings and option lines, the connection macros.
#include "data/components/Uni.h"
#include "data/components/UniConsts.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

using daccess::TCRConnection;

// ---------------------------------------------------------------------------------------------
// Options

bool TUniConnectionOptions::ConvertEOL() const {
    auto* conn = dynamic_cast<TUniConnection*>(FOwner);
    return conn && conn->TCustomDAConnection::ConvertEOL();
}

void TUniConnectionOptions::SetConvertEOL(bool Value) {
    if (auto* conn = dynamic_cast<TUniConnection*>(FOwner)) conn->SetConvertEOL(Value);
}

TUniConnectionSpecificOptions::TUniConnectionSpecificOptions(TUniConnection* Connection)
    : TSpecificOptionsHolder([Connection] { return Connection->GetProvider(); }), FConnection(Connection) {}

void TUniConnectionSpecificOptions::ValuesChanging(rtl::TObject* Sender) {
    TSpecificOptionsHolder::ValuesChanging(Sender);
    if (FConnection->Connected()) FConnection->Disconnect();
}

// ---------------------------------------------------------------------------------------------
// Construction

TUniConnection::TUniConnection(rtl::TComponent* Owner) : TCustomDAConnection(Owner) {}

void TUniConnection::AfterConstruction() {
    TCustomDAConnection::AfterConstruction();
    FSpecificOptions.reset(rtl::Create<TUniConnectionSpecificOptions>(this));
    FMacros.reset(rtl::Create<TUniMacros>(this));
    FMacros->OnMacrosChanged = [this] { MacrosChanged(); };
    FMacroNames.reset(rtl::Create<rtl::TStringList>());
    FMacroValues.reset(rtl::Create<rtl::TStringList>());
    // Stands in for the default transaction with providers that run several at once.
    FUniTransaction = rtl::Create<TUniTransaction>(nullptr);
    FUniTransaction->SetIsolationLevel(daccess::ilReadCommitted);
    FUniTransaction->SetDefaultConnection(this);
}

void TUniConnection::BeforeDestruction() {
    TCustomDAConnection::BeforeDestruction();
    if (TUniTransaction* tr = FUniTransaction) {
        FUniTransaction = nullptr;
        tr->SetDefaultConnection(nullptr);
        rtl::TObject::Free(tr);
    }
}

TUniConnection::~TUniConnection() {
    if (FMacros) FMacros->OnMacrosChanged = nullptr;
    FSqlFormatter.reset();
    FMacroValues.reset();
    FMacroNames.reset();
    FMacros.reset();
    FSpecificOptions.reset();
}

// ---------------------------------------------------------------------------------------------
// Provider

void TUniConnection::SetProviderName(const AnsiString& Value) {
    const AnsiString name = rtl::Trim(Value);
    if (rtl::SameText(name, FProviderName)) return;
    if (Connected()) db::DatabaseError(SNotAllowedOnActiveConnection, this);
    FProvider = name.empty() ? nullptr : UniProviders().GetProvider(name);
    FreeIConnection();
    FProviderName = name;
    FMacrosChanged = true;
}

TUniProvider* TUniConnection::ProviderIfAny() const {
    if (FProviderName.empty()) return nullptr;
    // A provider registered after the name was set is found now.
    if (!FProvider) const_cast<TUniConnection*>(this)->FProvider = UniProviders().GetProvider(FProviderName);
    return FProvider;
}

void TUniConnection::CheckProvider() const {
    if (!ProviderIfAny()) RaiseProviderNotRegistered(FProviderName);
}

TUniProvider* TUniConnection::GetProvider() const {
    CheckProvider();
    return FProvider;
}

const daccess::TCRConnectionClass& TUniConnection::GetIConnectionClass() const {
    return GetProvider()->GetConnectionClass();
}

const daccess::TCRCommandClass& TUniConnection::GetICommandClass() const { return GetProvider()->GetCommandClass(); }

const daccess::TCRRecordSetClass& TUniConnection::GetIRecordSetClass() const {
    return GetProvider()->GetRecordSetClass();
}

const daccess::TCRMetaDataClass& TUniConnection::GetIMetaDataClass() const { return GetProvider()->GetMetaDataClass(); }

const store::TDataSetServiceClass& TUniConnection::GetDataSetServiceClass() const {
    if (TUniProvider* prov = ProviderIfAny()) return prov->GetDataSetServiceClass();
    return TCustomDAConnection::GetDataSetServiceClass();
}

bool TUniConnection::IsMultipleTransactionsSupported() const {
    // Asked on the way down (unregistering, closing) too, where a missing provider must not raise;
    // every use that needs the provider has checked it by then.
    TUniProvider* prov = ProviderIfAny();
    return prov && prov->IsMultipleTransactionsSupported();
}

AnsiString TUniConnection::GetCurrentSchema() {
    if (FProviderName.empty()) db::DatabaseError(SProviderNotDefined);
    TUniProvider* prov = UniProviders().GetProvider(FProviderName);
    if (!prov) RaiseProviderNotRegistered(FProviderName);
    return prov->GetCurrentSchema();
}

// ---------------------------------------------------------------------------------------------
// Where to connect

void TUniConnection::SetDatabase(const AnsiString& Value) {
    const AnsiString name = rtl::Trim(Value);
    if (name == FDatabase) return;
    if (Connected() && FIConnection && !FIConnection->CanChangeDatabase()) Disconnect();
    FDatabase = name;
    if (FIConnection) FIConnection->SetProp(daccess::pidDatabase, Variant(name));
}

void TUniConnection::SetPort(int32_t Value) {
    if (Value == FPort) return;
    Disconnect();
    FPort = Value;
    if (FIConnection) FIConnection->SetProp(daccess::pidPort, Variant(Value));
}

void TUniConnection::SetSpecificOptions(rtl::TStrings* Value) {
    TSpecificOptionsList* list = SpecificOptions();
    if (Value == list) return;
    list->Clear();
    if (Value)
        for (int i = 0; i < Value->Count(); ++i) list->Add(Value->Strings(i));
}

// ---------------------------------------------------------------------------------------------
// Provider connection

void TUniConnection::ApplyOptionLines() {
    GetProvider()->SetObjectProps(FIConnection, SpecificOptions());
    FSpecificOptions->SetIsModified(false);
}

void TUniConnection::CreateIConnection() {
    TUniProvider* prov = GetProvider();
    if (FIConnection) {
        if (FSpecificOptions->IsModified()) ApplyOptionLines();
        return;
    }
    // The provider pools nothing here: the pool manager of this system is abstract.
    rtl::TOwnedPtr<TCRConnection> conn(prov->GetConnectionClass().Create());
    if (prov->IsDatabaseSupported()) conn->SetProp(daccess::pidDatabase, Variant(FDatabase));
    if (prov->IsPortSupported()) conn->SetProp(daccess::pidPort, Variant(FPort));
    conn->SetProp(daccess::pidDisconnectedMode, Variant(Options()->DisconnectedMode()));
    conn->SetProp(daccess::pidEnableBCD, Variant(Options()->EnableBCD()));
    conn->SetProp(daccess::pidEnableFMTBCD, Variant(Options()->EnableFMTBCD()));
    // A bad value leaves no half-made provider connection behind.
    prov->SetObjectProps(conn.get(), SpecificOptions(), true);
    FSpecificOptions->SetIsModified(false);
    SetIConnection(conn.release());
}

void TUniConnection::SetIConnection(TCRConnection* Value) { TCustomDAConnection::SetIConnection(Value); }

void TUniConnection::PerformConnect() {
    ReraiseAsUniError([this] { TCustomDAConnection::PerformConnect(); });
    TUniProvider* prov = ProviderIfAny();
    if (prov && prov->IsDatabaseSupported() && FDatabase.empty() && FIConnection) {
        Variant v;
        if (daccess::TryGetProp(FIConnection, daccess::pidDatabase, v)) FDatabase = rtl::Trim(v.AsAnsiString());
    }
}

void TUniConnection::PerformDisconnect() {
    ReraiseAsUniError([this] { TCustomDAConnection::PerformDisconnect(); });
}

void TUniConnection::DoError(rtl::Exception* E, bool* Fail, daccess::TConnLostCause& Cause, int RetryCount,
                             bool& Reexecute, bool& Reconnect) {
    auto* error = dynamic_cast<daccess::EDAError*>(E);
    if (!error || dynamic_cast<EUniError*>(E)) {
        TCustomDAConnection::DoError(E, Fail, Cause, RetryCount, Reexecute, Reconnect);
        return;
    }
    EUniError wrapped(*error);
    TCustomDAConnection::DoError(&wrapped, Fail, Cause, RetryCount, Reexecute, Reconnect);
}

// ---------------------------------------------------------------------------------------------
// Companions the base asks for

daccess::TDATransaction* TUniConnection::CreateTransaction() {
    TUniTransaction* tr = rtl::Create<TUniTransaction>(nullptr);
    tr->SetDefaultConnection(this);
    return tr;
}

daccess::IDAConnectionSQL* TUniConnection::CreateSQL() {
    TUniSQL* sql = rtl::Create<TUniSQL>(nullptr);
    sql->SetConnection(this);
    return sql;
}

daccess::TDAMetaData* TUniConnection::CreateMetaData() {
    ZOroReruRure* meta = rtl::Create<ZOroReruRure>(nullptr);
    meta->SetConnection(this);
    return meta;
}

daccess::TCustomDADataSet* TUniConnection::CreateDataSet() {
    TCustomUniDataSet* ds = rtl::Create<TCustomUniDataSet>(nullptr);
    ds->SetConnection(this);
    return ds;
}

daccess::TDAConnectionOptions* TUniConnection::CreateOptions() { return rtl::Create<TUniConnectionOptions>(this); }

// ---------------------------------------------------------------------------------------------
// Transactions and versions

daccess::TDATransaction* TUniConnection::UsedTransaction() {
    if (IsMultipleTransactionsSupported() && FUniTransaction && !DefaultTransaction()->Active()) return FUniTransaction;
    return TCustomDAConnection::UsedTransaction();
}

bool TUniConnection::InTransaction() { return DefaultTransaction()->Active(); }

void TUniConnection::StartTransaction() { StartTransaction(daccess::ilReadCommitted, false); }

void TUniConnection::StartTransaction(daccess::TCRIsolationLevel IsolationLevel, bool ReadOnly) {
    daccess::TDATransaction* tr = DefaultTransaction();
    if (!tr->Active()) {
        tr->SetIsolationLevel(IsolationLevel);
        tr->SetReadOnly(ReadOnly);
    }
    TCustomDAConnection::StartTransaction();
}

AnsiString TUniConnection::ServerVersion() const {
    if (!Connected()) db::DatabaseError(SConnectionIsNotConnected);
    return FIConnection->GetServerVersion();
}

AnsiString TUniConnection::ClientVersion() const {
    if (!Connected()) db::DatabaseError(SConnectionIsNotConnected);
    return FIConnection->GetClientVersion();
}

// ---------------------------------------------------------------------------------------------
// Copying

void TUniConnection::AssignConnect(daccess::TCustomDAConnection* Source) {
    TCustomDAConnection::AssignConnect(Source);
    auto* src = dynamic_cast<TUniConnection*>(Source);
    if (!src) return;
    SetProviderName(src->FProviderName);
    SetDatabase(src->FDatabase);
    SetPort(src->FPort);
    SetSpecificOptions(src->SpecificOptions());
}

void TUniConnection::AssignTo(rtl::TPersistent* Dest) {
    TCustomDAConnection::AssignTo(Dest);
    auto* dest = dynamic_cast<TUniConnection*>(Dest);
    if (!dest) return;
    dest->SetProviderName(FProviderName);
    dest->SetDatabase(FDatabase);
    dest->SetPort(FPort);
    dest->FMacros->Assign(FMacros.get());
    dest->SetSpecificOptions(SpecificOptions());
}

// ---------------------------------------------------------------------------------------------
// Macros

void TUniConnection::MacrosChanged() {
    FMacrosChanged = true;
    ++FMacroVersion;
}

void TUniConnection::ExpandMacros(AnsiString& SQL) {
    TUniProvider* prov = ProviderIfAny();
    if (!prov) return;
    const TUniSqlFormatterClass& cls = prov->GetSqlFormatterClass();
    if (!FSqlFormatter || FSqlFormatter->ClassType() != &cls) {
        FSqlFormatter.reset(cls.Create());
        FSqlFormatter->SetMacroLists(FMacroNames.get(), FMacroValues.get());
        FSqlFormatter->SetParserClass(&prov->GetParserClass());
        FMacrosChanged = true;
    }
    if (FMacrosChanged) {
        PrepareMacroLists(FMacros.get(), FSqlFormatter.get(), FMacroNames.get(), FMacroValues.get());
        FMacrosChanged = false;
    }
    FSqlFormatter->Expand(SQL);
}

}  // namespace components
