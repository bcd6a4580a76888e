#include <algorithm>
#include <array>
#include <cstdlib>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Timers.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace ui {

namespace {

struct TInputState {
    HWND Focus = 0;
    HWND Active = 0;
    HWND Capture = 0;
    TControl* CaptureControl = nullptr;
    std::array<uint8_t, 256> Keys{};
    TCursor Shape = crDefault;
    // The last press, for double clicks.
    UINT ClickMsg = 0;
    HWND ClickWnd = 0;
    uint32_t ClickTime = 0;
    TPoint ClickPos;
    TControl* MouseControl = nullptr;
    // The window whose frame the mouse moved over last; told WM_NCMOUSELEAVE when the mouse leaves it.
    HWND NCMouseWnd = 0;
    struct {
        HWND Owner = 0;
        int Width = 0, Height = 0;
        TPoint Pos;
        int HideCount = 0;
        bool On = false;
    } Caret;
};

TInputState& In() {
    static TInputState s;
    return s;
}

// A window drawn with a themed edge shows whether it has the focus or the mouse.
void RedrawHotEdge(TControl* C) {
    auto* w = dynamic_cast<TWinControl*>(C);
    if (w && (w->WindowExStyle() & WS_EX_CLIENTEDGE)) w->InvalidateFrame();
}

TWinControl* ChildFromPoint(TWinControl* Parent, TPoint ScreenPos) {
    for (int i = Parent->ControlCount() - 1; i >= 0; --i) {
        auto* w = dynamic_cast<TWinControl*>(Parent->Controls(i));
        if (!w || !w->HandleAllocated() || !w->Visible() || !w->IsWindowVisible() || !w->IsWindowEnabled()) continue;
        if (!w->WindowContainsPoint(ScreenPos)) continue;
        return ChildFromPoint(w, ScreenPos);
    }
    return Parent;
}

}  // namespace

namespace detail {

void DropFocus(HWND Wnd) {
    if (In().Focus == Wnd) In().Focus = 0;
}

void WindowGoing(HWND Wnd) {
    DeviceContextsGoing(Wnd);
    auto& s = In();
    if (s.Capture == Wnd) {
        s.Capture = 0;
        s.CaptureControl = nullptr;
    }
    if (s.ClickWnd == Wnd) s.ClickWnd = 0;
    if (s.NCMouseWnd == Wnd) s.NCMouseWnd = 0;
    if (s.Active == Wnd) s.Active = 0;
    if (s.Caret.Owner == Wnd) DestroyCaret();
    if (s.MouseControl) {
        auto* w = dynamic_cast<TWinControl*>(s.MouseControl);
        TControl* c = s.MouseControl;
        if ((w && w->HandleAllocated() && w->Handle() == Wnd) ||
            (c->Parent() && c->Parent()->HandleAllocated() && c->Parent()->Handle() == Wnd))
            s.MouseControl = nullptr;
    }
}

void PaintCaret(TWinControl* Window, TCanvas& DC) {
    const TCaretState c = CaretState();
    if (!c.Drawn || !Window->HandleAllocated() || c.Owner != Window->Handle()) return;
    DC.InvertRect(c.Rect);
}

void ControlGoing(TControl* Control) {
    if (In().MouseControl == Control) In().MouseControl = nullptr;
    DragControlGoing(Control);
}

void WindowHidden(HWND Wnd) {
    TWinControl* w = FindControl(Wnd);
    if (!w) return;
    auto& s = In();
    if (s.Capture && w->ContainsControl(FindControl(s.Capture))) ReleaseCapture();
    if (s.Focus && w->ContainsControl(FindControl(s.Focus))) {
        // Hiding the window that holds the focus leaves the focus with nobody until another takes it.
        const HWND old = s.Focus;
        s.Focus = 0;
        SendMessage(old, WM_KILLFOCUS, 0, 0);
    }
}

void ActivateNext(TWinControl* Hidden) {
    const auto& list = TopLevelWindows();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        TWinControl* w = *it;
        if (w == Hidden || !w->IsWindowVisible() || !w->IsWindowEnabled() || (w->WindowStyle() & WS_CHILD)) continue;
        if (w->WindowExStyle() & WS_EX_TOOLWINDOW && !dynamic_cast<TCustomForm*>(w)) continue;
        SetActiveWindow(w->Handle());
        return;
    }
    In().Active = 0;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Windows

TCustomForm* GetParentForm(const TControl* Control, bool TopForm) {
    const TControl* c = Control;
    const TCustomForm* found = nullptr;
    while (c) {
        if (auto* f = dynamic_cast<const TCustomForm*>(c)) {
            found = f;
            if (!TopForm) break;
        }
        c = c->Parent();
    }
    return const_cast<TCustomForm*>(found);
}

TCustomForm* ValidParentForm(const TControl* Control) {
    TCustomForm* form = GetParentForm(Control);
    if (!form) throw rtl::EInvalidOperation("Control '" + Control->Name() + "' has no parent window");
    return form;
}

TWinControl* FindControlOfWindow(HWND Wnd) { return FindControl(Wnd); }

HWND WindowFromPoint(TPoint ScreenPos) {
    const auto& list = detail::TopLevelWindows();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        TWinControl* w = *it;
        if (!w->IsWindowVisible() || !w->WindowContainsPoint(ScreenPos)) continue;
        if (!w->IsWindowEnabled()) return 0;
        return ChildFromPoint(w, ScreenPos)->Handle();
    }
    return 0;
}

TWinControl* FindVCLWindow(TPoint ScreenPos) { return FindControl(WindowFromPoint(ScreenPos)); }

TControl* FindDragTarget(TPoint ScreenPos, bool AllowDisabled) {
    TWinControl* w = FindVCLWindow(ScreenPos);
    if (!w) return nullptr;
    if (TControl* c = w->ControlAtPos(w->ScreenToClient(ScreenPos), AllowDisabled)) return c;
    return w;
}

HWND GetParent(HWND Wnd) {
    TWinControl* w = FindControl(Wnd);
    if (!w) return 0;
    if (w->Parent()) return w->Parent()->Handle();
    return w->ParentWindow();
}

// ---------------------------------------------------------------------------------------------
// Focus and activation

HWND GetFocus() { return In().Focus; }
HWND GetActiveWindow() { return In().Active; }

static HWND TopLevelOf(HWND Wnd) {
    TWinControl* w = FindControl(Wnd);
    return w ? w->TopLevelWindow()->Handle() : 0;
}

static HWND DoActivate(HWND Wnd) {
    auto& s = In();
    const HWND old = s.Active;
    if (old == Wnd) return old;
    s.Active = Wnd;
    if (old) SendMessage(old, WM_ACTIVATE, WA_INACTIVE, static_cast<LPARAM>(Wnd));
    if (Wnd && s.Active == Wnd) {
        if (TWinControl* w = FindControl(Wnd)) detail::BringTopLevelToFront(w);
        SendMessage(Wnd, WM_ACTIVATE, WA_ACTIVE, static_cast<LPARAM>(old));
    }
    return old;
}

HWND SetActiveWindow(HWND Wnd) {
    if (Wnd && !IsWindow(Wnd)) return 0;
    return DoActivate(Wnd);
}

HWND SetFocus(HWND Wnd) {
    auto& s = In();
    const HWND old = s.Focus;
    if (Wnd == old) return old;
    if (Wnd) {
        TWinControl* w = FindControl(Wnd);
        if (!w || !w->IsWindowEnabled()) return 0;
        // A window inside another top-level window activates that one first.
        const HWND top = TopLevelOf(Wnd);
        if (top != s.Active &&
            !(FindControl(top)->WindowStyle() & WS_POPUP && !dynamic_cast<TCustomForm*>(FindControl(top)))) {
            DoActivate(top);
            if (s.Focus == Wnd) return old;
        }
    }
    const HWND before = s.Focus;
    // Themed edges show the focus.
    for (const HWND h : {before, Wnd})
        if (TWinControl* w = h ? FindControl(h) : nullptr) RedrawHotEdge(w);
    if (before) SendMessage(before, WM_KILLFOCUS, Wnd, 0);
    if (s.Focus != before) return old;  // a handler moved the focus meanwhile
    if (Wnd && !IsWindow(Wnd)) Wnd = 0;
    s.Focus = Wnd;
    if (Wnd) SendMessage(Wnd, WM_SETFOCUS, before, 0);
    return old;
}

// ---------------------------------------------------------------------------------------------
// Capture

HWND GetCapture() { return In().Capture; }
TControl* GetCaptureControl() { return In().CaptureControl; }

HWND SetCapture(HWND Wnd) {
    auto& s = In();
    const HWND old = s.Capture;
    if (Wnd && !IsWindow(Wnd)) return old;
    if (old && old != Wnd) {
        s.Capture = 0;
        SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(Wnd));
    }
    s.Capture = Wnd;
    // The window that already holds the capture for one of its graphic children keeps it for
    // that child.
    TControl* held = s.CaptureControl;
    if (!(old == Wnd && held && held->Parent() && held->Parent() == FindControl(Wnd)))
        s.CaptureControl = FindControl(Wnd);
    return old;
}

bool ReleaseCapture() {
    auto& s = In();
    const HWND old = s.Capture;
    s.Capture = 0;
    s.CaptureControl = nullptr;
    if (old) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

void SetCaptureControl(TControl* Control) {
    if (!Control) {
        ReleaseCapture();
        return;
    }
    if (auto* w = dynamic_cast<TWinControl*>(Control)) {
        SetCapture(w->Handle());
        return;
    }
    if (!Control->Parent()) {
        ReleaseCapture();
        return;
    }
    SetCapture(Control->Parent()->Handle());
    In().CaptureControl = Control;
}

// ---------------------------------------------------------------------------------------------
// Keyboard state and cursor

namespace {
// The keys an input message is stamped with, one bit each.
constexpr int StampedKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};

uint16_t InputStamp() {
    uint16_t bits = 0;
    for (size_t i = 0; i < std::size(StampedKeys); ++i)
        if (In().Keys[static_cast<size_t>(StampedKeys[i])] & 0x80) bits |= static_cast<uint16_t>(1u << i);
    return bits;
}

void PostInput(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    detail::PostInputMessage(Wnd, Msg, WParam, LParam, InputStamp());
}
}  // namespace

int16_t GetKeyState(int VirtKey) {
    if (VirtKey < 0 || VirtKey > 255) return 0;
    const uint8_t k = In().Keys[static_cast<size_t>(VirtKey)];
    bool down = k & 0x80;
    // While input messages are handled, the modifiers are those held when the message was made.
    if (const uint16_t stamp = detail::MessageKeys())
        for (size_t i = 0; i < std::size(StampedKeys); ++i)
            if (StampedKeys[i] == VirtKey) down = stamp & (1u << i);
    return static_cast<int16_t>((down ? 0x8000 : 0) | (k & 1));
}

int16_t GetAsyncKeyState(int VirtKey) {
    if (VirtKey < 0 || VirtKey > 255) return 0;
    const uint8_t k = In().Keys[static_cast<size_t>(VirtKey)];
    return static_cast<int16_t>(((k & 0x80) ? 0x8000 : 0) | (k & 1));
}

void SetKeyState(int VirtKey, bool Down) {
    if (VirtKey < 0 || VirtKey > 255) return;
    detail::ForgetMessageKeys();
    uint8_t& k = In().Keys[static_cast<size_t>(VirtKey)];
    if (Down && !(k & 0x80)) k ^= 1;
    k = static_cast<uint8_t>(Down ? (k | 0x80) : (k & ~0x80));
    auto mirror = [](int generic, int left, int right) {
        auto& keys = In().Keys;
        const bool down = (keys[static_cast<size_t>(left)] | keys[static_cast<size_t>(right)]) & 0x80;
        if (down) keys[static_cast<size_t>(generic)] |= 0x80;
    };
    if (VirtKey == VK_LSHIFT || VirtKey == VK_RSHIFT) mirror(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    if (VirtKey == VK_LCONTROL || VirtKey == VK_RCONTROL) mirror(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
}

void ResetKeyState() {
    In().Keys.fill(0);
    detail::ForgetMessageKeys();
}

TCursor GetCursorShape() { return In().Shape; }
void SetCursorShape(TCursor Cursor) { In().Shape = Cursor; }

// ---------------------------------------------------------------------------------------------
// Input

static WPARAM MouseKeys() {
    WPARAM k = 0;
    if (GetKeyState(VK_LBUTTON) < 0) k |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0) k |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0) k |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) k |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) k |= MK_CONTROL;
    return k;
}

TControl* GetMouseControl() { return In().MouseControl; }

static void TrackMouseControl(TPoint ScreenPos) {
    auto& s = In();
    TControl* now = s.Capture ? s.CaptureControl : FindDragTarget(ScreenPos, false);
    if (now == s.MouseControl) return;
    TControl* old = s.MouseControl;
    s.MouseControl = now;
    if (old) {
        RedrawHotEdge(old);
        old->Perform(CM_MOUSELEAVE);
    }
    if (now && s.MouseControl == now) {
        RedrawHotEdge(now);
        now->Perform(CM_MOUSEENTER);
    }
}

// The mouse left the frame it moved over last (for another part of the window, another window or
// none of ours).
static void TrackNonClientLeave(HWND Target, LRESULT Hit) {
    auto& s = In();
    const HWND now = Hit != HTCLIENT ? Target : 0;
    if (s.NCMouseWnd == now) return;
    if (const HWND old = std::exchange(s.NCMouseWnd, now); old && IsWindow(old)) PostInput(old, WM_NCMOUSELEAVE, 0, 0);
}

void ResetDoubleClick() {
    In().ClickMsg = 0;
    In().ClickWnd = 0;
}

void MouseInput(UINT Msg, TPoint ScreenPos) {
    auto& s = In();
    detail::ForgetMessageKeys();
    SetCursorPos(ScreenPos);
    switch (Msg) {
        case WM_LBUTTONDOWN: SetKeyState(VK_LBUTTON, true); break;
        case WM_LBUTTONUP: SetKeyState(VK_LBUTTON, false); break;
        case WM_RBUTTONDOWN: SetKeyState(VK_RBUTTON, true); break;
        case WM_RBUTTONUP: SetKeyState(VK_RBUTTON, false); break;
        case WM_MBUTTONDOWN: SetKeyState(VK_MBUTTON, true); break;
        case WM_MBUTTONUP: SetKeyState(VK_MBUTTON, false); break;
        default: break;
    }
    if (detail::DragMouseInput(Msg, ScreenPos)) return;
    const bool press = Msg == WM_LBUTTONDOWN || Msg == WM_RBUTTONDOWN || Msg == WM_MBUTTONDOWN;
    HWND target = s.Capture ? s.Capture : WindowFromPoint(ScreenPos);
    if (Msg == WM_MOUSEMOVE) TrackMouseControl(ScreenPos);
    if (!target) {
        if (Msg == WM_MOUSEMOVE) TrackNonClientLeave(0, HTCLIENT);
        return;
    }
    LRESULT hit = HTCLIENT;
    if (!s.Capture) {
        hit = SendMessage(target, WM_NCHITTEST, 0, PointToLParam(ScreenPos.X, ScreenPos.Y));
        if (press) {
            TWinControl* w = FindControl(target);
            const HWND top = w ? w->TopLevelWindow()->Handle() : 0;
            if (top && top != s.Active) {
                const LRESULT r =
                    SendMessage(target, WM_MOUSEACTIVATE, top,
                                static_cast<LPARAM>(MakeWParam(static_cast<int>(hit), static_cast<int>(Msg))));
                if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) {
                    TWinControl* tw = FindControl(top);
                    if (auto* form = dynamic_cast<TCustomForm*>(tw))
                        form->SetFocus();
                    else
                        SetActiveWindow(top);
                }
                if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return;
            }
        }
        if (!IsWindow(target)) return;
        SendMessage(target, WM_SETCURSOR, target,
                    static_cast<LPARAM>(MakeWParam(static_cast<int>(hit), static_cast<int>(Msg))));
    }
    if (!IsWindow(target)) return;
    if (Msg == WM_MOUSEMOVE) TrackNonClientLeave(target, hit);
    TWinControl* control = FindControl(target);
    if (press) {
        const uint32_t now = rtl::GetTickCount();
        const bool pair = s.ClickMsg == Msg && s.ClickWnd == target && now - s.ClickTime <= GetDoubleClickTime() &&
                          std::abs(ScreenPos.X - s.ClickPos.X) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                          std::abs(ScreenPos.Y - s.ClickPos.Y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        if (pair && (control->WindowParams().WindowClassStyle & CS_DBLCLKS || hit != HTCLIENT)) {
            Msg += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
            s.ClickMsg = 0;
        } else {
            s.ClickMsg = Msg;
            s.ClickWnd = target;
            s.ClickTime = now;
            s.ClickPos = ScreenPos;
        }
    }
    if (hit == HTCLIENT) {
        const TPoint p = control->ScreenToClient(ScreenPos);
        PostInput(target, Msg, MouseKeys(), PointToLParam(p.X, p.Y));
    } else {
        PostInput(target, Msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, static_cast<WPARAM>(hit),
                  PointToLParam(ScreenPos.X, ScreenPos.Y));
    }
}

void MouseWheelInput(int Delta, TPoint ScreenPos) {
    auto& s = In();
    detail::ForgetMessageKeys();
    SetCursorPos(ScreenPos);
    // The window under the pointer scrolls, focused or not (an open drop-down list too).
    HWND target = WindowFromPoint(ScreenPos);
    if (!target) target = s.Focus ? s.Focus : s.Active;
    if (!target) return;
    PostInput(target, WM_MOUSEWHEEL, MakeWParam(static_cast<int>(MouseKeys()), Delta),
              PointToLParam(ScreenPos.X, ScreenPos.Y));
}

void KeyInput(uint16_t Key, bool Down, bool Sys) {
    detail::ForgetMessageKeys();
    const bool wasDown = GetKeyState(Key) < 0;
    SetKeyState(Key, Down);
    const bool alt = GetKeyState(VK_MENU) < 0;
    HWND target = In().Focus ? In().Focus : In().Active;
    if (!target) return;
    uint32_t data = 1;
    if (alt) data |= 0x20000000;
    if (wasDown) data |= 0x40000000;
    if (!Down) data |= 0xC0000000;
    UINT msg = Down ? WM_KEYDOWN : WM_KEYUP;
    // Alt with Ctrl is the AltGr of many layouts: its keys and characters are ordinary typing.
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (Key == VK_F10 || ((Sys || alt || Key == VK_MENU) && !ctrl)) msg = Down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    PostInput(target, msg, Key, static_cast<LPARAM>(static_cast<int32_t>(data)));
    if (Key == VK_F1 && Down && !alt && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0)
        PostInput(target, WM_KEYF1, 0, 0);
}

void CharInput(char Char) {
    detail::ForgetMessageKeys();
    HWND target = In().Focus ? In().Focus : In().Active;
    if (!target) return;
    const bool alt = GetKeyState(VK_MENU) < 0 && GetKeyState(VK_CONTROL) >= 0;
    PostInput(target, alt ? WM_SYSCHAR : WM_CHAR, static_cast<uint8_t>(Char), alt ? 0x20000001 : 1);
}

void KeyPressInput(uint16_t Key, char Char) {
    if (Char == 0) {
        const bool shift = GetKeyState(VK_SHIFT) < 0;
        const bool ctrl = GetKeyState(VK_CONTROL) < 0;
        if (Key == VK_RETURN || Key == VK_ESCAPE || Key == VK_BACK || Key == VK_TAB || Key == VK_SPACE)
            Char = static_cast<char>(Key);
        else if (Key >= 'A' && Key <= 'Z')
            Char = ctrl ? static_cast<char>(Key - 'A' + 1) : static_cast<char>(shift ? Key : Key + 32);
        else if (Key >= '0' && Key <= '9' && !ctrl)
            Char = static_cast<char>(Key);
    }
    KeyInput(Key, true);
    if (Char != 0) CharInput(Char);
    KeyInput(Key, false);
}

// ---------------------------------------------------------------------------------------------
// Caret

namespace {

const int CaretTimerTag = 0;
const void* const CaretTimerOwner = &CaretTimerTag;

TRect CaretRect() {
    const auto& c = In().Caret;
    return Bounds(c.Pos.X, c.Pos.Y, c.Width, c.Height);
}

// The caret's pixels are painted again by their owner, which draws the caret over them when due.
void RedrawCaret() {
    const auto& c = In().Caret;
    TWinControl* w = c.Owner ? FindControl(c.Owner) : nullptr;
    if (!w) return;
    const TRect r = CaretRect();
    w->InvalidateRect(&r, false);
}

// Shown now and blinking from now on.
void RestartBlink() {
    auto& c = In().Caret;
    if (!c.Owner || c.HideCount > 0) {
        rtl::KillTimer(CaretTimerOwner, 1);
        return;
    }
    c.On = true;
    RedrawCaret();
    rtl::SetTimer(CaretTimerOwner, 1, GetCaretBlinkTime(), [] {
        auto& k = In().Caret;
        k.On = !k.On;
        RedrawCaret();
    });
}

}  // namespace

UINT GetCaretBlinkTime() { return 530; }

bool CreateCaret(HWND Wnd, int Width, int Height) {
    if (!FindControl(Wnd)) return false;
    DestroyCaret();
    auto& c = In().Caret;
    c.Owner = Wnd;
    c.Width = std::max(1, Width);
    c.Height = std::max(1, Height);
    c.Pos = Point(0, 0);
    c.HideCount = 1;
    c.On = false;
    return true;
}

bool DestroyCaret() {
    auto& c = In().Caret;
    if (!c.Owner) return false;
    if (c.On && c.HideCount == 0) RedrawCaret();
    rtl::KillTimer(CaretTimerOwner, 1);
    c = {};
    return true;
}

bool ShowCaret(HWND Wnd) {
    auto& c = In().Caret;
    if (!c.Owner || (Wnd && Wnd != c.Owner) || c.HideCount == 0) return false;
    if (--c.HideCount == 0) RestartBlink();
    return true;
}

bool HideCaret(HWND Wnd) {
    auto& c = In().Caret;
    if (!c.Owner || (Wnd && Wnd != c.Owner)) return false;
    if (c.HideCount++ == 0) {
        if (c.On) RedrawCaret();
        c.On = false;
        rtl::KillTimer(CaretTimerOwner, 1);
    }
    return true;
}

bool SetCaretPos(int X, int Y) {
    auto& c = In().Caret;
    if (!c.Owner) return false;
    if (c.Pos == Point(X, Y)) return true;
    if (c.On) RedrawCaret();
    c.Pos = Point(X, Y);
    RestartBlink();
    return true;
}

bool GetCaretPos(TPoint& Pos) {
    Pos = In().Caret.Pos;
    return In().Caret.Owner != 0;
}

TCaretState CaretState() {
    const auto& c = In().Caret;
    TCaretState st;
    st.Owner = c.Owner;
    if (!c.Owner) return st;
    st.Rect = CaretRect();
    st.Shown = c.HideCount == 0;
    st.Drawn = st.Shown && c.On;
    return st;
}

}  // namespace ui
