// Switching the journals between years and kinds through the data module, beside the raw engine
// statements the same switches run: 10,000 sources with Cyrillic names, about 3 inventories each.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/DBModUnit.h"

namespace {

constexpr int Sources = 10000;

struct Database {
    std::filesystem::path Dir, OldDir;
    Database() {
        char tmpl[] = "/tmp/velmorat_app_bench_XXXXXX";
        if (!::mkdtemp(tmpl)) std::abort();
        Dir = tmpl;
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
        std::ostringstream script;
        script << in.rdbuf();
        sqlite3* db = nullptr;
        sqlite3_open("velmorat.sdb", &db);
        sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* src = nullptr;
        sqlite3_stmt* inv = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO sources (sourcekind_id, num, source_name, source_fullname, curator_id, ownership) "
                           "VALUES (?, ?, ?, ?, ?, ?)",
                           -1, &src, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO opisi (num, kind_id, source_id, year_of, note, units_count) VALUES (?, ?, ?, ?, ?, ?)",
                           -1, &inv, nullptr);
        for (int i = 1; i <= Sources; ++i) {
            const std::string name = "Источник комплектования № " + std::to_string(i);
            const std::string full = "Государственное учреждение «Архивный фонд» " + std::to_string(i);
            sqlite3_bind_int(src, 1, 1 + i % 5);
            sqlite3_bind_int(src, 2, i);
            sqlite3_bind_text(src, 3, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(src, 4, full.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(src, 5, 1 + i % 4);
            sqlite3_bind_int(src, 6, 1 + i % 4);
            sqlite3_step(src);
            sqlite3_reset(src);
            for (int k = 0; k < 3; ++k) {
                sqlite3_bind_int(inv, 1, i * 3 + k);
                sqlite3_bind_int(inv, 2, 1 + k);
                sqlite3_bind_int(inv, 3, i);
                sqlite3_bind_int(inv, 4, 2010 + (i + k) % 10);
                sqlite3_bind_text(inv, 5, "Опись дел постоянного хранения", -1, SQLITE_STATIC);
                sqlite3_bind_int(inv, 6, 10 + k);
                sqlite3_step(inv);
                sqlite3_reset(inv);
            }
        }
        sqlite3_finalize(src);
        sqlite3_finalize(inv);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~Database() {
        std::filesystem::current_path(OldDir);
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
};

Database& Db() {
    static Database db;
    return db;
}

void BM_JournalSwitch(benchmark::State& state) {
    Db();
    app::TDBMod mod;
    mod.DataModuleCreate();
    mod.SetYear(2010);
    mod.zOpisi->Open();
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) {
            mod.SetYear(2010 + i % 10);
            mod.SetSourceKind(1 + i % 5);
        }
        benchmark::DoNotOptimize(mod.zSources->RecordCount() + mod.zOpisi->RecordCount());
    }
    // Rows the last switch shows, to compare with the raw run's.
    state.counters["rows"] = mod.zSources->RecordCount() + mod.zOpisi->RecordCount();
}

// Steps every row and reads every column, as a fetch does.
int64_t RunAll(sqlite3_stmt* st, int value, int& rows) {
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, value);
    int64_t sum = 0;
    std::string text;
    rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        const int n = sqlite3_column_count(st);
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER: sum += sqlite3_column_int64(st, c); break;
                case SQLITE_TEXT:
                    text.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
                    sum += static_cast<int64_t>(text.size());
                    break;
                default: break;
            }
        }
    }
    return sum;
}

void BM_RawJournalSwitch(benchmark::State& state) {
    Db();
    sqlite3* db = nullptr;
    sqlite3_open("velmorat.sdb", &db);
    sqlite3_stmt* sources = nullptr;
    sqlite3_stmt* opisi = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM sources WHERE sourcekind_id = ?", -1, &sources, nullptr);
    sqlite3_prepare_v2(db, "SELECT * FROM opisi WHERE year_of = ?", -1, &opisi, nullptr);
    int opisiRows = 0, sourceRows = 0;
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < state.range(0); ++i) {
            sum += RunAll(opisi, 2010 + i % 10, opisiRows);
            sum += RunAll(sources, 1 + i % 5, sourceRows);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["rows"] = opisiRows + sourceRows;
    sqlite3_finalize(sources);
    sqlite3_finalize(opisi);
    sqlite3_close(db);
}

BENCHMARK(BM_JournalSwitch)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawJournalSwitch)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
