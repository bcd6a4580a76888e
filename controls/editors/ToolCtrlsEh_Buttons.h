// Edit-button descriptions: the main button of an editor and the extra buttons of editors and grid
// columns, as a form designer edits them.
#pragma once

#include <functional>

#include "controls/editors/ToolCtrlsEh.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Buttons.h"
#include "framework/ui/Menus.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Graphics.h"

namespace editors {

enum TEditButtonStyleEh { ebsDropDownEh, ebsEllipsisEh, ebsGlyphEh, ebsUpDownEh, ebsPlusEh, ebsMinusEh };

// The face painter's drawing style of a button style.
int EditButtonDrawStyle(TEditButtonStyleEh Style) noexcept;

using TButtonClickEventEh = std::function<void(rtl::TObject* Sender, bool& Handled)>;
using TButtonDownEventEh = std::function<void(rtl::TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;

inline constexpr TShortCut AltDownShortCut = 32808;

class TEditButtonEh;
class TEditButtonControlEh;

// Ties a button to an action: the button follows the action's state for every property that
// still shows the action's value; a destroyed action leaves the link empty.
class TEditButtonActionLinkEh : public rtl::TComponent {
    RTL_CLASS(TEditButtonActionLinkEh, rtl::TComponent)
public:
    explicit TEditButtonActionLinkEh(TEditButtonEh* Client);
    ~TEditButtonActionLinkEh() override;

    ui::TBasicAction* Action() const noexcept { return FAction; }
    void SetAction(ui::TBasicAction* Value);
    bool Execute(rtl::TComponent* Target);
    void Update();

    bool IsEnabledLinked() const;
    bool IsHintLinked() const;
    bool IsShortCutLinked() const;
    bool IsVisibleLinked() const;
    void SetEnabled(bool Value);
    void SetHint(const AnsiString& Value);
    void SetShortCut(TShortCut Value);
    void SetVisible(bool Value);

    // The action's state changed.
    std::function<void(ui::TBasicAction* Action)> OnChange;

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    ui::TCustomAction* Custom() const noexcept { return dynamic_cast<ui::TCustomAction*>(FAction); }
    TEditButtonEh* FClient;
    ui::TBasicAction* FAction = nullptr;
};

class TEditButtonEh : public rtl::TCollectionItem {
    RTL_CLASS(TEditButtonEh, rtl::TCollectionItem)
public:
    explicit TEditButtonEh(rtl::TCollection* Collection);
    // An editor's own main button.
    explicit TEditButtonEh(ui::TWinControl* EditControl);
    ~TEditButtonEh() override;
    void Assign(rtl::TPersistent* Source) override;

    ui::TWinControl* EditControl() const noexcept { return FEditControl; }
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    ui::TBitmap* Glyph() const noexcept { return FGlyph.get(); }
    void SetGlyph(ui::TBitmap* Value);
    const AnsiString& Hint() const noexcept { return FHint; }
    void SetHint(const AnsiString& Value);
    int NumGlyphs() const noexcept { return FNumGlyphs; }
    // Kept within 1..4.
    void SetNumGlyphs(int Value);
    TShortCut ShortCut() const noexcept { return FShortCut; }
    void SetShortCut(TShortCut Value) noexcept { FShortCut = Value; }
    TEditButtonStyleEh Style() const noexcept { return FStyle; }
    void SetStyle(TEditButtonStyleEh Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    // 0: the editor's default width.
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value);

    // An assigned OnClick replaces everything else; then the action runs; Handled is left as it
    // came when there is neither.
    virtual void Click(rtl::TObject* Sender, bool& Handled);
    virtual TEditButtonControlEh* CreateEditButtonControl();
    virtual void RefreshActionState();

    ui::TBasicAction* Action() const noexcept { return FActionLink ? FActionLink->Action() : nullptr; }
    void SetAction(ui::TBasicAction* Value);
    TEditButtonActionLinkEh* ActionLink() const noexcept { return FActionLink.get(); }
    ui::TPopupMenu* DropdownMenu = nullptr;

    TButtonClickEventEh OnClick;
    TButtonDownEventEh OnDown;
    // Set by the owning editor on its main button; collection items notify their collection.
    rtl::TNotifyEvent OnChange;

    // The class of the link that a first action gets; a descendant answers its own link class.
    using TActionLinkClass = TEditButtonActionLinkEh* (*)(TEditButtonEh* Client);
    virtual TActionLinkClass ActionLinkClassOf() const;

protected:
    void ButtonChanged();
    virtual void ActionChange(rtl::TObject* Sender, bool CheckDefaults);

private:
    void Init();

    ui::TWinControl* FEditControl = nullptr;
    rtl::TOwnedPtr<ui::TBitmap> FGlyph;
    rtl::TOwnedPtr<TEditButtonActionLinkEh> FActionLink;
    bool FEnabled = true;
    AnsiString FHint;
    int FNumGlyphs = 1;
    TShortCut FShortCut = 0;
    TEditButtonStyleEh FStyle = ebsDropDownEh;
    bool FVisible = false;
    int FWidth = 0;
};

// The number editor's main button: Alt+Down, invisible until made visible.
class TDropDownEditButtonEh : public TEditButtonEh {
    RTL_CLASS(TDropDownEditButtonEh, TEditButtonEh)
public:
    explicit TDropDownEditButtonEh(rtl::TCollection* Collection);
    explicit TDropDownEditButtonEh(ui::TWinControl* EditControl);
};

// Visible with Alt+Down: main button of most editors and the item of every button collection.
class TVisibleEditButtonEh : public TEditButtonEh {
    RTL_CLASS(TVisibleEditButtonEh, TEditButtonEh)
public:
    explicit TVisibleEditButtonEh(rtl::TCollection* Collection);
    explicit TVisibleEditButtonEh(ui::TWinControl* EditControl);
};

class TEditButtonsEh : public rtl::TCollection {
    RTL_CLASS(TEditButtonsEh, rtl::TCollection)
public:
    TEditButtonsEh(rtl::TPersistent* Owner, const rtl::TCollectionItemClass& ItemClass);
    TEditButtonEh* Items(int Index) const { return static_cast<TEditButtonEh*>(rtl::TCollection::Items(Index)); }
    TEditButtonEh* Add() { return static_cast<TEditButtonEh*>(rtl::TCollection::Add()); }
    rtl::TPersistent* GetOwner() override { return FOwner; }

    // After every item change (nullptr: the whole collection); the owner rebuilds its controls.
    std::function<void(rtl::TCollectionItem* Item)> OnChange;

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    rtl::TPersistent* FOwner;
};

// The button control placed on an editor: paints the edit-button faces, reports presses of its
// halves and repeats them while held.
class TEditButtonControlEh : public ui::TSpeedButton {
    RTL_CLASS(TEditButtonControlEh, ui::TSpeedButton)
public:
    explicit TEditButtonControlEh(rtl::TComponent* Owner);
    ~TEditButtonControlEh() override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    TEditButtonStyleEh Style() const noexcept { return FStyle; }
    void SetStyle(TEditButtonStyleEh Value);
    // 0 none, 1 the upper half or the whole button, 2 the lower half.
    int PressedPart() const noexcept { return FPressedPart; }
    bool HeldDown() const noexcept { return FHeldDown; }
    // Kept down while the editor's drop-down is open.
    void SetHeldDown(bool Value);
    void SetOnDown(TButtonDownEventEh Value) { FOnDown = std::move(Value); }
    // Null until the first repeating press.
    ui::TTimer* AutoRepeatTimer() const noexcept { return FTimer; }

    void Click() override;
    void FireDownEvent(bool TopButton, bool& AutoRepeat);

protected:
    void Paint() override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void UpdatePressedPart(int Y);

private:
    bool IsPressed() const noexcept;
    void StartTimer(uint32_t Interval);
    void StopTimer();
    void TimerTick();

    bool FActive = false;
    bool FHeldDown = false;
    bool FNoClick = false;
    int FPressedPart = 0;
    TEditButtonStyleEh FStyle = ebsDropDownEh;
    TButtonDownEventEh FOnDown;
    ui::TTimer* FTimer = nullptr;  // owned as a component
};

// The calculator's keys: the control with its style and hot look exposed.
class TSpeedButtonEh : public TEditButtonControlEh {
    RTL_CLASS(TSpeedButtonEh, TEditButtonControlEh)
public:
    explicit TSpeedButtonEh(rtl::TComponent* Owner) : TEditButtonControlEh(Owner) {}
};

}  // namespace editors
