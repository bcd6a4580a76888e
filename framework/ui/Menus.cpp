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

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* i = this;
    while (i->FParent) i = i->FParent;
    return i->FMenu;
}

void TMenuItem::Changed() {
    if (TMenu* m = GetParentMenu()) m->MenuChanged();
}

void TMenuItem::SetCaption(const AnsiString& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    Changed();
}

void TMenuItem::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Changed();
}

void TMenuItem::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Changed();
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item->FParent) throw rtl::Exception("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw rtl::Exception("Menu index out of range");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
    const int i = IndexOf(Item);
    if (i < 0) throw rtl::Exception("Sub-menu is not in menu");
    FItems.erase(FItems.begin() + i);
    Item->FParent = nullptr;
    Changed();
}

void TMenuItem::Delete(int Index) {
    TMenuItem* item = Items(Index);
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
    Changed();
}

void TMenuItem::Clear() {
    if (FItems.empty()) return;
    // Sub-items that nobody else owns go with their menu.
    while (!FItems.empty()) {
        TMenuItem* item = FItems.back();
        FItems.pop_back();
        item->FParent = nullptr;
        if (!item->Owner()) delete item;
    }
    Changed();
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
    const bool shown = FCaption != a->Caption() || FEnabled != a->Enabled() || FVisible != a->Visible();
    FCaption = a->Caption();
    FEnabled = a->Enabled();
    FChecked = a->Checked();
    FVisible = a->Visible();
    FHint = a->Hint();
    FShortCut = a->ShortCut();
    FImageIndex = a->ImageIndex();
    if (shown) Changed();
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
    if (OnClick)
        OnClick(this);
    else if (FAction)
        FAction->Execute();
}

// ---------------------------------------------------------------------------------------------
// TMenu

TMenu::TMenu(rtl::TComponent* Owner) : rtl::TComponent(Owner), FItems(std::make_unique<TMenuItem>(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    SetImages(nullptr);
    FItems->FMenu = nullptr;
}

void TMenu::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    MenuChanged();
}

void TMenu::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FImages) {
        FImages = nullptr;
        MenuChanged();
    }
}

TCustomImageList* TMenuItem::GetImages() const {
    const TMenu* m = GetParentMenu();
    return m ? m->Images() : nullptr;
}

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
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) {
        form->AddShortCutHandler(this, [this](TWMKey& Message) { return IsShortCut(Message); });
        if (!form->Menu()) form->SetMenu(this);
    }
}

TMainMenu::~TMainMenu() {
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) {
        form->RemoveShortCutHandler(this);
        if (form->Menu() == this) form->SetMenu(nullptr);
    }
    for (int i = 0; i < Screen()->FormCount(); ++i)
        if (Screen()->Forms(i)->Menu() == this) Screen()->Forms(i)->SetMenu(nullptr);
}

void TMainMenu::MenuChanged() {
    for (int i = 0; i < Screen()->FormCount(); ++i)
        if (Screen()->Forms(i)->Menu() == this) Screen()->Forms(i)->MenuChanged();
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
    TMenuItem* chosen = Presenter() ? Presenter()(this, FPopupPoint) : detail::TrackPopup(this, FPopupPoint);
    if (chosen) chosen->Click();
}

}  // namespace ui

// ---------------------------------------------------------------------------------------------
// Drawing and measuring menus

namespace ui {
namespace {

constexpr int BarItemPadding = 7;  // left and right of a bar item's caption
constexpr int SeparatorHeight = 7;
constexpr int ShortCutGap = 24;  // between the longest caption and the shortcuts
constexpr int ArrowWidth = 16;   // the submenu arrow's column
constexpr int MenuBorder = 1;
constexpr int BarBreakWidth = 5;  // the line between columns of mbBarBreak

TFont* MenuFont() {
    static std::unique_ptr<TFont, rtl::TObjectDeleter> font(rtl::Create<TFont>());
    return font.get();
}

int MenuTextHeight(const TControl* Measure) {
    TSurface* s = Measure ? Measure->MeasureSurface() : TextMeasureSurface();
    return s ? s->TextMetrics(MenuFont()->Data()).tmHeight : FixedTextMetrics(MenuFont()->Data()).tmHeight;
}

int MenuTextWidth(const TControl* Measure, const AnsiString& Text) {
    TSurface* s = Measure ? Measure->MeasureSurface() : TextMeasureSurface();
    return s ? s->TextExtent(Text, MenuFont()->Data()).cx : FixedTextExtent(Text, MenuFont()->Data()).cx;
}

bool Selectable(const TMenuItem* Item) { return Item->Visible() && Item->Enabled() && !Item->IsLine(); }

bool HasSubMenu(const TMenuItem* Item) {
    for (int i = 0; i < Item->Count(); ++i)
        if (Item->Items(i)->Visible()) return true;
    return false;
}

// The caption of an item that shows its action's state, brought up to date.
void UpdateItem(TMenuItem* Item) {
    if (auto* a = dynamic_cast<TCustomAction*>(Item->Action())) a->Update();
}

void DrawCaption(TCanvas& DC, const AnsiString& Caption, TRect R, TColor Color, unsigned Flags) {
    DC.Brush()->SetStyle(TBrushStyle::bsClear);
    DC.Font()->SetColor(Color);
    DC.DrawText(Caption, R, Flags | DT_SINGLELINE | DT_VCENTER);
    DC.Brush()->SetStyle(TBrushStyle::bsSolid);
}

// ---------------------------------------------------------------------------------------------
// A drop-down menu: a top-level window shown without activation.

class TMenuWindow : public TCustomControl {
    RTL_CLASS(TMenuWindow, TCustomControl)
public:
    explicit TMenuWindow(rtl::TComponent* Owner) : TCustomControl(Owner) {
        SetVisible(false);
        SetTabStop(false);
        Font()->Assign(MenuFont());
        SetColor(clMenu);
    }
    ~TMenuWindow() override;

    TMenuItem* ParentItem = nullptr;
    int Selected = -1;

    TCustomImageList* Images() const { return ParentItem ? ParentItem->GetImages() : nullptr; }
    // Rows and the picture column grow to hold the menu's images.
    int ItemHeight() const {
        const TCustomImageList* images = Images();
        return std::max(MenuTextHeight(this) + 8, images ? images->Height() + 6 : 0);
    }
    int Gutter() const {
        const TCustomImageList* images = Images();
        return std::max(ItemHeight(), images ? images->Width() + 8 : 0);
    }

    // Item places in client coordinates (empty for invisible items) and the size that holds them.
    // An item with Break starts a new column (mbBarBreak with a line before it).
    std::vector<TRect> Layout(TSize* Size = nullptr) const {
        std::vector<TRect> r(static_cast<size_t>(ParentItem->Count()));
        int left = 0, height = 0, y = 0, captionW = 0, shortcutW = 0;
        size_t columnStart = 0;
        const auto endColumn = [&](size_t End) {
            const int width = Gutter() + 4 + captionW + (shortcutW ? ShortCutGap + shortcutW : 0) + ArrowWidth;
            for (size_t k = columnStart; k < End; ++k)
                if (r[k].Bottom > r[k].Top) {
                    r[k].Left = left;
                    r[k].Right = left + width;
                }
            left += width;
            height = std::max(height, y);
        };
        for (int i = 0; i < ParentItem->Count(); ++i) {
            TMenuItem* item = ParentItem->Items(i);
            if (!item->Visible()) continue;
            if (item->Break() != mbNone && y > 0) {
                endColumn(size_t(i));
                if (item->Break() == mbBarBreak) left += BarBreakWidth;
                columnStart = size_t(i);
                y = captionW = shortcutW = 0;
            }
            const int h = item->IsLine() ? SeparatorHeight : ItemHeight();
            if (!item->IsLine()) {
                captionW = std::max(captionW, MenuTextWidth(this, StripHotkey(item->Caption())));
                if (item->ShortCut() != 0)
                    shortcutW = std::max(shortcutW, MenuTextWidth(this, ShortCutToText(item->ShortCut())));
            }
            r[size_t(i)] = Rect(0, y, 0, y + h);
            y += h;
        }
        endColumn(r.size());
        if (Size) *Size = TSize{left + 2 * MenuBorder, std::max(height, 4) + 2 * MenuBorder};
        return r;
    }

    int ItemAt(TPoint ClientPos) const {
        const std::vector<TRect> r = Layout();
        for (size_t i = 0; i < r.size(); ++i)
            if (r[i].Bottom > r[i].Top && r[i].Contains(ClientPos)) return static_cast<int>(i);
        return -1;
    }

    // The item's place on the screen.
    TRect ItemRectOnScreen(int Index) const {
        const std::vector<TRect> r = Layout();
        if (Index < 0 || Index >= static_cast<int>(r.size())) return TRect();
        TRect i = r[size_t(Index)];
        const TPoint o = ClientToScreen(Point(0, 0));
        i.Offset(o.X, o.Y);
        return i;
    }

    // The selectable item in the next column to the left (Step -1) or right (+1) nearest the
    // selected row, or -1 when there is no such column.
    int ColumnNeighbour(int Step) const {
        if (Selected < 0) return -1;
        const std::vector<TRect> r = Layout();
        const TRect from = r[size_t(Selected)];
        int column = -1, best = -1, bestGap = 0;
        for (int i = 0; i < ParentItem->Count(); ++i) {
            const TRect& c = r[size_t(i)];
            if (c.Bottom <= c.Top || !Selectable(ParentItem->Items(i))) continue;
            if (Step > 0 ? c.Left <= from.Left : c.Left >= from.Left) continue;
            // Only the nearest column counts.
            if (column >= 0 && c.Left != column) {
                if (Step > 0 ? c.Left > column : c.Left < column) continue;
                best = -1;
            }
            column = c.Left;
            const int gap = std::abs(c.Top - from.Top);
            if (best < 0 || gap < bestGap) {
                best = i;
                bestGap = gap;
            }
        }
        return best;
    }

    void Select(int Index) {
        if (Index == Selected) return;
        Selected = Index;
        Invalidate();
    }

    // Shown at Pos (screen), or where it fits on the work area: to the other side of Avoid when it
    // would cross the right edge (submenus), above Pos when there is no room below.
    void ShowAt(TPoint Pos, const TRect& Avoid, HWND Owner) {
        for (int i = 0; i < ParentItem->Count(); ++i) UpdateItem(ParentItem->Items(i));
        SetParentWindow(Owner);
        HandleNeeded();
        TSize size;
        Layout(&size);
        const TRect work = Screen()->MonitorFromPoint(Pos).WorkareaRect;
        int x = Pos.X, y = Pos.Y;
        if (x + size.cx > work.Right) x = Avoid.IsEmpty() ? work.Right - size.cx : Avoid.Left - size.cx;
        if (y + size.cy > work.Bottom)
            y = Avoid.IsEmpty() || Avoid.Bottom - Avoid.Top > 40 ? y - size.cy : work.Bottom - size.cy;
        x = std::max(x, work.Left);
        y = std::max(y, work.Top);
        SetBounds(x, y, size.cx, size.cy);
        ShowWindow(SW_SHOWNA);
        Invalidate();
    }

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomControl::CreateParams(Params);
        Params.Style = WS_POPUP;
        Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    }
    void DefaultHandler(TMessage& Message) override;
    void Paint() override {
        TCanvas& dc = *Canvas();
        const TRect all = GetClientRect();
        dc.FillSolid(all, clMenu);
        dc.Brush()->SetColor(clBtnShadow);
        dc.FrameRect(all);
        dc.Font()->Assign(MenuFont());
        const std::vector<TRect> rects = Layout();
        const TPoint o = Point(MenuBorder, MenuBorder);
        for (int i = 0; i < ParentItem->Count(); ++i) {
            TMenuItem* item = ParentItem->Items(i);
            TRect r = rects[size_t(i)];
            if (r.Bottom <= r.Top) continue;
            r.Offset(o.X, o.Y);
            if (item->IsLine()) {
                const int y = (r.Top + r.Bottom) / 2;
                dc.FillSolid(Rect(r.Left + Gutter(), y, r.Right - 4, y + 1), clBtnShadow);
                continue;
            }
            if (item->Break() == mbBarBreak && r.Left > o.X)
                dc.FillSolid(Rect(r.Left - BarBreakWidth / 2 - 1, o.Y + 2, r.Left - BarBreakWidth / 2, all.Bottom - 2),
                             clBtnShadow);
            const bool hot = i == Selected;
            if (hot) dc.FillSolid(r, clHighlight);
            const TColor text = !item->Enabled() ? clGrayText : hot ? clHighlightText : clMenuText;
            const TRect gutter = Rect(r.Left, r.Top, r.Left + Gutter(), r.Bottom);
            TCustomImageList* images = Images();
            if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
                // A ticked item with a picture shows it framed instead of the tick.
                if (item->Checked()) {
                    TRect frame = gutter;
                    frame.Inflate(-1, -1);
                    dc.Brush()->SetColor(text);
                    dc.FrameRect(frame);
                }
                images->Draw(&dc, gutter.Left + (gutter.Width() - images->Width()) / 2,
                             gutter.Top + (gutter.Height() - images->Height()) / 2, item->ImageIndex(),
                             item->Enabled());
            } else if (item->Checked()) {
                DrawCheck(dc, gutter, item->RadioItem(), text);
            } else if (item->HasBitmap()) {
                TBitmap* b = item->Bitmap();
                dc.Draw(gutter.Left + (gutter.Width() - b->Width()) / 2,
                        gutter.Top + (gutter.Height() - b->Height()) / 2, b);
            }
            TRect cap = Rect(gutter.Right + 4, r.Top, r.Right - ArrowWidth, r.Bottom);
            DrawCaption(dc, item->Caption(), cap, text, DT_LEFT);
            if (item->ShortCut() != 0)
                DrawCaption(dc, ShortCutToText(item->ShortCut()), cap, text, DT_RIGHT | DT_NOPREFIX);
            if (HasSubMenu(item)) {
                const int cx = r.Right - ArrowWidth / 2 - 2, cy = (r.Top + r.Bottom) / 2;
                dc.Brush()->SetColor(text);
                dc.Pen()->SetColor(text);
                dc.Polygon({Point(cx - 2, cy - 4), Point(cx + 2, cy), Point(cx - 2, cy + 4)});
            }
        }
    }

private:
    static void DrawCheck(TCanvas& DC, const TRect& R, bool Radio, TColor Color) {
        const int cx = (R.Left + R.Right) / 2, cy = (R.Top + R.Bottom) / 2;
        DC.Pen()->SetColor(Color);
        DC.Brush()->SetColor(Color);
        if (Radio) {
            DC.Ellipse(cx - 3, cy - 3, cx + 4, cy + 4);
            return;
        }
        for (int d = 0; d < 3; ++d) {
            DC.MoveTo(cx - 4, cy - 1 + d);
            DC.LineTo(cx - 1, cy + 2 + d);
            DC.LineTo(cx + 5, cy - 4 + d);
        }
    }
};

// ---------------------------------------------------------------------------------------------
// The menu mode

struct TTracker {
    bool Active = false;
    TCustomForm* Form = nullptr;        // the bar's form, in bar mode
    int BarIndex = -1;                  // the bar's selected item
    TPopupMenu* Popup = nullptr;        // the popup menu shown, in popup mode
    std::vector<TMenuWindow*> Windows;  // one per open level; Levels of them are showing
    int Levels = 0;
    TMenuItem* Chosen = nullptr;
    bool AltAlone = false;           // Alt went down and nothing else since
    TCustomForm* HotForm = nullptr;  // outside the menu mode: the bar under the mouse
    int HotIndex = -1;               // and its item under the mouse
};

TTracker& Tracker() {
    static TTracker t;
    return t;
}

TMenuWindow::~TMenuWindow() {
    auto& w = Tracker().Windows;
    const auto it = std::find(w.begin(), w.end(), this);
    if (it == w.end()) return;
    if (it - w.begin() < Tracker().Levels) Tracker().Levels = static_cast<int>(it - w.begin());
    w.erase(it);
}

TMenuWindow* Level(int I) { return Tracker().Windows[size_t(I)]; }
TMenuWindow* TopLevel() { return Tracker().Levels > 0 ? Level(Tracker().Levels - 1) : nullptr; }

void RepaintBar() {
    if (TCustomForm* f = Tracker().Form) f->InvalidateFrame();
}

void SetHover(TCustomForm* Form, int Index) {
    auto& t = Tracker();
    if (t.HotForm == Form && t.HotIndex == Index) return;
    if (t.HotForm && t.HotForm != Form) t.HotForm->InvalidateFrame();
    t.HotForm = Index >= 0 ? Form : nullptr;
    t.HotIndex = Index;
    if (Form) Form->InvalidateFrame();
}

void ClearHover() {
    if (Tracker().HotForm) SetHover(Tracker().HotForm, -1);
}

// Levels from Depth on close.
void CloseLevels(int Depth) {
    auto& t = Tracker();
    while (t.Levels > Depth) {
        TMenuWindow* w = Level(--t.Levels);
        w->ShowWindow(SW_HIDE);
        w->Selected = -1;
    }
}

void Finish() {
    auto& t = Tracker();
    CloseLevels(0);
    if (t.Form) t.Form->InvalidateFrame();
    t.Active = false;
    t.Form = nullptr;
    t.BarIndex = -1;
    t.Popup = nullptr;
}

// The chosen item is clicked once the menu has closed (a popup's presenter hands it back).
void Pick(TMenuItem* Item) {
    auto& t = Tracker();
    const bool popup = t.Popup != nullptr;
    Finish();
    if (popup)
        t.Chosen = Item;
    else if (Item)
        Item->Click();
}

TMenuItem* BarMenuItem() {
    auto& t = Tracker();
    return t.Form && t.Form->Menu() ? t.Form->Menu()->Items() : nullptr;
}

// A level showing Parent's items below or beside Anchor (screen), one deeper than the open ones.
void OpenLevel(TMenuItem* Parent, TPoint Pos, const TRect& Avoid, bool SelectFirst) {
    auto& t = Tracker();
    if (static_cast<int>(t.Windows.size()) <= t.Levels) t.Windows.push_back(rtl::Create<TMenuWindow>(Application()));
    TMenuWindow* w = Level(t.Levels++);
    w->ParentItem = Parent;
    w->Selected = -1;
    HWND owner = 0;
    if (t.Form && t.Form->HandleAllocated())
        owner = t.Form->Handle();
    else if (t.Popup && t.Popup->PopupComponent()) {
        if (TCustomForm* f = GetParentForm(t.Popup->PopupComponent(), true); f && f->HandleAllocated())
            owner = f->Handle();
    }
    w->ShowAt(Pos, Avoid, owner);
    if (SelectFirst) {
        for (int i = 0; i < Parent->Count(); ++i)
            if (Selectable(Parent->Items(i))) {
                w->Select(i);
                break;
            }
    }
}

void OpenSubMenu(int Depth, int Index, bool SelectFirst) {
    TMenuWindow* w = Level(Depth);
    TMenuItem* item = w->ParentItem->Items(Index);
    CloseLevels(Depth + 1);
    if (!item->Enabled() || !HasSubMenu(item)) return;
    const TRect r = w->ItemRectOnScreen(Index);
    const TRect win = w->WindowRectOnScreen();
    OpenLevel(item, Point(win.Right - 2, r.Top - MenuBorder), Rect(win.Left + 2, r.Top, win.Right, r.Bottom),
              SelectFirst);
}

std::vector<TRect> BarItemsOnScreen(TCustomForm* Form) {
    std::vector<TRect> r = detail::MenuBarItems(Form->Menu(), Form, Form->Width());
    const TRect w = Form->WindowRectOnScreen();
    for (TRect& i : r)
        if (i.Right > i.Left) i.Offset(w.Left, w.Top);
    return r;
}

// Opens the bar item's drop-down (an item without one is picked when Pick is set).
void OpenBarItem(int Index, bool SelectFirst, bool PickPlain) {
    auto& t = Tracker();
    TMenuItem* bar = BarMenuItem();
    if (!bar || Index < 0 || Index >= bar->Count()) return;
    CloseLevels(0);
    t.BarIndex = Index;
    RepaintBar();
    TMenuItem* item = bar->Items(Index);
    UpdateItem(item);
    if (!HasSubMenu(item)) {
        if (PickPlain && item->Enabled()) Pick(item);
        return;
    }
    if (!item->Enabled()) return;
    const TRect r = BarItemsOnScreen(t.Form)[size_t(Index)];
    OpenLevel(item, Point(r.Left, r.Bottom), r, SelectFirst);
}

int NextSelectable(const TMenuItem* Parent, int From, int Step) {
    const int n = Parent->Count();
    if (n == 0) return -1;
    int i = From;
    for (int k = 0; k < n; ++k) {
        i = ((i + Step) % n + n) % n;
        if (Selectable(Parent->Items(i))) return i;
    }
    return -1;
}

int NextBarItem(int From, int Step) {
    TMenuItem* bar = BarMenuItem();
    const int n = bar ? bar->Count() : 0;
    int i = From;
    for (int k = 0; k < n; ++k) {
        i = ((i + Step) % n + n) % n;
        if (bar->Items(i)->Visible()) return i;
    }
    return -1;
}

bool StartBar(TCustomForm* Form) {
    auto& t = Tracker();
    if (t.Active) EndMenu();
    if (!Form || !Form->Menu() || Form->MenuBarRect().IsEmpty() || !Form->IsWindowEnabled()) return false;
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE);
    ClearHover();
    t.Active = true;
    t.Form = Form;
    t.BarIndex = -1;
    return true;
}

// A letter picks the item it is the accelerator of; among several, the next one is selected.
void AcceleratorKey(char Char) {
    auto& t = Tracker();
    TMenuWindow* w = TopLevel();
    if (!w) {
        TMenuItem* bar = BarMenuItem();
        if (!bar) return;
        for (int i = 0; i < bar->Count(); ++i)
            if (bar->Items(i)->Visible() && IsAccel(static_cast<uint8_t>(Char), bar->Items(i)->Caption())) {
                OpenBarItem(i, true, true);
                return;
            }
        return;
    }
    std::vector<int> hits;
    for (int i = 0; i < w->ParentItem->Count(); ++i)
        if (Selectable(w->ParentItem->Items(i)) &&
            IsAccel(static_cast<uint8_t>(Char), w->ParentItem->Items(i)->Caption()))
            hits.push_back(i);
    if (hits.empty()) return;
    if (hits.size() > 1) {
        const auto next = std::upper_bound(hits.begin(), hits.end(), w->Selected);
        w->Select(next == hits.end() ? hits.front() : *next);
        return;
    }
    w->Select(hits.front());
    TMenuItem* item = w->ParentItem->Items(hits.front());
    if (HasSubMenu(item))
        OpenSubMenu(t.Levels - 1, hits.front(), true);
    else
        Pick(item);
}

// The next bar item is selected, its menu opened when one was open.
void MoveAlongBar(int Step) {
    auto& t = Tracker();
    const int next = NextBarItem(t.BarIndex, Step);
    if (t.Levels > 0) {
        OpenBarItem(next, true, false);
        return;
    }
    t.BarIndex = next;
    RepaintBar();
}

bool MoveToColumn(TMenuWindow* W, int Step) {
    const int i = W->ColumnNeighbour(Step);
    if (i < 0) return false;
    W->Select(i);
    CloseLevels(Tracker().Levels);
    return true;
}

void MenuKey(uint16_t Key) {
    auto& t = Tracker();
    TMenuWindow* w = TopLevel();
    const bool bar = t.Form != nullptr;
    switch (Key) {
        case VK_ESCAPE:
            if (t.Levels > 1 || (t.Levels == 1 && bar))
                CloseLevels(t.Levels - 1);
            else
                Finish();
            return;
        case VK_MENU:
        case VK_F10: Finish(); return;
        case VK_UP:
        case VK_DOWN:
            if (!w) {
                if (bar && t.BarIndex >= 0) OpenBarItem(t.BarIndex, true, false);
                return;
            }
            if (const int i = NextSelectable(w->ParentItem, w->Selected < 0 && Key == VK_DOWN ? -1 : w->Selected,
                                             Key == VK_DOWN ? 1 : -1);
                i >= 0) {
                w->Select(i);
                CloseLevels(t.Levels);
            }
            return;
        case VK_RIGHT:
            if (w && w->Selected >= 0 && HasSubMenu(w->ParentItem->Items(w->Selected)) &&
                w->ParentItem->Items(w->Selected)->Enabled()) {
                OpenSubMenu(t.Levels - 1, w->Selected, true);
                return;
            }
            if (w && MoveToColumn(w, 1)) return;
            if (bar) MoveAlongBar(1);
            return;
        case VK_LEFT:
            if (w && MoveToColumn(w, -1)) return;
            if (t.Levels > 1) {
                CloseLevels(t.Levels - 1);
                return;
            }
            if (bar) MoveAlongBar(-1);
            return;
        case VK_RETURN:
        case VK_SPACE:
            if (!w) {
                if (bar && t.BarIndex >= 0) OpenBarItem(t.BarIndex, true, true);
                return;
            }
            if (w->Selected < 0) return;
            if (TMenuItem* item = w->ParentItem->Items(w->Selected); HasSubMenu(item))
                OpenSubMenu(t.Levels - 1, w->Selected, true);
            else if (item->Enabled())
                Pick(item);
            return;
        default: return;
    }
}

// Which open level shows the screen point, or -1.
int LevelAt(TPoint P) {
    for (int i = Tracker().Levels - 1; i >= 0; --i)
        if (Level(i)->WindowRectOnScreen().Contains(P)) return i;
    return -1;
}

int BarItemAt(TPoint P) {
    auto& t = Tracker();
    if (!t.Form || !t.Form->Menu()) return -1;
    const std::vector<TRect> r = BarItemsOnScreen(t.Form);
    for (size_t i = 0; i < r.size(); ++i)
        if (r[i].Right > r[i].Left && r[i].Contains(P)) return static_cast<int>(i);
    return -1;
}

constexpr uintptr_t HoverTimer = 1;
constexpr uint32_t HoverDelay = 400;  // ms

// The mouse over an open level: the item under it is selected, its submenu opens; a release on
// an item picks it.
void LevelMouse(int Depth, UINT Msg, TPoint ScreenPos) {
    auto& t = Tracker();
    TMenuWindow* w = Level(Depth);
    const TPoint p = w->ScreenToClient(ScreenPos);
    const int i = w->ItemAt(Point(p.X - MenuBorder, p.Y - MenuBorder));
    TMenuItem* item = i >= 0 ? w->ParentItem->Items(i) : nullptr;
    if (item && item->IsLine()) item = nullptr;
    switch (Msg) {
        case WM_MOUSEMOVE:
            if (!item) {
                // Off the items, a submenu's parent item stays selected.
                if (t.Levels == Depth + 1) w->Select(-1);
                return;
            }
            if (w->Selected == i && (t.Levels > Depth + 1 || !HasSubMenu(item))) return;
            // A submenu opens, and the one open before closes, once the mouse rests a moment, so
            // passing over items on the way to another does not flicker menus open and shut.
            w->Select(i);
            SetTimer(w->Handle(), HoverTimer, HoverDelay);
            return;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            if (item && item->Enabled() && !HasSubMenu(item)) Pick(item);
            return;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            if (item && HasSubMenu(item) && item->Enabled()) OpenSubMenu(Depth, i, false);
            return;
        default: return;
    }
}

void TMenuWindow::DefaultHandler(TMessage& Message) {
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        return;
    }
    if (Message.Msg == WM_TIMER && Message.WParam == HoverTimer) {
        KillTimer(Handle(), HoverTimer);
        for (int d = 0; d < Tracker().Levels; ++d) {
            if (Level(d) != this) continue;
            if (Selected >= 0 && HasSubMenu(ParentItem->Items(Selected))) {
                if (Tracker().Levels <= d + 1 || Level(d + 1)->ParentItem != ParentItem->Items(Selected))
                    OpenSubMenu(d, Selected, false);
            } else {
                CloseLevels(d + 1);
            }
            return;
        }
        return;
    }
    TCustomControl::DefaultHandler(Message);
}

bool IsMouseMessage(UINT M) {
    return (M >= WM_MOUSEFIRST && M <= WM_MOUSELAST) || (M >= WM_NCMOUSEMOVE && M <= WM_NCMOUSEMOVE + 9);
}

bool IsPress(UINT M) {
    return M == WM_LBUTTONDOWN || M == WM_RBUTTONDOWN || M == WM_MBUTTONDOWN || M == WM_LBUTTONDBLCLK ||
           M == WM_RBUTTONDBLCLK || M == WM_NCLBUTTONDOWN || M == WM_NCLBUTTONDOWN + 3 || M == WM_NCLBUTTONDOWN + 6 ||
           M == WM_NCLBUTTONDBLCLK;
}

// Mouse messages as the client-area message they stand for.
UINT ClientMouseMessage(UINT M) {
    return M >= WM_NCMOUSEMOVE && M <= WM_NCMOUSEMOVE + 9 ? M - WM_NCMOUSEMOVE + WM_MOUSEMOVE : M;
}

}  // namespace

bool MenuActive() { return Tracker().Active; }

void EndMenu() {
    if (Tracker().Active) Finish();
}

namespace detail {

int MenuBarHeight(const TMainMenu* Menu, const TControl* Measure) {
    if (!Menu) return 0;
    const TMenuItem* items = Menu->Items();
    for (int i = 0; i < items->Count(); ++i)
        if (items->Items(i)->Visible()) return MenuTextHeight(Measure) + 6;
    return 0;
}

std::vector<TRect> MenuBarItems(const TMainMenu* Menu, const TControl* Measure, int Width) {
    std::vector<TRect> r;
    if (!Menu) return r;
    const int h = MenuBarHeight(Menu, Measure);
    int x = 0, y = 0;
    for (int i = 0; i < Menu->Items()->Count(); ++i) {
        TMenuItem* item = Menu->Items()->Items(i);
        if (!item->Visible()) {
            r.push_back(TRect());
            continue;
        }
        const int w = MenuTextWidth(Measure, StripHotkey(item->Caption())) + 2 * BarItemPadding;
        // Items that do not fit start another row, as a narrow window's bar wraps.
        if (x > 0 && x + w > Width) {
            x = 0;
            y += h;
        }
        r.push_back(Bounds(x, y, w, h));
        x += w;
    }
    return r;
}

void PaintMenuBar(TCustomForm* Form, TCanvas& DC) {
    const TRect bar = Form->MenuBarRect();
    if (bar.IsEmpty()) return;
    DC.FillSolid(bar, clBtnFace);
    DC.Font()->Assign(MenuFont());
    auto& t = Tracker();
    const bool ours = t.Active && t.Form == Form;
    const std::vector<TRect> rects = MenuBarItems(Form->Menu(), Form, Form->Width());
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].Right <= rects[i].Left) continue;
        TMenuItem* item = Form->Menu()->Items()->Items(static_cast<int>(i));
        const bool hot = ours ? t.BarIndex == static_cast<int>(i)
                              : !t.Active && t.HotForm == Form && t.HotIndex == static_cast<int>(i);
        if (hot) DC.FillSolid(rects[i], clHighlight);
        const TColor text = !item->Enabled() ? clGrayText : hot ? clHighlightText : clMenuText;
        DrawCaption(DC, item->Caption(), rects[i], text, DT_CENTER);
    }
}

void MenuBarPress(TCustomForm* Form, TPoint ScreenPos) {
    if (!StartBar(Form)) return;
    const int i = BarItemAt(ScreenPos);
    if (i < 0) {
        Finish();
        return;
    }
    OpenBarItem(i, false, true);
}

void MenuBarKey(TCustomForm* Form, char Char) {
    if (Char != 0) {
        // Alt+letter opens the bar item it is the accelerator of; other letters are left alone.
        TMainMenu* menu = Form ? Form->Menu() : nullptr;
        if (!menu) return;
        bool found = false;
        for (int i = 0; i < menu->Items()->Count(); ++i)
            found = found || (menu->Items()->Items(i)->Visible() &&
                              IsAccel(static_cast<uint8_t>(Char), menu->Items()->Items(i)->Caption()));
        if (!found || !StartBar(Form)) return;
        AcceleratorKey(Char);
        return;
    }
    if (!StartBar(Form)) return;
    Tracker().BarIndex = NextBarItem(-1, 1);
    RepaintBar();
}

TMenuModeState MenuModeState() {
    auto& t = Tracker();
    TMenuModeState s;
    if (!t.Active) return s;
    s.Form = t.Form;
    s.BarIndex = t.BarIndex;
    for (int i = 0; i < t.Levels; ++i) {
        s.Windows.push_back(Level(i));
        s.Parents.push_back(Level(i)->ParentItem);
        s.Selected.push_back(Level(i)->Selected);
    }
    return s;
}

void MenuFormGoing(TCustomForm* Form) {
    if (Tracker().Form == Form) Finish();
    if (Tracker().HotForm == Form) {
        Tracker().HotForm = nullptr;
        Tracker().HotIndex = -1;
    }
}

void MenuBarHover(TCustomForm* Form, std::optional<TPoint> ScreenPos) {
    auto& t = Tracker();
    if (t.Active) return;
    int index = -1;
    if (ScreenPos && Form->Menu()) {
        const std::vector<TRect> r = BarItemsOnScreen(Form);
        for (size_t i = 0; i < r.size() && index < 0; ++i)
            if (r[i].Right > r[i].Left && r[i].Contains(*ScreenPos) && Form->Menu()->Items()->Items(int(i))->Enabled())
                index = static_cast<int>(i);
    }
    if (index >= 0 || t.HotForm == Form) SetHover(Form, index);
}

bool MenuMessage(const TMsg& Msg) {
    auto& t = Tracker();
    const UINT m = Msg.message;
    if (!t.Active) {
        // Alt pressed and let go alone enters the bar of the form it was pressed on.
        // Alt with Ctrl (AltGr) is typing, not the menu.
        if (m == WM_SYSKEYDOWN || m == WM_KEYDOWN)
            t.AltAlone = Msg.wParam == VK_MENU && GetKeyState(VK_CONTROL) >= 0;
        else if (((m == WM_SYSKEYUP || m == WM_KEYUP) && Msg.wParam != VK_MENU) || IsPress(m))
            t.AltAlone = false;
        else if (m == WM_SYSKEYUP && Msg.wParam == VK_MENU && t.AltAlone) {
            t.AltAlone = false;
            if (TWinControl* w = FindControl(Msg.hwnd)) MenuBarKey(GetParentForm(w, true), 0);
        }
        return false;
    }
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST) {
        if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
            t.AltAlone = false;
            MenuKey(static_cast<uint16_t>(Msg.wParam));
        } else if (m == WM_CHAR || m == WM_SYSCHAR) {
            const char c = static_cast<char>(Msg.wParam);
            if (static_cast<uint8_t>(c) > ' ') AcceleratorKey(c);
        }
        return true;
    }
    if (!IsMouseMessage(m) || m == WM_MOUSEWHEEL) return false;
    const UINT cm = ClientMouseMessage(m);
    const TPoint p = Msg.pt;
    if (const int depth = LevelAt(p); depth >= 0) {
        LevelMouse(depth, cm, p);
        return true;
    }
    if (const int i = BarItemAt(p); i >= 0) {
        // Over the bar: another item opens when a drop-down is open; a press on the open one
        // closes it.
        if (cm == WM_MOUSEMOVE) {
            if (t.Levels > 0 && i != t.BarIndex) OpenBarItem(i, false, false);
        } else if (cm == WM_LBUTTONDOWN || cm == WM_LBUTTONDBLCLK) {
            if (i == t.BarIndex && t.Levels > 0)
                Finish();
            else
                OpenBarItem(i, false, true);
        }
        return true;
    }
    // A press anywhere else closes the menu and goes no further.
    if (IsPress(m)) Finish();
    return true;
}

TMenuItem* TrackPopup(TPopupMenu* Menu, TPoint ScreenPos) {
    auto& t = Tracker();
    if (t.Active) EndMenu();
    if (!HasSubMenu(Menu->Items())) return nullptr;
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE);
    ReleaseCapture();
    t.Active = true;
    t.Popup = Menu;
    t.Chosen = nullptr;
    OpenLevel(Menu->Items(), ScreenPos, TRect(), false);
    // Aligned against the point: its right edge or its centre there.
    TMenuWindow* w = Level(0);
    if (Menu->Alignment() != TPopupAlignment::paLeft) {
        const int dx = Menu->Alignment() == TPopupAlignment::paRight ? w->Width() : w->Width() / 2;
        w->SetBounds(std::max(w->Left() - dx, Screen()->MonitorFromPoint(ScreenPos).WorkareaRect.Left), w->Top(),
                     w->Width(), w->Height());
    }
    TApplication* app = Application();
    while (t.Active && t.Popup == Menu && !app->Terminated()) {
        // With nothing left to handle and nothing to wait on (no display), the menu closes.
        if (!app->ProcessMessage()) {
            if (!app->WaitHandler) break;
            app->HandleMessage();
        }
    }
    if (t.Popup == Menu) Finish();
    TMenuItem* chosen = t.Chosen;
    t.Chosen = nullptr;
    return chosen;
}

}  // namespace detail
}  // namespace ui
