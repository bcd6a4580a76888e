#include "framework/ui/ActnList.h"

#include <algorithm>

#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// Shortcuts

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
    if (Key & 0xFF00) return 0;
    TShortCut r = Key;
    if (Shift.Contains(ssShift)) r |= scShift;
    if (Shift.Contains(ssCtrl)) r |= scCtrl;
    if (Shift.Contains(ssAlt)) r |= scAlt;
    return r;
}

void ShortCutToKey(TShortCut Value, uint16_t& Key, TShiftState& Shift) {
    Key = Value & 0xFF;
    Shift = {};
    if (Value & scShift) Shift.Include(ssShift);
    if (Value & scCtrl) Shift.Include(ssCtrl);
    if (Value & scAlt) Shift.Include(ssAlt);
}

namespace {
AnsiString KeyName(uint16_t Key) {
    if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return AnsiString(1, static_cast<char>(Key));
    if (Key >= VK_F1 && Key <= VK_F12) return "F" + std::to_string(Key - VK_F1 + 1);
    switch (Key) {
        case VK_BACK: return "BkSp";
        case VK_TAB: return "Tab";
        case VK_RETURN: return "Enter";
        case VK_ESCAPE: return "Esc";
        case VK_SPACE: return "Space";
        case VK_PRIOR: return "PgUp";
        case VK_NEXT: return "PgDn";
        case VK_END: return "End";
        case VK_HOME: return "Home";
        case VK_LEFT: return "Left";
        case VK_UP: return "Up";
        case VK_RIGHT: return "Right";
        case VK_DOWN: return "Down";
        case VK_INSERT: return "Ins";
        case VK_DELETE: return "Del";
        default: return {};
    }
}
}  // namespace

AnsiString ShortCutToText(TShortCut Value) {
    const AnsiString name = KeyName(Value & 0xFF);
    if (name.empty()) return {};
    AnsiString r;
    if (Value & scShift) r += "Shift+";
    if (Value & scCtrl) r += "Ctrl+";
    if (Value & scAlt) r += "Alt+";
    return r + name;
}

TShortCut TextToShortCut(const AnsiString& Text) {
    TShortCut shift = 0;
    std::string_view t = Text;
    for (;;) {
        auto take = [&](std::string_view Prefix, TShortCut Bit) {
            if (t.size() > Prefix.size() && rtl::SameText(t.substr(0, Prefix.size()), Prefix)) {
                t.remove_prefix(Prefix.size());
                shift |= Bit;
                return true;
            }
            return false;
        };
        if (!take("Shift+", scShift) && !take("Ctrl+", scCtrl) && !take("Alt+", scAlt)) break;
    }
    for (uint16_t k = 1; k < 0x100; ++k) {
        const AnsiString n = KeyName(k);
        if (!n.empty() && rtl::SameText(n, t)) return static_cast<TShortCut>(k | shift);
    }
    return 0;
}

TShortCut ShortCutFromMessage(const TWMKey& Message) {
    TShiftState shift = KeyDataToShiftState(Message.KeyData);
    if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
    return ShortCut(Message.CharCode, shift);
}

// ---------------------------------------------------------------------------------------------
// TBasicAction

TBasicAction::TBasicAction(rtl::TComponent* Owner) : rtl::TComponent(Owner) {}
TBasicAction::~TBasicAction() = default;

void TBasicAction::SetActionComponent(rtl::TComponent* Value) {
    if (Value == FActionComponent) return;
    if (FActionComponent) FActionComponent->RemoveFreeNotification(this);
    FActionComponent = Value;
    if (Value) Value->FreeNotification(this);
}

void TBasicAction::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FActionComponent) FActionComponent = nullptr;
}

bool TBasicAction::Execute() {
    if (!OnExecute) return false;
    OnExecute(this);
    return true;
}

bool TBasicAction::Update() {
    if (!OnUpdate) return false;
    OnUpdate(this);
    return true;
}

void TBasicAction::RegisterChanges(const void* Client, std::function<void()> Changed) {
    UnRegisterChanges(Client);
    FClients.emplace_back(Client, std::move(Changed));
}

void TBasicAction::UnRegisterChanges(const void* Client) {
    std::erase_if(FClients, [Client](const auto& c) { return c.first == Client; });
}

void TBasicAction::Change() {
    const auto clients = FClients;
    for (const auto& c : clients) c.second();
}

// ---------------------------------------------------------------------------------------------
// TCustomAction

TCustomAction::TCustomAction(rtl::TComponent* Owner) : TBasicAction(Owner) {}

TCustomAction::~TCustomAction() { SetActionList(nullptr); }

void TCustomAction::UpdateState() {
    bool handled = false;
    if (FActionList && FActionList->OnUpdate) FActionList->OnUpdate(this, handled);
    if (!handled) handled = Update();
    if (!handled && FDisableIfNoHandler && !OnExecute && !(FActionList && FActionList->OnExecute)) SetEnabled(false);
}

bool TCustomAction::Execute() {
    UpdateState();
    if (!FEnabled) return false;
    if (FAutoCheck) SetChecked(!FChecked);
    if (FActionList && FActionList->OnExecute) {
        bool done = false;
        FActionList->OnExecute(this, done);
        if (done) return true;
    }
    return TBasicAction::Execute();
}

void TCustomAction::SetCaption(const AnsiString& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    Change();
}

void TCustomAction::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Change();
}

void TCustomAction::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    // Checking one action of a group unchecks the others of its list.
    if (Value && FGroupIndex > 0 && FActionList) {
        for (auto* a : FActionList->FActions)
            if (a != this && a->FGroupIndex == FGroupIndex) a->SetChecked(false);
    }
    Change();
}

void TCustomAction::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Change();
}

void TCustomAction::SetHint(const AnsiString& Value) {
    if (FHint == Value) return;
    FHint = Value;
    Change();
}

void TCustomAction::SetShortCut(TShortCut Value) {
    if (FShortCut == Value) return;
    FShortCut = Value;
    Change();
}

void TCustomAction::SetImageIndex(int Value) {
    if (FImageIndex == Value) return;
    FImageIndex = Value;
    Change();
}

void TCustomAction::SetActionList(TCustomActionList* Value) {
    if (FActionList == Value) return;
    if (FActionList) {
        std::erase(FActionList->FActions, this);
        FActionList->RemoveFreeNotification(this);
    }
    FActionList = Value;
    if (Value) {
        Value->FActions.push_back(this);
        Value->FreeNotification(this);
    }
}

// ---------------------------------------------------------------------------------------------
// TCustomActionList

TCustomActionList::TCustomActionList(rtl::TComponent* Owner) : rtl::TComponent(Owner) {}

void TCustomActionList::AfterConstruction() {
    rtl::TComponent::AfterConstruction();
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) {
        form->AddShortCutHandler(this, [this](TWMKey& Message) { return IsShortCut(ShortCutFromMessage(Message)); });
    }
}

TCustomActionList::~TCustomActionList() {
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) form->RemoveShortCutHandler(this);
    for (auto* a : FActions) a->FActionList = nullptr;
}

void TCustomActionList::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove) {
        if (auto* a = dynamic_cast<TCustomAction*>(AComponent); a && a->FActionList == this) {
            std::erase(FActions, a);
            a->FActionList = nullptr;
        }
    }
}

bool TCustomActionList::IsShortCut(TShortCut Value) {
    if (Value == 0 || !FEnabled) return false;
    for (auto* a : std::vector<TCustomAction*>(FActions)) {
        if (a->ShortCut() != Value) continue;
        bool handled = false;
        if (OnUpdate) OnUpdate(a, handled);
        if (!handled) a->Update();
        if (!a->Visible() || !a->Enabled()) return false;
        a->Execute();
        return true;
    }
    return false;
}

void TCustomActionList::UpdateActions() {
    if (!FEnabled) return;
    for (auto* a : std::vector<TCustomAction*>(FActions)) a->UpdateState();
}

}  // namespace ui
