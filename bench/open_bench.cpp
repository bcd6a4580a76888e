// The query dataset's open, FilterSQL reopen and master/detail scroll, each beside the raw SQLite
// C API doing the same work in the same run: statements prepared and stepped, every row kept in
// memory and every value read. Run one case per process (--benchmark_filter) to read its own peak
// memory from the peak_rss_mb counter.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bench/lite_bench_connection.h"
#include "data/access/DBAccess.h"
#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/Text.h"

namespace {

using daccess::AnsiString;
using rtl::Variant;

using bench::RandomText;
using bench::TBenchFile;

// sources: 100,000 rows of 8 columns (integers, Cyrillic texts, a date, a real, NULLs);
// organisations: 5 rows for each of the first 1,000 sources.
const std::string& Database() {
    static TBenchFile file;
    if (!file.Path.empty()) return file.Path;
    file.Path = bench::TempDatabasePath("open_bench");
    sqlite3* db = nullptr;
    sqlite3_open(file.Path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER, name VARCHAR(100), city VARCHAR(60),"
                 " created DATE, share REAL, note TEXT, year INTEGER);"
                 "CREATE TABLE organisations (id INTEGER PRIMARY KEY, source_id INTEGER, title VARCHAR(100));"
                 "CREATE INDEX organisations_source ON organisations (source_id);"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sources VALUES (?, ?, ?, ?, ?, ?, ?, ?)", -1, &ins, nullptr);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pct(0, 99);
    for (int i = 1; i <= 100000; ++i) {
        sqlite3_reset(ins);
        sqlite3_bind_int(ins, 1, i);
        auto maybe = [&](int col, auto bind) {
            if (pct(rng) < 20)
                sqlite3_bind_null(ins, col);
            else
                bind();
        };
        sqlite3_bind_int(ins, 2, i % 7);
        const std::string name = RandomText(rng, 20, 80), city = RandomText(rng, 5, 40), note = RandomText(rng, 10, 60);
        sqlite3_bind_text(ins, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        maybe(4, [&] { sqlite3_bind_text(ins, 4, city.c_str(), -1, SQLITE_TRANSIENT); });
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + i % 30, 1 + i % 12, 1 + i % 28);
        maybe(5, [&] { sqlite3_bind_text(ins, 5, date, -1, SQLITE_TRANSIENT); });
        maybe(6, [&] { sqlite3_bind_double(ins, 6, i / 7.0); });
        maybe(7, [&] { sqlite3_bind_text(ins, 7, note.c_str(), -1, SQLITE_TRANSIENT); });
        maybe(8, [&] { sqlite3_bind_int(ins, 8, 1950 + i % 70); });
        sqlite3_step(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_prepare_v2(db, "INSERT INTO organisations (source_id, title) VALUES (?, ?)", -1, &ins, nullptr);
    for (int s = 1; s <= 1000; ++s)
        for (int k = 0; k < 5; ++k) {
            sqlite3_reset(ins);
            sqlite3_bind_int(ins, 1, s);
            const std::string title = RandomText(rng, 10, 60);
            sqlite3_bind_text(ins, 2, title.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(ins);
        }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file.Path;
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

rtl::TOwnedPtr<bench::TLiteBenchConnection> NewConnection() {
    rtl::TOwnedPtr<bench::TLiteBenchConnection> conn(rtl::Create<bench::TLiteBenchConnection>(nullptr));
    conn->SetLoginPrompt(false);
    conn->Database = AnsiString(Database());
    conn->Props = {{sqlite::pidBusyTimeout, Variant(350)},
                   {sqlite::pidReadUncommitted, Variant(true)},
                   {sqlite::pidEnableSharedCache, Variant(true)},
                   {sqlite::pidForeignKeys, Variant(false)}};
    conn->LiteDataSetService = false;
    conn->Connect();
    return conn;
}

// One stored row of the raw side: every column as the engine gives it.
struct RawValue {
    int type = SQLITE_NULL;
    int64_t i = 0;
    double d = 0;
    std::string s;
};

// Runs SQL with optional integer parameters and keeps every row.
std::vector<std::vector<RawValue>> RawFetch(sqlite3* db, const char* sql, std::initializer_list<int> params = {}) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    int n = 1;
    for (int p : params) sqlite3_bind_int(st, n++, p);
    const int cols = sqlite3_column_count(st);
    std::vector<std::vector<RawValue>> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<RawValue> row(static_cast<size_t>(cols));
        for (int c = 0; c < cols; ++c) {
            RawValue& v = row[static_cast<size_t>(c)];
            v.type = sqlite3_column_type(st, c);
            if (v.type == SQLITE_INTEGER)
                v.i = sqlite3_column_int64(st, c);
            else if (v.type == SQLITE_FLOAT)
                v.d = sqlite3_column_double(st, c);
            else if (v.type != SQLITE_NULL)
                v.s.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                           static_cast<size_t>(sqlite3_column_bytes(st, c)));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

// Reads every value once, as a caller would.
int64_t Touch(const std::vector<std::vector<RawValue>>& rows) {
    int64_t sum = 0;
    for (const auto& row : rows)
        for (const RawValue& v : row) sum += v.type == SQLITE_NULL ? 0 : v.i + static_cast<int64_t>(v.d) + v.s.size();
    return sum;
}

int64_t Touch(daccess::TCustomDADataSet* ds) {
    int64_t sum = 0;
    const int n = ds->FieldCount();
    for (ds->First(); !ds->Eof(); ds->Next())
        for (int f = 0; f < n; ++f) {
            const Variant v = ds->Fields()[f]->Value();
            sum += v.IsNull() ? 0 : 1;
        }
    return sum;
}

const char* const FetchSQL = "SELECT id, kind, name, city, created, share, note, year FROM sources";

// One source row as the raw side keeps it.
struct SourceRow {
    int64_t id = 0, kind = 0;
    std::optional<int64_t> year;
    std::optional<double> share;
    std::string name;
    std::optional<std::string> city, created, note;
};

void BM_RawOpenFetchAll(benchmark::State& state) {
    const std::string& path = Database();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, FetchSQL, -1, &st, nullptr);
        auto text = [&](int c) -> std::optional<std::string> {
            if (sqlite3_column_type(st, c) == SQLITE_NULL) return std::nullopt;
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                               static_cast<size_t>(sqlite3_column_bytes(st, c)));
        };
        std::vector<SourceRow> rows;
        while (sqlite3_step(st) == SQLITE_ROW) {
            SourceRow r;
            r.id = sqlite3_column_int64(st, 0);
            r.kind = sqlite3_column_int64(st, 1);
            r.name = *text(2);
            r.city = text(3);
            r.created = text(4);
            if (sqlite3_column_type(st, 5) != SQLITE_NULL) r.share = sqlite3_column_double(st, 5);
            r.note = text(6);
            if (sqlite3_column_type(st, 7) != SQLITE_NULL) r.year = sqlite3_column_int64(st, 7);
            rows.push_back(std::move(r));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        int64_t sum = 0;
        for (const SourceRow& r : rows)
            sum += r.id + r.kind + r.year.value_or(0) + static_cast<int64_t>(r.share.value_or(0)) + r.name.size() +
                   (r.city ? r.city->size() : 0) + (r.created ? r.created->size() : 0) + (r.note ? r.note->size() : 0);
        benchmark::DoNotOptimize(sum);
        if (static_cast<int64_t>(rows.size()) != state.range(0)) state.SkipWithError("row count");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

void BM_DataSetOpenFetchAll(benchmark::State& state) {
    Database();
    for (auto _ : state) {
        auto conn = NewConnection();
        rtl::TOwnedPtr<daccess::TCustomDADataSet> ds(conn->CreateDataSet());
        ds->SetSQL(FetchSQL);
        ds->SetFetchAll(true);
        ds->Open();
        benchmark::DoNotOptimize(Touch(ds.get()));
        if (ds->RecordCount() != state.range(0)) state.SkipWithError("row count");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

// The 100 conditions both sides run in turn on the first rows of the table.
std::vector<std::string> FilterConditions() {
    std::vector<std::string> c;
    for (int i = 0; i < 100; ++i) c.push_back("kind = " + std::to_string(i % 7));
    return c;
}

void BM_RawFilterReopen(benchmark::State& state) {
    const std::string& path = Database();
    const auto conditions = FilterConditions();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    for (auto _ : state) {
        for (const std::string& c : conditions) {
            const std::string sql =
                std::string(FetchSQL) + " WHERE (id <= " + std::to_string(state.range(0)) + ") AND " + c;
            auto rows = RawFetch(db, sql.c_str());
            benchmark::DoNotOptimize(rows.data());
        }
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * 100);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

void BM_FilterSQLReopen(benchmark::State& state) {
    Database();
    const auto conditions = FilterConditions();
    auto conn = NewConnection();
    rtl::TOwnedPtr<daccess::TCustomDADataSet> ds(conn->CreateDataSet());
    ds->SetSQL(AnsiString(FetchSQL) + " WHERE id <= " + std::to_string(state.range(0)));
    ds->SetFetchAll(true);
    ds->Open();
    for (auto _ : state) {
        for (const std::string& c : conditions) {
            ds->SetFilterSQL(c);
            benchmark::DoNotOptimize(ds->RecordCount());
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

void BM_RawMasterScroll(benchmark::State& state) {
    const std::string& path = Database();
    const int masters = static_cast<int>(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    for (auto _ : state) {
        auto master = RawFetch(db, "SELECT * FROM sources WHERE id <= 1000 ORDER BY id");
        for (int m = 0; m < masters; ++m) {
            auto detail = RawFetch(db, "SELECT * FROM organisations WHERE source_id = ?",
                                   {static_cast<int>(master[static_cast<size_t>(m)][0].i)});
            benchmark::DoNotOptimize(Touch(detail));
        }
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * masters);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

void BM_MasterScroll(benchmark::State& state) {
    Database();
    const int masters = static_cast<int>(state.range(0));
    auto conn = NewConnection();
    rtl::TOwnedPtr<daccess::TCustomDADataSet> master(conn->CreateDataSet());
    master->SetSQL("SELECT * FROM sources WHERE id <= 1000 ORDER BY id");
    master->SetFetchAll(true);
    rtl::TOwnedPtr<daccess::TCRDataSource> src(rtl::Create<daccess::TCRDataSource>(nullptr));
    src->SetDataSet(master.get());
    rtl::TOwnedPtr<daccess::TCustomDADataSet> detail(conn->CreateDataSet());
    detail->SetSQL("SELECT * FROM organisations");
    detail->SetFetchAll(true);
    detail->SetMasterSource(src.get());
    detail->SetMasterFields(u"id");
    detail->SetDetailFields(u"source_id");
    for (auto _ : state) {
        master->Close();
        master->Open();
        detail->Open();
        for (int m = 0; m < masters; ++m) {
            benchmark::DoNotOptimize(Touch(detail.get()));
            master->Next();
        }
        if (detail->RecordCount() != 5) state.SkipWithError("detail rows");
    }
    state.SetItemsProcessed(state.iterations() * masters);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024.0;
}

}  // namespace

BENCHMARK(BM_RawOpenFetchAll)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetOpenFetchAll)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFilterReopen)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterSQLReopen)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawMasterScroll)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MasterScroll)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
