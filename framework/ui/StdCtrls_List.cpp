// List boxes, the combo box with its drop-down list, and the scroll bar control.
#include <algorithm>
#include <cstring>

#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"
#include "framework/ui/Themes.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// TCustomListBox

TCustomListBox::TCustomListBox(TComponent* Owner)
    : TWinControl(Owner), FItems(std::make_unique<rtl::TStringList>()), FCanvas(std::make_unique<TCanvas>()) {
    // OnClick follows a change of selection, not any mouse release.
    FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csCaptureMouse};
    FColor = clWindow;
    SetParentColor(false);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
    FItems->OnChange = [this](TObject*) { ItemsChanged(); };
}

TCustomListBox::~TCustomListBox() { FItems->OnChange = nullptr; }

rtl::TStrings* TCustomListBox::Items() const noexcept { return FItems.get(); }

void TCustomListBox::SetItems(rtl::TStrings* Value) { FItems->Assign(Value); }

void TCustomListBox::SetStyle(TListBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    ItemsChanged();
}

int TCustomListBox::Count() const { return IsVirtual() ? FCount : FItems->Count(); }

void TCustomListBox::SetCount(int Value) {
    FCount = std::max(0, Value);
    ItemsChanged();
}

AnsiString TCustomListBox::ItemText(int Index) const {
    if (Index < 0 || Index >= Count()) return {};
    if (IsVirtual()) {
        AnsiString s;
        if (OnData) OnData(const_cast<TCustomListBox*>(this), Index, s);
        return s;
    }
    return FItems->Strings(Index);
}

void TCustomListBox::SetSorted(bool Value) {
    FSorted = Value;
    FItems->SetSorted(Value);
}

void TCustomListBox::ItemsChanged() {
    const int n = Count();
    FSelected.resize(static_cast<size_t>(n), false);
    if (FItemIndex >= n) FItemIndex = -1;
    if (FTopIndex > std::max(0, n - VisibleRows())) FTopIndex = std::max(0, n - VisibleRows());
    UpdateScrollBar();
    Invalidate();
}

int TCustomListBox::ItemHeight() const {
    if (FStyle == lbStandard || FStyle == lbVirtual) return std::max(1, MeasureTextMetrics().tmHeight);
    return FItemHeight;
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value <= 0) return;
    FItemHeight = Value;
    UpdateScrollBar();
    Invalidate();
}

int TCustomListBox::ItemHeightOf(int Index) const {
    int h = ItemHeight();
    if (FStyle == lbOwnerDrawVariable && OnMeasureItem) OnMeasureItem(const_cast<TCustomListBox*>(this), Index, h);
    return std::max(1, h);
}

TRect TCustomListBox::ItemRect(int Index) const {
    const int w = ClientWidth();
    int y = 0;
    if (Index >= FTopIndex) {
        for (int i = FTopIndex; i < Index; ++i) y += ItemHeightOf(i);
    } else {
        for (int i = Index; i < FTopIndex; ++i) y -= ItemHeightOf(i);
    }
    return Rect(0, y, w, y + ItemHeightOf(Index));
}

int TCustomListBox::ItemAtPos(TPoint Pos, bool Existing) const {
    const int n = Count();
    if (Pos.X >= 0 && Pos.X < ClientWidth() && Pos.Y >= 0) {
        int y = 0;
        for (int i = FTopIndex; i < n; ++i) {
            y += ItemHeightOf(i);
            if (Pos.Y < y) return i;
        }
    }
    return Existing ? -1 : n;
}

int TCustomListBox::VisibleRows() const { return std::max(1, ClientHeight() / ItemHeight()); }

void TCustomListBox::SetTopIndex(int Value) {
    Value = std::clamp(Value, 0, std::max(0, Count() - VisibleRows()));
    if (Value == FTopIndex) return;
    FTopIndex = Value;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::MakeVisible(int Index) {
    if (Index < 0) return;
    if (Index < FTopIndex)
        SetTopIndex(Index);
    else if (Index >= FTopIndex + VisibleRows())
        SetTopIndex(Index - VisibleRows() + 1);
}

void TCustomListBox::SetItemIndex(int Value) {
    if (Value < -1 || Value >= Count()) Value = -1;
    FItemIndex = Value;
    if (!FMultiSelect)
        SyncSelection();
    else if (Value >= 0)
        FAnchorIndex = Value;
    MakeVisible(Value);
    Invalidate();
}

void TCustomListBox::SyncSelection() {
    std::fill(FSelected.begin(), FSelected.end(), false);
    if (FItemIndex >= 0 && FItemIndex < static_cast<int>(FSelected.size())) FSelected[FItemIndex] = true;
}

void TCustomListBox::SetMultiSelect(bool Value) {
    FMultiSelect = Value;
    if (!Value) SyncSelection();
    Invalidate();
}

bool TCustomListBox::Selected(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FSelected.size()))
        throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return FSelected[Index];
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (Index < 0 || Index >= static_cast<int>(FSelected.size()))
        throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    if (!FMultiSelect) {
        if (Value)
            SetItemIndex(Index);
        else if (FItemIndex == Index)
            SetItemIndex(-1);
        return;
    }
    FSelected[Index] = Value;
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!FMultiSelect) return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::ClearSelection() {
    if (FMultiSelect)
        std::fill(FSelected.begin(), FSelected.end(), false);
    else
        SetItemIndex(-1);
    Invalidate();
}

void TCustomListBox::SelectAll() {
    if (!FMultiSelect) return;
    std::fill(FSelected.begin(), FSelected.end(), true);
    Invalidate();
}

int TCustomListBox::FindPrefix(const AnsiString& Prefix, int Start) const {
    const int n = Count();
    if (n == 0 || Prefix.empty()) return -1;
    const AnsiString p = rtl::AnsiUpperCase(Prefix);
    if (Start < -1 || Start >= n) Start = -1;
    for (int k = 1; k <= n; ++k) {
        const int i = (Start + k) % n;
        const AnsiString t = ItemText(i);
        if (t.size() >= p.size() && rtl::AnsiUpperCase(std::string_view(t).substr(0, p.size())) == p) return i;
    }
    return -1;
}

void TCustomListBox::UserSelect(int Index, TShiftState Shift) {
    if (Index < 0 || Index >= Count()) return;
    if (!FMultiSelect) {
        FItemIndex = Index;
        SyncSelection();
    } else if (!FExtendedSelect) {
        FItemIndex = Index;
        FSelected[Index] = !FSelected[Index];
    } else if (Shift.Contains(ssShift)) {
        if (FAnchorIndex < 0) FAnchorIndex = Index;
        if (!Shift.Contains(ssCtrl)) std::fill(FSelected.begin(), FSelected.end(), false);
        for (int i = std::min(FAnchorIndex, Index); i <= std::max(FAnchorIndex, Index); ++i) FSelected[i] = true;
        FItemIndex = Index;
    } else if (Shift.Contains(ssCtrl)) {
        FSelected[Index] = !FSelected[Index];
        FItemIndex = FAnchorIndex = Index;
    } else {
        std::fill(FSelected.begin(), FSelected.end(), false);
        FSelected[Index] = true;
        FItemIndex = FAnchorIndex = Index;
    }
    MakeVisible(Index);
    Invalidate();
    Click();
}

void TCustomListBox::HandleKey(uint16_t Key) {
    const int n = Count();
    if (n == 0) return;
    const int page = std::max(1, VisibleRows() - 1);
    const int cur = FItemIndex;
    int to;
    switch (Key) {
        case VK_UP: to = cur - 1; break;
        case VK_DOWN: to = cur + 1; break;
        case VK_PRIOR: to = cur - page; break;
        case VK_NEXT: to = cur + page; break;
        case VK_HOME: to = 0; break;
        case VK_END: to = n - 1; break;
        case VK_SPACE:
            if (FMultiSelect && cur >= 0) UserSelect(cur, FExtendedSelect ? TShiftState{ssCtrl} : TShiftState{});
            return;
        default: return;
    }
    to = std::clamp(to, 0, n - 1);
    if (to == cur) return;
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
    if (FMultiSelect && !FExtendedSelect) {
        FItemIndex = to;  // the focus moves; Space toggles
        MakeVisible(to);
        Invalidate();
        return;
    }
    UserSelect(to, shift);
}

void TCustomListBox::HandleChar(char C) {
    if (static_cast<unsigned char>(C) < 32 || FStyle == lbOwnerDrawFixed || FStyle == lbOwnerDrawVariable) {
        if (static_cast<unsigned char>(C) < 32) return;
        if (FItems->Count() == 0) return;
    }
    const uint32_t now = GetTickCount();
    int start = FItemIndex;
    if (!FTypeAhead.empty() && now - FTypeAheadTick <= TypeAheadTimeout) {
        FTypeAhead += C;
        start = FItemIndex - 1;  // the current item still counts while the prefix grows
    } else {
        FTypeAhead.assign(1, C);
    }
    FTypeAheadTick = now;
    const int i = FindPrefix(FTypeAhead, start);
    if (i >= 0 && i != FItemIndex) UserSelect(i, {});
}

void TCustomListBox::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, Count() - 1);
    si.nPage = static_cast<UINT>(VisibleRows());
    si.nPos = FTopIndex;
    SetScrollInfo(SB_VERT, si);
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_VSCROLL | WS_TABSTOP;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
    Params.WinClassName = "LISTBOX";
}

void TCustomListBox::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateScrollBar();
}

void TCustomListBox::WMSize(TWMSize& Message) {
    TWinControl::WMSize(Message);
    UpdateScrollBar();
}

// What the list window itself does with what the control left to it: one named handler per message.
struct TListBoxWindowProc {
    using TList = TCustomListBox;
    static void KeyDown(TList& L, TMessage& M) { L.HandleKey(M.WParamLo); }
    static void Char(TList& L, TMessage& M) { L.HandleChar(static_cast<char>(M.WParamLo)); }
    static void LButtonDown(TList& L, TMessage& M) {
        if (L.CanFocus() && !L.Focused()) L.SetFocus();
        const int i = L.ItemAtPos(LParamToPoint(M.LParam), true);
        TShiftState shift;
        if (M.WParam & MK_SHIFT) shift.Include(ssShift);
        if (M.WParam & MK_CONTROL) shift.Include(ssCtrl);
        if (i >= 0 && M.Msg == WM_LBUTTONDOWN) L.UserSelect(i, shift);
        L.FTracking = !L.FMultiSelect;
    }
    static void MouseMove(TList& L, TMessage& M) {
        if (!L.FTracking) return;
        const int i = L.ItemAtPos(LParamToPoint(M.LParam), true);
        if (i >= 0 && i != L.FItemIndex) L.UserSelect(i, {});
    }
    static void LButtonUp(TList& L, TMessage&) { L.FTracking = false; }
    static void VScroll(TList& L, TMessage& M) {
        TWMScroll m(M);
        const int page = L.VisibleRows();
        switch (m.ScrollCode) {
            case SB_LINEUP: L.SetTopIndex(L.FTopIndex - 1); break;
            case SB_LINEDOWN: L.SetTopIndex(L.FTopIndex + 1); break;
            case SB_PAGEUP: L.SetTopIndex(L.FTopIndex - page); break;
            case SB_PAGEDOWN: L.SetTopIndex(L.FTopIndex + page); break;
            case SB_THUMBPOSITION:
            case SB_THUMBTRACK: {
                TScrollInfo si;
                si.fMask = SIF_TRACKPOS;
                L.GetScrollInfo(SB_VERT, si);
                L.SetTopIndex(m.ScrollCode == SB_THUMBTRACK ? si.nTrackPos : m.Pos);
                break;
            }
            case SB_TOP: L.SetTopIndex(0); break;
            case SB_BOTTOM: L.SetTopIndex(L.Count()); break;
        }
    }
    static void MouseWheel(TList& L, TMessage& M) {
        L.SetTopIndex(L.FTopIndex - M.WParamHiS / 120 * GetWheelScrollLines());
        M.Result = 1;
    }
    static void GetDlgCode(TList&, TMessage& M) { M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }
    static void FocusChanged(TList& L, TMessage&) { L.Invalidate(); }
    static void Paint(TList& L, TMessage& M) {
        if (auto* dc = reinterpret_cast<TCanvas*>(M.WParam)) L.PaintWindow(dc);
    }
    static void GetCount(TList& L, TMessage& M) { M.Result = L.Count(); }
    static void GetCurSel(TList& L, TMessage& M) { M.Result = L.FItemIndex; }
    static void SetCurSel(TList& L, TMessage& M) {
        L.SetItemIndex(static_cast<int32_t>(M.WParam));
        M.Result = L.FItemIndex;
    }
    static void GetTopIndex(TList& L, TMessage& M) { M.Result = L.FTopIndex; }
    static void SetTopIndex(TList& L, TMessage& M) { L.SetTopIndex(static_cast<int32_t>(M.WParam)); }
    static void GetItemHeight(TList& L, TMessage& M) { M.Result = L.ItemHeightOf(static_cast<int32_t>(M.WParam)); }
    static void SetItemHeight(TList& L, TMessage& M) { L.SetItemHeight(M.LParamLo); }
    static void GetItemRect(TList& L, TMessage& M) {
        if (auto* r = reinterpret_cast<TRect*>(M.LParam)) *r = L.ItemRect(static_cast<int32_t>(M.WParam));
        M.Result = 1;
    }
    static void ItemFromPoint(TList& L, TMessage& M) {
        const int i = L.ItemAtPos(LParamToPoint(M.LParam), true);
        M.Result = i >= 0 ? i : static_cast<LRESULT>(MakeWParam(std::max(0, L.Count() - 1), 1));
    }
    static void FindString(TList& L, TMessage& M) {
        const char* s = reinterpret_cast<const char*>(M.LParam);
        const int i = L.FindPrefix(s ? AnsiString(s) : AnsiString(), static_cast<int32_t>(M.WParam));
        if (i >= 0 && M.Msg == LB_SELECTSTRING) L.SetItemIndex(i);
        M.Result = i >= 0 ? i : LB_ERR;
    }
    static void GetText(TList& L, TMessage& M) {
        const int i = static_cast<int32_t>(M.WParam);
        if (i < 0 || i >= L.Count()) {
            M.Result = LB_ERR;
            return;
        }
        const AnsiString t = L.ItemText(i);
        if (auto* buf = reinterpret_cast<char*>(M.LParam)) {
            std::memcpy(buf, t.c_str(), t.size() + 1);
        }
        M.Result = static_cast<LRESULT>(t.size());
    }
    static void AddString(TList& L, TMessage& M) {
        const char* s = reinterpret_cast<const char*>(M.LParam);
        const auto at = static_cast<int32_t>(M.WParam);
        if (M.Msg == LB_ADDSTRING || at < 0)
            M.Result = L.FItems->Add(s ? s : "");
        else {
            L.FItems->Insert(at, s ? s : "");
            M.Result = at;
        }
    }
    static void DeleteString(TList& L, TMessage& M) {
        L.FItems->Delete(static_cast<int32_t>(M.WParam));
        M.Result = L.FItems->Count();
    }
    static void ResetContent(TList& L, TMessage&) { L.FItems->Clear(); }

    using THandler = void (*)(TList&, TMessage&);
    // The handler of a message the list window knows; null for the rest.
    static THandler Find(UINT Msg) {
        switch (Msg) {
            case WM_KEYDOWN: return KeyDown;
            case WM_CHAR: return Char;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK: return LButtonDown;
            case WM_MOUSEMOVE: return MouseMove;
            case WM_LBUTTONUP: return LButtonUp;
            case WM_VSCROLL: return VScroll;
            case WM_MOUSEWHEEL: return MouseWheel;
            case WM_GETDLGCODE: return GetDlgCode;
            case WM_SETFOCUS:
            case WM_KILLFOCUS: return FocusChanged;
            case WM_PAINT: return Paint;
            case LB_GETCOUNT: return GetCount;
            case LB_GETCURSEL: return GetCurSel;
            case LB_SETCURSEL: return SetCurSel;
            case LB_GETTOPINDEX: return GetTopIndex;
            case LB_SETTOPINDEX: return SetTopIndex;
            case LB_GETITEMHEIGHT: return GetItemHeight;
            case LB_SETITEMHEIGHT: return SetItemHeight;
            case LB_GETITEMRECT: return GetItemRect;
            case LB_ITEMFROMPOINT: return ItemFromPoint;
            case LB_FINDSTRING:
            case LB_SELECTSTRING: return FindString;
            case LB_GETTEXT: return GetText;
            case LB_ADDSTRING:
            case LB_INSERTSTRING: return AddString;
            case LB_DELETESTRING: return DeleteString;
            case LB_RESETCONTENT: return ResetContent;
            default: return nullptr;
        }
    }
};

void TCustomListBox::DefaultHandler(TMessage& Message) {
    if (const TListBoxWindowProc::THandler h = TListBoxWindowProc::Find(Message.Msg))
        h(*this, Message);
    else
        TWinControl::DefaultHandler(Message);
}

void TCustomListBox::DrawItem(int Index, TRect R, TOwnerDrawState State) {
    TCanvas* c = Canvas();
    if (OnDrawItem && FStyle != lbStandard && FStyle != lbVirtual) {
        OnDrawItem(this, Index, R, State);
        return;
    }
    c->FillRect(R);
    c->Brush()->SetStyle(bsClear);
    c->TextRect(R, R.Left + 2, R.Top, ItemText(Index));
    c->Brush()->SetStyle(bsSolid);
}

void TCustomListBox::PaintWindow(HDC DC) {
    TCanvas* c = FCanvas.get();
    c->SetSurface(DC->Surface());
    c->SelectClipRgn(nullptr);
    TRegion clip;
    if (DC->GetClipRgn(clip)) c->SelectClipRgn(&clip);
    const TPoint org = DC->ViewportOrg();
    c->SetViewportOrgEx(org.X, org.Y);
    c->Font()->Assign(Font());
    c->Brush()->SetColor(Color());
    const TRect client = GetClientRect();
    c->FillRect(client);
    const bool focused = Focused();
    for (int i = FTopIndex, n = Count(); i < n; ++i) {
        const TRect r = ItemRect(i);
        if (r.Top >= client.Bottom) break;
        TOwnerDrawState st;
        const bool sel = i < static_cast<int>(FSelected.size()) && FSelected[i];
        if (sel) st.Include(odSelected);
        if (focused && i == FItemIndex) st.Include(odFocused);
        if (!Enabled()) st.Include(odDisabled);
        c->Brush()->SetColor(sel ? clHighlight : Color());
        c->Font()->SetColor(sel ? clHighlightText : Font()->Color());
        DrawItem(i, r, st);
        if (st.Contains(odFocused)) c->DrawFocusRect(r);
    }
    c->SetSurface(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The combo box's drop-down list

class TComboDropDown : public TCustomListBox {
    RTL_CLASS(TComboDropDown, TCustomListBox)
public:
    TComboDropDown(TComponent* Owner, TCustomComboBox* Combo) : TCustomListBox(Owner), FCombo(Combo) {
        FControlStyle.Exclude(csCaptureMouse);  // it holds the mouse from opening to closing
        SetTabStop(false);
        SetVisible(false);
    }

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomListBox::CreateParams(Params);
        Params.Style = WS_POPUP | WS_BORDER | WS_VSCROLL;
        Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    }
    void DefaultHandler(TMessage& Message) override {
        switch (Message.Msg) {
            case WM_MOUSEACTIVATE: Message.Result = MA_NOACTIVATE; return;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN: {
                // The list holds the mouse while open: a press anywhere else closes it.
                const TPoint p = LParamToPoint(Message.LParam);
                const TPoint screen = ClientToScreen(p);
                if (!WindowRectOnScreen().Contains(screen)) {
                    FCombo->CloseUp(false);
                    return;
                }
                if (!GetClientRect().Contains(p)) {
                    // Its scroll bar.
                    const LRESULT hit = Perform(WM_NCHITTEST, 0, PointToLParam(screen.X, screen.Y));
                    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK)
                        Perform(WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), PointToLParam(screen.X, screen.Y));
                    return;
                }
                [[fallthrough]];
            }
            case WM_MOUSEMOVE: {
                // Hot tracking without taking the focus from the combo box.
                const int i = ItemAtPos(LParamToPoint(Message.LParam), true);
                if (i >= 0 && i != FItemIndex) SetItemIndex(i);
                return;
            }
            case WM_LBUTTONUP:
                if (ItemAtPos(LParamToPoint(Message.LParam), true) >= 0) FCombo->CloseUp(true);
                return;
            case WM_CANCELMODE: FCombo->CloseUp(false); return;
            case WM_CAPTURECHANGED:
                if (FHolding && static_cast<HWND>(Message.LParam) != Handle()) {
                    FHolding = false;
                    FCombo->CloseUp(false);
                }
                return;
            default: TCustomListBox::DefaultHandler(Message);
        }
    }

public:
    // While open the list captures the mouse.
    void Hold() {
        SetCapture(Handle());
        FHolding = true;
    }
    void Release() {
        if (!FHolding) return;
        FHolding = false;
        if (GetCapture() == Handle()) ReleaseCapture();
    }

private:
    TCustomComboBox* FCombo;
    bool FHolding = false;
};

// ---------------------------------------------------------------------------------------------
// TCustomComboBox

namespace {
constexpr int ComboButtonWidth = 17;
}

TCustomComboBox::TCustomComboBox(TComponent* Owner) : TCustomEdit(Owner), FItems(std::make_unique<rtl::TStringList>()) {
    SetBounds(0, 0, 145, 24);
    FRightMargin = ComboButtonWidth + 1;
    FItems->OnChange = [this](TObject*) {
        if (FItemIndex >= FItems->Count()) FItemIndex = -1;
        if (FList) FList->Items()->Assign(FItems.get());
    };
}

TCustomComboBox::~TCustomComboBox() { FItems->OnChange = nullptr; }

rtl::TStrings* TCustomComboBox::Items() const noexcept { return FItems.get(); }

void TCustomComboBox::SetItems(rtl::TStrings* Value) { FItems->Assign(Value); }

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    FStyle = Value;
    Invalidate();
}

void TCustomComboBox::SetSorted(bool Value) {
    FSorted = Value;
    FItems->SetSorted(Value);
}

bool TCustomComboBox::DroppedDown() const noexcept { return FList && FList->IsWindowVisible(); }

TCustomListBox* TCustomComboBox::DropDownList() const noexcept { return DroppedDown() ? FList : nullptr; }

void TCustomComboBox::SetItemIndex(int Value) {
    if (Value < -1 || Value >= FItems->Count()) Value = -1;
    FItemIndex = Value;
    FInSetText = true;
    TControl::SetText(Value >= 0 ? FItems->Strings(Value) : AnsiString());
    FInSetText = false;
    if (FList) FList->SetItemIndex(Value);
}

void TCustomComboBox::SetDroppedDown(bool Value) {
    if (Value == DroppedDown()) return;
    if (!Value) {
        CloseUp(false);
        return;
    }
    if (OnDropDown) OnDropDown(this);
    if (!FList) {
        FList = rtl::Create<TComboDropDown>(this, this);
    }
    FList->SetParentWindow(HandleAllocated() ? TopLevelWindow()->Handle() : 0);
    FList->Font()->Assign(Font());
    FList->Items()->Assign(FItems.get());
    FList->SetBoundsRect(
        DropDownRect(WindowRectOnScreen(), std::clamp(FItems->Count(), 1, FDropDownCount), FList->ItemHeight()));
    FList->HandleNeeded();
    FList->SetItemIndex(FItemIndex);
    FList->ShowWindow(SW_SHOWNA);
    FList->Hold();
    Invalidate();
}

TRect TCustomComboBox::DropDownRect(const TRect& Box, int Rows, int RowHeight) {
    // Under the box, or above it when there is no room below and more above; never off the
    // work area of the box's monitor, cut to whole rows when it must be shorter.
    const TRect work = Screen()->MonitorFromRect(Box).WorkareaRect;
    const int border = 2;
    const int below = work.Bottom - Box.Bottom, above = Box.Top - work.Top;
    int height = Rows * RowHeight + border;
    const bool up = height > below && above > below;
    const int room = up ? above : below;
    if (height > room) height = std::max(1, (room - border) / std::max(1, RowHeight)) * RowHeight + border;
    const int width = std::min(Box.Width(), work.Width());
    const int left = std::clamp(Box.Left, work.Left, work.Right - width);
    return Bounds(left, up ? Box.Top - height : Box.Bottom, width, height);
}

void TCustomComboBox::CloseUp(bool Accept) {
    if (!DroppedDown()) return;
    const int i = FList->ItemIndex();
    FList->Release();
    FList->ShowWindow(SW_HIDE);
    Invalidate();
    if (Accept && i >= 0 && i != FItemIndex) ChooseItem(i);
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::ChooseItem(int Index) {
    SetItemIndex(Index);
    SelectAll();
    Click();
    Select();
}

void TCustomComboBox::Select() {
    if (OnSelect)
        OnSelect(this);
    else
        Change();
}

void TCustomComboBox::Change() {
    // A typed text that names an item selects it.
    if (FItemIndex < 0 || FItems->Strings(FItemIndex) != FText) FItemIndex = FItems->IndexOf(FText);
    if (FItemIndex >= 0 && FItems->Strings(FItemIndex) != FText) {
        FItemIndex = -1;
        for (int i = 0; i < FItems->Count(); ++i)
            if (FItems->Strings(i) == FText) {
                FItemIndex = i;
                break;
            }
    }
    TCustomEdit::Change();
}

void TCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (Key == 0) return;
    const bool dropped = DroppedDown();
    if (Key == VK_F4 || (Shift.Contains(ssAlt) && (Key == VK_DOWN || Key == VK_UP))) {
        SetDroppedDown(!dropped);
        Key = 0;
        return;
    }
    if (dropped) {
        switch (Key) {
            case VK_RETURN:
                CloseUp(true);
                Key = 0;
                return;
            case VK_ESCAPE:
                CloseUp(false);
                Key = 0;
                return;
            default: break;
        }
    }
    const int n = FItems->Count();
    int to = -2;
    switch (Key) {
        case VK_UP: to = std::max(0, FItemIndex - 1); break;
        case VK_DOWN: to = std::min(n - 1, FItemIndex + 1); break;
        case VK_PRIOR: to = std::max(0, FItemIndex - (FDropDownCount - 1)); break;
        case VK_NEXT: to = std::min(n - 1, FItemIndex + (FDropDownCount - 1)); break;
        case VK_HOME:
        case VK_END:
            if (FStyle == csDropDownList || dropped) to = Key == VK_HOME ? 0 : n - 1;
            break;
        case VK_DELETE:
            if (FStyle == csDropDownList) Key = 0;
            return;
        default: return;
    }
    if (to == -2) return;
    Key = 0;
    if (n == 0 || to < 0 || to == FItemIndex) return;
    ChooseItem(to);
}

void TCustomComboBox::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (FStyle != csDropDownList || Key == 0) return;
    const char c = Key;
    if (c == '\r' || c == '\x1B' || c == '\t') return;
    Key = 0;
    if (static_cast<unsigned char>(c) < 32) return;
    const uint32_t now = GetTickCount();
    int start = FItemIndex;
    if (!FTypeAhead.empty() && now - FTypeAheadTick <= TCustomListBox::TypeAheadTimeout) {
        FTypeAhead += c;
        start = FItemIndex - 1;
    } else {
        FTypeAhead.assign(1, c);
    }
    FTypeAheadTick = now;
    const AnsiString p = rtl::AnsiUpperCase(FTypeAhead);
    const int n = FItems->Count();
    for (int k = 1; k <= n; ++k) {
        const int i = ((start < -1 ? -1 : start) + k + n) % n;
        const AnsiString t = FItems->Strings(i);
        if (t.size() >= p.size() && rtl::AnsiUpperCase(std::string_view(t).substr(0, p.size())) == p) {
            if (i != FItemIndex) ChooseItem(i);
            if (DroppedDown()) FList->SetItemIndex(i);
            return;
        }
    }
}

void TCustomComboBox::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_GETDLGCODE:
            TCustomEdit::DefaultHandler(Message);
            if (DroppedDown()) Message.Result |= DLGC_WANTALLKEYS;
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const TPoint p = LParamToPoint(Message.LParam);
            if (FStyle == csDropDownList || p.X >= ClientWidth() - ComboButtonWidth) {
                if (CanFocus() && !Focused()) SetFocus();
                SetDroppedDown(!DroppedDown());
                return;
            }
            break;
        }
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
            if (FStyle == csDropDownList) return;
            break;
        default: break;
    }
    TCustomEdit::DefaultHandler(Message);
}

void TCustomComboBox::PaintEdit(TCanvas* DC) {
    TCustomEdit::PaintEdit(DC);
    const TRect button = Rect(ClientWidth() - ComboButtonWidth, 0, ClientWidth(), ClientHeight());
    if (ThemeServices().ThemesEnabled()) {
        TThemedComboBox part = tcDropDownButtonNormal;
        if (!Enabled())
            part = tcDropDownButtonDisabled;
        else if (DroppedDown())
            part = tcDropDownButtonPressed;
        else if (GetMouseControl() == this)
            part = tcDropDownButtonHot;
        ThemeServices().DrawElement(DC, ThemeServices().GetElementDetails(part), button);
    } else {
        DrawFrameControl(DC, button, DFC_SCROLL,
                         DFCS_SCROLLCOMBOBOX | (DroppedDown() ? DFCS_PUSHED : 0) | (Enabled() ? 0 : DFCS_INACTIVE));
    }
}

void TCustomComboBox::CMMouseEnter(TMessage& Message) {
    Invalidate();  // the button's hover look
    TCustomEdit::CMMouseEnter(Message);
}

void TCustomComboBox::CMMouseLeave(TMessage& Message) {
    Invalidate();
    TCustomEdit::CMMouseLeave(Message);
}

void TCustomComboBox::CMExit(TCMExit& Message) {
    CloseUp(false);
    TCustomEdit::CMExit(Message);
}

void TCustomComboBox::WMKillFocus(TWMKillFocus& Message) {
    CloseUp(false);
    TCustomEdit::WMKillFocus(Message);
}

// ---------------------------------------------------------------------------------------------
// TScrollBar

TScrollBar::TScrollBar(TComponent* Owner) : TWinControl(Owner) {
    FControlStyle = TControlStyle{csFramed, csDoubleClicks, csOpaque, csCaptureMouse};
    SetTabStop(true);
    SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

void TScrollBar::SetKind(TScrollBarKind Value) {
    if (FKind == Value) return;
    FKind = Value;
    SetBounds(Left(), Top(), Height(), Width());
    Invalidate();
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
    if (AMax < AMin) throw rtl::Exception("Scroll bar property out of range");
    APosition = std::clamp(APosition, AMin, AMax);
    const bool changed = APosition != FPosition;
    FMin = AMin;
    FMax = AMax;
    FPosition = APosition;
    Invalidate();
    if (changed) Change();
}

void TScrollBar::SetPosition(int Value) { SetParams(Value, FMin, FMax); }

void TScrollBar::SetPageSize(int Value) {
    if (Value < 0 || Value > FMax - FMin + 1) throw rtl::Exception("Scroll bar property out of range");
    FPageSize = Value;
    Invalidate();
}

void TScrollBar::Change() {
    TControl::Changed();
    if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode Code, int Pos) {
    int p = FPosition;
    const int top = FMax - std::max(FPageSize - 1, 0);
    switch (Code) {
        case TScrollCode::scLineUp: p -= FSmallChange; break;
        case TScrollCode::scLineDown: p += FSmallChange; break;
        case TScrollCode::scPageUp: p -= FLargeChange; break;
        case TScrollCode::scPageDown: p += FLargeChange; break;
        case TScrollCode::scPosition:
        case TScrollCode::scTrack: p = Pos; break;
        case TScrollCode::scTop: p = FMin; break;
        case TScrollCode::scBottom: p = FMax; break;
        case TScrollCode::scEndScroll: break;
    }
    p = std::clamp(p, FMin, std::max(FMin, top));
    if (OnScroll) OnScroll(this, Code, p);
    SetPosition(p);
}

void TScrollBar::DefaultHandler(TMessage& Message) {
    const bool vert = FKind == TScrollBarKind::sbVertical;
    switch (Message.Msg) {
        case SBM_SETSCROLLINFO: {
            const auto& info = *reinterpret_cast<const TScrollInfo*>(Message.LParam);
            const int lo = info.fMask & SIF_RANGE ? info.nMin : FMin, hi = info.fMask & SIF_RANGE ? info.nMax : FMax;
            if (hi >= lo) {
                FPageSize = info.fMask & SIF_PAGE ? std::clamp(static_cast<int>(info.nPage), 0, hi - lo + 1)
                                                  : std::min(FPageSize, hi - lo + 1);
                SetParams(info.fMask & SIF_POS ? info.nPos : FPosition, lo, hi);
            }
            Message.Result = FPosition;
            return;
        }
        case SBM_GETSCROLLINFO: {
            auto& info = *reinterpret_cast<TScrollInfo*>(Message.LParam);
            if (info.fMask & SIF_RANGE) {
                info.nMin = FMin;
                info.nMax = FMax;
            }
            if (info.fMask & SIF_PAGE) info.nPage = static_cast<UINT>(FPageSize);
            if (info.fMask & SIF_POS) info.nPos = FPosition;
            if (info.fMask & SIF_TRACKPOS) info.nTrackPos = FPosition;
            Message.Result = 1;
            return;
        }
        case SBM_ENABLE_ARROWS:
            if (Message.WParam != WPARAM(UINT(-1)) && (Message.WParam & ESB_DISABLE_BOTH) != FDisabledArrows) {
                FDisabledArrows = static_cast<UINT>(Message.WParam & ESB_DISABLE_BOTH);
                Invalidate();
            }
            Message.Result = static_cast<LRESULT>(FDisabledArrows);
            return;
        case WM_KEYDOWN:
            switch (Message.WParamLo) {
                case VK_UP:
                case VK_LEFT: Scroll(TScrollCode::scLineUp); return;
                case VK_DOWN:
                case VK_RIGHT: Scroll(TScrollCode::scLineDown); return;
                case VK_PRIOR: Scroll(TScrollCode::scPageUp); return;
                case VK_NEXT: Scroll(TScrollCode::scPageDown); return;
                case VK_HOME: Scroll(TScrollCode::scTop); return;
                case VK_END: Scroll(TScrollCode::scBottom); return;
            }
            break;
        case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS; return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const TPoint p = LParamToPoint(Message.LParam);
            const int at = vert ? p.Y : p.X;
            const int len = vert ? ClientHeight() : ClientWidth();
            const int arrow = ArrowSize();
            int start = 0, size = 0;
            ScrollThumb(len, arrow, FMin, FMax, FPageSize, FPosition, start, size);
            if (FDisabledArrows == ESB_DISABLE_BOTH) return;
            if (at < arrow) {
                if (FDisabledArrows & ESB_DISABLE_LTUP) return;
                Scroll(TScrollCode::scLineUp);
            } else if (at >= len - arrow) {
                if (FDisabledArrows & ESB_DISABLE_RTDN) return;
                Scroll(TScrollCode::scLineDown);
            } else if (at >= start && at < start + size) {
                // The thumb follows the mouse until the button goes up.
                FDragOffset = at - start;
                FDragging = true;
                Invalidate();
                return;
            } else {
                // Pages toward the press from where the thumb is.
                Scroll(at < start ? TScrollCode::scPageUp : TScrollCode::scPageDown);
            }
            Scroll(TScrollCode::scEndScroll);
            return;
        }
        case WM_MOUSEMOVE:
            if (FDragging) {
                const TPoint p = LParamToPoint(Message.LParam);
                const int len = vert ? ClientHeight() : ClientWidth();
                const int pos =
                    ScrollThumbPos(len, ArrowSize(), FMin, FMax, FPageSize, (vert ? p.Y : p.X) - FDragOffset);
                if (pos != FPosition) Scroll(TScrollCode::scTrack, pos);
                return;
            }
            break;
        case WM_LBUTTONUP:
        case WM_CANCELMODE:
        case WM_CAPTURECHANGED:
            if (FDragging) {
                FDragging = false;
                Invalidate();
                Scroll(TScrollCode::scPosition, FPosition);
                Scroll(TScrollCode::scEndScroll);
                if (Message.Msg != WM_LBUTTONUP) return;
            }
            break;
        default: break;
    }
    TWinControl::DefaultHandler(Message);
}

int TScrollBar::ArrowSize() const {
    return FKind == TScrollBarKind::sbVertical ? std::min(ClientWidth(), ClientHeight() / 2)
                                               : std::min(ClientHeight(), ClientWidth() / 2);
}

void TScrollBar::PaintWindow(HDC DC) {
    const TRect r = GetClientRect();
    const bool vert = FKind == TScrollBarKind::sbVertical;
    int start = 0, size = 0;
    ScrollThumb(vert ? r.Height() : r.Width(), ArrowSize(), FMin, FMax, FPageSize, FPosition, start, size);
    DrawScrollBarParts(DC, r, vert, start, size, Enabled() && FMax > FMin && FDisabledArrows != ESB_DISABLE_BOTH,
                       FDragging);
}

}  // namespace ui
