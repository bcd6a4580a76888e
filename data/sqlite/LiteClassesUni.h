// The SQLite provider: connection and transaction, command, record set, SQL dialect information,
// metadata reader and loader, all reaching the engine through the connection's entry-point table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "data/access/CRAccess.h"
#include "data/sqlite/LiteCallUni.h"
#include "data/sqlite/LiteDataTypeMapUni.h"
#include "data/sqlite/LiteErrorUni.h"
#include "data/sqlite/LiteParserUni.h"
#include "framework/rtl/SysUtils.h"

namespace sqlite {

using rtl::Variant;
using rtl::WideString;

// The unit the provider's consistency checks report.
inline constexpr const char* LiteClassesUnit = "LiteClasses";

// SQLite's own property ids.
inline constexpr int pidUseUnicode = 1001;
inline constexpr int pidClientLibrary = 1002;
inline constexpr int pidDumpData = 1003;
inline constexpr int pidEncryptionKey = 1004;
inline constexpr int pidASCIIDataBase = 1005;
inline constexpr int pidEnableSharedCache = 1006;
inline constexpr int pidBusyTimeout = 1007;
inline constexpr int pidReadUncommitted = 1008;
inline constexpr int pidDefaultCollations = 1010;
inline constexpr int pidDateFormat = 1011;
inline constexpr int pidTimeFormat = 1012;
inline constexpr int pidForeignKeys = 1013;
inline constexpr int pidDirect = 1014;
inline constexpr int pidForceCreateDatabase = 1015;
inline constexpr int pidEncryptionAlgorithm = 1016;

enum TLiteEncryptionAlgorithm : uint8_t {
    leTripleDES,
    leBlowfish,
    leAES128,
    leAES192,
    leAES256,
    leCast128,
    leRC4,
    leDefault
};

class TSQLiteCommand;
class TSQLiteRecordSet;
class TSQLiteFunctionManager;
class TSQLiteCollationManager;
class TSQLiteTypes;

// Map rules whose converters are SQLite's.
class TLiteMapRules : public daccess::TCRMapRules {
    RTL_CLASS(TLiteMapRules, daccess::TCRMapRules)
public:
    static daccess::TConverterManager* GetConverterManager();
};

// ---------------------------------------------------------------------------------------------
// Connection

class TSQLiteConnection : public daccess::TCRConnection {
    RTL_CLASS(TSQLiteConnection, daccess::TCRConnection)
public:
    TSQLiteConnection();
    ~TSQLiteConnection() override;

    const daccess::TCRCommandClass& GetCommandClass() const override;
    const daccess::TCRTransactionClass& GetTransactionClass() const override;
    daccess::TCRMapRules* CreateMapRules() override;
    void Connect(const AnsiString& ConnectString) override;
    void Disconnect() override;
    void Assign(daccess::TCRConnection* Source) override;
    void AssignConnect(daccess::TCRConnection* Source) override;
    bool CheckIsValid() override { return true; }
    AnsiString GetServerVersion() override;
    AnsiString GetServerVersionFull() override;
    AnsiString GetClientVersion() override;
    bool CanChangeDatabase() override { return false; }
    bool SetProp(int Prop, const Variant& Value) override;
    bool GetProp(int Prop, Variant& Value) override;

    // Turns a server error into ESQLiteError and lets the error hook decide whether it is raised.
    virtual void ProcessError(int ErrorCode, const AnsiString& Msg, rtl::TComponent* Component);

    // Raises the engine's error for a non-zero result code.
    void Check(int ErrorCode) {
        if (ErrorCode != SQLITE_OK) CheckFailed(ErrorCode);
    }
    void ExecuteInternal(const AnsiString& SQL);
    // The engine's count of all rows changed on the connection, triggers included; -1 when it
    // cannot be read.
    int64_t TotalChanges();
    // An error that a collation met inside the engine, raised once the engine has returned.
    void SetPendingError(std::unique_ptr<rtl::Exception> E) {
        if (!FPendingError) FPendingError = std::move(E);
    }
    void RaisePendingError() {
        if (FPendingError) {
            std::unique_ptr<rtl::Exception> e = std::move(FPendingError);
            e->Raise();
        }
    }
    void ClearPendingError() noexcept { FPendingError.reset(); }
    // Commands holding a prepared statement; a close that finds statements open finalizes them.
    void AddLiveCommand(TSQLiteCommand* Command) { FLiveCommands.insert(Command); }
    void RemoveLiveCommand(TSQLiteCommand* Command) noexcept { FLiveCommands.erase(Command); }
    void SetKey(const AnsiString& Key);

    void ApplyBusyTimeout();
    void ApplyReadUncommitted();
    void ApplyDefaultCollations();
    void ApplyForeignKeys();

    // --- text between the ANSI code page and the database ---
    bool IsUTF8() const noexcept { return FUseUnicode || !FASCIIDataBase; }
    AnsiString EncodeString(std::string_view Value) const { return EncodeString(Value, IsUTF8()); }
    static AnsiString EncodeString(std::string_view Value, bool UTF8);
    AnsiString EncodeWideString(std::u16string_view Value) const { return EncodeWideString(Value, IsUTF8()); }
    static AnsiString EncodeWideString(std::u16string_view Value, bool UTF8);
    AnsiString DecodeString(const char* Value, size_t Length) const { return DecodeString(Value, Length, IsUTF8()); }
    static AnsiString DecodeString(const char* Value, size_t Length, bool UTF8);
    WideString DecodeToWide(const char* Value, size_t Length) const { return DecodeToWide(Value, Length, IsUTF8()); }
    static WideString DecodeToWide(const char* Value, size_t Length, bool UTF8);
    // Decodes UTF-8 into the ANSI code page at Dest and returns the bytes written, at most MaxLen.
    static size_t DecodeUTF8To(const char* Value, size_t Length, char* Dest, size_t MaxLen);
    // Decodes UTF-8 into UTF-16 at Dest, which has room for Length units, and returns the units.
    static size_t DecodeUTF8ToWide(const char* Value, size_t Length, char16_t* Dest);
    // The most bytes the decoders above take at once: 64 or 16 as the processor allows, 0 for
    // a character at a time. Limiting it lets every road be checked on one machine.
    static unsigned TextChunkBytes();
    static void LimitTextChunkBytes(unsigned Bytes);

    TSQLite3API* API() const noexcept { return FAPI.get(); }
    TSQLiteTypes* GetTypes();
    TSQLiteCollationManager* GetCollationManager();
    TSQLiteFunctionManager* GetFunctionManager();
    TSQLiteCommand* InternalCommand();
    int64_t LastInsertId() const noexcept { return FLastInsertId; }
    void SetLastInsertId(int64_t Value) noexcept { FLastInsertId = Value; }

    const AnsiString& Database() const noexcept { return FDatabase; }
    bool UseUnicode() const noexcept { return FUseUnicode; }
    bool ASCIIDataBase() const noexcept { return FASCIIDataBase; }
    int BusyTimeout() const noexcept { return FBusyTimeout; }
    bool ReadUncommitted() const noexcept { return FReadUncommitted; }
    bool ForeignKeys() const noexcept { return FForeignKeys; }
    bool DefaultCollations() const noexcept { return FDefaultCollations; }
    bool EnableSharedCache() const noexcept { return FEnableSharedCache; }
    bool Direct() const noexcept { return FDirect; }
    const AnsiString& DateFormat() const noexcept { return FDateFormat; }
    const AnsiString& TimeFormat() const noexcept { return FTimeFormat; }
    TLiteEncryptionAlgorithm EncryptionAlgorithm() const noexcept { return FEncryptionAlgorithm; }

private:
    [[noreturn]] void CheckFailed(int ErrorCode);
    // Closes the handle; statements left open are finalized first so that the close succeeds.
    int CloseHandle();

    AnsiString FDatabase;
    AnsiString FClientLibrary;
    bool FUseUnicode = false;
    bool FASCIIDataBase = false;
    AnsiString FEncryptionKey;
    bool FEnableSharedCache = false;
    int FBusyTimeout = 0;
    bool FReadUncommitted = false;
    bool FDefaultCollations = true;
    AnsiString FDateFormat;
    AnsiString FTimeFormat;
    bool FForeignKeys = true;
    bool FDirect = false;
    bool FForceCreateDatabase = false;
    TLiteEncryptionAlgorithm FEncryptionAlgorithm = leTripleDES;
    int64_t FLastInsertId = 0;
    std::unique_ptr<rtl::Exception> FPendingError;
    std::unordered_set<TSQLiteCommand*> FLiveCommands;

    rtl::TOwnedPtr<TSQLite3API> FAPI;
    // Finalized through FAPI, so declared after it.
    rtl::TOwnedPtr<TSQLiteCommand> FInternalCommand;
    rtl::TOwnedPtr<TSQLiteTypes> FTypes;
    rtl::TOwnedPtr<TSQLiteCollationManager> FCollationManager;
    rtl::TOwnedPtr<TSQLiteFunctionManager> FFunctionManager;
};

class TSQLiteTransaction : public daccess::TCRTransaction {
    RTL_CLASS(TSQLiteTransaction, daccess::TCRTransaction)
public:
    void BeginWork() override;
    void CommitWork() override;
    void RollbackWork() override;
    void Savepoint(const AnsiString& Name) override;
    void ReleaseSavepoint(const AnsiString& Name) override;
    void RollbackToSavepoint(const AnsiString& Name) override;

private:
    TSQLiteConnection* LiteConnection() const;
};

// ---------------------------------------------------------------------------------------------
// SQL information

class TSQLiteInfo : public daccess::TSQLInfo {
    RTL_CLASS(TSQLiteInfo, daccess::TSQLInfo)
public:
    using TSQLInfo::TSQLInfo;

    int IdentCase() const override { return 2; }
    bool ParamQuoteAllowed() const override { return false; }
    void ParseTablesInfo(const AnsiString& SQL, daccess::TCRTablesInfo* TablesInfo) override;
};

// The process's SQLite dialect object.
TSQLiteInfo* LiteSQLInfo();

class TSQLiteTableInfo : public daccess::TCRTableInfo {
    RTL_CLASS(TSQLiteTableInfo, daccess::TCRTableInfo)
public:
    using TCRTableInfo::TCRTableInfo;

    AnsiString GetTableNameFull() const override { return FTableNameFull; }
    void SetTableNameFull(const AnsiString& Value) override { FTableNameFull = Value; }

private:
    AnsiString FTableNameFull;
};

// ---------------------------------------------------------------------------------------------
// Command

class TSQLiteCommand : public daccess::TCRCommand {
    RTL_CLASS(TSQLiteCommand, daccess::TCRCommand)
public:
    TSQLiteCommand();
    ~TSQLiteCommand() override;

    static const daccess::TCRTableInfoClass& GetTableInfoClass();
    static const daccess::TSQLInfoClass& GetSQLInfoClass();
    static const store::TParserClass& GetParserClass();
    static const daccess::TCRMapRulesClass& GetMapRulesClass();
    static const daccess::TParamDescClass& GetParamDescClass() { return TCRCommand::GetParamDescClass(); }

    void Prepare() override;
    void Unprepare() override;
    bool GetPrepared() const override { return static_cast<bool>(FStmt); }
    void Execute(int Iters = 1) override;
    void SetConnection(daccess::TCRConnection* Value) override;
    uint8_t GetCursorState() const override { return FCursorState; }
    void SetCursorState(uint8_t Value) override { FCursorState = Value; }
    AnsiString ParseSQL(const AnsiString& SQL, daccess::TParamDescs* Params, bool IsScan,
                        const AnsiString& RenamePrefix) override;
    AnsiString CreateProcCall(const AnsiString& Name, bool NeedDescribe, bool IsQuery) override;
    bool SetProp(int Prop, const Variant& Value) override;
    bool GetProp(int Prop, Variant& Value) override;

    void UpdateDateFormats();
    void BindParams();
    // Ends the statement's run, and with it any read or write transaction the engine began for
    // it; the statement stays prepared.
    void Reset() noexcept;

    TSQLiteConnection* LiteConnection() const noexcept { return FLiteConnection; }
    sqlite3_stmt* Stmt() const noexcept { return FStmt.get(); }
    int LastStepResult() const noexcept { return FLastStepResult; }
    void SetLastStepResult(int Value) noexcept { FLastStepResult = Value; }
    int RowsAffected() const noexcept { return FRowsAffected; }
    bool Opening() const noexcept { return FOpening; }
    void SetOpening(bool Value) noexcept { FOpening = Value; }
    char DateSeparator() const noexcept { return FDateSeparator; }
    const AnsiString& DateFormat() const noexcept { return FDateFormat; }
    char TimeSeparator() const noexcept { return FTimeSeparator; }
    const AnsiString& TimeFormat() const noexcept { return FTimeFormat; }

private:
    void BindParam(int Index, daccess::TParamDesc* Param);
    AnsiString FormatDateValue(store::TMemDataType DataType, rtl::TDateTime Value) const;

    TSQLiteConnection* FLiteConnection = nullptr;
    // What the statement's text parameters point at: the engine reads them in place (no copy of
    // its own), so each stays here until that parameter is bound again or the command goes.
    struct TBoundText {
        rtl::Variant Value;
        AnsiString Encoded;
    };
    std::vector<TBoundText> FBoundTexts;
    TStatementOwner FStmt;
    uint8_t FCursorState = daccess::csInactive;
    int FLastStepResult = 0;
    int FRowsAffected = 0;
    bool FOpening = false;
    char FDateSeparator = '-';
    AnsiString FDateFormat = "yyyy-mm-dd";
    char FTimeSeparator = ':';
    AnsiString FTimeFormat = "hh:nn:ss";
};

// ---------------------------------------------------------------------------------------------
// Record set

class TSQLiteRecordSet : public daccess::TCRRecordSet {
    RTL_CLASS(TSQLiteRecordSet, daccess::TCRRecordSet)
public:
    TSQLiteRecordSet();

    void DoPrepare() override;
    void DoUnprepare() override;
    void DoClose() override;
    void DoInitFields() override;
    bool IsFullReopen() const override { return false; }
    void Reopen() override;
    void SetToEnd() override;
    bool FetchNext(int Flag = 0) override;
    void CreateCommand() override;
    void SetCommand(daccess::TCRCommand* Value) override;
    void ExecCommand() override;
    bool SetProp(int Prop, const Variant& Value) override;
    bool GetProp(int Prop, Variant& Value) override;

    void InternalOpen(bool DisableInitFields = false) override;
    void SetConnection(daccess::TCRConnection* Value) override;
    void SetSQL(const AnsiString& Value) override;

    void DescribeField(daccess::TCRFieldDesc* Field, int Col);
    // Reads one block of rows; true when more rows may follow.
    bool FetchBlock();
    void ReadRow(void* RecBuf);
    // Dump mode (pidDumpData): the dump reads the rows from the statement itself, nothing is
    // fetched into records. Whether the statement stands on a row; the step to the next row,
    // false at the end.
    bool DumpRowReady() const;
    bool DumpNextRow();

    TSQLiteCommand* LiteCommand() const noexcept { return FLiteCommand; }
    bool DumpData() const noexcept { return FDumpData; }

private:
    // What reading a row needs from the field list, worked out once per block rather than per row.
    struct TRowPlan {
        std::vector<const daccess::TCRFieldDesc*> Values;  // fields read from a column
        std::vector<int> Complex;                          // indexes of fields with a complex slot
        bool CanonicalDates = false;                       // dates in the engine's own text forms
        rtl::TFormatSettings DateSettings;                 // the command's date and time formats
    };
    // How a column is kept when its values proved larger than the described field: the field's
    // type and length as described, and as they are to be kept.
    struct TStorage {
        store::TMemDataType Described = 0;
        store::TMemDataType Kept = 0;
        int32_t Length = 0;
    };
    // Thrown while the fields may still change: the rows read so far are dropped and the
    // statement is read again with the fields' new storage.
    struct TRestartFetch {};

    // --- describing ---
    WideString DescribeOrigin(daccess::TCRFieldDesc* Field, int Col);
    store::TMemDataType TypeOfDeclared(daccess::TCRFieldDesc* Field, const AnsiString& Declared, int32_t& Length,
                                       int32_t& Scale);
    store::TMemDataType TypeOfValue(daccess::TCRFieldDesc* Field, int Col, int32_t& Length, int32_t& Scale);
    store::TMemDataType AdjustedType(store::TMemDataType DataType, int32_t Length) const;
    void SetStorage(daccess::TCRFieldDesc* Field, store::TMemDataType DataType, int32_t Length, int32_t Scale);
    static int SlotSize(store::TMemDataType DataType, int32_t Length);

    // --- reading ---
    void MakeRowPlan(TRowPlan& Plan) const;
    void ReadRow(void* RecBuf, const TRowPlan& Plan);
    // Reads one column value of the current row into the record; gives its null flag (1 null,
    // 0 a value, NullFlagInexact a text the code page could not hold).
    uint8_t ReadValue(uint8_t* Slot, const daccess::TCRFieldDesc* Field, int Col, TSQLite3API* API, sqlite3_stmt* Stmt,
                      bool UTF8, const TRowPlan& Plan);
    // True when characters were lost to the code page.
    bool ReadAnsiText(uint8_t* Slot, const daccess::TCRFieldDesc* Field, const char* Text, size_t Length, bool UTF8);
    void ReadWideText(uint8_t* Slot, const daccess::TCRFieldDesc* Field, const char* Text, size_t Length);
    // Puts a new blob holding Bytes at Data into a record's slot.
    void StoreBlob(uint8_t* Slot, const daccess::TCRFieldDesc* Field, const void* Data, size_t Bytes);
    // True when characters were lost to the code page.
    bool ReadBlob(uint8_t* Slot, const daccess::TCRFieldDesc* Field, int Col, TSQLite3API* API, sqlite3_stmt* Stmt,
                  bool UTF8);
    void ReadBytes(uint8_t* Slot, const daccess::TCRFieldDesc* Field, int Col, TSQLite3API* API, sqlite3_stmt* Stmt);
    bool ReadDate(uint8_t* Slot, const daccess::TCRFieldDesc* Field, const char* Text, size_t Length, bool UTF8,
                  const TRowPlan& Plan);
    bool ParseDate(std::string_view Text, store::TMemDataType DataType, const TRowPlan& Plan,
                   rtl::TDateTime& Value) const;
    // A value longer than the field's room (Units characters or bytes) or one it cannot keep at
    // all: the field grows while no one has seen it, else the fetch fails naming the field.
    void Outgrown(const daccess::TCRFieldDesc* Field, size_t Units, bool ZeroChar);
    // An integer past its field's range: the field widens while the open still may change it.
    void OutOfRange(const daccess::TCRFieldDesc* Field, int64_t Value);
    void ApplyStorage();
    [[noreturn]] void RaiseOutOfRange(const store::TFieldDesc* Field, int64_t Value) const;
    [[noreturn]] void RaiseOutOfRange(const store::TFieldDesc* Field, const AnsiString& Value) const;
    [[noreturn]] void RaiseForField(const store::TFieldDesc* Field, const AnsiString& Message) const;

    TSQLiteCommand* FLiteCommand = nullptr;
    bool FDumpData = false;
    // Set while opening: field sizes may still follow the values.
    bool FGrowFields = false;
    bool FReopening = false;
    std::vector<TStorage> FStorage;  // by column
    std::string FScratch;
    std::u16string FWideScratch;
    // Room for the blobs of the rows being fetched.
    store::TSharedBlockPool FBlobPool;
};

// ---------------------------------------------------------------------------------------------
// Metadata and loader

// Columns and indexes read from the text of a CREATE TABLE or CREATE INDEX statement.
struct TTableMembers {
    struct Column {
        AnsiString Name;
        AnsiString DataType;
        bool IntegerPrimaryKey = false;
        AnsiString Default;
        bool HasDefault = false;
    };
    struct Index {
        std::vector<int> Columns;
        std::vector<bool> Descending;
        bool Unique = true;
    };
    std::vector<Column> Columns;
    std::vector<Index> Indexes;
};

class TSQLiteMetaData : public daccess::TCRMetaData {
    RTL_CLASS(TSQLiteMetaData, daccess::TCRMetaData)
public:
    TSQLiteMetaData() = default;

    daccess::TCRRecordSet* CreateRecordSet() override;
    store::TData* GetTables(rtl::TStrings* Restrictions) override;
    store::TData* GetColumns(rtl::TStrings* Restrictions) override;
    store::TData* GetProcedures(rtl::TStrings* Restrictions) override;
    store::TData* GetProcedureParameters(rtl::TStrings* Restrictions) override;
    store::TData* GetIndexes(rtl::TStrings* Restrictions) override;
    store::TData* GetIndexColumns(rtl::TStrings* Restrictions) override;
    store::TData* GetConstraints(rtl::TStrings* Restrictions) override;

    static void ParseTableText(const AnsiString& SQL, TTableMembers& Members);
    static void ParseIndexText(const AnsiString& SQL, const TTableMembers& Table, TTableMembers& Members);

private:
    // Marks the column that is the table's row id, as the engine's table information says.
    void MarkRowIdAlias(const AnsiString& TableName, const AnsiString& Text, TTableMembers& Members);
    // Opens a query on the metadata record set's connection and returns its rows' first columns.
    std::vector<std::vector<AnsiString>> QueryRows(const AnsiString& SQL, int Columns);
    AnsiString TableText(const AnsiString& TableName);
};

class TSQLiteLoader : public daccess::TCRSimpleLoader {
    RTL_CLASS(TSQLiteLoader, daccess::TCRSimpleLoader)
public:
    static const daccess::TCRRecordSetClass& GetRecordSetClass();
    daccess::TCRCommand* CreateCommand() override;
};

}  // namespace sqlite
