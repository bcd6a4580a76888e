// The data grid's paint cycle, cell frames and backgrounds, the indicator column and the drawing
// helpers the cell painters share.
#include <algorithm>

#include "controls/grid/DBGridEh_PaintPrims.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/ui/Themes.h"

namespace grid {

using ui::TCanvas;
using ui::TColor;

namespace paint {

void DrawSortGlyph(TCanvas* Canvas, int X, int Y, TSortMarkerEh Marker, TColor Color) {
    if (Marker == smNoneEh) return;
    // A triangle 9 wide and 5 high, centred in the glyph box.
    const int top = Y + 2, bottom = Y + 6;
    std::vector<ui::TPoint> pts;
    if (Marker == smDownEh) pts = {{X + 1, top}, {X + 9, top}, {X + 5, bottom}};
    else pts = {{X + 1, bottom}, {X + 9, bottom}, {X + 5, top}};
    ui::TPen* pen = Canvas->Pen();
    ui::TBrush* brush = Canvas->Brush();
    const TColor penColor = pen->Color(), brushColor = brush->Color();
    const ui::TBrushStyle brushStyle = brush->Style();
    pen->SetColor(Color);
    brush->SetColor(Color);
    brush->SetStyle(ui::bsSolid);
    Canvas->Polygon(pts);
    pen->SetColor(penColor);
    brush->SetColor(brushColor);
    brush->SetStyle(brushStyle);
}

}  // namespace paint

// ---------------------------------------------------------------------------------------------
// Paint cycle

void TCustomDBGridEh::Paint() {
    if (PaintLocked()) return;
    // Themed headers flicker when painted straight to the window; once wanted, buffering stays.
    if (!Flat() && ui::ThemeServices().ThemesEnabled() && TitlesVisible()) FDoubleBufferedPaint = true;
    bool hides = false;
    for (int i = 0; i < FColumns->Count() && !hides; ++i) hides = FColumns->Items(i)->HideDuplicates();
    if (hides) {
        const size_t rows = static_cast<size_t>(std::max(VisibleDataRowCount(), 0) + 2);
        FDuplicateLineFlags.assign(static_cast<size_t>(FColumns->Count()), std::vector<bool>(rows, false));
    } else {
        FDuplicateLineFlags.clear();
    }
    TCustomGridEh::Paint();
}

bool TCustomDBGridEh::IsCurrentDataRow(int DataRow) const {
    if (FMemTable) return DataRow == FMemTable->ViewCurrentRecord();
    return DataRow == (FSavedActiveRecord >= 0 ? FSavedActiveRecord : FDataLink->ActiveRecord());
}

bool TCustomDBGridEh::GridOrEditorFocused() const {
    if (Focused()) return true;
    TInplaceEdit* ed = InplaceEditor();
    return ed && ed->Focused();
}

// ---------------------------------------------------------------------------------------------
// Frames and backgrounds

bool TCustomDBGridEh::IsCellDrawn3D(int ACol, int ARow, TGridDrawState State) const {
    const int c = ACol - FIndicatorColCount;
    const int r = ARow - TitleRowCount();
    bool result = false;
    const int dataRows = DataRowCount();
    if (State.Contains(gdFixed) && FOptionsEh.Contains(dghFixed3D) && (c < 0 || r < 0)) result = true;
    else if (FOptionsEh.Contains(dghFooter3D) && FFooterRowCount > 0 && r >= dataRows) result = true;
    else if (FOptionsEh.Contains(dghData3D) && !State.Contains(gdFixed) && r < dataRows) result = true;
    else if (FOptionsEh.Contains(dghFrozen3D) && c >= 0 && r >= 0 && c < FFrozenCols && r < dataRows) result = true;
    if (result && r == -1 && c >= 0 && FilterRowVisible() && c < FColumns->Count() &&
        FColumns->Items(c)->STFilter()->Visible())
        result = false;
    return result;
}

bool TCustomDBGridEh::IsCellThemed(int, int, bool Drawn3D) const {
    return editors::ThemesActive() && !Flat() && Drawn3D;
}

void TCustomDBGridEh::FillCellBackground(bool Themed, const TRect& ARect, bool Drawn3D, const TRect& ClipRect,
                                         bool Highlighted, bool Pressed) {
    TCanvas* C = Canvas();
    const bool clipped = ClipRect.Width() > 0 && ClipRect.Height() > 0;
    if (Themed && Drawn3D) {
        if (Flat()) {
            editors::FillGradientVertical(C, clipped ? ClipRect : ARect,
                                          ui::MixColors(ui::clBtnFace, ui::clWhite, 10),
                                          ui::MixColors(ui::clBtnFace, ui::clBlack, 5));
            C->Brush()->SetStyle(ui::bsClear);
        } else {
            C->FillRect(clipped ? ClipRect : ARect);
            const auto detail = ui::TThemeServices::GetElementDetails((Highlighted || Pressed) ? ui::ttbButtonPressed
                                                                                                : ui::ttbButtonHot);
            ui::ThemeServices().DrawElement(C, detail, ARect, clipped ? &ClipRect : nullptr);
        }
    } else if (Flat() && editors::ThemesActive() && Drawn3D) {
        editors::FillGradientVertical(C, clipped ? ClipRect : ARect, ui::clBtnHighlight, C->Brush()->Color());
    } else {
        C->FillRect(clipped ? ClipRect : ARect);
    }
}

void TCustomDBGridEh::DrawCellFrame(const TRect& ARect, bool RightEdge, bool LeftEdge, bool Highlighted,
                                    bool Pressed) {
    TCanvas* C = Canvas();
    TRect r = ARect;
    const unsigned edge = (Highlighted || Pressed) ? ui::BDR_SUNKENINNER : ui::BDR_RAISEDINNER;
    if (!Flat()) {
        if (RightEdge && LeftEdge) {
            ui::DrawEdge(C, r, edge, ui::BF_RECT);
        } else {
            ui::DrawEdge(C, r, edge, LeftEdge ? ui::BF_TOPLEFT : ui::BF_TOP);
            r = ARect;
            ui::DrawEdge(C, r, edge, RightEdge ? ui::BF_BOTTOMRIGHT : ui::BF_BOTTOM);
        }
        return;
    }
    ui::TPen* pen = C->Pen();
    const TColor penColor = pen->Color();
    pen->SetColor(C->Brush()->Color());
    C->MoveTo(ARect.Left, ARect.Bottom - 1);
    C->LineTo(ARect.Right, ARect.Bottom - 1);
    if (RightEdge) {
        C->MoveTo(ARect.Right - 1, ARect.Top);
        C->LineTo(ARect.Right - 1, ARect.Bottom);
    }
    pen->SetColor(penColor);
    ui::DrawEdge(C, r, edge, LeftEdge ? ui::BF_TOPLEFT : ui::BF_TOP);
}

// ---------------------------------------------------------------------------------------------
// Indicator column


void TCustomDBGridEh::DrawIndicatorCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                        const TRect& ARect) {
    TCanvas* C = Canvas();
    C->Brush()->SetColor(FixedColor());
    const bool is3D = IsCellDrawn3D(ACol, ARow, State);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    const TRect inner = paint::InnerCellRect(ARect, themed, is3D, Flat());
    const bool recNo = FOptionsEh.Contains(dghShowRecNo);
    int glyphWidth = FOptions.Contains(dgIndicator) ? 11 : 0;
    int glyphShift = 1;
    if (recNo) {
        if (glyphWidth == 11) glyphWidth = 9;
        glyphShift = 0;
    }
    bool highlighted = false;
    bool pressed = false;
    TColor color = FixedColor();
    auto writeNumber = [&](int Number, bool Empty) {
        ui::TFont* f = C->Font();
        f->SetSize(f->Size() - 1);
        const AnsiString text = (Number < 1 || Empty) ? AnsiString() : AnsiString(std::to_string(Number));
        grid::WriteCellText(C, TRect{ARect.Left, ARect.Top, ARect.Right - glyphWidth, ARect.Bottom}, false, 0, 0,
                             text, db::taCenter, editors::tlCenter, true, false, 0, 0, false);
    };

    if (Area.RowArea == rcaTitle) {
        if (FSelectionType == gstAll) highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
        C->Brush()->SetColor(color);
        pressed = FPressedTitleCol == ACol && FTitleBtnDown;
        FillCellBackground(themed, inner, is3D, TRect{}, highlighted, pressed);
    } else if (Area.RowArea == rcaData && FDataLink->Active()) {
        db::TDataSet* ds = DataSet();
        const int active = FDataLink->ActiveRecord();
        const bool current = Area.DataRow == active;
        bool selected = false;
        int recNoValue = 0;
        if (Area.DataRow < FDataLink->RecordCount()) {
            paint::TRecordSwitch sw(FDataLink.get(), Area.DataRow, FRecordSwitchCount);
            selected = FOptions.Contains(dgMultiSelect) &&
                       (FSelectionType == gstRecordBookmarks || FSelectionType == gstAll) &&
                       FSelectedRecords->CurrentRowSelected();
            recNoValue = ds->RecNo();
        }
        C->SetFont(Font());
        if (current && editors::ThemesActive()) color = ui::MixColors(color, ui::clBlack, 10);
        if (selected) highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
        C->Brush()->SetColor(color);
        FillCellBackground(themed, inner, is3D, TRect{}, highlighted, false);
        if (FOptions.Contains(dgIndicator) && current) {
            int kind = 0;
            if (ds->State() == db::dsEdit) kind = 2;
            else if (ds->State() == db::dsInsert) kind = 3;
            else if (ds->State() == db::dsBrowse) kind = selected ? 1 : 0;
            DrawIndicatorGlyph(kind, glyphShift, TRect{ARect.Right - glyphWidth, ARect.Top, ARect.Right, ARect.Bottom});
        }
        if (recNo) writeNumber(recNoValue, current && ds->State() == db::dsInsert);
    } else {
        if (FSelectionType == gstAll) highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
        C->Brush()->SetColor(color);
        FillCellBackground(themed, inner, is3D, TRect{}, highlighted, false);
        if (recNo && Area.RowArea == rcaFooter && Area.DataRow == 0) {
            C->SetFont(Font());
            writeNumber(FDataLink->Active() ? DataSet()->RecordCount() : 0, false);
        }
    }
    if (is3D && !themed) {
        C->Brush()->SetColor(color);
        DrawCellFrame(ARect, !(Flat() && editors::ThemesActive()), true, highlighted, pressed);
    }
}

void TCustomDBGridEh::DrawIndicatorGlyph(int Kind, int XOffset, const TRect& ARect) {
    if (Kind < 0 || Kind > 4) return;
    TCanvas* C = Canvas();
    const int x = XOffset + (ARect.Left + ARect.Right - paint::IndicatorGlyphWidth) / 2;
    const int y = (ARect.Top + ARect.Bottom - paint::IndicatorGlyphHeight) / 2;
    if (editors::ThemesActive() && (Kind == 0 || Kind == 1 || Kind == 4)) {
        ui::TPoint pts[22];
        for (int k = 0; k <= 10; ++k) {
            const int right = k <= 5 ? k : (k <= 9 ? 10 - k : 0);
            pts[2 * k] = {0, k};
            pts[2 * k + 1] = {right + 1, k};
        }
        TColor base = ui::cl3DDkShadow, dark = ui::MixColors(ui::cl3DDkShadow, ui::clBlack, 30);
        if (Kind == 1) {
            base = ui::clWhite;
            dark = ui::MixColors(ui::clWhite, ui::clBlack, 7);
        } else if (Kind == 4) {
            base = dark = ui::clHighlight;
        }
        editors::DrawGradientSegments(C, ui::TPoint{x, y}, pts, dark, base, 21);
        return;
    }
    // Unthemed glyphs: an arrow for browsing, a pencil-like bar for editing, a star-like cross for inserting.
    ui::TPen* pen = C->Pen();
    ui::TBrush* brush = C->Brush();
    const TColor penColor = pen->Color(), brushColor = brush->Color();
    const ui::TBrushStyle style = brush->Style();
    pen->SetColor(Kind == 1 ? ui::clWhite : ui::clBlack);
    brush->SetColor(pen->Color());
    brush->SetStyle(ui::bsSolid);
    if (Kind == 2) {
        C->Polygon({{x + 1, y + 1}, {x + 4, y + 1}, {x + 4, y + 8}, {x + 2, y + 10}, {x + 1, y + 8}});
    } else if (Kind == 3) {
        C->MoveTo(x, y + 5);
        C->LineTo(x + 6, y + 5);
        C->MoveTo(x + 3, y + 2);
        C->LineTo(x + 3, y + 9);
    } else {
        C->Polygon({{x, y}, {x + 5, y + 5}, {x, y + 10}});
    }
    pen->SetColor(penColor);
    brush->SetColor(brushColor);
    brush->SetStyle(style);
}

void TCustomDBGridEh::DrawDropDownSign(bool Highlighted, const TRect& ARect) {
    TCanvas* C = Canvas();
    const TColor base = Highlighted ? ui::clWhite : ui::cl3DDkShadow;
    const int x = (ARect.Left + ARect.Right - 7) / 2 + 1;
    const int y = (ARect.Top + ARect.Bottom - 7) / 2;
    if (editors::ThemesActive()) {
        ui::TPoint pts[8];
        for (int i = 0; i < 4; ++i) {
            pts[2 * i] = {i, i};
            pts[2 * i + 1] = {8 - i, i};
        }
        editors::DrawGradientSegments(C, ui::TPoint{x, y}, pts, ui::MixColors(base, ui::clBlack, Highlighted ? 7 : 30),
                                      base, 7);
    } else {
        paint::DrawSortGlyph(C, (ARect.Left + ARect.Right - paint::SortGlyphWidth) / 2,
                             (ARect.Top + ARect.Bottom - paint::SortGlyphHeight) / 2, smDownEh, base);
    }
}

// ---------------------------------------------------------------------------------------------
// Colour rules

bool TCustomDBGridEh::GetSelectedFixedCellColors(int ACol, int ARow, ui::TFont* AFont, TColor& Color, bool Selected,
                                                 const TCellAreaEh& Area) {
    if (TDBGridEhStyle* style = FStyle) {
        TFixedCellAreaEh a = fcaOther;
        if (Area.ColArea == ccaIndicator) a = fcaIndicator;
        else if (Area.RowArea == rcaTitle) a = fcaTitle;
        else if (Area.RowArea == rcaFilter) a = fcaFilter;
        else if (Area.RowArea == rcaFooter) a = fcaFooter;
        return style->GetSelectedFixedCellColors(this, ACol, ARow, AFont, Color, Selected, a);
    }
    if (!Selected) return false;
    if (Area.ColArea == ccaIndicator || Area.RowArea == rcaTitle || Area.RowArea == rcaFilter) {
        Color = ui::TColor(4210752);
        AFont->SetColor(ui::clWhite);
        return true;
    }
    if (Area.RowArea == rcaFooter) {
        if (GridOrEditorFocused()) {
            Color = ui::clHighlight;
            AFont->SetColor(ui::clHighlightText);
        } else {
            Color = ui::clBtnFace;
        }
        return true;
    }
    return false;
}

bool TCustomDBGridEh::IsCellSelected(int ACol, int, int DataCol) {
    if (FSelectionType == gstAll) return true;
    if (ACol < FIndicatorColCount) return false;
    (void)DataCol;
    return false;
}

bool TCustomDBGridEh::GetDataCellHighlight(int DataCol, int DataRow, ui::TFont* AFont, TColor& Color,
                                           TGridDrawState State) {
    if (TDBGridEhStyle* style = FStyle)
        return style->GetDataCellHighlight(this, DataToGridCol(DataCol), DataRow + TitleRowCount(), DataCol, DataRow,
                                           State, AFont, Color);
    const bool linkActive = FDataLink->Active();
    bool selected = false;
    if (linkActive) {
        if (FSelectionType == gstAll) selected = true;
        else if (FSelectionType == gstRecordBookmarks) selected = FSelectedRecords->CurrentRowSelected();
    }
    const bool currentRow = linkActive && IsCurrentDataRow(DataRow);
    const bool currentCol = DataToGridCol(DataCol) == Col();
    bool stateSelected = State.Contains(gdSelected);
    bool rowHighlight = false;
    bool highlighted = false;
    if (!selected) {
        const bool highlight = Focused() && FOptionsEh.Contains(dghHighlightFocus);
        if (FOptionsEh.Contains(dghRowHighlight) && currentRow && !currentCol && FSelectionType == gstNon) {
            rowHighlight = true;
            stateSelected = true;
        }
        const bool candidate = stateSelected || (currentRow && FOptions.Contains(dgRowSelect));
        const bool shown = FOptions.Contains(dgAlwaysShowSelection) || highlight || rowHighlight;
        highlighted = candidate && shown && (FUpdateNesting == 0 || FOptions.Contains(dgRowSelect));
    } else {
        highlighted = true;
    }
    if (!highlighted) return false;
    if (GridOrEditorFocused()) {
        Color = ui::clHighlight;
        AFont->SetColor(ui::clHighlightText);
    } else if (currentRow && (currentCol || FOptions.Contains(dgRowSelect)) &&
               (FOptions.Contains(dgAlwaysShowSelection) || rowHighlight)) {
        Color = ui::clBtnShadow;
        AFont->SetColor(ui::clHighlightText);
    } else {
        Color = ui::clBtnFace;
    }
    return true;
}

}  // namespace grid
