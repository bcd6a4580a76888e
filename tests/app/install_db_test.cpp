// The install script builds the database the data module expects: every table in the column
// order its positional reads rely on, keys that give back the new row id, the writable v_ names,
// the counter's unique key and the seed rows.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/components/UniDump.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "schema_expectations.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using apptest::ExpectedSchema;
using apptest::TableColumns;

std::string ReadScript() {
    std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " VELMORAT_INSTALL_DB_SQL);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "velmorat-db-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& Path() const { return FPath; }

private:
    fs::path FPath;
};

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;

struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

DbHandle OpenDb(const fs::path& file) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open(file.string().c_str(), &raw);
    DbHandle db(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
    // Each statement of the script commits on its own; syncing each would only slow the tests.
    sqlite3_exec(raw, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    return db;
}

// A bound value: text, integer or NULL.
struct Value {
    enum Kind { Null, Int, Text } kind = Null;
    sqlite3_int64 i = 0;
    std::string s;
    Value() = default;
    Value(int v) : kind(Int), i(v) {}
    Value(const char* v) : kind(Text), s(v) {}
    Value(std::string v) : kind(Text), s(std::move(v)) {}
};

StmtHandle Prepare(sqlite3* db, const std::string& sql, const std::vector<Value>& args = {}) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
    StmtHandle stmt(raw);
    for (size_t n = 0; n < args.size(); ++n) {
        const int pos = static_cast<int>(n) + 1;
        switch (args[n].kind) {
            case Value::Null: sqlite3_bind_null(raw, pos); break;
            case Value::Int: sqlite3_bind_int64(raw, pos, args[n].i); break;
            case Value::Text: sqlite3_bind_text(raw, pos, args[n].s.c_str(), -1, SQLITE_TRANSIENT); break;
        }
    }
    return stmt;
}

// Runs a statement to its end and returns the engine's result code.
int Exec(sqlite3* db, const std::string& sql, const std::vector<Value>& args = {}) {
    StmtHandle stmt = Prepare(db, sql, args);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    return rc;
}

sqlite3_int64 Int(sqlite3* db, const std::string& sql, const std::vector<Value>& args = {}) {
    StmtHandle stmt = Prepare(db, sql, args);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) throw std::runtime_error("no row: " + sql);
    return sqlite3_column_int64(stmt.get(), 0);
}

// The first column of the first row; "<null>" tells NULL from the empty text.
std::string Text(sqlite3* db, const std::string& sql, const std::vector<Value>& args = {}) {
    StmtHandle stmt = Prepare(db, sql, args);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) throw std::runtime_error("no row: " + sql);
    const unsigned char* text = sqlite3_column_text(stmt.get(), 0);
    return text ? reinterpret_cast<const char*>(text) : "<null>";
}

std::vector<std::string> Rows(sqlite3* db, const std::string& sql) {
    StmtHandle stmt = Prepare(db, sql);
    std::vector<std::string> rows;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
            const unsigned char* text = sqlite3_column_text(stmt.get(), c);
            row += (c ? "|" : "") + (text ? std::string(reinterpret_cast<const char*>(text)) : "<null>");
        }
        rows.push_back(row);
    }
    return rows;
}

// Splits at a semicolon that ends a line, as the application's script runner does.
std::vector<std::string> SplitAtLineEnds(const std::string& script) {
    std::vector<std::string> statements;
    std::istringstream in(script);
    std::string line, current;
    while (std::getline(in, line)) {
        current += line + "\n";
        const auto end = line.find_last_not_of(" \t\r");
        if (end != std::string::npos && line[end] == ';') {
            statements.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) statements.push_back(current);
    return statements;
}

class InstallDb : public ::testing::Test {
protected:
    void SetUp() override {
        FScript = ReadScript();
        FDb = OpenDb(FFolder.Path() / "velmorat.sdb");
        Install();
    }

    // Through the script engine, as the application runs it.
    void Install() {
        rtl::TOwnedPtr<components::TUniConnection> conn(rtl::Create<components::TUniConnection>(nullptr));
        conn->SetLoginPrompt(false);
        conn->SetProviderName("SQLite");
        conn->SetDatabase((FFolder.Path() / "velmorat.sdb").string());
        rtl::TOwnedPtr<components::TUniDump> dump(rtl::Create<components::TUniDump>(nullptr));
        dump->SetConnection(conn.get());
        try {
            dump->RestoreFromFile(VELMORAT_INSTALL_DB_SQL);
        } catch (const rtl::Exception& e) {
            FAIL() << e.what();
        }
    }

    sqlite3* Db() { return FDb.get(); }

    TempFolder FFolder;
    std::string FScript;
    DbHandle FDb;
};

TEST_F(InstallDb, EveryTableHasItsColumnsInPlaceWithTheirTypesAndARowIdKey) {
    for (const TableColumns& expected : ExpectedSchema()) {
        SCOPED_TRACE(expected.table);
        StmtHandle info = Prepare(Db(), std::string("PRAGMA table_info(") + expected.table + ")");
        size_t pos = 0;
        while (sqlite3_step(info.get()) == SQLITE_ROW) {
            ASSERT_LT(pos, expected.columns.size())
                << "extra column " << reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
            EXPECT_EQ(sqlite3_column_int(info.get(), 0), static_cast<int>(pos));
            EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)), expected.columns[pos].name);
            EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2)), expected.columns[pos].type)
                << expected.columns[pos].name;
            // Only the key is a primary key, so it is the row id alias the data layer reads back.
            EXPECT_EQ(sqlite3_column_int(info.get(), 5), pos == 0 ? 1 : 0) << expected.columns[pos].name;
            ++pos;
        }
        EXPECT_EQ(pos, expected.columns.size()) << "missing columns";
        // The provider's metadata finds columns only of tables, and a key declared as a table
        // constraint would give no identity column.
        EXPECT_EQ(Text(Db(), "SELECT type FROM sqlite_master WHERE name = ?", {expected.table}), "table");
        const std::string create = Text(Db(), "SELECT sql FROM sqlite_master WHERE name = ?", {expected.table});
        EXPECT_NE(create.find(std::string(expected.columns[0].name) + " INTEGER PRIMARY KEY,"), std::string::npos);
    }
}

TEST_F(InstallDb, SeedsOneActiveAdministratorAndTheFirstVocabularyEntries) {
    EXPECT_EQ(Rows(Db(), "SELECT user_id, user_name, password, access, active FROM v_user"),
              std::vector<std::string>{"1|" + std::string(reinterpret_cast<const char*>(u8"Администратор")) + "||3|1"});
    EXPECT_EQ(Text(Db(), "SELECT dockind_name FROM v_dockind WHERE id = 1"),
              reinterpret_cast<const char*>(u8"Прочие документы"));
    EXPECT_EQ(Text(Db(), "SELECT epmk_name FROM v_epmk WHERE id = 1"),
              reinterpret_cast<const char*>(u8"Экспертно-проверочная методическая комиссия"));
    EXPECT_EQ(Int(Db(), "SELECT count(*) FROM v_ntd"), 4);
    EXPECT_EQ(Rows(Db(), "SELECT id, parent_id, code FROM branches"), std::vector<std::string>{"1|0|01"});
    // The administrator's name is stored as text of 13 characters, not as doubled bytes.
    EXPECT_EQ(Int(Db(), "SELECT length(user_name) FROM v_user"), 13);
}

TEST_F(InstallDb, RunsStatementByStatementAndAgainWithoutChangingWhatItMade) {
    TempFolder other;
    DbHandle split = OpenDb(other.Path() / "velmorat.sdb");
    for (const std::string& statement : SplitAtLineEnds(FScript)) {
        SCOPED_TRACE(statement);
        ASSERT_TRUE(sqlite3_complete(statement.c_str()));
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(split.get(), statement.c_str(), -1, &raw, &tail), SQLITE_OK)
            << sqlite3_errmsg(split.get());
        StmtHandle stmt(raw);
        ASSERT_TRUE(stmt) << "a chunk without a statement";
        ASSERT_EQ(std::string(tail).find_first_not_of(" \t\r\n"), std::string::npos) << "two statements in one chunk";
        ASSERT_EQ(sqlite3_step(stmt.get()), SQLITE_DONE) << sqlite3_errmsg(split.get());
    }
    const std::string everything = "SELECT type, name, sql FROM sqlite_master ORDER BY name";
    EXPECT_EQ(Rows(split.get(), everything), Rows(Db(), everything));

    Exec(Db(), "UPDATE v_user SET password = 'secret' WHERE user_id = 1");
    Exec(Db(), "INSERT INTO sources (source_name) VALUES ('kept')");
    Install();
    EXPECT_EQ(Rows(Db(), everything), Rows(split.get(), everything));
    EXPECT_EQ(Text(Db(), "SELECT password FROM v_user WHERE user_id = 1"), "secret");
    EXPECT_EQ(Int(Db(), "SELECT count(*) FROM v_user"), 1);
    EXPECT_EQ(Int(Db(), "SELECT count(*) FROM v_ntd"), 4);
    EXPECT_EQ(Int(Db(), "SELECT count(*) FROM sources"), 1);
}

// The data layer writes these by their names with generated statements keyed on the key column,
// reads the new key back from the last insert row id and refuses a write that touched other
// than one row.
TEST_F(InstallDb, WritableVocabulariesTakeGeneratedStatementsOneRowAtATime) {
    struct Case {
        const char* table;
        const char* key;
        const char* name;
    };
    for (const Case& c : {Case{"v_user", "user_id", "user_name"}, Case{"v_dockind", "id", "dockind_name"},
                          Case{"v_epmk", "id", "epmk_name"}}) {
        SCOPED_TRACE(c.table);
        const std::string table = c.table, key = c.key, name = c.name;
        const std::string seedBefore = Text(Db(), "SELECT " + name + " FROM " + table + " WHERE " + key + " = 1");
        sqlite3_int64 previousId = sqlite3_last_insert_rowid(Db());

        // A row with values lists only those; a row with none lists every field as NULL.
        ASSERT_EQ(Exec(Db(), "INSERT INTO " + table + " (" + name + ") VALUES (?)", {"first"}), SQLITE_DONE);
        EXPECT_EQ(sqlite3_changes(Db()), 1);
        const sqlite3_int64 first = sqlite3_last_insert_rowid(Db());
        EXPECT_NE(first, previousId);
        EXPECT_EQ(Text(Db(), "SELECT " + name + " FROM " + table + " WHERE " + key + " = ?", {int(first)}), "first");

        ASSERT_EQ(Exec(Db(), "INSERT INTO " + table + " (" + key + ", " + name + ") VALUES (?, ?)", {Value(), Value()}),
                  SQLITE_DONE);
        EXPECT_EQ(sqlite3_changes(Db()), 1);
        const sqlite3_int64 empty = sqlite3_last_insert_rowid(Db());
        EXPECT_GT(empty, first);
        EXPECT_EQ(Text(Db(), "SELECT " + name + " FROM " + table + " WHERE " + key + " = ?", {int(empty)}), "<null>");

        ASSERT_EQ(
            Exec(Db(), "UPDATE " + table + " SET " + name + " = ? WHERE " + key + " = ?", {"renamed", int(first)}),
            SQLITE_DONE);
        EXPECT_EQ(sqlite3_changes(Db()), 1);
        EXPECT_EQ(Text(Db(), "SELECT " + name + " FROM " + table + " WHERE " + key + " = ?", {int(first)}), "renamed");

        ASSERT_EQ(Exec(Db(), "DELETE FROM " + table + " WHERE " + key + " = ?", {int(first)}), SQLITE_DONE);
        EXPECT_EQ(sqlite3_changes(Db()), 1);
        ASSERT_EQ(Exec(Db(), "DELETE FROM " + table + " WHERE " + key + " = ?", {int(first)}), SQLITE_DONE);
        EXPECT_EQ(sqlite3_changes(Db()), 0);

        EXPECT_EQ(Int(Db(), "SELECT count(*) FROM " + table), 2);
        EXPECT_EQ(Text(Db(), "SELECT " + name + " FROM " + table + " WHERE " + key + " = 1"), seedBefore);
    }
}

TEST_F(InstallDb, CounterKeyIsUniqueAndTakesAnAtomicIncrement) {
    const std::string insert = "INSERT INTO numbers (year_of, journal, kind_id, next_num) VALUES (?, ?, ?, ?)";
    ASSERT_EQ(Exec(Db(), insert, {2026, 2, 1, 2}), SQLITE_DONE);
    EXPECT_EQ(Exec(Db(), insert, {2026, 2, 1, 7}), SQLITE_CONSTRAINT);
    EXPECT_EQ(sqlite3_extended_errcode(Db()), SQLITE_CONSTRAINT_UNIQUE);
    for (const std::vector<Value>& otherKey :
         {std::vector<Value>{2025, 2, 1, 2}, std::vector<Value>{2026, 3, 1, 2}, std::vector<Value>{2026, 2, 0, 2}})
        EXPECT_EQ(Exec(Db(), insert, otherKey), SQLITE_DONE);
    // A counter row without its key would escape the index.
    EXPECT_EQ(Exec(Db(), insert, {Value(), 2, 1, 2}), SQLITE_CONSTRAINT);

    // One statement takes a number and raises the counter, creating it at the first take.
    const std::string take =
        "INSERT INTO numbers (year_of, journal, kind_id, next_num) VALUES (?, ?, ?, 2) "
        "ON CONFLICT (year_of, journal, kind_id) DO UPDATE SET next_num = next_num + 1 "
        "RETURNING next_num - 1";
    EXPECT_EQ(Int(Db(), take, {2024, 5, 3}), 1);
    EXPECT_EQ(Int(Db(), take, {2024, 5, 3}), 2);
    EXPECT_EQ(Int(Db(), take, {2026, 2, 1}), 2);
    EXPECT_EQ(Int(Db(), "SELECT next_num FROM numbers WHERE year_of = 2024 AND journal = 5 AND kind_id = 3"), 3);
}

TEST_F(InstallDb, NewInventoryIsNotTransferredAndShowsInThePicker) {
    ASSERT_EQ(Exec(Db(), "INSERT INTO opisi (num, kind_id, source_id, result_id) VALUES (1, 1, 7, 1)"), SQLITE_DONE);
    const sqlite3_int64 id = sqlite3_last_insert_rowid(Db());
    EXPECT_EQ(Text(Db(), "SELECT transfered FROM opisi WHERE id = ?", {int(id)}), "0");
    EXPECT_EQ(Int(Db(), "SELECT id FROM opisi WHERE source_id = ? AND result_id = 1 AND transfered = 0", {7}), id);
}

}  // namespace
