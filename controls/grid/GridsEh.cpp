// The base grid's model: cells, extents, layout arithmetic, the size-changing operations and the
// line colours.
#include "controls/grid/GridsEh.h"

#include <algorithm>

#include "framework/rtl/Ownership.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace ui;

TGridRect MakeGridRect(TGridCoord A, TGridCoord B) noexcept {
    return TGridRect{std::min(A.X, B.X), std::min(A.Y, B.Y), std::max(A.X, B.X), std::max(A.Y, B.Y)};
}

bool CellInGridRect(TGridCoord C, const TGridRect& R) noexcept {
    return C.X >= R.Left && C.X <= R.Right && C.Y >= R.Top && C.Y <= R.Bottom;
}

[[noreturn]] static void GridError(const char* Text) { throw EInvalidGridOperationEh(Text); }

// ---------------------------------------------------------------------------------------------
// TGridLineColorsEh

TColor TGridLineColorsEh::DarkColor() { return Colors[1] == GridColorNotSet ? clGray : Colors[1]; }

TColor TGridLineColorsEh::BrightColor() {
    if (Colors[0] != GridColorNotSet) return Colors[0];
    return ColorToRGB(FGrid->Color()) == TColorRef(clSilver) ? clGray : clSilver;
}

TColor TGridLineColorsEh::AreaLineColor(int ACol, int ARow) {
    const TCustomGridEh* g = FGrid;
    if (ACol < g->FixedCols() - g->FrozenColCount() || ARow < g->FixedRows() - g->FrozenRowCount()) return DarkColor();
    if (ACol < g->ColCount() && ARow < g->RowCount()) return BrightColor();
    if (ACol >= g->ColCount() && ARow < g->RowCount()) return GetColor7();
    return GetColor14();
}

TColor TGridLineColorsEh::VertLineColor(int ACol) { return ACol == FGrid->ColCount() ? GetColor12() : BrightColor(); }
TColor TGridLineColorsEh::HorzLineColor(int ARow) { return ARow == FGrid->RowCount() ? GetColor6() : BrightColor(); }

TColor TGridLineColorsEh::FrozenVertLineColor(int ACol) {
    return FGrid->FrozenColCount() > 0 && ACol + 1 == FGrid->FixedCols() ? GetColor15() : BrightColor();
}

TColor TGridLineColorsEh::FrozenHorzLineColor(int ARow) {
    return FGrid->FrozenRowCount() > 0 && ARow + 1 == FGrid->FixedRows() ? DarkColor() : BrightColor();
}

TColor TGridLineColorsEh::GetColor5() { return Dark(5); }
TColor TGridLineColorsEh::GetColor4() { return Dark(4); }
TColor TGridLineColorsEh::GetColor17() { return Bright(17); }
TColor TGridLineColorsEh::GetColor16() { return Bright(16); }
TColor TGridLineColorsEh::GetColor11() { return Bright(11); }
TColor TGridLineColorsEh::GetColor10() { return Bright(10); }
TColor TGridLineColorsEh::GetColor15() { return Dark(15); }
TColor TGridLineColorsEh::GetColor9() { return Dark(9); }
TColor TGridLineColorsEh::GetColor3() { return Bright(3); }
TColor TGridLineColorsEh::GetColor2() { return Bright(2); }
TColor TGridLineColorsEh::GetColor14() { return Bright(14); }
TColor TGridLineColorsEh::GetColor13() { return Bright(13); }
TColor TGridLineColorsEh::GetColor8() { return Bright(8); }
TColor TGridLineColorsEh::GetColor7() { return Bright(7); }
TColor TGridLineColorsEh::GetColor12() { return Dark(12); }
TColor TGridLineColorsEh::GetColor6() { return Dark(6); }

// ---------------------------------------------------------------------------------------------
// Construction

TCustomGridEh::TCustomGridEh(rtl::TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csNeedsBorderPaint};
    FColor = clWindow;
    FParentColor = false;
    FTabStop = true;
    FLeft = 0;
    FTop = 0;
    FWidth = FDefaultColWidth * FColCount;
    FHeight = FDefaultRowHeight * FRowCount;
}

TCustomGridEh::~TCustomGridEh() = default;

void TCustomGridEh::AfterConstruction() {
    TCustomControl::AfterConstruction();
    InitializeCells();
    FGridLineColors.reset(CreateGridLineColors());
    FMouseDownCell = MouseCoord(-1, -1);
}

void TCustomGridEh::BeforeDestruction() {
    // The editor goes before the grid's window; the line colours after it (member order).
    if (FInplaceEdit) {
        TInplaceEdit* e = FInplaceEdit;
        FInplaceEdit = nullptr;
        e->Free();
    }
    if (HandleAllocated()) KillTimer(Handle(), 1);
    TCustomControl::BeforeDestruction();
}

void TCustomGridEh::InitializeCells() {
    FTopLeft = {FFixedCols, FFixedRows};
    FCurrent = FTopLeft;
    FAnchor = FCurrent;
    if (FGridOptions.Contains(gopRowSelect)) FAnchor.X = FColCount - 1;
}

TGridLineColorsEh* TCustomGridEh::CreateGridLineColors() { return new TGridLineColorsEh(this); }

// ---------------------------------------------------------------------------------------------
// Extents

int TCustomGridEh::ColExtent(const TCustomGridEh* G, int Index) {
    return Index >= 0 && Index < static_cast<int>(G->FColWidths.size()) ? G->FColWidths[Index] : G->FDefaultColWidth;
}

int TCustomGridEh::RowExtent(const TCustomGridEh* G, int Index) {
    return Index >= 0 && Index < static_cast<int>(G->FRowHeights.size()) ? G->FRowHeights[Index] : G->FDefaultRowHeight;
}

int TCustomGridEh::ColWidths(int Index) const noexcept { return ColExtent(this, Index); }
int TCustomGridEh::RowHeights(int Index) const noexcept { return RowExtent(this, Index); }

int TCustomGridEh::TabStops(int Index) const noexcept {
    return Index >= 0 && Index < static_cast<int>(FTabStops.size()) ? FTabStops[Index] : 1;
}

void TCustomGridEh::SetColWidths(int Index, int Value) {
    if (FColWidths.empty()) ResizeExtentArray(FColWidths, 0, FullColCount(), FDefaultColWidth);
    if (Index < 0 || Index >= FullColCount()) GridError(SGridIndexOutOfRange);
    if (FColWidths[Index] != Value) {
        InvalidateGrid();
        FColWidths[Index] = Value;
        ColWidthsChanged();
    }
}

void TCustomGridEh::SetRowHeights(int Index, int Value) {
    if (FRowHeights.empty()) ResizeExtentArray(FRowHeights, 0, FullRowCount(), FDefaultRowHeight);
    if (Index < 0 || Index >= FullRowCount()) GridError(SGridIndexOutOfRange);
    if (FRowHeights[Index] != Value) {
        InvalidateGrid();
        FRowHeights[Index] = Value;
        RowHeightsChanged();
    }
}

void TCustomGridEh::SetTabStops(int Index, int Value) {
    if (FTabStops.empty()) ResizeExtentArray(FTabStops, 0, FullColCount(), 1);
    if (Index < 0 || Index >= FullColCount()) GridError(SGridIndexOutOfRange);
    FTabStops[Index] = Value;
}

void TCustomGridEh::SetDefaultColWidth(int Value) {
    if (Value == FDefaultColWidth) return;
    FColWidths.clear();
    FDefaultColWidth = Value;
    ColWidthsChanged();
    InvalidateGrid();
}

void TCustomGridEh::SetDefaultRowHeight(int Value) {
    FRowHeights.clear();
    FDefaultRowHeight = Value;
    RowHeightsChanged();
    InvalidateGrid();
}

void TCustomGridEh::SetGridLineWidth(int Value) {
    if (Value == FGridLineWidth) return;
    FGridLineWidth = Value;
    ColWidthsChanged();
    InvalidateGrid();
}

// Inserts (Amount > 0) or removes (Amount < 0) entries at Index; the entries after them keep
// their values, so contra cells keep theirs when the scrollable count changes.
void TCustomGridEh::ResizeExtentArray(TIntegerArray& Array, int Index, int Amount, int Default) {
    const int count = static_cast<int>(Array.size());
    if (Index < 0 || Index > count) GridError(SGridIndexOutOfRange);
    const int64_t newCount = int64_t(count) + Amount;
    if (newCount < 0) GridError(STooManyDeleted);
    if (newCount > MaxExtentCount) GridError(SGridTooLarge);
    if (Amount > 0) {
        Array.insert(Array.begin() + Index, static_cast<size_t>(Amount), Default);
    } else if (Amount < 0) {
        const int removed = std::min(-Amount, count - Index);
        Array.erase(Array.begin() + Index, Array.begin() + Index + removed);
        Array.resize(static_cast<size_t>(newCount));
    }
}

// Resizes the arrays that exist to the given full counts, inserting or removing before the contra
// cells.
void TCustomGridEh::SizeArraysTo(int FullCols, int FullRows) {
    auto resize = [this](TIntegerArray& a, int newFull, int contra, int def) {
        if (a.empty()) return;
        const int oldFull = static_cast<int>(a.size());
        const int at = std::min(oldFull, newFull) - contra;
        ResizeExtentArray(a, std::max(at, 0), newFull - oldFull, def);
    };
    // Check every array first, so a failure leaves all of them as they were.
    auto check = [](const TIntegerArray& a, int newFull) {
        if (!a.empty() && newFull > MaxExtentCount) GridError(SGridTooLarge);
        if (!a.empty() && newFull < 0) GridError(STooManyDeleted);
    };
    check(FColWidths, FullCols);
    check(FTabStops, FullCols);
    check(FRowHeights, FullRows);
    resize(FColWidths, FullCols, FContraColCount, FDefaultColWidth);
    resize(FTabStops, FullCols, FContraColCount, 1);
    resize(FRowHeights, FullRows, FContraRowCount, FDefaultRowHeight);
}

// ---------------------------------------------------------------------------------------------
// Layout

void TCustomGridEh::ComputeAxis(TGridAxisLayoutEh& A, bool H, int ClientExtent) const {
    const bool lines = H ? (FGridOptions.Contains(gopFixedVertLine) || FGridOptions.Contains(gopVertLine))
                         : (FGridOptions.Contains(gopFixedHorzLine) || FGridOptions.Contains(gopHorzLine));
    A.LineWidth = lines ? FGridLineWidth : 0;
    A.ExtentOf = H ? &ColExtent : &RowExtent;
    A.CellCount = H ? FColCount : FRowCount;
    A.ContraCount = H ? FContraColCount : FContraRowCount;
    A.TotalCount = A.CellCount + A.ContraCount;
    A.PixelOffset = H ? FDataOffset : 0;
    A.FixedCount = H ? FFixedCols : FFixedRows;
    A.FrozenCount = H ? FFrozenColCount : FFrozenRowCount;
    A.FirstScrollCell = H ? FTopLeft.X : FTopLeft.Y;
    const int lw = A.LineWidth;
    int contra = ClientExtent;
    for (int i = A.CellCount; i < A.TotalCount; ++i) contra -= A.Extent(this, i) + lw;
    if (A.ContraCount > 0) contra -= lw;
    A.ContraStart = contra;
    int fixedEnd = 0;
    for (int i = 0; i < A.FixedCount; ++i) fixedEnd += A.Extent(this, i) + lw;
    A.FixedEnd = fixedEnd;
    int unfrozen = fixedEnd;
    for (int i = std::max(0, A.FixedCount - A.FrozenCount); i < A.FixedCount; ++i) unfrozen -= A.Extent(this, i) + lw;
    A.UnfrozenEnd = unfrozen;
    A.ClientExtent = ClientExtent;
    A.ScrollLimit = A.ContraStart;
    A.ScrollStart = A.FixedEnd - A.PixelOffset;
    int pos = A.ScrollStart;
    A.LastWholeCell = A.FirstScrollCell;
    A.LastWholeEnd = A.FixedEnd;
    bool stopped = false;
    for (int c = A.FirstScrollCell; c < A.CellCount; ++c) {
        pos += A.Extent(this, c) + lw;
        if (pos > A.ScrollLimit + lw) {
            A.ScrollEnd = A.ScrollLimit;
            stopped = true;
            break;
        }
        A.LastWholeCell = c;
        A.LastWholeEnd = pos;
    }
    if (!stopped) A.ScrollEnd = pos;
    A.FullEnd = A.ContraCount <= 0 ? A.ScrollEnd : A.ClientExtent;
}

TGridLayoutEh TCustomGridEh::ComputeLayoutFor(int W, int H) const {
    TGridLayoutEh L;
    ComputeAxis(L.Horz, true, W);
    ComputeAxis(L.Vert, false, H);
    return L;
}

TGridLayoutEh TCustomGridEh::ComputeLayout() const {
    if (HandleAllocated()) {
        const TRect r = GetClientRect();
        return ComputeLayoutFor(r.Width(), r.Height());
    }
    return ComputeLayoutFor(Width(), Height());
}

static int AxisCellAt(const TCustomGridEh* G, const TGridAxisLayoutEh& A, int P) {
    auto walk = [&](int from, int to, int start) {
        for (int i = from; i < to; ++i) {
            start += A.Extent(G, i) + A.LineWidth;
            if (start > P) return i;
        }
        return -1;
    };
    if (P < A.FixedEnd) return walk(0, A.FixedCount, 0);
    // Without lines the first contra cell begins right at ContraStart.
    if (P > A.ContraStart || (P == A.ContraStart && A.ContraCount > 0))
        return walk(A.CellCount, A.TotalCount, A.ContraStart + A.LineWidth);
    return walk(A.FirstScrollCell, A.CellCount, A.ScrollStart);
}

TGridCoord TCustomGridEh::CellAtPoint(int X, int Y, const TGridLayoutEh& L) const {
    return TGridCoord{AxisCellAt(this, L.Horz, X), AxisCellAt(this, L.Vert, Y)};
}

TGridCoord TCustomGridEh::MouseCoord(int X, int Y) const {
    TGridCoord c = CellAtPoint(X, Y, ComputeLayout());
    if (c.X == -1) c.Y = -1;
    if (c.Y == -1) c.X = -1;
    return c;
}

// Start of a cell's band; false when the cell has no position (scrolled away or past the client).
static bool AxisLineStart(const TCustomGridEh* G, const TGridAxisLayoutEh& A, int Index, int& Start) {
    const int lw = A.LineWidth;
    if (Index < A.FixedCount) {
        Start = 0;
        for (int i = 0; i < Index; ++i) Start += A.Extent(G, i) + lw;
        return true;
    }
    if (Index < A.CellCount) {
        if (Index < A.FirstScrollCell) {
            Start = 0;
            return false;
        }
        Start = A.ScrollStart;
        for (int i = A.FirstScrollCell; i < Index; ++i) {
            Start += A.Extent(G, i) + lw;
            if (Start > A.ClientExtent) return false;
        }
        return Start <= A.ClientExtent;
    }
    Start = A.ContraStart + lw;
    for (int i = A.CellCount; i < Index; ++i) Start += A.Extent(G, i) + lw;
    return true;
}

// One axis of CellRangeRect; false for an empty result.
static bool AxisRange(const TCustomGridEh* G, const TGridAxisLayoutEh& A, int First, int Last, bool Lines, int& From,
                      int& To) {
    int a = First, b = Last;
    if (a > A.TotalCount + 1) a = A.TotalCount;
    if (a >= A.FixedCount && a < A.FirstScrollCell) {
        if (b < A.FirstScrollCell) return false;
        a = A.FirstScrollCell;
    }
    if (b > A.LastWholeCell) {
        if (b < A.CellCount || A.ContraCount <= 0) {
            b = A.LastWholeCell < A.CellCount - 1 ? A.LastWholeCell + 1 : A.LastWholeCell;
            int s;
            if (!AxisLineStart(G, A, b, s)) --b;
        } else {
            b = std::min(b, A.TotalCount - 1);
        }
    }
    int start = 0, bStart = 0;
    AxisLineStart(G, A, a, start);
    int endCell = b;
    if (b < a || !AxisLineStart(G, A, b, bStart)) {
        bStart = start;
        endCell = a;
    }
    int end = bStart + A.Extent(G, endCell);
    end = std::min(end, endCell >= A.CellCount ? A.ClientExtent : A.ScrollLimit);
    if (a >= A.FixedCount && start < A.FixedEnd) start = A.FixedEnd;
    if (Lines) end += A.LineWidth;
    From = start;
    To = end;
    return true;
}

TRect TCustomGridEh::CellRangeRect(const TGridRect& R, bool IncludeLines, const TGridLayoutEh& L) const {
    TRect out;
    if (!AxisRange(this, L.Horz, R.Left, R.Right, IncludeLines, out.Left, out.Right)) return TRect{};
    if (!AxisRange(this, L.Vert, R.Top, R.Bottom, IncludeLines, out.Top, out.Bottom)) return TRect{};
    return out;
}

TRect TCustomGridEh::CellRangeRect(const TGridRect& R, bool IncludeLines) const {
    return CellRangeRect(R, IncludeLines, ComputeLayout());
}

TRect TCustomGridEh::SingleCellRect(int ACol, int ARow) const {
    return CellRangeRect(TGridRect{ACol, ARow, ACol, ARow}, false);
}

static int AxisMaxTopLeft(const TCustomGridEh* G, const TGridAxisLayoutEh& A, int Target) {
    if (Target < A.FixedCount) return Target;
    int answer = Target;
    int room = A.ScrollLimit + A.LineWidth;
    for (int b = Target; b >= A.FixedCount; --b) {
        const int ext = A.Extent(G, b);
        if (ext <= 0) continue;
        room -= ext + A.LineWidth;
        if (room < A.FixedEnd) break;
        answer = b;
    }
    return answer;
}

TGridCoord TCustomGridEh::MaxTopLeft(TGridCoord Last, const TGridLayoutEh& L) const {
    return TGridCoord{AxisMaxTopLeft(this, L.Horz, Last.X), AxisMaxTopLeft(this, L.Vert, Last.Y)};
}

TGridCoord TCustomGridEh::MaxTopLeftOfLastCell() const { return MaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}); }

// ---------------------------------------------------------------------------------------------
// Invalidation

void TCustomGridEh::InvalidateRect(const TRect& R) {
    if (!HandleAllocated() || R.IsEmpty()) return;
    TWinControl::InvalidateRect(&R, !FBaseDefaultDrawing);
}

void TCustomGridEh::InvalidateGridRect(const TGridRect& R) {
    if (!HandleAllocated()) return;
    InvalidateRect(CellRangeRect(R, true));
}

void TCustomGridEh::InvalidateCell(int ACol, int ARow) { InvalidateGridRect(TGridRect{ACol, ARow, ACol, ARow}); }

void TCustomGridEh::InvalidateColumn(int ACol) {
    if (!HandleAllocated()) return;
    const TGridLayoutEh L = ComputeLayout();
    InvalidateGridRect(TGridRect{ACol, 0, ACol, L.Vert.LastWholeCell + 1});
}

void TCustomGridEh::InvalidateRow(int ARow) {
    if (!HandleAllocated()) return;
    const TGridLayoutEh L = ComputeLayout();
    InvalidateGridRect(TGridRect{0, ARow, L.Horz.LastWholeCell + 1, ARow});
}

void TCustomGridEh::InvalidateGrid() { Invalidate(); }

// ---------------------------------------------------------------------------------------------
// Property writers

void TCustomGridEh::SetColCount(int Value) {
    if (Value == FColCount) return;
    if (Value <= 0) Value = 1;
    if (Value == FColCount) return;
    if (FFixedCols >= Value) SetFixedCols(Value - 1);
    if (FContraColCount != 0)
        AdjustGridSize(std::min(FColCount, Value), Value - FColCount, false);
    else
        SetGridSize(Value, FRowCount);
    if (FGridOptions.Contains(gopRowSelect)) {
        FAnchor.X = FColCount - 1;
        InvalidateGrid();
    }
}

void TCustomGridEh::SetRowCount(int Value) {
    if (Value == FRowCount) return;
    if (Value <= 0) Value = 1;
    if (Value == FRowCount) return;
    if (FFixedRows >= Value) SetFixedRows(Value - 1);
    if (FContraRowCount != 0)
        AdjustGridSize(std::min(FRowCount, Value), Value - FRowCount, true);
    else
        SetGridSize(FColCount, Value);
}

void TCustomGridEh::SetFixedCols(int Value) {
    if (Value == FFixedCols) return;
    if (Value < 0) GridError(SGridIndexOutOfRange);
    if (Value >= FColCount) GridError(SFixedColTooBig);
    FFixedCols = Value;
    InitializeCells();
    InvalidateGrid();
}

void TCustomGridEh::SetFixedRows(int Value) {
    if (Value == FFixedRows) return;
    if (Value < 0) GridError(SGridIndexOutOfRange);
    if (Value >= FRowCount) GridError(SFixedRowTooBig);
    FFixedRows = Value;
    InitializeCells();
    InvalidateGrid();
}

void TCustomGridEh::SetFrozenColCount(int Value) {
    FFrozenColCount = Value;
    InvalidateGrid();
}

void TCustomGridEh::SetFrozenRowCount(int Value) {
    FFrozenRowCount = Value;
    InvalidateGrid();
}

void TCustomGridEh::SetContraColCount(int Value) {
    if (Value == FContraColCount) return;
    if (Value < 0) GridError(SContraColNegative);
    ChangeGridSize(Value, FContraRowCount);
}

void TCustomGridEh::SetContraRowCount(int Value) {
    if (Value == FContraRowCount) return;
    if (Value < 0) GridError(SContraRowNegative);
    ChangeGridSize(FContraColCount, Value);
}

void TCustomGridEh::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCustomGridEh::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    RecreateWnd();
}

void TCustomGridEh::SetFixedColor(TColor Value) {
    if (Value == FFixedColor) return;
    FFixedColor = Value;
    InvalidateGrid();
}

void TCustomGridEh::SetFlat(bool Value) {
    if (Value == FFlat) return;
    FFlat = Value;
    UpdateDefaultLineColor();
    FlatChanged();
    InvalidateGrid();
}

void TCustomGridEh::SetCtl3D(bool Value) {
    if (Value == FCtl3D) return;
    FCtl3D = Value;
    RecreateWnd();
}

void TCustomGridEh::UpdateDefaultLineColor() { FDefaultLineColor = FFlat ? clGray : TColor(0); }

void TCustomGridEh::SetGridOptions(TGridOptionsEh Value) {
    if (Value == FGridOptions) return;
    if (Value.Contains(gopRowSelect)) Value.Exclude(gopAlwaysShowEditor);
    FGridOptions = Value;
    if (!FEditorMode) {
        if (Value.Contains(gopAlwaysShowEditor))
            ShowEditor();
        else
            HideEditor();
    }
    if (Value.Contains(gopRowSelect)) {
        MoveCurrent(FCurrent.X, FCurrent.Y, true, false);
        UpdateHorzExtent();
    }
    UpdateScrollRange();
    InvalidateGrid();
}

// ---------------------------------------------------------------------------------------------
// Size changes

void TCustomGridEh::SetGridSize(int NewColCount, int NewRowCount) {
    const bool window = HandleAllocated();
    const TGridLayoutEh oldLayout = window ? ComputeLayout() : TGridLayoutEh{};
    const int oldCols = FColCount, oldRows = FRowCount;
    const int oldFixedCols = FFixedCols, oldFixedRows = FFixedRows;
    const TGridCoord oldTopLeft = FTopLeft;
    auto apply = [&](int cols, int rows) {
        SizeArraysTo(cols + FContraColCount, rows + FContraRowCount);
        FColCount = cols;
        FRowCount = rows;
        if (FFixedCols > cols - 1) FFixedCols = std::max(cols - 1, 0);
        if (FFixedRows > rows - 1) FFixedRows = std::max(rows - 1, 0);
        TGridCoord cur{std::min(FCurrent.X, cols - 1), std::min(FCurrent.Y, rows - 1)};
        cur.X = std::max(cur.X, 0);
        cur.Y = std::max(cur.Y, 0);
        FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, cols - 1));
        FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, rows - 1));
        if (!(cur == FCurrent)) {
            MoveCurrent(cur.X, cur.Y, true, true);
            UpdateEdit();
        }
        TGridCoord anchor{std::clamp(FAnchor.X, 0, cols - 1), std::clamp(FAnchor.Y, 0, rows - 1)};
        if (!(anchor == FAnchor)) MoveAnchor(anchor, false);
    };
    try {
        apply(NewColCount, NewRowCount);
    } catch (...) {
        FFixedCols = oldFixedCols;
        FFixedRows = oldFixedRows;
        try {
            apply(oldCols, oldRows);
        } catch (...) {
        }
        InvalidateGrid();
        throw;
    }
    if (window) {
        if (!(FTopLeft == oldTopLeft)) {
            InvalidateGrid();
        } else {
            const TGridLayoutEh L = ComputeLayout();
            const TRect client = GetClientRect();
            TRect r = CellRangeRect(TGridRect{std::min(oldLayout.Horz.LastWholeCell, L.Horz.LastWholeCell), 0,
                                              std::min(oldLayout.Horz.LastWholeCell, L.Horz.LastWholeCell), 0},
                                    true, L);
            InvalidateRect(TRect{r.Left, 0, client.Right, client.Bottom});
            r = CellRangeRect(TGridRect{0, std::min(oldLayout.Vert.LastWholeCell, L.Vert.LastWholeCell), 0,
                                        std::min(oldLayout.Vert.LastWholeCell, L.Vert.LastWholeCell)},
                              true, L);
            InvalidateRect(TRect{0, r.Top, client.Right, client.Bottom});
        }
    }
    UpdateScrollRange();
    GridSizeChanged(oldCols, oldRows);
}

void TCustomGridEh::ChangeGridSize(int NewContraColCount, int NewContraRowCount) {
    // Contra cells are laid out one by one on every layout: a count the arrays could not hold is
    // refused whether or not the arrays exist yet.
    if (int64_t(FColCount) + NewContraColCount > MaxExtentCount ||
        int64_t(FRowCount) + NewContraRowCount > MaxExtentCount)
        GridError(SGridTooLarge);
    const int oldCC = FContraColCount, oldCR = FContraRowCount;
    const int oldFullCols = FullColCount(), oldFullRows = FullRowCount();
    FContraColCount = NewContraColCount;
    FContraRowCount = NewContraRowCount;
    try {
        // Contra cells stand at the end of the arrays.
        for (auto* a : {&FColWidths, &FTabStops})
            if (!a->empty() && FullColCount() != oldFullCols)
                ResizeExtentArray(*a, std::min(oldFullCols, FullColCount()), FullColCount() - oldFullCols,
                                  a == &FTabStops ? 1 : FDefaultColWidth);
        if (!FRowHeights.empty() && FullRowCount() != oldFullRows)
            ResizeExtentArray(FRowHeights, std::min(oldFullRows, FullRowCount()), FullRowCount() - oldFullRows,
                              FDefaultRowHeight);
    } catch (...) {
        FContraColCount = oldCC;
        FContraRowCount = oldCR;
        for (auto* a : {&FColWidths, &FTabStops})
            if (!a->empty()) a->resize(static_cast<size_t>(oldFullCols), a == &FTabStops ? 1 : FDefaultColWidth);
        if (!FRowHeights.empty()) FRowHeights.resize(static_cast<size_t>(oldFullRows), FDefaultRowHeight);
        throw;
    }
    InvalidateGrid();
    UpdateScrollRange();
}

void TCustomGridEh::AdjustGridSize(int Index, int Amount, bool Rows) {
    if (Amount == 0) return;
    const TGridCoord oldCur = FCurrent;
    const int oldCols = FColCount, oldRows = FRowCount;
    int count = Rows ? FRowCount : FColCount;
    const int fixed = Rows ? FFixedRows : FFixedCols;
    const int newCount = count + Amount;
    if (newCount < fixed) GridError(STooManyDeleted);
    if (int64_t(newCount) + (Rows ? FContraRowCount : FContraColCount) > MaxExtentCount) GridError(SGridTooLarge);
    if (Rows) {
        if (!FRowHeights.empty()) ResizeExtentArray(FRowHeights, Index, Amount, FDefaultRowHeight);
        FRowCount = newCount;
    } else {
        // Check both arrays before changing either.
        if (!FTabStops.empty() && (Index < 0 || Index > static_cast<int>(FTabStops.size())))
            GridError(SGridIndexOutOfRange);
        if (!FColWidths.empty() && (Index < 0 || Index > static_cast<int>(FColWidths.size())))
            GridError(SGridIndexOutOfRange);
        if (!FTabStops.empty()) ResizeExtentArray(FTabStops, Index, Amount, 1);
        if (!FColWidths.empty()) ResizeExtentArray(FColWidths, Index, Amount, FDefaultColWidth);
        FColCount = newCount;
    }
    auto follow = [&](int v) {
        if (v >= Index) {
            if (Amount < 0 && v < Index - Amount)
                v = Index;
            else
                v += Amount;
        }
        return std::clamp(v, 0, newCount - 1);
    };
    TGridCoord cur = FCurrent;
    if (Rows) {
        cur.Y = follow(cur.Y);
        FAnchor.Y = follow(FAnchor.Y);
        FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, newCount - 1));
    } else {
        cur.X = follow(cur.X);
        FAnchor.X = follow(FAnchor.X);
        FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, newCount - 1));
    }
    FCurrent = cur;
    // Contra cells exist, so the whole grid is painted again rather than scrolled.
    if (HandleAllocated()) {
        UpdateWindow();
        InvalidateGrid();
    }
    GridSizeChanged(oldCols, oldRows);
    if (!(cur == oldCur)) {
        FAnchor = cur;
        if (FGridOptions.Contains(gopRowSelect)) FAnchor.X = FColCount - 1;
        ScrollCellIntoView(cur);
        UpdateEdit();
    }
    UpdateScrollRange();
}

// ---------------------------------------------------------------------------------------------
// Moving columns and rows

static void MoveEntry(TIntegerArray& a, int From, int To) {
    if (a.empty()) return;
    const int v = a[From];
    if (From < To)
        std::copy(a.begin() + From + 1, a.begin() + To + 1, a.begin() + From);
    else
        std::copy_backward(a.begin() + To, a.begin() + From, a.begin() + From + 1);
    a[To] = v;
}

static int Remap(int V, int From, int To) {
    if (V == From) return To;
    if (From < To && V > From && V <= To) return V - 1;
    if (From > To && V >= To && V < From) return V + 1;
    return V;
}

void TCustomGridEh::MoveColumn(int FromIndex, int ToIndex) {
    if (FromIndex < 0 || ToIndex < 0 || FromIndex >= FullColCount() || ToIndex >= FullColCount())
        GridError(SGridIndexOutOfRange);
    if (FromIndex == ToIndex) return;
    MoveEntry(FColWidths, FromIndex, ToIndex);
    MoveEntry(FTabStops, FromIndex, ToIndex);
    FCurrent.X = Remap(FCurrent.X, FromIndex, ToIndex);
    FAnchor.X = Remap(FAnchor.X, FromIndex, ToIndex);
    if (FEditorCell.X >= 0) FEditorCell.X = Remap(FEditorCell.X, FromIndex, ToIndex);
    if (HandleAllocated()) {
        const TGridLayoutEh L = ComputeLayout();
        InvalidateGridRect(
            TGridRect{std::min(FromIndex, ToIndex), 0, std::max(FromIndex, ToIndex), L.Vert.LastWholeCell + 1});
    }
    ColumnMoved(FromIndex, ToIndex);
    if (!FColWidths.empty()) ColWidthsChanged();
    UpdateEdit();
}

void TCustomGridEh::MoveRow(int FromIndex, int ToIndex) {
    if (FromIndex < 0 || ToIndex < 0 || FromIndex >= FullRowCount() || ToIndex >= FullRowCount())
        GridError(SGridIndexOutOfRange);
    if (FromIndex == ToIndex) return;
    MoveEntry(FRowHeights, FromIndex, ToIndex);
    FCurrent.Y = Remap(FCurrent.Y, FromIndex, ToIndex);
    FAnchor.Y = Remap(FAnchor.Y, FromIndex, ToIndex);
    if (FEditorCell.Y >= 0) FEditorCell.Y = Remap(FEditorCell.Y, FromIndex, ToIndex);
    if (HandleAllocated()) {
        const TGridLayoutEh L = ComputeLayout();
        InvalidateGridRect(
            TGridRect{0, std::min(FromIndex, ToIndex), L.Horz.LastWholeCell + 1, std::max(FromIndex, ToIndex)});
    }
    RowMoved(FromIndex, ToIndex);
    if (!FRowHeights.empty()) RowHeightsChanged();
    UpdateEdit();
}

void TCustomGridEh::DeleteColumn(int ACol) {
    MoveColumn(ACol, FColCount - 1);
    SetColCount(FColCount - 1);
}

void TCustomGridEh::DeleteRow(int ARow) {
    LockPaint();
    rtl::TryFinally(
        [&] {
            if (ARow == FCurrent.Y && FCurrent.Y > 0) SetRow(FCurrent.Y - 1);
            MoveRow(ARow, FRowCount - 1);
            SetRowCount(FRowCount - 1);
        },
        [&] { UnlockPaint(); });
}

void TCustomGridEh::NotifyDesigner() {
    // No designer in this system.
}

// ---------------------------------------------------------------------------------------------
// Hooks with the base behaviour

bool TCustomGridEh::AcceptsCellMouseClick(TWMMouse& Message) {
    return FGridState == gsNormal && Message.XPos >= 0 && Message.YPos >= 0;
}

TInplaceEdit* TCustomGridEh::CreateInplaceEditor() { return rtl::Create<TInplaceEdit>(this); }

int TCustomGridEh::HorzScrollLineStep() { return std::max(FHorzPixelPage / 20, 1); }
bool TCustomGridEh::HorzScrollsByPixels() { return FGridOptions.Contains(gopRowSelect); }
bool TCustomGridEh::CanSelectCell(int, int) { return true; }

void TCustomGridEh::CellMouseClick(TGridCoord Cell, TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnCellMouseClick)
        OnCellMouseClick(this, Cell, Button, Shift, X, Y);
    else
        DefaultCellMouseClick(Cell, Button, Shift, X, Y);
}

void TCustomGridEh::DefaultCellMouseClick(TGridCoord, TMouseButton, TShiftState, int, int) {}

void TCustomGridEh::DrawCell(int, int, const TRect&, TGridDrawState) { throw rtl::EAbstractError("Abstract Error"); }

bool TCustomGridEh::CanBeginColumnMove(int&, int&, TPoint) { return true; }
bool TCustomGridEh::CanBeginRowMove(int&, int&, TPoint) { return true; }
bool TCustomGridEh::EditorAcceptsKey(char) { return true; }
bool TCustomGridEh::CanModifyCell() { return FCellModifiable; }
bool TCustomGridEh::GridAcceptsKey(uint16_t, TShiftState) { return true; }
bool TCustomGridEh::CheckColumnMoveTarget(int&, int&, TPoint) { return true; }
bool TCustomGridEh::CheckRowMoveTarget(int&, int&, TPoint) { return true; }
bool TCustomGridEh::CanEndColumnMove(int&, int&, TPoint) { return true; }
bool TCustomGridEh::CanEndRowMove(int&, int&, TPoint) { return true; }
int TCustomGridEh::GetCellEditLimit() { return 0; }
AnsiString TCustomGridEh::GetCellEditMask(int, int) { return AnsiString(); }
AnsiString TCustomGridEh::GetCellEditText(int, int) { return AnsiString(); }
void TCustomGridEh::ColumnMoved(int, int) {}
void TCustomGridEh::RowMoved(int, int) {}
void TCustomGridEh::StoreEditText(int, int, const AnsiString&) {}

void TCustomGridEh::ColWidthsChanged() {
    UpdateHorzExtent();
    UpdateScrollRange();
    UpdateEdit();
}

void TCustomGridEh::RowHeightsChanged() {
    UpdateScrollRange();
    UpdateEdit();
}

void TCustomGridEh::GridSizeChanged(int, int) { UpdateHorzExtent(); }

}  // namespace grid
