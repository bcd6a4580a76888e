// Variant equality, cell-text splitting, field-list routines and the field value list.
#include <gtest/gtest.h>

#include "tests/support/editors_fixture.h"
#include "framework/rtl/Text.h"

using namespace editorstest;
using namespace editors;

namespace {

Variant Arr(int Low, std::vector<Variant> Items) {
    Variant v = Variant::CreateArray(Low, Low + static_cast<int>(Items.size()) - 1, rtl::varVariant);
    for (size_t i = 0; i < Items.size(); ++i) v.SetElement(Low + static_cast<int>(i), Items[i]);
    return v;
}

TEST(VariantValuesEqual, Table) {
    const struct {
        const char* Name;
        Variant A, B;
        bool Equal;
    } cases[] = {
        {"empty/empty", Variant(), Variant(), true},
        {"empty/null", Variant(), Variant::Null(), false},
        {"null/null", Variant::Null(), Variant::Null(), true},
        {"empty/zero", Variant(), Variant(0), false},
        {"empty/blank text", Variant(), Variant(""), false},
        {"int/double", Variant(1), Variant(1.0), true},
        {"int/int differ", Variant(1), Variant(2), false},
        {"text", Variant("abc"), Variant("abc"), true},
        {"text/number raises inside", Variant("abc"), Variant(1), false},
        {"equal arrays", Arr(0, {1, "x"}), Arr(0, {1, "x"}), true},
        {"arrays differ", Arr(0, {1, 2}), Arr(0, {1, 3}), false},
        {"arrays of other bounds", Arr(0, {1, 2}), Arr(1, {1, 2}), false},
        {"arrays of other lengths", Arr(0, {1, 2}), Arr(0, {1, 2, 3}), false},
        {"empty arrays", Variant::CreateArray(0, -1, rtl::varVariant), Variant::CreateArray(0, -1, rtl::varVariant),
         false},
        {"array/scalar", Arr(0, {1}), Variant(1), false},
        {"null elements", Arr(0, {Variant::Null()}), Arr(0, {Variant::Null()}), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VariantValuesEqual(c.A, c.B), c.Equal) << c.Name;
        EXPECT_EQ(VariantValuesEqual(c.B, c.A), c.Equal) << c.Name << " (swapped)";
    }
}

std::vector<std::string> Split(const AnsiString& Text) {
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    list->Add("old");
    SetCellsStrings(list.get(), Text);
    std::vector<std::string> out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->Strings(i));
    return out;
}

TEST(SetCellsStrings, Table) {
    using V = std::vector<std::string>;
    const struct {
        AnsiString Text;
        V Items;
    } cases[] = {
        {"a;\"b;c\"; d", V{"a", "b;c", " d"}},
        {"", V{}},
        {"  \t x;y", V{"x", "y"}},
        {"\"say \"\"hi\"\"\";z", V{"say \"hi\"", "z"}},
        {"a;;b", V{"a", "", "b"}},
        {"a;", V{"a"}},
        {"a\tb", V{"a", "b"}},
        {"a;\r\n b", V{"a", " b"}},
        {"\"open", V{"open"}},
        {AnsiString("a;b\0;c", 6), V{"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.Text), c.Items) << '[' << c.Text << ']';
}

TEST(SetCellsStrings, OneChangeNotificationForTheWholeSplit) {
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    int changes = 0;
    list->OnChange = [&](rtl::TObject*) { ++changes; };
    SetCellsStrings(list.get(), "a;b;c");
    EXPECT_EQ(changes, 1);
}

struct FieldLists : ::testing::Test {
    TFixture F = OpenPeople(3);
    rtl::TOwnedPtr<rtl::TComponent> Owner{rtl::Create<rtl::TComponent>(nullptr)};
    void SetUp() override { Owner->SetName("Editor1"); }
};

TEST_F(FieldLists, NamesResolveInOrderAndAMissingNameNamesTheComponent) {
    std::vector<db::TField*> list;
    CollectFieldsByNames(&list, F.DS.get(), Owner.get(), u" qty ; id");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], F.F("qty"));
    EXPECT_EQ(list[1], F.F("id"));

    TFieldsArrEh fields{F.F("name")};
    try {
        GetFieldsArrayByNames(F.DS.get(), Owner.get(), u"id;nope", fields);
        FAIL() << "no error";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Editor1: Field 'nope' not found");
    }
    EXPECT_EQ(fields, TFieldsArrEh{F.F("name")}) << "a failed look-up changed the array";
    EXPECT_THROW(CollectFieldsByNames(nullptr, F.DS.get(), Owner.get(), u"nope"), db::EDatabaseError);
}

TEST_F(FieldLists, SetFieldsValueClearsOnNullAndWritesArrays) {
    F.DS->Edit();
    SetFieldsValue(F.DS.get(), u"id;name", Arr(0, {77, "zz"}));
    EXPECT_EQ(F.F("id")->AsInteger(), 77);
    EXPECT_EQ(F.F("name")->AsString(), "zz");
    SetFieldsValue(F.DS.get(), u"id;name", Variant::Null());
    EXPECT_TRUE(F.F("id")->IsNull());
    EXPECT_TRUE(F.F("name")->IsNull());
    SetFieldsValue(F.DS.get(), u"qty", 5);
    EXPECT_EQ(F.F("qty")->AsInteger(), 5);
}

// ---------------------------------------------------------------------------------------------

std::vector<std::string> Texts(rtl::TStrings* s) {
    std::vector<std::string> out;
    for (int i = 0; i < s->Count(); ++i) out.push_back(s->Strings(i));
    return out;
}

struct ValueList : ::testing::Test {
    TFixture F{memdstest::PeopleCols(),
               {{1, "pear", short(1)}, {2, "apple", short(1)}, {3, "pear", short(2)}, {4, "fig", short(2)}}};
    rtl::TOwnedPtr<db::TDataSource> Src{rtl::Create<db::TDataSource>(nullptr)};
    rtl::TOwnedPtr<TDatasetFieldValueListEh> V{rtl::Create<TDatasetFieldValueListEh>()};
    int Scrolls = 0;
    void SetUp() override {
        F.DS->Open();
        F.DS->AfterScroll = [this](db::TDataSet*) { ++Scrolls; };
        Src->SetDataSet(F.DS.get());
        V->AssignDataSource(Src.get());
        V->SetFieldName(u"name");
    }
};

TEST_F(ValueList, SortedDistinctValuesAndTheRecordStaysCurrent) {
    F.DS->SetRecNo(2);
    EXPECT_EQ(Texts(V->GetValues()), (std::vector<std::string>{"apple", "fig", "pear"}));
    EXPECT_EQ(F.DS->RecNo(), 2);
    EXPECT_FALSE(F.DS->Eof());
    EXPECT_FALSE(F.DS->ControlsDisabled());

    const int scrolls = Scrolls;
    V->GetValues();
    EXPECT_EQ(Scrolls, scrolls) << "an unchanged dataset was scanned again";
}

TEST_F(ValueList, DatasetAndNameChangesRebuildTheList) {
    V->GetValues();
    F.DS->Append();
    F.F("id")->SetAsInteger(5);
    F.F("name")->SetAsString("kiwi");
    F.DS->Post();
    EXPECT_TRUE(V->Obsolete());
    EXPECT_EQ(Texts(V->GetValues()), (std::vector<std::string>{"apple", "fig", "kiwi", "pear"}));

    V->SetFieldName(u"qty");
    EXPECT_EQ(Texts(V->GetValues()), (std::vector<std::string>{"", "1", "2"}));  // kiwi has no qty
}

TEST_F(ValueList, NoFieldOrNoActiveLinkLeavesItEmptyAndObsolete) {
    V->SetFieldName(u"nope");
    EXPECT_EQ(V->GetValues()->Count(), 0);
    EXPECT_TRUE(V->Obsolete());
    V->SetFieldName(u"name");
    F.DS->Close();
    EXPECT_EQ(V->GetValues()->Count(), 0);
    F.DS->Open();
    EXPECT_EQ(V->GetValues()->Count(), 3);
}

TEST_F(ValueList, ARecordBeingEditedIsNotPostedByAScan) {
    F.DS->SetRecNo(3);
    F.DS->Edit();
    F.F("name")->SetAsString("plum");
    EXPECT_EQ(V->GetValues()->Count(), 0);
    EXPECT_EQ(F.DS->State(), db::dsEdit);
    EXPECT_EQ(F.F("name")->AsString(), "plum");
    F.DS->Cancel();
    EXPECT_EQ(Texts(V->GetValues()), (std::vector<std::string>{"apple", "fig", "pear"}));
}

}  // namespace
