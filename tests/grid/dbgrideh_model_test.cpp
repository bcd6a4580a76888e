// The data grid's option sets, cell classification and references to other components.
#include <gtest/gtest.h>

#include "dbgrid_fixture.h"
#include "framework/ui/ImgList.h"
#include "framework/ui/Menus.h"

namespace gridtest {
namespace {

using GridModelTest = DBGridTest;

const TDBGridEhOptions Pair{dghColumnResize, dghColumnMove};

TEST_F(GridModelTest, ColumnResizeAndItsTwoBaseOptionsFollowEachOther) {
    Bind({u"id"});
    ASSERT_TRUE(Grid->Options().Contains(dgColumnResize));
    ASSERT_EQ(Grid->OptionsEh() * Pair, Pair);

    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgColumnResize});
    EXPECT_EQ(Grid->OptionsEh() * Pair, TDBGridEhOptions{});
    EXPECT_FALSE(Grid->GridOptions().Contains(gopColSizing));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopColMoving));

    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgColumnResize});
    EXPECT_EQ(Grid->OptionsEh() * Pair, Pair);
    EXPECT_TRUE(Grid->GridOptions().Contains(gopColSizing));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopColMoving));

    // OptionsEh losing the pair clears dgColumnResize, gaining it sets it.
    Grid->SetOptionsEh(Grid->OptionsEh() - TDBGridEhOptions{dghColumnMove});
    EXPECT_FALSE(Grid->Options().Contains(dgColumnResize));
    EXPECT_TRUE(Grid->OptionsEh().Contains(dghColumnResize));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopColSizing));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopColMoving));
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghColumnMove});
    EXPECT_TRUE(Grid->Options().Contains(dgColumnResize));
}

TEST_F(GridModelTest, RowSelectMasksEditingFromTheBaseGrid) {
    Bind({u"id"});
    EXPECT_TRUE(Grid->GridOptions().Contains(gopEditing));
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgRowSelect, dgAlwaysShowEditor});
    EXPECT_TRUE(Grid->Options().Contains(dgEditing));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopRowSelect));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopEditing));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopAlwaysShowEditor));
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgRowSelect});
    EXPECT_TRUE(Grid->GridOptions().Contains(gopEditing));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopAlwaysShowEditor));
    // Lines follow their options.
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgColLines});
    EXPECT_FALSE(Grid->GridOptions().Contains(gopVertLine));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopFixedVertLine));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopHorzLine));
}

TEST_F(GridModelTest, LoadingSynchronisesOnceLoaded) {
    Grid->SetComponentStateFlag(rtl::csLoading, true);
    Grid->SetOptionsEh(Grid->OptionsEh() - Pair);
    Grid->SetOptions(DefaultDBGridOptions);  // equal: nothing
    EXPECT_TRUE(Grid->Options().Contains(dgColumnResize));
    EXPECT_EQ(Grid->OptionsEh() * Pair, TDBGridEhOptions{});
    Grid->Loaded();
    EXPECT_EQ(Grid->OptionsEh() * Pair, Pair);
    EXPECT_TRUE(Grid->GridOptions().Contains(gopColMoving));
}

TEST_F(GridModelTest, GetCellTypeClassifiesIndicatorTitlesFilterDataAndFooters) {
    Bind({u"id", u"name"});
    Grid->SetRowCount(6);  // title, data rows 1..5
    Grid->SetContraRowCount(2);
    struct Case {
        TDBGridOptions Options;
        TDBGridEhOptions OptionsEh;
        bool Filter;
        int Col, Row;
        TCellColAreaEh ColArea;
        TCellRowAreaEh RowArea;
        int DataCol, DataRow;
    };
    const TDBGridOptions noInd = DefaultDBGridOptions - TDBGridOptions{dgIndicator};
    const Case cases[] = {
        {DefaultDBGridOptions, DefaultDBGridEhOptions, false, 0, 0, ccaIndicator, rcaTitle, -1, -1},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, false, 1, 0, ccaData, rcaTitle, 0, -1},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, false, 2, 3, ccaData, rcaData, 1, 2},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, false, 1, 6, ccaData, rcaFooter, 0, 0},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, false, 1, 7, ccaData, rcaFooter, 0, 1},
        {noInd, DefaultDBGridEhOptions, false, 0, 1, ccaData, rcaData, 0, 0},
        {noInd, DefaultDBGridEhOptions + TDBGridEhOptions{dghShowRecNo}, false, 0, 1, ccaIndicator, rcaData, -1, 0},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, true, 1, 1, ccaData, rcaFilter, 0, 0},
        {DefaultDBGridOptions, DefaultDBGridEhOptions, true, 1, 2, ccaData, rcaData, 0, 0},
        {noInd - TDBGridOptions{dgTitles}, DefaultDBGridEhOptions, true, 0, 0, ccaData, rcaFilter, 0, 0},
        {noInd - TDBGridOptions{dgTitles}, DefaultDBGridEhOptions, false, 0, 0, ccaData, rcaData, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Col) + "," + std::to_string(c.Row));
        Grid->SetOptions(c.Options);
        Grid->SetOptionsEh(c.OptionsEh);
        Grid->STFilter()->SetVisible(c.Filter);
        Grid->SetRowCount(Grid->TitleRowCount() + 5);
        const int shift = c.Row >= 6 ? Grid->RowCount() - 6 : 0;  // footers follow the data rows
        const TCellAreaEh a = Grid->GetCellType(c.Col, c.Row + shift);
        EXPECT_EQ(a.ColArea, c.ColArea);
        EXPECT_EQ(a.RowArea, c.RowArea);
        EXPECT_EQ(a.DataCol, c.DataCol);
        EXPECT_EQ(a.DataRow, c.DataRow);
        EXPECT_EQ(Grid->GridToDataCol(c.Col), c.Col - Grid->IndicatorColCount());
        EXPECT_EQ(Grid->DataToGridCol(Grid->GridToDataCol(c.Col)), c.Col);
    }
}

TEST_F(GridModelTest, FreeingAComponentClearsEveryReferenceToIt) {
    Bind({u"id", u"name", u"city"});
    auto* menu = rtl::Create<ui::TPopupMenu>(Form);
    auto* images = ui::TCustomImageList::CreateSize(16, 16, Form);
    auto* list = rtl::Create<db::TDataSource>(Form);
    list->SetDataSet(Cities.DS.get());
    Col(0)->SetPopupMenu(menu);
    Col(1)->SetPopupMenu(menu);
    Col(1)->SetImageList(images);
    Grid->SetTitleImages(images);
    Col(2)->STFilter()->SetListSource(list);
    ASSERT_EQ(Col(1)->Field(), F("name"));

    menu->Free();
    EXPECT_EQ(Col(0)->PopupMenu(), nullptr);
    EXPECT_EQ(Col(1)->PopupMenu(), nullptr);
    images->Free();
    EXPECT_EQ(Col(1)->ImageList(), nullptr);
    EXPECT_EQ(Grid->TitleImages(), nullptr);
    list->Free();
    EXPECT_EQ(Col(2)->STFilter()->ListSource(), nullptr);

    // A field freed under the grid leaves no column pointing at it.
    People.DS->Close();
    F("name")->Free();
    EXPECT_EQ(Col(1)->CachedField(), nullptr);
    People.DS->Open();
    EXPECT_EQ(Col(1)->Field(), nullptr);
    EXPECT_EQ(Col(0)->Field(), F("id"));

    Src->Free();
    EXPECT_EQ(Grid->DataSource(), nullptr);
    EXPECT_EQ(Col(0)->Field(), nullptr);

    // A list of no owner shared by the titles and a column: dropping it from the titles still
    // leaves the column told when it goes.
    auto* shared = ui::TCustomImageList::CreateSize(16, 16, nullptr);
    Grid->SetTitleImages(shared);
    Col(0)->SetImageList(shared);
    Grid->SetTitleImages(nullptr);
    shared->Free();
    EXPECT_EQ(Col(0)->ImageList(), nullptr);
}

TEST_F(GridModelTest, FreeingTheDatasetLeavesNoField) {
    Bind({u"id", u"city"});
    ASSERT_EQ(Col(1)->Field(), F("city"));
    People.DS.reset();
    EXPECT_EQ(Src->DataSet(), nullptr);
    EXPECT_EQ(Col(0)->CachedField(), nullptr);
    EXPECT_EQ(Col(1)->CachedField(), nullptr);
    EXPECT_EQ(Col(1)->Field(), nullptr);
}

TEST_F(GridModelTest, SelectionKindsNeedMultiSelectAndRectanglesNeedCells) {
    Bind({u"id"});
    EXPECT_TRUE(Grid->SelectionAllowed(gstNon));
    EXPECT_FALSE(Grid->SelectionAllowed(gstRecordBookmarks));
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    for (TDBGridEhSelectionType k : {gstRecordBookmarks, gstRectangle, gstColumns, gstAll})
        EXPECT_TRUE(Grid->SelectionAllowed(k)) << k;
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgRowSelect});
    EXPECT_FALSE(Grid->SelectionAllowed(gstRectangle));
    EXPECT_FALSE(Grid->SelectionAllowed(gstColumns));
    EXPECT_TRUE(Grid->SelectionAllowed(gstAll));
    // Narrowing the allowed kinds drops a selection of a kind no longer allowed.
    Grid->SelectionSetType(gstAll);
    Grid->SetAllowedSelections(TDBGridEhAllowedSelections{gstRecordBookmarks});
    EXPECT_EQ(Grid->SelectionType(), gstNon);
    EXPECT_FALSE(Grid->SelectionAllowed(gstAll));
}

TEST_F(GridModelTest, MechanicalSettersIgnoreNegativesAndRowColoursFollowUntilAssigned) {
    Bind({u"id"});
    Grid->SetFooterRowCount(-1);
    EXPECT_EQ(Grid->FooterRowCount(), 0);
    Grid->SetFrozenCols(-2);
    EXPECT_EQ(Grid->FrozenCols(), 0);
    Grid->SetRowHeight(-5);
    EXPECT_EQ(Grid->RowHeight(), 0);
    Grid->SetRowLines(-1);
    EXPECT_EQ(Grid->RowLines(), 0);
    Grid->SetColor(ui::clYellow);
    EXPECT_EQ(Grid->EvenRowColor(), ui::clYellow);
    Grid->SetEvenRowColor(ui::clYellow);
    EXPECT_TRUE(Grid->EvenRowColorAssigned());
    Grid->SetColor(ui::clRed);
    EXPECT_EQ(Grid->EvenRowColor(), ui::clYellow);
    EXPECT_EQ(Grid->OddRowColor(), ui::clRed);
}

}  // namespace
}  // namespace gridtest
