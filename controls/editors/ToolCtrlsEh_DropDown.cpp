// Drop-down windows: size grip, calendar, owner-drawn list, MRU list and its list box.
#include "controls/editors/ToolCtrlsEh_DropDown.h"

#include <algorithm>

#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"

namespace editors {

using namespace ui;

IDropDownHostEh* DropDownHostOf(rtl::TComponent* DropDown) {
    return DropDown ? dynamic_cast<IDropDownHostEh*>(DropDown->Owner()) : nullptr;
}

void AttachDropDownToWindow(TWinControl* DropDown, TWinControl* AParent) {
    if (DropDown->Parent()) DropDown->TWinControl::SetParent(nullptr);
    DropDown->SetParentWindow(AParent && AParent->HandleAllocated() ? AParent->Handle() : 0);
}

namespace {

// The outer rectangle of a window on the screen and the offset from its parent's coordinates.
TRect ScreenBounds(TWinControl* W, TPoint& Offset) {
    TPoint origin{W->Left(), W->Top()};
    if (W->Parent()) origin = W->Parent()->ClientToScreen(origin);
    Offset = {origin.X - W->Left(), origin.Y - W->Top()};
    return Bounds(origin.X, origin.Y, W->Width(), W->Height());
}

// Paints the popup's raised two-pixel frame on its own surface after the default frame.
void PaintPopupFrame(TWinControl* W, const std::function<void(HDC)>& Draw) {
    if (!W->HandleAllocated() || W->Parent() || !W->Surface()) return;
    TCanvas dc(W->Surface());
    Draw(&dc);
}

void DrawRaisedPopupBorder(HDC DC, int Width, int Height) {
    TRect r = Rect(0, 0, Width, Height);
    DrawEdge(DC, r, BDR_RAISEDOUTER, BF_RECT);
    r.Inflate(-1, -1);
    DrawEdge(DC, r, BDR_RAISEDINNER, BF_RECT);
}

// One axis of a size-grip drag, the window spanning Start..End on the screen. With the grip on
// the far edge the client part grows by Delta from its size at the press, up to the work area's
// end; on the near edge the far edge stays and the span stops at the work area's start.
struct TGripSpan {
    int Start;
    int Size;
};

TGripSpan DragSpan(bool GripOnFarEdge, int Start, int End, int PressSize, int PressClientSize, int Delta, int WorkStart,
                   int WorkEnd) {
    if (GripOnFarEdge) {
        const int frame = PressSize - PressClientSize;
        int client = PressClientSize + Delta;
        const int over = Start + client + frame - WorkEnd;
        if (over > 0) client -= over;
        return {Start, client + frame};
    }
    int size = PressSize - Delta;
    if (End - size < WorkStart) size = End - WorkStart;
    return {End - size, size};
}

// Both sides of the popup's frame before its window tells: the 3-D frame, or a one-pixel border.
int PopupFrameSize(int BorderWidth, bool Ctl3D) { return 2 * BorderWidth + (Ctl3D ? 0 : 2); }

// Keeps the popup's frame out of its client area (never a negative size).
void InsetClientByBorder(TMessage& Message, int BorderWidth) {
    if (auto* p = reinterpret_cast<TNCCalcSizeParams*>(Message.LParam)) {
        TRect& r = p->Rgrc[0];
        r.Inflate(-BorderWidth, -BorderWidth);
        if (r.Right < r.Left) r.Right = r.Left;
        if (r.Bottom < r.Top) r.Bottom = r.Top;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TSizeGripEh

TSizeGripEh::TSizeGripEh(rtl::TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle.Include(csCaptureMouse);
    FControlStyle.Include(csReplicatable);
    SetBounds(0, 0, GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL));
    SetColor(clBtnFace);
    SetCursor(crSizeNWSE);
}

void TSizeGripEh::SetCorner(int Value) {
    if (Value < 0 || Value > 3 || Value == FCorner) return;
    FCorner = Value;
    // A new corner means a new shape, place and cursor, as a window made afresh would take.
    UpdateWindowRegion();
    UpdatePosition();
    SetCursor(FCorner == 0 || FCorner == 2 ? crSizeNWSE : crSizeNESW);
    Invalidate();
}

void TSizeGripEh::SetTriangleShape(bool Value) {
    if (FTriangleShape == Value) return;
    FTriangleShape = Value;
    UpdateWindowRegion();
    Invalidate();
}

TRegion TSizeGripEh::WindowRegion() const {
    if (!FTriangleShape) return {};
    const int w = Width(), h = Height();
    TPoint pts[3];
    switch (FCorner) {
        case 0: pts[0] = {w - 1, 0}, pts[1] = {0, 0}, pts[2] = {0, h - 1}; break;
        case 1: pts[0] = {w, h - 1}, pts[1] = {w, 0}, pts[2] = {1, 0}; break;
        case 3: pts[0] = {w, h}, pts[1] = {0, h}, pts[2] = {0, 0}; break;
        default: pts[0] = {0, h}, pts[1] = {w, h}, pts[2] = {w, 0}; break;
    }
    return TRegion::FromPolygon(pts, 3);
}

void TSizeGripEh::UpdateWindowRegion() {
    if (!HandleAllocated()) return;
    const TRegion r = WindowRegion();
    SetWindowRgn(FTriangleShape ? &r : nullptr);
}

void TSizeGripEh::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateWindowRegion();
    UpdatePosition();
    SetCursor(FCorner == 0 || FCorner == 2 ? crSizeNWSE : crSizeNESW);
}

void TSizeGripEh::UpdatePosition() {
    TWinControl* p = Parent();
    if (!p) return;
    const int w = Width(), h = Height();
    const int cw = p->ClientWidth(), ch = p->ClientHeight();
    TPoint at;
    switch (FCorner) {
        case 0: at = {0, 0}; break;
        case 1: at = {cw - w, 0}; break;
        case 3: at = {0, ch - h}; break;
        default: at = {cw - w, ch - h}; break;
    }
    FPositioning = true;
    rtl::TryFinally([&] { SetBounds(at.X, at.Y, w, h); }, [this] { FPositioning = false; });
}

void TSizeGripEh::ChangePosition(int Side) {
    int corner = FCorner;
    switch (Side) {
        case 0:
            if (corner == 1)
                corner = 0;
            else if (corner == 2)
                corner = 3;
            break;
        case 1:
            if (corner == 0)
                corner = 1;
            else if (corner == 3)
                corner = 2;
            break;
        case 2:
            if (corner == 2)
                corner = 1;
            else if (corner == 3)
                corner = 0;
            break;
        case 3:
            if (corner == 1)
                corner = 2;
            else if (corner == 0)
                corner = 3;
            break;
        default: break;
    }
    SetCorner(corner);
}

void TSizeGripEh::ShowGripWindow(bool Visible) {
    if (!Visible && !HandleAllocated()) return;
    ShowWindow(Visible ? SW_SHOW : SW_HIDE);
}

void TSizeGripEh::Paint() {
    TCanvas* c = Canvas();
    const int w = ClientWidth(), h = ClientHeight();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(ClientRect());
    const bool right = FCorner == 1 || FCorner == 2;
    const bool bottom = FCorner == 2 || FCorner == 3;
    // A point at distances (dx, dy) from the corner.
    auto at = [&](int dx, int dy) { return TPoint{right ? w - dx : dx - 1, bottom ? h - dy : dy - 1}; };
    static const TColor colors[4] = {clBtnHighlight, clBtnShadow, clBtnShadow, clBtnFace};
    for (int i = 1; i < w; i += 4) {
        for (int k = 0; k < 4 && i + k <= w; ++k) {
            const int d = i + k;
            c->Pen()->SetColor(colors[k]);
            const TPoint a = at(d, 0), b = at(0, d);
            c->MoveTo(a.X, a.Y);
            c->LineTo(b.X, b.Y);
        }
    }
}

void TSizeGripEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Parent()) return;
    TWinControl* p = Parent();
    FPressPoint = ClientToScreen({X, Y});
    FLastPoint = FPressPoint;
    FPressWidth = p->Width();
    FPressHeight = p->Height();
    FPressClientWidth = p->ClientWidth();
    FPressClientHeight = p->ClientHeight();
}

void TSizeGripEh::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    TWinControl* p = Parent();
    if (!p || !Shift.Contains(ssLeft) || !MouseCapture() || FPositioning) return;
    const TPoint pt = ClientToScreen({X, Y});
    if (pt.X == FLastPoint.X && pt.Y == FLastPoint.Y) return;

    // The work area of the monitor the drop-down is on: a list on a second monitor keeps its
    // room there, not on the primary one.
    TPoint offset;
    const TRect outer = ScreenBounds(p, offset);
    const TRect work = Screen()->MonitorFromRect(outer).WorkareaRect;
    const int oldClientW = p->ClientWidth(), oldClientH = p->ClientHeight();
    const TGripSpan h = DragSpan(FCorner == 1 || FCorner == 2, outer.Left, outer.Right, FPressWidth, FPressClientWidth,
                                 pt.X - FPressPoint.X, work.Left, work.Right);
    const TGripSpan v = DragSpan(FCorner == 2 || FCorner == 3, outer.Top, outer.Bottom, FPressHeight,
                                 FPressClientHeight, pt.Y - FPressPoint.Y, work.Top, work.Bottom);
    p->SetBounds(h.Start - offset.X, v.Start - offset.Y, std::max(h.Size, 0), std::max(v.Size, 0));
    // A list keeps whole rows: the edge it snapped to stays put, not the anchored one.
    if (FCorner == 0 || FCorner == 3) p->SetLeft(outer.Right - p->Width() - offset.X);
    if (FCorner == 0 || FCorner == 1) p->SetTop(outer.Bottom - p->Height() - offset.Y);
    FLastPoint = pt;
    if ((p->ClientWidth() != oldClientW || p->ClientHeight() != oldClientH) && OnParentResized) OnParentResized(this);
    UpdatePosition();
}

void TSizeGripEh::WMMove(TWMMove& Message) {
    TCustomControl::WMMove(Message);
    if (!FPositioning) UpdatePosition();
}

// ---------------------------------------------------------------------------------------------
// TPopupMonthCalendarEh

TPopupMonthCalendarEh::TPopupMonthCalendarEh(rtl::TComponent* Owner) : TMonthCalendar(Owner) {
    FControlStyle.Include(csReplicatable);
    SetTabStop(false);
    SetAutoSize(true);
}

bool TPopupMonthCalendarEh::CloseUp(bool Accept) {
    IDropDownHostEh* host = DropDownHostOf(this);
    if (!host) return false;
    // Enter closes in the special-key query and again as a key; a queued 1125 may arrive after
    // some other close: the host hears once, while the calendar is shown.
    if (IsWindowVisible()) host->CloseUp(Accept);
    return true;
}

void TPopupMonthCalendarEh::SetCtl3D(bool Value) {
    if (FCtl3D == Value) return;
    FCtl3D = Value;
    FBorderWidth = Value ? 2 : 0;
    if (HandleAllocated()) RecreateWnd();
}

void TPopupMonthCalendarEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AutoSize()) {
        // The calendar's own size plus the popup frame on every side.
        const TRect r = MinReqRect();
        const int frame = PopupFrameSize(FBorderWidth, FCtl3D);
        AWidth = r.Width() + frame;
        AHeight = r.Height() + frame;
    }
    TMonthCalendar::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TPopupMonthCalendarEh::SetParent(TWinControl* AParent) { AttachDropDownToWindow(this, AParent); }

void TPopupMonthCalendarEh::CreateParams(TCreateParams& Params) {
    TMonthCalendar::CreateParams(Params);
    Params.Style = WS_POPUP | (FCtl3D ? 0u : uint32_t(WS_BORDER));
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
}

void TPopupMonthCalendarEh::CreateWnd() {
    TMonthCalendar::CreateWnd();
    TRect r;
    Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&r));
    const int frame = Height() - ClientHeight();
    TMonthCalendar::SetBounds(Left(), Top(), r.Width() + frame, r.Height() + frame);
}

void TPopupMonthCalendarEh::DrawPopupBorder(HDC DC) { DrawRaisedPopupBorder(DC, Width(), Height()); }

void TPopupMonthCalendarEh::KeyDown(uint16_t& Key, TShiftState Shift) {
    TMonthCalendar::KeyDown(Key, Shift);
    if (Key == VK_RETURN || Key == VK_ESCAPE) {
        CloseUp(Key == VK_RETURN);
        Key = 0;
    }
}

bool TPopupMonthCalendarEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
    if (TMonthCalendar::DoMouseWheelDown(Shift, MousePos)) return true;
    UserDate(Date() + 1);
    return true;
}

bool TPopupMonthCalendarEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
    if (TMonthCalendar::DoMouseWheelUp(Shift, MousePos)) return true;
    UserDate(Date() - 1);
    return true;
}

void TPopupMonthCalendarEh::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_NCCALCSIZE:
            TMonthCalendar::WndProc(Message);
            InsetClientByBorder(Message, FBorderWidth);
            return;
        case WM_NCPAINT:
            TMonthCalendar::WndProc(Message);
            if (FCtl3D) PaintPopupFrame(this, [this](HDC dc) { DrawPopupBorder(dc); });
            return;
        case WM_GETDLGCODE:
            TMonthCalendar::WndProc(Message);
            Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
            return;
        case CM_WANTSPECIALKEY:
            if (Message.WParamLo == VK_RETURN || Message.WParamLo == VK_ESCAPE) {
                CloseUp(Message.WParamLo == VK_RETURN);
                Message.Result = 1;
                return;
            }
            break;
        case WM_LBUTTONDOWN:
            if (!PtInRect(ClientRect(), LParamToPoint(Message.LParam))) {
                CloseUp(false);
                return;
            }
            break;
        case WM_LBUTTONUP: {
            TMonthCalendar::WndProc(Message);
            const TPoint p = LParamToPoint(Message.LParam);
            if (!PtInRect(ClientRect(), p)) return;
            TMCHitTestInfo info;
            info.pt = p;
            const UINT hit = static_cast<UINT>(Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
            if ((hit & 0x20001) != 0 && hit != MCHT_CALENDARDAY && hit != MCHT_TITLEBTNNEXT && hit != MCHT_TITLEBTNPREV)
                CloseUp(true);
            return;
        }
        case WM_KILLFOCUS: {
            TMonthCalendar::WndProc(Message);
            const HWND to = static_cast<HWND>(Message.WParam);
            if (IsWindowVisible() && GetParent(to) != Handle()) PostMessage(Handle(), WM_DROPDOWNCLOSE, 0, 0);
            return;
        }
        case WM_DROPDOWNCLOSE: CloseUp(false); return;
        case MCM_SETCURSEL:
            TMonthCalendar::WndProc(Message);
            Message.Result = 1;
            return;
        default: break;
    }
    TMonthCalendar::WndProc(Message);
}

// ---------------------------------------------------------------------------------------------
// TPopupListboxEh

TPopupListboxEh::TPopupListboxEh(rtl::TComponent* Owner) : TCustomListBox(Owner) {
    SetStyle(lbOwnerDrawFixed);
    SetTabStop(false);
    SetVisible(false);
    OnData = [this](TWinControl*, int Index, AnsiString& Data) { GetItemData(Index, Data); };
    FSizeGrip = rtl::Create<TSizeGripEh>(this);
    FSizeGrip->SetParent(this);
    FSizeGrip->SetTriangleShape(true);
}

TPopupListboxEh::~TPopupListboxEh() = default;

void TPopupListboxEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TCustomListBox::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FImages) {
        FImages = nullptr;
        Invalidate();
    }
}

void TPopupListboxEh::SetImageList(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) FImages->FreeNotification(this);
    Invalidate();
}

void TPopupListboxEh::SetItemsSource(rtl::TStrings* Value) {
    FItemsSource = Value;
    if (Value) {
        SetStyle(lbVirtualOwnerDraw);
        SetCount(Value->Count());
    } else {
        SetCount(0);
        SetStyle(lbOwnerDrawFixed);
    }
}

void TPopupListboxEh::GetItemData(int Index, AnsiString& Data) {
    if (FItemsSource && Index >= 0 && Index < FItemsSource->Count()) Data = FItemsSource->Strings(Index);
}

void TPopupListboxEh::SetParent(TWinControl* AParent) { AttachDropDownToWindow(this, AParent); }

bool TPopupListboxEh::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (TCustomListBox::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    SetTopIndex(TopIndex() - WheelDelta / WHEEL_DELTA);
    return true;
}

void TPopupListboxEh::SetCtl3D(bool Value) {
    if (FCtl3D == Value) return;
    FCtl3D = Value;
    FBorderWidth = Value ? 2 : 0;
    if (HandleAllocated()) RecreateWnd();
}

int TPopupListboxEh::FrameHeight() {
    if (HandleAllocated()) return Height() - ClientHeight();
    return PopupFrameSize(FBorderWidth, FCtl3D);
}

int TPopupListboxEh::FontTextHeight() const { return MeasureTextMetrics().tmHeight; }

void TPopupListboxEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    int itemHeight = ItemHeight();
    if (itemHeight <= 0) itemHeight = FontTextHeight();
    itemHeight = std::max(itemHeight, 1);
    const int frame = FrameHeight();
    FRowCount = std::max((AHeight - frame) / itemHeight, 1);
    TCustomListBox::SetBounds(ALeft, ATop, AWidth, frame + FRowCount * itemHeight);
}

void TPopupListboxEh::SetRowCount(int Rows) {
    SetHeight(std::max(Rows, 1) * std::max(ItemHeight(), 1) + FrameHeight());
}

void TPopupListboxEh::CreateParams(TCreateParams& Params) {
    TCustomListBox::CreateParams(Params);
    // A top-level window of its own, so it may reach past the form's edges.
    Params.Style =
        (Params.Style & ~(WS_TABSTOP | WS_CHILD)) | WS_POPUP | WS_CLIPCHILDREN | (FCtl3D ? 0u : uint32_t(WS_BORDER));
    Params.ExStyle = (Params.ExStyle & ~WS_EX_CLIENTEDGE) | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WindowClassStyle |= CS_SAVEBITS;
}

void TPopupListboxEh::CreateWnd() {
    TCustomListBox::CreateWnd();
    // The list draws its selection as a focused list would while the editor keeps the focus.
    TMessage m(WM_SETFOCUS, 0, 0);
    DefaultHandler(m);
}

void TPopupListboxEh::KeyPress(char& Key) {
    TCustomListBox::KeyPress(Key);
    if (Key == 0) return;
    const auto code = static_cast<unsigned char>(Key);
    if (code == VK_BACK || code == VK_ESCAPE) {
        FSearchText.clear();
    } else if (code >= 32) {
        const uint32_t now = GetTickCount();
        if (now - FSearchTick > 2000) FSearchText.clear();
        FSearchTick = now;
        if (FSearchText.size() < 32) FSearchText += Key;
        // From the first item: an index as start would skip the head of a long list.
        Perform(LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(FSearchText.c_str()));
    }
    Key = 0;
}

void TPopupListboxEh::DrawItem(int Index, TRect R, TOwnerDrawState State) {
    if (!FImages) {
        TCustomListBox::DrawItem(Index, R, State);
        return;
    }
    TCanvas* c = Canvas();
    if (Index < 0) {
        c->FillRect(R);
        return;
    }
    const bool selected = State.Contains(odSelected);
    const int imageWidth = FImages->Width() + 4;
    const TRect imageRect = Rect(R.Left, R.Top, R.Left + imageWidth, R.Bottom);
    int imageIndex = Index;
    if (OnGetImageIndex) OnGetImageIndex(Owner(), Index, imageIndex);
    const TColor brush = c->Brush()->Color();
    c->Brush()->SetColor(Color());
    c->FillRect(imageRect);
    c->Brush()->SetColor(brush);
    DrawImageCentered(c, imageRect, FImages, selected, imageIndex);
    TRect textRect = Rect(imageRect.Right, R.Top, R.Right, R.Bottom);
    c->Brush()->SetColor(selected ? clHighlight : Color());
    c->Font()->SetColor(selected ? clHighlightText : Font()->Color());
    c->FillRect(textRect);
    if (Index < Count()) c->TextRect(textRect, R.Left + FImages->Width() + 5, R.Top, ItemText(Index));
    if (Index == ItemIndex()) c->DrawFocusRect(textRect);
}

void TPopupListboxEh::DrawPopupBorder(HDC DC) { DrawRaisedPopupBorder(DC, Width(), Height()); }

void TPopupListboxEh::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_NCCALCSIZE:
            TCustomListBox::WndProc(Message);
            InsetClientByBorder(Message, FBorderWidth);
            return;
        case WM_NCPAINT:
            TCustomListBox::WndProc(Message);
            if (FCtl3D) PaintPopupFrame(this, [this](HDC dc) { DrawPopupBorder(dc); });
            return;
        case WM_MOUSEACTIVATE:
            // A press selects an item; the editor keeps the focus and its window stays active.
            Message.Result = MA_NOACTIVATE;
            return;
        case WM_WINDOWPOSCHANGING:
            if (auto* wp = reinterpret_cast<TWindowPos*>(Message.LParam);
                wp && !(wp->flags & SWP_NOSIZE) && !ComponentState().Contains(rtl::csReading) &&
                !ComponentState().Contains(rtl::csDestroying)) {
                wp->cx = std::max(wp->cx, GetSystemMetrics(SM_CXVSCROLL));
                wp->cy = std::max(wp->cy, GetSystemMetrics(SM_CYVSCROLL));
            }
            break;
        case WM_MOUSEMOVE: {
            const TPoint p = LParamToPoint(Message.LParam);
            const bool buttons = (Message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
            if (!buttons && (p.X != FLastMousePoint.X || p.Y != FLastMousePoint.Y)) {
                FLastMousePoint = p;
                const int i = ItemAtPos(p, true);
                if (i >= 0 && i != ItemIndex()) SetItemIndex(i);
            }
            break;
        }
        case WM_MOUSEWHEEL:
            DoMouseWheel(KeysToShiftState(Message.WParamLo), Message.WParamHiS, LParamToPoint(Message.LParam));
            Message.Result = 1;
            return;
        case WM_SIZE:
            TCustomListBox::WndProc(Message);
            if (FSizeGrip) FSizeGrip->UpdatePosition();
            FResized = true;
            return;
        case ui::WM_DROPDOWNPLACED:
            if (FSizeGrip) FSizeGrip->ChangePosition(static_cast<int>(Message.WParam));
            return;
        default: break;
    }
    TCustomListBox::WndProc(Message);
}

// ---------------------------------------------------------------------------------------------
// TMRUListEh

TMRUListEh::TMRUListEh(rtl::TPersistent* Owner) : FOwner(Owner), FItems(std::make_unique<rtl::TStringList>()) {}

TMRUListEh::~TMRUListEh() = default;

rtl::TStrings* TMRUListEh::Items() const noexcept { return FItems.get(); }

void TMRUListEh::SetItems(rtl::TStrings* Value) { FItems->Assign(Value); }

void TMRUListEh::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    if (OnActiveChanged) OnActiveChanged(this);
}

void TMRUListEh::SetLimit(int Value) {
    if (FLimit == Value) return;
    FLimit = Value;
    TrimToLimit();
}

void TMRUListEh::TrimToLimit() {
    // A negative limit would never be reached: nothing is kept.
    const int limit = std::max(FLimit, 0);
    if (FItems->Count() <= limit) return;
    FItems->BeginUpdate();
    rtl::TryFinally(
        [&] {
            while (FItems->Count() > limit) FItems->Delete(0);
        },
        [this] { FItems->EndUpdate(); });
}

bool TMRUListEh::SameItem(const AnsiString& A, const AnsiString& B) const {
    return FCaseSensitive ? A == B : rtl::AnsiSameText(A, B);
}

void TMRUListEh::AddItem(const AnsiString& Text) {
    if (rtl::Trim(Text).empty()) return;
    for (int i = 0, n = FItems->Count(); i < n; ++i) {
        if (SameItem(FItems->Strings(i), Text)) {
            FItems->Move(i, n - 1);
            return;
        }
    }
    FItems->Add(Text);
    TrimToLimit();
}

bool TMRUListEh::KeyWaiting() const {
    TMsg msg;
    return PeekMessage(msg, 0, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE);
}

bool TMRUListEh::FilterItems(rtl::TStrings* Strings, const AnsiString& Text) {
    return FilterItems(Strings, Text, nullptr);
}

bool TMRUListEh::FilterItems(rtl::TStrings* Strings, const AnsiString& Text, const TMRUItemFilterEh& Filter) {
    Strings->BeginUpdate();
    return rtl::TryFinally([&] { return FillFiltered(Strings, Text, Filter); }, [Strings] { Strings->EndUpdate(); });
}

bool TMRUListEh::FillFiltered(rtl::TStrings* Strings, const AnsiString& Text, const TMRUItemFilterEh& Filter) {
    Strings->Clear();
    const size_t len = Text.size();
    for (int i = 0, n = FItems->Count(); i < n; ++i) {
        const AnsiString& item = FItems->Strings(i);
        bool accept;
        if (Filter) {
            accept = false;
            Filter(item, accept);
        } else {
            const std::string_view head = std::string_view(item).substr(0, std::min(len, item.size()));
            accept = FCaseSensitive ? rtl::AnsiCompareStr(head, Text) == 0 : rtl::AnsiCompareText(head, Text) == 0;
            if (OnFilterItem) OnFilterItem(this, accept);
        }
        if (accept) Strings->Add(item);
        if (i % 100 == 0 && FCancelIfKeyInQueue && KeyWaiting()) return false;
    }
    return true;
}

void TMRUListEh::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TMRUListEh*>(Source)) {
        SetActive(src->FActive);
        SetItems(src->FItems.get());
        SetLimit(src->FLimit);
        SetRows(src->FRows);
        SetCaseSensitive(src->FCaseSensitive);
        return;
    }
    rtl::TPersistent::Assign(Source);
}

void TMRUListEh::CloseList(bool Accept) {
    if (OnCloseUp) OnCloseUp(this, Accept);
}

void TMRUListEh::OpenList() {
    if (OnDropDown) OnDropDown(this);
}

// ---------------------------------------------------------------------------------------------
// TMRUListboxEh

namespace {

WPARAM ScrollCodeToSB(TScrollCode Code) {
    switch (Code) {
        case TScrollCode::scLineUp: return SB_LINEUP;
        case TScrollCode::scLineDown: return SB_LINEDOWN;
        case TScrollCode::scPageUp: return SB_PAGEUP;
        case TScrollCode::scPageDown: return SB_PAGEDOWN;
        case TScrollCode::scPosition: return SB_THUMBPOSITION;
        case TScrollCode::scTrack: return SB_THUMBPOSITION;
        case TScrollCode::scTop: return SB_TOP;
        case TScrollCode::scBottom: return SB_BOTTOM;
        case TScrollCode::scEndScroll: return SB_ENDSCROLL;
    }
    return SB_ENDSCROLL;
}

}  // namespace

TMRUListboxEh::TMRUListboxEh(rtl::TComponent* Owner) : TPopupListboxEh(Owner) {
    FScrollBar = rtl::Create<TScrollBar>(this);
    FScrollBar->SetKind(TScrollBarKind::sbVertical);
    FScrollBar->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
    FScrollBar->SetControlStyle(FScrollBar->ControlStyle() + TControlStyle{csReplicatable});
    FScrollBar->SetTabStop(false);
    FScrollBar->SetVisible(false);
    FScrollBar->SetParent(this);
    FScrollBarDefProc = FScrollBar->WindowProc;
    FScrollBar->WindowProc = [this](TMessage& M) { ScrollBarWndProc(M); };
    // The bar reports its scrolls as the reflected notification the list turns into its own.
    FScrollBar->OnScroll = [this](TObject*, TScrollCode Code, int& Pos) {
        TMessage m(CN_VSCROLL, MakeWParam(static_cast<uint16_t>(ScrollCodeToSB(Code)), static_cast<uint16_t>(Pos)), 0);
        FScrollBar->Deliver(m);
        Pos = TopIndex();  // the list decides how far a page goes
    };
}

TMRUListboxEh::~TMRUListboxEh() {
    if (FScrollBar) FScrollBar->WindowProc = nullptr;
}

void TMRUListboxEh::CreateParams(TCreateParams& Params) {
    TPopupListboxEh::CreateParams(Params);
    Params.Style &= ~(WS_VSCROLL | WS_HSCROLL);
}

void TMRUListboxEh::CreateWnd() {
    TPopupListboxEh::CreateWnd();
    PlaceScrollBar();
    UpdateScrollBar();
}

void TMRUListboxEh::PlaceScrollBar() {
    if (!FScrollBar) return;
    const int w = FScrollBar->Width();
    const int cw = ClientWidth(), ch = ClientHeight();
    const int grip = FSizeGrip->Height();
    TRect r = Rect(cw - w, 0, cw, ch);
    if (FSizeGrip->Corner() == 2)
        r.Bottom = std::max(ch - grip, 0);
    else if (FSizeGrip->Corner() == 1)
        r.Top = std::min(grip, ch);
    FPositioning = true;
    rtl::TryFinally([&] { FScrollBar->SetBoundsRect(r); }, [this] { FPositioning = false; });
}

void TMRUListboxEh::UpdateScrollBar() {
    if (!HandleAllocated() || !FScrollBar) return;
    FScrollBar->SetPageSize(0);
    const int rows = ClientHeight() / std::max(ItemHeight(), 1);
    const int count = Count();
    const bool gripOnLeft = FSizeGrip->Corner() == 0 || FSizeGrip->Corner() == 3;
    if (count > 0 && rows < count) {
        FScrollBar->SetParams(TopIndex(), 0, count - 1);
        FScrollBar->SetPageSize(rows);
        FScrollBar->SetVisible(true);
        FSizeGrip->SetTriangleShape(gripOnLeft);
    } else {
        FScrollBar->SetVisible(false);
        FSizeGrip->SetTriangleShape(true);
    }
}

void TMRUListboxEh::ScrollBarWndProc(TMessage& Message) {
    switch (Message.Msg) {
        case CN_VSCROLL: Perform(WM_VSCROLL, Message.WParam, 0); break;
        case WM_MOVE:
            if (!FPositioning) {
                PlaceScrollBar();
                UpdateScrollBar();
                return;
            }
            break;
        default: break;
    }
    if (FScrollBarDefProc)
        FScrollBarDefProc(Message);
    else
        FScrollBar->WndProc(Message);
}

void TMRUListboxEh::WndProc(TMessage& Message) {
    TPopupListboxEh::WndProc(Message);
    switch (Message.Msg) {
        case ui::WM_DROPDOWNPLACED:
        case WM_SIZE:
        case WM_MOUSEWHEEL:
        case CM_MOUSEWHEEL:
        case CM_CHANGED:
        case WM_VSCROLL:
        case WM_KEYDOWN:
            PlaceScrollBar();
            UpdateScrollBar();
            break;
        default: break;
    }
}

}  // namespace editors
