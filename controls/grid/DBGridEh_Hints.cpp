// The grid's hints: the pause before them, title hints, tool tips of cut titles and data cells,
// the tool-tip window; and the focus messages that repaint what shows the focus.
#include <algorithm>

#include "controls/grid/DBGridEh_PaintPrims.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/ui/Forms.h"

namespace grid {

ui::TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) {
    ui::TRect r = editors::TToolTipsWindow::CalcHintRect(MaxWidth, Hint, Data);
    if (Data) Font()->SetColor(ui::clWindowText);
    return r;
}

namespace {

AnsiString ShortPart(const AnsiString& Hint) {
    const size_t bar = Hint.find('|');
    return bar == AnsiString::npos ? Hint : Hint.substr(0, bar);
}

// The cell under a client point and what lies there; X < 0 when the point is off the cells.
struct THintCell {
    TGridCoord Cell{-1, -1};
    TCellAreaEh Area;
    TColumnEh* Column = nullptr;
};

}  // namespace

ui::TFont* TCustomDBGridEh::HintFont() {
    if (!FHintFont) FHintFont.reset(rtl::Create<ui::TFont>());
    return FHintFont.get();
}

void TCustomDBGridEh::DefaultHandler(ui::TMessage& Message) {
    if (Message.Msg == ui::CM_HINTSHOWPAUSE) {
        CMHintShowPause(Message);
        return;
    }
    TCustomGridEh::DefaultHandler(Message);
    if (Message.Msg == ui::WM_IME_STARTCOMPOSITION) ShowInplaceEditor();
    // Button faces drawn in the old colours are drawn again.
    else if (Message.Msg == ui::CM_SYSCOLORCHANGE)
        editors::FlushButtonBitmapCache();
}

void TCustomDBGridEh::CMHintShowPause(ui::TMessage& Message) {
    auto* pause = reinterpret_cast<int*>(Message.LParam);
    if (!pause) return;
    const TPoint pos = ScreenToClient(ui::GetCursorPos());
    const TGridCoord cell = MouseCoord(pos.X, pos.Y);
    if (cell.X < FIndicatorColCount || cell.Y < 0) return;
    const TCellAreaEh area = GetCellType(cell.X, cell.Y);
    if (area.DataCol < 0 || area.DataCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(area.DataCol);
    const TRect r = SingleCellRect(cell.X, cell.Y);
    const TPoint inCell{pos.X - r.Left, pos.Y - r.Top};
    bool processed = false;
    int value = ui::Application()->HintPause();
    if (OnHintShowPause) OnHintShowPause(this, pos, cell, inCell, column, value, processed);
    if (!processed && column->OnHintShowPause)
        column->OnHintShowPause(column, pos, cell, inCell, column, value, processed);
    if (!processed) {
        value = ui::Application()->HintPause();
        if (area.RowArea == rcaData && FDataLink->Active() && column->ToolTips())
            value = 0;
        else if (area.RowArea == rcaTitle && column->Title()->ToolTips() && column->Title()->Hint().empty())
            value = 0;
        else if (area.RowArea == rcaFooter && column->FooterForIndex(area.DataRow)->ToolTips())
            value = 0;
    }
    *pause = value;
}

void TCustomDBGridEh::CMHintShow(ui::TCMHintShow& Message) {
    TCustomGridEh::CMHintShow(Message);
    if (Message.Result != 0 || !Message.HintInfo) return;
    ui::THintInfo& info = *Message.HintInfo;
    const TGridCoord cell = MouseCoord(info.CursorPos.X, info.CursorPos.Y);
    if (cell.X < FIndicatorColCount || cell.Y < 0) return;
    const TCellAreaEh area = GetCellType(cell.X, cell.Y);
    if (area.DataCol < 0 || area.DataCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(area.DataCol);
    const TRect cellRect = SingleCellRect(cell.X, cell.Y);
    // Each cell is its own hint area: moving to another cell asks again.
    info.CursorRect = cellRect;
    if (area.RowArea == rcaTitle && !column->Title()->Hint().empty()) {
        info.HintStr = ShortPart(column->Title()->Hint());
        return;
    }
    if (ui::GetCaptureControl() || ui::GetKeyState(ui::VK_CONTROL) < 0) return;
    const int R = cellRect.Left + column->Width();

    if (area.RowArea == rcaTitle && column->Title()->ToolTips()) {
        TColumnTitleEh* title = column->Title();
        TRect rect = cellRect;
        const int marker = title->SortMarkerAreaWidth();
        if (marker > 2) rect.Right -= marker;
        AnsiString caption = title->Caption();
        if (FUseMultiTitle && area.DataCol < static_cast<int>(FLeafFieldArr.size()) && FLeafFieldArr[area.DataCol]) {
            THeadTreeNode* leaf = FLeafFieldArr[area.DataCol];
            caption = leaf->Caption;
            rect.Top = cellRect.Bottom - leaf->CellHeight + 1;
            if (info.CursorPos.Y < rect.Top) {
                info.HintStr.clear();
                return;
            }
        }
        const bool vertical = title->Orientation() == tohVertical;
        const bool wrap = !vertical && (FUseMultiTitle || FTitleHeight != 0 || FTitleLines != 0);
        // A vertical caption runs along the cell's height.
        if (vertical) SwapRectSides(rect);
        PlaceToolTip(info, cellRect, rect, R, caption, title->Font(), title->Alignment(), wrap, false);
        return;
    }
    if (area.RowArea == rcaData && FDataLink->Active()) {
        if (area.DataRow >= RowRecordCount()) {
            info.HintStr.clear();
            return;
        }
        paint::TRecordSwitch sw(FMemTable, FDataLink.get(), area.DataRow, FRecordSwitchCount);
        TDBGridEhDataHintParams params;
        params.CursorPos = info.CursorPos;
        params.HintMaxWidth = info.HintMaxWidth;
        params.HintPos = ScreenToClient(info.HintPos);
        params.CursorRect = cellRect;
        params.HintFont = HintFont();
        params.HintFont->Assign(Font());
        params.HideTimeout = info.HideTimeout;
        params.ReshowTimeout = info.ReshowTimeout;
        const TPoint inCell{info.CursorPos.X - cellRect.Left, info.CursorPos.Y - cellRect.Top};
        bool processed = false;
        if (OnDataHintShow) OnDataHintShow(this, info.CursorPos, cell, inCell, column, params, processed);
        if (!processed && column->OnDataHintShow)
            column->OnDataHintShow(column, info.CursorPos, cell, inCell, column, params, processed);
        if (!processed && column->ToolTips()) {
            DefaultDataHint(column, cell, area, params, info);
            return;
        }
        info.CursorRect = params.CursorRect;
        info.HintPos = ClientToScreen(params.HintPos);
        info.HintMaxWidth = params.HintMaxWidth;
        info.HideTimeout = params.HideTimeout;
        info.ReshowTimeout = params.ReshowTimeout;
        info.HintStr = params.HintStr;
        if (processed) {
            info.HintWindowClass = &TToolTipsWindow::StaticClass();
            info.HintData = params.HintFont;
        }
        return;
    }
    if (area.RowArea == rcaFooter) {
        TColumnFooterEh* footer = column->FooterForIndex(area.DataRow);
        if (footer->ToolTips()) {
            PlaceToolTip(info, cellRect, cellRect, R, GetFooterValueText(area.DataRow, column), footer->Font(),
                         footer->Alignment(), footer->WordWrap(), false);
            return;
        }
    }
    info.HintStr.clear();
}

void TCustomDBGridEh::DefaultDataHint(TColumnEh* Column, TGridCoord Cell, const TCellAreaEh& Area,
                                      TDBGridEhDataHintParams& Params, ui::THintInfo& Info) {
    (void)Area;
    const TRect cellRect = SingleCellRect(Cell.X, Cell.Y);
    TRect rect = cellRect;
    if (Column->AlwaysShowEditButton()) {
        rect.Right -= Column->EditButtonsWidth();
        if (Info.CursorPos.X >= rect.Right) {
            Info.HintStr.clear();
            return;
        }
    }
    if (Column->ShowImageAndText() && Column->ImageList()) rect.Left += Column->ImageList()->Width() + 5;
    const TColumnCellKindEh kind = Column->CellKind();
    ui::TFont* font = HintFont();
    font->Assign(Column->Font());
    TColCellParamsEh* params = FColCellParams.get();
    Column->FillColCellParams(params);
    params->Col = Cell.X;
    params->Row = Cell.Y;
    params->Font = font;
    params->Alignment = kind == cckImage || kind == cckCheckBox ? db::taLeftJustify : Column->Alignment();
    params->Text = CellHintText(Column);
    params->Background = Column->Color();
    params->State = TGridDrawState{};
    GetCellParams(Column, font, params->Background, params->State);
    Column->GetColCellParams(false, params);
    const bool wrap = Column->WordWrap() && rect.Height() > MeasureText(this, font, "W").cy * 2 - 1;
    const bool always = kind == cckImage || kind == cckCheckBox;
    Params.HintFont = font;
    PlaceToolTip(Info, cellRect, rect, cellRect.Left + Column->Width(), params->Text, font, params->Alignment, wrap,
                 always);
}

void TCustomDBGridEh::PlaceToolTip(ui::THintInfo& Info, const TRect& Cell, TRect Rect, int R, const AnsiString& Text,
                                   ui::TFont* Font, TAlignment Alignment, bool WordWrap, bool Always) {
    Info.CursorRect = Cell;
    if (Text.empty() || Rect.Width() <= 0) {
        Info.HintStr.clear();
        return;
    }
    ui::TCanvas* C = Canvas();
    ui::TFont saved;
    saved.Assign(C->Font());
    C->SetFont(Font);
    int w = 0;
    bool fits = false;
    if (WordWrap) {
        TRect calc{0, 0, std::max(Rect.Width() - FCellTextMargin, 1), 0};
        C->DrawText(Text, calc, ui::DT_CALCRECT | ui::DT_WORDBREAK | ui::DT_NOPREFIX);
        w = calc.Width();
        fits = calc.Height() <= Rect.Height();
    } else {
        w = C->TextWidth(Text);
        fits = w + FCellTextMargin <= Rect.Width();
    }
    C->SetFont(&saved);
    const bool cut = Alignment == db::taRightJustify && Rect.Right < R - 2;
    if (fits && !cut && !Always) {
        Info.HintStr.clear();
        return;
    }
    const int top = Rect.Top - (Flat() ? 2 : 1);
    int x = Rect.Left - 1;
    if (Alignment == db::taRightJustify)
        x = R - w - 6;
    else if (Alignment == db::taCenter)
        x = R - (w - w / 2) - (R - Rect.Left - 4) / 2 - 5;
    Info.HintStr = Text;
    Info.HintPos = ClientToScreen(TPoint{x, top});
    if (WordWrap) Info.HintMaxWidth = Rect.Width() - 4;
    HintFont()->Assign(Font);
    Info.HintWindowClass = &TToolTipsWindow::StaticClass();
    Info.HintData = HintFont();
}

// ---------------------------------------------------------------------------------------------
// Focus

void TCustomDBGridEh::WMSetFocus(ui::TWMSetFocus& Message) {
    if (FOptions.Contains(dgRowSelect) && FDataLink->Active()) InvalidateDataRow(Row());
    TCustomGridEh::WMSetFocus(Message);
    // Coming back to a grid whose filter row is being edited returns to that editing, once the
    // form has settled which control it made active.
    if (FFilterEditing && FFilterEdit && FFilterEdit->Visible() &&
        !(FFilterEdit->HandleAllocated() && reinterpret_cast<ui::HWND>(Message.FocusedWnd) == FFilterEdit->Handle()))
        ui::PostMessage(Handle(), CM_FOCUSFILTEREDIT, 0, 0);
    if (GridOrEditorFocused() != FWasFocused) FocusChanged();
}

void TCustomDBGridEh::CheckFocusChanged() {
    if (GridOrEditorFocused() != FWasFocused) FocusChanged();
}

// The window losing the focus still has it while it is told, so the state to come is the target's.
void TCustomDBGridEh::CheckFocusChanged(ui::HWND To) {
    TInplaceEdit* ed = InplaceEditor();
    const bool focused =
        To && ((HandleAllocated() && To == Handle()) || (ed && ed->HandleAllocated() && To == ed->Handle()));
    if (focused == FWasFocused) return;
    FocusChanged();
    FWasFocused = focused;
}

void TCustomDBGridEh::FocusChanged() {
    if (FSelectionType == gstAll) {
        Invalidate();
    } else if (FSelectionType != gstNon) {
        // The selection's colours follow the focus: its rows and columns repaint.
        InvalidateGrid();
    }
    if (FDataLink->Active()) InvalidateDataRow(Row());
    FWasFocused = GridOrEditorFocused();
}

}  // namespace grid
