#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_fieldclasses_fixture.h"
#include "framework/db/DB_Connection.h"

namespace fieldtest {
namespace {

std::vector<std::string>* gLog = nullptr;

void Log(const std::string& s) {
    if (gLog) gLog->push_back(s);
}

class TTestConnection : public TCustomConnection {
    RTL_CLASS(TTestConnection, db::TCustomConnection)
public:
    explicit TTestConnection(rtl::TComponent* AOwner) : TCustomConnection(AOwner) {}
    bool FailConnect = false;

    using TCustomConnection::SendConnectEvent;

protected:
    bool GetConnected() const override { return FOpen; }
    void DoConnect() override {
        Log("DoConnect");
        if (FailConnect) DatabaseError("refused");
        FOpen = true;
    }
    void DoDisconnect() override {
        Log("DoDisconnect");
        FOpen = false;
    }

private:
    bool FOpen = false;
};

// A dataset that notes the connect-change events it receives.
class TClientDataSet : public TNativeDataSet {
    RTL_CLASS(TClientDataSet, fieldtest::TNativeDataSet)
public:
    explicit TClientDataSet(rtl::TComponent* AOwner) : TNativeDataSet(AOwner) {}

protected:
    void NotifyDataEvent(TDataEvent Event, intptr_t Info) override {
        if (Event == deConnectChange) Log("dataset " + std::to_string(Info));
        TNativeDataSet::NotifyDataEvent(Event, Info);
    }
};

struct ConnectionTest : ::testing::Test {
    std::vector<std::string> log;
    rtl::TOwnedPtr<TTestConnection> conn{rtl::Create<TTestConnection>(nullptr)};
    rtl::TOwnedPtr<TClientDataSet> ds{rtl::Create<TClientDataSet>(nullptr)};
    rtl::TOwnedPtr<rtl::TComponent> other{rtl::Create<rtl::TComponent>(nullptr)};

    void SetUp() override {
        gLog = &log;
        conn->BeforeConnect = [](TCustomConnection*) { Log("BeforeConnect"); };
        conn->AfterConnect = [](TCustomConnection*) { Log("AfterConnect"); };
        conn->BeforeDisconnect = [](TCustomConnection*) { Log("BeforeDisconnect"); };
        conn->AfterDisconnect = [](TCustomConnection*) { Log("AfterDisconnect"); };
    }
    void TearDown() override { gLog = nullptr; }
};

TEST_F(ConnectionTest, ClientsHearConnectAndDisconnectInOrder) {
    conn->RegisterClient(ds.get());
    conn->RegisterClient(other.get(), [](rtl::TObject*, bool c) { Log(std::string("other ") + (c ? "1" : "0")); });
    EXPECT_EQ(conn->DataSetCount(), 1);
    EXPECT_EQ(conn->DataSets(0), ds.get());
    EXPECT_EQ(conn->ClientCount(), 2);

    conn->Open();
    EXPECT_TRUE(conn->Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "dataset 1", "other 1", "AfterConnect"}));
    log.clear();
    conn->Open();  // already connected: nothing happens
    EXPECT_TRUE(log.empty());

    conn->Close();
    EXPECT_FALSE(conn->Connected());
    EXPECT_EQ(
        log, (std::vector<std::string>{"BeforeDisconnect", "dataset 0", "other 0", "DoDisconnect", "AfterDisconnect"}));
    log.clear();
    conn->Close();
    EXPECT_TRUE(log.empty());
}

TEST_F(ConnectionTest, UnregisteredClientsAreNoLongerTold) {
    conn->RegisterClient(ds.get());
    conn->RegisterClient(other.get(), [](rtl::TObject*, bool) { Log("other"); });
    conn->UnRegisterClient(ds.get());
    EXPECT_EQ(conn->DataSetCount(), 0);
    EXPECT_THROW(conn->DataSets(0), EDatabaseError);
    conn->Open();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "other", "AfterConnect"}));
    // Registering again replaces the event instead of adding a second client.
    conn->RegisterClient(other.get(), [](rtl::TObject*, bool) { Log("other again"); });
    EXPECT_EQ(conn->ClientCount(), 1);
    log.clear();
    conn->Close();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeDisconnect", "other again", "DoDisconnect", "AfterDisconnect"}));
}

TEST_F(ConnectionTest, AClientMayLeaveWhileBeingTold) {
    TTestConnection* c = conn.get();
    rtl::TComponent* o = other.get();
    conn->RegisterClient(other.get(), [c, o](rtl::TObject*, bool) {
        Log("other leaves");
        c->UnRegisterClient(o);
    });
    conn->RegisterClient(ds.get());
    conn->Open();
    EXPECT_EQ(log,
              (std::vector<std::string>{"BeforeConnect", "DoConnect", "other leaves", "dataset 1", "AfterConnect"}));
    EXPECT_EQ(conn->ClientCount(), 1);
}

TEST_F(ConnectionTest, AFailedConnectTellsNoClient) {
    conn->RegisterClient(ds.get());
    conn->FailConnect = true;
    EXPECT_THROW(conn->Open(), EDatabaseError);
    EXPECT_FALSE(conn->Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect"}));
}

TEST_F(ConnectionTest, ConnectedReadFromAFormIsAppliedWhenLoaded) {
    conn->SetComponentStateFlag(rtl::csLoading, true);
    conn->SetConnected(true);
    EXPECT_FALSE(conn->Connected());
    EXPECT_TRUE(conn->StreamedConnected());
    EXPECT_TRUE(log.empty());
    bool streamedWhileConnecting = false;
    TTestConnection* c = conn.get();
    conn->BeforeConnect = [&](TCustomConnection*) {
        Log("BeforeConnect");
        streamedWhileConnecting = c->StreamedConnected();
    };
    conn->Loaded();
    EXPECT_TRUE(conn->Connected());
    EXPECT_TRUE(streamedWhileConnecting);
    EXPECT_FALSE(conn->StreamedConnected());
    EXPECT_EQ(log.front(), "BeforeConnect");

    // A failed streamed connect propagates and leaves the flag down.
    rtl::TOwnedPtr<TTestConnection> failing(rtl::Create<TTestConnection>(nullptr));
    failing->FailConnect = true;
    failing->SetComponentStateFlag(rtl::csLoading, true);
    failing->SetConnected(true);
    EXPECT_THROW(failing->Loaded(), EDatabaseError);
    EXPECT_FALSE(failing->StreamedConnected());
    EXPECT_FALSE(failing->Connected());
}

}  // namespace
}  // namespace fieldtest
