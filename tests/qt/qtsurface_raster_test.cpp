// The backend's raster draws the pixels the recording surface describes, and real text.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"

namespace qttest {
namespace {

using namespace ui;

// Hands each call to a recorder (what is described) and the Qt raster (what is drawn); text is
// measured by the raster so the recorded text sits where the raster puts it.
class TTeeSurface : public TSurface {
public:
    TTeeSurface(int W, int H) : Rec(W, H), Raster(W, H) {}
    int Width() const override { return Raster.Width(); }
    int Height() const override { return Raster.Height(); }
    void SetSize(int W, int H) override {
        Rec.SetSize(W, H);
        Raster.SetSize(W, H);
    }
    void SetClip(const TRegion* C) override {
        Rec.SetClip(C);
        Raster.SetClip(C);
    }
    void FillRect(const TRect& R, const TBrushData& B, uint32_t Rop) override {
        Rec.FillRect(R, B, Rop);
        Raster.FillRect(R, B, Rop);
    }
    void PolyPolyline(const TPoint* P, const int* C, int L, const TPenData& Pen) override {
        Rec.PolyPolyline(P, C, L, Pen);
        Raster.PolyPolyline(P, C, L, Pen);
    }
    void Polygon(const TPoint* P, int C, const TPenData& Pen, const TBrushData& B) override {
        Rec.Polygon(P, C, Pen, B);
        Raster.Polygon(P, C, Pen, B);
    }
    void TextOut(int X, int Y, std::string_view T, const TFontData& F, TColorRef C, TColor Bg,
                 const TRect* Clip) override {
        Rec.TextOut(X, Y, T, F, C, Bg, Clip);
        Raster.TextOut(X, Y, T, F, C, Bg, Clip);
    }
    TSize TextExtent(std::string_view T, const TFontData& F) override { return Raster.TextExtent(T, F); }
    TTextMetric TextMetrics(const TFontData& F) override { return Raster.TextMetrics(F); }
    void DrawFocusRect(const TRect& R) override {
        Rec.DrawFocusRect(R);
        Raster.DrawFocusRect(R);
    }
    void Blit(const TRect& D, TSurface& S, const TRect& SR, uint32_t Rop, TColor T) override {
        Raster.Blit(D, S, SR, Rop, T);
    }
    TColor GetPixel(int X, int Y) override { return Raster.GetPixel(X, Y); }
    void SetPixel(int X, int Y, TColorRef C) override {
        Rec.SetPixel(X, Y, C);
        Raster.SetPixel(X, Y, C);
    }

    TRecordingSurface Rec;
    qtback::TQtSurface Raster;
};

constexpr TColorRef White = 0xFFFFFF;
enum : uint8_t { Exact, TextArea };

// The raster the records describe: exact colours where fills, lines and focus frames go; text cells
// are marked, as glyph shapes are the font's business.
struct TExpected {
    int W, H;
    std::vector<TColorRef> Color;
    std::vector<uint8_t> Kind;
    std::vector<TColorRef> TextBackground;
    TExpected(int W_, int H_)
        : W(W_), H(H_), Color(size_t(W_) * H_, White), Kind(Color.size(), Exact), TextBackground(Color.size(), White) {}
    bool In(const TDrawRecord& R, int X, int Y) const {
        return X >= 0 && Y >= 0 && X < W && Y < H && (!R.Clipped || R.Clip.Contains(Point(X, Y)));
    }
    void Set(const TDrawRecord& R, int X, int Y, TColorRef C) {
        if (!In(R, X, Y)) return;
        Color[size_t(Y) * W + X] = C;
        Kind[size_t(Y) * W + X] = Exact;
    }
    void Replay(const TDrawRecord& R, TSurface& Measure) {
        switch (R.Op) {
            case TDrawOp::FillRect:
                for (int y = R.Rect.Top; y < R.Rect.Bottom; ++y)
                    for (int x = R.Rect.Left; x < R.Rect.Right; ++x) Set(R, x, y, ColorToRGB(R.Brush.Color));
                break;
            case TDrawOp::PolyPolyline: {
                // Straight one-pixel lines only; each polyline leaves out its last point.
                size_t at = 0;
                for (int n : R.Counts) {
                    for (int i = 0; i + 1 < n; ++i) {
                        TPoint a = R.Points[at + i], b = R.Points[at + i + 1];
                        const int dx = (b.X > a.X) - (b.X < a.X), dy = (b.Y > a.Y) - (b.Y < a.Y);
                        for (TPoint p = a; !(p == b); p = Point(p.X + dx, p.Y + dy))
                            Set(R, p.X, p.Y, ColorToRGB(R.Pen.Color));
                    }
                    at += size_t(n);
                }
                break;
            }
            case TDrawOp::FocusRect:
                for (int y = R.Rect.Top; y < R.Rect.Bottom; ++y)
                    for (int x = R.Rect.Left; x < R.Rect.Right; ++x) {
                        const bool edge =
                            x == R.Rect.Left || x == R.Rect.Right - 1 || y == R.Rect.Top || y == R.Rect.Bottom - 1;
                        if (edge && ((x + y) & 1) == 0 && In(R, x, y)) Color[size_t(y) * W + x] ^= White;
                    }
                break;
            case TDrawOp::Text: {
                const TSize sz = Measure.TextExtent(R.Text, R.Font);
                TRect cell = Bounds(R.Rect.Left, R.Rect.Top, sz.cx, sz.cy);
                if (R.HasTextClip) IntersectRect(cell, cell, R.TextClip);
                for (int y = cell.Top; y < cell.Bottom; ++y)
                    for (int x = cell.Left; x < cell.Right; ++x) {
                        if (!In(R, x, y)) continue;
                        const size_t i = size_t(y) * W + x;
                        if (R.Background != clNone) Color[i] = ColorToRGB(R.Background);
                        TextBackground[i] = Color[i];
                        Kind[i] = TextArea;
                    }
                break;
            }
            default: FAIL() << "the scene draws only fills, lines, focus frames and text";
        }
    }
};

struct TSceneCase {
    const char* Name;
    std::function<void(TCanvas&)> Draw;
    int MinInk;  // glyph pixels the scene's text must leave
};

class RasterScene : public ::testing::TestWithParam<TSceneCase> {};

TEST_P(RasterScene, PixelsMatchTheRecordedCalls) {
    TTeeSurface s(160, 60);
    TCanvas c(&s);
    GetParam().Draw(c);
    TExpected want(160, 60);
    for (const TDrawRecord& r : s.Rec.Records()) want.Replay(r, s.Raster);
    int wrong = 0, ink = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 160; ++x) {
            const size_t i = size_t(y) * 160 + x;
            const TColorRef got = static_cast<TColorRef>(s.Raster.GetPixel(x, y));
            if (want.Kind[i] == Exact) {
                if (got != want.Color[i] && wrong++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << got << " not " << want.Color[i];
            } else if (got != want.TextBackground[i]) {
                ++ink;
            }
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(ink, GetParam().MinInk) << "text leaves glyph pixels inside its clipped cell";
}

const AnsiString Cyrillic = rtl::UTF8ToAnsi(u8"Опись №5 ёЁ");

INSTANTIATE_TEST_SUITE_P(Qt, RasterScene,
                         ::testing::Values(TSceneCase{"FillsAndLines",
                                                      [](TCanvas& c) {
                                                          c.Brush()->SetColor(clRed);
                                                          c.FillRect(Rect(5, 5, 40, 30));
                                                          c.Pen()->SetColor(clBlue);
                                                          c.MoveTo(50, 5);
                                                          c.LineTo(90, 5);
                                                          c.LineTo(90, 40);
                                                          c.LineTo(50, 40);
                                                      },
                                                      0},
                                           TSceneCase{"ClippedRegionCutsFillsAndLines",
                                                      [](TCanvas& c) {
                                                          c.IntersectClipRect(Rect(20, 10, 70, 35));
                                                          c.Brush()->SetColor(clGreen);
                                                          c.FillRect(Rect(0, 0, 160, 60));
                                                          c.Pen()->SetColor(clNavy);
                                                          c.MoveTo(0, 20);
                                                          c.LineTo(160, 20);
                                                      },
                                                      0},
                                           TSceneCase{"EdgesAndFocusFrames",
                                                      [](TCanvas& c) {
                                                          TRect r = Rect(5, 5, 60, 40);
                                                          DrawEdge(&c, r, EDGE_SUNKEN, BF_RECT);
                                                          TRect r2 = Rect(70, 5, 120, 40);
                                                          DrawEdge(&c, r2, EDGE_RAISED, BF_RECT | BF_MIDDLE);
                                                          c.DrawFocusRect(Rect(125, 5, 155, 41));
                                                          c.DrawFocusRect(Rect(126, 10, 150, 20));
                                                          c.DrawFocusRect(Rect(126, 10, 150, 20));
                                                      },
                                                      0},
                                           TSceneCase{"OpaqueTextClippedToItsRectangle",
                                                      [](TCanvas& c) {
                                                          c.Brush()->SetColor(clYellow);
                                                          c.Font()->SetColor(clBlack);
                                                          c.TextRect(Rect(10, 10, 70, 22), 4, 2, Cyrillic);
                                                      },
                                                      30},
                                           TSceneCase{"TransparentTextUnderAClipRegion",
                                                      [](TCanvas& c) {
                                                          c.Brush()->SetColor(clSilver);
                                                          c.FillRect(Rect(0, 0, 160, 60));
                                                          c.IntersectClipRect(Rect(0, 0, 60, 60));
                                                          c.Brush()->SetStyle(bsClear);
                                                          c.Font()->SetColor(clMaroon);
                                                          c.TextOut(8, 20, Cyrillic);
                                                      },
                                                      30}),
                         [](const ::testing::TestParamInfo<TSceneCase>& I) { return std::string(I.param.Name); });

// Cyrillic comes out as its own glyphs: not as the boxes or question marks of a lost conversion.
TEST(RasterText, CyrillicDrawsItsOwnGlyphs) {
    auto ink = [](const AnsiString& Text) {
        qtback::TQtSurface s(200, 30);
        TFontData f;
        s.TextOut(2, 2, Text, f, 0, clNone, nullptr);
        std::vector<bool> mask;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 200; ++x) mask.push_back(s.GetPixel(x, y) != TColor(White));
        return mask;
    };
    const auto cyr = ink(rtl::UTF8ToAnsi(u8"Жук"));
    EXPECT_NE(cyr, ink("???"));
    EXPECT_NE(cyr, ink(rtl::UTF8ToAnsi(u8"Жуф"))) << "each letter its own glyph";
    EXPECT_GT(std::count(cyr.begin(), cyr.end(), true), 30);
}

TEST(RasterText, MetricsComeFromTheFont) {
    qtback::TQtSurface s(10, 10);
    TFontData f;  // Liberation Sans, 11 pixels of character height
    const TTextMetric tm = s.TextMetrics(f);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    // The 8-point face of the forms' layouts: a text height of about 13.
    EXPECT_GE(tm.tmHeight, 12);
    EXPECT_LE(tm.tmHeight, 14);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 11);
    EXPECT_EQ(s.TextExtent("", f).cx, 0);
    EXPECT_LT(s.TextExtent("iii", f).cx, s.TextExtent("WWW", f).cx) << "a proportional face";
    f.Style.Include(fsBold);
    EXPECT_EQ(s.TextMetrics(f).tmWeight, 700);
    // A positive height is the whole cell.
    TFontData cell;
    cell.Height = 20;
    EXPECT_NEAR(s.TextMetrics(cell).tmHeight, 20, 1);
}

// Only what was drawn is handed on to the screen.
TEST(RasterDirty, CollectsWhatWasDrawnWithinTheClip) {
    qtback::TQtSurface s(100, 100);
    (void)s.TakeDirty();
    EXPECT_FALSE(s.Dirty());
    TBrushData b;
    s.FillRect(Rect(10, 10, 20, 20), b, PATCOPY);
    s.SetPixel(50, 50, 0);
    EXPECT_EQ(s.TakeDirty(), QRegion(10, 10, 10, 10) + QRegion(50, 50, 1, 1));
    TRegion clip(Rect(0, 0, 15, 15));
    s.SetClip(&clip);
    s.FillRect(Rect(10, 10, 90, 90), b, PATCOPY);
    s.SetClip(nullptr);
    EXPECT_EQ(s.TakeDirty(), QRegion(10, 10, 5, 5));
    s.FillRect(Rect(-50, -50, -10, -10), b, PATCOPY);
    EXPECT_FALSE(s.Dirty()) << "nothing outside the raster";
}

// Bitmaps draw on the backend's raster once it is installed, and a resize keeps the pixels.
TEST(RasterFactory, BitmapsUseTheQtRaster) {
    qtback::InstallRasterFactory();
    auto r = CreateRasterSurface(30, 20);
    SetRasterFactory({});
    ASSERT_NE(dynamic_cast<qtback::TQtSurface*>(r.get()), nullptr);
    TFontData f;
    r->TextOut(0, 0, "Ab", f, 0, clNone, nullptr);
    r->SetPixel(29, 19, RGB(1, 2, 3));
    r->SetSize(40, 30);
    EXPECT_EQ(r->GetPixel(29, 19), TColor(RGB(1, 2, 3)));
    r->TextOut(0, 10, "Ab", f, 0, clNone, nullptr);  // the painter follows the new pixels
    int ink = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 0; x < 20; ++x) ink += r->GetPixel(x, y) != TColor(White);
    EXPECT_GT(ink, 5);
}

}  // namespace
}  // namespace qttest
