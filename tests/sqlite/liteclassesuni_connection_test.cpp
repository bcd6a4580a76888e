#include "tests/sqlite/lite_fixture.h"

using namespace litetest;

TEST_F(LiteTest, ConnectsWithTheApplicationsOptionsAndSendsTheirPragmas) {
    TSQLiteConnection* c = Open(true);
    ASSERT_TRUE(c->GetConnected());
    EXPECT_EQ(Select(c, "PRAGMA read_uncommitted")[0][0].AsInteger(), 1);
    EXPECT_EQ(Select(c, "PRAGMA foreign_keys")[0][0].AsInteger(), 0);
    // Changes on the open connection take effect at once.
    c->SetProp(pidForeignKeys, Variant(true));
    EXPECT_EQ(Select(c, "PRAGMA foreign_keys")[0][0].AsInteger(), 1);
    c->SetProp(pidReadUncommitted, Variant(false));
    EXPECT_EQ(Select(c, "PRAGMA read_uncommitted")[0][0].AsInteger(), 0);
    Variant v;
    c->GetProp(pidBusyTimeout, v);
    EXPECT_EQ(v.AsInteger(), 350);
    EXPECT_FALSE(c->GetServerVersion().empty());
    c->Disconnect();
    EXPECT_FALSE(c->GetConnected());
    EXPECT_EQ(c->API()->SQLite, nullptr);
}

TEST_F(LiteTest, MissingDatabaseFileInAnExistingFolderIsRefusedUnlessForced) {
    auto c = NewConnection((Dir / "absent.sdb").string());
    EXPECT_EQ(MessageOf([&] { c->Connect(""); }), SDatabaseDoesNotExist);
    EXPECT_FALSE(c->GetConnected());
    EXPECT_FALSE(std::filesystem::exists(Dir / "absent.sdb"));
    c->SetProp(pidForceCreateDatabase, Variant(true));
    c->Connect("");
    EXPECT_TRUE(c->GetConnected());
    EXPECT_TRUE(std::filesystem::exists(Dir / "absent.sdb"));

    auto mem = NewConnection(":memory:");
    mem->Connect("");
    EXPECT_TRUE(mem->GetConnected());
}

TEST_F(LiteTest, ALockedDatabaseFailsWithBusyAfterTheTimeout) {
    TSQLiteConnection* a = Open(false);
    Exec(a, "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
    auto b = NewConnection(DbPath, false, 30);
    b->Connect("");
    a->GetInternalTransaction()->BeginWork();
    Exec(a, "INSERT INTO t (v) VALUES ('a')");
    auto cmd = Command(b.get(), "INSERT INTO t (v) VALUES ('b')");
    try {
        cmd->Execute();
        FAIL() << "the write went through a locked database";
    } catch (const ESQLiteError& e) {
        EXPECT_EQ(e.ErrorCode(), SQLITE_BUSY);
        EXPECT_FALSE(e.IsKeyViolation());
    }
    a->GetInternalTransaction()->CommitWork();
    cmd->Execute();
    EXPECT_EQ(Select(b.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 2);
}

namespace {

// Stands in for the engine's busy time-out: while the connect waits on a lock, the holder commits.
std::function<void()> ReleaseLock;

int CommitThenRetry(void*, int tries) {
    if (tries > 0 || !ReleaseLock) return 0;
    ReleaseLock();
    return 1;
}

int BusyTimeoutThatCommitsTheHolder(sqlite3* db, int ms) {
    return ms > 0 ? sqlite3_busy_handler(db, CommitThenRetry, nullptr) : sqlite3_busy_timeout(db, ms);
}

}  // namespace

TEST_F(LiteTest, ConnectWaitsForACommitInProgressBeforeItsFirstRead) {
    TSQLiteConnection* a = Open(false);
    Exec(a, "CREATE TABLE t (id INTEGER)");
    Exec(a, "BEGIN EXCLUSIVE");
    Exec(a, "INSERT INTO t VALUES (1)");
    ReleaseLock = [&] { Exec(a, "COMMIT"); };
    auto b = NewConnection(DbPath, false, 1000);
    b->API()->SetSymbolResolver([](void* module, const char* name) -> void* {
        if (std::string_view(name) == "sqlite3_busy_timeout")
            return reinterpret_cast<void*>(&BusyTimeoutThatCommitsTheHolder);
        return ::dlsym(module, name);
    });
    b->Connect("");
    ReleaseLock = nullptr;
    EXPECT_TRUE(b->GetConnected());
    EXPECT_EQ(Select(b.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 1);
}

TEST_F(LiteTest, TransactionsAndTheirMessages) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER PRIMARY KEY)");
    auto* tr = c->GetInternalTransaction();
    EXPECT_EQ(MessageOf([&] { tr->CommitWork(); }), daccess::STransactionInactive);
    tr->BeginWork();
    Exec(c, "INSERT INTO t VALUES (1)");
    tr->Savepoint("s1");
    Exec(c, "INSERT INTO t VALUES (2)");
    tr->RollbackToSavepoint("s1");
    tr->ReleaseSavepoint("s1");
    tr->RollbackWork();
    EXPECT_EQ(Select(c, "SELECT count(*) FROM t")[0][0].AsInteger(), 0);

    rtl::TOwnedPtr<TSQLiteTransaction> custom(rtl::Create<TSQLiteTransaction>());
    EXPECT_EQ(MessageOf([&] { custom->BeginWork(); }), SNoConnectionsInTransaction);
}

TEST_F(LiteTest, ConstraintViolationIsAKeyViolation) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER PRIMARY KEY)");
    Exec(c, "INSERT INTO t VALUES (1)");
    try {
        Exec(c, "INSERT INTO t VALUES (1)");
        FAIL();
    } catch (const ESQLiteError& e) {
        EXPECT_EQ(e.ErrorCode(), SQLITE_CONSTRAINT);
        EXPECT_TRUE(e.IsKeyViolation());
    }
}

TEST_F(LiteTest, DisconnectFinalizesStatementsStillOpenAndClosesTheFile) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER)");
    for (int i = 0; i < 30; ++i) Exec(c, "INSERT INTO t VALUES (" + std::to_string(i) + ")");
    auto rs = Query(c, "SELECT id FROM t", false, 5);
    rs->Open();  // one block read, the statement stays prepared
    ASSERT_TRUE(rs->LiteCommand()->GetPrepared());
    c->Disconnect();
    EXPECT_FALSE(c->GetConnected());
    EXPECT_EQ(c->API()->SQLite, nullptr);
    EXPECT_FALSE(rs->LiteCommand()->GetPrepared());
    // The file is really closed: it can be removed and opened afresh.
    c->Connect("");
    EXPECT_EQ(Select(c, "SELECT count(*) FROM t")[0][0].AsInteger(), 30);
}

TEST_F(LiteTest, AssignConnectBorrowsTheHandleAndLeavesItOpen) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER)");
    rtl::TOwnedPtr<TSQLiteConnection> b(rtl::Create<TSQLiteConnection>());
    b->AssignConnect(c);
    EXPECT_TRUE(b->GetConnected());
    EXPECT_EQ(b->API()->SQLite, c->API()->SQLite);
    Exec(b.get(), "INSERT INTO t VALUES (7)");
    b->Disconnect();
    EXPECT_EQ(Select(c, "SELECT id FROM t")[0][0].AsInteger(), 7);
}

TEST_F(LiteTest, IsolationLevelsAndDirectModeRules) {
    TSQLiteConnection* c = Open();
    auto* tr = c->GetInternalTransaction();
    tr->SetProp(daccess::pidIsolationLevel, Variant(int(daccess::ilCustom)));
    EXPECT_EQ(MessageOf([&] { tr->BeginWork(); }), SUnsupportedIsolationLevel);

    rtl::TOwnedPtr<TSQLiteConnection> d(rtl::Create<TSQLiteConnection>());
    d->SetProp(pidDirect, Variant(true));
    d->SetProp(pidEncryptionAlgorithm, Variant(int(leDefault)));
    d->SetProp(pidEncryptionKey, Variant(AnsiString("key")));
    d->SetProp(daccess::pidDatabase, Variant(AnsiString(":memory:")));
    EXPECT_EQ(MessageOf([&] { d->Connect(""); }), SEncryptionKeyMustBeEmpty);
    EXPECT_FALSE(d->API()->Loaded());
    d->SetProp(pidEncryptionAlgorithm, Variant(int(leAES128)));
    d->SetProp(pidDirect, Variant(false));
    Variant v;
    d->GetProp(pidEncryptionAlgorithm, v);
    EXPECT_EQ(v.AsInteger(), leDefault);
}
