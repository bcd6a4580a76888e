// The universal query, SQL command and their companions: the FetchAll line, parameters by name
// and position, the scan without a provider, connection macros, large-object parameters,
// metadata and transactions.
#include <gtest/gtest.h>

#include "tests/components/uni_fixture.h"

namespace {

using namespace unitest;

class UniQueryTest : public UniFixture {};

TEST_F(UniQueryTest, TheFetchAllLineFetchesEveryRowAtOpen) {
    VUdeVizov* lazy = Query("SELECT * FROM sources", false);
    lazy->SetFetchRows(2);
    lazy->Open();
    EXPECT_FALSE(lazy->GetFetchAll());
    EXPECT_FALSE(lazy->FetchFinished());

    VUdeVizov* all = Query("SELECT * FROM sources");
    all->SetFetchRows(2);
    EXPECT_FALSE(all->GetFetchAll()) << "no record set yet";
    all->Open();
    EXPECT_TRUE(all->GetFetchAll());
    EXPECT_TRUE(all->FetchFinished());
    EXPECT_EQ(all->RecordCount(), 6);

    // The lines of an open query stay as they are.
    EXPECT_EQ(MessageOf([&] { all->SpecificOptions()->Clear(); }), "Cannot perform this operation on an open dataset");
    EXPECT_EQ(all->SpecificOptions()->Count(), 1);
    all->Close();
    all->SpecificOptions()->Clear();
    all->Open();
    EXPECT_FALSE(all->GetFetchAll()) << "a removed line counts from the next open";
}

TEST_F(UniQueryTest, AParameterUsedTwiceIsOneParameterAndPositionsFollowTheText) {
    VUdeVizov* twice = Query("SELECT * FROM sources WHERE id = :id OR number = :id + 2 ORDER BY id");
    ASSERT_EQ(twice->Params()->Count(), 1);
    twice->Params()->Items(0)->SetValue(Variant(1));
    twice->Open();
    EXPECT_EQ(Ids(twice), (std::vector<int>{1, 3}));

    VUdeVizov* three = Query("SELECT * FROM sources WHERE kind = :k AND curator_id = :c AND number > :n ORDER BY id");
    ASSERT_EQ(three->Params()->Count(), 3);
    three->Params()->Items(0)->SetValue(Variant(1));
    three->Params()->Items(1)->SetValue(Variant(8));
    three->Params()->Items(2)->SetValue(Variant(0));
    EXPECT_EQ(three->Params()->Items(1)->Name(), "c");
    three->Open();
    EXPECT_EQ(Ids(three), (std::vector<int>{4, 6}));
}

TEST_F(UniQueryTest, DescriptorsMapToParametersUntilTheCallerChangesTheCollection) {
    rtl::TOwnedPtr<TUniSQL> sql(rtl::Create<TUniSQL>(nullptr));
    sql->SetConnection(Conn.get());
    sql->SetSQL("INSERT INTO contacts (source_id, person) VALUES (:a, 'n' || :b || '-' || :a)");
    sql->Prepare();
    ASSERT_EQ(sql->Params()->Count(), 2);
    const std::vector<TUniParam*> mapped = sql->DescriptorMap();
    ASSERT_EQ(mapped.size(), 2u);
    EXPECT_EQ(mapped[0], sql->Params()->FindParam("a"));
    EXPECT_EQ(mapped[1], sql->Params()->FindParam("b"));

    // A parameter the caller adds clears the map; values still go to their names.
    auto* extra = static_cast<TUniParam*>(sql->Params()->Add());
    extra->SetName("unused");
    EXPECT_TRUE(sql->DescriptorMap().empty());
    sql->Params()->ParamByName("b")->SetValue(Variant(9));
    sql->Params()->ParamByName("a")->SetValue(Variant(4));
    sql->Execute();
    EXPECT_EQ(Column("SELECT source_id || ' ' || person FROM contacts"), std::vector<std::string>{"4 n9-4"});
}

TEST_F(UniQueryTest, WithoutAProviderParametersComeFromTheGenericLexer) {
    struct Case {
        const char* SQL;
        std::vector<AnsiString> Names;
    };
    const Case cases[] = {
        {"SELECT ':x', :p FROM t WHERE a = :p OR b = :\"my name\"", {"p", "my name"}},
        {"SELECT 1 /* :hidden */ FROM t WHERE a := 1 AND b = : c -- :gone", {}},
        {"SELECT :P1, :p1, :2, :@v FROM t", {"P1", "2", "@v"}},
    };
    rtl::TOwnedPtr<TUniConnection> bare(rtl::Create<TUniConnection>(nullptr));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.SQL);
        for (bool withConnection : {false, true}) {
            rtl::TOwnedPtr<VUdeVizov> q(rtl::Create<VUdeVizov>(nullptr));
            if (withConnection) q->SetConnection(bare.get());
            q->SetSQL(c.SQL);
            std::vector<AnsiString> names;
            for (int i = 0; i < q->Params()->Count(); ++i) names.push_back(q->Params()->Items(i)->Name());
            EXPECT_EQ(names, c.Names);
        }
    }
    // Values set before the provider is known survive the command's own description.
    rtl::TOwnedPtr<VUdeVizov> q(rtl::Create<VUdeVizov>(nullptr));
    q->SetSQL("SELECT * FROM sources WHERE id = :id");
    q->Params()->ParamByName("id")->SetValue(Variant(5));
    q->SetConnection(Conn.get());
    q->SpecificOptions()->Add("SQLite.FetchAll=True");
    q->Open();
    EXPECT_EQ(Ids(q.get()), std::vector<int>{5});
}

TEST_F(UniQueryTest, AConnectionMacroChangeReexpandsTheNextUse) {
    Conn->ExecSQL("CREATE TABLE log_a (x INTEGER)");
    Conn->ExecSQL("CREATE TABLE log_b (x INTEGER)");
    Conn->Macros()->Add("tbl", "sources");
    Conn->Macros()->Add("log", "log_a");
    VUdeVizov* q = Query("SELECT count(*) FROM {tbl}");
    q->Open();
    EXPECT_EQ(q->Fields()[0]->AsInteger(), 6);
    q->Close();
    Conn->Macros()->Items(0)->SetValue("contacts");
    q->Open();
    EXPECT_EQ(q->Fields()[0]->AsInteger(), 0);
    q->Close();

    // A statement prepared once is given its text again after the change.
    rtl::TOwnedPtr<TUniSQL> sql(rtl::Create<TUniSQL>(nullptr));
    sql->SetConnection(Conn.get());
    sql->SetSQL("INSERT INTO {log} (x) VALUES (:x)");
    sql->Prepare();
    sql->Params()->Items(0)->SetValue(Variant(1));
    sql->Execute();
    Conn->Macros()->Items(1)->SetValue("log_b");
    sql->Params()->Items(0)->SetValue(Variant(2));
    sql->Execute();
    EXPECT_EQ(Column("SELECT x FROM log_a"), std::vector<std::string>{"1"});
    EXPECT_EQ(Column("SELECT x FROM log_b"), std::vector<std::string>{"2"});

    // A macro that leads back to itself is refused, not expanded without end.
    Conn->Macros()->Items(0)->SetValue("{log}");
    Conn->Macros()->Items(1)->SetValue("{tbl}");
    EXPECT_THROW(q->Open(), rtl::Exception);
    EXPECT_FALSE(q->Active());
}

TEST_F(UniQueryTest, AMemoParameterReachesTheFileThroughTheProvidersBlob) {
    rtl::TOwnedPtr<TUniSQL> sql(rtl::Create<TUniSQL>(nullptr));
    sql->SetSQL("INSERT INTO contacts (source_id, person) VALUES (1, :p)");
    TUniParam* p = sql->Params()->Items(0);
    p->SetDataType(db::ftMemo);
    ASSERT_NE(dynamic_cast<TUniBlob*>(p->HeldObject()), nullptr);
    EXPECT_EQ(MessageOf([&] { (void)p->GetParamObject(); }), daccess::SConnectionNotDefined);

    sql->SetConnection(Conn.get());
    p = sql->Params()->Items(0);
    p->SetDataType(db::ftMemo);
    const AnsiString text = A(u8"Опись дел постоянного хранения, ") + std::string(5000, 'x');
    p->SetAsMemo(text);
    store::TSharedObject* native = p->GetParamObject();
    EXPECT_STREQ(native->ClassName(), "TCompressedBlob");
    EXPECT_EQ(p->GetParamObject(), native) << "asked again, the same object";
    sql->Execute();
    EXPECT_EQ(Scalar("SELECT person FROM contacts").AsAnsiString(), text);
}

TEST_F(UniQueryTest, AnUntypedResultParameterBecomesAnInteger) {
    rtl::TOwnedPtr<TUniSQL> sql(rtl::Create<TUniSQL>(nullptr));
    auto* first = static_cast<TUniParam*>(sql->Params()->Add());
    first->SetParamType(db::ptResult);
    first->SetDataType(db::ftString);
    auto* last = static_cast<TUniParam*>(sql->Params()->Add());
    last->SetParamType(db::ptResult);
    EXPECT_EQ(sql->FindResultParam(), last);
    EXPECT_EQ(last->DataType(), db::ftInteger);
    EXPECT_EQ(first->DataType(), db::ftString);
}

TEST_F(UniQueryTest, CursorColumnsGetTheCursorFieldAndOthersTheServicesClass) {
    VUdeVizov* q = Query("SELECT * FROM sources");
    q->Open();
    EXPECT_STREQ(q->FieldClassFor(db::ftCursor)->ClassName(), "TDACursorField");
    EXPECT_STREQ(q->FieldClassFor(db::ftInteger)->ClassName(), q->FieldByName("id")->ClassName());
    rtl::TOwnedPtr<daccess::TDACursorField> cursor(rtl::Create<daccess::TDACursorField>(nullptr));
    EXPECT_EQ(cursor->DataType(), db::ftCursor);
}

TEST_F(UniQueryTest, TheMetadataDatasetListsColumns) {
    rtl::TOwnedPtr<ZOroReruRure> meta(rtl::Create<ZOroReruRure>(nullptr));
    meta->SetConnection(Conn.get());
    meta->SetMetaDataKind("Columns");
    meta->Restrictions()->Add("TABLE_NAME=sources");
    meta->Open();
    std::vector<AnsiString> columns;
    for (meta->First(); !meta->Eof(); meta->Next()) columns.push_back(meta->FieldByName("COLUMN_NAME")->AsString());
    EXPECT_EQ(columns, (std::vector<AnsiString>{"id", "name", "kind", "curator_id", "number"}));

    rtl::TOwnedPtr<rtl::TStringList> names(rtl::Create<rtl::TStringList>());
    Conn->GetTableNames(names.get());
    EXPECT_GE(names->IndexOf("contacts"), 0);
}

TEST_F(UniQueryTest, TransactionsCheckTheyAreActive) {
    rtl::TOwnedPtr<TUniTransaction> tr(rtl::Create<TUniTransaction>(nullptr));
    EXPECT_EQ(MessageOf([&] { (void)tr->GetITransactionClass(); }), "Connection is not defined");
    tr->SetDefaultConnection(Conn.get());
    for (auto op : std::vector<std::function<void()>>{[&] { tr->Commit(); }, [&] { tr->Rollback(); },
                                                      [&] { tr->Savepoint("s"); }})
        EXPECT_EQ(MessageOf(op), "Can't perform operation on inactive transaction");

    Conn->Connect();
    Conn->StartTransaction();
    EXPECT_TRUE(Conn->InTransaction());
    Conn->ExecSQL("DELETE FROM contacts");
    Conn->ExecSQL("INSERT INTO contacts (source_id) VALUES (3)");
    Conn->Rollback();
    EXPECT_FALSE(Conn->InTransaction());
    EXPECT_EQ(Column("SELECT count(*) FROM contacts"), std::vector<std::string>{"0"});
}

}  // namespace
