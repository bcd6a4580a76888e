// Write-back of a query dataset: SQL generator, dataset updater, dataset service and update SQL
// objects.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/access/DBAccess_DataSet.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// Write-back: SQL generator, dataset updater, dataset service, update SQL objects


inline constexpr const char* SKeyFieldsNotFound = "Key fields not found";
inline constexpr const char* SUpdateFailedFound = "Update failed. Found %d records";
inline constexpr const char* SInexactKeyValue =
    "The value of field %s holds characters the client code page cannot represent, so it cannot identify "
    "the record. Turn on the UseUnicode option to edit this record";
inline constexpr const char* SRefreshFailedFound = "Refresh failed. Found %d records";
inline constexpr const char* STableInfoNameRequired = "TableInfo name must be provided";
inline constexpr const char* SBadStatementType = "Bad statement type";
inline constexpr const char* SKeyFieldNotFound = "%s: Key field '%s' not found";
inline constexpr const char* SWrongUpdatingTable = "Wrong UpdatingTable value - table %s is unknown";
inline constexpr const char* SNoCorrespondParam = "Not found field corresponding parameter %s";
inline constexpr const char* SUpdateSQLEmpty =
    "SQL property of InsertObject, ModifyObject, DeleteObject or RefreshObject cannot be empty";
inline constexpr const char* SCircularUpdateObject =
    "Circular references are not allowed between TCustomDADataset and TCustomDAUpdateSQL objects";
inline constexpr const char* SUpdateObjectClass = "Only %s and %s objects are allowed in update properties";
inline constexpr const char* SRecordChanged = "Record was changed by another user";
inline constexpr const char* SMasterDetailCachedUpdates = "Can not use Master/Detail with CachedUpdates";
inline constexpr const char* SUnknownParamDataType = "Unknown data type of parameter %s";
inline constexpr const char* SUniqueKeyFieldsRequired = "Unique keyfields required";

class TDADataSetService;
class TDADataSetUpdater;
class TCustomDAUpdateSQL;

// Which field and which value (old or new) a generated parameter stands for.
struct TDAParamInfo {
    db::TField* Field = nullptr;
    store::TFieldDesc* FieldDesc = nullptr;
    bool Old = false;
    int ParamIndex = -1;
};
using TDAParamsInfo = std::vector<TDAParamInfo>;

struct TKeyAndDataFields {
    std::vector<store::TFieldDesc*> KeyFieldDescs;
    std::vector<store::TFieldDesc*> DataFieldDescs;
};

// Writes the statements that carry a dataset's edited record back to its table.
class TDASQLGenerator : public rtl::TObject {
    RTL_CLASS(TDASQLGenerator, rtl::TObject)
public:
    explicit TDASQLGenerator(TDADataSetService* Service);

    // Empty when the service knows no updating table.
    virtual AnsiString GenerateSQL(TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                   int BatchIndex = -1);
    virtual AnsiString GenerateSQLFor(TCRTableInfo* TableInfo, const TKeyAndDataFields& Fields,
                                      TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                      int BatchIndex = -1);
    virtual AnsiString GenerateTableSQL(const AnsiString& TableName, const AnsiString& OrderFields);
    virtual AnsiString GenerateSelectFromText(const AnsiString& Text) { return "SELECT " + Text; }
    const TDAParamsInfo& ParamsInfo() const noexcept { return FParamsInfo; }
    // Every condition term as a parameter, never IS NULL.
    bool ForceParams = false;

    virtual void Clear();
    virtual AnsiString AssembleSQL();
    virtual bool IsBlobDataType(store::TMemDataType DataType) const;
    // Object and array fields hold their value in sub-fields.
    virtual bool IsSubDataType(store::TMemDataType DataType) const;
    // An object or array is null when every sub-field is.
    virtual bool FieldIsNullEx(store::TFieldDesc* FieldDesc, bool Old, void* NewRecBuf, void* OldRecBuf,
                               store::TData* RecordSet);
    virtual bool FieldIsNull(store::TFieldDesc* FieldDesc, bool Old);
    virtual bool FieldIsModified(store::TFieldDesc* FieldDesc, store::TData* RecordSet, void* NewRecBuf,
                                 void* OldRecBuf);
    virtual bool FieldModifiedCurrent(store::TFieldDesc* FieldDesc);
    // The field's value in RecBuf was read from the server with characters lost.
    bool FieldInexact(store::TFieldDesc* FieldDesc, void* RecBuf) const;
    virtual AnsiString GetFieldName(store::TFieldDesc* FieldDesc, bool Qualified = false);
    static AnsiString IndexedPrefix(const AnsiString& Text) { return "_" + Text; }
    static int DecodeFieldIndex(const AnsiString& Name);
    virtual int MaxIdentLength() const { return INT32_MAX; }
    virtual bool ParamsSupported() const { return true; }

protected:
    TSQLInfo* SQLInfo() const;
    AnsiString NormalizedTableName() const;
    virtual void AddParam(AnsiString& Builder, store::TFieldDesc* FieldDesc, TStatementType StatementType,
                          int BatchIndex, bool Old);
    virtual void AddFieldToInsertSQL(store::TFieldDesc* FieldDesc, int BatchIndex);
    virtual void AddFieldToUpdateSQL(store::TFieldDesc* FieldDesc, int BatchIndex);
    virtual void AddFieldToRefreshSQL(store::TFieldDesc* FieldDesc);
    virtual void AddFieldToCondition(AnsiString& Builder, store::TFieldDesc* FieldDesc, TStatementType StatementType,
                                     int BatchIndex);
    virtual void GenerateInsertSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex);
    virtual void GenerateUpdateSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex);
    virtual void GenerateDeleteSQL(const TKeyAndDataFields& Fields, int BatchIndex);
    virtual void GenerateLockSQL(const TKeyAndDataFields&, int) {}
    virtual void GenerateRefreshSQL(const TKeyAndDataFields& Fields);
    // The dataset's own query narrowed to the records the condition names.
    virtual void GenerateRefreshQuickSQL(const TKeyAndDataFields& Fields);
    // The key values the dataset's query still finds, in key order.
    virtual void GenerateRefreshCheckDeletedSQL(const TKeyAndDataFields& Fields);
    virtual AnsiString GenerateFrom();
    virtual void GenerateConditions(AnsiString& Builder, TStatementType StatementType, const TKeyAndDataFields& Fields,
                                    int BatchIndex);

    TDADataSetService* FService;
    TCustomDADataSet* FDataSet;
    AnsiString FHeaderSB, FFldSB, FMiddleSB, FFldParamSB, FCondSB, FFooterSB;
    TCRTableInfo* FTableInfo = nullptr;
    TDAParams* FParams = nullptr;
    TDAParamsInfo FParamsInfo;
    void* FOldRecBuf = nullptr;
    void* FNewRecBuf = nullptr;
    store::TMemData* FMemData = nullptr;
    bool FBuffersKnown = false;
    void CheckBuffers();
};

// Runs the statements that write one record's change and checks what they did.
class TDADataSetUpdater : public store::TDataSetUpdater {
    RTL_CLASS(TDADataSetUpdater, store::TDataSetUpdater)
public:
    explicit TDADataSetUpdater(store::TDataSetService* Service);
    ~TDADataSetUpdater() override;

    bool PerformInsert() override;
    bool PerformDelete() override;
    bool PerformUpdate() override;
    // The cached-updates lock ends with the session's changes: applied, reverted or cancelled.
    bool AfterRevertRecord() override;
    bool AfterApplyUpdates() override;
    bool BeforeCancelUpdates() override;
    // While cached updates are applied with UpdateBatchSize above 1 and no update object, the
    // generated statements are collected and run UpdateBatchSize at a time.
    bool BatchUpdates() override;
    bool BatchFull() override;
    void FlushBatch() override;
    const AnsiString& BatchSQL() const noexcept { return FBatchSQL; }
    int BatchCount() const noexcept { return FBatchCount; }
    // Runs SQL (the generated or user text when empty) for the current record.
    virtual bool PerformSQL(const AnsiString& SQL, TStatementTypes StatementTypes);
    virtual bool GetIdentityFieldValue(Variant& Value);
    virtual bool SupportsSavepoints() { return true; }
    // The statement component of a type, made on first use.
    TCustomDASQL* UpdateQuery(TStatementType StatementType) { return CreateUpdateQuery(StatementType); }
    rtl::TComponent* CurrentUpdateQuery() const noexcept { return FUpdateQuery; }
    // The current update query as a statement component, or null for one that is not.
    TCustomDASQL* CurrentUpdateSQL() const;
    void UnPrepareUpdateQueries();
    TDADataSetService* DAService() const noexcept { return FDAService; }
    TCustomDADataSet* DADataSet() const noexcept { return FDADataSet; }
    // A column the server keeps for the quick refresh; each returned row hands its value over.
    virtual bool IsSpecialRefreshField(store::TFieldDesc*) { return false; }
    virtual void SetSpecialRefreshValue(store::TFieldDesc*, const Variant&) {}

    // --- refresh and locks, asked by the dataset ---
    // Reads the current record again; false when there is no statement for it.
    virtual bool PerformRefreshRecord();
    // Reads the records the server changed again and, with CheckDeleted, drops those it no longer
    // has; false without an updating table.
    virtual bool PerformRefreshQuick(bool CheckDeleted);
    void BeforeEdit();
    void BeforeDelete();
    void AfterCancel();
    virtual bool LockRecord();
    virtual void UnlockRecord();
    virtual bool NeedsRefreshStatement();
    virtual bool EditHoldsConnection() { return false; }
    virtual bool InsertHoldsConnection() { return false; }
    bool HoldsConnection();
    virtual bool LockRefreshesRecord();
    // Dates and time stamps less than a millisecond apart count as equal.
    virtual bool ValuesEqual(const Variant& A, const Variant& B);
    // A lock statement that returns the row compares it with the record.
    bool CheckOnLock = true;
    // The savepoint of a record lock: "LOCK_" and the dataset's name, at most 30 characters.
    AnsiString LockSavepointName(bool CachedUpdates = false) const;

    // Runs the user's statement of UpdateKind (never a generated one) for the current record of
    // Delta, whose fields name the parameters ("OLD_" for old values); false without such a statement.
    bool PerformPSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta);

protected:
    virtual TCustomDASQL* CreateUpdateQuery(TStatementType StatementType);
    virtual void AfterCreateUpdateQuery(TStatementType) {}
    // False when there is no text to run.
    virtual bool PrepareUpdateQuery(const AnsiString& SQL, TStatementType StatementType, bool Generate);
    virtual void SetParamValues(TDAParams* Params, TStatementType StatementType);
    virtual void ExecuteUpdateQuery(TStatementType StatementType);
    // With PrepareUpdateSQL a repeated statement is not prepared again for every record.
    void PrepareOwnQuery(TCustomDASQL* Query);
    // A provider whose prepared statements cost the server nothing keeps them without the option.
    virtual bool KeepsStatementsPrepared() { return false; }
    virtual db::TField* FindParamField(const AnsiString& Name, bool& Old);
    virtual AnsiString GetUserSQL(TStatementType StatementType);
    void CheckRowsAffected(int Count);
    // Runs the statement; a strict UPDATE or DELETE outside a transaction is undone when it touched
    // other than one row.
    int ExecuteChecked(TStatementType StatementType);
    // Lock and refresh: the statement runs on a dataset, whose row is copied into the record or,
    // for a lock, compared with it.
    bool PerformRowSQL(const AnsiString& SQL, TStatementTypes StatementTypes);
    TCustomDADataSet* RowQuery(int Slot);
    bool Batching(TStatementType StatementType);
    void AddToBatch(TDAParams* Params);
    void ClearBatch();
    virtual AnsiString GetBatchSQL() { return FBatchSQL; }
    // Runs the batch statement; the rows it changed in all, -1 when not known.
    virtual int ExecuteBatch();
    // Generates the statement of StatementType and opens it on Query with the record's values.
    void RunRowQuery(TCustomDADataSet* Query, TStatementType StatementType);
    void RemoveDeletedRecords(const std::vector<store::TFieldDesc*>& Keys);
    void ReadChangedRecords(const std::vector<store::TFieldDesc*>& Keys);
    // Target is a record buffer of the store; without one, the dataset's current record.
    void CopyRow(TCustomDADataSet* Source, bool Compare, void* Target = nullptr);
    bool RefreshRecordAfterUpdate();
    void BeginLockTransaction(const AnsiString& Name);
    void EndLockTransaction(const AnsiString& Name);
    // The cached-updates lock: with CachedUpdates and pessimistic locking, one transaction (or a
    // "LOCK_CU_" savepoint) holds the locks of every edited record until the changes end.
    bool CachedLockApplies() const;
    bool PendingCachedChanges() const;
    bool CachedChangePending();
    void SetCachedUpdatesSavepoint();
    void RollbackCachedUpdatesSavepoint();
    void RollbackCachedUpdatesSavepointOnApply();
    bool CachedLockHeld() const noexcept { return FCachedLockTransaction != nullptr; }
    // Forgets every lock transaction; gives back the cached-updates lock's transaction, if one is
    // held, and whether the lock started it.
    TDATransaction* ResetLockTransaction(bool& Started);
    void GiveBackCachedLock();
    // After a write under a record lock: commit what the lock started, or give the lock back.
    void EndLock(bool Ran);
    // What a generated statement's text depends on for the current record; false without an
    // updating table.
    bool GeneratedSignature(TStatementType StatementType, bool ModifiedOnly, std::vector<uint8_t>& Signature);
    void ForgetGeneratedStatements();
    // The generated condition is the row id of a record that has one.
    bool KeyedByIdentity();

    TDADataSetService* FDAService;
    TCustomDADataSet* FDADataSet;
    rtl::TComponent* FUpdateQuery = nullptr;
    rtl::TOwnedPtr<TCustomDASQL> FUpdateQueries[10];
    // Lock and refresh statements that return rows.
    rtl::TOwnedPtr<TCustomDADataSet> FRowQueries[3];
    int FRowsAffected = -1;
    TDAParamsInfo FParamsInfo;
    bool FUseParamsInfo = false;
    bool FRefreshInUpdate = false;
    struct TGeneratedStatement {
        bool Valid = false;
        std::vector<uint8_t> Signature;
        AnsiString Text;
        TDAParamsInfo ParamsInfo;
    };
    // The last generated INSERT, UPDATE and DELETE.
    TGeneratedStatement FGenerated[3];
    std::vector<uint8_t> FSignature;
    // The transaction a record lock runs in, and whether the lock started it.
    TDATransaction* FLockTransaction = nullptr;
    bool FLockStartedTransaction = false;
    AnsiString FBatchSQL;
    rtl::TOwnedPtr<TDAParams> FBatchParams;
    int FBatchCount = 0;
    // The cached-updates lock's transaction while the lock is held.
    TDATransaction* FCachedLockTransaction = nullptr;
    bool FCachedLockStartedTransaction = false;
};

// The dataset's companion that knows the updating table, key, identity and data fields.
class TDADataSetService : public store::TDataSetService {
    RTL_CLASS(TDADataSetService, store::TDataSetService)
public:
    explicit TDADataSetService(store::TMemDataSet* DataSet);
    ~TDADataSetService() override;
    void AfterConstruction() override;
    void NewUpdater() override;
    void AfterRecordSetOpen() override;
    // The base attributes and the column's table.
    void WriteFieldAttributes(db::TField* Field, store::TFieldDesc* FieldDesc, store::XmlWriter& Writer,
                              const WideString& NameOverride) override;

    TCustomDADataSet* DADataSet() const noexcept { return FDADataSet; }
    TDASQLGenerator* SQLGenerator() const noexcept { return FSQLGenerator.get(); }
    void SetSQLGenerator(TDASQLGenerator* Value) { FSQLGenerator.reset(Value); }
    TDADataSetUpdater* DAUpdater() const { return static_cast<TDADataSetUpdater*>(Updater()); }
    int UpdatingTableIndex() const noexcept { return FUpdatingTableInfoIdx; }
    TCRTableInfo* UpdatingTableInfo() const;
    bool TablesInfoFromUpdatingTable() const noexcept { return FIsUpdatingTableFromUpdatingTable; }
    // The table of the query's FROM named Name (by name or alias) as the updating table, a view
    // being added to the tables; -1 when none is named.
    int AddUpdatingView(const AnsiString& Name);
    store::TFieldDesc* IdentityField() const noexcept { return FIdentityField; }
    store::TFieldDesc* SpecialFieldDesc() const noexcept { return FSpecialFieldDesc; }

    const std::vector<store::TFieldDesc*>& GetKeyFieldDescs();
    const std::vector<store::TFieldDesc*>& GetDataFieldDescs(bool AllTables = false);
    TKeyAndDataFields GetKeyAndDataFields(bool AllTables = false);

    // Called by the dataset once its fields exist.
    virtual void SetFieldProperties();
    virtual void AfterClose() {}
    virtual void ReinitFieldInfo();
    virtual void ResetTableInfo();
    virtual bool CanModify();
    virtual bool IdentityIsDataField() { return false; }
    // The rows the dataset's query finds on the server.
    virtual int GetRecCount();
    virtual AnsiString GetCurrentSchema() { return AnsiString(); }
    // The ';'-joined columns of the first unique index the provider reports.
    virtual AnsiString GetUniqueIndexColumns(const AnsiString& TableName, const AnsiString& IndexName);
    [[noreturn]] void NotSupported();

protected:
    virtual TDASQLGenerator* CreateSQLGenerator();
    virtual void FindUpdatingTable();
    virtual void AfterFieldsKnown();
    virtual bool RecordSetKnowsBaseTables() { return true; }
    // Ties the record set's columns to the query's tables through the select list.
    virtual void AssignBaseTables();
    // Asked when the select list leaves a column's table open, or for server defaults.
    virtual void AfterBaseTablesAssigned(TCRTablesInfo*, TColumnsInfo*) {}
    virtual store::TFieldDesc* GetIdentityField() { return nullptr; }
    // A column the server fills that the quick refresh reads back.
    virtual store::TFieldDesc* GetSpecialFieldDesc() { return nullptr; }
    // Columns of default fields the user is not shown.
    virtual std::vector<WideString> GetHiddenFields() { return {}; }
    virtual void SetFieldOrigin(db::TField* Field, TCRFieldDesc* FieldDesc);
    virtual void DetectKeyFieldDescs(std::vector<store::TFieldDesc*>& Result);
    virtual void DetectDataFieldDescs(std::vector<store::TFieldDesc*>& Result, bool AllTables);
    void MarkReadOnlyFieldDescs();
    virtual void SetDefaultExpressions();
    // Columns without a table are expressions: the record set or the select list named the others'.
    bool ExpressionsKnown();
    bool FieldDescsByNames(const AnsiString& Names, bool Raise, std::vector<store::TFieldDesc*>& Result);
    TCRRecordSet* RecordSet() const;

    TCustomDADataSet* FDADataSet;
    rtl::TOwnedPtr<TDASQLGenerator> FSQLGenerator;
    int FUpdatingTableInfoIdx = -1;
    bool FIsUpdatingTableFromUpdatingTable = false;
    store::TFieldDesc* FIdentityField = nullptr;
    store::TFieldDesc* FSpecialFieldDesc = nullptr;
    bool FBaseTablesAssigned = false;
    bool FIsAnyFieldCanBeModified = false;
    std::vector<store::TFieldDesc*> FKeyFieldDescs;
    std::vector<store::TFieldDesc*> FDataFieldDescs;
    std::vector<store::TFieldDesc*> FAllDataFieldDescs;
    bool FKeyFieldDescsKnown = false;
    bool FDataFieldDescsKnown = false;
    bool FAllDataFieldDescsKnown = false;
};

// The statements, or statement components, that replace generated ones for one dataset.
class TCustomDAUpdateSQL : public rtl::TComponent {
    RTL_CLASS(TCustomDAUpdateSQL, rtl::TComponent)
public:
    explicit TCustomDAUpdateSQL(rtl::TComponent* Owner);
    ~TCustomDAUpdateSQL() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // The text of a statement type; empty for the types without a list.
    const AnsiString& GetSQLText(TStatementType StatementType) const { return FSQL[StatementType]; }
    void SetSQLText(TStatementType StatementType, const AnsiString& Value) { FSQL[StatementType] = Value; }
    const AnsiString& GetSQL(db::TUpdateKind UpdateKind) const;
    const AnsiString& InsertSQL() const { return FSQL[stInsert]; }
    void SetInsertSQL(const AnsiString& V) { FSQL[stInsert] = V; }
    const AnsiString& ModifySQL() const { return FSQL[stUpdate]; }
    void SetModifySQL(const AnsiString& V) { FSQL[stUpdate] = V; }
    const AnsiString& DeleteSQL() const { return FSQL[stDelete]; }
    void SetDeleteSQL(const AnsiString& V) { FSQL[stDelete] = V; }
    const AnsiString& LockSQL() const { return FSQL[stLock]; }
    void SetLockSQL(const AnsiString& V) { FSQL[stLock] = V; }
    const AnsiString& RefreshSQL() const { return FSQL[stRefresh]; }
    void SetRefreshSQL(const AnsiString& V) { FSQL[stRefresh] = V; }

    rtl::TComponent* GetObject(TStatementType StatementType) const { return FObjects[StatementType]; }
    void SetObject(TStatementType StatementType, rtl::TComponent* Value);
    rtl::TComponent* InsertObject() const { return FObjects[stInsert]; }
    void SetInsertObject(rtl::TComponent* V) { SetObject(stInsert, V); }
    rtl::TComponent* ModifyObject() const { return FObjects[stUpdate]; }
    void SetModifyObject(rtl::TComponent* V) { SetObject(stUpdate, V); }
    rtl::TComponent* DeleteObject() const { return FObjects[stDelete]; }
    void SetDeleteObject(rtl::TComponent* V) { SetObject(stDelete, V); }
    rtl::TComponent* LockObject() const { return FObjects[stLock]; }
    void SetLockObject(rtl::TComponent* V) { SetObject(stLock, V); }
    rtl::TComponent* RefreshObject() const { return FObjects[stRefresh]; }
    void SetRefreshObject(rtl::TComponent* V) { SetObject(stRefresh, V); }

    TCustomDADataSet* DataSet() const noexcept { return FDataSet; }
    virtual void SetDataSet(TCustomDADataSet* Value) { FDataSet = Value; }
    virtual const rtl::ClassRef& DataSetClass() const;
    virtual const rtl::ClassRef& SQLClass() const;
    // Raises unless Component may serve as a statement component of DataSet.
    void CheckUpdateObject(rtl::TComponent* Component, TCustomDADataSet* DataSet) const;
    virtual void ExecSQL(db::TUpdateKind UpdateKind);

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

    AnsiString FSQL[10];
    rtl::TComponent* FObjects[10] = {};
    TCustomDADataSet* FDataSet = nullptr;
};

TStatementType StatementTypeOf(db::TUpdateKind UpdateKind);

// Class-level access to internals of the components for the update machinery and providers.
class TDBAccessUtils {
public:
    static void CheckConnection(TCustomDADataSet* DataSet);
    static TCustomDAConnection* UsedConnection(TCustomDADataSet* DataSet);
    static TCustomDAConnection* SQLUsedConnection(TCustomDASQL* SQL);
    static void SetAutoCommit(rtl::TComponent* Obj, bool Value);
    static TCRConnection* GetIConnection(TCustomDAConnection* Connection);
    static void InternalConnect(TCustomDAConnection* Connection);
    static void InternalDisconnect(TCustomDAConnection* Connection);
    static void SetTraceSuppressed(rtl::TComponent* Obj, bool Value);
    static AnsiString GetSQL(rtl::TComponent* Obj);
    static AnsiString GetFinalSQL(rtl::TComponent* Obj);
    static TDAParams* GetParams(rtl::TComponent* Obj);
    static void Execute(rtl::TComponent* Obj);
    static int GetRowsAffected(rtl::TComponent* Obj);
    static TCRRecordSet* GetIRecordSet(TCustomDADataSet* DataSet);
    static TCRCommand* GetICommand(TCustomDADataSet* DataSet);
    static int64_t GetLastInsertId(TCustomDADataSet* DataSet);
    static void SetSQLText(rtl::TComponent* Obj, const AnsiString& Text, bool NoMacroScan, bool KeepParams);

private:
    [[noreturn]] static void WrongClass(const rtl::TObject* Obj, int Line);
};

}  // namespace daccess
