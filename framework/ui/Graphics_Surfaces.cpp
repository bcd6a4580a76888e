// The recording surface and the in-memory raster surface.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/ui/Graphics.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// Recording surface

namespace {

TRect TextCell(int X, int Y, std::string_view Text, const TFontData& Font) {
    TSize ext = FixedTextExtent(Text, Font);
    if (Font.Orientation == 900) return {X, Y - ext.cx, X + ext.cy, Y};
    return {X, Y, X + ext.cx, Y + ext.cy};
}

}  // namespace

TDrawRecord& TRecordingSurface::Add(TDrawOp Op) {
    TDrawRecord& r = FRecords.emplace_back();
    r.Op = Op;
    r.Clipped = FClip != nullptr;
    r.Clip = TSharedRegion(FClip);
    return r;
}

void TRecordingSurface::SetClip(const TRegion* Clip) {
    if (!Clip) {
        FClip.reset();
        return;
    }
    // Canvases hand over their clip before every call; records share it while it stays the same.
    if (FClip && FClip->Rects() == Clip->Rects()) return;
    FClip = std::make_shared<const TRegion>(*Clip);
}

void TRecordingSurface::FillRect(const TRect& R, const TBrushData& Brush, uint32_t Rop) {
    TDrawRecord& r = Add(TDrawOp::FillRect);
    r.Rect = R;
    r.Brush = Brush;
    r.Color = Brush.Color;
    r.Rop = Rop;
}

void TRecordingSurface::PolyPolyline(const TPoint* Points, const int* Counts, int Lines, const TPenData& Pen) {
    TDrawRecord& r = Add(TDrawOp::PolyPolyline);
    int total = 0;
    for (int i = 0; i < Lines; ++i) total += Counts[i];
    r.Points.assign(Points, Points + total);
    r.Counts.assign(Counts, Counts + Lines);
    r.Pen = Pen;
    r.Color = Pen.Color;
}

void TRecordingSurface::Polygon(const TPoint* Points, int Count, const TPenData& Pen, const TBrushData& Brush) {
    TDrawRecord& r = Add(TDrawOp::Polygon);
    r.Points.assign(Points, Points + Count);
    r.Pen = Pen;
    r.Brush = Brush;
    r.Color = Brush.Color;
}

void TRecordingSurface::TextOut(int X, int Y, std::string_view Text, const TFontData& Font, TColorRef Color,
                                TColor Background, const TRect* Clip) {
    TDrawRecord& r = Add(TDrawOp::Text);
    r.Rect = TextCell(X, Y, Text, Font);
    r.Text.assign(Text);
    r.Font = Font;
    r.Color = static_cast<TColor>(Color);
    r.Background = Background;
    r.HasTextClip = Clip != nullptr;
    if (Clip) r.TextClip = *Clip;
}

TSize TRecordingSurface::TextExtent(std::string_view Text, const TFontData& Font) {
    return FixedTextExtent(Text, Font);
}

TTextMetric TRecordingSurface::TextMetrics(const TFontData& Font) { return FixedTextMetrics(Font); }

void TRecordingSurface::DrawFocusRect(const TRect& R) { Add(TDrawOp::FocusRect).Rect = R; }

void TRecordingSurface::Blit(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop,
                             TColor Transparent) {
    TDrawRecord& r = Add(TDrawOp::Blit);
    r.Rect = Dest;
    r.Source = &Source;
    r.SourceRect = SourceRect;
    r.Rop = Rop;
    r.Transparent = Transparent;
}

void TRecordingSurface::MovePixels(const TRect& Source, int DX, int DY) {
    TDrawRecord& r = Add(TDrawOp::Blit);
    r.Rect = Source;
    r.Rect.Offset(DX, DY);
    r.Source = this;
    r.SourceRect = Source;
    r.Rop = SRCCOPY;
    r.Clipped = false;
    r.Clip = {};
}

TColor TRecordingSurface::GetPixel(int, int) { return clNone; }

void TRecordingSurface::SetPixel(int X, int Y, TColorRef Color) {
    TDrawRecord& r = Add(TDrawOp::SetPixel);
    r.Rect = {X, Y, X + 1, Y + 1};
    r.Color = static_cast<TColor>(Color);
}

std::vector<std::string> TRecordingSurface::Texts() const {
    std::vector<std::string> out;
    for (const TDrawRecord& r : FRecords)
        if (r.Op == TDrawOp::Text) out.push_back(r.Text);
    return out;
}

std::vector<const TDrawRecord*> TRecordingSurface::OfKind(TDrawOp Op) const {
    std::vector<const TDrawRecord*> out;
    for (const TDrawRecord& r : FRecords)
        if (r.Op == Op) out.push_back(&r);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Memory surface

namespace {

constexpr uint32_t White = 0xFFFFFF;

// Pixels are $00RRGGBB; colour references $00BBGGRR.
constexpr uint32_t ToPixel(TColorRef C) noexcept {
    return (uint32_t(GetRValue(C)) << 16) | (uint32_t(GetGValue(C)) << 8) | GetBValue(C);
}
constexpr TColorRef FromPixel(uint32_t P) noexcept { return RGB(uint8_t(P >> 16), uint8_t(P >> 8), uint8_t(P)); }

uint32_t PenOp(TPenMode Mode, uint32_t P, uint32_t D) noexcept {
    uint32_t r;
    switch (Mode) {
        case pmBlack: r = 0; break;
        case pmWhite: r = ~0u; break;
        case pmNop: r = D; break;
        case pmNot: r = ~D; break;
        case pmCopy: r = P; break;
        case pmNotCopy: r = ~P; break;
        case pmMergePenNot: r = P | ~D; break;
        case pmMaskPenNot: r = P & ~D; break;
        case pmMergeNotPen: r = ~P | D; break;
        case pmMaskNotPen: r = ~P & D; break;
        case pmMerge: r = P | D; break;
        case pmNotMerge: r = ~(P | D); break;
        case pmMask: r = P & D; break;
        case pmNotMask: r = ~(P & D); break;
        case pmXor: r = P ^ D; break;
        case pmNotXor: r = ~(P ^ D); break;
        default: r = P; break;
    }
    return r & White;
}

uint32_t PatternOp(uint32_t Rop, uint32_t P, uint32_t D) noexcept {
    switch (Rop) {
        case PATINVERT: return (P ^ D) & White;
        case DSTINVERT: return ~D & White;
        case BLACKNESS: return 0;
        case WHITENESS: return White;
        default: return P & White;
    }
}

uint32_t SourceOp(uint32_t Rop, uint32_t S, uint32_t D) noexcept {
    switch (Rop) {
        case SRCPAINT: return (S | D) & White;
        case SRCAND: return S & D;
        case SRCINVERT: return (S ^ D) & White;
        case SRCERASE: return S & ~D & White;
        case NOTSRCCOPY: return ~S & White;
        case NOTSRCERASE: return ~(S | D) & White;
        case MERGEPAINT: return (~S | D) & White;
        case DSTINVERT: return ~D & White;
        case BLACKNESS: return 0;
        case WHITENESS: return White;
        default: return S & White;
    }
}

bool HatchHit(TBrushStyle Style, int X, int Y) noexcept {
    int x = X & 7, y = Y & 7;
    switch (Style) {
        case bsHorizontal: return y == 0;
        case bsVertical: return x == 0;
        case bsFDiagonal: return ((x - y) & 7) == 0;
        case bsBDiagonal: return ((x + y) & 7) == 7;
        case bsCross: return x == 0 || y == 0;
        case bsDiagCross: return ((x - y) & 7) == 0 || ((x + y) & 7) == 7;
        default: return true;
    }
}

// On/off runs of the cosmetic dash styles.
const std::vector<int>& DashPattern(TPenStyle Style) {
    static const std::vector<int> solid, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
    switch (Style) {
        case psDash: return dash;
        case psDot: return dot;
        case psDashDot: return dashDot;
        case psDashDotDot: return dashDotDot;
        default: return solid;
    }
}

bool DashOn(const std::vector<int>& Pattern, int Phase) {
    if (Pattern.empty()) return true;
    int total = 0;
    for (int n : Pattern) total += n;
    int p = Phase % total;
    for (size_t i = 0; i < Pattern.size(); ++i) {
        if (p < Pattern[i]) return i % 2 == 0;
        p -= Pattern[i];
    }
    return true;
}

}  // namespace

namespace {
void CheckRasterSize(int Width, int Height) {
    if (int64_t(Width) * Height > MaxRasterPixels) throw rtl::EOutOfResources("Out of system resources");
}
}  // namespace

TMemorySurface::TMemorySurface(int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    CheckRasterSize(Width, Height);
    FWidth = Width;
    FHeight = Height;
    FPixels.assign(size_t(Width) * Height, White);
}

void TMemorySurface::SetSize(int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    if (Width == FWidth && Height == FHeight) return;
    CheckRasterSize(Width, Height);
    std::vector<uint32_t> next(size_t(Width) * Height, White);
    for (int y = 0; y < std::min(Height, FHeight); ++y)
        std::copy_n(FPixels.begin() + size_t(y) * FWidth, std::min(Width, FWidth), next.begin() + size_t(y) * Width);
    FPixels.swap(next);
    FWidth = Width;
    FHeight = Height;
}

void TMemorySurface::SetClip(const TRegion* Clip) {
    FClipped = Clip != nullptr;
    if (Clip)
        FClip = *Clip;
    else
        FClip.Clear();
}

bool TMemorySurface::Visible(int X, int Y) const noexcept {
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return false;
    return !FClipped || FClip.Contains({X, Y});
}

uint32_t* TMemorySurface::ScanLine(int Y) {
    if (Y < 0 || Y >= FHeight) throw rtl::ERangeError("Scan line index out of range");
    return FPixels.data() + size_t(Y) * FWidth;
}

void TMemorySurface::Plot(int X, int Y, TColorRef Color, TPenMode Mode) {
    if (!Visible(X, Y)) return;
    uint32_t& d = FPixels[size_t(Y) * FWidth + X];
    d = PenOp(Mode, ToPixel(Color), d);
}

void TMemorySurface::Span(int X1, int X2, int Y, const TBrushData& Brush, uint32_t Rop) {
    uint32_t* row = FPixels.data() + size_t(Y) * FWidth;
    const TRasterSurface* pattern = Brush.Bitmap ? Brush.Bitmap->SurfaceIfAllocated() : nullptr;
    int pw = pattern ? pattern->Width() : 0, ph = pattern ? pattern->Height() : 0;
    uint32_t solid = ToPixel(ColorToRGB(Brush.Color));
    for (int x = X1; x < X2; ++x) {
        uint32_t p = solid;
        if (pw > 0 && ph > 0) {
            p = const_cast<TRasterSurface*>(pattern)->ScanLine(Y % ph)[x % pw] & White;
        } else if (Brush.Style != bsSolid && !HatchHit(Brush.Style, x, Y)) {
            continue;  // hatch gaps keep what is below
        }
        row[x] = PatternOp(Rop, p, row[x]);
    }
}

void TMemorySurface::FillRect(const TRect& R, const TBrushData& Brush, uint32_t Rop) {
    if (Brush.Style == bsClear && Rop == PATCOPY) return;
    TRect area;
    if (!IntersectRect(area, R.Normalized(), Rect(0, 0, FWidth, FHeight))) return;
    auto fill = [&](const TRect& A) {
        for (int y = A.Top; y < A.Bottom; ++y) Span(A.Left, A.Right, y, Brush, Rop);
    };
    if (!FClipped) {
        fill(area);
        return;
    }
    for (const TRect& c : FClip.Rects()) {
        TRect part;
        if (IntersectRect(part, area, c)) fill(part);
    }
}

void TMemorySurface::Line(TPoint A, TPoint B, const TPenData& Pen, int& DashPhase) {
    const std::vector<int>& pattern = DashPattern(Pen.Style);
    int w = std::max(Pen.Width, 1);
    int dx = std::abs(B.X - A.X), dy = -std::abs(B.Y - A.Y);
    int sx = A.X < B.X ? 1 : -1, sy = A.Y < B.Y ? 1 : -1;
    bool horizontal = A.Y == B.Y, vertical = A.X == B.X;
    int err = dx + dy;
    int x = A.X, y = A.Y;
    TColorRef color = ColorToRGB(Pen.Color);
    // A line wholly off the surface draws nothing; stepping through it would only cost time.
    const int reach = w;
    if (std::max(A.X, B.X) < -reach || std::min(A.X, B.X) >= FWidth + reach || std::max(A.Y, B.Y) < -reach ||
        std::min(A.Y, B.Y) >= FHeight + reach) {
        DashPhase += std::max(dx, -dy);
        return;
    }
    // Straight runs start and stop at the surface edge (the dash phase moves on as if drawn).
    if (horizontal && std::abs(B.X - A.X) > FWidth + 2 * reach) {
        int from = std::clamp(A.X, -reach, FWidth + reach), to = std::clamp(B.X, -reach, FWidth + reach);
        DashPhase += std::abs(from - A.X);
        A.X = x = from;
        B.X = to;
        dx = std::abs(B.X - A.X);
        sx = A.X < B.X ? 1 : -1;
        err = dx + dy;
    } else if (vertical && std::abs(B.Y - A.Y) > FHeight + 2 * reach) {
        int from = std::clamp(A.Y, -reach, FHeight + reach), to = std::clamp(B.Y, -reach, FHeight + reach);
        DashPhase += std::abs(from - A.Y);
        A.Y = y = from;
        B.Y = to;
        dy = -std::abs(B.Y - A.Y);
        sy = A.Y < B.Y ? 1 : -1;
        err = dx + dy;
    }
    while (!(x == B.X && y == B.Y)) {
        if (DashOn(pattern, DashPhase)) {
            if (w == 1) {
                Plot(x, y, color, Pen.Mode);
            } else if (Pen.EndCap == pecFlat && horizontal) {
                for (int k = 0; k < w; ++k) Plot(x, y - w / 2 + k, color, Pen.Mode);
            } else if (Pen.EndCap == pecFlat && vertical) {
                for (int k = 0; k < w; ++k) Plot(x - w / 2 + k, y, color, Pen.Mode);
            } else {
                for (int j = 0; j < w; ++j)
                    for (int k = 0; k < w; ++k) Plot(x - w / 2 + k, y - w / 2 + j, color, Pen.Mode);
            }
        }
        ++DashPhase;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void TMemorySurface::PolyPolyline(const TPoint* Points, const int* Counts, int Lines, const TPenData& Pen) {
    if (Pen.Style == psClear) return;
    const TPoint* p = Points;
    for (int i = 0; i < Lines; ++i) {
        int phase = 0;
        for (int k = 0; k + 1 < Counts[i]; ++k) Line(p[k], p[k + 1], Pen, phase);
        p += Counts[i];
    }
}

void TMemorySurface::Polygon(const TPoint* Points, int Count, const TPenData& Pen, const TBrushData& Brush) {
    if (Count < 2) return;
    if (Brush.Style != bsClear) {
        const TRect bounds = Rect(0, 0, FWidth, FHeight);
        TRegion area = TRegion::FromPolygon(Points, Count, &bounds);
        if (FClipped) area.Intersect(FClip);
        for (const TRect& r : area.Rects())
            for (int y = r.Top; y < r.Bottom; ++y) Span(r.Left, r.Right, y, Brush, PATCOPY);
    }
    if (Pen.Style != psClear) {
        std::vector<TPoint> closed(Points, Points + Count);
        closed.push_back(Points[0]);
        int n = Count + 1;
        PolyPolyline(closed.data(), &n, 1, Pen);
    }
}

void TMemorySurface::TextOut(int X, int Y, std::string_view Text, const TFontData& Font, TColorRef Color,
                             TColor Background, const TRect* Clip) {
    TTextMetric tm = FixedTextMetrics(Font);
    const int h = tm.tmHeight, cw = tm.tmAveCharWidth;
    const bool upward = Font.Orientation == 900;
    // Temporarily narrow the clip to the text clip rectangle.
    bool savedClipped = FClipped;
    TRegion saved = FClip;
    if (Clip) {
        if (!FClipped) {
            FClip = TRegion(*Clip);
            FClipped = true;
        } else {
            FClip.Intersect(*Clip);
        }
    }
    auto cell = [&](int i) {
        return upward ? TRect{X, Y - (i + 1) * cw, X + h, Y - i * cw} : TRect{X + i * cw, Y, X + (i + 1) * cw, Y + h};
    };
    TBrushData solid;
    for (size_t i = 0; i < Text.size(); ++i) {
        TRect c = cell(int(i));
        if (Background != clNone) {
            solid.Color = Background;
            FillRect(c, solid, PATCOPY);
        }
        unsigned char ch = static_cast<unsigned char>(Text[i]);
        if (ch > ' ') {
            solid.Color = static_cast<TColor>(Color);
            TRect glyph = upward ? TRect{c.Left + h / 4, c.Top + 1, c.Left + tm.tmAscent, c.Bottom - 1}
                                 : TRect{c.Left + 1, c.Top + h / 4, c.Right - 1, c.Top + tm.tmAscent};
            FillRect(glyph, solid, PATCOPY);
        }
        if (Font.Style.Contains(fsUnderline) && !upward) {
            solid.Color = static_cast<TColor>(Color);
            FillRect({c.Left, c.Top + tm.tmAscent + 1, c.Right, c.Top + tm.tmAscent + 2}, solid, PATCOPY);
        }
    }
    FClipped = savedClipped;
    FClip = std::move(saved);
}

TSize TMemorySurface::TextExtent(std::string_view Text, const TFontData& Font) { return FixedTextExtent(Text, Font); }

TTextMetric TMemorySurface::TextMetrics(const TFontData& Font) { return FixedTextMetrics(Font); }

void TMemorySurface::DrawFocusRect(const TRect& R) {
    TRect r = R.Normalized();
    if (r.IsEmpty()) return;
    auto flip = [&](int x, int y) {
        if (((x + y) & 1) == 0 && Visible(x, y)) FPixels[size_t(y) * FWidth + x] ^= White;
    };
    for (int x = r.Left; x < r.Right; ++x) {
        flip(x, r.Top);
        if (r.Bottom - 1 > r.Top) flip(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        flip(r.Left, y);
        if (r.Right - 1 > r.Left) flip(r.Right - 1, y);
    }
}

void TMemorySurface::MovePixels(const TRect& Source, int DX, int DY) {
    // Both the source and where it lands are kept inside the raster.
    TRect src;
    if (!IntersectRect(src, Source, Rect(0, 0, FWidth, FHeight))) return;
    TRect dst = src;
    dst.Offset(DX, DY);
    if (!IntersectRect(dst, dst, Rect(0, 0, FWidth, FHeight))) return;
    src = dst;
    src.Offset(-DX, -DY);
    const size_t bytes = size_t(dst.Width()) * sizeof(uint32_t);
    // Rows are copied in the order that reads each source row before it is overwritten.
    if (DY > 0) {
        for (int y = dst.Height() - 1; y >= 0; --y)
            std::memmove(ScanLine(dst.Top + y) + dst.Left, ScanLine(src.Top + y) + src.Left, bytes);
    } else {
        for (int y = 0; y < dst.Height(); ++y)
            std::memmove(ScanLine(dst.Top + y) + dst.Left, ScanLine(src.Top + y) + src.Left, bytes);
    }
}

void TMemorySurface::Blit(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop,
                          TColor Transparent) {
    TRect d = Dest.Normalized(), s = SourceRect.Normalized();
    if (d.IsEmpty() || s.IsEmpty()) return;
    const bool keyed = Transparent != clNone;
    auto* raster = dynamic_cast<TRasterSurface*>(&Source);
    // An unscaled copy from another raster (a cached bitmap onto its target) reads the source rows
    // in place: no copy of the source, no per-pixel look-ups.
    if (raster && raster != this && !keyed && d.Width() == s.Width() && d.Height() == s.Height() && s.Left >= 0 &&
        s.Top >= 0 && s.Right <= Source.Width() && s.Bottom <= Source.Height()) {
        const int x0 = std::max(d.Left, 0), x1 = std::min(d.Right, FWidth);
        for (int y = std::max(d.Top, 0); y < std::min(d.Bottom, FHeight); ++y) {
            const uint32_t* from = raster->ScanLine(s.Top + (y - d.Top)) + (s.Left - d.Left);
            uint32_t* to = FPixels.data() + size_t(y) * FWidth;
            if (!FClipped && Rop == SRCCOPY) {
                for (int x = x0; x < x1; ++x) to[x] = from[x] & White;
            } else {
                for (int x = x0; x < x1; ++x)
                    if (!FClipped || FClip.Contains({x, y})) to[x] = SourceOp(Rop, from[x] & White, to[x]);
            }
        }
        return;
    }
    // Read the source first: it may be this surface, overlapping the destination.
    std::vector<uint32_t> src(size_t(s.Width()) * s.Height());
    std::vector<bool> have(src.size(), true);
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            int sx = s.Left + x, sy = s.Top + y;
            size_t i = size_t(y) * s.Width() + x;
            if (sx < 0 || sy < 0 || sx >= Source.Width() || sy >= Source.Height()) {
                have[i] = false;
            } else if (raster) {
                src[i] = raster->ScanLine(sy)[sx] & White;
            } else {
                TColor c = Source.GetPixel(sx, sy);
                if (c == clNone)
                    have[i] = false;
                else
                    src[i] = ToPixel(static_cast<TColorRef>(c));
            }
        }
    const uint32_t key = keyed ? ToPixel(ColorToRGB(Transparent)) : 0;
    for (int y = d.Top; y < d.Bottom; ++y) {
        int sy = int(int64_t(y - d.Top) * s.Height() / d.Height());
        for (int x = d.Left; x < d.Right; ++x) {
            if (!Visible(x, y)) continue;
            int sx = int(int64_t(x - d.Left) * s.Width() / d.Width());
            size_t i = size_t(sy) * s.Width() + sx;
            if (!have[i]) continue;
            if (keyed && src[i] == key) continue;
            uint32_t& px = FPixels[size_t(y) * FWidth + x];
            px = SourceOp(Rop, src[i], px);
        }
    }
}

TColor TMemorySurface::GetPixel(int X, int Y) {
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return clNone;
    return static_cast<TColor>(FromPixel(FPixels[size_t(Y) * FWidth + X]));
}

void TMemorySurface::SetPixel(int X, int Y, TColorRef Color) { Plot(X, Y, Color, pmCopy); }

}  // namespace ui
