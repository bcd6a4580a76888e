// The backend's raster: the pixels of the drawing layer's memory raster, shared with a QImage so
// that text is drawn by QPainter with real fonts and the image can be shown without a copy.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>

#include "framework/ui/Graphics.h"

class QPainter;

namespace qtback {

// The Qt font a font description stands for; Height < 0 is the character height, Height > 0 the
// cell height (internal leading included), as the canvas reads them.
QFont MakeFont(const ui::TFontData& Font);
QString AnsiToQString(std::string_view Text);

class TQtSurface : public ui::TMemorySurface {
public:
    TQtSurface(int Width = 0, int Height = 0);
    ~TQtSurface() override;

    void SetSize(int Width, int Height) override;
    void SetClip(const ui::TRegion* Clip) override;
    void FillRect(const ui::TRect& R, const ui::TBrushData& Brush, uint32_t Rop) override;
    void PolyPolyline(const ui::TPoint* Points, const int* Counts, int Lines, const ui::TPenData& Pen) override;
    void Polygon(const ui::TPoint* Points, int Count, const ui::TPenData& Pen, const ui::TBrushData& Brush) override;
    void TextOut(int X, int Y, std::string_view Text, const ui::TFontData& Font, ui::TColorRef Color,
                 ui::TColor Background, const ui::TRect* Clip) override;
    ui::TSize TextExtent(std::string_view Text, const ui::TFontData& Font) override;
    ui::TTextMetric TextMetrics(const ui::TFontData& Font) override;
    void DrawFocusRect(const ui::TRect& R) override;
    void Blit(const ui::TRect& Dest, ui::TSurface& Source, const ui::TRect& SourceRect, uint32_t Rop,
              ui::TColor Transparent) override;
    void SetPixel(int X, int Y, ui::TColorRef Color) override;
    void MovePixels(const ui::TRect& Source, int DX, int DY) override;

    // The pixels as an image (shares the memory; valid until the next SetSize).
    const QImage& Image();
    // What was drawn since the last TakeDirty, in surface pixels.
    QRegion TakeDirty();
    bool Dirty() const noexcept { return !FDirtyRects.empty(); }

private:
    void Touch(const ui::TRect& R, bool Unclipped = false);
    QPainter& Painter();
    void EndPainter();

    QImage FImage;
    std::unique_ptr<QPainter> FPainter;
    static constexpr size_t MaxDirtyRects = 32;
    std::vector<ui::TRect> FDirtyRects;
    bool FClipped = false;
    ui::TRegion FClip;
    QRegion FQClip;
    bool FPainterClipValid = false;
};

// Installs TQtSurface as the raster factory of bitmaps (an empty factory puts back the default).
void InstallRasterFactory();

}  // namespace qtback
