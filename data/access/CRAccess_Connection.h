// The provider connection and its transactions, the distributed one included.
#pragma once

#include <memory>

#include "data/access/CRAccess_Command.h"
#include "data/access/CRVio.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// Transaction

template <class B>
class TCreatableClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual B* Create() const { rtl::AbstractError(); }
    template <class T>
    class Of;
};

template <class B>
template <class T>
class TCreatableClass<B>::Of : public TCreatableClass<B> {
public:
    constexpr Of(const char* Name, const rtl::ClassRef* Parent) noexcept : TCreatableClass<B>(Name, Parent) {}
    B* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            rtl::AbstractError();
    }
    rtl::TObject* NewInstance() const override { return Create(); }
};

using TCRTransactionClass = TCreatableClass<TCRTransaction>;
using TCRConnectionClass = TCreatableClass<TCRConnection>;
using TCRRecordSetClass = TCreatableClass<TCRRecordSet>;

class TCRConnections : public rtl::TList {
    RTL_CLASS(TCRConnections, rtl::TList)
public:
    TCRConnection* Items(int Index) const { return static_cast<TCRConnection*>(TList::Items(Index)); }
};

class TCRTransaction : public rtl::TObject {
public:
    using ClassRefType = TCRTransactionClass;
    RTL_CLASS(TCRTransaction, rtl::TObject)
public:
    TCRTransaction();
    ~TCRTransaction() override;

    virtual bool AttachConnection(TCRConnection* Connection);
    virtual bool DetachConnection(TCRConnection* Connection);
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual bool GetInTransaction() { return FActive; }
    virtual bool GetInTransactionChecked() { return FActive; }
    virtual void AssignConnect(TCRTransaction* Source);
    virtual void BeginWork();
    virtual void CommitWork();
    virtual void RollbackWork();
    virtual void CommitRetaining();
    virtual void RollbackRetaining();
    virtual void Savepoint(const AnsiString& Name);
    virtual void ReleaseSavepoint(const AnsiString& Name);
    virtual void RollbackToSavepoint(const AnsiString& Name);
    virtual void Reset() { FActive = false; }
    virtual bool CanRestoreAfterFailover() { return false; }

    // "Can't perform operation on inactive transaction" / "... on active transaction".
    void CheckActive();
    void CheckInactive();
    int ConnectionsCount() const { return FConnections->Count(); }
    TCRConnection* Connections(int Index) const { return FConnections->Items(Index); }
    TCRIsolationLevel IsolationLevel() const noexcept { return FIsolationLevel; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    bool Native() const noexcept { return FNativeTransaction; }
    rtl::TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(rtl::TComponent* Value) noexcept { FComponent = Value; }

    TErrorProc OnError;

protected:
    bool FActive = false;
    bool FNativeTransaction = true;
    rtl::TOwnedPtr<TCRConnections> FConnections;
    TCRIsolationLevel FIsolationLevel = ilReadCommitted;
    bool FReadOnly = false;
    rtl::TComponent* FComponent = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Connection

class TCRConnection : public rtl::TObject {
public:
    using ClassRefType = TCRConnectionClass;
    RTL_CLASS(TCRConnection, rtl::TObject)
public:
    TCRConnection();
    ~TCRConnection() override;
    // The internal transaction and the map rules come from overridable factories.
    void AfterConstruction() override;
    // Closes the connection while the object is still whole.
    void BeforeDestruction() override;

    virtual TSQLInfo* CreateSQLInfo();
    virtual TCRMapRules* CreateMapRules();
    // Distributed transactions: the base has no support.
    virtual void Enlist(TMTSTransaction* Transaction);
    virtual void UnEnlist(TMTSTransaction* Transaction);
    virtual void DoError(rtl::Exception* E, bool* Fail);
    virtual const TCRCommandClass& GetCommandClass() const = 0;
    virtual const TCRTransactionClass& GetTransactionClass() const = 0;
    virtual void Connect(const AnsiString& ConnectString);
    virtual void Disconnect() = 0;
    virtual void Assign(TCRConnection* Source);
    virtual void AssignConnect(TCRConnection* Source) = 0;
    virtual void SetUsername(const AnsiString& Value) { FUsername = Value; }
    virtual void SetPassword(const AnsiString& Value) { FPassword = Value; }
    virtual void SetServer(const AnsiString& Value) { FServer = Value; }
    virtual bool CheckIsValid() = 0;
    virtual void ReturnToPool();
    virtual AnsiString GetServerVersion() = 0;
    virtual AnsiString GetServerVersionFull() = 0;
    virtual AnsiString GetClientVersion() = 0;
    virtual bool CanChangeDatabase() { return true; }
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);

    TSQLInfo* SQLInfo();
    bool GetConnected() const noexcept { return FConnected; }
    TCRTransaction* GetInternalTransaction() const noexcept { return FInternalTransaction.get(); }
    TCRMapRules* MapRules() const noexcept { return FMapRules.get(); }

    const AnsiString& Username() const noexcept { return FUsername; }
    const AnsiString& Password() const noexcept { return FPassword; }
    const AnsiString& Server() const noexcept { return FServer; }
    bool AutoCommit() const noexcept { return FAutoCommit; }
    bool ConvertEOL() const noexcept { return FConvertEOL; }
    bool IsValid() const noexcept { return FIsValid; }
    void SetIsValid(bool Value) noexcept { FIsValid = Value; }
    bool OwnsHandle() const noexcept { return FNativeConnection; }
    TCRConnectionPool* Pool() const noexcept { return FPool; }
    void SetPool(TCRConnectionPool* Value) noexcept { FPool = Value; }
    uint32_t ConnectionTime() const noexcept { return FConnectionTime; }
    rtl::TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(rtl::TComponent* Value) noexcept { FComponent = Value; }
    bool DisconnectedMode() const noexcept { return FDisconnectedMode; }
    bool EnableBCD() const noexcept { return FEnableBCD; }
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    bool Reconnected() const noexcept { return FReconnected; }
    int DefaultSortType() const noexcept { return FDefaultSortType; }
    TCRIOHandler* IOHandler() const noexcept { return FIOHandler; }
    void SetIOHandler(TCRIOHandler* Value) noexcept { FIOHandler = Value; }
    THttpOptions* HttpOptions() const noexcept { return FHttpOptions.get(); }

    TErrorProc OnError;
    TReconnectProc ReconnectFailedHook;
    TReconnectProc ReconnectDoneHook;

protected:
    rtl::TOwnedPtr<TSQLInfo> FSQLInfo;
    rtl::TOwnedPtr<TCRMapRules> FMapRules;
    rtl::TOwnedPtr<TCRTransaction> FInternalTransaction;
    bool FConnected = false;
    bool FNativeConnection = true;
    AnsiString FUsername;
    AnsiString FPassword;
    AnsiString FServer;
    bool FAutoCommit = true;
    bool FConvertEOL = false;
    bool FIsValid = true;
    TCRConnectionPool* FPool = nullptr;
    uint32_t FConnectionTime = 0;
    rtl::TComponent* FComponent = nullptr;
    bool FDisconnectedMode = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    bool FInProcessError = false;
    bool FReconnected = false;
    int FDefaultSortType = 0;
    TCRIOHandler* FIOHandler = nullptr;
    rtl::TOwnedPtr<THttpOptions> FHttpOptions;
};

// ---------------------------------------------------------------------------------------------
// Distributed transaction

class TMTSTransaction : public TCRTransaction {
    RTL_CLASS(TMTSTransaction, TCRTransaction)
public:
    TMTSTransaction();
    ~TMTSTransaction() override;

    bool AttachConnection(TCRConnection* Connection) override;
    bool DetachConnection(TCRConnection* Connection) override;
    void BeginWork() override;
    void CommitWork() override;
    void RollbackWork() override;
    void Savepoint(const AnsiString& Name) override;
    void ReleaseSavepoint(const AnsiString& Name) override;
    void RollbackToSavepoint(const AnsiString& Name) override;

    virtual void BeginDistributed();
    virtual void EndDistributed(bool Commit);
    virtual void EnlistConnection(TCRConnection* Connection);
    virtual void UnenlistConnection(TCRConnection* Connection);

    bool HasDistributedTransaction() const noexcept { return static_cast<bool>(FMTSGC); }

protected:
    std::shared_ptr<ICRTransactionDispenserSC> FTransactionDispenser;
    std::shared_ptr<ICRTransactionSC> FMTSGC;
};

}  // namespace daccess
