// Menus: items in a tree, the form's main menu (a bar drawn on the form; its shortcuts run items)
// and popup menus. Drop-down menus are top-level windows of their own shown without activation;
// while one is open (or the bar is entered with Alt or F10) the menu takes the keyboard and the
// mouse, and the item chosen is clicked after the windows have closed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "framework/ui/ActnList.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ImgList.h"

namespace ui {

class TMenu;

enum class TMenuBreak { mbNone, mbBreak, mbBarBreak };
using enum TMenuBreak;

class TMenuItem : public rtl::TComponent {
    RTL_CLASS(TMenuItem, rtl::TComponent)
public:
    explicit TMenuItem(rtl::TComponent* Owner);
    ~TMenuItem() override;

    // Sub-items: the item owns what it holds.
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const;
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    // Takes the item out without freeing it.
    void Remove(TMenuItem* Item);
    void Delete(int Index);
    void Clear();
    int IndexOf(const TMenuItem* Item) const;
    // By caption, accelerator marks ignored.
    TMenuItem* Find(const AnsiString& Caption) const;
    TMenuItem* Parent() const noexcept { return FParent; }
    // The menu whose tree holds the item; null while it is in none.
    TMenu* GetParentMenu() const;
    bool IsLine() const { return FCaption == "-"; }

    const AnsiString& Caption() const noexcept { return FCaption; }
    void SetCaption(const AnsiString& Value);
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool Value);
    bool RadioItem() const noexcept { return FRadioItem; }
    void SetRadioItem(bool Value) noexcept { FRadioItem = Value; }
    int GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(int Value) noexcept { FGroupIndex = Value; }
    bool AutoCheck() const noexcept { return FAutoCheck; }
    void SetAutoCheck(bool Value) noexcept { FAutoCheck = Value; }
    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool Value) noexcept { FDefault = Value; }
    TShortCut ShortCut() const noexcept { return FShortCut; }
    void SetShortCut(TShortCut Value) { FShortCut = Value; }
    const AnsiString& Hint() const noexcept { return FHint; }
    void SetHint(const AnsiString& Value) { FHint = Value; }
    // The picture of the item in its menu's Images (-1: none); it takes the place of Bitmap.
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int Value) noexcept { FImageIndex = Value; }
    // The image list the item's ImageIndex refers to: its menu's.
    TCustomImageList* GetImages() const;
    // The item's own picture, drawn where an image-list image would be (made on first use).
    TBitmap* Bitmap();
    bool HasBitmap() const noexcept { return FBitmap && !FBitmap->Empty(); }
    void SetBitmap(TBitmap* Value);
    // mbBreak starts a new column with this item; mbBarBreak with a line between the columns.
    TMenuBreak Break() const noexcept { return FBreak; }
    void SetBreak(TMenuBreak Value) noexcept { FBreak = Value; }

    // Linked, the item shows the action's caption, state and shortcut, and runs it when clicked.
    TBasicAction* Action() const noexcept { return FAction; }
    void SetAction(TBasicAction* Value);

    // OnClick, or else the action; a disabled item does nothing.
    virtual void Click();
    TNotifyEvent OnClick;

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    friend class TMenu;
    void ActionChanged();
    // The menu shows what changed (the bar is drawn again).
    void Changed();
    TMenu* FMenu = nullptr;  // on a menu's root item only
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    AnsiString FCaption, FHint;
    bool FEnabled = true, FVisible = true, FChecked = false, FRadioItem = false, FAutoCheck = false, FDefault = false;
    int FGroupIndex = 0, FImageIndex = -1;
    TMenuBreak FBreak = mbNone;
    std::unique_ptr<TBitmap, rtl::TObjectDeleter> FBitmap;
    TShortCut FShortCut = 0;
    TBasicAction* FAction = nullptr;
};

class TMenu : public rtl::TComponent {
    RTL_CLASS(TMenu, rtl::TComponent)
public:
    explicit TMenu(rtl::TComponent* Owner);
    ~TMenu() override;
    TMenuItem* Items() const noexcept { return FItems.get(); }
    // The enabled, visible item (in enabled, visible parents) with this shortcut; null if none.
    TMenuItem* FindItemByShortCut(TShortCut Value) const;
    // Clicks the item the key's shortcut names.
    bool IsShortCut(TWMKey& Message);
    // The pictures the items' ImageIndex refers to.
    TCustomImageList* Images() const noexcept { return FImages; }
    void SetImages(TCustomImageList* Value);

protected:
    friend class TMenuItem;
    // An item of the tree changed its caption, state or sub-items.
    virtual void MenuChanged() {}
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    std::unique_ptr<TMenuItem> FItems;
    TCustomImageList* FImages = nullptr;
};

// The menu bar of the form that owns it; its shortcuts work anywhere on that form.
class TMainMenu : public TMenu {
    RTL_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(rtl::TComponent* Owner);
    ~TMainMenu() override;
    void AfterConstruction() override;

protected:
    void MenuChanged() override;
};

enum class TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
    RTL_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(rtl::TComponent* Owner);
    // Fires OnPopup and shows the menu at a screen point through the installed presenter, which
    // returns the item chosen (null: none); that item is clicked.
    virtual void Popup(int X, int Y);
    TPoint PopupPoint() const noexcept { return FPopupPoint; }
    TControl* PopupComponent() const noexcept { return FPopupComponent; }
    void SetPopupComponent(TControl* Value) noexcept { FPopupComponent = Value; }
    bool AutoPopup() const noexcept { return FAutoPopup; }
    void SetAutoPopup(bool Value) noexcept { FAutoPopup = Value; }
    // Where the menu lies against the point it pops up at: its left edge, right edge or centre.
    TPopupAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TPopupAlignment Value) noexcept { FAlignment = Value; }
    TNotifyEvent OnPopup;

    // Shows the menu and returns the item chosen. Without one installed, the menu's own windows
    // show it and the messages are handled until it closes.
    using TPresenter = std::function<TMenuItem*(TPopupMenu* Menu, TPoint ScreenPos)>;
    static void SetPresenter(TPresenter Presenter);

private:
    TPoint FPopupPoint;
    TControl* FPopupComponent = nullptr;
    bool FAutoPopup = true;
    TPopupAlignment FAlignment = TPopupAlignment::paLeft;
};

// The menu mode: the bar of a form entered from the keyboard or the mouse, or a popup menu open.
bool MenuActive();
// Leaves it, closing every menu window; nothing is chosen.
void EndMenu();

}  // namespace ui

namespace ui::detail {
// The bar of a form's main menu: its height (0 when the menu shows no item) and, in window
// coordinates of a form Width wide, each item's place (empty for an invisible item).
int MenuBarHeight(const TMainMenu* Menu, const TControl* Measure);
std::vector<TRect> MenuBarItems(const TMainMenu* Menu, const TControl* Measure, int Width);
// Paints the bar on a device of the form's whole window.
void PaintMenuBar(TCustomForm* Form, TCanvas& DC);
// The form asks for the menu mode: a press on the bar (at a screen point), Alt or F10 (Char 0),
// Alt+letter (the letter).
void MenuBarPress(TCustomForm* Form, TPoint ScreenPos);
void MenuBarKey(TCustomForm* Form, char Char);
// The mouse over the bar outside the menu mode (a screen point) or off it (none): the item under
// it is drawn hot.
void MenuBarHover(TCustomForm* Form, std::optional<TPoint> ScreenPos);
// What the menu mode shows: the bar's form and selected item, and for each open level its
// window, the item whose sub-items it shows and the index selected in it (-1: none).
struct TMenuModeState {
    TCustomForm* Form = nullptr;
    int BarIndex = -1;
    std::vector<TWinControl*> Windows;
    std::vector<TMenuItem*> Parents;
    std::vector<int> Selected;
};
TMenuModeState MenuModeState();
// The form is going or changes its menu: a menu mode of its bar ends.
void MenuFormGoing(TCustomForm* Form);
// Every retrieved message passes here first: true when the menu mode took it.
bool MenuMessage(const TMsg& Msg);
// The default presenter of popup menus: the menu's window at the point, the messages handled
// until it closes; the item chosen (null: none).
TMenuItem* TrackPopup(TPopupMenu* Menu, TPoint ScreenPos);
}  // namespace ui::detail
