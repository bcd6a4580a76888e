// The universal query on files written by other tools: forward-only reads, keys the code page
// cannot hold, strict updates inside a transaction, table-constraint keys, 64-bit integers, views
// as the updating table, and the error class of writes. Every file is checked through the engine
// directly.
#include <gtest/gtest.h>

#include "tests/components/uni_fixture.h"

namespace {

using namespace unitest;

// UTF-8 bytes as they stand, as another tool writes them.
std::string U8(const char8_t* Text) { return reinterpret_cast<const char*>(Text); }

class UniRealFileTest : public UniFixture {
protected:
    // Fills table t (id, name) with Count rows, ids 1..Count.
    void FillRows(int Count) {
        std::string sql = "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, note BLOB);";
        for (int i = 1; i <= Count; ++i)
            sql += "INSERT INTO t VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', X'0102');";
        Raw("BEGIN;" + sql + "COMMIT;");
    }
};

TEST_F(UniRealFileTest, AForwardOnlyReadGivesEachRowOnce) {
    for (int count : {0, 1, 25, 26, 1000}) {
        Raw("DROP TABLE IF EXISTS t");
        FillRows(count);
        const std::vector<std::string> expected = Column("SELECT id FROM t ORDER BY id");
        for (int fetchRows : {1, 10, 25})
            for (bool fetchAll : {false, true}) {
                VUdeVizov* q = Query("SELECT * FROM t ORDER BY id", fetchAll);
                q->SetUniDirectional(true);
                q->SetFetchRows(fetchRows);
                q->Open();
                std::vector<std::string> read;
                for (; !q->Eof(); q->Next()) {
                    read.push_back(std::to_string(q->FieldByName("id")->AsInteger()));
                    EXPECT_EQ(q->FieldByName("name")->AsString(), "n" + read.back());
                    EXPECT_EQ(q->FieldByName("note")->AsString(), std::string("\x01\x02"));
                }
                EXPECT_EQ(read, expected) << count << " rows at FetchRows " << fetchRows << " FetchAll " << fetchAll;
                q->Close();
            }
    }
}

// Without the Unicode option 'Zoë' reads as 'Zo?': it must not pick the row whose key really is
// 'Zo?'.
TEST_F(UniRealFileTest, AKeyTheCodePageCannotHoldIsRefused) {
    Raw(
        U8(u8"CREATE TABLE names (k TEXT PRIMARY KEY, v TEXT, other TEXT);"
           u8"INSERT INTO names VALUES ('Zoë', 'a', 'x'), ('Zo?', 'b', 'y');"));
    const std::string everything = "SELECT k || '|' || v || '|' || other FROM names ORDER BY v";
    const std::vector<std::string> before = Column(everything);
    VUdeVizov* q = Query("SELECT * FROM names ORDER BY v");
    q->SetKeyFields("k");
    q->Open();
    ASSERT_EQ(q->FieldByName("k")->AsString(), "Zo?");
    const std::string refused = MessageOf([&] {
        q->Edit();
        q->FieldByName("v")->SetAsString("changed");
        q->Post();
    });
    EXPECT_NE(refused.find("field k"), std::string::npos) << refused;
    EXPECT_NE(refused.find("UseUnicode"), std::string::npos) << refused;
    q->Cancel();
    EXPECT_NE(MessageOf([&] { q->Delete(); }).find("field k"), std::string::npos);
    EXPECT_EQ(Column(everything), before);

    // The row whose key is exactly 'Zo?' is edited as ever.
    q->Next();
    q->Edit();
    q->FieldByName("v")->SetAsString("c");
    q->Post();
    EXPECT_EQ(Column(everything), (std::vector<std::string>{U8(u8"Zoë|a|x"), "Zo?|c|y"}));

    // A key set anew by the user is the user's value.
    q->First();
    q->Edit();
    q->FieldByName("k")->SetAsString("Zoe");
    EXPECT_NE(MessageOf([&] { q->Post(); }).find("field k"), std::string::npos) << "the old key still picks the row";
    q->Cancel();
    EXPECT_EQ(Column(everything), (std::vector<std::string>{U8(u8"Zoë|a|x"), "Zo?|c|y"}));
}

// A field that is no key keeps a value read inexactly unless the user writes it, even when every
// field is written.
TEST_F(UniRealFileTest, AnInexactValueOutsideTheKeyIsNeverWrittenBack) {
    Raw(
        U8(u8"CREATE TABLE notes (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);"
           u8"INSERT INTO notes VALUES (1, 'Acústico 中', 1), (2, 'Zoë', 2);"));
    for (bool all : {false, true}) {
        VUdeVizov* q = Query("SELECT * FROM notes ORDER BY id");
        q->Options()->SetUpdateAllFields(all);
        q->Open();
        q->Edit();
        q->FieldByName("n")->SetAsInteger(all ? 20 : 10);
        q->Post();
        q->Next();
        q->Edit();
        q->FieldByName("name")->SetAsString("Zoe");
        q->Post();
        q->Close();
        EXPECT_EQ(Column("SELECT id || '|' || name || '|' || n FROM notes ORDER BY id"),
                  (std::vector<std::string>{U8(u8"1|Acústico 中|") + (all ? "20" : "10"), "2|Zoe|2"}));
        Raw(U8(u8"UPDATE notes SET name = 'Zoë' WHERE id = 2"));
    }
}

// The engine's integers are 64-bit whatever the column's declared type.
TEST_F(UniRealFileTest, IntegersPast32BitsWidenTheFieldAtOpen) {
    Raw("CREATE TABLE big (id INTEGER PRIMARY KEY, v INTEGER, s SMALLINT);"
        "INSERT INTO big VALUES (1, 1, 1), (2, 2147483648, 40000), (3, -2147483649, -40000), (4, 4611686018427387904, "
        "2);");
    for (int fetchRows : {1, 25}) {
        VUdeVizov* q = Query("SELECT * FROM big ORDER BY id");
        q->SetFetchRows(fetchRows);
        q->Open();
        EXPECT_EQ(q->FieldByName("v")->DataType(), db::ftLargeint);
        EXPECT_EQ(q->FieldByName("s")->DataType(), db::ftLargeint);
        std::vector<std::string> read;
        for (; !q->Eof(); q->Next())
            read.push_back(std::to_string(q->FieldByName("v")->AsLargeInt()) + "|" +
                           std::to_string(q->FieldByName("s")->AsLargeInt()));
        EXPECT_EQ(read, Column("SELECT v || '|' || s FROM big ORDER BY id"));
        // Written back exactly.
        q->First();
        q->Next();
        q->Edit();
        q->FieldByName("v")->SetAsLargeInt(q->FieldByName("v")->AsLargeInt() + 1);
        q->Post();
        EXPECT_EQ(Column("SELECT v FROM big WHERE id = 2"), (std::vector<std::string>{"2147483649"}));
        Raw("UPDATE big SET v = 2147483648 WHERE id = 2");
        q->Close();
    }

    // Past the open the field has its type: a later block that outgrows it is refused by name.
    Raw("CREATE TABLE late (id INTEGER PRIMARY KEY, v INTEGER); INSERT INTO late VALUES (1, 1), (2, 8589934592);");
    VUdeVizov* lazy = Query("SELECT * FROM late ORDER BY id", false);
    lazy->SetFetchRows(1);
    lazy->Open();
    EXPECT_EQ(lazy->FieldByName("v")->DataType(), db::ftInteger);
    const std::string refused = MessageOf([&] { lazy->Last(); });
    EXPECT_NE(refused.find("8589934592"), std::string::npos) << refused;
    EXPECT_NE(refused.find("v"), std::string::npos) << refused;
}

// A write that finds two rows is undone inside the caller's transaction too: its Commit keeps
// nothing of it.
TEST_F(UniRealFileTest, AStrictUpdateInsideATransactionLeavesTheFileUnchanged) {
    Raw("CREATE TABLE pairs (grp INTEGER, v TEXT, w TEXT); INSERT INTO pairs VALUES (1, 'a', 'p'), (1, 'b', 'q'), (2, "
        "'c', 'r');");
    const std::string everything = "SELECT grp || v || w FROM pairs ORDER BY rowid";
    const std::vector<std::string> before = Column(everything);
    VUdeVizov* q = Query("SELECT grp, v FROM pairs ORDER BY rowid");
    q->SetKeyFields("grp");
    q->Open();
    Conn->StartTransaction();
    q->Edit();
    q->FieldByName("v")->SetAsString("z");
    EXPECT_EQ(MessageOf([&] { q->Post(); }), "Update failed. Found 2 records");
    q->Cancel();
    EXPECT_EQ(MessageOf([&] { q->Delete(); }), "Update failed. Found 2 records");
    // The transaction goes on: a sound write in it is kept.
    q->Last();
    q->Edit();
    q->FieldByName("v")->SetAsString("d");
    q->Post();
    Conn->Commit();
    EXPECT_EQ(Column(everything), (std::vector<std::string>{before[0], before[1], "2dr"}));
}

// A key declared as a table constraint on one INTEGER column is the row id, as the column
// constraint is.
TEST_F(UniRealFileTest, ATableConstraintIntegerKeyIsTheIdentity) {
    Raw("CREATE TABLE Invoice (InvoiceId INTEGER NOT NULL, Customer TEXT, Total NUMERIC(10,2), "
        "CONSTRAINT PK_Invoice PRIMARY KEY (InvoiceId));"
        "CREATE TABLE Line (InvoiceId INTEGER NOT NULL, LineNo INTEGER NOT NULL, Qty INTEGER, "
        "PRIMARY KEY (InvoiceId, LineNo));"
        "INSERT INTO Invoice VALUES (5, 'old', 1.5);");
    VUdeVizov* q = Query("SELECT * FROM Invoice ORDER BY InvoiceId");
    q->Open();
    q->Append();
    q->FieldByName("Customer")->SetAsString("new");
    q->Post();
    EXPECT_EQ(q->FieldByName("InvoiceId")->AsInteger(), 6);
    q->Edit();
    q->FieldByName("Total")->SetAsFloat(2.25);
    q->Post();
    EXPECT_EQ(Column("SELECT InvoiceId || Customer || Total FROM Invoice ORDER BY InvoiceId"),
              (std::vector<std::string>{"5old1.5", "6new2.25"}));
    q->Delete();
    EXPECT_EQ(Column("SELECT InvoiceId FROM Invoice"), std::vector<std::string>{"5"});

    // A key of two columns is no row id: nothing is taken for it.
    VUdeVizov* lines = Query("SELECT * FROM Line");
    lines->Open();
    lines->Append();
    lines->FieldByName("InvoiceId")->SetAsInteger(5);
    lines->FieldByName("LineNo")->SetAsInteger(1);
    lines->Post();
    lines->Edit();
    lines->FieldByName("Qty")->SetAsInteger(3);
    lines->Post();
    EXPECT_EQ(Column("SELECT InvoiceId || LineNo || Qty FROM Line"), std::vector<std::string>{"513"});
}

// A view with INSTEAD OF triggers takes the writes of a query that names it as the updating table.
TEST_F(UniRealFileTest, AViewIsAnUpdatingTable) {
    Raw("CREATE TABLE Track (TrackId INTEGER PRIMARY KEY, Name TEXT, Ms INTEGER);"
        "INSERT INTO Track VALUES (1, 'one', 100), (2, 'two', 200);"
        "CREATE VIEW TrackView AS SELECT TrackId AS Id, Name AS Title, Ms FROM Track;"
        "CREATE TRIGGER tv_upd INSTEAD OF UPDATE ON TrackView BEGIN "
        "  UPDATE Track SET Name = new.Title, Ms = new.Ms WHERE TrackId = old.Id; END;"
        "CREATE TRIGGER tv_del INSTEAD OF DELETE ON TrackView BEGIN DELETE FROM Track WHERE TrackId = old.Id; END;"
        "CREATE TRIGGER tv_ins INSTEAD OF INSERT ON TrackView BEGIN "
        "  INSERT INTO Track (TrackId, Name, Ms) VALUES (new.Id, new.Title, new.Ms); END;");
    VUdeVizov* q = Query("SELECT * FROM TrackView ORDER BY Id");
    q->SetUpdatingTable("TrackView");
    q->SetKeyFields("Id");
    q->Open();
    q->Edit();
    q->FieldByName("Title")->SetAsString("uno");
    q->Post();
    q->Next();
    q->Delete();
    q->Append();
    q->FieldByName("Id")->SetAsInteger(3);
    q->FieldByName("Title")->SetAsString("tres");
    q->FieldByName("Ms")->SetAsInteger(300);
    q->Post();
    EXPECT_EQ(Column("SELECT TrackId || Name || Ms FROM Track ORDER BY TrackId"),
              (std::vector<std::string>{"1uno100", "3tres300"}));

    // A name that is neither a table nor a view of the query is still refused.
    VUdeVizov* wrong = Query("SELECT * FROM TrackView");
    wrong->SetUpdatingTable("Nothing");
    EXPECT_EQ(MessageOf([&] { wrong->Open(); }), "Wrong UpdatingTable value - table Nothing is unknown");
}

// Writes raise the provider's errors as the universal class, with their text and code.
TEST_F(UniRealFileTest, WritesRaiseUniErrors) {
    Raw("CREATE TABLE u (id INTEGER PRIMARY KEY, code TEXT UNIQUE, parent INTEGER CHECK (parent IS NULL OR parent > "
        "0));"
        "INSERT INTO u VALUES (1, 'a', NULL), (2, 'b', NULL);");
    VUdeVizov* q = Query("SELECT * FROM u ORDER BY id");
    q->Open();
    auto expectUni = [](const std::function<void()>& Body) {
        try {
            Body();
            ADD_FAILURE() << "no error";
        } catch (const EUniError& e) {
            EXPECT_NE(e.Message().find("constraint failed"), std::string::npos) << e.Message();
            EXPECT_NE(e.ErrorCode(), 0);
            ASSERT_NE(e.InnerError(), nullptr);
            EXPECT_EQ(e.InnerError()->ErrorCode(), e.ErrorCode());
        }
    };
    q->Edit();
    q->FieldByName("code")->SetAsString("b");
    expectUni([&] { q->Post(); });
    q->Cancel();
    q->Append();
    q->FieldByName("parent")->SetAsInteger(-1);
    expectUni([&] { q->Post(); });
    q->Cancel();
    Raw("CREATE TRIGGER no_delete BEFORE DELETE ON u BEGIN SELECT RAISE(ABORT, 'constraint failed: kept'); END;");
    q->Close();
    q->Open();
    expectUni([&] { q->Delete(); });
    EXPECT_EQ(Column("SELECT count(*) FROM u"), std::vector<std::string>{"2"});
}

}  // namespace
