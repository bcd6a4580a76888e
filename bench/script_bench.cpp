// The script component against the engine's own exec of the same text: a script of INSERT
// statements inside one transaction, on a database file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/lite_bench_connection.h"
#include "data/components/DAScript.h"
#include "data/sqlite/LiteServicesUni_Processors.h"

namespace {

using bench::TLiteBenchConnection;

class TBenchScript : public components::TDAScript {
    RTL_CLASS(TBenchScript, components::TDAScript)
public:
    using TDAScript::TDAScript;
    const components::TDAScriptProcessorClass& GetProcessorClass() override {
        return sqlite::TLiteScriptProcessor::StaticClass();
    }
};

std::string InsertScript(int Rows) {
    std::string text = "BEGIN;\n";
    for (int i = 0; i < Rows; ++i)
        text += "INSERT INTO t VALUES (" + std::to_string(i) + ", 'name " + std::to_string(i) + "', " +
                std::to_string(i) + ".5);\n";
    text += "COMMIT;\n";
    return text;
}

struct TempDb {
    TempDb() {
        char tmpl[] = "/tmp/velmorat_bench_XXXXXX";
        Dir = ::mkdtemp(tmpl);
        File = (Dir / "bench.sdb").string();
        std::ofstream(File, std::ios::binary).flush();
    }
    ~TempDb() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::filesystem::path Dir;
    std::string File;
};

rtl::TOwnedPtr<TLiteBenchConnection> Connected(const std::string& File) {
    rtl::TOwnedPtr<TLiteBenchConnection> conn(rtl::Create<TLiteBenchConnection>(nullptr));
    conn->SetLoginPrompt(false);
    conn->Database = File;
    conn->Connect();
    return conn;
}

const char* const kSetUp = "PRAGMA synchronous = OFF; CREATE TABLE IF NOT EXISTS t (id INTEGER PRIMARY KEY, name TEXT, v REAL)";

void BM_ScriptExecute(benchmark::State& state) {
    TempDb db;
    rtl::TOwnedPtr<TLiteBenchConnection> conn = Connected(db.File);
    conn->ExecSQL("PRAGMA synchronous = OFF");
    conn->ExecSQL("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, v REAL)");
    rtl::TOwnedPtr<TBenchScript> script(rtl::Create<TBenchScript>(nullptr));
    script->InternalSQL()->SetConnection(conn.get());
    script->SQL()->SetText(InsertScript(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        conn->ExecSQL("DELETE FROM t");
        state.ResumeTiming();
        script->Execute();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScriptExecute)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RawExec(benchmark::State& state) {
    TempDb db;
    sqlite3* raw = nullptr;
    sqlite3_open(db.File.c_str(), &raw);
    sqlite3_exec(raw, kSetUp, nullptr, nullptr, nullptr);
    const std::string text = InsertScript(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3_exec(raw, "DELETE FROM t", nullptr, nullptr, nullptr);
        state.ResumeTiming();
        if (sqlite3_exec(raw, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) state.SkipWithError("exec failed");
    }
    sqlite3_close(raw);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawExec)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
namespace {
void BM_ScriptSplitOnly(benchmark::State& state) {
    TempDb db;
    rtl::TOwnedPtr<TLiteBenchConnection> conn = Connected(db.File);
    rtl::TOwnedPtr<TBenchScript> script(rtl::Create<TBenchScript>(nullptr));
    script->InternalSQL()->SetConnection(conn.get());
    script->SQL()->SetText(InsertScript(static_cast<int>(state.range(0))));
    script->BeforeExecute = [](rtl::TObject*, rtl::AnsiString&, bool& Omit) { Omit = true; };
    for (auto _ : state) script->Execute();
}
BENCHMARK(BM_ScriptSplitOnly)->Arg(10000)->Unit(benchmark::kMillisecond);
}
