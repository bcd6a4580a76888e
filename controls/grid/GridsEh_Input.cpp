// The base grid's keyboard, mouse, sizing and moving, focus and cursor.
#include <algorithm>

#include "controls/grid/GridsEh.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace ui;

static constexpr uintptr_t ScrollTimer = 1;
static constexpr uint32_t ScrollInterval = 60;

// ---------------------------------------------------------------------------------------------
// Window set-up

void TCustomGridEh::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_TABSTOP;
    if (FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth) Params.Style |= WS_VSCROLL;
    if (FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth) Params.Style |= WS_HSCROLL;
    Params.WindowClassStyle = CS_DBLCLKS;
    if (FBorderStyle == TBorderStyle::bsSingle) {
        if (FCtl3D)
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
}

void TCustomGridEh::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateScrollRange();
}

void TCustomGridEh::DestroyWnd() {
    if (HandleAllocated()) KillTimer(Handle(), ScrollTimer);
    TCustomControl::DestroyWnd();
}

void TCustomGridEh::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TCustomGridEh::WMSize(TWMSize& Message) {
    TCustomControl::WMSize(Message);
    UpdateScrollRange();
    if (FContraColCount > 0 || FContraRowCount > 0) InvalidateGrid();
}

void TCustomGridEh::CMShowingChanged(TMessage& Message) {
    TCustomControl::CMShowingChanged(Message);
    UpdateScrollRange();
}

void TCustomGridEh::WMHScroll(TWMScroll& Message) { ModifyScrollBar(SB_HORZ, Message.ScrollCode, true, Message.Pos); }
void TCustomGridEh::WMVScroll(TWMScroll& Message) { ModifyScrollBar(SB_VERT, Message.ScrollCode, true, Message.Pos); }

bool TCustomGridEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
    if (!TCustomControl::DoMouseWheelDown(Shift, MousePos) && FCurrent.Y < FRowCount - 1) SetRow(FCurrent.Y + 1);
    return true;
}

bool TCustomGridEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
    if (!TCustomControl::DoMouseWheelUp(Shift, MousePos) && FCurrent.Y > FFixedRows) SetRow(FCurrent.Y - 1);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TCustomGridEh::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key != 0 && !GridAcceptsKey(Key, Shift)) Key = 0;
    if (Key == 0) return;
    const TGridLayoutEh L = ComputeLayout();
    TGridCoord target = FCurrent;
    TGridCoord tl = FTopLeft;
    const int hpage = std::max(1, L.Horz.LastWholeCell - FTopLeft.X);
    const int vpage = std::max(1, L.Vert.LastWholeCell - FTopLeft.Y);
    const int dir = 1;
    const bool rowSelect = FGridOptions.Contains(gopRowSelect);
    bool moveAnchor = !Shift.Contains(ssShift);
    if (Shift.Contains(ssCtrl)) {
        switch (Key) {
            case VK_PRIOR: target.Y = FTopLeft.Y; break;
            case VK_NEXT: target.Y = L.Vert.LastWholeCell; break;
            case VK_END: target = TGridCoord{FColCount - 1, FRowCount - 1}; break;
            case VK_HOME: target = TGridCoord{FFixedCols, FFixedRows}; break;
            case VK_LEFT:
                if (!rowSelect) {
                    target.X -= dir * hpage;
                    tl.X -= dir * hpage;
                }
                break;
            case VK_RIGHT:
                if (!rowSelect) {
                    target.X += dir * hpage;
                    tl.X += dir * hpage;
                }
                break;
            case VK_UP: --tl.Y; break;
            case VK_DOWN: ++tl.Y; break;
            default: break;
        }
    } else {
        switch (Key) {
            case VK_TAB:
                if (Shift.Contains(ssAlt)) break;
                if (!Shift.Contains(ssShift)) {
                    do {
                        if (++target.X >= FColCount) {
                            target.X = FFixedCols;
                            if (++target.Y >= FRowCount) target.Y = FFixedRows;
                        }
                    } while (TabStops(target.X) == 0 && target.X != FCurrent.X);
                } else {
                    do {
                        if (--target.X < FFixedCols) {
                            target.X = FColCount - 1;
                            if (--target.Y < FFixedRows) target.Y = FRowCount - 1;
                        }
                    } while (TabStops(target.X) == 0 && target.X != FCurrent.X);
                    moveAnchor = true;
                }
                break;
            case VK_PRIOR:
                target.Y -= vpage;
                tl.Y -= vpage;
                break;
            case VK_NEXT:
                target.Y += vpage;
                tl.Y += vpage;
                break;
            case VK_END:
                if (rowSelect)
                    target.Y = FRowCount - 1;
                else
                    target.X = FColCount - 1;
                break;
            case VK_HOME:
                if (rowSelect)
                    target.Y = FFixedRows;
                else
                    target.X = FFixedCols;
                break;
            case VK_LEFT:
            case VK_RIGHT:
                if (rowSelect) {
                    ScrollHorzPixels(Key == VK_LEFT ? -HorzScrollLineStep() : HorzScrollLineStep());
                    return;
                }
                target.X += Key == VK_LEFT ? -dir : dir;
                break;
            case VK_UP: --target.Y; break;
            case VK_DOWN: ++target.Y; break;
            case VK_F2: SetEditorMode(true); break;
            default: break;
        }
    }
    const TGridCoord maxTL = MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, L);
    tl.X = std::clamp(tl.X, FFixedCols, std::max(FFixedCols, maxTL.X));
    tl.Y = std::clamp(tl.Y, FFixedRows, std::max(FFixedRows, maxTL.Y));
    if (!(tl == FTopLeft)) MoveTopLeft(tl.X, tl.Y);
    target.X = std::clamp(target.X, std::max(0, FFixedCols - FFrozenColCount), FColCount - 1);
    target.Y = std::clamp(target.Y, std::max(0, FFixedRows - FFrozenRowCount), FRowCount - 1);
    if (!(target == FCurrent)) FocusCell(target.X, target.Y, moveAnchor);
}

void TCustomGridEh::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (!FGridOptions.Contains(gopAlwaysShowEditor) && Key == '\r') {
        if (FEditorMode)
            HideEditor();
        else
            ShowEditor();
        Key = 0;
    }
}

void TCustomGridEh::KeyUp(uint16_t& Key, TShiftState Shift) { TCustomControl::KeyUp(Key, Shift); }

void TCustomGridEh::DblClick() { TCustomControl::DblClick(); }

void TCustomGridEh::WMChar(TWMKey& Message) {
    const auto c = static_cast<unsigned char>(Message.CharCode);
    if (FGridOptions.Contains(gopEditing) && (c == '\b' || c >= 32))
        ShowEditorChar(static_cast<char>(c));
    else
        TCustomControl::WMChar(Message);
}

void TCustomGridEh::WMGetDlgCode(TWMGetDlgCode& Message) {
    Message.Result = DLGC_WANTARROWS;
    if (!FGridOptions.Contains(gopRowSelect)) {
        if (FGridOptions.Contains(gopTabs)) Message.Result |= DLGC_WANTTAB;
        if (FGridOptions.Contains(gopEditing)) Message.Result |= DLGC_WANTCHARS;
    }
}

void TCustomGridEh::CMWantSpecialKey(TCMWantSpecialKey& Message) {
    TCustomControl::CMWantSpecialKey(Message);
    if (Message.CharCode == VK_RETURN && FGridOptions.Contains(gopEditing)) Message.Result = 1;
}

// ---------------------------------------------------------------------------------------------
// Focus and cursor

void TCustomGridEh::WMSetFocus(TWMSetFocus& Message) {
    TCustomControl::WMSetFocus(Message);
    if (!FInplaceEdit || !FInplaceEdit->HandleAllocated() || Message.FocusedWnd != FInplaceEdit->Handle()) {
        InvalidateGridRect(Selection());
        UpdateEdit();
    }
}

void TCustomGridEh::WMKillFocus(TWMKillFocus& Message) {
    TCustomControl::WMKillFocus(Message);
    if (!FInplaceEdit || !FInplaceEdit->HandleAllocated() || Message.FocusedWnd != FInplaceEdit->Handle()) {
        InvalidateGridRect(Selection());
        HideEdit();
    }
}

void TCustomGridEh::DoExit() {
    TCustomControl::DoExit();
    if (!FGridOptions.Contains(gopAlwaysShowEditor)) HideEditor();
}

void TCustomGridEh::CMFontChanged(TMessage& Message) {
    if (FInplaceEdit) FInplaceEdit->SetFont(Font());
    TCustomControl::CMFontChanged(Message);
}

void TCustomGridEh::WMNCHitTest(TWMNCHitTest& Message) {
    TCustomControl::WMNCHitTest(Message);
    FHitTest = ScreenToClient(Message.Pos());
}

void TCustomGridEh::WMSetCursor(TWMSetCursor& Message) {
    if (Message.HitTest == HTCLIENT && HandleAllocated() && Message.CursorWnd == FHandle) {
        TGridStateEh state = FGridState;
        if (state == gsNormal) {
            int idx, pos, ofs;
            state = GetSizingStateAt(FHitTest.X, FHitTest.Y, ComputeLayout(), idx, pos, ofs);
        }
        if (state == gsRowSizing || state == gsColSizing) {
            SetCursorShape(state == gsRowSizing ? crVSplit : crHSplit);
            Message.Result = 1;
            return;
        }
    }
    TCustomControl::WMSetCursor(Message);
}

// ---------------------------------------------------------------------------------------------
// Sizing lines

TGridStateEh TCustomGridEh::GetSizingStateAt(int X, int Y, const TGridLayoutEh& L, int& SizingIndex, int& SizingPos,
                                             int& SizingOfs) {
    SizingIndex = -1;
    SizingPos = 0;
    SizingOfs = 0;
    TGridOptionsEh opts = FGridOptions;
    if (Designing()) opts = opts + FDesignGridOptions;
    if (!opts.Contains(gopRowSizing) && !opts.Contains(gopColSizing)) return gsNormal;
    if (X > L.Horz.UnfrozenEnd && opts.Contains(gopColSizing) && Y < L.Vert.UnfrozenEnd) {
        if (FindSizingLine(L.Horz, X, SizingIndex, SizingPos, SizingOfs)) return gsColSizing;
    } else if (Y > L.Vert.UnfrozenEnd && opts.Contains(gopRowSizing) && X < L.Horz.UnfrozenEnd) {
        if (FindSizingLine(L.Vert, Y, SizingIndex, SizingPos, SizingOfs)) return gsRowSizing;
    }
    SizingIndex = -1;
    return gsNormal;
}

bool TCustomGridEh::FindSizingLine(const TGridAxisLayoutEh& A, int Pos, int& Index, int& LinePos, int& Ofs) const {
    const int lw = A.LineWidth;
    int w = lw, d = 0;
    if (lw <= 6) {
        w = 7;
        d = (7 - lw) / 2;
    }
    auto hit = [&](int g) { return g - d <= Pos && Pos <= g + w - d; };
    auto found = [&](int idx, int g) {
        Index = idx;
        LinePos = g;
        Ofs = g - Pos;
        return true;
    };
    int g = A.UnfrozenEnd;
    for (int i = std::max(0, A.FixedCount - A.FrozenCount); i < A.FixedCount; ++i) {
        g += A.Extent(this, i);
        if (g > A.ScrollEnd) break;
        if (hit(g)) return found(i, g);
        g += lw;
    }
    g = A.ScrollStart;
    for (int i = A.FirstScrollCell; i < A.CellCount; ++i) {
        g += A.Extent(this, i);
        if (g > A.ScrollEnd) break;
        if (hit(g)) return found(i, g);
        g += lw;
    }
    if (A.ScrollEnd == A.ScrollLimit && hit(A.ScrollLimit)) {
        const int idx = A.LastWholeEnd != A.FixedEnd ? A.LastWholeCell + 1 : A.LastWholeCell;
        return found(std::min(idx, A.CellCount - 1), A.ScrollLimit);
    }
    if (A.ContraCount > 0 && Pos >= A.ContraStart && Pos <= A.ContraStart + d) return found(A.CellCount, A.ContraStart);
    if (A.ContraCount >= 2) {
        g = A.ContraStart + lw;
        for (int k = A.CellCount; k < A.TotalCount - 1; ++k) {
            g += A.Extent(this, k);
            if (g > A.FullEnd) break;
            if (hit(g)) return found(k + 1, g);
            g += lw;
        }
    }
    return false;
}

int TCustomGridEh::SizeFromSizingLine(const TGridLayoutEh& L) const {
    const TGridAxisLayoutEh& A = FGridState == gsColSizing ? L.Horz : L.Vert;
    const int idx = FSizingIndex;
    const int lw = A.LineWidth;
    if (idx < A.CellCount) {
        int start = 0;
        const int unfrozen = A.FixedCount - A.FrozenCount;
        if (idx < unfrozen) {
            for (int i = 0; i < idx; ++i) start += A.Extent(this, i) + lw;
        } else if (idx < A.FixedCount) {
            start = A.UnfrozenEnd;
            for (int i = unfrozen; i < idx; ++i) start += A.Extent(this, i) + lw;
        } else {
            start = A.ScrollStart;
            for (int i = A.FirstScrollCell; i < idx; ++i) start += A.Extent(this, i) + lw;
        }
        return FSizingPos - start;
    }
    // A contra cell is sized by the line in front of it: the cell keeps its far edge.
    int start = A.ContraStart + lw;
    for (int i = A.CellCount; i < idx; ++i) start += A.Extent(this, i) + lw;
    return start + A.Extent(this, idx) - (FSizingPos + lw);
}

// ---------------------------------------------------------------------------------------------
// Moving columns and rows

void TCustomGridEh::TrackMoveTarget(int Pos, int Index, bool Horizontal) {
    TGridLayoutEh L = ComputeLayout();
    const TGridAxisLayoutEh* A = Horizontal ? &L.Horz : &L.Vert;
    if (Index == FMovePos) return;
    if (A->PixelOffset == 0 && FMovePos == A->FixedCount && Pos < A->FixedEnd) return;
    if (FMovePos == A->CellCount - 1 && Pos > A->ScrollEnd) return;
    DrawMoveLine();
    const int bar = Horizontal ? SB_HORZ : SB_VERT;
    if (Pos < A->FixedEnd) {
        if (FMovePos > A->FixedCount || A->PixelOffset != 0) {
            ModifyScrollBar(bar, SB_LINEUP, false, 0);
            Update();
            L = ComputeLayout();
            A = Horizontal ? &L.Horz : &L.Vert;
        }
        Index = A->FirstScrollCell;
    } else if (Pos >= A->LastWholeEnd) {
        if (FMovePos == A->LastWholeCell && FMovePos != A->CellCount - 1) {
            ModifyScrollBar(bar, SB_LINEDOWN, false, 0);
            Update();
            L = ComputeLayout();
            A = Horizontal ? &L.Horz : &L.Vert;
        }
        Index = A->LastWholeCell;
    }
    if (Index == -1) Index = FMovePos;
    int origin = FMoveIndex;
    const TPoint pt = HandleAllocated() ? ScreenToClient(GetCursorPos()) : TPoint{};
    const bool ok = Horizontal ? CheckColumnMoveTarget(origin, Index, pt) : CheckRowMoveTarget(origin, Index, pt);
    if (ok) {
        FMoveIndex = origin;
        FMovePos = Index;
    }
    DrawMoveLine();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TCustomGridEh::MouseButtonPressed(TWMMouse& Message) {
    FMouseDownCell = MouseCoord(Message.XPos, Message.YPos);
    if (FInplaceEdit) FInplaceEdit->SetClickTime(GetMessageTime());
}

void TCustomGridEh::WMLButtonDown(TWMMouse& Message) {
    MouseButtonPressed(Message);
    TCustomControl::WMLButtonDown(Message);
}

void TCustomGridEh::WMRButtonDown(TWMMouse& Message) {
    MouseButtonPressed(Message);
    TCustomControl::WMRButtonDown(Message);
}

void TCustomGridEh::WMMButtonDown(TWMMouse& Message) {
    MouseButtonPressed(Message);
    TCustomControl::WMMButtonDown(Message);
}

void TCustomGridEh::MouseButtonReleased(TWMMouse& Message, TMouseButton Button) {
    const TGridCoord cell = MouseCoord(Message.XPos, Message.YPos);
    if (FMouseDownCell.X < 0 || FMouseDownCell.Y < 0 || !(cell == FMouseDownCell)) return;
    const TRect r = SingleCellRect(cell.X, cell.Y);
    CellMouseClick(cell, Button, KeysToShiftState(Message.Keys), Message.XPos - r.Left, Message.YPos - r.Top);
}

void TCustomGridEh::WMLButtonUp(TWMMouse& Message) {
    const bool accepts = AcceptsCellMouseClick(Message);
    TCustomControl::WMLButtonUp(Message);
    if (accepts) MouseButtonReleased(Message, mbLeft);
}

void TCustomGridEh::WMRButtonUp(TWMMouse& Message) {
    const bool accepts = AcceptsCellMouseClick(Message);
    TCustomControl::WMRButtonUp(Message);
    if (accepts) MouseButtonReleased(Message, mbRight);
}

void TCustomGridEh::WMMButtonUp(TWMMouse& Message) {
    const bool accepts = AcceptsCellMouseClick(Message);
    TCustomControl::WMMButtonUp(Message);
    if (accepts) MouseButtonReleased(Message, mbMiddle);
}

void TCustomGridEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    HideEdit();
    if (!Designing()) {
        if (CanFocus() || !GetParentForm(this)) {
            SetFocus();
            if (!IsActiveControl()) {
                SetMouseCapture(false);
                return;
            }
        }
    }
    bool moving = false;
    if (Button == mbLeft && Shift.Contains(ssDouble)) {
        DblClick();
    } else if (Button == mbLeft) {
        const TGridLayoutEh L = ComputeLayout();
        int idx, pos, ofs;
        const TGridStateEh state = GetSizingStateAt(X, Y, L, idx, pos, ofs);
        if (state != gsNormal) {
            FGridState = state;
            FSizingIndex = idx;
            FSizingPos = pos;
            FSizingOfs = ofs;
            DrawSizingLine(L);
            return;
        }
        const TGridCoord cell = CellAtPoint(X, Y, L);
        const int ufc = FFixedCols - FFrozenColCount, ufr = FFixedRows - FFrozenRowCount;
        const bool selectable =
            cell.X >= std::max(ufc, 0) && cell.Y >= std::max(ufr, 0) && cell.X < FColCount && cell.Y < FRowCount;
        if (!selectable) {
            const TPoint pt{X, Y};
            if (FGridOptions.Contains(gopRowMoving) && cell.X >= 0 && cell.X < ufc && cell.Y >= FFixedRows &&
                cell.Y < FRowCount) {
                FMoveIndex = cell.Y;
                FMovePos = cell.Y;
                if (CanBeginRowMove(FMoveIndex, FMovePos, pt)) {
                    FGridState = gsRowMoving;
                    Update();
                    DrawMoveLine();
                    moving = true;
                    SetTimer(Handle(), ScrollTimer, ScrollInterval);
                }
            } else if (FGridOptions.Contains(gopColMoving) && cell.Y >= 0 && cell.Y < ufr && cell.X >= FFixedCols &&
                       cell.X < FColCount) {
                FMoveIndex = cell.X;
                FMovePos = cell.X;
                if (CanBeginColumnMove(FMoveIndex, FMovePos, pt)) {
                    FGridState = gsColMoving;
                    Update();
                    DrawMoveLine();
                    moving = true;
                    SetTimer(Handle(), ScrollTimer, ScrollInterval);
                }
            }
        } else if (FGridOptions.Contains(gopEditing)) {
            if (cell == FCurrent) {
                ShowEditor();
            } else {
                MoveCurrent(cell.X, cell.Y, true, true);
                UpdateEdit();
            }
            Click();
        } else {
            FGridState = gsSelecting;
            SetTimer(Handle(), ScrollTimer, ScrollInterval);
            if (Shift.Contains(ssShift))
                MoveAnchor(cell, true);
            else
                MoveCurrent(cell.X, cell.Y, true, true);
        }
    }
    try {
        TCustomControl::MouseDown(Button, Shift, X, Y);
    } catch (...) {
        if (moving) DrawMoveLine();
        throw;
    }
}

void TCustomGridEh::MouseMove(TShiftState Shift, int X, int Y) {
    switch (FGridState) {
        case gsSelecting:
        case gsRowMoving:
        case gsColMoving: {
            const TGridLayoutEh L = ComputeLayout();
            const TGridCoord cell = CellAtPoint(X, Y, L);
            if (!Designing()) {
                const int maxX = std::min(L.Horz.LastWholeCell + 1, FColCount - 1);
                const int maxY = std::min(L.Vert.LastWholeCell + 1, FRowCount - 1);
                if (cell.X < FFixedCols - FFrozenColCount || cell.Y < FFixedRows - FFrozenRowCount || cell.X > maxX ||
                    cell.Y > maxY || cell.X < 0 || cell.Y < 0)
                    break;
            }
            if (FGridState == gsSelecting) {
                if (!(cell == FAnchor)) MoveAnchor(cell, true);
            } else if (FGridState == gsRowMoving) {
                TrackMoveTarget(Y, cell.Y, false);
            } else {
                TrackMoveTarget(X, cell.X, true);
            }
            break;
        }
        case gsRowSizing:
        case gsColSizing: {
            const TGridLayoutEh L = ComputeLayout();
            DrawSizingLine(L);
            FSizingPos = (FGridState == gsColSizing ? X : Y) + FSizingOfs;
            DrawSizingLine(L);
            break;
        }
        default: break;
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGridEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    struct TNormal {
        TCustomGridEh* G;
        ~TNormal() { G->FGridState = gsNormal; }
    } normal{this};
    const TPoint pt{X, Y};
    switch (FGridState) {
        case gsSelecting:
            MouseMove(Shift, X, Y);
            if (HandleAllocated()) KillTimer(Handle(), ScrollTimer);
            UpdateEdit();
            Click();
            break;
        case gsRowSizing:
        case gsColSizing: {
            const TGridLayoutEh L = ComputeLayout();
            DrawSizingLine(L);
            const int size = SizeFromSizingLine(L);
            if (size > 1) {
                if (FGridState == gsColSizing)
                    SetColWidths(FSizingIndex, size);
                else
                    SetRowHeights(FSizingIndex, size);
                NotifyDesigner();
            }
            break;
        }
        case gsRowMoving:
        case gsColMoving: {
            DrawMoveLine();
            if (HandleAllocated()) KillTimer(Handle(), ScrollTimer);
            const bool rows = FGridState == gsRowMoving;
            int origin = FMoveIndex, dest = FMovePos;
            const bool ok = rows ? CanEndRowMove(origin, dest, pt) : CanEndColumnMove(origin, dest, pt);
            if (ok && origin != dest) {
                FGridState = gsNormal;
                if (rows)
                    MoveRow(origin, dest);
                else
                    MoveColumn(origin, dest);
                NotifyDesigner();
            }
            UpdateEdit();
            break;
        }
        default: UpdateEdit(); break;
    }
    FGridState = gsNormal;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomGridEh::CancelMouseState() {
    switch (FGridState) {
        case gsSelecting:
            if (HandleAllocated()) KillTimer(Handle(), ScrollTimer);
            break;
        case gsRowSizing:
        case gsColSizing: DrawSizingLine(ComputeLayout()); break;
        case gsRowMoving:
        case gsColMoving:
            DrawMoveLine();
            if (HandleAllocated()) KillTimer(Handle(), ScrollTimer);
            break;
        default: break;
    }
    FGridState = gsNormal;
}

void TCustomGridEh::WMCancelMode(TWMCancelMode& Message) {
    TCustomControl::WMCancelMode(Message);
    CancelMouseState();
}

void TCustomGridEh::CMCancelMode(TCMCancelMode& Message) {
    if (FInplaceEdit) FInplaceEdit->Deliver(Message.Message);
    TCustomControl::CMCancelMode(Message);
    CancelMouseState();
}

void TCustomGridEh::WMTimer(TWMTimer& Message) {
    if (Message.TimerID == ScrollTimer &&
        (FGridState == gsSelecting || FGridState == gsRowMoving || FGridState == gsColMoving)) {
        AutoScrollTick();
        return;
    }
    TCustomControl::WMTimer(Message);
}

}  // namespace grid
