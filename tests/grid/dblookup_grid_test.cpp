// The lookup list grid over a longer list: its own vertical bar (record numbers, or five
// positions for a list that cannot number its records), its columns and their special-row
// cells, and the width it takes when a column is resized while it fits its columns.
#include <gtest/gtest.h>

#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/Text.h"
#include "tests/support/editorform_fixture.h"

using namespace grid;
using rtl::AnsiString;
using rtl::Variant;

namespace {

class TUnnumberedListEh : public store::TMemDataSet {
    RTL_CLASS(TUnnumberedListEh, store::TMemDataSet)
public:
    using TMemDataSet::TMemDataSet;

protected:
    bool IsSequencedStep() override { return false; }
};

std::vector<memdstest::TCol> ListCols() {
    return {{u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 31, 30}, {u"city", store::mdtString, 31, 30}};
}

std::vector<std::vector<Variant>> ListRows(int N) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 1; i <= N; ++i)
        rows.push_back({Variant(i), Variant(AnsiString("Name ") + std::to_string(i)),
                        Variant(AnsiString("City ") + std::to_string(i))});
    return rows;
}

class LookupGridListTest : public editorstest::EditorFormTest {
protected:
    // A grid of five rows over N records; Numbered false: a list without record numbers.
    void Make(int N, bool Numbered = true) {
        List = std::make_unique<memdstest::TFixture>(ListCols(), ListRows(N));
        if (!Numbered) {
            List->DS.reset(rtl::Create<TUnnumberedListEh>(nullptr));
            List->DS->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(ListCols(), ListRows(N))));
        }
        List->DS->Open();
        Form->Show();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(List->DS.get());
        Grid = rtl::Create<TDBLookupGridEh>(Form);
        Grid->SetName("LookupGrid");
        Grid->SetBounds(10, 10, 240, 100);
        Grid->SetParent(Form);
        Grid->SetListSource(Src);
        Grid->SetListField("name;city");
        Grid->SetKeyField("id");
        Grid->SetListRowCount(5);
        Pump();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        List.reset();
        EditorFormTest::TearDown();
    }
    void VScroll(int Code, int Pos = 0) {
        Grid->Perform(ui::WM_VSCROLL, ui::MakeWParam(static_cast<uint16_t>(Code), static_cast<uint16_t>(Pos)), 0);
        Pump();
    }
    // What the window's bar shows.
    TVertScrollValuesEh Bar() {
        ui::TScrollInfo si;
        si.fMask = ui::SIF_ALL;
        Grid->GetScrollInfo(ui::SB_VERT, si);
        return {si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos};
    }
    // The record number of the first shown row.
    int FirstShown() { return List->DS->RecNo() - Grid->DataLink()->ActiveRecord(); }

    std::unique_ptr<memdstest::TFixture> List;
    db::TDataSource* Src = nullptr;
    TDBLookupGridEh* Grid = nullptr;
};

TEST_F(LookupGridListTest, TheBarCountsRecordsAndScrollingLeavesTheKey) {
    Make(30);
    Grid->SetKeyValue(Variant(1));
    Pump();
    EXPECT_EQ(Bar(), (TVertScrollValuesEh{0, 29, 5, 0}));
    struct Step {
        int Code, Pos, First;
    };
    const Step steps[] = {
        {ui::SB_LINEDOWN, 0, 2},        {ui::SB_PAGEDOWN, 0, 7},        {ui::SB_LINEUP, 0, 6},
        {ui::SB_PAGEUP, 0, 1},          {ui::SB_THUMBPOSITION, 20, 21}, {ui::SB_THUMBTRACK, 3, 4},
        {ui::SB_THUMBPOSITION, 12, 13}, {ui::SB_BOTTOM, 0, 26},         {ui::SB_TOP, 0, 1},
    };
    for (const Step& s : steps) {
        VScroll(s.Code, s.Pos);
        EXPECT_EQ(FirstShown(), s.First) << "code " << s.Code << " pos " << s.Pos;
        EXPECT_EQ(Bar().Pos, s.First - 1) << "code " << s.Code;
        EXPECT_EQ(Grid->KeyValue(), Variant(1)) << "the bar never picks";
    }
    EXPECT_EQ(List->DS->State(), db::dsBrowse);
}

TEST_F(LookupGridListTest, AListWithoutNumbersShowsFivePositions) {
    Make(30, false);
    EXPECT_EQ(Bar(), (TVertScrollValuesEh{0, 4, 0, 0})) << "at the first record";
    VScroll(ui::SB_LINEDOWN);
    EXPECT_EQ(Bar().Pos, 2);
    VScroll(ui::SB_THUMBPOSITION, 4);
    EXPECT_TRUE(List->DS->Eof());
    EXPECT_EQ(Bar().Pos, 4);
    VScroll(ui::SB_THUMBPOSITION, 1);
    EXPECT_EQ(Bar().Pos, 2) << "a page up from the end is between";
    VScroll(ui::SB_THUMBPOSITION, 0);
    EXPECT_EQ(Bar().Pos, 0);
    VScroll(ui::SB_THUMBPOSITION, 3);
    EXPECT_EQ(Bar().Pos, 2);
    EXPECT_TRUE(Grid->KeyValue().IsNull());
}

TEST_F(LookupGridListTest, AShortOrClosedListHasNothingToScroll) {
    Make(3, false);
    EXPECT_EQ(Grid->ListVertScrollValues(), (TVertScrollValuesEh{0, 0, 0, 0})) << "the rows are not filled";
    List->DS->Close();
    EXPECT_EQ(Grid->ListVertScrollValues(), (TVertScrollValuesEh{0, 2, 0, 0}));
}

TEST_F(LookupGridListTest, ASpecialRowCellTakesTheRowsValuesUntilItsOwnAreSet) {
    Make(10);
    editors::TSpecRowEh* row = Grid->SpecRow();
    row->SetCellsText("(none);(any)");
    row->SetColor(ui::clYellow);
    row->SetVisible(true);
    auto* first = static_cast<TDBLookupGridColumnEh*>(Grid->Columns()->Items(0));
    auto* second = static_cast<TDBLookupGridColumnEh*>(Grid->Columns()->Items(1));
    EXPECT_EQ(first->SpecCell()->Text(), "(none)");
    EXPECT_EQ(second->SpecCell()->Text(), "(any)");
    EXPECT_EQ(first->SpecCell()->Color(), ui::clYellow);
    second->SpecCell()->SetText("(any)");
    second->SpecCell()->SetColor(ui::clYellow);
    EXPECT_FALSE(second->SpecCell()->TextAssigned()) << "the row's own value is no change";
    EXPECT_FALSE(second->SpecCell()->ColorAssigned());
    second->SpecCell()->SetText("*");
    EXPECT_TRUE(second->SpecCell()->TextAssigned());
    EXPECT_EQ(second->SpecCell()->Text(), "*");
    row->Font()->SetSize(14);
    EXPECT_EQ(first->SpecCell()->Font()->Size(), 14);
    EXPECT_FALSE(first->SpecCell()->FontAssigned()) << "a copy of the row's font is not the cell's own";
    second->SpecCell()->Font()->SetSize(9);
    EXPECT_TRUE(second->SpecCell()->FontAssigned());
    // Assign takes the font only where the source has its own.
    first->SpecCell()->Assign(second->SpecCell());
    EXPECT_EQ(first->SpecCell()->Text(), "*");
    EXPECT_EQ(first->SpecCell()->Font()->Size(), 9);
    TGridColumnSpecCellEh blank(nullptr);
    second->SpecCell()->Assign(&blank);
    EXPECT_FALSE(second->SpecCell()->TextAssigned());
    EXPECT_EQ(second->SpecCell()->Font()->Size(), 9) << "an unassigned source font leaves the font";
}

TEST_F(LookupGridListTest, MovingADefaultColumnReordersTheListFieldsAndTheSpecialRowCells) {
    Make(10);
    Grid->SpecRow()->SetCellsText("(none);(any)");
    Grid->SpecRow()->SetVisible(true);
    Grid->SetKeyValue(Variant(3));
    Grid->Columns()->Items(0)->SetIndex(1);
    Pump();
    EXPECT_EQ(Grid->ListField(), "city;name");
    EXPECT_EQ(Grid->ListFieldIndex(), 1) << "the display column moved";
    ASSERT_NE(Grid->DisplayField(), nullptr);
    EXPECT_EQ(rtl::WideToAnsi(Grid->DisplayField()->FieldName()), "name");
    EXPECT_EQ(Grid->SelectedText(), "Name 3");
    EXPECT_EQ(Grid->SpecRow()->CellsText(), "(any);(none)");
    ASSERT_EQ(Grid->Columns()->Count(), 2);
    EXPECT_EQ(rtl::WideToAnsi(Grid->Columns()->Items(0)->FieldName()), "city");
    EXPECT_EQ(rtl::WideToAnsi(List->DS->Fields()[1]->FieldName()), "name") << "the list's own field order stays";
    EXPECT_EQ(Grid->KeyValue(), Variant(3));
}

TEST_F(LookupGridListTest, FittedColumnsFillTheWidthAndAResizedColumnWidensTheGrid) {
    Make(10);
    Grid->SetLookupOptions(TDBLookupGridEhOptions{dlgColLinesEh, dlgColumnResizeEh});
    Grid->SetShowTitles(true);
    Grid->SetAutoFit(true);
    Pump();
    auto columnsWidth = [&] {
        int w = 0;
        for (int i = 0; i < Grid->Columns()->Count(); ++i) w += Grid->Columns()->Items(i)->Width() + 1;
        return w;
    };
    EXPECT_FALSE(Grid->ScrollBarVisible(ui::SB_HORZ));
    EXPECT_EQ(columnsWidth(), Grid->ClientWidth());
    Grid->SetBounds(Grid->Left(), Grid->Top(), Grid->Width() + 60, Grid->Height());
    Pump();
    EXPECT_EQ(columnsWidth(), Grid->ClientWidth()) << "a wider grid widens the columns";
    const int client = Grid->ClientWidth();
    const TRect r = Grid->SingleCellRect(0, 0);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(Grid, r.Right, r.Top + 3));
    ui::MouseInput(ui::WM_MOUSEMOVE, At(Grid, r.Right + 20, r.Top + 3));
    ui::MouseInput(ui::WM_LBUTTONUP, At(Grid, r.Right + 20, r.Top + 3));
    Pump();
    EXPECT_EQ(Grid->ClientWidth(), client + 20) << "the grid follows the dragged column";
    EXPECT_EQ(columnsWidth(), Grid->ClientWidth());
    EXPECT_EQ(Grid->TotalColumnWidth(), Grid->ClientWidth()) << "the dragged widths are the new base";
}

TEST_F(LookupGridListTest, ComingBackToTheGridStartsANewSearchAndItWantsArrowsAndCharacters) {
    Make(10);
    auto* other = rtl::Create<ui::TEdit>(Form);
    other->SetBounds(10, 200, 100, 24);
    other->SetParent(Form);
    Focus(Grid);
    Type("name 2");
    EXPECT_EQ(Grid->SearchText(), "name 2");
    EXPECT_EQ(Grid->KeyValue(), Variant(2));
    Focus(other);
    Focus(Grid);
    EXPECT_EQ(Grid->SearchText(), "");
    const auto code = Grid->Perform(ui::WM_GETDLGCODE, 0, 0);
    EXPECT_EQ(code & (ui::DLGC_WANTARROWS | ui::DLGC_WANTCHARS), ui::DLGC_WANTARROWS | ui::DLGC_WANTCHARS);
}

}  // namespace
