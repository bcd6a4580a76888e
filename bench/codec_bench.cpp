// Encrypted against plain database files: a full scan of a table read cold from its file (each
// run opens the database afresh, so every page passes the codec) and a batch of inserts in one
// transaction. The plain cases use the raw SQLite C API on the default file layer.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "bench/bench_common.h"
#include "data/sqlite/LiteStaticUni.h"

namespace {

using sqlite::TLiteEncryptionAlgorithm;

constexpr const char* Key = "archive key";

std::string TempPath(const std::string& tag) { return bench::TempDatabasePath("codec_bench_" + tag); }

void RemoveFiles(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::remove(path + "-journal", ec);
}

// Plain files through the raw API, encrypted ones through the codec.
sqlite3* OpenDb(const std::string& path, TLiteEncryptionAlgorithm algorithm) {
    sqlite3* db = nullptr;
    if (algorithm == sqlite::leDefault)
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    else
        sqlite::OpenCodecDatabase(path.c_str(), &db, Key, algorithm);
    return db;
}

const char* CreateSQL =
    "CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER, year INTEGER, name TEXT, city TEXT, amount REAL)";
const char* InsertSQL = "INSERT INTO sources (kind, year, name, city, amount) VALUES (?, ?, ?, ?, ?)";

void InsertRows(sqlite3* db, int rows) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, InsertSQL, -1, &st, nullptr);
    for (int i = 0; i < rows; ++i) {
        std::string name = "Организация по учёту документов района № " + std::to_string(i);
        sqlite3_bind_int(st, 1, i % 5);
        sqlite3_bind_int(st, 2, 1990 + i % 35);
        sqlite3_bind_text(st, 3, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, "Городской округ", -1, SQLITE_STATIC);
        sqlite3_bind_double(st, 5, i * 1.25);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// One file per algorithm and row count, made on first use and removed at exit.
struct TScanFiles {
    std::map<std::string, std::string> Paths;
    ~TScanFiles() {
        for (auto& [tag, path] : Paths) RemoveFiles(path);
    }
    const std::string& Get(TLiteEncryptionAlgorithm algorithm, int rows) {
        std::string tag = "scan" + std::to_string(int(algorithm)) + "_" + std::to_string(rows);
        auto it = Paths.find(tag);
        if (it != Paths.end()) return it->second;
        std::string path = TempPath(tag);
        RemoveFiles(path);
        sqlite3* db = OpenDb(path, algorithm);
        sqlite3_exec(db, CreateSQL, nullptr, nullptr, nullptr);
        InsertRows(db, rows);
        sqlite3_close(db);
        return Paths[tag] = path;
    }
};

TScanFiles& ScanFiles() {
    static TScanFiles files;
    return files;
}

void Scan(benchmark::State& state, TLiteEncryptionAlgorithm algorithm) {
    const int rows = static_cast<int>(state.range(0));
    const std::string& path = ScanFiles().Get(algorithm, rows);
    for (auto _ : state) {
        sqlite3* db = OpenDb(path, algorithm);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT id, kind, year, name, city, amount FROM sources", -1, &st, nullptr);
        int64_t sum = 0;
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int64(st, 0) + sqlite3_column_int(st, 2) + sqlite3_column_bytes(st, 3);
            ++n;
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        if (n != rows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void Insert(benchmark::State& state, TLiteEncryptionAlgorithm algorithm) {
    const int rows = static_cast<int>(state.range(0));
    const std::string path = TempPath("insert" + std::to_string(int(algorithm)));
    for (auto _ : state) {
        state.PauseTiming();
        RemoveFiles(path);
        sqlite3* db = OpenDb(path, algorithm);
        sqlite3_exec(db, CreateSQL, nullptr, nullptr, nullptr);
        state.ResumeTiming();
        InsertRows(db, rows);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    RemoveFiles(path);
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_ScanPlain(benchmark::State& s) { Scan(s, sqlite::leDefault); }
void BM_ScanAES256(benchmark::State& s) { Scan(s, sqlite::leAES256); }
void BM_ScanBlowfish(benchmark::State& s) { Scan(s, sqlite::leBlowfish); }
void BM_InsertPlain(benchmark::State& s) { Insert(s, sqlite::leDefault); }
void BM_InsertAES256(benchmark::State& s) { Insert(s, sqlite::leAES256); }
void BM_InsertBlowfish(benchmark::State& s) { Insert(s, sqlite::leBlowfish); }

}  // namespace

BENCHMARK(BM_ScanPlain)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanAES256)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanBlowfish)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertPlain)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertAES256)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertBlowfish)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
