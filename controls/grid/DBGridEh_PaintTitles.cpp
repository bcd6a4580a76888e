// Title cells: captions, pressed buttons, sort-marker glyphs and numbers, the group cells of
// multi-level titles, and the filter row's plain cells.
#include <algorithm>
#include <string>

#include "controls/grid/DBGridEh_PaintPrims.h"

namespace grid {

using ui::TCanvas;
using ui::TColor;

void TCustomDBGridEh::DrawTitleCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                    const TRect& ARect) {
    if (Area.RowArea == rcaFilter) {
        DrawFilterCell(ACol, ARow, Area, State, ARect);
        return;
    }
    TCanvas* C = Canvas();
    const bool is3D = IsCellDrawn3D(ACol, ARow, State);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    const bool flatThemed = Flat() && editors::ThemesActive();
    TColumnEh* column = FColumns->Items(Area.DataCol);
    TColumnTitleEh* title = column->Title();
    C->SetFont(title->Font());
    TColor cellColor = title->Color();
    C->Brush()->SetColor(cellColor);
    bool highlighted = false;

    const bool pressed = FPressedTitleCol == ACol && FTitleBtnDown;
    THeadTreeNode* leaf = nullptr;
    if (FUseMultiTitle && Area.DataCol < static_cast<int>(FLeafFieldArr.size())) leaf = FLeafFieldArr[Area.DataCol];
    TRect leafRect = ARect;
    AnsiString caption = title->Caption();
    if (leaf) {
        leafRect.Top = ARect.Bottom - leaf->CellHeight + 1;
        caption = leaf->Caption;
    }
    const TRect outer = paint::InnerCellRect(leafRect, themed, is3D, Flat());
    TRect inner = leafRect;
    if (is3D && !themed) inner = TRect{leafRect.Left + 1, leafRect.Top + 1, leafRect.Right - 1, leafRect.Bottom - 1};
    TRect textRect = inner;
    const int DX = is3D ? 1 : 2;
    const int DY = Flat() ? DX - 1 : DX;

    int imageWidth = 0;
    const bool hasImage = FTitleImages && title->ImageIndex() != -1;
    if (hasImage) {
        imageWidth = FTitleImages->Width();
        caption.clear();
    }

    TSortMarkerEh marker = title->SortMarker();
    TColor background = C->Brush()->Color();
    const bool hasButtonEvent = column->Field() && OnGetBtnParams;
    if (hasButtonEvent) {
        OnGetBtnParams(this, column, C->Font(), background, marker, pressed);
        C->Brush()->SetColor(background);
    }

    const bool multiLine = FUseMultiTitle || FTitleHeight != 0 || FTitleLines != 0;
    int leftMargin = 0, rightMargin = 0, shift = 0;
    if (pressed) {
        shift = multiLine ? 2 : 1;
        leftMargin = shift;
        rightMargin = -shift;
        textRect.Top += shift;
    }

    // The sort-marker area at the right gives up first the glyph, then the number, when narrow.
    bool drawGlyph = marker != smNoneEh;
    int numberWidth = 0;
    if (marker != smNoneEh) {
        textRect.Right -= 16;
        if (FSortMarkedColumnList->Count() >= 2) {
            ui::TFont saved;
            saved.Assign(C->Font());
            C->SetFont(grid::SortMarkerFont());
            numberWidth = C->TextWidth(std::to_string(title->SortIndex()));
            C->SetFont(&saved);
        }
        if (textRect.Right < textRect.Left + imageWidth) {
            textRect.Right += 14 - numberWidth;
            drawGlyph = false;
            if (textRect.Right < textRect.Left + imageWidth) {
                textRect.Right += numberWidth + 2;
                numberWidth = 0;
            }
        }
    }

    C->SetFont(title->Font());
    if (hasButtonEvent) {
        OnGetBtnParams(this, column, C->Font(), background, marker, pressed);
        cellColor = background;
    }
    C->Brush()->SetColor(cellColor);
    highlighted =
        GetSelectedFixedCellColors(ACol, ARow, C->Font(), cellColor, IsCellSelected(ACol, ARow, Area.DataCol), Area);
    C->Brush()->SetColor(cellColor);
    bool fill = true;
    if (themed || flatThemed) {
        FillCellBackground(themed, outer, is3D, TRect{}, highlighted, pressed);
        fill = false;
    } else if (textRect.Right < outer.Right) {
        C->FillRect(TRect{textRect.Right, outer.Top, outer.Right, outer.Bottom});
    }

    if (title->Orientation() == tohVertical)
        grid::WriteVerticalText(C, textRect, fill, false, editors::tlBottom, 2, caption, DY + 2, DX);
    else
        grid::WriteCellText(C, textRect, fill, DX, DY, caption, title->Alignment(),
                            multiLine ? editors::tlCenter : editors::tlTop, multiLine, title->EndEllipsis(), leftMargin,
                            rightMargin, false);
    if (hasImage) editors::DrawImageCentered(C, textRect, FTitleImages, false, title->ImageIndex());
    const int glyphY = (inner.Top + inner.Bottom - paint::SortGlyphHeight) / 2 + shift;
    if (drawGlyph)
        paint::DrawSortGlyph(C, outer.Right + shift - paint::SortGlyphWidth - numberWidth - 2, glyphY, marker);
    if (numberWidth != 0) {
        const ui::TBrushStyle style = C->Brush()->Style();
        C->SetFont(grid::SortMarkerFont());
        if (highlighted) C->Font()->SetColor(ui::clWhite);
        C->Brush()->SetStyle(ui::bsClear);
        C->TextOut(inner.Right + shift - numberWidth - 2, glyphY - 1, std::to_string(title->SortIndex()));
        C->SetFont(TitleFont());
        if (highlighted) C->Font()->SetColor(ui::clWhite);
        C->Brush()->SetStyle(style);
    }

    if (is3D) {
        C->Brush()->SetColor(cellColor);
        if (!themed) DrawCellFrame(leafRect, !flatThemed, true, highlighted, pressed);
    }
    if (leaf && leaf->ParentNode && leaf->ParentNode != FHeadTree.get()) {
        C->SetFont(TitleFont());
        C->Brush()->SetColor(highlighted ? cellColor : FixedColor());
        DrawTitleGroupCells(ACol, ARow, leaf, ARect, leafRect, title->EndEllipsis(), State);
    }
}

void TCustomDBGridEh::DrawTitleGroupCells(int ACol, int ARow, THeadTreeNode* Node, const TRect& CellRect,
                                          const TRect& BelowRect, bool EndEllipsis, TGridDrawState State) {
    THeadTreeNode* parent = Node->ParentNode;
    if (!parent || parent == FHeadTree.get()) return;
    TCanvas* C = Canvas();
    const bool rowLines = FOptions.Contains(dgRowLines);
    const int colLine = FOptions.Contains(dgColLines) ? 1 : 0;
    TRect group;
    group.Bottom = BelowRect.Top - (rowLines ? 1 : 0);
    group.Top = BelowRect.Top - parent->CellHeight;
    int before = 0;
    for (THeadTreeNode* n = parent->FirstChild; n && n != Node; n = n->NextSibling) before += n->CellWidth + colLine;
    group.Left = BelowRect.Left - before;
    group.Right = group.Left + parent->CellWidth;

    const TRect& cell = CellRect;
    TRect slice{std::max(group.Left, cell.Left), group.Top, std::min(group.Right, cell.Right), group.Bottom};
    bool widened = false;
    if (group.Right > cell.Right && !(ACol == FixedCols() - 1 && LeftCol() != FixedCols())) {
        ++slice.Right;
        widened = true;
    }
    const bool is3D = State.Contains(gdFixed) && FOptionsEh.Contains(dghFixed3D);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    const bool startsHere = group.Left >= cell.Left;
    const bool endsHere = group.Right <= cell.Right;
    TRect frame = slice;
    if (is3D) {
        ++frame.Top;
        --frame.Bottom;
    }
    TRect text = frame;
    int leftMargin = 0, rightMargin = 0;
    const int leftGap = group.Left - cell.Left;
    if (leftGap >= 0)
        text.Left += 2;
    else
        leftMargin = leftGap + 2;
    const int rightGap = cell.Right - group.Right + (widened ? 1 : 0);
    if (rightGap >= 0)
        text.Right -= 2;
    else
        rightMargin = rightGap + 2;
    bool fill = true;
    if (themed) {
        FillCellBackground(true, TRect{group.Left, frame.Top, group.Right, frame.Bottom}, true, frame, false, false);
        fill = false;
    } else if (Flat() && editors::ThemesActive() && is3D) {
        editors::FillGradientVertical(C, frame, ui::clBtnHighlight, C->Brush()->Color());
        fill = false;
    }
    if (fill) C->FillRect(slice);
    const int DX = is3D ? 1 : 2;
    const int DY = Flat() ? DX - 1 : DX;
    grid::WriteCellText(C, text, false, 0, DY, parent->Caption, db::taCenter, editors::tlCenter, true, EndEllipsis,
                        leftMargin, rightMargin, false);
    parent->Painted = true;
    if (is3D && !themed) DrawCellFrame(slice, endsHere && !Flat(), startsHere, false, false);
    if (rowLines && !themed) {
        ui::TPen* pen = C->Pen();
        const TColor pc = pen->Color();
        pen->SetColor(GridLineColors()->GetColor4());
        C->MoveTo(slice.Left, slice.Bottom);
        C->LineTo(slice.Right, slice.Bottom);
        pen->SetColor(pc);
    }
    if (parent->ParentNode && parent->ParentNode != FHeadTree.get())
        DrawTitleGroupCells(ACol, ARow, parent, CellRect, group, EndEllipsis, State);
}

}  // namespace grid
