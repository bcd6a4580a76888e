// A small base grid on a form: DrawCell writes the cell's coordinates, the edit hooks serve a
// text per cell and record what comes back. Input goes through the message queue as the display
// backend would deliver it; time comes from the manual clock.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "controls/grid/GridsEh.h"
#include "tests/support/ui_fixture.h"

namespace gridtest {

using namespace grid;
using ui::TPoint;
using ui::TRect;

inline std::string CellText(int C, int R) { return std::to_string(C) + "," + std::to_string(R); }

class TTestGrid : public TCustomGridEh {
    RTL_CLASS(TTestGrid, TCustomGridEh)
public:
    using TCustomGridEh::ComputeLayout;
    using TCustomGridEh::DrawCellFrame3D;
    using TCustomGridEh::TCustomGridEh;

    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override {
        Drawn.push_back({ACol, ARow});
        States[{ACol, ARow}] = AState;
        Canvas()->TextOut(ARect.Left + 2, ARect.Top + 2, CellText(ACol, ARow));
    }
    AnsiString GetCellEditText(int ACol, int ARow) override {
        auto it = Texts.find({ACol, ARow});
        return it != Texts.end() ? it->second : CellText(ACol, ARow);
    }
    int GetCellEditLimit() override { return Limit; }
    void StoreEditText(int ACol, int ARow, const AnsiString& Value) override {
        Stored.push_back({{ACol, ARow}, Value});
        Texts[{ACol, ARow}] = Value;
    }
    void ColumnMoved(int From, int To) override { Moves.push_back({From, To}); }
    void RowMoved(int From, int To) override { Moves.push_back({From, To}); }
    void GridSizeChanged(int OldCols, int OldRows) override {
        SizeChanges.push_back({OldCols, OldRows});
        TCustomGridEh::GridSizeChanged(OldCols, OldRows);
    }
    TGridStateEh SizingStateAt(int X, int Y, int& Index) {
        int pos, ofs;
        return GetSizingStateAt(X, Y, ComputeLayout(), Index, pos, ofs);
    }

    std::vector<std::pair<int, int>> Drawn;
    std::map<std::pair<int, int>, TGridDrawState> States;
    std::map<std::pair<int, int>, AnsiString> Texts;
    std::vector<std::pair<std::pair<int, int>, AnsiString>> Stored;
    std::vector<std::pair<int, int>> Moves;
    std::vector<std::pair<int, int>> SizeChanges;
    int Limit = 0;
};

class GridTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        Form->SetBounds(100, 100, 700, 500);
        Grid = rtl::Create<TTestGrid>(Form);
        Grid->SetName("Grid");
        Grid->SetBorderStyle(ui::TBorderStyle::bsNone);
        Grid->SetScrollBars(ui::TScrollStyle::ssNone);
    }
    // Places the grid with a client area of W x H, shows the form and focuses the grid.
    void Place(int W = 320, int H = 120) {
        Grid->SetBounds(10, 10, W, H);
        Grid->SetParent(Form);
        Form->Show();
        Pump();
        Grid->SetFocus();
        Pump();
    }
    ui::TRecordingSurface* Surface() { return static_cast<ui::TRecordingSurface*>(Form->Surface()); }
    // Paints what is invalid and returns the drawn cells.
    std::vector<std::pair<int, int>> Paint() {
        Grid->Drawn.clear();
        Grid->States.clear();
        Surface()->Clear();
        Pump();
        Grid->UpdateWindow();
        return Grid->Drawn;
    }
    std::vector<std::pair<int, int>> PaintAll() {
        Grid->Invalidate();
        return Paint();
    }
    void Key(uint16_t K, char C = 0) {
        ui::KeyPressInput(K, C);
        Pump();
    }
    // A key with modifiers held.
    void KeyWith(std::initializer_list<int> Mods, uint16_t K, char C = 0) {
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), true);
        ui::KeyPressInput(K, C);
        Pump();  // while the modifiers are down
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), false);
        Pump();
    }
    void Type(const std::string& S) {
        for (char c : S) ui::CharInput(c);
        Pump();
    }
    void Mouse(ui::UINT Msg, int X, int Y) {
        ui::MouseInput(Msg, At(Grid, X, Y));
        Pump();
    }
    void Click(int X, int Y, bool Right = false) {
        ui::ResetDoubleClick();
        Mouse(Right ? ui::WM_RBUTTONDOWN : ui::WM_LBUTTONDOWN, X, Y);
        Mouse(Right ? ui::WM_RBUTTONUP : ui::WM_LBUTTONUP, X, Y);
    }
    // Client point inside a cell.
    TPoint Inside(int C, int R) {
        const TRect r = Grid->SingleCellRect(C, R);
        return TPoint{r.Left + 3, r.Top + 3};
    }

    TGridDrawState StateOf(int C, int R) { return Grid->States[{C, R}]; }
    bool Drew(int C, int R) { return Grid->States.count({C, R}) > 0; }

    TTestGrid* Grid = nullptr;
};

}  // namespace gridtest
