// The base grid's current cell, selection, first shown cells, window scrolling and scroll bars.
#include <algorithm>

#include "controls/grid/GridsEh.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace ui;

static constexpr int ScrollSteps = 127;

// ---------------------------------------------------------------------------------------------
// Current cell and selection

void TCustomGridEh::InvalidateSelectionChange(const TGridRect& OldSel, const TGridRect& NewSel) {
    if (!HandleAllocated() || OldSel == NewSel) return;
    const TGridLayoutEh L = ComputeLayout();
    // The cells whose selected state changed: both rectangles without their common part.
    auto inter = [](const TGridRect& a, const TGridRect& b, TGridRect& r) {
        r = TGridRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                      std::min(a.Bottom, b.Bottom)};
        return r.Left <= r.Right && r.Top <= r.Bottom;
    };
    auto minus = [&](const TGridRect& a, const TGridRect& b) {
        TGridRect c;
        if (!inter(a, b, c)) {
            InvalidateRect(CellRangeRect(a, true, L));
            return;
        }
        if (a.Top < c.Top) InvalidateRect(CellRangeRect(TGridRect{a.Left, a.Top, a.Right, c.Top - 1}, true, L));
        if (a.Bottom > c.Bottom)
            InvalidateRect(CellRangeRect(TGridRect{a.Left, c.Bottom + 1, a.Right, a.Bottom}, true, L));
        if (a.Left < c.Left) InvalidateRect(CellRangeRect(TGridRect{a.Left, c.Top, c.Left - 1, c.Bottom}, true, L));
        if (a.Right > c.Right) InvalidateRect(CellRangeRect(TGridRect{c.Right + 1, c.Top, a.Right, c.Bottom}, true, L));
    };
    minus(OldSel, NewSel);
    minus(NewSel, OldSel);
}

void TCustomGridEh::MoveCurrent(int ACol, int ARow, bool Show, bool MoveAnchorToo) {
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        throw EInvalidGridOperationEh(SGridIndexOutOfRange);
    if (!CanSelectCell(ACol, ARow)) return;
    const TGridRect oldSel = Selection();
    const TGridCoord oldCur = FCurrent;
    FCurrent = TGridCoord{ACol, ARow};
    if (!FGridOptions.Contains(gopAlwaysShowEditor)) HideEditor();
    if (MoveAnchorToo || !FGridOptions.Contains(gopRangeSelect)) {
        FAnchor = FCurrent;
        if (FGridOptions.Contains(gopRowSelect)) FAnchor.X = FColCount - 1;
    }
    if (FGridOptions.Contains(gopRowSelect)) FCurrent.X = FTopLeft.X;
    if (Show) ScrollCellIntoView(FCurrent);
    InvalidateSelectionChange(oldSel, Selection());
    InvalidateCell(oldCur.X, oldCur.Y);
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGridEh::MoveAnchor(TGridCoord Cell, bool Show) {
    if (!FGridOptions.Contains(gopRangeSelect) || FGridOptions.Contains(gopEditing)) {
        MoveCurrent(Cell.X, Cell.Y, Show, true);
        return;
    }
    const TGridRect oldSel = Selection();
    FAnchor = Cell;
    if (FGridOptions.Contains(gopRowSelect)) FAnchor.X = FColCount - 1;
    if (Show) ScrollCellIntoView(Cell);
    InvalidateSelectionChange(oldSel, Selection());
}

void TCustomGridEh::FocusCell(int ACol, int ARow, bool MoveAnchorToo) {
    MoveCurrent(ACol, ARow, true, MoveAnchorToo);
    UpdateEdit();
    Click();
}

void TCustomGridEh::SetCol(int Value) {
    if (Value != FCurrent.X) FocusCell(Value, FCurrent.Y, true);
}

void TCustomGridEh::SetRow(int Value) {
    if (Value != FCurrent.Y) FocusCell(FCurrent.X, Value, true);
}

void TCustomGridEh::SetLeftCol(int Value) {
    if (Value != FTopLeft.X) MoveTopLeft(Value, FTopLeft.Y);
}

void TCustomGridEh::SetTopRow(int Value) {
    if (Value != FTopLeft.Y) MoveTopLeft(FTopLeft.X, Value);
}

void TCustomGridEh::ExtendSelectionBy(int Directions) {
    TGridCoord a = FAnchor;
    if ((Directions & ExtendLeft) && a.X > FFixedCols) --a.X;
    if ((Directions & ExtendRight) && a.X < FColCount - 1) ++a.X;
    if ((Directions & ExtendUp) && a.Y > FFixedRows) --a.Y;
    if ((Directions & ExtendDown) && a.Y < FRowCount - 1) ++a.Y;
    if (!(a == FAnchor)) MoveAnchor(a, true);
}

// ---------------------------------------------------------------------------------------------
// First shown cells

void TCustomGridEh::MoveTopLeft(int ALeft, int ATop) {
    if (ALeft == FTopLeft.X && ATop == FTopLeft.Y) return;
    if (HandleAllocated()) UpdateWindow();
    const TGridCoord old = FTopLeft;
    FTopLeft = TGridCoord{ALeft, ATop};
    TopLeftMoved(old);
}

void TCustomGridEh::ScrollCellIntoView(TGridCoord Cell) {
    if (!HandleAllocated()) return;
    const TGridLayoutEh L = ComputeLayout();
    if (Cell.X >= FTopLeft.X && Cell.X <= L.Horz.LastWholeCell && Cell.Y >= FTopLeft.Y &&
        Cell.Y <= L.Vert.LastWholeCell)
        return;
    TGridCoord nt = FTopLeft;
    const TGridCoord max = MaxTopLeft(Cell, L);
    if (Cell.X < FTopLeft.X && Cell.X >= FFixedCols)
        nt.X = Cell.X;
    else if (Cell.X > L.Horz.LastWholeCell)
        nt.X = max.X;
    if (Cell.Y < FTopLeft.Y && Cell.Y >= FFixedRows)
        nt.Y = Cell.Y;
    else if (Cell.Y > L.Vert.LastWholeCell)
        nt.Y = max.Y;
    MoveTopLeft(nt.X, nt.Y);
}

// Pixels between two first cells (negative when moving forward); false when the distance is
// more than the shown scrollable part, which is then painted anew.
static bool AxisScrollDistance(const TCustomGridEh* G, const TGridAxisLayoutEh& A, int Old, int New, int& Dist) {
    Dist = 0;
    const int limit = A.ScrollEnd - A.FixedEnd;
    const int from = std::min(Old, New), to = std::max(Old, New);
    int sum = 0;
    for (int i = from; i < to; ++i) {
        sum += A.Extent(G, i) + A.LineWidth;
        if (sum > limit) return false;
    }
    Dist = New > Old ? -sum : sum;
    return true;
}

void TCustomGridEh::TopLeftMoved(TGridCoord Old) {
    UpdateScrollPos();
    const TGridLayoutEh L = ComputeLayout();
    int dx = 0, dy = 0;
    const bool canH = AxisScrollDistance(this, L.Horz, Old.X, FTopLeft.X, dx);
    const bool canV = AxisScrollDistance(this, L.Vert, Old.Y, FTopLeft.Y, dy);
    // A new first column starts whole: the hidden part of the old one goes with it.
    const int offset = Old.X != FTopLeft.X ? FDataOffset : 0;
    if (offset != 0) FDataOffset = 0;
    if (canH && canV)
        ScrollDataArea(dx + offset, dy);
    else
        InvalidateGrid();
    UpdateEditorPosition();
}

void TCustomGridEh::ScrollDataArea(int DX, int DY) {
    if (!HandleAllocated() || (DX == 0 && DY == 0)) return;
    const TGridLayoutEh L = ComputeLayout();
    const TGridAxisLayoutEh& H = L.Horz;
    const TGridAxisLayoutEh& V = L.Vert;
    const TRect client = GetClientRect();
    auto scroll = [this](int dx, int dy, const TRect& r) {
        if (r.IsEmpty()) return;
        ScrollWindow(dx, dy, &r, &r);
    };
    if (DY != 0) {
        if (DX != 0) {
            scroll(DX, 0, TRect{H.FixedEnd, 0, H.ContraStart, V.FixedEnd});
            scroll(0, DY, TRect{0, V.FixedEnd, H.FixedEnd, V.ContraStart});
            scroll(DX, DY, TRect{H.FixedEnd, V.FixedEnd, H.ContraStart, V.ContraStart});
            scroll(DX, 0, TRect{H.FixedEnd, V.ContraStart, H.ContraStart, client.Bottom});
            scroll(0, DY, TRect{H.ContraStart, V.FixedEnd, client.Right, V.ContraStart});
        } else {
            scroll(0, DY, TRect{0, V.FixedEnd, client.Right, V.ContraStart});
        }
    } else {
        scroll(DX, 0, TRect{H.FixedEnd, 0, H.ContraStart, client.Bottom});
    }
    if (FGridOptions.Contains(gopRowSelect)) InvalidateGridRect(Selection());
}

// ---------------------------------------------------------------------------------------------
// Scroll bars

void TCustomGridEh::ModifyScrollBar(int ScrollBar, int ScrollCode, bool FromScrollBar, int Pos) {
    (void)FromScrollBar;
    const int direction = 1;  // right-to-left alignment is never in effect
    if (Visible() && CanFocus() && TabStop() && !Designing() && !Focused()) SetFocus();
    const bool horz = ScrollBar == SB_HORZ;
    const bool tracking = FGridOptions.Contains(gopThumbTracking);
    if (horz && HorzScrollsByPixels()) {
        int d = 0;
        switch (ScrollCode) {
            case SB_LINEUP: d = -HorzScrollLineStep(); break;
            case SB_LINEDOWN: d = HorzScrollLineStep(); break;
            case SB_PAGEUP: d = -FHorzPixelPage; break;
            case SB_PAGEDOWN: d = FHorzPixelPage; break;
            case SB_THUMBPOSITION: d = Pos - FHorzPixelPos; break;
            case SB_THUMBTRACK:
                if (tracking) d = Pos - FHorzPixelPos;
                break;
            case SB_TOP: d = -FHorzPixelPos; break;
            case SB_BOTTOM: d = FHorzPixelExtent - FHorzPixelPage - FHorzPixelPos; break;
            default: break;
        }
        ScrollHorzPixels(d);
        return;
    }
    const TGridLayoutEh L = ComputeLayout();
    if (horz && FColCount == 1) {
        const int colWidth = ColExtent(this, 0);
        const int visible = L.Horz.ClientExtent - L.Horz.FixedEnd;
        const int maxOfs = std::max(0, colWidth - visible);
        int ofs = FSingleColumnOffset;
        const int charW = std::max(1, MeasureTextExtent("0").cx);
        switch (ScrollCode) {
            case SB_LINEUP: ofs -= charW * direction; break;
            case SB_LINEDOWN: ofs += charW * direction; break;
            case SB_PAGEUP: ofs -= (L.Horz.ClientExtent - L.Horz.FixedEnd) * direction; break;
            case SB_PAGEDOWN: ofs += (L.Horz.ClientExtent - L.Horz.FixedEnd) * direction; break;
            case SB_THUMBPOSITION: ofs = Pos; break;
            case SB_THUMBTRACK:
                if (tracking) ofs = Pos;
                break;
            case SB_TOP: ofs = 0; break;
            case SB_BOTTOM: ofs = maxOfs; break;
            default: break;
        }
        ofs = std::clamp(ofs, 0, maxOfs);
        if (ofs != FSingleColumnOffset) {
            const int diff = FSingleColumnOffset - ofs;
            FSingleColumnOffset = ofs;
            if (HandleAllocated()) {
                const TRect strip{L.Horz.FixedEnd, 0, L.Horz.ContraStart, ClientHeight()};
                ScrollWindow(diff, 0, &strip, &strip);
                const TRect titles{0, 0, ClientWidth(), L.Vert.FixedEnd};
                TWinControl::InvalidateRect(&titles, false);
                UpdateWindow();
            }
            UpdateScrollPos();
        }
        return;
    }
    const TGridAxisLayoutEh& A = horz ? L.Horz : L.Vert;
    const TGridCoord maxTL = MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, L);
    const int maxFirst = horz ? maxTL.X : maxTL.Y;
    const int minFirst = horz ? FFixedCols : FFixedRows;
    const int cur = horz ? FTopLeft.X : FTopLeft.Y;
    int step = 0;
    int result = cur;
    bool repeatStep = false;
    switch (ScrollCode) {
        case SB_LINEUP:
            step = -direction;
            repeatStep = true;
            break;
        case SB_LINEDOWN:
            step = direction;
            repeatStep = true;
            break;
        case SB_PAGEUP: {
            const TGridCoord m = MaxTopLeft(TGridCoord{horz ? cur : 0, horz ? 0 : cur}, L);
            step = -std::max(1, cur - (horz ? m.X : m.Y));
            repeatStep = true;
            break;
        }
        case SB_PAGEDOWN:
            step = std::max(1, A.LastWholeCell - cur);
            repeatStep = true;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            if (ScrollCode == SB_THUMBPOSITION || tracking)
                result = minFirst + MulDiv(Pos, maxFirst - minFirst, ScrollSteps);
            break;
        case SB_TOP: result = minFirst; break;
        case SB_BOTTOM: result = maxFirst; break;
        default: break;
    }
    if (repeatStep) {
        result = cur + step;
        // Cells of no extent are stepped over.
        while (result > minFirst && result < maxFirst && A.Extent(this, result) <= 0) result += step;
    }
    result = std::clamp(result, minFirst, std::max(minFirst, maxFirst));
    if (result != cur) {
        if (horz)
            MoveTopLeft(result, FTopLeft.Y);
        else
            MoveTopLeft(FTopLeft.X, result);
    }
}

void TCustomGridEh::UpdateScrollPos() {
    if (!HandleAllocated() || FScrollBars == TScrollStyle::ssNone) return;
    const bool hasH = FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth;
    const bool hasV = FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth;
    const TGridLayoutEh L = ComputeLayout();
    const TGridCoord maxTL = MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, L);
    if (hasH) {
        if (HorzScrollsByPixels()) {
            int pos = FDataOffset;
            for (int c = FFixedCols; c < FTopLeft.X; ++c) pos += ColExtent(this, c) + FGridLineWidth;
            FHorzPixelPos = pos;
            TScrollInfo cur;
            GetScrollInfo(SB_HORZ, cur);
            if (cur.nMin != 0 || cur.nPos != FHorzPixelPos || cur.nPage != UINT(std::max(FHorzPixelPage, 0)) ||
                cur.nMax != FHorzPixelExtent - 1) {
                TScrollInfo si;
                si.fMask = SIF_ALL;
                si.nMin = 0;
                si.nMax = FHorzPixelExtent - 1;
                si.nPage = UINT(std::max(FHorzPixelPage, 0));
                si.nPos = FHorzPixelPos;
                SetScrollInfo(SB_HORZ, si, true);
            }
        } else if (FColCount == 1) {
            const int width = ColExtent(this, 0);
            const int visible = L.Horz.ClientExtent - L.Horz.FixedEnd;
            if (FSingleColumnOffset >= 1 && width - FSingleColumnOffset < visible) {
                ModifyScrollBar(SB_HORZ, SB_THUMBPOSITION, true, width - visible);
            } else if (GetScrollPos(SB_HORZ) != FSingleColumnOffset) {
                SetScrollPos(SB_HORZ, FSingleColumnOffset, true);
            }
        } else {
            const int thumb = MulDiv(FTopLeft.X - FFixedCols, ScrollSteps, maxTL.X - FFixedCols);
            if (GetScrollPos(SB_HORZ) != thumb) SetScrollPos(SB_HORZ, thumb, true);
        }
    }
    if (hasV) {
        const int thumb = MulDiv(FTopLeft.Y - FFixedRows, ScrollSteps, maxTL.Y - FFixedRows);
        if (GetScrollPos(SB_VERT) != thumb) SetScrollPos(SB_VERT, thumb, true);
    }
}

void TCustomGridEh::UpdateHorzExtent() {
    if (!HorzScrollsByPixels()) return;
    int extent = 0;
    for (int c = FFixedCols; c < FColCount; ++c) extent += ColExtent(this, c) + FGridLineWidth;
    FHorzPixelExtent = extent;
    const TGridLayoutEh L = ComputeLayout();
    FHorzPixelPage = std::max(0, L.Horz.ScrollLimit - L.Horz.FixedEnd);
}

void TCustomGridEh::UpdateScrollRange() {
    // Client sizes hold for a hidden window too, so the bars are set up as soon as it exists.
    if (FScrollBars == TScrollStyle::ssNone || !HandleAllocated() || !Visible()) return;
    const TScrollStyle saved = FScrollBars;
    const bool hasH = saved == TScrollStyle::ssHorizontal || saved == TScrollStyle::ssBoth;
    const bool hasV = saved == TScrollStyle::ssVertical || saved == TScrollStyle::ssBoth;
    TRect client = GetClientRect();
    int w = client.Right, h = client.Bottom;
    if (hasH && ScrollBarVisible(SB_HORZ)) h += GetSystemMetrics(SM_CYHSCROLL);
    if (hasV && ScrollBarVisible(SB_VERT)) w += GetSystemMetrics(SM_CXVSCROLL);
    const TGridCoord oldTopLeft = FTopLeft;
    FScrollBars = TScrollStyle::ssNone;
    struct TRestore {
        TCustomGridEh* G;
        TScrollStyle S;
        ~TRestore() { G->FScrollBars = S; }
    } restore{this, saved};
    auto horizontal = [&](int width, int height) {
        if (!hasH) return;
        if (HorzScrollsByPixels()) {
            const TGridLayoutEh L = ComputeLayoutFor(width, height);
            int total = 0;
            for (int c = FFixedCols; c < FColCount; ++c) total += ColExtent(this, c) + FGridLineWidth;
            const int end = total + L.Horz.FixedEnd - width;
            if (end < FHorzPixelPos) ScrollHorzPixels(end - FHorzPixelPos);
            FHorzPixelExtent = total;
            FHorzPixelPage = std::max(0, width - L.Horz.FixedEnd);
            TScrollInfo si;
            si.fMask = SIF_ALL;
            si.nMin = 0;
            si.nMax = FHorzPixelExtent - 1;
            si.nPage = UINT(FHorzPixelPage);
            si.nPos = FHorzPixelPos;
            SetScrollInfo(SB_HORZ, si, true);
        } else if (FColCount == 1) {
            SetScrollRange(SB_HORZ, 0, std::max(0, ColExtent(this, 0) - width), true);
        } else {
            const TGridLayoutEh L = ComputeLayoutFor(width, height);
            const int maxLeft = MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, L).X;
            SetScrollRange(SB_HORZ, 0, maxLeft > FFixedCols ? ScrollSteps : 0, true);
            if (maxLeft < FTopLeft.X) {
                UpdateWindow();
                FTopLeft.X = std::max(maxLeft, FFixedCols);
            }
        }
    };
    horizontal(w, h);
    if (hasV) {
        client = GetClientRect();
        const int height = client.Bottom;
        const TGridLayoutEh L = ComputeLayoutFor(client.Right, height);
        const int maxTop = MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, L).Y;
        SetScrollRange(SB_VERT, 0, maxTop > FFixedRows ? ScrollSteps : 0, true);
        if (maxTop < FTopLeft.Y) {
            UpdateWindow();
            FTopLeft.Y = std::max(maxTop, FFixedRows);
        }
        const TRect now = GetClientRect();
        if (now.Right != client.Right) horizontal(now.Right, now.Bottom);
    }
    FScrollBars = saved;
    UpdateScrollPos();
    const bool changed = HorzScrollsByPixels() ? FTopLeft.Y != oldTopLeft.Y : !(FTopLeft == oldTopLeft);
    if (changed) TopLeftMoved(oldTopLeft);
}

void TCustomGridEh::ScrollHorzPixels(int Distance) {
    const int maxPos = std::max(0, FHorzPixelExtent - FHorzPixelPage);
    const int newPos = std::clamp(FHorzPixelPos + Distance, 0, maxPos);
    const int applied = newPos - FHorzPixelPos;
    if (applied != 0) {
        int rest = newPos;
        int col = FFixedCols;
        while (col < FColCount - 1 && rest >= ColExtent(this, col) + FGridLineWidth) {
            rest -= ColExtent(this, col) + FGridLineWidth;
            ++col;
        }
        FTopLeft.X = col;
        FDataOffset = rest;
        FHorzPixelPos = newPos;
        ScrollDataArea(-applied, 0);
        UpdateEditorPosition();
    }
    UpdateScrollPos();
}

// ---------------------------------------------------------------------------------------------
// Automatic scrolling while the mouse is held outside the data area

void TCustomGridEh::AutoScrollTick() {
    if (!HandleAllocated()) return;
    const TPoint p = ScreenToClient(GetCursorPos());
    const TGridLayoutEh L = ComputeLayout();
    switch (FGridState) {
        case gsSelecting: {
            int flags = 0;
            if (p.X < L.Horz.FixedEnd)
                flags |= ExtendLeft;
            else if (p.X > L.Horz.LastWholeEnd)
                flags |= ExtendRight;
            if (p.Y < L.Vert.FixedEnd)
                flags |= ExtendUp;
            else if (p.Y > L.Vert.LastWholeEnd)
                flags |= ExtendDown;
            if (flags != 0) ExtendSelectionBy(flags);
            break;
        }
        case gsRowMoving: TrackMoveTarget(p.Y, CellAtPoint(p.X, p.Y, L).Y, false); break;
        case gsColMoving: {
            const int oldLeft = FTopLeft.X, oldPixel = FHorzPixelPos;
            TrackMoveTarget(p.X, CellAtPoint(p.X, p.Y, L).X, true);
            const TGridLayoutEh N = ComputeLayout();
            int interval = 60;
            const int fixedEndScreen = ClientToScreen(TPoint{N.Horz.FixedEnd, 0}).X;
            const int limitScreen = ClientToScreen(TPoint{N.Horz.ScrollLimit, 0}).X;
            const int mouseScreen = ClientToScreen(p).X;
            auto slope = [](int room, int distance) {
                const int d = distance > 10 ? distance - 10 : 1;
                return static_cast<int>(double(room) / d * 1.5 + 0.5) + 60;
            };
            if (FMovePos < FFixedCols) {
                interval = 60;
            } else if (p.X < N.Horz.FixedEnd) {
                const int room = std::min(fixedEndScreen, 200);
                interval = slope(room, std::min(fixedEndScreen - mouseScreen, room));
            } else if (p.X < N.Horz.ScrollLimit && (FTopLeft.X > oldLeft || FHorzPixelPos > oldPixel)) {
                interval = 360;
            } else if (p.X >= N.Horz.ScrollLimit) {
                const int room = std::min(GetSystemMetrics(SM_CXSCREEN) - limitScreen, 200);
                interval = slope(room, std::min(mouseScreen - limitScreen, room));
            }
            SetTimer(Handle(), 1, static_cast<uint32_t>(interval));
            break;
        }
        default: break;
    }
}

}  // namespace grid
