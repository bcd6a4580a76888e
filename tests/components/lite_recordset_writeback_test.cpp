// Rows of the universal query on a real SQLite file whose values do not fit their declared
// types: text longer than a declared VARCHAR(n), blobs and memos posted through generated
// statements, and records read back by the generated refresh.
#include <string>

#include "tests/components/uni_fixture.h"

namespace unitest {
namespace {

struct LiteWritebackTest : UniFixture, ::testing::WithParamInterface<bool> {
    void SetUp() override {
        UniFixture::SetUp();
        if (GetParam()) Conn->SpecificOptions()->Add("SQLite.UseUnicode=True");
    }
};

// SQLite keeps what it is given whatever the declared length: the value comes back whole.
TEST_P(LiteWritebackTest, TextLongerThanItsDeclaredLengthReadsWhole) {
    const std::string longText(128, 'x');
    Raw("CREATE TABLE t (id INTEGER PRIMARY KEY, s VARCHAR(10));"
        "INSERT INTO t VALUES (1, '" +
        longText + "');");
    for (bool fetchAll : {true, false}) {
        VUdeVizov* q = Query("SELECT id, s FROM t", fetchAll);
        q->Open();
        EXPECT_EQ(q->RecordCount(), 1) << fetchAll;
        ASSERT_FALSE(q->Eof()) << fetchAll;
        EXPECT_EQ(q->FieldByName("id")->AsInteger(), 1) << fetchAll;
        EXPECT_EQ(q->FieldByName("s")->AsString(), longText) << fetchAll;
        q->Close();
    }
}

// A value met by a later fetch, after the dataset made its fields, cannot be given room: the fetch
// says so and names the field.
TEST_P(LiteWritebackTest, TextOutgrowingAFieldInALaterFetchIsRefusedNamingIt) {
    Raw("CREATE TABLE t (id INTEGER PRIMARY KEY, s VARCHAR(10));");
    std::string rows = "INSERT INTO t VALUES (1, 'short')";
    for (int i = 2; i <= 300; ++i) rows += ", (" + std::to_string(i) + ", 'short')";
    Raw(rows + "; UPDATE t SET s = '" + std::string(128, 'x') + "' WHERE id = 250;");
    VUdeVizov* q = Query("SELECT id, s FROM t", false);
    q->Open();
    ASSERT_FALSE(q->Eof());
    EXPECT_EQ(MessageOf([&] { q->Last(); }).rfind("Field: s\r\n", 0), 0u);
}

// Blob and memo values posted through the generated INSERT and UPDATE reach the file whole.
TEST_P(LiteWritebackTest, BlobsAndMemosPostAndReadBackEqual) {
    Raw("CREATE TABLE d (id INTEGER PRIMARY KEY, b BLOB, m CLOB);");
    const AnsiString bytes("\x01\x00\xFFpage\x00\x7F", 9);
    const AnsiString memo = A(u8"Акт приёма, лист 3") + AnsiString(300, 'm');
    VUdeVizov* q = Query("SELECT id, b, m FROM d");
    q->Open();
    ASSERT_TRUE(q->FieldByName("b")->IsBlob());
    ASSERT_TRUE(q->FieldByName("m")->IsBlob());
    q->Append();
    q->FieldByName("id")->SetAsInteger(1);
    q->FieldByName("b")->SetAsString(bytes);
    q->FieldByName("m")->SetAsString(memo);
    q->Post();
    EXPECT_EQ(Column("SELECT hex(b) FROM d"), std::vector<std::string>{"0100FF70616765007F"});
    EXPECT_EQ(Column("SELECT m FROM d"), std::vector<std::string>{rtl::AnsiToUTF8(memo)});

    q->Edit();
    q->FieldByName("m")->SetAsString("changed");
    q->FieldByName("b")->Clear();
    q->Post();
    VUdeVizov* fresh = Query("SELECT id, b, m FROM d");
    fresh->Open();
    ASSERT_FALSE(fresh->Eof());
    EXPECT_TRUE(fresh->FieldByName("b")->IsNull());
    EXPECT_EQ(fresh->FieldByName("m")->AsString(), "changed");
}

// The generated refresh reads the current row back by its key, on demand and after posting.
TEST_P(LiteWritebackTest, GeneratedRefreshReadsTheRowBack) {
    Raw("CREATE TABLE r (id INTEGER PRIMARY KEY, name TEXT, stamp TEXT DEFAULT 'by default');"
        "INSERT INTO r (id, name) VALUES (1, 'first');");
    VUdeVizov* q = Query("SELECT id, name, stamp FROM r");
    q->SetRefreshOptions(daccess::TRefreshOptions{daccess::roAfterInsert});
    q->Open();
    Raw("UPDATE r SET name = 'renamed' WHERE id = 1");
    q->RefreshRecord();
    EXPECT_EQ(q->FieldByName("name")->AsString(), "renamed");

    q->Append();
    q->FieldByName("id")->SetAsInteger(2);
    q->FieldByName("name")->SetAsString("second");
    q->Post();
    EXPECT_EQ(q->FieldByName("stamp")->AsString(), "by default");
}

INSTANTIATE_TEST_SUITE_P(Modes, LiteWritebackTest, ::testing::Bool(),
                         [](const auto& Info) { return Info.param ? "Unicode" : "SingleByte"; });

}  // namespace
}  // namespace unitest
