// Face painters and their cache, sizes, lines, gradients, drop-down placement and click discarding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/editors/TarnelVCL.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Themes.h"

namespace {

using namespace ui;
using namespace editors;

// Every test starts with an empty face cache, themes on and the cache in use.
class DrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        FlushButtonBitmapCache();
        ThemeServices().SetThemesEnabled(true);
        UseButtonBitmapCache = true;
    }
    void TearDown() override {
        FlushButtonBitmapCache();
        ThemeServices().SetThemesEnabled(true);
        UseButtonBitmapCache = true;
    }
};

struct TRaster {
    TBitmap Bmp;
    TRaster(int W, int H, TColor Fill = clWhite) {
        Bmp.SetSize(W, H);
        Bmp.Canvas()->FillSolid(TRect{0, 0, W, H}, Fill);
    }
    HDC DC() { return Bmp.Canvas(); }
    TColor At(int X, int Y) { return Bmp.Canvas()->Pixel(X, Y); }
    bool SameAs(TRaster& Other) {
        for (int y = 0; y < Bmp.Height(); ++y)
            for (int x = 0; x < Bmp.Width(); ++x)
                if (At(x, y) != Other.At(x, y)) return false;
        return true;
    }
};

constexpr TColor Back = TColor(0x00123456);

// The cache must hand out exactly what a direct draw paints, for every style and state.
TEST_F(DrawTest, CachedFacesMatchDirectDrawing) {
    struct TCase {
        int Style;
        int DownPart;
        bool Flat, Active, Enabled, Themes;
        int W, H;
    };
    std::vector<TCase> cases;
    for (bool themes : {true, false})
        for (int style : {bfsDropDown, bfsEllipsis, bfsUpDown, bfsCheckBox, bfsPlus, bfsMinus})
            for (bool flat : {false, true})
                for (bool active : {false, true})
                    for (int down : {0, 1, 2}) {
                        if (down == 2 && style != bfsUpDown) continue;
                        cases.push_back({style, down, flat, active, down != 1 || style != bfsMinus, themes, 17,
                                         style == bfsUpDown ? 21 : 18});
                    }
    for (const TCase& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.Style) + " down " + std::to_string(c.DownPart) + " flat " +
                     std::to_string(c.Flat) + " active " + std::to_string(c.Active) + " themes " +
                     std::to_string(c.Themes));
        ThemeServices().SetThemesEnabled(c.Themes);
        FlushButtonBitmapCache();  // the owners flush on a theme or colour change
        TRaster cached(c.W + 4, c.H + 4), direct(c.W + 4, c.H + 4);
        const TRect r = Bounds(2, 2, c.W, c.H);
        UseButtonBitmapCache = true;
        DrawEditButtonFace(cached.DC(), r, Back, c.Style, c.DownPart, c.Flat, c.Active, c.Enabled, cbChecked);
        UseButtonBitmapCache = false;
        DrawEditButtonFace(direct.DC(), r, Back, c.Style, c.DownPart, c.Flat, c.Active, c.Enabled, cbChecked);
        EXPECT_TRUE(cached.SameAs(direct));
        // Nothing outside the face's rectangle.
        EXPECT_EQ(cached.At(1, 1), clWhite);
        EXPECT_EQ(cached.At(c.W + 2, c.H + 2), clWhite);
    }
}

TEST_F(DrawTest, FaceCacheKeepsOneEntryPerKeyUntilFlushed) {
    TRecordingSurface s(100, 100);
    TCanvas c(&s);
    DrawEditButtonFace(&c, Rect(0, 0, 17, 20), Back, bfsDropDown, 0, false, false, true, cbUnchecked);
    DrawEditButtonFace(&c, Rect(30, 0, 47, 20), Back, bfsDropDown, 0, false, false, true, cbUnchecked);
    EXPECT_EQ(ButtonsBitmapCache().Count(), 1);
    auto blits = s.OfKind(TDrawOp::Blit);
    ASSERT_EQ(blits.size(), 2u);
    EXPECT_EQ(blits[0]->Source, blits[1]->Source);
    EXPECT_EQ(blits[1]->Rect, Rect(30, 0, 47, 20));

    DrawEditButtonFace(&c, Rect(0, 0, 17, 20), Back, bfsDropDown, 1, false, false, true, cbUnchecked);
    DrawEditButtonFace(&c, Rect(0, 0, 17, 20), Back, bfsDropDown, 0, false, true, true, cbUnchecked);
    EXPECT_EQ(ButtonsBitmapCache().Count(), 3);

    FlushButtonBitmapCache();
    EXPECT_EQ(ButtonsBitmapCache().Count(), 0);
    DrawEditButtonFace(&c, Rect(0, 0, 17, 20), Back, bfsDropDown, 0, false, false, true, cbUnchecked);
    EXPECT_EQ(ButtonsBitmapCache().Count(), 1);

    // Negative sizes share the empty face and draw nothing.
    TButtonBitmapKey k{-3, -1, bfsEllipsis};
    EXPECT_TRUE(ButtonsBitmapCache().GetBitmap(k)->Empty());
    EXPECT_EQ(ButtonsBitmapCache().GetBitmap(TButtonBitmapKey{0, 0, bfsEllipsis}), ButtonsBitmapCache().GetBitmap(k));
}

TEST_F(DrawTest, UpDownPairOfOddHeightLeavesTheMiddleRowInTheBackColour) {
    TRaster r(17, 21);
    DrawEditButtonFace(r.DC(), Rect(0, 0, 17, 21), Back, bfsUpDown, 2, false, false, true, cbUnchecked);
    // Two halves of 10 rows, one cached entry each.
    EXPECT_EQ(ButtonsBitmapCache().Count(), 2);
    EXPECT_EQ(ButtonsBitmapCache().GetBitmap({17, 10, bfsUpDown, false, false, false, true, false, 0})->Height(), 10);
    for (int x = 0; x < 17; ++x) EXPECT_EQ(r.At(x, 10), Back) << x;
    EXPECT_NE(r.At(8, 9), Back);
    EXPECT_NE(r.At(8, 11), Back);

    // An even height leaves no band.
    TRaster even(17, 20);
    DrawEditButtonFace(even.DC(), Rect(0, 0, 17, 20), Back, bfsUpDown, 0, false, false, true, cbUnchecked);
    for (int y = 0; y < 20; ++y) EXPECT_NE(even.At(0, y), Back) << y;
}

TEST_F(DrawTest, FlatInactiveFaceIsFramedInTheBackColourWithoutThemes) {
    ThemeServices().SetThemesEnabled(false);
    TRaster r(17, 20);
    DrawEditButtonFace(r.DC(), Rect(0, 0, 17, 20), Back, bfsEllipsis, 0, true, false, true, cbUnchecked);
    EXPECT_EQ(r.At(0, 0), Back);
    EXPECT_EQ(r.At(16, 19), Back);
    EXPECT_EQ(r.At(8, 0), Back);
    EXPECT_NE(r.At(1, 1), Back);
    // The cached face is the inner rectangle.
    EXPECT_EQ(ButtonsBitmapCache().GetBitmap({15, 18, bfsEllipsis, true, false, false, true, false, 0})->Width(), 15);
    EXPECT_EQ(ButtonsBitmapCache().Count(), 1);

    // Flat up/down pair in frame mode: halves inset by one, the band between them in the back colour.
    TRaster pair(17, 20);
    DrawEditButtonFace(pair.DC(), Rect(0, 0, 17, 20), Back, bfsUpDown, 0, true, false, true, cbUnchecked);
    EXPECT_EQ(pair.At(8, 9), Back);
    EXPECT_EQ(pair.At(8, 10), Back);
    EXPECT_NE(pair.At(8, 8), Back);
    EXPECT_NE(pair.At(8, 11), Back);
}

TEST_F(DrawTest, CheckBoxFaceIsACentredSquare) {
    TRecordingSurface s(100, 100);
    TCanvas c(&s);
    // 20 wide, 13 high: the square is 13 x 13 with the odd pixel on the right.
    DrawEditButtonFace(&c, Rect(0, 0, 20, 13), Back, bfsCheckBox, 0, true, false, true, cbGrayed);
    auto blits = s.OfKind(TDrawOp::Blit);
    ASSERT_EQ(blits.size(), 1u);
    // Themes on: never flat, so no inset.
    EXPECT_EQ(blits[0]->Rect, Rect(3, 0, 16, 13));

    ThemeServices().SetThemesEnabled(false);
    s.Clear();
    DrawEditButtonFace(&c, Rect(0, 0, 20, 13), Back, bfsCheckBox, 0, true, false, true, cbGrayed);
    blits = s.OfKind(TDrawOp::Blit);
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0]->Rect, Rect(4, 1, 15, 12));
}

TEST_F(DrawTest, SizesFollowTheSystemMetrics) {
    EXPECT_EQ(CheckBoxWidth(), 13);
    EXPECT_EQ(CheckBoxHeight(), 13);
    // Text height 11: Round(7.33) = 7, odd, under the scroll-bar width.
    EXPECT_EQ(ComputeFlatButtonWidth(), 7);
    EXPECT_EQ(FlatButtonWidth(), 7);
    EXPECT_EQ(EditButtonHeightForWidth(11, true), 16);  // 16.5 rounds to even
    EXPECT_EQ(EditButtonHeightForWidth(13, true), 20);  // 19.5 rounds to even
    EXPECT_EQ(EditButtonHeightForWidth(11, false), 11);

    struct {
        TRect Cell;
        TAlignment H;
        TTextLayout V;
        TRect Want;
    } cases[] = {
        {Rect(0, 0, 20, 20), db::taCenter, tlCenter, Rect(4, 4, 17, 17)},
        {Rect(0, 0, 20, 20), db::taLeftJustify, tlTop, Rect(0, 0, 13, 13)},
        {Rect(0, 0, 20, 20), db::taRightJustify, tlBottom, Rect(7, 7, 20, 20)},
        {Rect(10, 5, 18, 30), db::taCenter, tlCenter, Rect(10, 11, 18, 24)},  // narrower: keeps left and width
        {Rect(0, 0, 13, 13), db::taCenter, tlCenter, Rect(0, 0, 13, 13)},
    };
    for (const auto& c : cases) EXPECT_EQ(FitCheckBoxRect(c.Cell, c.H, c.V), c.Want);
}

TEST_F(DrawTest, ColourMixingRoundsHalvesToEven) {
    struct {
        TColor A, B;
        int Percent;
        TColor Want;
    } cases[] = {
        {clBlack, clWhite, 50, TColor(RGB(128, 128, 128))},
        {clBlack, clWhite, 0, clBlack},
        {clBlack, clWhite, 100, clWhite},
        {TColor(RGB(0, 0, 1)), TColor(RGB(0, 0, 0)), 50, TColor(RGB(0, 0, 0))},  // 0.5 -> 0
        {TColor(RGB(0, 0, 3)), TColor(RGB(0, 0, 0)), 50, TColor(RGB(0, 0, 2))},  // 1.5 -> 2
        {clBlack, clWhite, 200, clWhite},                                        // clamped
    };
    for (const auto& c : cases) EXPECT_EQ(MixColors(c.A, c.B, c.Percent), c.Want);
}

std::vector<TPoint> LinePoints(TRecordingSurface& S) {
    std::vector<TPoint> pts;
    for (auto* r : S.OfKind(TDrawOp::PolyPolyline)) pts.insert(pts.end(), r->Points.begin(), r->Points.end());
    return pts;
}

TEST_F(DrawTest, DottedLinesKeepTheirPhaseInOneCall) {
    TRecordingSurface s(50, 50);
    TCanvas c(&s);
    DrawDottedLine(&c, Point(5, 0), 6, false, false);
    ASSERT_EQ(s.OfKind(TDrawOp::PolyPolyline).size(), 1u);
    // (5, 0) is odd: starts at (5, 1), 5 pixels left: dots at y 1, 3, 5.
    EXPECT_EQ(LinePoints(s), (std::vector<TPoint>{{5, 1}, {5, 2}, {5, 3}, {5, 4}, {5, 5}, {5, 6}}));

    s.Clear();
    DrawDottedLine(&c, Point(2, 0), 4, false, true);
    EXPECT_EQ(LinePoints(s), (std::vector<TPoint>{{2, 0}, {3, 0}, {4, 0}, {5, 0}}));

    s.Clear();
    DrawDottedLine(&c, Point(2, 0), 1, true, true);  // moving eats the only pixel
    EXPECT_TRUE(s.Records().empty());
}

TEST_F(DrawTest, TreeElementDrawsBoxAndBars) {
    TRaster r(20, 20);
    // Collapsed with lines up and down: box 9 x 9 around (10, 10) with plus and minus bars.
    DrawTreeLinesElement(r.DC(), Rect(0, 0, 20, 20), 3, false, 1.0, 1.0, false);
    const TColor shadow = TColor(ColorToRGB(clBtnShadow));
    const TColor text = TColor(ColorToRGB(clWindowText));
    EXPECT_EQ(r.At(6, 6), shadow);  // box corners
    EXPECT_EQ(r.At(14, 14), shadow);
    EXPECT_EQ(r.At(7, 7), TColor(ColorToRGB(clWindow)));
    EXPECT_EQ(r.At(8, 10), text);  // minus bar 8..12
    EXPECT_EQ(r.At(12, 10), text);
    EXPECT_EQ(r.At(10, 8), text);     // plus bar
    EXPECT_EQ(r.At(16, 10), shadow);  // dotted line to the right, phase even
    EXPECT_EQ(r.At(17, 10), clWhite);
    EXPECT_EQ(r.At(10, 0), shadow);  // up
    EXPECT_EQ(r.At(10, 1), clWhite);
    EXPECT_EQ(r.At(10, 16), shadow);  // down from box bottom + 1
    EXPECT_EQ(r.At(10, 15), clWhite);

    TRaster line(20, 20);
    DrawTreeLinesElement(line.DC(), Rect(0, 0, 20, 20), 7, false, 1.0, 1.0, false);  // corner: up and right
    EXPECT_EQ(line.At(10, 0), shadow);
    EXPECT_EQ(line.At(10, 12), clWhite);
    EXPECT_EQ(line.At(12, 10), shadow);
}

TEST_F(DrawTest, GradientsOfOneRowOrSegmentUseTheFirstColour) {
    TRecordingSurface s(50, 50);
    TCanvas c(&s);
    FillGradientVertical(&c, Rect(0, 0, 10, 1), clRed, clBlue);
    auto fills = s.OfKind(TDrawOp::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0]->Brush.Color, clRed);

    s.Clear();
    FillGradientVertical(&c, Rect(0, 0, 10, 3), clBlack, clWhite);
    fills = s.OfKind(TDrawOp::FillRect);
    ASSERT_EQ(fills.size(), 3u);
    EXPECT_EQ(fills[0]->Brush.Color, clBlack);
    EXPECT_EQ(fills[1]->Brush.Color, TColor(RGB(128, 128, 128)));  // 127.5 to even
    EXPECT_EQ(fills[2]->Brush.Color, clWhite);

    s.Clear();
    FillGradientVertical(&c, Rect(0, 5, 10, 5), clBlack, clWhite);
    EXPECT_TRUE(s.Records().empty());

    const TPoint one[] = {{0, 0}, {5, 0}};
    s.Clear();
    DrawGradientSegments(&c, Point(1, 1), one, clRed, clBlue, 1);
    auto lines = s.OfKind(TDrawOp::PolyPolyline);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->Pen.Color, clRed);
    EXPECT_EQ(lines[0]->Points.front(), Point(1, 1));

    const TPoint three[] = {{0, 0}, {5, 0}, {0, 1}, {5, 1}, {0, 2}, {5, 2}};
    s.Clear();
    DrawGradientSegments(&c, Point(0, 0), three, clBlack, clWhite, 5);
    lines = s.OfKind(TDrawOp::PolyPolyline);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->Pen.Color, clWhite);
    EXPECT_EQ(lines[2]->Pen.Color, clBlack);
}

// ---------------------------------------------------------------------------------------------
// Placement

class TDropDown : public TCustomControl {
    RTL_CLASS(TDropDown, TCustomControl)
public:
    explicit TDropDown(rtl::TComponent* Owner) : TCustomControl(Owner) {}
    std::vector<WPARAM> Placed;

protected:
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_DROPDOWNPLACED) Placed.push_back(M.WParam);
        TCustomControl::WndProc(M);
    }
};

class PlacementTest : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        Screen()->SetMonitors({TMonitor{Rect(0, 0, 1000, 800), Rect(0, 0, 1000, 800), true}});
        Drop = rtl::Create<TDropDown>(nullptr);
    }
    void TearDown() override {
        Drop->Free();
        Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true}});
        DrawTest::TearDown();
    }
    TDropDown* Drop = nullptr;
};

TEST_F(PlacementTest, ChoosesTheSideThatFitsAndShrinksToTheRoomLeft) {
    struct {
        TRect Anchor;
        int W, H;
        TDropDownAlign Align;
        TPoint Want;
        int WantW, WantH;
        std::vector<WPARAM> Codes;
    } cases[] = {
        // Below with room to spare, left aligned.
        {Rect(100, 100, 200, 120), 150, 300, daLeft, {100, 120}, 150, 300, {3, 1}},
        // 100 pixels below, 500 above: above, full height.
        {Rect(100, 500, 200, 700), 150, 300, daLeft, {100, 200}, 150, 300, {2, 1}},
        // Fits neither side, more room above: above, cut to the room.
        {Rect(100, 450, 200, 550), 150, 600, daLeft, {100, 0}, 150, 450, {2, 1}},
        // Fits neither side, more room below: below, cut.
        {Rect(100, 250, 200, 300), 150, 600, daLeft, {100, 300}, 150, 500, {3, 1}},
        // Right and centre alignment.
        {Rect(100, 100, 200, 120), 150, 50, daRight, {50, 120}, 150, 50, {3, 0}},
        {Rect(100, 100, 200, 120), 151, 50, daCenter, {75, 120}, 151, 50, {3, 1}},
        // Pushed back from the right edge (code 0) and from the left edge (code 1).
        {Rect(900, 100, 990, 120), 200, 50, daLeft, {800, 120}, 200, 50, {3, 0}},
        {Rect(10, 100, 50, 120), 200, 50, daRight, {0, 120}, 200, 50, {3, 1}},
        // Wider than the work area: narrowed to it.
        {Rect(10, 100, 50, 120), 1500, 50, daLeft, {0, 120}, 1000, 50, {3, 0}},
        {Rect(10, 100, 50, 120), 1500, 50, daRight, {0, 120}, 1000, 50, {3, 1}},
        // The anchor covers the whole height: the list stays inside the work area, never negative.
        {Rect(100, -50, 200, 900), 150, 300, daLeft, {100, 0}, 150, 300, {2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Anchor.Left) + "," + std::to_string(c.Anchor.Top) + " " + std::to_string(c.W) +
                     "x" + std::to_string(c.H));
        Drop->SetBounds(0, 0, c.W, c.H);
        Drop->Placed.clear();
        EXPECT_EQ(PlaceDropDownAtRect(c.Anchor, Drop, c.Align), c.Want);
        EXPECT_EQ(Drop->Width(), c.WantW);
        EXPECT_EQ(Drop->Height(), c.WantH);
        EXPECT_EQ(Drop->Placed, c.Codes);
    }
}

TEST_F(PlacementTest, UnderControlUsesTheControlsScreenRectangle) {
    TForm* form = rtl::Create<TForm>(nullptr);
    form->SetBounds(100, 100, 400, 300);
    auto* anchor = rtl::Create<TDropDown>(form);
    anchor->SetParent(form);
    anchor->SetBounds(10, 20, 80, 21);
    Drop->SetBounds(0, 0, 80, 100);
    const TPoint origin = form->ClientToScreen(Point(10, 20));
    EXPECT_EQ(PlaceDropDownUnderControl(anchor, Drop, daLeft), Point(origin.X, origin.Y + 21));
    form->Free();
}

// ---------------------------------------------------------------------------------------------
// Mouse helpers

TEST(MouseHelpers, DoubleClickPairNeedsTimeAndDistance) {
    struct {
        TPoint A, B;
        uint32_t Interval;
        bool Want;
    } cases[] = {
        {{10, 10}, {14, 6}, 500, true},
        {{10, 10}, {15, 10}, 100, false},
        {{10, 10}, {10, 15}, 100, false},
        {{10, 10}, {10, 10}, 501, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsDoubleClickPair(c.A, c.B, c.Interval), c.Want);
}

TEST(MouseHelpers, PendingClickInsideTheControlIsRemoved) {
    ClearMessageQueue();
    TForm* form = rtl::Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* ctl = rtl::Create<TDropDown>(form);
    ctl->SetParent(form);
    ctl->SetBounds(10, 10, 50, 20);
    ctl->HandleNeeded();

    PostMessage(ctl->Handle(), WM_MOUSEMOVE, 0, PointToLParam(1, 1));
    PostMessage(ctl->Handle(), WM_LBUTTONDOWN, 0, PointToLParam(5, 5));
    EXPECT_TRUE(DiscardPendingClickInClient(ctl));
    EXPECT_EQ(QueuedMessageCount(), 1);  // the move stays

    PostMessage(ctl->Handle(), WM_LBUTTONDOWN, 0, PointToLParam(500, 5));
    EXPECT_FALSE(DiscardPendingClickInClient(ctl));
    EXPECT_FALSE(DiscardPendingClickOnControl(ctl));
    EXPECT_EQ(QueuedMessageCount(), 2);

    ClearMessageQueue();
    PostMessage(ctl->Handle(), WM_LBUTTONDBLCLK, 0, PointToLParam(6, 6));
    EXPECT_TRUE(DiscardPendingClickOnControl(ctl));
    EXPECT_EQ(QueuedMessageCount(), 0);
    EXPECT_FALSE(DiscardPendingClickOnControl(ctl));  // nothing left
    ClearMessageQueue();
    form->Free();
}

// ---------------------------------------------------------------------------------------------
// Wrappers and the stream

TEST(Wrappers, LocaleComparisonAndSets) {
    EXPECT_EQ(CompareTextByLocale("abc", "ABC"), 0);
    EXPECT_NE(CompareStrByLocale("abc", "ABC"), 0);
    EXPECT_EQ(CompareTextByLocale("abc", "abd"), -1);
    EXPECT_EQ(CompareStrByLocale("b", "a"), 1);
    TByteSet32 set = {};
    set[65 / 32] |= 1u << (65 % 32);
    EXPECT_TRUE(ByteInSet(65, set));
    EXPECT_FALSE(ByteInSet(66, set));
    EXPECT_EQ(StringFromPChar(nullptr), "");
    TRect r{1, 2, 3, 4};
    ClearRect(r);
    EXPECT_EQ(r, Rect(0, 0, 0, 0));
}

TEST(MemoryStreamEh, GrowsInLargeStepsAndKeepsDataOnFailure) {
    TMemoryStreamEh s;
    const char one = 'x';
    s.WriteBuffer(&one, 1);
    EXPECT_EQ(s.Capacity(), 8192);
    EXPECT_EQ(s.Size(), 1);
    std::string big(9000, 'y');
    s.WriteBuffer(big.data(), int64_t(big.size()));
    EXPECT_EQ(s.Capacity(), 16384);
    EXPECT_EQ(s.Size(), 9001);

    EXPECT_THROW(s.SetSize(int64_t(3) << 31), rtl::EStreamError);
    EXPECT_EQ(s.Size(), 9001);
    EXPECT_EQ(s.Capacity(), 16384);
    s.SetPosition(0);
    char back[2] = {};
    s.ReadBuffer(back, 2);
    EXPECT_EQ(back[0], 'x');
    EXPECT_EQ(back[1], 'y');

    s.Clear();
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.Memory(), nullptr);

    // A settable step: an export of many rows grows in larger blocks.
    s.SetGrowthDelta(65536);
    s.WriteBuffer(&one, 1);
    EXPECT_EQ(s.Capacity(), 131072);
    EXPECT_THROW(s.SetGrowthDelta(0), rtl::EInvalidOperation);
    EXPECT_EQ(s.GrowthDelta(), 65536);
}

}  // namespace
