// The filter row over the people of the grid fixture: the editor's drop-down items and special
// items, its keys, applying the filter and ending the editing.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEh_Style.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class FilterRowTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        FlagSrc = rtl::Create<db::TDataSource>(Form);
        FlagSrc->SetDataSet(People.DS.get());
        Bind({u"id", u"name", u"flag"});
        Grid->STFilter()->SetVisible(true);
        Col(2)->KeyList()->SetCommaText("1,0");
        Col(2)->PickList()->SetCommaText("Yes,No");
        Col(2)->STFilter()->SetListSource(FlagSrc);
        Col(2)->STFilter()->SetListField(u"flag");
        Grid->OnApplyFilter = [this](rtl::TObject*) { ++Applied; };
        SavedCenter = CurrentGridCenter();
        SetCurrentGridCenter(&Center);
        Grid->SetCenter(&Center);
        Form->Show();
        Pump();
    }
    void TearDown() override {
        DBGridTest::TearDown();
        SetCurrentGridCenter(SavedCenter);
    }
    std::vector<std::string> DropDownItems() {
        Grid->StartFilterEdit(2);
        TInplaceFilterEditEh* e = Grid->FilterEditor();
        e->DropDown();
        std::vector<std::string> items;
        for (int i = 0; i < e->Items()->Count(); ++i) items.push_back(e->Items()->Strings(i));
        return items;
    }
    // Picks the list item Text in the open drop-down.
    void Choose(const std::string& Text) {
        TInplaceFilterEditEh* e = Grid->FilterEditor();
        if (!e->ListOpen()) e->DropDown();
        e->PopupList()->SetItemIndex(e->Items()->IndexOf(Text));
        e->CloseUp(true);
    }

    db::TDataSource* FlagSrc = nullptr;
    int Applied = 0;
    TDBGridEhCenter Center;
    TDBGridEhCenter* SavedCenter = nullptr;
};

TEST_F(FilterRowTest, TheDropDownListsSpecialItemsThenTheValuesAsPicked) {
    // The null flag of the third person lists as an empty value.
    EXPECT_EQ(DropDownItems(),
              (std::vector<std::string>{"(Clear filter)", "(All)", "(Not empty)", "(Empty)", "", "No", "Yes"}));
    EXPECT_EQ(Grid->FilterItemTags(), (std::vector<int>{4, 3, 2, 1, 0, 0, 0}));
    Grid->FilterEditor()->CloseUp(false);

    // A sortable column adds the ordering items on top.
    Grid->SetOptionsEh(TDBGridEhOptions(Grid->OptionsEh()).Include(dghAutoSortMarking));
    Col(2)->Title()->SetTitleButton(true);
    const auto items = DropDownItems();
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 3),
              (std::vector<std::string>{"(Order by descending)", "(Order by ascending)", "-"}));
    Grid->FilterEditor()->CloseUp(false);

    // A pick list shorter than the key list leaves the later keys as they are.
    Col(2)->PickList()->SetCommaText("Yes");
    const auto shortItems = DropDownItems();
    EXPECT_NE(std::find(shortItems.begin(), shortItems.end(), "0"), shortItems.end());
    EXPECT_NE(std::find(shortItems.begin(), shortItems.end(), "Yes"), shortItems.end());
}

TEST_F(FilterRowTest, SpecialItemsSetTheTextMarkersOrClearAndApply) {
    Grid->SetOptionsEh(TDBGridEhOptions(Grid->OptionsEh()).Include(dghAutoSortMarking));
    Col(2)->Title()->SetTitleButton(true);
    Col(0)->Title()->SetSortMarker(smUpEh);
    int sortChanges = 0;
    Grid->OnSortMarkingChanged = [&](rtl::TObject*) { ++sortChanges; };
    struct Case {
        const char* Item;
        bool AtOnce;
        const char* Text;
        int Applied;
    };
    const Case cases[] = {
        {"(Empty)", false, "=Null", 0},
        {"(Empty)", true, "=Null", 1},
        {"(Not empty)", true, "<>Null", 1},
        {"(All)", false, "", 0},
    };
    for (const Case& c : cases) {
        CurrentGridCenter()->SetFilterEditCloseUpApplyFilter(c.AtOnce);
        Applied = 0;
        Grid->StartFilterEdit(2);
        Choose(c.Item);
        EXPECT_EQ(Grid->FilterEditor()->EditText(), c.Text) << c.Item << c.AtOnce;
        EXPECT_EQ(Applied, c.Applied) << c.Item << c.AtOnce;
    }
    Applied = 0;
    Grid->StartFilterEdit(2);
    Choose("(Order by ascending)");
    EXPECT_EQ(Col(2)->Title()->SortMarker(), smDownEh);
    EXPECT_EQ(Col(0)->Title()->SortMarker(), smNoneEh);
    EXPECT_EQ(sortChanges, 1);
    EXPECT_EQ(Applied, 0) << "ordering applies no filter";

    Col(0)->STFilter()->SetFilterText(">10");
    Grid->StartFilterEdit(2);
    Choose("(Clear filter)");
    EXPECT_EQ(Col(0)->STFilter()->ExpressionStr(), "");
    EXPECT_EQ(Applied, 1);
}

TEST_F(FilterRowTest, EditorKeysStepOverUnfilterableColumnsAndLeaveDownward) {
    Grid->SetOptions(TDBGridOptions(Grid->Options()).Include(dgTabs));
    Col(1)->STFilter()->SetVisible(false);
    People.DS->Last();
    Grid->StartFilterEdit(0);
    ASSERT_TRUE(Grid->FilterEditing());
    struct Step {
        uint16_t Key;
        ui::TShiftState Shift;
        int Col;
    };
    const Step steps[] = {
        {ui::VK_TAB, {}, 2},
        {ui::VK_TAB, {}, 0},
        {ui::VK_TAB, {ui::ssShift}, 2},
        {ui::VK_RIGHT, {ui::ssCtrl}, 2},
        {ui::VK_LEFT, {ui::ssCtrl}, 0},
        {ui::VK_UP, {}, 0},
    };
    for (const Step& s : steps) {
        uint16_t k = s.Key;
        Grid->EditorKeyDown(Grid->FilterEditor(), k, s.Shift);
        EXPECT_EQ(k, 0);
        EXPECT_EQ(Grid->FilterCol(), s.Col) << s.Key;
        EXPECT_TRUE(Grid->FilterEditing()) << s.Key;
    }
    Grid->FilterEditor()->SetEditText(">15");
    uint16_t down = ui::VK_DOWN;
    Grid->EditorKeyDown(Grid->FilterEditor(), down, {});
    EXPECT_FALSE(Grid->FilterEditing());
    EXPECT_EQ(People.DS->RecNo(), 1) << "the first shown record";
    EXPECT_EQ(Col(0)->STFilter()->ExpressionStr(), ">15");
    // Up from the first record goes back into the filter row.
    uint16_t up = ui::VK_UP;
    Grid->KeyDown(up, {});
    EXPECT_TRUE(Grid->FilterEditing());
}

TEST_F(FilterRowTest, SwitchingTheFilterRowOffStoresTheTypedText) {
    Grid->StartFilterEdit(1);
    Grid->FilterEditor()->SetEditText(Cyr("Бор"));
    Grid->STFilter()->SetVisible(false);
    EXPECT_FALSE(Grid->FilterEditing());
    EXPECT_EQ(Col(1)->STFilter()->ExpressionStr(), Cyr("Бор"));
    // Without a visible filter row the editor never opens.
    Grid->StartFilterEdit(1);
    EXPECT_FALSE(Grid->FilterEditing());
}

TEST_F(FilterRowTest, EnterAppliesAndKeepsTheEditorInItsColumn) {
    Grid->StartFilterEdit(0);
    Grid->FilterEditor()->SetEditText(">=20");
    Grid->FilterEditor()->SetFocus();
    Pump();
    ui::KeyPressInput(ui::VK_RETURN, '\r');
    Pump();
    EXPECT_EQ(Applied, 1);
    EXPECT_EQ(Col(0)->STFilter()->ExpressionStr(), ">=20");
    EXPECT_TRUE(Grid->FilterEditing());
    EXPECT_EQ(Grid->FilterCol(), 0);
}

TEST_F(FilterRowTest, FocusComingBackToTheGridReturnsToTheFilterEditor) {
    auto* other = rtl::Create<ui::TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 200, 100, 20);
    Grid->StartFilterEdit(1);
    Pump();
    ASSERT_TRUE(Grid->FilterEditor()->Focused());
    other->SetFocus();
    Pump();
    Grid->SetFocus();
    Pump();
    EXPECT_TRUE(Grid->FilterEditor()->Focused());
    // Focus handed from the filter editor to the grid stays with the grid.
    Grid->SetFocus();
    Pump();
    EXPECT_TRUE(Grid->Focused());
    EXPECT_TRUE(Grid->FilterEditing());
}

TEST_F(FilterRowTest, CancelModeReachesTheFilterEditor) {
    Grid->StartFilterEdit(2);
    Grid->FilterEditor()->DropDown();
    ASSERT_TRUE(Grid->FilterEditor()->ListOpen());
    Grid->Perform(ui::CM_CANCELMODE, 0, 0);
    EXPECT_FALSE(Grid->FilterEditor()->ListOpen());
    EXPECT_TRUE(Grid->FilterEditing());
}

TEST_F(FilterRowTest, TheEditorMovesWithItsCellWhenTheColumnsScroll) {
    for (int c = 0; c < 3; ++c) Col(c)->SetWidth(Grid->ClientWidth() / 3);
    Pump();
    Grid->StartFilterEdit(2);
    ASSERT_TRUE(Grid->FilterEditing());
    auto cell = [&] { return Grid->SingleCellRect(Grid->DataToGridCol(2), Grid->TitleRowCount() - 1); };
    const int before = Grid->FilterEditor()->Left();
    EXPECT_EQ(before, cell().Left + 1);
    Grid->Perform(ui::WM_HSCROLL, ui::SB_LINELEFT, 0);
    Pump();
    ASSERT_TRUE(Grid->FilterEditing());
    EXPECT_GT(cell().Left + 1, before) << "the columns scrolled";
    EXPECT_EQ(Grid->FilterEditor()->Left(), cell().Left + 1);
}

}  // namespace
}  // namespace gridtest
