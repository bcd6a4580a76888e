// The window-system services the grid leans on: MulDiv, device contexts outside a paint, window
// scrolling that keeps pixels, capture held for a graphic child.
#include <climits>

#include "framework/ui/StdCtrls.h"
#include "tests/support/ui_fixture.h"

using namespace ui;
using namespace uitest;

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit) {
    struct Case {
        int A, B, C, Want;
    } cases[] = {
        {7, 1, 2, 4},
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {5, -1, 2, -3},
        {5, 1, -2, -3},
        {-5, 1, -2, 3},
        {4, 1, 3, 1},
        {5, 1, 3, 2},
        {-4, 1, 3, -1},
        {0, 9, 7, 0},
        {1, 1, 0, -1},
        {0, 0, 0, -1},
        {INT_MAX, 2, 2, INT_MAX},
        {INT_MAX, 2, 1, -1},
        {INT_MIN, 1, 1, -1},
        {-INT_MAX, 1, 1, -INT_MAX},
        {100000, 100000, 100000, 100000},
        {-11, 72, 96, -8},
        {8, 96, 72, 11},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Want) << c.A << " * " << c.B << " / " << c.C;
}

}  // namespace

namespace {

// Windows on memory rasters, so that what is drawn outside a paint can be read back.
class RasterWindowTest : public UiTest {
protected:
    void SetUp() override {
        SetSurfaceFactory([](TWinControl* W) { return std::make_unique<TMemorySurface>(W->Width(), W->Height()); });
        UiTest::SetUp();
    }
    void TearDown() override {
        UiTest::TearDown();
        SetSurfaceFactory(nullptr);
    }
    TMemorySurface& Raster() { return *static_cast<TMemorySurface*>(Form->Surface()); }
    std::vector<uint32_t> Pixels() {
        std::vector<uint32_t> out;
        for (int y = 0; y < Raster().Height(); ++y)
            out.insert(out.end(), Raster().ScanLine(y), Raster().ScanLine(y) + Raster().Width());
        return out;
    }
};

class TStripes : public TGraphicControl {
    RTL_CLASS(TStripes, TGraphicControl)
public:
    using TGraphicControl::TGraphicControl;
};

TEST_F(RasterWindowTest, XorLineOutsideAPaintIsUndrawnByDrawingItAgainAndStaysInTheControl) {
    auto* c = AddLog(Form, "C", 40, 30);
    c->SetBounds(40, 30, 100, 50);
    c->SetColor(clYellow);
    Form->Show();
    Pump();
    const std::vector<uint32_t> before = Pixels();
    const auto drawLine = [&] {
        TCanvas* cv = c->Canvas();
        cv->Pen()->SetMode(pmXor);
        cv->Pen()->SetColor(clWhite);
        cv->MoveTo(10, -20);
        cv->LineTo(10, 200);  // runs past the control at both ends
    };
    drawLine();
    ASSERT_NE(c->Canvas()->Surface(), nullptr);
    // Inside the control the yellow turns blue; above and below it nothing changed.
    EXPECT_EQ(Raster().GetPixel(50, 35), static_cast<TColor>(ColorToRGB(clBlue)));
    EXPECT_EQ(Raster().GetPixel(50, 79), static_cast<TColor>(ColorToRGB(clBlue)));
    EXPECT_EQ(Raster().GetPixel(50, 29), static_cast<TColor>(before[29 * Raster().Width() + 50]));
    EXPECT_EQ(Raster().GetPixel(50, 80), static_cast<TColor>(before[80 * Raster().Width() + 50]));
    EXPECT_NE(Pixels(), before);
    drawLine();
    EXPECT_EQ(Pixels(), before);
    // The binding ends with the message being handled.
    FreeDeviceContexts();
    EXPECT_EQ(c->Canvas()->Surface(), nullptr);
    // A paint gives the canvas the paint's device; after it, drawing outside binds again.
    c->Repaint();
    EXPECT_EQ(c->Canvas()->Surface(), nullptr);
    drawLine();
    EXPECT_NE(Pixels(), before);
    drawLine();
    EXPECT_EQ(Pixels(), before);
}

TEST_F(RasterWindowTest, GraphicControlCanvasDrawsAtItsPlaceOnTheParent) {
    auto* g = rtl::Create<TStripes>(Form);
    g->SetBounds(20, 10, 30, 15);
    g->SetParent(Form);
    Form->Show();
    Pump();
    g->Canvas()->Brush()->SetColor(clRed);
    g->Canvas()->FillRect(Rect(-5, -5, 100, 100));
    const TColor red = static_cast<TColor>(ColorToRGB(clRed));
    EXPECT_EQ(Raster().GetPixel(20, 10), red);
    EXPECT_EQ(Raster().GetPixel(49, 24), red);
    EXPECT_NE(Raster().GetPixel(50, 24), red);
    EXPECT_NE(Raster().GetPixel(19, 10), red);
}

TEST_F(RasterWindowTest, WindowDCReachesTheFrameAndIsReleasedOnce) {
    auto* c = AddLog(Form, "C", 40, 30);
    c->SetBounds(40, 30, 100, 50);
    c->Show();
    Form->Show();
    Pump();
    const HWND h = c->Handle();
    HDC window = GetWindowDC(h);
    HDC client = GetDC(h);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(client, nullptr);
    const TRect inWindow = c->ClientRectInWindow();
    EXPECT_EQ(window->ViewportOrg(), Point(40, 30));
    EXPECT_EQ(client->ViewportOrg(), Point(40 + inWindow.Left, 30 + inWindow.Top));
    // The whole window can be drawn on, nothing beyond it.
    window->Brush()->SetColor(clGreen);
    window->FillRect(Rect(-10, -10, 500, 500));
    const TColor green = static_cast<TColor>(ColorToRGB(clGreen));
    EXPECT_EQ(Raster().GetPixel(40, 30), green);
    EXPECT_EQ(Raster().GetPixel(139, 79), green);
    EXPECT_NE(Raster().GetPixel(140, 79), green);
    EXPECT_EQ(ReleaseDC(h, window), 1);
    EXPECT_EQ(ReleaseDC(h, window), 0);
    EXPECT_EQ(GetDC(0), nullptr);
    // A DC of a window that goes draws no more.
    c->Free();
    EXPECT_THROW(client->FillRect(Rect(0, 0, 5, 5)), rtl::EInvalidOperation);
    EXPECT_EQ(ReleaseDC(h, client), 1);
}

}  // namespace

namespace {

// Lines of text, each line's colour from its number, scrolled by a line at a time.
class TLines : public TCustomControl {
    RTL_CLASS(TLines, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    static constexpr int LineHeight = 10;
    int TopLine = 0;
    std::vector<TRect> Painted;  // update rectangles of each paint

    static TColor LineColor(int Line) { return static_cast<TColor>(RGB(uint8_t(Line * 7), uint8_t(255 - Line), 90)); }
    void ScrollLines(int Count) {
        TopLine += Count;
        ScrollWindow(0, -Count * LineHeight);
    }

protected:
    void Paint() override {
        Painted.push_back(Canvas()->ClipRect());
        for (int y = 0; y < ClientHeight(); y += LineHeight)
            Canvas()->FillSolid(Rect(0, y, ClientWidth(), y + LineHeight), LineColor(TopLine + y / LineHeight));
    }
};

TEST_F(RasterWindowTest, OneLineScrollMovesThePixelsAndPaintsOneLine) {
    auto* lines = rtl::Create<TLines>(Form);
    lines->SetBounds(0, 0, 200, 100);
    lines->SetParent(Form);
    Form->Show();
    Pump();
    lines->Painted.clear();

    lines->ScrollLines(1);
    ASSERT_TRUE(lines->NeedsPaint());
    EXPECT_TRUE(lines->UpdateRegion().Equals(TRegion(Rect(0, 90, 200, 100))));
    Pump();
    ASSERT_EQ(lines->Painted.size(), 1u);
    EXPECT_EQ(lines->Painted[0], Rect(0, 90, 200, 100));
    for (int line = 0; line < 10; ++line)
        EXPECT_EQ(Raster().GetPixel(100, line * 10 + 5), static_cast<TColor>(TLines::LineColor(line + 1))) << line;

    // Backwards: the first line is uncovered; a part already waiting to paint travels along.
    lines->Painted.clear();
    const TRect pending = Rect(0, 40, 20, 50);
    lines->InvalidateRect(&pending);
    lines->ScrollLines(-1);
    EXPECT_TRUE(lines->UpdateRegion().Equals([] {
        TRegion r(Rect(0, 0, 200, 10));
        r.Union(Rect(0, 50, 20, 60));
        return r;
    }()));
    Pump();
    for (int line = 0; line < 10; ++line)
        EXPECT_EQ(Raster().GetPixel(100, line * 10 + 5), static_cast<TColor>(TLines::LineColor(line))) << line;
}

TEST_F(RasterWindowTest, ScrollWindowExReportsTheUncoveredPartAndKeepsOutsideTheClip) {
    auto* lines = rtl::Create<TLines>(Form);
    lines->SetBounds(0, 0, 200, 100);
    lines->SetParent(Form);
    Form->Show();
    Pump();
    const TRect area = Rect(0, 20, 200, 100), clip = Rect(0, 20, 100, 100);
    TRegion update;
    TRect updateRect;
    // Without SW_INVALIDATE nothing is invalidated; the caller is told what to paint.
    EXPECT_EQ(ScrollWindowEx(lines->Handle(), 0, -10, &area, &clip, &update, &updateRect, 0), SIMPLEREGION);
    EXPECT_TRUE(update.Equals(TRegion(Rect(0, 90, 100, 100))));
    EXPECT_EQ(updateRect, Rect(0, 90, 100, 100));
    EXPECT_FALSE(lines->NeedsPaint());
    // Left of the clip the lines moved up; right of it and above the area they stayed.
    EXPECT_EQ(Raster().GetPixel(50, 25), static_cast<TColor>(TLines::LineColor(3)));
    EXPECT_EQ(Raster().GetPixel(150, 25), static_cast<TColor>(TLines::LineColor(2)));
    EXPECT_EQ(Raster().GetPixel(50, 15), static_cast<TColor>(TLines::LineColor(1)));
    // A diagonal scroll uncovers an L-shaped part.
    EXPECT_EQ(ScrollWindowEx(lines->Handle(), 5, 5, nullptr, nullptr, &update, nullptr, SW_INVALIDATE), COMPLEXREGION);
    TRegion l(Rect(0, 0, 200, 5));
    l.Union(Rect(0, 0, 5, 100));
    EXPECT_TRUE(update.Equals(l));
    EXPECT_TRUE(lines->UpdateRegion().Equals(l));
    EXPECT_EQ(ScrollWindowEx(0, 0, 1, nullptr, nullptr, nullptr, nullptr, 0), ERROR);
}

}  // namespace

namespace {

using CaptureTest = UiTest;

TEST_F(CaptureTest, TheWindowHoldingTheCaptureForAGraphicChildKeepsItForTheChild) {
    auto* g = rtl::Create<TStripes>(Form);
    g->SetName("G");
    g->SetBounds(10, 10, 30, 30);
    g->SetParent(Form);
    auto* w = AddLog(Form, "W", 100, 100);
    Form->Show();
    const HWND form = Form->Handle();
    struct Step {
        std::function<void()> Do;
        HWND Capture;
        TControl* Control;
    } steps[] = {
        {[&] { SetCaptureControl(g); }, form, g},
        {[&] { SetCapture(form); }, form, g},  // the form asks again: the child keeps it
        {[&] { SetCapture(w->Handle()); }, w->Handle(), w},
        {[&] { SetCapture(form); }, form, Form},
        {[&] { SetCaptureControl(g); }, form, g},
        {[&] { g->SetMouseCapture(false); }, 0, nullptr},
        {[&] { SetCaptureControl(w); }, w->Handle(), w},
        {[&] { ReleaseCapture(); }, 0, nullptr},
    };
    int i = 0;
    for (const Step& s : steps) {
        s.Do();
        EXPECT_EQ(GetCapture(), s.Capture) << "step " << i;
        EXPECT_EQ(GetCaptureControl(), s.Control) << "step " << i;
        ++i;
    }
}

}  // namespace

namespace {

using DisabledScrollBarTest = UiTest;

TEST_F(DisabledScrollBarTest, GreyedArrowsDoNotScroll) {
    auto* c = AddLog(Form, "C", 10, 10);
    c->SetBounds(10, 10, 100, 100);
    Form->Show();
    c->HandleNeeded();
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 99;
    si.nPage = 10;
    c->SetScrollInfo(SB_VERT, si);
    ASSERT_TRUE(c->ScrollBarVisible(SB_VERT));
    std::vector<int> codes;
    c->WindowProc = [&, c](TMessage& M) {
        if (M.Msg == WM_VSCROLL && int(M.WParam & 0xFFFF) != SB_ENDSCROLL) codes.push_back(int(M.WParam & 0xFFFF));
        c->WndProc(M);
    };
    const TRect w = c->WindowRectOnScreen();
    const TRect in = c->ClientRectInWindow();
    const TPoint up = Point(w.Left + in.Right + 5, w.Top + in.Top + 5);
    const TPoint down = Point(w.Left + in.Right + 5, w.Top + in.Bottom - 5);
    EXPECT_TRUE(c->EnableScrollBar(SB_VERT, ESB_DISABLE_LTUP));
    c->ScrollBarClick(SB_VERT, up);
    c->ScrollBarClick(SB_VERT, down);
    EXPECT_EQ(codes, (std::vector<int>{SB_LINEDOWN}));
    EXPECT_TRUE(c->EnableScrollBar(SB_BOTH, ESB_DISABLE_BOTH));
    EXPECT_EQ(c->ScrollBarArrowsDisabled(SB_HORZ), ESB_DISABLE_BOTH);
    c->ScrollBarClick(SB_VERT, down);
    EXPECT_EQ(codes.size(), 1u);
    c->WindowProc = nullptr;
    EXPECT_FALSE(c->EnableScrollBar(SB_BOTH, ESB_DISABLE_BOTH)) << "nothing changed";
}

TEST_F(DisabledScrollBarTest, AScrollBarControlAnswersScrollInfoAsSbCtl) {
    auto* bar = rtl::Create<TScrollBar>(Form);
    bar->SetParent(Form);
    Form->Show();
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 50;
    si.nPage = 5;
    si.nPos = 20;
    EXPECT_EQ(bar->SetScrollInfo(SB_CTL, si), 20);
    EXPECT_EQ(bar->Max(), 50);
    EXPECT_EQ(bar->PageSize(), 5);
    EXPECT_EQ(bar->Position(), 20);
    TScrollInfo back;
    back.fMask = SIF_ALL;
    ASSERT_TRUE(bar->GetScrollInfo(SB_CTL, back));
    EXPECT_EQ(back.nMax, 50);
    EXPECT_EQ(back.nPage, 5u);
    EXPECT_EQ(back.nPos, 20);
    // Greyed arrows of the control: a press on them does nothing.
    bar->EnableScrollBar(SB_CTL, ESB_DISABLE_BOTH);
    EXPECT_EQ(bar->ScrollBarArrowsDisabled(SB_CTL), ESB_DISABLE_BOTH);
    bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(2, 2));
    EXPECT_EQ(bar->Position(), 20);
    bar->EnableScrollBar(SB_CTL, ESB_ENABLE_BOTH);
    bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(2, 2));
    EXPECT_EQ(bar->Position(), 19);
}

TEST(DeviceCaps, AnswerTheScreenAndTheSurface) {
    TRecordingSurface s(640, 480);
    TCanvas c(&s);
    EXPECT_EQ(GetDeviceCaps(&c, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(&c, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(&c, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(&c, HORZRES), 640);
    EXPECT_EQ(GetDeviceCaps(&c, 12345), 0);
}

TEST(CursorResources, CarryTheirBitmapAndHotSpot) {
    RegisterCursorResource(
        HInstance, "TESTCUR", [](TBitmap& B) { B.SetSize(16, 16); }, Point(3, 4));
    TBitmap b;
    TPoint hot;
    ASSERT_TRUE(LoadCursorResource(&b, hot, HInstance, "testcur"));
    EXPECT_EQ(b.Width(), 16);
    EXPECT_EQ(hot, Point(3, 4));
    EXPECT_FALSE(LoadCursorResource(&b, hot, HInstance, "NOSUCH"));
    RegisterCursorResource(HInstance, "TESTCUR", nullptr, {});
    EXPECT_FALSE(LoadCursorResource(&b, hot, HInstance, "TESTCUR"));
}

}  // namespace

namespace {

using ConstraintsTest = UiTest;

TEST_F(ConstraintsTest, SizesStayWithinTheLimitsAndNewLimitsApplyAtOnce) {
    auto* c = AddLog(Form, "C", 0, 0);
    auto* g = rtl::Create<TStripes>(Form);
    g->SetParent(Form);
    Form->Show();
    for (TControl* control : std::vector<TControl*>{c, g, Form}) {
        control->SetBounds(10, 10, 100, 100);
        control->Constraints()->SetMinWidth(50);
        control->Constraints()->SetMaxHeight(80);
        EXPECT_EQ(control->Height(), 80) << control->ClassName();
        control->SetBounds(10, 10, 20, 200);
        EXPECT_EQ(control->BoundsRect(), Bounds(10, 10, 50, 80)) << control->ClassName();
        control->Constraints()->SetMaxWidth(30);  // below the minimum: raised to it
        EXPECT_EQ(control->Constraints()->MaxWidth(), 50);
        control->Constraints()->SetMaxHeight(0);
        control->SetBounds(10, 10, 500, 500);
        EXPECT_EQ(control->BoundsRect(), Bounds(10, 10, 50, 500)) << control->ClassName();
    }
}

}  // namespace
