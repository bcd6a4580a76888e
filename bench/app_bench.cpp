// Switching the journals between years and kinds through the data module, beside the raw engine
// statements the same switches run: 10,000 sources with Cyrillic names, about 3 inventories each.
// Running numbers taken by two programs at once on one file, beside one program taking as many.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/DBModUnit.h"
#include "bench/app_bench_db.h"
#include "tests/support/busy_wait_counter.h"
#include "tests/support/programs.h"

namespace {

constexpr int Sources = 10000;

struct Database {
    bench::TInstalledDatabase Files{"velmorat_app_bench"};
    Database() {
        sqlite3* db = Files.Db;
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* src = nullptr;
        sqlite3_stmt* inv = nullptr;
        sqlite3_prepare_v2(
            db,
            "INSERT INTO sources (sourcekind_id, num, source_name, source_fullname, curator_id, ownership) "
            "VALUES (?, ?, ?, ?, ?, ?)",
            -1, &src, nullptr);
        sqlite3_prepare_v2(
            db, "INSERT INTO opisi (num, kind_id, source_id, year_of, note, units_count) VALUES (?, ?, ?, ?, ?, ?)", -1,
            &inv, nullptr);
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
        Files.Close();
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

// A database with the schema alone, in a folder of its own, for the numbering programs.
struct NumbersDatabase {
    std::filesystem::path Dir;
    NumbersDatabase() {
        char tmpl[] = "/tmp/velmorat_numbers_bench_XXXXXX";
        if (!::mkdtemp(tmpl)) std::abort();
        Dir = tmpl;
        std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
        std::ostringstream script;
        script << in.rdbuf();
        sqlite3* db = nullptr;
        sqlite3_open((Dir / "velmorat.sdb").c_str(), &db);
        sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~NumbersDatabase() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
};

// Programs started as processes, each with its data module up before the clock starts; the time
// runs from the moment all may start until the last has taken its numbers. Each program reports
// its busy waits, or -1 when a number was refused.
void RunNumberingPrograms(benchmark::State& state, int Programs) {
    static NumbersDatabase db;
    const int each = static_cast<int>(state.range(0));
    int64_t waits = 0, refused = 0;
    for (auto _ : state) {
        apptest::TPipe ready, go, done;
        std::vector<std::unique_ptr<apptest::TProgram>> programs;
        for (int p = 0; p < Programs; ++p) {
            programs.push_back(std::make_unique<apptest::TProgram>([&] {
                ready.CloseRead();
                go.CloseWrite();
                done.CloseRead();
                std::filesystem::current_path(db.Dir);
                apptest::TBusyWaitCounter::Install();
                app::TDBMod m;
                m.DataModuleCreate();
                int32_t any;
                if (!ready.Put(1) || go.Get(any)) return false;
                apptest::TBusyWaitCounter::Reset();
                bool ok = true;
                for (int i = 0; i < each; ++i) {
                    try {
                        m.NextNumber(app::jOpisi, 1);
                    } catch (const rtl::Exception&) {
                        ok = false;
                    }
                }
                done.Put(ok ? static_cast<int32_t>(apptest::TBusyWaitCounter::Waits()) : -1);
                return true;
            }));
        }
        ready.CloseWrite();
        go.CloseRead();
        done.CloseWrite();
        int32_t value = 0;
        for (int p = 0; p < Programs; ++p)
            if (!ready.Get(value)) state.SkipWithError("a program did not start");
        const auto start = std::chrono::steady_clock::now();
        go.CloseWrite();
        for (int p = 0; p < Programs && done.Get(value); ++p) {
            if (value < 0)
                ++refused;
            else
                waits += value;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        for (auto& program : programs)
            if (!program->Wait()) state.SkipWithError("a program failed");
    }
    state.counters["busy_waits"] = benchmark::Counter(static_cast<double>(waits), benchmark::Counter::kAvgIterations);
    state.counters["refused"] = static_cast<double>(refused);
    state.SetItemsProcessed(state.iterations() * each * Programs);
}

void BM_NumbersTwoPrograms(benchmark::State& state) { RunNumberingPrograms(state, 2); }
void BM_NumbersOneProgram(benchmark::State& state) { RunNumberingPrograms(state, 1); }

BENCHMARK(BM_JournalSwitch)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawJournalSwitch)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumbersTwoPrograms)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumbersOneProgram)->Arg(400)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
