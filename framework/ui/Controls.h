// The control model: TControl (a rectangle on a parent), TWinControl (a control with a window of
// its own: handle, focus, children, non-client area, scroll bars), TCustomControl (a window with a
// canvas and Paint) and TGraphicControl (painted by its parent). Windows are records of this
// library, not native windows; the display backend shows top-level ones and feeds input through
// the input functions at the end of this header.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Messages.h"

namespace ui {

using rtl::AnsiString;
using rtl::TComponent;
using rtl::TNotifyEvent;
using rtl::TObject;

class TWinControl;
class TCustomForm;
class TPopupMenu;
namespace detail {
bool ThumbDragMessage(const TMsg& Msg);
}

// ---------------------------------------------------------------------------------------------
// Small types

enum TControlStyleFlag {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
    csNeedsBorderPaint,
    csParentBackground,
};
using TControlStyle = rtl::TSet<TControlStyleFlag>;

enum TControlStateFlag {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking,
};
using TControlState = rtl::TSet<TControlStateFlag>;

enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = rtl::TSet<TShiftStateFlag>;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using enum TAlign;

enum class TBorderStyle { bsNone, bsSingle };

using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
// MousePos is in client coordinates, (-1, -1) when the keyboard asked.
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;

// Dragging inside the program.
enum class TDragMode { dmManual, dmAutomatic };
using enum TDragMode;
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using enum TDragState;

// What is dragged: by default the control itself; OnStartDrag may give an object of its own
// (owned by whoever made it), which then is the Source the targets see.
class TDragObject : public TObject {
    RTL_CLASS(TDragObject, TObject)
public:
    TDragObject() = default;
    // The cursor over a target that accepts (Accepted) or refuses.
    virtual TCursor GetDragCursor(bool Accepted, int X, int Y);
};

using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

// What a window is created with.
struct TCreateParams {
    AnsiString Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = 0;
    uint32_t WindowClassStyle = 0;
    AnsiString WinClassName;
};

// A window scroll bar's state.
struct TScrollInfo {
    UINT fMask = SIF_ALL;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

// Hint request passed with CM_HINTSHOW.
struct THintInfo {
    class TControl* HintControl = nullptr;
    TPoint HintPos;  // screen
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;  // client coordinates of HintControl
    TPoint CursorPos;  // client coordinates of HintControl
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    AnsiString HintStr;
    // The hint window's class (a THintWindow descendant); the application's window when null.
    const rtl::TComponentClass* HintWindowClass = nullptr;
    // Passed to the hint window's CalcHintRect.
    void* HintData = nullptr;
};

// Least and greatest size of a control (0: no limit); SetBounds keeps within them and the
// backend's windows cannot be resized beyond them.
class TSizeConstraints : public rtl::TPersistent {
    RTL_CLASS(TSizeConstraints, rtl::TPersistent)
public:
    TSizeConstraints() = default;
    int MinWidth() const noexcept { return FMinWidth; }
    int MinHeight() const noexcept { return FMinHeight; }
    int MaxWidth() const noexcept { return FMaxWidth; }
    int MaxHeight() const noexcept { return FMaxHeight; }
    // Negative values count as 0; a maximum below the minimum is raised to it.
    void SetMinWidth(int Value) { Set(FMinWidth, Value); }
    void SetMinHeight(int Value) { Set(FMinHeight, Value); }
    void SetMaxWidth(int Value) { Set(FMaxWidth, Value); }
    void SetMaxHeight(int Value) { Set(FMaxHeight, Value); }
    void Constrain(int& Width, int& Height) const noexcept;
    TNotifyEvent OnChange;

private:
    void Set(int& Field, int Value);
    int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

TShiftState KeysToShiftState(WPARAM Keys);
TShiftState KeyDataToShiftState(int32_t KeyData);
// The shift keys and mouse buttons held now (GetKeyState).
TShiftState GetShiftState();

// ---------------------------------------------------------------------------------------------
// TControl

class TControl : public TComponent {
    RTL_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* Owner);
    ~TControl() override;
    void BeforeDestruction() override;

    // Messages. WindowProc starts as WndProc; a hook may replace it and call the saved one.
    std::function<void(TMessage&)> WindowProc;
    virtual void WndProc(TMessage& Message);
    // Runs the handler of Message.Msg that this class (or a descendant override) has; otherwise
    // DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    void Deliver(TMessage& Message) {
        if (WindowProc)
            WindowProc(Message);
        else
            WndProc(Message);
    }

    // Placement, in the parent's client coordinates.
    int Left() const noexcept { return FLeft; }
    int Top() const noexcept { return FTop; }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const noexcept { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    TAlign Align() const noexcept { return FAlign; }
    void SetAlign(TAlign Value);
    TSizeConstraints* Constraints() const noexcept { return FConstraints.get(); }

    virtual TRect GetClientRect() const;
    TRect ClientRect() const { return GetClientRect(); }
    int ClientWidth() const { return GetClientRect().Right; }
    int ClientHeight() const { return GetClientRect().Bottom; }
    void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
    void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
    virtual void SetClientSize(int W, int H);
    // Screen position of the client area's top-left corner.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint P) const;
    TPoint ScreenToClient(TPoint P) const;
    TPoint ClientToParent(TPoint P, TWinControl* AParent = nullptr) const;

    TWinControl* Parent() const noexcept { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

    bool Visible() const noexcept { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show();
    void Hide() { SetVisible(false); }
    // Visible with every parent visible, up to a shown top-level window.
    virtual bool Showing() const;
    bool Enabled() const noexcept { return FEnabled; }
    virtual void SetEnabled(bool Value);

    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const noexcept { return FParentColor; }
    void SetParentColor(bool Value);
    TFont* Font() const noexcept { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    bool ParentFont() const noexcept { return FParentFont; }
    void SetParentFont(bool Value);
    // Text is measured on the surface the control draws on once its window has one, else with the
    // drawing layer's measurer, so sizes match what is drawn; fixed metrics only without either.
    TSurface* MeasureSurface() const;
    TTextMetric MeasureTextMetrics() const;
    TSize MeasureTextExtent(std::string_view Text) const;

    const AnsiString& Text() const noexcept { return FText; }
    void SetText(const AnsiString& Value);
    const AnsiString& Caption() const noexcept { return FText; }
    void SetCaption(const AnsiString& Value) { SetText(Value); }

    TControlStyle ControlStyle() const noexcept { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) noexcept { FControlStyle = Value; }
    TControlState ControlState() const noexcept { return FControlState; }
    void SetControlState(TControlState Value) noexcept { FControlState = Value; }

    TCursor Cursor() const noexcept { return FCursor; }
    void SetCursor(TCursor Value);
    const AnsiString& Hint() const noexcept { return FHint; }
    void SetHint(const AnsiString& Value) { FHint = Value; }
    bool ShowHint() const noexcept { return FShowHint; }
    void SetShowHint(bool Value);
    bool ParentShowHint() const noexcept { return FParentShowHint; }
    void SetParentShowHint(bool Value);

    bool MouseCapture() const;
    void SetMouseCapture(bool Value);

    // The menu a right click, Shift+F10 or the menu key pops up over the control (WM_CONTEXTMENU);
    // OnContextPopup may take the request first.
    TPopupMenu* PopupMenu() const noexcept { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);
    virtual TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
    TContextPopupEvent OnContextPopup;
    // The help topic of the control; F1 asks for the nearest non-zero one up the parents.
    int HelpContext() const noexcept { return FHelpContext; }
    void SetHelpContext(int Value) noexcept { FHelpContext = Value; }

    // Dragging. dmAutomatic starts a drag with the left button; BeginDrag starts one at once
    // (Immediate) or once the mouse has moved Threshold pixels (-1: the system's 5). While it
    // lasts, the mouse is the drag's: targets under it are asked through DragOver, the release
    // drops on one that accepted, the right button or Esc cancels.
    TDragMode DragMode() const noexcept { return FDragMode; }
    void SetDragMode(TDragMode Value) noexcept { FDragMode = Value; }
    TCursor DragCursor() const noexcept { return FDragCursor; }
    void SetDragCursor(TCursor Value) noexcept { FDragCursor = Value; }
    void BeginDrag(bool Immediate, int Threshold = -1);
    bool Dragging() const;
    void EndDrag(bool Drop);
    // The target side: Accept starts true when OnDragOver is assigned (false otherwise).
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DragDrop(TObject* Source, int X, int Y);
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;

    // Painting.
    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    // Paints the control into DC, its client origin at (X, Y).
    void PaintTo(HDC DC, int X, int Y);

    void BringToFront();
    void SendToBack();

    // Tells every form up the parent chain to send CM_CANCELMODE to its active control.
    void SendCancelMode(TControl* Sender);

    // Events.
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TMouseWheelEvent OnMouseWheel;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    TNotifyEvent OnResize;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    virtual void Click();
    virtual void DblClick();
    virtual void DoStartDrag(TDragObject*& DragObject);
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
    virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
    // Wheel messages go to the form's focused control first.
    virtual void MouseWheelHandler(TMessage& Message);

protected:
    friend class TWinControl;
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Resize();
    virtual void Changed();
    // The window-less part of painting a control on its parent (graphic controls override Paint).
    virtual void PaintControl(HDC DC) { (void)DC; }
    virtual void VisibleChanging() {}
    virtual void SetParentComponent(TComponent* Value);
    void Notification(TComponent* AComponent, rtl::TOperation Operation) override;
    void InvalidateControl(bool IsVisible, bool IsOpaque);
    virtual bool IsControl() const { return true; }
    // Bounds without notification (for descendants with their own window).
    void UpdateBoundsRect(const TRect& R);
    // Shared parts of the mouse handlers.
    void DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift);
    void DoMouseUp(TWMMouse& Message, TMouseButton Button);

    // Message handlers (each defaults to the inherited behaviour, finally DefaultHandler).
    virtual void WMLButtonDown(TWMMouse& Message);
    virtual void WMRButtonDown(TWMMouse& Message);
    virtual void WMMButtonDown(TWMMouse& Message);
    virtual void WMLButtonDblClk(TWMMouse& Message);
    virtual void WMRButtonDblClk(TWMMouse& Message);
    virtual void WMMButtonDblClk(TWMMouse& Message);
    virtual void WMLButtonUp(TWMMouse& Message);
    virtual void WMRButtonUp(TWMMouse& Message);
    virtual void WMMButtonUp(TWMMouse& Message);
    virtual void WMMouseMove(TWMMouse& Message);
    virtual void WMMouseWheel(TWMMouseWheel& Message);
    virtual void WMCancelMode(TWMCancelMode& Message);
    virtual void WMWindowPosChanged(TWMWindowPosChanged& Message);
    virtual void CMVisibleChanged(TMessage& Message);
    virtual void CMEnabledChanged(TMessage& Message);
    virtual void CMFontChanged(TMessage& Message);
    virtual void CMColorChanged(TMessage& Message);
    virtual void CMParentFontChanged(TMessage& Message);
    virtual void CMParentColorChanged(TMessage& Message);
    virtual void CMParentShowHintChanged(TMessage& Message);
    virtual void CMHitTest(TCMHitTest& Message);
    virtual void CMMouseEnter(TMessage& Message);
    virtual void CMMouseLeave(TMessage& Message);
    virtual void CMHintShow(TCMHintShow& Message);
    virtual void CMMouseWheel(TCMMouseWheel& Message);
    virtual void CMCancelMode(TCMCancelMode& Message);
    virtual void CMTextChanged(TMessage& Message);
    virtual void WMContextMenu(TWMContextMenu& Message);
    virtual void DoContextPopup(TPoint MousePos, bool& Handled);

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    bool FParentFont = true;
    std::unique_ptr<TFont> FFont;
    AnsiString FText;
    TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState FControlState;
    TCursor FCursor = crDefault;
    AnsiString FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    int FWheelAccumulator = 0;
    TDragMode FDragMode = dmManual;
    TPopupMenu* FPopupMenu = nullptr;
    int FHelpContext = 0;
    std::unique_ptr<TSizeConstraints, rtl::TObjectDeleter> FConstraints;
    TCursor FDragCursor = crDrag;

private:
    void FontChanged(TObject* Sender);
    bool FUpdatingFont = false;
};

// ---------------------------------------------------------------------------------------------
// TWinControl

class TWinControl : public TControl {
    RTL_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* Owner);
    ~TWinControl() override;
    void BeforeDestruction() override;

    // Children (graphic and window controls), in z-order, the top-most last.
    int ControlCount() const noexcept { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const;
    bool ContainsControl(const TControl* Control) const;
    // The visible (and, unless AllowDisabled, enabled) child at a client point, top-most first.
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    // Sends Message to every child, stopping at the first that sets Result.
    void Broadcast(TMessage& Message);
    void NotifyControls(UINT Msg);

    // The window, created with the parents' on first use.
    HWND Handle();
    bool HandleAllocated() const noexcept { return FHandle != 0; }
    void HandleNeeded() { (void)Handle(); }
    // Destroys the window (and the children's); state stays in the control.
    void DestroyHandle();
    // Destroys the window now and makes it again when it is next needed, keeping the state.
    void RecreateWnd();
    HWND ParentWindow() const noexcept { return FParentWindow; }
    // A window parent for a control without a Parent (a drop-down hosted by a window).
    void SetParentWindow(HWND Value);
    const TCreateParams& WindowParams() const noexcept { return FParams; }
    uint32_t WindowStyle() const noexcept { return FParams.Style; }
    uint32_t WindowExStyle() const noexcept { return FParams.ExStyle; }

    // Focus and tab order.
    bool TabStop() const noexcept { return FTabStop; }
    void SetTabStop(bool Value);
    int TabOrder() const;
    void SetTabOrder(int Value);
    virtual bool CanFocus() const;
    virtual bool Focused() const;
    virtual void SetFocus();
    // The window controls in tab order, recursively.
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    void SelectFirst();

    // Window scroll bars (SB_HORZ, SB_VERT). A bar is shown while its range exceeds its page.
    // SB_CTL addresses the window itself when it is a scroll-bar control.
    int SetScrollInfo(int Bar, const TScrollInfo& Info, bool Redraw = true);
    // ESB_ flags: greyed arrows do not scroll; ESB_DISABLE_BOTH disables the whole bar.
    // SB_BOTH names both window bars.
    bool EnableScrollBar(int Bar, UINT Arrows);
    UINT ScrollBarArrowsDisabled(int Bar) const;
    bool GetScrollInfo(int Bar, TScrollInfo& Info) const;
    int SetScrollPos(int Bar, int Pos, bool Redraw = true);
    int GetScrollPos(int Bar) const;
    bool SetScrollRange(int Bar, int Min, int Max, bool Redraw = true);
    bool ShowScrollBar(int Bar, bool Show);
    bool ScrollBarVisible(int Bar) const;
    // Moves the client content and every child with it.
    void ScrollBy(int DeltaX, int DeltaY);
    // A press on a window scroll bar at a screen point: WM_VSCROLL/WM_HSCROLL with the part's code.
    // A press on the thumb takes the mouse: moves report SB_THUMBTRACK, the release
    // SB_THUMBPOSITION; Esc, WM_CANCELMODE or a lost capture put the thumb back where it was.
    void ScrollBarClick(int Bar, TPoint ScreenPos);
    // The bar whose thumb is being dragged (SB_HORZ, SB_VERT), or -1.
    int ThumbDragBar() const noexcept { return FThumbDrag.Bar; }
    // The window-system scroll: the content of Rect (or of the client area, which also moves the
    // child windows) moves by DX, DY within ClipRect; only the uncovered part is invalidated.
    void ScrollWindow(int DX, int DY, const TRect* Rect = nullptr, const TRect* ClipRect = nullptr);
    // The same with SW_ flags: SW_SCROLLCHILDREN moves the child windows in the area, SW_INVALIDATE
    // (SW_ERASE) invalidates the uncovered part, which UpdateRgn and UpdateRect receive when given.
    // NULLREGION, SIMPLEREGION or COMPLEXREGION; ERROR without a window.
    int ScrollWindowEx(int DX, int DY, const TRect* Rect, const TRect* ClipRect, TRegion* UpdateRgn, TRect* UpdateRect,
                       unsigned Flags);

    // Update region, client coordinates.
    void InvalidateRect(const TRect* R, bool Erase = true);
    void ValidateRect(const TRect* R);
    bool GetUpdateRect(TRect& R) const;
    const TRegion& UpdateRegion() const noexcept { return FUpdateRgn; }
    bool NeedsPaint() const noexcept { return !FUpdateRgn.IsEmpty() || FNCPaintPending; }
    // Paints the window (and its children) now when parts are invalid.
    void UpdateWindow();
    // Invalidate also repaints children (they share the parent's surface).
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    // Invalidates the non-client frame too (WM_NCPAINT at the next paint).
    void InvalidateFrame();

    // Window geometry as the window system sees it: the window rectangle in screen coordinates and
    // the client rectangle within the window.
    TRect WindowRectOnScreen() const;
    TRect ClientRectInWindow() const noexcept { return FClientInWindow; }
    TRect GetClientRect() const override;
    TPoint ClientOrigin() const override;
    bool Showing() const override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetClientSize(int W, int H) override;
    void SetParent(TWinControl* AParent) override;
    // SetWindowPos over our window record: moves, sizes, shows or hides.
    void SetWindowPos(int X, int Y, int CX, int CY, UINT Flags);
    void ShowWindow(int Cmd);
    bool IsWindowVisible() const noexcept { return FHandle != 0 && FWindowVisible; }
    // The window's shape (window coordinates): points outside it belong to what lies below.
    // Null restores the whole rectangle.
    void SetWindowRgn(const TRegion* Region);
    const TRegion* WindowRgn() const noexcept { return FWindowRgn.get(); }
    // Whether a screen point lies inside the window's rectangle and shape.
    bool WindowContainsPoint(TPoint ScreenPos) const;
    // Applies alignment of the children.
    void Realign();

    // A top-level window draws on a surface of its own, made when its window is (a recording
    // surface unless a factory is installed); its children draw on it too. Null for a child.
    TSurface* Surface() const noexcept { return FSurface.get(); }
    void SetSurface(std::unique_ptr<TSurface> Value);
    // The surface this window paints on and where its client area lies on it.
    TSurface* PaintSurface(TPoint& ClientOffset, TRegion& VisibleClip);
    // The outermost window of the parent chain (a form, a drop-down).
    TWinControl* TopLevelWindow() const;
    bool IsWindowEnabled() const noexcept { return FWindowEnabled; }
    void EnableWindow(bool Value);

    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    bool DoKeyDown(TWMKey& Message);
    bool DoKeyPress(TWMKey& Message);
    bool DoKeyUp(TWMKey& Message);

protected:
    friend class TCustomForm;
    friend class TControl;
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    virtual void CreateHandle();
    // After the window exists: children's windows are made.
    virtual void CreateChildHandles();
    virtual void KeyDown(uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void KeyUp(uint16_t& Key, TShiftState Shift);
    virtual void DoEnter();
    virtual void DoExit();
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    virtual void PaintWindow(HDC DC);
    // Paints the graphic children over the window.
    void PaintControls(HDC DC, TControl* First);
    void PaintHandler(TWMPaint& Message);
    // Routes a mouse message to the graphic child under the mouse (or holding the capture).
    bool IsControlMouseMsg(TWMMouse& Message);

public:
    void WndProc(TMessage& Message) override;

protected:
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    bool IsControl() const override { return false; }
    // The frame the default non-client handling reserves (border and client edge).
    int BorderWidthNC() const;
    void UpdateClientRect();
    // The form this window is on was shown or hidden: each window below hears it.
    virtual void UpdateShowing();

    // Window-system handlers.
    virtual void WMPaint(TWMPaint& Message);
    virtual void WMEraseBkgnd(TWMEraseBkgnd& Message);
    virtual void WMNCCalcSize(TWMNCCalcSize& Message);
    virtual void WMNCHitTest(TWMNCHitTest& Message);
    virtual void WMNCPaint(TMessage& Message);
    virtual void WMSetFocus(TWMSetFocus& Message);
    virtual void WMKillFocus(TWMKillFocus& Message);
    virtual void WMKeyDown(TWMKey& Message);
    virtual void WMSysKeyDown(TWMKey& Message);
    virtual void WMKeyUp(TWMKey& Message);
    virtual void WMSysKeyUp(TWMKey& Message);
    virtual void WMChar(TWMKey& Message);
    virtual void WMGetDlgCode(TWMGetDlgCode& Message);
    virtual void WMSize(TWMSize& Message);
    virtual void WMMove(TWMMove& Message);
    virtual void WMSetCursor(TWMSetCursor& Message);
    virtual void WMTimer(TWMTimer& Message);
    virtual void WMHScroll(TWMScroll& Message);
    virtual void WMVScroll(TWMScroll& Message);
    void WMContextMenu(TWMContextMenu& Message) override;
    virtual void WMWindowPosChanging(TWMWindowPosChanging& Message);
    virtual void CNKeyDown(TWMKey& Message);
    virtual void CNKeyUp(TWMKey& Message);
    virtual void CNChar(TWMKey& Message);
    virtual void CMEnter(TCMEnter& Message);
    virtual void CMExit(TCMExit& Message);
    virtual void CMDialogKey(TCMDialogKey& Message);
    virtual void CMDialogChar(TCMDialogKey& Message);
    virtual void CMChildKey(TCMChildKey& Message);
    virtual void CMWantSpecialKey(TCMWantSpecialKey& Message);
    virtual void CMFocusChanged(TCMFocusChanged& Message);
    virtual void CMRecreateWnd(TMessage& Message);
    virtual void CMShowingChanged(TMessage& Message);
    virtual void CMInvalidate(TMessage& Message);
    void CMVisibleChanged(TMessage& Message) override;
    void CMEnabledChanged(TMessage& Message) override;
    void CMFontChanged(TMessage& Message) override;
    void CMColorChanged(TMessage& Message) override;

    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    HWND FHandle = 0;
    HWND FParentWindow = 0;
    TCreateParams FParams;
    bool FTabStop = false;
    bool FShowing = false;
    bool FWindowVisible = false;
    bool FWindowEnabled = true;
    TRect FClientInWindow;
    TRegion FUpdateRgn;
    bool FEraseBackground = false;
    bool FNCPaintPending = false;
    bool FPainting = false;
    int FAlignLevel = 0;
    struct TBar {
        TScrollInfo Info;
        bool Visible = false;
        bool ForcedHidden = false;
        UINT Disabled = ESB_ENABLE_BOTH;
    };
    TBar FBars[2];
    struct TThumbDrag {
        int Bar = -1;
        int Grab = 0;      // the pointer's distance from the thumb's start
        int StartPos = 0;  // where a cancelled drag puts it back
    };
    TThumbDrag FThumbDrag;
    void ThumbDragTo(TPoint ScreenPos);
    void EndThumbDrag(bool Drop);
    friend bool detail::ThumbDragMessage(const TMsg& Msg);
    friend struct TWinControlWindowProc;
    std::unique_ptr<TSurface> FSurface;
    std::unique_ptr<TRegion> FWindowRgn;
};

// Makes the surface of a new top-level window (the display backend installs one); an empty
// factory restores the recording surface.
using TSurfaceFactory = std::function<std::unique_ptr<TSurface>(TWinControl* Window)>;
void SetSurfaceFactory(TSurfaceFactory Factory);

// The window-system scroll on a handle; false or ERROR for a handle that is no window.
bool ScrollWindow(HWND Wnd, int DX, int DY, const TRect* Rect, const TRect* ClipRect);
int ScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* Rect, const TRect* ClipRect, TRegion* UpdateRgn,
                   TRect* UpdateRect, unsigned Flags);

// ---------------------------------------------------------------------------------------------
// Device contexts outside a paint

// A canvas on a window's surface: the client area (GetDC) or the whole window with its frame
// (GetWindowDC), clipped to what can be seen of it. Null for a handle that is no window or a
// window whose top-level window has no surface yet. Each is freed by ReleaseDC (1; 0 for a DC this
// window did not give out).
HDC GetDC(HWND Wnd);
HDC GetWindowDC(HWND Wnd);
int ReleaseDC(HWND Wnd, HDC DC);

// Holds a device context of GetDC or GetWindowDC and releases it.
class TWindowDC {
public:
    explicit TWindowDC(HWND Wnd, bool WholeWindow = false)
        : FWnd(Wnd), FDC(WholeWindow ? GetWindowDC(Wnd) : GetDC(Wnd)) {}
    ~TWindowDC() {
        if (FDC) ReleaseDC(FWnd, FDC);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC DC() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }

private:
    HWND FWnd;
    HDC FDC;
};

// A control's canvas: inside a paint it draws on the paint's device; outside one, the first
// drawing call binds it to the control's area on its window's surface (a graphic control's on
// its parent's), until the message being handled ends (FreeDeviceContexts) or the control's
// window changes.
class TControlCanvas : public TCanvas {
    RTL_CLASS(TControlCanvas, TCanvas)
public:
    explicit TControlCanvas(TControl* Control) : FControl(Control) {}
    ~TControlCanvas() override;
    TControl* Control() const noexcept { return FControl; }
    // Unbinds a canvas bound outside a paint.
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* FControl;
    bool FBound = false;
};

// Unbinds every control canvas bound outside a paint (after each dispatched message).
void FreeDeviceContexts();

// ---------------------------------------------------------------------------------------------
// TCustomControl, TGraphicControl

// A window that paints itself with a canvas.
class TCustomControl : public TWinControl {
    RTL_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* Owner);
    ~TCustomControl() override;
    // Draws on the paint's device while a paint runs and on the window's surface outside one.
    TCanvas* Canvas() const noexcept { return FCanvas.get(); }
    TNotifyEvent OnPaint;

protected:
    virtual void Paint();
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// A control drawn on its parent's window.
class TGraphicControl : public TControl {
    RTL_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* Owner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const noexcept { return FCanvas.get(); }
    TNotifyEvent OnPaint;

protected:
    virtual void Paint();
    void PaintControl(HDC DC) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// ---------------------------------------------------------------------------------------------
// Window-system services

// The form (or frame-less top-level window) a control sits on; null when none.
TCustomForm* GetParentForm(const TControl* Control, bool TopForm = true);
TCustomForm* ValidParentForm(const TControl* Control);
// The control a window belongs to; FindVCLWindow: the control at a screen point.
TWinControl* FindControlOfWindow(HWND Wnd);
TControl* FindDragTarget(TPoint ScreenPos, bool AllowDisabled);
TWinControl* FindVCLWindow(TPoint ScreenPos);
HWND WindowFromPoint(TPoint ScreenPos);
HWND GetParent(HWND Wnd);

// Focus: WM_KILLFOCUS (naming the new window) goes to the old one, WM_SETFOCUS (naming the old)
// to the new one. Returns the window that had it.
HWND SetFocus(HWND Wnd);
HWND GetFocus();
// The top-level window that is active; activating sends WM_ACTIVATE to both windows.
HWND GetActiveWindow();
HWND SetActiveWindow(HWND Wnd);

// Mouse capture: all mouse input goes to the capturing window. A graphic control captures through
// its parent window and receives the messages itself.
HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
HWND GetCapture();
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);

// Keyboard state: negative when the key is down; bit 0 toggles with each press.
int16_t GetKeyState(int VirtKey);
int16_t GetAsyncKeyState(int VirtKey);
void SetKeyState(int VirtKey, bool Down);
void ResetKeyState();

// The cursor shape shown now and the cursor's screen position.
TCursor GetCursorShape();
void SetCursorShape(TCursor Cursor);
TPoint GetCursorPos();
void SetCursorPos(TPoint ScreenPos);
// The control under the mouse (the capturing one while the mouse is captured); hot elements.
TControl* GetMouseControl();

// Input, as the display backend (or a test) delivers it. Mouse input goes to the capturing window
// or the enabled window under the point; a second press of the same button within the
// double-click time and a 4x4 pixel box around the first becomes a double click for windows whose
// class takes them. Keys update the keyboard state and go to the focused window.
void MouseInput(UINT Msg, TPoint ScreenPos);
void MouseWheelInput(int Delta, TPoint ScreenPos);
void KeyInput(uint16_t Key, bool Down, bool Sys = false);
// Key down, its character (when it has one) and key up.
void KeyPressInput(uint16_t Key, char Char = 0);
void CharInput(char Char);
// Forgets the last click (tests that need independent clicks).
void ResetDoubleClick();
// The control being dragged, null when none; CancelDrag ends a drag without a drop.
TControl* DragControl();
void CancelDrag();

// The system caret: one for the program, owned by the window with the focus. It is made hidden;
// each HideCaret needs a ShowCaret. While shown it blinks on the framework's timer and is drawn
// (inverted) over the owner's painting; moving it shows it at once.
bool CreateCaret(HWND Wnd, int Width, int Height);
bool DestroyCaret();
bool ShowCaret(HWND Wnd);
bool HideCaret(HWND Wnd);
bool SetCaretPos(int X, int Y);
bool GetCaretPos(TPoint& Pos);
UINT GetCaretBlinkTime();
// The caret as the screen shows it now: its owner, its client rectangle, whether it is shown (made,
// not hidden) and whether the blink has it drawn at this moment.
struct TCaretState {
    HWND Owner = 0;
    TRect Rect;
    bool Shown = false;
    bool Drawn = false;
};
TCaretState CaretState();

}  // namespace ui

namespace ui::detail {
const std::vector<TWinControl*>& TopLevelWindows();
void BringTopLevelToFront(TWinControl* Window);
// A window with the focus is going: the focus is nobody's, without messages to the window.
void DropFocus(HWND Wnd);
// A window is destroyed or hidden: capture, mouse tracking and activation forget it.
void WindowGoing(HWND Wnd);
// Device contexts of a going window draw no more; control canvases bound outside a paint unbind.
void DeviceContextsGoing(HWND Wnd);
void SurfaceGoing(const TSurface* Surface);
// A control is destroyed: mouse tracking must not keep pointing at it.
void ControlGoing(TControl* Control);
// Mouse input while a drag lasts goes to the drag (true); false when there is none.
bool DragMouseInput(UINT Msg, TPoint ScreenPos);
// While a window scroll bar's thumb is dragged, the mouse and keys go to the drag (true).
bool ThumbDragMessage(const TMsg& Msg);
void DragControlGoing(TControl* Control);
void WindowHidden(HWND Wnd);
// Draws the caret over what its owner has just painted.
void PaintCaret(TWinControl* Window, TCanvas& DC);
// The active top-level window hides: the topmost other visible one becomes active.
void ActivateNext(TWinControl* Hidden);
}  // namespace ui::detail
