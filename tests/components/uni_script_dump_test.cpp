// The script and dump components of the universal front end on the SQLite provider: the processors
// come from the provider, the header of a backup, the table-name list, and the application's own
// use, restoring its install script into a new database.
#include <gtest/gtest.h>

#include "data/components/UniDump.h"
#include "data/components/UniScript.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "script_fixture.h"

namespace scripttest {
namespace {

struct UniScriptFixture : ScriptFixture {
    void SetUp() override {
        ScriptFixture::SetUp();
        Uni.reset(MakeUni("uni.sdb"));
    }
    void TearDown() override {
        Uni.reset();
        ScriptFixture::TearDown();
    }
    TUniConnection* MakeUni(const std::string& File, bool Unicode = false) {
        if (!std::filesystem::exists(Path(File))) WriteFile(File, {});
        auto* c = rtl::Create<TUniConnection>(nullptr);
        c->SetLoginPrompt(false);
        c->SetProviderName("SQLite");
        c->SetDatabase(Path(File));
        if (Unicode) c->SpecificOptions()->Add("SQLite.UseUnicode=True");
        return c;
    }
    rtl::TOwnedPtr<TUniConnection> Uni;
};

TEST_F(UniScriptFixture, ScriptRunsOnTheProvidersProcessor) {
    rtl::TOwnedPtr<TUniScript> script(rtl::Create<TUniScript>(nullptr));
    // Without a connection the processor class cannot be known.
    script->SQL()->SetText("SELECT 1");
    try {
        script->Execute();
        FAIL() << "no error";
    } catch (const db::EDatabaseError&) {
        FAIL() << "a plain error is expected";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Connection is not defined");
    }

    script->SetConnection(Uni.get());
    script->SQL()->SetText(
        "CREATE TABLE t (a INTEGER, b TEXT);\n"
        "CREATE TRIGGER tr AFTER INSERT ON t BEGIN UPDATE t SET b = 'x;y' WHERE a = new.a; END;\n"
        "INSERT INTO t (a) VALUES (1);");
    script->Execute();
    EXPECT_TRUE(script->Processor()->ClassType()->InheritsFrom(&sqlite::TLiteScriptProcessor::StaticClass()));
    EXPECT_EQ(Rows("SELECT a, b FROM t", "uni.sdb"), (std::vector<std::string>{"i:1|t:x;y"}));
}

TEST_F(UniScriptFixture, TableNamesAreTrimmedAndJoined) {
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetTableNames(" a , b;; c");
    EXPECT_EQ(dump->TableNames(), "a;b;c");
    EXPECT_EQ(dump->TableList()->Count(), 3);
}

TEST_F(UniScriptFixture, BackupBeginsWithTheHeader) {
    rtl::TScopedManualClock clock(rtl::EncodeDate(2026, 3, 4) + rtl::EncodeTime(9, 5, 7, 0));
    Uni->ExecSQL("CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT, kind INTEGER)");
    Uni->ExecSQL("INSERT INTO sources VALUES (1, 'text', NULL)");
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetConnection(Uni.get());
    // The backup connects for itself before it asks for the versions.
    dump->Backup();
    const std::string version = sqlite3_libversion();
    std::vector<std::string> lines;
    for (int i = 0; i < dump->SQL()->Count(); ++i) lines.push_back(dump->SQL()->Strings(i));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "-- Marbelon version: 4.3.8",
                         "-- SQLite server version: " + version,
                         "-- SQLite client version: " + version,
                         "-- Script date 04.03.2026 9:05:07",
                         "-- ---------------------------------------------------------------------- ",
                         "-- Server: ",
                         "-- Database: " + Path("uni.sdb"),
                         "",
                         "",
                         "DELETE FROM sources;",
                         "INSERT INTO sources VALUES (1, 'text', NULL);",
                     }));
}

// The application's install script builds through the dump's restore the same database as through
// the engine's own exec.
TEST_F(UniScriptFixture, InstallScriptThroughRestore) {
    std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
    ASSERT_TRUE(in);
    std::ostringstream text;
    text << in.rdbuf();
    {
        LiteFile reference(Path("reference.sdb"));
        ASSERT_EQ(sqlite3_exec(reference.Db, text.str().c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetConnection(Uni.get());
    dump->RestoreFromFile(VELMORAT_INSTALL_DB_SQL);

    const std::string master = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name";
    const std::vector<std::string> objects = Rows(master, "uni.sdb");
    EXPECT_EQ(objects, Rows(master, "reference.sdb"));
    ASSERT_GT(objects.size(), 10u);
    for (const std::string& table :
         Rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", "uni.sdb")) {
        const std::string sql = "SELECT * FROM \"" + table.substr(2) + "\" ORDER BY rowid";
        EXPECT_EQ(Rows(sql, "uni.sdb"), Rows(sql, "reference.sdb")) << table;
    }
    EXPECT_EQ(Rows(U(u8"SELECT user_id FROM v_user WHERE user_name = 'Администратор'"), "uni.sdb"),
              (std::vector<std::string>{"i:1"}));
}

// With the Unicode option line a backup and a restore keep text outside the code page.
TEST_F(UniScriptFixture, UnicodeRoundTrip) {
    rtl::TOwnedPtr<TUniConnection> source(MakeUni("src.sdb", true));
    {
        LiteFile f(Path("src.sdb"));
        sqlite3_exec(f.Db, U(u8"CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('Ёж 中文 😀');").c_str(), nullptr,
                     nullptr, nullptr);
    }
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetConnection(source.get());
    dump->Options()->SetGenerateHeader(false);
    dump->BackupToFile(Path("u.sql"));
    EXPECT_EQ(ReadFile("u.sql").substr(0, 3), "\xEF\xBB\xBF");

    rtl::TOwnedPtr<TUniConnection> target(MakeUni("dst.sdb", true));
    target->ExecSQL("CREATE TABLE t (a TEXT)");
    dump->SetConnection(target.get());
    dump->RestoreFromFile(Path("u.sql"));
    EXPECT_EQ(Rows("SELECT a FROM t", "dst.sdb"), (std::vector<std::string>{U(u8"t:Ёж 中文 😀")}));
}

// A script file is read as UTF-8 when its bytes are UTF-8, mark or no mark, and as the single-byte
// code page otherwise; with the Unicode option no character is lost on the way.
TEST_F(UniScriptFixture, ScriptFilesReadByTheirBytes) {
    const std::string utf8 = U(u8"INSERT INTO t VALUES ('Acústico', 'Ёж');");
    const std::string ansi = rtl::UTF8ToAnsi(U(u8"INSERT INTO t VALUES ('Ac', 'Ёж');"));
    struct Case {
        std::string Bytes;
        bool Unicode;
        std::string Stored;
    } cases[] = {
        {utf8, true, U(u8"t:Acústico|t:Ёж")},
        {"\xEF\xBB\xBF" + utf8, true, U(u8"t:Acústico|t:Ёж")},
        {utf8, false, U(u8"t:Ac?stico|t:Ёж")},
        {ansi, false, U(u8"t:Ac|t:Ёж")},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string db = "s" + std::to_string(n++) + ".sdb";
        rtl::TOwnedPtr<TUniConnection> conn(MakeUni(db, c.Unicode));
        conn->ExecSQL("CREATE TABLE t (a TEXT, b TEXT)");
        WriteFile("s.sql", c.Bytes);
        rtl::TOwnedPtr<TUniScript> script(rtl::Create<TUniScript>(nullptr));
        script->SetConnection(conn.get());
        script->SQL()->LoadFromFile(Path("s.sql"));
        EXPECT_EQ(rtl::AnsiToUTF8(script->SQL()->Strings(0)).substr(0, 20), "INSERT INTO t VALUES") << n;
        script->Execute();
        EXPECT_EQ(Rows("SELECT a, b FROM t", db), std::vector<std::string>{c.Stored}) << n;
    }

    // A plain string list reads a file by the same rule.
    const std::pair<std::string, std::string> lists[] = {
        {U(u8"Ёж\nAcústico"), U(u8"Ёж|Ac?stico")},
        {"\xEF\xBB\xBF" + U(u8"Ёж"), U(u8"Ёж")},
        {std::string("\xFF\xFE\x01\x04", 4), U(u8"Ё")},
        {rtl::UTF8ToAnsi(U(u8"Ёж\nтекст")), U(u8"Ёж|текст")},
        {"\xC3", rtl::AnsiToUTF8("\xC3")},
    };
    for (const auto& [bytes, lines] : lists) {
        WriteFile("l.txt", bytes);
        rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
        list->LoadFromFile(Path("l.txt"));
        std::string read;
        for (int i = 0; i < list->Count(); ++i) read += (i ? "|" : "") + rtl::AnsiToUTF8(list->Strings(i));
        EXPECT_EQ(read, lines);
    }

    // Lines changed after loading are the lines as they stand.
    rtl::TOwnedPtr<TUniConnection> conn(MakeUni("edited.sdb", true));
    conn->ExecSQL("CREATE TABLE t (a TEXT, b TEXT)");
    WriteFile("s.sql", utf8);
    rtl::TOwnedPtr<TUniScript> script(rtl::Create<TUniScript>(nullptr));
    script->SetConnection(conn.get());
    script->SQL()->LoadFromFile(Path("s.sql"));
    script->SQL()->Add("INSERT INTO t VALUES ('x', 'y');");
    script->Execute();
    EXPECT_EQ(Rows("SELECT a, b FROM t", "edited.sdb"), (std::vector<std::string>{U(u8"t:Ac?stico|t:Ёж"), "t:x|t:y"}));
}

// A whole database with foreign keys, zero characters and text outside the code page comes back
// table by table; its tables are written parents first, each row once, and the restore is one
// transaction.
TEST_F(UniScriptFixture, BackupOfADatabaseRestoresExactly) {
    const std::string schema =
        "CREATE TABLE a_track (id INTEGER PRIMARY KEY, album_id INTEGER NOT NULL REFERENCES b_album(id), "
        "name TEXT, ms INTEGER, price NUMERIC(10,2), data BLOB);"
        "CREATE TABLE b_album (id INTEGER PRIMARY KEY, artist_id INTEGER REFERENCES c_artist(id) ON DELETE CASCADE, "
        "title TEXT);"
        "CREATE TABLE c_artist (id INTEGER PRIMARY KEY, name TEXT);"
        "CREATE TABLE d_log (line TEXT);";
    {
        LiteFile f(Path("src.sdb"));
        std::string sql = schema + U(u8"INSERT INTO c_artist VALUES (1, 'Ёлка'), (2, 'Zoë 中文 😀');"
                                     u8"INSERT INTO b_album VALUES (1, 1, 'Первый'), (2, 2, 'Acústico');"
                                     u8"INSERT INTO d_log VALUES ('same'), ('same');");
        for (int i = 1; i <= 30; ++i)
            sql += "INSERT INTO a_track VALUES (" + std::to_string(i) + ", " + std::to_string(i % 2 + 1) + ", 'T" +
                   std::to_string(i) + "', " + std::to_string(i * 1000) + ", " + std::to_string(i) + ".25, X'00FF');";
        sql += "INSERT INTO a_track VALUES (31, 1, CAST(X'610062' AS TEXT), 4294967296, NULL, NULL);";
        ASSERT_EQ(sqlite3_exec(f.Db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    rtl::TOwnedPtr<TUniConnection> source(MakeUni("src.sdb", true));
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetConnection(source.get());
    dump->Options()->SetGenerateHeader(false);
    dump->BackupToFile(Path("all.sql"));
    const std::string text = ReadFile("all.sql");
    size_t inserts = 0;
    for (size_t at = text.find("INSERT INTO"); at != std::string::npos; at = text.find("INSERT INTO", at + 1))
        ++inserts;
    EXPECT_EQ(inserts, 31u + 2u + 2u + 2u) << "each row once";
    EXPECT_LT(text.find("DELETE FROM c_artist"), text.find("DELETE FROM b_album"));
    EXPECT_LT(text.find("DELETE FROM b_album"), text.find("DELETE FROM a_track"));

    // Into a database with foreign keys on, holding other rows.
    {
        LiteFile f(Path("dst.sdb"));
        ASSERT_EQ(
            sqlite3_exec(f.Db,
                         (schema + "INSERT INTO c_artist VALUES (9, 'old'); INSERT INTO b_album VALUES (9, 9, 'old');"
                                   "INSERT INTO a_track (id, album_id) VALUES (9, 9);")
                             .c_str(),
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
    rtl::TOwnedPtr<TUniConnection> target(MakeUni("dst.sdb", true));
    target->SpecificOptions()->Add("SQLite.ForeignKeys=True");
    dump->SetConnection(target.get());
    dump->RestoreFromFile(Path("all.sql"));
    for (const char* table : {"a_track", "b_album", "c_artist", "d_log"}) {
        const std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY rowid";
        EXPECT_EQ(Rows(sql, "dst.sdb"), Rows(sql, "src.sdb")) << table;
    }
    EXPECT_EQ(Rows("SELECT name FROM a_track WHERE id = 31", "dst.sdb"),
              (std::vector<std::string>{std::string("t:a\0b", 5)}));

    // A restore that fails leaves the database as it was; inside the caller's transaction the
    // caller decides.
    const std::vector<std::string> before = Rows("SELECT * FROM a_track ORDER BY rowid", "dst.sdb");
    WriteFile(
        "bad.sql",
        "DELETE FROM a_track;\nINSERT INTO a_track (id, album_id) VALUES (1, 1);\nINSERT INTO nowhere VALUES (1);\n");
    EXPECT_THROW(dump->RestoreFromFile(Path("bad.sql")), rtl::Exception);
    EXPECT_EQ(Rows("SELECT * FROM a_track ORDER BY rowid", "dst.sdb"), before);
    WriteFile("orphan.sql", "INSERT INTO a_track (id, album_id) VALUES (100, 77);\n");
    EXPECT_THROW(dump->RestoreFromFile(Path("orphan.sql")), rtl::Exception) << "checked at the end";
    EXPECT_EQ(Rows("SELECT * FROM a_track ORDER BY rowid", "dst.sdb"), before);
    target->StartTransaction();
    WriteFile("one.sql", "DELETE FROM a_track WHERE id = 31;\n");
    dump->RestoreFromFile(Path("one.sql"));
    EXPECT_TRUE(target->InTransaction());
    target->Rollback();
    EXPECT_EQ(Rows("SELECT * FROM a_track ORDER BY rowid", "dst.sdb"), before);
}

}  // namespace
}  // namespace scripttest
