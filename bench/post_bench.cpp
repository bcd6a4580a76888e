// Posting edits and inserts through the query dataset, each beside raw SQLite prepared statements
// doing the same writes in the same run, with auto-commit and inside one transaction.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/lite_bench_connection.h"

namespace {

using daccess::AnsiString;
using rtl::Variant;

struct TBenchFile {
    std::string Path;
    ~TBenchFile() {
        std::error_code ec;
        if (!Path.empty()) std::filesystem::remove(Path, ec);
    }
};

// sources: 10,000 rows.
const std::string& Database() {
    static TBenchFile file;
    if (!file.Path.empty()) return file.Path;
    file.Path =
        (std::filesystem::temp_directory_path() / ("velmorat_post_bench_" + std::to_string(::getpid()) + ".sdb"))
            .string();
    sqlite3* db = nullptr;
    sqlite3_open(file.Path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER, name VARCHAR(100));"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sources VALUES (?, ?, ?)", -1, &ins, nullptr);
    for (int i = 1; i <= 10000; ++i) {
        sqlite3_reset(ins);
        sqlite3_bind_int(ins, 1, i);
        sqlite3_bind_int(ins, 2, i % 7);
        const std::string name = "source " + std::to_string(i);
        sqlite3_bind_text(ins, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file.Path;
}

struct TPosting {
    rtl::TOwnedPtr<bench::TLiteBenchConnection> Conn;
    rtl::TOwnedPtr<daccess::TCustomDADataSet> DataSet;
    TPosting() {
        Conn.reset(rtl::Create<bench::TLiteBenchConnection>(nullptr));
        Conn->Database = AnsiString(Database());
        Conn->Props = {{sqlite::pidBusyTimeout, Variant(350)}, {sqlite::pidForeignKeys, Variant(false)}};
        Conn->SetLoginPrompt(false);
        Conn->Connect();
        DataSet.reset(Conn->CreateDataSet());
        DataSet->SetSQL("SELECT * FROM sources");
        DataSet->SetFetchAll(true);
        DataSet->Options()->SetExtendedFieldsInfo(true);
        if (std::getenv("POST_BENCH_PREPARE")) DataSet->Options()->SetPrepareUpdateSQL(true);
        DataSet->Open();
    }
};

// The sum of kind over the file, read by raw SQLite: proves the posts reached it.
int64_t KindSum() {
    sqlite3* db = nullptr;
    sqlite3_open(Database().c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT total(kind) FROM sources", -1, &st, nullptr);
    int64_t sum = sqlite3_step(st) == SQLITE_ROW ? static_cast<int64_t>(sqlite3_column_double(st, 0)) : -1;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sum;
}

// Each run writes values no earlier run wrote: an edit that sets the value a row already holds
// changes nothing and posts nothing.
int NextValue() {
    static int value = 0;
    return ++value;
}

void PostEdits(benchmark::State& state, bool InTransaction) {
    TPosting p;
    auto* ds = p.DataSet.get();
    const int64_t before = KindSum();
    bool checked = false;
    for (auto _ : state) {
        if (InTransaction) p.Conn->StartTransaction();
        for (int i = 0; i < state.range(0); ++i) {
            ds->Next();
            if (ds->Eof()) ds->First();
            ds->Edit();
            ds->FieldByName("kind")->SetAsInteger(NextValue());
            ds->Post();
        }
        if (InTransaction) p.Conn->Commit();
        if (!checked) {
            checked = true;
            state.PauseTiming();
            if (KindSum() == before) {
                state.SkipWithError("the posts did not reach the file");
                break;
            }
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void RawUpdates(benchmark::State& state, bool InTransaction) {
    Database();
    sqlite3* db = nullptr;
    sqlite3_open(Database().c_str(), &db);
    sqlite3_stmt* upd = nullptr;
    sqlite3_prepare_v2(db, "UPDATE sources SET kind = ? WHERE id = ?", -1, &upd, nullptr);
    int id = 0;
    for (auto _ : state) {
        if (InTransaction) sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int i = 0; i < state.range(0); ++i) {
            id = id % 10000 + 1;
            sqlite3_reset(upd);
            sqlite3_bind_int(upd, 1, NextValue());
            sqlite3_bind_int(upd, 2, id);
            if (sqlite3_step(upd) != SQLITE_DONE || sqlite3_changes(db) != 1) state.SkipWithError("update failed");
        }
        if (InTransaction) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(upd);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PostEdit(benchmark::State& state) { PostEdits(state, false); }
void BM_RawUpdate(benchmark::State& state) { RawUpdates(state, false); }
void BM_PostEditInTransaction(benchmark::State& state) { PostEdits(state, true); }
void BM_RawUpdateInTransaction(benchmark::State& state) { RawUpdates(state, true); }

void PostInserts(benchmark::State& state, bool InTransaction) {
    TPosting p;
    auto* ds = p.DataSet.get();
    int64_t sum = 0;
    for (auto _ : state) {
        if (InTransaction) p.Conn->StartTransaction();
        for (int i = 0; i < state.range(0); ++i) {
            ds->Append();
            ds->FieldByName("kind")->SetAsInteger(i);
            ds->FieldByName("name")->SetAsString("inserted");
            ds->Post();
            sum += ds->FieldByName("id")->AsInteger();
        }
        if (InTransaction) p.Conn->Commit();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void RawInserts(benchmark::State& state, bool InTransaction) {
    sqlite3* db = nullptr;
    sqlite3_open(Database().c_str(), &db);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sources (kind, name) VALUES (?, ?)", -1, &ins, nullptr);
    int64_t sum = 0;
    for (auto _ : state) {
        if (InTransaction) sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int i = 0; i < state.range(0); ++i) {
            sqlite3_reset(ins);
            sqlite3_bind_int(ins, 1, i);
            sqlite3_bind_text(ins, 2, "inserted", -1, SQLITE_STATIC);
            if (sqlite3_step(ins) != SQLITE_DONE) state.SkipWithError("insert failed");
            sum += sqlite3_last_insert_rowid(db);
        }
        if (InTransaction) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    benchmark::DoNotOptimize(sum);
    sqlite3_finalize(ins);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PostInsert(benchmark::State& state) { PostInserts(state, false); }
void BM_RawInsert(benchmark::State& state) { RawInserts(state, false); }
void BM_PostInsertInTransaction(benchmark::State& state) { PostInserts(state, true); }
void BM_RawInsertInTransaction(benchmark::State& state) { RawInserts(state, true); }

}  // namespace

BENCHMARK(BM_PostEdit)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawUpdate)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostInsert)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawInsert)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostEditInTransaction)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawUpdateInTransaction)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostInsertInTransaction)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawInsertInTransaction)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
