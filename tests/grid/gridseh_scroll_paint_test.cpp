// Scrolling and the scroll bars; what a paint draws.
#include <gtest/gtest.h>

#include "grid_fixture.h"

using namespace gridtest;
using ui::TDrawOp;
using ui::TDrawRecord;

namespace {

class GridScroll : public GridTest {
protected:
    // 100 rows of 25 pixels with their lines, ten of them visible under the fixed row.
    void PlaceHundredRows() {
        Grid->SetScrollBars(ui::TScrollStyle::ssVertical);
        Grid->SetRowCount(100);
        Place(320 + ui::GetSystemMetrics(ui::SM_CXVSCROLL), 275);
        ASSERT_EQ(Grid->ClientHeight(), 275);
    }
    int VScroll(int Code, int Pos = 0) {
        Grid->Perform(ui::WM_VSCROLL, ui::MakeWParam(static_cast<uint16_t>(Code), static_cast<uint16_t>(Pos)), 0);
        return Grid->TopRow();
    }
    int HScroll(int Code, int Pos = 0) {
        Grid->Perform(ui::WM_HSCROLL, ui::MakeWParam(static_cast<uint16_t>(Code), static_cast<uint16_t>(Pos)), 0);
        return Grid->LeftCol();
    }
};

TEST_F(GridScroll, ThumbFollowsTheTopRowOverTheScrollableRange) {
    PlaceHundredRows();
    const TGridLayoutEh L = Grid->ComputeLayout();
    EXPECT_EQ(L.Vert.LastWholeCell, 10);
    EXPECT_EQ(Grid->MaxTopLeft(TGridCoord{4, 99}).Y, 90);
    EXPECT_TRUE(Grid->ScrollBarVisible(ui::SB_VERT));
    Grid->SetTopRow(46);
    EXPECT_EQ(Grid->GetScrollPos(ui::SB_VERT), MulDiv(45, 127, 89));
    EXPECT_EQ(VScroll(ui::SB_THUMBPOSITION, 127), 90);
    EXPECT_EQ(Grid->GetScrollPos(ui::SB_VERT), 127);
}

TEST_F(GridScroll, PageDownMovesByTheWholeVisibleRowsAndStopsAtTheLastPage) {
    PlaceHundredRows();
    Key(ui::VK_NEXT);
    EXPECT_EQ(Grid->Row(), 10);
    EXPECT_EQ(Grid->TopRow(), 10);
    for (int i = 0; i < 20; ++i) Key(ui::VK_NEXT);
    EXPECT_EQ(Grid->TopRow(), 90);
    EXPECT_EQ(Grid->Row(), 99);
    EXPECT_EQ(VScroll(ui::SB_PAGEUP), 81);
    EXPECT_EQ(VScroll(ui::SB_PAGEDOWN), 90);
}

TEST_F(GridScroll, LineScrollingStepsOverRowsOfNoHeight) {
    PlaceHundredRows();
    Grid->SetRowHeights(2, 0);
    Grid->SetRowHeights(3, 0);
    EXPECT_EQ(VScroll(ui::SB_LINEDOWN), 4);
    EXPECT_EQ(VScroll(ui::SB_LINEUP), 1) << "rows 3 and 2 are passed over back to the first";
}

TEST_F(GridScroll, TopAndBottomCodesReachBothEndsInEveryHorizontalMode) {
    Grid->SetScrollBars(ui::TScrollStyle::ssHorizontal);
    Grid->SetColCount(20);
    Place(320, 200);
    // By columns.
    const int maxLeft = Grid->MaxTopLeft(TGridCoord{19, 4}).X;
    EXPECT_EQ(HScroll(ui::SB_BOTTOM), maxLeft);
    EXPECT_EQ(Grid->GetScrollPos(ui::SB_HORZ), 127);
    EXPECT_EQ(HScroll(ui::SB_TOP), 1);
    // By pixels.
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowSelect});
    Grid->UpdateScrollRange();
    ASSERT_GT(Grid->HorzPixelPage(), 0);
    HScroll(ui::SB_BOTTOM);
    EXPECT_EQ(Grid->HorzPixelPos(), Grid->HorzPixelExtent() - Grid->HorzPixelPage());
    EXPECT_EQ(Grid->HorzPixelPage(), Grid->ComputeLayout().Horz.ScrollLimit - Grid->ComputeLayout().Horz.FixedEnd);
    HScroll(ui::SB_TOP);
    EXPECT_EQ(Grid->HorzPixelPos(), 0);
    EXPECT_EQ(Grid->LeftCol(), 1);
    EXPECT_EQ(Grid->DataOffset(), 0);
    // Inside one column.
    Grid->SetGridOptions(Grid->GridOptions() - TGridOptionsEh{gopRowSelect});
    Grid->SetColCount(1);
    Grid->SetColWidths(0, 1000);
    Grid->UpdateScrollRange();
    HScroll(ui::SB_BOTTOM);
    EXPECT_EQ(Grid->SingleColumnOffset(), 1000 - Grid->ClientWidth());
    HScroll(ui::SB_TOP);
    EXPECT_EQ(Grid->SingleColumnOffset(), 0);
}

TEST_F(GridScroll, RowSelectArrowsScrollByPixels) {
    Grid->SetScrollBars(ui::TScrollStyle::ssHorizontal);
    Grid->SetColCount(20);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowSelect});
    Place(320, 200);
    const int step = Grid->HorzPixelPage() / 20;
    Key(ui::VK_RIGHT);
    EXPECT_EQ(Grid->HorzPixelPos(), step);
    EXPECT_EQ(Grid->DataOffset(), step);
    EXPECT_EQ(Grid->LeftCol(), 1);
    for (int i = 0; i < 10; ++i) Key(ui::VK_RIGHT);
    EXPECT_EQ(Grid->LeftCol(), 1 + 11 * step / 65);
    EXPECT_EQ(Grid->DataOffset(), 11 * step % 65);
}

TEST_F(GridScroll, RemovingRowsPullsTheTopRowBack) {
    PlaceHundredRows();
    Grid->SetTopRow(90);
    Grid->SetRowCount(50);
    EXPECT_EQ(Grid->TopRow(), 40);
    Grid->SetRowCount(5);
    EXPECT_EQ(Grid->TopRow(), 1);
    EXPECT_FALSE(Grid->ScrollBarVisible(ui::SB_VERT));
}

TEST_F(GridScroll, TheWheelMovesTheCurrentRowAndIsHandledAtTheEnd) {
    PlaceHundredRows();
    Grid->SetRow(99);
    ui::MouseWheelInput(-120, At(Grid, 50, 50));
    Pump();
    EXPECT_EQ(Grid->Row(), 99);
    ui::MouseWheelInput(120, At(Grid, 50, 50));
    Pump();
    EXPECT_EQ(Grid->Row(), 98);
}

// ---------------------------------------------------------------------------------------------
// Painting

class GridPaint : public GridTest {
protected:
    // Records of lines: each two-point line as (from, to) and its colour.
    struct Line {
        TPoint A, B;
        ui::TColor Color;
    };
    std::vector<Line> Lines() {
        std::vector<Line> out;
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::PolyPolyline))
            for (size_t i = 0; i + 1 < r->Points.size(); i += 2)
                out.push_back({r->Points[i], r->Points[i + 1], r->Pen.Color});
        return out;
    }
    TPoint Origin() { return Grid->ClientToParent(TPoint{0, 0}, Form); }
};

TEST_F(GridPaint, AClearDataLineFlagPaintsThoseLinesInTheGridColour) {
    Grid->SetGridOptions(TGridOptionsEh{gopFixedVertLine, gopFixedHorzLine, gopHorzLine});
    Place();
    PaintAll();
    const TGridLayoutEh L = Grid->ComputeLayout();
    const TPoint o = Origin();
    int dataVert = 0, fixedVert = 0;
    for (const Line& l : Lines()) {
        if (l.A.X != l.B.X) continue;
        const int x = l.A.X - o.X, y = l.B.Y - o.Y;
        if (x > L.Horz.FixedEnd && y > L.Vert.FixedEnd) {
            EXPECT_EQ(l.Color, ui::ColorToRGB(Grid->Color()));
            ++dataVert;
        } else if (y <= L.Vert.FixedEnd && x > L.Horz.FixedEnd) {
            EXPECT_EQ(l.Color, ui::ColorToRGB(ui::clGray)) << "fixed lines in the dark colour";
            ++fixedVert;
        }
    }
    EXPECT_EQ(dataVert, 3) << "the line after the cut column lies outside";
    EXPECT_EQ(fixedVert, 3);
    EXPECT_EQ(L.Horz.FixedEnd, 65) << "the cells keep the line's room";
}

TEST_F(GridPaint, WideLinesAreCentredOnTheirBandWithFlatEnds) {
    Grid->SetGridLineWidth(3);
    Place();
    PaintAll();
    bool seen = false;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::PolyPolyline)) {
        EXPECT_EQ(r->Pen.Width, 3);
        EXPECT_EQ(r->Pen.EndCap, ui::TPenEndCap::pecFlat);
        for (const TPoint& p : r->Points)
            if (p.X - Origin().X == 65) seen = true;  // column 0 is 64 wide: the band is 64..66
    }
    EXPECT_TRUE(seen);
}

TEST_F(GridPaint, EveryCellGetsItsStateAndTheEditorsCellIsLeftAlone) {
    Place();
    std::vector<std::pair<int, int>> drawn = PaintAll();
    EXPECT_EQ(drawn.size(), 25u);
    EXPECT_TRUE(StateOf(0, 2).Contains(gdFixed));
    EXPECT_TRUE(StateOf(1, 1).Contains(gdFocused));
    EXPECT_TRUE(StateOf(1, 1).Contains(gdSelected));
    EXPECT_TRUE(StateOf(2, 2).Empty());
    EXPECT_EQ(Surface()->OfKind(TDrawOp::FocusRect).size(), 1u);

    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopEditing});
    Grid->SetEditorMode(true);
    drawn = PaintAll();
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), std::make_pair(1, 1)), 0);
    EXPECT_EQ(drawn.size(), 24u);
}

TEST_F(GridPaint, RowSelectDrawsOneFocusRectangleAroundTheRow) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowSelect});
    Place();
    Grid->SetRow(2);
    PaintAll();
    const auto focus = Surface()->OfKind(TDrawOp::FocusRect);
    ASSERT_EQ(focus.size(), 1u);
    const TRect row = Grid->CellRangeRect(TGridRect{1, 2, 4, 2}, false);
    EXPECT_EQ(focus[0]->Rect.Height(), row.Height());
    EXPECT_EQ(focus[0]->Rect.Width(), row.Width());
    for (int c = 1; c < 5; ++c) EXPECT_TRUE(StateOf(c, 2).Contains(gdSelected)) << c;
}

TEST_F(GridPaint, WithoutDefaultDrawingOnlyLinesAndCellsAreDrawn) {
    Grid->SetBaseDefaultDrawing(false);
    Place(5 * 65, 5 * 25);  // the cells fill the client area
    EXPECT_EQ(PaintAll().size(), 25u);
    EXPECT_TRUE(Surface()->OfKind(TDrawOp::FillRect).empty());
    EXPECT_TRUE(Surface()->OfKind(TDrawOp::FocusRect).empty());
    const size_t linesWithout = Surface()->OfKind(TDrawOp::PolyPolyline).size();
    Grid->SetBaseDefaultDrawing(true);
    PaintAll();
    EXPECT_GT(Surface()->OfKind(TDrawOp::FillRect).size(), 25u) << "backgrounds and the fixed cells' 3D frames";
    EXPECT_EQ(Surface()->OfKind(TDrawOp::PolyPolyline).size(), linesWithout);
    EXPECT_EQ(Surface()->OfKind(TDrawOp::FocusRect).size(), 1u);
}

TEST_F(GridPaint, ALockedGridPaintsNothingAndOnlyInvalidCellsAreDrawn) {
    Place();
    Grid->LockPaint();
    EXPECT_TRUE(PaintAll().empty());
    EXPECT_TRUE(Surface()->Records().empty());
    Grid->UnlockPaint();
    Grid->UnlockPaint();
    EXPECT_EQ(Grid->PaintLockCount(), 0);
    Paint();
    Grid->InvalidateCell(3, 2);
    EXPECT_EQ(Paint(), (std::vector<std::pair<int, int>>{{3, 2}}));
}

TEST_F(GridPaint, ContraCellsAreDrawnAtTheEdgeNeverFocusedAndClipTheScrolledColumns) {
    Grid->SetColCount(12);
    Grid->SetContraColCount(2);
    Grid->SetContraRowCount(1);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowSelect});
    Place(400, 200);
    Grid->ScrollHorzPixels(30);
    ASSERT_EQ(Grid->DataOffset(), 30);
    PaintAll();
    const TGridLayoutEh L = Grid->ComputeLayout();
    EXPECT_TRUE(Drew(12, 2));
    EXPECT_TRUE(Drew(13, 5));
    EXPECT_TRUE(StateOf(12, 1).Empty()) << "not focused, not selected";
    // The partly hidden first column is drawn clipped at the fixed columns' end.
    bool clipped = false;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Text))
        if (r->Text == CellText(1, 2)) {
            ASSERT_TRUE(r->Clipped);
            clipped = r->Clip.Bounds().Left >= Origin().X + L.Horz.FixedEnd;
        }
    EXPECT_TRUE(clipped);
}

}  // namespace
