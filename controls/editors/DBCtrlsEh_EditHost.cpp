// The edit base inside a host (a grid cell), its window procedure, dialog codes and special keys,
// and tool-tips that show a text too long for the editor.
#include <algorithm>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Clock.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// Window procedure

void TCustomDBEditEh::WndProc(ui::TMessage& Message) {
    if (FHolderIntf) {
        FHolderIntf->EditorWndProc(this, Message);
        if (Message.Result != 0) return;
        if (Message.Msg == ui::WM_SETFOCUS) {
            // The host stays the form's focused control; the editor only holds the window focus.
            ui::TCustomForm* form = ui::GetParentForm(this);
            if (form && !form->SetFocusedControl(FInplaceEditHolder)) return;
            Dispatch(Message);
            return;
        }
        if (Message.Msg == ui::WM_LBUTTONDOWN) {
            // A click on the cell and a click on the editor shown there make a double click.
            ui::TPoint last;
            int lastTime = 0;
            FHolderIntf->GetLastMouseDown(last, lastTime);
            const ui::TPoint now = ClientToScreen(ui::LParamToPoint(Message.LParam));
            const auto passed = static_cast<uint32_t>(ui::GetMessageTime() - static_cast<uint32_t>(lastTime));
            if (IsDoubleClickPair(last, now, passed)) Message.Msg = ui::WM_LBUTTONDBLCLK;
        }
    }
    if (RouteMRUKey(Message)) return;
    ui::TCustomMaskEdit::WndProc(Message);
    RunPendingMRUWork();
}

void TCustomDBEditEh::WMSetFocus(ui::TWMSetFocus& Message) {
    if (Hosted()) {
        DefaultHandler(Message);
        return;
    }
    ui::TCustomMaskEdit::WMSetFocus(Message);
}

void TCustomDBEditEh::WMGetDlgCode(ui::TWMGetDlgCode& Message) {
    Message.Result = ui::DLGC_WANTARROWS | ui::DLGC_HASSETSEL | ui::DLGC_WANTCHARS;
    if (FEditWantTabs) Message.Result |= ui::DLGC_WANTTAB;
    if (FEditWantReturns) Message.Result |= ui::DLGC_WANTALLKEYS;
    if (FInplaceEditHolder && (FInplaceEditHolder->Perform(ui::WM_GETDLGCODE) & ui::DLGC_WANTTAB) != 0)
        Message.Result |= ui::DLGC_WANTTAB;
}

void TCustomDBEditEh::CMWantSpecialKey(ui::TCMWantSpecialKey& Message) {
    if (WantDropDownKey(Message, FListVisible)) return;
    const uint16_t key = Message.CharCode;
    if ((key == ui::VK_RETURN || key == ui::VK_ESCAPE) && MRUListHasSelection()) {
        Message.Result = 1;
        return;
    }
    ui::TCustomMaskEdit::CMWantSpecialKey(Message);
    if (key == ui::VK_ESCAPE && Modified()) Message.Result = 1;
    if (key == ui::VK_RETURN && Hosted()) Message.Result = 1;
}

// ---------------------------------------------------------------------------------------------
// Hosting

void TCustomDBEditEh::SetInplaceEditHolder(ui::TWinControl* Holder) {
    IInplaceEditHolderEh* intf = RequireInplaceEditHolder(Holder);
    if (FInplaceEditHolder) FInplaceEditHolder->RemoveFreeNotification(this);
    FInplaceEditHolder = Holder;
    FHolderIntf = intf;
    if (Holder) Holder->FreeNotification(this);
    UpdateControlReadOnly();
}

void TCustomDBEditEh::SetEditorBounds(const ui::TRect& R) {
    if (!Hosted()) {
        SetBoundsRect(R);
        return;
    }
    if (R.IsEmpty()) {
        HideHosted();
        return;
    }
    HandleNeeded();
    const bool redraw = !IsWindowVisible();
    Invalidate();
    // Closes whatever this editor has open (its MRU list, its drop-down).
    Perform(ui::CM_CANCELMODE, 0, reinterpret_cast<ui::LPARAM>(FInplaceEditHolder));
    SetWindowPos(R.Left, R.Top, R.Width(), R.Height(), ui::SWP_SHOWWINDOW | ui::SWP_NOZORDER);
    FVisible = true;
    if (redraw) Invalidate();
    if (FInplaceEditHolder->Focused()) SetFocus();
}

void TCustomDBEditEh::HideHosted() {
    if (!HandleAllocated() || !IsWindowVisible()) return;
    Invalidate();
    const bool hadFocus = ui::GetFocus() == Handle();
    SetWindowPos(0, 0, 0, 0, ui::SWP_HIDEWINDOW | ui::SWP_NOZORDER | ui::SWP_NOMOVE);
    if (hadFocus && FInplaceEditHolder && FInplaceEditHolder->HandleAllocated())
        ui::SetFocus(FInplaceEditHolder->Handle());
}

bool TCustomDBEditEh::Visible() const {
    if (Hosted()) return IsWindowVisible();
    return ui::TCustomMaskEdit::Visible();
}

void TCustomDBEditEh::SetVisible(bool Value) {
    if (Hosted() && !Value) {
        HideHosted();
        return;
    }
    ui::TCustomMaskEdit::SetVisible(Value);
}

void TCustomDBEditEh::SetFocus() {
    if (!Hosted()) {
        ui::TCustomMaskEdit::SetFocus();
        return;
    }
    if (IsWindowVisible()) ui::SetFocus(Handle());
}

void TCustomDBEditEh::CMShowingChanged(ui::TMessage& Message) {
    if (Hosted()) return;
    ui::TCustomMaskEdit::CMShowingChanged(Message);
}

// ---------------------------------------------------------------------------------------------
// Tool-tips

void TCustomDBEditEh::SetShowHint(bool Value) {
    FUserShowHint = Value;
    FParentShowHint = false;
    UpdateShowHint();
}

void TCustomDBEditEh::SetTooltips(bool Value) {
    if (Value == FTooltips) return;
    FTooltips = Value;
    UpdateShowHint();
}

void TCustomDBEditEh::UpdateShowHint() {
    // Set directly so that following the parent's flag survives.
    const bool show = FTooltips || FUserShowHint;
    if (show == FShowHint) return;
    FShowHint = show;
    Perform(ui::CM_SHOWHINTCHANGED);
}

void TCustomDBEditEh::CMParentShowHintChanged(ui::TMessage& Message) {
    if (ParentShowHint() && Parent()) FUserShowHint = Parent()->ShowHint();
    ui::TCustomMaskEdit::CMParentShowHintChanged(Message);
    UpdateShowHint();
}

bool TCustomDBEditEh::TextDoesNotFit() {
    ui::TRect area;
    TextAreaRect(area);
    ui::TRecordingSurface fallback;
    ui::TSurface* surface = MeasureSurface();
    ui::TCanvas canvas(surface ? surface : &fallback);
    canvas.Font()->Assign(Font());
    ui::TRect r = ui::Rect(0, 0, std::max(1, area.Width()), 0);
    unsigned flags = ui::DT_CALCRECT | ui::DT_NOPREFIX;
    if (FWordWrap) flags |= ui::DT_WORDBREAK;
    canvas.TextRect(r, EditText(), flags);
    return r.Width() > area.Width() - 2 || r.Height() > area.Height();
}

void TCustomDBEditEh::CMHintShow(ui::TCMHintShow& Message) {
    if (FTooltips && Message.HintInfo && TextDoesNotFit()) {
        Message.HintInfo->HintStr = EditText();
        Message.HintInfo->HintPos = ClientToScreen(ui::Point(0, Height()));
        Message.HintInfo->HintData = Font();
        Message.Result = 0;
        return;
    }
    if (!FUserShowHint) {
        Message.Result = 1;
        return;
    }
    ui::TCustomMaskEdit::CMHintShow(Message);
}

}  // namespace editors
