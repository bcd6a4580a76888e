// Keyboard navigation, mouse states, sizing and moving, cell clicks, and the in-place editor.
#include <gtest/gtest.h>

#include "framework/ui/Clipbrd.h"
#include "grid_fixture.h"

using namespace gridtest;

namespace {

using Cell = TGridCoord;

TEST_F(GridTest, CtrlEndGoesToTheLastCellAndShowsIt) {
    Grid->SetColCount(20);
    Grid->SetRowCount(100);
    Place();
    KeyWith({ui::VK_CONTROL}, ui::VK_END);
    EXPECT_EQ(Grid->Current(), (Cell{19, 99}));
    EXPECT_EQ(Grid->TopRow(), Grid->MaxTopLeft(Cell{19, 99}).Y);
    EXPECT_EQ(Grid->LeftCol(), Grid->MaxTopLeft(Cell{19, 99}).X);
    KeyWith({ui::VK_CONTROL}, ui::VK_HOME);
    EXPECT_EQ(Grid->Current(), (Cell{1, 1}));
    EXPECT_EQ(Grid->TopRow(), 1);
}

TEST_F(GridTest, HomeAndEndWithRowSelectMoveBetweenRows) {
    Grid->SetRowCount(50);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowSelect});
    Place();
    Key(ui::VK_END);
    EXPECT_EQ(Grid->Row(), 49);
    Key(ui::VK_HOME);
    EXPECT_EQ(Grid->Row(), 1);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Grid->SelectionAnchor().X, 4);
}

TEST_F(GridTest, TabAndShiftTabWrapAndSkipColumnsWithoutATabStop) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopTabs});
    Grid->SetTabStops(1, 0);
    Place();
    Grid->FocusCell(2, 1, true);
    struct Step {
        bool Back;
        Cell Expected;
    };
    const Step steps[] = {
        {false, {3, 1}}, {false, {4, 1}}, {false, {2, 2}},  // past column 1 to the next row
        {true, {4, 1}},                                     // back over column 1 to the previous row
        {true, {3, 1}},  {true, {2, 1}},  {true, {4, 4}},   // from the first row to the last
        {false, {2, 1}},                                    // from the last cell to the first
    };
    for (const Step& s : steps) {
        if (s.Back)
            KeyWith({ui::VK_SHIFT}, ui::VK_TAB);
        else
            Key(ui::VK_TAB);
        EXPECT_EQ(Grid->Current(), s.Expected) << (s.Back ? "shift+tab" : "tab");
        EXPECT_EQ(Grid->SelectionAnchor(), Grid->Current()) << "tab never extends a range";
    }
}

TEST_F(GridTest, ArrowsReachFrozenColumnsAndShiftExtendsTheRange) {
    Grid->SetFixedCols(2);
    Grid->SetFrozenColCount(1);
    Place();
    EXPECT_EQ(Grid->Col(), 2);
    Key(ui::VK_LEFT);
    EXPECT_EQ(Grid->Col(), 1) << "the frozen column is a data column";
    Key(ui::VK_LEFT);
    EXPECT_EQ(Grid->Col(), 1);
    Key(ui::VK_HOME);
    EXPECT_EQ(Grid->Col(), 2);
    KeyWith({ui::VK_SHIFT}, ui::VK_DOWN);
    KeyWith({ui::VK_SHIFT}, ui::VK_RIGHT);
    EXPECT_EQ(Grid->Selection(), (TGridRect{2, 1, 3, 2}));
}

// ---------------------------------------------------------------------------------------------
// Mouse

TEST_F(GridTest, TheColumnSizingZoneLiesThreePixelsBeforeAndFourAfterTheLine) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopColSizing, gopRowSizing});
    Place();
    const int line = 65 + 64;  // after column 1
    int index = -1;
    struct Probe {
        int X, Y;
        TGridStateEh State;
        int Index;
    };
    const Probe probes[] = {
        {line - 3, 5, gsColSizing, 1}, {line + 4, 5, gsColSizing, 1}, {line + 5, 5, gsNormal, -1},
        {line - 4, 5, gsNormal, -1},   {line, 40, gsNormal, -1},  // not in the title row
        {30, 24 + 25, gsRowSizing, 1}, {30, 40, gsNormal, -1},    // the row line in the fixed column
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(Grid->SizingStateAt(p.X, p.Y, index), p.State) << p.X << "," << p.Y;
        EXPECT_EQ(index, p.Index) << p.X << "," << p.Y;
    }
    Mouse(ui::WM_MOUSEMOVE, line + 2, 5);
    EXPECT_EQ(ui::GetCursorShape(), ui::crHSplit);
    Mouse(ui::WM_MOUSEMOVE, 30, 24 + 25);
    EXPECT_EQ(ui::GetCursorShape(), ui::crVSplit);
    Mouse(ui::WM_MOUSEMOVE, 200, 60);
    EXPECT_NE(ui::GetCursorShape(), ui::crVSplit);
    Mouse(ui::WM_LBUTTONDOWN, line - 3, 5);
    EXPECT_EQ(Grid->GridState(), gsColSizing);
    Mouse(ui::WM_LBUTTONUP, line - 3, 5);
    EXPECT_EQ(Grid->GridState(), gsNormal);
    EXPECT_EQ(Grid->ColWidths(1), 64) << "released on the line: same width";
}

TEST_F(GridTest, DraggingAWidthDownToOnePixelChangesNothingAndTwoIsAccepted) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopColSizing});
    Place();
    const int line = 65 + 64;
    for (int width : {1, 2, 40}) {
        Mouse(ui::WM_LBUTTONDOWN, line + 1, 5);
        Mouse(ui::WM_MOUSEMOVE, 65 + width + 1, 5);  // the offset to the line is kept
        Mouse(ui::WM_LBUTTONUP, 65 + width + 1, 5);
        ui::ResetDoubleClick();
        if (width == 1)
            EXPECT_EQ(Grid->ColWidths(1), 64);
        else
            EXPECT_EQ(Grid->ColWidths(1), width);
        Grid->SetColWidths(1, 64);
    }
}

TEST_F(GridTest, CancelModeEndsEveryMouseState) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopColSizing, gopRowMoving});
    Place();
    Mouse(ui::WM_LBUTTONDOWN, 128, 5);
    ASSERT_EQ(Grid->GridState(), gsColSizing);
    Grid->Perform(ui::WM_CANCELMODE);
    EXPECT_EQ(Grid->GridState(), gsNormal);
    ui::ReleaseCapture();
    ui::ResetDoubleClick();
    const TPoint p = Inside(2, 2);
    Mouse(ui::WM_LBUTTONDOWN, p.X, p.Y);
    ASSERT_EQ(Grid->GridState(), gsSelecting);
    Grid->Perform(ui::WM_CANCELMODE);
    EXPECT_EQ(Grid->GridState(), gsNormal);
    ui::ReleaseCapture();
    ui::ResetDoubleClick();
    Mouse(ui::WM_LBUTTONDOWN, 10, Inside(0, 3).Y);
    ASSERT_EQ(Grid->GridState(), gsRowMoving);
    Grid->Perform(ui::WM_CANCELMODE);
    EXPECT_EQ(Grid->GridState(), gsNormal);
    // The timer went with the state.
    Clock.Advance(200);
    Pump();
    EXPECT_EQ(Grid->Current(), (Cell{2, 2}));
}

TEST_F(GridTest, HoldingTheMouseBelowTheGridExtendsTheSelectionOnEveryTick) {
    Grid->SetRowCount(100);
    Place(320, 120);
    const TPoint p = Inside(2, 2);
    Mouse(ui::WM_LBUTTONDOWN, p.X, p.Y);
    ASSERT_EQ(Grid->GridState(), gsSelecting);
    Mouse(ui::WM_MOUSEMOVE, p.X, 200);
    EXPECT_EQ(Grid->SelectionAnchor(), (Cell{2, 2})) << "no cell under the mouse";
    for (int tick = 1; tick <= 5; ++tick) {
        Clock.Advance(60);
        Pump();
        EXPECT_EQ(Grid->SelectionAnchor().Y, 2 + tick);
    }
    EXPECT_EQ(Grid->TopRow(), 7 - (Grid->ComputeLayout().Vert.LastWholeCell - Grid->TopRow()));
    Mouse(ui::WM_LBUTTONUP, p.X, 200);
    Clock.Advance(600);
    Pump();
    EXPECT_EQ(Grid->Selection(), (TGridRect{2, 2, 2, 7})) << "the timer stopped with the release";
    EXPECT_EQ(Grid->Current(), (Cell{2, 2}));
}

TEST_F(GridTest, DraggingARowHeaderMovesTheRowAndReleasingOnTheOriginMovesNothing) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopRowMoving});
    Place();
    Mouse(ui::WM_LBUTTONDOWN, 10, Inside(0, 1).Y);
    Mouse(ui::WM_LBUTTONUP, 10, Inside(0, 1).Y);
    EXPECT_TRUE(Grid->Moves.empty());
    ui::ResetDoubleClick();
    Mouse(ui::WM_LBUTTONDOWN, 10, Inside(0, 1).Y);
    Mouse(ui::WM_MOUSEMOVE, Inside(2, 2).X, Inside(2, 2).Y);  // tracked over the data cells
    Mouse(ui::WM_MOUSEMOVE, Inside(2, 3).X, Inside(2, 3).Y);
    Mouse(ui::WM_LBUTTONUP, Inside(2, 3).X, Inside(2, 3).Y);
    EXPECT_EQ(Grid->Moves, (std::vector<std::pair<int, int>>{{1, 3}}));
    EXPECT_EQ(Grid->Row(), 3) << "the current row moved with it";
}

TEST_F(GridTest, AColumnDraggedFarPastTheRightEdgeScrollsOneColumnEverySixtyTwoMilliseconds) {
    Grid->SetColCount(20);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopColMoving});
    Place(320, 120);
    const int limit = Grid->ComputeLayout().Horz.ScrollLimit;
    ASSERT_GE(ui::GetSystemMetrics(ui::SM_CXSCREEN) - Grid->ClientToScreen(TPoint{limit, 0}).X, 200);
    Mouse(ui::WM_LBUTTONDOWN, Inside(1, 0).X, 5);
    ASSERT_EQ(Grid->GridState(), gsColMoving);
    Mouse(ui::WM_MOUSEMOVE, limit + 200, 5);
    Clock.Advance(60);
    Pump();
    EXPECT_EQ(Grid->LeftCol(), 1) << "the first tick moves the target to the last whole column";
    for (int left = 2; left <= 4; ++left) {
        Clock.Advance(61);
        Pump();
        EXPECT_EQ(Grid->LeftCol(), left - 1);
        Clock.Advance(1);
        Pump();
        EXPECT_EQ(Grid->LeftCol(), left);
    }
    Mouse(ui::WM_LBUTTONUP, limit + 200, 5);
    ASSERT_EQ(Grid->Moves.size(), 1u);
    EXPECT_EQ(Grid->Moves[0].first, 1);
    EXPECT_EQ(Grid->Moves[0].second, Grid->ComputeLayout().Horz.LastWholeCell);
}

TEST_F(GridTest, CellClicksFireOnlyForAReleaseInThePressedCell) {
    Place();
    std::vector<std::tuple<Cell, ui::TMouseButton, int, int>> clicks;
    Grid->OnCellMouseClick = [&](TCustomGridEh*, Cell C, ui::TMouseButton B, ui::TShiftState, int X, int Y) {
        clicks.emplace_back(C, B, X, Y);
    };
    const TRect r = Grid->SingleCellRect(2, 2);
    Click(r.Left + 7, r.Top + 5, true);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(std::get<0>(clicks[0]), (Cell{2, 2}));
    EXPECT_EQ(static_cast<int>(std::get<1>(clicks[0])), 1);
    EXPECT_EQ(std::get<2>(clicks[0]), 7);
    EXPECT_EQ(std::get<3>(clicks[0]), 5);
    ui::ResetDoubleClick();
    Mouse(ui::WM_RBUTTONDOWN, r.Left + 7, r.Top + 5);
    Mouse(ui::WM_RBUTTONUP, r.Right + 7, r.Top + 5);
    EXPECT_EQ(clicks.size(), 1u) << "released in another cell";
    // A left press selects: the click after it is not a cell click.
    Click(r.Left + 7, r.Top + 5);
    EXPECT_EQ(clicks.size(), 1u);
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopEditing});
    Click(r.Left + 7, r.Top + 5);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(std::get<1>(clicks[1]), ui::mbLeft);
}

TEST_F(GridTest, SizingLinesAreDrawnWithTheXorPenOutsideAPaint) {
    Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopColSizing});
    Place();
    Paint();
    Surface()->Clear();
    Mouse(ui::WM_LBUTTONDOWN, 129, 5);
    Mouse(ui::WM_MOUSEMOVE, 150, 5);
    const auto lines = Surface()->OfKind(ui::TDrawOp::PolyPolyline);
    ASSERT_EQ(lines.size(), 3u) << "drawn, erased, drawn again";
    EXPECT_EQ(lines[0]->Pen.Mode, ui::TPenMode::pmXor);
    const int left = Grid->ClientToParent(TPoint{0, 0}, Form).X;
    EXPECT_EQ(lines[2]->Points[0].X - left, 150);
    Mouse(ui::WM_LBUTTONUP, 150, 5);
    EXPECT_EQ(Grid->ColWidths(1), 64 + 21);
}

// ---------------------------------------------------------------------------------------------
// In-place editor

class GridEditor : public GridTest {
protected:
    void PlaceEditing(TGridOptionsEh Extra = {}) {
        Grid->SetGridOptions(Grid->GridOptions() + TGridOptionsEh{gopEditing, gopTabs} + Extra);
        Place();
    }
    TInplaceEdit* Ed() { return Grid->InplaceEditor(); }
};

TEST_F(GridEditor, ACellWithoutEditLimitShowsItsTextButRefusesChangesWhileKeysStillNavigate) {
    Grid->Limit = -1;
    PlaceEditing({gopAlwaysShowEditor});
    Grid->SetEditorMode(true);
    ASSERT_NE(Ed(), nullptr);
    EXPECT_TRUE(Ed()->EditVisible());
    EXPECT_FALSE(Grid->CellModifiable());
    ui::Clipboard()->SetAsText("pasted");
    EXPECT_EQ(Ed()->Text(), "1,1");
    Type("x");
    Key(ui::VK_BACK);
    Key(ui::VK_DELETE);
    KeyWith({ui::VK_CONTROL}, 'V');
    KeyWith({ui::VK_CONTROL}, 'X');
    KeyWith({ui::VK_SHIFT}, ui::VK_INSERT);
    Ed()->PasteFromClipboard();
    EXPECT_EQ(Ed()->Text(), "1,1");
    EXPECT_TRUE(Grid->Stored.empty());
    Key(ui::VK_DOWN);
    EXPECT_EQ(Grid->Current(), (Cell{1, 2}));
    Key(ui::VK_TAB);
    EXPECT_EQ(Grid->Current(), (Cell{2, 2}));
    EXPECT_EQ(Ed()->Text(), "2,2");
}

TEST_F(GridEditor, EnterAlternatesBetweenTheWholeTextAndTheCaretAtTheEnd) {
    PlaceEditing({gopAlwaysShowEditor});
    Grid->SetEditorMode(true);
    Ed()->SelectAll();
    for (int i = 0; i < 2; ++i) {
        Key(ui::VK_RETURN);
        EXPECT_EQ(Ed()->SelLength(), 0);
        EXPECT_EQ(Ed()->SelStart(), 3);
        Key(ui::VK_RETURN);
        EXPECT_EQ(Ed()->SelLength(), 3);
    }
    EXPECT_EQ(Ed()->Text(), "1,1") << "Enter never reaches the edit control";
    EXPECT_TRUE(Grid->EditorMode());
}

TEST_F(GridEditor, RightAtTheEndMovesToTheNextCellAndInTheMiddleMovesTheCaret) {
    PlaceEditing({gopAlwaysShowEditor});
    Grid->SetEditorMode(true);  // caret at the end
    Key(ui::VK_LEFT);
    EXPECT_EQ(Ed()->CaretPos(), 2);
    Key(ui::VK_RIGHT);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Ed()->CaretPos(), 3);
    Key(ui::VK_RIGHT);
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(GridEditor, TheOldCellsTextIsStoredBeforeTheNewCellLoads) {
    PlaceEditing({gopAlwaysShowEditor});
    Grid->SetEditorMode(true);
    Ed()->SelectAll();
    Type("abc");
    Key(ui::VK_DOWN);
    ASSERT_FALSE(Grid->Stored.empty());
    bool storedOld = false;
    for (const auto& s : Grid->Stored) {
        EXPECT_EQ(s.first, std::make_pair(1, 1)) << "nothing stored into the new cell";
        storedOld = storedOld || s.second == "abc";
    }
    EXPECT_TRUE(storedOld);
    EXPECT_EQ(Ed()->Text(), "1,2");
    Key(ui::VK_UP);
    EXPECT_EQ(Ed()->Text(), "abc");
}

TEST_F(GridEditor, TypingIntoTheGridOpensTheEditorWithTheCharacterAndEnterClosesIt) {
    PlaceEditing();
    EXPECT_EQ(Ed(), nullptr);
    Type("q");
    ASSERT_NE(Ed(), nullptr);
    EXPECT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Ed()->Text(), "q");
    EXPECT_EQ(ui::GetFocus(), Ed()->Handle());
    Key(ui::VK_RETURN);
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_FALSE(Ed()->EditVisible());
    EXPECT_EQ(ui::GetFocus(), Grid->Handle()) << "hiding the focused editor gives the focus to the grid";
    EXPECT_EQ(Grid->Texts[std::make_pair(1, 1)], "q");
    Key(ui::VK_F2);
    EXPECT_TRUE(Ed()->EditVisible());
    EXPECT_EQ(Ed()->SelLength(), 0);
    EXPECT_EQ(Ed()->CaretPos(), 1);
}

}  // namespace
