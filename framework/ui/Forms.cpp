#include "framework/ui/Forms.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Menus.h"
#include "framework/rtl/Ownership.h"

#include <algorithm>

#include "framework/rtl/Timers.h"

namespace ui {

namespace {

TApplication*& ApplicationPtr() {
    static TApplication* app = nullptr;
    return app;
}

TScreen*& ScreenPtr() {
    static TScreen* screen = nullptr;
    return screen;
}

const AnsiString SCannotFocus = "Cannot focus a disabled or invisible window";
const AnsiString SCannotShowModal = "Cannot make a visible window modal";

AnsiString ShortHint(const AnsiString& Hint) {
    const auto bar = Hint.find('|');
    return bar == AnsiString::npos ? Hint : Hint.substr(0, bar);
}

}  // namespace

TApplication* Application() {
    auto& app = ApplicationPtr();
    if (!app) app = rtl::Create<TApplication>(nullptr);
    return app;
}

TScreen* Screen() {
    auto& screen = ScreenPtr();
    if (!screen) screen = rtl::Create<TScreen>(nullptr);
    return screen;
}

void ResetApplication() {
    if (TApplication* app = ApplicationPtr()) {
        ApplicationPtr() = nullptr;
        app->Free();
    }
    if (TScreen* screen = ScreenPtr()) {
        ScreenPtr() = nullptr;
        screen->Free();
    }
}

TRect GetWorkArea() { return Screen()->WorkAreaRect(); }

bool SystemParametersInfo(UINT Action, void* Param) {
    if (!Param) return false;
    switch (Action) {
        case SPI_GETWORKAREA: *static_cast<TRect*>(Param) = GetWorkArea(); return true;
        case SPI_GETWHEELSCROLLLINES:
            *static_cast<unsigned*>(Param) = static_cast<unsigned>(GetWheelScrollLines());
            return true;
        default: return false;
    }
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* Owner) : TWinControl(Owner) {
    FVisible = false;
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FColor = clBtnFace;
    FParentColor = false;
    FParentFont = false;
    FWidth = 320;
    FHeight = 240;
    FFormState.Include(fsCreating);
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::AfterConstruction() {
    TWinControl::AfterConstruction();
    Screen()->FForms.push_back(this);
    FFormState.Exclude(fsCreating);
    if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
    detail::MenuFormGoing(this);
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            rtl::HandleException();
        }
    }
    if (TScreen* screen = ScreenPtr()) {
        auto& forms = screen->FForms;
        forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
        if (screen->FActiveForm == this) screen->FActiveForm = nullptr;
        if (screen->FFocusedForm == this) screen->FFocusedForm = nullptr;
        if (screen->FActiveControl && ContainsControl(screen->FActiveControl)) screen->FActiveControl = nullptr;
    }
    if (TApplication* app = ApplicationPtr(); app && app->MainForm() == this) app->SetMainForm(nullptr);
    FActiveControl = nullptr;
    FFocusedControl = nullptr;
    TWinControl::BeforeDestruction();
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style &= ~(WS_CHILD | WS_VISIBLE);
    Params.Style |= WS_CLIPCHILDREN;
    switch (FBorderStyle) {
        case TFormBorderStyle::bsNone: Params.Style |= WS_POPUP; break;
        case TFormBorderStyle::bsSingle:
        case TFormBorderStyle::bsToolWindow: Params.Style |= WS_CAPTION | WS_BORDER; break;
        case TFormBorderStyle::bsDialog:
            Params.Style |= WS_POPUP | WS_CAPTION;
            Params.ExStyle |= WS_EX_DLGMODALFRAME;
            break;
        default: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    }
    Params.WndParent = 0;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    RecreateWnd();
}

// The frame of a form belongs to the native window around it; the window record is the client
// and its menu bar.
void TCustomForm::WMNCCalcSize(TWMNCCalcSize& Message) {
    Message.Result = 0;
    FMenuBarHeight = 0;
    for (const TRect& r : detail::MenuBarItems(FMenu, this, FWidth))
        FMenuBarHeight = std::max(FMenuBarHeight, r.Bottom);
    if (Message.CalcSize_Params) {
        TRect& r = Message.CalcSize_Params->Rgrc[0];
        r.Top = std::min(r.Top + FMenuBarHeight, r.Bottom);
    }
}

void TCustomForm::WMNCHitTest(TWMNCHitTest& Message) {
    TWinControl::WMNCHitTest(Message);
    if (Message.Result != HTBORDER || FMenuBarHeight == 0) return;
    const TRect w = WindowRectOnScreen();
    TRect bar = MenuBarRect();
    bar.Offset(w.Left, w.Top);
    if (bar.Contains(Message.Pos())) Message.Result = HTMENU;
}

void TCustomForm::WMNCPaint(TMessage& Message) {
    TWinControl::WMNCPaint(Message);
    if (FMenuBarHeight == 0 || !HandleAllocated()) return;
    TWindowDC dc(Handle(), true);
    if (dc.DC()) detail::PaintMenuBar(this, *dc.DC());
}

void TCustomForm::SetMenu(TMainMenu* Value) {
    if (FMenu == Value) return;
    detail::MenuFormGoing(this);
    FMenu = Value;
    MenuChanged();
}

void TCustomForm::MenuChanged() {
    if (!HandleAllocated()) return;
    int height = 0;
    for (const TRect& r : detail::MenuBarItems(FMenu, this, FWidth)) height = std::max(height, r.Bottom);
    if (height != FMenuBarHeight)
        SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    else
        InvalidateFrame();
}

TRect TCustomForm::MenuBarRect() const { return FMenuBarHeight ? Rect(0, 0, FWidth, FMenuBarHeight) : TRect(); }

void TCustomForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_ACTIVATE: WMActivate(Message); return;
        case WM_CLOSE: WMClose(Message); return;
        case CM_ACTIVATE: CMActivate(Message); return;
        case CM_DEACTIVATE: CMDeactivate(Message); return;
        case CM_RELEASE: CMRelease(Message); return;
        case WM_HELP: WMHelp(Message); return;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if (Message.WParam == HTMENU) {
                detail::MenuBarPress(this, LParamToPoint(Message.LParam));
                return;
            }
            TWinControl::Dispatch(Message);
            return;
        case WM_NCMOUSEMOVE:
            detail::MenuBarHover(this,
                                 Message.WParam == HTMENU ? LParamToPoint(Message.LParam) : std::optional<TPoint>());
            TWinControl::Dispatch(Message);
            return;
        case WM_NCMOUSELEAVE:
            detail::MenuBarHover(this, std::nullopt);
            TWinControl::Dispatch(Message);
            return;
        case WM_SYSCOMMAND:
            if ((Message.WParam & 0xFFF0) == SC_KEYMENU) {
                detail::MenuBarKey(this, static_cast<char>(Message.LParam));
                return;
            }
            TWinControl::Dispatch(Message);
            return;
        default: TWinControl::Dispatch(Message);
    }
}

void TCustomForm::WMHelp(TMessage& Message) {
    const auto* info = reinterpret_cast<const THelpInfo*>(Message.LParam);
    if (!info || info->iContextType != HELPINFO_WINDOW) return;
    TControl* c = FindControl(static_cast<HWND>(info->hItemHandle));
    while (c && c->HelpContext() == 0) c = c->Parent();
    if (!c) return;
    Message.Result = Application()->HelpContext(c->HelpContext()) ? 1 : 0;
}

void TCustomForm::UpdateActions() {
    if (!FHandle || !Showing()) return;
    std::vector<TCustomAction*> done;
    const auto update = [&](TCustomAction* a) {
        if (!a || std::find(done.begin(), done.end(), a) != done.end()) return;
        done.push_back(a);
        a->UpdateState();
    };
    std::function<void(TMenuItem*)> items = [&](TMenuItem* item) {
        for (int i = 0; i < item->Count(); ++i) {
            update(dynamic_cast<TCustomAction*>(item->Items(i)->Action()));
            items(item->Items(i));
        }
    };
    for (int i = 0; i < ComponentCount(); ++i) {
        TComponent* c = Components(i);
        if (auto* list = dynamic_cast<TCustomActionList*>(c)) {
            if (!list->State()) continue;
            for (int k = 0; k < list->ActionCount(); ++k) update(list->Actions(k));
        } else if (auto* menu = dynamic_cast<TMenu*>(c)) {
            items(menu->Items());
        }
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TCustomForm::SetVisible(bool Value) { TWinControl::SetVisible(Value); }

void TCustomForm::CMShowingChanged(TMessage& Message) {
    (void)Message;
    if (FVisible) {
        HandleNeeded();
        if (FWindowVisible) return;
        FFormState.Include(fsShowing);
        rtl::TryFinally([this] { DoShow(); }, [this] { FFormState.Exclude(fsShowing); });
        if (FWindowState == wsMaximized) {
            SetBoundsRect(Screen()->MonitorFromRect(FNormalBounds).WorkareaRect);
        } else if (FPosition == poScreenCenter || FPosition == poMainFormCenter || FPosition == poOwnerFormCenter ||
                   FPosition == poDesktopCenter) {
            const TRect wa = FPosition == poDesktopCenter ? Screen()->DesktopRect() : Screen()->WorkAreaRect();
            SetBounds(wa.Left + (wa.Width() - FWidth) / 2, wa.Top + (wa.Height() - FHeight) / 2, FWidth, FHeight);
        }
        ShowWindow(SW_SHOW);
        UpdateShowing();
    } else {
        if (!FHandle || !FWindowVisible) return;
        DoHide();
        ShowWindow(SW_HIDE);
        UpdateShowing();
    }
}

void TCustomForm::SetWindowState(TWindowState Value) {
    if (FWindowState == Value) return;
    if (FWindowState == wsNormal) FNormalBounds = BoundsRect();
    FWindowState = Value;
    if (Value == wsMaximized)
        SetBoundsRect(Screen()->MonitorFromRect(FNormalBounds).WorkareaRect);
    else if (Value == wsNormal)
        SetBoundsRect(FNormalBounds);
}

void TCustomForm::SetNormalBoundsRect(const TRect& Value) {
    if (FWindowState == wsNormal)
        SetBoundsRect(Value);
    else
        FNormalBounds = Value;
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::Activate() {
    if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (FFormState.Contains(fsModal)) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    TApplication* app = Application();
    if (app->MainForm() == this) action = caFree;
    DoClose(action);
    if (action == caNone) return;
    if (app->MainForm() == this)
        app->Terminate();
    else if (action == caHide)
        Hide();
    else if (action == caFree)
        Release();
    else
        Hide();
}

void TCustomForm::Release() {
    if (HandleAllocated())
        PostMessage(FHandle, CM_RELEASE);
    else
        PostMessage(Handle(), CM_RELEASE);
}

void TCustomForm::CMRelease(TMessage& Message) {
    (void)Message;
    Free();
}

void TCustomForm::WMClose(TMessage& Message) {
    (void)Message;
    Close();
}

int TCustomForm::ShowModal() {
    if (FVisible || !FEnabled || FFormState.Contains(fsModal)) throw rtl::EInvalidOperation(SCannotShowModal);
    // Whatever the mouse or the focused control was doing stops before the modal form comes up.
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE);
    ReleaseCapture();
    if (HWND focus = GetFocus()) SendMessage(focus, WM_CANCELMODE);
    FFormState.Include(fsModal);
    const HWND activeBefore = GetActiveWindow();
    std::vector<HWND> disabled;
    for (TWinControl* w : std::vector<TWinControl*>(detail::TopLevelWindows())) {
        if (w == this || !w->IsWindowEnabled()) continue;
        w->EnableWindow(false);
        disabled.push_back(w->Handle());
    }
    auto restore = [&] {
        for (HWND h : disabled)
            if (TWinControl* w = FindControl(h)) w->EnableWindow(true);
        disabled.clear();
        FFormState.Exclude(fsModal);
    };
    try {
        Show();
        FModalResult = mrNone;
        TApplication* app = Application();
        do {
            app->HandleMessage();
            if (app->Terminated())
                FModalResult = mrCancel;
            else if (FModalResult != mrNone)
                CloseModal();
        } while (FModalResult == mrNone);
        const TModalResult result = FModalResult;
        restore();
        if (FVisible) Hide();
        if (activeBefore && IsWindow(activeBefore) && activeBefore != FHandle) {
            TWinControl* w = FindControl(activeBefore);
            if (auto* form = dynamic_cast<TCustomForm*>(w); form && form->Visible())
                form->SetFocus();
            else
                SetActiveWindow(activeBefore);
        }
        return result;
    } catch (...) {
        restore();
        if (FVisible) Hide();
        throw;
    }
}

void TCustomForm::CloseModal() {
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    switch (action) {
        case caNone: FModalResult = mrNone; break;
        case caFree: Release(); break;
        default: break;
    }
}

void TCustomForm::WMActivate(TMessage& Message) { SetActive(Message.WParamLo != WA_INACTIVE); }

void TCustomForm::SetActive(bool Value) {
    FActive = Value;
    if (!Value) return;
    if (!FActiveControl) FActiveControl = FindNextControl(nullptr, true, true, false);
    SetWindowFocus();
}

void TCustomForm::SetWindowFocus() {
    HWND focus = (FActiveControl && FActiveControl->CanFocus()) ? FActiveControl->Handle() : Handle();
    if (focus) ui::SetFocus(focus);
}

void TCustomForm::SetFocus() {
    if (!FActive || GetActiveWindow() != FHandle) {
        if (!(FVisible && FEnabled)) throw rtl::EInvalidOperation(SCannotFocus);
        SetWindowFocus();
    }
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (FActiveControl == Control) return;
    if (Control && (Control == this || GetParentForm(Control) != this || !Control->CanFocus()))
        throw rtl::EInvalidOperation(SCannotFocus);
    FActiveControl = Control;
    if (FActive && FHandle && GetActiveWindow() == FHandle) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* Control) {
    const bool wasActive = FActive && FHandle && GetActiveWindow() == FHandle;
    if (FActiveControl == Control && Control && !Control->CanFocus()) throw rtl::EInvalidOperation(SCannotFocus);
    SetActiveControl(Control);
    if (!wasActive)
        SetFocus();
    else if (Control && GetFocus() != Control->Handle())
        SetWindowFocus();
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
    if (Removing && FFocusedControl && Control->ContainsControl(FFocusedControl)) FFocusedControl = Control->Parent();
    if (FActiveControl && Control->ContainsControl(FActiveControl)) {
        FActiveControl = nullptr;
        if (Removing) {
            if (TScreen* s = ScreenPtr(); s && s->FActiveControl && Control->ContainsControl(s->FActiveControl))
                s->FActiveControl = nullptr;
            const HWND focus = GetFocus();
            TWinControl* fw = FindControl(focus);
            // The window with the focus goes: nobody has the focus, as when a window is destroyed.
            if (fw && Control->ContainsControl(fw)) detail::DropFocus(focus);
        } else if (FActive && FHandle && GetActiveWindow() == FHandle) {
            SetWindowFocus();
        }
    }
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
    TScreen* screen = Screen();
    ++FFocusCount;
    const int count = FFocusCount;
    auto sendFocusMessage = [&](TControl* Target, UINT Msg) {
        Target->Perform(Msg);
        return FFocusCount == count;
    };
    // The control that has the focus now (the active control may already name the new one).
    TWinControl* const previousActive = FFocusedControl != this ? FFocusedControl : nullptr;
    FActiveControl = Control != this ? Control : nullptr;
    screen->FActiveControl = Control;
    if (screen->FActiveForm != this) {
        screen->FActiveForm = this;
        if (screen->OnActiveFormChange) screen->OnActiveFormChange(screen);
    }
    if (screen->OnActiveControlChange) screen->OnActiveControlChange(screen);
    if (Control->ControlState().Contains(csFocusing)) return false;
    Control->SetControlState(Control->ControlState() + TControlState{csFocusing});
    struct TDone {
        TWinControl* C;
        ~TDone() { C->SetControlState(C->ControlState() - TControlState{csFocusing}); }
    } done{Control};
    if (screen->FFocusedForm != this) {
        if (TCustomForm* old = screen->FFocusedForm) {
            screen->FFocusedForm = nullptr;
            if (!sendFocusMessage(old, CM_DEACTIVATE)) return false;
        }
        screen->FFocusedForm = this;
        if (!sendFocusMessage(this, CM_ACTIVATE)) return false;
    }
    if (!FFocusedControl) FFocusedControl = this;
    if (FFocusedControl != Control) {
        while (FFocusedControl && !FFocusedControl->ContainsControl(Control)) {
            TWinControl* leaving = FFocusedControl;
            FFocusedControl = FFocusedControl->Parent();
            try {
                if (!sendFocusMessage(leaving, CM_EXIT)) return false;
            } catch (...) {
                // A control that refuses to be left (its OnExit raised) keeps the focus: what
                // already exited is entered again on the way back.
                FFocusedControl = leaving;
                FActiveControl = previousActive;
                screen->FActiveControl = previousActive;
                if (previousActive && previousActive->HandleAllocated() && previousActive->Handle() != GetFocus())
                    ui::SetFocus(previousActive->Handle());
                throw;
            }
        }
        while (FFocusedControl != Control) {
            TWinControl* entering = Control;
            while (entering->Parent() != FFocusedControl) entering = entering->Parent();
            FFocusedControl = entering;
            if (!sendFocusMessage(entering, CM_ENTER)) return false;
        }
        Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
    }
    return true;
}

void TCustomForm::SendCancelMode(TControl* Sender) {
    if (FActive && FActiveControl) FActiveControl->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(Sender));
}

void TCustomForm::CMActivate(TMessage& Message) {
    (void)Message;
    Activate();
}

void TCustomForm::CMDeactivate(TMessage& Message) {
    (void)Message;
    Deactivate();
}

void TCustomForm::AddShortCutHandler(const void* Source, TShortCutHandler Handler) {
    RemoveShortCutHandler(Source);
    FShortCutHandlers.emplace_back(Source, std::move(Handler));
}

void TCustomForm::RemoveShortCutHandler(const void* Source) {
    std::erase_if(FShortCutHandlers, [Source](const auto& h) { return h.first == Source; });
}

bool TCustomForm::IsShortCut(TWMKey& Message) {
    bool handled = false;
    if (OnShortCut) OnShortCut(Message, handled);
    if (handled) return true;
    // A handler may add or remove sources; walk a copy.
    const auto handlers = FShortCutHandlers;
    for (const auto& h : handlers)
        if (h.second(Message)) return true;
    return false;
}

void TCustomForm::CMDialogKey(TCMDialogKey& Message) {
    if (GetKeyState(VK_MENU) >= 0) {
        switch (Message.CharCode) {
            case VK_TAB:
                if (GetKeyState(VK_CONTROL) >= 0) {
                    SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
                    Message.Result = 1;
                    return;
                }
                break;
            case VK_LEFT:
            case VK_RIGHT:
            case VK_UP:
            case VK_DOWN:
                if (FActiveControl && FActiveControl->Parent()) {
                    FActiveControl->Parent()->SelectNext(
                        FActiveControl, Message.CharCode == VK_RIGHT || Message.CharCode == VK_DOWN, false);
                    Message.Result = 1;
                }
                return;
            default: break;
        }
    }
    TWinControl::CMDialogKey(Message);
}

void TCustomForm::MouseWheelHandler(TMessage& Message) {
    // The control under the pointer has the first say, then its parents; the focused control
    // only when the pointer is elsewhere.
    TControl* under = FindDragTarget(LParamToPoint(Message.LParam), false);
    if (under && under != this && GetParentForm(under) == this)
        Message.Result = under->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
    else if (!under && FFocusedControl && FFocusedControl != this)
        Message.Result = FFocusedControl->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
    else
        TControl::MouseWheelHandler(Message);
}

// ---------------------------------------------------------------------------------------------
// TFrame, TDataModule

TFrame::TFrame(TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FWidth = 320;
    FHeight = 240;
}

TDataModule::TDataModule(TComponent* Owner) : TComponent(Owner) {}

void TDataModule::AfterConstruction() {
    TComponent::AfterConstruction();
    if (OnCreate) OnCreate(this);
}

void TDataModule::BeforeDestruction() {
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            rtl::HandleException();
        }
    }
    TComponent::BeforeDestruction();
}

// ---------------------------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* Owner) : TComponent(Owner) {
    FMonitors.push_back(TMonitor{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), true});
}

void TScreen::SetMonitors(std::vector<TMonitor> Monitors) {
    if (Monitors.empty()) throw rtl::EInvalidOperation("A screen needs at least one monitor");
    FMonitors = std::move(Monitors);
}

const TMonitor& TScreen::MonitorFromPoint(TPoint P) const {
    const TMonitor* best = &FMonitors.front();
    long long bestDistance = -1;
    for (const TMonitor& m : FMonitors) {
        if (PtInRect(m.BoundsRect, P)) return m;
        const long long dx = P.X < m.BoundsRect.Left ? m.BoundsRect.Left - P.X
                                                     : (P.X >= m.BoundsRect.Right ? P.X - m.BoundsRect.Right + 1 : 0);
        const long long dy = P.Y < m.BoundsRect.Top ? m.BoundsRect.Top - P.Y
                                                    : (P.Y >= m.BoundsRect.Bottom ? P.Y - m.BoundsRect.Bottom + 1 : 0);
        const long long d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = &m;
        }
    }
    return *best;
}

const TMonitor& TScreen::MonitorFromRect(const TRect& R) const {
    const TMonitor* best = nullptr;
    long long bestArea = 0;
    for (const TMonitor& m : FMonitors) {
        TRect part;
        if (!IntersectRect(part, m.BoundsRect, R)) continue;
        const long long area = static_cast<long long>(part.Width()) * part.Height();
        if (area > bestArea) {
            bestArea = area;
            best = &m;
        }
    }
    return best ? *best : MonitorFromPoint(Point(R.Left + R.Width() / 2, R.Top + R.Height() / 2));
}

TRect TScreen::DesktopRect() const {
    TRect r = FMonitors.front().BoundsRect;
    for (const TMonitor& m : FMonitors) UnionRect(r, r, m.BoundsRect);
    return r;
}

void TScreen::SetCursor(TCursor Value) {
    if (FCursor == Value) return;
    FCursor = Value;
    SetCursorShape(Value == crDefault ? crArrow : Value);
}

void TScreen::SetCursors(int Index, const AnsiString& Name) {
    for (auto& c : FCursorNames)
        if (c.first == Index) {
            c.second = Name;
            return;
        }
    FCursorNames.emplace_back(Index, Name);
}

AnsiString TScreen::Cursors(int Index) const {
    for (const auto& c : FCursorNames)
        if (c.first == Index) return c.second;
    return {};
}

// ---------------------------------------------------------------------------------------------
// THintWindow

THintWindow::THintWindow(TComponent* Owner) : TCustomControl(Owner) {
    FVisible = false;
    FColor = clInfoBk;
    FParentColor = false;
    FParentFont = false;
    Font()->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WindowClassStyle |= CS_SAVEBITS;
    Params.WndParent = 0;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) {
    (void)Data;
    // Measured where the window draws, with its own font.
    TCanvas canvas;
    if (TSurface* s = MeasureSurface()) canvas.SetSurface(s);
    canvas.Font()->Assign(Font());
    TRect r = Rect(0, 0, MaxWidth, 0);
    canvas.TextRect(r, Hint, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

void THintWindow::ActivateHint(TRect Rect, const AnsiString& Hint) {
    SetCaption(Hint);
    HandleNeeded();
    SetWindowPos(Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    FVisible = true;
    FActive = true;
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    FActive = false;
    if (HandleAllocated() && IsWindowVisible()) ShowWindow(SW_HIDE);
    FVisible = false;
}

void THintWindow::Paint() {
    TRect r = ClientRect();
    r.Inflate(-2, -2);
    Canvas()->Font()->SetColor(clInfoText);
    Canvas()->Brush()->SetStyle(bsClear);
    Canvas()->TextRect(r, Caption(), DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// ---------------------------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* Owner) : TComponent(Owner) {
    FHintWindow = rtl::Create<THintWindow>(this);
    FPreviousHandler = rtl::SetApplicationExceptionHandler([this](const rtl::Exception& E) {
        if (OnException)
            OnException(this, E);
        else
            ShowException(E);
    });
}

TApplication::~TApplication() {
    rtl::TimerService().KillTimers(this);
    rtl::SetApplicationExceptionHandler(std::move(FPreviousHandler));
}

void TApplication::Notification(TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove) {
        if (AComponent == FMainForm) FMainForm = nullptr;
        if (AComponent == FHintWindow) FHintWindow = nullptr;
        if (AComponent == FHintControl) FHintControl = nullptr;
    }
}

bool TApplication::IsKeyMsg(TMsg& Msg) {
    if (Msg.message < WM_KEYFIRST || Msg.message > WM_KEYLAST) return false;
    // Esc ends a drag, wherever the focus is.
    if (DragControl() && Msg.message == WM_KEYDOWN && Msg.wParam == VK_ESCAPE) {
        CancelDrag();
        return true;
    }
    TWinControl* target = FindControl(Msg.hwnd);
    if (!target) return false;
    return target->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0;
}

bool TApplication::ProcessMessage() {
    rtl::ProcessTimers();
    TMsg msg;
    if (!PeekMessage(msg, 0, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    try {
        if (!detail::ThumbDragMessage(msg) && !detail::MenuMessage(msg) && !IsKeyMsg(msg)) DispatchMessage(msg);
    } catch (...) {
        HandleException(this);
    }
    FreeDeviceContexts();
    return true;
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

void TApplication::Idle() {
    bool done = true;
    try {
        if (OnIdle) OnIdle(this, done);
        if (done) UpdateActions();
    } catch (...) {
        HandleException(this);
    }
    if (done && WaitHandler) WaitHandler();
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) Idle();
}

void TApplication::Run() {
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(TObject* Sender) {
    (void)Sender;
    rtl::HandleException();
}

void TApplication::HandleException(const rtl::Exception& E) { rtl::HandleException(E); }

void TApplication::ShowException(const rtl::Exception& E) {
    AnsiString text = E.Message();
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    MessageBox(text, FTitle, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
    if (MessageBoxHandler) return MessageBoxHandler(Text, Caption, Flags);
    FShownMessages.push_back(Text);
    return IDOK;
}

bool TApplication::HelpContext(int Context) {
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(HELP_CONTEXT, Context, callHelp);
    if (callHelp && HelpHandler) result = HelpHandler(Context);
    return result;
}

void TApplication::UpdateActions() {
    for (int i = 0; i < Screen()->FormCount(); ++i) Screen()->Forms(i)->UpdateActions();
}

void TApplication::SetShowHint(bool Value) {
    FShowHint = Value;
    if (!Value) CancelHint();
}

void TApplication::StartHintTimer(int Value, int Kind) {
    FHintTimerKind = Kind;
    rtl::SetTimer(this, 1, static_cast<uint32_t>(std::max(Value, 1)), [this] { HintTimerExpired(); });
}

void TApplication::StopHintTimer() {
    FHintTimerKind = 0;
    rtl::KillTimer(this, 1);
}

void TApplication::HintTimerExpired() {
    const int kind = FHintTimerKind;
    StopHintTimer();
    if (kind == 1)
        ActivateHint(GetCursorPos());
    else if (kind == 2)
        HideHint();
}

void TApplication::HideHint() {
    if (FHintWindow) FHintWindow->ReleaseHandle();
    FHintActive = false;
}

void TApplication::CancelHint() {
    StopHintTimer();
    HideHint();
    FHintControl = nullptr;
}

void TApplication::HintMouseMessage(TControl* Control, TMessage& Message) {
    if (!FShowHint || !Control) return;
    const TPoint screenPos = Control->ClientToScreen(LParamToPoint(Message.LParam));
    TControl* target = FindDragTarget(screenPos, true);
    while (target && !target->ShowHint()) target = target->Parent();
    if (Message.Msg != WM_MOUSEMOVE) {
        if (FHintActive || FHintTimerKind) CancelHint();
        return;
    }
    // Another control, or another area of the same control (a cell, a title), asks again.
    const bool newArea =
        target && target == FHintControl && !PtInRect(FHintCursorRect, target->ScreenToClient(screenPos));
    if (target != FHintControl || (newArea && !FHintActive)) {
        const bool wasActive = FHintActive;
        StopHintTimer();
        HideHint();
        FHintControl = target;
        FHintCursorRect = TRect();
        if (target) {
            FHintCursorRect = target->ClientRect();
            int pause = wasActive ? FHintShortPause : FHintPause;
            target->Perform(CM_HINTSHOWPAUSE, wasActive ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
            StartHintTimer(pause, 1);
        }
        return;
    }
    if (newArea) ActivateHint(screenPos);
}

void TApplication::ActivateHint(TPoint CursorPos) {
    TControl* control = FHintControl;
    if (!control || !FHintWindow) return;
    THintInfo info;
    info.HintControl = control;
    info.HintPos = Point(CursorPos.X, CursorPos.Y + 20);
    info.HintMaxWidth = Screen()->Width();
    info.HintColor = FHintColor;
    info.CursorRect = control->ClientRect();
    info.CursorPos = control->ScreenToClient(CursorPos);
    info.HintStr = ShortHint(control->Hint());
    info.HideTimeout = FHintHidePause;
    bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    // The area the answer holds for, shown or not: leaving it asks again.
    FHintCursorRect = info.CursorRect;
    FHint = control->Hint();
    if (OnHint) OnHint(this);
    if (!canShow || info.HintStr.empty()) {
        HideHint();
        return;
    }
    if (info.HintWindowClass && info.HintWindowClass != FHintWindow->ClassType() &&
        info.HintWindowClass->InheritsFrom(&THintWindow::StaticClass())) {
        FHintWindow->Free();
        FHintWindow = static_cast<THintWindow*>(info.HintWindowClass->Create(this));
    }
    TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r.Offset(info.HintPos.X, info.HintPos.Y);
    FHintWindow->SetColor(info.HintColor);
    FHintWindow->ActivateHint(r, info.HintStr);
    FHintActive = true;
    if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, 2);
}

}  // namespace ui
