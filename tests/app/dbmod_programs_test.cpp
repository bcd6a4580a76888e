// Several programs on one database file, each a process the test starts: a write lock held past
// the busy time-out, an idle program beside a busy one, three programs numbering and posting at
// once, and start-up beside a writer. Processes talk through pipes; a program that hangs is ended
// by its own alarm, so no test waits for ever.
#include <set>

#include "tests/support/busy_wait_counter.h"
#include "dbmod_fixture.h"
#include "tests/support/programs.h"

namespace apptest {
namespace {

// Plain engine statements of another program on the database file.
bool RawRun(sqlite3* Db, const char* SQL) { return sqlite3_exec(Db, SQL, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Another program that takes a lock on the file and keeps it until the test lets go: the write
// lock of an open write transaction, or the read lock of a query stepped to its first row.
class TLockHolder {
public:
    enum TLock { Write, Read };
    explicit TLockHolder(TLock Lock)
        : FProgram([this, Lock] {
              FLocked.CloseRead();
              FRelease.CloseWrite();
              sqlite3* db = nullptr;
              sqlite3_open("velmorat.sdb", &db);
              sqlite3_stmt* st = nullptr;
              const bool held = Lock == Write
                                    ? RawRun(db, "BEGIN IMMEDIATE")
                                    : sqlite3_prepare_v2(db, "SELECT id FROM sources", -1, &st, nullptr) == SQLITE_OK &&
                                          sqlite3_step(st) == SQLITE_ROW;
              FLocked.Put(held ? 1 : 0);
              int32_t any;
              FRelease.Get(any);  // until the test lets go
              sqlite3_finalize(st);
              RawRun(db, "ROLLBACK");
              sqlite3_close(db);
              return held;
          }) {
        FLocked.CloseWrite();
        FRelease.CloseRead();
    }
    ~TLockHolder() { Release(); }
    TLockHolder(const TLockHolder&) = delete;
    TLockHolder& operator=(const TLockHolder&) = delete;
    // Whether the lock is held; waits until the program has tried.
    bool Held() {
        int32_t held = 0;
        return FLocked.Get(held) && held == 1;
    }
    // Lets go and waits for the program to end.
    bool Release() {
        FRelease.CloseWrite();
        return FProgram.Wait();
    }

private:
    TPipe FLocked, FRelease;
    TProgram FProgram;
};

// The file's changes are not flushed to the disk: the locks are the same, the tests many times
// quicker.
void WithoutFlushes(TDBMod& Module) { Module.zServer->ExecSQL("PRAGMA synchronous = OFF"); }

struct ProgramsTest : DBModFixture {
    void SetUp() override {
        TBusyWaitCounter::Install();
        DBModFixture::SetUp();
        // Each program opens the file afresh in its own process: the test's own program is closed
        // before one starts, and opened again when it runs beside them.
        Mod.reset();
    }
    std::string LockMessage() const {
        return U(
            u8"База данных занята другой программой и сейчас не может быть прочитана. "
            u8"Закройте программу и запустите ее еще раз.");
    }
};

// Another program holds the write lock past the busy time-out: our post fails and is cancelled,
// and the numbers taken afterwards are in the file when the program closes, so a restart goes on
// from them instead of handing any out again.
TEST_F(ProgramsTest, NumbersAfterAFailedPostSurviveARestart) {
    Raw(u8"INSERT INTO sources (id, sourcekind_id, num, source_name) VALUES (1, 1, 1, 'Архив')");
    TLockHolder holder(TLockHolder::Write);
    ASSERT_TRUE(holder.Held());
    Start();
    ASSERT_TRUE(Mod->zSources->Active());
    Mod->zSources->Edit();
    Mod->zSources->FieldByName("source_name")->SetAsString(A(u8"Не сохранится"));
    EXPECT_NE(MessageOf([&] { Mod->zSources->Post(); }), "");
    Mod->zSources->Cancel();
    EXPECT_EQ(Mod->zSources->State(), db::dsBrowse);
    ASSERT_TRUE(holder.Release());

    std::vector<int32_t> numbers;
    for (int i = 0; i < 5; ++i) numbers.push_back(Mod->NextNumber(jOpisi, 1));
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    Mod.reset();
    EXPECT_EQ(One("SELECT next_num FROM numbers WHERE journal = 2 AND kind_id = 1"), "6");
    EXPECT_EQ(One("SELECT source_name FROM sources WHERE id = 1"), U(u8"Архив"));
    EXPECT_EQ(One("PRAGMA integrity_check"), "ok");
    Start();
    EXPECT_EQ(Mod->NextNumber(jOpisi, 1), 6);
}

// Another program reads past the busy time-out while a source is deleted: the commit is refused,
// the source and its documents stay, and no transaction is left open for later writes to join.
TEST_F(ProgramsTest, ARefusedDeletionLeavesTheSourceAndLaterWritesCommitted) {
    Raw("INSERT INTO sources (id, sourcekind_id, source_name) VALUES (1, 1, 'a');"
        "INSERT INTO opisi (source_id) VALUES (1); INSERT INTO events (source_id) VALUES (1);");
    Start();
    TLockHolder reader(TLockHolder::Read);
    ASSERT_TRUE(reader.Held());
    EXPECT_NE(MessageOf([&] { Mod->zSources->Delete(); }), "");
    EXPECT_FALSE(Mod->zServer->InTransaction());
    EXPECT_EQ(Mod->zSources->RecordCount(), 1);
    ASSERT_TRUE(reader.Release());
    EXPECT_EQ(Mod->NextNumber(jEvents, 1), 1);
    // Seen by another program while ours is still open: committed on its own.
    EXPECT_EQ(One("SELECT next_num FROM numbers WHERE journal = 5"), "2");
    EXPECT_EQ(One("SELECT (SELECT count(*) FROM sources) || (SELECT count(*) FROM opisi) || "
                  "(SELECT count(*) FROM events)"),
              "111");
}

// A program left idle after start-up, with more sources than one fetch block, holds no read lock:
// the other program's numbers never wait for it.
TEST_F(ProgramsTest, AnIdleProgramLetsAnotherNumberWithoutWaiting) {
    std::string sources = "INSERT INTO sources (sourcekind_id, num, source_name) VALUES (1, 1, 'Источник 1')";
    for (int i = 2; i <= 100; ++i) sources += ", (1, " + std::to_string(i) + ", 'Источник " + std::to_string(i) + "')";
    Raw(sources);
    TPipe up, quit;
    TProgram idle([&] {
        up.CloseRead();
        quit.CloseWrite();
        TDBMod m(&Services);
        m.DataModuleCreate();
        WithoutFlushes(m);
        const bool open =
            m.zLSources->Active() && m.zLSources->RecordCount() == 100 && m.zSources->RecordCount() == 100;
        up.Put(open ? 1 : 0);
        int32_t any;
        quit.Get(any);  // idle until the test ends it
        return open;
    });
    up.CloseWrite();
    quit.CloseRead();
    int32_t open = 0;
    ASSERT_TRUE(up.Get(open) && open == 1);

    Start();
    WithoutFlushes(*Mod);
    TBusyWaitCounter::Reset();
    std::vector<int32_t> numbers;
    for (int i = 0; i < 100; ++i) numbers.push_back(Mod->NextNumber(jTransfer, 1));
    EXPECT_EQ(TBusyWaitCounter::Waits(), 0);
    EXPECT_EQ(numbers.front(), 1);
    EXPECT_EQ(numbers.back(), 100);
    quit.CloseWrite();
    EXPECT_TRUE(idle.Wait());
}

// Three programs take numbers and post inventories at once: the numbers handed out are distinct
// and run from 1 without a gap, and a post is in the file exactly when it was reported done.
TEST_F(ProgramsTest, ThreeProgramsNumberAndPostAtOnce) {
    constexpr int Programs = 3, Numbers = 200, Posts = 100;
    TPipe ready, go, numbers, posts;
    std::vector<std::unique_ptr<TProgram>> programs;
    for (int p = 0; p < Programs; ++p) {
        programs.push_back(std::make_unique<TProgram>([&, p] {
            ready.CloseRead();
            go.CloseWrite();
            numbers.CloseRead();
            posts.CloseRead();
            TDBMod m(&Services);
            m.DataModuleCreate();
            WithoutFlushes(m);
            m.zOpisi->Open();
            int32_t any;
            if (!ready.Put(1) || go.Get(any)) return false;  // all start together when go closes
            for (int i = 0; i < Numbers; ++i) {
                try {
                    numbers.Put(m.NextNumber(jTransfer, 1));
                } catch (const rtl::Exception&) {
                    numbers.Put(0);  // refused: no number handed out
                }
                if (i % 2) continue;
                const int32_t tag = p * 1000 + i / 2;
                m.NewOpis(1, 0);
                m.zOpisi->FieldByName("units_count")->SetAsInteger(tag);
                try {
                    m.zOpisi->Post();
                    posts.Put(tag);
                } catch (const rtl::Exception&) {
                    m.zOpisi->Cancel();
                    posts.Put(-tag - 1);
                }
            }
            return true;
        }));
    }
    for (TPipe* pipe : {&ready, &numbers, &posts}) pipe->CloseWrite();
    go.CloseRead();
    int32_t one = 0;
    for (int p = 0; p < Programs; ++p) ASSERT_TRUE(ready.Get(one));
    go.CloseWrite();

    std::vector<int32_t> handed;
    int refused = 0;
    for (int32_t n; numbers.Get(n);) {
        if (n > 0)
            handed.push_back(n);
        else
            ++refused;
    }
    std::set<int32_t> done, failed;
    for (int32_t t; posts.Get(t);) (t >= 0 ? done : failed).insert(t >= 0 ? t : -t - 1);
    for (auto& program : programs) EXPECT_TRUE(program->Wait());

    EXPECT_EQ(handed.size() + static_cast<size_t>(refused), static_cast<size_t>(Programs * Numbers));
    std::sort(handed.begin(), handed.end());
    for (size_t i = 0; i < handed.size(); ++i)
        ASSERT_EQ(handed[i], static_cast<int32_t>(i + 1)) << "distinct, from 1, no gap";
    EXPECT_EQ(One("SELECT next_num FROM numbers WHERE journal = 3 AND kind_id = 1"), std::to_string(handed.size() + 1));
    EXPECT_EQ(done.size() + failed.size(), static_cast<size_t>(Programs * Posts));
    std::set<int32_t> stored;
    for (const std::string& t : Column("SELECT units_count FROM opisi"))
        EXPECT_TRUE(stored.insert(std::stoi(t)).second) << t;
    EXPECT_EQ(stored, done);
    const auto nums = Column("SELECT count(DISTINCT num) FROM opisi");
    EXPECT_EQ(nums[0], std::to_string(done.size()));
    EXPECT_EQ(One("PRAGMA integrity_check"), "ok");
}

// Start-up beside a program that takes numbers without pause: each start either connects with
// every start-up query open, or says in words that the database is busy and leaves nothing open.
TEST_F(ProgramsTest, StartUpBesideAWriterConnectsOrSaysTheDatabaseIsBusy) {
    TPipe writing, stop;
    TProgram writer([&] {
        writing.CloseRead();
        stop.CloseWrite();
        TDBMod m(&Services);
        m.DataModuleCreate();
        for (int i = 0; i == 0 || !stop.Closed(); ++i) {
            m.NextNumber(jEvents, 1);
            if (i == 0) writing.Put(1);
        }
        return true;
    });
    writing.CloseWrite();
    stop.CloseRead();
    int32_t started = 0;
    ASSERT_TRUE(writing.Get(started));

    int connected = 0, told = 0;
    for (int i = 0; i < 10; ++i) {
        Services.Messages.clear();
        Start();
        const bool open = Mod->zServer->Connected();
        if (open) {
            ++connected;
            EXPECT_TRUE(Mod->zUsers->Active() && Mod->zSources->Active() && Mod->zLSources->Active() &&
                        Mod->zEPMK->Active());
            EXPECT_TRUE(Services.Messages.empty());
        } else {
            ++told;
            EXPECT_EQ(Services.Messages, std::vector<std::string>{LockMessage()});
            for (VUdeVizov* q : {Mod->zUsers.get(), Mod->zSources.get(), Mod->zLSources.get(), Mod->zEPMK.get()})
                EXPECT_FALSE(q->Active());
        }
        Mod.reset();
    }
    stop.CloseWrite();
    EXPECT_TRUE(writer.Wait());
    EXPECT_EQ(Services.ServerSetups, 0);
    EXPECT_EQ(connected + told, 10);
    EXPECT_EQ(One("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace apptest
