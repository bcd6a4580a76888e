// Writing edited records back: generated statements, keys, identity, strict updates, cached updates
// and update SQL objects, on SQLite files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "data/sqlite/LiteServicesUni.h"
#include "tests/access/expect_raise.h"
#include "tests/access/lite_dataset_fixture.h"
#include "tests/access/writeback_fixture.h"

namespace {

using namespace daccess;
using litedataset::A;

using WriteBackTest = writeback::WriteBackFixture;
using writeback::Statement;

// --- generated statement texts ---

TEST_F(WriteBackTest, GeneratedStatementsNameChangedFieldsAndOldKeys) {
    Conn->ExecSQL("UPDATE sources SET kind = NULL WHERE id = 2");
    struct Case {
        const char* Name;
        const char* KeyFields;
        std::function<void(TCustomDADataSet*)> Change;
        const char* Text;
        std::vector<AnsiString> Params;
    };
    const std::vector<Case> cases = {
        {"edit of one field",
         "id",
         [](TCustomDADataSet* ds) {
             ds->Edit();
             ds->FieldByName("name")->SetAsString("x");
             ds->Post();
         },
         "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?",
         {"name", "Old_id"}},
        {"null old key",
         "kind",
         [](TCustomDADataSet* ds) {
             ds->Locate(u"id", Variant(2), {});
             ds->Edit();
             ds->FieldByName("name")->SetAsString("y");
             ds->Post();
         },
         "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind IS NULL",
         {"name"}},
        {"insert of the fields with a value",
         "id",
         [](TCustomDADataSet* ds) {
             ds->Append();
             ds->FieldByName("name")->SetAsString("z");
             ds->Post();
         },
         "INSERT INTO sources\r\n  (name)\r\nVALUES\r\n  (?)",
         {"name"}},
        {"insert of an empty record",
         "id",
         [](TCustomDADataSet* ds) {
             ds->Append();
             ds->Post();
         },
         "INSERT INTO sources\r\n  (id, name, kind)\r\nVALUES\r\n  (?, ?, ?)",
         {"id", "name", "kind"}},
        {"delete",
         "id",
         [](TCustomDADataSet* ds) { ds->Delete(); },
         "DELETE FROM sources\r\nWHERE\r\n  id = ?",
         {"Old_id"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Ran.clear();
        TCustomDADataSet* ds = Watched("SELECT * FROM sources ORDER BY id");
        ds->SetKeyFields(c.KeyFields);
        ds->Open();
        c.Change(ds);
        ASSERT_EQ(Ran.size(), 1u);
        EXPECT_EQ(Ran[0].Text, c.Text);
        EXPECT_EQ(Ran[0].Params, c.Params);
    }
}

// Successive edits of one record set each post the fields they changed; an edit that leaves every
// value as it was, also one changed and changed back, posts nothing.
TEST_F(WriteBackTest, EachEditPostsTheFieldsItChanged) {
    Conn->ExecSQL("CREATE TABLE items (id INTEGER PRIMARY KEY, title VARCHAR(20), qty INTEGER)");
    Conn->ExecSQL("INSERT INTO items VALUES (1, 'first', 1)");
    TCustomDADataSet* ds = Watched("SELECT * FROM items");
    ds->Open();
    auto title = [ds](const char* v) { ds->FieldByName("title")->SetAsString(v); };
    auto qty = [ds](int v) { ds->FieldByName("qty")->SetAsInteger(v); };
    struct Step {
        const char* Name;
        std::function<void()> Change;
        const char* Set;  // nullptr: nothing runs
        const char* File;
    };
    const std::vector<Step> steps = {
        {"title", [&] { title("second"); }, "title = ?", "second/1"},
        {"qty", [&] { qty(2); }, "qty = ?", "second/2"},
        {"both",
         [&] {
             title("3rd");
             qty(3);
         },
         "title = ?, qty = ?", "3rd/3"},
        {"the values they hold",
         [&] {
             title("3rd");
             qty(3);
         },
         nullptr, "3rd/3"},
        {"changed and changed back",
         [&] {
             title("a longer title");
             title("3rd");
             qty(9);
             qty(3);
         },
         nullptr, "3rd/3"},
        {"a shorter title", [&] { title("3"); }, "title = ?", "3/3"},
        {"to null", [&] { ds->FieldByName("qty")->Clear(); }, "qty = ?", "3/"},
        {"null to null", [&] { ds->FieldByName("qty")->Clear(); }, nullptr, "3/"},
        {"empty title", [&] { title(""); }, "title = ?", "/"},
        {"qty again", [&] { qty(4); }, "qty = ?", "/4"},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.Name);
        Ran.clear();
        ds->Edit();
        st.Change();
        ds->Post();
        if (st.Set) {
            ASSERT_EQ(Ran.size(), 1u);
            EXPECT_EQ(Ran[0].Text, AnsiString("UPDATE items\r\nSET\r\n  ") + st.Set + "\r\nWHERE\r\n  id = ?");
        } else {
            EXPECT_TRUE(Ran.empty());
        }
        EXPECT_EQ(Column("SELECT ifnull(title, '') || '/' || ifnull(qty, '') FROM items"),
                  std::vector<std::string>{st.File});
    }
}

TEST_F(WriteBackTest, RefreshAndLockTextsAndUpdateAllFields) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetKeyFields("id");
    ds->Open();
    auto* service = static_cast<TDADataSetService*>(ds->DataSetService());
    rtl::TOwnedPtr<TDAParams> params(rtl::Create<TDAParams>());
    EXPECT_EQ(service->SQLGenerator()->GenerateSQL(stRefresh, true, params.get()),
              "SELECT id AS _0, name AS _1, kind AS _2 FROM sources\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(service->SQLGenerator()->GenerateSQL(stLock, true, params.get()), "");
    // Without a parameter collection the placeholders carry the names.
    EXPECT_EQ(service->SQLGenerator()->GenerateSQL(stDelete, true, nullptr),
              "DELETE FROM sources\r\nWHERE\r\n  id = :Old_id");
    ds->Close();

    Ran.clear();
    ds = Watched("SELECT * FROM sources ORDER BY id");
    ds->SetKeyFields("id");
    ds->Options()->SetUpdateAllFields(true);
    ds->Open();
    ds->Edit();
    ds->FieldByName("kind")->SetAsInteger(7);
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  id = ?, name = ?, kind = ?\r\nWHERE\r\n  id = ?");
}

TEST_F(WriteBackTest, APreparedUpdateStatementServesTheNextRecordToo) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Options()->SetPrepareUpdateSQL(true);
    ds->Open();
    for (const char* name : {"one", "two"}) {
        ds->Edit();
        ds->FieldByName("kind")->SetAsInteger(40);
        ds->FieldByName("name")->SetAsString(name);
        ds->Post();
        ds->Next();
    }
    EXPECT_EQ(Column("SELECT name FROM sources WHERE kind = 40 ORDER BY id"), (std::vector<std::string>{"one", "two"}));
}

TEST_F(WriteBackTest, EachPostGetsTheStatementOfWhatItChanged) {
    // Posts one after another reuse a statement only while they change the same fields and their
    // keys are null or not alike.
    Conn->ExecSQL("UPDATE sources SET kind = NULL WHERE id = 2");
    TCustomDADataSet* ds = Watched("SELECT * FROM sources ORDER BY id");
    ds->SetKeyFields("kind");
    ds->Options()->SetStrictUpdate(false);
    ds->Open();
    struct Step {
        int Id;
        const char* Field;
        const char* Text;
    };
    const Step steps[] = {
        {1, "name", "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind = ?"},
        {1, "name", "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind = ?"},
        {2, "name", "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind IS NULL"},
        {3, "name", "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind = ?"},
        {3, "kind", "UPDATE sources\r\nSET\r\n  kind = ?\r\nWHERE\r\n  kind = ?"},
        {4, "name", "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  kind = ?"},
    };
    int n = 0;
    for (const Step& st : steps) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(ds->Locate(u"id", Variant(st.Id), {}));
        Ran.clear();
        ds->Edit();
        if (std::string(st.Field) == "kind")
            ds->FieldByName("kind")->SetAsInteger(30 + n);
        else
            ds->FieldByName("name")->SetAsString("step " + std::to_string(n));
        ds->Post();
        ASSERT_EQ(Ran.size(), 1u);
        EXPECT_EQ(Ran[0].Text, st.Text);
        if (std::string(st.Field) == "kind") {
            EXPECT_EQ(Column("SELECT id FROM sources WHERE kind = " + std::to_string(30 + n)),
                      (std::vector<std::string>{"1", "3", "5"}));
        }
        ++n;
    }
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 2"), std::vector<std::string>{"step 2"});

    // Reopened, the dataset has new fields: the statement is written for them.
    ds->Close();
    ds->SetKeyFields("id");
    ds->Open();
    Ran.clear();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("after reopening");
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name = 'after reopening'"), std::vector<std::string>{"1"});
}

TEST_F(WriteBackTest, AComputedColumnIsNeverWritten) {
    TCustomDADataSet* ds = Watched("SELECT id, name, name || '!' AS shout FROM sources ORDER BY id");
    ds->Options()->SetUpdateAllFields(true);
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("quiet");
    ds->Post();
    ds->Append();
    ds->FieldByName("name")->SetAsString("new");
    ds->Post();
    ASSERT_EQ(Ran.size(), 2u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  id = ?, name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Ran[1].Text, "INSERT INTO sources\r\n  (id, name)\r\nVALUES\r\n  (?, ?)");
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id IN (1, 6) ORDER BY id"),
              (std::vector<std::string>{"quiet", "new"}));
}

TEST_F(WriteBackTest, AnUnchangedEditRunsNothing) {
    TCustomDADataSet* ds = Watched("SELECT * FROM sources");
    ds->Open();
    ds->Edit();
    ds->Post();
    ds->Edit();
    ds->FieldByName("kind")->SetAsInteger(ds->FieldByName("kind")->AsInteger());
    ds->Post();
    EXPECT_TRUE(Ran.empty());
}

// --- key fields ---

TEST_F(WriteBackTest, KeyFieldsComeFromKeyFieldsIdentityUniqueIndexOrAllFields) {
    Conn->ExecSQL("CREATE TABLE codes (code TEXT NOT NULL, region INTEGER, note BLOB, UNIQUE (code))");
    Conn->ExecSQL("CREATE TABLE plain (a INTEGER, b VARCHAR(20), c BLOB)");
    Conn->ExecSQL("INSERT INTO codes VALUES ('A1', 1, x'00')");
    Conn->ExecSQL("INSERT INTO plain VALUES (1, 'b', x'00'), (2, 'c', x'00')");
    struct Case {
        const char* SQL;
        const char* KeyFields;
        const char* Where;
    };
    const Case cases[] = {
        {"SELECT * FROM sources", "name;kind", "name = ? AND kind = ?"},
        {"SELECT rowid, b FROM plain", "", "rowid = ?"},
        {"SELECT * FROM codes", "", "code = ?"},
        {"SELECT * FROM plain", "", "a = ? AND b = ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.SQL);
        Ran.clear();
        TCustomDADataSet* ds = Watched(c.SQL);
        ds->SetKeyFields(c.KeyFields);
        ds->Open();
        ds->Delete();
        ASSERT_EQ(Ran.size(), 1u);
        const AnsiString& text = Ran[0].Text;
        EXPECT_EQ(text.substr(text.find("WHERE\r\n  ") + 9), c.Where);
    }
}

TEST_F(WriteBackTest, MissingKeysAreReportedWithTheDatasetName) {
    TCustomDADataSet* ds = Query("SELECT id, name FROM sources");
    ds->SetName("zSources");
    ds->SetKeyFields("id;curator");
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("x");
    accesstest::ExpectMessage([&] { ds->Post(); }, "zSources: Key field 'curator' not found");
    ds->Cancel();
    ds->Close();

    Conn->ExecSQL("CREATE TABLE images (picture BLOB)");
    Conn->ExecSQL("INSERT INTO images VALUES (x'0102')");
    TCustomDADataSet* images = Query("SELECT * FROM images");
    images->Open();
    accesstest::ExpectMessage([&] { images->Delete(); }, SKeyFieldsNotFound);
    EXPECT_EQ(Column("SELECT count(*) FROM images"), std::vector<std::string>{"1"});
}

// --- identity ---

TEST_F(WriteBackTest, TheNewRowIdReachesTheIdentityField) {
    Conn->ExecSQL("CREATE TABLE pairs (a INTEGER NOT NULL, b INTEGER NOT NULL, title TEXT, PRIMARY KEY (a, b))");
    Conn->ExecSQL("CREATE TABLE notes (title VARCHAR(20))");
    Conn->ExecSQL("DELETE FROM sources WHERE id > 3");

    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    ds->Options()->SetExtendedFieldsInfo(true);
    ds->Open();
    EXPECT_EQ(ds->FieldByName("id")->AutoGenerateValue(), db::arAutoInc);
    ds->Append();
    ds->FieldByName("name")->SetAsString("new");
    ds->Post();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 4);
    EXPECT_EQ(ds->LastInsertId(), 4);

    Conn->ExecSQL("INSERT INTO notes (rowid, title) VALUES (41, 'old')");
    TCustomDADataSet* withRowId = Query("SELECT rowid, title FROM notes");
    withRowId->Open();
    withRowId->Append();
    withRowId->FieldByName("title")->SetAsString("newer");
    withRowId->Post();
    EXPECT_EQ(withRowId->FieldByName("rowid")->AsInteger(), 42);

    // A key declared as a table constraint is no identity: the posted values stay as they are.
    TCustomDADataSet* pairs = Query("SELECT * FROM pairs");
    pairs->Options()->SetExtendedFieldsInfo(true);
    pairs->Open();
    EXPECT_EQ(pairs->FieldByName("a")->AutoGenerateValue(), db::arNone);
    pairs->Append();
    pairs->FieldByName("a")->SetAsInteger(7);
    pairs->FieldByName("b")->SetAsInteger(8);
    pairs->Post();
    EXPECT_EQ(pairs->FieldByName("a")->AsInteger(), 7);
    EXPECT_EQ(pairs->FieldByName("b")->AsInteger(), 8);
    EXPECT_EQ(Column("SELECT a || '/' || b FROM pairs"), std::vector<std::string>{"7/8"});
}

TEST_F(WriteBackTest, AnInsertThatInsertedNothingLeavesTheIdentityAlone) {
    // The trigger skips rows with an empty title, so the last insert id is an earlier statement's.
    Conn->ExecSQL("CREATE TABLE notes (title VARCHAR(20))");
    Conn->ExecSQL(
        "CREATE TRIGGER skip_empty BEFORE INSERT ON notes WHEN NEW.title = '' BEGIN SELECT RAISE(IGNORE); END");
    Conn->ExecSQL("INSERT INTO notes (rowid, title) VALUES (41, 'old')");
    TCustomDADataSet* ds = Query("SELECT rowid, title FROM notes");
    ds->Open();
    ds->Append();
    ds->FieldByName("title")->SetAsString("");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Update failed. Found 0 records");
    ds->Cancel();
    ds->Options()->SetStrictUpdate(false);
    ds->Append();
    ds->FieldByName("title")->SetAsString("");
    ds->Post();
    EXPECT_TRUE(ds->FieldByName("rowid")->IsNull());
}

// --- strict update ---

TEST_F(WriteBackTest, AStrictUpdateOfOtherThanOneRowChangesNothing) {
    const auto before = Column("SELECT name FROM sources ORDER BY id");
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetKeyFields("kind");
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("everywhere");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Update failed. Found 3 records");
    ds->Cancel();
    accesstest::ExpectMessage([&] { ds->Delete(); }, "Update failed. Found 3 records");
    EXPECT_EQ(Column("SELECT name FROM sources ORDER BY id"), before);

    TCustomDADataSet* byId = Query("SELECT * FROM sources ORDER BY id");
    byId->Open();
    Conn->ExecSQL("DELETE FROM sources WHERE id = 1");
    byId->Edit();
    byId->FieldByName("name")->SetAsString("gone");
    accesstest::ExpectMessage([&] { byId->Post(); }, "Update failed. Found 0 records");
    byId->Cancel();
    EXPECT_EQ(Column("SELECT count(*) FROM sources"), std::vector<std::string>{"4"});

    // Without StrictUpdate the statement stands.
    ds->Options()->SetStrictUpdate(false);
    ds->Edit();
    ds->FieldByName("name")->SetAsString("everywhere");
    ds->Post();
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name = 'everywhere'"), std::vector<std::string>{"2"});
}

TEST_F(WriteBackTest, ANullableUniqueIndexDoesNotWriteSeveralRows) {
    Conn->ExecSQL("CREATE TABLE tags (code TEXT UNIQUE, title TEXT)");
    Conn->ExecSQL("INSERT INTO tags VALUES (NULL, 'a'), (NULL, 'b')");
    TCustomDADataSet* ds = Query("SELECT * FROM tags");
    ds->Open();
    ds->Edit();
    ds->FieldByName("title")->SetAsString("c");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Update failed. Found 2 records");
    ds->Cancel();
    EXPECT_EQ(Column("SELECT title FROM tags ORDER BY title"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(WriteBackTest, InsideATransactionTheCallerDecides) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetKeyFields("kind");
    ds->Open();
    Conn->StartTransaction();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("everywhere");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Update failed. Found 3 records");
    ds->Cancel();
    Conn->Rollback();
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name = 'everywhere'"), std::vector<std::string>{"0"});
}

// --- views, text ---

TEST_F(WriteBackTest, PostingThroughAViewWritesItsBaseTable) {
    Conn->ExecSQL("CREATE VIEW archive AS SELECT id, name AS title FROM sources");
    Conn->ExecSQL(
        "CREATE TRIGGER archive_update INSTEAD OF UPDATE ON archive "
        "BEGIN UPDATE sources SET name = NEW.title WHERE id = OLD.id; END");
    TCustomDADataSet* ds = Query("SELECT * FROM archive ORDER BY id");
    ds->SetKeyFields("id");
    ds->Open();
    ds->Edit();
    ds->FieldByName("title")->SetAsString("renamed");
    ds->Post();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"renamed"});
}

TEST_F(WriteBackTest, AViewOfExpressionsIsWrittenThroughItsTriggers) {
    Conn->ExecSQL("CREATE VIEW shouting AS SELECT id + 0 AS id, upper(name) AS name FROM sources");
    Conn->ExecSQL(
        "CREATE TRIGGER shouting_update INSTEAD OF UPDATE ON shouting "
        "BEGIN UPDATE sources SET name = lower(NEW.name) WHERE id = OLD.id; END");
    TCustomDADataSet* ds = Watched("SELECT * FROM shouting ORDER BY id");
    ds->SetKeyFields("id");
    // The engine does not count rows its INSTEAD OF triggers change.
    ds->Options()->SetStrictUpdate(false);
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("LOUD");
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE shouting\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"loud"});
}

TEST_F(WriteBackTest, TextThatTheCodePageCannotHoldSurvivesAnEditOfAnotherColumn) {
    RawExec("UPDATE sources SET name = '\xE4\xB8\xAD\xD0\x90' WHERE id = 1");
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), A(u8"?А"));
    ds->Edit();
    ds->FieldByName("kind")->SetAsInteger(9);
    ds->Post();
    EXPECT_EQ(Column("SELECT name || '|' || kind FROM sources WHERE id = 1"),
              std::vector<std::string>{"\xE4\xB8\xAD\xD0\x90|9"});
}

TEST_F(WriteBackTest, CyrillicAndOtherScriptsRoundTripWithTheUnicodeOption) {
    Conn->Disconnect();
    Conn->CreateIConnection();
    Conn->IConnection()->SetProp(sqlite::pidUseUnicode, Variant(true));
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsWideString(u"Фонд 中文");
    ds->Post();
    ds->Append();
    ds->FieldByName("name")->SetAsWideString(u"Ёлка ā");
    ds->Post();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id IN (1, 6) ORDER BY id"),
              (std::vector<std::string>{"\xD0\xA4\xD0\xBE\xD0\xBD\xD0\xB4 \xE4\xB8\xAD\xE6\x96\x87",
                                        "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 \xC4\x81"}));
}

// --- cached updates ---

TEST_F(WriteBackTest, CachedUpdatesFailingHalfWayAreKeptForARetry) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetCachedUpdates(true);
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("first");
    ds->Post();
    ds->Next();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("second");
    ds->Post();
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name IN ('first', 'second')"), std::vector<std::string>{"0"});

    // The second row's name is changed behind the dataset's back: its key still matches, so use
    // a key that no longer does.
    Conn->ExecSQL("UPDATE sources SET id = 20 WHERE id = 2");
    EXPECT_THROW(ds->ApplyUpdates(), db::EDatabaseError);
    EXPECT_TRUE(ds->UpdatesPending());

    Conn->ExecSQL("UPDATE sources SET id = 2 WHERE id = 20");
    ds->ApplyUpdates();
    ds->CommitUpdates();
    EXPECT_FALSE(ds->UpdatesPending());
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id IN (1, 2) ORDER BY id"),
              (std::vector<std::string>{"first", "second"}));
}

// SQLite runs one statement per text: this updater runs a batch statement by statement, taking
// each statement's parameters in order from the batch's.
class TBatchRunningUpdater : public sqlite::TCustomLiteDataSetUpdater {
public:
    using TCustomLiteDataSetUpdater::TCustomLiteDataSetUpdater;
    bool BatchUpdates() override { return TDADataSetUpdater::BatchUpdates(); }
    std::vector<Statement> Batches;

protected:
    int ExecuteBatch() override {
        TDAParams* all = TDBAccessUtils::GetParams(CurrentUpdateQuery());
        Statement batch{BatchSQL(), {}};
        for (int i = 0; i < all->Count(); ++i) batch.Params.push_back(all->Items(i)->Name());
        Batches.push_back(batch);
        int rows = 0, next = 0;
        const AnsiString text = BatchSQL();
        size_t from = 0;
        while (from < text.size()) {
            size_t end = text.find(';', from);
            AnsiString piece;
            for (char c : text.substr(from, end - from))
                piece += c == '?' ? ":b" + std::to_string(piece.size()) : AnsiString(1, c);
            from = end + 1;
            while (from < text.size() && (text[from] == '\r' || text[from] == '\n')) ++from;
            rtl::TOwnedPtr<TCustomDASQL> q(rtl::Create<TCustomDASQL>(nullptr));
            q->SetConnection(DADataSet()->UsedConnection());
            q->SetSQL(piece);
            for (int i = 0; i < q->Params()->Count(); ++i) q->Params()->Items(i)->Assign(all->Items(next++));
            q->Execute();
            rows += q->RowsAffected();
        }
        return rows;
    }
};

TEST_F(WriteBackTest, CachedUpdatesRunInBatchesOfUpdateBatchSize) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetCachedUpdates(true);
    ds->Options()->SetUpdateBatchSize(2);
    ds->Open();
    auto* updater = rtl::Create<TBatchRunningUpdater>(ds->DataSetService());
    ds->DataSetService()->AssignUpdater(updater);
    for (int i = 0; i < 3; ++i) {
        ds->Edit();
        ds->FieldByName("name")->SetAsString("batched " + std::to_string(i + 1));
        ds->Post();
        ds->Next();
    }
    ds->Delete();
    ds->ApplyUpdates();
    ds->CommitUpdates();

    ASSERT_EQ(updater->Batches.size(), 2u);
    const AnsiString update0 = "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?;";
    EXPECT_EQ(updater->Batches[0].Text, update0 + "\r\n" + update0);
    EXPECT_EQ(updater->Batches[0].Params,
              (std::vector<AnsiString>{"P_0_name", "P_0_Old_id", "P_1_name", "P_1_Old_id"}));
    EXPECT_EQ(updater->Batches[1].Text, update0 + "\r\nDELETE FROM sources\r\nWHERE\r\n  id = ?;");
    EXPECT_EQ(updater->Batches[1].Params, (std::vector<AnsiString>{"P_0_name", "P_0_Old_id", "P_1_Old_id"}));
    EXPECT_EQ(Column("SELECT id || ' ' || name FROM sources WHERE id <= 4 ORDER BY id"),
              (std::vector<std::string>{"1 batched 1", "2 batched 2", "3 batched 3"}));
    EXPECT_FALSE(ds->UpdatesPending());

    // A batch that found fewer rows than it has statements is reported and kept for a retry.
    ds->First();
    for (int i = 0; i < 2; ++i) {
        ds->Edit();
        ds->FieldByName("kind")->SetAsInteger(70 + i);
        ds->Post();
        ds->Next();
    }
    Conn->ExecSQL("UPDATE sources SET id = 20 WHERE id = 2");
    accesstest::ExpectMessage([&] { ds->ApplyUpdates(); }, "Update failed. Found 1 records");
    EXPECT_TRUE(ds->UpdatesPending());
}

TEST_F(WriteBackTest, UserStatementsJoinTheBatchWithNumberedParameters) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetSQLUpdate("UPDATE sources SET name = upper(:name) WHERE id = :OLD_id");
    ds->SetCachedUpdates(true);
    ds->Options()->SetUpdateBatchSize(3);
    ds->Open();
    auto* updater = rtl::Create<TBatchRunningUpdater>(ds->DataSetService());
    ds->DataSetService()->AssignUpdater(updater);
    for (const char* name : {"one", "two"}) {
        ds->Edit();
        ds->FieldByName("name")->SetAsString(name);
        ds->Post();
        ds->Next();
    }
    // A generated statement joins the same batch.
    ds->Delete();
    ds->ApplyUpdates();
    ds->CommitUpdates();

    ASSERT_EQ(updater->Batches.size(), 1u);
    EXPECT_EQ(updater->Batches[0].Text,
              "UPDATE sources SET name = upper(:P_0_name) WHERE id = :P_0_OLD_id;\r\n"
              "UPDATE sources SET name = upper(:P_1_name) WHERE id = :P_1_OLD_id;\r\n"
              "DELETE FROM sources\r\nWHERE\r\n  id = ?;");
    EXPECT_EQ(updater->Batches[0].Params,
              (std::vector<AnsiString>{"P_0_name", "P_0_OLD_id", "P_1_name", "P_1_OLD_id", "P_2_Old_id"}));
    EXPECT_EQ(
        Column("SELECT id || ' ' || name FROM sources WHERE id <= 4 ORDER BY id"),
        (std::vector<std::string>{"1 ONE", "2 TWO", "4 " + std::string(reinterpret_cast<const char*>(u8"Архив 4"))}));
}

TEST_F(WriteBackTest, TheServerCountOfAQueryWithOrderByAndParameters) {
    // A comment at the end must not swallow the counting query's closing parenthesis.
    for (const char* sql : {"SELECT * FROM sources WHERE kind = :kind ORDER BY name DESC",
                            "SELECT * FROM sources WHERE kind = :kind ORDER BY name -- odd kinds",
                            "SELECT * FROM sources WHERE kind = :kind -- odd kinds"}) {
        SCOPED_TRACE(sql);
        TCustomDADataSet* ds = Query(sql, false);
        ds->SetFetchRows(1);
        ds->Options()->SetQueryRecCount(true);
        ds->ParamByName("kind")->SetAsInteger(1);
        ds->Open();
        EXPECT_EQ(ds->RecordCount(), 3);
    }
}

// --- update SQL objects ---

TEST_F(WriteBackTest, UpdateObjectsReplaceGeneratedStatements) {
    rtl::TOwnedPtr<TCustomDAUpdateSQL> update(rtl::Create<TCustomDAUpdateSQL>(nullptr));
    update->SetModifySQL("UPDATE sources SET name = upper(:name) WHERE id = :OLD_id");
    TCustomDADataSet* ds = Watched("SELECT * FROM sources ORDER BY id");
    ds->SetUpdateObject(update.get());
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("abc");
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources SET name = upper(:name) WHERE id = :OLD_id");
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"ABC"});
}

TEST_F(WriteBackTest, UpdateObjectPropertiesAcceptOnlyStatementComponents) {
    rtl::TOwnedPtr<TCustomDAUpdateSQL> update(rtl::Create<TCustomDAUpdateSQL>(nullptr));
    TCustomDADataSet* first = Query("SELECT * FROM sources");
    TCustomDADataSet* second = Query("SELECT * FROM sources");
    first->SetUpdateObject(update.get());
    accesstest::ExpectMessage([&] { update->SetModifyObject(first); }, SCircularUpdateObject);
    rtl::TOwnedPtr<rtl::TComponent> label(rtl::Create<rtl::TComponent>(nullptr));
    accesstest::ExpectMessage([&] { update->SetInsertObject(label.get()); },
                              "Only TCustomDADataSet and TCustomDASQL objects are allowed in update properties");

    second->SetUpdateObject(update.get());
    EXPECT_EQ(first->UpdateObject(), nullptr);
    EXPECT_EQ(update->DataSet(), second);

    {
        rtl::TOwnedPtr<TCustomDASQL> sql(rtl::Create<TCustomDASQL>(nullptr));
        update->SetDeleteObject(sql.get());
        EXPECT_EQ(update->DeleteObject(), sql.get());
    }
    EXPECT_EQ(update->DeleteObject(), nullptr);
    update.reset();
    EXPECT_EQ(second->UpdateObject(), nullptr);
}

}  // namespace
