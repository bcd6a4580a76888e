// The dump component over SQLite: the backup text, backup and restore round trips on real files,
// the encodings a restore reads, and its error handling.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "script_fixture.h"

namespace scripttest {
namespace {

struct DumpFixture : ScriptFixture {
    void SetUp() override {
        ScriptFixture::SetUp();
        Dump.reset(rtl::Create<TLiteDump>(nullptr));
        Dump->SetConnection(Conn.get());
    }
    void TearDown() override {
        Dump.reset();
        ScriptFixture::TearDown();
    }
    // Runs SQL on a file through the engine directly.
    void Exec(const std::string& SQL, const std::string& File = "test.sdb") {
        LiteFile f(Path(File));
        char* err = nullptr;
        ASSERT_EQ(sqlite3_exec(f.Db, SQL.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < Dump->SQL()->Count(); ++i) lines.push_back(rtl::AnsiToUTF8(Dump->SQL()->Strings(i)));
        return lines;
    }
    rtl::TOwnedPtr<TLiteDump> Dump;
};

TEST_F(DumpFixture, BackupTextOfSmallTable) {
    Exec(
        U(u8"CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, note TEXT, photo BLOB, born DATE, "
          u8"weight REAL);"
          u8"INSERT INTO people VALUES (1, 'O''Brien', NULL, X'00FF10', '2024-05-06', 0.1);"
          u8"INSERT INTO people VALUES (2, 'Иванов', 'a,b', NULL, NULL, 72);"
          u8"INSERT INTO people VALUES (3, '', 'x', X'', '2024-05-06 13:04:05', 1e20);"));
    // The locale's decimal separator is ","; SQL text keeps ".".
    ASSERT_EQ(rtl::FormatSettings().DecimalSeparator, ',');
    Dump->TableList()->Add("people");
    Dump->Backup();
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "-- header",
                           "-- trailing blank ",
                           "",
                           "",
                           "DELETE FROM people;",
                           "INSERT INTO people VALUES (1, 'O''Brien', NULL, X'00FF10', '2024-05-06', 0.1);",
                           U(u8"INSERT INTO people VALUES (2, 'Иванов', 'a,b', NULL, NULL, 72.0);"),
                           "INSERT INTO people VALUES (3, '', 'x', X'', '2024-05-06 13:04:05', 1e+20);",
                       }));

    // The same into a stream: single-byte text, lines ended with CR LF.
    rtl::TMemoryStream out;
    Dump->Options()->SetGenerateHeader(false);
    Dump->Options()->SetAddDrop(false);
    Dump->Options()->SetCompleteInsert(true);
    Dump->BackupToStream(&out, "SELECT id, name FROM people WHERE id = 2");
    const std::string text(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
    EXPECT_EQ(text, "\r\n" + A(u8"INSERT INTO people(id, name) VALUES (2, 'Иванов');") + "\r\n");
}

// A float is written as the shortest text that reads back as the same double and still reads as a
// float; the engine's own reading of the literal is the judge.
TEST_F(DumpFixture, FloatTextReadsBackEqual) {
    struct {
        double Value;
        const char* Text;
    } cases[] = {{0.1, "0.1"},
                 {72, "72.0"},
                 {-0.0, "-0.0"},
                 {1e20, "1e+20"},
                 {0.30000000000000004, "0.30000000000000004"},
                 {1.0 / 3, "0.3333333333333333"},
                 {5e-324, "5e-324"},
                 {1.7976931348623157e308, "1.7976931348623157e+308"},
                 {123456789012345680.0, "123456789012345680.0"}};
    LiteFile f(Path("test.sdb"));
    for (const auto& c : cases) {
        const AnsiString text = FloatToDumpText(c.Value);
        EXPECT_EQ(text, c.Text);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(f.Db, ("SELECT " + text + ", typeof(" + text + ")").c_str(), -1, &st, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_double(st, 0), c.Value) << text;
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), "real") << text;
        sqlite3_finalize(st);
    }
    EXPECT_EQ(FloatToDumpText(std::numeric_limits<double>::quiet_NaN()), "NULL");
    EXPECT_EQ(FloatToDumpText(-std::numeric_limits<double>::infinity()), "-9e999");
}

TEST_F(DumpFixture, SectionOptions) {
    Exec(
        "CREATE TABLE empty_one (a INTEGER); CREATE TABLE \"odd name\" (a INTEGER); INSERT INTO \"odd name\" VALUES "
        "(5);");
    Dump->Options()->SetGenerateHeader(false);
    Dump->Options()->SetAddDrop(false);
    Dump->TableList()->Add("empty_one");
    Dump->Backup();
    EXPECT_EQ(Lines(), (std::vector<std::string>{""}));

    // Without TableNames every table is written; a name that needs quotes gets them.
    Dump->TableList()->Clear();
    Dump->Options()->SetAddDrop(true);
    Dump->Backup();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "DELETE FROM empty_one;", "", "DELETE FROM \"odd name\";",
                                                 "INSERT INTO \"odd name\" VALUES (5);"}));
}

TEST_F(DumpFixture, BackupErrors) {
    Exec("CREATE TABLE a (x INTEGER); CREATE TABLE b (y INTEGER);");
    auto message = [](auto&& f) -> std::string {
        try {
            f();
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return "no error";
    };
    Dump->TableList()->Add("a");
    Dump->TableList()->Add("b");
    EXPECT_EQ(message([&] { Dump->BackupQuery("SELECT * FROM a"); }),
              "To execute BackupQuery TableNames must have not more than one table");
    Dump->TableList()->Clear();
    EXPECT_EQ(message([&] { Dump->BackupQuery("SELECT * FROM a, b"); }), "Query must contain one table");
    rtl::TOwnedPtr<TLiteDump> loose(rtl::Create<TLiteDump>(nullptr));
    EXPECT_EQ(message([&] { loose->Backup(); }), "Connection is not defined");
}

// Every kind of column and value survives a backup and a restore into an empty file.
TEST_F(DumpFixture, RoundTripKeepsRowsAndSchema) {
    const std::string schema =
        "CREATE TABLE every (i INTEGER, big BIGINT, s SMALLINT, t TEXT, v VARCHAR(10), r REAL, d DOUBLE, "
        "n NUMERIC, dec DECIMAL(10,2), b BLOB, none, dt DATE, tm TIME, ts DATETIME, bo BOOLEAN, m MEMO)";
    Exec(schema + ";" +
         U(u8"INSERT INTO every VALUES (1, 4611686018427387904, -7, 'Текст ''в'' кавычках', 'abc', 0.1, "
           u8"0.30000000000000004, 12.5, 10.25, X'000102FF', 1.0, '2024-02-29', '23:59:58', "
           u8"'2024-02-29 23:59:58', 1, 'line1' || char(13) || char(10) || 'line2');"
           u8"INSERT INTO every VALUES (-9223372036854775808, 9223372036854775807, 0, '', '', 1e-300, "
           u8"-123456789.123456789, -0.5, 0, X'', 'text in none', NULL, NULL, NULL, 0, NULL);"
           u8"INSERT INTO every VALUES (NULL, NULL, NULL, NULL, NULL, 2.5e300, 1.0/3, NULL, NULL, NULL, 3.0, "
           u8"NULL, NULL, NULL, NULL, 'X''41''');"));
    Dump->BackupToFile(Path("every.sql"));

    rtl::TOwnedPtr<TLiteTestConnection> target(MakeConnection("copy.sdb"));
    target->ExecSQL(schema);
    Dump->SetConnection(target.get());
    Dump->RestoreFromFile(Path("every.sql"));

    const std::string rows = "SELECT * FROM every ORDER BY rowid";
    EXPECT_EQ(Rows(rows, "copy.sdb"), Rows(rows));
    EXPECT_EQ(Rows(rows).size(), 3u);
    const std::string master = "SELECT type, name, sql FROM sqlite_master ORDER BY name";
    EXPECT_EQ(Rows(master, "copy.sdb"), Rows(master));
}

struct UnicodeCase {
    const char* Name;
    bool Unicode;
    bool Bom;
    std::string Stored;  // what the copy holds
};

void PrintTo(const UnicodeCase& c, std::ostream* os) { *os << c.Name; }

class DumpUnicodeTest : public DumpFixture, public ::testing::WithParamInterface<UnicodeCase> {};

TEST_P(DumpUnicodeTest, TextOutsideTheCodePage) {
    const UnicodeCase& c = GetParam();
    const std::string text = U(u8"Жёлтый 中文 ✓ 😀 'q'");
    Exec("CREATE TABLE t (a TEXT, b TEXT)");
    {
        LiteFile f(Path("test.sdb"));
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(f.Db, "INSERT INTO t VALUES (?, 'plain')", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, text.c_str(), -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
    Conn.reset(MakeConnection("test.sdb", c.Unicode));
    Dump->SetConnection(Conn.get());
    Dump->BackupToFile(Path("u.sql"));
    const std::string file = ReadFile("u.sql");
    EXPECT_EQ(file.rfind("\xEF\xBB\xBF", 0) == 0, c.Bom);

    rtl::TOwnedPtr<TLiteTestConnection> target(MakeConnection("copy.sdb", c.Unicode));
    target->ExecSQL("CREATE TABLE t (a TEXT, b TEXT)");
    Dump->SetConnection(target.get());
    Dump->RestoreFromFile(Path("u.sql"));
    EXPECT_EQ(Rows("SELECT a, b FROM t", "copy.sdb"), (std::vector<std::string>{"t:" + c.Stored + "|t:plain"}));
}

INSTANTIATE_TEST_SUITE_P(Options, DumpUnicodeTest,
                         ::testing::Values(UnicodeCase{"Unicode", true, true, U(u8"Жёлтый 中文 ✓ 😀 'q'")},
                                           UnicodeCase{"SingleByte", false, false, U(u8"Жёлтый ?? ? ? 'q'")}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A stored text reaches the backup as the reader decodes it: the stored bytes where the output has
// their encoding, invalid UTF-8 as replacement characters, characters the code page lacks as '?',
// and a text holding a zero character as its bytes.
struct StoredTextCase {
    const char* Name;
    bool Unicode;
    bool SingleByteDatabase;
    std::string Stored;
    std::string Literal;  // in the output's encoding
};

void PrintTo(const StoredTextCase& c, std::ostream* os) { *os << c.Name; }

class DumpStoredTextTest : public DumpFixture, public ::testing::WithParamInterface<StoredTextCase> {};

TEST_P(DumpStoredTextTest, LiteralOfTheStoredBytes) {
    const StoredTextCase& c = GetParam();
    Exec("CREATE TABLE t (a TEXT)");
    {
        LiteFile f(Path("test.sdb"));
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(f.Db, "INSERT INTO t VALUES (?)", -1, &st, nullptr), SQLITE_OK);
        sqlite3_bind_text(st, 1, c.Stored.data(), static_cast<int>(c.Stored.size()), SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
    }
    Conn.reset(MakeConnection("test.sdb", c.Unicode));
    Conn->Props.push_back({sqlite::pidASCIIDataBase, Variant(c.SingleByteDatabase)});
    Dump->SetConnection(Conn.get());
    Dump->Options()->SetGenerateHeader(false);
    Dump->Options()->SetAddDrop(false);
    rtl::TMemoryStream out;
    Dump->BackupToStream(&out);
    EXPECT_EQ(std::string(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size())),
              (c.Unicode ? "\xEF\xBB\xBF\r\n" : "\r\n") + ("INSERT INTO t VALUES (" + c.Literal + ");\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Encodings, DumpStoredTextTest,
                         ::testing::Values(StoredTextCase{"Ascii", false, false, "it's", "'it''s'"},
                                           StoredTextCase{"Utf8ToUtf8", true, false, U(u8"Жё中😀'"), U(u8"'Жё中😀'''")},
                                           StoredTextCase{"InvalidUtf8ToUtf8", true, false, "a\xFF'b\xC0\x80",
                                                          U(u8"'a\uFFFD''b\uFFFD\uFFFD'")},
                                           StoredTextCase{"Utf8To1251", false, false, U(u8"Жё中'"), "'\xC6\xB8?'''"},
                                           StoredTextCase{"InvalidUtf8To1251", false, false, "a\xFF", "'a?'"},
                                           StoredTextCase{"SingleByteDatabase", false, true, "\xC6\x98'",
                                                          "'\xC6\x98'''"},
                                           StoredTextCase{"ZeroCharacter", true, false, std::string("a\0'b", 4),
                                                          "CAST(X'61002762' AS TEXT)"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A one-way read over many fetch blocks writes each row once, in order, and tells the progress
// event of every row.
TEST_F(DumpFixture, EveryRowOnceAcrossBlocks) {
    auto row = [](int i) {
        return "(" + std::to_string(i) + ", " + std::to_string(i) + ".5, X'0" + std::to_string(i % 10) + "', NULL)";
    };
    std::string sql = "CREATE TABLE t (n INTEGER, r REAL, b BLOB, x);";
    std::vector<std::string> expected{"", "DELETE FROM t;"};
    for (int i = 0; i < 60; ++i) {
        sql += "INSERT INTO t VALUES " + row(i) + ";";
        expected.push_back("INSERT INTO t VALUES " + row(i) + ";");
    }
    Exec(sql);
    int calls = 0;
    Dump->OnBackupProgress = [&](rtl::TObject*, const AnsiString& Table, int Num, int Count, int) {
        EXPECT_EQ(Table, "t");
        EXPECT_EQ(Num, 1);
        EXPECT_EQ(Count, 1);
        ++calls;
    };
    Dump->Options()->SetGenerateHeader(false);
    Dump->TableList()->Add("t");
    Dump->Backup();
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(calls, 60);
}

// --- restore: encodings ---

std::string Utf16(const std::string& Utf8) {
    const rtl::WideString w = rtl::UTF8ToWide(Utf8);
    std::string bytes = "\xFF\xFE";
    for (char16_t c : w) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

struct EncodingCase {
    const char* Name;
    std::string Bytes;
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.Name; }

class RestoreEncodingTest : public DumpFixture, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(RestoreEncodingTest, ReadsTheText) {
    Exec("CREATE TABLE t (a TEXT)");
    WriteFile("in.sql", GetParam().Bytes);
    Dump->RestoreFromFile(Path("in.sql"));
    EXPECT_EQ(Rows("SELECT a FROM t"), (std::vector<std::string>{U(u8"t:Жук «ё»")}));
}

const std::string kInsert = U(u8"INSERT INTO t VALUES ('Жук «ё»');");

INSTANTIATE_TEST_SUITE_P(Files, RestoreEncodingTest,
                         ::testing::Values(EncodingCase{"Utf8Bom", "\xEF\xBB\xBF" + kInsert},
                                           EncodingCase{"Utf16Bom", Utf16(kInsert)},
                                           EncodingCase{"SingleByte", rtl::UTF8ToAnsi(kInsert)},
                                           EncodingCase{"Utf8WithoutBom", kInsert}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A single-byte file that begins with the first two bytes of the UTF-8 mark keeps them.
TEST_F(DumpFixture, TwoMarkBytesAreText) {
    Exec("CREATE TABLE t (a TEXT)");
    WriteFile("in.sql", "\xEF\xBB;INSERT INTO t VALUES ('\xC6');");
    std::vector<std::string> failed;
    Dump->OnError = [&](rtl::TObject*, rtl::Exception&, const AnsiString& SQL, TErrorAction& Action) {
        failed.push_back(rtl::AnsiToUTF8(SQL));
        Action = eaContinue;
    };
    Dump->RestoreFromFile(Path("in.sql"));
    EXPECT_EQ(failed, (std::vector<std::string>{U(u8"п»")}));
    EXPECT_EQ(Rows("SELECT a FROM t"), (std::vector<std::string>{U(u8"t:Ж")}));
}

// Characters cut by the reader's block boundary arrive whole, at every alignment.
struct BlockCase {
    const char* Name;
    bool Utf16;
    bool Unicode;
    std::string Piece;  // UTF-8
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.Name; }

class RestoreBlockTest : public DumpFixture, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(RestoreBlockTest, SequencesAcrossBlocks) {
    const BlockCase& c = GetParam();
    Conn.reset(MakeConnection("test.sdb", c.Unicode));
    Dump->SetConnection(Conn.get());
    Conn->ExecSQL("CREATE TABLE t (n INTEGER, a TEXT)");
    std::string script;
    std::vector<std::string> expected;
    for (int shift = 0; shift < 4; ++shift) {
        std::string value(65536 - 40 + shift, 'a');
        for (int i = 0; i < 20; ++i) value += c.Piece;
        script += "INSERT INTO t VALUES (" + std::to_string(shift) + ", '" + value + "');\n";
        expected.push_back("i:" + std::to_string(shift) + "|t:" + value);
    }
    WriteFile("in.sql", c.Utf16 ? Utf16(script) : "\xEF\xBB\xBF" + script);
    Dump->RestoreFromFile(Path("in.sql"));
    EXPECT_EQ(Rows("SELECT n, a FROM t ORDER BY n"), expected);
}

INSTANTIATE_TEST_SUITE_P(Encodings, RestoreBlockTest,
                         ::testing::Values(BlockCase{"Utf8TwoBytes", false, false, U(u8"Ж")},
                                           BlockCase{"Utf8ThreeAndFourBytes", false, true, U(u8"中😀")},
                                           BlockCase{"Utf16Surrogates", true, true, U(u8"Ж😀")}),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- restore: progress and errors ---

TEST_F(DumpFixture, EmptyFileExecutesNothing) {
    WriteFile("empty.sql", "");
    int calls = 0;
    Dump->OnRestoreProgress = [&](rtl::TObject*, int) { ++calls; };
    Dump->RestoreFromFile(Path("empty.sql"));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master"), (std::vector<std::string>{"i:0"}));
}

TEST_F(DumpFixture, ProgressRisesToTheEnd) {
    WriteFile("in.sql", "CREATE TABLE t (a INTEGER);\nINSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);\n");
    std::vector<int> percents;
    Dump->OnRestoreProgress = [&](rtl::TObject*, int Percent) { percents.push_back(Percent); };
    Dump->RestoreFromFile(Path("in.sql"));
    ASSERT_EQ(percents.size(), 3u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GE(percents.back(), 95);
    EXPECT_EQ(Rows("SELECT a FROM t"), (std::vector<std::string>{"i:1", "i:2"}));
}

class RestoreFailureTest : public DumpFixture, public ::testing::WithParamInterface<bool> {};

// With the application's handler the failing statement is shown and the rest runs; without it the
// restore stops there with the error and undoes what it did.
TEST_P(RestoreFailureTest, SecondStatementFails) {
    const bool appHandler = GetParam();
    WriteFile("in.sql", "CREATE TABLE t (a INTEGER);\nINSERT INTO missing VALUES (1);\nINSERT INTO t VALUES (3);\n");
    std::optional<ScopedShownErrors> shown;
    if (appHandler) shown.emplace();
    if (appHandler) {
        EXPECT_NO_THROW(Dump->RestoreFromFile(Path("in.sql")));
        ASSERT_EQ(shown->Shown.size(), 1u);
        EXPECT_NE(shown->Shown[0].find("missing"), AnsiString::npos);
        EXPECT_EQ(Rows("SELECT a FROM t"), (std::vector<std::string>{"i:3"}));
    } else {
        EXPECT_THROW(Dump->RestoreFromFile(Path("in.sql")), rtl::Exception);
        // All or nothing: not even the table made before the failure stays.
        EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master WHERE name = 't'"), (std::vector<std::string>{"i:0"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Handler, RestoreFailureTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Installed" : "None"; });

TEST_F(DumpFixture, MissingFileIsAnOpenError) {
    EXPECT_THROW(Dump->RestoreFromFile(Path("nowhere.sql")), rtl::EFOpenError);
}

}  // namespace
}  // namespace scripttest
