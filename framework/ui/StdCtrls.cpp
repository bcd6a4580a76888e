// Buttons, check and radio boxes, labels and group boxes.
#include "framework/ui/StdCtrls.h"

#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Themes.h"

namespace ui {

bool IsAccel(uint16_t Key, const AnsiString& Caption) {
    for (size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&') continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const char c = Caption[i + 1];
        return rtl::AnsiUpperChar(c) == rtl::AnsiUpperChar(static_cast<char>(Key & 0xFF));
    }
    return false;
}

AnsiString StripHotkey(const AnsiString& Caption) {
    AnsiString r;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') r += '&';
            ++i;
            if (i < Caption.size() && Caption[i] != '&') r += Caption[i];
            continue;
        }
        r += Caption[i];
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// TButtonControl

TButtonControl::TButtonControl(TComponent* Owner) : TWinControl(Owner) {
    // Clicks come from the button's own press handling, not from the generic mouse-up rule.
    FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csCaptureMouse};
    SetTabStop(true);
    FColor = clBtnFace;
}

void TButtonControl::SetWordWrap(bool Value) {
    FWordWrap = Value;
    Invalidate();
}

void TButtonControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (CanFocus() && !Focused()) SetFocus();
            FMouseDown = true;
            FPressed = true;
            Invalidate();
            return;
        case WM_MOUSEMOVE:
            if (FMouseDown) {
                const bool in = PtInRect(GetClientRect(), LParamToPoint(Message.LParam));
                if (in != FPressed) {
                    FPressed = in;
                    Invalidate();
                }
            }
            return;
        case WM_LBUTTONUP: {
            const bool click = FMouseDown && PtInRect(GetClientRect(), LParamToPoint(Message.LParam));
            FMouseDown = FPressed = false;
            Invalidate();
            if (click && !FClicksDisabled) Clicked();
            return;
        }
        case WM_KEYDOWN:
            if (Message.WParam == VK_SPACE) {
                FPressed = true;
                Invalidate();
                return;
            }
            break;
        case WM_KEYUP:
            if (Message.WParam == VK_SPACE && FPressed) {
                FPressed = false;
                Invalidate();
                if (!FClicksDisabled) Clicked();
                return;
            }
            break;
        case WM_KILLFOCUS:
            FPressed = FMouseDown = false;
            Invalidate();
            break;
        case WM_SETFOCUS:
            Invalidate();  // the focus rectangle
            break;
        case WM_GETDLGCODE: Message.Result = DLGC_BUTTON; return;
        default: break;
    }
    TWinControl::DefaultHandler(Message);
}

void TButtonControl::CMDialogChar(TCMDialogKey& Message) {
    if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Clicked();
        Message.Result = 1;
        return;
    }
    TWinControl::CMDialogChar(Message);
}

void TButtonControl::CMTextChanged(TMessage& Message) {
    TWinControl::CMTextChanged(Message);
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// TButton

TButton::TButton(TComponent* Owner) : TButtonControl(Owner) { SetBounds(0, 0, 75, 25); }

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    if (TCustomForm* form = GetParentForm(this)) {
        TWinControl* active = form->ActiveControl();
        FActive = Value && !(active && active != this && active->InheritsFrom(&TButton::StaticClass()));
        if (active == this) FActive = true;
    }
    Invalidate();
}

void TButton::Click() {
    if (TCustomForm* form = GetParentForm(this); form && FModalResult != 0) form->SetModalResult(FModalResult);
    TButtonControl::Click();
}

void TButton::CMDialogKey(TCMDialogKey& Message) {
    const bool hit = (Message.CharCode == VK_RETURN && FActive) || (Message.CharCode == VK_ESCAPE && FCancel);
    if (hit && KeyDataToShiftState(Message.KeyData).Empty() && CanFocus()) {
        Click();
        Message.Result = 1;
        return;
    }
    TButtonControl::CMDialogKey(Message);
}

void TButton::CMFocusChanged(TCMFocusChanged& Message) {
    TWinControl* sender = Message.Sender();
    const bool active = sender && sender->InheritsFrom(&TButton::StaticClass()) ? sender == this : FDefault;
    if (active != FActive) {
        FActive = active;
        Invalidate();
    }
    TButtonControl::CMFocusChanged(Message);
}

void TButton::WMGetDlgCode(TWMGetDlgCode& Message) {
    Message.Result = DLGC_BUTTON | (FActive ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void TButtonControl::CMMouseEnter(TMessage& Message) {
    if (ThemeServices().ThemesEnabled()) Invalidate();  // the hover look
    TWinControl::CMMouseEnter(Message);
}

void TButtonControl::CMMouseLeave(TMessage& Message) {
    if (ThemeServices().ThemesEnabled()) Invalidate();
    TWinControl::CMMouseLeave(Message);
}

bool TButtonControl::Hot() const { return GetMouseControl() == this && Enabled(); }

void TButton::PaintWindow(HDC DC) {
    const TRect r = GetClientRect();
    const bool themed = ThemeServices().ThemesEnabled();
    if (themed) {
        TThemedButton part = tbPushButtonNormal;
        if (!Enabled())
            part = tbPushButtonDisabled;
        else if (FPressed)
            part = tbPushButtonPressed;
        else if (Hot())
            part = tbPushButtonHot;
        else if (FActive)
            part = tbPushButtonDefaulted;
        FillRectColor(DC, r, Color());
        ThemeServices().DrawElement(DC, ThemeServices().GetElementDetails(part), r);
    } else {
        unsigned state = DFCS_BUTTONPUSH;
        if (FPressed) state |= DFCS_PUSHED;
        if (!Enabled()) state |= DFCS_INACTIVE;
        DrawFrameControl(DC, r, DFC_BUTTON, state);
        if (FActive) DC->FrameRect(r);
    }
    DC->Font()->Assign(Font());
    DC->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
    DC->Brush()->SetStyle(bsClear);
    TRect t = r;
    if (FPressed && !themed) t.Offset(1, 1);
    DrawText(DC, Caption(), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (Focused()) {
        TRect f = r;
        f.Inflate(-4, -4);
        DC->DrawFocusRect(f);
    }
    DC->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------------------------
// Check and radio boxes

namespace {
void PaintCheckMark(HDC DC, TButtonControl* C, unsigned Kind, bool Checked, bool Grayed, bool Pressed, bool Hot,
                    TAlignment Align) {
    const TRect r = C->ClientRect();
    const int box = 13;
    const int y = (r.Height() - box) / 2;
    const int x = Align == taLeftJustify ? r.Right - box : 0;
    DC->Brush()->SetColor(C->Color());
    DC->FillRect(r);
    const TRect boxRect = Rect(x, y, x + box, y + box);
    if (ThemeServices().ThemesEnabled()) {
        const bool radio = Kind == DFCS_BUTTONRADIO;
        int part = radio ? int(tbRadioButtonUncheckedNormal) : int(tbCheckBoxUncheckedNormal);
        if (Grayed && !radio)
            part = int(tbCheckBoxMixedNormal);
        else if (Checked)
            part += 4;
        if (!C->Enabled())
            part += 3;
        else if (Pressed)
            part += 2;
        else if (Hot)
            part += 1;
        ThemeServices().DrawElement(DC, {teButton, part}, boxRect);
    } else {
        unsigned state = Kind;
        if (Checked || Grayed) state |= DFCS_CHECKED;
        if (Grayed) state |= DFCS_BUTTON3STATE;
        if (Pressed) state |= DFCS_PUSHED;
        if (!C->Enabled()) state |= DFCS_INACTIVE;
        DrawFrameControl(DC, boxRect, DFC_BUTTON, state);
    }
    TRect t = Align == taLeftJustify ? Rect(0, 0, r.Right - box - 4, r.Bottom) : Rect(box + 4, 0, r.Right, r.Bottom);
    DC->Font()->Assign(C->Font());
    DC->Font()->SetColor(C->Enabled() ? C->Font()->Color() : clGrayText);
    DC->Brush()->SetStyle(bsClear);
    DrawText(DC, C->Caption(), t, DT_VCENTER | DT_SINGLELINE);
    DC->Brush()->SetStyle(bsSolid);
    if (C->Focused() && !C->Caption().empty()) {
        // The focus rectangle goes round the caption, a pixel clear of it.
        TRect f = t;
        DrawText(DC, C->Caption(), f, DT_SINGLELINE | DT_CALCRECT);
        const int h = f.Height();
        f.Top = (r.Height() - h) / 2;
        f.Bottom = f.Top + h;
        if (Align == taLeftJustify) f.Offset(t.Right - f.Right, 0);
        f.Inflate(1, 1);
        IntersectRect(f, f, r);
        DC->DrawFocusRect(f);
    }
}
}  // namespace

TCustomCheckBox::TCustomCheckBox(TComponent* Owner) : TButtonControl(Owner) { SetBounds(0, 0, 97, 17); }

void TCustomCheckBox::SetState(TCheckBoxState Value) {
    if (FState == Value) return;
    FState = Value;
    Invalidate();
    if (!FClicksDisabled) Click();
}

void TCustomCheckBox::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}

void TCustomCheckBox::Toggle() {
    switch (FState) {
        case cbUnchecked: SetState(cbChecked); break;
        case cbChecked: SetState(FAllowGrayed ? cbGrayed : cbUnchecked); break;
        case cbGrayed: SetState(cbUnchecked); break;
    }
}

void TCustomCheckBox::PaintWindow(HDC DC) {
    PaintCheckMark(DC, this, DFCS_BUTTONCHECK, FState == cbChecked, FState == cbGrayed, FPressed, Hot(), FAlignment);
}

TRadioButton::TRadioButton(TComponent* Owner) : TButtonControl(Owner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    SetTabStop(Value);
    Invalidate();
    if (Value) {
        if (FParent) {
            for (int i = 0; i < FParent->ControlCount(); ++i) {
                auto* other = dynamic_cast<TRadioButton*>(FParent->Controls(i));
                if (other && other != this) other->SetChecked(false);
            }
        }
        if (!FClicksDisabled) Click();
    }
}

void TRadioButton::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_BUTTON | DLGC_RADIOBUTTON; }

void TRadioButton::PaintWindow(HDC DC) {
    PaintCheckMark(DC, this, DFCS_BUTTONRADIO, FChecked, false, FPressed, Hot(), taRightJustify);
}

// ---------------------------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* Owner) : TGraphicControl(Owner) {
    FControlStyle.Include(csOpaque);
    FControlStyle.Include(csReplicatable);
    SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
    if (FFocusControl == Value) return;
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, rtl::TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::SetShowAccelChar(bool Value) {
    FShowAccelChar = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
    FLayout = Value;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
    FTransparent = Value;
    if (Value)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    Invalidate();
}

unsigned TCustomLabel::TextFlags() const {
    unsigned f = FWordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    if (!FShowAccelChar) f |= DT_NOPREFIX;
    if (FAlignment == taCenter)
        f |= DT_CENTER;
    else if (FAlignment == taRightJustify)
        f |= DT_RIGHT;
    return f;
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize) return;
    TCanvas measure;
    measure.Font()->Assign(Font());
    TRect r = Rect(0, 0, FWordWrap ? Width() : 0, 0);
    AnsiString text = Caption().empty() ? AnsiString(" ") : Caption();
    measure.DrawText(text, r, TextFlags() | DT_CALCRECT);
    int left = Left();
    if (FAlignment == taRightJustify)
        left += Width() - r.Width();
    else if (FAlignment == taCenter)
        left += (Width() - r.Width()) / 2;
    SetBounds(left, Top(), FWordWrap ? Width() : r.Width(), r.Height());
}

void TCustomLabel::Paint() {
    TCanvas* c = Canvas();
    const TRect client = ClientRect();
    if (!FTransparent) {
        c->Brush()->SetColor(Color());
        c->FillRect(client);
    }
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    TRect r = client;
    if (FLayout != TTextLayout::tlTop) {
        TRect calc = r;
        c->DrawText(Caption(), calc, TextFlags() | DT_CALCRECT);
        const int dy = FLayout == TTextLayout::tlCenter ? (r.Height() - calc.Height()) / 2 : r.Height() - calc.Height();
        r.Top += dy;
    }
    c->DrawText(Caption(), r, TextFlags());
    c->Brush()->SetStyle(bsSolid);
}

void TCustomLabel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (FFocusControl && Enabled() && FShowAccelChar && IsAccel(Message.WParamLo, Caption()) &&
            FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            Message.Result = 1;
        }
        return;
    }
    TGraphicControl::Dispatch(Message);
}

void TCustomLabel::CMTextChanged(TMessage& Message) {
    TGraphicControl::CMTextChanged(Message);
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::CMFontChanged(TMessage& Message) {
    TGraphicControl::CMFontChanged(Message);
    AdjustBounds();
}

// ---------------------------------------------------------------------------------------------
// TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle =
        TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csReplicatable};
    FColor = clBtnFace;
    SetBounds(0, 0, 185, 105);
}

void TCustomGroupBox::AlignControls(TControl* AControl, TRect& Rect) {
    // Aligned children stay inside the frame and below the caption.
    const int h = MeasureTextMetrics().tmHeight;
    Rect.Left += 2;
    Rect.Top += h;
    Rect.Right -= 2;
    Rect.Bottom -= 2;
    TCustomControl::AlignControls(AControl, Rect);
}

void TCustomGroupBox::Paint() {
    TCanvas* c = Canvas();
    c->Font()->Assign(Font());
    const int h = c->TextHeight("0");
    TRect r = Rect(0, h / 2 - 1, Width(), Height());
    if (ThemeServices().ThemesEnabled())
        ThemeServices().DrawElement(
            c, ThemeServices().GetElementDetails(Enabled() ? tbGroupBoxNormal : tbGroupBoxDisabled), r);
    else
        DrawEdge(c, r, EDGE_ETCHED, BF_RECT);
    if (!Caption().empty()) {
        TRect t = Rect(8, 0, 8, h);
        c->DrawText(Caption(), t, DT_SINGLELINE | DT_CALCRECT);
        c->Brush()->SetColor(Color());
        c->DrawText(Caption(), t, DT_SINGLELINE);
    }
}

void TCustomGroupBox::CMDialogChar(TCMDialogKey& Message) {
    if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
        SelectFirst();
        Message.Result = 1;
        return;
    }
    TCustomControl::CMDialogChar(Message);
}

void TCustomGroupBox::CMTextChanged(TMessage& Message) {
    TCustomControl::CMTextChanged(Message);
    Invalidate();
}

}  // namespace ui
