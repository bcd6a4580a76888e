// The script component against the engine's own exec of the same text: a script of INSERT
// statements inside one transaction, on a database file. The dump component's backup of a table
// against the engine's rows formatted as the same INSERT text, and its restore of that text
// against the engine's exec of it in one transaction.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <charconv>
#include <string>

#include "bench/lite_bench_connection.h"
#include "data/components/DADump.h"
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

const char* const kSetUp =
    "PRAGMA synchronous = OFF; CREATE TABLE IF NOT EXISTS t (id INTEGER PRIMARY KEY, name TEXT, v REAL)";

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

class TBenchDump : public components::TDADump {
    RTL_CLASS(TBenchDump, components::TDADump)
public:
    using TDADump::TDADump;
    const components::TDADumpProcessorClass& GetProcessorClass() override {
        return sqlite::TCustomLiteDumpProcessor::StaticClass();
    }
    components::TDAScript* CreateScript() override { return rtl::Create<TBenchScript>(nullptr); }
    rtl::AnsiString TableNamesRead() override { return TableList()->DelimitedText(); }
};

// A table of integers, texts, reals and nulls in the file.
void FillTable(const std::string& File, int Rows) {
    sqlite3* raw = nullptr;
    sqlite3_open(File.c_str(), &raw);
    sqlite3_exec(raw, kSetUp, nullptr, nullptr, nullptr);
    sqlite3_exec(raw, InsertScript(Rows).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(raw, "UPDATE t SET v = NULL WHERE id % 7 = 0", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
}

std::string BackupText(TLiteBenchConnection* Conn) {
    rtl::TOwnedPtr<TBenchDump> dump(rtl::Create<TBenchDump>(nullptr));
    dump->SetConnection(Conn);
    dump->Options()->SetGenerateHeader(false);
    dump->TableList()->Add("t");
    rtl::TMemoryStream out;
    dump->BackupToStream(&out);
    return std::string(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
}

void BM_Backup(benchmark::State& state) {
    TempDb db;
    FillTable(db.File, static_cast<int>(state.range(0)));
    rtl::TOwnedPtr<TLiteBenchConnection> conn = Connected(db.File);
    rtl::TOwnedPtr<TBenchDump> dump(rtl::Create<TBenchDump>(nullptr));
    dump->SetConnection(conn.get());
    dump->Options()->SetGenerateHeader(false);
    dump->TableList()->Add("t");
    for (auto _ : state) {
        rtl::TMemoryStream out;
        dump->BackupToStream(&out);
        benchmark::DoNotOptimize(out.Size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Backup)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same rows read with the engine's API and written as INSERT text.
void BM_RawDumpLoop(benchmark::State& state) {
    TempDb db;
    FillTable(db.File, static_cast<int>(state.range(0)));
    sqlite3* raw = nullptr;
    sqlite3_open(db.File.c_str(), &raw);
    for (auto _ : state) {
        std::string text = "DELETE FROM t;\r\n";
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, "SELECT * FROM t", -1, &st, nullptr);
        char num[32];
        while (sqlite3_step(st) == SQLITE_ROW) {
            text += "INSERT INTO t VALUES (";
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) text += ", ";
                switch (sqlite3_column_type(st, c)) {
                    case SQLITE_INTEGER: text += std::to_string(sqlite3_column_int64(st, c)); break;
                    case SQLITE_FLOAT: {
                        auto res = std::to_chars(num, num + sizeof num, sqlite3_column_double(st, c));
                        text.append(num, res.ptr);
                        break;
                    }
                    case SQLITE_TEXT: {
                        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                        const int n = sqlite3_column_bytes(st, c);
                        text += '\'';
                        for (int i = 0; i < n; ++i) {
                            if (p[i] == '\'') text += '\'';
                            text += p[i];
                        }
                        text += '\'';
                        break;
                    }
                    default: text += "NULL";
                }
            }
            text += ");\r\n";
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(text.data());
    }
    sqlite3_close(raw);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawDumpLoop)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Restore(benchmark::State& state) {
    TempDb db;
    FillTable(db.File, static_cast<int>(state.range(0)));
    rtl::TOwnedPtr<TLiteBenchConnection> conn = Connected(db.File);
    conn->ExecSQL("PRAGMA synchronous = OFF");
    const std::string text = BackupText(conn.get());
    rtl::TOwnedPtr<TBenchDump> dump(rtl::Create<TBenchDump>(nullptr));
    dump->SetConnection(conn.get());
    for (auto _ : state) {
        rtl::TMemoryStream in;
        in.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
        in.SetPosition(0);
        dump->RestoreFromStream(&in);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Restore)->Arg(10000)->Unit(benchmark::kMillisecond);

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
}  // namespace
