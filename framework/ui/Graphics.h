// Geometry, colours, regions, fonts, pens, brushes, the canvas and the surfaces it draws on.
//
// A TCanvas keeps the drawing state (pen, brush, font, clip region, mapping, text colours) and hands
// each call, in device pixels and with colours resolved to RGB, to a TSurface. Two surfaces exist
// here: TRecordingSurface, which keeps a list of what was drawn and measures text with fixed metrics
// for logic tests, and TMemorySurface, a 32-bit raster in memory for pixel tests and bitmaps. The
// display backend implements TRasterSurface over its own image and may replace the raster factory.
//
// A device context of the window system is a TCanvas here (HDC is TCanvas*), so the free drawing
// routines keep their familiar shape: DrawEdge(dc, rect, edge, flags).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace ui {

using rtl::AnsiString;

// ---------------------------------------------------------------------------------------------
// Geometry

struct TPoint {
    int X = 0;
    int Y = 0;
    friend constexpr bool operator==(TPoint, TPoint) = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend constexpr bool operator==(TSize, TSize) = default;
};

// Right and Bottom are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const noexcept { return Right - Left; }
    constexpr int Height() const noexcept { return Bottom - Top; }
    constexpr TPoint TopLeft() const noexcept { return {Left, Top}; }
    constexpr TPoint BottomRight() const noexcept { return {Right, Bottom}; }
    // Empty when it covers no pixel (also when inverted).
    constexpr bool IsEmpty() const noexcept { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(TPoint P) const noexcept {
        return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom;
    }
    // True when R lies wholly inside this rectangle.
    constexpr bool Contains(const TRect& R) const noexcept {
        return R.Left >= Left && R.Top >= Top && R.Right <= Right && R.Bottom <= Bottom;
    }
    constexpr bool Intersects(const TRect& R) const noexcept {
        return R.Left < Right && Left < R.Right && R.Top < Bottom && Top < R.Bottom && !IsEmpty() && !R.IsEmpty();
    }
    constexpr void Offset(int DX, int DY) noexcept {
        Left += DX;
        Right += DX;
        Top += DY;
        Bottom += DY;
    }
    constexpr void Inflate(int DX, int DY) noexcept {
        Left -= DX;
        Right += DX;
        Top -= DY;
        Bottom += DY;
    }
    // Left <= Right and Top <= Bottom.
    constexpr TRect Normalized() const noexcept {
        TRect r = *this;
        if (r.Left > r.Right) std::swap(r.Left, r.Right);
        if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
        return r;
    }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int X, int Y) noexcept { return {X, Y}; }
constexpr TRect Rect(int Left, int Top, int Right, int Bottom) noexcept { return {Left, Top, Right, Bottom}; }
constexpr TRect Bounds(int Left, int Top, int Width, int Height) noexcept {
    return {Left, Top, Left + Width, Top + Height};
}
constexpr bool PtInRect(const TRect& R, TPoint P) noexcept { return R.Contains(P); }
constexpr bool IsRectEmpty(const TRect& R) noexcept { return R.IsEmpty(); }
// The common part; an empty result is (0, 0, 0, 0) and answers False.
bool IntersectRect(TRect& Dest, const TRect& A, const TRect& B) noexcept;
// The smallest rectangle holding both; an empty operand is ignored.
bool UnionRect(TRect& Dest, const TRect& A, const TRect& B) noexcept;
inline void OffsetRect(TRect& R, int DX, int DY) noexcept { R.Offset(DX, DY); }
inline void InflateRect(TRect& R, int DX, int DY) noexcept { R.Inflate(DX, DY); }

// Number * Numerator / Denominator through a 64-bit product, halves rounded away from zero; -1 when
// Denominator is 0 or the result does not fit.
int MulDiv(int Number, int Numerator, int Denominator) noexcept;

// ---------------------------------------------------------------------------------------------
// Regions: a set of pixels kept as disjoint rectangles, in device coordinates.

class TRegion {
public:
    TRegion() = default;
    explicit TRegion(const TRect& R);
    // Pixels whose centres lie inside the polygon (alternate filling), within Limit when given.
    static TRegion FromPolygon(const TPoint* Points, int Count, const TRect* Limit = nullptr);

    bool IsEmpty() const noexcept { return FRects.empty(); }
    // The smallest rectangle holding the region; (0, 0, 0, 0) when empty.
    TRect Bounds() const noexcept;
    const std::vector<TRect>& Rects() const noexcept { return FRects; }
    bool Contains(TPoint P) const noexcept;
    // True when any pixel of R is in the region.
    bool Intersects(const TRect& R) const noexcept;

    void Clear() noexcept { FRects.clear(); }
    void Offset(int DX, int DY) noexcept;
    void Union(const TRegion& Other);
    void Union(const TRect& R) { Union(TRegion(R)); }
    void Intersect(const TRegion& Other);
    void Intersect(const TRect& R);
    void Subtract(const TRegion& Other);
    void Subtract(const TRect& R);

    // Same pixel set (the rectangle split may differ).
    bool Equals(const TRegion& Other) const;

private:
    std::vector<TRect> FRects;
};

// A read-only region that many holders share without copying it.
class TSharedRegion {
public:
    TSharedRegion() = default;
    explicit TSharedRegion(std::shared_ptr<const TRegion> Region) noexcept : FRegion(std::move(Region)) {}
    const TRegion& Get() const noexcept { return FRegion ? *FRegion : EmptyRegion(); }
    operator const TRegion&() const noexcept { return Get(); }
    const TRegion* operator->() const noexcept { return &Get(); }
    bool IsEmpty() const noexcept { return Get().IsEmpty(); }
    TRect Bounds() const noexcept { return Get().Bounds(); }
    const std::vector<TRect>& Rects() const noexcept { return Get().Rects(); }
    bool Contains(TPoint P) const noexcept { return Get().Contains(P); }
    bool Intersects(const TRect& R) const noexcept { return Get().Intersects(R); }
    bool Equals(const TRegion& Other) const { return Get().Equals(Other); }

private:
    static const TRegion& EmptyRegion() noexcept {
        static const TRegion empty;
        return empty;
    }
    std::shared_ptr<const TRegion> FRegion;
};

// Results of the clip calls, as the window system numbers them.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

// ---------------------------------------------------------------------------------------------
// Colours: $00BBGGRR, or a system colour (clSystemColor | COLOR_ index), clNone, clDefault.

using TColor = int32_t;
using TColorRef = uint32_t;

inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

constexpr TColorRef RGB(uint8_t R, uint8_t G, uint8_t B) noexcept {
    return TColorRef(R) | (TColorRef(G) << 8) | (TColorRef(B) << 16);
}
constexpr uint8_t GetRValue(TColorRef C) noexcept { return uint8_t(C & 0xFF); }
constexpr uint8_t GetGValue(TColorRef C) noexcept { return uint8_t((C >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColorRef C) noexcept { return uint8_t((C >> 16) & 0xFF); }

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;

// System colour indices.
inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_ACTIVECAPTION = 2;
inline constexpr int COLOR_INACTIVECAPTION = 3;
inline constexpr int COLOR_MENU = 4;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWFRAME = 6;
inline constexpr int COLOR_MENUTEXT = 7;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_CAPTIONTEXT = 9;
inline constexpr int COLOR_ACTIVEBORDER = 10;
inline constexpr int COLOR_INACTIVEBORDER = 11;
inline constexpr int COLOR_APPWORKSPACE = 12;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;
inline constexpr int COLOR_HOTLIGHT = 26;
inline constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
inline constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
inline constexpr int COLOR_MENUHILIGHT = 29;
inline constexpr int COLOR_MENUBAR = 30;
inline constexpr int COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_DESKTOP = COLOR_BACKGROUND;
inline constexpr int SysColorCount = 31;

inline constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
inline constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
inline constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
inline constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
inline constexpr TColor clMenu = clSystemColor | COLOR_MENU;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
inline constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
inline constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
inline constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
inline constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
inline constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
inline constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
inline constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
inline constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;
inline constexpr TColor clGradientActiveCaption = clSystemColor | COLOR_GRADIENTACTIVECAPTION;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | COLOR_GRADIENTINACTIVECAPTION;
inline constexpr TColor clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT;
inline constexpr TColor clMenuBar = clSystemColor | COLOR_MENUBAR;

// Image-list colour values.
inline constexpr TColorRef CLR_NONE = 0xFFFFFFFFu;
inline constexpr TColorRef CLR_DEFAULT = 0xFF000000u;

// The process's system colour table; an index out of range answers 0.
TColorRef GetSysColor(int Index) noexcept;
// For tests and the backend: replaces one entry (colour-change handling is the caller's).
void SetSysColor(int Index, TColorRef Value) noexcept;
// Puts back the built-in table.
void ResetSysColors() noexcept;
// A system colour becomes its table entry; clNone and clDefault become black; others keep RGB.
TColorRef ColorToRGB(TColor Color) noexcept;
bool IsSysColor(TColor Color) noexcept;
// "clRed", "clBtnFace" or "$00BBGGRR"; and back (names, "$hex" or decimal), EConvertError otherwise.
AnsiString ColorToString(TColor Color);
TColor StringToColor(const AnsiString& S);

// ---------------------------------------------------------------------------------------------
// Fonts, pens, brushes

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = rtl::TSet<TFontStyle>;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };
using enum TFontPitch;
using TFontCharset = uint8_t;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset SYMBOL_CHARSET = 2;
inline constexpr TFontCharset RUSSIAN_CHARSET = 204;
inline constexpr TFontCharset OEM_CHARSET = 255;

// The screen's pixels per inch; Size and Height convert through it.
inline constexpr int ScreenPixelsPerInch = 96;
inline constexpr const char* DefaultFontName = "Liberation Sans";
// Negative: the character height without internal leading, as the window system reads it.
inline constexpr int DefaultFontHeight = -11;

// What a surface needs to know of a font.
struct TFontData {
    AnsiString Name = DefaultFontName;
    int Height = DefaultFontHeight;
    TFontStyles Style;
    TFontPitch Pitch = fpDefault;
    TFontCharset Charset = DEFAULT_CHARSET;
    // Angle of the baseline in tenths of a degree, counter-clockwise (900: text runs upward).
    int Orientation = 0;
    friend bool operator==(const TFontData&, const TFontData&) = default;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
using enum TPenStyle;
enum class TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
using enum TPenMode;
enum class TPenEndCap { pecRound, pecSquare, pecFlat };
using enum TPenEndCap;
enum class TPenJoinStyle { pjsRound, pjsBevel, pjsMiter };
using enum TPenJoinStyle;

// A resolved pen: Color is RGB once it reaches a surface.
struct TPenData {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    TPenEndCap EndCap = pecRound;
    TPenJoinStyle JoinStyle = pjsRound;
    friend bool operator==(const TPenData&, const TPenData&) = default;
};

enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
using enum TBrushStyle;

class TBitmap;

// A resolved brush: Color is RGB once it reaches a surface; Bitmap, when set, is an 8x8 pattern that
// replaces Style and Color.
struct TBrushData {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    const TBitmap* Bitmap = nullptr;
    friend bool operator==(const TBrushData&, const TBrushData&) = default;
};

// Base of the graphic objects: change notification to an owner (the canvas) and to users.
class TGraphicsObject : public rtl::TPersistent {
    RTL_CLASS(TGraphicsObject, rtl::TPersistent)
public:
    rtl::TNotifyEvent OnChange;

protected:
    void Changed();
};

class TFont : public TGraphicsObject {
    RTL_CLASS(TFont, TGraphicsObject)
public:
    TFont() = default;
    void Assign(rtl::TPersistent* Source) override;

    const AnsiString& Name() const noexcept { return FData.Name; }
    // An empty name is ignored: the surfaces need a face to pick.
    void SetName(const AnsiString& Value);
    // Pixels; negative means the character height without internal leading.
    int Height() const noexcept { return FData.Height; }
    void SetHeight(int Value);
    // Points: -Height * 72 / PixelsPerInch, rounded; setting it sets Height.
    int Size() const noexcept;
    void SetSize(int Value);
    TFontStyles Style() const noexcept { return FData.Style; }
    void SetStyle(TFontStyles Value);
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value);
    TFontCharset Charset() const noexcept { return FData.Charset; }
    void SetCharset(TFontCharset Value);
    TFontPitch Pitch() const noexcept { return FData.Pitch; }
    void SetPitch(TFontPitch Value);
    int Orientation() const noexcept { return FData.Orientation; }
    void SetOrientation(int Value);
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) noexcept { FPixelsPerInch = Value > 0 ? Value : ScreenPixelsPerInch; }

    const TFontData& Data() const noexcept { return FData; }
    // Everything but the colour equal.
    bool SameFace(const TFont& Other) const noexcept { return FData == Other.FData; }

private:
    TFontData FData;
    TColor FColor = clWindowText;
    int FPixelsPerInch = ScreenPixelsPerInch;
};

class TPen : public TGraphicsObject {
    RTL_CLASS(TPen, TGraphicsObject)
public:
    TPen() = default;
    void Assign(rtl::TPersistent* Source) override;

    TColor Color() const noexcept { return FData.Color; }
    void SetColor(TColor Value);
    int Width() const noexcept { return FData.Width; }
    // Below 1 counts as 1.
    void SetWidth(int Value);
    TPenStyle Style() const noexcept { return FData.Style; }
    void SetStyle(TPenStyle Value);
    TPenMode Mode() const noexcept { return FData.Mode; }
    void SetMode(TPenMode Value);
    TPenEndCap EndCap() const noexcept { return FData.EndCap; }
    void SetEndCap(TPenEndCap Value);
    TPenJoinStyle JoinStyle() const noexcept { return FData.JoinStyle; }
    void SetJoinStyle(TPenJoinStyle Value);
    const TPenData& Data() const noexcept { return FData; }

private:
    TPenData FData;
};

class TBrush : public TGraphicsObject {
    RTL_CLASS(TBrush, TGraphicsObject)
public:
    TBrush() = default;
    void Assign(rtl::TPersistent* Source) override;

    TColor Color() const noexcept { return FData.Color; }
    // A colour makes a clear brush solid again.
    void SetColor(TColor Value);
    TBrushStyle Style() const noexcept { return FData.Style; }
    void SetStyle(TBrushStyle Value);
    // A pattern brush; the bitmap is not owned and must outlive its use. nullptr removes it.
    const TBitmap* Bitmap() const noexcept { return FData.Bitmap; }
    void SetBitmap(const TBitmap* Value);
    const TBrushData& Data() const noexcept { return FData; }

private:
    TBrushData FData;
};

// ---------------------------------------------------------------------------------------------
// Surfaces

struct TTextMetric {
    int tmHeight = 0;
    int tmAscent = 0;
    int tmDescent = 0;
    int tmInternalLeading = 0;
    int tmExternalLeading = 0;
    int tmAveCharWidth = 0;
    int tmMaxCharWidth = 0;
    int tmWeight = 400;
    int tmOverhang = 0;
    bool tmItalic = false;
};

// Raster operations of the blit calls.
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t SRCPAINT = 0x00EE0086;
inline constexpr uint32_t SRCAND = 0x008800C6;
inline constexpr uint32_t SRCINVERT = 0x00660046;
inline constexpr uint32_t SRCERASE = 0x00440328;
inline constexpr uint32_t NOTSRCCOPY = 0x00330008;
inline constexpr uint32_t NOTSRCERASE = 0x001100A6;
inline constexpr uint32_t MERGEPAINT = 0x00BB0226;
inline constexpr uint32_t PATCOPY = 0x00F00021;
inline constexpr uint32_t PATINVERT = 0x005A0049;
inline constexpr uint32_t DSTINVERT = 0x00550009;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;
using TCopyMode = uint32_t;
inline constexpr TCopyMode cmSrcCopy = SRCCOPY;

// Where a canvas draws. Every coordinate is a device pixel and every colour RGB; the surface honours
// the clip region it was last given.
class TSurface {
public:
    virtual ~TSurface() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Content after a resize is undefined except where a surface says otherwise.
    virtual void SetSize(int Width, int Height) = 0;

    // nullptr: no clipping beyond the surface's own bounds.
    virtual void SetClip(const TRegion* Clip) = 0;

    // Fill with a brush (never bsClear), combined with the destination by Rop (PATCOPY, PATINVERT,
    // DSTINVERT, BLACKNESS, WHITENESS).
    virtual void FillRect(const TRect& R, const TBrushData& Brush, uint32_t Rop = PATCOPY) = 0;
    // Counts[i] points form polyline i; a line's last pixel is not drawn.
    virtual void PolyPolyline(const TPoint* Points, const int* Counts, int Lines, const TPenData& Pen) = 0;
    // Filled with Brush unless it is bsClear, outlined with Pen unless it is psClear.
    virtual void Polygon(const TPoint* Points, int Count, const TPenData& Pen, const TBrushData& Brush) = 0;
    // Text with its top-left at (X, Y) in the 1251 code page. Background clNone draws no
    // background; otherwise the text cell is filled first. Clip, when given, also limits the text.
    virtual void TextOut(int X, int Y, std::string_view Text, const TFontData& Font, TColorRef Color, TColor Background,
                         const TRect* Clip) = 0;
    virtual TSize TextExtent(std::string_view Text, const TFontData& Font) = 0;
    virtual TTextMetric TextMetrics(const TFontData& Font) = 0;
    // The dotted focus frame, drawn by inverting (twice restores).
    virtual void DrawFocusRect(const TRect& R) = 0;
    // Copies SourceRect of Source into Dest, stretching when sizes differ. Transparent, when not
    // clNone, is an RGB colour of the source left out of the copy.
    virtual void Blit(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop,
                      TColor Transparent = clNone) = 0;
    // clNone where the surface keeps no pixels or the point is outside.
    virtual TColor GetPixel(int X, int Y) = 0;
    virtual void SetPixel(int X, int Y, TColorRef Color) = 0;
    // Moves the pixels of Source (inside the surface) by DX, DY, overlapping or not, regardless of
    // the clip: how a window's content scrolls. Surfaces that keep no pixels ignore it.
    virtual void MovePixels(const TRect& Source, int DX, int DY) {
        (void)Source;
        (void)DX;
        (void)DY;
    }
};

// A surface that keeps 32-bit pixels ($00RRGGBB words, top row first) the caller can read.
class TRasterSurface : public TSurface {
public:
    virtual uint32_t* ScanLine(int Y) = 0;
    virtual int Stride() const = 0;  // in pixels
};

// Builds the raster surfaces that bitmaps draw on; the display backend may install its own.
using TRasterFactory = std::function<std::unique_ptr<TRasterSurface>(int Width, int Height)>;
void SetRasterFactory(TRasterFactory Factory);  // an empty factory restores the built-in one
std::unique_ptr<TRasterSurface> CreateRasterSurface(int Width, int Height);

// What a canvas without a surface measures text with (a label sizing itself before it is shown);
// the display backend installs its own so that sizes match what it draws. Null: fixed metrics.
void SetTextMeasureSurface(TSurface* Surface) noexcept;
TSurface* TextMeasureSurface() noexcept;

// Fixed text metrics shared by the recording and memory surfaces: with font height H (absolute
// value) a cell is H pixels high, each character (H + 1) / 2 wide, one pixel more when bold; the
// ascent is H * 3 / 4 rounded down.
TTextMetric FixedTextMetrics(const TFontData& Font) noexcept;
TSize FixedTextExtent(std::string_view Text, const TFontData& Font) noexcept;

// One recorded drawing call.
enum class TDrawOp { FillRect, PolyPolyline, Polygon, Text, FocusRect, Blit, SetPixel };

struct TDrawRecord {
    TDrawOp Op = TDrawOp::FillRect;
    TRect Rect;                  // fill, focus, blit destination; text: the cell the text covers
    std::vector<TPoint> Points;  // lines and polygons
    std::vector<int> Counts;     // points per polyline
    TColor Color = clNone;       // fill or text colour (RGB)
    TBrushData Brush;            // fill and polygon
    TPenData Pen;                // lines and polygon
    uint32_t Rop = 0;            // fill and blit
    std::string Text;            // 1251
    TFontData Font;
    TColor Background = clNone;  // text background, clNone when transparent
    bool HasTextClip = false;
    TRect TextClip;
    TRect SourceRect;                  // blit
    const TSurface* Source = nullptr;  // identity only: a temporary source is gone after the call
    TColor Transparent = clNone;       // blit
    bool Clipped = false;              // a clip region was in effect
    TSharedRegion Clip;                // that region, shared by the records drawn under it
};

// Records what is drawn; measures text with the fixed metrics. Pixels are not kept.
class TRecordingSurface : public TSurface {
public:
    TRecordingSurface(int Width = 0, int Height = 0) : FWidth(Width), FHeight(Height) {}

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetSize(int Width, int Height) override {
        FWidth = Width;
        FHeight = Height;
    }
    void SetClip(const TRegion* Clip) override;
    void FillRect(const TRect& R, const TBrushData& Brush, uint32_t Rop) override;
    void PolyPolyline(const TPoint* Points, const int* Counts, int Lines, const TPenData& Pen) override;
    void Polygon(const TPoint* Points, int Count, const TPenData& Pen, const TBrushData& Brush) override;
    void TextOut(int X, int Y, std::string_view Text, const TFontData& Font, TColorRef Color, TColor Background,
                 const TRect* Clip) override;
    TSize TextExtent(std::string_view Text, const TFontData& Font) override;
    TTextMetric TextMetrics(const TFontData& Font) override;
    void DrawFocusRect(const TRect& R) override;
    void Blit(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop, TColor Transparent) override;
    TColor GetPixel(int X, int Y) override;
    void SetPixel(int X, int Y, TColorRef Color) override;
    // Recorded as a blit from the surface onto itself.
    void MovePixels(const TRect& Source, int DX, int DY) override;

    const std::vector<TDrawRecord>& Records() const noexcept { return FRecords; }
    void Clear() noexcept { FRecords.clear(); }
    // The drawn texts in order (for tests that only read text).
    std::vector<std::string> Texts() const;
    // Records of one kind, in order.
    std::vector<const TDrawRecord*> OfKind(TDrawOp Op) const;

private:
    TDrawRecord& Add(TDrawOp Op);
    int FWidth;
    int FHeight;
    std::shared_ptr<const TRegion> FClip;
    std::vector<TDrawRecord> FRecords;
};

// The largest raster the built-in surfaces make (pixels); beyond it EOutOfResources
// "Out of system resources" is raised and nothing changes.
inline constexpr int64_t MaxRasterPixels = int64_t(1) << 26;

// A plain 32-bit raster in memory. Text is drawn as one block per non-blank character of the fixed
// metrics, enough to test where text lands; starts white.
class TMemorySurface : public TRasterSurface {
public:
    TMemorySurface(int Width = 0, int Height = 0);

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int Width, int Height) override;
    void SetClip(const TRegion* Clip) override;
    void FillRect(const TRect& R, const TBrushData& Brush, uint32_t Rop) override;
    void PolyPolyline(const TPoint* Points, const int* Counts, int Lines, const TPenData& Pen) override;
    void Polygon(const TPoint* Points, int Count, const TPenData& Pen, const TBrushData& Brush) override;
    void TextOut(int X, int Y, std::string_view Text, const TFontData& Font, TColorRef Color, TColor Background,
                 const TRect* Clip) override;
    TSize TextExtent(std::string_view Text, const TFontData& Font) override;
    TTextMetric TextMetrics(const TFontData& Font) override;
    void DrawFocusRect(const TRect& R) override;
    void Blit(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop, TColor Transparent) override;
    TColor GetPixel(int X, int Y) override;
    void SetPixel(int X, int Y, TColorRef Color) override;
    void MovePixels(const TRect& Source, int DX, int DY) override;
    uint32_t* ScanLine(int Y) override;
    int Stride() const override { return FWidth; }

private:
    bool Visible(int X, int Y) const noexcept;
    void Plot(int X, int Y, TColorRef Color, TPenMode Mode);
    void Span(int X1, int X2, int Y, const TBrushData& Brush, uint32_t Rop);
    void Line(TPoint A, TPoint B, const TPenData& Pen, int& DashPhase);
    int FWidth = 0;
    int FHeight = 0;
    std::vector<uint32_t> FPixels;
    bool FClipped = false;
    TRegion FClip;
};

// ---------------------------------------------------------------------------------------------
// Text drawing flags, edges and frame controls

inline constexpr unsigned DT_TOP = 0x0;
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_RIGHT = 0x2;
inline constexpr unsigned DT_VCENTER = 0x4;
inline constexpr unsigned DT_BOTTOM = 0x8;
inline constexpr unsigned DT_WORDBREAK = 0x10;
inline constexpr unsigned DT_SINGLELINE = 0x20;
inline constexpr unsigned DT_EXPANDTABS = 0x40;
inline constexpr unsigned DT_TABSTOP = 0x80;
inline constexpr unsigned DT_NOCLIP = 0x100;
inline constexpr unsigned DT_EXTERNALLEADING = 0x200;
inline constexpr unsigned DT_CALCRECT = 0x400;
inline constexpr unsigned DT_NOPREFIX = 0x800;
inline constexpr unsigned DT_INTERNAL = 0x1000;
inline constexpr unsigned DT_EDITCONTROL = 0x2000;
inline constexpr unsigned DT_PATH_ELLIPSIS = 0x4000;
inline constexpr unsigned DT_END_ELLIPSIS = 0x8000;
inline constexpr unsigned DT_MODIFYSTRING = 0x10000;
inline constexpr unsigned DT_RTLREADING = 0x20000;
inline constexpr unsigned DT_WORD_ELLIPSIS = 0x40000;
inline constexpr unsigned DT_NOFULLWIDTHCHARBREAK = 0x80000;
inline constexpr unsigned DT_HIDEPREFIX = 0x100000;
inline constexpr unsigned DT_PREFIXONLY = 0x200000;

struct DRAWTEXTPARAMS {
    unsigned cbSize = sizeof(DRAWTEXTPARAMS);
    int iTabLength = 0;  // in average character widths; 0 means 8
    int iLeftMargin = 0;
    int iRightMargin = 0;
    unsigned uiLengthDrawn = 0;
};

// ExtTextOut options.
inline constexpr unsigned ETO_OPAQUE = 0x2;
inline constexpr unsigned ETO_CLIPPED = 0x4;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr unsigned BDR_RAISEDOUTER = 0x1;
inline constexpr unsigned BDR_SUNKENOUTER = 0x2;
inline constexpr unsigned BDR_RAISEDINNER = 0x4;
inline constexpr unsigned BDR_SUNKENINNER = 0x8;
inline constexpr unsigned BDR_OUTER = 0x3;
inline constexpr unsigned BDR_INNER = 0xC;
inline constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

inline constexpr unsigned BF_LEFT = 0x1;
inline constexpr unsigned BF_TOP = 0x2;
inline constexpr unsigned BF_RIGHT = 0x4;
inline constexpr unsigned BF_BOTTOM = 0x8;
inline constexpr unsigned BF_TOPLEFT = BF_TOP | BF_LEFT;
inline constexpr unsigned BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
inline constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
inline constexpr unsigned BF_MIDDLE = 0x800;
inline constexpr unsigned BF_SOFT = 0x1000;
inline constexpr unsigned BF_ADJUST = 0x2000;
inline constexpr unsigned BF_FLAT = 0x4000;
inline constexpr unsigned BF_MONO = 0x8000;

inline constexpr unsigned DFC_CAPTION = 1;
inline constexpr unsigned DFC_MENU = 2;
inline constexpr unsigned DFC_SCROLL = 3;
inline constexpr unsigned DFC_BUTTON = 4;
inline constexpr unsigned DFC_POPUPMENU = 5;

inline constexpr unsigned DFCS_BUTTONCHECK = 0x0;
inline constexpr unsigned DFCS_BUTTONRADIOIMAGE = 0x1;
inline constexpr unsigned DFCS_BUTTONRADIOMASK = 0x2;
inline constexpr unsigned DFCS_BUTTONRADIO = 0x4;
inline constexpr unsigned DFCS_BUTTON3STATE = 0x8;
inline constexpr unsigned DFCS_BUTTONPUSH = 0x10;
inline constexpr unsigned DFCS_CAPTIONCLOSE = 0x0;
inline constexpr unsigned DFCS_CAPTIONMIN = 0x1;
inline constexpr unsigned DFCS_CAPTIONMAX = 0x2;
inline constexpr unsigned DFCS_CAPTIONRESTORE = 0x3;
inline constexpr unsigned DFCS_MENUARROW = 0x0;
inline constexpr unsigned DFCS_MENUCHECK = 0x1;
inline constexpr unsigned DFCS_SCROLLUP = 0x0;
inline constexpr unsigned DFCS_SCROLLDOWN = 0x1;
inline constexpr unsigned DFCS_SCROLLLEFT = 0x2;
inline constexpr unsigned DFCS_SCROLLRIGHT = 0x3;
inline constexpr unsigned DFCS_SCROLLCOMBOBOX = 0x5;
inline constexpr unsigned DFCS_SCROLLSIZEGRIP = 0x8;
inline constexpr unsigned DFCS_SCROLLSIZEGRIPRIGHT = 0x10;
inline constexpr unsigned DFCS_INACTIVE = 0x100;
inline constexpr unsigned DFCS_PUSHED = 0x200;
inline constexpr unsigned DFCS_CHECKED = 0x400;
inline constexpr unsigned DFCS_TRANSPARENT = 0x800;
inline constexpr unsigned DFCS_HOT = 0x1000;
inline constexpr unsigned DFCS_ADJUSTRECT = 0x2000;
inline constexpr unsigned DFCS_FLAT = 0x4000;
inline constexpr unsigned DFCS_MONO = 0x8000;

// Mapping modes.
inline constexpr int MM_TEXT = 1;
inline constexpr int MM_ANISOTROPIC = 8;

// ---------------------------------------------------------------------------------------------
// Canvas

class TGraphic;
class TCanvas;
using HDC = TCanvas*;

enum TCanvasStates { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = rtl::TSet<TCanvasStates>;

class TCanvas : public rtl::TPersistent {
    RTL_CLASS(TCanvas, rtl::TPersistent)
public:
    TCanvas();
    explicit TCanvas(TSurface* Surface);
    ~TCanvas() override;

    // The surface drawn on; not owned. Setting one resets clipping and mapping.
    TSurface* Surface() const noexcept { return FSurface; }
    void SetSurface(TSurface* Value);
    bool HandleAllocated() const noexcept { return FSurface != nullptr; }
    // The canvas as the device context of the window-system routines.
    HDC Handle() noexcept { return this; }
    // Raises EInvalidOperation "Canvas does not allow drawing" without a surface.
    TSurface& RequireSurface();

    TFont* Font() const noexcept { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    TPen* Pen() const noexcept { return FPen.get(); }
    void SetPen(TPen* Value) { FPen->Assign(Value); }
    TBrush* Brush() const noexcept { return FBrush.get(); }
    void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
    TCopyMode CopyMode() const noexcept { return FCopyMode; }
    void SetCopyMode(TCopyMode Value) noexcept { FCopyMode = Value; }
    TPoint PenPos() const noexcept { return FPenPos; }
    void SetPenPos(TPoint Value) noexcept { FPenPos = Value; }
    // Flags of TextOut/TextRect (ETO_ values); ETO_OPAQUE is implied by a solid brush.
    unsigned TextFlags() const noexcept { return FTextFlags; }
    void SetTextFlags(unsigned Value) noexcept { FTextFlags = Value; }

    // Locking for canvases shared between painters (the work bitmap).
    void Lock() noexcept { ++FLockCount; }
    void Unlock() noexcept {
        if (FLockCount > 0) --FLockCount;
    }
    bool TryLock() noexcept;
    int LockCount() const noexcept { return FLockCount; }

    // Drawing in logical coordinates.
    void MoveTo(int X, int Y) noexcept { FPenPos = {X, Y}; }
    void LineTo(int X, int Y);
    void Polyline(const std::vector<TPoint>& Points);
    void Polyline(const TPoint* Points, int Count);
    void PolyPolyline(const TPoint* Points, const int* Counts, int Lines);
    void Polygon(const std::vector<TPoint>& Points);
    void Polygon(const TPoint* Points, int Count);
    // The brush over R; nothing for a clear brush.
    void FillRect(const TRect& R);
    // A one-pixel frame in the brush colour.
    void FrameRect(const TRect& R);
    // R filled with Color (system colours allowed), leaving the brush and text state as they are.
    void FillSolid(const TRect& R, TColor Color);
    // Outline in the pen, inside filled with the brush.
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
    void DrawFocusRect(const TRect& R);
    // A brush fill with a raster operation (PATCOPY, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS).
    void PatBlt(int X, int Y, int Width, int Height, uint32_t Rop);
    void InvertRect(const TRect& R) { PatBlt(R.Left, R.Top, R.Width(), R.Height(), DSTINVERT); }

    // Text: colour from the font; background from the brush unless the brush is clear.
    void TextOut(int X, int Y, const AnsiString& Text);
    // Text clipped to R, starting at (X, Y); the brush fills R first unless clear.
    void TextRect(const TRect& R, int X, int Y, const AnsiString& Text);
    // DrawText with Flags inside R (R changes only with DT_CALCRECT); returns the text height.
    int TextRect(TRect& R, const AnsiString& Text, unsigned Flags);
    int TextWidth(const AnsiString& Text);
    int TextHeight(const AnsiString& Text);
    TSize TextExtent(const AnsiString& Text);
    TTextMetric GetTextMetrics();

    // Graphics and blits.
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& R, TGraphic* Graphic);
    // Copies Source's SourceRect into Dest with CopyMode.
    void CopyRect(const TRect& Dest, TCanvas* Source, const TRect& SourceRect);
    void BitBlt(int X, int Y, int Width, int Height, TCanvas* Source, int SX, int SY, uint32_t Rop);
    void StretchBlt(int X, int Y, int Width, int Height, TCanvas* Source, int SX, int SY, int SWidth, int SHeight,
                    uint32_t Rop);
    // Copies SourceRect (device pixels of Source) into Dest (logical); Transparent as TSurface::Blit.
    void BlitSurface(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop,
                     TColor Transparent = clNone);
    TColor Pixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);

    // Clipping, in logical coordinates for rectangles; the region itself is in device pixels.
    // The logical bounds of what may be drawn (the surface when nothing clips).
    TRect ClipRect();
    // Copies the clip region into Region; 0 when there is none, 1 when there is one.
    int GetClipRgn(TRegion& Region) const;
    bool HasClipRgn() const noexcept { return FClipped; }
    // nullptr removes clipping; otherwise the region (device pixels) becomes the clip.
    int SelectClipRgn(const TRegion* Region);
    int IntersectClipRect(const TRect& R);
    int ExcludeClipRect(const TRect& R);
    // True when some pixel of R (logical) can be drawn.
    bool RectVisible(const TRect& R);

    // Saves pen, brush, font, colours, modes, clip region and mapping; returns the level (>= 1).
    int SaveDC();
    // A positive level restores that save; a negative one counts back from the last. False for a
    // level that was not saved.
    bool RestoreDC(int Level);

    // Mapping: device = (logical - WindowOrg) * ViewportExt / WindowExt + ViewportOrg.
    int GetMapMode() const noexcept { return FMapMode; }
    int SetMapMode(int Mode);
    TPoint SetWindowOrgEx(int X, int Y);
    TSize SetWindowExtEx(int CX, int CY);
    TPoint SetViewportOrgEx(int X, int Y);
    TSize SetViewportExtEx(int CX, int CY);
    TPoint WindowOrg() const noexcept { return FWindowOrg; }
    TPoint ViewportOrg() const noexcept { return FViewportOrg; }
    TPoint LPtoDP(TPoint P) const noexcept;
    TPoint DPtoLP(TPoint P) const noexcept;
    // Corners converted and put in order.
    TRect LPtoDP(const TRect& R) const noexcept;
    TRect DPtoLP(const TRect& R) const noexcept;

    // Text colour and background state, as the window system keeps them; the canvas's own calls
    // set them from the font and brush.
    TColor SetTextColor(TColor Color) noexcept;
    TColor GetTextColor() const noexcept { return FTextColor; }
    TColor SetBkColor(TColor Color) noexcept;
    TColor GetBkColor() const noexcept { return FBkColor; }
    int SetBkMode(int Mode) noexcept;
    int GetBkMode() const noexcept { return FBkMode; }
    // True-colour surfaces keep every colour.
    TColorRef GetNearestColor(TColor Color) const noexcept { return ColorToRGB(Color); }

    // The window-system text calls on the current text colour, background mode and font.
    bool ExtTextOut(int X, int Y, unsigned Options, const TRect* R, const AnsiString& Text);
    int DrawText(const AnsiString& Text, TRect& R, unsigned Flags, DRAWTEXTPARAMS* Params = nullptr);

    rtl::TNotifyEvent OnChange;
    rtl::TNotifyEvent OnChanging;

protected:
    void Changing();
    void Changed();
    // Asked for a surface when a drawing call finds none (a control's canvas outside a paint).
    virtual void CreateHandle() {}

private:
    struct TSavedState;
    // Text colour and background follow the font and brush until set explicitly.
    void RequireState();
    // The surface with state and clip applied, after OnChanging.
    TSurface& Prepare();
    void ApplyClip();
    int RegionKind() const noexcept;
    TRect SurfaceBounds() const noexcept;
    TPenData ResolvedPen() const;
    TBrushData ResolvedBrush() const;
    int MapX(int X) const noexcept;
    int MapY(int Y) const noexcept;
    void DrawTextLine(int X, int Y, std::string_view Text, const TRect* Clip);

    TSurface* FSurface = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TPen> FPen;
    std::unique_ptr<TBrush> FBrush;
    TPoint FPenPos;
    TCopyMode FCopyMode = cmSrcCopy;
    unsigned FTextFlags = 0;
    int FLockCount = 0;
    bool FClipped = false;
    TRegion FClip;
    int FMapMode = MM_TEXT;
    TPoint FWindowOrg;
    TSize FWindowExt{1, 1};
    TPoint FViewportOrg;
    TSize FViewportExt{1, 1};
    TColor FTextColor = clBlack;
    TColor FBkColor = clWhite;
    int FBkMode = OPAQUE;
    std::vector<TSavedState> FSaved;
    TCanvasState FState;
    std::vector<TPoint> FMapped;  // reused for points in device pixels
};

// The canvas's pen, brush, font, clip and mapping saved for a scope and put back when it ends, on
// every path.
class TSavedDC {
public:
    explicit TSavedDC(TCanvas& Canvas) : FCanvas(Canvas), FLevel(Canvas.SaveDC()) {}
    ~TSavedDC() { FCanvas.RestoreDC(FLevel); }
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;

private:
    TCanvas& FCanvas;
    int FLevel;
};

// ---------------------------------------------------------------------------------------------
// Graphics

enum class TTransparentMode { tmAuto, tmFixed };
using enum TTransparentMode;
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
using enum TPixelFormat;

class TGraphic : public rtl::TPersistent {
    RTL_CLASS(TGraphic, rtl::TPersistent)
public:
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int Value) = 0;
    virtual void SetHeight(int Value) = 0;
    bool Transparent() const noexcept { return FTransparent; }
    virtual void SetTransparent(bool Value);
    // Draws the whole graphic into R of the canvas, stretched to fit.
    virtual void Draw(TCanvas& Canvas, const TRect& R) = 0;

    rtl::TNotifyEvent OnChange;

protected:
    void Changed();

private:
    bool FTransparent = false;
};

class TBitmap : public TGraphic {
    RTL_CLASS(TBitmap, TGraphic)
public:
    TBitmap();
    ~TBitmap() override;
    void Assign(rtl::TPersistent* Source) override;

    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int Value) override { SetSize(Value, FHeight); }
    void SetHeight(int Value) override { SetSize(FWidth, Value); }
    // Keeps the pixels that still fit; negative sizes count as 0.
    void SetSize(int Width, int Height);
    TPixelFormat PixelFormat() const noexcept { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat Value) noexcept { FPixelFormat = Value; }

    // The canvas drawing on the bitmap's pixels.
    TCanvas* Canvas();
    // The pixels; created on first use at the bitmap's size.
    TRasterSurface& Surface();
    const TRasterSurface* SurfaceIfAllocated() const noexcept { return FSurface.get(); }

    // tmAuto: the bottom-left pixel; tmFixed: the colour set.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value);
    TTransparentMode TransparentMode() const noexcept { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Value);

    void Draw(TCanvas& Canvas, const TRect& R) override;

    // The bitmap as a 32-bit BMP file and back; EInvalidGraphic for another content.
    void SaveToStream(rtl::TStream& Stream);
    void LoadFromStream(rtl::TStream& Stream);

private:
    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = pf32bit;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clDefault;
    std::unique_ptr<TRasterSurface> FSurface;
    std::unique_ptr<TCanvas> FCanvas;
};

RTL_DECLARE_EXCEPTION(EInvalidGraphic, rtl::Exception);
RTL_DECLARE_EXCEPTION(EInvalidGraphicOperation, rtl::Exception);

// Holds one graphic (owned); today always a bitmap once one is asked for.
class TPicture : public rtl::TPersistent {
    RTL_CLASS(TPicture, rtl::TPersistent)
public:
    TPicture();
    ~TPicture() override;
    void Assign(rtl::TPersistent* Source) override;

    TGraphic* Graphic() const noexcept { return FGraphic.get(); }
    // Takes a copy of Value (nullptr empties the picture).
    void SetGraphic(TGraphic* Value);
    // The graphic as a bitmap, replacing another kind of graphic by an empty bitmap.
    TBitmap* Bitmap();
    int Width() const noexcept { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const noexcept { return FGraphic ? FGraphic->Height() : 0; }

    rtl::TNotifyEvent OnChange;

private:
    void GraphicChanged();
    std::unique_ptr<TGraphic, rtl::TObjectDeleter> FGraphic;
};

// ---------------------------------------------------------------------------------------------
// Window-system drawing routines on a canvas

// 3-D edges of Edge (BDR_ values) on the sides Flags names; BF_ADJUST shrinks R by what was drawn,
// BF_MIDDLE fills the inside with the button face.
bool DrawEdge(HDC DC, TRect& R, unsigned Edge, unsigned Flags);
// Standard buttons, check boxes, radio buttons, scroll arrows, combo box buttons, size grips.
bool DrawFrameControl(HDC DC, const TRect& R, unsigned Type, unsigned State);
void DrawFocusRect(HDC DC, const TRect& R);
int DrawText(HDC DC, const AnsiString& Text, TRect& R, unsigned Flags);
int DrawTextEx(HDC DC, const AnsiString& Text, TRect& R, unsigned Flags, DRAWTEXTPARAMS* Params);
bool ExtTextOut(HDC DC, int X, int Y, unsigned Options, const TRect* R, const AnsiString& Text);
// The brush of a system colour as a colour (the canvas takes brushes by colour).
inline TColor GetSysColorBrush(int Index) noexcept { return clSystemColor | Index; }
// Fills R with Color (a TColor, system colours allowed), keeping the canvas brush.
void FillRectColor(HDC DC, const TRect& R, TColor Color);
// Frames R one pixel wide with Color, keeping the canvas brush.
void FrameRectColor(HDC DC, const TRect& R, TColor Color);

// Bitmaps of the window system.
inline constexpr int OBM_CHECKBOXES = 32759;
// OBM_CHECKBOXES: a 4 x 3 grid of 13 x 13 faces (columns unchecked, checked, pressed, pressed and
// checked; rows check box, radio button, three-state box). False, bitmap untouched, for another id.
bool LoadSystemBitmap(TBitmap* Bitmap, int Id);

// Bitmap resources of the program. A module (0, HInstance, is the program itself) registers each
// of its bitmaps by name with the painter that draws it; loading draws it into a bitmap. Names are
// compared without regard to case; registering a name again replaces its painter.
using HINSTANCE = uintptr_t;
inline constexpr HINSTANCE HInstance = 0;
using TBitmapResourcePainter = std::function<void(TBitmap& Bitmap)>;
void RegisterBitmapResource(HINSTANCE Module, std::string_view Name, TBitmapResourcePainter Paint);
void UnregisterBitmapResource(HINSTANCE Module, std::string_view Name);
// True with the bitmap drawn; false, bitmap untouched, when the module has no bitmap of the name.
bool LoadBitmapResource(TBitmap* Bitmap, HINSTANCE Module, std::string_view Name);
// Cursors of the program: a bitmap resource of the name (its transparent colour is see-through)
// with the point that aims. TScreen::SetCursors gives one a cursor number; the backend shows it.
void RegisterCursorResource(HINSTANCE Module, std::string_view Name, TBitmapResourcePainter Paint, TPoint HotSpot);
bool LoadCursorResource(TBitmap* Bitmap, TPoint& HotSpot, HINSTANCE Module, std::string_view Name);

// What a device is: LOGPIXELSX/Y (the screen's 96), BITSPIXEL (32), PLANES (1), HORZRES/VERTRES
// (the surface's size); 0 for another index.
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
int GetDeviceCaps(HDC DC, int Index);
RTL_DECLARE_EXCEPTION(EResNotFound, rtl::Exception);

// Colour helpers.
// Channel-wise mix: c1 + Percent * (c2 - c1) / 100, rounded half to even, clamped.
TColor MixColors(TColor Color1, TColor Color2, int Percent) noexcept;
// Each channel c becomes Min(255, c + Trunc(c / Divisor)).
TColor BrightenColor(TColor Color, int Divisor) noexcept;
// clNone -> CLR_NONE, clDefault -> CLR_DEFAULT, else the RGB value.
TColorRef ColorToImageListColor(TColor Color) noexcept;

}  // namespace ui
