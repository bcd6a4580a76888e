// Statements that fail or stop half-way on a shared database file: once the error or the close is
// over, the connection holds no statement running, no transaction and no lock, so its next write
// commits on its own and other connections' writes go through.
#include "tests/support/lite_file_fixture.h"
#include "tests/sqlite/lite_fixture.h"

using namespace litetest;

namespace {

// Statements of the connection still running (stepped, not reset or run to their end).
int RunningStatements(TSQLiteConnection* C) {
    int n = 0;
    for (sqlite3_stmt* st = sqlite3_next_stmt(C->API()->SQLite, nullptr); st;
         st = sqlite3_next_stmt(C->API()->SQLite, st))
        n += sqlite3_stmt_busy(st) ? 1 : 0;
    return n;
}

struct LockingTest : LiteTest {
    void SetUp() override {
        LiteTest::SetUp();
        Holder = Open(false);
        Exec(Holder, "CREATE TABLE t (id INTEGER PRIMARY KEY, v INTEGER)");
        std::string rows = "INSERT INTO t (id, v) VALUES (1, 1)";
        for (int i = 2; i <= 30; ++i) rows += ", (" + std::to_string(i) + ", " + std::to_string(i) + ")";
        Exec(Holder, rows);
        // No wait: a lock another connection holds fails at once.
        Us = NewConnection(DbPath, false, 0);
        Us->Connect("");
    }
    int Count(const std::string& Where) {
        return std::stoi(ReadColumn(DbPath, "SELECT count(*) FROM t WHERE " + Where)[0]);
    }
    TSQLiteConnection* Holder = nullptr;
    rtl::TOwnedPtr<TSQLiteConnection> Us;
};

// A write statement kept prepared (as the generated ones are) that meets another's write lock:
// the error leaves nothing open behind it, and the writes that follow are committed at once.
TEST_F(LockingTest, AFailedWriteLeavesNoTransactionForLaterWritesToJoin) {
    auto update = Command(Us.get(), "UPDATE t SET v = v + 100 WHERE id = 1");
    update->Prepare();
    Holder->GetInternalTransaction()->BeginWork();
    Exec(Holder, "UPDATE t SET v = -1 WHERE id = 2");
    try {
        update->Execute();
        FAIL() << "the write went through a locked database";
    } catch (const ESQLiteError& e) {
        EXPECT_EQ(e.ErrorCode(), SQLITE_BUSY);
    }
    EXPECT_EQ(RunningStatements(Us.get()), 0);
    EXPECT_TRUE(update->GetPrepared());
    Holder->GetInternalTransaction()->CommitWork();

    // Seen by a third connection while ours is still open: committed, not held in a transaction
    // that the next reset of the failed statement would roll back.
    Exec(Us.get(), "INSERT INTO t (id, v) VALUES (31, 31)");
    EXPECT_EQ(Count("id = 31"), 1);
    update->Execute();
    EXPECT_EQ(Count("id = 1 AND v = 101"), 1);
    update->Unprepare();
    Us->Disconnect();
    EXPECT_EQ(Count("id = 31 OR (id = 1 AND v = 101) OR (id = 2 AND v = -1)"), 3);
}

// A query that stopped half-way through its rows, closed while its statement stays prepared,
// and one whose fetch failed half-way: neither holds the read lock that a writer's commit waits
// for, and the failed one does not start over from its first row.
TEST_F(LockingTest, QueriesStoppedHalfWayHoldNoReadLock) {
    auto prepared = Query(Us.get(), "SELECT id FROM t", false, 5);
    prepared->Prepare();
    prepared->Open();
    EXPECT_EQ(RunningStatements(Us.get()), 1);  // the rest of the rows wait, and so does the lock
    prepared->Close();
    EXPECT_TRUE(prepared->LiteCommand()->GetPrepared());
    EXPECT_EQ(RunningStatements(Us.get()), 0);
    Exec(Holder, "UPDATE t SET v = 0 WHERE id = 3");

    // abs() of the smallest integer is an error of the engine, met at that row.
    Exec(Holder, "UPDATE t SET v = -9223372036854775807 - 1 WHERE id = 12");
    auto failing = Query(Us.get(), "SELECT id, abs(v) FROM t ORDER BY id", false, 5);
    failing->Open();
    EXPECT_NE(MessageOf([&] { failing->FetchAll(); }), "<no exception>");
    EXPECT_EQ(RunningStatements(Us.get()), 0);
    Exec(Holder, "UPDATE t SET v = 0 WHERE id = 4");
    failing->FetchAll();
    const auto rows = Rows(failing.get());
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.back()[0].AsInteger(), 10);
}

}  // namespace
