// Write-back cases of the universal query on a real file: failed writes under record locks give
// the file back to other programs, keyless rows found by their old values, a cached key change
// refreshed, joins written to their updating table only, and a query backup restored.
#include <gtest/gtest.h>

#include "data/components/UniDump.h"
#include "tests/components/uni_fixture.h"

namespace {

using namespace unitest;

class UniWritebackCasesTest : public UniFixture {
protected:
    // Whether another program can write the file at once (no busy wait).
    bool OthersCanWrite() {
        sqlite3* raw = nullptr;
        sqlite3_open(File.c_str(), &raw);
        litetest::TRawDb db(raw, &sqlite3_close);
        return sqlite3_exec(db.get(), "UPDATE numbers SET last = last WHERE kind = 1", nullptr, nullptr, nullptr) ==
               SQLITE_OK;
    }
};

TEST_F(UniWritebackCasesTest, AFailedWriteUnderALockReleasesTheFile) {
    Raw("CREATE TRIGGER refuse_delete BEFORE DELETE ON sources WHEN old.id = 2 BEGIN SELECT RAISE(ABORT, 'kept'); END;"
        "CREATE TRIGGER refuse_update BEFORE UPDATE OF name ON sources WHEN new.name = 'bad' BEGIN "
        "SELECT RAISE(ABORT, 'refused'); END;");
    for (daccess::TLockMode mode : {daccess::lmPessimistic, daccess::lmOptimistic})
        for (bool remove : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (remove ? " delete" : " post"));
            VUdeVizov* q = Query("SELECT * FROM sources ORDER BY id");
            q->SetLockMode(mode);
            q->Open();
            q->Next();
            if (remove) {
                EXPECT_EQ(MessageOf([&] { q->Delete(); }), "kept");
            } else {
                q->Edit();
                q->FieldByName("name")->SetAsString("bad");
                EXPECT_EQ(MessageOf([&] { q->Post(); }), "refused");
                q->Cancel();
            }
            EXPECT_FALSE(Conn->InTransaction());
            EXPECT_TRUE(OthersCanWrite());
            q->Close();
        }
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 2"), std::vector<std::string>{"S2"});
}

// Without a key every column names the row, and a null is matched as null.
TEST_F(UniWritebackCasesTest, AKeylessRowFromNullToAValueAndBack) {
    Raw("CREATE TABLE loose (a VARCHAR(10), b INTEGER); INSERT INTO loose VALUES (NULL, 1), ('v', 1), (NULL, 2);");
    VUdeVizov* q = Query("SELECT a, b FROM loose ORDER BY b, a");
    q->Open();
    const std::string everything = "SELECT ifnull(a, '-') || b FROM loose ORDER BY rowid";
    q->Edit();
    q->FieldByName("a")->SetAsString("w");
    q->Post();
    EXPECT_EQ(Column(everything), (std::vector<std::string>{"w1", "v1", "-2"}));
    q->Edit();
    q->FieldByName("a")->Clear();
    q->Post();
    EXPECT_EQ(Column(everything), (std::vector<std::string>{"-1", "v1", "-2"}));
}

// A cached record whose key changed is read again by the key the server still holds.
TEST_F(UniWritebackCasesTest, RefreshingACachedRecordWithAChangedKey) {
    VUdeVizov* q = Query("SELECT id, name FROM sources ORDER BY id");
    q->SetCachedUpdates(true);
    q->Open();
    q->Edit();
    q->FieldByName("id")->SetAsInteger(100);
    q->Post();
    Raw("UPDATE sources SET name = 'changed behind' WHERE id = 1");
    q->RefreshRecord();
    EXPECT_EQ(q->FieldByName("name")->AsString(), "changed behind");
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE id = 100"), std::vector<std::string>{"0"});
    q->CancelUpdates();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 1);
}

// Fields of a joined table may be made writable, yet only the updating table's columns are
// written, and the joined table's row id never keys it.
TEST_F(UniWritebackCasesTest, AJoinWritesOnlyItsUpdatingTable) {
    Raw("INSERT INTO contacts (id, source_id, person) VALUES (5, 3, 'P'), (6, 1, 'Q');");
    VUdeVizov* q = Query(
        "SELECT c.rowid, c.person, s.id, s.name FROM contacts c JOIN sources s ON s.id = c.source_id "
        "ORDER BY c.id");
    q->SetUpdatingTable("s");
    q->Options()->SetSetFieldsReadOnly(false);
    q->Open();
    EXPECT_FALSE(q->FieldByName("person")->ReadOnly());
    q->Edit();
    q->FieldByName("name")->SetAsString("renamed");
    q->FieldByName("person")->SetAsString("ignored");
    q->Post();
    EXPECT_EQ(Column("SELECT id || name FROM sources WHERE name = 'renamed'"), std::vector<std::string>{"3renamed"});
    EXPECT_EQ(Column("SELECT person FROM contacts ORDER BY id"), (std::vector<std::string>{"P", "Q"}));
    q->Next();
    q->Delete();
    EXPECT_EQ(Column("SELECT group_concat(id) FROM sources"), std::vector<std::string>{"2,3,4,5,6"});
    EXPECT_EQ(Column("SELECT count(*) FROM contacts"), std::vector<std::string>{"2"});
}

// A query backup names the columns it wrote, whatever CompleteInsert says, and restores.
TEST_F(UniWritebackCasesTest, AQueryBackupNamesItsColumnsAndRestores) {
    rtl::TOwnedPtr<TUniDump> dump(rtl::Create<TUniDump>(nullptr));
    dump->SetConnection(Conn.get());
    dump->Options()->SetGenerateHeader(false);
    dump->Options()->SetAddDrop(false);
    EXPECT_FALSE(dump->Options()->CompleteInsert());
    dump->BackupQuery("SELECT name, id FROM sources WHERE id > 4");
    std::vector<std::string> lines;
    for (int i = 0; i < dump->SQL()->Count(); ++i)
        if (!dump->SQL()->Strings(i).empty()) lines.push_back(dump->SQL()->Strings(i));
    EXPECT_EQ(lines, (std::vector<std::string>{"INSERT INTO sources(name, id) VALUES ('S5', 5);",
                                               "INSERT INTO sources(name, id) VALUES ('S6', 6);"}));
    Raw("DELETE FROM sources WHERE id > 4");
    const std::string text = dump->SQL()->Text();
    rtl::TMemoryStream in;
    in.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    in.SetPosition(0);
    dump->RestoreFromStream(&in);
    EXPECT_EQ(Column("SELECT id || name || ifnull(kind, '-') FROM sources WHERE id > 4 ORDER BY id"),
              (std::vector<std::string>{"5S5-", "6S6-"}));
}

}  // namespace
