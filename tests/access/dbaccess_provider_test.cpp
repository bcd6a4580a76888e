#include <gtest/gtest.h>

#include "data/access/DBAccess.h"
#include "expect_raise.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using accesstest::ExpectMessage;
using litedataset::LiteDataSetFixture;

namespace {

using ProviderTest = LiteDataSetFixture;

rtl::TOwnedPtr<db::TParams> Positional(std::initializer_list<Variant> Values) {
    rtl::TOwnedPtr<db::TParams> params(rtl::Create<db::TParams>());
    for (const Variant& v : Values) {
        db::TParam* p = static_cast<db::TParam*>(params->Add());
        p->SetValue(v);
    }
    return params;
}

AnsiString NameOf(ProviderTest* T, int Id) {
    TCustomDADataSet* q = T->Query("SELECT name FROM sources WHERE id = " + std::to_string(Id));
    q->Open();
    return q->FieldByName("name")->AsString();
}

}  // namespace

TEST(ProviderStatements, QuestionMarksOutsideLiteralsAndCommentsAreNumbered) {
    struct Case {
        const char* sql;
        const char* expected;
        int count;
    };
    const Case cases[] = {
        {"UPDATE t SET a = ? WHERE b = ?", "UPDATE t SET a = :1 WHERE b = :2", 2},
        {"UPDATE t SET a = ? WHERE b = '?'", "UPDATE t SET a = :1 WHERE b = '?'", 1},
        {"UPDATE t SET a = 'it''s ?' WHERE b = ?", "UPDATE t SET a = 'it''s ?' WHERE b = :1", 1},
        {"SELECT \"?\" FROM t WHERE x = ? -- why?\r\n", "SELECT \"?\" FROM t WHERE x = :1 -- why?\r\n", 1},
        {"SELECT /* ? */ ?", "SELECT /* ? */ :1", 1},
        {"SELECT 1", "SELECT 1", 0},
    };
    for (const Case& c : cases) {
        int count = -1;
        EXPECT_EQ(NumberQuestionMarks(c.sql, store::TSQLParser::StaticClass(), count), c.expected) << c.sql;
        EXPECT_EQ(count, c.count) << c.sql;
    }
}

TEST_F(ProviderTest, ExecuteStatementTakesPositionalValuesAndLeavesLiteralsAlone) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    auto params = Positional({Variant(AnsiString("Renamed")), Variant(2)});
    const int rows =
        ds->ProviderExecuteStatement("UPDATE sources SET name = ? WHERE id = ? AND name <> '?'", params.get());
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(NameOf(this, 2), "Renamed");
    EXPECT_EQ(NameOf(this, 3), litedataset::A(u8"Архив 3"));

    // A result set belongs to the caller.
    TCustomDADataSet* result = nullptr;
    auto one = Positional({Variant(2)});
    ds->ProviderExecuteStatement("SELECT name FROM sources WHERE id = ?", one.get(), &result);
    ASSERT_NE(result, nullptr);
    rtl::TOwnedPtr<TCustomDADataSet> owned(result);
    ASSERT_TRUE(result->Active());
    EXPECT_EQ(result->FieldByName("name")->AsString(), "Renamed");
    // A failing statement hands nothing out.
    result = nullptr;
    EXPECT_THROW(ds->ProviderExecuteStatement("SELECT * FROM nowhere WHERE id = ?", one.get(), &result),
                 rtl::Exception);
    EXPECT_EQ(result, nullptr);
}

TEST_F(ProviderTest, TableKeyAndOrderForTheProvider) {
    // KeyFields answer without a connection or a statement.
    rtl::TOwnedPtr<TCustomDADataSet> loose(rtl::Create<TCustomDADataSet>(nullptr));
    loose->SetKeyFields("id;kind");
    EXPECT_EQ(loose->ProviderKeyFields(), "id;kind");
    loose->SetSQL("SELECT * FROM sources s WHERE kind = 1");
    EXPECT_EQ(loose->ProviderTableName(), "sources");
    loose->SetUpdatingTable("organisations");
    EXPECT_EQ(loose->ProviderTableName(), "organisations");

    // Closed: the key comes from the table the statement reads; the dataset stays closed.
    Conn->ExecSQL("CREATE TABLE shelves (code TEXT PRIMARY KEY, title TEXT)");
    TCustomDADataSet* shelves = Query("SELECT title, code FROM shelves");
    EXPECT_EQ(shelves->ProviderKeyFields(), "code");
    EXPECT_FALSE(shelves->Active());

    TCustomDADataSet* ds = Query("SELECT id, name, kind FROM sources ORDER BY kind DESC, 2");
    ds->Open();
    EXPECT_EQ(ds->ProviderTableName(), "sources");
    TProviderIndexDef index;
    ASSERT_TRUE(ds->ProviderDefaultOrder(index));
    EXPECT_EQ(index.Fields, "kind;name");
    EXPECT_EQ(index.DescFields, "kind");
    ds->Close();
    ds->SetSQL("SELECT * FROM sources");
    EXPECT_FALSE(ds->ProviderDefaultOrder(index));
    EXPECT_EQ(ds->ProviderQuoteChar(), "\"");
}

TEST_F(ProviderTest, CommandTextParamsAndReset) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources WHERE kind = :kind AND id > :id");
    ds->PSSetCommandText("");
    EXPECT_EQ(ds->SQL(), "SELECT * FROM sources WHERE kind = :kind AND id > :id");

    // Fewer parameters go by name, else by position.
    rtl::TOwnedPtr<db::TParams> some(rtl::Create<db::TParams>());
    some->CreateParam(db::ftInteger, "ID", db::ptInput)->SetValue(Variant(3));
    ds->PSSetParams(some.get());
    EXPECT_TRUE(ds->ParamByName("kind")->IsNull());
    EXPECT_EQ(ds->ParamByName("id")->AsInteger(), 3);
    auto unnamed = Positional({Variant(7)});
    ds->PSSetParams(unnamed.get());
    EXPECT_EQ(ds->Params()->Items(0)->AsInteger(), 7);
    EXPECT_EQ(ds->Params()->Items(1)->AsInteger(), 3);

    ds->ParamByName("kind")->SetValue(Variant(1));
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{5}));
    Conn->ExecSQL("UPDATE sources SET kind = 1 WHERE id = 4");
    ds->ProviderReset();
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(Ids(ds), (std::vector<int>{4, 5}));
}

TEST_F(ProviderTest, TransactionsAndRecordUpdates) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    EXPECT_FALSE(ds->ProviderInTransaction());
    ds->PSStartTransaction();
    EXPECT_TRUE(ds->ProviderInTransaction());
    auto params = Positional({Variant(AnsiString("temporary"))});
    ds->ProviderExecuteStatement("UPDATE sources SET name = ? WHERE id = 1", params.get());
    ds->ProviderEndTransaction(false);
    EXPECT_FALSE(ds->ProviderInTransaction());
    EXPECT_EQ(NameOf(this, 1), litedataset::A(u8"Архив 1"));

    EXPECT_FALSE(ds->PSUpdateRecord(db::ukModify, ds));
    db::TDataSet* seen = nullptr;
    ds->OnUpdateRecord = [&](db::TDataSet* Delta, db::TUpdateKind Kind, db::TUpdateAction& Action) {
        seen = Delta;
        EXPECT_EQ(Kind, db::ukDelete);
        EXPECT_EQ(Action, db::uaFail);
        Action = db::uaApplied;
    };
    EXPECT_TRUE(ds->PSUpdateRecord(db::ukDelete, ds));
    EXPECT_EQ(seen, ds);
}

TEST_F(ProviderTest, ACopyCarriesSettingsParametersAndMacros) {
    TCustomDADataSet* source = Query("SELECT * FROM sources WHERE kind = :kind &extra");
    source->ParamByName("kind")->SetValue(Variant(1));
    source->MacroByName("extra")->SetValue("AND id > 1");
    source->SetDebug(true);
    source->SetFetchRows(7);
    source->SetKeyFields("id");
    source->SetUpdatingTable("sources");
    source->SetFilterSQL("id < 5");
    source->SetAutoCommit(false);

    rtl::TOwnedPtr<TCustomDADataSet> copy(rtl::Create<TCustomDADataSet>(nullptr));
    copy->Assign(source);
    EXPECT_EQ(copy->Connection(), Conn.get());
    EXPECT_EQ(copy->SQL(), source->SQL());
    EXPECT_EQ(copy->ParamByName("kind")->AsInteger(), 1);
    EXPECT_EQ(copy->MacroByName("extra")->Value(), "AND id > 1");
    EXPECT_TRUE(copy->Debug());
    EXPECT_EQ(copy->FetchRows(), 7);
    EXPECT_EQ(copy->KeyFields(), "id");
    EXPECT_EQ(copy->UpdatingTable(), "sources");
    EXPECT_EQ(copy->FilterSQL(), "id < 5");
    EXPECT_FALSE(copy->AutoCommit());
    copy->Open();
    EXPECT_EQ(Ids(copy.get()), (std::vector<int>{3}));
}

TEST_F(ProviderTest, FormPropertiesAreWrittenAndReadBack) {
    TCustomDADataSet* source = Query("SELECT * FROM sources WHERE kind = :kind AND name <> :name &extra");
    source->ParamByName("kind")->SetValue(Variant(1));
    source->MacroByName("extra")->SetValue("ORDER BY id");
    source->MacroByName("extra")->SetActive(false);

    const std::vector<TFormProperty> written = source->WriteFormProperties();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].Name, "ParamData");
    EXPECT_EQ(written[0].Items.size(), 2u);
    EXPECT_EQ(written[1].Name, "MacroData");

    rtl::TOwnedPtr<TCustomDADataSet> read(rtl::Create<TCustomDADataSet>(nullptr));
    read->SetSQL(source->SQL());
    for (const TFormProperty& p : written) read->ReadFormProperty(p);
    EXPECT_TRUE(read->Params()->IsEqual(source->Params()));
    EXPECT_TRUE(read->Macros()->IsEqual(source->Macros()));
    EXPECT_EQ(read->ParamByName("kind")->AsInteger(), 1);
    EXPECT_FALSE(read->MacroByName("extra")->Active());

    // Equal to the ancestor: nothing to write; a dataset with nothing writes nothing.
    EXPECT_TRUE(read->WriteFormProperties(source).empty());
    rtl::TOwnedPtr<TCustomDADataSet> empty(rtl::Create<TCustomDADataSet>(nullptr));
    EXPECT_TRUE(empty->WriteFormProperties().empty());

    // A bad item changes nothing.
    TFormProperty bad{"MacroData", {{{"Colour", Variant(1)}}}, {}};
    ExpectMessage([&] { read->ReadFormProperty(bad); }, "Invalid property value");
    EXPECT_EQ(read->Macros()->Count(), 1);
    ExpectMessage([&] { read->ReadFormProperty({"Unknown", {}, Variant(1)}); }, "Invalid property value");
}
