// A data module started in a temporary working folder over a database made by the install script
// through the dump component, with scripted message boxes, file dialog and desktop opener.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/DBModUnit.h"
#include "data/components/UniDump.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Text.h"
#include "scripted_files.h"
#include "tests/support/error_message_fixture.h"

namespace apptest {

using namespace app;
using rtl::AnsiString;

inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(std::u8string_view(s)); }

inline std::string U(const char8_t* s) { return reinterpret_cast<const char*>(s); }

using rtltest::MessageOf;

// A database made by the install script through the dump component.
inline void MakeInstalledDatabase(const std::filesystem::path& File) {
    rtl::TOwnedPtr<components::TUniConnection> c(rtl::Create<components::TUniConnection>(nullptr));
    c->SetLoginPrompt(false);
    c->SetProviderName("SQLite");
    c->SetDatabase(File.string());
    c->SpecificOptions()->Add("SQLite.ForceCreateDatabase=True");
    rtl::TOwnedPtr<components::TUniDump> dump(rtl::Create<components::TUniDump>(nullptr));
    dump->SetConnection(c.get());
    dump->RestoreFromFile(VELMORAT_INSTALL_DB_SQL);
}

struct FakeServices : ScriptedFiles<IAppServices> {
    std::vector<std::string> Messages;
    bool MessageBox(const AnsiString& Text, const AnsiString&, TMsgIcon) override {
        Messages.push_back(rtl::AnsiToUTF8(Text));
        return true;
    }
    std::function<bool()> OnServerSetup;  // none: the dialog is closed without OK
    int ServerSetups = 0;
    bool ServerSetup() override {
        ++ServerSetups;
        return OnServerSetup && OnServerSetup();
    }
};

struct DBModFixture : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_app_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        MakeInstalledDatabase(Dir / "velmorat.sdb");
        Start();
    }
    void TearDown() override {
        Mod.reset();
        CurrentUser = TUser{};
        std::filesystem::current_path(OldDir);
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    void Start() {
        Mod = std::make_unique<TDBMod>(&Services);
        Mod->DataModuleCreate();
    }

    // Rows written by another client. A query's Refresh leaves its generated delete statement
    // pointing at the field descriptions it had before, so a fresh open is used instead.
    static void Reopen(VUdeVizov* Query) {
        Query->Close();
        Query->Open();
    }

    void Raw(const std::string& SQL) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((Dir / "velmorat.sdb").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, SQL.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    void Raw(const char8_t* SQL) { Raw(U(SQL)); }
    // The first column of every row, as text, read as another client.
    std::vector<std::string> Column(const std::string& SQL) {
        std::vector<std::string> out;
        sqlite3* db = nullptr;
        sqlite3_open((Dir / "velmorat.sdb").c_str(), &db);
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, SQL.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    std::string One(const std::string& SQL) {
        auto c = Column(SQL);
        return c.empty() ? "" : c[0];
    }

    std::filesystem::path Dir, OldDir;
    FakeServices Services;
    std::unique_ptr<TDBMod> Mod;
};

}  // namespace apptest
