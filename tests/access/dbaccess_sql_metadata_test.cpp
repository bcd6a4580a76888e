// The SQL command component behind the connection's statements, the metadata dataset behind its
// name lists, and the error paths of both (bounded fail-over, case of schema names, ownership).
#include <gtest/gtest.h>

#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess.h"
#include "expect_raise.h"
#include "tests/support/fake_provider.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using accesstest::ExpectMessage;
using litedataset::A;
using litedataset::LiteDataSetFixture;

namespace {

using SQLTest = LiteDataSetFixture;

TEST_F(SQLTest, ConnectionStatementsRunThroughTheSQLCommandComponent) {
    Conn->ExecSQL("SELECT 1");
    ASSERT_NE(dynamic_cast<TCustomDASQL*>(Conn->InternalSQL()), nullptr);
    EXPECT_EQ(Conn->SQLClientCount(), 1);
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(SQLTest, ExecSQLBindsValuesInOrderAndKeepsTheRestAsTheyWere) {
    const AnsiString update = "UPDATE sources SET name = :name, kind = :kind WHERE id = :id";
    // All three given, then one more than the text has: the surplus is ignored.
    EXPECT_TRUE(Conn->ExecSQL(update, {Variant(A(u8"Первый")), Variant(10), Variant(1), Variant(99)}).IsNull());
    // Fewer: :kind and :id keep the values of the previous run of the same text.
    Conn->ExecSQL(update, {Variant(A(u8"Второй"))});
    TCustomDADataSet* ds = Query("SELECT name, kind FROM sources WHERE id = 1");
    ds->Open();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), A(u8"Второй"));
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 10);
    // A Null value writes NULL.
    Conn->ExecSQL(update, {Variant::Null(), Variant(10), Variant(1)});
    ds->Refresh();
    EXPECT_TRUE(ds->FieldByName("name")->IsNull());
}

TEST_F(SQLTest, ExecSQLExBindsByNameAndReturnsEmpty) {
    const Variant r = Conn->ExecSQLEx("UPDATE sources SET kind = :kind WHERE id = :id",
                                      {Variant("id"), Variant(2), Variant("KIND"), Variant(7)});
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_FALSE(r.IsNull());
    EXPECT_TRUE(Conn->ExecSQLEx("DELETE FROM organisations WHERE id = 0", {Variant::Null()}).IsEmpty());
    TCustomDADataSet* ds = Query("SELECT kind FROM sources WHERE id = 2");
    ds->Open();
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 7);
    for (const std::vector<Variant>& bad :
         {std::vector<Variant>{Variant(1)}, std::vector<Variant>{Variant("id"), Variant(1), Variant("kind")},
          std::vector<Variant>{Variant(1), Variant(2)}})
        ExpectMessage([&] { Conn->ExecSQLEx("UPDATE sources SET kind = :kind WHERE id = :id", bad); },
                      SInvalidParamsArray);
}

TEST_F(SQLTest, AStandaloneComponentExecutesWithParametersAndReportsRows) {
    rtl::TOwnedPtr<TCustomDASQL> sql(rtl::Create<TCustomDASQL>(nullptr));
    sql->SetConnection(Conn.get());
    sql->SetSQL("INSERT INTO sources (name, kind) VALUES (:name, :kind)\r\n  \t");
    EXPECT_EQ(sql->GetFinalSQL(), "INSERT INTO sources (name, kind) VALUES (:name, :kind)");
    ASSERT_EQ(sql->Params()->Count(), 2);
    sql->ParamByName("name")->SetValue(Variant(A(u8"Фонд")));
    sql->ParamByName("kind")->SetValue(Variant(3));
    sql->Execute();
    EXPECT_EQ(sql->RowsAffected(), 1);
    EXPECT_EQ(sql->LastInsertId(), 6);
    // A new text keeps the value of a parameter whose name survives.
    sql->SetSQL("DELETE FROM sources WHERE kind = :kind");
    ASSERT_EQ(sql->Params()->Count(), 1);
    EXPECT_EQ(sql->ParamByName("kind")->Value().AsInteger(), 3);
    sql->Execute();
    EXPECT_EQ(sql->RowsAffected(), 1);
    EXPECT_EQ(Conn->ConnectCount(), 0);
    ExpectMessage([&] { sql->PrepareStoredProc(""); }, SStoredProcNotDefined);
}

// --- metadata ---

struct MetaCase {
    const char* Kind;
    std::vector<AnsiString> Restrictions;
    const char* Column;
    std::vector<AnsiString> Expected;
};

TEST_F(SQLTest, MetadataDatasetListsKindsUnderRestrictions) {
    Conn->ExecSQL("CREATE UNIQUE INDEX ix_org ON organisations (source_id, title)");
    const std::vector<MetaCase> cases = {
        {"Tables", {}, "TABLE_NAME", {"organisations", "sources"}},
        {"Tables", {"TABLE_NAME=sources"}, "TABLE_NAME", {"sources"}},
        {"Columns", {"TABLE_NAME=sources"}, "COLUMN_NAME", {"id", "name", "kind"}},
        // The table's primary key is listed as its automatic index.
        {"Indexes", {"TABLE_NAME=organisations"}, "INDEX_NAME", {"autoindex0", "ix_org"}},
        {"IndexColumns", {"TABLE_NAME=organisations", "INDEX_NAME=ix_org"}, "COLUMN_NAME", {"source_id", "title"}},
    };
    rtl::TOwnedPtr<TDAMetaData> meta(Conn->CreateMetaData());
    for (const MetaCase& c : cases) {
        SCOPED_TRACE(c.Kind);
        meta->SetMetaDataKind(c.Kind);
        meta->Restrictions()->Clear();
        for (const AnsiString& r : c.Restrictions) meta->Restrictions()->Add(r);
        meta->Open();
        std::vector<AnsiString> names;
        for (meta->First(); !meta->Eof(); meta->Next()) names.push_back(meta->FieldByName(c.Column)->AsString());
        std::sort(names.begin(), names.end());
        std::vector<AnsiString> expected = c.Expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        EXPECT_FALSE(meta->CanModify());
        // The same kind again keeps it open; a new restriction closes it.
        meta->SetMetaDataKind(c.Kind);
        EXPECT_TRUE(meta->Active());
        meta->Restrictions()->Add("SCOPE=LOCAL");
        EXPECT_FALSE(meta->Active());
    }
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(SQLTest, NameListsComeFromTheMetadataDataset) {
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    Conn->GetTableNames(list.get());
    std::vector<AnsiString> names;
    for (int i = 0; i < list->Count(); ++i) names.push_back(list->Strings(i));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<AnsiString>{"organisations", "sources"}));
    ExpectMessage([&] { Conn->GetDatabaseNames(list.get()); }, SUnsupportedMetaDataKind);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(Conn->ConnectCount(), 0);
    rtl::TOwnedPtr<TDAMetaData> meta(Conn->CreateMetaData());
    meta->SetMetaDataKind("NoSuchKind");
    ExpectMessage([&] { meta->Open(); }, SUnsupportedMetaDataKind);
    EXPECT_FALSE(meta->Active());
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(SQLTest, ApplyUpdatesForRefusesADatasetOfAnotherConnection) {
    rtl::TOwnedPtr<litedataset::TLiteTestConnection> other(rtl::Create<litedataset::TLiteTestConnection>(nullptr));
    other->SetName("other");
    Conn->SetName("main");
    rtl::TOwnedPtr<TCustomDADataSet> ds(other->CreateDataSet());
    ds->SetName("zForeign");
    ExpectMessage([&] { Conn->ApplyUpdatesFor({ds.get()}); }, "Cannot update, zForeign is not owned by main");
    // Nothing cached: applying the connection's own datasets changes nothing.
    TCustomDADataSet* own = Query("SELECT * FROM sources");
    own->Open();
    Conn->ApplyUpdatesFor({own});
    EXPECT_EQ(own->RecordCount(), 5);
}

// --- error paths on the fake provider ---

// Tables reported under an upper-case schema while the connection's current schema is lower case.
class TSchemaMetaData : public fake::TFakeMetaData {
    RTL_CLASS(TSchemaMetaData, fake::TFakeMetaData)
public:
    store::TData* GetTables(rtl::TStrings*) override {
        CreateTablesFields();
        OpenResult();
        const std::pair<const char*, const char*> rows[] = {{"MAIN", "sources"}, {"OTHER", "files"}};
        for (auto [schema, name] : rows) {
            MemDataHelper()->InitRecord();
            MemDataHelper()->SetFieldValue(2, AnsiString(schema));
            MemDataHelper()->SetFieldValue(3, AnsiString(name));
            MemDataHelper()->AppendRecord();
        }
        FMemData->SetToBegin();
        return FMemData.get();
    }
};

class TFakeDAConnection : public TCustomDAConnection {
    RTL_CLASS(TFakeDAConnection, TCustomDAConnection)
public:
    using TCustomDAConnection::TCustomDAConnection;
    const TCRCommandClass& GetICommandClass() const override { return fake::TFakeCommand::StaticClass(); }
    const TCRRecordSetClass& GetIRecordSetClass() const override { return fake::TFakeRecordSet::StaticClass(); }
    const TCRMetaDataClass& GetIMetaDataClass() const override { return TSchemaMetaData::StaticClass(); }
    void CreateIConnection() override {
        if (!IConnection()) SetIConnection(rtl::Create<fake::TFakeConnection>());
    }
    AnsiString GetCurrentSchema() override { return "main"; }
    fake::TFakeConnection* Fake() {
        CreateIConnection();
        return static_cast<fake::TFakeConnection*>(IConnection());
    }
};

TEST(DAConnectionFaults, TablesOfTheCurrentSchemaMatchWhateverTheCase) {
    rtl::TOwnedPtr<TFakeDAConnection> conn(rtl::Create<TFakeDAConnection>(nullptr));
    conn->SetLoginPrompt(false);
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    conn->GetTableNames(list.get());
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(0), "sources");
    EXPECT_EQ(list->Strings(1), "OTHER.files");
}

TEST(DAConnectionFaults, AStatementThatFailsOverEveryTimeGivesUpWithItsError) {
    rtl::TOwnedPtr<TFakeDAConnection> conn(rtl::Create<TFakeDAConnection>(nullptr));
    conn->SetLoginPrompt(false);
    conn->Options()->SetLocalFailover(true);
    int offered = 0;
    conn->OnConnectionLost = [&](rtl::TObject*, rtl::TComponent*, TConnLostCause, TRetryMode& Mode) {
        ++offered;
        Mode = rmReconnectExecute;
    };
    conn->Connect();
    conn->Fake()->FatalErrors = true;
    conn->Fake()->FailExecutions = 1000;
    ExpectMessage([&] { conn->ExecSQL("UPDATE t SET a = 1"); }, "Execution failed");
    // The first attempt and each repetition; the last offer can no longer repeat the statement.
    EXPECT_EQ(offered, MaxFailoverRetries + 1);
    EXPECT_EQ(conn->OperationsStackDepth(), 0);

    // A statement that recovers on the second attempt runs once.
    conn->Connect();
    conn->Fake()->FailExecutions = 1;
    conn->Fake()->Executed.clear();
    conn->ExecSQL("UPDATE t SET a = 2");
    EXPECT_EQ(conn->Fake()->Executed, (std::vector<AnsiString>{"UPDATE t SET a = 2"}));
}

}  // namespace

namespace {

TEST_F(SQLTest, TheConnectDialogDecidesALoginThatNeedsAPrompt) {
    Conn->Disconnect();
    Conn->SetLoginPrompt(true);
    int asked = 0;
    bool accept = false;
    DefConnectDialogHook = [&](TCustomDAConnection*) {
        ++asked;
        return accept;
    };
    EXPECT_THROW(Conn->Connect(), rtl::EAbort);
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->ConnectCount(), 0);
    accept = true;
    Conn->Connect();
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(asked, 2);
    // Without a prompt the dialog is not asked.
    Conn->Disconnect();
    Conn->SetLoginPrompt(false);
    Conn->Connect();
    EXPECT_EQ(asked, 2);
    DefConnectDialogHook = nullptr;
}

TEST_F(SQLTest, AMonitorSeesStatementsConnectsAndErrors) {
    rtl::TOwnedPtr<TCustomDASQLMonitor> monitor(rtl::Create<TCustomDASQLMonitor>(nullptr));
    std::vector<TDATraceFlag> flags;
    monitor->OnSQL = [&](rtl::TObject*, const AnsiString&, TDATraceFlag Flag) { flags.push_back(Flag); };
    // A new monitor starts active.
    EXPECT_TRUE(monitor->Active());
    monitor->SetActive(false);
    Conn->Disconnect();
    Conn->ExecSQL("UPDATE sources SET kind = 0");
    EXPECT_TRUE(flags.empty());
    monitor->SetActive(true);
    Conn->Disconnect();
    Conn->ExecSQL("UPDATE sources SET kind = 1");
    EXPECT_THROW(Conn->ExecSQL("UPDATE nowhere SET kind = 1"), rtl::Exception);
    EXPECT_NE(std::find(flags.begin(), flags.end(), tfConnect), flags.end());
    EXPECT_NE(std::find(flags.begin(), flags.end(), tfQExecute), flags.end());
    EXPECT_NE(std::find(flags.begin(), flags.end(), tfError), flags.end());
}

}  // namespace

namespace {

TEST(DAConnectionFaults, AClientThatMeetsALostConnectionOnEveryNoticeIsToldOnceMore) {
    rtl::TOwnedPtr<TFakeDAConnection> conn(rtl::Create<TFakeDAConnection>(nullptr));
    conn->SetLoginPrompt(false);
    conn->Connect();
    rtl::TOwnedPtr<rtl::TComponent> client(rtl::Create<rtl::TComponent>(nullptr));
    int told = 0;
    conn->RegisterClient(client.get(), [&](rtl::TObject*, bool Connecting) {
        if (Connecting) return;
        ++told;
        throw fake::EFakeError(1, "connection lost", true);
    });
    conn->Disconnect();
    EXPECT_EQ(told, 2);
    EXPECT_FALSE(conn->Connected());
    // A client error that is not fatal is the caller's.
    conn->Connect();
    conn->UnRegisterClient(client.get());
    conn->RegisterClient(client.get(), [&](rtl::TObject*, bool Connecting) {
        if (!Connecting) throw fake::EFakeError(1, "refused", false);
    });
    ExpectMessage([&] { conn->Disconnect(); }, "refused");
    conn->UnRegisterClient(client.get());
}

}  // namespace
