#include "tests/support/ui_fixture.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

using MouseTest = UiTest;

struct TMouseLog {
    std::vector<std::string> Events;
    void Attach(TControl* C) {
        C->OnMouseDown = [this, C](TObject*, TMouseButton B, TShiftState S, int X, int Y) {
            Events.push_back(C->Name() + ":down" + std::to_string(static_cast<int>(B)) +
                             (S.Contains(ssDouble) ? "d" : "") + "@" + std::to_string(X) + "," + std::to_string(Y));
        };
        C->OnMouseUp = [this, C](TObject*, TMouseButton B, TShiftState, int X, int Y) {
            Events.push_back(C->Name() + ":up" + std::to_string(static_cast<int>(B)) + "@" + std::to_string(X) + "," +
                             std::to_string(Y));
        };
        C->OnClick = [this, C](TObject*) { Events.push_back(C->Name() + ":click"); };
        C->OnDblClick = [this, C](TObject*) { Events.push_back(C->Name() + ":dblclick"); };
    }
};

TEST_F(MouseTest, APressCapturesTheMouseUntilTheReleaseEvenOutsideTheControl) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* b = AddLog(Form, "B", 100, 10);
    Form->Show();
    TMouseLog log;
    log.Attach(a);
    log.Attach(b);
    MouseInput(WM_LBUTTONDOWN, At(a, 5, 5));
    Pump();
    EXPECT_EQ(GetCapture(), a->Handle());
    EXPECT_TRUE(a->MouseCapture());
    MouseInput(WM_MOUSEMOVE, At(b, 5, 5));
    MouseInput(WM_LBUTTONUP, At(b, 5, 5));
    Pump();
    EXPECT_EQ(GetCapture(), HWND{0});
    // The release outside the control reaches it (in its coordinates) but is no click.
    EXPECT_EQ(log.Events, (std::vector<std::string>{"A:down0@5,5", "A:up0@95,5"}));
    log.Events.clear();
    MouseInput(WM_LBUTTONDOWN, At(b, 1, 1));
    MouseInput(WM_LBUTTONUP, At(b, 2, 2));
    Pump();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"B:down0@1,1", "B:click", "B:up0@2,2"}));
}

TEST_F(MouseTest, APressTellsTheActiveControlToCancelItsModeNamingTheSender) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* b = AddLog(Form, "B", 100, 10);
    Form->Show();
    ASSERT_TRUE(a->Focused());
    Log.clear();
    MouseInput(WM_LBUTTONDOWN, At(b, 5, 5));
    MouseInput(WM_LBUTTONUP, At(b, 5, 5));
    Pump();
    EXPECT_EQ(Log, (std::vector<std::string>{"A:cmcancel:B"}));
    // Cancel mode of the window system takes the capture away.
    MouseInput(WM_LBUTTONDOWN, At(b, 5, 5));
    Pump();
    ASSERT_EQ(GetCapture(), b->Handle());
    SendMessage(b->Handle(), WM_CANCELMODE);
    EXPECT_EQ(GetCapture(), HWND{0});
}

TEST_F(MouseTest, DoubleClicksNeedTheSameButtonWithinTheTimeAndTheBox) {
    struct TCase {
        const char* Name;
        uint32_t Delay;
        int DX, DY;
        UINT Second;
        bool Double;
    };
    const TCase cases[] = {
        {"quick and still", 100, 0, 0, WM_LBUTTONDOWN, true},  {"at the time limit", 500, 0, 0, WM_LBUTTONDOWN, true},
        {"too slow", 501, 0, 0, WM_LBUTTONDOWN, false},        {"inside the box", 100, 2, -2, WM_LBUTTONDOWN, true},
        {"outside the box", 100, 3, 0, WM_LBUTTONDOWN, false}, {"other button", 100, 0, 0, WM_RBUTTONDOWN, false},
    };
    auto* a = AddLog(Form, "A", 10, 10);
    Form->Show();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetDoubleClick();
        ClearMessageQueue();
        const UINT up = c.Second == WM_LBUTTONDOWN ? WM_LBUTTONUP : WM_RBUTTONUP;
        MouseInput(WM_LBUTTONDOWN, At(a, 10, 10));
        MouseInput(WM_LBUTTONUP, At(a, 10, 10));
        Clock.Advance(c.Delay);
        MouseInput(c.Second, At(a, 10 + c.DX, 10 + c.DY));
        MouseInput(up, At(a, 10 + c.DX, 10 + c.DY));
        std::vector<UINT> msgs;
        TMsg m;
        while (PeekMessage(m, a->Handle(), WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) msgs.push_back(m.message);
        ASSERT_EQ(msgs.size(), 4u);
        const UINT expected = c.Double ? c.Second + (WM_LBUTTONDBLCLK - WM_LBUTTONDOWN) : c.Second;
        EXPECT_EQ(msgs[2], expected);
    }
    // A third press right after a double click starts a new pair.
    ResetDoubleClick();
    ClearMessageQueue();
    for (int i = 0; i < 3; ++i) MouseInput(WM_LBUTTONDOWN, At(a, 1, 1)), MouseInput(WM_LBUTTONUP, At(a, 1, 1));
    std::vector<UINT> downs;
    TMsg m;
    while (PeekMessage(m, a->Handle(), WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE))
        if (m.message != WM_LBUTTONUP) downs.push_back(m.message);
    EXPECT_EQ(downs, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(MouseTest, WindowsWithoutDoubleClicksGetTwoPresses) {
    auto* a = AddLog(Form, "A", 10, 10);
    a->SetControlStyle(a->ControlStyle() - TControlStyle{csDoubleClicks});
    a->RecreateWnd();
    Form->Show();
    TMouseLog log;
    log.Attach(a);
    MouseInput(WM_LBUTTONDOWN, At(a, 1, 1));
    MouseInput(WM_LBUTTONUP, At(a, 1, 1));
    MouseInput(WM_LBUTTONDOWN, At(a, 1, 1));
    MouseInput(WM_LBUTTONUP, At(a, 1, 1));
    Pump();
    EXPECT_EQ(log.Events,
              (std::vector<std::string>{"A:down0@1,1", "A:click", "A:up0@1,1", "A:down0@1,1", "A:click", "A:up0@1,1"}));
}

TEST_F(MouseTest, AFreedControlUnderTheMouseIsForgotten) {
    auto* g = rtl::Create<TGraphicControl>(Form);
    g->SetBounds(50, 60, 30, 30);
    g->SetParent(Form);
    Form->Show();
    MouseInput(WM_MOUSEMOVE, At(Form, 55, 65));
    Pump();
    ASSERT_EQ(GetMouseControl(), g);
    g->Free();
    EXPECT_EQ(GetMouseControl(), nullptr);
    // Moving on and destroying the form both consult the control last under the mouse.
    MouseInput(WM_MOUSEMOVE, At(Form, 5, 5));
    Pump();
    EXPECT_EQ(GetMouseControl(), Form);
    Form->Free();
    Form = nullptr;
    EXPECT_EQ(GetMouseControl(), nullptr);
}

TEST_F(MouseTest, GraphicControlsGetTheMouseThroughTheirParentAndDoubleClickAsControlsDo) {
    auto* g = rtl::Create<TGraphicControl>(Form);
    g->SetName("G");
    g->SetBounds(50, 60, 30, 30);
    g->SetParent(Form);
    Form->Show();
    TMouseLog log;
    log.Attach(g);
    log.Attach(Form);
    MouseInput(WM_LBUTTONDOWN, At(Form, 55, 65));
    MouseInput(WM_LBUTTONUP, At(Form, 55, 65));
    Clock.Advance(50);
    MouseInput(WM_LBUTTONDOWN, At(Form, 56, 66));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    Pump();
    EXPECT_EQ(GetCaptureControl(), g);
    EXPECT_EQ(GetCapture(), Form->Handle());
    MouseInput(WM_LBUTTONUP, At(Form, 200, 200));
    MouseInput(WM_LBUTTONDOWN, At(Form, 5, 5));
    Pump();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"G:down0@5,5", "G:click", "G:up0@5,5", "G:dblclick", "G:down0d@6,6",
                                                    "G:up0@150,140", "Form:down0@5,5"}));
}

TEST_F(MouseTest, TheWheelGoesToTheFocusedControlAndBubblesUpWhenUnhandled) {
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A");
    Form->Show();
    ASSERT_TRUE(a->Focused());
    std::vector<std::string> seen;
    bool aHandles = false;
    a->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& Handled) {
        seen.push_back("a:down");
        Handled = aHandles;
    };
    panel->OnMouseWheel = [&](TObject*, TShiftState, int Delta, TPoint P, bool& Handled) {
        seen.push_back("panel:" + std::to_string(Delta) + "@" + std::to_string(P.X));
        Handled = true;
    };
    MouseWheelInput(-WHEEL_DELTA, Point(700, 10));
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"a:down", "panel:-120@700"}));
    seen.clear();
    aHandles = true;
    MouseWheelInput(-WHEEL_DELTA, Point(700, 10));
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"a:down"}));
}

TEST_F(MouseTest, DisabledWindowsAndWindowsUnderAModalFormGetNoMouse) {
    auto* a = AddLog(Form, "A", 10, 10);
    Form->Show();
    TMouseLog log;
    log.Attach(a);
    log.Attach(Form);
    a->SetEnabled(false);
    MouseInput(WM_LBUTTONDOWN, At(a, 5, 5));
    MouseInput(WM_LBUTTONUP, At(a, 5, 5));
    Pump();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"Form:down0@15,15", "Form:click", "Form:up0@15,15"}));
    log.Events.clear();
    Form->EnableWindow(false);
    MouseInput(WM_LBUTTONDOWN, At(Form, 5, 5));
    Pump();
    EXPECT_TRUE(log.Events.empty());
    Form->EnableWindow(true);
}

TEST_F(MouseTest, CursorFollowsTheScreenCursorTheControlAndTheGraphicChild) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* g = rtl::Create<TGraphicControl>(Form);
    g->SetBounds(200, 10, 20, 20);
    g->SetParent(Form);
    Form->Show();
    a->SetCursor(crIBeam);
    g->SetCursor(crHandPoint);
    MouseInput(WM_MOUSEMOVE, At(a, 1, 1));
    EXPECT_EQ(GetCursorShape(), crIBeam);
    MouseInput(WM_MOUSEMOVE, At(Form, 205, 15));
    EXPECT_EQ(GetCursorShape(), crHandPoint);
    MouseInput(WM_MOUSEMOVE, At(Form, 300, 200));
    EXPECT_EQ(GetCursorShape(), crArrow);
    Screen()->SetCursor(crHourGlass);
    MouseInput(WM_MOUSEMOVE, At(a, 1, 1));
    EXPECT_EQ(GetCursorShape(), crHourGlass);
    Screen()->SetCursor(crDefault);
}

TEST_F(MouseTest, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* b = AddLog(Form, "B", 100, 10);
    Form->Show();
    std::vector<std::string> seen;
    for (TControl* c : {static_cast<TControl*>(a), static_cast<TControl*>(b)}) {
        c->OnMouseEnter = [&seen, c](TObject*) { seen.push_back(c->Name() + ":enter"); };
        c->OnMouseLeave = [&seen, c](TObject*) { seen.push_back(c->Name() + ":leave"); };
    }
    MouseInput(WM_MOUSEMOVE, At(a, 1, 1));
    MouseInput(WM_MOUSEMOVE, At(a, 2, 1));
    MouseInput(WM_MOUSEMOVE, At(b, 1, 1));
    MouseInput(WM_MOUSEMOVE, At(Form, 300, 200));
    EXPECT_EQ(seen, (std::vector<std::string>{"A:enter", "A:leave", "B:enter", "B:leave"}));
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

// A drop-down: a top-level popup window that opens under an editor and never takes the focus.
class TDropDown : public TCustomControl {
    RTL_CLASS(TDropDown, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> Clicks;

protected:
    void CreateParams(TCreateParams& P) override {
        TCustomControl::CreateParams(P);
        P.Style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
        P.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    }
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_MOUSEACTIVATE) {
            M.Result = MA_NOACTIVATE;
            return;
        }
        TCustomControl::Dispatch(M);
    }
    void MouseDown(TMouseButton, TShiftState, int X, int Y) override {
        Clicks.push_back(std::to_string(X) + "," + std::to_string(Y));
    }
};

using DropDownTest = UiTest;

TEST_F(DropDownTest, APopupShownWithoutActivationTakesClicksWhileTheEditorKeepsTheFocus) {
    auto* edit = AddLog(Form, "Edit", 10, 10);
    Form->Show();
    ASSERT_TRUE(edit->Focused());
    auto* drop = rtl::Create<TDropDown>(Form);
    drop->SetParentWindow(Form->Handle());
    const TPoint under = edit->ClientToScreen(Point(0, edit->Height()));
    drop->SetBounds(under.X, under.Y, 120, 80);
    drop->HandleNeeded();
    drop->ShowWindow(SW_SHOWNA);
    EXPECT_TRUE(drop->IsWindowVisible());
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    Log.clear();
    MouseInput(WM_LBUTTONDOWN, Point(under.X + 5, under.Y + 6));
    MouseInput(WM_LBUTTONUP, Point(under.X + 5, under.Y + 6));
    Pump();
    EXPECT_EQ(drop->Clicks, (std::vector<std::string>{"4,5"})) << "client coordinates inside the border";
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    EXPECT_TRUE(std::find(Log.begin(), Log.end(), "Edit:cmcancel:-") == Log.end());
    // It paints on a surface of its own.
    ASSERT_NE(drop->Surface(), nullptr);
    EXPECT_NE(drop->Surface(), Form->Surface());
    drop->ShowWindow(SW_HIDE);
    EXPECT_TRUE(edit->Focused());
}

TEST_F(DropDownTest, ClicksOnAWindowScrollBarArriveAsScrollCodes) {
    struct TScrolled : TCustomControl {
        using TCustomControl::TCustomControl;
        std::vector<int> Codes;
        void WMVScroll(TWMScroll& M) override { Codes.push_back(M.ScrollCode); }
    };
    auto* c = rtl::Create<TScrolled>(Form);
    c->SetBounds(10, 10, 100, 117);
    c->SetParent(Form);
    Form->Show();
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 0;
    c->SetScrollInfo(SB_VERT, si);
    const TRect w = c->WindowRectOnScreen();
    const int x = w.Right - 5;
    for (int y : {w.Top + 3, w.Bottom - 3, w.Top + 90, w.Top + 20}) {
        MouseInput(WM_LBUTTONDOWN, Point(x, y));
        MouseInput(WM_LBUTTONUP, Point(x, y));
        Clock.Advance(1000);
    }
    Pump();
    EXPECT_EQ(c->Codes, (std::vector<int>{SB_LINEUP, SB_ENDSCROLL, SB_LINEDOWN, SB_ENDSCROLL, SB_PAGEDOWN, SB_ENDSCROLL,
                                          SB_THUMBPOSITION, SB_ENDSCROLL}));
}

// Dragging the thumb of a list box's own bar: moves scroll as they go, the release keeps the place
// and Esc, WM_CANCELMODE or a lost capture put the list back.
TEST_F(DropDownTest, TheThumbOfAWindowScrollBarFollowsTheMouseUntilReleasedOrCancelled) {
    enum class TEnd { Release, Escape, CancelMode, CaptureTaken };
    for (const TEnd end : {TEnd::Release, TEnd::Escape, TEnd::CancelMode, TEnd::CaptureTaken}) {
        SCOPED_TRACE(static_cast<int>(end));
        auto* list = rtl::Create<TListBox>(Form);
        list->SetBounds(10, 10, 120, 150);
        list->SetParent(Form);
        auto* other = AddLog(Form, "Other", 200, 10);
        for (int i = 0; i < 100; ++i) list->Items()->Add("Line " + std::to_string(i));
        Form->Show();
        std::vector<int> codes;
        list->WindowProc = [&](TMessage& M) {
            if (M.Msg == WM_VSCROLL) codes.push_back(M.WParamLo);
            list->WndProc(M);
        };
        const TRect w = list->WindowRectOnScreen();
        const TPoint onThumb = Point(w.Right - 6, w.Top + 17 + 5);
        ASSERT_EQ(SendMessage(list->Handle(), WM_NCHITTEST, 0, PointToLParam(onThumb.X, onThumb.Y)), HTVSCROLL);
        MouseInput(WM_LBUTTONDOWN, onThumb);
        MouseInput(WM_MOUSEMOVE, Point(onThumb.X, onThumb.Y + 20));
        MouseInput(WM_MOUSEMOVE, Point(onThumb.X + 40, onThumb.Y + 40));
        Pump();
        EXPECT_EQ(GetCapture(), list->Handle());
        EXPECT_EQ(list->ThumbDragBar(), SB_VERT);
        const int dragged = list->TopIndex();
        EXPECT_GT(dragged, 10) << "the list follows the thumb, also beside the bar";
        TScrollInfo si;
        si.fMask = SIF_TRACKPOS;
        list->GetScrollInfo(SB_VERT, si);
        EXPECT_EQ(si.nTrackPos, dragged);
        EXPECT_EQ(codes, (std::vector<int>{SB_THUMBTRACK, SB_THUMBTRACK}));
        codes.clear();
        switch (end) {
            case TEnd::Release: MouseInput(WM_LBUTTONUP, Point(onThumb.X, onThumb.Y + 40)); break;
            case TEnd::Escape: KeyInput(VK_ESCAPE, true); break;
            case TEnd::CancelMode: SendMessage(list->Handle(), WM_CANCELMODE); break;
            case TEnd::CaptureTaken: SetCapture(other->Handle()); break;
        }
        Pump();
        EXPECT_EQ(list->ThumbDragBar(), -1);
        EXPECT_EQ(list->TopIndex(), end == TEnd::Release ? dragged : 0);
        EXPECT_EQ(list->GetScrollPos(SB_VERT), list->TopIndex());
        EXPECT_EQ(codes, (std::vector<int>{SB_THUMBPOSITION, SB_ENDSCROLL}));
        // What comes after the drag reaches the windows again.
        KeyInput(VK_ESCAPE, false);
        MouseInput(WM_LBUTTONUP, onThumb);
        Pump();
        ReleaseCapture();
        codes.clear();
        MouseInput(WM_LBUTTONDOWN, Point(onThumb.X, w.Bottom - 3));
        MouseInput(WM_LBUTTONUP, Point(onThumb.X, w.Bottom - 3));
        Pump();
        EXPECT_EQ(codes, (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL}));
        list->WindowProc = nullptr;
        list->Free();
        other->Free();
        Form->Hide();
        Clock.Advance(1000);
    }
}

}  // namespace
}  // namespace uitest
