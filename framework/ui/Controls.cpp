#include "framework/ui/Controls.h"
#include "framework/ui/Menus.h"

#include <algorithm>

#include "framework/rtl/Ownership.h"
#include "framework/ui/Forms.h"

namespace ui {

TShiftState KeysToShiftState(WPARAM Keys) {
    TShiftState s;
    if (Keys & MK_SHIFT) s.Include(ssShift);
    if (Keys & MK_CONTROL) s.Include(ssCtrl);
    if (Keys & MK_LBUTTON) s.Include(ssLeft);
    if (Keys & MK_RBUTTON) s.Include(ssRight);
    if (Keys & MK_MBUTTON) s.Include(ssMiddle);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    return s;
}

TShiftState KeyDataToShiftState(int32_t KeyData) {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
    if (KeyData & 0x20000000) s.Include(ssAlt);
    return s;
}

TShiftState GetShiftState() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    if (GetKeyState(VK_LBUTTON) < 0) s.Include(ssLeft);
    if (GetKeyState(VK_RBUTTON) < 0) s.Include(ssRight);
    if (GetKeyState(VK_MBUTTON) < 0) s.Include(ssMiddle);
    return s;
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* Owner)
    : TComponent(Owner), FFont(std::make_unique<TFont>()), FConstraints(rtl::Create<TSizeConstraints>()) {
    FFont->OnChange = [this](TObject* Sender) { FontChanged(Sender); };
    FConstraints->OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() = default;

TSurface* TControl::MeasureSurface() const {
    const TWinControl* w = dynamic_cast<const TWinControl*>(this);
    if (!w) w = FParent;
    if (w) {
        if (TSurface* s = w->TopLevelWindow()->Surface()) return s;
    }
    return TextMeasureSurface();
}

TTextMetric TControl::MeasureTextMetrics() const {
    if (TSurface* s = MeasureSurface()) return s->TextMetrics(FFont->Data());
    return FixedTextMetrics(FFont->Data());
}

TSize TControl::MeasureTextExtent(std::string_view Text) const {
    if (TSurface* s = MeasureSurface()) return s->TextExtent(Text, FFont->Data());
    return FixedTextExtent(Text, FFont->Data());
}

void TControl::BeforeDestruction() {
    if (GetCaptureControl() == this) SetCaptureControl(nullptr);
    detail::ControlGoing(this);
    if (FParent) FParent->RemoveControl(this);
    TComponent::BeforeDestruction();
}

void TControl::WndProc(TMessage& Message) {
    if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) {
        if (!FControlStyle.Contains(csDoubleClicks)) {
            switch (Message.Msg) {
                case WM_LBUTTONDBLCLK:
                case WM_RBUTTONDBLCLK:
                case WM_MBUTTONDBLCLK: Message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN; break;
            }
        }
        if (Message.Msg != WM_MOUSEWHEEL) Application()->HintMouseMessage(this, Message);
        if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && FDragMode == dmAutomatic &&
            !ComponentState().Contains(rtl::csDesigning)) {
            BeginDrag(true);
            return;
        }
    }
    Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: {
            TWMMouse m(Message);
            WMLButtonDown(m);
            return;
        }
        case WM_RBUTTONDOWN: {
            TWMMouse m(Message);
            WMRButtonDown(m);
            return;
        }
        case WM_MBUTTONDOWN: {
            TWMMouse m(Message);
            WMMButtonDown(m);
            return;
        }
        case WM_LBUTTONDBLCLK: {
            TWMMouse m(Message);
            WMLButtonDblClk(m);
            return;
        }
        case WM_RBUTTONDBLCLK: {
            TWMMouse m(Message);
            WMRButtonDblClk(m);
            return;
        }
        case WM_MBUTTONDBLCLK: {
            TWMMouse m(Message);
            WMMButtonDblClk(m);
            return;
        }
        case WM_LBUTTONUP: {
            TWMMouse m(Message);
            WMLButtonUp(m);
            return;
        }
        case WM_RBUTTONUP: {
            TWMMouse m(Message);
            WMRButtonUp(m);
            return;
        }
        case WM_MBUTTONUP: {
            TWMMouse m(Message);
            WMMButtonUp(m);
            return;
        }
        case WM_MOUSEMOVE: {
            TWMMouse m(Message);
            WMMouseMove(m);
            return;
        }
        case WM_MOUSEWHEEL: {
            TWMMouseWheel m(Message);
            WMMouseWheel(m);
            return;
        }
        case WM_CANCELMODE: {
            TWMCancelMode m(Message);
            WMCancelMode(m);
            return;
        }
        case WM_WINDOWPOSCHANGED: {
            TWMWindowPosChanged m(Message);
            WMWindowPosChanged(m);
            return;
        }
        case WM_CONTEXTMENU: {
            TWMContextMenu m(Message);
            WMContextMenu(m);
            return;
        }
        case CM_VISIBLECHANGED: CMVisibleChanged(Message); return;
        case CM_ENABLEDCHANGED: CMEnabledChanged(Message); return;
        case CM_FONTCHANGED: CMFontChanged(Message); return;
        case CM_COLORCHANGED: CMColorChanged(Message); return;
        case CM_PARENTFONTCHANGED: CMParentFontChanged(Message); return;
        case CM_PARENTCOLORCHANGED: CMParentColorChanged(Message); return;
        case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(Message); return;
        case CM_HITTEST: {
            TCMHitTest m(Message);
            CMHitTest(m);
            return;
        }
        case CM_MOUSEENTER: CMMouseEnter(Message); return;
        case CM_MOUSELEAVE: CMMouseLeave(Message); return;
        case CM_HINTSHOW: {
            TCMHintShow m(Message);
            CMHintShow(m);
            return;
        }
        case CM_MOUSEWHEEL: {
            TCMMouseWheel m(Message);
            CMMouseWheel(m);
            return;
        }
        case CM_CANCELMODE: {
            TCMCancelMode m(Message);
            CMCancelMode(m);
            return;
        }
        case CM_TEXTCHANGED: CMTextChanged(Message); return;
        default: DefaultHandler(Message);
    }
}

void TControl::DefaultHandler(TMessage& Message) { (void)Message; }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m(Msg, WParam, LParam);
    Deliver(m);
    return m.Result;
}

void TSizeConstraints::Set(int& Field, int Value) {
    Value = std::max(Value, 0);
    if (Field == Value) return;
    Field = Value;
    if (FMaxWidth > 0 && FMaxWidth < FMinWidth) FMaxWidth = FMinWidth;
    if (FMaxHeight > 0 && FMaxHeight < FMinHeight) FMaxHeight = FMinHeight;
    if (OnChange) OnChange(this);
}

void TSizeConstraints::Constrain(int& Width, int& Height) const noexcept {
    if (FMaxWidth > 0) Width = std::min(Width, FMaxWidth);
    if (FMaxHeight > 0) Height = std::min(Height, FMaxHeight);
    Width = std::max(Width, FMinWidth);
    Height = std::max(Height, FMinHeight);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FConstraints->Constrain(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FreeDeviceContexts();
    InvalidateControl(Visible(), false);
    const bool sized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    Invalidate();
    if (sized) Resize();
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::UpdateBoundsRect(const TRect& R) {
    FLeft = R.Left;
    FTop = R.Top;
    FWidth = R.Width();
    FHeight = R.Height();
}

void TControl::SetAlign(TAlign Value) {
    if (FAlign == Value) return;
    FAlign = Value;
    if (FParent) FParent->Realign();
}

TRect TControl::GetClientRect() const { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientSize(int W, int H) {
    const TRect c = GetClientRect();
    SetBounds(FLeft, FTop, FWidth - c.Right + W, FHeight - c.Bottom + H);
}

TPoint TControl::ClientOrigin() const {
    if (!FParent) return Point(FLeft, FTop);
    const TPoint p = FParent->ClientOrigin();
    return Point(p.X + FLeft, p.Y + FTop);
}

TPoint TControl::ClientToScreen(TPoint P) const {
    const TPoint o = ClientOrigin();
    return Point(P.X + o.X, P.Y + o.Y);
}

TPoint TControl::ScreenToClient(TPoint P) const {
    const TPoint o = ClientOrigin();
    return Point(P.X - o.X, P.Y - o.Y);
}

TPoint TControl::ClientToParent(TPoint P, TWinControl* AParent) const {
    if (!AParent) AParent = FParent;
    if (!AParent) throw rtl::EInvalidOperation("Control '" + Name() + "' has no parent window");
    const TPoint s = ClientToScreen(P);
    return AParent->ScreenToClient(s);
}

void TControl::SetParent(TWinControl* AParent) {
    if (FParent == AParent) return;
    if (AParent == this) throw rtl::EInvalidOperation("A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* Value) {
    if (auto* w = dynamic_cast<TWinControl*>(Value)) SetParent(w);
}

void TControl::Notification(TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (FPopupMenu == Value) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
    if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
}

void TControl::WMContextMenu(TWMContextMenu& Message) {
    if (Message.Result != 0) return;
    TPoint pos = Point(Message.XPos, Message.YPos);
    const bool fromKeyboard = pos.X == -1 && pos.Y == -1;
    bool handled = false;
    DoContextPopup(fromKeyboard ? pos : ScreenToClient(pos), handled);
    if (handled) {
        Message.Result = 1;
        return;
    }
    TPopupMenu* menu = GetPopupMenu();
    if (menu && menu->AutoPopup()) {
        SendCancelMode(nullptr);
        menu->SetPopupComponent(this);
        // From the keyboard the menu opens under the control.
        if (fromKeyboard) pos = ClientToScreen(Point(0, ClientHeight()));
        menu->Popup(pos.X, pos.Y);
        Message.Result = 1;
        return;
    }
    DefaultHandler(Message.Message);
}

void TControl::SetVisible(bool Value) {
    if (FVisible == Value) return;
    VisibleChanging();
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::Show() {
    if (FParent) FParent->Show();
    SetVisible(true);
    BringToFront();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    FParentColor = false;
    Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
    if (FParentColor == Value) return;
    FParentColor = Value;
    if (FParent && Value) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool Value) {
    if (FParentFont == Value) return;
    FParentFont = Value;
    if (FParent && Value) Perform(CM_PARENTFONTCHANGED);
}

void TControl::FontChanged(TObject*) {
    if (!FUpdatingFont) FParentFont = false;
    Perform(CM_FONTCHANGED);
}

void TControl::SetText(const AnsiString& Value) {
    if (FText == Value) return;
    FText = Value;
    Perform(CM_TEXTCHANGED);
}

void TControl::SetCursor(TCursor Value) {
    if (FCursor == Value) return;
    FCursor = Value;
    Perform(CM_CURSORCHANGED);
}

void TControl::SetShowHint(bool Value) {
    FShowHint = Value;
    FParentShowHint = false;
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool Value) {
    if (FParentShowHint == Value) return;
    FParentShowHint = Value;
    if (FParent && Value) Perform(CM_PARENTSHOWHINTCHANGED);
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
    if (MouseCapture() == Value) return;
    SetCaptureControl(Value ? this : nullptr);
}

void TControl::InvalidateControl(bool IsVisible, bool IsOpaque) {
    if (!FParent || !IsVisible || !FParent->HandleAllocated()) return;
    const TRect r = BoundsRect();
    FParent->InvalidateRect(&r, !IsOpaque);
}

void TControl::Invalidate() { InvalidateControl(FVisible, FControlStyle.Contains(csOpaque)); }

void TControl::Update() {
    if (FParent) FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::PaintTo(HDC DC, int X, int Y) {
    TSavedDC saved(*DC);
    const TPoint org = DC->ViewportOrg();
    DC->SetViewportOrgEx(org.X + X, org.Y + Y);
    DC->IntersectClipRect(ClientRect());
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        w->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), reinterpret_cast<LPARAM>(DC));
        w->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    } else {
        PaintControl(DC);
    }
}

void TControl::BringToFront() {
    if (!FParent) {
        if (auto* w = dynamic_cast<TWinControl*>(this))
            w->SetWindowPos(0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    auto& list = FParent->FControls;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end() || it + 1 == list.end()) return;
    list.erase(it);
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end() || it == list.begin()) return;
    list.erase(it);
    list.insert(list.begin(), this);
    Invalidate();
}

void TControl::SendCancelMode(TControl* Sender) {
    for (TControl* c = this; c; c = c->FParent)
        if (auto* form = dynamic_cast<TCustomForm*>(c)) form->SendCancelMode(Sender);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::Changed() { Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this)); }

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    if (handled) return true;
    FWheelAccumulator += WheelDelta;
    while (std::abs(FWheelAccumulator) >= WHEEL_DELTA) {
        const bool down = FWheelAccumulator < 0;
        FWheelAccumulator += down ? WHEEL_DELTA : -WHEEL_DELTA;
        handled = down ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
    }
    return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
    bool handled = false;
    if (OnMouseWheelDown) OnMouseWheelDown(this, Shift, MousePos, handled);
    return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
    bool handled = false;
    if (OnMouseWheelUp) OnMouseWheelUp(this, Shift, MousePos, handled);
    return handled;
}

void TControl::MouseWheelHandler(TMessage& Message) {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this)
        form->MouseWheelHandler(Message);
    else
        Message.Result = Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
}

void TControl::DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift) {
    if (!FControlStyle.Contains(csNoStdEvents))
        MouseDown(Button, KeysToShiftState(Message.Keys) + Shift, Message.XPos, Message.YPos);
}

void TControl::DoMouseUp(TWMMouse& Message, TMouseButton Button) {
    if (!FControlStyle.Contains(csNoStdEvents))
        MouseUp(Button, KeysToShiftState(Message.Keys), Message.XPos, Message.YPos);
}

void TControl::WMLButtonDown(TWMMouse& Message) {
    SendCancelMode(this);
    DefaultHandler(Message);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
    DoMouseDown(Message, mbLeft, {});
}

void TControl::WMRButtonDown(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseDown(Message, mbRight, {});
}

void TControl::WMMButtonDown(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseDown(Message, mbMiddle, {});
}

void TControl::WMLButtonDblClk(TWMMouse& Message) {
    SendCancelMode(this);
    DefaultHandler(Message);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (FControlStyle.Contains(csClickEvents)) DblClick();
    DoMouseDown(Message, mbLeft, {ssDouble});
}

void TControl::WMRButtonDblClk(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseDown(Message, mbRight, {ssDouble});
}

void TControl::WMMButtonDblClk(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseDown(Message, mbMiddle, {ssDouble});
}

void TControl::WMLButtonUp(TWMMouse& Message) {
    // A click handler that raises from the default handling must not leave the mouse held here.
    rtl::TryFinally([&] { DefaultHandler(Message); },
                    [&] {
                        if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
                    });
    if (FControlState.Contains(csClicked)) {
        FControlState.Exclude(csClicked);
        if (PtInRect(ClientRect(), Message.Pos())) Click();
    }
    DoMouseUp(Message, mbLeft);
}

void TControl::WMRButtonUp(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseUp(Message, mbRight);
}

void TControl::WMMButtonUp(TWMMouse& Message) {
    DefaultHandler(Message);
    DoMouseUp(Message, mbMiddle);
}

void TControl::WMMouseMove(TWMMouse& Message) {
    DefaultHandler(Message);
    if (!FControlStyle.Contains(csNoStdEvents)) MouseMove(KeysToShiftState(Message.Keys), Message.XPos, Message.YPos);
}

void TControl::WMMouseWheel(TWMMouseWheel& Message) {
    MouseWheelHandler(Message.Message);
    if (Message.Result == 0) DefaultHandler(Message);
}

void TControl::WMCancelMode(TWMCancelMode& Message) { DefaultHandler(Message); }

void TControl::WMWindowPosChanged(TWMWindowPosChanged& Message) { DefaultHandler(Message); }

void TControl::CMVisibleChanged(TMessage& Message) {
    (void)Message;
    InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
}

void TControl::CMEnabledChanged(TMessage& Message) {
    (void)Message;
    Invalidate();
}

void TControl::CMFontChanged(TMessage& Message) {
    (void)Message;
    Invalidate();
}

void TControl::CMColorChanged(TMessage& Message) {
    (void)Message;
    Invalidate();
}

void TControl::CMParentFontChanged(TMessage& Message) {
    (void)Message;
    if (FParentFont && FParent) {
        rtl::TScopedValue updating(FUpdatingFont, true);
        FFont->Assign(FParent->Font());
    }
}

void TControl::CMParentColorChanged(TMessage& Message) {
    (void)Message;
    if (FParentColor && FParent) {
        if (FColor != FParent->Color()) {
            FColor = FParent->Color();
            Perform(CM_COLORCHANGED);
        }
    }
}

void TControl::CMParentShowHintChanged(TMessage& Message) {
    (void)Message;
    if (FParentShowHint && FParent) FShowHint = FParent->ShowHint();
}

void TControl::CMHitTest(TCMHitTest& Message) { Message.Result = HTCLIENT; }

void TControl::CMMouseEnter(TMessage& Message) {
    if (FParent) FParent->Perform(CM_MOUSEENTER, 0, Message.LParam ? Message.LParam : reinterpret_cast<LPARAM>(this));
    if (Message.LParam == 0 && OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage& Message) {
    if (FParent) FParent->Perform(CM_MOUSELEAVE, 0, Message.LParam ? Message.LParam : reinterpret_cast<LPARAM>(this));
    if (Message.LParam == 0 && OnMouseLeave) OnMouseLeave(this);
}

void TControl::CMHintShow(TCMHintShow& Message) { DefaultHandler(Message); }

void TControl::CMMouseWheel(TCMMouseWheel& Message) {
    Message.Result = 0;
    if (DoMouseWheel(KeysToShiftState(Message.Keys), Message.WheelDelta, Message.Pos()))
        Message.Result = 1;
    else if (FParent)
        Message.Result = FParent->Perform(CM_MOUSEWHEEL, Message.Message.WParam, Message.Message.LParam);
}

void TControl::CMCancelMode(TCMCancelMode& Message) { DefaultHandler(Message); }

void TControl::CMTextChanged(TMessage& Message) {
    (void)Message;
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// TCustomControl, TGraphicControl

TCustomControl::TCustomControl(TComponent* Owner)
    : TWinControl(Owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {
    if (OnPaint) OnPaint(this);
}

namespace {

// A control's canvas draws on the paint device for the duration of one paint; a clip left from
// an earlier paint never carries over.
class TCanvasOnDevice {
public:
    TCanvasOnDevice(TCanvas& Canvas, HDC DC, TFont* Font, TColor Color) : FCanvas(Canvas) {
        static_cast<TControlCanvas&>(FCanvas).FreeHandle();
        FCanvas.Lock();
        FCanvas.SetSurface(DC->Surface());
        FCanvas.SelectClipRgn(nullptr);
        TRegion clip;
        if (DC->GetClipRgn(clip)) FCanvas.SelectClipRgn(&clip);
        const TPoint org = DC->ViewportOrg();
        FCanvas.SetViewportOrgEx(org.X, org.Y);
        FCanvas.Font()->Assign(Font);
        FCanvas.Brush()->SetColor(Color);
    }
    ~TCanvasOnDevice() {
        FCanvas.SetSurface(nullptr);
        FCanvas.Unlock();
    }
    TCanvasOnDevice(const TCanvasOnDevice&) = delete;
    TCanvasOnDevice& operator=(const TCanvasOnDevice&) = delete;

private:
    TCanvas& FCanvas;
};

}  // namespace

void TCustomControl::PaintWindow(HDC DC) {
    TCanvasOnDevice bound(*FCanvas, DC, Font(), Color());
    Paint();
}

TGraphicControl::TGraphicControl(TComponent* Owner)
    : TControl(Owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Paint() {
    if (OnPaint) OnPaint(this);
}

void TGraphicControl::PaintControl(HDC DC) {
    TCanvasOnDevice bound(*FCanvas, DC, Font(), Color());
    Paint();
}

}  // namespace ui
