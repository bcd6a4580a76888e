#include "framework/ui/ComCtrls.h"
#include "framework/ui/Themes.h"

#include <algorithm>
#include <cmath>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/ui/Forms.h"

namespace ui {

TSystemTime DateTimeToSystemTime(rtl::TDateTime Value) {
    int y, m, d, h, mi, s, ms;
    rtl::DecodeDateTime(Value, y, m, d, h, mi, s, ms);
    TSystemTime t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(m);
    t.wDay = static_cast<uint16_t>(d);
    t.wDayOfWeek = static_cast<uint16_t>(rtl::DayOfWeek(Value) - 1);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

rtl::TDateTime SystemTimeToDateTime(const TSystemTime& V) {
    return rtl::EncodeDateTime(V.wYear, V.wMonth, V.wDay, V.wHour, V.wMinute, V.wSecond, V.wMilliseconds);
}

// ---------------------------------------------------------------------------------------------
// TMonthCalendar

namespace {
constexpr int Margin = 4;

rtl::TDateTime FirstOfMonth(rtl::TDateTime D) {
    int y, m, d;
    rtl::DecodeDate(D, y, m, d);
    return rtl::EncodeDate(y, m, 1);
}
}  // namespace

TMonthCalendar::TMonthCalendar(TComponent* Owner) : TWinControl(Owner) {
    FControlStyle = TControlStyle{csOpaque, csClickEvents, csDoubleClicks, csReplicatable};
    SetTabStop(true);
    FColor = clWindow;
    SetParentColor(false);
    FDate = rtl::DateOf(rtl::Date());
    FMonth = FirstOfMonth(FDate);
    const TRect r = MinReqRect();
    SetBounds(0, 0, r.Width(), r.Height());
}

int TMonthCalendar::CellWidth() const { return MeasureTextExtent("00").cx + 8; }
int TMonthCalendar::CellHeight() const { return MeasureTextMetrics().tmHeight + 2; }

TRect TMonthCalendar::MinReqRect() const {
    const int h = TitleHeight() + CellHeight() + 2 + 6 * CellHeight() + 2 + CellHeight() + Margin;
    return Rect(0, 0, 2 * Margin + 7 * CellWidth(), h);
}

void TMonthCalendar::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (Value) {
        const TRect r = MinReqRect();
        SetClientSize(r.Width(), r.Height());
    }
}

void TMonthCalendar::CreateWnd() {
    TWinControl::CreateWnd();
    if (FAutoSize) {
        const TRect r = MinReqRect();
        SetClientSize(r.Width(), r.Height());
    }
}

void TMonthCalendar::SetDate(rtl::TDateTime Value) {
    Value = rtl::DateOf(Value);
    if (FMinDate != 0 && Value < FMinDate) Value = FMinDate;
    if (FMaxDate != 0 && Value > FMaxDate) Value = FMaxDate;
    FDate = Value;
    FMonth = FirstOfMonth(Value);
    Invalidate();
}

void TMonthCalendar::SetMinDate(rtl::TDateTime Value) {
    if (Value != 0 && FMaxDate != 0 && Value > FMaxDate)
        throw rtl::Exception("Date exceeds maximum of " + rtl::DateToStr(FMaxDate));
    FMinDate = rtl::DateOf(Value);
    SetDate(FDate);
}

void TMonthCalendar::SetMaxDate(rtl::TDateTime Value) {
    if (Value != 0 && FMinDate != 0 && Value < FMinDate)
        throw rtl::Exception("Date is less than minimum of " + rtl::DateToStr(FMinDate));
    FMaxDate = rtl::DateOf(Value);
    SetDate(FDate);
}

rtl::TDateTime TMonthCalendar::FirstShown() const {
    // Weeks start on Monday; a month starting on Monday shows the week before it first.
    int offset = rtl::DayOfTheWeek(FMonth) - 1;
    if (offset == 0) offset = 7;
    return FMonth - offset;
}

UINT TMonthCalendar::HitTest(TPoint P, rtl::TDateTime* DateOut) const {
    const TRect r = MinReqRect();
    if (P.X < 0 || P.Y < 0 || P.X >= std::max(r.Width(), ClientWidth()) || P.Y >= std::max(r.Height(), ClientHeight()))
        return MCHT_NOWHERE;
    const int cw = CellWidth(), ch = CellHeight(), th = TitleHeight();
    const int w = 2 * Margin + 7 * cw;
    if (P.Y < th) {
        if (P.X >= Margin && P.X < Margin + cw) return MCHT_TITLEBTNPREV;
        if (P.X >= w - Margin - cw && P.X < w - Margin) return MCHT_TITLEBTNNEXT;
        int y, m, d;
        rtl::DecodeDate(FMonth, y, m, d);
        const int mw = MeasureTextExtent(rtl::FormatSettings().LongMonthNames[m - 1]).cx;
        const int yw = MeasureTextExtent(std::to_string(y)).cx;
        const int sp = MeasureTextExtent(" ").cx;
        const int x0 = (w - (mw + sp + yw)) / 2;
        if (P.X >= x0 && P.X < x0 + mw) return MCHT_TITLEMONTH;
        if (P.X >= x0 + mw + sp && P.X < x0 + mw + sp + yw) return MCHT_TITLEYEAR;
        return MCHT_TITLEBK;
    }
    const bool inColumns = P.X >= Margin && P.X < Margin + 7 * cw;
    if (P.Y < th + ch) return inColumns ? MCHT_CALENDARDAY : MCHT_CALENDARBK;
    const int y0 = th + ch + 2;
    if (P.Y >= y0 && P.Y < y0 + 6 * ch && inColumns) {
        const int row = (P.Y - y0) / ch, col = (P.X - Margin) / cw;
        const rtl::TDateTime d = FirstShown() + row * 7 + col;
        if (DateOut) *DateOut = d;
        UINT code = MCHT_CALENDARDATE;
        if (d < FMonth)
            code = MCHT_CALENDARDATEPREV;
        else if (d >= rtl::IncMonth(FMonth))
            code = MCHT_CALENDARDATENEXT;
        return code;
    }
    const int ty = y0 + 6 * ch + 2;
    if (P.Y >= ty && P.Y < ty + ch) {
        if (DateOut) *DateOut = rtl::DateOf(rtl::Date());
        return MCHT_TODAYLINK;
    }
    return MCHT_CALENDARBK;
}

TRect TMonthCalendar::DateRect(rtl::TDateTime Value) const {
    const int i = static_cast<int>(std::floor(rtl::DateOf(Value) - FirstShown() + 0.5));
    if (i < 0 || i >= 42) return TRect{};
    const int cw = CellWidth(), ch = CellHeight();
    const int y0 = TitleHeight() + ch + 2;
    return Bounds(Margin + (i % 7) * cw, y0 + (i / 7) * ch, cw, ch);
}

void TMonthCalendar::UserDate(rtl::TDateTime Value) {
    const rtl::TDateTime old = FDate;
    SetDate(Value);
    if (FDate != old && OnChange) OnChange(this);
}

void TMonthCalendar::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN: {
            const bool ctrl = GetKeyState(VK_CONTROL) < 0;
            int y, m, d;
            rtl::DecodeDate(FDate, y, m, d);
            switch (Message.WParamLo) {
                case VK_LEFT: UserDate(FDate - 1); return;
                case VK_RIGHT: UserDate(FDate + 1); return;
                case VK_UP: UserDate(FDate - 7); return;
                case VK_DOWN: UserDate(FDate + 7); return;
                case VK_PRIOR: UserDate(ctrl ? rtl::IncYear(FDate, -1) : rtl::IncMonth(FDate, -1)); return;
                case VK_NEXT: UserDate(ctrl ? rtl::IncYear(FDate, 1) : rtl::IncMonth(FDate, 1)); return;
                case VK_HOME: UserDate(rtl::EncodeDate(y, m, 1)); return;
                case VK_END: UserDate(rtl::EncodeDate(y, m, rtl::DaysInMonth(y, m))); return;
            }
            break;
        }
        case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS; return;
        case WM_LBUTTONDOWN: {
            if (CanFocus() && !Focused() && !(WindowStyle() & WS_POPUP)) SetFocus();
            rtl::TDateTime d = 0;
            const UINT hit = HitTest(LParamToPoint(Message.LParam), &d);
            if (hit == MCHT_TITLEBTNPREV || hit == MCHT_TITLEBTNNEXT) {
                // The shown month turns; the day keeps its number where the month has it.
                UserDate(rtl::IncMonth(FDate, hit == MCHT_TITLEBTNNEXT ? 1 : -1));
            } else if (((hit & 0xFFFF) == 1 && (hit & MCHT_CALENDAR) != 0) || hit == MCHT_TODAYLINK) {
                UserDate(d);
            }
            return;
        }
        case MCM_GETCURSEL:
            if (auto* st = reinterpret_cast<TSystemTime*>(Message.LParam)) *st = DateTimeToSystemTime(FDate);
            Message.Result = 1;
            return;
        case MCM_SETCURSEL:
            if (auto* st = reinterpret_cast<const TSystemTime*>(Message.LParam)) SetDate(SystemTimeToDateTime(*st));
            Message.Result = 1;
            return;
        case MCM_GETMINREQRECT:
            if (auto* r = reinterpret_cast<TRect*>(Message.LParam)) *r = MinReqRect();
            Message.Result = 1;
            return;
        case MCM_GETTODAY:
            if (auto* st = reinterpret_cast<TSystemTime*>(Message.LParam))
                *st = DateTimeToSystemTime(rtl::DateOf(rtl::Date()));
            Message.Result = 1;
            return;
        case MCM_HITTEST:
            if (auto* info = reinterpret_cast<TMCHitTestInfo*>(Message.LParam)) {
                rtl::TDateTime d = 0;
                info->uHit = HitTest(info->pt, &d);
                info->st = d != 0 ? DateTimeToSystemTime(d) : TSystemTime{};
                Message.Result = static_cast<LRESULT>(info->uHit);
            }
            return;
        case WM_MOUSEWHEEL:
            UserDate(FDate + (Message.WParamHiS < 0 ? 1 : -1));
            Message.Result = 1;
            return;
        default: break;
    }
    TWinControl::DefaultHandler(Message);
}

void TMonthCalendar::PaintWindow(HDC DC) {
    const TRect client = GetClientRect();
    DC->Brush()->SetColor(Color());
    DC->FillRect(client);
    DC->Font()->Assign(Font());
    const int cw = CellWidth(), ch = CellHeight(), th = TitleHeight();
    const int w = 2 * Margin + 7 * cw;
    int y, m, d;
    rtl::DecodeDate(FMonth, y, m, d);
    DC->Brush()->SetColor(clActiveCaption);
    DC->FillRect(Rect(0, 0, w, th));
    DC->Brush()->SetStyle(bsClear);
    DC->Font()->SetColor(clCaptionText);
    TRect t = Rect(0, 0, w, th);
    DrawText(DC, rtl::FormatSettings().LongMonthNames[m - 1] + " " + std::to_string(y), t,
             DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    t = Rect(Margin, 0, Margin + cw, th);
    DrawText(DC, "<", t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    t = Rect(w - Margin - cw, 0, w - Margin, th);
    DrawText(DC, ">", t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DC->Font()->SetColor(Font()->Color());
    for (int i = 0; i < 7; ++i) {
        TRect c = Bounds(Margin + i * cw, th, cw, ch);
        DrawText(DC, rtl::FormatSettings().ShortDayNames[(i + 1) % 7], c, DT_CENTER | DT_SINGLELINE);
    }
    const rtl::TDateTime first = FirstShown();
    const rtl::TDateTime next = rtl::IncMonth(FMonth);
    for (int i = 0; i < 42; ++i) {
        const rtl::TDateTime day = first + i;
        TRect c = DateRect(day);
        const bool sel = rtl::SameDate(day, FDate);
        if (sel) {
            DC->Brush()->SetStyle(bsSolid);
            DC->Brush()->SetColor(clHighlight);
            DC->FillRect(c);
            DC->Brush()->SetStyle(bsClear);
        }
        DC->Font()->SetColor(sel ? clHighlightText : (day < FMonth || day >= next) ? clGrayText : Font()->Color());
        DrawText(DC, std::to_string(rtl::DayOf(day)), c, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    DC->Font()->SetColor(Font()->Color());
    TRect today = Bounds(Margin, th + ch + 2 + 6 * ch + 2, 7 * cw, ch);
    DrawText(DC, rtl::DateToStr(rtl::DateOf(rtl::Date())), today, DT_CENTER | DT_SINGLELINE);
    DC->Brush()->SetStyle(bsSolid);
}

}  // namespace ui

namespace ui {

// ---------------------------------------------------------------------------------------------
// TCustomTabControl

TCustomTabControl::TCustomTabControl(TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle = TControlStyle{csAcceptsControls, csDoubleClicks, csOpaque, csCaptureMouse};
    FColor = clBtnFace;
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
}

TCustomTabControl::~TCustomTabControl() = default;

int TCustomTabControl::TabHeight() const { return MeasureTextMetrics().tmHeight + 6; }

TRect TCustomTabControl::TabRect(int Index) const {
    int x = 2;
    for (int i = 0; i < TabCount(); ++i) {
        const int w = MeasureTextExtent(StripHotkey(TabCaption(i))).cx + 12;
        if (i == Index) return Rect(x, 2, x + w, 2 + TabHeight());
        x += w;
    }
    return TRect{};
}

int TCustomTabControl::IndexOfTabAt(int X, int Y) const {
    for (int i = 0; i < TabCount(); ++i)
        if (PtInRect(TabRect(i), Point(X, Y))) return i;
    return -1;
}

TRect TCustomTabControl::DisplayRect() const {
    const TRect c = ClientRect();
    return Rect(4, TabHeight() + 6, std::max(4, c.Right - 4), std::max(TabHeight() + 6, c.Bottom - 4));
}

bool TCustomTabControl::CanChange() {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    return allow;
}

void TCustomTabControl::AlignControls(TControl* AControl, TRect& Rect) {
    Rect = DisplayRect();
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* sheet = dynamic_cast<TTabSheet*>(Controls(i))) sheet->SetBoundsRect(Rect);
    TCustomControl::AlignControls(AControl, Rect);
}

void TCustomTabControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: {
            const TPoint p = LParamToPoint(Message.LParam);
            const int i = IndexOfTabAt(p.X, p.Y);
            if (i >= 0) {
                if (CanFocus() && !Focused()) SetFocus();
                if (i != CurrentTab()) TabPicked(i);
            }
            return;
        }
        case WM_KEYDOWN: {
            const int n = TabCount();
            if (n == 0) break;
            if (Message.WParamLo == VK_LEFT || Message.WParamLo == VK_RIGHT) {
                const int to = std::clamp(CurrentTab() + (Message.WParamLo == VK_RIGHT ? 1 : -1), 0, n - 1);
                if (to != CurrentTab()) TabPicked(to);
                return;
            }
            break;
        }
        case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS; return;
        default: break;
    }
    TCustomControl::DefaultHandler(Message);
}

void TCustomTabControl::CMDialogKey(TCMDialogKey& Message) {
    // Ctrl+Tab and Ctrl+Shift+Tab turn the tabs while the focus is anywhere inside the control.
    if (Message.CharCode == VK_TAB && GetKeyState(VK_CONTROL) < 0 && TabCount() > 0) {
        TCustomForm* form = GetParentForm(this);
        TWinControl* active = form ? form->ActiveControl() : nullptr;
        if (active && (active == this || ContainsControl(active))) {
            const int n = TabCount();
            const int step = GetKeyState(VK_SHIFT) < 0 ? n - 1 : 1;
            TabPicked((std::max(CurrentTab(), 0) + step) % n);
            Message.Result = 1;
            return;
        }
    }
    TCustomControl::CMDialogKey(Message);
}

void TCustomTabControl::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
    TRect body = Rect(0, TabHeight() + 2, Width(), Height());
    TThemeServices& theme = ThemeServices();
    const bool themed = theme.ThemesEnabled();
    if (themed)
        theme.DrawElement(c, theme.GetElementDetails(ttPane), body);
    else
        DrawEdge(c, body, EDGE_RAISED, BF_RECT);
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsClear);
    for (int i = 0; i < TabCount(); ++i) {
        TRect r = TabRect(i);
        if (i == CurrentTab()) r.Inflate(2, 2);
        if (themed) {
            TThemedTab part = ttTabItemNormal;
            if (!Enabled())
                part = ttTabItemDisabled;
            else if (i == CurrentTab())
                part = ttTabItemSelected;
            // The selected tab runs into its page.
            TRect t = r;
            if (i == CurrentTab()) t.Bottom = std::min(t.Bottom + 1, body.Bottom);
            theme.DrawElement(c, theme.GetElementDetails(part), t);
        } else {
            DrawEdge(c, r, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
        }
        DrawText(c, TabCaption(i), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (i == CurrentTab() && Focused()) {
            TRect f = r;
            f.Inflate(-3, -3);
            c->DrawFocusRect(f);
        }
    }
    c->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------------------------
// TTabControl

TTabControl::TTabControl(TComponent* Owner) : TCustomTabControl(Owner), FTabs(std::make_unique<rtl::TStringList>()) {
    FTabs->OnChange = [this](TObject*) {
        if (FTabIndex >= FTabs->Count()) FTabIndex = FTabs->Count() - 1;
        if (FTabIndex < 0 && FTabs->Count() > 0) FTabIndex = 0;
        Invalidate();
    };
}

TTabControl::~TTabControl() { FTabs->OnChange = nullptr; }

rtl::TStrings* TTabControl::Tabs() const noexcept { return FTabs.get(); }

void TTabControl::SetTabIndex(int Value) {
    if (Value < -1 || Value >= FTabs->Count()) Value = -1;
    FTabIndex = Value;
    Invalidate();
}

int TTabControl::TabCount() const { return FTabs->Count(); }
AnsiString TTabControl::TabCaption(int Index) const { return FTabs->Strings(Index); }

void TTabControl::TabPicked(int Index) {
    if (!CanChange()) return;
    SetTabIndex(Index);
    if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------
// TTabSheet, TPageControl

TTabSheet::TTabSheet(TComponent* Owner) : TWinControl(Owner) {
    FControlStyle = TControlStyle{csAcceptsControls, csOpaque, csClickEvents, csDoubleClicks};
    FColor = clBtnFace;
    FVisible = false;
    FAlign = alClient;
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (FPageControl == Value) return;
    if (FPageControl) FPageControl->RemovePage(this);
    SetParent(Value);
    if (Value) Value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    const auto& p = FPageControl->FPages;
    return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::CMShowingChanged(TMessage& Message) {
    TWinControl::CMShowingChanged(Message);
    UpdateShowing();
}

void TTabSheet::UpdateShowing() {
    TWinControl::UpdateShowing();
    const bool showing = Showing();
    if (showing == FWasShowing) return;
    FWasShowing = showing;
    if (showing)
        DoShow();
    else
        DoHide();
}

void TTabSheet::DoShow() {
    if (OnShow) OnShow(this);
}

void TTabSheet::DoHide() {
    if (OnHide) OnHide(this);
}

void TTabSheet::SetTabVisible(bool Value) {
    if (FTabVisible == Value) return;
    FTabVisible = Value;
    if (FPageControl) {
        if (!Value && FPageControl->FActivePage == this)
            FPageControl->SetActivePage(FPageControl->FindNextPage(this, true, true));
        FPageControl->Invalidate();
    }
}

void TTabSheet::CMTextChanged(TMessage& Message) {
    TWinControl::CMTextChanged(Message);
    if (FPageControl) FPageControl->Invalidate();
}

TPageControl::TPageControl(TComponent* Owner) : TCustomTabControl(Owner) {}

TPageControl::~TPageControl() {
    for (auto* p : FPages) p->FPageControl = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
    if (Index < 0 || Index >= PageCount())
        throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return FPages[static_cast<size_t>(Index)];
}

void TPageControl::InsertPage(TTabSheet* Page) {
    FPages.push_back(Page);
    Page->FPageControl = this;
    const TRect r = DisplayRect();
    Page->SetBoundsRect(r);
    if (!FActivePage) SetActivePage(Page);
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* Page) {
    TTabSheet* next = FActivePage == Page ? FindNextPage(Page, true, true) : FActivePage;
    if (next == Page) next = nullptr;
    std::erase(FPages, Page);
    Page->FPageControl = nullptr;
    if (FActivePage == Page) {
        FActivePage = nullptr;
        SetActivePage(next);
    }
    Invalidate();
}

std::vector<TTabSheet*> TPageControl::VisibleTabs() const {
    std::vector<TTabSheet*> v;
    for (auto* p : FPages)
        if (p->FTabVisible) v.push_back(p);
    return v;
}

int TPageControl::TabCount() const { return static_cast<int>(VisibleTabs().size()); }

AnsiString TPageControl::TabCaption(int Index) const { return VisibleTabs().at(static_cast<size_t>(Index))->Caption(); }

int TPageControl::CurrentTab() const {
    const auto v = VisibleTabs();
    const auto it = std::find(v.begin(), v.end(), FActivePage);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const {
    const int n = PageCount();
    if (n == 0) return nullptr;
    auto it = std::find(FPages.begin(), FPages.end(), CurPage);
    int start = it == FPages.end() ? (GoForward ? n - 1 : 0) : static_cast<int>(it - FPages.begin());
    int i = start;
    do {
        i = GoForward ? (i + 1) % n : (i + n - 1) % n;
        if (!CheckTabVisible || FPages[i]->FTabVisible) return FPages[i];
    } while (i != start);
    return nullptr;
}

void TPageControl::SelectNextPage(bool GoForward) {
    TTabSheet* page = FindNextPage(FActivePage, GoForward, true);
    if (page && page != FActivePage && CanChange()) {
        SetActivePage(page);
        if (OnChange) OnChange(this);
    }
}

void TPageControl::TabPicked(int Index) {
    const auto v = VisibleTabs();
    if (Index < 0 || Index >= static_cast<int>(v.size()) || v[Index] == FActivePage) return;
    if (!CanChange()) return;
    SetActivePage(v[Index]);
    if (OnChange) OnChange(this);
}

void TPageControl::SetActivePageIndex(int Value) {
    SetActivePage(Value >= 0 && Value < PageCount() ? FPages[Value] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* Page) {
    if (Page && Page->FPageControl != this) return;
    if (Page == FActivePage) return;
    TCustomForm* form = GetParentForm(this);
    TWinControl* focused = form ? form->ActiveControl() : nullptr;
    const bool focusInside =
        FActivePage && focused && (focused == FActivePage || FActivePage->ContainsControl(focused));
    if (Page) {
        Page->SetBoundsRect(DisplayRect());
        Page->BringToFront();
        Page->SetVisible(true);
    }
    TTabSheet* old = FActivePage;
    FActivePage = Page;
    // The focus leaves the hidden page for the first control of the new one, or the tabs.
    if (focusInside && form) {
        TWinControl* next = Page ? Page->FindNextControl(nullptr, true, true, false) : nullptr;
        if (next && next->CanFocus())
            next->SetFocus();
        else if (CanFocus())
            SetFocus();
    }
    if (old) old->SetVisible(false);
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Status bar

void TStatusPanel::SetText(const AnsiString& Value) {
    FText = Value;
    FBar->Invalidate();
}
void TStatusPanel::SetWidth(int Value) {
    FWidth = Value;
    FBar->Invalidate();
}
void TStatusPanel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    FBar->Invalidate();
}
void TStatusPanel::SetBevel(TStatusPanelBevel Value) {
    FBevel = Value;
    FBar->Invalidate();
}
void TStatusPanel::SetStyle(TStatusPanelStyle Value) {
    FStyle = Value;
    FBar->Invalidate();
}
int TStatusPanel::Index() const { return FBar->Panels()->IndexOf(this); }

TStatusPanel* TStatusPanels::Add() {
    FItems.push_back(std::make_unique<TStatusPanel>(FBar));
    FBar->Invalidate();
    return FItems.back().get();
}

TStatusPanel* TStatusPanels::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<size_t>(Index)].get();
}

void TStatusPanels::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    FBar->Invalidate();
}

void TStatusPanels::Clear() {
    FItems.clear();
    FBar->Invalidate();
}

int TStatusPanels::IndexOf(const TStatusPanel* Panel) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)].get() == Panel) return i;
    return -1;
}

TStatusBar::TStatusBar(TComponent* Owner) : TCustomControl(Owner), FPanels(std::make_unique<TStatusPanels>(this)) {
    FColor = clBtnFace;
    SetBounds(0, 0, 200, MeasureTextMetrics().tmHeight + 6);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::SetSimplePanel(bool Value) {
    FSimplePanel = Value;
    Invalidate();
}

void TStatusBar::SetSimpleText(const AnsiString& Value) {
    FSimpleText = Value;
    Invalidate();
}

TRect TStatusBar::PanelRect(int Index) const {
    int x = 0;
    for (int i = 0; i < FPanels->Count(); ++i) {
        const int w = i == FPanels->Count() - 1 ? std::max(0, ClientWidth() - x) : FPanels->Items(i)->Width();
        if (i == Index) return Rect(x, 0, x + w, ClientHeight());
        x += w;
    }
    return TRect{};
}

void TStatusBar::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsClear);
    if (FSimplePanel) {
        TRect r = ClientRect();
        r.Left += 2;
        DrawText(c, FSimpleText, r, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
        for (int i = 0; i < FPanels->Count(); ++i) {
            TStatusPanel* p = FPanels->Items(i);
            TRect r = PanelRect(i);
            if (p->Bevel() != TStatusPanelBevel::pbNone)
                DrawEdge(c, r, p->Bevel() == TStatusPanelBevel::pbLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            r.Inflate(-2, -1);
            if (p->Style() == TStatusPanelStyle::psOwnerDraw) {
                if (OnDrawPanel) OnDrawPanel(this, p, r);
                continue;
            }
            unsigned f = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
            if (p->Alignment() == taCenter)
                f |= DT_CENTER;
            else if (p->Alignment() == taRightJustify)
                f |= DT_RIGHT;
            DrawText(c, p->Text(), r, f);
        }
    }
    c->Brush()->SetStyle(bsSolid);
}

}  // namespace ui
