#include "framework/ui/Menus.h"

#include <algorithm>

#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(rtl::TComponent* Owner) : rtl::TComponent(Owner) {}

TMenuItem::~TMenuItem() {
    SetAction(nullptr);
    if (FParent) FParent->Remove(this);
    Clear();
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::Exception("Menu index out of range");
    return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item->FParent) throw rtl::Exception("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw rtl::Exception("Menu index out of range");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    const int i = IndexOf(Item);
    if (i < 0) throw rtl::Exception("Sub-menu is not in menu");
    FItems.erase(FItems.begin() + i);
    Item->FParent = nullptr;
}

void TMenuItem::Delete(int Index) {
    TMenuItem* item = Items(Index);
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
}

void TMenuItem::Clear() {
    // Sub-items that nobody else owns go with their menu.
    while (!FItems.empty()) {
        TMenuItem* item = FItems.back();
        FItems.pop_back();
        item->FParent = nullptr;
        if (!item->Owner()) delete item;
    }
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    const auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const AnsiString& Caption) const {
    const AnsiString want = StripHotkey(Caption);
    for (auto* i : FItems)
        if (rtl::AnsiSameText(StripHotkey(i->FCaption), want)) return i;
    return nullptr;
}

TBitmap* TMenuItem::Bitmap() {
    if (!FBitmap) FBitmap.reset(rtl::Create<TBitmap>());
    return FBitmap.get();
}

void TMenuItem::SetBitmap(TBitmap* Value) { Bitmap()->Assign(Value); }

void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
    // Radio items of one group in one menu check one at a time.
    if (Value && FRadioItem && FParent) {
        for (auto* i : FParent->FItems)
            if (i != this && i->FRadioItem && i->FGroupIndex == FGroupIndex) i->FChecked = false;
    }
}

void TMenuItem::SetAction(TBasicAction* Value) {
    if (FAction == Value) return;
    if (FAction) {
        FAction->UnRegisterChanges(this);
        FAction->RemoveFreeNotification(this);
    }
    FAction = Value;
    if (Value) {
        Value->FreeNotification(this);
        Value->RegisterChanges(this, [this] { ActionChanged(); });
        ActionChanged();
    }
}

void TMenuItem::ActionChanged() {
    auto* a = dynamic_cast<TCustomAction*>(FAction);
    if (!a) return;
    FCaption = a->Caption();
    FEnabled = a->Enabled();
    FChecked = a->Checked();
    FVisible = a->Visible();
    FHint = a->Hint();
    FShortCut = a->ShortCut();
    FImageIndex = a->ImageIndex();
}

void TMenuItem::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FAction) FAction = nullptr;
}

void TMenuItem::Click() {
    if (FAction) {
        if (auto* a = dynamic_cast<TCustomAction*>(FAction)) a->Update();
        ActionChanged();
    }
    if (!FEnabled) return;
    if (FAutoCheck && !FAction) SetChecked(!FChecked);
    if (OnClick) OnClick(this);
    else if (FAction) FAction->Execute();
}

// ---------------------------------------------------------------------------------------------
// TMenu

TMenu::TMenu(rtl::TComponent* Owner) : rtl::TComponent(Owner), FItems(std::make_unique<TMenuItem>(nullptr)) {}

TMenu::~TMenu() = default;

namespace {
TMenuItem* FindShortCut(const TMenuItem* Parent, TShortCut Value) {
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* item = Parent->Items(i);
        if (!item->Visible()) continue;
        if (item->Action()) {
            if (auto* a = dynamic_cast<TCustomAction*>(item->Action())) a->Update();
        }
        if (item->ShortCut() == Value && item->Count() == 0) return item;
        if (item->Enabled() && item->Count() > 0) {
            if (TMenuItem* found = FindShortCut(item, Value)) return found;
        }
    }
    return nullptr;
}
}  // namespace

TMenuItem* TMenu::FindItemByShortCut(TShortCut Value) const {
    if (Value == 0) return nullptr;
    return FindShortCut(FItems.get(), Value);
}

bool TMenu::IsShortCut(TWMKey& Message) {
    TMenuItem* item = FindItemByShortCut(ShortCutFromMessage(Message));
    if (!item) return false;
    // A disabled item still takes its key, so the key does not reach the control.
    item->Click();
    return true;
}

TMainMenu::TMainMenu(rtl::TComponent* Owner) : TMenu(Owner) {}

void TMainMenu::AfterConstruction() {
    TMenu::AfterConstruction();
    if (auto* form = dynamic_cast<TCustomForm*>(Owner()))
        form->AddShortCutHandler(this, [this](TWMKey& Message) { return IsShortCut(Message); });
}

TMainMenu::~TMainMenu() {
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) form->RemoveShortCutHandler(this);
}

// ---------------------------------------------------------------------------------------------
// TPopupMenu

namespace {
TPopupMenu::TPresenter& Presenter() {
    static TPopupMenu::TPresenter p;
    return p;
}
}  // namespace

TPopupMenu::TPopupMenu(rtl::TComponent* Owner) : TMenu(Owner) {}

void TPopupMenu::SetPresenter(TPresenter P) { Presenter() = std::move(P); }

void TPopupMenu::Popup(int X, int Y) {
    FPopupPoint = Point(X, Y);
    if (OnPopup) OnPopup(this);
    if (!Presenter()) return;
    if (TMenuItem* chosen = Presenter()(this, FPopupPoint)) chosen->Click();
}

}  // namespace ui
