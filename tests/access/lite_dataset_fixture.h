// A connection component over the SQLite provider on a database file in a temporary folder, with
// a small catalogue of sources and their organisations.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "data/access/DBAccess.h"
#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/Text.h"
#include "tests/support/lite_connection_fixture.h"

namespace litedataset {

using namespace daccess;

inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(std::u8string_view(s)); }

using litetest::TLiteTestConnection;

struct LiteDataSetFixture : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_ds_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        Conn.reset(rtl::Create<TLiteTestConnection>(nullptr));
        Conn->SetLoginPrompt(false);
        Conn->Database = (Dir / "test.sdb").string();
        Conn->Props = {{sqlite::pidBusyTimeout, Variant(350)},
                       {sqlite::pidReadUncommitted, Variant(true)},
                       {sqlite::pidForeignKeys, Variant(false)}};
        // An empty file is a new, empty database to the engine.
        std::FILE* f = std::fopen(Conn->Database.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        Conn->ExecSQL("CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT, kind INTEGER)");
        Conn->ExecSQL("CREATE TABLE organisations (id INTEGER PRIMARY KEY, source_id INTEGER, title TEXT)");
        for (int i = 1; i <= 5; ++i)
            Conn->ExecSQL("INSERT INTO sources (id, name, kind) VALUES (:id, :name, :kind)",
                          {Variant(i), Variant(A(u8"Архив ") + std::to_string(i)), Variant(i % 2)});
        // Source 1 has two organisations, source 2 three, the others none.
        const int owners[] = {1, 1, 2, 2, 2};
        for (int i = 0; i < 5; ++i)
            Conn->ExecSQL("INSERT INTO organisations (source_id, title) VALUES (:s, :t)",
                          {Variant(owners[i]), Variant(A(u8"Организация ") + std::to_string(i + 1))});
    }
    void TearDown() override {
        DataSets.clear();
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    TCustomDADataSet* Query(const AnsiString& SQL, bool FetchAll = true) {
        DataSets.emplace_back(Conn->CreateDataSet());
        TCustomDADataSet* ds = DataSets.back().get();
        ds->SetSQL(SQL);
        ds->SetFetchAll(FetchAll);
        return ds;
    }

    static std::vector<int> Ids(db::TDataSet* DataSet, const char* Field = "id") {
        std::vector<int> ids;
        for (DataSet->First(); !DataSet->Eof(); DataSet->Next())
            ids.push_back(DataSet->FieldByName(Field)->AsInteger());
        return ids;
    }

    std::filesystem::path Dir;
    rtl::TOwnedPtr<TLiteTestConnection> Conn;
    std::vector<rtl::TOwnedPtr<TCustomDADataSet>> DataSets;
};

}  // namespace litedataset
