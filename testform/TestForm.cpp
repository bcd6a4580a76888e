#include "testform/TestForm.h"

#include "framework/rtl/Text.h"

namespace testform {

TTestEdit::TTestEdit(rtl::TComponent* Owner) : TCustomControl(Owner) {
    SetTabStop(true);
    SetBounds(0, 0, 200, 24);
    SetColor(clWindow);
}

void TTestEdit::SetText(const AnsiString& Value) {
    FText = Value;
    Invalidate();
}

void TTestEdit::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (Key == '\b') {
        if (!FText.empty()) SetText(FText.substr(0, FText.size() - 1));
    } else if (static_cast<uint8_t>(Key) >= 0x20) {
        SetText(FText + Key);
    }
}

void TTestEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanFocus()) SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TTestEdit::Paint() {
    TCanvas& c = *Canvas();
    TRect r = GetClientRect();
    c.Brush()->SetColor(clWindow);
    c.FillRect(r);
    DrawEdge(&c, r, EDGE_SUNKEN, BF_RECT);
    c.Font()->Assign(Font());
    c.Font()->SetColor(clWindowText);
    c.Brush()->SetStyle(bsClear);
    c.TextOut(TextOrigin().X, TextOrigin().Y, FText);
    if (Focused()) {
        // The caret: a bar after the text.
        const int x = TextOrigin().X + c.TextWidth(FText) + 1;
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clWindowText);
        c.FillRect(Rect(x, 4, x + 1, Height() - 4));
    }
}

void TTestEdit::WMSetFocus(TWMSetFocus& M) {
    TCustomControl::WMSetFocus(M);
    Invalidate();
}

void TTestEdit::WMKillFocus(TWMKillFocus& M) {
    TCustomControl::WMKillFocus(M);
    Invalidate();
}

// ---------------------------------------------------------------------------------------------

TTestDropDown::TTestDropDown(rtl::TComponent* Owner, TTestCombo* Combo) : TCustomControl(Owner), FCombo(Combo) {
    SetColor(clWindow);
}

void TTestDropDown::CreateParams(TCreateParams& P) {
    TCustomControl::CreateParams(P);
    P.Style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    P.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void TTestDropDown::Dispatch(TMessage& M) {
    if (M.Msg == WM_MOUSEACTIVATE) {
        M.Result = MA_NOACTIVATE;
        return;
    }
    TCustomControl::Dispatch(M);
}

int TTestDropDown::ItemHeight() const { return 20; }

void TTestDropDown::CloseUp(int Selected) {
    if (GetCapture() == Handle()) ReleaseCapture();
    ShowWindow(SW_HIDE);
    if (Selected >= 0 && Selected < int(FCombo->Items.size())) {
        FCombo->ItemIndex = Selected;
        FCombo->Invalidate();
    }
}

void TTestDropDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    const TRect client = GetClientRect();
    // Coordinates are client ones even for a click elsewhere, as the list holds the mouse.
    if (!client.Contains(Point(X, Y))) {
        CloseUp(-1);
        return;
    }
    CloseUp(Y / ItemHeight());
}

void TTestDropDown::Paint() {
    TCanvas& c = *Canvas();
    c.Font()->Assign(FCombo->Font());
    c.Brush()->SetColor(clWindow);
    c.FillRect(GetClientRect());
    for (size_t i = 0; i < FCombo->Items.size(); ++i) {
        const TRect r = Rect(0, int(i) * ItemHeight(), ClientWidth(), int(i + 1) * ItemHeight());
        const bool selected = int(i) == FCombo->ItemIndex;
        c.Brush()->SetColor(selected ? clHighlight : clWindow);
        c.Font()->SetColor(selected ? clHighlightText : clWindowText);
        c.FillRect(r);
        c.TextOut(r.Left + 3, r.Top + 2, FCombo->Items[i]);
    }
}

void TTestDropDown::WMCancelMode(TWMCancelMode& M) {
    TCustomControl::WMCancelMode(M);
    if (IsWindowVisible()) CloseUp(-1);
}

// ---------------------------------------------------------------------------------------------

TTestCombo::TTestCombo(rtl::TComponent* Owner) : TCustomControl(Owner) {
    SetTabStop(true);
    SetBounds(0, 0, 200, 24);
    SetColor(clWindow);
}

bool TTestCombo::DroppedDown() const { return FList && FList->IsWindowVisible(); }

void TTestCombo::DropDown() {
    if (DroppedDown()) return;
    if (!FList) {
        FList = rtl::Create<TTestDropDown>(this, this);
        if (TCustomForm* form = GetParentForm(this)) FList->SetParentWindow(form->Handle());
    }
    const TPoint under = ClientToScreen(Point(0, Height()));
    FList->SetBounds(under.X, under.Y, Width(), int(Items.size()) * FList->ItemHeight() + 2);
    FList->HandleNeeded();
    FList->ShowWindow(SW_SHOWNA);
    SetCapture(FList->Handle());
}

void TTestCombo::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanFocus()) SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft) DropDown();
}

void TTestCombo::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_DOWN && Shift.Contains(ssAlt)) DropDown();
}

void TTestCombo::Paint() {
    TCanvas& c = *Canvas();
    TRect r = GetClientRect();
    c.Brush()->SetColor(clWindow);
    c.FillRect(r);
    DrawEdge(&c, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    const TRect button = Rect(r.Right - 17, r.Top, r.Right, r.Bottom);
    DrawFrameControl(&c, button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
    c.Font()->Assign(Font());
    c.Brush()->SetStyle(bsClear);
    if (ItemIndex >= 0 && ItemIndex < int(Items.size())) c.TextOut(r.Left + 2, r.Top + 1, Items[size_t(ItemIndex)]);
    if (Focused()) {
        c.Brush()->SetStyle(bsSolid);
        c.DrawFocusRect(Rect(r.Left + 1, r.Top + 1, button.Left - 1, r.Bottom - 1));
    }
}

// ---------------------------------------------------------------------------------------------

TTestForm::TTestForm(rtl::TComponent* Owner) : TForm(Owner) {
    SetName("TestForm");
    SetCaption(rtl::UTF8ToAnsi(u8"Вельморат: проверка элементов"));
    SetBounds(120, 100, 420, 240);
    Edit = rtl::Create<TTestEdit>(this);
    Edit->SetName("Edit");
    Edit->SetParent(this);
    Edit->SetBounds(20, 20, 260, 26);
    Combo = rtl::Create<TTestCombo>(this);
    Combo->SetName("Combo");
    Combo->SetParent(this);
    Combo->SetBounds(20, 60, 260, 26);
    for (const char8_t* s : {u8"Поступления", u8"Описи", u8"Передачи", u8"Утраты"})
        Combo->Items.push_back(rtl::UTF8ToAnsi(s));
}

}  // namespace testform
