// The abstract provider layer: connection, command with parameter descriptors, record set,
// transaction, SQL dialect information, metadata reader, loader and alerter. A provider derives
// from these classes; the component layer talks to a provider only through them and through the
// integer property ids below.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "data/access/CRDataTypeMap.h"
#include "data/access/CRVio.h"
#include "data/store/CLRClasses.h"
#include "data/store/CRFieldEncryptor.h"
#include "data/store/CRParser.h"
#include "data/store/MemData.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Variant.h"

namespace daccess {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// The unit the provider layer's consistency checks report.
inline constexpr const char* CRAccessUnit = "CRAccess";

// Messages of the provider layer.
inline constexpr const char* SMSDTCNotSupported = "MS DTC transactions not supported";
inline constexpr const char* SOperationNotSupported = "Operation is not supported by the database";
inline constexpr const char* SDataTypeCannotBeEncrypted = "Data type cannot be encrypted: %s";
inline constexpr const char* SCannotEncryptValue = "Value of parameter %s cannot be encrypted";
inline constexpr const char* SListIndexOutOfBounds = "List index out of bounds (%d)";
inline constexpr const char* SFieldPrefix = "Field: ";
inline constexpr const char* STransactionInactive = "Can't perform operation on inactive transaction";
inline constexpr const char* STransactionActive = "Can't perform operation on active transaction";
inline constexpr const char* SConnectionInTransactionNotActive = "One of the connections in the transaction is not active";
inline constexpr const char* SUnsupportedIsolationLevelMTS = "Transaction isolation level is not supported with MTS";
inline constexpr const char* SUnsupportedMetaDataKind = "Unsupported metadata kind";
inline constexpr const char* STableNameNotDefined = "TableName must be defined";
inline constexpr const char* SInvalidColumnNumber = "Invalid column number";
inline constexpr const char* SInvalidRowNumber = "Invalid row number";
inline constexpr const char* SEventsNotSupported = "Event notification is not supported by DBMS or provider";

// Raises the assertion of a property id that a class does not handle: the text is the id.
[[noreturn]] void PropertyIdFault(int Prop, const char* Unit = CRAccessUnit);

// ---------------------------------------------------------------------------------------------
// Property ids: one id space for every provider class; ids from 1001 belong to SQLite.

inline constexpr int pidUsername = 1;
inline constexpr int pidAutoCommit = 5;
inline constexpr int pidScanParams = 11;
inline constexpr int pidRowsAffected = 13;
inline constexpr int pidUniDirectional = 20;
inline constexpr int pidFetchRows = 21;
inline constexpr int pidFetchAll = 22;
inline constexpr int pidRecordCount = 23;
inline constexpr int pidExecuting = 24;
inline constexpr int pidLongStrings = 25;
inline constexpr int pidFlatBuffers = 27;
inline constexpr int pidConvertEOL = 28;
inline constexpr int pidIndexFieldNames = 29;
inline constexpr int pidCompressBlobMode = 30;
inline constexpr int pidDisconnectedMode = 31;
inline constexpr int pidDisableParamScan = 32;
// Accepted by commands without effect; nothing sets it.
inline constexpr int pidCommandReserved33 = 33;
inline constexpr int pidQuoteNames = 34;
inline constexpr int pidIsolationLevel = 35;
inline constexpr int pidTransactionReadOnly = 37;
inline constexpr int pidDatabase = 38;
inline constexpr int pidPort = 39;
inline constexpr int pidStringParamSize = 40;
inline constexpr int pidEnableBCD = 41;
inline constexpr int pidEnableFMTBCD = 42;
inline constexpr int pidHasOutValues = 43;
inline constexpr int pidReadOnly = 44;
inline constexpr int pidIsStoredProc = 45;
inline constexpr int pidRowsAffectedOnOpen = 46;
inline constexpr int pidLockFetchAll = 47;
inline constexpr int pidDefaultSortType = 48;
inline constexpr int pidLastInsertId = 49;
inline constexpr int pidExtendedFieldsInfo = 51;
inline constexpr int pidDefaultValues = 52;
inline constexpr int pidFieldsOrigin = 53;
inline constexpr int pidDescribesParams = 54;
inline constexpr int pidRefreshAfterUpdate = 55;
inline constexpr int pidEncryptedFields = 56;
inline constexpr int pidHttpUrl = 57;
inline constexpr int pidHttpUsername = 58;
inline constexpr int pidHttpPassword = 59;
inline constexpr int pidProxyHostname = 60;
inline constexpr int pidProxyPort = 61;
inline constexpr int pidProxyUsername = 62;
inline constexpr int pidProxyPassword = 63;

// ---------------------------------------------------------------------------------------------
// Shared types

class TCRConnection;
class TCRCommand;
class TCRRecordSet;
class TCRTransaction;
class TMTSTransaction;
class TSQLInfo;
class TCRTableInfo;
class TCRTablesInfo;
class TColumnsInfo;
class TParamDesc;
class TParamDescs;
class TCRConnectionPool;
class TCRMetaData;
class TCRLoader;
class ICRTransactionDispenserSC;
class ICRTransactionSC;

// The operation a lost connection interrupted.
enum TConnLostCause : uint8_t {
    clUnknown,
    clExecute,
    clOpen,
    clRefresh,
    clApply,
    clServiceQuery,
    clTransStart,
    clConnectionApply,
    clConnect
};

// Makes the caller repeat the interrupted operation after a successful reconnect.
class EFailOver : public rtl::Exception {
public:
    explicit EFailOver(TConnLostCause Cause) : Exception(""), FConnLostCause(Cause) {}
    TConnLostCause ConnLostCause() const noexcept { return FConnLostCause; }
    const char* ClassName() const noexcept override { return "EFailOver"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EFailOver" || Exception::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EFailOver>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    TConnLostCause FConnLostCause;
};

enum TCRIsolationLevel : uint8_t { ilReadCommitted, ilReadUnCommitted, ilRepeatableRead, ilIsolated, ilSnapshot, ilCustom };
enum TCRTransactionAction : uint8_t { taCommit, taRollback };

// The connection's error hook: (error, caller's fail flag, out cause, retry count, out re-execute,
// in/out reconnect).
using TErrorProc = std::function<void(rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount,
                                      bool& Reexecute, bool& Reconnect)>;
using TReconnectProc = std::function<void()>;
using TNotifyProc = std::function<void()>;
using TBeforeFetchProc = std::function<void(bool& Cancel)>;

// Cursor states of a command.
inline constexpr uint8_t csInactive = 0;
inline constexpr uint8_t csPrepared = 3;
inline constexpr uint8_t csExecuting = 7;
inline constexpr uint8_t csFetching = 8;
inline constexpr uint8_t csFetchingAll = 9;
inline constexpr uint8_t csFetched = 10;

// Command kinds a provider records at prepare.
inline constexpr uint8_t ctUnknown = 0;
inline constexpr uint8_t ctStatement = 1;
inline constexpr uint8_t ctCursor = 2;

using store::ekAnsiString;
using store::ekBlob;
using store::ekBytes;
using store::ekWideString;

// Encrypts Length bytes of Data of the given kind into Result; returns the encrypted length, 0
// when nothing was produced.
using TEncryptValueFunc = std::function<int(const void* Data, int Length, int Kind, Variant& Result)>;

using store::TCRFieldEncryptor;

// ---------------------------------------------------------------------------------------------
// SQL information

class TSQLInfoClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TSQLInfo* Create(const store::TParserClass* ParserClass) const;
    template <class T>
    class Of;
};

template <class T>
class TSQLInfoClass::Of : public TSQLInfoClass {
public:
    using TSQLInfoClass::TSQLInfoClass;
    TSQLInfo* Create(const store::TParserClass* ParserClass) const override { return rtl::Create<T>(ParserClass); }
    rtl::TObject* NewInstance() const override { return Create(nullptr); }
};

// One item of a select list.
class TColumnInfo : public rtl::TObject {
    RTL_CLASS(TColumnInfo, rtl::TObject)
public:
    AnsiString Name;
    // Dotted, possibly several parts.
    AnsiString Table;
    int TableIndex = -1;
    // Text of an item that is not a plain column name.
    AnsiString Expr;
    AnsiString Alias;
};

// Owns its column descriptions.
class TColumnsInfo : public rtl::TList {
    RTL_CLASS(TColumnsInfo, rtl::TList)
public:
    TColumnsInfo() = default;
    ~TColumnsInfo() override;
    void Clear() override;
    TColumnInfo* Items(int Index) const { return static_cast<TColumnInfo*>(TList::Items(Index)); }
    TColumnInfo* AddColumn();
};

// The SQL dialect of a provider. Case modes: 0 upper, 1 lower, 2 mixed.
class TSQLInfo : public rtl::TObject {
public:
    using ClassRefType = TSQLInfoClass;
    RTL_CLASS(TSQLInfo, rtl::TObject)
public:
    explicit TSQLInfo(const store::TParserClass* ParserClass) : FParserClass(ParserClass) {}

    virtual void ParseExtColumnName(store::TParser* Parser, int& Code, AnsiString& St);
    virtual bool FirstCharQuotesNeed(char Ch, int IdCase) const;
    virtual bool NextCharQuotesNeed(char Ch, int IdCase) const;
    virtual char LeftQuote() const { return '"'; }
    virtual char RightQuote() const { return '"'; }
    virtual int IdentCase() const { return 2; }
    virtual bool ParamQuoteAllowed() const { return true; }
    virtual char ProcedureOverloadSeparator() const { return ':'; }
    virtual AnsiString Quote(const AnsiString& Value, char Left, char Right) const;
    virtual AnsiString UnQuote(const AnsiString& Value) const;
    virtual bool IsQuoted(const AnsiString& Value) const;
    virtual bool QuotesNeeded(const AnsiString& Value) const;
    virtual AnsiString NormalizeName(const AnsiString& Value, bool QuoteNames = false, bool UnQuote = false) const;
    virtual AnsiString NormalizeNameEx(const AnsiString& Value, char Left, char Right, bool QuoteNames,
                                       bool UnQuote) const;
    // Parts from the end of the text: object name, schema, catalog.
    virtual void SplitObjectName(const AnsiString& Name, AnsiString& Catalog, AnsiString& Schema,
                                 AnsiString& ObjName) const;
    virtual void ParseTablesInfo(const AnsiString& SQL, TCRTablesInfo* TablesInfo);
    virtual void ParseColumnsInfo(const AnsiString& SQL, TColumnsInfo* ColumnsInfo);
    virtual AnsiString NamesFromList(const rtl::TStrings* List) const;
    virtual void NamesToList(const AnsiString& Value, rtl::TStrings* List) const;

    AnsiString QuoteName(const AnsiString& Value) const { return Quote(Value, LeftQuote(), RightQuote()); }
    AnsiString QuoteIfNeeded(const AnsiString& Value) const {
        return QuotesNeeded(Value) ? QuoteName(Value) : Value;
    }
    const store::TParserClass* ParserClass() const noexcept { return FParserClass; }

private:
    void ParseTableList(store::TSQLParser* Parser, int& Code, AnsiString& St, TCRTablesInfo* TablesInfo,
                        bool TopLevel);

    const store::TParserClass* FParserClass;
};

// ---------------------------------------------------------------------------------------------
// Table information

class TCRTableInfoClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRTableInfo* Create(TCRTablesInfo* Owner) const;
    template <class T>
    class Of;
};

template <class T>
class TCRTableInfoClass::Of : public TCRTableInfoClass {
public:
    using TCRTableInfoClass::TCRTableInfoClass;
    TCRTableInfo* Create(TCRTablesInfo* Owner) const override { return rtl::Create<T>(Owner); }
    rtl::TObject* NewInstance() const override { return Create(nullptr); }
};

class TCRTableInfo : public rtl::TObject {
public:
    using ClassRefType = TCRTableInfoClass;
    RTL_CLASS(TCRTableInfo, rtl::TObject)
public:
    explicit TCRTableInfo(TCRTablesInfo* Owner) : FOwner(Owner) {}

    virtual AnsiString GetTableNameFull() const { return FTableName; }
    virtual void SetTableNameFull(const AnsiString& /*Value*/) {}

    const AnsiString& TableName() const noexcept { return FTableName; }
    void SetTableName(const AnsiString& Value);
    const AnsiString& TableAlias() const noexcept { return FTableAlias; }
    void SetTableAlias(const AnsiString& Value);
    int Index() const noexcept { return FIndex; }
    TCRTablesInfo* Owner() const noexcept { return FOwner; }

private:
    friend class TCRTablesInfo;
    TCRTablesInfo* FOwner;
    int FIndex = -1;
    AnsiString FTableName;
    AnsiString FTableAlias;
};

class TCRTablesInfo : public rtl::TObject {
    RTL_CLASS(TCRTablesInfo, rtl::TObject)
public:
    explicit TCRTablesInfo(const TCRTableInfoClass& TableInfoClass);
    ~TCRTablesInfo() override;

    virtual void BeginUpdate();
    virtual void EndUpdate();

    TCRTableInfo* Add();
    void Clear();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // "List index out of bounds (%d)" outside 0 .. Count-1.
    TCRTableInfo* Items(int Index) const;
    TCRTableInfo* FindByName(const AnsiString& Name) const;
    int IndexOf(const AnsiString& Name) const;
    int IndexByAlias(const AnsiString& Alias) const;
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    const TCRTableInfoClass& TableInfoClass() const noexcept { return *FTableInfoClass; }
    int UpdateCount() const noexcept { return FUpdateCount; }

private:
    friend class TCRTableInfo;
    void RebuildNames();
    void RebuildAliases();
    void Rebuild(rtl::TStringList* List, bool Aliases);
    int Lookup(const rtl::TStringList* List, const AnsiString& Value, bool Aliases) const;

    const TCRTableInfoClass* FTableInfoClass;
    bool FCaseSensitive = false;
    int FUpdateCount = 0;
    std::vector<rtl::TOwnedPtr<TCRTableInfo>> FItems;
    rtl::TOwnedPtr<rtl::TStringList> FNames;
    rtl::TOwnedPtr<rtl::TStringList> FAliases;
};

// ---------------------------------------------------------------------------------------------
// Parameter descriptors

class TParamDescClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TParamDesc* Create() const;
    template <class T>
    class Of;
};

template <class T>
class TParamDescClass::Of : public TParamDescClass {
public:
    using TParamDescClass::TParamDescClass;
    TParamDesc* Create() const override { return rtl::Create<T>(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

// The type word of a Variant that carries an object (blob or cursor) pointer.
inline constexpr rtl::TVarType varObjectPointer = rtl::varByRef;

class TParamDesc : public rtl::TObject {
public:
    using ClassRefType = TParamDescClass;
    RTL_CLASS(TParamDesc, rtl::TObject)
public:
    TParamDesc() = default;
    ~TParamDesc() override;

    virtual void SetDataType(store::TMemDataType Value) { FDataType = Value; }
    virtual void SetSubDataType(store::TMemDataType Value) { FSubDataType = Value; }
    virtual void SetParamType(uint8_t Value) { FParamType = Value; }
    virtual void SetSize(int32_t Value) { FSize = Value; }
    virtual Variant GetValue() const { return FValue; }
    virtual void SetValue(const Variant& Value);
    virtual store::TSharedObject* GetObject() const;
    // A blob; with an encryptor an encrypted copy of it is held instead.
    virtual void SetObject(store::TSharedObject* Value);
    virtual bool GetNull() const { return FIsNull; }
    virtual void SetNull(bool Value);
    virtual void SetIsBound(bool Value) { FIsBound = Value; }
    virtual bool GetNational() const { return FNational; }
    virtual void SetNational(bool Value) { FNational = Value; }

    const AnsiString& GetName() const noexcept { return FName; }
    void SetName(const AnsiString& Value) { FName = Value; }
    store::TMemDataType GetDataType() const noexcept { return FDataType; }
    store::TMemDataType GetSubDataType() const noexcept { return FSubDataType; }
    uint8_t GetParamType() const noexcept { return FParamType; }
    int32_t GetSize() const noexcept { return FSize; }
    bool GetIsBound() const noexcept { return FIsBound; }
    bool GetConvertEOL() const noexcept { return FConvertEOL; }
    void SetConvertEOL(bool Value) noexcept { FConvertEOL = Value; }
    void SetEncryptor(TEncryptValueFunc Value) { FEncryptor = std::move(Value); }
    bool HasEncryptor() const noexcept { return static_cast<bool>(FEncryptor); }

protected:
    Variant EncryptValue(const Variant& Value) const;

    AnsiString FName;
    store::TMemDataType FDataType = 0;
    store::TMemDataType FSubDataType = 0;
    uint8_t FParamType = 0;  // db::TParamType ordinal
    int32_t FSize = 0;
    Variant FValue;
    bool FIsNull = true;
    bool FIsBound = true;
    bool FConvertEOL = false;
    bool FNational = false;
    TEncryptValueFunc FEncryptor;
    rtl::TSharedRef<store::TBlob> FEncryptedBlob;
};

// Owns its descriptors.
class TParamDescs : public rtl::TList {
    RTL_CLASS(TParamDescs, rtl::TList)
public:
    TParamDescs() = default;
    ~TParamDescs() override;
    void Clear() override;
    TParamDesc* Items(int Index) const { return static_cast<TParamDesc*>(TList::Items(Index)); }
    // First match, names compared without regard to case.
    TParamDesc* FindParam(const AnsiString& Name) const;
    // Frees the descriptor at the index.
    void DeleteParam(int Index);
};

// A server cursor a command can read from.
class TCRCursor : public store::TSharedObject {
public:
    const char* ClassName() const noexcept override { return "TCRCursor"; }
    virtual void NativeCheck() = 0;
};

// ---------------------------------------------------------------------------------------------
// Command

class TCRCommandClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRCommand* Create() const;
    // The SQL-info class constructed with the parser class.
    virtual TSQLInfo* CreateSQLInfo() const;
    virtual const TCRTableInfoClass& GetTableInfoClass() const;
    virtual const TSQLInfoClass& GetSQLInfoClass() const;
    virtual const store::TParserClass& GetParserClass() const;
    virtual const TCRMapRulesClass& GetMapRulesClass() const;
    virtual const TParamDescClass& GetParamDescClass() const;
    template <class T>
    class Of;
};

template <class T>
class TCRCommandClass::Of : public TCRCommandClass {
public:
    using TCRCommandClass::TCRCommandClass;
    TCRCommand* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TCRCommandClass::Create();
    }
    const TCRTableInfoClass& GetTableInfoClass() const override { return T::GetTableInfoClass(); }
    const TSQLInfoClass& GetSQLInfoClass() const override { return T::GetSQLInfoClass(); }
    const store::TParserClass& GetParserClass() const override { return T::GetParserClass(); }
    const TCRMapRulesClass& GetMapRulesClass() const override { return T::GetMapRulesClass(); }
    const TParamDescClass& GetParamDescClass() const override { return T::GetParamDescClass(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRCommand : public rtl::TObject {
public:
    using ClassRefType = TCRCommandClass;
    RTL_CLASS(TCRCommand, rtl::TObject)
public:
    TCRCommand();
    ~TCRCommand() override;

    // Class-level operations; a provider hides them with its own.
    static const TCRTableInfoClass& GetTableInfoClass();
    static const TSQLInfoClass& GetSQLInfoClass();
    // The base has no dialect: an assertion failure.
    static const store::TParserClass& GetParserClass();
    static const TCRMapRulesClass& GetMapRulesClass();
    static const TParamDescClass& GetParamDescClass();
    const TCRCommandClass& CommandClass() const { return static_cast<const TCRCommandClass&>(*ClassType()); }

    virtual void ParseSQLParam(store::AnsiStringBuilder& Builder, store::TParser* Parser, TParamDescs* Params,
                               char LeftQuote, char RightQuote, const AnsiString& RenamePrefix);
    virtual void Prepare();
    virtual void Unprepare();
    virtual bool GetPrepared() const = 0;
    virtual void Execute(int Iters = 1) = 0;
    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* /*Value*/) {}
    virtual uint8_t GetCursorState() const = 0;
    virtual void SetCursorState(uint8_t Value) = 0;
    virtual void SetSQL(const AnsiString& Value);
    // Native SQL of the text; fills Params (when given) with the parameters met.
    virtual AnsiString ParseSQL(const AnsiString& SQL, TParamDescs* Params, bool IsScan, const AnsiString& RenamePrefix);
    virtual AnsiString CreateProcCall(const AnsiString& Name, bool NeedDescribe, bool IsQuery) = 0;
    virtual TParamDesc* AddParam();
    virtual TCRCursor* GetCursor() { return nullptr; }
    virtual void SetCursor(TCRCursor* Value);
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual void BreakExec() {}

    TSQLInfo* SQLInfo();
    int ParamCount() const { return FParams->Count(); }
    TParamDesc* Params(int Index) const { return FParams->Items(Index); }
    TParamDescs* ParamDescs() const noexcept { return FParams.get(); }
    TParamDesc* FindParam(const AnsiString& Name) const { return FParams->FindParam(Name); }
    void DeleteParam(int Index) { FParams->DeleteParam(Index); }
    TCRConnection* GetConnection() const noexcept { return FConnection; }

    const AnsiString& SQL() const noexcept { return FUserSQL; }
    const AnsiString& NativeSQL() const noexcept { return FSQL; }
    bool Executing() const noexcept { return FExecuting; }
    bool ScanParams() const noexcept { return FScanParams; }
    bool DisableParamScan() const noexcept { return FDisableParamScan; }
    bool QuoteNames() const noexcept { return FQuoteNames; }
    bool AutoCommit() const noexcept { return FAutoCommit; }
    bool EnableBCD() const noexcept { return FEnableBCD; }
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    int CompressBlobMode() const noexcept { return FCompressBlob; }
    void SetCompressBlobMode(int Value) noexcept { FCompressBlob = Value; }
    rtl::TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(rtl::TComponent* Value) noexcept { FComponent = Value; }

    TNotifyProc AfterExecute;
    TNotifyProc ReadOutParams;

protected:
    rtl::TOwnedPtr<TSQLInfo> FSQLInfo;
    rtl::TComponent* FComponent = nullptr;
    TCRConnection* FConnection = nullptr;
    AnsiString FSQL;
    AnsiString FUserSQL;
    rtl::TOwnedPtr<TParamDescs> FParams;
    bool FExecuting = false;
    bool FScanParams = true;
    bool FDisableParamScan = false;
    bool FQuoteNames = false;
    bool FAutoCommit = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    int FCompressBlob = 0;
};

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
// Record set

class TCRFieldDesc : public store::TFieldDesc {
public:
    TCRFieldDesc() = default;
    // Asserts that the source is a TCRFieldDesc.
    void Assign(const store::TFieldDesc& Source) override;
    // Mode 0 quotes only when the name needs it; any other mode always quotes.
    virtual AnsiString QuotedName(const TSQLInfo* SQLInfo, int Mode = 0);
    virtual bool IsNational() const { return false; }

    AnsiString ActualNameAnsi() const;
    // The column's name in the table the statements write to.
    void SetColumnName(const WideString& Value) {
        ColumnName = Value;
        FQuotedNameKnown[0] = FQuotedNameKnown[1] = false;
    }

    uint16_t DBType = 0;
    int32_t DBLength = 0;
    int32_t DBScale = 0;
    TCRMapRule* MapRule = nullptr;
    int32_t MapLength = -1;
    int32_t MapScale = -1;
    TOnDemandConverter* OnDemandConverter = nullptr;
    TCRFieldEncryptor* Encryptor = nullptr;
    TCRTableInfo* TableInfo = nullptr;
    // The column's default as the server would write it; given to the field as its
    // DefaultExpression when the dataset asks for server defaults.
    AnsiString DefaultExpr;

private:
    AnsiString FQuotedNames[2];
    bool FQuotedNameKnown[2] = {false, false};
};

class TCRRecordSet : public store::TMemData, public rtl::TObject {
public:
    using ClassRefType = TCRRecordSetClass;
    RTL_CLASS(TCRRecordSet, rtl::TObject)
public:
    TCRRecordSet();
    ~TCRRecordSet() override;
    // Creates the provider's command, the tables info and the map rules.
    void AfterConstruction() override;

    // --- store operations ---
    void DoPrepare() override;
    void DoUnprepare() override;
    void DoOpen(int Flag) override;
    void DoClose() override;
    bool NeedConvertEOL() const override;
    void Prepare() override;
    void Unprepare() override;
    std::unique_ptr<store::TFieldDesc> CreateFieldDesc() const override { return std::make_unique<TCRFieldDesc>(); }
    void InitFields() override;
    void GetFieldData(const store::TFieldDesc* Field, const void* Source, void* Dest) override;
    void PutFieldData(const store::TFieldDesc* Field, void* Dest, const void* Source, bool NoRound = false) override;
    // The dataset's reads and writes: through the column's on-demand converter when asked.
    virtual void GetFieldData(const store::TFieldDesc* Field, const void* Source, void* Dest, bool NeedConvert);
    virtual void PutFieldData(const store::TFieldDesc* Field, void* Dest, const void* Source, bool NoRound,
                              bool NeedConvert);
    void GetNextRecord(void* RecBuf) override;
    void GetPriorRecord(void* RecBuf) override;
    bool FilterUpdated() override;
    void InitSortColumn(store::TSortColumn& Column) override;
    void SortItems() override;

    // --- provider operations ---
    virtual void CreateCommand() = 0;
    virtual void SetCommand(TCRCommand* Value);
    virtual bool CanFetchBack() { return false; }
    virtual bool ReturnsRows() { return FCommandType == ctCursor; }
    virtual bool NeedReinitFields() { return false; }
    virtual void InternalOpen(bool DisableInitFields = false);
    virtual void ProcessFetchedBlock(store::TItemBlock* Block, int FetchedRows, bool FetchBack);
    virtual void DoBeforeFetch(bool& Cancel);
    virtual void DoAfterFetch();
    virtual void UnprepareFields();
    virtual void ExecCommand();
    virtual void FetchAll();
    virtual void BreakFetch() { FWaitForBreak = true; }
    virtual bool IsFetchEnded();
    virtual bool IsQuery() { return FCommandType == ctCursor; }
    virtual void SetConnection(TCRConnection* Value);
    virtual void SetTransaction(TCRTransaction* Value);
    virtual void SetSQL(const AnsiString& Value);
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual bool IsCaseSensitive() { return true; }
    virtual TCRMapRule* FindMapRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength, int32_t DBScale);
    virtual TOnDemandConverter* GetMapOnDemandConverter(const AnsiString& FieldName, store::TMemDataType DataType,
                                                        TCRMapRule*& MapRule, int32_t DBLength, int32_t DBScale,
                                                        uint16_t DBType);
    virtual bool IsEncryptableDataType(store::TMemDataType DataType);
    virtual store::TMemDataType MapEncryptedDataType(store::TMemDataType DataType) { return DataType; }

    // Links n rows that the provider read into the first n items of a block.
    void FetchBlock(store::TItemBlock* Block, int FetchedRows, bool FetchBack);
    void DecryptRecord(store::TRecordItem* Item);
    TFetchConverter* GetFieldConverter(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength, int32_t DBScale);
    TCRCommand* GetCommand() const noexcept { return FCommand; }
    bool IsEncryptedField(const AnsiString& FieldName);
    void SetComponent(rtl::TComponent* Value);

    bool UniDirectional() const noexcept { return FUniDirectional; }
    int FetchRows() const noexcept { return FFetchRows; }
    bool FetchAllFlag() const noexcept { return FFetchAll; }
    bool PartlyUsedBlock() const noexcept { return FPartlyUsedBlock; }
    bool LongStrings() const noexcept { return FLongStrings; }
    bool FlatBuffers() const noexcept { return FFlatBuffers; }
    bool ExtendedFieldsInfo() const noexcept { return FExtendedFieldsInfo; }
    bool DefaultValues() const noexcept { return FDefaultValues; }
    bool FieldsOrigin() const noexcept { return FFieldsOrigin; }
    uint8_t CommandType() const noexcept { return FCommandType; }
    void SetCommandType(uint8_t Value) noexcept { FCommandType = Value; }
    TCRMapRules* MapRules() const noexcept { return FMapRules.get(); }
    TCRTablesInfo* TablesInfo() const noexcept { return FTablesInfo.get(); }
    TCRFieldEncryptor* Encryptor() const noexcept { return FEncryptor; }
    void SetEncryptor(TCRFieldEncryptor* Value) noexcept { FEncryptor = Value; }
    const AnsiString& EncryptedFields() const noexcept { return FEncryptedFields; }
    bool WaitForBreak() const noexcept { return FWaitForBreak; }

    TBeforeFetchProc OnBeforeFetch;
    TNotifyProc OnAfterFetch;
    TNotifyProc OnReopen;

protected:
    TCRFieldDesc* CRField(const store::TFieldDesc* Field) const;

    TCRCommand* FCommand = nullptr;
    bool FUniDirectional = false;
    int FFetchRows = 25;
    bool FPartlyUsedBlock = false;
    bool FFetchAll = false;
    bool FLockFetchAll = false;
    bool FLongStrings = true;
    bool FFlatBuffers = true;
    bool FExtendedFieldsInfo = false;
    bool FDefaultValues = false;
    bool FFieldsOrigin = false;
    bool FWaitForBreak = false;
    uint8_t FCommandType = ctUnknown;
    rtl::TOwnedPtr<TCRMapRules> FMapRules;
    TCRFieldEncryptor* FEncryptor = nullptr;
    AnsiString FEncryptedFields;
    rtl::TOwnedPtr<TCRTablesInfo> FTablesInfo;
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

// ---------------------------------------------------------------------------------------------
// Metadata

class TDataHelper : public rtl::TObject {
    RTL_CLASS(TDataHelper, rtl::TObject)
public:
    explicit TDataHelper(store::TData* Data) : FData(Data) {}
    ~TDataHelper() override;

    void AllocBuffer();
    void InitRecord();
    void AppendRecord();
    bool NextRecord();
    Variant GetFieldValue(int FieldNo);
    void SetFieldValue(int FieldNo, const Variant& Value);
    void FreeBuffer();
    void* Buffer() const noexcept { return FRecBuf; }

private:
    store::TData* FData;
    void* FRecBuf = nullptr;
};

using TCRMetaDataClass = TCreatableClass<TCRMetaData>;

class TCRMetaData : public rtl::TObject {
public:
    using ClassRefType = TCRMetaDataClass;
    RTL_CLASS(TCRMetaData, rtl::TObject)
public:
    TCRMetaData();
    ~TCRMetaData() override;
    // Creates the provider's catalogue record set.
    void AfterConstruction() override;

    virtual TCRRecordSet* CreateRecordSet() = 0;
    virtual store::TData* GetMetaData(const AnsiString& MetaDataKind, rtl::TStrings* Restrictions);
    virtual void CreateMetaDataKindsFields();
    virtual void GetMetaDataKindsList(rtl::TStrings* List);
    virtual store::TData* GetMetaDataKinds();
    virtual void CreateRestrictionsFields();
    virtual void GetRestrictionsList(rtl::TStrings* List, const AnsiString& MetaDataKind);
    virtual store::TData* GetRestrictions(rtl::TStrings* Restrictions);
    virtual void CreateTablesFields();
    virtual store::TData* GetTables(rtl::TStrings* Restrictions) = 0;
    virtual void CreateColumnsFields();
    virtual store::TData* GetColumns(rtl::TStrings* Restrictions) = 0;
    virtual void CreateProceduresFields();
    virtual store::TData* GetProcedures(rtl::TStrings* Restrictions) = 0;
    virtual void CreateProcedureParametersFields();
    virtual store::TData* GetProcedureParameters(rtl::TStrings* Restrictions) = 0;
    virtual void CreateIndexesFields();
    virtual store::TData* GetIndexes(rtl::TStrings* Restrictions) = 0;
    virtual void CreateIndexColumnsFields();
    virtual store::TData* GetIndexColumns(rtl::TStrings* Restrictions) = 0;
    virtual void CreateConstraintsFields();
    virtual store::TData* GetConstraints(rtl::TStrings* Restrictions) = 0;
    virtual store::TData* GetDatabases(rtl::TStrings* Restrictions);
    virtual void CreateDatabasesFields();
    virtual store::TData* GetDataTypes(rtl::TStrings* Restrictions);
    virtual store::TData* GetUsers(rtl::TStrings* Restrictions);
    virtual store::TData* GetRoles(rtl::TStrings* Restrictions);
    virtual store::TData* GetUserDefinedTypes(rtl::TStrings* Restrictions);
    virtual store::TData* GetPackages(rtl::TStrings* Restrictions);
    virtual store::TData* GetMetaDataFor(TCRConnection* Connection, TCRTransaction* Transaction,
                                         const AnsiString& MetaDataKind, rtl::TStrings* Restrictions);

    // --- for providers ---
    // Closes the result store and drops its columns before a kind adds its own.
    void ClearResultFields();
    store::TFieldDesc* AddField(const AnsiString& Name, store::TMemDataType Type, int Length = 0);
    // Object_CATALOG, Object_SCHEMA and Object_NAME: the qualified name of a database object.
    void AddQualifiedNameFields(const AnsiString& Object);
    // Finishes the result's layout and opens it empty.
    void OpenResult();
    // Copies each value of the record set's current record into the result buffer's column.
    void CopyRecordValues(const std::vector<std::pair<int, int>>& Pairs);
    static void ParseRestrictions(const AnsiString& Text, const std::vector<AnsiString>& Names,
                                  std::vector<bool>& Flags);
    void AddWhereCondition(AnsiString& Where, const AnsiString& Column, bool AddNull, const AnsiString& Value);

    store::TMemData* MemData() const noexcept { return FMemData.get(); }
    TCRRecordSet* RecordSet() const noexcept { return FRecordSet; }
    TDataHelper* MemDataHelper() const noexcept { return FMemDataHelper.get(); }
    TDataHelper* RecordSetHelper() const noexcept { return FRecordSetHelper.get(); }
    const char* OperatorEq() const noexcept { return "="; }

protected:
    std::unique_ptr<store::TMemData> FMemData;
    TCRRecordSet* FRecordSet = nullptr;
    rtl::TOwnedPtr<TDataHelper> FMemDataHelper;
    rtl::TOwnedPtr<TDataHelper> FRecordSetHelper;
};

// ---------------------------------------------------------------------------------------------
// Loader

class TCRLoaderColumn;
using TCRLoaderColumnClass = TCreatableClass<TCRLoaderColumn>;

class TCRLoaderColumn : public rtl::TObject {
public:
    using ClassRefType = TCRLoaderColumnClass;
    RTL_CLASS(TCRLoaderColumn, rtl::TObject)
public:
    AnsiString Name;
    store::TMemDataType DataType = 0;
    int Size = 0;
    int DataSize = 0;
    int Precision = 0;
    int Scale = 0;
};

class TCRLoaderColumns : public rtl::TList {
    RTL_CLASS(TCRLoaderColumns, rtl::TList)
public:
    ~TCRLoaderColumns() override;
    void Clear() override;
    TCRLoaderColumn* Items(int Index) const { return static_cast<TCRLoaderColumn*>(TList::Items(Index)); }
};

class TCRLoaderClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRLoader* Create() const;
    virtual const TCRRecordSetClass& GetRecordSetClass() const;
    template <class T>
    class Of;
};

template <class T>
class TCRLoaderClass::Of : public TCRLoaderClass {
public:
    using TCRLoaderClass::TCRLoaderClass;
    TCRLoader* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TCRLoaderClass::Create();
    }
    const TCRRecordSetClass& GetRecordSetClass() const override { return T::GetRecordSetClass(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRLoader : public rtl::TObject {
public:
    using ClassRefType = TCRLoaderClass;
    RTL_CLASS(TCRLoader, rtl::TObject)
public:
    TCRLoader();
    ~TCRLoader() override;

    // The base belongs to no provider: an assertion failure.
    static const TCRRecordSetClass& GetRecordSetClass();
    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* Value) { FTransaction = Value; }
    virtual void FillColumn(TCRLoaderColumn* Column, const store::TFieldDesc* FieldDesc);
    virtual void PrepareStatement() {}
    virtual void WriteColumnValue(int Col, int Row, const Variant& Value) { (void)Col, (void)Row, (void)Value; }
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual const TCRLoaderColumnClass& GetColumnClass() const { return TCRLoaderColumn::StaticClass(); }
    virtual void Prepare();
    virtual void Reset();
    virtual void FlushRows() {}
    virtual void Finish() {}
    // Rows count from 1.
    virtual void PutColumnData(int Col, int Row, const Variant& Value);

    TCRLoaderColumns* Columns() const noexcept { return FColumns.get(); }
    TCRLoaderColumn* AddColumn();
    const AnsiString& TableName() const noexcept { return FTableName; }
    void SetTableName(const AnsiString& Value) { FTableName = Value; }
    bool SkipReadOnlyFieldDescs() const noexcept { return FSkipReadOnlyFieldDescs; }
    void SetSkipReadOnlyFieldDescs(bool Value) noexcept { FSkipReadOnlyFieldDescs = Value; }
    int LastRow() const noexcept { return FLastRow; }
    int LoadedRows() const noexcept { return FLoadedRows; }
    TCRConnection* Connection() const noexcept { return FConnection; }
    TCRTransaction* Transaction() const noexcept { return FTransaction; }

protected:
    TCRConnection* FConnection = nullptr;
    TCRTransaction* FTransaction = nullptr;
    AnsiString FTableName;
    rtl::TOwnedPtr<TCRLoaderColumns> FColumns;
    bool FSkipReadOnlyFieldDescs = true;
    int FLastRow = -1;
    int FLoadedRows = 0;
};

// Loads each row with one execution of a prepared INSERT.
class TCRSimpleLoader : public TCRLoader {
    RTL_CLASS(TCRSimpleLoader, TCRLoader)
public:
    TCRSimpleLoader() = default;
    ~TCRSimpleLoader() override;
    // Creates the command.
    void AfterConstruction() override;

    virtual TCRCommand* CreateCommand() = 0;
    virtual void LoadRow();

    void PrepareStatement() override;
    void WriteColumnValue(int Col, int Row, const Variant& Value) override;
    void PutColumnData(int Col, int Row, const Variant& Value) override;
    void FlushRows() override;
    void Reset() override;
    // Loads the row still pending, then releases the statement.
    void Finish() override;

    TCRCommand* Command() const noexcept { return FCommand; }

protected:
    TCRCommand* FCommand = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Alerter

using TCRAlerterEventProc = std::function<void(const AnsiString& EventName, const AnsiString& Message)>;

class TCRAlerter : public rtl::TObject {
    RTL_CLASS(TCRAlerter, rtl::TObject)
public:
    TCRAlerter();
    ~TCRAlerter() override;

    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* Value) { FTransaction = Value; }
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    // Send an event, start and stop listening.
    virtual void EventOperation1(const AnsiString& EventName, const AnsiString& Message) = 0;
    virtual void EventOperation2() = 0;
    virtual void EventOperation3() = 0;
    virtual bool IsActive() { return FActive; }

    rtl::TStringList* EventNames() const noexcept { return FEventNames.get(); }
    TCRConnection* Connection() const noexcept { return FConnection; }
    TCRTransaction* Transaction() const noexcept { return FTransaction; }
    bool AutoCommit() const noexcept { return FAutoCommit; }

    TCRAlerterEventProc OnEvent;

protected:
    rtl::TOwnedPtr<rtl::TStringList> FEventNames;
    TCRConnection* FConnection = nullptr;
    TCRTransaction* FTransaction = nullptr;
    bool FActive = false;
    bool FAutoCommit = true;
};

class TCRDummyAlerter : public TCRAlerter {
    RTL_CLASS(TCRDummyAlerter, TCRAlerter)
public:
    void EventOperation1(const AnsiString& EventName, const AnsiString& Message) override;
    void EventOperation2() override;
    void EventOperation3() override;
};

}  // namespace daccess
