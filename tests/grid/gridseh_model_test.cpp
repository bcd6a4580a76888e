// The base grid's model: layout arithmetic, the cell-to-pixel mapping, the writers and their
// errors, size changes that keep contra cells, and moving columns and rows.
#include <gtest/gtest.h>

#include "grid_fixture.h"

using namespace gridtest;

namespace {

std::vector<int> Widths(TTestGrid* G) { return G->ColWidthsArray(); }

template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const EInvalidGridOperationEh& e) {
        return e.Message();
    }
    return "no error";
}

TEST_F(GridTest, AFreshGridHasFiveByFiveCellsOneFixedOfEachAndLinesEverywhere) {
    EXPECT_EQ(Grid->ColCount(), 5);
    EXPECT_EQ(Grid->RowCount(), 5);
    EXPECT_EQ(Grid->FixedCols(), 1);
    EXPECT_EQ(Grid->FixedRows(), 1);
    EXPECT_EQ(Grid->Current(), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid->Width(), 320);
    EXPECT_EQ(Grid->Height(), 120);
    EXPECT_TRUE(Grid->GridOptions().Contains(gopFixedVertLine));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopHorzLine));
    EXPECT_TRUE(Grid->GridOptions().Contains(gopRangeSelect));
    EXPECT_FALSE(Grid->GridOptions().Contains(gopEditing));
}

struct LayoutCase {
    const char* Name;
    int LineWidth;
    int ClientWidth;
    int FixedEnd, ScrollEnd, ContraStart, LastWholeCell;
};

class GridLayout : public GridTest, public ::testing::WithParamInterface<LayoutCase> {};

// Columns of 64 pixels; the case names what the grid has besides.
TEST_P(GridLayout, AxisFieldsAndEveryShownCellMapsBackToItself) {
    const LayoutCase& c = GetParam();
    const std::string name = c.Name;
    if (name == "zero-width") Grid->SetColWidths(2, 0);
    if (name == "frozen") {
        Grid->SetFixedCols(2);
        Grid->SetFrozenColCount(1);
    }
    if (name == "contra") Grid->SetContraColCount(2);
    Grid->SetGridLineWidth(c.LineWidth);
    if (c.LineWidth == 0) Grid->SetGridOptions(Grid->GridOptions() - TGridOptionsEh{gopFixedVertLine, gopVertLine});
    Place(c.ClientWidth, 120);
    const TGridLayoutEh L = Grid->ComputeLayout();
    EXPECT_EQ(L.Horz.FixedEnd, c.FixedEnd);
    EXPECT_EQ(L.Horz.ScrollEnd, c.ScrollEnd);
    EXPECT_EQ(L.Horz.ContraStart, c.ContraStart);
    EXPECT_EQ(L.Horz.LastWholeCell, c.LastWholeCell);
    int checked = 0;
    for (int r = 0; r < Grid->FullRowCount(); ++r)
        for (int col = 0; col < Grid->FullColCount(); ++col) {
            const TRect rect = Grid->CellRangeRect(TGridRect{col, r, col, r}, false, L);
            if (rect.Width() <= 0 || rect.Height() <= 0 || Grid->ColWidths(col) <= 0) continue;
            EXPECT_EQ(Grid->CellAtPoint(rect.Left, rect.Top, L), (TGridCoord{col, r})) << col << "," << r;
            EXPECT_EQ(Grid->CellAtPoint(rect.Right - 1, rect.Bottom - 1, L), (TGridCoord{col, r})) << col << "," << r;
            ++checked;
        }
    EXPECT_GE(checked, 15);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridLayout,
    ::testing::Values(LayoutCase{"zero-width", 0, 250, 64, 250, 250, 3},
                      LayoutCase{"zero-width", 1, 250, 65, 250, 250, 3},
                      LayoutCase{"zero-width", 3, 250, 67, 250, 250, 3}, LayoutCase{"frozen", 0, 250, 128, 250, 250, 2},
                      LayoutCase{"frozen", 1, 250, 130, 250, 250, 2}, LayoutCase{"frozen", 3, 250, 134, 250, 250, 2},
                      LayoutCase{"contra", 0, 320, 64, 192, 192, 2}, LayoutCase{"contra", 1, 320, 65, 189, 189, 1},
                      LayoutCase{"contra", 3, 320, 67, 183, 183, 1}));

TEST_F(GridTest, FrozenColumnsEndTheUnfrozenPartAndContraColumnsStandAtTheRightEdge) {
    Grid->SetColCount(20);
    Grid->SetFixedCols(2);
    Grid->SetFrozenColCount(1);
    Grid->SetContraColCount(2);
    Place(400, 120);
    TGridLayoutEh L = Grid->ComputeLayout();
    EXPECT_EQ(L.Horz.UnfrozenEnd, 65);
    const TRect contra = Grid->CellRangeRect(TGridRect{20, 1, 21, 1}, true, L);
    EXPECT_EQ(contra.Right, 400);
    Grid->SetLeftCol(10);
    L = Grid->ComputeLayout();
    EXPECT_EQ(Grid->CellRangeRect(TGridRect{20, 1, 21, 1}, true, L), contra) << "whatever the scroll position";
    EXPECT_EQ(Grid->CellAtPoint(contra.Left + 1, 30, L).X, 20);
    // A click on a contra column never makes it current.
    Click(contra.Left + 5, 30);
    EXPECT_LT(Grid->Col(), 20);
}

TEST_F(GridTest, MaxTopLeftSkipsZeroWidthCellsAndKeepsATooWideTarget) {
    Grid->SetColCount(10);
    Grid->SetColWidths(8, 0);
    Place(200, 120);  // room for two whole scrollable columns after the fixed one
    EXPECT_EQ(Grid->MaxTopLeft(TGridCoord{9, 4}).X, 7) << "column 8 takes no room";
    Grid->SetColWidths(9, 500);
    EXPECT_EQ(Grid->MaxTopLeft(TGridCoord{9, 4}).X, 9);
}

TEST_F(GridTest, WritersRefuseBadValuesWithTheirTexts) {
    Grid->SetContraColCount(2);
    EXPECT_EQ(ErrorOf([&] { Grid->SetFixedCols(Grid->ColCount()); }),
              "Fixed column count must be less than column count");
    EXPECT_EQ(ErrorOf([&] { Grid->SetFixedRows(5); }), "Fixed row count must be less than row count");
    EXPECT_EQ(ErrorOf([&] { Grid->SetFixedCols(-1); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->SetColWidths(6, 30); }), "no error");
    EXPECT_EQ(ErrorOf([&] { Grid->SetColWidths(7, 30); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->SetRowHeights(5, 30); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->SetTabStops(7, 0); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->SetContraColCount(-1); }), "FContraColCount can not be negative.");
    EXPECT_EQ(ErrorOf([&] { Grid->SetContraRowCount(-3); }), "FContraRowCount can not be negative.");
    EXPECT_EQ(Grid->FixedCols(), 1);
    EXPECT_EQ(Grid->ContraColCount(), 2);
    EXPECT_EQ(Grid->ColWidths(6), 30);

    Grid->SetColCount(0);
    EXPECT_EQ(Grid->ColCount(), 1);
    EXPECT_EQ(Grid->FixedCols(), 0);
}

TEST_F(GridTest, DefaultRowHeightResetsEveryRow) {
    Grid->SetRowHeights(2, 40);
    Grid->SetRowHeights(3, 10);
    Grid->SetDefaultRowHeight(30);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(Grid->RowHeights(r), 30) << r;
}

TEST_F(GridTest, ContraWidthsAndTabStopsMoveWithAColumnCountChange) {
    Grid->SetContraColCount(2);
    for (int i = 0; i < 7; ++i) Grid->SetColWidths(i, 10 * (i + 1));
    Grid->SetTabStops(2, 0);
    Grid->SetTabStops(5, 0);
    Place();
    Grid->SetColCount(6);
    EXPECT_EQ(Widths(Grid), (std::vector<int>{10, 20, 30, 40, 50, 64, 60, 70}));
    EXPECT_EQ(Grid->TabStopsArray(), (std::vector<int>{1, 1, 0, 1, 1, 1, 0, 1}));
    Grid->SetColCount(5);
    EXPECT_EQ(Widths(Grid), (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
    EXPECT_EQ(Grid->TabStopsArray(), (std::vector<int>{1, 1, 0, 1, 1, 0, 1}));
    // Rows likewise.
    Grid->SetContraRowCount(1);
    Grid->SetRowHeights(5, 33);
    Grid->SetRowCount(7);
    EXPECT_EQ(Grid->RowHeights(7), 33);
    EXPECT_EQ(Grid->RowHeights(5), 24);
}

TEST_F(GridTest, ATooLargeContraCountFailsWithTheOldCountsInForce) {
    Grid->SetContraColCount(2);
    Grid->SetColWidths(6, 70);
    EXPECT_EQ(ErrorOf([&] { Grid->SetContraColCount(200000000); }), "Grid too large for operation");
    EXPECT_EQ(Grid->ContraColCount(), 2);
    EXPECT_EQ(Grid->FullColCount(), 7);
    EXPECT_EQ(Widths(Grid).size(), 7u);
    EXPECT_EQ(Grid->ColWidths(6), 70);
    // Without arrays too: the layout would walk every contra cell.
    Grid->SetDefaultColWidth(50);
    EXPECT_EQ(ErrorOf([&] { Grid->SetContraRowCount(200000000); }), "Grid too large for operation");
    EXPECT_EQ(Grid->ContraRowCount(), 0);
}

TEST_F(GridTest, MovingRefusesIndexesOutsideTheArrays) {
    Grid->SetColWidths(1, 20);
    Grid->SetRowHeights(1, 20);
    EXPECT_EQ(ErrorOf([&] { Grid->MoveColumn(-1, 2); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->MoveColumn(1, 5); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->MoveRow(99, 0); }), "Grid index out of range");
    EXPECT_EQ(ErrorOf([&] { Grid->DeleteColumn(7); }), "Grid index out of range");
    EXPECT_EQ(Grid->ColCount(), 5);
    EXPECT_EQ(Grid->ColWidths(1), 20);
    EXPECT_TRUE(Grid->Moves.empty());
}

TEST_F(GridTest, MoveColumnCarriesWidthsAndRemapsCurrentAnchorAndEditorColumns) {
    for (int i = 0; i < 5; ++i) Grid->SetColWidths(i, 30 + i);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopEditing, gopAlwaysShowEditor});
    Place();
    Grid->SetCol(2);
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    EXPECT_EQ(Grid->EditorCell().X, 2);
    Grid->MoveColumn(1, 3);
    EXPECT_EQ(Widths(Grid), (std::vector<int>{30, 32, 33, 31, 34}));
    EXPECT_EQ(Grid->Col(), 1) << "column 2 became 1";
    EXPECT_EQ(Grid->SelectionAnchor().X, 1);
    EXPECT_EQ(Grid->EditorCell().X, 1);
    Grid->MoveColumn(1, 3);
    EXPECT_EQ(Grid->Col(), 3) << "the moved column follows";
    EXPECT_EQ(Grid->Moves, (std::vector<std::pair<int, int>>{{1, 3}, {1, 3}}));
    Grid->MoveRow(3, 1);
    Grid->SetRow(3);
    Grid->MoveRow(3, 1);
    EXPECT_EQ(Grid->Row(), 1);
}

TEST_F(GridTest, DeleteRowMovesOffTheCurrentRowAndShrinks) {
    Place();
    Grid->SetRow(3);
    Grid->DeleteRow(3);
    EXPECT_EQ(Grid->RowCount(), 4);
    EXPECT_EQ(Grid->Row(), 2);
    EXPECT_EQ(Grid->PaintLockCount(), 0);
}

TEST_F(GridTest, LineColoursFallBackByTheGridColour) {
    TGridLineColorsEh* c = Grid->GridLineColors();
    Grid->SetColor(ui::clWhite);
    EXPECT_EQ(c->BrightColor(), ui::clSilver);
    Grid->SetColor(ui::clSilver);
    EXPECT_EQ(c->BrightColor(), ui::clGray);
    Grid->SetContraColCount(1);
    Grid->SetContraRowCount(1);
    c->Colors[7] = ui::clRed;
    c->Colors[14] = ui::clBlue;
    EXPECT_EQ(c->AreaLineColor(5, 2), ui::clRed) << "contra column beside a data row";
    EXPECT_EQ(c->AreaLineColor(2, 5), ui::clBlue) << "contra row";
    EXPECT_EQ(c->AreaLineColor(0, 2), ui::clGray) << "fixed column";
    EXPECT_EQ(c->GetColor12(), ui::clGray) << "unset: the dark colour";
}

}  // namespace
