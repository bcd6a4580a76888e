// Colours, graphic objects, bitmaps and pictures.
#include "framework/ui/Graphics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// System colours

namespace {

constexpr std::array<TColorRef, SysColorCount> BuiltInSysColors = {
    RGB(200, 200, 200),  // scroll bar
    RGB(0, 0, 0),        // background
    RGB(153, 180, 209),  // active caption
    RGB(191, 205, 219),  // inactive caption
    RGB(240, 240, 240),  // menu
    RGB(255, 255, 255),  // window
    RGB(100, 100, 100),  // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(0, 0, 0),        // caption text
    RGB(180, 180, 180),  // active border
    RGB(244, 247, 252),  // inactive border
    RGB(171, 171, 171),  // application work space
    RGB(0, 120, 215),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(240, 240, 240),  // button face
    RGB(160, 160, 160),  // button shadow
    RGB(109, 109, 109),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(0, 0, 0),        // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(105, 105, 105),  // 3-D dark shadow
    RGB(227, 227, 227),  // 3-D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(181, 181, 181),  // (unused index 25)
    RGB(0, 102, 204),    // hot light
    RGB(185, 209, 234),  // gradient active caption
    RGB(215, 228, 242),  // gradient inactive caption
    RGB(51, 153, 255),   // menu highlight
    RGB(240, 240, 240),  // menu bar
};

std::array<TColorRef, SysColorCount>& SysColors() {
    static std::array<TColorRef, SysColorCount> table = BuiltInSysColors;
    return table;
}

struct TColorName {
    TColor Color;
    const char* Name;
};

constexpr TColorName ColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
};

int Channel(double v) noexcept {
    // Halves go to the even neighbour, as the platform's Round does.
    double r = std::nearbyint(v);
    return static_cast<int>(std::clamp(r, 0.0, 255.0));
}

}  // namespace

TColorRef GetSysColor(int Index) noexcept {
    if (Index < 0 || Index >= SysColorCount) return 0;
    return SysColors()[Index];
}

void SetSysColor(int Index, TColorRef Value) noexcept {
    if (Index >= 0 && Index < SysColorCount) SysColors()[Index] = Value & 0xFFFFFF;
}

void ResetSysColors() noexcept { SysColors() = BuiltInSysColors; }

bool IsSysColor(TColor Color) noexcept {
    return (static_cast<uint32_t>(Color) & 0xFF000000u) == static_cast<uint32_t>(clSystemColor);
}

TColorRef ColorToRGB(TColor Color) noexcept {
    if (IsSysColor(Color)) return GetSysColor(Color & 0xFF);
    if (Color == clNone || Color == clDefault) return 0;
    return static_cast<TColorRef>(Color) & 0xFFFFFF;
}

AnsiString ColorToString(TColor Color) {
    for (const TColorName& n : ColorNames)
        if (n.Color == Color) return n.Name;
    static const char* hex = "0123456789ABCDEF";
    AnsiString s = "$";
    uint32_t v = static_cast<uint32_t>(Color);
    for (int shift = 28; shift >= 0; shift -= 4) s += hex[(v >> shift) & 0xF];
    return s;
}

TColor StringToColor(const AnsiString& S) {
    for (const TColorName& n : ColorNames)
        if (rtl::SameText(S, n.Name)) return n.Color;
    auto fail = [&]() -> TColor { throw rtl::EConvertError("'" + S + "' is not a valid integer value"); };
    if (S.empty()) return fail();
    uint64_t v = 0;
    size_t i = 0;
    bool negative = false;
    if (S[0] == '$') {
        if (S.size() == 1 || S.size() > 9) return fail();
        for (i = 1; i < S.size(); ++i) {
            char c = S[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return fail();
            v = v * 16 + d;
        }
        return static_cast<TColor>(static_cast<uint32_t>(v));
    }
    if (S[0] == '-' || S[0] == '+') {
        negative = S[0] == '-';
        i = 1;
    }
    if (i >= S.size()) return fail();
    for (; i < S.size(); ++i) {
        if (S[i] < '0' || S[i] > '9') return fail();
        v = v * 10 + (S[i] - '0');
        if (v > 0x80000000ull) return fail();
    }
    if (!negative && v > 0x7FFFFFFFull) return fail();
    return static_cast<TColor>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
}

TColor MixColors(TColor Color1, TColor Color2, int Percent) noexcept {
    TColorRef a = ColorToRGB(Color1), b = ColorToRGB(Color2);
    auto mix = [&](uint8_t c1, uint8_t c2) { return Channel(c1 + Percent * (double(c2) - c1) / 100.0); };
    return static_cast<TColor>(RGB(static_cast<uint8_t>(mix(GetRValue(a), GetRValue(b))),
                                   static_cast<uint8_t>(mix(GetGValue(a), GetGValue(b))),
                                   static_cast<uint8_t>(mix(GetBValue(a), GetBValue(b)))));
}

TColor BrightenColor(TColor Color, int Divisor) noexcept {
    TColorRef c = ColorToRGB(Color);
    // A zero divisor would divide by zero; the colour is then left as it is.
    if (Divisor == 0) return static_cast<TColor>(c);
    auto up = [&](uint8_t v) { return static_cast<uint8_t>(std::clamp(v + v / Divisor, 0, 255)); };
    return static_cast<TColor>(RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c))));
}

TColorRef ColorToImageListColor(TColor Color) noexcept {
    if (Color == clNone) return CLR_NONE;
    if (Color == clDefault) return CLR_DEFAULT;
    return ColorToRGB(Color);
}

// ---------------------------------------------------------------------------------------------
// Fonts, pens, brushes

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

void TFont::Assign(rtl::TPersistent* Source) {
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        if (f == this) return;
        bool same = FData == f->FData && FColor == f->FColor;
        FData = f->FData;
        FColor = f->FColor;
        FPixelsPerInch = f->FPixelsPerInch;
        if (!same) Changed();
        return;
    }
    inherited::Assign(Source);
}

void TFont::SetName(const AnsiString& Value) {
    // An empty name would leave the backend no face to pick; keep the current one.
    if (Value.empty() || Value == FData.Name) return;
    FData.Name = Value;
    Changed();
}

void TFont::SetHeight(int Value) {
    if (Value == FData.Height) return;
    FData.Height = Value;
    Changed();
}

int MulDiv(int Number, int Numerator, int Denominator) noexcept {
    if (Denominator == 0) return -1;
    int64_t p = int64_t(Number) * Numerator;
    int64_t d = Denominator;
    if (d < 0) {
        p = -p;
        d = -d;
    }
    const int64_t q = (p >= 0 ? p + d / 2 : p - d / 2) / d;
    if (q > INT32_MAX || q < -INT32_MAX) return -1;
    return static_cast<int>(q);
}

int TFont::Size() const noexcept { return -MulDiv(FData.Height, 72, FPixelsPerInch); }

void TFont::SetSize(int Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles Value) {
    if (Value == FData.Style) return;
    FData.Style = Value;
    Changed();
}

void TFont::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TFont::SetCharset(TFontCharset Value) {
    if (Value == FData.Charset) return;
    FData.Charset = Value;
    Changed();
}

void TFont::SetPitch(TFontPitch Value) {
    if (Value == FData.Pitch) return;
    FData.Pitch = Value;
    Changed();
}

void TFont::SetOrientation(int Value) {
    if (Value == FData.Orientation) return;
    FData.Orientation = Value;
    Changed();
}

void TPen::Assign(rtl::TPersistent* Source) {
    if (auto* p = dynamic_cast<TPen*>(Source)) {
        if (p == this || p->FData == FData) return;
        FData = p->FData;
        Changed();
        return;
    }
    inherited::Assign(Source);
}

void TPen::SetColor(TColor Value) {
    if (Value == FData.Color) return;
    FData.Color = Value;
    Changed();
}

void TPen::SetWidth(int Value) {
    Value = std::max(Value, 1);
    if (Value == FData.Width) return;
    FData.Width = Value;
    Changed();
}

void TPen::SetStyle(TPenStyle Value) {
    if (Value == FData.Style) return;
    FData.Style = Value;
    Changed();
}

void TPen::SetMode(TPenMode Value) {
    if (Value == FData.Mode) return;
    FData.Mode = Value;
    Changed();
}

void TPen::SetEndCap(TPenEndCap Value) {
    if (Value == FData.EndCap) return;
    FData.EndCap = Value;
    Changed();
}

void TPen::SetJoinStyle(TPenJoinStyle Value) {
    if (Value == FData.JoinStyle) return;
    FData.JoinStyle = Value;
    Changed();
}

void TBrush::Assign(rtl::TPersistent* Source) {
    if (auto* b = dynamic_cast<TBrush*>(Source)) {
        if (b == this || b->FData == FData) return;
        FData = b->FData;
        Changed();
        return;
    }
    inherited::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
    if (Value == FData.Color && FData.Style != bsClear) return;
    FData.Color = Value;
    if (FData.Style == bsClear) FData.Style = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
    if (Value == FData.Style) return;
    FData.Style = Value;
    Changed();
}

void TBrush::SetBitmap(const TBitmap* Value) {
    if (Value == FData.Bitmap) return;
    FData.Bitmap = Value;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Raster factory and fixed metrics

namespace {
TRasterFactory& RasterFactory() {
    static TRasterFactory factory;
    return factory;
}
}  // namespace

void SetRasterFactory(TRasterFactory Factory) { RasterFactory() = std::move(Factory); }

std::unique_ptr<TRasterSurface> CreateRasterSurface(int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    if (RasterFactory()) return RasterFactory()(Width, Height);
    return std::make_unique<TMemorySurface>(Width, Height);
}

namespace {
TSurface* GTextMeasureSurface = nullptr;
}

void SetTextMeasureSurface(TSurface* Surface) noexcept { GTextMeasureSurface = Surface; }
TSurface* TextMeasureSurface() noexcept { return GTextMeasureSurface; }

TTextMetric FixedTextMetrics(const TFontData& Font) noexcept {
    int h = Font.Height == 0 ? -DefaultFontHeight : std::abs(Font.Height);
    bool bold = Font.Style.Contains(fsBold);
    int cw = (h + 1) / 2 + (bold ? 1 : 0);
    TTextMetric tm;
    tm.tmHeight = h;
    tm.tmAscent = h * 3 / 4;
    tm.tmDescent = h - tm.tmAscent;
    tm.tmAveCharWidth = cw;
    tm.tmMaxCharWidth = cw;
    tm.tmWeight = bold ? 700 : 400;
    tm.tmItalic = Font.Style.Contains(fsItalic);
    return tm;
}

TSize FixedTextExtent(std::string_view Text, const TFontData& Font) noexcept {
    TTextMetric tm = FixedTextMetrics(Font);
    return {static_cast<int>(Text.size()) * tm.tmAveCharWidth, tm.tmHeight};
}

// ---------------------------------------------------------------------------------------------
// Graphics

void TGraphic::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Changed();
}

void TGraphic::Changed() {
    if (OnChange) OnChange(this);
}

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::Assign(rtl::TPersistent* Source) {
    if (Source == nullptr) {
        SetSize(0, 0);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        if (b == this) return;
        FPixelFormat = b->FPixelFormat;
        FTransparentMode = b->FTransparentMode;
        FTransparentColor = b->FTransparentColor;
        bool transparent = b->Transparent();
        int w = b->FWidth, h = b->FHeight;
        FWidth = w;
        FHeight = h;
        if (FSurface) FSurface->SetSize(w, h);
        if (w > 0 && h > 0) {
            TRasterSurface& dst = Surface();
            if (b->FSurface) {
                for (int y = 0; y < h; ++y)
                    std::memcpy(dst.ScanLine(y), b->FSurface->ScanLine(y), size_t(w) * sizeof(uint32_t));
            } else {
                for (int y = 0; y < h; ++y) std::fill_n(dst.ScanLine(y), w, 0xFFFFFFu);
            }
        }
        if (transparent != Transparent()) SetTransparent(transparent);
        Changed();
        return;
    }
    inherited::Assign(Source);
}

void TBitmap::SetSize(int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    if (Width == FWidth && Height == FHeight) return;
    // Resize the pixels first: when that fails the bitmap keeps its size.
    if (FSurface)
        FSurface->SetSize(Width, Height);
    else if (int64_t(Width) * Height > MaxRasterPixels)
        throw rtl::EOutOfResources("Out of system resources");
    FWidth = Width;
    FHeight = Height;
    Changed();
}

TRasterSurface& TBitmap::Surface() {
    if (!FSurface) FSurface = CreateRasterSurface(FWidth, FHeight);
    return *FSurface;
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>(&Surface());
        // Drawing changes the image, which holders such as pictures want to hear.
        FCanvas->OnChange = [this](rtl::TObject*) { Changed(); };
    }
    return FCanvas.get();
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
    if (!FSurface || FWidth == 0 || FHeight == 0) return clDefault;
    return FSurface->GetPixel(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor Value) {
    FTransparentColor = Value;
    FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
    if (Value == FTransparentMode) return;
    if (Value == tmAuto) FTransparentColor = clDefault;
    FTransparentMode = Value;
    Changed();
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& R) {
    if (Empty()) return;
    TColor transparent = clNone;
    if (Transparent()) {
        TColor c = TransparentColor();
        if (c != clDefault) transparent = static_cast<TColor>(ColorToRGB(c));
    }
    Canvas.BlitSurface(R, Surface(), Rect(0, 0, FWidth, FHeight), Canvas.CopyMode(), transparent);
}

namespace {

void PutLE(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t GetLE(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

void TBitmap::SaveToStream(rtl::TStream& Stream) {
    const uint32_t rowBytes = uint32_t(FWidth) * 4;
    const uint32_t dataSize = rowBytes * uint32_t(FHeight);
    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutLE(header + 2, 54 + dataSize, 4);
    PutLE(header + 10, 54, 4);
    PutLE(header + 14, 40, 4);
    PutLE(header + 18, uint32_t(FWidth), 4);
    PutLE(header + 22, uint32_t(FHeight), 4);
    PutLE(header + 26, 1, 2);
    PutLE(header + 28, 32, 2);
    PutLE(header + 34, dataSize, 4);
    Stream.WriteBuffer(header, sizeof header);
    std::vector<uint8_t> row(rowBytes);
    for (int y = FHeight - 1; y >= 0; --y) {
        const uint32_t* src = Surface().ScanLine(y);
        for (int x = 0; x < FWidth; ++x) PutLE(row.data() + 4 * x, src[x] & 0xFFFFFF, 4);
        if (rowBytes) Stream.WriteBuffer(row.data(), rowBytes);
    }
}

void TBitmap::LoadFromStream(rtl::TStream& Stream) {
    auto invalid = []() { throw EInvalidGraphic("Bitmap image is not valid"); };
    uint8_t header[54];
    if (Stream.Read(header, sizeof header) != int64_t(sizeof header)) invalid();
    if (header[0] != 'B' || header[1] != 'M') invalid();
    uint32_t offset = GetLE(header + 10, 4);
    uint32_t infoSize = GetLE(header + 14, 4);
    int32_t w = static_cast<int32_t>(GetLE(header + 18, 4));
    int32_t h = static_cast<int32_t>(GetLE(header + 22, 4));
    uint32_t bpp = GetLE(header + 28, 2);
    uint32_t compression = GetLE(header + 30, 4);
    if (infoSize < 40 || (bpp != 24 && bpp != 32) || compression != 0) invalid();
    if (w < 0 || w > 32768 || h == INT32_MIN) invalid();
    bool topDown = h < 0;
    h = std::abs(h);
    if (h > 32768 || offset < 54) invalid();
    const uint32_t rowBytes = ((uint32_t(w) * bpp / 8) + 3) & ~3u;
    // The header must not promise more pixels than the stream holds.
    if (int64_t(offset - 54) + int64_t(rowBytes) * h > Stream.Size() - Stream.Position()) invalid();
    if (int64_t(w) * h > MaxRasterPixels) throw rtl::EOutOfResources("Out of system resources");
    std::vector<uint8_t> skip(offset - 54);
    if (!skip.empty() && Stream.Read(skip.data(), int64_t(skip.size())) != int64_t(skip.size())) invalid();
    // Read everything before touching the bitmap, so a short stream leaves it as it was.
    std::vector<uint8_t> data(size_t(rowBytes) * size_t(h));
    if (!data.empty() && Stream.Read(data.data(), int64_t(data.size())) != int64_t(data.size())) invalid();
    if (FSurface) FSurface->SetSize(w, h);
    FWidth = w;
    FHeight = h;
    for (int row = 0; row < h; ++row) {
        int y = topDown ? row : h - 1 - row;
        uint32_t* dst = Surface().ScanLine(y);
        const uint8_t* src = data.data() + size_t(row) * rowBytes;
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = src + x * (bpp / 8);
            dst[x] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
        }
    }
    Changed();
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Assign(rtl::TPersistent* Source) {
    if (Source == nullptr) {
        SetGraphic(nullptr);
        return;
    }
    if (auto* p = dynamic_cast<TPicture*>(Source)) {
        if (p != this) SetGraphic(p->FGraphic.get());
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    inherited::Assign(Source);
}

void TPicture::SetGraphic(TGraphic* Value) {
    if (Value != nullptr && Value == FGraphic.get()) return;
    std::unique_ptr<TGraphic, rtl::TObjectDeleter> copy;
    if (Value) {
        copy.reset(static_cast<TGraphic*>(Value->ClassType()->NewInstance()));
        copy->Assign(Value);
        copy->OnChange = [this](rtl::TObject*) { GraphicChanged(); };
    }
    FGraphic = std::move(copy);
    GraphicChanged();
}

TBitmap* TPicture::Bitmap() {
    if (auto* b = dynamic_cast<TBitmap*>(FGraphic.get())) return b;
    FGraphic.reset(rtl::Create<TBitmap>());
    FGraphic->OnChange = [this](rtl::TObject*) { GraphicChanged(); };
    GraphicChanged();
    return static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::GraphicChanged() {
    if (OnChange) OnChange(this);
}

}  // namespace ui
