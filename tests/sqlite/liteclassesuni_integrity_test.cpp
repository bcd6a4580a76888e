// Values and names at the edges where data could be lost, garbled or let into the SQL text.
#include "tests/sqlite/lite_fixture.h"

#include <optional>
#include <string>
#include <vector>

#include "data/store/MemDS.h"
#include "framework/rtl/DateUtils.h"

using namespace litetest;
using namespace store;

TEST_F(LiteTest, DateTextsReadAsTheirValuesOrAsNull) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (k INTEGER, d DATE, tm TIME, dt DATETIME)");
    const double day = rtl::EncodeDate(2024, 3, 15);
    const double at = rtl::EncodeTime(13, 45, 30, 0);
    const double old = rtl::EncodeDate(1850, 6, 1);
    const double quarter = rtl::EncodeTime(6, 0, 0, 0);
    using Opt = std::optional<double>;
    struct Case {
        const char* text;  // as written into all three columns
        Opt date, time, dateTime;
    };
    const Case cases[] = {
        {"'2024-03-15'", day, 0.0, day},
        {"'2024-03-15 13:45:30'", day, at, day + at},
        {"'2024-03-15 13:45:30.250'", day, at + 0.25 / 86400, day + at + 0.25 / 86400},
        {"'2024-03-15T13:45:30'", day, at, day + at},
        {"'2024-03-15 13:45'", day, at - 30.0 / 86400, day + at - 30.0 / 86400},
        // A zoned moment is read in UTC, as the engine's own date functions read it.
        {"'2024-03-15T13:45:30Z'", day, at, day + at},
        {"'2024-03-15T16:45:30.000+03:00'", day, at, day + at},
        {"'2024-03-15T10:45:30-0300'", day, at, day + at},
        {"'2024-03-16T01:15:30+11:30'", day, at, day + at},
        {"'1850-06-01'", old, 0.0, old},
        {"'1850-06-01 06:00:00'", old, quarter, old - quarter},
        // What does not parse is null, never 1899-12-30.
        {"'2024-02-30'", Opt(), Opt(), Opt()},
        {"'n/a'", Opt(), Opt(), Opt()},
        {"'T'", Opt(), Opt(), Opt()},
        {"'2024-03-15T13:45:30+25:00'", Opt(), Opt(), Opt()},
        {"1710510330", Opt(), Opt(), Opt()},  // a Unix time
        {"''", Opt(), Opt(), Opt()},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const AnsiString v = cases[i].text;
        Exec(c, "INSERT INTO t VALUES (" + rtl::IntToStr(int(i)) + ", " + v + ", " + v + ", " + v + ")");
    }
    auto rows = Select(c, "SELECT d, tm, dt FROM t ORDER BY k");
    ASSERT_EQ(rows.size(), std::size(cases));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(cases[i].text);
        const Opt want[] = {cases[i].date, cases[i].time, cases[i].dateTime};
        for (int col = 0; col < 3; ++col) {
            if (!want[col]) {
                EXPECT_TRUE(rows[i][col].IsNull()) << col;
            } else {
                ASSERT_FALSE(rows[i][col].IsNull()) << col;
                EXPECT_NEAR(rows[i][col].AsDateTime(), *want[col], 1e-9) << col;
            }
        }
    }
}

// Stored text x declared type: every value reads back whole, in both text modes, whatever the
// declared length says; the fields grow or move to roomier storage to hold it.
TEST_F(LiteTest, TextReadsWholeWhateverTheDeclaredLength) {
    const std::string cyr = reinterpret_cast<const char*>(u8"Опись");
    const std::string emoji = reinterpret_cast<const char*>(u8"\U0001F600");
    struct Case {
        const char* declared;
        std::string stored;  // UTF-8, written as a blob cast to text so any byte gets through
        int fetchRows;       // 0: FetchAll
    };
    const Case cases[] = {
        {"VARCHAR(5)", "abcdefgh", 0},
        {"VARCHAR(5)", "abc", 0},
        {"CHAR(3)", cyr + cyr, 0},
        {"NVARCHAR(200)", std::string(199, 'x') + emoji, 0},
        {"VARCHAR(40)", std::string(9000, 'y'), 0},
        {"VARCHAR(10)", std::string(70000, 'z'), 0},
        {"VARCHAR(10)", std::string("a\0b", 3), 0},
        {"TEXT", std::string("nul\0inside\0", 12), 0},
        {"", std::string(9000, 'q'), 0},  // no declared type: 8192 until a value needs more
        {"VARCHAR(5)", "long value read while opening", 25},
    };
    for (bool unicode : {false, true}) {
        for (const Case& t : cases) {
            SCOPED_TRACE(std::string(t.declared) + (unicode ? " unicode " : " ansi ") +
                         std::to_string(t.stored.size()));
            auto c = NewConnection(DbPath);
            c->SetProp(pidUseUnicode, Variant(unicode));
            c->Connect("");
            Exec(c.get(), "DROP TABLE IF EXISTS t");
            Exec(c.get(), AnsiString("CREATE TABLE t (k INTEGER, s ") + t.declared + ")");
            Exec(c.get(), "INSERT INTO t VALUES (1, 'short')");
            sqlite3_stmt* ins = nullptr;
            ASSERT_EQ(
                sqlite3_prepare_v2(c->API()->SQLite, "INSERT INTO t VALUES (2, CAST(? AS TEXT))", -1, &ins, nullptr),
                SQLITE_OK);
            sqlite3_bind_blob(ins, 1, t.stored.data(), static_cast<int>(t.stored.size()), SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(ins), SQLITE_DONE);
            sqlite3_finalize(ins);
            auto rs = Query(c.get(), "SELECT s FROM t ORDER BY k", t.fetchRows == 0, std::max(t.fetchRows, 1));
            for (int open = 0; open < 2; ++open) {  // the second open keeps the storage found
                rs->Open();
                auto rows = Rows(rs.get());
                ASSERT_EQ(rows.size(), 2u);
                if (unicode)
                    EXPECT_EQ(rows[1][0].AsWideString(), rtl::UTF8ToWide(t.stored));
                else
                    EXPECT_EQ(rows[1][0].AsAnsiString(), rtl::UTF8ToAnsi(t.stored));
                EXPECT_EQ(rows[0][0].AsAnsiString(), "short");
                rs->Close();
            }
        }
    }
}

TEST_F(LiteTest, ALongValueInALaterBlockRereadsEveryRowOnce) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (k INTEGER PRIMARY KEY, s VARCHAR(4), m TEXT)");
    Exec(c,
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 700) "
         "INSERT INTO t SELECT i, 'r' || i, 'memo ' || i FROM n");
    Exec(c, "UPDATE t SET s = 'a value far longer than four' WHERE k = 650");
    auto rs = Query(c, "SELECT k, s, m FROM t ORDER BY k");
    rs->Open();
    auto rows = Rows(rs.get());
    ASSERT_EQ(rows.size(), 700u);
    EXPECT_EQ(rs->GetRecordCount(), 700);
    EXPECT_EQ(rows[0][1].AsAnsiString(), "r1");
    EXPECT_EQ(rows[649][1].AsAnsiString(), "a value far longer than four");
    EXPECT_EQ(rows[699][2].AsAnsiString(), "memo 700");
}

TEST_F(LiteTest, TextOutgrowingAFieldAlreadyInUseIsRefusedNamingIt) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (k INTEGER, s VARCHAR(5))");
    Exec(c, "INSERT INTO t VALUES (1, 'ab'), (2, 'abcdefgh'), (3, 'a' || char(0) || 'b')");
    // One row per block: the later rows arrive after the fields were handed out.
    auto rs = Query(c, "SELECT s FROM t ORDER BY k", false, 1);
    rs->Open();
    void* buf = rs->AllocRecBuf();
    rs->SetToBegin();
    rs->GetNextRecord(buf);
    EXPECT_EQ(rs->GetFieldValue(1, buf).AsAnsiString(), "ab");
    EXPECT_EQ(MessageOf([&] { rs->GetNextRecord(buf); }), "Field: s\r\n" + rtl::Format(SValueLongerThanField, {8, 5}));
    rs->FreeRecBuf(buf);
    rs->Close();
    auto zero = Query(c, "SELECT s FROM t WHERE k <> 2 ORDER BY k", false, 1);
    zero->Open();
    buf = zero->AllocRecBuf();
    zero->SetToBegin();
    zero->GetNextRecord(buf);
    EXPECT_EQ(MessageOf([&] { zero->GetNextRecord(buf); }), AnsiString("Field: s\r\n") + SZeroCharInText);
    zero->FreeRecBuf(buf);
}

TEST_F(LiteTest, BCDValueBeyondSixtyFourBitsIsRefusedNotWrapped) {
    TSQLiteConnection* c = Open();
    c->SetProp(daccess::pidEnableBCD, Variant(true));
    Exec(c, "CREATE TABLE t (n NUMERIC(18,4))");
    Exec(c, "INSERT INTO t VALUES (123.4567)");
    Exec(c, "INSERT INTO t VALUES (-922337203685477)");
    auto rs = Query(c, "SELECT n FROM t");
    rs->Open();
    ASSERT_EQ(rs->Fields()[0]->DataType, mdtBCD);
    auto rows = Rows(rs.get());
    EXPECT_DOUBLE_EQ(rows[0][0].AsDouble(), 123.4567);
    EXPECT_DOUBLE_EQ(rows[1][0].AsDouble(), -922337203685477.0);

    Exec(c, "INSERT INTO t VALUES (1e16)");
    auto big = Query(c, "SELECT n FROM t");
    const std::string msg = MessageOf([&] { big->Open(); });
    EXPECT_EQ(msg, "Field: n\r\n" + rtl::Format(SValueOutOfRange, {rtl::FloatToStr(1e16)}));
}

// Every kind of UTF-8 input decodes into 1251 as the runtime's converter does, also when the
// destination is shorter than the text, and nothing is written past what was decoded: in chunks
// of each width the processor has, and a character at a time.
TEST(LiteText, FetchDecoderMatchesTheRuntimeConverter) {
    std::vector<std::string> inputs = {
        "",
        "plain ASCII",
        reinterpret_cast<const char*>(u8"Архив управления культуры, учёт Ёлок"),
        reinterpret_cast<const char*>(u8"№ 5 — «фонд» € § é 漢字 \U0001F600 end"),
        "bad \xD0 lone lead, \xC0\x80 overlong, \xFF\xFE, cut \xE2\x84",
        "\xD1",
        "\xED\xA0\x80 surrogate, \xF4\x90\x80\x80 beyond, \xF0\x9F\x98 cut",
    };
    // Texts are decoded 16 or 64 bytes at a time: put every kind of break in the Cyrillic run at
    // every place in such a chunk, the lead of a pair ending one included.
    const std::string run = reinterpret_cast<const char*>(u8"Опись дел фонда ЁЖИК ёжик Яя Аа");
    const std::string breaks[] = {"",
                                  "x",
                                  reinterpret_cast<const char*>(u8"№"),
                                  reinterpret_cast<const char*>(u8"é"),
                                  reinterpret_cast<const char*>(u8"Ђђ"),
                                  reinterpret_cast<const char*>(u8"\U0001F600"),
                                  "\xD0",
                                  "\x80",
                                  "\xD0\xD0\x90",
                                  "\xC1\x81",
                                  "\xDF\xBF",
                                  "\xE2\x84",
                                  std::string("\0", 1),
                                  "\x7F\xC2\x80",
                                  reinterpret_cast<const char*>(u8"«Ѐ§»"),
                                  "\xC2"};
    for (const std::string& brk : breaks)
        for (size_t at = 0; at <= 66; ++at) {
            inputs.push_back(std::string(at, 'x') + run + brk + run + run);
            inputs.push_back(std::string(at, 'x') + run + run + brk);
        }
    const unsigned widest = TSQLiteConnection::TextChunkBytes();
    struct TWidestAgain {
        ~TWidestAgain() { TSQLiteConnection::LimitTextChunkBytes(~0u); }
    } widestAgain;
    for (unsigned limit : {64u, 16u, 0u}) {
        if (limit > widest) continue;
        TSQLiteConnection::LimitTextChunkBytes(limit);
        ASSERT_EQ(TSQLiteConnection::TextChunkBytes(), limit);
        for (const std::string& in : inputs) {
            const AnsiString whole = rtl::UTF8ToAnsi(in);
            for (size_t max : {whole.size(), size_t(0), size_t(1), whole.size() / 2, whole.size() + 3, in.size()}) {
                std::string got(max + 1, '#');
                std::string want(max + 1, '#');
                const size_t n = TSQLiteConnection::DecodeUTF8To(in.data(), in.size(), got.data(), max);
                const size_t m = rtl::UTF8ToAnsiBuf(in, want.data(), max);
                EXPECT_EQ(n, m) << in << " max " << max << " chunks " << limit;
                EXPECT_EQ(got, want) << in << " max " << max << " chunks " << limit;
            }
            std::u16string wide(in.size() + 1, u'#');
            const size_t units = TSQLiteConnection::DecodeUTF8ToWide(in.data(), in.size(), wide.data());
            EXPECT_EQ(wide.substr(units), std::u16string(in.size() + 1 - units, u'#')) << in;
            wide.resize(units);
            EXPECT_EQ(wide, rtl::UTF8ToWide(in)) << in;
        }
    }
}

TEST_F(LiteTest, MixedTextFetchesIntoEveryTextLayout) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (s CHAR(30), e VARCHAR(200), m TEXT)");
    const std::string utf8 = reinterpret_cast<const char*>(u8"Дело № 7 — «учёт» €5, 漢");
    Exec(c, "INSERT INTO t VALUES (" + rtl::QuotedStr(rtl::UTF8ToAnsi(utf8)) + ", NULL, NULL)");
    // Stored straight as UTF-8, so that characters without a 1251 form reach the reader.
    sqlite3* db = c->API()->SQLite;
    const std::string sql = "UPDATE t SET e = '" + utf8 + "', m = '" + utf8 + utf8 + "'";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    auto rows = Select(c, "SELECT s, e, m FROM t");
    const AnsiString expected = rtl::UTF8ToAnsi(utf8);
    EXPECT_EQ(rows[0][0].AsAnsiString(), expected);
    EXPECT_EQ(rows[0][1].AsAnsiString(), expected);
    EXPECT_EQ(rows[0][2].AsAnsiString(), expected + expected);
}

TEST_F(LiteTest, NamesWithQuotesStayOneIdentifier) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE \"we\"\"ird\" (id INTEGER)");
    Exec(c, "CREATE TABLE victim (id INTEGER)");
    Exec(c, "INSERT INTO \"we\"\"ird\" VALUES (1)");
    auto rs = Query(c, "SELECT id FROM \"we\"\"ird\"");
    rs->Open();
    auto* info = static_cast<daccess::TCRFieldDesc*>(rs->Fields()[0])->TableInfo;
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->TableName(), "\"we\"\"ird\"");
    EXPECT_EQ(Select(c, "SELECT count(*) FROM " + info->GetTableNameFull())[0][0].AsInteger(), 1);

    auto* tr = c->GetInternalTransaction();
    tr->BeginWork();
    Exec(c, "INSERT INTO victim VALUES (1)");
    for (const AnsiString& name : {AnsiString("x; DROP TABLE victim"), AnsiString("\"y\"; DROP TABLE victim; --\""),
                                   AnsiString("\"plain \"\"quoted\"\"\"")}) {
        tr->Savepoint(name);
        Exec(c, "INSERT INTO victim VALUES (2)");
        tr->RollbackToSavepoint(name);
        tr->ReleaseSavepoint(name);
    }
    tr->CommitWork();
    EXPECT_EQ(Select(c, "SELECT count(*) FROM victim")[0][0].AsInteger(), 1);
}

// The dataset over the record set makes its fields from the sizes the values called for.
TEST_F(LiteTest, DatasetFieldsShowTextLongerThanItsDeclaredLengthWhole) {
    for (bool unicode : {false, true}) {
        SCOPED_TRACE(unicode);
        auto c = NewConnection(DbPath);
        c->SetProp(pidUseUnicode, Variant(unicode));
        c->Connect("");
        Exec(c.get(), "DROP TABLE IF EXISTS t");
        Exec(c.get(), "CREATE TABLE t (s VARCHAR(5), n NVARCHAR(3))");
        Exec(c.get(), "INSERT INTO t VALUES ('abcdefghij', " + rtl::QuotedStr(A(u8"Опись дел")) + ")");
        rtl::TOwnedPtr<store::TMemDataSet> ds(rtl::Create<store::TMemDataSet>(nullptr));
        ds->SetIRecordSet(std::unique_ptr<store::TData>(Query(c.get(), "SELECT s, n FROM t").release()));
        ds->Open();
        ds->First();
        EXPECT_EQ(ds->FieldByName(std::string_view("s"))->AsString(), "abcdefghij");
        EXPECT_EQ(ds->FieldByName(std::string_view("n"))->AsString(), A(u8"Опись дел"));
        ds->Close();
    }
}
