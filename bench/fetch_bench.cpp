// Fetching a whole table through the provider's record set beside the same fetch with the raw
// SQLite C API copying every column into row structs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/components/Uni.h"
#include "bench/bench_common.h"
#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "framework/rtl/Text.h"

namespace {

using bench::RandomText;
using bench::TBenchFile;

// The generated database, made once per process.
const std::string& Database(int rows) {
    static TBenchFile file;
    std::string& path = file.Path;
    static int made = 0;
    if (made == rows) return path;
    path = (std::filesystem::temp_directory_path() / ("velmorat_fetch_bench_" + std::to_string(::getpid()) + ".sdb"))
               .string();
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE sources (id INTEGER PRIMARY KEY, kind INTEGER, year INTEGER, name VARCHAR(100),"
                 " city VARCHAR(60), head VARCHAR(60), note TEXT, created DATE);"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO sources VALUES (?, ?, ?, ?, ?, ?, ?, ?)", -1, &ins, nullptr);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pct(0, 99);
    for (int i = 1; i <= rows; ++i) {
        sqlite3_reset(ins);
        sqlite3_bind_int(ins, 1, i);
        auto maybe = [&](int col, auto bind) {
            if (pct(rng) < 30)
                sqlite3_bind_null(ins, col);
            else
                bind();
        };
        maybe(2, [&] { sqlite3_bind_int(ins, 2, i % 7); });
        maybe(3, [&] { sqlite3_bind_int(ins, 3, 1950 + i % 70); });
        std::string t[4] = {RandomText(rng, 20, 80), RandomText(rng, 5, 40), RandomText(rng, 10, 50),
                            RandomText(rng, 100, 300)};
        maybe(4, [&] { sqlite3_bind_text(ins, 4, t[0].c_str(), -1, SQLITE_TRANSIENT); });
        maybe(5, [&] { sqlite3_bind_text(ins, 5, t[1].c_str(), -1, SQLITE_TRANSIENT); });
        maybe(6, [&] { sqlite3_bind_text(ins, 6, t[2].c_str(), -1, SQLITE_TRANSIENT); });
        maybe(7, [&] { sqlite3_bind_text(ins, 7, t[3].c_str(), -1, SQLITE_TRANSIENT); });
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", 1990 + i % 30, 1 + i % 12, 1 + i % 28);
        maybe(8, [&] { sqlite3_bind_text(ins, 8, date, -1, SQLITE_TRANSIENT); });
        sqlite3_step(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    made = rows;
    return path;
}

struct Row {
    int64_t id = 0;
    std::optional<int64_t> kind, year;
    std::optional<std::string> name, city, head, note, created;
};

// Bytes the allocator has handed out and not yet taken back.
double HeapInUse() { return static_cast<double>(mallinfo2().uordblks); }

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
double ProcStatus(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, key.size() + 1, key + ":") == 0) return std::stod(line.substr(key.size() + 1)) * 1024.0;
    return 0;
}

// The highest resident memory reached since it was made, above what was resident then: freed
// memory goes back to the system first and the kernel's high-water mark starts again from here.
class TPeakMeter {
public:
    TPeakMeter() {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        FBase = ProcStatus("VmRSS");
    }
    double Growth() const { return ProcStatus("VmHWM") - FBase; }

private:
    double FBase = 0;
};

void BM_RawSqliteFetch(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const std::string& path = Database(rows);
    double held = 0, peak = 0, data = 0;
    // The peak is taken in one more run after the timed ones: measuring it returns freed memory
    // to the system first, which would slow the run it measures.
    auto once = [&](bool measure) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        const double before = HeapInUse();
        std::optional<TPeakMeter> meter;
        if (measure) meter.emplace();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT * FROM sources", -1, &st, nullptr);
        std::vector<Row> out;
        data = 0;
        auto text = [&](int c) -> std::optional<std::string> {
            if (sqlite3_column_type(st, c) == SQLITE_NULL) return std::nullopt;
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                               static_cast<size_t>(sqlite3_column_bytes(st, c)));
        };
        auto integer = [&](int c) -> std::optional<int64_t> {
            if (sqlite3_column_type(st, c) == SQLITE_NULL) return std::nullopt;
            return sqlite3_column_int64(st, c);
        };
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row r;
            r.id = sqlite3_column_int64(st, 0);
            r.kind = integer(1);
            r.year = integer(2);
            r.name = text(3);
            r.city = text(4);
            r.head = text(5);
            r.note = text(6);
            r.created = text(7);
            if (measure) {
                for (const auto* t : {&r.name, &r.city, &r.head, &r.note, &r.created})
                    if (*t) data += static_cast<double>((*t)->size());
                data += 3 * sizeof(int64_t);
            }
            out.push_back(std::move(r));
        }
        held = HeapInUse() - before;
        if (meter) peak = meter->Growth();
        sqlite3_finalize(st);
        sqlite3_close(db);
        benchmark::DoNotOptimize(out.data());
        if (static_cast<int>(out.size()) != rows) state.SkipWithError("row count");
    };
    for (auto _ : state) once(false);
    once(true);
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["held_mb"] = held / (1024.0 * 1024.0);
    state.counters["peak_mb"] = peak / (1024.0 * 1024.0);
    // The bytes of the values themselves: text lengths and eight bytes a number.
    state.counters["data_mb"] = data / (1024.0 * 1024.0);
}

// The application's connection options; Unicode switches text fields to UTF-16.
rtl::TOwnedPtr<sqlite::TSQLiteConnection> Connect(const std::string& path, bool unicode) {
    rtl::TOwnedPtr<sqlite::TSQLiteConnection> conn(rtl::Create<sqlite::TSQLiteConnection>());
    conn->SetProp(daccess::pidDatabase, rtl::Variant(path));
    conn->SetProp(sqlite::pidBusyTimeout, rtl::Variant(350));
    conn->SetProp(sqlite::pidReadUncommitted, rtl::Variant(true));
    conn->SetProp(sqlite::pidEnableSharedCache, rtl::Variant(true));
    conn->SetProp(sqlite::pidForeignKeys, rtl::Variant(false));
    conn->SetProp(sqlite::pidUseUnicode, rtl::Variant(unicode));
    conn->Connect("");
    return conn;
}

rtl::TOwnedPtr<sqlite::TSQLiteRecordSet> OpenAll(sqlite::TSQLiteConnection* conn) {
    rtl::TOwnedPtr<sqlite::TSQLiteRecordSet> rs(rtl::Create<sqlite::TSQLiteRecordSet>());
    rs->SetConnection(conn);
    rs->SetSQL("SELECT * FROM sources");
    rs->SetProp(daccess::pidFetchAll, rtl::Variant(true));
    rs->Open();
    return rs;
}

// Memory is what the open record set holds: the heap in use with it open, less before.
void FetchAll(benchmark::State& state, bool unicode, bool readBack) {
    const int rows = static_cast<int>(state.range(0));
    const std::string& path = Database(rows);
    double held = 0;
    for (auto _ : state) {
        auto conn = Connect(path, unicode);
        const double before = HeapInUse();
        auto rs = OpenAll(conn.get());
        held = HeapInUse() - before;
        if (rs->GetRecordCount() != rows) state.SkipWithError("row count");
        if (readBack) {
            void* buf = rs->AllocRecBuf();
            size_t cells = 0;
            rs->SetToBegin();
            const int fields = rs->FieldCount();
            while (true) {
                rs->GetNextRecord(buf);
                if (rs->GetEof()) break;
                for (int f = 1; f <= fields; ++f) {
                    rtl::Variant v = rs->GetFieldValue(f, buf);
                    benchmark::DoNotOptimize(v);
                    ++cells;
                }
            }
            rs->FreeRecBuf(buf);
            if (cells != static_cast<size_t>(rows) * static_cast<size_t>(fields)) state.SkipWithError("cell count");
        }
        benchmark::DoNotOptimize(rs->FirstItem());
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["held_mb"] = held / (1024.0 * 1024.0);
}

void BM_RecordSetFetchAll(benchmark::State& state) { FetchAll(state, false, false); }

// The application's road: a universal query with the FetchAll line, every field read through its
// TField. Memory is what the open query holds beside the open connection.
void BM_UniQueryFetchAll(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const std::string& path = Database(rows);
    double held = 0, peak = 0;
    auto once = [&](bool measure) {
        rtl::TOwnedPtr<components::TUniConnection> conn(rtl::Create<components::TUniConnection>(nullptr));
        conn->SetLoginPrompt(false);
        conn->SetProviderName("SQLite");
        for (const char* line : {"SQLite.BusyTimeout=350", "SQLite.ReadUncommitted=True",
                                 "SQLite.EnableSharedCache=True", "SQLite.ForeignKeys=False"})
            conn->SpecificOptions()->Add(line);
        conn->SetDatabase(path);
        conn->Connect();
        const double before = HeapInUse();
        std::optional<TPeakMeter> meter;
        if (measure) meter.emplace();
        rtl::TOwnedPtr<components::VUdeVizov> q(rtl::Create<components::VUdeVizov>(nullptr));
        q->SetConnection(conn.get());
        q->SpecificOptions()->Add("SQLite.FetchAll=True");
        q->SetSQL("SELECT * FROM sources");
        q->Open();
        size_t cells = 0;
        const int fields = q->Fields().Count();
        for (; !q->Eof(); q->Next())
            for (int f = 0; f < fields; ++f) {
                rtl::Variant v = q->Fields()[f]->Value();
                benchmark::DoNotOptimize(v);
                ++cells;
            }
        held = HeapInUse() - before;
        if (meter) peak = meter->Growth();
        if (cells != static_cast<size_t>(rows) * static_cast<size_t>(fields)) state.SkipWithError("cell count");
    };
    for (auto _ : state) once(false);
    once(true);
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["held_mb"] = held / (1024.0 * 1024.0);
    state.counters["peak_mb"] = peak / (1024.0 * 1024.0);
}
void BM_RecordSetFetchAllUnicode(benchmark::State& state) { FetchAll(state, true, false); }
void BM_RecordSetFetchAllReadBack(benchmark::State& state) { FetchAll(state, false, true); }

}  // namespace

using bench::Fastest;

BENCHMARK(BM_RawSqliteFetch)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_UniQueryFetchAll)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_RecordSetFetchAll)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_RecordSetFetchAllUnicode)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_RecordSetFetchAllReadBack)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);

BENCHMARK_MAIN();
