// What the SQLite provider makes of the installed database: the data layer finds each table's
// key as the column that receives the new row id, and maps every declared type to the field
// type the application's datasets expect.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "data/sqlite/LiteClassesUni.h"
#include "data/store/MemData.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Text.h"
#include "schema_expectations.h"

namespace {

namespace fs = std::filesystem;
using rtl::AnsiString;
using rtl::Variant;

struct FieldKind {
    store::TMemDataType type;
    int length;
};

// The field a declared type becomes; a string may be held in the record or outside it.
FieldKind ExpectedField(const std::string& declared) {
    if (declared == "INTEGER") return {store::mdtInt32, 0};
    if (declared == "SMALLINT") return {store::mdtInt16, 0};
    if (declared == "DATE") return {store::mdtDate, 0};
    if (declared == "REAL") return {store::mdtFloat, 0};
    if (declared == "TEXT") return {store::mdtMemo, 0};
    if (declared == "BLOB") return {store::mdtBlob, 0};
    if (declared.rfind("VARCHAR(", 0) == 0) {
        return {store::mdtString, std::stoi(declared.substr(8))};
    }
    ADD_FAILURE() << "no expectation for " << declared;
    return {0, 0};
}

class InstalledThroughProvider : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velmorat-provider-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FDir = pattern;
        const fs::path file = FDir / "velmorat.sdb";

        std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
        ASSERT_TRUE(in);
        std::ostringstream script;
        script << in.rdbuf();
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(file.string().c_str(), &raw), SQLITE_OK);
        sqlite3_exec(raw, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        const int rc = sqlite3_exec(raw, script.str().c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        ASSERT_EQ(rc, SQLITE_OK);

        // The options the application's connection carries.
        FConn.reset(rtl::Create<sqlite::TSQLiteConnection>());
        FConn->SetProp(daccess::pidDatabase, Variant(AnsiString(file.string())));
        FConn->SetProp(sqlite::pidBusyTimeout, Variant(350));
        FConn->SetProp(sqlite::pidReadUncommitted, Variant(true));
        FConn->SetProp(sqlite::pidEnableSharedCache, Variant(true));
        FConn->SetProp(sqlite::pidForeignKeys, Variant(false));
        FConn->Connect("");
        FMeta.reset(rtl::Create<sqlite::TSQLiteMetaData>());
        FRestrictions.reset(rtl::Create<rtl::TStringList>());
    }

    void TearDown() override {
        FMeta.reset();
        FConn.reset();
        std::error_code ec;
        fs::remove_all(FDir, ec);
    }

    rtl::TOwnedPtr<sqlite::TSQLiteRecordSet> Open(const AnsiString& sql) {
        rtl::TOwnedPtr<sqlite::TSQLiteRecordSet> rs(rtl::Create<sqlite::TSQLiteRecordSet>());
        rs->SetConnection(FConn.get());
        rs->SetSQL(sql);
        rs->SetProp(daccess::pidFetchAll, Variant(true));
        rs->Open();
        return rs;
    }

    fs::path FDir;
    rtl::TOwnedPtr<sqlite::TSQLiteConnection> FConn;
    rtl::TOwnedPtr<sqlite::TSQLiteMetaData> FMeta;
    rtl::TOwnedPtr<rtl::TStringList> FRestrictions;
};

TEST_F(InstalledThroughProvider, KeyIsTheIdentityColumnAndTypesBecomeTheExpectedFields) {
    for (const apptest::TableColumns& expected : apptest::ExpectedSchema()) {
        SCOPED_TRACE(expected.table);
        FRestrictions->Clear();
        FRestrictions->Add(AnsiString("TABLE_NAME=") + expected.table);
        store::TData* columns = FMeta->GetMetaDataFor(FConn.get(), nullptr, "Columns", FRestrictions.get());
        const int nameNo = columns->FieldByName(u"COLUMN_NAME")->FieldNo;
        const int nullableNo = columns->FieldByName(u"NULLABLE")->FieldNo;
        void* buf = columns->AllocRecBuf();
        columns->SetToBegin();
        std::vector<std::string> notNullable;
        size_t count = 0;
        while (true) {
            columns->GetNextRecord(buf);
            if (columns->GetEof()) break;
            ++count;
            if (columns->GetFieldValue(nullableNo, buf).AsInteger() == 0)
                notNullable.push_back(columns->GetFieldValue(nameNo, buf).AsAnsiString());
        }
        columns->FreeRecBuf(buf);
        EXPECT_EQ(count, expected.columns.size());
        EXPECT_EQ(notNullable, std::vector<std::string>{expected.columns[0].name});

        auto rs = Open(AnsiString("SELECT * FROM ") + expected.table);
        ASSERT_EQ(rs->FieldCount(), static_cast<int>(expected.columns.size()));
        for (size_t f = 0; f < expected.columns.size(); ++f) {
            const FieldKind kind = ExpectedField(expected.columns[f].type);
            const store::TMemDataType type = rs->Fields()[f]->DataType;
            EXPECT_EQ(type == store::mdtExtString ? store::mdtString : type, kind.type) << expected.columns[f].name;
            if (kind.length) {
                EXPECT_EQ(rs->Fields()[f]->Length, kind.length) << expected.columns[f].name;
            }
        }
    }
}

TEST_F(InstalledThroughProvider, SeedTextReadsBackInTheApplicationsCodePage) {
    auto rs = Open("SELECT user_name, password FROM v_user WHERE user_id = 1");
    void* buf = rs->AllocRecBuf();
    rs->SetToBegin();
    rs->GetNextRecord(buf);
    ASSERT_FALSE(rs->GetEof());
    EXPECT_EQ(rs->GetFieldValue(1, buf).AsAnsiString(), rtl::UTF8ToAnsi(std::u8string_view(u8"Администратор")));
    EXPECT_FALSE(rs->GetNull(2, buf));
    EXPECT_EQ(rs->GetFieldValue(2, buf).AsAnsiString(), "");
    rs->FreeRecBuf(buf);
}

}  // namespace
