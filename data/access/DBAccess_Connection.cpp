// The connection component: provider connection, clients, counted connects, statements without a
// dataset, name lists, and the error decisions of a lost connection.
#include <algorithm>
#include <mutex>

#include "data/access/CRConnectionPool.h"
#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

TConnectDialogHook DefConnectDialogHook;

namespace {

bool IsStringVariant(const Variant& V) {
    const rtl::TVarType t = V.VType();
    return t == rtl::varString || t == rtl::varOleStr;
}

bool IsInputParam(const db::TParam* P) {
    const db::TParamType t = P->ParamType();
    return t == db::ptUnknown || t == db::ptInput || t == db::ptInputOutput;
}

// The name lists' checks of a pair array, made before anything is set.
void CheckPairs(const std::vector<Variant>& Params) {
    if (Params.size() == 1 && Params[0].IsNull()) return;
    if (Params.size() % 2 != 0) throw db::EDatabaseError(SInvalidParamsArray);
    for (size_t i = 0; i < Params.size(); i += 2)
        if (!IsStringVariant(Params[i])) throw db::EDatabaseError(SInvalidParamsArray);
}

bool NoPairs(const std::vector<Variant>& Params) {
    return Params.empty() || (Params.size() == 1 && Params[0].IsNull());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TCustomDAConnection::TCustomDAConnection(rtl::TComponent* Owner)
    : TCustomConnection(Owner), FTransactions(rtl::Create<TDATransactions>()) {
    SetLoginPrompt(true);
}

void TCustomDAConnection::AfterConstruction() {
    TCustomConnection::AfterConstruction();
    FOptions.reset(CreateOptions());
    FPoolingOptions.reset(CreatePoolingOptions());
    FDataTypeMap.reset(CreateDataTypeMap());
    TDATransaction* tr = rtl::Create<TDATransaction>(nullptr);
    tr->SetIsInternal(true);
    if (!Name().empty()) tr->SetName("tr" + Name());
    FInternalTransaction = tr;
    tr->SetDefaultConnection(this);
}

void TCustomDAConnection::BeforeDestruction() {
    if (!ComponentState().Contains(rtl::csDestroying)) Destroying();
    try {
        Disconnect();
    } catch (...) {
        // Nothing is left to tell of a failing close.
    }
    ClearRefs();
    FCommand.reset();
    if (TDATransaction* tr = FInternalTransaction) {
        RemoveTransaction(tr);
        FInternalTransaction = nullptr;
        rtl::TObject::Free(tr);
    }
    for (int i = FTransactions->Count() - 1; i >= 0; --i) RemoveTransaction(FTransactions->Items(i));
    FreeIConnection();
    TCustomConnection::BeforeDestruction();
}

TCustomDAConnection::~TCustomDAConnection() {
    FreeIConnection();
    FDataTypeMap.reset();
    FPoolingOptions.reset();
    FOptions.reset();
}

bool TCustomDAConnection::Reading() const {
    return ComponentState().Contains(rtl::csReading) || ComponentState().Contains(rtl::csLoading);
}

IDAConnectionClient* TCustomDAConnection::ClientLink(rtl::TObject* Client) {
    return dynamic_cast<IDAConnectionClient*>(Client);
}

// ---------------------------------------------------------------------------------------------
// Class queries

void TCustomDAConnection::ClearRefs() {
    std::vector<rtl::TObject*> clients;
    for (int i = 0; i < ClientCount(); ++i) clients.push_back(Clients(i));
    for (rtl::TObject* c : clients)
        if (IDAConnectionClient* link = ClientLink(c)) link->ClientClearConnection();
}

const TCRConnectionClass& TCustomDAConnection::GetIConnectionClass() const {
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

const TCRCommandClass& TCustomDAConnection::GetICommandClass() const {
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

const TCRRecordSetClass& TCustomDAConnection::GetIRecordSetClass() const {
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

const TCRMetaDataClass& TCustomDAConnection::GetIMetaDataClass() const {
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

TDAConnectionMapRules* TCustomDAConnection::CreateDataTypeMap() { return rtl::Create<TDAConnectionMapRules>(this); }

TDAConnectionOptions* TCustomDAConnection::CreateOptions() { return rtl::Create<TDAConnectionOptions>(this); }

TPoolingOptions* TCustomDAConnection::CreatePoolingOptions() { return rtl::Create<TPoolingOptions>(this); }

TDATransaction* TCustomDAConnection::CreateTransaction() {
    TDATransaction* tr = rtl::Create<TDATransaction>(nullptr);
    tr->SetDefaultConnection(this);
    return tr;
}

IDAConnectionSQL* TCustomDAConnection::CreateSQL() {
    TCustomDASQL* sql = rtl::Create<TCustomDASQL>(nullptr);
    sql->SetConnection(this);
    return sql;
}

TDAMetaData* TCustomDAConnection::CreateMetaData() {
    TDAMetaData* meta = rtl::Create<TDAMetaData>(nullptr);
    meta->SetConnection(this);
    return meta;
}

const store::TDataSetServiceClass& TCustomDAConnection::GetDataSetServiceClass() const {
    return TDADataSetService::StaticClass();
}

TCustomDADataSet* TCustomDAConnection::CreateDataSet() {
    TCustomDADataSet* ds = rtl::Create<TCustomDADataSet>(nullptr);
    ds->SetConnection(this);
    return ds;
}

TCRMetaData* TCustomDAConnection::CreateIMetaData() { return GetIMetaDataClass().Create(); }

// ---------------------------------------------------------------------------------------------
// Provider connection

bool TCustomDAConnection::GetConnected() const { return FIConnection && FIConnection->GetConnected(); }

void TCustomDAConnection::SetIConnection(TCRConnection* Value) {
    if (Value || (FIConnection && !ComponentState().Contains(rtl::csDestroying))) {
        std::vector<rtl::TObject*> clients;
        for (int i = 0; i < ClientCount(); ++i) clients.push_back(Clients(i));
        for (rtl::TObject* c : clients)
            if (IDAConnectionClient* link = ClientLink(c)) link->ClientSetIConnection(Value);
    }
    FIConnection = Value;
    if (!Value) return;
    Value->OnError = [this](rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount, bool& Reexecute,
                            bool& Reconnect) { DoError(E, Fail, Cause, RetryCount, Reexecute, Reconnect); };
    Value->ReconnectFailedHook = [this] { Disconnect(); };
    Value->ReconnectDoneHook = [this] {
        if (AfterConnect) AfterConnect(this);
    };
    Value->SetComponent(this);
    // The provider starts from this component's settings.
    Value->SetProp(pidAutoCommit, FAutoCommit);
    Value->SetProp(pidConvertEOL, FConvertEOL);
    Value->SetProp(pidDisconnectedMode, FOptions->DisconnectedMode());
    Value->SetProp(pidEnableBCD, FOptions->EnableBCD());
    Value->SetProp(pidEnableFMTBCD, FOptions->EnableFMTBCD());
    Value->SetProp(pidDefaultSortType, static_cast<int>(FOptions->DefaultSortType()));
}

void TCustomDAConnection::ReleaseITransactions() {
    for (int i = 0; i < FTransactions->Count(); ++i) {
        TDATransaction* tr = FTransactions->Items(i);
        if (tr->ITransaction()) tr->ReleaseIConnection(this);
    }
}

void TCustomDAConnection::FreeIConnection() {
    if (!FIConnection) return;
    ReleaseITransactions();
    TCRConnection* conn = FIConnection;
    SetIConnection(nullptr);
    if (conn->Pool())
        conn->ReturnToPool();
    else
        rtl::TObject::Free(conn);
}

void TCustomDAConnection::LinkSetIConnectionProp(int Prop, const Variant& Value) {
    if (FIConnection) FIConnection->SetProp(Prop, Value);
}

void TCustomDAConnection::SuspendAutoCommit() {
    if (FIConnection) FIConnection->SetProp(pidAutoCommit, false);
}

void TCustomDAConnection::RestoreAutoCommit() {
    if (FIConnection) FIConnection->SetProp(pidAutoCommit, FAutoCommit);
}

// ---------------------------------------------------------------------------------------------
// Connect and disconnect

void TCustomDAConnection::SetConnected(bool Value) {
    if (Reading()) {
        TCustomConnection::SetConnected(Value);
        return;
    }
    if (GetConnected() == Value) return;
    if (!Value) {
        FConnectCount = 0;
        FConnectCountPrompt = true;
        if (BeforeDisconnect) BeforeDisconnect(this);
        // A client that meets a lost connection while closing is told once more; a second fatal
        // error is not retried, so a dead server cannot hold the disconnect forever.
        for (int attempt = 0;; ++attempt) {
            try {
                SendConnectEvent(false);
                break;
            } catch (const EDAError& e) {
                if (!e.IsFatalError()) throw;
                if (attempt >= 1) break;
            }
        }
        PerformDisconnect();
        if (AfterDisconnect) AfterDisconnect(this);
        return;
    }
    const int kept = ++FConnectCount;
    if (NeedPrompt() && DefConnectDialogHook && !GetConnected()) {
        // The login goes through the dialog; a refusal leaves the count as it was.
        bool accepted = false;
        try {
            accepted = DefConnectDialogHook(this);
        } catch (...) {
            FConnectCount = kept - 1;
            throw;
        }
        if (!accepted) {
            FConnectCount = kept - 1;
            if (StreamedConnected() || ComponentState().Contains(rtl::csDesigning))
                throw db::EDatabaseError(SCannotConnect);
            rtl::Abort();
        }
        if (GetConnected()) {
            FConnectCount = kept;
            return;
        }
    }
    try {
        ConnectSteps();
    } catch (...) {
        if (!GetConnected()) FConnectCount = kept - 1;
        throw;
    }
    FConnectCount = kept;
}

void TCustomDAConnection::ConnectSteps() {
    if (GetConnected()) return;
    if (BeforeConnect) BeforeConnect(this);
    PerformConnect();
    ++FConnectCount;
    SendConnectEvent(true);
    if (AfterConnect) AfterConnect(this);
}

void TCustomDAConnection::PerformConnect() {
    TCustomDASQLMonitor::DBConnect(this, true);
    CreateIConnection();
    if (!FIConnection) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    PushOperation(clConnect, true);
    rtl::TryFinally(
        [&] {
            FDataTypeMap->CopyTo(FIConnection->MapRules());
            if (FInternalTransaction && !FInternalTransaction->ITransaction())
                FInternalTransaction->SetITransaction(FIConnection->GetInternalTransaction());
            FIConnection->SetUsername(FUsername);
            FIConnection->SetPassword(FPassword);
            FIConnection->SetServer(GetServerForConnect());
            FIConnection->Connect("");
        },
        [&] { PopOperation(); });
    TCustomDASQLMonitor::DBConnect(this, false);
}

void TCustomDAConnection::PerformDisconnect() {
    const bool destroying = ComponentState().Contains(rtl::csDestroying);
    std::exception_ptr pending;
    try {
        DisconnectTransactions();
    } catch (const EDAError& e) {
        if (!(destroying && e.IsFatalError())) pending = std::current_exception();
    } catch (...) {
        pending = std::current_exception();
    }
    if (GetConnected()) {
        TCustomDASQLMonitor::DBDisconnect(this, true);
        try {
            if (FIConnection->Pool() && FIConnection->IsValid()) {
                FIConnection->ReturnToPool();
                SetIConnection(nullptr);
            } else {
                FIConnection->Disconnect();
            }
        } catch (const EDAError& e) {
            if (!(destroying && e.IsFatalError())) throw;
        }
        TCustomDASQLMonitor::DBDisconnect(this, false);
    }
    if (pending) std::rethrow_exception(pending);
}

void TCustomDAConnection::DisconnectTransactions() {
    for (int i = 0; i < FTransactions->Count(); ++i) FTransactions->Items(i)->CloseTransaction(true);
    ReleaseITransactions();
}

void TCustomDAConnection::InternalConnect() {
    const int kept = ++FConnectCount;
    const bool prompt = LoginPrompt();
    SetLoginPrompt(prompt && FConnectCountPrompt);
    auto restore = [&](int count) {
        FConnectCount = count;
        SetLoginPrompt(prompt);
        FConnectCountPrompt = !GetConnected();
    };
    bool done = false;
    rtl::TryFinally(
        [&] {
            try {
                Connect();
            } catch (const EFailOver&) {
                // The connection was restored meanwhile; the operation goes on.
            }
            done = true;
        },
        [&] {
            // A failed connect keeps its count only when it left the connection open.
            restore(done || GetConnected() ? kept : kept - 1);
        });
}

void TCustomDAConnection::InternalDisconnect() {
    if (FConnectCount > 0) --FConnectCount;
    if (FConnectCount == 0 && FOptions->DisconnectedMode() && !InTransaction()) Disconnect();
    FConnectCountPrompt = false;
}

bool TCustomDAConnection::IsConnectedStored() { return GetConnected() && !FOptions->DisconnectedMode(); }

bool TCustomDAConnection::NeedPrompt() {
    const bool designing = ComponentState().Contains(rtl::csDesigning);
    if (Reading() || (designing && StreamedConnected())) return false;
    if (!LoginPrompt()) return designing && FUsername.empty() && FPassword.empty();
    return true;
}

void TCustomDAConnection::Loaded() {
    rtl::TComponent::Loaded();
    const bool streamed = StreamedConnected();
    const bool designing = ComponentState().Contains(rtl::csDesigning);
    rtl::TryFinally(
        [&] {
            if (!streamed || !(FOptions->KeepDesignConnected() || designing)) return;
            try {
                Connect();
            } catch (const rtl::Exception&) {
                // At design time the error is only shown; nothing here shows it.
                if (!designing) throw;
            }
        },
        [&] { SetStreamedConnected(false); });
}

// ---------------------------------------------------------------------------------------------
// Clients

void TCustomDAConnection::RegisterClient(rtl::TObject* Client, db::TConnectChangeEvent Event) {
    std::lock_guard<rtl::TRecursiveLock> lock(FLock);
    TCustomConnection::RegisterClient(Client, std::move(Event));
    IDAConnectionClient* link = ClientLink(Client);
    if (link && link->ClientIsSQL() && std::find(FSQLs.begin(), FSQLs.end(), Client) == FSQLs.end())
        FSQLs.push_back(Client);
}

void TCustomDAConnection::UnRegisterClient(rtl::TObject* Client) {
    std::lock_guard<rtl::TRecursiveLock> lock(FLock);
    TCustomConnection::UnRegisterClient(Client);
    FSQLs.erase(std::remove(FSQLs.begin(), FSQLs.end(), Client), FSQLs.end());
}

void TCustomDAConnection::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    if (Operation == rtl::opRemove && AComponent) {
        if (AComponent == FDefaultTransaction) SetDefaultTransaction(nullptr);
        for (int i = FTransactions->Count() - 1; i >= 0; --i)
            if (FTransactions->Items(i) == AComponent) RemoveTransaction(FTransactions->Items(i));
    }
    TCustomConnection::Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------------------------
// Properties

void TCustomDAConnection::SetUsername(const AnsiString& Value) {
    if (Value == FUsername) return;
    Disconnect();
    FUsername = Value;
}

void TCustomDAConnection::SetPassword(const AnsiString& Value) {
    if (Value == FPassword) return;
    Disconnect();
    FPassword = Value;
}

void TCustomDAConnection::SetServer(const AnsiString& Value) {
    if (Value == FServer) return;
    Disconnect();
    FServer = Value;
}

void TCustomDAConnection::SetPooling(bool Value) {
    if (Value == FPooling) return;
    Disconnect();
    FreeIConnection();
    FPooling = Value;
}

void TCustomDAConnection::SetDebug(bool Value) {
    FDebug = Value;
    if (FCommand) FCommand->SetDebug(Value);
}

void TCustomDAConnection::SetAutoCommit(bool Value) {
    FAutoCommit = Value;
    if (FIConnection) FIConnection->SetProp(pidAutoCommit, Value);
}

void TCustomDAConnection::SetConvertEOL(bool Value) {
    FConvertEOL = Value;
    if (FIConnection) FIConnection->SetProp(pidConvertEOL, Value);
}

void TCustomDAConnection::SetDataTypeMap(TDAConnectionMapRules* Value) { FDataTypeMap->Assign(Value); }

void TCustomDAConnection::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TCustomDAConnection*>(Dest);
    if (!dest) {
        TCustomConnection::AssignTo(Dest);
        return;
    }
    dest->SetUsername(FUsername);
    dest->SetPassword(FPassword);
    dest->SetServer(FServer);
    dest->SetLoginPrompt(LoginPrompt());
    dest->FPoolingOptions->Assign(FPoolingOptions.get());
    dest->SetPooling(FPooling);
    dest->OnError = OnError;
    dest->SetConvertEOL(FConvertEOL);
    dest->FOptions->Assign(FOptions.get());
    dest->SetAutoCommit(FAutoCommit);
    dest->FDataTypeMap->Assign(FDataTypeMap.get());
    dest->AfterConnect = AfterConnect;
    dest->BeforeConnect = BeforeConnect;
    dest->AfterDisconnect = AfterDisconnect;
    dest->BeforeDisconnect = BeforeDisconnect;
    dest->OnLogin = OnLogin;
}

void TCustomDAConnection::AssignConnect(TCustomDAConnection* Source) {
    if (!Source) return;
    SetUsername(Source->FUsername);
    SetPassword(Source->FPassword);
    SetServer(Source->FServer);
}

// ---------------------------------------------------------------------------------------------
// Operations stack and fail-over

int TCustomDAConnection::PushOperation(TConnLostCause Cause, bool AllowFailOver) {
    if (!FOptions->LocalFailover()) return 0;
    if (FOperationsStackLen >= static_cast<int>(FOperationsStack.size()))
        FOperationsStack.resize(FOperationsStack.size() + 50);
    const int depth = FOperationsStackLen;
    FOperationsStack[static_cast<size_t>(FOperationsStackLen++)] =
        static_cast<uint16_t>(Cause | (AllowFailOver ? 0x100 : 0));
    return depth;
}

TConnLostCause TCustomDAConnection::PopOperation() {
    if (!FOptions->LocalFailover() || FOperationsStackLen == 0) return clUnknown;
    return static_cast<TConnLostCause>(FOperationsStack[static_cast<size_t>(--FOperationsStackLen)] & 0xFF);
}

bool TCustomDAConnection::IsFailOverAllowed() {
    for (int i = 0; i < FTransactions->Count(); ++i) {
        TCRTransaction* tr = FTransactions->Items(i)->ITransaction();
        if (tr && tr->GetInTransaction() && !tr->CanRestoreAfterFailover()) return false;
    }
    return true;
}

void TCustomDAConnection::ResetOnFatalError() {
    for (int i = 0; i < FTransactions->Count(); ++i) FTransactions->Items(i)->ResetOnFatalError();
}

void TCustomDAConnection::RestoreAfterFailover() {
    for (int i = 0; i < FTransactions->Count(); ++i) FTransactions->Items(i)->RestoreAfterFailover();
}

TConnLostCause TCustomDAConnection::DetectConnLostCause(rtl::TComponent* Component) {
    TConnLostCause result = clUnknown;
    bool mayRetry = true;
    IDAConnectionClient* link = Component ? ClientLink(Component) : nullptr;
    // The repeated statement of a non-query needs the connection held; once is enough.
    bool held = false;
    for (int i = FOperationsStackLen - 1; i >= 0; --i) {
        const uint16_t entry = FOperationsStack[static_cast<size_t>(i)];
        const auto cause = static_cast<TConnLostCause>(entry & 0xFF);
        if (cause > result) {
            result = cause;
            mayRetry = (entry >> 8) != 0;
        }
        if ((result == clExecute || result == clOpen) && link && !held &&
            (link->ClientIsSQL() || !link->ClientIsQuery())) {
            ++FConnectCount;
            held = true;
        }
        if (result == clConnect) {
            if (Component == this && FConnectCountPrompt) result = clUnknown;
            break;
        }
    }
    if (!mayRetry) result = clUnknown;
    if ((result == clExecute || result == clOpen || result == clServiceQuery || result == clTransStart) &&
        !IsFailOverAllowed())
        result = clUnknown;
    return result;
}

void TCustomDAConnection::DoError(rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount, bool& Reexecute,
                                  bool& Reconnect) {
    Cause = clUnknown;
    if (E) TCustomDASQLMonitor::DBError(this, E->Message());
    auto* error = dynamic_cast<EDAError*>(E);
    const bool fatal = error && error->IsFatalError();
    rtl::TComponent* component = error ? error->Component() : nullptr;
    const bool localFailover = FOptions->LocalFailover();
    if (fatal) {
        Cause = DetectConnLostCause(component);
        Reconnect = (GetConnected() || (RetryCount > 0 && localFailover) ||
                     (Cause == clConnect && FOptions->DisconnectedMode())) &&
                    (IsFailOverAllowed() || Cause == clConnectionApply);
        if (Reconnect) {
            for (int i = 0; i < ClientCount() && Reconnect; ++i) {
                IDAConnectionClient* link = ClientLink(Clients(i));
                if (!link || link->ClientIsSQL()) continue;
                if (link->ClientPrepared() ||
                    (link->ClientFetchPending() && !(Cause == clRefresh && Clients(i) == component)))
                    Reconnect = false;
            }
        }
        if (Reconnect) {
            for (rtl::TObject* sql : FSQLs) {
                IDAConnectionClient* link = ClientLink(sql);
                if (!link || !link->ClientIsSQL()) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
                if (link->ClientPrepared() && !link->ClientExecuting()) {
                    Reconnect = false;
                    break;
                }
            }
        }
    }
    if (Reconnect && localFailover) {
        TRetryMode mode = (Cause == clUnknown || Cause == clExecute) ? rmRaise : rmReconnectExecute;
        if (OnConnectionLost) OnConnectionLost(this, component, Cause, mode);
        Reconnect = mode > rmRaise;
        Reexecute = (mode == rmReconnectExecute && Cause != clUnknown) || (Cause == clConnect && mode >= rmReconnect);
        if (Fail) *Fail = !Reexecute;
    }
    if (!Reexecute && OnError && error && Fail) OnError(this, *error, *Fail);
    if (fatal && FIConnection) {
        FIConnection->SetIsValid(false);
        if (FIConnection->Pool()) FIConnection->Pool()->InvalidateConnection(FIConnection);
    }
    if (fatal && RetryCount == 0) ResetOnFatalError();
    if (fatal && RetryCount == 0 && !Reconnect && !FDisconnectingOnFatal) {
        FDisconnectingOnFatal = true;
        try {
            Disconnect();
        } catch (...) {
            // The connection is gone already; the original error is what the caller hears.
        }
        FDisconnectingOnFatal = false;
    }
}

// ---------------------------------------------------------------------------------------------
// Transactions

TDATransaction* TCustomDAConnection::DefaultTransaction() const {
    return FDefaultTransaction ? FDefaultTransaction : FInternalTransaction;
}

void TCustomDAConnection::SetDefaultTransaction(TDATransaction* Value) {
    if (Value == FInternalTransaction) Value = nullptr;
    if (Value == FDefaultTransaction) return;
    if (TDATransaction* old = FDefaultTransaction) {
        old->RemoveFreeNotification(this);
        RemoveTransaction(old);
    }
    FDefaultTransaction = Value;
    if (Value) {
        AddTransaction(Value);
        Value->FreeNotification(this);
    }
}

bool TCustomDAConnection::DetectInTransaction(bool CanTakeDefault) {
    for (int i = 0; i < FTransactions->Count(); ++i) {
        TDATransaction* tr = FTransactions->Items(i);
        if (tr->DetectInTransaction(tr == FInternalTransaction && CanTakeDefault)) return true;
    }
    return false;
}

TDATransaction* TCustomDAConnection::UsedTransaction() {
    if (!IsMultipleTransactionsSupported())
        for (int i = 0; i < FTransactions->Count(); ++i)
            if (FTransactions->Items(i)->Active()) return FTransactions->Items(i);
    return DefaultTransaction();
}

void TCustomDAConnection::AddTransaction(TDATransaction* Transaction) {
    if (!Transaction || FTransactions->IndexOf(Transaction) >= 0) return;
    FTransactions->Add(Transaction);
    Transaction->AddConnection(this);
}

void TCustomDAConnection::RemoveTransaction(TDATransaction* Transaction) {
    if (!Transaction) return;
    Transaction->RemoveConnection(this);
    const int i = FTransactions->IndexOf(Transaction);
    if (i >= 0) FTransactions->Delete(i);
    if (Transaction == FDefaultTransaction) FDefaultTransaction = nullptr;
}

void TCustomDAConnection::StartTransaction() { DefaultTransaction()->StartTransaction(); }
void TCustomDAConnection::Commit() { DefaultTransaction()->Commit(); }
void TCustomDAConnection::Rollback() { DefaultTransaction()->Rollback(); }
void TCustomDAConnection::CommitRetaining() { DefaultTransaction()->CommitRetaining(); }
void TCustomDAConnection::RollbackRetaining() { DefaultTransaction()->RollbackRetaining(); }
void TCustomDAConnection::Savepoint(const AnsiString& Name) { DefaultTransaction()->Savepoint(Name); }
void TCustomDAConnection::RollbackToSavepoint(const AnsiString& Name) {
    DefaultTransaction()->RollbackToSavepoint(Name);
}
void TCustomDAConnection::ReleaseSavepoint(const AnsiString& Name) { DefaultTransaction()->ReleaseSavepoint(Name); }

// ---------------------------------------------------------------------------------------------
// Statements

void TCustomDAConnection::CheckSQL() {
    if (!FCommand) FCommand.reset(CreateSQL());
    FCommand->SetDebug(FDebug);
}

Variant TCustomDAConnection::ExecuteForResult(bool NullWhenNone) {
    db::TParam* result = FCommand->FindResultParam();
    if (result && result->DataType() == db::ftUnknown) result->SetDataType(db::ftString);
    FCommand->Execute();
    if (result) return result->Value();
    return NullWhenNone ? Variant::Null() : Variant();
}

Variant TCustomDAConnection::ExecSQL(const AnsiString& Text, const std::vector<Variant>& Params) {
    CheckSQL();
    FCommand->SetSQLText(Text);
    db::TParams* params = FCommand->Params();
    for (int i = 0; i < params->Count() && i < static_cast<int>(Params.size()); ++i)
        params->Items(i)->SetValue(Params[static_cast<size_t>(i)]);
    return ExecuteForResult(true);
}

void TCustomDAConnection::SetPairs(const std::vector<Variant>& Params, bool UnbindInputs) {
    db::TParams* params = FCommand->Params();
    if (UnbindInputs)
        for (int i = 0; i < params->Count(); ++i)
            if (IsInputParam(params->Items(i))) params->Items(i)->SetBound(false);
    if (NoPairs(Params)) return;
    for (size_t i = 0; i + 1 < Params.size(); i += 2)
        params->ParamByName(Params[i].AsAnsiString())->SetValue(Params[i + 1]);
}

Variant TCustomDAConnection::ExecSQLEx(const AnsiString& Text, const std::vector<Variant>& Params) {
    CheckPairs(Params);
    CheckSQL();
    FCommand->SetSQLText(Text);
    SetPairs(Params, false);
    return ExecuteForResult(false);
}

Variant TCustomDAConnection::ExecProc(const AnsiString& Name, const std::vector<Variant>& Params) {
    CheckSQL();
    FCommand->PrepareStoredProc(Name);
    db::TParams* params = FCommand->Params();
    db::TParam* result = FCommand->FindResultParam();
    size_t next = 0;
    for (int i = 0; i < params->Count(); ++i) {
        db::TParam* p = params->Items(i);
        if (p == result) continue;
        if (next < Params.size())
            p->SetValue(Params[next++]);
        else if (IsInputParam(p))
            p->SetBound(false);
    }
    return ExecuteForResult(false);
}

Variant TCustomDAConnection::ExecProcEx(const AnsiString& Name, const std::vector<Variant>& Params) {
    CheckPairs(Params);
    CheckSQL();
    FCommand->PrepareStoredProc(Name);
    SetPairs(Params, true);
    return ExecuteForResult(false);
}

// ---------------------------------------------------------------------------------------------
// Name lists

template <class F>
void TCustomDAConnection::ReadNames(rtl::TStrings* List, const AnsiString& Kind, bool Local, bool Counted, F&& AddRow) {
    if (Counted) InternalConnect();
    rtl::TryFinally(
        [&] {
            rtl::TOwnedPtr<TDAMetaData> meta(CreateMetaData());
            meta->SetMetaDataKind(Kind);
            if (Local) meta->Restrictions()->Add("SCOPE=LOCAL");
            meta->Open();
            std::vector<AnsiString> names;
            auto value = [&](std::u16string_view column, bool& exists) -> AnsiString {
                db::TField* field = meta->FindField(WideString(column));
                exists = field != nullptr;
                if (!field || field->IsNull()) return {};
                return field->AsString();
            };
            for (meta->First(); !meta->Eof(); meta->Next()) names.push_back(AddRow(value));
            meta->Close();
            List->BeginUpdate();
            List->Clear();
            for (const AnsiString& name : names) List->Add(name);
            List->EndUpdate();
        },
        [&] {
            if (Counted) InternalDisconnect();
        });
}

void TCustomDAConnection::GetTableNames(rtl::TStrings* List, bool AllTables) {
    ReadNames(List, "tables", !AllTables, true, [&](auto& value) {
        bool exists = false;
        TSQLInfo* info = FIConnection->SQLInfo();
        AnsiString name = info->QuoteIfNeeded(value(u"TABLE_NAME", exists));
        const AnsiString schema = value(u"TABLE_SCHEMA", exists);
        if (AllTables) {
            if (!schema.empty()) name = info->QuoteIfNeeded(schema) + "." + name;
            const AnsiString catalog = value(u"TABLE_CATALOG", exists);
            if (!catalog.empty()) name = info->QuoteIfNeeded(catalog) + "." + name;
        } else {
            const AnsiString current = GetCurrentSchema();
            // Both sides without regard to case: a schema reported in upper case is still the current one.
            if (!current.empty() && rtl::AnsiCompareText(schema, current) != 0) name = schema + "." + name;
        }
        return name;
    });
}

void TCustomDAConnection::GetDatabaseNames(rtl::TStrings* List) {
    // No count of its own: the metadata read holds the connection as a dataset does.
    ReadNames(List, "Databases", false, false, [](auto& value) {
        bool exists = false;
        return value(u"DATABASE_NAME", exists);
    });
}

void TCustomDAConnection::GetStoredProcNames(rtl::TStrings* List, bool AllProcs) {
    ReadNames(List, "procedures", !AllProcs, true, [&](auto& value) {
        bool exists = false;
        TSQLInfo* info = FIConnection->SQLInfo();
        AnsiString name = info->QuoteIfNeeded(value(u"PROCEDURE_NAME", exists));
        const AnsiString package = value(u"PROCEDURE_PACKAGE", exists);
        if (exists && !package.empty()) name = info->QuoteIfNeeded(package) + "." + name;
        if (AllProcs) {
            const AnsiString schema = value(u"PROCEDURE_SCHEMA", exists);
            if (!schema.empty()) name = info->QuoteIfNeeded(schema) + "." + name;
            const AnsiString catalog = value(u"PROCEDURE_CATALOG", exists);
            if (!catalog.empty()) name = info->QuoteIfNeeded(catalog) + "." + name;
        }
        const AnsiString overload = value(u"OVERLOAD", exists);
        if (exists && !overload.empty()) name += AnsiString(1, info->ProcedureOverloadSeparator()) + overload;
        return name;
    });
}

// ---------------------------------------------------------------------------------------------
// Cached updates of several datasets

std::vector<TCustomDADataSet*> TCustomDAConnection::ClientDataSets() {
    std::vector<TCustomDADataSet*> result;
    for (int i = 0; i < ClientCount(); ++i)
        if (auto* ds = dynamic_cast<TCustomDADataSet*>(Clients(i))) result.push_back(ds);
    return result;
}

void TCustomDAConnection::ApplyUpdates() { ApplyUpdatesFor(ClientDataSets()); }

void TCustomDAConnection::ApplyUpdatesFor(const std::vector<TCustomDADataSet*>& DataSets) {
    for (TCustomDADataSet* ds : DataSets)
        if (!ds || ds->UsedConnection() != this)
            throw db::EDatabaseError(
                rtl::Format(SNotOwnedByConnection, {ds ? AnsiString(ds->Name()) : AnsiString(), AnsiString(Name())}));
    std::vector<TDATransaction*> transactions;
    for (TCustomDADataSet* ds : DataSets) {
        if (!ds->Active() || !ds->CachedUpdates()) continue;
        TDATransaction* tr = ds->UsedUpdateTransaction();
        if (!tr) db::DatabaseError(STransactionNotAssigned);
        if (std::find(transactions.begin(), transactions.end(), tr) == transactions.end()) transactions.push_back(tr);
    }
    std::vector<bool> startedHere(transactions.size(), false);
    const bool multiple = IsMultipleTransactionsSupported();
    auto attempt = [&] {
        for (size_t i = 0; i < transactions.size(); ++i)
            if (!transactions[i]->Active()) {
                transactions[i]->StartTransaction();
                startedHere[i] = true;
            }
        for (TCustomDADataSet* ds : DataSets) {
            if (!ds->Active() || !ds->CachedUpdates()) continue;
            const bool autoCommit = ds->AutoCommit();
            ds->SetAutoCommit(false);
            rtl::TryFinally([&] { ds->ApplyUpdates(); }, [&] { ds->SetAutoCommit(autoCommit); });
        }
        if (FAutoCommit)
            for (size_t i = 0; i < transactions.size(); ++i) {
                if (!multiple || startedHere[i])
                    transactions[i]->Commit();
                else
                    transactions[i]->CommitRetaining();
            }
    };
    try {
        ExecuteWithFailover(this, clConnectionApply, attempt);
    } catch (const EFailOver&) {
        throw;
    } catch (...) {
        for (size_t i = 0; i < transactions.size(); ++i) {
            if (!transactions[i]->Active()) continue;
            try {
                if (!multiple || startedHere[i])
                    transactions[i]->Rollback();
                else
                    transactions[i]->RollbackRetaining();
            } catch (...) {
                // The apply's own error is what the caller hears.
            }
        }
        throw;
    }
    for (TCustomDADataSet* ds : DataSets)
        if (ds->Active() && ds->CachedUpdates()) ds->CommitUpdates();
}

}  // namespace daccess
