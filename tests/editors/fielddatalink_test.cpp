// The editors' field data link: unbound, single-field and multi-field binding.
#include <gtest/gtest.h>

#include "controls/editors/DBCtrlsEh.h"
#include "tests/support/editors_fixture.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"

using namespace editorstest;
using namespace editors;

namespace {

// A link with its four events recorded.
struct TLinkLog {
    TFieldDataLinkEh Link;
    std::vector<std::string> Events;
    TLinkLog() {
        Link.OnDataChange = [this](rtl::TObject*) { Events.push_back("data"); };
        Link.OnEditingChange = [this](rtl::TObject*) { Events.push_back("editing"); };
        Link.OnUpdateData = [this](rtl::TObject*) { Events.push_back("update"); };
        Link.OnActiveChange = [this](rtl::TObject*) { Events.push_back("active"); };
    }
    std::vector<std::string> Take() { return std::exchange(Events, {}); }
};

using Log = std::vector<std::string>;

TEST(FieldDataLinkUnbound, KeepsItsOwnValueUntilADataSourceIsSet) {
    TLinkLog l;
    EXPECT_TRUE(l.Link.Unbound());
    EXPECT_TRUE(l.Link.IsActive());
    EXPECT_TRUE(l.Link.CanModify());
    EXPECT_TRUE(l.Link.UnboundValue().IsNull());

    l.Link.StoreFieldValue(42);
    EXPECT_EQ(l.Link.UnboundValue(), Variant(42));
    l.Link.SetText("abc");
    EXPECT_EQ(l.Link.UnboundValue().VType(), rtl::varString);
    EXPECT_EQ(l.Link.UnboundValue().AsAnsiString(), "abc");
    EXPECT_EQ(l.Take(), (Log{"data", "data"}));

    TFixture f = OpenPeople(2);
    rtl::TOwnedPtr<db::TDataSource> src(rtl::Create<db::TDataSource>(nullptr));
    src->SetDataSet(f.DS.get());
    l.Link.AssignLinkDataSource(src.get());
    EXPECT_FALSE(l.Link.Unbound());
    EXPECT_TRUE(l.Link.UnboundValue().IsNull());
    EXPECT_FALSE(l.Link.IsActive()) << "bound without a field";

    l.Link.AssignLinkDataSource(nullptr);
    l.Take();
    l.Link.StoreFieldValue(1);
    EXPECT_TRUE(l.Link.Unbound());
    EXPECT_EQ(l.Take(), (Log{"data"}));
}

TEST(FieldDataLinkUnbound, EditingRunsFromBeginFieldEditToWriteBack) {
    TLinkLog l;
    l.Link.SetReadOnly(true);
    EXPECT_FALSE(l.Link.BeginFieldEdit());
    EXPECT_TRUE(l.Take().empty());

    l.Link.SetReadOnly(false);
    EXPECT_TRUE(l.Link.BeginFieldEdit());
    EXPECT_TRUE(l.Link.BeginFieldEdit());
    EXPECT_EQ(l.Take(), (Log{"editing"}));

    l.Link.HandleWriteBack();  // nothing typed yet
    EXPECT_TRUE(l.Take().empty());
    EXPECT_FALSE(l.Link.LinkEditing());

    l.Link.BeginFieldEdit();
    l.Link.FlagModified();
    l.Take();
    l.Link.HandleWriteBack();
    EXPECT_EQ(l.Take(), (Log{"update"}));
    EXPECT_FALSE(l.Link.Modified());
    EXPECT_FALSE(l.Link.LinkEditing());
}

struct FieldDataLinkBound : ::testing::Test {
    TFixture F = OpenPeople(3);
    rtl::TOwnedPtr<db::TDataSource> Src{rtl::Create<db::TDataSource>(nullptr)};
    rtl::TOwnedPtr<rtl::TComponent> Ctl{rtl::Create<rtl::TComponent>(nullptr)};
    TLinkLog L;
    void SetUp() override {
        Ctl->SetName("Edit1");
        Src->SetDataSet(F.DS.get());
        L.Link.SetControl(Ctl.get());
        L.Link.AssignLinkDataSource(Src.get());
    }
};

TEST_F(FieldDataLinkBound, BindsTheFieldAndEditsTheDataset) {
    L.Link.BindFieldName("name");
    EXPECT_EQ(L.Link.BoundField(), F.F("name"));
    EXPECT_EQ(L.Link.FieldsCount(), 1);
    EXPECT_EQ(L.Link.FieldsField(1), nullptr);
    EXPECT_TRUE(L.Link.IsActive());
    EXPECT_TRUE(L.Link.IsDataSetOpen());
    L.Take();

    EXPECT_TRUE(L.Link.BeginFieldEdit());
    EXPECT_EQ(F.DS->State(), db::dsEdit);
    EXPECT_EQ(L.Take(), (Log{"editing", "data"}));

    L.Link.SetText("typed");
    EXPECT_EQ(F.F("name")->AsString(), "typed");
    EXPECT_EQ(L.Take(), (Log{"data"}));  // the field's change comes back as a reload
    L.Link.StoreFieldValue("stored");
    EXPECT_EQ(F.F("name")->AsString(), "stored");

    L.Link.FlagModified();
    F.F("qty")->SetAsInteger(9);  // another field's change is not this control's
    EXPECT_TRUE(L.Link.Modified());
    L.Take();

    F.DS->Post();  // asks the control for its pending value, then leaves edit state
    EXPECT_EQ(L.Take(), (Log{"update", "editing", "data"}));
    EXPECT_FALSE(L.Link.LinkEditing());
}

TEST_F(FieldDataLinkBound, WriteBackWithoutAChangeFiresNothing) {
    L.Link.BindFieldName("name");
    L.Take();
    L.Link.HandleWriteBack();
    EXPECT_TRUE(L.Take().empty());
}

TEST_F(FieldDataLinkBound, ReadOnlyFieldsAreNotPutIntoEditState) {
    L.Link.BindFieldName("name");
    F.F("name")->SetReadOnly(true);
    EXPECT_FALSE(L.Link.CanModify());
    EXPECT_FALSE(L.Link.BeginFieldEdit());
    EXPECT_EQ(F.DS->State(), db::dsBrowse);
}

TEST_F(FieldDataLinkBound, AMissingFieldNamesTheControlAndKeepsTheFields) {
    L.Link.BindFieldName("id");
    try {
        L.Link.BindFieldName("nope");
        FAIL() << "no error";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Edit1: Field 'nope' not found");
    }
    EXPECT_EQ(L.Link.BoundField(), F.F("id"));
}

TEST_F(FieldDataLinkBound, ClosingWhileControlsAreDisabledDropsTheFields) {
    L.Link.BindFieldName("id");
    F.DS->DisableControls();
    F.DS->Close();
    EXPECT_EQ(L.Link.FieldsCount(), 0);
    F.DS->Open();
    EXPECT_EQ(L.Link.BoundField(), F.F("id"));
    F.DS->EnableControls();
    EXPECT_EQ(L.Link.BoundField(), F.F("id"));
}

TEST_F(FieldDataLinkBound, MultiFieldValuesGoElementByElement) {
    L.Link.SetMultiFields(true);
    L.Link.BindFieldName("id;name");
    ASSERT_EQ(L.Link.FieldsCount(), 2);
    F.DS->Edit();

    L.Link.StoreFieldValue(Variant::VarArray({7, "seven"}));
    EXPECT_EQ(F.F("id")->AsInteger(), 7);
    EXPECT_EQ(F.F("name")->AsString(), "seven");
    L.Link.StoreFieldValue(Variant::Null());
    EXPECT_TRUE(F.F("id")->IsNull());
    EXPECT_TRUE(F.F("name")->IsNull());

    L.Link.StoreFieldValue(Variant::VarArray({8, "eight"}));
    const Variant badShapes[] = {Variant(5), Variant("8;eight"), Variant::VarArray({9}),
                                 Variant::VarArray({9, "nine", 10})};
    for (const Variant& bad : badShapes) {
        try {
            L.Link.StoreFieldValue(bad);
            ADD_FAILURE() << "accepted " << rtl::VarToStrDef(bad, "array");
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), "Value for the fields 'id;name' must be an array of 2 values");
        }
        EXPECT_EQ(F.F("id")->AsInteger(), 8);
        EXPECT_EQ(F.F("name")->AsString(), "eight");
    }
}

TEST(VariantToText, Table) {
    const struct {
        Variant Value;
        const char* Text;
    } cases[] = {
        {Variant(), ""},
        {Variant::Null(), ""},
        {Variant(12), "12"},
        {Variant(2.5), "2,5"},
        {Variant("abc"), "abc"},
        {Variant(true), "True"},
        {Variant::VarArray({1, 2}), ""},
        {Variant::FromDate(rtl::EncodeDate(2026, 3, 5)), "05.03.2026"},
    };
    for (const auto& c : cases) EXPECT_EQ(VariantToText(c.Value), c.Text);
}

}  // namespace
