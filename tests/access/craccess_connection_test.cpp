// The provider connection with its reconnect loop, transactions plain and distributed, and the
// connection pool interface.
#include <gtest/gtest.h>

#include "data/access/CRConnectionPool.h"
#include "data/access/MTSCall.h"
#include "expect_raise.h"
#include "tests/support/fake_provider.h"
#include "framework/rtl/Clock.h"

using namespace daccess;
using fake::TFakeConnection;
using fake::TFakeTransaction;

namespace {

using accesstest::ExpectAssertion;
using accesstest::ExpectMessage;

using ConnPtr = rtl::TOwnedPtr<TFakeConnection>;

ConnPtr Connected() { return ConnPtr(fake::CreateConnectedConnection()); }

}  // namespace

TEST(CRConnection, ConstructionAttachesTheInternalTransactionAndMakesRulesOfTheProvider) {
    ConnPtr conn(rtl::Create<TFakeConnection>());
    EXPECT_FALSE(conn->GetConnected());
    EXPECT_TRUE(conn->IsValid());
    EXPECT_TRUE(conn->OwnsHandle());
    ASSERT_NE(conn->GetInternalTransaction(), nullptr);
    EXPECT_EQ(conn->GetInternalTransaction()->ConnectionsCount(), 1);
    EXPECT_EQ(conn->GetInternalTransaction()->Connections(0), conn.get());
    EXPECT_TRUE(conn->MapRules()->InheritsFrom(&fake::TFakeMapRules::StaticClass()));
    TSQLInfo* info = conn->SQLInfo();
    EXPECT_EQ(conn->SQLInfo(), info);
    EXPECT_EQ(info->ParserClass(), &store::TSQLParser::StaticClass());
}

TEST(CRConnection, ConnectRecordsTimeAndValidity) {
    rtl::TScopedManualClock clock(46000.0, 5000);
    ConnPtr conn(rtl::Create<TFakeConnection>());
    conn->SetIsValid(false);
    conn->Connect("");
    EXPECT_TRUE(conn->GetConnected());
    EXPECT_TRUE(conn->IsValid());
    EXPECT_EQ(conn->ConnectionTime(), 5000u);
}

TEST(CRConnection, PropertyIds) {
    ConnPtr conn(rtl::Create<TFakeConnection>());
    const std::pair<int, Variant> accepted[] = {
        {pidAutoCommit, false},   {pidConvertEOL, true},    {pidDisconnectedMode, true}, {pidEnableBCD, true},
        {pidEnableFMTBCD, true},  {pidDefaultSortType, 1},  {pidDatabase, "file.db"},    {pidPort, 3050},
        {pidHttpUrl, "http://h"}, {pidHttpUsername, "hu"},  {pidHttpPassword, "hp"},     {pidProxyHostname, "ph"},
        {pidProxyPort, 8080},     {pidProxyUsername, "pu"}, {pidProxyPassword, "pp"},
    };
    for (const auto& [id, value] : accepted) EXPECT_TRUE(conn->SetProp(id, value)) << id;
    EXPECT_FALSE(conn->AutoCommit());
    EXPECT_TRUE(conn->ConvertEOL());
    EXPECT_TRUE(conn->DisconnectedMode());
    EXPECT_TRUE(conn->EnableBCD());
    EXPECT_EQ(conn->DefaultSortType(), 1);
    EXPECT_EQ(conn->HttpOptions()->Url, "http://h");
    EXPECT_EQ(conn->HttpOptions()->ProxyOptions()->Port, 8080);
    EXPECT_EQ(conn->HttpOptions()->ProxyOptions()->Password, "pp");

    conn->SetUsername("archivist");
    Variant v;
    ASSERT_TRUE(conn->GetProp(pidUsername, v));
    EXPECT_EQ(v.AsAnsiString(), "archivist");
    ASSERT_TRUE(conn->GetProp(pidStringParamSize, v));
    EXPECT_EQ(v.AsInteger(), 0);
    ASSERT_TRUE(conn->GetProp(pidLastInsertId, v));
    EXPECT_EQ(v.AsInt64(), 0);

    ExpectAssertion([&] { conn->SetProp(pidFetchAll, true); }, "22");
    ExpectAssertion([&] { conn->SetProp(1001, 1); }, "1001");
    ExpectAssertion([&] { conn->GetProp(pidAutoCommit, v); }, "5");
}

TEST(CRConnection, AssignCopiesServerSettingsAndHooks) {
    ConnPtr a(rtl::Create<TFakeConnection>());
    a->SetServer("srv");
    a->SetUsername("u");
    a->SetPassword("p");
    a->SetProp(pidEnableBCD, true);
    int calls = 0;
    a->OnError = [&](rtl::Exception*, bool*, TConnLostCause&, int, bool&, bool&) { ++calls; };
    ConnPtr b(rtl::Create<TFakeConnection>());
    b->Assign(a.get());
    EXPECT_EQ(b->Server(), "srv");
    EXPECT_EQ(b->Username(), "u");
    EXPECT_EQ(b->Password(), "p");
    EXPECT_TRUE(b->EnableBCD());
    ASSERT_TRUE(static_cast<bool>(b->OnError));
}

TEST(CRConnection, DistributedTransactionsAreNotSupportedByTheBase) {
    ConnPtr conn = Connected();
    ExpectMessage([&] { conn->TCRConnection::Enlist(nullptr); }, "MS DTC transactions not supported");
    ExpectMessage([&] { conn->TCRConnection::UnEnlist(nullptr); }, "MS DTC transactions not supported");
}

// --- the reconnect loop ---

TEST(CRConnectionDoError, WithoutHookReturnsAtOnce) {
    ConnPtr conn = Connected();
    rtl::Exception e("boom");
    bool fail = true;
    conn->DoError(&e, &fail);
    EXPECT_TRUE(fail);
    EXPECT_EQ(conn->DisconnectCount, 0);
    EXPECT_TRUE(conn->GetConnected());
    // The provider then raises its own error.
    conn->FailExecutions = 1;
    EXPECT_THROW(conn->ProcessError("Execution failed"), fake::EFakeError);
}

TEST(CRConnectionDoError, ReconnectAtFirstAskRepeatsTheOperationOnlyWhenAsked) {
    for (bool reexecute : {true, false}) {
        ConnPtr conn = Connected();
        int hookCalls = 0;
        conn->OnError = [&](rtl::Exception*, bool*, TConnLostCause& cause, int retry, bool& re, bool& reconnect) {
            ++hookCalls;
            EXPECT_EQ(retry, 0);
            cause = clOpen;
            re = reexecute;
            reconnect = true;
        };
        int doneHook = 0;
        conn->ReconnectDoneHook = [&] { ++doneHook; };
        rtl::Exception e("lost");
        bool fail = true;
        if (reexecute) {
            try {
                conn->DoError(&e, &fail);
                FAIL();
            } catch (const EFailOver& f) {
                EXPECT_EQ(f.ConnLostCause(), clOpen);
            }
        } else {
            EXPECT_NO_THROW(conn->DoError(&e, &fail));
        }
        EXPECT_EQ(hookCalls, 1);
        EXPECT_EQ(conn->DisconnectCount, 1);
        EXPECT_EQ(conn->ConnectCount, 2);
        EXPECT_EQ(doneHook, 1);
        EXPECT_TRUE(conn->GetConnected());
        EXPECT_TRUE(conn->Reconnected());
    }
}

TEST(CRConnectionDoError, FailedReconnectAsksAgainThenRunsTheFailureHookOnce) {
    ConnPtr conn = Connected();
    conn->FailConnects = 10;
    std::vector<int> retries;
    conn->OnError = [&](rtl::Exception*, bool*, TConnLostCause&, int retry, bool&, bool& reconnect) {
        retries.push_back(retry);
        reconnect = retry < 2;
    };
    int failedHook = 0;
    bool connectedDuringHook = false;
    conn->ReconnectFailedHook = [&] {
        ++failedHook;
        connectedDuringHook = conn->GetConnected();
        throw rtl::Exception("swallowed");
    };
    rtl::Exception e("lost");
    bool fail = true;
    EXPECT_NO_THROW(conn->DoError(&e, &fail));
    EXPECT_EQ(retries, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(failedHook, 1);
    EXPECT_TRUE(connectedDuringHook);
    EXPECT_FALSE(conn->GetConnected());
    EXPECT_EQ(conn->DisconnectCount, 1);
}

TEST(CRConnectionDoError, NestedErrorsDuringTheHookReturnAtOnceAndClearedFailAborts) {
    ConnPtr conn = Connected();
    int hookCalls = 0;
    conn->OnError = [&](rtl::Exception* e, bool* fail, TConnLostCause&, int, bool&, bool&) {
        ++hookCalls;
        bool innerFail = true;
        conn->DoError(e, &innerFail);  // the guard keeps this from reaching the hook again
        *fail = false;
    };
    conn->FailExecutions = 1;
    EXPECT_THROW(conn->ProcessError("Execution failed"), rtl::EAbort);
    EXPECT_EQ(hookCalls, 1);
    // A hook that raises leaves the guard open for the next error.
    conn->OnError = [&](rtl::Exception*, bool*, TConnLostCause&, int, bool&, bool&) {
        ++hookCalls;
        throw rtl::Exception("hook failed");
    };
    rtl::Exception e("x");
    bool fail = true;
    EXPECT_THROW(conn->DoError(&e, &fail), rtl::Exception);
    EXPECT_THROW(conn->DoError(&e, &fail), rtl::Exception);
    EXPECT_EQ(hookCalls, 3);
}

// --- pooling ---

namespace {

class TTestPool : public TCRConnectionPool {
    RTL_CLASS(TTestPool, TCRConnectionPool)
public:
    using TCRConnectionPool::TCRConnectionPool;
    TCRConnection* GetConnection() override {
        ++Handed;
        return nullptr;
    }
    void PutConnection(TCRConnection* Connection) override { Returned.push_back(Connection); }
    void InvalidateConnection(TCRConnection*) override {}
    int Handed = 0;
    std::vector<TCRConnection*> Returned;
};

class TTestManager : public TCRConnectionPoolManager {
    RTL_CLASS(TTestManager, TCRConnectionPoolManager)
public:
    TCRConnectionPool* CreateConnectionPool(TCRConnectionParameters* Parameters) override {
        ++Created;
        return rtl::Create<TTestPool>(this, Parameters);
    }
    int Created = 0;
};

}  // namespace

TEST(CRConnectionPool, ReturnToPoolNeedsAPoolAndHandsTheConnectionBack) {
    ConnPtr conn = Connected();
    ExpectAssertion([&] { conn->ReturnToPool(); }, "Assertion failure");

    TTestManager manager;
    TCRConnectionParameters params;
    manager.GetConnection(&params);
    auto* pool = static_cast<TTestPool*>(manager.Pools(0));
    conn->SetPool(pool);
    conn->OnError = [](rtl::Exception*, bool*, TConnLostCause&, int, bool&, bool&) {};
    conn->ReturnToPool();
    ASSERT_EQ(pool->Returned.size(), 1u);
    EXPECT_EQ(pool->Returned[0], conn.get());
    EXPECT_FALSE(static_cast<bool>(conn->OnError));
    EXPECT_EQ(conn->Component(), nullptr);
}

TEST(CRConnectionPool, ManagerFindsPoolsByEqualParameters) {
    TTestManager manager;
    TCRConnectionParameters a, b, c;
    a.Username = "U";
    b.Username = "u";
    c.Username = "u";
    c.Password = "other";
    manager.GetConnection(&a);
    manager.GetConnection(&b);
    EXPECT_EQ(manager.PoolCount(), 1);
    EXPECT_EQ(static_cast<TTestPool*>(manager.Pools(0))->Handed, 2);
    manager.GetConnection(&c);
    EXPECT_EQ(manager.PoolCount(), 2);
    EXPECT_EQ(manager.Created, 2);
    ExpectAssertion([] { TCRConnectionPoolManager::GetPooledConnection(nullptr, nullptr); }, "Must be overriden",
                    "CRConnectionPool");
}

TEST(CRConnectionParameters, EqualityCaseRules) {
    TCRConnectionParameters a, b;
    a.Username = "User";
    a.Server = "Srv";
    a.Password = "Pw";
    b.Assign(&a);
    EXPECT_TRUE(a.Equals(&b));
    EXPECT_FALSE(a.Equals(nullptr));
    b.Username = "USER";
    b.Server = "srv";
    EXPECT_TRUE(a.Equals(&b));
    b.Password = "pw";
    EXPECT_FALSE(a.Equals(&b));
    b.Password = "Pw";
    b.HttpOptions()->ProxyOptions()->Port = 1;
    EXPECT_FALSE(a.Equals(&b));
    b.HttpOptions()->ProxyOptions()->Port = 0;
    b.MaxPoolSize = 5;
    EXPECT_FALSE(a.Equals(&b));
}

TEST(CRConnectionParameters, TextFormsAndProps) {
    TCRConnectionParameters p;
    p.Username = "u";
    p.Server = "s";
    EXPECT_EQ(p.AsText(),
              "Username=u\rServer=s\rMinPoolSize=0\rMaxPoolSize=100\rConnectionLifeTime=0\rValidate=False\r");
    p.Validate = true;
    EXPECT_EQ(p.PoolSettingsText(), "MinPoolSize=0\rMaxPoolSize=100\rConnectionLifeTime=0\rValidate=True\r");
    ExpectAssertion([&] { p.SetProp(pidDatabase, "x"); }, "38", "CRConnectionPool");
    rtl::TOwnedPtr<rtl::TStringList> other(rtl::Create<rtl::TStringList>());
    EXPECT_THROW(other->Assign(&p), rtl::EConvertError);
}

// --- transactions ---

TEST(CRTransaction, ConnectionsPropsAndChecks) {
    rtl::TOwnedPtr<TCRTransaction> t(rtl::Create<TCRTransaction>());
    ConnPtr conn = Connected();
    EXPECT_TRUE(t->AttachConnection(conn.get()));
    EXPECT_FALSE(t->AttachConnection(conn.get()));
    EXPECT_EQ(t->ConnectionsCount(), 1);
    EXPECT_TRUE(t->DetachConnection(conn.get()));
    EXPECT_FALSE(t->DetachConnection(conn.get()));

    EXPECT_TRUE(t->SetProp(pidIsolationLevel, 2));
    EXPECT_TRUE(t->SetProp(pidTransactionReadOnly, true));
    Variant v;
    t->GetProp(pidIsolationLevel, v);
    EXPECT_EQ(v.AsInteger(), 2);
    EXPECT_EQ(t->IsolationLevel(), ilRepeatableRead);
    t->GetProp(pidTransactionReadOnly, v);
    EXPECT_TRUE(v.AsBoolean());
    ExpectAssertion([&] { t->SetProp(pidAutoCommit, true); }, "5");
    ExpectAssertion([&] { t->GetProp(pidDatabase, v); }, "38");

    ExpectMessage([&] { t->CheckActive(); }, "Can't perform operation on inactive transaction");
    EXPECT_NO_THROW(t->CheckInactive());
    ExpectAssertion([&] { t->BeginWork(); }, "Assertion failure");
    ExpectAssertion([&] { t->CommitWork(); }, "Assertion failure");
    ExpectAssertion([&] { t->RollbackWork(); }, "Assertion failure");
    for (const auto& op : std::vector<std::function<void()>>{
             [&] { t->CommitRetaining(); }, [&] { t->RollbackRetaining(); }, [&] { t->Savepoint("s"); },
             [&] { t->ReleaseSavepoint("s"); }, [&] { t->RollbackToSavepoint("s"); }})
        ExpectMessage(op, "Operation is not supported by the database");
    EXPECT_FALSE(t->CanRestoreAfterFailover());
}

TEST(CRTransaction, ProviderTransactionLifecycleAndAdoptedState) {
    ConnPtr conn = Connected();
    auto* t = static_cast<TFakeTransaction*>(conn->GetInternalTransaction());
    t->BeginWork();
    EXPECT_TRUE(t->GetInTransaction());
    ExpectMessage([&] { t->BeginWork(); }, "Can't perform operation on active transaction");
    rtl::TOwnedPtr<TFakeTransaction> adopted(rtl::Create<TFakeTransaction>());
    adopted->AssignConnect(t);
    EXPECT_TRUE(adopted->GetInTransaction());
    EXPECT_FALSE(adopted->Native());
    t->CommitWork();
    t->BeginWork();
    t->RollbackWork();
    EXPECT_EQ(t->Log, (std::vector<AnsiString>{"begin", "commit", "begin", "rollback"}));
    adopted->Reset();
    EXPECT_FALSE(adopted->GetInTransaction());
}

// --- distributed transactions ---

namespace {

struct CoordinatorLog {
    std::vector<AnsiString> Calls;
    int32_t Level = 0;
};
CoordinatorLog GLog;

class TTestDtcTransaction : public ICRTransactionSC {
public:
    HRESULT Commit(bool, uint32_t, uint32_t) override {
        GLog.Calls.push_back("commit");
        return S_OK;
    }
    HRESULT Abort(const rtl::TGUID*, bool, bool) override {
        GLog.Calls.push_back("abort");
        return S_OK;
    }
};

class TTestDispenser : public ICRTransactionDispenserSC {
public:
    HRESULT BeginTransaction(void*, int32_t IsoLevel, uint32_t, void*, std::shared_ptr<ICRTransactionSC>& T) override {
        GLog.Calls.push_back("begin");
        GLog.Level = IsoLevel;
        T = std::make_shared<TTestDtcTransaction>();
        return S_OK;
    }
};

HRESULT TestEntry(const char*, const char*, const rtl::TGUID& Iid, uint32_t, void*,
                  std::shared_ptr<ICRTransactionDispenserSC>& Dispenser) {
    EXPECT_TRUE(Iid == IID_ITransactionDispenser);
    Dispenser = std::make_shared<TTestDispenser>();
    return S_OK;
}

struct CoordinatorScope {
    CoordinatorScope() {
        GLog = {};
        SetCoordinatorEntry(TestEntry);
    }
    ~CoordinatorScope() { SetCoordinatorEntry(nullptr); }
};

}  // namespace

TEST(MTSTransaction, NoCoordinatorOnThisPlatform) {
    SetCoordinatorEntry(nullptr);
    ConnPtr conn = Connected();
    rtl::TOwnedPtr<TMTSTransaction> t(rtl::Create<TMTSTransaction>());
    t->AttachConnection(conn.get());
    ExpectMessage([&] { t->BeginWork(); }, "Can not find xolehlp.dll");
    EXPECT_FALSE(t->GetInTransaction());
    std::shared_ptr<ICRTransactionDispenserSC> dispenser;
    ExpectMessage(
        [&] { DtcGetTransactionManagerEx(nullptr, nullptr, IID_ITransactionDispenser, 0, nullptr, dispenser); },
        "Function is not linked");
}

TEST(MTSTransaction, CommitEnlistsAndUnenlistsEveryConnectionInOrder) {
    CoordinatorScope scope;
    ConnPtr a = Connected(), b = Connected(), late = Connected();
    for (TFakeConnection* c : {a.get(), b.get(), late.get()}) c->SupportsEnlist = true;
    rtl::TOwnedPtr<TMTSTransaction> t(rtl::Create<TMTSTransaction>());
    t->AttachConnection(a.get());
    t->AttachConnection(b.get());
    t->SetProp(pidIsolationLevel, static_cast<int>(ilIsolated));
    t->BeginWork();
    EXPECT_TRUE(t->GetInTransaction());
    EXPECT_EQ(GLog.Level, ISOLATIONLEVEL_SERIALIZABLE);
    t->AttachConnection(late.get());  // enlisted at once while active
    EXPECT_EQ(late->EnlistLog, (std::vector<AnsiString>{"enlist"}));
    t->CommitWork();
    EXPECT_FALSE(t->GetInTransaction());
    EXPECT_FALSE(t->HasDistributedTransaction());
    EXPECT_EQ(GLog.Calls, (std::vector<AnsiString>{"begin", "commit"}));
    EXPECT_EQ(a->EnlistLog, (std::vector<AnsiString>{"enlist", "unenlist"}));
    ExpectMessage([&] { t->CommitWork(); }, "Can't perform operation on inactive transaction");
}

TEST(MTSTransaction, FailuresBeforeAndAtEnlisting) {
    CoordinatorScope scope;
    ConnPtr conn = Connected();
    rtl::TOwnedPtr<TMTSTransaction> t(rtl::Create<TMTSTransaction>());
    t->AttachConnection(conn.get());

    t->SetProp(pidIsolationLevel, static_cast<int>(ilSnapshot));
    ExpectMessage([&] { t->BeginWork(); }, "Transaction isolation level is not supported with MTS");
    EXPECT_TRUE(conn->EnlistLog.empty());
    EXPECT_FALSE(t->GetInTransaction());

    // A provider without support: the enlist error comes out and the transaction is rolled back.
    t->SetProp(pidIsolationLevel, static_cast<int>(ilReadCommitted));
    ExpectMessage([&] { t->BeginWork(); }, "MS DTC transactions not supported");
    EXPECT_FALSE(t->GetInTransaction());
    EXPECT_FALSE(t->HasDistributedTransaction());
    EXPECT_EQ(GLog.Calls, (std::vector<AnsiString>{"begin", "abort"}));

    conn->Disconnect();
    ExpectMessage([&] { t->BeginWork(); }, "One of the connections in the transaction is not active");
}

TEST(MTSTransaction, SavepointsGoToEveryConnection) {
    ConnPtr a = Connected(), b = Connected();
    rtl::TOwnedPtr<TMTSTransaction> t(rtl::Create<TMTSTransaction>());
    t->AttachConnection(a.get());
    t->AttachConnection(b.get());
    t->Savepoint("sp");
    for (TFakeConnection* c : {a.get(), b.get()})
        EXPECT_EQ(static_cast<TFakeTransaction*>(c->GetInternalTransaction())->Log,
                  (std::vector<AnsiString>{"savepoint sp"}));
}
