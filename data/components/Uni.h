// The universal components: a connection told its provider by name, the query dataset and SQL
// command over it, their parameters, transaction, update-SQL and metadata companions. Every
// provider-side class comes from the provider the connection names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/access/DBAccess.h"
#include "data/components/UniProvider.h"
#include "data/crypto/CREncryption.h"

namespace components {

class TUniConnection;
class TUniTransaction;
class TUniSQL;
class TCustomUniDataSet;

inline constexpr const char* UniUnit = "Uni";
inline constexpr const char* SNotAllowedOnActiveConnection = "This operation is not allowed on active connection";
inline constexpr const char* SConnectionIsNotConnected = "Connection is not connected";

// =============================================================================================
// Errors

// A database error of the universal components: the provider's error, wrapped. Its message, code
// and component are the wrapped error's; the fatal and key-violation answers ask it.
class EUniError : public daccess::EDAError {
    using Inherited = daccess::EDAError;

public:
    explicit EUniError(const daccess::EDAError& Inner);

    // The provider's error; null when none is held.
    const daccess::EDAError* InnerError() const noexcept { return FInner.get(); }

    bool IsFatalError() const override { return FInner && FInner->IsFatalError(); }
    bool IsKeyViolation() const override { return FInner && FInner->IsKeyViolation(); }

    const char* ClassName() const noexcept override { return "EUniError"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EUniError" || Inherited::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EUniError>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    // Shared, because the language copies an exception object as it is thrown.
    std::shared_ptr<const daccess::EDAError> FInner;
};

// Runs Body; a data-access error leaves it as an EUniError, any other error unchanged.
void ReraiseAsUniError(const std::function<void()>& Body);

// =============================================================================================
// Connection

class TUniConnectionOptions : public daccess::TDAConnectionOptions {
    RTL_CLASS(TUniConnectionOptions, daccess::TDAConnectionOptions)
public:
    using TDAConnectionOptions::TDAConnectionOptions;
    // Kept by the connection, which passes it to the provider connection.
    bool ConvertEOL() const;
    void SetConvertEOL(bool Value);
};

// The connection's option lines: a change disconnects an open connection first.
class TUniConnectionSpecificOptions : public TSpecificOptionsHolder {
    RTL_CLASS(TUniConnectionSpecificOptions, TSpecificOptionsHolder)
public:
    explicit TUniConnectionSpecificOptions(TUniConnection* Connection);

protected:
    void ValuesChanging(rtl::TObject* Sender) override;

private:
    TUniConnection* FConnection;
};

class TUniConnection : public daccess::TCustomDAConnection {
    RTL_CLASS(TUniConnection, daccess::TCustomDAConnection)
public:
    explicit TUniConnection(rtl::TComponent* Owner);
    ~TUniConnection() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // --- provider ---
    const AnsiString& ProviderName() const noexcept { return FProviderName; }
    // Trimmed; the same name in other letter case changes nothing; refused while connected.
    void SetProviderName(const AnsiString& Value);
    // "Provider is not defined", "%s is not a valid provider name" or the not-registered message.
    void CheckProvider() const;
    TUniProvider* GetProvider() const;
    // The provider when the name finds one; null otherwise, without raising.
    TUniProvider* ProviderIfAny() const;

    // --- where to connect ---
    const AnsiString& Database() const noexcept { return FDatabase; }
    // Trimmed; a provider that cannot switch databases while open is disconnected first.
    void SetDatabase(const AnsiString& Value);
    int32_t Port() const noexcept { return FPort; }
    void SetPort(int32_t Value);
    TSpecificOptionsList* SpecificOptions() const { return FSpecificOptions->Values(); }
    // Replaces every line, each added through the prefix rule.
    void SetSpecificOptions(rtl::TStrings* Value);
    TUniConnectionOptions* Options() const {
        return static_cast<TUniConnectionOptions*>(TCustomDAConnection::Options());
    }

    // --- macros and the provider-neutral syntax ---
    TUniMacros* Macros() const noexcept { return FMacros.get(); }
    // Translates the braces constructs and macros of the text; unchanged without a provider.
    void ExpandMacros(AnsiString& SQL);
    // Incremented by every macro change; statements compare it with the one they expanded for.
    int MacroVersion() const noexcept { return FMacroVersion; }

    // --- transactions and versions ---
    using TCustomDAConnection::StartTransaction;
    void StartTransaction(daccess::TCRIsolationLevel IsolationLevel, bool ReadOnly = false);
    AnsiString ServerVersion() const;
    AnsiString ClientVersion() const;
    TUniTransaction* UniInternalTransaction() const noexcept { return FUniTransaction; }

    // --- overrides of the connection base ---
    const daccess::TCRConnectionClass& GetIConnectionClass() const override;
    const daccess::TCRCommandClass& GetICommandClass() const override;
    const daccess::TCRRecordSetClass& GetIRecordSetClass() const override;
    const daccess::TCRMetaDataClass& GetIMetaDataClass() const override;
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override;
    // TUniSQLMonitor.
    const rtl::ClassRef& SQLMonitorClass() const override;
    bool IsMultipleTransactionsSupported() const override;
    void CreateIConnection() override;
    void SetIConnection(daccess::TCRConnection* Value) override;
    daccess::TDATransaction* CreateTransaction() override;
    daccess::IDAConnectionSQL* CreateSQL() override;
    daccess::TDAMetaData* CreateMetaData() override;
    daccess::TCustomDADataSet* CreateDataSet() override;
    daccess::TDAConnectionOptions* CreateOptions() override;
    daccess::TDATransaction* UsedTransaction() override;
    bool InTransaction() override;
    void StartTransaction() override;
    AnsiString GetCurrentSchema() override;
    void DoError(rtl::Exception* E, bool* Fail, daccess::TConnLostCause& Cause, int RetryCount, bool& Reexecute,
                 bool& Reconnect) override;
    void AssignConnect(daccess::TCustomDAConnection* Source) override;

protected:
    void PerformConnect() override;
    void PerformDisconnect() override;
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    friend class TUniConnectionOptions;
    void MacrosChanged();
    void ApplyOptionLines();

    AnsiString FProviderName;
    TUniProvider* FProvider = nullptr;
    int32_t FPort = 0;
    AnsiString FDatabase;
    rtl::TOwnedPtr<TUniConnectionSpecificOptions> FSpecificOptions;
    TUniTransaction* FUniTransaction = nullptr;
    rtl::TOwnedPtr<TUniMacros> FMacros;
    rtl::TOwnedPtr<rtl::TStringList> FMacroNames;
    rtl::TOwnedPtr<rtl::TStringList> FMacroValues;
    bool FMacrosChanged = true;
    int FMacroVersion = 0;
    rtl::TOwnedPtr<TUniSqlFormatter> FSqlFormatter;
};

// =============================================================================================
// Transaction

class TUniTransaction : public daccess::TDATransaction {
    RTL_CLASS(TUniTransaction, daccess::TDATransaction)
public:
    using TDATransaction::TDATransaction;

    TUniConnection* DefaultConnection() const {
        return dynamic_cast<TUniConnection*>(TDATransaction::DefaultConnection());
    }

    const daccess::TCRTransactionClass& GetITransactionClass() override;
    bool CanAutoCommitExplicit() override { return false; }
    // Each checks first that the transaction is active.
    void Commit() override;
    void Rollback() override;
    void Savepoint(const AnsiString& Name) override;
    void ReleaseSavepoint(const AnsiString& Name) override;
    void RollbackToSavepoint(const AnsiString& Name) override;
};

// =============================================================================================
// Parameters

// A large-object parameter value made before the provider is known; the provider's own blob is
// made when the value is handed to a command.
class TUniBlob : public store::TCompressedBlob {
public:
    explicit TUniBlob(bool IsUnicode = false) : TCompressedBlob(IsUnicode) {}
    const char* ClassName() const noexcept override { return "TUniBlob"; }
    void Disconnect() override;

    store::TBlob* NativeBlob() const noexcept { return FNativeBlob.get(); }
    void SetNativeBlob(rtl::TSharedRef<store::TBlob> Value) noexcept { FNativeBlob = std::move(Value); }

private:
    rtl::TSharedRef<store::TBlob> FNativeBlob;
};

// A cursor parameter value; the provider's cursor, when there is one, is held inside.
class TUniCursor : public daccess::TCRCursor {
public:
    const char* ClassName() const noexcept override { return "TUniCursor"; }
    void Disconnect() override;
    void NativeCheck() override;

    daccess::TCRCursor* NativeCursor() const noexcept { return FNativeCursor.get(); }
    void SetNativeCursor(rtl::TSharedRef<daccess::TCRCursor> Value) noexcept { FNativeCursor = std::move(Value); }

private:
    rtl::TSharedRef<daccess::TCRCursor> FNativeCursor;
};

class TUniParams;

class TUniParam : public daccess::TDAParam {
    RTL_CLASS(TUniParam, daccess::TDAParam)
public:
    explicit TUniParam(rtl::TCollection* Collection) : TDAParam(Collection) {}

    bool IsObjectDataType(db::TFieldType DataType) const override;
    bool IsBlobDataType(db::TFieldType DataType) const override;
    using TDAParam::IsObjectDataType;
    // For a TUniBlob: the provider's blob, made on first use and given the wrapper's contents.
    store::TSharedObject* GetParamObject() const override;

protected:
    void CreateObject() override;

private:
    TUniParams* UniParams() const;
};

class TUniParams : public daccess::TDAParams {
    RTL_CLASS(TUniParams, daccess::TDAParams)
public:
    explicit TUniParams(rtl::TPersistent* Owner = nullptr);

    TUniParam* Items(int Index) const { return static_cast<TUniParam*>(TDAParams::Items(Index)); }
    TUniParam* operator[](int Index) const { return Items(Index); }
    TUniParam* FindParam(const AnsiString& Name) const { return static_cast<TUniParam*>(TDAParams::FindParam(Name)); }
    TUniParam* ParamByName(const AnsiString& Name) const {
        return static_cast<TUniParam*>(TDAParams::ParamByName(Name));
    }
    TUniSQL* UniSQL() const noexcept { return FUniSQL; }
    void SetUniSQL(TUniSQL* Value) noexcept { FUniSQL = Value; }

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    TUniSQL* FUniSQL = nullptr;
};

// =============================================================================================
// SQL command

class TUniSQL : public daccess::TCustomDASQL {
    RTL_CLASS(TUniSQL, daccess::TCustomDASQL)
public:
    explicit TUniSQL(rtl::TComponent* Owner);
    ~TUniSQL() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TUniConnection* Connection() const { return dynamic_cast<TUniConnection*>(TCustomDASQL::Connection()); }
    void SetConnection(TUniConnection* Value) { TCustomDASQL::SetConnection(Value); }
    TUniParams* Params() override { return static_cast<TUniParams*>(TCustomDASQL::Params()); }
    TSpecificOptionsList* SpecificOptions() const { return FSpecificOptions->Values(); }

    // Passes the text to the provider command again when the connection's macros changed since.
    void RefreshMacroVersion();
    // The connection this statement works on, typed; null when none.
    TUniConnection* UsedUniConnection() const;
    // The provider descriptor each position maps to, in descriptor order.
    const std::vector<TUniParam*>& DescriptorMap() const noexcept { return FParamsMap; }
    void ClearDescriptorMap();
    bool CreatingParams() const noexcept { return FCreatingParams; }

    AnsiString GetFinalSQL() override;
    void SQLChanged() override;
    void ScanParams(const AnsiString& Text, daccess::TDAParams* Params) override;
    daccess::TDATransaction* UsedTransaction() const override;
    void BeginConnection(bool Counted = true) override;
    void EndConnection() override;
    void Prepare() override;
    void UnPrepare() override;
    void ExecuteIters(int Iters) override;
    void WriteParams(bool WithValues = true) override;
    void ReadOutParams() override;
    daccess::TDAParam* FindResultParam() override;

    // The parameters of a text scanned with the generic lexer, as while no provider is known.
    static void ParseSQLParams(const AnsiString& SQL, daccess::TDAParams* Params);

protected:
    daccess::TDAParams* CreateParams() override;
    void CreateParamsFromCommand() override;
    void ClientForgetTransaction(daccess::TDATransaction* Transaction) override;

private:
    TUniProvider* ProviderOrNull() const;
    void ApplyLinesToCommand();

    rtl::TOwnedPtr<TSpecificOptionsHolder> FSpecificOptions;
    daccess::TDATransaction* FLockTransaction = nullptr;
    std::vector<TUniParam*> FParamsMap;
    // The text came with its parameters (a generated statement's placeholders): they go to the
    // command by position, as the command finds none of its own.
    bool FParamsKept = false;
    bool FCreatingParams = false;
    bool FDestroying = false;
    int FMacroVersion = 0;
    bool FEnableUniSQL = true;
};

// =============================================================================================
// Query dataset

class TUniDataSetOptions : public daccess::TDADataSetOptions {
    RTL_CLASS(TUniDataSetOptions, daccess::TDADataSetOptions)
public:
    explicit TUniDataSetOptions(daccess::TCustomDADataSet* Owner) : TDADataSetOptions(Owner) {
        SetSetFieldsReadOnly(true);
    }
};

// The value encryptor of the universal front end.
class TUniEncryptor : public crypto::TCREncryptor {
    RTL_CLASS(TUniEncryptor, crypto::TCREncryptor)
public:
    using TCREncryptor::TCREncryptor;
};

class TUniEncryptionOptions : public daccess::TDAEncryptionOptions {
    RTL_CLASS(TUniEncryptionOptions, daccess::TDAEncryptionOptions)
public:
    using TDAEncryptionOptions::TDAEncryptionOptions;

    TUniEncryptor* Encryptor() const { return static_cast<TUniEncryptor*>(TDAEncryptionOptions::Encryptor()); }
    void SetEncryptor(TUniEncryptor* Value) { TDAEncryptionOptions::SetEncryptor(Value); }
};

// The dataset's option lines: refused while the dataset is open.
class TUniDataSetSpecificOptions : public TSpecificOptionsHolder {
    RTL_CLASS(TUniDataSetSpecificOptions, TSpecificOptionsHolder)
public:
    explicit TUniDataSetSpecificOptions(TCustomUniDataSet* DataSet);

protected:
    void ValuesChanging(rtl::TObject* Sender) override;

private:
    TCustomUniDataSet* FDataSet;
};

class TCustomUniDataSet : public daccess::TCustomDADataSet {
    RTL_CLASS(TCustomUniDataSet, daccess::TCustomDADataSet)
public:
    explicit TCustomUniDataSet(rtl::TComponent* Owner);
    ~TCustomUniDataSet() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TUniConnection* Connection() const { return dynamic_cast<TUniConnection*>(TCustomDADataSet::Connection()); }
    void SetConnection(TUniConnection* Value) { TCustomDADataSet::SetConnection(Value); }
    TUniTransaction* Transaction() const { return dynamic_cast<TUniTransaction*>(TCustomDADataSet::Transaction()); }
    TUniParams* Params() const { return static_cast<TUniParams*>(TCustomDADataSet::Params()); }
    TUniSQL* UniSQL() const { return static_cast<TUniSQL*>(InternalSQL()); }
    TUniDataSetOptions* Options() const { return static_cast<TUniDataSetOptions*>(TCustomDADataSet::Options()); }
    TSpecificOptionsList* SpecificOptions() const { return FSpecificOptions->Values(); }
    // Copies the given lines.
    void SetSpecificOptions(rtl::TStrings* Value);
    TUniConnection* UsedUniConnection() const { return dynamic_cast<TUniConnection*>(UsedConnection()); }

    // --- overrides ---
    void ApplyUpdates() override;
    void SetIRecordSet(std::unique_ptr<store::TData> Value) override;
    void SetDataSetService(rtl::TOwnedPtr<store::TDataSetService> Value) override;
    bool ArrayDefsAsObjects() const override;
    db::TFieldClass FieldClassFor(db::TFieldType FieldType) override;
    void Prepare() override;
    void UnPrepare() override;
    void Execute() override;
    daccess::TDATransaction* UsedTransaction() const override;
    void BeginConnection(bool Counted = true) override;
    void EndConnection() override;
    // The record set's FetchAll, so that it follows the "FetchAll" option line.
    bool GetFetchAll() const override;
    void SetFetchAll(bool Value) override;
    AnsiString AddWhere(const AnsiString& SQL, const AnsiString& Condition) override;
    AnsiString GetWhere(const AnsiString& SQL) override;
    AnsiString GetFromPart(const AnsiString& SQL) override;

protected:
    const store::TFieldTypeMap& GetFieldTypeMapClass() const override;
    daccess::TCustomDASQL* CreateInternalSQL() override;
    daccess::TDADataSetOptions* CreateOptions() override;
    daccess::TDAEncryptionOptions* CreateEncryptionOptions() override;
    void OpenCursorStep(bool InfoQuery) override;
    void CloseCursorStep() override;
    // Writes raise the provider's errors as EUniError, as opening does.
    void PostStep() override;
    void DeleteStep() override;
    void ClientForgetTransaction(daccess::TDATransaction* Transaction) override;

private:
    TUniProvider* ProviderOrNull() const;
    const store::TParserClass& ParserClass() const;
    void ApplyLines(bool OnlyWhenModified);
    void ReleasePin();

    rtl::TOwnedPtr<TUniDataSetSpecificOptions> FSpecificOptions;
    daccess::TDATransaction* FLockTransaction = nullptr;
    bool FLockFetchAll = false;
};

// The query component of the universal front end.
class VUdeVizov : public TCustomUniDataSet {
    RTL_CLASS(VUdeVizov, TCustomUniDataSet)
public:
    using TCustomUniDataSet::TCustomUniDataSet;

    TUniEncryptionOptions* Encryption() const {
        return static_cast<TUniEncryptionOptions*>(TCustomUniDataSet::Encryption());
    }
    // Copies the given options.
    void SetEncryption(TUniEncryptionOptions* Value) { Encryption()->Assign(Value); }
};

class TUniDataSource : public daccess::TCRDataSource {
    RTL_CLASS(TUniDataSource, daccess::TCRDataSource)
public:
    using TCRDataSource::TCRDataSource;
};

// =============================================================================================
// Companions

class TUniUpdateSQL : public daccess::TCustomDAUpdateSQL {
    RTL_CLASS(TUniUpdateSQL, daccess::TCustomDAUpdateSQL)
public:
    using TCustomDAUpdateSQL::TCustomDAUpdateSQL;
    const rtl::ClassRef& DataSetClass() const override { return TCustomUniDataSet::StaticClass(); }
    const rtl::ClassRef& SQLClass() const override { return TUniSQL::StaticClass(); }
};

// The metadata dataset of the universal front end.
class ZOroReruRure : public daccess::TDAMetaData {
    RTL_CLASS(ZOroReruRure, daccess::TDAMetaData)
public:
    using TDAMetaData::TDAMetaData;

    TUniConnection* Connection() const { return dynamic_cast<TUniConnection*>(TDAMetaData::Connection()); }
    void SetConnection(TUniConnection* Value) { TDAMetaData::SetConnection(Value); }
    TUniTransaction* Transaction() const { return dynamic_cast<TUniTransaction*>(TDAMetaData::Transaction()); }

    daccess::TDATransaction* UsedTransaction() const override;
    void BeginConnection() override;
    void EndConnection() override;
    void ClientForgetTransaction(daccess::TDATransaction* Transaction) override;

protected:
    void OpenCursorStep(bool InfoQuery) override;
    void CloseStep() override;

private:
    daccess::TDATransaction* FLockTransaction = nullptr;
};

class TUniUtils {
public:
    // The connection's provider; the registry's messages when it has none.
    static TUniProvider* GetProvider(TUniConnection* Connection);
};

}  // namespace components
