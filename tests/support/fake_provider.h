// A vector-backed provider for tests of the provider layer and the component layer: every query
// of a connection returns the connection's result table; statements, parameters and transaction
// steps are logged; errors can be switched on, fatal or not, and travel through the connection's
// error loop as a real provider's do.
#pragma once

#include <vector>

#include "data/access/CRAccess.h"
#include "data/access/DBAccess.h"

namespace fake {

using daccess::AnsiString;
using daccess::Variant;
using store::TMemDataType;

class EFakeError : public daccess::EDAError {
    using Inherited = daccess::EDAError;

public:
    EFakeError(int32_t Code, AnsiString Msg, bool Fatal) : Inherited(Code, std::move(Msg)), FFatal(Fatal) {}
    bool IsFatalError() const override { return FFatal; }
    const char* ClassName() const noexcept override { return "EFakeError"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EFakeError" || Inherited::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EFakeError>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    bool FFatal;
};

struct TFakeColumn {
    AnsiString Name;
    TMemDataType DataType = store::mdtInt32;
    int Length = 0;
    uint16_t DBType = 0;
    int DBLength = 0;
    int DBScale = 0;
};

struct TFakeResult {
    std::vector<TFakeColumn> Columns;
    std::vector<std::vector<Variant>> Rows;
};

// A converter manager with the provider-neutral on-demand converters only.
class TFakeMapRules : public daccess::TCRMapRules {
    RTL_CLASS(TFakeMapRules, daccess::TCRMapRules)
public:
    static daccess::TConverterManager* GetConverterManager();
};

class TFakeConnection;

class TFakeCommand : public daccess::TCRCommand {
    RTL_CLASS(TFakeCommand, daccess::TCRCommand)
public:
    static const store::TParserClass& GetParserClass() { return store::TSQLParser::StaticClass(); }
    static const daccess::TCRMapRulesClass& GetMapRulesClass() { return TFakeMapRules::StaticClass(); }

    void Prepare() override;
    void Unprepare() override;
    bool GetPrepared() const override { return FPrepared; }
    void Execute(int Iters = 1) override;
    uint8_t GetCursorState() const override { return FCursorState; }
    void SetCursorState(uint8_t Value) override { FCursorState = Value; }
    AnsiString CreateProcCall(const AnsiString& Name, bool, bool) override { return "CALL " + Name; }

    TFakeConnection* FakeConnection() const;
    int ExecuteCount = 0;

private:
    bool FPrepared = false;
    uint8_t FCursorState = daccess::csInactive;
};

class TFakeTransaction : public daccess::TCRTransaction {
    RTL_CLASS(TFakeTransaction, daccess::TCRTransaction)
public:
    void BeginWork() override;
    void CommitWork() override;
    void RollbackWork() override;
    void Savepoint(const AnsiString& Name) override;
    void CommitRetaining() override;
    void RollbackRetaining() override;
    std::vector<AnsiString> Log;
    // Commit and rollback fail with a provider error while set.
    bool FailEnd = false;
};

class TFakeConnection : public daccess::TCRConnection {
    RTL_CLASS(TFakeConnection, daccess::TCRConnection)
public:
    const daccess::TCRCommandClass& GetCommandClass() const override { return TFakeCommand::StaticClass(); }
    const daccess::TCRTransactionClass& GetTransactionClass() const override { return TFakeTransaction::StaticClass(); }
    void Connect(const AnsiString& ConnectString) override;
    void Disconnect() override;
    void AssignConnect(daccess::TCRConnection* Source) override;
    bool CheckIsValid() override { return FConnected; }
    AnsiString GetServerVersion() override { return "1.0"; }
    AnsiString GetServerVersionFull() override { return "Fake 1.0"; }
    AnsiString GetClientVersion() override { return "1.0"; }
    void Enlist(daccess::TMTSTransaction* Transaction) override;
    void UnEnlist(daccess::TMTSTransaction* Transaction) override;

    // Creates the provider's error, lets the error loop decide, then raises it or aborts.
    [[noreturn]] void ProcessError(const AnsiString& Message);

    // What every query returns.
    TFakeResult Result;
    // Statements executed, with their parameter values.
    std::vector<AnsiString> Executed;
    std::vector<std::vector<Variant>> ExecutedParams;
    // Switches: the next N executions fail; connecting fails; errors are fatal.
    int FailExecutions = 0;
    int FailConnects = 0;
    bool FatalErrors = false;
    bool SupportsEnlist = false;
    int ConnectCount = 0;
    int DisconnectCount = 0;
    std::vector<AnsiString> EnlistLog;
};

class TFakeRecordSet : public daccess::TCRRecordSet {
    RTL_CLASS(TFakeRecordSet, daccess::TCRRecordSet)
public:
    void CreateCommand() override { SetCommand(rtl::Create<TFakeCommand>()); }
    void DoInitFields() override;
    void ExecCommand() override;
    bool FetchNext(int Flag = 0) override;

    TFakeConnection* FakeConnection() const;
    // Blocks read so far (each FetchNext that returned rows).
    int BlocksFetched = 0;
    std::vector<int> BlockSizes;

private:
    size_t FRowPos = 0;
};

class TFakeMetaData : public daccess::TCRMetaData {
    RTL_CLASS(TFakeMetaData, daccess::TCRMetaData)
public:
    daccess::TCRRecordSet* CreateRecordSet() override { return rtl::Create<TFakeRecordSet>(); }
    // One row per name in Tables.
    store::TData* GetTables(rtl::TStrings* Restrictions) override;
    store::TData* GetColumns(rtl::TStrings*) override { return Empty(&TFakeMetaData::CreateColumnsFields); }
    store::TData* GetProcedures(rtl::TStrings*) override { return Empty(&TFakeMetaData::CreateProceduresFields); }
    store::TData* GetProcedureParameters(rtl::TStrings*) override {
        return Empty(&TFakeMetaData::CreateProcedureParametersFields);
    }
    store::TData* GetIndexes(rtl::TStrings*) override { return Empty(&TFakeMetaData::CreateIndexesFields); }
    store::TData* GetIndexColumns(rtl::TStrings*) override { return Empty(&TFakeMetaData::CreateIndexColumnsFields); }
    store::TData* GetConstraints(rtl::TStrings*) override { return Empty(&TFakeMetaData::CreateConstraintsFields); }

    std::vector<AnsiString> Tables;
    // One row per name in Databases once ListDatabases is set; unsupported as in the base before.
    store::TData* GetDatabases(rtl::TStrings* Restrictions) override;
    bool ListDatabases = false;
    std::vector<AnsiString> Databases;

private:
    store::TData* Empty(void (daccess::TCRMetaData::*Create)());
};

class TFakeLoader : public daccess::TCRSimpleLoader {
    RTL_CLASS(TFakeLoader, daccess::TCRSimpleLoader)
public:
    daccess::TCRCommand* CreateCommand() override { return rtl::Create<TFakeCommand>(); }
};

// A connection with a result table of the given columns and rows, connected.
TFakeConnection* CreateConnectedConnection();

}  // namespace fake
