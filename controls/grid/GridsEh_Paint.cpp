// The base grid's paint: lines per area in one poly-polyline each, cell backgrounds, DrawCell,
// 3D frames of fixed cells, focus rectangles, then the contra areas.
#include <algorithm>

#include "controls/grid/GridsEh.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace ui;

namespace {

// Saves the canvas state and narrows the clip; restores it when it goes.
class TClipScope {
public:
    TClipScope(TCanvas* C, bool Active, const TRect& R) : FCanvas(C) {
        if (!Active) return;
        FLevel = C->SaveDC();
        C->IntersectClipRect(R);
    }
    ~TClipScope() {
        if (FLevel) FCanvas->RestoreDC(FLevel);
    }
    TClipScope(const TClipScope&) = delete;
    TClipScope& operator=(const TClipScope&) = delete;

private:
    TCanvas* FCanvas;
    int FLevel = 0;
};

}  // namespace

bool TCustomGridEh::IsActiveControl() const {
    if (TCustomForm* form = GetParentForm(this)) return form->ActiveControl() == this;
    if (!FHandle) return false;
    HWND f = GetFocus();
    while (f) {
        if (f == FHandle) return true;
        f = ui::GetParent(f);
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Lines

void TCustomGridEh::DrawAxisLines(const TGridAxisLayoutEh& A, bool Vertical, int First, int Limit, int Start, int End,
                                  int CrossFrom, int CrossTo, TColor Color) {
    const int lw = A.LineWidth;
    if (lw == 0 || First >= Limit) return;
    const size_t capacity = FLineCounts.size();
    size_t n = 0;
    int pos = Start;
    for (int c = First; c < Limit && n < capacity; ++c) {
        const int e = A.Extent(this, c);
        if (e + lw <= 0) continue;
        const int at = pos + e + lw / 2;
        if (at > End + lw) break;
        if (Vertical) {
            FLinePoints[2 * n] = TPoint{at, CrossFrom};
            FLinePoints[2 * n + 1] = TPoint{at, CrossTo};
        } else {
            FLinePoints[2 * n] = TPoint{CrossFrom, at};
            FLinePoints[2 * n + 1] = TPoint{CrossTo, at};
        }
        ++n;
        pos += e + lw;
    }
    if (n == 0) return;
    TCanvas* C = Canvas();
    TPen* pen = C->Pen();
    pen->SetStyle(TPenStyle::psSolid);
    pen->SetMode(TPenMode::pmCopy);
    pen->SetColor(Color);
    pen->SetWidth(FGridLineWidth);
    if (FGridLineWidth > 1) {
        pen->SetEndCap(TPenEndCap::pecFlat);
        pen->SetJoinStyle(TPenJoinStyle::pjsMiter);
        C->Brush()->SetColor(Color);
    }
    C->PolyPolyline(FLinePoints.data(), FLineCounts.data(), static_cast<int>(n));
}

void TCustomGridEh::DrawOneLine(TPoint A, TPoint B, TColor Color) {
    TCanvas* C = Canvas();
    C->Pen()->SetStyle(TPenStyle::psSolid);
    C->Pen()->SetMode(TPenMode::pmCopy);
    C->Pen()->SetColor(Color);
    C->Pen()->SetWidth(FGridLineWidth);
    const TPoint pts[2] = {A, B};
    const int count = 2;
    C->PolyPolyline(pts, &count, 1);
}

// One area's lines: the line kind whose flag is clear in the background colour, and drawn first,
// so that lines in the line colour win at crossings.
void TCustomGridEh::DrawAreaLines(const TGridLayoutEh& L, const TLineArea& A, bool Fixed, TColor Background,
                                  TColor LineColor) {
    if (A.Area.Right <= A.Area.Left || A.Area.Bottom <= A.Area.Top) return;
    const bool vflag = FGridOptions.Contains(Fixed ? gopFixedVertLine : gopVertLine);
    const bool hflag = FGridOptions.Contains(Fixed ? gopFixedHorzLine : gopHorzLine);
    auto vert = [&] {
        DrawAxisLines(L.Horz, true, A.C0, A.C1, A.X0, A.Area.Right, A.Area.Top, A.Area.Bottom,
                      vflag ? LineColor : Background);
    };
    auto horz = [&] {
        DrawAxisLines(L.Vert, false, A.R0, A.R1, A.Y0, A.Area.Bottom, A.Area.Left, A.Area.Right,
                      hflag ? LineColor : Background);
    };
    if (hflag) {
        vert();
        horz();
    } else {
        horz();
        vert();
    }
}

// ---------------------------------------------------------------------------------------------
// Cells

void TCustomGridEh::DrawCells(const TGridLayoutEh& L, int FirstCol, int X, int ColLimit, int XEnd, int FirstRow, int Y,
                              int RowLimit, int YEnd, TGridDrawState BaseState, TColor Background, bool Contra) {
    const int hlw = L.Horz.LineWidth, vlw = L.Vert.LineWidth;
    TCanvas* C = Canvas();
    int y = Y;
    for (int row = FirstRow; y < YEnd && row < RowLimit; ++row) {
        const int h = RowExtent(this, row);
        if (h > 0 && C->RectVisible(TRect{X, y, XEnd, y + h})) {
            int x = X;
            for (int col = FirstCol; x < XEnd && col < ColLimit; ++col) {
                const int w = ColExtent(this, col);
                if (w > 0) {
                    const TRect r{x, y, x + w, y + h};
                    if (C->RectVisible(r)) DrawOneCell(col, row, r, BaseState, Background, Contra);
                }
                x += w + hlw;
            }
        }
        y += h + vlw;
    }
}

void TCustomGridEh::DrawOneCell(int ACol, int ARow, const TRect& R, TGridDrawState State, TColor Background,
                                bool Contra) {
    TCanvas* C = Canvas();
    const bool designing = Designing();
    if (!Contra) {
        if (ACol == FCurrent.X && ARow == FCurrent.Y && FFocusedPaint) State.Include(gdFocused);
        if (CellInGridRect(TGridCoord{ACol, ARow}, FPaintSelection)) State.Include(gdSelected);
    }
    const bool focused = State.Contains(gdFocused);
    if (focused && FGridOptions.Contains(gopEditing) && FEditorMode && !designing) return;
    if (FBaseDefaultDrawing || designing) {
        C->Font()->Assign(Font());
        if (State.Contains(gdSelected) &&
            (!focused || FGridOptions.Contains(gopDrawFocusSelected) || FGridOptions.Contains(gopRowSelect))) {
            C->Brush()->SetColor(clHighlight);
            C->Font()->SetColor(clHighlightText);
        } else {
            C->Brush()->SetColor(Background);
        }
        C->FillRect(R);
    }
    DrawCell(ACol, ARow, R, State);
    if (FBaseDefaultDrawing && State.Contains(gdFixed) && FCtl3D &&
        (FGridOptions.Contains(gopFixedVertLine) || FGridOptions.Contains(gopFixedHorzLine))) {
        TRect frame = R;
        if (!FGridOptions.Contains(gopFixedVertLine))
            frame.Right += FGridLineWidth;
        else if (!FGridOptions.Contains(gopFixedHorzLine))
            frame.Bottom += FGridLineWidth;
        DrawCellFrame3D(frame, true, true, false, false);
    }
    if (FBaseDefaultDrawing && !designing && focused &&
        !(FGridOptions.Contains(gopEditing) && FGridOptions.Contains(gopAlwaysShowEditor)) &&
        !FGridOptions.Contains(gopRowSelect))
        C->DrawFocusRect(R);
}

void TCustomGridEh::DrawCellFrame3D(const TRect& R, bool FarSides, bool NearSides, bool Sunken, bool Pressed) {
    TCanvas* C = Canvas();
    const unsigned edge = (Sunken || Pressed) ? BDR_SUNKENINNER : BDR_RAISEDINNER;
    TRect r = R;
    if (!FFlat) {
        if (FarSides && NearSides) {
            DrawEdge(C, r, edge, BF_RECT);
        } else {
            DrawEdge(C, r, edge, BF_TOP | (NearSides ? BF_LEFT : 0u));
            r = R;
            DrawEdge(C, r, edge, BF_BOTTOM | (FarSides ? BF_RIGHT : 0u));
        }
        return;
    }
    // Flat: the far lines vanish into the background, only the near edges stand out.
    C->FillRect(TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom});
    if (FarSides) C->FillRect(TRect{R.Right - 1, R.Top, R.Right, R.Bottom});
    DrawEdge(C, r, edge, BF_TOP | (NearSides ? BF_LEFT : 0u));
}

// ---------------------------------------------------------------------------------------------
// Paint

void TCustomGridEh::Paint() {
    if (PaintLocked()) return;
    const TGridLayoutEh L = ComputeLayout();
    const TGridAxisLayoutEh& H = L.Horz;
    const TGridAxisLayoutEh& V = L.Vert;
    // Buffers for the lines of one area, sized by what shows.
    const int shown = std::max({V.LastWholeCell + FFixedRows - FTopLeft.Y, H.LastWholeCell + FFixedCols - FTopLeft.X,
                                FContraColCount, FContraRowCount, 0}) +
                      3;
    FLineCounts.assign(static_cast<size_t>(shown), 2);
    FLinePoints.resize(static_cast<size_t>(shown) * 2);
    FPaintSelection = Selection();
    FFocusedPaint = IsActiveControl();
    const bool contra = H.ContraCount > 0 || V.ContraCount > 0;
    {
        TClipScope clip(Canvas(), contra, TRect{0, 0, H.ContraStart, V.ContraStart});
        PaintRegular(L);
    }
    if (contra) PaintContra(L);
}

void TCustomGridEh::PaintRegular(const TGridLayoutEh& L) {
    const TGridAxisLayoutEh& H = L.Horz;
    const TGridAxisLayoutEh& V = L.Vert;
    TCanvas* C = Canvas();
    const int fc = FFixedCols, fr = FFixedRows;
    const int ufc = fc - FFrozenColCount, ufr = fr - FFrozenRowCount;
    TGridLineColorsEh* lc = FGridLineColors.get();
    const bool offset = FDataOffset != 0;

    if (H.LineWidth > 0 || V.LineWidth > 0) {
        DrawAreaLines(L, {TRect{0, 0, H.FixedEnd, V.UnfrozenEnd}, 0, fc, 0, 0, ufr, 0}, true, FFixedColor,
                      lc->AreaLineColor(0, 0));
        DrawAreaLines(L, {TRect{0, V.UnfrozenEnd, H.UnfrozenEnd, V.FixedEnd}, 0, ufc, 0, ufr, fr, V.UnfrozenEnd}, true,
                      FFixedColor, lc->AreaLineColor(0, ufr));
        DrawAreaLines(L,
                      {TRect{H.UnfrozenEnd, V.UnfrozenEnd, H.FixedEnd - 1, V.FixedEnd - 1}, ufc, fc, H.UnfrozenEnd, ufr,
                       fr, V.UnfrozenEnd},
                      true, FFixedColor, lc->AreaLineColor(ufc, ufr));
        if (FFrozenRowCount > 0)
            DrawOneLine(TPoint{H.UnfrozenEnd, V.FixedEnd - 1}, TPoint{H.FixedEnd, V.FixedEnd - 1},
                        lc->FrozenHorzLineColor(fr - 1));
        if (FFrozenColCount > 0)
            DrawOneLine(TPoint{H.FixedEnd - 1, V.UnfrozenEnd}, TPoint{H.FixedEnd - 1, V.FixedEnd},
                        lc->FrozenVertLineColor(fc - 1));
        {
            TClipScope clip(C, offset, TRect{H.FixedEnd, 0, H.ScrollEnd, V.FixedEnd});
            DrawAreaLines(
                L,
                {TRect{H.ScrollStart, 0, H.ScrollEnd, V.UnfrozenEnd}, FTopLeft.X, FColCount, H.ScrollStart, 0, ufr, 0},
                true, FFixedColor, lc->AreaLineColor(FTopLeft.X, 0));
            DrawAreaLines(L,
                          {TRect{H.ScrollStart, V.UnfrozenEnd, H.ScrollEnd, V.FixedEnd}, FTopLeft.X, FColCount,
                           H.ScrollStart, ufr, fr, V.UnfrozenEnd},
                          true, FFixedColor, lc->AreaLineColor(FTopLeft.X, ufr));
            if (FFrozenRowCount > 0)
                DrawOneLine(TPoint{H.FixedEnd, V.FixedEnd - 1}, TPoint{H.ScrollEnd, V.FixedEnd - 1},
                            lc->FrozenHorzLineColor(fr - 1));
        }
        DrawAreaLines(
            L, {TRect{0, V.FixedEnd, H.UnfrozenEnd, V.ScrollEnd}, 0, ufc, 0, FTopLeft.Y, FRowCount, V.ScrollStart},
            true, FFixedColor, lc->AreaLineColor(0, FTopLeft.Y));
        DrawAreaLines(L,
                      {TRect{H.UnfrozenEnd, V.FixedEnd, H.FixedEnd - 1, V.ScrollEnd}, ufc, fc, H.UnfrozenEnd,
                       FTopLeft.Y, FRowCount, V.ScrollStart},
                      true, FFixedColor, lc->AreaLineColor(ufc, FTopLeft.Y));
        if (FFrozenColCount > 0)
            DrawOneLine(TPoint{H.FixedEnd - 1, V.FixedEnd}, TPoint{H.FixedEnd - 1, V.ScrollEnd},
                        lc->FrozenVertLineColor(fc - 1));
        {
            TClipScope clip(C, offset, TRect{H.FixedEnd, V.FixedEnd, H.ScrollEnd, V.ScrollEnd});
            DrawAreaLines(L,
                          {TRect{H.ScrollStart, V.FixedEnd, H.ScrollEnd, V.ScrollEnd}, FTopLeft.X, FColCount,
                           H.ScrollStart, FTopLeft.Y, FRowCount, V.ScrollStart},
                          false, Color(), lc->AreaLineColor(FTopLeft.X, FTopLeft.Y));
        }
    }

    const TGridDrawState fixedState{gdFixed};
    const TGridDrawState none;
    DrawCells(L, 0, 0, fc, H.FixedEnd, 0, 0, ufr, V.UnfrozenEnd, fixedState, FFixedColor, false);
    DrawCells(L, 0, 0, ufc, H.UnfrozenEnd, ufr, V.UnfrozenEnd, fr, V.FixedEnd, fixedState, FFixedColor, false);
    DrawCells(L, ufc, H.UnfrozenEnd, fc, H.FixedEnd, ufr, V.UnfrozenEnd, fr, V.FixedEnd, none, Color(), false);
    {
        TClipScope clip(C, offset, TRect{H.FixedEnd, 0, H.ScrollEnd, V.FixedEnd});
        DrawCells(L, FTopLeft.X, H.ScrollStart, FColCount, H.ScrollEnd, 0, 0, ufr, V.UnfrozenEnd, fixedState,
                  FFixedColor, false);
        DrawCells(L, FTopLeft.X, H.ScrollStart, FColCount, H.ScrollEnd, ufr, V.UnfrozenEnd, fr, V.FixedEnd, none,
                  Color(), false);
    }
    DrawCells(L, 0, 0, ufc, H.UnfrozenEnd, FTopLeft.Y, V.ScrollStart, FRowCount, V.ScrollEnd, fixedState, FFixedColor,
              false);
    DrawCells(L, ufc, H.UnfrozenEnd, fc, H.FixedEnd, FTopLeft.Y, V.ScrollStart, FRowCount, V.ScrollEnd, none, Color(),
              false);
    {
        TClipScope clip(C, offset, TRect{H.FixedEnd, V.FixedEnd, H.ScrollEnd, V.ScrollEnd});
        DrawCells(L, FTopLeft.X, H.ScrollStart, FColCount, H.ScrollEnd, FTopLeft.Y, V.ScrollStart, FRowCount,
                  V.ScrollEnd, none, Color(), false);
    }

    if (FGridOptions.Contains(gopRowSelect) && FBaseDefaultDrawing && FFocusedPaint && !Designing()) {
        const TRect r = CellRangeRect(FPaintSelection, false, L);
        if (!r.IsEmpty()) C->DrawFocusRect(r);
    }
    C->Brush()->SetColor(Color());
    if (H.ScrollEnd < H.ScrollLimit) C->FillRect(TRect{H.ScrollEnd, 0, H.ScrollLimit, V.ScrollEnd});
    if (V.ScrollEnd < V.ScrollLimit) C->FillRect(TRect{0, V.ScrollEnd, H.ScrollLimit, V.ScrollLimit});
}

void TCustomGridEh::PaintContra(const TGridLayoutEh& L) {
    const TGridAxisLayoutEh& H = L.Horz;
    const TGridAxisLayoutEh& V = L.Vert;
    TCanvas* C = Canvas();
    const int fc = FFixedCols, fr = FFixedRows;
    const int ufc = fc - FFrozenColCount, ufr = fr - FFrozenRowCount;
    const int fullCols = FullColCount(), fullRows = FullRowCount();
    TGridLineColorsEh* lc = FGridLineColors.get();
    const bool offset = FDataOffset != 0;
    const int hlw = H.LineWidth, vlw = V.LineWidth;
    const int cy = V.ContraStart + vlw;  // first contra row
    const int cx = H.ContraStart + hlw;  // first contra column

    if (hlw > 0 || vlw > 0) {
        if (FContraRowCount > 0) {
            DrawAreaLines(L, {TRect{0, cy, H.UnfrozenEnd, V.ClientExtent}, 0, ufc, 0, FRowCount, fullRows, cy}, true,
                          FFixedColor, lc->AreaLineColor(0, FRowCount));
            DrawAreaLines(L,
                          {TRect{H.UnfrozenEnd, cy, H.FixedEnd - 1, V.ClientExtent}, ufc, fc, H.UnfrozenEnd, FRowCount,
                           fullRows, cy},
                          true, FFixedColor, lc->AreaLineColor(ufc, FRowCount));
            if (FFrozenColCount > 0)
                DrawOneLine(TPoint{H.FixedEnd - 1, V.ContraStart}, TPoint{H.FixedEnd - 1, V.ClientExtent},
                            lc->FrozenVertLineColor(fc - 1));
            if (vlw > 0)
                DrawOneLine(TPoint{0, V.ContraStart + vlw / 2}, TPoint{H.FixedEnd, V.ContraStart + vlw / 2},
                            lc->HorzLineColor(FRowCount));
            TClipScope clip(C, offset, TRect{H.FixedEnd, 0, H.ScrollEnd, V.ClientExtent});
            DrawAreaLines(L,
                          {TRect{H.ScrollStart, cy, H.ScrollEnd, V.ClientExtent}, FTopLeft.X, FColCount, H.ScrollStart,
                           FRowCount, fullRows, cy},
                          false, Color(), lc->AreaLineColor(FTopLeft.X, FRowCount));
            if (vlw > 0)
                DrawOneLine(TPoint{H.ScrollStart, V.ContraStart + vlw / 2},
                            TPoint{H.ScrollEnd, V.ContraStart + vlw / 2}, lc->HorzLineColor(FRowCount));
        }
        if (FContraColCount > 0) {
            DrawAreaLines(L, {TRect{cx, 0, H.ClientExtent, V.UnfrozenEnd}, FColCount, fullCols, cx, 0, ufr, 0}, true,
                          FFixedColor, lc->AreaLineColor(FColCount, 0));
            DrawAreaLines(L,
                          {TRect{cx, V.UnfrozenEnd, H.ClientExtent, V.FixedEnd - 1}, FColCount, fullCols, cx, ufr, fr,
                           V.UnfrozenEnd},
                          true, FFixedColor, lc->AreaLineColor(FColCount, ufr));
            if (FFrozenRowCount > 0)
                DrawOneLine(TPoint{H.ContraStart, V.FixedEnd - 1}, TPoint{H.ClientExtent, V.FixedEnd - 1},
                            lc->VertLineColor(FColCount));
            const int sx = H.ContraStart + hlw / 2;
            if (hlw > 0) DrawOneLine(TPoint{sx, 0}, TPoint{sx, V.FixedEnd}, lc->VertLineColor(FColCount));
            DrawAreaLines(L,
                          {TRect{cx, V.FixedEnd, H.ClientExtent, V.ScrollEnd}, FColCount, fullCols, cx, FTopLeft.Y,
                           FRowCount, V.ScrollStart},
                          false, Color(), lc->AreaLineColor(FColCount, FTopLeft.Y));
            if (hlw > 0) DrawOneLine(TPoint{sx, V.FixedEnd}, TPoint{sx, V.ScrollEnd}, lc->VertLineColor(FColCount));
            if (FContraRowCount > 0) {
                DrawAreaLines(
                    L,
                    {TRect{cx, cy, H.ClientExtent, V.ClientExtent}, FColCount, fullCols, cx, FRowCount, fullRows, cy},
                    false, Color(), lc->AreaLineColor(FColCount, FRowCount));
                if (hlw > 0)
                    DrawOneLine(TPoint{sx, V.ContraStart}, TPoint{sx, V.ClientExtent}, lc->VertLineColor(FColCount));
                if (vlw > 0)
                    DrawOneLine(TPoint{H.ContraStart, V.ContraStart + vlw / 2},
                                TPoint{H.ClientExtent, V.ContraStart + vlw / 2}, lc->HorzLineColor(FRowCount));
            }
        }
    }

    const TGridDrawState fixedState{gdFixed};
    const TGridDrawState none;
    if (FContraRowCount > 0) {
        TClipScope clip(C, FContraColCount > 0, TRect{0, V.ContraStart, H.ScrollEnd, V.ClientExtent});
        DrawCells(L, 0, 0, ufc, H.UnfrozenEnd, FRowCount, cy, fullRows, V.ClientExtent, fixedState, FFixedColor, true);
        DrawCells(L, ufc, H.UnfrozenEnd, fc, H.FixedEnd, FRowCount, cy, fullRows, V.ClientExtent, none, Color(), true);
        TClipScope inner(C, offset, TRect{H.FixedEnd, V.ContraStart, H.ScrollEnd, V.ClientExtent});
        DrawCells(L, FTopLeft.X, H.ScrollStart, FColCount, H.ScrollEnd, FRowCount, cy, fullRows, V.ClientExtent, none,
                  Color(), true);
    }
    if (FContraColCount > 0) {
        {
            TClipScope clip(C, FContraRowCount > 0, TRect{H.ContraStart, 0, H.ClientExtent, V.ScrollEnd});
            DrawCells(L, FColCount, cx, fullCols, H.ClientExtent, 0, 0, ufr, V.UnfrozenEnd, fixedState, FFixedColor,
                      true);
            DrawCells(L, FColCount, cx, fullCols, H.ClientExtent, ufr, V.UnfrozenEnd, fr, V.FixedEnd, none, Color(),
                      true);
            DrawCells(L, FColCount, cx, fullCols, H.ClientExtent, FTopLeft.Y, V.ScrollStart, FRowCount, V.ScrollEnd,
                      none, Color(), true);
        }
        if (FContraRowCount > 0)
            DrawCells(L, FColCount, cx, fullCols, H.ClientExtent, FRowCount, cy, fullRows, V.ClientExtent, none,
                      Color(), true);
    }
    C->Brush()->SetColor(Color());
    if (FContraColCount > 0 && V.ScrollEnd < V.ScrollLimit)
        C->FillRect(TRect{H.ContraStart, V.ScrollEnd, H.ClientExtent, V.ScrollLimit});
    if (FContraRowCount > 0 && H.ScrollEnd < H.ContraStart)
        C->FillRect(TRect{H.ScrollEnd, V.ContraStart, H.ContraStart, V.ClientExtent});
}

// ---------------------------------------------------------------------------------------------
// Drawing outside a paint

void TCustomGridEh::XorLines(const std::vector<std::pair<TPoint, TPoint>>& Lines, int Width, TPenStyle Style,
                             TColor Color) {
    if (!HandleAllocated() || Lines.empty()) return;
    TWindowDC window(Handle());
    if (!window) return;
    TCanvas* dc = window.DC();
    dc->Pen()->SetStyle(Style);
    dc->Pen()->SetMode(TPenMode::pmXor);
    dc->Pen()->SetWidth(Width);
    dc->Pen()->SetColor(Color);
    for (const auto& [a, b] : Lines) {
        dc->MoveTo(a.X, a.Y);
        dc->LineTo(b.X, b.Y);
    }
}

void TCustomGridEh::DrawSizingLine(const TGridLayoutEh& L) {
    if (FGridState == gsColSizing)
        XorLines({{TPoint{FSizingPos, 0}, TPoint{FSizingPos, L.Vert.FullEnd}}}, 1, TPenStyle::psDot, clWhite);
    else if (FGridState == gsRowSizing)
        XorLines({{TPoint{0, FSizingPos}, TPoint{L.Horz.FullEnd, FSizingPos}}}, 1, TPenStyle::psDot, clWhite);
}

void TCustomGridEh::DrawMoveLine() {
    const TGridLayoutEh L = ComputeLayout();
    if (FGridState == gsRowMoving) {
        const TRect r = CellRangeRect(TGridRect{0, FMovePos, 0, FMovePos}, true, L);
        const int y = FMoveIndex < FMovePos ? r.Bottom : r.Top;
        XorLines({{TPoint{0, y}, TPoint{ClientWidth(), y}}}, 5, TPenStyle::psDot, clWhite);
    } else if (FGridState == gsColMoving) {
        const TRect r = CellRangeRect(TGridRect{FMovePos, 0, FMovePos, 0}, true, L);
        const int x = FMoveIndex < FMovePos ? r.Right : r.Left;
        XorLines({{TPoint{x, 0}, TPoint{x, ClientHeight()}}}, 5, TPenStyle::psDot, clWhite);
    }
}

}  // namespace grid
