// The connection and transaction components.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "data/access/CRAccess_MetaData.h"
#include "data/access/DBAccess_Params.h"
#include "framework/db/DB_Connection.h"
#include "framework/rtl/Lock.h"

namespace daccess {

// =============================================================================================
// Connection and transaction components

class TCustomDAConnection;
class TDATransaction;

inline constexpr const char* DBAccessUnit = "DBAccess";
inline constexpr const char* SInvalidParamsArray =
    "Invalid Params array. Valid format: <Name1>,<Value1>[,<Name2>,<Value2>[...]]";
inline constexpr const char* SCannotConnect = "Cannot connect to database";
inline constexpr const char* SMultipleTransactionsNotSupported =
    "Multiple transactions are not supported by the database";

// The connect dialog a user-interface unit may install: asked for the login when the connection
// needs a prompt; false refuses the connect. None is installed in this system.
using TConnectDialogHook = std::function<bool(TCustomDAConnection* Connection)>;
extern TConnectDialogHook DefConnectDialogHook;

// What a lost connection's owner wants: give up, reconnect, or reconnect and repeat the operation.
enum TRetryMode { rmRaise, rmReconnect, rmReconnectExecute };
enum TTransactionType { ttNative, ttMTS };

using TDAConnectionErrorEvent = std::function<void(rtl::TObject* Sender, EDAError& E, bool& Fail)>;
using TConnectionLostEvent = std::function<void(rtl::TObject* Sender, rtl::TComponent* Component,
                                                TConnLostCause ConnLostCause, TRetryMode& RetryMode)>;
using TDATransactionErrorEvent = std::function<void(rtl::TObject* Sender, EDAError& E, bool& Fail)>;

// What the connection and its transactions ask of a registered client: a dataset, metadata or
// SQL command component implements it. Clients without it are only told of connects.
class IDAConnectionClient {
public:
    virtual ~IDAConnectionClient() = default;
    // True for an SQL command component; false for a dataset or metadata component.
    virtual bool ClientIsSQL() const = 0;
    // A dataset: its store holds a prepared statement. An SQL component: it is prepared.
    virtual bool ClientPrepared() = 0;
    // An SQL component whose command is running.
    virtual bool ClientExecuting() = 0;
    // A dataset that is open without FetchAll and has not fetched every row.
    virtual bool ClientFetchPending() = 0;
    // A dataset whose statement returns rows.
    virtual bool ClientIsQuery() = 0;
    // The provider connection the client's command or record set works on (null: none).
    virtual void ClientSetIConnection(TCRConnection* Value) = 0;
    // The connection goes away: the client drops it (and unregisters itself).
    virtual void ClientClearConnection() = 0;
    // The transaction the client runs its statements in; null for the connection's default.
    virtual TDATransaction* ClientTransaction() = 0;
    // The client's cursor ends with the transaction: it disconnects.
    virtual void ClientDisconnect() = 0;
    // After a fatal error: a record set forgets its described fields, an SQL component unprepares.
    virtual void ClientResetAfterFatalError() = 0;
    // The named transaction is being freed.
    virtual void ClientForgetTransaction(TDATransaction* Transaction) = 0;
};

// The connection's internal SQL component, through which ExecSQL and ExecProc run: the SQL command
// component (TCustomDASQL) returned from TCustomDAConnection::CreateSQL.
class IDAConnectionSQL {
public:
    virtual ~IDAConnectionSQL() = default;
    virtual void SetDebug(bool Value) = 0;
    // Clears the text, then sets it; the parameters are scanned again.
    virtual void SetSQLText(const AnsiString& Text) = 0;
    // Makes the text a call of the stored procedure with its parameters described.
    virtual void PrepareStoredProc(const AnsiString& Name) = 0;
    virtual db::TParams* Params() = 0;
    // The parameter of type result; null when none.
    virtual db::TParam* FindResultParam() = 0;
    // One iteration.
    virtual void Execute() = 0;
};

class TDAConnections : public rtl::TList {
    RTL_CLASS(TDAConnections, rtl::TList)
public:
    TCustomDAConnection* Items(int Index) const { return static_cast<TCustomDAConnection*>(TList::Items(Index)); }
};

class TDATransactions : public rtl::TList {
    RTL_CLASS(TDATransactions, rtl::TList)
public:
    TDATransaction* Items(int Index) const { return static_cast<TDATransaction*>(TList::Items(Index)); }
};

class TCustomDADataSet;
class TDAMetaData;

// A provider property the object may not know: false (and Value untouched) then.
template <class T>
bool TryGetProp(T* Obj, int Prop, Variant& Value) {
    if (!Obj) return false;
    try {
        return Obj->GetProp(Prop, Value) && !Value.IsEmpty() && !Value.IsNull();
    } catch (const rtl::EAssertionFailed&) {
        return false;
    }
}

// The connection component base: login data and options, the provider connection, the clients
// that use it, its transactions and the count of operations that need it open.
class TCustomDAConnection : public db::TCustomConnection, public IDAConnectionLink {
    RTL_CLASS(TCustomDAConnection, db::TCustomConnection)
public:
    explicit TCustomDAConnection(rtl::TComponent* Owner);
    ~TCustomDAConnection() override;
    // Creates the internal default transaction, the options and the mapping rules.
    void AfterConstruction() override;
    // Disconnects and releases transactions and clients while the object is still whole.
    void BeforeDestruction() override;

    // --- platform ---
    void SetConnected(bool Value) override;
    void RegisterClient(rtl::TObject* Client, db::TConnectChangeEvent Event = nullptr) override;
    void UnRegisterClient(rtl::TObject* Client) override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    // Connects a connection read as connected (run time, or KeepDesignConnected).
    void Loaded() override;

    // --- class queries; the base belongs to no provider ---
    virtual void ClearRefs();
    virtual const TCRConnectionClass& GetIConnectionClass() const;
    virtual const TCRCommandClass& GetICommandClass() const;
    virtual const TCRRecordSetClass& GetIRecordSetClass() const;
    virtual const TCRMetaDataClass& GetIMetaDataClass() const;
    virtual bool IsMultipleTransactionsSupported() const { return false; }
    // Creates or takes the provider connection; the base installs none.
    virtual void CreateIConnection() {}
    virtual void SetIConnection(TCRConnection* Value);
    virtual TDAConnectionMapRules* CreateDataTypeMap();
    // The class whose monitor traces this connection and its clients.
    virtual const rtl::ClassRef& SQLMonitorClass() const;
    virtual void DisconnectTransactions();
    // Holds the connection open for one operation of a client.
    virtual void InternalConnect();
    virtual void InternalDisconnect();
    virtual AnsiString GetServerForConnect() { return FServer; }
    // Connected is stored only while connected and not in disconnected mode.
    virtual bool IsConnectedStored();
    virtual bool NeedPrompt();
    // Both do nothing and answer 0 without LocalFailover.
    virtual int PushOperation(TConnLostCause Cause, bool AllowFailOver = true);
    virtual TConnLostCause PopOperation();
    virtual void ResetOnFatalError();
    virtual void RestoreAfterFailover();
    virtual bool IsFailOverAllowed();
    virtual TConnLostCause DetectConnLostCause(rtl::TComponent* Component);
    // The provider connection's error hook.
    virtual void DoError(rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount, bool& Reexecute,
                         bool& Reconnect);
    virtual AnsiString OptionalText() { return {}; }
    virtual void OptionalHook() {}
    virtual void SetServer(const AnsiString& Value);
    virtual AnsiString GetCurrentSchema() { return {}; }
    virtual bool DetectInTransaction(bool CanTakeDefault = false);
    virtual bool InTransaction() { return DetectInTransaction(false); }
    virtual TDATransaction* UsedTransaction();
    virtual void CheckSQL();
    virtual void AssignConnect(TCustomDAConnection* Source);
    virtual TDAConnectionOptions* CreateOptions();
    virtual TPoolingOptions* CreatePoolingOptions();
    virtual void AddTransaction(TDATransaction* Transaction);
    virtual void RemoveTransaction(TDATransaction* Transaction);
    virtual void CommitRetaining();
    virtual void RollbackRetaining();
    virtual void Savepoint(const AnsiString& Name);
    virtual void RollbackToSavepoint(const AnsiString& Name);
    virtual void ReleaseSavepoint(const AnsiString& Name);
    // Values go to the parameters in order; the result parameter's value, else Null.
    virtual Variant ExecSQL(const AnsiString& Text, const std::vector<Variant>& Params = {});
    // Name, value, name, value...; the result parameter's value, else Empty.
    virtual Variant ExecSQLEx(const AnsiString& Text, const std::vector<Variant>& Params);
    virtual Variant ExecProc(const AnsiString& Name, const std::vector<Variant>& Params = {});
    virtual Variant ExecProcEx(const AnsiString& Name, const std::vector<Variant>& Params);
    virtual void GetTableNames(rtl::TStrings* List, bool AllTables = false);
    virtual void GetDatabaseNames(rtl::TStrings* List);
    virtual void GetStoredProcNames(rtl::TStrings* List, bool AllProcs = false);
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();
    virtual TDATransaction* CreateTransaction();
    // The internal SQL component: an SQL command component bound to this connection.
    virtual IDAConnectionSQL* CreateSQL();
    // A metadata dataset bound to this connection; the caller owns it.
    virtual TDAMetaData* CreateMetaData();
    // A query dataset bound to this connection; the caller owns it.
    virtual TCustomDADataSet* CreateDataSet();
    // The service class of this connection's datasets; a provider names its own.
    virtual const store::TDataSetServiceClass& GetDataSetServiceClass() const;
    // The provider's metadata reader the metadata datasets use.
    virtual TCRMetaData* CreateIMetaData();
    // Applies the cached updates of the datasets in their update transactions.
    virtual void ApplyUpdatesFor(const std::vector<TCustomDADataSet*>& DataSets);
    virtual void ApplyUpdates();

    // --- non-virtual ---
    void Connect() { SetConnected(true); }
    void Disconnect() { SetConnected(false); }
    void FreeIConnection();
    TDATransaction* DefaultTransaction() const;
    void SetDefaultTransaction(TDATransaction* Value);
    TDATransaction* InternalTransaction() const noexcept { return FInternalTransaction; }
    // For the transaction component: the provider connection's auto-commit off, and back.
    void SuspendAutoCommit();
    void RestoreAutoCommit();

    TCRConnection* IConnection() const noexcept { return FIConnection; }
    const AnsiString& Username() const noexcept { return FUsername; }
    void SetUsername(const AnsiString& Value);
    const AnsiString& Password() const noexcept { return FPassword; }
    void SetPassword(const AnsiString& Value);
    const AnsiString& Server() const noexcept { return FServer; }
    bool Pooling() const noexcept { return FPooling; }
    void SetPooling(bool Value);
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value);
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool ConvertEOL() const noexcept { return FConvertEOL; }
    void SetConvertEOL(bool Value);
    TDAConnectionOptions* Options() const noexcept { return FOptions.get(); }
    TPoolingOptions* PoolingOptions() const noexcept { return FPoolingOptions.get(); }
    TDAConnectionMapRules* DataTypeMap() const noexcept { return FDataTypeMap.get(); }
    void SetDataTypeMap(TDAConnectionMapRules* Value);
    int ConnectCount() const noexcept { return FConnectCount; }
    int TransactionCount() const { return FTransactions->Count(); }
    TDATransaction* Transactions(int Index) const { return FTransactions->Items(Index); }
    int SQLClientCount() const noexcept { return static_cast<int>(FSQLs.size()); }
    int OperationsStackDepth() const noexcept { return FOperationsStackLen; }
    int OperationsStackCapacity() const noexcept { return static_cast<int>(FOperationsStack.size()); }
    bool PromptOnCountedConnect() const noexcept { return FConnectCountPrompt; }
    IDAConnectionSQL* InternalSQL() const noexcept { return FCommand.get(); }

    // --- IDAConnectionLink ---
    void LinkDisconnect() override { Disconnect(); }
    void LinkSetIConnectionProp(int Prop, const Variant& Value) override;
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return TDAFieldTypeMap::Instance(); }

    TDAConnectionErrorEvent OnError;
    TConnectionLostEvent OnConnectionLost;

protected:
    bool GetConnected() const override;
    // The platform's connect and disconnect steps.
    void DoConnect() override { PerformConnect(); }
    void DoDisconnect() override { PerformDisconnect(); }
    virtual void PerformConnect();
    virtual void PerformDisconnect();
    // Copies login data, options and events into another connection.
    void AssignTo(rtl::TPersistent* Dest) override;
    bool Reading() const;
    // The client's connection interface, null when it has none.
    static IDAConnectionClient* ClientLink(rtl::TObject* Client);

    rtl::TOwnedPtr<TDATransactions> FTransactions;
    bool FAutoCommit = true;
    bool FDisconnectingOnFatal = false;
    rtl::TRecursiveLock FLock;
    TDATransaction* FDefaultTransaction = nullptr;
    TDATransaction* FInternalTransaction = nullptr;
    int FConnectCount = 0;
    std::vector<rtl::TObject*> FSQLs;
    TCRConnection* FIConnection = nullptr;
    bool FConnectCountPrompt = true;
    std::vector<uint16_t> FOperationsStack;
    int FOperationsStackLen = 0;
    std::unique_ptr<IDAConnectionSQL> FCommand;

    AnsiString FUsername;
    AnsiString FPassword;
    AnsiString FServer;
    bool FPooling = false;
    bool FDebug = false;
    bool FConvertEOL = false;
    rtl::TOwnedPtr<TDAConnectionOptions> FOptions;
    rtl::TOwnedPtr<TPoolingOptions> FPoolingOptions;
    rtl::TOwnedPtr<TDAConnectionMapRules> FDataTypeMap;

private:
    void ConnectSteps();
    void ReleaseITransactions();
    Variant ExecuteForResult(bool NullWhenNone);
    void SetPairs(const std::vector<Variant>& Params, bool UnbindInputs);
    template <class F>
    void ReadNames(rtl::TStrings* List, const AnsiString& Kind, bool Local, bool Counted, F&& AddRow);
    // The datasets among the clients.
    std::vector<TCustomDADataSet*> ClientDataSets();
};

// One database transaction over one or more connection components, with the automatic part that
// lets statements start it implicitly and commit after themselves.
class TDATransaction : public rtl::TComponent {
    RTL_CLASS(TDATransaction, rtl::TComponent)
public:
    explicit TDATransaction(rtl::TComponent* Owner);
    ~TDATransaction() override;
    // Closes the transaction and lets go of its connections while the object is whole.
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // Native: the class of the default connection's provider (the universal transaction asks its
    // provider); MTS: the distributed transaction.
    virtual const TCRTransactionClass& GetITransactionClass();
    virtual void SetITransaction(TCRTransaction* Value);
    virtual bool GetActive();
    virtual void CloseTransaction(bool Force = false);
    virtual void AutoStart();
    virtual void AutoCommit(bool AutoCommitFlag);
    virtual void AutoEnd();
    virtual bool CanAutoCommitExplicit() { return true; }
    virtual TCustomDAConnection* GetDefaultConnection() const;
    virtual void CommitRetaining();
    virtual void RollbackRetaining();
    virtual void Savepoint(const AnsiString& Name);
    virtual void ReleaseSavepoint(const AnsiString& Name);
    virtual void RollbackToSavepoint(const AnsiString& Name);
    virtual void AddConnection(TCustomDAConnection* Connection);
    virtual void RemoveConnection(TCustomDAConnection* Connection);
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();

    bool Active() { return GetActive(); }
    // "Can't perform operation on inactive transaction" / "... on active transaction".
    void CheckActive();
    void CheckInactive();
    // The active test the connection asks; the flag is accepted for the connection's default
    // transaction.
    bool DetectInTransaction(bool CanTakeDefault);

    TTransactionType TransactionType() const noexcept { return FTransactionType; }
    void SetTransactionType(TTransactionType Value);
    TCRIsolationLevel IsolationLevel() const noexcept { return FIsolationLevel; }
    void SetIsolationLevel(TCRIsolationLevel Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    TCRTransactionAction DefaultCloseAction() const noexcept { return FDefaultCloseAction; }
    void SetDefaultCloseAction(TCRTransactionAction Value) noexcept { FDefaultCloseAction = Value; }
    TCustomDAConnection* DefaultConnection() const noexcept { return FDefaultConnection; }
    void SetDefaultConnection(TCustomDAConnection* Value);
    int ConnectionsCount() const { return FConnections->Count(); }
    TCustomDAConnection* Connections(int Index) const { return FConnections->Items(Index); }
    TCRTransaction* ITransaction() const noexcept { return FITransaction; }
    bool IsInternal() const noexcept { return FIsInternal; }
    void SetIsInternal(bool Value) noexcept { FIsInternal = Value; }
    int TrUsers() const noexcept { return FTrUsers; }
    int PendingChanges() const noexcept { return FPendingChanges; }
    bool ExplicitlyStarted() const noexcept { return FExplicitlyStarted; }
    bool Prepared() const noexcept { return FPrepared; }

    // Makes the connections ready and the provider transaction set up.
    void PrepareConnections(bool ForSavepoint = false);
    void ResetAutoState();
    // Called by the connection after a fatal error and after a reconnect.
    void ResetOnFatalError();
    void RestoreAfterFailover();
    // Drops the provider transaction (the connection's own one is only forgotten).
    void FreeITransaction();
    // The connection releases its provider connection: detach it (or forget the connection's own).
    void ReleaseIConnection(TCustomDAConnection* Connection);

    TDATransactionErrorEvent OnError;
    rtl::TNotifyEvent OnStart;
    rtl::TNotifyEvent OnCommit;
    rtl::TNotifyEvent OnRollback;

protected:
    void DisconnectClients();
    void DoError(rtl::Exception* E, bool* Fail);
    // Releases the counted connects this transaction made.
    void ReleaseConnections();
    std::vector<TCustomDAConnection*> FCountedConnections;
    bool OwnsITransaction() const;
    rtl::TComponent* TraceObject() const;

    rtl::TOwnedPtr<TDAConnections> FConnections;
    TCustomDAConnection* FDefaultConnection = nullptr;
    TCRTransaction* FITransaction = nullptr;
    TTransactionType FTransactionType = ttNative;
    TCRIsolationLevel FIsolationLevel = ilReadCommitted;
    bool FReadOnly = false;
    TCRTransactionAction FDefaultCloseAction = taRollback;
    int32_t FTrUsers = 0;
    int32_t FPendingChanges = 0;
    bool FExplicitlyStarted = false;
    bool FImplicitEnd = false;
    int32_t FSavedTrUsers = 0;
    bool FPrepared = false;
    bool FClosingOnError = false;
    bool FIsInternal = false;
    bool FDesignCreated = false;
};

}  // namespace daccess
