// The query dataset over SQLite files: open and fetch, master/detail on the server and in memory,
// FilterSQL, macros, record counts, refresh, default expressions, options and Execute.
#include <gtest/gtest.h>

#include "data/access/DBAccess.h"
#include "expect_raise.h"
#include "framework/db/DB.h"
#include "framework/rtl/SysUtils.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using accesstest::ExpectMessage;
using litedataset::A;
using litedataset::LiteDataSetFixture;

namespace {

using DataSetTest = LiteDataSetFixture;

// The text with every run of blanks and line breaks made one space.
AnsiString Flat(const AnsiString& SQL) {
    AnsiString out;
    for (char c : SQL) {
        const bool blank = static_cast<unsigned char>(c) <= ' ';
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

TEST_F(DataSetTest, OpensFetchesEveryRowAndReleasesTheConnectionItHeld) {
    TCustomDADataSet* ds = Query("SELECT id, name, kind FROM sources ORDER BY id");
    ds->Open();
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(ds->RecordCount(), 5);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 2, 3, 4, 5}));
    ds->First();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), A(u8"Архив 1"));
    // Every row is in memory: no operation holds the connection any longer.
    EXPECT_EQ(Conn->ConnectCount(), 0);
    ds->Close();
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, DescribesItsStoreFields) {
    TCustomDADataSet* ds = Query("SELECT id, name FROM sources");
    ExpectMessage([&] { ds->GetDataType(u"id"); }, "Field id not found");
    EXPECT_EQ(ds->GetFieldDesc(1), nullptr);
    ds->Open();
    EXPECT_EQ(ds->GetDataType(u"name"), ds->GetFieldDesc(2)->DataType);
    EXPECT_EQ(ds->GetFieldDesc(0), nullptr);
    EXPECT_EQ(ds->GetFieldDesc(3), nullptr);
    ExpectMessage([&] { ds->GetDataType(u"kind"); }, "Field kind not found");
}

TEST_F(DataSetTest, OpenWithoutConnectionIsRefused) {
    rtl::TOwnedPtr<TCustomDADataSet> ds(rtl::Create<TCustomDADataSet>(nullptr));
    ds->SetSQL("SELECT * FROM sources");
    ExpectMessage([&] { ds->Open(); }, SConnectionNotDefined);
}

TEST_F(DataSetTest, AFreedConnectionLeavesItsDatasetsClosedAndWithoutIt) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    TCustomDADataSet* partial = Query("SELECT * FROM sources", false);
    partial->SetFetchRows(1);
    ds->Open();
    partial->Open();
    Conn.reset();
    EXPECT_FALSE(ds->Active());
    EXPECT_FALSE(partial->Active());
    EXPECT_EQ(ds->Connection(), nullptr);
    ExpectMessage([&] { ds->Open(); }, SConnectionNotDefined);
}

TEST_F(DataSetTest, DetailFollowsItsMasterThroughAServerCondition) {
    TCustomDADataSet* master = Query("SELECT * FROM sources ORDER BY id");
    rtl::TOwnedPtr<TCRDataSource> src(rtl::Create<TCRDataSource>(nullptr));
    src->SetDataSet(master);
    TCustomDADataSet* detail = Query("SELECT * FROM organisations");
    detail->SetMasterSource(src.get());
    detail->SetMasterFields(u"id");
    detail->SetDetailFields(u"source_id");
    EXPECT_EQ(Flat(detail->GetFinalSQL()), "SELECT * FROM organisations WHERE source_id = :id");
    ASSERT_NE(detail->Params()->FindParam("id"), nullptr);

    master->Open();
    detail->Open();
    EXPECT_EQ(Ids(detail, "source_id"), (std::vector<int>{1, 1}));
    master->Next();
    EXPECT_EQ(Ids(detail, "source_id"), (std::vector<int>{2, 2, 2}));
    master->Next();
    EXPECT_TRUE(detail->IsEmpty());
    master->First();
    EXPECT_EQ(detail->RecordCount(), 2);
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, OnlyThePairsBothListsNameJoinTheCondition) {
    TCustomDADataSet* master = Query("SELECT * FROM sources");
    rtl::TOwnedPtr<TCRDataSource> src(rtl::Create<TCRDataSource>(nullptr));
    src->SetDataSet(master);
    TCustomDADataSet* detail = Query("SELECT * FROM organisations WHERE title <> ''");
    detail->SetMasterSource(src.get());
    detail->SetMasterFields(u"id;kind");
    detail->SetDetailFields(u"source_id");
    EXPECT_EQ(Flat(detail->GetFinalSQL()), "SELECT * FROM organisations WHERE (title <> '') AND source_id = :id");
}

TEST_F(DataSetTest, LocalMasterDetailFiltersFetchedRowsWithoutNewSQL) {
    TCustomDADataSet* master = Query("SELECT * FROM sources ORDER BY id");
    rtl::TOwnedPtr<TCRDataSource> src(rtl::Create<TCRDataSource>(nullptr));
    src->SetDataSet(master);
    TCustomDADataSet* detail = Query("SELECT * FROM organisations");
    detail->Options()->SetLocalMasterDetail(true);
    detail->SetMasterSource(src.get());
    detail->SetMasterFields(u"id");
    detail->SetDetailFields(u"source_id");
    EXPECT_EQ(Flat(detail->GetFinalSQL()), "SELECT * FROM organisations");
    EXPECT_EQ(detail->Params()->Count(), 0);
    master->Open();
    detail->Open();
    EXPECT_EQ(Ids(detail, "source_id"), (std::vector<int>{1, 1}));
    master->Next();
    EXPECT_EQ(Ids(detail, "source_id"), (std::vector<int>{2, 2, 2}));
    master->Next();
    EXPECT_TRUE(detail->IsEmpty());
}

TEST_F(DataSetTest, FilterSQLJoinsTheQueryConditionAndReopens) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources WHERE kind = 1 ORDER BY id");
    int opens = 0;
    ds->AfterOpen = [&](db::TDataSet*) { ++opens; };

    // Closed: only the text changes.
    ds->SetFilterSQL("  id > 1  ");
    EXPECT_EQ(ds->FilterSQL(), "id > 1");
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(Flat(ds->GetFinalSQL()), "SELECT * FROM sources WHERE (kind = 1) AND id > 1 ORDER BY id");
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{3, 5}));

    // Open: the same text does nothing, a new one reopens, an empty one clears.
    ds->SetFilterSQL("id > 1 ");
    EXPECT_EQ(opens, 1);
    ds->SetFilterSQL("id < 4");
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3}));
    ds->SetFilterSQL("");
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3, 5}));
}

TEST_F(DataSetTest, FailingFilterSQLLeavesTheOldConditionAndTheDatasetClosed) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetFilterSQL("id >= :low");
    ds->ParamByName("low")->SetValue(Variant(4));
    ds->Open();
    EXPECT_THROW(ds->SetFilterSQL("no_such_column = 1"), rtl::Exception);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->FilterSQL(), "id >= :low");
    // Nothing of the failed text is left: its parameters went with it and the old one kept its value.
    ASSERT_EQ(ds->Params()->Count(), 1);
    EXPECT_EQ(ds->Params()->Items(0)->Value().AsInteger(), 4);
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{4, 5}));
    EXPECT_EQ(Conn->ConnectCount(), 0);

    // Closed: the text is only stored, and the next open reports it.
    ds->Close();
    ds->SetFilterSQL("no_such_column = 1");
    EXPECT_EQ(ds->FilterSQL(), "no_such_column = 1");
    EXPECT_THROW(ds->Open(), rtl::Exception);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, MacrosAreExpandedAtOpenAndAChangeClosesTheDataset) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources WHERE id IN (&ids) ORDER BY id");
    ds->MacroByName("ids")->SetValue("1,3");
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3}));
    ds->MacroByName("ids")->SetValue("2,4,5");
    EXPECT_FALSE(ds->Active());
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{2, 4, 5}));
}

TEST_F(DataSetTest, RecordCountFollowsFetchAllAndQueryRecCount) {
    struct Case {
        bool FetchAll;
        bool QueryRecCount;
        int Expected;
    };
    for (const Case& c : {Case{true, false, 5}, Case{false, false, 2}, Case{false, true, 5}, Case{true, true, 5}}) {
        SCOPED_TRACE(std::to_string(c.FetchAll) + "/" + std::to_string(c.QueryRecCount));
        TCustomDADataSet* ds = Query("SELECT * FROM sources", c.FetchAll);
        ds->SetFetchRows(2);
        ds->Options()->SetQueryRecCount(c.QueryRecCount);
        ds->Open();
        EXPECT_EQ(ds->RecordCount(), c.Expected);
        if (c.QueryRecCount) {
            // Rows posted or deleted before the fetch ends correct the server's count.
            ds->Append();
            ds->FieldByName("id")->SetAsInteger(100);
            ds->Post();
            EXPECT_EQ(ds->RecordCount(), c.Expected + 1);
            ds->Delete();
            EXPECT_EQ(ds->RecordCount(), c.Expected);
        }
        // Reading to the end leaves every count at the number of rows.
        EXPECT_EQ(Ids(ds).size(), 5u);
        EXPECT_EQ(ds->RecordCount(), 5);
        ds->Close();
        EXPECT_EQ(Conn->ConnectCount(), 0);
    }
}

TEST_F(DataSetTest, RefreshReadsNewRowsAndKeepsTheCurrentOne) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    ASSERT_TRUE(ds->Locate(u"id", Variant(3), {}));
    Conn->ExecSQL("INSERT INTO sources (id, name) VALUES (0, 'new')");
    ds->Refresh();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(ds->RecordCount(), 6);
    EXPECT_EQ(ds->RowsAffected(), -1);
    // A row that went away leaves the cursor on the first one.
    Conn->ExecSQL("DELETE FROM sources WHERE id = 3");
    ds->Refresh();
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 0);
}

TEST_F(DataSetTest, DefaultExpressionsFillANewRecord) {
    rtl::TScopedFormatSettings russian;
    TCustomDADataSet* ds = Query("SELECT id, name, kind, 0.0 AS share FROM sources");
    ds->Open();
    ds->FieldByName("share")->SetDefaultExpression("((12.5))");
    ds->FieldByName("name")->SetDefaultExpression("'it''s'");
    ds->FieldByName("kind")->SetDefaultExpression("1 + 41");
    ds->Append();
    EXPECT_DOUBLE_EQ(ds->FieldByName("share")->AsFloat(), 12.5);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "it's");
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 42);
    ds->Cancel();
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, EditsAreWrittenBackUnlessReadOnly) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->SetReadOnly(true);
    ds->Open();
    EXPECT_FALSE(ds->CanModify());
    EXPECT_THROW(ds->Edit(), db::EDatabaseError);

    ds->SetReadOnly(false);
    EXPECT_TRUE(ds->CanModify());
    ds->Edit();
    ds->FieldByName("name")->SetAsString("changed");
    ds->Post();
    ds->Close();
    ds->Open();
    EXPECT_EQ(ds->FieldByName("name")->AsString(), "changed");
}

TEST_F(DataSetTest, OptionsThatShapeTheFieldsAreRefusedOnAnOpenDataset) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    ds->Open();
    const std::vector<std::function<void()>> setters = {
        [&] { ds->Options()->SetLongStrings(false); },
        [&] { ds->Options()->SetFlatBuffers(true); },
        [&] { ds->Options()->SetLocalMasterDetail(true); },
        [&] { ds->Options()->SetCompressBlobMode(cbClient); },
        [&] { ds->Options()->SetExtendedFieldsInfo(true); },
        [&] { ds->SetFetchRows(10); },
        [&] { ds->SetUniDirectional(true); },
    };
    for (size_t i = 0; i < setters.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectMessage(setters[i], db::msg::SDataSetOpen);
    }
    // The unchanged value is no change.
    ds->Options()->SetLongStrings(true);
    EXPECT_TRUE(ds->Active());
}

TEST_F(DataSetTest, FetchSettingsCheckRangesAndExcludeEachOther) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources", false);
    ExpectMessage([&] { ds->SetFetchRows(0); }, SInvalidFetchRows);
    ExpectMessage([&] { ds->SetFetchRows(65536); }, SInvalidFetchRows);
    ds->SetFetchRows(65535);
    ds->SetUniDirectional(true);
    ds->SetFetchAll(true);
    EXPECT_FALSE(ds->UniDirectional());
    ds->SetUniDirectional(true);
    EXPECT_FALSE(ds->GetFetchAll());
}

TEST_F(DataSetTest, ExecuteOfAStatementSetsRowsAffectedAndLastInsertId) {
    TCustomDADataSet* ds = Query("INSERT INTO sources (name, kind) VALUES (:name, :kind)");
    ds->ParamByName("name")->SetValue(Variant(A(u8"Новый")));
    ds->ParamByName("kind")->SetValue(Variant(7));
    ds->Execute();
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->RowsAffected(), 1);
    EXPECT_EQ(ds->LastInsertId(), 6);
    EXPECT_EQ(Conn->ConnectCount(), 0);

    TCustomDADataSet* check = Query("SELECT name FROM sources WHERE kind = 7");
    check->Execute();
    EXPECT_TRUE(check->Active());
    EXPECT_EQ(check->FieldByName("name")->AsString(), A(u8"Новый"));

    TCustomDADataSet* bad = Query("UPDATE no_such_table SET x = 1");
    EXPECT_THROW(bad->Execute(), rtl::Exception);
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, APreparedDatasetHoldsTheConnectionUntilUnprepared) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources WHERE kind = :kind");
    ds->ParamByName("kind")->SetValue(Variant(1));
    ds->Prepare();
    EXPECT_TRUE(ds->Prepared());
    EXPECT_EQ(Conn->ConnectCount(), 1);
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 3);
    ds->Close();
    ds->ParamByName("kind")->SetValue(Variant(0));
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 2);
    ds->UnPrepare();
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(Conn->ConnectCount(), 0);
    ds->Options()->SetAutoPrepare(true);
    ds->Open();
    EXPECT_TRUE(ds->Prepared());
    ds->Options()->SetAutoPrepare(false);
    EXPECT_FALSE(ds->Prepared());
    EXPECT_EQ(Conn->ConnectCount(), 0);
}

TEST_F(DataSetTest, DisconnectedModeHoldsTheConnectionOnlyForAnOperation) {
    Conn->Disconnect();
    Conn->Options()->SetDisconnectedMode(true);
    TCustomDADataSet* ds = Query("SELECT * FROM sources");
    ds->Open();
    EXPECT_FALSE(Conn->Connected());
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(ds->RecordCount(), 5);
    // A disconnect in this mode leaves the fetched rows in place.
    ds->Close();
    TCustomDADataSet* ins = Query("INSERT INTO sources (name) VALUES ('x')");
    ins->Execute();
    EXPECT_FALSE(Conn->Connected());
    EXPECT_EQ(ins->RowsAffected(), 1);

    // Without a fetch finished the open keeps the connection until the last row arrives.
    TCustomDADataSet* partial = Query("SELECT * FROM sources", false);
    partial->SetFetchRows(2);
    partial->Open();
    EXPECT_TRUE(Conn->Connected());
    EXPECT_EQ(Ids(partial).size(), 6u);
    EXPECT_FALSE(Conn->Connected());
}

}  // namespace

TEST_F(DataSetTest, ParameterNamesAreCaseless) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources WHERE id = :id OR id = :ID + 2 OR id = :Id + 9 ORDER BY id");
    ASSERT_EQ(ds->Params()->Count(), 1);
    ds->ParamByName("iD")->SetValue(Variant(1));
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{1, 3}));
    // Executed, the statement binds the value at every place too.
    Conn->ExecSQL("UPDATE sources SET kind = :k WHERE id IN (:K, :k + 1)", {Variant(4)});
    TCustomDADataSet* check = Query("SELECT * FROM sources WHERE kind = 4 ORDER BY id");
    check->Open();
    EXPECT_EQ(Ids(check), (std::vector<int>{4, 5}));
}
