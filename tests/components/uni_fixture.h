// A universal connection on the SQLite provider over a database file in a temporary folder, with a
// few sources and their contacts.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/components/Uni.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"
#include "tests/support/error_message_fixture.h"
#include "tests/support/lite_file_fixture.h"

namespace unitest {

using namespace components;
using rtl::AnsiString;
using rtl::Variant;

inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(std::u8string_view(s)); }

using rtltest::MessageOf;

struct UniFixture : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_uni_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        File = (Dir / "velmorat.sdb").string();
        Raw("CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT, kind INTEGER, curator_id INTEGER, number "
            "INTEGER);"
            "CREATE TABLE contacts (id INTEGER PRIMARY KEY, source_id INTEGER NOT NULL, person TEXT);"
            "CREATE TABLE numbers (kind INTEGER PRIMARY KEY, last INTEGER NOT NULL);"
            "INSERT INTO numbers VALUES (1, 10), (2, 20);");
        for (int i = 1; i <= 6; ++i)
            Raw("INSERT INTO sources (name, kind, curator_id, number) VALUES ('S" + std::to_string(i) + "', " +
                std::to_string(i % 2 + 1) + ", " + std::to_string(i <= 3 ? 7 : 8) + ", " + std::to_string(i) + ")");
        Conn.reset(rtl::Create<TUniConnection>(nullptr));
        Conn->SetLoginPrompt(false);
        Conn->SetProviderName("SQLite");
        Conn->SetDatabase(File);
    }
    void TearDown() override {
        Queries.clear();
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    VUdeVizov* Query(const AnsiString& SQL, bool FetchAll = true) {
        Queries.emplace_back(rtl::Create<VUdeVizov>(nullptr));
        VUdeVizov* q = Queries.back().get();
        q->SetConnection(Conn.get());
        q->SetSQL(SQL);
        if (FetchAll) q->SpecificOptions()->Add("SQLite.FetchAll=True");
        return q;
    }

    // Runs statements on the file as another client would.
    void Raw(const std::string& SQL) { litetest::RawExec(File, SQL); }
    // The first column of every row, as text, read as another client.
    std::vector<std::string> Column(const std::string& SQL) { return litetest::ReadColumn(File, SQL); }
    // One value through the connection.
    Variant Scalar(const AnsiString& SQL) {
        VUdeVizov* q = Query(SQL);
        q->Open();
        Variant v = q->Fields()[0]->Value();
        q->Close();
        return v;
    }
    static std::vector<int> Ids(db::TDataSet* DataSet, const char* Field = "id") {
        std::vector<int> ids;
        for (DataSet->First(); !DataSet->Eof(); DataSet->Next())
            ids.push_back(DataSet->FieldByName(Field)->AsInteger());
        return ids;
    }

    std::filesystem::path Dir;
    std::string File;
    rtl::TOwnedPtr<TUniConnection> Conn;
    std::vector<rtl::TOwnedPtr<VUdeVizov>> Queries;
};

}  // namespace unitest
