#include "framework/qt/QtSurface.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include <QFontMetrics>
#include <QPainter>
#include <QTransform>

#include "framework/rtl/Text.h"

namespace qtback {

namespace {

struct TFontEntry {
    ui::TFontData Key;
    QFont Font;
    QFontMetrics Metrics;
    ui::TTextMetric Tm;
    // Advances of the 256 characters of 1251: measuring a string is then a sum, not a shaping.
    mutable double Advance[256];
    mutable bool HaveAdvances = false;

    int Width(std::string_view Text) const {
        if (!HaveAdvances) {
            const QFontMetricsF fm(Font);
            for (int c = 0; c < 256; ++c)
                Advance[c] = fm.horizontalAdvance(QChar(char16_t(rtl::AnsiCharToWide(char(c)))));
            HaveAdvances = true;
        }
        double w = 0;
        for (char c : Text) w += Advance[uint8_t(c)];
        return int(std::lround(w));
    }
};

QFont BuildFont(const ui::TFontData& F, int PixelSize) {
    QFont f(QString::fromUtf8(rtl::AnsiToUTF8(F.Name)));
    f.setPixelSize(std::max(PixelSize, 1));
    f.setBold(F.Style.Contains(ui::fsBold));
    f.setItalic(F.Style.Contains(ui::fsItalic));
    f.setUnderline(F.Style.Contains(ui::fsUnderline));
    f.setStrikeOut(F.Style.Contains(ui::fsStrikeOut));
    if (F.Pitch == ui::fpFixed) f.setFixedPitch(true);
    f.setKerning(false);
    return f;
}

// Fonts are looked up on every text call; a handful are in use at a time.
const TFontEntry& FontEntry(const ui::TFontData& F) {
    static std::deque<TFontEntry> cache;
    for (const TFontEntry& e : cache)
        if (e.Key == F) return e;
    int pixels = F.Height < 0 ? -F.Height : F.Height;
    if (F.Height > 0) {
        // A positive height is the whole cell: scale the character size so ascent + descent fit it.
        const QFontMetrics probe(BuildFont(F, 100));
        const int cell = std::max(probe.ascent() + probe.descent(), 1);
        pixels = std::max(1, int(std::lround(F.Height * 100.0 / cell)));
    }
    if (pixels == 0) pixels = -ui::DefaultFontHeight;
    QFont font = BuildFont(F, pixels);
    QFontMetrics fm(font);
    ui::TTextMetric tm;
    tm.tmAscent = fm.ascent();
    tm.tmDescent = fm.descent();
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - pixels);
    tm.tmExternalLeading = std::max(0, fm.leading());
    tm.tmAveCharWidth = std::max(1, fm.averageCharWidth());
    tm.tmMaxCharWidth = std::max(tm.tmAveCharWidth, fm.maxWidth());
    tm.tmWeight = F.Style.Contains(ui::fsBold) ? 700 : 400;
    tm.tmItalic = F.Style.Contains(ui::fsItalic);
    if (cache.size() >= 64) cache.pop_front();
    cache.push_back(TFontEntry{F, font, fm, tm, {}, false});
    return cache.back();
}

QRegion ToQRegion(const ui::TRegion& R) {
    QRegion q;
    for (const ui::TRect& r : R.Rects()) q += QRect(r.Left, r.Top, r.Width(), r.Height());
    return q;
}

}  // namespace

QString AnsiToQString(std::string_view Text) {
    QString s(qsizetype(Text.size()), Qt::Uninitialized);
    QChar* d = s.data();
    for (size_t i = 0; i < Text.size(); ++i) d[i] = QChar(char16_t(rtl::AnsiCharToWide(Text[i])));
    return s;
}

QFont MakeFont(const ui::TFontData& Font) { return FontEntry(Font).Font; }

TQtSurface::TQtSurface(int Width, int Height) : ui::TMemorySurface(Width, Height) {}

TQtSurface::~TQtSurface() { EndPainter(); }

void TQtSurface::EndPainter() {
    if (FPainter) FPainter->end();
    FPainter.reset();
    FImage = QImage();
}

const QImage& TQtSurface::Image() {
    if (FImage.isNull() && Width() > 0 && Height() > 0) {
        // Shares the raster's memory: words are 0x00RRGGBB, which RGB32 reads as opaque colours.
        FImage = QImage(reinterpret_cast<uchar*>(ScanLine(0)), Width(), Height(), Stride() * 4, QImage::Format_RGB32);
    }
    return FImage;
}

QPainter& TQtSurface::Painter() {
    if (!FPainter) {
        Image();
        FPainter = std::make_unique<QPainter>(&FImage);
        FPainterClipValid = false;
    }
    if (!FPainterClipValid) {
        if (FClipped)
            FPainter->setClipRegion(FQClip);
        else
            FPainter->setClipping(false);
        FPainterClipValid = true;
    }
    return *FPainter;
}

void TQtSurface::SetSize(int Width, int Height) {
    if (Width == this->Width() && Height == this->Height()) return;
    EndPainter();
    ui::TMemorySurface::SetSize(Width, Height);
    FDirtyRects.assign(1, ui::TRect{0, 0, this->Width(), this->Height()});
}

void TQtSurface::SetClip(const ui::TRegion* Clip) {
    // The canvas hands its clip over before every call; most often it is the one in force.
    if (Clip == nullptr && !FClipped) return;
    if (Clip != nullptr && FClipped && Clip->Rects() == FClip.Rects()) return;
    ui::TMemorySurface::SetClip(Clip);
    FClipped = Clip != nullptr;
    if (Clip) {
        FClip = *Clip;
        FQClip = ToQRegion(*Clip);
    } else {
        FClip.Clear();
        FQClip = QRegion();
    }
    FPainterClipValid = false;
}

void TQtSurface::Touch(const ui::TRect& R, bool Unclipped) {
    ui::TRect r = R.Normalized();
    ui::TRect bounds{0, 0, Width(), Height()};
    if (!ui::IntersectRect(r, r, bounds)) return;
    if (FClipped && !Unclipped) {
        const ui::TRect c = FClip.Bounds();
        if (!ui::IntersectRect(r, r, c)) return;
    }
    // A painted window touches thousands of small rectangles, mostly inside its erased background:
    // keep a few rectangles and fall back to their bounding box.
    for (const ui::TRect& d : FDirtyRects)
        if (d.Contains(r)) return;
    if (FDirtyRects.size() >= MaxDirtyRects) {
        ui::TRect all = r;
        for (const ui::TRect& d : FDirtyRects) ui::UnionRect(all, all, d);
        FDirtyRects.assign(1, all);
        return;
    }
    FDirtyRects.push_back(r);
}

QRegion TQtSurface::TakeDirty() {
    QRegion q;
    for (const ui::TRect& d : FDirtyRects) q += QRect(d.Left, d.Top, d.Width(), d.Height());
    FDirtyRects.clear();
    return q;
}

void TQtSurface::FillRect(const ui::TRect& R, const ui::TBrushData& Brush, uint32_t Rop) {
    Touch(R);
    if (Rop != ui::PATCOPY || Brush.Style != ui::bsSolid || Brush.Bitmap) {
        ui::TMemorySurface::FillRect(R, Brush, Rop);
        return;
    }
    // Solid fills are most of what windows paint (backgrounds, cells): whole rows at a time.
    ui::TRect area;
    if (!ui::IntersectRect(area, R.Normalized(), ui::TRect{0, 0, Width(), Height()})) return;
    const ui::TColorRef c = ui::ColorToRGB(Brush.Color);
    const uint32_t pixel = (uint32_t(ui::GetRValue(c)) << 16) | (uint32_t(ui::GetGValue(c)) << 8) | ui::GetBValue(c);
    const auto fill = [&](const ui::TRect& A) {
        for (int y = A.Top; y < A.Bottom; ++y) std::fill_n(ScanLine(y) + A.Left, A.Width(), pixel);
    };
    if (!FClipped) {
        fill(area);
        return;
    }
    for (const ui::TRect& r : FClip.Rects()) {
        ui::TRect part;
        if (ui::IntersectRect(part, area, r)) fill(part);
    }
}

static ui::TRect PointsBounds(const ui::TPoint* Points, int Count, int Grow) {
    if (Count <= 0) return {};
    ui::TRect r{Points[0].X, Points[0].Y, Points[0].X, Points[0].Y};
    for (int i = 1; i < Count; ++i) {
        r.Left = std::min(r.Left, Points[i].X);
        r.Top = std::min(r.Top, Points[i].Y);
        r.Right = std::max(r.Right, Points[i].X);
        r.Bottom = std::max(r.Bottom, Points[i].Y);
    }
    r.Inflate(Grow, Grow);
    r.Right += 1;
    r.Bottom += 1;
    return r;
}

void TQtSurface::PolyPolyline(const ui::TPoint* Points, const int* Counts, int Lines, const ui::TPenData& Pen) {
    ui::TMemorySurface::PolyPolyline(Points, Counts, Lines, Pen);
    int total = 0;
    for (int i = 0; i < Lines; ++i) total += std::max(Counts[i], 0);
    Touch(PointsBounds(Points, total, Pen.Width));
}

void TQtSurface::Polygon(const ui::TPoint* Points, int Count, const ui::TPenData& Pen, const ui::TBrushData& Brush) {
    ui::TMemorySurface::Polygon(Points, Count, Pen, Brush);
    Touch(PointsBounds(Points, Count, Pen.Width));
}

void TQtSurface::TextOut(int X, int Y, std::string_view Text, const ui::TFontData& Font, ui::TColorRef Color,
                         ui::TColor Background, const ui::TRect* Clip) {
    if (Width() <= 0 || Height() <= 0) return;
    const TFontEntry& f = FontEntry(Font);
    const QString s = AnsiToQString(Text);
    const int w = f.Width(Text);
    const int h = f.Tm.tmHeight;
    if (Clip && FPainter) FPainterClipValid = true;  // replaced by the text's own clip below
    QPainter& p = Painter();
    const bool rotated = Font.Orientation % 3600 != 0;
    ui::TRect cell = ui::Bounds(X, Y, w, h);
    if (rotated) {
        // The cell turns around its top-left corner; the dirty area is its bounding box.
        const double a = -Font.Orientation * M_PI / 1800.0;
        QTransform t;
        t.translate(X, Y);
        t.rotateRadians(a);
        const QRect b = t.mapRect(QRect(0, 0, w, h));
        cell = ui::Bounds(b.left(), b.top(), b.width() + 1, b.height() + 1);
    }
    if (Clip) {
        const QRect c(Clip->Left, Clip->Top, Clip->Width(), Clip->Height());
        if (!FClipped)
            p.setClipRect(c);
        else if (FQClip.rectCount() == 1)
            p.setClipRect(FQClip.boundingRect() & c);
        else
            p.setClipRegion(FQClip & c);
        FPainterClipValid = false;  // the next call puts the surface's clip back
        ui::IntersectRect(cell, cell, *Clip);
    }
    p.setFont(f.Font);
    if (rotated) {
        p.save();
        p.translate(X, Y);
        p.rotate(-Font.Orientation / 10.0);
        if (Background != ui::clNone)
            p.fillRect(QRect(0, 0, w, h),
                       QColor(ui::GetRValue(ui::ColorToRGB(Background)), ui::GetGValue(ui::ColorToRGB(Background)),
                              ui::GetBValue(ui::ColorToRGB(Background))));
        p.setPen(QColor(ui::GetRValue(Color), ui::GetGValue(Color), ui::GetBValue(Color)));
        p.drawText(0, f.Tm.tmAscent, s);
        p.restore();
    } else {
        if (Background != ui::clNone) {
            const ui::TColorRef b = ui::ColorToRGB(Background);
            p.fillRect(QRect(X, Y, w, h), QColor(ui::GetRValue(b), ui::GetGValue(b), ui::GetBValue(b)));
        }
        p.setPen(QColor(ui::GetRValue(Color), ui::GetGValue(Color), ui::GetBValue(Color)));
        p.drawText(X, Y + f.Tm.tmAscent, s);
    }
    Touch(cell);
}

ui::TSize TQtSurface::TextExtent(std::string_view Text, const ui::TFontData& Font) {
    const TFontEntry& f = FontEntry(Font);
    return {f.Width(Text), f.Tm.tmHeight};
}

ui::TTextMetric TQtSurface::TextMetrics(const ui::TFontData& Font) { return FontEntry(Font).Tm; }

void TQtSurface::DrawFocusRect(const ui::TRect& R) {
    ui::TMemorySurface::DrawFocusRect(R);
    Touch(R);
}

void TQtSurface::Blit(const ui::TRect& Dest, ui::TSurface& Source, const ui::TRect& SourceRect, uint32_t Rop,
                      ui::TColor Transparent) {
    ui::TMemorySurface::Blit(Dest, Source, SourceRect, Rop, Transparent);
    Touch(Dest);
}

void TQtSurface::SetPixel(int X, int Y, ui::TColorRef Color) {
    ui::TMemorySurface::SetPixel(X, Y, Color);
    Touch(ui::Bounds(X, Y, 1, 1));
}

void TQtSurface::MovePixels(const ui::TRect& Source, int DX, int DY) {
    // The painter draws straight into the shared pixels; nothing it holds is pending.
    ui::TMemorySurface::MovePixels(Source, DX, DY);
    ui::TRect dst = Source;
    dst.Offset(DX, DY);
    Touch(dst, true);
}

void InstallRasterFactory() {
    ui::SetRasterFactory([](int Width, int Height) -> std::unique_ptr<ui::TRasterSurface> {
        return std::make_unique<TQtSurface>(Width, Height);
    });
}

}  // namespace qtback
