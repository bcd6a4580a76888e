// One request of the application from end to end on a real file: connect with the data module's
// option lines, open the sources journal, add a source and its contact, re-sort, narrow, edit and
// delete, and meet a row deleted behind the query.
#include <gtest/gtest.h>

#include "tests/components/uni_fixture.h"

namespace {

using namespace unitest;

class UniRoadTest : public UniFixture {};

TEST_F(UniRoadTest, OneRequestFromConnectToDelete) {
    // The data module: its form's lines, the line it adds, the file name, connect, my_lower.
    for (const char* line : {"SQLite.BusyTimeout=350", "SQLite.ReadUncommitted=True", "SQLite.EnableSharedCache=True",
                             "SQLite.ForeignKeys=False", "MySQL.OptimizedBigint=True"})
        Conn->SpecificOptions()->Add(line);
    Conn->SpecificOptions()->Add("SQLite.BusyTimeout=350");
    EXPECT_EQ(MessageOf([&] {
                  sqlite::TLiteUtils::RegisterFunction(
                      Conn.get(), "my_lower", [](const sqlite::TLiteFunctionArgs& Args) { return Args[0]; }, 1);
              }),
              "Operation is not allowed when the connection is closed");
    Conn->Connect();
    sqlite::TLiteUtils::RegisterFunction(
        Conn.get(), "my_lower",
        [](const sqlite::TLiteFunctionArgs& Args) { return Variant(rtl::AnsiLowerCase(Args[0].AsAnsiString())); }, 1);
    EXPECT_EQ(Scalar(A(u8"SELECT my_lower('ФОНД')")).AsAnsiString(), A(u8"фонд"));

    // The sources journal of curator 7, kind 2, fetched whole at open: the journal filter is the
    // query's FilterSQL, as the data module sets it.
    VUdeVizov* sources = Query("SELECT * FROM sources");
    sources->SetFilterSQL("kind = 2 AND curator_id = 7");
    sources->Open();
    EXPECT_NE(sources->GetFinalSQL().find("WHERE kind = 2 AND curator_id = 7"), std::string::npos)
        << sources->GetFinalSQL();
    EXPECT_TRUE(sources->GetFetchAll());
    EXPECT_TRUE(sources->FetchFinished());
    EXPECT_EQ(Ids(sources), (std::vector<int>{1, 3}));

    // "Добавить": the before-post rule draws the next running number from the table of numbers.
    sources->BeforePost = [&](db::TDataSet* DataSet) {
        const int next = Scalar("SELECT last + 1 FROM numbers WHERE kind = 2").AsInteger();
        Conn->ExecSQL("UPDATE numbers SET last = :n WHERE kind = 2", {Variant(next)});
        DataSet->FieldByName("number")->SetAsInteger(next);
    };
    sources->Append();
    sources->FieldByName("name")->SetAsString(A(u8"Новый фонд"));
    sources->FieldByName("kind")->SetAsInteger(2);
    sources->FieldByName("curator_id")->SetAsInteger(7);
    sources->Post();
    const int id = sources->FieldByName("id")->AsInteger();
    EXPECT_EQ(id, 7) << "the new row id in the identity column";
    EXPECT_EQ(Column("SELECT number || ' ' || curator_id FROM sources WHERE id = 7"), std::vector<std::string>{"21 7"});
    EXPECT_EQ(Column("SELECT last FROM numbers WHERE kind = 2"), std::vector<std::string>{"21"});

    // The card's contacts follow the source through a data source.
    rtl::TOwnedPtr<TUniDataSource> sourcesDS(rtl::Create<TUniDataSource>(nullptr));
    sourcesDS->SetDataSet(sources);
    VUdeVizov* contacts = Query("SELECT * FROM contacts");
    contacts->SetMasterSource(sourcesDS.get());
    contacts->SetMasterFields(u"id");
    contacts->SetDetailFields(u"source_id");
    contacts->Open();
    EXPECT_EQ(contacts->RecordCount(), 0);
    contacts->Append();
    contacts->FieldByName("source_id")->SetAsInteger(id);
    contacts->FieldByName("person")->SetAsString(A(u8"Иванов"));
    contacts->Post();
    EXPECT_EQ(Column("SELECT source_id || ' ' || id FROM contacts"), std::vector<std::string>{"7 1"});

    // A click on the sort marker: re-sorted in memory.
    sources->SetIndexFieldNames("id DESC");
    EXPECT_EQ(Ids(sources), (std::vector<int>{7, 3, 1}));

    // Narrowed through FilterSQL: the open query reopens with the new condition.
    sources->SetFilterSQL("kind = 2 AND curator_id = 7 AND number > 2");
    EXPECT_TRUE(sources->Active());
    EXPECT_EQ(Ids(sources), (std::vector<int>{7, 3}));

    // Edited and posted: an UPDATE keyed on the id.
    sources->First();
    sources->Edit();
    sources->FieldByName("name")->SetAsString(A(u8"Фонд №7"));
    sources->Post();
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id = 7"),
              std::vector<std::string>{reinterpret_cast<const char*>(u8"Фонд №7")});
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name LIKE 'S%'"), std::vector<std::string>{"6"});

    // The deletion of a source runs its statements through the connection.
    Conn->ExecSQL("DELETE FROM contacts WHERE source_id = :id", {Variant(id)});
    Conn->ExecSQL("DELETE FROM sources WHERE id = :id", {Variant(id)});
    EXPECT_EQ(Column("SELECT count(*) FROM contacts"), std::vector<std::string>{"0"});

    // Row 7 is still in the query, deleted behind it: its UPDATE finds nothing.
    sources->First();
    ASSERT_EQ(sources->FieldByName("id")->AsInteger(), 7);
    sources->Edit();
    sources->FieldByName("name")->SetAsString("gone");
    EXPECT_EQ(MessageOf([&] { sources->Post(); }), "Update failed. Found 0 records");
    sources->Cancel();
    EXPECT_EQ(Column("SELECT count(*) FROM sources WHERE name = 'gone'"), std::vector<std::string>{"0"});
}

}  // namespace
