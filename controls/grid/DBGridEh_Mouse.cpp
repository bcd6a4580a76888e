// What a press, a move and a release mean over the data grid: title buttons and sort marking,
// column moving handed to the base grid, record, rectangle and column selection by dragging,
// traced column sizing, automatic dragging, double clicks and check boxes.
#include <algorithm>
#include <cstdlib>

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBGridEh_Style.h"
#include "controls/grid/DBGridEh_Setup.h"
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
    if (FMouseState == msRecordMovingEh) RecordMovingMouseUp(-1, -1, false);
    StopAutoScrollTimer();
    FTrackingRecords = false;
    FollowTitleButtonPress(-1, -1);
    if (FIndicatorTitlePressed) {
        FIndicatorTitlePressed = false;
        if (HandleAllocated()) InvalidateCell(0, 0);
    }
    FMouseTracking = false;
    SetMouseCapture(false);
    FPressedTitleCol = -1;
    FTrackingData = false;
    FMouseState = msNoneEh;
}

bool TCustomDBGridEh::InColumnSelectBand(int X, int Y) {
    if (!FOptions.Contains(dgTitles) || FOptions.Contains(dgRowSelect) || !DataLinkActive() ||
        !FOptions.Contains(dgMultiSelect) || !SelectionAllowed(gstColumns))
        return false;
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.Y != 0 || cell.X < FIndicatorColCount) return false;
    const TRect r = SingleCellRect(cell.X, 0);
    return Y >= std::max<int>(r.Top, r.Bottom - 7) && Y < r.Bottom;
}

TGridStateEh TCustomDBGridEh::TitleEdgeSizingAt(int X, int Y, int& Column, int& Offset) {
    Column = -1;
    Offset = 0;
    TGridOptionsEh opts = GridOptions();
    if (Designing()) opts = opts + DesignGridOptions();
    if (!opts.Contains(gopColSizing)) return gsNormal;
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.Y < 0 || cell.Y >= TitleRowCount()) return gsNormal;
    const TGridLayoutEh L = ComputeLayout();
    const int w = L.Horz.LineWidth;
    const int f = w <= 6 ? (7 - w) / 2 : 0;
    const int span = std::max(w, 7);
    const int width = ClientWidth();
    int e = L.Horz.ScrollStart;
    for (int i = L.Horz.FirstScrollCell; i < L.Horz.CellCount; ++i) {
        e += L.Horz.Extent(this, i);
        if (e > width) {
            // A column cut by the right client edge can still be sized from there.
            if (X >= width - f && X < width) {
                Column = i;
                Offset = width - X;
                return gsColSizing;
            }
            break;
        }
        if (X >= e - f && X <= e + span - f) {
            Column = i;
            Offset = e - X;
            return gsColSizing;
        }
        e += w;
    }
    return gsNormal;
}

void TCustomDBGridEh::WMSetCursor(ui::TWMSetCursor& Message) {
    if (Message.HitTest == ui::HTCLIENT && HandleAllocated() && FGridState == gsNormal) {
        const TPoint p = ScreenToClient(ui::GetCursorPos());
        int col = -1, ofs = 0;
        if (TitleEdgeSizingAt(p.X, p.Y, col, ofs) == gsColSizing) {
            ui::SetCursorShape(ui::crHSplit);
            Message.Result = 1;
            return;
        }
    }
    if (Message.HitTest == ui::HTCLIENT && HandleAllocated() && DataLinkActive() && FGridState == gsNormal &&
        FOptions.Contains(dgMultiSelect)) {
        const TPoint p = ScreenToClient(ui::GetCursorPos());
        int idx = -1, pos = 0, ofs = 0;
        const TGridCoord cell = MouseCoord(p.X, p.Y);
        const bool sizing = GetSizingStateAt(p.X, p.Y, ComputeLayout(), idx, pos, ofs) != gsNormal;
        if (!sizing && !RecordMovingMouseDown(p.X, p.Y, true)) {
            const bool dataRow = cell.Y >= TitleRowCount() && cell.Y < RowCount() - FFooterRowCount;
            if (cell.X >= 0 && cell.X < FIndicatorColCount && dataRow && !DataSet()->IsEmpty() &&
                SelectionAllowed(gstRecordBookmarks)) {
                ui::SetCursorShape(crRightCurEh);
                Message.Result = 1;
                return;
            }
            if (InColumnSelectBand(p.X, p.Y)) {
                ui::SetCursorShape(crDownCurEh);
                Message.Result = 1;
                return;
            }
        }
    }
    TCustomGridEh::WMSetCursor(Message);
}

void TCustomDBGridEh::WMLButtonDown(ui::TWMMouse& Message) {
    if (DragMode() != ui::dmAutomatic || Designing()) {
        TCustomGridEh::WMLButtonDown(Message);
        return;
    }
    // Dragging starts only from a press on a selected cell (FDragSelected), never on any press.
    SetDragMode(ui::dmManual);
    FAutoDragPending = true;
    rtl::TryFinally([&] { TCustomGridEh::WMLButtonDown(Message); },
                    [&] {
                        SetDragMode(ui::dmAutomatic);
                        FAutoDragPending = false;
                    });
}

void TCustomDBGridEh::WMCancelMode(ui::TWMCancelMode& Message) {
    EndMouseTracking();
    TCustomGridEh::WMCancelMode(Message);
}

void TCustomDBGridEh::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    if (Button == mbRight) SetMouseCapture(true);
    FCheckBoxDownCell = {-1, -1};
    FMouseDownPos = {X, Y};
    if (!EnsureGridFocus()) return;
    const TGridLayoutEh L = ComputeLayout();
    int idx = -1, pos = 0, ofs = 0;
    TGridStateEh sizing = GetSizingStateAt(X, Y, L, idx, pos, ofs);
    const TGridCoord cell = MouseCoord(X, Y);
    const int titleRows = TitleRowCount();
    const bool dataRow = cell.Y >= titleRows && cell.Y < RowCount() - FFooterRowCount;

    if (Button == mbLeft && Shift.Contains(ssDouble)) {
        if (sizing == gsNormal) {
            int edgeOfs = 0;
            sizing = TitleEdgeSizingAt(X, Y, idx, edgeOfs);
        }
        if (sizing == gsColSizing && FOptionsEh.Contains(dghDblClickOptimizeColWidth)) {
            OptimizeColumnWidth(GridToDataCol(idx));
        } else {
            if (dataRow && cell.X >= FIndicatorColCount && DataLinkActive()) {
                TColumnEh* c = FColumns->Items(GridToDataCol(cell.X));
                const TColumnCellKindEh kind = c->CellKind();
                if ((kind == cckImage || kind == cckCheckBox) && c->DblClickNextVal())
                    c->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
            }
            DblClick();
        }
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (sizing != gsNormal) {
        FDataLink->UpdateRecord();
        if (sizing == gsColSizing && Button == mbLeft && FOptionsEh.Contains(dghTraceColSizing)) {
            // The grid traces the line itself and sets the width on every move.
            FGridState = gsColSizing;
            FTracedSizingCol = idx;
            FTracedSizingOffset = pos - X;
            return;
        }
        TCustomGridEh::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (InColumnSelectBand(X, Y) && ui::GetCursorShape() == crDownCurEh) {
        TColumnEh* c = FColumns->Items(GridToDataCol(cell.X));
        TDBGridEhSelectionCols* cols = FSelection->Columns();
        if (Shift.Contains(ssShift))
            cols->Extend(c);
        else if (Shift.Contains(ssCtrl))
            cols->Toggle(c);
        else
            cols->Select(c, false);
        FMouseState = msColSelectingEh;
        FMouseTracking = true;
        StartAutoScrollTimer(60);
        return;
    }
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
        if (FCenter)
            FCenter->IndicatorTitleMouseDown(this, cell, Button, Shift, X - r.Left, Y - r.Top);
        else
            IndicatorTitleMouseDown(cell, Button, Shift, X - r.Left, Y - r.Top);
        UpdateEdit();
    }
    if (cell.Y >= 0 && cell.Y < titleRows) {
        FDataLink->UpdateRecord();
        TCustomGridEh::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (!DataLinkActive() || !dataRow) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (RecordMovingMouseDown(X, Y, false) || TreeAreaMouseDown(X, Y)) return;
    db::TDataSet* ds = DataSet();
    const bool onIndicator = cell.X < FIndicatorColCount;
    const bool multi = FOptions.Contains(dgMultiSelect);
    const bool rowSelect = FOptions.Contains(dgRowSelect);
    LockUpdates();
    struct TUnlock {
        TCustomDBGridEh* G;
        ~TUnlock() { G->UnlockUpdates(); }
    } unlock{this};
    FDataLink->UpdateRecord();
    if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
    const TGridCoord old{Col(), Row()};
    const db::TBookmark oldBookmark = ds->IsEmpty() ? db::TBookmark() : ds->Bookmark();
    const bool shiftRange = Shift.Contains(ssShift) && multi && (rowSelect || onIndicator);
    if (cell.Y != old.Y && !shiftRange) ds->MoveBy(cell.Y - old.Y);
    if (!onIndicator) GoToColumn(cell.X, 0);
    if (!MouseCapture()) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    const int dataCol = GridToDataCol(cell.X);
    if (FAutoDragPending && !Shift.Contains(ssShift) && Button == mbLeft && !onIndicator &&
        IsCellSelected(cell.X, Row(), dataCol)) {
        FDragSelected = true;
        return;
    }
    if (!(multi && rowSelect) && !onIndicator) {
        FMouseTracking = true;
        FTrackingData = true;
        if (!Shift.Contains(ssCtrl) && !Shift.Contains(ssShift) && FOptionsEh.Contains(dghClearSelection) &&
            (Button == mbLeft || !IsCellSelected(cell.X, Row(), dataCol)))
            ClearGridSelection();
        if (SelectionAllowed(gstRectangle) && Button == mbLeft && !ds->IsEmpty()) {
            TDBGridEhSelectionRect* rect = FSelection->Rect();
            if (Shift.Contains(ssShift)) {
                if (FSelectionType != gstRectangle) rect->Select(GridToDataCol(old.X), oldBookmark, false);
                rect->Select(dataCol, ds->Bookmark(), true);
            } else {
                rect->Select(dataCol, ds->Bookmark(), false);
            }
            FMouseState = msRectSelectingEh;
        }
    }
    if (multi && SelectionAllowed(gstRecordBookmarks) &&
        (rowSelect || onIndicator || !SelectionAllowed(gstRectangle)) && !ds->IsEmpty()) {
        FShiftAnchorSet = false;
        if (Shift.Contains(ssShift) && cell.Y != old.Y) {
            FShiftAnchor = ds->Bookmark();
            FShiftAnchorSelected = FSelectedRecords->CurrentRowSelected();
            FShiftAnchorSet = true;
            FToggleSelect = true;
            if (!FShiftAnchorSelected) FSelectedRecords->SetCurrentRowSelected(true);
            SelectRecordsMove(true, cell.Y - old.Y);
        } else if (Button == mbLeft && (Shift.Contains(ssCtrl) || !FOptionsEh.Contains(dghClearSelection))) {
            FSelectedRecords->SetCurrentRowSelected(!FSelectedRecords->CurrentRowSelected());
        } else if (Button == mbLeft) {
            if (FOptionsEh.Contains(dghClearSelection)) ClearGridSelection();
            FSelectedRecords->SetCurrentRowSelected(true);
        }
        if (rowSelect || !SelectionAllowed(gstRectangle) || onIndicator) {
            FTrackingRecords = true;
            FMouseTracking = true;
            FShiftAnchor = ds->Bookmark();
            FShiftAnchorSelected = FSelectedRecords->CurrentRowSelected();
            FShiftAnchorSet = true;
            FToggleSelect = Shift.Contains(ssCtrl) || !FOptionsEh.Contains(dghClearSelection);
            FMouseState = msRecordSelectingEh;
        }
    }
    if (Button == mbLeft && !onIndicator) {
        TColumnEh* c = FColumns->Items(dataCol);
        const TRect r = SingleCellRect(cell.X, cell.Y);
        const int zone = c->EditButtonsWidth();
        const bool inZone = X >= r.Right - zone && X < r.Right;
        const bool sameCell = cell.X == old.X && cell.Y == old.Y;
        if (FOptions.Contains(dgAlwaysShowEditor) || inZone || sameCell) ShowEditor();
        if (inZone && FInplaceEdit && FInplaceEdit->EditVisible()) {
            // The press belongs to the edit button under it.
            EndMouseTracking();
            const TPoint screen = ClientToScreen(TPoint{X, Y});
            TPoint local = FInplaceEdit->ScreenToClient(screen);
            ui::TControl* target = FInplaceEdit->ControlAtPos(local, false);
            if (target)
                local = target->ScreenToClient(screen);
            else
                target = FInplaceEdit;
            target->Perform(ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::PointToLParam(local.X, local.Y));
        }
        const TColumnCellKindEh kind = c->CellKind();
        if (kind == cckImage || kind == cckCheckBox) FCheckBoxDownCell = TGridCoord{cell.X, Row()};
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomDBGridEh::MouseMove(ui::TShiftState Shift, int X, int Y) {
    FLastMousePos = {X, Y};
    if (FDragSelected) {
        FDragSelected = false;
        BeginDrag(false);
        return;
    }
    if (FMouseTracking && FPressedTitleCol >= 0) {
        FollowTitleButtonPress(X, Y);
        if (std::abs(X - FMouseDownPos.X) > 3 && FOptionsEh.Contains(dghColumnMove)) {
            // The press was a drag: the column moves instead of being clicked.
            EndMouseTracking();
            SetMouseCapture(true);
            TCustomGridEh::MouseDown(mbLeft, {}, FMouseDownPos.X, FMouseDownPos.Y);
        }
    } else if (FMouseTracking && (FTrackingRecords || FTrackingData) && DataLinkActive()) {
        const int cx = std::clamp(X, 0, std::max(0, ClientWidth() - 1));
        const int cy = std::clamp(Y, 0, std::max(0, ClientHeight() - 1));
        const bool moved = !(TPoint{cx, cy} == FMouseDownPos);
        const TRect area = DataAreaRect();
        const TGridCoord cell = MouseCoord(cx, cy);
        if (Y > area.Top && Y < area.Bottom && cell.Y >= TitleRowCount() && cell.Y != Row())
            SelectRecordsMove(Shift.Contains(ui::ssLeft) && moved && FTrackingRecords, cell.Y - Row());
        if (FTrackingData && X > area.Left && X < area.Right && cell.X >= FIndicatorColCount && cell.X != Col())
            GoToColumn(cell.X, 0);
        if (FMouseState == msRectSelectingEh && !DataSet()->IsEmpty())
            FSelection->Rect()->Select(CurrentDataCol(), DataSet()->Bookmark(), true);
        FMouseDownPos = {X, Y};
        FLastMouseShift = Shift;
        AutoScrollTimerTick();
    } else if (FMouseState == msColSelectingEh) {
        const TRect area = DataAreaRect();
        const TGridCoord cell = MouseCoord(X, Y);
        if (X < area.Left || X >= area.Right || cell.X < FIndicatorColCount) {
            AutoScrollTimerTick();
        } else {
            FSelection->Columns()->Extend(FColumns->Items(GridToDataCol(cell.X)));
        }
    } else if (FGridState == gsColSizing && FTracedSizingCol >= 0) {
        const int line = X + FTracedSizingOffset;
        const TRect r = SingleCellRect(FTracedSizingCol, 0);
        const int width = std::max(1, line - r.Left);
        const int n = ColCount();
        const bool fits = !FAutoFitColWidths || Designing() ||
                          line < ClientWidth() - (n - 1 - FTracedSizingCol) * (1 + LineWidthOfColumns());
        if (fits && width != ColWidths(FTracedSizingCol)) {
            SetColWidths(FTracedSizingCol, width);
            ColWidthsChanged();
        }
        return;
    } else if (FMouseState == msRecordMovingEh) {
        RecordMovingMouseMove(X, Y);
    }
    TCustomGridEh::MouseMove(Shift, X, Y);
}

void TCustomDBGridEh::MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    const TGridCoord cell = MouseCoord(X, Y);
    if (FMouseState == msRecordMovingEh) RecordMovingMouseUp(X, Y, true);
    if (FDragSelected) {
        FDragSelected = false;
        if (Shift.Contains(ssCtrl) && FOptions.Contains(dgRowSelect))
            FSelectedRecords->SetCurrentRowSelected(!FSelectedRecords->CurrentRowSelected());
        else if (FOptionsEh.Contains(dghClearSelection))
            ClearGridSelection();
    } else if (FGridState == gsColSizing && FTracedSizingCol >= 0) {
        FGridState = gsNormal;
        FTracedSizingCol = -1;
        if (OnColWidthsChanged) OnColWidthsChanged(this);
        return;
    }
    const TMouseStateEh lastState = FMouseState;
    const TGridStateEh baseState = FGridState;
    FMouseState = msNoneEh;
    FShiftAnchorSet = false;
    if (ui::GetCursorShape() == ui::crVSplit) FRowSizingEnded = true;
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
    if (lastState != msNoneEh) StopAutoScrollTimer();
    TCustomGridEh::MouseUp(Button, Shift, X, Y);
    if (baseState == gsColSizing || baseState == gsRowSizing || baseState == gsColMoving) return;
    if (FInplaceEdit && FInplaceEdit->EditVisible() && ui::PtInRect(FInplaceEdit->BoundsRect(), TPoint{X, Y})) return;
    if (Button != mbLeft || cell.X < FIndicatorColCount || cell.Y < 0) return;
    const int dataCol = GridToDataCol(cell.X);
    if (dataCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(dataCol);
    if (cell.Y < TitleRowCount()) {
        TitleClick(column);
        return;
    }
    CellClick(column);
    FRowSizingEnded = false;
    const TGridCoord down = FCheckBoxDownCell;
    FCheckBoxDownCell = {-1, -1};
    if (!(down.X == cell.X && down.Y == cell.Y) || Shift.Contains(ssDouble)) return;
    const TColumnCellKindEh kind = column->CellKind();
    if ((kind == cckImage || kind == cckCheckBox) && !column->DblClickNextVal() && column->CanModifyField(false))
        column->SetNextFieldValue(Shift.Contains(ssShift) ? -1 : 1);
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
    CheckFocusChanged(reinterpret_cast<ui::HWND>(Message.FocusedWnd));
}

void TCustomDBGridEh::KeyUp(uint16_t& Key, ui::TShiftState Shift) {
    if (Key == ui::VK_CONTROL && FSortCtrlPending) {
        FSortCtrlPending = false;
        SortMarkingChanged();
    }
    TCustomGridEh::KeyUp(Key, Shift);
}

}  // namespace grid
