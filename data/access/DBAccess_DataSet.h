// The SQL command, query dataset and metadata components.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/access/DBAccess_Connection.h"

namespace daccess {

// =============================================================================================
// SQL command, dataset and metadata components

class TCustomDASQL;
class TCustomDADataSet;
class TDAMetaData;

inline constexpr const char* SConnectionNotDefined = "Connection is not defined";
inline constexpr const char* STransactionNotAssigned = "Transaction not assigned";
inline constexpr const char* SInvalidFetchRows = "FetchRows must be 1..65535";
inline constexpr const char* SNotOwnedByConnection = "Cannot update, %s is not owned by %s";
inline constexpr const char* SStoredProcNotDefined = "StoredProcName must be defined";

using TBeforeExecuteEvent = std::function<void(rtl::TObject* Sender)>;
using TAfterExecuteEvent = std::function<void(rtl::TObject* Sender, bool Result)>;
using TBeforeFetchEvent = std::function<void(TCustomDADataSet* DataSet, bool& Cancel)>;
using TAfterFetchEvent = std::function<void(TCustomDADataSet* DataSet)>;

// Runs a statement through a provider command until it succeeds, meets an error that is not a
// fail-over, or has been repeated as often as the connection reconnects; the last error is raised.
void ExecuteWithFailover(TCustomDAConnection* Connection, TConnLostCause Cause, const std::function<void()>& Body,
                         const std::function<void()>& AfterRestore = nullptr);
// How often an operation is repeated after a fail-over before the error is given up.
inline constexpr int MaxFailoverRetries = 3;

// The SQL command component: SQL text, parameters and macros over one provider command. A
// dataset owns one to hold its text, parameters and macros; the command is then the dataset's.
class TCustomDASQL : public rtl::TComponent, public IDAConnectionClient, public IDAConnectionSQL, public IMacrosOwner {
    RTL_CLASS(TCustomDASQL, rtl::TComponent)
public:
    explicit TCustomDASQL(rtl::TComponent* Owner);
    ~TCustomDASQL() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // --- text, parameters, macros ---
    const AnsiString& SQL() const noexcept { return FSQL; }
    // A different text unprepares, rescans macros and derives the parameters again.
    void SetSQL(const AnsiString& Value);
    TDAParams* Params() override { return FParams.get(); }
    TMacros* Macros() const noexcept { return FMacros.get(); }
    bool ParamCheck() const noexcept { return FParamCheck; }
    void SetParamCheck(bool Value);
    TDAParam* FindParam(const AnsiString& Name) const { return FParams->FindParam(Name); }
    TDAParam* ParamByName(const AnsiString& Name) const { return FParams->ParamByName(Name); }
    // The text without trailing blanks and control characters, macros expanded.
    virtual AnsiString GetFinalSQL();
    // The command takes the owner's final text and the parameters are derived from it again.
    virtual void SQLChanged();
    // Replaces Params by the parameters found in Text while no command holds it: the connection's
    // dialect when there is a connection, else the generic lexer.
    virtual void ScanParams(const AnsiString& Text, TDAParams* Params);
    void ScanMacros();

    // --- connection ---
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    virtual TCustomDAConnection* UsedConnection() const;
    virtual TDATransaction* UsedTransaction() const;
    virtual void BeginConnection(bool Counted = true);
    virtual void EndConnection();
    void CheckConnection() { BeginConnection(false); }

    // --- execution ---
    TCRCommand* ICommand() const;
    bool Prepared() const;
    virtual void Prepare();
    virtual void UnPrepare();
    void Execute() override { ExecuteIters(1); }
    virtual void ExecuteIters(int Iters);
    bool Executing() const;
    int RowsAffected() const;
    int64_t LastInsertId() const noexcept { return FLastInsertId; }
    // Parameters into the command's descriptors, with their values when asked.
    virtual void WriteParams(bool WithValues = true);
    virtual void ReadOutParams();
    TDAParam* FindResultParam() override;
    void PrepareStoredProc(const AnsiString& Name) override { PrepareStoredProc(Name, true, false); }
    void PrepareStoredProc(const AnsiString& Name, bool NeedDescribe, bool IsQuery);
    void SetSQLText(const AnsiString& Text) override;

    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value) override { FDebug = Value; }
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool TraceSuppressed() const noexcept { return FTraceSuppressed; }
    void SetTraceSuppressed(bool Value) noexcept { FTraceSuppressed = Value; }
    TCustomDADataSet* DataSet() const noexcept { return FDataSet; }

    TBeforeExecuteEvent BeforeExecute;
    TAfterExecuteEvent AfterExecute;

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return true; }
    bool ClientPrepared() override { return Prepared(); }
    bool ClientExecuting() override { return Executing(); }
    bool ClientFetchPending() override { return false; }
    bool ClientIsQuery() override { return false; }
    void ClientSetIConnection(TCRConnection* Value) override;
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override;
    void ClientResetAfterFatalError() override;
    void ClientForgetTransaction(TDATransaction* Transaction) override;

    // --- IMacrosOwner ---
    bool MacrosOwnerActive() override { return false; }
    AnsiString MacrosOwnerSQLText() override { return FSQL; }
    void MacrosChanged() override { SQLChanged(); }

protected:
    friend class TCustomDADataSet;
    void DoAfterExecute(bool Result);
    void CheckICommand();
    void FreeICommand();
    void SetNativeSQL();
    // The parameter collection, made in the second phase.
    virtual TDAParams* CreateParams();
    // Parameters rebuilt from the command's descriptors; values kept by name.
    virtual void CreateParamsFromCommand();
    void ConnectChange(rtl::TObject* Sender, bool Connecting);
    void Release();

    AnsiString FSQL;
    rtl::TOwnedPtr<TDAParams> FParams;
    rtl::TOwnedPtr<TMacros> FMacros;
    bool FParamCheck = true;
    bool FDebug = false;
    bool FAutoCommit = true;
    bool FTraceSuppressed = false;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    TCustomDADataSet* FDataSet = nullptr;
    TCRCommand* FICommand = nullptr;  // owned unless the component belongs to a dataset
    AnsiString FStoredProcName;
    bool FStoredProcIsQuery = false;
    int64_t FLastInsertId = 0;
    // Held only while the update machinery assigns a statement it built itself.
    friend class TDBAccessUtils;
    bool FNoMacroScan = false;
    bool FKeepParams = false;
    bool FReleased = false;
};

enum TCompressBlobMode { cbNone, cbClient, cbServer, cbClientServer };

// The options of a query dataset.
class TDADataSetOptions : public rtl::TPersistent {
    RTL_CLASS(TDADataSetOptions, rtl::TPersistent)
public:
    explicit TDADataSetOptions(TCustomDADataSet* Owner) : FOwner(Owner) {}

    bool SetFieldsReadOnly() const noexcept { return FSetFieldsReadOnly; }
    void SetSetFieldsReadOnly(bool Value) noexcept { FSetFieldsReadOnly = Value; }
    bool RequiredFields() const noexcept { return FRequiredFields; }
    void SetRequiredFields(bool Value);
    bool StrictUpdate() const noexcept { return FStrictUpdate; }
    void SetStrictUpdate(bool Value) noexcept { FStrictUpdate = Value; }
    bool NumberRange() const noexcept { return FNumberRange; }
    void SetNumberRange(bool Value);
    bool QueryRecCount() const noexcept { return FQueryRecCount; }
    void SetQueryRecCount(bool Value) noexcept { FQueryRecCount = Value; }
    bool AutoPrepare() const noexcept { return FAutoPrepare; }
    void SetAutoPrepare(bool Value);
    bool ReturnParams() const noexcept { return FReturnParams; }
    void SetReturnParams(bool Value) noexcept { FReturnParams = Value; }
    bool TrimFixedChar() const noexcept { return FTrimFixedChar; }
    void SetTrimFixedChar(bool Value);
    bool TrimVarChar() const noexcept { return FTrimVarChar; }
    void SetTrimVarChar(bool Value);
    bool SetEmptyStrToNull() const noexcept { return FSetEmptyStrToNull; }
    void SetSetEmptyStrToNull(bool Value);
    bool LongStrings() const noexcept { return FLongStrings; }
    void SetLongStrings(bool Value);
    bool RemoveOnRefresh() const noexcept { return FRemoveOnRefresh; }
    void SetRemoveOnRefresh(bool Value) noexcept { FRemoveOnRefresh = Value; }
    bool FlatBuffers() const noexcept { return FFlatBuffers; }
    void SetFlatBuffers(bool Value);
    bool QuoteNames() const noexcept { return FQuoteNames; }
    void SetQuoteNames(bool Value);
    int DetailDelay() const noexcept { return FDetailDelay; }
    void SetDetailDelay(int Value);
    TCompressBlobMode CompressBlobMode() const noexcept { return FCompressBlobMode; }
    void SetCompressBlobMode(TCompressBlobMode Value);
    bool FullRefresh() const noexcept { return FFullRefresh; }
    void SetFullRefresh(bool Value) noexcept { FFullRefresh = Value; }
    bool LocalMasterDetail() const noexcept { return FLocalMasterDetail; }
    void SetLocalMasterDetail(bool Value);
    bool CacheCalcFields() const noexcept { return FCacheCalcFields; }
    void SetCacheCalcFields(bool Value);
    bool FieldsOrigin() const noexcept { return FFieldsOrigin; }
    void SetFieldsOrigin(bool Value);
    bool DefaultValues() const noexcept { return FDefaultValues; }
    void SetDefaultValues(bool Value);
    bool ExtendedFieldsInfo() const noexcept { return FExtendedFieldsInfo; }
    void SetExtendedFieldsInfo(bool Value);
    int UpdateBatchSize() const noexcept { return FUpdateBatchSize; }
    void SetUpdateBatchSize(int Value) noexcept { FUpdateBatchSize = Value; }
    bool UpdateAllFields() const noexcept { return FUpdateAllFields; }
    void SetUpdateAllFields(bool Value) noexcept { FUpdateAllFields = Value; }
    bool PrepareUpdateSQL() const noexcept { return FPrepareUpdateSQL; }
    void SetPrepareUpdateSQL(bool Value) noexcept { FPrepareUpdateSQL = Value; }
    bool EnableBCD() const noexcept { return FEnableBCD; }
    void SetEnableBCD(bool Value);
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    void SetEnableFMTBCD(bool Value);

    TPersistent* GetOwner() override;

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    // Inactive-only options: the dataset must be closed; false when nothing changes.
    bool CheckInactiveChange(bool Old, bool Value);
    void SetRecordSetProp(int Prop, const Variant& Value);
    void SetCommandProp(int Prop, const Variant& Value);

    TCustomDADataSet* FOwner;
    bool FSetFieldsReadOnly = true;
    bool FRequiredFields = true;
    bool FStrictUpdate = true;
    bool FNumberRange = false;
    bool FQueryRecCount = false;
    bool FAutoPrepare = false;
    bool FReturnParams = false;
    bool FTrimFixedChar = true;
    bool FTrimVarChar = false;
    bool FSetEmptyStrToNull = false;
    bool FLongStrings = true;
    bool FRemoveOnRefresh = true;
    bool FFlatBuffers = false;
    bool FQuoteNames = false;
    int FDetailDelay = 0;
    TCompressBlobMode FCompressBlobMode = cbNone;
    bool FFullRefresh = false;
    bool FLocalMasterDetail = false;
    bool FCacheCalcFields = false;
    bool FFieldsOrigin = false;
    bool FDefaultValues = false;
    bool FExtendedFieldsInfo = false;
    int FUpdateBatchSize = 1;
    bool FUpdateAllFields = false;
    bool FPrepareUpdateSQL = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
};

// Which fields of a dataset are stored encrypted, and the encryptor that encrypts them on the way
// to the server and decrypts them on fetch.
class TDAEncryptionOptions : public rtl::TPersistent {
    RTL_CLASS(TDAEncryptionOptions, rtl::TPersistent)
public:
    explicit TDAEncryptionOptions(TCustomDADataSet* Owner) : FOwner(Owner) {}

    rtl::TComponent* Encryptor() const noexcept { return FEncryptor; }
    // A different encryptor closes and unprepares the dataset. The component must be a field
    // encryptor ("Invalid property value" otherwise).
    void SetEncryptor(rtl::TComponent* Value);
    // The names of the encrypted fields, as the provider splits a name list.
    const AnsiString& Fields() const noexcept { return FFields; }
    // Only while the dataset is closed.
    void SetFields(const AnsiString& Value);
    // The encryptor as the record set calls it; null without one.
    TCRFieldEncryptor* FieldEncryptor() const noexcept { return FFieldEncryptor; }

    TPersistent* GetOwner() override;

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    friend class TCustomDADataSet;
    // The encryptor component is being freed.
    void EncryptorRemoved();

    TCustomDADataSet* FOwner;
    rtl::TComponent* FEncryptor = nullptr;
    TCRFieldEncryptor* FFieldEncryptor = nullptr;
    AnsiString FFields;
};

// The encryption a parameter bound from a record descriptor must apply: the descriptor's field
// encryptor, or none.
TEncryptValueFunc FieldEncryptValueFunc(const store::TFieldDesc* Desc);
// Gives a query that reads rows of DataSet back the dataset's encryptor for the dataset's
// encrypted fields, under their names and under the aliases of a generated refresh.
void ShareFieldEncryption(TCustomDADataSet* DataSet, TCustomDADataSet* RowQuery);

class TCustomDAUpdateSQL;
class TDADataSetUpdater;
// When a record is read back from the server besides the explicit refresh.
enum TRefreshOption { roAfterInsert, roAfterUpdate, roBeforeEdit };
using TRefreshOptions = rtl::TSet<TRefreshOption>;
// lmPessimistic locks a record when its edit starts, lmOptimistic just before it is written.
enum TLockMode { lmNone, lmPessimistic, lmOptimistic };

// (dataset, statement types as bits, the update statement's parameters)
using TUpdateExecuteEvent = std::function<void(TCustomDADataSet* Sender, uint16_t StatementTypes, TDAParams* Params)>;

// The provider-neutral query dataset: a memory dataset filled by a provider record set over a
// connection component, with SQL text, parameters and macros held by an internal SQL component.
class TCustomDADataSet : public store::TMemDataSet,
                         public IDAConnectionClient,
                         public IDADataSetLink,
                         public IMacrosOwner {
    RTL_CLASS(TCustomDADataSet, store::TMemDataSet)
public:
    explicit TCustomDADataSet(rtl::TComponent* Owner);
    ~TCustomDADataSet() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // --- SQL, parameters, macros ---
    TCustomDASQL* InternalSQL() const noexcept { return FDataSQL; }
    const AnsiString& SQL() const noexcept { return FDataSQL->SQL(); }
    void SetSQL(const AnsiString& Value) { FDataSQL->SetSQL(Value); }
    TDAParams* Params() const { return FDataSQL->Params(); }
    TMacros* Macros() const { return FDataSQL->Macros(); }
    TDAParam* ParamByName(const AnsiString& Name) const { return FDataSQL->ParamByName(Name); }
    TMacro* MacroByName(const AnsiString& Name) const { return Macros()->MacroByName(Name); }
    // The executed text: the SQL's final text with FilterSQL and the master/detail condition.
    virtual AnsiString GetFinalSQL();
    // The dialect's clause operations (the command's parser).
    virtual AnsiString AddWhere(const AnsiString& SQL, const AnsiString& Condition);
    virtual AnsiString GetWhere(const AnsiString& SQL);
    virtual AnsiString GetFromPart(const AnsiString& SQL);
    const AnsiString& FilterSQL() const noexcept { return FFilterSQL; }
    virtual void SetFilterSQL(const AnsiString& Value);

    // --- connection ---
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    TDATransaction* UpdateTransaction() const noexcept { return FUpdateTransaction; }
    void SetUpdateTransaction(TDATransaction* Value);
    virtual TCustomDAConnection* UsedConnection() const { return FConnection; }
    virtual TDATransaction* UsedTransaction() const;
    virtual TDATransaction* UsedUpdateTransaction() const;
    virtual void BeginConnection(bool Counted = true);
    virtual void EndConnection();
    void CheckConnection() { BeginConnection(false); }
    // Hard: closed and unprepared; soft: the record set only forgets its described fields.
    virtual void Disconnect(bool Hard = true);

    // --- record set ---
    void CreateIRecordSet() override;
    void SetIRecordSet(std::unique_ptr<store::TData> Value) override;
    TCRRecordSet* ICRRecordSet() const noexcept { return FIRecordSetCR; }
    TCRCommand* ICommand() const noexcept { return FICommand; }
    void CheckRecordSet();
    void Prepare() override;
    void UnPrepare() override;
    void ReopenRecordSet() override;
    virtual void Execute();
    bool IsQuery();
    bool FetchFinished();
    bool Executing();
    int RowsAffected() const noexcept { return FRowsAffected; }
    int64_t LastInsertId() const noexcept { return FLastInsertId; }
    // Stops a running statement and fetch.
    void BreakExec();
    // The store's data type code of a field ("Field %s not found").
    store::TMemDataType GetDataType(const WideString& FieldName);
    // The store's descriptor number FieldNo counted from 1; null for 0 or without a record set.
    store::TFieldDesc* GetFieldDesc(int FieldNo);

    // --- settings ---
    int FetchRows() const noexcept { return FFetchRows; }
    void SetFetchRows(int Value);
    virtual bool GetFetchAll() const { return FFetchAll; }
    virtual void SetFetchAll(bool Value);
    bool UniDirectional() const noexcept { return FUniDirectional; }
    void SetUniDirectional(bool Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    virtual void SetReadOnly(bool Value);
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value) noexcept { FDebug = Value; }
    const AnsiString& KeyFields() const noexcept { return FKeyFields; }
    void SetKeyFields(const AnsiString& Value);
    // The table that generated statements write; empty: the query's first table.
    const AnsiString& UpdatingTable() const noexcept { return FUpdatingTable; }
    void SetUpdatingTable(const AnsiString& Value);
    TCustomDAUpdateSQL* UpdateObject() const noexcept { return FUpdateObject; }
    void SetUpdateObject(TCustomDAUpdateSQL* Value);
    // The user's statements that replace generated ones (SQLInsert, SQLUpdate, SQLDelete, SQLLock,
    // SQLRefresh); the other statement types keep none.
    const AnsiString& UpdateSQL(TStatementType StatementType) const { return FUpdateSQL[StatementType]; }
    void SetUpdateSQL(TStatementType StatementType, const AnsiString& Value);
    const AnsiString& SQLInsert() const { return FUpdateSQL[stInsert]; }
    void SetSQLInsert(const AnsiString& Value) { SetUpdateSQL(stInsert, Value); }
    const AnsiString& SQLUpdate() const { return FUpdateSQL[stUpdate]; }
    void SetSQLUpdate(const AnsiString& Value) { SetUpdateSQL(stUpdate, Value); }
    const AnsiString& SQLDelete() const { return FUpdateSQL[stDelete]; }
    void SetSQLDelete(const AnsiString& Value) { SetUpdateSQL(stDelete, Value); }
    const AnsiString& SQLLock() const { return FUpdateSQL[stLock]; }
    void SetSQLLock(const AnsiString& Value) { SetUpdateSQL(stLock, Value); }
    const AnsiString& SQLRefresh() const { return FUpdateSQL[stRefresh]; }
    void SetSQLRefresh(const AnsiString& Value) { SetUpdateSQL(stRefresh, Value); }
    TRefreshOptions RefreshOptions() const noexcept { return FRefreshOptions; }
    void SetRefreshOptions(TRefreshOptions Value);
    TLockMode LockMode() const noexcept { return FLockMode; }
    void SetLockMode(TLockMode Value) noexcept { FLockMode = Value; }
    bool DMLRefresh() const noexcept { return FDMLRefresh; }
    void SetDMLRefresh(bool Value) noexcept { FDMLRefresh = Value; }
    // Reads the current record again from the server (SQLRefresh or a generated SELECT).
    void RefreshRecord();
    // Reads the records the server changed again; with CheckDeleted also drops the records the
    // server no longer has.
    void RefreshQuick(bool CheckDeleted);
    // Locks the current record (SQLLock) inside a savepoint; UnLock gives the lock back.
    void Lock();
    void UnLock();
    // The service's updater (the service is made when missing).
    TDADataSetUpdater* DAUpdater();
    TDADataSetOptions* Options() const noexcept { return FOptions.get(); }
    TDADataSetMapRules* DataTypeMap() const noexcept { return FDataTypeMap.get(); }
    TDAEncryptionOptions* Encryption() const noexcept { return FEncryption.get(); }

    // --- master/detail, refresh, defaults ---
    // Master field values into the parameters of the same names; true when one changed.
    bool SetMasterParams(TDAParams* Params);
    bool UpdateMasterValues() override;
    void RefreshDetail() override;
    bool UseMasterDetail() override;
    void RefreshMasterFilter() override;
    void AssignDefaultExpressions() override;
    void CollectDetailLinkFields(std::vector<db::TField*>& MasterList, std::vector<db::TField*>& DetailList) override;
    // The identity of the current record: key field values (all non-blob data fields without key
    // fields); false without a current record.
    bool GetKeyFieldsAndValues(std::vector<db::TField*>& Fields, Variant& Values);
    // The first value of the first row SQL returns, run with the dataset's parameters; 0 without a row.
    int CountServerRows(const AnsiString& SQL);

    // --- provider support: what a generic data provider asks the dataset ---
    virtual AnsiString ProviderTableName();
    virtual AnsiString ProviderKeyFields();
    // False when the SQL has no ORDER BY.
    virtual bool ProviderDefaultOrder(TProviderIndexDef& Index);
    TDAParams* ProviderParams() const { return Params(); }
    AnsiString ProviderQuoteChar() const { return "\""; }
    bool ProviderIsSQLBased() const { return true; }
    bool ProviderSupportsSQL() const { return true; }
    virtual void PSSetCommandText(const AnsiString& Text);
    virtual void PSSetParams(const db::TParams* Value);
    virtual void ProviderReset();
    virtual void ProviderExecute() { Execute(); }
    virtual void PSStartTransaction();
    virtual void ProviderEndTransaction(bool Commit);
    virtual bool ProviderInTransaction();
    // Runs SQL whose "?" marks take Params by position; with ResultSet the caller receives (and
    // owns) a new dataset that ran it. Gives the rows affected.
    virtual int ProviderExecuteStatement(const AnsiString& SQL, const db::TParams* Params,
                                         TCustomDADataSet** ResultSet = nullptr);
    // True when OnUpdateRecord applied the delta record.
    virtual bool PSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta);

    // --- form streaming ---
    // "ParamData", "MacroData", "CommandStoredProcName" and "StoredProcIsQuery" as they would be
    // written, compared with the ancestor's when there is one.
    std::vector<TFormProperty> WriteFormProperties(const TCustomDADataSet* Ancestor = nullptr) const;
    // One of the four read back; another name raises "Invalid property value".
    void ReadFormProperty(const TFormProperty& Property);

    TBeforeExecuteEvent BeforeExecute;
    TAfterExecuteEvent AfterExecute;
    TUpdateExecuteEvent BeforeUpdateExecute;
    TUpdateExecuteEvent AfterUpdateExecute;
    TBeforeFetchEvent BeforeFetch;
    TAfterFetchEvent AfterFetch;

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return false; }
    bool ClientPrepared() override { return Prepared(); }
    bool ClientExecuting() override { return false; }
    bool ClientFetchPending() override { return Active() && !GetFetchAll() && !FetchFinished(); }
    bool ClientIsQuery() override { return IsQuery(); }
    void ClientSetIConnection(TCRConnection* Value) override;
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override { Disconnect(true); }
    void ClientResetAfterFatalError() override;
    void ClientForgetTransaction(TDATransaction* Transaction) override;

    // --- IDADataSetLink ---
    void LinkClose() override { Close(); }
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return GetFieldTypeMapClass(); }

    // --- IMacrosOwner ---
    bool MacrosOwnerActive() override { return Active(); }
    AnsiString MacrosOwnerSQLText() override { return SQL(); }
    void MacrosChanged() override;

protected:
    friend class TCustomDASQL;
    friend class TDADataSetOptions;
    friend class TDAEncryptionOptions;
    friend class TDADataSetUpdater;
    // Copies the dataset's settings, parameters and macros to another dataset of this kind.
    void AssignTo(rtl::TPersistent* Dest) override;
    const store::TFieldTypeMap& GetFieldTypeMapClass() const override { return TDAFieldTypeMap::Instance(); }
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override;
    // The internal SQL component and the options, made in the second phase.
    virtual TCustomDASQL* CreateInternalSQL();
    virtual TDADataSetOptions* CreateOptions();
    virtual TDAEncryptionOptions* CreateEncryptionOptions();
    void OpenCursorStep(bool InfoQuery) override;
    void OpenStep() override;
    void CloseCursorStep() override;
    void CloseStep() override;
    void RefreshStep() override;
    int CountRecords() const override;
    void ChangeFiltered(bool Value) override;
    bool CanModifyRecords() const override;
    void EditStep() override;
    void DeleteStep() override;
    void CancelStep() override;
    void PostStep() override;
    // The current record's detail fields hold the master's values of the server link.
    bool BelongsToMaster();
    void DoAfterExecute(bool Result);
    void DoBeforeFetch(bool& Cancel);
    void DoAfterFetch();
    // The SQL text or a macro changed: close, unprepare, derive the text and parameters again.
    void SQLTextChanged();
    // The record count the server reports for the final text (the service's count).
    int GetServerRecCount();
    void ConnectChange(rtl::TObject* Sender, bool Connecting);
    void PassRecordSetProps();
    // The literal defaults go straight in; the others come from one SELECT.
    void AssignDefaultValues();
    void Release();

    rtl::TOwnedPtr<TDADataSetOptions> FOptions;
    rtl::TOwnedPtr<TDADataSetMapRules> FDataTypeMap;
    rtl::TOwnedPtr<TDAEncryptionOptions> FEncryption;
    TCustomDASQL* FDataSQL = nullptr;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    TDATransaction* FUpdateTransaction = nullptr;
    TCRRecordSet* FIRecordSetCR = nullptr;
    TCRCommand* FICommand = nullptr;
    int FFetchRows = 25;
    bool FFetchAll = false;
    bool FUniDirectional = false;
    bool FReadOnly = false;
    bool FAutoCommit = true;
    bool FDebug = false;
    AnsiString FKeyFields;
    AnsiString FUpdatingTable;
    TCustomDAUpdateSQL* FUpdateObject = nullptr;
    AnsiString FUpdateSQL[10];
    TRefreshOptions FRefreshOptions;
    TLockMode FLockMode = lmNone;
    bool FDMLRefresh = false;
    AnsiString FFilterSQL;
    int FRowsAffected = -1;
    int FRecordCount = 0;
    // Rows inserted less rows deleted since the server counted them.
    int FRecordCountDelta = 0;
    int64_t FLastInsertId = 0;
    bool FFetchInterrupted = false;
    bool FRegistered = false;
    bool FReleased = false;
    bool FHoldsFetchConnection = false;
};

// A read-only dataset of the provider's metadata of one kind under restrictions.
class TDAMetaData : public store::TMemDataSet, public IDAConnectionClient {
    RTL_CLASS(TDAMetaData, store::TMemDataSet)
public:
    explicit TDAMetaData(rtl::TComponent* Owner);
    ~TDAMetaData() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    const AnsiString& MetaDataKind() const noexcept { return FMetaDataKind; }
    // A different kind closes the dataset.
    void SetMetaDataKind(const AnsiString& Value);
    rtl::TStrings* Restrictions() const noexcept { return FRestrictions.get(); }
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    virtual TDATransaction* UsedTransaction() const;
    virtual void BeginConnection();
    virtual void EndConnection();

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return false; }
    bool ClientPrepared() override { return false; }
    bool ClientExecuting() override { return false; }
    bool ClientFetchPending() override { return false; }
    bool ClientIsQuery() override { return true; }
    void ClientSetIConnection(TCRConnection*) override {}
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override { Close(); }
    void ClientResetAfterFatalError() override {}
    void ClientForgetTransaction(TDATransaction* Transaction) override;

protected:
    void OpenCursorStep(bool InfoQuery) override;
    void OpenStep() override;
    void CloseStep() override;
    bool CanModifyRecords() const override { return false; }
    void ReleaseResult();
    void Release();

    AnsiString FMetaDataKind;
    rtl::TOwnedPtr<rtl::TStringList> FRestrictions;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    rtl::TOwnedPtr<TCRMetaData> FIMetaData;
    bool FReleased = false;
};

// The field of a cursor-valued column.
DB_TYPED_FIELD_CLASS(TDACursorField, db::TField, db::ftCursor)

// The data source of the component layer.
class TCRDataSource : public db::TDataSource {
    RTL_CLASS(TCRDataSource, db::TDataSource)
public:
    using db::TDataSource::TDataSource;

protected:
    // DataSet, AutoEdit and Enabled into another data source.
    void AssignTo(rtl::TPersistent* Dest) override;
};

}  // namespace daccess
