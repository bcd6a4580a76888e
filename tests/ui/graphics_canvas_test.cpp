// The canvas over the recording surface: state, clipping, mapping and text calls.
#include <gtest/gtest.h>

#include "framework/ui/Graphics.h"

using namespace ui;

namespace {

struct RecordingCanvas : ::testing::Test {
    TRecordingSurface surface{200, 100};
    TCanvas canvas{&surface};

    const TDrawRecord& Last() { return surface.Records().back(); }
};

}  // namespace

TEST_F(RecordingCanvas, FillRectResolvesSystemColoursAndSkipsClearBrush) {
    canvas.Brush()->SetColor(clBtnFace);
    canvas.FillRect(Rect(1, 2, 3, 4));
    ASSERT_EQ(surface.Records().size(), 1u);
    EXPECT_EQ(Last().Op, TDrawOp::FillRect);
    EXPECT_EQ(Last().Rect, Rect(1, 2, 3, 4));
    EXPECT_EQ(Last().Color, static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
    canvas.Brush()->SetStyle(bsClear);
    canvas.FillRect(Rect(1, 2, 3, 4));
    EXPECT_EQ(surface.Records().size(), 1u);
    // Giving a clear brush a colour makes it solid again.
    canvas.Brush()->SetColor(clRed);
    EXPECT_EQ(canvas.Brush()->Style(), bsSolid);
}

TEST_F(RecordingCanvas, DrawingWithoutSurfaceRaisesButMeasuringWorks) {
    TCanvas bare;
    EXPECT_THROW(bare.FillRect(Rect(0, 0, 1, 1)), rtl::EInvalidOperation);
    EXPECT_EQ(bare.TextHeight("X"), 11);
    EXPECT_EQ(bare.TextWidth("abc"), 18);
}

TEST_F(RecordingCanvas, ClipIntersectExcludeAndRestore) {
    const int saved = canvas.SaveDC();
    EXPECT_EQ(canvas.IntersectClipRect(Rect(10, 10, 50, 50)), SIMPLEREGION);
    EXPECT_EQ(canvas.ExcludeClipRect(Rect(20, 20, 30, 30)), COMPLEXREGION);
    canvas.FillRect(Rect(0, 0, 100, 100));
    ASSERT_TRUE(Last().Clipped);
    EXPECT_TRUE(Last().Clip->Contains({15, 15}));
    EXPECT_FALSE(Last().Clip->Contains({25, 25}));
    EXPECT_FALSE(Last().Clip->Contains({60, 15}));
    EXPECT_FALSE(canvas.RectVisible(Rect(21, 21, 29, 29)));
    EXPECT_TRUE(canvas.RectVisible(Rect(21, 21, 31, 29)));
    EXPECT_EQ(canvas.ClipRect(), Rect(10, 10, 50, 50));

    ASSERT_TRUE(canvas.RestoreDC(saved));
    EXPECT_FALSE(canvas.HasClipRgn());
    canvas.FillRect(Rect(0, 0, 1, 1));
    EXPECT_FALSE(Last().Clipped);
    EXPECT_FALSE(canvas.RestoreDC(saved)) << "a level is restored only once";
    EXPECT_EQ(canvas.IntersectClipRect(Rect(0, 0, 5, 5)), SIMPLEREGION);
    EXPECT_EQ(canvas.IntersectClipRect(Rect(10, 10, 20, 20)), NULLREGION);
    EXPECT_FALSE(canvas.RectVisible(Rect(0, 0, 200, 100)));
}

TEST_F(RecordingCanvas, SavedClipRegionCanBeSelectedBack) {
    // The save / intersect / select-back pattern of painters that clip one cell.
    TRegion before;
    EXPECT_EQ(canvas.GetClipRgn(before), 0);
    canvas.IntersectClipRect(Rect(0, 0, 100, 50));
    ASSERT_EQ(canvas.GetClipRgn(before), 1);
    canvas.IntersectClipRect(Rect(40, 0, 60, 50));
    canvas.FillRect(Rect(0, 0, 200, 100));
    EXPECT_EQ(Last().Clip->Bounds(), Rect(40, 0, 60, 50));
    canvas.SelectClipRgn(&before);
    canvas.FillRect(Rect(0, 0, 200, 100));
    EXPECT_EQ(Last().Clip->Bounds(), Rect(0, 0, 100, 50));
    canvas.SelectClipRgn(nullptr);
    canvas.FillRect(Rect(0, 0, 200, 100));
    EXPECT_FALSE(Last().Clipped);
}

TEST_F(RecordingCanvas, SaveDCRestoresPenBrushFontAndTextState) {
    canvas.Pen()->SetColor(clRed);
    canvas.Font()->SetColor(clBlue);
    canvas.SetBkMode(TRANSPARENT);
    const int level = canvas.SaveDC();
    canvas.Pen()->SetColor(clLime);
    canvas.Brush()->SetColor(clYellow);
    canvas.Font()->SetHeight(-30);
    canvas.SetTextColor(clGreen);
    canvas.RestoreDC(level);
    EXPECT_EQ(canvas.Pen()->Color(), clRed);
    EXPECT_EQ(canvas.Brush()->Color(), clWhite);
    EXPECT_EQ(canvas.Font()->Height(), DefaultFontHeight);
    EXPECT_EQ(canvas.GetTextColor(), clBlue);
    EXPECT_EQ(canvas.GetBkMode(), TRANSPARENT);
}

TEST_F(RecordingCanvas, ASavedDCPutsClipAndPenBackWhenItsScopeIsLeftByAnError) {
    canvas.Pen()->SetColor(clRed);
    for (const bool raise : {false, true}) {
        SCOPED_TRACE(raise);
        try {
            TSavedDC saved(canvas);
            canvas.IntersectClipRect(Rect(0, 0, 5, 5));
            canvas.Pen()->SetColor(clLime);
            if (raise) throw rtl::Exception("painter failed");
        } catch (const rtl::Exception&) {
        }
        EXPECT_FALSE(canvas.HasClipRgn());
        EXPECT_EQ(canvas.Pen()->Color(), clRed);
        EXPECT_FALSE(canvas.RestoreDC(-1)) << "nothing left saved";
    }
}

TEST_F(RecordingCanvas, TextColourAndBackgroundFollowFontAndBrush) {
    canvas.Font()->SetColor(clRed);
    canvas.Brush()->SetColor(clYellow);
    canvas.TextOut(5, 6, "Hi");
    EXPECT_EQ(Last().Op, TDrawOp::Text);
    EXPECT_EQ(Last().Text, "Hi");
    EXPECT_EQ(Last().Rect, Rect(5, 6, 17, 17));
    EXPECT_EQ(Last().Color, clRed);
    EXPECT_EQ(Last().Background, clYellow);
    EXPECT_EQ(canvas.PenPos(), Point(17, 6));

    // An explicit text state holds until the font or brush changes again.
    canvas.SetBkMode(TRANSPARENT);
    canvas.SetTextColor(clGreen);
    canvas.TextOut(0, 0, "a");
    EXPECT_EQ(Last().Background, clNone);
    EXPECT_EQ(Last().Color, clGreen);
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(clNavy);
    canvas.TextOut(0, 0, "a");
    EXPECT_EQ(Last().Background, clNone);
    EXPECT_EQ(Last().Color, clNavy);
}

TEST_F(RecordingCanvas, TextRectFillsAndClipsToTheRectangle) {
    canvas.Brush()->SetColor(clAqua);
    canvas.TextRect(Rect(10, 10, 30, 26), 12, 10, "clipped text");
    ASSERT_EQ(surface.Records().size(), 2u);
    EXPECT_EQ(surface.Records()[0].Op, TDrawOp::FillRect);
    EXPECT_EQ(surface.Records()[0].Rect, Rect(10, 10, 30, 26));
    ASSERT_TRUE(Last().HasTextClip);
    EXPECT_EQ(Last().TextClip, Rect(10, 10, 30, 26));
    canvas.Brush()->SetStyle(bsClear);
    surface.Clear();
    canvas.TextRect(Rect(10, 10, 30, 26), 12, 10, "x");
    EXPECT_EQ(surface.Records().size(), 1u);
}

TEST_F(RecordingCanvas, FixedMetricsFollowHeightAndBold) {
    EXPECT_EQ(canvas.TextExtent("abcd"), (TSize{24, 11}));
    canvas.Font()->SetStyle({fsBold});
    EXPECT_EQ(canvas.TextWidth("abcd"), 28);
    canvas.Font()->SetHeight(-8);
    canvas.Font()->SetStyle({});
    EXPECT_EQ(canvas.TextExtent("ab"), (TSize{8, 8}));
    TTextMetric tm = canvas.GetTextMetrics();
    EXPECT_EQ(tm.tmHeight, 8);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 8);
}

TEST_F(RecordingCanvas, MirroredMappingSwapsHorizontalCoordinates) {
    canvas.SetMapMode(MM_ANISOTROPIC);
    canvas.SetWindowOrgEx(200, 0);
    canvas.SetWindowExtEx(-200, 100);
    canvas.SetViewportExtEx(200, 100);
    EXPECT_EQ(canvas.LPtoDP(Point(0, 5)), Point(200, 5));
    EXPECT_EQ(canvas.LPtoDP(Point(150, 5)), Point(50, 5));
    EXPECT_EQ(canvas.DPtoLP(Point(50, 5)), Point(150, 5));
    canvas.FillRect(Rect(10, 0, 30, 10));
    EXPECT_EQ(Last().Rect, Rect(170, 0, 190, 10));
    // Clip rectangles are given in logical units and kept in device pixels.
    canvas.IntersectClipRect(Rect(0, 0, 20, 100));
    EXPECT_EQ(canvas.ClipRect(), Rect(0, 0, 20, 100));
    canvas.SetMapMode(MM_TEXT);
    canvas.SetWindowOrgEx(0, 0);
    EXPECT_EQ(canvas.LPtoDP(Point(7, 7)), Point(7, 7));
}

TEST_F(RecordingCanvas, LinesRectanglesAndPolylinesReachTheSurfaceOnce) {
    canvas.Pen()->SetColor(clMaroon);
    canvas.MoveTo(1, 1);
    canvas.LineTo(9, 1);
    EXPECT_EQ(canvas.PenPos(), Point(9, 1));
    EXPECT_EQ(Last().Points, (std::vector<TPoint>{{1, 1}, {9, 1}}));
    EXPECT_EQ(Last().Pen.Color, clMaroon);

    const TPoint pts[] = {{0, 0}, {0, 5}, {3, 0}, {3, 5}, {6, 0}, {6, 5}};
    const int counts[] = {2, 2, 2};
    surface.Clear();
    canvas.PolyPolyline(pts, counts, 3);
    ASSERT_EQ(surface.Records().size(), 1u);
    EXPECT_EQ(Last().Counts, (std::vector<int>{2, 2, 2}));

    surface.Clear();
    canvas.Brush()->SetColor(clSilver);
    canvas.Rectangle(0, 0, 10, 5);
    ASSERT_EQ(surface.Records().size(), 2u);
    EXPECT_EQ(surface.Records()[0].Rect, Rect(0, 0, 10, 5));
    EXPECT_EQ(Last().Points.front(), Point(0, 0));
    EXPECT_EQ(Last().Points[2], Point(9, 4));

    surface.Clear();
    canvas.Pen()->SetStyle(psClear);
    canvas.LineTo(0, 0);
    EXPECT_TRUE(surface.Records().empty());
}

TEST_F(RecordingCanvas, ChangeEventsWrapEachDrawingCall) {
    std::vector<std::string> log;
    canvas.OnChanging = [&](rtl::TObject*) { log.push_back("changing"); };
    canvas.OnChange = [&](rtl::TObject*) { log.push_back("change"); };
    canvas.FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(log, (std::vector<std::string>{"changing", "change"}));
}

TEST(Font, SizeHeightAndChangeNotification) {
    TFont f;
    // The 8-point face the forms were laid out for.
    EXPECT_EQ(f.Name(), "Liberation Sans");
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
    int changes = 0;
    f.OnChange = [&](rtl::TObject*) { ++changes; };
    f.SetSize(12);
    EXPECT_EQ(f.Height(), -16);
    f.SetHeight(-16);
    f.SetStyle({fsBold, fsItalic});
    f.SetName("");  // ignored: a font needs a face
    EXPECT_EQ(f.Name(), "Liberation Sans");
    EXPECT_EQ(changes, 2);

    TFont g;
    g.SetColor(clRed);
    g.SetCharset(RUSSIAN_CHARSET);
    f.Assign(&g);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(f.Color(), clRed);
    EXPECT_EQ(f.Charset(), RUSSIAN_CHARSET);
    EXPECT_TRUE(f.SameFace(g));
    f.Assign(&g);
    EXPECT_EQ(changes, 3) << "assigning an equal font is no change";
}

TEST(Pen, WidthBelowOneCountsAsOne) {
    TPen p;
    p.SetWidth(0);
    EXPECT_EQ(p.Width(), 1);
    p.SetWidth(3);
    EXPECT_EQ(p.Width(), 3);
}
