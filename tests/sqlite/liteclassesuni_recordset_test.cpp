#include <cmath>

#include "framework/rtl/DateUtils.h"
#include "tests/sqlite/lite_fixture.h"

using namespace litetest;
using namespace store;

TEST_F(LiteTest, EveryDeclaredTypeRoundTripsWithNullsAndCyrillicText) {
    TSQLiteConnection* c = Open();
    Exec(c,
         "CREATE TABLE t (i2 SMALLINT, i INTEGER, b BIGINT, vc VARCHAR(50), ch CHAR(10), tx TEXT, bl BLOB,"
         " r REAL, n NUMERIC(10,2), m MONEY, bo BOOLEAN, vb VARBINARY(8), d DATE, tm TIME, dt DATETIME,"
         " other SOMETHING)");
    const AnsiString cyr = A(u8"Архив №1 ёлка");
    auto ins =
        Command(c, "INSERT INTO t VALUES (:i2, :i, :b, :vc, :ch, :tx, :bl, :r, :n, :m, :bo, :vb, :d, :tm, :dt, :o)");
    ASSERT_EQ(ins->ParamCount(), 16);
    struct P {
        TMemDataType type;
        Variant value;
    };
    const double date = rtl::EncodeDate(2024, 3, 15);
    const double time = rtl::EncodeTime(13, 45, 30, 0);
    std::vector<P> values = {{mdtInt16, Variant(-12)},
                             {mdtInt32, Variant(123456)},
                             {mdtInt64, Variant(1LL << 40)},
                             {mdtString, Variant(cyr)},
                             {mdtString, Variant(AnsiString("abc"))},
                             {mdtMemo, Variant(cyr + cyr)},
                             {mdtBlob, Variant::FromBytes(TBytes{0, 1, 2, 255})},
                             {mdtFloat, Variant(2.5)},
                             {mdtFloat, Variant(12.75)},
                             {mdtCurrency, Variant(3.25)},
                             {mdtBoolean, Variant(true)},
                             {mdtVarBytes, Variant::FromBytes(TBytes{9, 8, 7})},
                             {mdtDate, Variant::FromDate(date)},
                             {mdtTime, Variant::FromDate(time)},
                             {mdtDateTime, Variant::FromDate(date + time)},
                             {mdtString, Variant(cyr)}};
    for (size_t i = 0; i < values.size(); ++i) {
        ins->Params(int(i))->SetDataType(values[i].type);
        ins->Params(int(i))->SetValue(values[i].value);
    }
    ins->Execute();
    for (size_t i = 0; i < values.size(); ++i) ins->Params(int(i))->SetNull(true);
    ins->Execute();

    // Stored as UTF-8 in the database.
    auto raw = Select(c, "SELECT hex(vc) FROM t LIMIT 1");
    EXPECT_EQ(raw[0][0].AsAnsiString(), rtl::BytesToHex(reinterpret_cast<const uint8_t*>(rtl::AnsiToUTF8(cyr).data()),
                                                        rtl::AnsiToUTF8(cyr).size()));

    auto rs = Query(c, "SELECT * FROM t");
    rs->Open();
    const TMemDataType expected[] = {mdtInt16, mdtInt32, mdtInt64,    mdtString,   mdtString,  mdtMemo,
                                     mdtBlob,  mdtFloat, mdtFloat,    mdtCurrency, mdtBoolean, mdtVarBytes,
                                     mdtDate,  mdtTime,  mdtDateTime, mdtString};
    for (int f = 0; f < 16; ++f) EXPECT_EQ(rs->Fields()[f]->DataType, expected[f]) << "field " << f;
    EXPECT_EQ(rs->Fields()[3]->Length, 50);
    auto rows = Rows(rs.get());
    ASSERT_EQ(rows.size(), 2u);
    const auto& r = rows[0];
    EXPECT_EQ(r[0].AsInteger(), -12);
    EXPECT_EQ(r[1].AsInteger(), 123456);
    EXPECT_EQ(r[2].AsInt64(), 1LL << 40);
    EXPECT_EQ(r[3].AsAnsiString(), cyr);
    EXPECT_EQ(r[4].AsAnsiString(), "abc");
    EXPECT_EQ(r[5].AsAnsiString(), cyr + cyr);
    EXPECT_EQ(r[6].AsBytes(), (TBytes{0, 1, 2, 255}));
    EXPECT_DOUBLE_EQ(r[7].AsDouble(), 2.5);
    EXPECT_DOUBLE_EQ(r[8].AsDouble(), 12.75);
    EXPECT_DOUBLE_EQ(r[9].AsDouble(), 3.25);
    EXPECT_TRUE(r[10].AsBoolean());
    EXPECT_EQ(r[11].AsBytes(), (TBytes{9, 8, 7}));
    EXPECT_DOUBLE_EQ(r[12].AsDateTime(), date);
    EXPECT_NEAR(r[13].AsDateTime(), time, 1e-6);
    EXPECT_NEAR(r[14].AsDateTime(), date + time, 1e-6);
    EXPECT_EQ(r[15].AsAnsiString(), cyr);
    for (size_t f = 0; f < rows[1].size(); ++f) EXPECT_TRUE(rows[1][f].IsNull()) << "field " << f;
}

TEST_F(LiteTest, DeclaredTypesAndOptionsGiveTheFieldLayout) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (a VARCHAR(50), b VARCHAR, c VARCHAR(300), d NUMERIC(10,2), e INTEGER)");
    struct Case {
        const char* what;
        bool flat, longStrings, bcd;
        TMemDataType a, c, d;
    };
    const Case cases[] = {
        {"defaults", true, true, false, mdtString, mdtString, mdtFloat},
        {"heap strings", false, true, false, mdtExtString, mdtExtString, mdtFloat},
        {"short strings", true, false, true, mdtString, mdtMemo, mdtBCD},
    };
    for (const auto& k : cases) {
        auto rs = Query(c, "SELECT a, b, c, d, e, e + 1 AS x FROM t");
        rs->SetProp(daccess::pidFlatBuffers, Variant(k.flat));
        rs->SetProp(daccess::pidLongStrings, Variant(k.longStrings));
        rs->GetCommand()->SetProp(daccess::pidEnableBCD, Variant(k.bcd));
        rs->Open();
        EXPECT_EQ(rs->Fields()[0]->DataType, k.a) << k.what;
        EXPECT_EQ(rs->Fields()[1]->Length, 8192) << k.what;
        EXPECT_EQ(rs->Fields()[2]->DataType, k.c) << k.what;
        EXPECT_EQ(rs->Fields()[3]->DataType, k.d) << k.what;
        if (k.bcd) {
            EXPECT_EQ(rs->Fields()[3]->Length, 10);
            EXPECT_EQ(rs->Fields()[3]->Scale, 2);
        }
        EXPECT_EQ(rs->Fields()[4]->DataType, mdtInt32) << k.what;
        // An expression on an empty result reads the NULL storage class: text of the default length.
        EXPECT_EQ(rs->Fields()[5]->DataType, k.flat ? mdtString : mdtExtString) << k.what;
    }
    // UTF-16 text of 32 characters or more lives in the heap at its own length, flat buffers or
    // not: slots of twice the declared length would double the store.
    auto u = NewConnection(DbPath);
    u->SetProp(pidUseUnicode, Variant(true));
    u->Connect("");
    Exec(u.get(), "CREATE TABLE w (s CHAR(10))");
    auto wide = Query(u.get(), "SELECT a, b, c, s FROM t, w");
    wide->Open();
    EXPECT_EQ(wide->Fields()[0]->DataType, mdtExtWideString);
    EXPECT_EQ(wide->Fields()[0]->Length, 50);
    EXPECT_EQ(wide->Fields()[1]->DataType, mdtExtWideString);
    EXPECT_EQ(wide->Fields()[2]->DataType, mdtExtWideString);
    EXPECT_EQ(wide->Fields()[3]->DataType, mdtWideString);
    // An aggregate over an empty table still yields a row, typed by its storage class.
    auto rs = Query(c, "SELECT count(*) FROM t");
    rs->Open();
    EXPECT_EQ(rs->Fields()[0]->DataType, mdtInt64);
    EXPECT_EQ(Rows(rs.get())[0][0].AsInteger(), 0);
}

TEST_F(LiteTest, FetchesInBlocksOrAllAtOnce) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER)");
    Exec(c,
         "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 60) INSERT INTO t SELECT x FROM n");

    auto partial = Query(c, "SELECT id FROM t ORDER BY id", false, 25);
    partial->Open();
    EXPECT_EQ(partial->GetRecordCount(), 25);
    EXPECT_EQ(partial->LiteCommand()->GetCursorState(), daccess::csFetching);
    auto rows = Rows(partial.get());
    ASSERT_EQ(rows.size(), 60u);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(rows[size_t(i)][0].AsInteger(), i + 1);
    EXPECT_EQ(partial->GetRecordCount(), 60);
    EXPECT_FALSE(partial->LiteCommand()->GetPrepared()) << "statement finalized once all rows are read";

    auto all = Query(c, "SELECT id FROM t", true, 7);
    all->Open();
    EXPECT_EQ(all->GetRecordCount(), 60);
    EXPECT_EQ(all->LiteCommand()->GetCursorState(), daccess::csInactive);

    auto none = Query(c, "SELECT id FROM t WHERE id < 0");
    none->Open();
    EXPECT_EQ(none->GetRecordCount(), 0);
    EXPECT_TRUE(Rows(none.get()).empty());

    auto stmt = Query(c, "UPDATE t SET id = id");
    EXPECT_EQ(MessageOf([&] { stmt->Open(); }), SNotRows);
}

TEST_F(LiteTest, FetchedBlobsKeepTheirValuesAcrossBlocksAndOutliveTheRecordSet) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER, m TEXT, b BLOB)");
    // NULLs, empty values and values of every size between them, over several fetch blocks.
    Exec(c,
         "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 300) INSERT INTO t SELECT x,"
         " CASE x % 3 WHEN 0 THEN NULL WHEN 1 THEN '' ELSE replace(hex(zeroblob(x)), '00', 'z') END,"
         " CASE x % 4 WHEN 0 THEN NULL ELSE zeroblob(x % 7) END FROM n");
    auto expected = [](int x, int f) -> Variant {
        if (f == 1) {
            if (x % 3 == 0) return Variant::Null();
            if (x % 3 == 1) return Variant(AnsiString());
            return Variant(AnsiString(size_t(x), 'z'));
        }
        if (x % 4 == 0) return Variant::Null();
        return Variant::FromBytes(TBytes(size_t(x % 7), 0));
    };
    for (bool all : {true, false}) {
        SCOPED_TRACE(all ? "fetch all" : "fetch in blocks");
        auto rs = Query(c, "SELECT id, m, b FROM t ORDER BY id", all, 25);
        rs->Open();
        auto rows = Rows(rs.get());
        ASSERT_EQ(rows.size(), 300u);
        for (int x = 1; x <= 300; ++x)
            for (int f = 1; f <= 2; ++f) {
                const Variant& got = rows[size_t(x - 1)][size_t(f)];
                const Variant want = expected(x, f);
                EXPECT_EQ(got.IsNull(), want.IsNull()) << x;
                if (want.IsNull()) continue;
                if (f == 1)
                    EXPECT_EQ(got.AsAnsiString(), want.AsAnsiString()) << x;
                else
                    EXPECT_EQ(got.AsBytes(), want.AsBytes()) << x;
            }

        // A blob held past the record set, edited and cancelled, still reads its fetched value.
        void* buf = rs->AllocRecBuf();
        rs->SetToBegin();
        for (int i = 0; i < 110; ++i) rs->GetNextRecord(buf);
        rtl::TSharedRef<TBlob> memo = rtl::TSharedRef<TBlob>::Retain(rs->GetBlob(2, buf));
        rs->FreeRecBuf(buf);
        rs.reset();
        EXPECT_EQ(memo->GetAsString(), expected(110, 1).AsAnsiString());
        memo->SetAsString("changed");
        memo->Cancel();
        EXPECT_EQ(memo->GetAsString(), expected(110, 1).AsAnsiString());
    }
}

// Memos that decode shorter than they are stored sit side by side in shared room: each row
// reads back its own text, short ones and ones past the shared room's size, in both text modes.
TEST_F(LiteTest, MemosDecodedSideBySideKeepTheirOwnText) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER, m TEXT)");
    const std::u16string word = u"Опись ёлка №";
    auto text = [&](int x) {
        std::u16string w;
        const int len = x % 50 == 0 ? 9000 + x : x % 97;  // a few longer than a shared room takes
        while (static_cast<int>(w.size()) < len) w += word + rtl::AnsiToWide(rtl::IntToStr(x));
        w.resize(static_cast<size_t>(len));
        return w;
    };
    auto ins = Command(c, "INSERT INTO t VALUES (:id, :m)");
    ins->Params(0)->SetDataType(mdtInt32);
    ins->Params(1)->SetDataType(mdtWideMemo);
    for (int x = 1; x <= 400; ++x) {
        ins->Params(0)->SetValue(Variant(x));
        ins->Params(1)->SetValue(Variant(text(x)));
        ins->Execute();
    }
    for (bool unicode : {false, true}) {
        SCOPED_TRACE(unicode ? "unicode" : "ansi");
        auto u = NewConnection(DbPath);
        u->SetProp(pidUseUnicode, Variant(unicode));
        u->Connect("");
        auto rs = Query(u.get(), "SELECT id, m FROM t ORDER BY id");
        rs->Open();
        ASSERT_EQ(rs->Fields()[1]->DataType, unicode ? mdtWideMemo : mdtMemo);
        auto rows = Rows(rs.get());
        ASSERT_EQ(rows.size(), 400u);
        for (int x = 1; x <= 400; ++x) {
            const Variant& got = rows[size_t(x - 1)][1];
            if (unicode)
                EXPECT_EQ(got.AsWideString(), text(x)) << x;
            else
                EXPECT_EQ(got.AsAnsiString(), rtl::WideToAnsi(text(x))) << x;
        }
    }
}

TEST_F(LiteTest, LastInsertRowIdAndRowsAffected) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
    auto ins = Command(c, "INSERT INTO t (v) VALUES (:v)");
    ins->Params(0)->SetDataType(mdtString);
    for (const char* v : {"a", "b", "c"}) {
        ins->Params(0)->SetValue(Variant(AnsiString(v)));
        ins->Execute();
    }
    Variant id;
    c->GetProp(daccess::pidLastInsertId, id);
    EXPECT_EQ(id.AsInt64(), 3);
    Variant n;
    ins->GetProp(daccess::pidRowsAffected, n);
    EXPECT_EQ(n.AsInteger(), 1);

    auto upd = Command(c, "UPDATE t SET v = 'x' WHERE id > :id");
    upd->Params(0)->SetDataType(mdtInt32);
    upd->Params(0)->SetValue(Variant(1));
    upd->Execute();
    EXPECT_EQ(upd->RowsAffected(), 2);

    // A view changed through an INSTEAD OF trigger: the statement itself counts nothing, though the
    // change was made, so the count is unknown rather than 0.
    Exec(c, "CREATE VIEW w AS SELECT id, v FROM t");
    Exec(c, "CREATE TRIGGER w_upd INSTEAD OF UPDATE ON w BEGIN UPDATE t SET v = NEW.v WHERE id = OLD.id; END");
    auto viaView = Command(c, "UPDATE w SET v = 'y' WHERE id = 1");
    viaView->Execute();
    EXPECT_EQ(viaView->RowsAffected(), -1);
    EXPECT_EQ(Select(c, "SELECT v FROM t WHERE id = 1")[0][0].AsAnsiString(), "y");
    auto nothing = Command(c, "UPDATE t SET v = 'z' WHERE id = 99");
    nothing->Execute();
    EXPECT_EQ(nothing->RowsAffected(), 0);
}

TEST_F(LiteTest, ParameterScanAndBindingRules) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (a INTEGER, b TEXT)");
    auto twice = Command(c, "INSERT INTO t VALUES (:a, :b || ':x' || :a)");
    ASSERT_EQ(twice->ParamCount(), 2);
    EXPECT_EQ(twice->Params(0)->GetName(), "a");
    twice->Params(0)->SetDataType(mdtInt32);
    twice->Params(0)->SetValue(Variant(5));
    twice->Params(1)->SetDataType(mdtString);
    twice->Params(1)->SetValue(Variant(AnsiString("q")));
    twice->Execute();
    EXPECT_EQ(Select(c, "SELECT b FROM t")[0][0].AsAnsiString(), "q:x5");

    // Parameter names are caseless: every spelling is the one parameter, bound at each place,
    // and text in quotes keeps its spelling.
    const struct {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"INSERT INTO t (b) VALUES (:a || '-' || :A)", "7-7"},
        {"INSERT INTO t (b) VALUES (:Id || ':ID' || :ID || /* :iD */ :id)", "7:ID77"},
    };
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.sql);
        auto cased = Command(c, cs.sql);
        ASSERT_EQ(cased->ParamCount(), 1);
        cased->Params(0)->SetDataType(mdtInt32);
        cased->Params(0)->SetValue(Variant(7));
        cased->Execute();
        EXPECT_EQ(Select(c, "SELECT b FROM t WHERE a IS NULL")[0][0].AsAnsiString(), cs.expected);
        Exec(c, "DELETE FROM t WHERE a IS NULL");
    }

    auto quoted = Command(c, "SELECT :\"my name\", '::x', ::y");
    ASSERT_EQ(quoted->ParamCount(), 1);
    EXPECT_EQ(quoted->Params(0)->GetName(), "my name");

    // Only blanks, semicolons and comments may follow the one statement; anything else is refused
    // before the first statement runs.
    const struct {
        const char* sql;
        bool runs;
    } texts[] = {
        {"INSERT INTO t VALUES (7, 'x');", true},
        {"INSERT INTO t VALUES (7, 'x') ; ;\n -- done\n /* end */ ", true},
        {"INSERT INTO t VALUES (7, 'x') /* unclosed", true},
        {"INSERT INTO t VALUES (7, 'x'); INSERT INTO t VALUES (2, 'two')", false},
        {"INSERT INTO t VALUES (7, 'x'); DROP TABLE t", false},
        {"INSERT INTO t VALUES (7, 'x'); -- note\n SELECT 1", false},
        {"INSERT INTO t VALUES (7, 'x'); garbage", false},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.sql);
        auto cmd = Command(c, t.sql);
        if (t.runs) {
            cmd->Execute();
        } else {
            EXPECT_EQ(MessageOf([&] { cmd->Execute(); }), SMultipleStatements);
        }
        EXPECT_EQ(Select(c, "SELECT count(*) FROM t WHERE a = 7")[0][0].AsInteger(), t.runs ? 1 : 0);
        EXPECT_EQ(Select(c, "SELECT count(*) FROM sqlite_master WHERE name = 't'")[0][0].AsInteger(), 1);
        Exec(c, "DELETE FROM t WHERE a IN (2, 7)");
    }

    EXPECT_EQ(MessageOf([&] { Command(c, "  ")->Execute(); }), SEmptySQLStatement);
    rtl::TOwnedPtr<TSQLiteCommand> lone(rtl::Create<TSQLiteCommand>());
    lone->SetSQL("SELECT 1");
    EXPECT_EQ(MessageOf([&] { lone->Execute(); }), SConnectionNotDefined);
    EXPECT_EQ(MessageOf([&] { lone->CreateProcCall("p", false, false); }), SStoredProcNotSupported);
}

// Text parameters reach the file as the connection encodes them, whether the value holds ANSI or
// wide text; an empty text is '' and never NULL.
TEST_F(LiteTest, TextParametersAreStoredInTheConnectionsEncoding) {
    const Variant values[] = {
        Variant(AnsiString()),
        Variant(AnsiString("plain ascii\t1\r\n")),
        Variant(AnsiString("\xCE\xEF\xE8\xF1\xFC \xB9 7")),  // Cyrillic and the numero sign in 1251
        Variant(rtl::WideString()),
        Variant(rtl::WideString(u"wide ascii")),
        Variant(rtl::WideString(u"\u041E\u043F\u0438\u0441\u044C \u20AC")),
    };
    for (const bool unicode : {false, true}) {
        auto c = NewConnection(DbPath, false);
        c->SetProp(pidUseUnicode, Variant(unicode));
        c->Connect("");
        Exec(c.get(), "CREATE TABLE IF NOT EXISTS texts (b)");
        for (const Variant& v : values) {
            SCOPED_TRACE(std::string(unicode ? "unicode: " : "ansi: ") + v.AsAnsiString());
            Exec(c.get(), "DELETE FROM texts");
            auto cmd = Command(c.get(), "INSERT INTO texts VALUES (:b)");
            cmd->Params(0)->SetDataType(mdtString);
            cmd->Params(0)->SetValue(v);
            cmd->Execute();
            const AnsiString expected = c->EncodeWideString(v.AsWideString());
            const auto row = Select(c.get(), "SELECT typeof(b), hex(b) FROM texts")[0];
            EXPECT_EQ(row[0].AsAnsiString(), "text");
            AnsiString hex;
            for (const char ch : expected)
                hex += rtl::Format("%.2X", {static_cast<int>(static_cast<unsigned char>(ch))});
            EXPECT_EQ(row[1].AsAnsiString(), hex);
        }
    }
}

// The engine reads text parameters in place: what it reads must stay the value bound for that
// step, however the caller replaces or drops its own values meanwhile.
TEST_F(LiteTest, TextParametersStayBoundWhileTheCallersValuesChange) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (n INTEGER, s, d)");
    const double day = rtl::EncodeDate(2024, 3, 15);
    const AnsiString cyr = A(u8"Опись №7");
    struct Row {
        Variant text;
        AnsiString stored;
    };
    const Row rows[] = {
        {Variant(AnsiString("first, ascii")), "first, ascii"},
        {Variant(cyr), cyr},
        {Variant(rtl::WideString(u"wide \u20AC")), A(u8"wide €")},
        {Variant(AnsiString()), ""},
        {Variant(AnsiString(std::string(300, 'x'))), AnsiString(300, 'x')},
    };
    {
        // One prepared statement; every value is a temporary the parameter alone keeps.
        auto ins = Command(c, "INSERT INTO t VALUES (:n, :s, :d)");
        ins->Prepare();
        ins->Params(0)->SetDataType(mdtInt32);
        ins->Params(1)->SetDataType(mdtString);
        ins->Params(2)->SetDataType(mdtDate);
        for (int i = 0; i < int(std::size(rows)); ++i) {
            ins->Params(0)->SetValue(Variant(i));
            ins->Params(1)->SetValue(Variant(rows[i].text));
            ins->Params(2)->SetValue(Variant::FromDate(day + i));
            ins->Execute();
        }
    }
    auto stored = Select(c, "SELECT n, s, d, typeof(s) FROM t ORDER BY n");
    ASSERT_EQ(stored.size(), std::size(rows));
    for (size_t i = 0; i < stored.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stored[i][1].AsAnsiString(), rows[i].stored);
        EXPECT_EQ(stored[i][3].AsAnsiString(), "text");
        EXPECT_EQ(stored[i][2].AsAnsiString(), rtl::FormatDateTime("yyyy-mm-dd", day + double(i)));
    }

    // A cursor fetched in blocks keeps the value it was opened with after the caller changes it.
    for (int i = 0; i < 60; ++i) Exec(c, "INSERT INTO t VALUES (" + std::to_string(100 + i) + ", 'block text', NULL)");
    auto rs = Query(c, "SELECT n FROM t WHERE s = :s ORDER BY n", false, 25);
    rs->GetCommand()->Params(0)->SetDataType(mdtString);
    rs->GetCommand()->Params(0)->SetValue(Variant(AnsiString("block text")));
    rs->Open();
    rs->GetCommand()->Params(0)->SetValue(Variant(AnsiString("something else entirely")));
    const auto fetched = Rows(rs.get());
    ASSERT_EQ(fetched.size(), 60u);
    EXPECT_EQ(fetched.back()[0].AsInteger(), 159);
}

TEST_F(LiteTest, BlobParameterOfSeveralPiecesIsBoundWhole) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (b BLOB)");
    TBlob* blob = CreateSharedObject<TBlob>();
    TBytes part1(100, 1), part2(50, 2);
    blob->GetData()->SetPieceSize(100);
    blob->Write(0, 100, part1.data());
    blob->Write(100, 50, part2.data());
    auto ins = Command(c, "INSERT INTO t VALUES (:b)");
    ins->Params(0)->SetDataType(mdtBlob);
    ins->Params(0)->SetObject(blob);
    ins->Params(0)->SetNull(false);
    ins->Execute();
    blob->Release();
    auto bytes = Select(c, "SELECT b FROM t")[0][0].AsBytes();
    ASSERT_EQ(bytes.size(), 150u);
    EXPECT_EQ(bytes[99], 1);
    EXPECT_EQ(bytes[100], 2);
}

// The engine's integers are 64-bit: a field read at open widens to hold them; past the open the
// field keeps its type and a value beyond it is refused, never wrapped.
TEST_F(LiteTest, IntegersBeyondTheFieldTypeWidenAtOpenAndRaiseAfter) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (i INTEGER, s SMALLINT)");
    Exec(c, "INSERT INTO t VALUES (1, 1), (1099511627776, -70000)");
    for (bool fetchAll : {true, false}) {
        auto rs = Query(c, "SELECT i, s FROM t", fetchAll, 1);
        rs->Open();
        if (!fetchAll) {
            EXPECT_EQ(rs->Fields()[0]->DataType, store::mdtInt32);
            const std::string msg = MessageOf([&] { rs->FetchAll(); });
            EXPECT_EQ(msg.rfind("Field: i\r\n", 0), 0u) << msg;
            EXPECT_NE(msg.find("1099511627776"), std::string::npos) << msg;
            continue;
        }
        EXPECT_EQ(rs->Fields()[0]->DataType, store::mdtInt64);
        EXPECT_EQ(rs->Fields()[1]->DataType, store::mdtInt64);
        const auto rows = Rows(rs.get());
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1][0].AsInt64(), 1099511627776);
        EXPECT_EQ(rows[1][1].AsInt64(), -70000);
    }
    // The failed fetch left the store consistent: it opens again once the value fits.
    Exec(c, "UPDATE t SET i = 1, s = 7");
    auto rs3 = Query(c, "SELECT i, s FROM t");
    rs3->Open();
    EXPECT_EQ(rs3->Fields()[0]->DataType, store::mdtInt32);
    EXPECT_EQ(Rows(rs3.get())[1][1].AsInteger(), 7);
}

TEST_F(LiteTest, ValuesLongerThanTheirSlotReadWhole) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (v VARBINARY(4), w VARCHAR(3))");
    Exec(c, "INSERT INTO t VALUES (x'0102030405060708', 'abcdef')");
    auto rs = Query(c, "SELECT v, w FROM t");
    rs->Open();
    auto rows = Rows(rs.get());
    EXPECT_EQ(rows[0][0].AsBytes(), (TBytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(rows[0][1].AsAnsiString(), "abcdef");
    // The fields now say how long their values are.
    EXPECT_EQ(rs->Fields()[0]->DataType, mdtExtVarBytes);
    EXPECT_EQ(rs->Fields()[0]->Length, 8);
    EXPECT_EQ(rs->Fields()[1]->DataType, mdtExtString);
    EXPECT_EQ(rs->Fields()[1]->Length, 6);
}

TEST_F(LiteTest, DatesStoredAsTextInTheConnectionsFormat) {
    TSQLiteConnection* c = Open();
    c->SetProp(pidDateFormat, Variant(AnsiString("dd.mm.yyyy")));
    Exec(c, "CREATE TABLE t (d DATE)");
    auto ins = Command(c, "INSERT INTO t VALUES (:d)");
    ins->Params(0)->SetDataType(mdtDate);
    ins->Params(0)->SetValue(Variant::FromDate(rtl::EncodeDate(2023, 12, 31)));
    auto rs = Query(c, "SELECT d FROM t");
    rs->LiteCommand()->UpdateDateFormats();
    ins->SetConnection(nullptr);
    ins->SetConnection(c);
    ins->UpdateDateFormats();
    ins->Execute();
    Exec(c, "INSERT INTO t VALUES ('not a date')");
    EXPECT_EQ(Select(c, "SELECT CAST(d AS TEXT) AS x FROM t")[0][0].AsAnsiString(), "31.12.2023");
    rs->Open();
    auto rows = Rows(rs.get());
    EXPECT_DOUBLE_EQ(rows[0][0].AsDateTime(), rtl::EncodeDate(2023, 12, 31));
    EXPECT_TRUE(rows[1][0].IsNull());
}

TEST_F(LiteTest, ColumnOriginsComeFromColumnMetadataOrFromTheParsedSQL) {
    {
        TSQLiteConnection* c = Open();
        Exec(c, "CREATE TABLE sources (id INTEGER PRIMARY KEY, name VARCHAR(20))");
        Exec(c, "INSERT INTO sources VALUES (1, 'a')");
        auto rs = Query(c, "SELECT s.id AS key, s.name, 1 + 1 AS two FROM sources s");
        rs->Open();
        auto* key = static_cast<daccess::TCRFieldDesc*>(rs->Fields()[0]);
        EXPECT_EQ(key->Name, u"key");
        EXPECT_EQ(key->ColumnName, u"id");
        ASSERT_NE(key->TableInfo, nullptr);
        EXPECT_EQ(key->TableInfo->TableName(), "sources");
        EXPECT_EQ(key->TableInfo->GetTableNameFull(), "main.sources");
        EXPECT_EQ(static_cast<daccess::TCRFieldDesc*>(rs->Fields()[2])->TableInfo, nullptr);
        EXPECT_EQ(rs->Fields()[2]->DataType, mdtInt64);
        Conn.reset();
    }
    auto c = NewConnection(DbPath);
    c->API()->SetSymbolResolver(
        Hiding({"sqlite3_column_origin_name", "sqlite3_column_table_name", "sqlite3_column_database_name"}));
    c->Connect("");
    ASSERT_FALSE(c->API()->HasColumnMetadata());
    auto rs = Query(c.get(), "SELECT s.id AS key, s.name, 1 + 1 AS two FROM sources s");
    rs->Open();
    EXPECT_EQ(rs->Fields()[0]->ColumnName, u"key");
    EXPECT_EQ(static_cast<daccess::TCRFieldDesc*>(rs->Fields()[0])->TableInfo, nullptr);
    EXPECT_EQ(rs->Fields()[2]->DataType, mdtString) << "an expression reads as text without metadata";
    ASSERT_EQ(rs->TablesInfo()->Count(), 1);
    EXPECT_EQ(rs->TablesInfo()->Items(0)->TableName(), "sources");
    EXPECT_EQ(rs->TablesInfo()->Items(0)->GetTableNameFull(), "sources");
}
