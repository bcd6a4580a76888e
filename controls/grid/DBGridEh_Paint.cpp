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

void DrawSortGlyph(TCanvas* Canvas, int X, int Y, TSortMarkerEh Marker) {
    if (Marker == smNoneEh) return;
    SortMarkerImages()->Draw(Canvas, X, Y, Marker == smDownEh ? 0 : 1, true);
}

}  // namespace paint

// ---------------------------------------------------------------------------------------------
// Paint cycle

void TCustomDBGridEh::Paint() {
    if (PaintLocked()) return;
    bool hides = false;
    for (int i = 0; i < FColumns->Count() && !hides; ++i) hides = FColumns->Items(i)->HideDuplicates();
    if (hides) {
        const size_t rows = static_cast<size_t>(std::max(VisibleDataRowCount(), 0) + 2);
        FDuplicateLineFlags.assign(static_cast<size_t>(FColumns->Count()), std::vector<bool>(rows, false));
    } else {
        FDuplicateLineFlags.clear();
    }
    FPaintColumnsTaken = false;
    FPaintColumns.clear();
    for (int i = 0; i < FColumns->Count(); ++i) FPaintColumns.push_back(PaintValues(i));
    FPaintColumnsTaken = true;
    struct TDone {
        bool& Taken;
        ~TDone() { Taken = false; }
    } done{FPaintColumnsTaken};
    TCustomGridEh::Paint();
}

bool TCustomDBGridEh::NeedsDoubleBufferedPaint() const {
    if (editors::ThemesActive() && !Flat() && FOptionsEh.Contains(dghFixed3D)) return true;
    return TreeViewMode() && FOptions.Contains(dgRowLines);
}

void TCustomDBGridEh::PaintWindow(ui::HDC DC) {
    if (PaintLocked()) return;
    // Once wanted, buffering stays for the grid's life.
    if (!FDoubleBufferedPaint && !NoDoubleBuffering && NeedsDoubleBufferedPaint()) FDoubleBufferedPaint = true;
    if (!FDoubleBufferedPaint) {
        TCustomGridEh::PaintWindow(DC);
        return;
    }
    const TRect client = GetClientRect();
    TRect dirty;
    if (!ui::IntersectRect(dirty, DC->ClipRect(), client)) return;
    if (!FPaintBuffer) FPaintBuffer = std::make_unique<ui::TBitmap>();
    if (FPaintBuffer->Width() < client.Width() || FPaintBuffer->Height() < client.Height())
        FPaintBuffer->SetSize(std::max(FPaintBuffer->Width(), client.Width()),
                              std::max(FPaintBuffer->Height(), client.Height()));
    ui::TRasterSurface& raster = FPaintBuffer->Surface();
    // The dirty part lands at the buffer's top-left; the window's clip, moved there, keeps the
    // painters from drawing what the blit would not show.
    const TRect image = ui::Rect(0, 0, dirty.Width(), dirty.Height());
    ui::TRegion clip(image);
    ui::TRegion windowClip;
    if (DC->GetClipRgn(windowClip)) {
        const ui::TPoint org = DC->ViewportOrg();
        windowClip.Offset(-org.X - dirty.Left, -org.Y - dirty.Top);
        clip.Intersect(windowClip);
    }
    TCanvas memory(&raster);
    memory.SetViewportOrgEx(-dirty.Left, -dirty.Top);
    memory.SelectClipRgn(&clip);
    Perform(ui::WM_ERASEBKGND, reinterpret_cast<ui::WPARAM>(&memory), reinterpret_cast<ui::LPARAM>(&memory));
    TCustomGridEh::PaintWindow(&memory);
    DC->BlitSurface(dirty, raster, image, ui::SRCCOPY);
}

const TCustomDBGridEh::TColumnPaintValues& TCustomDBGridEh::PaintValues(int DataCol) {
    if (FPaintColumnsTaken && DataCol < static_cast<int>(FPaintColumns.size()))
        return FPaintColumns[static_cast<size_t>(DataCol)];
    TColumnEh* c = FColumns->Items(DataCol);
    TColumnPaintValues& v = FPaintColumnScratch;
    v.Font = c->Font();
    v.Color = c->Color();
    v.Alignment = c->Alignment();
    v.Kind = c->CellKind();
    v.Layout = c->Layout();
    v.ReadOnly = c->ReadOnly();
    v.TextEditing = c->TextEditing();
    v.HighlightRequired = c->HighlightRequired();
    v.AlwaysShowEditButton = c->AlwaysShowEditButton();
    v.WordWrap = c->WordWrap();
    v.EndEllipsis = c->EndEllipsis();
    return v;
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
    if (State.Contains(gdFixed) && FOptionsEh.Contains(dghFixed3D) && (c < 0 || r < 0))
        result = true;
    else if (FOptionsEh.Contains(dghFooter3D) && FFooterRowCount > 0 && r >= dataRows)
        result = true;
    else if (FOptionsEh.Contains(dghData3D) && !State.Contains(gdFixed) && r < dataRows)
        result = true;
    else if (FOptionsEh.Contains(dghFrozen3D) && c >= 0 && r >= 0 && c < FFrozenCols && r < dataRows)
        result = true;
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
            editors::FillGradientVertical(C, clipped ? ClipRect : ARect, ui::MixColors(ui::clBtnFace, ui::clWhite, 10),
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

void TCustomDBGridEh::DrawCellFrame(const TRect& ARect, bool RightEdge, bool LeftEdge, bool Highlighted, bool Pressed) {
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
        grid::WriteCellText(C, TRect{ARect.Left, ARect.Top, ARect.Right - glyphWidth, ARect.Bottom}, false, 0, 0, text,
                            db::taCenter, editors::tlCenter, true, false, 0, 0, false);
    };

    if (Area.RowArea == rcaTitle) {
        if (FSelectionType == gstAll)
            highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
        C->Brush()->SetColor(color);
        // The indicator title looks pressed while its menu is open or the press is tracked.
        pressed = (FPressedTitleCol == ACol && FTitleBtnDown) || (FIndicatorTitlePressed && ARow == 0);
        FillCellBackground(themed, inner, is3D, TRect{}, highlighted, pressed);
        if (ARow == 0 && FIndicatorTitle->ShowDropDownSign()) {
            const int shift = pressed ? 2 : 0;
            DrawDropDownSign(highlighted,
                             TRect{ARect.Right + shift - 12, ARect.Top + shift, ARect.Right, ARect.Bottom});
        }
    } else if (Area.RowArea == rcaData && FDataLink->Active()) {
        db::TDataSet* ds = DataSet();
        const bool current = IsCurrentDataRow(Area.DataRow);
        bool selected = false;
        int recNoValue = 0;
        const bool selectable =
            FOptions.Contains(dgMultiSelect) && (FSelectionType == gstRecordBookmarks || FSelectionType == gstAll);
        // The record is visited only for what the cell shows of it.
        if (Area.DataRow < RowRecordCount() && (selectable || recNo)) {
            paint::TRecordSwitch sw(FMemTable, FDataLink.get(), Area.DataRow, FRecordSwitchCount);
            selected = selectable && FSelectedRecords->CurrentRowSelected();
            if (recNo) recNoValue = FMemTable ? Area.DataRow + 1 : ds->RecNo();
        }
        C->SetFont(Font());
        if (current && editors::ThemesActive()) color = ui::MixColors(color, ui::clBlack, 10);
        if (selected) highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
        C->Brush()->SetColor(color);
        FillCellBackground(themed, inner, is3D, TRect{}, highlighted, false);
        if (FOptions.Contains(dgIndicator) && current) {
            int kind = 0;
            if (ds->State() == db::dsEdit)
                kind = 2;
            else if (ds->State() == db::dsInsert)
                kind = 3;
            else if (ds->State() == db::dsBrowse)
                kind = selected ? 1 : (FIncSearchActive ? 4 : 0);
            DrawIndicatorGlyph(kind, glyphShift, TRect{ARect.Right - glyphWidth, ARect.Top, ARect.Right, ARect.Bottom});
        }
        if (recNo) writeNumber(recNoValue, current && ds->State() == db::dsInsert);
    } else {
        if (FSelectionType == gstAll)
            highlighted = GetSelectedFixedCellColors(ACol, ARow, C->Font(), color, true, Area);
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
            base = dark = IncSearchHighlightColor;
        }
        editors::DrawGradientSegments(C, ui::TPoint{x, y}, pts, dark, base, 21);
        return;
    }
    // The image list's entry for each kind: current, current and selected, editing, inserting, searching.
    static constexpr int Entries[5] = {0, 5, 1, 2, 6};
    ui::TCustomImageList* images = IndicatorImages();
    images->Draw(C, XOffset + (ARect.Left + ARect.Right - images->Width()) / 2,
                 (ARect.Top + ARect.Bottom - images->Height()) / 2, Entries[Kind], true);
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
        ui::TCustomImageList* images = SortMarkerImages();
        images->Draw(C, (ARect.Left + ARect.Right - images->Width()) / 2,
                     (ARect.Top + ARect.Bottom - images->Height()) / 2, 2, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Colour rules

bool TCustomDBGridEh::GetSelectedFixedCellColors(int ACol, int ARow, ui::TFont* AFont, TColor& Color, bool Selected,
                                                 const TCellAreaEh& Area) {
    if (TDBGridEhStyle* style = FStyle) {
        TFixedCellAreaEh a = fcaOther;
        if (Area.ColArea == ccaIndicator)
            a = fcaIndicator;
        else if (Area.RowArea == rcaTitle)
            a = fcaTitle;
        else if (Area.RowArea == rcaFilter)
            a = fcaFilter;
        else if (Area.RowArea == rcaFooter)
            a = fcaFooter;
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

bool TCustomDBGridEh::IsCellSelected(int ACol, int ARow, int DataCol) {
    if (FSelectionType == gstAll) return true;
    if (FSelectionType == gstNon) return false;
    const TCellAreaEh area = GetCellType(ACol, ARow);
    if (area.RowArea != rcaData)
        return ACol >= FIndicatorColCount && FSelectionType == gstColumns &&
               FSelection->CellSelected(DataCol, db::TBookmark{});
    if (!FDataLink->Active() || area.DataRow < 0 || area.DataRow >= RowRecordCount()) return false;
    if (ACol < FIndicatorColCount && FSelectionType != gstRecordBookmarks) return false;
    paint::TRecordSwitch sw(FMemTable, FDataLink.get(), area.DataRow, FRecordSwitchCount);
    return FSelection->CellSelected(ACol < FIndicatorColCount ? -1 : DataCol, DataSet()->Bookmark());
}

bool TCustomDBGridEh::GetDataCellHighlight(int DataCol, int DataRow, ui::TFont* AFont, TColor& Color,
                                           TGridDrawState State) {
    if (TDBGridEhStyle* style = FStyle)
        return style->GetDataCellHighlight(this, DataToGridCol(DataCol), DataRow + TitleRowCount(), DataCol, DataRow,
                                           State, AFont, Color);
    const bool linkActive = FDataLink->Active();
    bool selected = false;
    if (linkActive) {
        if (FSelectionType == gstAll)
            selected = true;
        else if (FSelectionType == gstRecordBookmarks)
            selected = FSelectedRecords->CurrentRowSelected();
        else if (FSelectionType == gstColumns)
            selected = FSelection->CellSelected(DataCol, db::TBookmark{});
        else if (FSelectionType == gstRectangle)
            selected = FSelection->CellSelected(DataCol, DataSet()->Bookmark());
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
