// The in-place editor over the current cell, and the grid's side of hosting it.
#include <climits>

#include "controls/grid/GridsEh.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace ui;

// ---------------------------------------------------------------------------------------------
// Grid side

bool TCustomGridEh::CanShowEditor() {
    if (!FGridOptions.Contains(gopEditing) || FGridOptions.Contains(gopRowSelect) || !FEditorMode || Designing() ||
        !HandleAllocated())
        return false;
    return FGridOptions.Contains(gopAlwaysShowEditor) || IsActiveControl();
}

void TCustomGridEh::ShowEditor() {
    FEditorMode = true;
    UpdateEdit();
}

void TCustomGridEh::HideEditor() {
    FEditorMode = false;
    HideEdit();
}

void TCustomGridEh::SetEditorMode(bool Value) {
    if (Value) {
        ShowEditor();
        if (FInplaceEdit) FInplaceEdit->CaretToEndUnselected();
    } else {
        HideEditor();
    }
}

void TCustomGridEh::ShowEditorChar(char Ch) {
    ShowEditor();
    if (FInplaceEdit && FInplaceEdit->HandleAllocated())
        PostMessage(FInplaceEdit->Handle(), WM_CHAR, static_cast<uint8_t>(Ch), 0);
}

void TCustomGridEh::InvalidateEditor() {
    FEditorCell = TGridCoord{-1, -1};
    UpdateEdit();
}

void TCustomGridEh::UpdateEdit() {
    if (!CanShowEditor()) return;
    auto load = [this] {
        // The text set while loading is no edit: it must not be stored back into either cell.
        FEditorCell = TGridCoord{-1, -1};
        FInplaceEdit->LoadCellContents();
        FEditorCell = FCurrent;
        FCellModifiable = FInplaceEdit->MaxLength() != -1;
        FInplaceEdit->SelectAll();
    };
    if (!FInplaceEdit) {
        FInplaceEdit = CreateInplaceEditor();
        FInplaceEdit->SetGrid(this);
        FInplaceEdit->SetParent(this);
        load();
    } else if (!(FEditorCell == FCurrent)) {
        HideEdit();
        load();
    }
    if (CanShowEditor()) FInplaceEdit->ShowEditAt(SingleCellRect(FCurrent.X, FCurrent.Y));
}

void TCustomGridEh::HideEdit() {
    if (!FInplaceEdit) return;
    struct THide {
        TCustomGridEh* G;
        ~THide() {
            G->FEditorCell = TGridCoord{-1, -1};
            G->FInplaceEdit->HideEdit();
        }
    } hide{this};
    UpdateText();
}

void TCustomGridEh::UpdateText() {
    if (FInplaceEdit && FEditorCell.X >= 0 && FEditorCell.Y >= 0)
        StoreEditText(FEditorCell.X, FEditorCell.Y, FInplaceEdit->Text());
}

void TCustomGridEh::UpdateEditorPosition() {
    if (FEditorMode && FInplaceEdit) FInplaceEdit->UpdateEditPos(SingleCellRect(FCurrent.X, FCurrent.Y));
}

// ---------------------------------------------------------------------------------------------
// TInplaceEdit

TInplaceEdit::TInplaceEdit(rtl::TComponent* Owner) : TCustomMaskEdit(Owner) {
    FTabStop = false;
    FBorderStyle = TBorderStyle::bsNone;
    FAutoSize = false;
}

TInplaceEdit::~TInplaceEdit() = default;

void TInplaceEdit::CreateParams(TCreateParams& Params) {
    TCustomMaskEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE;
    // Shown and hidden only by window positioning.
    Params.Style &= ~uint32_t(WS_VISIBLE);
}

void TInplaceEdit::UpdateEditRect() {
    if (!HandleAllocated()) return;
    TRect r{2, 2, Width() - 2, Height()};
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    Perform(EM_SCROLLCARET);
}

void TInplaceEdit::LoadCellContents() {
    SetMaxLength(0);
    TCustomMaskEdit::SetText(AnsiString());
    if (!FGrid) return;
    SetEditMask(FGrid->GetCellEditMask(FGrid->Col(), FGrid->Row()));
    TCustomMaskEdit::SetText(FGrid->GetCellEditText(FGrid->Col(), FGrid->Row()));
    const int limit = FGrid->GetCellEditLimit();
    SetMaxLength(limit);
    // The edit window knows no negative limit; -1 marks a cell that cannot be modified.
    FMaxLength = limit;
}

void TInplaceEdit::CaretToEndUnselected() {
    const int n = GetTextLen();
    SetSel(n, n);
}

void TInplaceEdit::InvalidateEdit() {
    if (!HandleAllocated()) return;
    ValidateRect(nullptr);
    InvalidateRect(nullptr, true);
    if (FGrid && FGrid->HandleAllocated()) {
        const TRect r = BoundsRect();
        FGrid->ValidateRect(&r);
        FGrid->TWinControl::InvalidateRect(&r, false);
    }
}

void TInplaceEdit::HideEdit() {
    if (!HandleAllocated() || !IsWindowVisible()) return;
    InvalidateEdit();
    const bool hadFocus = Focused();
    SetWindowPos(0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE);
    if (hadFocus && FGrid && FGrid->HandleAllocated()) ui::SetFocus(FGrid->Handle());
}

void TInplaceEdit::MoveEdit(const TRect& R, bool ForceRedraw) {
    if (R.IsEmpty()) {
        HideEdit();
        return;
    }
    HandleNeeded();
    InvalidateEdit();
    const bool wasHidden = !IsWindowVisible();
    SetWindowPos(R.Left, R.Top, R.Width(), R.Height(), SWP_SHOWWINDOW | SWP_NOREDRAW);
    UpdateEditRect();
    if (wasHidden || ForceRedraw) InvalidateEdit();
    if (FGrid && FGrid->Focused()) ui::SetFocus(Handle());
}

void TInplaceEdit::FocusEdit() {
    if (IsWindowVisible()) ui::SetFocus(Handle());
}

bool TInplaceEdit::CaretAtEnd() const {
    const int n = GetTextLen();
    return (SelLength() == 0 && CaretPos() == n) || (SelStart() == 0 && SelLength() == n);
}

bool TInplaceEdit::CaretAtStart() const {
    const int n = GetTextLen();
    return (SelLength() == 0 && CaretPos() == 0) || (SelStart() == 0 && SelLength() == n);
}

void TInplaceEdit::SendToGrid(uint16_t& Key, TShiftState Shift) {
    if (FGrid) FGrid->KeyDown(Key, Shift);
    Key = 0;
}

void TInplaceEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (!FGrid) {
        TCustomMaskEdit::KeyDown(Key, Shift);
        return;
    }
    const bool always = FGrid->GridOptions().Contains(gopAlwaysShowEditor);
    const bool ctrl = Shift.Contains(ssCtrl);
    switch (Key) {
        case VK_TAB:
            if (!Shift.Contains(ssAlt)) SendToGrid(Key, Shift);
            break;
        case VK_ESCAPE:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_UP:
        case VK_DOWN: SendToGrid(Key, Shift); break;
        case VK_END:
        case VK_RIGHT:
            if (always && (ctrl || CaretAtEnd())) SendToGrid(Key, Shift);
            break;
        case VK_HOME:
        case VK_LEFT:
            if (always && (ctrl || CaretAtStart())) SendToGrid(Key, Shift);
            break;
        case VK_INSERT:
            if (Shift.Empty())
                SendToGrid(Key, Shift);
            else if (Shift.Contains(ssShift) && !FGrid->CanModifyCell())
                Key = 0;
            break;
        case VK_DELETE:
            if (ctrl)
                SendToGrid(Key, Shift);
            else if (!FGrid->CanModifyCell())
                Key = 0;
            break;
        case VK_F2:
            if (FGrid->OnKeyDown) FGrid->OnKeyDown(FGrid, Key, Shift);
            if (Key == VK_F2) {
                CaretToEndUnselected();
                Key = 0;
            }
            if (Key != 0) TCustomMaskEdit::KeyDown(Key, Shift);
            return;
        default: break;
    }
    if (Key == 0) return;
    if (FGrid->OnKeyDown) FGrid->OnKeyDown(FGrid, Key, Shift);
    if (Key != 0) TCustomMaskEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char& Key) {
    if (!FGrid) {
        TCustomMaskEdit::KeyPress(Key);
        return;
    }
    FGrid->KeyPress(Key);
    const auto c = static_cast<unsigned char>(Key);
    if (c >= 32 && !FGrid->EditorAcceptsKey(Key)) {
        Key = 0;
        MessageBeep();
    }
    if ((Key == '\b' || Key == 22 || Key == 24 || static_cast<unsigned char>(Key) >= 32) && !FGrid->CanModifyCell())
        Key = 0;
    switch (Key) {
        case '\r': {
            const int n = GetTextLen();
            if (SelStart() > 0)
                SelectAll();
            else if (SelStart() + SelLength() == n)
                CaretToEndUnselected();
            else
                SelectAll();
            Key = 0;
            break;
        }
        case '\t':
        case 27: Key = 0; break;
        default: break;
    }
    if (Key != 0) TCustomMaskEdit::KeyPress(Key);
}

void TInplaceEdit::KeyUp(uint16_t& Key, TShiftState Shift) {
    if (FGrid)
        FGrid->KeyUp(Key, Shift);
    else
        TCustomMaskEdit::KeyUp(Key, Shift);
}

void TInplaceEdit::DblClick() {
    if (FGrid) FGrid->DblClick();
}

bool TInplaceEdit::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    return FGrid ? FGrid->DoMouseWheel(Shift, WheelDelta, MousePos)
                 : TCustomMaskEdit::DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TInplaceEdit::DoCut() {
    if (!FGrid || FGrid->CanModifyCell()) TCustomMaskEdit::DoCut();
}

void TInplaceEdit::DoPaste() {
    if (!FGrid || FGrid->CanModifyCell()) TCustomMaskEdit::DoPaste();
}

void TInplaceEdit::DoClear() {
    if (!FGrid || FGrid->CanModifyCell()) TCustomMaskEdit::DoClear();
}

void TInplaceEdit::Change() {
    TCustomMaskEdit::Change();
    if (FGrid) FGrid->UpdateText();
}

void TInplaceEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_GETDLGCODE:
            TCustomMaskEdit::WndProc(Message);
            if (FGrid && FGrid->GridOptions().Contains(gopTabs)) Message.Result |= DLGC_WANTTAB;
            return;
        case CM_SHOWINGCHANGED: return;
        case WM_SETFOCUS: {
            // The grid stays its form's focused control while its editor has the window focus.
            TCustomForm* form = GetParentForm(this);
            if (form && FGrid && !form->SetFocusedControl(FGrid)) return;
            DefaultHandler(Message);
            return;
        }
        case WM_LBUTTONDOWN:
            if (FClickTime != 0 && GetMessageTime() - FClickTime < GetDoubleClickTime()) Message.Msg = WM_LBUTTONDBLCLK;
            FClickTime = 0;
            break;
        default: break;
    }
    TCustomMaskEdit::WndProc(Message);
}

}  // namespace grid
