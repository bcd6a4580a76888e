#include <algorithm>

#include "framework/rtl/Ownership.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Themes.h"

namespace ui {

namespace {

// The window whose scroll-bar thumb the mouse drags; one at a time.
HWND& ThumbDragWindow() {
    static HWND h = 0;
    return h;
}

TSurfaceFactory& SurfaceFactory() {
    static TSurfaceFactory factory;
    return factory;
}

std::vector<TWinControl*>& TopLevels() {
    static std::vector<TWinControl*> list;
    return list;
}

constexpr int ScrollBarSize = 17;

}  // namespace

void SetSurfaceFactory(TSurfaceFactory Factory) { SurfaceFactory() = std::move(Factory); }

namespace detail {
const std::vector<TWinControl*>& TopLevelWindows() { return TopLevels(); }
void BringTopLevelToFront(TWinControl* Window) {
    auto& list = TopLevels();
    auto it = std::find(list.begin(), list.end(), Window);
    if (it == list.end()) return;
    list.erase(it);
    list.push_back(Window);
}
}  // namespace detail

TWinControl::TWinControl(TComponent* Owner) : TControl(Owner) {}

TWinControl::~TWinControl() {
    if (FSurface) detail::SurfaceGoing(FSurface.get());
}

void TWinControl::BeforeDestruction() {
    // Children that are not owned by this control lose their parent; owned ones go with the owner.
    while (!FControls.empty()) FControls.back()->SetParent(nullptr);
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, true);
    DestroyHandle();
    TControl::BeforeDestruction();
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= ControlCount())
        throw rtl::EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FControls[static_cast<size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    for (const TControl* c = Control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!AllowWinControls && !c->IsControl()) continue;
        if (!c->Visible() || !(c->Enabled() || AllowDisabled)) continue;
        const TPoint p = Point(Pos.X - c->Left(), Pos.Y - c->Top());
        if (!PtInRect(c->ClientRect(), p) && !PtInRect(Rect(0, 0, c->Width(), c->Height()), p)) continue;
        if (c->Perform(CM_HITTEST, 0, PointToLParam(p.X, p.Y)) != 0) return c;
    }
    return nullptr;
}

void TWinControl::InsertControl(TControl* AControl) {
    AControl->FParent = this;
    FControls.push_back(AControl);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        FTabList.push_back(w);
        if (HandleAllocated()) w->HandleNeeded();
    }
    AControl->Perform(CM_PARENTCOLORCHANGED);
    AControl->Perform(CM_PARENTFONTCHANGED);
    AControl->Perform(CM_PARENTSHOWHINTCHANGED);
    if (AControl->Visible()) {
        if (AControl->Align() != alNone) Realign();
        AControl->Invalidate();
    }
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end()) return;
    AControl->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(w, true);
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    }
    if (GetCaptureControl() && AControl->IsControl() && GetCaptureControl() == AControl) SetCaptureControl(nullptr);
    FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
    AControl->FParent = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (w->HandleAllocated() && w->FParentWindow == 0) w->DestroyHandle();
    }
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
    if (AControl->Align() != alNone) Realign();
}

void TWinControl::Broadcast(TMessage& Message) {
    for (TControl* c : std::vector<TControl*>(FControls)) {
        c->Deliver(Message);
        if (Message.Result != 0) return;
    }
}

void TWinControl::NotifyControls(UINT Msg) {
    TMessage m(Msg, 0, 0);
    Broadcast(m);
}

// ---------------------------------------------------------------------------------------------
// Window handle

HWND TWinControl::Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    CreateWnd();
    CreateChildHandles();
}

void TWinControl::CreateChildHandles() {
    for (TWinControl* w : std::vector<TWinControl*>(FTabList)) w->HandleNeeded();
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams{};
    Params.Caption = FText;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle.Contains(csAcceptsControls)) {
        Params.Style |= WS_CLIPCHILDREN;
        Params.ExStyle |= WS_EX_CONTROLPARENT;
    }
    if (!FEnabled) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    if (FVisible) Params.Style |= WS_VISIBLE;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    if (FParent)
        Params.WndParent = FParent->FHandle;
    else
        Params.WndParent = FParentWindow;
    Params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW;
    if (FControlStyle.Contains(csDoubleClicks)) Params.WindowClassStyle |= CS_DBLCLKS;
    Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
    if (FParent) FParent->HandleNeeded();
    TCreateParams params;
    CreateParams(params);
    if (!FParent && (params.Style & WS_CHILD) && params.WndParent == 0)
        throw rtl::EInvalidOperation("Control '" + Name() + "' has no parent window");
    FParams = params;
    CreateWindowHandle(FParams);
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    FHandle = detail::AllocateHandle(this);
    FWindowVisible = (Params.Style & WS_VISIBLE) != 0;
    FWindowEnabled = (Params.Style & WS_DISABLED) == 0;
    for (int bar = 0; bar < 2; ++bar) {
        const bool styled = (Params.Style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
        FBars[bar].Visible = styled && !FBars[bar].ForcedHidden &&
                             (FBars[bar].Info.nMax > FBars[bar].Info.nMin || FBars[bar].Info.nMax == 0);
        if (styled && FBars[bar].Info.nMax == 0 && FBars[bar].Info.nMin == 0) FBars[bar].Info.nMax = 100;
    }
    if (!FParent) {
        if (!FSurface) {
            if (SurfaceFactory())
                FSurface = SurfaceFactory()(this);
            else
                FSurface = std::make_unique<TRecordingSurface>(FWidth, FHeight);
        }
        TopLevels().push_back(this);
    }
    UpdateClientRect();
    Perform(WM_CREATE);
    FNCPaintPending = true;
    InvalidateRect(nullptr, true);
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    for (TWinControl* w : std::vector<TWinControl*>(FTabList)) w->DestroyHandle();
    FControlState.Include(csDestroyingHandle);
    rtl::TScopeExit destroyed([this] { FControlState.Exclude(csDestroyingHandle); });
    DestroyWnd();
}

void TWinControl::DestroyWnd() { DestroyWindowHandle(); }

void TWinControl::DestroyWindowHandle() {
    const HWND h = FHandle;
    Perform(WM_DESTROY);
    if (GetFocus() == h) {
        // The focus leaves a window that goes, as the window system does: nobody has it.
        detail::DropFocus(h);
    }
    if (GetCapture() == h) ReleaseCapture();
    detail::WindowGoing(h);
    detail::ReleaseHandle(h);
    FHandle = 0;
    FUpdateRgn.Clear();
    FNCPaintPending = false;
    auto& list = TopLevels();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    const bool focused = GetFocus() == FHandle;
    DestroyHandle();
    // Top-level windows keep their surface; recreating takes it over again.
    CreateHandle();
    if (focused && CanFocus()) ui::SetFocus(FHandle);
}

void TWinControl::SetWindowRgn(const TRegion* Region) {
    FWindowRgn = Region ? std::make_unique<TRegion>(*Region) : nullptr;
    if (FParent)
        FParent->Invalidate();
    else
        Invalidate();
}

bool TWinControl::WindowContainsPoint(TPoint ScreenPos) const {
    const TRect w = WindowRectOnScreen();
    if (!PtInRect(w, ScreenPos)) return false;
    return !FWindowRgn || FWindowRgn->Contains(Point(ScreenPos.X - w.Left, ScreenPos.Y - w.Top));
}

void TWinControl::SetParentWindow(HWND Value) {
    if (FParent || FParentWindow == Value) return;
    FParentWindow = Value;
}

void TWinControl::SetSurface(std::unique_ptr<TSurface> Value) {
    if (FSurface) detail::SurfaceGoing(FSurface.get());
    FSurface = std::move(Value);
    if (FSurface && FHandle) InvalidateRect(nullptr, true);
}

TWinControl* TWinControl::TopLevelWindow() const {
    const TWinControl* w = this;
    while (w->FParent) w = w->FParent;
    return const_cast<TWinControl*>(w);
}

void TWinControl::EnableWindow(bool Value) {
    if (FWindowEnabled == Value) return;
    FWindowEnabled = Value;
    if (!Value) {
        if (FHandle && GetCapture() == FHandle) ReleaseCapture();
    }
    if (FHandle) Perform(WM_ENABLE, Value ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Geometry

int TWinControl::BorderWidthNC() const {
    int w = 0;
    if (FParams.Style & WS_BORDER) w += 1;
    if (FParams.ExStyle & WS_EX_CLIENTEDGE) w += 2;
    return w;
}

void TWinControl::UpdateClientRect() {
    TNCCalcSizeParams p;
    p.Rgrc[0] = Bounds(FLeft, FTop, FWidth, FHeight);
    Perform(WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&p));
    TRect c = p.Rgrc[0];
    c.Offset(-FLeft, -FTop);
    if (c.Right < c.Left) c.Right = c.Left;
    if (c.Bottom < c.Top) c.Bottom = c.Top;
    FClientInWindow = c;
}

TRect TWinControl::GetClientRect() const {
    if (!FHandle) {
        // Without a window the frame follows from the parameters the window would get.
        auto* self = const_cast<TWinControl*>(this);
        TCreateParams params;
        self->CreateParams(params);
        self->FParams = params;
        self->UpdateClientRect();
    }
    return Rect(0, 0, FClientInWindow.Width(), FClientInWindow.Height());
}

TRect TWinControl::WindowRectOnScreen() const {
    TPoint o = Point(FLeft, FTop);
    if (FParent) {
        const TPoint p = FParent->ClientOrigin();
        o = Point(p.X + FLeft, p.Y + FTop);
    }
    return Bounds(o.X, o.Y, FWidth, FHeight);
}

TPoint TWinControl::ClientOrigin() const {
    if (!FHandle) (void)GetClientRect();
    const TRect w = WindowRectOnScreen();
    return Point(w.Left + FClientInWindow.Left, w.Top + FClientInWindow.Top);
}

bool TWinControl::Showing() const {
    if (!FVisible) return false;
    if (FParent) return FParent->Showing();
    return FHandle != 0 && FWindowVisible;
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FConstraints->Constrain(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FreeDeviceContexts();
    if (FHandle) {
        SetWindowPos(ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const bool sized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (sized) {
        Realign();
        Resize();
    }
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TWinControl::SetClientSize(int W, int H) {
    const TRect c = GetClientRect();
    SetBounds(FLeft, FTop, FWidth - c.Right + W, FHeight - c.Bottom + H);
}

void TWinControl::SetWindowPos(int X, int Y, int CX, int CY, UINT Flags) {
    if (!FHandle) HandleNeeded();
    TWindowPos wp{FHandle, 0, X, Y, CX, CY, Flags};
    if (Flags & SWP_NOMOVE) {
        wp.x = FLeft;
        wp.y = FTop;
    }
    if (Flags & SWP_NOSIZE) {
        wp.cx = FWidth;
        wp.cy = FHeight;
    }
    Perform(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    const TRect oldBounds = BoundsRect();
    const TRect oldClient = FClientInWindow;
    const bool moved = wp.x != FLeft || wp.y != FTop;
    const bool sized = wp.cx != FWidth || wp.cy != FHeight;
    const bool wasVisible = FWindowVisible;
    if (moved || sized) {
        if (FParent && FWindowVisible && FParent->FHandle) FParent->InvalidateRect(&oldBounds, true);
        UpdateBoundsRect(Bounds(wp.x, wp.y, wp.cx, wp.cy));
        if (!FParent && FSurface && sized) FSurface->SetSize(wp.cx, wp.cy);
    }
    if (sized || (Flags & SWP_FRAMECHANGED)) UpdateClientRect();
    if (wp.flags & SWP_SHOWWINDOW) FWindowVisible = true;
    if (wp.flags & SWP_HIDEWINDOW) FWindowVisible = false;
    if (!(wp.flags & SWP_NOZORDER) && !FParent) detail::BringTopLevelToFront(this);
    if (moved || sized || wasVisible != FWindowVisible || (Flags & SWP_FRAMECHANGED)) {
        if (FWindowVisible) {
            FNCPaintPending = true;
            InvalidateRect(nullptr, true);
        } else if (wasVisible && FParent && FParent->FHandle) {
            FParent->InvalidateRect(&oldBounds, true);
        }
        if (!FWindowVisible && wasVisible) {
            // The next window takes activation (and the focus) before this one lets it go.
            if (!FParent && GetActiveWindow() == FHandle) detail::ActivateNext(this);
            detail::WindowHidden(FHandle);
        }
        if (!moved) wp.flags |= SWP_NOMOVE;
        if (!sized && oldClient == FClientInWindow) wp.flags |= SWP_NOSIZE;
        Perform(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    }
    // An aligned child moved or sized by code or the user gives the space back to its siblings;
    // while the parent itself aligns, its Realign is a no-op.
    if ((moved || sized) && FParent && FAlign != alNone) FParent->Realign();
    if (FWindowVisible && !wasVisible && !FParent && !(Flags & SWP_NOACTIVATE)) SetActiveWindow(FHandle);
}

void TWinControl::ShowWindow(int Cmd) {
    switch (Cmd) {
        case SW_HIDE:
            SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
            break;
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE:
            SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            break;
        default: SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW); break;
    }
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (FParent == AParent) return;
    const bool hadHandle = FHandle != 0;
    TControl::SetParent(AParent);
    if (hadHandle && AParent && !FHandle) HandleNeeded();
    if (FHandle && AParent) {
        // Moving between parents changes a top-level window into a child.
        auto& list = TopLevels();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (FSurface) detail::SurfaceGoing(FSurface.get());
        FSurface.reset();
    }
}

void TWinControl::Realign() {
    if (FAlignLevel > 0) return;
    TRect r = GetClientRect();
    rtl::TScopedValue aligning(FAlignLevel, FAlignLevel + 1);
    AlignControls(nullptr, r);
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
    (void)AControl;
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : std::vector<TControl*>(FControls)) {
            if (c->Align() != a || !c->Visible()) continue;
            switch (a) {
                case alTop:
                    c->SetBounds(Rect.Left, Rect.Top, Rect.Width(), c->Height());
                    Rect.Top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(Rect.Left, Rect.Bottom - c->Height(), Rect.Width(), c->Height());
                    Rect.Bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(Rect.Left, Rect.Top, c->Width(), Rect.Height());
                    Rect.Left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(Rect.Right - c->Width(), Rect.Top, c->Width(), Rect.Height());
                    Rect.Right -= c->Width();
                    break;
                case alClient:
                    c->SetBounds(Rect.Left, Rect.Top, std::max(0, Rect.Width()), std::max(0, Rect.Height()));
                    break;
                default: break;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Scroll bars

int TWinControl::SetScrollInfo(int Bar, const TScrollInfo& Info, bool Redraw) {
    if (Bar == SB_CTL) return static_cast<int>(Perform(SBM_SETSCROLLINFO, Redraw, reinterpret_cast<LPARAM>(&Info)));
    if (Bar != SB_HORZ && Bar != SB_VERT) return 0;
    TBar& b = FBars[Bar];
    if (Info.fMask & SIF_RANGE) {
        b.Info.nMin = Info.nMin;
        b.Info.nMax = Info.nMax;
    }
    if (Info.fMask & SIF_PAGE) b.Info.nPage = Info.nPage;
    if (Info.fMask & SIF_POS) b.Info.nPos = Info.nPos;
    const int range = b.Info.nMax - b.Info.nMin + 1;
    if (b.Info.nPage > static_cast<UINT>(std::max(range, 0))) b.Info.nPage = static_cast<UINT>(std::max(range, 0));
    const int maxPos = b.Info.nMax - std::max(static_cast<int>(b.Info.nPage) - 1, 0);
    b.Info.nPos = std::clamp(b.Info.nPos, b.Info.nMin, std::max(b.Info.nMin, maxPos));
    const bool needed = b.Info.nMax > b.Info.nMin && (b.Info.nPage == 0 || static_cast<int>(b.Info.nPage) < range);
    const bool show = !b.ForcedHidden && (needed || (Info.fMask & SIF_DISABLENOSCROLL && b.Visible));
    if (show != b.Visible) {
        b.Visible = show;
        if (FHandle)
            SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else if (Redraw && FHandle && b.Visible) {
        FNCPaintPending = true;
        detail::AddPaintRequest(FHandle);
    }
    return b.Info.nPos;
}

bool TWinControl::EnableScrollBar(int Bar, UINT Arrows) {
    if (Bar == SB_CTL) return Perform(SBM_ENABLE_ARROWS, Arrows, 0) != 0;
    if (Bar != SB_HORZ && Bar != SB_VERT && Bar != SB_BOTH) return false;
    bool changed = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (Bar != SB_BOTH && Bar != b) continue;
        changed = changed || FBars[b].Disabled != (Arrows & ESB_DISABLE_BOTH);
        FBars[b].Disabled = Arrows & ESB_DISABLE_BOTH;
    }
    if (changed) InvalidateFrame();
    return changed;
}

UINT TWinControl::ScrollBarArrowsDisabled(int Bar) const {
    if (Bar == SB_CTL)
        return static_cast<UINT>(const_cast<TWinControl*>(this)->Perform(SBM_ENABLE_ARROWS, UINT(-1), 0));
    return Bar == SB_HORZ || Bar == SB_VERT ? FBars[Bar].Disabled : ESB_ENABLE_BOTH;
}

bool TWinControl::GetScrollInfo(int Bar, TScrollInfo& Info) const {
    if (Bar == SB_CTL)
        return const_cast<TWinControl*>(this)->Perform(SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&Info)) != 0;
    if (Bar != SB_HORZ && Bar != SB_VERT) return false;
    const TScrollInfo& s = FBars[Bar].Info;
    if (Info.fMask & SIF_RANGE) {
        Info.nMin = s.nMin;
        Info.nMax = s.nMax;
    }
    if (Info.fMask & SIF_PAGE) Info.nPage = s.nPage;
    if (Info.fMask & SIF_POS) Info.nPos = s.nPos;
    if (Info.fMask & SIF_TRACKPOS) Info.nTrackPos = s.nTrackPos;
    return true;
}

int TWinControl::SetScrollPos(int Bar, int Pos, bool Redraw) {
    const int old = GetScrollPos(Bar);
    TScrollInfo i;
    i.fMask = SIF_POS;
    i.nPos = Pos;
    SetScrollInfo(Bar, i, Redraw);
    return old;
}

int TWinControl::GetScrollPos(int Bar) const {
    if (Bar != SB_HORZ && Bar != SB_VERT) return 0;
    return FBars[Bar].Info.nPos;
}

bool TWinControl::SetScrollRange(int Bar, int Min, int Max, bool Redraw) {
    TScrollInfo i;
    i.fMask = SIF_RANGE;
    i.nMin = Min;
    i.nMax = Max;
    SetScrollInfo(Bar, i, Redraw);
    return Bar == SB_HORZ || Bar == SB_VERT;
}

bool TWinControl::ShowScrollBar(int Bar, bool Show) {
    bool changed = false;
    for (int b = 0; b < 2; ++b) {
        if (Bar != SB_BOTH && Bar != b) continue;
        FBars[b].ForcedHidden = !Show;
        if (FBars[b].Visible != Show) {
            FBars[b].Visible = Show;
            changed = true;
        }
    }
    if (changed && FHandle)
        SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return Bar == SB_HORZ || Bar == SB_VERT || Bar == SB_BOTH;
}

bool TWinControl::ScrollBarVisible(int Bar) const { return (Bar == SB_HORZ || Bar == SB_VERT) && FBars[Bar].Visible; }

void TWinControl::ScrollBarClick(int Bar, TPoint ScreenPos) {
    // Arrows scroll a line, the track beside the thumb a page; every click ends with SB_ENDSCROLL,
    // as the window system's scroll loop does. The thumb follows the mouse until the release.
    TBar& b = FBars[Bar];
    const TRect w = WindowRectOnScreen();
    const TRect& c = FClientInWindow;
    const bool vert = Bar == SB_VERT;
    const int pos = vert ? ScreenPos.Y - w.Top - c.Top : ScreenPos.X - w.Left - c.Left;
    const int length = vert ? c.Height() : c.Width();
    int thumbStart = 0, thumbLen = 0;
    ScrollThumb(length, ScrollBarSize, b.Info.nMin, b.Info.nMax, static_cast<int>(b.Info.nPage), b.Info.nPos,
                thumbStart, thumbLen);
    int code;
    if (b.Disabled == ESB_DISABLE_BOTH) return;
    if (pos < ScrollBarSize)
        code = SB_LINEUP;
    else if (pos >= length - ScrollBarSize)
        code = SB_LINEDOWN;
    else if (pos < thumbStart)
        code = SB_PAGEUP;
    else if (pos >= thumbStart + thumbLen)
        code = SB_PAGEDOWN;
    else
        code = SB_THUMBTRACK;
    if ((code == SB_LINEUP && (b.Disabled & ESB_DISABLE_LTUP)) ||
        (code == SB_LINEDOWN && (b.Disabled & ESB_DISABLE_RTDN)))
        return;
    if (code == SB_THUMBTRACK) {
        if (FThumbDrag.Bar >= 0) return;
        SetCapture(FHandle);
        FThumbDrag = TThumbDrag{Bar, pos - thumbStart, b.Info.nPos};
        b.Info.nTrackPos = b.Info.nPos;
        ThumbDragWindow() = FHandle;
        return;
    }
    const UINT msg = vert ? WM_VSCROLL : WM_HSCROLL;
    Perform(msg, MakeWParam(code, 0), 0);
    Perform(msg, MakeWParam(SB_ENDSCROLL, 0), 0);
}

void TWinControl::ThumbDragTo(TPoint ScreenPos) {
    TBar& b = FBars[FThumbDrag.Bar];
    const bool vert = FThumbDrag.Bar == SB_VERT;
    const TRect w = WindowRectOnScreen();
    const TRect& c = FClientInWindow;
    const int at = vert ? ScreenPos.Y - w.Top - c.Top : ScreenPos.X - w.Left - c.Left;
    const int pos = ScrollThumbPos(vert ? c.Height() : c.Width(), ScrollBarSize, b.Info.nMin, b.Info.nMax,
                                   static_cast<int>(b.Info.nPage), at - FThumbDrag.Grab);
    if (pos == b.Info.nTrackPos) return;
    b.Info.nTrackPos = pos;
    InvalidateFrame();
    Perform(vert ? WM_VSCROLL : WM_HSCROLL, MakeWParam(SB_THUMBTRACK, pos), 0);
}

void TWinControl::EndThumbDrag(bool Drop) {
    const int bar = FThumbDrag.Bar;
    if (bar < 0) return;
    FThumbDrag.Bar = -1;
    ThumbDragWindow() = 0;
    if (GetCapture() == FHandle) ReleaseCapture();
    TBar& b = FBars[bar];
    if (!Drop) b.Info.nTrackPos = FThumbDrag.StartPos;
    InvalidateFrame();
    const UINT msg = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    Perform(msg, MakeWParam(SB_THUMBPOSITION, b.Info.nTrackPos), 0);
    Perform(msg, MakeWParam(SB_ENDSCROLL, 0), 0);
}

namespace detail {

bool ThumbDragMessage(const TMsg& Msg) {
    const HWND h = ThumbDragWindow();
    if (!h) return false;
    TWinControl* w = FindControl(h);
    if (!w || w->FThumbDrag.Bar < 0) {
        ThumbDragWindow() = 0;
        return false;
    }
    switch (Msg.message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE: w->ThumbDragTo(Msg.pt); return true;
        case WM_LBUTTONUP:
        case WM_NCLBUTTONUP: w->EndThumbDrag(true); return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (Msg.wParam == VK_ESCAPE) w->EndThumbDrag(false);
            return true;
        default:
            // Other buttons and keys wait until the thumb is let go.
            return (Msg.message >= WM_KEYFIRST && Msg.message <= WM_KEYLAST) ||
                   (Msg.message >= WM_MOUSEFIRST && Msg.message <= WM_MOUSELAST && Msg.message != WM_MOUSEWHEEL) ||
                   (Msg.message >= WM_NCMOUSEMOVE && Msg.message <= WM_NCMOUSEMOVE + 9);
    }
}

}  // namespace detail

void TWinControl::ScrollBy(int DeltaX, int DeltaY) {
    // Graphic children move here; window children move with the window's content.
    for (TControl* c : std::vector<TControl*>(FControls))
        if (c->IsControl()) c->SetBounds(c->Left() + DeltaX, c->Top() + DeltaY, c->Width(), c->Height());
    ScrollWindow(DeltaX, DeltaY, nullptr, nullptr);
}

void TWinControl::ScrollWindow(int DX, int DY, const TRect* R, const TRect* ClipRect) {
    ScrollWindowEx(DX, DY, R, ClipRect, nullptr, nullptr,
                   SW_INVALIDATE | SW_ERASE | (R ? 0u : unsigned(SW_SCROLLCHILDREN)));
}

int TWinControl::ScrollWindowEx(int DX, int DY, const TRect* R, const TRect* ClipRect, TRegion* UpdateRgn,
                                TRect* UpdateRect, unsigned Flags) {
    if (!FHandle) return ERROR;
    const TRect client = GetClientRect();
    TRect area;
    if (!IntersectRect(area, R ? *R : client, client) || (ClipRect && !IntersectRect(area, area, *ClipRect)))
        area = TRect();
    TRegion update;
    if (!area.IsEmpty() && (DX != 0 || DY != 0)) {
        // Pixels that can be seen before and after the move are moved; the rest of the area is
        // what was uncovered and must be painted.
        TRect moved;
        TPoint offset;
        TRegion visible;
        if (TSurface* surface = PaintSurface(offset, visible)) {
            TRect seen = visible.Bounds();
            seen.Offset(-offset.X, -offset.Y);
            TRect from;
            if (IntersectRect(from, area, seen)) {
                TRect to = from;
                to.Offset(DX, DY);
                if (IntersectRect(moved, to, from)) {
                    TRect source = moved;
                    source.Offset(offset.X - DX, offset.Y - DY);
                    surface->MovePixels(source, DX, DY);
                }
            }
        }
        update = TRegion(area);
        if (!moved.IsEmpty()) update.Subtract(moved);
        // A part waiting to be painted travels with the pixels.
        TRegion pending = FUpdateRgn;
        pending.Intersect(area);
        if (!pending.IsEmpty() && !moved.IsEmpty()) {
            FUpdateRgn.Subtract(moved);
            pending.Offset(DX, DY);
            pending.Intersect(moved);
            FUpdateRgn.Union(pending);
        }
        if (Flags & SW_SCROLLCHILDREN) {
            for (TWinControl* w : std::vector<TWinControl*>(FTabList))
                if (!R || w->BoundsRect().Intersects(area))
                    w->SetBounds(w->Left() + DX, w->Top() + DY, w->Width(), w->Height());
        }
        if (Flags & SW_INVALIDATE)
            for (const TRect& r : update.Rects()) InvalidateRect(&r, (Flags & SW_ERASE) != 0);
    }
    if (UpdateRgn) *UpdateRgn = update;
    if (UpdateRect) *UpdateRect = update.Bounds();
    if (update.IsEmpty()) return NULLREGION;
    return update.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// ---------------------------------------------------------------------------------------------
// Update region and painting

void TWinControl::InvalidateRect(const TRect* R, bool Erase) {
    if (!FHandle) return;
    const TRect client = GetClientRect();
    TRect r = client;
    if (R && !IntersectRect(r, *R, client)) return;
    if (r.IsEmpty()) return;
    FUpdateRgn.Union(r);
    if (Erase) FEraseBackground = true;
    detail::AddPaintRequest(FHandle);
    // Children paint on the same surface after their parent, so they must paint again too.
    for (TWinControl* w : FTabList) {
        if (!w->FHandle || !w->FWindowVisible || !w->FVisible) continue;
        const TRect bounds = w->BoundsRect();
        if (!bounds.Intersects(r)) continue;
        const TRect inner = Bounds(w->FLeft + w->FClientInWindow.Left, w->FTop + w->FClientInWindow.Top,
                                   w->FClientInWindow.Width(), w->FClientInWindow.Height());
        if (bounds != inner) w->InvalidateFrame();
        TRect part;
        if (!IntersectRect(part, inner, r)) continue;
        part.Offset(-inner.Left, -inner.Top);
        w->InvalidateRect(&part, Erase);
    }
}

void TWinControl::ValidateRect(const TRect* R) {
    if (R)
        FUpdateRgn.Subtract(*R);
    else
        FUpdateRgn.Clear();
    if (!R) FNCPaintPending = false;
    if (FUpdateRgn.IsEmpty()) {
        FEraseBackground = false;
        if (!FNCPaintPending && FHandle) detail::RemovePaintRequest(FHandle);
    }
}

bool TWinControl::GetUpdateRect(TRect& R) const {
    R = FUpdateRgn.Bounds();
    return !FUpdateRgn.IsEmpty();
}

void TWinControl::InvalidateFrame() {
    if (!FHandle) return;
    FNCPaintPending = true;
    detail::AddPaintRequest(FHandle);
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(nullptr, !FControlStyle.Contains(csOpaque));
}

void TWinControl::UpdateWindow() {
    if (FHandle && NeedsPaint() && !FPainting) Perform(WM_PAINT);
}

void TWinControl::Update() {
    UpdateWindow();
    for (TWinControl* w : std::vector<TWinControl*>(FTabList))
        if (w->FHandle && w->FWindowVisible) w->Update();
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

TSurface* TWinControl::PaintSurface(TPoint& ClientOffset, TRegion& VisibleClip) {
    TWinControl* top = TopLevelWindow();
    if (!top->FSurface) return nullptr;
    const TPoint origin = ClientOrigin();
    const TRect topRect = top->WindowRectOnScreen();
    ClientOffset = Point(origin.X - topRect.Left, origin.Y - topRect.Top);
    // What can be seen of the client area: inside every parent's client area.
    TRect visible = Bounds(ClientOffset.X, ClientOffset.Y, FClientInWindow.Width(), FClientInWindow.Height());
    for (TWinControl* p = FParent; p; p = p->FParent) {
        const TPoint po = p->ClientOrigin();
        const TRect pr =
            Bounds(po.X - topRect.Left, po.Y - topRect.Top, p->FClientInWindow.Width(), p->FClientInWindow.Height());
        IntersectRect(visible, visible, pr);
    }
    VisibleClip = TRegion(visible);
    return top->FSurface.get();
}

void TWinControl::PaintHandler(TWMPaint& Message) {
    if (Message.DC != 0) {
        HDC dc = reinterpret_cast<HDC>(Message.DC);
        PaintWindow(dc);
        PaintControls(dc, nullptr);
        return;
    }
    TRegion update = FUpdateRgn;
    const bool erase = FEraseBackground;
    const bool ncPaint = FNCPaintPending;
    FPainting = true;
    struct TDone {
        TWinControl* W;
        ~TDone() { W->FPainting = false; }
    } done{this};
    ValidateRect(nullptr);
    if (ncPaint) Perform(WM_NCPAINT, 1, 0);
    if (update.IsEmpty()) return;
    TPoint offset;
    TRegion clip;
    TSurface* surface = PaintSurface(offset, clip);
    if (!surface) return;
    update.Offset(offset.X, offset.Y);
    clip.Intersect(update);
    if (clip.IsEmpty()) return;
    TCanvas dc(surface);
    dc.SetViewportOrgEx(offset.X, offset.Y);
    dc.SelectClipRgn(&clip);
    if (erase) Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), reinterpret_cast<LPARAM>(&dc));
    dc.Font()->Assign(Font());
    PaintWindow(&dc);
    PaintControls(&dc, nullptr);
    detail::PaintCaret(this, dc);
}

void TWinControl::PaintWindow(HDC DC) {
    TMessage m(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
    auto it = FControls.begin();
    if (First) it = std::find(FControls.begin(), FControls.end(), First);
    for (; it != FControls.end(); ++it) {
        TControl* c = *it;
        if (!c->IsControl() || !c->Visible()) continue;
        const TRect r = c->BoundsRect();
        if (!DC->RectVisible(r)) continue;
        TSavedDC saved(*DC);
        const TPoint org = DC->ViewportOrg();
        DC->IntersectClipRect(r);
        DC->SetViewportOrgEx(org.X + r.Left, org.Y + r.Top);
        c->PaintControl(DC);
    }
}

// ---------------------------------------------------------------------------------------------
// Tab order and focus

void TWinControl::SetTabStop(bool Value) {
    if (FTabStop == Value) return;
    FTabStop = Value;
    if (FHandle) {
        if (Value)
            FParams.Style |= WS_TABSTOP;
        else
            FParams.Style &= ~WS_TABSTOP;
    }
    Perform(CM_TABSTOPCHANGED);
}

int TWinControl::TabOrder() const {
    if (!FParent) return -1;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (!FParent) return;
    auto& l = FParent->FTabList;
    auto it = std::find(l.begin(), l.end(), this);
    if (it == l.end()) return;
    l.erase(it);
    const int count = static_cast<int>(l.size());
    if (Value < 0 || Value > count) Value = count;
    l.insert(l.begin() + Value, this);
}

bool TWinControl::CanFocus() const {
    const TCustomForm* form = GetParentForm(this);
    if (!form) return false;
    for (const TControl* c = this; c && c != form; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const { return FHandle != 0 && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
    if (TCustomForm* form = GetParentForm(this))
        form->FocusControl(this);
    else if (FParentWindow != 0)
        ui::SetFocus(Handle());
    else
        (void)ValidParentForm(this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* w : FTabList) {
        List.push_back(w);
        w->GetTabOrderList(List);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const int count = static_cast<int>(list.size());
    auto found = std::find(list.begin(), list.end(), CurControl);
    int start = found == list.end() ? (GoForward ? count - 1 : 0) : static_cast<int>(found - list.begin());
    int i = start;
    do {
        if (GoForward) {
            if (++i == count) i = 0;
        } else {
            if (i == 0) i = count;
            --i;
        }
        TWinControl* c = list[static_cast<size_t>(i)];
        if (c->CanFocus() && (!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this)) return c;
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) next->SetFocus();
}

void TWinControl::SelectFirst() {
    TCustomForm* form = GetParentForm(this);
    if (!form) return;
    TWinControl* c = FindNextControl(nullptr, true, true, false);
    if (!c) c = FindNextControl(nullptr, true, false, false);
    if (c) c->SetFocus();
}

// ---------------------------------------------------------------------------------------------
// Keys

bool TWinControl::DoKeyDown(TWMKey& Message) {
    TShiftState shift = KeyDataToShiftState(Message.KeyData);
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyDown(Message)) return true;
    uint16_t key = Message.CharCode;
    if (key != 0) {
        KeyDown(key, shift);
        Message.CharCode = key;
    }
    return Message.CharCode == 0;
}

bool TWinControl::DoKeyPress(TWMKey& Message) {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyPress(Message)) return true;
    char ch = static_cast<char>(Message.CharCode);
    KeyPress(ch);
    Message.CharCode = static_cast<uint8_t>(ch);
    return ch == 0;
}

bool TWinControl::DoKeyUp(TWMKey& Message) {
    TShiftState shift = KeyDataToShiftState(Message.KeyData);
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyUp(Message)) return true;
    uint16_t key = Message.CharCode;
    if (key != 0) {
        KeyUp(key, shift);
        Message.CharCode = key;
    }
    return Message.CharCode == 0;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------------------------------------
// Messages

bool TWinControl::IsControlMouseMsg(TWMMouse& Message) {
    TControl* control = nullptr;
    TControl* capture = GetCaptureControl();
    if (capture && capture->Parent() == this)
        control = capture;
    else if (!capture || capture == this)
        control = ControlAtPos(Message.Pos(), false);
    if (!control || control == this || !control->IsControl()) return false;
    TMessage m(Message.Msg, Message.Keys, PointToLParam(Message.XPos - control->Left(), Message.YPos - control->Top()));
    control->Deliver(m);
    Message.Result = m.Result;
    return true;
}

void TWinControl::WndProc(TMessage& Message) {
    // Outside the mouse range the inherited procedure only dispatches: go there directly.
    if (Message.Msg > WM_MOUSELAST || Message.Msg < WM_SETFOCUS) {
        Dispatch(Message);
        return;
    }
    switch (Message.Msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS: break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK: {
            TWMMouse m(Message);
            if (IsControlMouseMsg(m)) {
                // Only the window system's own handling: the window's class (an edit) must not
                // act on a press that belongs to a graphic child.
                if (Message.Result == 0 && FHandle) TWinControl::DefaultHandler(Message);
                return;
            }
            break;
        }
        default: break;
    }
    TControl::WndProc(Message);
}

void TWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_PAINT: {
            TWMPaint m(Message);
            WMPaint(m);
            return;
        }
        case WM_ERASEBKGND: {
            TWMEraseBkgnd m(Message);
            WMEraseBkgnd(m);
            return;
        }
        case WM_NCCALCSIZE: {
            TWMNCCalcSize m(Message);
            WMNCCalcSize(m);
            return;
        }
        case WM_NCHITTEST: {
            TWMNCHitTest m(Message);
            WMNCHitTest(m);
            return;
        }
        case WM_NCPAINT: WMNCPaint(Message); return;
        case WM_SETFOCUS: {
            TWMSetFocus m(Message);
            WMSetFocus(m);
            return;
        }
        case WM_KILLFOCUS: {
            TWMKillFocus m(Message);
            WMKillFocus(m);
            return;
        }
        case WM_KEYDOWN: {
            TWMKey m(Message);
            WMKeyDown(m);
            return;
        }
        case WM_SYSKEYDOWN: {
            TWMKey m(Message);
            WMSysKeyDown(m);
            return;
        }
        case WM_KEYUP: {
            TWMKey m(Message);
            WMKeyUp(m);
            return;
        }
        case WM_SYSKEYUP: {
            TWMKey m(Message);
            WMSysKeyUp(m);
            return;
        }
        case WM_CHAR: {
            TWMKey m(Message);
            WMChar(m);
            return;
        }
        case WM_GETDLGCODE: {
            TWMGetDlgCode m(Message);
            WMGetDlgCode(m);
            return;
        }
        case WM_SIZE: {
            TWMSize m(Message);
            WMSize(m);
            return;
        }
        case WM_MOVE: {
            TWMMove m(Message);
            WMMove(m);
            return;
        }
        case WM_SETCURSOR: {
            TWMSetCursor m(Message);
            WMSetCursor(m);
            return;
        }
        case WM_TIMER: {
            TWMTimer m(Message);
            WMTimer(m);
            return;
        }
        case WM_HSCROLL: {
            TWMScroll m(Message);
            WMHScroll(m);
            return;
        }
        case WM_VSCROLL: {
            TWMScroll m(Message);
            WMVScroll(m);
            return;
        }
        case WM_CONTEXTMENU: {
            TWMContextMenu m(Message);
            WMContextMenu(m);
            return;
        }
        case WM_WINDOWPOSCHANGING: {
            TWMWindowPosChanging m(Message);
            WMWindowPosChanging(m);
            return;
        }
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN: {
            TWMKey m(Message);
            CNKeyDown(m);
            return;
        }
        case CN_KEYUP: {
            TWMKey m(Message);
            CNKeyUp(m);
            return;
        }
        case CN_CHAR:
        case CN_SYSCHAR: {
            TWMKey m(Message);
            CNChar(m);
            return;
        }
        case CM_ENTER: {
            TCMEnter m(Message);
            CMEnter(m);
            return;
        }
        case CM_EXIT: {
            TCMExit m(Message);
            CMExit(m);
            return;
        }
        case CM_DIALOGKEY: {
            TCMDialogKey m(Message);
            CMDialogKey(m);
            return;
        }
        case CM_DIALOGCHAR: {
            TCMDialogKey m(Message);
            CMDialogChar(m);
            return;
        }
        case CM_CHILDKEY: {
            TCMChildKey m(Message);
            CMChildKey(m);
            return;
        }
        case CM_WANTSPECIALKEY: {
            TCMWantSpecialKey m(Message);
            CMWantSpecialKey(m);
            return;
        }
        case CM_FOCUSCHANGED: {
            TCMFocusChanged m(Message);
            CMFocusChanged(m);
            return;
        }
        case CM_RECREATEWND: CMRecreateWnd(Message); return;
        case CM_SHOWINGCHANGED: CMShowingChanged(Message); return;
        case CM_INVALIDATE: CMInvalidate(Message); return;
        default: TControl::Dispatch(Message);
    }
}

// The window system's own handling of what no control handled: one named handler per message.
struct TWinControlWindowProc {
    using TWin = TWinControl;
    static void NCCalcSize(TWin& W, TMessage& M) {
        auto* p = reinterpret_cast<TNCCalcSizeParams*>(M.LParam);
        if (!p) return;
        TRect& r = p->Rgrc[0];
        const int b = W.BorderWidthNC();
        r.Inflate(-b, -b);
        if (W.FBars[SB_VERT].Visible) r.Right -= ScrollBarSize;
        if (W.FBars[SB_HORZ].Visible) r.Bottom -= ScrollBarSize;
        if (r.Right < r.Left) r.Right = r.Left;
        if (r.Bottom < r.Top) r.Bottom = r.Top;
        M.Result = 0;
    }
    static void NCHitTest(TWin& W, TMessage& M) {
        const TRect w = W.WindowRectOnScreen();
        const TPoint p = LParamToPoint(M.LParam);
        if (!PtInRect(w, p)) {
            M.Result = HTNOWHERE;
            return;
        }
        const TPoint wp = Point(p.X - w.Left, p.Y - w.Top);
        const TRect& c = W.FClientInWindow;
        if (PtInRect(c, wp))
            M.Result = HTCLIENT;
        else if (W.FBars[SB_VERT].Visible && wp.X >= c.Right && wp.X < c.Right + ScrollBarSize && wp.Y >= c.Top &&
                 wp.Y < c.Bottom)
            M.Result = HTVSCROLL;
        else if (W.FBars[SB_HORZ].Visible && wp.Y >= c.Bottom && wp.Y < c.Bottom + ScrollBarSize && wp.X >= c.Left &&
                 wp.X < c.Right)
            M.Result = HTHSCROLL;
        else
            M.Result = HTBORDER;
    }
    static void NCPaint(TWin& W, TMessage&) {
        if (!W.FHandle) return;
        TWinControl* top = W.TopLevelWindow();
        if (!top->FSurface) return;
        const TRect topRect = top->WindowRectOnScreen();
        const TRect w = W.WindowRectOnScreen();
        TCanvas dc(top->FSurface.get());
        dc.SetViewportOrgEx(w.Left - topRect.Left, w.Top - topRect.Top);
        TRegion frame(Rect(0, 0, W.FWidth, W.FHeight));
        frame.Subtract(W.FClientInWindow);
        frame.Offset(w.Left - topRect.Left, w.Top - topRect.Top);
        if (W.FParent) {
            TPoint o;
            TRegion vis;
            W.FParent->PaintSurface(o, vis);
            frame.Intersect(vis);
        }
        if (frame.IsEmpty()) return;
        dc.SelectClipRgn(&frame);
        TRect r = Rect(0, 0, W.FWidth, W.FHeight);
        if (W.FParams.Style & WS_BORDER) {
            FrameRectColor(&dc, r, clWindowFrame);
            r.Inflate(-1, -1);
        }
        if (W.FParams.ExStyle & WS_EX_CLIENTEDGE) {
            if (ThemeServices().ThemesEnabled()) {
                // A 1-pixel border in the state's colour; the rest of the edge is the control's face.
                TThemedEdit part = teEditBorderNormal;
                if (!W.IsWindowEnabled())
                    part = teEditBorderDisabled;
                else if (GetFocus() == W.FHandle)
                    part = teEditBorderFocused;
                else if (GetMouseControl() == &W)
                    part = teEditBorderHot;
                ThemeServices().DrawElement(&dc, ThemeServices().GetElementDetails(part), r);
                r.Inflate(-1, -1);
                FrameRectColor(&dc, r, W.FColor);
                r.Inflate(-1, -1);
            } else {
                DrawEdge(&dc, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
            }
        }
        const TRect& c = W.FClientInWindow;
        for (const int kind : {SB_VERT, SB_HORZ}) {
            const TWin::TBar& b = W.FBars[kind];
            if (!b.Visible) continue;
            const bool vert = kind == SB_VERT;
            const TRect bar = vert ? Rect(c.Right, c.Top, c.Right + ScrollBarSize, c.Bottom)
                                   : Rect(c.Left, c.Bottom, c.Right, c.Bottom + ScrollBarSize);
            int start = 0, size = 0;
            ScrollThumb(vert ? bar.Height() : bar.Width(), ScrollBarSize, b.Info.nMin, b.Info.nMax,
                        static_cast<int>(b.Info.nPage), W.FThumbDrag.Bar == kind ? b.Info.nTrackPos : b.Info.nPos,
                        start, size);
            const bool scrolls = W.IsWindowEnabled() && b.Disabled != ESB_DISABLE_BOTH && b.Info.nMax > b.Info.nMin &&
                                 (b.Info.nPage == 0 || static_cast<int>(b.Info.nPage) <= b.Info.nMax - b.Info.nMin);
            DrawScrollBarParts(&dc, bar, vert, start, size, scrolls);
        }
        if (W.FBars[SB_VERT].Visible && W.FBars[SB_HORZ].Visible)
            FillRectColor(&dc, Rect(c.Right, c.Bottom, c.Right + ScrollBarSize, c.Bottom + ScrollBarSize), clBtnFace);
    }
    static void Paint(TWin& W, TMessage& M) {
        if (M.WParam == 0) W.ValidateRect(nullptr);
    }
    static void EraseBkgnd(TWin&, TMessage& M) { M.Result = 0; }
    static void SetCursor(TWin& W, TMessage& M) {
        // The parent decides first; otherwise the client area shows the arrow.
        if (W.FParent && W.FParent->FHandle && SendMessage(W.FParent->FHandle, WM_SETCURSOR, M.WParam, M.LParam) != 0) {
            M.Result = 1;
            return;
        }
        const int16_t hit = static_cast<int16_t>(M.LParamLo);
        if (hit == HTCLIENT || hit == HTVSCROLL || hit == HTHSCROLL || hit == HTBORDER) {
            SetCursorShape(crArrow);
            M.Result = 1;
        }
    }
    // Wheel, context menu and help go up to the parent window.
    static void ToParent(TWin& W, TMessage& M) {
        if (W.FParent && W.FParent->FHandle) M.Result = SendMessage(W.FParent->FHandle, M.Msg, M.WParam, M.LParam);
    }
    static void KeyF1(TWin& W, TMessage&) {
        if (!W.FHandle) return;
        THelpInfo info;
        info.hItemHandle = W.FHandle;
        const TPoint at = GetCursorPos();
        info.MousePosX = at.X;
        info.MousePosY = at.Y;
        SendMessage(W.FHandle, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    static void KeyUp(TWin& W, TMessage& M) {
        if (M.WParam == VK_APPS && W.FHandle) SendMessage(W.FHandle, WM_CONTEXTMENU, W.FHandle, PointToLParam(-1, -1));
    }
    static void SysKeyDown(TWin& W, TMessage& M) {
        if (M.WParam == VK_F10 && GetKeyState(VK_SHIFT) < 0 && W.FHandle) {
            SendMessage(W.FHandle, WM_CONTEXTMENU, W.FHandle, PointToLParam(-1, -1));
            return;
        }
        // F10 enters the menu bar of the window's form.
        if (M.WParam == VK_F10 && GetKeyState(VK_CONTROL) >= 0 && W.FHandle)
            SendMessage(W.TopLevelWindow()->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    }
    static void SysChar(TWin& W, TMessage& M) {
        // An Alt+letter no accelerator of the form took opens the menu bar's item.
        if (W.FHandle && static_cast<uint8_t>(M.WParam) > ' ')
            SendMessage(W.TopLevelWindow()->Handle(), WM_SYSCOMMAND, SC_KEYMENU,
                        static_cast<LPARAM>(static_cast<uint8_t>(M.WParam)));
    }
    static void RButtonUp(TWin& W, TMessage& M) {
        const TPoint p = W.ClientToScreen(LParamToPoint(M.LParam));
        if (W.FHandle) SendMessage(W.FHandle, WM_CONTEXTMENU, W.FHandle, PointToLParam(p.X, p.Y));
    }
    static void CancelMode(TWin& W, TMessage&) {
        W.EndThumbDrag(false);
        if (W.FHandle && GetCapture() == W.FHandle) ReleaseCapture();
    }
    static void CaptureChanged(TWin& W, TMessage&) { W.EndThumbDrag(false); }
    static void WindowPosChanged(TWin& W, TMessage& M) {
        auto* wp = reinterpret_cast<TWindowPos*>(M.LParam);
        if (!wp || !W.FHandle) return;
        const TRect& c = W.FClientInWindow;
        if (!(wp->flags & SWP_NOMOVE))
            SendMessage(W.FHandle, WM_MOVE, 0, PointToLParam(W.FLeft + c.Left, W.FTop + c.Top));
        if (!(wp->flags & SWP_NOSIZE) || (wp->flags & SWP_FRAMECHANGED))
            SendMessage(W.FHandle, WM_SIZE, SIZE_RESTORED, static_cast<LPARAM>(MakeWParam(c.Width(), c.Height())));
    }
    static void MouseActivate(TWin&, TMessage& M) { M.Result = MA_ACTIVATE; }
    static void NCLButtonDown(TWin& W, TMessage& M) {
        if (M.WParam == HTVSCROLL || M.WParam == HTHSCROLL)
            W.ScrollBarClick(M.WParam == HTVSCROLL ? SB_VERT : SB_HORZ, LParamToPoint(M.LParam));
    }
    static void GetDlgCode(TWin&, TMessage& M) { M.Result = 0; }
    static void Close(TWin& W, TMessage&) { W.DestroyHandle(); }
    static void Command(TWin& W, TMessage& M) {
        // Notifications of child windows go back to their controls.
        if (TWinControl* child = FindControl(static_cast<HWND>(M.LParam)); child && child != &W)
            M.Result = child->Perform(CN_COMMAND, M.WParam, M.LParam);
    }

    using THandler = void (*)(TWin&, TMessage&);
    // The handler of a message the window system itself knows; null for the rest.
    static THandler Find(UINT Msg) {
        switch (Msg) {
            case WM_NCCALCSIZE: return NCCalcSize;
            case WM_NCHITTEST: return NCHitTest;
            case WM_NCPAINT: return NCPaint;
            case WM_PAINT: return Paint;
            case WM_ERASEBKGND: return EraseBkgnd;
            case WM_SETCURSOR: return SetCursor;
            case WM_MOUSEWHEEL:
            case WM_CONTEXTMENU:
            case WM_HELP: return ToParent;
            case WM_KEYF1: return KeyF1;
            case WM_KEYUP: return KeyUp;
            case WM_SYSKEYDOWN: return SysKeyDown;
            case WM_SYSCHAR: return SysChar;
            case WM_RBUTTONUP: return RButtonUp;
            case WM_CANCELMODE: return CancelMode;
            case WM_CAPTURECHANGED: return CaptureChanged;
            case WM_WINDOWPOSCHANGED: return WindowPosChanged;
            case WM_MOUSEACTIVATE: return MouseActivate;
            case WM_NCLBUTTONDOWN:
            case WM_NCLBUTTONDBLCLK: return NCLButtonDown;
            case WM_GETDLGCODE: return GetDlgCode;
            case WM_CLOSE: return Close;
            case WM_COMMAND: return Command;
            default: return nullptr;
        }
    }
};

void TWinControl::DefaultHandler(TMessage& Message) {
    if (const TWinControlWindowProc::THandler h = TWinControlWindowProc::Find(Message.Msg))
        h(*this, Message);
    else
        TControl::DefaultHandler(Message);
}

void TWinControl::WMPaint(TWMPaint& Message) { PaintHandler(Message); }

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd& Message) {
    auto* dc = reinterpret_cast<HDC>(Message.DC);
    if (dc && !FControlStyle.Contains(csOpaque)) {
        FillRectColor(dc, GetClientRect(), FColor);
    }
    Message.Result = 1;
}

void TWinControl::WMNCCalcSize(TWMNCCalcSize& Message) { DefaultHandler(Message); }
void TWinControl::WMNCHitTest(TWMNCHitTest& Message) { DefaultHandler(Message); }
void TWinControl::WMNCPaint(TMessage& Message) { DefaultHandler(Message); }

void TWinControl::WMSetFocus(TWMSetFocus& Message) {
    DefaultHandler(Message);
    if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
}

void TWinControl::WMKillFocus(TWMKillFocus& Message) { DefaultHandler(Message); }

void TWinControl::WMKeyDown(TWMKey& Message) {
    if (!DoKeyDown(Message)) DefaultHandler(Message);
}

void TWinControl::WMSysKeyDown(TWMKey& Message) {
    if (!DoKeyDown(Message)) DefaultHandler(Message);
}

void TWinControl::WMKeyUp(TWMKey& Message) {
    if (!DoKeyUp(Message)) DefaultHandler(Message);
}

void TWinControl::WMSysKeyUp(TWMKey& Message) {
    if (!DoKeyUp(Message)) DefaultHandler(Message);
}

void TWinControl::WMChar(TWMKey& Message) {
    if (!DoKeyPress(Message)) DefaultHandler(Message);
}

void TWinControl::WMGetDlgCode(TWMGetDlgCode& Message) { DefaultHandler(Message); }

void TWinControl::WMSize(TWMSize& Message) {
    DefaultHandler(Message);
    Realign();
    Resize();
}

void TWinControl::WMMove(TWMMove& Message) { DefaultHandler(Message); }

void TWinControl::WMSetCursor(TWMSetCursor& Message) {
    if (Message.CursorWnd == FHandle) {
        TCursor cursor = Screen()->Cursor();
        if (cursor == crDefault && Message.HitTest == HTCLIENT) {
            cursor = FCursor;
            const TPoint p = ScreenToClient(GetCursorPos());
            if (TControl* c = ControlAtPos(p, false)) {
                if (c->Cursor() != crDefault) cursor = c->Cursor();
            }
        }
        if (cursor != crDefault) {
            SetCursorShape(cursor);
            Message.Result = 1;
            return;
        }
    }
    DefaultHandler(Message);
}

void TWinControl::WMTimer(TWMTimer& Message) { DefaultHandler(Message); }
void TWinControl::WMHScroll(TWMScroll& Message) { DefaultHandler(Message); }
void TWinControl::WMVScroll(TWMScroll& Message) { DefaultHandler(Message); }
void TWinControl::WMContextMenu(TWMContextMenu& Message) {
    if (Message.Result != 0) return;
    // A graphic child under the pointer is asked first.
    const TPoint pos = Point(Message.XPos, Message.YPos);
    if (!(pos.X == -1 && pos.Y == -1)) {
        TControl* child = ControlAtPos(ScreenToClient(pos), false);
        if (child && child->IsControl()) {
            Message.Result = child->Perform(WM_CONTEXTMENU, Message.Message.WParam, Message.Message.LParam);
            if (Message.Result != 0) return;
        }
    }
    TControl::WMContextMenu(Message);
}
void TWinControl::WMWindowPosChanging(TWMWindowPosChanging& Message) { DefaultHandler(Message); }

void TWinControl::CNKeyDown(TWMKey& Message) {
    Message.Result = 1;
    // Menu and action shortcuts come before the control's own keys.
    if (TCustomForm* form = GetParentForm(this); form && form->IsShortCut(Message)) return;
    if (Perform(CM_CHILDKEY, Message.CharCode, reinterpret_cast<LPARAM>(this)) != 0) return;
    LRESULT mask = 0;
    switch (Message.CharCode) {
        case VK_TAB: mask = DLGC_WANTTAB; break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: mask = DLGC_WANTARROWS; break;
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    }
    if (mask != 0 && Perform(CM_WANTSPECIALKEY, Message.CharCode, Message.KeyData) == 0 &&
        (Perform(WM_GETDLGCODE) & mask) == 0) {
        TCustomForm* form = GetParentForm(this);
        if (form && form->Perform(CM_DIALOGKEY, Message.CharCode, Message.KeyData) != 0) return;
    }
    Message.Result = 0;
}

void TWinControl::CNKeyUp(TWMKey& Message) { Message.Result = 0; }

void TWinControl::CNChar(TWMKey& Message) {
    Message.Result = 1;
    // Alt+letter goes to the form's accelerators whatever the control takes, as in a dialog.
    if (Message.Msg == CN_SYSCHAR || (Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0) {
        TCustomForm* form = GetParentForm(this);
        if (form && form->Perform(CM_DIALOGCHAR, Message.CharCode, Message.KeyData) != 0) return;
    }
    Message.Result = 0;
}

void TWinControl::CMEnter(TCMEnter& Message) {
    (void)Message;
    DoEnter();
}

void TWinControl::CMExit(TCMExit& Message) {
    (void)Message;
    DoExit();
}

void TWinControl::CMDialogKey(TCMDialogKey& Message) { Broadcast(Message.Message); }
void TWinControl::CMDialogChar(TCMDialogKey& Message) { Broadcast(Message.Message); }

void TWinControl::CMChildKey(TCMChildKey& Message) {
    if (FParent) FParent->Deliver(Message.Message);
}

void TWinControl::CMWantSpecialKey(TCMWantSpecialKey& Message) { DefaultHandler(Message); }
void TWinControl::CMFocusChanged(TCMFocusChanged& Message) { Broadcast(Message.Message); }

void TWinControl::CMRecreateWnd(TMessage& Message) {
    (void)Message;
    RecreateWnd();
}

void TWinControl::UpdateShowing() {
    for (TWinControl* w : std::vector<TWinControl*>(FTabList)) w->UpdateShowing();
}

void TWinControl::CMShowingChanged(TMessage& Message) {
    (void)Message;
    if (!FHandle) return;
    ShowWindow(FVisible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::CMInvalidate(TMessage& Message) {
    (void)Message;
    Invalidate();
}

void TWinControl::CMVisibleChanged(TMessage& Message) {
    if (!FVisible) {
        if (TCustomForm* form = GetParentForm(this); form && form != this) form->DefocusControl(this, false);
    }
    if (!FParent || FParent->FHandle) {
        if (FVisible) HandleNeeded();
        Perform(CM_SHOWINGCHANGED);
    }
    (void)Message;
}

void TWinControl::CMEnabledChanged(TMessage& Message) {
    (void)Message;
    if (!FEnabled && FParent) {
        if (TCustomForm* form = GetParentForm(this); form && form != this) form->DefocusControl(this, false);
    }
    EnableWindow(FEnabled);
    Invalidate();
}

void TWinControl::CMFontChanged(TMessage& Message) {
    TControl::CMFontChanged(Message);
    NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMColorChanged(TMessage& Message) {
    TControl::CMColorChanged(Message);
    NotifyControls(CM_PARENTCOLORCHANGED);
}

}  // namespace ui
