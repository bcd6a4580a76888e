// Pixel-level drawing on the in-memory raster surface.
#include <gtest/gtest.h>

#include "framework/rtl/Streams.h"
#include "framework/ui/Graphics.h"

using namespace ui;

namespace {

struct Raster : ::testing::Test {
    TMemorySurface surface{16, 12};
    TCanvas canvas{&surface};

    int Count(TColor color, TRect area = Rect(0, 0, 16, 12)) {
        int n = 0;
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (surface.GetPixel(x, y) == color) ++n;
        return n;
    }
    TColor At(int x, int y) { return surface.GetPixel(x, y); }
};

}  // namespace

TEST_F(Raster, StartsWhiteAndKeepsPixelsOnResize) {
    EXPECT_EQ(Count(clWhite), 16 * 12);
    canvas.Pixel(0, 0);
    canvas.SetPixel(3, 4, clRed);
    surface.SetSize(8, 8);
    EXPECT_EQ(At(3, 4), clRed);
    EXPECT_EQ(At(8, 0), clNone);
    surface.SetSize(20, 20);
    EXPECT_EQ(At(3, 4), clRed);
    EXPECT_EQ(At(19, 19), clWhite);
}

TEST_F(Raster, FillHonoursComplexClip) {
    canvas.IntersectClipRect(Rect(2, 2, 10, 10));
    canvas.ExcludeClipRect(Rect(4, 4, 6, 6));
    canvas.Brush()->SetColor(clBlue);
    canvas.FillRect(Rect(0, 0, 16, 12));
    EXPECT_EQ(Count(clBlue), 64 - 4);
    EXPECT_EQ(At(4, 4), clWhite);
    EXPECT_EQ(At(1, 2), clWhite);
    EXPECT_EQ(At(9, 9), clBlue);
    EXPECT_EQ(At(10, 9), clWhite);
}

TEST_F(Raster, LinesLeaveOutTheirLastPixelAndFollowThePen) {
    canvas.Pen()->SetColor(clBlack);
    canvas.MoveTo(1, 1);
    canvas.LineTo(6, 1);
    EXPECT_EQ(Count(clBlack), 5);
    EXPECT_EQ(At(6, 1), clWhite);

    // A wide pen with flat ends stays inside the line's span and centres on it.
    canvas.Pen()->SetWidth(3);
    canvas.Pen()->SetEndCap(pecFlat);
    canvas.Pen()->SetColor(clRed);
    canvas.MoveTo(2, 6);
    canvas.LineTo(8, 6);
    EXPECT_EQ(Count(clRed), 18);
    EXPECT_EQ(At(2, 5), clRed);
    EXPECT_EQ(At(7, 7), clRed);
    EXPECT_EQ(At(1, 6), clWhite);
    EXPECT_EQ(At(8, 6), clWhite);

    // Xor twice restores.
    canvas.Pen()->SetWidth(1);
    canvas.Pen()->SetMode(pmXor);
    canvas.Pen()->SetColor(clWhite);
    canvas.MoveTo(0, 10);
    canvas.LineTo(16, 10);
    EXPECT_EQ(Count(clBlack, Rect(0, 10, 16, 11)), 16);
    canvas.MoveTo(0, 10);
    canvas.LineTo(16, 10);
    EXPECT_EQ(Count(clWhite, Rect(0, 10, 16, 11)), 16);
}

TEST_F(Raster, DottedPenSkipsPixels) {
    canvas.Pen()->SetStyle(psDot);
    canvas.MoveTo(0, 0);
    canvas.LineTo(12, 0);
    EXPECT_EQ(Count(clBlack), 6);
    EXPECT_EQ(At(3, 0), clWhite);
}

TEST_F(Raster, RectangleOutlinesInsideAndFillsWithBrush) {
    canvas.Brush()->SetColor(clYellow);
    canvas.Rectangle(2, 2, 7, 6);
    EXPECT_EQ(Count(clBlack), 2 * 5 + 2 * 2);
    EXPECT_EQ(Count(clYellow), 3 * 2);
    EXPECT_EQ(At(6, 5), clBlack);
    EXPECT_EQ(At(7, 6), clWhite);
}

TEST_F(Raster, PolygonFillsInterior) {
    canvas.Pen()->SetStyle(psClear);
    canvas.Brush()->SetColor(clGreen);
    canvas.Polygon({{0, 0}, {8, 0}, {8, 8}, {0, 8}});
    EXPECT_EQ(Count(clGreen), 64);
}

TEST_F(Raster, HugeShapesAreCutToTheSurface) {
    // Coordinates far outside must cost no more than the visible pixels.
    canvas.Pen()->SetStyle(psClear);
    canvas.Brush()->SetColor(clGreen);
    canvas.Polygon(
        {{-100000000, -100000000}, {100000000, -100000000}, {100000000, 100000000}, {-100000000, 100000000}});
    EXPECT_EQ(Count(clGreen), 16 * 12);
    canvas.Pen()->SetStyle(psSolid);
    canvas.MoveTo(-100000000, 50);
    canvas.LineTo(100000000, 50);
    EXPECT_EQ(Count(clGreen), 16 * 12);
    canvas.MoveTo(-100000000, 3);
    canvas.LineTo(100000000, 3);
    canvas.MoveTo(5, 100000000);
    canvas.LineTo(5, -100000000);
    EXPECT_EQ(Count(clBlack), 16 + 11);
}

TEST_F(Raster, FocusRectIsDottedAndUndoneByRepeating) {
    canvas.DrawFocusRect(Rect(0, 0, 6, 4));
    int changed = 16 * 12 - Count(clWhite);
    EXPECT_EQ(changed, 8) << "every other pixel of the 16-pixel border";
    EXPECT_NE(At(0, 0), clWhite);
    EXPECT_EQ(At(1, 0), clWhite);
    canvas.DrawFocusRect(Rect(0, 0, 6, 4));
    EXPECT_EQ(Count(clWhite), 16 * 12);
}

TEST_F(Raster, PatternAndHatchBrushes) {
    TBitmap pattern;
    pattern.SetSize(2, 2);
    pattern.Canvas()->SetPixel(0, 0, clRed);
    pattern.Canvas()->SetPixel(1, 1, clRed);
    canvas.Brush()->SetBitmap(&pattern);
    canvas.FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(Count(clRed, Rect(0, 0, 4, 4)), 8);
    EXPECT_EQ(At(2, 2), clRed);
    EXPECT_EQ(At(3, 2), clWhite);

    canvas.Brush()->SetBitmap(nullptr);
    canvas.Brush()->SetColor(clBlue);
    canvas.Brush()->SetStyle(bsHorizontal);
    canvas.FillRect(Rect(0, 8, 16, 12));
    EXPECT_EQ(Count(clBlue), 16) << "one hatch row in four rows, the gaps keep what is below";
}

TEST_F(Raster, TextLandsInItsCellAndRespectsTheClipRectangle) {
    canvas.Font()->SetColor(clBlack);
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetHeight(-8);  // cells 4x8
    TRect clip = Rect(0, 0, 6, 8);
    canvas.TextRect(clip, 0, 0, "ab");
    EXPECT_GT(Count(clBlack, Rect(0, 0, 4, 8)), 0);
    EXPECT_GT(Count(clBlack, Rect(4, 0, 6, 8)), 0);
    EXPECT_EQ(Count(clBlack, Rect(6, 0, 16, 12)), 0);
}

TEST_F(Raster, BlitCopiesStretchesAndSkipsTheTransparentColour) {
    TBitmap bmp;
    bmp.SetSize(2, 2);
    bmp.Canvas()->Brush()->SetColor(clRed);
    bmp.Canvas()->FillRect(Rect(0, 0, 2, 2));
    bmp.Canvas()->SetPixel(0, 1, clLime);
    canvas.Draw(0, 0, &bmp);
    EXPECT_EQ(At(0, 1), clLime);
    EXPECT_EQ(Count(clRed), 3);

    canvas.StretchDraw(Rect(4, 4, 8, 8), &bmp);
    EXPECT_EQ(Count(clLime, Rect(4, 4, 8, 8)), 4);
    EXPECT_EQ(Count(clRed, Rect(4, 4, 8, 8)), 12);

    // The bottom-left pixel names the transparent colour by default.
    bmp.SetTransparent(true);
    EXPECT_EQ(bmp.TransparentColor(), clLime);
    canvas.Draw(10, 0, &bmp);
    EXPECT_EQ(At(10, 1), clWhite);
    EXPECT_EQ(At(11, 1), clRed);

    // Overlapping copy within one surface reads the source before writing.
    canvas.CopyRect(Rect(1, 0, 3, 2), &canvas, Rect(0, 0, 2, 2));
    EXPECT_EQ(At(1, 1), clLime);
    EXPECT_EQ(At(2, 1), clRed);
}

TEST_F(Raster, UnscaledCopyKeepsTheClipTheEdgesAndTheRasterOperation) {
    TBitmap bmp;
    bmp.SetSize(4, 4);
    bmp.Canvas()->Brush()->SetColor(clRed);
    bmp.Canvas()->FillRect(Rect(0, 0, 4, 4));
    bmp.Canvas()->SetPixel(3, 3, clBlue);
    canvas.IntersectClipRect(Rect(0, 0, 14, 12));
    canvas.Draw(13, 10, &bmp);  // past the right and bottom edges, and cut by the clip
    EXPECT_EQ(At(13, 10), clRed);
    EXPECT_EQ(At(13, 11), clRed);
    EXPECT_EQ(At(14, 10), clWhite);
    EXPECT_EQ(Count(clRed, Rect(13, 0, 16, 12)), 2);
    canvas.Draw(-1, -1, &bmp);  // past the left and top edges
    EXPECT_EQ(At(0, 0), clRed);
    EXPECT_EQ(At(2, 2), clBlue);
    EXPECT_EQ(Count(clRed, Rect(0, 0, 4, 4)), 8);
    canvas.BitBlt(5, 5, 1, 1, bmp.Canvas(), 0, 0, SRCINVERT);
    EXPECT_EQ(At(5, 5), clAqua);
}

TEST(Bitmap, SizeAssignAndStreamRoundTrip) {
    TBitmap a;
    a.SetSize(3, 2);
    a.Canvas()->SetPixel(2, 1, clNavy);
    a.SetSize(4, 3);
    EXPECT_EQ(a.Canvas()->Pixel(2, 1), clNavy);
    a.SetSize(-5, 3);
    EXPECT_EQ(a.Width(), 0);
    EXPECT_TRUE(a.Empty());
    a.SetSize(3, 2);
    a.Canvas()->SetPixel(2, 1, clNavy);
    a.Canvas()->SetPixel(0, 0, clTeal);

    TBitmap b;
    b.Assign(&a);
    a.Canvas()->SetPixel(2, 1, clWhite);
    EXPECT_EQ(b.Canvas()->Pixel(2, 1), clNavy) << "an assigned bitmap owns its own pixels";

    rtl::TMemoryStream stream;
    b.SaveToStream(stream);
    stream.Seek(0, rtl::TSeekOrigin::soBeginning);
    TBitmap c;
    c.LoadFromStream(stream);
    EXPECT_EQ(c.Width(), 3);
    EXPECT_EQ(c.Height(), 2);
    EXPECT_EQ(c.Canvas()->Pixel(2, 1), clNavy);
    EXPECT_EQ(c.Canvas()->Pixel(0, 0), clTeal);
}

TEST(Bitmap, BadStreamRaisesAndLeavesTheBitmapAlone) {
    TBitmap a;
    a.SetSize(3, 2);
    a.Canvas()->SetPixel(1, 1, clRed);
    rtl::TMemoryStream full;
    a.SaveToStream(full);
    // Cut the pixel data short.
    rtl::TMemoryStream cut;
    full.Seek(0, rtl::TSeekOrigin::soBeginning);
    std::vector<char> bytes(static_cast<size_t>(full.Size()) - 4);
    full.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    cut.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    cut.Seek(0, rtl::TSeekOrigin::soBeginning);

    TBitmap b;
    b.SetSize(1, 1);
    b.Canvas()->SetPixel(0, 0, clLime);
    EXPECT_THROW(b.LoadFromStream(cut), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 1);
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), clLime);

    // A header promising a huge image is refused before anything is allocated.
    rtl::TMemoryStream huge;
    a.SaveToStream(huge);
    huge.Seek(18, rtl::TSeekOrigin::soBeginning);
    const uint8_t big[8] = {0x00, 0x80, 0, 0, 0x00, 0x80, 0, 0};  // 32768 x 32768
    huge.WriteBuffer(big, 8);
    huge.Seek(0, rtl::TSeekOrigin::soBeginning);
    EXPECT_THROW(b.LoadFromStream(huge), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 1);
    EXPECT_THROW(b.SetSize(100000, 100000), rtl::EOutOfResources);
    EXPECT_EQ(b.Width(), 1);
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), clLime);

    rtl::TMemoryStream junk;
    junk.WriteBuffer("not a bitmap at all, just text that is long enough for a header", 60);
    junk.Seek(0, rtl::TSeekOrigin::soBeginning);
    EXPECT_THROW(b.LoadFromStream(junk), EInvalidGraphic);
}

TEST(Picture, HoldsItsOwnCopyAndReportsChanges) {
    TBitmap source;
    source.SetSize(5, 4);
    TPicture pic;
    int changes = 0;
    pic.OnChange = [&](rtl::TObject*) { ++changes; };
    pic.Assign(&source);
    EXPECT_EQ(pic.Width(), 5);
    EXPECT_NE(pic.Graphic(), &source);
    source.SetSize(1, 1);
    EXPECT_EQ(pic.Height(), 4);
    int before = changes;
    pic.Bitmap()->SetSize(7, 7);
    EXPECT_GT(changes, before);
    before = changes;
    pic.Bitmap()->Canvas()->FillRect(Rect(0, 0, 2, 2));
    EXPECT_GT(changes, before) << "drawing on the bitmap is a change of the picture";
    pic.Assign(nullptr);
    EXPECT_EQ(pic.Graphic(), nullptr);
    EXPECT_EQ(pic.Width(), 0);
}
