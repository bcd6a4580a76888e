// Image lists: equally sized images with transparency masks, drawn onto canvases.
#pragma once

#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/ui/Graphics.h"

namespace ui {

enum class TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
using enum TDrawingStyle;
enum class TImageType { itImage, itMask };
using enum TImageType;

// Drawing styles of ImageList_DrawEx.
inline constexpr unsigned ILD_NORMAL = 0x0;
inline constexpr unsigned ILD_TRANSPARENT = 0x1;
inline constexpr unsigned ILD_BLEND25 = 0x2;
inline constexpr unsigned ILD_FOCUS = ILD_BLEND25;
inline constexpr unsigned ILD_BLEND50 = 0x4;
inline constexpr unsigned ILD_SELECTED = ILD_BLEND50;
inline constexpr unsigned ILD_BLEND = ILD_BLEND50;
inline constexpr unsigned ILD_MASK = 0x10;

class TCustomImageList : public rtl::TComponent {
    RTL_CLASS(TCustomImageList, rtl::TComponent)
public:
    explicit TCustomImageList(rtl::TComponent* Owner);
    ~TCustomImageList() override;
    // A list of the given image size.
    static TCustomImageList* CreateSize(int Width, int Height, rtl::TComponent* Owner = nullptr);

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    // Changing the size empties the list; sizes below 1 raise EInvalidOperation "Invalid image size".
    void SetWidth(int Value) { SetSize(Value, FHeight); }
    void SetHeight(int Value) { SetSize(FWidth, Value); }
    void SetSize(int Width, int Height);
    int Count() const noexcept { return static_cast<int>(FImages.size()); }

    // Background under transparent pixels when drawing (clNone: left transparent).
    TColor BkColor() const noexcept { return FBkColor; }
    void SetBkColor(TColor Value);
    // Colour blended into selected and focused images (clNone: the highlight colour).
    TColor BlendColor() const noexcept { return FBlendColor; }
    void SetBlendColor(TColor Value);
    TDrawingStyle DrawingStyle() const noexcept { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle Value);
    TImageType ImageType() const noexcept { return FImageType; }
    void SetImageType(TImageType Value);
    bool Masked() const noexcept { return FMasked; }
    void SetMasked(bool Value) noexcept { FMasked = Value; }

    // The list exists for the window system once something asked for it or added an image.
    bool HandleAllocated() const noexcept { return FHandleAllocated; }
    void HandleNeeded() noexcept { FHandleAllocated = true; }

    // Adds Image (several images when it is a whole multiple of Width wide); Mask pixels that are
    // not black mark transparent pixels, nullptr means all opaque. Returns the first new index.
    // An image narrower than Width or of another height raises EInvalidOperation "Invalid image size".
    int Add(TBitmap* Image, TBitmap* Mask);
    // Pixels of MaskColor are transparent; clDefault takes the bottom-left pixel's colour.
    int AddMasked(TBitmap* Image, TColor MaskColor);
    void Replace(int Index, TBitmap* Image, TBitmap* Mask);
    // EInvalidOperation "Invalid ImageList Index" for a bad index.
    void Delete(int Index);
    void Clear();

    // The image drawn on BkColor (or over what the bitmap held, when BkColor is clNone).
    bool GetBitmap(int Index, TBitmap* Image);
    // Draws with the list's style; a disabled image is drawn embossed in the shadow colours.
    // A bad index draws nothing.
    void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
    void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle Style, TImageType Type, bool Enabled = true);
    // The window-system draw: Bk CLR_NONE draws transparently, CLR_DEFAULT uses BkColor; Fg is the
    // blend colour of ILD_BLEND25/ILD_BLEND50 (CLR_DEFAULT: the highlight colour). DX and DY of 0
    // draw the whole image. False for a bad index or a list without a handle.
    bool DrawEx(TCanvas* Canvas, int Index, int X, int Y, int DX, int DY, TColorRef Bk, TColorRef Fg, unsigned Style);

    // Pixel access for tests and painters: clNone for a transparent or missing pixel.
    TColor ImagePixel(int Index, int X, int Y) const;

    rtl::TNotifyEvent OnChange;

private:
    struct TImage {
        std::vector<uint32_t> Pixels;  // TColorRef
        std::vector<uint8_t> Opaque;
    };
    TImage Slice(TBitmap* Image, TBitmap* Mask, TColor MaskColor, int Column) const;
    std::vector<TImage> Split(TBitmap* Image, TBitmap* Mask, TColor MaskColor) const;
    void CheckIndex(int Index) const;
    void Changed();
    TRasterSurface& Strip();

    int FWidth = 16;
    int FHeight = 16;
    TColor FBkColor = clNone;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    TImageType FImageType = itImage;
    bool FMasked = true;
    bool FHandleAllocated = false;
    std::vector<TImage> FImages;
    // All images side by side with transparent pixels in FKey, for keyed blits.
    std::unique_ptr<TMemorySurface> FStrip;
    bool FStripValid = false;
    TColorRef FKey = 0;
};

class TImageList : public TCustomImageList {
    RTL_CLASS(TImageList, TCustomImageList)
public:
    using TCustomImageList::TCustomImageList;
};

// The window-system call on an image list.
bool ImageList_DrawEx(TCustomImageList* List, int Index, HDC DC, int X, int Y, int DX, int DY, TColorRef Bk,
                      TColorRef Fg, unsigned Style);

}  // namespace ui
