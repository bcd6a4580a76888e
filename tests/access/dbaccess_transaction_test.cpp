// The transaction component over the fake provider: explicit and automatic transactions, the
// errors of a wrong state, several connections and the close action.
#include <gtest/gtest.h>

#include "data/access/DBAccess.h"
#include "expect_raise.h"
#include "tests/support/fake_provider.h"

using namespace daccess;
using fake::TFakeConnection;
using fake::TFakeTransaction;

namespace {

using accesstest::ExpectMessage;

class TTrConnection : public TCustomDAConnection {
    RTL_CLASS(TTrConnection, TCustomDAConnection)
public:
    using TCustomDAConnection::TCustomDAConnection;
    const TCRCommandClass& GetICommandClass() const override { return fake::TFakeCommand::StaticClass(); }
    void CreateIConnection() override {
        if (!IConnection()) SetIConnection(rtl::Create<TFakeConnection>());
    }
    TFakeConnection* Fake() {
        CreateIConnection();
        return static_cast<TFakeConnection*>(IConnection());
    }
    TFakeTransaction* Internal() { return static_cast<TFakeTransaction*>(Fake()->GetInternalTransaction()); }
};

using ConnPtr = rtl::TOwnedPtr<TTrConnection>;
using TrPtr = rtl::TOwnedPtr<TDATransaction>;

struct TransactionFixture : ::testing::Test {
    ConnPtr Conn{rtl::Create<TTrConnection>(nullptr)};
    std::vector<AnsiString> Events;

    void SetUp() override {
        Conn->Connect();
        TDATransaction* tr = Conn->DefaultTransaction();
        tr->OnStart = [this](rtl::TObject*) { Events.push_back("start"); };
        tr->OnCommit = [this](rtl::TObject*) { Events.push_back("commit"); };
        tr->OnRollback = [this](rtl::TObject*) { Events.push_back("rollback"); };
    }
};

}  // namespace

TEST_F(TransactionFixture, ConnectionCommitsAndRollsBackItsInternalTransaction) {
    EXPECT_EQ(Conn->DefaultTransaction(), Conn->InternalTransaction());
    EXPECT_TRUE(Conn->DefaultTransaction()->IsInternal());

    Conn->StartTransaction();
    EXPECT_TRUE(Conn->InTransaction());
    EXPECT_FALSE(Conn->Fake()->AutoCommit());
    Conn->ExecSQL("UPDATE t SET a = 1");
    Conn->Commit();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_TRUE(Conn->Fake()->AutoCommit());

    Conn->StartTransaction();
    Conn->Rollback();
    EXPECT_EQ(Conn->Internal()->Log, (std::vector<AnsiString>{"begin", "commit", "begin", "rollback"}));
    EXPECT_EQ(Events, (std::vector<AnsiString>{"start", "commit", "start", "rollback"}));
    EXPECT_EQ(Conn->ConnectCount(), 1);
}

TEST_F(TransactionFixture, OperationsInTheWrongStateRaiseTheirMessages) {
    ExpectMessage([&] { Conn->Commit(); }, STransactionInactive);
    ExpectMessage([&] { Conn->Rollback(); }, STransactionInactive);
    ExpectMessage([&] { Conn->CommitRetaining(); }, STransactionInactive);
    ExpectMessage([&] { Conn->RollbackRetaining(); }, STransactionInactive);
    Conn->StartTransaction();
    ExpectMessage([&] { Conn->StartTransaction(); }, STransactionActive);
    ExpectMessage([&] { Conn->DefaultTransaction()->SetIsolationLevel(ilIsolated); }, STransactionActive);
    ExpectMessage([&] { Conn->DefaultTransaction()->SetReadOnly(true); }, STransactionActive);
    // A second transaction on a connection that allows one.
    TrPtr other(rtl::Create<TDATransaction>(nullptr));
    other->SetDefaultConnection(Conn.get());
    ExpectMessage([&] { other->StartTransaction(); }, SMultipleTransactionsNotSupported);
    EXPECT_TRUE(Conn->InTransaction());
    Conn->Commit();
    EXPECT_EQ(Events, (std::vector<AnsiString>{"start", "commit"}));
}

TEST_F(TransactionFixture, StartOnAClosedConnectionIsRefused) {
    Conn->Disconnect();
    ExpectMessage([&] { Conn->StartTransaction(); }, SConnectionInTransactionNotActive);
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_TRUE(Events.empty());
}

TEST_F(TransactionFixture, DisconnectClosesAnActiveTransactionWithItsDefaultAction) {
    Conn->StartTransaction();
    Conn->Disconnect();
    EXPECT_EQ(Conn->Internal()->Log, (std::vector<AnsiString>{"begin", "rollback"}));
    Conn->Connect();
    Conn->StartTransaction();
    EXPECT_TRUE(Conn->InTransaction());
    Conn->Commit();
}

TEST_F(TransactionFixture, ForcedCloseEndsTheTransactionWhenTheServerRefuses) {
    Conn->StartTransaction();
    Conn->Internal()->FailEnd = true;
    ExpectMessage([&] { Conn->DefaultTransaction()->CloseTransaction(false); }, "Rollback failed");
    EXPECT_TRUE(Conn->InTransaction());
    Conn->DefaultTransaction()->CloseTransaction(true);
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_TRUE(Conn->Fake()->AutoCommit());
}

TEST_F(TransactionFixture, TwoUsersOfTheAutomaticPartShareOneTransaction) {
    Conn->Options()->SetDisconnectedMode(true);
    TDATransaction* tr = Conn->DefaultTransaction();
    tr->AutoStart();
    tr->AutoStart();
    EXPECT_EQ(tr->TrUsers(), 2);
    EXPECT_FALSE(tr->ExplicitlyStarted());
    tr->AutoCommit(true);
    EXPECT_TRUE(tr->Active());
    tr->AutoEnd();
    EXPECT_EQ(tr->TrUsers(), 1);
    tr->AutoEnd();
    EXPECT_FALSE(tr->Active());
    EXPECT_EQ(Conn->Internal()->Log, (std::vector<AnsiString>{"begin", "commit retaining", "rollback"}));
}

TEST_F(TransactionFixture, PendingChangeKeepsTheTransactionOpenAtTheLastAutoEnd) {
    Conn->Options()->SetDisconnectedMode(true);
    TDATransaction* tr = Conn->DefaultTransaction();
    tr->AutoStart();
    tr->AutoCommit(false);
    EXPECT_EQ(tr->PendingChanges(), 1);
    tr->AutoEnd();
    EXPECT_TRUE(tr->Active());
    EXPECT_EQ(tr->TrUsers(), 0);
    tr->Commit();
    EXPECT_FALSE(tr->Active());
}

TEST(DATransaction, SpansSeveralConnectionsAndReleasesTheirCountedConnects) {
    ConnPtr a(rtl::Create<TTrConnection>(nullptr));
    ConnPtr b(rtl::Create<TTrConnection>(nullptr));
    a->Options()->SetDisconnectedMode(true);
    b->Options()->SetDisconnectedMode(true);
    a->CreateIConnection();
    b->CreateIConnection();
    TrPtr tr(rtl::Create<TDATransaction>(nullptr));
    tr->SetDefaultConnection(a.get());
    tr->AddConnection(b.get());
    EXPECT_EQ(tr->ConnectionsCount(), 2);
    EXPECT_EQ(b->TransactionCount(), 2);

    tr->StartTransaction();
    EXPECT_TRUE(a->Connected());
    EXPECT_TRUE(b->Connected());
    ASSERT_NE(tr->ITransaction(), nullptr);
    EXPECT_EQ(tr->ITransaction()->ConnectionsCount(), 2);
    EXPECT_TRUE(a->InTransaction());
    tr->Commit();
    EXPECT_FALSE(a->Connected());
    EXPECT_FALSE(b->Connected());

    // Freeing the transaction takes it off both connections.
    tr.reset();
    EXPECT_EQ(a->TransactionCount(), 1);
    EXPECT_EQ(b->TransactionCount(), 1);
}

TEST(DATransaction, AddingAConnectionToAnActiveTransactionClosesItFirst) {
    ConnPtr a(rtl::Create<TTrConnection>(nullptr));
    ConnPtr b(rtl::Create<TTrConnection>(nullptr));
    a->Connect();
    b->Connect();
    TrPtr tr(rtl::Create<TDATransaction>(nullptr));
    tr->SetDefaultConnection(a.get());
    tr->StartTransaction();
    std::vector<AnsiString> events;
    tr->OnRollback = [&](rtl::TObject*) { events.push_back("rollback"); };
    tr->AddConnection(b.get());
    EXPECT_FALSE(tr->Active());
    EXPECT_EQ(events, (std::vector<AnsiString>{"rollback"}));
    EXPECT_EQ(tr->GetDefaultConnection(), a.get());

    // A connection freed while it is the default connection is forgotten.
    a.reset();
    EXPECT_EQ(tr->DefaultConnection(), nullptr);
    EXPECT_EQ(tr->GetDefaultConnection(), b.get());
}
