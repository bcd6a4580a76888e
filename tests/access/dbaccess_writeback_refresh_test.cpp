// Reading records back after posting and on demand, the user's update statements, and record
// locks, on SQLite files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "framework/rtl/SqlTimSt.h"
#include "tests/access/expect_raise.h"
#include "tests/access/writeback_fixture.h"

namespace {

using namespace daccess;

class RefreshTest : public writeback::WriteBackFixture {
protected:
    void SetUp() override {
        WriteBackFixture::SetUp();
        // The server fills created and counter; editing a title counts the edits.
        Conn->ExecSQL(
            "CREATE TABLE notes (id INTEGER PRIMARY KEY, title TEXT, created TEXT DEFAULT 'today', "
            "counter INTEGER DEFAULT 7)");
        Conn->ExecSQL(
            "CREATE TRIGGER count_edits AFTER UPDATE OF title ON notes BEGIN "
            "UPDATE notes SET counter = counter + 1 WHERE id = NEW.id; END");
        Conn->ExecSQL("INSERT INTO notes (id, title) VALUES (1, 'first')");
    }

    // The result code another client gets when it tries to write.
    int OtherWriter(const std::string& SQL) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(Conn->Database.c_str(), &db), SQLITE_OK);
        const int rc = sqlite3_exec(db, SQL.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return rc;
    }
};

// --- refresh ---

TEST_F(RefreshTest, RefreshAfterPostReadsWhatTheServerFilledIn) {
    struct Case {
        const char* Name;
        TRefreshOptions Options;
        const char* Created;  // after the insert
        int CounterAfterEdit;
    };
    const Case cases[] = {
        {"no refresh", {}, "", 0},
        {"after insert", {roAfterInsert}, "today", 7},
        {"after update", {roAfterUpdate}, "", 8},
        {"both", {roAfterInsert, roAfterUpdate}, "today", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Conn->ExecSQL("DELETE FROM notes WHERE id > 1");
        TCustomDADataSet* ds = Query("SELECT * FROM notes ORDER BY id");
        ds->Options()->SetExtendedFieldsInfo(true);
        ds->SetRefreshOptions(c.Options);
        ds->Open();
        ds->Append();
        ds->FieldByName("title")->SetAsString("second");
        ds->Post();
        EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 2);
        EXPECT_EQ(ds->FieldByName("created")->AsString(), c.Created);
        ds->Edit();
        ds->FieldByName("title")->SetAsString("second, edited");
        ds->Post();
        // Without a refresh after insert the record never saw the default 7.
        EXPECT_EQ(ds->FieldByName("counter")->AsInteger(), c.CounterAfterEdit);
        EXPECT_EQ(ds->FieldByName("title")->AsString(), "second, edited");
        // The record store keeps the values read back.
        ds->First();
        ds->Last();
        EXPECT_EQ(ds->FieldByName("counter")->AsInteger(), c.CounterAfterEdit);
        ds->Close();
    }
}

TEST_F(RefreshTest, RefreshRecordReadsTheCurrentRowOnly) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    Conn->ExecSQL("UPDATE sources SET name = 'changed elsewhere', kind = 9");
    ds->Locate(u"id", Variant(2), {});
    ds->RefreshRecord();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "changed elsewhere");
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 9);
    ds->First();
    EXPECT_NE(ds->FieldByName("name")->AsString(), "changed elsewhere");
    ds->Locate(u"id", Variant(2), {});
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "changed elsewhere");
    EXPECT_EQ(ds->State(), db::dsBrowse);

    // A row deleted elsewhere is reported; without StrictUpdate the record stays as it was.
    Conn->ExecSQL("DELETE FROM sources WHERE id = 3");
    ds->Locate(u"id", Variant(3), {});
    accesstest::ExpectMessage([&] { ds->RefreshRecord(); }, "Refresh failed. Found 0 records");
    ds->Options()->SetStrictUpdate(false);
    ds->RefreshRecord();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
}

TEST_F(RefreshTest, RefreshBeforeEditStartsFromTheServersRow) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetRefreshOptions({roBeforeEdit});
    ds->Open();
    Conn->ExecSQL("UPDATE sources SET kind = 40 WHERE id = 1");
    ds->Edit();
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 40);
    ds->FieldByName("name")->SetAsString("edited");
    ds->Post();
    EXPECT_EQ(Column("SELECT name || '/' || kind FROM sources WHERE id = 1"), std::vector<std::string>{"edited/40"});
}

// --- quick refresh ---

TEST_F(RefreshTest, QuickRefreshReadsTheCurrentRecordAgainAndDropsRowsDeletedElsewhere) {
    TCustomDADataSet* ds = Watched("SELECT * FROM sources WHERE kind = :kind ORDER BY id");
    ds->Params()->ParamByName("kind")->SetAsInteger(1);
    ds->Open();
    ds->Locate(u"id", Variant(3), {});
    Conn->ExecSQL("UPDATE sources SET name = 'renamed' WHERE id = 3");
    Conn->ExecSQL("DELETE FROM sources WHERE id = 5");

    // Without the check, a row deleted elsewhere stays.
    ds->RefreshQuick(false);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "renamed");
    EXPECT_EQ(ds->RecordCount(), 3);

    Conn->ExecSQL("UPDATE sources SET name = 'renamed again' WHERE id = 3");
    Ran.clear();
    ds->RefreshQuick(true);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "renamed again");
    EXPECT_EQ(ds->State(), db::dsBrowse);
    ASSERT_EQ(Ran.size(), 2u);
    EXPECT_EQ(Ran[0].Text, "SELECT id FROM sources WHERE kind = :kind ORDER BY id");
    EXPECT_EQ(Ran[0].Params, std::vector<AnsiString>{"kind"});
    EXPECT_EQ(Ran[1].Text, "SELECT * FROM sources WHERE (kind = :kind) AND id = :Old_id  ORDER BY id");
    EXPECT_EQ(Ran[1].Params, (std::vector<AnsiString>{"kind", "Old_id"}));
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3}));
    // Nothing was written.
    EXPECT_EQ(Column("SELECT count(*) FROM sources"), std::vector<std::string>{"4"});

    // The current record deleted elsewhere: the dataset moves to its first record.
    ds->Locate(u"id", Variant(3), {});
    Conn->ExecSQL("DELETE FROM sources WHERE id = 3");
    ds->RefreshQuick(true);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1}));
}

TEST_F(RefreshTest, QuickRefreshNeedsKeys) {
    Conn->ExecSQL("CREATE TABLE loose (a INTEGER, b TEXT)");
    Conn->ExecSQL("INSERT INTO loose VALUES (1, 'x')");
    TCustomDADataSet* ds = Query("SELECT * FROM loose");
    ds->Open();
    accesstest::ExpectMessage([&] { ds->RefreshQuick(true); }, "Unique keyfields required");
    EXPECT_EQ(ds->RecordCount(), 1);
}

// --- the user's statements ---

TEST_F(RefreshTest, UserStatementsReplaceGeneratedOnes) {
    TCustomDADataSet* ds = Watched("SELECT * FROM sources ORDER BY id");
    // Written as a user would: the statements decide which columns change.
    ds->SetSQLUpdate("UPDATE sources SET name = upper(:name) WHERE id = :OLD_id");
    ds->SetSQLInsert("INSERT INTO sources (id, name, kind) VALUES (:id, :name, 100)");
    ds->SetSQLDelete("UPDATE sources SET kind = -1 WHERE id = :OLD_id");
    ds->SetSQLRefresh("WHERE id = :id");
    ds->SetRefreshOptions({roAfterInsert});
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("shout");
    ds->Post();
    ds->Append();
    ds->FieldByName("id")->SetAsInteger(10);
    ds->FieldByName("name")->SetAsString("ten");
    ds->Post();
    // The refresh brought back the kind the insert statement chose.
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 100);
    ds->Locate(u"id", Variant(2), {});
    ds->Delete();
    EXPECT_EQ(Column("SELECT id || ':' || name || ':' || kind FROM sources WHERE id IN (1, 2, 10) ORDER BY id"),
              (std::vector<std::string>{
                  "1:SHOUT:1", "2:" + std::string(reinterpret_cast<const char*>(u8"Архив 2")) + ":-1", "10:ten:100"}));
    ASSERT_EQ(Ran.size(), 4u);
    EXPECT_EQ(Ran[0].Params, (std::vector<AnsiString>{"name", "OLD_id"}));
    // "WHERE ..." refreshes through the dataset's own text with the condition added.
    EXPECT_EQ(Ran[2].Text.find("SELECT * FROM sources"), 0u);
    EXPECT_NE(Ran[2].Text.find("id = :id"), AnsiString::npos);
}

TEST_F(RefreshTest, AParameterTheHandlerLeftUnfilledIsReported) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetSQLUpdate("UPDATE sources SET name = :name, kind = :extra WHERE id = :OLD_id");
    bool fill = false;
    ds->BeforeUpdateExecute = [&](TCustomDADataSet*, uint16_t, TDAParams* P) {
        if (fill) P->ParamByName("extra")->SetAsInteger(33);
    };
    ds->Open();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("handled");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Unknown data type of parameter extra");
    EXPECT_EQ(Column("SELECT kind FROM sources WHERE id = 1"), std::vector<std::string>{"1"});
    fill = true;
    ds->Post();
    EXPECT_EQ(Column("SELECT name || '/' || kind FROM sources WHERE id = 1"), std::vector<std::string>{"handled/33"});
}

// --- master/detail ---

TEST_F(RefreshTest, ADetailPostedToAnotherMasterLeavesTheDetail) {
    TCustomDADataSet* master = Query("SELECT * FROM sources ORDER BY id");
    rtl::TOwnedPtr<TCRDataSource> src(rtl::Create<TCRDataSource>(nullptr));
    src->SetDataSet(master);
    TCustomDADataSet* detail = Query("SELECT * FROM organisations ORDER BY id");
    detail->SetMasterSource(src.get());
    detail->SetMasterFields(u"id");
    detail->SetDetailFields(u"source_id");
    master->Open();
    detail->Open();
    ASSERT_EQ(detail->RecordCount(), 2);
    detail->Edit();
    detail->FieldByName("title")->SetAsString("still here");
    detail->Post();
    EXPECT_EQ(detail->RecordCount(), 2);
    detail->Edit();
    detail->FieldByName("source_id")->SetAsInteger(2);
    detail->Post();
    EXPECT_EQ(detail->RecordCount(), 1);
    EXPECT_EQ(Column("SELECT source_id || ':' || title FROM organisations WHERE id = 1"),
              std::vector<std::string>{"2:still here"});
    master->Next();
    EXPECT_EQ(detail->RecordCount(), 4);
    detail->Close();
    master->Close();
}

TEST_F(RefreshTest, ADeltaRecordIsWrittenOnlyThroughTheUsersStatement) {
    TCustomDADataSet* target = Query("SELECT * FROM sources");
    target->Open();
    TCustomDADataSet* delta = Query("SELECT id, name FROM sources ORDER BY id");
    delta->Open();
    delta->Locate(u"id", Variant(3), {});
    delta->Edit();
    delta->FieldByName("name")->SetAsString("from the delta");
    TDADataSetUpdater* u = target->DAUpdater();
    // Without a statement of the user's nothing is generated for another dataset's record.
    EXPECT_FALSE(u->PerformPSUpdateRecord(db::ukModify, delta));
    target->SetSQLUpdate("UPDATE sources SET name = :name WHERE id = :OLD_id");
    EXPECT_TRUE(u->PerformPSUpdateRecord(db::ukModify, delta));
    delta->Cancel();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 3"), std::vector<std::string>{"from the delta"});
    target->SetSQLDelete("DELETE FROM sources WHERE id = :OLD_missing");
    accesstest::ExpectMessage([&] { u->PerformPSUpdateRecord(db::ukDelete, delta); },
                              "Not found field corresponding parameter OLD_missing");
    EXPECT_EQ(Column("SELECT count(*) FROM sources"), std::vector<std::string>{"5"});
}

// --- locks ---

TEST_F(RefreshTest, LockSavepointNamesAreCutToThirtyCharacters) {
    struct Case {
        const char* Name;
        const char* Lock;
        const char* CachedLock;
    };
    const Case cases[] = {
        {"Sources", "LOCK_Sources", "LOCK_CU_Sources"},
        {"A234567890123456789012", "LOCK_A234567890123456789012", "LOCK_CU_A234567890123456789012"},
        {"A2345678901234567890123", "LOCK_A2345678901234567890123", "LOCK_CU_A234567890123456789012"},
        {"A23456789012345678901234567", "LOCK_A234567890123456789012345", "LOCK_CU_A234567890123456789012"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TCustomDADataSet* ds = Query("SELECT * FROM sources");
        ds->SetName(c.Name);
        ds->Open();
        EXPECT_EQ(ds->DAUpdater()->LockSavepointName(false), c.Lock);
        EXPECT_EQ(ds->DAUpdater()->LockSavepointName(true), c.CachedLock);
    }
}

TEST_F(RefreshTest, APessimisticLockHoldsTheRowUntilPostOrCancel) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetName("Sources");
    ds->SetLockMode(lmPessimistic);
    ds->SetSQLLock("UPDATE sources SET id = id WHERE id = :OLD_id");
    ds->Open();

    ds->Edit();
    EXPECT_TRUE(Conn->InTransaction());
    EXPECT_EQ(OtherWriter("UPDATE sources SET kind = 0 WHERE id = 5"), SQLITE_BUSY);
    ds->FieldByName("name")->SetAsString("locked and posted");
    ds->Post();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"locked and posted"});

    ds->Next();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("cancelled");
    ds->Cancel();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(OtherWriter("UPDATE sources SET kind = 0 WHERE id = 5"), SQLITE_OK);

    // An unchanged record gives its lock back too.
    ds->Edit();
    ds->Post();
    EXPECT_FALSE(Conn->InTransaction());

    // Inside the caller's transaction the lock is a savepoint; the caller commits.
    Conn->StartTransaction();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("in the caller's transaction");
    ds->Post();
    EXPECT_TRUE(Conn->InTransaction());
    Conn->Commit();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 2"), std::vector<std::string>{"in the caller's transaction"});
}

TEST_F(RefreshTest, CachedEditsKeepTheirLocksUntilTheChangesEnd) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetName("Sources");
    ds->SetLockMode(lmPessimistic);
    ds->SetCachedUpdates(true);
    ds->SetSQLLock("UPDATE sources SET id = id WHERE id = :OLD_id");
    ds->Open();

    // Cancelling the only edit gives everything back.
    ds->Edit();
    EXPECT_TRUE(Conn->InTransaction());
    ds->Cancel();
    EXPECT_FALSE(Conn->InTransaction());

    ds->Edit();
    ds->FieldByName("name")->SetAsString("first");
    ds->Post();
    ds->Next();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("second");
    ds->Post();
    // Editing a record again takes no second lock.
    ds->Edit();
    ds->FieldByName("name")->SetAsString("second again");
    ds->Post();
    // Cancelling an edit of a third record keeps the locks of the first two.
    ds->Next();
    ds->Edit();
    ds->Cancel();
    EXPECT_TRUE(Conn->InTransaction());
    EXPECT_EQ(OtherWriter("UPDATE sources SET kind = 0 WHERE id = 5"), SQLITE_BUSY);

    ds->ApplyUpdates();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id <= 2 ORDER BY id"),
              (std::vector<std::string>{"first", "second again"}));
    EXPECT_EQ(OtherWriter("UPDATE sources SET kind = 0 WHERE id = 5"), SQLITE_OK);

    // Cancelled changes give their locks back and write nothing.
    ds->First();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("never written");
    ds->Post();
    EXPECT_TRUE(Conn->InTransaction());
    ds->CancelUpdates();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"first"});

    // A reverted record that was the only change does too.
    ds->Edit();
    ds->FieldByName("name")->SetAsString("reverted");
    ds->Post();
    ds->RevertRecord();
    EXPECT_FALSE(Conn->InTransaction());

    // Inside the caller's transaction the lock is a savepoint; the caller commits.
    Conn->StartTransaction();
    ds->Edit();
    ds->FieldByName("name")->SetAsString("in the caller's transaction");
    ds->Post();
    ds->ApplyUpdates();
    EXPECT_TRUE(Conn->InTransaction());
    Conn->Commit();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 1"), std::vector<std::string>{"in the caller's transaction"});
}

TEST_F(RefreshTest, ALockThatReadsTheRowFindsChangesOfOtherUsers) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetName("Sources");
    ds->SetLockMode(lmOptimistic);
    ds->SetSQLLock("SELECT kind FROM sources WHERE id = :OLD_id");
    ds->Open();
    ds->Edit();
    ds->FieldByName("kind")->SetAsInteger(50);
    ds->Post();
    EXPECT_EQ(Column("SELECT kind FROM sources WHERE id = 1"), std::vector<std::string>{"50"});

    Conn->ExecSQL("UPDATE sources SET kind = 51 WHERE id = 1");
    ds->Edit();
    ds->FieldByName("name")->SetAsString("mine");
    accesstest::ExpectMessage([&] { ds->Post(); }, "Record was changed by another user");
    ds->Cancel();
    EXPECT_EQ(Column("SELECT name || '/' || kind FROM sources WHERE id = 1"),
              std::vector<std::string>{std::string(reinterpret_cast<const char*>(u8"Архив 1")) + "/51"});
    EXPECT_FALSE(Conn->InTransaction());
}

TEST_F(RefreshTest, TimesWithinAMillisecondCompareEqual) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    ds->Open();
    TDADataSetUpdater* u = ds->DAUpdater();
    const double day = 1.0;
    const double ms = 1.0 / 86400000.0;
    struct Case {
        Variant A, B;
        bool Equal;
    };
    const Case cases[] = {
        {Variant::FromDate(45000.5), Variant::FromDate(45000.5 + 0.5 * ms), true},
        {Variant::FromDate(45000.5), Variant::FromDate(45000.5 + 2 * ms), false},
        {Variant::FromSQLTimeStamp(rtl::DateTimeToSQLTimeStamp(45000.5)),
         Variant::FromSQLTimeStamp(rtl::DateTimeToSQLTimeStamp(45000.5 + day)), false},
        {Variant(1), Variant(1), true},
        {Variant(AnsiString("a")), Variant(AnsiString("b")), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(u->ValuesEqual(c.A, c.B), c.Equal);
        EXPECT_EQ(u->ValuesEqual(c.B, c.A), c.Equal);
    }
}

}  // namespace
