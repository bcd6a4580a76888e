#include "controls/editors/ToolCtrlsEh_Buttons.h"

#include <algorithm>

#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"

namespace editors {

int EditButtonDrawStyle(TEditButtonStyleEh Style) noexcept {
    switch (Style) {
        case ebsDropDownEh: return bfsDropDown;
        case ebsEllipsisEh: return bfsEllipsis;
        case ebsGlyphEh:
        case ebsUpDownEh: return bfsUpDown;
        case ebsPlusEh: return bfsPlus;
        case ebsMinusEh: return bfsMinus;
    }
    return bfsDropDown;
}

TEditButtonEh::TEditButtonEh(rtl::TCollection* Collection) : rtl::TCollectionItem(Collection) { Init(); }

TEditButtonEh::TEditButtonEh(ui::TWinControl* EditControl) : rtl::TCollectionItem(nullptr), FEditControl(EditControl) {
    Init();
}

TEditButtonEh::~TEditButtonEh() = default;

void TEditButtonEh::Init() {
    FGlyph.reset(rtl::Create<ui::TBitmap>());
    FGlyph->SetTransparent(true);
}

void TEditButtonEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TEditButtonEh*>(Source);
    if (!src) {
        rtl::TCollectionItem::Assign(Source);
        return;
    }
    SetAction(src->Action());
    DropdownMenu = src->DropdownMenu;
    SetEnabled(src->Enabled());
    SetGlyph(src->Glyph());
    SetHint(src->Hint());
    SetNumGlyphs(src->NumGlyphs());
    SetShortCut(src->ShortCut());
    SetStyle(src->Style());
    SetVisible(src->Visible());
    SetWidth(src->Width());
    OnClick = src->OnClick;
    OnDown = src->OnDown;
}

void TEditButtonEh::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    ButtonChanged();
}

void TEditButtonEh::SetGlyph(ui::TBitmap* Value) {
    FGlyph->Assign(Value);
    ButtonChanged();
}

void TEditButtonEh::SetHint(const AnsiString& Value) {
    if (Value == FHint) return;
    FHint = Value;
    ButtonChanged();
}

void TEditButtonEh::SetNumGlyphs(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (Value == FNumGlyphs) return;
    FNumGlyphs = Value;
    ButtonChanged();
}

void TEditButtonEh::SetStyle(TEditButtonStyleEh Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    ButtonChanged();
}

void TEditButtonEh::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    ButtonChanged();
}

void TEditButtonEh::SetWidth(int Value) {
    if (Value == FWidth) return;
    FWidth = Value;
    ButtonChanged();
}

void TEditButtonEh::Click(rtl::TObject* Sender, bool& Handled) {
    if (OnClick) {
        OnClick(Sender, Handled);
        return;
    }
    if (!FActionLink || !FActionLink->Action()) return;
    rtl::TComponent* target = FEditControl;
    if (!target && Collection()) target = dynamic_cast<rtl::TComponent*>(Collection()->GetOwner());
    FActionLink->Execute(target);
    Handled = true;
}

TEditButtonControlEh* TEditButtonEh::CreateEditButtonControl() {
    auto* c = rtl::Create<TEditButtonControlEh>(FEditControl);
    c->SetBounds(0, 0, 10, 17);
    c->SetParent(FEditControl);
    return c;
}

void TEditButtonEh::RefreshActionState() {
    if (FActionLink) FActionLink->Update();
}

TEditButtonEh::TActionLinkClass TEditButtonEh::ActionLinkClassOf() const {
    return
        [](TEditButtonEh* Client) -> TEditButtonActionLinkEh* { return rtl::Create<TEditButtonActionLinkEh>(Client); };
}

void TEditButtonEh::SetAction(ui::TBasicAction* Value) {
    if (!Value) {
        FActionLink.reset();
        return;
    }
    if (!FActionLink) FActionLink.reset(ActionLinkClassOf()(this));
    FActionLink->SetAction(Value);
    FActionLink->OnChange = [this](ui::TBasicAction* A) {
        if (A == Action()) ActionChange(A, false);
    };
    ActionChange(Value, Value->ComponentState().Contains(rtl::csLoading));
}

void TEditButtonEh::ActionChange(rtl::TObject* Sender, bool CheckDefaults) {
    auto* a = dynamic_cast<ui::TCustomAction*>(Sender);
    if (!a) return;
    if (!CheckDefaults || Enabled()) SetEnabled(a->Enabled());
    if (!CheckDefaults || Hint().empty()) SetHint(a->Hint());
    if (!CheckDefaults || ShortCut() == 0) SetShortCut(a->ShortCut());
    if (!CheckDefaults || Visible()) SetVisible(a->Visible());
}

TEditButtonActionLinkEh::TEditButtonActionLinkEh(TEditButtonEh* Client) : rtl::TComponent(nullptr), FClient(Client) {}

TEditButtonActionLinkEh::~TEditButtonActionLinkEh() { SetAction(nullptr); }

void TEditButtonActionLinkEh::SetAction(ui::TBasicAction* Value) {
    if (Value == FAction) return;
    if (FAction) {
        FAction->UnRegisterChanges(this);
        FAction->RemoveFreeNotification(this);
    }
    FAction = Value;
    if (FAction) {
        FAction->RegisterChanges(this, [this] {
            if (OnChange) OnChange(FAction);
        });
        FAction->FreeNotification(this);
    }
}

void TEditButtonActionLinkEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FAction) FAction = nullptr;
}

bool TEditButtonActionLinkEh::Execute(rtl::TComponent* Target) {
    // The handler of an action shared by several editors learns from ActionComponent which one
    // asked; the action may go while it runs.
    if (!FAction) return false;
    FAction->SetActionComponent(Target);
    return rtl::TryFinally([&] { return FAction->Execute(); },
                           [&] {
                               if (FAction) FAction->SetActionComponent(nullptr);
                           });
}

void TEditButtonActionLinkEh::Update() {
    if (FAction) FAction->Update();
}

bool TEditButtonActionLinkEh::IsEnabledLinked() const {
    auto* a = Custom();
    return a && a->Enabled() == FClient->Enabled();
}
bool TEditButtonActionLinkEh::IsHintLinked() const {
    auto* a = Custom();
    return a && a->Hint() == FClient->Hint();
}
bool TEditButtonActionLinkEh::IsShortCutLinked() const {
    auto* a = Custom();
    return a && a->ShortCut() == FClient->ShortCut();
}
bool TEditButtonActionLinkEh::IsVisibleLinked() const {
    auto* a = Custom();
    return a && a->Visible() == FClient->Visible();
}
void TEditButtonActionLinkEh::SetEnabled(bool Value) {
    if (IsEnabledLinked()) FClient->SetEnabled(Value);
}
void TEditButtonActionLinkEh::SetHint(const AnsiString& Value) {
    if (IsHintLinked()) FClient->SetHint(Value);
}
void TEditButtonActionLinkEh::SetShortCut(TShortCut Value) {
    if (IsShortCutLinked()) FClient->SetShortCut(Value);
}
void TEditButtonActionLinkEh::SetVisible(bool Value) {
    if (IsVisibleLinked()) FClient->SetVisible(Value);
}

void TEditButtonEh::ButtonChanged() {
    if (OnChange)
        OnChange(this);
    else if (Collection())
        Changed(false);
}

TDropDownEditButtonEh::TDropDownEditButtonEh(rtl::TCollection* Collection) : TEditButtonEh(Collection) {
    SetShortCut(AltDownShortCut);
}

TDropDownEditButtonEh::TDropDownEditButtonEh(ui::TWinControl* EditControl) : TEditButtonEh(EditControl) {
    SetShortCut(AltDownShortCut);
}

TVisibleEditButtonEh::TVisibleEditButtonEh(rtl::TCollection* Collection) : TEditButtonEh(Collection) {
    SetShortCut(AltDownShortCut);
    SetVisible(true);
}

TVisibleEditButtonEh::TVisibleEditButtonEh(ui::TWinControl* EditControl) : TEditButtonEh(EditControl) {
    SetShortCut(AltDownShortCut);
    SetVisible(true);
}

TEditButtonsEh::TEditButtonsEh(rtl::TPersistent* Owner, const rtl::TCollectionItemClass& ItemClass)
    : rtl::TCollection(ItemClass), FOwner(Owner) {}

void TEditButtonsEh::Update(rtl::TCollectionItem* Item) {
    rtl::TCollection::Update(Item);
    if (OnChange) OnChange(Item);
}

}  // namespace editors

namespace editors {

namespace {
constexpr uint32_t FirstRepeatDelay = 400;
constexpr uint32_t RepeatInterval = 100;
}  // namespace

TEditButtonControlEh::TEditButtonControlEh(rtl::TComponent* Owner) : ui::TSpeedButton(Owner) {}

TEditButtonControlEh::~TEditButtonControlEh() = default;

void TEditButtonControlEh::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    Invalidate();
}

void TEditButtonControlEh::SetStyle(TEditButtonStyleEh Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Invalidate();
}

bool TEditButtonControlEh::IsPressed() const noexcept {
    return State() == ui::TButtonState::bsDown || State() == ui::TButtonState::bsExclusive;
}

void TEditButtonControlEh::UpdatePressedPart(int Y) {
    int part = 0;
    if (IsPressed()) {
        if (FStyle != ebsUpDownEh)
            part = 1;
        else if (Y < Height() / 2)
            part = 1;
        else if (Y > Height() - Height() / 2)
            part = 2;
    }
    if (part == FPressedPart) return;
    FPressedPart = part;
    Invalidate();
}

void TEditButtonControlEh::SetHeldDown(bool Value) {
    if (Value == FHeldDown) return;
    FHeldDown = Value;
    if (Value) {
        SetGroupIndex(1);
        SetDown(true);
        SetAllowAllUp(false);
        FPressedPart = 1;
    } else {
        SetAllowAllUp(true);
        SetDown(false);
        SetGroupIndex(0);
        FPressedPart = 0;
    }
    Invalidate();
}

void TEditButtonControlEh::FireDownEvent(bool TopButton, bool& AutoRepeat) {
    bool handled = false;
    if (FOnDown) FOnDown(this, TopButton, AutoRepeat, handled);
}

void TEditButtonControlEh::Click() {
    if (FNoClick) return;
    ui::TSpeedButton::Click();
}

void TEditButtonControlEh::StartTimer(uint32_t Interval) {
    if (!FTimer) {
        FTimer = rtl::Create<ui::TTimer>(this);
        FTimer->SetOnTimer([this](rtl::TObject*) { TimerTick(); });
    }
    FTimer->SetEnabled(false);
    FTimer->SetInterval(Interval);
    FTimer->SetEnabled(true);
}

void TEditButtonControlEh::StopTimer() {
    if (FTimer) FTimer->SetEnabled(false);
}

void TEditButtonControlEh::TimerTick() {
    bool autoRepeat = FStyle == ebsUpDownEh;
    // A press that slid off its half leaves the timer running but idle until the release.
    if (State() != ui::TButtonState::bsDown) return;
    if (FTimer->Interval() == FirstRepeatDelay) FTimer->SetInterval(RepeatInterval);
    FireDownEvent(FPressedPart == 1, autoRepeat);
    if (!autoRepeat) StopTimer();
}

void TEditButtonControlEh::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    bool autoRepeat = FStyle == ebsUpDownEh;
    ui::TSpeedButton::MouseDown(Button, Shift, X, Y);
    if (Button != ui::mbLeft) return;
    UpdatePressedPart(Y);
    if (FPressedPart != 1 && FPressedPart != 2) return;
    FireDownEvent(FPressedPart == 1, autoRepeat);
    if (autoRepeat) StartTimer(FirstRepeatDelay);
}

void TEditButtonControlEh::MouseMove(ui::TShiftState Shift, int X, int Y) {
    ui::TSpeedButton::MouseMove(Shift, X, Y);
    if (!MouseCapture() || FStyle != ebsUpDownEh || State() != ui::TButtonState::bsDown) return;
    const int half = Height() / 2;
    if ((FPressedPart == 2 && Y < half) || (FPressedPart == 1 && Y > Height() - half)) SetState(ui::TButtonState::bsUp);
}

void TEditButtonControlEh::MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    FNoClick = FStyle == ebsUpDownEh && State() != ui::TButtonState::bsDown;
    rtl::TryFinally([&] { ui::TSpeedButton::MouseUp(Button, Shift, X, Y); }, [&] { FNoClick = false; });
    UpdatePressedPart(Y);
    StopTimer();
}

void TEditButtonControlEh::Paint() {
    ui::TColor back = Parent() ? Parent()->Color() : ui::clBtnFace;
    if (FStyle != ebsGlyphEh) {
        DrawEditButtonFace(Canvas()->Handle(), ui::Rect(0, 0, Width(), Height()), back, EditButtonDrawStyle(FStyle),
                           IsPressed() ? FPressedPart : 0, Flat(), FActive, Enabled(), cbUnchecked);
        return;
    }
    ui::TSpeedButton::Paint();
    if (ThemesActive() || !Flat()) return;
    ui::TRect r = ui::Rect(0, 0, Width(), Height());
    if (FActive) {
        ui::DrawEdge(Canvas()->Handle(), r, IsPressed() ? ui::BDR_SUNKENOUTER : ui::BDR_RAISEDINNER, ui::BF_RECT);
    } else {
        Canvas()->Brush()->SetColor(back);
        Canvas()->FrameRect(r);
    }
}

}  // namespace editors
