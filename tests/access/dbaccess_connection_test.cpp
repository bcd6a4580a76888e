// The connection component over the fake provider: connect and disconnect with client
// notifications, login values, counted connects, statements, name lists and the fail-over
// decisions of a lost connection.
#include <gtest/gtest.h>

#include "data/access/DBAccess.h"
#include "expect_raise.h"
#include "tests/support/fake_provider.h"

using namespace daccess;
using fake::TFakeConnection;

namespace {

using accesstest::ExpectMessage;

class TTestConnection : public TCustomDAConnection {
    RTL_CLASS(TTestConnection, TCustomDAConnection)
public:
    using TCustomDAConnection::TCustomDAConnection;
    const TCRCommandClass& GetICommandClass() const override { return fake::TFakeCommand::StaticClass(); }
    const TCRMetaDataClass& GetIMetaDataClass() const override { return fake::TFakeMetaData::StaticClass(); }
    void CreateIConnection() override {
        if (!IConnection()) SetIConnection(rtl::Create<TFakeConnection>());
    }
    TCRMetaData* CreateIMetaData() override {
        auto* meta = static_cast<fake::TFakeMetaData*>(TCustomDAConnection::CreateIMetaData());
        meta->Tables = Tables;
        meta->ListDatabases = true;
        meta->Databases = Databases;
        return meta;
    }
    TFakeConnection* Fake() {
        CreateIConnection();
        return static_cast<TFakeConnection*>(IConnection());
    }
    std::vector<AnsiString> Tables, Databases;
};

// A dataset-like client whose state the fail-over decisions read.
class TTestClient : public rtl::TComponent, public IDAConnectionClient {
    RTL_CLASS(TTestClient, rtl::TComponent)
public:
    using TComponent::TComponent;
    bool ClientIsSQL() const override { return IsSQL; }
    bool ClientPrepared() override { return Prepared; }
    bool ClientExecuting() override { return false; }
    bool ClientFetchPending() override { return false; }
    bool ClientIsQuery() override { return true; }
    void ClientSetIConnection(TCRConnection* Value) override { IConnection = Value; }
    void ClientClearConnection() override { Cleared = true; }
    TDATransaction* ClientTransaction() override { return nullptr; }
    void ClientDisconnect() override {}
    void ClientResetAfterFatalError() override { ++Resets; }
    void ClientForgetTransaction(TDATransaction*) override {}

    bool IsSQL = false;
    bool Prepared = false;
    bool Cleared = false;
    int Resets = 0;
    TCRConnection* IConnection = nullptr;
};

struct ConnectionFixture : ::testing::Test {
    rtl::TOwnedPtr<TTestConnection> Conn{rtl::Create<TTestConnection>(nullptr)};
    std::vector<AnsiString> Log;

    void Watch() {
        Conn->BeforeConnect = [this](db::TCustomConnection*) { Log.push_back("BeforeConnect"); };
        Conn->AfterConnect = [this](db::TCustomConnection*) { Log.push_back("AfterConnect"); };
        Conn->BeforeDisconnect = [this](db::TCustomConnection*) { Log.push_back("BeforeDisconnect"); };
        Conn->AfterDisconnect = [this](db::TCustomConnection*) { Log.push_back("AfterDisconnect"); };
    }
};

}  // namespace

TEST_F(ConnectionFixture, ConnectAndDisconnectTellClientsAndPassLoginData) {
    Watch();
    rtl::TOwnedPtr<TTestClient> client(rtl::Create<TTestClient>(nullptr));
    Conn->RegisterClient(client.get(), [this](rtl::TObject*, bool c) { Log.push_back(c ? "client+" : "client-"); });
    Conn->SetUsername("user");
    Conn->SetPassword("secret");
    Conn->SetServer("db.file");
    EXPECT_TRUE(Conn->LoginPrompt());

    Conn->Connect();
    Conn->Connect();
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(Conn->ConnectCount(), 1);
    EXPECT_EQ(Conn->Fake()->ConnectCount, 1);
    EXPECT_EQ(Conn->Fake()->Username(), "user");
    EXPECT_EQ(Conn->Fake()->Password(), "secret");
    EXPECT_EQ(Conn->Fake()->Server(), "db.file");
    EXPECT_EQ(client->IConnection, Conn->IConnection());

    Conn->Disconnect();
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->ConnectCount(), 0);
    EXPECT_EQ(Conn->Fake()->DisconnectCount, 1);
    EXPECT_EQ(Log, (std::vector<AnsiString>{"BeforeConnect", "client+", "AfterConnect", "BeforeDisconnect", "client-",
                                            "AfterDisconnect"}));
    Conn->UnRegisterClient(client.get());
}

TEST_F(ConnectionFixture, ChangingALoginValueClosesAnOpenConnectionOnlyWhenItDiffers) {
    struct Case {
        const char* name;
        std::function<void(TCustomDAConnection&, const AnsiString&)> set;
        std::function<AnsiString(TCustomDAConnection&)> get;
    };
    const Case cases[] = {
        {"Username", [](TCustomDAConnection& c, const AnsiString& v) { c.SetUsername(v); },
         [](TCustomDAConnection& c) { return c.Username(); }},
        {"Password", [](TCustomDAConnection& c, const AnsiString& v) { c.SetPassword(v); },
         [](TCustomDAConnection& c) { return c.Password(); }},
        {"Server", [](TCustomDAConnection& c, const AnsiString& v) { c.SetServer(v); },
         [](TCustomDAConnection& c) { return c.Server(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(*Conn, "a");
        Conn->Connect();
        c.set(*Conn, "a");
        EXPECT_TRUE(Conn->Connected());
        c.set(*Conn, "A");
        EXPECT_FALSE(Conn->Connected());
        EXPECT_EQ(c.get(*Conn), "A");
    }
}

TEST_F(ConnectionFixture, SettingsReachTheProviderThroughPropertyIds) {
    Conn->SetAutoCommit(false);
    Conn->Options()->SetDisconnectedMode(true);
    Conn->Connect();
    EXPECT_FALSE(Conn->Fake()->AutoCommit());
    EXPECT_TRUE(Conn->Fake()->DisconnectedMode());
    Conn->SetAutoCommit(true);
    Conn->SetConvertEOL(true);
    EXPECT_TRUE(Conn->Fake()->AutoCommit());
    EXPECT_TRUE(Conn->Fake()->ConvertEOL());
}

TEST_F(ConnectionFixture, CountedConnectClosesAgainOnlyInDisconnectedMode) {
    Conn->Options()->SetDisconnectedMode(true);
    Conn->ExecSQL("DELETE FROM t");
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->Fake()->ConnectCount, 1);
    EXPECT_EQ(Conn->Fake()->DisconnectCount, 1);
    EXPECT_FALSE(Conn->PromptOnCountedConnect());

    Conn->Options()->SetDisconnectedMode(false);
    Conn->ExecSQL("DELETE FROM t");
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(Conn->ConnectCount(), 0);
    EXPECT_EQ(Conn->Fake()->Executed.size(), 2u);
}

TEST_F(ConnectionFixture, FailedConnectOfACountedOperationRestoresCountAndPrompt) {
    Conn->Fake()->FailConnects = 1;
    ExpectMessage([&] { Conn->ExecSQL("DELETE FROM t"); }, "Cannot connect");
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->ConnectCount(), 0);
    EXPECT_TRUE(Conn->LoginPrompt());
    EXPECT_TRUE(Conn->Fake()->Executed.empty());
}

TEST_F(ConnectionFixture, ExecSQLBindsValuesByPositionAndKeepsTheRest) {
    Conn->Connect();
    TFakeConnection* fake = Conn->Fake();
    EXPECT_TRUE(Conn->ExecSQL("UPDATE t SET a = :a, b = :b WHERE id = :id", {1, "x", 7}).IsNull());
    ASSERT_EQ(fake->ExecutedParams.size(), 1u);
    EXPECT_EQ(fake->Executed[0], "UPDATE t SET a = ?, b = ? WHERE id = ?");
    EXPECT_EQ(fake->ExecutedParams[0][1].AsAnsiString(), "x");

    // More values than parameters: the extra ones are ignored; fewer: the rest keep their values.
    Conn->ExecSQL("UPDATE t SET a = :a, b = :b WHERE id = :id", {2, "y", 8, 99});
    Conn->ExecSQL("UPDATE t SET a = :a, b = :b WHERE id = :id", {3});
    ASSERT_EQ(fake->ExecutedParams.size(), 3u);
    EXPECT_EQ(fake->ExecutedParams[1].size(), 3u);
    EXPECT_EQ(fake->ExecutedParams[2][0].AsInteger(), 3);
    EXPECT_EQ(fake->ExecutedParams[2][1].AsAnsiString(), "y");
    EXPECT_EQ(fake->ExecutedParams[2][2].AsInteger(), 8);
}

TEST_F(ConnectionFixture, ExecSQLExTakesNameValuePairsAndRefusesMalformedArrays) {
    Conn->Connect();
    TFakeConnection* fake = Conn->Fake();
    const Variant result = Conn->ExecSQLEx("UPDATE t SET a = :a WHERE id = :id", {"ID", 5, "a", "z"});
    EXPECT_TRUE(result.IsEmpty());
    ASSERT_EQ(fake->ExecutedParams.size(), 1u);
    EXPECT_EQ(fake->ExecutedParams[0][0].AsAnsiString(), "z");
    EXPECT_EQ(fake->ExecutedParams[0][1].AsInteger(), 5);

    Conn->ExecSQLEx("DELETE FROM t", {Variant::Null()});
    EXPECT_EQ(fake->Executed.size(), 2u);

    const std::vector<std::vector<Variant>> bad = {
        {Variant(1)}, {Variant("a"), Variant(1), Variant("b")}, {Variant(1), Variant(2)}};
    for (const auto& pairs : bad) {
        ExpectMessage([&] { Conn->ExecSQLEx("UPDATE t SET a = :a", pairs); }, SInvalidParamsArray);
    }
    EXPECT_EQ(fake->Executed.size(), 2u);
}

TEST_F(ConnectionFixture, ExecProcRunsTheProvidersCallAndGivesNoResultWithoutAResultParameter) {
    Conn->Connect();
    EXPECT_TRUE(Conn->ExecProc("recount", {1}).IsEmpty());
    ASSERT_EQ(Conn->Fake()->Executed.size(), 1u);
    EXPECT_EQ(Conn->Fake()->Executed[0], "CALL recount");
    ExpectMessage([&] { Conn->ExecProcEx("recount", {"a"}); }, SInvalidParamsArray);
}

TEST_F(ConnectionFixture, NameListsComeFromTheProviderMetadata) {
    Conn->Tables = {"sources", "my table"};
    Conn->Databases = {"main", "temp"};
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    list->Add("stale");
    Conn->GetTableNames(list.get());
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(0), "sources");
    EXPECT_EQ(list->Strings(1), "\"my table\"");
    Conn->GetDatabaseNames(list.get());
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(0), "main");
    EXPECT_EQ(list->Strings(1), "temp");
    // The provider has no procedures: an empty list, and the counted connect ended.
    Conn->GetStoredProcNames(list.get());
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(ConnectionFixture, OperationsStackGrowsInStepsOfFiftyOnlyWithLocalFailover) {
    EXPECT_EQ(Conn->PushOperation(clOpen), 0);
    EXPECT_EQ(Conn->OperationsStackDepth(), 0);
    Conn->Options()->SetLocalFailover(true);
    for (int i = 0; i < 51; ++i) EXPECT_EQ(Conn->PushOperation(i == 50 ? clRefresh : clExecute), i);
    EXPECT_EQ(Conn->OperationsStackCapacity(), 100);
    EXPECT_EQ(Conn->PopOperation(), clRefresh);
    EXPECT_EQ(Conn->PopOperation(), clExecute);
    EXPECT_EQ(Conn->OperationsStackDepth(), 49);
}

TEST_F(ConnectionFixture, BaseClassQueriesAreAssertions) {
    rtl::TOwnedPtr<TCustomDAConnection> base(rtl::Create<TCustomDAConnection>(nullptr));
    try {
        base->GetIConnectionClass();
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "Must be overrided");
        EXPECT_EQ(e.Unit(), "DBAccess");
    }
}

// --- errors and fail-over ---

struct FailOverFixture : ConnectionFixture {
    int Errors = 0;
    bool FailSeen = false;
    int Lost = 0;
    TConnLostCause LostCause = clUnknown;
    int AfterConnects = 0;

    void SetUp() override {
        Conn->OnError = [this](rtl::TObject*, EDAError&, bool& Fail) {
            ++Errors;
            FailSeen = Fail;
        };
        Conn->AfterConnect = [this](db::TCustomConnection*) { ++AfterConnects; };
        Conn->Connect();
    }
};

TEST_F(FailOverFixture, NonFatalErrorIsReportedAndKeepsTheConnection) {
    Conn->Fake()->FailExecutions = 1;
    ExpectMessage([&] { Conn->ExecSQL("DELETE FROM t"); }, "Execution failed");
    EXPECT_EQ(Errors, 1);
    EXPECT_TRUE(FailSeen);
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(Conn->Fake()->ConnectCount, 1);
}

TEST_F(FailOverFixture, FatalErrorWithoutLocalFailoverReconnectsOnceAndStillRaises) {
    Conn->Fake()->FatalErrors = true;
    Conn->Fake()->FailExecutions = 1;
    ExpectMessage([&] { Conn->ExecSQL("DELETE FROM t"); }, "Execution failed");
    EXPECT_EQ(Errors, 1);
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(Conn->Fake()->ConnectCount, 2);
    EXPECT_EQ(AfterConnects, 2);
    EXPECT_TRUE(Conn->Fake()->Executed.empty());
}

TEST_F(FailOverFixture, FatalErrorWithLocalFailoverRepeatsTheStatementWhenTheOwnerAsks) {
    Conn->Options()->SetLocalFailover(true);
    Conn->OnConnectionLost = [this](rtl::TObject*, rtl::TComponent*, TConnLostCause Cause, TRetryMode& Mode) {
        ++Lost;
        LostCause = Cause;
        EXPECT_EQ(Mode, rmRaise);
        Mode = rmReconnectExecute;
    };
    Conn->Fake()->FatalErrors = true;
    Conn->Fake()->FailExecutions = 1;
    Conn->ExecSQL("DELETE FROM t WHERE id = :id", {4});
    EXPECT_EQ(Lost, 1);
    EXPECT_EQ(LostCause, clExecute);
    EXPECT_EQ(Errors, 0);
    EXPECT_EQ(Conn->Fake()->ConnectCount, 2);
    ASSERT_EQ(Conn->Fake()->Executed.size(), 1u);
    EXPECT_EQ(Conn->Fake()->ExecutedParams[0][0].AsInteger(), 4);
    EXPECT_EQ(Conn->OperationsStackDepth(), 0);
}

TEST_F(FailOverFixture, FatalErrorThatIsNotRetriedClosesTheConnection) {
    Conn->Options()->SetLocalFailover(true);
    Conn->Fake()->FatalErrors = true;
    Conn->Fake()->FailExecutions = 1;
    ExpectMessage([&] { Conn->ExecSQL("DELETE FROM t"); }, "Execution failed");
    EXPECT_EQ(Errors, 1);
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->Fake()->ConnectCount, 1);
    EXPECT_EQ(Conn->OperationsStackDepth(), 0);
}

TEST_F(FailOverFixture, FatalErrorWhileAClientIsPreparedResetsTransactionsAndCloses) {
    rtl::TOwnedPtr<TTestClient> client(rtl::Create<TTestClient>(nullptr));
    client->Prepared = true;
    Conn->RegisterClient(client.get());
    Conn->StartTransaction();
    Conn->Fake()->FatalErrors = true;
    Conn->Fake()->FailExecutions = 1;
    ExpectMessage([&] { Conn->ExecSQL("DELETE FROM t"); }, "Execution failed");
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(Conn->Fake()->ConnectCount, 1);
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(client->Resets, 1);
    Conn->UnRegisterClient(client.get());
}

TEST_F(ConnectionFixture, DestructionClearsTheClientsReferences) {
    rtl::TOwnedPtr<TTestClient> client(rtl::Create<TTestClient>(nullptr));
    client->IsSQL = true;
    Conn->RegisterClient(client.get());
    EXPECT_EQ(Conn->SQLClientCount(), 1);
    Conn->Connect();
    Conn.reset();
    EXPECT_TRUE(client->Cleared);
}
