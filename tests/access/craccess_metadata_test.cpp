// The metadata reader's result stores, the simple loader and the alerter base.
#include <gtest/gtest.h>

#include "expect_raise.h"
#include "tests/support/fake_provider.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;

namespace {

using accesstest::ExpectAssertion;
using accesstest::ExpectMessage;

// Every row of a result store, each value as text (null as "<null>").
std::vector<std::vector<AnsiString>> RowsOf(TData* data) {
    std::vector<std::vector<AnsiString>> rows;
    void* buf = data->AllocRecBuf();
    data->SetToBegin();
    for (;;) {
        data->GetNextRecord(buf);
        if (data->GetEof()) break;
        std::vector<AnsiString> row;
        for (int f = 1; f <= data->FieldCount(); ++f) {
            Variant v = data->GetFieldValue(f, buf);
            row.push_back(v.IsNull() ? AnsiString("<null>") : v.AsAnsiString());
        }
        rows.push_back(row);
    }
    data->FreeRecBuf(buf);
    return rows;
}

struct MetaDataFixture : ::testing::Test {
    rtl::TOwnedPtr<fake::TFakeConnection> Conn{fake::CreateConnectedConnection()};
    rtl::TOwnedPtr<fake::TFakeMetaData> Meta{rtl::Create<fake::TFakeMetaData>()};
    rtl::TOwnedPtr<rtl::TStringList> Restrictions{rtl::Create<rtl::TStringList>()};

    TData* Get(const AnsiString& kind) {
        return Meta->GetMetaDataFor(Conn.get(), Conn->GetInternalTransaction(), kind, Restrictions.get());
    }
};

}  // namespace

TEST_F(MetaDataFixture, CatalogueRecordSetIsSetUpForCatalogueQueries) {
    TCRRecordSet* rs = Meta->RecordSet();
    EXPECT_FALSE(rs->MapRules()->Enabled());
    EXPECT_TRUE(rs->FetchAllFlag());
    EXPECT_FALSE(rs->FlatBuffers());
    EXPECT_FALSE(Meta->MemData()->CreatesOwnFields());
}

TEST_F(MetaDataFixture, KindIsTrimmedAndCaseInsensitive) {
    Meta->Tables = {"sources", "contacts"};
    TData* data = Get("  Tables ");
    ASSERT_EQ(data->FieldCount(), 4);
    EXPECT_EQ(RowsOf(data), (std::vector<std::vector<AnsiString>>{{"<null>", "<null>", "sources", "TABLE"},
                                                                  {"<null>", "<null>", "contacts", "TABLE"}}));
}

TEST_F(MetaDataFixture, MetaDataKindsInTheirOrder) {
    for (const char* kind : {"MetaDataKinds", ""}) {
        auto rows = RowsOf(Get(kind));
        ASSERT_EQ(rows.size(), 9u);
        EXPECT_EQ(rows[0][0], "MetaDataKinds");
        EXPECT_EQ(rows[5][0], "ProcedureParameters");
        EXPECT_EQ(rows[8][0], "Constraints");
    }
}

TEST_F(MetaDataFixture, RestrictionsByEitherNameOfTheKind) {
    Restrictions->SetValues("METADATA_NAME", "Tables");
    auto rows = RowsOf(Get("restrictions"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<AnsiString>{"tables", "TABLE_CATALOG"}));
    EXPECT_EQ(rows[3], (std::vector<AnsiString>{"tables", "TABLE_TYPE"}));

    Restrictions->Clear();
    Restrictions->SetValues("METAINFO_NAME", " constraints ");
    rows = RowsOf(Get("Restrictions"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[4], (std::vector<AnsiString>{"constraints", "CONSTRAINT_TYPE"}));

    Restrictions->Clear();
    Restrictions->SetValues("METADATA_NAME", "MetaDataKinds");
    EXPECT_TRUE(RowsOf(Get("restrictions")).empty());

    Restrictions->Clear();
    rows = RowsOf(Get("restrictions"));
    EXPECT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows[0], (std::vector<AnsiString>{"restrictions", "METADATA_NAME"}));
    EXPECT_EQ(rows[9][0], "procedures");
}

TEST_F(MetaDataFixture, UnsupportedKinds) {
    for (const char* kind : {"bogus", "databases", "datatypes", "users", "roles", "userdefinedtypes", "packages"})
        ExpectMessage([&] { Get(kind); }, "Unsupported metadata kind");
}

TEST_F(MetaDataFixture, ResultColumnsOfEachKind) {
    const std::pair<const char*, int> kinds[] = {
        {"tables", 4},  {"columns", 11},     {"procedures", 4}, {"procedureparameters", 10},
        {"indexes", 7}, {"indexcolumns", 9}, {"constraints", 8}};
    for (const auto& [kind, count] : kinds) EXPECT_EQ(Get(kind)->FieldCount(), count) << kind;

    TData* columns = Get("columns");
    TFieldDesc* def = columns->FieldByName(u"DEFAULT_VALUE");
    EXPECT_EQ(def->DataType, mdtMemo);
    EXPECT_EQ(def->Size, PointerSlotSize);
    EXPECT_EQ(def->FieldNo, 11);
    EXPECT_EQ(columns->FieldByName(u"TABLE_NAME")->Size, 101);
    EXPECT_EQ(columns->FieldByName(u"POSITION")->DataType, mdtInt32);

    // A memo value round-trips through the result buffer.
    Meta->MemDataHelper()->InitRecord();
    Meta->MemDataHelper()->SetFieldValue(4, "c");
    Meta->MemDataHelper()->SetFieldValue(11, "default text");
    Meta->MemDataHelper()->AppendRecord();
    auto rows = RowsOf(columns);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][10], "default text");
}

TEST(CRMetaDataHelpers, ParseRestrictions) {
    const std::vector<AnsiString> names{"TABLE", "VIEW", "SYSTEM TABLE"};
    const std::pair<const char*, std::vector<bool>> cases[] = {
        {"", {true, true, true}},         {"  ", {true, true, true}},
        {"table", {true, false, false}},  {" View , system table", {false, true, true}},
        {"other", {false, false, false}},
    };
    for (const auto& [text, flags] : cases) {
        std::vector<bool> got;
        TCRMetaData::ParseRestrictions(text, names, got);
        EXPECT_EQ(got, flags) << text;
    }
}

TEST_F(MetaDataFixture, AddWhereCondition) {
    struct Case {
        const char* where;
        bool addNull;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"", false, "t", "name = 't'"},
        {"a = 1", false, "\"My Table\"", "a = 1 AND name = 'My Table'"},
        {"a = 1", false, "", "a = 1"},
        {"a = 1", true, "", "a = 1 AND name IS NULL"},
        {"", false, "O'Brien", "name = 'O''Brien'"},
    };
    for (const Case& c : cases) {
        AnsiString where = c.where;
        Meta->AddWhereCondition(where, "name", c.addNull, c.value);
        EXPECT_EQ(where, c.expected) << c.value;
    }
}

// --- loader ---

namespace {

struct LoaderFixture : ::testing::Test {
    rtl::TOwnedPtr<fake::TFakeConnection> Conn{fake::CreateConnectedConnection()};
    rtl::TOwnedPtr<fake::TFakeLoader> Loader{rtl::Create<fake::TFakeLoader>()};

    void SetUp() override {
        Loader->SetConnection(Conn.get());
        Loader->SetTableName("t");
        Loader->AddColumn()->Name = "a";
        Loader->AddColumn()->Name = "b";
        Loader->Prepare();
    }
};

}  // namespace

TEST_F(LoaderFixture, PreparesAnInsertWithOneParameterPerColumn) {
    TCRCommand* cmd = Loader->Command();
    EXPECT_EQ(cmd->SQL(), "INSERT INTO t(a,b) VALUES (?,?)");
    EXPECT_EQ(cmd->NativeSQL(), cmd->SQL());
    EXPECT_TRUE(cmd->GetPrepared());
    ASSERT_EQ(cmd->ParamCount(), 2);
    EXPECT_EQ(cmd->Params(0)->GetParamType(), 1);

    rtl::TOwnedPtr<fake::TFakeLoader> quoted(rtl::Create<fake::TFakeLoader>());
    quoted->SetConnection(Conn.get());
    quoted->SetTableName("my table");
    quoted->AddColumn()->Name = "first name";
    quoted->Prepare();
    EXPECT_EQ(quoted->Command()->SQL(), "INSERT INTO \"my table\"(\"first name\") VALUES (?)");
}

TEST_F(LoaderFixture, RowsLoadWhenTheNextRowStartsAndFinishKeepsTheLastOne) {
    Loader->PutColumnData(0, 1, 10);
    Loader->PutColumnData(1, 1, "x");
    Loader->PutColumnData(0, 1, 11);  // the current row may be rewritten
    EXPECT_TRUE(Conn->Executed.empty());
    Loader->PutColumnData(0, 2, 20);
    ASSERT_EQ(Conn->ExecutedParams.size(), 1u);
    EXPECT_EQ(Conn->ExecutedParams[0][0].AsInteger(), 11);
    EXPECT_EQ(Conn->ExecutedParams[0][1].AsAnsiString(), "x");
    EXPECT_EQ(Loader->LoadedRows(), 1);
    Loader->PutColumnData(1, 2, "y");
    Loader->Finish();
    ASSERT_EQ(Conn->ExecutedParams.size(), 2u);
    EXPECT_EQ(Conn->ExecutedParams[1][0].AsInteger(), 20);
    EXPECT_EQ(Conn->ExecutedParams[1][1].AsAnsiString(), "y");
    EXPECT_EQ(Loader->LastRow(), -1);
    EXPECT_FALSE(Loader->Command()->GetPrepared());
    // Nothing pending: finishing again loads nothing.
    Loader->Finish();
    EXPECT_EQ(Conn->ExecutedParams.size(), 2u);
}

TEST_F(LoaderFixture, FlushLoadsOnlyWhatIsPending) {
    Loader->PutColumnData(0, 1, 1);
    Loader->FlushRows();
    Loader->FlushRows();
    EXPECT_EQ(Conn->Executed.size(), 1u);
}

TEST_F(LoaderFixture, BadRowsAndColumns) {
    ExpectMessage([&] { Loader->PutColumnData(0, 0, 1); }, "Invalid row number");
    ExpectMessage([&] { Loader->PutColumnData(0, 2, 1); }, "Invalid row number");
    Loader->PutColumnData(0, 1, 1);
    ExpectMessage([&] { Loader->PutColumnData(0, 3, 1); }, "Invalid row number");
    ExpectMessage([&] { Loader->PutColumnData(2, 1, 1); }, "Invalid column number");
    ExpectMessage([&] { Loader->PutColumnData(-1, 1, 1); }, "Invalid column number");
    EXPECT_TRUE(Conn->Executed.empty());

    rtl::TOwnedPtr<fake::TFakeLoader> unnamed(rtl::Create<fake::TFakeLoader>());
    unnamed->SetTableName("  ");
    ExpectMessage([&] { unnamed->Prepare(); }, "TableName must be defined");
    Variant v;
    ExpectAssertion([&] { unnamed->SetProp(pidAutoCommit, true); }, "5");
    ExpectAssertion([&] { unnamed->GetProp(pidAutoCommit, v); }, "5");
    ExpectAssertion([] { TCRLoader::GetRecordSetClass(); }, "Assertion failure");
    EXPECT_TRUE(unnamed->SkipReadOnlyFieldDescs());
}

TEST(CRLoader, FillColumnFromAFieldDescriptor) {
    rtl::TOwnedPtr<fake::TFakeLoader> loader(rtl::Create<fake::TFakeLoader>());
    TFieldDesc number, text;
    number.Name = u"amount";
    number.DataType = mdtFloat;
    number.Length = 15;
    number.Scale = 2;
    text.Name = u"title";
    text.DataType = mdtString;
    text.Length = 40;
    text.Size = 41;
    TCRLoaderColumn* a = loader->AddColumn();
    TCRLoaderColumn* b = loader->AddColumn();
    loader->FillColumn(a, &number);
    loader->FillColumn(b, &text);
    EXPECT_EQ(a->Name, "amount");
    EXPECT_EQ(a->Precision, 15);
    EXPECT_EQ(a->Scale, 2);
    EXPECT_EQ(a->Size, 0);
    EXPECT_EQ(b->Size, 40);
    EXPECT_EQ(b->DataSize, 41);
    EXPECT_EQ(b->Precision, 0);
}

// --- alerter ---

TEST(CRAlerter, DummyAlerterSupportsNoEvents) {
    rtl::TOwnedPtr<TCRDummyAlerter> alerter(rtl::Create<TCRDummyAlerter>());
    EXPECT_TRUE(alerter->SetProp(pidAutoCommit, false));
    EXPECT_FALSE(alerter->AutoCommit());
    Variant v;
    ExpectAssertion([&] { alerter->SetProp(pidFetchAll, true); }, "22");
    ExpectAssertion([&] { alerter->GetProp(pidAutoCommit, v); }, "5");
    const char* message = "Event notification is not supported by DBMS or provider";
    ExpectMessage([&] { alerter->EventOperation1("e", "m"); }, message);
    ExpectMessage([&] { alerter->EventOperation2(); }, message);
    ExpectMessage([&] { alerter->EventOperation3(); }, message);
    EXPECT_FALSE(alerter->IsActive());
}
