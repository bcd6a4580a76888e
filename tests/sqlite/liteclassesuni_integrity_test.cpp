// Values and names at the edges where data could be lost, garbled or let into the SQL text.
#include "tests/sqlite/lite_fixture.h"

#include "framework/rtl/DateUtils.h"

using namespace litetest;
using namespace store;

TEST_F(LiteTest, DateTextsInTheEnginesFormsReadAsTheirValues) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (k INTEGER, d DATE, tm TIME, dt DATETIME)");
    const double day = rtl::EncodeDate(2024, 3, 15);
    const double at = rtl::EncodeTime(13, 45, 30, 0);
    struct Case {
        const char* text;
        double date, time, dateTime;
    };
    const Case cases[] = {
        {"2024-03-15", day, 0, day},
        {"2024-03-15 13:45:30", day, at, day + at},
        {"2024-03-15 13:45:30.250", day, at + 0.25 / 86400, day + at + 0.25 / 86400},
        {"2024-03-15T13:45:30", day, at, day + at},
        {"1850-06-01", rtl::EncodeDate(1850, 6, 1), 0, rtl::EncodeDate(1850, 6, 1)},
        {"2024-02-30", 0, 0, 0},
        {"not a date", 0, 0, 0},
        {"T", 0, 0, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const AnsiString v = rtl::QuotedStr(cases[i].text);
        Exec(c, "INSERT INTO t VALUES (" + rtl::IntToStr(int(i)) + ", " + v + ", " + v + ", " + v + ")");
    }
    auto rows = Select(c, "SELECT d, tm, dt FROM t ORDER BY k");
    ASSERT_EQ(rows.size(), std::size(cases));
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i][0].AsDateTime(), cases[i].date, 1e-9) << cases[i].text;
        EXPECT_NEAR(rows[i][1].AsDateTime(), cases[i].time, 1e-9) << cases[i].text;
        EXPECT_NEAR(rows[i][2].AsDateTime(), cases[i].dateTime, 1e-9) << cases[i].text;
    }
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
// destination is shorter than the text.
TEST(LiteText, FetchDecoderMatchesTheRuntimeConverter) {
    const std::string inputs[] = {
        "",
        "plain ASCII",
        reinterpret_cast<const char*>(u8"Архив управления культуры, учёт Ёлок"),
        reinterpret_cast<const char*>(u8"№ 5 — «фонд» € § é 漢字 \U0001F600 end"),
        "bad \xD0 lone lead, \xC0\x80 overlong, \xFF\xFE, cut \xE2\x84",
        "\xD1",
    };
    for (const std::string& in : inputs) {
        const AnsiString whole = rtl::UTF8ToAnsi(in);
        for (size_t max : {whole.size(), size_t(0), size_t(1), whole.size() / 2, whole.size() + 3}) {
            std::string got(max + 1, '#');
            std::string want(max + 1, '#');
            const size_t n = TSQLiteConnection::DecodeUTF8To(in.data(), in.size(), got.data(), max);
            const size_t m = rtl::UTF8ToAnsiBuf(in, want.data(), max);
            EXPECT_EQ(n, m) << in << " max " << max;
            EXPECT_EQ(got, want) << in << " max " << max;
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
