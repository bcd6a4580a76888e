// The dataset contract seen through the test dataset, its data sources and links.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "test_dataset.h"
#include "framework/rtl/Text.h"

using namespace db;
using namespace dbtest;

namespace {

AnsiString A(const char8_t* utf8) { return rtl::UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }
WideString W(const char8_t* utf8) { return rtl::UTF8ToWide(reinterpret_cast<const char*>(utf8)); }

template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<no error>";
}

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Owner.reset(rtl::Create<rtl::TComponent>(nullptr));
        DS = rtl::Create<TTestDataSet>(Owner.get());
        DS->SetName("People");
        DS->AddDef(u"id", ftInteger);
        DS->AddDef(u"name", ftString, 20);
        for (int i = 1; i <= 10; ++i) DS->AddRow({Variant(i), Variant("n" + std::to_string(i))});
        Src = rtl::Create<TDataSource>(Owner.get());
        Src->SetDataSet(DS);
    }

    int CurrentId() const { return DS->FieldByName(u"id")->AsInteger(); }

    // The ids of the records the link's window shows, top to bottom.
    std::vector<int> Window(TTestLink& link) const {
        int saved = link.ActiveRecord();
        std::vector<int> ids;
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.SetActiveRecord(i);
            TField* f = DS->FieldByName(u"id");
            ids.push_back(f->IsNull() ? 0 : f->AsInteger());
        }
        link.SetActiveRecord(saved);
        return ids;
    }

    std::vector<int> StoreIds() const {
        std::vector<int> ids;
        for (int i = 0; i < DS->StoreCount(); ++i) ids.push_back(DS->StoredValue(i, 0).AsInteger());
        return ids;
    }

    TTestFieldClasses Classes;
    rtl::TOwnedPtr<rtl::TComponent> Owner;
    TTestDataSet* DS = nullptr;
    TDataSource* Src = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Ownership and free notification

TEST_F(DataSetTest, FreedDataSourceClearsEveryLink) {
    TTestLink a, b;
    a.SetDataSource(Src);
    b.SetDataSource(Src);
    b.SetBufferCount(4);
    DS->Open();
    ASSERT_TRUE(a.Active());
    EXPECT_EQ(DS->BufferCount(), 4);

    rtl::TObject::Free(Src);
    Src = nullptr;
    for (TTestLink* link : {&a, &b}) {
        EXPECT_EQ(link->DataSource(), nullptr);
        EXPECT_FALSE(link->Active());
        EXPECT_EQ(link->Log.back(), "inactive");
    }
    // Nobody asks for more than one buffer any more.
    EXPECT_EQ(DS->BufferCount(), 1);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(DataSetTest, FreedDataSetClearsSourcesLinksAndFields) {
    TTestLink link;
    link.SetDataSource(Src);
    rtl::TOwnedPtr<rtl::TComponent> formOwner(rtl::Create<rtl::TComponent>(nullptr));
    auto* id = rtl::Create<TTestIntegerField>(formOwner.get());
    id->SetFieldName(u"id");
    id->SetDataSet(DS);
    DS->Open();
    ASSERT_EQ(id->AsInteger(), 1);

    rtl::TObject::Free(DS);
    DS = nullptr;
    EXPECT_EQ(Src->DataSet(), nullptr);
    EXPECT_EQ(Src->State(), dsInactive);
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(id->DataSet(), nullptr);
    EXPECT_THROW(id->AsInteger(), EDatabaseError);
}

TEST_F(DataSetTest, FreedFieldLeavesFieldsAndFreedLookupDataSetLeavesField) {
    auto* cities = rtl::Create<TTestDataSet>(Owner.get());
    cities->AddDef(u"id", ftInteger);
    auto* idField = rtl::Create<TTestIntegerField>(Owner.get());
    idField->SetFieldName(u"id");
    idField->SetDataSet(DS);
    auto* city = rtl::Create<TTestStringField>(Owner.get());
    city->SetFieldName(u"city");
    city->SetFieldKind(fkLookup);
    city->SetLookupDataSet(cities);
    city->SetDataSet(DS);
    ASSERT_EQ(DS->FieldCount(), 2);

    rtl::TObject::Free(cities);
    EXPECT_EQ(city->LookupDataSet(), nullptr);
    rtl::TObject::Free(idField);
    EXPECT_EQ(DS->FieldCount(), 1);
    EXPECT_EQ(DS->FindField(u"id"), nullptr);
    EXPECT_EQ(DS->Fields()[0], city);
}

// ---------------------------------------------------------------------------------------------
// Buffer ring through a data link

TEST_F(DataSetTest, LinkWindowFollowsScrolling) {
    TTestLink link;
    link.SetBufferCount(3);
    link.SetDataSource(Src);
    DS->Open();
    ASSERT_EQ(Window(link), (std::vector<int>{1, 2, 3}));

    struct Step {
        const char* what;
        std::function<void(TDataSet*)> act;
        std::vector<int> window;
        int active;
        std::string last;
    };
    const Step steps[] = {
        {"next", [](TDataSet* d) { d->Next(); }, {1, 2, 3}, 1, "scrolled 0"},
        {"next", [](TDataSet* d) { d->Next(); }, {1, 2, 3}, 2, "scrolled 0"},
        {"next past the window", [](TDataSet* d) { d->Next(); }, {2, 3, 4}, 2, "scrolled 1"},
        {"move by 3", [](TDataSet* d) { d->MoveBy(3); }, {5, 6, 7}, 2, "scrolled 3"},
        {"prior", [](TDataSet* d) { d->Prior(); }, {5, 6, 7}, 1, "scrolled 0"},
        {"move by -3", [](TDataSet* d) { d->MoveBy(-3); }, {3, 4, 5}, 0, "scrolled -2"},
        {"last", [](TDataSet* d) { d->Last(); }, {8, 9, 10}, 2, "changed"},
        {"next at the end", [](TDataSet* d) { d->Next(); }, {8, 9, 10}, 2, "check"},
        {"first", [](TDataSet* d) { d->First(); }, {1, 2, 3}, 0, "changed"},
        {"locate", [](TDataSet* d) { d->Locate(u"id", Variant(7), {}); }, {6, 7, 8}, 1, "changed"},
    };
    for (const Step& s : steps) {
        s.act(DS);
        EXPECT_EQ(Window(link), s.window) << s.what;
        EXPECT_EQ(link.ActiveRecord(), s.active) << s.what;
        EXPECT_EQ(CurrentId(), s.window[static_cast<size_t>(s.active)]) << s.what;
        EXPECT_EQ(link.Log.back(), s.last) << s.what;
    }
    DS->Last();
    EXPECT_TRUE(DS->Eof());
    EXPECT_EQ(DS->MoveBy(1), 0);
    EXPECT_TRUE(DS->Eof());
    DS->First();
    EXPECT_TRUE(DS->Bof());
    EXPECT_EQ(DS->MoveBy(-1), 0);
}

// Fails where a test tells it: in the open, once the cursor exists, or at the n-th next read.
class TFailingDataSet : public TTestDataSet {
    RTL_CLASS(TFailingDataSet, dbtest::TTestDataSet)
public:
    using TTestDataSet::TTestDataSet;
    bool FailOpen = false;
    int FailReadsAfter = -1;
    int Closes = 0;

protected:
    void OpenStep() override {
        TTestDataSet::OpenStep();
        if (FailOpen) throw rtl::Exception("open failed");
    }
    void CloseStep() override {
        ++Closes;
        TTestDataSet::CloseStep();
    }
    TGetResult GetRecordStep(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override {
        if (GetMode == gmNext && FailReadsAfter == 0) throw rtl::Exception("read failed");
        if (GetMode == gmNext && FailReadsAfter > 0) --FailReadsAfter;
        return TTestDataSet::GetRecordStep(Buffer, GetMode, DoCheck);
    }
};

// A failed open leaves the dataset closed and able to open; a move that fails part-way redraws
// the controls, and the next move scrolls them by its own distance only.
TEST(DataSetFailures, FailedOpenAndMoveLeaveTheDataSetUsable) {
    rtl::TOwnedPtr<rtl::TComponent> owner(rtl::Create<rtl::TComponent>(nullptr));
    auto* ds = rtl::Create<TFailingDataSet>(owner.get());
    ds->AddDef(u"id", ftInteger);
    for (int i = 1; i <= 10; ++i) ds->AddRow({Variant(i)});
    auto* src = rtl::Create<TDataSource>(owner.get());
    src->SetDataSet(ds);
    TTestLink link;
    link.SetBufferCount(3);
    link.SetDataSource(src);

    ds->FailOpen = true;
    EXPECT_EQ(ErrorOf([&] { ds->Open(); }), "open failed");
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->State(), dsInactive);
    EXPECT_EQ(ds->Closes, 1);
    ds->FailOpen = false;
    ds->Open();
    ASSERT_TRUE(ds->Active());
    ds->MoveBy(2);  // the window's last record

    // Records 4 and 5 are read, the read of 6 fails.
    ds->FailReadsAfter = 2;
    EXPECT_EQ(ErrorOf([&] { ds->MoveBy(5); }), "read failed");
    EXPECT_EQ(link.Log.back(), "changed");
    ds->FailReadsAfter = -1;
    ds->Next();
    EXPECT_EQ(link.Log.back(), "scrolled 1");
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 6);
}

TEST_F(DataSetTest, LinksOfDifferentSizesShareTheRing) {
    TTestLink small, big;
    small.SetBufferCount(2);
    big.SetBufferCount(5);
    small.SetDataSource(Src);
    big.SetDataSource(Src);
    DS->Open();
    EXPECT_EQ(DS->BufferCount(), 5);

    DS->MoveBy(4);
    EXPECT_EQ(Window(big), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Window(small), (std::vector<int>{4, 5}));
    EXPECT_EQ(big.Distances.back(), 0);
    EXPECT_EQ(small.Distances.back(), 3);

    DS->Next();
    EXPECT_EQ(Window(big), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(Window(small), (std::vector<int>{5, 6}));
    EXPECT_EQ(big.Distances.back(), 1);
    EXPECT_EQ(small.Distances.back(), 1);
    EXPECT_EQ(small.ActiveRecord(), 1);
    EXPECT_EQ(big.ActiveRecord(), 4);
}

TEST_F(DataSetTest, BufferCountGrowsAndShrinksAroundTheActiveRecord) {
    TTestLink link;
    link.SetBufferCount(3);
    link.SetDataSource(Src);
    DS->Open();
    DS->Last();
    ASSERT_EQ(Window(link), (std::vector<int>{8, 9, 10}));

    link.SetBufferCount(5);
    EXPECT_EQ(Window(link), (std::vector<int>{6, 7, 8, 9, 10}));
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(CurrentId(), 10);

    DS->MoveBy(-2);
    link.SetBufferCount(2);
    EXPECT_EQ(CurrentId(), 8);
    EXPECT_EQ(Window(link).size(), 2u);
    EXPECT_EQ(Window(link)[static_cast<size_t>(link.ActiveRecord())], 8);

    // More buffers than records: every record, the active one kept.
    link.SetBufferCount(20);
    EXPECT_EQ(link.RecordCount(), 10);
    EXPECT_EQ(CurrentId(), 8);
    EXPECT_EQ(link.ActiveRecord(), 7);
}

TEST_F(DataSetTest, InsertPostCancelAndDeleteKeepTheWindow) {
    TTestLink link;
    link.SetBufferCount(3);
    link.SetDataSource(Src);
    DS->Open();
    DS->Next();  // record 2, second row of the window

    DS->Insert();
    EXPECT_EQ(DS->State(), dsInsert);
    EXPECT_EQ(Window(link), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(link.ActiveRecord(), 1);
    DS->FieldByName(u"id")->SetAsInteger(100);
    DS->FieldByName(u"name")->SetAsString("new");
    DS->Post();
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Window(link), (std::vector<int>{1, 100, 2}));
    EXPECT_EQ(CurrentId(), 100);
    EXPECT_EQ(StoreIds(), (std::vector<int>{1, 100, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    DS->Delete();
    EXPECT_EQ(Window(link), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_EQ(DS->RecordCount(), 10);

    DS->Insert();
    DS->FieldByName(u"id")->SetAsInteger(200);
    DS->Cancel();
    EXPECT_EQ(Window(link), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_EQ(DS->RecordCount(), 10);

    DS->Append();
    EXPECT_EQ(Window(link), (std::vector<int>{9, 10, 0}));
    DS->FieldByName(u"id")->SetAsInteger(11);
    DS->Post();
    EXPECT_EQ(Window(link), (std::vector<int>{9, 10, 11}));
    EXPECT_EQ(StoreIds().back(), 11);

    DS->Last();
    DS->Delete();
    EXPECT_EQ(CurrentId(), 10);
    EXPECT_EQ(Window(link), (std::vector<int>{8, 9, 10}));
}

TEST_F(DataSetTest, InsertAndDeleteOnAnEmptyDataSet) {
    auto* empty = rtl::Create<TTestDataSet>(Owner.get());
    empty->AddDef(u"id", ftInteger);
    empty->Open();
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_TRUE(empty->Bof());
    EXPECT_TRUE(empty->Eof());
    EXPECT_EQ(ErrorOf([&] { empty->Delete(); }), "Cannot perform this operation on an empty dataset");

    empty->Insert();
    empty->Cancel();
    EXPECT_TRUE(empty->IsEmpty());
    empty->Edit();  // edit of nothing inserts
    EXPECT_EQ(empty->State(), dsInsert);
    empty->FieldByName(u"id")->SetAsInteger(5);
    empty->Post();
    EXPECT_EQ(empty->RecordCount(), 1);
    EXPECT_EQ(empty->FieldByName(u"id")->AsInteger(), 5);
    empty->Delete();
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_TRUE(empty->Eof());
}

// ---------------------------------------------------------------------------------------------
// States and events

TEST_F(DataSetTest, EventsFireInOrderWithTheirStates) {
    std::vector<std::string> log;
    auto hook = [&](const char* name) {
        return [&log, name](TDataSet* d) { log.push_back(std::string(name) + ":" + std::to_string(d->State())); };
    };
    DS->BeforeOpen = hook("BeforeOpen");
    DS->AfterOpen = hook("AfterOpen");
    DS->BeforeClose = hook("BeforeClose");
    DS->AfterClose = hook("AfterClose");
    DS->BeforeInsert = hook("BeforeInsert");
    DS->AfterInsert = hook("AfterInsert");
    DS->BeforeEdit = hook("BeforeEdit");
    DS->AfterEdit = hook("AfterEdit");
    DS->BeforePost = hook("BeforePost");
    DS->AfterPost = hook("AfterPost");
    DS->BeforeCancel = hook("BeforeCancel");
    DS->AfterCancel = hook("AfterCancel");
    DS->BeforeDelete = hook("BeforeDelete");
    DS->AfterDelete = hook("AfterDelete");
    DS->BeforeScroll = hook("BeforeScroll");
    DS->AfterScroll = hook("AfterScroll");
    DS->BeforeRefresh = hook("BeforeRefresh");
    DS->AfterRefresh = hook("AfterRefresh");
    DS->OnNewRecord = hook("OnNewRecord");

    struct Case {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"open", [&] { DS->Open(); }, {"BeforeOpen:0", "AfterOpen:1"}},
        {"insert and post",
         [&] {
             DS->Insert();
             DS->FieldByName(u"id")->SetAsInteger(50);
             DS->Post();
         },
         {"BeforeInsert:1", "BeforeScroll:1", "OnNewRecord:3", "AfterInsert:3", "AfterScroll:3", "BeforePost:3",
          "AfterPost:1"}},
        {"edit and cancel",
         [&] {
             DS->Edit();
             DS->Cancel();
         },
         {"BeforeEdit:1", "AfterEdit:2", "BeforeCancel:2", "AfterCancel:1"}},
        {"edit, change and scroll posts",
         [&] {
             DS->Edit();
             DS->FieldByName(u"name")->SetAsString("x");
             DS->Next();
         },
         {"BeforeEdit:1", "AfterEdit:2", "BeforePost:2", "AfterPost:1", "BeforeScroll:1", "AfterScroll:1"}},
        {"delete", [&] { DS->Delete(); }, {"BeforeDelete:1", "BeforeScroll:1", "AfterDelete:1", "AfterScroll:1"}},
        {"refresh", [&] { DS->Refresh(); }, {"BeforeRefresh:1", "AfterRefresh:1"}},
        {"close", [&] { DS->Close(); }, {"BeforeClose:1", "AfterClose:0"}},
    };
    for (const Case& c : cases) {
        log.clear();
        c.act();
        EXPECT_EQ(log, c.expected) << c.what;
    }
}

TEST_F(DataSetTest, FailedPostKeepsTheEditAndHonoursTheErrorAction) {
    DS->Open();
    DS->Edit();
    DS->FieldByName(u"name")->SetAsString("changed");
    DS->FailNextPost("disk full");
    bool afterPost = false;
    DS->AfterPost = [&](TDataSet*) { afterPost = true; };
    EXPECT_EQ(ErrorOf([&] { DS->Post(); }), "People: disk full");
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_FALSE(afterPost);
    EXPECT_EQ(DS->StoredValue(0, 1).AsAnsiString(), "n1");

    // Retry: the second attempt succeeds.
    int calls = 0;
    DS->OnPostError = [&](TDataSet*, EDatabaseError&, TDataAction& action) {
        ++calls;
        action = daRetry;
    };
    DS->FailNextPost("busy");
    DS->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(DS->StoredValue(0, 1).AsAnsiString(), "changed");

    // Abort: silent, the edit stays.
    DS->OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
    DS->Edit();
    DS->FieldByName(u"name")->SetAsString("again");
    DS->FailNextPost("busy");
    EXPECT_THROW(DS->Post(), rtl::EAbort);
    EXPECT_EQ(DS->State(), dsEdit);
}

TEST_F(DataSetTest, PostChecksRequiredFields) {
    auto* ds = rtl::Create<TTestDataSet>(Owner.get());
    ds->SetName("Orgs");
    ds->AddDef(u"id", ftInteger);
    ds->AddDef(u"title", ftString, 30, true);
    ds->Open();
    TField* title = ds->FieldByName(u"title");
    title->SetDisplayLabel(W(u8"Наименование"));

    auto* src = rtl::Create<TDataSource>(Owner.get());
    src->SetDataSet(ds);
    TTestLink link;
    link.SetDataSource(src);
    ds->Insert();
    ds->FieldByName(u"id")->SetAsInteger(1);
    EXPECT_EQ(ErrorOf([&] { ds->Post(); }), A(u8"Field 'Наименование' must have a value"));
    EXPECT_EQ(link.Log.back(), "focus title");
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_EQ(ds->StoreCount(), 0);

    // A read-only required field is the dataset's business, not the user's.
    title->SetReadOnly(true);
    ds->Post();
    EXPECT_EQ(ds->StoreCount(), 1);

    title->SetReadOnly(false);
    ds->Insert();
    title->SetAsString(A(u8"Архив"));
    ds->Post();
    EXPECT_EQ(ds->StoreCount(), 2);
    EXPECT_EQ(title->AsString(), A(u8"Архив"));
}

// ---------------------------------------------------------------------------------------------
// Locate

TEST_F(DataSetTest, LocateWithCaseAndPartialOptionsOnCyrillicText) {
    auto* ds = rtl::Create<TTestDataSet>(Owner.get());
    ds->AddDef(u"id", ftInteger);
    ds->AddDef(u"name", ftString, 30);
    const char8_t* names[] = {u8"Москва", u8"МОСКВОРЕЦКИЙ", u8"Минск", u8"мост"};
    for (int i = 0; i < 4; ++i) ds->AddRow({Variant(i + 1), Variant(A(names[i]))});
    ds->Open();
    int scrolls = 0;
    ds->AfterScroll = [&](TDataSet*) { ++scrolls; };

    struct Case {
        const char8_t* key;
        TLocateOptions options;
        int found;  // id, 0 = not found
    };
    const Case cases[] = {
        {u8"моск", {loCaseInsensitive, loPartialKey}, 1},
        {u8"москворецкий", {loCaseInsensitive}, 2},
        {u8"Моск", {loPartialKey}, 1},
        {u8"МОСКВ", {loPartialKey}, 2},
        {u8"моск", {loPartialKey}, 0},
        {u8"москва", {}, 0},
        {u8"Мин", {}, 0},
        {u8"мИН", {loCaseInsensitive, loPartialKey}, 3},
        {u8"МОСТ", {loCaseInsensitive}, 4},
    };
    for (const Case& c : cases) {
        ds->First();
        ds->Next();  // id 2: the position a failed search must keep
        scrolls = 0;
        bool found = ds->Locate(u"name", Variant(A(c.key)), c.options);
        const char* key = reinterpret_cast<const char*>(c.key);
        EXPECT_EQ(found, c.found != 0) << key;
        EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), c.found ? c.found : 2) << key;
        EXPECT_EQ(scrolls, c.found ? 1 : 0) << key;
    }
    EXPECT_TRUE(ds->Locate(u"id;name", Variant::VarArray({Variant(3), Variant(A(u8"минск"))}), {loCaseInsensitive}));
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 3);
    EXPECT_EQ(ds->Lookup(u"name", Variant(A(u8"мост")), u"id").AsInteger(), 4);
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 3);
}

// ---------------------------------------------------------------------------------------------
// Calculated and lookup fields

class CalcFieldsTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        Cities = rtl::Create<TTestDataSet>(Owner.get());
        Cities->AddDef(u"id", ftInteger);
        Cities->AddDef(u"title", ftString, 20);
        Cities->AddRow({Variant(1), Variant(A(u8"Тверь"))});
        Cities->AddRow({Variant(2), Variant(A(u8"Омск"))});

        People = rtl::Create<TTestDataSet>(Owner.get());
        People->SetName("People2");
        People->AddDef(u"id", ftInteger);
        People->AddDef(u"city_id", ftInteger);
        People->AddRow({Variant(1), Variant(1)});
        People->AddRow({Variant(2), Variant(2)});
        People->AddRow({Variant(3), Variant::Null()});

        Id = Make<TTestIntegerField>(u"id", fkData);
        CityId = Make<TTestIntegerField>(u"city_id", fkData);
        Twice = Make<TTestIntegerField>(u"twice", fkCalculated);
        City = Make<TTestStringField>(u"city", fkLookup);
        City->SetLookupDataSet(Cities);
        City->SetKeyFields(u"city_id");
        City->SetLookupKeyFields(u"id");
        City->SetLookupResultField(u"title");
        People->OnCalcFields = [this](TDataSet*) {
            ++CalcRuns;
            if (!Id->IsNull()) Twice->SetAsInteger(Id->AsInteger() * 2);
        };
    }

    template <class T>
    T* Make(const char16_t* name, TFieldKind kind) {
        T* f = rtl::Create<T>(Owner.get());
        f->SetFieldName(name);
        f->SetFieldKind(kind);
        f->SetDataSet(People);
        return f;
    }

    TTestDataSet* Cities = nullptr;
    TTestDataSet* People = nullptr;
    TField *Id = nullptr, *CityId = nullptr, *Twice = nullptr, *City = nullptr;
    int CalcRuns = 0;
};

TEST_F(CalcFieldsTest, CalculatedAndLookupValuesFollowTheRecord) {
    Cities->Open();
    People->Open();
    EXPECT_FALSE(People->DefaultFields());
    struct Row {
        int twice;
        const char8_t* city;
    };
    const Row rows[] = {{2, u8"Тверь"}, {4, u8"Омск"}, {6, nullptr}};
    for (const Row& r : rows) {
        EXPECT_EQ(Twice->AsInteger(), r.twice);
        if (r.city)
            EXPECT_EQ(City->AsString(), A(r.city));
        else
            EXPECT_TRUE(City->IsNull());
        People->Next();
    }
    EXPECT_FALSE(Twice->CanModify());
    EXPECT_EQ(ErrorOf([&] { Twice->SetAsInteger(1); }), "People2: Dataset not in edit or insert mode");

    // Changing the key while editing recalculates at once; cancelling restores.
    People->First();
    People->Edit();
    CityId->SetAsInteger(2);
    EXPECT_EQ(City->AsString(), A(u8"Омск"));
    People->Cancel();
    EXPECT_EQ(City->AsString(), A(u8"Тверь"));

    // Writing the lookup value picks the key.
    People->Edit();
    City->SetAsString(A(u8"Омск"));
    EXPECT_EQ(CityId->AsInteger(), 2);
    People->Post();
    EXPECT_EQ(People->StoredValue(0, 1).AsInteger(), 2);
    EXPECT_EQ(City->AsString(), A(u8"Омск"));
}

TEST_F(CalcFieldsTest, AutoCalcFieldsOffWaitsForThePost) {
    People->SetAutoCalcFields(false);
    Cities->Open();
    People->Open();
    People->Edit();
    CityId->SetAsInteger(2);
    EXPECT_EQ(City->AsString(), A(u8"Тверь"));
    People->Post();
    EXPECT_EQ(City->AsString(), A(u8"Омск"));
}

TEST_F(CalcFieldsTest, LookupCacheAndIncompleteLookup) {
    Cities->Open();
    City->SetLookupCache(true);
    People->Open();
    EXPECT_EQ(City->LookupList().Count(), 2);
    EXPECT_EQ(City->AsString(), A(u8"Тверь"));
    People->Close();

    EXPECT_EQ(ErrorOf([&] { City->SetLookupDataSet(People); }), "Circular datalinks are not allowed");
    EXPECT_EQ(City->LookupDataSet(), Cities);
    City->SetLookupResultField(u"");
    EXPECT_EQ(ErrorOf([&] { People->Open(); }), "People2: Lookup information for field 'city' is incomplete");
    EXPECT_FALSE(People->Active());
    EXPECT_EQ(People->State(), dsInactive);
}

// ---------------------------------------------------------------------------------------------
// DisableControls

TEST_F(DataSetTest, DisableControlsNestsAndDeliversOneChangeAtTheEnd) {
    TTestLink link;
    link.SetBufferCount(3);
    link.SetDataSource(Src);
    DS->Open();
    link.Log.clear();

    DS->DisableControls();
    DS->DisableControls();
    DS->MoveBy(4);
    DS->Edit();
    DS->FieldByName(u"name")->SetAsString("quiet");
    DS->Post();
    EXPECT_TRUE(DS->ControlsDisabled());
    DS->EnableControls();
    EXPECT_TRUE(DS->ControlsDisabled());
    EXPECT_TRUE(link.Log.empty());
    DS->EnableControls();
    EXPECT_FALSE(DS->ControlsDisabled());
    EXPECT_EQ(link.Log, (std::vector<std::string>{"changed"}));
    EXPECT_EQ(Window(link)[static_cast<size_t>(link.ActiveRecord())], 5);

    // Nothing happened: nothing is owed.
    link.Log.clear();
    DS->DisableControls();
    DS->EnableControls();
    EXPECT_TRUE(link.Log.empty());
    DS->EnableControls();  // unbalanced: ignored
    EXPECT_FALSE(DS->ControlsDisabled());
}

TEST_F(DataSetTest, ClosingWhileDisabledTellsLinksTheFieldsMayBeGone) {
    TTestLink link;
    link.SetDataSource(Src);
    DS->Open();
    link.Log.clear();
    DS->DisableControls();
    DS->Close();
    EXPECT_EQ(link.Log, (std::vector<std::string>{"disabled 0"}));
    EXPECT_TRUE(link.Active());
    DS->EnableControls();
    EXPECT_EQ(link.Log.back(), "inactive");
    EXPECT_FALSE(link.Active());

    // Closed and opened again while disabled: the links hear both, then one layout change.
    DS->Open();
    link.Log.clear();
    DS->DisableControls();
    DS->Close();
    DS->Open();
    DS->EnableControls();
    EXPECT_EQ(link.Log, (std::vector<std::string>{"disabled 0", "disabled 1", "layout"}));
}

TEST_F(DataSetTest, FreeingAFieldOfAnOpenDataSetClosesIt) {
    auto* id = rtl::Create<TTestIntegerField>(Owner.get());
    id->SetFieldName(u"id");
    id->SetDataSet(DS);
    DS->Open();
    ASSERT_FALSE(DS->DefaultFields());
    rtl::TObject::Free(id);
    EXPECT_FALSE(DS->Active());
    EXPECT_EQ(DS->FieldCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Data sources and links

TEST_F(DataSetTest, LinkEditingAndWriteBack) {
    TTestLink link;
    link.SetDataSource(Src);
    std::vector<std::string> sourceLog;
    Src->OnStateChange = [&](TDataSource* s) { sourceLog.push_back("state " + std::to_string(s->State())); };
    Src->OnDataChange = [&](TDataSource*, TField* f) {
        sourceLog.push_back(f ? "data " + rtl::WideToAnsi(f->FieldName()) : "data");
    };
    DS->Open();
    link.Log.clear();

    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(DS->State(), dsEdit);
    DS->FieldByName(u"name")->SetAsString("typed");
    DS->Post();
    EXPECT_EQ(link.UpdateDataCalls, 1);
    EXPECT_EQ(link.Log, (std::vector<std::string>{"check", "editing", "record", "record name", "update", "check",
                                                  "not editing", "changed"}));
    EXPECT_EQ(sourceLog, (std::vector<std::string>{"state 1", "state 2", "data", "data name", "state 1", "data"}));

    Src->SetAutoEdit(false);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(DS->State(), dsBrowse);
    Src->SetAutoEdit(true);
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(DS->State(), dsBrowse);

    Src->SetEnabled(false);
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(Src->State(), dsInactive);
    Src->SetEnabled(true);
    EXPECT_TRUE(link.Active());
}

TEST_F(DataSetTest, CircularDataLinksAreRefused) {
    auto* master = rtl::Create<TTestDataSet>(Owner.get());
    auto* masterSrc = rtl::Create<TDataSource>(Owner.get());
    masterSrc->SetName("srcMaster");
    masterSrc->SetDataSet(master);
    DS->SetMasterSource(masterSrc);  // People follows master
    master->SetMasterSource(Src);    // master would follow People
    EXPECT_TRUE(DS->IsLinkedTo(masterSrc));
    EXPECT_EQ(ErrorOf([&] { masterSrc->SetDataSet(nullptr), masterSrc->SetDataSet(master); }),
              "srcMaster: Circular datalinks are not allowed");
    EXPECT_EQ(masterSrc->DataSet(), nullptr);
    master->SetMasterSource(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Errors, bookmarks and field definitions

TEST_F(DataSetTest, ErrorsCarryThePlatformTextAndTheComponentName) {
    auto* unnamed = rtl::Create<TTestDataSet>(Owner.get());
    unnamed->AddDef(u"id", ftInteger);
    unnamed->Open();
    struct Case {
        const char* what;
        std::function<void()> act;
        AnsiString message;
    };
    const Case cases[] = {
        {"closed", [&] { DS->First(); }, "People: Cannot perform this operation on a closed dataset"},
        {"missing field", [&] { DS->FieldDefs().Find(u"nope"); }, "People: Field 'nope' not found"},
        {"missing field unnamed", [&] { unnamed->FieldByName(u"nope"); }, "Field 'nope' not found"},
        {"cyrillic field", [&] { unnamed->FieldByName(W(u8"фонд")); }, A(u8"Field 'фонд' not found")},
        {"post in browse", [&] { unnamed->Post(); }, "Dataset not in edit or insert mode"},
        {"write in browse", [&] { unnamed->FieldByName(u"id")->SetAsInteger(1); },
         "Dataset not in edit or insert mode"},
        {"duplicate def", [&] { DS->AddDef(u"ID", ftInteger); }, "People: Duplicate field name 'ID'"},
        {"open while open", [&] { unnamed->Fields()[0]->SetDataSet(DS); },
         "Cannot perform this operation on an open dataset"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.act), c.message) << c.what;

    DS->Open();
    EXPECT_EQ(ErrorOf([&] { DS->FieldByName(u"nope"); }), "People: Field 'nope' not found");
    DS->SetReadOnlyDataSet(true);
    EXPECT_EQ(ErrorOf([&] { DS->Edit(); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { DS->Insert(); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(DS->State(), dsBrowse);
}

TEST_F(DataSetTest, BookmarksGoBackAndCompareByPosition) {
    EXPECT_TRUE(DS->GetBookmark().empty());
    TTestLink link;
    link.SetBufferCount(5);
    link.SetDataSource(Src);
    DS->Open();
    DS->MoveBy(3);
    TBookmark b4 = DS->GetBookmark();
    DS->Last();
    TBookmark b10 = DS->Bookmark();
    EXPECT_LT(DS->CompareBookmarks(b4, b10), 0);
    EXPECT_GT(DS->CompareBookmarks(b10, b4), 0);
    EXPECT_EQ(DS->CompareBookmarks(b4, b4), 0);

    DS->GotoBookmark(b4);
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(link.ActiveRecord(), 2);  // centred
    EXPECT_EQ(Window(link), (std::vector<int>{2, 3, 4, 5, 6}));

    DS->Delete();
    EXPECT_FALSE(DS->BookmarkValid(b4));
    EXPECT_EQ(ErrorOf([&] { DS->GotoBookmark(b4); }), "People: Record not found");
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_TRUE(DS->BookmarkValid(b10));
}

TEST_F(DataSetTest, DefaultFieldsComeFromDefinitionsAndRegisteredClasses) {
    DS->Open();
    ASSERT_TRUE(DS->DefaultFields());
    ASSERT_EQ(DS->FieldCount(), 2);
    EXPECT_TRUE(DS->Fields()[0]->InheritsFrom(&TTestIntegerField::StaticClass()));
    EXPECT_TRUE(DS->Fields()[1]->InheritsFrom(&TTestStringField::StaticClass()));
    EXPECT_EQ(DS->Fields()[1]->FieldNo(), 2);
    EXPECT_EQ(DS->Fields()[1]->Size(), 20);
    EXPECT_EQ(DS->Fields()[0]->Owner(), DS);
    EXPECT_EQ(DS->FieldValues(u"id;name").GetElement(1).AsAnsiString(), "n1");
    EXPECT_EQ(DS->GetFieldNames(), (std::vector<WideString>{u"id", u"name"}));
    DS->Close();
    EXPECT_EQ(DS->FieldCount(), 0);

    // A type without a class: the open fails and leaves the dataset closed.
    DS->AddDef(u"cur", ftCursor);
    EXPECT_EQ(ErrorOf([&] { DS->Open(); }), "People: Field 'cur' is of an unknown type");
    EXPECT_EQ(DS->State(), dsInactive);
    EXPECT_EQ(DS->FieldCount(), 0);
}

TEST_F(DataSetTest, FieldEventsTextAndStateValues) {
    DS->Open();
    TField* name = DS->FieldByName(u"name");
    std::vector<std::string> log;
    name->OnValidate = [&](TField* f) {
        if (f->AsString() == "bad") DatabaseError("rejected");
        log.push_back("validate " + f->AsString());
    };
    name->OnChange = [&](TField* f) { log.push_back("change " + f->AsString()); };
    name->OnGetText = [](TField* f, AnsiString& text, bool display) {
        text = display ? "[" + f->AsString() + "]" : f->AsString();
    };

    DS->Edit();
    name->SetAsString("good");
    EXPECT_EQ(log, (std::vector<std::string>{"validate good", "change good"}));
    EXPECT_EQ(ErrorOf([&] { name->SetAsString("bad"); }), "rejected");
    EXPECT_EQ(name->AsString(), "good");
    EXPECT_EQ(name->OldValue().AsAnsiString(), "n1");
    EXPECT_EQ(name->NewValue().AsAnsiString(), "good");
    EXPECT_EQ(name->Text(), "good");
    EXPECT_EQ(name->DisplayText(), "[good]");
    EXPECT_TRUE(DS->Modified());

    name->OnSetText = [](TField* f, const AnsiString& text) { f->SetAsString(rtl::AnsiUpperCase(text)); };
    name->SetEditText(A(u8"ввод"));
    EXPECT_EQ(name->AsString(), A(u8"ВВОД"));
    DS->Cancel();
    EXPECT_EQ(name->AsString(), "n1");
    EXPECT_FALSE(DS->Modified());
    EXPECT_EQ(ErrorOf([&] { DS->UpdateRecord(); }), "People: Dataset not in edit or insert mode");
}

TEST_F(DataSetTest, FieldOfAnotherTypeThanItsDefinitionIsRefused) {
    auto* id = rtl::Create<TTestStringField>(Owner.get());
    id->SetFieldName(u"id");
    id->SetDataSet(DS);
    EXPECT_EQ(ErrorOf([&] { DS->Open(); }), "People: Type mismatch for field 'id', expecting: String actual: Integer");
    EXPECT_EQ(DS->State(), dsInactive);
    EXPECT_EQ(ErrorOf([&] { GetFieldProperty(DS, Src, u"nope"); }), "Field 'nope' not found");
    Src->SetName("srcPeople");
    EXPECT_EQ(ErrorOf([&] { GetFieldProperty(DS, Src, u"nope"); }), "srcPeople: Field 'nope' not found");
    EXPECT_EQ(GetFieldProperty(DS, Src, u"ID"), id);
}

TEST_F(DataSetTest, FieldOfAnotherSizeThanItsDefinitionIsRefused) {
    // The name column holds 20 characters: a smaller field would be overrun by every read, a
    // larger one would hand the store text it cannot terminate.
    for (int size : {5, 40}) {
        SCOPED_TRACE(size);
        rtl::TOwnedPtr<TTestStringField> name(rtl::Create<TTestStringField>(nullptr));
        name->SetFieldName(u"name");
        name->SetSize(size);
        name->SetDataSet(DS);
        EXPECT_EQ(ErrorOf([&] { DS->Open(); }),
                  "People: Size mismatch for field 'name', expecting: " + std::to_string(size) + " actual: 20");
        EXPECT_EQ(DS->State(), dsInactive);
    }
    rtl::TOwnedPtr<TTestStringField> name(rtl::Create<TTestStringField>(nullptr));
    name->SetFieldName(u"name");
    name->SetDataSet(DS);
    DS->Open();
    EXPECT_EQ(name->AsString(), "n1");
}

TEST_F(DataSetTest, FieldValuesOfAListTakeOneValuePerField) {
    DS->Open();
    DS->Edit();
    DS->SetFieldValues(u"id;name", Variant::VarArray({Variant(42), Variant("x")}));
    // A short array or a single value names no value for some field: nothing is written.
    for (const Variant& bad : {Variant::VarArray({Variant(7)}), Variant(7)}) {
        EXPECT_THROW(DS->SetFieldValues(u"id;name", bad), rtl::EVariantError);
        EXPECT_EQ(CurrentId(), 42);
        EXPECT_EQ(DS->FieldByName(u"name")->AsString(), "x");
    }
    DS->SetFieldValues(u"id;name", Variant::Null());
    EXPECT_TRUE(DS->FieldByName(u"id")->IsNull());
    EXPECT_TRUE(DS->FieldByName(u"name")->IsNull());
}

TEST_F(DataSetTest, DateAndBcdDataConvertBetweenNativeAndValueForms) {
    auto* f = rtl::Create<TTestIntegerField>(Owner.get());
    struct Case {
        TFieldType type;
        double value;   // TDateTime
        double native;  // day number, milliseconds of the day, or milliseconds since 0001-01-01
    };
    const Case cases[] = {
        {ftDate, 0.0, 693594},
        {ftDate, 45351.0, 693594 + 45351},
        {ftTime, 0.75, 64800000},
        {ftDateTime, 1.5, 693595.0 * 86400000 + 43200000},
    };
    for (const Case& c : cases) {
        f->SetFieldType(c.type);
        uint8_t native[8] = {};
        DS->ConvertFieldData(f, &c.value, native, true);
        double got;
        if (c.type == ftDateTime) {
            std::memcpy(&got, native, 8);
        } else {
            int32_t v;
            std::memcpy(&v, native, 4);
            got = v;
        }
        EXPECT_EQ(got, c.native) << FieldTypeName(c.type);
        double back = -1;
        DS->ConvertFieldData(f, native, &back, false);
        EXPECT_DOUBLE_EQ(back, c.value) << FieldTypeName(c.type);
    }
    f->SetFieldType(ftBCD);
    int64_t currency = 123456;  // 12.3456
    uint8_t bcd[sizeof(rtl::TBcd)] = {};
    DS->ConvertFieldData(f, &currency, bcd, true);
    int64_t back = 0;
    DS->ConvertFieldData(f, bcd, &back, false);
    EXPECT_EQ(back, currency);
}

TEST(DbHelpers, FieldTypeOrdinalsAndNameLists) {
    struct Ord {
        TFieldType t;
        int n;
    };
    const Ord ords[] = {{ftUnknown, 0}, {ftString, 1},    {ftBCD, 8},         {ftAutoInc, 14},
                        {ftCursor, 22}, {ftLargeint, 25}, {ftVariant, 32},    {ftGuid, 35},
                        {ftFMTBcd, 37}, {ftWideMemo, 39}, {ftOraInterval, 41}};
    for (const Ord& o : ords) EXPECT_EQ(static_cast<int>(o.t), o.n) << FieldTypeName(o.t);

    WideString list = u" id ; name;;source_id ";
    size_t pos = 0;
    std::vector<WideString> names;
    while (pos < list.size()) names.push_back(ExtractFieldName(list, pos));
    EXPECT_EQ(names, (std::vector<WideString>{u"id", u"name", u"", u"source_id"}));
    EXPECT_EQ(FormatMessage("Field '%s' %s %d%%", {"a", "b", "7"}), "Field 'a' b 7%");
}

}  // namespace
