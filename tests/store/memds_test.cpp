// The memory dataset over a record store: type map, open and field definitions, navigation and
// record numbers, bookmarks and calculated fields.
#include <gtest/gtest.h>

#include "tests/support/memds_fixture.h"

using namespace memdstest;
using namespace db;

namespace {

TEST(FieldTypeMap, CodesToFieldTypes) {
    struct Case {
        TMemDataType Code;
        TFieldType Type;
    };
    const Case cases[] = {
        {mdtUnknown, ftUnknown},
        {mdtString, ftString},
        {mdtExtString, ftString},
        {mdtInt8, ftSmallint},
        {mdtInt16, ftSmallint},
        {mdtUInt8, ftSmallint},
        {mdtInt32, ftInteger},
        {mdtFloat, ftFloat},
        {mdtDate, ftDate},
        {mdtTime, ftTime},
        {mdtDateTime, ftDateTime},
        {mdtUInt16, ftWord},
        {mdtBoolean, ftBoolean},
        {mdtInt64, ftLargeint},
        {mdtUInt32, ftLargeint},
        {mdtCurrency, ftCurrency},
        {mdtBlob, ftBlob},
        {mdtMemo, ftMemo},
        {mdtObject, ftADT},
        {mdtReference, ftReference},
        {mdtArray, ftArray},
        {mdtTable, ftDataSet},
        {mdtVariant, ftVariant},
        {mdtBytes, ftBytes},
        {mdtVarBytes, ftVarBytes},
        {mdtExtVarBytes, ftVarBytes},
        {mdtWideString, ftWideString},
        {mdtExtWideString, ftWideString},
        {mdtBCD, ftBCD},
        {mdtFmtBCD, ftFMTBcd},
        {mdtGuid, ftGuid},
        {mdtWideMemo, ftWideMemo},
        {mdtSQLTimeStamp, ftTimeStamp},
        {mdtCursor, ftCursor},
    };
    const TFieldTypeMap& map = TFieldTypeMap::Instance();
    for (const Case& c : cases) EXPECT_EQ(map.GetFieldType(c.Code), c.Type) << "code " << c.Code;
    for (TMemDataType bad : {TMemDataType(33), TMemDataType(35), TMemDataType(200)}) {
        try {
            map.GetFieldType(bad);
            ADD_FAILURE() << "code " << bad;
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), "Unknown data type");
            EXPECT_EQ(e.Unit(), "MemDS");
        }
    }
}

TEST(FieldTypeMap, FieldTypesToCodes) {
    struct Case {
        TFieldType Type;
        TMemDataType Code;
    };
    const Case cases[] = {
        {ftString, 1},      {ftFixedChar, 1}, {ftSmallint, 3},   {ftInteger, 4},     {ftAutoInc, 4},
        {ftWord, 9},        {ftBoolean, 10},  {ftFloat, 5},      {ftCurrency, 12},   {ftBCD, 27},
        {ftDate, 6},        {ftTime, 7},      {ftDateTime, 8},   {ftBytes, 21},      {ftVarBytes, 22},
        {ftBlob, 13},       {ftMemo, 14},     {ftCursor, 32},    {ftWideString, 25}, {ftFixedWideChar, 25},
        {ftLargeint, 11},   {ftADT, 15},      {ftArray, 17},     {ftReference, 16},  {ftDataSet, 18},
        {ftVariant, 19},    {ftGuid, 29},     {ftTimeStamp, 31}, {ftFMTBcd, 28},     {ftWideMemo, 30},
        {ftUnknown, 0},     {ftGraphic, 0},   {ftFmtMemo, 0},    {ftParadoxOle, 0},  {ftTypedBinary, 0},
        {ftOraBlob, 0},     {ftOraClob, 0},   {ftInterface, 0},  {ftIDispatch, 0},   {ftOraTimeStamp, 0},
        {ftOraInterval, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFieldTypeMap::Instance().GetDataType(c.Type), c.Code) << FieldTypeName(c.Type);
}

TEST(MemDataSet, OpensFetchedRowsWithDefinitionsAndDefaultFields) {
    TFixture fx({{u"id", mdtInt32, 4, 0, true},
                 {u"name", mdtString, 31, 30, false, true},
                 {u"price", mdtFloat, 8, 10, false, false, 2},
                 {u"born", mdtDate, 8},
                 {u"big", mdtUInt32, 4},
                 {u"note", mdtMemo, PointerSlotSize}},
                {{Variant(1), Variant(AnsiString("first")), Variant(1.5), Variant::FromDate(36526.0),
                  Variant(4000000000u), Variant(AnsiString("memo text"))},
                 {Variant(2), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}});
    fx.DS->Open();
    ASSERT_TRUE(fx.DS->Active());

    TFieldDefs& defs = fx.DS->FieldDefs();
    ASSERT_EQ(defs.Count(), 6);
    struct DefCase {
        const char16_t* Name;
        TFieldType Type;
        int Size;
        bool Required;
        bool ReadOnly;
    };
    const DefCase expect[] = {{u"id", ftInteger, 0, true, false},    {u"name", ftString, 30, false, true},
                              {u"price", ftFloat, 0, false, false},  {u"born", ftDate, 0, false, false},
                              {u"big", ftLargeint, 0, false, false}, {u"note", ftMemo, 0, false, false}};
    for (int i = 0; i < 6; ++i) {
        TFieldDef* d = defs[i];
        EXPECT_EQ(d->Name(), expect[i].Name);
        EXPECT_EQ(d->DataType(), expect[i].Type) << i;
        EXPECT_EQ(d->Size(), expect[i].Size) << i;
        EXPECT_EQ(d->FieldNo(), i + 1);
        EXPECT_EQ(d->Required(), expect[i].Required) << i;
        EXPECT_EQ(d->Attributes().Contains(faReadonly), expect[i].ReadOnly) << i;
    }
    EXPECT_EQ(defs[2]->Precision(), 10);

    EXPECT_EQ(fx.DS->FieldCount(), 6);
    EXPECT_STREQ(fx.F("name")->ClassName(), "TStringField");
    EXPECT_STREQ(fx.F("big")->ClassName(), "TLargeintField");
    EXPECT_EQ(fx.F("id")->AsInteger(), 1);
    EXPECT_EQ(fx.F("name")->AsString(), "first");
    EXPECT_DOUBLE_EQ(fx.F("price")->AsFloat(), 1.5);
    EXPECT_DOUBLE_EQ(fx.F("born")->AsDateTime(), 36526.0);
    EXPECT_EQ(fx.F("big")->AsLargeInt(), 4000000000LL);
    EXPECT_EQ(fx.F("note")->IsNull(), false);
    EXPECT_EQ(fx.DS->GetBlobOfField(fx.F("note"))->GetAsString(), "memo text");
    fx.DS->Next();
    EXPECT_EQ(fx.F("id")->AsInteger(), 2);
    for (const char* n : {"name", "price", "born", "big", "note"}) EXPECT_TRUE(fx.F(n)->IsNull()) << n;

    fx.DS->Close();
    EXPECT_EQ(fx.DS->FieldCount(), 0);
    EXPECT_EQ(fx.DS->RecordCount(), 0);
    // A second open fetches again into the same definitions.
    fx.DS->Open();
    EXPECT_EQ(fx.Store->Fetches, 2);
    EXPECT_EQ(fx.DS->RecordCount(), 2);
    EXPECT_EQ(fx.F("name")->AsString(), "first");
}

TEST(MemDataSet, ByteSlotsReadAndWriteAsSignedSmallints) {
    TFixture fx({{u"s", mdtInt8, 1}, {u"u", mdtUInt8, 1}},
                {{Variant(static_cast<int16_t>(-5)), Variant(static_cast<int16_t>(200))}});
    fx.DS->Open();
    EXPECT_EQ(fx.F("s")->AsInteger(), -5);
    EXPECT_EQ(fx.F("u")->AsInteger(), 200);
    fx.DS->Edit();
    fx.F("s")->SetAsInteger(-100);
    fx.F("u")->SetAsInteger(255);
    fx.DS->Post();
    EXPECT_EQ(fx.F("s")->AsInteger(), -100);
    EXPECT_EQ(fx.F("u")->AsInteger(), 255);
    EXPECT_EQ(fx.Store->Column(1)[0].AsInteger(), -100);
}

// The store keeps BCD as an 8-byte currency value: the field reads and writes it unchanged.
TEST(MemDataSet, BcdTravelsAsCurrency) {
    TFixture fx({{u"amount", mdtBCD, 8, 18, false, false, 4}}, {{Variant(rtl::Currency::FromScaled(123456))}});
    fx.DS->Open();
    TField* amount = fx.F("amount");
    EXPECT_STREQ(amount->ClassName(), "TBCDField");
    EXPECT_EQ(fx.DS->FieldDefs()[0]->Precision(), 18);
    EXPECT_EQ(fx.DS->FieldDefs()[0]->Size(), 4);
    EXPECT_EQ(amount->AsCurrency().Value, 123456);
    fx.DS->Edit();
    amount->SetAsCurrency(rtl::Currency::FromScaled(-25000));
    fx.DS->Post();
    EXPECT_EQ(amount->AsCurrency().Value, -25000);
    EXPECT_EQ(fx.Store->Column(1)[0].AsCurrency().Value, -25000);
}

TEST(MemDataSet, UnsupportedDescriptorTypeLeavesTheDataSetClosed) {
    TFixture fx({{u"id", mdtInt32, 4}, {u"odd", mdtUnknown, 4}}, {{Variant(1), Variant::Null()}});
    EXPECT_EQ(ErrorOf([&] { fx.DS->Open(); }), "Data type is not supported");
    EXPECT_FALSE(fx.DS->Active());
    EXPECT_FALSE(fx.Store->Active());
}

TEST(MemDataSet, MissingStoreIsAnAssertion) {
    rtl::TOwnedPtr<TMemDataSet> ds(rtl::Create<TMemDataSet>(nullptr));
    EXPECT_THROW(ds->Open(), rtl::EAssertionFailed);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->RecordCount(), 0);
    ds->Close();
    EXPECT_EQ(ds->CompareBookmarks("a", "b"), 0);
}

TEST(MemDataSet, NavigationByRecordNumber) {
    TFixture fx(PeopleCols(), PeopleRows(100));
    fx.DS->Open();
    EXPECT_EQ(fx.DS->RecordCount(), 100);
    EXPECT_EQ(fx.DS->RecNo(), 1);
    struct Step {
        int Target;
        int Id;
    };
    for (Step s : {Step{50, 500}, Step{100, 1000}, Step{1, 10}, Step{99, 990}, Step{2, 20}}) {
        fx.DS->SetRecNo(s.Target);
        EXPECT_EQ(fx.DS->RecNo(), s.Target);
        EXPECT_EQ(fx.F("id")->AsInteger(), s.Id);
    }
    fx.DS->Last();
    EXPECT_EQ(fx.DS->RecNo(), 100);
    EXPECT_TRUE(fx.DS->Eof());
    fx.DS->Prior();
    EXPECT_EQ(fx.DS->RecNo(), 99);
    int n = 0;
    for (fx.DS->First(); !fx.DS->Eof(); fx.DS->Next()) ++n;
    EXPECT_EQ(n, 100);
}

TEST(MemDataSet, EmptyStoreOpensEmpty) {
    TFixture fx(PeopleCols(), {});
    fx.DS->Open();
    EXPECT_TRUE(fx.DS->IsEmpty());
    EXPECT_TRUE(fx.DS->Bof());
    EXPECT_TRUE(fx.DS->Eof());
    EXPECT_EQ(fx.DS->RecNo(), 0);
    EXPECT_TRUE(fx.F("id")->IsNull());
    EXPECT_EQ(fx.DS->GetBookmark(), TBookmark());
}

TEST(MemDataSet, BookmarksFollowTheirRowsAndCompareByOrder) {
    TFixture fx(PeopleCols(), PeopleRows(10));
    fx.DS->Open();
    EXPECT_EQ(fx.DS->BookmarkSize(), static_cast<int>(sizeof(TRecBookmark)));
    std::vector<TBookmark> marks;
    for (int r : {3, 7, 1}) {
        fx.DS->SetRecNo(r);
        marks.push_back(fx.DS->GetBookmark());
    }
    struct Cmp {
        int A, B, Sign;
    };
    for (Cmp c : {Cmp{0, 1, -1}, Cmp{1, 0, 1}, Cmp{2, 0, -1}, Cmp{0, 0, 0}}) {
        int r = fx.DS->CompareBookmarks(marks[static_cast<size_t>(c.A)], marks[static_cast<size_t>(c.B)]);
        EXPECT_EQ((r > 0) - (r < 0), c.Sign) << c.A << " vs " << c.B;
    }
    // A missing bookmark orders after a present one.
    EXPECT_GT(fx.DS->CompareBookmarks(TBookmark(), marks[0]), 0);
    EXPECT_LT(fx.DS->CompareBookmarks(marks[0], TBookmark()), 0);

    fx.DS->GotoBookmark(marks[1]);
    EXPECT_EQ(fx.F("id")->AsInteger(), 70);
    EXPECT_TRUE(fx.DS->BookmarkValid(marks[1]));
    EXPECT_FALSE(fx.DS->BookmarkValid(TBookmark()));

    // A row inserted in front moves the bookmarked row's number, not the bookmark's row.
    fx.DS->First();
    fx.DS->Insert();
    fx.F("id")->SetAsInteger(5);
    fx.DS->Post();
    fx.DS->GotoBookmark(marks[1]);
    EXPECT_EQ(fx.F("id")->AsInteger(), 70);
    EXPECT_EQ(fx.DS->RecNo(), 8);
}

TEST(MemDataSet, BookmarkOfAnEarlierFillingGoesByNumber) {
    TFixture fx(PeopleCols(), PeopleRows(5));
    fx.DS->Open();
    fx.DS->SetRecNo(4);
    TBookmark mark = fx.DS->GetBookmark();
    fx.Store->SetRows({{Variant(1), Variant(AnsiString("a")), Variant::Null()},
                       {Variant(2), Variant(AnsiString("b")), Variant::Null()},
                       {Variant(3), Variant(AnsiString("c")), Variant::Null()},
                       {Variant(4), Variant(AnsiString("d")), Variant::Null()}});
    fx.DS->Refresh();
    EXPECT_EQ(fx.Store->Fetches, 2);
    EXPECT_TRUE(fx.DS->BookmarkValid(mark));
    fx.DS->GotoBookmark(mark);
    EXPECT_EQ(fx.F("name")->AsString(), "d");
}

// The row a bookmark named is gone: the bookmark is refused, never followed to a neighbour.
TEST(MemDataSet, BookmarkOfADeletedRowIsRefused) {
    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "cached" : "direct");
        TFixture fx(PeopleCols(), PeopleRows(5));
        fx.DS->SetCachedUpdates(cached);
        fx.DS->Open();
        fx.DS->SetRecNo(3);
        TBookmark gone = fx.DS->GetBookmark();
        fx.DS->Delete();
        EXPECT_EQ(fx.F("id")->AsInteger(), 40);
        EXPECT_FALSE(fx.DS->BookmarkValid(gone));
        fx.DS->First();
        EXPECT_EQ(ErrorOf([&] { fx.DS->GotoBookmark(gone); }), "Record not found");
        EXPECT_EQ(fx.F("id")->AsInteger(), 10);
        // Rows appended later reuse the freed memory; the old bookmark still names nothing.
        for (int i = 0; i < 3; ++i) {
            fx.DS->Append();
            fx.F("id")->SetAsInteger(100 + i);
            fx.DS->Post();
        }
        EXPECT_FALSE(fx.DS->BookmarkValid(gone));
    }
}

TEST(MemDataSet, CalculatedFieldsLiveInTheStore) {
    for (bool cache : {false, true}) {
        SCOPED_TRACE(cache ? "computed once" : "computed per fetch");
        TFixture fx(PeopleCols(), PeopleRows(3));
        TMemDataSet* ds = fx.DS.get();
        ds->SetCacheCalcFieldsOption(cache);
        auto* id = rtl::Create<TIntegerField>(ds);
        id->SetFieldName(u"id");
        id->SetDataSet(ds);
        auto* name = rtl::Create<TStringField>(ds);
        name->SetFieldName(u"name");
        name->SetSize(20);
        name->SetDataSet(ds);
        auto* label = rtl::Create<TStringField>(ds);
        label->SetFieldName(u"label");
        label->SetFieldKind(fkCalculated);
        label->SetSize(30);
        label->SetDataSet(ds);
        auto* twice = rtl::Create<TIntegerField>(ds);
        twice->SetFieldName(u"twice");
        twice->SetFieldKind(fkCalculated);
        twice->SetDataSet(ds);
        int calls = 0;
        ds->OnCalcFields = [&](TDataSet* d) {
            ++calls;
            d->FieldByName(std::string_view("label"))
                ->SetAsString(d->FieldByName(std::string_view("name"))->AsString() + "!");
            d->FieldByName(std::string_view("twice"))
                ->SetAsInteger(d->FieldByName(std::string_view("id"))->AsInteger() * 2);
        };
        ds->Open();

        TData* store = ds->IRecordSet();
        ASSERT_EQ(store->FieldCount(), 5);
        EXPECT_EQ(store->Fields()[3]->DescKind, cache ? fdkCalculated : fdkCalculatedArea);
        EXPECT_EQ(store->Fields()[3]->Name, u"label");
        if (cache) {
            EXPECT_EQ(store->CalcRecordSize(), 0);
            EXPECT_EQ(ds->RecInfoOffset(), store->RecordSize());
        } else {
            EXPECT_GT(store->CalcRecordSize(), 0);
            EXPECT_EQ(ds->RecInfoOffset(), store->RecordSize() + store->CalcRecordSize());
        }
        EXPECT_EQ(ds->BookmarkOffset(), ds->RecInfoOffset() + TMemDataSet::RecInfoSize);

        std::vector<std::string> labels;
        for (ds->First(); !ds->Eof(); ds->Next()) {
            labels.push_back(label->AsString());
            EXPECT_EQ(twice->AsInteger(), id->AsInteger() * 2);
        }
        EXPECT_EQ(labels, (std::vector<std::string>{"n1!", "n2!", "n3!"}));
        if (cache) {
            EXPECT_EQ(calls, 3);  // once per stored row, at open
        }

        // While editing, the calculated values follow the edited fields.
        ds->First();
        ds->Edit();
        name->SetAsString("x");
        EXPECT_EQ(label->AsString(), "x!");
        ds->Cancel();
        EXPECT_EQ(label->AsString(), "n1!");
        ds->Close();
    }
}

TEST(MemDataSet, LookupFieldsLiveInTheStore) {
    TFixture cities({{u"cid", mdtInt32, 4}, {u"city", mdtString, 21, 20}},
                    {{Variant(1), Variant(AnsiString("Tula"))}, {Variant(2), Variant(AnsiString("Orel"))}});
    cities.DS->Open();
    TFixture people({{u"id", mdtInt32, 4}, {u"cid", mdtInt32, 4}},
                    {{Variant(10), Variant(2)}, {Variant(20), Variant(1)}, {Variant(30), Variant(9)}});
    TMemDataSet* ds = people.DS.get();
    for (const char16_t* n : {u"id", u"cid"}) {
        auto* f = rtl::Create<TIntegerField>(ds);
        f->SetFieldName(n);
        f->SetDataSet(ds);
    }
    auto* city = rtl::Create<TStringField>(ds);
    city->SetFieldName(u"city");
    city->SetFieldKind(fkLookup);
    city->SetSize(20);
    city->SetLookupDataSet(cities.DS.get());
    city->SetKeyFields(u"cid");
    city->SetLookupKeyFields(u"cid");
    city->SetLookupResultField(u"city");
    city->SetDataSet(ds);
    ds->Open();
    EXPECT_EQ(ds->IRecordSet()->Fields()[2]->Name, u"city");
    EXPECT_EQ(ds->FieldDescOf(city), ds->IRecordSet()->Fields()[2]);
    std::vector<std::string> names;
    for (ds->First(); !ds->Eof(); ds->Next()) names.push_back(city->IsNull() ? "-" : city->AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"Orel", "Tula", "-"}));
    ds->Close();
    cities.DS->Close();
}

TEST(MemDataSet, FieldDescOfChecksItsArguments) {
    TFixture fx(PeopleCols(), PeopleRows(1));
    fx.DS->Open();
    EXPECT_EQ(fx.DS->FieldDescOf(fx.F("name")), fx.Store->Fields()[1]);
    EXPECT_EQ(fx.DS->FieldNoOfDesc(fx.F("qty")), 3);
    TFixture other(PeopleCols(), PeopleRows(1));
    other.DS->Open();
    struct Case {
        TField* Field;
        const char* Text;
    };
    for (Case c : {Case{nullptr, "Field cannot be nil"}, Case{other.F("id"), "Wrong DataSet"}}) {
        try {
            fx.DS->FieldDescOf(c.Field);
            ADD_FAILURE() << c.Text;
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), c.Text);
        }
    }
}

TEST(MemDataSet, FieldDefsWithoutOpening) {
    TFixture fx(PeopleCols(), PeopleRows(2));
    fx.DS->FieldDefs().Update();
    EXPECT_FALSE(fx.DS->Active());
    ASSERT_EQ(fx.DS->FieldDefs().Count(), 3);
    EXPECT_EQ(fx.DS->FieldDefs()[2]->DataType(), ftSmallint);
    EXPECT_EQ(fx.Store->Fetches, 0);
}

}  // namespace
