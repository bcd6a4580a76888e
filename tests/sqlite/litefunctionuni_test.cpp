#include "data/sqlite/LiteCollationUni.h"
#include "data/sqlite/LiteFunctionUni.h"
#include "tests/sqlite/lite_fixture.h"

using namespace litetest;

TEST_F(LiteTest, UserFunctionRegisteredBeforeConnectAndCalled) {
    Conn = NewConnection(DbPath);
    auto* fm = Conn->GetFunctionManager();
    auto lower = [](const TLiteFunctionArgs& a) -> Variant {
        if (a[0].IsNull()) return Variant::Null();
        return Variant(rtl::AnsiLowerCase(a[0].AsAnsiString()));
    };
    fm->RegisterFunction("my_lower", 1, lower);
    fm->RegisterFunction("my_lower", 1, lower);
    EXPECT_EQ(fm->Count(), 1);
    Conn->Connect("");
    auto rows = Select(Conn.get(), "SELECT my_lower('" + A(u8"АРХИВ Ab") + "'), my_lower(NULL), typeof(my_lower('X'))");
    EXPECT_EQ(rows[0][0].AsAnsiString(), A(u8"архив ab"));
    EXPECT_TRUE(rows[0][1].IsNull());
    EXPECT_EQ(rows[0][2].AsAnsiString(), "text");
}

TEST_F(LiteTest, FunctionResultsByVariantType) {
    TSQLiteConnection* c = Open();
    auto* fm = c->GetFunctionManager();
    fm->RegisterFunction("f_int", 0, [](const TLiteFunctionArgs&) { return Variant(42); });
    fm->RegisterFunction("f_dbl", 0, [](const TLiteFunctionArgs&) { return Variant(1.5); });
    fm->RegisterFunction("f_blob", 0, [](const TLiteFunctionArgs&) { return Variant::FromBytes(rtl::TBytes{1, 2}); });
    fm->RegisterFunction("f_big", 0, [](const TLiteFunctionArgs&) { return Variant(1LL << 40); });
    fm->RegisterFunction("f_args", 3, [](const TLiteFunctionArgs& a) {
        return Variant(AnsiString(rtl::VarTypeAsText(a[0].VType()) + "," + rtl::VarTypeAsText(a[1].VType()) + "," +
                                  (a[2].IsByteArray() ? "bytes" : "other")));
    });
    auto rows = Select(c, "SELECT typeof(f_int()), f_int(), typeof(f_dbl()), typeof(f_blob()), f_args(1, 2.5, x'00')");
    EXPECT_EQ(rows[0][0].AsAnsiString(), "integer");
    EXPECT_EQ(rows[0][1].AsInteger(), 42);
    EXPECT_EQ(rows[0][2].AsAnsiString(), "real");
    EXPECT_EQ(rows[0][3].AsAnsiString(), "blob");
    EXPECT_EQ(rows[0][4].AsAnsiString(),
              rtl::VarTypeAsText(rtl::varInt64) + "," + rtl::VarTypeAsText(rtl::varDouble) + ",bytes");
    // The 32-bit conversion of the result refuses a value outside its range.
    try {
        Select(c, "SELECT f_big()");
        FAIL();
    } catch (const ESQLiteError& e) {
        EXPECT_EQ(e.ErrorCode(), SQLITE_ERROR);
    }
}

TEST_F(LiteTest, AThrowingFunctionBecomesTheStatementsError) {
    TSQLiteConnection* c = Open();
    c->GetFunctionManager()->RegisterFunction(
        "boom", 0, [](const TLiteFunctionArgs&) -> Variant { throw rtl::Exception(A(u8"Ошибка функции")); });
    try {
        Select(c, "SELECT boom()");
        FAIL();
    } catch (const ESQLiteError& e) {
        EXPECT_EQ(e.ErrorCode(), SQLITE_ERROR);
        EXPECT_EQ(e.Message(), A(u8"Ошибка функции"));
    }
    // The connection stays usable.
    EXPECT_EQ(Select(c, "SELECT 1")[0][0].AsInteger(), 1);
}

TEST_F(LiteTest, CollationsOrderTextsAndReportTheirErrors) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (s TEXT)");
    for (auto* s : {u8"б", u8"А", u8"а", u8"Б"}) Exec(c, "INSERT INTO t VALUES ('" + A(s) + "')");
    EXPECT_EQ(Select(c, "SELECT count(DISTINCT s COLLATE UniNoCase) FROM t")[0][0].AsInteger(), 2);
    auto rows = Select(c, "SELECT s FROM t ORDER BY s COLLATE UniNoCase, s");
    EXPECT_EQ(rows[0][0].AsAnsiString(), A(u8"А"));
    EXPECT_EQ(rows[3][0].AsAnsiString(), A(u8"б"));
    EXPECT_EQ(UniNoCaseCompare(u"abc", u"ABC"), 0);
    EXPECT_EQ(UniNoCaseCompare(u"abc", u"abd"), -1);

    auto* cm = c->GetCollationManager();
    cm->RegisterCollation("REVERSE", [](std::u16string_view a, std::u16string_view b) { return b.compare(a); });
    rows = Select(c, "SELECT s FROM t ORDER BY s COLLATE REVERSE");
    EXPECT_EQ(rows[0][0].AsAnsiString(), A(u8"б"));

    cm->RegisterCollation(
        "BAD", [](std::u16string_view, std::u16string_view) -> int { throw rtl::Exception("collation failed"); });
    EXPECT_EQ(MessageOf([&] { Select(c, "SELECT s FROM t ORDER BY s COLLATE BAD"); }), "collation failed");
    EXPECT_EQ(Select(c, "SELECT count(*) FROM t")[0][0].AsInteger(), 4);

    c->SetProp(pidDefaultCollations, Variant(false));
    EXPECT_NE(MessageOf([&] { Select(c, "SELECT s FROM t ORDER BY s COLLATE UniNoCase"); }), "<no exception>");
}

TEST_F(LiteTest, CyrillicCollationNameMatchesTheStatementText) {
    // In both text modes the name must reach the engine in the encoding the statement text has.
    for (bool ascii : {false, true}) {
        SCOPED_TRACE(ascii ? "ASCII database" : "UTF-8 database");
        Conn.reset();
        const std::string path = (Dir / (ascii ? "ascii.sdb" : "utf8.sdb")).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        Conn = NewConnection(path);
        Conn->SetProp(pidASCIIDataBase, Variant(ascii));
        Conn->Connect("");
        TSQLiteConnection* c = Conn.get();
        Exec(c, "CREATE TABLE t (s TEXT)");
        for (auto* s : {u8"а", u8"в", u8"б"}) Exec(c, "INSERT INTO t VALUES ('" + A(s) + "')");
        auto* cm = c->GetCollationManager();
        const AnsiString name = A(u8"Обратный");
        cm->RegisterCollation(name, [](std::u16string_view a, std::u16string_view b) { return b.compare(a); });
        auto rows = Select(c, "SELECT s FROM t ORDER BY s COLLATE " + name);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0][0].AsAnsiString(), A(u8"в"));
        EXPECT_EQ(rows[2][0].AsAnsiString(), A(u8"а"));

        // Unregistering by the same name reaches the same registration in the engine.
        cm->UnregisterCollation(name);
        EXPECT_EQ(cm->Count(), 1);  // the default one stays
        EXPECT_NE(MessageOf([&] { Select(c, "SELECT s FROM t ORDER BY s COLLATE " + name); }), "<no exception>");
    }
}

TEST_F(LiteTest, CollationsRegisteredWhileClosedTakeEffectAtConnect) {
    Conn = NewConnection(DbPath);
    auto* cm = Conn->GetCollationManager();
    const AnsiString name = A(u8"Обратный");
    cm->RegisterCollation(name, [](std::u16string_view a, std::u16string_view b) { return b.compare(a); });
    EXPECT_EQ(cm->Count(), 1);
    Conn->Connect("");
    TSQLiteConnection* c = Conn.get();
    Exec(c, "CREATE TABLE t (s TEXT)");
    for (auto* s : {u8"б", u8"А", u8"в"}) Exec(c, "INSERT INTO t VALUES ('" + A(s) + "')");
    auto firstBy = [&](const AnsiString& coll) {
        return Select(c, "SELECT s FROM t ORDER BY s COLLATE " + coll)[0][0].AsAnsiString();
    };
    EXPECT_EQ(firstBy(name), A(u8"в"));
    EXPECT_EQ(firstBy("UniNoCase"), A(u8"А"));

    // Both survive a reconnect; the default one follows the option as set while closed.
    c->Disconnect();
    c->SetProp(pidDefaultCollations, Variant(false));
    c->Connect("");
    EXPECT_EQ(firstBy(name), A(u8"в"));
    EXPECT_NE(MessageOf([&] { firstBy("UniNoCase"); }), "<no exception>");
    EXPECT_EQ(cm->Count(), 1);

    c->Disconnect();
    c->SetProp(pidDefaultCollations, Variant(true));
    c->Connect("");
    EXPECT_EQ(firstBy("UniNoCase"), A(u8"А"));
    EXPECT_EQ(firstBy(name), A(u8"в"));
}
