// A connection component over the SQLite provider on a fresh database file, with a script and a
// dump bound to it through the SQLite processors, and helpers that read the file back through the
// engine's own C interface.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/components/DADump.h"
#include "data/components/DAScript.h"
#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteServicesUni.h"
#include "data/sqlite/LiteServicesUni_Processors.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"
#include "tests/support/lite_connection_fixture.h"

namespace scripttest {

using namespace components;
using daccess::TCustomDAConnection;
using rtl::AnsiString;
using rtl::Variant;

inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(std::u8string_view(s)); }
inline std::string U(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

using litetest::TLiteTestConnection;

// The script and dump components bound to the SQLite processors, as a provider binds them.
class TLiteScript : public TDAScript {
    RTL_CLASS(TLiteScript, TDAScript)
public:
    using TDAScript::TDAScript;
    const TDAScriptProcessorClass& GetProcessorClass() override { return sqlite::TLiteScriptProcessor::StaticClass(); }
};

class TLiteDump : public TDADump {
    RTL_CLASS(TLiteDump, TDADump)
public:
    using TDADump::TDADump;
    const TDADumpProcessorClass& GetProcessorClass() override {
        return sqlite::TCustomLiteDumpProcessor::StaticClass();
    }
    TDAScript* CreateScript() override { return rtl::Create<TLiteScript>(nullptr); }
    AnsiString TableNamesRead() override { return TableList()->DelimitedText(); }
    void AddHeader(AnsiString& Text) override { Text = "-- header\r\n-- trailing blank \r\n\r\n"; }
};

// Installs an application exception handler that records the messages, for the scope.
class ScopedShownErrors {
public:
    ScopedShownErrors() {
        FPrev = rtl::SetApplicationExceptionHandler([this](const rtl::Exception& e) { Shown.push_back(e.Message()); });
    }
    ~ScopedShownErrors() { rtl::SetApplicationExceptionHandler(FPrev); }
    std::vector<AnsiString> Shown;

private:
    rtl::TExceptionHandler FPrev;
};

struct LiteFile {
    sqlite3* Db = nullptr;
    explicit LiteFile(const std::string& Name) { sqlite3_open(Name.c_str(), &Db); }
    ~LiteFile() { sqlite3_close(Db); }
    LiteFile(const LiteFile&) = delete;
    LiteFile& operator=(const LiteFile&) = delete;

    // Every row of the query, each value as its type letter and exact content.
    std::vector<std::string> Rows(const std::string& SQL) const {
        std::vector<std::string> rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(Db, SQL.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            rows.push_back(std::string("error: ") + sqlite3_errmsg(Db));
            return rows;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (i) row += '|';
                switch (sqlite3_column_type(st, i)) {
                    case SQLITE_NULL: row += "null"; break;
                    case SQLITE_INTEGER: row += "i:" + std::to_string(sqlite3_column_int64(st, i)); break;
                    case SQLITE_FLOAT: {
                        char buf[40];
                        std::snprintf(buf, sizeof buf, "f:%a", sqlite3_column_double(st, i));
                        row += buf;
                        break;
                    }
                    case SQLITE_TEXT:
                        row += "t:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                                  static_cast<size_t>(sqlite3_column_bytes(st, i)));
                        break;
                    default: {
                        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, i));
                        row += "b:" + rtl::BytesToHex(p, static_cast<size_t>(sqlite3_column_bytes(st, i)));
                    }
                }
            }
            rows.push_back(row);
        }
        sqlite3_finalize(st);
        return rows;
    }
};

struct ScriptFixture : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_script_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        Conn.reset(MakeConnection("test.sdb"));
        Script.reset(rtl::Create<TLiteScript>(nullptr));
        Script->InternalSQL()->SetConnection(Conn.get());
    }
    void TearDown() override {
        Script.reset();
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    TLiteTestConnection* MakeConnection(const std::string& File, bool Unicode = false) {
        auto* c = rtl::Create<TLiteTestConnection>(nullptr);
        c->SetLoginPrompt(false);
        c->Database = Path(File);
        c->Props = {{sqlite::pidUseUnicode, Variant(Unicode)}};
        // An empty file is a new, empty database to the engine.
        if (!std::filesystem::exists(c->Database)) WriteFile(File, {});
        return c;
    }
    std::string Path(const std::string& File) const { return (Dir / File).string(); }

    void Run(const AnsiString& Text) {
        Script->SQL()->SetText(Text);
        Script->Execute();
    }
    std::vector<std::string> Rows(const std::string& SQL, const std::string& File = "test.sdb") const {
        LiteFile f(Path(File));
        return f.Rows(SQL);
    }
    void WriteFile(const std::string& File, const std::string& Bytes) const {
        std::ofstream out(Path(File), std::ios::binary);
        out << Bytes;
    }
    std::string ReadFile(const std::string& File) const {
        std::ifstream in(Path(File), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path Dir;
    rtl::TOwnedPtr<TLiteTestConnection> Conn;
    rtl::TOwnedPtr<TLiteScript> Script;
};

}  // namespace scripttest
