// Column filter settings: lookup columns, key and pick lists, and the grid's filter-row switch.
#include <gtest/gtest.h>

#include "dbgrid_fixture.h"

namespace gridtest {
namespace {

using FilterTest = DBGridTest;

TEST_F(FilterTest, LookupColumnFiltersByTheKeyOfTheTypedText) {
    Bind({u"id", u"city"});
    TSTColumnFilterEh* f = Col(1)->STFilter();
    EXPECT_EQ(f->KeyFieldName(), u"cid");
    EXPECT_EQ(f->FilterFieldName(), u"cid");
    EXPECT_EQ(f->ListFieldName(), u"city");
    EXPECT_EQ(f->ListDataSet(), Cities.DS.get());

    f->SetFilterText(Cyr("Тула"));
    EXPECT_EQ(f->Expression().FirstOperator, stfoIn);
    EXPECT_EQ(f->Expression().FirstOperand.AsAnsiString(), Cyr("Тула"));
    EXPECT_EQ(f->FirstOperandValue().AsInteger(), 1);
    EXPECT_EQ(f->ExpressionStr(), Cyr("Тула"));

    f->SetFilterText(Cyr("Москва"));
    EXPECT_EQ(f->Expression().FirstOperator, stfoNull);
    EXPECT_TRUE(f->FirstOperandValue().IsNull());

    f->SetFilterText(Cyr("Орёл"));
    f->ClearFilter();
    EXPECT_EQ(f->Expression().FirstOperator, stfoNone);
    EXPECT_TRUE(f->FirstOperandValue().IsNull());
    EXPECT_EQ(f->ExpressionText(), "");

    // A plain column filters by what was typed.
    TSTColumnFilterEh* id = Col(0)->STFilter();
    id->SetFilterText(">= 20");
    EXPECT_EQ(id->KeyFieldName(), u"");
    EXPECT_EQ(id->FilterFieldName(), u"id");
    EXPECT_EQ(id->Expression().ValueType, stvtNumber);
    EXPECT_EQ(id->FirstOperandValue().AsDouble(), 20.0);
    EXPECT_EQ(id->ExpressionText(), ">= 20");
}

TEST_F(FilterTest, PickListEntriesBecomeTheirKeysWithinTheKeyList) {
    Bind({u"flag"});
    TColumnEh* c = Col(0);
    c->PickList()->SetCommaText("Yes,No,Maybe");
    struct Case {
        const char* Keys;
        const char* Typed;
        std::vector<std::string> Operands;
    };
    const Case cases[] = {
        {"1,0", "Yes", {"1"}},
        {"1,0", "In (Yes,No)", {"1", "0"}},
        {"1,0", "= No or Maybe", {"0", "Maybe"}},
        // A key list shorter than the pick list leaves the unmatched entries as typed.
        {"1", "No", {"No"}},
        {"1", "In (Yes,Maybe)", {"1", "Maybe"}},
        {"1,0,9,8", "Maybe", {"9"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.Keys) + " / " + k.Typed);
        c->KeyList()->SetCommaText(k.Keys);
        c->STFilter()->SetFilterText(k.Typed);
        const TSTFilterExpressionEh e = c->STFilter()->Expression();
        EXPECT_EQ(e.ValueType, stvtText);
        std::vector<std::string> got;
        for (const Variant* v : {&e.FirstOperand, &e.SecondOperand}) {
            if (v->IsNull()) continue;
            if (v->IsArray())
                for (int i = v->ArrayLowBound(); i <= v->ArrayHighBound(); ++i)
                    got.push_back(v->GetElement(i).AsAnsiString());
            else
                got.push_back(v->AsAnsiString());
        }
        EXPECT_EQ(got, k.Operands);
    }
    c->KeyList()->SetCommaText("1,0");
    c->STFilter()->SetFilterText("Yes");
    EXPECT_EQ(c->STFilter()->ExpressionText(), "~ '1'");
}

TEST_F(FilterTest, ListSourceGivesAValueListOfItsField) {
    Bind({u"cid"});
    TSTColumnFilterEh* f = Col(0)->STFilter();
    EXPECT_FALSE(f->HasValueList());
    EXPECT_EQ(f->CreateValueList(), nullptr);
    auto* list = rtl::Create<db::TDataSource>(Form);
    list->SetDataSet(Cities.DS.get());
    f->SetListSource(list);
    f->SetKeyField(u"cid");
    f->SetListField(u"city");
    EXPECT_TRUE(f->HasValueList());
    auto values = f->CreateValueList();
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->GetValues()->Count(), 2);
    // Typed list text stands for its key; the rendering lists what was typed.
    f->SetFilterText(Cyr("Орёл"));
    EXPECT_EQ(f->FirstOperandValue().AsInteger(), 2);
    EXPECT_EQ(f->ExpressionText(), Cyr("Орёл"));
    f->SetListField(u"nothing");
    EXPECT_EQ(f->CreateValueList(), nullptr);
}

TEST_F(FilterTest, AssignCopiesSettingsButNotTheFilter) {
    Bind({u"id", u"name"});
    TSTColumnFilterEh* a = Col(0)->STFilter();
    a->SetDataField(u"cid");
    a->SetListField(u"city");
    a->SetVisible(false);
    a->SetFilterText("=5");
    TSTColumnFilterEh* b = Col(1)->STFilter();
    b->Assign(a);
    EXPECT_EQ(b->DataField(), u"cid");
    EXPECT_EQ(b->ListField(), u"city");
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(b->Expression().FirstOperator, stfoNone);
    EXPECT_EQ(b->ExpressionStr(), "");
}

TEST_F(FilterTest, GridFilterRowAddsATitleRow) {
    Bind({u"id"});
    EXPECT_EQ(Grid->TitleRowCount(), 1);
    Grid->STFilter()->SetVisible(true);
    EXPECT_TRUE(Grid->FilterRowVisible());
    EXPECT_EQ(Grid->TitleRowCount(), 2);
    EXPECT_EQ(Grid->FixedRows(), 2);
    Grid->STFilter()->SetVisible(false);
    EXPECT_EQ(Grid->TitleRowCount(), 1);
}

}  // namespace
}  // namespace gridtest
