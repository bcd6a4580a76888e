// What a press, a move and a release mean over the data grid: title buttons and sort marking,
// column moving handed to the base grid, record moves, double clicks and check boxes.
#include <cstdlib>

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Messages.h"

namespace grid {

using ui::mbLeft;
using ui::mbRight;
using ui::ssCtrl;
using ui::ssDouble;
using ui::ssShift;

void TCustomDBGridEh::FollowTitleButtonPress(int X, int Y) {
    const TGridCoord cell = MouseCoord(X, Y);
    const bool down = FPressedTitleCol >= 0 && X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight() &&
                      cell.Y == 0 && cell.X == FPressedTitleCol;
    if (down == FTitleBtnDown) return;
    FTitleBtnDown = down;
    if (HandleAllocated()) InvalidateRow(0);
}

void TCustomDBGridEh::EndMouseTracking() {
    if (!FMouseTracking) return;
    FollowTitleButtonPress(-1, -1);
    if (FIndicatorTitlePressed) {
        FIndicatorTitlePressed = false;
        if (HandleAllocated()) InvalidateCell(0, 0);
    }
    FMouseTracking = false;
    SetMouseCapture(false);
    FPressedTitleCol = -1;
}

void TCustomDBGridEh::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    if (Button == mbRight) SetMouseCapture(true);
    FCheckBoxDownCell = {-1, -1};
    FMouseDownPos = {X, Y};
    if (!EnsureGridFocus()) return;
    const TGridLayoutEh L = ComputeLayout();
    int idx = -1, pos = 0, ofs = 0;
    const TGridStateEh sizing = GetSizingStateAt(X, Y, L, idx, pos, ofs);
    const TGridCoord cell = MouseCoord(X, Y);

    if (Button == mbLeft && Shift.Contains(ssDouble)) {
        if (sizing == gsColSizing && FOptionsEh.Contains(dghDblClickOptimizeColWidth)) {
            OptimizeColumnWidth(GridToDataCol(idx));
        } else {
            DblClick();
        }
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (sizing != gsNormal) {
        FDataLink->UpdateRecord();
        TCustomGridEh::MouseDown(Button, Shift, X, Y);
        return;
    }
    const int titleRows = TitleRowCount();
    if (cell.Y >= 0 && cell.Y < titleRows && cell.X >= FIndicatorColCount && !Designing()) {
        if (Button == mbRight && FOptionsEh.Contains(dghColumnMove)) {
            FRightColumnMove = true;
            Button = mbLeft;
        }
        if (Button == mbLeft && cell.Y == 0) {
            const int dataCol = GridToDataCol(cell.X);
            bool enabled = dataCol < FColumns->Count() && FColumns->Items(dataCol)->Title()->TitleButton();
            CheckButton(dataCol, enabled);
            if (enabled && MouseCapture()) {
                FMouseTracking = true;
                FPressedTitleCol = cell.X;
                FollowTitleButtonPress(X, Y);
                return;
            }
        }
    }
    if (cell.Y == 0 && cell.X >= 0 && cell.X < FIndicatorColCount && FOptions.Contains(dgTitles)) {
        const TRect r = SingleCellRect(cell.X, cell.Y);
        if (FCenter) FCenter->IndicatorTitleMouseDown(this, cell, Button, Shift, X - r.Left, Y - r.Top);
        else IndicatorTitleMouseDown(cell, Button, Shift, X - r.Left, Y - r.Top);
        UpdateEdit();
    }
    if (cell.Y >= 0 && cell.Y < titleRows) {
        FDataLink->UpdateRecord();
        TCustomGridEh::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (!DataLinkActive() || cell.Y < 0 || cell.Y >= RowCount() - FFooterRowCount) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (TreeAreaMouseDown(X, Y)) return;
    FDataLink->UpdateRecord();
    HideEditor();
    const int oldRow = Row();
    if (cell.Y != oldRow) DataSet()->MoveBy(cell.Y - oldRow);
    // The check-box release steps the cell value once the cell kinds are in (seam).
    if (cell.X >= FIndicatorColCount) FCheckBoxDownCell = cell;
    TCustomGridEh::MouseDown(Button, Shift, X, Y);
}

void TCustomDBGridEh::MouseMove(ui::TShiftState Shift, int X, int Y) {
    if (FMouseTracking && FPressedTitleCol >= 0) {
        FollowTitleButtonPress(X, Y);
        if (std::abs(X - FMouseDownPos.X) > 3 && FOptionsEh.Contains(dghColumnMove)) {
            // The press was a drag: the column moves instead of being clicked.
            EndMouseTracking();
            SetMouseCapture(true);
            TCustomGridEh::MouseDown(mbLeft, {}, FMouseDownPos.X, FMouseDownPos.Y);
        }
    }
    TCustomGridEh::MouseMove(Shift, X, Y);
}

void TCustomDBGridEh::MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    const TGridStateEh baseState = FGridState;
    const TGridCoord cell = MouseCoord(X, Y);
    if (FMouseTracking && FPressedTitleCol >= 0) {
        const int pressed = FPressedTitleCol;
        FollowTitleButtonPress(X, Y);
        const bool over = FTitleBtnDown;
        EndMouseTracking();
        const int dataCol = GridToDataCol(pressed);
        if (over && dataCol >= 0 && dataCol < FColumns->Count()) {
            TColumnEh* column = FColumns->Items(dataCol);
            TitleBtnClick(dataCol, column);
            FSortCtrlPending = Shift.Contains(ssCtrl);
            if (FOptionsEh.Contains(dghAutoSortMarking)) {
                column->Title()->CycleSortMarker(Shift.Contains(ssCtrl));
                if (!Shift.Contains(ssCtrl)) SortMarkingChanged();
            }
        }
    }
    if (FRightColumnMove) {
        FRightColumnMove = false;
        SetMouseCapture(false);
        Button = mbLeft;
    }
    EndMouseTracking();
    TCustomGridEh::MouseUp(Button, Shift, X, Y);
    if (baseState == gsColSizing || baseState == gsRowSizing || baseState == gsColMoving) return;
    if (Button != mbLeft || cell.X < FIndicatorColCount || cell.Y < 0) return;
    const int dataCol = GridToDataCol(cell.X);
    if (dataCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(dataCol);
    if (cell.Y < TitleRowCount()) {
        TitleClick(column);
        return;
    }
    CellClick(column);
    FCheckBoxDownCell = {-1, -1};
}

// A column dragged by its title: the collection follows the base grid's move.
void TCustomDBGridEh::ColumnMoved(int FromIndex, int ToIndex) {
    const int from = GridToDataCol(FromIndex), to = GridToDataCol(ToIndex);
    if (from < 0 || to < 0 || from >= FColumns->Count() || to >= FColumns->Count()) return;
    FSTFilter->BeginUpdate();
    rtl::TryFinally(
        [&] {
            FColumns->Items(from)->SetIndex(to);
            if (OnColumnMoved) OnColumnMoved(this, from, to);
        },
        [&] { FSTFilter->EndUpdate(); });
    FFilterCol = CurrentDataCol();
}

void TCustomDBGridEh::WMKillFocus(ui::TWMKillFocus& Message) {
    TCustomGridEh::WMKillFocus(Message);
    if (FSortCtrlPending && !(FInplaceEdit && FInplaceEdit->HandleAllocated() &&
                                  reinterpret_cast<ui::HWND>(Message.FocusedWnd) == FInplaceEdit->Handle())) {
        FSortCtrlPending = false;
        SortMarkingChanged();
    }
    if (FOptions.Contains(dgRowSelect) && FDataLink->Active()) InvalidateDataRow(Row());
    if (GridOrEditorFocused() != FWasFocused) FocusChanged();
}

void TCustomDBGridEh::KeyUp(uint16_t& Key, ui::TShiftState Shift) {
    if (Key == ui::VK_CONTROL && FSortCtrlPending) {
        FSortCtrlPending = false;
        SortMarkingChanged();
    }
    TCustomGridEh::KeyUp(Key, Shift);
}

}  // namespace grid
