// The transaction component: explicit start, commit and rollback over one or more connections,
// savepoints, the close action, and the automatic part that statements use.
#include <algorithm>

#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess_Connection.h"
#include "data/store/DAConsts.h"

namespace daccess {

// The connection's own transaction is traced as the connection, so that its user and server show.
rtl::TComponent* TDATransaction::TraceObject() const {
    if (FIsInternal && FDefaultConnection) return FDefaultConnection;
    return const_cast<TDATransaction*>(this);
}

TDATransaction::TDATransaction(rtl::TComponent* Owner)
    : TComponent(Owner), FConnections(rtl::Create<TDAConnections>()) {}

void TDATransaction::BeforeDestruction() {
    if (!ComponentState().Contains(rtl::csDestroying)) Destroying();
    try {
        CloseTransaction(true);
    } catch (...) {
        // Forced: nothing is left to report to.
    }
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCustomDAConnection* conn = FConnections->Items(i);
        for (int c = 0; c < conn->ClientCount(); ++c)
            if (auto* link = dynamic_cast<IDAConnectionClient*>(conn->Clients(c)))
                if (link->ClientTransaction() == this) link->ClientForgetTransaction(this);
    }
    if (FDefaultConnection) FDefaultConnection->RemoveFreeNotification(this);
    for (int i = FConnections->Count() - 1; i >= 0; --i) RemoveConnection(FConnections->Items(i));
    FreeITransaction();
    TComponent::BeforeDestruction();
}

TDATransaction::~TDATransaction() = default;

void TDATransaction::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    if (Operation == rtl::opRemove && AComponent) {
        if (AComponent == FDefaultConnection) SetDefaultConnection(nullptr);
        for (int i = FConnections->Count() - 1; i >= 0; --i)
            if (FConnections->Items(i) == AComponent) RemoveConnection(FConnections->Items(i));
    }
    TComponent::Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------------------------
// Provider transaction

const TCRTransactionClass& TDATransaction::GetITransactionClass() {
    if (FTransactionType == ttMTS) return TMTSTransaction::StaticClass();
    TCustomDAConnection* conn = GetDefaultConnection();
    if (conn && conn->IConnection()) return conn->IConnection()->GetTransactionClass();
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

bool TDATransaction::OwnsITransaction() const {
    if (!FITransaction) return false;
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCRConnection* ic = FConnections->Items(i)->IConnection();
        if (ic && ic->GetInternalTransaction() == FITransaction) return false;
    }
    return !FIsInternal;
}

void TDATransaction::FreeITransaction() {
    TCRTransaction* tr = FITransaction;
    const bool owned = OwnsITransaction();
    FITransaction = nullptr;
    if (owned) rtl::TObject::Free(tr);
}

void TDATransaction::SetITransaction(TCRTransaction* Value) {
    if (Value == FITransaction) return;
    FreeITransaction();
    FITransaction = Value;
    if (!Value) return;
    Value->SetProp(pidIsolationLevel, static_cast<int>(FIsolationLevel));
    Value->SetProp(pidTransactionReadOnly, FReadOnly);
    Value->OnError = [this](rtl::Exception* E, bool* Fail, TConnLostCause&, int, bool&, bool&) { DoError(E, Fail); };
    Value->SetComponent(this);
}

void TDATransaction::ReleaseIConnection(TCustomDAConnection* Connection) {
    if (!FITransaction) return;
    if (FIsInternal) {
        // The provider connection's own transaction goes with it.
        FITransaction = nullptr;
        return;
    }
    if (Connection->IConnection()) FITransaction->DetachConnection(Connection->IConnection());
}

bool TDATransaction::GetActive() { return FITransaction && FITransaction->GetInTransaction(); }

bool TDATransaction::DetectInTransaction(bool /*CanTakeDefault*/) { return GetActive(); }

void TDATransaction::CheckActive() {
    if (!GetActive()) db::DatabaseError(STransactionInactive);
}

void TDATransaction::CheckInactive() {
    if (GetActive()) db::DatabaseError(STransactionActive);
}

// ---------------------------------------------------------------------------------------------
// Settings

void TDATransaction::SetTransactionType(TTransactionType Value) {
    CheckInactive();
    if (Value == FTransactionType) return;
    FreeITransaction();
    FTransactionType = Value;
}

void TDATransaction::SetIsolationLevel(TCRIsolationLevel Value) {
    CheckInactive();
    FIsolationLevel = Value;
    if (FITransaction) FITransaction->SetProp(pidIsolationLevel, static_cast<int>(Value));
}

void TDATransaction::SetReadOnly(bool Value) {
    CheckInactive();
    FReadOnly = Value;
    if (FITransaction) FITransaction->SetProp(pidTransactionReadOnly, Value);
}

TCustomDAConnection* TDATransaction::GetDefaultConnection() const {
    if (FDefaultConnection) return FDefaultConnection;
    return FConnections->Count() > 0 ? FConnections->Items(0) : nullptr;
}

void TDATransaction::SetDefaultConnection(TCustomDAConnection* Value) {
    if (Value == FDefaultConnection) return;
    if (TCustomDAConnection* old = FDefaultConnection) {
        old->RemoveFreeNotification(this);
        RemoveConnection(old);
    }
    if (Value) {
        AddConnection(Value);
        Value->FreeNotification(this);
    }
    FDefaultConnection = Value;
}

void TDATransaction::AddConnection(TCustomDAConnection* Connection) {
    if (!Connection || FConnections->IndexOf(Connection) >= 0) return;
    if (GetActive()) {
        if (FTransactionType == ttMTS) {
            if (auto* mts = dynamic_cast<TMTSTransaction*>(FITransaction))
                if (Connection->IConnection()) mts->EnlistConnection(Connection->IConnection());
        } else {
            CloseTransaction(false);
        }
    }
    FConnections->Add(Connection);
    Connection->AddTransaction(this);
}

void TDATransaction::RemoveConnection(TCustomDAConnection* Connection) {
    const int index = FConnections->IndexOf(Connection);
    if (index < 0) return;
    if (GetActive() && FTransactionType == ttNative) CloseTransaction(false);
    if (FDefaultConnection == Connection) FDefaultConnection = nullptr;
    // Its counted connect (if any) ends with it.
    auto counted = std::find(FCountedConnections.begin(), FCountedConnections.end(), Connection);
    if (counted != FCountedConnections.end()) FCountedConnections.erase(counted);
    FConnections->Delete(FConnections->IndexOf(Connection));
    if (!FIsInternal && FITransaction && Connection->IConnection())
        FITransaction->DetachConnection(Connection->IConnection());
    Connection->RemoveTransaction(this);
}

// ---------------------------------------------------------------------------------------------
// Start, commit, rollback

void TDATransaction::PrepareConnections(bool ForSavepoint) {
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCustomDAConnection* conn = FConnections->Items(i);
        if (!conn->Connected() && !(conn->Options()->DisconnectedMode() && !ForSavepoint))
            db::DatabaseError(SConnectionInTransactionNotActive);
    }
    if (!ForSavepoint) {
        for (int i = 0; i < FConnections->Count(); ++i) {
            TCustomDAConnection* conn = FConnections->Items(i);
            if (!conn->Options()->DisconnectedMode()) continue;
            if (std::find(FCountedConnections.begin(), FCountedConnections.end(), conn) != FCountedConnections.end())
                continue;
            try {
                conn->InternalConnect();
            } catch (...) {
                ReleaseConnections();
                throw;
            }
            FCountedConnections.push_back(conn);
        }
    }
    const TCRTransactionClass& cls = GetITransactionClass();
    if (!FITransaction || FITransaction->ClassType() != &cls) {
        FreeITransaction();
        if (FIsInternal) {
            TCustomDAConnection* conn = GetDefaultConnection();
            if (!conn || !conn->IConnection()) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
            SetITransaction(conn->IConnection()->GetInternalTransaction());
        } else {
            SetITransaction(cls.Create());
        }
    }
    FImplicitEnd = true;
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCustomDAConnection* conn = FConnections->Items(i);
        if (conn->IConnection()) FITransaction->AttachConnection(conn->IConnection());
        FImplicitEnd = FImplicitEnd && conn->Options()->DisconnectedMode();
    }
    FPrepared = !ForSavepoint;
}

void TDATransaction::ReleaseConnections() {
    std::vector<TCustomDAConnection*> counted;
    counted.swap(FCountedConnections);
    for (TCustomDAConnection* conn : counted)
        if (conn->Connected()) conn->InternalDisconnect();
}

void TDATransaction::StartTransaction() {
    CheckInactive();
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCustomDAConnection* conn = FConnections->Items(i);
        if (!conn->IsMultipleTransactionsSupported() && conn->InTransaction())
            db::DatabaseError(SMultipleTransactionsNotSupported);
    }
    PrepareConnections(false);
    int32_t traceId = 0;
    TCustomDASQLMonitor::ClassTCStart(TraceObject(), true, traceId);
    TCustomDAConnection* single = FConnections->Count() == 1 ? FConnections->Items(0) : nullptr;
    if (single) single->PushOperation(clTransStart, single->IsFailOverAllowed());
    try {
        rtl::TryFinally(
            [&] {
                for (;;) {
                    try {
                        FITransaction->BeginWork();
                        break;
                    } catch (const EFailOver& e) {
                        if (e.ConnLostCause() != clTransStart || !single) throw;
                        single->RestoreAfterFailover();
                        PrepareConnections(false);
                    }
                }
            },
            [&] {
                if (single) single->PopOperation();
            });
    } catch (...) {
        if (!GetActive()) {
            ReleaseConnections();
            FPrepared = false;
        }
        throw;
    }
    for (int i = 0; i < FConnections->Count(); ++i)
        if (!FConnections->Items(i)->IsMultipleTransactionsSupported()) FConnections->Items(i)->SuspendAutoCommit();
    FTrUsers = 1;
    FExplicitlyStarted = true;
    TCustomDASQLMonitor::ClassTCStart(TraceObject(), false, traceId);
    if (OnStart) OnStart(this);
}

void TDATransaction::DisconnectClients() {
    for (int i = 0; i < FConnections->Count(); ++i) {
        TCustomDAConnection* conn = FConnections->Items(i);
        if (!conn->IsMultipleTransactionsSupported()) continue;
        std::vector<IDAConnectionClient*> clients;
        for (int c = 0; c < conn->ClientCount(); ++c)
            if (auto* link = dynamic_cast<IDAConnectionClient*>(conn->Clients(c)))
                if (link->ClientTransaction() == this) clients.push_back(link);
        for (IDAConnectionClient* link : clients) link->ClientDisconnect();
    }
}

void TDATransaction::Commit() {
    if (!FPrepared) PrepareConnections(false);
    DisconnectClients();
    int32_t traceId = 0;
    TCustomDASQLMonitor::ClassTCCommit(TraceObject(), true, traceId);
    rtl::TryFinally([&] { FITransaction->CommitWork(); },
                    [&] {
                        if (!FITransaction || !FITransaction->GetInTransaction()) ResetAutoState();
                    });
    TCustomDASQLMonitor::ClassTCCommit(TraceObject(), false, traceId);
    if (OnCommit) OnCommit(this);
}

void TDATransaction::Rollback() {
    if (!FPrepared) PrepareConnections(false);
    DisconnectClients();
    int32_t traceId = 0;
    TCustomDASQLMonitor::ClassTCRollback(TraceObject(), true, traceId);
    rtl::TryFinally([&] { FITransaction->RollbackWork(); },
                    [&] {
                        if (!FITransaction || !FITransaction->GetInTransaction()) ResetAutoState();
                    });
    TCustomDASQLMonitor::ClassTCRollback(TraceObject(), false, traceId);
    if (OnRollback) OnRollback(this);
}

void TDATransaction::ResetAutoState() {
    if (!FPrepared) return;
    FPrepared = false;
    FTrUsers = 0;
    FExplicitlyStarted = false;
    FPendingChanges = 0;
    for (int i = 0; i < FConnections->Count(); ++i)
        if (!FConnections->Items(i)->IsMultipleTransactionsSupported()) FConnections->Items(i)->RestoreAutoCommit();
    ReleaseConnections();
}

void TDATransaction::CloseTransaction(bool Force) {
    if (!GetActive()) return;
    try {
        if (FDefaultCloseAction == taCommit)
            Commit();
        else
            Rollback();
    } catch (const EDAError& e) {
        if (ComponentState().Contains(rtl::csDestroying) && e.IsFatalError()) return;
        if (!Force) throw;
        // The server could not be told; the transaction ends here all the same.
        if (FITransaction) FITransaction->Reset();
        FPrepared = true;
        ResetAutoState();
    } catch (...) {
        if (!Force) throw;
    }
}

void TDATransaction::CommitRetaining() {
    CheckActive();
    int32_t traceId = 0;
    TCustomDASQLMonitor::TraceCommitRetaining(this, true, traceId);
    FITransaction->CommitRetaining();
    TCustomDASQLMonitor::TraceCommitRetaining(this, false, traceId);
    FPendingChanges = 0;
}

void TDATransaction::RollbackRetaining() {
    CheckActive();
    int32_t traceId = 0;
    TCustomDASQLMonitor::TraceRollbackRetaining(this, true, traceId);
    FITransaction->RollbackRetaining();
    TCustomDASQLMonitor::TraceRollbackRetaining(this, false, traceId);
    FPendingChanges = 0;
}

void TDATransaction::Savepoint(const AnsiString& Name) {
    if (!FPrepared) PrepareConnections(true);
    int32_t traceId = 0;
    TCustomDASQLMonitor::TraceSavepoint(this, Name, true, traceId);
    FITransaction->Savepoint(Name);
    TCustomDASQLMonitor::TraceSavepoint(this, Name, false, traceId);
}

void TDATransaction::ReleaseSavepoint(const AnsiString& Name) {
    if (!FPrepared) PrepareConnections(true);
    int32_t traceId = 0;
    TCustomDASQLMonitor::TraceReleaseSavepoint(this, Name, true, traceId);
    FITransaction->ReleaseSavepoint(Name);
    TCustomDASQLMonitor::TraceReleaseSavepoint(this, Name, false, traceId);
}

void TDATransaction::RollbackToSavepoint(const AnsiString& Name) {
    if (!FPrepared) PrepareConnections(true);
    int32_t traceId = 0;
    TCustomDASQLMonitor::TraceRollbackToSavepoint(this, Name, true, traceId);
    FITransaction->RollbackToSavepoint(Name);
    TCustomDASQLMonitor::TraceRollbackToSavepoint(this, Name, false, traceId);
}

// ---------------------------------------------------------------------------------------------
// Automatic part

void TDATransaction::AutoStart() {
    ++FTrUsers;
    if (FTrUsers == 1 && !GetActive()) {
        StartTransaction();
        FExplicitlyStarted = false;
    }
}

void TDATransaction::AutoCommit(bool AutoCommitFlag) {
    if (AutoCommitFlag && (!FExplicitlyStarted || CanAutoCommitExplicit())) {
        if (FTrUsers == 1)
            Commit();
        else if (FTrUsers > 1)
            CommitRetaining();
    } else {
        ++FPendingChanges;
    }
}

void TDATransaction::AutoEnd() {
    if (FTrUsers == 1) {
        if (!FImplicitEnd) return;
        if (FPendingChanges == 0)
            CloseTransaction(false);
        else
            FTrUsers = 0;
    } else if (FTrUsers > 1) {
        --FTrUsers;
    }
}

// ---------------------------------------------------------------------------------------------
// Failure handling

void TDATransaction::ResetOnFatalError() {
    if (GetActive()) {
        FSavedTrUsers = FITransaction->CanRestoreAfterFailover() ? FTrUsers : 0;
        for (int i = 0; i < FConnections->Count(); ++i) {
            TCustomDAConnection* conn = FConnections->Items(i);
            for (int c = 0; c < conn->ClientCount(); ++c) {
                auto* link = dynamic_cast<IDAConnectionClient*>(conn->Clients(c));
                if (!link) continue;
                TDATransaction* used = link->ClientTransaction();
                if (used != this && !(used == nullptr && conn->DefaultTransaction() == this)) continue;
                try {
                    link->ClientResetAfterFatalError();
                } catch (...) {
                    // The statement is lost with the connection either way.
                }
            }
        }
        try {
            if (FDefaultCloseAction == taCommit)
                FITransaction->CommitWork();
            else
                FITransaction->RollbackWork();
        } catch (...) {
            FITransaction->Reset();
        }
        if (FTrUsers == 1) ReleaseConnections();
    }
    FTrUsers = 0;
    FExplicitlyStarted = false;
    FPendingChanges = 0;
    ResetAutoState();
}

void TDATransaction::RestoreAfterFailover() {
    if (FSavedTrUsers <= 0) return;
    if (FITransaction && !FITransaction->GetInTransaction()) FITransaction->BeginWork();
    FTrUsers = FSavedTrUsers;
    FSavedTrUsers = 0;
}

void TDATransaction::DoError(rtl::Exception* E, bool* Fail) {
    auto* error = dynamic_cast<EDAError*>(E);
    if (!error) return;
    if (OnError && Fail) OnError(this, *error, *Fail);
    if (error->IsFatalError() && !FClosingOnError) {
        FClosingOnError = true;
        try {
            CloseTransaction(true);
        } catch (...) {
        }
        FClosingOnError = false;
    }
}

}  // namespace daccess
