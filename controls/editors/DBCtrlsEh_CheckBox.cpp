// The data-aware check box: state from and to the data, keys and mouse, painting.
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace editors {

namespace {

AnsiString FirstListEntry(const AnsiString& List) {
    const size_t p = List.find(';');
    return rtl::Trim(p == AnsiString::npos ? std::string_view(List) : std::string_view(List).substr(0, p));
}

editors::TCheckBoxState ToDrawState(TCheckBoxStateEh S) {
    switch (S) {
        case ui::cbChecked: return editors::cbChecked;
        case ui::cbGrayed: return editors::cbGrayed;
        default: return editors::cbUnchecked;
    }
}

}  // namespace

bool ValueListHasText(const AnsiString& List, const AnsiString& Text) {
    if (List.empty()) return false;
    size_t start = 0;
    for (;;) {
        const size_t p = List.find(';', start);
        const std::string_view entry =
            std::string_view(List).substr(start, p == AnsiString::npos ? AnsiString::npos : p - start);
        if (rtl::AnsiSameText(rtl::Trim(entry), Text)) return true;
        if (p == AnsiString::npos) return false;
        start = p + 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDBCheckBoxEh::TCustomDBCheckBoxEh(rtl::TComponent* Owner) : ui::TButtonControl(Owner) {
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
    FControlStyle.Exclude(ui::csDoubleClicks);
    FControlStyle.Include(ui::csReplicatable);
}

TCustomDBCheckBoxEh::~TCustomDBCheckBoxEh() = default;

void TCustomDBCheckBoxEh::AfterConstruction() {
    ui::TButtonControl::AfterConstruction();
    FDataLink.reset(rtl::Create<TFieldDataLinkEh>());
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = [this](rtl::TObject* Sender) { LinkDataChange(Sender); };
    FDataLink->OnUpdateData = [this](rtl::TObject*) { UpdateData(); };
    FDataLink->StoreFieldValue(Variant(false));
}

void TCustomDBCheckBoxEh::BeforeDestruction() {
    if (FDataLink) {
        FDataLink->OnDataChange = nullptr;
        FDataLink->OnUpdateData = nullptr;
        FDataLink->SetControl(nullptr);
        FDataLink->AssignLinkDataSource(nullptr);
    }
    ui::TButtonControl::BeforeDestruction();
}

// ---------------------------------------------------------------------------------------------
// Binding and properties

void TCustomDBCheckBoxEh::SetDataField(const AnsiString& Value) { FDataLink->BindFieldName(Value); }

void TCustomDBCheckBoxEh::SetDataSource(db::TDataSource* Value) {
    if (!(FDataLink->DataSourceFixed() && ComponentState().Contains(rtl::csLoading)))
        FDataLink->AssignLinkDataSource(Value);
    if (Value) Value->FreeNotification(this);
}

void TCustomDBCheckBoxEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    ui::TButtonControl::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && FDataLink && AComponent == DataSource()) SetDataSource(nullptr);
}

void TCustomDBCheckBoxEh::SetAlignment(ui::TLeftRight Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    if (HandleAllocated()) RecreateWnd();
    Invalidate();
}

void TCustomDBCheckBoxEh::SetAlwaysShowBorder(bool Value) {
    if (Value == FAlwaysShowBorder) return;
    FAlwaysShowBorder = Value;
    Invalidate();
}

void TCustomDBCheckBoxEh::SetFlat(bool Value) {
    if (Value == FFlat) return;
    FFlat = Value;
    if (HandleAllocated()) RecreateWnd();
    Invalidate();
}

void TCustomDBCheckBoxEh::SetValueChecked(const AnsiString& Value) {
    FValueCheck = Value;
    LoadStateFromData();
}

void TCustomDBCheckBoxEh::SetValueUnchecked(const AnsiString& Value) {
    FValueUncheck = Value;
    LoadStateFromData();
}

// ---------------------------------------------------------------------------------------------
// State and data

TCheckBoxStateEh TCustomDBCheckBoxEh::StateFromData() const {
    if (IsUnbound()) {
        const Variant& v = FDataLink->UnboundValue();
        if (v.IsNull() || v.IsEmpty()) return ui::cbGrayed;
        try {
            return v.AsBoolean() ? ui::cbChecked : ui::cbUnchecked;
        } catch (const rtl::Exception&) {
            return ui::cbGrayed;
        }
    }
    db::TField* f = Field();
    if (!f) return ui::cbUnchecked;
    if (f->DataType() == db::ftBoolean && FValueCheck == STextTrueEh && FValueUncheck == STextFalseEh) {
        if (f->IsNull()) return ui::cbGrayed;
        return f->AsBoolean() ? ui::cbChecked : ui::cbUnchecked;
    }
    const AnsiString text = f->Text();
    if (ValueListHasText(FValueCheck, text)) return ui::cbChecked;
    if (ValueListHasText(FValueUncheck, text)) return ui::cbUnchecked;
    return ui::cbGrayed;
}

void TCustomDBCheckBoxEh::LoadStateFromData() {
    SetStateInternal(StateFromData());
    FStateChanged = false;
}

void TCustomDBCheckBoxEh::LinkDataChange(rtl::TObject*) { LoadStateFromData(); }

void TCustomDBCheckBoxEh::SetStateInternal(TCheckBoxStateEh Value) {
    if (Value == FState) return;
    FState = Value;
    if (!FFocusing) ui::TButtonControl::Click();
    Invalidate();
    FStateChanged = true;
}

void TCustomDBCheckBoxEh::SetState(TCheckBoxStateEh Value) {
    if (ComponentState().Contains(rtl::csDesigning) && !IsUnbound()) return;
    // Without a data source there is no dataset to put into edit state.
    CheckEditorDataSource(FDataLink.get(), this);
    if (!IsUnbound()) DataSource()->DataSet()->Edit();
    SetStateInternal(Value);
    if (FInUpdateData) return;
    try {
        UpdateData();
    } catch (...) {
        LoadStateFromData();
        throw;
    }
}

void TCustomDBCheckBoxEh::StoreToLink() {
    if (IsUnbound()) {
        switch (FState) {
            case ui::cbGrayed: FDataLink->StoreFieldValue(Variant::Null()); break;
            case ui::cbChecked: FDataLink->StoreFieldValue(Variant(true)); break;
            default: FDataLink->StoreFieldValue(Variant(false)); break;
        }
        return;
    }
    db::TField* f = Field();
    if (!f) return;
    if (FState == ui::cbGrayed)
        f->Clear();
    else if (f->DataType() == db::ftBoolean)
        f->SetAsBoolean(Checked());
    else
        f->SetEditText(FirstListEntry(Checked() ? FValueCheck : FValueUncheck));
}

void TCustomDBCheckBoxEh::UpdateData() {
    bool handled = false;
    if (OnUpdateData) {
        FInUpdateData = true;
        rtl::TryFinally([&] { OnUpdateData(this, handled); }, [&] { FInUpdateData = false; });
    }
    if (!handled) StoreToLink();
}

void TCustomDBCheckBoxEh::Toggle() {
    if (!FDataLink->BeginFieldEdit()) return;
    switch (FState) {
        case ui::cbUnchecked: SetStateInternal(FAllowGrayed ? ui::cbGrayed : ui::cbChecked); break;
        case ui::cbChecked: SetStateInternal(ui::cbUnchecked); break;
        case ui::cbGrayed: SetStateInternal(ui::cbChecked); break;
    }
    FDataLink->FlagModified();
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Input

void TCustomDBCheckBoxEh::Clicked() {
    if (!FFocusing) Toggle();
}

void TCustomDBCheckBoxEh::WndProc(ui::TMessage& Message) {
    if (Message.Msg == ui::CM_GETDATALINK) {
        Message.Result = reinterpret_cast<ui::LRESULT>(FDataLink.get());
        return;
    }
    if ((Message.Msg == ui::WM_LBUTTONDOWN || Message.Msg == ui::WM_LBUTTONDBLCLK) &&
        !ComponentState().Contains(rtl::csDesigning) && !Focused()) {
        FFocusing = true;
        rtl::TryFinally(
            [&] {
                if (CanFocus()) SetFocus();
            },
            [&] { FFocusing = false; });
        // A press that could not focus the box (a handler moved the focus) is dropped.
        if (!Focused()) return;
    }
    ui::TButtonControl::WndProc(Message);
}

void TCustomDBCheckBoxEh::KeyPress(char& Key) {
    ui::TButtonControl::KeyPress(Key);
    switch (Key) {
        case '\b':
        case ' ': FDataLink->BeginFieldEdit(); break;
        case '\x1B': FDataLink->RestoreFieldValue(); break;
        default: break;
    }
}

void TCustomDBCheckBoxEh::CMWantSpecialKey(ui::TCMWantSpecialKey& Message) {
    if (Message.CharCode == ui::VK_ESCAPE && FStateChanged) {
        Message.Result = 1;
        return;
    }
    ui::TButtonControl::CMWantSpecialKey(Message);
}

void TCustomDBCheckBoxEh::CMDialogChar(ui::TCMDialogKey& Message) {
    if (ui::IsAccel(Message.CharCode, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Toggle();
        Message.Result = 1;
        return;
    }
    ui::TButtonControl::CMDialogChar(Message);
}

void TCustomDBCheckBoxEh::CMExit(ui::TCMExit& Message) {
    try {
        FDataLink->UpdateRecord();
    } catch (...) {
        SetFocus();
        throw;
    }
    ui::TButtonControl::CMExit(Message);
}

void TCustomDBCheckBoxEh::WMCancelMode(ui::TWMCancelMode& Message) {
    const bool pressed = FPressed;
    ui::TButtonControl::WMCancelMode(Message);
    if (FControlStyle.Contains(ui::csCaptureMouse) && MouseCapture()) {
        SetMouseCapture(false);
        // A press in progress ends outside the control, so it clicks nothing.
        if (pressed) Perform(ui::WM_LBUTTONUP, 0, ui::PointToLParam(-1, -1));
    }
}

void TCustomDBCheckBoxEh::CMMouseEnter(ui::TMessage& Message) {
    ui::TButtonControl::CMMouseEnter(Message);
    FMouseOver = true;
    Invalidate();
}

void TCustomDBCheckBoxEh::CMMouseLeave(ui::TMessage& Message) {
    ui::TButtonControl::CMMouseLeave(Message);
    FMouseOver = false;
    Invalidate();
}

void TCustomDBCheckBoxEh::CMEnabledChanged(ui::TMessage& Message) {
    ui::TButtonControl::CMEnabledChanged(Message);
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomDBCheckBoxEh::PaintWindow(ui::HDC DC) { PaintCheckBox(DC); }

void TCustomDBCheckBoxEh::PaintCheckBox(ui::TCanvas* C) {
    if (ControlState().Contains(ui::csPaintCopy))
        PaintLayout(C, StateFromData(), false, false, false);
    else
        PaintLayout(C, FState, Focused(), FPressed, FMouseOver);
}

void TCustomDBCheckBoxEh::PaintLayout(ui::TCanvas* C, TCheckBoxStateEh AState, bool IsFocused, bool Pressed,
                                      bool IsMouseOver) {
    C->Brush()->SetColor(Color());
    C->FillRect(ClientRect());
    const ui::TRect client = ClientRect();
    ui::TRect square, caption;
    if (FAlignment == ui::TLeftRight::taLeftJustify) {
        square = FitCheckBoxRect(client, db::taRightJustify, tlCenter);
        caption = ui::Rect(0, 0, square.Left - 5, client.Bottom);
    } else {
        square = FitCheckBoxRect(client, db::taLeftJustify, tlCenter);
        caption = ui::Rect(square.Right + 5, 0, Width(), client.Bottom);
    }
    DrawCaption(C, caption, IsFocused);
    DrawCheckFace(C, square, AState, Pressed, IsMouseOver, IsFocused);
}

void TCustomDBCheckBoxEh::DrawCaption(ui::TCanvas* C, const ui::TRect& Rect, bool IsFocused) {
    C->Font()->Assign(Font());
    C->Brush()->SetColor(Color());
    C->Brush()->SetStyle(ui::bsClear);
    const AnsiString caption = Caption();
    ui::TRect r = ui::Rect(0, 0, 0, 0);
    C->DrawText(caption, r, ui::DT_CALCRECT | ui::DT_SINGLELINE);
    const int tw = r.Width(), th = r.Height();
    r.Left = Rect.Left;
    r.Right = Rect.Left + tw;
    r.Top = Height() / 2 - th / 2;
    r.Bottom = r.Top + th;
    if (Enabled() || ComponentState().Contains(rtl::csDesigning)) {
        C->DrawText(caption, r, ui::DT_SINGLELINE);
    } else {
        const ui::TColor saved = C->Font()->Color();
        ui::TRect shadow = r;
        shadow.Offset(1, 1);
        C->Font()->SetColor(ui::clHighlightText);
        C->DrawText(caption, shadow, ui::DT_SINGLELINE);
        C->Font()->SetColor(ui::clGrayText);
        C->DrawText(caption, r, ui::DT_SINGLELINE);
        C->Font()->SetColor(saved);
    }
    C->Brush()->SetStyle(ui::bsSolid);
    if (!IsFocused) return;
    ui::TRect focus = r;
    focus.Inflate(1, 1);
    focus.Bottom += 1;
    ui::TRect clipped;
    ui::IntersectRect(clipped, focus, ClientRect());
    C->DrawFocusRect(clipped);
}

void TCustomDBCheckBoxEh::DrawCheckFace(ui::TCanvas* C, const ui::TRect& Rect, TCheckBoxStateEh AState, bool Pressed,
                                        bool IsMouseOver, bool IsFocused) {
    const bool enabled = Enabled() || ComponentState().Contains(rtl::csDesigning);
    DrawEditButtonFace(C, Rect, Color(), bfsCheckBox, Pressed ? 1 : 0, FFlat,
                       IsMouseOver || IsFocused || FAlwaysShowBorder, enabled, ToDrawState(AState));
}

}  // namespace editors
