#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "data/sqlite/LitePoolingUni.h"
#include "expect_raise.h"
#include "framework/rtl/Clock.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using accesstest::ExpectMessage;
using litedataset::LiteDataSetFixture;
using litedataset::TLiteTestConnection;
using sqlite::TSQLiteConnectionParameters;
using sqlite::TSQLiteConnectionPoolManager;

namespace {

// A connection component that takes its provider connection from a pool when Pooling is on, as
// the universal connection does with a provider that pools.
class TPooledLiteConnection : public TLiteTestConnection {
    RTL_CLASS(TPooledLiteConnection, TLiteTestConnection)
public:
    using TLiteTestConnection::TLiteTestConnection;
    void CreateIConnection() override {
        if (IConnection()) return;
        if (!Pooling()) {
            TLiteTestConnection::CreateIConnection();
            return;
        }
        rtl::TOwnedPtr<TSQLiteConnectionParameters> key(rtl::Create<TSQLiteConnectionParameters>());
        key->MinPoolSize = PoolingOptions()->MinPoolSize();
        key->MaxPoolSize = PoolingOptions()->MaxPoolSize();
        key->ConnectionLifeTime = PoolingOptions()->ConnectionLifetime();
        key->Validate = PoolingOptions()->Validate();
        key->Username = Username();
        key->Password = Password();
        key->Server = Server();
        key->SetProp(pidDatabase, Variant(Database));
        key->SetProp(sqlite::pidBusyTimeout, Variant(350));
        SetIConnection(Manager->GetConnection(key.get()));
    }
    TSQLiteConnectionPoolManager* Manager = nullptr;
};

struct PoolTest : LiteDataSetFixture {
    void SetUp() override {
        LiteDataSetFixture::SetUp();
        Manager.reset(rtl::Create<TSQLiteConnectionPoolManager>());
    }
    void TearDown() override {
        Pooled.clear();
        Manager.reset();
        LiteDataSetFixture::TearDown();
    }
    TPooledLiteConnection* NewConnection(int MaxPoolSize = 100, bool Validate = false) {
        Pooled.emplace_back(rtl::Create<TPooledLiteConnection>(nullptr));
        TPooledLiteConnection* c = Pooled.back().get();
        c->SetLoginPrompt(false);
        c->Database = Conn->Database;
        c->Props = Conn->Props;
        c->Manager = Manager.get();
        c->PoolingOptions()->SetMaxPoolSize(MaxPoolSize);
        c->PoolingOptions()->SetValidate(Validate);
        c->SetPooling(true);
        return c;
    }
    TCRLocalConnectionPool* Pool() const { return static_cast<TCRLocalConnectionPool*>(Manager->Pools(0)); }

    rtl::TOwnedPtr<TSQLiteConnectionPoolManager> Manager;
    std::vector<rtl::TOwnedPtr<TPooledLiteConnection>> Pooled;
};

}  // namespace

TEST(PoolKey, SQLiteKeysDifferByDatabaseAndOptions) {
    rtl::TOwnedPtr<TSQLiteConnectionParameters> a(rtl::Create<TSQLiteConnectionParameters>());
    rtl::TOwnedPtr<TSQLiteConnectionParameters> b(rtl::Create<TSQLiteConnectionParameters>());
    a->SetProp(pidDatabase, Variant(AnsiString("/tmp/a.sdb")));
    b->Assign(a.get());
    b->Username = "U";
    a->Username = "u";
    EXPECT_TRUE(a->Equals(b.get()));
    b->SetProp(pidDatabase, Variant(AnsiString("/tmp/A.sdb")));
    EXPECT_FALSE(a->Equals(b.get()));
    b->SetProp(pidDatabase, Variant(AnsiString("/tmp/a.sdb")));
    b->SetProp(sqlite::pidForeignKeys, Variant(true));
    EXPECT_FALSE(a->Equals(b.get()));
    EXPECT_EQ(a->AsText(),
              "Username=u\rServer=\rDatabase=/tmp/a.sdb\rMinPoolSize=0\rMaxPoolSize=100\rConnectionLifeTime=0\r"
              "Validate=False\r");
}

TEST_F(PoolTest, AConnectionClosedByOneComponentIsReusedByTheNext) {
    TPooledLiteConnection* first = NewConnection();
    first->Connect();
    TCRConnection* provider = first->IConnection();
    ASSERT_NE(provider->Pool(), nullptr);
    first->Disconnect();
    EXPECT_EQ(first->IConnection(), nullptr);
    EXPECT_EQ(Pool()->IdleCount(), 1);

    TPooledLiteConnection* second = NewConnection();
    second->Connect();
    EXPECT_EQ(second->IConnection(), provider);
    // The reused connection works.
    second->ExecSQL("UPDATE sources SET kind = 9 WHERE id = 1");
    EXPECT_EQ(second->IConnection(), provider);
    // Different settings make a different pool.
    TPooledLiteConnection* other = NewConnection(5);
    other->Connect();
    EXPECT_NE(other->IConnection(), provider);
    EXPECT_EQ(Manager->PoolCount(), 2);
}

TEST_F(PoolTest, TheMaximumSizeIsHonouredByWaitingThenFailing) {
    TPooledLiteConnection* a = NewConnection(1);
    TPooledLiteConnection* b = NewConnection(1);
    a->Connect();
    Pool()->WaitTimeout = 0;
    ExpectMessage([&] { b->Connect(); }, "Maximum pool size (1) is reached: no connection was returned in time");
    EXPECT_FALSE(b->Connected());

    // A caller at the limit gets the connection another one gives back.
    Pool()->WaitTimeout = 20000;
    TCRConnection* provider = a->IConnection();
    bool sawWaiter = false;
    // Bounded, and joined on every way out: a pool that never lets the caller wait fails the test
    // instead of hanging it.
    std::jthread giver([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Pool()->WaitingCount() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        sawWaiter = Pool()->WaitingCount() > 0;
        a->Disconnect();
    });
    b->Connect();
    giver.join();
    EXPECT_TRUE(sawWaiter);
    EXPECT_EQ(b->IConnection(), provider);
    EXPECT_EQ(Pool()->UsedCount(), 1);
}

TEST_F(PoolTest, BrokenConnectionsAreDroppedNeverHandedOut) {
    TPooledLiteConnection* a = NewConnection(100, true);
    a->Connect();
    TCRConnection* lost = a->IConnection();
    // The component learned the connection was lost: it is closed, not put back, and when the
    // component lets it go the pool frees it.
    Pool()->InvalidateConnection(lost);
    a->Disconnect();
    EXPECT_EQ(a->IConnection(), lost);
    EXPECT_EQ(Pool()->IdleCount(), 0);
    a->FreeIConnection();
    EXPECT_EQ(Pool()->IdleCount(), 0);
    EXPECT_EQ(Pool()->UsedCount(), 0);

    // An idle connection that fails validation is dropped and a new one made.
    a->Connect();
    TCRConnection* idle = a->IConnection();
    a->Disconnect();
    ASSERT_EQ(Pool()->IdleCount(), 1);
    idle->Disconnect();  // broken while it waited
    a->Connect();
    EXPECT_TRUE(a->IConnection()->GetConnected());
    EXPECT_EQ(Pool()->IdleCount(), 0);
    a->ExecSQL("UPDATE sources SET kind = 3 WHERE id = 2");
}

TEST_F(PoolTest, AConnectionOlderThanItsLifetimeIsNotReused) {
    rtl::TScopedManualClock clock;
    TPooledLiteConnection* a = NewConnection();
    a->PoolingOptions()->SetConnectionLifetime(60);
    a->Connect();
    a->Disconnect();
    ASSERT_EQ(Pool()->IdleCount(), 1);
    clock.Advance(60 * 1000);
    a->Connect();
    EXPECT_EQ(Pool()->IdleCount(), 0);
    EXPECT_EQ(Pool()->UsedCount(), 1);
    a->Disconnect();
    EXPECT_EQ(Pool()->IdleCount(), 1);
}
