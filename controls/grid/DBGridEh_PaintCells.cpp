// Data cells: the cell parameters, row colours, highlight, check boxes, images, pictures, hidden
// duplicates, edit buttons, the typed search text, and the tree area of a record view.
#include <algorithm>
#include <memory>

#include "controls/grid/DBGridEh_PaintPrims.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Streams.h"

namespace grid {

using ui::TCanvas;
using ui::TColor;


void TCustomDBGridEh::DrawDataCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                   const TRect& ARect) {
    TCanvas* C = Canvas();
    TColumnEh* column = FColumns->Items(Area.DataCol);
    const TColumnPaintValues& values = PaintValues(Area.DataCol);
    C->SetFont(values.Font);
    C->Brush()->SetColor(values.Color);
    db::TDataSet* ds = DataSet();
    if (!FDataLink->Active() || Area.DataRow < 0 || (Area.DataRow >= RowRecordCount() && !(ds->Bof() && ds->Eof()))) {
        C->FillRect(ARect);
        return;
    }
    // A record view gives every record its own row: other rows are read through the view.
    paint::TRecordSwitch sw(FMemTable, FDataLink.get(), Area.DataRow, FRecordSwitchCount);
    struct TSavedScope {
        int& Slot;
        ~TSavedScope() { Slot = -1; }
    } savedScope{FSavedActiveRecord};
    FSavedActiveRecord = sw.Saved();
    // Row colours alternate only where the column shows the grid's colour.
    TColor background = values.Color;
    if (background == Color() && ds->IsSequenced()) {
        const int recNo = FMemTable ? Area.DataRow + 1 : ds->RecNo();
        if (recNo > 0) background = (recNo % 2) ? OddRowColor() : EvenRowColor();
    }
    TColCellParamsEh* params = FColCellParams.get();
    params->Col = ACol;
    params->Row = ARow;
    params->State = State;
    params->Font = C->Font();
    params->Alignment = values.Alignment;
    params->Background = background;
    params->KeepCurrentBackground = false;
    const TColumnCellKindEh kind = values.Kind;
    if (kind == cckGraphic || kind == cckImage)
        params->Text.clear();
    else
        params->Text = column->KeyListDisplayText();
    params->ImageIndex = kind == cckImage || column->ShowImageAndText() ? column->CellImageIndex() : -1;
    params->CheckboxState = kind == cckCheckBox ? column->CheckboxState() : ui::TCheckBoxState::cbUnchecked;
    params->BlankFixedCell = false;
    params->ReadOnly = values.ReadOnly;
    params->TextEditing = values.TextEditing;
    GetCellParams(column, C->Font(), params->Background, State);
    column->GetColCellParams(false, params);

    TRect rect = ARect;
    if (Area.DataCol == 0 && TreeViewMode()) {
        DrawTreeAreaCell(Area.DataCol, Area.DataRow, rect, State);
        rect.Left = std::min(rect.Left + TreeIndentWidth(), rect.Right);
    }
    bool processed = false;
    if (OnAdvDrawDataCell)
        OnAdvDrawDataCell(this, TGridCoord{ACol, ARow}, TGridCoord{Area.DataCol, Area.DataRow}, column, rect, *params,
                          processed);
    if (!processed) DrawDefaultDataCell(ACol, ARow, Area, params, rect, column);
    if (FDefaultDrawing && State.Contains(gdFocused) && Focused() && !Designing() && !FOptions.Contains(dgRowSelect) &&
        FUpdateNesting == 0 && IsActiveControl())
        C->DrawFocusRect(rect);
}

void TCustomDBGridEh::DrawDefaultDataCell(int ACol, int ARow, const TCellAreaEh& Area, TColCellParamsEh* Params,
                                          const TRect& ARect, TColumnEh* Column) {
    TCanvas* C = Canvas();
    const TColumnPaintValues& values =
        FColumns->Items(Area.DataCol) == Column ? PaintValues(Area.DataCol) : PaintValues(Column->Index());
    const TColumnCellKindEh kind = values.Kind;
    bool is3D = IsCellDrawn3D(ACol, ARow, Params->State);
    if (Params->BlankFixedCell && !is3D) is3D = FOptionsEh.Contains(dghFixed3D);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    TRect inner = paint::InnerCellRect(ARect, themed, is3D, Flat());
    const int DX = is3D ? 1 : 2;
    const int DY = Flat() ? DX - 1 : DX;
    const bool buttons = values.AlwaysShowEditButton && !Params->BlankFixedCell;
    if (buttons) inner.Right -= Column->EditButtonsWidth();

    if (Params->BlankFixedCell && !Params->KeepCurrentBackground) Params->Background = FixedColor();
    bool highlighted = false;
    const bool currentCell = IsCurrentDataRow(Area.DataRow) && (ACol == Col() || FOptions.Contains(dgRowSelect));
    if (!(Params->KeepCurrentBackground && currentCell))
        highlighted = GetDataCellHighlight(Area.DataCol, Area.DataRow, Params->Font, Params->Background, Params->State);
    if (highlighted) Params->State.Include(gdSelected);
    C->Brush()->SetColor(Params->Background);

    // Hidden duplicates: compare with the neighbouring records the link holds.
    bool paintLineAbove = false, paintLineBelow = false;
    if (Column->HideDuplicates() && !Params->BlankFixedCell &&
        Area.DataCol < static_cast<int>(FDuplicateLineFlags.size())) {
        std::vector<bool>& flags = FDuplicateLineFlags[static_cast<size_t>(Area.DataCol)];
        const int gridRow = ARow - TopRow();
        auto textAt = [&](int DataRow) {
            paint::TRecordSwitch sw(FMemTable, FDataLink.get(), DataRow, FRecordSwitchCount);
            return Column->KeyListDisplayText();
        };
        const int records = RowRecordCount();
        if (Area.DataRow + 1 < records && textAt(Area.DataRow + 1) == Params->Text) {
            const size_t next = static_cast<size_t>(gridRow + 1);
            if (next < flags.size() && !flags[next]) paintLineBelow = true;
        }
        if (Area.DataRow > 0 && textAt(Area.DataRow - 1) == Params->Text) {
            Params->Text.clear();
            Params->ImageIndex = -1;
            const size_t here = static_cast<size_t>(std::max(gridRow, 0));
            if (here < flags.size() && !flags[here]) {
                flags[here] = true;
                paintLineAbove = true;
            }
        }
    }

    if (!Params->BlankFixedCell && FDefaultDrawing && inner.Width() > 0 && inner.Height() > 0) {
        const bool framed =
            is3D && !Params->State.Contains(gdSelected) && (themed || (Flat() && editors::ThemesActive()));
        if (framed) FillCellBackground(themed, inner, is3D, TRect{}, highlighted, false);
        switch (kind) {
            case cckImage:
                if (!framed) C->FillRect(ARect);
                if (Params->ImageIndex >= 0)
                    editors::DrawImageCentered(C, ARect, Column->ImageList(), false, Params->ImageIndex);
                break;
            case cckCheckBox: {
                if (!framed) C->FillRect(ARect);
                const int w = editors::CheckBoxWidth(), h = editors::CheckBoxHeight();
                TRect box = ARect;
                if (inner.Width() >= w) {
                    box.Left = inner.Left + (inner.Width() - w) / 2;
                    box.Right = box.Left + w;
                }
                if (inner.Height() >= h) {
                    box.Top = inner.Top + (inner.Height() - h) / 2;
                    box.Bottom = box.Top + h;
                }
                editors::DrawEditButtonFace(C, box, Params->Background, editors::bfsCheckBox, 0, Flat(), false, true,
                                            static_cast<editors::TCheckBoxState>(Params->CheckboxState));
                break;
            }
            case cckGraphic: DrawGraphicOrMemoCell(Column, ARect); break;
            default:
                grid::WriteCellText(C, themed ? ARect : inner, !framed, DX, DY, Params->Text, Params->Alignment,
                                    values.Layout, values.WordWrap && ARect.Height() > C->TextHeight("W") * 2 - 1,
                                    values.EndEllipsis, 0, 0, false);
                break;
        }
    }

    if (buttons) DrawDataCellButtons(Column, ARect, inner, is3D);

    // A required field left empty while editing the current row.
    if (!Params->BlankFixedCell && values.HighlightRequired && IsCurrentDataRow(Area.DataRow)) {
        db::TDataSet* ds = DataSet();
        db::TField* f = Column->Field();
        if (ds && f && (ds->State() == db::dsEdit || ds->State() == db::dsInsert) && f->Required() && f->IsNull()) {
            ui::TPen* pen = C->Pen();
            const TColor pc = pen->Color();
            const ui::TPenStyle ps = pen->Style();
            pen->SetColor(ui::clRed);
            pen->SetStyle(ui::psDot);
            C->MoveTo(ARect.Left + 2, ARect.Bottom - 1);
            C->LineTo(ARect.Right - 3, ARect.Bottom - 1);
            pen->SetColor(pc);
            pen->SetStyle(ps);
        }
    }

    if (!FColumns->HasPersistentColumns()) DrawDataCellEvent(ARect, Column->Field(), Params->State);
    DrawColumnCell(ARect, Area.DataCol, Column, Params->State);
    if (!Params->BlankFixedCell && FIncSearchActive && Params->State.Contains(gdFocused) &&
        IsCurrentDataRow(Area.DataRow) && ACol == Col() && (FOptions.Contains(dgAlwaysShowSelection) || Focused()) &&
        !Designing() && FUpdateNesting == 0 && IsActiveControl())
        DrawIncSearchText(Column, Params, themed ? ARect : inner, DX, DY);

    if ((paintLineAbove || paintLineBelow) && FOptions.Contains(dgRowLines)) {
        ui::TPen* pen = C->Pen();
        const TColor pc = pen->Color();
        pen->SetColor(Column->Color());
        if (paintLineAbove) {
            C->MoveTo(ARect.Left, ARect.Top - 1);
            C->LineTo(ARect.Right, ARect.Top - 1);
        }
        if (paintLineBelow) {
            C->MoveTo(ARect.Left, ARect.Bottom);
            C->LineTo(ARect.Right, ARect.Bottom);
        }
        pen->SetColor(pc);
    }
    // In a record view the first column's blank fill and frame start one pixel in, clear of the tree edge.
    TRect rect = ARect;
    if (Area.DataCol == 0 && RecordView()) rect.Left = std::min(rect.Left + 1, rect.Right);
    if (Params->BlankFixedCell) FillCellBackground(themed, rect, is3D, TRect{}, highlighted, false);
    if (is3D && !themed) DrawCellFrame(rect, !(Flat() && editors::ThemesActive()), true, highlighted, false);
}

// ---------------------------------------------------------------------------------------------
// Tree area

editors::IMemTableEh* TCustomDBGridEh::RecordView() const { return dynamic_cast<editors::IMemTableEh*>(DataSet()); }

bool TCustomDBGridEh::TreeViewMode() const {
    editors::IMemTableEh* view = RecordView();
    return view && view->TreeViewMode();
}

int TCustomDBGridEh::TreeIndentWidth() const {
    if (!TreeViewMode()) return 0;
    return std::max(TreeLevelWidth * RecordView()->CurrentNodeLevel(), 0);
}

void TCustomDBGridEh::DrawTreeIndent(TCanvas* C, const TRect& ARect, int Flags) {
    if (!TreeViewMode()) return;
    editors::IMemTableEh* view = RecordView();
    const int level = view->CurrentNodeLevel();
    if (level <= 0) return;
    const bool rowLines = (Flags & 1) && FOptions.Contains(dgRowLines);
    const int limit = view->RowLinesLevelLimit();
    // The dots line up from row to row when both the row height and the top row are odd.
    const bool phase = (DefaultDataRowHeight() & 1) && (TopRow() & 1);
    TRect r{ARect.Left, ARect.Top, std::min(ARect.Left + TreeLevelWidth, ARect.Right), ARect.Bottom};
    auto levelCell = [&](int Kind, bool OverLine) {
        TRect cell = r;
        if (OverLine) ++cell.Bottom;
        if (cell.Right > cell.Left) {
            C->FillRect(cell);
            if (Kind >= 0) editors::DrawTreeLinesElement(C, cell, Kind, false, 1, 1, phase);
        }
        r.Offset(TreeLevelWidth, 0);
        r.Right = std::min(r.Right, ARect.Right);
    };
    for (int l = 1; l < level; ++l)
        levelCell(view->LevelHasNextSibling(l) ? 9 : -1, rowLines && (l == 1 || limit < 0 || l < limit));
    const bool next = view->LevelHasNextSibling(level);
    int kind = next ? 6 : 7;
    if (view->CurrentNodeHasChildren()) {
        const bool expanded = view->CurrentNodeExpanded() != 0;
        kind = expanded ? (next ? 0 : 1) : (next ? 3 : 4);
    }
    levelCell(kind, rowLines && (level == 1 || limit < 0 || level < limit));
    if (rowLines) {
        const int x = ARect.Left + TreeLevelWidth * level - 1;
        if (x < ARect.Right) {
            ui::TPen* pen = C->Pen();
            const TColor saved = pen->Color();
            pen->SetColor(TColor(0xC0C0C0));
            C->MoveTo(x, ARect.Bottom);
            C->LineTo(x, ARect.Top - 2);
            pen->SetColor(saved);
        }
    }
}

void TCustomDBGridEh::DrawTreeAreaCell(int DataCol, int DataRow, const TRect& ARect, TGridDrawState State) {
    if (!TreeViewMode()) return;
    TCanvas* C = Canvas();
    TColor color = Color();
    if (FSelectionType == gstRecordBookmarks && FSelectedRecords->CurrentRowSelected())
        if (TDBGridEhStyle* style = CurrentGridStyle())
            style->GetDataCellHighlight(this, DataToGridCol(DataCol), DataRow + TitleRowCount(), DataCol, DataRow,
                                        State, C->Font(), color);
    ui::TBrush* brush = C->Brush();
    const TColor saved = brush->Color();
    brush->SetColor(color);
    DrawTreeIndent(C, ARect, 1);
    brush->SetColor(saved);
}

bool TCustomDBGridEh::TreeAreaMouseDown(int X, int Y, bool CheckOnly) {
    if (!TreeViewMode()) return false;
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < FIndicatorColCount || cell.Y < 0) return false;
    const TCellAreaEh area = GetCellType(cell.X, cell.Y);
    if (area.RowArea != rcaData || area.DataCol < 0 || FDisplayedColumnList->Count() == 0 ||
        FColumns->Items(area.DataCol) != FDisplayedColumnList->Items(0))
        return false;
    editors::IMemTableEh* view = RecordView();
    db::TDataSet* ds = DataSet();
    const int delta = cell.Y - Row();
    const int topRow = TopRow();
    const int remembered = view->ViewCurrentRecord();
    int indent = 0, expanded = 0;
    auto read = [&] {
        indent = TreeIndentWidth();
        expanded = view->CurrentNodeExpanded();
    };
    if (delta != 0) {
        view->SetViewActiveRecord(ds->RecNo() + delta - 1);
        rtl::TryFinally(read, [&] { view->RestoreViewActiveRecord(); });
    } else {
        read();
    }
    const TRect r = SingleCellRect(cell.X, cell.Y);
    if (X < r.Left || X >= r.Left + indent) return false;
    if (CheckOnly) return true;
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            int record = -1;
            if (X >= r.Left + indent - TreeLevelWidth)
                record = view->ToggleNode(ds->RecNo() + delta - 1, expanded == 0);
            LockPaint();
            FInTreeUpdate = true;
            rtl::TryFinally(
                [&] {
                    if (record <= 0 || record == ds->RecNo())
                        view->RestoreCurrentRecord(remembered);
                    else
                        ds->SetRecNo(record);
                },
                [&] {
                    FInTreeUpdate = false;
                    UnlockPaint();
                });
        },
        [&] { ds->EnableControls(); });
    SetTopRow(topRow);
    Invalidate();
    UpdateVertScrollBar();
    return true;
}

void TCustomDBGridEh::DrawDataCellButtons(TColumnEh* Column, const TRect& ARect, const TRect& Inner, bool Is3D) {
    TCanvas* C = Canvas();
    const int extra = Flat() ? 1 : 0;
    TRect button{Inner.Right, ARect.Top, Inner.Right + FEditButtonWidth + extra, ARect.Top + FEditButtonHeight};
    if (Is3D) button.Offset(1, -1);
    const bool active = FDataLink->Active();
    const TColor back = C->Brush()->Color();
    auto next = [&](int Width) {
        if (Is3D && Flat()) C->FillRect(TRect{button.Left - 1, button.Top, button.Left, button.Bottom});
        button.Left = button.Right + extra;
        button.Right = button.Left + Width;
    };
    bool first = true;
    auto place = [&](int Width) {
        if (!first)
            next(Width);
        else
            button.Right = button.Left + Width;
        first = false;
    };
    const TColumnEditStyleEh style = Column->EditStyle();
    if (style != cesNone) {
        place(FEditButtonWidth + extra);
        const editors::TEditButtonStyleEh kind = style == cesEllipsis ? editors::ebsEllipsisEh
                                                 : style == cesUpDown ? editors::ebsUpDownEh
                                                                      : editors::ebsDropDownEh;
        DrawCellButton(Column, C, nullptr, back, active, Flat(), ARect, button, kind);
    }
    if (editors::TEditButtonsEh* list = Column->EditButtons()) {
        for (int i = 0; i < list->Count(); ++i) {
            editors::TEditButtonEh* b = list->Items(i);
            if (!b->Visible()) continue;
            place((b->Width() < 1 ? FEditButtonWidth : b->Width()) + extra);
            DrawCellButton(Column, C, b->Glyph(), back, active, Flat(), ARect, button, b->Style());
        }
    }
    if (!first && Is3D && Flat()) C->FillRect(TRect{button.Left - 1, button.Top, button.Left, button.Bottom});
    if (!first && button.Bottom < ARect.Bottom) {
        C->Brush()->SetColor(back);
        C->FillRect(TRect{Inner.Right, button.Bottom, std::min(button.Right, ARect.Right), ARect.Bottom});
    }
}

void TCustomDBGridEh::DrawCellButton(TColumnEh* Column, TCanvas* Canvas, ui::TBitmap* Glyph, TColor Color,
                                     bool LinkActive, bool IsFlat, const TRect& CellRect, TRect ButtonRect,
                                     editors::TEditButtonStyleEh Style) {
    (void)Column;
    ui::TRegion saved;
    bool clipped = false, hadClip = false;
    if (ButtonRect.Left < CellRect.Left) {
        hadClip = Canvas->GetClipRgn(saved) == 1;
        Canvas->IntersectClipRect(CellRect);
        clipped = true;
    }
    struct TRestore {
        TCanvas* C;
        bool Clipped;
        const ui::TRegion* R;
        ~TRestore() {
            if (Clipped) C->SelectClipRgn(R);
        }
    } restore{Canvas, clipped, hadClip ? &saved : nullptr};
    ui::TBrush* brush = Canvas->Brush();
    const TColor brushColor = brush->Color();
    if (IsFlat) {
        brush->SetColor(Color);
        Canvas->FillRect(TRect{ButtonRect.Left, ButtonRect.Top, ButtonRect.Left + 1, ButtonRect.Bottom});
        ++ButtonRect.Left;
    }
    if (Style == editors::ebsGlyphEh) {
        if (IsFlat) {
            brush->SetColor(Color);
            Canvas->FrameRect(ButtonRect);
            ButtonRect.Inflate(-1, -1);
            brush->SetColor(ui::clBtnFace);
            Canvas->FillRect(ButtonRect);
        } else {
            ui::DrawEdge(Canvas, ButtonRect, ui::EDGE_RAISED, ui::BF_RECT | ui::BF_MIDDLE);
            ButtonRect.Inflate(-2, -2);
        }
        if (Glyph && !Glyph->Empty()) grid::DrawImageInCell(nullptr, Glyph, Canvas, db::taCenter, 0, 0, ButtonRect);
    } else {
        int face = editors::bfsDropDown;
        switch (Style) {
            case editors::ebsEllipsisEh: face = editors::bfsEllipsis; break;
            case editors::ebsUpDownEh: face = editors::bfsUpDown; break;
            case editors::ebsPlusEh: face = editors::bfsPlus; break;
            case editors::ebsMinusEh: face = editors::bfsMinus; break;
            default: break;
        }
        editors::DrawEditButtonFace(Canvas, ButtonRect, Color, face, 0, IsFlat, false, LinkActive,
                                    editors::cbUnchecked);
    }
    brush->SetColor(brushColor);
}

void TCustomDBGridEh::DrawIncSearchText(TColumnEh* Column, TColCellParamsEh* Params, const TRect& ARect, int DX,
                                        int DY) {
    TCanvas* C = Canvas();
    const AnsiString& text = Params->Text;
    const size_t typed = std::min(FIncSearchText.size(), text.size());
    if (typed == 0) return;
    TRect r{ARect.Left + DX, ARect.Top + DY, ARect.Right - DX, ARect.Bottom};
    if (DX > 0) ++r.Bottom;
    unsigned flags = ui::DT_NOPREFIX | ui::DT_SINGLELINE;
    if (Params->Alignment == db::taRightJustify)
        flags |= ui::DT_RIGHT;
    else if (Params->Alignment == db::taCenter)
        flags |= ui::DT_CENTER;
    if (Column->WordWrap() && ARect.Height() > C->TextHeight("W") * 2 - 1)
        flags = (flags & ~ui::DT_SINGLELINE) | ui::DT_WORDBREAK;
    // The typed part lands over the start of the drawn text: the rest's width is kept free on the right.
    if (Params->Alignment != db::taLeftJustify) r.Right -= C->TextWidth(text.substr(typed));
    ui::TBrush* brush = C->Brush();
    const TColor brushColor = brush->Color();
    const ui::TBrushStyle brushStyle = brush->Style();
    const TColor fontColor = C->Font()->Color();
    brush->SetColor(IncSearchHighlightColor);
    brush->SetStyle(ui::bsSolid);
    C->Font()->SetColor(IncSearchHighlightFontColor);
    C->DrawText(text.substr(0, typed), r, flags);
    brush->SetColor(brushColor);
    brush->SetStyle(brushStyle);
    C->Font()->SetColor(fontColor);
}

void TCustomDBGridEh::DrawGraphicOrMemoCell(TColumnEh* Column, const TRect& ARect) {
    TCanvas* C = Canvas();
    db::TField* f = Column->Field();
    if (!FDrawGraphicData) {
        C->SetFont(Font());
        const AnsiString text = f ? f->DisplayText() : AnsiString();
        const int x = ARect.Left + (ARect.Width() - C->TextWidth(text)) / 2;
        const int y = ARect.Top + (ARect.Height() - C->TextHeight(text)) / 2;
        C->TextRect(ARect, x, y, text);
        return;
    }
    // A blob that is not a picture we can decode shows as an empty picture: a paint never raises.
    rtl::TOwnedPtr<ui::TBitmap> picture(rtl::Create<ui::TBitmap>());
    if (f && f->IsBlob() && !f->IsNull()) {
        try {
            std::unique_ptr<rtl::TStream> stream(DataSet()->CreateBlobStream(f, db::bmRead));
            if (stream) picture->LoadFromStream(*stream);
        } catch (const rtl::Exception&) {
            picture.reset(rtl::Create<ui::TBitmap>());
        }
    }
    C->FillRect(ARect);
    if (picture->Empty()) return;
    int w = picture->Width(), h = picture->Height();
    const int cw = ARect.Width(), ch = ARect.Height();
    if (w > cw || h > ch) {
        if (static_cast<double>(w) / cw >= static_cast<double>(h) / ch) {
            h = static_cast<int>(static_cast<double>(h) * cw / w + 0.5);
            w = cw;
        } else {
            w = static_cast<int>(static_cast<double>(w) * ch / h + 0.5);
            h = ch;
        }
    }
    const int x = ARect.Left + (cw - w) / 2, y = ARect.Top + (ch - h) / 2;
    C->StretchDraw(TRect{x, y, x + w, y + h}, picture.get());
}

AnsiString TCustomDBGridEh::CellHintText(TColumnEh* Column) {
    db::TField* f = Column->Field();
    switch (Column->CellKind()) {
        case cckImage: {
            if (!f || !Column->HasPickList()) return AnsiString();
            const int i = Column->HasKeyList() ? Column->KeyList()->IndexOf(f->Text()) : -1;
            // The key may be missing from KeyList or stand past the end of PickList.
            return i >= 0 && i < Column->PickList()->Count() ? Column->PickList()->Strings(i) : AnsiString();
        }
        case cckCheckBox: {
            if (!Column->HasPickList()) return AnsiString();
            const int i = static_cast<int>(Column->CheckboxState());
            return i < Column->PickList()->Count() ? Column->PickList()->Strings(i) : AnsiString();
        }
        default: return f ? Column->KeyListDisplayText() : AnsiString();
    }
}

}  // namespace grid
