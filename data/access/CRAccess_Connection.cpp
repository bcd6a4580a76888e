// The provider connection with its reconnect loop, and the provider transactions, plain and
// distributed.
#include "data/access/CRAccess.h"
#include "data/access/CRConnectionPool.h"
#include "data/access/MTSCall.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/SysUtils.h"

namespace daccess {

void PropertyIdFault(int Prop, const char* Unit) { rtl::AssertFail(rtl::IntToStr(Prop), Unit, __LINE__); }

// ---------------------------------------------------------------------------------------------
// TCRConnection

TCRConnection::TCRConnection() : FHttpOptions(rtl::Create<THttpOptions>()) {}

void TCRConnection::AfterConstruction() {
    rtl::TObject::AfterConstruction();
    FInternalTransaction.reset(GetTransactionClass().Create());
    FInternalTransaction->AttachConnection(this);
    FMapRules.reset(CreateMapRules());
}

void TCRConnection::BeforeDestruction() {
    Disconnect();
    rtl::TObject::BeforeDestruction();
}

TCRConnection::~TCRConnection() {
    FHttpOptions.reset();
    FInternalTransaction.reset();
    FSQLInfo.reset();
    FMapRules.reset();
}

TSQLInfo* TCRConnection::CreateSQLInfo() { return GetCommandClass().CreateSQLInfo(); }

TCRMapRules* TCRConnection::CreateMapRules() { return GetCommandClass().GetMapRulesClass().Create(); }

void TCRConnection::Enlist(TMTSTransaction* /*Transaction*/) { throw rtl::Exception(SMSDTCNotSupported); }

void TCRConnection::UnEnlist(TMTSTransaction* /*Transaction*/) { throw rtl::Exception(SMSDTCNotSupported); }

TSQLInfo* TCRConnection::SQLInfo() {
    if (!FSQLInfo) FSQLInfo.reset(CreateSQLInfo());
    return FSQLInfo.get();
}

void TCRConnection::Connect(const AnsiString& /*ConnectString*/) {
    FConnectionTime = rtl::GetTickCount();
    FIsValid = true;
}

void TCRConnection::Assign(TCRConnection* Source) {
    FServer = Source->FServer;
    FUsername = Source->FUsername;
    FPassword = Source->FPassword;
    FEnableBCD = Source->FEnableBCD;
    FEnableFMTBCD = Source->FEnableFMTBCD;
    OnError = Source->OnError;
    FIOHandler = Source->FIOHandler;
}

void TCRConnection::ReturnToPool() {
    if (!FPool) rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__);
    OnError = nullptr;
    FComponent = nullptr;
    TCRConnectionPool* pool = FPool;
    pool->PutConnection(pool->Manager()->CheckConnection(this));
}

void TCRConnection::DoError(rtl::Exception* E, bool* Fail) {
    int retryCount = 0;
    while (!FInProcessError) {
        bool reconnect = retryCount > 0;
        bool reexecute = false;
        TConnLostCause cause = clUnknown;
        if (OnError) {
            FInProcessError = true;
            rtl::TryFinally([&] { OnError(E, Fail, cause, retryCount, reexecute, reconnect); },
                            [&] { FInProcessError = false; });
        }
        if (reconnect) {
            FReconnected = false;
            FInProcessError = true;
            if (retryCount == 0) {
                try {
                    Disconnect();
                } catch (...) {
                    // The connection is being replaced; a failing close changes nothing.
                }
            }
            try {
                Connect("");
                if (ReconnectDoneHook) ReconnectDoneHook();
                FReconnected = true;
            } catch (...) {
                // A failed reconnect is reported by the loop below, not by an exception.
            }
            FInProcessError = false;
            if (FReconnected && reexecute) throw EFailOver(cause);
            ++retryCount;
        } else if (retryCount > 0 && !FReconnected && ReconnectFailedHook) {
            FInProcessError = true;
            // The component's hook only acts on a connection that reports itself connected.
            FConnected = true;
            try {
                ReconnectFailedHook();
            } catch (...) {
            }
            FConnected = false;
            FInProcessError = false;
        }
        if (!reconnect || FReconnected) break;
    }
}

bool TCRConnection::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidAutoCommit: FAutoCommit = Value.AsBoolean(); break;
        case pidConvertEOL: FConvertEOL = Value.AsBoolean(); break;
        case pidDisconnectedMode: FDisconnectedMode = Value.AsBoolean(); break;
        case pidEnableBCD: FEnableBCD = Value.AsBoolean(); break;
        case pidEnableFMTBCD: FEnableFMTBCD = Value.AsBoolean(); break;
        case pidDefaultSortType: FDefaultSortType = Value.AsInteger(); break;
        case pidDatabase:
        case pidPort: break;
        case pidHttpUrl: FHttpOptions->Url = Value.AsAnsiString(); break;
        case pidHttpUsername: FHttpOptions->Username = Value.AsAnsiString(); break;
        case pidHttpPassword: FHttpOptions->Password = Value.AsAnsiString(); break;
        case pidProxyHostname: FHttpOptions->ProxyOptions()->Hostname = Value.AsAnsiString(); break;
        case pidProxyPort: FHttpOptions->ProxyOptions()->Port = Value.AsInteger(); break;
        case pidProxyUsername: FHttpOptions->ProxyOptions()->Username = Value.AsAnsiString(); break;
        case pidProxyPassword: FHttpOptions->ProxyOptions()->Password = Value.AsAnsiString(); break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

bool TCRConnection::GetProp(int Prop, Variant& Value) {
    switch (Prop) {
        case pidUsername: Value = FUsername; break;
        case pidStringParamSize: Value = 0; break;
        case pidLastInsertId: Value = int64_t{0}; break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TCRTransaction

TCRTransaction::TCRTransaction() : FConnections(rtl::Create<TCRConnections>()) {}

TCRTransaction::~TCRTransaction() = default;

bool TCRTransaction::AttachConnection(TCRConnection* Connection) {
    if (FConnections->IndexOf(Connection) >= 0) return false;
    FConnections->Add(Connection);
    return true;
}

bool TCRTransaction::DetachConnection(TCRConnection* Connection) { return FConnections->Remove(Connection) >= 0; }

bool TCRTransaction::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidIsolationLevel: FIsolationLevel = static_cast<TCRIsolationLevel>(Value.AsInteger()); break;
        case pidTransactionReadOnly: FReadOnly = Value.AsBoolean(); break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

bool TCRTransaction::GetProp(int Prop, Variant& Value) {
    switch (Prop) {
        case pidIsolationLevel: Value = static_cast<int>(FIsolationLevel); break;
        case pidTransactionReadOnly: Value = FReadOnly; break;
        default: PropertyIdFault(Prop);
    }
    return true;
}

void TCRTransaction::AssignConnect(TCRTransaction* Source) {
    FActive = Source && Source->GetInTransaction();
    // The source began it and ends it on the server.
    FNativeTransaction = !FActive;
}

void TCRTransaction::BeginWork() { rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__); }
void TCRTransaction::CommitWork() { rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__); }
void TCRTransaction::RollbackWork() { rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__); }
void TCRTransaction::CommitRetaining() { throw rtl::Exception(SOperationNotSupported); }
void TCRTransaction::RollbackRetaining() { throw rtl::Exception(SOperationNotSupported); }
void TCRTransaction::Savepoint(const AnsiString&) { throw rtl::Exception(SOperationNotSupported); }
void TCRTransaction::ReleaseSavepoint(const AnsiString&) { throw rtl::Exception(SOperationNotSupported); }
void TCRTransaction::RollbackToSavepoint(const AnsiString&) { throw rtl::Exception(SOperationNotSupported); }

void TCRTransaction::CheckActive() {
    if (!GetInTransaction()) throw rtl::Exception(STransactionInactive);
}

void TCRTransaction::CheckInactive() {
    if (GetInTransaction()) throw rtl::Exception(STransactionActive);
}

// ---------------------------------------------------------------------------------------------
// TMTSTransaction

namespace {

[[noreturn]] void RaiseOleError(HRESULT hr) {
    throw rtl::EOSError("OLE error " + rtl::IntToHex(static_cast<uint32_t>(hr), 8));
}

}  // namespace

TMTSTransaction::TMTSTransaction() = default;

TMTSTransaction::~TMTSTransaction() = default;

bool TMTSTransaction::AttachConnection(TCRConnection* Connection) {
    const bool result = TCRTransaction::AttachConnection(Connection);
    if (FActive) EnlistConnection(Connection);
    return result;
}

bool TMTSTransaction::DetachConnection(TCRConnection* Connection) {
    const bool result = TCRTransaction::DetachConnection(Connection);
    if (FActive) UnenlistConnection(Connection);
    return result;
}

void TMTSTransaction::BeginWork() {
    CheckInactive();
    for (int i = 0; i < ConnectionsCount(); ++i)
        if (!Connections(i)->GetConnected()) throw rtl::Exception(SConnectionInTransactionNotActive);
    BeginDistributed();
    FActive = true;
    for (int i = 0; i < ConnectionsCount(); ++i) {
        try {
            EnlistConnection(Connections(i));
        } catch (...) {
            // The enlist error is the one to report, not a second one from the rollback.
            try {
                RollbackWork();
            } catch (...) {
            }
            FActive = false;
            FMTSGC.reset();
            throw;
        }
    }
}

void TMTSTransaction::CommitWork() {
    CheckActive();
    EndDistributed(true);
}

void TMTSTransaction::RollbackWork() {
    CheckActive();
    EndDistributed(false);
}

void TMTSTransaction::Savepoint(const AnsiString& Name) {
    for (int i = 0; i < ConnectionsCount(); ++i) Connections(i)->GetInternalTransaction()->Savepoint(Name);
}

void TMTSTransaction::ReleaseSavepoint(const AnsiString& Name) {
    for (int i = 0; i < ConnectionsCount(); ++i) Connections(i)->GetInternalTransaction()->ReleaseSavepoint(Name);
}

void TMTSTransaction::RollbackToSavepoint(const AnsiString& Name) {
    for (int i = 0; i < ConnectionsCount(); ++i) Connections(i)->GetInternalTransaction()->RollbackToSavepoint(Name);
}

void TMTSTransaction::BeginDistributed() {
    LoadCoordinator();
    if (!FTransactionDispenser) {
        HRESULT hr =
            DtcGetTransactionManagerEx(nullptr, nullptr, IID_ITransactionDispenser, 0, nullptr, FTransactionDispenser);
        if (!Succeeded(hr) || !FTransactionDispenser) {
            FTransactionDispenser.reset();
            RaiseOleError(hr);
        }
    }
    int32_t level;
    switch (FIsolationLevel) {
        case ilReadCommitted: level = ISOLATIONLEVEL_READCOMMITTED; break;
        case ilReadUnCommitted: level = ISOLATIONLEVEL_READUNCOMMITTED; break;
        case ilRepeatableRead: level = ISOLATIONLEVEL_REPEATABLEREAD; break;
        case ilIsolated: level = ISOLATIONLEVEL_SERIALIZABLE; break;
        default: throw rtl::Exception(SUnsupportedIsolationLevelMTS);
    }
    HRESULT hr = FTransactionDispenser->BeginTransaction(nullptr, level, 0, nullptr, FMTSGC);
    if (!Succeeded(hr) || !FMTSGC) {
        FMTSGC.reset();
        RaiseOleError(hr);
    }
}

void TMTSTransaction::EndDistributed(bool Commit) {
    if (!FMTSGC) rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, __LINE__);
    FActive = false;
    const HRESULT hr =
        rtl::TryFinally([&] { return Commit ? FMTSGC->Commit(false, 0, 0) : FMTSGC->Abort(nullptr, false, false); },
                        [&] { FMTSGC.reset(); });
    for (int i = 0; i < ConnectionsCount(); ++i) UnenlistConnection(Connections(i));
    if (!Succeeded(hr)) RaiseOleError(hr);
}

void TMTSTransaction::EnlistConnection(TCRConnection* Connection) { Connection->Enlist(this); }

void TMTSTransaction::UnenlistConnection(TCRConnection* Connection) { Connection->UnEnlist(this); }

}  // namespace daccess
